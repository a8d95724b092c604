// Names and paths cached in a context's state block.
#include "names_paths.h"
#include "model.h"
#include "os.h"
#include "settings_dirs.h"

static void CopyInto(WCHAR *dst, int cch, const WCHAR *src)
{
  int i = 0;
  for (; src != NULL && src[i] != 0 && i < cch - 1; ++i) dst[i] = src[i];
  dst[i] = 0;
}

// Fills an empty cache from one field of PRINTER_INFO_2; a name that does not fit whole is
// not cut but left out.
static void FillFromPrinterInfo(DRIVER_CONTEXT *ctx, WCHAR *cache, int cch, bool driver)
{
  PRINTER_INFO_2W *info = (PRINTER_INFO_2W *)OsGetPrinterInfo(ctx->printer, 2);
  if (info == NULL) return;
  const WCHAR *name = driver ? info->pDriverName : info->pPrinterName;
  if (name != NULL && lstrlenW(name) < cch) CopyInto(cache, cch, name);
  GlobalFree(info);
}

const WCHAR *WINAPI CtxGetPrinterName(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  WCHAR *cache = ctx->state->printerName;
  if (cache[0] == 0) FillFromPrinterInfo(ctx, cache, 260, false);
  return cache;
}

const WCHAR *WINAPI CtxGetPrinterSection(DRIVER_CONTEXT *ctx) { return CtxGetPrinterName(ctx); }

const WCHAR *WINAPI CtxGetDriverName(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  WCHAR *cache = ctx->state->driverName;
  if (cache[0] == 0) FillFromPrinterInfo(ctx, cache, 260, true);
  if (cache[0] == 0 && ctx->model != NULL) CopyInto(cache, 260, ctx->model->fallbackDriverName);
  return cache;
}

// The language code of the user interface. The codes come from the help file name against
// the table of languages of the resource DLLs; until that table exists every printer gets
// the default code "us".
const WCHAR *WINAPI CtxGetUiLanguageCode(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  CopyInto(ctx->state->languageCode, 3, u"us");
  return ctx->state->languageCode;
}

// The per-printer settings INI: the model record's name when it is absolute, else inside
// the per-user settings directory (terminal-server use without the shared-directory flag)
// or the shared one.
const WCHAR *WINAPI CtxGetSettingsIniPath(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL || ctx->model == NULL) return NULL;
  WCHAR *path = ctx->state->settingsIniPath;
  const WCHAR *name = ctx->model->settingsIniName;
  if (name[0] != 0 && name[1] == ':') {
    CopyInto(path, 260, name);
    return path;
  }
  WCHAR dir[260] = {0};
  DWORD n = 0;
  if (OsIsTerminalServer(ctx->printer) && !(ctx->state->createFlags & CTX_CREATE_SHARED_DIR))
    n = PathGetUserSettingsDir(dir, 260, ctx);
  if (n == 0) n = PathGetSharedSettingsDir(dir, 260, ctx);
  path[0] = 0;
  if (n == 0 || (int)n + 1 + lstrlenW(name) >= 260) return path;
  CopyInto(path, 260, dir);
  lstrcatW(path, u"\\");
  lstrcatW(path, name);
  return path;
}
