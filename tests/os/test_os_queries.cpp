// Version predicates, the administrator and terminal-server tests, the spooler
// wrappers and the read-only file mapping.
#include <string>

#include "files/file_helpers.h"
#include "files/paths.h"
#include "kvplat/module_control.h"
#include "kvplat/os_control.h"
#include "os_fixture.h"
#include "store/settings_store.h"

namespace {

struct VersionCase {
  PLAT_OS_PROFILE profile;
  BOOL nt5, nt52, nt6, win9x, w2kBeforeSp4;
};

const VersionCase kVersionCases[] = {
    {PLAT_OS_WIN98, FALSE, FALSE, FALSE, TRUE, FALSE},      {PLAT_OS_NT4_SP6, FALSE, FALSE, FALSE, FALSE, FALSE},
    {PLAT_OS_WIN2000_SP3, TRUE, FALSE, FALSE, FALSE, TRUE}, {PLAT_OS_WIN2000_SP4, TRUE, FALSE, FALSE, FALSE, FALSE},
    {PLAT_OS_XP_SP2, TRUE, FALSE, FALSE, FALSE, FALSE},     {PLAT_OS_SERVER2003_SP2, TRUE, TRUE, FALSE, FALSE, FALSE},
    {PLAT_OS_VISTA_SP2, TRUE, TRUE, TRUE, FALSE, FALSE},    {PLAT_OS_WIN7_SP1, TRUE, TRUE, TRUE, FALSE, FALSE},
};

}  // namespace

class OsQueryTest : public OsTest {};

TEST_F(OsQueryTest, VersionPredicatesFollowTheProfile)
{
  for (const VersionCase &c : kVersionCases) {
    SCOPED_TRACE(c.profile);
    ASSERT_TRUE(PlatSetOsProfile(c.profile));
    OsVersionCacheResetForTest();
    EXPECT_EQ(c.nt5, OsIsNT5OrLater());
    EXPECT_EQ(c.nt52, OsIsNT52OrLater());
    EXPECT_EQ(c.nt6, OsIsNT6OrLater());
    EXPECT_EQ(c.win9x, OsIsWin9x());
    EXPECT_EQ(c.w2kBeforeSp4, OsIsWin2000BeforeSP4());
    EXPECT_EQ(sizeof(OSVERSIONINFOW), g_osVersionCache.version.dwOSVersionInfoSize);
  }
}

TEST_F(OsQueryTest, Nt5AnswerIsCachedButOtherPredicatesAreNot)
{
  ASSERT_TRUE(PlatSetOsProfile(PLAT_OS_NT4_SP6));
  EXPECT_FALSE(OsIsNT5OrLater());
  ASSERT_TRUE(PlatSetOsProfile(PLAT_OS_WIN7_SP1));
  EXPECT_FALSE(OsIsNT5OrLater()) << "the first answer holds for the process";
  EXPECT_EQ(2u, g_osVersionCache.nt5State);
  EXPECT_TRUE(OsIsNT6OrLater());
  EXPECT_EQ(6u, g_osVersionCache.version.dwMajorVersion);
}

// A failed read is not an answer: it must not pin "before NT5" (and with it the settings
// folder) for the rest of the process.
TEST_F(OsQueryTest, Nt5FailedReadIsNotCached)
{
  ASSERT_TRUE(PlatSetOsProfile(PLAT_OS_WIN7_SP1));
  OsVersionCacheResetForTest();
  PlatFaultArm(PLAT_FAULT_OS_VERSION, 1);
  EXPECT_FALSE(OsIsNT5OrLater());
  EXPECT_EQ(0u, g_osVersionCache.nt5State);
  EXPECT_TRUE(OsIsNT5OrLater());
  EXPECT_EQ(1u, g_osVersionCache.nt5State);
}

TEST_F(OsQueryTest, AdministratorFollowsTheToken)
{
  PlatSetAdministrator(TRUE);
  EXPECT_TRUE(OsCheckAdminAccess());
  EXPECT_TRUE(OsIsAdministrator(nullptr));
  PlatSetAdministrator(FALSE);
  EXPECT_FALSE(OsCheckAdminAccess());
  FakeContext checking;
  EXPECT_FALSE(OsIsAdministrator(&checking.ctx));
  FakeContext asAdmin;
  asAdmin.state->checkAdmin = 0;  // opened with the administrator check off
  EXPECT_TRUE(OsIsAdministrator(&asAdmin.ctx));
}

