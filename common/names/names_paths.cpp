// Names and paths cached in a context's state block, and paths composed inside the
// Windows and system directories.
#include <string.h>
#include "names/names_paths.h"

#include "blob/desc_runtime.h"
#include "model/model.h"
#include "os/os.h"
#include "os/os_registry.h"
#include "files/paths.h"
#include "names/resources.h"
#include "files/settings_dirs.h"
#include "os/printer_data.h"

enum { kNameCch = 260 };

// ---------------------------------------------------------------- names

// The printer's or its driver's name from PRINTER_INFO_2 into buf; FALSE (buf unchanged)
// when it cannot be read, is empty or does not fit whole.
static BOOL ReadPrinterInfoName(HANDLE printer, WCHAR *buf, int cch, bool driver)
{
  PRINTER_INFO_2W *info = (PRINTER_INFO_2W *)OsGetPrinterInfo(printer, 2);
  if (info == NULL) return FALSE;
  const WCHAR *name = driver ? info->pDriverName : info->pPrinterName;
  BOOL ok = name != NULL && name[0] != 0 && StrCopyWholeW(buf, cch, name);
  GlobalFree(info);
  return ok;
}

const WCHAR *WINAPI CtxGetPrinterName(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  WCHAR *cache = ctx->state->printerName;
  if (cache[0] == 0) ReadPrinterInfoName(ctx->printer, cache, kNameCch, false);
  return cache;
}

const WCHAR *WINAPI CtxGetPrinterSection(DRIVER_CONTEXT *ctx) { return CtxGetPrinterName(ctx); }

const WCHAR *WINAPI CtxGetPrinterSectionOf(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  (void)printer;
  return CtxGetPrinterName(ctx);
}

WCHAR *WINAPI OsGetPrinterName(HANDLE printer, WCHAR *buf, DWORD capacity)
{
  if (buf == NULL || capacity == 0) return NULL;
  int cch = capacity > 0x7FFFFFFF ? 0x7FFFFFFF : (int)capacity;
  return ReadPrinterInfoName(printer, buf, cch, false) ? buf : NULL;
}

const WCHAR *WINAPI CtxGetDriverName(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  WCHAR *cache = ctx->state->driverName;
  if (cache[0] == 0 && !ReadPrinterInfoName(ctx->printer, cache, kNameCch, true) && ctx->model != NULL)
    StrCopyWholeW(cache, kNameCch, ctx->model->fallbackDriverName);
  return cache;
}

WCHAR *WINAPI OsGetDriverName(HANDLE printer, WCHAR *buf, DWORD reserved)
{
  (void)reserved;
  if (buf == NULL) return NULL;
  if (ReadPrinterInfoName(printer, buf, MAX_PATH, true)) return buf;
  DRIVER_CONTEXT *tmpl = CtxGetTemplate();
  if (tmpl != NULL && tmpl->model != NULL && StrCopyWholeW(buf, MAX_PATH, tmpl->model->fallbackDriverName)) return buf;
  return NULL;
}

// ---------------------------------------------------------------- language codes

const WCHAR *WINAPI CtxGetLanguageCode(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  StrCopyWholeW(ctx->state->languageCode, 3, ResGetItemLanguageCode(ctx));
  return ctx->state->languageCode;
}

const WCHAR *WINAPI CtxGetLangSection(DRIVER_CONTEXT *ctx) { return CtxGetLanguageCode(ctx); }

const WCHAR *WINAPI CtxGetLangSectionAlias(DRIVER_CONTEXT *ctx) { return CtxGetLanguageCode(ctx); }

