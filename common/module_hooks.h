// The module table of a context: the deliverable's extension modules and their hooks.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Clears the UI chapter buffer and the preset snapshots and sets up the module table;
// 0 when memory runs out.
int WINAPI CtxInitModules(DRIVER_CONTEXT *ctx);
// Frees what CtxInitModules set up.
void WINAPI CtxFreeModules(DRIVER_CONTEXT *ctx);

KV_END_DECLS
