// The re-validation of the stored presets against the printer's bundle: copies of defaults
// whose conditions stopped holding are dropped, the list is rewritten with the kept ones
// and the defaults that are missing are imported again.
#include "files/ini.h"
#include "files/paths.h"
#include "names/names_paths.h"
#include "store/preset_list.h"
#include "store/settings_files.h"
#include "store/settings_setup.h"
#include "store/setup_presets.h"
#include "store/setup_services.h"
#include "store/stored_lists.h"

namespace {

constexpr int kPathChars = 260;
constexpr int kTextChars = 513;
constexpr UINT kNoList = 0xFFFF;
constexpr UINT kMaxEntries = 0xFFFE;
constexpr DWORD kRevalidateFlags = KV_IMPORT_REGISTER | KV_IMPORT_CONDITIONS | KV_IMPORT_REVALIDATE;

// The stored list: path, name and comment of each preset and the path with "ksd".
int ReadOldList(const WCHAR *ini, const WCHAR *section, SETUP_OLD_PRESET *list)
{
  int n = (int)IniGetInt(section, u"Count", 0, ini);
  if (n < 0) n = 0;
  if (n > KV_PRESET_MAX) n = KV_PRESET_MAX;
  for (int i = 0; i < n; ++i) {
    WCHAR key[KV_PRESET_KEY_CHARS];
    SETUP_OLD_PRESET *p = &list[i];
    IniGetString(section, ListFormatPresetKey(key, i, LIST_KEY_PATH), u"", p->path, kPathChars, ini);
    IniGetString(section, ListFormatPresetKey(key, i, LIST_KEY_NAME), u"", p->name, kTextChars, ini);
    IniGetString(section, ListFormatPresetKey(key, i, LIST_KEY_COMMENT), u"", p->comment, kTextChars, ini);
    if (!PathWithKsdExt(p->ksdPath, p->path, kPathChars)) p->ksdPath[0] = 0;
    p->drop = 0;
  }
  return n;
}

// Reads and expands every default path of the bundle into paths (m rows); false when an
// entry is missing or refused.
bool ReadDefaults(DRIVER_CONTEXT *ctx, const WCHAR *bundle, const WCHAR *section, UINT m, WCHAR *paths)
{
  for (UINT j = 1; j <= m; ++j) {
    WCHAR key[32];
    WCHAR *path = paths + (j - 1) * kPathChars;
    wsprintfW(key, u"Deficonfiles%u", j);
    IniGetString(section, key, u"", path, kPathChars, bundle);
    if (path[0] == 0 || !SetupExpandBundlePath(path, kPathChars, ctx)) return false;
  }
  return true;
}

// A converted copy's extension is "ksr", compared exactly.
bool IsConvertedCopy(const WCHAR *path)
{
  const WCHAR *name = PathFindFileName(path);
  const WCHAR *dot = NULL;
  for (const WCHAR *p = name; *p; ++p)
    if (*p == u'.') dot = p;
  return dot != NULL && StrSameW(dot + 1, u"ksr");
}

// Marks the presets to drop; answers how many.
int MarkDrops(DRIVER_CONTEXT *ctx, SETUP_OLD_PRESET *list, int n, const WCHAR *defaults, UINT m)
{
  int drops = 0;
  for (int i = 0; i < n; ++i) {
    SETUP_OLD_PRESET *p = &list[i];
    if (IsConvertedCopy(p->path)) {
      for (UINT j = 0; j < m; ++j) {
        if (lstrcmpiW(PathFindFileName(defaults + j * kPathChars), PathFindFileName(p->ksdPath)) != 0) continue;
        if (!SetupFileConditionsHold(p->path, ctx)) p->drop = 1;
        break;
      }
    } else {
      // A user's own preset stays: the fit test answers 0 only when memory runs out, which
      // says nothing about the preset.
      SetupPresetFileFits(p->path, ctx);
    }
    if (p->drop) ++drops;
  }
  return drops;
}

}  // namespace

int WINAPI SetupRevalidatePresets(DRIVER_CONTEXT *ctx, int ask)
{
  if (ctx == NULL) return 0;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  const WCHAR *section = CtxGetPrinterSection(ctx);
  const WCHAR *lang = CtxGetLangSection(ctx);
  if (ini == NULL || section == NULL || lang == NULL) return 0;
  // The list is rewritten below; a user who may not change it keeps it whole.
  if (StoreSharedWritesBarred(ctx)) return 0;
  WCHAR bundle[kPathChars] = {0};
  if (!SetupGetDefaultKst(bundle, ctx)) return 0;
  UINT m = IniGetInt(lang, u"NumDeficonfiles", (INT)kNoList, bundle);
  if (m == kNoList) return 0;
  if (m > kMaxEntries) m = kMaxEntries;

  SETUP_OLD_PRESET *list = (SETUP_OLD_PRESET *)MemAllocZeroed(KV_PRESET_MAX * sizeof(SETUP_OLD_PRESET));
  WCHAR *defaults = (WCHAR *)MemAllocZeroed((m > 0 ? m : 1) * kPathChars * sizeof(WCHAR));
  int result = 0;
  if (list != NULL && defaults != NULL && ReadDefaults(ctx, bundle, lang, m, defaults)) {
    int n = ReadOldList(ini, section, list);
    int drops = MarkDrops(ctx, list, n, defaults, m);
    if (drops == 0 || (ask & 0xFF) == 0 || SetupConfirmPresetDrops(ctx)) {
      ListClearPresets(ctx);
      for (int i = 0; i < n; ++i)
        if (!list[i].drop) ListAppendPreset(ctx, list[i].path, list[i].name, list[i].comment);
      result = SetupImportDefaultPresets(bundle, lang, kRevalidateFlags, ctx, n, list) ? 1 : 0;
    }
  }
  MemFree(defaults);
  MemFree(list);
  return result;
}
