// The settings directories (shared, default, per-user), their creation with an owner
// and an access-control list, and the removal of a directory tree. Directories are
// answered without a trailing backslash; every resolver answers the length written,
// or 0 (buffer "") when the directory cannot be found or does not fit the capacity.
#pragma once
#include "win32.h"

struct DRIVER_CONTEXT;

#define KV_SETTINGS_DIR_NAME u"_kvml"
#define KV_SETTINGS_REG_KEY u"SOFTWARE\\TOLVE\\KvmlDrv"
#define KV_SETTINGS_REG_VALUE u"_KVMLDirectory"

KV_BEGIN_DECLS

DWORD WINAPI PathGetConfiguredSettingsDir(LPWSTR buf, DWORD capacity);
DWORD WINAPI PathGetDefaultSettingsDir(LPWSTR buf, DWORD capacity);
DWORD WINAPI PathGetSharedSettingsDir(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *ctx);
DWORD WINAPI PathGetUserSettingsDir(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *ctx);
DWORD WINAPI PathGetUserSettingsDirRaw(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *ctx);
BOOL WINAPI OsGetUserProfileDir(LPWSTR buf, DWORD capacity);
// TRUE when the context keeps its settings in the per-user directory: a terminal
// server for its printer and no CTX_CREATE_SHARED_DIR in its creation flags.
BOOL WINAPI PathUsesUserSettingsDir(DRIVER_CONTEXT *ctx);
// dst := settings directory + "\" + the source's file name with the extension "ksr".
BOOL WINAPI PathSettingsKsrFileCore(LPWSTR dst, LPCWSTR src, DWORD capacity, DRIVER_CONTEXT *ctx);

// Security descriptors of the shared settings directory.
PSECURITY_DESCRIPTOR WINAPI OsBuildEveryoneSd(void);
PSECURITY_DESCRIPTOR WINAPI OsBuildAdminOwnerSd(void);
void WINAPI OsFreeEveryoneSd(PSECURITY_DESCRIPTOR sd);
void WINAPI OsFreeAdminOwnerSd(PSECURITY_DESCRIPTOR sd);
// flags bit 0 clear: the entries below the path too (FileApplySdToTree with flags).
BOOL WINAPI FileSetEveryoneAcl(LPCWSTR path, DWORD flags);
BOOL WINAPI FileSetAdminOwner(LPCWSTR path, DWORD flags);
// Files directly in dir get the descriptor; directories only with flags bit 1, and are
// descended into only with flags bit 2. FALSE when dir cannot be listed.
BOOL WINAPI FileApplySdToTree(LPCWSTR dir, PSECURITY_DESCRIPTOR sd, DWORD flags, SECURITY_INFORMATION info);

BOOL WINAPI FileCreateSettingsDir(HANDLE hPrinter);
BOOL WINAPI FileCreateSettingsDirOf(DRIVER_CONTEXT *ctx);
BOOL WINAPI FileGrantSettingsDirAccess(HANDLE hPrinter, HANDLE hPrinter2);
// Empties dir (the directory itself stays); FALSE when it cannot be listed.
BOOL WINAPI FileRemoveTree(LPCWSTR dir);
BOOL WINAPI FileRemoveDefaultSettingsDir(void *unused);

KV_END_DECLS
