// The machine root: the host folder that stands for the Windows machine, the mapping
// of Windows paths into it, system folders, the current folder and the environment.
#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <atomic>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "internal.h"
#include "win32/system.h"

namespace plat {

WCHAR FoldUpper(WCHAR c)
{
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 32) : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<WCHAR>(c - 32);
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A pairs upper/lower on even/odd code points, with a shifted run.
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : static_cast<WCHAR>(c - 1);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    return (c & 1) ? static_cast<WCHAR>(c - 1) : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<WCHAR>(c - 32);
  if (c >= 0x430 && c <= 0x44F) return static_cast<WCHAR>(c - 32);
  if (c >= 0x450 && c <= 0x45F) return static_cast<WCHAR>(c - 80);
  if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<WCHAR>(c - 32);
  return c;
}

int FoldCompare(const WCHAR *a, size_t na, const WCHAR *b, size_t nb)
{
  size_t n = na < nb ? na : nb;
  for (size_t i = 0; i < n; ++i) {
    WCHAR x = FoldUpper(a[i]), y = FoldUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return na == nb ? 0 : (na < nb ? -1 : 1);
}

namespace {

std::mutex g_lock;
bool g_rootSet = false;
std::string g_root;
std::u16string g_cwd = u"C:\\";

struct FoldLess {
  bool operator()(const std::u16string &a, const std::u16string &b) const
  {
    return FoldCompare(a.data(), a.size(), b.data(), b.size()) < 0;
  }
};
std::map<std::u16string, std::u16string, FoldLess> &Env()
{
  static auto *env = new std::map<std::u16string, std::u16string, FoldLess>();
  return *env;
}

void DefaultEnv()
{
  auto &e = Env();
  e.clear();
  e[u"windir"] = u"C:\\WINDOWS";
  e[u"SystemRoot"] = u"C:\\WINDOWS";
  e[u"SystemDrive"] = u"C:";
  e[u"TEMP"] = u"C:\\WINDOWS\\Temp";
  e[u"TMP"] = u"C:\\WINDOWS\\Temp";
  e[u"ProgramFiles"] = u"C:\\Program Files";
  e[u"USERNAME"] = u"kvuser";
  e[u"USERPROFILE"] = u"C:\\Documents and Settings\\kvuser";
  e[u"APPDATA"] = u"C:\\Documents and Settings\\kvuser\\Application Data";
  e[u"ALLUSERSPROFILE"] = u"C:\\Documents and Settings\\All Users";
  e[u"COMPUTERNAME"] = u"KVHOST";
  e[u"OS"] = u"Windows_NT";
}

void EnsureInit()
{
  if (!g_rootSet) {
    g_rootSet = true;
    const char *env = getenv("KVML_ROOT");
    g_root = env ? env : "";
    while (g_root.size() > 1 && g_root.back() == '/') g_root.pop_back();
  }
  if (Env().empty()) DefaultEnv();
}

void ResetRoot()
{
  std::lock_guard<std::mutex> g(g_lock);
  g_cwd = u"C:\\";
  DefaultEnv();
}

struct ResetRegistrar {
  ResetRegistrar() { RegisterReset(ResetRoot); }
} g_registrar;

bool IsSep(WCHAR c) { return c == u'\\' || c == u'/'; }
bool IsDriveLetter(WCHAR c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Splits and normalizes; fills drive (upper case) and components.
BOOL Normalize(const WCHAR *path, WCHAR &drive, std::vector<std::u16string> &parts)
{
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string p(path);
  if (p.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (p.size() >= 4 && IsSep(p[0]) && IsSep(p[1]) && p[2] == u'?' && IsSep(p[3])) p.erase(0, 4);
  if (p.size() >= 2 && IsSep(p[0]) && IsSep(p[1])) {
    SetLastError(ERROR_BAD_NETPATH);  // network paths have no place on this machine
    return FALSE;
  }
  std::u16string base;
  {
    std::lock_guard<std::mutex> g(g_lock);
    base = g_cwd;
  }
  std::u16string rest;
  if (p.size() >= 2 && p[1] == u':') {
    if (!IsDriveLetter(p[0])) {
      SetLastError(ERROR_INVALID_NAME);
      return FALSE;
    }
    drive = FoldUpper(p[0]);
    rest = p.substr(2);
    if (rest.empty() || !IsSep(rest[0])) {
      // Drive-relative: against the current folder when it is on that drive.
      std::u16string prefix = FoldUpper(base[0]) == drive ? base.substr(2) : u"\\";
      rest = prefix + u"\\" + rest;
    }
  } else {
    drive = FoldUpper(base[0]);
    rest = IsSep(p[0]) ? p : base.substr(2) + u"\\" + p;
  }
  parts.clear();
  size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && IsSep(rest[i])) ++i;
    size_t j = i;
    while (j < rest.size() && !IsSep(rest[j])) ++j;
    if (j > i) {
      std::u16string c = rest.substr(i, j - i);
      if (c == u".") {
      } else if (c == u"..") {
        if (!parts.empty()) parts.pop_back();
      } else {
        // Windows drops trailing dots and blanks of a name.
        while (!c.empty() && (c.back() == u'.' || c.back() == u' ')) c.pop_back();
        for (WCHAR ch : c) {
          if (ch < 0x20 || ch == u'<' || ch == u'>' || ch == u':' || ch == u'"' || ch == u'|') {
            SetLastError(ERROR_INVALID_NAME);
            return FALSE;
          }
        }
        if (!c.empty()) parts.push_back(c);
      }
    }
    i = j;
  }
  size_t len = 3;
  for (auto &c : parts) len += c.size() + 1;
  if (len >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  return TRUE;
}

// Finds the entry of dir whose name matches name case-insensitively.
bool FindEntry(const std::string &dir, const std::u16string &name, std::string &found)
{
  std::string exact = Utf16ToUtf8(name.data(), name.size());
  struct stat st;
  if (lstat((dir + "/" + exact).c_str(), &st) == 0) {
    found = exact;
    return true;
  }
  DIR *d = opendir(dir.c_str());
  if (!d) return false;
  bool ok = false;
  while (struct dirent *e = readdir(d)) {
    std::u16string n = Utf8ToUtf16(e->d_name);
    if (FoldCompare(n.data(), n.size(), name.data(), name.size()) == 0) {
      found = e->d_name;
      ok = true;
      break;
    }
  }
  closedir(d);
  return ok;
}

}  // namespace

BOOL FullWinPath(const WCHAR *winPath, std::u16string &full)
{
  WCHAR drive;
  std::vector<std::u16string> parts;
  if (!Normalize(winPath, drive, parts)) return FALSE;
  full.assign(1, drive);
  full += u":\\";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) full += u'\\';
    full += parts[i];
  }
  return TRUE;
}

