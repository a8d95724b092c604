// INI wrappers, file helpers and path helpers.
#include <string>

#include "files/file_helpers.h"
#include "files/ini.h"
#include "os_fixture.h"
#include "files/paths.h"

class IniTest : public OsTest {};

TEST_F(IniTest, SectionNamesWithBracketsAreWrittenAndReadWithCommas)
{
  const WCHAR *file = u"C:\\kvmlsets.ini";
  ASSERT_TRUE(IniWriteString(u"Printer [2]", u"Key", u"value", file));
  std::string text = ReadHostFile(HostPath(file));
  EXPECT_NE(std::string::npos, text.find("[Printer ,2,]")) << text;
  EXPECT_NE(std::string::npos, text.find("Key=value")) << "flushed to the file at once: " << text;
  WCHAR out[32];
  EXPECT_EQ(5u, IniGetString(u"Printer [2]", u"Key", u"dflt", out, 32, file));
  EXPECT_EQ("value", Narrow(out));
  EXPECT_EQ(5u, IniGetString(u"Printer ,2,", u"Key", u"dflt", out, 32, file));
  ASSERT_TRUE(IniWriteString(u"]x[", u"Num", u"42", file));
  EXPECT_EQ(42u, IniGetInt(u"]x[", u"Num", 7, file));
  EXPECT_EQ(7u, IniGetInt(u"]x[", u"Missing", 7, file));
  // NULL value deletes the key, NULL key the section.
  ASSERT_TRUE(IniWriteString(u"]x[", u"Num", nullptr, file));
  EXPECT_EQ(3u, IniGetInt(u"]x[", u"Num", 3, file));
  ASSERT_TRUE(IniWriteString(u"Printer [2]", nullptr, nullptr, file));
  EXPECT_EQ(std::string::npos, ReadHostFile(HostPath(file)).find("Printer"));
}

TEST_F(IniTest, SanitizeChangesOnlyBrackets)
{
  WCHAR name[] = u"[a]b[[c]]";
  EXPECT_EQ(name, IniSanitizeSectionName(name));
  EXPECT_EQ(",a,b,,c,,", Narrow(name));
  EXPECT_EQ(nullptr, IniSanitizeSectionName(nullptr));
}

TEST_F(IniTest, AllocationFailureFallsBackToTheDefault)
{
  const WCHAR *file = u"C:\\a.ini";
  ASSERT_TRUE(IniWriteString(u"S", u"K", u"stored", file));
  WCHAR out[4] = {u'x', u'x', u'x', u'x'};
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(3u, IniGetString(u"S", u"K", u"default", out, 4, file));
  EXPECT_EQ("def", Narrow(out));
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(9u, IniGetInt(u"S", u"K", 9, file));
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_FALSE(IniWriteString(u"S", u"K", u"new", file));
  PlatFaultDisarmAll();
  WCHAR whole[16];
  EXPECT_EQ(6u, IniGetString(u"S", u"K", u"", whole, 16, file));
  EXPECT_EQ("stored", Narrow(whole)) << "the failed write changed nothing";
}

TEST_F(IniTest, OverlongSectionNameIsRefusedNotCut)
{
  std::u16string longName(KV_INI_SECTION_MAX + 1, u'S');
  const WCHAR *file = u"C:\\a.ini";
  EXPECT_FALSE(IniWriteString(longName.c_str(), u"K", u"v", file));
  EXPECT_FALSE(HostExists(HostPath(file)));
  EXPECT_EQ(5u, IniGetInt(longName.c_str(), u"K", 5, file));
  std::u16string maxName(KV_INI_SECTION_MAX, u'S');
  EXPECT_TRUE(IniWriteString(maxName.c_str(), u"K", u"v", file));
  EXPECT_EQ(0u, IniGetInt(maxName.c_str(), u"K", 5, file));  // "v" is not a number
}

