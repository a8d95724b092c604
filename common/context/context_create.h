// Making and releasing driver contexts: construction from the template, the baseline copy of
// the work buffer, and the two-slot per-process cache that released contexts wait in.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Process-wide setup flag: every context created while it is 1 uses the shared settings
// directory.
extern int CtxSetupActive;

// Construction and release.

// A context for a printer: a parked one from the cache when an ordinary full open finds
// one for the same printer, name and create flags, else a new one built from the template
// (openMode: a CTX_OPEN_* kind with its flags; createFlags: CTX_CREATE_*). The caller
// releases it with CtxRelease. NULL when memory runs out or a construction step fails (a
// full open also fails without a compiled description); a half-built context is freed.
DRIVER_CONTEXT *WINAPI CtxConstruct(HANDLE printer, HANDLE printer2, void *reserved, WORD openMode, DWORD createFlags);
// CtxConstruct with a full open (CTX_OPEN_FULL).
DRIVER_CONTEXT *WINAPI CtxCreate(HANDLE printer, HANDLE printer2, void *reserved, DWORD createFlags);
// CtxConstruct under its older name.
DRIVER_CONTEXT *WINAPI CtxCreateWithMode(HANDLE printer, HANDLE printer2, void *reserved, WORD openMode,
                                         DWORD createFlags);
// Releases a context: parks it in the cache, freeing whatever context the cache lets go
// of. keep != 0 leaves the work buffer's font lists alone when the context is freed; such a
// context waits in the cache only by displacing the one in slot 1, and is freed at once
// while slot 1 is empty. NULL does nothing.
void WINAPI CtxDestroy(DRIVER_CONTEXT *ctx, WORD keep);
// CtxDestroy with keep = 0.
void WINAPI CtxRelease(DRIVER_CONTEXT *ctx);
// CtxDestroy under the name callers that keep the font lists use.
void WINAPI CtxReleaseKeepFonts(DRIVER_CONTEXT *ctx, WORD keep);
// Copies the work buffer into the context's baseline, with the baseline's own copies of
// the three font lists (those of an earlier baseline are freed first); a list that cannot
// be copied is recorded empty. 0 when the context has no work buffer or baseline.
int WINAPI CtxTakeBaseline(DRIVER_CONTEXT *ctx);
// Frees the baseline's copies of the font lists and clears their pointers; 0 when the
// context has no baseline.
int WINAPI CtxFreeBaselineFonts(DRIVER_CONTEXT *ctx);

// The two-slot cache of released contexts.

// Frees parked contexts: all of them (all != 0), or those parked longer than the cache
// window (500 ms).
void WINAPI CtxExpireCache(int all);
// Takes a parked context out of the cache for an ordinary request (openMode 0) of the same
// printer handle, printer name and create flags, after expiring old ones; NULL when none
// fits. The caller owns the context it gets.
DRIVER_CONTEXT *WINAPI CtxTakeCached(HANDLE printer, HANDLE printer2, void *reserved, WORD openMode, DWORD createFlags);
// Parks ctx in the cache and answers the context the caller must now free: NULL when ctx
// took a free slot, a displaced older context, or ctx itself when it cannot be parked (or
// was already parked, which frees its slot). Callers normally use CtxDestroy instead.
DRIVER_CONTEXT *WINAPI CtxParkInCache(DRIVER_CONTEXT *ctx, WORD keep);
// The context parked in a slot (0 or 1), or NULL; for inspection only.
DRIVER_CONTEXT *WINAPI CtxPeekCacheSlot(int slot);

KV_END_DECLS
