// The default DEVMODE of a context: golden images of each load kind for the test printer on
// the sample description, the public fields by their binding (hand-built descriptions), and
// the printer's stored DEVMODE taken only when it is this driver's and valid.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>

#include "blob_builder.h"
#include "context_fixture.h"
#include "blob/desc_runtime.h"
#include "devmode/devmode_defaults.h"
#include "devmode/devmode_header.h"
#include "devmode/dm_merge.h"
#include "devmode_images.h"
#include "files/paths.h"
#include "os/os.h"
#include "checks/item_check.h"
#include "kvplat/spool_control.h"
#include "model/state_items.h"
#include "rules/rule_caps.h"
#include "tables/item_ids.h"

namespace {

std::string ReadText(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// 16 bytes a line, "OFFSET  XX XX ...".
std::string HexDump(const BYTE *p, size_t n)
{
  std::string out;
  char buf[8];
  for (size_t i = 0; i < n; i += 16) {
    snprintf(buf, sizeof buf, "%04zX ", i);
    out += buf;
    for (size_t j = i; j < i + 16 && j < n; ++j) {
      snprintf(buf, sizeof buf, " %02X", p[j]);
      out += buf;
    }
    out += "\n";
  }
  return out;
}

// The test printer's description is the sample: its text is the printer's data file, which
// the context compiles when it opens.
class DefaultsTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    DescTestRemoveAll();
    std::string text = ReadText(KV_SAMPLE_DIR "/KVSAMPLE.KVD");
    ASSERT_FALSE(text.empty());
    WCHAR *path = PathGetDriverDataFile(printer_);
    ASSERT_NE(path, nullptr);
    WriteHostFile(HostPath(path), text);
    GlobalFree(path);
  }
  void TearDown() override
  {
    if (ctx_ != nullptr) CtxRelease(ctx_);
    ctx_ = nullptr;
    ContextTest::TearDown();
  }
  DRIVER_CONTEXT *Open(WORD kind)
  {
    if (ctx_ != nullptr) CtxRelease(ctx_);
    CtxExpireCache(1);
    ctx_ = CtxCreateWithMode(printer_, printer_, nullptr, kind, CTX_CREATE_SHEETS);
    EXPECT_NE(ctx_, nullptr);
    return ctx_;
  }
  // The test printer's stored default DEVMODE (none for an empty image).
  void StoreDefault(const std::vector<BYTE> &image)
  {
    PRINTER_INFO_2W *info = (PRINTER_INFO_2W *)OsGetPrinterInfo(printer_, 2);
    ASSERT_NE(info, nullptr);
    info->pDevMode = image.empty() ? nullptr : (DEVMODEW *)image.data();
    ASSERT_TRUE(SetPrinterW(printer_, 2, (BYTE *)info, 0)) << GetLastError();
    GlobalFree(info);
  }
  LONG Raw(WORD id) { return ItemGetRaw(ctx_, id, nullptr); }

  DRIVER_CONTEXT *ctx_ = nullptr;
};

// Each load kind without a stored DEVMODE builds the same defaults; the images are checked
// in (derivation: tests/fixtures/devmode/README.md). KV_DEVMODE_UPDATE_GOLDEN=1 rewrites them.
TEST_F(DefaultsTest, GoldenImagesOfEachKind)
{
  for (WORD kind = 0; kind <= 3; ++kind) {
    SCOPED_TRACE(kind);
    ASSERT_NE(Open(kind), nullptr);
    std::string dump = HexDump(CtxGetDevmode(ctx_), KV_DM_TOTAL_SIZE);
    std::string file = std::string(KV_DEVMODE_FIXTURES) + "/defaults_kind" + std::to_string(kind) + ".hex";
    if (getenv("KV_DEVMODE_UPDATE_GOLDEN") != nullptr) std::ofstream(file, std::ios::binary) << dump;
    EXPECT_EQ(ReadText(file), dump);
    // What the images hold: the model's public defaults and a DEVMODE that passes its own
    // header test, with nothing left for the check to repair.
    EXPECT_EQ(Raw(ITEM_dmFields), 0x7F03);
    EXPECT_EQ(Raw(ITEM_dmPaperSize), 9);
    EXPECT_EQ(Raw(ITEM_dmPrintQuality), 600);
    // The defaults are the starting state: no DEVMODE row is marked changed. The print-box
    // mode (set by the model from the settings INI once the stored items are loaded) and the
    // printer-configuration items (loaded by the store, which marks the font lists it builds
    // from the description so that they are saved) are not defaults.
    const OPTION_ITEM *rows = (const OPTION_ITEM *)ctx_->items->rows;
    for (int i = 0; i < ctx_->items->count; ++i) {
      if (rows[i].id == ITEM_wdmHiddenModePrintBox || rows[i].id >= 10000) continue;
      ASSERT_EQ(rows[i].state & KV_STATE_CHANGED_MASK, 0) << rows[i].id;
    }
    EXPECT_EQ(DmCheckPrivateHeader(CtxGetDevmode(ctx_)), 1);
    std::vector<BYTE> before(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE);
    ItemRunCheckTable(ctx_, KV_CHECK_MODE_KEEP_LEGAL);
    EXPECT_EQ(0, memcmp(before.data(), ctx_->work, KV_WORK_BUFFER_SIZE));
  }
  // The template's buffer is not touched by the defaults.
  for (DWORD i = 0; i < KV_WORK_BUFFER_SIZE; ++i) ASSERT_EQ(CtxGetTemplate()->work[i], 0) << i;
}

