// Whole files and folders by name: delete, copy, move, folders, full path names.
#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "files_fixture.h"

using FilesOps = FilesTest;

namespace {
constexpr DWORD kSentinel = 0xBEEF;
}

TEST_F(FilesOps, DeleteFile)
{
  Put(u"C:\\WINDOWS\\gone.txt", "x");
  EXPECT_TRUE(DeleteFileW(u"c:\\windows\\GONE.TXT"));
  EXPECT_FALSE(Exists(u"C:\\WINDOWS\\gone.txt"));
  struct Case {
    const WCHAR *path;
    DWORD error;
  } cases[] = {
      {u"C:\\WINDOWS\\gone.txt", ERROR_FILE_NOT_FOUND},
      {u"C:\\nowhere\\gone.txt", ERROR_PATH_NOT_FOUND},
      {u"C:\\WINDOWS\\system32", ERROR_ACCESS_DENIED},
      {u"C:\\WINDOWS\\*.txt", ERROR_INVALID_NAME},
  };
  for (const Case &c : cases) {
    SetLastError(kSentinel);
    EXPECT_FALSE(DeleteFileW(c.path)) << Narrow(c.path);
    EXPECT_EQ(GetLastError(), c.error) << Narrow(c.path);
  }
  EXPECT_TRUE(Exists(u"C:\\WINDOWS\\system32"));
  // An open handle that does not share delete keeps the file.
  Put(u"C:\\WINDOWS\\held.txt", "x");
  HANDLE h = Open(u"C:\\WINDOWS\\held.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteFileW(u"C:\\WINDOWS\\held.txt"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
  CloseHandle(h);
  h = Open(u"C:\\WINDOWS\\held.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  EXPECT_TRUE(DeleteFileW(u"C:\\WINDOWS\\held.txt"));
  CloseHandle(h);
  EXPECT_FALSE(Exists(u"C:\\WINDOWS\\held.txt"));
}

TEST_F(FilesOps, CopyFileSemantics)
{
  const WCHAR *src = u"C:\\WINDOWS\\src.ini";
  const WCHAR *dst = u"C:\\WINDOWS\\Temp\\dst.ini";
  struct Case {
    bool targetExists;
    bool targetReadOnly;
    BOOL failIfExists;
    bool copies;
    DWORD error;
  } cases[] = {
      {false, false, FALSE, true, NO_ERROR},
      {false, false, TRUE, true, NO_ERROR},
      {true, false, FALSE, true, NO_ERROR},
      {true, false, TRUE, false, ERROR_FILE_EXISTS},
      {true, true, FALSE, false, ERROR_ACCESS_DENIED},
      {true, true, TRUE, false, ERROR_FILE_EXISTS},
  };
  FILETIME srcWrite = MakeTime(2003, 4, 5, 6, 7, 8, 900);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "exists " << c.targetExists << " ro " << c.targetReadOnly << " fail "
                                    << c.failIfExists);
    Put(src, "source bytes");
    HANDLE h = Open(src, GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &srcWrite));
    CloseHandle(h);
    SetFileAttributesW(dst, FILE_ATTRIBUTE_NORMAL);
    unlink(HostPath(dst).c_str());
    if (c.targetExists) {
      Put(dst, "older target");
      if (c.targetReadOnly) SetFileAttributesW(dst, FILE_ATTRIBUTE_READONLY);
    }
    SetLastError(kSentinel);
    EXPECT_EQ(CopyFileW(src, dst, c.failIfExists), c.copies ? TRUE : FALSE);
    if (!c.copies) {
      EXPECT_EQ(GetLastError(), c.error);
      EXPECT_EQ(Get(dst), "older target");
      continue;
    }
    EXPECT_EQ(Get(dst), "source bytes");
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(dst, GetFileExInfoStandard, &data));
    EXPECT_TRUE(SameTime(data.ftLastWriteTime, srcWrite));  // the source's time is kept
    EXPECT_EQ(data.dwFileAttributes, (DWORD)FILE_ATTRIBUTE_ARCHIVE);
  }
  SetFileAttributesW(dst, FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FilesOps, CopyFileCarriesAttributesAndRefusesBadCases)
{
  Put(u"C:\\WINDOWS\\a.txt", "A");
  ASSERT_TRUE(SetFileAttributesW(u"C:\\WINDOWS\\a.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(CopyFileW(u"C:\\WINDOWS\\a.txt", u"C:\\WINDOWS\\b.txt", TRUE));
  EXPECT_EQ(GetFileAttributesW(u"C:\\WINDOWS\\b.txt"),
            (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(Get(u"C:\\WINDOWS\\b.txt"), "A");
  Put(u"C:\\WINDOWS\\c.txt", "C");
  struct Case {
    const WCHAR *from;
    const WCHAR *to;
    DWORD error;
  } cases[] = {
      {u"C:\\WINDOWS\\none.txt", u"C:\\WINDOWS\\x.txt", ERROR_FILE_NOT_FOUND},
      {u"C:\\nowhere\\c.txt", u"C:\\WINDOWS\\x.txt", ERROR_PATH_NOT_FOUND},
      {u"C:\\WINDOWS\\c.txt", u"C:\\nowhere\\x.txt", ERROR_PATH_NOT_FOUND},
      {u"C:\\WINDOWS\\system32", u"C:\\WINDOWS\\x.txt", ERROR_ACCESS_DENIED},
      {u"C:\\WINDOWS\\c.txt", u"C:\\WINDOWS\\system32", ERROR_ACCESS_DENIED},
      {u"C:\\WINDOWS\\c.txt", u"C:\\WINDOWS\\C.TXT", ERROR_SHARING_VIOLATION},  // onto itself
      {u"C:\\WINDOWS\\*.txt", u"C:\\WINDOWS\\x.txt", ERROR_INVALID_NAME},
      {u"C:\\WINDOWS\\c.txt", nullptr, ERROR_INVALID_PARAMETER},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Narrow(c.from) + " -> " + Narrow(c.to));
    SetLastError(kSentinel);
    EXPECT_FALSE(CopyFileW(c.from, c.to, FALSE));
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(Get(u"C:\\WINDOWS\\c.txt"), "C");
  EXPECT_FALSE(Exists(u"C:\\WINDOWS\\x.txt"));
  // A source held open for writing without shared writing cannot be copied.
  HANDLE h = Open(u"C:\\WINDOWS\\c.txt", GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING);
  SetLastError(kSentinel);
  EXPECT_FALSE(CopyFileW(u"C:\\WINDOWS\\c.txt", u"C:\\WINDOWS\\x.txt", FALSE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
  CloseHandle(h);
  // A target held open keeps its bytes.
  Put(u"C:\\WINDOWS\\d.txt", "D");
  h = Open(u"C:\\WINDOWS\\d.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_FALSE(CopyFileW(u"C:\\WINDOWS\\c.txt", u"C:\\WINDOWS\\d.txt", FALSE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
  CloseHandle(h);
  EXPECT_EQ(Get(u"C:\\WINDOWS\\d.txt"), "D");
  SetFileAttributesW(u"C:\\WINDOWS\\a.txt", FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW(u"C:\\WINDOWS\\b.txt", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FilesOps, MoveFile)
{
  Put(u"C:\\WINDOWS\\one.txt", "1");
  Put(u"C:\\WINDOWS\\two.txt", "2");
  FILETIME t = MakeTime(2000, 1, 2, 3, 4, 5, 6);
  HANDLE h = Open(u"C:\\WINDOWS\\one.txt", GENERIC_WRITE, 0, OPEN_EXISTING);
  SetFileTime(h, nullptr, nullptr, &t);
  CloseHandle(h);

  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileW(u"C:\\WINDOWS\\one.txt", u"C:\\WINDOWS\\two.txt"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(MoveFileExW(u"C:\\WINDOWS\\one.txt", u"C:\\WINDOWS\\two.txt", MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(Exists(u"C:\\WINDOWS\\one.txt"));
  EXPECT_EQ(Get(u"C:\\WINDOWS\\two.txt"), "1");
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(u"C:\\WINDOWS\\two.txt", GetFileExInfoStandard, &data));
  EXPECT_TRUE(SameTime(data.ftLastWriteTime, t));

  // Into another folder, and a change of case only.
  ASSERT_TRUE(MoveFileW(u"C:\\WINDOWS\\two.txt", u"C:\\WINDOWS\\Temp\\two.txt"));
  ASSERT_TRUE(MoveFileW(u"C:\\WINDOWS\\Temp\\two.txt", u"C:\\WINDOWS\\Temp\\TWO.TXT"));
  EXPECT_TRUE(HostExists(Root() + "/C/WINDOWS/Temp/TWO.TXT"));
  EXPECT_FALSE(HostExists(Root() + "/C/WINDOWS/Temp/two.txt"));

  // Folders move with their contents.
  ASSERT_TRUE(CreateDirectoryW(u"C:\\Data", nullptr));
  Put(u"C:\\Data\\in.txt", "in");
  ASSERT_TRUE(MoveFileW(u"C:\\Data", u"C:\\Moved"));
  EXPECT_EQ(Get(u"C:\\Moved\\in.txt"), "in");

  Put(u"C:\\WINDOWS\\ro.txt", "ro");
  SetFileAttributesW(u"C:\\WINDOWS\\ro.txt", FILE_ATTRIBUTE_READONLY);
  Put(u"C:\\WINDOWS\\three.txt", "3");
  struct Case {
    const WCHAR *from;
    const WCHAR *to;
    DWORD flags;
    DWORD error;
  } cases[] = {
      {u"C:\\WINDOWS\\none.txt", u"C:\\WINDOWS\\x.txt", 0, ERROR_FILE_NOT_FOUND},
      {u"C:\\WINDOWS\\three.txt", u"C:\\nowhere\\x.txt", 0, ERROR_PATH_NOT_FOUND},
      {u"C:\\WINDOWS\\three.txt", u"C:\\WINDOWS\\ro.txt", MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
      {u"C:\\WINDOWS\\three.txt", u"C:\\WINDOWS\\system32", MOVEFILE_REPLACE_EXISTING, ERROR_ACCESS_DENIED},
      {u"C:\\WINDOWS\\three.txt", u"C:\\WINDOWS\\x.txt", MOVEFILE_DELAY_UNTIL_REBOOT, ERROR_INVALID_PARAMETER},
      {u"C:\\WINDOWS\\three.txt", u"C:\\WINDOWS\\x?.txt", 0, ERROR_INVALID_NAME},
      {u"C:\\WINDOWS\\three.txt", nullptr, 0, ERROR_INVALID_PARAMETER},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Narrow(c.from) + " -> " + Narrow(c.to));
    SetLastError(kSentinel);
    EXPECT_FALSE(MoveFileExW(c.from, c.to, c.flags));
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(Get(u"C:\\WINDOWS\\ro.txt"), "ro");
  EXPECT_EQ(Get(u"C:\\WINDOWS\\three.txt"), "3");

  // An open handle that does not share delete holds the name.
  h = Open(u"C:\\WINDOWS\\three.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileW(u"C:\\WINDOWS\\three.txt", u"C:\\WINDOWS\\four.txt"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
  CloseHandle(h);
  SetFileAttributesW(u"C:\\WINDOWS\\ro.txt", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FilesOps, MovesBetweenDrivesNeedCopyAllowed)
{
  std::filesystem::create_directories(Root() + "/D");
  Put(u"C:\\WINDOWS\\a.txt", "a");
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileExW(u"C:\\WINDOWS\\a.txt", u"D:\\a.txt", 0));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_SAME_DEVICE);
  EXPECT_TRUE(MoveFileExW(u"C:\\WINDOWS\\a.txt", u"D:\\a.txt", MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH));
  EXPECT_EQ(Get(u"D:\\a.txt"), "a");
  EXPECT_FALSE(Exists(u"C:\\WINDOWS\\a.txt"));
  EXPECT_TRUE(MoveFileW(u"D:\\a.txt", u"C:\\a.txt"));  // MoveFileW allows the copy
  // Folders never change drives.
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileW(u"C:\\WINDOWS\\Temp", u"D:\\Temp"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_SAME_DEVICE);
}

TEST_F(FilesOps, Folders)
{
  EXPECT_TRUE(CreateDirectoryW(u"C:\\WINDOWS\\New", nullptr));
  EXPECT_EQ(GetFileAttributesW(u"C:\\windows\\new"), (DWORD)FILE_ATTRIBUTE_DIRECTORY);
  struct Case {
    const WCHAR *path;
    DWORD error;
  } createCases[] = {
      {u"C:\\WINDOWS\\NEW", ERROR_ALREADY_EXISTS},
      {u"C:\\", ERROR_ALREADY_EXISTS},
      {u"C:\\a\\b\\c", ERROR_PATH_NOT_FOUND},
      {u"C:\\WINDOWS\\n*w", ERROR_INVALID_NAME},
  };
  for (const Case &c : createCases) {
    SetLastError(kSentinel);
    EXPECT_FALSE(CreateDirectoryW(c.path, nullptr)) << Narrow(c.path);
    EXPECT_EQ(GetLastError(), c.error) << Narrow(c.path);
  }
  Put(u"C:\\WINDOWS\\New\\f.txt", "f");
  Case removeCases[] = {
      {u"C:\\WINDOWS\\New", ERROR_DIR_NOT_EMPTY},
      {u"C:\\WINDOWS\\New\\f.txt", ERROR_DIRECTORY},
      {u"C:\\WINDOWS\\Old", ERROR_FILE_NOT_FOUND},
      {u"C:\\nowhere\\Old", ERROR_PATH_NOT_FOUND},
      {u"C:\\", ERROR_ACCESS_DENIED},
  };
  for (const Case &c : removeCases) {
    SetLastError(kSentinel);
    EXPECT_FALSE(RemoveDirectoryW(c.path)) << Narrow(c.path);
    EXPECT_EQ(GetLastError(), c.error) << Narrow(c.path);
  }
  EXPECT_TRUE(DeleteFileW(u"C:\\WINDOWS\\New\\f.txt"));
  EXPECT_TRUE(RemoveDirectoryW(u"C:\\WINDOWS\\new"));
  EXPECT_FALSE(Exists(u"C:\\WINDOWS\\New"));
}

TEST_F(FilesOps, FullPathNames)
{
  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\WINDOWS"));
  struct Case {
    const WCHAR *in;
    const WCHAR *full;
    const WCHAR *filePart;  // nullptr: none
  } cases[] = {
      {u"kvml.ini", u"C:\\WINDOWS\\kvml.ini", u"kvml.ini"},
      {u"..\\boot.ini", u"C:\\boot.ini", u"boot.ini"},
      {u"system32\\", u"C:\\WINDOWS\\system32\\", nullptr},
      {u"C:\\", u"C:\\", nullptr},
      {u"c:/a/./b/../c.txt", u"C:\\a\\c.txt", u"c.txt"},
      {u"\\x\\*.ini", u"C:\\x\\*.ini", u"*.ini"},
      {u"D:y.txt", u"D:\\y.txt", u"y.txt"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Narrow(c.in));
    WCHAR buf[MAX_PATH];
    LPWSTR part = reinterpret_cast<LPWSTR>(1);
    DWORD n = GetFullPathNameW(c.in, MAX_PATH, buf, &part);
    EXPECT_EQ(std::u16string(buf), c.full);
    EXPECT_EQ(n, std::u16string(c.full).size());
    if (c.filePart)
      EXPECT_EQ(std::u16string(part), c.filePart);
    else
      EXPECT_EQ(part, nullptr);
    // Too small: the size needed, terminator included.
    EXPECT_EQ(GetFullPathNameW(c.in, n, buf, nullptr), n + 1);
    EXPECT_EQ(GetFullPathNameW(c.in, 0, nullptr, nullptr), n + 1);
  }
  SetLastError(kSentinel);
  EXPECT_EQ(GetFullPathNameW(nullptr, MAX_PATH, nullptr, nullptr), 0u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(FilesOps, ShortAndLongNamesAreTheNamesGiven)
{
  Put(u"C:\\Program Files\\Long Folder Name\\long file name.txt", "x");
  const WCHAR *path = u"C:\\Program Files\\Long Folder Name\\long file name.txt";
  WCHAR buf[MAX_PATH];
  DWORD len = static_cast<DWORD>(std::u16string(path).size());
  EXPECT_EQ(GetShortPathNameW(path, buf, MAX_PATH), len);
  EXPECT_EQ(std::u16string(buf), path);
  EXPECT_EQ(GetLongPathNameW(path, buf, MAX_PATH), len);
  EXPECT_EQ(std::u16string(buf), path);
  EXPECT_EQ(GetShortPathNameW(path, buf, 4), len + 1);
  SetLastError(kSentinel);
  EXPECT_EQ(GetShortPathNameW(u"C:\\Program Files\\none.txt", buf, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  // In place, as callers often do.
  std::u16string copy = path;
  std::vector<WCHAR> inPlace(copy.begin(), copy.end());
  inPlace.resize(MAX_PATH);
  EXPECT_EQ(GetShortPathNameW(inPlace.data(), inPlace.data(), MAX_PATH), len);
  EXPECT_EQ(std::u16string(inPlace.data()), path);
}

TEST_F(FilesOps, DiskFreeSpace)
{
  ULARGE_INTEGER avail, total, free;
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"C:\\WINDOWS\\", &avail, &total, &free));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(free.QuadPart, total.QuadPart);
  EXPECT_LE(avail.QuadPart, free.QuadPart);
  EXPECT_TRUE(GetDiskFreeSpaceExW(nullptr, &avail, nullptr, nullptr));
  SetLastError(kSentinel);
  EXPECT_FALSE(GetDiskFreeSpaceExW(u"C:\\nowhere\\", &avail, &total, &free));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
}
