// Mutexes: names, recursive ownership, time-outs with the injected clock, abandonment
// by threads and processes, serialization across threads and forked processes, and
// the test controls.
#include <fcntl.h>
#include <sched.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "kvplat/os_control.h"
#include "machine_fixture.h"

namespace {

// Runs body in a forked child and answers the child's exit code (body's answer), or
// -1 when the child did not end normally.
int InChild(const std::function<int()> &body, pid_t *started = nullptr)
{
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  if (pid < 0) return -1;
  if (started) {
    *started = pid;
    return 0;
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Reap(pid_t pid)
{
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A one-byte message between parent and child.
struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() { EXPECT_EQ(pipe(fd), 0); }
  ~Pipe()
  {
    close(fd[0]);
    close(fd[1]);
  }
  bool Send() { return write(fd[1], "x", 1) == 1; }
  bool Receive()
  {
    char c;
    return read(fd[0], &c, 1) == 1;
  }
};

using MutexTest = MachineTest;

}  // namespace

// ---------------------------------------------------------------- names and existence

TEST_F(MutexTest, CreateReportsWhetherTheMutexExisted)
{
  SetLastError(ERROR_INVALID_DATA);
  HANDLE a = CreateMutexW(NULL, FALSE, u"KvmlMutexTse");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
  HANDLE b = CreateMutexW(NULL, TRUE, u"KvmlMutexTse");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
  EXPECT_NE(a, b);

  // The second create did not take ownership (bInitialOwner is ignored when it exists).
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(b));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);
  // Both handles are the same mutex.
  ASSERT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(b));
  EXPECT_TRUE(CloseHandle(a));
  EXPECT_TRUE(CloseHandle(b));

  // Once every handle is closed the mutex is gone.
  HANDLE c = CreateMutexW(NULL, FALSE, u"KvmlMutexTse");
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
  CloseHandle(c);
}

TEST_F(MutexTest, OpenFindsOnlyExistingMutexes)
{
  SetLastError(0);
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u"Absent"), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  HANDLE a = CreateMutexW(NULL, TRUE, u"Present");
  ASSERT_NE(a, nullptr);
  HANDLE b = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, u"Present");
  ASSERT_NE(b, nullptr);
  // The creator owns it, so the opened handle may release it.
  EXPECT_TRUE(ReleaseMutex(b));
  CloseHandle(a);
  CloseHandle(b);
  EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u"Present"), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

  for (const WCHAR *bad : {static_cast<const WCHAR *>(nullptr), u""}) {
    SetLastError(0);
    EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, bad), nullptr);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  }
}

