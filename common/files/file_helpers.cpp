// File helpers of the settings core.
#include "files/file_helpers.h"

#include "context.h"
#include "files/paths.h"

namespace {

bool IsDotEntry(LPCWSTR name) { return lstrcmpiW(name, u".") == 0 || lstrcmpiW(name, u"..") == 0; }

}  // namespace

BOOL WINAPI FileExists(LPCWSTR path)
{
  if (!path) return FALSE;
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  CloseHandle(h);
  return TRUE;
}

BOOL WINAPI FileDeleteForced(LPCWSTR path)
{
  if (!path) return FALSE;
  if (!SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL)) return FALSE;
  return DeleteFileW(path) ? TRUE : FALSE;
}

BOOL WINAPI FileDeleteMatching(LPCWSTR pattern)
{
  if (!pattern) return FALSE;
  LPCWSTR name = PathFindFileName(pattern);
  if (name == pattern) return FALSE;  // no folder part
  DWORD folderLen = static_cast<DWORD>(name - pattern) - 1;
  if (folderLen >= MAX_PATH) return FALSE;
  WCHAR folder[MAX_PATH];
  for (DWORD i = 0; i < folderLen; ++i) folder[i] = pattern[i];
  folder[folderLen] = 0;
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW(pattern, &fd);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  BOOL deleted = FALSE;
  do {
    if (IsDotEntry(fd.cFileName)) continue;
    WCHAR entry[MAX_PATH];
    if (!PathJoin(entry, MAX_PATH, folder, u'\\', fd.cFileName)) continue;
    if (FileDeleteForced(entry)) deleted = TRUE;
  } while (FindNextFileW(find, &fd));
  FindClose(find);
  return deleted;
}

BOOL WINAPI FileCopyNormal(LPCWSTR source, LPCWSTR target, BOOL failIfExists)
{
  if (!source || !target) return FALSE;
  if (!CopyFileW(source, target, failIfExists)) return FALSE;
  if (!SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL)) return FALSE;
  return SetFileAttributesW(target, FILE_ATTRIBUTE_ARCHIVE) ? TRUE : FALSE;
}

BOOL WINAPI FileClearReadOnly(LPCWSTR path)
{
  DWORD attributes = path ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  return TRUE;
}

BOOL WINAPI FileSameWriteTime(LPCWSTR a, LPCWSTR b)
{
  if (!a || !b) return FALSE;
  HANDLE ha = CreateFileW(a, 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ha == INVALID_HANDLE_VALUE) return FALSE;
  HANDLE hb = CreateFileW(b, 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (hb == INVALID_HANDLE_VALUE) {
    CloseHandle(ha);
    return FALSE;
  }
  BY_HANDLE_FILE_INFORMATION ia, ib;
  BOOL same = GetFileInformationByHandle(ha, &ia) && GetFileInformationByHandle(hb, &ib) &&
              ia.ftLastWriteTime.dwLowDateTime == ib.ftLastWriteTime.dwLowDateTime &&
              ia.ftLastWriteTime.dwHighDateTime == ib.ftLastWriteTime.dwHighDateTime;
  CloseHandle(ha);
  CloseHandle(hb);
  return same;
}

BOOL WINAPI FileEnsureDir(LPCWSTR path)
{
  if (!path) return FALSE;
  if (CreateDirectoryW(path, nullptr)) return TRUE;
  return GetLastError() == ERROR_ALREADY_EXISTS;
}

BOOL WINAPI FileCopyByMode(LPCWSTR source, LPCWSTR target, WORD mode)
{
  if (!source || !target || !*source || !*target) return FALSE;
  if (lstrcmpiW(source, target) == 0) return TRUE;
  if (!FileExists(source)) return FALSE;
  if (mode == KV_COPY_IF_MISSING) {
    if (FileExists(target)) return TRUE;
    return FileCopyNormal(source, target, FALSE);
  }
  if (FileSameWriteTime(source, target)) return FALSE;
  if (FileExists(target)) FileDeleteForced(target);  // the copy below reports whether the refresh worked
  return FileCopyNormal(source, target, FALSE);
}

BOOL WINAPI FileCopyIfChanged(LPCWSTR target, LPCWSTR source, WORD mode)
{
  if (!PathIsDriveAbsolute(target) || !PathIsDriveAbsolute(source)) return FALSE;
  return FileCopyByMode(source, target, mode);
}

BOOL WINAPI FileInstallFromDriverDir(LPCWSTR fileName, LPCWSTR sourceName, WORD mode, DRIVER_CONTEXT *ctx)
{
  if (!fileName || !ctx) return FALSE;
  WCHAR source[MAX_PATH] = {};
  WCHAR target[MAX_PATH] = {};
  PathInDriverDir(source, MAX_PATH, sourceName ? sourceName : fileName, ctx->printer);
  PathInSystemDir(target, MAX_PATH, fileName);
  return FileCopyByMode(source, target, mode);
}

BOOL WINAPI FileInstallFromDriverDirTo(LPCWSTR target, LPCWSTR sourceName, WORD mode, DRIVER_CONTEXT *ctx)
{
  if (!target || !ctx) return FALSE;
  if (!PathIsDriveAbsolute(target)) return FileInstallFromDriverDir(target, sourceName, mode, ctx);
  WCHAR source[MAX_PATH] = {};
  PathInDriverDir(source, MAX_PATH, sourceName ? sourceName : PathFindFileName(target), ctx->printer);
  return FileCopyByMode(source, target, mode);
}

BOOL WINAPI FileOpenBitmap(LPCWSTR path, HFILE *file)
{
  if (!path || !file) return FALSE;
  *file = HFILE_ERROR;
  char ansi[MAX_PATH];
  int n = WideCharToMultiByte(CP_ACP, 0, path, -1, ansi, MAX_PATH, nullptr, nullptr);
  if (n <= 0) return FALSE;  // no conversion or longer than the buffer
  HFILE h = _lopen(ansi, OF_READ);
  if (h == HFILE_ERROR) return FALSE;
  BYTE header[18];
  if (_lread(h, header, sizeof(header)) != sizeof(header)) {
    _lclose(h);
    return FALSE;
  }
  DWORD infoSize = header[14] | (header[15] << 8) | (header[16] << 16) | (static_cast<DWORD>(header[17]) << 24);
  if (infoSize != 40) {
    _lclose(h);
    return FALSE;
  }
  *file = h;
  return TRUE;
}

UINT WINAPI FileReadRaw(HFILE file, LPVOID buffer, UINT bytes) { return _lread(file, buffer, bytes); }

UINT WINAPI FileWriteRaw(HFILE file, LPCSTR buffer, UINT bytes) { return _lwrite(file, buffer, bytes); }

BOOL WINAPI FileMapReadOnly(LPCWSTR path, const BYTE **base, const BYTE **cursor, DWORD *size)
{
  if (!path || !base || !cursor) return FALSE;
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FALSE;
  if (size) {
    *size = GetFileSize(file, nullptr);
    if (*size == INVALID_FILE_SIZE) {
      CloseHandle(file);
      return FALSE;
    }
  }
  BOOL made = FALSE;
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping) {
    const BYTE *view = static_cast<const BYTE *>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (view) {
      *base = view;
      *cursor = view;
      made = TRUE;
    }
    CloseHandle(mapping);
  }
  CloseHandle(file);
  return made;
}
