// Last error, global and local memory, the clock, fault injection and test reset.
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "internal.h"

// ---------------------------------------------------------------- last error

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD WINAPI GetLastError(void) { return t_lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

// ---------------------------------------------------------------- fault injection

namespace {
std::atomic<DWORD> g_faultCountdown[PLAT_FAULT_KIND_COUNT];
}

void PlatFaultArm(PLAT_FAULT_KIND kind, DWORD nthCall)
{
  if (kind >= 0 && kind < PLAT_FAULT_KIND_COUNT) g_faultCountdown[kind] = nthCall;
}

void PlatFaultDisarmAll(void)
{
  for (auto &c : g_faultCountdown) c = 0;
}

BOOL PlatFaultHit(PLAT_FAULT_KIND kind)
{
  if (kind < 0 || kind >= PLAT_FAULT_KIND_COUNT) return FALSE;
  DWORD c = g_faultCountdown[kind].load();
  while (c != 0) {
    if (g_faultCountdown[kind].compare_exchange_weak(c, c - 1)) return c == 1;
  }
  return FALSE;
}

// ---------------------------------------------------------------- memory
// Each block carries a small header with a magic word and its size, so that
// GlobalSize answers and a foreign or freed pointer is refused.

namespace {
constexpr uint32_t kLiveMagic = 0x4B564D47;  // "KVMG"
constexpr uint32_t kDeadMagic = 0x44454144;
struct alignas(8) BlockHeader {
  uint32_t magic;
  uint32_t size;
};

// Blocks handed out and not yet freed, for leak checks in tests.
std::atomic<DWORD> g_liveBlocks{0};

void *AllocBlock(SIZE_T bytes, bool zero)
{
  if (PlatFaultHit(PLAT_FAULT_ALLOC) || bytes > 0x7FFF0000u) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  auto *h =
      static_cast<BlockHeader *>(zero ? calloc(1, sizeof(BlockHeader) + bytes) : malloc(sizeof(BlockHeader) + bytes));
  if (!h) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  h->magic = kLiveMagic;
  h->size = static_cast<uint32_t>(bytes);
  g_liveBlocks.fetch_add(1, std::memory_order_relaxed);
  return h + 1;
}

BlockHeader *HeaderOf(void *p)
{
  if (!p || (reinterpret_cast<uintptr_t>(p) & 7) != 0) return nullptr;
  auto *h = static_cast<BlockHeader *>(p) - 1;
  return h->magic == kLiveMagic ? h : nullptr;
}

void *FreeBlock(void *p)
{
  if (!p) return NULL;
  BlockHeader *h = HeaderOf(p);
  if (!h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return p;
  }
  h->magic = kDeadMagic;
  free(h);
  g_liveBlocks.fetch_sub(1, std::memory_order_relaxed);
  return NULL;
}
}  // namespace

DWORD PlatMemLiveBlocks(void) { return g_liveBlocks.load(std::memory_order_relaxed); }

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) { return AllocBlock(dwBytes, (uFlags & GMEM_ZEROINIT) != 0); }
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) { return FreeBlock(hMem); }
SIZE_T WINAPI GlobalSize(HGLOBAL hMem)
{
  BlockHeader *h = HeaderOf(hMem);
  if (!h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return h->size;
}
LPVOID WINAPI GlobalLock(HGLOBAL hMem)
{
  if (!HeaderOf(hMem)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return NULL;
  }
  return hMem;
}
BOOL WINAPI GlobalUnlock(HGLOBAL hMem)
{
  // A fixed block has no lock count: Windows answers FALSE with no error.
  SetLastError(HeaderOf(hMem) ? NO_ERROR : ERROR_INVALID_HANDLE);
  return FALSE;
}
HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags)
{
  BlockHeader *h = HeaderOf(hMem);
  if (!h) {
    SetLastError(ERROR_INVALID_HANDLE);
    return NULL;
  }
  void *n = AllocBlock(dwBytes, (uFlags & GMEM_ZEROINIT) != 0);
  if (!n) return NULL;
  memcpy(n, hMem, h->size < dwBytes ? h->size : dwBytes);
  FreeBlock(hMem);
  return n;
}
HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) { return AllocBlock(uBytes, (uFlags & LMEM_ZEROINIT) != 0); }
HLOCAL WINAPI LocalFree(HLOCAL hMem) { return FreeBlock(hMem); }
SIZE_T WINAPI LocalSize(HLOCAL hMem) { return GlobalSize(hMem); }

