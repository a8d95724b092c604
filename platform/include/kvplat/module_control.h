// Controls of modules, resources and processes that stand outside Win32: which DLLs
// exist on the machine, the main program's identity and resources, and the record of
// started programs. Tests and the host program use them; driver code never does.
//
// How a DLL exists. A module "exists" at a Windows path when the machine root holds a
// file there that is either
//   - a link file: one line "KVSTANDIN <path of a shared library>", the path absolute
//     or relative to the folder of the link file itself, or
//   - a shared library itself (an ELF image copied there).
// LoadLibraryW opens the shared library with dlopen. Because a link file is an ordinary
// file on the machine, copying, deleting and searching DLLs work as for any file.
// PlatModuleRegister writes such a link file; the build writes one per stand-in DLL
// into lib/standin/links/ (see cmake/kvres.cmake).
//
// DllMain. When a loaded library exports "DllMain" (extern "C", WINAPI), or else
// "DllEntryPoint" with the same signature, it is called with DLL_PROCESS_ATTACH when the
// module is first loaded and DLL_PROCESS_DETACH when its last reference is freed, with
// the module's HMODULE as first argument.
//
// Resources. A library that exports the data symbol "kvres_table" (a KVRES_TABLE, made
// by the resource compiler scripts/kvrc.py) has those resources; others have none.
#pragma once
#include "win32/types.h"

// Marks an export of a stand-in DLL.
#define KV_DLLEXPORT KV_EXTERN_C __attribute__((visibility("default")))

// ---------------------------------------------------------------- resource tables

#define KVRES_MAGIC 0x5345524BUL  // "KRES"
#define KVRES_VERSION 1

// One resource: type and name are numbers (the Name pointer NULL) or upper-case names;
// data is 8-byte aligned. String tables are RT_STRING blocks in the Win32 layout: 16
// strings, each a WORD length and that many UTF-16 units without terminator.
typedef struct KVRES_ENTRY {
  const WCHAR *typeName;
  const WCHAR *name;
  WORD typeId;
  WORD nameId;
  WORD language;
  WORD reserved;
  const BYTE *data;
  DWORD size;
} KVRES_ENTRY;

// Entries are sorted by type, then name (named ones first, by name; then numbers),
// then language.
typedef struct KVRES_TABLE {
  DWORD magic;
  DWORD version;
  DWORD count;
  const KVRES_ENTRY *entries;
} KVRES_TABLE;

KV_BEGIN_DECLS

// ---------------------------------------------------------------- modules

// Makes a DLL exist: writes a link file to soPath at the DLL's Windows path. A bare
// name ("tvpktsrv.dll", ".dll" added without an extension) goes into the system
// folder; a path goes where it says (folders are created). FALSE with the last error
// set when the path cannot be mapped or written.
KVAPI BOOL PlatModuleRegister(LPCWSTR dllName, const char *soPath);
// Removes a link file written by PlatModuleRegister (the same name rules); FALSE with
// ERROR_FILE_NOT_FOUND when there is none. Loaded modules stay loaded.
KVAPI BOOL PlatModuleUnregister(LPCWSTR dllName);

// Registers an image that is already in the process (dlHandle from dlopen, or NULL for
// the running program's own symbols) as a loaded module with the given Windows path
// and one reference; answers its HMODULE (GetModuleFileNameW, GetModuleHandleW,
// GetProcAddress and resources work on it; FreeLibrary of the last reference forgets
// it without closing dlHandle). A module already loaded at that path gets one more
// reference instead. NULL with ERROR_INVALID_PARAMETER for a bad path.
KVAPI HMODULE PlatModuleRegisterSelf(LPCWSTR winPath, void *dlHandle);

// The Windows path of the main program (GetModuleFileNameW(NULL), the application
// folder of the module search). Default "C:\WINDOWS\system32\kvhost.exe".
KVAPI BOOL PlatModuleSetMainPath(LPCWSTR winPath);

// Gives a module (NULL = the main program) this resource table in place of its own;
// NULL table returns to its own. FALSE for an unknown module or a malformed table.
KVAPI BOOL PlatModuleSetResources(HMODULE hModule, const KVRES_TABLE *table);

// References of a loaded module (0 when it is not loaded), and the number of loaded
// modules besides the main program (tests look for leaks with them).
KVAPI DWORD PlatModuleRefCount(HMODULE hModule);
KVAPI DWORD PlatModuleLoadedCount(void);

// The host loader's message for the last module that failed to open ("" if none).
KVAPI const char *PlatModuleLastLoadError(void);

// ---------------------------------------------------------------- processes

typedef enum PLAT_PROCESS_CALL { PLAT_CALL_CREATE_PROCESS = 1, PLAT_CALL_SHELL_EXECUTE = 2 } PLAT_PROCESS_CALL;

// One recorded CreateProcessW or ShellExecuteW call, failed ones included. Strings are
// NULL when the caller passed NULL; they stay valid until the record is cleared.
typedef struct PLAT_PROCESS_RECORD {
  DWORD call;  // PLAT_PROCESS_CALL
  BOOL succeeded;
  DWORD error;  // the last error of a failed call
  // CreateProcessW
  LPCWSTR applicationName;
  LPCWSTR commandLine;
  LPCWSTR currentDirectory;  // also ShellExecuteW's lpDirectory
  LPCWSTR programPath;       // the full Windows path of the program or file found ("" if none)
  DWORD creationFlags;
  BOOL inheritHandles;
  BOOL hasEnvironment;
  DWORD startupFlags;  // STARTUPINFOW.dwFlags
  WORD showWindow;     // STARTUPINFOW.wShowWindow, or ShellExecuteW's nShowCmd
  DWORD processId;
  BOOL ranOnHost;  // a host program really ran
  // ShellExecuteW
  LPCWSTR operation;
  LPCWSTR file;
  LPCWSTR parameters;
} PLAT_PROCESS_RECORD;

KVAPI DWORD PlatProcessRecordCount(void);
// Copies record index (0 = the first call) into out; FALSE when there is none.
KVAPI BOOL PlatProcessRecordGet(DWORD index, PLAT_PROCESS_RECORD *out);
KVAPI void PlatProcessRecordClear(void);

// Maps a program's Windows path to a host program: CreateProcessW of that program then
// really runs hostProgram (posix_spawn) with the arguments of the command line (split
// by the Win32 rules, the program token left out), in the host folder of the working
// folder. The program then needs no file on the machine. NULL hostProgram removes it.
KVAPI BOOL PlatProcessRunOnHost(LPCWSTR winProgramPath, const char *hostProgram);

KV_END_DECLS
