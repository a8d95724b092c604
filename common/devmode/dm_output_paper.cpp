// Output paper items: the size and printable area of the paper the job is printed on, in
// dots at the device resolution.
#include "devmode/dm_paper_items.h"

#include "blob/desc_geometry.h"
#include "devmode/dm_paper_geometry.h"
#include "items/item_store.h"
#include "model/model.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

// The output code's value ID: by the given item's translation when it maps the code, else
// by the paper item's.
static LONG OutputValueId(DRIVER_CONTEXT *ctx, SHORT paper, WORD itemId)
{
  const OPTION_ITEM *row = ItemFindById(ctx, itemId);
  if (row != NULL && ItemIsStoredValueMapped(ctx, row, paper)) return ItemStoredToValueId(ctx, row, paper);
  const OPTION_ITEM *paperRow = ItemFindById(ctx, ITEM_dmPaperSize);
  return paperRow != NULL ? ItemStoredToValueId(ctx, paperRow, paper) : paper;
}

void WINAPI DmComputeOutputPaperItems(DRIVER_CONTEXT *ctx, SHORT paper, WORD itemId, DEVMODEW *devmode, int swap)
{
  if (ctx == NULL || devmode == NULL) return;
  SIZE out;
  if (DescGetOutputPaperSize(ctx, &out)) {
    ItemSetRaw(ctx, ITEM_kdmDstPaperLengthMM, out.cy);
    ItemSetRaw(ctx, ITEM_kdmDstPaperWidthMM, out.cx);
  }
  if (paper == 1024) {
    paper = (SHORT)ItemGetRaw(ctx, ITEM_dmPaperSize, NULL);
    if (DmIsSlotPaper(paper)) {
      for (WORD i = 0; i < 6; ++i)
        ItemSetRaw(ctx, (WORD)(ITEM_kdmDstPaperLengthDot + i),
                   ItemGetRaw(ctx, (WORD)(ITEM_kdmSrcPaperLengthDot + i), NULL));
      return;
    }
  }
  LONG valueId = OutputValueId(ctx, paper, itemId);
  RECT area;
  bool found = DmPaperArea(ctx, valueId, &area);
  // A fit to A4 or Letter that the description gives no paper of its own prints on the
  // region's default paper, as the output size items 596 and 597 above have it; otherwise
  // the six items would keep the figures of an earlier paper.
  if (!found && (paper == 1025 || paper == 1026)) {
    paper = ItemDefaultPaperIsLetter(ctx) ? DMPAPER_LETTER : DMPAPER_A4;
    valueId = OutputValueId(ctx, paper, ITEM_dmPaperSize);
    found = DmPaperArea(ctx, valueId, &area);
  }
  DWORD xDpi = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL);
  DWORD yDpi = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstResolutionH, NULL);
  if (DmIsSlotPaper(paper)) {
    LONG slot = ListPaperIdToSlot((WORD)paper, ctx);
    ListLoadAllFreeSizes(ctx);
    ListFillFixedSizeSlot(ctx, (WORD)paper, slot);
    ListFreeSizeCacheToItems(ctx, slot);  // the output's custom size as the dialogs show it
    DWORD width = 0, length = 0;
    if (!DmSlotSize(ctx, slot, &width, &length)) return;
    if (swap && devmode->dmOrientation == DMORIENT_LANDSCAPE) {
      DWORD t = width;
      width = length, length = t;
    }
    DWORD l = DmRescale(length, 1200, yDpi), w = DmRescale(width, 1200, xDpi);
    DmWritePaperItems(ctx, ITEM_kdmDstPaperLengthDot, l, w, DmLessTwice(l, area.top), DmLessTwice(w, area.left),
                      area.left, area.top);
    return;
  }
  SIZE size;
  if (!found || !DescGetPaperSizeOfValue(ctx, &size, valueId)) return;
  DWORD l = DmUnitsToDots(1, size.cy > 0 ? (DWORD)size.cy : 0, yDpi != 0 ? yDpi : xDpi);
  DWORD w = DmUnitsToDots(1, size.cx > 0 ? (DWORD)size.cx : 0, xDpi);
  DmWritePaperItems(ctx, ITEM_kdmDstPaperLengthDot, l, w, (DWORD)(area.bottom - area.top),
                    (DWORD)(area.right - area.left), area.left, area.top);
}
