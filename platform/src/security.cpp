// Security: SIDs, ACLs, security descriptors, access tokens with impersonation,
// AccessCheck, and file security kept per Windows path.
//
// Structures may sit anywhere in caller memory, so their fields are read and written
// through byte accessors rather than through casts to possibly misaligned structs.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "internal.h"
#include "kvplat/os_control.h"

namespace {

// ---------------------------------------------------------------- byte access

WORD Rd16(const void *p, size_t off)
{
  WORD v;
  memcpy(&v, static_cast<const BYTE *>(p) + off, 2);
  return v;
}
DWORD Rd32(const void *p, size_t off)
{
  DWORD v;
  memcpy(&v, static_cast<const BYTE *>(p) + off, 4);
  return v;
}
void Wr16(void *p, size_t off, WORD v) { memcpy(static_cast<BYTE *>(p) + off, &v, 2); }
void Wr32(void *p, size_t off, DWORD v) { memcpy(static_cast<BYTE *>(p) + off, &v, 4); }
void *RdPtr(const void *p, size_t off)
{
  void *v;
  memcpy(&v, static_cast<const BYTE *>(p) + off, sizeof v);
  return v;
}
void WrPtr(void *p, size_t off, const void *v) { memcpy(static_cast<BYTE *>(p) + off, &v, sizeof v); }

DWORD Align4(DWORD n) { return (n + 3) & ~3u; }

// ---------------------------------------------------------------- SIDs

const BYTE *Bytes(const void *p) { return static_cast<const BYTE *>(p); }

bool SidValid(const void *sid)
{
  return sid && Bytes(sid)[0] == SID_REVISION && Bytes(sid)[1] <= SID_MAX_SUB_AUTHORITIES;
}
DWORD SidLen(const void *sid) { return 8 + 4u * Bytes(sid)[1]; }
std::string SidBytes(const void *sid) { return std::string(reinterpret_cast<const char *>(sid), SidLen(sid)); }

std::string MakeSid(BYTE authority, std::initializer_list<DWORD> subs)
{
  std::string s(8 + 4 * subs.size(), '\0');
  s[0] = SID_REVISION;
  s[1] = static_cast<char>(subs.size());
  s[7] = static_cast<char>(authority);
  size_t off = 8;
  for (DWORD v : subs) {
    memcpy(&s[off], &v, 4);
    off += 4;
  }
  return s;
}

// The machine's account domain, and the one user of the machine.
constexpr DWORD kDomain[3] = {2819465037u, 3946502153u, 1617300518u};
std::string UserSid() { return MakeSid(5, {21, kDomain[0], kDomain[1], kDomain[2], 1001}); }
std::string NoneGroupSid() { return MakeSid(5, {21, kDomain[0], kDomain[1], kDomain[2], DOMAIN_GROUP_RID_USERS}); }
std::string AdminsSid() { return MakeSid(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}); }
std::string SystemSid() { return MakeSid(5, {SECURITY_LOCAL_SYSTEM_RID}); }

// ---------------------------------------------------------------- ACLs
// ACL: AclRevision(0) Sbz1(1) AclSize(2) AceCount(4) Sbz2(6); ACE: type(0) flags(1) size(2).

bool AclRevisionOk(DWORD rev) { return rev >= MIN_ACL_REVISION && rev <= MAX_ACL_REVISION; }

// Checks the ACL and answers the offset just past its last ACE.
bool AclWalk(const void *acl, DWORD *freeOffset)
{
  if (!acl || !AclRevisionOk(Bytes(acl)[0])) return false;
  DWORD size = Rd16(acl, 2), count = Rd16(acl, 4);
  if (size < sizeof(ACL)) return false;
  DWORD off = sizeof(ACL);
  for (DWORD i = 0; i < count; ++i) {
    if (off + sizeof(ACE_HEADER) > size) return false;
    BYTE type = Bytes(acl)[off];
    DWORD aceSize = Rd16(acl, off + 2);
    if (aceSize < sizeof(ACE_HEADER) || (aceSize & 3) || off + aceSize > size) return false;
    if (type == ACCESS_ALLOWED_ACE_TYPE || type == ACCESS_DENIED_ACE_TYPE || type == SYSTEM_AUDIT_ACE_TYPE) {
      const BYTE *sid = Bytes(acl) + off + 8;
      if (aceSize < 16 || !SidValid(sid) || 8 + SidLen(sid) > aceSize) return false;
    }
    off += aceSize;
  }
  if (freeOffset) *freeOffset = off;
  return true;
}

// Offset of ACE number index (index == count gives the end of the ACEs).
DWORD AceOffset(const void *acl, DWORD index)
{
  DWORD off = sizeof(ACL);
  for (DWORD i = 0; i < index; ++i) off += Rd16(acl, off + 2);
  return off;
}