TEST_F(MutexTest, NameRules)
{
  HANDLE base = CreateMutexW(NULL, FALSE, u"KvmlMutexTse");
  ASSERT_NE(base, nullptr);
  struct {
    const WCHAR *name;
    DWORD createError;  // last error after CreateMutexW (0: a new mutex)
    bool created;
  } cases[] = {
      {u"KvmlMutexTse", ERROR_ALREADY_EXISTS, true},
      {u"kvmlmutextse", ERROR_SUCCESS, true},  // names are case-sensitive
      {u"Global\\KvmlMutexTse", ERROR_ALREADY_EXISTS, true},
      {u"Local\\KvmlMutexTse", ERROR_ALREADY_EXISTS, true},
      {u"global\\KvmlMutexTse", ERROR_PATH_NOT_FOUND, false},  // the prefix is case-sensitive too
      {u"Kvml\\Mutex", ERROR_PATH_NOT_FOUND, false},
      {u"Global\\", ERROR_INVALID_NAME, false},
      {u"a/b:c*?%.. \u00E9\u65E5", ERROR_SUCCESS, true},
      {u"a%2Fb", ERROR_SUCCESS, true},  // not confused with the encoding of "a/b"
  };
  std::vector<HANDLE> open;
  for (auto &c : cases) {
    SCOPED_TRACE(Narrow(c.name));
    SetLastError(0xDEAD);
    HANDLE h = CreateMutexW(NULL, FALSE, c.name);
    EXPECT_EQ(h != nullptr, c.created);
    EXPECT_EQ(GetLastError(), c.createError);
    if (h) open.push_back(h);
  }
  for (HANDLE h : open) CloseHandle(h);

  std::u16string longest(MAX_PATH, u'n');
  HANDLE h = CreateMutexW(NULL, FALSE, longest.c_str());
  ASSERT_NE(h, nullptr);
  HANDLE h2 = OpenMutexW(SYNCHRONIZE, FALSE, longest.c_str());
  ASSERT_NE(h2, nullptr);
  std::u16string other = longest;
  other.back() = u'm';  // differs in the last character only
  HANDLE h3 = CreateMutexW(NULL, FALSE, other.c_str());
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
  CloseHandle(h);
  CloseHandle(h2);
  CloseHandle(h3);
  SetLastError(0);
  EXPECT_EQ(CreateMutexW(NULL, FALSE, (longest + u"n").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILENAME_EXCED_RANGE);
  CloseHandle(base);
}

TEST_F(MutexTest, UnnamedMutexesAreSeparate)
{
  HANDLE a = CreateMutexW(NULL, TRUE, NULL);
  HANDLE b = CreateMutexW(NULL, FALSE, u"");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
  DWORD other = 0;
  std::thread t([&] { other = WaitForSingleObject(a, 0); });
  t.join();
  EXPECT_EQ(other, (DWORD)WAIT_TIMEOUT);  // a is owned by this thread
  std::thread t2([&] {
    other = WaitForSingleObject(b, 0);
    ReleaseMutex(b);
  });
  t2.join();
  EXPECT_EQ(other, WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(a));
  CloseHandle(a);
  CloseHandle(b);
}

// ---------------------------------------------------------------- ownership

TEST_F(MutexTest, OwnershipIsRecursiveAndPerThread)
{
  HANDLE m = CreateMutexW(NULL, FALSE, u"Recursive");
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
  ASSERT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0);

  auto otherThreadWait = [m] {
    DWORD r = 0;
    std::thread t([&] {
      r = WaitForSingleObject(m, 0);
      if (r == WAIT_OBJECT_0) ReleaseMutex(m);
    });
    t.join();
    return r;
  };
  DWORD notOwnerError = 0;
  std::thread t([&] {
    if (!ReleaseMutex(m)) notOwnerError = GetLastError();
  });
  t.join();
  EXPECT_EQ(notOwnerError, (DWORD)ERROR_NOT_OWNER);

  EXPECT_EQ(otherThreadWait(), (DWORD)WAIT_TIMEOUT);
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(otherThreadWait(), (DWORD)WAIT_TIMEOUT);  // one level still held
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(otherThreadWait(), WAIT_OBJECT_0);
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(m));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);
  CloseHandle(m);
}

