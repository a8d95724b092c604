// Sanitizer defaults of every test program and of the host program.
// Leak checking stops the world with ptrace, which the user-mode emulator that runs
// 32-bit tests on some kernels cannot do: leave it off by default (ASAN_OPTIONS can
// still turn it on where 32-bit programs run natively).
// The quarantine of freed blocks (256 MB by default) and the allocation stacks ASan keeps
// for every block both live in the 32-bit address space; under the emulator that space is
// smaller than on a native kernel, and a test that copies and frees large blocks thousands
// of times runs it out of room. 16 MB of quarantine still catches a use after free of any
// block freed in the last few thousand allocations, and 16 frames name every caller.
extern "C" const char *__asan_default_options()
{
  return "detect_leaks=0:quarantine_size_mb=16:malloc_context_size=16";
}
