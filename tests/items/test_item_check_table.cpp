// The item check table as data (one row per item 35-600, the handler rows and their
// parameters) and each handler row at work: a legal and an illegal value in the keeping mode
// and in the reset mode, on a description without nodes, where every handler runs.
#include <string.h>

#include <vector>

#include "checks/item_check.h"
#include "rules_fixture.h"
#include "tables/item_ids.h"

namespace {

const ITEM_CHECK_ROW *Row(WORD id) { return ItemFindCheckRow(id); }
ITEM_CHECK_HANDLER HandlerOf(WORD id) { return Row(id) != nullptr ? Row(id)->handler : nullptr; }

TEST(ItemCheckTableData, OneRowPerItemInOrder)
{
  const ITEM_CHECK_ROW *t = ItemGetCheckTable();
  ASSERT_NE(t, nullptr);
  int handlers = 0;
  for (int i = 0; i < KV_CHECK_ROW_COUNT; ++i) {
    EXPECT_EQ(t[i].itemId, static_cast<DWORD>(35 + i)) << i;
    if (t[i].handler != nullptr)
      ++handlers;
    else
      EXPECT_EQ(t[i].param, 0u) << t[i].itemId;
  }
  EXPECT_EQ(KV_CHECK_ROW_COUNT, 566);
  EXPECT_EQ(handlers, 149);
  EXPECT_EQ(ItemFindCheckRow(34), nullptr);
  EXPECT_EQ(ItemFindCheckRow(601), nullptr);
  EXPECT_EQ(ItemFindCheckRow(35), &t[0]);
  EXPECT_EQ(ItemFindCheckRow(600), &t[565]);
}

// Rows that share a rule share a handler; the parameters are values the items can hold.
TEST(ItemCheckTableData, HandlerKindsAndParameters)
{
  // One representative per kind, and rows that must have the same handler.
  struct Same {
    WORD representative;
    std::vector<WORD> rows;
  } same[] = {
      {ITEM_kdmBrightness, {139, 140, 141, 142, 143}},
      {ITEM_kdmGammaC, {400, 401, 402}},
      {ITEM_kdmScaleH, {90}},
      {ITEM_kdmMarginOdd, {99}},
      {ITEM_kdmMPInputTray, {125, 127}},
      {ITEM_kdmDstResolutionW, {39}},
      {ITEM_kdmLanguageID, {170}},
      {ITEM_kdmDspUnit, {173}},
      {ITEM_kdmLocaleID, {202, 207, 231}},
      {ITEM_kdmSkipCount, {446, 512, 513, 514, 520, 522, 523, 526, 527, 528, 529, 530, 531, 562, 563, 600}},
      {ITEM_kdmFuncSelectPoster, {58, 61, 69, 100, 107, 144, 147, 183, 184, 211, 217, 233}},
      {ITEM_kdmFuncSelectScale, {56}},
      {ITEM_kdmUIModeChange, {53, 54, 87, 92, 137, 179, 201, 209, 398, 407}},
  };
  for (const Same &s : same) {
    ASSERT_NE(HandlerOf(s.representative), nullptr) << s.representative;
    for (WORD id : s.rows) EXPECT_EQ(HandlerOf(id), HandlerOf(s.representative)) << id << " vs " << s.representative;
  }
  // Kinds that differ stay apart.
  EXPECT_NE(HandlerOf(ITEM_kdmBrightness), HandlerOf(ITEM_kdmGammaC));
  EXPECT_NE(HandlerOf(ITEM_kdmSkipCount), HandlerOf(ITEM_kdmFuncSelectPoster));
  EXPECT_NE(HandlerOf(ITEM_kdmFuncSelectScale), HandlerOf(ITEM_kdmFuncSelectPoster));
  EXPECT_NE(HandlerOf(ITEM_kdmColorMatchingMode), HandlerOf(ITEM_kdmUIModeChange));
  EXPECT_NE(HandlerOf(ITEM_kdmScaleH), HandlerOf(ITEM_kdmHFFontPoint));
  EXPECT_NE(HandlerOf(ITEM_kdmWmID), nullptr);  // "no check" is a handler that keeps everything
  EXPECT_EQ(HandlerOf(ITEM_kdmHFFontName), nullptr);

  const ITEM_CHECK_HANDLER listed = HandlerOf(ITEM_kdmUIModeChange);
  DRIVER_CONTEXT *tmpl = CtxGetTemplate();
  for (int i = 0; i < KV_CHECK_ROW_COUNT; ++i) {
    const ITEM_CHECK_ROW &r = ItemGetCheckTable()[i];
    if (r.handler == nullptr) continue;
    const OPTION_ITEM *item = ItemFindById(tmpl, static_cast<WORD>(r.itemId));
    ASSERT_NE(item, nullptr) << r.itemId;
    DWORD vt = KvItemValueType(item);
    if (r.handler == HandlerOf(ITEM_kdmLocaleID)) {
      EXPECT_TRUE(vt == KV_VT_ANSI || vt <= KV_VT_U32) << r.itemId;  // the locale and the texts kept as they are
      continue;
    }
    EXPECT_TRUE(vt <= KV_VT_U32 || KvItemIsBit(item)) << r.itemId << " is not a number or bit item";
    // An allowed-list row resets to one of the item's own listed values.
    if (r.handler == listed || r.itemId == ITEM_kdmColorMatchingMode) {
      EXPECT_TRUE(ItemIsListedValue(static_cast<WORD>(r.itemId), (LONG)r.param)) << r.itemId;
    }
  }
}

// A description without item nodes: every item of the table goes to its handler.
class CheckHandlersTest : public RulesTest {
 protected:
  void SetUp() override
  {
    RulesTest::SetUp();
    ItemSetRaw(ctx_, ITEM_dmPrintQuality, 300);
    ItemRunCheckTable(ctx_, KV_CHECK_MODE_RESET);  // every handler item at its reset value
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 600);
    base_.assign(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE);
  }
  void Restore() { memcpy(ctx_->work, base_.data(), base_.size()); }
  // The stored value of item id after planting value and running the table in mode.
  LONG After(WORD id, LONG value, DWORD mode)
  {
    Restore();
    ItemSetRaw(ctx_, id, value);
    EXPECT_EQ(ItemGetRaw(ctx_, id, nullptr), value) << id << " cannot hold " << value;
    ItemRunCheckTable(ctx_, mode);
    return ItemGetRaw(ctx_, id, nullptr);
  }
  // Expects: each legal value stays in mode 2 and takes reset in mode 1; each illegal value
  // takes reset in both.
  void Expect(WORD id, std::vector<LONG> legal, std::vector<LONG> illegal, LONG reset)
  {
    for (LONG v : legal) {
      EXPECT_EQ(After(id, v, KV_CHECK_MODE_KEEP_LEGAL), v) << "item " << id << " legal " << v;
      EXPECT_EQ(After(id, v, KV_CHECK_MODE_RESET), reset) << "item " << id << " legal " << v << " reset mode";
      EXPECT_EQ(After(id, v, 7), reset) << "item " << id << " legal " << v << " mode 7";
    }
    for (LONG v : illegal) {
      EXPECT_EQ(After(id, v, KV_CHECK_MODE_KEEP_LEGAL), reset) << "item " << id << " illegal " << v;
      EXPECT_EQ(After(id, v, KV_CHECK_MODE_RESET), reset) << "item " << id << " illegal " << v << " reset mode";
    }
  }
  // Values the item's field can hold that its list does not name: one, or none for a bit
  // item whose list names both of its values.
  std::vector<LONG> Unlisted(WORD id)
  {
    const OPTION_ITEM *item = ItemFindById(ctx_, id);
    for (LONG v : {99, 127, 250, 12345, 0x7FFF, -7, 3, 2, 0, 1}) {
      Restore();
      ItemSetRaw(ctx_, id, v);
      if (ItemReadRaw(ctx_, item) == v && !ItemIsListedValue(id, v)) return {v};
    }
    EXPECT_TRUE(KvItemIsBit(item)) << "no unlisted value for " << id;
    return {};
  }

