// Whether answers of the printer are parked in the bidi state INI for the context's printer.
#include "files/ini.h"
#include "names/names_paths.h"
#include "store/settings_store.h"

int WINAPI BidiIniFlagOn(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  WCHAR path[MAX_PATH];
  if (BidiGetIniPath(path, ctx)[0] == 0) return 0;
  return IniGetInt(CtxGetPrinterName(ctx), KV_BIDI_INI_FLAG, 0, path) != 0 ? 1 : 0;
}