namespace {

// The machine root, or false (ERROR_PATH_NOT_FOUND) when none is set.
bool CurrentRoot(std::string &root)
{
  {
    std::lock_guard<std::mutex> g(g_lock);
    EnsureInit();
    root = g_root;
  }
  if (root.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return true;
}

// The host folder that stands for a drive: its folder under the machine root, or "" for
// the host drive (whose names follow the host's own "/"). False (ERROR_PATH_NOT_FOUND)
// when the drive needs a machine root and none is set.
bool DriveFolder(WCHAR drive, std::string &folder)
{
  folder.clear();
  if (IsHostDrive(drive)) return true;
  if (!CurrentRoot(folder)) return false;
  folder += '/';
  AppendUtf8(folder, drive);
  return true;
}

// The host path of a normalized Windows path with every name taken as written.
std::string ExactHost(const std::string &driveFolder, const std::vector<std::u16string> &parts)
{
  std::string host = driveFolder;
  for (auto &c : parts) {
    host += '/';
    host += Utf16ToUtf8(c.data(), c.size());
  }
  return host.empty() ? std::string("/") : host;
}

// Bumped whenever the machine root is set, so that cached host paths know they are stale.
std::atomic<unsigned> g_rootVersion{1};

}  // namespace

BOOL ExactHostPath(const WCHAR *winPath, std::string &out)
{
  WCHAR drive;
  std::vector<std::u16string> parts;
  std::string folder;
  if (!Normalize(winPath, drive, parts) || !DriveFolder(drive, folder)) return FALSE;
  out = ExactHost(folder, parts);
  return TRUE;
}

bool FixedHostPath::Get(std::string &out)
{
  unsigned v = g_rootVersion.load(std::memory_order_acquire);
  if (v != version_) {
    if (!ExactHostPath(win_, path_)) return false;
    version_ = v;
  }
  out = path_;
  return true;
}

namespace {

// What the folder lookups of MapPath answered for names that do not exist as written:
// the last name looked up in its folder (found in another case, or missing). The answer
// depends only on the folder's entries, so it holds while the folder is the same one
// with the same change and status-change times: any entry added, removed or renamed, by
// this layer or by anything else on the host, moves them. One stat of the folder then
// replaces the lookups and the reading of the folder.
//
// The host keeps those times at a coarse grain: a change in the same tick as the look
// would leave them as they were. So an answer is kept only when the folder's entries had
// not changed for a while (its change time) when it was looked at: a later change of its
// entries then gives another change time. (A change time set back by hand moves the
// status-change time, which is part of the stamp too.)
struct FolderStamp {
  uint64_t dev = 0, ino = 0;
  int64_t mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;
  bool operator==(const FolderStamp &) const = default;
};

struct MappedName {
  std::string answer, parent;
  FolderStamp stamp;
  unsigned rootVersion = 0;
  unsigned layerChanges = 0;
};

constexpr int64_t kSettledNs = 100 * 1000000LL;  // a folder unchanged this long is settled
constexpr size_t kMaxMappedNames = 512;

std::mutex g_mappedLock;
std::unordered_map<std::string, MappedName> &MappedNames()
{
  static auto *names = new std::unordered_map<std::string, MappedName>();
  return *names;
}
// Bumped by the layer's own changes of folder entries (see NoteFolderChange).
std::atomic<unsigned> g_layerChanges{1};

bool StampFolder(const std::string &dir, FolderStamp &stamp, int64_t *age)
{
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  stamp.dev = static_cast<uint64_t>(st.st_dev);
  stamp.ino = static_cast<uint64_t>(st.st_ino);
  stamp.mtimeSec = st.st_mtim.tv_sec;
  stamp.mtimeNsec = st.st_mtim.tv_nsec;
  stamp.ctimeSec = st.st_ctim.tv_sec;
  stamp.ctimeNsec = st.st_ctim.tv_nsec;
  if (age != nullptr) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    int64_t nowNs = static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    *age = nowNs - (stamp.mtimeSec * 1000000000LL + stamp.mtimeNsec);
  }
  return true;
}

// The remembered answer for the host path as written, when it still holds.
bool RecallMapped(const std::string &exact, std::string &out)
{
  MappedName m;
  {
    std::lock_guard<std::mutex> g(g_mappedLock);
    auto it = MappedNames().find(exact);
    if (it == MappedNames().end()) return false;
    m = it->second;
  }
  FolderStamp now;
  if (m.rootVersion == g_rootVersion.load(std::memory_order_acquire) &&
      m.layerChanges == g_layerChanges.load(std::memory_order_acquire) && StampFolder(m.parent, now, nullptr) &&
      now == m.stamp) {
    out = m.answer;
    return true;
  }
  std::lock_guard<std::mutex> g(g_mappedLock);
  MappedNames().erase(exact);
  return false;
}

// Remembers the answer of a folder lookup when the folder is settled.
void RememberMapped(const std::string &exact, const std::string &parent, const std::string &answer,
                    unsigned layerChanges)
{
  MappedName m;
  int64_t age = 0;
  if (!StampFolder(parent, m.stamp, &age) || age < kSettledNs) return;
  m.answer = answer;
  m.parent = parent;
  m.rootVersion = g_rootVersion.load(std::memory_order_acquire);
  m.layerChanges = layerChanges;
  std::lock_guard<std::mutex> g(g_mappedLock);
  if (MappedNames().size() >= kMaxMappedNames) MappedNames().clear();
  MappedNames()[exact] = std::move(m);
}

void ResetMapped()
{
  std::lock_guard<std::mutex> g(g_mappedLock);
  MappedNames().clear();
}

struct MappedResetRegistrar {
  MappedResetRegistrar() { RegisterReset(ResetMapped); }
} g_mappedRegistrar;

}  // namespace

