// Resolution, duplex and media: the public DEVMODE fields and the private items that hold
// the same choices in the device's form; the tray of a custom paper.
#include "devmode/dm_paper_items.h"

#include "devmode/dm_paper_geometry.h"
#include "items/item_store.h"
#include "model/model.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

void WINAPI DmSyncResolutionFromPrintQuality(DEVMODEW *devmode, DRIVER_CONTEXT *ctx)
{
  (void)devmode;
  if (ctx == NULL) return;
  LONG quality = ItemGetRaw(ctx, ITEM_dmPrintQuality, NULL);
  if (quality > 0) {
    ItemSetRaw(ctx, ITEM_dmYResolution, quality);
    ItemSetRaw(ctx, ITEM_kdmDstResolutionW, quality);
    ItemSetRaw(ctx, ITEM_kdmDstResolutionH, quality);
  }
  // A print-quality code maps to no resolution code; the pending pass mode still applies.
  DmSetResolutionCode(quality > 0 ? (DWORD)quality : 0, ctx);
}

void WINAPI DmSyncResolutionFromDevice(DEVMODEW *devmode, DRIVER_CONTEXT *ctx)
{
  (void)devmode;
  if (ctx == NULL) return;
  LONG dpi = ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL);
  if (dpi <= 0) return;
  ItemSetRaw(ctx, ITEM_kdmDstResolutionH, dpi);
  ItemSetRaw(ctx, ITEM_dmPrintQuality, dpi);
  ItemSetRaw(ctx, ITEM_dmYResolution, dpi);
}

// The top-binding duplex types: the binding edge lies along the sheet's short side in
// portrait.
static bool IsTopBinding(LONG type) { return type == 1 || type == 17 || type == 20; }

void WINAPI DmSyncDuplexFromItems(DEVMODEW *devmode, DRIVER_CONTEXT *ctx)
{
  if (devmode == NULL || ctx == NULL) return;
  if (ItemGetRaw(ctx, ITEM_kdmFuncSelectDuplex, NULL) == 0) {
    devmode->dmDuplex = DMDUP_SIMPLEX;
    return;
  }
  if (ItemGetRaw(ctx, ITEM_wdmCustomFunc0, NULL) != 0 && devmode->dmDuplex != DMDUP_VERTICAL &&
      devmode->dmDuplex != DMDUP_HORIZONTAL)
    return;
  LONG type = ItemGetRaw(ctx, ITEM_kdmDuplexType, NULL);
  bool landscape = devmode->dmOrientation == DMORIENT_LANDSCAPE;
  if (type == 0)
    devmode->dmDuplex = DMDUP_SIMPLEX;
  else if (IsTopBinding(type))
    devmode->dmDuplex = landscape ? DMDUP_VERTICAL : DMDUP_HORIZONTAL;
  else
    devmode->dmDuplex = landscape ? DMDUP_HORIZONTAL : DMDUP_VERTICAL;
}

void WINAPI DmSyncMediaTypeFromItem(DEVMODEW *devmode, DRIVER_CONTEXT *ctx)
{
  if (devmode == NULL || ctx == NULL) return;
  devmode->dmMediaType = (DWORD)ItemGetRaw(ctx, ITEM_kdmMediaType, NULL);
}

LONG WINAPI ListGetFreeSizeTray(DRIVER_CONTEXT *ctx, SHORT paper, BYTE apply)
{
  bool slotPaper = (paper >= 384 && paper <= 393) || paper == 256 || paper == 448;
  if (ctx == NULL || ctx->state == NULL || !slotPaper) return 0;
  LONG slot = ListPaperIdToSlot((WORD)paper, ctx);
  ListLoadAllFreeSizes(ctx);
  ListFillFixedSizeSlot(ctx, (WORD)paper, slot);
  LONG tray = ctx->state->freeSizeSlots[slot].tray;
  if (!apply) return tray;
  if (tray == 0) return 0;
  ItemSetRaw(ctx, ITEM_dmDefaultSource, tray);
  return 1;
}

void WINAPI DmSetOutputPaperItemsSwapped(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, DEVMODEW *devmode)
{
  DmComputeOutputPaperItems(ctx, paper, itemId, devmode, 1);
}

void WINAPI DmSetCustomPaperItems(DEVMODEW *devmode, DRIVER_CONTEXT *ctx)
{
  if (devmode == NULL || ctx == NULL) return;
  // A print-quality code is no resolution: the device resolution serves instead.
  LONG dpi = ItemGetRaw(ctx, ITEM_dmPrintQuality, NULL);
  if (dpi <= 0) dpi = ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL);
  if (dpi <= 0) return;
  const OPTION_ITEM *paperRow = ItemFindById(ctx, ITEM_dmPaperSize);
  RECT area;
  DmPaperArea(ctx, paperRow != NULL ? ItemStoredToValueId(ctx, paperRow, 256) : 256, &area);
  DWORD l = DmUnitsToDots(1, devmode->dmPaperLength > 0 ? (DWORD)devmode->dmPaperLength : 0, (DWORD)dpi);
  DWORD w = DmUnitsToDots(1, devmode->dmPaperWidth > 0 ? (DWORD)devmode->dmPaperWidth : 0, (DWORD)dpi);
  DmWritePaperItems(ctx, ITEM_kdmSrcPaperLengthDot, l, w, DmLessTwice(l, area.top), DmLessTwice(w, area.left),
                    area.left, area.top);
}
