// The .BCS cache file beside a description text: its path, reading a usable one, writing
// one atomically, deleting one.
//
// A cache file holds the compiled block in stored form, byte for byte. It is tied to the
// text it was compiled from by its last-write time, which the writer sets to the text's:
// a cache file is used only when its time equals the text's, so a text edited after the
// compile, a cache file copied in from another description and a text put back with an
// older date all lead to a fresh compile. Whatever passes the time and size checks is still
// handed to the block validator before anyone relocates it.
#include <atomic>

#include "blob/desc_blob.h"
#include "blob/desc_cache.h"
#include "blob/desc_store.h"

namespace {

std::atomic<DWORD> g_writes{0};
std::atomic<DWORD> g_tempSerial{0};

// Last-write time of a file opened for reading with read sharing; FALSE when the file
// cannot be opened or its time read.
BOOL ReadWriteTime(const WCHAR *path, DWORD share, FILETIME *out)
{
  HANDLE h = CreateFileW(path, GENERIC_READ, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  BOOL ok = GetFileTime(h, NULL, NULL, out);
  CloseHandle(h);
  return ok;
}

// Reads exactly size bytes from h into buf.
BOOL ReadAll(HANDLE h, BYTE *buf, DWORD size)
{
  DWORD done = 0;
  while (done < size) {
    DWORD got = 0;
    if (!ReadFile(h, buf + done, size - done, &got, NULL) || got == 0) return FALSE;
    done += got;
  }
  return TRUE;
}

BOOL WriteAll(HANDLE h, const BYTE *buf, DWORD size)
{
  DWORD done = 0;
  while (done < size) {
    DWORD put = 0;
    if (!WriteFile(h, buf + done, size - done, &put, NULL) || put == 0) return FALSE;
    done += put;
  }
  return TRUE;
}

// Appends "~PID.N" (hexadecimal) to the cache path: a name no other writer uses at the same
// time. FALSE when it does not fit.
BOOL MakeTempPath(WCHAR *out, const WCHAR *cachePath)
{
  int len = lstrlenW(cachePath);
  WCHAR suffix[24];
  int n = 0;
  auto hex = [&](DWORD v) {
    WCHAR digits[8];
    int d = 0;
    do {
      digits[d++] = (WCHAR)u"0123456789ABCDEF"[v & 15u];
      v >>= 4;
    } while (v != 0 && d < 8);
    while (d > 0) suffix[n++] = digits[--d];
  };
  suffix[n++] = u'~';
  hex(GetCurrentProcessId());
  suffix[n++] = u'.';
  hex(++g_tempSerial);
  if (len + n + 1 > DESC_CACHE_PATH_CHARS) return FALSE;
  for (int i = 0; i < len; ++i) out[i] = cachePath[i];
  for (int i = 0; i < n; ++i) out[len + i] = suffix[i];
  out[len + n] = 0;
  return TRUE;
}

}  // namespace

BOOL WINAPI DescMakeCachePath(WCHAR *out, const WCHAR *descPath)
{
  if (out == NULL) return FALSE;
  out[0] = 0;
  if (descPath == NULL || descPath[0] == 0) return FALSE;
  // Only a dot of the file name itself starts the extension; a dot in a folder name would
  // put the cache file beside that folder, shared by every description in it.
  int len = 0, cut = -1;
  for (; descPath[len] != 0; ++len) {
    if (len >= DESC_CACHE_PATH_CHARS) return FALSE;
    WCHAR c = descPath[len];
    if (c == u'.')
      cut = len + 1;
    else if (c == u'\\' || c == u'/')
      cut = -1;
  }
  WCHAR last = descPath[len - 1];
  if (last == u'\\' || last == u'/') return FALSE;  // a folder, not a file
  int at = cut >= 0 ? cut : len + 1;
  if (at + 3 + 1 > DESC_CACHE_PATH_CHARS) return FALSE;
  for (int i = 0; i < (cut >= 0 ? cut : len); ++i) out[i] = descPath[i];
  if (cut < 0) out[len] = u'.';
  out[at] = u'B';
  out[at + 1] = u'C';
  out[at + 2] = u'S';
  out[at + 3] = 0;
  return TRUE;
}

BYTE *WINAPI DescReadCacheFile(const WCHAR *descPath, DWORD *size)
{
  if (size != NULL) *size = 0;
  WCHAR cachePath[DESC_CACHE_PATH_CHARS];
  if (!DescMakeCachePath(cachePath, descPath)) return NULL;

  FILETIME textTime, cacheTime;
  if (!ReadWriteTime(descPath, FILE_SHARE_READ, &textTime)) return NULL;
  // Delete sharing lets a writer of another thread replace the file while it is read
  // here; this handle keeps reading the file it opened.
  HANDLE h = CreateFileW(cachePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return NULL;
  BYTE *block = NULL;
  LARGE_INTEGER fileSize;
  DWORD bytes = 0;
  DESC_CACHE_FACTS facts = {};
  facts.textTime = &textTime;
  facts.cacheTime = &cacheTime;
  if (GetFileTime(h, NULL, NULL, &cacheTime) && DescCacheDecide(DESC_CACHE_READ, &facts) == DESC_CACHE_ALLOWED &&
      GetFileSizeEx(h, &fileSize) && fileSize.QuadPart > DESC_HEADER_SIZE &&
      fileSize.QuadPart <= (LONGLONG)DESC_CACHE_FILE_MAX) {
    bytes = (DWORD)fileSize.QuadPart;
    block = (BYTE *)GlobalAlloc(GPTR, bytes);
    if (block != NULL && (!ReadAll(h, block, bytes) || DescLd32(block, offsetof(DESC_HEADER, totalSize)) != bytes)) {
      GlobalFree(block);
      block = NULL;
    }
  }
  CloseHandle(h);
  if (block == NULL) return NULL;

  // The FileVersion is compared as a text: it must end inside its field.
  BOOL terminated = FALSE;
  for (DWORD i = 0; i < 16 && !terminated; ++i) terminated = DescLd16(block, 2u * i) == 0;
  DESC_VALIDATE_RESULT why;
  if (!terminated || !DescValidateStored(block, bytes, &why)) {
    GlobalFree(block);
    return NULL;
  }
  if (size != NULL) *size = bytes;
  return block;
}

BOOL WINAPI DescReadTextWriteTime(const WCHAR *descPath, FILETIME *time)
{
  if (descPath == NULL || time == NULL) return FALSE;
  return ReadWriteTime(descPath, FILE_SHARE_READ | FILE_SHARE_WRITE, time);
}

BOOL WINAPI DescWriteCacheFile(const WCHAR *descPath, const BYTE *stored)
{
  FILETIME textTime;
  if (stored == NULL || !DescReadTextWriteTime(descPath, &textTime)) return FALSE;
  return DescWriteCacheFileStamped(descPath, stored, &textTime);
}

BOOL WINAPI DescWriteCacheFileStamped(const WCHAR *descPath, const BYTE *stored, const FILETIME *textTime)
{
  if (stored == NULL || textTime == NULL) return FALSE;
  DWORD bytes = DescLd32(stored, offsetof(DESC_HEADER, totalSize));
  // A block of the header alone would never be read back.
  if (bytes <= DESC_HEADER_SIZE || bytes > DESC_CACHE_FILE_MAX) return FALSE;
  WCHAR cachePath[DESC_CACHE_PATH_CHARS], tempPath[DESC_CACHE_PATH_CHARS];
  if (!DescMakeCachePath(cachePath, descPath) || !MakeTempPath(tempPath, cachePath)) return FALSE;

  HANDLE h = CreateFileW(tempPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  BOOL ok = WriteAll(h, stored, bytes) && SetFileTime(h, NULL, NULL, textTime);
  CloseHandle(h);
  if (ok) ok = MoveFileExW(tempPath, cachePath, MOVEFILE_REPLACE_EXISTING);
  if (!ok) {
    DeleteFileW(tempPath);
    return FALSE;
  }
  ++g_writes;
  return TRUE;
}

void WINAPI DescDeleteCacheFile(const WCHAR *descPath)
{
  WCHAR cachePath[DESC_CACHE_PATH_CHARS];
  if (DescMakeCachePath(cachePath, descPath)) DeleteFileW(cachePath);
}

DWORD WINAPI DescCacheFileWriteCount(void) { return g_writes.load(); }
