// The user-interface configuration: its module table, its model row and its built-in
// functions.
#include <gtest/gtest.h>

#include "store/preset_list.h"
#include "hooks/build_hooks.h"
#include "context_fixture.h"
#include "files/ini.h"
#include "model/model.h"
#include "names/names_paths.h"
#include "files/settings_dirs.h"
#include "model/state_items.h"
#include "hooks/pjl_vars.h"
#include "store/font_names.h"
#include "recording_hooks.h"

namespace {

class UiHooksTest : public OpenContextTest {};

TEST_F(UiHooksTest, SixModulesWithTheFeatureSwitchAsActionOfPresetsWatermarksAndFinishing)
{
  LONG count = 0;
  MODULE_HOOK_ROW *rows = CtxGetModuleHooks(&count);
  ASSERT_EQ(count, 6);
  for (int i : {0, 1, 4}) EXPECT_EQ(rows[i].action, (MODULE_ACTION_HOOK)CtxIsFeatureEnabled) << i;
  for (int i = 0; i < 6; ++i) EXPECT_EQ(rows[i].privateSize, 0);
  EXPECT_NE(rows[KV_MODULE_MODEL].notify, nullptr);
  ASSERT_NE(ctx_->state->moduleHooks, nullptr);
  EXPECT_EQ(ctx_->state->moduleHooks->count, 6);
}

TEST_F(UiHooksTest, ModelRowAnswers)
{
  KV_EVT_ITEM_BY_NAME_DATA byName = {2, nullptr, 0};
  CtxNotifyModules(ctx_, KV_EVT_SAVE_ITEM_BY_NAME, &byName);
  EXPECT_EQ(byName.answer, 1);
  KV_EVT_ANSWER_DATA a = {0};
  CtxNotifyModules(ctx_, KV_EVT_LIST_RESOLUTIONS, &a);
  EXPECT_EQ(a.answer, 1);
  a.answer = 5;
  ItemSetRaw(ctx_, 10023, 0);
  CtxNotifyModules(ctx_, KV_EVT_BIN_MODEL_VALUE, &a);
  EXPECT_EQ(a.answer, 0);
  // An event the model does not know stays unanswered.
  KV_EVT_ANSWER_DATA untouched = {1};
  CtxNotifyModules(ctx_, KV_EVT_USE_DEFAULT_FILES, &untouched);
  EXPECT_EQ(untouched.answer, 1);
}

TEST_F(UiHooksTest, LoadedBlockReadsStoredGammaInRange)
{
  ASSERT_TRUE(FileCreateSettingsDirOf(ctx_));
  std::u16string ini = CtxGetSettingsIniPath(ctx_);
  for (WORD item : {399, 400, 401, 402}) ItemSetRaw(ctx_, item, 3);
  ASSERT_TRUE(IniWriteString(u"GammaData", u"GammaC", u"-5", ini.c_str()));
  ASSERT_TRUE(IniWriteString(u"GammaData", u"GammaM", u"127", ini.c_str()));
  ASSERT_TRUE(IniWriteString(u"GammaData", u"GammaY", u"300", ini.c_str()));  // outside the field: refused
  ASSERT_TRUE(IniWriteString(u"PrintBox", u"Mode", u"1", ini.c_str()));
  CtxNotifyModules(ctx_, KV_EVT_ITEM_BLOCK_LOADED, nullptr);
  EXPECT_EQ(ItemGetRaw(ctx_, 399, nullptr), -5);
  EXPECT_EQ(ItemGetRaw(ctx_, 400, nullptr), 127);
  EXPECT_EQ(ItemGetRaw(ctx_, 401, nullptr), 3);
  EXPECT_EQ(ItemGetRaw(ctx_, 402, nullptr), 3);   // no key: unchanged
  EXPECT_EQ(ItemGetRaw(ctx_, 1062, nullptr), 1);  // the common answer still runs
}

TEST_F(UiHooksTest, BuiltInFunctions)
{
  ctx_->state->uiFlags = 0;
  UiRunBuiltInFunc(ctx_, 2);
  EXPECT_EQ(ctx_->state->uiFlags & 0x10000000u, 0x10000000u);
  ItemSetRaw(ctx_, 46, 1024);
  ItemSetRaw(ctx_, 55, 0);
  ItemSetRaw(ctx_, 87, 0);
  ItemSetRaw(ctx_, 89, 50);
  UiRunBuiltInFunc(ctx_, 1);  // the paper change sets the scale back to 100 %
  EXPECT_EQ(ItemGetValue(ctx_, 89, nullptr), 100);
  RecordingModules rec;
  rec.Attach(ctx_);
  rec.SetAnswer(0, 1);
  UiRunBuiltInFunc(ctx_, 9);  // other codes go to the modules' action hooks
  ASSERT_EQ(rec.calls.size(), 1u);
  EXPECT_EQ(rec.calls[0].kind, 'a');
  EXPECT_EQ(rec.calls[0].code, 9);
  UiRunBuiltInFunc(nullptr, 9);
  EXPECT_EQ(rec.calls.size(), 1u);
}

TEST_F(UiHooksTest, StartDocHookLetsModulesSeeMessagesAndRangeOverrideSetsNothing)
{
  EXPECT_EQ(UiStartDocHook(nullptr, nullptr, nullptr, 101, 0, 0), 0);
  LONG mx = -1, mn = -1;
  EXPECT_EQ(CtlGetRangeOverride(ctx_, nullptr, &mx, &mn), 0);
  EXPECT_EQ(mx, -1);
  EXPECT_EQ(mn, -1);
  EXPECT_EQ(PjlGetVariableTable()->count, 33u);
  EXPECT_EQ(PjlGetVariableTable()->rows, g_kvPjlVariableRows) << "the same compiled-in rows as the other builds";
}

}  // namespace

