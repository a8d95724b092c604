// A self-contained mutation driver for the fuzz targets: reads seed files, mutates them
// deterministically (bit flips, byte inserts and deletes, splices with other seeds,
// interesting values, chunk duplication) and feeds every result to
// LLVMFuzzerTestOneInput. Runs for a number of iterations or seconds, whichever ends
// first, so the same target builds both as a libFuzzer program and as an ordinary test.
// When the program dies on an input (a failed check, a sanitizer report, a signal) that
// input is written to CRASHFILE (fuzz-crash.bin); run it again by passing that file alone
// with -n 0.
//
//   fuzz_<target> [-n ITERATIONS] [-t SECONDS] [-s SEED] [-m MAXLEN] [-c CRASHFILE] PATH...
//
// PATH is a seed file or a folder of seed files. The run is reproducible from -s; the
// size of every 1000th input is printed on request (-v).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// Called by the sanitizers before they end the program, when they are linked in.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));
// Bytes the program holds on the heap, when AddressSanitizer is linked in (-v prints it,
// so a target that leaks shows it in a long run).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void) __attribute__((weak));

namespace {

using Bytes = std::vector<uint8_t>;

// xorshift64*: small, fast and the same on every host.
struct Rng {
  uint64_t s;
  explicit Rng(uint64_t seed) : s(seed ? seed : 0x9E3779B97F4A7C15ull) {}
  uint64_t Next()
  {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return s * 0x2545F4914F6CDD1Dull;
  }
  size_t Below(size_t n) { return n == 0 ? 0 : (size_t)(Next() % n); }
};

bool ReadFile(const std::string &path, Bytes *out)
{
  FILE *f = fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  uint8_t buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
  fclose(f);
  return true;
}

void AddSeeds(const std::string &path, std::vector<Bytes> *seeds)
{
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    fprintf(stderr, "fuzz driver: cannot read %s\n", path.c_str());
    return;
  }
  if (S_ISDIR(st.st_mode)) {
    std::vector<std::string> names;
    if (DIR *d = opendir(path.c_str())) {
      while (dirent *e = readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
      closedir(d);
    }
    std::sort(names.begin(), names.end());  // the same order on every host
    for (const std::string &n : names) AddSeeds(path + "/" + n, seeds);
    return;
  }
  Bytes b;
  if (ReadFile(path, &b)) seeds->push_back(std::move(b));
}

// The input being run, written to the crash file when the program dies on it.
const uint8_t *volatile g_current = nullptr;
volatile size_t g_currentSize = 0;
const char *g_crashFile = "fuzz-crash.bin";

void DumpCurrent()
{
  int fd = open(g_crashFile, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  if (g_current != nullptr && write(fd, (const void *)g_current, g_currentSize) < 0) {}
  close(fd);
  static const char msg[] = "fuzz driver: the failing input is in the crash file (-c)\n";
  if (write(2, msg, sizeof msg - 1) < 0) {}
}

void OnSignal(int sig)
{
  DumpCurrent();
  signal(sig, SIG_DFL);
  raise(sig);
}

const uint32_t kInteresting[] = {0,      1,      0x7F,    0x80,       0xFF,        0x100,       0x7FFF,
                                 0x8000, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xD800,
                                 0xDC00, 0xFFFE, '\n',    '\r',       '[',         ']',         '=',
                                 ';',    0x81,   0x9F,    0xE0,       0xFC,        0xA0,        0xDF};

void Mutate(Bytes *b, const std::vector<Bytes> &seeds, Rng &rng, size_t maxLen)
{
  switch (rng.Below(8)) {
    case 0:  // flip one bit
      if (!b->empty()) (*b)[rng.Below(b->size())] ^= (uint8_t)(1u << rng.Below(8));
      break;
    case 1:  // random byte
      if (!b->empty()) (*b)[rng.Below(b->size())] = (uint8_t)rng.Next();
      break;
    case 2: {  // insert a run of random bytes
      size_t n = 1 + rng.Below(8);
      size_t at = rng.Below(b->size() + 1);
      for (size_t i = 0; i < n; ++i) b->insert(b->begin() + (ptrdiff_t)at, (uint8_t)rng.Next());
      break;
    }
    case 3: {  // delete a run
      if (b->empty()) break;
      size_t at = rng.Below(b->size());
      size_t n = 1 + rng.Below(std::min<size_t>(16, b->size() - at));
      b->erase(b->begin() + (ptrdiff_t)at, b->begin() + (ptrdiff_t)(at + n));
      break;
    }
    case 4: {  // interesting value, 1, 2 or 4 bytes, little-endian
      if (b->empty()) break;
      uint32_t v = kInteresting[rng.Below(sizeof kInteresting / sizeof kInteresting[0])];
      size_t width = (size_t)1 << rng.Below(3);
      size_t at = rng.Below(b->size());
      for (size_t i = 0; i < width && at + i < b->size(); ++i) (*b)[at + i] = (uint8_t)(v >> (8 * i));
      break;
    }
    case 5: {  // splice: the head of this input with the tail of another seed
      const Bytes &other = seeds[rng.Below(seeds.size())];
      size_t cut = rng.Below(b->size() + 1);
      size_t from = rng.Below(other.size() + 1);
      b->resize(cut);
      b->insert(b->end(), other.begin() + (ptrdiff_t)from, other.end());
      break;
    }
    case 6: {  // duplicate a chunk elsewhere
      if (b->empty()) break;
      size_t at = rng.Below(b->size());
      size_t n = 1 + rng.Below(std::min<size_t>(64, b->size() - at));
      Bytes chunk(b->begin() + (ptrdiff_t)at, b->begin() + (ptrdiff_t)(at + n));
      size_t to = rng.Below(b->size() + 1);
      b->insert(b->begin() + (ptrdiff_t)to, chunk.begin(), chunk.end());
      break;
    }
    default:  // truncate
      if (!b->empty()) b->resize(rng.Below(b->size() + 1));
      break;
  }
  if (b->size() > maxLen) b->resize(maxLen);
}

void Usage()
{
  fprintf(stderr,
          "usage: fuzz_TARGET [-n ITERATIONS] [-t SECONDS] [-s SEED] [-m MAXLEN] [-c CRASHFILE] [-v] SEEDS...\n");
}

}  // namespace

int main(int argc, char **argv)
{
  unsigned long long iterations = 1000;
  double seconds = 0;
  unsigned long long seed = 1;
  size_t maxLen = 16384;
  bool verbose = false;
  std::vector<Bytes> seeds;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    bool hasValue = i + 1 < argc;
    if (a == "-n" && hasValue)
      iterations = strtoull(argv[++i], nullptr, 10);
    else if (a == "-t" && hasValue)
      seconds = strtod(argv[++i], nullptr);
    else if (a == "-s" && hasValue)
      seed = strtoull(argv[++i], nullptr, 10);
    else if (a == "-m" && hasValue)
      maxLen = (size_t)strtoull(argv[++i], nullptr, 10);
    else if (a == "-c" && hasValue)
      g_crashFile = argv[++i];
    else if (a == "-v")
      verbose = true;
    else if (!a.empty() && a[0] == '-') {
      Usage();
      return 2;
    } else
      AddSeeds(a, &seeds);
  }
  // With a time limit and no explicit count the time alone ends the run.
  if (seconds > 0 && iterations == 1000) iterations = ~0ull;
  if (seeds.empty()) seeds.push_back(Bytes());

