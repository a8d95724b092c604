// Settings directories: where the shared and per-user settings live, creating the
// shared one with its owner and access-control list, and removing directory trees.
#include "files/settings_dirs.h"

#include "context.h"
#include "files/file_helpers.h"
#include "os/os.h"
#include "files/paths.h"
#include "os/driver_registry.h"

namespace {

DWORD Len(LPCWSTR s) { return s ? static_cast<DWORD>(lstrlenW(s)) : 0; }

// Copies n characters of src into buf when they fit with the terminator; the length,
// or 0 with buf "".
DWORD Put(LPWSTR buf, DWORD capacity, LPCWSTR src, DWORD n)
{
  if (!buf || capacity == 0) return 0;
  if (n == 0 || n + 1 > capacity) {
    buf[0] = 0;
    return 0;
  }
  for (DWORD i = 0; i < n; ++i) buf[i] = src[i];
  buf[n] = 0;
  return n;
}

// The system directory, or 0 when it cannot be read into MAX_PATH characters.
DWORD SystemDir(LPWSTR dir)
{
  UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  return (n == 0 || n >= MAX_PATH) ? 0 : n;
}

// The configured directory: the driver's registry value, read as capacity x 2 bytes; 0
// when the value is absent, empty, not text or leaves no room for its terminator.
DWORD ReadConfiguredValue(LPWSTR buf, DWORD capacity)
{
  DWORD chars = capacity < 0x8000 ? capacity : 0x8000;  // more than any registry text needs
  DWORD type = 0;
  if (!StoreReadDriverRegValueTyped(KV_SETTINGS_REG_VALUE, buf, chars * sizeof(WCHAR), &type)) return 0;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || buf[chars - 1] != 0) {
    buf[0] = 0;
    return 0;
  }
  if (type == REG_EXPAND_SZ) {
    // "%SystemDrive%\\..." and the like name the folder only once expanded.
    WCHAR expanded[MAX_PATH];
    DWORD need = ExpandEnvironmentStringsW(buf, expanded, MAX_PATH);
    if (need == 0 || need > MAX_PATH || need > capacity) return 0;
    for (DWORD i = 0; i < need; ++i) buf[i] = expanded[i];
  }
  return Len(buf);
}

}  // namespace

DWORD WINAPI PathGetDefaultSettingsDir(LPWSTR buf, DWORD capacity)
{
  if (!buf || capacity == 0) return 0;
  WCHAR sys[MAX_PATH];
  if (SystemDir(sys) < 3) {
    buf[0] = 0;
    return 0;
  }
  WCHAR root[4] = {sys[0], sys[1], sys[2], 0};
  if (!PathJoin(buf, capacity, root, 0, KV_SETTINGS_DIR_NAME)) return 0;
  return Len(buf);
}

DWORD WINAPI PathGetConfiguredSettingsDir(LPWSTR buf, DWORD capacity)
{
  if (!buf || capacity == 0) return 0;
  WCHAR sys[MAX_PATH];
  if (!SystemDir(sys)) {
    buf[0] = 0;
    return 0;
  }
  DWORD n = ReadConfiguredValue(buf, capacity);
  if (n > 0) return n;
  return PathGetDefaultSettingsDir(buf, capacity);
}

DWORD WINAPI PathGetSharedSettingsDir(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *)
{
  if (!buf || capacity == 0) return 0;
  if (OsIsNT5OrLater()) return PathGetConfiguredSettingsDir(buf, capacity);
  WCHAR sys[MAX_PATH];
  return Put(buf, capacity, sys, SystemDir(sys));
}

BOOL WINAPI OsGetUserProfileDir(LPWSTR buf, DWORD capacity)
{
  if (!buf || capacity == 0) return FALSE;
  HMODULE dll = LoadLibraryW(u"UserEnv.dll");
  if (!dll) return FALSE;
  BOOL ok = FALSE;
  typedef BOOL(WINAPI * ProfileFn)(HANDLE, LPWSTR, LPDWORD);
  ProfileFn fn = reinterpret_cast<ProfileFn>(GetProcAddress(dll, "GetUserProfileDirectoryW"));
  if (fn) {
    HANDLE token = nullptr;
    BOOL opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token);
    if (!opened && GetLastError() == ERROR_NO_TOKEN)
      opened = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    if (opened) {
      DWORD size = capacity;
      ok = fn(token, buf, &size);
      CloseHandle(token);
    }
  }
  FreeLibrary(dll);
  return ok;
}

