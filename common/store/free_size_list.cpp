// The custom paper slots of a context: paper ids to slots, the two free-size papers of the
// DEVMODE in their slot records, and the loads of the stored user sizes.
#include "store/free_size_list.h"

#include <string.h>

#include "items/item_store.h"
#include "names/resources.h"
#include "tables/item_ids.h"

static const WORD s_slotPapers[KV_FREE_SIZE_SLOTS] = {384, 385, 386, 387, 388, 389, 390, 391, 392, 393, 256, 448};

LONG WINAPI ListPaperIdToSlot(WORD paperId, DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  for (LONG slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot)
    if (s_slotPapers[slot] == paperId) return slot;
  return 0;
}

void WINAPI ListFillFixedSizeSlot(DRIVER_CONTEXT *ctx, WORD paperId, LONG slot)
{
  if (ctx == NULL || ctx->state == NULL || slot < 0 || slot >= KV_FREE_SIZE_SLOTS) return;
  WORD width, length, tray, orient, nameId;
  if (paperId == 256) {
    width = ITEM_kdmPaperFreeSizeWidth, length = ITEM_kdmPaperFreeSizeLength;
    tray = ITEM_kdmPaperFreeSizeTray, orient = ITEM_kdmPaperFreeSizeOrient, nameId = 752;
  } else if (paperId == 448) {
    width = ITEM_kdmPrintFreeSizeWidth, length = ITEM_kdmPrintFreeSizeLength;
    tray = ITEM_kdmPrintFreeSizeTray, orient = ITEM_kdmPrintFreeSizeOrient, nameId = 753;
  } else {
    return;
  }
  FREE_SIZE_SLOT *record = &ctx->state->freeSizeSlots[slot];
  // These two slots keep their name as UTF-16 text of up to 31 characters.
  WCHAR name[sizeof record->displayName / sizeof(WCHAR)];
  ResLoadString(ctx, nameId, name, (int)(sizeof name / sizeof name[0]), TRUE);
  memcpy(record->displayName, name, sizeof record->displayName);
  record->width = ItemGetValue(ctx, width, NULL);
  record->length = ItemGetValue(ctx, length, NULL);
  record->tray = (SHORT)ItemGetRaw(ctx, tray, NULL);
  record->orientation = (SHORT)ItemGetRaw(ctx, orient, NULL);
}

void WINAPI ListLoadFreeSize(DRIVER_CONTEXT *ctx, LONG slot) { (void)ctx, (void)slot; }

void WINAPI ListLoadAllFreeSizes(DRIVER_CONTEXT *ctx) { (void)ctx; }