TEST_F(OsQueryTest, AdministratorCheckFailsClosedWhenAllocationFails)
{
  PlatSetAdministrator(TRUE);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);  // the descriptor or the SID cannot be allocated
  EXPECT_FALSE(OsCheckAdminAccess());
  PlatFaultDisarmAll();
  EXPECT_TRUE(OsCheckAdminAccess());
}

TEST_F(OsQueryTest, TerminalServerBySuiteBeforeServer2003)
{
  struct {
    PLAT_OS_PROFILE profile;
    BOOL expected;
  } cases[] = {{PLAT_OS_WIN2000_SP4, FALSE}, {PLAT_OS_XP_SP2, TRUE}};
  for (auto &c : cases) {
    ASSERT_TRUE(PlatSetOsProfile(c.profile));
    OsVersionCacheResetForTest();
    EXPECT_EQ(c.expected, OsProbeTerminalServer(nullptr)) << c.profile;
  }
}

class TerminalServerProbeTest : public OsTest {
 protected:
  void SetUp() override
  {
    OsTest::SetUp();
    ASSERT_TRUE(PlatSetOsProfile(PLAT_OS_SERVER2003_SP2));
    InstallPrinter();
    probePath_ = std::u16string(DriverDir()) + u"tvpktsrv.dll";
  }
  void TearDown() override
  {
    SetEnvironmentVariableW(u"KVML_TS_CLIENT", nullptr);
    OsTest::TearDown();
  }
  std::u16string probePath_;
};

TEST_F(TerminalServerProbeTest, AnswersWhatTheProbeDllSays)
{
  ASSERT_TRUE(PlatModuleRegister(probePath_.c_str(), KV_TVPKTSRV_SO));
  DWORD loadedBefore = PlatModuleLoadedCount();
  ASSERT_TRUE(SetEnvironmentVariableW(u"KVML_TS_CLIENT", u"1"));
  EXPECT_TRUE(OsProbeTerminalServer(printer_));
  ASSERT_TRUE(SetEnvironmentVariableW(u"KVML_TS_CLIENT", u"0"));
  EXPECT_FALSE(OsProbeTerminalServer(printer_));
  EXPECT_EQ(loadedBefore, PlatModuleLoadedCount()) << "the probe DLL is freed again";
}

TEST_F(TerminalServerProbeTest, MissingDllOrExportAnswersNoWithoutVersionFallback)
{
  ASSERT_TRUE(SetEnvironmentVariableW(u"KVML_TS_CLIENT", u"1"));
  EXPECT_FALSE(OsProbeTerminalServer(printer_)) << "no DLL in the driver folder";
  // A DLL of that name without the export.
  ASSERT_TRUE(PlatModuleRegister(probePath_.c_str(), KV_USERENV_SO));
  EXPECT_FALSE(OsProbeTerminalServer(printer_));
}

TEST_F(TerminalServerProbeTest, SharedSettingsBuildNeverProbes)
{
  ASSERT_TRUE(PlatModuleRegister(probePath_.c_str(), KV_TVPKTSRV_SO));
  ASSERT_TRUE(SetEnvironmentVariableW(u"KVML_TS_CLIENT", u"1"));
  ASSERT_TRUE(BUILD_OPTIONS & KV_BUILD_OPTION_SHARED_SETTINGS);
  EXPECT_FALSE(OsIsTerminalServer(printer_));
  EXPECT_EQ(0u, g_osVersionCache.terminalServerState) << "nothing probed";
  // Without the shared-settings option the first answer is probed and cached.
  EXPECT_TRUE(OsIsTerminalServerWithOptions(printer_, 0));
  ASSERT_TRUE(SetEnvironmentVariableW(u"KVML_TS_CLIENT", u"0"));
  EXPECT_TRUE(OsIsTerminalServerWithOptions(printer_, 0));
  EXPECT_EQ(1u, g_osVersionCache.terminalServerState);
}

