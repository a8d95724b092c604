// The peer of bench_desc: CUPS's PPD functions on the PPD that bench/genmodel.py writes
// for the same model (as many options, choices and constraints as the description).
//
//   bench_cups --model DIR [Google Benchmark flags]
//
// BM_PpdOpen reads and parses the file (ppdOpenFile + ppdClose); BM_PpdSweep asks, for
// every choice of every option, whether choosing it conflicts: ppdMarkOption of the
// choice, ppdConflicts, and ppdMarkOption of the option's default again.
#include <benchmark/benchmark.h>
#include <cups/ppd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

std::string g_ppd;

[[noreturn]] void Die(const std::string &what)
{
  fprintf(stderr, "bench_cups: %s\n", what.c_str());
  exit(1);
}

void BM_PpdOpen(benchmark::State &state)
{
  for (auto _ : state) {
    ppd_file_t *ppd = ppdOpenFile(g_ppd.c_str());
    if (ppd == nullptr) Die("ppdOpenFile failed: " + std::string(ppdErrorString(ppdLastError(nullptr))));
    benchmark::DoNotOptimize(ppd);
    ppdClose(ppd);
  }
}

void BM_PpdSweep(benchmark::State &state)
{
  ppd_file_t *ppd = ppdOpenFile(g_ppd.c_str());
  if (ppd == nullptr) Die("ppdOpenFile failed");
  ppdMarkDefaults(ppd);
  struct Opt {
    std::string keyword, def;
    std::vector<std::string> choices;
  };
  std::vector<Opt> opts;
  for (ppd_option_t *o = ppdFirstOption(ppd); o != nullptr; o = ppdNextOption(ppd)) {
    Opt opt{o->keyword, o->defchoice, {}};
    for (int i = 0; i < o->num_choices; ++i) opt.choices.push_back(o->choices[i].choice);
    opts.push_back(opt);
  }
  size_t values = 0, conflicts = 0;
  for (auto _ : state) {
    values = conflicts = 0;
    for (const Opt &o : opts) {
      for (const std::string &c : o.choices) {
        ppdMarkOption(ppd, o.keyword.c_str(), c.c_str());
        conflicts += ppdConflicts(ppd) != 0;
        ++values;
      }
      ppdMarkOption(ppd, o.keyword.c_str(), o.def.c_str());
    }
  }
  state.counters["values"] = (double)values;
  state.counters["conflicting"] = (double)conflicts;
  ppdClose(ppd);
}

}  // namespace

BENCHMARK(BM_PpdOpen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PpdSweep)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
  std::string model;
  std::vector<char *> rest = {argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--model") == 0 && i + 1 < argc)
      model = argv[++i];
    else
      rest.push_back(argv[i]);
  }
  if (model.empty()) Die("usage: bench_cups --model DIR [benchmark flags]");
  g_ppd = model + "/bench.ppd";
  int n = (int)rest.size();
  benchmark::Initialize(&n, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
