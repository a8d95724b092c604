// The two-slot per-process cache of released contexts. A context released within 500 ms of
// a new request for the same printer, create flags and printer name is handed out again
// instead of being rebuilt. The spooler and applications call on several threads, so the
// slots are guarded by a process-local lock: a parked context is handed to one taker only,
// and never expired while another thread takes it. Contexts are freed outside the lock.
#include <mutex>

#include "context.h"
#include "context/context_internal.h"

#define KV_CACHE_WINDOW_MS 500u

typedef struct CACHE_SLOT {
  DRIVER_CONTEXT *ctx;
  DWORD parkTime;
  WORD keep;  // the keep-fonts choice the context was released with
} CACHE_SLOT;

static CACHE_SLOT s_slots[2];
static std::mutex s_cacheLock;

DRIVER_CONTEXT *CtxParkInCacheEx(DRIVER_CONTEXT *ctx, WORD keep, WORD *victimKeep)
{
  std::lock_guard<std::mutex> hold(s_cacheLock);
  *victimKeep = keep;
  for (CACHE_SLOT &slot : s_slots) {
    if (slot.ctx == ctx) {
      // Already parked: the caller destroys it, so the slot lets go of it.
      *victimKeep = slot.keep;
      slot = CACHE_SLOT{};
      return ctx;
    }
  }
  if (s_slots[0].ctx == NULL && keep == 0) {
    s_slots[0] = CACHE_SLOT{ctx, OsGetTickCount(), keep};
    return NULL;
  }
  if (s_slots[1].ctx == NULL) {
    if (keep != 0) return ctx;
    s_slots[1] = CACHE_SLOT{ctx, OsGetTickCount(), keep};
    return NULL;
  }
  // Slot 1 always takes the newest release; its previous context goes.
  DRIVER_CONTEXT *displaced = s_slots[1].ctx;
  *victimKeep = s_slots[1].keep;
  s_slots[1] = CACHE_SLOT{ctx, OsGetTickCount(), keep};
  return displaced;
}

DRIVER_CONTEXT *WINAPI CtxParkInCache(DRIVER_CONTEXT *ctx, WORD keep)
{
  WORD victimKeep;
  return CtxParkInCacheEx(ctx, keep, &victimKeep);
}

// Destroys parked contexts: all of them, or those parked more than 500 ms ago. The age is
// the unsigned difference of the tick counts, so a wrap of the counter changes nothing.
void WINAPI CtxExpireCache(int all)
{
  CACHE_SLOT gone[2] = {};
  {
    std::lock_guard<std::mutex> hold(s_cacheLock);
    DWORD now = OsGetTickCount();
    for (int i = 0; i < 2; ++i) {
      CACHE_SLOT &slot = s_slots[i];
      if (slot.ctx == NULL) continue;
      if (all == 0 && (DWORD)(now - slot.parkTime) <= KV_CACHE_WINDOW_MS) continue;
      gone[i] = slot;
      slot = CACHE_SLOT{};
    }
  }
  for (const CACHE_SLOT &slot : gone) {
    if (slot.ctx != NULL) CtxFreeNow(slot.ctx, slot.keep);
  }
}

// A parked context that was built the ordinary way: full load, with the settings mutex and
// the administrator test. Only such a context may serve an ordinary request.
static bool BuiltOrdinary(const DRIVER_CONTEXT *ctx)
{
  const CONTEXT_STATE *st = ctx->state;
  return st != NULL && st->openKind == 0 && st->useSettingsMutex == 1 && st->checkAdmin == 1;
}

DRIVER_CONTEXT *WINAPI CtxTakeCached(HANDLE printer, HANDLE printer2, void *reserved, WORD openMode, DWORD createFlags)
{
  (void)printer2;
  (void)reserved;
  CtxExpireCache(0);
  if (openMode != 0) return NULL;
  WCHAR *name = OsDupPrinterName(printer);
  if (name == NULL) return NULL;
  DRIVER_CONTEXT *found = NULL;
  std::unique_lock<std::mutex> hold(s_cacheLock);
  for (CACHE_SLOT &slot : s_slots) {
    DRIVER_CONTEXT *ctx = slot.ctx;
    if (ctx == NULL || ctx->printer != printer || !BuiltOrdinary(ctx)) continue;
    if (ctx->state->createFlags != createFlags || !StrSameW(ctx->state->printerName, name)) continue;
    found = ctx;
    slot = CACHE_SLOT{};
    break;
  }
  hold.unlock();
  MemFree(name);
  return found;
}

DRIVER_CONTEXT *WINAPI CtxPeekCacheSlot(int slot)
{
  std::lock_guard<std::mutex> hold(s_cacheLock);
  return slot >= 0 && slot < 2 ? s_slots[slot].ctx : NULL;
}