void NoteFolderChange() { g_layerChanges.fetch_add(1, std::memory_order_acq_rel); }

namespace {

// The machine root with every link in it resolved, computed again when the root is set
// anew; "" while the root folder cannot be resolved (it does not exist yet).
std::mutex g_realRootLock;
unsigned g_realRootVersion = 0;
std::string g_realRoot;

std::string RealRoot(const std::string &root)
{
  unsigned v = g_rootVersion.load(std::memory_order_acquire);
  std::lock_guard<std::mutex> g(g_realRootLock);
  if (v == g_realRootVersion && !g_realRoot.empty()) return g_realRoot;
  char *real = realpath(root.c_str(), nullptr);
  if (real == nullptr) return std::string();
  g_realRoot = real;
  free(real);
  g_realRootVersion = v;
  return g_realRoot;
}

// Whether path names something below folder (not folder itself).
bool Below(const std::string &path, const std::string &folder)
{
  return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         (path[folder.size()] == '/' || folder == "/");
}

// Whether a host path names something under the machine root (by its name as set, or
// with the root's links resolved); real receives the resolved root ("" when it cannot be
// resolved). Host paths that are not under it are the host drive's.
bool UnderMachineRoot(const std::string &host, std::string &real)
{
  std::string root;
  {
    std::lock_guard<std::mutex> g(g_lock);
    EnsureInit();
    root = g_root;
  }
  real.clear();
  if (root.empty()) return false;  // only the host drive maps
  real = RealRoot(root);
  return Below(host, root) || Below(host, real);
}

}  // namespace

