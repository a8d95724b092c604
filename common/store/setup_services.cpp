// Services of the printer setup read by the settings core.
#include "store/setup_services.h"
#include "files/ini.h"
#include "names/names_paths.h"

// 1 when the key holds a value other than 0 (a missing key reads as the marker 0x7FFF).
int WINAPI IniIsKeySet(const WCHAR *file, const WCHAR *section, const WCHAR *key)
{
  if (section == NULL) return 0;
  UINT v = IniGetInt(section, key, 0x7FFF, file);
  return v != 0x7FFF && v != 0;
}

const WCHAR *WINAPI SetupGetDeployIniName(void) { return u"KVML.ini"; }

// The printer's default bundle ("DefaultKst" of its section of the settings INI), when the
// settings INI path is absolute and the key is not empty. outPath holds 260 characters.
int WINAPI SetupGetDefaultKst(WCHAR *outPath, DRIVER_CONTEXT *ctx)
{
  if (outPath == NULL) return 0;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  if (ini == NULL || ini[0] == 0 || ini[1] != ':') return 0;
  WCHAR value[260] = {0};
  IniGetString(CtxGetPrinterSection(ctx), u"DefaultKst", u"", value, 260, ini);
  if (value[0] == 0) return 0;
  lstrcpynW(outPath, value, 260);
  return 1;
}