// The defaults are settled: merging a context's default DEVMODE into it, as the spooler and
// applications hand it back, changes nothing, the resolution code included.
TEST_F(DefaultsTest, DefaultsMergeIntoThemselvesUnchanged)
{
  for (WORD kind = 0; kind <= 3; ++kind) {
    SCOPED_TRACE(kind);
    ASSERT_NE(Open(kind), nullptr);
    std::vector<BYTE> own(CtxGetDevmode(ctx_), CtxGetDevmode(ctx_) + KV_DM_TOTAL_SIZE);
    ASSERT_EQ(1, DmMergeIncoming(ctx_, own.data(), KV_MERGE_FLAGS_CONVERT));
    for (DWORD i = 0; i < KV_DM_TOTAL_SIZE; ++i) EXPECT_EQ(own[i], CtxGetDevmode(ctx_)[i]) << "byte " << i;
    const RESOLUTION_ROW *code = CapFindResolutionRow((WORD)Raw(ITEM_kdmDstResolutionBoth));
    ASSERT_NE(nullptr, code);
    EXPECT_EQ(Raw(ITEM_kdmDstResolutionW), (LONG)code->xDpi);
  }
}

// Item values the defaults give: the description's, the model's, the check table's.
TEST_F(DefaultsTest, ItemDefaultsFromTheirSources)
{
  ASSERT_NE(Open(0), nullptr);
  EXPECT_EQ(ItemGetValue(ctx_, ITEM_kdmMediaType, nullptr), (LONG)DescGetItemDefault(ITEM_kdmMediaType, ctx_));
  EXPECT_EQ(Raw(ITEM_kdmScaleH), 100);
  EXPECT_EQ(Raw(ITEM_kdmMachineID), ctx_->model->machineId);
  EXPECT_EQ(Raw(ITEM_kdmDriverType), ctx_->model->driverType);
  EXPECT_EQ(Raw(ITEM_kdmSeparationSheetCycle), 1);
  EXPECT_EQ(Raw(ITEM_kdmKVMLVer), 16);
  EXPECT_EQ(Raw(ITEM_kdmPresetNo), 0);  // no description node: the table's preset 0
  WCHAR text[40] = {};
  ItemReadText(ctx_, ItemFindById(ctx_, ITEM_wdmDriverVersion), text);
  EXPECT_EQ(NarrowW(text), "1.41");
  ItemReadText(ctx_, ItemFindById(ctx_, ITEM_kdmHFFontName), text);
  EXPECT_EQ(NarrowW(text), "Arial");
  ItemReadText(ctx_, ItemFindById(ctx_, ITEM_dmFormName), text);
  EXPECT_EQ(NarrowW(text), "A4");
}