  std::vector<BYTE> base_;
};

TEST_F(CheckHandlersTest, AllowedListRows)
{
  const ITEM_CHECK_HANDLER listed = HandlerOf(ITEM_kdmUIModeChange);
  int rows = 0;
  for (int i = 0; i < KV_CHECK_ROW_COUNT; ++i) {
    const ITEM_CHECK_ROW &r = ItemGetCheckTable()[i];
    if (r.handler != listed) continue;
    ++rows;
    WORD id = static_cast<WORD>(r.itemId);
    std::vector<LONG> legal;
    const VALUE_LIST_ROW *list = ItemFindValueList(id);
    ASSERT_NE(list, nullptr) << id;
    legal.push_back(list->values[list->count - 1]);  // another listed value than the reset one
    Expect(id, legal, Unlisted(id), static_cast<LONG>(r.param));
  }
  EXPECT_EQ(rows, 55);
}

// The colour-matching mode keeps its listed modes and the stored colour-matching sets
// 200-215 as well, which its description node accepts at once.
TEST_F(CheckHandlersTest, ColorMatchingModeKeepsTheStoredSets)
{
  Expect(ITEM_kdmColorMatchingMode, {1, 4, 200, 205, 215}, {0, 5, 199, 216, 255}, 1);
}

TEST_F(CheckHandlersTest, RangeRows)
{
  struct Case {
    WORD id;
    std::vector<LONG> legal, illegal;
    LONG reset;
  } cases[] = {
      {ITEM_kdmScaleH, {20, 400}, {19, 401, 0}, 100},
      {ITEM_kdmScaleV, {20, 400}, {19, 401}, 100},
      {ITEM_kdmHFFontPoint, {6, 100}, {5, 101}, 10},
      {ITEM_kdmBrightness, {-50, 0, 50}, {-51, 51}, 0},
      {ITEM_kdmColorBalanceB, {-50, 50}, {-51, 51}, 0},
      {ITEM_kdmGammaC, {1, 9}, {0, 10, -1}, 5},
      {ITEM_kdmGammaK, {1, 9}, {0, 10}, 5},
      {ITEM_kdmSeparationSheetCycle, {1, 99}, {0, 100}, 1},
  };
  for (const Case &c : cases) Expect(c.id, c.legal, c.illegal, c.reset);
  // The scale limits are unsigned: a negative width is far above 400.
  const OPTION_ITEM *scale = ItemFindById(ctx_, ITEM_kdmScaleH);
  if (KvItemValueType(scale) == KV_VT_S16 || KvItemValueType(scale) == KV_VT_S32) {
    EXPECT_EQ(After(ITEM_kdmScaleH, -100, KV_CHECK_MODE_KEEP_LEGAL), 100);
  }
}

