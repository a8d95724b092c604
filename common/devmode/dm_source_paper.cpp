// Source paper items: the document paper's size and printable area in dots at the device
// resolution, and the DEVMODE's paper fields that go with them.
#include "devmode/dm_paper_items.h"

#include "blob/desc_geometry.h"
#include "devmode/dm_paper_geometry.h"
#include "hooks/module_hooks.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "model/model.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

#define KV_LARGE_SIZE_DOTS 154771  // 3276.0 mm at 1200 dpi: the most the DEVMODE's 0.1 mm fields hold

static DWORD Clamp(DWORD v, LONG lo, LONG hi)
{
  if (lo > 0 && v < (DWORD)lo) return (DWORD)lo;
  if (hi > 0 && v > (DWORD)hi) return (DWORD)hi;
  return v;
}

static void CustomSourceItems(DRIVER_CONTEXT *ctx, SHORT paper, const RECT *area, DEVMODEW *devmode, int swap)
{
  LONG slot = ListPaperIdToSlot((WORD)paper, ctx);
  ListLoadAllFreeSizes(ctx);
  ListFillFixedSizeSlot(ctx, (WORD)paper, slot);
  ListFreeSizeCacheToSrcItems(ctx, slot);  // the document's custom size as the dialogs show it
  DWORD width = 0, length = 0;
  if (!DmSlotSize(ctx, slot, &width, &length)) return;
  // The model's custom-size limits, compared in 1200-dpi dots where the slot holds them.
  if (ctx->model != NULL) {
    width = Clamp(width, ctx->model->customWidthMin, ctx->model->customWidthMax);
    length = Clamp(length, ctx->model->customLengthMin, ctx->model->customLengthMax);
  }
  if (swap && devmode->dmOrientation == DMORIENT_LANDSCAPE) {
    DWORD t = width;
    width = length, length = t;
  }
  bool tooLarge = width > KV_LARGE_SIZE_DOTS || length > KV_LARGE_SIZE_DOTS;
  ItemSetRaw(ctx, ITEM_kdmFuncSelectFreeShortOver, tooLarge ? 1 : 0);
  DWORD dpi = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL);
  DWORD l = DmRescale(length, 1200, dpi), w = DmRescale(width, 1200, dpi);
  DmWritePaperItems(ctx, ITEM_kdmSrcPaperLengthDot, l, w, DmLessTwice(l, area->top), DmLessTwice(w, area->left),
                    area->left, area->top);
  if (tooLarge) {
    devmode->dmPaperLength = devmode->dmPaperWidth = 0;
    devmode->dmFields = (devmode->dmFields & ~(DWORD)(DM_PAPERLENGTH | DM_PAPERWIDTH)) | DM_PAPERSIZE;
    return;
  }
  KV_EVT_DEVMODE_ANSWER_DATA data = {devmode, 0};
  CtxNotifyModules(ctx, KV_EVT_SOURCE_PAPER_ITEMS, &data);
  if (data.answer != 0) return;
  devmode->dmPaperLength = (SHORT)DmDotsToUnits(1, length, 1200);
  devmode->dmPaperWidth = (SHORT)DmDotsToUnits(1, width, 1200);
  devmode->dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH | DM_PAPERSIZE;
}

void WINAPI DmComputeSourcePaperItems(DRIVER_CONTEXT *ctx, SHORT paper, WORD itemId, DEVMODEW *devmode, int swap)
{
  if (ctx == NULL || devmode == NULL) return;
  const OPTION_ITEM *row = ItemFindById(ctx, itemId);
  LONG valueId = row != NULL ? ItemStoredToValueId(ctx, row, paper) : paper;
  RECT area;
  bool found = DmPaperArea(ctx, valueId, &area);
  if (DmIsSlotPaper(paper)) {
    CustomSourceItems(ctx, paper, &area, devmode, swap);
    return;
  }
  // A standard paper the description lists (and no rule hides) and has an area for: its size
  // in dots at the device resolution, lengths along the sheet as it is printed. Any other
  // paper changes nothing.
  SIZE size;
  if (!found || !DmValidatePaperSize(paper, ctx) || !DescGetPaperSizeOfValue(ctx, &size, valueId)) return;
  DWORD xDpi = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL);
  DWORD yDpi = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstResolutionH, NULL);
  DWORD l = DmUnitsToDots(1, size.cy > 0 ? (DWORD)size.cy : 0, yDpi != 0 ? yDpi : xDpi);
  DWORD w = DmUnitsToDots(1, size.cx > 0 ? (DWORD)size.cx : 0, xDpi);
  DmWritePaperItems(ctx, ITEM_kdmSrcPaperLengthDot, l, w, (DWORD)(area.bottom - area.top),
                    (DWORD)(area.right - area.left), area.left, area.top);
  devmode->dmPaperLength = (SHORT)size.cy;
  devmode->dmPaperWidth = (SHORT)size.cx;
  devmode->dmFields = (devmode->dmFields & ~(DWORD)(DM_PAPERLENGTH | DM_PAPERWIDTH)) | DM_PAPERSIZE;
}
