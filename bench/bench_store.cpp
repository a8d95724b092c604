// The spooler's printer-data store under load: writer processes each set their own
// values on one printer while lister processes list all of the printer's data again and
// again, as `kvmlhost printerdata NAME` does (EnumPrinterDataW by index, sizes first).
//
//   bench_store [--writers N] [--values N] [--listers N]   (defaults 8, 200, 3)
//
// Prints the values written per second by all writers together, and the latency of one
// whole listing while they write (median and worst), then checks that every value
// written reads back. Exits 1 when a value is lost or a call fails.
//
//   bench_store --ini-keys N [--rounds R]   (R defaults to 3)
//
// A preset save into a settings INI whose printer section holds N other keys: the keys a
// save of a new preset writes (its path, name and comment, and "Count"), first one profile
// write per key as the save made them (append the entry, give it a file, write name and
// comment again: seven writes, five of which rewrite the file), then all in one rewrite of
// the composed section (IniImageWriteKeys). Prints the median time of each way and their
// ratio, and checks that every key reads back. Exits 1 when a key is lost.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/ini.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"
#include "store/ini_image.h"
#include "win32.h"

namespace {

const char16_t kDriver[] = u"KV Bench Driver";
const char16_t kPrinter[] = u"KV Bench Printer";

double Now()
{
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::u16string ValueName(int writer, int i)
{
  char buf[32];
  snprintf(buf, sizeof buf, "W%02dValue%04d", writer, i);
  std::u16string out;
  for (const char *p = buf; *p; ++p) out += static_cast<char16_t>(*p);
  return out;
}

HANDLE OpenBenchPrinter()
{
  PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ALL_ACCESS};
  HANDLE h = NULL;
  if (!OpenPrinterW(const_cast<LPWSTR>(kPrinter), &h, &defaults)) return NULL;
  return h;
}

// Lists every value once, asking for the sizes of each first; answers the count or -1.
int ListAll(HANDLE h)
{
  std::vector<WCHAR> name(64);
  std::vector<BYTE> data(64);
  int count = 0;
  for (DWORD i = 0;;) {
    DWORD nameBytes = 0, type = 0, dataBytes = 0;
    DWORD rc = EnumPrinterDataW(h, i, name.data(), static_cast<DWORD>(name.size() * 2), &nameBytes, &type, data.data(),
                                static_cast<DWORD>(data.size()), &dataBytes);
    if (rc == ERROR_NO_MORE_ITEMS) return count;
    if (rc == ERROR_MORE_DATA) {
      name.resize(std::max<size_t>(name.size(), nameBytes / 2 + 1));
      data.resize(std::max<size_t>(data.size(), dataBytes));
      continue;
    }
    if (rc != ERROR_SUCCESS) {
      fprintf(stderr, "bench_store: EnumPrinterDataW answered error %lu at index %lu\n", static_cast<unsigned long>(rc),
              static_cast<unsigned long>(i));
      return -1;
    }
    ++count;
    ++i;
  }
}

int Writer(int id, int values)
{
  HANDLE h = OpenBenchPrinter();
  if (!h) return 1;
  for (int i = 0; i < values; ++i) {
    DWORD v = static_cast<DWORD>(id * 100000 + i);
    std::u16string name = ValueName(id, i);
    DWORD rc = SetPrinterDataW(h, name.data(), REG_DWORD, reinterpret_cast<BYTE *>(&v), 4);
    if (rc != ERROR_SUCCESS) {
      fprintf(stderr, "bench_store: SetPrinterDataW answered error %lu\n", static_cast<unsigned long>(rc));
      return 1;
    }
  }
  ClosePrinter(h);
  return 0;
}

// Lists until the writers are done; records each listing's latency in out (slots).
int Lister(volatile int *writersDone, double *out, int *counts, int slots, int *used)
{
  HANDLE h = OpenBenchPrinter();
  if (!h) {
    fprintf(stderr, "bench_store: a lister cannot open the printer (error %lu)\n",
            static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  int n = 0;
  while (!*writersDone && n < slots) {
    double t = Now();
    int count = ListAll(h);
    if (count < 0) return 1;
    out[n++] = Now() - t;
    counts[n - 1] = count;
  }
  *used = n;
  ClosePrinter(h);
  return 0;
}

std::u16string Wide(const std::string &s) { return std::u16string(s.begin(), s.end()); }

const char16_t kIni[] = u"C:\\bench\\kvmlsets.ini";
const char16_t kSection[] = u"KVML Bench";

// The settings INI: the printer's section with keys other keys, as one file.
bool MakeLargeIni(int keys)
{
  std::string text = "[KVML Bench]\r\nCount=0\r\n";
  char line[96];
  for (int i = 0; i < keys; ++i) {
    snprintf(line, sizeof line, "Unknown%08d=0123456789012345678901234567890123456789\r\n", i);
    text += line;
  }
  text += "[Other]\r\nKey=1\r\n";
  HANDLE h = CreateFileW(kIni, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, NULL);
  CloseHandle(h);
  return ok && written == text.size();
}

struct PresetKeys {
  std::u16string path, name, comment, pathValue, nameValue, count;
};

PresetKeys KeysOf(int n)
{
  std::string k = "PresetList" + std::to_string(n);
  char file[64];
  snprintf(file, sizeof file, "C:\\bench\\user%04d.kst", n);
  return {Wide(k),
          Wide(k + "Name"),
          Wide(k + "Comment"),
          Wide(file),
          Wide("Preset " + std::to_string(n)),
          Wide(std::to_string(n + 1))};
}

// The save as it wrote its keys one by one: the entry appended (path, name, comment,
// count), its new file, then name and comment again.
bool SaveKeyByKey(const PresetKeys &k)
{
  return IniWriteString(kSection, k.path.c_str(), u"", kIni) &&
         IniWriteString(kSection, k.name.c_str(), k.nameValue.c_str(), kIni) &&
         IniWriteString(kSection, k.comment.c_str(), u"", kIni) &&
         IniWriteString(kSection, u"Count", k.count.c_str(), kIni) &&
         IniWriteString(kSection, k.path.c_str(), k.pathValue.c_str(), kIni) &&
         IniWriteString(kSection, k.name.c_str(), k.nameValue.c_str(), kIni) &&
         IniWriteString(kSection, k.comment.c_str(), u"", kIni);
}

bool SaveInOneRewrite(const PresetKeys &k)
{
  INI_KEY_VALUE keys[] = {{k.path.c_str(), k.pathValue.c_str()},
                          {k.name.c_str(), k.nameValue.c_str()},
                          {k.comment.c_str(), u""},
                          {u"Count", k.count.c_str()}};
  return IniImageWriteKeys(NULL, kIni, kSection, keys, 4) != 0;
}

// The preset's keys read back; "Count" only for the last preset saved.
bool KeysReadBack(const PresetKeys &k, bool last)
{
  WCHAR buf[MAX_PATH];
  IniGetString(kSection, k.path.c_str(), u"", buf, MAX_PATH, kIni);
  if (k.pathValue != buf) return false;
  IniGetString(kSection, k.name.c_str(), u"", buf, MAX_PATH, kIni);
  if (k.nameValue != buf) return false;
  IniGetString(kSection, u"Count", u"", buf, MAX_PATH, kIni);
  return !last || k.count == buf;
}

double Median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

int IniSaveCase(int keys, int rounds)
{
  setvbuf(stdout, nullptr, _IOLBF, 0);
  if (!MakeLargeIni(keys)) {
    fprintf(stderr, "bench_store: cannot write the settings INI\n");
    return 1;
  }
  std::vector<double> keyByKey, oneRewrite;
  int lost = 0, failed = 0;
  // Each round saves a new preset both ways, into the file the previous rounds left.
  for (int r = 0; r < rounds; ++r) {
    PresetKeys a = KeysOf(2 * r), b = KeysOf(2 * r + 1);
    double t = Now();
    if (!SaveKeyByKey(a)) ++failed;
    keyByKey.push_back(Now() - t);
    t = Now();
    if (!SaveInOneRewrite(b)) ++failed;
    oneRewrite.push_back(Now() - t);
    if (!KeysReadBack(a, false) || !KeysReadBack(b, true)) ++lost;
  }
  double before = Median(keyByKey), after = Median(oneRewrite);
  printf("preset save into a settings INI of %d keys, median of %d rounds\n", keys, rounds);
  printf("  one profile write per key (5 rewrites)   %.3f s\n", before);
  printf("  all keys in one rewrite                  %.3f s  (%.1fx faster)\n", after,
         after > 0 ? before / after : 0.0);
  printf("keys lost %d, failed saves %d\n", lost, failed);
  return lost == 0 && failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv)
{
  int iniKeys = 0, rounds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!strcmp(argv[i], "--ini-keys")) iniKeys = atoi(argv[i + 1]);
    if (!strcmp(argv[i], "--rounds")) rounds = atoi(argv[i + 1]);
  }
  if (iniKeys > 0) {
    if (rounds < 1 || rounds > 100) {
      fprintf(stderr, "usage: bench_store --ini-keys N [--rounds R]\n");
      return 2;
    }
    char iniRoot[] = "/tmp/kvbench-ini-XXXXXX";
    // The machine root's drive C and the settings folder are folders of the host.
    if (!mkdtemp(iniRoot) || mkdir((std::string(iniRoot) + "/C").c_str(), 0755) != 0 ||
        mkdir((std::string(iniRoot) + "/C/bench").c_str(), 0755) != 0 || !PlatSetMachineRoot(iniRoot)) {
      fprintf(stderr, "bench_store: no machine root\n");
      return 1;
    }
    int rc = IniSaveCase(iniKeys, rounds);
    std::string rm = std::string("rm -rf ") + iniRoot;
    if (system(rm.c_str()) != 0) fprintf(stderr, "bench_store: %s left behind\n", iniRoot);
    return rc;
  }
  int writers = 8, values = 200, listers = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!strcmp(argv[i], "--writers"))
      writers = atoi(argv[i + 1]);
    else if (!strcmp(argv[i], "--values"))
      values = atoi(argv[i + 1]);
    else if (!strcmp(argv[i], "--listers"))
      listers = atoi(argv[i + 1]);
  }
  if (writers < 1 || values < 1 || listers < 0 || writers > 64 || listers > 64) {
    fprintf(stderr, "usage: bench_store [--writers N] [--values N] [--listers N]\n");
    return 2;
  }
  char root[] = "/tmp/kvbench-store-XXXXXX";
  if (!mkdtemp(root) || !PlatSetMachineRoot(root)) {
    fprintf(stderr, "bench_store: no machine root\n");
    return 1;
  }
  PLAT_DRIVER_SETUP d{};
  d.name = kDriver;
  d.driverFile = u"KVMLDRAW.DLL";
  d.dataFile = u"KVSAMPLE.KDS";
  d.configFile = u"KVMLFACE.DLL";
  d.defaultDataType = u"RAW";
  PLAT_PRINTER_SETUP p{};
  p.printerName = kPrinter;
  p.driverName = kDriver;
  p.portName = u"FILE:";
  if (!PlatSpoolAddDriver(&d) || !PlatSpoolAddPrinter(&p)) {
    fprintf(stderr, "bench_store: cannot add the printer\n");
    return 1;
  }
  const int slots = 20000;  // listings recorded per lister
  size_t shared = sizeof(int) * (2 + 64) +
                  (sizeof(double) + sizeof(int)) * static_cast<size_t>(slots) * static_cast<size_t>(listers);
  void *mem = mmap(nullptr, shared, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (mem == MAP_FAILED) return 1;
  volatile int *done = static_cast<int *>(mem);
  int *used = static_cast<int *>(mem) + 2;
  double *lat = reinterpret_cast<double *>(static_cast<int *>(mem) + 2 + 64);
  int *counts = reinterpret_cast<int *>(lat + static_cast<size_t>(slots) * static_cast<size_t>(listers));
  fflush(nullptr);
  std::vector<pid_t> listerPids;
  for (int l = 0; l < listers; ++l) {
    pid_t pid = fork();
    if (pid == 0)
      _exit(
          Lister(done, lat + static_cast<size_t>(l) * slots, counts + static_cast<size_t>(l) * slots, slots, used + l));
    listerPids.push_back(pid);
  }
  double start = Now();
  std::vector<pid_t> writerPids;
  for (int w = 0; w < writers; ++w) {
    pid_t pid = fork();
    if (pid == 0) _exit(Writer(w, values));
    writerPids.push_back(pid);
  }
  int failures = 0;
  for (pid_t pid : writerPids) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
  }
  double elapsed = Now() - start;
  *done = 1;
  for (pid_t pid : listerPids) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
  }
  // Listings of a printer that already held values: the ones that measure the store.
  std::vector<double> all;
  int longest = 0;
  for (int l = 0; l < listers; ++l) {
    for (int i = 0; i < used[l]; ++i) {
      size_t k = static_cast<size_t>(l) * slots + i;
      longest = std::max(longest, counts[k]);
      if (counts[k] > 0) all.push_back(lat[k]);
    }
  }
  std::sort(all.begin(), all.end());
  int total = writers * values;
  setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure shows as soon as it is known
  printf("writers %d x %d values, %d listers\n", writers, values, listers);
  printf("values written per second   %.0f (%d values in %.2f s)\n", total / elapsed, total, elapsed);
  if (!all.empty())
    printf("listing latency while writing: median %.3f s, worst %.3f s, %zu listings (up to %d values)\n",
           all[all.size() / 2], all.back(), all.size(), longest);
  // Every value written reads back.
  HANDLE h = OpenBenchPrinter();
  int lost = 0;
  for (int w = 0; h && w < writers; ++w) {
    for (int i = 0; i < values; ++i) {
      DWORD v = 0, type = 0, needed = 0;
      std::u16string name = ValueName(w, i);
      if (GetPrinterDataW(h, name.data(), &type, reinterpret_cast<BYTE *>(&v), 4, &needed) != ERROR_SUCCESS ||
          v != static_cast<DWORD>(w * 100000 + i))
        ++lost;
    }
  }
  printf("values lost %d, failed processes %d\n", h ? lost : total, failures);
  fflush(stdout);
  if (h) ClosePrinter(h);
  std::string rm = std::string("rm -rf ") + root;
  if (system(rm.c_str()) != 0) fprintf(stderr, "bench_store: %s left behind\n", root);
  return (h && lost == 0 && failures == 0) ? 0 : 1;
}
