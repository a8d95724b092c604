#include "cache_fixture.h"

#include "kvplat/spool_control.h"
#include "os/os.h"

const char kTextOrientation[] =
    "*% Cache test description: orientation\r\n"
    "*FileVersion: 1.41\r\n"
    "*OpenUI *KPD_RADIOLIST_1: PickOne\r\n"
    "*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: \"@PJL SET ORIENTATION=PORTRAIT\"\r\n"
    "*KPD_RADIOLIST_1 IDS_ORIENTATION_LANDSCAPE: \"@PJL SET ORIENTATION=LANDSCAPE\"\r\n"
    "*DefaultKPD_RADIOLIST_1: IDS_ORIENTATION_LANDSCAPE\r\n"
    "*CloseUI: *KPD_RADIOLIST_1\r\n"
    "*CommandString 1: \"@PJL JOB\"\r\n";

const char kTextColor[] =
    "*% Cache test description: colour\r\n"
    "*FileVersion: 1.41\r\n"
    "*OpenUI *KPD_RADIOLIST_6: PickOne\r\n"
    "*KPD_RADIOLIST_6 IDS_COLOR_MONOCHROME: \"@PJL SET RENDERMODE=GRAYSCALE\"\r\n"
    "*KPD_RADIOLIST_6 IDS_COLOR_COLOR: \"@PJL SET RENDERMODE=COLOR\"\r\n"
    "*CloseUI: *KPD_RADIOLIST_6\r\n";

const char kTextNoVersion[] =
    "*% Cache test description without a version\r\n"
    "*OpenUI *KPD_RADIOLIST_1: PickOne\r\n"
    "*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: \"@PJL SET ORIENTATION=PORTRAIT\"\r\n"
    "*CloseUI: *KPD_RADIOLIST_1\r\n";

std::string TextWithVersion(const char *version)
{
  std::string text = kTextOrientation;
  size_t at = text.find("1.41");
  return text.replace(at, 4, version);
}

LoadContext::LoadContext(HANDLE printer, const WCHAR *driverVersion, bool useMutex) : state(new CONTEXT_STATE())
{
  model = *CtxGetTemplate()->model;
  model.driverVersionText = driverVersion;
  ctx.printer = printer;
  ctx.printer2 = printer;
  ctx.model = &model;
  ctx.state = state.get();
  state->useSettingsMutex = useMutex ? 1 : 0;
  state->checkAdmin = 1;
}

void CacheTest::SetUp()
{
  MachineTest::SetUp();
  OsSettingsMutexInit();
  PLAT_DRIVER_SETUP d = {};
  d.name = u"KV Cache Driver";
  d.driverFile = u"kvmldraw.dll";
  d.dataFile = u"KVCACHE1.KVD";
  d.configFile = u"kvmlface.dll";
  ASSERT_TRUE(PlatSpoolAddDriver(&d));
  PLAT_PRINTER_SETUP p = {};
  p.printerName = u"KV Cache";
  p.driverName = u"KV Cache Driver";
  ASSERT_TRUE(PlatSpoolAddPrinter(&p));
  WCHAR name[] = u"KV Cache";
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
  ASSERT_TRUE(OpenPrinterW(name, &printer_, &defaults)) << GetLastError();
  text_ = std::u16string(DriverDir()) + u"\\KVCACHE1.KVD";
  cache_ = std::u16string(DriverDir()) + u"\\KVCACHE1.BCS";
  WriteText(kTextOrientation);
}

void CacheTest::TearDown()
{
  PlatFaultDisarmAll();
  DescFreeCache();
  if (printer_ != nullptr) ClosePrinter(printer_);
  OsSettingsMutexClose();
  MachineTest::TearDown();
}

FILETIME CacheTest::WriteTime(const WCHAR *path)
{
  FILETIME t = {};
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << Narrow(path);
  if (h == INVALID_HANDLE_VALUE) return t;
  EXPECT_TRUE(GetFileTime(h, nullptr, nullptr, &t));
  CloseHandle(h);
  return t;
}

void CacheTest::SetWriteTime(const WCHAR *path, FILETIME time)
{
  HANDLE h = CreateFileW(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << Narrow(path);
  EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &time));
  CloseHandle(h);
}

FILETIME CacheTest::AddSeconds(FILETIME t, LONGLONG seconds)
{
  ULONGLONG v = ((ULONGLONG)t.dwHighDateTime << 32) | t.dwLowDateTime;
  v += (ULONGLONG)(seconds * 10000000LL);
  FILETIME out;
  out.dwLowDateTime = (DWORD)(v & 0xFFFFFFFFu);
  out.dwHighDateTime = (DWORD)(v >> 32);
  return out;
}

DESC_BLOB *CacheTest::Load(const WCHAR *driverVersion, bool useMutex)
{
  LoadContext c(printer_, driverVersion, useMutex);
  return DescLoadCompiled(&c.ctx);
}

const BYTE *SlotNode(const DESC_BLOB *blob, WORD itemId)
{
  if (blob == nullptr || DescSlotOffset(itemId) == 0) return nullptr;
  return DescLdPtr(blob, DescSlotOffset(itemId));
}

void Reseal(std::string &file)
{
  if (file.size() < offsetof(DESC_HEADER, totalSize) + 4) return;
  // The block is what lies before the old trailer, when the file ends in one.
  size_t block = file.size();
  if (block > DESC_CACHE_TRAILER_SIZE && DescLd32(file.data(), block - DESC_CACHE_TRAILER_SIZE) == DESC_CACHE_MAGIC)
    block -= DESC_CACHE_TRAILER_SIZE;
  file.resize(block);
  BYTE trailer[DESC_CACHE_TRAILER_SIZE];
  // The trailer records the header's total size and the checksum of that many bytes: a
  // block whose size field disagrees with its length is checksummed over its real length
  // here so that the size check, not the checksum, is what refuses it.
  DWORD recorded = DescLd32(file.data(), offsetof(DESC_HEADER, totalSize));
  DescSt32(trailer, 0, DESC_CACHE_MAGIC);
  DescSt32(trailer, 4, DESC_CACHE_FORMAT);
  DescSt32(trailer, 8, recorded);
  DWORD crc = DescCacheChecksum(reinterpret_cast<const BYTE *>(file.data()), (DWORD)block, 0);
  DescSt32(trailer, 12, DescCacheChecksum(trailer, 12, crc));
  file.append(reinterpret_cast<const char *>(trailer), sizeof trailer);
}