// The user interface's language: the two characters before the extension of the help
// file, the driver's registered one for a context opened to initialize the printer, the
// printer's "HelpFileName" otherwise; "us" when it cannot be read or is not listed.
const WCHAR *WINAPI CtxGetUiLanguageCode(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  WCHAR *text = ctx->state->textBuffer;
  DWORD bytes = sizeof ctx->state->textBuffer;
  BOOL read = (ctx->state->openKind & CTX_OPEN_KIND_MASK) == CTX_OPEN_INIT
                  ? OsGetDriverHelpFile(CtxGetDriverName(ctx), text, bytes, ctx)
                  : StoreGetHelpFileName(text, bytes, ctx);
  StrCopyWholeW(ctx->state->languageCode, 3, read ? ResHelpFileToLanguageCode(text) : u"us");
  return ctx->state->languageCode;
}

const WCHAR *WINAPI StoreGetBatchInstallDoneKey(void) { return KV_BATCH_INSTALL_DONE_KEY; }

// ---------------------------------------------------------------- package paths

const WCHAR *WINAPI CtxGetDriverDir(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  WCHAR *dir = ctx->state->driverDir;
  if (OsGetDriverDir(ctx->printer, dir, kNameCch) == NULL) dir[0] = 0;
  return dir;
}

// The description's UI resource DLL name copied into buf. The name lies in the compiled
// description unpadded, possibly at an odd address, so it is copied byte-wise before any
// 16-bit access. NULL when the description has none or it does not fit.
static const WCHAR *CopyUiResDllName(DRIVER_CONTEXT *ctx, WCHAR *buf, int cch)
{
  const BYTE *src = (const BYTE *)DescGetUiResDllName(ctx);
  if (src == NULL) return NULL;
  for (int i = 0; i < cch; ++i) {
    memcpy(&buf[i], src + 2 * i, sizeof(WCHAR));
    if (buf[i] == 0) return buf;
  }
  buf[0] = 0;
  return NULL;
}

// dst := the driver directory + name (or name alone when it is drive-absolute); "" when
// the directory is unknown or the result does not fit.
static WCHAR *InDriverDirOrAbsolute(DRIVER_CONTEXT *ctx, WCHAR *dst, const WCHAR *name)
{
  dst[0] = 0;
  if (name == NULL || name[0] == 0) return dst;
  if (PathIsDriveAbsolute(name)) {
    StrCopyWholeW(dst, kNameCch, name);
    return dst;
  }
  WCHAR dir[kNameCch];
  if (!StrCopyWholeW(dir, kNameCch, CtxGetDriverDir(ctx)) || dir[0] == 0) return dst;
  PathJoin(dst, kNameCch, dir, 0, name);
  return dst;
}

const WCHAR *WINAPI CtxGetSettingsIniPath(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL || ctx->model == NULL) return NULL;
  WCHAR *path = ctx->state->settingsIniPath;
  const WCHAR *name = ctx->model->settingsIniName;
  path[0] = 0;
  if (PathIsDriveAbsolute(name)) {
    StrCopyWholeW(path, kNameCch, name);
    return path;
  }
  WCHAR dir[kNameCch] = {0};
  DWORD n = 0;
  if (OsIsTerminalServer(ctx->printer) && !(ctx->state->createFlags & CTX_CREATE_SHARED_DIR))
    n = PathGetUserSettingsDir(dir, kNameCch, ctx);
  if (n == 0) n = PathGetSharedSettingsDir(dir, kNameCch, ctx);
  if (n != 0) PathJoin(path, kNameCch, dir, u'\\', name);
  return path;
}

BOOL WINAPI PathBuildSettingsIni(WCHAR *buf, DWORD reserved, int which, DRIVER_CONTEXT *ctx)
{
  (void)reserved;
  DRIVER_CONTEXT *tmpl = CtxGetTemplate();
  if (buf == NULL) return FALSE;
  buf[0] = 0;
  if (tmpl == NULL || tmpl->model == NULL) return FALSE;
  WCHAR dir[kNameCch];
  DWORD n = which == 1 ? PathGetUserSettingsDirRaw(dir, kNameCch, ctx) : PathGetSharedSettingsDir(dir, kNameCch, ctx);
  return n != 0 && PathJoin(buf, MAX_PATH, dir, u'\\', tmpl->model->settingsIniName);
}

