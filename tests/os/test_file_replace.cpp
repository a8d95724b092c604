// Whole-file replacement (FileReplaceWhole): the pieces land whole or not at all, a link
// in the file's place is replaced rather than written through, a folder that leads out of
// the machine is refused, and writers in many threads and processes never meet in one
// temporary file.
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "files/file_replace.h"
#include "os_fixture.h"

namespace {

BOOL Replace(const WCHAR *path, const std::string &text, const FILETIME *time = nullptr)
{
  FILE_PIECE piece = {text.data(), static_cast<DWORD>(text.size())};
  return FileReplaceWhole(path, &piece, 1, time);
}

class FileReplaceTest : public OsTest {
 protected:
  void SetUp() override
  {
    OsTest::SetUp();
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvoutside-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    outside_ = tmpl;
    ASSERT_TRUE(CreateDirectoryW(u"C:\\data", nullptr));
    dir_ = HostPath(u"C:\\data");
  }
  void TearDown() override
  {
    OsTest::TearDown();
    std::error_code ec;
    std::filesystem::remove_all(outside_, ec);
  }
  std::string Outside(const std::string &name) const { return outside_ + "/" + name; }
  void Link(const std::string &target, const std::string &path)
  {
    ASSERT_EQ(0, symlink(target.c_str(), path.c_str())) << path;
  }

  std::string outside_, dir_;
};

TEST_F(FileReplaceTest, PiecesReplaceWhateverStandsInTheFilesPlace)
{
  enum Setup { NOTHING, REGULAR, LINK_OUT, DANGLING_LINK_OUT, LINK_IN };
  struct Case {
    const char *name;
    Setup setup;
  } cases[] = {
      {"missing", NOTHING}, {"regular", REGULAR}, {"linkout", LINK_OUT}, {"dangling", DANGLING_LINK_OUT},
      {"linkin", LINK_IN},
  };
  const std::string block(70000, 'b');
  const FILE_PIECE pieces[] = {
      {"head:", 5}, {nullptr, 0}, {block.data(), static_cast<DWORD>(block.size())}, {":tail", 5}};
  const FILETIME stamp = {0x12345600u, 0x01D00000u};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string path = u"C:\\data\\" + U16(c.name) + u".bin";
    std::string host = dir_ + "/" + c.name + ".bin";
    switch (c.setup) {
      case NOTHING: break;
      case REGULAR: WriteHostFile(host, "old contents, longer than nothing"); break;
      case LINK_OUT:
        WriteHostFile(Outside(c.name), "precious");
        Link(Outside(c.name), host);
        break;
      case DANGLING_LINK_OUT: Link(Outside(c.name), host); break;
      case LINK_IN:
        WriteHostFile(dir_ + "/kept.txt", "kept");
        Link(dir_ + "/kept.txt", host);
        break;
    }
    ASSERT_TRUE(FileReplaceWhole(path.c_str(), pieces, 4, &stamp));
    EXPECT_TRUE(HostIsRegularFile(host));
    EXPECT_EQ("head:" + block + ":tail", ReadHostFile(host));
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    FILETIME written = {};
    EXPECT_TRUE(GetFileTime(h, nullptr, nullptr, &written));
    CloseHandle(h);
    EXPECT_EQ(0, CompareFileTime(&stamp, &written));
    if (c.setup == LINK_OUT) {
      EXPECT_EQ("precious", ReadHostFile(Outside(c.name)));
    }
    if (c.setup == DANGLING_LINK_OUT) {
      EXPECT_FALSE(HostExists(Outside(c.name)));
    }
    if (c.setup == LINK_IN) {
      EXPECT_EQ("kept", ReadHostFile(dir_ + "/kept.txt"));
    }
  }
  // No pieces: an empty file.
  ASSERT_TRUE(FileReplaceWhole(u"C:\\data\\regular.bin", nullptr, 0, nullptr));
  EXPECT_EQ("", ReadHostFile(dir_ + "/regular.bin"));
  EXPECT_EQ(
      (std::vector<std::string>{"dangling.bin", "kept.txt", "linkin.bin", "linkout.bin", "missing.bin", "regular.bin"}),
      HostFolderEntries(dir_));
}

TEST_F(FileReplaceTest, FolderThatLeadsOutOfTheMachineIsRefused)
{
  Link(outside_, dir_ + "/away");
  WriteHostFile(Outside("settings.ini"), "[s]\r\n");
  SetLastError(0);
  EXPECT_FALSE(Replace(u"C:\\data\\away\\settings.ini", "new"));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_FALSE(Replace(u"C:\\data\\away\\fresh.ini", "new"));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_EQ("[s]\r\n", ReadHostFile(Outside("settings.ini")));
  EXPECT_EQ(std::vector<std::string>{"settings.ini"}, HostFolderEntries(outside_));
}

