// The renderer's configuration: its stub modules and its model row.
#include <gtest/gtest.h>

#include "hooks/build_hooks.h"
#include "context_fixture.h"
#include "files/ini.h"
#include "model/model.h"
#include "model/scale_area.h"
#include "names/names_paths.h"
#include "files/settings_dirs.h"

namespace {

class DrawHooksTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    ctx_ = Create(CTX_CREATE_DRAW);
    ASSERT_NE(ctx_, nullptr);
  }
  void TearDown() override
  {
    CtxRelease(ctx_);
    ContextTest::TearDown();
  }
  DRIVER_CONTEXT *ctx_ = nullptr;
};

TEST_F(DrawHooksTest, StubRowsAnswerNothingAndTheModelRowAnswersItsEvents)
{
  LONG count = 0;
  MODULE_HOOK_ROW *rows = CtxGetModuleHooks(&count);
  ASSERT_EQ(count, 6);
  for (int i = 0; i < 6; ++i) {
    ASSERT_NE(rows[i].action, nullptr);
    EXPECT_EQ(rows[i].action(ctx_, 1, nullptr), 0);
  }
  EXPECT_EQ(CtxModulesMessage(ctx_, nullptr, nullptr, 0x111, 0, 0), 0);
  KV_EVT_ITEM_BY_NAME_DATA byName = {2, nullptr, 0};
  CtxNotifyModules(ctx_, KV_EVT_LOAD_ITEM_BY_NAME, &byName);
  EXPECT_EQ(byName.answer, 1);
  // The renderer does not mark options read from the printer.
  ItemSetRaw(ctx_, 10070, 0);
  CtxNotifyModules(ctx_, KV_EVT_OPTIONS_READ, nullptr);
  EXPECT_EQ(ItemGetRaw(ctx_, 10070, nullptr), 0);
  EXPECT_EQ(JobCtlIsEnabled(), 1);
  EXPECT_EQ(UserCodeIsEnabled(), 0);
}

TEST_F(DrawHooksTest, JobStartFitsTheDuplexScaleAreaOnlyWhenAskedFor)
{
  ItemSetRaw(ctx_, 8, 9);
  ItemSetRaw(ctx_, 46, 9);
  ItemSetRaw(ctx_, 38, 600);
  ItemSetRaw(ctx_, 49, 6800);
  ItemSetRaw(ctx_, 50, 4800);
  ItemSetRaw(ctx_, 55, 0);
  ItemSetRaw(ctx_, 390, 0);
  CtxNotifyModules(ctx_, KV_EVT_JOB_START, nullptr);
  EXPECT_EQ(ItemGetRaw(ctx_, 50, nullptr), 4800);
  ItemSetRaw(ctx_, 390, 1);
  CtxNotifyModules(ctx_, KV_EVT_JOB_START, nullptr);
  EXPECT_EQ(ItemGetRaw(ctx_, 50, nullptr), 4800) << "the description offers no such option";
  DmFitDuplexScaleArea(ctx_);
  EXPECT_EQ(ItemGetRaw(ctx_, 50, nullptr), 4563) << "the fit itself";
}

TEST_F(DrawHooksTest, LoadedBlockReadsThePrintBoxMode)
{
  ASSERT_TRUE(FileCreateSettingsDirOf(ctx_));
  std::u16string ini = CtxGetSettingsIniPath(ctx_);
  ItemSetRaw(ctx_, 1062, 0);
  CtxNotifyModules(ctx_, KV_EVT_ITEM_BLOCK_LOADED, nullptr);
  EXPECT_EQ(ItemGetRaw(ctx_, 1062, nullptr), 0);  // no key: unchanged
  ASSERT_TRUE(IniWriteString(u"PrintBox", u"Mode", u"2", ini.c_str()));
  CtxNotifyModules(ctx_, KV_EVT_ITEM_BLOCK_LOADED, nullptr);
  EXPECT_EQ(ItemGetRaw(ctx_, 1062, nullptr), 2);
}

}  // namespace
