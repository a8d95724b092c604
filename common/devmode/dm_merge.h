// Bringing a DEVMODE from outside (an application, the spooler, a settings file) into a
// context's settings.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Merges incoming (NULL: the context's own DEVMODE stands for it) into the context under
// the merge flags; answers 1, or 0 when the working copy cannot be allocated.
int WINAPI DmMergeIncoming(DRIVER_CONTEXT *ctx, const BYTE *incoming, DWORD flags);

KV_END_DECLS
