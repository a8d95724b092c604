// Controls of the platform layer's system services that stand outside Win32: the
// operating-system profile, the administrator switch, the locale, the record of
// SetFileSecurityW calls, and mutex faults. Tests and the host program use them;
// driver code never does. PlatResetForTest puts every one back to its default.
//
// Defaults may also come from the environment, read at the first use and at every
// reset: KVML_OS_PROFILE (a profile name below, e.g. "win2000sp3"), KVML_ADMIN ("0" or
// "1") and KVML_LOCALE (hexadecimal "user[,system[,ui]]", e.g. "0411" or "0407,0409,0409").
#pragma once
#include "win32/types.h"
#include "win32/version.h"
#include "win32/security.h"

KV_BEGIN_DECLS

// ---------------------------------------------------------------- OS profile

// What GetVersion, GetVersionExW and VerifyVersionInfoW report.
//                                  version  build  platform  service pack  product      suites
typedef enum PLAT_OS_PROFILE {
  PLAT_OS_WIN98 = 1,           //   4.10  (4.10.2222, " A ")  9x   -       -            -
  PLAT_OS_NT4_SP6 = 2,         //   4.0   1381   NT   6.0         workstation  0
  PLAT_OS_WIN2000_SP3 = 3,     //   5.0   2195   NT   3.0         workstation  0
  PLAT_OS_WIN2000_SP4 = 4,     //   5.0   2195   NT   4.0         workstation  0
  PLAT_OS_XP_SP2 = 5,          //   5.1   2600   NT   2.0         workstation  TERMINAL|SINGLEUSERTS
  PLAT_OS_SERVER2003_SP2 = 6,  //   5.2   3790   NT   2.0         server       TERMINAL|SINGLEUSERTS
  PLAT_OS_VISTA_SP2 = 7,       //   6.0   6002   NT   2.0         workstation  TERMINAL|SINGLEUSERTS
  PLAT_OS_WIN7_SP1 = 8,        //   6.1   7601   NT   1.0         workstation  TERMINAL|SINGLEUSERTS (default)
  PLAT_OS_WIN8 = 9,            //   6.2   9200   NT   0.0         workstation  TERMINAL|SINGLEUSERTS
                               //   (also what later systems report to programs without a manifest)
  PLAT_OS_CUSTOM = 100         //   set with PlatSetOsVersion
} PLAT_OS_PROFILE;

// Selects a profile; FALSE (ERROR_INVALID_PARAMETER) for an unknown one or PLAT_OS_CUSTOM.
KVAPI BOOL PlatSetOsProfile(PLAT_OS_PROFILE profile);
KVAPI PLAT_OS_PROFILE PlatGetOsProfile(void);
// Reports exactly the given version (its size field is ignored); selects PLAT_OS_CUSTOM.
KVAPI BOOL PlatSetOsVersion(const OSVERSIONINFOEXW *version);
// Profile names of KVML_OS_PROFILE: "win98", "nt4sp6", "win2000sp3", "win2000sp4",
// "xpsp2", "server2003", "vista", "win7", "win8" (case-insensitive); 0 for others.
KVAPI PLAT_OS_PROFILE PlatOsProfileFromName(const char *name);

// ---------------------------------------------------------------- administrator switch

// TRUE (the default): the user's tokens hold BUILTIN\Administrators (S-1-5-32-544),
// enabled and usable as owner. FALSE: they do not. Tokens opened earlier keep the
// groups they had.
KVAPI void PlatSetAdministrator(BOOL isAdministrator);
KVAPI BOOL PlatIsAdministrator(void);

// ---------------------------------------------------------------- locale

// Sets the user default locale, the system default locale and the user-interface
// language (GetUserDefaultUILanguage and GetSystemDefaultUILanguage). FALSE with
// ERROR_INVALID_PARAMETER when either locale or the language is not in the table of
// GetLocaleInfoW; nothing changes then. Default: 0x0409, 0x0409, 0x0409.
KVAPI BOOL PlatSetLocale(LCID user, LCID system, LANGID ui);

// ---------------------------------------------------------------- file security record

// Every SetFileSecurityW call that passed its checks, oldest first.
KVAPI DWORD PlatFileSecurityCallCount(void);
// Call number index: its full Windows path ("C:\\_kvml"), its SECURITY_INFORMATION and
// a self-relative copy of the descriptor parts that the information selected. Either
// output may be NULL; *sdNeeded (when given) receives the descriptor's size. FALSE with
// ERROR_NO_MORE_ITEMS for an index past the end, ERROR_INSUFFICIENT_BUFFER when a
// given buffer is too small.
KVAPI BOOL PlatFileSecurityGetCall(DWORD index, LPWSTR path, DWORD pathChars, SECURITY_INFORMATION *info,
                                   PSECURITY_DESCRIPTOR sd, DWORD sdSize, LPDWORD sdNeeded);
KVAPI void PlatFileSecurityClearCalls(void);

// ---------------------------------------------------------------- mutex faults

// While held, the named mutex behaves as owned by a thread of another process: waits
// cannot take it (they time out, moving an injected clock), CreateMutexW reports
// ERROR_ALREADY_EXISTS and OpenMutexW finds it. Names as for CreateMutexW.
KVAPI BOOL PlatMutexSetHeldElsewhere(LPCWSTR name, BOOL held);
// The next wait of this process that takes the named mutex reports WAIT_ABANDONED
// (ownership is granted, as after a real abandonment).
KVAPI BOOL PlatMutexAbandonNextWait(LPCWSTR name);
// The next CreateMutexW of this process fails with the given error (0 disarms).
KVAPI void PlatMutexFailNextCreate(DWORD error);

KV_END_DECLS
