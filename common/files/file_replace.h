// Whole-file replacement: "write these bytes to this path, replacing the file whole".
// Every file the settings core rewrites whole (settings files, compiled-description
// caches) goes through it, so that a reader sees the old file or the new one and never a
// mix, writers never meet in a shared temporary file, and a link planted in the file's
// place is replaced rather than written through.
#pragma once
#include "win32.h"

KV_BEGIN_DECLS

// One run of bytes of the new contents.
typedef struct FILE_PIECE {
  const void *bytes;
  DWORD size;
} FILE_PIECE;

// Replaces the file at path with the pieces written one after another (count 0 gives an
// empty file). The bytes go to a temporary file in path's folder, named for this process
// and this call and created only where no entry has that name (CREATE_NEW), are flushed
// to disk, get lastWrite (optional) as their last-write time, and are renamed over path
// (MoveFileExW, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH). A link in path's
// place is replaced by the new file; the platform refuses a folder that leads out of the
// machine (ERROR_ACCESS_DENIED). FALSE with the last error set when anything failed
// (ERROR_INVALID_PARAMETER for a NULL path or NULL pieces with a count,
// ERROR_FILENAME_EXCED_RANGE when the temporary name does not fit MAX_PATH): the file at
// path is then as it was and no temporary file stays.
BOOL WINAPI FileReplaceWhole(LPCWSTR path, const FILE_PIECE *pieces, DWORD count, const FILETIME *lastWrite);

KV_END_DECLS
