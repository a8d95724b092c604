// Shared steps of the paper-item computations: printable areas, guarded lengths, the six
// items of a paper and the size of a custom-paper slot.
#include "devmode/dm_paper_geometry.h"

#include "blob/desc_geometry.h"
#include "devmode/dm_paper_items.h"
#include "items/item_store.h"
#include "store/stored_lists.h"

bool DmPaperArea(DRIVER_CONTEXT *ctx, LONG valueId, RECT *area)
{
  area->left = area->top = area->right = area->bottom = 0;
  if (valueId <= 0 || valueId > 0xFFFF) return false;
  return DescGetPrintableArea(ctx, area, NULL, (WORD)valueId) != 0;
}

DWORD DmLessTwice(DWORD length, LONG offset)
{
  unsigned long long twice = offset > 0 ? 2ull * (unsigned long long)offset : 0;
  return twice >= length ? 0 : (DWORD)(length - twice);
}

void DmWritePaperItems(DRIVER_CONTEXT *ctx, WORD first, DWORD length, DWORD width, DWORD prnLength, DWORD prnWidth,
                       LONG left, LONG top)
{
  ItemSetRaw(ctx, first, (LONG)length);
  ItemSetRaw(ctx, (WORD)(first + 1), (LONG)width);
  ItemSetRaw(ctx, (WORD)(first + 2), (LONG)prnLength);
  ItemSetRaw(ctx, (WORD)(first + 3), (LONG)prnWidth);
  ItemSetRaw(ctx, (WORD)(first + 4), left);
  ItemSetRaw(ctx, (WORD)(first + 5), top);
}

bool DmSlotSize(DRIVER_CONTEXT *ctx, LONG slot, DWORD *width, DWORD *length)
{
  if (ctx == NULL || ctx->state == NULL || slot < 0 || slot >= KV_PAPER_SLOTS) return false;
  const FREE_SIZE_SLOT *record = &ctx->state->freeSizeSlots[slot];
  *width = record->width > 0 ? (DWORD)record->width : 0;
  *length = record->length > 0 ? (DWORD)record->length : 0;
  return true;
}
