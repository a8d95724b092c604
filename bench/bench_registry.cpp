// Reading a large registry hive: a hand-written hive file whose key lines come in reverse
// order, with one key of many values, is parsed, its values looked up by name and its
// keys and values enumerated, at two sizes; the ratio of the times shows how they grow
// (about 2 for n log n work when the size doubles, about 4 for quadratic work).
//
//   bench_registry [--keys N] [--values N]   (defaults 20000 and 50000; the second size is twice these)
//
// Exits 1 when a lookup answers the wrong value.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <string>

#include "kvplat/control.h"
#include "win32.h"

namespace {

double Now()
{
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

std::u16string Wide(const std::string &s) { return std::u16string(s.begin(), s.end()); }

struct Times {
  double parse = 0, lookup = 0, enumerate = 0;
  bool ok = true;
};

Times Run(const char *root, int keys, int values)
{
  Times t;
  std::string text = "kvreg 1\n";
  char line[96];
  for (int i = keys - 1; i >= 0; --i) {
    snprintf(line, sizeof line, "[Software\\Big\\K%07d]\n\"n\" = dword 0x%08X\n", i, static_cast<unsigned>(i));
    text += line;
  }
  text += "[Software\\Many]\n";
  for (int i = values - 1; i >= 0; --i) {
    snprintf(line, sizeof line, "\"v%d\" = dword 0x%08X\n", i, static_cast<unsigned>(i));
    text += line;
  }
  text += "end\n";
  std::string path = std::string(root) + "/C/WINDOWS/system32/config/kvreg-HKCU.txt";
  FILE *f = fopen(path.c_str(), "wb");
  if (!f || fwrite(text.data(), 1, text.size(), f) != text.size()) {
    t.ok = false;
    if (f) fclose(f);
    return t;
  }
  fclose(f);
  PlatResetForTest();  // forgets the hive read before
  PlatSetMachineRoot(root);

  double start = Now();
  HKEY many = NULL;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Many", 0, KEY_READ, &many) != ERROR_SUCCESS) t.ok = false;
  t.parse = Now() - start;

  start = Now();
  for (int i = 0; i < values && many; ++i) {
    DWORD v = 0, size = 4, type = 0;
    std::u16string name = Wide("V" + std::to_string(i));
    if (RegQueryValueExW(many, name.c_str(), NULL, &type, reinterpret_cast<BYTE *>(&v), &size) != ERROR_SUCCESS ||
        v != static_cast<DWORD>(i))
      t.ok = false;
  }
  t.lookup = Now() - start;

  start = Now();
  HKEY big = NULL;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Big", 0, KEY_READ, &big) != ERROR_SUCCESS) t.ok = false;
  WCHAR name[64];
  for (int i = 0; i < keys && big; ++i) {
    DWORD cch = 64;
    if (RegEnumKeyExW(big, static_cast<DWORD>(i), name, &cch, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) t.ok = false;
  }
  for (int i = 0; i < values && many; ++i) {
    DWORD cch = 64;
    if (RegEnumValueW(many, static_cast<DWORD>(i), name, &cch, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) t.ok = false;
  }
  t.enumerate = Now() - start;
  if (many) RegCloseKey(many);
  if (big) RegCloseKey(big);
  return t;
}

}  // namespace

int main(int argc, char **argv)
{
  int keys = 20000, values = 50000;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!strcmp(argv[i], "--keys"))
      keys = atoi(argv[i + 1]);
    else if (!strcmp(argv[i], "--values"))
      values = atoi(argv[i + 1]);
  }
  if (keys < 1 || values < 1 || keys > 5000000 || values > 5000000) {
    fprintf(stderr, "usage: bench_registry [--keys N] [--values N]\n");
    return 2;
  }
  char root[] = "/tmp/kvbench-registry-XXXXXX";
  if (!mkdtemp(root) || !PlatSetMachineRoot(root)) {
    fprintf(stderr, "bench_registry: no machine root\n");
    return 1;
  }
  std::string config = std::string(root) + "/C/WINDOWS/system32/config";
  std::string mk = "mkdir -p " + config;
  if (system(mk.c_str()) != 0) return 1;
  Times small = Run(root, keys, values);
  Times large = Run(root, 2 * keys, 2 * values);
  setvbuf(stdout, nullptr, _IOLBF, 0);
  printf("hive of %d keys and %d values, then of twice as many (keys in reverse order)\n", keys, values);
  printf("parse       %.3f s, %.3f s (x%.2f)\n", small.parse, large.parse, large.parse / small.parse);
  printf("lookups     %.3f s, %.3f s (x%.2f), one per value\n", small.lookup, large.lookup,
         large.lookup / small.lookup);
  printf("enumerate   %.3f s, %.3f s (x%.2f), every key and value\n", small.enumerate, large.enumerate,
         large.enumerate / small.enumerate);
  std::string rm = std::string("rm -rf ") + root;
  if (system(rm.c_str()) != 0) fprintf(stderr, "bench_registry: %s left behind\n", root);
  if (!small.ok || !large.ok) {
    printf("bench_registry: a lookup or enumeration answered wrongly\n");
    return 1;
  }
  return 0;
}
