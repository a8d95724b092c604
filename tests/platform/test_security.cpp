// Security: SIDs, ACLs, descriptors, tokens, AccessCheck with the administrator
// switch, and SetFileSecurityW with its record.
#include <string.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "kvplat/os_control.h"
#include "machine_fixture.h"

namespace {

const HANDLE kProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
const HANDLE kThread = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

// A SID in a local buffer.
struct Sid {
  alignas(4) BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
  Sid(BYTE authority, std::initializer_list<DWORD> subs)
  {
    SID_IDENTIFIER_AUTHORITY a = {{0, 0, 0, 0, 0, authority}};
    EXPECT_TRUE(InitializeSid(bytes, &a, static_cast<BYTE>(subs.size())));
    DWORD i = 0;
    for (DWORD v : subs) *GetSidSubAuthority(bytes, i++) = v;
  }
  PSID get() { return bytes; }
};

Sid Admins() { return Sid(5, {32, 544}); }
Sid Everyone() { return Sid(1, {0}); }

// An absolute descriptor with its parts in one object.
struct Descriptor {
  SECURITY_DESCRIPTOR sd;
  alignas(4) BYTE acl[256];
  Sid owner = Admins();
  Sid group = Admins();
  Descriptor()
  {
    EXPECT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
    EXPECT_TRUE(InitializeAcl(Acl(), sizeof acl, ACL_REVISION));
    EXPECT_TRUE(SetSecurityDescriptorOwner(&sd, owner.get(), FALSE));
    EXPECT_TRUE(SetSecurityDescriptorGroup(&sd, group.get(), FALSE));
    EXPECT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, Acl(), FALSE));
  }
  PACL Acl() { return reinterpret_cast<PACL>(acl); }
};

class SecurityTest : public MachineTest {
 protected:
  void TearDown() override
  {
    RevertToSelf();
    MachineTest::TearDown();
  }

  HANDLE ImpersonationToken(DWORD access = TOKEN_QUERY)
  {
    EXPECT_TRUE(ImpersonateSelf(SecurityImpersonation));
    HANDLE tok = NULL;
    EXPECT_TRUE(OpenThreadToken(kThread, access, FALSE, &tok));
    RevertToSelf();
    return tok;
  }

  // AccessCheck of one descriptor for the current user; answers the access status.
  BOOL Check(PSECURITY_DESCRIPTOR sd, DWORD desired, DWORD *grantedOut = nullptr)
  {
    HANDLE tok = ImpersonationToken();
    GENERIC_MAPPING gm = {1, 2, 0, 3};
    PRIVILEGE_SET ps;
    DWORD psLen = sizeof ps, granted = 0xDEAD;
    BOOL status = 0xDEAD;
    EXPECT_TRUE(AccessCheck(sd, tok, desired, &gm, &ps, &psLen, &granted, &status));
    EXPECT_TRUE(status == TRUE || status == FALSE);
    if (!status) {
      EXPECT_EQ(granted, 0u);
      EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    }
    CloseHandle(tok);
    if (grantedOut) *grantedOut = granted;
    return status;
  }
};

// The administrator test a driver runs: impersonate itself, take the thread token (or
// the process token), and check a descriptor that grants access to Administrators only.
BOOL DriverAdminCheck()
{
  BOOL status = FALSE;
  ImpersonateSelf(SecurityImpersonation);
  HANDLE tok = NULL;
  if (!OpenThreadToken(kThread, TOKEN_QUERY, FALSE, &tok)) {
    if (GetLastError() != ERROR_NO_TOKEN || !OpenProcessToken(kProcess, TOKEN_QUERY, &tok)) tok = NULL;
  }
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = NULL;
  PSECURITY_DESCRIPTOR sd = NULL;
  PACL acl = NULL;
  if (tok && AllocateAndInitializeSid(&nt, 2, 32, 544, 0, 0, 0, 0, 0, 0, &admins)) {
    sd = LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH);
    DWORD aclLen = GetLengthSid(admins) + 16;
    acl = static_cast<PACL>(LocalAlloc(LPTR, aclLen));
    if (sd && acl && InitializeSecurityDescriptor(sd, SECURITY_DESCRIPTOR_REVISION) &&
        InitializeAcl(acl, aclLen, ACL_REVISION) && AddAccessAllowedAce(acl, ACL_REVISION, 3, admins) &&
        SetSecurityDescriptorDacl(sd, TRUE, acl, FALSE) && SetSecurityDescriptorGroup(sd, admins, FALSE) &&
        SetSecurityDescriptorOwner(sd, admins, FALSE) && IsValidSecurityDescriptor(sd)) {
      GENERIC_MAPPING gm = {1, 2, 0, 3};
      BYTE ps[20];
      DWORD psLen = sizeof ps, granted = 0;
      if (!AccessCheck(sd, tok, 1, &gm, reinterpret_cast<PPRIVILEGE_SET>(ps), &psLen, &granted, &status))
        status = FALSE;
    }
  }
  RevertToSelf();
  if (acl) LocalFree(acl);
  if (sd) LocalFree(sd);
  if (admins) FreeSid(admins);
  if (tok) CloseHandle(tok);
  return status;
}

}  // namespace

// ---------------------------------------------------------------- SIDs

