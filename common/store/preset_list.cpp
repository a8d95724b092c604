// Writers of the stored preset list in the printer's section of the settings INI.
#include "store/preset_list.h"

#include "files/ini.h"
#include "names/names_paths.h"
#include "os/os.h"
#include "model/state_items.h"
#include "store/stored_lists.h"

int WINAPI ListAppendPreset(DRIVER_CONTEXT *ctx, const WCHAR *path, const WCHAR *name, const WCHAR *comment)
{
  if (ctx == NULL) return 0;
  if ((BUILD_OPTIONS & KV_BUILD_OPTION_SHARED_SETTINGS) && CtxGetTSE(ctx) == 1 && CtxGetAdmin(ctx) == 0) return 0;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  const WCHAR *section = CtxGetPrinterSection(ctx);
  if (ini == NULL || section == NULL) return 0;
  int n = (int)IniGetInt(section, u"Count", 0, ini);
  // The list holds 16 presets at most; a damaged count is taken as empty.
  if (n >= KV_PRESET_MAX) return 0;
  if (n < 0) n = 0;
  WCHAR key[KV_PRESET_KEY_CHARS], number[16];
  IniWriteString(section, ListFormatPresetKey(key, n, LIST_KEY_PATH), path != NULL ? path : u"", ini);
  IniWriteString(section, ListFormatPresetKey(key, n, LIST_KEY_NAME), name != NULL ? name : u"", ini);
  IniWriteString(section, ListFormatPresetKey(key, n, LIST_KEY_COMMENT), comment != NULL ? comment : u"", ini);
  wsprintfW(number, u"%d", n + 1);
  IniWriteString(section, u"Count", number, ini);
  ListPresetCache(ctx, NULL, LIST_CACHE_FREE);
  return 1;
}

int WINAPI ListClearPresets(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  const WCHAR *section = CtxGetPrinterSection(ctx);
  if (ini != NULL && section != NULL) IniWriteString(section, u"Count", u"0", ini);
  ListPresetCache(ctx, NULL, LIST_CACHE_FREE);
  return 1;
}
