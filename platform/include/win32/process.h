// Processes and threads: the current process, and the programs the driver starts.
// Started programs are recorded rather than run, unless a test maps the program to a
// host program (see kvplat/module_control.h); ShellExecuteW is recorded.
#pragma once
#include "win32/types.h"

#ifndef STILL_ACTIVE
#define STILL_ACTIVE 259
#endif

// CreateProcessW creation flags.
#ifndef DEBUG_PROCESS
#define DEBUG_PROCESS 0x00000001
#define DEBUG_ONLY_THIS_PROCESS 0x00000002
#define CREATE_SUSPENDED 0x00000004
#define DETACHED_PROCESS 0x00000008
#define CREATE_NEW_CONSOLE 0x00000010
#define NORMAL_PRIORITY_CLASS 0x00000020
#define IDLE_PRIORITY_CLASS 0x00000040
#define HIGH_PRIORITY_CLASS 0x00000080
#define CREATE_NEW_PROCESS_GROUP 0x00000200
#define CREATE_UNICODE_ENVIRONMENT 0x00000400
#define CREATE_DEFAULT_ERROR_MODE 0x04000000
#define CREATE_NO_WINDOW 0x08000000
#endif

// STARTUPINFOW.dwFlags.
#ifndef STARTF_USESHOWWINDOW
#define STARTF_USESHOWWINDOW 0x00000001
#define STARTF_USESIZE 0x00000002
#define STARTF_USEPOSITION 0x00000004
#define STARTF_USESTDHANDLES 0x00000100
#endif

// Show commands (STARTUPINFOW.wShowWindow, ShellExecuteW).
#ifndef SW_HIDE
#define SW_HIDE 0
#endif
#ifndef SW_SHOWNORMAL
#define SW_SHOWNORMAL 1
#endif
#ifndef SW_NORMAL
#define SW_NORMAL 1
#endif
#ifndef SW_SHOWMINIMIZED
#define SW_SHOWMINIMIZED 2
#endif
#ifndef SW_SHOWMAXIMIZED
#define SW_SHOWMAXIMIZED 3
#endif
#ifndef SW_SHOW
#define SW_SHOW 5
#endif

// ShellExecuteW failure answers (values of 32 and below).
#ifndef SE_ERR_FNF
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31
#endif

typedef struct _STARTUPINFOW {
  DWORD cb;
  LPWSTR lpReserved;
  LPWSTR lpDesktop;
  LPWSTR lpTitle;
  DWORD dwX;
  DWORD dwY;
  DWORD dwXSize;
  DWORD dwYSize;
  DWORD dwXCountChars;
  DWORD dwYCountChars;
  DWORD dwFillAttribute;
  DWORD dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput;
  HANDLE hStdOutput;
  HANDLE hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;

typedef struct _PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
} PROCESS_INFORMATION, *PPROCESS_INFORMATION, *LPPROCESS_INFORMATION;

#ifdef __cplusplus
static_assert(sizeof(STARTUPINFOW) == 68, "STARTUPINFOW is 68 bytes on 32-bit Windows");
static_assert(sizeof(PROCESS_INFORMATION) == 16, "PROCESS_INFORMATION is 16 bytes on 32-bit Windows");
#endif

KV_BEGIN_DECLS

// The calling process and thread. The pseudo handles are (HANDLE)-1 and (HANDLE)-2;
// they need no closing.
HANDLE WINAPI GetCurrentProcess(void);
HANDLE WINAPI GetCurrentThread(void);
DWORD WINAPI GetCurrentProcessId(void);
DWORD WINAPI GetCurrentThreadId(void);

// Starts a program. The program is lpApplicationName (a path, no extension added), or
// else the first token of lpCommandLine (".exe" added when it has no extension,
// searched like a module). It must exist on the machine (ERROR_FILE_NOT_FOUND), and
// lpCurrentDirectory must be a folder (ERROR_DIRECTORY). The call is recorded and the
// process is at once finished with exit code 0, unless the program is mapped to a host
// program, which then really runs. The caller closes both returned handles.
BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                           LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation);
// STILL_ACTIVE while the process runs.
BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);
BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
// Ends a running process with the given exit code; ERROR_ACCESS_DENIED once it ended.
BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode);

// Opens a document or program with the shell: recorded, not run. A value above 32
// means success; SE_ERR_FNF when lpFile names no existing file (URLs are accepted).
HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                               LPCWSTR lpDirectory, INT nShowCmd);

KV_END_DECLS
