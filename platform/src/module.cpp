// Module loading: DLL names are found on the machine (link files or shared libraries
// under the machine root), opened with the host loader, kept in the process's module
// list with reference counts, initialised through their DllMain, and asked for exports.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <link.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "module_internal.h"
#include "win32/module.h"
#include "win32/codepage.h"
#include "win32/system.h"

namespace plat {
namespace {

// Module handles look like image bases: 64 KB apart, never NULL. A module mapped as a
// data file has the low bit set, as on Win32.
constexpr uintptr_t kMainHandle = 0x00400000;
constexpr uintptr_t kFirstBase = 0x10000000;
constexpr uintptr_t kLastBase = 0x6FFF0000;
constexpr uintptr_t kBaseStep = 0x10000;
constexpr uintptr_t kDatafileTag = 1;
const char16_t kDefaultMainPath[] = u"C:\\WINDOWS\\system32\\kvhost.exe";
const char kLinkMagic[] = "KVSTANDIN";
const char kTableSymbol[] = "kvres_table";

typedef BOOL(WINAPI *DllMainProc)(HINSTANCE, DWORD, LPVOID);

struct Module {
  uintptr_t handle = 0;
  std::u16string path;             // full Windows path
  void *dl = nullptr;              // host loader handle
  struct link_map *map = nullptr;  // the image itself, to tell its exports from its dependencies'
  bool ownsDl = false;             // dlclose when unloaded
  bool datafile = false;
  bool attached = false;  // DllMain ran with DLL_PROCESS_ATTACH
  bool unloading = false;
  DWORD refs = 1;
  const KVRES_TABLE *ownResources = nullptr;
  const KVRES_TABLE *overrideResources = nullptr;
  bool hasOverride = false;

