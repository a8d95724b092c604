// Module dispatch: the context's copy of a module table, row order, first answer wins.
#include <gtest/gtest.h>

#include "hooks/build_hooks.h"
#include "context_fixture.h"
#include "hooks/pjl_vars.h"
#include "recording_hooks.h"

namespace {

class ModuleHooksTest : public OpenContextTest {
 protected:
  RecordingModules rec_;
};

TEST_F(ModuleHooksTest, ContextGetsItsOwnCopyOfTheDeliverablesTable)
{
  LONG count = 0;
  MODULE_HOOK_ROW *rows = CtxGetModuleHooks(&count);
  ASSERT_EQ(count, 6);
  MODULE_HOOKS *hooks = ctx_->state->moduleHooks;
  ASSERT_NE(hooks, nullptr);
  EXPECT_EQ(hooks->count, 6);
  EXPECT_NE(hooks->rows, rows);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(hooks->rows[i].notify, rows[i].notify);
    EXPECT_EQ(hooks->rows[i].privateBuffer, nullptr);
  }
}

TEST_F(ModuleHooksTest, NotifyStopsAtTheFirstAnswerInRowOrder)
{
  rec_.Attach(ctx_);
  int data = 0;
  CtxNotifyModules(ctx_, 13, &data);
  ASSERT_EQ(rec_.calls.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(rec_.calls[i].row, i);
    EXPECT_EQ(rec_.calls[i].kind, 'n');
    EXPECT_EQ(rec_.calls[i].code, 13);
    EXPECT_EQ(rec_.calls[i].data, &data);
  }
  rec_.calls.clear();
  rec_.SetAnswer(2, 1);
  rec_.SetAnswer(4, 1);
  CtxNotifyModules(ctx_, 30, nullptr);
  ASSERT_EQ(rec_.calls.size(), 3u);  // rows 0, 1, 2; row 4 is never asked
  EXPECT_EQ(rec_.calls.back().row, 2);
}

TEST_F(ModuleHooksTest, ActionsAndMessagesFollowTheSameOrder)
{
  rec_.Attach(ctx_);
  rec_.SetAnswer(1, 7);
  CtxModulesAction(ctx_, 42);
  ASSERT_EQ(rec_.calls.size(), 2u);
  EXPECT_EQ(rec_.calls[1].kind, 'a');
  EXPECT_EQ(rec_.calls[1].code, 42);
  rec_.calls.clear();
  EXPECT_EQ(CtxModulesMessage(ctx_, nullptr, nullptr, 0x111, 1, 2), 7);
  ASSERT_EQ(rec_.calls.size(), 2u);
  EXPECT_EQ(rec_.calls[0].kind, 'm');
  EXPECT_EQ(rec_.calls[0].code, 0x111);
  rec_.calls.clear();
  rec_.SetAnswer(1, 0);
  EXPECT_EQ(CtxModulesMessage(ctx_, nullptr, nullptr, 0x111, 1, 2), 0);
  EXPECT_EQ(rec_.calls.size(), 6u);
  rec_.calls.clear();
  // Without a context only the start-of-document hook sees the message.
  EXPECT_EQ(CtxModulesMessage(nullptr, nullptr, nullptr, 101, 0, 0), 0);
  EXPECT_TRUE(rec_.calls.empty());
}

TEST_F(ModuleHooksTest, PrivateBuffersArePerRowAndPassedToTheHooks)
{
  rec_.Attach(ctx_, 24);
  CtxNotifyModules(ctx_, 11, nullptr);
  ASSERT_EQ(rec_.calls.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(rec_.calls[i].priv, ctx_->state->moduleHooks->rows[i].privateBuffer);
    ASSERT_NE(rec_.calls[i].priv, nullptr);
    ((BYTE *)rec_.calls[i].priv)[23] = 1;  // the whole buffer is there (ASan)
    if (i > 0) {
      EXPECT_NE(rec_.calls[i].priv, rec_.calls[i - 1].priv);
    }
  }
}

// The build's own module table that cannot be copied fails the context's construction
// (CtxInitModules answers 0), instead of letting it run without its modules.
TEST_F(ModuleHooksTest, InitFailsWhenTheModuleTableCannotBeCopied)
{
  LONG count = 0;
  ASSERT_NE(CtxGetModuleHooks(&count), nullptr);
  ASSERT_GT(count, 0);
  for (DWORD nth : {1u, 2u, 3u}) {
    SCOPED_TRACE(nth);
    PlatFaultArm(PLAT_FAULT_ALLOC, nth);
    int ok = CtxInitModules(ctx_);
    PlatFaultDisarmAll();
    EXPECT_EQ(ok, ctx_->state->moduleHooks != nullptr ? 1 : 0);
  }
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(CtxInitModules(ctx_), 0);
  PlatFaultDisarmAll();
  EXPECT_EQ(CtxInitModules(ctx_), 1);
  EXPECT_NE(ctx_->state->moduleHooks, nullptr);
}

TEST_F(ModuleHooksTest, WithoutModulesNothingIsDelivered)
{
  rec_.Attach(ctx_);
  CtxAttachModuleTable(ctx_, nullptr, 6);
  EXPECT_EQ(ctx_->state->moduleHooks, nullptr);
  CtxNotifyModules(ctx_, 11, nullptr);
  CtxModulesAction(ctx_, 1);
  EXPECT_EQ(CtxModulesMessage(ctx_, nullptr, nullptr, 1, 0, 0), 0);
  EXPECT_TRUE(rec_.calls.empty());
  // A table whose rows cannot be allocated leaves the context without modules as well.
  PlatFaultArm(PLAT_FAULT_ALLOC, 2);  // the block succeeds, its rows fail
  rec_.Attach(ctx_);
  PlatFaultDisarmAll();
  CtxNotifyModules(ctx_, 11, nullptr);
  EXPECT_TRUE(rec_.calls.empty());
}

