// Version queries: GetVersion, GetVersionExW, VerifyVersionInfoW, VerSetConditionMask
// and the OS profiles they report.
#include <string.h>

#include "kvplat/os_control.h"
#include "machine_fixture.h"

using VersionTest = MachineTest;

namespace {

struct ProfileCase {
  PLAT_OS_PROFILE profile;
  DWORD major, minor, build, platform;
  const char *csd;
  WORD spMajor, spMinor, suites;
  BYTE product;
  DWORD getVersion;
};

const ProfileCase kProfiles[] = {
    {PLAT_OS_WIN98, 4, 10, 0x040A08AE, 1, " A ", 0, 0, 0, 0, 0xC0000A04},
    {PLAT_OS_NT4_SP6, 4, 0, 1381, 2, "Service Pack 6", 6, 0, 0, 1, 0x05650004},
    {PLAT_OS_WIN2000_SP3, 5, 0, 2195, 2, "Service Pack 3", 3, 0, 0, 1, 0x08930005},
    {PLAT_OS_WIN2000_SP4, 5, 0, 2195, 2, "Service Pack 4", 4, 0, 0, 1, 0x08930005},
    {PLAT_OS_XP_SP2, 5, 1, 2600, 2, "Service Pack 2", 2, 0, 0x110, 1, 0x0A280105},
    {PLAT_OS_SERVER2003_SP2, 5, 2, 3790, 2, "Service Pack 2", 2, 0, 0x110, 3, 0x0ECE0205},
    {PLAT_OS_VISTA_SP2, 6, 0, 6002, 2, "Service Pack 2", 2, 0, 0x110, 1, 0x17720006},
    {PLAT_OS_WIN7_SP1, 6, 1, 7601, 2, "Service Pack 1", 1, 0, 0x110, 1, 0x1DB10106},
    {PLAT_OS_WIN8, 6, 2, 9200, 2, "", 0, 0, 0x110, 1, 0x23F00206},
};

OSVERSIONINFOEXW ReadEx()
{
  OSVERSIONINFOEXW v;
  memset(&v, 0xCC, sizeof v);
  v.dwOSVersionInfoSize = sizeof v;
  EXPECT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&v)));
  return v;
}

}  // namespace

TEST_F(VersionTest, DefaultIsWindows7ServicePack1Workstation)
{
  EXPECT_EQ(PlatGetOsProfile(), PLAT_OS_WIN7_SP1);
  OSVERSIONINFOEXW v = ReadEx();
  EXPECT_EQ(v.dwMajorVersion, 6u);
  EXPECT_EQ(v.dwMinorVersion, 1u);
  EXPECT_EQ(v.wProductType, VER_NT_WORKSTATION);
}

TEST_F(VersionTest, EveryProfileReportsItsVersion)
{
  for (const ProfileCase &c : kProfiles) {
    SCOPED_TRACE(testing::Message() << "profile " << c.profile);
    ASSERT_TRUE(PlatSetOsProfile(c.profile));
    EXPECT_EQ(PlatGetOsProfile(), c.profile);

    OSVERSIONINFOW v;
    memset(&v, 0xCC, sizeof v);
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExW(&v));
    EXPECT_EQ(v.dwOSVersionInfoSize, 276u);
    EXPECT_EQ(v.dwMajorVersion, c.major);
    EXPECT_EQ(v.dwMinorVersion, c.minor);
    EXPECT_EQ(v.dwBuildNumber, c.build);
    EXPECT_EQ(v.dwPlatformId, c.platform);
    EXPECT_EQ(Narrow(v.szCSDVersion), c.csd);
    EXPECT_EQ(GetVersion(), c.getVersion);

    if (c.platform == VER_PLATFORM_WIN32_NT) {
      OSVERSIONINFOEXW x = ReadEx();
      EXPECT_EQ(x.dwOSVersionInfoSize, 284u);
      EXPECT_EQ(x.dwBuildNumber, c.build);
      EXPECT_EQ(x.wServicePackMajor, c.spMajor);
      EXPECT_EQ(x.wServicePackMinor, c.spMinor);
      EXPECT_EQ(x.wSuiteMask, c.suites);
      EXPECT_EQ(x.wProductType, c.product);
    }
  }
}