BOOL AddSidAce(PACL pAcl, DWORD rev, BYTE type, DWORD flags, DWORD mask, PSID pSid)
{
  DWORD freeOff;
  if (!AclWalk(pAcl, &freeOff)) {
    SetLastError(ERROR_INVALID_ACL);
    return FALSE;
  }
  if (!SidValid(pSid)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  if (!AclRevisionOk(rev)) {
    SetLastError(ERROR_REVISION_MISMATCH);
    return FALSE;
  }
  if (flags & ~static_cast<DWORD>(VALID_INHERIT_FLAGS)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return FALSE;
  }
  DWORD aceSize = 8 + SidLen(pSid);
  if (freeOff + aceSize > Rd16(pAcl, 2)) {
    SetLastError(ERROR_ALLOTTED_SPACE_EXCEEDED);
    return FALSE;
  }
  BYTE *ace = reinterpret_cast<BYTE *>(pAcl) + freeOff;
  ace[0] = type;
  ace[1] = static_cast<BYTE>(flags);
  Wr16(ace, 2, static_cast<WORD>(aceSize));
  Wr32(ace, 4, mask);
  memcpy(ace + 8, pSid, SidLen(pSid));
  Wr16(pAcl, 4, static_cast<WORD>(Rd16(pAcl, 4) + 1));
  if (Bytes(pAcl)[0] < rev) reinterpret_cast<BYTE *>(pAcl)[0] = static_cast<BYTE>(rev);
  return TRUE;
}

// ---------------------------------------------------------------- security descriptors
// Header: Revision(0) Sbz1(1) Control(2), then Owner(4) Group(8) Sacl(12) Dacl(16):
// pointers in the absolute form, offsets from the start in the self-relative form.

struct SdView {
  WORD control = 0;
  const void *owner = nullptr;
  const void *group = nullptr;
  const void *sacl = nullptr;
  const void *dacl = nullptr;
};

const void *SdPart(const void *sd, size_t field)
{
  if (Rd16(sd, 2) & SE_SELF_RELATIVE) {
    DWORD off = Rd32(sd, field);
    return off ? Bytes(sd) + off : nullptr;
  }
  return RdPtr(sd, field);
}

SdView View(const void *sd)
{
  SdView v;
  v.control = Rd16(sd, 2);
  v.owner = SdPart(sd, 4);
  v.group = SdPart(sd, 8);
  v.sacl = SdPart(sd, 12);
  v.dacl = SdPart(sd, 16);
  return v;
}

bool SdValid(const void *sd)
{
  if (!sd || Bytes(sd)[0] != SECURITY_DESCRIPTOR_REVISION) return false;
  SdView v = View(sd);
  if (v.owner && !SidValid(v.owner)) return false;
  if (v.group && !SidValid(v.group)) return false;
  if ((v.control & SE_DACL_PRESENT) && v.dacl && !AclWalk(v.dacl, nullptr)) return false;
  if ((v.control & SE_SACL_PRESENT) && v.sacl && !AclWalk(v.sacl, nullptr)) return false;
  return true;
}

// Checks that a descriptor may be changed in place: revision 1 and the absolute form.
bool SdWritable(PSECURITY_DESCRIPTOR sd)
{
  if (!sd || Bytes(sd)[0] != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_UNKNOWN_REVISION);
    return false;
  }
  if (Rd16(sd, 2) & SE_SELF_RELATIVE) {
    SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return false;
  }
  return true;
}

void SetControl(PSECURITY_DESCRIPTOR sd, WORD bit, bool on)
{
  WORD c = Rd16(sd, 2);
  Wr16(sd, 2, static_cast<WORD>(on ? (c | bit) : (c & ~bit)));
}

// Parts of a descriptor as owned bytes; builds the self-relative form.
struct SdParts {
  WORD control = 0;                      // SE_*_DEFAULTED, SE_*_PRESENT and protection bits
  std::string owner, group, sacl, dacl;  // empty: absent (or a NULL ACL when present)

  static SdParts From(const void *sd, SECURITY_INFORMATION info)
  {
    SdParts p;
    SdView v = View(sd);
    if ((info & OWNER_SECURITY_INFORMATION) && v.owner) {
      p.owner = SidBytes(v.owner);
      p.control |= v.control & SE_OWNER_DEFAULTED;
    }
    if ((info & GROUP_SECURITY_INFORMATION) && v.group) {
      p.group = SidBytes(v.group);
      p.control |= v.control & SE_GROUP_DEFAULTED;
    }
    if ((info & DACL_SECURITY_INFORMATION) && (v.control & SE_DACL_PRESENT)) {
      p.control |= v.control & (SE_DACL_PRESENT | SE_DACL_DEFAULTED | SE_DACL_PROTECTED);
      if (v.dacl) p.dacl.assign(reinterpret_cast<const char *>(v.dacl), Rd16(v.dacl, 2));
    }
    if ((info & SACL_SECURITY_INFORMATION) && (v.control & SE_SACL_PRESENT)) {
      p.control |= v.control & (SE_SACL_PRESENT | SE_SACL_DEFAULTED | SE_SACL_PROTECTED);
      if (v.sacl) p.sacl.assign(reinterpret_cast<const char *>(v.sacl), Rd16(v.sacl, 2));
    }
    return p;
  }

  std::string SelfRelative() const
  {
    std::string out(sizeof(SECURITY_DESCRIPTOR_RELATIVE), '\0');
    out[0] = SECURITY_DESCRIPTOR_REVISION;
    Wr16(out.data(), 2, static_cast<WORD>(control | SE_SELF_RELATIVE));
    auto put = [&out](const std::string &part, size_t field) {
      if (part.empty()) return;
      Wr32(out.data(), field, static_cast<DWORD>(out.size()));
      out += part;
      out.resize(Align4(static_cast<DWORD>(out.size())), '\0');
    };
    put(owner, 4);
    put(group, 8);
    put(sacl, 12);
    put(dacl, 16);
    return out;
  }
};

// ---------------------------------------------------------------- tokens

struct TokenGroup {
  std::string sid;
  DWORD attributes;
};

struct TokenData {
  TOKEN_TYPE type = TokenPrimary;
  SECURITY_IMPERSONATION_LEVEL level = SecurityAnonymous;
  std::string user;
  std::vector<TokenGroup> groups;
  std::string owner;  // default owner of new objects
  std::string primaryGroup;
};

struct TokenObject : plat::Object {
  TokenObject(std::shared_ptr<const TokenData> d, ACCESS_MASK a) : plat::Object(plat::OBJ_TOKEN), data(d), access(a) {}
  std::shared_ptr<const TokenData> data;
  ACCESS_MASK access;
};

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
const HANDLE kCurrentThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

