// The machine root: mapping of Windows paths, system folders, environment.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "machine_fixture.h"
#include "win32/system.h"

using RootTest = MachineTest;

TEST_F(RootTest, MapsDrivePathsCaseInsensitively)
{
  // The fixture made C/WINDOWS/system32: any case of the Windows path finds it.
  EXPECT_EQ(HostPath(u"C:\\WINDOWS\\system32\\x.ini"), Root() + "/C/WINDOWS/system32/x.ini");
  EXPECT_EQ(HostPath(u"c:\\windows\\SYSTEM32\\x.ini"), Root() + "/C/WINDOWS/system32/x.ini");
  EXPECT_EQ(HostPath(u"C:/Windows/System32/../Temp/./a.txt"), Root() + "/C/WINDOWS/Temp/a.txt");
  // Names that do not exist yet keep the case they were given.
  EXPECT_EQ(HostPath(u"C:\\New\\Sub\\File.Ini"), Root() + "/C/New/Sub/File.Ini");
  // Trailing dots and blanks of a name are dropped, as Windows does.
  EXPECT_EQ(HostPath(u"C:\\WINDOWS\\a.ini. "), Root() + "/C/WINDOWS/a.ini");
  // ".." never climbs above the drive.
  EXPECT_EQ(HostPath(u"C:\\..\\..\\WINDOWS"), Root() + "/C/WINDOWS");
}

// Names looked up in a folder written as it is (found in another case, or missing) are
// remembered while the folder stays as it was; every change of its entries shows at the next mapping:
// made on the host behind the layer's back (even with the folder's change time set back
// by hand), or made through the layer.
TEST_F(RootTest, FolderLookupsFollowEveryChangeOfTheFolder)
{
  std::string dir = Root() + "/C/WINDOWS/Temp/Memo";
  ASSERT_EQ(mkdir(dir.c_str(), 0777), 0);
  WriteHostFile(dir + "/Data.ini", "x");
  // One old change time, set again after each change: the folder is settled, so its
  // lookups are remembered, and only its status-change time tells that it changed.
  struct timespec old[2];
  clock_gettime(CLOCK_REALTIME, &old[0]);
  old[0].tv_sec -= 3600;
  old[1] = old[0];
  auto settle = [&] { ASSERT_EQ(utimensat(AT_FDCWD, dir.c_str(), old, 0), 0); };
  struct Case {
    const char *what;
    std::function<void()> change;
    const char16_t *name;
    const char *answer;  // under the folder
  } cases[] = {
      {"found in another case", [] {}, u"C:\\WINDOWS\\Temp\\Memo\\DATA.INI", "/Data.ini"},
      {"asked again", [] {}, u"C:\\WINDOWS\\Temp\\Memo\\DATA.INI", "/Data.ini"},
      {"missing", [] {}, u"C:\\WINDOWS\\Temp\\Memo\\new.ini", "/new.ini"},
      {"created on the host", [&] { WriteHostFile(dir + "/NEW.INI", "y"); }, u"C:\\WINDOWS\\Temp\\Memo\\new.ini",
       "/NEW.INI"},
      {"renamed on the host, time set back",
       [&] {
         ASSERT_EQ(rename((dir + "/Data.ini").c_str(), (dir + "/Gone.ini").c_str()), 0);
         settle();
       },
       u"C:\\WINDOWS\\Temp\\Memo\\DATA.INI", "/DATA.INI"},
      {"renamed through the layer",
       [&] { ASSERT_TRUE(MoveFileW(u"C:\\WINDOWS\\Temp\\Memo\\Gone.ini", u"C:\\WINDOWS\\Temp\\Memo\\data.INI")); },
       u"C:\\WINDOWS\\Temp\\Memo\\DATA.INI", "/data.INI"},
      {"deleted through the layer", [&] { ASSERT_TRUE(DeleteFileW(u"C:\\WINDOWS\\Temp\\Memo\\data.INI")); },
       u"C:\\WINDOWS\\Temp\\Memo\\DATA.INI", "/DATA.INI"},
      {"in a missing folder", [] {}, u"C:\\WINDOWS\\Temp\\Memo\\Sub\\a.ini", "/Sub/a.ini"},
      {"the folder made on the host", [&] { ASSERT_EQ(mkdir((dir + "/SUB").c_str(), 0777), 0); },
       u"C:\\WINDOWS\\Temp\\Memo\\Sub\\a.ini", "/SUB/a.ini"},
  };
  settle();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    c.change();
    EXPECT_EQ(HostPath(c.name), dir + c.answer);
    EXPECT_EQ(HostPath(c.name), dir + c.answer) << "the same answer the second time";
    settle();
  }
}

