// The host program's command table and shared helpers.
#pragma once
#include <string>
#include <vector>

#include "win32.h"

namespace host {

using Args = std::vector<std::string>;

// A command: name, one-line usage and the function that runs it (exit code).
struct Command {
  const char *name;
  const char *usage;
  int (*run)(const Args &args);
};

// Each command file registers its commands with a static Registrar.
void Register(const Command &cmd);
struct Registrar {
  explicit Registrar(const Command &cmd) { Register(cmd); }
};

// Prints "kvmlhost: message" to standard error and answers the exit code 1 (2 for usage).
int Fail(const std::string &message);
int Usage(const char *usage);
// Text of a Win32 error code: "error 2 (ERROR_FILE_NOT_FOUND)".
std::string ErrorText(DWORD code);

std::u16string Widen(const std::string &utf8);
std::string Narrow(const std::u16string &s);

// Chooses the machine root from --root DIR (removed from args) or KVML_ROOT.
bool UseMachineRoot(Args &args);

}  // namespace host
