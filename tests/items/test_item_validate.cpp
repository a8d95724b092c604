// The node check of stored values and its repairs, on descriptions built by hand: lists
// with translation tables, hidden and greyed values, Boolean and Numeric nodes, the N-up
// kind that follows the N-up type, the switched finishing items, the preset number and the
// scale clamp of a merge.
#include "checks/item_check.h"
#include "rules_fixture.h"
#include "tables/item_ids.h"

namespace {

class ValidateTest : public RulesTest {
 protected:
  WORD Key(WORD id)
  {
    const OPTION_ITEM *row = ItemFindById(ctx_, id);
    EXPECT_TRUE(row != nullptr && row->symbolKey != 0) << id;
    return row != nullptr ? row->symbolKey : 0;
  }
  BYTE *Item(WORD id, WORD type, WORD defaultIndex = 0) { return b_.AddItem(id, Key(id), type, defaultIndex); }
  const RULE_CODE_UNIT *True() { return b_.AddCode({L(1), E()}); }
  // A judge true while item id reads value.
  const RULE_CODE_UNIT *When(WORD id, WORD value) { return b_.AddCode({I(id), L(value), O(RULE_OP_EQ), E()}); }
  LONG Raw(WORD id) { return ItemGetRaw(ctx_, id, nullptr); }
  void SetRaw(WORD id, LONG v) { ItemSetRaw(ctx_, id, v); }
};

TEST_F(ValidateTest, UnboundAndNodelessItems)
{
  // An item without option row or symbol key is the table's; one without node is left alone.
  EXPECT_EQ(ItemValidateOrReset(1276, 5, ctx_), KV_CHECK_UNBOUND);
  EXPECT_EQ(ItemCheckValueByNode(1276, 5, ctx_), KV_CHECK_UNBOUND);
  EXPECT_EQ(ItemValidateMappedOrReset(1276, 5, ctx_), KV_CHECK_UNBOUND);
  SetRaw(ITEM_kdmBrightness, 99);
  EXPECT_EQ(ItemValidateOrReset(ITEM_kdmBrightness, 99, ctx_), KV_CHECK_NO_NODE);
  EXPECT_EQ(Raw(ITEM_kdmBrightness), 99);
  // A node of type TypeUnknown alone counts as none.
  b_.AddItem(ITEM_kdmBrightness, Key(ITEM_kdmBrightness), DESC_TYPE_UNKNOWN);
  EXPECT_EQ(ItemValidateOrReset(ITEM_kdmBrightness, 99, ctx_), KV_CHECK_NO_NODE);
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmBrightness, 99, ctx_), KV_CHECK_NO_NODE);
  EXPECT_EQ(Raw(ITEM_kdmBrightness), 99);
  EXPECT_EQ(ItemValidateOrReset(ITEM_kdmBrightness, 99, nullptr), KV_CHECK_UNBOUND);
}

// A numeric item out of its range takes the description default, or during the merge of an
// applied settings request the nearer limit.
TEST_F(ValidateTest, ScaleOutOfRangeResetOrClamped)
{
  b_.SetNumeric(Item(ITEM_kdmScaleH, DESC_TYPE_NUMERIC), 100, 25, 400);
  struct Case {
    LONG value;
    bool merging;
    LONG after;
  } cases[] = {
      {400, false, 400}, {25, false, 25}, {401, false, 100}, {24, false, 100},
      {401, true, 400},  {24, true, 25},  {0, true, 25},     {150, true, 150},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << (c.merging ? " merging" : ""));
    ctx_->state->mergeFlags = c.merging ? KV_MERGE_REQUEST_APPLIED : 0;
    SetRaw(ITEM_kdmScaleH, c.value);
    EXPECT_EQ(ItemValidateOrReset(ITEM_kdmScaleH, static_cast<DWORD>(c.value), ctx_), 1);
    EXPECT_EQ(Raw(ITEM_kdmScaleH), c.after);
    EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmScaleH, static_cast<DWORD>(c.value), ctx_), c.value >= 25 && c.value <= 400);
  }
  // The clamp is only for the two scales: another numeric item is reset.
  b_.SetNumeric(Item(ITEM_kdmHFFontPoint, DESC_TYPE_NUMERIC), 10, 6, 100);
  ctx_->state->mergeFlags = KV_MERGE_REQUEST_APPLIED;
  SetRaw(ITEM_kdmHFFontPoint, 200);
  EXPECT_EQ(ItemValidateOrReset(ITEM_kdmHFFontPoint, 200, ctx_), 1);
  EXPECT_EQ(Raw(ITEM_kdmHFFontPoint), 10);
  // The range is signed.
  b_.SetNumeric(Item(ITEM_kdmBrightness, DESC_TYPE_NUMERIC), 0, static_cast<DWORD>(-50), 50);
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmBrightness, static_cast<DWORD>(-50), ctx_), 1);
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmBrightness, static_cast<DWORD>(-51), ctx_), 0);
}

