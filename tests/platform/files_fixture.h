// Fixture of the file tests: a fresh machine root, short helpers to open files and
// read them back, and a check that every test closed the handles it opened.
#pragma once
#include <sys/stat.h>

#include <string>

#include "internal.h"
#include "machine_fixture.h"

class FilesTest : public MachineTest {
 protected:
  void SetUp() override
  {
    MachineTest::SetUp();
    handlesAtStart_ = plat::HandleCount();
  }
  void TearDown() override
  {
    EXPECT_EQ(plat::HandleCount(), handlesAtStart_) << "a handle was left open";
    MachineTest::TearDown();
  }

  static constexpr DWORD kRW = GENERIC_READ | GENERIC_WRITE;
  static constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

  HANDLE Open(const WCHAR *path, DWORD access, DWORD share, DWORD disposition, DWORD attrs = FILE_ATTRIBUTE_NORMAL)
  {
    return CreateFileW(path, access, share, nullptr, disposition, attrs, nullptr);
  }

  // Writes a file through the host, creating its folders.
  void Put(const WCHAR *winPath, const std::string &bytes) { WriteHostFile(HostPath(winPath), bytes); }
  std::string Get(const WCHAR *winPath) { return ReadHostFile(HostPath(winPath)); }
  bool Exists(const WCHAR *winPath) { return HostExists(HostPath(winPath)); }
  mode_t HostMode(const WCHAR *winPath)
  {
    struct stat st;
    return stat(HostPath(winPath).c_str(), &st) == 0 ? st.st_mode : 0;
  }

  // Reads a handle's file from its current position to the end.
  static std::string ReadRest(HANDLE h)
  {
    std::string out;
    char buf[256];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    return out;
  }

  static FILETIME MakeTime(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms)
  {
    SYSTEMTIME st = {y, mo, 0, d, h, mi, s, ms};
    FILETIME ft = {0, 0};
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
    return ft;
  }

 private:
  size_t handlesAtStart_ = 0;
};

inline bool SameTime(const FILETIME &a, const FILETIME &b)
{
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}
