// The two-slot per-process cache of released contexts. A context released within 500 ms of
// a new request for the same printer, create flags and printer name is handed out again
// instead of being rebuilt. The spooler and applications call on several threads, so the
// slots are guarded by a process-local lock: a parked context is handed to one taker only,
// and never expired while another thread takes it. Contexts are freed outside the lock.
//
// Whether the printer's name is still the one the context was built for is proved by a
// printer change notification armed before the name was last read: while it is not
// signaled, nothing of the spool changed (in this process or another), and the name need
// not be read again. A signaled (or missing) notification falls back to reading the name.
#include <mutex>

#include "context.h"
#include "context/context_internal.h"

#define KV_CACHE_WINDOW_MS 500u
#define KV_CACHE_CHANGES (PRINTER_CHANGE_PRINTER | PRINTER_CHANGE_PRINTER_DRIVER)
#define KV_LENT_PROOFS 4

typedef struct CACHE_SLOT {
  DRIVER_CONTEXT *ctx;
  DWORD parkTime;
  WORD keep;      // the keep-fonts choice the context was released with
  HANDLE change;  // armed before the context's name was last found current, or NULL
} CACHE_SLOT;

// The notification of a context handed out by the cache, kept for its next parking.
typedef struct LENT_PROOF {
  DRIVER_CONTEXT *ctx;
  HANDLE printer;
  HANDLE change;
} LENT_PROOF;

static CACHE_SLOT s_slots[2];
static LENT_PROOF s_lent[KV_LENT_PROOFS];
static std::mutex s_cacheLock;

static void CloseChange(HANDLE change)
{
  if (change != NULL) FindClosePrinterChangeNotification(change);
}

// Takes the lent notification of ctx out of the list (NULL when none); the caller holds
// the lock. It proves nothing for another printer handle, so such a one is closed.
static HANDLE TakeLentLocked(DRIVER_CONTEXT *ctx, HANDLE *stale)
{
  *stale = NULL;
  for (LENT_PROOF &lent : s_lent) {
    if (lent.ctx != ctx || lent.change == NULL) continue;
    HANDLE change = lent.change;
    bool same = lent.printer == ctx->printer;
    lent = LENT_PROOF{};
    if (same) return change;
    *stale = change;
    return NULL;
  }
  return NULL;
}

// Keeps the notification of a context handed out; answers a notification pushed out.
static HANDLE LendLocked(DRIVER_CONTEXT *ctx, HANDLE change)
{
  for (LENT_PROOF &lent : s_lent) {
    if (lent.change == NULL) {
      lent = LENT_PROOF{ctx, ctx->printer, change};
      return NULL;
    }
  }
  HANDLE out = s_lent[0].change;
  for (int i = 0; i + 1 < KV_LENT_PROOFS; ++i) s_lent[i] = s_lent[i + 1];
  s_lent[KV_LENT_PROOFS - 1] = LENT_PROOF{ctx, ctx->printer, change};
  return out;
}

// Parks ctx (see CtxParkInCache); the caller holds the lock. *closeA and *closeB receive
// notifications to close outside it.
static DRIVER_CONTEXT *ParkLocked(DRIVER_CONTEXT *ctx, WORD keep, WORD *victimKeep, HANDLE *closeA, HANDLE *closeB)
{
  *victimKeep = keep;
  HANDLE change = TakeLentLocked(ctx, closeA);
  for (CACHE_SLOT &slot : s_slots) {
    if (slot.ctx == ctx) {
      // Already parked: the caller destroys it, so the slot lets go of it.
      *victimKeep = slot.keep;
      *closeB = slot.change;
      slot = CACHE_SLOT{};
      CloseChange(change);
      return ctx;
    }
  }
  if (s_slots[0].ctx == NULL && keep == 0) {
    s_slots[0] = CACHE_SLOT{ctx, OsGetTickCount(), keep, change};
    return NULL;
  }
  if (s_slots[1].ctx == NULL) {
    if (keep != 0) {
      *closeB = change;
      return ctx;
    }
    s_slots[1] = CACHE_SLOT{ctx, OsGetTickCount(), keep, change};
    return NULL;
  }
  // Slot 1 always takes the newest release; its previous context goes.
  DRIVER_CONTEXT *displaced = s_slots[1].ctx;
  *victimKeep = s_slots[1].keep;
  *closeB = s_slots[1].change;
  s_slots[1] = CACHE_SLOT{ctx, OsGetTickCount(), keep, change};
  return displaced;
}