TEST_F(ModuleHooksTest, ModelRowOfTheApplicationInterfaceAnswers)
{
  KV_EVT_ITEM_BY_NAME_DATA byName = {2, nullptr, 0};
  CtxNotifyModules(ctx_, KV_EVT_SAVE_ITEM_BY_NAME, &byName);
  EXPECT_EQ(byName.answer, 1);
  byName.answer = 0;
  CtxNotifyModules(ctx_, KV_EVT_LOAD_ITEM_BY_NAME, &byName);
  EXPECT_EQ(byName.answer, 1);
  KV_EVT_ANSWER_DATA a = {0};
  CtxNotifyModules(ctx_, KV_EVT_LIST_RESOLUTIONS, &a);
  EXPECT_EQ(a.answer, 1);
  ItemSetRaw(ctx_, 10023, 1);
  a.answer = 0;
  CtxNotifyModules(ctx_, KV_EVT_BIN_MODEL_VALUE, &a);
  EXPECT_EQ(a.answer, 1);
  ItemSetRaw(ctx_, 10070, 0);
  ItemSetRaw(ctx_, 10021, 0);
  CtxNotifyModules(ctx_, KV_EVT_OPTIONS_READ, nullptr);
  EXPECT_EQ(ItemGetRaw(ctx_, 10070, nullptr), 1);
  EXPECT_EQ(ItemGetRaw(ctx_, 10021, nullptr), 1);
  KV_EVT_INIT_MODE_DATA mode = {2, 0};
  CtxNotifyModules(ctx_, KV_EVT_PRINTER_INIT_MODE, &mode);
  EXPECT_EQ(mode.answer, 1);
  mode = {1, 0};
  CtxNotifyModules(ctx_, KV_EVT_PRINTER_INIT_MODE, &mode);
  EXPECT_EQ(mode.answer, 0);
  struct {
    LONG value, answer;
  } flagCases[] = {{0x10, 1}, {0x13, 1}, {0x0F, 0}, {0x20, 0}};
  for (const auto &c : flagCases) {
    KV_EVT_VALUE_ANSWER_DATA q = {c.value, 0};
    CtxNotifyModules(ctx_, KV_EVT_VALUE_FLAG_QUESTION, &q);
    EXPECT_EQ(q.answer, c.answer) << "value " << c.value;
  }
}

TEST(BuildHooks, SwitchesOfTheApplicationInterface)
{
  EXPECT_EQ(JobCtlIsEnabled(), 1);
  EXPECT_EQ(UserCodeIsEnabled(), 0);
  EXPECT_EQ(CtxIsFeatureEnabled(nullptr, 0, nullptr), 0);
  EXPECT_EQ(CtxIsFeatureEnabled(nullptr, 1, nullptr), 0);
  EXPECT_EQ(StoreIsEmptyValueItem(1014), 0);
  EXPECT_EQ(RuleGetJudgeHookValue(1070, 0), 0);
  LONG mx = -1, mn = -1;
  EXPECT_EQ(DmGetCustomSizeLimits(nullptr, 1, 1, &mx, &mn, 0), 0);
  EXPECT_EQ(mx, -1);
  EXPECT_EQ(mn, -1);
  LONG v = -1;
  EXPECT_EQ(ApiQueryUserColorProfiles(nullptr, 0, &v), 0);
  EXPECT_EQ(v, 0) << "no profiles: the count is written, not left as it was";
  PJL_VARIABLE_TABLE *t = PjlGetVariableTable();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->count, 33u);
  EXPECT_EQ(t->rows, g_kvPjlVariableRows) << "the compiled-in rows every deliverable shares";
  EXPECT_EQ(t->rows[0].itemId, 119u) << "COLLATE, the sort type";
  for (DWORD i = 1; i < t->count; ++i) EXPECT_EQ(t->rows[i].itemId, 0u);
}

}  // namespace

namespace {

TEST_F(ModuleHooksTest, ModelRowChoosesTheResolutionAndPassMode)
{
  struct Case {
    LONG media;
    LONG requested;
    LONG dpi;
    WORD pass;
  } cases[] = {{1, 600, 300, 1}, {257, 300, 300, 1}, {274, 1200, 600, 4}, {276, 601, 600, 4},
               {2, 600, 600, 1}, {3, 1200, 600, 5},  {0, 150, 600, 1}};
  OPTION_ITEM *row = ItemFindById(ctx_, 38);
  for (const Case &c : cases) {
    ItemSetRaw(ctx_, 54, c.media);
    ctx_->state->pendingPassMode = 0;
    KV_EVT_PRINT_QUALITY_DATA d = {nullptr, row, c.requested};
    CtxNotifyModules(ctx_, KV_EVT_MERGE_PRINT_QUALITY, &d);
    EXPECT_EQ(d.value, c.dpi) << c.media << "/" << c.requested;
    EXPECT_EQ(ctx_->state->pendingPassMode, c.pass) << c.media << "/" << c.requested;
  }
}

}  // namespace
