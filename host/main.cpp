// kvmlhost: entry point and command dispatch.
#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <string>

#include "host.h"
#include "kvplat/control.h"

namespace host {
namespace {
std::map<std::string, Command> &Commands()
{
  static auto *cmds = new std::map<std::string, Command>();
  return *cmds;
}
}  // namespace

void Register(const Command &cmd) { Commands()[cmd.name] = cmd; }

int Fail(const std::string &message)
{
  fprintf(stderr, "kvmlhost: %s\n", message.c_str());
  return 1;
}

int Usage(const char *usage)
{
  fprintf(stderr, "usage: kvmlhost %s\n", usage);
  return 2;
}

std::string ErrorText(DWORD code)
{
  static const std::map<DWORD, const char *> names = {
      {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},
      {ERROR_PATH_NOT_FOUND, "ERROR_PATH_NOT_FOUND"},
      {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},
      {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
      {ERROR_NOT_ENOUGH_MEMORY, "ERROR_NOT_ENOUGH_MEMORY"},
      {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER"},
      {ERROR_INSUFFICIENT_BUFFER, "ERROR_INSUFFICIENT_BUFFER"},
      {ERROR_INVALID_NAME, "ERROR_INVALID_NAME"},
      {ERROR_BAD_NETPATH, "ERROR_BAD_NETPATH"},
      {ERROR_ALREADY_EXISTS, "ERROR_ALREADY_EXISTS"},
      {ERROR_FILE_EXISTS, "ERROR_FILE_EXISTS"},
      {ERROR_MORE_DATA, "ERROR_MORE_DATA"},
      {ERROR_INVALID_PRINTER_NAME, "ERROR_INVALID_PRINTER_NAME"},
  };
  auto it = names.find(code);
  return "error " + std::to_string(code) + (it != names.end() ? std::string(" (") + it->second + ")" : "");
}

// UTF-8 command-line text to UTF-16 and back, through the platform's CP_UTF8 converter.
std::u16string Widen(const std::string &s)
{
  if (s.empty()) return std::u16string();
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), NULL, 0);
  std::u16string out(n > 0 ? n : 0, u'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::u16string &s)
{
  if (s.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), NULL, 0, NULL, NULL);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, NULL, NULL);
  return out;
}

bool UseMachineRoot(Args &args)
{
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--root") {
      PlatSetMachineRoot(args[i + 1].c_str());
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      return true;
    }
  }
  return PlatGetMachineRoot() != nullptr;
}

}  // namespace host

int main(int argc, char **argv)
{
  auto &cmds = host::Commands();
  if (argc < 2 || cmds.find(argv[1]) == cmds.end()) {
    if (argc >= 2) fprintf(stderr, "kvmlhost: unknown command '%s'\n", argv[1]);
    fprintf(stderr, "usage: kvmlhost COMMAND [ARGS] [--root DIR]\ncommands:\n");
    for (auto &[name, cmd] : cmds) fprintf(stderr, "  %s\n", cmd.usage);
    return 2;
  }
  host::Args args(argv + 2, argv + argc);
  return cmds[argv[1]].run(args);
}
