// The driver's values under HKEY_LOCAL_MACHINE, read and written through the machine
// registry helpers of the operating-system layer.
#include "os/driver_registry.h"

#include "os/os_registry.h"

BOOL WINAPI StoreReadDriverRegValueTyped(LPCWSTR valueName, void *buf, DWORD bytes, DWORD *type)
{
  return OsRegReadMachineValueTyped(KV_DRIVER_REG_KEY, valueName, buf, bytes, type, nullptr);
}

BOOL WINAPI StoreReadDriverRegValue(LPCWSTR valueName, void *buf, DWORD bytes)
{
  return OsRegReadMachineValue(KV_DRIVER_REG_KEY, valueName, buf, bytes, nullptr);
}

BOOL WINAPI StoreWriteDriverRegString(LPCWSTR valueName, const WCHAR *data, DWORD bytes)
{
  return OsRegWriteMachineValue(KV_DRIVER_REG_KEY, valueName, data, bytes, REG_SZ, nullptr);
}

BOOL WINAPI StoreIsSaveDeviceSetupOn(DRIVER_CONTEXT *ctx)
{
  WORD value[KV_SAVE_DEVICE_SETUP_BYTES / sizeof(WORD)];
  if (!OsRegReadMachineValue(KV_CUSTOM_SETUP_REG_KEY, KV_SAVE_DEVICE_SETUP_VALUE, value, sizeof value, ctx))
    return FALSE;
  return value[0] == 1;
}
