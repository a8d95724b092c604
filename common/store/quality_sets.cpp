// Stored quality sets: the "QualityList%d" keys of the printer's section of the settings
// INI, their companion "ksq" files and the rewrite of every set.
#include "files/ini.h"
#include "files/paths.h"
#include "files/settings_dirs.h"
#include "hooks/module_hooks.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "store/list_internal.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace {

constexpr int kPathChars = 260;

// Whether quality set index has a file in the list.
bool QualityListed(DRIVER_CONTEXT *ctx, int index)
{
  WCHAR key[KV_PRESET_KEY_CHARS], path[kPathChars];
  ListFormatQualityKey(key, index, LIST_KEY_PATH);
  IniGetString(CtxGetPrinterSection(ctx), key, u"", path, kPathChars, CtxGetSettingsIniPath(ctx));
  return path[0] != 0;
}

}  // namespace

namespace kvlist {

// Item 830 := the text under the key followed by "Name" (259 characters at most).
void ReadQualityName(DRIVER_CONTEXT *ctx, const WCHAR *key)
{
  if (lstrlenW(key) >= KV_PRESET_KEY_CHARS) return;
  WCHAR full[KV_PRESET_KEY_CHARS + 8];
  wsprintfW(full, u"%sName", key);
  WCHAR name[kPathChars];
  IniGetString(CtxGetPrinterSection(ctx), full, u"", name, kPathChars, CtxGetSettingsIniPath(ctx));
  ItemWriteText(ctx, ItemFindById(ctx, ITEM_wdmUserSetName), name);
}

}  // namespace kvlist

int WINAPI ListGetQualityCount(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  return (int)IniGetInt(CtxGetPrinterSection(ctx), u"QualityCount", 0, CtxGetSettingsIniPath(ctx));
}

WCHAR *WINAPI ListFormatQualityKey(WCHAR *buffer, int index, int kind)
{
  if (buffer == NULL) return NULL;
  wsprintfW(buffer, u"QualityList%d%s", index, kind == LIST_KEY_NAME ? u"Name" : u"");
  return buffer;
}

int WINAPI ListLoadQuality(DRIVER_CONTEXT *ctx, int index)
{
  WCHAR key[KV_PRESET_KEY_CHARS];
  return ListLoadQualityByKey(ctx, ListFormatQualityKey(key, index, LIST_KEY_PATH));
}

int WINAPI ListSaveQuality(DRIVER_CONTEXT *ctx, int index)
{
  if (ctx == NULL || kvlist::WritesBarred(ctx) || index < 0) return 0;
  WCHAR key[KV_PRESET_KEY_CHARS];
  return ListSaveQualityByKey(ctx, ListFormatQualityKey(key, index, LIST_KEY_PATH));
}

int WINAPI ListLoadQualityKsq(DRIVER_CONTEXT *ctx, int index)
{
  WCHAR key[KV_PRESET_KEY_CHARS];
  return ListLoadQualityKsqByKey(ctx, ListFormatQualityKey(key, index, LIST_KEY_PATH));
}

int WINAPI ListLoadQualityKsqByKey(DRIVER_CONTEXT *ctx, const WCHAR *key)
{
  if (ctx == NULL || key == NULL) return 0;
  WCHAR path[kPathChars], copy[kPathChars], companion[kPathChars];
  IniGetString(CtxGetPrinterSection(ctx), key, u"", path, kPathChars, CtxGetSettingsIniPath(ctx));
  if (path[0] == 0) return 0;
  // The companion is named like the set's copy in the settings directory, as "ksq".
  if (!PathSettingsKsrFileCore(copy, path, kPathChars, ctx) || !PathWithKsqExt(companion, kPathChars, copy)) return 0;
  int read = StoreReadSettingsFile(ctx->printer, companion, KST_SECTION_BY_DIRECTION | KST_QUALITY_ITEMS, ctx);
  kvlist::ReadQualityName(ctx, key);
  return read == 1 && CtxGetSettingsFileStatus(ctx) == KST_STATUS_OK ? 1 : 0;
}

int WINAPI ListResaveAllQualities(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  kvlist::SnapshotScope snapshot(ctx);
  if (!snapshot.ok()) return 0;
  // The walk ends at the first entry without a file: the count is only a key of the
  // settings INI, and a damaged one must not keep the walk going.
  int count = ListGetQualityCount(ctx);
  for (int n = 0; n < count && QualityListed(ctx, n); ++n) {
    ListLoadQualityKsq(ctx, n);
    ListLoadQuality(ctx, n);
    ListSaveQuality(ctx, n);
  }
  return 1;
}

WCHAR *WINAPI OsGetPrinterNameAlias(HANDLE printer, WCHAR *buf, DWORD capacity)
{
  return OsGetPrinterName(printer, buf, capacity);
}

LONG WINAPI CtxNotifyModulesEvent12(DRIVER_CONTEXT *ctx)
{
  KV_EVT_ANSWER_DATA data = {1};
  CtxNotifyModules(ctx, KV_EVT_USE_DEFAULT_FILES, &data);
  return data.answer;
}
