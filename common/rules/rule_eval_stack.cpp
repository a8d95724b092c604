// The evaluator stack: 256 32-bit entries and a depth, one per context, shared by every
// evaluation on that context. Push and pop stay inside the buffer whatever the code asks.
#include "rules/rule_eval.h"

int WINAPI RuleAllocEvalStack(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return -1;
  ctx->state->evalDepth = 0;
  ctx->state->evalStack = (LONG *)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, KV_EVAL_STACK_ENTRIES * sizeof(LONG));
  return ctx->state->evalStack != NULL ? 0 : -1;
}

void WINAPI RuleFreeEvalStack(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return;
  if (ctx->state->evalStack != NULL) GlobalFree(ctx->state->evalStack);
  ctx->state->evalStack = NULL;
  ctx->state->evalDepth = 0;
}

void WINAPI RulePush(DRIVER_CONTEXT *ctx, LONG value)
{
  if (ctx == NULL || ctx->state == NULL || ctx->state->evalStack == NULL) return;
  CONTEXT_STATE *st = ctx->state;
  if (st->evalDepth < 0 || st->evalDepth >= KV_EVAL_STACK_ENTRIES) return;
  st->evalStack[st->evalDepth++] = value;
}

DWORD WINAPI RulePop(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL || ctx->state->evalStack == NULL) return 0;
  CONTEXT_STATE *st = ctx->state;
  if (st->evalDepth <= 0 || st->evalDepth > KV_EVAL_STACK_ENTRIES) return 0;
  return (DWORD)st->evalStack[--st->evalDepth];
}
