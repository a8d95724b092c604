// The 16-bit file functions (_lopen, _lcreat, _llseek, _lread, _hread, _lwrite,
// _hwrite, _lclose) and CreateFileA: ANSI paths in the active code page, opened
// through CreateFileW. An HFILE is the value of the file handle in the shared table.
#include <string>

#include "file_object.h"
#include "win32/codepage.h"

namespace {

// Converts an ANSI path of the active code page; FALSE with the last error set.
BOOL AnsiPath(LPCSTR path, std::u16string &out)
{
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int n = MultiByteToWideChar(CP_ACP, 0, path, -1, NULL, 0);
  if (n <= 0) return FALSE;
  out.assign(static_cast<size_t>(n), u'\0');
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, out.data(), n) != n) return FALSE;
  out.resize(static_cast<size_t>(n - 1));
  return TRUE;
}

HFILE ToHfile(HANDLE h)
{
  return h == INVALID_HANDLE_VALUE ? HFILE_ERROR : static_cast<HFILE>(reinterpret_cast<intptr_t>(h));
}

HANDLE ToHandle(HFILE f) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(f)); }

// Shortens the file at its pointer (a write of zero bytes). Counts as a file write for
// the fault injection.
BOOL TruncateHere(HFILE hFile)
{
  auto core = plat::FileFromHandle(ToHandle(hFile));
  if (!core) return FALSE;
  if (!core->canWrite) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (PlatFaultHit(PLAT_FAULT_FILE_WRITE)) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return SetEndOfFile(ToHandle(hFile));
}

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
  std::u16string wide;
  if (!AnsiPath(lpFileName, wide)) return INVALID_HANDLE_VALUE;
  return CreateFileW(wide.c_str(), dwDesiredAccess, dwShareMode, lpSecurityAttributes, dwCreationDisposition,
                     dwFlagsAndAttributes, hTemplateFile);
}

HFILE WINAPI _lopen(LPCSTR lpPathName, int iReadWrite)
{
  DWORD access;
  switch (iReadWrite & 3) {
    case OF_READ: access = GENERIC_READ; break;
    case OF_WRITE: access = GENERIC_WRITE; break;
    case OF_READWRITE: access = GENERIC_READ | GENERIC_WRITE; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return HFILE_ERROR;
  }
  DWORD share;
  switch (iReadWrite & 0x70) {
    case OF_SHARE_COMPAT:
    case OF_SHARE_DENY_NONE: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    case OF_SHARE_EXCLUSIVE: share = 0; break;
    case OF_SHARE_DENY_WRITE: share = FILE_SHARE_READ; break;
    case OF_SHARE_DENY_READ: share = FILE_SHARE_WRITE; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return HFILE_ERROR;
  }
  std::u16string wide;
  if (!AnsiPath(lpPathName, wide)) return HFILE_ERROR;
  return ToHfile(CreateFileW(wide.c_str(), access, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
}

HFILE WINAPI _lcreat(LPCSTR lpPathName, int iAttribute)
{
  // 0 normal, 1 read-only, 2 hidden, 4 system, or a sum of these.
  if (iAttribute < 0 || iAttribute > 7) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  DWORD attrs =
      static_cast<DWORD>(iAttribute) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  std::u16string wide;
  if (!AnsiPath(lpPathName, wide)) return HFILE_ERROR;
  return ToHfile(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             CREATE_ALWAYS, attrs ? attrs : FILE_ATTRIBUTE_NORMAL, NULL));
}

LONG WINAPI _llseek(HFILE hFile, LONG lOffset, int iOrigin)
{
  DWORD pos = SetFilePointer(ToHandle(hFile), lOffset, NULL, static_cast<DWORD>(iOrigin));
  if (pos == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return HFILE_ERROR;
  if (pos > 0x7FFFFFFFu) {
    // The answer is a LONG: a position beyond 2 GB cannot be told apart from a failure.
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  return static_cast<LONG>(pos);
}

UINT WINAPI _lread(HFILE hFile, LPVOID lpBuffer, UINT uBytes)
{
  DWORD got = 0;
  if (!ReadFile(ToHandle(hFile), lpBuffer, uBytes, &got, NULL)) return static_cast<UINT>(HFILE_ERROR);
  return got;
}

long WINAPI _hread(HFILE hFile, LPVOID lpBuffer, long lBytes)
{
  if (lBytes < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  DWORD got = 0;
  if (!ReadFile(ToHandle(hFile), lpBuffer, static_cast<DWORD>(lBytes), &got, NULL)) return HFILE_ERROR;
  return static_cast<long>(got);
}

UINT WINAPI _lwrite(HFILE hFile, LPCSTR lpBuffer, UINT uBytes)
{
  if (uBytes == 0) return TruncateHere(hFile) ? 0 : static_cast<UINT>(HFILE_ERROR);
  DWORD put = 0;
  if (!WriteFile(ToHandle(hFile), lpBuffer, uBytes, &put, NULL)) return static_cast<UINT>(HFILE_ERROR);
  return put;
}

long WINAPI _hwrite(HFILE hFile, LPCSTR lpBuffer, long lBytes)
{
  if (lBytes < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return HFILE_ERROR;
  }
  if (lBytes == 0) return TruncateHere(hFile) ? 0 : HFILE_ERROR;
  DWORD put = 0;
  if (!WriteFile(ToHandle(hFile), lpBuffer, static_cast<DWORD>(lBytes), &put, NULL)) return HFILE_ERROR;
  return static_cast<long>(put);
}

HFILE WINAPI _lclose(HFILE hFile)
{
  if (!plat::HandleGet(ToHandle(hFile), plat::OBJ_FILE)) return HFILE_ERROR;
  return plat::HandleClose(ToHandle(hFile)) ? 0 : HFILE_ERROR;
}
