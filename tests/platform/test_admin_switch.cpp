// One machine-wide administrator switch governs the token, HKLM writes and the
// spooler's administrative rights together.
#include "kvplat/os_control.h"
#include "kvplat/spool_control.h"
#include "machine_fixture.h"

using AdminSwitchTest = MachineTest;

TEST_F(AdminSwitchTest, NonAdministratorIsBarredEverywhere)
{
  PLAT_DRIVER_SETUP drv = {};
  drv.name = u"KV Driver";
  drv.driverFile = u"kvmldraw.dll";
  drv.dataFile = u"KVSAMPLE.KVD";
  drv.configFile = u"kvmlface.dll";
  ASSERT_TRUE(PlatSpoolAddDriver(&drv));
  PLAT_PRINTER_SETUP prn = {};
  prn.printerName = u"KV Printer";
  prn.driverName = u"KV Driver";
  ASSERT_TRUE(PlatSpoolAddPrinter(&prn));

  for (BOOL admin : {TRUE, FALSE}) {
    PlatSetAdministrator(admin);
    HKEY key = NULL;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\KvTest", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    if (rc == ERROR_SUCCESS) {
      DWORD v = 1;
      rc = RegSetValueExW(key, u"V", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), sizeof v);
      RegCloseKey(key);
    }
    EXPECT_EQ(rc, admin ? ERROR_SUCCESS : ERROR_ACCESS_DENIED) << "admin=" << admin;

    PRINTER_DEFAULTSW defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE printer = NULL;
    BOOL opened = OpenPrinterW(const_cast<LPWSTR>(u"KV Printer"), &printer, &defaults);
    EXPECT_EQ(opened, admin) << "admin=" << admin;
    if (opened) ClosePrinter(printer);
  }
}
