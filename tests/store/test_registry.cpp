// Machine registry values on the sample machine: the generic reader and writer, the
// driver's own key, the custom-setup switch and the help file the spooler recorded.
#include <string.h>

#include "kvplat/os_control.h"
#include "names/resources.h"
#include "kvplat/spool_control.h"
#include "os/os.h"
#include "os/os_registry.h"
#include "os/driver_registry.h"
#include "os/printer_data.h"
#include "store_fixture.h"

namespace {

const WCHAR kKey[] = u"SOFTWARE\\KvTest\\Values";
const BYTE kFill = 0xAA;

struct RegReadCase {
  const char *what;
  DWORD type;  // REG_NONE: nothing stored
  std::string bytes;
  const WCHAR *subkey;
  const WCHAR *name;
  DWORD bufferBytes;  // of a 16-byte buffer
  BOOL ok;
  std::string expected;  // the buffer's first bytes after the call; the rest stays kFill
  DWORD error;
};

std::string Filled(size_t n) { return std::string(n, static_cast<char>(kFill)); }

}  // namespace

TEST_F(StoreTest, RegReadMachineValueCases)
{
  const RegReadCase cases[] = {
      {"exact size", REG_DWORD, Dword(9), kKey, u"V", 4, TRUE, Dword(9), 0},
      {"shorter value: the rest is zeroed", REG_BINARY, "\x05", kKey, u"V", 6, TRUE, std::string("\x05\0\0\0\0\0", 6),
       0},
      {"any type is read", REG_SZ, TextBytes(u"ab"), kKey, u"V", 6, TRUE, TextBytes(u"ab"), 0},
      {"value name in another case", REG_DWORD, Dword(9), u"software\\kvtest\\VALUES", u"v", 4, TRUE, Dword(9), 0},
      {"missing value", REG_NONE, "", kKey, u"V", 4, FALSE, "", ERROR_FILE_NOT_FOUND},
      {"missing key", REG_DWORD, Dword(9), u"SOFTWARE\\KvTest\\Other", u"V", 4, FALSE, "", ERROR_FILE_NOT_FOUND},
      {"too long: refused, never cut", REG_BINARY, std::string(12, 'x'), kKey, u"V", 8, FALSE, "", ERROR_MORE_DATA},
      {"NULL subkey", REG_DWORD, Dword(9), nullptr, u"V", 4, FALSE, "", ERROR_INVALID_PARAMETER},
      {"empty subkey", REG_DWORD, Dword(9), u"", u"V", 4, FALSE, "", ERROR_INVALID_PARAMETER},
      {"NULL value name", REG_DWORD, Dword(9), kKey, nullptr, 4, FALSE, "", ERROR_INVALID_PARAMETER},
      {"zero bytes", REG_DWORD, Dword(9), kKey, u"V", 0, FALSE, "", ERROR_INVALID_PARAMETER},
  };
  for (const RegReadCase &c : cases) {
    SCOPED_TRACE(c.what);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      RegDeleteValueW(key, u"V");
      RegCloseKey(key);
    }
    if (c.type != REG_NONE) PutMachineValue(kKey, u"V", c.type, c.bytes);
    for (int typed = 0; typed < 2; ++typed) {
      BYTE buf[16];
      memset(buf, kFill, sizeof buf);
      DWORD type = 0xFFFF;
      SetLastError(0);
      BOOL ok = typed ? OsRegReadMachineValueTyped(c.subkey, c.name, buf, c.bufferBytes, &type, &ctx_)
                      : OsRegReadMachineValue(c.subkey, c.name, buf, c.bufferBytes, &ctx_);
      EXPECT_EQ(c.ok, ok);
      EXPECT_EQ(c.expected + Filled(16 - c.expected.size()), std::string(reinterpret_cast<char *>(buf), 16));
      if (!c.ok) {
        EXPECT_EQ(c.error, GetLastError());
      }
      if (typed) {
        EXPECT_EQ(c.ok ? c.type : 0xFFFFu, type);
      }
    }
  }
  EXPECT_FALSE(OsRegReadMachineValue(kKey, u"V", nullptr, 4, nullptr)) << "NULL buffer";
}