TEST_F(IniTest, WriteKeepTimeRestoresTheLastWriteTime)
{
  const WCHAR *file = u"C:\\keep.ini";
  WriteHostFile(HostPath(file), "[S]\r\nA=1\r\n");
  FILETIME old = {0x12345600u, 0x01C00000u};
  HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &old));
  CloseHandle(h);
  ASSERT_TRUE(IniWriteKeepTime(u"S", u"B", u"2", file));
  EXPECT_EQ(2u, IniGetInt(u"S", u"B", 0, file));
  h = CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  FILETIME now = {};
  ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &now));
  CloseHandle(h);
  EXPECT_EQ(old.dwLowDateTime, now.dwLowDateTime);
  EXPECT_EQ(old.dwHighDateTime, now.dwHighDateTime);
  // A missing file is created and written.
  ASSERT_TRUE(IniWriteKeepTime(u"N", u"K", u"v", u"C:\\new.ini"));
  EXPECT_NE(std::string::npos, ReadHostFile(HostPath(u"C:\\new.ini")).find("K=v"));
}

class FileHelperTest : public OsTest {
 protected:
  void SetTime(const WCHAR *path, DWORD low)
  {
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    FILETIME t = {low, 0x01D00000u};
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &t));
    CloseHandle(h);
  }
};

