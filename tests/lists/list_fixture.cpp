#include "list_fixture.h"

#include "files/ini.h"
#include "files/settings_dirs.h"
#include "items/item_store.h"
#include "model/state_items.h"
#include "names/names_paths.h"

void ListTest::SetUp()
{
  KstTest::SetUp();
  ini_ = CtxGetSettingsIniPath(ctx_);
  section_ = CtxGetPrinterSection(ctx_);
  lang_ = CtxGetLangSection(ctx_);
  ASSERT_FALSE(ini_.empty());
  ASSERT_FALSE(section_.empty());
  ASSERT_FALSE(lang_.empty());
}

std::string ListTest::IniValue(const WCHAR *section, const WCHAR *key) const
{
  WCHAR buf[1100] = {};
  IniGetString(section, key, u"", buf, 1100, ini_.c_str());
  return Narrow(buf);
}

std::string ListTest::PrinterValue(const char *key) const { return IniValue(section_.c_str(), U16(key).c_str()); }

void ListTest::PutPrinterValue(const char *key, const char *value) const
{
  IniWriteString(section_.c_str(), U16(key).c_str(), U16(value).c_str(), ini_.c_str());
}

std::string ListTest::InListDir(const char *name) const
{
  WCHAR dir[MAX_PATH] = {};
  PathGetListSettingsDir(dir, MAX_PATH, ctx_);
  return Narrow(dir) + "\\" + name;
}

void ListTest::SetBarred(bool barred)
{
  CtxSetTSE(ctx_, barred ? 1 : 0);
  CtxSetAdmin(ctx_, barred ? 0 : 1);
}
