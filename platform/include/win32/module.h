// Module loading: DLLs of the driver package and of the system, which this layer
// maps to stand-in shared libraries (see kvplat/module_control.h for how a DLL name
// finds its library).
#pragma once
#include "win32/types.h"

// LoadLibraryExW flags.
#ifndef DONT_RESOLVE_DLL_REFERENCES
#define DONT_RESOLVE_DLL_REFERENCES 0x00000001
#endif
#ifndef LOAD_LIBRARY_AS_DATAFILE
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002
#endif
#ifndef LOAD_WITH_ALTERED_SEARCH_PATH
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008
#endif
#ifndef LOAD_IGNORE_CODE_AUTHZ_LEVEL
#define LOAD_IGNORE_CODE_AUTHZ_LEVEL 0x00000010
#endif
#ifndef LOAD_LIBRARY_AS_IMAGE_RESOURCE
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020
#endif
#ifndef LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE
#define LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE 0x00000040
#endif

// DllMain reasons.
#ifndef DLL_PROCESS_ATTACH
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#endif

KV_BEGIN_DECLS

// Loads a module by name or path, or adds a reference to a loaded one. A name
// without an extension gets ".dll" (a trailing "." stops that). A bare name is found
// among the loaded modules by file name first, then searched in the application's
// folder, the system folder, the 16-bit system folder, the Windows folder, the current
// folder and the PATH folders. NULL with ERROR_MOD_NOT_FOUND when nothing is found,
// ERROR_BAD_EXE_FORMAT when the file is no module, ERROR_DLL_INIT_FAILED when its
// DllMain refuses to attach.
HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName);
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
// hFile must be NULL. LOAD_LIBRARY_AS_DATAFILE (and the _EXCLUSIVE and
// AS_IMAGE_RESOURCE forms) maps a module for its resources only: no DllMain, no
// exports, not visible to GetModuleHandleW; an already loaded module is shared instead.
// DONT_RESOLVE_DLL_REFERENCES skips DllMain.
HMODULE WINAPI LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
// An exported function or variable of the module itself (not of the libraries it
// uses), by name; NULL hModule means the main program. Ordinals are not kept by
// stand-in modules: asking by ordinal fails with ERROR_PROC_NOT_FOUND.
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// Drops a reference; the last one runs DllMain (DLL_PROCESS_DETACH) and unloads.
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// The handle of a loaded module without adding a reference; NULL = the main program.
HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName);
// The full Windows path of a module (NULL = the main program). Answers its length;
// when the buffer is too small, the path is cut to nSize - 1 characters and
// terminated, and the answer is nSize with ERROR_INSUFFICIENT_BUFFER.
DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
// Accepted for any loaded module: this layer never sends thread notifications.
BOOL WINAPI DisableThreadLibraryCalls(HMODULE hLibModule);

KV_END_DECLS