  const KVRES_TABLE *Resources() const { return hasOverride ? overrideResources : ownResources; }
};

std::recursive_mutex g_loader;
uintptr_t g_nextBase = kFirstBase - kBaseStep;
std::string g_lastLoadError;

std::vector<std::unique_ptr<Module>> &List()
{
  static auto *list = new std::vector<std::unique_ptr<Module>>();
  return *list;
}

void *OwnSymbol(const Module *m, const char *name);

// The main program: always loaded, never unloaded.
Module &Main()
{
  static Module *main = nullptr;
  if (!main) {
    main = new Module();
    main->handle = kMainHandle;
    main->path = kDefaultMainPath;
    main->dl = dlopen(NULL, RTLD_NOW);
    if (main->dl && dlinfo(main->dl, RTLD_DI_LINKMAP, &main->map) != 0) main->map = nullptr;
    auto *t = static_cast<const KVRES_TABLE *>(OwnSymbol(main, kTableSymbol));
    main->ownResources = ResourceTableValid(t) ? t : nullptr;
  }
  return *main;
}

// A symbol defined by the module's own image; the host loader would also answer
// symbols of the libraries the image uses, which Win32 exports never include.
void *OwnSymbol(const Module *m, const char *name)
{
  if (!m->dl || !m->map) return nullptr;
  dlerror();
  void *p = dlsym(m->dl, name);
  if (!p) return nullptr;
  Dl_info info;
  struct link_map *where = nullptr;
  if (!dladdr1(p, &info, reinterpret_cast<void **>(&where), RTLD_DL_LINKMAP) || where != m->map) return nullptr;
  return p;
}

HMODULE AsHandle(const Module *m) { return reinterpret_cast<HMODULE>(m->handle); }

// Finds a module by handle (NULL = the main program), data-file modules included.
Module *FindByHandle(HMODULE h)
{
  uintptr_t v = reinterpret_cast<uintptr_t>(h);
  if (v == 0 || v == kMainHandle) return &Main();
  for (auto &m : List())
    if (m->handle == v) return m.get();
  return nullptr;
}

bool SameName(const std::u16string &a, const std::u16string &b)
{
  return FoldCompare(a.data(), a.size(), b.data(), b.size()) == 0;
}

std::u16string FileNameOf(const std::u16string &path)
{
  size_t cut = path.find_last_of(u"\\/:");
  return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

// Loaded (not data-file) modules by full path and by file name.
Module *FindByPath(const std::u16string &full)
{
  if (SameName(Main().path, full)) return &Main();
  for (auto &m : List())
    if (!m->datafile && !m->unloading && SameName(m->path, full)) return m.get();
  return nullptr;
}

Module *FindByFileName(const std::u16string &name)
{
  if (SameName(FileNameOf(Main().path), name)) return &Main();
  for (auto &m : List())
    if (!m->datafile && !m->unloading && SameName(FileNameOf(m->path), name)) return m.get();
  return nullptr;
}

uintptr_t NewBase()
{
  for (;;) {
    g_nextBase += kBaseStep;
    if (g_nextBase > kLastBase) g_nextBase = kFirstBase;
    bool used = false;
    for (auto &m : List()) used = used || (m->handle & ~kDatafileTag) == g_nextBase;
    if (!used) return g_nextBase;
  }
}

bool HasFolder(const std::u16string &s) { return s.find_first_of(u"\\/:") != std::u16string::npos; }

// ".dll" (or ext) when the file-name part has no extension; a trailing "." only says
// "no extension" and is dropped.
std::u16string WithDefaultExt(const std::u16string &name, const char16_t *ext)
{
  std::u16string file = FileNameOf(name);
  if (!file.empty() && file.back() == u'.') return name.substr(0, name.size() - 1);
  if (file.find(u'.') == std::u16string::npos) return name + ext;
  return name;
}

enum class Image { Missing, Folder, Elf, Link, Bad };

// Tells what the file at a host path is; for a link file or an ELF image, soPath
// receives the shared library to open.
Image ReadImage(const std::string &host, std::string &soPath)
{
  struct stat st;
  if (stat(host.c_str(), &st) != 0) return Image::Missing;
  if (S_ISDIR(st.st_mode)) return Image::Folder;
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Image::Bad;
  char buf[4096];
  ssize_t n = read(fd, buf, sizeof buf);
  close(fd);
  if (n < 0) return Image::Bad;
  std::string head(buf, static_cast<size_t>(n));
  if (head.compare(0, 4,
                   "\x7f"
                   "ELF") == 0) {
    soPath = host;
    return Image::Elf;
  }
  if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) head.erase(0, 3);
  size_t magic = sizeof kLinkMagic - 1;
  if (head.compare(0, magic, kLinkMagic) != 0 || head.size() <= magic || (head[magic] != ' ' && head[magic] != '\t'))
    return Image::Bad;
  std::string rest = head.substr(magic);
  size_t eol = rest.find_first_of("\r\n");
  if (eol != std::string::npos) rest.erase(eol);
  size_t b = rest.find_first_not_of(" \t");
  size_t e = rest.find_last_not_of(" \t");
  if (b == std::string::npos) return Image::Bad;
  rest = rest.substr(b, e - b + 1);
  if (rest[0] != '/') rest = host.substr(0, host.find_last_of('/') + 1) + rest;
  soPath = rest;
  return Image::Link;
}

// Finds a bare module name in the search folders; full receives its Windows path.
bool SearchModule(const std::u16string &name, std::u16string &full)
{
  for (const auto &folder : SearchFolders(false)) {
    std::u16string candidate;
    std::string host;
    if (!FullWinPath((folder + u"\\" + name).c_str(), candidate)) continue;
    if (WinFileExists(candidate, host)) {
      full = candidate;
      return true;
    }
  }
  return false;
}

void Unload(Module *m)
{
  auto &list = List();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].get() == m) {
      std::unique_ptr<Module> gone = std::move(list[i]);
      list.erase(list.begin() + static_cast<ptrdiff_t>(i));
      if (gone->ownsDl && gone->dl) dlclose(gone->dl);
      return;
    }
  }
}

