// Items of the settings store on whole contexts of the test printer: every stored item type
// through printer data and the settings INI and back into a new context, as an administrator
// and as a user without rights; only changed values written; no stale bytes; injected write
// failures reported to the caller without losing what was stored.
#include <string.h>

#include <vector>

#include "hooks/build_hooks.h"
#include "hooks/module_hooks.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"
#include "model/state_items.h"
#include "names/names_paths.h"
#include "os/printer_data.h"
#include "store_items_fixture.h"

namespace {

// One printer-data item: the value set, and the bytes printer data must then hold.
struct DataCase {
  WORD id;
  const WCHAR *valueName;
  LONG value;          // raw value (bits 0 or 1)
  const char *text;    // for text items, else NULL
  std::string stored;  // the expected printer-data bytes
};

std::vector<DataCase> DataCases()
{
  return {
      // The sample's defaults install the duplex unit and the manual feed: removing them is
      // the change that is saved.
      {ITEM_kdmSourceOptionTypeDuplex, u"Duplex", 0, nullptr, Le(0, 4)},
      {ITEM_kdmSourceOptionTypeManual, u"ManualTray", 0, nullptr, Le(0, 4)},
      {ITEM_kdmOutputOptionTypeHDD, u"HDD", 1, nullptr, Le(1, 4)},
      {ITEM_kdm1StepOptionNum, u"1StepNum", static_cast<LONG>(0xB2D05E00u), nullptr, Le(0xB2D05E00u, 4)},
      {ITEM_kdmTrayField0 + 27, u"ManualField", 1, nullptr, Le(1, 4)},
      {ITEM_kdmTray1Paper, u"Tray1Paper", 0xFFFE, nullptr, Le(0xFFFE, 2)},
      {ITEM_kdmTray1Media, u"Tray1Media", 17, nullptr, Le(17, 2)},
      {ITEM_kdmLogging, u"Logging", static_cast<LONG>(0x80000001u), nullptr, Le(0x80000001u, 4)},
      {ITEM_kdmCoverDefTray, u"CoverTray", -2, nullptr, Le(0xFFFE, 2)},
      {ITEM_kdmOther, u"Other", 0, "thirty-two characters of text!!!",
       std::string("thirty-two characters of text!!!") + '\0'},
      {ITEM_kdmDllLogCode, u"DllUserCode", 0, "12345678", std::string("12345678") + '\0'},
  };
}

void SetCase(DRIVER_CONTEXT *ctx, const DataCase &c)
{
  OPTION_ITEM *item = ItemFindById(ctx, c.id);
  ASSERT_NE(nullptr, item);
  if (c.text != nullptr) {
    std::u16string wide(c.text, c.text + strlen(c.text));
    ASSERT_NE(nullptr, ItemWriteText(ctx, item, wide.c_str()));
  } else {
    ItemWriteRaw(ctx, item, c.value);
  }
}

}  // namespace

TEST_F(SettingsStoreTest, PrinterDataItemsRoundTripEveryType)
{
  DRIVER_CONTEXT *a = Open();
  ASSERT_NE(nullptr, a);
  for (const DataCase &c : DataCases()) SetCase(a, c);
  DWORD status = 1234;
  EXPECT_EQ(1, StoreSaveItemBlockStatus(printer_, a, KV_BLOCK_CONFIG, 0, &status));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), status);
  Close(a);
  for (const DataCase &c : DataCases()) {
    SCOPED_TRACE(NarrowW(c.valueName));
    EXPECT_EQ(c.stored, GetData(c.valueName));
  }
  DWORD type = 0, needed = 0, v = 0;
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            GetPrinterDataW(printer_, (LPWSTR)u"Logging", &type, (LPBYTE)&v, 4, &needed));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type) << "item 10275 is a REG_DWORD";
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            GetPrinterDataW(printer_, (LPWSTR)u"Tray1Paper", &type, (LPBYTE)&v, 4, &needed));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);

  DRIVER_CONTEXT *b = Open();
  ASSERT_NE(nullptr, b);
  for (const DataCase &c : DataCases()) {
    SCOPED_TRACE(NarrowW(c.valueName));
    if (c.text != nullptr)
      EXPECT_EQ(std::string(c.text), Text(b, c.id));
    else
      EXPECT_EQ(c.value, Raw(b, c.id));
  }
  Close(b);
}

