#include "store_fixture.h"

#include <filesystem>

#include "kvplat/spool_control.h"
#include "model/model.h"
#include "os/os.h"

namespace {

const WCHAR kSetupIni[] = u"C:\\WINDOWS\\Temp\\kvsample-setup.ini";
const WCHAR kDriverDir[] = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\";

std::u16string SetupValue(const WCHAR *section, const WCHAR *key)
{
  WCHAR buf[512];
  GetPrivateProfileStringW(section, key, u"", buf, 512, kSetupIni);
  return buf;
}

}  // namespace

std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char *>(&v), 4); }

std::string TextBytes(const WCHAR *text)
{
  return std::string(reinterpret_cast<const char *>(text), (lstrlenW(text) + 1) * sizeof(WCHAR));
}

void StoreTest::SetUp()
{
  MachineTest::SetUp();
  OsVersionCacheResetForTest();
  std::string samples = KV_SAMPLES_DIR;
  WriteHostFile(HostPath(kSetupIni), ReadHostFile(samples + "/printer.ini"));
  std::string driverDir = HostPath(kDriverDir);
  std::filesystem::create_directories(driverDir);
  WriteHostFile(driverDir + "/kvmlmodl.ini", ReadHostFile(samples + "/kvmlmodl.ini"));

  driverName_ = SetupValue(u"Printer", u"Driver");
  printerName_ = SetupValue(u"Printer", u"Name");
  std::u16string driverPath = SetupValue(u"DriverFiles", u"DriverPath");
  std::u16string dataFile = SetupValue(u"DriverFiles", u"DataFile");
  std::u16string configFile = SetupValue(u"DriverFiles", u"ConfigFile");
  std::u16string helpFile = SetupValue(u"DriverFiles", u"HelpFile");
  ASSERT_FALSE(driverName_.empty());
  ASSERT_FALSE(helpFile.empty());
  PLAT_DRIVER_SETUP d = {};
  d.name = driverName_.c_str();
  d.driverFile = driverPath.c_str();
  d.dataFile = dataFile.c_str();
  d.configFile = configFile.c_str();
  d.helpFile = helpFile.c_str();
  ASSERT_TRUE(PlatSpoolAddDriver(&d));
  PLAT_PRINTER_SETUP p = {};
  p.printerName = printerName_.c_str();
  p.driverName = driverName_.c_str();
  ASSERT_TRUE(PlatSpoolAddPrinter(&p));
  DeleteFileW(kSetupIni);

  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(printerName_.c_str()), &printer_, &defaults)) << GetLastError();
  state_.reset(new CONTEXT_STATE());
  ctx_.state = state_.get();
  ctx_.printer = printer_;
  DRIVER_CONTEXT *tmpl = CtxGetTemplate();
  ctx_.model = tmpl ? tmpl->model : nullptr;
}

void StoreTest::TearDown()
{
  for (HANDLE h : extra_) ClosePrinter(h);
  extra_.clear();
  if (printer_) ClosePrinter(printer_);
  printer_ = nullptr;
  MachineTest::TearDown();
}

HANDLE StoreTest::OpenSample(DWORD access)
{
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
  HANDLE h = nullptr;
  EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(printerName_.c_str()), &h, &defaults)) << GetLastError();
  if (h) extra_.push_back(h);
  return h;
}

void StoreTest::PutData(const WCHAR *name, DWORD type, const std::string &bytes)
{
  ASSERT_EQ(
      static_cast<DWORD>(ERROR_SUCCESS),
      SetPrinterDataW(printer_, const_cast<LPWSTR>(name), type,
                      reinterpret_cast<LPBYTE>(const_cast<char *>(bytes.data())), static_cast<DWORD>(bytes.size())));
}

void StoreTest::PutText(const WCHAR *name, const WCHAR *text) { PutData(name, REG_SZ, TextBytes(text)); }

std::string StoreTest::GetData(const WCHAR *name, DWORD *type)
{
  DWORD t = 0, needed = 0;
  DWORD rc = GetPrinterDataW(printer_, const_cast<LPWSTR>(name), &t, nullptr, 0, &needed);
  if (rc == ERROR_FILE_NOT_FOUND) return "<missing>";
  std::string out(needed, '\0');
  rc = GetPrinterDataW(printer_, const_cast<LPWSTR>(name), &t, reinterpret_cast<LPBYTE>(&out[0]), needed, &needed);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), rc);
  if (type) *type = t;
  return out;
}

void StoreTest::PutMachineValue(const WCHAR *subkey, const WCHAR *name, DWORD type, const std::string &bytes)
{
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                                          static_cast<DWORD>(bytes.size())));
  RegCloseKey(key);
}

std::string StoreTest::GetMachineValue(const WCHAR *subkey, const WCHAR *name, DWORD *type)
{
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<missing>";
  DWORD t = 0, size = 0;
  std::string out;
  if (RegQueryValueExW(key, name, nullptr, &t, nullptr, &size) == ERROR_SUCCESS) {
    out.assign(size, '\0');
    RegQueryValueExW(key, name, nullptr, &t, reinterpret_cast<BYTE *>(&out[0]), &size);
  } else {
    out = "<missing>";
  }
  RegCloseKey(key);
  if (type) *type = t;
  return out;
}
