// The DEVMODE delivered to the caller of a property sheet (mode word, collation rule, job
// fields, short caller buffers) and the commits of the document's and the printer's
// settings, on a context of the test printer running on the bundled sample description.
#include <gtest/gtest.h>

#include <stddef.h>
#include <string.h>

#include <memory>
#include <vector>

#include "devmode/devmode_convert.h"
#include "devmode/devmode_layout.h"
#include "devmode/devmode_paper.h"
#include "devmode/dm_deliver.h"
#include "files/ini.h"
#include "kvplat/os_control.h"
#include "model/state_items.h"
#include "names/names_paths.h"
#include "pjl_table_swap.h"
#include "sample_context.h"
#include "store/jobctl.h"
#include "tables/item_ids.h"

namespace {

class DeliverTest : public SampleContextTest {
 protected:
  void SetUp() override
  {
    SampleContextTest::SetUp();
    in_.assign(KV_DM_TOTAL_SIZE, 0);
    out_.assign(KV_DM_TOTAL_SIZE, 0);
    // The settings INI's folder, where the document commit saves.
    std::u16string ini = CtxGetSettingsIniPath(ctx_);
    ASSERT_TRUE(CreateDirectoryW(ini.substr(0, ini.rfind(u'\\')).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    AllowSorting(true);
  }
  void TearDown() override
  {
    swap_.reset();
    SampleContextTest::TearDown();
  }
  // The sort variable of the PJL table offers sorting off and on, or sorting off only.
  void AllowSorting(bool choice)
  {
    swap_.reset();
    sortRow_ = {ITEM_kdmSortType, 0,       KV_PJL_CONV_VALUE_TABLE, KV_PJL_USE_BASE, KV_PJL_TYPE_PICKONE,
                "SORT",           nullptr, choice ? 2u : 1u,        sortValues_,     nullptr,
                nullptr};
    swap_.reset(new PjlTableSwap(&sortRow_, 1));
  }
  // The caller's input DEVMODE (a copy of the context's, with or without DM_COLLATE) and an
  // empty output DEVMODE, given to the sheet with mode.
  void GiveSheet(DWORD mode, bool inputCollates)
  {
    memcpy(in_.data(), CtxGetDevmode(ctx_), KV_DM_TOTAL_SIZE);
    DWORD fields = DmReadLe32(in_.data() + offsetof(DEVMODEW, dmFields));
    fields = inputCollates ? fields | DM_COLLATE : fields & ~(DWORD)DM_COLLATE;
    DmWriteLe32(in_.data() + offsetof(DEVMODEW, dmFields), fields);
    memset(out_.data(), 0, out_.size());
    ctx_->state->sheetMode = mode;
    ctx_->state->sheetDevmodeIn = reinterpret_cast<DEVMODEW *>(in_.data());
    ctx_->state->sheetDevmodeOut = reinterpret_cast<DEVMODEW *>(out_.data());
  }
  // The working DEVMODE without collation, and job fields that delivery empties.
  void PrepareWorking(LONG sort)
  {
    ItemSetRaw(ctx_, ITEM_kdmFuncSelectSort, sort);
    ItemSetRaw(ctx_, ITEM_dmFields, ItemGetRaw(ctx_, ITEM_dmFields, nullptr) & ~(LONG)DM_COLLATE);
    ItemSetRaw(ctx_, ITEM_dmCollate, 0);
    ItemWriteText(ctx_, ItemFindById(ctx_, ITEM_kdmUserCode), u"1234");
    ItemWriteText(ctx_, ItemFindById(ctx_, ITEM_kdmOwnerName), u"owner");
    ItemSetRaw(ctx_, ITEM_kdmTelLine, 3);
  }
  static bool Collates(const BYTE *dm) { return (DmReadLe32(dm + offsetof(DEVMODEW, dmFields)) & DM_COLLATE) != 0; }
  static SHORT CollateValue(const BYTE *dm) { return (SHORT)DmReadLe16(dm + offsetof(DEVMODEW, dmCollate)); }
  std::string Text(WORD id)
  {
    WCHAR buf[600] = {};
    ItemReadText(ctx_, ItemFindById(ctx_, id), buf);
    return NarrowW(buf);
  }

  std::vector<BYTE> in_, out_;
  PJL_VALUE_ROW sortValues_[2] = {{KV_PJL_VALUE_NO_ITEM_VALUE, 0, "OFF", nullptr, nullptr, nullptr, nullptr},
                                  {0, 6, "ON", nullptr, nullptr, nullptr, nullptr}};
  PJL_VARIABLE_ROW sortRow_ = {};
  std::unique_ptr<PjlTableSwap> swap_;
};

// The collation of the delivered DEVMODE over the mode word, the input DEVMODE, the caller
// kind, the system and whether the job can be collated at all.
TEST_F(DeliverTest, CollationRuleOverModesCallersAndSystems)
{
  enum Where { kNone, kOutput, kWorking };
  struct Case {
    const char *name;
    DWORD mode;
    bool docProps;  // context created for document properties without a dialog
    bool inputCollates;
    BYTE callSrc;
    PLAT_OS_PROFILE os;
    LONG sort;
    bool canCollate;  // false: the sort variable offers no choice
    Where fixed;      // where the collation follows the sort item
    bool copied;      // the output received the DEVMODE
  } cases[] = {
      {"no mode", 0, false, false, 1, PLAT_OS_WIN7_SP1, 1, true, kNone, false},
      {"copy, sort on", DM_COPY, false, false, 0, PLAT_OS_WIN7_SP1, 1, true, kOutput, true},
      {"copy, sort off", DM_COPY, false, false, 0, PLAT_OS_WIN7_SP1, 0, true, kOutput, true},
      {"copy, input collates, application", DM_COPY, false, true, 0, PLAT_OS_WIN7_SP1, 1, true, kNone, true},
      {"copy, input collates, defaults on 2000 SP3", DM_COPY, false, true, 1, PLAT_OS_WIN2000_SP3, 1, true, kNone,
       true},
      {"copy, input collates, defaults on 2000 SP4", DM_COPY, false, true, 1, PLAT_OS_WIN2000_SP4, 1, true, kOutput,
       true},
      {"copy and update", DM_COPY | DM_UPDATE, false, false, 1, PLAT_OS_WIN7_SP1, 1, true, kOutput, true},
      {"update only", DM_UPDATE, false, false, 1, PLAT_OS_WIN7_SP1, 1, true, kWorking, true},
      {"update only, input collates", DM_UPDATE, false, true, 0, PLAT_OS_WIN7_SP1, 1, true, kWorking, true},
      {"update, document properties", DM_UPDATE, true, true, 1, PLAT_OS_WIN7_SP1, 0, true, kOutput, true},
      {"copy, cannot collate", DM_COPY, false, true, 0, PLAT_OS_WIN7_SP1, 1, false, kOutput, true},
      {"update, cannot collate", DM_UPDATE, false, false, 1, PLAT_OS_WIN7_SP1, 1, false, kWorking, true},
  };
  const DWORD createFlags = ctx_->state->createFlags;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(PlatSetOsProfile(c.os));
    AllowSorting(c.canCollate);
    ASSERT_EQ(c.canCollate ? 1 : 0, DmCanCollate(ctx_));
    ctx_->state->createFlags = c.docProps ? createFlags | CTX_CREATE_DOCPROPS : createFlags & ~CTX_CREATE_DOCPROPS;
    CtxSetCallSrc(ctx_, c.callSrc);
    PrepareWorking(c.sort);
    GiveSheet(c.mode, c.inputCollates);

    EXPECT_EQ(1, DmDeliverToCaller(ctx_));
    BYTE *working = CtxGetDevmode(ctx_);
    bool wantOn = c.canCollate;
    SHORT wantValue = c.canCollate && c.sort != 0 ? 1 : 0;
    if (c.copied) {
      EXPECT_EQ(KV_DM_PUBLIC_SIZE, DmReadSize(out_.data()));
      EXPECT_EQ(DmReadLe16(working + offsetof(DEVMODEW, dmPaperSize)),
                DmReadLe16(out_.data() + offsetof(DEVMODEW, dmPaperSize)));
    } else {
      EXPECT_EQ(std::vector<BYTE>(out_.size(), 0), out_);
    }
    if (c.fixed == kOutput) {
      EXPECT_EQ(wantOn, Collates(out_.data()));
      EXPECT_EQ(wantValue, CollateValue(out_.data()));
    } else if (c.copied) {
      // The output keeps what the working DEVMODE held when it was copied.
      EXPECT_FALSE(Collates(out_.data()));
      EXPECT_EQ(0, CollateValue(out_.data()));
    }
    if (c.fixed == kWorking) {
      EXPECT_EQ(wantOn, Collates(working));
      EXPECT_EQ(wantValue, CollateValue(working));
    } else {
      EXPECT_FALSE(Collates(working));
    }
    // Job fields leave the driver empty, the telephone line (not a delivered field) stays.
    bool delivered = (c.mode & (DM_COPY | DM_UPDATE)) != 0;
    EXPECT_EQ(delivered ? "" : "1234", Text(ITEM_kdmUserCode));
    EXPECT_EQ(delivered ? "" : "owner", Text(ITEM_kdmOwnerName));
    EXPECT_EQ(3, ItemGetRaw(ctx_, ITEM_kdmTelLine, nullptr));
  }
  ctx_->state->createFlags = createFlags;
}

// A caller whose DEVMODE is shorter than dmCollate gets exactly the copy sized after its
// input, with nothing written past its public part; without an output DEVMODE nothing is
// copied and delivery still answers 1.
TEST_F(DeliverTest, ShortOrMissingCallerBuffers)
{
  PrepareWorking(1);
  GiveSheet(DM_COPY, false);
  const WORD shortSize = offsetof(DEVMODEW, dmCollate);
  DmWriteLe16(in_.data() + offsetof(DEVMODEW, dmSize), shortSize);
  ASSERT_EQ(1, DmDeliverToCaller(ctx_));
  EXPECT_EQ(shortSize, DmReadSize(out_.data()));
  std::vector<BYTE> expected(KV_DM_TOTAL_SIZE, 0);
  ASSERT_EQ(1, DmCopyToOutput(CtxGetDevmode(ctx_), in_.data(), expected.data()));
  EXPECT_EQ(expected, out_);

  ctx_->state->sheetDevmodeOut = nullptr;
  EXPECT_EQ(1, DmDeliverToCaller(ctx_));
  ctx_->state->sheetMode = DM_UPDATE;
  EXPECT_EQ(1, DmDeliverToCaller(ctx_));
  EXPECT_TRUE(Collates(CtxGetDevmode(ctx_)));

  EXPECT_EQ(0, DmDeliverToCaller(nullptr));
  EXPECT_EQ(0, StoreCommitDocumentSettings(nullptr));
  EXPECT_EQ(0, StoreCommitPrinterSettings(nullptr));
}

// The document commit brings the public fields and paper items in step, delivers and saves
// the document's stored items in the settings INI.
TEST_F(DeliverTest, DocumentCommitSyncsDeliversAndSaves)
{
  PrepareWorking(1);
  ItemSetRaw(ctx_, ITEM_kdmPrnMethod, 3);
  ItemSetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, 0);
  GiveSheet(DM_COPY | DM_UPDATE, false);
  ASSERT_EQ(1, StoreCommitDocumentSettings(ctx_));
  EXPECT_NE(0, ItemGetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, nullptr));
  EXPECT_TRUE(Collates(out_.data()));
  EXPECT_EQ(1, CollateValue(out_.data()));
  EXPECT_EQ("", Text(ITEM_kdmUserCode));
  WCHAR value[16] = {};
  IniGetString(CtxGetPrinterName(ctx_), u"PrnMethod", u"", value, 16, CtxGetSettingsIniPath(ctx_));
  EXPECT_EQ("3", NarrowW(value));
}

