// Every row of the check table against the sample printer's description: for each item 35-600
// a legal and an illegal stored value are planted and the table is run in the keeping mode
// and in the reset mode. An item the description checks keeps a legal value in every mode
// and takes its description default for an illegal one; an item it does not check follows
// its row's rule; an item without rule keeps whatever it holds.
#include <string.h>

#include <vector>

#include "compiled_fixture.h"
#include "checks/item_check.h"
#include "tables/item_ids.h"

namespace {

ITEM_CHECK_HANDLER HandlerOf(WORD id) { return ItemFindCheckRow(id)->handler; }

// What the table must do with one item.
struct Expectation {
  std::vector<LONG> legal;    // kept in mode 2 (and in every mode for a described item)
  std::vector<LONG> illegal;  // replaced in every mode
  LONG reset = 0;             // the replacement
  bool keepsAll = false;      // nothing is ever replaced
  bool resetsAll = false;     // the replacement is written in every mode, whatever the value
};

class SampleCheckTest : public CompiledRulesTest {
 protected:
  void SetUp() override
  {
    CompiledRulesTest::SetUp();
    ASSERT_NE(CompileFile(KV_SAMPLE_DIR, "KVSAMPLE.KVD"), nullptr);
    ItemSetRaw(ctx_, ITEM_dmOrientation, 1);
    ItemSetRaw(ctx_, ITEM_dmPrintQuality, 600);
    ItemRunCheckTable(ctx_, KV_CHECK_MODE_RESET);
    base_.assign(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE);
  }
  void Restore() { memcpy(ctx_->work, base_.data(), base_.size()); }
  // Whether the field of the item holds v as written.
  bool Holds(OPTION_ITEM *row, LONG v)
  {
    Restore();
    ItemWriteRaw(ctx_, row, v);
    return ItemReadRaw(ctx_, row) == v;
  }
  bool Described(WORD id)
  {
    const OPTION_ITEM *row = ItemFindById(ctx_, id);
    return row != nullptr && row->symbolKey != 0 && DescFindItemNode(id, ctx_) != nullptr &&
           DescGetItemTypeRaw(id, ctx_) != DESC_TYPE_UNKNOWN;
  }

  // A described item: its default is legal (unless the rules hide it in these settings),
  // the first of a few candidates the node refuses is illegal.
  Expectation FromNode(OPTION_ITEM *row)
  {
    Expectation e;
    WORD id = row->id;
    Restore();
    e.reset = ItemValueIdToStored(ctx_, row, static_cast<LONG>(DescGetItemDefault(id, ctx_)));
    if (KvItemIsBit(row)) e.reset = e.reset != 0;
    if (ItemCheckValueByNode(id, static_cast<DWORD>(e.reset), ctx_) == 1) e.legal.push_back(e.reset);
    for (LONG v : {0x7FFF, 127, -100, 250, 99, 1000, 9, 2, 1, 0, -1}) {
      if (Holds(row, v) && ItemCheckValueByNode(id, static_cast<DWORD>(v), ctx_) == 0) {
        e.illegal.push_back(v);
        break;
      }
    }
    // The preset number keeps any preset or "none", and turns other bytes into preset 0.
    if (id == ITEM_kdmPresetNo) {
      e.illegal = {-2};
      e.reset = 0;
    }
    return e;
  }

