// Directory listing: wildcard rules, the entries reported, and the errors.
#include <filesystem>
#include <vector>

#include "file_object.h"
#include "files_fixture.h"

using FilesFind = FilesTest;

namespace {
constexpr DWORD kSentinel = 0xF1D;

struct Listing {
  DWORD firstError = 0;
  std::vector<std::string> names;
  std::vector<WIN32_FIND_DATAW> data;
};

Listing List(const WCHAR *pattern)
{
  Listing out;
  WIN32_FIND_DATAW fd;
  SetLastError(kSentinel);
  HANDLE h = FindFirstFileW(pattern, &fd);
  if (h == INVALID_HANDLE_VALUE) {
    out.firstError = GetLastError();
    return out;
  }
  do {
    out.names.push_back(Narrow(fd.cFileName));
    out.data.push_back(fd);
  } while (FindNextFileW(h, &fd));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(h));
  return out;
}

using Names = std::vector<std::string>;
}  // namespace

TEST(FilesWildcard, WindowsMatchingRules)
{
  struct Case {
    const char16_t *pattern;
    const char16_t *name;
    bool match;
  } cases[] = {
      {u"*", u"anything.at.all", true},
      {u"*", u".", true},
      {u"*.*", u"noext", true},  // "*.*" is everything, names without a dot too
      {u"*.*", u"a.b.c", true},
      {u"*.*", u"..", true},
      {u"*.ini", u"a.INI", true},
      {u"*.ini", u"kvml.ini", true},
      {u"*.ini", u".ini", true},
      {u"*.ini", u"x.y.ini", true},
      {u"*.ini", u"a.ini.bak", false},
      {u"*.ini", u"ini", false},
      {u"*.ini", u"a.inix", false},
      {u"*.", u"noext", true},  // "*." is the names without an extension
      {u"*.", u"a.b", false},
      {u"a*.*", u"abc", true},
      {u"abc.*", u"abc", true},
      {u"abc.*", u"ABC.def", true},
      {u"abc.*", u"abcd", false},
      {u"a?c", u"abc", true},
      {u"a?c", u"ac", false},
      {u"a?c", u"a.c", false},
      {u"file?.txt", u"file1.txt", true},
      {u"file?.txt", u"file.txt", true},  // '?' may match nothing before a dot
      {u"file?.txt", u"file12.txt", false},
      {u"??", u"a", true},  // ... and at the end
      {u"??", u"ab", true},
      {u"??", u"abc", false},
      {u"*b*", u"ABC", true},
      {u"*b*", u"acd", false},
      {u"k*.i?i", u"Kvml.INI", true},
      {u"x.txt", u"X.TXT", true},
      {u"x.txt", u"x.txt2", false},
      {u"\u0436*", u"\u0416\u0416", true},  // Cyrillic folds too
      {u"*.ini", u"", false},
  };
  for (const Case &c : cases)
    EXPECT_EQ(plat::WildcardMatch(c.pattern, c.name), c.match) << Narrow(c.pattern) << " vs " << Narrow(c.name);
}

TEST_F(FilesFind, ListsMatchingEntriesInNameOrder)
{
  Put(u"C:\\Drv\\b.ini", "bb");
  Put(u"C:\\Drv\\A.INI", "a");
  Put(u"C:\\Drv\\c.txt", "ccc");
  Put(u"C:\\Drv\\noext", "");
  std::filesystem::create_directories(HostPath(u"C:\\Drv") + "/Sub");
  struct Case {
    const WCHAR *pattern;
    Names names;
  } cases[] = {
      {u"C:\\Drv\\*.ini", {"A.INI", "b.ini"}},
      {u"C:\\drv\\*", {".", "..", "A.INI", "b.ini", "c.txt", "noext", "Sub"}},
      {u"C:\\Drv\\*.*", {".", "..", "A.INI", "b.ini", "c.txt", "noext", "Sub"}},
      {u"C:\\Drv\\*.", {".", "..", "noext", "Sub"}},
      // '?' matches nothing before a dot, so "." and ".." qualify too.
      {u"C:\\Drv\\?.*", {".", "..", "A.INI", "b.ini", "c.txt"}},
      {u"c:/drv/C.TXT", {"c.txt"}},
      {u"C:\\DRV", {"Drv"}},  // a folder named without wildcards is its own entry
  };
  for (const Case &c : cases) {
    Listing l = List(c.pattern);
    EXPECT_EQ(l.firstError, NO_ERROR) << Narrow(c.pattern);
    EXPECT_EQ(l.names, c.names) << Narrow(c.pattern);
  }
  // A drive's root has no "." or "..".
  Listing root = List(u"C:\\*");
  EXPECT_EQ(root.names, (Names{"Drv", "WINDOWS"}));
  // Relative patterns use the current folder.
  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\Drv"));
  EXPECT_EQ(List(u"*.txt").names, Names{"c.txt"});
  EXPECT_EQ(List(u"C:b*").names, Names{"b.ini"});
}