TEST_F(StoreTest, RegReadMachineTextCases)
{
  struct {
    const char *what;
    DWORD type;
    std::string bytes;
    DWORD bufferBytes;  // at most 32
    BOOL ok;
    const char *text;  // on failure NULL: untouched
  } cases[] = {
      {"REG_SZ", REG_SZ, TextBytes(u"C:\\kv"), 32, TRUE, "C:\\kv"},
      {"REG_EXPAND_SZ is taken as stored", REG_EXPAND_SZ, TextBytes(u"%SystemDrive%"), 32, TRUE, "%SystemDrive%"},
      {"stored without terminator", REG_SZ, std::string("a\0b\0", 4), 32, TRUE, "ab"},
      {"fills the buffer with its terminator", REG_SZ, TextBytes(u"abc"), 8, TRUE, "abc"},
      {"fills the buffer without terminator", REG_SZ, std::string("a\0b\0c\0d\0", 8), 8, FALSE, ""},
      {"too long", REG_SZ, TextBytes(u"abcdefgh"), 8, FALSE, nullptr},
      {"a DWORD is not text", REG_DWORD, Dword(0x41), 32, FALSE, nullptr},
      {"binary is not text", REG_BINARY, TextBytes(u"C:\\kv"), 32, FALSE, nullptr},
      {"one character of room", REG_SZ, TextBytes(u""), 2, FALSE, nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    PutMachineValue(kKey, u"T", c.type, c.bytes);
    WCHAR buf[20];  // the calls get at most 16 characters of it
    for (WCHAR &ch : buf) ch = u'#';
    EXPECT_EQ(c.ok, OsRegReadMachineText(kKey, u"T", buf, c.bufferBytes, &ctx_));
    if (c.text) {
      EXPECT_EQ(c.text, Narrow(buf));
    } else {
      EXPECT_EQ(u'#', buf[0]);
    }
    EXPECT_EQ(u'#', buf[c.bufferBytes / sizeof(WCHAR)]);
  }
}

namespace {

struct RegWriteCase {
  const char *what;
  const WCHAR *subkey;
  const WCHAR *name;
  DWORD type;
  std::string bytes;  // empty: NULL data
  DWORD size;
  int fault;  // 0 none, 1 not an administrator, 2 injected write failure
  BOOL ok;
  DWORD error;
};

}  // namespace

TEST_F(StoreTest, RegWriteMachineValueCases)
{
  const WCHAR *fresh = u"SOFTWARE\\KvTest\\New\\Deeper";
  const RegWriteCase cases[] = {
      {"DWORD", kKey, u"W", REG_DWORD, Dword(3), 4, 0, TRUE, 0},
      {"text", kKey, u"W", REG_SZ, TextBytes(u"x"), 4, 0, TRUE, 0},
      {"creates the missing keys", fresh, u"W", REG_BINARY, "\x01\x02", 2, 0, TRUE, 0},
      {"an empty value", kKey, u"W", REG_BINARY, "", 0, 0, TRUE, 0},
      {"NULL data with a size", kKey, u"W", REG_BINARY, "", 4, 0, FALSE, ERROR_INVALID_PARAMETER},
      {"NULL subkey", nullptr, u"W", REG_DWORD, Dword(3), 4, 0, FALSE, ERROR_INVALID_PARAMETER},
      {"empty subkey", u"", u"W", REG_DWORD, Dword(3), 4, 0, FALSE, ERROR_INVALID_PARAMETER},
      {"NULL value name", kKey, nullptr, REG_DWORD, Dword(3), 4, 0, FALSE, ERROR_INVALID_PARAMETER},
      {"not an administrator", kKey, u"W", REG_DWORD, Dword(3), 4, 1, FALSE, ERROR_ACCESS_DENIED},
      {"not an administrator, new key", u"SOFTWARE\\KvTest\\Barred", u"W", REG_DWORD, Dword(3), 4, 1, FALSE,
       ERROR_ACCESS_DENIED},
      {"injected failure", kKey, u"W", REG_DWORD, Dword(3), 4, 2, FALSE, ERROR_CANTWRITE},
  };
  for (const RegWriteCase &c : cases) {
    SCOPED_TRACE(c.what);
    PutMachineValue(kKey, u"W", REG_BINARY, "old");
    if (c.fault == 1) PlatRegSetAdministrator(FALSE);
    if (c.fault == 2) PlatFaultArm(PLAT_FAULT_REG_WRITE, 1);
    SetLastError(0);
    BOOL ok =
        OsRegWriteMachineValue(c.subkey, c.name, c.bytes.empty() ? nullptr : c.bytes.data(), c.size, c.type, &ctx_);
    PlatFaultDisarmAll();
    PlatRegSetAdministrator(TRUE);
    EXPECT_EQ(c.ok, ok);
    DWORD type = 0;
    if (c.ok) {
      EXPECT_EQ(c.bytes, GetMachineValue(c.subkey, u"W", &type));
      EXPECT_EQ(c.type, type);
    } else {
      EXPECT_EQ(c.error, GetLastError());
      EXPECT_EQ("old", GetMachineValue(kKey, u"W"));
    }
  }
  EXPECT_EQ("<missing>", GetMachineValue(u"SOFTWARE\\KvTest\\Barred", u"W")) << "no key was created";
}

TEST_F(StoreTest, DriverRegValues)
{
  // The sample machine has no values in the driver's key yet.
  WCHAR buf[MAX_PATH];
  for (WCHAR &ch : buf) ch = u'#';
  EXPECT_FALSE(StoreReadDriverRegValue(u"SpoolDirectory", buf, sizeof buf));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_EQ(u'#', buf[0]);

  const std::string spool = TextBytes(u"C:\\Spool\\kv");
  ASSERT_TRUE(StoreWriteDriverRegString(u"SpoolDirectory", u"C:\\Spool\\kv", static_cast<DWORD>(spool.size())));
  DWORD type = 0;
  EXPECT_EQ(spool, GetMachineValue(KV_DRIVER_REG_KEY, u"SpoolDirectory", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  ASSERT_TRUE(StoreReadDriverRegValue(u"SpoolDirectory", buf, sizeof buf));
  EXPECT_EQ("C:\\Spool\\kv", Narrow(buf));
  type = 0;
  ASSERT_TRUE(StoreReadDriverRegValueTyped(u"SpoolDirectory", buf, sizeof buf, &type));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_FALSE(StoreReadDriverRegValue(u"SpoolDirectory", buf, 8)) << "too long for the buffer";

  struct {
    const char *what;
    const WCHAR *name;
    const WCHAR *data;
    int fault;
    DWORD error;
  } refused[] = {
      {"NULL value name", nullptr, u"x", 0, ERROR_INVALID_PARAMETER},
      {"NULL data", u"SpoolDirectory", nullptr, 0, ERROR_INVALID_PARAMETER},
      {"not an administrator", u"SpoolDirectory", u"D:\\x", 1, ERROR_ACCESS_DENIED},
      {"injected failure", u"SpoolDirectory", u"D:\\x", 2, ERROR_CANTWRITE},
  };
  for (const auto &c : refused) {
    SCOPED_TRACE(c.what);
    if (c.fault == 1) PlatRegSetAdministrator(FALSE);
    if (c.fault == 2) PlatFaultArm(PLAT_FAULT_REG_WRITE, 1);
    EXPECT_FALSE(StoreWriteDriverRegString(c.name, c.data, 8));
    EXPECT_EQ(c.error, GetLastError());
    PlatFaultDisarmAll();
    PlatRegSetAdministrator(TRUE);
    EXPECT_EQ(spool, GetMachineValue(KV_DRIVER_REG_KEY, u"SpoolDirectory"));
  }
  PlatRegSetAdministrator(FALSE);
  EXPECT_TRUE(StoreReadDriverRegValue(u"SpoolDirectory", buf, sizeof buf)) << "a user reads it";
}

TEST_F(StoreTest, SaveDeviceSetupCases)
{
  struct {
    const char *what;
    DWORD type;  // REG_NONE: missing
    std::string bytes;
    BOOL on;
  } cases[] = {
      {"missing", REG_NONE, "", FALSE},
      {"DWORD 1", REG_DWORD, Dword(1), TRUE},
      {"DWORD 0", REG_DWORD, Dword(0), FALSE},
      {"DWORD 2", REG_DWORD, Dword(2), FALSE},
      {"only the first 16-bit unit counts", REG_DWORD, Dword(0x20001), TRUE},
      {"text \"1\" is not the DWORD 1", REG_SZ, TextBytes(u"1"), FALSE},
      {"a 16-bit 1", REG_BINARY, std::string("\x01\x00", 2), TRUE},
      {"520 bytes fit", REG_BINARY, std::string("\x01", 1) + std::string(519, '\0'), TRUE},
      {"longer than 520 bytes", REG_BINARY, std::string("\x01", 1) + std::string(520, '\0'), FALSE},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KV_CUSTOM_SETUP_REG_KEY, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      RegDeleteValueW(key, KV_SAVE_DEVICE_SETUP_VALUE);
      RegCloseKey(key);
    }
    if (c.type != REG_NONE) PutMachineValue(KV_CUSTOM_SETUP_REG_KEY, KV_SAVE_DEVICE_SETUP_VALUE, c.type, c.bytes);
    EXPECT_EQ(c.on, StoreIsSaveDeviceSetupOn(&ctx_));
    PlatRegSetAdministrator(FALSE);
    EXPECT_EQ(c.on, StoreIsSaveDeviceSetupOn(&ctx_)) << "the same for a user";
    PlatRegSetAdministrator(TRUE);
  }
}

namespace {

const WCHAR kV3[] = KV_DRIVERS_KEY_V3 u"\\";
const WCHAR kV2[] = KV_DRIVERS_KEY_V2 u"\\";

std::u16string DriverKey(const WCHAR *base, const std::u16string &driver) { return base + driver; }

}  // namespace

TEST_F(StoreTest, DriverHelpFileOfTheSampleDriver)
{
  WCHAR buf[64];
  ASSERT_TRUE(OsGetDriverHelpFile(DriverName().c_str(), buf, sizeof buf, &ctx_));
  EXPECT_EQ("kvmlhelp.hlp", Narrow(buf)) << "the name printer.ini installs";
  PlatRegSetAdministrator(FALSE);
  PlatSpoolSetAccess(FALSE, TRUE);
  EXPECT_TRUE(OsGetDriverHelpFile(DriverName().c_str(), buf, sizeof buf, &ctx_)) << "a user reads it";
}

TEST_F(StoreTest, DriverHelpFileCases)
{
  const std::u16string old = u"KV Old Driver";
  struct {
    const char *what;
    PLAT_OS_PROFILE os;
    const WCHAR *v3;  // "Help File" under Version-3, or NULL for no key
    const WCHAR *v2;  // under Version-2
    DWORD bufferBytes;
    const char *found;  // NULL: not found
  } cases[] = {
      {"Windows 2000: version 3", PLAT_OS_WIN2000_SP4, u"v3us.hlp", nullptr, 64, "v3us.hlp"},
      {"Windows 2000: version 3 first", PLAT_OS_WIN2000_SP4, u"v3us.hlp", u"v2us.hlp", 64, "v3us.hlp"},
      {"Windows 7: only version 2 registered", PLAT_OS_WIN7_SP1, nullptr, u"v2jp.hlp", 64, "v2jp.hlp"},
      {"empty under version 3: version 2", PLAT_OS_WIN7_SP1, u"", u"v2jp.hlp", 64, "v2jp.hlp"},
      {"NT 4: version 2", PLAT_OS_NT4_SP6, u"v3us.hlp", u"v2us.hlp", 64, "v2us.hlp"},
      {"NT 4: only version 3 registered", PLAT_OS_NT4_SP6, u"v3us.hlp", nullptr, 64, nullptr},
      {"not registered", PLAT_OS_WIN7_SP1, nullptr, nullptr, 64, nullptr},
      {"empty everywhere", PLAT_OS_WIN7_SP1, u"", u"", 64, nullptr},
      {"too long for the buffer", PLAT_OS_WIN7_SP1, u"a-long-help-file.hlp", nullptr, 16, nullptr},
      {"one character of room", PLAT_OS_WIN7_SP1, u"a", nullptr, 2, nullptr},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(PlatSetOsProfile(c.os));
    OsVersionCacheResetForTest();
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, DriverKey(kV3, old).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, DriverKey(kV2, old).c_str());
    if (c.v3) PutMachineValue(DriverKey(kV3, old).c_str(), KV_DRIVER_HELP_FILE_VALUE, REG_SZ, TextBytes(c.v3));
    if (c.v2) PutMachineValue(DriverKey(kV2, old).c_str(), KV_DRIVER_HELP_FILE_VALUE, REG_SZ, TextBytes(c.v2));
    WCHAR buf[40];  // the calls get at most 32 characters of it
    for (WCHAR &ch : buf) ch = u'#';
    BOOL ok = OsGetDriverHelpFile(old.c_str(), buf, c.bufferBytes, &ctx_);
    EXPECT_EQ(c.found != nullptr, ok != FALSE);
    if (c.found) {
      EXPECT_EQ(c.found, Narrow(buf));
    }
    EXPECT_EQ(u'#', buf[c.bufferBytes / sizeof(WCHAR)]);
  }
  WCHAR buf[32];
  PutMachineValue(DriverKey(kV3, old).c_str(), KV_DRIVER_HELP_FILE_VALUE, REG_BINARY, TextBytes(u"bin.hlp"));
  EXPECT_FALSE(OsGetDriverHelpFile(old.c_str(), buf, sizeof buf, &ctx_)) << "not text";
  EXPECT_FALSE(OsGetDriverHelpFile(nullptr, buf, sizeof buf, &ctx_));
  EXPECT_FALSE(OsGetDriverHelpFile(u"", buf, sizeof buf, &ctx_));
  EXPECT_FALSE(OsGetDriverHelpFile(DriverName().c_str(), nullptr, sizeof buf, &ctx_));
}

TEST_F(StoreTest, LanguagesFollowTheRegisteredAndStoredHelpFiles)
{
  // The driver's language comes from its registry record, on Windows 2000 and later from
  // version 2 when version 3 names no file; the printer's from "HelpFileName".
  EXPECT_EQ("us", Narrow(ResGetDriverLanguageCode(&ctx_))) << "kvmlhelp.hlp names no listed code";
  PutMachineValue(DriverKey(kV3, DriverName()).c_str(), KV_DRIVER_HELP_FILE_VALUE, REG_SZ, TextBytes(u"kvhelpgm.hlp"));
  EXPECT_EQ("gm", Narrow(ResGetDriverLanguageCode(&ctx_)));
  PutMachineValue(DriverKey(kV3, DriverName()).c_str(), KV_DRIVER_HELP_FILE_VALUE, REG_SZ, TextBytes(u""));
  PutMachineValue(DriverKey(kV2, DriverName()).c_str(), KV_DRIVER_HELP_FILE_VALUE, REG_SZ, TextBytes(u"kvhelpjp.hlp"));
  EXPECT_EQ("jp", Narrow(ResGetDriverLanguageCode(&ctx_)));

  EXPECT_EQ("us", Narrow(ResGetPrinterLanguageCode(printer_))) << "no HelpFileName";
  PutText(KV_PD_HELP_FILE_NAME, u"kvhelpfr.chm");
  EXPECT_EQ("fr", Narrow(ResGetPrinterLanguageCode(printer_)));
  EXPECT_EQ("fr", Narrow(ResGetPrinterLanguageCodeOfCtx(&ctx_)));
  PutData(KV_PD_HELP_FILE_NAME, REG_BINARY, TextBytes(u"kvhelpgm.hlp"));
  EXPECT_EQ("us", Narrow(ResGetPrinterLanguageCode(printer_))) << "a value that is not text is not a name";
}