// The printer's stored DEVMODE. As the starting settings (kinds 0 and 1) it is taken when it
// is this model's and size, in the driver's private version or a newer one, and upgraded
// from an older minor version by the description's conversion steps; load kind 3 adopts it
// only when it passes the full header test. What is taken is taken whole, public fields
// included, its private values are checked, and its state block is this call's.
TEST_F(DefaultsTest, StoredDevmodeTakenOnlyWhenValid)
{
  ASSERT_NE(Open(3), nullptr);
  const DWORD version = ctx_->model->privVersion;
  std::vector<BYTE> good(CtxGetDevmode(ctx_), CtxGetDevmode(ctx_) + KV_DM_TOTAL_SIZE);
  // Public fields the defaults would rewrite: none of them is bound by the sample.
  SetWord(good, offsetof(DEVMODEW, dmOrientation), 2);
  SetWord(good, offsetof(DEVMODEW, dmDuplex), DMDUP_VERTICAL);
  SetWord(good, offsetof(DEVMODEW, dmScale), 50);
  SetWord(good, offsetof(DEVMODEW, dmTTOption), DMTT_DOWNLOAD);
  memset(good.data() + offsetof(DEVMODEW, dmFormName), 0, sizeof(((DEVMODEW *)nullptr)->dmFormName));
  memcpy(good.data() + offsetof(DEVMODEW, dmFormName), u"Stored form", 12 * sizeof(char16_t));
  const OPTION_ITEM *cycle = ItemFindById(ctx_, ITEM_kdmSeparationSheetCycle);
  SetWord(good, cycle->offset, 150);  // an illegal value: repaired on the way in
  // Toner save on: the conversion step to this version puts it back to its default.
  good[ItemFindById(ctx_, ITEM_kdmTonerSave)->offset] = 1;
  // A state block saved by another call on another machine.
  for (DWORD i = 0; i < KV_DM_STATE_SIZE; ++i) good[KV_DM_STATE_FIRST + i] = 0xFF;
  static DWORD s_version;
  s_version = version;
  struct Case {
    const char *what;
    void (*change)(std::vector<BYTE> &);
    bool asDefault;    // taken by kinds 0 and 1
    bool adopted;      // taken by kind 3
    int versionDelta;  // the taken DEVMODE's private version afterwards, against the driver's
    bool upgraded;
  } cases[] = {
      {"valid", [](std::vector<BYTE> &) {}, true, true, 0, false},
      {"older minor version", [](std::vector<BYTE> &d) { SetDword(d, KV_DM_PRIV_VERSION, s_version - 1); }, true, false,
       0, true},
      {"newer minor version", [](std::vector<BYTE> &d) { SetDword(d, KV_DM_PRIV_VERSION, s_version + 1); }, true, false,
       1, false},
      {"older major version", [](std::vector<BYTE> &d) { SetDword(d, KV_DM_PRIV_VERSION, s_version - 100); }, false,
       false, 0, false},
      {"foreign signature", [](std::vector<BYTE> &d) { memcpy(d.data() + KV_DM_PRIV_SIGNATURE, "xxxx", 4); }, false,
       false, 0, false},
      {"other machine", [](std::vector<BYTE> &d) { d[KV_DM_MACHINE_ID] ^= 0xFF; }, false, false, 0, false},
      {"other driver type", [](std::vector<BYTE> &d) { d[KV_DM_DRIVER_TYPE] ^= 1; }, false, false, 0, false},
      {"short private part", [](std::vector<BYTE> &d) { SetWord(d, 70, 1000), d.resize(220 + 1000); }, false, false, 0,
       false},
  };
  for (WORD kind : {0, 1, 3}) {
    for (const Case &c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << " kind " << kind);
      std::vector<BYTE> image = good;
      c.change(image);
      StoreDefault(image);
      ASSERT_NE(Open(kind), nullptr);
      const BYTE *dm = CtxGetDevmode(ctx_);
      const DEVMODEW *pub = reinterpret_cast<const DEVMODEW *>(dm);
      bool taken = kind == 3 ? c.adopted : c.asDefault;
      EXPECT_EQ(Raw(ITEM_dmOrientation), taken ? 2 : 1);
      EXPECT_EQ(pub->dmDuplex, taken ? DMDUP_VERTICAL : DMDUP_SIMPLEX);
      EXPECT_EQ(pub->dmScale, taken ? 50 : 100);
      EXPECT_EQ(pub->dmTTOption, taken ? DMTT_DOWNLOAD : DMTT_SUBDEV);
      EXPECT_EQ(NarrowW(pub->dmFormName), taken ? "Stored form" : "A4");
      EXPECT_EQ(Raw(ITEM_kdmSeparationSheetCycle), 1);
      EXPECT_EQ(Raw(ITEM_kdmTonerSave), taken && !c.upgraded ? 1 : 0);
      EXPECT_EQ(DmGetPrivVersion(dm), version + (taken ? c.versionDelta : 0));
      EXPECT_EQ(DmCheckModelAndSize(dm), 1);
      EXPECT_EQ(DmReadLe16(dm + KV_DM_CONFIG_OFFSET), KV_DEVMODE_SIZE);
      // The state block is this call's, whatever was saved; the printer's bidirectional
      // functions belong to the bidirectional query and stay.
      EXPECT_EQ(CtxGetCallSrc(ctx_), 1);
      EXPECT_EQ(CtxGetBatchInst(ctx_), 1);
      EXPECT_EQ(CtxGetPrintLog(ctx_), 0);
      EXPECT_EQ(CtxGetBiDirect(ctx_), 0);
      EXPECT_EQ(CtxGetNoPermission(ctx_), 0);
      EXPECT_EQ(CtxGetPropertyType(ctx_), 0);
      EXPECT_EQ(CtxGetUserCodeDLL(ctx_), 0);
      EXPECT_EQ(CtxGetAdmin(ctx_), OsIsAdministrator(ctx_) ? 1 : 0);
      EXPECT_EQ(CtxGetTSE(ctx_), OsProbeTerminalServer(printer_) ? 1 : 0);
      EXPECT_EQ(CtxGetBidiFunc(ctx_), taken ? 0xFF : 0);
    }
  }
  StoreDefault({});
}