TEST_F(ValidateTest, BooleanNode)
{
  b_.SetBoolean(Item(ITEM_kdmFuncSelectPoster, DESC_TYPE_BOOLEAN), 1);
  for (DWORD v : {0u, 1u}) EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmFuncSelectPoster, v, ctx_), 1) << v;
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmFuncSelectPoster, 2, ctx_), 0);
  SetRaw(ITEM_kdmFuncSelectPoster, 0);
  EXPECT_EQ(ItemValidateOrReset(ITEM_kdmFuncSelectPoster, 2, ctx_), 1);
  EXPECT_EQ(Raw(ITEM_kdmFuncSelectPoster), 1);  // the description default
}

// A list value that the rules grey stays and is accepted; a hidden one is reset to the
// description default and rejected; a value outside the list is both.
TEST_F(ValidateTest, PickOneHiddenAndGreyedValues)
{
  BYTE *node = Item(ITEM_kdmColorMode, DESC_TYPE_PICK_ONE, 1);
  b_.AddValues(node, {0, 1, 2, 3});
  DESC_RULE_BLOCK *rules = b_.AddRuleBlock(Key(ITEM_kdmColorMode), node);
  b_.AddValueRule(rules, 2, nullptr, True());  // greyed
  b_.AddValueRule(rules, 3, True(), nullptr);  // hidden
  struct Case {
    DWORD value;
    int node, byNode;
    LONG after;
  } cases[] = {
      {0, KV_NODE_ACCEPTED, 1, 0},
      {2, KV_NODE_GREYED, 1, 2},
      {3, KV_NODE_HIDDEN, 0, 1},
      {7, KV_NODE_REJECTED, 0, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ItemValidateAgainstNode(ItemFindById(ctx_, ITEM_kdmColorMode), ITEM_kdmColorMode, c.value, ctx_,
                                      (const DESC_ITEM_NODE *)node),
              c.node);
    EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmColorMode, c.value, ctx_), c.byNode);
    SetRaw(ITEM_kdmColorMode, static_cast<LONG>(c.value));
    EXPECT_EQ(ItemValidateOrReset(ITEM_kdmColorMode, c.value, ctx_), 1);
    EXPECT_EQ(Raw(ITEM_kdmColorMode), c.after);
  }
}

// Stored values are translated to value IDs before the list is asked; a stored value the
// table does not map is rejected even when its number is a listed ID, and a repair writes
// the stored value of the default ID.
TEST_F(ValidateTest, TranslatedListsCompareValueIds)
{
  BYTE *node = Item(ITEM_kdmDuplexType, DESC_TYPE_PICK_ONE, 2);
  b_.AddValues(node, {6281, 6282, 6283});
  SetRaw(ITEM_dmOrientation, 1);
  OPTION_ITEM *row = ItemFindById(ctx_, ITEM_kdmDuplexType);
  auto check = [&](DWORD v) {
    return ItemValidateAgainstNode(row, ITEM_kdmDuplexType, v, ctx_, (const DESC_ITEM_NODE *)node);
  };
  EXPECT_EQ(check(2), KV_NODE_ACCEPTED);   // 2 -> 6282
  EXPECT_EQ(check(17), KV_NODE_REJECTED);  // 17 -> 6284, not listed
  EXPECT_EQ(check(99), KV_NODE_REJECTED);  // no translation
  SetRaw(ITEM_kdmDuplexType, 99);
  EXPECT_EQ(ItemValidateOrReset(ITEM_kdmDuplexType, 99, ctx_), 1);
  EXPECT_EQ(Raw(ITEM_kdmDuplexType), 3);  // default ID 6283 stored as 3
  // Landscape uses the second part of the table: 6283 is no longer the ID of stored 3.
  SetRaw(ITEM_dmOrientation, 2);
  EXPECT_EQ(check(3), KV_NODE_REJECTED);

  // Without a table a wide number never matches a listed ID by its low 16 bits.
  BYTE *media = Item(ITEM_kdmColorMatching, DESC_TYPE_PICK_ONE);
  b_.AddValues(media, {1, 2});
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmColorMatching, 0x10001, ctx_), 0);
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmColorMatching, 1, ctx_), 1);
}

