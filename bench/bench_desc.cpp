// Benchmarks of the description engine and its neighbours, on the generated model
// (bench/genmodel.py) installed as a printer's description under a scratch machine root:
//   compile, .BCS load cold and warm, a physical read+copy of as many bytes, the process
//   cache hit, context creation cold and from the context cache, item lookups and reads,
//   the hidden/greyed sweep over every value of every item, a million condition
//   evaluations, and INI reads and writes through the profile functions.
//
//   bench_desc --model DIR [Google Benchmark flags]
//   bench_desc --model DIR --profile NAME[,NAME...] [--profile-seconds S]
//   bench_desc_heap --model DIR --memory
//
// The third form (the same source built with its own malloc family, below) prints the peak
// heap of one compile and of one check of the model's .BCS ("key value" lines). The heap is
// counted by that malloc family,
// not taken from getrusage: under qemu-i386 the process's resident size is the emulator's,
// translated code included, and a fork's maximum resident size starts from the parent's.
// The count is exact, covers every library of the process (GlobalAlloc and operator new
// both reach malloc) and is on only while a measurement runs.
//
// The second form runs the named operations (compile, bcs-warm, bcs-cold, cache-hit,
// ctx-cold, ctx-cached, sweep, eval, ini-write) under the sampling profiler instead
// (sampler.h) and prints where their time goes.
//
// Every benchmark reports time per iteration; the counters say what one iteration does
// (bytes, values, evaluations), so bench/report.py can turn them into rates and ratios.
#include <benchmark/benchmark.h>
#include <errno.h>
#include <fcntl.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "blob/desc_blob.h"
#include "blob/desc_cache.h"
#include "blob/desc_compile.h"
#include "blob/desc_store.h"
#include "blob/desc_runtime.h"
#include "items/item_store.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"
#include "os/os.h"
#include "rules/rule_eval.h"
#include "sampler.h"
#include "win32.h"

namespace fs = std::filesystem;

// --- a counting heap ------------------------------------------------------------------
// Built into bench_desc_heap only (KV_BENCH_COUNT_HEAP), so that the timed bench_desc
// allocates through the C library unchanged, as bench_cups does.
// The malloc family of this program forwards to the C library's own entry points and, while
// g_heapCounting is set, keeps the bytes in use (as malloc_usable_size sees them), their
// peak and the largest single block. The executable's definitions take the place of the C
// library's for every shared library of the process.
#ifdef KV_BENCH_COUNT_HEAP
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void *__libc_memalign(size_t, size_t);
void __libc_free(void *);
}