TEST_F(MutexTest, BadHandlesAndAccess)
{
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x4444), 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ReleaseMutex(reinterpret_cast<HANDLE>(0x4444)));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_FALSE(ReleaseMutex(NULL));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);

  HANDLE m = CreateMutexW(NULL, FALSE, u"Access");
  HANDLE noSync = OpenMutexW(MUTEX_MODIFY_STATE, FALSE, u"Access");
  HANDLE exec = OpenMutexW(GENERIC_EXECUTE, FALSE, u"Access");
  ASSERT_NE(noSync, nullptr);
  ASSERT_NE(exec, nullptr);
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(noSync, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_EQ(WaitForSingleObject(exec, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(exec));
  for (HANDLE h : {m, noSync, exec}) EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(ReleaseMutex(m));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(MutexTest, InjectedClockRunsThroughTheTimeOut)
{
  HANDLE m = CreateMutexW(NULL, FALSE, u"Held");
  Pipe owned, done;
  std::thread owner([&] {
    WaitForSingleObject(m, INFINITE);
    owned.Send();
    done.Receive();
    ReleaseMutex(m);
  });
  ASSERT_TRUE(owned.Receive());

  PlatClockSetTicks(1000);
  EXPECT_EQ(WaitForSingleObject(m, 0), (DWORD)WAIT_TIMEOUT);
  EXPECT_EQ(GetTickCount(), 1000u);  // a zero time-out takes no time
  EXPECT_EQ(WaitForSingleObject(m, 20000), (DWORD)WAIT_TIMEOUT);
  EXPECT_EQ(GetTickCount(), 21000u);
  EXPECT_EQ(WaitForSingleObject(m, 1), (DWORD)WAIT_TIMEOUT);
  EXPECT_EQ(GetTickCount(), 21001u);

  ASSERT_TRUE(done.Send());
  owner.join();
  EXPECT_EQ(WaitForSingleObject(m, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(GetTickCount(), 21001u);  // satisfied at once
  EXPECT_TRUE(ReleaseMutex(m));
  CloseHandle(m);
}

TEST_F(MutexTest, ThreadsExcludeEachOther)
{
  HANDLE m = CreateMutexW(NULL, FALSE, u"Counter");
  ASSERT_NE(m, nullptr);
  int counter = 0;  // deliberately not atomic: the mutex protects it
  int failures = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        if (WaitForSingleObject(m, INFINITE) != WAIT_OBJECT_0) {
          ++failures;
          continue;
        }
        int v = counter;
        sched_yield();
        counter = v + 1;
        ReleaseMutex(m);
      }
    });
  }
  for (auto &t : threads) t.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(counter, 800);
  CloseHandle(m);
}

TEST_F(MutexTest, ThreadThatEndsOwningAbandonsTheMutex)
{
  for (const WCHAR *name : {static_cast<const WCHAR *>(u"Abandoned"), static_cast<const WCHAR *>(nullptr)}) {
    SCOPED_TRACE(name ? "named" : "unnamed");
    HANDLE m = CreateMutexW(NULL, FALSE, name);
    ASSERT_NE(m, nullptr);
    std::thread t([m] {
      WaitForSingleObject(m, INFINITE);
      WaitForSingleObject(m, INFINITE);  // twice: the whole count goes
    });
    t.join();
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_ABANDONED);
    // The waiter owns it now, once.
    EXPECT_TRUE(ReleaseMutex(m));
    EXPECT_FALSE(ReleaseMutex(m));
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
    CloseHandle(m);
  }
}

