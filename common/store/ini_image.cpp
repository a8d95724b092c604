// In-memory INI image: loading a settings file whole, finding sections and keys in its
// text, composing a section and putting it at the front of the file in one rewrite.
#include "store/ini_image.h"

#include <string.h>

#include "files/file_replace.h"
#include "items/item_store.h"

namespace {

// Bytes of an ANSI path with its terminator.
constexpr int kPathBytes = 260;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameChar(char a, char b) { return LowerAscii(a) == LowerAscii(b); }

// dst (bytes) := src in the active code page, terminated; false (dst empty) when src is
// NULL or does not fit whole, so that a long path is never cut into another path.
bool ToAnsi(char *dst, int bytes, LPCWSTR src)
{
  for (int i = 0; i < bytes; ++i) dst[i] = 0;
  if (src == NULL) return false;
  int need = WideCharToMultiByte(CP_ACP, 0, src, -1, NULL, 0, NULL, NULL);
  if (need <= 0 || need > bytes) return false;
  return WideCharToMultiByte(CP_ACP, 0, src, -1, dst, bytes, NULL, NULL) > 0;
}

bool IsAbsolute(LPCWSTR path) { return path != NULL && path[0] != 0 && path[1] == u':'; }

bool AtSectionOrEnd(const char *p) { return *p == 0 || *p == '['; }

// Makes room for extra more bytes after length (plus the NUL that always follows).
bool Reserve(INI_SECTION_BUFFER *buffer, DWORD length, DWORD extra)
{
  if (buffer->text == NULL) return false;
  if (extra > 0x7FFFFFFFu - length - 1) return false;
  DWORD need = length + extra + 1;
  if (need <= buffer->capacity) return true;
  DWORD grown = buffer->capacity;
  while (grown < need) grown = grown > 0x3FFFFFFFu ? need : grown * 2;
  HGLOBAL bigger = GlobalReAlloc(buffer->text, grown, GMEM_MOVEABLE | GMEM_ZEROINIT);
  if (bigger == NULL) return false;
  buffer->text = static_cast<char *>(bigger);
  buffer->capacity = grown;
  return true;
}

void Append(INI_SECTION_BUFFER *buffer, DWORD *length, const char *bytes, DWORD n)
{
  for (DWORD i = 0; i < n; ++i) buffer->text[*length + i] = bytes[i];
  *length += n;
  buffer->text[*length] = 0;
}

// The open file whole as a NUL-terminated text (GlobalAlloc) and its size in bytes (NUL
// bytes inside the file included); NULL when it cannot be read whole. Closes the file.
char *ReadOpenFile(HFILE file, DWORD *size)
{
  LONG end = _llseek(file, 0, FILE_END);
  char *text = NULL;
  if (end >= 0 && end < 0x7FFFFFFF && _llseek(file, 0, FILE_BEGIN) == 0) {
    text = static_cast<char *>(GlobalAlloc(GPTR, static_cast<SIZE_T>(end) + 1));
  }
  if (text != NULL && end > 0 && _hread(file, text, end) != end) {
    GlobalFree(text);
    text = NULL;
  }
  _lclose(file);
  if (size != NULL) *size = text != NULL ? static_cast<DWORD>(end) : 0;
  return text;
}

// The old file whole into *text and its size; a missing file gives no text. false when
// the file exists but cannot be read whole, so that it is never rewritten from a part.
bool ReadOldFile(const char *path, char **text, DWORD *size)
{
  *text = NULL;
  *size = 0;
  HFILE file = _lopen(path, OF_READ | OF_SHARE_DENY_WRITE);
  if (file == HFILE_ERROR) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  *text = ReadOpenFile(file, size);
  return *text != NULL;
}

}  // namespace

char *WINAPI IniLoadImage(LPCWSTR path)
{
  if (!IsAbsolute(path)) return NULL;
  char ansi[kPathBytes];
  if (!ToAnsi(ansi, kPathBytes, path)) return NULL;
  return IniReadWholeFile(ansi);
}

char *WINAPI IniReadWholeFile(LPCSTR path)
{
  if (path == NULL) return NULL;
  HFILE file = _lopen(path, OF_READ | OF_SHARE_DENY_WRITE);
  if (file == HFILE_ERROR) return NULL;
  return ReadOpenFile(file, NULL);
}

int WINAPI IniFreeImage(char *text)
{
  if (text != NULL) GlobalFree(text);
  return 1;
}

int WINAPI IniMatchSectionName(const char *name, const char **text)
{
  if (name == NULL || text == NULL || *text == NULL) return 0;
  const char *p = *text;
  for (; *name; ++name, ++p) {
    if (*p == 0 || !SameChar(*p, *name)) return 0;
  }
  if (*p != ']') return 0;
  *text = p + 1;
  return 1;
}

const char *WINAPI IniNextLine(const char *text)
{
  if (text == NULL) return NULL;
  while (*text && *text != '\n') ++text;
  return *text ? text + 1 : text;
}

