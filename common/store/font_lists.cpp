// Font lists of the printer configuration, held as arrays that items of the work buffer
// point at: device fonts, option fonts and the substitution table (g_kvFontLists).
#include "store/settings_store.h"
#include "items/item_store.h"
#include "model/font_list_table.h"

int WINAPI StoreFreeFontLists(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  for (const FONT_LIST_DEF &list : g_kvFontLists) {
    void *array = (void *)(intptr_t)ItemGetRaw(ctx, list.listId, NULL);
    MemFree(array);
    ItemSetRaw(ctx, list.listId, 0);
  }
  return 1;
}