  // An item the description leaves to its row's rule.
  Expectation FromRule(OPTION_ITEM *row, const ITEM_CHECK_ROW &r)
  {
    Expectation e;
    WORD id = row->id;
    LONG param = static_cast<LONG>(r.param);
    e.reset = param;
    auto range = [&](LONG lo, LONG hi) {
      e.legal = {lo, hi};
      e.illegal = {lo - 1, hi + 1};
    };
    if (r.handler == nullptr || r.handler == HandlerOf(ITEM_kdmLocaleID) || r.handler == HandlerOf(ITEM_kdmWmID)) {
      e.keepsAll = true;
      e.legal = {KvItemIsBit(row) ? 1 : 5};
    } else if (r.handler == HandlerOf(ITEM_kdmSkipCount) || r.handler == HandlerOf(ITEM_kdmFuncSelectPoster)) {
      e.resetsAll = true;
      if (KvItemIsBit(row)) e.reset = param != 0;
      if (id == ITEM_kdmKVMLVer) e.reset = static_cast<LONG>(ctx_->model->constants5[0]);
      e.illegal = {KvItemIsBit(row) ? !e.reset : e.reset + 1};
    } else if (r.handler == HandlerOf(ITEM_kdmUIModeChange)) {
      const VALUE_LIST_ROW *list = ItemFindValueList(id);
      e.legal = {list->values[0], list->values[list->count - 1]};
      for (LONG v : {99, 127, 250, 12345, -7, 3})
        if (Holds(row, v) && !ItemIsListedValue(id, v)) {
          e.illegal = {v};
          break;
        }
    } else if (r.handler == HandlerOf(ITEM_kdmFuncSelectScale)) {
      e.legal = {0, 1};  // the scale and N-up switches: kept on or off in mode 2
    } else if (r.handler == HandlerOf(ITEM_kdmColorMatchingMode)) {
      e.legal = {1, 4, 200, 215};
      e.illegal = {199, 216};
    } else if (r.handler == HandlerOf(ITEM_kdmScaleH)) {
      range(20, 400);
    } else if (r.handler == HandlerOf(ITEM_kdmHFFontPoint)) {
      range(6, 100);
    } else if (r.handler == HandlerOf(ITEM_kdmBrightness)) {
      range(-50, 50);
    } else if (r.handler == HandlerOf(ITEM_kdmGammaC)) {
      range(1, 9);
    } else if (r.handler == HandlerOf(ITEM_kdmSeparationSheetCycle)) {
      range(1, 99);
    } else if (r.handler == HandlerOf(ITEM_kdmMarginOdd)) {
      LONG limit = static_cast<LONG>(
          DmUnitsToDots(1, 500, static_cast<DWORD>(ItemGetRaw(ctx_, ITEM_kdmDstResolutionW, nullptr))));
      e.legal = {0, limit};
      e.illegal = {limit + 1};
    } else if (r.handler == HandlerOf(ITEM_kdmPresetNo)) {
      e.legal = {-1, 15};
      e.illegal = {-2};
    } else if (r.handler == HandlerOf(ITEM_kdmOutPaperSize)) {
      e.legal = {1024, 9};
      e.illegal = {2000};
    } else if (r.handler == HandlerOf(ITEM_kdmMPInputTray)) {
      e.legal = {7, 286};
      e.illegal = {300};
    } else if (r.handler == HandlerOf(ITEM_kdmDstResolutionW)) {
      e.legal = {1200};
      e.illegal = {700};
      e.reset = 600;  // the DEVMODE's print quality
    } else if (r.handler == HandlerOf(ITEM_kdmMachineID)) {
      e.legal = {CtxGetTemplate()->model->machineId};
      e.illegal = {0x11};
      e.reset = ctx_->model->machineId;
    } else if (r.handler == HandlerOf(ITEM_kdmDriverType)) {
      e.legal = {CtxGetTemplate()->model->driverType};
      e.illegal = {CtxGetTemplate()->model->driverType == 0 ? 1 : 0};
      e.reset = ctx_->model->driverType;
    } else if (r.handler == HandlerOf(ITEM_kdmLanguageID)) {
      e.legal = {18};
      e.illegal = {19};
      e.reset = ctx_->model->itemDefaults[id == ITEM_kdmLanguageID ? 0 : 1];
    } else if (r.handler == HandlerOf(ITEM_kdmDspUnit)) {
      e.legal = {0, 1};
      e.illegal = {2};
      e.reset = ctx_->model->itemDefaults[id == ITEM_kdmDspUnit ? 2 : 4];
    } else {
      ADD_FAILURE() << "no expectation for the rule of item " << id;
    }
    return e;
  }

  LONG After(OPTION_ITEM *row, LONG value, DWORD mode)
  {
    Restore();
    ItemWriteRaw(ctx_, row, value);
    ItemRunCheckTable(ctx_, mode);
    return ItemReadRaw(ctx_, row);
  }

