// Whole-file replacement and the machine root as the boundary of what the layer writes:
// a file replaced through a temporary file and a rename, links in a file's place replaced
// rather than written through (by the INI functions, the registry and the spooler's
// store), folders that lead out of the machine refused, and failures that leave the old
// file and no temporary file behind.
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "internal.h"
#include "kvplat/host_drive.h"
#include "kvplat/spool_control.h"
#include "machine_fixture.h"
#include "store.h"

namespace {

const char16_t kDriver[] = u"KV Boundary Driver";
const char16_t kPrinter[] = u"KV Boundary Printer";

std::string Folder(const std::string &path) { return path.substr(0, path.rfind('/')); }

class BoundaryTest : public MachineTest {
 protected:
  void SetUp() override
  {
    MachineTest::SetUp();
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvoutside-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    outside_ = tmpl;
  }
  void TearDown() override
  {
    for (HANDLE h : open_) ClosePrinter(h);
    MachineTest::TearDown();
    std::error_code ec;
    std::filesystem::remove_all(outside_, ec);
  }

  // A host file outside the machine root.
  std::string Outside(const char *name) const { return outside_ + "/" + name; }
  // Puts a link at path that points at target.
  void Link(const std::string &target, const std::string &path)
  {
    std::filesystem::create_directories(Folder(path));
    ASSERT_EQ(0, symlink(target.c_str(), path.c_str())) << path;
  }
  // Moves the host file at path outside the machine and leaves a link to it in its place;
  // answers the outside copy's path.
  std::string MoveOutAndLink(const std::string &path, const char *outsideName)
  {
    std::string out = Outside(outsideName);
    std::filesystem::copy_file(path, out);
    std::filesystem::remove(path);
    Link(out, path);
    return out;
  }
  // The same with a hard link: the file at path becomes a second name of the file outside.
  std::string MoveOutAndHardLink(const std::string &path, const char *outsideName)
  {
    std::string out = Outside(outsideName);
    std::filesystem::copy_file(path, out);
    std::filesystem::remove(path);
    EXPECT_EQ(0, link(out.c_str(), path.c_str())) << path;
    return out;
  }

  void AddPrinter()
  {
    PLAT_DRIVER_SETUP d{};
    d.name = kDriver;
    d.driverFile = u"KVMLDRAW.DLL";
    d.dataFile = u"KVSAMPLE.KDS";
    d.configFile = u"KVMLFACE.DLL";
    d.defaultDataType = u"RAW";
    ASSERT_TRUE(PlatSpoolAddDriver(&d));
    PLAT_PRINTER_SETUP p{};
    p.printerName = kPrinter;
    p.driverName = kDriver;
    p.portName = u"FILE:";
    ASSERT_TRUE(PlatSpoolAddPrinter(&p));
  }
  HANDLE OpenPrinter()
  {
    PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE h = NULL;
    if (!OpenPrinterW(const_cast<LPWSTR>(kPrinter), &h, &defaults)) return NULL;
    open_.push_back(h);
    return h;
  }
  // The folder of the spooler's printer files, and the one printer's file in it.
  std::string PrintersDir() const { return HostPath(u"C:\\WINDOWS\\system32\\spool\\kvprinters"); }
  std::string PrinterFile() const
  {
    for (const std::string &e : HostFolderEntries(PrintersDir()))
      if (HostExists(PrintersDir() + "/" + e + "/printer.txt")) return PrintersDir() + "/" + e + "/printer.txt";
    return std::string();
  }
  static DWORD SetDword(HANDLE h, const char16_t *name, DWORD v)
  {
    return SetPrinterDataW(h, const_cast<LPWSTR>(name), REG_DWORD, reinterpret_cast<BYTE *>(&v), sizeof v);
  }
  static DWORD GetDword(HANDLE h, const char16_t *name, DWORD &v)
  {
    DWORD type = 0, needed = 0;
    return GetPrinterDataW(h, const_cast<LPWSTR>(name), &type, reinterpret_cast<BYTE *>(&v), sizeof v, &needed);
  }

