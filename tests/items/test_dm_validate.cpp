// The public-field validators and their standard value sets, the paper and quality
// classifiers, the selections other items encode, and the value texts and control ranges
// read from description nodes.
#include <string>

#include "checks/item_check.h"
#include "rules_fixture.h"
#include "tables/item_ids.h"

namespace {

TEST(DmClassifiers, StandardSetsAndPaperCodes)
{
  struct Case {
    int (*fn)(LONG);
    const char *name;
    std::vector<LONG> yes, no;
  } cases[] = {
      {[](LONG v) { return DmIsStandardDefaultSource(v); }, "source", {1, 15, 256, 286}, {0, 16, 285, -1}},
      {[](LONG v) { return DmIsListedPrintQuality(v); }, "quality", {150, 600, 2400}, {0, 601, -1}},
      {[](LONG v) { return DmIsStandardDuplex(v); }, "duplex", {1, 2, 3}, {0, 4}},
      {[](LONG v) { return DmIsStandardColor(v); }, "color", {1, 2}, {0, 3}},
      {[](LONG v) { return DmIsStandardTTOption(v); }, "tt", {1, 4}, {0, 5}},
      {[](LONG v) { return DmIsStandardICMMethod(v); }, "icm method", {1, 4}, {0, 5}},
      {[](LONG v) { return DmIsStandardICMIntent(v); }, "icm intent", {1, 2, 4}, {0, 5}},
      {[](LONG v) { return DmIsStandardMediaType(v); }, "media", {1, 3, 257, 386}, {0, 4, 258}},
      {[](LONG v) { return DmIsStandardDitherType(v); }, "dither", {1, 4, 10}, {0, 5, 11}},
      {[](LONG v) { return DmIsStandardPaperSize(v); }, "paper", {1, 118, 513, 517}, {0, 119, 256, 384, 1024}},
      {[](LONG v) { return DmIsOutputSameAsOriginal(v); }, "same", {1024}, {1025, 0, 9}},
      {[](LONG v) { return DmIsUserSizePaper(v); }, "user size", {384, 393, 448, 256}, {383, 394, 449, 0}},
      {[](LONG v) { return DmIsSlotPaper(v); },
       "slot",
       {384, 385, 386, 387, 388, 389, 390, 391, 392, 393, 256, 448},
       {0, 383, 394, 9, 449, 65536 + 384, -1}},
      {[](LONG v) { return DmIsSymbolicQuality(v); }, "symbolic", {-4, -1}, {-5, 0, 600}},
  };
  for (const Case &c : cases) {
    for (LONG v : c.yes) EXPECT_EQ(c.fn(v), 1) << c.name << " " << v;
    for (LONG v : c.no) EXPECT_EQ(c.fn(v), 0) << c.name << " " << v;
  }
  EXPECT_EQ(ItemIsBoolValue(0), 1);
  EXPECT_EQ(ItemIsBoolValue(1), 1);
  EXPECT_EQ(ItemIsBoolValue(2), 0);
  EXPECT_EQ(ItemIsBoolValue(0xFFFFFFFFu), 0);
  EXPECT_EQ(ItemIsInRange(nullptr, 0), 0);
  EXPECT_EQ(ItemValueInList(nullptr, 0), 0);
}

class DmValidateTest : public RulesTest {
 protected:
  WORD Key(WORD id) { return ItemFindById(ctx_, id)->symbolKey; }
};

// Without description nodes every validator falls back to its standard set; the paper size
// has none and is always refused; every form name is accepted.
TEST_F(DmValidateTest, WithoutNodesTheStandardSetsDecide)
{
  EXPECT_EQ(DmValidateDefaultSource(7, ctx_), 1);
  EXPECT_EQ(DmValidateDefaultSource(16, ctx_), 0);
  for (SHORT paper : {1, 9, 118, 256}) EXPECT_EQ(DmValidatePaperSize(paper, ctx_), 0) << paper;
  EXPECT_EQ(DmValidatePrintQuality(600, ctx_), 1);
  EXPECT_EQ(DmValidatePrintQuality(601, ctx_), 0);
  EXPECT_EQ(DmValidateDuplex(3, ctx_), 1);
  EXPECT_EQ(DmValidateDuplex(4, ctx_), 0);
  EXPECT_EQ(DmValidateColor(2, ctx_), 1);
  EXPECT_EQ(DmValidateColor(0, ctx_), 0);
  EXPECT_EQ(DmValidateTTOption(4, ctx_), 1);
  EXPECT_EQ(DmValidateTTOption(5, ctx_), 0);
  EXPECT_EQ(DmValidateICMMethod(1, ctx_), 1);
  EXPECT_EQ(DmValidateICMMethod(0x10001, ctx_), 0);
  EXPECT_EQ(DmValidateICMIntent(2, ctx_), 1);
  EXPECT_EQ(DmValidateICMIntent(5, ctx_), 0);
  EXPECT_EQ(DmValidateMediaType(257, ctx_), 1);
  EXPECT_EQ(DmValidateMediaType(258, ctx_), 0);
  EXPECT_EQ(DmValidateDitherType(10, ctx_), 1);
  EXPECT_EQ(DmValidateDitherType(11, ctx_), 0);
  EXPECT_EQ(DmValidateOrientation(2, ctx_), 1);
  EXPECT_EQ(DmValidateOrientation(3, ctx_), 0);
  EXPECT_EQ(DmValidateFormName(u"A4", ctx_), 1);
  EXPECT_EQ(DmValidateFormName(nullptr, ctx_), 1);
}

// A described item: only the node's answer counts, also against the standard set.
TEST_F(DmValidateTest, NodesOverrideTheStandardSets)
{
  BYTE *paper = b_.AddItem(ITEM_dmPaperSize, Key(ITEM_dmPaperSize), DESC_TYPE_PICK_ONE);
  b_.AddValues(paper, {3009, 3001});  // A4, Letter
  EXPECT_EQ(DmValidatePaperSize(9, ctx_), 1);
  EXPECT_EQ(DmValidatePaperSize(1, ctx_), 1);
  EXPECT_EQ(DmValidatePaperSize(8, ctx_), 0);  // standard, but not the printer's
  BYTE *source = b_.AddItem(ITEM_dmDefaultSource, Key(ITEM_dmDefaultSource), DESC_TYPE_PICK_ONE);
  b_.AddValues(source, {4007, 4001});
  DESC_RULE_BLOCK *rules = b_.AddRuleBlock(Key(ITEM_dmDefaultSource), source);
  b_.AddValueRule(rules, 4001, b_.AddCode({L(1), E()}), nullptr);
  EXPECT_EQ(DmValidateDefaultSource(7, ctx_), 1);
  EXPECT_EQ(DmValidateDefaultSource(1, ctx_), 0);  // hidden by the rules
  EXPECT_EQ(DmValidateDefaultSource(3, ctx_), 0);
  // Orientation: a mapped value the list lacks stays legal, and nothing is reset.
  BYTE *orient = b_.AddItem(ITEM_dmOrientation, Key(ITEM_dmOrientation), DESC_TYPE_PICK_ONE);
  b_.AddValues(orient, {2042});
  ItemSetRaw(ctx_, ITEM_dmOrientation, 2);
  EXPECT_EQ(DmValidateOrientation(2, ctx_), 1);
  EXPECT_EQ(DmValidateOrientation(5, ctx_), 0);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_dmOrientation, nullptr), 2);
}