namespace {
std::atomic<bool> g_heapCounting{false};
std::atomic<long long> g_heapInUse{0}, g_heapPeak{0}, g_heapLargest{0};

void HeapGrew(void *p)
{
  if (p == nullptr || !g_heapCounting.load(std::memory_order_relaxed)) return;
  long long n = (long long)malloc_usable_size(p);
  long long now = g_heapInUse.fetch_add(n, std::memory_order_relaxed) + n;
  long long peak = g_heapPeak.load(std::memory_order_relaxed);
  while (now > peak && !g_heapPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {}
  long long largest = g_heapLargest.load(std::memory_order_relaxed);
  while (n > largest && !g_heapLargest.compare_exchange_weak(largest, n, std::memory_order_relaxed)) {}
}

void HeapShrank(void *p)
{
  if (p != nullptr && g_heapCounting.load(std::memory_order_relaxed))
    g_heapInUse.fetch_sub((long long)malloc_usable_size(p), std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void *malloc(size_t n)
{
  void *p = __libc_malloc(n);
  HeapGrew(p);
  return p;
}
void *calloc(size_t n, size_t size)
{
  void *p = __libc_calloc(n, size);
  HeapGrew(p);
  return p;
}
void *realloc(void *old, size_t n)
{
  HeapShrank(old);
  void *p = __libc_realloc(old, n);
  // A failed realloc keeps the old block.
  HeapGrew(p != nullptr || n == 0 ? p : old);
  return p;
}
void free(void *p)
{
  HeapShrank(p);
  __libc_free(p);
}
void *memalign(size_t align, size_t n)
{
  void *p = __libc_memalign(align, n);
  HeapGrew(p);
  return p;
}
void *aligned_alloc(size_t align, size_t n) { return memalign(align, n); }
int posix_memalign(void **out, size_t align, size_t n)
{
  if (align < sizeof(void *) || (align & (align - 1)) != 0) return EINVAL;
  void *p = memalign(align, n);
  if (p == nullptr) return ENOMEM;
  *out = p;
  return 0;
}
void *valloc(size_t n) { return memalign((size_t)sysconf(_SC_PAGESIZE), n); }
}

namespace {

// The peak heap of one call of body above what was in use before it, and the largest
// single block it held.
struct HeapPeak {
  long long peak, largest;
};
HeapPeak MeasureHeap(const std::function<void()> &body)
{
  g_heapInUse = 0;
  g_heapPeak = 0;
  g_heapLargest = 0;
  g_heapCounting = true;
  body();
  g_heapCounting = false;
  return {g_heapPeak.load(), g_heapLargest.load()};
}
}  // namespace
#endif

namespace {

const WCHAR kDriverDir[] = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3";
const WCHAR kDescPath[] = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\BENCH.KVD";
const WCHAR kIniPath[] = u"C:\\WINDOWS\\bench.ini";

struct Machine {
  std::string root;
  std::string descHost;  // host path of BENCH.KVD
  std::string bcsHost;   // host path of the .BCS written by the compiler
  DWORD descBytes = 0;
  DWORD bcsBytes = 0;
  HANDLE printer = nullptr;
  DRIVER_CONTEXT *ctx = nullptr;  // a full context holding the compiled model
  std::vector<WORD> itemIds;      // the model's option items
  size_t atDefault = 0;           // items whose setting is their description default
} g;

[[noreturn]] void Die(const std::string &what)
{
  fprintf(stderr, "bench_desc: %s\n", what.c_str());
  exit(1);
}

std::string HostPath(const WCHAR *win)
{
  char buf[4096];
  if (!PlatMapPath(win, buf, sizeof buf)) Die("cannot map a path");
  return buf;
}

void Setup(const std::string &modelDir)
{
  std::string tmpl = (fs::temp_directory_path() / "kvbench-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) Die("no scratch folder");
  g.root = tmpl;
  for (const char *d : {"C/WINDOWS/system32/spool/drivers/w32x86/3", "C/WINDOWS/Temp",
                        "C/Documents and Settings/kvuser/Application Data", "C/Program Files"})
    fs::create_directories(g.root + "/" + d);
  PlatSetMachineRoot(g.root.c_str());
  // The clock stands still, so a parked context never ages out of the context cache.
  PlatClockSetTicks(100000);

  g.descHost = HostPath(kDescPath);
  std::error_code ec;
  fs::copy_file(modelDir + "/BENCH.KVD", g.descHost, fs::copy_options::overwrite_existing, ec);
  if (ec) Die("cannot copy the model's description: " + ec.message());
  g.descBytes = (DWORD)fs::file_size(g.descHost);

  PLAT_DRIVER_SETUP d = {};
  d.name = u"KV Bench Driver";
  d.driverFile = u"kvmldraw.dll";
  d.dataFile = u"BENCH.KVD";
  d.configFile = u"kvmlface.dll";
  if (!PlatSpoolAddDriver(&d)) Die("cannot install the driver");
  PLAT_PRINTER_SETUP p = {};
  p.printerName = u"KV Bench";
  p.driverName = u"KV Bench Driver";
  if (!PlatSpoolAddPrinter(&p)) Die("cannot install the printer");
  WCHAR name[] = u"KV Bench";
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (!OpenPrinterW(name, &g.printer, &defaults)) Die("cannot open the printer");

  g.ctx = CtxCreate(g.printer, g.printer, nullptr, CTX_CREATE_SHEETS);
  if (g.ctx == nullptr) Die("no context for the bench printer");
  if (g.ctx->desc == nullptr) Die("the context holds no description");
  const BYTE *h = (const BYTE *)g.ctx->desc;
  for (const BYTE *n = DescLdPtr(h, offsetof(DESC_HEADER, items)); n != nullptr;
       n = DESC_FIELDPTR(n, DESC_ITEM_NODE, next))
    g.itemIds.push_back(DESC_FIELD16(n, DESC_ITEM_NODE, itemId));
  if (g.itemIds.empty()) Die("the compiled model has no items");
  // Every option at its description default, as the PPD's options are after
  // ppdMarkDefaults: the sweeps then ask the same questions of both.
  for (WORD id : g.itemIds) {
    DWORD def = DescGetItemDefault(id, g.ctx);
    ItemSetValue(g.ctx, id, (LONG)def);
    if ((DWORD)ItemGetValue(g.ctx, id, nullptr) == def) ++g.atDefault;
  }

  // The .BCS of the model, written by a compile without context (which always writes):
  // after the context's own load, which deletes a cache file of another version.
  DESC_BLOB *blob = DescCompile(nullptr, kDescPath, TRUE);
  if (blob == nullptr) Die("the model's description does not compile");
  GlobalFree(blob);
  WCHAR bcs[MAX_PATH];
  if (!DescMakeCachePath(bcs, kDescPath)) Die("no cache path");
  g.bcsHost = HostPath(bcs);
  if (!fs::exists(g.bcsHost)) Die("the compiler wrote no .BCS file");
  g.bcsBytes = (DWORD)fs::file_size(g.bcsHost);
  int fd = open(g.bcsHost.c_str(), O_RDONLY);
  fsync(fd);  // clean pages, so that dropping them from the page cache works
  close(fd);
}

// A first judge of the model: the disable judge of the first value rule found.
const RULE_CODE_UNIT *FirstJudge()
{
  for (WORD id : g.itemIds) {
    const DESC_ITEM_NODE *node = DescGetItemNode(id, g.ctx);
    const DESC_RULE_BLOCK *rb = (const DESC_RULE_BLOCK *)DESC_FIELDPTR(node, DESC_ITEM_NODE, rules);
    if (rb == nullptr) continue;
    const DESC_VALUE_RULE *vr = (const DESC_VALUE_RULE *)rb->valueRules;
    for (; vr != nullptr; vr = (const DESC_VALUE_RULE *)vr->next)
      if (vr->disableJudge != 0) return (const RULE_CODE_UNIT *)vr->disableJudge;
  }
  return nullptr;
}

void DropFromPageCache(const std::string &path)
{
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return;
  posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  close(fd);
}

// --- the description ------------------------------------------------------------------

void BM_DescCompile(benchmark::State &state)
{
  for (auto _ : state) {
    DESC_BLOB *blob = DescCompile(nullptr, kDescPath, FALSE);
    if (blob == nullptr) Die("compile failed");
    benchmark::DoNotOptimize(blob);
    GlobalFree(blob);
  }
  state.counters["bytes"] = g.descBytes;
}

void LoadBcs(benchmark::State &state, bool cold)
{
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      DropFromPageCache(g.bcsHost);
      state.ResumeTiming();
    }
    // DescReadCacheFile hands out only a block that passed DescValidateStored.
    DWORD size = 0;
    BYTE *block = DescReadCacheFile(kDescPath, &size);
    if (block == nullptr) Die("the .BCS does not read or validate");
    benchmark::DoNotOptimize(DescRelocate(block));
    GlobalFree(block);
  }
  state.counters["bytes"] = g.bcsBytes;
}
void BM_BcsLoadCold(benchmark::State &state) { LoadBcs(state, true); }
void BM_BcsLoadWarm(benchmark::State &state) { LoadBcs(state, false); }

// What a warm load costs without its checks: the file operations DescReadCacheFile makes
// (the text opened with read sharing for its last-write time, the cache file opened, its
// time and size read, its bytes read into a new block) and the block's relocation, with no
// checksum and no validation. The warm load cannot cost less than this, whatever its
// checks cost.
void BM_BcsLoadFloor(benchmark::State &state)
{
  WCHAR cachePath[DESC_CACHE_PATH_CHARS];
  if (!DescMakeCachePath(cachePath, kDescPath)) Die("no cache path");
  for (auto _ : state) {
    FILETIME textTime, cacheTime;
    HANDLE t = CreateFileW(kDescPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (t == INVALID_HANDLE_VALUE || !GetFileTime(t, NULL, NULL, &textTime)) Die("the text does not open");
    CloseHandle(t);
    HANDLE h = CreateFileW(cachePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    LARGE_INTEGER size;
    DWORD got = 0;
    if (h == INVALID_HANDLE_VALUE || !GetFileTime(h, NULL, NULL, &cacheTime) || !GetFileSizeEx(h, &size))
      Die("the .BCS does not open");
    BYTE *block = (BYTE *)GlobalAlloc(GPTR, (SIZE_T)size.QuadPart);
    if (block == nullptr || !ReadFile(h, block, (DWORD)size.QuadPart, &got, NULL) || got != size.QuadPart)
      Die("the .BCS does not read");
    CloseHandle(h);
    benchmark::DoNotOptimize(DescRelocate(block));
    GlobalFree(block);
  }
  state.counters["bytes"] = g.bcsBytes;
}

// The check a warm load makes of the .BCS bytes before it relocates them (trailer,
// checksum, FileVersion and the block validator), on the file's image in memory: the cost
// of making sure the block is one the compiler wrote.
void BM_BcsCheck(benchmark::State &state)
{
  std::ifstream in(g.bcsHost, std::ios::binary);
  std::vector<BYTE> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (auto _ : state) {
    DWORD blockSize = 0;
    if (!DescCheckCacheImage(image.data(), (DWORD)image.size(), &blockSize, nullptr)) Die("the .BCS is refused");
    benchmark::DoNotOptimize(blockSize);
  }
  state.counters["bytes"] = g.bcsBytes;
}

// The block validator alone, on the same block.
void BM_BcsValidate(benchmark::State &state)
{
  std::ifstream in(g.bcsHost, std::ios::binary);
  std::vector<BYTE> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  DWORD size = (DWORD)image.size() - DESC_CACHE_TRAILER_SIZE;
  for (auto _ : state) {
    if (!DescValidateStored(image.data(), size, nullptr)) Die("the block is refused");
  }
  state.counters["bytes"] = g.bcsBytes;
}

// The reference of a warm load: read the file's bytes into one buffer and copy them
// into another of the same size.
void BM_ReadCopyReference(benchmark::State &state)
{
  std::vector<BYTE> a(g.bcsBytes), b(g.bcsBytes);
  for (auto _ : state) {
    int fd = open(g.bcsHost.c_str(), O_RDONLY);
    ssize_t n = read(fd, a.data(), a.size());
    close(fd);
    if (n != (ssize_t)a.size()) Die("short read");
    memcpy(b.data(), a.data(), a.size());
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.counters["bytes"] = g.bcsBytes;
}

void BM_ProcessCacheHit(benchmark::State &state)
{
  for (auto _ : state) {
    DESC_BLOB *blob = DescLoadCompiled(g.ctx);
    if (blob != g.ctx->desc) Die("the process cache answered another block");
    benchmark::DoNotOptimize(blob);
  }
}

// --- contexts -------------------------------------------------------------------------

void BM_CtxCreateCold(benchmark::State &state)
{
  for (auto _ : state) {
    state.PauseTiming();
    CtxExpireCache(1);
    state.ResumeTiming();
    DRIVER_CONTEXT *ctx = CtxCreate(g.printer, g.printer, nullptr, CTX_CREATE_SHEETS);
    if (ctx == nullptr) Die("context creation failed");
    CtxRelease(ctx);
  }
  CtxExpireCache(1);
}

void BM_CtxCreateCached(benchmark::State &state)
{
  CtxExpireCache(1);
  CtxRelease(CtxCreate(g.printer, g.printer, nullptr, CTX_CREATE_SHEETS));  // park one
  DRIVER_CONTEXT *parked = CtxPeekCacheSlot(0) != nullptr ? CtxPeekCacheSlot(0) : CtxPeekCacheSlot(1);
  if (parked == nullptr) Die("a released context was not parked");
  for (auto _ : state) {
    DRIVER_CONTEXT *ctx = CtxCreate(g.printer, g.printer, nullptr, CTX_CREATE_SHEETS);
    if (ctx != parked) Die("the context cache did not serve the request");
    CtxRelease(ctx);
  }
  CtxExpireCache(1);
}

// --- lookups and rules ----------------------------------------------------------------

void BM_ItemLookupsAndReads(benchmark::State &state)
{
  for (auto _ : state) {
    for (WORD id : g.itemIds) {
      benchmark::DoNotOptimize(DescGetItemNode(id, g.ctx));
      benchmark::DoNotOptimize(DescGetItemDefault(id, g.ctx));
      benchmark::DoNotOptimize(DescCountItemValues(id, g.ctx));
      benchmark::DoNotOptimize(ItemGetRaw(g.ctx, id, nullptr));
    }
  }
  state.counters["items"] = (double)g.itemIds.size();
}

// Every value of every item: hidden? greyed?
size_t Sweep(size_t *greyed)
{
  size_t values = 0;
  *greyed = 0;
  for (WORD id : g.itemIds) {
    const DESC_ITEM_NODE *node = DescGetItemNode(id, g.ctx);
    const BYTE *v = (const BYTE *)DescGetItemValues(id, g.ctx, nullptr);
    for (; v != nullptr; v = DESC_FIELDPTR(v, DESC_VALUE_NODE, next)) {
      WORD valueId = DESC_FIELD16(v, DESC_VALUE_NODE, valueId);
      benchmark::DoNotOptimize(RuleIsValueHidden(node, valueId, g.ctx));
      *greyed += RuleIsValueDisabled(node, valueId, g.ctx) != 0;
      ++values;
    }
  }
  return values;
}

void BM_RuleSweep(benchmark::State &state)
{
  size_t values = 0, greyed = 0;
  for (auto _ : state) values = Sweep(&greyed);
  state.counters["values"] = (double)values;
  state.counters["conflicting"] = (double)greyed;
  state.counters["at_default"] = (double)g.atDefault;
}

void BM_CondEval1M(benchmark::State &state)
{
  const RULE_CODE_UNIT *code = FirstJudge();
  if (code == nullptr) Die("the model has no judge");
  for (auto _ : state) {
    LONG sum = 0;
    for (int i = 0; i < 1000000; ++i) sum += RuleEvaluate(code, g.ctx);
    benchmark::DoNotOptimize(sum);
  }
  state.counters["evaluations"] = 1e6;
}

// --- INI ------------------------------------------------------------------------------

void MakeIni()
{
  std::ofstream out(HostPath(kIniPath), std::ios::binary | std::ios::trunc);
  for (int s = 0; s < 10; ++s) {
    out << "[Section" << s << "]\r\n";
    for (int k = 0; k < 20; ++k) out << "Key" << k << "=Value " << s << " " << k << "\r\n";
  }
}

void BM_IniRead(benchmark::State &state)
{
  MakeIni();
  WCHAR buf[256];
  for (auto _ : state) {
    DWORD n = GetPrivateProfileStringW(u"Section9", u"Key19", u"", buf, 256, kIniPath);
    if (n == 0) Die("INI read failed");
    benchmark::DoNotOptimize(buf);
  }
}

void BM_IniWrite(benchmark::State &state)
{
  MakeIni();
  int i = 0;
  for (auto _ : state) {
    if (!WritePrivateProfileStringW(u"Section5", u"Key10", (++i & 1) ? u"one" : u"two", kIniPath))
      Die("INI write failed");
  }
}

}  // namespace

BENCHMARK(BM_DescCompile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BcsLoadCold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BcsLoadWarm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BcsLoadFloor)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BcsCheck)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BcsValidate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadCopyReference)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessCacheHit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CtxCreateCold)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CtxCreateCached)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ItemLookupsAndReads)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RuleSweep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CondEval1M)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_IniRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IniWrite)->Unit(benchmark::kMicrosecond);

