// Loading one stored quality set into a context: its file's quality items and its name.
#include "files/ini.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "store/list_internal.h"
#include "store/stored_lists.h"

int WINAPI ListLoadQualityByKey(DRIVER_CONTEXT *ctx, const WCHAR *key)
{
  if (ctx == NULL || key == NULL) return 0;
  WCHAR path[260];
  IniGetString(CtxGetPrinterSection(ctx), key, u"", path, 260, CtxGetSettingsIniPath(ctx));
  int read = path[0] != 0 ? StoreReadSettingsFile(ctx->printer, path, KST_QUALITY_ITEMS, ctx) : 0;
  kvlist::ReadQualityName(ctx, key);
  return read == 1 && CtxGetSettingsFileStatus(ctx) == KST_STATUS_OK ? 1 : 0;
}
