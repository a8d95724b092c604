// Several processes and threads at the cache file at once: a reader never meets a torn file,
// and loads that race end with one sound cache file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "blob/desc_compile.h"
#include "cache_fixture.h"
#include "os/os.h"

namespace {

class CacheConcurrency : public CacheTest {
 public:
  void SetUp() override
  {
    CacheTest::SetUp();
    ASSERT_NE(Load(), nullptr);
    good_ = ReadHostFile(CacheHost());
    ASSERT_GT(good_.size(), (size_t)DESC_HEADER_SIZE);
    NewProcess();
  }

  // Starts a child that waits for the go byte, runs work and exits with its answer.
  pid_t Spawn(int goFd[2], int (*work)(CacheConcurrency *self))
  {
    pid_t pid = fork();
    if (pid == 0) {
      char c;
      close(goFd[1]);
      if (read(goFd[0], &c, 1) != 1) _exit(90);
      _exit(work(this));
    }
    return pid;
  }
  static int Wait(pid_t pid)
  {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }
  std::string good_;
};

std::string ReadWhole(const std::string &path)
{
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

const int kRounds = 25;

// Two processes keep replacing the cache file (one with the stored block, one by compiling
// the text) while this one reads it: every read sees the whole file.
TEST_F(CacheConcurrency, WritersNeverShowATornFile)
{
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  pid_t writer = Spawn(go, [](CacheConcurrency *self) {
    for (int i = 0; i < kRounds; ++i)
      if (!DescWriteCacheFile(self->TextPath(), (const BYTE *)self->good_.data())) return 1;
    return 0;
  });
  pid_t compiler = Spawn(go, [](CacheConcurrency *self) {
    for (int i = 0; i < kRounds; ++i) {
      DESC_BLOB *blob = DescCompile(nullptr, self->TextPath(), TRUE);
      if (blob == nullptr) return 1;
      GlobalFree(blob);
    }
    return 0;
  });
  close(go[0]);
  char start[2] = {'g', 'g'};
  ASSERT_EQ(write(go[1], start, 2), 2);
  close(go[1]);
  int torn = 0, refused = 0, reads = 0;
  for (int i = 0; i < 4 * kRounds; ++i, ++reads) {
    if (ReadWhole(CacheHost()) != good_) ++torn;
    BYTE *block = DescReadCacheFile(TextPath(), nullptr);
    if (block == nullptr)
      ++refused;
    else
      GlobalFree(block);
  }
  EXPECT_EQ(Wait(writer), 0);
  EXPECT_EQ(Wait(compiler), 0);
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  EXPECT_EQ(refused, 0) << "of " << reads << " reads";
  EXPECT_TRUE(ReadHostFile(CacheHost()) == good_);
}

// Two processes load the description at the same moment with no cache file: each gets a
// sound description and one sound cache file remains.
TEST_F(CacheConcurrency, ProcessesLoadingAtOnce)
{
  ASSERT_TRUE(DeleteFileW(CachePath()));
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  auto work = [](CacheConcurrency *self) {
    for (int i = 0; i < 8; ++i) {
      DescFreeCache();
      if (i % 2 == 1) DescDeleteCacheFile(self->TextPath());  // the next load compiles again
      LoadContext c(self->printer_, u"1.41");
      DESC_BLOB *blob = DescLoadCompiled(&c.ctx);
      const BYTE *node = SlotNode(blob, 7);
      if (node == nullptr || DESC_FIELD16(node, DESC_ITEM_NODE, itemId) != 7) return 1;
      if (OsSettingsMutexHeldCount() != 0) return 2;
    }
    DescFreeCache();
    return 0;
  };
  pid_t a = Spawn(go, work);
  pid_t b = Spawn(go, work);
  close(go[0]);
  char start[2] = {'g', 'g'};
  ASSERT_EQ(write(go[1], start, 2), 2);
  close(go[1]);
  EXPECT_EQ(Wait(a), 0);
  EXPECT_EQ(Wait(b), 0);
  NewProcess();
  DESC_BLOB *blob = Load();
  ASSERT_NE(blob, nullptr);
  EXPECT_NE(SlotNode(blob, 7), nullptr);
  EXPECT_TRUE(ReadHostFile(CacheHost()) == good_);
}

// Threads of one process loading at once: the settings mutex lets one of them compile, the
// others take its blob from the process cache.
TEST_F(CacheConcurrency, ThreadsShareOneBlob)
{
  ASSERT_TRUE(DeleteFileW(CachePath()));
  DWORD writes = DescCacheFileWriteCount();
  std::vector<DESC_BLOB *> got(4, nullptr);
  std::vector<std::thread> threads;
  std::atomic<int> ready{0};
  for (size_t i = 0; i < got.size(); ++i) {
    threads.emplace_back([&, i] {
      LoadContext c(printer_, u"1.41");
      ++ready;
      while (ready.load() < (int)got.size()) std::this_thread::yield();
      got[i] = DescLoadCompiled(&c.ctx);
    });
  }
  for (std::thread &t : threads) t.join();
  ASSERT_NE(got[0], nullptr);
  for (DESC_BLOB *b : got) EXPECT_EQ(b, got[0]);
  EXPECT_EQ(DescCacheFileWriteCount(), writes + 1);
  int nodes = 0;
  for (DESC_CACHE_NODE *n = g_descProcessCache; n != nullptr; n = n->next) ++nodes;
  EXPECT_EQ(nodes, 1);
}

}  // namespace
