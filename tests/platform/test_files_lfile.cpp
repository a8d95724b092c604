// The 16-bit file functions on ANSI paths.
#include "files_fixture.h"

using FilesLegacy = FilesTest;

namespace {
constexpr DWORD kSentinel = 0x1F11E;
const UINT kLError = static_cast<UINT>(HFILE_ERROR);
}  // namespace

TEST_F(FilesLegacy, CreateWriteSeekRead)
{
  HFILE f = _lcreat("C:\\WINDOWS\\kvml.ini", 0);
  ASSERT_NE(f, HFILE_ERROR);
  EXPECT_EQ(_lwrite(f, "[Section]\r\n", 11), 11u);
  EXPECT_EQ(_hwrite(f, "Key=Value\r\n", 11), 11);
  EXPECT_EQ(_llseek(f, 0, FILE_END), 22);
  EXPECT_EQ(_llseek(f, 1, FILE_BEGIN), 1);
  char buf[32] = {};
  EXPECT_EQ(_lread(f, buf, 7), 7u);
  EXPECT_EQ(std::string(buf, 7), "Section");
  EXPECT_EQ(_llseek(f, 4, FILE_CURRENT), 12);
  EXPECT_EQ(_hread(f, buf, sizeof buf), 10);
  EXPECT_EQ(std::string(buf, 10), "ey=Value\r\n");
  EXPECT_EQ(_lread(f, buf, sizeof buf), 0u);  // at the end
  // The HFILE is a handle of the shared table.
  EXPECT_EQ(GetFileSize(reinterpret_cast<HANDLE>(static_cast<intptr_t>(f)), nullptr), 22u);
  EXPECT_EQ(_lclose(f), 0);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\kvml.ini"), "[Section]\r\nKey=Value\r\n");
  SetLastError(kSentinel);
  EXPECT_EQ(_lclose(f), HFILE_ERROR);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  // _lcreat empties an existing file.
  f = _lcreat("c:\\windows\\KVML.INI", 0);
  ASSERT_NE(f, HFILE_ERROR);
  _lclose(f);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\kvml.ini"), "");
}

TEST_F(FilesLegacy, ZeroByteWriteCutsAtThePointer)
{
  Put(u"C:\\WINDOWS\\cut.ini", "0123456789");
  HFILE f = _lopen("C:\\WINDOWS\\cut.ini", OF_READWRITE);
  ASSERT_NE(f, HFILE_ERROR);
  EXPECT_EQ(_llseek(f, 4, FILE_BEGIN), 4);
  EXPECT_EQ(_lwrite(f, "", 0), 0u);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\cut.ini"), "0123");
  EXPECT_EQ(_lwrite(f, "ab", 2), 2u);
  EXPECT_EQ(_llseek(f, 2, FILE_BEGIN), 2);
  EXPECT_EQ(_hwrite(f, nullptr, 0), 0);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\cut.ini"), "01");
  // Past the end, a zero-byte write extends the file.
  EXPECT_EQ(_llseek(f, 5, FILE_BEGIN), 5);
  EXPECT_EQ(_lwrite(f, "", 0), 0u);
  _lclose(f);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\cut.ini"), std::string("01\0\0\0", 5));
  // Not on a handle opened for reading.
  f = _lopen("C:\\WINDOWS\\cut.ini", OF_READ);
  SetLastError(kSentinel);
  EXPECT_EQ(_lwrite(f, "", 0), kLError);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  _lclose(f);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\cut.ini").size(), 5u);
}

TEST_F(FilesLegacy, InjectedWriteFailures)
{
  Put(u"C:\\WINDOWS\\f.ini", "old contents");
  HFILE f = _lopen("C:\\WINDOWS\\f.ini", OF_READWRITE | OF_SHARE_EXCLUSIVE);
  ASSERT_NE(f, HFILE_ERROR);
  PlatFaultArm(PLAT_FAULT_FILE_WRITE, 1);
  SetLastError(kSentinel);
  EXPECT_EQ(_lwrite(f, "new", 3), kLError);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
  // A zero-byte write is a write too: the cut does not happen.
  PlatFaultArm(PLAT_FAULT_FILE_WRITE, 1);
  EXPECT_EQ(_llseek(f, 3, FILE_BEGIN), 3);
  EXPECT_EQ(_lwrite(f, "", 0), kLError);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
  PlatFaultArm(PLAT_FAULT_FILE_WRITE, 1);
  EXPECT_EQ(_hwrite(f, "xyz", 3), HFILE_ERROR);
  _lclose(f);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\f.ini"), "old contents");
}

