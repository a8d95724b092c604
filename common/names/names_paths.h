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
// The printer's name, read once and cached in the context's state ("" while it cannot be
// read); NULL without state.
const WCHAR *WINAPI CtxGetPrinterName(DRIVER_CONTEXT *ctx);
// CtxGetPrinterName: the printer's name is its section in the settings INI.
const WCHAR *WINAPI CtxGetPrinterSection(DRIVER_CONTEXT *ctx);
// CtxGetPrinterSection of the context; printer is not used.
const WCHAR *WINAPI CtxGetPrinterSectionOf(HANDLE printer, DRIVER_CONTEXT *ctx);
// Copies the printer's name into buf when it is shorter than capacity characters and
// answers buf; NULL (buf unchanged) when it cannot be read or does not fit.
WCHAR *WINAPI OsGetPrinterName(HANDLE printer, WCHAR *buf, DWORD capacity);
// The printer's driver name, cached in the context's state; the model's fallback name when
// the printer has none. NULL without context state.
const WCHAR *WINAPI CtxGetDriverName(DRIVER_CONTEXT *ctx);
// The driver name into buf (MAX_PATH characters), the template's fallback name when the
// printer has none; NULL (buf unchanged) when neither fits.
WCHAR *WINAPI OsGetDriverName(HANDLE printer, WCHAR *buf, DWORD reserved);

// Language codes: of item kdmLanguageID, and of the help file name.
// The code of the kdmLanguageID item, copied into the state (3 characters); NULL without
// state.
const WCHAR *WINAPI CtxGetLanguageCode(DRIVER_CONTEXT *ctx);
// CtxGetLanguageCode: the language code is its section in the package INI files.
const WCHAR *WINAPI CtxGetLangSection(DRIVER_CONTEXT *ctx);
// CtxGetLanguageCode under its second name.
const WCHAR *WINAPI CtxGetLangSectionAlias(DRIVER_CONTEXT *ctx);
// The user interface's language code (in the state, 3 characters): the two characters
// before the help file's extension, the driver's registered help file for a context opened
// to initialize the printer, the printer's "HelpFileName" otherwise; "us" when it cannot be
// read. Uses the state's text buffer. NULL without context state.
const WCHAR *WINAPI CtxGetUiLanguageCode(DRIVER_CONTEXT *ctx);
// KV_BATCH_INSTALL_DONE_KEY, the key that marks a batch installation as done.
const WCHAR *WINAPI StoreGetBatchInstallDoneKey(void);

// Package paths. The driver directory ends in '\'.
// The printer's driver directory, rebuilt in the state at every call; "" when it cannot be
// found. NULL without state.
const WCHAR *WINAPI CtxGetDriverDir(DRIVER_CONTEXT *ctx);
// The settings INI's path, rebuilt in the state at every call: the model's name when it is
// drive-absolute, else in the per-user directory (terminal server, no shared-directory
// flag) or the shared one; "" when no directory is found. NULL without state or model.
const WCHAR *WINAPI CtxGetSettingsIniPath(DRIVER_CONTEXT *ctx);
// buf (MAX_PATH) := per-user (which = 1) or shared settings directory + "\" + the
// template's settings INI name; 0 when the directory cannot be found or it does not fit.
BOOL WINAPI PathBuildSettingsIni(WCHAR *buf, DWORD reserved, int which, DRIVER_CONTEXT *ctx);
// The model INI's path in the state: the model's name when drive-absolute, else in the
// driver directory; "" when that is unknown. NULL without state or model.
const WCHAR *WINAPI CtxGetModelIniPath(DRIVER_CONTEXT *ctx);
// buf (MAX_PATH) := the model INI of a printer; "" when it cannot be built.
WCHAR *WINAPI PathBuildModelIni(HANDLE printer, WCHAR *buf, DWORD reserved);
// The installer INI's path in the state: driver directory + the model's name; "" when the
// directory is unknown. NULL without state or model.
const WCHAR *WINAPI CtxGetInstallerIniPath(DRIVER_CONTEXT *ctx);
// The help file and the resource DLLs: results in the state's text buffer.
const WCHAR *WINAPI CtxGetHelpFilePath(DRIVER_CONTEXT *ctx);
// The language DLL's path in the state's text buffer: driver directory + the description's
// UI resource DLL name with the item language's code in the two characters before its
// extension; "" when the name is missing or not a plain file name. NULL without state.
const WCHAR *WINAPI CtxGetLangResDllPath(DRIVER_CONTEXT *ctx);
// The language-neutral DLL's path in the state's text buffer: the UI resource DLL's path
// with 'C', 'X', 'X' at length - 8, - 6 and - 5 (names "????xx.ext" only, else "").
const WCHAR *WINAPI CtxGetCommonResDllPath(DRIVER_CONTEXT *ctx);
// The same two paths built into the caller's buffer (cch characters) instead of the
// context's text buffer, so that loading a DLL never overwrites a text a caller is reading
// or writing there. NULL for a NULL context, buffer or size; an empty text when there is
// no such DLL name.
const WCHAR *WINAPI CtxCopyLangResDllPath(DRIVER_CONTEXT *ctx, WCHAR *dst, int cch);
// CtxGetCommonResDllPath into dst.
const WCHAR *WINAPI CtxCopyCommonResDllPath(DRIVER_CONTEXT *ctx, WCHAR *dst, int cch);
// 1 when the language DLL's name ends in "jp" before a three-letter extension (any case),
// else 0. Uses the state's text buffer.
int WINAPI CtxIsJapaneseResDll(DRIVER_CONTEXT *ctx);
// TRUE for a file name that stays inside the folder it is joined to: not empty, no
// folder separators, drive or "..".
BOOL WINAPI PathIsPlainFileName(const WCHAR *name);

// Composed paths (the rest are in paths.h).
// buf := Windows directory + "\" + name; "" when the directory cannot be read or the result
// does not fit. A NULL buffer or name, or capacity 0, leaves buf untouched.
LPWSTR WINAPI PathInWindowsDir(LPWSTR buf, DWORD capacity, LPCWSTR name);
// buf := the system directory with one trailing folder removed per leading "..\" of
// relative, + "\" + the rest; "" when relative has no "..\", climbs above the root, or the
// result does not fit. A NULL buffer or capacity 0 leaves buf untouched.
LPWSTR WINAPI PathResolveUpFromSystemDir(LPWSTR buf, DWORD capacity, LPCWSTR relative);
// GetSystemWindowsDirectoryW into buf; FALSE when it fails or does not fit.
BOOL WINAPI OsGetSystemWindowsDir(LPWSTR buf, UINT capacity);

KV_END_DECLS
