// A read-only view of a whole file.
#include "os/os.h"

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
