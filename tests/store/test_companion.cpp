// Whether the job-binding companion application is installed, on the sample machine with
// and without it.
#include "kvplat/spool_control.h"
#include "os/os_registry.h"
#include "store_fixture.h"

namespace {

struct CompanionCase {
  const char *what;
  bool present;  // whether INSTALL_COUNT is written
  DWORD type;
  std::string bytes;
  DWORD kind;
  BOOL installed;
};

}  // namespace

TEST_F(StoreTest, CompanionAppCases)
{
  const CompanionCase cases[] = {
      {"not installed: no key", false, 0, "", KV_COMPANION_JOB_BINDING, FALSE},
      {"installed once", true, REG_DWORD, Dword(1), KV_COMPANION_JOB_BINDING, TRUE},
      {"installed three times", true, REG_DWORD, Dword(3), KV_COMPANION_JOB_BINDING, TRUE},
      {"uninstalled again: count 0", true, REG_DWORD, Dword(0), KV_COMPANION_JOB_BINDING, FALSE},
      {"binary count", true, REG_BINARY, Dword(0x100), KV_COMPANION_JOB_BINDING, TRUE},
      {"shorter value is zero-extended", true, REG_BINARY, std::string("\x02", 1), KV_COMPANION_JOB_BINDING, TRUE},
      {"shorter zero value", true, REG_BINARY, std::string("\x00\x00", 2), KV_COMPANION_JOB_BINDING, FALSE},
      {"too long: refused", true, REG_BINARY, Dword(1) + Dword(0), KV_COMPANION_JOB_BINDING, FALSE},
      {"text is read as its bytes", true, REG_SZ, TextBytes(u"1"), KV_COMPANION_JOB_BINDING, TRUE},
      {"another kind", true, REG_DWORD, Dword(1), 1, FALSE},
      {"kind 0", true, REG_DWORD, Dword(1), 0, FALSE},
  };
  for (const CompanionCase &c : cases) {
    SCOPED_TRACE(c.what);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KV_COMPANION_APP_KEY, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      RegDeleteValueW(key, KV_COMPANION_APP_VALUE);
      RegCloseKey(key);
    }
    if (c.present) PutMachineValue(KV_COMPANION_APP_KEY, KV_COMPANION_APP_VALUE, c.type, c.bytes);
    EXPECT_EQ(c.installed, OsIsCompanionAppInstalled(c.kind, &ctx_));
    EXPECT_EQ(c.installed, OsIsCompanionAppInstalled(c.kind, nullptr)) << "the context is not needed";
  }
}

TEST_F(StoreTest, CompanionAppAnswerNeedsNoRights)
{
  PutMachineValue(KV_COMPANION_APP_KEY, KV_COMPANION_APP_VALUE, REG_DWORD, Dword(1));
  PlatRegSetAdministrator(FALSE);
  PlatSpoolSetAccess(FALSE, TRUE);
  EXPECT_TRUE(OsIsCompanionAppInstalled(KV_COMPANION_JOB_BINDING, &ctx_)) << "a user reads HKLM";
}