TEST_F(DmValidateTest, SelectionsOfOtherItems)
{
  // Stamp: item 118 while stamps are on.
  ItemSetRaw(ctx_, ITEM_kdmWmID, 6);
  ItemSetRaw(ctx_, ITEM_kdmFuncSelectWaterMark, 0);
  EXPECT_EQ(ItemGetWatermarkId(ctx_), -1);
  ItemSetRaw(ctx_, ITEM_kdmFuncSelectWaterMark, 1);
  EXPECT_EQ(ItemGetWatermarkId(ctx_), 6);
  // User quality: value IDs 135-150 of item 179 while item 176 is 1.
  struct Case {
    LONG use, stored, index;
  } cases[] = {{0, 34, -1}, {1, 34, 2}, {1, 32, 0}, {1, 47, 15}, {1, 48, -1}, {1, 160, -1}, {1, 0, -1}, {2, 34, -1}};
  for (const Case &c : cases) {
    ItemSetRaw(ctx_, ITEM_kdmUseUserMacro, c.use);
    ItemSetRaw(ctx_, ITEM_kdmUserPrintMacro, c.stored);
    EXPECT_EQ(ItemGetUserMacroIndex(ctx_), c.index) << c.use << " " << c.stored;
  }
  ItemSetRaw(ctx_, ITEM_kdmUseUserMacro, 1);
  ItemSetValue(ctx_, ITEM_kdmUserPrintMacro, 137);
  EXPECT_EQ(ItemGetUserMacroIndex(ctx_), 2);
  // User-size slots of the document and the output paper.
  struct Slot {
    LONG paper, slot;
  } slots[] = {{384, 0}, {393, 9}, {383, -1}, {394, -1}, {256, -1}, {9, -1}};
  for (const Slot &s : slots) {
    ItemSetRaw(ctx_, ITEM_dmPaperSize, s.paper);
    ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, s.paper);
    EXPECT_EQ(ListFreeSizeSlotOfPaper(ctx_), s.slot) << s.paper;
    EXPECT_EQ(ListFreeSizeSlotOfOutPaper(ctx_), s.slot) << s.paper;
  }
  EXPECT_EQ(ListFreeSizeSlotOfPaper(nullptr), -1);
  EXPECT_EQ(ItemGetWatermarkId(nullptr), -1);
  EXPECT_EQ(ItemGetUserMacroIndex(nullptr), -1);
}

