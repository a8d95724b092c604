// Reading and writing values of HKEY_LOCAL_MACHINE, and the machine facts kept there: the
// help file of an installed driver and the companion application's installation count.
#include "os/os_registry.h"

#include <string.h>

#include "os/os.h"

namespace {

BOOL Refuse(DWORD error)
{
  SetLastError(error);
  return FALSE;
}

bool HasText(LPCWSTR s) { return s != nullptr && s[0] != 0; }

// Opens HKLM\subkey and reads the value into buf when it fits. text: only REG_SZ and
// REG_EXPAND_SZ are read, which is learnt before any byte of buf is written.
BOOL ReadMachineValue(LPCWSTR subkey, LPCWSTR valueName, void *buf, DWORD bytes, DWORD *type, bool text)
{
  if (!HasText(subkey) || !valueName || !buf || bytes == 0) return Refuse(ERROR_INVALID_PARAMETER);
  HKEY key = nullptr;
  LONG rc = RegOpenKeyW(HKEY_LOCAL_MACHINE, subkey, &key);
  if (rc != ERROR_SUCCESS) return Refuse(static_cast<DWORD>(rc));
  DWORD valueType = REG_NONE;
  DWORD size = 0;
  rc = RegQueryValueExW(key, valueName, nullptr, &valueType, nullptr, &size);
  if (rc == ERROR_SUCCESS && text && valueType != REG_SZ && valueType != REG_EXPAND_SZ) rc = ERROR_INVALID_DATATYPE;
  if (rc == ERROR_SUCCESS && size > bytes) rc = ERROR_MORE_DATA;
  if (rc == ERROR_SUCCESS) {
    size = bytes;
    rc = RegQueryValueExW(key, valueName, nullptr, &valueType, static_cast<LPBYTE>(buf), &size);
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Refuse(static_cast<DWORD>(rc));
  if (size < bytes) memset(static_cast<BYTE *>(buf) + size, 0, bytes - size);
  if (type) *type = valueType;
  return TRUE;
}

}  // namespace

BOOL WINAPI OsRegReadMachineValueTyped(LPCWSTR subkey, LPCWSTR valueName, void *buf, DWORD bytes, DWORD *type,
                                       DRIVER_CONTEXT *)
{
  return ReadMachineValue(subkey, valueName, buf, bytes, type, false);
}

BOOL WINAPI OsRegReadMachineValue(LPCWSTR subkey, LPCWSTR valueName, void *buf, DWORD bytes, DRIVER_CONTEXT *)
{
  return ReadMachineValue(subkey, valueName, buf, bytes, nullptr, false);
}

BOOL WINAPI OsRegReadMachineText(LPCWSTR subkey, LPCWSTR valueName, WCHAR *buf, DWORD bytes, DRIVER_CONTEXT *)
{
  if (!buf || bytes < 2 * sizeof(WCHAR)) return Refuse(ERROR_INVALID_PARAMETER);
  DWORD chars = bytes / sizeof(WCHAR);
  if (!ReadMachineValue(subkey, valueName, buf, chars * sizeof(WCHAR), nullptr, true)) return FALSE;
  if (buf[chars - 1] != 0) {
    // The value fills the buffer and was stored without its terminator: no room for one.
    buf[0] = 0;
    return Refuse(ERROR_MORE_DATA);
  }
  return TRUE;
}

BOOL WINAPI OsRegWriteMachineValue(LPCWSTR subkey, LPCWSTR valueName, const void *data, DWORD bytes, DWORD type,
                                   DRIVER_CONTEXT *)
{
  if (!HasText(subkey) || !valueName || (!data && bytes != 0)) return Refuse(ERROR_INVALID_PARAMETER);
  HKEY key = nullptr;
  LONG rc = RegCreateKeyW(HKEY_LOCAL_MACHINE, subkey, &key);
  if (rc != ERROR_SUCCESS) return Refuse(static_cast<DWORD>(rc));
  rc = RegSetValueExW(key, valueName, 0, type, static_cast<const BYTE *>(data), bytes);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Refuse(static_cast<DWORD>(rc));
  return TRUE;
}

BOOL WINAPI OsGetDriverHelpFile(LPCWSTR driverName, WCHAR *buf, DWORD bytes, DRIVER_CONTEXT *ctx)
{
  if (!HasText(driverName) || !buf || bytes < 2 * sizeof(WCHAR)) return Refuse(ERROR_INVALID_PARAMETER);
  const WCHAR *const newer[] = {KV_DRIVERS_KEY_V3, KV_DRIVERS_KEY_V2};
  const WCHAR *const older[] = {KV_DRIVERS_KEY_V2};
  bool nt5 = OsIsNT5OrLater() != FALSE;
  const WCHAR *const *keys = nt5 ? newer : older;
  int count = nt5 ? 2 : 1;
  for (int i = 0; i < count; ++i) {
    WCHAR subkey[MAX_PATH];
    int n = lstrlenW(keys[i]) + 1 + lstrlenW(driverName);
    if (n >= MAX_PATH) return Refuse(ERROR_INVALID_PARAMETER);
    lstrcpyW(subkey, keys[i]);
    lstrcatW(subkey, u"\\");
    lstrcatW(subkey, driverName);
    if (OsRegReadMachineText(subkey, KV_DRIVER_HELP_FILE_VALUE, buf, bytes, ctx)) {
      if (buf[0] != 0) return TRUE;
      SetLastError(ERROR_FILE_NOT_FOUND);  // an empty record names no file
    }
  }
  return FALSE;
}

BOOL WINAPI OsIsCompanionAppInstalled(DWORD kind, DRIVER_CONTEXT *ctx)
{
  if (kind != KV_COMPANION_JOB_BINDING) return FALSE;
  DWORD count = 0;
  if (!OsRegReadMachineValue(KV_COMPANION_APP_KEY, KV_COMPANION_APP_VALUE, &count, sizeof count, ctx)) return FALSE;
  return count != 0;
}
