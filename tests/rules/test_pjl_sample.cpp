// The compiled-in PJL variable rows on the sample printer: the sort variable follows the
// installed hard disk, as the description's own rules do for stored jobs, and collation
// follows the sort variable. Items without a variable list nothing.
#include <vector>

#include "compiled_fixture.h"
#include "devmode/devmode_paper.h"
#include "items/item_store.h"
#include "rules/pjl_values.h"
#include "tables/item_ids.h"

namespace {

class SamplePjlTest : public CompiledRulesTest {
 protected:
  void SetUp() override
  {
    CompiledRulesTest::SetUp();
    ASSERT_NE(CompileFile(KV_SAMPLE_DIR, "KVSAMPLE.KVD"), nullptr);
  }
  // The allowed values of an item; *answer gets the listing's answer.
  std::vector<DWORD> Allowed(WORD item, int *answer)
  {
    DWORD count = 0;
    *answer = PjlListAllowedValues(ctx_, item, 0, nullptr, &count);
    std::vector<DWORD> values(count);
    if (count > 0) *answer = PjlListAllowedValues(ctx_, item, count, values.data(), &count);
    return values;
  }
};

TEST_F(SamplePjlTest, TheCompiledInSortVariable)
{
  const PJL_VARIABLE_TABLE *table = PjlGetVariableTable();
  ASSERT_EQ(table->count, (DWORD)KV_PJL_VARIABLE_ROWS);
  const PJL_VARIABLE_ROW *row = PjlFindVariable(ctx_, ITEM_kdmSortType, KV_PJL_USE_BASE);
  ASSERT_NE(row, nullptr);
  EXPECT_STREQ(row->name, "COLLATE");
  EXPECT_EQ(row, PjlFindVariable(ctx_, ITEM_kdmSortType, KV_PJL_USE_OPTION)) << "a printer option too";
  EXPECT_EQ(row->convertFlags & KV_PJL_CONV_TRIAL, 0u) << "decided by the values' conditions";
  ASSERT_EQ(row->valueCount, 2u);
  EXPECT_STREQ(row->values[0].valueText, "OFF");
  EXPECT_EQ(row->values[0].flags, KV_PJL_VALUE_NO_ITEM_VALUE);
  EXPECT_STREQ(row->values[1].valueText, "SORT");
  EXPECT_EQ(row->values[1].itemValue, 1u);
  // Every other row is a row without item until the application interface fills it.
  for (DWORD i = 0; i < table->count; ++i) {
    if (&table->rows[i] != row) {
      EXPECT_EQ(table->rows[i].itemId, 0u) << "row " << i;
    }
  }
}

// The hard disk decides both: the description hides stored and overlay jobs without it,
// and the sort variable offers "SORT" only with it.
TEST_F(SamplePjlTest, TheHardDiskDecidesSortingAsItDecidesStoredJobs)
{
  const DESC_ITEM_NODE *printType = Node(ItemFindSymbolByName("KPD_IDC_SETUP_CHOICE_PRINTTYPE")->itemId);
  ASSERT_NE(printType, nullptr);
  struct Case {
    LONG hdd;
    std::vector<DWORD> sort;
    int selectable;
    LONG storedHidden;
  } cases[] = {{0, {0}, 0, 1}, {1, {0, 1}, 1, 0}};
  for (const Case &c : cases) {
    ItemSetRaw(ctx_, ITEM_kdmOutputOptionTypeHDD, c.hdd);
    EXPECT_EQ(RuleIsValueHidden(printType, Value("IDS_PRINTTYPE_STORED"), ctx_) != 0, c.storedHidden != 0)
        << "HDD " << c.hdd;
    int answer = -2;
    EXPECT_EQ(Allowed(ITEM_kdmSortType, &answer), c.sort) << "HDD " << c.hdd;
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(PjlIsSortSelectable(ctx_), c.selectable);
    EXPECT_EQ(DmCanCollate(ctx_), c.selectable);
    EXPECT_EQ(PjlHasAllowedValue(ctx_, ITEM_kdmSortType), c.selectable) << "OFF is no real choice";
  }
  // The sort settings themselves do not matter: the table's conditions read the
  // configuration, not the current choice.
  ItemSetRaw(ctx_, ITEM_kdmFuncSelectSort, 0);
  ItemSetRaw(ctx_, ITEM_kdmSortType, 6);
  EXPECT_EQ(DmCanCollate(ctx_), 1);
}

// The table has no variable for the punch and staple types (nor, yet, for the output paper):
// their lists are empty, so the DEVMODE's capability bytes for them stay 0 and the staple
// capability answers 0.
TEST_F(SamplePjlTest, ItemsWithoutAVariableListNothing)
{
  ItemSetRaw(ctx_, ITEM_kdmOutputOptionTypeFin2000, 1);
  for (WORD item : {ITEM_kdmPunchType, ITEM_kdmStapleType, ITEM_kdmOutPaperSize}) {
    DWORD values[4] = {7, 7, 7, 7};
    DWORD count = 99;
    EXPECT_EQ(PjlListAllowedValues(ctx_, item, 4, values, &count), 0) << item;
    EXPECT_EQ(count, 0u) << item;
    EXPECT_EQ(values[0], 7u) << item;
    EXPECT_EQ(PjlHasAllowedValue(ctx_, item), 0) << item;
  }
}

}  // namespace
