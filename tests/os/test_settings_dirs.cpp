// Settings directories: which folder each resolver chooses, the creation of the shared
// folder with its owner and access-control list, and tree removal.
#include <unistd.h>

#include <string>
#include <vector>

#include "files/file_helpers.h"
#include "kvplat/module_control.h"
#include "kvplat/os_control.h"
#include "os_fixture.h"
#include "files/settings_dirs.h"
#include "os/driver_registry.h"

namespace {

struct SecurityCall {
  std::string path;
  SECURITY_INFORMATION info;
  std::vector<BYTE> sd;
};

std::vector<SecurityCall> RecordedCalls()
{
  std::vector<SecurityCall> calls;
  for (DWORD i = 0; i < PlatFileSecurityCallCount(); ++i) {
    WCHAR path[MAX_PATH];
    SecurityCall c;
    DWORD need = 0;
    PlatFileSecurityGetCall(i, path, MAX_PATH, &c.info, nullptr, 0, &need);
    c.sd.resize(need);
    EXPECT_TRUE(PlatFileSecurityGetCall(i, path, MAX_PATH, &c.info, c.sd.data(), need, &need));
    c.path = Narrow(path);
    calls.push_back(c);
  }
  return calls;
}

bool IsSid(PSID sid, BYTE authority, std::vector<DWORD> subs)
{
  if (!sid || GetSidIdentifierAuthority(sid)->Value[5] != authority) return false;
  if (*GetSidSubAuthorityCount(sid) != subs.size()) return false;
  for (DWORD i = 0; i < subs.size(); ++i) {
    if (*GetSidSubAuthority(sid, i) != subs[i]) return false;
  }
  return true;
}

void ExpectAdminOwner(const SecurityCall &c)
{
  EXPECT_EQ(static_cast<SECURITY_INFORMATION>(OWNER_SECURITY_INFORMATION), c.info);
  PSID owner = nullptr;
  BOOL defaulted = TRUE;
  ASSERT_TRUE(GetSecurityDescriptorOwner(const_cast<BYTE *>(c.sd.data()), &owner, &defaulted));
  EXPECT_FALSE(defaulted);
  EXPECT_TRUE(IsSid(owner, 5, {32, 544})) << "owner BUILTIN\\Administrators";
}

void ExpectEveryoneDacl(const SecurityCall &c)
{
  EXPECT_EQ(static_cast<SECURITY_INFORMATION>(DACL_SECURITY_INFORMATION), c.info);
  BOOL present = FALSE, defaulted = TRUE;
  PACL acl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(const_cast<BYTE *>(c.sd.data()), &present, &acl, &defaulted));
  ASSERT_TRUE(present);
  ASSERT_NE(nullptr, acl);
  EXPECT_EQ(1, acl->AceCount);
  void *raw = nullptr;
  ASSERT_TRUE(GetAce(acl, 0, &raw));
  ACCESS_ALLOWED_ACE *ace = static_cast<ACCESS_ALLOWED_ACE *>(raw);
  EXPECT_EQ(ACCESS_ALLOWED_ACE_TYPE, ace->Header.AceType);
  EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, ace->Header.AceFlags);
  EXPECT_EQ(static_cast<DWORD>(FILE_ALL_ACCESS), ace->Mask);
  EXPECT_TRUE(IsSid(&ace->SidStart, 1, {0})) << "Everyone";
}

}  // namespace

class SettingsDirTest : public OsTest {
 protected:
  void SetUp() override
  {
    OsTest::SetUp();
    ASSERT_TRUE(PlatModuleRegister(u"UserEnv.dll", KV_USERENV_SO));
    PlatFileSecurityClearCalls();
  }
  void SetConfigured(const WCHAR *value, DWORD type = REG_SZ)
  {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, KV_DRIVER_REG_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    DWORD bytes = static_cast<DWORD>((lstrlenW(value) + 1) * sizeof(WCHAR));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, KV_SETTINGS_REG_VALUE, 0, type, reinterpret_cast<const BYTE *>(value), bytes));
    RegCloseKey(key);
  }
  std::string Resolve(DWORD(WINAPI *fn)(LPWSTR, DWORD, DRIVER_CONTEXT *), DRIVER_CONTEXT *ctx = nullptr)
  {
    WCHAR buf[MAX_PATH];
    DWORD n = fn(buf, MAX_PATH, ctx);
    EXPECT_EQ(static_cast<DWORD>(lstrlenW(buf)), n);
    return Narrow(buf);
  }
};

