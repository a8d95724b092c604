// The resolution cap: whether the page is too large for any resolution but 600 dpi. The page
// geometry is recomputed from the DEVMODE on a scratch state, so asking the question leaves
// the settings, their change marks and the custom-size slots as they were.
#include <string.h>

#include "devmode/dm_paper_items.h"
#include "hooks/module_hooks.h"
#include "items/item_store.h"
#include "model/model.h"
#include "store/stored_lists.h"
#include "rules/rule_cond.h"
#include "tables/item_ids.h"

#define KV_MAX_PAGE_DOTS 30708  // the longest page edge in dots the device takes above 600 dpi

// What a recomputation may change besides the work buffer: the option rows' change marks
// and flags, the context's change and UI words, the custom-size slots and the pending pass
// mode. Only the marks of the rows are kept, not the rows (their other fields are constant).
typedef struct ROW_MARKS {
  WORD state;
  DWORD flags;
} ROW_MARKS;

typedef struct CAP_SCRATCH {
  BYTE work[KV_WORK_BUFFER_SIZE];
  DWORD settingsChanged;
  DWORD uiFlags;
  WORD pendingPassMode;
  FREE_SIZE_SLOT slots[12];
  SHORT rowCount;
  ROW_MARKS rows[1];  // rowCount entries
} CAP_SCRATCH;

static CAP_SCRATCH *SaveState(DRIVER_CONTEXT *ctx)
{
  OPTION_ITEM *rows = ctx->items != NULL ? (OPTION_ITEM *)ctx->items->rows : NULL;
  SHORT count = rows != NULL && ctx->items->count > 0 ? ctx->items->count : 0;
  CAP_SCRATCH *s = (CAP_SCRATCH *)MemAllocZeroed((DWORD)(sizeof(CAP_SCRATCH) + (size_t)count * sizeof(ROW_MARKS)));
  if (s == NULL) return NULL;
  memcpy(s->work, ctx->work, sizeof s->work);
  s->settingsChanged = ctx->state->settingsChanged;
  s->uiFlags = ctx->state->uiFlags;
  s->pendingPassMode = ctx->state->pendingPassMode;
  memcpy(s->slots, ctx->state->freeSizeSlots, sizeof s->slots);
  s->rowCount = count;
  for (SHORT i = 0; i < count; ++i) s->rows[i].state = rows[i].state, s->rows[i].flags = rows[i].flags;
  return s;
}

static void RestoreState(DRIVER_CONTEXT *ctx, CAP_SCRATCH *s)
{
  memcpy(ctx->work, s->work, sizeof s->work);
  OPTION_ITEM *rows = ctx->items != NULL ? (OPTION_ITEM *)ctx->items->rows : NULL;
  SHORT count = rows != NULL && ctx->items->count < s->rowCount ? ctx->items->count : s->rowCount;
  for (SHORT i = 0; rows != NULL && i < count; ++i) rows[i].state = s->rows[i].state, rows[i].flags = s->rows[i].flags;
  ctx->state->settingsChanged = s->settingsChanged;
  ctx->state->uiFlags = s->uiFlags;
  ctx->state->pendingPassMode = s->pendingPassMode;
  memcpy(ctx->state->freeSizeSlots, s->slots, sizeof s->slots);
  MemFree(s);
}

// Step 1: the page geometry from the DEVMODE.
static void RecomputeGeometry(DRIVER_CONTEXT *ctx, int mode)
{
  DEVMODEW *dm = (DEVMODEW *)ctx->work;
  if (mode == 1)
    DmSyncResolutionFromDevice(dm, ctx);
  else
    DmSyncResolutionFromPrintQuality(dm, ctx);
  const DWORD both = DM_PAPERLENGTH | DM_PAPERWIDTH;
  if (mode == 0 && (dm->dmFields & both) == both)
    DmSetCustomPaperItems(dm, ctx);
  else
    DmSetSourcePaperItems(dm->dmPaperSize, ITEM_dmPaperSize, ctx, dm);
  DmSetOutputPaperItems((SHORT)ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL), ITEM_kdmOutPaperSize, ctx, dm);
}

