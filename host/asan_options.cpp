// Sanitizer defaults of the host program.
// Leak checking stops the world with ptrace, which the user-mode emulator that runs
// 32-bit tests on some kernels cannot do: leave it off by default (ASAN_OPTIONS can
// still turn it on where 32-bit programs run natively).
extern "C" const char *__asan_default_options() { return "detect_leaks=0"; }