std::atomic<int> g_admin{-1};  // -1: not read yet
thread_local std::shared_ptr<const TokenData> t_impersonation;

bool DefaultAdmin()
{
  const char *env = getenv("KVML_ADMIN");
  return !(env && env[0] == '0' && env[1] == '\0');
}

bool IsAdmin()
{
  int v = g_admin.load();
  if (v < 0) {
    v = DefaultAdmin() ? 1 : 0;
    g_admin.store(v);
  }
  return v != 0;
}

// The user's logon token as the administrator switch makes it now.
std::shared_ptr<TokenData> ProcessToken()
{
  auto t = std::make_shared<TokenData>();
  const DWORD on = SE_GROUP_MANDATORY | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_ENABLED;
  bool admin = IsAdmin();
  t->user = UserSid();
  t->primaryGroup = NoneGroupSid();
  t->groups.push_back({NoneGroupSid(), on});
  t->groups.push_back({MakeSid(1, {SECURITY_WORLD_RID}), on});
  if (admin) t->groups.push_back({AdminsSid(), on | SE_GROUP_OWNER});
  t->groups.push_back({MakeSid(5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}), on});
  t->groups.push_back({MakeSid(5, {SECURITY_INTERACTIVE_RID}), on});
  t->groups.push_back({MakeSid(5, {SECURITY_AUTHENTICATED_USER_RID}), on});
  t->groups.push_back({MakeSid(2, {SECURITY_LOCAL_RID}), on});
  t->groups.push_back({MakeSid(5, {5, 0, 0x3E7A1}), on | static_cast<DWORD>(SE_GROUP_LOGON_ID)});
  t->owner = admin ? AdminsSid() : t->user;
  return t;
}

// The token that acts for the calling thread: its impersonation token, else the process's.
std::shared_ptr<const TokenData> EffectiveToken()
{
  if (t_impersonation) return t_impersonation;
  return ProcessToken();
}

std::shared_ptr<TokenData> Impersonation(const TokenData &from, SECURITY_IMPERSONATION_LEVEL level)
{
  auto t = std::make_shared<TokenData>(from);
  t->type = TokenImpersonation;
  t->level = level;
  return t;
}

ACCESS_MASK MapTokenAccess(ACCESS_MASK a)
{
  if (a & MAXIMUM_ALLOWED) a |= TOKEN_ALL_ACCESS;
  if (a & GENERIC_READ) a |= TOKEN_READ;
  if (a & GENERIC_WRITE)
    a |= STANDARD_RIGHTS_WRITE | TOKEN_ADJUST_PRIVILEGES | TOKEN_ADJUST_GROUPS | TOKEN_ADJUST_DEFAULT;
  if (a & GENERIC_EXECUTE) a |= STANDARD_RIGHTS_EXECUTE | TOKEN_IMPERSONATE;
  if (a & GENERIC_ALL) a |= TOKEN_ALL_ACCESS;
  return a & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
}

BOOL NewTokenHandle(std::shared_ptr<const TokenData> data, ACCESS_MASK access, PHANDLE out)
{
  HANDLE h = plat::HandleAdd(std::make_shared<TokenObject>(std::move(data), access));
  if (!h) return FALSE;
  *out = h;
  return TRUE;
}

// Looks up a token handle that grants the needed rights.
std::shared_ptr<TokenObject> TokenFor(HANDLE h, ACCESS_MASK needed)
{
  auto tok = plat::HandleGetAs<TokenObject>(h, plat::OBJ_TOKEN);
  if (!tok) return nullptr;
  if ((tok->access & needed) != needed) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return tok;
}

// Whether the token counts the SID as its own: the user, or a group that is enabled
// (or, for deny entries, kept for deny only).
bool TokenHas(const TokenData &t, const void *sid, bool forDeny)
{
  std::string s = SidBytes(sid);
  if (s == t.user) return true;
  for (const TokenGroup &g : t.groups) {
    if (g.sid != s) continue;
    if ((g.attributes & SE_GROUP_ENABLED) || (forDeny && (g.attributes & SE_GROUP_USE_FOR_DENY_ONLY))) return true;
  }
  return false;
}

// Whether the token may name the SID as an owner.
bool TokenMayOwn(const TokenData &t, const std::string &sid)
{
  if (sid == t.user) return true;
  for (const TokenGroup &g : t.groups)
    if (g.sid == sid && (g.attributes & SE_GROUP_OWNER) && (g.attributes & SE_GROUP_ENABLED)) return true;
  return false;
}

ACCESS_MASK MapGeneric(ACCESS_MASK m, const GENERIC_MAPPING *gm)
{
  if (m & GENERIC_READ) m |= gm->GenericRead;
  if (m & GENERIC_WRITE) m |= gm->GenericWrite;
  if (m & GENERIC_EXECUTE) m |= gm->GenericExecute;
  if (m & GENERIC_ALL) m |= gm->GenericAll;
  return m & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
}

// ---------------------------------------------------------------- file security state

struct FileSecurity {
  bool hasOwner = false, hasGroup = false, hasDacl = false;
  SdParts parts;
};

struct FileCall {
  std::u16string path;
  SECURITY_INFORMATION info;
  std::string sd;  // self-relative
};

struct FoldLess {
  bool operator()(const std::u16string &a, const std::u16string &b) const
  {
    return plat::FoldCompare(a.data(), a.size(), b.data(), b.size()) < 0;
  }
};

std::mutex g_fileLock;
std::map<std::u16string, FileSecurity, FoldLess> &FileStates()
{
  static auto *m = new std::map<std::u16string, FileSecurity, FoldLess>();
  return *m;
}
std::vector<FileCall> &FileCalls()
{
  static auto *v = new std::vector<FileCall>();
  return *v;
}

