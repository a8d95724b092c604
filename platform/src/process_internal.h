// Process and thread objects of the handle table, for the wait functions.
// A process handle (OBJ_PROCESS) and its thread handle (OBJ_THREAD) share one state;
// both are signalled when the process has ended. Recorded processes end at once.
#pragma once
#include <memory>

#include "internal.h"

namespace plat {

// Answers 0 (WAIT_OBJECT_0) when the process behind obj (an OBJ_PROCESS or OBJ_THREAD
// object) has ended or ends within timeoutMs (INFINITE waits for ever), WAIT_TIMEOUT
// otherwise; WAIT_FAILED (0xFFFFFFFF) with ERROR_INVALID_HANDLE for another kind of
// object. Real host processes are waited for in real time; recorded ones never block.
DWORD ProcessWait(const std::shared_ptr<Object> &obj, DWORD timeoutMs);

// True when obj is a process or thread object whose process has ended (no blocking).
bool ProcessSignaled(const std::shared_ptr<Object> &obj);

}  // namespace plat