char *WINAPI IniImageFindSection(LPCWSTR section, const char *text)
{
  if (section == NULL || text == NULL) return NULL;
  char name[KV_INI_NAME_BYTES];
  if (!ToAnsi(name, KV_INI_NAME_BYTES, section)) return NULL;
  for (const char *line = text; *line; line = IniNextLine(line)) {
    if (*line != '[') continue;
    const char *rest = line + 1;
    if (IniMatchSectionName(name, &rest)) return const_cast<char *>(IniNextLine(rest));
  }
  return NULL;
}

int WINAPI IniMatchKey(const char *key, const char **text)
{
  if (key == NULL || text == NULL || *text == NULL || *key == 0) return 0;
  const char *p = *text;
  for (; *key; ++key, ++p) {
    if (*p == 0 || !SameChar(*p, *key)) return 0;
  }
  if (*p != '=') return 0;
  *text = p + 1;
  return 1;
}

DWORD WINAPI IniCopyValue(char *out, const char *text, DWORD count)
{
  if (out == NULL || count == 0) return 0;
  DWORD n = 0;
  if (text != NULL) {
    while (n + 1 < count && text[n] && text[n] != '\r' && text[n] != '\n') {
      out[n] = text[n];
      ++n;
    }
  }
  out[n] = 0;
  return n;
}

WORD WINAPI IniImageGetString(LPCWSTR key, LPCWSTR defaultValue, LPWSTR out, WORD capacity, const char *sectionBody,
                              LONG *cursor)
{
  bool found = false;
  if (sectionBody != NULL && key != NULL && out != NULL && capacity > 0 && cursor != NULL) {
    char ansiKey[KV_INI_NAME_BYTES];
    // A cursor that does not stand inside the text (a stale one) restarts at the body.
    if (*cursor < 0 || strnlen(sectionBody, static_cast<size_t>(*cursor)) < static_cast<size_t>(*cursor)) *cursor = 0;
    const char *start = sectionBody + *cursor;
    if (ToAnsi(ansiKey, KV_INI_NAME_BYTES, key)) {
      const char *p = start;
      bool firstPass = true;
      for (;;) {
        if (AtSectionOrEnd(p)) {
          if (!firstPass) {
            *cursor = 0;
            break;
          }
          p = sectionBody;
          firstPass = false;
        }
        if (!firstPass && p == start) break;
        const char *value = p;
        if (IniMatchKey(ansiKey, &value)) {
          char *ansi = static_cast<char *>(GlobalAlloc(GPTR, capacity));
          if (ansi == NULL) break;
          IniCopyValue(ansi, value, capacity);
          for (WORD i = 0; i < capacity; ++i) out[i] = 0;
          StrAnsiToWide(out, ansi, capacity);
          GlobalFree(ansi);
          *cursor = static_cast<LONG>(IniNextLine(value) - sectionBody);
          found = true;
          break;
        }
        p = IniNextLine(p);
      }
    }
  } else if (cursor != NULL && sectionBody == NULL) {
    *cursor = 0;
  }
  if (out == NULL || capacity == 0) return 0;
  if (!found) {
    for (WORD i = 0; i < capacity; ++i) out[i] = 0;
    if (defaultValue != NULL) {
      for (WORD i = 0; i + 1 < capacity && defaultValue[i]; ++i) out[i] = defaultValue[i];
    }
  }
  return static_cast<WORD>(lstrlenW(out));
}

INT WINAPI IniImageGetInt(LPCWSTR key, INT defaultValue, const char *sectionBody, LONG *cursor)
{
  WCHAR value[11];
  if (IniImageGetString(key, u"", value, 11, sectionBody, cursor) == 0) return defaultValue;
  return _wtoi(value);
}

int WINAPI IniSectionBufferInit(INI_SECTION_BUFFER *buffer)
{
  if (buffer == NULL) return 0;
  buffer->text = static_cast<char *>(GlobalAlloc(GPTR, KV_INI_SECTION_BUFFER_SIZE));
  buffer->capacity = buffer->text != NULL ? KV_INI_SECTION_BUFFER_SIZE : 0;
  return buffer->text != NULL;
}

int WINAPI IniSectionBufferFree(INI_SECTION_BUFFER *buffer)
{
  if (buffer != NULL && buffer->text != NULL) GlobalFree(buffer->text);
  if (buffer != NULL) {
    buffer->text = NULL;
    buffer->capacity = 0;
  }
  return 1;
}

int WINAPI IniImagePutSection(DWORD *length, LPCWSTR section, INI_SECTION_BUFFER *buffer)
{
  if (length == NULL || section == NULL || buffer == NULL) return 0;
  if (section[0] == 0) return 1;
  char name[KV_INI_NAME_BYTES];
  if (!ToAnsi(name, KV_INI_NAME_BYTES, section)) return 0;
  DWORD n = static_cast<DWORD>(lstrlenA(name));
  if (!Reserve(buffer, *length, n + 4)) return 0;
  Append(buffer, length, "[", 1);
  Append(buffer, length, name, n);
  Append(buffer, length, "]\r\n", 3);
  return 1;
}

