// Opening files and handle I/O: dispositions, share modes, read-only files, errors,
// the file pointer, write failures, times and attributes.
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "files_fixture.h"

using FilesOpen = FilesTest;
using FilesIo = FilesTest;
using FilesAttr = FilesTest;

namespace {
constexpr DWORD kSentinel = 0xDEAD;
}

TEST_F(FilesOpen, DispositionsAgainstExistence)
{
  struct Case {
    DWORD disposition;
    bool exists;
    bool opens;
    DWORD error;          // last error after the call
    const char *content;  // the file afterwards; nullptr: no file
  } cases[] = {
      {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
      {CREATE_NEW, false, true, NO_ERROR, ""},
      {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {CREATE_ALWAYS, false, true, NO_ERROR, ""},
      {OPEN_EXISTING, true, true, NO_ERROR, "old"},
      {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
      {OPEN_ALWAYS, false, true, NO_ERROR, ""},
      {TRUNCATE_EXISTING, true, true, NO_ERROR, ""},
      {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
  };
  const WCHAR *path = u"C:\\WINDOWS\\Temp\\disp.dat";
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << (c.exists ? " existing" : " missing"));
    unlink(HostPath(path).c_str());
    if (c.exists) Put(path, "old");
    SetLastError(kSentinel);
    HANDLE h = Open(path, kRW, 0, c.disposition);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
    if (h != INVALID_HANDLE_VALUE) {
      EXPECT_EQ(GetFileSize(h, nullptr), strlen(c.content));
      EXPECT_TRUE(CloseHandle(h));
    }
    EXPECT_EQ(Exists(path), c.content != nullptr);
    if (c.content) {
      EXPECT_EQ(Get(path), c.content);
    }
  }
}

// Opening an existing file: by its name as written, by another case, after the host
// replaced or removed it behind the layer's back, and with something that is no regular
// file in its place (a folder, a FIFO, which must answer at once instead of waiting for a
// writer). Each open reads what the host holds at that moment.
TEST_F(FilesOpen, ExistingFilesOpenByAnySpellingAndFollowTheHost)
{
  const WCHAR *path = u"C:\\WINDOWS\\Temp\\Spell\\Data.txt";
  std::string host = HostPath(path);
  struct Case {
    const char *what;
    const WCHAR *name;
    std::function<void()> before;
    const char *content;  // nullptr: the open fails with error
    DWORD error;
  } cases[] = {
      {"as written", path, [] {}, "one", NO_ERROR},
      {"another case", u"c:\\windows\\TEMP\\spell\\DATA.TXT", [] {}, "one", NO_ERROR},
      {"replaced on the host", path,
       [&] {
         WriteHostFile(host + ".new", "two");
         rename((host + ".new").c_str(), host.c_str());
       },
       "two", NO_ERROR},
      {"replaced, another case", u"C:\\WINDOWS\\TEMP\\SPELL\\data.TXT", [] {}, "two", NO_ERROR},
      {"removed on the host", path, [&] { unlink(host.c_str()); }, nullptr, ERROR_FILE_NOT_FOUND},
      {"a folder in its place", path, [&] { mkdir(host.c_str(), 0777); }, nullptr, ERROR_ACCESS_DENIED},
      {"a FIFO in its place", path,
       [&] {
         rmdir(host.c_str());
         mkfifo(host.c_str(), 0666);
       },
       nullptr, ERROR_ACCESS_DENIED},
      {"back again", u"C:\\windows\\temp\\spell\\data.txt",
       [&] {
         unlink(host.c_str());
         WriteHostFile(host, "three");
       },
       "three", NO_ERROR},
  };
  Put(path, "one");
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    c.before();
    for (DWORD access : {(DWORD)GENERIC_READ, kRW}) {
      SetLastError(kSentinel);
      HANDLE h = Open(c.name, access, FILE_SHARE_READ, OPEN_EXISTING);
      EXPECT_EQ(GetLastError(), c.error);
      ASSERT_EQ(h != INVALID_HANDLE_VALUE, c.content != nullptr);
      if (h == INVALID_HANDLE_VALUE) continue;
      char buf[16] = {};
      DWORD got = 0;
      EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
      EXPECT_EQ(std::string(buf, got), c.content);
      EXPECT_TRUE(CloseHandle(h));
    }
  }
}

TEST_F(FilesOpen, RefusesBadNamesAndArguments)
{
  Put(u"C:\\\\WINDOWS\\\\f.txt", "x");
  struct Case {
    const WCHAR *path;
    DWORD access;
    DWORD share;
    DWORD disposition;
    DWORD error;
  } cases[] = {
      {u"C:\\WINDOWS\\*.txt", GENERIC_READ, 0, OPEN_EXISTING, ERROR_INVALID_NAME},
      {u"C:\\WINDOWS\\f?.txt", GENERIC_READ, 0, CREATE_ALWAYS, ERROR_INVALID_NAME},
      {u"C:\\nowhere\\x.txt", GENERIC_READ, 0, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
      {u"C:\\nowhere\\x.txt", kRW, 0, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
      {u"C:\\WINDOWS\\f.txt\\x.txt", kRW, 0, OPEN_ALWAYS, ERROR_PATH_NOT_FOUND},
      {u"C:\\WINDOWS\\missing.txt", GENERIC_READ, 0, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
      {u"C:\\WINDOWS", GENERIC_READ, kShareAll, OPEN_EXISTING, ERROR_ACCESS_DENIED},
      {u"C:\\WINDOWS\\system32", kRW, 0, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
      {u"C:\\WINDOWS", kRW, 0, CREATE_NEW, ERROR_FILE_EXISTS},
      {u"C:\\WINDOWS\\f.txt\\", GENERIC_READ, 0, OPEN_EXISTING, ERROR_INVALID_NAME},
      {u"\\\\server\\share\\f.txt", GENERIC_READ, 0, OPEN_EXISTING, ERROR_BAD_NETPATH},
      {u"C:\\WINDOWS\\f.txt", GENERIC_READ, 0, 0, ERROR_INVALID_PARAMETER},
      {u"C:\\WINDOWS\\f.txt", GENERIC_READ, 0, 6, ERROR_INVALID_PARAMETER},
      {u"C:\\WINDOWS\\f.txt", GENERIC_READ, 8, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
      {u"C:\\WINDOWS\\f.txt", GENERIC_READ, 0, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
      {nullptr, GENERIC_READ, 0, OPEN_EXISTING, ERROR_INVALID_PARAMETER},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path ? Narrow(c.path) : std::string("(null)"));
    SetLastError(kSentinel);
    EXPECT_EQ(Open(c.path, c.access, c.share, c.disposition), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(Get(u"C:\\WINDOWS\\f.txt"), "x");
  EXPECT_FALSE(Exists(u"C:\\nowhere"));
}

TEST_F(FilesOpen, ShareModesAmongHandles)
{
  const DWORD R = GENERIC_READ, W = GENERIC_WRITE;
  const DWORD SR = FILE_SHARE_READ, SW = FILE_SHARE_WRITE, SD = FILE_SHARE_DELETE;
  struct Case {
    DWORD access1, share1, access2, share2;
    bool secondOpens;
  } cases[] = {
      {R, SR, R, SR, true},
      {R, SR, W, SR | SW, false},   // the first does not share writing
      {W, 0, R, kShareAll, false},  // exclusive
      {R, SR | SW, W, SR | SW, true},
      {W, SR, R, SR, false},  // the second would deny the first's writing
      {W, SR | SW, R, SR, false},
      {R | W, kShareAll, R | W, kShareAll, true},
      {R, 0, 0, 0, true},  // attribute-only opens take no part
      {0, 0, R | W, 0, true},
      {DELETE, kShareAll, R, SR, false},  // the second would deny the first's delete access
      {R, SR, DELETE, kShareAll, false},
      {R, SR | SD, DELETE, kShareAll, true},
  };
  Put(u"C:\\WINDOWS\\shared.txt", "data");
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.access1 << "/" << c.share1 << " then " << c.access2 << "/"
                                    << c.share2);
    HANDLE a = Open(u"C:\\WINDOWS\\shared.txt", c.access1, c.share1, OPEN_EXISTING);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    // Another spelling of the same name reaches the same file.
    SetLastError(kSentinel);
    HANDLE b = Open(u"c:\\windows\\SHARED.TXT", c.access2, c.share2, OPEN_EXISTING);
    EXPECT_EQ(b != INVALID_HANDLE_VALUE, c.secondOpens);
    if (b != INVALID_HANDLE_VALUE)
      CloseHandle(b);
    else
      EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    CloseHandle(a);
    // Once the first handle is closed, nothing stands in the way.
    b = Open(u"c:\\windows\\SHARED.TXT", c.access2, c.share2, OPEN_EXISTING);
    EXPECT_NE(b, INVALID_HANDLE_VALUE);
    CloseHandle(b);
  }
  EXPECT_EQ(Get(u"C:\\WINDOWS\\shared.txt"), "data");
}

TEST_F(FilesOpen, ReadOnlyFilesRefuseWriting)
{
  const WCHAR *path = u"C:\\WINDOWS\\ro.ini";
  Put(path, "keep");
  ASSERT_TRUE(SetFileAttributesW(path, FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW(path), (DWORD)FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(HostMode(path) & (S_IWUSR | S_IWGRP | S_IWOTH), 0u);
  struct Case {
    DWORD access, disposition;
  } refused[] = {
      {GENERIC_WRITE, OPEN_EXISTING}, {kRW, OPEN_ALWAYS},      {GENERIC_READ, CREATE_ALWAYS},
      {kRW, TRUNCATE_EXISTING},       {DELETE, OPEN_EXISTING}, {FILE_APPEND_DATA, OPEN_EXISTING},
  };
  for (const Case &c : refused) {
    SetLastError(kSentinel);
    EXPECT_EQ(Open(path, c.access, kShareAll, c.disposition), INVALID_HANDLE_VALUE) << std::hex << c.access;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  }
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteFileW(path));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  HANDLE h = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadRest(h), "keep");
  CloseHandle(h);
  EXPECT_EQ(Get(path), "keep");
  ASSERT_TRUE(SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileW(path));
}

TEST_F(FilesOpen, CreatingReadOnlyGivesAWritableHandle)
{
  const WCHAR *path = u"C:\\WINDOWS\\made-ro.txt";
  HANDLE h = Open(path, kRW, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "abc", 3, &n, nullptr));
  EXPECT_EQ(n, 3u);
  CloseHandle(h);
  EXPECT_EQ(Get(path), "abc");
  EXPECT_EQ(GetFileAttributesW(path), (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(Open(path, GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
}

TEST_F(FilesOpen, NewHostFilesFollowTheUmask)
{
  mode_t mask = umask(022);
  umask(mask);
  HANDLE h = Open(u"C:\\WINDOWS\\new.txt", kRW, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(HostMode(u"C:\\WINDOWS\\new.txt") & 07777, 0666 & ~mask);
  ASSERT_TRUE(CreateDirectoryW(u"C:\\WINDOWS\\NewDir", nullptr));
  EXPECT_EQ(HostMode(u"C:\\WINDOWS\\NewDir") & 07777, 0777 & ~mask);
}

TEST_F(FilesOpen, OverwritingAHiddenFileMustAskForHidden)
{
  const WCHAR *path = u"C:\\WINDOWS\\hidden.dat";
  Put(path, "secret");
  ASSERT_TRUE(SetFileAttributesW(path, FILE_ATTRIBUTE_HIDDEN));
  SetLastError(kSentinel);
  EXPECT_EQ(Open(path, kRW, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_EQ(Get(path), "secret");
  HANDLE h = Open(path, kRW, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_EQ(Get(path), "");
  EXPECT_EQ(GetFileAttributesW(path), (DWORD)(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(FilesOpen, DeleteOnCloseRemovesTheFileAtItsLastName)
{
  HANDLE h = Open(u"C:\\WINDOWS\\Temp\\scratch.tmp", kRW, kShareAll, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(Exists(u"C:\\WINDOWS\\Temp\\scratch.tmp"));
  // Renamed while open, it is still the file that goes.
  ASSERT_TRUE(MoveFileW(u"C:\\WINDOWS\\Temp\\scratch.tmp", u"C:\\WINDOWS\\Temp\\moved.tmp"));
  CloseHandle(h);
  EXPECT_FALSE(Exists(u"C:\\WINDOWS\\Temp\\moved.tmp"));
  EXPECT_FALSE(Exists(u"C:\\WINDOWS\\Temp\\scratch.tmp"));
}

TEST_F(FilesOpen, ClosedAndForeignHandlesAreRefused)
{
  HANDLE h = Open(u"C:\\WINDOWS\\c.txt", kRW, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(h));
  char buf[4];
  DWORD n = 7;
  SetLastError(kSentinel);
  EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(CloseHandle(h));
  for (HANDLE bad : {(HANDLE) nullptr, INVALID_HANDLE_VALUE, (HANDLE)0x12345}) {
    SetLastError(kSentinel);
    EXPECT_FALSE(WriteFile(bad, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetFileSize(bad, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  }
  // A find handle is not a file handle.
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW(u"C:\\WINDOWS\\*", &fd);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ReadFile(f, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  FindClose(f);
}

TEST_F(FilesOpen, AnsiNamesFollowTheActiveCodePage)
{
  // 0xE9 is e-acute in 1252; 0x83 0x65 0x83 0x58 0x83 0x67 spells "tesuto" in katakana in 932.
  HANDLE h = CreateFileA("C:\\WINDOWS\\caf\xe9.txt", kRW, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(HostExists(Root() + "/C/WINDOWS/caf\xc3\xa9.txt"));
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  h = CreateFileA("C:\\WINDOWS\\\x83\x65\x83\x58\x83\x67.ini", kRW, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                  nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(HostExists(Root() + "/C/WINDOWS/\xe3\x83\x86\xe3\x82\xb9\xe3\x83\x88.ini"));
  EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

// ---------------------------------------------------------------- reading and writing

TEST_F(FilesIo, ReadWriteAndThePointer)
{
  HANDLE h = Open(u"C:\\WINDOWS\\io.bin", kRW, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
  EXPECT_EQ(ReadRest(h), "world");
  EXPECT_EQ(SetFilePointer(h, -5, nullptr, FILE_END), 6u);
  EXPECT_EQ(SetFilePointer(h, -2, nullptr, FILE_CURRENT), 4u);
  char buf[16] = {};
  ASSERT_TRUE(ReadFile(h, buf, 3, &n, nullptr));
  EXPECT_EQ(std::string(buf, n), "o w");
  // Before the start: refused, and the pointer stays.
  SetLastError(kSentinel);
  EXPECT_EQ(SetFilePointer(h, -100, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 7u);
  EXPECT_EQ(GetLastError(), (DWORD)NO_ERROR);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, 3), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  // Reading at the end answers no bytes and success.
  SetFilePointer(h, 0, nullptr, FILE_END);
  n = 99;
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(n, 0u);
  // A position read with an OVERLAPPED leaves the pointer after the bytes read.
  OVERLAPPED ov = {};
  ov.Offset = 2;
  ASSERT_TRUE(ReadFile(h, buf, 3, &n, &ov));
  EXPECT_EQ(std::string(buf, n), "llo");
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 5u);
  ov.Offset = 50;
  EXPECT_FALSE(ReadFile(h, buf, 3, &n, &ov));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_HANDLE_EOF);
  CloseHandle(h);
}

TEST_F(FilesIo, SixtyFourBitPositions)
{
  HANDLE h = Open(u"C:\\WINDOWS\\big.bin", kRW, 0, CREATE_NEW);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(h, 10, &high, FILE_BEGIN), 10u);
  EXPECT_EQ(high, 1);
  // Without a high part the position no longer fits the answer.
  SetLastError(kSentinel);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  LARGE_INTEGER move, now;
  move.QuadPart = 0;
  ASSERT_TRUE(SetFilePointerEx(h, move, &now, FILE_CURRENT));
  EXPECT_EQ(now.QuadPart, 0x10000000ALL);
  move.QuadPart = -0x20000000ALL;
  EXPECT_FALSE(SetFilePointerEx(h, move, &now, FILE_CURRENT));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NEGATIVE_SEEK);
  // A position past the end is allowed; the file grows only when written.
  DWORD sizeHigh = 7;
  EXPECT_EQ(GetFileSize(h, &sizeHigh), 0u);
  EXPECT_EQ(sizeHigh, 0u);
  move.QuadPart = 3;
  ASSERT_TRUE(SetFilePointerEx(h, move, nullptr, FILE_BEGIN));
  ASSERT_TRUE(SetEndOfFile(h));
  LARGE_INTEGER size;
  ASSERT_TRUE(GetFileSizeEx(h, &size));
  EXPECT_EQ(size.QuadPart, 3);
  CloseHandle(h);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\big.bin"), std::string(3, '\0'));
}

TEST_F(FilesIo, SetEndOfFileCutsAndGrowsAtThePointer)
{
  Put(u"C:\\WINDOWS\\end.txt", "0123456789");
  HANDLE h = Open(u"C:\\WINDOWS\\end.txt", kRW, 0, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetFilePointer(h, 4, nullptr, FILE_BEGIN);
  ASSERT_TRUE(SetEndOfFile(h));
  EXPECT_EQ(GetFileSize(h, nullptr), 4u);
  SetFilePointer(h, 6, nullptr, FILE_BEGIN);
  ASSERT_TRUE(SetEndOfFile(h));
  CloseHandle(h);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\end.txt"), std::string("0123\0\0", 6));
}

TEST_F(FilesIo, AccessRightsOfTheHandle)
{
  Put(u"C:\\WINDOWS\\acc.txt", "abc");
  char buf[8];
  DWORD n;
  HANDLE r = Open(u"C:\\WINDOWS\\acc.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  HANDLE w = Open(u"C:\\WINDOWS\\acc.txt", GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  HANDLE z = Open(u"C:\\WINDOWS\\acc.txt", 0, kShareAll, OPEN_EXISTING);
  ASSERT_NE(r, INVALID_HANDLE_VALUE);
  ASSERT_NE(w, INVALID_HANDLE_VALUE);
  ASSERT_NE(z, INVALID_HANDLE_VALUE);
  struct Case {
    const char *what;
    BOOL result;
  } cases[] = {
      {"write on a read handle", WriteFile(r, "x", 1, &n, nullptr)},
      {"cut on a read handle", SetEndOfFile(r)},
      {"flush on a read handle", FlushFileBuffers(r)},
      {"read on a write handle", ReadFile(w, buf, 1, &n, nullptr)},
      {"read on an attribute handle", ReadFile(z, buf, 1, &n, nullptr)},
      {"write on an attribute handle", WriteFile(z, "x", 1, &n, nullptr)},
  };
  for (const Case &c : cases) EXPECT_FALSE(c.result) << c.what;
  SetLastError(kSentinel);
  EXPECT_FALSE(WriteFile(r, "x", 1, &n, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  // Attribute-only handles still answer the size and the times.
  EXPECT_EQ(GetFileSize(z, nullptr), 3u);
  BY_HANDLE_FILE_INFORMATION info;
  EXPECT_TRUE(GetFileInformationByHandle(z, &info));
  EXPECT_TRUE(FlushFileBuffers(w));
  CloseHandle(r);
  CloseHandle(w);
  CloseHandle(z);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\acc.txt"), "abc");
}

TEST_F(FilesIo, AppendOnlyHandlesWriteAtTheEnd)
{
  Put(u"C:\\WINDOWS\\log.txt", "one\n");
  HANDLE h = Open(u"C:\\WINDOWS\\log.txt", FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD n;
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  ASSERT_TRUE(WriteFile(h, "two\n", 4, &n, nullptr));
  CloseHandle(h);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\log.txt"), "one\ntwo\n");
}

TEST_F(FilesIo, InjectedWriteFailureLeavesTheOldBytes)
{
  const WCHAR *path = u"C:\\WINDOWS\\fault.ini";
  Put(path, "old bytes");
  HANDLE h = Open(path, kRW, 0, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  PlatFaultArm(PLAT_FAULT_FILE_WRITE, 2);  // the second write fails
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "O", 1, &n, nullptr));
  n = 77;
  SetLastError(kSentinel);
  EXPECT_FALSE(WriteFile(h, "NEW BYTES", 9, &n, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 1u);
  EXPECT_EQ(Get(path), "Old bytes");
  // The fault fires once.
  EXPECT_TRUE(WriteFile(h, "LD", 2, &n, nullptr));
  CloseHandle(h);
  EXPECT_EQ(Get(path), "OLD bytes");
}

// ---------------------------------------------------------------- times

TEST_F(FilesIo, TimesRoundTrip)
{
  const WCHAR *path = u"C:\\WINDOWS\\times.ini";
  Put(path, "t");
  HANDLE h = Open(path, kRW, 0, OPEN_EXISTING);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  const FILETIME cases[][2] = {
      // last access, last write
      {MakeTime(2001, 2, 3, 4, 5, 6, 789), MakeTime(2002, 12, 31, 23, 59, 59, 999)},
      {MakeTime(1980, 1, 1, 0, 0, 0, 0), MakeTime(1969, 7, 20, 20, 17, 40, 0)},
      {MakeTime(2037, 12, 31, 0, 0, 0, 1), MakeTime(1999, 12, 31, 23, 59, 58, 0)},
  };
  for (const auto &c : cases) {
    FILETIME created = MakeTime(1990, 5, 5, 5, 5, 5, 5);
    ASSERT_TRUE(SetFileTime(h, &created, &c[0], &c[1]));
    FILETIME cr, ac, wr;
    ASSERT_TRUE(GetFileTime(h, &cr, &ac, &wr));
    EXPECT_TRUE(SameTime(ac, c[0]));
    EXPECT_TRUE(SameTime(wr, c[1]));
    EXPECT_FALSE(SameTime(cr, created));  // the host cannot set a creation time
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(path, GetFileExInfoStandard, &data));
    EXPECT_TRUE(SameTime(data.ftLastWriteTime, c[1]));
    EXPECT_EQ(data.nFileSizeLow, 1u);
  }
  // NULL, zero and all-ones leave a time as it is; the 100-ns digits survive.
  FILETIME keepWrite;
  ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &keepWrite));
  FILETIME zero = {0, 0}, ones = {0xFFFFFFFFu, 0xFFFFFFFFu};
  FILETIME fine = MakeTime(2010, 6, 1, 12, 0, 0, 0);
  fine.dwLowDateTime += 1234567;  // 0.1234567 s
  EXPECT_TRUE(SetFileTime(h, nullptr, &fine, &zero));
  EXPECT_TRUE(SetFileTime(h, &zero, nullptr, &ones));
  FILETIME ac, wr;
  ASSERT_TRUE(GetFileTime(h, nullptr, &ac, &wr));
  EXPECT_TRUE(SameTime(wr, keepWrite));
  EXPECT_TRUE(SameTime(ac, fine));
  FILETIME tooBig = {0, 0x80000000u};
  EXPECT_FALSE(SetFileTime(h, nullptr, nullptr, &tooBig));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  CloseHandle(h);

  // Setting times needs write access.
  h = Open(path, GENERIC_READ, kShareAll, OPEN_EXISTING);
  SetLastError(kSentinel);
  EXPECT_FALSE(SetFileTime(h, nullptr, nullptr, &fine));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  CloseHandle(h);
  h = Open(path, FILE_WRITE_ATTRIBUTES, kShareAll, OPEN_EXISTING);
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &fine));
  CloseHandle(h);
  struct stat st;
  ASSERT_EQ(stat(HostPath(path).c_str(), &st), 0);
  EXPECT_EQ(st.st_mtim.tv_nsec, 123456700);
}

TEST_F(FilesIo, CompareFileTimeOrdersBothWords)
{
  struct Case {
    FILETIME a, b;
    LONG expect;
  } cases[] = {
      {{1, 0}, {2, 0}, -1},          {{2, 0}, {1, 0}, 1},
      {{5, 5}, {5, 5}, 0},           {{0xFFFFFFFFu, 0}, {0, 1}, -1},  // the high word decides
      {{0, 2}, {0xFFFFFFFFu, 1}, 1}, {{0, 0x80000000u}, {0, 1}, 1},   // unsigned
  };
  for (const Case &c : cases) EXPECT_EQ(CompareFileTime(&c.a, &c.b), c.expect);
}

// ---------------------------------------------------------------- attributes

TEST_F(FilesAttr, AttributesRoundTrip)
{
  const WCHAR *path = u"C:\\WINDOWS\\attr.txt";
  Put(path, "a");
  struct Case {
    DWORD set, get;
  } cases[] = {
      {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},
      {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
      {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY},
      {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
      {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
      {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY},
      {FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_NORMAL},  // not kept
      {FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
      {0, FILE_ATTRIBUTE_NORMAL},
  };
  for (const Case &c : cases) {
    EXPECT_TRUE(SetFileAttributesW(path, c.set)) << std::hex << c.set;
    EXPECT_EQ(GetFileAttributesW(path), c.get) << std::hex << c.set;
  }
  EXPECT_EQ(Get(path), "a");
  // Folders: HIDDEN is kept, READONLY and ARCHIVE are not.
  EXPECT_EQ(GetFileAttributesW(u"C:\\WINDOWS"), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(GetFileAttributesW(u"C:\\"), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_TRUE(SetFileAttributesW(u"C:\\WINDOWS\\system32", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW(u"C:\\WINDOWS\\system32"), (DWORD)(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
  HANDLE h = Open(u"C:\\WINDOWS\\system32\\x.txt", kRW, 0, CREATE_NEW);  // the folder stays writable
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  // New files carry the archive attribute.
  EXPECT_EQ(GetFileAttributesW(u"C:\\WINDOWS\\system32\\x.txt"), (DWORD)FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(FilesAttr, MissingNamesAnswerInvalidAttributes)
{
  struct Case {
    const WCHAR *path;
    DWORD error;
  } cases[] = {
      {u"C:\\WINDOWS\\none.txt", ERROR_FILE_NOT_FOUND},
      {u"C:\\nowhere\\none.txt", ERROR_PATH_NOT_FOUND},
      {u"Q:\\none.txt", ERROR_PATH_NOT_FOUND},
      {u"C:\\WINDOWS\\*.txt", ERROR_INVALID_NAME},
  };
  for (const Case &c : cases) {
    SetLastError(kSentinel);
    EXPECT_EQ(GetFileAttributesW(c.path), INVALID_FILE_ATTRIBUTES) << Narrow(c.path);
    EXPECT_EQ(GetLastError(), c.error) << Narrow(c.path);
    SetLastError(kSentinel);
    EXPECT_FALSE(SetFileAttributesW(c.path, FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), c.error);
    WIN32_FILE_ATTRIBUTE_DATA data;
    EXPECT_FALSE(GetFileAttributesExW(c.path, GetFileExInfoStandard, &data));
  }
  WIN32_FILE_ATTRIBUTE_DATA data;
  SetLastError(kSentinel);
  EXPECT_FALSE(GetFileAttributesExW(u"C:\\WINDOWS", GetFileExMaxInfoLevel, &data));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(FilesAttr, HandleInformationDescribesTheFile)
{
  Put(u"C:\\WINDOWS\\info.txt", "12345");
  HANDLE a = Open(u"C:\\WINDOWS\\info.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  HANDLE b = Open(u"C:\\WINDOWS\\INFO.TXT", 0, kShareAll, OPEN_EXISTING);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  ASSERT_NE(b, INVALID_HANDLE_VALUE);
  BY_HANDLE_FILE_INFORMATION ia, ib;
  ASSERT_TRUE(GetFileInformationByHandle(a, &ia));
  ASSERT_TRUE(GetFileInformationByHandle(b, &ib));
  EXPECT_EQ(ia.nFileSizeLow, 5u);
  EXPECT_EQ(ia.nFileSizeHigh, 0u);
  EXPECT_EQ(ia.nNumberOfLinks, 1u);
  EXPECT_EQ(ia.dwFileAttributes, (DWORD)FILE_ATTRIBUTE_ARCHIVE);
  // Both handles name one file: same volume and index, same times.
  EXPECT_EQ(ia.dwVolumeSerialNumber, ib.dwVolumeSerialNumber);
  EXPECT_EQ(ia.nFileIndexLow, ib.nFileIndexLow);
  EXPECT_EQ(ia.nFileIndexHigh, ib.nFileIndexHigh);
  EXPECT_TRUE(SameTime(ia.ftLastWriteTime, ib.ftLastWriteTime));
  struct stat st;
  ASSERT_EQ(stat(HostPath(u"C:\\WINDOWS\\info.txt").c_str(), &st), 0);
  EXPECT_EQ(ia.nFileIndexLow, (DWORD)(st.st_ino & 0xFFFFFFFFu));
  EXPECT_FALSE(GetFileInformationByHandle(a, nullptr));
  CloseHandle(a);
  CloseHandle(b);
}