TEST_F(MutexTest, WaitServesProcessesAndRefusesOtherObjects)
{
  // A program the layer records rather than runs has ended at once.
  WriteHostFile(HostPath(u"C:\\Drv\\setup.exe"), "MZ");
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(u"C:\\Drv\\setup.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(pi.hThread, INFINITE), WAIT_OBJECT_0);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);

  HANDLE file = CreateFileW(u"C:\\Drv\\setup.exe", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(file, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(file));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  CloseHandle(file);
}

// ---------------------------------------------------------------- across processes

TEST_F(MutexTest, ProcessesSerializeOnTheMutex)
{
  const std::string counterPath = Root() + "/counter";
  WriteHostFile(counterPath, "0");
  constexpr int kChildren = 4, kRounds = 40;
  std::vector<pid_t> pids(kChildren);
  for (int c = 0; c < kChildren; ++c) {
    InChild(
        [&] {
          HANDLE m = CreateMutexW(NULL, FALSE, u"Global\\KvmlMutexTse");
          if (!m) return 10;
          for (int i = 0; i < kRounds; ++i) {
            if (WaitForSingleObject(m, INFINITE) != WAIT_OBJECT_0) return 11;
            // Read, yield, write: without the lock the processes lose increments.
            char buf[32] = {};
            int fd = open(counterPath.c_str(), O_RDWR);
            if (fd < 0 || read(fd, buf, sizeof buf - 1) < 0) return 12;
            int v = atoi(buf);
            sched_yield();
            std::string next = std::to_string(v + 1);
            if (ftruncate(fd, 0) != 0 || pwrite(fd, next.data(), next.size(), 0) != (ssize_t)next.size()) return 13;
            close(fd);
            if (!ReleaseMutex(m)) return 14;
          }
          CloseHandle(m);
          return 0;
        },
        &pids[c]);
  }
  for (pid_t pid : pids) EXPECT_EQ(Reap(pid), 0);
  EXPECT_EQ(ReadHostFile(counterPath), std::to_string(kChildren * kRounds));
}

TEST_F(MutexTest, HowAnOwningProcessEndsDecidesAbandonment)
{
  struct {
    const char *what;
    int (*child)();
    DWORD expected;
  } cases[] = {
      {"exits owning",
       [] {
         HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, u"Shared");
         return m && WaitForSingleObject(m, INFINITE) == WAIT_OBJECT_0 ? 0 : 1;
       },
       WAIT_ABANDONED},
      {"closes its handle owning",
       [] {
         HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, u"Shared");
         if (!m || WaitForSingleObject(m, INFINITE) != WAIT_OBJECT_0) return 1;
         return CloseHandle(m) ? 0 : 2;
       },
       WAIT_ABANDONED},
      {"releases first",
       [] {
         HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, u"Shared");
         if (!m || WaitForSingleObject(m, INFINITE) != WAIT_OBJECT_0) return 1;
         return ReleaseMutex(m) ? 0 : 2;
       },
       WAIT_OBJECT_0},
  };
  HANDLE m = CreateMutexW(NULL, FALSE, u"Shared");  // keeps the mutex in existence
  ASSERT_NE(m, nullptr);
  for (auto &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(InChild(c.child), 0);
    EXPECT_EQ(WaitForSingleObject(m, 0), c.expected);
    EXPECT_TRUE(ReleaseMutex(m));
    // The abandonment is reported once.
    EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(m));
  }
  CloseHandle(m);
}

TEST_F(MutexTest, WaitTimesOutWhileAnotherProcessOwnsIt)
{
  Pipe owned, go;
  pid_t pid = 0;
  InChild(
      [&] {
        HANDLE m = CreateMutexW(NULL, TRUE, u"KvmlMutexTse");
        if (!m || !owned.Send() || !go.Receive()) return 1;
        return ReleaseMutex(m) && CloseHandle(m) ? 0 : 2;
      },
      &pid);
  ASSERT_TRUE(owned.Receive());

  HANDLE m = CreateMutexW(NULL, FALSE, u"KvmlMutexTse");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
  PlatClockSetTicks(5000);
  EXPECT_EQ(WaitForSingleObject(m, 20000), (DWORD)WAIT_TIMEOUT);
  EXPECT_EQ(GetTickCount(), 25000u);
  SetLastError(0);
  EXPECT_FALSE(ReleaseMutex(m));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_OWNER);

  ASSERT_TRUE(go.Send());
  EXPECT_EQ(WaitForSingleObject(m, INFINITE), WAIT_OBJECT_0);  // released, not abandoned
  EXPECT_EQ(Reap(pid), 0);
  EXPECT_TRUE(ReleaseMutex(m));
  CloseHandle(m);
}

TEST_F(MutexTest, MutexExistsWhileAnyProcessHasItOpen)
{
  Pipe created, go;
  pid_t pid = 0;
  InChild(
      [&] {
        HANDLE m = CreateMutexW(NULL, FALSE, u"Existence");
        if (!m || !created.Send() || !go.Receive()) return 1;
        return 0;  // ends without closing: the system closes the handle
      },
      &pid);
  ASSERT_TRUE(created.Receive());
  HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, u"Existence");
  ASSERT_NE(h, nullptr);
  CloseHandle(h);
  ASSERT_TRUE(go.Send());
  ASSERT_EQ(Reap(pid), 0);
  SetLastError(0);
  EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, u"Existence"), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  h = CreateMutexW(NULL, FALSE, u"Existence");
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);  // a new mutex: not abandoned
  ReleaseMutex(h);
  CloseHandle(h);
}