TEST_F(SettingsDirTest, SharedDirectoryChoices)
{
  WCHAR buf[MAX_PATH];
  EXPECT_EQ(8u, PathGetDefaultSettingsDir(buf, MAX_PATH));
  EXPECT_EQ("C:\\_kvml", Narrow(buf));
  EXPECT_EQ("C:\\_kvml", Resolve(PathGetSharedSettingsDir)) << "no registry value";
  SetConfigured(u"");
  EXPECT_EQ("C:\\_kvml", Resolve(PathGetSharedSettingsDir)) << "an empty value";
  SetConfigured(u"D:\\Shared\\kv");
  EXPECT_EQ("D:\\Shared\\kv", Resolve(PathGetSharedSettingsDir));
  EXPECT_EQ(0u, PathGetConfiguredSettingsDir(buf, 5)) << "too small for the value or the default";
  EXPECT_EQ("", Narrow(buf));
  SetConfigured(u"%SystemDrive%\\Shared\\kv", REG_EXPAND_SZ);
  EXPECT_EQ("C:\\Shared\\kv", Resolve(PathGetSharedSettingsDir)) << "an expandable value is expanded";
  SetConfigured(u"%SystemDrive%\\Shared\\kv", REG_SZ);
  EXPECT_EQ("%SystemDrive%\\Shared\\kv", Resolve(PathGetSharedSettingsDir)) << "plain text is taken as written";
}

TEST_F(SettingsDirTest, Nt4UsesTheSystemDirectory)
{
  ASSERT_TRUE(PlatSetOsProfile(PLAT_OS_NT4_SP6));
  EXPECT_EQ("C:\\WINDOWS\\system32", Resolve(PathGetSharedSettingsDir));
  EXPECT_EQ("C:\\WINDOWS\\system32\\tolve\\_kvml\\kvuser", Resolve(PathGetUserSettingsDir));
}

TEST_F(SettingsDirTest, PerUserDirectory)
{
  EXPECT_EQ("C:\\Documents and Settings\\kvuser\\_kvml", Resolve(PathGetUserSettingsDir));
  FakeContext fc;
  const char16_t ini[] = u"E:\\conf\\kv\\kvmlsets.ini";
  for (size_t i = 0; i < sizeof(ini) / sizeof(ini[0]); ++i) fc.state->settingsIniPath[i] = ini[i];
  EXPECT_EQ("E:\\conf\\kv", Resolve(PathGetUserSettingsDir, &fc.ctx)) << "the absolute INI's folder";
  EXPECT_EQ("C:\\Documents and Settings\\kvuser\\_kvml", Resolve(PathGetUserSettingsDirRaw, &fc.ctx));
  ASSERT_TRUE(PlatModuleUnregister(u"UserEnv.dll"));
  WCHAR buf[MAX_PATH];
  EXPECT_EQ(0u, PathGetUserSettingsDirRaw(buf, MAX_PATH, nullptr)) << "no profile service";
}

TEST_F(SettingsDirTest, KsrFileGoesToTheSharedDirectoryInTheShippedBuild)
{
  FakeContext fc;
  WCHAR out[MAX_PATH];
  ASSERT_TRUE(PathSettingsKsrFileCore(out, u"X:\\presets\\office.ksq", MAX_PATH, &fc.ctx));
  EXPECT_EQ("C:\\_kvml\\office.ksr", Narrow(out));
  EXPECT_FALSE(PathSettingsKsrFileCore(out, u"X:\\presets\\office.ksq", 12, &fc.ctx));
  EXPECT_EQ("", Narrow(out));
}

TEST_F(SettingsDirTest, CreateSharedDirectorySetsHiddenOwnerAndDaclOnTheDirectoryOnly)
{
  ASSERT_TRUE(CreateDirectoryW(u"C:\\_kvml", nullptr));
  WriteHostFile(HostPath(u"C:\\_kvml") + "/inside.ini", "x");
  EXPECT_TRUE(FileCreateSettingsDir(nullptr));
  DWORD attributes = GetFileAttributesW(u"C:\\_kvml");
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  std::vector<SecurityCall> calls = RecordedCalls();
  ASSERT_EQ(2u, calls.size());
  EXPECT_EQ("C:\\_kvml", calls[0].path);
  ExpectAdminOwner(calls[0]);
  EXPECT_EQ("C:\\_kvml", calls[1].path);
  ExpectEveryoneDacl(calls[1]);
}

