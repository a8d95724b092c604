// Version predicates over GetVersionExW, and the build options word.
#include "os/os.h"

#include <cstring>

const DWORD BUILD_OPTIONS = KV_BUILD_OPTION_SHARED_SETTINGS;

OS_VERSION_CACHE g_osVersionCache;

BOOL WINAPI OsReadVersion(void)
{
  memset(&g_osVersionCache.version, 0, sizeof(g_osVersionCache.version));
  g_osVersionCache.version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  return GetVersionExW(&g_osVersionCache.version) ? TRUE : FALSE;
}

BOOL WINAPI OsIsNT5OrLater(void)
{
  if (g_osVersionCache.nt5State == 0) {
    // Only an answer is kept: a failed read says nothing about the system, and caching it
    // as "before NT5" would move the shared settings folder for the rest of the process.
    if (!OsReadVersion()) return FALSE;
    g_osVersionCache.nt5State = g_osVersionCache.version.dwMajorVersion >= 5 ? 1 : 2;
  }
  return g_osVersionCache.nt5State == 1;
}

BOOL WINAPI OsIsNT52OrLater(void)
{
  if (!OsReadVersion()) return FALSE;
  const OSVERSIONINFOW &v = g_osVersionCache.version;
  if (v.dwMajorVersion <= 4) return FALSE;
  if (v.dwMajorVersion == 5 && (v.dwMinorVersion == 0 || v.dwMinorVersion == 1)) return FALSE;
  return TRUE;
}

BOOL WINAPI OsIsNT6OrLater(void) { return OsReadVersion() && g_osVersionCache.version.dwMajorVersion >= 6; }

BOOL WINAPI OsIsWin9x(void)
{
  return OsReadVersion() && g_osVersionCache.version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

BOOL WINAPI OsIsWin2000BeforeSP4(void)
{
  OSVERSIONINFOEXW v;
  memset(&v, 0, sizeof(v));
  v.dwOSVersionInfoSize = sizeof(v);
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW *>(&v))) return FALSE;
  return v.dwMajorVersion == 5 && v.dwMinorVersion == 0 && v.wServicePackMajor < 4;
}

void WINAPI OsVersionCacheResetForTest(void) { memset(&g_osVersionCache, 0, sizeof(g_osVersionCache)); }
