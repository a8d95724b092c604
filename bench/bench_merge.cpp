// The merge of an incoming DEVMODE into a context of the sample printer, against the cost of
// only copying a DEVMODE: a plain copy of the 1236 bytes, the driver's checked copy of an
// application's DEVMODE, then the whole merge with no incoming DEVMODE (the context's own
// fields re-validated), with an application's DEVMODE of this driver's format, and with a
// foreign one whose private part is discarded.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "devmode/devmode_convert.h"
#include "devmode/devmode_layout.h"
#include "devmode/dm_merge.h"
#include "model/model.h"
#include "test_printer.h"

namespace {

HANDLE g_printer = nullptr;
DRIVER_CONTEXT *g_ctx = nullptr;
std::vector<BYTE> g_fresh;

// A machine root with the test printer (removed at exit), a context on it lent the sample's
// description.
bool Setup()
{
  std::string root;
  g_printer = FuzzInstallTestPrinter("bench_merge", {"sample"}, &root);
  struct DESC_BLOB *sample = FuzzCompileSample(root, KV_SAMPLE_DIR "/KVSAMPLE.KVD");
  g_ctx = CtxCreate(g_printer, g_printer, nullptr, CTX_CREATE_SHEETS);
  if (sample == nullptr || g_ctx == nullptr || g_ctx->work == nullptr) return false;
  g_ctx->desc = sample;
  DmMergeIncoming(g_ctx, nullptr, KV_MERGE_FLAGS_CONVERT);
  g_fresh.assign(g_ctx->work, g_ctx->work + DmGetWorkBufferSize());
  return true;
}

std::vector<BYTE> Application()
{
  std::vector<BYTE> dm(g_fresh.begin(), g_fresh.begin() + KV_DM_TOTAL_SIZE);
  DEVMODEW *pub = reinterpret_cast<DEVMODEW *>(dm.data());
  pub->dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_DUPLEX | DM_PRINTQUALITY;
  pub->dmOrientation = DMORIENT_LANDSCAPE;
  pub->dmCopies = 3;
  pub->dmDuplex = DMDUP_VERTICAL;
  pub->dmPrintQuality = 1200;
  return dm;
}

void BM_CopyBytes(benchmark::State &state)
{
  std::vector<BYTE> in = Application(), out(KV_DM_TOTAL_SIZE);
  for (auto _ : state) {
    memcpy(out.data(), in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_CopyDevmode(benchmark::State &state)
{
  std::vector<BYTE> in = Application();
  for (auto _ : state) benchmark::DoNotOptimize(DmCopyDevmode(in.data(), g_ctx->work));
}

void Merge(benchmark::State &state, const BYTE *incoming, DWORD flags)
{
  for (auto _ : state) {
    state.PauseTiming();
    memcpy(g_ctx->work, g_fresh.data(), g_fresh.size());
    state.ResumeTiming();
    benchmark::DoNotOptimize(DmMergeIncoming(g_ctx, incoming, flags));
  }
}

void BM_MergeOwn(benchmark::State &state) { Merge(state, nullptr, KV_MERGE_FLAGS_CONVERT); }

void BM_MergeApplication(benchmark::State &state)
{
  std::vector<BYTE> in = Application();
  Merge(state, in.data(), KV_MERGE_FLAGS_DOCPROPS_NO_SHEET(KV_MERGE_IN_BUFFER));
}

void BM_MergeForeign(benchmark::State &state)
{
  std::vector<BYTE> in = Application();
  DmWriteLe32(in.data() + KV_DM_PRIV_SIGNATURE, 0x12345678);
  Merge(state, in.data(), KV_MERGE_FLAGS_DOCPROPS_NO_SHEET(KV_MERGE_IN_BUFFER));
}

BENCHMARK(BM_CopyBytes);
BENCHMARK(BM_CopyDevmode);
BENCHMARK(BM_MergeOwn);
BENCHMARK(BM_MergeApplication);
BENCHMARK(BM_MergeForeign);

}  // namespace

int main(int argc, char **argv)
{
  if (!Setup()) {
    fprintf(stderr, "bench_merge: the sample printer's context cannot be set up\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