TEST_F(SecurityTest, AllocatedSidHasTheWindowsLayout)
{
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = NULL;
  ASSERT_TRUE(
      AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 9, 9, 9, 9, 9, 9, &sid));
  const BYTE expected[16] = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 0x02, 0, 0};
  EXPECT_EQ(memcmp(sid, expected, 16), 0);
  EXPECT_EQ(GetLengthSid(sid), 16u);
  EXPECT_TRUE(IsValidSid(sid));
  EXPECT_EQ(*GetSidSubAuthorityCount(sid), 2);
  EXPECT_EQ(*GetSidSubAuthority(sid, 1), 544u);
  EXPECT_EQ(GetSidIdentifierAuthority(sid)->Value[5], 5);
  EXPECT_EQ(GetSidSubAuthority(sid, 2), nullptr);

  Sid same = Admins(), world = Everyone();
  EXPECT_TRUE(EqualSid(sid, same.get()));
  EXPECT_FALSE(EqualSid(sid, world.get()));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(GetLengthSid(world.get()), 12u);

  BYTE copy[16];
  EXPECT_FALSE(CopySid(15, copy, sid));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(CopySid(16, copy, sid));
  EXPECT_TRUE(EqualSid(copy, sid));
  EXPECT_EQ(FreeSid(sid), nullptr);
}

TEST_F(SecurityTest, SidFailures)
{
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = NULL;
  SetLastError(0);
  EXPECT_FALSE(AllocateAndInitializeSid(&nt, 9, 0, 0, 0, 0, 0, 0, 0, 0, &sid));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SID);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_FALSE(AllocateAndInitializeSid(&nt, 1, 0, 0, 0, 0, 0, 0, 0, 0, &sid));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(sid, nullptr);

  BYTE bad[12] = {2, 1, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0};  // revision 2
  EXPECT_FALSE(IsValidSid(bad));
  bad[0] = 1;
  bad[1] = 16;  // more than 15 sub-authorities
  EXPECT_FALSE(IsValidSid(bad));
  EXPECT_FALSE(IsValidSid(nullptr));
  Sid world = Everyone();
  EXPECT_FALSE(EqualSid(bad, world.get()));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SID);
}

// ---------------------------------------------------------------- ACLs

TEST_F(SecurityTest, AclAndAllowedAceLayout)
{
  alignas(4) BYTE buf[64];
  memset(buf, 0xEE, sizeof buf);
  PACL acl = reinterpret_cast<PACL>(buf);
  Sid admins = Admins();
  ASSERT_TRUE(InitializeAcl(acl, 32, ACL_REVISION));
  EXPECT_EQ(acl->AclRevision, 2);
  EXPECT_EQ(acl->AclSize, 32);
  EXPECT_EQ(acl->AceCount, 0);
  ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, 3, admins.get()));
  EXPECT_EQ(acl->AceCount, 1);
  const BYTE ace[8] = {ACCESS_ALLOWED_ACE_TYPE, 0, 24, 0, 3, 0, 0, 0};
  EXPECT_EQ(memcmp(buf + 8, ace, 8), 0);
  EXPECT_TRUE(EqualSid(buf + 16, admins.get()));
  EXPECT_TRUE(IsValidAcl(acl));

  // The ACL is full: 8 + 24 bytes.
  SetLastError(0);
  EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, 1, admins.get()));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALLOTTED_SPACE_EXCEEDED);
  EXPECT_EQ(acl->AceCount, 1);

  LPVOID got = NULL;
  ASSERT_TRUE(GetAce(acl, 0, &got));
  EXPECT_EQ(got, buf + 8);
  EXPECT_FALSE(GetAce(acl, 1, &got));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(SecurityTest, InitializeAclChecks)
{
  alignas(4) BYTE buf[16];
  struct {
    DWORD len, rev, error;
  } cases[] = {
      {7, ACL_REVISION, ERROR_INSUFFICIENT_BUFFER},
      {16, 1, ERROR_INVALID_PARAMETER},
      {16, 5, ERROR_INVALID_PARAMETER},
      {0x10000, ACL_REVISION, ERROR_INVALID_PARAMETER},
  };
  for (auto &c : cases) {
    SetLastError(0);
    EXPECT_FALSE(InitializeAcl(reinterpret_cast<PACL>(buf), c.len, c.rev)) << c.len << " " << c.rev;
    EXPECT_EQ(GetLastError(), c.error) << c.len << " " << c.rev;
  }
  EXPECT_TRUE(InitializeAcl(reinterpret_cast<PACL>(buf), 8, ACL_REVISION_DS));
}

