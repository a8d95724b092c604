// The settings mutex: nesting, the per-context switch, time-out, abandonment, failed
// creation, per-thread ownership, and contention with a second process.
#include <sys/wait.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "kvplat/os_control.h"
#include "os_fixture.h"

class SettingsMutexTest : public OsTest {};

TEST_F(SettingsMutexTest, NestedLocksCountAndReleaseTheSameNumberOfTimes)
{
  EXPECT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr));
  EXPECT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr));
  EXPECT_EQ(2u, OsSettingsMutexHeldCount());
  EXPECT_TRUE(OsSettingsMutexUnlock(nullptr));
  EXPECT_TRUE(OsSettingsMutexUnlock(nullptr));
  EXPECT_EQ(0u, OsSettingsMutexHeldCount());
  EXPECT_FALSE(OsSettingsMutexUnlock(nullptr)) << "nothing left to release";
  // Released for real: another thread takes it at once.
  auto other = std::async(std::launch::async, [] {
    KV_LOCK_RESULT r = OsSettingsMutexLock(nullptr);
    OsSettingsMutexUnlock(nullptr);
    return r;
  });
  EXPECT_EQ(KV_LOCK_HELD, other.get());
}

TEST_F(SettingsMutexTest, ContextWithoutMutexNeitherWaitsNorReleases)
{
  FakeContext holder;
  FakeContext noMutex;
  noMutex.state->useSettingsMutex = 0;  // open mode with 0x100
  ASSERT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(&holder.ctx));
  ASSERT_TRUE(PlatMutexSetHeldElsewhere(KV_SETTINGS_MUTEX_NAME, TRUE));
  EXPECT_EQ(KV_LOCK_SKIPPED, OsSettingsMutexLock(&noMutex.ctx));
  EXPECT_FALSE(OsSettingsMutexUnlock(&noMutex.ctx));
  EXPECT_EQ(1u, OsSettingsMutexHeldCount());
  EXPECT_TRUE(OsSettingsMutexUnlock(&holder.ctx));
  PlatMutexSetHeldElsewhere(KV_SETTINGS_MUTEX_NAME, FALSE);
}

TEST_F(SettingsMutexTest, HeldElsewhereTimesOutAfterTwentySeconds)
{
  PlatClockSetTicks(1000);
  ASSERT_TRUE(PlatMutexSetHeldElsewhere(KV_SETTINGS_MUTEX_NAME, TRUE));
  EXPECT_EQ(KV_LOCK_TIMED_OUT, OsSettingsMutexLock(nullptr));
  DWORD waited = GetTickCount() - 1000;
  EXPECT_GE(waited, KV_SETTINGS_MUTEX_TIMEOUT);
  EXPECT_LT(waited, KV_SETTINGS_MUTEX_TIMEOUT + 1000);
  EXPECT_EQ(0u, OsSettingsMutexHeldCount());
  EXPECT_FALSE(OsSettingsMutexUnlock(nullptr)) << "the unlock after a failed wait releases nothing";
  PlatMutexSetHeldElsewhere(KV_SETTINGS_MUTEX_NAME, FALSE);
  EXPECT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr));
  EXPECT_TRUE(OsSettingsMutexUnlock(nullptr));
}

TEST_F(SettingsMutexTest, AbandonedWaitCountsAsOwnedAndIsReleased)
{
  ASSERT_TRUE(PlatMutexAbandonNextWait(KV_SETTINGS_MUTEX_NAME));
  EXPECT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr));
  EXPECT_EQ(1u, OsSettingsMutexHeldCount());
  EXPECT_TRUE(OsSettingsMutexUnlock(nullptr));
  auto other = std::async(std::launch::async, [] {
    PlatClockSetTicks(0);
    KV_LOCK_RESULT r = OsSettingsMutexLock(nullptr);
    OsSettingsMutexUnlock(nullptr);
    return r;
  });
  EXPECT_EQ(KV_LOCK_HELD, other.get()) << "the abandoned mutex was released, not kept";
}

TEST_F(SettingsMutexTest, FailedCreateIsRetriedAndReported)
{
  PlatMutexFailNextCreate(ERROR_ACCESS_DENIED);
  EXPECT_EQ(KV_LOCK_UNLOCKED, OsSettingsMutexLock(nullptr));
  EXPECT_FALSE(OsSettingsMutexUnlock(nullptr));
  EXPECT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr)) << "the next lock creates it";
  EXPECT_TRUE(OsSettingsMutexUnlock(nullptr));
}