TEST_F(VersionTest, OnlyTheTwoStructureSizesAreAccepted)
{
  for (DWORD size : {0u, 20u, 275u, 277u, 283u, 285u, 300u}) {
    OSVERSIONINFOEXW v;
    memset(&v, 0, sizeof v);
    v.dwOSVersionInfoSize = size;
    SetLastError(0);
    EXPECT_FALSE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&v))) << size;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER) << size;
    EXPECT_EQ(v.dwMajorVersion, 0u) << size;
  }
  SetLastError(0);
  EXPECT_FALSE(GetVersionExW(nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(VersionTest, ShortFormLeavesTheExtendedFieldsAlone)
{
  OSVERSIONINFOEXW v;
  memset(&v, 0xCC, sizeof v);
  v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&v)));
  EXPECT_EQ(v.dwMajorVersion, 6u);
  EXPECT_EQ(v.wServicePackMajor, 0xCCCC);
  EXPECT_EQ(v.wProductType, 0xCC);
}

TEST_F(VersionTest, Windows9xKnowsOnlyTheShortForm)
{
  ASSERT_TRUE(PlatSetOsProfile(PLAT_OS_WIN98));
  OSVERSIONINFOEXW v;
  memset(&v, 0, sizeof v);
  v.dwOSVersionInfoSize = sizeof v;
  EXPECT_FALSE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&v)));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_NE(GetVersion() & 0x80000000u, 0u);  // the 9x platform bit
}

TEST_F(VersionTest, CustomVersionAndControls)
{
  OSVERSIONINFOEXW custom = {};
  custom.dwMajorVersion = 10;
  custom.dwBuildNumber = 19045;
  custom.dwPlatformId = VER_PLATFORM_WIN32_NT;
  custom.wProductType = VER_NT_SERVER;
  ASSERT_TRUE(PlatSetOsVersion(&custom));
  EXPECT_EQ(PlatGetOsProfile(), PLAT_OS_CUSTOM);
  OSVERSIONINFOEXW v = ReadEx();
  EXPECT_EQ(v.dwMajorVersion, 10u);
  EXPECT_EQ(v.dwBuildNumber, 19045u);
  EXPECT_EQ(v.wProductType, VER_NT_SERVER);
  EXPECT_EQ(GetVersion(), 0x4A65000Au);

  EXPECT_FALSE(PlatSetOsProfile(PLAT_OS_CUSTOM));
  EXPECT_FALSE(PlatSetOsProfile(static_cast<PLAT_OS_PROFILE>(42)));
  EXPECT_FALSE(PlatSetOsVersion(nullptr));
  EXPECT_EQ(PlatOsProfileFromName("WIN2000SP3"), PLAT_OS_WIN2000_SP3);
  EXPECT_EQ(PlatOsProfileFromName("server2003"), PLAT_OS_SERVER2003_SP2);
  EXPECT_EQ(PlatOsProfileFromName("os2"), 0);
  EXPECT_EQ(PlatOsProfileFromName(nullptr), 0);

  PlatResetForTest();
  EXPECT_EQ(PlatGetOsProfile(), PLAT_OS_WIN7_SP1);
}