  std::string outside_;
  std::vector<HANDLE> open_;
};

// ---------------------------------------------------------------- the primitive

TEST_F(BoundaryTest, ReplaceHostFileReplacesWhateverStandsInTheFilesPlace)
{
  enum Setup { NOTHING, REGULAR, LINK_OUT, DANGLING_LINK_OUT, LINK_IN };
  struct Case {
    const char *name;
    Setup setup;
  } cases[] = {
      {"missing", NOTHING}, {"regular", REGULAR}, {"link-out", LINK_OUT}, {"dangling", DANGLING_LINK_OUT},
      {"link-in", LINK_IN},
  };
  std::string dir = Root() + "/C/data";
  std::filesystem::create_directories(dir);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string target = dir + "/" + c.name + ".txt";
    std::string outside = Outside(c.name);
    std::string inside = dir + "/" + c.name + ".inside";
    switch (c.setup) {
      case NOTHING: break;
      case REGULAR: WriteHostFile(target, "old"); break;
      case LINK_OUT:
        WriteHostFile(outside, "precious");
        Link(outside, target);
        break;
      case DANGLING_LINK_OUT: Link(outside, target); break;
      case LINK_IN:
        WriteHostFile(inside, "kept");
        Link(inside, target);
        break;
    }
    plat::ReplaceOptions how;
    ASSERT_TRUE(plat::ReplaceHostFile(target, "new bytes", how));
    EXPECT_TRUE(HostIsRegularFile(target));
    EXPECT_EQ("new bytes", ReadHostFile(target));
    if (c.setup == LINK_OUT) {
      EXPECT_EQ("precious", ReadHostFile(outside));
    }
    if (c.setup == DANGLING_LINK_OUT) {
      EXPECT_FALSE(HostExists(outside));
    }
    if (c.setup == LINK_IN) {
      EXPECT_EQ("kept", ReadHostFile(inside));
    }
  }
  // No temporary file stays beside the files.
  for (const std::string &e : HostFolderEntries(dir)) EXPECT_EQ(std::string::npos, e.find('~')) << e;
}

TEST_F(BoundaryTest, FolderThatLeadsOutOfTheMachineIsRefused)
{
  Link(outside_, Root() + "/C/away");
  plat::ReplaceOptions how;
  SetLastError(0);
  EXPECT_FALSE(plat::ReplaceHostFile(Root() + "/C/away/f.txt", "x", how));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  // The store's writer makes missing folders: not where they would lie outside.
  SetLastError(0);
  EXPECT_FALSE(plat::store::WriteFileAtomic(Root() + "/C/away/sub/deeper/f.txt", "x"));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_TRUE(HostFolderEntries(outside_).empty());
  // A folder inside the machine reached through a link inside it is the machine's.
  std::filesystem::create_directories(Root() + "/C/real");
  Link(Root() + "/C/real", Root() + "/C/alias");
  EXPECT_TRUE(plat::ReplaceHostFile(Root() + "/C/alias/f.txt", "in", how));
  EXPECT_EQ("in", ReadHostFile(Root() + "/C/real/f.txt"));
  // A host file named outside the machine root is the host drive's, which is not bound.
  EXPECT_TRUE(plat::ReplaceHostFile(Outside("free.txt"), "host", how));
  EXPECT_EQ("host", ReadHostFile(Outside("free.txt")));
}

