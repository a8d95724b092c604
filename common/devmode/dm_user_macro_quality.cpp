// The quality set chosen by the user print macro, read into the context after a merge.
#include "devmode/dm_merge.h"
#include "items/item_store.h"
#include "store/settings_files.h"
#include "tables/item_ids.h"

int WINAPI ListLoadUserMacroQuality(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  int index = DmUserMacroQualityIndex(ctx);
  if (index < 0) return 0;
  WCHAR path[MAX_PATH];
  if (!DmGetQualityListPath(ctx, index, path, MAX_PATH)) return 0;
  return StoreReadSettingsFile(ctx->printer, path, KST_WORK_ITEMS | KST_QUALITY_ITEMS, ctx) == 1 ? 1 : 0;
}
