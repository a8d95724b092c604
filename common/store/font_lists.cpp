// Font lists of the printer configuration, held as arrays that items of the work buffer
// point at: device fonts (10007), option fonts (10009) and the substitution table (10005).
#include "store/settings_store.h"
#include "items/item_store.h"
#include "tables/item_ids.h"

int WINAPI StoreFreeFontLists(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  static const WORD lists[3] = {ITEM_kdmDeviceFont, ITEM_kdmOptionFont, ITEM_kdmFontTable};
  for (WORD id : lists) {
    void *array = (void *)(intptr_t)ItemGetRaw(ctx, id, NULL);
    MemFree(array);
    ItemSetRaw(ctx, id, 0);
  }
  return 1;
}