TEST_F(BoundaryTest, FailedReplaceLeavesTheOldFileAndNoTemporaryFile)
{
  std::string dir = Root() + "/C/data";
  std::string target = dir + "/f.txt";
  WriteHostFile(target, "old text");
  plat::ReplaceOptions how;
  how.countWriteFault = true;
  PlatFaultArm(PLAT_FAULT_FILE_WRITE, 1);
  EXPECT_FALSE(plat::ReplaceHostFile(target, "new text", how));
  EXPECT_EQ((DWORD)ERROR_DISK_FULL, GetLastError());
  PlatFaultDisarmAll();
  EXPECT_EQ("old text", ReadHostFile(target));
  EXPECT_EQ(std::vector<std::string>{"f.txt"}, HostFolderEntries(dir));
  // The rename fails: a folder stands in the file's place.
  std::filesystem::create_directories(dir + "/sub/inner");
  EXPECT_FALSE(plat::ReplaceHostFile(dir + "/sub", "x", how));
  EXPECT_NE((DWORD)NO_ERROR, GetLastError());
  EXPECT_EQ((std::vector<std::string>{"f.txt", "sub"}), HostFolderEntries(dir));
  EXPECT_EQ(std::vector<std::string>{"inner"}, HostFolderEntries(dir + "/sub"));
  // The folder is missing: nothing is made.
  EXPECT_FALSE(plat::ReplaceHostFile(dir + "/none/f.txt", "x", how));
  EXPECT_EQ((DWORD)ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST_F(BoundaryTest, ConcurrentReplacesEachLeaveOneWholeVersion)
{
  std::filesystem::create_directories(Root() + "/C/shared");
  std::string target = Root() + "/C/shared/shared.txt";
  constexpr int kWriters = 6, kRounds = 40;
  auto version = [](int writer, int round) {
    return std::string(20000 + writer * 1000, static_cast<char>('a' + writer)) + std::to_string(round);
  };
  std::vector<pid_t> pids;
  fflush(nullptr);
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    if (pid == 0) {
      bool ok = true;
      for (int r = 0; r < kRounds && ok; ++r) ok = plat::ReplaceHostFile(target, version(w, r), plat::ReplaceOptions());
      _exit(ok ? 0 : 1);
    }
    pids.push_back(pid);
  }
  // Every read while they write finds one writer's whole version.
  std::set<std::string> seen;
  for (int i = 0; i < 300; ++i) {
    if (!HostExists(target)) continue;
    std::string text = ReadHostFile(target);
    ASSERT_FALSE(text.empty());
    int w = text[0] - 'a';
    ASSERT_TRUE(w >= 0 && w < kWriters) << text.substr(0, 16);
    std::string round = text.substr(20000 + w * 1000);
    ASSERT_EQ(version(w, atoi(round.c_str())), text);
  }
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::string last = ReadHostFile(target);
  int w = last[0] - 'a';
  EXPECT_EQ(version(w, kRounds - 1), last);
  EXPECT_EQ(std::vector<std::string>{"shared.txt"}, HostFolderEntries(Root() + "/C/shared"));
}

// ---------------------------------------------------------------- the layer's writers

TEST_F(BoundaryTest, ProfileWritesNeverReachThroughALinkOutOfTheMachine)
{
  std::string outside = Outside("precious.ini");
  WriteHostFile(outside, "[s]\r\nk=1\r\n");
  std::string link = HostPath(u"C:\\WINDOWS\\out.ini");
  Link(outside, link);
  EXPECT_EQ(1u, GetPrivateProfileIntW(u"s", u"k", 0, u"out.ini"));
  ASSERT_TRUE(WritePrivateProfileStringW(u"s", u"k", u"2", u"out.ini"));
  // The link was replaced by a regular file with the edit; the file outside is as it was.
  EXPECT_EQ("[s]\r\nk=1\r\n", ReadHostFile(outside));
  EXPECT_TRUE(HostIsRegularFile(link));
  EXPECT_EQ("[s]\r\nk=2\r\n", ReadHostFile(link));
  EXPECT_EQ(2u, GetPrivateProfileIntW(u"s", u"k", 0, u"out.ini"));

  // The same for a section write and a deletion, each on a fresh link.
  struct Case {
    const char *name;
    std::function<BOOL(const char16_t *)> write;
  } cases[] = {
      {"section", [](const char16_t *f) { return WritePrivateProfileSectionW(u"s", u"a=9\0", f); }},
      {"delete-key", [](const char16_t *f) { return WritePrivateProfileStringW(u"s", u"k", NULL, f); }},
      {"delete-section", [](const char16_t *f) { return WritePrivateProfileStringW(u"s", NULL, NULL, f); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::string out = Outside(c.name);
    WriteHostFile(out, "[s]\r\nk=1\r\n");
    std::u16string file = U16((std::string("C:\\WINDOWS\\") + c.name + ".ini").c_str());
    Link(out, HostPath(file.c_str()));
    ASSERT_TRUE(c.write(file.c_str()));
    EXPECT_EQ("[s]\r\nk=1\r\n", ReadHostFile(out));
    EXPECT_TRUE(HostIsRegularFile(HostPath(file.c_str())));
  }

  // A file in a folder that leads out of the machine is not written at all.
  Link(outside_, HostPath(u"C:\\WINDOWS") + "/away");
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"3", u"C:\\WINDOWS\\away\\precious.ini"));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"3", u"C:\\WINDOWS\\away\\new.ini"));
  EXPECT_EQ("[s]\r\nk=1\r\n", ReadHostFile(outside));
  EXPECT_FALSE(HostExists(Outside("new.ini")));
}

