// The registry: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, kept as one text file per
// hive under the machine root and shared by every process that uses the same root.
// Functions answer Win32 error codes (LONG) and leave the last error alone.
#pragma once
#include "win32/types.h"

// Predefined keys, with the handle values Windows gives them.
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)0x80000000UL)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)0x80000001UL)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002UL)
#define HKEY_USERS ((HKEY)(ULONG_PTR)0x80000003UL)
#define HKEY_PERFORMANCE_DATA ((HKEY)(ULONG_PTR)0x80000004UL)
#define HKEY_CURRENT_CONFIG ((HKEY)(ULONG_PTR)0x80000005UL)

typedef ACCESS_MASK REGSAM;

// Value types.
#define REG_NONE 0UL
#define REG_SZ 1UL
#define REG_EXPAND_SZ 2UL
#define REG_BINARY 3UL
#define REG_DWORD 4UL
#define REG_DWORD_LITTLE_ENDIAN 4UL
#define REG_DWORD_BIG_ENDIAN 5UL
#define REG_LINK 6UL
#define REG_MULTI_SZ 7UL
#define REG_RESOURCE_LIST 8UL
#define REG_QWORD 11UL
#define REG_QWORD_LITTLE_ENDIAN 11UL

// Key access rights.
#define KEY_QUERY_VALUE 0x0001UL
#define KEY_SET_VALUE 0x0002UL
#define KEY_CREATE_SUB_KEY 0x0004UL
#define KEY_ENUMERATE_SUB_KEYS 0x0008UL
#define KEY_NOTIFY 0x0010UL
#define KEY_CREATE_LINK 0x0020UL
#define KEY_WOW64_64KEY 0x0100UL
#define KEY_WOW64_32KEY 0x0200UL
#define KEY_READ 0x20019UL
#define KEY_EXECUTE 0x20019UL
#define KEY_WRITE 0x20006UL
#define KEY_ALL_ACCESS 0xF003FUL

// Options and dispositions of RegCreateKeyExW.
#define REG_OPTION_RESERVED 0x00000000UL
#define REG_OPTION_NON_VOLATILE 0x00000000UL
#define REG_OPTION_VOLATILE 0x00000001UL
#define REG_OPTION_CREATE_LINK 0x00000002UL
#define REG_OPTION_BACKUP_RESTORE 0x00000004UL
#define REG_OPTION_OPEN_LINK 0x00000008UL
#define REG_CREATED_NEW_KEY 0x00000001UL
#define REG_OPENED_EXISTING_KEY 0x00000002UL

#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif
#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif

KV_BEGIN_DECLS

LONG WINAPI RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult);
LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG WINAPI RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult);
LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition);
LONG WINAPI RegCloseKey(HKEY hKey);
LONG WINAPI RegFlushKey(HKEY hKey);

LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData);
LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE *lpData,
                           DWORD cbData);
LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);

LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
LONG WINAPI RegEnumKeyW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD cchName);
LONG WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LONG WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime);

KV_END_DECLS