TEST_F(FilesLegacy, ShareModesOfOpen)
{
  Put(u"C:\\WINDOWS\\s.ini", "s");
  struct Case {
    int first, second;
    bool secondOpens;
  } cases[] = {
      {OF_READ | OF_SHARE_DENY_WRITE, OF_READ | OF_SHARE_DENY_WRITE, true},
      {OF_READ | OF_SHARE_DENY_WRITE, OF_WRITE | OF_SHARE_DENY_NONE, false},
      {OF_READ | OF_SHARE_EXCLUSIVE, OF_READ | OF_SHARE_DENY_NONE, false},
      {OF_READ | OF_SHARE_DENY_NONE, OF_READWRITE | OF_SHARE_DENY_NONE, true},
      {OF_READ | OF_SHARE_COMPAT, OF_WRITE | OF_SHARE_COMPAT, true},
      {OF_WRITE | OF_SHARE_DENY_READ, OF_READ | OF_SHARE_DENY_NONE, false},
      {OF_WRITE | OF_SHARE_DENY_READ, OF_WRITE | OF_SHARE_DENY_NONE, true},
  };
  for (const Case &c : cases) {
    HFILE a = _lopen("C:\\WINDOWS\\s.ini", c.first);
    ASSERT_NE(a, HFILE_ERROR) << std::hex << c.first;
    SetLastError(kSentinel);
    HFILE b = _lopen("C:\\WINDOWS\\s.ini", c.second);
    EXPECT_EQ(b != HFILE_ERROR, c.secondOpens) << std::hex << c.first << " then " << c.second;
    if (b != HFILE_ERROR)
      _lclose(b);
    else
      EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    _lclose(a);
  }
}

TEST_F(FilesLegacy, Errors)
{
  Put(u"C:\\WINDOWS\\e.ini", "e");
  struct Case {
    const char *path;
    int mode;
    DWORD error;
  } cases[] = {
      {"C:\\WINDOWS\\none.ini", OF_READ, ERROR_FILE_NOT_FOUND},
      {"C:\\nowhere\\e.ini", OF_READ, ERROR_PATH_NOT_FOUND},
      {"C:\\WINDOWS\\e.ini", 3, ERROR_INVALID_PARAMETER},
      {"C:\\WINDOWS\\e.ini", OF_READ | 0x50, ERROR_INVALID_PARAMETER},
      {"C:\\WINDOWS", OF_READ, ERROR_ACCESS_DENIED},
      {nullptr, OF_READ, ERROR_INVALID_PARAMETER},
  };
  for (const Case &c : cases) {
    SetLastError(kSentinel);
    EXPECT_EQ(_lopen(c.path, c.mode), HFILE_ERROR) << (c.path ? c.path : "(null)");
    EXPECT_EQ(GetLastError(), c.error) << (c.path ? c.path : "(null)");
  }
  HFILE f = _lopen("C:\\WINDOWS\\e.ini", OF_READ);
  ASSERT_NE(f, HFILE_ERROR);
  SetLastError(kSentinel);
  EXPECT_EQ(_llseek(f, -1, FILE_BEGIN), HFILE_ERROR);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(_llseek(f, 0, FILE_CURRENT), 0);
  EXPECT_EQ(_hread(f, nullptr, -1), HFILE_ERROR);
  char buf[4];
  EXPECT_EQ(_lread(HFILE_ERROR, buf, 4), kLError);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  _lclose(f);
  EXPECT_EQ(_lcreat("C:\\nowhere\\x.ini", 0), HFILE_ERROR);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(_lcreat("C:\\WINDOWS\\x.ini", 8), HFILE_ERROR);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(FilesLegacy, CreateAttributes)
{
  struct Case {
    int attribute;
    DWORD attrs;
  } cases[] = {
      {0, FILE_ATTRIBUTE_ARCHIVE},
      {1, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
      {2, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
      {4, FILE_ATTRIBUTE_ARCHIVE},  // system is not kept
  };
  for (const Case &c : cases) {
    HFILE f = _lcreat("C:\\WINDOWS\\attr.ini", c.attribute);
    ASSERT_NE(f, HFILE_ERROR) << c.attribute;
    EXPECT_EQ(_lwrite(f, "x", 1), 1u);  // writable although created read-only
    _lclose(f);
    EXPECT_EQ(GetFileAttributesW(u"C:\\WINDOWS\\attr.ini"), c.attrs) << c.attribute;
    if (c.attribute == 1) {
      SetLastError(kSentinel);
      EXPECT_EQ(_lopen("C:\\WINDOWS\\attr.ini", OF_WRITE), HFILE_ERROR);
      EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
    }
    ASSERT_TRUE(SetFileAttributesW(u"C:\\WINDOWS\\attr.ini", FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(DeleteFileW(u"C:\\WINDOWS\\attr.ini"));
  }
}

TEST_F(FilesLegacy, PathsInTheActiveCodePage)
{
  Put(u"C:\\WINDOWS\\na\u00efve.ini", "1252");
  HFILE f = _lopen("C:\\WINDOWS\\NA\xcfVE.INI", OF_READ);  // 0xCF is I-diaeresis in 1252
  ASSERT_NE(f, HFILE_ERROR);
  char buf[8];
  EXPECT_EQ(_lread(f, buf, sizeof buf), 4u);
  _lclose(f);
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  f = _lcreat("C:\\WINDOWS\\\x83\x65\x83\x58\x83\x67.ini", 0);  // katakana "tesuto" in Shift-JIS
  ASSERT_NE(f, HFILE_ERROR);
  _lclose(f);
  EXPECT_TRUE(Exists(u"C:\\WINDOWS\\\u30c6\u30b9\u30c8.ini"));
}
