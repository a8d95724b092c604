// Stored stamps: numbered sections "Stamp%d%s" of the stamp items in the settings INI, one
// set per display language, with the count in the language section; the model INI's default
// stamps; and the same reads on any INI-format file for bundle import.
#include "files/ini.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "store/list_internal.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace {

constexpr int kPathChars = 260;

// A copy of a file path the context caches, which later calls may rebuild.
struct PathCopy {
  WCHAR text[kPathChars];
  explicit PathCopy(const WCHAR *path)
  {
    text[0] = 0;
    if (path != NULL && lstrlenW(path) < kPathChars) lstrcpynW(text, path, kPathChars);
  }
};

int CountOf(DRIVER_CONTEXT *ctx, const WCHAR *file)
{
  const WCHAR *lang = CtxGetLangSection(ctx);
  if (lang == NULL || file == NULL || file[0] == 0) return 0;
  // A damaged count never reads below 0.
  int count = (int)IniGetInt(lang, u"StampCount", 0, file);
  return count > 0 ? count : 0;
}

int LoadSection(DRIVER_CONTEXT *ctx, const WCHAR *file, const WCHAR *section)
{
  PathCopy path(file);
  if (path.text[0] == 0) return 0;
  return kvlist::SerializeSection(ctx, path.text, section, KST_STAMP_ITEMS, false);
}

// Whether the settings INI holds the section of stamp index with at least one key. A list
// may have gaps (saving stamp 5 of 3 raises the count to 6); the walks over every stamp
// leave a gap a gap instead of saving the stamp loaded before it into it.
bool StampStored(DRIVER_CONTEXT *ctx, int index)
{
  WCHAR section[kPathChars];
  PathCopy ini(CtxGetSettingsIniPath(ctx));
  if (ini.text[0] == 0 || ListFormatStampSection(section, index, 0, ctx) == NULL) return false;
  WCHAR probe[8];
  return GetPrivateProfileSectionW(section, probe, 8, ini.text) > 0;
}

// Removes the section of stamp index from the settings INI.
void DropStamp(DRIVER_CONTEXT *ctx, int index)
{
  WCHAR section[kPathChars];
  PathCopy ini(CtxGetSettingsIniPath(ctx));
  if (ini.text[0] != 0 && ListFormatStampSection(section, index, 0, ctx) != NULL)
    IniWriteString(section, NULL, NULL, ini.text);
}

// The stamps a walk over the list visits: the count, but never the edit stamp or past it.
// The count is only a key of the file, and a damaged one (up to 2^31 - 1) must not keep a
// walk going, nor make it move a stamp into the edit stamp's section.
int WalkedStamps(DRIVER_CONTEXT *ctx)
{
  int count = ListGetStampCount(ctx);
  return count < KV_STAMP_EDIT_INDEX ? count : KV_STAMP_EDIT_INDEX;
}

int LoadIndex(DRIVER_CONTEXT *ctx, const WCHAR *file, int index)
{
  if (index < 0) return 0;
  WCHAR section[kPathChars];
  ListFormatStampSection(section, index, 0, ctx);
  int read = LoadSection(ctx, file, section);
  ItemSetValue(ctx, ITEM_kdmWmID, index);
  return read;
}

}  // namespace

int WINAPI ListGetStampCount(DRIVER_CONTEXT *ctx) { return CountOf(ctx, CtxGetSettingsIniPath(ctx)); }

int WINAPI ListWriteStampCount(DRIVER_CONTEXT *ctx, int count)
{
  const WCHAR *lang = CtxGetLangSection(ctx);
  if (lang == NULL || count < 0) return 0;
  WCHAR text[16];
  wsprintfW(text, u"%d", count);
  PathCopy ini(CtxGetSettingsIniPath(ctx));
  return ini.text[0] != 0 && IniWriteString(lang, u"StampCount", text, ini.text) ? 1 : 0;
}

WCHAR *WINAPI ListFormatStampSection(WCHAR *buffer, int index, int unused, DRIVER_CONTEXT *ctx)
{
  (void)unused;
  if (buffer == NULL) return NULL;
  const WCHAR *lang = CtxGetLanguageCode(ctx);
  wsprintfW(buffer, u"Stamp%d%s", index, lang != NULL ? lang : u"");
  return buffer;
}