TEST_F(VersionTest, ConditionMaskPlacesThreeBitsPerField)
{
  EXPECT_EQ(VerSetConditionMask(0, VER_MINORVERSION, VER_EQUAL), 1ull);
  EXPECT_EQ(VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL), 3ull << 3);
  EXPECT_EQ(VerSetConditionMask(0, VER_SERVICEPACKMAJOR, VER_LESS), 4ull << 15);
  EXPECT_EQ(VerSetConditionMask(0, VER_SUITENAME, VER_AND), 6ull << 18);
  EXPECT_EQ(VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_OR), 7ull << 21);
  // One field per call: the highest bit of the type mask.
  EXPECT_EQ(VerSetConditionMask(0, VER_MAJORVERSION | VER_MINORVERSION, VER_EQUAL), 1ull << 3);
  // Nothing to do without a type or a condition; the condition is cut to three bits.
  EXPECT_EQ(VerSetConditionMask(5, 0, VER_EQUAL), 5ull);
  EXPECT_EQ(VerSetConditionMask(5, VER_MAJORVERSION, 0), 5ull);
  EXPECT_EQ(VerSetConditionMask(0, VER_MINORVERSION, 0x0B), 3ull);
  // Fields add up.
  ULONGLONG m = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
  m = VerSetConditionMask(m, VER_MINORVERSION, VER_GREATER_EQUAL);
  EXPECT_EQ(m, (3ull << 3) | 3ull);
}

namespace {

struct VerifyCase {
  const char *what;
  PLAT_OS_PROFILE profile;
  DWORD major, minor;
  WORD spMajor;
  DWORD platform;
  BYTE product;
  WORD suites;
  DWORD typeMask;
  BYTE cond;       // ordering condition for the numeric fields
  BYTE suiteCond;  // VER_AND / VER_OR
  BOOL expected;
};

const VerifyCase kVerify[] = {
    {"7 >= 5.2 although its SP 1 < 2", PLAT_OS_WIN7_SP1, 5, 2, 2, 0, 0, 0,
     VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL, 0, TRUE},
    {"7 >= 6.1 SP 1", PLAT_OS_WIN7_SP1, 6, 1, 1, 0, 0, 0, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
     VER_GREATER_EQUAL, 0, TRUE},
    {"7 >= 6.1 SP 2 fails", PLAT_OS_WIN7_SP1, 6, 1, 2, 0, 0, 0,
     VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL, 0, FALSE},
    {"XP >= 6.0 fails", PLAT_OS_XP_SP2, 6, 0, 0, 0, 0, 0, VER_MAJORVERSION | VER_MINORVERSION, VER_GREATER_EQUAL, 0,
     FALSE},
    {"2000 SP3 < 5.0 SP4", PLAT_OS_WIN2000_SP3, 5, 0, 4, 0, 0, 0,
     VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, VER_LESS, 0, TRUE},
    {"2000 SP4 < 5.0 SP4 fails", PLAT_OS_WIN2000_SP4, 5, 0, 4, 0, 0, 0,
     VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, VER_LESS, 0, FALSE},
    {"2000 SP4 <= 5.0 SP4", PLAT_OS_WIN2000_SP4, 5, 0, 4, 0, 0, 0,
     VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, VER_LESS_EQUAL, 0, TRUE},
    {"2003 == 5.2", PLAT_OS_SERVER2003_SP2, 5, 2, 0, 0, 0, 0, VER_MAJORVERSION | VER_MINORVERSION, VER_EQUAL, 0, TRUE},
    {"2003 > 5.2 fails", PLAT_OS_SERVER2003_SP2, 5, 2, 0, 0, 0, 0, VER_MAJORVERSION | VER_MINORVERSION, VER_GREATER, 0,
     FALSE},
    {"Vista > 5.2", PLAT_OS_VISTA_SP2, 5, 2, 0, 0, 0, 0, VER_MAJORVERSION | VER_MINORVERSION, VER_GREATER, 0, TRUE},
    {"NT platform", PLAT_OS_XP_SP2, 0, 0, 0, VER_PLATFORM_WIN32_NT, 0, 0, VER_PLATFORMID, VER_EQUAL, 0, TRUE},
    {"server product on 2003", PLAT_OS_SERVER2003_SP2, 0, 0, 0, 0, VER_NT_SERVER, 0, VER_PRODUCT_TYPE, VER_EQUAL, 0,
     TRUE},
    {"server product on XP fails", PLAT_OS_XP_SP2, 0, 0, 0, 0, VER_NT_SERVER, 0, VER_PRODUCT_TYPE, VER_EQUAL, 0, FALSE},
    {"terminal suite on XP", PLAT_OS_XP_SP2, 0, 0, 0, 0, 0, VER_SUITE_TERMINAL, VER_SUITENAME, 0, VER_AND, TRUE},
    {"terminal suite on 2000 fails", PLAT_OS_WIN2000_SP4, 0, 0, 0, 0, 0, VER_SUITE_TERMINAL, VER_SUITENAME, 0, VER_AND,
     FALSE},
    {"AND needs every suite", PLAT_OS_WIN7_SP1, 0, 0, 0, 0, 0, VER_SUITE_TERMINAL | VER_SUITE_ENTERPRISE, VER_SUITENAME,
     0, VER_AND, FALSE},
    {"OR needs one suite", PLAT_OS_WIN7_SP1, 0, 0, 0, 0, 0, VER_SUITE_TERMINAL | VER_SUITE_ENTERPRISE, VER_SUITENAME, 0,
     VER_OR, TRUE},
};

}  // namespace

