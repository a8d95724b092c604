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

BOOL WINAPI FileExists(LPCWSTR path);
// TRUE only when the file is gone afterwards (its attributes reset, then deleted).
BOOL WINAPI FileDeleteForced(LPCWSTR path);
// TRUE when at least one entry matching the wildcard was really deleted.
BOOL WINAPI FileDeleteMatching(LPCWSTR pattern);
BOOL WINAPI FileCopyNormal(LPCWSTR source, LPCWSTR target, BOOL failIfExists);
BOOL WINAPI FileClearReadOnly(LPCWSTR path);
BOOL WINAPI FileSameWriteTime(LPCWSTR a, LPCWSTR b);
BOOL WINAPI FileEnsureDir(LPCWSTR path);
// The copy rule: mode 1 copies a missing target; other modes copy when the write
// times differ (0 when they are equal and nothing was copied).
BOOL WINAPI FileCopyByMode(LPCWSTR source, LPCWSTR target, WORD mode);
BOOL WINAPI FileCopyIfChanged(LPCWSTR target, LPCWSTR source, WORD mode);
BOOL WINAPI FileInstallFromDriverDir(LPCWSTR fileName, LPCWSTR sourceName, WORD mode, DRIVER_CONTEXT *ctx);
BOOL WINAPI FileInstallFromDriverDirTo(LPCWSTR target, LPCWSTR sourceName, WORD mode, DRIVER_CONTEXT *ctx);
// Opens a bitmap file and checks for a BITMAPINFOHEADER; on TRUE *file is open just
// after the header's size field.
BOOL WINAPI FileOpenBitmap(LPCWSTR path, HFILE *file);
// Maps the whole file read-only; *base and *cursor both receive the view (release it
// with UnmapViewOfFile), *size (optional) the file size. FALSE for a missing, unreadable or
// empty file, or a NULL path, base or cursor; no handle stays open.
BOOL WINAPI FileMapReadOnly(LPCWSTR path, const BYTE **base, const BYTE **cursor, DWORD *size);
UINT WINAPI FileReadRaw(HFILE file, LPVOID buffer, UINT bytes);
UINT WINAPI FileWriteRaw(HFILE file, LPCSTR buffer, UINT bytes);

KV_END_DECLS