TEST_F(FilesFind, FillsTheFindData)
{
  Put(u"C:\\Drv\\data.bin", "12345");
  ASSERT_TRUE(SetFileAttributesW(u"C:\\Drv\\data.bin", FILE_ATTRIBUTE_READONLY));
  std::filesystem::create_directories(HostPath(u"C:\\Drv") + "/Folder");
  Listing l = List(u"C:\\Drv\\*");
  ASSERT_EQ(l.names, (Names{".", "..", "data.bin", "Folder"}));
  const WIN32_FIND_DATAW &file = l.data[2];
  EXPECT_EQ(file.dwFileAttributes, (DWORD)FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(file.nFileSizeLow, 5u);
  EXPECT_EQ(file.nFileSizeHigh, 0u);
  EXPECT_EQ(file.cAlternateFileName[0], 0);
  WIN32_FILE_ATTRIBUTE_DATA attr;
  ASSERT_TRUE(GetFileAttributesExW(u"C:\\Drv\\data.bin", GetFileExInfoStandard, &attr));
  EXPECT_TRUE(SameTime(file.ftLastWriteTime, attr.ftLastWriteTime));
  EXPECT_TRUE(SameTime(file.ftCreationTime, attr.ftCreationTime));
  for (size_t i : {0u, 1u, 3u}) {
    EXPECT_EQ(l.data[i].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, (DWORD)FILE_ATTRIBUTE_DIRECTORY) << l.names[i];
    EXPECT_EQ(l.data[i].nFileSizeLow, 0u);
  }
  SetFileAttributesW(u"C:\\Drv\\data.bin", FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FilesFind, Errors)
{
  Put(u"C:\\Drv\\a.txt", "a");
  struct Case {
    const WCHAR *pattern;
    DWORD error;
  } cases[] = {
      {u"C:\\Drv\\*.ini", ERROR_FILE_NOT_FOUND},
      {u"C:\\Drv\\", ERROR_FILE_NOT_FOUND},  // a trailing separator names no entry
      {u"C:\\nowhere\\*", ERROR_PATH_NOT_FOUND},
      {u"C:\\Drv\\a.txt\\*", ERROR_PATH_NOT_FOUND},
      {u"C:\\D*\\a.txt", ERROR_INVALID_NAME},
      {u"C:\\Drv\\a|b", ERROR_INVALID_NAME},
      {u"", ERROR_PATH_NOT_FOUND},
      {nullptr, ERROR_INVALID_PARAMETER},
  };
  for (const Case &c : cases) {
    Listing l = List(c.pattern);
    EXPECT_EQ(l.firstError, c.error) << (c.pattern ? Narrow(c.pattern) : "(null)");
    EXPECT_TRUE(l.names.empty());
  }
  std::u16string longPattern = u"C:\\Drv\\" + std::u16string(5000, u'*');
  EXPECT_EQ(List(longPattern.c_str()).firstError, (DWORD)ERROR_FILENAME_EXCED_RANGE);
  WIN32_FIND_DATAW fd;
  EXPECT_EQ(FindFirstFileW(u"C:\\Drv\\*", nullptr), INVALID_HANDLE_VALUE);
  HANDLE h = FindFirstFileW(u"C:\\Drv\\a.txt", &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetLastError(kSentinel);
  EXPECT_FALSE(FindNextFileW(h, &fd));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_MORE_FILES);
  EXPECT_FALSE(FindNextFileW(h, &fd));  // stays at the end
  EXPECT_TRUE(FindClose(h));
  SetLastError(kSentinel);
  EXPECT_FALSE(FindClose(h));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_FALSE(FindNextFileW(h, &fd));
  // A file handle is not a find handle.
  HANDLE f = Open(u"C:\\Drv\\a.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_FALSE(FindClose(f));
  EXPECT_TRUE(CloseHandle(f));
}

TEST_F(FilesFind, ListingIsASnapshotThatSurvivesDeletes)
{
  // The driver deletes entries while it walks a listing.
  for (const WCHAR *p : {u"C:\\Drv\\1.tmp", u"C:\\Drv\\2.tmp", u"C:\\Drv\\3.tmp"}) Put(p, "t");
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(u"C:\\Drv\\*.tmp", &fd);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  int deleted = 0;
  do {
    std::u16string path = u"C:\\Drv\\" + std::u16string(fd.cFileName);
    if (DeleteFileW(path.c_str())) ++deleted;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  EXPECT_EQ(deleted, 3);
  EXPECT_EQ(List(u"C:\\Drv\\*.tmp").firstError, (DWORD)ERROR_FILE_NOT_FOUND);
}
