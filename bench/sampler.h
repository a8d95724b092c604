// A small sampling profiler for the benchmarks: every millisecond of CPU time (SIGPROF)
// it records the call stack of the running code, and at the end it prints the functions
// that were on top of the stack most often (self) and those that were anywhere on it
// (inclusive), with their source lines resolved by addr2line.
//
// It exists because the 32-bit programs may run under a user-mode emulator, where the
// usual profilers (valgrind, perf) see only the emulator: the emulator delivers SIGPROF
// with the emulated machine's registers, so sampling from inside the program still works.
#pragma once

#include <functional>

// Runs body repeatedly for about seconds of CPU time with sampling on, then prints the
// profile (top entries of each list) to stdout under the given title.
void SampleProfile(const char *title, double seconds, const std::function<void()> &body, int top = 25);
