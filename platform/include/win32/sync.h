// Named and unnamed mutexes shared across processes, and waiting on kernel objects.
#pragma once
#include "win32/types.h"

#ifndef WAIT_OBJECT_0
#define WAIT_OBJECT_0 0x00000000UL
#endif
#ifndef WAIT_ABANDONED
#define WAIT_ABANDONED 0x00000080UL
#endif
#ifndef WAIT_ABANDONED_0
#define WAIT_ABANDONED_0 0x00000080UL
#endif
#ifndef WAIT_FAILED
#define WAIT_FAILED 0xFFFFFFFFUL
#endif
// WAIT_TIMEOUT (258) is in win32/errors.h.

#ifndef MUTEX_MODIFY_STATE
#define MUTEX_MODIFY_STATE 0x0001UL
#endif
#ifndef MUTEX_ALL_ACCESS
#define MUTEX_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | MUTEX_MODIFY_STATE)
#endif

KV_BEGIN_DECLS

// Creates the mutex lpName, or opens it when it exists already (then the last error
// is ERROR_ALREADY_EXISTS and bInitialOwner is ignored; otherwise it is 0). A NULL or
// empty name makes an unnamed mutex of this process. Names are case-sensitive; the
// "Global\" and "Local\" prefixes name the same object as the plain name (one session).
// Another backslash in the name gives ERROR_PATH_NOT_FOUND, a name longer than
// MAX_PATH ERROR_FILENAME_EXCED_RANGE. The mutex serializes threads and processes.
HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName);

// Opens an existing named mutex; ERROR_FILE_NOT_FOUND when no process has it open.
// A wait needs SYNCHRONIZE in dwDesiredAccess (GENERIC_ALL and GENERIC_EXECUTE hold it).
HANDLE WINAPI OpenMutexW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName);

// Gives up one level of ownership; ERROR_NOT_OWNER when the calling thread does not own it.
BOOL WINAPI ReleaseMutex(HANDLE hMutex);

// Waits for the object. For a mutex: WAIT_OBJECT_0 when the calling thread owns it
// (recursively: each wait needs its own ReleaseMutex), WAIT_ABANDONED when it was
// granted after its owner thread or process ended without releasing it (the caller
// owns it now), WAIT_TIMEOUT when dwMilliseconds passed first, WAIT_FAILED with the
// last error set. Time is measured with GetTickCount and passed with Sleep, so with an
// injected clock a wait that cannot be satisfied moves the clock by its time-out and
// returns without waiting for real.
DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);

KV_END_DECLS
