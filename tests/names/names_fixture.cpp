#include "names_fixture.h"

#include <string.h>

#include "kvplat/module_control.h"
#include "files/paths.h"

std::u16string S(const WCHAR *s) { return s != nullptr ? std::u16string(s) : std::u16string(u"<null>"); }

void NamesTest::SetUp()
{
  ContextTest::SetUp();
  WCHAR dir[MAX_PATH];
  ASSERT_NE(OsGetDriverDir(printer_, dir, MAX_PATH), nullptr);
  dir_ = dir;
  ASSERT_TRUE(PlatModuleRegister((dir_ + u"kvmlr_us.dll").c_str(), KV_RES_US_SO));
  ASSERT_TRUE(PlatModuleRegister((dir_ + u"kvmlr_jp.dll").c_str(), KV_RES_JP_SO));
  ASSERT_TRUE(PlatModuleRegister((dir_ + u"kvmlC_XX.dll").c_str(), KV_RES_COMMON_SO));
  SetUiResDllName(u"kvmlr_us.dll");
  ctx_ = Create();
  ASSERT_NE(ctx_, nullptr);
  ASSERT_EQ(ctx_->desc, blob_);
  SetLanguage(1);  // English unless a test asks otherwise
}

void NamesTest::TearDown()
{
  if (ctx_ != nullptr) CtxDestroy(ctx_, 0);
  ctx_ = nullptr;
  ContextTest::TearDown();
}

void NamesTest::SetUiResDllName(const WCHAR *name)
{
  uiName_ = name != nullptr ? name : u"";
  const WCHAR *field = name != nullptr ? uiName_.c_str() : nullptr;
  memcpy((BYTE *)blob_ + 6660, &field, sizeof field);
  if (ctx_ != nullptr) ResFreeDlls(ctx_);
}

BOOL NamesTest::SetPrinterHelpFile(const WCHAR *name)
{
  DWORD bytes = (DWORD)(std::u16string(name).size() + 1) * sizeof(WCHAR);
  return SetPrinterDataW(printer_, (LPWSTR)u"HelpFileName", REG_SZ, (LPBYTE)name, bytes) == ERROR_SUCCESS;
}
