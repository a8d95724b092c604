// kvmlhost: entry point and command dispatch.
#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <string>

#include "host.h"
#include "kvplat/control.h"

namespace host {
namespace {
std::map<std::string, Command>& Commands() {
  static auto* cmds = new std::map<std::string, Command>();
  return *cmds;
}
}  // namespace

void Register(const Command& cmd) { Commands()[cmd.name] = cmd; }

int Fail(const std::string& message) {
  fprintf(stderr, "kvmlhost: %s\n", message.c_str());
  return 1;
}

int Usage(const char* usage) {
  fprintf(stderr, "usage: kvmlhost %s\n", usage);
  return 2;
}

std::string ErrorText(DWORD code) {
  static const std::map<DWORD, const char*> names = {
      {ERROR_FILE_NOT_FOUND, "ERROR_FILE_NOT_FOUND"},   {ERROR_PATH_NOT_FOUND, "ERROR_PATH_NOT_FOUND"},
      {ERROR_ACCESS_DENIED, "ERROR_ACCESS_DENIED"},     {ERROR_INVALID_HANDLE, "ERROR_INVALID_HANDLE"},
      {ERROR_NOT_ENOUGH_MEMORY, "ERROR_NOT_ENOUGH_MEMORY"}, {ERROR_INVALID_PARAMETER, "ERROR_INVALID_PARAMETER"},
      {ERROR_INSUFFICIENT_BUFFER, "ERROR_INSUFFICIENT_BUFFER"}, {ERROR_INVALID_NAME, "ERROR_INVALID_NAME"},
      {ERROR_BAD_NETPATH, "ERROR_BAD_NETPATH"},         {ERROR_ALREADY_EXISTS, "ERROR_ALREADY_EXISTS"},
      {ERROR_FILE_EXISTS, "ERROR_FILE_EXISTS"},         {ERROR_MORE_DATA, "ERROR_MORE_DATA"},
      {ERROR_INVALID_PRINTER_NAME, "ERROR_INVALID_PRINTER_NAME"},
  };
  auto it = names.find(code);
  return "error " + std::to_string(code) + (it != names.end() ? std::string(" (") + it->second + ")" : "");
}

std::u16string Widen(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    char32_t c = b;
    size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
    if (len > 1) {
      c = b & (0xFF >> (len + 1));
      for (size_t k = 1; k < len && i + k < s.size(); ++k) c = (c << 6) | (s[i + k] & 0x3F);
    }
    i += len;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string Narrow(const std::u16string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size()) c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

bool UseMachineRoot(Args& args) {
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

int main(int argc, char** argv) {
  auto& cmds = host::Commands();
  if (argc < 2 || cmds.find(argv[1]) == cmds.end()) {
    if (argc >= 2) fprintf(stderr, "kvmlhost: unknown command '%s'\n", argv[1]);
    fprintf(stderr, "usage: kvmlhost COMMAND [ARGS] [--root DIR]\ncommands:\n");
    for (auto& [name, cmd] : cmds) fprintf(stderr, "  %s\n", cmd.usage);
    return 2;
  }
  host::Args args(argv + 2, argv + argc);
  return cmds[argv[1]].run(args);
}
