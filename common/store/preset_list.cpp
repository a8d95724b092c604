// Writers of the stored preset list in the printer's section of the settings INI.
#include "store/preset_list.h"

#include "files/ini.h"
#include "names/names_paths.h"
#include "os/os.h"
#include "store/ini_image.h"
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
  WCHAR pathKey[KV_PRESET_KEY_CHARS], nameKey[KV_PRESET_KEY_CHARS], commentKey[KV_PRESET_KEY_CHARS], number[16];
  wsprintfW(number, u"%d", n + 1);
  // The entry and the count in one rewrite of the settings INI.
  INI_KEY_VALUE keys[] = {{ListFormatPresetKey(pathKey, n, LIST_KEY_PATH), path != NULL ? path : u""},
                          {ListFormatPresetKey(nameKey, n, LIST_KEY_NAME), name != NULL ? name : u""},
                          {ListFormatPresetKey(commentKey, n, LIST_KEY_COMMENT), comment != NULL ? comment : u""},
                          {u"Count", number}};
  int written = IniImageWriteKeys(ctx, ini, section, keys, sizeof(keys) / sizeof(keys[0]));
  ListPresetCache(ctx, NULL, LIST_CACHE_FREE);
  return written;
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
