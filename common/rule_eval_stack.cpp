// The evaluator stack: 256 32-bit entries and a depth, one per context.
#include "rule_eval.h"

int WINAPI RuleAllocEvalStack(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return 0;
  ctx->state->evalDepth = 0;
  ctx->state->evalStack = (LONG *)MemAllocZeroed(KV_EVAL_STACK_ENTRIES * sizeof(LONG));
  return ctx->state->evalStack != NULL;
}

void WINAPI RuleFreeEvalStack(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return;
  MemFree(ctx->state->evalStack);
  ctx->state->evalStack = NULL;
  ctx->state->evalDepth = 0;
}
