// The UserEnv.dll stand-in, reached the way the driver reaches it: loaded by name,
// its export found by GetProcAddress, called with a token of the process.
#include <filesystem>

#include "module_test_support.h"

namespace {

typedef BOOL(WINAPI *ProfileProc)(HANDLE, LPWSTR, LPDWORD);

class UserEnvTest : public ModuleTest {
 protected:
  void SetUp() override
  {
    ModuleTest::SetUp();
    // The link file the build wrote for the DLL, copied onto the machine.
    std::filesystem::copy_file(std::string(KV_STANDIN_LINKS) + "/UserEnv.dll",
                               HostPath(u"C:\\WINDOWS\\system32\\UserEnv.dll"));
    dll_ = LoadLibraryW(u"USERENV.DLL");
    ASSERT_NE(dll_, nullptr) << PlatModuleLastLoadError();
    profile_ = reinterpret_cast<ProfileProc>(GetProcAddress(dll_, "GetUserProfileDirectoryW"));
    ASSERT_NE(profile_, nullptr);
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token_));
  }
  void TearDown() override
  {
    if (token_) {
      EXPECT_TRUE(CloseHandle(token_));
    }
    if (dll_) {
      EXPECT_TRUE(FreeLibrary(dll_));
    }
    ModuleTest::TearDown();
  }
  HMODULE dll_ = nullptr;
  ProfileProc profile_ = nullptr;
  HANDLE token_ = nullptr;
};

}  // namespace

TEST_F(UserEnvTest, AnswersTheProfileFolderWithTheSizeProtocol)
{
  const std::u16string want = u"C:\\Documents and Settings\\kvuser";
  const DWORD need = static_cast<DWORD>(want.size() + 1);
  struct Case {
    DWORD size;
    bool withBuffer;
    BOOL ok;
    DWORD error;
  } cases[] = {
      {need + 20, true, TRUE, 0},
      {need, true, TRUE, 0},
      {need - 1, true, FALSE, ERROR_INSUFFICIENT_BUFFER},
      {0, true, FALSE, ERROR_INSUFFICIENT_BUFFER},
      {100, false, FALSE, ERROR_INSUFFICIENT_BUFFER},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.size);
    WCHAR buf[128];
    buf[0] = u'#';
    buf[1] = 0;
    DWORD size = c.size;
    SetLastError(0);
    EXPECT_EQ(profile_(token_, c.withBuffer ? buf : nullptr, &size), c.ok);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(size, need);  // the size needed, terminator included, in every case
    EXPECT_EQ(std::u16string(buf), c.ok ? want : u"#");
  }
}

TEST_F(UserEnvTest, FollowsTheMachinesProfileAndChecksItsArguments)
{
  ASSERT_TRUE(SetEnvironmentVariableW(u"USERPROFILE", u"D:\\Users\\other"));
  WCHAR buf[64];
  DWORD size = 64;
  ASSERT_TRUE(profile_(token_, buf, &size));
  EXPECT_EQ(std::u16string(buf), u"D:\\Users\\other");
  struct Case {
    HANDLE token;
    LPDWORD size;
    DWORD error;
  } cases[] = {{nullptr, &size, ERROR_INVALID_HANDLE}, {token_, nullptr, ERROR_INVALID_PARAMETER}};
  for (const Case &c : cases) {
    SetLastError(0);
    EXPECT_FALSE(profile_(c.token, buf, c.size));
    EXPECT_EQ(GetLastError(), c.error);
  }
  ASSERT_TRUE(SetEnvironmentVariableW(u"USERPROFILE", nullptr));
  size = 64;
  SetLastError(0);
  EXPECT_FALSE(profile_(token_, buf, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}