// A list node without values accepts only a value that the item's table maps to an ID.
TEST_F(ValidateTest, ListWithoutValues)
{
  Item(ITEM_kdmDuplexType, DESC_TYPE_PICK_ONE);
  Item(ITEM_kdmColorMatching, DESC_TYPE_PICK_ONE);
  SetRaw(ITEM_dmOrientation, 1);
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmDuplexType, 1, ctx_), 1);
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmDuplexType, 4, ctx_), 0);
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmColorMatching, 1, ctx_), 0);  // no table
}

// N-up: the type decides the kind (item 91) while N-up is on and allowed.
TEST_F(ValidateTest, NupTypeMovesTheNupKind)
{
  b_.SetBoolean(Item(ITEM_kdmFuncSelectNup, DESC_TYPE_BOOLEAN), 0);
  BYTE *node = Item(ITEM_kdmNUPType, DESC_TYPE_PICK_ONE);
  b_.AddValues(node, {6201, 6202, 6203, 6204, 6205, 6208, 6221, 6222, 6223, 6224});
  DESC_RULE_BLOCK *rules = b_.AddRuleBlock(Key(ITEM_kdmNUPType), node);
  b_.AddValueRule(rules, 6202, True(), nullptr);  // two-page layout 2 hidden in portrait
  struct Case {
    LONG orientation, nupOn, kind;
    DWORD type;
    LONG kindAfter, typeAfter;
  } cases[] = {
      {1, 1, 1, 33, 2, 33},                      // a 2-up type moves the kind from 1 to 2
      {1, 1, 2, 3, 1, 1},                        // a 1-up type moves the kind to 1 and the layout to portrait's
      {2, 1, 2, 3, 1, 3},                        // ... or landscape's
      {1, 1, 2, 34, 2, 34},                      // same kind: nothing
      {1, 1, 1, 2, 1, 1},                        // 1-up hidden layout: the orientation's first layout
      {1, 1, 1, 1, 1, 1},   {1, 0, 2, 3, 2, 3},  // N-up off: nothing
      {1, 1, 5, 3, 5, 3},                        // another kind: nothing
      {1, 1, 3, 65, 3, 65},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << " on " << c.nupOn << " kind " << c.kind
                                    << " type " << c.type);
    SetRaw(ITEM_dmOrientation, c.orientation);
    SetRaw(ITEM_kdmFuncSelectNup, c.nupOn);
    SetRaw(ITEM_kdmNUPPOSTKind, c.kind);
    SetRaw(ITEM_kdmNUPType, static_cast<LONG>(c.type));
    EXPECT_EQ(ItemValidateOrReset(ITEM_kdmNUPType, c.type, ctx_), 1);
    EXPECT_EQ(Raw(ITEM_kdmNUPPOSTKind), c.kindAfter);
    EXPECT_EQ(Raw(ITEM_kdmNUPType), c.typeAfter);
  }
  // N-up ruled out as a whole: nothing moves.
  DESC_RULE_BLOCK *nupRules = b_.AddRuleBlock(
      Key(ITEM_kdmFuncSelectNup), const_cast<BYTE *>((const BYTE *)DescFindItemNode(ITEM_kdmFuncSelectNup, ctx_)));
  nupRules->hideJudge = reinterpret_cast<DESC_RULE_LINK>(True());
  SetRaw(ITEM_dmOrientation, 1);
  SetRaw(ITEM_kdmFuncSelectNup, 1);
  SetRaw(ITEM_kdmNUPPOSTKind, 1);
  SetRaw(ITEM_kdmNUPType, 33);
  EXPECT_EQ(ItemValidateOrReset(ITEM_kdmNUPType, 33, ctx_), 1);
  EXPECT_EQ(Raw(ITEM_kdmNUPPOSTKind), 1);
}

TEST_F(ValidateTest, NupKinds)
{
  struct Case {
    DWORD code;
    int kind;
    DWORD layout;
  } cases[] = {{1, 1, 1},      {2, 1, 1},  {3, 1, 2},       {33, 2, 1},         {38, 2, 1},     {35, 0, 1},
               {65, 3, 1},     {70, 3, 1}, {97, 4, 1},      {102, 4, 1},        {0x8001, 9, 1}, {0x8003, 9, 1},
               {0x8004, 0, 1}, {0, 0, 1},  {0x10001, 0, 1}, {0xFFFFFFFFu, 0, 1}};
  for (const Case &c : cases) {
    DWORD layout = 77;
    EXPECT_EQ(ItemGetNupKind(c.code, &layout), c.kind) << c.code;
    EXPECT_EQ(layout, c.layout) << c.code;
    EXPECT_EQ(ItemGetNupKind(c.code, nullptr), c.kind) << c.code;
  }
}