DWORD WINAPI PathGetUserSettingsDirRaw(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *)
{
  if (!buf || capacity == 0) return 0;
  buf[0] = 0;
  WCHAR profile[MAX_PATH];
  if (!OsGetUserProfileDir(profile, MAX_PATH)) return 0;
  if (OsIsNT5OrLater()) {
    if (!PathJoin(buf, capacity, profile, u'\\', KV_SETTINGS_DIR_NAME)) return 0;
    return Len(buf);
  }
  // NT 4: a folder per user under the system directory.
  WCHAR sys[MAX_PATH];
  WCHAR dir[MAX_PATH];
  if (!SystemDir(sys) || !PathJoin(dir, MAX_PATH, sys, u'\\', u"tolve") ||
      !PathJoin(dir, MAX_PATH, dir, u'\\', KV_SETTINGS_DIR_NAME) ||
      !PathJoin(buf, capacity, dir, u'\\', PathFindFileName(profile))) {
    buf[0] = 0;
    return 0;
  }
  return Len(buf);
}

DWORD WINAPI PathGetUserSettingsDir(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *ctx)
{
  if (!buf || capacity == 0) return 0;
  if (ctx && ctx->state && PathIsDriveAbsolute(ctx->state->settingsIniPath)) {
    // The settings INI is named by an absolute path: its folder is the directory.
    LPCWSTR ini = ctx->state->settingsIniPath;
    DWORD n = Len(ini);
    while (n > 0 && ini[n - 1] != u'\\') --n;
    return n > 0 ? Put(buf, capacity, ini, n - 1) : Put(buf, capacity, ini, 0);
  }
  return PathGetUserSettingsDirRaw(buf, capacity, ctx);
}

BOOL WINAPI PathUsesUserSettingsDir(DRIVER_CONTEXT *ctx)
{
  if (!ctx || !ctx->state) return FALSE;
  if (ctx->state->createFlags & CTX_CREATE_SHARED_DIR) return FALSE;
  return OsIsTerminalServer(ctx->printer);
}