TEST_F(SettingsStoreTest, ByNameValuesUseTheItemsOwnName)
{
  DRIVER_CONTEXT *a = Open();
  ASSERT_NE(nullptr, a);
  OPTION_ITEM *code = ItemFindById(a, ITEM_kdmUserCode);
  ASSERT_NE(nullptr, code);
  ASSERT_NE(nullptr, ItemWriteText(a, code, u"4711"));
  EXPECT_EQ(1, StoreSaveItemByName(printer_, a, code));
  std::string stored = GetData(u"kdmUserCode");
  EXPECT_EQ(KvItemSize(code), stored.size());
  EXPECT_EQ(0, stored.compare(0, 5, std::string("4711") + '\0'));
  ASSERT_NE(nullptr, ItemWriteText(a, code, u"9"));
  EXPECT_EQ(1, StoreLoadItemByName(printer_, a, code));
  EXPECT_EQ("4711", Text(a, ITEM_kdmUserCode));
  OPTION_ITEM unnamed = *code;
  unnamed.name = nullptr;
  EXPECT_EQ(0, StoreSaveItemByName(printer_, a, &unnamed));
  EXPECT_EQ(0, StoreLoadItemByName(printer_, a, &unnamed));
  EXPECT_EQ(0, StoreSaveItemByName(printer_, a, nullptr));
  EXPECT_EQ(0, StoreLoadItemByName(printer_, nullptr, code));
  Close(a);
}

TEST_F(SettingsStoreTest, StoredBitsSetAndClearTheirBitOnly)
{
  // Duplex (bit 0) and ManualTray (bit 7) share one word of the installed-options field.
  const struct {
    std::string duplex, manual;
    LONG wantDuplex, wantManual;
  } cases[] = {
      {Le(1, 4), Le(0, 4), 1, 0},
      {Le(0, 4), Le(1, 4), 0, 1},
      {Le(0x100, 4), Le(1, 4), 1, 1},  // any non-zero word sets the bit
      {std::string("\x01", 1), Le(0, 4), 1, 0},
  };
  for (const auto &c : cases) {
    PutData(u"Duplex", c.duplex);
    PutData(u"ManualTray", c.manual);
    DRIVER_CONTEXT *ctx = Open();
    ASSERT_NE(nullptr, ctx);
    EXPECT_EQ(c.wantDuplex, Raw(ctx, ITEM_kdmSourceOptionTypeDuplex));
    EXPECT_EQ(c.wantManual, Raw(ctx, ITEM_kdmSourceOptionTypeManual));
    Close(ctx);
  }
}

TEST_F(SettingsStoreTest, ShorterStoredValuesLeaveNoStaleBytes)
{
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  OPTION_ITEM *other = ItemFindById(ctx, ITEM_kdmOther);
  ASSERT_NE(nullptr, other);
  ASSERT_NE(nullptr, ItemWriteText(ctx, other, u"a long text that fills the field"));
  PutData(u"Other", "short");
  PutData(u"Tray1Paper", std::string("\x07", 1));
  ItemSetRaw(ctx, ITEM_kdmTray1Paper, 0xABCD);
  EXPECT_EQ(1, StoreLoadItemFromPrinterData(printer_, ctx, other));
  EXPECT_EQ(1, StoreLoadItemFromPrinterData(printer_, ctx, ItemFindById(ctx, ITEM_kdmTray1Paper)));
  BYTE *field = ItemGetAddress(ctx, other);
  EXPECT_EQ(std::string("short") + std::string(KvItemSize(other) - 5, '\0'), Bytes(field, KvItemSize(other)));
  EXPECT_EQ(7, Raw(ctx, ITEM_kdmTray1Paper)) << "the high byte is zeroed, not kept";

  // A value longer than the field is refused and leaves the field as it was.
  PutData(u"Tray1Paper", Le(0x11223344, 4));
  EXPECT_EQ(0, StoreLoadItemFromPrinterData(printer_, ctx, ItemFindById(ctx, ITEM_kdmTray1Paper)));
  EXPECT_EQ(7, Raw(ctx, ITEM_kdmTray1Paper));
  // A missing value leaves it too.
  DeleteData(u"Tray1Paper");
  EXPECT_EQ(0, StoreLoadItemFromPrinterData(printer_, ctx, ItemFindById(ctx, ITEM_kdmTray1Paper)));
  EXPECT_EQ(7, Raw(ctx, ITEM_kdmTray1Paper));
  // An item without key loads as done; a NULL item or context does not.
  OPTION_ITEM keyless = *other;
  keyless.key = nullptr;
  EXPECT_EQ(1, StoreLoadItemFromPrinterData(printer_, ctx, &keyless));
  EXPECT_EQ(1, StoreWriteItemToPrinterData(printer_, ctx, &keyless));
  EXPECT_EQ(0, StoreLoadItemFromPrinterData(printer_, ctx, nullptr));
  EXPECT_EQ(0, StoreLoadItemFromPrinterData(printer_, nullptr, other));
  Close(ctx);
}