TEST_F(BoundaryTest, RegistryHiveLinkedOutOfTheMachineIsReplaced)
{
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\KvBoundary", &key));
  DWORD one = 1, two = 2;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"v", 0, REG_DWORD, reinterpret_cast<BYTE *>(&one), 4));
  RegCloseKey(key);
  std::string hive = HostPath(u"C:\\WINDOWS\\system32\\config\\kvreg-HKLM.txt");
  std::string outside = MoveOutAndLink(hive, "hive.txt");
  std::string lockOutside = MoveOutAndLink(hive + ".lock", "hive.lock");
  std::string before = ReadHostFile(outside), lockBefore = ReadHostFile(lockOutside);

  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\KvBoundary", &key));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, u"v", 0, REG_DWORD, reinterpret_cast<BYTE *>(&two), 4));
  DWORD got = 0, size = sizeof got, type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, u"v", NULL, &type, reinterpret_cast<BYTE *>(&got), &size));
  EXPECT_EQ(2u, got);
  RegCloseKey(key);
  EXPECT_EQ(before, ReadHostFile(outside));
  EXPECT_EQ(lockBefore, ReadHostFile(lockOutside));
  EXPECT_TRUE(HostIsRegularFile(hive));
  EXPECT_TRUE(HostIsRegularFile(hive + ".lock"));

  // A hive whose folder leads out of the machine is never written there.
  std::string config = Folder(hive);
  std::filesystem::rename(config, outside_ + "/config");
  Link(outside_ + "/config", config);
  std::string moved = ReadHostFile(outside_ + "/config/kvreg-HKLM.txt");
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\KvBoundary", &key));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExW(key, u"v", 0, REG_DWORD, reinterpret_cast<BYTE *>(&one), 4));
  RegCloseKey(key);
  EXPECT_EQ(moved, ReadHostFile(outside_ + "/config/kvreg-HKLM.txt"));
}

TEST_F(BoundaryTest, PrinterFileLinkedOutOfTheMachineIsReplacedNotAppendedTo)
{
  AddPrinter();
  HANDLE h = OpenPrinter();
  ASSERT_NE(nullptr, h);
  ASSERT_EQ((DWORD)ERROR_SUCCESS, SetDword(h, u"Before", 1));
  std::string file = PrinterFile();
  ASSERT_FALSE(file.empty());

  // Each change of the data on a printer file that is a link out of the machine.
  struct Case {
    const char *name;
    bool hard;  // a hard link (the file's second name) rather than a symbolic one
    std::function<DWORD(HANDLE)> change;
    const char16_t *value;  // the value it leaves, or NULL when it removes "Before"
    DWORD expect;
  } cases[] = {
      {"set", false, [](HANDLE p) { return SetDword(p, u"After", 7); }, u"After", 7},
      {"delete", false, [](HANDLE p) { return DeletePrinterDataW(p, const_cast<LPWSTR>(u"Before")); }, NULL, 0},
      {"set-hard", true, [](HANDLE p) { return SetDword(p, u"Hard", 9); }, u"Hard", 9},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ((DWORD)ERROR_SUCCESS, SetDword(h, u"Before", 1));
    std::string outside = c.hard ? MoveOutAndHardLink(file, c.name) : MoveOutAndLink(file, c.name);
    std::string before = ReadHostFile(outside);
    ASSERT_EQ((DWORD)ERROR_SUCCESS, c.change(h));
    EXPECT_EQ(before, ReadHostFile(outside));
    EXPECT_TRUE(HostIsRegularFile(file));
    DWORD v = 0;
    if (c.value) {
      EXPECT_EQ((DWORD)ERROR_SUCCESS, GetDword(h, c.value, v));
      EXPECT_EQ(c.expect, v);
    } else {
      EXPECT_EQ((DWORD)ERROR_FILE_NOT_FOUND, GetDword(h, u"Before", v));
    }
    // Another process reads the same from the file.
    EXPECT_TRUE(InChildProcess([&] {
      PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ACCESS_USE};
      HANDLE p = NULL;
      if (!OpenPrinterW(const_cast<LPWSTR>(kPrinter), &p, &defaults)) return false;
      DWORD got = 0;
      DWORD rc = GetDword(p, c.value ? c.value : u"Before", got);
      ClosePrinter(p);
      return c.value ? rc == ERROR_SUCCESS && got == c.expect : rc == ERROR_FILE_NOT_FOUND;
    }));
  }

  // The spooler's lock file, which holds the writers' generation, is not written through
  // either kind of link.
  std::string lock = PrintersDir() + "/kvspool.lock";
  for (bool hard : {false, true}) {
    SCOPED_TRACE(hard ? "hard lock link" : "lock link");
    std::string lockOutside = hard ? MoveOutAndHardLink(lock, "lock-hard") : MoveOutAndLink(lock, "lock-soft");
    std::string lockBefore = ReadHostFile(lockOutside);
    ASSERT_EQ((DWORD)ERROR_SUCCESS, SetDword(h, u"Again", hard ? 4 : 3));
    EXPECT_EQ(lockBefore, ReadHostFile(lockOutside));
    struct stat st;
    ASSERT_EQ(0, lstat(lock.c_str(), &st));
    EXPECT_TRUE(S_ISREG(st.st_mode) && st.st_nlink == 1);
  }

  // A printer folder that leads out of the machine is refused with a clear error.
  std::string folder = Folder(file);
  std::filesystem::rename(folder, outside_ + "/printer");
  Link(outside_ + "/printer", folder);
  std::string moved = ReadHostFile(outside_ + "/printer/printer.txt");
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, SetDword(h, u"Refused", 1));
  EXPECT_EQ(moved, ReadHostFile(outside_ + "/printer/printer.txt"));
}