// value * num / 100 in 64 bits, kept inside the 32-bit range.
static long long Percent(long long value, LONG num)
{
  long long v = value * num / 100;
  if (v > 0x7FFFFFFFll) return 0x7FFFFFFFll;
  if (v < -0x7FFFFFFFll) return -0x7FFFFFFFll;
  return v;
}

// The source page as printed (scaled, or enlarged for a poster) within the device's limit.
static bool SourceFits(DRIVER_CONTEXT *ctx)
{
  long long w = ItemGetRaw(ctx, ITEM_kdmSrcPaperWidthDot, NULL);
  long long h = ItemGetRaw(ctx, ITEM_kdmSrcPaperLengthDot, NULL);
  if (ItemGetRaw(ctx, ITEM_kdmFuncSelectScale, NULL) != 0) {
    LONG type = ItemGetRaw(ctx, ITEM_kdmScaleType, NULL);
    LONG sx = ItemGetRaw(ctx, ITEM_kdmScaleH, NULL), sy = ItemGetRaw(ctx, ITEM_kdmScaleV, NULL);
    if (type == 1) {
      w = Percent(w, sx), h = Percent(h, sx);
    } else if (type != 2) {
      w = Percent(w, sx), h = Percent(h, sy);
    }
  } else if (ItemGetRaw(ctx, ITEM_kdmFuncSelectNup, NULL) != 0 && ItemGetRaw(ctx, ITEM_kdmNUPPOSTKind, NULL) == 9) {
    LONG type = ItemGetRaw(ctx, ITEM_kdmNUPType, NULL);
    if (type == 0x8001) {
      if (w < h)
        w *= 2;
      else
        h *= 2;
    } else if (type > 0x8001) {
      w *= type - 0x8000, h *= type - 0x8000;
    }
  }
  return w <= KV_MAX_PAGE_DOTS && h <= KV_MAX_PAGE_DOTS;
}

// The state of the computed condition items kept in the context (CONTEXT_STATE's
// conditionCache): whether a cap is being computed, and the last answer of the resolution
// check with the fingerprint of everything it was computed from.
typedef struct COND_CACHE {
  DWORD busy;            // a resolution cap is being computed on the scratch state
  DWORD valid;           // the answer below is usable for the fingerprint beside it
  DWORD fingerprint[2];  // of the work buffer, the custom-size slots and the description
  LONG cap;              // RuleGetResolutionCap(ctx, 1) for that state
} COND_CACHE;
static_assert(sizeof(COND_CACHE) <= sizeof(((CONTEXT_STATE *)0)->conditionCache), "condition cache");

static COND_CACHE ReadCache(const DRIVER_CONTEXT *ctx)
{
  COND_CACHE c;
  memcpy(&c, ctx->state->conditionCache, sizeof c);
  return c;
}

static void WriteCache(DRIVER_CONTEXT *ctx, const COND_CACHE *c) { memcpy(ctx->state->conditionCache, c, sizeof *c); }

// The cap for the current settings; *computed is false when it could not be computed (asked
// during its own recomputation, or no memory for the scratch state): the answer is then 0.
static LONG ComputeCap(DRIVER_CONTEXT *ctx, int mode, bool *computed)
{
  *computed = false;
  // A rule that the recomputation consults (whether the description hides the paper) may
  // ask for the cap again: that question is answered "no cap" instead of recursing.
  COND_CACHE cache = ReadCache(ctx);
  if (cache.busy) return 0;
  CAP_SCRATCH *saved = SaveState(ctx);
  if (saved == NULL) return 0;  // no scratch state: the settings are not touched
  cache.busy = 1;
  WriteCache(ctx, &cache);
  RecomputeGeometry(ctx, mode);
  LONG cap = 0;
  if (ItemGetRaw(ctx, ITEM_dmPrintQuality, NULL) != 600) {
    DWORD width = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstPaperWidthDot, NULL);
    DWORD length = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstPaperLengthDot, NULL);
    bool fits = width <= KV_MAX_PAGE_DOTS && length <= KV_MAX_PAGE_DOTS && SourceFits(ctx);
    cap = fits ? 0 : 600;
  }
  RestoreState(ctx, saved);
  cache = ReadCache(ctx);
  cache.busy = 0;
  WriteCache(ctx, &cache);
  *computed = true;
  return cap;
}

