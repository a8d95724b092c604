// The driver's values under HKEY_LOCAL_MACHINE: its own key (the configured settings
// folder, the machine-wide spool folder) and the custom-setup switch of the device sheet.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// The driver's key, and the key and value of the custom-setup switch.
#define KV_DRIVER_REG_KEY u"SOFTWARE\\TOLVE\\KvmlDrv"
#define KV_CUSTOM_SETUP_REG_KEY u"Software\\TOLVE\\KvmlDrvCustomSetup"
#define KV_SAVE_DEVICE_SETUP_VALUE u"SaveDeviceSetup"
// The buffer the switch is read into.
#define KV_SAVE_DEVICE_SETUP_BYTES 520

// Reads value `valueName` of HKLM\KV_DRIVER_REG_KEY into buf (bytes bytes), whatever its
// type; TRUE when read, with the rest of a longer buffer zeroed. FALSE, buf untouched,
// for NULL arguments, zero bytes, a missing key or value, or a value larger than the
// buffer.
BOOL WINAPI StoreReadDriverRegValue(LPCWSTR valueName, void *buf, DWORD bytes);
// The same, with the value's registry type in *type on success (type may be NULL).
BOOL WINAPI StoreReadDriverRegValueTyped(LPCWSTR valueName, void *buf, DWORD bytes, DWORD *type);
// Writes `bytes` bytes of data (text with the terminator the caller wants stored) as the
// REG_SZ value `valueName` of HKLM\KV_DRIVER_REG_KEY, creating the key when missing. TRUE
// when written; FALSE for NULL arguments, a user who may not write the machine's keys, or
// a failed write.
BOOL WINAPI StoreWriteDriverRegString(LPCWSTR valueName, const WCHAR *data, DWORD bytes);

// TRUE when HKLM\KV_CUSTOM_SETUP_REG_KEY "SaveDeviceSetup" can be read into
// KV_SAVE_DEVICE_SETUP_BYTES bytes and its first 16-bit unit is 1 (the DWORD 1): the device
// sheet then also saves the device configuration into the deployment files.
BOOL WINAPI StoreIsSaveDeviceSetupOn(DRIVER_CONTEXT *ctx);

KV_END_DECLS