TEST_F(FileReplaceTest, FailureLeavesTheOldFileAndNoTemporaryFile)
{
  const std::string old = "old contents";
  WriteHostFile(dir_ + "/f.txt", old);
  const FILE_PIECE pieces[] = {{"one", 3}, {"two", 3}};
  // A write fails, first or second.
  for (DWORD nth : {1u, 2u}) {
    PlatFaultArm(PLAT_FAULT_FILE_WRITE, nth);
    EXPECT_FALSE(FileReplaceWhole(u"C:\\data\\f.txt", pieces, 2, nullptr)) << nth;
    EXPECT_EQ((DWORD)ERROR_DISK_FULL, GetLastError());
    PlatFaultDisarmAll();
    EXPECT_EQ(old, ReadHostFile(dir_ + "/f.txt"));
    EXPECT_EQ(std::vector<std::string>{"f.txt"}, HostFolderEntries(dir_));
  }
  // The rename is refused: a read-only file stays as it was.
  ASSERT_TRUE(SetFileAttributesW(u"C:\\data\\f.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(FileReplaceWhole(u"C:\\data\\f.txt", pieces, 2, nullptr));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_EQ(old, ReadHostFile(dir_ + "/f.txt"));
  EXPECT_EQ(std::vector<std::string>{"f.txt"}, HostFolderEntries(dir_));
  // A missing folder, and bad arguments.
  EXPECT_FALSE(FileReplaceWhole(u"C:\\data\\none\\f.txt", pieces, 2, nullptr));
  EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
  EXPECT_FALSE(FileReplaceWhole(nullptr, pieces, 2, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_FALSE(FileReplaceWhole(u"", pieces, 2, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_FALSE(FileReplaceWhole(u"C:\\data\\g.txt", nullptr, 1, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
  const FILE_PIECE hole = {nullptr, 4};
  EXPECT_FALSE(FileReplaceWhole(u"C:\\data\\g.txt", &hole, 1, nullptr));
  EXPECT_EQ((DWORD)ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_EQ(std::vector<std::string>{"f.txt"}, HostFolderEntries(dir_));
  // A folder so long that the temporary name in it would not fit.
  const std::string longName(240, 'd');
  ASSERT_TRUE(std::filesystem::create_directory(dir_ + "/" + longName));
  std::u16string longPath = u"C:\\data\\" + U16(longName.c_str()) + u"\\f";
  EXPECT_FALSE(Replace(longPath.c_str(), "x"));
  EXPECT_EQ((DWORD)ERROR_FILENAME_EXCED_RANGE, GetLastError());
  EXPECT_TRUE(HostFolderEntries(dir_ + "/" + longName).empty());
}

// The versions the concurrent writers write: writer w's round r, told apart by length and
// by every byte, so that any mix of two shows.
std::string Version(int writer, int round)
{
  return std::string(30000 + writer * 997, static_cast<char>('a' + writer)) + "#" + std::to_string(round);
}

// Checks that text is one whole version; answers its writer, or -1.
int WholeVersion(const std::string &text, int writers)
{
  if (text.empty()) return -1;
  int w = text[0] - 'a';
  if (w < 0 || w >= writers) return -1;
  size_t hash = text.find('#');
  if (hash == std::string::npos) return -1;
  return text == Version(w, atoi(text.c_str() + hash + 1)) ? w : -1;
}

TEST_F(FileReplaceTest, ConcurrentWritersInThreadsAndProcessesNeverMeet)
{
  constexpr int kThreads = 4, kProcesses = 4, kRounds = 30;
  constexpr int kWriters = kThreads + kProcesses;
  const std::string host = dir_ + "/shared.bin";
  std::atomic<int> failures{0};
  std::atomic<bool> done{false};
  // Writers in other processes share this process's temporary counter (they are forks of
  // it): their process ids keep their names apart.
  fflush(nullptr);
  std::vector<pid_t> pids;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    if (pid == 0) {
      bool ok = true;
      for (int r = 0; r < kRounds && ok; ++r) ok = Replace(u"C:\\data\\shared.bin", Version(kThreads + p, r)) != FALSE;
      _exit(ok ? 0 : 1);
    }
    pids.push_back(pid);
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int r = 0; r < kRounds; ++r)
        if (!Replace(u"C:\\data\\shared.bin", Version(t, r))) ++failures;
    });
  }
  // Every look while they write finds one whole version.
  std::thread reader([&] {
    while (!done) {
      if (!HostExists(host)) continue;
      if (WholeVersion(ReadHostFile(host), kWriters) < 0) ++failures;
    }
  });
  for (std::thread &t : threads) t.join();
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
  }
  done = true;
  reader.join();
  EXPECT_EQ(0, failures.load());
  std::string last = ReadHostFile(host);
  int w = WholeVersion(last, kWriters);
  ASSERT_GE(w, 0);
  EXPECT_EQ(Version(w, kRounds - 1), last);
  EXPECT_EQ(std::vector<std::string>{"shared.bin"}, HostFolderEntries(dir_));
}

}  // namespace
