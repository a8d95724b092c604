// The administrator test (an access check reserved to BUILTIN\Administrators) and the
// terminal-server test (the package's probe DLL, or the version suite).
#include <cstring>

#include "os/os.h"
#include "files/paths.h"

namespace {

// Everything the access check allocates, freed on every path.
struct AdminCheckResources {
  HANDLE token = nullptr;
  PSID adminSid = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  PACL dacl = nullptr;
  bool impersonating = false;

  ~AdminCheckResources()
  {
    if (impersonating) RevertToSelf();
    if (dacl) LocalFree(dacl);
    if (sd) LocalFree(sd);
    if (adminSid) FreeSid(adminSid);
    if (token) CloseHandle(token);
  }
};

constexpr DWORD kAdminAccessRead = 1;
constexpr DWORD kAdminAccessWrite = 2;

}  // namespace

BOOL WINAPI OsCheckAdminAccess(void)
{
  AdminCheckResources r;
  if (!ImpersonateSelf(SecurityImpersonation)) return FALSE;
  r.impersonating = true;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &r.token)) {
    r.token = nullptr;
    if (GetLastError() != ERROR_NO_TOKEN) return FALSE;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &r.token)) {
      r.token = nullptr;
      return FALSE;
    }
  }
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &r.adminSid)) {
    r.adminSid = nullptr;
    return FALSE;
  }
  r.sd = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
  if (!r.sd || !InitializeSecurityDescriptor(r.sd, SECURITY_DESCRIPTOR_REVISION)) return FALSE;
  // ACL header plus one access-allowed ACE; the ACE's SidStart word overlaps the SID.
  DWORD aclSize = GetLengthSid(r.adminSid) + sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD);
  r.dacl = static_cast<PACL>(LocalAlloc(LPTR, aclSize));
  if (!r.dacl || !InitializeAcl(r.dacl, aclSize, ACL_REVISION)) return FALSE;
  if (!AddAccessAllowedAce(r.dacl, ACL_REVISION, kAdminAccessRead | kAdminAccessWrite, r.adminSid)) return FALSE;
  if (!SetSecurityDescriptorDacl(r.sd, TRUE, r.dacl, FALSE)) return FALSE;
  if (!SetSecurityDescriptorGroup(r.sd, r.adminSid, FALSE)) return FALSE;
  if (!SetSecurityDescriptorOwner(r.sd, r.adminSid, FALSE)) return FALSE;
  if (!IsValidSecurityDescriptor(r.sd)) return FALSE;

  GENERIC_MAPPING mapping = {kAdminAccessRead, kAdminAccessWrite, 0, kAdminAccessRead | kAdminAccessWrite};
  PRIVILEGE_SET privileges = {};
  DWORD privilegesSize = sizeof(privileges);
  DWORD granted = 0;
  BOOL status = FALSE;
  if (!AccessCheck(r.sd, r.token, kAdminAccessRead, &mapping, &privileges, &privilegesSize, &granted, &status)) {
    return FALSE;
  }
  return status ? TRUE : FALSE;
}

BOOL WINAPI OsIsAdministrator(DRIVER_CONTEXT *ctx)
{
  if (ctx && !OsCtxChecksAdmin(ctx)) return TRUE;
  return OsCheckAdminAccess();
}

BOOL WINAPI OsProbeTerminalServer(HANDLE hPrinter)
{
  if (OsIsNT52OrLater() && hPrinter) {
    // Ask the package's probe DLL in the printer's driver folder; a missing DLL or
    // export answers "no".
    LPWSTR path = static_cast<LPWSTR>(GlobalAlloc(GPTR, MAX_PATH * sizeof(WCHAR)));
    if (!path) return FALSE;
    BOOL answer = FALSE;
    if (OsGetDriverDir(hPrinter, path, MAX_PATH) && PathAppendName(path, MAX_PATH, KV_TS_PROBE_DLL)) {
      HMODULE dll = LoadLibraryW(path);
      if (dll) {
        typedef int(WINAPI * ProbeFn)(void);
        ProbeFn probe = reinterpret_cast<ProbeFn>(GetProcAddress(dll, KV_TS_PROBE_EXPORT));
        if (probe && probe() == 1) answer = TRUE;
        FreeLibrary(dll);
      }
    }
    GlobalFree(path);
    return answer;
  }
  OSVERSIONINFOEXW v;
  memset(&v, 0, sizeof(v));
  v.dwOSVersionInfoSize = sizeof(v);
  v.wSuiteMask = VER_SUITE_TERMINAL;
  ULONGLONG condition = VerSetConditionMask(0, VER_SUITENAME, VER_AND);
  return VerifyVersionInfoW(&v, VER_SUITENAME, condition) ? TRUE : FALSE;
}

BOOL WINAPI OsIsTerminalServerWithOptions(HANDLE hPrinter, DWORD buildOptions)
{
  if (buildOptions & KV_BUILD_OPTION_SHARED_SETTINGS) return FALSE;
  if (g_osVersionCache.terminalServerState == 0) {
    g_osVersionCache.terminalServerState = OsProbeTerminalServer(hPrinter) ? 1 : 2;
  }
  return g_osVersionCache.terminalServerState == 1;
}

BOOL WINAPI OsIsTerminalServer(HANDLE hPrinter) { return OsIsTerminalServerWithOptions(hPrinter, BUILD_OPTIONS); }