// Value texts by node type; the language DLL of the test printer has no strings, so list
// and Boolean values show their fallbacks.
TEST_F(DmValidateTest, ValueTextFollowsTheNodeType)
{
  WCHAR buf[64];
  // Numeric: the number, or a length in display units with its decimals.
  BYTE *scale = b_.AddItem(ITEM_kdmScaleH, Key(ITEM_kdmScaleH), DESC_TYPE_NUMERIC);
  b_.SetNumeric(scale, 100, 25, 400);
  ItemSetRaw(ctx_, ITEM_kdmScaleH, 250);
  ItemFormatValueText(ctx_, Key(ITEM_kdmScaleH), buf, 64);
  EXPECT_EQ(NarrowW(buf), "250");
  OPTION_ITEM *margin = ItemFindById(ctx_, ITEM_kdmMarginOdd);
  b_.SetNumeric(b_.AddItem(ITEM_kdmMarginOdd, margin->symbolKey, DESC_TYPE_NUMERIC), 0, 0, 2400);
  margin->flags |= KV_ITEM_FLAG_DISPLAY_LENGTH;
  ItemSetRaw(ctx_, ITEM_kdmMarginOdd, 1200);  // one inch
  ItemFormatValueText(ctx_, margin->symbolKey, buf, 64);
  EXPECT_EQ(NarrowW(buf), ItemIsMetricUnit(ctx_) ? "25.4" : "1.00");
  ItemSetRaw(ctx_, ITEM_kdmDspUnit, ItemIsMetricUnit(ctx_) ? 1 : 0);
  ItemFormatValueText(ctx_, margin->symbolKey, buf, 64);
  EXPECT_EQ(NarrowW(buf), ItemIsMetricUnit(ctx_) ? "25.4" : "1.00");
  // A list value without a string names its ID; the colour modes are shown by other IDs.
  BYTE *color = b_.AddItem(ITEM_kdmColorMode, Key(ITEM_kdmColorMode), DESC_TYPE_PICK_ONE);
  b_.AddValues(color, {0, 1});
  ItemSetRaw(ctx_, ITEM_kdmColorMode, 1);
  ItemFormatValueText(ctx_, Key(ITEM_kdmColorMode), buf, 64);
  EXPECT_EQ(NarrowW(buf), "1 is not string-ID");
  ItemFormatValueText(ctx_, Key(ITEM_kdmColorMode), buf, 4);
  EXPECT_EQ(NarrowW(buf), "1 i");
  BYTE *dmColor = b_.AddItem(ITEM_dmColor, Key(ITEM_dmColor), DESC_TYPE_PICK_ONE);
  b_.AddValues(dmColor, {2018, 2019});
  ItemSetRaw(ctx_, ITEM_dmColor, 1);  // stored 1 is value 2018, shown by string 68
  ItemFormatValueText(ctx_, Key(ITEM_dmColor), buf, 64);
  EXPECT_EQ(NarrowW(buf), "68 is not string-ID");
  // Boolean: strings 370 and 371, empty without the language DLL.
  BYTE *poster = b_.AddItem(ITEM_kdmFuncSelectPoster, Key(ITEM_kdmFuncSelectPoster), DESC_TYPE_BOOLEAN);
  b_.SetBoolean(poster, 0);
  ItemFormatValueText(ctx_, Key(ITEM_kdmFuncSelectPoster), buf, 64);
  EXPECT_EQ(buf[0], 0);
  // String: the item's text.
  OPTION_ITEM *user = ItemFindById(ctx_, ITEM_kdmUserID);
  b_.SetString(b_.AddItem(ITEM_kdmUserID, user->symbolKey, DESC_TYPE_STRING), 0);
  ItemWriteText(ctx_, user, u"alice");
  ItemFormatValueText(ctx_, user->symbolKey, buf, 64);
  EXPECT_EQ(NarrowW(buf), "alice");
  ItemFormatValueText(ctx_, user->symbolKey, buf, 3);
  EXPECT_EQ(NarrowW(buf), "al");
}