TEST_F(MutexTest, ForkedChildDoesNotInheritOwnership)
{
  HANDLE m = CreateMutexW(NULL, TRUE, u"Inherited");
  ASSERT_NE(m, nullptr);
  int code = InChild([m] {
    if (ReleaseMutex(m) || GetLastError() != ERROR_NOT_OWNER) return 1;
    if (WaitForSingleObject(m, 0) != WAIT_TIMEOUT) return 2;  // the parent owns it
    return 0;
  });
  EXPECT_EQ(code, 0);
  // The parent still owns it, and the child's exit did not disturb that.
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(InChild([m] { return WaitForSingleObject(m, 0) == WAIT_OBJECT_0 && ReleaseMutex(m) ? 0 : 1; }), 0);
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
  ReleaseMutex(m);
  CloseHandle(m);
}

// ---------------------------------------------------------------- test controls

TEST_F(MutexTest, HeldElsewhereControl)
{
  ASSERT_TRUE(PlatMutexSetHeldElsewhere(u"KvmlMutexTse", TRUE));
  HANDLE m = CreateMutexW(NULL, TRUE, u"Global\\KvmlMutexTse");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(ReleaseMutex(m));  // the initial ownership was not granted
  HANDLE opened = OpenMutexW(SYNCHRONIZE, FALSE, u"KvmlMutexTse");
  EXPECT_NE(opened, nullptr);
  PlatClockSetTicks(0);
  EXPECT_EQ(WaitForSingleObject(m, 20000), (DWORD)WAIT_TIMEOUT);
  EXPECT_EQ(GetTickCount(), 20000u);

  ASSERT_TRUE(PlatMutexSetHeldElsewhere(u"KvmlMutexTse", FALSE));
  EXPECT_EQ(WaitForSingleObject(m, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(GetTickCount(), 20000u);
  EXPECT_TRUE(ReleaseMutex(m));
  CloseHandle(m);
  CloseHandle(opened);

  ASSERT_TRUE(PlatMutexSetHeldElsewhere(u"Other", TRUE));
  PlatResetForTest();
  ASSERT_TRUE(PlatSetMachineRoot(Root().c_str()));
  m = CreateMutexW(NULL, FALSE, u"Other");
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);
  ReleaseMutex(m);
  CloseHandle(m);
  EXPECT_FALSE(PlatMutexSetHeldElsewhere(nullptr, TRUE));
  EXPECT_FALSE(PlatMutexSetHeldElsewhere(u"a\\b", TRUE));
}

TEST_F(MutexTest, AbandonNextWaitControl)
{
  HANDLE m = CreateMutexW(NULL, FALSE, u"KvmlMutexTse");
  ASSERT_TRUE(PlatMutexAbandonNextWait(u"Local\\KvmlMutexTse"));
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_ABANDONED);
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);  // a recursive wait is no new take
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_TRUE(ReleaseMutex(m));
  EXPECT_EQ(WaitForSingleObject(m, 0), WAIT_OBJECT_0);  // once only
  EXPECT_TRUE(ReleaseMutex(m));
  CloseHandle(m);
}

TEST_F(MutexTest, FailNextCreateControl)
{
  PlatMutexFailNextCreate(ERROR_ACCESS_DENIED);
  SetLastError(0);
  EXPECT_EQ(CreateMutexW(NULL, FALSE, u"KvmlMutexTse"), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  HANDLE m = CreateMutexW(NULL, FALSE, u"KvmlMutexTse");
  EXPECT_NE(m, nullptr);
  CloseHandle(m);
  PlatMutexFailNextCreate(ERROR_INVALID_HANDLE);
  PlatResetForTest();
  ASSERT_TRUE(PlatSetMachineRoot(Root().c_str()));
  m = CreateMutexW(NULL, FALSE, u"KvmlMutexTse");
  EXPECT_NE(m, nullptr);
  CloseHandle(m);
}