TEST_F(FileHelperTest, ExistsAndForcedDeleteReportTheRealResult)
{
  WriteHostFile(HostPath(u"C:\\ro.txt"), "x");
  ASSERT_TRUE(SetFileAttributesW(u"C:\\ro.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(FileExists(u"C:\\ro.txt"));
  EXPECT_TRUE(FileDeleteForced(u"C:\\ro.txt"));
  EXPECT_FALSE(FileExists(u"C:\\ro.txt"));
  EXPECT_FALSE(FileDeleteForced(u"C:\\ro.txt"));
  EXPECT_FALSE(FileDeleteForced(nullptr));
  EXPECT_FALSE(FileExists(nullptr));
  // A file held open without delete sharing is not deleted, and the helper says so.
  WriteHostFile(HostPath(u"C:\\busy.txt"), "x");
  HANDLE h = CreateFileW(u"C:\\busy.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  BOOL deleted = FileDeleteForced(u"C:\\busy.txt");
  CloseHandle(h);
  EXPECT_EQ(deleted, !FileExists(u"C:\\busy.txt"));
}

TEST_F(FileHelperTest, DeleteMatchingDeletesOnlyMatches)
{
  ASSERT_TRUE(CreateDirectoryW(u"C:\\d", nullptr));
  WriteHostFile(HostPath(u"C:\\d") + "/a.tmp", "1");
  WriteHostFile(HostPath(u"C:\\d") + "/b.TMP", "1");
  WriteHostFile(HostPath(u"C:\\d") + "/c.ini", "1");
  EXPECT_FALSE(FileDeleteMatching(u"C:\\d\\*.xyz"));
  EXPECT_TRUE(FileDeleteMatching(u"C:\\d\\*.tmp"));
  EXPECT_FALSE(FileExists(u"C:\\d\\a.tmp"));
  EXPECT_FALSE(FileExists(u"C:\\d\\b.tmp"));
  EXPECT_TRUE(FileExists(u"C:\\d\\c.ini"));
  EXPECT_FALSE(FileDeleteMatching(u"*.ini")) << "no folder part";
}

TEST_F(FileHelperTest, CopyModeRule)
{
  WriteHostFile(HostPath(u"C:\\src.dat"), "new");
  WriteHostFile(HostPath(u"C:\\dst.dat"), "old");
  // Mode 1: an existing target is kept and counts as done.
  EXPECT_TRUE(FileCopyIfChanged(u"C:\\dst.dat", u"C:\\src.dat", KV_COPY_IF_MISSING));
  EXPECT_EQ("old", ReadHostFile(HostPath(u"C:\\dst.dat")));
  // Mode 2 with equal write times: nothing copied, answer 0.
  SetTime(u"C:\\src.dat", 100);
  SetTime(u"C:\\dst.dat", 100);
  EXPECT_FALSE(FileCopyIfChanged(u"C:\\dst.dat", u"C:\\src.dat", KV_COPY_IF_CHANGED));
  EXPECT_EQ("old", ReadHostFile(HostPath(u"C:\\dst.dat")));
  // Mode 2 with different times: refreshed, even over a read-only target.
  SetTime(u"C:\\dst.dat", 50);
  ASSERT_TRUE(SetFileAttributesW(u"C:\\dst.dat", FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(FileCopyIfChanged(u"C:\\dst.dat", u"C:\\src.dat", KV_COPY_IF_CHANGED));
  EXPECT_EQ("new", ReadHostFile(HostPath(u"C:\\dst.dat")));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesW(u"C:\\dst.dat"));
  // Mode 1 with a missing target copies.
  EXPECT_TRUE(FileCopyIfChanged(u"C:\\dst2.dat", u"C:\\src.dat", KV_COPY_IF_MISSING));
  EXPECT_EQ("new", ReadHostFile(HostPath(u"C:\\dst2.dat")));
  // Missing source, relative paths, the same file.
  EXPECT_FALSE(FileCopyIfChanged(u"C:\\x.dat", u"C:\\none.dat", KV_COPY_IF_CHANGED));
  EXPECT_FALSE(FileCopyIfChanged(u"dst.dat", u"C:\\src.dat", KV_COPY_IF_CHANGED));
  EXPECT_TRUE(FileCopyIfChanged(u"C:\\SRC.dat", u"C:\\src.dat", KV_COPY_IF_CHANGED));
}

TEST_F(FileHelperTest, InstallFromDriverDirectory)
{
  HANDLE h = InstallPrinter();
  FakeContext fc;
  fc.ctx.printer = h;
  std::u16string src = std::u16string(DriverDir()) + u"kvres.dll";
  WriteHostFile(HostPath(src.c_str()), "dll");
  EXPECT_TRUE(FileInstallFromDriverDir(u"kvres.dll", nullptr, KV_COPY_IF_MISSING, &fc.ctx));
  EXPECT_EQ("dll", ReadHostFile(HostPath(u"C:\\WINDOWS\\system32\\kvres.dll")));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\target", nullptr));
  EXPECT_TRUE(FileInstallFromDriverDirTo(u"C:\\target\\renamed.dll", u"kvres.dll", KV_COPY_IF_CHANGED, &fc.ctx));
  EXPECT_EQ("dll", ReadHostFile(HostPath(u"C:\\target\\renamed.dll")));
  EXPECT_FALSE(FileInstallFromDriverDir(u"absent.dll", nullptr, KV_COPY_IF_MISSING, &fc.ctx));
  // A name too long for a path buffer fails cleanly.
  std::u16string longName(300, u'n');
  EXPECT_FALSE(FileInstallFromDriverDir(longName.c_str(), nullptr, KV_COPY_IF_MISSING, &fc.ctx));
  EXPECT_FALSE(FileInstallFromDriverDirTo((u"C:\\" + longName).c_str(), u"kvres.dll", KV_COPY_IF_MISSING, &fc.ctx));
}

TEST_F(FileHelperTest, EnsureDirAndClearReadOnly)
{
  EXPECT_TRUE(FileEnsureDir(u"C:\\new"));
  EXPECT_TRUE(FileEnsureDir(u"C:\\new"));
  EXPECT_FALSE(FileEnsureDir(u"C:\\no\\such\\parent"));
  EXPECT_FALSE(FileEnsureDir(nullptr));
  WriteHostFile(HostPath(u"C:\\r.txt"), "x");
  ASSERT_TRUE(SetFileAttributesW(u"C:\\r.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(FileClearReadOnly(u"C:\\r.txt"));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN), GetFileAttributesW(u"C:\\r.txt") & 0xFF);
}

TEST_F(FileHelperTest, OpenBitmapAcceptsOnlyInfoHeaders)
{
  auto bitmap = [](unsigned headerSize) {
    std::string b = "BM";
    b.append(12, '\0');
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((headerSize >> (8 * i)) & 0xFF));
    b.append("rest");
    return b;
  };
  WriteHostFile(HostPath(u"C:\\info.bmp"), bitmap(40));
  WriteHostFile(HostPath(u"C:\\core.bmp"), bitmap(12));
  HFILE f = HFILE_ERROR;
  ASSERT_TRUE(FileOpenBitmap(u"C:\\info.bmp", &f));
  char next[4];
  EXPECT_EQ(4u, FileReadRaw(f, next, 4));
  EXPECT_EQ("rest", std::string(next, 4)) << "left just after the size field";
  _lclose(f);
  EXPECT_FALSE(FileOpenBitmap(u"C:\\core.bmp", &f));
  EXPECT_TRUE(DeleteFileW(u"C:\\core.bmp")) << "the rejected file was closed";
  EXPECT_FALSE(FileOpenBitmap(u"C:\\missing.bmp", &f));
  std::u16string longPath = u"C:\\" + std::u16string(300, u'b');
  EXPECT_FALSE(FileOpenBitmap(longPath.c_str(), &f));
}

TEST(PathHelpers, FileNamePartsAndExtensions)
{
  DWORD n = 99;
  EXPECT_EQ("b.ini", Narrow(PathFindFileName(u"C:\\a\\b.ini")));
  EXPECT_EQ("", Narrow(PathFindFileName(u"")));
  EXPECT_EQ(nullptr, PathFindFileName(nullptr));
  EXPECT_EQ("gz", Narrow(PathFindExt(u"C:\\a.b\\x.tar.gz", &n)));
  EXPECT_EQ(2u, n);
  EXPECT_EQ("name", Narrow(PathFindExt(u"C:\\a.b\\name", &n)));
  EXPECT_EQ(0u, n);
  EXPECT_EQ("x.tar.gz", Narrow(PathFileStem(u"C:\\x.tar.gz", &n)));
  EXPECT_EQ(1u, n);
  WCHAR out[MAX_PATH];
  EXPECT_TRUE(PathWithKsqExt(out, MAX_PATH, u"C:\\d\\set.ini"));
  EXPECT_EQ("C:\\d\\set.ksq", Narrow(out));
  EXPECT_TRUE(PathReplaceExt(out, MAX_PATH, u"C:\\d.x\\noext", u"ksr"));
  EXPECT_EQ("C:\\d.x\\noext.ksr", Narrow(out));
  EXPECT_FALSE(PathReplaceExt(out, MAX_PATH, u"", u"ksr"));
  EXPECT_FALSE(PathReplaceExt(out, 8, u"C:\\a.ini", u"ksrx")) << "does not fit";
  EXPECT_EQ("", Narrow(out));
  struct {
    const char16_t *path;
    BOOL expected;
  } shortExt[] = {{u"a.b", TRUE},   {u"C:\\x\\abc.ini", TRUE}, {u"a.ini4", FALSE},
                  {u".ini", FALSE}, {u"abc", FALSE},           {u"abc.", FALSE}};
  for (auto &c : shortExt) EXPECT_EQ(c.expected, PathHasShortExtAlias(c.path)) << Narrow(c.path);
}

TEST(PathHelpers, JoinAndAppendAreBounded)
{
  WCHAR buf[8];
  EXPECT_TRUE(PathJoin(buf, 8, u"C:", u'\\', u"abcd"));  // 7 characters and the terminator
  EXPECT_EQ("C:\\abcd", Narrow(buf));
  EXPECT_FALSE(PathJoin(buf, 8, u"C:", u'\\', u"abcde"));
  EXPECT_EQ("", Narrow(buf));
  WCHAR app[6] = u"ab";
  EXPECT_TRUE(PathAppendName(app, 6, u"cde"));
  EXPECT_FALSE(PathAppendName(app, 6, u"f"));
  EXPECT_EQ("abcde", Narrow(app));
}

TEST_F(FileHelperTest, DriverAndSystemFolderPaths)
{
  WCHAR buf[MAX_PATH];
  ASSERT_NE(nullptr, OsGetDriverDir(nullptr, buf, MAX_PATH)) << "falls back without driver information";
  EXPECT_EQ("C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\2\\", Narrow(buf));
  HANDLE h = InstallPrinter();
  ASSERT_NE(nullptr, OsGetDriverDir(h, buf, MAX_PATH));
  EXPECT_EQ(Narrow(DriverDir()), Narrow(buf));
  EXPECT_EQ(nullptr, OsGetDriverDir(h, buf, 10));
  EXPECT_EQ("", Narrow(buf));
  // "C:\WINDOWS\system32" + "\" + "a.ini" is 25 characters: 26 fit, 25 do not.
  EXPECT_EQ("C:\\WINDOWS\\system32\\a.ini", Narrow(PathInSystemDir(buf, 26, u"a.ini")));
  EXPECT_EQ("", Narrow(PathInSystemDir(buf, 25, u"a.ini")));
  buf[0] = u'k';
  buf[1] = 0;
  EXPECT_EQ("k", Narrow(PathInSystemDir(buf, 0, u"a.ini"))) << "capacity 0 leaves the buffer";
}
