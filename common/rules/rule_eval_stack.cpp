// The evaluator stack: 256 32-bit entries and a depth, one per context, shared by every
// evaluation on that context. Push and pop stay inside the buffer whatever the code asks.
#include "rules/rule_eval.h"

int WINAPI RuleAllocEvalStack(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return -1;
  ctx->state->eval.depth = 0;
  ctx->state->eval.entries = (LONG *)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, KV_EVAL_STACK_ENTRIES * sizeof(LONG));
  return ctx->state->eval.entries != NULL ? 0 : -1;
}

void WINAPI RuleFreeEvalStack(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return;
  if (ctx->state->eval.entries != NULL) GlobalFree(ctx->state->eval.entries);
  ctx->state->eval.entries = NULL;
  ctx->state->eval.depth = 0;
}

void WINAPI RulePush(DRIVER_CONTEXT *ctx, LONG value)
{
  if (ctx == NULL || ctx->state == NULL || ctx->state->eval.entries == NULL) return;
  CONTEXT_STATE *st = ctx->state;
  if (st->eval.depth < 0 || st->eval.depth >= KV_EVAL_STACK_ENTRIES) return;
  st->eval.entries[st->eval.depth++] = value;
}

DWORD WINAPI RulePop(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL || ctx->state->eval.entries == NULL) return 0;
  CONTEXT_STATE *st = ctx->state;
  if (st->eval.depth <= 0 || st->eval.depth > KV_EVAL_STACK_ENTRIES) return 0;
  return (DWORD)st->eval.entries[--st->eval.depth];
}
