// The dialog table of a context: a private deep copy in the user-interface configuration,
// the template's static table in the others.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Gives the context its dialog table; 0 when memory runs out.
int WINAPI CtxCopyDialogs(DRIVER_CONTEXT *ctx);
// Frees the dialog table when it is the context's own.
void WINAPI CtxFreeDialogs(DRIVER_CONTEXT *ctx);

KV_END_DECLS