TEST_F(SecurityTest, AddAceInsertsWholeAces)
{
  // The Everyone ACE that a settings folder gets: inheritable full access.
  Sid world = Everyone(), admins = Admins();
  DWORD aceSize = 8 + GetLengthSid(world.get());
  std::vector<BYTE> ace(aceSize);
  ace[0] = ACCESS_ALLOWED_ACE_TYPE;
  ace[1] = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  ace[2] = static_cast<BYTE>(aceSize);
  DWORD mask = FILE_ALL_ACCESS;
  memcpy(&ace[4], &mask, 4);
  memcpy(&ace[8], world.get(), GetLengthSid(world.get()));

  alignas(4) BYTE buf[128];
  PACL acl = reinterpret_cast<PACL>(buf);
  ASSERT_TRUE(InitializeAcl(acl, sizeof(ACL) + aceSize, ACL_REVISION));
  ASSERT_TRUE(AddAce(acl, ACL_REVISION, MAXDWORD, ace.data(), aceSize));
  EXPECT_EQ(acl->AceCount, 1);
  EXPECT_EQ(acl->AclSize, 28);
  EXPECT_EQ(memcmp(buf + 8, ace.data(), aceSize), 0);
  EXPECT_TRUE(IsValidAcl(acl));
  SetLastError(0);
  EXPECT_FALSE(AddAce(acl, ACL_REVISION, MAXDWORD, ace.data(), aceSize));  // no room left
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);

  // Inserting at index 0 moves the existing ACE behind the new one.
  ASSERT_TRUE(InitializeAcl(acl, sizeof buf, ACL_REVISION));
  ASSERT_TRUE(AddAce(acl, ACL_REVISION, MAXDWORD, ace.data(), aceSize));
  ASSERT_TRUE(AddAccessDeniedAce(acl, ACL_REVISION, 2, admins.get()));
  std::vector<BYTE> first(ace);
  first[1] = 0;
  ASSERT_TRUE(AddAce(acl, ACL_REVISION, 0, first.data(), aceSize));
  EXPECT_EQ(acl->AceCount, 3);
  LPVOID a0, a1, a2;
  ASSERT_TRUE(GetAce(acl, 0, &a0) && GetAce(acl, 1, &a1) && GetAce(acl, 2, &a2));
  EXPECT_EQ(static_cast<PACE_HEADER>(a0)->AceFlags, 0);
  EXPECT_EQ(static_cast<PACE_HEADER>(a1)->AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  EXPECT_EQ(static_cast<PACE_HEADER>(a2)->AceType, ACCESS_DENIED_ACE_TYPE);
  EXPECT_TRUE(IsValidAcl(acl));

  // A list that does not end on an ACE boundary.
  SetLastError(0);
  EXPECT_FALSE(AddAce(acl, ACL_REVISION, MAXDWORD, ace.data(), aceSize - 4));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(SecurityTest, DamagedAclsAreRefused)
{
  Sid admins = Admins();
  alignas(4) BYTE buf[64] = {};
  PACL acl = reinterpret_cast<PACL>(buf);
  ASSERT_TRUE(InitializeAcl(acl, sizeof buf, ACL_REVISION));
  ASSERT_TRUE(AddAccessAllowedAce(acl, ACL_REVISION, 1, admins.get()));
  struct {
    size_t offset;
    BYTE value;
  } damage[] = {
      {0, 7},     // revision
      {4, 3},     // more ACEs than there are
      {10, 200},  // ACE size beyond the ACL
      {10, 22},   // ACE size not a multiple of 4
      {16, 9},    // SID revision inside the ACE
  };
  for (auto &d : damage) {
    BYTE saved = buf[d.offset];
    buf[d.offset] = d.value;
    EXPECT_FALSE(IsValidAcl(acl)) << d.offset;
    SetLastError(0);
    EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, 1, admins.get())) << d.offset;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_ACL) << d.offset;
    buf[d.offset] = saved;
  }
  EXPECT_TRUE(IsValidAcl(acl));
  BYTE badSid[8] = {3, 0, 0, 0, 0, 0, 0, 1};
  EXPECT_FALSE(AddAccessAllowedAce(acl, ACL_REVISION, 1, badSid));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SID);
  EXPECT_FALSE(AddAccessAllowedAce(acl, 1, 1, admins.get()));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_REVISION_MISMATCH);
  EXPECT_FALSE(AddAccessAllowedAceEx(acl, ACL_REVISION, 0x40, 1, admins.get()));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_FLAGS);
}

// ---------------------------------------------------------------- descriptors