// The module's entry point: its exported DllMain, or else an exported DllEntryPoint
// (the name a DLL without a run-time library start-up gives its entry point).
DllMainProc EntryPoint(const Module *m)
{
  void *p = OwnSymbol(m, "DllMain");
  if (!p) p = OwnSymbol(m, "DllEntryPoint");
  return reinterpret_cast<DllMainProc>(p);
}

BOOL CallDllMain(Module *m, DWORD reason)
{
  DllMainProc entry = EntryPoint(m);
  return entry ? entry(AsHandle(m), reason, NULL) : TRUE;
}

// The Windows path of a file under the machine root, spelt with the case of the names
// on disk (as Win32 reports a module's path); fallback when the host path lies elsewhere.
std::u16string WinPathOfHost(const std::string &host, const std::u16string &fallback)
{
  const char *rootText = PlatGetMachineRoot();
  if (!rootText) return fallback;
  std::string root = rootText;
  if (host.size() < root.size() + 2 || host.compare(0, root.size(), root) != 0 || host[root.size()] != '/')
    return fallback;
  std::string rest = host.substr(root.size() + 1);
  size_t slash = rest.find('/');
  if (slash != 1) return fallback;
  std::u16string out(1, FoldUpper(static_cast<WCHAR>(static_cast<unsigned char>(rest[0]))));
  out += u':';
  for (char16_t c : Utf8ToUtf16(rest.substr(1))) out += c == u'/' ? u'\\' : c;
  return out;
}