// The binding margins are at most 50.0 mm at the device's x resolution (item 38).
TEST_F(CheckHandlersTest, MarginRowsFollowTheResolution)
{
  for (LONG dpi : {600, 1200}) {
    Restore();
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, dpi);
    base_.assign(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE);
    LONG limit = static_cast<LONG>(DmUnitsToDots(1, 500, static_cast<DWORD>(dpi)));
    EXPECT_GT(limit, dpi);  // about two inches
    Expect(ITEM_kdmMarginOdd, {0, limit}, {limit + 1}, 0);
    Expect(ITEM_kdmMarginEven, {limit}, {limit + 1}, 0);
  }
}

TEST_F(CheckHandlersTest, CodeRows)
{
  struct Case {
    WORD id;
    std::vector<LONG> legal, illegal;
    LONG reset;
  } cases[] = {
      // Presets 0-15 and -1 (none) are read sign-extended from a signed byte.
      {ITEM_kdmPresetNo, {-1, 0, 15, 127}, {-2, -128}, 0},
      {ITEM_kdmOutPaperSize, {1024, 9, 118}, {2000, 0, 1025}, 1024},
      {ITEM_kdmMPInputTray, {7, 1, 15, 256, 286}, {300, 0, 16}, 7},
      {ITEM_kdmCoverInputTray, {11}, {999}, 7},
      {ITEM_kdmBackCoverInputTray, {4}, {-1}, 7},
      {ITEM_kdmMachineID, {CtxGetTemplate()->model->machineId}, {0x11, 0}, CtxGetTemplate()->model->machineId},
      // The driver type is the build's, as the private header test demands.
      {ITEM_kdmDriverType, {CtxGetTemplate()->model->driverType}, {0, 2}, CtxGetTemplate()->model->driverType},
      {ITEM_kdmLanguageID, {18}, {19}, ctx_->model->itemDefaults[0]},
      {ITEM_kdmDspLanguageID, {18}, {19}, ctx_->model->itemDefaults[1]},
      {ITEM_kdmDspUnit, {0, 1}, {2}, ctx_->model->itemDefaults[2]},
      {ITEM_kdmExtPrintArea, {0, 1}, {2}, ctx_->model->itemDefaults[4]},
  };
  for (const Case &c : cases) Expect(c.id, c.legal, c.illegal, c.reset);
}

