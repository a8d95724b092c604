// Several keys of one INI section written with a single rewrite of the file: the section is
// composed from its old text with the keys set or removed, and put in place of the old one
// by the image writer. A key written through the profile functions rewrites the whole file
// each time; a save that sets several keys of a large settings INI pays that once.
#include <string.h>

#include <string>
#include <vector>

#include "files/ini.h"
#include "os/mem_str.h"
#include "store/ini_image.h"
#include "store/store_internal.h"

namespace {

bool IsAbsolute(LPCWSTR path) { return path != NULL && path[0] != 0 && path[1] == u':'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\r'; }

// text in the active code page, without the CR and LF a value cannot hold (they would end
// its line early); false when it cannot be converted.
bool ToAnsi(LPCWSTR text, std::string &out)
{
  out.clear();
  if (text == NULL || text[0] == 0) return true;
  int need = WideCharToMultiByte(CP_ACP, 0, text, -1, NULL, 0, NULL, NULL);
  if (need <= 0) return false;
  out.resize(static_cast<size_t>(need));
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], need, NULL, NULL) <= 0) return false;
  out.resize(strlen(out.c_str()));
  std::string kept;
  for (char c : out)
    if (c != '\r' && c != '\n') kept += c;
  out.swap(kept);
  return true;
}

// One key of the batch in the active code page, and whether the section held it.
struct PendingKey {
  std::string name;
  std::string value;
  bool remove = false;
  bool done = false;
};

// The name of a key line (the text before '=' without surrounding blanks, as the profile
// functions read it) as [*begin, *end) of line; false for blank lines, comments and lines
// without '='.
bool KeyNameOf(const char *line, size_t length, size_t *begin, size_t *end)
{
  size_t b = 0;
  while (b < length && IsBlank(line[b])) ++b;
  if (b == length || line[b] == ';' || line[b] == '[') return false;
  const char *eq = static_cast<const char *>(memchr(line + b, '=', length - b));
  if (eq == NULL) return false;
  size_t e = static_cast<size_t>(eq - line);
  while (e > b && IsBlank(line[e - 1])) --e;
  *begin = b;
  *end = e;
  return true;
}

bool SameName(const std::string &a, const char *b, size_t length)
{
  if (a.size() != length) return false;
  for (size_t i = 0; i < length; ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

void AppendKey(std::string &out, const char *name, size_t length, const std::string &value)
{
  out.append(name, length);
  out += '=';
  out += value;
  out += "\r\n";
}

// The section's header line and body rebuilt with the keys: a key the body holds is set in
// its place (its first occurrence, under its own spelling) or dropped; the keys it lacks
// follow its last entry. Other lines keep their bytes.
void ComposeSection(const std::string &header, const char *body, size_t bodyLength, std::vector<PendingKey> &keys,
                    std::string &out)
{
  out = "[" + header + "]\r\n";
  size_t extra = 0;
  for (const PendingKey &k : keys) extra += k.name.size() + k.value.size() + 3;
  out.reserve(out.size() + bodyLength + extra + 2);
  size_t insertAt = out.size();
  for (size_t at = 0; at < bodyLength;) {
    const char *line = body + at;
    const char *nl = static_cast<const char *>(memchr(line, '\n', bodyLength - at));
    size_t length = nl != NULL ? static_cast<size_t>(nl - line) + 1 : bodyLength - at;
    at += length;
    size_t textLength = length;
    while (textLength > 0 && (line[textLength - 1] == '\n' || line[textLength - 1] == '\r')) --textLength;
    size_t nameBegin = 0, nameEnd = 0;
    PendingKey *match = NULL;
    if (KeyNameOf(line, textLength, &nameBegin, &nameEnd)) {
      for (PendingKey &k : keys) {
        if (!k.done && SameName(k.name, line + nameBegin, nameEnd - nameBegin)) {
          match = &k;
          break;
        }
      }
    }
    if (match != NULL) {
      match->done = true;
      if (match->remove) continue;
      AppendKey(out, line + nameBegin, nameEnd - nameBegin, match->value);
    } else {
      out.append(line, length);
      if (nl == NULL) out += "\r\n";  // the file's last line gets its line end
    }
    size_t b = 0;
    while (b < textLength && IsBlank(line[b])) ++b;
    if (b < textLength && line[b] != ';') insertAt = out.size();
  }
  std::string added;
  for (const PendingKey &k : keys)
    if (!k.done && !k.remove) AppendKey(added, k.name.data(), k.name.size(), k.value);
  out.insert(insertAt, added);
}

}  // namespace

int WINAPI IniImageWriteKeys(DRIVER_CONTEXT *ctx, LPCWSTR path, LPCWSTR section, const INI_KEY_VALUE *keys, DWORD count)
{
  if (!IsAbsolute(path) || section == NULL || section[0] == 0 || keys == NULL || count == 0) return 0;
  if (lstrlenW(section) > static_cast<int>(KV_INI_SECTION_MAX)) return 0;
  WCHAR sanitized[KV_INI_SECTION_MAX + 1];
  lstrcpynW(sanitized, section, KV_INI_SECTION_MAX + 1);
  IniSanitizeSectionName(sanitized);
  std::string header;
  if (!ToAnsi(sanitized, header)) return 0;
  std::vector<PendingKey> pending(count);
  for (DWORD i = 0; i < count; ++i) {
    if (keys[i].key == NULL || keys[i].key[0] == 0 || !ToAnsi(keys[i].key, pending[i].name) ||
        !ToAnsi(keys[i].value, pending[i].value))
      return 0;
    pending[i].remove = keys[i].value == NULL;
  }

  // The file is read and rewritten under the settings mutex, as every composed section is.
  StoreMutexScope lock(ctx);
  char *old = IniLoadImage(path);
  if (old == NULL && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) return 0;  // there, but unreadable
  const char *body = NULL;
  size_t bodyLength = 0;
  if (old != NULL) {
    DWORD sectionLength = 0;
    const char *at = IniTextFindSection(header.c_str(), old, static_cast<DWORD>(strlen(old)), &sectionLength);
    if (at != NULL) {
      body = IniNextLine(at);
      bodyLength = sectionLength - static_cast<size_t>(body - at);
    }
  }
  std::string composed;
  ComposeSection(header, body, bodyLength, pending, composed);
  IniFreeImage(old);
  WritePrivateProfileStringW(NULL, NULL, NULL, path);
  int written = IniImageWriteSection(ctx, path, sanitized, composed.data(), static_cast<DWORD>(composed.size()));
  WritePrivateProfileStringW(NULL, NULL, NULL, path);
  return written;
}