DRIVER_CONTEXT *CtxParkInCacheEx(DRIVER_CONTEXT *ctx, WORD keep, WORD *victimKeep)
{
  HANDLE closeA = NULL, closeB = NULL;
  DRIVER_CONTEXT *victim;
  {
    std::lock_guard<std::mutex> hold(s_cacheLock);
    victim = ParkLocked(ctx, keep, victimKeep, &closeA, &closeB);
  }
  CloseChange(closeA);
  CloseChange(closeB);
  return victim;
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
    CloseChange(slot.change);
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

// Whether a parked context may serve a request for its printer handle: its notification
// is quiet, or (read again, after arming the notification anew) the printer's name is the
// context's. *change is the notification to keep with the context, NULL when none.
static bool StillCurrent(DRIVER_CONTEXT *ctx, HANDLE *change)
{
  if (*change != NULL && WaitForSingleObject(*change, 0) == WAIT_TIMEOUT) return true;
  DWORD what = 0;
  if (*change != NULL && !FindNextPrinterChangeNotification(*change, &what, NULL, NULL)) {
    CloseChange(*change);
    *change = NULL;
  }
  if (*change == NULL) {
    HANDLE fresh = FindFirstPrinterChangeNotification(ctx->printer, KV_CACHE_CHANGES, 0, NULL);
    *change = fresh != INVALID_HANDLE_VALUE ? fresh : NULL;
  }
  WCHAR *name = OsDupPrinterName(ctx->printer);
  bool same = name != NULL && StrSameW(ctx->state->printerName, name);
  MemFree(name);
  return same;
}

DRIVER_CONTEXT *WINAPI CtxTakeCached(HANDLE printer, HANDLE printer2, void *reserved, WORD openMode, DWORD createFlags)
{
  (void)printer2;
  (void)reserved;
  CtxExpireCache(0);
  if (openMode != 0) return NULL;
  for (int i = 0; i < 2; ++i) {
    CACHE_SLOT taken = {};
    {
      std::lock_guard<std::mutex> hold(s_cacheLock);
      CACHE_SLOT &slot = s_slots[i];
      DRIVER_CONTEXT *ctx = slot.ctx;
      if (ctx == NULL || ctx->printer != printer || !BuiltOrdinary(ctx)) continue;
      if (ctx->state->createFlags != createFlags) continue;
      taken = slot;
      slot = CACHE_SLOT{};
    }
    HANDLE change = taken.change;
    bool current = StillCurrent(taken.ctx, &change);
    HANDLE closeA = NULL;
    bool putBack = false;
    {
      std::lock_guard<std::mutex> hold(s_cacheLock);
      if (current) {
        closeA = LendLocked(taken.ctx, change);
      } else if (s_slots[i].ctx == NULL) {
        // Not this printer's context any more: it stays parked until it expires.
        taken.change = change;
        s_slots[i] = taken;
        putBack = true;
      }
    }
    CloseChange(closeA);
    if (current) return taken.ctx;
    if (!putBack) {
      CloseChange(change);
      CtxFreeNow(taken.ctx, taken.keep);
    }
  }
  return NULL;
}

DRIVER_CONTEXT *WINAPI CtxPeekCacheSlot(int slot)
{
  std::lock_guard<std::mutex> hold(s_cacheLock);
  return slot >= 0 && slot < 2 ? s_slots[slot].ctx : NULL;
}