// A resolution that is not listed takes the DEVMODE's print quality when that is valid,
// else the model's default resolution of its axis; either only when the item lists it, so
// that the replacement is always a resolution of the item's list (the row's parameter,
// 600, when neither is).
TEST_F(CheckHandlersTest, ResolutionRows)
{
  Expect(ITEM_kdmDstResolutionW, {600, 1200}, {700, 0}, 300);
  Expect(ITEM_kdmDstResolutionH, {300}, {150}, 300);
  MODEL_RECORD *model = ctx_->model;
  ASSERT_NE(model, nullptr);
  MODEL_RECORD other = *model;
  ctx_->model = &other;
  struct Case {
    LONG quality;  // 150 and 2400 are valid print qualities, but no device resolution
    LONG modelX, modelY;
    LONG x, y;
  } cases[] = {
      {300, 1200, 400, 300, 300},  {1200, 300, 300, 1200, 1200}, {333, 1200, 400, 1200, 400},
      {150, 1200, 400, 1200, 400}, {2400, 300, 1200, 300, 1200}, {150, 150, 2400, 600, 600},
      {-4, 400, 400, 400, 400},    {333, 0, 700, 600, 600},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "quality " << c.quality << ", model " << c.modelX << " x " << c.modelY);
    other.defaultResX = static_cast<decltype(other.defaultResX)>(c.modelX);
    other.defaultResY = static_cast<decltype(other.defaultResY)>(c.modelY);
    Restore();
    ItemSetRaw(ctx_, ITEM_dmPrintQuality, c.quality);
    base_.assign(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE);
    for (DWORD mode : {KV_CHECK_MODE_KEEP_LEGAL, KV_CHECK_MODE_RESET}) {
      EXPECT_EQ(After(ITEM_kdmDstResolutionW, 700, mode), c.x) << "mode " << mode;
      EXPECT_EQ(After(ITEM_kdmDstResolutionH, 700, mode), c.y) << "mode " << mode;
    }
  }
  ctx_->model = model;
}

// Rows that write their parameter in every mode, whatever the value; switches are bits.
TEST_F(CheckHandlersTest, AlwaysDefaultRows)
{
  const ITEM_CHECK_HANDLER always = HandlerOf(ITEM_kdmSkipCount);
  const ITEM_CHECK_HANDLER switches = HandlerOf(ITEM_kdmFuncSelectPoster);
  int rows = 0;
  for (int i = 0; i < KV_CHECK_ROW_COUNT; ++i) {
    const ITEM_CHECK_ROW &r = ItemGetCheckTable()[i];
    if (r.handler != always && r.handler != switches) continue;
    ++rows;
    WORD id = static_cast<WORD>(r.itemId);
    const OPTION_ITEM *item = ItemFindById(ctx_, id);
    LONG reset = static_cast<LONG>(r.param);
    if (KvItemIsBit(item)) reset = reset != 0;
    if (id == ITEM_kdmKVMLVer) reset = static_cast<LONG>(ctx_->model->constants5[0]);
    LONG other = KvItemIsBit(item) ? !reset : reset + 1;
    for (DWORD mode : {KV_CHECK_MODE_KEEP_LEGAL, KV_CHECK_MODE_RESET})
      EXPECT_EQ(After(id, other, mode), reset) << "item " << id << " mode " << mode;
  }
  EXPECT_EQ(rows, 22 + 35);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmKVMLVer, nullptr), 16);
}