BOOL WINAPI PathSettingsKsrFileCore(LPWSTR dst, LPCWSTR src, DWORD capacity, DRIVER_CONTEXT *ctx)
{
  if (!dst || !src || !ctx || capacity == 0) return FALSE;
  WCHAR dir[MAX_PATH];
  DWORD n = PathUsesUserSettingsDir(ctx) ? PathGetUserSettingsDir(dir, MAX_PATH, ctx)
                                         : PathGetSharedSettingsDir(dir, MAX_PATH, ctx);
  if (n == 0) {
    dst[0] = 0;
    return FALSE;
  }
  WCHAR name[MAX_PATH];
  if (!PathReplaceExt(name, MAX_PATH, PathFindFileName(src), u"ksr") || !PathJoin(dst, capacity, dir, u'\\', name)) {
    dst[0] = 0;
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI PathGetListSettingsDir(LPWSTR buf, DWORD capacity, DRIVER_CONTEXT *ctx)
{
  return PathUsesUserSettingsDir(ctx) ? PathGetUserSettingsDir(buf, capacity, ctx)
                                      : PathGetSharedSettingsDir(buf, capacity, ctx);
}

BOOL WINAPI PathIsInListSettingsDir(LPCWSTR path, DRIVER_CONTEXT *ctx)
{
  if (!path || !ctx || !PathIsDriveAbsolute(path)) return FALSE;
  WCHAR dir[MAX_PATH], fullDir[MAX_PATH], full[MAX_PATH];
  if (PathGetListSettingsDir(dir, MAX_PATH, ctx) == 0) return FALSE;
  DWORD nd = GetFullPathNameW(dir, MAX_PATH, fullDir, nullptr);
  DWORD nf = GetFullPathNameW(path, MAX_PATH, full, nullptr);
  if (nd == 0 || nd >= MAX_PATH || nf == 0 || nf >= MAX_PATH) return FALSE;
  // A drive's root keeps its backslash; any other directory is compared without one.
  if (fullDir[nd - 1] == u'\\') fullDir[--nd] = 0;
  if (nf <= nd + 1 || full[nd] != u'\\') return FALSE;
  WCHAR saved = full[nd];
  full[nd] = 0;
  bool sameDir = lstrcmpiW(full, fullDir) == 0;
  full[nd] = saved;
  if (!sameDir) return FALSE;
  // The rest is one plain name: no deeper folder, no stream.
  for (const WCHAR *c = full + nd + 1; *c != 0; ++c)
    if (*c == u'\\' || *c == u'/' || *c == u':') return FALSE;
  return TRUE;
}

// ---------------------------------------------------------------- security descriptors

PSECURITY_DESCRIPTOR WINAPI OsBuildEveryoneSd(void)
{
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!AllocateAndInitializeSid(&world, 1, 0, 0, 0, 0, 0, 0, 0, 0, &everyone)) return nullptr;
  PSECURITY_DESCRIPTOR sd = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
  DWORD sidLen = GetLengthSid(everyone);
  DWORD aceSize = sizeof(ACE_HEADER) + sizeof(ACCESS_MASK) + sidLen;
  ACCESS_ALLOWED_ACE *ace = static_cast<ACCESS_ALLOWED_ACE *>(LocalAlloc(LPTR, aceSize));
  DWORD aclSize = aceSize + sizeof(ACL);
  PACL acl = static_cast<PACL>(LocalAlloc(LPTR, aclSize));
  bool ok = sd && ace && acl && InitializeSecurityDescriptor(sd, SECURITY_DESCRIPTOR_REVISION) &&
            InitializeAcl(acl, aclSize, ACL_REVISION);
  if (ok) {
    ace->Header.AceType = ACCESS_ALLOWED_ACE_TYPE;
    ace->Header.AceFlags = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
    ace->Header.AceSize = static_cast<WORD>(aceSize);
    ace->Mask = FILE_ALL_ACCESS;
    ok = CopySid(sidLen, &ace->SidStart, everyone) && AddAce(acl, ACL_REVISION, MAXDWORD, ace, aceSize) &&
         SetSecurityDescriptorDacl(sd, TRUE, acl, FALSE);
  }
  if (ace) LocalFree(ace);
  FreeSid(everyone);
  if (!ok) {
    if (acl) LocalFree(acl);
    if (sd) LocalFree(sd);
    return nullptr;
  }
  return sd;
}

void WINAPI OsFreeEveryoneSd(PSECURITY_DESCRIPTOR sd)
{
  if (!sd) return;
  BOOL present = FALSE, defaulted = FALSE;
  PACL acl = nullptr;
  if (GetSecurityDescriptorDacl(sd, &present, &acl, &defaulted) && present && !defaulted && acl) LocalFree(acl);
  LocalFree(sd);
}

PSECURITY_DESCRIPTOR WINAPI OsBuildAdminOwnerSd(void)
{
  PSECURITY_DESCRIPTOR sd = GlobalAlloc(GPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
  if (!sd) return nullptr;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!InitializeSecurityDescriptor(sd, SECURITY_DESCRIPTOR_REVISION) ||
      !AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &admins)) {
    GlobalFree(sd);
    return nullptr;
  }
  if (!SetSecurityDescriptorOwner(sd, admins, FALSE)) {
    FreeSid(admins);
    GlobalFree(sd);
    return nullptr;
  }
  return sd;
}

void WINAPI OsFreeAdminOwnerSd(PSECURITY_DESCRIPTOR sd)
{
  if (!sd) return;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (GetSecurityDescriptorOwner(sd, &owner, &defaulted) && owner && !defaulted) FreeSid(owner);
  GlobalFree(sd);
}