TEST_F(SettingsDirTest, GrantAccessCoversTheFilesInTheDirectory)
{
  SetConfigured(u"C:\\kvshared");
  ASSERT_TRUE(CreateDirectoryW(u"C:\\kvshared", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\kvshared\\sub", nullptr));
  WriteHostFile(HostPath(u"C:\\kvshared") + "/a.ini", "x");
  EXPECT_TRUE(FileGrantSettingsDirAccess(nullptr, nullptr));
  std::vector<SecurityCall> calls = RecordedCalls();
  ASSERT_EQ(4u, calls.size()) << "folder and file, owner then DACL; the subfolder is left alone";
  EXPECT_EQ("C:\\kvshared", calls[0].path);
  ExpectAdminOwner(calls[0]);
  EXPECT_EQ("C:\\kvshared\\a.ini", calls[1].path);
  ExpectAdminOwner(calls[1]);
  EXPECT_EQ("C:\\kvshared", calls[2].path);
  ExpectEveryoneDacl(calls[2]);
  EXPECT_EQ("C:\\kvshared\\a.ini", calls[3].path);
  ExpectEveryoneDacl(calls[3]);
}

TEST_F(SettingsDirTest, DescriptorBuildFailureChangesNothing)
{
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_FALSE(FileSetEveryoneAcl(u"C:\\", 1));
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_FALSE(FileSetAdminOwner(u"C:\\", 1));
  PlatFaultDisarmAll();
  EXPECT_EQ(0u, PlatFileSecurityCallCount());
  OsFreeEveryoneSd(nullptr);
  OsFreeAdminOwnerSd(nullptr);
}

// Anyone may write into the shared settings folder, so a link planted there must not lead
// the removal into a folder elsewhere: the link goes, its target and contents stay.
TEST_F(SettingsDirTest, RemoveTreeRemovesDirectoryLinksWithoutFollowingThem)
{
  ASSERT_TRUE(CreateDirectoryW(u"C:\\_kvml", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\keep", nullptr));
  WriteHostFile(HostPath(u"C:\\keep") + "/precious.txt", "x");
  ASSERT_EQ(0, symlink(HostPath(u"C:\\keep").c_str(), (HostPath(u"C:\\_kvml") + "/link").c_str()));
  ASSERT_EQ(
      0, symlink((HostPath(u"C:\\keep") + "/precious.txt").c_str(), (HostPath(u"C:\\_kvml") + "/file-link").c_str()));

  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW(u"C:\\_kvml\\link", &fd);
  ASSERT_NE(INVALID_HANDLE_VALUE, find);
  FindClose(find);
  EXPECT_EQ((DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT),
            fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));

  // Access rights applied to the tree pass the link by: neither it nor what lies behind it.
  ASSERT_TRUE(CreateDirectoryW(u"C:\\_kvml\\sub", nullptr));
  PlatFileSecurityClearCalls();
  EXPECT_TRUE(FileSetEveryoneAcl(u"C:\\_kvml", 6));
  std::vector<SecurityCall> calls = RecordedCalls();
  bool sawSub = false;
  for (const SecurityCall &c : calls) {
    EXPECT_EQ(c.path.find("link"), std::string::npos) << c.path;
    if (c.path.find("sub") != std::string::npos) sawSub = true;
  }
  EXPECT_TRUE(sawSub) << "an ordinary subfolder gets the rights";

  EXPECT_TRUE(FileRemoveTree(u"C:\\_kvml"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\_kvml\\link"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\_kvml\\file-link"));
  EXPECT_TRUE(FileExists(u"C:\\keep\\precious.txt"));
}

TEST_F(SettingsDirTest, RemoveTreeEmptiesAndRemoveDefaultDeletesTheFolder)
{
  ASSERT_TRUE(CreateDirectoryW(u"C:\\_kvml", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\_kvml\\a", nullptr));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\_kvml\\a\\b", nullptr));
  WriteHostFile(HostPath(u"C:\\_kvml\\a\\b") + "/f.txt", "x");
  WriteHostFile(HostPath(u"C:\\_kvml") + "/g.txt", "x");
  EXPECT_TRUE(FileRemoveTree(u"C:\\_kvml"));
  EXPECT_FALSE(FileExists(u"C:\\_kvml\\g.txt"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\_kvml\\a"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\_kvml")) << "the folder itself stays";
  EXPECT_TRUE(FileRemoveDefaultSettingsDir(nullptr));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"C:\\_kvml"));
  EXPECT_FALSE(FileRemoveDefaultSettingsDir(nullptr)) << "nothing to list";
  EXPECT_FALSE(FileRemoveTree(nullptr));
}