TEST_F(SecurityTest, AbsoluteDescriptorFields)
{
  alignas(4) BYTE raw[SECURITY_DESCRIPTOR_MIN_LENGTH];
  memset(raw, 0xEE, sizeof raw);
  ASSERT_TRUE(InitializeSecurityDescriptor(raw, SECURITY_DESCRIPTOR_REVISION));
  const BYTE zeroed[20] = {1};
  EXPECT_EQ(memcmp(raw, zeroed, 20), 0);
  EXPECT_TRUE(IsValidSecurityDescriptor(raw));

  Sid owner = Admins(), group = Everyone();
  alignas(4) BYTE aclBuf[8];
  ASSERT_TRUE(InitializeAcl(reinterpret_cast<PACL>(aclBuf), 8, ACL_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorOwner(raw, owner.get(), TRUE));
  ASSERT_TRUE(SetSecurityDescriptorGroup(raw, group.get(), FALSE));
  ASSERT_TRUE(SetSecurityDescriptorDacl(raw, TRUE, reinterpret_cast<PACL>(aclBuf), TRUE));
  auto *sd = reinterpret_cast<SECURITY_DESCRIPTOR *>(raw);
  EXPECT_EQ(sd->Owner, owner.get());
  EXPECT_EQ(sd->Group, group.get());
  EXPECT_EQ(sd->Dacl, reinterpret_cast<PACL>(aclBuf));
  EXPECT_EQ(sd->Control, SE_OWNER_DEFAULTED | SE_DACL_PRESENT | SE_DACL_DEFAULTED);

  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = NULL;
  ASSERT_TRUE(GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  EXPECT_TRUE(defaulted);
  EXPECT_EQ(dacl, reinterpret_cast<PACL>(aclBuf));
  PSID got = NULL;
  ASSERT_TRUE(GetSecurityDescriptorOwner(raw, &got, &defaulted));
  EXPECT_EQ(got, owner.get());
  EXPECT_TRUE(defaulted);
  ASSERT_TRUE(SetSecurityDescriptorDacl(raw, FALSE, NULL, FALSE));
  ASSERT_TRUE(GetSecurityDescriptorDacl(raw, &present, &dacl, &defaulted));
  EXPECT_FALSE(present);
  SECURITY_DESCRIPTOR_CONTROL control;
  DWORD revision;
  ASSERT_TRUE(GetSecurityDescriptorControl(raw, &control, &revision));
  EXPECT_EQ(revision, 1u);
  EXPECT_EQ(control & SE_DACL_PRESENT, 0);
}

TEST_F(SecurityTest, DescriptorValidity)
{
  SECURITY_DESCRIPTOR sd;
  SetLastError(0);
  EXPECT_FALSE(InitializeSecurityDescriptor(&sd, 2));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_UNKNOWN_REVISION);

  Descriptor d;
  EXPECT_TRUE(IsValidSecurityDescriptor(&d.sd));
  d.owner.bytes[0] = 2;  // owner SID damaged
  SetLastError(0);
  EXPECT_FALSE(IsValidSecurityDescriptor(&d.sd));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SECURITY_DESCR);
  d.owner.bytes[0] = 1;
  d.acl[0] = 9;  // DACL damaged
  EXPECT_FALSE(IsValidSecurityDescriptor(&d.sd));
  d.acl[0] = ACL_REVISION;
  d.sd.Revision = 0;
  EXPECT_FALSE(IsValidSecurityDescriptor(&d.sd));
  EXPECT_FALSE(SetSecurityDescriptorOwner(&d.sd, d.owner.get(), FALSE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_UNKNOWN_REVISION);
}

TEST_F(SecurityTest, SelfRelativeCopy)
{
  Descriptor d;
  ASSERT_TRUE(AddAccessAllowedAce(d.Acl(), ACL_REVISION, 3, d.owner.get()));
  DWORD len = 0;
  SetLastError(0);
  EXPECT_FALSE(MakeSelfRelativeSD(&d.sd, NULL, &len));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  // Header 20, two SIDs of 16, the whole 256-byte ACL.
  EXPECT_EQ(len, 20u + 16 + 16 + 256);
  EXPECT_EQ(GetSecurityDescriptorLength(&d.sd), len);
  std::vector<BYTE> rel(len);
  ASSERT_TRUE(MakeSelfRelativeSD(&d.sd, rel.data(), &len));
  EXPECT_TRUE(IsValidSecurityDescriptor(rel.data()));
  SECURITY_DESCRIPTOR_CONTROL control;
  DWORD revision;
  ASSERT_TRUE(GetSecurityDescriptorControl(rel.data(), &control, &revision));
  EXPECT_EQ(control, SE_SELF_RELATIVE | SE_DACL_PRESENT);
  PSID owner;
  BOOL defaulted, present;
  PACL dacl;
  ASSERT_TRUE(GetSecurityDescriptorOwner(rel.data(), &owner, &defaulted));
  EXPECT_TRUE(EqualSid(owner, d.owner.get()));
  EXPECT_GE(static_cast<BYTE *>(owner), rel.data() + 20);
  ASSERT_TRUE(GetSecurityDescriptorDacl(rel.data(), &present, &dacl, &defaulted));
  EXPECT_EQ(dacl->AceCount, 1);
  // A self-relative descriptor is read-only to the setters and cannot be converted again.
  EXPECT_FALSE(SetSecurityDescriptorDacl(rel.data(), TRUE, NULL, FALSE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SECURITY_DESCR);
  EXPECT_FALSE(MakeSelfRelativeSD(rel.data(), rel.data(), &len));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_DESCRIPTOR_FORMAT);
}

// ---------------------------------------------------------------- tokens

TEST_F(SecurityTest, ProcessTokenUserAndGroups)
{
  HANDLE tok = NULL;
  ASSERT_TRUE(OpenProcessToken(kProcess, TOKEN_QUERY, &tok));
  DWORD need = 0;
  SetLastError(0);
  EXPECT_FALSE(GetTokenInformation(tok, TokenUser, NULL, 0, &need));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(need, sizeof(TOKEN_USER) + 28);  // S-1-5-21-a-b-c-rid
  std::vector<DWORD> buf((need + 3) / 4);
  ASSERT_TRUE(GetTokenInformation(tok, TokenUser, buf.data(), need, &need));
  auto *user = reinterpret_cast<TOKEN_USER *>(buf.data());
  ASSERT_TRUE(IsValidSid(user->User.Sid));
  EXPECT_EQ(*GetSidSubAuthority(user->User.Sid, 0), 21u);
  EXPECT_GE(static_cast<BYTE *>(user->User.Sid), reinterpret_cast<BYTE *>(buf.data()) + sizeof(TOKEN_USER));

  TOKEN_TYPE type;
  ASSERT_TRUE(GetTokenInformation(tok, TokenType, &type, sizeof type, &need));
  EXPECT_EQ(type, TokenPrimary);
  SECURITY_IMPERSONATION_LEVEL level;
  EXPECT_FALSE(GetTokenInformation(tok, TokenImpersonationLevel, &level, sizeof level, &need));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(GetTokenInformation(tok, TokenStatistics, buf.data(), need, &need));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(CloseHandle(tok));
}

TEST_F(SecurityTest, AdministratorSwitchDecidesTheAdministratorsGroup)
{
  for (BOOL admin : {TRUE, FALSE}) {
    PlatSetAdministrator(admin);
    EXPECT_EQ(PlatIsAdministrator(), admin);
    HANDLE tok = NULL;
    ASSERT_TRUE(OpenProcessToken(kProcess, TOKEN_READ, &tok));
    DWORD need = 0;
    GetTokenInformation(tok, TokenGroups, NULL, 0, &need);
    std::vector<DWORD> buf((need + 3) / 4);
    ASSERT_TRUE(GetTokenInformation(tok, TokenGroups, buf.data(), need, &need));
    auto *groups = reinterpret_cast<TOKEN_GROUPS *>(buf.data());
    Sid admins = Admins(), world = Everyone();
    bool hasAdmins = false, hasWorld = false;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
      ASSERT_TRUE(IsValidSid(groups->Groups[i].Sid));
      if (EqualSid(groups->Groups[i].Sid, admins.get())) {
        hasAdmins = true;
        EXPECT_NE(groups->Groups[i].Attributes & SE_GROUP_ENABLED, 0u);
      }
      if (EqualSid(groups->Groups[i].Sid, world.get())) hasWorld = true;
    }
    EXPECT_EQ(hasAdmins, admin != FALSE);
    EXPECT_TRUE(hasWorld);
    CloseHandle(tok);

    BOOL member = 0xDEAD;
    ASSERT_TRUE(CheckTokenMembership(NULL, admins.get(), &member));
    EXPECT_EQ(member, admin);
    ASSERT_TRUE(CheckTokenMembership(NULL, world.get(), &member));
    EXPECT_TRUE(member);
    EXPECT_EQ(DriverAdminCheck(), admin);
  }
}