void ResetSecurity()
{
  g_admin.store(DefaultAdmin() ? 1 : 0);
  t_impersonation.reset();
  std::lock_guard<std::mutex> g(g_fileLock);
  FileStates().clear();
  FileCalls().clear();
}

struct ResetRegistrar {
  ResetRegistrar() { plat::RegisterReset(ResetSecurity); }
} g_registrar;

// Resolves a file name to its full Windows path; the file or folder must exist.
bool ExistingFile(LPCWSTR name, std::u16string &full)
{
  std::string host;
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!plat::FullWinPath(name, full) || !plat::MapPath(full.c_str(), host)) return false;
  struct stat st;
  if (stat(host.c_str(), &st) == 0) return true;
  size_t slash = host.rfind('/');
  bool parentExists = slash != std::string::npos && stat(host.substr(0, slash).c_str(), &st) == 0;
  SetLastError(parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
  return false;
}

// What a file has before anyone set its security: owned by the user's default owner,
// full control for Administrators, SYSTEM and the user.
SdParts DefaultFileSecurity()
{
  auto tok = EffectiveToken();
  SdParts p;
  p.owner = tok->owner;
  p.group = tok->primaryGroup;
  std::string sids[3] = {AdminsSid(), SystemSid(), tok->user};
  DWORD size = sizeof(ACL);
  for (auto &s : sids) size += 8 + static_cast<DWORD>(s.size());
  p.dacl.assign(size, '\0');
  InitializeAcl(reinterpret_cast<PACL>(p.dacl.data()), size, ACL_REVISION);
  for (auto &s : sids)
    AddAccessAllowedAceEx(reinterpret_cast<PACL>(p.dacl.data()), ACL_REVISION,
                          OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS, s.data());
  p.control = SE_DACL_PRESENT;
  return p;
}

}  // namespace

// ---------------------------------------------------------------- controls

void PlatSetAdministrator(BOOL isAdministrator) { g_admin.store(isAdministrator ? 1 : 0); }
BOOL PlatIsAdministrator(void) { return IsAdmin() ? TRUE : FALSE; }

DWORD PlatFileSecurityCallCount(void)
{
  std::lock_guard<std::mutex> g(g_fileLock);
  return static_cast<DWORD>(FileCalls().size());
}

BOOL PlatFileSecurityGetCall(DWORD index, LPWSTR path, DWORD pathChars, SECURITY_INFORMATION *info,
                             PSECURITY_DESCRIPTOR sd, DWORD sdSize, LPDWORD sdNeeded)
{
  std::lock_guard<std::mutex> g(g_fileLock);
  if (index >= FileCalls().size()) {
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
  }
  const FileCall &c = FileCalls()[index];
  if (sdNeeded) *sdNeeded = static_cast<DWORD>(c.sd.size());
  if (info) *info = c.info;
  if ((path && pathChars < c.path.size() + 1) || (sd && sdSize < c.sd.size())) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  if (path) memcpy(path, c.path.c_str(), (c.path.size() + 1) * sizeof(WCHAR));
  if (sd) memcpy(sd, c.sd.data(), c.sd.size());
  return TRUE;
}

void PlatFileSecurityClearCalls(void)
{
  std::lock_guard<std::mutex> g(g_fileLock);
  FileCalls().clear();
}

// ---------------------------------------------------------------- SIDs