int WINAPI ListLoadStampSection(DRIVER_CONTEXT *ctx, const WCHAR *section)
{
  return LoadSection(ctx, CtxGetSettingsIniPath(ctx), section);
}

int WINAPI ListSaveStampSection(DRIVER_CONTEXT *ctx, const WCHAR *section)
{
  PathCopy ini(CtxGetSettingsIniPath(ctx));
  int written = ini.text[0] != 0 ? kvlist::SerializeSection(ctx, ini.text, section, KST_STAMP_ITEMS, true) : 0;
  ListPresetCache(ctx, NULL, LIST_CACHE_FREE);
  return written;
}

int WINAPI ListLoadStamp(DRIVER_CONTEXT *ctx, int index) { return LoadIndex(ctx, CtxGetSettingsIniPath(ctx), index); }

int WINAPI ListSaveStamp(DRIVER_CONTEXT *ctx, int index)
{
  if (ctx == NULL || kvlist::WritesBarred(ctx) || index < 0) return 0;
  if (index != KV_STAMP_EDIT_INDEX && index >= ListGetStampCount(ctx)) ListWriteStampCount(ctx, index + 1);
  ItemSetValue(ctx, ITEM_kdmWmID, index);
  WCHAR section[kPathChars];
  return ListSaveStampSection(ctx, ListFormatStampSection(section, index, 0, ctx));
}

int WINAPI ListDeleteStamp(DRIVER_CONTEXT *ctx, int index)
{
  if (ctx == NULL) return 0;
  int count = WalkedStamps(ctx);
  // Only a stored stamp can be removed, and only where its successors can be moved: a
  // barred user would lose the moves but not the count.
  if (index < 0 || index >= count || kvlist::WritesBarred(ctx)) return 0;
  {
    kvlist::SnapshotScope snapshot(ctx);
    if (!snapshot.ok()) return 0;
    ListWriteStampCount(ctx, 0);
    // Every later stamp moves down one, a gap too.
    for (int b = index + 1; b < count; ++b) {
      if (!StampStored(ctx, b)) {
        if (StampStored(ctx, b - 1)) DropStamp(ctx, b - 1);
        continue;
      }
      ListLoadStamp(ctx, b);
      ListSaveStamp(ctx, b - 1);
    }
  }
  ListWriteStampCount(ctx, count - 1);
  ListPresetCache(ctx, NULL, LIST_CACHE_FREE);
  return 1;
}

int WINAPI ListResaveAllStamps(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  kvlist::SnapshotScope snapshot(ctx);
  if (!snapshot.ok()) return 0;
  int count = WalkedStamps(ctx);
  for (int n = 0; n < count; ++n) {
    if (!StampStored(ctx, n)) continue;
    ListLoadStamp(ctx, n);
    ListSaveStamp(ctx, n);
  }
  return 1;
}

int WINAPI ListReloadSelectedStamp(DRIVER_CONTEXT *ctx)
{
  if (ItemGetRaw(ctx, ITEM_kdmFuncSelectWaterMark, NULL) == 0) return 0;
  if (!ItemIsListedValue(ITEM_kdmWmKind, ItemGetValue(ctx, ITEM_kdmWmKind, NULL))) return 0;
  return ListLoadStamp(ctx, (int)ItemGetValue(ctx, ITEM_kdmWmID, NULL));
}

int WINAPI ListGetModelStampCount(DRIVER_CONTEXT *ctx) { return CountOf(ctx, CtxGetModelIniPath(ctx)); }

int WINAPI ListLoadModelStampSection(DRIVER_CONTEXT *ctx, const WCHAR *section)
{
  return LoadSection(ctx, CtxGetModelIniPath(ctx), section);
}

int WINAPI ListLoadModelStamp(DRIVER_CONTEXT *ctx, int index) { return LoadIndex(ctx, CtxGetModelIniPath(ctx), index); }

int WINAPI ListGetStampCountOfFile(const WCHAR *file, DRIVER_CONTEXT *ctx) { return CountOf(ctx, file); }

int WINAPI ListLoadStampSectionOfFile(const WCHAR *file, const WCHAR *section, DRIVER_CONTEXT *ctx)
{
  return LoadSection(ctx, file, section);
}

int WINAPI ListLoadStampOfFile(const WCHAR *file, int index, DRIVER_CONTEXT *ctx)
{
  return LoadIndex(ctx, file, index);
}
