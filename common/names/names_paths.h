// Names and paths cached in a context: printer, driver and language names, the driver
// directory, the package's INI files, help file and resource DLLs, and paths composed
// inside the Windows, system and settings directories. Cached results live in the
// context's state block until the next call that uses the same cache; a result that
// cannot be built whole is "" (or NULL where stated), never cut.
#pragma once

#include "context.h"

#define KV_BATCH_INSTALL_DONE_KEY u"BatchInstallDone"

KV_BEGIN_DECLS

// Printer and driver names (260 characters with the terminator).
const WCHAR *WINAPI CtxGetPrinterName(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetPrinterSection(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetPrinterSectionOf(HANDLE printer, DRIVER_CONTEXT *ctx);
// Copies the printer's name into buf when it is shorter than capacity characters and
// answers buf; NULL (buf unchanged) when it cannot be read or does not fit.
WCHAR *WINAPI OsGetPrinterName(HANDLE printer, WCHAR *buf, DWORD capacity);
const WCHAR *WINAPI CtxGetDriverName(DRIVER_CONTEXT *ctx);
// The driver name into buf (MAX_PATH characters), the template's fallback name when the
// printer has none; NULL (buf unchanged) when neither fits.
WCHAR *WINAPI OsGetDriverName(HANDLE printer, WCHAR *buf, DWORD reserved);

// Language codes: of item kdmLanguageID, and of the help file name.
const WCHAR *WINAPI CtxGetLanguageCode(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetLangSection(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetLangSectionAlias(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetUiLanguageCode(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI StoreGetBatchInstallDoneKey(void);

// Package paths. The driver directory ends in '\'.
const WCHAR *WINAPI CtxGetDriverDir(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetSettingsIniPath(DRIVER_CONTEXT *ctx);
// buf (MAX_PATH) := per-user (which = 1) or shared settings directory + "\" + the
// template's settings INI name; 0 when the directory cannot be found or it does not fit.
BOOL WINAPI PathBuildSettingsIni(WCHAR *buf, DWORD reserved, int which, DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetModelIniPath(DRIVER_CONTEXT *ctx);
// buf (MAX_PATH) := the model INI of a printer; "" when it cannot be built.
WCHAR *WINAPI PathBuildModelIni(HANDLE printer, WCHAR *buf, DWORD reserved);
const WCHAR *WINAPI CtxGetInstallerIniPath(DRIVER_CONTEXT *ctx);
// The help file and the resource DLLs: results in the state's text buffer.
const WCHAR *WINAPI CtxGetHelpFilePath(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetLangResDllPath(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetCommonResDllPath(DRIVER_CONTEXT *ctx);
// The same two paths built into the caller's buffer (cch characters) instead of the
// context's text buffer, so that loading a DLL never overwrites a text a caller is reading
// or writing there. NULL for a NULL context, buffer or size; an empty text when there is
// no such DLL name.
const WCHAR *WINAPI CtxCopyLangResDllPath(DRIVER_CONTEXT *ctx, WCHAR *dst, int cch);
const WCHAR *WINAPI CtxCopyCommonResDllPath(DRIVER_CONTEXT *ctx, WCHAR *dst, int cch);
int WINAPI CtxIsJapaneseResDll(DRIVER_CONTEXT *ctx);
// TRUE for a file name that stays inside the folder it is joined to: not empty, no
// folder separators, drive or "..".
BOOL WINAPI PathIsPlainFileName(const WCHAR *name);

// Composed paths (the rest are in paths.h).
LPWSTR WINAPI PathInWindowsDir(LPWSTR buf, DWORD capacity, LPCWSTR name);
LPWSTR WINAPI PathResolveUpFromSystemDir(LPWSTR buf, DWORD capacity, LPCWSTR relative);
BOOL WINAPI OsGetSystemWindowsDir(LPWSTR buf, UINT capacity);

KV_END_DECLS
