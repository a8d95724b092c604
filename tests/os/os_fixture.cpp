#include "os_fixture.h"

#include "kvplat/spool_control.h"

FakeContext::FakeContext() : state(new CONTEXT_STATE())
{
  ctx.state = state.get();
  state->useSettingsMutex = 1;
  state->checkAdmin = 1;
}

void OsTest::SetUp()
{
  MachineTest::SetUp();
  OsVersionCacheResetForTest();
  OsSettingsMutexInit();
}

void OsTest::TearDown()
{
  OsSettingsMutexClose();
  if (printer_) ClosePrinter(printer_);
  printer_ = nullptr;
  MachineTest::TearDown();
}

HANDLE OsTest::InstallPrinter(DWORD attributes, const WCHAR *serverName)
{
  PLAT_DRIVER_SETUP d = {};
  d.name = u"KV Test Driver";
  d.driverFile = u"kvmldraw.dll";
  d.dataFile = u"kvtest.kdt";
  d.configFile = u"kvmlface.dll";
  EXPECT_TRUE(PlatSpoolAddDriver(&d));
  PLAT_PRINTER_SETUP p = {};
  p.printerName = u"KV Test";
  p.driverName = u"KV Test Driver";
  p.serverName = serverName;
  p.attributes = attributes;
  EXPECT_TRUE(PlatSpoolAddPrinter(&p));
  HANDLE h = nullptr;
  WCHAR name[64] = u"KV Test";
  if (serverName) {
    // A connection is opened as \\SERVER\printer.
    int n = 0;
    for (const WCHAR *s = serverName; *s; ++s) name[n++] = *s;
    name[n++] = u'\\';
    for (const WCHAR *s = u"KV Test"; *s; ++s) name[n++] = *s;
    name[n] = 0;
  }
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  EXPECT_TRUE(OpenPrinterW(name, &h, &defaults)) << GetLastError();
  printer_ = h;
  return h;
}