bool MayFollowLink(const std::string &link, const std::string &target)
{
  std::string real;
  if (!UnderMachineRoot(link, real)) return true;
  return !real.empty() && Below(target, real);
}

namespace {

// Folders found inside the machine, with the identity and status-change time each had
// then. While a stat of the folder's path still reaches that same folder unchanged, the
// answer holds without a walk along the path: a link put in place of a folder on the way
// leads the stat to another folder, and moving the folder itself (out of the machine, with
// a link left behind) changes its status-change time. So an append to a file, which
// leaves its folder as it is, costs one stat here.
struct InsideFolder {
  uint64_t dev = 0, ino = 0;
  int64_t ctimeSec = 0, ctimeNsec = 0;
  unsigned rootVersion = 0;
};
constexpr size_t kMaxInsideFolders = 256;
std::mutex g_insideLock;
std::unordered_map<std::string, InsideFolder> &InsideFolders()
{
  static auto *folders = new std::unordered_map<std::string, InsideFolder>();
  return *folders;
}

InsideFolder Identity(const struct stat &st, unsigned rootVersion)
{
  InsideFolder f;
  f.dev = static_cast<uint64_t>(st.st_dev);
  f.ino = static_cast<uint64_t>(st.st_ino);
  f.ctimeSec = st.st_ctim.tv_sec;
  f.ctimeNsec = st.st_ctim.tv_nsec;
  f.rootVersion = rootVersion;
  return f;
}

bool SameFolder(const InsideFolder &a, const InsideFolder &b)
{
  return a.dev == b.dev && a.ino == b.ino && a.ctimeSec == b.ctimeSec && a.ctimeNsec == b.ctimeNsec &&
         a.rootVersion == b.rootVersion;
}

void ResetInsideFolders()
{
  std::lock_guard<std::mutex> g(g_insideLock);
  InsideFolders().clear();
}

struct InsideResetRegistrar {
  InsideResetRegistrar() { RegisterReset(ResetInsideFolders); }
} g_insideRegistrar;

}  // namespace

