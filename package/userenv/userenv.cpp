// Stand-in for the system's UserEnv.dll: the profile folder of the machine's user.
#include "kvplat/module_control.h"
#include "win32.h"

namespace {

// Answers the value of an environment variable of the machine as a profile folder,
// following the size protocol of the profile functions: *lpcchSize is the buffer's
// capacity in characters; when it is too small (or the buffer is NULL) the answer is
// FALSE with ERROR_INSUFFICIENT_BUFFER and *lpcchSize receives the size needed,
// terminator included; on success *lpcchSize receives that size as well.
BOOL ProfileFolder(LPCWSTR variable, LPWSTR lpProfileDir, LPDWORD lpcchSize)
{
  if (!lpcchSize) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WCHAR value[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(variable, value, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) {
    SetLastError(ERROR_FILE_NOT_FOUND);  // no profile for this user on the machine
    return FALSE;
  }
  DWORD need = n + 1;
  if (!lpProfileDir || *lpcchSize < need) {
    *lpcchSize = need;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  for (DWORD i = 0; i < need; ++i) lpProfileDir[i] = value[i];
  *lpcchSize = need;
  return TRUE;
}

}  // namespace

// The profile folder of the user the token stands for: %USERPROFILE% of the machine.
KV_DLLEXPORT BOOL WINAPI GetUserProfileDirectoryW(HANDLE hToken, LPWSTR lpProfileDir, LPDWORD lpcchSize)
{
  if (!hToken) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return ProfileFolder(u"USERPROFILE", lpProfileDir, lpcchSize);
}
