// kvmlhost machine init [--companion] DIR: a fresh machine root with the sample printer
// installed, and with or without the job-binding companion application.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <strings.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "host.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"
#include "os/os_registry.h"

namespace fs = std::filesystem;

namespace host {
namespace {

const char16_t kDriverDir[] = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3";
const char16_t kSetupIni[] = u"C:\\WINDOWS\\Temp\\kvsample-setup.ini";

// The folders a Windows machine of the driver's era has.
const char16_t *const kFolders[] = {
    u"C:\\WINDOWS",
    u"C:\\WINDOWS\\system32",
    u"C:\\WINDOWS\\Temp",
    u"C:\\WINDOWS\\system32\\spool",
    u"C:\\WINDOWS\\system32\\spool\\drivers",
    u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86",
    kDriverDir,
    u"C:\\Program Files",
    u"C:\\Documents and Settings",
    u"C:\\Documents and Settings\\kvuser",
    u"C:\\Documents and Settings\\kvuser\\Application Data",
    u"C:\\Documents and Settings\\All Users",
};

std::u16string IniString(const char16_t *section, const char16_t *key, const char16_t *def = u"")
{
  WCHAR buf[1024];
  GetPrivateProfileStringW(section, key, def, buf, 1024, kSetupIni);
  return buf;
}

// Copies a host file to a Windows path under the root (the host plays the installer).
bool CopyIn(const fs::path &from, const std::u16string &winPath, std::string &err)
{
  char to[4096];
  if (!PlatMapPath(winPath.c_str(), to, sizeof to)) {
    err = "cannot map " + Narrow(winPath) + ": " + ErrorText(GetLastError());
    return false;
  }
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  if (ec) err = "cannot copy " + from.string() + ": " + ec.message();
  return !ec;
}

// The folder of the running program's build tree (bin/..), where lib/standin/links lies.
fs::path BuildDir()
{
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return fs::path();
  self[n] = 0;
  return fs::path(self).parent_path().parent_path();
}

std::vector<std::u16string> SplitList(const std::u16string &s)
{
  std::vector<std::u16string> out;
  size_t i = 0;
  while (i <= s.size()) {
    size_t j = s.find(u',', i);
    if (j == std::u16string::npos) j = s.size();
    std::u16string item = s.substr(i, j - i);
    while (!item.empty() && item.front() == u' ') item.erase(0, 1);
    while (!item.empty() && item.back() == u' ') item.pop_back();
    if (!item.empty()) out.push_back(item);
    i = j + 1;
  }
  return out;
}

int InstallStandins(const char16_t *key, const std::u16string &folder, const fs::path &links)
{
  for (const auto &dll : SplitList(IniString(u"Standins", key))) {
    fs::path link = links / Narrow(dll);
    if (!fs::exists(link)) {
      fprintf(stderr, "kvmlhost: warning: no stand-in for %s (not built)\n", Narrow(dll).c_str());
      continue;
    }
    std::string err;
    if (!CopyIn(link, folder + u"\\" + dll, err)) return Fail(err);
  }
  return 0;
}

const char kUsage[] = "machine init [--companion] DIR";

// What the companion application's installer leaves: its installation count in HKLM.
int InstallCompanion()
{
  HKEY key = NULL;
  LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, KV_COMPANION_APP_KEY, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
  if (rc != ERROR_SUCCESS) return Fail("cannot create the companion application's key: " + ErrorText(rc));
  DWORD count = 1;
  rc = RegSetValueExW(key, KV_COMPANION_APP_VALUE, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&count), sizeof count);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Fail("cannot record the companion application: " + ErrorText(rc));
  return 0;
}

int RunMachineInit(const Args &args, bool companion)
{
  if (args.size() != 1) return UsageError(kUsage, args.empty() ? "name the folder of the new machine root" : "");
  fs::path dir = fs::absolute(args[0]);
  std::error_code ec;
  if (fs::exists(dir) && !fs::is_empty(dir, ec)) return Fail(dir.string() + " exists and is not empty");
  fs::create_directories(dir / "C", ec);  // the machine's one drive
  if (ec) return Fail("cannot create " + dir.string() + ": " + ec.message());
  PlatSetMachineRoot(dir.c_str());

  for (const char16_t *f : kFolders)
    if (!CreateDirectoryW(f, NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
      return Fail("cannot create " + Narrow(f) + ": " + ErrorText(GetLastError()));

  fs::path samples = fs::path(KV_SOURCE_DIR) / "samples";
  std::string err;
  if (!CopyIn(samples / "printer.ini", kSetupIni, err)) return Fail(err);

  // The driver package: every file of the sample but the installer's own description and a
  // cache file that compiling the sample in place left beside it (the driver makes its own).
  for (const auto &entry : fs::directory_iterator(samples)) {
    std::string name = entry.path().filename().string();
    std::string ext = entry.path().extension().string();
    bool cache = ext.size() == 4 && strcasecmp(ext.c_str(), ".bcs") == 0;
    if (!entry.is_regular_file() || name == "printer.ini" || name == "README.md" || cache) continue;
    if (!CopyIn(entry.path(), std::u16string(kDriverDir) + u"\\" + Widen(name), err)) return Fail(err);
  }
  fs::path links = BuildDir() / "lib" / "standin" / "links";
  if (int rc = InstallStandins(u"System", u"C:\\WINDOWS\\system32", links)) return rc;
  if (int rc = InstallStandins(u"Driver", kDriverDir, links)) return rc;

  std::u16string driverName = IniString(u"Printer", u"Driver");
  std::u16string dependent;
  for (const auto &d : SplitList(IniString(u"DriverFiles", u"Dependent"))) dependent += d + u'\0';
  dependent += u'\0';
  std::u16string driverPath = IniString(u"DriverFiles", u"DriverPath");
  std::u16string dataFile = IniString(u"DriverFiles", u"DataFile");
  std::u16string configFile = IniString(u"DriverFiles", u"ConfigFile");
  std::u16string helpFile = IniString(u"DriverFiles", u"HelpFile");
  PLAT_DRIVER_SETUP drv = {};
  drv.name = driverName.c_str();
  drv.driverFile = driverPath.c_str();
  drv.dataFile = dataFile.c_str();
  drv.configFile = configFile.c_str();
  drv.helpFile = helpFile.empty() ? NULL : helpFile.c_str();
  drv.dependentFiles = dependent.c_str();
  drv.defaultDataType = u"RAW";
  if (!PlatSpoolAddDriver(&drv)) return Fail("cannot install the driver: " + ErrorText(GetLastError()));

  // The driver's own key, which the setup code fills when the printer is initialized.
  HKEY key = NULL;
  LONG rc =
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\TOLVE\\KvmlDrv", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
  if (rc != ERROR_SUCCESS) return Fail("cannot create the driver's registry key: " + ErrorText(rc));
  RegCloseKey(key);
  if (companion && InstallCompanion() != 0) return 1;

  std::u16string printerName = IniString(u"Printer", u"Name");
  std::u16string port = IniString(u"Printer", u"Port", u"LPT1:");
  std::u16string comment = IniString(u"Printer", u"Comment");
  std::u16string location = IniString(u"Printer", u"Location");
  WCHAR attr[32];
  GetPrivateProfileStringW(u"Printer", u"Attributes", u"0", attr, 32, kSetupIni);
  PLAT_PRINTER_SETUP prn = {};
  prn.printerName = printerName.c_str();
  prn.driverName = driverName.c_str();
  prn.portName = port.c_str();
  prn.comment = comment.c_str();
  prn.location = location.c_str();
  prn.attributes = static_cast<DWORD>(strtoul(Narrow(attr).c_str(), nullptr, 0));
  if (!PlatSpoolAddPrinter(&prn)) return Fail("cannot install the printer: " + ErrorText(GetLastError()));
  DeleteFileW(kSetupIni);
  // The printer setup imports the package's default presets.
  std::string imported;
  if (!ImportModelDefaultBundle(Narrow(printerName), imported))
    return Fail("cannot install the default presets: " + imported);

  printf("machine root %s\n", dir.c_str());
  printf("installed printer \"%s\" with driver \"%s\"\n", Narrow(printerName).c_str(), Narrow(driverName).c_str());
  printf("%s\n", imported.c_str());
  if (companion) printf("installed the job-binding companion application\n");
  return 0;
}

int RunMachine(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--companion", false}}, kUsage, parsed)) return 2;
  const Args &args = parsed.rest;
  if (args.empty() || args[0] != "init") return UsageError(kUsage);
  return RunMachineInit(Args(args.begin() + 1, args.end()), parsed.Has("--companion"));
}

Registrar reg({"machine", kUsage,
               "Makes a new machine root in DIR (which must be empty or missing): the folders of a\n"
               "Windows machine, the sample driver package and the printer \"KVML Sample\" installed,\n"
               "with the default presets of the package's bundle imported as the printer setup does.\n"
               "--companion also records the job-binding companion application as installed\n"
               "(HKLM Software\\TOLVE\\SuiteBraid\\TaskWeave, INSTALL_COUNT 1).\n"
               "Use it with --root DIR or KVML_ROOT=DIR.\n",
               RunMachine});

}  // namespace
}  // namespace host
