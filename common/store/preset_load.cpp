// Loading one stored preset into a context: from the preset cache, else from its file, with
// preset 0 as the fallback for a file that cannot be taken.
#include "hooks/dm_events.h"
#include "files/ini.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "store/list_internal.h"
#include "store/stored_lists.h"

namespace {

constexpr int kPathChars = 260;

void PathOfKey(DRIVER_CONTEXT *ctx, const WCHAR *key, WCHAR *path)
{
  path[0] = 0;
  IniGetString(CtxGetPrinterSection(ctx), key, u"", path, kPathChars, CtxGetSettingsIniPath(ctx));
}

}  // namespace

int WINAPI ListLoadPresetByKey(DRIVER_CONTEXT *ctx, const WCHAR *key)
{
  if (ctx == NULL || ctx->state == NULL || key == NULL) return 0;
  if (ListPresetCache(ctx, key, LIST_CACHE_RESTORE)) {
    CtxSetSettingsFileStatus(ctx, KST_STATUS_OK);
    return 1;
  }
  bool warn = false;
  bool cache = true;
  DWORD refused = KST_STATUS_OK;
  WCHAR *path = (WCHAR *)MemAllocZeroed(2 * kPathChars * sizeof(WCHAR));
  if (path != NULL) {
    WCHAR first[KV_PRESET_KEY_CHARS];
    ListFormatPresetKey(first, 0, LIST_KEY_PATH);
    PathOfKey(ctx, key, path);
    CtxSetSettingsFileStatus(ctx, KST_STATUS_OK);
    if (path[0] == 0) PathOfKey(ctx, first, path);
    StoreReadSettingsFile(ctx->printer, path, KST_NO_MESSAGE | KST_PRESET_ITEMS, ctx);
    DWORD status = CtxGetSettingsFileStatus(ctx);
    if (status != KST_STATUS_OK) {
      warn = true;
      refused = status;
      // Only a file that was read and refused loses its place in the list; one that
      // cannot be read just now (locked, a network hiccup) keeps its key, and its slot
      // of the cache is not filled with preset 0's values.
      if (status == KST_STATUS_REJECTED)
        IniWriteString(CtxGetPrinterSection(ctx), key, u"", CtxGetSettingsIniPath(ctx));
      else
        cache = false;
      CtxSetSettingsFileStatus(ctx, KST_STATUS_OK);
      WCHAR fallback[kPathChars];
      PathOfKey(ctx, first, fallback);
      StoreReadSettingsFile(ctx->printer, fallback, KST_PRESET_ITEMS, ctx);
    }
  }
  kvlist::FinishPresetLoad(ctx, key, path != NULL, cache);
  if (warn) ListWarnPresetNotTaken(ctx, path);
  MemFree(path);
  CtxRaiseSettingsLoadedEvent(ctx);
  // The caller learns why the preset's own file was not taken, although preset 0 was read
  // in its place: the status of the failed read stays the context's.
  CtxSetSettingsFileStatus(ctx, refused);
  return 0;
}
