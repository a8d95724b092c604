// File helpers of the settings core: existence, forced and wildcard deletion, copies
// that install a missing file or refresh a changed one, directory creation, and the
// bitmap header check. Paths are UTF-16; every path built here is bounded by MAX_PATH
// and a path that would not fit fails cleanly.
#pragma once
#include "win32.h"

struct DRIVER_CONTEXT;

// Copy modes of the install helpers.
#define KV_COPY_IF_MISSING 1
#define KV_COPY_IF_CHANGED 2

KV_BEGIN_DECLS

// TRUE when the file can be opened for reading; FALSE for a NULL path.
BOOL WINAPI FileExists(LPCWSTR path);
// TRUE only when the file is gone afterwards (its attributes reset, then deleted).
BOOL WINAPI FileDeleteForced(LPCWSTR path);
// TRUE when at least one entry matching the wildcard was really deleted.
BOOL WINAPI FileDeleteMatching(LPCWSTR pattern);
// CopyFileW, then the target's attributes set to archive alone (no read-only bit); FALSE
// when the copy or an attribute change fails.
BOOL WINAPI FileCopyNormal(LPCWSTR source, LPCWSTR target, BOOL failIfExists);
// Clears the read-only attribute of an existing file; always TRUE.
BOOL WINAPI FileClearReadOnly(LPCWSTR path);
// TRUE when both files exist and have the same last-write time.
BOOL WINAPI FileSameWriteTime(LPCWSTR a, LPCWSTR b);
// Creates the directory (not its parents); TRUE when it was made or already exists.
BOOL WINAPI FileEnsureDir(LPCWSTR path);
// The copy rule: mode 1 copies a missing target; other modes copy when the write
// times differ (0 when they are equal and nothing was copied).
BOOL WINAPI FileCopyByMode(LPCWSTR source, LPCWSTR target, WORD mode);
// FileCopyByMode (note the order: target first) for two drive-absolute paths; FALSE for any
// other path.
BOOL WINAPI FileCopyIfChanged(LPCWSTR target, LPCWSTR source, WORD mode);
// Copies sourceName (fileName when NULL) from the printer's driver folder to fileName in
// the system folder by the copy rule of mode; FALSE without name or context, or when
// FileCopyByMode fails.
BOOL WINAPI FileInstallFromDriverDir(LPCWSTR fileName, LPCWSTR sourceName, WORD mode, DRIVER_CONTEXT *ctx);
// FileInstallFromDriverDir to a drive-absolute target (its file name is the source name
// when sourceName is NULL); a relative target is taken as a name in the system folder.
BOOL WINAPI FileInstallFromDriverDirTo(LPCWSTR target, LPCWSTR sourceName, WORD mode, DRIVER_CONTEXT *ctx);
// Opens a bitmap file and checks for a BITMAPINFOHEADER; on TRUE *file is open just
// after the header's size field.
BOOL WINAPI FileOpenBitmap(LPCWSTR path, HFILE *file);
// Maps the whole file read-only; *base and *cursor both receive the view (release it
// with UnmapViewOfFile), *size (optional) the file size. FALSE for a missing, unreadable or
// empty file, or a NULL path, base or cursor; no handle stays open.
BOOL WINAPI FileMapReadOnly(LPCWSTR path, const BYTE **base, const BYTE **cursor, DWORD *size);
// _lread: the bytes read into buffer, HFILE_ERROR on failure.
UINT WINAPI FileReadRaw(HFILE file, LPVOID buffer, UINT bytes);
// _lwrite: the bytes written from buffer, HFILE_ERROR on failure.
UINT WINAPI FileWriteRaw(HFILE file, LPCSTR buffer, UINT bytes);

KV_END_DECLS