BOOL WINAPI AllocateAndInitializeSid(PSID_IDENTIFIER_AUTHORITY auth, BYTE count, DWORD s0, DWORD s1, DWORD s2, DWORD s3,
                                     DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID *pSid)
{
  if (!auth || !pSid) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (count > 8) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  BYTE *sid = static_cast<BYTE *>(LocalAlloc(LPTR, 8 + 4u * count));
  if (!sid) return FALSE;  // LocalAlloc set ERROR_NOT_ENOUGH_MEMORY
  const DWORD subs[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
  sid[0] = SID_REVISION;
  sid[1] = count;
  memcpy(sid + 2, auth->Value, 6);
  for (BYTE i = 0; i < count; ++i) Wr32(sid, 8 + 4u * i, subs[i]);
  *pSid = sid;
  return TRUE;
}

PVOID WINAPI FreeSid(PSID pSid) { return LocalFree(pSid); }

BOOL WINAPI InitializeSid(PSID Sid, PSID_IDENTIFIER_AUTHORITY auth, BYTE count)
{
  if (!Sid || !auth || count > SID_MAX_SUB_AUTHORITIES) {
    SetLastError(!Sid || !auth ? ERROR_INVALID_PARAMETER : ERROR_INVALID_SID);
    return FALSE;
  }
  BYTE *s = static_cast<BYTE *>(Sid);
  s[0] = SID_REVISION;
  s[1] = count;
  memcpy(s + 2, auth->Value, 6);
  return TRUE;
}

BOOL WINAPI IsValidSid(PSID pSid) { return SidValid(pSid) ? TRUE : FALSE; }

BOOL WINAPI EqualSid(PSID a, PSID b)
{
  if (!SidValid(a) || !SidValid(b)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return SidLen(a) == SidLen(b) && memcmp(a, b, SidLen(a)) == 0;
}

DWORD WINAPI GetLengthSid(PSID pSid) { return SidValid(pSid) ? SidLen(pSid) : 0; }

BOOL WINAPI CopySid(DWORD destLen, PSID dest, PSID src)
{
  if (!SidValid(src)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  if (!dest || destLen < SidLen(src)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(dest, src, SidLen(src));
  return TRUE;
}

PDWORD WINAPI GetSidSubAuthority(PSID pSid, DWORD n)
{
  SetLastError(ERROR_SUCCESS);
  if (!SidValid(pSid) || n >= Bytes(pSid)[1]) {
    SetLastError(ERROR_INVALID_SID);
    return NULL;
  }
  return reinterpret_cast<PDWORD>(static_cast<BYTE *>(pSid) + 8 + 4 * n);
}

PUCHAR WINAPI GetSidSubAuthorityCount(PSID pSid)
{
  SetLastError(ERROR_SUCCESS);
  if (!SidValid(pSid)) {
    SetLastError(ERROR_INVALID_SID);
    return NULL;
  }
  return static_cast<PUCHAR>(pSid) + 1;
}

PSID_IDENTIFIER_AUTHORITY WINAPI GetSidIdentifierAuthority(PSID pSid)
{
  SetLastError(ERROR_SUCCESS);
  if (!SidValid(pSid)) {
    SetLastError(ERROR_INVALID_SID);
    return NULL;
  }
  return reinterpret_cast<PSID_IDENTIFIER_AUTHORITY>(static_cast<BYTE *>(pSid) + 2);
}

// ---------------------------------------------------------------- ACLs

BOOL WINAPI InitializeAcl(PACL pAcl, DWORD nAclLength, DWORD dwAclRevision)
{
  if (!pAcl || !AclRevisionOk(dwAclRevision) || nAclLength > 0xFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (nAclLength < sizeof(ACL)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  BYTE *a = reinterpret_cast<BYTE *>(pAcl);
  a[0] = static_cast<BYTE>(dwAclRevision);
  a[1] = 0;
  Wr16(a, 2, static_cast<WORD>(nAclLength));
  Wr16(a, 4, 0);
  Wr16(a, 6, 0);
  return TRUE;
}

BOOL WINAPI IsValidAcl(PACL pAcl) { return AclWalk(pAcl, nullptr) ? TRUE : FALSE; }

BOOL WINAPI AddAccessAllowedAce(PACL pAcl, DWORD rev, DWORD mask, PSID pSid)
{
  return AddSidAce(pAcl, rev, ACCESS_ALLOWED_ACE_TYPE, 0, mask, pSid);
}

BOOL WINAPI AddAccessAllowedAceEx(PACL pAcl, DWORD rev, DWORD flags, DWORD mask, PSID pSid)
{
  return AddSidAce(pAcl, rev, ACCESS_ALLOWED_ACE_TYPE, flags, mask, pSid);
}

BOOL WINAPI AddAccessDeniedAce(PACL pAcl, DWORD rev, DWORD mask, PSID pSid)
{
  return AddSidAce(pAcl, rev, ACCESS_DENIED_ACE_TYPE, 0, mask, pSid);
}

BOOL WINAPI AddAce(PACL pAcl, DWORD rev, DWORD start, LPVOID list, DWORD listLength)
{
  DWORD freeOff;
  if (!AclWalk(pAcl, &freeOff)) {
    SetLastError(ERROR_INVALID_ACL);
    return FALSE;
  }
  if (!AclRevisionOk(rev)) {
    SetLastError(ERROR_REVISION_MISMATCH);
    return FALSE;
  }
  if (!list) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The list must be whole ACEs that fill it exactly.
  DWORD n = 0, off = 0;
  while (off < listLength) {
    if (off + sizeof(ACE_HEADER) > listLength) break;
    DWORD sz = Rd16(list, off + 2);
    if (sz < sizeof(ACE_HEADER) || off + sz > listLength) break;
    off += sz;
    ++n;
  }
  if (off != listLength) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (freeOff + listLength > Rd16(pAcl, 2)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  DWORD count = Rd16(pAcl, 4);
  DWORD at = AceOffset(pAcl, start < count ? start : count);
  BYTE *a = reinterpret_cast<BYTE *>(pAcl);
  memmove(a + at + listLength, a + at, freeOff - at);
  memcpy(a + at, list, listLength);
  Wr16(a, 4, static_cast<WORD>(count + n));
  if (a[0] < rev) a[0] = static_cast<BYTE>(rev);
  return TRUE;
}

BOOL WINAPI GetAce(PACL pAcl, DWORD index, LPVOID *pAce)
{
  if (!pAce || !AclWalk(pAcl, nullptr) || index >= Rd16(pAcl, 4)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *pAce = reinterpret_cast<BYTE *>(pAcl) + AceOffset(pAcl, index);
  return TRUE;
}

// ---------------------------------------------------------------- security descriptors

BOOL WINAPI InitializeSecurityDescriptor(PSECURITY_DESCRIPTOR sd, DWORD rev)
{
  if (!sd) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (rev != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_UNKNOWN_REVISION);
    return FALSE;
  }
  memset(sd, 0, sizeof(SECURITY_DESCRIPTOR));
  static_cast<BYTE *>(sd)[0] = SECURITY_DESCRIPTOR_REVISION;
  return TRUE;
}

BOOL WINAPI IsValidSecurityDescriptor(PSECURITY_DESCRIPTOR sd)
{
  if (!SdValid(sd)) {
    SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetSecurityDescriptorLength(PSECURITY_DESCRIPTOR sd)
{
  if (!sd) return 0;
  SdView v = View(sd);
  DWORD n = sizeof(SECURITY_DESCRIPTOR);
  if (v.owner) n += Align4(SidLen(v.owner));
  if (v.group) n += Align4(SidLen(v.group));
  if ((v.control & SE_SACL_PRESENT) && v.sacl) n += Align4(Rd16(v.sacl, 2));
  if ((v.control & SE_DACL_PRESENT) && v.dacl) n += Align4(Rd16(v.dacl, 2));
  return n;
}

BOOL WINAPI GetSecurityDescriptorControl(PSECURITY_DESCRIPTOR sd, PSECURITY_DESCRIPTOR_CONTROL pControl,
                                         LPDWORD lpdwRevision)
{
  if (!sd || !pControl || !lpdwRevision) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpdwRevision = Bytes(sd)[0];
  if (*lpdwRevision != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_UNKNOWN_REVISION);
    return FALSE;
  }
  *pControl = Rd16(sd, 2);
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, BOOL present, PACL dacl, BOOL defaulted)
{
  if (!SdWritable(sd)) return FALSE;
  if (!present) {
    SetControl(sd, SE_DACL_PRESENT, false);
    return TRUE;
  }
  WrPtr(sd, 16, dacl);
  SetControl(sd, SE_DACL_PRESENT, true);
  SetControl(sd, SE_DACL_DEFAULTED, defaulted != FALSE);
  return TRUE;
}

BOOL WINAPI GetSecurityDescriptorDacl(PSECURITY_DESCRIPTOR sd, LPBOOL present, PACL *dacl, LPBOOL defaulted)
{
  if (!sd || !present || !dacl || !defaulted) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Bytes(sd)[0] != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_UNKNOWN_REVISION);
    return FALSE;
  }
  SdView v = View(sd);
  *present = (v.control & SE_DACL_PRESENT) ? TRUE : FALSE;
  if (*present) {
    *dacl = static_cast<PACL>(const_cast<void *>(v.dacl));
    *defaulted = (v.control & SE_DACL_DEFAULTED) ? TRUE : FALSE;
  }
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID owner, BOOL defaulted)
{
  if (!SdWritable(sd)) return FALSE;
  WrPtr(sd, 4, owner);
  SetControl(sd, SE_OWNER_DEFAULTED, defaulted != FALSE);
  return TRUE;
}

BOOL WINAPI GetSecurityDescriptorOwner(PSECURITY_DESCRIPTOR sd, PSID *owner, LPBOOL defaulted)
{
  if (!sd || !owner || !defaulted) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Bytes(sd)[0] != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_UNKNOWN_REVISION);
    return FALSE;
  }
  SdView v = View(sd);
  *owner = const_cast<void *>(v.owner);
  *defaulted = (v.control & SE_OWNER_DEFAULTED) ? TRUE : FALSE;
  return TRUE;
}

BOOL WINAPI SetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID group, BOOL defaulted)
{
  if (!SdWritable(sd)) return FALSE;
  WrPtr(sd, 8, group);
  SetControl(sd, SE_GROUP_DEFAULTED, defaulted != FALSE);
  return TRUE;
}

BOOL WINAPI GetSecurityDescriptorGroup(PSECURITY_DESCRIPTOR sd, PSID *group, LPBOOL defaulted)
{
  if (!sd || !group || !defaulted) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Bytes(sd)[0] != SECURITY_DESCRIPTOR_REVISION) {
    SetLastError(ERROR_UNKNOWN_REVISION);
    return FALSE;
  }
  SdView v = View(sd);
  *group = const_cast<void *>(v.group);
  *defaulted = (v.control & SE_GROUP_DEFAULTED) ? TRUE : FALSE;
  return TRUE;
}

BOOL WINAPI MakeSelfRelativeSD(PSECURITY_DESCRIPTOR abs, PSECURITY_DESCRIPTOR rel, LPDWORD len)
{
  if (!abs || !len) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (Rd16(abs, 2) & SE_SELF_RELATIVE) {
    SetLastError(ERROR_BAD_DESCRIPTOR_FORMAT);
    return FALSE;
  }
  if (!SdValid(abs)) {
    SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return FALSE;
  }
  SdParts p = SdParts::From(abs, OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                     SACL_SECURITY_INFORMATION);
  p.control = Rd16(abs, 2);
  std::string out = p.SelfRelative();
  if (!rel || *len < out.size()) {
    *len = static_cast<DWORD>(out.size());
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(rel, out.data(), out.size());
  *len = static_cast<DWORD>(out.size());
  return TRUE;
}

// ---------------------------------------------------------------- tokens

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD access, PHANDLE out)
{
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The current process, or a process this one started: all run as the same user.
  if (process != kCurrentProcess && !plat::HandleGet(process, plat::OBJ_PROCESS)) return FALSE;
  return NewTokenHandle(ProcessToken(), MapTokenAccess(access), out);
}

BOOL WINAPI OpenThreadToken(HANDLE thread, DWORD access, BOOL openAsSelf, PHANDLE out)
{
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (thread != kCurrentThread) {
    // Threads of other processes are never impersonating here.
    if (!plat::HandleGet(thread, plat::OBJ_THREAD)) return FALSE;
    SetLastError(ERROR_NO_TOKEN);
    return FALSE;
  }
  if (!t_impersonation) {
    SetLastError(ERROR_NO_TOKEN);
    return FALSE;
  }
  if (t_impersonation->level == SecurityAnonymous) {
    SetLastError(ERROR_CANT_OPEN_ANONYMOUS);
    return FALSE;
  }
  return NewTokenHandle(t_impersonation, MapTokenAccess(access), out);
}

BOOL WINAPI ImpersonateSelf(SECURITY_IMPERSONATION_LEVEL level)
{
  if (level < SecurityAnonymous || level > SecurityDelegation) {
    SetLastError(ERROR_BAD_IMPERSONATION_LEVEL);
    return FALSE;
  }
  t_impersonation = Impersonation(*ProcessToken(), level);
  return TRUE;
}

BOOL WINAPI RevertToSelf(void)
{
  t_impersonation.reset();
  return TRUE;
}

BOOL WINAPI SetThreadToken(PHANDLE thread, HANDLE token)
{
  if (thread && *thread != kCurrentThread) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!token) {
    t_impersonation.reset();
    return TRUE;
  }
  auto tok = TokenFor(token, TOKEN_IMPERSONATE);
  if (!tok) return FALSE;
  if (tok->data->type != TokenImpersonation) {
    SetLastError(ERROR_BAD_TOKEN_TYPE);
    return FALSE;
  }
  t_impersonation = tok->data;
  return TRUE;
}

BOOL WINAPI DuplicateToken(HANDLE existing, SECURITY_IMPERSONATION_LEVEL level, PHANDLE out)
{
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (level < SecurityAnonymous || level > SecurityDelegation) {
    SetLastError(ERROR_BAD_IMPERSONATION_LEVEL);
    return FALSE;
  }
  auto tok = TokenFor(existing, TOKEN_DUPLICATE);
  if (!tok) return FALSE;
  if (tok->data->type == TokenImpersonation && tok->data->level < level) {
    SetLastError(ERROR_BAD_IMPERSONATION_LEVEL);
    return FALSE;
  }
  return NewTokenHandle(Impersonation(*tok->data, level), TOKEN_IMPERSONATE | TOKEN_QUERY, out);
}

BOOL WINAPI GetTokenInformation(HANDLE h, TOKEN_INFORMATION_CLASS cls, LPVOID buf, DWORD len, PDWORD retLen)
{
  if (!retLen) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto tok = TokenFor(h, TOKEN_QUERY);
  if (!tok) return FALSE;
  const TokenData &t = *tok->data;
  if (buf && (reinterpret_cast<uintptr_t>(buf) & 3)) {
    SetLastError(ERROR_NOACCESS);  // the structures need DWORD alignment
    return FALSE;
  }
  // Lay the answer out in a local buffer: fixed part first, SIDs after it.
  std::vector<BYTE> out;
  std::vector<std::pair<size_t, std::string>> sids;  // pointer slot, SID bytes
  switch (cls) {
    case TokenUser:
      out.resize(sizeof(TOKEN_USER));
      sids.push_back({0, t.user});
      break;
    case TokenGroups:
      out.resize(4 + sizeof(SID_AND_ATTRIBUTES) * t.groups.size());
      Wr32(out.data(), 0, static_cast<DWORD>(t.groups.size()));
      for (size_t i = 0; i < t.groups.size(); ++i) {
        Wr32(out.data(), 4 + 8 * i + 4, t.groups[i].attributes);
        sids.push_back({4 + 8 * i, t.groups[i].sid});
      }
      break;
    case TokenOwner:
      out.resize(sizeof(TOKEN_OWNER));
      sids.push_back({0, t.owner});
      break;
    case TokenPrimaryGroup:
      out.resize(sizeof(TOKEN_PRIMARY_GROUP));
      sids.push_back({0, t.primaryGroup});
      break;
    case TokenType:
      out.resize(4);
      Wr32(out.data(), 0, t.type);
      break;
    case TokenImpersonationLevel:
      if (t.type != TokenImpersonation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
      }
      out.resize(4);
      Wr32(out.data(), 0, t.level);
      break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
  }
  size_t need = out.size();
  for (auto &s : sids) need += s.second.size();
  *retLen = static_cast<DWORD>(need);
  if (!buf || len < need) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  BYTE *b = static_cast<BYTE *>(buf);
  size_t off = out.size();
  memcpy(b, out.data(), out.size());
  for (auto &s : sids) {
    memcpy(b + off, s.second.data(), s.second.size());
    WrPtr(b, s.first, b + off);
    off += s.second.size();
  }
  return TRUE;
}

BOOL WINAPI CheckTokenMembership(HANDLE token, PSID sid, PBOOL isMember)
{
  if (!isMember) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!SidValid(sid)) {
    SetLastError(ERROR_INVALID_SID);
    return FALSE;
  }
  std::shared_ptr<const TokenData> data;
  if (token) {
    auto tok = TokenFor(token, TOKEN_QUERY);
    if (!tok) return FALSE;
    if (tok->data->type != TokenImpersonation) {
      SetLastError(ERROR_NO_IMPERSONATION_TOKEN);
      return FALSE;
    }
    data = tok->data;
  } else {
    data = EffectiveToken();
  }
  *isMember = TokenHas(*data, sid, false) ? TRUE : FALSE;
  return TRUE;
}

