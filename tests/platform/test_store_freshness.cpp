// Freshness of what the platform layer keeps between calls: the spooler's printers and
// the registry hives are kept parsed, and Windows paths are mapped to host names, yet
// every change made by another process or on the disk must show in the next call.
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "kvplat/spool_control.h"
#include "machine_fixture.h"
#include "win32.h"

namespace {

const char16_t kPrinter[] = u"KV Fresh";
const char16_t kDriver[] = u"KV Fresh Driver";

// A second process that performs numbered steps on request: the parent writes a step
// number into one pipe and reads the child's one-byte answer ('k' = done) from another.
class StepChild {
 public:
  template <class Step>
  explicit StepChild(Step step)
  {
    if (pipe(go_) != 0 || pipe(done_) != 0) return;
    fflush(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      int n;
      while (read(go_[0], &n, sizeof n) == static_cast<ssize_t>(sizeof n)) {
        if (n < 0) _exit(0);
        char answer = step(n) ? 'k' : 'x';
        if (write(done_[1], &answer, 1) != 1) _exit(2);
      }
      _exit(3);
    }
  }
  ~StepChild() { Finish(); }
  bool ok() const { return pid_ > 0; }
  // Runs step n in the child; true when it reported success.
  bool Run(int n)
  {
    char answer = 0;
    return write(go_[1], &n, sizeof n) == static_cast<ssize_t>(sizeof n) && read(done_[0], &answer, 1) == 1 &&
           answer == 'k';
  }
  // Ends the child; its exit code (0 after a clean end).
  int Finish()
  {
    if (pid_ <= 0) return -1;
    int stop = -1;
    (void)!write(go_[1], &stop, sizeof stop);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = 0;
    for (int fd : {go_[0], go_[1], done_[0], done_[1]}) close(fd);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
  }

