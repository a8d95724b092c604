// The evaluator stack of a context's rule evaluation.
#pragma once

#include "context.h"

#define KV_EVAL_STACK_ENTRIES 256

KV_BEGIN_DECLS

int WINAPI RuleAllocEvalStack(DRIVER_CONTEXT *ctx);
void WINAPI RuleFreeEvalStack(DRIVER_CONTEXT *ctx);

KV_END_DECLS