  std::vector<BYTE> base_;
};

TEST_F(SampleCheckTest, EveryRowWithALegalAndAnIllegalValue)
{
  int described = 0, ruled = 0, kept = 0;
  for (int i = 0; i < KV_CHECK_ROW_COUNT; ++i) {
    const ITEM_CHECK_ROW &r = ItemGetCheckTable()[i];
    WORD id = static_cast<WORD>(r.itemId);
    OPTION_ITEM *row = ItemFindById(ctx_, id);
    ASSERT_NE(row, nullptr) << id;
    if (ItemGetAddress(ctx_, row) == nullptr) continue;
    if (KvItemValueType(row) > KV_VT_U32 && !KvItemIsBit(row)) continue;  // texts: see KeptRows
    SCOPED_TRACE(testing::Message() << "item " << id << " " << (row->name ? NarrowW(row->name) : ""));
    Expectation e;
    if (Described(id)) {
      e = FromNode(row);
      ++described;
      ASSERT_FALSE(e.legal.empty() && e.illegal.empty());
      for (LONG v : e.legal)
        for (DWORD mode : {KV_CHECK_MODE_KEEP_LEGAL, KV_CHECK_MODE_RESET})
          EXPECT_EQ(After(row, v, mode), v) << "legal " << v << " mode " << mode;
      for (LONG v : e.illegal)
        for (DWORD mode : {KV_CHECK_MODE_KEEP_LEGAL, KV_CHECK_MODE_RESET})
          EXPECT_EQ(After(row, v, mode), e.reset) << "illegal " << v << " mode " << mode;
      continue;
    }
    e = FromRule(row, r);
    if (e.keepsAll) {
      ++kept;
      for (LONG v : e.legal)
        for (DWORD mode : {KV_CHECK_MODE_KEEP_LEGAL, KV_CHECK_MODE_RESET})
          EXPECT_EQ(After(row, v, mode), v) << "kept " << v << " mode " << mode;
      continue;
    }
    ++ruled;
    ASSERT_TRUE(!e.illegal.empty() || KvItemIsBit(row)) << "no illegal value";  // a bit may have none
    for (LONG v : e.legal) {
      EXPECT_EQ(After(row, v, KV_CHECK_MODE_KEEP_LEGAL), e.resetsAll ? e.reset : v) << "legal " << v;
      EXPECT_EQ(After(row, v, KV_CHECK_MODE_RESET), e.reset) << "legal " << v << " reset mode";
    }
    for (LONG v : e.illegal)
      for (DWORD mode : {static_cast<DWORD>(KV_CHECK_MODE_KEEP_LEGAL), static_cast<DWORD>(KV_CHECK_MODE_RESET),
                         static_cast<DWORD>(0)})
        EXPECT_EQ(After(row, v, mode), e.reset) << "illegal " << v << " mode " << mode;
  }
  // The sample describes a good part of the private items and leaves the rest to the rules.
  EXPECT_GT(described, 10);
  EXPECT_GT(ruled, 50);
  EXPECT_GT(kept, 300);
}

// After a reset run every value is legal: a keeping run changes nothing.
TEST_F(SampleCheckTest, ResetSettingsPassTheKeepingCheck)
{
  ItemRunCheckTable(ctx_, KV_CHECK_MODE_KEEP_LEGAL);
  for (int i = 0; i < KV_CHECK_ROW_COUNT; ++i) {
    WORD id = static_cast<WORD>(ItemGetCheckTable()[i].itemId);
    OPTION_ITEM *row = ItemFindById(ctx_, id);
    BYTE *now = ItemGetAddress(ctx_, row);
    if (now == nullptr) continue;
    const BYTE *before = base_.data() + (now - ctx_->work);
    EXPECT_EQ(memcmp(now, before, KvItemIsBit(row) ? 4 : KvItemSize(row)), 0) << id;
  }
}

// The public validators on the sample: its nodes decide for the items it describes.
TEST_F(SampleCheckTest, PublicValidatorsFollowTheDescription)
{
  EXPECT_EQ(DmValidatePaperSize(9, ctx_), 1);      // A4
  EXPECT_EQ(DmValidatePaperSize(12345, ctx_), 0);  // no such paper
  EXPECT_EQ(DmValidateOrientation(1, ctx_), 1);
  EXPECT_EQ(DmValidateOrientation(3, ctx_), 0);
  EXPECT_EQ(DmValidateColor(2, ctx_), 1);
  EXPECT_EQ(DmValidateDefaultSource(7, ctx_), 1);
  EXPECT_EQ(DmValidateDefaultSource(-5, ctx_), 0);
}

}  // namespace