// The finishing types are hidden by their rules only while their switch is in force.
TEST_F(ValidateTest, SwitchedItemsHiddenOnlyWhileSwitchedOn)
{
  BYTE *sw = Item(ITEM_kdmFuncSelectDuplex, DESC_TYPE_BOOLEAN);
  b_.SetBoolean(sw, 0);
  BYTE *node = Item(ITEM_kdmDuplexType, DESC_TYPE_PICK_ONE);
  b_.AddValues(node, {6281, 6282, 6283});
  DESC_RULE_BLOCK *rules = b_.AddRuleBlock(Key(ITEM_kdmDuplexType), node);
  b_.AddValueRule(rules, 6281, True(), True());
  b_.AddValueRule(rules, 6282, nullptr, True());  // greyed: not asked for this item
  SetRaw(ITEM_dmOrientation, 1);
  OPTION_ITEM *row = ItemFindById(ctx_, ITEM_kdmDuplexType);
  auto check = [&](DWORD v) {
    return ItemValidateAgainstNode(row, ITEM_kdmDuplexType, v, ctx_, (const DESC_ITEM_NODE *)node);
  };
  SetRaw(ITEM_kdmFuncSelectDuplex, 1);
  EXPECT_EQ(check(1), KV_NODE_HIDDEN);
  EXPECT_EQ(check(2), KV_NODE_ACCEPTED);
  SetRaw(ITEM_kdmFuncSelectDuplex, 0);
  EXPECT_EQ(check(1), KV_NODE_ACCEPTED);
  // The switch disabled as a whole is not in force either.
  SetRaw(ITEM_kdmFuncSelectDuplex, 1);
  DESC_RULE_BLOCK *swRules = b_.AddRuleBlock(Key(ITEM_kdmFuncSelectDuplex), sw);
  swRules->disableJudge = reinterpret_cast<DESC_RULE_LINK>(True());
  EXPECT_EQ(check(1), KV_NODE_ACCEPTED);
}

// Colour-matching entries 200-215 are accepted without asking their rules.
TEST_F(ValidateTest, ColorMatchingUserEntries)
{
  BYTE *node = Item(ITEM_kdmColorMatchingMode, DESC_TYPE_PICK_ONE);
  b_.AddValues(node, {1, 2, 205, 216});
  DESC_RULE_BLOCK *rules = b_.AddRuleBlock(Key(ITEM_kdmColorMatchingMode), node);
  for (WORD v : {2, 205, 216}) b_.AddValueRule(rules, v, True(), nullptr);
  OPTION_ITEM *row = ItemFindById(ctx_, ITEM_kdmColorMatchingMode);
  auto check = [&](DWORD v) {
    return ItemValidateAgainstNode(row, ITEM_kdmColorMatchingMode, v, ctx_, (const DESC_ITEM_NODE *)node);
  };
  EXPECT_EQ(check(205), KV_NODE_ACCEPTED);
  EXPECT_EQ(check(216), KV_NODE_HIDDEN);
  EXPECT_EQ(check(2), KV_NODE_HIDDEN);
  EXPECT_EQ(check(210), KV_NODE_REJECTED);  // not in the list
}

// The preset number: a signed byte holding presets 0-15 or -1 for none. A rejected value
// that is neither (the low byte 128-254) becomes preset 0; the others stay.
TEST_F(ValidateTest, PresetNumberRepair)
{
  BYTE *node = Item(ITEM_kdmPresetNo, DESC_TYPE_PICK_ONE);
  b_.AddValues(node, {118, 119, 120});  // none, presets 0 and 1
  struct Case {
    LONG stored;
    LONG after;
  } cases[] = {{-1, -1}, {1, 1}, {5, 5}, {100, 100}, {-2, 0}, {-128, 0}};
  for (const Case &c : cases) {
    SetRaw(ITEM_kdmPresetNo, c.stored);
    EXPECT_EQ(ItemValidateOrReset(ITEM_kdmPresetNo, static_cast<DWORD>(c.stored), ctx_), 1) << c.stored;
    EXPECT_EQ(Raw(ITEM_kdmPresetNo), c.after) << c.stored;
  }
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmPresetNo, static_cast<DWORD>(-1), ctx_), 1);
  EXPECT_EQ(ItemCheckValueByNode(ITEM_kdmPresetNo, 119, ctx_), 0);  // a value ID is not a stored value
}

