// The settings core's thin layer over the operating system and the spooler: the
// settings mutex shared by every process of the driver, the version predicates, the
// terminal-server and administrator tests, and allocating spooler wrappers.
#pragma once
#include "win32.h"

struct DRIVER_CONTEXT;

KV_BEGIN_DECLS

// Options compiled into every deliverable. Bit 0: settings are shared by all users,
// so the terminal-server test answers 0 and no per-user settings directories are used.
#define KV_BUILD_OPTION_SHARED_SETTINGS 0x1UL
extern const DWORD BUILD_OPTIONS;

// ---------------------------------------------------------------- settings mutex

// Name of the mutex and its wait time-out. A context opened with CTX_OPEN_NO_MUTEX
// (context.h) neither waits nor releases.
#define KV_SETTINGS_MUTEX_NAME u"KvmlMutexTse"
#define KV_SETTINGS_MUTEX_TIMEOUT 20000UL

// The process's view of the settings mutex. The handle is shared by the process; the
// number of waits that succeeded and are not released yet is kept per thread, because
// the named mutex is owned by the thread that waited.
struct SETTINGS_MUTEX {
  HANDLE handle;
};

// Outcome of a lock: whether the caller now holds the mutex or runs without it.
enum KV_LOCK_RESULT {
  KV_LOCK_HELD = 1,       // the wait succeeded (an abandoned mutex counts as taken)
  KV_LOCK_SKIPPED = 0,    // the context runs without the mutex by its open mode
  KV_LOCK_UNLOCKED = -1,  // the mutex could not be created or the wait failed
  KV_LOCK_TIMED_OUT = -2  // another owner kept it for the whole time-out
};

void WINAPI OsSettingsMutexInit(void);
KV_LOCK_RESULT WINAPI OsSettingsMutexLock(DRIVER_CONTEXT *ctx);
// TRUE when a wait of this thread was released.
BOOL WINAPI OsSettingsMutexUnlock(DRIVER_CONTEXT *ctx);
void WINAPI OsSettingsMutexClose(void);
// Successful waits of the calling thread not released yet (for diagnostics and tests).
DWORD WINAPI OsSettingsMutexHeldCount(void);

// ---------------------------------------------------------------- versions

// The version block read at every predicate call, and the two cached answers
// (0 not yet tested, 1 yes, 2 no).
struct OS_VERSION_CACHE {
  OSVERSIONINFOW version;
  DWORD nt5State;
  DWORD terminalServerState;
};
extern OS_VERSION_CACHE g_osVersionCache;

BOOL WINAPI OsReadVersion(void);
BOOL WINAPI OsIsNT5OrLater(void);
BOOL WINAPI OsIsNT52OrLater(void);
BOOL WINAPI OsIsNT6OrLater(void);
BOOL WINAPI OsIsWin9x(void);
BOOL WINAPI OsIsWin2000BeforeSP4(void);
// Forgets the cached answers (a new process in the tests).
void WINAPI OsVersionCacheResetForTest(void);

// ---------------------------------------------------------------- rights, terminal services

#define KV_TS_PROBE_DLL u"tvpktsrv.dll"
#define KV_TS_PROBE_EXPORT "_IsTSE_WMICOM_KVML_Printer_Driver"

BOOL WINAPI OsProbeTerminalServer(HANDLE hPrinter);
BOOL WINAPI OsIsTerminalServer(HANDLE hPrinter);
// The same with the options word given, so the per-user path can be exercised.
BOOL WINAPI OsIsTerminalServerWithOptions(HANDLE hPrinter, DWORD buildOptions);
BOOL WINAPI OsIsAdministrator(DRIVER_CONTEXT *ctx);
BOOL WINAPI OsCheckAdminAccess(void);

// ---------------------------------------------------------------- spooler wrappers

// Buffers come from GlobalAlloc(GMEM_ZEROINIT); free them with GlobalFree (MemFree).
void *WINAPI OsGetPrinterInfo(HANDLE hPrinter, DWORD level);
void *WINAPI OsGetPrinterDriverInfo(HANDLE hPrinter, DWORD level);
// The same read, with the choice whether a size query answering 0 bytes fails (TRUE, as
// OsGetPrinterDriverInfo does) or goes on to the read into an empty buffer (FALSE).
void *WINAPI OsGetPrinterDriverInfoSized(HANDLE hPrinter, DWORD level, BOOL zeroSizeFails);
BOOL WINAPI OsPrinterHasAttribute(DWORD mask, DRIVER_CONTEXT *ctx);
BOOL WINAPI OsPrinterBidiEnabled(DRIVER_CONTEXT *ctx);
BOOL WINAPI OsPrinterIsConnection(DRIVER_CONTEXT *ctx);
BOOL WINAPI OsPrinterHandleIsConnection(HANDLE hPrinter);
BOOL WINAPI OsPrinterHandleHasAttribute(DWORD mask, HANDLE hPrinter);

// ---------------------------------------------------------------- context switches

// What the layer reads from a driver context: whether it uses the settings mutex and
// the administrator check (both switched by the context's open mode), and its printer.
BOOL WINAPI OsCtxUsesSettingsMutex(DRIVER_CONTEXT *ctx);
BOOL WINAPI OsCtxChecksAdmin(DRIVER_CONTEXT *ctx);
HANDLE WINAPI OsCtxPrinter(DRIVER_CONTEXT *ctx);

KV_END_DECLS
