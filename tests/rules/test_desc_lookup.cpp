// Lookups of the compiled description: nodes by item ID (direct slots and the item list),
// by symbol key and by option row; types, values, defaults and counts; rule blocks and
// per-value entries; the resource DLL name; the evaluator stack's allocation.
#include <cstring>

#include "items/item_store.h"
#include "rules_fixture.h"

namespace {

using DescLookupTest = RulesTest;

WORD ValueId(const void *value) { return DESC_FIELD16(value, DESC_VALUE_NODE, valueId); }

TEST_F(DescLookupTest, ItemIdsAreAnsweredFromTheSlotsOrTheItemList)
{
  const WORD ids[] = {1, 600, 601, 1270, 10001, 10385, 1271, 10386, 5000};
  BYTE *nodes[9];
  for (int i = 0; i < 9; ++i) nodes[i] = b_.AddItem(ids[i], (WORD)(100 + i), DESC_TYPE_PICK_ONE);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ((const void *)DescFindItemNode(ids[i], ctx_), nodes[i]) << ids[i];
    EXPECT_EQ((const void *)DescGetItemNode(ids[i], ctx_), nodes[i]) << ids[i];
  }
  // Slots: 601 at 1576 + 4 * 601, 1270 at 6656, 10001 at 2440.
  EXPECT_EQ(DescLdPtr(b_.blob(), 6656), nodes[3]);
  EXPECT_EQ(DescLdPtr(b_.blob(), 2440), nodes[4]);
  EXPECT_EQ(DescFindItemNode(0, ctx_), nullptr);
  EXPECT_EQ(DescFindItemNode(2, ctx_), nullptr);     // empty slot
  EXPECT_EQ(DescFindItemNode(1300, ctx_), nullptr);  // end of the list
}

TEST_F(DescLookupTest, AnEmptySlotHidesANodeOfTheList)
{
  BYTE *node = b_.AddItem(700, 1, DESC_TYPE_PICK_ONE);
  DescStPtr(b_.blob(), DescSlotOffset(700), nullptr);
  ASSERT_EQ(DescLdPtr(b_.blob(), offsetof(DESC_HEADER, items)), node);
  EXPECT_EQ(DescFindItemNode(700, ctx_), nullptr);
}

TEST_F(DescLookupTest, TheFirstNodeOfAnIdOutsideTheSlotsWins)
{
  BYTE *first = b_.AddItem(2000, 1, DESC_TYPE_PICK_ONE);
  b_.AddItem(2000, 2, DESC_TYPE_BOOLEAN);
  EXPECT_EQ((const void *)DescFindItemNode(2000, ctx_), first);
  EXPECT_EQ(DescGetItemType(2000, ctx_), DESC_TYPE_PICK_ONE);
}

TEST_F(DescLookupTest, WithoutDescriptionThereIsNothing)
{
  b_.AddItem(14, 7, DESC_TYPE_BOOLEAN);
  b_.AddRuleBlock(7);
  ctx_->desc = nullptr;
  WORD out = 0xBEEF;
  EXPECT_EQ(DescFindItemNode(14, ctx_), nullptr);
  EXPECT_EQ(DescGetItemType(14, ctx_), 0);
  EXPECT_EQ(DescGetItemTypeRaw(14, ctx_), 0);
  EXPECT_EQ(DescGetItemDefault(14, ctx_), 0u);
  EXPECT_EQ(DescGetItemValues(14, ctx_, &out), nullptr);
  EXPECT_EQ(out, 0xBEEF);
  EXPECT_EQ(DescCountItemValues(14, ctx_), -1);
  EXPECT_EQ(DescFindItemNodeByKey(7, ctx_), nullptr);
  EXPECT_EQ(DescGetItemNodeByIndex(ctx_, 13), nullptr);
  EXPECT_EQ(DescFindRuleBlock(7, ctx_), nullptr);
  EXPECT_EQ(DescGetUiResDllName(ctx_), nullptr);
  EXPECT_EQ(DescFindItemNode(14, nullptr), nullptr);
  EXPECT_EQ(ItemGetDescNode(nullptr, 7), nullptr);
}