// The printer commit saves the printer's configuration; its mode decides whether the
// device-information text is rebuilt first (modes 1, 3 and 4), which the save then stores.
TEST_F(DeliverTest, PrinterCommitModes)
{
  auto other = [&]() {
    char buf[64] = {};
    DWORD needed = 0, type = 0;
    DWORD rc = GetPrinterDataW(printer_, const_cast<LPWSTR>(u"Other"), &type, reinterpret_cast<BYTE *>(buf),
                               sizeof(buf), &needed);
    return rc == ERROR_SUCCESS ? std::string(buf) : std::string("<none>");
  };
  auto duplex = [&]() {
    DWORD value = 7, needed = 0, type = 0;
    GetPrinterDataW(printer_, const_cast<LPWSTR>(u"Duplex"), &type, reinterpret_cast<BYTE *>(&value), sizeof(value),
                    &needed);
    return value;
  };
  // The text is empty in the settings and in the baseline the context opened with.
  ASSERT_NE(nullptr, ctx_->state->baseline);
  ItemWriteText(ctx_, ItemFindById(ctx_, ITEM_kdmOther), u"");
  ItemWriteBaselineRaw(ctx_, ItemFindById(ctx_, ITEM_kdmOther), 0);
  LONG was = ItemGetRaw(ctx_, ITEM_kdmSourceOptionTypeDuplex, nullptr);
  ItemSetRaw(ctx_, ITEM_kdmSourceOptionTypeDuplex, !was);
  ASSERT_EQ(1, StoreCommitPrinterSettingsMode(ctx_, 0));
  EXPECT_EQ((DWORD)!was, duplex());
  EXPECT_EQ("<none>", other());
  EXPECT_EQ("", Text(ITEM_kdmOther));

  ASSERT_EQ(1, StoreCommitPrinterSettings(ctx_));
  std::string text = Text(ITEM_kdmOther);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text, other());
}

