// Shared between the construction and the cache of contexts.
#pragma once

#include "context.h"
#include "context/context_create.h"

// Frees everything a context owns (a complete or a half-built one), never the template's
// tables or buffers. keep = 1 leaves the work buffer's font lists alone.
void CtxFreeNow(DRIVER_CONTEXT *ctx, WORD keep);

// Parks ctx as CtxParkInCache does. The context to destroy is returned with the keep
// choice it must be destroyed with: its own for ctx, the one it was parked with for a
// context displaced from a slot.
DRIVER_CONTEXT *CtxParkInCacheEx(DRIVER_CONTEXT *ctx, WORD keep, WORD *victimKeep);