// Opens the image found at a full Windows path as a new module.
Module *OpenModule(const std::u16string &full, bool datafile, bool runInit)
{
  std::string host, soPath;
  if (!MapPath(full.c_str(), host)) return nullptr;
  switch (ReadImage(host, soPath)) {
    case Image::Missing: SetLastError(ERROR_MOD_NOT_FOUND); return nullptr;
    case Image::Folder: SetLastError(ERROR_ACCESS_DENIED); return nullptr;
    case Image::Bad: SetLastError(ERROR_BAD_EXE_FORMAT); return nullptr;
    default: break;
  }
  void *dl = dlopen(soPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    const char *why = dlerror();
    g_lastLoadError = why ? why : "dlopen failed";
    struct stat st;
    SetLastError(stat(soPath.c_str(), &st) != 0 ? ERROR_MOD_NOT_FOUND : ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  auto owned = std::make_unique<Module>();
  Module *m = owned.get();
  m->handle = NewBase() | (datafile ? kDatafileTag : 0);
  m->path = WinPathOfHost(host, full);
  m->dl = dl;
  m->ownsDl = true;
  m->datafile = datafile;
  if (dlinfo(dl, RTLD_DI_LINKMAP, &m->map) != 0) m->map = nullptr;
  auto *t = static_cast<const KVRES_TABLE *>(OwnSymbol(m, kTableSymbol));
  m->ownResources = ResourceTableValid(t) ? t : nullptr;
  List().push_back(std::move(owned));
  if (runInit && EntryPoint(m)) {
    m->attached = true;
    if (!CallDllMain(m, DLL_PROCESS_ATTACH)) {
      m->unloading = true;
      CallDllMain(m, DLL_PROCESS_DETACH);
      Unload(m);
      SetLastError(ERROR_DLL_INIT_FAILED);
      return nullptr;
    }
  }
  return m;
}

std::u16string QueryString(UINT(WINAPI *fn)(LPWSTR, UINT))
{
  WCHAR buf[MAX_PATH * 2];
  UINT n = fn(buf, MAX_PATH * 2);
  return n > 0 && n < MAX_PATH * 2 ? std::u16string(buf, n) : std::u16string();
}

UINT WINAPI CurrentDir(LPWSTR buf, UINT size) { return GetCurrentDirectoryW(size, buf); }

void ResetModules()
{
  std::lock_guard<std::recursive_mutex> lock(g_loader);
  // A new test starts a new "process": modules left loaded are forgotten and their
  // images closed without DllMain, as at process exit.
  auto &list = List();
  while (!list.empty()) {
    std::unique_ptr<Module> m = std::move(list.back());
    list.pop_back();
    if (m->ownsDl && m->dl) dlclose(m->dl);
  }
  Module &main = Main();
  main.path = kDefaultMainPath;
  main.hasOverride = false;
  main.overrideResources = nullptr;
  g_lastLoadError.clear();
}

struct ResetRegistrar {
  ResetRegistrar() { RegisterReset(ResetModules); }
} g_registrar;

}  // namespace

std::recursive_mutex &LoaderLock() { return g_loader; }

bool ResourceTableValid(const KVRES_TABLE *t)
{
  if (!t || t->magic != KVRES_MAGIC || t->version != KVRES_VERSION || t->count > 0x100000) return false;
  if (t->count && !t->entries) return false;
  for (DWORD i = 0; i < t->count; ++i) {
    const KVRES_ENTRY &e = t->entries[i];
    if (e.size && !e.data) return false;
  }
  return true;
}

const KVRES_TABLE *ModuleResourceTable(HMODULE hModule)
{
  Module *m = FindByHandle(hModule);
  const KVRES_TABLE *t = m ? m->Resources() : nullptr;
  if (!t) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
  return t;
}

bool ModuleOwnsResourceEntry(const KVRES_ENTRY *entry)
{
  auto owns = [entry](const Module &m) {
    const KVRES_TABLE *t = m.Resources();
    if (!t || !t->count) return false;
    uintptr_t first = reinterpret_cast<uintptr_t>(t->entries);
    uintptr_t p = reinterpret_cast<uintptr_t>(entry);
    return p >= first && p < first + t->count * sizeof(KVRES_ENTRY) && (p - first) % sizeof(KVRES_ENTRY) == 0;
  };
  if (owns(Main())) return true;
  for (auto &m : List())
    if (owns(*m)) return true;
  return false;
}

std::u16string WinFolderOf(const std::u16string &path)
{
  size_t cut = path.find_last_of(u'\\');
  if (cut == std::u16string::npos) return std::u16string();
  return cut == 2 && path.size() > 2 && path[1] == u':' ? path.substr(0, 3) : path.substr(0, cut);
}

bool WinFileExists(const std::u16string &winPath, std::string &hostPath)
{
  if (!MapPath(winPath.c_str(), hostPath)) return false;
  struct stat st;
  return stat(hostPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::u16string> SearchFolders(bool currentFirst)
{
  std::u16string app;
  {
    std::lock_guard<std::recursive_mutex> lock(g_loader);
    app = WinFolderOf(Main().path);
  }
  std::u16string sys = QueryString(GetSystemDirectoryW);
  std::u16string win = QueryString(GetWindowsDirectoryW);
  std::u16string cwd = QueryString(CurrentDir);
  std::vector<std::u16string> out;
  auto add = [&out](const std::u16string &f) {
    if (!f.empty()) out.push_back(f);
  };
  add(app);
  if (currentFirst) add(cwd);
  add(sys);
  if (!win.empty()) add(win + u"\\system");
  add(win);
  if (!currentFirst) add(cwd);
  WCHAR path[4096];
  DWORD n = GetEnvironmentVariableW(u"PATH", path, 4096);
  if (n > 0 && n < 4096) {
    std::u16string all(path, n);
    size_t i = 0;
    while (i <= all.size()) {
      size_t j = all.find(u';', i);
      if (j == std::u16string::npos) j = all.size();
      std::u16string f = all.substr(i, j - i);
      if (f.size() >= 2 && f.front() == u'"' && f.back() == u'"') f = f.substr(1, f.size() - 2);
      while (!f.empty() && f.back() == u'\\') f.pop_back();
      add(f);
      i = j + 1;
    }
  }
  return out;
}

}  // namespace plat

using plat::Module;

HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags)
{
  if (!lpLibFileName || !*lpLibFileName || hFile) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  const DWORD asData = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;
  bool datafile = (dwFlags & asData) != 0;
  bool runInit = !datafile && !(dwFlags & DONT_RESOLVE_DLL_REFERENCES);
  std::u16string name = plat::WithDefaultExt(lpLibFileName, u".dll");
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  std::u16string full;
  Module *m = nullptr;
  if (plat::HasFolder(name)) {
    if (!plat::FullWinPath(name.c_str(), full)) return NULL;
    m = plat::FindByPath(full);
  } else {
    m = plat::FindByFileName(name);
    if (!m && !plat::SearchModule(name, full)) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return NULL;
    }
  }
  if (m) {
    if (m->handle != plat::kMainHandle) ++m->refs;
    return plat::AsHandle(m);
  }
  m = plat::OpenModule(full, datafile, runInit);
  return m ? plat::AsHandle(m) : NULL;
}

HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) { return LoadLibraryExW(lpLibFileName, NULL, 0); }

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
  if (!lpLibFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  std::u16string wide;
  int n = MultiByteToWideChar(CP_ACP, 0, lpLibFileName, -1, NULL, 0);
  if (n <= 0) return NULL;
  wide.resize(static_cast<size_t>(n));
  if (MultiByteToWideChar(CP_ACP, 0, lpLibFileName, -1, wide.data(), n) != n) return NULL;
  wide.pop_back();
  return LoadLibraryExW(wide.c_str(), NULL, 0);
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  if (reinterpret_cast<uintptr_t>(hLibModule) == plat::kMainHandle) return TRUE;
  Module *m = hLibModule ? plat::FindByHandle(hLibModule) : nullptr;
  if (!m || m->unloading) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  if (--m->refs > 0) return TRUE;
  m->unloading = true;
  if (m->attached) plat::CallDllMain(m, DLL_PROCESS_DETACH);
  plat::Unload(m);
  return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  Module *m = plat::FindByHandle(hModule);
  if (!m || m->unloading) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return NULL;
  }
  if (m->datafile) {
    SetLastError(ERROR_INVALID_HANDLE);
    return NULL;
  }
  void *p = IS_INTRESOURCE(lpProcName) || !*lpProcName ? nullptr : plat::OwnSymbol(m, lpProcName);
  if (!p) SetLastError(ERROR_PROC_NOT_FOUND);
  return p;
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName)
{
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  if (!lpModuleName) return plat::AsHandle(&plat::Main());
  std::u16string name = plat::WithDefaultExt(lpModuleName, u".dll");
  Module *m = nullptr;
  std::u16string full;
  if (!plat::HasFolder(name))
    m = plat::FindByFileName(name);
  else if (plat::FullWinPath(name.c_str(), full))
    m = plat::FindByPath(full);
  if (!m) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return NULL;
  }
  return plat::AsHandle(m);
}

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
  std::u16string path;
  {
    std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
    Module *m = plat::FindByHandle(hModule);
    if (!m || m->datafile) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    path = m->path;
  }
  if (nSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (!lpFilename) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (path.size() < nSize) {
    memcpy(lpFilename, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    return static_cast<DWORD>(path.size());
  }
  memcpy(lpFilename, path.data(), (nSize - 1) * sizeof(WCHAR));
  lpFilename[nSize - 1] = 0;
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return nSize;
}

BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule)
{
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  Module *m = hLibModule ? plat::FindByHandle(hLibModule) : nullptr;
  if (!m || m->datafile) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

// ---------------------------------------------------------------- controls

namespace {

// The Windows path a control names: a bare name lies in the system folder.
bool ControlPath(LPCWSTR dllName, std::u16string &full)
{
  if (!dllName || !*dllName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::u16string name = plat::WithDefaultExt(dllName, u".dll");
  if (!plat::HasFolder(name)) {
    WCHAR sys[MAX_PATH];
    UINT n = GetSystemDirectoryW(sys, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    name = std::u16string(sys, n) + u"\\" + name;
  }
  return plat::FullWinPath(name.c_str(), full);
}

bool MakeHostFolders(const std::string &file)
{
  for (size_t i = 1; i < file.size(); ++i) {
    if (file[i] != '/') continue;
    std::string dir = file.substr(0, i);
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
      plat::SetErrorFromErrno(errno);
      return false;
    }
  }
  return true;
}

}  // namespace

BOOL PlatModuleRegister(LPCWSTR dllName, const char *soPath)
{
  std::u16string full;
  std::string host;
  if (!soPath || !*soPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ControlPath(dllName, full) || !plat::MapPath(full.c_str(), host) || !plat::EntryInsideMachine(host) ||
      !MakeHostFolders(host))
    return FALSE;
  std::string text = std::string(plat::kLinkMagic) + " " + soPath + "\n";
  plat::ReplaceOptions how;
  how.durable = false;  // a registration is made again at every setup
  return plat::ReplaceHostFile(host, text, how) ? TRUE : FALSE;
}

BOOL PlatModuleUnregister(LPCWSTR dllName)
{
  std::u16string full;
  std::string host, soPath;
  if (!ControlPath(dllName, full) || !plat::MapPath(full.c_str(), host)) return FALSE;
  if (plat::ReadImage(host, soPath) != plat::Image::Link || unlink(host.c_str()) != 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  return TRUE;
}

HMODULE PlatModuleRegisterSelf(LPCWSTR winPath, void *dlHandle)
{
  std::u16string full;
  if (!winPath || !*winPath || !plat::FullWinPath(winPath, full)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  if (Module *m = plat::FindByPath(full)) {
    if (m->handle != plat::kMainHandle) ++m->refs;
    return plat::AsHandle(m);
  }
  auto owned = std::make_unique<Module>();
  Module *m = owned.get();
  m->handle = plat::NewBase();
  m->path = full;
  m->dl = dlHandle ? dlHandle : plat::Main().dl;
  if (!m->dl || dlinfo(m->dl, RTLD_DI_LINKMAP, &m->map) != 0) m->map = nullptr;
  auto *t = static_cast<const KVRES_TABLE *>(plat::OwnSymbol(m, plat::kTableSymbol));
  m->ownResources = plat::ResourceTableValid(t) ? t : nullptr;
  plat::List().push_back(std::move(owned));
  return plat::AsHandle(m);
}

BOOL PlatModuleSetMainPath(LPCWSTR winPath)
{
  std::u16string full;
  if (!winPath || !*winPath || !plat::FullWinPath(winPath, full)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  plat::Main().path = full;
  return TRUE;
}

BOOL PlatModuleSetResources(HMODULE hModule, const KVRES_TABLE *table)
{
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  Module *m = plat::FindByHandle(hModule);
  if (!m || (table && !plat::ResourceTableValid(table))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  m->hasOverride = table != nullptr;
  m->overrideResources = table;
  return TRUE;
}

DWORD PlatModuleRefCount(HMODULE hModule)
{
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  if (!hModule || reinterpret_cast<uintptr_t>(hModule) == plat::kMainHandle) return 0;
  Module *m = plat::FindByHandle(hModule);
  return m && !m->unloading ? m->refs : 0;
}

DWORD PlatModuleLoadedCount(void)
{
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  return static_cast<DWORD>(plat::List().size());
}

const char *PlatModuleLastLoadError(void)
{
  std::lock_guard<std::recursive_mutex> lock(plat::g_loader);
  return plat::g_lastLoadError.c_str();
}