TEST_F(SecurityTest, ThreadTokenExistsOnlyWhileImpersonating)
{
  HANDLE tok = NULL;
  SetLastError(0);
  EXPECT_FALSE(OpenThreadToken(kThread, TOKEN_QUERY, FALSE, &tok));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_TOKEN);

  ASSERT_TRUE(ImpersonateSelf(SecurityIdentification));
  ASSERT_TRUE(OpenThreadToken(kThread, TOKEN_QUERY, TRUE, &tok));
  TOKEN_TYPE type;
  SECURITY_IMPERSONATION_LEVEL level;
  DWORD need;
  ASSERT_TRUE(GetTokenInformation(tok, TokenType, &type, sizeof type, &need));
  ASSERT_TRUE(GetTokenInformation(tok, TokenImpersonationLevel, &level, sizeof level, &need));
  EXPECT_EQ(type, TokenImpersonation);
  EXPECT_EQ(level, SecurityIdentification);
  CloseHandle(tok);

  // Impersonation belongs to the thread.
  DWORD otherError = 0;
  std::thread t([&] {
    HANDLE h;
    if (!OpenThreadToken(kThread, TOKEN_QUERY, FALSE, &h)) otherError = GetLastError();
  });
  t.join();
  EXPECT_EQ(otherError, (DWORD)ERROR_NO_TOKEN);

  ASSERT_TRUE(RevertToSelf());
  EXPECT_FALSE(OpenThreadToken(kThread, TOKEN_QUERY, FALSE, &tok));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_TOKEN);

  ASSERT_TRUE(ImpersonateSelf(SecurityAnonymous));
  EXPECT_FALSE(OpenThreadToken(kThread, TOKEN_QUERY, FALSE, &tok));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_CANT_OPEN_ANONYMOUS);
  EXPECT_FALSE(OpenThreadToken(reinterpret_cast<HANDLE>(0x1234), TOKEN_QUERY, FALSE, &tok));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(SecurityTest, TokenRightsAndDuplicates)
{
  HANDLE primary = NULL, dup = NULL, dup2 = NULL;
  ASSERT_TRUE(OpenProcessToken(kProcess, TOKEN_DUPLICATE, &primary));
  DWORD need;
  TOKEN_TYPE type;
  SetLastError(0);
  EXPECT_FALSE(GetTokenInformation(primary, TokenType, &type, sizeof type, &need));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);  // no TOKEN_QUERY

  ASSERT_TRUE(DuplicateToken(primary, SecurityIdentification, &dup));
  ASSERT_TRUE(GetTokenInformation(dup, TokenType, &type, sizeof type, &need));
  EXPECT_EQ(type, TokenImpersonation);
  // A duplicate has TOKEN_QUERY | TOKEN_IMPERSONATE only, and no higher level than its source.
  EXPECT_FALSE(DuplicateToken(dup, SecurityIdentification, &dup2));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);

  HANDLE full = NULL;
  ASSERT_TRUE(ImpersonateSelf(SecurityIdentification));
  ASSERT_TRUE(OpenThreadToken(kThread, TOKEN_ALL_ACCESS, FALSE, &full));
  RevertToSelf();
  EXPECT_FALSE(DuplicateToken(full, SecurityImpersonation, &dup2));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_IMPERSONATION_LEVEL);

  // SetThreadToken takes impersonation tokens only.
  EXPECT_FALSE(SetThreadToken(NULL, primary));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  HANDLE primaryAll = NULL;
  ASSERT_TRUE(OpenProcessToken(kProcess, TOKEN_ALL_ACCESS, &primaryAll));
  EXPECT_FALSE(SetThreadToken(NULL, primaryAll));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_TOKEN_TYPE);
  ASSERT_TRUE(SetThreadToken(NULL, dup));
  HANDLE now = NULL;
  ASSERT_TRUE(OpenThreadToken(kThread, TOKEN_QUERY, FALSE, &now));
  ASSERT_TRUE(SetThreadToken(NULL, NULL));
  EXPECT_FALSE(OpenThreadToken(kThread, TOKEN_QUERY, FALSE, &dup2));

  for (HANDLE h : {primary, dup, full, primaryAll, now}) EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(GetTokenInformation(primary, TokenType, &type, sizeof type, &need));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

