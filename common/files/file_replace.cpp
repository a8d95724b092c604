// Whole-file replacement through a temporary file and a rename.
#include "files/file_replace.h"

#include <atomic>

namespace {

std::atomic<DWORD> g_serial{0};

// Tries for a temporary name that no entry holds: another process that had this id
// before may have left one behind.
constexpr int kNameAttempts = 16;

// Appends the hexadecimal digits of v at out[*n].
void PutHex(WCHAR *out, int *n, DWORD v)
{
  WCHAR digits[8];
  int d = 0;
  do {
    digits[d++] = static_cast<WCHAR>(u"0123456789abcdef"[v & 15u]);
    v >>= 4;
  } while (v != 0);
  while (d > 0) out[(*n)++] = digits[--d];
}

// out (MAX_PATH characters) := the folder part of path, then "~kv" <process id> "-"
// <serial> ".tmp", the serial fresh for each call; FALSE when that does not fit.
BOOL MakeTempName(WCHAR *out, LPCWSTR path)
{
  int len = lstrlenW(path);
  int folder = len;
  while (folder > 0 && path[folder - 1] != u'\\' && path[folder - 1] != u'/' && path[folder - 1] != u':') --folder;
  WCHAR name[32];
  int n = 0;
  name[n++] = u'~';
  name[n++] = u'k';
  name[n++] = u'v';
  PutHex(name, &n, GetCurrentProcessId());
  name[n++] = u'-';
  PutHex(name, &n, ++g_serial);
  for (const char16_t *ext = u".tmp"; *ext; ++ext) name[n++] = *ext;
  if (folder + n + 1 > MAX_PATH) return FALSE;
  for (int i = 0; i < folder; ++i) out[i] = path[i];
  for (int i = 0; i < n; ++i) out[folder + i] = name[i];
  out[folder + n] = 0;
  return TRUE;
}

BOOL WritePieces(HANDLE h, const FILE_PIECE *pieces, DWORD count)
{
  for (DWORD i = 0; i < count; ++i) {
    const BYTE *bytes = static_cast<const BYTE *>(pieces[i].bytes);
    DWORD done = 0;
    while (done < pieces[i].size) {
      DWORD put = 0;
      if (!WriteFile(h, bytes + done, pieces[i].size - done, &put, NULL)) return FALSE;
      if (put == 0) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
      }
      done += put;
    }
  }
  return TRUE;
}

}  // namespace

BOOL WINAPI FileReplaceWhole(LPCWSTR path, const FILE_PIECE *pieces, DWORD count, const FILETIME *lastWrite)
{
  if (path == NULL || path[0] == 0 || (count > 0 && pieces == NULL)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (DWORD i = 0; i < count; ++i) {
    if (pieces[i].bytes == NULL && pieces[i].size > 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  WCHAR temp[MAX_PATH];
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < kNameAttempts && h == INVALID_HANDLE_VALUE; ++attempt) {
    if (!MakeTempName(temp, path)) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return FALSE;
    }
    // CREATE_NEW: a fresh file of this call alone, never an entry (or a link) already there.
    h = CreateFileW(temp, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
      return FALSE;
  }
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  BOOL ok = WritePieces(h, pieces, count) && (lastWrite == NULL || SetFileTime(h, NULL, NULL, lastWrite)) &&
            FlushFileBuffers(h);
  DWORD err = ok ? NO_ERROR : GetLastError();
  if (!CloseHandle(h) && ok) {
    ok = FALSE;
    err = GetLastError();
  }
  if (ok && !MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = FALSE;
    err = GetLastError();
  }
  if (!ok) {
    DeleteFileW(temp);
    SetLastError(err);
    return FALSE;
  }
  return TRUE;
}