// A stored DEVMODE ends where the printer configuration begins. A context that starts from
// it has the configuration a context built from the defaults has (the description's
// defaults, then what printer data holds), for every load kind: not a zeroed one, which
// would take away the duplex unit, the memory and the paper units.
TEST_F(DefaultsTest, StoredDevmodeKeepsTheConfigurationDefaults)
{
  DWORD off = 0;
  ASSERT_EQ(SetPrinterDataW(printer_, const_cast<LPWSTR>(u"Duplex"), REG_BINARY, (BYTE *)&off, 4),
            (DWORD)ERROR_SUCCESS);
  // The configuration of each kind without a stored DEVMODE, field by field (the font
  // lists, which hold pointers, left out).
  auto configuration = [&]() {
    std::vector<std::vector<BYTE>> fields;
    OPTION_ITEM *rows = (OPTION_ITEM *)ctx_->items->rows;
    for (int i = 0; i < ctx_->items->count; ++i) {
      if (KvItemBlock(&rows[i]) != KV_BLOCK_CONFIG) continue;
      if (rows[i].id >= ITEM_kdmFontTableNum && rows[i].id <= ITEM_kdmOptionFont) continue;
      const BYTE *p = ItemGetAddress(ctx_, &rows[i]);
      fields.push_back(p != nullptr ? std::vector<BYTE>(p, p + KvItemSize(&rows[i])) : std::vector<BYTE>());
    }
    return fields;
  };
  std::vector<std::vector<BYTE>> expected[3];
  for (WORD kind : {0, 1, 2}) {
    ASSERT_NE(Open(kind), nullptr);
    expected[kind] = configuration();
  }
  EXPECT_EQ(Raw(ITEM_kdmPrinterMemory), 160);
  ASSERT_NE(Open(0), nullptr);
  std::vector<BYTE> stored(CtxGetDevmode(ctx_), CtxGetDevmode(ctx_) + KV_DM_TOTAL_SIZE);
  SetWord(stored, offsetof(DEVMODEW, dmOrientation), 2);
  StoreDefault(stored);
  for (WORD kind : {0, 1, 2}) {
    SCOPED_TRACE(testing::Message() << "kind " << kind);
    ASSERT_NE(Open(kind), nullptr);
    EXPECT_EQ(Raw(ITEM_dmOrientation), 2) << "the stored DEVMODE was taken";
    EXPECT_EQ(Raw(ITEM_kdmSourceOptionTypeDuplex), kind == 0 ? 0 : 1) << "printer data read over the defaults";
    EXPECT_EQ(Raw(ITEM_kdmPrinterMemory), 160);
    EXPECT_TRUE(configuration() == expected[kind]);
  }
  StoreDefault({});
}

