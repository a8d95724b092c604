// Bounded path building and the file-name part helpers.
#include "files/paths.h"

#include "os/mem_str.h"
#include "os/os.h"
#include "files/settings_dirs.h"

namespace {

DWORD Len(LPCWSTR s) { return s ? static_cast<DWORD>(lstrlenW(s)) : 0; }

// The first n characters of src, terminated: the prefixes that StrCopyWholeW does not copy.
void Copy(LPWSTR dst, LPCWSTR src, DWORD n)
{
  for (DWORD i = 0; i < n; ++i) dst[i] = src[i];
  dst[n] = 0;
}

const WCHAR kFallbackDriverDir[] = u"\\spool\\drivers\\w32x86\\2\\";

}  // namespace

BOOL WINAPI PathAppendName(LPWSTR dst, DWORD capacity, LPCWSTR src)
{
  if (!dst || !src || capacity == 0) return FALSE;
  DWORD a = 0;
  while (a < capacity && dst[a]) ++a;
  if (a >= capacity) return FALSE;
  DWORD b = Len(src);
  if (a + b + 1 > capacity) return FALSE;
  return StrCopyWholeW(dst + a, static_cast<int>(b + 1), src);
}

BOOL WINAPI PathJoin(LPWSTR dst, DWORD capacity, LPCWSTR a, WCHAR sep, LPCWSTR b)
{
  if (!dst || capacity == 0) return FALSE;
  DWORD la = Len(a), lb = Len(b), ls = sep ? 1 : 0;
  if (!a || !b || la + ls + lb + 1 > capacity) {
    dst[0] = 0;
    return FALSE;
  }
  // a may alias dst: move it first, then add the rest.
  if (a != dst) StrCopyWholeW(dst, static_cast<int>(la + 1), a);
  if (sep) dst[la] = sep;
  return StrCopyWholeW(dst + la + ls, static_cast<int>(lb + 1), b);
}

LPWSTR WINAPI OsGetDriverDir(HANDLE hPrinter, LPWSTR buf, DWORD capacity)
{
  if (!buf || capacity == 0) return nullptr;
  buf[0] = 0;
  DRIVER_INFO_3W *info = static_cast<DRIVER_INFO_3W *>(OsGetPrinterDriverInfo(hPrinter, 3));
  if (info) {
    LPCWSTR path = info->pDriverPath;
    DWORD n = Len(path);
    while (n > 0 && path[n - 1] != u'\\') --n;
    BOOL fits = n > 0 && n + 1 <= capacity;
    if (fits) Copy(buf, path, n);
    GlobalFree(info);
    if (n > 0) return fits ? buf : nullptr;
  }
  WCHAR sys[MAX_PATH];
  UINT n = GetSystemDirectoryW(sys, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  return PathJoin(buf, capacity, sys, 0, kFallbackDriverDir) ? buf : nullptr;
}

LPWSTR WINAPI PathInDriverDir(LPWSTR buf, DWORD capacity, LPCWSTR name, HANDLE hPrinter)
{
  if (!buf || !name || capacity == 0) return buf;
  WCHAR dir[MAX_PATH];
  if (!OsGetDriverDir(hPrinter, dir, MAX_PATH)) return buf;
  PathJoin(buf, capacity, dir, 0, name);
  return buf;
}

UINT WINAPI OsGetSystemDir(LPWSTR buf, UINT capacity, DRIVER_CONTEXT *) { return GetSystemDirectoryW(buf, capacity); }

namespace {

// dir (from a resolver answering its length) + "\" + name into buf, else "".
LPWSTR InDir(LPWSTR buf, DWORD capacity, LPCWSTR name, DWORD dirLen, LPCWSTR dir)
{
  if (dirLen == 0 || dirLen >= capacity) {
    buf[0] = 0;
    return buf;
  }
  PathJoin(buf, capacity, dir, u'\\', name);
  return buf;
}

}  // namespace

LPWSTR WINAPI PathInSystemDir(LPWSTR buf, DWORD capacity, LPCWSTR name)
{
  if (!buf || !name || capacity == 0) return buf;
  WCHAR dir[MAX_PATH];
  UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n >= MAX_PATH) n = 0;
  return InDir(buf, capacity, name, n, dir);
}