// ---------------------------------------------------------------- clock

namespace {
// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDelta = 116444736000000000LL;

std::mutex g_clockLock;
bool g_ticksInjected = false;
DWORD g_ticks = 0;
bool g_timeInjected = false;
int64_t g_injectedTime = 0;  // local time as 100-ns intervals since 1601

DWORD HostTicks()
{
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<DWORD>(static_cast<uint64_t>(ts.tv_sec) * 1000u + ts.tv_nsec / 1000000);
}

int64_t HostUtc100ns()
{
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return kEpochDelta + static_cast<int64_t>(ts.tv_sec) * 10000000LL + ts.tv_nsec / 100;
}

// Offset of local time from UTC, in 100-ns units, at the given UTC instant.
int64_t HostLocalOffset(int64_t utc100ns)
{
  time_t t = static_cast<time_t>((utc100ns - kEpochDelta) / 10000000LL);
  struct tm lt;
  if (!localtime_r(&t, &lt)) return 0;
  return static_cast<int64_t>(lt.tm_gmtoff) * 10000000LL;
}

// Days from 1970-01-01 to y-m-d (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t &y, unsigned &m, unsigned &d)
{
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y += m <= 2;
}

bool IsLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool SystemTimeTo100ns(const SYSTEMTIME *st, int64_t &out)
{
  static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (st->wYear < 1601 || st->wYear > 30827 || st->wMonth < 1 || st->wMonth > 12 || st->wDay < 1 || st->wHour > 23 ||
      st->wMinute > 59 || st->wSecond > 59 || st->wMilliseconds > 999)
    return false;
  unsigned dim = kDays[st->wMonth - 1] + (st->wMonth == 2 && IsLeap(st->wYear) ? 1 : 0);
  if (st->wDay > dim) return false;
  int64_t days = DaysFromCivil(st->wYear, st->wMonth, st->wDay);
  int64_t secs = days * 86400 + st->wHour * 3600 + st->wMinute * 60 + st->wSecond;
  out = kEpochDelta + secs * 10000000LL + st->wMilliseconds * 10000LL;
  return true;
}

bool SystemTimeFrom100ns(int64_t v, SYSTEMTIME *st)
{
  if (v < 0) return false;
  int64_t rel = v - kEpochDelta;
  int64_t secs = rel >= 0 ? rel / 10000000LL : -((-rel + 9999999LL) / 10000000LL);
  int64_t rem100 = rel - secs * 10000000LL;
  int64_t days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
  int64_t sod = secs - days * 86400;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  if (y > 30827) return false;
  st->wYear = static_cast<WORD>(y);
  st->wMonth = static_cast<WORD>(m);
  st->wDay = static_cast<WORD>(d);
  st->wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
  st->wHour = static_cast<WORD>(sod / 3600);
  st->wMinute = static_cast<WORD>((sod / 60) % 60);
  st->wSecond = static_cast<WORD>(sod % 60);
  st->wMilliseconds = static_cast<WORD>(rem100 / 10000);
  return true;
}

int64_t FromFileTime(const FILETIME *ft)
{
  return static_cast<int64_t>((static_cast<uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime);
}
void ToFileTime(int64_t v, FILETIME *ft)
{
  ft->dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(v) & 0xFFFFFFFFu);
  ft->dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(v) >> 32);
}

// Current UTC and local time; an injected clock is its own time zone (UTC).
int64_t NowUtc()
{
  std::lock_guard<std::mutex> g(g_clockLock);
  return g_timeInjected ? g_injectedTime : HostUtc100ns();
}
int64_t LocalOffsetAt(int64_t utc)
{
  {
    std::lock_guard<std::mutex> g(g_clockLock);
    if (g_timeInjected) return 0;
  }
  return HostLocalOffset(utc);
}

void ResetClock()
{
  std::lock_guard<std::mutex> g(g_clockLock);
  g_ticksInjected = false;
  g_timeInjected = false;
}
}  // namespace

DWORD WINAPI GetTickCount(void)
{
  std::lock_guard<std::mutex> g(g_clockLock);
  return g_ticksInjected ? g_ticks : HostTicks();
}

void PlatClockSetTicks(DWORD ticks)
{
  std::lock_guard<std::mutex> g(g_clockLock);
  g_ticksInjected = true;
  g_ticks = ticks;
}