// The public fields by their binding, on hand-built descriptions lent to the context.
class PublicDefaultsTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    ctx_ = Create();
    ASSERT_NE(ctx_, nullptr);
    own_ = ctx_->desc;
    ctx_->desc = b_.blob();
  }
  void TearDown() override
  {
    if (ctx_ != nullptr) {
      ctx_->desc = own_;
      CtxRelease(ctx_);
    }
    ContextTest::TearDown();
  }
  WORD Key(WORD id) { return ItemFindById(ctx_, id)->symbolKey; }
  // A node for a public item; items without a description name get the row's key or none.
  BYTE *Bind(WORD id, WORD type) { return b_.AddItem(id, Key(id), type); }
  LONG Raw(WORD id) { return ItemGetRaw(ctx_, id, nullptr); }
  DWORD Fields() { return (DWORD)Raw(ITEM_dmFields); }
  void Fill() { DmFillPublicDefaults(CtxGetDevmode(ctx_), 1, ctx_); }

  DRIVER_CONTEXT *ctx_ = nullptr;
  struct DESC_BLOB *own_ = nullptr;
  BlobBuilder b_;
};

TEST_F(PublicDefaultsTest, UnboundFieldsTakeTheModelDefaults)
{
  ItemSetRaw(ctx_, ITEM_dmOrientation, 2);
  ItemSetRaw(ctx_, ITEM_dmPrintQuality, -3);
  ItemSetRaw(ctx_, ITEM_dmFields, 0);
  Fill();
  EXPECT_EQ(Raw(ITEM_dmOrientation), 1);
  EXPECT_EQ(Raw(ITEM_dmPrintQuality), 600);
  EXPECT_EQ(Raw(ITEM_dmYResolution), 600);
  EXPECT_EQ(Raw(ITEM_dmScale), 100);
  EXPECT_EQ(Raw(ITEM_dmTTOption), 3);
  EXPECT_EQ(Raw(ITEM_dmCollate), 0);
  EXPECT_EQ(Fields(), 0x7F03u);  // collating is not possible without a sort node
}

TEST_F(PublicDefaultsTest, BoundFieldsKeepPlausibleValues)
{
  b_.AddValues(Bind(ITEM_dmOrientation, DESC_TYPE_PICK_ONE), {2042, 2043});
  for (LONG v : {3, 2}) {
    ItemSetRaw(ctx_, ITEM_dmOrientation, v);
    Fill();
    EXPECT_EQ(Raw(ITEM_dmOrientation), v == 2 ? 2 : 1) << v;
    EXPECT_NE(Fields() & DM_ORIENTATION, 0u);
  }
  // A symbolic quality survives a bound print quality; the unbound y resolution follows it.
  b_.AddValues(Bind(ITEM_dmPrintQuality, DESC_TYPE_PICK_ONE), {300, 600});
  ItemSetRaw(ctx_, ITEM_dmPrintQuality, -3);
  ItemSetRaw(ctx_, ITEM_dmYResolution, 0);
  Fill();
  EXPECT_EQ(Raw(ITEM_dmPrintQuality), -3);
  EXPECT_EQ(Raw(ITEM_dmYResolution), -3);
  // A bound numeric paper length without a width keeps the length and clears its bit.
  b_.SetNumeric(Bind(ITEM_dmPaperLength, DESC_TYPE_NUMERIC), 0, 0, 10000);
  ItemSetRaw(ctx_, ITEM_dmPaperLength, 2970);
  ItemSetRaw(ctx_, ITEM_dmPaperWidth, 0);
  ItemSetRaw(ctx_, ITEM_dmFields, (LONG)(Fields() | DM_PAPERLENGTH));
  Fill();
  EXPECT_EQ(Raw(ITEM_dmPaperLength), 2970);
  EXPECT_EQ(Fields() & DM_PAPERLENGTH, 0u);
  // Copies bound as Numeric: a value outside the node's range takes the model's 1.
  b_.SetNumeric(Bind(ITEM_dmCopies, DESC_TYPE_NUMERIC), 1, 1, 99);
  for (LONG v : {50, 100, 0}) {
    ItemSetRaw(ctx_, ITEM_dmCopies, v);
    Fill();
    EXPECT_EQ(Raw(ITEM_dmCopies), v == 50 ? 50 : 1) << v;
  }
}

}  // namespace
