// Paths of bundle files and of their converted copies: the expansion of the folder prefixes
// a bundle list may use, and the copies' names in the driver and settings folders.
#include "files/paths.h"
#include "files/settings_dirs.h"
#include "names/names_paths.h"
#include "os/os.h"
#include "store/settings_setup.h"

namespace {

constexpr int kPrefixedMax = 260;

bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

bool StartsWith(const WCHAR *s, const WCHAR *prefix)
{
  int n = lstrlenW(prefix);
  if (lstrlenW(s) < n) return false;
  for (int i = 0; i < n; ++i) {
    WCHAR a = s[i], b = prefix[i];
    if (a >= u'A' && a <= u'Z') a = (WCHAR)(a - u'A' + u'a');
    if (b >= u'A' && b <= u'Z') b = (WCHAR)(b - u'A' + u'a');
    if (a != b) return false;
  }
  return true;
}

// Whether a path joined to a folder stays inside it: not empty, relative (no leading
// separator, no drive or stream colon) and without a ".." component.
bool StaysInside(const WCHAR *rest)
{
  if (rest == NULL || rest[0] == 0 || IsSeparator(rest[0])) return false;
  const WCHAR *part = rest;
  for (const WCHAR *p = rest;; ++p) {
    if (*p == u':') return false;
    if (*p == 0 || IsSeparator(*p)) {
      if (p - part == 2 && part[0] == u'.' && part[1] == u'.') return false;
      if (*p == 0) return true;
      part = p + 1;
    }
  }
}

// The rest of a prefixed path: the text after the prefix, one separator skipped.
const WCHAR *RestAfter(const WCHAR *path, int prefixChars)
{
  const WCHAR *rest = path + prefixChars;
  return IsSeparator(*rest) ? rest + 1 : rest;
}

}  // namespace

int WINAPI PathExpandWinSysDir(WCHAR *path, DWORD capacity, int mode, DRIVER_CONTEXT *ctx)
{
  if (path == NULL || capacity == 0) return 0;
  if (path[0] != 0 && path[1] == u':') return 1;
  bool bundle = mode == KV_EXPAND_BUNDLE && OsIsNT5OrLater();
  bool prefixed = StartsWith(path, u"%windir%") || StartsWith(path, u"%sysdir%") || StartsWith(path, u"..\\") ||
                  StartsWith(path, u".\\");
  if (prefixed && lstrlenW(path) >= kPrefixedMax) return 0;
  WCHAR *out = (WCHAR *)MemAllocZeroed(capacity * sizeof(WCHAR));
  if (out == NULL) return 0;
  HANDLE printer = ctx != NULL ? ctx->printer : NULL;
  if (StartsWith(path, u"%windir%")) {
    const WCHAR *rest = RestAfter(path, 8);
    if (StaysInside(rest)) {
      if (bundle)
        PathInDriverDir(out, capacity, rest, printer);
      else
        PathInWindowsDir(out, capacity, rest);
    }
  } else if (StartsWith(path, u"%sysdir%")) {
    const WCHAR *rest = RestAfter(path, 8);
    if (StaysInside(rest)) {
      if (bundle)
        PathInSharedSettingsDir(out, capacity, rest, ctx);
      else
        PathInSystemDir(out, capacity, rest);
    }
  } else if (StartsWith(path, u"..\\")) {
    const WCHAR *rest = path;
    while (StartsWith(rest, u"..\\")) rest += 3;
    if (StaysInside(rest)) PathResolveUpFromSystemDir(out, capacity, path);
  } else {
    const WCHAR *rest = StartsWith(path, u".\\") ? path + 2 : path;
    if (StaysInside(rest)) {
      if (bundle)
        PathInDriverDir(out, capacity, rest, printer);
      else
        PathInSystemDir(out, capacity, rest);
    }
  }
  int ok = out[0] != 0 && out[1] == u':' ? 1 : 0;
  if (ok) lstrcpynW(path, out, (int)capacity);
  MemFree(out);
  return ok;
}

int WINAPI SetupExpandBundlePath(WCHAR *path, DWORD capacity, DRIVER_CONTEXT *ctx)
{
  if (!PathExpandWinSysDir(path, capacity, KV_EXPAND_BUNDLE, ctx)) return 0;
  return PathHasShortExtAlias(path) ? 1 : 0;
}

BOOL WINAPI PathSettingsKsrFile(WCHAR *destination, const WCHAR *source, DWORD capacity, DRIVER_CONTEXT *ctx)
{
  return PathSettingsKsrFileCore(destination, source, capacity, ctx);
}

int WINAPI PathDriverSettingsFile(WCHAR *destination, const WCHAR *source, DWORD capacity, DWORD flags,
                                  DRIVER_CONTEXT *ctx)
{
  if (destination == NULL || source == NULL || capacity == 0 || ctx == NULL) return 0;
  destination[0] = 0;
  const WCHAR *dir = CtxGetDriverDir(ctx);
  if (dir == NULL || dir[0] == 0) return 0;
  if (!PathJoin(destination, capacity, dir, 0, PathFindFileName(source))) return 0;
  const WCHAR *ext = (flags & KV_DRIVER_FILE_KSD) ? u"ksd" : (flags & KV_DRIVER_FILE_KSQ) ? u"ksq" : NULL;
  if (ext == NULL) return 1;
  WCHAR *renamed = (WCHAR *)MemAllocZeroed(capacity * sizeof(WCHAR));
  BOOL ok = renamed != NULL && PathReplaceExt(renamed, capacity, destination, ext);
  if (ok)
    lstrcpynW(destination, renamed, (int)capacity);
  else
    destination[0] = 0;
  MemFree(renamed);
  return ok ? 1 : 0;
}

int WINAPI PathDriverKsqFile(WCHAR *destination, const WCHAR *source, DWORD capacity, DRIVER_CONTEXT *ctx)
{
  return PathDriverSettingsFile(destination, source, capacity, KV_DRIVER_FILE_KSQ, ctx);
}

BOOL WINAPI PathWithKsdExt(WCHAR *destination, const WCHAR *source, DWORD capacity)
{
  return PathReplaceExt(destination, capacity, source, u"ksd");
}
