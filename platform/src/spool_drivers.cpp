// Printer drivers of the spooler: installed drivers are recorded in the registry under
// the Windows NT x86 environment, version 3, and answered as DRIVER_INFO_1W/2W/3W with
// full paths into the driver directory.
#include <map>
#include <mutex>

#include "kvplat/spool_control.h"
#include "registry_internal.h"
#include "spool_internal.h"
#include "store.h"
#include "win32/registry.h"
#include "win32/system.h"

namespace plat {
namespace spool {
namespace {

const char16_t kEnvironment[] = u"Windows NT x86";
const char16_t kDriversKey[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\";
constexpr size_t kMaxMultiSzChars = 32768;

// C:\WINDOWS\system32\spool\drivers\w32x86, from the system folder of the machine.
std::u16string DriverRoot()
{
  WCHAR sys[MAX_PATH];
  UINT n = GetSystemDirectoryW(sys, MAX_PATH);
  std::u16string s = (n > 0 && n < MAX_PATH) ? std::u16string(sys, n) : std::u16string(u"C:\\WINDOWS\\system32");
  return s + u"\\spool\\drivers\\w32x86";
}

std::u16string VersionDir() { return DriverRoot() + u"\\3"; }

// A file of the driver as a full path: names stand in the version directory.
std::u16string FullPath(const std::u16string &dir, const std::u16string &file)
{
  if (file.find(u'\\') != std::u16string::npos || file.find(u':') != std::u16string::npos) return file;
  return dir + u"\\" + file;
}

std::u16string FullPathList(const std::u16string &dir, const std::u16string &files)
{
  std::u16string out;
  size_t i = 0;
  while (i < files.size()) {
    size_t j = files.find(u'\0', i);
    if (j == std::u16string::npos) j = files.size();
    if (j > i) {
      out += FullPath(dir, files.substr(i, j - i));
      out += u'\0';
    }
    i = j + 1;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

std::string MultiData(const std::u16string &list)
{
  std::string d = reg::StringData(list);  // the list with one terminator
  if (!list.empty()) d.append(2, '\0');   // and the empty string that ends it
  return d;
}

std::u16string DataMulti(const std::string &data)
{
  std::u16string s;
  for (size_t i = 0; i + 1 < data.size(); i += 2)
    s += static_cast<char16_t>(static_cast<unsigned char>(data[i]) | (static_cast<unsigned char>(data[i + 1]) << 8));
  while (!s.empty() && s.back() == 0) s.pop_back();
  return s;
}

std::optional<std::u16string> NonEmpty(const std::u16string &s)
{
  return s.empty() ? std::optional<std::u16string>() : std::optional<std::u16string>(s);
}

// The answer's strings, built once for the measuring and the filling pass.
struct DriverStrings {
  std::u16string path, data, config, deps;
  std::optional<std::u16string> help, monitor, type;
};

DriverStrings MakeDriverStrings(const DriverRecord &d)
{
  DriverStrings s;
  std::u16string dir = VersionDir();
  s.path = FullPath(dir, d.driverFile);
  s.data = FullPath(dir, d.dataFile);
  s.config = FullPath(dir, d.configFile);
  s.help = NonEmpty(d.helpFile.empty() ? d.helpFile : FullPath(dir, d.helpFile));
  s.deps = FullPathList(dir, d.dependentFiles);
  s.monitor = NonEmpty(d.monitor);
  s.type = NonEmpty(d.datatype);
  return s;
}

void FillDriver(DWORD level, Packer &pk, const DriverRecord &d, const DriverStrings &s, void *out)
{
  LPWSTR name = pk.Str(d.name);
  if (level == 1) {
    if (out) static_cast<DRIVER_INFO_1W *>(out)->pName = name;
    return;
  }
  LPWSTR env = pk.Str(std::u16string(kEnvironment)), path = pk.Str(s.path), data = pk.Str(s.data),
         config = pk.Str(s.config);
  if (level == 2) {
    if (!out) return;
    auto *i2 = static_cast<DRIVER_INFO_2W *>(out);
    *i2 = DRIVER_INFO_2W{d.version, name, env, path, data, config};
    return;
  }
  LPWSTR help = pk.Str(s.help);
  LPWSTR depList = s.deps.empty() ? NULL : pk.Units(s.deps.data(), s.deps.size(), 2);
  LPWSTR monitor = pk.Str(s.monitor), type = pk.Str(s.type);
  if (!out) return;
  *static_cast<DRIVER_INFO_3W *>(out) =
      DRIVER_INFO_3W{d.version, name, env, path, data, config, help, depList, monitor, type};
}

BOOL Fail(DWORD error)
{
  SetLastError(error);
  return FALSE;
}

bool ValidDriverName(const WCHAR *name)
{
  if (!name || !*name) return false;
  size_t n = 0;
  for (const WCHAR *p = name; *p; ++p, ++n)
    if (*p < 0x20 || *p == u'\\' || *p == u',') return false;
  return n <= 200;
}

}  // namespace

DWORD CheckEnvironment(LPCWSTR env)
{
  if (!env || !*env || SameName(env, kEnvironment)) return ERROR_SUCCESS;
  static const char16_t *const kOthers[] = {u"Windows 4.0",      u"Windows x64",          u"Windows IA64",
                                            u"Windows NT R4000", u"Windows NT Alpha_AXP", u"Windows NT PowerPC",
                                            u"Windows ARM64"};
  for (auto *o : kOthers)
    if (SameName(env, o)) return ERROR_UNKNOWN_PRINTER_DRIVER;
  return ERROR_INVALID_ENVIRONMENT;
}

namespace {

// Drivers as last read, with the HKLM content they were read from: while that content
// stays, the record is still what the registry holds.
struct CachedDriver {
  uint64_t version = 0;
  bool found = false;
  DriverRecord record;
};
std::mutex g_driverLock;
std::map<std::u16string, CachedDriver> &DriverCache()
{
  static auto *cache = new std::map<std::u16string, CachedDriver>();
  return *cache;
}
void ResetDriverCache()
{
  std::lock_guard<std::mutex> g(g_driverLock);
  DriverCache().clear();
}
struct ResetRegistrar {
  ResetRegistrar() { RegisterReset(ResetDriverCache); }
} g_registrar;

bool ReadDriver(const std::u16string &name, DriverRecord &out);

}  // namespace

bool LoadDriver(const std::u16string &name, DriverRecord &out)
{
  if (name.empty() || name.find(u'\\') != std::u16string::npos) return false;
  uint64_t version = 0;
  if (reg::MachineContentVersion(version) != ERROR_SUCCESS) return ReadDriver(name, out);
  {
    std::lock_guard<std::mutex> g(g_driverLock);
    auto it = DriverCache().find(name);
    if (it != DriverCache().end() && it->second.version == version) {
      if (it->second.found) out = it->second.record;
      return it->second.found;
    }
  }
  // Read after taking the version: should the content change meanwhile, the record is
  // newer than its version and the next call reads again.
  CachedDriver fresh;
  fresh.version = version;
  bool found = fresh.found = ReadDriver(name, fresh.record);
  if (found) out = fresh.record;
  std::lock_guard<std::mutex> g(g_driverLock);
  if (DriverCache().size() >= 64) DriverCache().clear();  // a bound, for callers that try many names
  DriverCache()[name] = std::move(fresh);
  return found;
}

namespace {

bool ReadDriver(const std::u16string &name, DriverRecord &out)
{
  std::vector<reg::ValueInit> values;
  std::u16string keyName;
  if (reg::ReadMachineKey(kDriversKey + name, values, &keyName) != ERROR_SUCCESS) return false;
  out = DriverRecord();
  out.name = keyName;
  for (auto &v : values) {
    if (SameName(v.name, u"Driver"))
      out.driverFile = reg::DataString(v.data);
    else if (SameName(v.name, u"Data File"))
      out.dataFile = reg::DataString(v.data);
    else if (SameName(v.name, u"Configuration File"))
      out.configFile = reg::DataString(v.data);
    else if (SameName(v.name, u"Help File"))
      out.helpFile = reg::DataString(v.data);
    else if (SameName(v.name, u"Dependent Files"))
      out.dependentFiles = DataMulti(v.data);
    else if (SameName(v.name, u"Monitor"))
      out.monitor = reg::DataString(v.data);
    else if (SameName(v.name, u"Datatype"))
      out.datatype = reg::DataString(v.data);
    else if (SameName(v.name, u"Version") && v.data.size() == 4)
      memcpy(&out.version, v.data.data(), 4);
  }
  return !out.driverFile.empty() && !out.dataFile.empty() && !out.configFile.empty();
}

}  // namespace

}  // namespace spool
}  // namespace plat

using namespace plat;
using namespace plat::spool;

// ---------------------------------------------------------------- controls

BOOL PlatSpoolAddDriver(const PLAT_DRIVER_SETUP *d)
{
  if (!d || !ValidDriverName(d->name) || !d->driverFile || !*d->driverFile || !d->dataFile || !*d->dataFile ||
      !d->configFile || !*d->configFile)
    return Fail(ERROR_INVALID_PARAMETER);
  std::u16string deps;
  if (d->dependentFiles) {
    size_t n = 0;
    while (d->dependentFiles[n] || d->dependentFiles[n + 1]) {
      if (++n >= kMaxMultiSzChars) return Fail(ERROR_INVALID_PARAMETER);
    }
    deps.assign(d->dependentFiles, d->dependentFiles[0] ? n + 1 : 0);
    while (!deps.empty() && deps.back() == 0) deps.pop_back();
  }
  std::string host;
  if (!MapPath(VersionDir().c_str(), host) || !store::MakeDirs(host)) return Fail(ERROR_CANTWRITE);
  auto sz = [](const WCHAR *s) { return reg::StringData(s ? std::u16string(s) : std::u16string()); };
  std::string version(4, '\0');
  version[0] = 3;
  std::vector<reg::ValueInit> values = {
      {u"Configuration File", REG_SZ, sz(d->configFile)},
      {u"Data File", REG_SZ, sz(d->dataFile)},
      {u"Driver", REG_SZ, sz(d->driverFile)},
      {u"Help File", REG_SZ, sz(d->helpFile)},
      {u"Monitor", REG_SZ, sz(d->monitorName)},
      {u"Datatype", REG_SZ, sz(d->defaultDataType)},
      {u"Dependent Files", REG_MULTI_SZ, MultiData(deps)},
      {u"Version", REG_DWORD, version},
  };
  LONG rc = reg::WriteMachineKey(kDriversKey + std::u16string(d->name), values);
  if (rc != ERROR_SUCCESS) return Fail(ERROR_CANTWRITE);
  NoteSpoolChange();  // a printer using the driver may now answer other files
  return TRUE;
}

BOOL PlatSpoolDeleteDriver(const WCHAR *name)
{
  DriverRecord rec;
  if (!name || !LoadDriver(name, rec)) return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  if (DriverInUse(rec.name)) return Fail(ERROR_PRINTER_DRIVER_IN_USE);
  LONG rc = reg::DeleteMachineKey(kDriversKey + rec.name);
  if (rc == ERROR_FILE_NOT_FOUND) return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  if (rc != ERROR_SUCCESS) return Fail(ERROR_CANTWRITE);
  NoteSpoolChange();
  return TRUE;
}

// ---------------------------------------------------------------- drivers

BOOL WINAPI GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                              LPDWORD pcbNeeded)
{
  if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
  std::u16string driverName;
  if (!PrinterDriverName(hPrinter, driverName)) return FALSE;
  DWORD size;
  switch (Level) {
    case 1: size = sizeof(DRIVER_INFO_1W); break;
    case 2: size = sizeof(DRIVER_INFO_2W); break;
    case 3: size = sizeof(DRIVER_INFO_3W); break;
    default: return Fail(ERROR_INVALID_LEVEL);
  }
  DWORD env = CheckEnvironment(pEnvironment);
  if (env != ERROR_SUCCESS) return Fail(env);
  DriverRecord d;
  if (!LoadDriver(driverName, d)) return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  DriverStrings strings = MakeDriverStrings(d);
  return PackAnswer(1, size, pDriverInfo, cbBuf, pcbNeeded,
                    [&](Packer &pk, DWORD, void *out) { FillDriver(Level, pk, d, strings, out); });
}

BOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                       DWORD cbBuf, LPDWORD pcbNeeded)
{
  if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
  if (pName && *pName && !SameName(pName, ComputerPrefix())) return Fail(ERROR_INVALID_NAME);
  if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
  // Only this machine's own environment has a driver directory here.
  if (CheckEnvironment(pEnvironment) != ERROR_SUCCESS) return Fail(ERROR_INVALID_ENVIRONMENT);
  std::u16string dir = DriverRoot();
  DWORD needed = static_cast<DWORD>((dir.size() + 1) * sizeof(WCHAR));
  *pcbNeeded = needed;
  if (cbBuf < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (!pDriverDirectory) return Fail(ERROR_INVALID_USER_BUFFER);
  memcpy(pDriverDirectory, dir.c_str(), needed);
  return TRUE;
}
