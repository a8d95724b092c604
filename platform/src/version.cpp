// Operating-system version queries, answered from a selectable OS profile.
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <mutex>

#include "internal.h"
#include "kvplat/os_control.h"

namespace {

struct Profile {
  PLAT_OS_PROFILE id;
  const char *name;
  DWORD major, minor, build, platform;
  const char *csd;
  WORD spMajor, spMinor, suites;
  BYTE product;
};

constexpr WORD kTsSuites = VER_SUITE_TERMINAL | VER_SUITE_SINGLEUSERTS;

// The Windows 9x build field carries the version in its high word (4.10.2222 = 0x040A08AE).
const Profile kProfiles[] = {
    {PLAT_OS_WIN98, "win98", 4, 10, 0x040A08AEu, VER_PLATFORM_WIN32_WINDOWS, " A ", 0, 0, 0, 0},
    {PLAT_OS_NT4_SP6, "nt4sp6", 4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6", 6, 0, 0, VER_NT_WORKSTATION},
    {PLAT_OS_WIN2000_SP3, "win2000sp3", 5, 0, 2195, VER_PLATFORM_WIN32_NT, "Service Pack 3", 3, 0, 0,
     VER_NT_WORKSTATION},
    {PLAT_OS_WIN2000_SP4, "win2000sp4", 5, 0, 2195, VER_PLATFORM_WIN32_NT, "Service Pack 4", 4, 0, 0,
     VER_NT_WORKSTATION},
    {PLAT_OS_XP_SP2, "xpsp2", 5, 1, 2600, VER_PLATFORM_WIN32_NT, "Service Pack 2", 2, 0, kTsSuites, VER_NT_WORKSTATION},
    {PLAT_OS_SERVER2003_SP2, "server2003", 5, 2, 3790, VER_PLATFORM_WIN32_NT, "Service Pack 2", 2, 0, kTsSuites,
     VER_NT_SERVER},
    {PLAT_OS_VISTA_SP2, "vista", 6, 0, 6002, VER_PLATFORM_WIN32_NT, "Service Pack 2", 2, 0, kTsSuites,
     VER_NT_WORKSTATION},
    {PLAT_OS_WIN7_SP1, "win7", 6, 1, 7601, VER_PLATFORM_WIN32_NT, "Service Pack 1", 1, 0, kTsSuites,
     VER_NT_WORKSTATION},
    {PLAT_OS_WIN8, "win8", 6, 2, 9200, VER_PLATFORM_WIN32_NT, "", 0, 0, kTsSuites, VER_NT_WORKSTATION},
};
constexpr PLAT_OS_PROFILE kDefaultProfile = PLAT_OS_WIN7_SP1;

std::mutex g_lock;
bool g_init = false;
PLAT_OS_PROFILE g_profile = kDefaultProfile;
OSVERSIONINFOEXW g_version;  // what the queries report

const Profile *FindProfile(PLAT_OS_PROFILE id)
{
  for (const Profile &p : kProfiles)
    if (p.id == id) return &p;
  return nullptr;
}

void Load(const Profile &p)
{
  memset(&g_version, 0, sizeof g_version);
  g_version.dwOSVersionInfoSize = sizeof g_version;
  g_version.dwMajorVersion = p.major;
  g_version.dwMinorVersion = p.minor;
  g_version.dwBuildNumber = p.build;
  g_version.dwPlatformId = p.platform;
  for (size_t i = 0; p.csd[i] && i < 127; ++i) g_version.szCSDVersion[i] = static_cast<WCHAR>(p.csd[i]);
  g_version.wServicePackMajor = p.spMajor;
  g_version.wServicePackMinor = p.spMinor;
  g_version.wSuiteMask = p.suites;
  g_version.wProductType = p.product;
  g_profile = p.id;
}

// Default profile: KVML_OS_PROFILE when it names one, else the built-in default.
void LoadDefault()
{
  const char *env = getenv("KVML_OS_PROFILE");
  PLAT_OS_PROFILE id = env ? PlatOsProfileFromName(env) : static_cast<PLAT_OS_PROFILE>(0);
  const Profile *p = FindProfile(id);
  Load(p ? *p : *FindProfile(kDefaultProfile));
  g_init = true;
}

void EnsureInit()
{
  if (!g_init) LoadDefault();
}

OSVERSIONINFOEXW Current()
{
  std::lock_guard<std::mutex> g(g_lock);
  EnsureInit();
  return g_version;
}

void ResetVersion()
{
  std::lock_guard<std::mutex> g(g_lock);
  LoadDefault();
}

struct ResetRegistrar {
  ResetRegistrar() { plat::RegisterReset(ResetVersion); }
} g_registrar;

bool IsNineX(const OSVERSIONINFOEXW &v) { return v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS; }

// Compares a system value with a requested one under an ordering condition.
bool Compare(DWORD sys, DWORD req, BYTE cond)
{
  switch (cond) {
    case VER_EQUAL: return sys == req;
    case VER_GREATER: return sys > req;
    case VER_GREATER_EQUAL: return sys >= req;
    case VER_LESS: return sys < req;
    case VER_LESS_EQUAL: return sys <= req;
    default: return false;
  }
}

BYTE ConditionOf(DWORDLONG mask, DWORD typeBit)
{
  unsigned index = 0;
  while (index < 8 && !(typeBit & (1u << index))) ++index;
  return static_cast<BYTE>((mask >> (index * VER_NUM_BITS_PER_CONDITION_MASK)) & VER_CONDITION_MASK);
}

bool IsOrdering(BYTE cond) { return cond >= VER_EQUAL && cond <= VER_LESS_EQUAL; }

}  // namespace

// ---------------------------------------------------------------- controls

PLAT_OS_PROFILE PlatOsProfileFromName(const char *name)
{
  if (!name) return static_cast<PLAT_OS_PROFILE>(0);
  for (const Profile &p : kProfiles)
    if (strcasecmp(p.name, name) == 0) return p.id;
  return static_cast<PLAT_OS_PROFILE>(0);
}

BOOL PlatSetOsProfile(PLAT_OS_PROFILE profile)
{
  const Profile *p = FindProfile(profile);
  if (!p) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> g(g_lock);
  Load(*p);
  g_init = true;
  return TRUE;
}

PLAT_OS_PROFILE PlatGetOsProfile(void)
{
  std::lock_guard<std::mutex> g(g_lock);
  EnsureInit();
  return g_profile;
}

BOOL PlatSetOsVersion(const OSVERSIONINFOEXW *version)
{
  if (!version) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> g(g_lock);
  g_version = *version;
  g_version.dwOSVersionInfoSize = sizeof g_version;
  g_version.szCSDVersion[127] = 0;
  g_profile = PLAT_OS_CUSTOM;
  g_init = true;
  return TRUE;
}

// ---------------------------------------------------------------- Win32

DWORD WINAPI GetVersion(void)
{
  OSVERSIONINFOEXW v = Current();
  DWORD low = (v.dwMajorVersion & 0xFF) | ((v.dwMinorVersion & 0xFF) << 8);
  if (IsNineX(v)) return low | 0xC0000000u;
  return low | ((v.dwBuildNumber & 0x7FFF) << 16);
}

BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW info)
{
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (PlatFaultHit(PLAT_FAULT_OS_VERSION)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  OSVERSIONINFOEXW v = Current();
  DWORD size = info->dwOSVersionInfoSize;
  bool ex = size == sizeof(OSVERSIONINFOEXW);
  if ((size != sizeof(OSVERSIONINFOW) && !ex) || (ex && IsNineX(v))) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  v.dwOSVersionInfoSize = size;
  memcpy(info, &v, size);
  return TRUE;
}

ULONGLONG WINAPI VerSetConditionMask(ULONGLONG mask, DWORD typeMask, BYTE condition)
{
  condition &= VER_CONDITION_MASK;
  if (typeMask == 0 || condition == 0) return mask;
  // One field per call: the highest bit of the type mask chooses it.
  for (int index = 7; index >= 0; --index) {
    if (typeMask & (1u << index)) {
      return mask | (static_cast<ULONGLONG>(condition) << (index * VER_NUM_BITS_PER_CONDITION_MASK));
    }
  }
  return mask;
}

BOOL WINAPI VerifyVersionInfoW(LPOSVERSIONINFOEXW req, DWORD typeMask, DWORDLONG condMask)
{
  OSVERSIONINFOEXW sys = Current();
  if (IsNineX(sys) || sys.dwMajorVersion < 5) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);  // the function came with Windows 2000
    return FALSE;
  }
  if (!req || typeMask == 0 || condMask == 0) {
    SetLastError(ERROR_BAD_ARGUMENTS);
    return FALSE;
  }
  bool ok = true;

  // Major, minor and service-pack numbers form one hierarchy: the first selected
  // field that differs decides under its own condition; when all are equal the
  // condition of the last selected field applies to equality.
  const struct {
    DWORD bit, sys, req;
  } chain[] = {
      {VER_MAJORVERSION, sys.dwMajorVersion, req->dwMajorVersion},
      {VER_MINORVERSION, sys.dwMinorVersion, req->dwMinorVersion},
      {VER_SERVICEPACKMAJOR, sys.wServicePackMajor, req->wServicePackMajor},
      {VER_SERVICEPACKMINOR, sys.wServicePackMinor, req->wServicePackMinor},
  };
  bool decided = false;
  BYTE lastCond = 0;
  for (const auto &f : chain) {
    if (!(typeMask & f.bit)) continue;
    BYTE cond = ConditionOf(condMask, f.bit);
    if (!IsOrdering(cond)) {
      SetLastError(ERROR_BAD_ARGUMENTS);
      return FALSE;
    }
    lastCond = cond;
    if (!decided && f.sys != f.req) {
      ok = ok && Compare(f.sys, f.req, cond);
      decided = true;
    }
  }
  if (!decided && lastCond) ok = ok && Compare(0, 0, lastCond);

  const struct {
    DWORD bit, sys, req;
  } single[] = {
      {VER_BUILDNUMBER, sys.dwBuildNumber, req->dwBuildNumber},
      {VER_PLATFORMID, sys.dwPlatformId, req->dwPlatformId},
      {VER_PRODUCT_TYPE, sys.wProductType, req->wProductType},
  };
  for (const auto &f : single) {
    if (!(typeMask & f.bit)) continue;
    BYTE cond = ConditionOf(condMask, f.bit);
    if (!IsOrdering(cond)) {
      SetLastError(ERROR_BAD_ARGUMENTS);
      return FALSE;
    }
    ok = ok && Compare(f.sys, f.req, cond);
  }

  if (typeMask & VER_SUITENAME) {
    BYTE cond = ConditionOf(condMask, VER_SUITENAME);
    WORD want = req->wSuiteMask, have = sys.wSuiteMask;
    if (cond == VER_AND) {
      ok = ok && (have & want) == want;
    } else if (cond == VER_OR) {
      ok = ok && (want == 0 || (have & want) != 0);
    } else {
      SetLastError(ERROR_BAD_ARGUMENTS);
      return FALSE;
    }
  }

  if (!ok) {
    SetLastError(ERROR_OLD_WIN_VERSION);
    return FALSE;
  }
  return TRUE;
}