// ---------------------------------------------------------------- AccessCheck

TEST_F(SecurityTest, AccessCheckArgumentErrors)
{
  Descriptor d;
  Sid admins = Admins();
  ASSERT_TRUE(AddAccessAllowedAce(d.Acl(), ACL_REVISION, 3, admins.get()));
  GENERIC_MAPPING gm = {1, 2, 0, 3};
  PRIVILEGE_SET ps;
  DWORD psLen = sizeof ps, granted;
  BOOL status;

  // A primary token is refused.
  HANDLE primary;
  ASSERT_TRUE(OpenProcessToken(kProcess, TOKEN_QUERY, &primary));
  SetLastError(0);
  EXPECT_FALSE(AccessCheck(&d.sd, primary, 1, &gm, &ps, &psLen, &granted, &status));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_IMPERSONATION_TOKEN);
  CloseHandle(primary);

  HANDLE tok = ImpersonationToken();
  // Generic rights must be mapped first.
  EXPECT_FALSE(AccessCheck(&d.sd, tok, GENERIC_READ, &gm, &ps, &psLen, &granted, &status));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_GENERIC_NOT_MAPPED);
  DWORD mapped = GENERIC_READ | GENERIC_WRITE;
  MapGenericMask(&mapped, &gm);
  EXPECT_EQ(mapped, 3u);
  // The privilege-set buffer has a minimum.
  psLen = 8;
  EXPECT_FALSE(AccessCheck(&d.sd, tok, 1, &gm, &ps, &psLen, &granted, &status));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(psLen, sizeof(PRIVILEGE_SET));
  // The descriptor must name an owner and a group.
  ASSERT_TRUE(SetSecurityDescriptorGroup(&d.sd, NULL, FALSE));
  EXPECT_FALSE(AccessCheck(&d.sd, tok, 1, &gm, &ps, &psLen, &granted, &status));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SECURITY_DESCR);
  CloseHandle(tok);

  // A token opened without TOKEN_QUERY.
  HANDLE noQuery = ImpersonationToken(TOKEN_IMPERSONATE);
  ASSERT_TRUE(SetSecurityDescriptorGroup(&d.sd, admins.get(), FALSE));
  EXPECT_FALSE(AccessCheck(&d.sd, noQuery, 1, &gm, &ps, &psLen, &granted, &status));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  CloseHandle(noQuery);
}

namespace {

enum AceKind { kAllow, kDeny, kAllowInheritOnly };
struct AceSpec {
  AceKind kind;
  bool world;  // Everyone, else a SID the user does not hold (S-1-5-32-547)
  DWORD mask;
};
struct CheckCase {
  const char *what;
  bool nullDacl;
  std::vector<AceSpec> aces;
  DWORD desired;
  BOOL status;
  DWORD granted;
};

}  // namespace

TEST_F(SecurityTest, AccessCheckEvaluatesTheDacl)
{
  const CheckCase cases[] = {
      {"NULL DACL grants everything", true, {}, 3, TRUE, 3},
      {"empty DACL grants nothing", false, {}, 1, FALSE, 0},
      {"allowed right", false, {{kAllow, true, 1}}, 1, TRUE, 1},
      {"a right not allowed", false, {{kAllow, true, 1}}, 3, FALSE, 0},
      {"rights add up over ACEs", false, {{kAllow, true, 1}, {kAllow, true, 2}}, 3, TRUE, 3},
      {"ACE of a foreign SID", false, {{kAllow, false, 3}}, 1, FALSE, 0},
      {"deny before allow wins", false, {{kDeny, true, 1}, {kAllow, true, 3}}, 1, FALSE, 0},
      {"allow before deny wins", false, {{kAllow, true, 3}, {kDeny, true, 1}}, 1, TRUE, 1},
      {"inherit-only ACEs do not count", false, {{kAllowInheritOnly, true, 3}}, 1, FALSE, 0},
      {"generic rights in an ACE are mapped", false, {{kAllow, true, GENERIC_ALL}}, 3, TRUE, 3},
      {"nothing desired is nothing granted", false, {{kAllow, true, 3}}, 0, FALSE, 0},
      {"maximum allowed", false, {{kAllow, true, 2}, {kAllow, false, 1}}, MAXIMUM_ALLOWED, TRUE, 2},
      {"owner may read and change the DACL", false, {}, READ_CONTROL | WRITE_DAC, TRUE, READ_CONTROL | WRITE_DAC},
  };
  PlatSetAdministrator(TRUE);  // the descriptor's owner is Administrators
  for (const CheckCase &c : cases) {
    SCOPED_TRACE(c.what);
    Descriptor d;
    Sid world = Everyone(), other = Sid(5, {32, 547});
    if (c.nullDacl) {
      ASSERT_TRUE(SetSecurityDescriptorDacl(&d.sd, TRUE, NULL, FALSE));
    }
    for (const AceSpec &a : c.aces) {
      PSID sid = a.world ? world.get() : other.get();
      BOOL added = FALSE;
      if (a.kind == kAllow) added = AddAccessAllowedAce(d.Acl(), ACL_REVISION, a.mask, sid);
      if (a.kind == kDeny) added = AddAccessDeniedAce(d.Acl(), ACL_REVISION, a.mask, sid);
      if (a.kind == kAllowInheritOnly)
        added = AddAccessAllowedAceEx(d.Acl(), ACL_REVISION, INHERIT_ONLY_ACE | OBJECT_INHERIT_ACE, a.mask, sid);
      ASSERT_TRUE(added);
    }
    DWORD granted = 0;
    EXPECT_EQ(Check(&d.sd, c.desired, &granted), c.status);
    EXPECT_EQ(c.desired == MAXIMUM_ALLOWED ? granted & 3 : granted, c.granted);
  }
}

