// The rules: hide and disable judges per item and per value, alerts and the answers to
// them, transactions (shared judges, open-dialog actions, the built-in function item), the
// keyed runner of a named model function and the run over every item.
#include <cstring>
#include <vector>

#include "items/item_store.h"
#include "hooks/model_notify.h"
#include "rules_fixture.h"

namespace {

using RuleRulesTest = RulesTest;

Code Equals(WORD item, WORD value) { return {I(item), L(value), O(RULE_OP_EQ), E()}; }

TEST_F(RuleRulesTest, HideAndDisableJudges)
{
  const RULE_CODE_UNIT *yes = b_.AddCode({L(1), E()});
  const RULE_CODE_UNIT *no = b_.AddCode({L(0), E()});
  const RULE_CODE_UNIT *seven = b_.AddCode({L(7), E()});
  BYTE *item = b_.AddItem(54, 1, DESC_TYPE_PICK_ONE);
  BYTE *bare = b_.AddItem(55, 2, DESC_TYPE_PICK_ONE);
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(1, item);
  block->hideJudge = (DESC_RULE_LINK)yes;  // item-level: hidden, not greyed
  b_.AddValueRule(block, 0, no, seven);    // an entry for value 0 is never asked
  b_.AddValueRule(block, 5, seven, no);
  b_.AddValueRule(block, 5, no, yes);       // only the first entry of a value counts
  b_.AddValueRule(block, 6, nullptr, yes);  // no hide judge: shown
  const auto *node = (const DESC_ITEM_NODE *)item;
  struct Case {
    WORD value;
    LONG hidden;
    LONG disabled;
  } cases[] = {{0, 1, 0}, {5, 7, 0}, {6, 0, 1}, {9, 0, 0}};
  for (const Case &c : cases) {
    EXPECT_EQ(RuleIsValueHidden(node, c.value, ctx_), c.hidden) << c.value;
    EXPECT_EQ(RuleIsValueDisabled(node, c.value, ctx_), c.disabled) << c.value;
    EXPECT_EQ(RuleEvalHideJudge(block, c.value, ctx_), c.hidden) << c.value;
    EXPECT_EQ(RuleEvalDisableJudge(block, c.value, ctx_), c.disabled) << c.value;
  }
  EXPECT_EQ(RuleIsValueHidden((const DESC_ITEM_NODE *)bare, 0, ctx_), 0);
  EXPECT_EQ(RuleIsValueDisabled((const DESC_ITEM_NODE *)bare, 5, ctx_), 0);
  EXPECT_EQ(RuleIsValueHidden(nullptr, 0, ctx_), 0);
  EXPECT_EQ(RuleEvalDisableJudge(nullptr, 0, ctx_), 0);
}

TEST_F(RuleRulesTest, JudgesFollowTheSettings)
{
  BYTE *item = b_.AddItem(13, 1, DESC_TYPE_PICK_ONE);
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(1, item);
  b_.AddValueRule(block, 4, b_.AddCode(Equals(19, 2)), b_.AddCode(Equals(12, 5)));
  const auto *node = (const DESC_ITEM_NODE *)item;
  ItemSetValue(ctx_, 19, 1);
  ItemSetValue(ctx_, 12, 1);
  EXPECT_EQ(RuleIsValueHidden(node, 4, ctx_), 0);
  EXPECT_EQ(RuleIsValueDisabled(node, 4, ctx_), 0);
  ItemSetValue(ctx_, 19, 2);
  ItemSetValue(ctx_, 12, 5);
  EXPECT_EQ(RuleIsValueHidden(node, 4, ctx_), 1);
  EXPECT_EQ(RuleIsValueDisabled(node, 4, ctx_), 1);
}

TEST_F(RuleRulesTest, TheFirstFiringAlertIsAnswered)
{
  const RULE_CODE_UNIT *yes = b_.AddCode({L(1), E()});
  const RULE_CODE_UNIT *no = b_.AddCode({L(0), E()});
  BYTE *item = b_.AddItem(54, 1, DESC_TYPE_PICK_ONE);
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(1, item);
  b_.AddAlert(block, no, 301);
  b_.AddAlert(block, nullptr, 302);  // no judge: never fires
  DESC_ALERT *third = b_.AddAlert(block, yes, 303);
  b_.AddAlert(block, yes, 304);
  const auto *node = (const DESC_ITEM_NODE *)item;
  EXPECT_EQ(RuleFindAlert(node, ctx_), 303);
  EXPECT_EQ(RuleFirstTrueAlert((const DESC_ALERT *)block->alerts, ctx_), 303);
  EXPECT_EQ(RuleFirstTrueAlert((const DESC_ALERT *)third->next, ctx_), 304);
  EXPECT_EQ(RuleFindAlertByMessage(block, 303), third);
  EXPECT_EQ(RuleFindAlertByMessage(block, 305), nullptr);
  EXPECT_EQ(RuleFindAlertByMessage(nullptr, 303), nullptr);

  BYTE *quiet = b_.AddItem(55, 2, DESC_TYPE_PICK_ONE);
  b_.AddRuleBlock(2, quiet);
  EXPECT_EQ(RuleFindAlert((const DESC_ITEM_NODE *)quiet, ctx_), 0);  // block without alerts
  EXPECT_EQ(RuleFindAlert((const DESC_ITEM_NODE *)b_.AddItem(56, 3, 1), ctx_), 0);
  EXPECT_EQ(RuleFindAlert(nullptr, ctx_), 0);
}

// The alert answer runs the transactions of the first alert-action entry of that button.
TEST_F(RuleRulesTest, AlertAnswersRunTheirTransactions)
{
  const RULE_CODE_UNIT *judge = b_.AddCode(Equals(19, 2));
  BYTE *item = b_.AddItem(19, 1, DESC_TYPE_PICK_ONE);
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(1, item);
  DESC_ALERT *alert = b_.AddAlert(block, judge, 401, 0x30, 1 /* MB_OKCANCEL */);
  DESC_ALERT_ACTION *ok = b_.AddAlertAction(alert, 1 /* IDOK */, 3000, 3001);
  b_.AddAction(b_.AddTransaction(&ok->transactions, nullptr), 12, 0, 4);
  DESC_ALERT_ACTION *cancel = b_.AddAlertAction(alert, 2 /* IDCANCEL */);
  b_.AddAction(b_.AddTransaction(&cancel->transactions, nullptr), 19, 0, 1);
  DESC_ALERT_ACTION *cancelAgain = b_.AddAlertAction(alert, 2);
  b_.AddAction(b_.AddTransaction(&cancelAgain->transactions, nullptr), 12, 0, 99);
  b_.AddAlertAction(b_.AddAlert(block, nullptr, 402), 1);  // an answer entry with no transactions
  const auto *node = (const DESC_ITEM_NODE *)item;

  ItemSetValue(ctx_, 19, 2);
  ItemSetValue(ctx_, 12, 1);
  ASSERT_EQ(RuleFindAlert(node, ctx_), 401);
  RuleApplyAlertAnswer(node, 401, 7 /* IDNO: no entry */, ctx_);
  RuleApplyAlertAnswer(node, 499, 1, ctx_);  // no alert with that message
  RuleApplyAlertAnswer(node, 402, 1, ctx_);
  RuleApplyAlertAnswer(nullptr, 401, 1, ctx_);
  RuleRunAlertAction(nullptr, 1, ctx_);
  EXPECT_EQ(ItemGetValue(ctx_, 19, nullptr), 2);
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 1);