namespace {

// Calls visit(entry path, find data) for each entry of dir but "." and ".."; an entry whose
// path is too long to name is skipped. FALSE when the folder cannot be listed.
template <typename Visit>
BOOL ForEachEntry(LPCWSTR dir, Visit visit)
{
  WCHAR pattern[MAX_PATH];
  if (!PathJoin(pattern, MAX_PATH, dir, u'\\', u"*.*")) return FALSE;
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW(pattern, &fd);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  do {
    if (lstrcmpiW(fd.cFileName, u".") == 0 || lstrcmpiW(fd.cFileName, u"..") == 0) continue;
    WCHAR entry[MAX_PATH];
    if (!PathJoin(entry, MAX_PATH, dir, u'\\', fd.cFileName)) continue;
    visit(entry, fd);
  } while (FindNextFileW(find, &fd));
  FindClose(find);
  return TRUE;
}

// A directory link (junction or symbolic link): anyone may plant one in the shared folder,
// so tree walks never follow it.
bool IsDirectoryLink(const WIN32_FIND_DATAW &fd)
{
  return (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

BOOL WINAPI FileApplySdToTree(LPCWSTR dir, PSECURITY_DESCRIPTOR sd, DWORD flags, SECURITY_INFORMATION info)
{
  if (!dir || !sd) return FALSE;
  return ForEachEntry(dir, [&](LPCWSTR entry, const WIN32_FIND_DATAW &fd) {
    // A link of either kind is passed by: its target's rights and contents are not ours.
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (flags & 2) SetFileSecurityW(entry, info, sd);
      if (flags & 4) FileApplySdToTree(entry, sd, flags, info);
    } else {
      SetFileSecurityW(entry, info, sd);
    }
  });
}

namespace {

BOOL ApplyDescriptor(LPCWSTR path, DWORD flags, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR sd)
{
  SetFileSecurityW(path, info, sd);
  if (!(flags & 1)) FileApplySdToTree(path, sd, flags, info);
  return TRUE;
}

}  // namespace

BOOL WINAPI FileSetEveryoneAcl(LPCWSTR path, DWORD flags)
{
  if (!path) return FALSE;
  PSECURITY_DESCRIPTOR sd = OsBuildEveryoneSd();
  if (!sd) return FALSE;
  BOOL r = ApplyDescriptor(path, flags, DACL_SECURITY_INFORMATION, sd);
  OsFreeEveryoneSd(sd);
  return r;
}

BOOL WINAPI FileSetAdminOwner(LPCWSTR path, DWORD flags)
{
  if (!path) return FALSE;
  PSECURITY_DESCRIPTOR sd = OsBuildAdminOwnerSd();
  if (!sd) return FALSE;
  BOOL r = ApplyDescriptor(path, flags, OWNER_SECURITY_INFORMATION, sd);
  OsFreeAdminOwnerSd(sd);
  return r;
}

BOOL WINAPI FileCreateSettingsDir(HANDLE)
{
  WCHAR dir[MAX_PATH];
  if (!PathGetConfiguredSettingsDir(dir, MAX_PATH)) return FALSE;
  BOOL made = FileEnsureDir(dir);
  SetFileAttributesW(dir, FILE_ATTRIBUTE_HIDDEN);
  FileSetAdminOwner(dir, 1);
  FileSetEveryoneAcl(dir, 1);
  return made;
}

BOOL WINAPI FileCreateSettingsDirOf(DRIVER_CONTEXT *ctx) { return FileCreateSettingsDir(ctx ? ctx->printer : nullptr); }

BOOL WINAPI FileGrantSettingsDirAccess(HANDLE, HANDLE)
{
  WCHAR dir[MAX_PATH];
  if (!PathGetConfiguredSettingsDir(dir, MAX_PATH)) return FALSE;
  FileSetAdminOwner(dir, 0);
  return FileSetEveryoneAcl(dir, 0);
}

BOOL WINAPI FileRemoveTree(LPCWSTR dir)
{
  if (!dir) return FALSE;
  return ForEachEntry(dir, [](LPCWSTR entry, const WIN32_FIND_DATAW &fd) {
    if (IsDirectoryLink(fd)) {
      RemoveDirectoryW(entry);  // the link goes, never what it points at
    } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      FileRemoveTree(entry);
      RemoveDirectoryW(entry);
    } else {
      DeleteFileW(entry);
    }
  });
}

BOOL WINAPI FileRemoveDefaultSettingsDir(void *)
{
  WCHAR dir[MAX_PATH];
  if (!PathGetDefaultSettingsDir(dir, MAX_PATH)) return FALSE;
  if (!FileRemoveTree(dir)) return FALSE;
  return RemoveDirectoryW(dir);
}
