// Values of HKEY_LOCAL_MACHINE: reading and writing a value of any key, the help file that
// the spooler recorded for a driver, and whether the job-binding companion application is
// installed.
#pragma once
#include "win32.h"

struct DRIVER_CONTEXT;

KV_BEGIN_DECLS

// The spooler's driver keys, by driver version, and the value naming the help file.
#define KV_DRIVERS_KEY_V3 u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3"
#define KV_DRIVERS_KEY_V2 u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-2"
#define KV_DRIVER_HELP_FILE_VALUE u"Help File"

// Where the job-binding companion application records its installations.
#define KV_COMPANION_APP_KEY u"Software\\TOLVE\\SuiteBraid\\TaskWeave"
#define KV_COMPANION_APP_VALUE u"INSTALL_COUNT"
// The kind of companion application OsIsCompanionAppInstalled answers for.
#define KV_COMPANION_JOB_BINDING 2

// Reads value `valueName` of HKLM\subkey into buf (bytes bytes); TRUE when it was read.
// A value shorter than the buffer leaves the rest of the buffer zeroed, so no byte of an
// earlier, longer content remains. FALSE, buf untouched, for a NULL or empty subkey, a
// NULL value name or buffer, zero bytes, a missing key or value, or a value larger than
// the buffer; the last error is then the registry's answer. The context is not used.
BOOL WINAPI OsRegReadMachineValue(LPCWSTR subkey, LPCWSTR valueName, void *buf, DWORD bytes, DRIVER_CONTEXT *ctx);
// The same, with the value's registry type stored in *type (when type is not NULL) on
// success, for callers that accept only some types.
BOOL WINAPI OsRegReadMachineValueTyped(LPCWSTR subkey, LPCWSTR valueName, void *buf, DWORD bytes, DWORD *type,
                                       DRIVER_CONTEXT *ctx);
// Reads a text value (REG_SZ or REG_EXPAND_SZ, taken as stored) into buf (bytes bytes),
// terminated (a value stored without its terminator gets one). FALSE, buf untouched, when
// the read fails as above, the buffer has room for less than two characters or the value
// has another type; FALSE with buf "" when the value fills the buffer without a terminator.
BOOL WINAPI OsRegReadMachineText(LPCWSTR subkey, LPCWSTR valueName, WCHAR *buf, DWORD bytes, DRIVER_CONTEXT *ctx);

// Writes `bytes` bytes of data as value `valueName` of type `type` under HKLM\subkey,
// creating the key when it is missing. TRUE when written; FALSE for a NULL or empty
// subkey, a NULL value name, NULL data with a non-zero size, a user who may not write the
// machine's keys, or a failed write (the last error is the registry's answer).
BOOL WINAPI OsRegWriteMachineValue(LPCWSTR subkey, LPCWSTR valueName, const void *data, DWORD bytes, DWORD type,
                                   DRIVER_CONTEXT *ctx);

// The "Help File" value that the spooler recorded for driver `driverName` (a file name),
// into buf (bytes bytes), terminated. Windows 2000 and later look under the version-3
// drivers key first and then under the version-2 key; NT 4 looks under version 2 only.
// FALSE for a NULL or empty driver name, a buffer too small, a value that is not text or
// is empty, or when no key has it.
BOOL WINAPI OsGetDriverHelpFile(LPCWSTR driverName, WCHAR *buf, DWORD bytes, DRIVER_CONTEXT *ctx);

// Kind KV_COMPANION_JOB_BINDING: TRUE when HKLM\KV_COMPANION_APP_KEY "INSTALL_COUNT" reads
// into 4 bytes (a shorter value zero-extended) as non-zero, whatever its registry type.
// FALSE when it is missing, zero or longer than 4 bytes, and for every other kind.
BOOL WINAPI OsIsCompanionAppInstalled(DWORD kind, DRIVER_CONTEXT *ctx);

KV_END_DECLS