void PlatClockAdvance(DWORD milliseconds)
{
  std::lock_guard<std::mutex> g(g_clockLock);
  if (!g_ticksInjected) {
    g_ticksInjected = true;
    g_ticks = HostTicks();
  }
  g_ticks += milliseconds;  // wraps like the real counter
  if (g_timeInjected) g_injectedTime += static_cast<int64_t>(milliseconds) * 10000LL;
}

void PlatClockSetLocalTime(const SYSTEMTIME *localTime)
{
  int64_t v = 0;
  bool ok = localTime && SystemTimeTo100ns(localTime, v);
  std::lock_guard<std::mutex> g(g_clockLock);
  g_timeInjected = ok;
  g_injectedTime = v;
}

void PlatClockReset(void) { ResetClock(); }

void WINAPI GetSystemTimeAsFileTime(LPFILETIME ft)
{
  if (ft) ToFileTime(NowUtc(), ft);
}

void WINAPI GetSystemTime(LPSYSTEMTIME st)
{
  if (st) SystemTimeFrom100ns(NowUtc(), st);
}

void WINAPI GetLocalTime(LPSYSTEMTIME st)
{
  if (!st) return;
  int64_t utc = NowUtc();
  SystemTimeFrom100ns(utc + LocalOffsetAt(utc), st);
}

BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME *st, LPFILETIME ft)
{
  int64_t v;
  if (!st || !ft || !SystemTimeTo100ns(st, v)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ToFileTime(v, ft);
  return TRUE;
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME *ft, LPSYSTEMTIME st)
{
  if (!ft || !st || !SystemTimeFrom100ns(FromFileTime(ft), st)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME *in, LPFILETIME out)
{
  if (!in || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t v = FromFileTime(in);
  ToFileTime(v + LocalOffsetAt(v), out);
  return TRUE;
}

BOOL WINAPI LocalFileTimeToFileTime(const FILETIME *in, LPFILETIME out)
{
  if (!in || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t v = FromFileTime(in);
  ToFileTime(v - LocalOffsetAt(v), out);
  return TRUE;
}

void WINAPI Sleep(DWORD ms)
{
  {
    // With an injected clock, sleeping only moves the clock: tests never wait.
    std::lock_guard<std::mutex> g(g_clockLock);
    if (g_ticksInjected) {
      g_ticks += ms;
      if (g_timeInjected) g_injectedTime += static_cast<int64_t>(ms) * 10000LL;
      return;
    }
  }
  struct timespec ts;
  ts.tv_sec = ms / 1000;
  ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

// ---------------------------------------------------------------- test reset

namespace plat {
namespace {
std::mutex g_resetLock;
std::vector<void (*)()> &Resets()
{
  static auto *v = new std::vector<void (*)()>();
  return *v;
}
}  // namespace

void RegisterReset(void (*fn)())
{
  std::lock_guard<std::mutex> g(g_resetLock);
  Resets().push_back(fn);
}

DWORD SetErrorFromErrno(int err)
{
  DWORD e;
  switch (err) {
    case 0: e = NO_ERROR; break;
    case ENOENT: e = ERROR_FILE_NOT_FOUND; break;
    case ENOTDIR: e = ERROR_PATH_NOT_FOUND; break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: e = ERROR_ACCESS_DENIED; break;
    case EEXIST: e = ERROR_ALREADY_EXISTS; break;
    case ENOTEMPTY: e = ERROR_DIR_NOT_EMPTY; break;
    case ENOSPC: e = ERROR_DISK_FULL; break;
    case ENOMEM: e = ERROR_NOT_ENOUGH_MEMORY; break;
    case EMFILE:
    case ENFILE: e = ERROR_TOO_MANY_OPEN_FILES; break;
    case ENAMETOOLONG: e = ERROR_FILENAME_EXCED_RANGE; break;
    case EINVAL: e = ERROR_INVALID_PARAMETER; break;
    case EBADF: e = ERROR_INVALID_HANDLE; break;
    case EBUSY: e = ERROR_BUSY; break;
    default: e = ERROR_GEN_FAILURE; break;
  }
  SetLastError(e);
  return e;
}
}  // namespace plat

void PlatResetForTest(void)
{
  PlatFaultDisarmAll();
  ResetClock();
  std::vector<void (*)()> fns;
  {
    std::lock_guard<std::mutex> g(plat::g_resetLock);
    fns = plat::Resets();
  }
  for (auto fn : fns) fn();
  SetLastError(0);
}
