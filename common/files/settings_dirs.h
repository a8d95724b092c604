// The settings directories (shared, default, per-user), their creation with an owner
// and an access-control list, and the removal of a directory tree. Directories are
// answered without a trailing backslash; every resolver answers the length written,
// or 0 (buffer "") when the directory cannot be found or does not fit the capacity.
#pragma once
#include "win32.h"

struct DRIVER_CONTEXT;

#define KV_SETTINGS_DIR_NAME u"_kvml"
#define KV_SETTINGS_REG_VALUE u"_KVMLDirectory"

KV_BEGIN_DECLS

// The shared settings directory as configured in HKLM (the driver's key KV_DRIVER_REG_KEY, value
// KV_SETTINGS_REG_VALUE, expanded when REG_EXPAND_SZ), else PathGetDefaultSettingsDir.
DWORD WINAPI PathGetConfiguredSettingsDir(LPWSTR buf, DWORD capacity);
// The system drive's root + KV_SETTINGS_DIR_NAME ("C:\_kvml").
DWORD WINAPI PathGetDefaultSettingsDir(LPWSTR buf, DWORD capacity);
// The shared settings directory: the configured one from NT 5 on, the system directory
// before; the context is not used.
DWORD WINAPI PathGetSharedSettingsDir(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *ctx);
// The per-user settings directory: the folder of the context's settings INI when that is
// named by a drive-absolute path, else PathGetUserSettingsDirRaw.
DWORD WINAPI PathGetUserSettingsDir(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *ctx);
// The calling user's settings directory: the profile folder + KV_SETTINGS_DIR_NAME from
// NT 5 on, the system directory + "\tolve\_kvml\" + the profile's name before; the
// context is not used.
DWORD WINAPI PathGetUserSettingsDirRaw(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *ctx);
// The calling thread's (else the process's) user profile folder through UserEnv.dll;
// FALSE when the DLL, its export or the token is missing or the folder does not fit.
BOOL WINAPI OsGetUserProfileDir(LPWSTR buf, DWORD capacity);
// TRUE when the context keeps its settings in the per-user directory: a terminal
// server for its printer and no CTX_CREATE_SHARED_DIR in its creation flags.
BOOL WINAPI PathUsesUserSettingsDir(DRIVER_CONTEXT *ctx);
// The settings directory of the context's stored files (user presets, converted copies):
// the per-user one when PathUsesUserSettingsDir, else the shared one.
DWORD WINAPI PathGetListSettingsDir(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *ctx);
// TRUE when path is drive-absolute and, with "." and ".." taken out and case ignored, names
// an entry directly inside PathGetListSettingsDir: the only place where the stored lists
// keep files of their own. FALSE for anything else, and when either path does not fit
// MAX_PATH characters or the directory is unknown.
BOOL WINAPI PathIsInListSettingsDir(LPCWSTR path, DRIVER_CONTEXT *ctx);
// dst := settings directory + "\" + the source's file name with the extension "ksr".
BOOL WINAPI PathSettingsKsrFileCore(LPWSTR dst, LPCWSTR src, DWORD capacity, DRIVER_CONTEXT *ctx);

// Security descriptors of the shared settings directory.
// A new descriptor whose DACL grants Everyone full access, inherited by files and folders;
// free it with OsFreeEveryoneSd. NULL when it cannot be built.
PSECURITY_DESCRIPTOR WINAPI OsBuildEveryoneSd(void);
// A new descriptor whose owner is BUILTIN\Administrators; free it with OsFreeAdminOwnerSd.
// NULL when it cannot be built.
PSECURITY_DESCRIPTOR WINAPI OsBuildAdminOwnerSd(void);
// Frees a descriptor of OsBuildEveryoneSd with its DACL; NULL is ignored.
void WINAPI OsFreeEveryoneSd(PSECURITY_DESCRIPTOR sd);
// Frees a descriptor of OsBuildAdminOwnerSd with its owner SID; NULL is ignored.
void WINAPI OsFreeAdminOwnerSd(PSECURITY_DESCRIPTOR sd);
// flags bit 0 clear: the entries below the path too (FileApplySdToTree with flags).
BOOL WINAPI FileSetEveryoneAcl(LPCWSTR path, DWORD flags);
// Makes BUILTIN\Administrators the owner of path, and with flags bit 0 clear of the entries
// below it (as FileSetEveryoneAcl). FALSE for a NULL path or when the descriptor cannot be
// built; failures on single entries are not reported.
BOOL WINAPI FileSetAdminOwner(LPCWSTR path, DWORD flags);
// Files directly in dir get the descriptor; directories only with flags bit 1, and are
// descended into only with flags bit 2. FALSE when dir cannot be listed.
BOOL WINAPI FileApplySdToTree(LPCWSTR dir, PSECURITY_DESCRIPTOR sd, DWORD flags, SECURITY_INFORMATION info);

// Creates the configured settings directory (hidden, owned by the administrators, open to
// everyone); TRUE when it exists afterwards. The printer is not used.
BOOL WINAPI FileCreateSettingsDir(HANDLE hPrinter);
// FileCreateSettingsDir for the context's printer.
BOOL WINAPI FileCreateSettingsDirOf(DRIVER_CONTEXT *ctx);
// Gives the configured settings directory and everything below it the administrators as
// owner and Everyone full access; FALSE when the directory is unknown or the DACL could not
// be applied to it. The printers are not used.
BOOL WINAPI FileGrantSettingsDirAccess(HANDLE hPrinter, HANDLE hPrinter2);
// Empties dir (the directory itself stays); FALSE when it cannot be listed.
BOOL WINAPI FileRemoveTree(LPCWSTR dir);
// Empties and removes the default settings directory; FALSE when it is unknown, cannot be
// listed or is not removed. The argument is not used.
BOOL WINAPI FileRemoveDefaultSettingsDir(void *unused);

KV_END_DECLS