TEST_F(SecurityTest, DriverAdministratorCheckFailsOnAllocationFault)
{
  PlatSetAdministrator(TRUE);
  EXPECT_TRUE(DriverAdminCheck());
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);  // the SID
  EXPECT_FALSE(DriverAdminCheck());
  EXPECT_TRUE(DriverAdminCheck());
}

// ---------------------------------------------------------------- file security

class FileSecurityTest : public SecurityTest {
 protected:
  void SetUp() override
  {
    SecurityTest::SetUp();
    std::filesystem::create_directories(Root() + "/C/_kvml");
    WriteHostFile(Root() + "/C/_kvml/KVMLAREA.ini", "[DuplexScaleArea]\r\n");
  }

  // The descriptor a settings folder gets: DACL with one inheritable Everyone ACE.
  struct EveryoneSd {
    SECURITY_DESCRIPTOR sd;
    alignas(4) BYTE acl[28];
    Sid world = Everyone();
    EveryoneSd()
    {
      InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
      InitializeAcl(reinterpret_cast<PACL>(acl), sizeof acl, ACL_REVISION);
      AddAccessAllowedAceEx(reinterpret_cast<PACL>(acl), ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                            FILE_ALL_ACCESS, world.get());
      SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(acl), FALSE);
    }
  };
  struct OwnerSd {
    SECURITY_DESCRIPTOR sd;
    Sid admins = Admins();
    OwnerSd()
    {
      InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
      SetSecurityDescriptorOwner(&sd, admins.get(), FALSE);
    }
  };
};

TEST_F(FileSecurityTest, CallsAreRecordedWithTheirDescriptor)
{
  EveryoneSd everyone;
  OwnerSd owner;
  ASSERT_TRUE(SetFileSecurityW(u"c:\\_KVML", OWNER_SECURITY_INFORMATION, &owner.sd));
  ASSERT_TRUE(SetFileSecurityW(u"C:\\_kvml\\kvmlarea.ini", DACL_SECURITY_INFORMATION, &everyone.sd));
  ASSERT_EQ(PlatFileSecurityCallCount(), 2u);

  WCHAR path[MAX_PATH];
  SECURITY_INFORMATION info = 0;
  DWORD need = 0;
  alignas(4) BYTE sd[256];
  ASSERT_TRUE(PlatFileSecurityGetCall(0, path, MAX_PATH, &info, sd, sizeof sd, &need));
  EXPECT_EQ(Narrow(path), "C:\\_KVML");
  EXPECT_EQ(info, (DWORD)OWNER_SECURITY_INFORMATION);
  EXPECT_EQ(need, 20u + 16);
  PSID got;
  BOOL defaulted, present;
  ASSERT_TRUE(GetSecurityDescriptorOwner(sd, &got, &defaulted));
  EXPECT_TRUE(EqualSid(got, owner.admins.get()));
  PACL dacl;
  ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
  EXPECT_FALSE(present);

  ASSERT_TRUE(PlatFileSecurityGetCall(1, path, MAX_PATH, &info, sd, sizeof sd, &need));
  EXPECT_EQ(Narrow(path), "C:\\_kvml\\kvmlarea.ini");
  EXPECT_EQ(info, (DWORD)DACL_SECURITY_INFORMATION);
  ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
  ASSERT_TRUE(present);
  ASSERT_EQ(dacl->AceCount, 1);
  LPVOID ace;
  ASSERT_TRUE(GetAce(dacl, 0, &ace));
  auto *allowed = static_cast<ACCESS_ALLOWED_ACE *>(ace);
  EXPECT_EQ(allowed->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  EXPECT_EQ(allowed->Mask, (DWORD)FILE_ALL_ACCESS);
  EXPECT_TRUE(EqualSid(&allowed->SidStart, everyone.world.get()));
  ASSERT_TRUE(GetSecurityDescriptorOwner(sd, &got, &defaulted));
  EXPECT_EQ(got, nullptr);  // only the DACL was set

  // Size protocol of the record reader.
  EXPECT_FALSE(PlatFileSecurityGetCall(1, path, 3, &info, NULL, 0, &need));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_FALSE(PlatFileSecurityGetCall(2, path, MAX_PATH, &info, NULL, 0, &need));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_ITEMS);

  PlatFileSecurityClearCalls();
  EXPECT_EQ(PlatFileSecurityCallCount(), 0u);
}