TEST_F(SettingsStoreTest, BlockValuesRoundTripOnARetypedRow)
{
  // No stored item has a block type; a context's own copy of the "Other" row is retyped as
  // a 33-byte block, whose bytes (zeros inside) go to printer data unchanged.
  std::string bytes;
  for (int i = 0; i < 33; ++i) bytes.push_back(static_cast<char>(i * 7));
  auto retype = [](DRIVER_CONTEXT *ctx) {
    OPTION_ITEM *row = ItemFindById(ctx, ITEM_kdmOther);
    row->typeWord = (row->typeWord & ~(0x3Fu << 24)) | (KV_VT_BLOCK << 24);
    return row;
  };
  DRIVER_CONTEXT *a = Open();
  ASSERT_NE(nullptr, a);
  OPTION_ITEM *row = retype(a);
  memcpy(ItemGetAddress(a, row), bytes.data(), bytes.size());
  EXPECT_EQ(1, StoreSaveItem(printer_, a, row, nullptr));
  EXPECT_EQ(bytes, GetData(u"Other"));
  Close(a);
  DRIVER_CONTEXT *b = Open();
  ASSERT_NE(nullptr, b);
  row = retype(b);
  memset(ItemGetAddress(b, row), 0x55, bytes.size());
  EXPECT_EQ(1, StoreLoadItemFromPrinterData(printer_, b, row));
  EXPECT_EQ(bytes, Bytes(ItemGetAddress(b, row), bytes.size()));
  Close(b);
}

TEST_F(SettingsStoreTest, IniItemsRoundTripAndValuesAbove2To31)
{
  DRIVER_CONTEXT *a = Open();
  ASSERT_NE(nullptr, a);
  ItemSetRaw(a, ITEM_kdmPrnMethod, 7);
  ItemSetRaw(a, ITEM_kdmFrontFunc, static_cast<LONG>(0xFFFFFFFFu));
  ASSERT_NE(nullptr, ItemWriteText(a, ItemFindById(a, ITEM_wdmOvlPath), u"C:\\overlay\\form.ovl"));
  StoreSaveDocumentItems(printer_, a);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
  EXPECT_EQ("7", IniKey(a, u"PrnMethod"));
  EXPECT_EQ("4294967295", IniKey(a, u"FrontFunc"));
  EXPECT_EQ("C:\\overlay\\form.ovl", IniKey(a, u"OverlayDataPath"));
  EXPECT_EQ("<missing>", IniKey(a, u"ACT_FORMOVERLAY")) << "the action items travel in the DEVMODE only";
  Close(a);

  const struct {
    const WCHAR *text;
    DWORD want;
  } frontFunc[] = {{u"4294967295", 0xFFFFFFFFu},
                   {u"2147483648", 0x80000000u},
                   {u"99999999999", 0xFFFFFFFFu},
                   {u"-1", 0xFFFFFFFFu},
                   {u"12", 12u}};
  for (const auto &c : frontFunc) {
    SCOPED_TRACE(NarrowW(c.text));
    DRIVER_CONTEXT *probe = Open();
    ASSERT_NE(nullptr, probe);
    ASSERT_TRUE(WritePrivateProfileStringW(CtxGetPrinterName(probe), u"FrontFunc", c.text, IniPath(probe).c_str()));
    Close(probe);
    DRIVER_CONTEXT *b = Open();
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(c.want, static_cast<DWORD>(Raw(b, ITEM_kdmFrontFunc)));
    EXPECT_EQ(7, Raw(b, ITEM_kdmPrnMethod));
    EXPECT_EQ("C:\\overlay\\form.ovl", Text(b, ITEM_wdmOvlPath));
    Close(b);
  }

  // An empty value leaves the item as it was.
  DRIVER_CONTEXT *c = Open();
  ASSERT_NE(nullptr, c);
  ASSERT_TRUE(WritePrivateProfileStringW(CtxGetPrinterName(c), u"FrontFunc", u"", IniPath(c).c_str()));
  ItemSetRaw(c, ITEM_kdmFrontFunc, 5);
  StoreLoadItemBlock(printer_, c, KV_BLOCK_DEVMODE, 0);
  EXPECT_EQ(5, Raw(c, ITEM_kdmFrontFunc));
  Close(c);
}