TEST_F(DescLookupTest, TypesWithAndWithoutTheirFlags)
{
  b_.AddItem(14, 1, 0x2001);
  b_.AddItem(15, 2, DESC_TYPE_IDENTITY | DESC_TYPE_PICK_PAGE);
  EXPECT_EQ(DescGetItemType(14, ctx_), 1);
  EXPECT_EQ(DescGetItemTypeRaw(14, ctx_), 0x2001);
  EXPECT_EQ(DescGetItemType(15, ctx_), DESC_TYPE_PICK_PAGE);
  EXPECT_EQ(DescGetItemTypeRaw(15, ctx_), 0x1101);
  EXPECT_EQ(DescGetItemType(16, ctx_), 0);
  EXPECT_EQ(DescGetItemTypeRaw(16, ctx_), 0);
}

TEST_F(DescLookupTest, DefaultsByType)
{
  struct Case {
    WORD id;
    WORD type;
    WORD index;
    DWORD expected;
  } cases[] = {
      {20, DESC_TYPE_PICK_ONE, 0, 11},                       // index 0: the head
      {21, DESC_TYPE_PICK_ONE, 2, 33},                       // the third value
      {22, DESC_TYPE_PICK_ONE, 3, 0},                        // past the end
      {23, DESC_TYPE_PICK_PAGE, 1, 22},                      // PickOne class
      {24, DESC_TYPE_PICK_SLOT | DESC_TYPE_UNKNOWN, 1, 22},  // flags do not matter
      {25, DESC_TYPE_PICK_MANY, 0, 0},                       // PickMany has no default
  };
  for (const Case &c : cases) b_.AddValues(b_.AddItem(c.id, c.id, c.type, c.index), {11, 22, 33});
  b_.SetBoolean(b_.AddItem(30, 30, DESC_TYPE_BOOLEAN), 1);
  b_.SetNumeric(b_.AddItem(31, 31, DESC_TYPE_NUMERIC), 0xFFFFFFF6u, 0, 100);
  b_.SetString(b_.AddItem(32, 32, DESC_TYPE_STRING), 4321);
  b_.AddItem(33, 33, DESC_TYPE_PICK_ONE);  // no value data
  for (const Case &c : cases) {
    EXPECT_EQ(DescGetItemDefault(c.id, ctx_), c.expected) << c.id;
    EXPECT_EQ(DescGetBlobItemDefault(c.id, b_.blob()), c.expected) << c.id;
  }
  EXPECT_EQ(DescGetItemDefault(30, ctx_), 1u);
  EXPECT_EQ(DescGetItemDefault(31, ctx_), 0xFFFFFFF6u);
  EXPECT_EQ(DescGetItemDefault(32, ctx_), 4321u);
  EXPECT_EQ(DescGetItemDefault(33, ctx_), 0u);
  EXPECT_EQ(DescGetItemDefault(34, ctx_), 0u);
}

TEST_F(DescLookupTest, ItemIdZeroHasNoNodeButTheBlobDefaultSearchesTheList)
{
  b_.AddValues(b_.AddItem(0, 9, DESC_TYPE_PICK_ONE, 1), {5, 6});
  EXPECT_EQ(DescFindItemNode(0, ctx_), nullptr);
  EXPECT_EQ(DescGetItemDefault(0, ctx_), 0u);
  EXPECT_EQ(DescGetBlobItemDefault(0, b_.blob()), 6u);
}

