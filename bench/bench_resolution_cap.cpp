// The resolution check of the condition evaluator (item 738, RuleGetResolutionCap) on the
// sample printer: how long one answer takes when nothing changed since the last one, when
// a setting it reads changed, and when a setting it does not depend on changed, for a
// standard paper and for custom sizes. It shows whether remembering the last answer per
// context pays for the check of its inputs that every question then costs.
//
//   bench_resolution_cap [--desc FILE] [Google Benchmark flags]
//
// FILE defaults to the repository's sample description.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "context.h"
#include "context/context_create.h"
#include "items/item_store.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"
#include "rules/rule_cond.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"
#include "win32.h"

namespace fs = std::filesystem;

namespace {

const WCHAR kDescPath[] = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\KVSAMPLE.KVD";

DRIVER_CONTEXT *g_ctx = nullptr;

[[noreturn]] void Die(const std::string &what)
{
  fprintf(stderr, "bench_resolution_cap: %s\n", what.c_str());
  exit(1);
}

void Setup(const std::string &desc)
{
  std::string root = (fs::temp_directory_path() / "kvcapbench-XXXXXX").string();
  if (mkdtemp(root.data()) == nullptr) Die("no scratch folder");
  for (const char *d : {"C/WINDOWS/system32/spool/drivers/w32x86/3", "C/WINDOWS/Temp"})
    fs::create_directories(root + "/" + d);
  PlatSetMachineRoot(root.c_str());
  char host[4096];
  if (!PlatMapPath(kDescPath, host, sizeof host)) Die("cannot map a path");
  std::error_code ec;
  fs::copy_file(desc, host, fs::copy_options::overwrite_existing, ec);
  if (ec) Die("cannot copy " + desc + ": " + ec.message());

  PLAT_DRIVER_SETUP d = {};
  d.name = u"KV Cap Driver";
  d.driverFile = u"kvmldraw.dll";
  d.dataFile = u"KVSAMPLE.KVD";
  d.configFile = u"kvmlface.dll";
  if (!PlatSpoolAddDriver(&d)) Die("cannot install the driver");
  PLAT_PRINTER_SETUP p = {};
  p.printerName = u"KV Cap";
  p.driverName = u"KV Cap Driver";
  if (!PlatSpoolAddPrinter(&p)) Die("cannot install the printer");
  WCHAR name[] = u"KV Cap";
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (!OpenPrinterW(name, &printer, &defaults)) Die("cannot open the printer");
  g_ctx = CtxCreate(printer, printer, nullptr, CTX_CREATE_SHEETS);
  if (g_ctx == nullptr || g_ctx->desc == nullptr) Die("no context with a description");
}

// The page the question is about: A4 (a standard paper the description gives), or a custom
// document size (paper 256) printed on a custom output size (448), at 1200 dpi.
void SetPage(bool custom)
{
  ItemSetRaw(g_ctx, ITEM_kdmDstResolutionW, 1200);
  ItemSetRaw(g_ctx, ITEM_dmOrientation, 1);
  DEVMODEW *dm = (DEVMODEW *)g_ctx->work;
  dm->dmPaperSize = custom ? 256 : 9;
  ItemSetRaw(g_ctx, ITEM_kdmOutPaperSize, custom ? 448 : 9);
  ItemSetRaw(g_ctx, ITEM_kdmPaperFreeSizeWidth, 9920);
  ItemSetRaw(g_ctx, ITEM_kdmPaperFreeSizeLength, 14030);
  ItemSetRaw(g_ctx, ITEM_kdmPrintFreeSizeWidth, 14030);
  ItemSetRaw(g_ctx, ITEM_kdmPrintFreeSizeLength, 19840);
  // The stored custom sizes are read once per context, as the first paper computation
  // outside the check does; before that every check reads them from the settings file.
  ListLoadAllFreeSizes(g_ctx);
}

// kind 0: the same question again; 1: the scale (read by the check) changes between
// questions; 2: the number of copies (not read by the check) changes between questions;
// 3: the cap itself, computed every time.
void Question(benchmark::State &state, bool custom, int kind)
{
  SetPage(custom);
  LONG answer = RuleGetComputedCondition(g_ctx, ITEM_KPD_ResolutionOverCheck);
  LONG n = 0;
  for (auto _ : state) {
    if (kind == 1) {
      ItemSetRaw(g_ctx, ITEM_kdmFuncSelectScale, 1);
      ItemSetRaw(g_ctx, ITEM_kdmScaleType, 1);
      ItemSetRaw(g_ctx, ITEM_kdmScaleH, 100 + (n++ & 1));
    } else if (kind == 2) {
      ItemSetRaw(g_ctx, ITEM_dmCopies, 1 + (n++ & 1));
    }
    LONG now =
        kind == 3 ? RuleGetResolutionCap(g_ctx, 1) == 0 : RuleGetComputedCondition(g_ctx, ITEM_KPD_ResolutionOverCheck);
    if (now != answer) Die("the answer changed");
    benchmark::DoNotOptimize(now);
  }
  ItemSetRaw(g_ctx, ITEM_kdmFuncSelectScale, 0);
}

void BM_CapStandardComputed(benchmark::State &s) { Question(s, false, 3); }
void BM_CapStandardSame(benchmark::State &s) { Question(s, false, 0); }
void BM_CapStandardReadChanged(benchmark::State &s) { Question(s, false, 1); }
void BM_CapStandardOtherChanged(benchmark::State &s) { Question(s, false, 2); }
void BM_CapCustomComputed(benchmark::State &s) { Question(s, true, 3); }
void BM_CapCustomSame(benchmark::State &s) { Question(s, true, 0); }
void BM_CapCustomReadChanged(benchmark::State &s) { Question(s, true, 1); }
void BM_CapCustomOtherChanged(benchmark::State &s) { Question(s, true, 2); }

BENCHMARK(BM_CapStandardComputed);
BENCHMARK(BM_CapStandardSame);
BENCHMARK(BM_CapStandardReadChanged);
BENCHMARK(BM_CapStandardOtherChanged);
BENCHMARK(BM_CapCustomComputed);
BENCHMARK(BM_CapCustomSame);
BENCHMARK(BM_CapCustomReadChanged);
BENCHMARK(BM_CapCustomOtherChanged);

}  // namespace

int main(int argc, char **argv)
{
  std::string desc = KV_SAMPLE_DESC;
  int out = 1;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--desc") == 0 && i + 1 < argc)
      desc = argv[++i];
    else
      argv[out++] = argv[i];
  }
  argc = out;
  Setup(desc);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CtxRelease(g_ctx);
  return 0;
}
