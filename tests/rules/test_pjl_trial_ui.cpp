// A trial in the property-sheet library, where the transactions' built-in functions reach
// the context state: the pending-UI-work word and a module's custom-size slots come back
// as they were after the trial, while the trial itself still sees what they did.
#include <cstring>
#include <vector>

#include "hooks/module_hooks.h"
#include "items/item_store.h"
#include "pjl_table_swap.h"
#include "rules/pjl_values.h"
#include "rules_fixture.h"
#include "tables/item_ids.h"

namespace {

using PjlTrialUiTest = RulesTest;

// A module's built-in function 77: fills the first custom-size slot and sets item 124.
LONG WINAPI SlotAction(DRIVER_CONTEXT *ctx, WORD code, void *priv)
{
  (void)priv;
  if (code != 77) return 0;
  ctx->state->freeSizeSlots[0].width = 9920;
  ctx->state->freeSizeSlots[0].length = 14030;
  ItemSetRaw(ctx, ITEM_kdmCoverType, 3);
  return 1;
}

TEST_F(PjlTrialUiTest, BuiltInFunctionsOfATrialLeaveNoTraceInTheState)
{
  ASSERT_NE(ctx_->state->moduleHooks, nullptr);
  ASSERT_GT(ctx_->state->moduleHooks->count, 0);
  ctx_->state->moduleHooks->rows[0].action = SlotAction;
  // When the sort type is 4: built-in function 2 (UI flag) and the module's function 77.
  BYTE *sort = b_.AddItem(ITEM_kdmSortType, 1, DESC_TYPE_PICK_ONE);
  DESC_TRANSACTION *t = b_.AddTransaction(&b_.AddRuleBlock(1, sort)->transactions1,
                                          b_.AddCode({I(ITEM_kdmSortType), L(4), O(RULE_OP_EQ), E()}));
  b_.AddAction(t, KV_BUILTIN_FUNC_ITEM, 0, 2);
  b_.AddAction(t, KV_BUILTIN_FUNC_ITEM, 0, 77);
  // Value "SHIFT" needs item 124 at 3, which only function 77 gives it; "DRV" the same
  // without the functions.
  RULE_CONDITION cover = {nullptr, ITEM_kdmCoverType, 3, 0};
  PJL_VALUE_ROW values[2] = {{0, 4, "SHIFT", nullptr, &cover, nullptr, nullptr},
                             {0, 1, "DRV", nullptr, &cover, nullptr, nullptr}};
  PJL_VARIABLE_ROW row = {ITEM_kdmSortType,
                          0,
                          KV_PJL_CONV_VALUE_TABLE | KV_PJL_CONV_TRIAL,
                          KV_PJL_USE_BASE,
                          KV_PJL_TYPE_PICKONE,
                          "COLLATE",
                          nullptr,
                          2,
                          values,
                          nullptr,
                          nullptr};
  PjlTableSwap swap(&row, 1);
  ItemSetRaw(ctx_, ITEM_kdmSortType, 0);
  ItemSetRaw(ctx_, ITEM_kdmCoverType, 0);
  ctx_->state->uiFlags = 0x5u;
  memset(ctx_->state->freeSizeSlots, 0, sizeof ctx_->state->freeSizeSlots);
  std::vector<BYTE> state((BYTE *)ctx_->state, (BYTE *)ctx_->state + sizeof(CONTEXT_STATE));
  std::vector<BYTE> work(ctx_->work, ctx_->work + DmGetWorkBufferSize());

  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row, &values[0]), 1) << "the trial saw the module's setting";
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row, &values[1]), 1) << "the companion itself holds";

  EXPECT_EQ(ctx_->state->uiFlags, 0x5u) << "function 2 raised 0x10000000 during the trial only";
  EXPECT_EQ(ctx_->state->freeSizeSlots[0].width, 0);
  EXPECT_EQ(ctx_->state->freeSizeSlots[0].length, 0);
  EXPECT_EQ(0, memcmp(work.data(), ctx_->work, work.size())) << "every write was in the DEVMODE";
  EXPECT_EQ(0, memcmp(state.data(), ctx_->state, state.size()));
}

}  // namespace
