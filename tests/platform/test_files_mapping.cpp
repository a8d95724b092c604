// File mapping: views and their lifetime, access, alignment, and the protection of
// mapped files against truncation.
#include <string.h>

#include "files_fixture.h"

using FilesMapping = FilesTest;

namespace {
constexpr DWORD kSentinel = 0x3A9;
}

TEST_F(FilesMapping, ViewsOutliveTheirHandles)
{
  const WCHAR *path = u"C:\\WINDOWS\\desc.txt";
  Put(path, "description text");
  HANDLE file = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE map = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(map, nullptr);
  const char *view = static_cast<const char *>(MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(CloseHandle(map));
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(std::string(view, 16), "description text");
  // The mapping still holds the file's open: its share mode denies writers.
  SetLastError(kSentinel);
  EXPECT_EQ(Open(path, GENERIC_WRITE, kShareAll, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(UnmapViewOfFile(view));
  SetLastError(kSentinel);
  EXPECT_FALSE(UnmapViewOfFile(view));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_ADDRESS);
  HANDLE w = Open(path, GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  EXPECT_NE(w, INVALID_HANDLE_VALUE);
  CloseHandle(w);
}

TEST_F(FilesMapping, ReadWriteViewsReachTheFile)
{
  const WCHAR *path = u"C:\\WINDOWS\\rw.bin";
  Put(path, "abcdef");
  HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  HANDLE map = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  ASSERT_NE(map, nullptr);
  char *view = static_cast<char *>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  char *copy = static_cast<char *>(MapViewOfFile(map, FILE_MAP_COPY, 0, 0, 0));
  ASSERT_NE(copy, nullptr);
  memcpy(view, "ABC", 3);
  copy[5] = 'X';  // private to the copy-on-write view
  EXPECT_TRUE(FlushViewOfFile(view + 1, 2));
  char buf[8] = {};
  DWORD n;
  ASSERT_TRUE(ReadFile(file, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(std::string(buf, n), "ABCdef");
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_TRUE(UnmapViewOfFile(copy));
  CloseHandle(map);
  CloseHandle(file);
  EXPECT_EQ(Get(path), "ABCdef");
}

TEST_F(FilesMapping, SizesOffsetsAndAccess)
{
  const WCHAR *path = u"C:\\WINDOWS\\blocks.bin";
  std::string bytes(3 * 65536, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i / 65536 + 'a');
  Put(path, bytes);
  HANDLE ro = Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  HANDLE map = CreateFileMappingW(ro, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(map, nullptr);
  const char *second = static_cast<const char *>(MapViewOfFile(map, FILE_MAP_READ, 0, 65536, 100));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second[0], 'b');
  EXPECT_EQ(second[99], 'b');
  const char *last = static_cast<const char *>(MapViewOfFile(map, FILE_MAP_READ, 0, 131072, 0));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last[65535], 'c');
  struct Case {
    DWORD access, offset;
    SIZE_T size;
    DWORD error;
  } cases[] = {
      {FILE_MAP_WRITE, 0, 0, ERROR_ACCESS_DENIED},          // a read-only mapping
      {FILE_MAP_READ, 100, 0, ERROR_MAPPED_ALIGNMENT},      // not on 64 KB
      {FILE_MAP_READ, 196608, 0, ERROR_ACCESS_DENIED},      // at the end
      {FILE_MAP_READ, 131072, 65537, ERROR_ACCESS_DENIED},  // past the end
      {0, 0, 0, ERROR_INVALID_PARAMETER},
  };
  for (const Case &c : cases) {
    SetLastError(kSentinel);
    EXPECT_EQ(MapViewOfFile(map, c.access, 0, c.offset, c.size), nullptr) << c.offset;
    EXPECT_EQ(GetLastError(), c.error) << c.offset;
  }
  EXPECT_TRUE(UnmapViewOfFile(second));
  EXPECT_TRUE(UnmapViewOfFile(last));
  CloseHandle(map);
  // Mapping rights follow the file handle's.
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileMappingW(ro, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  // A read-only mapping cannot be larger than its file.
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileMappingW(ro, nullptr, PAGE_READONLY, 0, 4 * 65536, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileMappingW(ro, nullptr, 0x1234, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_EQ(CreateFileMappingW(ro, nullptr, PAGE_READONLY, 0, 0, u"Named"), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_SUPPORTED);
  CloseHandle(ro);
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileMappingW(ro, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  // A larger read-write mapping grows the file.
  HANDLE rw = Open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
  map = CreateFileMappingW(rw, nullptr, PAGE_READWRITE, 0, 4 * 65536, nullptr);
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(GetFileSize(rw, nullptr), 4u * 65536);
  CloseHandle(map);
  CloseHandle(rw);
}

TEST_F(FilesMapping, EmptyFilesCannotBeMapped)
{
  Put(u"C:\\WINDOWS\\empty.txt", "");
  HANDLE file = Open(u"C:\\WINDOWS\\empty.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_INVALID);
  EXPECT_EQ(GetLastError(), 1006u);
  CloseHandle(file);
}

TEST_F(FilesMapping, MappedFilesCannotBeCutOrDeleted)
{
  const WCHAR *path = u"C:\\WINDOWS\\mapped.bin";
  Put(path, std::string(100, 'm'));
  HANDLE file = Open(path, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  HANDLE map = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  ASSERT_NE(map, nullptr);
  char *view = static_cast<char *>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  CloseHandle(map);
  SetFilePointer(file, 10, nullptr, FILE_BEGIN);
  SetLastError(kSentinel);
  EXPECT_FALSE(SetEndOfFile(file));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_USER_MAPPED_FILE);
  for (DWORD disposition : {(DWORD)TRUNCATE_EXISTING, (DWORD)CREATE_ALWAYS}) {
    SetLastError(kSentinel);
    EXPECT_EQ(Open(path, GENERIC_READ | GENERIC_WRITE, kShareAll, disposition), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_USER_MAPPED_FILE);
  }
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteFileW(path));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  Put(u"C:\\WINDOWS\\other.bin", "o");
  EXPECT_FALSE(MoveFileExW(u"C:\\WINDOWS\\other.bin", path, MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_EQ(view[99], 'm');
  EXPECT_TRUE(UnmapViewOfFile(view));
  // With the last view gone the file is free again.
  EXPECT_TRUE(SetEndOfFile(file));
  CloseHandle(file);
  EXPECT_EQ(Get(path), std::string(10, 'm'));
  EXPECT_TRUE(DeleteFileW(path));
}

TEST_F(FilesMapping, MemoryMappingsShareTheirPages)
{
  HANDLE map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192, nullptr);
  ASSERT_NE(map, nullptr);
  char *a = static_cast<char *>(MapViewOfFile(map, FILE_MAP_WRITE, 0, 0, 0));
  char *b = static_cast<char *>(MapViewOfFile(map, FILE_MAP_READ, 0, 0, 8192));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b[8191], 0);
  strcpy(a + 4096, "shared");
  EXPECT_STREQ(b + 4096, "shared");
  CloseHandle(map);
  EXPECT_TRUE(UnmapViewOfFile(a));
  EXPECT_STREQ(b + 4096, "shared");
  EXPECT_TRUE(UnmapViewOfFile(b));
  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(FilesMapping, ResetReleasesLeftoverViews)
{
  Put(u"C:\\WINDOWS\\left.bin", "left");
  HANDLE file = Open(u"C:\\WINDOWS\\left.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  HANDLE map = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  void *view = MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(view, nullptr);
  CloseHandle(map);
  CloseHandle(file);
  PlatResetForTest();
  ASSERT_TRUE(PlatSetMachineRoot(Root().c_str()));
  EXPECT_FALSE(UnmapViewOfFile(view));  // already released
  HANDLE w = Open(u"C:\\WINDOWS\\left.bin", GENERIC_WRITE, 0, OPEN_EXISTING);
  EXPECT_NE(w, INVALID_HANDLE_VALUE);  // and the file's open with it
  CloseHandle(w);
}