// One run of each operation the profiler can take apart.
void Profile(const std::string &names, double seconds)
{
  const RULE_CODE_UNIT *code = FirstJudge();
  size_t greyed = 0;
  const std::vector<std::pair<std::string, std::function<void()>>> ops = {
      {"compile", [] { GlobalFree(DescCompile(nullptr, kDescPath, FALSE)); }},
      {"bcs-warm",
       [] {
         DWORD size = 0;
         BYTE *block = DescReadCacheFile(kDescPath, &size);
         if (block == nullptr) Die("the .BCS does not load");
         DescRelocate(block);
         GlobalFree(block);
       }},
      {"bcs-cold",
       [] {
         DropFromPageCache(g.bcsHost);
         DWORD size = 0;
         BYTE *block = DescReadCacheFile(kDescPath, &size);
         if (block == nullptr) Die("the .BCS does not load");
         DescRelocate(block);
         GlobalFree(block);
       }},
      {"cache-hit", [] { benchmark::DoNotOptimize(DescLoadCompiled(g.ctx)); }},
      {"ctx-cold",
       [] {
         CtxExpireCache(1);
         CtxRelease(CtxCreate(g.printer, g.printer, nullptr, CTX_CREATE_SHEETS));
       }},
      {"ctx-cached", [] { CtxRelease(CtxCreate(g.printer, g.printer, nullptr, CTX_CREATE_SHEETS)); }},
      {"sweep", [&] { Sweep(&greyed); }},
      {"eval",
       [&] {
         for (int i = 0; i < 1000; ++i) benchmark::DoNotOptimize(RuleEvaluate(code, g.ctx));
       }},
      {"ini-write", [] { WritePrivateProfileStringW(u"Section5", u"Key10", u"value", kIniPath); }},
  };
  MakeIni();
  for (const auto &[name, body] : ops) {
    if (("," + names + ",").find("," + name + ",") == std::string::npos && names != "all") continue;
    SampleProfile(name.c_str(), seconds, body);
  }
  CtxExpireCache(1);
}

