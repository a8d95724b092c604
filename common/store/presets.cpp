// Stored presets: the "PresetList%d" keys of the printer's section of the settings INI, the
// preset files they name, their companion defaults, new user file names and the rewrite
// of every stored preset.
#include <string.h>

#include "files/ini.h"
#include "files/paths.h"
#include "files/settings_dirs.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "hooks/dm_events.h"
#include "store/list_internal.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace {

constexpr int kPathChars = 260;
constexpr int kTextChars = 1025;

// The preset's path under the key of index; "" when missing.
void PathOfIndex(DRIVER_CONTEXT *ctx, int index, WCHAR *path)
{
  WCHAR key[KV_PRESET_KEY_CHARS];
  path[0] = 0;
  IniGetString(CtxGetPrinterSection(ctx), ListFormatPresetKey(key, index, LIST_KEY_PATH), u"", path, kPathChars,
               CtxGetSettingsIniPath(ctx));
}

// Reads the key followed by suffix into the text item id (converted to its ANSI field).
void ReadKeyText(DRIVER_CONTEXT *ctx, const WCHAR *key, const WCHAR *suffix, WORD id)
{
  WCHAR *text = (WCHAR *)MemAllocZeroed(kTextChars * sizeof(WCHAR));
  if (text == NULL) return;
  WCHAR full[KV_PRESET_KEY_CHARS + 16];
  if (lstrlenW(key) < KV_PRESET_KEY_CHARS) {
    wsprintfW(full, u"%s%s", key, suffix);
    IniGetString(CtxGetPrinterSection(ctx), full, u"", text, kTextChars, CtxGetSettingsIniPath(ctx));
  }
  ItemWriteText(ctx, ItemFindById(ctx, id), text);
  MemFree(text);
}

// Writes the text of item id under the key followed by suffix.
bool WriteKeyText(DRIVER_CONTEXT *ctx, const WCHAR *key, const WCHAR *suffix, WORD id)
{
  OPTION_ITEM *item = ItemFindById(ctx, id);
  if (item == NULL || lstrlenW(key) >= KV_PRESET_KEY_CHARS) return false;
  WCHAR *text = (WCHAR *)MemAllocZeroed((KvItemSize(item) + 6) * sizeof(WCHAR));
  if (text == NULL) return false;
  ItemReadText(ctx, item, text);
  WCHAR full[KV_PRESET_KEY_CHARS + 16];
  wsprintfW(full, u"%s%s", key, suffix);
  bool ok = IniWriteString(CtxGetPrinterSection(ctx), full, text, CtxGetSettingsIniPath(ctx)) != FALSE;
  MemFree(text);
  return ok;
}

}  // namespace

int WINAPI ListGetPresetCount(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  return (int)IniGetInt(CtxGetPrinterSection(ctx), u"Count", 0, CtxGetSettingsIniPath(ctx));
}

WCHAR *WINAPI ListFormatPresetKey(WCHAR *buffer, int index, int kind)
{
  if (buffer == NULL) return NULL;
  const WCHAR *suffix = kind == LIST_KEY_NAME ? u"Name" : kind == LIST_KEY_COMMENT ? u"Comment" : u"";
  wsprintfW(buffer, u"PresetList%d%s", index, suffix);
  return buffer;
}

char *WINAPI ListPresetNameField(DRIVER_CONTEXT *ctx)
{
  return (char *)ItemGetAddress(ctx, ItemFindById(ctx, ITEM_wdmPresetName));
}

char *WINAPI ListPresetCommentField(DRIVER_CONTEXT *ctx)
{
  return (char *)ItemGetAddress(ctx, ItemFindById(ctx, ITEM_wdmPresetComment));
}

namespace kvlist {

// Steps shared by the preset loaders after the file was read: name and comment, the
// selected stamp, the cache and the settings-loaded event.
void FinishPresetLoad(DRIVER_CONTEXT *ctx, const WCHAR *key, bool readTexts, bool cache)
{
  if (readTexts) {
    ReadKeyText(ctx, key, u"Name", ITEM_wdmPresetName);
    ReadKeyText(ctx, key, u"Comment", ITEM_wdmPresetComment);
  }
  LONG stamp = ItemGetValue(ctx, ITEM_kdmWmID, NULL);
  if (ItemGetRaw(ctx, ITEM_kdmFuncSelectWaterMark, NULL) != 0 && stamp >= 0 && stamp < ListGetStampCount(ctx)) {
    LONG kind = ItemGetValue(ctx, ITEM_kdmWmKind, NULL);
    if (kind >= 1 && kind <= 3) {
      ListLoadStamp(ctx, (int)stamp);
      ItemSetValue(ctx, ITEM_kdmWmID, stamp);
    }
  } else {
    ItemSetRaw(ctx, ITEM_kdmFuncSelectWaterMark, 0);
    ItemSetRaw(ctx, ITEM_kdmWmID, 0);
  }
  if (cache) ListPresetCache(ctx, key, LIST_CACHE_SAVE);
}

}  // namespace kvlist