bool EntryInsideMachine(const std::string &host)
{
  std::string real;
  if (!UnderMachineRoot(host, real)) return true;  // the host drive's
  if (real.empty()) return true;                   // no root folder: the write fails on its own
  std::string dir = host.substr(0, host.rfind('/'));
  unsigned version = g_rootVersion.load(std::memory_order_acquire);
  struct stat st;
  bool exists = stat(dir.c_str(), &st) == 0;
  if (exists) {
    InsideFolder now = Identity(st, version);
    std::lock_guard<std::mutex> g(g_insideLock);
    auto it = InsideFolders().find(dir);
    if (it != InsideFolders().end() && SameFolder(it->second, now)) return true;
  }
  const std::string asked = dir;
  for (;;) {
    char *r = realpath(dir.c_str(), nullptr);
    if (r != nullptr) {
      std::string resolved = r;
      free(r);
      if (resolved == real || Below(resolved, real)) {
        // Remembered only when the folder the path led to is the one found inside.
        struct stat found;
        if (exists && dir == asked && stat(resolved.c_str(), &found) == 0 &&
            SameFolder(Identity(found, version), Identity(st, version))) {
          std::lock_guard<std::mutex> g(g_insideLock);
          if (InsideFolders().size() >= kMaxInsideFolders) InsideFolders().clear();
          InsideFolders()[asked] = Identity(st, version);
        }
        return true;
      }
      SetLastError(ERROR_ACCESS_DENIED);
      errno = EACCES;
      return false;
    }
    // A folder still to be made: its nearest existing ancestor decides where it would be.
    if (errno != ENOENT) return true;  // the write meets the same error on its own
    size_t slash = dir.rfind('/');
    if (slash == std::string::npos || slash == 0) return true;
    dir.resize(slash);
  }
}

BOOL MapPath(const WCHAR *winPath, std::string &out)
{
  WCHAR drive;
  std::vector<std::u16string> parts;
  std::string folder;
  if (!Normalize(winPath, drive, parts) || !DriveFolder(drive, folder)) return FALSE;
  // Most paths name something that exists exactly as written: then every name along the
  // way matched itself, which is what the case-insensitive walk below would answer too.
  std::string exact = ExactHost(folder, parts);
  if (RecallMapped(exact, out)) return TRUE;
  unsigned layerChanges = g_layerChanges.load(std::memory_order_acquire);
  struct stat st;
  if (lstat(exact.c_str(), &st) == 0) {
    out = std::move(exact);
    return TRUE;
  }
  // A new file in an existing folder written as it is: only the last name needs a look.
  if (!parts.empty()) {
    std::string parent = exact.substr(0, exact.find_last_of('/'));
    if (parent.empty()) parent = "/";
    if (lstat(parent.c_str(), &st) == 0) {
      std::string found;
      if (FindEntry(parent, parts.back(), found)) {
        out = (parent == "/" ? "" : parent) + "/" + found;
      } else {
        out = exact;
      }
      RememberMapped(exact, parent, out, layerChanges);
      return TRUE;
    }
  }
  // The drive's own folder, found case-insensitively under the root; the host drive's is "/".
  std::string host = folder;
  std::string found;
  bool exists = IsHostDrive(drive);
  if (!exists) {
    std::string root = folder.substr(0, folder.find_last_of('/'));
    std::u16string d(1, drive);
    exists = FindEntry(root, d, found);
    if (exists) host = root + "/" + found;
  }
  std::string missedIn;  // the existing folder where the first name was not found
  for (auto &c : parts) {
    if (exists && FindEntry(host.empty() ? std::string("/") : host, c, found)) {
      host += "/" + found;
    } else {
      if (exists) missedIn = host.empty() ? std::string("/") : host;
      exists = false;
      host += "/" + Utf16ToUtf8(c.data(), c.size());
    }
  }
  out = host;
  // Every name up to a missing one was found as written: the answer is the path as
  // written for as long as that folder's entries stay as they are.
  if (!missedIn.empty() && out == exact) RememberMapped(exact, missedIn, out, layerChanges);
  return TRUE;
}

}  // namespace plat

BOOL PlatSetMachineRoot(const char *posixDir)
{
  if (!posixDir || !*posixDir) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> g(plat::g_lock);
  plat::g_rootSet = true;
  plat::g_root = posixDir;
  while (plat::g_root.size() > 1 && plat::g_root.back() == '/') plat::g_root.pop_back();
  plat::g_rootVersion.fetch_add(1, std::memory_order_acq_rel);
  return TRUE;
}

const char *PlatGetMachineRoot(void)
{
  std::lock_guard<std::mutex> g(plat::g_lock);
  plat::EnsureInit();
  return plat::g_root.empty() ? NULL : plat::g_root.c_str();
}