  RuleApplyAlertAnswer(node, 401, 2, ctx_);  // cancel: the change is taken back
  EXPECT_EQ(ItemGetValue(ctx_, 19, nullptr), 1);
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 1);  // the second cancel entry does not run
  EXPECT_EQ(RuleFindAlert(node, ctx_), 0);

  RuleRunAlertAction(alert, 1, ctx_);  // OK: its dialog is not open, the transaction runs
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 4);
}

TEST_F(RuleRulesTest, TransactionsRunTheActionsOfTrueEntriesInOrder)
{
  DESC_RULE_LINK list = 0;
  b_.AddAction(b_.AddTransaction(&list, nullptr), 12, 0, 2);  // always
  DESC_TRANSACTION *second = b_.AddTransaction(&list, b_.AddCode(Equals(12, 2)));
  b_.AddAction(second, 11, 0, 50);
  b_.AddAction(second, 12, 0, 3);
  b_.AddAction(second, 1500, 0, 9);                                              // an item without row changes nothing
  b_.AddAction(b_.AddTransaction(&list, b_.AddCode(Equals(12, 2))), 11, 0, 60);  // now false
  b_.AddAction(b_.AddTransaction(&list, b_.AddCode(Equals(12, 3))), 14, 0, 300);
  ItemSetValue(ctx_, 14, 600);
  EXPECT_EQ(RuleRunTransactions((const DESC_TRANSACTION *)list, ctx_), 0);
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 3);
  EXPECT_EQ(ItemGetValue(ctx_, 11, nullptr), 50);
  EXPECT_EQ(ItemGetValue(ctx_, 14, nullptr), 300);
  EXPECT_EQ(RuleRunTransactions(nullptr, ctx_), 0);
}

