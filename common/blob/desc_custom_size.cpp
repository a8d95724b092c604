// The size of a custom paper in 0.1 mm: a stored user size or a free-size paper of the
// DEVMODE, from the context's custom-size items and slots.
#include "blob/desc_geometry.h"

#include "items/item_store.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"
#include "win32/devmode.h"

// 1200-dpi dots as 0.1 mm, rounded up; a negative length counts as 0.
static LONG DotsToTenths(LONG dots) { return dots <= 0 ? 0 : (LONG)DmDotsToUnits(1, (DWORD)dots, 1200); }

int WINAPI DescGetCustomPaperSize(DRIVER_CONTEXT *ctx, SIZE *size, WORD paperCode, int fromDevmode)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  LONG slot = ListPaperIdToSlot(paperCode, ctx);
  LONG width, length;
  if (fromDevmode) {
    const DEVMODEW *dm = (const DEVMODEW *)ctx->work;
    if ((dm->dmFields & DM_PAPERSIZE) != 0 && dm->dmPaperSize != 256) {
      ListFillFixedSizeSlot(ctx, paperCode, slot);
      ListLoadFreeSize(ctx, slot);
      width = DotsToTenths(ItemGetValue(ctx, ITEM_wdmFreeSizeWidth, NULL));
      length = DotsToTenths(ItemGetValue(ctx, ITEM_wdmFreeSizeLength, NULL));
    } else {
      width = dm->dmPaperWidth;
      length = dm->dmPaperLength;
    }
    if (ItemGetRaw(ctx, ITEM_dmOrientation, NULL) == 2) {
      LONG t = width;
      width = length, length = t;
    }
  } else if (paperCode == 448 && ctx->state != NULL) {
    ListFillFixedSizeSlot(ctx, paperCode, slot);
    width = DotsToTenths(ctx->state->freeSizeSlots[slot].width);
    length = DotsToTenths(ctx->state->freeSizeSlots[slot].length);
  } else {
    ListLoadFreeSize(ctx, slot);
    width = DotsToTenths(ItemGetValue(ctx, ITEM_wdmFreeSizeWidth, NULL));
    length = DotsToTenths(ItemGetValue(ctx, ITEM_wdmFreeSizeLength, NULL));
  }
  if (size != NULL) {
    size->cx = width;
    size->cy = length;
  }
  return 1;
}
