// In the property-sheet library an action on the built-in function item runs the function
// named by the value's low 16 bits instead of storing the value.
#include "items/item_store.h"
#include "rules_fixture.h"

namespace {

using RuleBuiltInUiTest = RulesTest;

TEST_F(RuleBuiltInUiTest, TheBuiltInFunctionItemRunsTheFunction)
{
  DESC_RULE_LINK list = 0;
  DESC_TRANSACTION *t = b_.AddTransaction(&list, nullptr);
  b_.AddAction(t, KV_BUILTIN_FUNC_ITEM, 0, 0x00050002u);  // function 2: the UI flag
  b_.AddAction(t, 12, 0, 4);
  ctx_->state->uiFlags = 0;
  ItemSetValue(ctx_, KV_BUILTIN_FUNC_ITEM, 0);
  EXPECT_EQ(RuleRunTransactions((const DESC_TRANSACTION *)list, ctx_), 0);
  EXPECT_EQ(ctx_->state->uiFlags & 0x10000000u, 0x10000000u);
  EXPECT_EQ(ItemGetValue(ctx_, KV_BUILTIN_FUNC_ITEM, nullptr), 0);  // nothing stored
  EXPECT_EQ(ItemGetValue(ctx_, 12, nullptr), 4);
}

TEST_F(RuleBuiltInUiTest, ThePaperChangeFunctionResetsTheScale)
{
  DESC_RULE_LINK list = 0;
  b_.AddAction(b_.AddTransaction(&list, nullptr), KV_BUILTIN_FUNC_ITEM, 0, 1);
  ItemSetRaw(ctx_, 46, 1024);
  ItemSetRaw(ctx_, 55, 0);
  ItemSetRaw(ctx_, 87, 0);
  ItemSetRaw(ctx_, 89, 50);
  RuleRunTransactions((const DESC_TRANSACTION *)list, ctx_);
  EXPECT_EQ(ItemGetValue(ctx_, 89, nullptr), 100);
}

}  // namespace
