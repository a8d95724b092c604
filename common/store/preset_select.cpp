// Selecting a stored preset by its index in the list.
#include "items/item_store.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

int WINAPI ListSelectPreset(DRIVER_CONTEXT *ctx, int index)
{
  if (ctx == NULL) return 0;
  if (index < 0 || index >= KV_PRESET_MAX) {
    ItemWriteText(ctx, ItemFindById(ctx, ITEM_wdmPresetName), u"");
    ItemWriteText(ctx, ItemFindById(ctx, ITEM_wdmPresetComment), u"");
    return 0;
  }
  WCHAR key[KV_PRESET_KEY_CHARS];
  return ListLoadPresetByKey(ctx, ListFormatPresetKey(key, index, LIST_KEY_PATH));
}