TEST_F(SettingsStoreTest, ContextsThatSkipTheSettingsIni)
{
  DRIVER_CONTEXT *a = Open();
  ASSERT_NE(nullptr, a);
  ItemSetRaw(a, ITEM_kdmPrnMethod, 9);
  ItemSetRaw(a, ITEM_kdmTray2Paper, 11);
  EXPECT_EQ(1, StoreSaveItem(printer_, a, ItemFindById(a, ITEM_kdmPrnMethod), nullptr));
  EXPECT_EQ(1, StoreSaveItem(printer_, a, ItemFindById(a, ITEM_kdmTray2Paper), nullptr));
  Close(a);
  const struct {
    const char *what;
    DWORD flags;
    WORD mode;
    bool readsIni;
  } cases[] = {
      {"property sheets", CTX_CREATE_SHEETS, CTX_OPEN_FULL, true},
      {"device capabilities", CTX_CREATE_DEVCAPS, CTX_OPEN_FULL, false},
      {"document properties without a dialog", CTX_CREATE_DOCPROPS, CTX_OPEN_FULL, false},
      // The rendering DLL's request is stored as another bit, which the test does not see.
      {"rendering DLL", CTX_CREATE_DRAW, CTX_OPEN_FULL, true},
      {"printer initialization", CTX_CREATE_SHEETS, CTX_OPEN_INIT | CTX_OPEN_LOAD_STORED, false},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    DRIVER_CONTEXT *ctx = Open(c.flags, c.mode);
    ASSERT_NE(nullptr, ctx);
    EXPECT_EQ(11, Raw(ctx, ITEM_kdmTray2Paper)) << "printer data is always loaded";
    EXPECT_EQ(c.readsIni ? 9 : 0, Raw(ctx, ITEM_kdmPrnMethod));
    Close(ctx);
  }
}

TEST_F(SettingsStoreTest, UnchangedPrinterItemsAreNotWritten)
{
  PutData(u"Tray1Paper", Le(9, 2));
  PutData(u"Tray2Paper", Le(9, 2));
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  // Whatever the context would write now would meet a refused write.
  DeleteData(u"Tray1Paper");
  PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 1);
  DWORD status = 1;
  EXPECT_EQ(1, StoreSaveItemBlockStatus(printer_, ctx, KV_BLOCK_CONFIG, 0, &status));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), status) << "an unchanged context writes nothing";
  EXPECT_EQ("<missing>", GetData(u"Tray1Paper"));
  PlatFaultDisarmAll();

  ItemSetRaw(ctx, ITEM_kdmTray2Paper, 12);
  EXPECT_EQ(1, StoreSaveItemBlock(printer_, ctx, KV_BLOCK_CONFIG, 0));
  EXPECT_EQ(Le(12, 2), GetData(u"Tray2Paper"));
  EXPECT_EQ("<missing>", GetData(u"Tray1Paper")) << "only the changed item";

  // With the unchanged-too flag every printer-configuration item with a key is written.
  EXPECT_EQ(1, StoreSaveItemBlock(printer_, ctx, KV_BLOCK_CONFIG, KV_SAVE_UNCHANGED_TOO | KV_SAVE_PRINTER_CONFIG_ONLY));
  EXPECT_EQ(Le(9, 2), GetData(u"Tray1Paper"));
  EXPECT_NE("<missing>", GetData(u"HDD"));
  Close(ctx);
}