namespace {

std::string IniText(const WCHAR *section, const WCHAR *key, const WCHAR *ini)
{
  WCHAR buf[260] = {};
  IniGetString(section, key, u"<none>", buf, 260, ini);
  return NarrowW(buf);
}

TEST_F(UiHooksTest, PresetListWritersKeepTheCountAndDropTheSnapshots)
{
  ASSERT_TRUE(FileCreateSettingsDirOf(ctx_));
  std::u16string ini = CtxGetSettingsIniPath(ctx_);
  std::u16string section = CtxGetPrinterSection(ctx_);
  ASSERT_FALSE(ini.empty());
  ctx_->state->presetSnapshots[3] = MemAllocZeroed(16);
  EXPECT_NE(ListAppendPreset(ctx_, u"C:\\p\\one.ksr", u"One", u"First"), 0);
  EXPECT_EQ(ctx_->state->presetSnapshots[3], nullptr);
  ListAppendPreset(ctx_, u"C:\\p\\two.ksr", u"Two", u"");
  EXPECT_EQ(IniText(section.c_str(), u"Count", ini.c_str()), "2");
  EXPECT_EQ(IniText(section.c_str(), u"PresetList0", ini.c_str()), "C:\\p\\one.ksr");
  EXPECT_EQ(IniText(section.c_str(), u"PresetList0Name", ini.c_str()), "One");
  EXPECT_EQ(IniText(section.c_str(), u"PresetList0Comment", ini.c_str()), "First");
  EXPECT_EQ(IniText(section.c_str(), u"PresetList1Name", ini.c_str()), "Two");

  ListClearPresets(ctx_);
  EXPECT_EQ(IniText(section.c_str(), u"Count", ini.c_str()), "0");
  EXPECT_EQ(IniText(section.c_str(), u"PresetList1Name", ini.c_str()), "Two");  // the keys stay

  // Shared settings on a terminal server: only an administrator may add to the list.
  CtxSetTSE(ctx_, 1);
  CtxSetAdmin(ctx_, 0);
  EXPECT_EQ(ListAppendPreset(ctx_, u"x", u"y", u"z"), 0);
  EXPECT_EQ(IniText(section.c_str(), u"Count", ini.c_str()), "0");
  CtxSetAdmin(ctx_, 1);
  ListAppendPreset(ctx_, u"x", u"y", u"z");
  EXPECT_EQ(IniText(section.c_str(), u"Count", ini.c_str()), "1");
}

TEST_F(UiHooksTest, DefaultFontNameOfWesternResourcesIsCutToTheCapacity)
{
  struct Case {
    int cch;
    const char *name;
  } cases[] = {{32, "Arial"}, {6, "Arial"}, {5, "Aria"}, {2, "A"}, {1, ""}};
  for (const Case &c : cases) {
    WCHAR buf[40];
    for (WCHAR &ch : buf) ch = u'#';
    ResGetDefaultFontName(ctx_, buf, c.cch);
    EXPECT_EQ(NarrowW(buf), c.name) << c.cch;
    for (int i = c.cch; i < 40; ++i) EXPECT_EQ(buf[i], u'#') << "capacity " << c.cch << ", character " << i;
  }
  WCHAR untouched[4] = {u'x', 0};
  ResGetDefaultFontName(ctx_, untouched, 0);
  EXPECT_EQ(untouched[0], u'x');
  ResGetDefaultFontName(ctx_, nullptr, 32);
}

}  // namespace

namespace {

TEST_F(UiHooksTest, SheetSetUpFlagsTheItemsOfTheContextOnly)
{
  UiSetSheetItemFlags(ctx_);
  struct Case {
    WORD id;
    DWORD flags;
  } cases[] = {{7, 0x00030000u},
               {8, 0x00030000u},
               {13, 0x00030000u},
               {56, 0x00030000u},
               {10143, 0x00030000u},
               {10206, 0x00030000u},
               {96, 0x80000000u},
               {99, 0x80000000u},
               {10062, 0x00130000u},
               {10070, 0x00130000u},
               {9, 0},
               {57, 0},
               {95, 0},
               {10207, 0}};
  for (const Case &c : cases) {
    OPTION_ITEM *item = ItemFindById(ctx_, c.id);
    ASSERT_NE(item, nullptr) << c.id;
    EXPECT_EQ(item->flags, c.flags) << c.id;
  }
  OPTION_ITEM *tpl = ItemFindById(CtxGetTemplate(), 7);
  ASSERT_NE(tpl, nullptr);
  EXPECT_EQ(tpl->flags, 0u);  // the template keeps flags 0
  // A write of a flagged item now raises the refresh request.
  ctx_->state->uiFlags = 0;
  ItemSetRaw(ctx_, 46, 9);
  EXPECT_EQ(ctx_->state->uiFlags & 0x00030000u, 0x00030000u);
}

}  // namespace