// A judge that is the same code as the last one evaluated is not evaluated again while it
// is false; a true one is. Reading a text item allocates, so a failing allocation shows
// whether the judge ran: the text then reads as empty and the judge turns true.
TEST_F(RuleRulesTest, EntriesSharingAFalseJudgeAreSkipped)
{
  ItemWriteText(ctx_, ItemFindById(ctx_, 20), u"abc");
  Code isEmpty = {I(20), L(0), O(RULE_OP_EQ), E()};
  const RULE_CODE_UNIT *judge = b_.AddCode(isEmpty);
  const RULE_CODE_UNIT *sameText = b_.AddCode(isEmpty);  // equal code, another judge

  DESC_RULE_LINK shared = 0;
  b_.AddAction(b_.AddTransaction(&shared, judge), 12, 0, 7);
  b_.AddAction(b_.AddTransaction(&shared, judge), 11, 0, 40);
  DESC_RULE_LINK distinct = 0;
  b_.AddAction(b_.AddTransaction(&distinct, judge), 12, 0, 7);
  b_.AddAction(b_.AddTransaction(&distinct, sameText), 11, 0, 40);

  ItemSetValue(ctx_, 11, 1);
  ItemSetValue(ctx_, 12, 1);
  PlatFaultArm(PLAT_FAULT_ALLOC, 2);  // a second evaluation would see an empty text
  RuleRunTransactions((const DESC_TRANSACTION *)shared, ctx_);
  PlatFaultDisarmAll();
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 1);
  EXPECT_EQ(ItemGetValue(ctx_, 11, nullptr), 1);  // skipped: not evaluated again

  PlatFaultArm(PLAT_FAULT_ALLOC, 2);
  RuleRunTransactions((const DESC_TRANSACTION *)distinct, ctx_);
  PlatFaultDisarmAll();
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 1);
  EXPECT_EQ(ItemGetValue(ctx_, 11, nullptr), 40);  // evaluated, read an empty text
}

TEST_F(RuleRulesTest, ATrueSharedJudgeIsEvaluatedAgain)
{
  const RULE_CODE_UNIT *judge = b_.AddCode(Equals(14, 600));
  DESC_RULE_LINK list = 0;
  b_.AddAction(b_.AddTransaction(&list, judge), 14, 0, 300);
  b_.AddAction(b_.AddTransaction(&list, judge), 12, 0, 9);  // 14 is 300 now: false
  b_.AddAction(b_.AddTransaction(&list, judge), 11, 0, 9);  // the same false judge: skipped
  ItemSetValue(ctx_, 14, 600);
  ItemSetValue(ctx_, 12, 1);
  ItemSetValue(ctx_, 11, 1);
  RuleRunTransactions((const DESC_TRANSACTION *)list, ctx_);
  EXPECT_EQ(ItemGetValue(ctx_, 14, nullptr), 300);
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 1);
  EXPECT_EQ(ItemGetValue(ctx_, 11, nullptr), 1);
}

TEST_F(RuleRulesTest, AnOpenDialogActionEndsTheRun)
{
  DESC_RULE_LINK list = 0;
  b_.AddAction(b_.AddTransaction(&list, b_.AddCode({L(0), E()})), 2900, 1, 0);  // false entry
  b_.AddAction(b_.AddTransaction(&list, nullptr), 12, 0, 2);
  DESC_TRANSACTION *dialog = b_.AddTransaction(&list, nullptr);
  b_.AddAction(dialog, 0x1234, 1, 0xABCD0000u);
  b_.AddAction(dialog, 12, 0, 5);
  b_.AddAction(b_.AddTransaction(&list, nullptr), 11, 0, 77);
  ItemSetValue(ctx_, 11, 1);
  EXPECT_EQ(RuleRunTransactions((const DESC_TRANSACTION *)list, ctx_), 0x1234);
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 2);
  EXPECT_EQ(ItemGetValue(ctx_, 11, nullptr), 1);
}