TEST_F(OsQueryTest, SpoolerWrappersReturnFilledBuffers)
{
  HANDLE h = InstallPrinter(PRINTER_ATTRIBUTE_ENABLE_BIDI);
  PRINTER_INFO_2W *pi = static_cast<PRINTER_INFO_2W *>(OsGetPrinterInfo(h, 2));
  ASSERT_NE(nullptr, pi);
  EXPECT_EQ("KV Test", Narrow(pi->pPrinterName));
  GlobalFree(pi);
  DRIVER_INFO_3W *di = static_cast<DRIVER_INFO_3W *>(OsGetPrinterDriverInfo(h, 3));
  ASSERT_NE(nullptr, di);
  EXPECT_EQ("KV Test Driver", Narrow(di->pName));
  GlobalFree(di);
  LPWSTR data = PathGetDriverDataFile(h);
  ASSERT_NE(nullptr, data);
  EXPECT_EQ(Narrow(DriverDir()) + "kvtest.kdt", Narrow(data));
  GlobalFree(data);

  FakeContext fc;
  fc.ctx.printer = h;
  EXPECT_TRUE(OsPrinterBidiEnabled(&fc.ctx));
  EXPECT_FALSE(OsPrinterHasAttribute(PRINTER_ATTRIBUTE_SHARED, &fc.ctx));
  EXPECT_FALSE(OsPrinterIsConnection(&fc.ctx));
}

TEST_F(OsQueryTest, SpoolerWrappersFailCleanly)
{
  EXPECT_EQ(nullptr, OsGetPrinterInfo(nullptr, 2));
  EXPECT_EQ(nullptr, OsGetPrinterDriverInfo(nullptr, 3));
  EXPECT_EQ(nullptr, PathGetDriverDataFile(nullptr));
  EXPECT_FALSE(OsPrinterHandleIsConnection(nullptr));
  HANDLE h = InstallPrinter();
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(nullptr, OsGetPrinterInfo(h, 2));
  PlatFaultDisarmAll();
  DWORD v = 7;
  EXPECT_FALSE(StoreGetAdminChange(h, &v)) << "no AdminChange value";
}

TEST_F(OsQueryTest, AdminChangeFlag)
{
  HANDLE h = InstallPrinter();
  DWORD one = 1, zero = 0, v = 0;
  ASSERT_EQ(ERROR_SUCCESS,
            SetPrinterDataW(h, const_cast<LPWSTR>(u"AdminChange"), REG_BINARY, reinterpret_cast<LPBYTE>(&one), 4));
  EXPECT_TRUE(StoreGetAdminChange(h, &v));
  EXPECT_EQ(1u, v);
  ASSERT_EQ(ERROR_SUCCESS,
            SetPrinterDataW(h, const_cast<LPWSTR>(u"AdminChange"), REG_BINARY, reinterpret_cast<LPBYTE>(&zero), 4));
  EXPECT_FALSE(StoreGetAdminChange(h, &v));
}

TEST_F(OsQueryTest, MapReadOnlyMapsWholeFileAndRefusesEmptyOrMissing)
{
  WriteHostFile(HostPath(u"C:\\data.bin"), "KVML-bytes");
  WriteHostFile(HostPath(u"C:\\empty.bin"), "");
  const BYTE *base = nullptr;
  const BYTE *cursor = nullptr;
  DWORD size = 0;
  ASSERT_TRUE(FileMapReadOnly(u"C:\\data.bin", &base, &cursor, &size));
  EXPECT_EQ(10u, size);
  EXPECT_EQ(base, cursor);
  EXPECT_EQ("KVML-bytes", std::string(reinterpret_cast<const char *>(base), size));
  EXPECT_TRUE(UnmapViewOfFile(base));
  EXPECT_FALSE(FileMapReadOnly(u"C:\\empty.bin", &base, &cursor, &size));
  EXPECT_FALSE(FileMapReadOnly(u"C:\\missing.bin", &base, &cursor, nullptr));
  // No handle stays open: the file can be deleted at once.
  EXPECT_TRUE(DeleteFileW(u"C:\\empty.bin"));
}

TEST_F(OsQueryTest, ConnectionPrinterIsRecognised)
{
  HANDLE h = InstallPrinter(0, u"\\\\SERVER");
  ASSERT_NE(nullptr, h);
  EXPECT_TRUE(OsPrinterHandleIsConnection(h));
  FakeContext fc;
  fc.ctx.printer = h;
  EXPECT_TRUE(OsPrinterIsConnection(&fc.ctx));
}