// A control without a bound node takes the node of its symbol key, or of its item.
TEST_F(DmValidateTest, ControlRangeFromTheNodeOfItsKeyOrItem)
{
  OPTION_ITEM *margin = ItemFindById(ctx_, ITEM_kdmMarginOdd);
  BYTE *node = b_.AddItem(ITEM_kdmMarginOdd, margin->symbolKey, DESC_TYPE_NUMERIC);
  b_.SetNumeric(node, 0, 1200, 12001);
  bool metric = ItemIsMetricUnit(ctx_) != 0;
  CONTROL_RECORD control = {};
  control.symbolKey = static_cast<SHORT>(margin->symbolKey);
  LONG min = -1, max = -1;
  ASSERT_EQ(ItemRangeToDisplayUnits(ctx_, &control, &min, &max), 1);
  EXPECT_EQ(min, metric ? 254 : 100);
  EXPECT_EQ(max, metric ? 2540 : 1000);
  control.symbolKey = 0;
  control.item = margin;
  min = max = -1;
  ASSERT_EQ(ItemRangeToDisplayUnits(ctx_, &control, &min, &max), 1);
  EXPECT_EQ(min, metric ? 254 : 100);
  // A negative range rounds inward on both sides.
  OPTION_ITEM *shift = ItemFindById(ctx_, ITEM_kdmShiftMarginX);
  b_.SetNumeric(b_.AddItem(ITEM_kdmShiftMarginX, shift->symbolKey, DESC_TYPE_NUMERIC), 0, static_cast<DWORD>(-12001),
                static_cast<DWORD>(-1200));
  control.item = nullptr;
  control.symbolKey = static_cast<SHORT>(shift->symbolKey);
  ASSERT_EQ(ItemRangeToDisplayUnits(ctx_, &control, &min, &max), 1);
  EXPECT_EQ(min, metric ? -2540 : -1000);
  EXPECT_EQ(max, metric ? -254 : -100);
  EXPECT_LE(min, max);
}

}  // namespace