TEST_F(VersionTest, VerifyVersionInfoCases)
{
  for (const VerifyCase &c : kVerify) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(PlatSetOsProfile(c.profile));
    OSVERSIONINFOEXW req = {};
    req.dwOSVersionInfoSize = sizeof req;
    req.dwMajorVersion = c.major;
    req.dwMinorVersion = c.minor;
    req.wServicePackMajor = c.spMajor;
    req.dwPlatformId = c.platform;
    req.wProductType = c.product;
    req.wSuiteMask = c.suites;
    ULONGLONG mask = 0;
    for (DWORD bit = 1; bit <= VER_PRODUCT_TYPE; bit <<= 1) {
      if (c.typeMask & bit) mask = VerSetConditionMask(mask, bit, bit == VER_SUITENAME ? c.suiteCond : c.cond);
    }
    SetLastError(0);
    EXPECT_EQ(VerifyVersionInfoW(&req, c.typeMask, mask), c.expected);
    if (!c.expected) {
      EXPECT_EQ(GetLastError(), (DWORD)ERROR_OLD_WIN_VERSION);
    }
  }
}

TEST_F(VersionTest, VerifyVersionInfoRefusesBadArguments)
{
  OSVERSIONINFOEXW req = {};
  req.dwOSVersionInfoSize = sizeof req;
  req.dwMajorVersion = 5;
  ULONGLONG mask = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);

  SetLastError(0);
  EXPECT_FALSE(VerifyVersionInfoW(&req, 0, mask));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_ARGUMENTS);
  EXPECT_FALSE(VerifyVersionInfoW(&req, VER_MAJORVERSION, 0));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_ARGUMENTS);
  // A selected field without a condition of its own.
  EXPECT_FALSE(VerifyVersionInfoW(&req, VER_MAJORVERSION | VER_BUILDNUMBER, mask));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_ARGUMENTS);
  // A suite test with an ordering condition.
  EXPECT_FALSE(VerifyVersionInfoW(&req, VER_SUITENAME, VerSetConditionMask(0, VER_SUITENAME, VER_EQUAL)));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_ARGUMENTS);
  EXPECT_FALSE(VerifyVersionInfoW(nullptr, VER_MAJORVERSION, mask));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_ARGUMENTS);
  EXPECT_TRUE(VerifyVersionInfoW(&req, VER_MAJORVERSION, mask));

  // The function came with Windows 2000.
  for (PLAT_OS_PROFILE p : {PLAT_OS_WIN98, PLAT_OS_NT4_SP6}) {
    ASSERT_TRUE(PlatSetOsProfile(p));
    SetLastError(0);
    EXPECT_FALSE(VerifyVersionInfoW(&req, VER_MAJORVERSION, mask)) << p;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CALL_NOT_IMPLEMENTED) << p;
  }
}