#ifdef KV_BENCH_COUNT_HEAP
// Peak heap of one compile (its result included) and of one check of the .BCS file's bytes
// (trailer, checksum and the block's validation; the bytes are already in memory, so the
// read's buffer is not counted), each the lowest of three runs so that a
// buffer the C library keeps from a first call does not count.
void Memory()
{
  HeapPeak compile = {-1, 0}, validate = {-1, 0};
  std::vector<BYTE> bytes(g.bcsBytes);
  {
    std::ifstream in(g.bcsHost, std::ios::binary);
    if (!in.read((char *)bytes.data(), (std::streamsize)bytes.size())) Die("cannot read the .BCS");
  }
  for (int run = 0; run < 3; ++run) {
    HeapPeak c = MeasureHeap([] {
      DESC_BLOB *blob = DescCompile(nullptr, kDescPath, FALSE);
      if (blob == nullptr) Die("compile failed");
      GlobalFree(blob);
    });
    if (compile.peak < 0 || c.peak < compile.peak) compile = c;
    HeapPeak v = MeasureHeap([&] {
      DESC_VALIDATE_RESULT why;
      DWORD blockSize = 0;
      if (!DescCheckCacheImage(bytes.data(), (DWORD)bytes.size(), &blockSize, &why))
        Die(std::string("invalid .BCS: ") + why.reason);
    });
    if (validate.peak < 0 || v.peak < validate.peak) validate = v;
  }
  printf("kvd_bytes %lu\nbcs_bytes %lu\n", (unsigned long)g.descBytes, (unsigned long)g.bcsBytes);
  printf("compile_peak %lld\ncompile_largest %lld\n", compile.peak, compile.largest);
  printf("validate_peak %lld\nvalidate_largest %lld\n", validate.peak, validate.largest);
}