  if (__sanitizer_set_death_callback != nullptr) __sanitizer_set_death_callback(DumpCurrent);
  signal(SIGABRT, OnSignal);
  signal(SIGSEGV, OnSignal);
  signal(SIGFPE, OnSignal);

  // Every seed as it is first, so the corpus itself always runs.
  for (const Bytes &s : seeds) {
    g_current = s.data();
    g_currentSize = s.size();
    LLVMFuzzerTestOneInput(s.empty() ? nullptr : s.data(), s.size());
  }

  Rng rng(seed);
  auto start = std::chrono::steady_clock::now();
  unsigned long long done = 0;
  for (; done < iterations; ++done) {
    if (seconds > 0 && (done & 63) == 0) {
      std::chrono::duration<double> el = std::chrono::steady_clock::now() - start;
      if (el.count() >= seconds) break;
    }
    Bytes input = seeds[rng.Below(seeds.size())];
    size_t rounds = 1 + rng.Below(6);
    for (size_t r = 0; r < rounds; ++r) Mutate(&input, seeds, rng, maxLen);
    // An exact-size heap copy, so reads past the end are caught by AddressSanitizer.
    uint8_t *exact = input.empty() ? nullptr : (uint8_t *)malloc(input.size());
    if (exact != nullptr) memcpy(exact, input.data(), input.size());
    if (verbose && done % 1000 == 0)
      fprintf(
          stderr, "fuzz driver: input %llu, %zu bytes, heap %zu bytes\n", done, input.size(),
          __sanitizer_get_current_allocated_bytes != nullptr ? __sanitizer_get_current_allocated_bytes() : (size_t)0);
    g_current = exact;
    g_currentSize = input.size();
    LLVMFuzzerTestOneInput(exact, input.size());
    g_current = nullptr;  // nothing to save if the driver itself dies before the next input
    g_currentSize = 0;
    free(exact);
  }
  printf("fuzz driver: %zu seeds, %llu mutated inputs, seed %llu\n", seeds.size(), done, seed);
  return 0;
}
