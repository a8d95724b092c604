// The resolution cap: whether the page is too large for any resolution but 600 dpi. The page
// geometry is recomputed from the DEVMODE on a scratch state, so asking the question leaves
// the settings, their change marks and the custom-size slots as they were.
#include <string.h>

#include "devmode/dm_paper_items.h"
#include "hooks/module_hooks.h"
#include "items/item_store.h"
#include "model/model.h"
#include "rules/rule_cond.h"
#include "tables/item_ids.h"

#define KV_MAX_PAGE_DOTS 30708  // the longest page edge in dots the device takes above 600 dpi

// What a recomputation may change besides the work buffer: the option rows' marks, the
// context's change and UI words, the custom-size slots and the pending pass mode.
typedef struct CAP_SCRATCH {
  BYTE work[KV_WORK_BUFFER_SIZE];
  TABLE_REF *rows;
  DWORD settingsChanged;
  DWORD uiFlags;
  WORD pendingPassMode;
  FREE_SIZE_SLOT slots[12];
} CAP_SCRATCH;

static CAP_SCRATCH *SaveState(DRIVER_CONTEXT *ctx)
{
  CAP_SCRATCH *s = (CAP_SCRATCH *)MemAllocZeroed(sizeof(CAP_SCRATCH));
  if (s == NULL) return NULL;
  s->rows = ItemSaveTableState(ctx);
  if (s->rows == NULL || s->rows->rows == NULL) {
    ItemRestoreTableState(ctx, s->rows);
    MemFree(s);
    return NULL;
  }
  memcpy(s->work, ctx->work, sizeof s->work);
  s->settingsChanged = ctx->state->settingsChanged;
  s->uiFlags = ctx->state->uiFlags;
  s->pendingPassMode = ctx->state->pendingPassMode;
  memcpy(s->slots, ctx->state->freeSizeSlots, sizeof s->slots);
  return s;
}

static void RestoreState(DRIVER_CONTEXT *ctx, CAP_SCRATCH *s)
{
  memcpy(ctx->work, s->work, sizeof s->work);
  ItemRestoreTableState(ctx, s->rows);
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

LONG WINAPI RuleGetResolutionCap(DRIVER_CONTEXT *ctx, int mode)
{
  if (ctx == NULL || ctx->work == NULL || ctx->state == NULL) return 0;
  CAP_SCRATCH *saved = SaveState(ctx);
  if (saved == NULL) return 0;  // no scratch state: the settings are not touched
  RecomputeGeometry(ctx, mode);
  LONG cap = 0;
  if (ItemGetRaw(ctx, ITEM_dmPrintQuality, NULL) != 600) {
    DWORD width = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstPaperWidthDot, NULL);
    DWORD length = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstPaperLengthDot, NULL);
    bool fits = width <= KV_MAX_PAGE_DOTS && length <= KV_MAX_PAGE_DOTS && SourceFits(ctx);
    cap = fits ? 0 : 600;
  }
  RestoreState(ctx, saved);
  return cap;
}