// The job fields are emptied locally by mask; the authentication fields stay while the
// authentication feature is off, and the fields that are only ever sent have nothing to
// empty.
TEST_F(DeliverTest, JobFieldsAreEmptiedByMask)
{
  struct Field {
    WORD id;
    DWORD bit;
    bool emptied;  // by the full mask
  } fields[] = {
      {ITEM_kdmUserCode, 0x1, true},
      {ITEM_kdmOwnerName, 0x2, true},
      {ITEM_kdmJOBPassword, 0x4, true},
      {ITEM_kdmUserID, 0x8, true},
      {ITEM_kdmDocumentName, 0x10, true},
      {ITEM_kdmTelNo, 0x20, true},
      {ITEM_kdmStoredPassword, 0x80, true},
      {ITEM_wdmAuthenticationUserName, 0x800, false},
      {ITEM_wdmAuthenticationPassword, 0x1000, false},
  };
  for (DWORD mask : {0x389Fu, 0x3FFFu, 0x1u, 0u}) {
    SCOPED_TRACE(mask);
    for (const Field &f : fields) ItemWriteText(ctx_, ItemFindById(ctx_, f.id), u"abc");
    ItemSetRaw(ctx_, ITEM_kdmTelLine, 3);
    LONG language = ItemGetRaw(ctx_, ITEM_kdmLanguageID, nullptr);
    std::string version = Text(ITEM_wdmDriverVersion);
    EXPECT_EQ(0, JobCtlClearItems(ctx_, mask));
    for (const Field &f : fields) EXPECT_EQ(f.emptied && (mask & f.bit) ? "" : "abc", Text(f.id)) << f.id;
    EXPECT_EQ((mask & 0x40) ? 0 : 3, ItemGetRaw(ctx_, ITEM_kdmTelLine, nullptr));
    EXPECT_EQ(language, ItemGetRaw(ctx_, ITEM_kdmLanguageID, nullptr));
    EXPECT_EQ(version, Text(ITEM_wdmDriverVersion));
  }
  EXPECT_EQ(0, JobCtlClearItems(nullptr, 0x389F));
}

}  // namespace

