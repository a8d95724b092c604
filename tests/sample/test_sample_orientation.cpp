// The sample's staple, punch and binding positions on a context of the test printer: the
// items read their "_LAND" value IDs while the sheet (or, for binding, the page) lies
// landscape, so the file lists both sets, hides the set that does not apply and treats
// both "off" values as off.
#include "blob/desc_runtime.h"
#include "rules/rule_eval.h"
#include "sample_context.h"

namespace {

class SampleOrientationTest : public SampleContextTest {
 protected:
  void SetUp() override
  {
    SampleContextTest::SetUp();
    if (HasFatalFailure()) return;
    // Every option installed; no N-up, no duplex, so the sheet lies as the page does.
    for (WORD id : {10014, 10018, 10021, 10023, 10058}) ItemSetRaw(ctx_, id, 1);
    ItemSetRaw(ctx_, 56, 0);
    ItemSetRaw(ctx_, 58, 0);
  }
  static WORD V(const char *name)
  {
    const VALUE_SYMBOL *v = ItemFindValueSymbolByName(name);
    EXPECT_NE(nullptr, v) << name;
    return v ? v->valueId : 0;
  }
  const DESC_ITEM_NODE *Node(WORD id)
  {
    const DESC_ITEM_NODE *n = DescFindItemNode(id, ctx_);
    EXPECT_NE(nullptr, n) << id;
    return n;
  }
  LONG Get(WORD id) { return ItemGetValue(ctx_, id, nullptr); }
};

TEST_F(SampleOrientationTest, PositionSetsFollowTheSheet)
{
  const DESC_ITEM_NODE *staple = Node(121);
  const DESC_ITEM_NODE *punch = Node(120);
  const DESC_ITEM_NODE *binding = Node(94);
  ASSERT_TRUE(staple && punch && binding);
  const struct {
    LONG orientation;
    const char *shown, *hidden;
  } kCases[] = {
      {1, "IDS_STAPLE_1", "IDS_STAPLE_1_LAND"},   {2, "IDS_STAPLE_1_LAND", "IDS_STAPLE_1"},
      {1, "IDS_PUNCH_2", "IDS_PUNCH_2_LAND"},     {2, "IDS_PUNCH_2_LAND", "IDS_PUNCH_2"},
      {1, "IDS_DUPLEX_17", "IDS_DUPLEX_17_LAND"}, {2, "IDS_DUPLEX_17_LAND", "IDS_DUPLEX_17"},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.shown);
    ItemSetRaw(ctx_, 7, c.orientation);
    const DESC_ITEM_NODE *node = c.shown[4] == 'S' ? staple : c.shown[4] == 'P' ? punch : binding;
    EXPECT_EQ(0, RuleIsValueHidden(node, V(c.shown), ctx_));
    EXPECT_NE(0, RuleIsValueHidden(node, V(c.hidden), ctx_));
  }
}

TEST_F(SampleOrientationTest, OffReadsAsOffInBothOrientations)
{
  const DESC_ITEM_NODE *staple = Node(121);
  ASSERT_NE(nullptr, staple);
  for (LONG orientation : {1, 2}) {
    SCOPED_TRACE(orientation);
    ItemSetRaw(ctx_, 7, orientation);
    ItemSetRaw(ctx_, 121, 0);
    ItemSetRaw(ctx_, 63, 1);
    EXPECT_EQ(V(orientation == 1 ? "IDS_STAPLE_OFF" : "IDS_STAPLE_OFF_LAND"), Get(121));
    EXPECT_EQ(0, RuleRunItemTransactions(staple, ctx_));
    EXPECT_EQ(0, Get(63)) << "stapling switched off";

    ItemSetRaw(ctx_, 121, 1);
    ItemSetRaw(ctx_, 53, 0);
    EXPECT_EQ(0, RuleRunItemTransactions(staple, ctx_));
    EXPECT_EQ(1, Get(63)) << "stapling switched on";
    EXPECT_EQ(V("KDMDEFOUT_TRAY32"), Get(53)) << "finisher tray";
  }
}

// A small paper switches finishing off in the value set of the sheet's orientation.
TEST_F(SampleOrientationTest, SmallPaperTurnsFinishingOffOnALandscapeSheet)
{
  const DESC_ITEM_NODE *paper = Node(8);
  ASSERT_NE(nullptr, paper);
  ItemSetRaw(ctx_, 7, 2);
  ItemSetValue(ctx_, 8, V("IDS_PAPERSIZE_POSTCARD"));
  ItemSetRaw(ctx_, 120, 1);
  ItemSetRaw(ctx_, 62, 1);
  EXPECT_EQ(V("IDS_PUNCH_1_LAND"), Get(120));
  EXPECT_EQ(0, RuleRunItemTransactions(paper, ctx_));
  EXPECT_EQ(V("IDS_PUNCH_OFF_LAND"), Get(120));
  EXPECT_EQ(0, Get(62));
  EXPECT_EQ(0, RuleFindAlert(paper, ctx_));
}

}  // namespace