// Outside the property sheets the built-in function item is stored like any other.
TEST_F(RuleRulesTest, TheBuiltInFunctionItemIsStoredWithoutUserInterface)
{
  DESC_RULE_LINK list = 0;
  b_.AddAction(b_.AddTransaction(&list, nullptr), KV_BUILTIN_FUNC_ITEM, 0, 2);
  ctx_->state->uiFlags = 0;
  RuleRunTransactions((const DESC_TRANSACTION *)list, ctx_);
  EXPECT_EQ(ItemGetValue(ctx_, KV_BUILTIN_FUNC_ITEM, nullptr), 2);
  EXPECT_EQ(ctx_->state->uiFlags & 0x10000000u, 0u);
}

TEST_F(RuleRulesTest, ItemAndKeyedTransactions)
{
  BYTE *item = b_.AddItem(54, 1, DESC_TYPE_PICK_ONE);
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(1, item);
  b_.AddAction(b_.AddTransaction(&block->transactions1, nullptr), 12, 0, 6);
  b_.AddAction(b_.AddTransaction(&block->transactions2, nullptr), 11, 0, 6);  // list 2 is not run
  b_.AddAction(b_.AddTransaction(&block->transactions1, nullptr), 3300, 1, 0);
  const SYMBOL_ENTRY *convert = ItemFindSymbolByName("KPD_ConvertDevmode");
  ASSERT_NE(convert, nullptr);
  DESC_RULE_BLOCK *named = b_.AddRuleBlock(convert->key);  // a model function: no item
  b_.AddAction(b_.AddTransaction(&named->transactions1, b_.AddCode(Equals(922, 3))), 14, 0, 1200);

  ItemSetValue(ctx_, 11, 1);
  EXPECT_EQ(RuleRunItemTransactions((const DESC_ITEM_NODE *)item, ctx_), 3300);
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 6);
  EXPECT_EQ(ItemGetValue(ctx_, 11, nullptr), 1);
  EXPECT_EQ(RuleRunItemTransactions((const DESC_ITEM_NODE *)b_.AddItem(55, 2, 1), ctx_), 0);
  EXPECT_EQ(RuleRunItemTransactions(nullptr, ctx_), 0);

  ItemSetValue(ctx_, 14, 600);
  ItemSetRaw(ctx_, 922, 2);
  EXPECT_EQ(RuleRunKeyedTransactions(convert->key, 0, ctx_), 0);
  EXPECT_EQ(ItemGetValue(ctx_, 14, nullptr), 600);
  ItemSetRaw(ctx_, 922, 3);
  EXPECT_EQ(RuleRunKeyedTransactions(convert->key, -1, ctx_), 0);
  EXPECT_EQ(ItemGetValue(ctx_, 14, nullptr), 1200);
  EXPECT_EQ(RuleRunKeyedTransactions(1, 0, ctx_), 3300);  // an item's key is a key like any other
  EXPECT_EQ(RuleRunKeyedTransactions(0x7FFF, 0, ctx_), 0);
}

// Every item's list 1 runs in row order, so an item later in the table sees what an earlier
// one set.
TEST_F(RuleRulesTest, AllItemTransactionsRunInRowOrder)
{
  BYTE *length = b_.AddItem(9, 1, DESC_TYPE_NUMERIC);
  BYTE *quality = b_.AddItem(14, 2, DESC_TYPE_PICK_ONE);
  BYTE *farItem = b_.AddItem(10001, 3, DESC_TYPE_PICK_ONE);
  b_.AddAction(b_.AddTransaction(&b_.AddRuleBlock(2, quality)->transactions1, b_.AddCode(Equals(12, 3))), 11, 0, 50);
  b_.AddAction(b_.AddTransaction(&b_.AddRuleBlock(1, length)->transactions1, nullptr), 12, 0, 3);
  DESC_TRANSACTION *last = b_.AddTransaction(&b_.AddRuleBlock(3, farItem)->transactions1, b_.AddCode(Equals(11, 50)));
  b_.AddAction(last, 4000, 1, 0);  // a dialog ID is ignored
  b_.AddAction(last, 19, 0, 2);
  ItemSetValue(ctx_, 12, 1);
  ItemSetValue(ctx_, 11, 1);
  RuleRunAllItemTransactions(ctx_);
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 3);
  EXPECT_EQ(ItemGetValue(ctx_, 11, nullptr), 50);
  EXPECT_NE(ItemGetValue(ctx_, 19, nullptr), 2);
}