// ---------------------------------------------------------------- access checks

void WINAPI MapGenericMask(PDWORD mask, PGENERIC_MAPPING gm)
{
  if (mask && gm) *mask = MapGeneric(*mask, gm);
}

BOOL WINAPI AccessCheck(PSECURITY_DESCRIPTOR sd, HANDLE clientToken, DWORD desired, PGENERIC_MAPPING gm,
                        PPRIVILEGE_SET privs, LPDWORD privsLen, LPDWORD granted, LPBOOL status)
{
  if (!sd || !gm || !privsLen || !granted || !status) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto tok = TokenFor(clientToken, TOKEN_QUERY);
  if (!tok) return FALSE;
  const TokenData &t = *tok->data;
  if (t.type != TokenImpersonation) {
    SetLastError(ERROR_NO_IMPERSONATION_TOKEN);
    return FALSE;
  }
  if (t.level < SecurityIdentification) {
    SetLastError(ERROR_BAD_IMPERSONATION_LEVEL);
    return FALSE;
  }
  // The descriptor must be valid and name an owner and a group.
  if (!SdValid(sd) || !View(sd).owner || !View(sd).group) {
    SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return FALSE;
  }
  if (desired & (GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL)) {
    SetLastError(ERROR_GENERIC_NOT_MAPPED);
    return FALSE;
  }
  if (!privs || *privsLen < sizeof(PRIVILEGE_SET)) {
    *privsLen = sizeof(PRIVILEGE_SET);
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  Wr32(privs, 0, 0);  // no privilege was used
  Wr32(privs, 4, 0);

  const bool maximum = (desired & MAXIMUM_ALLOWED) != 0;
  const ACCESS_MASK want = desired & ~MAXIMUM_ALLOWED;
  const ACCESS_MASK everything = STANDARD_RIGHTS_ALL | MapGeneric(GENERIC_ALL, gm);
  if (want & ACCESS_SYSTEM_SECURITY) {
    *granted = 0;
    *status = FALSE;
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return TRUE;
  }

  SdView v = View(sd);
  ACCESS_MASK allow = 0, deny = 0;
  if (TokenHas(t, v.owner, false)) allow |= READ_CONTROL | WRITE_DAC;  // the owner's implicit rights
  if (!(v.control & SE_DACL_PRESENT) || !v.dacl) {
    allow = everything;  // no DACL: everyone may do everything
  } else {
    DWORD count = Rd16(v.dacl, 4), off = sizeof(ACL);
    for (DWORD i = 0; i < count; ++i) {
      const BYTE *ace = Bytes(v.dacl) + off;
      off += Rd16(ace, 2);
      if (ace[1] & INHERIT_ONLY_ACE) continue;
      ACCESS_MASK mask = MapGeneric(Rd32(ace, 4), gm);
      if (ace[0] == ACCESS_ALLOWED_ACE_TYPE && TokenHas(t, ace + 8, false))
        allow |= mask & ~deny;
      else if (ace[0] == ACCESS_DENIED_ACE_TYPE && TokenHas(t, ace + 8, true))
        deny |= mask & ~allow;
      if (!maximum && (allow & want) == want) break;
    }
  }
  bool ok = (allow & want) == want && (maximum ? allow != 0 : want != 0);
  *granted = ok ? (maximum ? allow : want) : 0;
  *status = ok ? TRUE : FALSE;
  if (!ok) SetLastError(ERROR_ACCESS_DENIED);
  return TRUE;
}

// ---------------------------------------------------------------- file security

BOOL WINAPI SetFileSecurityW(LPCWSTR lpFileName, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR sd)
{
  std::u16string full;
  if (!sd) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ExistingFile(lpFileName, full)) return FALSE;
  if (!SdValid(sd)) {
    SetLastError(ERROR_INVALID_SECURITY_DESCR);
    return FALSE;
  }
  if (info & SACL_SECURITY_INFORMATION) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
  }
  SdView v = View(sd);
  if (info & OWNER_SECURITY_INFORMATION) {
    // Only the user, or a group the token may use as owner, can become the owner.
    if (!v.owner || !TokenMayOwn(*EffectiveToken(), SidBytes(v.owner))) {
      SetLastError(ERROR_INVALID_OWNER);
      return FALSE;
    }
  }
  if ((info & GROUP_SECURITY_INFORMATION) && !v.group) {
    SetLastError(ERROR_INVALID_PRIMARY_GROUP);
    return FALSE;
  }
  SdParts parts = SdParts::From(sd, info);
  if (info & DACL_SECURITY_INFORMATION) parts.control |= SE_DACL_PRESENT;  // an absent DACL sets a NULL one
  std::lock_guard<std::mutex> g(g_fileLock);
  FileSecurity &fs = FileStates()[full];
  if (info & OWNER_SECURITY_INFORMATION) {
    fs.hasOwner = true;
    fs.parts.owner = parts.owner;
  }
  if (info & GROUP_SECURITY_INFORMATION) {
    fs.hasGroup = true;
    fs.parts.group = parts.group;
  }
  if (info & DACL_SECURITY_INFORMATION) {
    fs.hasDacl = true;
    fs.parts.dacl = parts.dacl;
    fs.parts.control = static_cast<WORD>((fs.parts.control & ~(SE_DACL_DEFAULTED | SE_DACL_PROTECTED)) |
                                         (parts.control & (SE_DACL_DEFAULTED | SE_DACL_PROTECTED)) | SE_DACL_PRESENT);
  }
  FileCalls().push_back({full, info, parts.SelfRelative()});
  return TRUE;
}