#endif

int main(int argc, char **argv)
{
  std::string model, profile;
  bool memory = false;
  double profileSeconds = 5;
  std::vector<char *> rest = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--model") == 0 && i + 1 < argc)
      model = argv[++i];
    else if (strcmp(argv[i], "--profile") == 0 && i + 1 < argc)
      profile = argv[++i];
    else if (strcmp(argv[i], "--memory") == 0)
      memory = true;
    else if (strcmp(argv[i], "--profile-seconds") == 0 && i + 1 < argc)
      profileSeconds = atof(argv[++i]);
    else
      rest.push_back(argv[i]);
  }
  if (model.empty()) Die("usage: bench_desc --model DIR [--profile NAMES | --memory] [benchmark flags]");
  int n = (int)rest.size();
  benchmark::Initialize(&n, rest.data());
  Setup(model);
  if (memory) {
#ifdef KV_BENCH_COUNT_HEAP
    Memory();
#else
    Die("--memory needs the counting heap: run bench_desc_heap");
#endif
  } else if (!profile.empty()) {
    Profile(profile, profileSeconds);
  } else {
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  if (g.ctx != nullptr) CtxRelease(g.ctx);
  CtxExpireCache(1);
  if (g.printer != nullptr) ClosePrinter(g.printer);
  std::error_code ec;
  fs::remove_all(g.root, ec);
  return 0;
}