TEST_F(SettingsMutexTest, ThreadNeverReleasesWhatItDoesNotHold)
{
  ASSERT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr));
  auto other = std::async(std::launch::async, [] {
    BOOL released = OsSettingsMutexUnlock(nullptr);
    return std::make_pair(released, OsSettingsMutexHeldCount());
  });
  auto [released, count] = other.get();
  EXPECT_FALSE(released);
  EXPECT_EQ(0u, count);
  EXPECT_EQ(1u, OsSettingsMutexHeldCount()) << "this thread's hold is untouched";
  EXPECT_TRUE(OsSettingsMutexUnlock(nullptr));
}

TEST_F(SettingsMutexTest, ThreadWaitsForTheHolder)
{
  ASSERT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr));
  std::promise<void> started;
  auto waiter = std::async(std::launch::async, [&] {
    started.set_value();
    KV_LOCK_RESULT r = OsSettingsMutexLock(nullptr);
    OsSettingsMutexUnlock(nullptr);
    return r;
  });
  started.get_future().wait();
  EXPECT_TRUE(OsSettingsMutexUnlock(nullptr));
  EXPECT_EQ(KV_LOCK_HELD, waiter.get());
}

TEST_F(SettingsMutexTest, HoldsOfAClosedHandleAreNotReleasedOnANewOne)
{
  ASSERT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr));
  OsSettingsMutexClose();
  OsSettingsMutexInit();
  EXPECT_EQ(0u, OsSettingsMutexHeldCount());
  EXPECT_FALSE(OsSettingsMutexUnlock(nullptr));
  EXPECT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr));
  EXPECT_TRUE(OsSettingsMutexUnlock(nullptr));
}

// A second process holds the mutex until told to go, then either releases it or
// exits holding it.
class SettingsMutexProcessTest : public SettingsMutexTest {
 protected:
  pid_t StartHolder(bool releaseBeforeExit)
  {
    int toChild[2], toParent[2];
    EXPECT_EQ(0, pipe(toChild));
    EXPECT_EQ(0, pipe(toParent));
    pid_t pid = fork();
    if (pid == 0) {
      OsSettingsMutexInit();
      char c = OsSettingsMutexLock(nullptr) == KV_LOCK_HELD ? 'L' : 'F';
      if (write(toParent[1], &c, 1) != 1) _exit(2);
      if (read(toChild[0], &c, 1) != 1) _exit(3);
      if (releaseBeforeExit) OsSettingsMutexUnlock(nullptr);
      _exit(0);
    }
    close(toChild[0]);
    close(toParent[1]);
    char c = 0;
    EXPECT_EQ(1, read(toParent[0], &c, 1));
    EXPECT_EQ('L', c) << "the holder took the mutex";
    close(toParent[0]);
    go_ = toChild[1];
    return pid;
  }
  void Finish(pid_t pid)
  {
    char c = 'G';
    EXPECT_EQ(1, write(go_, &c, 1));
    close(go_);
    int status = 0;
    EXPECT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  int go_ = -1;
};

TEST_F(SettingsMutexProcessTest, ContentionTimesOutThenSucceedsAfterRelease)
{
  pid_t pid = StartHolder(true);
  PlatClockSetTicks(0);
  EXPECT_EQ(KV_LOCK_TIMED_OUT, OsSettingsMutexLock(nullptr));
  EXPECT_EQ(0u, OsSettingsMutexHeldCount());
  Finish(pid);
  EXPECT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr));
  EXPECT_TRUE(OsSettingsMutexUnlock(nullptr));
}

TEST_F(SettingsMutexProcessTest, HolderThatDiesLeavesAnAbandonedMutexThatIsTaken)
{
  pid_t pid = StartHolder(false);
  Finish(pid);
  EXPECT_EQ(KV_LOCK_HELD, OsSettingsMutexLock(nullptr));
  EXPECT_EQ(1u, OsSettingsMutexHeldCount());
  EXPECT_TRUE(OsSettingsMutexUnlock(nullptr));
}
