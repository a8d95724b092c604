#include "store_items_fixture.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "blob/desc_cache.h"
#include "blob/desc_compile.h"
#include "files/paths.h"
#include "names/names_paths.h"

std::string Le(DWORD v, int n)
{
  std::string out;
  for (int i = 0; i < n; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}

void SettingsStoreTest::SetUp()
{
  ContextTest::SetUp();
  std::ifstream in(KV_SAMPLE_DIR "/KVSAMPLE.KVD", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  ASSERT_FALSE(text.str().empty());
  WriteHostFile(HostPath(u"C:\\sample\\KVSAMPLE.KVD"), text.str());
  DescTestRemoveAll();
  DESC_BLOB *blob = DescCompileEx(nullptr, u"C:\\sample\\KVSAMPLE.KVD", FALSE, nullptr);
  ASSERT_NE(nullptr, blob);
  WCHAR *dataFile = PathGetDriverDataFile(printer_);
  ASSERT_NE(nullptr, dataFile);
  ASSERT_TRUE(DescCacheAdd(blob, dataFile));  // the cache owns it now
  GlobalFree(dataFile);
  DRIVER_CONTEXT *probe = Open();
  ASSERT_NE(nullptr, probe);
  std::u16string ini = IniPath(probe);
  Close(probe);
  ASSERT_FALSE(ini.empty());
  CreateDirectoryW(ini.substr(0, ini.rfind(u'\\')).c_str(), nullptr);
  // The probe stored the description's font lists; every test starts without them.
  const WCHAR *fontValues[] = {KV_PD_DEVICE_FONT_NUM, KV_PD_DEVICE_FONT,    KV_PD_OPTION_FONT_NUM,
                               KV_PD_OPTION_FONT,     KV_PD_FONT_TABLE_NUM, KV_PD_LAST_FONT_TABLE_NUM};
  for (const WCHAR *name : fontValues) DeleteData(name);
  StoreDeleteFontSubstEntriesForTest();
}

void SettingsStoreTest::StoreDeleteFontSubstEntriesForTest()
{
  WCHAR name[64];
  for (int i = 1; i <= 32; ++i) {
    wsprintfW(name, KV_PD_TT_FONT_TABLE, i);
    DeletePrinterDataW(printer_, name);
    wsprintfW(name, KV_PD_DEV_FONT_TABLE, i);
    DeletePrinterDataW(printer_, name);
  }
}

void SettingsStoreTest::TearDown()
{
  PlatFaultDisarmAll();
  ContextTest::TearDown();
}

DRIVER_CONTEXT *SettingsStoreTest::Open(DWORD createFlags, WORD openMode)
{
  return CtxCreateWithMode(printer_, printer_, nullptr, openMode, createFlags);
}

void SettingsStoreTest::Close(DRIVER_CONTEXT *ctx)
{
  if (ctx != nullptr) CtxRelease(ctx);
  CtxExpireCache(1);
}

void SettingsStoreTest::PutData(const WCHAR *name, const std::string &bytes, DWORD type)
{
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            SetPrinterDataW(printer_, const_cast<LPWSTR>(name), type, (LPBYTE)bytes.data(), (DWORD)bytes.size()));
}

std::string SettingsStoreTest::GetData(const WCHAR *name)
{
  DWORD type = 0, needed = 0;
  DWORD rc = GetPrinterDataW(printer_, const_cast<LPWSTR>(name), &type, nullptr, 0, &needed);
  if (rc == ERROR_FILE_NOT_FOUND) return "<missing>";
  std::vector<BYTE> buf(needed + 1);
  rc = GetPrinterDataW(printer_, const_cast<LPWSTR>(name), &type, buf.data(), needed, &needed);
  if (rc != ERROR_SUCCESS) return "<error>";
  return Bytes(buf.data(), needed);
}

void SettingsStoreTest::DeleteData(const WCHAR *name) { DeletePrinterDataW(printer_, const_cast<LPWSTR>(name)); }

std::u16string SettingsStoreTest::IniPath(DRIVER_CONTEXT *ctx)
{
  const WCHAR *p = CtxGetSettingsIniPath(ctx);
  return p != nullptr ? p : u"";
}

std::string SettingsStoreTest::IniKey(DRIVER_CONTEXT *ctx, const WCHAR *key)
{
  WCHAR buf[1100];
  GetPrivateProfileStringW(CtxGetPrinterName(ctx), key, u"<missing>", buf, 1100, IniPath(ctx).c_str());
  return NarrowW(buf);
}

std::string SettingsStoreTest::Text(DRIVER_CONTEXT *ctx, WORD id)
{
  OPTION_ITEM *item = ItemFindById(ctx, id);
  if (item == nullptr) return "<no item>";
  std::vector<WCHAR> buf(KvItemSize(item) + 8, 0);
  if (ItemReadText(ctx, item, buf.data()) == nullptr) return "<no field>";
  return NarrowW(buf.data());
}