// The scale and N-up switches are the driver's own: the keeping mode leaves them on or off
// with their type and percentage items, the other modes turn them off.
TEST_F(CheckHandlersTest, ScaleAndNupSwitchesStayInTheKeepingMode)
{
  for (WORD id : {ITEM_kdmFuncSelectScale, ITEM_kdmFuncSelectNup}) Expect(id, {0, 1}, {}, 0);
  Restore();
  ItemSetRaw(ctx_, ITEM_kdmFuncSelectScale, 1);
  ItemSetRaw(ctx_, ITEM_kdmScaleType, 1);
  ItemSetRaw(ctx_, ITEM_kdmScaleH, 150);
  ItemSetRaw(ctx_, ITEM_kdmFuncSelectNup, 1);
  ItemSetRaw(ctx_, ITEM_kdmNUPPOSTKind, 2);
  ItemSetRaw(ctx_, ITEM_kdmNUPType, 33);
  ItemRunCheckTable(ctx_, KV_CHECK_MODE_KEEP_LEGAL);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmFuncSelectScale, nullptr), 1);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmScaleH, nullptr), 150);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmFuncSelectNup, nullptr), 1);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmNUPType, nullptr), 33);
}

// The user and job texts and the telephone number are kept as they are; the stamp id has a
// row that checks nothing.
TEST_F(CheckHandlersTest, KeptRows)
{
  for (WORD id : {ITEM_kdmLocaleID, ITEM_kdmUserID, ITEM_kdmJOBPassword, ITEM_kdmTelNo}) {
    OPTION_ITEM *item = ItemFindById(ctx_, id);
    ASSERT_NE(item, nullptr);
    DWORD vt = KvItemValueType(item);
    for (DWORD mode : {KV_CHECK_MODE_KEEP_LEGAL, KV_CHECK_MODE_RESET}) {
      Restore();
      if (vt == KV_VT_ANSI) {
        ItemWriteText(ctx_, item, u"12345678");
      } else {
        ItemWriteRaw(ctx_, item, 12345);
      }
      std::vector<BYTE> before(ItemGetAddress(ctx_, item), ItemGetAddress(ctx_, item) + KvItemSize(item));
      ItemRunCheckTable(ctx_, mode);
      EXPECT_EQ(memcmp(ItemGetAddress(ctx_, item), before.data(), before.size()), 0) << id << " mode " << mode;
    }
  }
  for (DWORD mode : {KV_CHECK_MODE_KEEP_LEGAL, KV_CHECK_MODE_RESET}) EXPECT_EQ(After(ITEM_kdmWmID, 77, mode), 77);
}

// Items without handler are left as they are in every mode, whatever they hold.
TEST_F(CheckHandlersTest, RowsWithoutHandlerKeepTheirValues)
{
  int checked = 0;
  for (int i = 0; i < KV_CHECK_ROW_COUNT; ++i) {
    const ITEM_CHECK_ROW &r = ItemGetCheckTable()[i];
    const OPTION_ITEM *item = ItemFindById(ctx_, static_cast<WORD>(r.itemId));
    if (r.handler != nullptr || item == nullptr || ItemGetAddress(ctx_, item) == nullptr) continue;
    if (KvItemValueType(item) > KV_VT_U32 && !KvItemIsBit(item)) continue;
    LONG v = KvItemIsBit(item) ? 1 : 77;
    EXPECT_EQ(After(static_cast<WORD>(r.itemId), v, KV_CHECK_MODE_RESET), v) << r.itemId;
    ++checked;
  }
  EXPECT_GT(checked, 300);
}

// The table driver needs a work buffer; a context without one is left alone.
TEST_F(CheckHandlersTest, NothingWithoutContextOrBuffer)
{
  ItemRunCheckTable(nullptr, KV_CHECK_MODE_RESET);
  BYTE *work = ctx_->work;
  ctx_->work = nullptr;
  ItemRunCheckTable(ctx_, KV_CHECK_MODE_RESET);
  ctx_->work = work;
}

}  // namespace