 private:
  int go_[2] = {-1, -1}, done_[2] = {-1, -1};
  pid_t pid_ = -1;
};

class StoreFreshnessTest : public MachineTest {
 protected:
  void SetUp() override
  {
    MachineTest::SetUp();
    ASSERT_TRUE(InstallDriver(u"DATA0.KVD"));
    PLAT_PRINTER_SETUP p{};
    p.printerName = kPrinter;
    p.driverName = kDriver;
    p.comment = u"c00";
    ASSERT_TRUE(PlatSpoolAddPrinter(&p));
    PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &printer_, &defaults));
  }
  void TearDown() override
  {
    if (printer_) ClosePrinter(printer_);
    MachineTest::TearDown();
  }

  static BOOL InstallDriver(const char16_t *dataFile)
  {
    PLAT_DRIVER_SETUP d{};
    d.name = kDriver;
    d.driverFile = u"KVMLDRAW.DLL";
    d.dataFile = dataFile;
    d.configFile = u"KVMLFACE.DLL";
    return PlatSpoolAddDriver(&d);
  }

  // The printer's comment through GetPrinterW level 2, or "error N".
  static std::string Comment(HANDLE h)
  {
    DWORD needed = 0;
    GetPrinterW(h, 2, NULL, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    if (!GetPrinterW(h, 2, buf.data(), needed, &needed)) return "error " + std::to_string(GetLastError());
    const WCHAR *c = reinterpret_cast<PRINTER_INFO_2W *>(buf.data())->pComment;
    return c ? Narrow(c) : "(none)";
  }

  // The data file of the printer's driver through GetPrinterDriverW level 2.
  static std::string DataFile(HANDLE h)
  {
    DWORD needed = 0;
    GetPrinterDriverW(h, NULL, 2, NULL, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    if (!GetPrinterDriverW(h, NULL, 2, buf.data(), needed, &needed)) return "error " + std::to_string(GetLastError());
    std::string path = Narrow(reinterpret_cast<DRIVER_INFO_2W *>(buf.data())->pDataFile);
    return path.substr(path.find_last_of('\\') + 1);
  }

  static std::string Number2(int i)
  {
    char buf[8];
    snprintf(buf, sizeof buf, "%02d", i % 100);
    return buf;
  }

  static std::u16string Wide(const std::string &s) { return U16(s.c_str()); }

  HANDLE printer_ = NULL;
};

// The child rewrites the printer, the driver's registry record and a registry value many
// times in quick succession with answers of the same size (so the files keep their size
// and may even reuse an inode within one tick of the file clock); the parent, which has
// everything cached from the step before, must see every single change.
TEST_F(StoreFreshnessTest, RapidSameSizeChangesByAnotherProcessAreSeenEachTime)
{
  HKEY key = NULL;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Fresh", &key), ERROR_SUCCESS);
  DWORD v = 0;
  ASSERT_EQ(RegSetValueExW(key, u"n", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_SUCCESS);
  // Warm every cache of this process.
  EXPECT_EQ(Comment(printer_), "c00");
  EXPECT_EQ(DataFile(printer_), "DATA0.KVD");

  StepChild child([](int i) {
    PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE h = NULL;
    if (!OpenPrinterW(const_cast<LPWSTR>(kPrinter), &h, &defaults)) return false;
    DWORD needed = 0;
    GetPrinterW(h, 2, NULL, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    bool ok = GetPrinterW(h, 2, buf.data(), needed, &needed);
    std::u16string comment = Wide("c" + Number2(i));
    if (ok) {
      auto *info = reinterpret_cast<PRINTER_INFO_2W *>(buf.data());
      info->pComment = const_cast<LPWSTR>(comment.c_str());
      ok = SetPrinterW(h, 2, buf.data(), 0);
    }
    ClosePrinter(h);
    std::u16string data = Wide("DATA" + std::to_string(i % 10) + ".KVD");
    HKEY k = NULL;
    DWORD n = static_cast<DWORD>(i);
    return ok && InstallDriver(data.c_str()) &&
           RegOpenKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Fresh", &k) == ERROR_SUCCESS &&
           RegSetValueExW(k, u"n", 0, REG_DWORD, reinterpret_cast<BYTE *>(&n), 4) == ERROR_SUCCESS &&
           RegCloseKey(k) == ERROR_SUCCESS;
  });
  ASSERT_TRUE(child.ok());
  for (int i = 1; i <= 12; ++i) {
    ASSERT_TRUE(child.Run(i)) << "step " << i;
    EXPECT_EQ(Comment(printer_), "c" + Number2(i)) << "step " << i;
    EXPECT_EQ(DataFile(printer_), "DATA" + std::to_string(i % 10) + ".KVD") << "step " << i;
    DWORD got = 0, size = 4;
    EXPECT_EQ(RegQueryValueExW(key, u"n", NULL, NULL, reinterpret_cast<BYTE *>(&got), &size), ERROR_SUCCESS);
    EXPECT_EQ(got, static_cast<DWORD>(i)) << "step " << i;
  }
  EXPECT_EQ(child.Finish(), 0);
  RegCloseKey(key);
}

// A printer deleted by another process makes the cached handle fail; one added there
// becomes visible here, and a rename there shows through the old handle.
TEST_F(StoreFreshnessTest, PrintersAddedRenamedAndDeletedElsewhereShowHere)
{
  EXPECT_EQ(Comment(printer_), "c00");
  StepChild child([](int step) {
    if (step == 1) return PlatSpoolRenamePrinter(kPrinter, u"KV Renamed") != FALSE;
    if (step == 2) {
      PLAT_PRINTER_SETUP p{};
      p.printerName = u"KV Second";
      p.driverName = kDriver;
      p.comment = u"two";
      return PlatSpoolAddPrinter(&p) != FALSE;
    }
    return PlatSpoolDeletePrinter(u"KV Renamed") != FALSE;
  });
  ASSERT_TRUE(child.ok());
  ASSERT_TRUE(child.Run(1));
  DWORD needed = 0;
  GetPrinterW(printer_, 2, NULL, 0, &needed);
  std::vector<BYTE> buf(needed ? needed : 1);
  ASSERT_TRUE(GetPrinterW(printer_, 2, buf.data(), needed, &needed));
  EXPECT_EQ(std::u16string(reinterpret_cast<PRINTER_INFO_2W *>(buf.data())->pPrinterName), u"KV Renamed");

  ASSERT_TRUE(child.Run(2));
  PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ACCESS_USE};
  HANDLE second = NULL;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"KV Second"), &second, &defaults));
  EXPECT_EQ(Comment(second), "two");

  ASSERT_TRUE(child.Run(3));
  EXPECT_EQ(Comment(printer_), "error " + std::to_string(ERROR_INVALID_HANDLE));
  EXPECT_EQ(Comment(second), "two");
  ClosePrinter(second);
  EXPECT_EQ(child.Finish(), 0);
}