TEST_F(RuleRulesTest, AllItemTransactionsWithoutRuleBlocksChangeNothing)
{
  b_.AddValues(b_.AddItem(14, 2, DESC_TYPE_PICK_ONE), {300, 600});
  std::vector<BYTE> before(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE);
  RuleRunAllItemTransactions(ctx_);
  EXPECT_EQ(0, memcmp(before.data(), ctx_->work, KV_WORK_BUFFER_SIZE));
  ctx_->desc = nullptr;
  RuleRunAllItemTransactions(ctx_);
  RuleRunAllItemTransactions(nullptr);
}

// At job start the duplex scale area is fitted only when item 390 is set and its option is
// in the description, shown and enabled by the rules as the settings stand.
TEST_F(RuleRulesTest, JobStartFitFollowsTheOptionsRules)
{
  const OPTION_ITEM *row = ItemFindById(ctx_, 390);
  ASSERT_NE(row, nullptr);
  ASSERT_NE(row->symbolKey, 0);
  BYTE *item = b_.AddItem(390, row->symbolKey, DESC_TYPE_PICK_ONE);
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(row->symbolKey, item);
  block->hideJudge = (DESC_RULE_LINK)b_.AddCode(Equals(19, 2));
  block->disableJudge = (DESC_RULE_LINK)b_.AddCode(Equals(12, 5));
  struct Case {
    LONG asked, item19, item12;
    bool fitted;
  } cases[] = {{1, 1, 1, true}, {0, 1, 1, false}, {1, 2, 1, false}, {1, 1, 5, false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.asked << " " << c.item19 << " " << c.item12);
    ItemSetRaw(ctx_, 8, 9);
    ItemSetRaw(ctx_, 46, 9);
    ItemSetRaw(ctx_, 38, 600);
    ItemSetRaw(ctx_, 49, 6800);
    ItemSetRaw(ctx_, 50, 4800);
    ItemSetRaw(ctx_, 55, 0);
    ItemSetRaw(ctx_, 390, c.asked);
    ItemSetValue(ctx_, 19, c.item19);
    ItemSetValue(ctx_, 12, c.item12);
    EXPECT_EQ(KvModelNotifyCommon(ctx_, KV_EVT_JOB_START, nullptr), 1);
    EXPECT_EQ(ItemGetRaw(ctx_, 50, nullptr), c.fitted ? 4563 : 4800);
  }
}

// A numeric control's range in display units comes from the Numeric node bound to it,
// rounded inward; a control without a Numeric node has none.
TEST_F(RuleRulesTest, NumericControlRangeComesFromItsNode)
{
  BYTE *item = b_.AddItem(49, 7, DESC_TYPE_NUMERIC);
  b_.SetNumeric(item, 2400, 1200, 12001);
  CONTROL_RECORD control = {};
  control.node = (const DESC_ITEM_NODE *)item;
  LONG min = -1, max = -1;
  ASSERT_EQ(ItemRangeToDisplayUnits(ctx_, &control, &min, &max), 1);
  bool metric = ItemIsMetricUnit(ctx_) != 0;
  EXPECT_EQ(min, metric ? 254 : 100);    // one inch
  EXPECT_EQ(max, metric ? 2540 : 1000);  // 12001 dots: rounded down to ten inches
  BYTE *text = b_.AddItem(50, 8, DESC_TYPE_PICK_ONE);
  control.node = (const DESC_ITEM_NODE *)text;
  min = max = -1;
  EXPECT_EQ(ItemRangeToDisplayUnits(ctx_, &control, &min, &max), 0);
  EXPECT_EQ(min, -1);
  control.node = nullptr;
  EXPECT_EQ(ItemRangeToDisplayUnits(ctx_, &control, &min, &max), 0);
}

}  // namespace
