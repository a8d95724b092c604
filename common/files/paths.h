// Path building on UTF-16 strings into fixed buffers. Every builder is bounded by the
// capacity it is given (in characters, terminator included): a result that would not
// fit is a clear failure (FALSE, or an empty buffer), never a truncated or overflowed
// path.
#pragma once
#include "win32.h"

struct DRIVER_CONTEXT;

KV_BEGIN_DECLS

// Appends src to dst (a terminated string in a buffer of capacity characters); FALSE,
// dst unchanged, when the result would not fit or an argument is NULL.
BOOL WINAPI PathAppendName(LPWSTR dst, DWORD capacity, LPCWSTR src);
// dst := a + sep + b (sep 0 for none); FALSE and dst[0] := 0 when it would not fit.
BOOL WINAPI PathJoin(LPWSTR dst, DWORD capacity, LPCWSTR a, WCHAR sep, LPCWSTR b);

// The printer's driver folder ending in '\': the folder of DRIVER_INFO_3 pDriverPath,
// or the system folder + "\spool\drivers\w32x86\2\" when the driver cannot be read.
// NULL (buf[0] := 0) when it does not fit or cannot be found.
LPWSTR WINAPI OsGetDriverDir(HANDLE hPrinter, LPWSTR buf, DWORD capacity);
// buf := driver folder + name; buf untouched when the driver information cannot be
// read, "" when it would not fit.
LPWSTR WINAPI PathInDriverDir(LPWSTR buf, DWORD capacity, LPCWSTR name, HANDLE hPrinter);
// buf := folder + "\" + name, or "" when the folder cannot be found or it would not
// fit; a NULL buffer or name, or capacity 0, leaves buf untouched.
LPWSTR WINAPI PathInSystemDir(LPWSTR buf, DWORD capacity, LPCWSTR name);
// buf := shared settings directory + "\" + name, or "" when the directory cannot be found
// or it would not fit; a NULL buffer or name, or capacity 0, leaves buf untouched.
LPWSTR WINAPI PathInSharedSettingsDir(LPWSTR buf, DWORD capacity, LPCWSTR name, DRIVER_CONTEXT *ctx);
// The same in the calling user's settings directory (PathGetUserSettingsDirRaw).
LPWSTR WINAPI PathInUserSettingsDir(LPWSTR buf, DWORD capacity, LPCWSTR name);
// GetSystemDirectoryW; the context is not used.
UINT WINAPI OsGetSystemDir(LPWSTR buf, UINT capacity, DRIVER_CONTEXT *ctx);

// A new copy of the printer driver's data file path (DRIVER_INFO_2 pDataFile), or NULL
// when the driver cannot be read, names no data file or memory runs out; the caller frees
// it with GlobalFree.
LPWSTR WINAPI PathGetDriverDataFile(HANDLE hPrinter);

// File-name parts: the text after the last backslash (the whole string without one).
LPCWSTR WINAPI PathFindFileName(LPCWSTR path);
// The extension: the text after the last '.' of the file name, *length (optional) its
// characters; the file name itself with *length 0 when it has no '.'; NULL for NULL.
LPCWSTR WINAPI PathFindExt(LPCWSTR path, DWORD *length);
// The file name, *length (optional) its characters before the first '.'; the path itself
// with *length 0 when it ends in a backslash; NULL for NULL.
LPCWSTR WINAPI PathFileStem(LPCWSTR path, DWORD *length);
// dst := src with the text after the last '.' of its file name replaced by ext (ext
// appended after a '.' when the name has none). capacity bounds dst.
BOOL WINAPI PathReplaceExt(LPWSTR dst, DWORD capacity, LPCWSTR src, LPCWSTR ext);
// PathReplaceExt with the extension "ksq".
BOOL WINAPI PathWithKsqExt(LPWSTR dst, DWORD capacity, LPCWSTR src);
// TRUE when the file name has a non-empty stem, a '.' and an extension of 1-3 characters.
BOOL WINAPI PathHasShortExt(LPCWSTR path);
// PathHasShortExt under its second name.
BOOL WINAPI PathHasShortExtAlias(LPCWSTR path);
// TRUE when the second character is ':' (a drive-absolute path).
BOOL WINAPI PathIsDriveAbsolute(LPCWSTR path);

KV_END_DECLS
