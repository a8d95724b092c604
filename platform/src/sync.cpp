// Mutexes shared by the threads of a process and across processes, and
// WaitForSingleObject.
//
// A named mutex lives in three files under "<machine root>/.kvplat/mutex/":
//   NAME.ref   every process that has the mutex open holds a shared flock on it, so the
//              mutex exists while an exclusive probe of that file fails;
//   NAME.lock  the process that owns the mutex holds an exclusive flock on it; the file
//              also holds the owner record {pid, tid, flags};
//   guard      serializes the existence probe of CreateMutexW and OpenMutexW.
// The kernel drops a dead process's flocks, so finding the lock free while the record
// still names an owner means the owner died holding it: the wait reports
// WAIT_ABANDONED. (Robust process-shared pthread mutexes would be simpler, but the
// user-mode emulator that runs the 32-bit tests does not deliver owner-died.)
//
// flock belongs to an open file description, which all threads of the process share,
// so the threads of one process exclude each other with the mutex's own in-process
// state (owner thread, recursion count) before they touch the file lock.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "internal.h"
#include "kvplat/os_control.h"
#include "process_internal.h"

namespace {

// ---------------------------------------------------------------- owner record

constexpr uint32_t kRecordMagic = 0x584D564Bu;  // "KVMX"
constexpr uint32_t kFlagAbandoned = 1;

struct OwnerRecord {
  uint32_t magic;
  int32_t pid;
  int32_t tid;
  uint32_t flags;
};

bool ReadRecord(int fd, OwnerRecord &r)
{
  ssize_t n = pread(fd, &r, sizeof r, 0);
  return n == static_cast<ssize_t>(sizeof r) && r.magic == kRecordMagic;
}

void WriteRecord(int fd, pid_t pid, pid_t tid, uint32_t flags)
{
  OwnerRecord r = {kRecordMagic, pid, tid, flags};
  ssize_t n = pwrite(fd, &r, sizeof r, 0);
  (void)n;  // a lost record can only make a later wait miss an abandonment
}

pid_t ThreadId() { return static_cast<pid_t>(syscall(SYS_gettid)); }

int FlockRetry(int fd, int op)
{
  int r;
  do {
    r = flock(fd, op);
  } while (r != 0 && errno == EINTR);
  return r;
}

// ---------------------------------------------------------------- mutex state

struct MutexCore {
  std::u16string name;   // without "Global\" or "Local\"; empty for an unnamed mutex
  std::string path;      // host path of the files without extension; empty when unnamed
  pid_t pid = getpid();  // the process that opened the files
  int lockFd = -1;
  int refFd = -1;
  std::mutex m;
  std::condition_variable cv;
  pid_t owner = 0;         // owning thread of this process, 0 when none
  DWORD count = 0;         // recursion count of the owner
  bool abandoned = false;  // unnamed mutex: the last owner ended without releasing
  ~MutexCore();
};

// Gives up ownership (c.m held): the record is cleared, or marked abandoned, before
// the file lock is dropped.
void GiveUp(MutexCore &c, bool abandon)
{
  if (!c.path.empty() && c.lockFd >= 0) {
    WriteRecord(c.lockFd, 0, 0, abandon ? kFlagAbandoned : 0);
    FlockRetry(c.lockFd, LOCK_UN);
  } else {
    c.abandoned = abandon;
  }
  c.owner = 0;
  c.count = 0;
  c.cv.notify_all();
}

MutexCore::~MutexCore()
{
  // The last handle of this process is closing while one of its threads owns the
  // mutex: no one here can release it any more, so it counts as abandoned.
  if (pid == getpid() && owner != 0) GiveUp(*this, true);
  if (lockFd >= 0) close(lockFd);
  if (refFd >= 0) close(refFd);
}

// Mutexes each thread owns, abandoned when the thread ends without releasing them.
struct OwnedList {
  std::vector<std::weak_ptr<MutexCore>> cores;
  ~OwnedList()
  {
    pid_t tid = ThreadId();
    for (auto &w : cores) {
      auto c = w.lock();
      if (!c) continue;
      std::lock_guard<std::mutex> g(c->m);
      if (c->pid == getpid() && c->owner == tid) GiveUp(*c, true);
    }
  }
  void Add(const std::shared_ptr<MutexCore> &c)
  {
    Drop(c.get());
    cores.push_back(c);
  }
  void Drop(const MutexCore *c)
  {
    for (size_t i = cores.size(); i-- > 0;) {
      auto p = cores[i].lock();
      if (!p || p.get() == c) cores.erase(cores.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
};
thread_local OwnedList t_owned;

// ---------------------------------------------------------------- test controls

std::mutex g_ctlLock;
std::set<std::u16string> g_heldElsewhere;
std::set<std::u16string> g_abandonNext;
DWORD g_failNextCreate = 0;

bool HeldElsewhere(const std::u16string &name)
{
  if (name.empty()) return false;
  std::lock_guard<std::mutex> g(g_ctlLock);
  return g_heldElsewhere.count(name) != 0;
}

bool ConsumeAbandonNext(const std::u16string &name)
{
  if (name.empty()) return false;
  std::lock_guard<std::mutex> g(g_ctlLock);
  return g_abandonNext.erase(name) != 0;
}

void ResetSync()
{
  std::lock_guard<std::mutex> g(g_ctlLock);
  g_heldElsewhere.clear();
  g_abandonNext.clear();
  g_failNextCreate = 0;
}

// ---------------------------------------------------------------- names and files

// Strips the session prefix and checks the name. There is one session, so
// "Global\X", "Local\X" and "X" are the same object.
bool NormalizeName(LPCWSTR name, std::u16string &out)
{
  out = name;
  if (out.size() > MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  for (const char16_t *prefix : {u"Global\\", u"Local\\"}) {
    std::u16string p(prefix);
    if (out.compare(0, p.size(), p) == 0) {
      out.erase(0, p.size());
      break;
    }
  }
  if (out.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  if (out.find(u'\\') != std::u16string::npos) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return true;
}

// A host file name for a mutex name: letters, digits, '-' and '_' stay, every other
// UTF-8 byte becomes %XX (case is kept: names are case-sensitive). Long names are cut
// and completed with a hash of the whole name.
std::string EncodeName(const std::u16string &name)
{
  std::string utf8 = plat::Utf16ToUtf8(name.data(), name.size());
  std::string out;
  static const char kHex[] = "0123456789ABCDEF";
  for (unsigned char ch : utf8) {
    if ((ch >= '0' && ch <= '9') || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch == '-' || ch == '_') {
      out += static_cast<char>(ch);
    } else {
      out += '%';
      out += kHex[ch >> 4];
      out += kHex[ch & 15];
    }
  }
  if (out.size() > 160) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char ch : utf8) h = (h ^ ch) * 1099511628211ull;
    char tail[24];
    snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(h));
    out = out.substr(0, 120) + tail;
  }
  return out;
}

bool MakeDir(const std::string &dir)
{
  if (mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST) return true;
  plat::SetErrorFromErrno(errno);
  return false;
}

int OpenFile(const std::string &path)
{
  int fd;
  do {
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::mutex g_regLock;
std::map<std::string, std::weak_ptr<MutexCore>> &Registry()
{
  static auto *reg = new std::map<std::string, std::weak_ptr<MutexCore>>();
  return *reg;
}

// After fork the child shares the parent's open file descriptions, and so its file
// locks. The child drops its copies (closing, never unlocking) and opens its own when
// it uses the mutex again.
void PrepareFork() { g_regLock.lock(); }
void ParentAfterFork() { g_regLock.unlock(); }
void ChildAfterFork()
{
  for (auto &entry : Registry()) {
    if (auto c = entry.second.lock()) {
      if (c->lockFd >= 0) close(c->lockFd);
      if (c->refFd >= 0) close(c->refFd);
      c->lockFd = c->refFd = -1;
    }
  }
  Registry().clear();
  g_regLock.unlock();
}

struct Registrar {
  Registrar()
  {
    plat::RegisterReset(ResetSync);
    pthread_atfork(PrepareFork, ParentAfterFork, ChildAfterFork);
  }
} g_registrar;

// Opens (create: or creates) the named mutex of this machine. existed says whether
// some process had it open before.
std::shared_ptr<MutexCore> OpenNamed(const std::u16string &name, bool create, bool &existed)
{
  const char *root = PlatGetMachineRoot();
  if (!root) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  std::string dir = std::string(root) + "/.kvplat";
  if (!MakeDir(dir) || !MakeDir(dir += "/mutex")) return nullptr;
  std::string path = dir + "/" + EncodeName(name);
  bool heldElsewhere = HeldElsewhere(name);

  std::lock_guard<std::mutex> g(g_regLock);
  auto &reg = Registry();
  auto it = reg.find(path);
  if (it != reg.end()) {
    auto c = it->second.lock();
    if (c && c->pid == getpid()) {
      existed = true;
      return c;
    }
    reg.erase(it);
  }

  int guard = OpenFile(dir + "/guard");
  if (guard < 0 || FlockRetry(guard, LOCK_EX) != 0) {
    plat::SetErrorFromErrno(errno);
    if (guard >= 0) close(guard);
    return nullptr;
  }
  int refFd = OpenFile(path + ".ref");
  int lockFd = refFd >= 0 ? OpenFile(path + ".lock") : -1;
  auto fail = [&](DWORD error) -> std::shared_ptr<MutexCore> {
    if (lockFd >= 0) close(lockFd);
    if (refFd >= 0) close(refFd);
    close(guard);
    SetLastError(error);
    return nullptr;
  };
  if (lockFd < 0) return fail(plat::SetErrorFromErrno(errno));

  // Another process holds a shared lock on the ref file while it has the mutex open.
  bool othersHaveIt = flock(refFd, LOCK_EX | LOCK_NB) != 0;
  existed = othersHaveIt || heldElsewhere;
  if (!existed && !create) return fail(ERROR_FILE_NOT_FOUND);
  if (!othersHaveIt) WriteRecord(lockFd, 0, 0, 0);  // a new mutex starts unowned
  if (FlockRetry(refFd, LOCK_SH) != 0) return fail(plat::SetErrorFromErrno(errno));
  close(guard);

  auto c = std::make_shared<MutexCore>();
  c->name = name;
  c->path = path;
  c->lockFd = lockFd;
  c->refFd = refFd;
  reg[path] = c;
  return c;
}

// ---------------------------------------------------------------- handles

struct MutexHandle : plat::Object {
  MutexHandle(std::shared_ptr<MutexCore> c, ACCESS_MASK a)
      : plat::Object(plat::OBJ_MUTEX), core_(std::move(c)), access(a)
  {
  }

  // The mutex behind the handle; in a child process after fork, the child's own view
  // of the same named mutex (an unnamed one starts afresh, unowned).
  std::shared_ptr<MutexCore> Core()
  {
    std::lock_guard<std::mutex> g(lock_);
    if (core_->pid != getpid()) {
      std::shared_ptr<MutexCore> fresh;
      if (core_->name.empty()) {
        fresh = std::make_shared<MutexCore>();
      } else {
        bool existed = false;
        fresh = OpenNamed(core_->name, true, existed);
      }
      if (!fresh) return nullptr;
      core_ = fresh;
    }
    return core_;
  }

  std::mutex lock_;
  std::shared_ptr<MutexCore> core_;
  ACCESS_MASK access;
};

// The generic rights of a mutex: read queries its state, execute waits for it.
ACCESS_MASK MapMutexAccess(ACCESS_MASK a)
{
  if (a & (GENERIC_ALL | MAXIMUM_ALLOWED)) a |= MUTEX_ALL_ACCESS;
  if (a & GENERIC_READ) a |= READ_CONTROL | MUTEX_MODIFY_STATE;
  if (a & GENERIC_WRITE) a |= READ_CONTROL;
  if (a & GENERIC_EXECUTE) a |= READ_CONTROL | SYNCHRONIZE;
  return a & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MAXIMUM_ALLOWED);
}

// ---------------------------------------------------------------- taking and waiting

enum class Take { kTaken, kTakenAbandoned, kBusy, kFailed };

// Tries to take a mutex that no thread of this process owns (c.m held).
Take TryTake(MutexCore &c, pid_t tid)
{
  bool abandoned;
  if (c.path.empty()) {
    abandoned = c.abandoned;
    c.abandoned = false;
  } else {
    if (HeldElsewhere(c.name)) return Take::kBusy;
    if (c.lockFd < 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return Take::kFailed;
    }
    if (flock(c.lockFd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK || errno == EINTR) return Take::kBusy;
      plat::SetErrorFromErrno(errno);
      return Take::kFailed;
    }
    OwnerRecord r;
    abandoned = ReadRecord(c.lockFd, r) && (r.pid != 0 || (r.flags & kFlagAbandoned));
    WriteRecord(c.lockFd, getpid(), tid, 0);
  }
  if (ConsumeAbandonNext(c.name)) abandoned = true;
  c.owner = tid;
  c.count = 1;
  return abandoned ? Take::kTakenAbandoned : Take::kTaken;
}

void RealSleepMs(DWORD ms)
{
  struct timespec ts = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

// Waits for a mutex. Finite waits measure time with GetTickCount and pass it with
// Sleep in short slices, re-trying between them; an injected clock therefore runs
// through the whole time-out at once. Infinite waits block for real.
DWORD WaitMutex(const std::shared_ptr<MutexCore> &c, DWORD timeout)
{
  const pid_t tid = ThreadId();
  std::unique_lock<std::mutex> lk(c->m);
  if (c->owner == tid) {
    if (c->count >= 0x7FFFFFFFu) {
      SetLastError(ERROR_TOO_MANY_POSTS);
      return WAIT_FAILED;
    }
    ++c->count;
    return WAIT_OBJECT_0;
  }
  const DWORD start = GetTickCount();
  DWORD backoff = 1;
  for (;;) {
    if (c->owner == 0) {
      Take t = TryTake(*c, tid);
      if (t == Take::kFailed) return WAIT_FAILED;
      if (t != Take::kBusy) {
        lk.unlock();
        t_owned.Add(c);
        return t == Take::kTakenAbandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
      }
    }
    if (timeout == 0) return WAIT_TIMEOUT;
    if (timeout != INFINITE) {
      DWORD elapsed = GetTickCount() - start;
      if (elapsed >= timeout) return WAIT_TIMEOUT;
      DWORD slice = timeout - elapsed < backoff ? timeout - elapsed : backoff;
      lk.unlock();
      Sleep(slice);
      lk.lock();
    } else if (c->owner != 0) {
      c->cv.wait_for(lk, std::chrono::milliseconds(backoff));  // a release wakes it early
    } else {
      lk.unlock();
      RealSleepMs(backoff);  // another process owns it: poll its file lock
      lk.lock();
    }
    if (backoff < 16) backoff *= 2;
  }
}

}  // namespace

// ---------------------------------------------------------------- controls

BOOL PlatMutexSetHeldElsewhere(LPCWSTR name, BOOL held)
{
  std::u16string n;
  if (!name || !NormalizeName(name, n)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> g(g_ctlLock);
  if (held)
    g_heldElsewhere.insert(n);
  else
    g_heldElsewhere.erase(n);
  return TRUE;
}

BOOL PlatMutexAbandonNextWait(LPCWSTR name)
{
  std::u16string n;
  if (!name || !NormalizeName(name, n)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> g(g_ctlLock);
  g_abandonNext.insert(n);
  return TRUE;
}

void PlatMutexFailNextCreate(DWORD error)
{
  std::lock_guard<std::mutex> g(g_ctlLock);
  g_failNextCreate = error;
}

// ---------------------------------------------------------------- Win32

HANDLE WINAPI CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName)
{
  {
    std::lock_guard<std::mutex> g(g_ctlLock);
    if (g_failNextCreate) {
      SetLastError(g_failNextCreate);
      g_failNextCreate = 0;
      return NULL;
    }
  }
  std::shared_ptr<MutexCore> core;
  bool existed = false;
  if (!lpName || !*lpName) {
    core = std::make_shared<MutexCore>();
  } else {
    std::u16string name;
    if (!NormalizeName(lpName, name)) return NULL;
    core = OpenNamed(name, true, existed);
    if (!core) return NULL;
  }
  if (bInitialOwner && !existed) {
    std::unique_lock<std::mutex> lk(core->m);
    if (core->owner == 0) {
      Take t = TryTake(*core, ThreadId());
      if (t == Take::kFailed) return NULL;
      if (t == Take::kBusy) {
        SetLastError(ERROR_BUSY);
        return NULL;
      }
      lk.unlock();
      t_owned.Add(core);
    }
  }
  HANDLE h = plat::HandleAdd(std::make_shared<MutexHandle>(core, MUTEX_ALL_ACCESS));
  if (!h) return NULL;
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

HANDLE WINAPI OpenMutexW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName)
{
  if (!lpName || !*lpName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  std::u16string name;
  if (!NormalizeName(lpName, name)) return NULL;
  bool existed = false;
  auto core = OpenNamed(name, false, existed);
  if (!core) return NULL;
  return plat::HandleAdd(std::make_shared<MutexHandle>(core, MapMutexAccess(dwDesiredAccess)));
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex)
{
  auto h = plat::HandleGetAs<MutexHandle>(hMutex, plat::OBJ_MUTEX);
  if (!h) return FALSE;
  auto c = h->Core();
  if (!c) return FALSE;
  std::lock_guard<std::mutex> g(c->m);
  if (c->owner != ThreadId()) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  if (--c->count == 0) {
    GiveUp(*c, false);
    t_owned.Drop(c.get());
  }
  return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
  auto obj = plat::HandleGet(hHandle, plat::OBJ_ANY);
  if (!obj) return WAIT_FAILED;
  switch (obj->kind) {
    case plat::OBJ_MUTEX: {
      auto h = std::static_pointer_cast<MutexHandle>(obj);
      if (!(h->access & SYNCHRONIZE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return WAIT_FAILED;
      }
      auto c = h->Core();
      if (!c) return WAIT_FAILED;
      return WaitMutex(c, dwMilliseconds);
    }
    case plat::OBJ_PROCESS:
    case plat::OBJ_THREAD: return plat::ProcessWait(obj, dwMilliseconds);
    case plat::OBJ_PRINTER_CHANGE: return plat::PrinterChangeWait(obj, dwMilliseconds);
    default: break;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}
