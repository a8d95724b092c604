// The host drive: a drive letter that maps to the host's own root instead of a folder of
// the machine root (see kvplat/host_drive.h). root.cpp asks IsHostDrive while mapping.
#include "kvplat/host_drive.h"

#include <string.h>

#include <atomic>
#include <string>
#include <vector>

#include "internal.h"

namespace plat {
namespace {

std::atomic<WCHAR> g_hostDrive{0};

struct ResetRegistrar {
  ResetRegistrar()
  {
    RegisterReset([] { g_hostDrive.store(0); });
  }
} g_registrar;

// A name a Windows path can hold and that maps back to the same host bytes.
bool IsWindowsName(const std::string &name, const std::u16string &wide)
{
  if (Utf16ToUtf8(wide.data(), wide.size()) != name) return false;  // not UTF-8
  for (WCHAR c : wide)
    if (c < 0x20 || c == u'\\' || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' ||
        c == u'*')
      return false;
  // Windows drops a trailing dot or blank, so such a name would reach another file.
  return wide.back() != u'.' && wide.back() != u' ';
}

}  // namespace

bool IsHostDrive(WCHAR drive)
{
  WCHAR d = g_hostDrive.load(std::memory_order_acquire);
  return d != 0 && FoldUpper(drive) == d;
}

}  // namespace plat

BOOL PlatSetHostDrive(WCHAR letter)
{
  WCHAR up = plat::FoldUpper(letter);
  if (letter != 0 && (up < u'A' || up > u'Z')) {
    SetLastError(ERROR_INVALID_DRIVE);
    return FALSE;
  }
  plat::g_hostDrive.store(up, std::memory_order_release);
  return TRUE;
}

WCHAR PlatGetHostDrive(void) { return plat::g_hostDrive.load(std::memory_order_acquire); }

BOOL PlatHostPathToWin(const char *posixPath, WCHAR *out, UINT outChars)
{
  WCHAR drive = PlatGetHostDrive();
  if (drive == 0) {
    SetLastError(ERROR_INVALID_DRIVE);
    return FALSE;
  }
  if (posixPath == nullptr || posixPath[0] != '/') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::u16string> parts;
  const char *p = posixPath;
  while (*p) {
    while (*p == '/') ++p;
    const char *end = strchr(p, '/');
    if (end == nullptr) end = p + strlen(p);
    std::string name(p, end);
    p = end;
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    std::u16string wide = plat::Utf8ToUtf16(name);
    if (!plat::IsWindowsName(name, wide)) {
      SetLastError(ERROR_INVALID_NAME);
      return FALSE;
    }
    parts.push_back(wide);
  }
  std::u16string win(1, drive);
  win += u":\\";
  for (size_t i = 0; i < parts.size(); ++i) win += (i ? u"\\" : u"") + parts[i];
  if (win.size() + 1 >= MAX_PATH) {  // the limit a Windows path of these names meets
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  if (out == nullptr || outChars < win.size() + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(out, win.c_str(), (win.size() + 1) * sizeof(WCHAR));
  return TRUE;
}
