// The bidi state INI: answers of the printer parked per printer in the shared settings
// directory, read into a context and deleted once they reached printer data.
#include "files/ini.h"
#include "files/paths.h"
#include "model/state_items.h"
#include "names/names_paths.h"
#include "store/settings_files.h"
#include "store/settings_store.h"

LPWSTR WINAPI BidiGetIniPath(LPWSTR buf, DRIVER_CONTEXT *ctx)
{
  if (buf == NULL) return NULL;
  buf[0] = 0;
  return PathInSharedSettingsDir(buf, MAX_PATH, KV_BIDI_STATE_INI, ctx);
}

int WINAPI BidiLoadIniState(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  WCHAR path[MAX_PATH];
  if (BidiGetIniPath(path, ctx)[0] == 0) return 0;
  int read = StoreReadSettingsFile(ctx->printer, path, KST_PRINTER_CONFIG, ctx);
  BidiLoadIniFunc(ctx);
  return read;
}

int WINAPI BidiLoadIniFunc(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  WCHAR path[MAX_PATH];
  if (BidiGetIniPath(path, ctx)[0] == 0) return 0;
  CtxSetBidiFunc(ctx, static_cast<BYTE>(IniGetInt(CtxGetPrinterName(ctx), KV_BIDI_INI_FUNC, 0, path)));
  return 1;
}

int WINAPI BidiDeleteIniSection(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  WCHAR path[MAX_PATH];
  if (BidiGetIniPath(path, ctx)[0] == 0) return 0;
  return IniWriteString(CtxGetPrinterName(ctx), NULL, NULL, path) ? 1 : 0;
}