TEST_F(DescLookupTest, ValueListsAndTheDefaultIndex)
{
  BYTE *pickOne = b_.AddValues(b_.AddItem(40, 1, DESC_TYPE_PICK_PAGE, 2), {7, 8, 9});
  BYTE *pickMany = b_.AddValues(b_.AddItem(41, 2, DESC_TYPE_PICK_MANY, 1), {1, 2});
  BYTE *numeric = b_.SetNumeric(b_.AddItem(42, 3, DESC_TYPE_NUMERIC), 5, 1, 10);
  b_.AddItem(43, 4, DESC_TYPE_PICK_ONE);  // empty list
  b_.SetBoolean(b_.AddItem(44, 5, DESC_TYPE_BOOLEAN), 0);
  b_.SetString(b_.AddItem(45, 6, DESC_TYPE_STRING), 1);

  WORD out = 0xBEEF;
  const void *head = DescGetItemValues(40, ctx_, &out);
  EXPECT_EQ(head, pickOne);
  EXPECT_EQ(out, 2);
  EXPECT_EQ(ValueId(head), 7);
  EXPECT_EQ(DescGetItemValues(40, ctx_, nullptr), pickOne);

  out = 0xBEEF;
  EXPECT_EQ(DescGetItemValues(41, ctx_, &out), pickMany);
  EXPECT_EQ(out, 0xBEEF);  // not of the PickOne class
  EXPECT_EQ(DescGetItemValues(42, ctx_, &out), numeric);
  EXPECT_EQ(DESC_FIELD32(numeric, DESC_NUMERIC_VALUE, maximum), 10u);
  EXPECT_EQ(out, 0xBEEF);
  EXPECT_EQ(DescGetItemValues(43, ctx_, &out), nullptr);
  EXPECT_EQ(out, 0);  // PickOne with an empty list still has its index
  out = 0xBEEF;
  EXPECT_EQ(DescGetItemValues(99, ctx_, &out), nullptr);
  EXPECT_EQ(out, 0xBEEF);

  EXPECT_EQ(DescCountItemValues(40, ctx_), 3);
  EXPECT_EQ(DescCountItemValues(41, ctx_), 2);
  EXPECT_EQ(DescCountItemValues(42, ctx_), 0);
  EXPECT_EQ(DescCountItemValues(43, ctx_), 0);
  EXPECT_EQ(DescCountItemValues(44, ctx_), 0);
  EXPECT_EQ(DescCountItemValues(45, ctx_), 0);
  EXPECT_EQ(DescCountItemValues(99, ctx_), -1);
}

TEST_F(DescLookupTest, CountListCountsAnyList)
{
  BYTE *values = b_.AddValues(b_.AddItem(40, 1, DESC_TYPE_PICK_ONE), {1, 2, 3, 4});
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(1);
  for (int i = 0; i < 3; ++i) b_.AddTransaction(&block->transactions1, nullptr);
  EXPECT_EQ(DescCountList(values), 4u);
  EXPECT_EQ(DescCountList((const void *)block->transactions1), 3u);
  EXPECT_EQ(DescCountList(nullptr), 0u);
}

TEST_F(DescLookupTest, NodesBySymbolKeyAndByOptionRow)
{
  BYTE *first = b_.AddItem(3000, 77, DESC_TYPE_PICK_ONE);
  b_.AddItem(14, 77, DESC_TYPE_BOOLEAN);
  BYTE *quality = b_.AddItem(14, 78, DESC_TYPE_NUMERIC);  // a second node of 14: the slot keeps the first
  EXPECT_EQ((const void *)DescFindItemNodeByKey(77, ctx_), first);
  EXPECT_EQ((const void *)DescGetItemNodeByKey(78, ctx_), quality);
  EXPECT_EQ((const void *)ItemGetDescNode(ctx_, 77), first);
  EXPECT_EQ(DescFindItemNodeByKey(79, ctx_), nullptr);

  const OPTION_ITEM *rows = (const OPTION_ITEM *)ctx_->items->rows;
  DWORD row = 0;
  while (row < (DWORD)ctx_->items->count && rows[row].id != 14) ++row;
  ASSERT_LT(row, (DWORD)ctx_->items->count);
  EXPECT_EQ((const void *)DescGetItemNodeByIndex(ctx_, row), DescFindItemNode(14, ctx_));
  EXPECT_EQ(DESC_FIELD16(DescGetItemNodeByIndex(ctx_, row), DESC_ITEM_NODE, key), 77);
  EXPECT_EQ(DescGetItemNodeByIndex(ctx_, row + 1), nullptr);  // item 15 has no node
  EXPECT_EQ(DescGetItemNodeByIndex(ctx_, (DWORD)ctx_->items->count), nullptr);
  EXPECT_EQ(DescGetItemNodeByIndex(ctx_, 0xFFFFFFFFu), nullptr);
}