TEST_F(RootTest, RelativePathsUseTheCurrentFolder)
{
  ASSERT_TRUE(SetCurrentDirectoryW(u"c:\\windows\\system32"));
  WCHAR cwd[MAX_PATH];
  ASSERT_EQ(GetCurrentDirectoryW(MAX_PATH, cwd), 19u);
  EXPECT_EQ(std::u16string(cwd), u"C:\\windows\\system32");
  EXPECT_EQ(HostPath(u"kvmlmodl.ini"), Root() + "/C/WINDOWS/system32/kvmlmodl.ini");
  EXPECT_EQ(HostPath(u"\\top.ini"), Root() + "/C/top.ini");
  EXPECT_EQ(HostPath(u"C:rel.ini"), Root() + "/C/WINDOWS/system32/rel.ini");
  EXPECT_EQ(HostPath(u"D:rel.ini"), Root() + "/D/rel.ini");
  SetLastError(0);
  EXPECT_FALSE(SetCurrentDirectoryW(u"C:\\missing"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(RootTest, RefusesPathsThatCannotMap)
{
  struct Case {
    const WCHAR *path;
    DWORD error;
  } cases[] = {
      {u"\\\\server\\share\\x.ini", ERROR_BAD_NETPATH},
      {u"//server/share", ERROR_BAD_NETPATH},
      {u"", ERROR_PATH_NOT_FOUND},
      {u"C:\\a|b", ERROR_INVALID_NAME},
      {u"C:\\a\"b", ERROR_INVALID_NAME},
      {u"C:\\a<b", ERROR_INVALID_NAME},
      {u"C:\\x:y", ERROR_INVALID_NAME},
      {u"1:\\x", ERROR_INVALID_NAME},
      {u"C:\\a\x01z", ERROR_INVALID_NAME},
  };
  char buf[512];
  for (auto &c : cases) {
    SetLastError(0);
    EXPECT_FALSE(PlatMapPath(c.path, buf, sizeof buf)) << Narrow(c.path);
    EXPECT_EQ(GetLastError(), c.error) << Narrow(c.path);
  }
  std::u16string longPath = u"C:\\" + std::u16string(300, u'a');
  SetLastError(0);
  EXPECT_FALSE(PlatMapPath(longPath.c_str(), buf, sizeof buf));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILENAME_EXCED_RANGE);
  SetLastError(0);
  EXPECT_FALSE(PlatMapPath(u"C:\\WINDOWS", buf, 4));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(RootTest, SystemFoldersFollowTheSizeProtocol)
{
  WCHAR buf[MAX_PATH];
  EXPECT_EQ(GetWindowsDirectoryW(buf, MAX_PATH), 10u);
  EXPECT_EQ(std::u16string(buf), u"C:\\WINDOWS");
  EXPECT_EQ(GetSystemDirectoryW(buf, MAX_PATH), 19u);
  EXPECT_EQ(std::u16string(buf), u"C:\\WINDOWS\\system32");
  EXPECT_EQ(GetSystemWindowsDirectoryW(buf, MAX_PATH), 10u);
  // Too small: the answer is the size needed including the terminator.
  EXPECT_EQ(GetSystemDirectoryW(buf, 5), 20u);
  EXPECT_EQ(GetWindowsDirectoryW(nullptr, 0), 11u);
  EXPECT_EQ(GetTempPathW(MAX_PATH, buf), 16u);
  EXPECT_EQ(std::u16string(buf), u"C:\\WINDOWS\\Temp\\");
}

TEST_F(RootTest, ExpandsEnvironmentStrings)
{
  struct Case {
    const WCHAR *in;
    const WCHAR *out;
  } cases[] = {
      {u"%windir%\\x", u"C:\\WINDOWS\\x"},
      {u"%SYSTEMROOT%\\system32", u"C:\\WINDOWS\\system32"},
      {u"%nope%\\x", u"%nope%\\x"},
      {u"50%", u"50%"},
      {u"%nope%windir%", u"%nopeC:\\WINDOWS"},
      {u"%%windir%", u"%C:\\WINDOWS"},
      {u"", u""},
  };
  for (auto &c : cases) {
    WCHAR buf[128];
    DWORD n = ExpandEnvironmentStringsW(c.in, buf, 128);
    EXPECT_EQ(std::u16string(buf), std::u16string(c.out)) << Narrow(c.in);
    EXPECT_EQ(n, std::u16string(c.out).size() + 1) << Narrow(c.in);
  }
  WCHAR small[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(ExpandEnvironmentStringsW(u"%windir%", small, 4), 11u);
  EXPECT_EQ(small[0], 0);
  EXPECT_TRUE(SetEnvironmentVariableW(u"KVTEST", u"v"));
  WCHAR v[8];
  EXPECT_EQ(GetEnvironmentVariableW(u"kvtest", v, 8), 1u);
  EXPECT_TRUE(SetEnvironmentVariableW(u"KVTEST", nullptr));
  SetLastError(0);
  EXPECT_EQ(GetEnvironmentVariableW(u"KVTEST", v, 8), 0u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ENVVAR_NOT_FOUND);
}
