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

// Forgets the process's handle without closing it (a new process in the tests); the
// per-thread wait counts of the old handle no longer count.
void WINAPI OsSettingsMutexInit(void);
// Waits for the settings mutex (created on first use) up to KV_SETTINGS_MUTEX_TIMEOUT,
// unless ctx's open mode runs without it; ctx may be NULL (always waits). A held lock is
// released with OsSettingsMutexUnlock on the same thread.
KV_LOCK_RESULT WINAPI OsSettingsMutexLock(DRIVER_CONTEXT *ctx);
// TRUE when a wait of this thread was released.
BOOL WINAPI OsSettingsMutexUnlock(DRIVER_CONTEXT *ctx);
// Closes the process's handle; waits still counted for it are forgotten.
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

// Reads the system version into g_osVersionCache.version; FALSE when the read fails.
BOOL WINAPI OsReadVersion(void);
// Major version 5 or later; the answer is cached, a failed read answers FALSE uncached.
BOOL WINAPI OsIsNT5OrLater(void);
// Version 5.2 or later (not 4.x, 5.0 or 5.1); FALSE when the version cannot be read.
BOOL WINAPI OsIsNT52OrLater(void);
// Major version 6 or later; FALSE when the version cannot be read.
BOOL WINAPI OsIsNT6OrLater(void);
// The Windows 9x platform; FALSE when the version cannot be read.
BOOL WINAPI OsIsWin9x(void);
// Version 5.0 with a service pack below 4; FALSE when the version cannot be read.
BOOL WINAPI OsIsWin2000BeforeSP4(void);
// Forgets the cached answers (a new process in the tests).
void WINAPI OsVersionCacheResetForTest(void);

// ---------------------------------------------------------------- rights, terminal services

#define KV_TS_PROBE_DLL u"tvpktsrv.dll"
#define KV_TS_PROBE_EXPORT "_IsTSE_WMICOM_KVML_Printer_Driver"

// Asks afresh whether settings are per terminal-server user: on 5.2 or later with a
// printer, the probe DLL in the printer's driver folder (a missing DLL or export answers
// FALSE); otherwise the terminal suite of the system version.
BOOL WINAPI OsProbeTerminalServer(HANDLE hPrinter);
// OsProbeTerminalServer answered once per process and cached; FALSE whenever the build
// shares settings among all users.
BOOL WINAPI OsIsTerminalServer(HANDLE hPrinter);
// The same with the options word given, so the per-user path can be exercised.
BOOL WINAPI OsIsTerminalServerWithOptions(HANDLE hPrinter, DWORD buildOptions);
// TRUE when the context's open mode skips the administrator test, else OsCheckAdminAccess;
// ctx may be NULL (always tests).
BOOL WINAPI OsIsAdministrator(DRIVER_CONTEXT *ctx);
// Whether the caller's token passes an access check reserved to BUILTIN\Administrators;
// FALSE when any step of the check fails.
BOOL WINAPI OsCheckAdminAccess(void);

// ---------------------------------------------------------------- spooler wrappers

// Buffers come from GlobalAlloc(GMEM_ZEROINIT); free them with GlobalFree (MemFree).
// The printer's information at that level (GetPrinterW); NULL when the printer cannot be
// read, its size query answers 0 bytes, or memory runs out.
void *WINAPI OsGetPrinterInfo(HANDLE hPrinter, DWORD level);
// Which stored default DEVMODE of a printer OsGetStoredDevmode reads.
enum : int {
  KV_STORED_DEVMODE_USER = 9,    // the calling user's own (PRINTER_INFO_9)
  KV_STORED_DEVMODE_GLOBAL = 2,  // the one for all users (PRINTER_INFO_2 pDevMode, as level 8)
};
// The printer's stored default DEVMODE of that scope: the GetPrinterW answer that holds it
// (free with GlobalFree), with *devmode pointing into it; NULL, with *devmode NULL, when the
// spooler holds none of that scope, the printer cannot be read or memory runs out. The
// spooler hands over exactly the bytes the DEVMODE's dmSize + dmDriverExtra claim.
void *WINAPI OsGetStoredDevmode(HANDLE hPrinter, int scope, const BYTE **devmode);
// The printer's driver information at that level (GetPrinterDriverW); NULL on failure.
void *WINAPI OsGetPrinterDriverInfo(HANDLE hPrinter, DWORD level);
// The same read, with the choice whether a size query answering 0 bytes fails (TRUE, as
// OsGetPrinterDriverInfo does) or goes on to the read into an empty buffer (FALSE).
void *WINAPI OsGetPrinterDriverInfoSized(HANDLE hPrinter, DWORD level, BOOL zeroSizeFails);
// Whether any of the mask's PRINTER_ATTRIBUTE_* bits is set for the context's printer;
// FALSE without context or when the printer cannot be read.
BOOL WINAPI OsPrinterHasAttribute(DWORD mask, DRIVER_CONTEXT *ctx);
// Whether the context's printer has bidirectional support enabled; FALSE when unknown.
BOOL WINAPI OsPrinterBidiEnabled(DRIVER_CONTEXT *ctx);
// Whether the context's printer is a connection to a server's printer (its information
// names a server); FALSE without context or when the printer cannot be read.
BOOL WINAPI OsPrinterIsConnection(DRIVER_CONTEXT *ctx);
// OsPrinterIsConnection for a printer handle.
BOOL WINAPI OsPrinterHandleIsConnection(HANDLE hPrinter);
// OsPrinterHasAttribute for a printer handle.
BOOL WINAPI OsPrinterHandleHasAttribute(DWORD mask, HANDLE hPrinter);

// ---------------------------------------------------------------- context switches

// What the layer reads from a driver context: whether it uses the settings mutex and
// the administrator check (both switched by the context's open mode), and its printer.
BOOL WINAPI OsCtxUsesSettingsMutex(DRIVER_CONTEXT *ctx);
// TRUE for a NULL context or one without state, as for OsCtxUsesSettingsMutex.
BOOL WINAPI OsCtxChecksAdmin(DRIVER_CONTEXT *ctx);
// The context's printer handle; NULL without context.
HANDLE WINAPI OsCtxPrinter(DRIVER_CONTEXT *ctx);

KV_END_DECLS
