// Private-profile (INI) wrappers: section-name filter, fallbacks, cache flush and the
// write that keeps a file's time stamp.
#include "files/ini.h"

namespace {

// A filtered copy of a section name in a zeroed buffer of KV_INI_SECTION_MAX + 1
// characters. ok() is false when the buffer could not be allocated or the name is too
// long; a NULL name stays NULL (the profile functions give it its own meaning).
class SectionCopy {
 public:
  explicit SectionCopy(LPCWSTR section)
  {
    if (!section) {
      ok_ = true;
      return;
    }
    DWORD n = static_cast<DWORD>(lstrlenW(section));
    if (n > KV_INI_SECTION_MAX) return;
    buf_ = static_cast<LPWSTR>(GlobalAlloc(GPTR, (KV_INI_SECTION_MAX + 1) * sizeof(WCHAR)));
    if (!buf_) return;
    for (DWORD i = 0; i < n; ++i) buf_[i] = section[i];
    IniSanitizeSectionName(buf_);
    ok_ = true;
  }
  ~SectionCopy()
  {
    if (buf_) GlobalFree(buf_);
  }
  SectionCopy(const SectionCopy &) = delete;
  SectionCopy &operator=(const SectionCopy &) = delete;

  bool ok() const { return ok_; }
  LPCWSTR get() const { return buf_; }

 private:
  LPWSTR buf_ = nullptr;
  bool ok_ = false;
};

}  // namespace

LPWSTR WINAPI IniSanitizeSectionName(LPWSTR name)
{
  if (!name) return nullptr;
  for (LPWSTR p = name; *p; ++p) {
    if (*p == u'[' || *p == u']') *p = u',';
  }
  return name;
}

UINT WINAPI IniGetInt(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR file)
{
  SectionCopy s(section);
  if (!s.ok()) return static_cast<UINT>(defaultValue);
  return GetPrivateProfileIntW(s.get(), key, defaultValue, file);
}

DWORD WINAPI IniGetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR out, DWORD capacity, LPCWSTR file)
{
  SectionCopy s(section);
  if (!s.ok()) {
    if (!out || capacity == 0) return 0;
    for (DWORD i = 0; i < capacity; ++i) out[i] = 0;
    DWORD n = 0;
    if (defaultValue) {
      while (n + 1 < capacity && defaultValue[n]) {
        out[n] = defaultValue[n];
        ++n;
      }
    }
    return n;
  }
  return GetPrivateProfileStringW(s.get(), key, defaultValue, out, capacity, file);
}

BOOL WINAPI IniWriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file)
{
  SectionCopy s(section);
  if (!s.ok()) return FALSE;
  BOOL written = WritePrivateProfileStringW(s.get(), key, value, file);
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, file);
  return written;
}

BOOL WINAPI IniWriteKeepTime(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file)
{
  FILETIME lastWrite = {0, 0};
  bool haveTime = false;
  if (file) {
    HANDLE h = CreateFileW(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      haveTime = GetFileTime(h, nullptr, nullptr, &lastWrite) != FALSE;
      CloseHandle(h);
    }
  }
  BOOL written = IniWriteString(section, key, value, file);
  if (haveTime) {
    HANDLE h = CreateFileW(file, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      SetFileTime(h, nullptr, nullptr, &lastWrite);
      CloseHandle(h);
    }
  }
  return written;
}