TEST_F(BoundaryTest, NewFilesAndMovesStayInsideTheMachine)
{
  Link(outside_, HostPath(u"C:\\WINDOWS") + "/away");
  // A new file in a folder that leads out, by every disposition that may create one.
  for (DWORD disposition : {CREATE_NEW, CREATE_ALWAYS, OPEN_ALWAYS}) {
    SetLastError(0);
    HANDLE f =
        CreateFileW(u"C:\\WINDOWS\\away\\new.txt", GENERIC_WRITE, 0, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    EXPECT_EQ(INVALID_HANDLE_VALUE, f) << disposition;
    EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError()) << disposition;
  }
  EXPECT_TRUE(HostFolderEntries(outside_).empty());
  // A move into that folder is refused; the source stays.
  WriteHostFile(HostPath(u"C:\\WINDOWS\\src.txt"), "source");
  EXPECT_FALSE(MoveFileExW(u"C:\\WINDOWS\\src.txt", u"C:\\WINDOWS\\away\\moved.txt", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_TRUE(HostFolderEntries(outside_).empty());
  EXPECT_EQ("source", ReadHostFile(HostPath(u"C:\\WINDOWS\\src.txt")));
  // CREATE_NEW, which the whole-file writers make their temporary files with, never opens
  // a link planted at the name, dangling or not.
  WriteHostFile(Outside("planted.txt"), "planted");
  Link(Outside("planted.txt"), HostPath(u"C:\\WINDOWS") + "/tmp1.txt");
  Link(Outside("nothing.txt"), HostPath(u"C:\\WINDOWS") + "/tmp2.txt");
  for (const char16_t *name : {u"C:\\WINDOWS\\tmp1.txt", u"C:\\WINDOWS\\tmp2.txt"}) {
    HANDLE f = CreateFileW(name, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    EXPECT_EQ(INVALID_HANDLE_VALUE, f);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  }
  EXPECT_EQ("planted", ReadHostFile(Outside("planted.txt")));
  EXPECT_FALSE(HostExists(Outside("nothing.txt")));
  // A move over a link out of the machine replaces the link, even a read-only target's.
  WriteHostFile(Outside("precious.txt"), "precious");
  chmod(Outside("precious.txt").c_str(), 0444);
  Link(Outside("precious.txt"), HostPath(u"C:\\WINDOWS\\dest.txt"));
  ASSERT_TRUE(MoveFileExW(u"C:\\WINDOWS\\src.txt", u"C:\\WINDOWS\\dest.txt", MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ("precious", ReadHostFile(Outside("precious.txt")));
  EXPECT_TRUE(HostIsRegularFile(HostPath(u"C:\\WINDOWS\\dest.txt")));
  EXPECT_EQ("source", ReadHostFile(HostPath(u"C:\\WINDOWS\\dest.txt")));
  // The host drive names host files where they lie: it is not bound by the machine root.
  ASSERT_TRUE(PlatSetHostDrive(u'Z'));
  WCHAR win[MAX_PATH];
  ASSERT_TRUE(PlatHostPathToWin(Outside("host.txt").c_str(), win, MAX_PATH));
  HANDLE f = CreateFileW(win, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
  ASSERT_NE(INVALID_HANDLE_VALUE, f);
  CloseHandle(f);
  EXPECT_TRUE(HostExists(Outside("host.txt")));
}

}  // namespace