const WCHAR *WINAPI CtxGetModelIniPath(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL || ctx->model == NULL) return NULL;
  return InDriverDirOrAbsolute(ctx, ctx->state->modelIniPath, ctx->model->modelIniName);
}

WCHAR *WINAPI PathBuildModelIni(HANDLE printer, WCHAR *buf, DWORD reserved)
{
  (void)reserved;
  if (buf == NULL) return NULL;
  buf[0] = 0;
  DRIVER_CONTEXT *tmpl = CtxGetTemplate();
  if (tmpl == NULL || tmpl->model == NULL) return buf;
  const WCHAR *name = tmpl->model->modelIniName;
  if (PathIsDriveAbsolute(name)) {
    StrCopyWholeW(buf, MAX_PATH, name);
    return buf;
  }
  WCHAR dir[MAX_PATH];
  if (OsGetDriverDir(printer, dir, MAX_PATH) != NULL) PathJoin(buf, MAX_PATH, dir, 0, name);
  return buf;
}

const WCHAR *WINAPI CtxGetInstallerIniPath(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL || ctx->model == NULL) return NULL;
  WCHAR *path = ctx->state->installerIniPath;
  path[0] = 0;
  WCHAR dir[kNameCch];
  if (StrCopyWholeW(dir, kNameCch, CtxGetDriverDir(ctx)) && dir[0] != 0)
    PathJoin(path, kNameCch, dir, 0, ctx->model->installerIniName);
  return path;
}

BOOL WINAPI PathIsPlainFileName(const WCHAR *name)
{
  if (name == NULL || name[0] == 0) return FALSE;
  for (const WCHAR *p = name; *p != 0; ++p)
    if (*p == u'\\' || *p == u'/' || *p == u':') return FALSE;
  return !(name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0)));
}

// dst := the driver directory + the description's UI resource DLL name with the two
// characters before its extension's dot set to code; "" when the name is missing, is
// not a plain file name, has no two characters before a dot, or does not fit.
static WCHAR *BuildResDllPath(DRIVER_CONTEXT *ctx, WCHAR *dst, int cch, const WCHAR *code)
{
  dst[0] = 0;
  WCHAR nameBuf[kNameCch];
  const WCHAR *name = CopyUiResDllName(ctx, nameBuf, kNameCch);
  if (!PathIsPlainFileName(name)) return dst;
  int len = lstrlenW(name);
  int dot = len - 1;
  while (dot >= 0 && name[dot] != u'.') --dot;
  if (dot < 2) return dst;
  WCHAR dir[kNameCch];
  if (!StrCopyWholeW(dir, kNameCch, CtxGetDriverDir(ctx)) || dir[0] == 0) return dst;
  if (!PathJoin(dst, (DWORD)cch, dir, 0, name)) return dst;
  if (code != NULL) {
    int at = lstrlenW(dir) + dot - 2;
    dst[at] = code[0];
    dst[at + 1] = code[1];
  }
  return dst;
}

const WCHAR *WINAPI CtxCopyLangResDllPath(DRIVER_CONTEXT *ctx, WCHAR *dst, int cch)
{
  if (ctx == NULL || ctx->state == NULL || dst == NULL || cch <= 0) return NULL;
  return BuildResDllPath(ctx, dst, cch, ResGetItemLanguageCode(ctx));
}

const WCHAR *WINAPI CtxGetLangResDllPath(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  return CtxCopyLangResDllPath(ctx, ctx->state->textBuffer, kNameCch);
}

// The language-neutral DLL: the name's characters at length - 8, - 6 and - 5 of the whole
// path become 'C', 'X' and 'X'. Only names of the form "????xx.ext" (at least eight
// characters, a three-letter extension) are edited, so the edit stays inside the name.
const WCHAR *WINAPI CtxGetCommonResDllPath(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  return CtxCopyCommonResDllPath(ctx, ctx->state->textBuffer, kNameCch);
}