BOOL WINAPI GetFileSecurityW(LPCWSTR lpFileName, SECURITY_INFORMATION info, PSECURITY_DESCRIPTOR sd, DWORD nLength,
                             LPDWORD needed)
{
  std::u16string full;
  if (!needed) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ExistingFile(lpFileName, full)) return FALSE;
  if (info & SACL_SECURITY_INFORMATION) {
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
  }
  SdParts def = DefaultFileSecurity();
  SdParts cur = def;
  {
    std::lock_guard<std::mutex> g(g_fileLock);
    auto it = FileStates().find(full);
    if (it != FileStates().end()) {
      const FileSecurity &fs = it->second;
      if (fs.hasOwner) cur.owner = fs.parts.owner;
      if (fs.hasGroup) cur.group = fs.parts.group;
      if (fs.hasDacl) {
        cur.dacl = fs.parts.dacl;
        cur.control = fs.parts.control;
      }
    }
  }
  SdParts out;
  if (info & OWNER_SECURITY_INFORMATION) out.owner = cur.owner;
  if (info & GROUP_SECURITY_INFORMATION) out.group = cur.group;
  if (info & DACL_SECURITY_INFORMATION) {
    out.dacl = cur.dacl;
    out.control |= cur.control & (SE_DACL_PRESENT | SE_DACL_DEFAULTED | SE_DACL_PROTECTED);
  }
  std::string rel = out.SelfRelative();
  *needed = static_cast<DWORD>(rel.size());
  if (!sd || nLength < rel.size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(sd, rel.data(), rel.size());
  return TRUE;
}