LPWSTR WINAPI PathInSharedSettingsDir(LPWSTR buf, DWORD capacity, LPCWSTR name, DRIVER_CONTEXT *ctx)
{
  if (!buf || !name || capacity == 0) return buf;
  WCHAR dir[MAX_PATH];
  DWORD n = PathGetSharedSettingsDir(dir, MAX_PATH, ctx);
  return InDir(buf, capacity, name, n, dir);
}

LPWSTR WINAPI PathInUserSettingsDir(LPWSTR buf, DWORD capacity, LPCWSTR name)
{
  if (!buf || !name || capacity == 0) return buf;
  WCHAR dir[MAX_PATH];
  DWORD n = PathGetUserSettingsDirRaw(dir, MAX_PATH, nullptr);
  return InDir(buf, capacity, name, n, dir);
}

LPCWSTR WINAPI PathFindFileName(LPCWSTR path)
{
  if (!path) return nullptr;
  LPCWSTR name = path;
  for (LPCWSTR p = path; *p; ++p) {
    if (*p == u'\\') name = p + 1;
  }
  return name;
}

LPCWSTR WINAPI PathFindExt(LPCWSTR path, DWORD *length)
{
  if (length) *length = 0;
  LPCWSTR name = PathFindFileName(path);
  if (!name) return nullptr;
  LPCWSTR dot = nullptr;
  for (LPCWSTR p = name; *p; ++p) {
    if (*p == u'.') dot = p;
  }
  if (!dot) return name;
  if (length) *length = Len(dot + 1);
  return dot + 1;
}

LPCWSTR WINAPI PathFileStem(LPCWSTR path, DWORD *length)
{
  if (length) *length = 0;
  LPCWSTR name = PathFindFileName(path);
  if (!name) return nullptr;
  if (!*name) return path;
  DWORD n = 0;
  while (name[n] && name[n] != u'.') ++n;
  if (length) *length = n;
  return name;
}

BOOL WINAPI PathReplaceExt(LPWSTR dst, DWORD capacity, LPCWSTR src, LPCWSTR ext)
{
  if (!dst || !src || !ext || !*src || capacity == 0) return FALSE;
  DWORD extLen = 0;
  LPCWSTR oldExt = PathFindExt(src, &extLen);
  DWORD keep;
  bool addDot;
  if (oldExt > src && oldExt[-1] == u'.') {
    keep = static_cast<DWORD>(oldExt - src);
    addDot = false;
  } else {
    keep = Len(src);
    addDot = true;
  }
  DWORD total = keep + (addDot ? 1 : 0) + Len(ext);
  if (total + 1 > capacity) {
    dst[0] = 0;
    return FALSE;
  }
  if (dst != src) Copy(dst, src, keep);
  if (addDot) dst[keep++] = u'.';
  return StrCopyWholeW(dst + keep, static_cast<int>(Len(ext) + 1), ext);
}

BOOL WINAPI PathWithKsqExt(LPWSTR dst, DWORD capacity, LPCWSTR src)
{
  return PathReplaceExt(dst, capacity, src, u"ksq");
}

BOOL WINAPI PathHasShortExt(LPCWSTR path)
{
  DWORD stem = 0;
  LPCWSTR name = PathFileStem(path, &stem);
  if (!name || stem == 0 || name[stem] != u'.') return FALSE;
  DWORD extLen = 0;
  PathFindExt(path, &extLen);
  return extLen >= 1 && extLen <= 3;
}

BOOL WINAPI PathHasShortExtAlias(LPCWSTR path) { return PathHasShortExt(path) ? 1 : 0; }

BOOL WINAPI PathIsDriveAbsolute(LPCWSTR path) { return path && path[0] && path[1] == u':'; }

LPWSTR WINAPI PathGetDriverDataFile(HANDLE hPrinter)
{
  // A size answer of 0 is not refused here, as the data-file lookup has always read it.
  auto *info = static_cast<DRIVER_INFO_2W *>(OsGetPrinterDriverInfoSized(hPrinter, 2, FALSE));
  if (!info) return nullptr;
  LPWSTR copy = nullptr;
  if (info->pDataFile) {
    DWORD n = static_cast<DWORD>(lstrlenW(info->pDataFile));
    copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, (n + 1) * sizeof(WCHAR)));
    if (copy) {
      for (DWORD i = 0; i < n; ++i) copy[i] = info->pDataFile[i];
    }
  }
  GlobalFree(info);
  return copy;
}
