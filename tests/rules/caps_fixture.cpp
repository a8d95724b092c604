#include "caps_fixture.h"

#include "kvplat/module_control.h"
#include "files/paths.h"
#include "names/resources.h"

LONG CapsTest::binsAnswer_ = 0;
LONG CapsTest::resolutionsAnswer_ = 0;

namespace {

LONG WINAPI ShowAllNotify(DRIVER_CONTEXT *ctx, WORD event, void *data, void *priv)
{
  (void)ctx, (void)priv;
  auto *answer = static_cast<KV_EVT_ANSWER_DATA *>(data);
  if (event == KV_EVT_BIN_MODEL_VALUE)
    answer->answer = CapsTest::binsAnswer_;
  else if (event == KV_EVT_LIST_RESOLUTIONS)
    answer->answer = CapsTest::resolutionsAnswer_;
  else
    return 0;
  return 1;
}

}  // namespace

void CapsTest::SetUp()
{
  CompiledRulesTest::SetUp();
  if (HasFatalFailure()) return;
  WCHAR dir[MAX_PATH];
  ASSERT_NE(OsGetDriverDir(printer_, dir, MAX_PATH), nullptr);
  std::u16string us = std::u16string(dir) + u"kvmlr_us.dll";
  ASSERT_TRUE(PlatModuleRegister(us.c_str(), KV_RES_US_SO));
  b_.SetUiResDllName(u"kvmlr_us.dll");
  ItemSetRaw(ctx_, KV_ITEM_LANGUAGE_ID, 1);  // English
  ShowAll(0, 0);
  static const MODULE_HOOK_ROW row = {0, nullptr, nullptr, nullptr, ShowAllNotify};
  CtxAttachModuleTable(ctx_, &row, 1);
}

void CapsTest::ShowAll(LONG bins, LONG resolutions)
{
  binsAnswer_ = bins;
  resolutionsAnswer_ = resolutions;
}

WORD CapsTest::KeyOf(WORD itemId)
{
  const OPTION_ITEM *row = ItemFindById(ctx_, itemId);
  EXPECT_NE(row, nullptr) << itemId;
  return row != nullptr ? row->symbolKey : 0;
}

std::u16string W(const WCHAR *s) { return s != nullptr ? std::u16string(s) : std::u16string(u"<null>"); }