TEST_F(SettingsStoreTest, FailedWritesAreReportedAndLoseNothingStored)
{
  PutData(u"Tray1Paper", Le(1, 2));
  PutData(u"Tray2Paper", Le(2, 2));
  PutData(u"Tray1Media", Le(3, 2));
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  ItemSetRaw(ctx, ITEM_kdmTray1Paper, 21);
  ItemSetRaw(ctx, ITEM_kdmTray2Paper, 22);
  ItemSetRaw(ctx, ITEM_kdmTray1Media, 23);
  PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 2);  // the second of the three writes
  DWORD status = ERROR_SUCCESS;
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(1, StoreSaveItemBlockStatus(printer_, ctx, KV_BLOCK_CONFIG, 0, &status)) << "the answer callers rely on";
  EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), status);
  EXPECT_EQ(status, GetLastError());
  PlatFaultDisarmAll();
  std::string stored[] = {GetData(u"Tray1Paper"), GetData(u"Tray2Paper"), GetData(u"Tray1Media")};
  int failed = 0;
  for (int i = 0; i < 3; ++i) {
    if (stored[i] == Le(static_cast<DWORD>(i + 1), 2))
      ++failed;  // the old value stands whole
    else
      EXPECT_EQ(Le(static_cast<DWORD>(21 + i), 2), stored[i]);
  }
  EXPECT_EQ(1, failed) << "one write failed, the others were still made";

  // A user without rights to the printer: every save fails, is reported, and the stored
  // values stay; loading still works.
  PlatSpoolSetAccess(FALSE, TRUE);
  ItemSetRaw(ctx, ITEM_kdmTray1Paper, 31);
  EXPECT_EQ(1, StoreSaveItemBlockStatus(printer_, ctx, KV_BLOCK_CONFIG, 0, &status));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), status);
  status = ERROR_SUCCESS;
  EXPECT_EQ(1, StoreSavePrinterItemsStatus(printer_, ctx, &status));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), status);
  EXPECT_EQ(stored[0], GetData(u"Tray1Paper"));
  Close(ctx);
  DRIVER_CONTEXT *user = Open();
  ASSERT_NE(nullptr, user);
  const WORD ids[] = {ITEM_kdmTray1Paper, ITEM_kdmTray2Paper, ITEM_kdmTray1Media};
  for (int i = 0; i < 3; ++i) EXPECT_EQ(stored[i], Le(static_cast<DWORD>(Raw(user, ids[i])), 2));
  Close(user);
  PlatSpoolSetAccess(FALSE, FALSE);
}

TEST_F(SettingsStoreTest, BarredUsersWriteNoSharedIniItems)
{
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  ItemSetRaw(ctx, ITEM_kdmPrnMethod, 4);
  CtxSetTSE(ctx, 1);
  CtxSetAdmin(ctx, 0);
  EXPECT_EQ(1, StoreSaveItem(printer_, ctx, ItemFindById(ctx, ITEM_kdmPrnMethod), nullptr)) << "skipped as done";
  EXPECT_EQ("<missing>", IniKey(ctx, u"PrnMethod"));
  CtxSetAdmin(ctx, 1);
  EXPECT_EQ(1, StoreSaveItem(printer_, ctx, ItemFindById(ctx, ITEM_kdmPrnMethod), nullptr));
  EXPECT_EQ("4", IniKey(ctx, u"PrnMethod"));
  Close(ctx);
}

namespace {

// The item a test module vetoes in the module pass of a block save (0: none), and the modes
// the pass asks in.
WORD g_vetoed = 0;
std::vector<LONG> g_askedModes;
LONG WINAPI VetoOneItem(DRIVER_CONTEXT *, WORD event, void *data, void *)
{
  if (event != KV_EVT_SAVE_ITEM_BY_NAME) return 0;
  KV_EVT_ITEM_BY_NAME_DATA *ask = static_cast<KV_EVT_ITEM_BY_NAME_DATA *>(data);
  g_askedModes.push_back(ask->mode);
  if (ask->item->id == g_vetoed) ask->answer = 1;
  return 0;
}

}  // namespace