namespace {

// A copy for the caller carries an empty request block and the capability block published
// at delivery; an update alone leaves both blocks as they were.
TEST_F(DeliverTest, CopyPublishesTheCapabilityBlock)
{
  for (DWORD mode : {DWORD(DM_COPY), DWORD(DM_UPDATE)}) {
    SCOPED_TRACE(mode);
    PrepareWorking(1);
    memset(ctx_->work + KV_DM_REQUEST_BLOCK, 0x5A, 2 * KV_DM_EXCHANGE_BLOCK_SIZE);
    GiveSheet(mode, false);
    ASSERT_EQ(1, DmDeliverToCaller(ctx_));
    const BYTE *working = CtxGetDevmode(ctx_);
    std::vector<BYTE> sentinel(KV_DM_EXCHANGE_BLOCK_SIZE, 0x5A), empty(KV_DM_EXCHANGE_BLOCK_SIZE, 0);
    std::vector<BYTE> request(working + KV_DM_REQUEST_BLOCK, working + KV_DM_REQUEST_BLOCK + KV_DM_EXCHANGE_BLOCK_SIZE);
    std::vector<BYTE> caps(working + KV_DM_CAPS_BLOCK, working + KV_DM_CAPS_BLOCK + KV_DM_EXCHANGE_BLOCK_SIZE);
    if (mode == DM_COPY) {
      EXPECT_EQ(empty, request);
      EXPECT_NE(sentinel, caps);
      EXPECT_EQ(0, memcmp(out_.data() + KV_DM_CAPS_BLOCK, caps.data(), caps.size()));  // the caller's copy has it
    } else {
      EXPECT_EQ(sentinel, request);
      EXPECT_EQ(sentinel, caps);
    }
  }
}

}  // namespace
