// The settings mutex: one named mutex that serializes settings work across every
// process of the driver.
//
// The named mutex is owned by the thread that waited for it, so the number of waits
// not yet released is kept per thread: an unlock on a thread that holds nothing
// releases nothing, whatever other threads of the process hold. A wait that reports an
// abandoned mutex has taken ownership and is counted, so its unlock releases it. A
// failed creation is retried at the next lock; the lock's answer tells the caller
// whether it runs with the mutex or without it.
#include <atomic>
#include <mutex>

#include "os/os.h"

namespace {

SETTINGS_MUTEX g_settingsMutex = {nullptr};
// Guards creating the handle, so two threads locking first at once share one handle.
std::mutex g_createGuard;

// Bumped whenever the handle is dropped, so counts that a thread kept for an older
// handle are not released against a new one.
std::atomic<DWORD> g_generation{1};

struct ThreadHold {
  DWORD generation = 0;
  DWORD count = 0;
};
thread_local ThreadHold t_hold;

DWORD &HeldCount()
{
  DWORD gen = g_generation.load();
  if (t_hold.generation != gen) {
    t_hold.generation = gen;
    t_hold.count = 0;
  }
  return t_hold.count;
}

}  // namespace

void WINAPI OsSettingsMutexInit(void)
{
  g_settingsMutex.handle = nullptr;
  ++g_generation;
}

KV_LOCK_RESULT WINAPI OsSettingsMutexLock(DRIVER_CONTEXT *ctx)
{
  if (ctx && !OsCtxUsesSettingsMutex(ctx)) return KV_LOCK_SKIPPED;
  HANDLE handle;
  {
    std::lock_guard<std::mutex> guard(g_createGuard);
    if (!g_settingsMutex.handle) g_settingsMutex.handle = CreateMutexW(nullptr, FALSE, KV_SETTINGS_MUTEX_NAME);
    handle = g_settingsMutex.handle;
  }
  if (!handle) return KV_LOCK_UNLOCKED;  // tried again at the next lock
  DWORD result = WaitForSingleObject(handle, KV_SETTINGS_MUTEX_TIMEOUT);
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
    ++HeldCount();
    return KV_LOCK_HELD;
  }
  return result == WAIT_TIMEOUT ? KV_LOCK_TIMED_OUT : KV_LOCK_UNLOCKED;
}

BOOL WINAPI OsSettingsMutexUnlock(DRIVER_CONTEXT *ctx)
{
  if (ctx && !OsCtxUsesSettingsMutex(ctx)) return FALSE;
  DWORD &held = HeldCount();
  if (!g_settingsMutex.handle || held == 0) return FALSE;
  --held;
  return ReleaseMutex(g_settingsMutex.handle) ? TRUE : FALSE;
}

void WINAPI OsSettingsMutexClose(void)
{
  if (g_settingsMutex.handle) {
    CloseHandle(g_settingsMutex.handle);
    g_settingsMutex.handle = nullptr;
  }
  ++g_generation;
}

DWORD WINAPI OsSettingsMutexHeldCount(void) { return HeldCount(); }