// Path mapping follows names created, renamed and deleted behind its back, by this
// process on the host or by another process, in any case.
TEST_F(StoreFreshnessTest, PathMappingFollowsNamesChangedOnTheHost)
{
  const std::string win = Root() + "/C/WINDOWS";
  // Not there yet: the name keeps the case it was given.
  EXPECT_EQ(HostPath(u"c:\\windows\\fresh.txt"), win + "/fresh.txt");
  WriteHostFile(win + "/FRESH.TXT", "a");
  EXPECT_EQ(HostPath(u"c:\\windows\\fresh.txt"), win + "/FRESH.TXT");
  EXPECT_EQ(HostPath(u"C:\\WINDOWS\\FRESH.TXT"), win + "/FRESH.TXT");
  ASSERT_EQ(rename((win + "/FRESH.TXT").c_str(), (win + "/Fresh.Txt").c_str()), 0);
  EXPECT_EQ(HostPath(u"c:\\windows\\fresh.txt"), win + "/Fresh.Txt");
  ASSERT_EQ(unlink((win + "/Fresh.Txt").c_str()), 0);
  EXPECT_EQ(HostPath(u"C:\\Windows\\FRESH.txt"), win + "/FRESH.txt");

  // Two names that differ only in case: the one written exactly wins.
  WriteHostFile(win + "/Dup.ini", "1");
  WriteHostFile(win + "/DUP.INI", "2");
  EXPECT_EQ(HostPath(u"C:\\WINDOWS\\Dup.ini"), win + "/Dup.ini");
  EXPECT_EQ(HostPath(u"C:\\WINDOWS\\DUP.INI"), win + "/DUP.INI");

  // Folders made and renamed by another process, then files opened through them.
  StepChild child([&](int step) {
    if (step == 1) return mkdir((win + "/Sub").c_str(), 0777) == 0;
    if (step == 2) return rename((win + "/Sub").c_str(), (win + "/sUB").c_str()) == 0;
    return rmdir((win + "/sUB").c_str()) == 0;
  });
  ASSERT_TRUE(child.ok());
  EXPECT_EQ(HostPath(u"C:\\WINDOWS\\SUB\\a.txt"), win + "/SUB/a.txt");
  ASSERT_TRUE(child.Run(1));
  EXPECT_EQ(HostPath(u"C:\\WINDOWS\\SUB\\a.txt"), win + "/Sub/a.txt");
  HANDLE f = CreateFileW(u"c:\\windows\\sub\\A.TXT", GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  EXPECT_TRUE(HostExists(win + "/Sub/A.TXT"));
  // The same name in another case is the same file.
  f = CreateFileW(u"C:\\WINDOWS\\SUB\\a.txt", GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
  EXPECT_EQ(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_EXISTS);
  ASSERT_TRUE(child.Run(2));
  EXPECT_EQ(HostPath(u"C:\\WINDOWS\\SUB\\a.txt"), win + "/sUB/A.TXT");
  EXPECT_TRUE(DeleteFileW(u"C:\\WINDOWS\\Sub\\a.txt"));
  ASSERT_TRUE(child.Run(3));
  EXPECT_EQ(HostPath(u"C:\\WINDOWS\\SUB\\a.txt"), win + "/SUB/a.txt");
  EXPECT_EQ(child.Finish(), 0);
}

}  // namespace