// The mapped check answers for a translated list item whether the value has an ID, and
// changes nothing; others are repaired like ItemValidateOrReset, without the clamp.
TEST_F(ValidateTest, MappedCheckOfTranslatedItems)
{
  BYTE *node = Item(ITEM_dmOrientation, DESC_TYPE_PICK_ONE);
  b_.AddValues(node, {2042});
  SetRaw(ITEM_dmOrientation, 2);
  EXPECT_EQ(ItemValidateMappedOrReset(ITEM_dmOrientation, 1, ctx_), 1);
  EXPECT_EQ(ItemValidateMappedOrReset(ITEM_dmOrientation, 2, ctx_), 1);  // mapped, though not listed
  EXPECT_EQ(ItemValidateMappedOrReset(ITEM_dmOrientation, 3, ctx_), 0);
  EXPECT_EQ(Raw(ITEM_dmOrientation), 2);
  b_.SetNumeric(Item(ITEM_kdmScaleH, DESC_TYPE_NUMERIC), 100, 25, 400);
  ctx_->state->mergeFlags = KV_MERGE_REQUEST_APPLIED;
  SetRaw(ITEM_kdmScaleH, 500);
  EXPECT_EQ(ItemValidateMappedOrReset(ITEM_kdmScaleH, 500, ctx_), 1);
  EXPECT_EQ(Raw(ITEM_kdmScaleH), 100);
}

// A handler row whose item the description checks is never handed to its handler; one
// whose item it does not describe is.
TEST_F(ValidateTest, CheckTableLeavesDescribedItemsToTheirNodes)
{
  b_.SetNumeric(Item(ITEM_kdmBrightness, DESC_TYPE_NUMERIC), 0, static_cast<DWORD>(-100), 100);
  for (DWORD mode : {KV_CHECK_MODE_KEEP_LEGAL, KV_CHECK_MODE_RESET}) {
    SetRaw(ITEM_kdmBrightness, 80);  // outside the handler's -50..50
    SetRaw(ITEM_kdmContrast, 80);
    ItemRunCheckTable(ctx_, mode);
    EXPECT_EQ(Raw(ITEM_kdmBrightness), 80) << mode;
    EXPECT_EQ(Raw(ITEM_kdmContrast), 0) << mode;
  }
  // The separation cycle, not described: kept up to 99 in mode 2, reset in mode 1.
  struct Case {
    LONG value;
    DWORD mode;
    LONG after;
  } cases[] = {{99, 2, 99}, {100, 2, 1}, {99, 1, 1}, {100, 1, 1}};
  for (const Case &c : cases) {
    SetRaw(ITEM_kdmSeparationSheetCycle, c.value);
    ItemRunCheckTable(ctx_, c.mode);
    EXPECT_EQ(Raw(ITEM_kdmSeparationSheetCycle), c.after) << c.value << " mode " << c.mode;
  }
  // Mode 2 still resets the copy-guard colour and the switches the description leaves out.
  SetRaw(ITEM_kdmCopyProtectColor, 2);
  SetRaw(ITEM_kdmFuncSelectPoster, 1);
  SetRaw(ITEM_kdmFuncSelectBooklet, 1);
  ItemRunCheckTable(ctx_, KV_CHECK_MODE_KEEP_LEGAL);
  EXPECT_EQ(Raw(ITEM_kdmCopyProtectColor), 0);
  EXPECT_EQ(Raw(ITEM_kdmFuncSelectPoster), 0);
  EXPECT_EQ(Raw(ITEM_kdmFuncSelectBooklet), 0);
}

// A text item's default is a resource string ID; the reset loads the string and never takes
// the ID for the text's address.
TEST_F(ValidateTest, TextItemResetLoadsItsString)
{
  b_.SetString(Item(ITEM_kdmUserID, DESC_TYPE_STRING), 12345);
  OPTION_ITEM *row = ItemFindById(ctx_, ITEM_kdmUserID);
  ItemWriteText(ctx_, row, u"someone");
  ItemResetToDescDefault(ctx_, row);
  WCHAR text[64] = {};
  ItemReadText(ctx_, row, text);
  EXPECT_EQ(text[0], 0);  // no language DLL: the string is empty
  ItemResetToDescDefault(ctx_, nullptr);
}

}  // namespace