TEST_F(DescLookupTest, RuleBlocksAndPerValueEntries)
{
  const RULE_CODE_UNIT *j1 = b_.AddCode({L(1), E()});
  const RULE_CODE_UNIT *j2 = b_.AddCode({L(2), E()});
  DESC_RULE_BLOCK *a = b_.AddRuleBlock(10);
  DESC_RULE_BLOCK *b = b_.AddRuleBlock(20);
  DESC_RULE_BLOCK *again = b_.AddRuleBlock(20);
  DESC_VALUE_RULE *r5 = b_.AddValueRule(b, 5, j1, nullptr);
  b_.AddValueRule(b, 5, j2, nullptr);  // only the first entry of a value counts
  DESC_VALUE_RULE *r0 = b_.AddValueRule(b, 0, nullptr, j2);
  EXPECT_EQ(DescFindRuleBlock(10, ctx_), a);
  EXPECT_EQ(DescFindRuleBlock(20, ctx_), b);
  EXPECT_NE(DescFindRuleBlock(20, ctx_), again);
  EXPECT_EQ(DescFindRuleBlock(30, ctx_), nullptr);
  EXPECT_EQ(DescFindValueRule(b, 5), r5);
  EXPECT_EQ(DescFindValueRule(b, 0), r0);
  EXPECT_EQ(DescFindValueRule(b, 6), nullptr);
  EXPECT_EQ(DescFindValueRule(a, 5), nullptr);
  EXPECT_EQ(DescFindValueRule(nullptr, 5), nullptr);
}

TEST_F(DescLookupTest, ResourceDllName)
{
  EXPECT_EQ(DescGetUiResDllName(ctx_), nullptr);
  b_.SetUiResDllName(u"KVRES.DLL");
  ASSERT_NE(DescGetUiResDllName(ctx_), nullptr);
  EXPECT_EQ(NarrowW(DescGetUiResDllName(ctx_)), "KVRES.DLL");
}

TEST_F(DescLookupTest, EvaluatorStackAllocation)
{
  CONTEXT_STATE *st = ctx_->state;
  ASSERT_NE(st->eval.entries, nullptr);  // allocated with the context
  RuleFreeEvalStack(ctx_);
  EXPECT_EQ(st->eval.entries, nullptr);
  RuleFreeEvalStack(ctx_);  // a second free is harmless

  st->eval.depth = 17;
  EXPECT_EQ(RuleAllocEvalStack(ctx_), 0);
  ASSERT_NE(st->eval.entries, nullptr);
  EXPECT_EQ(st->eval.depth, 0);
  for (int i = 0; i < KV_EVAL_STACK_ENTRIES; ++i) ASSERT_EQ(st->eval.entries[i], 0) << i;
  EXPECT_EQ(GlobalSize(st->eval.entries), KV_EVAL_STACK_ENTRIES * sizeof(LONG));

  RuleFreeEvalStack(ctx_);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(RuleAllocEvalStack(ctx_), -1);
  EXPECT_EQ(st->eval.entries, nullptr);
  EXPECT_EQ(RuleAllocEvalStack(nullptr), -1);
}

}  // namespace
