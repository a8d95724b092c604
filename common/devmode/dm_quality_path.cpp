// The file of a stored quality set as the settings INI names it, accepted only inside the
// settings INI's own folder: a value of the INI is outside input (any program may write the
// file), and a path elsewhere would read any file into the context.
#include "devmode/dm_merge.h"
#include "files/ini.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "tables/item_ids.h"

namespace {

bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/' || c == u':'; }

// The length of the folder part of a path (up to and including its last separator).
int FolderLength(const WCHAR *path)
{
  int folder = 0;
  for (int i = 0; path[i] != 0; ++i)
    if (IsSeparator(path[i])) folder = i + 1;
  return folder;
}

bool IsPlainFileName(const WCHAR *name)
{
  if (name[0] == 0) return false;
  if (name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0))) return false;
  for (int i = 0; name[i] != 0; ++i)
    if (IsSeparator(name[i])) return false;
  return true;
}

}  // namespace

int WINAPI DmGetQualityListPath(DRIVER_CONTEXT *ctx, int index, WCHAR *path, DWORD capacity)
{
  if (path == NULL || capacity == 0) return 0;
  path[0] = 0;
  if (ctx == NULL || ctx->state == NULL || index < 0) return 0;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  if (ini == NULL || ini[0] == 0) return 0;
  WCHAR key[32];
  wsprintfW(key, u"QualityList%d", index);
  WCHAR value[MAX_PATH];
  IniGetString(CtxGetPrinterSection(ctx), key, u"", value, MAX_PATH, ini);
  int folder = FolderLength(ini);
  if (folder == 0) return 0;
  // A bare file name lies in the folder; a path must name that folder (case-insensitively)
  // and nothing below or above it.
  const WCHAR *name = value;
  int valueFolder = FolderLength(value);
  if (valueFolder != 0) {
    if (valueFolder != folder) return 0;
    WCHAR a[MAX_PATH], b[MAX_PATH];
    lstrcpynW(a, value, folder + 1);
    lstrcpynW(b, ini, folder + 1);
    if (lstrcmpiW(a, b) != 0) return 0;
    name = value + folder;
  }
  if (!IsPlainFileName(name)) return 0;
  if ((DWORD)(folder + lstrlenW(name)) + 1 > capacity) return 0;
  lstrcpynW(path, ini, folder + 1);
  lstrcpynW(path + folder, name, (int)(capacity - (DWORD)folder));
  return 1;
}

int WINAPI DmUserMacroQualityIndex(DRIVER_CONTEXT *ctx)
{
  if (ItemGetRaw(ctx, ITEM_kdmUseUserMacro, NULL) != 1) return -1;
  LONG macro = ItemGetRaw(ctx, ITEM_kdmUserPrintMacro, NULL);
  if ((macro >= 32 && macro <= 39) || macro == 160) return (int)(macro - 32);
  return -1;
}
