// Writers of the stored preset list in the printer's section of the settings INI.
#include "store/preset_list.h"

#include "files/ini.h"
#include "names/names_paths.h"
#include "os/os.h"
#include "model/state_items.h"

// Drops the preset snapshots of the context so that the next read sees the new list.
static int DropPresetSnapshots(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return 0;
  for (void *&slot : ctx->state->presetSnapshots) {
    MemFree(slot);
    slot = NULL;
  }
  return 1;
}

int WINAPI ListAppendPreset(DRIVER_CONTEXT *ctx, const WCHAR *path, const WCHAR *name, const WCHAR *comment)
{
  if (ctx == NULL) return 0;
  if ((BUILD_OPTIONS & KV_BUILD_OPTION_SHARED_SETTINGS) && CtxGetTSE(ctx) == 1 && CtxGetAdmin(ctx) == 0) return 0;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  const WCHAR *section = CtxGetPrinterSection(ctx);
  if (ini == NULL || section == NULL) return 0;
  UINT n = IniGetInt(section, u"Count", 0, ini);
  WCHAR key[64], full[80], number[16];
  wsprintfW(key, u"PresetList%d", (int)n);
  IniWriteString(section, key, path != NULL ? path : u"", ini);
  wsprintfW(full, u"%sName", key);
  IniWriteString(section, full, name != NULL ? name : u"", ini);
  wsprintfW(full, u"%sComment", key);
  IniWriteString(section, full, comment != NULL ? comment : u"", ini);
  wsprintfW(number, u"%u", n + 1);
  IniWriteString(section, u"Count", number, ini);
  return DropPresetSnapshots(ctx);
}

int WINAPI ListClearPresets(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  const WCHAR *section = CtxGetPrinterSection(ctx);
  if (ini != NULL && section != NULL) IniWriteString(section, u"Count", u"0", ini);
  return DropPresetSnapshots(ctx);
}