LONG WINAPI RuleGetResolutionCap(DRIVER_CONTEXT *ctx, int mode)
{
  if (ctx == NULL || ctx->work == NULL || ctx->state == NULL) return 0;
  bool computed;
  return ComputeCap(ctx, mode, &computed);
}

// Two independent 32-bit mixes over a block of bytes (read as little-endian words, the
// tail byte by byte).
static void Mix(DWORD h[2], const void *data, size_t bytes)
{
  const BYTE *p = (const BYTE *)data;
  size_t i = 0;
  for (; i + 4 <= bytes; i += 4) {
    DWORD w;
    memcpy(&w, p + i, 4);
    h[0] = (h[0] ^ w) * 0x01000193u;
    h[1] = ((h[1] << 5 | h[1] >> 27) ^ w) * 0x9E3779B1u;
  }
  for (; i < bytes; ++i) {
    h[0] = (h[0] ^ p[i]) * 0x01000193u;
    h[1] = ((h[1] << 5 | h[1] >> 27) ^ p[i]) * 0x9E3779B1u;
  }
}

// Everything the cap is computed from inside the context: the whole work buffer (the rules
// that decide whether a paper is offered may read any setting), the custom-size slots,
// whether they were loaded, and the description, model and option rows in use.
static void Fingerprint(const DRIVER_CONTEXT *ctx, DWORD h[2])
{
  h[0] = 0x811C9DC5u, h[1] = 0x2545F491u;
  Mix(h, ctx->work, KV_WORK_BUFFER_SIZE);
  Mix(h, ctx->state->freeSizeSlots, sizeof ctx->state->freeSizeSlots);
  const void *refs[3] = {ctx->desc, ctx->model, ctx->items};
  DWORD loaded = CtxGetUiFlags((DRIVER_CONTEXT *)ctx) & KV_UI_FLAG_FREE_SIZES_LOADED;
  Mix(h, refs, sizeof refs);
  Mix(h, &loaded, sizeof loaded);
}

LONG WINAPI RuleCondResolutionCheck(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL || ctx->state == NULL) return 1;
  COND_CACHE cache = ReadCache(ctx);
  if (cache.busy) return 1;  // asked from inside the cap's own recomputation: no cap
  // Only a custom page is worth remembering: its computation costs some twenty times the
  // fingerprint, a standard paper's about as much as the fingerprint itself. Before the
  // custom sizes are loaded, every computation reads them from the settings file, which the
  // fingerprint does not cover: no answer is kept then either.
  const DEVMODEW *dm = (const DEVMODEW *)ctx->work;
  bool custom = DmIsSlotPaper(dm->dmPaperSize) || DmIsSlotPaper(ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL));
  bool keep = custom && (CtxGetUiFlags(ctx) & KV_UI_FLAG_FREE_SIZES_LOADED) != 0;
  DWORD h[2] = {0, 0};
  if (keep) {
    Fingerprint(ctx, h);
    if (cache.valid && cache.fingerprint[0] == h[0] && cache.fingerprint[1] == h[1]) return cache.cap == 0;
  }
  bool computed;
  LONG cap = ComputeCap(ctx, 1, &computed);
  cache = ReadCache(ctx);
  cache.valid = keep && computed ? 1 : 0;
  cache.fingerprint[0] = h[0], cache.fingerprint[1] = h[1];
  cache.cap = cap;
  WriteCache(ctx, &cache);
  return cap == 0;
}
