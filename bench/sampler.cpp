#include "sampler.h"

#include <dlfcn.h>
#include <stdlib.h>
#include <execinfo.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/time.h>
#include <time.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kDepth = 32;
constexpr size_t kMaxSamples = 200000;

struct Sample {
  int depth;
  void *pc[kDepth];
};

Sample *g_samples = nullptr;
volatile size_t g_count = 0;

void OnProf(int)
{
  size_t i = g_count;
  if (i >= kMaxSamples) return;
  // backtrace() from a signal handler: its first call (which loads the unwinder) was made
  // before the timer started, so here it only walks the stack.
  g_samples[i].depth = backtrace(g_samples[i].pc, kDepth);
  g_count = i + 1;
}

double CpuSeconds()
{
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Whether an address lies in the project's own code (the program or a library of the
// build tree) rather than in the C or C++ runtime.
bool IsProjectCode(void *pc)
{
  Dl_info info;
  if (dladdr(pc, &info) == 0 || info.dli_fname == nullptr) return false;
  std::string f = info.dli_fname;
  return f.find("/lib/i386-linux-gnu/") == std::string::npos && f.find("/usr/lib") == std::string::npos &&
         f.find("ld-linux") == std::string::npos;
}

// The function containing each address: the nearest text symbol at or below it in its
// module's symbol table (nm), so inlined code counts for the function it was inlined
// into. Modules without a symbol table fall back to their dynamic symbols.
std::map<void *, std::string> Symbolize(const std::set<void *> &pcs)
{
  std::map<std::string, std::vector<std::pair<void *, uintptr_t>>> byModule;
  std::map<void *, std::string> out;
  for (void *pc : pcs) {
    Dl_info info;
    if (dladdr(pc, &info) == 0 || info.dli_fname == nullptr) {
      out[pc] = "?";
      continue;
    }
    // Return addresses point after the call: look up the byte before.
    uintptr_t off = (uintptr_t)pc - (uintptr_t)info.dli_fbase - 1;
    byModule[info.dli_fname].push_back({pc, off});
  }
  for (auto &[module, list] : byModule) {
    std::string base = module.substr(module.rfind('/') + 1);
    std::vector<std::pair<uintptr_t, std::string>> syms;
    for (const char *opt : {"", "-D "}) {
      std::string cmd = std::string("nm -C --defined-only ") + opt + "'" + module + "' 2>/dev/null";
      FILE *p = popen(cmd.c_str(), "r");
      char *line = nullptr;
      size_t cap = 0;
      while (p != nullptr && getline(&line, &cap, p) >= 0) {
        char *end = nullptr;
        unsigned long addr = strtoul(line, &end, 16);
        if (end == line || end[0] != ' ' || end[1] == 0 || end[2] != ' ') continue;
        char type = end[1];
        if (type != 't' && type != 'T' && type != 'W' && type != 'w' && type != 'i') continue;
        std::string name = end + 3;
        name.erase(name.find_last_not_of("\r\n") + 1);
        syms.push_back({addr, name});
      }
      free(line);
      if (p != nullptr) pclose(p);
      if (!syms.empty()) break;
    }
    std::sort(syms.begin(), syms.end());
    for (auto &[pc, off] : list) {
      auto it = std::upper_bound(syms.begin(), syms.end(), std::make_pair(off, std::string("\xff")));
      if (it == syms.begin()) {
        out[pc] = base + " (no symbol)";
        continue;
      }
      std::string fn = std::prev(it)->second;
      for (size_t a; (a = fn.find("(anonymous namespace)::")) != std::string::npos;) fn.erase(a, 23);
      // Parameter lists and template arguments make names unreadable: keep the name.
      size_t paren = fn.find('(');
      if (paren != std::string::npos && paren > 0) fn = fn.substr(0, paren);
      if (fn.size() > 90) fn = fn.substr(0, 87) + "...";
      out[pc] = fn + " [" + base + "]";
    }
  }
  return out;
}

std::string FunctionOf(const std::string &s) { return s; }

}  // namespace

void SampleProfile(const char *title, double seconds, const std::function<void()> &body, int top)
{
  std::vector<Sample> store(kMaxSamples);
  g_samples = store.data();
  g_count = 0;
  void *warm[4];
  backtrace(warm, 4);

  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnProf;
  sa.sa_flags = SA_RESTART;
  sigaction(SIGPROF, &sa, nullptr);
  itimerval tv = {{0, 1000}, {0, 1000}};
  setitimer(ITIMER_PROF, &tv, nullptr);
  double start = CpuSeconds();
  size_t runs = 0;
  while (CpuSeconds() - start < seconds) {
    body();
    ++runs;
  }
  itimerval off = {};
  setitimer(ITIMER_PROF, &off, nullptr);
  signal(SIGPROF, SIG_DFL);
  size_t n = g_count;

  std::set<void *> pcs;
  for (size_t i = 0; i < n; ++i)
    for (int d = 0; d < store[i].depth; ++d) pcs.insert(store[i].pc[d]);
  std::map<void *, std::string> names = Symbolize(pcs);

  std::map<std::string, size_t> self, charged, inclusive;
  std::map<void *, bool> project;
  for (void *pc : pcs) project[pc] = IsProjectCode(pc);
  for (size_t i = 0; i < n; ++i) {
    std::set<std::string> seen;
    bool charge = true;
    // Frame 0 is the handler, frame 1 the signal trampoline: the interrupted code is 2.
    for (int d = 2; d < store[i].depth; ++d) {
      std::string f = FunctionOf(names[store[i].pc[d]]);
      if (d == 2) ++self[f];
      if (charge && project[store[i].pc[d]]) {
        ++charged[f];
        charge = false;
      }
      if (seen.insert(f).second) ++inclusive[f];
    }
  }
  auto print = [&](const char *what, const std::map<std::string, size_t> &m) {
    std::vector<std::pair<size_t, std::string>> v;
    for (auto &[k, c] : m) v.push_back({c, k});
    std::sort(v.rbegin(), v.rend());
    printf("  %s:\n", what);
    for (int i = 0; i < top && i < (int)v.size(); ++i)
      printf("    %5.1f%%  %s\n", 100.0 * v[i].first / (n ? n : 1), v[i].second.c_str());
  };
  printf("profile of %s: %zu samples over %zu runs\n", title, n, runs);
  print(
      "self (on top of the stack; in the runtime libraries, which have only dynamic symbols, a name\n"
      "  is the nearest exported one: time in system calls shows as ld-linux's _dl_catch_error)",
      self);
  print("self, with time in the C and C++ runtime charged to the project function that called it", charged);
  print("inclusive (anywhere on the stack)", inclusive);
  printf("\n");
}
