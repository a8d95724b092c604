// The host drive: a drive letter that stands for the host's own root.
#include <string>

#include "kvplat/host_drive.h"
#include "machine_fixture.h"

namespace {

using HostDriveTest = MachineTest;

std::u16string WinOf(const std::string &posix)
{
  WCHAR buf[MAX_PATH];
  if (!PlatHostPathToWin(posix.c_str(), buf, MAX_PATH)) return u"(failed)";
  return buf;
}

std::string ReadAll(const WCHAR *path)
{
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (h == INVALID_HANDLE_VALUE) return "(cannot open)";
  char buf[256];
  DWORD got = 0;
  BOOL ok = ReadFile(h, buf, sizeof buf, &got, NULL);
  CloseHandle(h);
  return ok ? std::string(buf, got) : "(cannot read)";
}

TEST_F(HostDriveTest, IsOffUntilTurnedOnAndAfterAReset)
{
  EXPECT_EQ(PlatGetHostDrive(), 0);
  EXPECT_EQ(HostPath(u"Z:\\x.kvd"), Root() + "/Z/x.kvd");  // an ordinary drive of the machine
  WCHAR buf[MAX_PATH];
  SetLastError(0);
  EXPECT_FALSE(PlatHostPathToWin("/tmp", buf, MAX_PATH));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_DRIVE);
  for (WCHAR bad : {u'1', u':', u'\x00C4'}) {
    SetLastError(0);
    EXPECT_FALSE(PlatSetHostDrive(bad));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_DRIVE);
  }
  ASSERT_TRUE(PlatSetHostDrive(u'z'));
  EXPECT_EQ(PlatGetHostDrive(), u'Z');
  PlatResetForTest();
  EXPECT_EQ(PlatGetHostDrive(), 0);
}

TEST_F(HostDriveTest, ReachesHostFilesWhereTheyLie)
{
  ASSERT_TRUE(PlatSetHostDrive(u'Z'));
  // A folder outside every drive of the machine, with a blank and non-ASCII letters.
  std::string dir = Root() + "/outside dir/Grüße";
  WriteHostFile(dir + "/Printer One.kvd", "*FileVersion: 1.41\n");
  std::u16string win = WinOf(dir + "/Printer One.kvd");
  ASSERT_EQ(win.substr(0, 3), u"Z:\\");
  EXPECT_EQ(HostPath(win.c_str()), dir + "/Printer One.kvd");
  EXPECT_EQ(ReadAll(win.c_str()), "*FileVersion: 1.41\n");
  // Names are matched without regard to case, as on any drive.
  std::u16string upper = WinOf(dir) + u"\\PRINTER ONE.KVD";
  EXPECT_EQ(ReadAll(upper.c_str()), "*FileVersion: 1.41\n");
  // A file written through the drive lands beside it on the host.
  std::u16string out = WinOf(dir) + u"\\Printer One.BCS";
  HANDLE h = CreateFileW(out.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD wrote = 0;
  ASSERT_TRUE(WriteFile(h, "abc", 3, &wrote, NULL));
  CloseHandle(h);
  EXPECT_EQ(ReadHostFile(dir + "/Printer One.BCS"), "abc");
  // The drive's root is the host's root, and nothing of it lies under the machine root.
  EXPECT_EQ(HostPath(u"Z:\\"), "/");
  EXPECT_EQ(HostPath(u"z:\\..\\tmp"), "/tmp");
  EXPECT_FALSE(HostExists(Root() + "/Z"));
}

TEST_F(HostDriveTest, TurnsHostPathsIntoWindowsPaths)
{
  ASSERT_TRUE(PlatSetHostDrive(u'Z'));
  struct Case {
    const char *posix;
    const char16_t *win;  // nullptr: refused with error
    DWORD error;
  } cases[] = {
      {"/", u"Z:\\", 0},
      {"/srv/a b/x.kvd", u"Z:\\srv\\a b\\x.kvd", 0},
      {"//srv//a/./b/../c/", u"Z:\\srv\\a\\c", 0},
      {"/../..", u"Z:\\", 0},
      {"/\xE6\x97\xA5\xE6\x9C\xAC/Gr\xC3\xBC\xC3\x9F"
       "e.kvd",
       u"Z:\\\u65E5\u672C\\Gr\u00FC\u00DFe.kvd", 0},
      {"relative/x.kvd", nullptr, ERROR_INVALID_PARAMETER},
      {"", nullptr, ERROR_INVALID_PARAMETER},
      {"/a\\b", nullptr, ERROR_INVALID_NAME},
      {"/a:b", nullptr, ERROR_INVALID_NAME},
      {"/a*b", nullptr, ERROR_INVALID_NAME},
      {"/name.", nullptr, ERROR_INVALID_NAME},
      {"/name ", nullptr, ERROR_INVALID_NAME},
      {"/bad\xFF", nullptr, ERROR_INVALID_NAME},
      {"/tab\there", nullptr, ERROR_INVALID_NAME},
  };
  for (const auto &c : cases) {
    WCHAR buf[MAX_PATH];
    SetLastError(0);
    BOOL ok = PlatHostPathToWin(c.posix, buf, MAX_PATH);
    if (c.win != nullptr) {
      EXPECT_TRUE(ok) << c.posix;
      EXPECT_EQ(std::u16string(ok ? buf : u""), std::u16string(c.win)) << c.posix;
    } else {
      EXPECT_FALSE(ok) << c.posix;
      EXPECT_EQ(GetLastError(), c.error) << c.posix;
    }
  }
  WCHAR small[4];
  SetLastError(0);
  EXPECT_FALSE(PlatHostPathToWin("/abc", small, 4));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  WCHAR buf[MAX_PATH];
  EXPECT_FALSE(PlatHostPathToWin(("/" + std::string(300, 'a')).c_str(), buf, MAX_PATH));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILENAME_EXCED_RANGE);
  EXPECT_FALSE(PlatHostPathToWin(nullptr, buf, MAX_PATH));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

}  // namespace