TEST_F(FileSecurityTest, RefusedCallsAreNotRecorded)
{
  EveryoneSd everyone;
  OwnerSd owner;
  struct {
    const char *what;
    const WCHAR *path;
    SECURITY_INFORMATION info;
    PSECURITY_DESCRIPTOR sd;
    BOOL admin;
    DWORD error;
  } cases[] = {
      {"missing file", u"C:\\_kvml\\none.ini", DACL_SECURITY_INFORMATION, &everyone.sd, TRUE, ERROR_FILE_NOT_FOUND},
      {"missing folder", u"C:\\nodir\\x.ini", DACL_SECURITY_INFORMATION, &everyone.sd, TRUE, ERROR_PATH_NOT_FOUND},
      {"no descriptor", u"C:\\_kvml", DACL_SECURITY_INFORMATION, NULL, TRUE, ERROR_INVALID_PARAMETER},
      {"no name", nullptr, DACL_SECURITY_INFORMATION, &everyone.sd, TRUE, ERROR_INVALID_PARAMETER},
      {"owner a non-administrator may not take", u"C:\\_kvml", OWNER_SECURITY_INFORMATION, &owner.sd, FALSE,
       ERROR_INVALID_OWNER},
      {"owner requested but absent", u"C:\\_kvml", OWNER_SECURITY_INFORMATION, &everyone.sd, TRUE, ERROR_INVALID_OWNER},
      {"group requested but absent", u"C:\\_kvml", GROUP_SECURITY_INFORMATION, &everyone.sd, TRUE,
       ERROR_INVALID_PRIMARY_GROUP},
      {"audit list needs a privilege", u"C:\\_kvml", SACL_SECURITY_INFORMATION, &everyone.sd, TRUE,
       ERROR_PRIVILEGE_NOT_HELD},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    PlatSetAdministrator(c.admin);
    SetLastError(0);
    EXPECT_FALSE(SetFileSecurityW(c.path, c.info, c.sd));
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(PlatFileSecurityCallCount(), 0u);
}

TEST_F(FileSecurityTest, MalformedDescriptorsAreRefused)
{
  // Each damage is applied to a fresh Everyone descriptor.
  const struct {
    const char *what;
    void (*damage)(SECURITY_DESCRIPTOR &sd, BYTE *acl);
  } cases[] = {
      {"descriptor revision", [](SECURITY_DESCRIPTOR &sd, BYTE *) { sd.Revision = 2; }},
      {"ACL revision", [](SECURITY_DESCRIPTOR &, BYTE *acl) { acl[0] = 1; }},
      {"ACE count", [](SECURITY_DESCRIPTOR &, BYTE *acl) { acl[4] = 2; }},
      {"ACE size", [](SECURITY_DESCRIPTOR &, BYTE *acl) { acl[10] = 40; }},
      {"SID in the ACE", [](SECURITY_DESCRIPTOR &, BYTE *acl) { acl[17] = 30; }},
  };
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    EveryoneSd everyone;
    c.damage(everyone.sd, everyone.acl);
    SetLastError(0);
    EXPECT_FALSE(SetFileSecurityW(u"C:\\_kvml", DACL_SECURITY_INFORMATION, &everyone.sd));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_SECURITY_DESCR);
  }
  EXPECT_EQ(PlatFileSecurityCallCount(), 0u);
  EveryoneSd good;
  EXPECT_TRUE(SetFileSecurityW(u"C:\\_kvml", DACL_SECURITY_INFORMATION, &good.sd));
}

TEST_F(FileSecurityTest, GetFileSecurityAnswersWhatWasSet)
{
  DWORD need = 0;
  SetLastError(0);
  EXPECT_FALSE(GetFileSecurityW(u"C:\\_kvml", OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, NULL, 0, &need));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  std::vector<BYTE> before(need);
  ASSERT_TRUE(GetFileSecurityW(u"C:\\_kvml", OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, before.data(),
                               need, &need));
  BOOL present, defaulted;
  PACL dacl;
  ASSERT_TRUE(GetSecurityDescriptorDacl(before.data(), &present, &dacl, &defaulted));
  ASSERT_TRUE(present);
  EXPECT_EQ(dacl->AceCount, 3);  // Administrators, SYSTEM, the user

  EveryoneSd everyone;
  ASSERT_TRUE(SetFileSecurityW(u"C:\\_kvml", DACL_SECURITY_INFORMATION, &everyone.sd));
  alignas(4) BYTE after[256];
  ASSERT_TRUE(GetFileSecurityW(u"C:\\_KVML", DACL_SECURITY_INFORMATION, after, sizeof after, &need));
  ASSERT_TRUE(GetSecurityDescriptorDacl(after, &present, &dacl, &defaulted));
  ASSERT_TRUE(present);
  ASSERT_EQ(dacl->AceCount, 1);
  LPVOID ace;
  ASSERT_TRUE(GetAce(dacl, 0, &ace));
  EXPECT_TRUE(EqualSid(&static_cast<ACCESS_ALLOWED_ACE *>(ace)->SidStart, everyone.world.get()));

  EXPECT_FALSE(GetFileSecurityW(u"C:\\_kvml\\none", DACL_SECURITY_INFORMATION, after, sizeof after, &need));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

  // A reset forgets the security of every file.
  PlatResetForTest();
  ASSERT_TRUE(PlatSetMachineRoot(Root().c_str()));
  EXPECT_EQ(PlatFileSecurityCallCount(), 0u);
  ASSERT_TRUE(GetFileSecurityW(u"C:\\_kvml", DACL_SECURITY_INFORMATION, after, sizeof after, &need));
  ASSERT_TRUE(GetSecurityDescriptorDacl(after, &present, &dacl, &defaulted));
  EXPECT_EQ(dacl->AceCount, 3);
}