const WCHAR *WINAPI CtxCopyCommonResDllPath(DRIVER_CONTEXT *ctx, WCHAR *path, int cch)
{
  if (ctx == NULL || ctx->state == NULL || path == NULL || cch <= 0) return NULL;
  WCHAR nameBuf[kNameCch];
  const WCHAR *name = CopyUiResDllName(ctx, nameBuf, kNameCch);
  int nameLen = name != NULL ? lstrlenW(name) : 0;
  if (nameLen < 8 || name[nameLen - 4] != u'.') {
    path[0] = 0;
    return path;
  }
  BuildResDllPath(ctx, path, cch, NULL);
  int len = lstrlenW(path);
  if (len < 8) return path;
  path[len - 8] = u'C';
  path[len - 6] = u'X';
  path[len - 5] = u'X';
  return path;
}

int WINAPI CtxIsJapaneseResDll(DRIVER_CONTEXT *ctx)
{
  const WCHAR *path = CtxGetLangResDllPath(ctx);
  int len = path != NULL ? lstrlenW(path) : 0;
  if (len < 6 || path[len - 4] != u'.') return 0;
  return (path[len - 6] == u'J' || path[len - 6] == u'j') && (path[len - 5] == u'P' || path[len - 5] == u'p');
}

const WCHAR *WINAPI CtxGetHelpFilePath(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  WCHAR *path = ctx->state->textBuffer;
  WCHAR name[kNameCch];
  if (StoreGetHelpFileName(name, sizeof name, ctx) && PathIsPlainFileName(name)) {
    WCHAR dir[kNameCch];
    path[0] = 0;
    if (StrCopyWholeW(dir, kNameCch, CtxGetDriverDir(ctx)) && dir[0] != 0) PathJoin(path, kNameCch, dir, 0, name);
    return path;
  }
  CtxGetLangResDllPath(ctx);
  int len = lstrlenW(path);
  if (len < 4 || path[len - 4] != u'.') {
    path[0] = 0;
    return path;
  }
  path[len - 3] = u'h';
  path[len - 2] = u'l';
  path[len - 1] = u'p';
  return path;
}

// ---------------------------------------------------------------- composed paths

LPWSTR WINAPI PathInWindowsDir(LPWSTR buf, DWORD capacity, LPCWSTR name)
{
  if (buf == NULL || name == NULL || capacity == 0) return buf;
  WCHAR dir[MAX_PATH];
  UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || n >= capacity) {
    buf[0] = 0;
    return buf;
  }
  PathJoin(buf, capacity, dir, u'\\', name);
  return buf;
}

static BOOL IsUpPrefix(const WCHAR *p) { return p[0] == u'.' && p[1] == u'.' && p[2] == u'\\'; }

LPWSTR WINAPI PathResolveUpFromSystemDir(LPWSTR buf, DWORD capacity, LPCWSTR relative)
{
  if (buf == NULL || capacity == 0) return buf;
  buf[0] = 0;
  if (relative == NULL) return buf;
  int ups = 0;
  while (IsUpPrefix(relative)) {
    relative += 3;
    ++ups;
  }
  if (ups == 0) return buf;
  WCHAR sys[MAX_PATH];
  UINT n = GetSystemDirectoryW(sys, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return buf;
  int at = (int)n;
  for (int found = 0; found < ups;) {
    if (--at < 0) return buf;
    if (sys[at] == u'\\') ++found;
  }
  DWORD rest = (DWORD)lstrlenW(relative);
  if ((DWORD)at + rest + 2 > capacity) return buf;
  for (int i = 0; i < at; ++i) buf[i] = sys[i];
  buf[at] = u'\\';
  for (DWORD i = 0; i <= rest; ++i) buf[at + 1 + i] = relative[i];
  return buf;
}

BOOL WINAPI OsGetSystemWindowsDir(LPWSTR buf, UINT capacity)
{
  UINT n = GetSystemWindowsDirectoryW(buf, capacity);
  return n != 0 && n < capacity;
}