// Which rows a block save writes: the printer-configuration and 1239-1270 filters of the
// flags, the log-code items of a connection whose server keeps no log code, and the module
// pass, which writes only what the modules let through. The compiled-in table gives the
// log-code, 1230 and 1239 rows no value name; the context's own rows get one here.
TEST_F(SettingsStoreTest, BlockSaveFiltersRowsByFlagsPrinterAndModules)
{
  PLAT_PRINTER_SETUP p = {};
  p.printerName = u"\\\\SERVER\\KV Remote";
  p.driverName = u"KV Test Driver";
  p.serverName = u"\\\\SERVER";
  ASSERT_TRUE(PlatSpoolAddPrinter(&p));
  WCHAR remote[] = u"\\\\SERVER\\KV Remote";
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
  ASSERT_TRUE(OpenPrinterW(remote, &second_, &defaults));

  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  const struct {
    WORD id;
    const WCHAR *name;
  } named[] = {{ITEM_kdmLogCodeUse, u"TLogCodeUse"},
               {ITEM_kdmLogCode, u"TLogCode"},
               {ITEM_wdmReserved1230, u"TReserved"},
               {ITEM_wdmCustomFunc0, u"TCustom0"}};
  for (const auto &n : named) {
    OPTION_ITEM *row = ItemFindById(ctx, n.id);
    ASSERT_NE(nullptr, row);
    row->storageClass = 1;
    row->key = n.name;
  }
  ItemSetRaw(ctx, ITEM_kdmLogCodeUse, 1);
  ASSERT_NE(nullptr, ItemWriteText(ctx, ItemFindById(ctx, ITEM_kdmLogCode), u"77"));
  ItemSetRaw(ctx, ITEM_wdmReserved1230, 5);
  ItemSetRaw(ctx, ITEM_wdmCustomFunc0, 1);
  const WCHAR *names[] = {u"TLogCodeUse", u"TLogCode", u"TReserved", u"TCustom0", u"Duplex"};
  LONG deliverableCount = 0;
  MODULE_HOOK_ROW *deliverable = CtxGetModuleHooks(&deliverableCount);
  MODULE_HOOK_ROW vetoing = {0, nullptr, nullptr, nullptr, VetoOneItem};

  const DWORD all = KV_SAVE_UNCHANGED_TOO;
  struct Case {
    const char *what;
    DWORD flags;
    bool connection;
    LONG serverLogCode;
    WORD vetoed;          // 0: the deliverable's modules
    std::string written;  // one letter per name: L LogCodeUse, C LogCode, R 1230, F 1239, D Duplex
  } cases[] = {
      {"every row", all, false, 0, 0, "LCRFD"},
      {"printer configuration only", all | KV_SAVE_PRINTER_CONFIG_ONLY, false, 0, 0, "D"},
      {"1239-1270 only", all | KV_SAVE_AUTH_RANGE_ONLY, false, 0, 0, "F"},
      {"a connection whose server keeps no log code", all, true, 0, 0, "RFD"},
      {"a connection whose server keeps the log code", all, true, 1, 0, "LCRFD"},
      {"module pass: the deliverable's modules veto every row", all | KV_SAVE_MODULE_PASS, false, 0, 0, ""},
      {"module pass: a module that vetoes Duplex", all | KV_SAVE_MODULE_PASS, false, 0, ITEM_kdmSourceOptionTypeDuplex,
       "LCRF"},
      {"module pass: the log codes of a connection stay out", all | KV_SAVE_MODULE_PASS, true, 0,
       ITEM_kdmSourceOptionTypeDuplex, "RF"},
  };
  const char letters[] = "LCRFD";
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    for (const WCHAR *name : names) DeleteData(name);
    ItemSetRaw(ctx, ITEM_kdmServerLogCode, c.serverLogCode);
    if (c.vetoed == 0) {
      CtxAttachModuleTable(ctx, deliverable, deliverableCount);
    } else {
      g_vetoed = c.vetoed;
      CtxAttachModuleTable(ctx, &vetoing, 1);
    }
    g_askedModes.clear();
    HANDLE own = ctx->printer;
    if (c.connection) ctx->printer = second_;
    EXPECT_EQ(1, StoreSaveItemBlock(printer_, ctx, KV_BLOCK_CONFIG, c.flags));
    ctx->printer = own;
    for (int i = 0; i < 5; ++i) {
      bool want = c.written.find(letters[i]) != std::string::npos;
      EXPECT_EQ(want, GetData(names[i]) != "<missing>") << NarrowW(names[i]);
    }
    if (c.vetoed != 0) {
      ASSERT_FALSE(g_askedModes.empty());
      for (LONG mode : g_askedModes) EXPECT_EQ(2, mode);
    }
  }
  // What the rows hold, as the first case wrote them.
  for (const WCHAR *name : names) DeleteData(name);
  EXPECT_EQ(1, StoreSaveItemBlock(printer_, ctx, KV_BLOCK_CONFIG, all));
  EXPECT_EQ(Le(1, 1), GetData(u"TLogCodeUse"));
  EXPECT_EQ(std::string("77") + std::string(7, '\0'), GetData(u"TLogCode"));
  EXPECT_EQ(Le(1, 4), GetData(u"TCustom0"));
  EXPECT_EQ(Le(5, 1), GetData(u"TReserved"));
  CtxAttachModuleTable(ctx, deliverable, deliverableCount);
  Close(ctx);
}