BOOL PlatMapPath(const WCHAR *winPath, char *out, UINT outSize)
{
  std::string host;
  if (!plat::MapPath(winPath, host)) return FALSE;
  if (!out || host.size() + 1 > outSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(out, host.c_str(), host.size() + 1);
  return TRUE;
}

// ---------------------------------------------------------------- system folders

namespace {

// Copies s into buf following the GetWindowsDirectory protocol: the length without
// the terminator when it fits, else the size needed including it.
UINT CopyOut(const std::u16string &s, LPWSTR buf, UINT size)
{
  if (!buf || size < s.size() + 1) return static_cast<UINT>(s.size() + 1);
  memcpy(buf, s.c_str(), (s.size() + 1) * sizeof(WCHAR));
  return static_cast<UINT>(s.size());
}

std::u16string EnvValue(const char16_t *name)
{
  std::lock_guard<std::mutex> g(plat::g_lock);
  plat::EnsureInit();
  auto it = plat::Env().find(name);
  return it == plat::Env().end() ? std::u16string() : it->second;
}

}  // namespace

UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) { return CopyOut(EnvValue(u"windir"), lpBuffer, uSize); }

UINT WINAPI GetSystemWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize)
{
  return CopyOut(EnvValue(u"SystemRoot"), lpBuffer, uSize);
}

UINT WINAPI GetSystemDirectoryW(LPWSTR lpBuffer, UINT uSize)
{
  return CopyOut(EnvValue(u"SystemRoot") + u"\\system32", lpBuffer, uSize);
}

DWORD WINAPI GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer)
{
  std::u16string t = EnvValue(u"TMP");
  if (t.empty()) t = EnvValue(u"TEMP");
  if (t.empty()) t = EnvValue(u"windir");
  if (t.empty() || t.back() != u'\\') t += u'\\';
  return CopyOut(t, lpBuffer, nBufferLength);
}

DWORD WINAPI GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer)
{
  std::u16string cwd;
  {
    std::lock_guard<std::mutex> g(plat::g_lock);
    cwd = plat::g_cwd;
  }
  return CopyOut(cwd, lpBuffer, nBufferLength);
}

BOOL WINAPI SetCurrentDirectoryW(LPCWSTR lpPathName)
{
  std::u16string full;
  std::string host;
  if (!plat::FullWinPath(lpPathName, full) || !plat::MapPath(full.c_str(), host)) return FALSE;
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  std::lock_guard<std::mutex> g(plat::g_lock);
  plat::g_cwd = full;
  return TRUE;
}

// ---------------------------------------------------------------- environment

DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize)
{
  if (!lpName || !*lpName) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  std::u16string v;
  {
    std::lock_guard<std::mutex> g(plat::g_lock);
    plat::EnsureInit();
    auto it = plat::Env().find(lpName);
    if (it == plat::Env().end()) {
      SetLastError(ERROR_ENVVAR_NOT_FOUND);
      return 0;
    }
    v = it->second;
  }
  return CopyOut(v, lpBuffer, nSize);
}

BOOL WINAPI SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue)
{
  if (!lpName || !*lpName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (const WCHAR *p = lpName; *p; ++p) {
    if (*p == u'=') {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  std::lock_guard<std::mutex> g(plat::g_lock);
  plat::EnsureInit();
  if (lpValue)
    plat::Env()[lpName] = lpValue;
  else
    plat::Env().erase(lpName);
  return TRUE;
}

// Replaces each %NAME% of a known variable by its value; unknown names and a lone
// '%' stay as written. Answers the characters needed including the terminator.
DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize)
{
  if (!lpSrc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string src(lpSrc), out;
  {
    std::lock_guard<std::mutex> g(plat::g_lock);
    plat::EnsureInit();
    size_t i = 0;
    while (i < src.size()) {
      if (src[i] == u'%') {
        size_t j = src.find(u'%', i + 1);
        if (j != std::u16string::npos && j > i + 1) {
          auto it = plat::Env().find(src.substr(i + 1, j - i - 1));
          if (it != plat::Env().end()) {
            out += it->second;
            i = j + 1;
            continue;
          }
          // An unknown name stays, and its closing '%' may open the next name.
          out += src.substr(i, j - i);
          i = j;
          continue;
        }
      }
      out += src[i++];
    }
  }
  DWORD need = static_cast<DWORD>(out.size() + 1);
  if (lpDst && nSize >= need)
    memcpy(lpDst, out.c_str(), need * sizeof(WCHAR));
  else if (lpDst && nSize > 0)
    lpDst[0] = 0;  // too small: the caller gets an empty string and the size needed
  return need;
}