int WINAPI IniImagePutString(DWORD *length, LPCWSTR key, LPCWSTR value, INI_SECTION_BUFFER *buffer)
{
  if (length == NULL || key == NULL || buffer == NULL) return 0;
  if (key[0] == 0) return 1;
  char ansiKey[KV_INI_NAME_BYTES];
  if (!ToAnsi(ansiKey, KV_INI_NAME_BYTES, key)) return 0;
  DWORD valueBytes = 0;
  char *ansiValue = NULL;
  if (value != NULL && value[0] != 0) {
    int need = WideCharToMultiByte(CP_ACP, 0, value, -1, NULL, 0, NULL, NULL);
    if (need <= 0) return 0;
    ansiValue = static_cast<char *>(GlobalAlloc(GPTR, static_cast<SIZE_T>(need)));
    if (ansiValue == NULL) return 0;
    WideCharToMultiByte(CP_ACP, 0, value, -1, ansiValue, need, NULL, NULL);
    valueBytes = static_cast<DWORD>(lstrlenA(ansiValue));
  }
  DWORD keyBytes = static_cast<DWORD>(lstrlenA(ansiKey));
  int ok = Reserve(buffer, *length, keyBytes + valueBytes + 3);
  if (ok) {
    Append(buffer, length, ansiKey, keyBytes);
    Append(buffer, length, "=", 1);
    if (ansiValue != NULL) Append(buffer, length, ansiValue, valueBytes);
    Append(buffer, length, "\r\n", 2);
  }
  if (ansiValue != NULL) GlobalFree(ansiValue);
  return ok;
}

const char *WINAPI IniTextFindSection(const char *section, const char *text, DWORD textLength, DWORD *sectionLength)
{
  if (sectionLength != NULL) *sectionLength = 0;
  if (section == NULL || text == NULL) return NULL;
  const char *end = text + textLength;
  const char *line = text;
  while (line < end) {
    const char *next = line;
    while (next < end && *next != '\n') ++next;
    if (next < end) ++next;
    const char *rest = line + 1;
    if (*line == '[' && IniMatchSectionName(section, &rest) && rest <= end) {
      const char *stop = next;
      while (stop < end && *stop != '[') {
        while (stop < end && *stop != '\n') ++stop;
        if (stop < end) ++stop;
      }
      if (sectionLength != NULL) *sectionLength = static_cast<DWORD>(stop - line);
      return line;
    }
    line = next;
  }
  return NULL;
}

int WINAPI IniImageWriteSection(DRIVER_CONTEXT *ctx, LPCWSTR path, LPCWSTR section, const char *buffer, DWORD length)
{
  if (path == NULL || section == NULL || buffer == NULL) return 0;
  char ansiPath[kPathBytes], ansiSection[KV_INI_NAME_BYTES];
  if (!ToAnsi(ansiPath, kPathBytes, path) || !ToAnsi(ansiSection, KV_INI_NAME_BYTES, section)) return 0;

  char *old = NULL;
  DWORD oldSize = 0;
  if (!ReadOldFile(ansiPath, &old, &oldSize)) return 0;
  DWORD oldSectionLength = 0;
  const char *oldSection = old != NULL ? IniTextFindSection(ansiSection, old, oldSize, &oldSectionLength) : NULL;

  // The new text in pieces: it replaces the file whole (FileReplaceWhole), so a failed
  // write leaves the old file as it was.
  FILE_PIECE pieces[5];
  DWORD count = 0;
  // Lines in front of the file's first section header belong to no section. They stay in
  // front: after the new section they would be read as its keys.
  DWORD lead = 0;
  while (old != NULL && lead < oldSize && old[lead] != '[') {
    while (lead < oldSize && old[lead] != '\n') ++lead;
    if (lead < oldSize) ++lead;
  }
  if (lead > 0) {
    pieces[count++] = {old, lead};
    if (old[lead - 1] != '\n') pieces[count++] = {"\r\n", 2};
  }
  pieces[count++] = {buffer, length};
  if (old != NULL) {
    DWORD before = oldSection != NULL ? static_cast<DWORD>(oldSection - old) : oldSize;
    pieces[count++] = {old + lead, before - lead};
    if (oldSection != NULL) {
      DWORD after = before + oldSectionLength;
      pieces[count++] = {old + after, oldSize - after};
    }
  }
  bool ok = FileReplaceWhole(path, pieces, count, NULL) != FALSE;
  if (!ok) CtxSetSettingsFileStatus(ctx, GetLastError());
  IniFreeImage(old);
  return ok ? 1 : 0;
}