int WINAPI ListLoadPresetKsd(DRIVER_CONTEXT *ctx, int index)
{
  if (ctx == NULL || ctx->state == NULL || index < 0 || index >= KV_PRESET_MAX) return 0;
  WCHAR path[kPathChars];
  PathOfIndex(ctx, index, path);
  if (path[0] == 0) return 0;
  // The companion: the shared settings directory + the file name cut after its last '.'
  // + "ksd".
  WCHAR name[kPathChars];
  if (!PathReplaceExt(name, kPathChars, PathFindFileName(path), u"ksd")) return 0;
  WCHAR companion[kTextChars];
  companion[0] = 0;
  PathInSharedSettingsDir(companion, kTextChars, name, ctx);
  if (companion[0] == 0 || GetFileAttributesW(companion) == INVALID_FILE_ATTRIBUTES) return 0;
  WCHAR key[KV_PRESET_KEY_CHARS];
  ListFormatPresetKey(key, index, LIST_KEY_PATH);
  if (ListPresetCache(ctx, key, LIST_CACHE_RESTORE)) return 0;
  {
    kvlist::SectionSwap swap(ctx, CtxGetLanguageCode(ctx));
    if (!swap.ok()) return 0;
    StoreReadSettingsFile(ctx->printer, companion, KST_NO_MESSAGE | KST_PRESET_ITEMS, ctx);
  }
  kvlist::FinishPresetLoad(ctx, key, true, true);
  CtxRaiseSettingsLoadedEvent(ctx);
  return 1;
}

int WINAPI ListSavePreset(DRIVER_CONTEXT *ctx, int index)
{
  if (ctx == NULL || kvlist::WritesBarred(ctx) || index < 0 || index >= KV_PRESET_MAX) return 0;
  WCHAR key[KV_PRESET_KEY_CHARS];
  return ListSavePresetByKey(ctx, ListFormatPresetKey(key, index, LIST_KEY_PATH));
}

int WINAPI ListSavePresetByKey(DRIVER_CONTEXT *ctx, const WCHAR *key)
{
  if (ctx == NULL || key == NULL) return LIST_SAVE_FAILED;
  int answer = LIST_SAVE_FAILED;
  WCHAR *path = (WCHAR *)MemAllocZeroed(kTextChars * sizeof(WCHAR));
  if (path != NULL) {
    int choice = kvlist::ChooseSaveFile(ctx, key, path);
    if (choice != LIST_SAVE_FAILED && StoreWriteSettingsFile(ctx->printer, path, KST_PRESET_ITEMS, ctx) == 1 &&
        kvlist::PutSaveFile(ctx, key, path, choice)) {
      bool named = WriteKeyText(ctx, key, u"Name", ITEM_wdmPresetName);
      bool commented = WriteKeyText(ctx, key, u"Comment", ITEM_wdmPresetComment);
      answer = named && commented ? choice : LIST_SAVE_FAILED;
    }
    MemFree(path);
  }
  ListPresetCache(ctx, NULL, LIST_CACHE_FREE);
  return answer;
}

int WINAPI ListIsPresetWritable(DRIVER_CONTEXT *ctx, int index)
{
  if (ctx == NULL || index < 0 || index >= KV_PRESET_MAX) return 0;
  WCHAR path[kPathChars];
  // An entry without a file holds no "Readonly" key: it is written once it gets a file.
  PathOfIndex(ctx, index, path);
  return ListIsKstWritable(ctx, path);
}

int WINAPI ListIsKstWritable(DRIVER_CONTEXT *ctx, const WCHAR *file)
{
  // No file name names no file, and so no "Readonly" key.
  if (file == NULL || file[0] == 0) return 1;
  return IniGetInt(CtxGetPrinterSection(ctx), u"Readonly", 0, file) == 1 ? 0 : 1;
}

int WINAPI ListEnsureUserPresetFile(DRIVER_CONTEXT *ctx, int index)
{
  if (ctx == NULL || kvlist::WritesBarred(ctx) || index < 0 || index >= KV_PRESET_MAX) return 0;
  WCHAR path[kPathChars];
  PathOfIndex(ctx, index, path);
  int length = lstrlenW(path);
  // A copied default (its name ends in 'R' or 'r') is never overwritten.
  bool copiedDefault = length >= 3 && (path[length - 1] == u'R' || path[length - 1] == u'r');
  if (path[0] != 0 && !copiedDefault) return 1;
  WCHAR fresh[kTextChars];
  if (!ListMakeNewKstPath(ctx, fresh) || lstrlenW(fresh) >= kPathChars) return 0;
  WCHAR key[KV_PRESET_KEY_CHARS];
  ListFormatPresetKey(key, index, LIST_KEY_PATH);
  return IniWriteString(CtxGetPrinterSection(ctx), key, fresh, CtxGetSettingsIniPath(ctx)) ? 1 : 0;
}

int WINAPI ListResaveAllPresets(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  kvlist::SnapshotScope snapshot(ctx);
  if (!snapshot.ok()) return 0;
  int count = ListGetPresetCount(ctx);
  // The list holds at most 16 presets; keys past that name no file.
  if (count > KV_PRESET_MAX) count = KV_PRESET_MAX;
  for (int n = 0; n < count; ++n) {
    WCHAR path[kPathChars];
    PathOfIndex(ctx, n, path);
    WCHAR readonly[16] = {0};
    if (path[0] != 0) IniGetString(CtxGetPrinterSection(ctx), u"Readonly", u"", readonly, 16, path);
    ListLoadPresetKsd(ctx, n);
    ListSelectPreset(ctx, n);
    // "Readonly" goes back only into the file it came from, once that was rewritten: a
    // file the save left alone (refused, or not the printer's to write) is not touched.
    if (ListSavePreset(ctx, n) == LIST_SAVE_DONE && readonly[0] != 0)
      IniWriteString(CtxGetPrinterSection(ctx), u"Readonly", readonly, path);
  }
  return 1;
}
