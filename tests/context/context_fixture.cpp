#include "context_fixture.h"

#include "blob/desc_cache.h"
#include "kvplat/spool_control.h"
#include "files/paths.h"

namespace {
// The smallest compiled description: a header block and no item nodes.
struct TestBlob {
  BYTE header[6708];
};
}  // namespace

// The blob goes into the process cache through the cache's own (locked) calls, which then
// own it: DescFreeCache frees it with the rest.
struct DESC_BLOB *DescTestInstallCompiled(HANDLE printer)
{
  WCHAR *path = PathGetDriverDataFile(printer);
  if (path == nullptr) return nullptr;
  auto *blob = (struct DESC_BLOB *)GlobalAlloc(GPTR, sizeof(TestBlob));
  BOOL added = blob != nullptr && DescCacheAdd(blob, path);
  GlobalFree(path);
  if (!added) {
    if (blob != nullptr) GlobalFree(blob);
    return nullptr;
  }
  return blob;
}

void DescTestRemoveAll() { DescFreeCache(); }

void ContextTest::SetUp()
{
  MachineTest::SetUp();
  CtxSetupActive = 0;
  printer_ = InstallPrinter();
  ASSERT_NE(printer_, nullptr);
  blob_ = DescTestInstallCompiled(printer_);
  ASSERT_NE(blob_, nullptr);
}

void ContextTest::TearDown()
{
  PlatFaultDisarmAll();
  CtxExpireCache(1);
  DescTestRemoveAll();
  CtxSetupActive = 0;
  if (second_ != nullptr) ClosePrinter(second_);
  if (printer_ != nullptr) ClosePrinter(printer_);
  MachineTest::TearDown();
}

HANDLE ContextTest::InstallPrinter(const WCHAR *name)
{
  PLAT_DRIVER_SETUP d = {};
  d.name = u"KV Test Driver";
  d.driverFile = u"kvmldraw.dll";
  d.dataFile = u"kvtest.kdt";
  d.configFile = u"kvmlface.dll";
  d.helpFile = u"kvmlhelpus.hlp";
  EXPECT_TRUE(PlatSpoolAddDriver(&d));
  PLAT_PRINTER_SETUP p = {};
  p.printerName = name;
  p.driverName = u"KV Test Driver";
  EXPECT_TRUE(PlatSpoolAddPrinter(&p));
  HANDLE h = nullptr;
  WCHAR buf[64] = {};
  for (int i = 0; name[i] != 0 && i < 63; ++i) buf[i] = name[i];
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  EXPECT_TRUE(OpenPrinterW(buf, &h, &defaults)) << GetLastError();
  return h;
}

std::string NarrowW(const WCHAR *s)
{
  std::string out;
  for (; s != nullptr && *s != 0; ++s) out.push_back(*s < 128 ? (char)*s : '?');
  return out;
}
