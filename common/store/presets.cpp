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
#include "store/ini_image.h"
#include "store/list_internal.h"
#include "store/store_internal.h"
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

// The text of an item as UTF-16 (for a key of the settings INI); empty when it cannot be
// read.
class ItemTextCopy {
 public:
  ItemTextCopy(DRIVER_CONTEXT *ctx, WORD id)
  {
    OPTION_ITEM *item = ItemFindById(ctx, id);
    if (item == NULL) return;
    text_ = (WCHAR *)MemAllocZeroed((KvItemSize(item) + 6) * sizeof(WCHAR));
    if (text_ != NULL) ItemReadText(ctx, item, text_);
  }
  ~ItemTextCopy() { MemFree(text_); }
  ItemTextCopy(const ItemTextCopy &) = delete;
  ItemTextCopy &operator=(const ItemTextCopy &) = delete;
  bool ok() const { return text_ != NULL; }
  const WCHAR *get() const { return text_; }

 private:
  WCHAR *text_ = NULL;
};

// The preset's name and comment keys (the key followed by "Name" and "Comment") from
// items 828 and 829, and further keys of the same section, in one rewrite of the settings
// INI. false when a text cannot be read or the file cannot be rewritten.
bool WritePresetKeys(DRIVER_CONTEXT *ctx, const WCHAR *key, const INI_KEY_VALUE *more, DWORD moreCount)
{
  if (lstrlenW(key) >= KV_PRESET_KEY_CHARS) return false;
  ItemTextCopy name(ctx, ITEM_wdmPresetName), comment(ctx, ITEM_wdmPresetComment);
  if (!name.ok() || !comment.ok()) return false;
  WCHAR nameKey[KV_PRESET_KEY_CHARS + 16], commentKey[KV_PRESET_KEY_CHARS + 16];
  wsprintfW(nameKey, u"%sName", key);
  wsprintfW(commentKey, u"%sComment", key);
  INI_KEY_VALUE keys[8] = {{nameKey, name.get()}, {commentKey, comment.get()}};
  DWORD count = 2;
  for (DWORD i = 0; i < moreCount && count < sizeof(keys) / sizeof(keys[0]); ++i) keys[count++] = more[i];
  return IniImageWriteKeys(ctx, CtxGetSettingsIniPath(ctx), CtxGetPrinterSection(ctx), keys, count) != 0;
}

// The file preset index is written to (path, kTextChars characters): its stored path when
// the save may write it (ListClassifyKstFile: no file yet, or a settings file of this
// printer), else a new user file (*fresh). A new user file is also taken when the entry has
// no path or names a copied default (last character 'R' or 'r'), which is never
// overwritten. *refused tells that the entry named a file the save leaves as it is. false
// when no free name is left.
bool ChoosePresetFile(DRIVER_CONTEXT *ctx, int index, WCHAR *path, bool *fresh, bool *refused)
{
  *fresh = false;
  *refused = false;
  PathOfIndex(ctx, index, path);
  int length = lstrlenW(path);
  bool copiedDefault = length >= 3 && (path[length - 1] == u'R' || path[length - 1] == u'r');
  if (path[0] != 0 && !copiedDefault) {
    int kind = ListClassifyKstFile(ctx, path);
    if (kind == LIST_FILE_NEW || kind == LIST_FILE_OWN) return true;
    *refused = true;
  }
  if (!ListMakeNewKstPath(ctx, path) || lstrlenW(path) >= kPathChars) return false;
  *fresh = true;
  return true;
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
    if (choice != LIST_SAVE_FAILED && StoreWriteSettingsFile(ctx->printer, path, KST_PRESET_ITEMS, ctx) == 1) {
      // A fresh file's path goes under the key in the same rewrite as the name and comment.
      INI_KEY_VALUE more[1] = {{key, path}};
      if (WritePresetKeys(ctx, key, more, choice == LIST_SAVE_NEW_FILE ? 1 : 0)) answer = choice;
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
  WCHAR path[kTextChars];
  bool fresh = false, refused = false;
  if (!ChoosePresetFile(ctx, index, path, &fresh, &refused)) return 0;
  if (!fresh) return 1;
  WCHAR key[KV_PRESET_KEY_CHARS];
  ListFormatPresetKey(key, index, LIST_KEY_PATH);
  return IniWriteString(CtxGetPrinterSection(ctx), key, path, CtxGetSettingsIniPath(ctx)) ? 1 : 0;
}

int WINAPI ListSavePresetEntry(DRIVER_CONTEXT *ctx, int index)
{
  if (ctx == NULL || kvlist::WritesBarred(ctx) || index < 0 || index >= KV_PRESET_MAX) return 0;
  // The free file name, the file and the list keys are one step among the settings writers.
  StoreMutexScope lock(ctx);
  int count = ListGetPresetCount(ctx);
  if (count < 0) count = 0;  // a damaged count is taken as an empty list
  if (index > count) return 0;
  bool append = index == count;
  WCHAR *path = (WCHAR *)MemAllocZeroed(kTextChars * sizeof(WCHAR));
  if (path == NULL) return 0;
  // A new entry always gets a new file: a path left under its key by an entry that was
  // removed may be another preset's file by now.
  bool fresh = append, refused = false;
  bool chosen = append ? ListMakeNewKstPath(ctx, path) && lstrlenW(path) < kPathChars
                       : ChoosePresetFile(ctx, index, path, &fresh, &refused);
  int ok = LIST_SAVE_FAILED;
  if (chosen && StoreWriteSettingsFile(ctx->printer, path, KST_PRESET_ITEMS, ctx) == 1) {
    WCHAR key[KV_PRESET_KEY_CHARS], number[16];
    ListFormatPresetKey(key, index, LIST_KEY_PATH);
    wsprintfW(number, u"%d", index + 1);
    INI_KEY_VALUE more[2];
    DWORD n = 0;
    if (fresh) more[n++] = {key, path};
    if (append) more[n++] = {u"Count", number};
    if (WritePresetKeys(ctx, key, more, n)) ok = refused ? LIST_SAVE_NEW_FILE : LIST_SAVE_DONE;
  }
  MemFree(path);
  ListPresetCache(ctx, NULL, LIST_CACHE_FREE);
  return ok;
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
