// The user-interface configuration gives each context its own copy of the dialog table,
// bound to the context's own option rows.
#include "context_fixture.h"
#include "kvplat/control.h"

namespace {

using ContextDialogsUi = ContextTest;

TEST_F(ContextDialogsUi, DialogTableIsDeepCopiedAndBoundToOwnRows)
{
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  ASSERT_NE(ctx->dialogs, tpl->dialogs);
  EXPECT_EQ(ctx->dialogs->count, 32);
  EXPECT_NE(ctx->dialogs->rows, tpl->dialogs->rows);
  CONTROL_RECORD *ctl = CtlFindById(ctx, nullptr, 2407);
  CONTROL_RECORD *tplCtl = CtlFindById(tpl, nullptr, 2407);
  ASSERT_NE(ctl, nullptr);
  ASSERT_NE(tplCtl, nullptr);
  EXPECT_NE(ctl, tplCtl);
  EXPECT_EQ(ctl->item, ItemFindById(ctx, 834));
  ItemSetControlText(ctx, 2407, u"Mine");
  EXPECT_EQ(ctl->item->state & KV_STATE_CHANGED_MASK, 1);
  EXPECT_EQ(tplCtl->item->state, ((OPTION_ITEM *)tpl->items->rows)[833].state);
  EXPECT_EQ(tplCtl->item->state & KV_STATE_CHANGED_MASK, 0);
  CtxRelease(ctx);
}

TEST_F(ContextDialogsUi, FailedCopyFreesWhatWasCopied)
{
  int failures = 0;
  for (DWORD n = 1; n < 60; ++n) {
    PlatFaultArm(PLAT_FAULT_ALLOC, n);
    DRIVER_CONTEXT *ctx = Create();
    PlatFaultDisarmAll();
    if (ctx == nullptr) {
      ++failures;
      continue;
    }
    EXPECT_EQ(ctx->dialogs->count, 32);
    CtxRelease(ctx);
    CtxExpireCache(1);
  }
  EXPECT_GT(failures, 30);
  EXPECT_EQ(CtlFindById(CtxGetTemplate(), nullptr, 2407)->item, ItemFindById(CtxGetTemplate(), 834));
}

}  // namespace
