// kvmlhost: entry point, global options, help and command dispatch.
#include <stdio.h>
#include <stdlib.h>

#include <exception>
#include <map>
#include <string>

#include "context.h"
#include "host.h"
#include "kvplat/control.h"
#include "kvplat/host_drive.h"
#include "model/model.h"

namespace host {
namespace {

std::map<std::string, Command> &Commands()
{
  static auto *cmds = new std::map<std::string, Command>();
  return *cmds;
}

const char kMainUsage[] = "[--root DIR] COMMAND [ARGS]";

void PrintOverview(FILE *out)
{
  fprintf(out,
          "usage: kvmlhost %s\n"
          "       kvmlhost help [COMMAND] | --help | --version\n"
          "Plays the spooler, GDI and an application around the KVML driver, on a machine root.\n"
          "commands:\n",
          kMainUsage);
  for (auto &[name, cmd] : Commands()) fprintf(out, "  %s\n", cmd.usage);
  fprintf(out,
          "global options (before or after the command):\n"
          "  --root DIR    the machine root (else the environment variable KVML_ROOT)\n"
          "  -h, --help    this text, or the command's\n"
          "  --version     the driver's version and the FileVersion it accepts\n"
          "Files: a Windows path (C:\\...) names a file on the machine root; any other path is a\n"
          "file of this computer, relative or absolute, used where it lies (through drive %c:).\n"
          "A \"--\" ends the options: what follows is taken as written.\n"
          "Exit status: 0 done, 1 failed, 2 wrong arguments.\n",
          static_cast<char>(PlatGetHostDrive()));
}

void PrintCommandHelp(const Command &cmd) { printf("usage: kvmlhost %s\n%s", cmd.usage, cmd.help); }

int PrintVersion()
{
  const MODEL_RECORD *model = CtxGetTemplate() != nullptr ? CtxGetTemplate()->model : nullptr;
  if (model == nullptr || model->driverVersionText == nullptr) return Fail("the driver build has no model record");
  std::string version = Narrow(model->driverVersionText);
  printf("kvmlhost: KVML driver %s (dmDriverVersion 0x%04X)\n", version.c_str(), model->driverVersion);
  printf("accepts descriptions of FileVersion %s\n", version.c_str());
  return 0;
}

int RunHelp(const Args &args)
{
  if (args.empty()) {
    PrintOverview(stdout);
    return 0;
  }
  if (args.size() > 1) return UsageError("help [COMMAND]");
  auto it = Commands().find(args[0]);
  if (it == Commands().end()) return UsageError("help [COMMAND]", "unknown command '" + args[0] + "'");
  PrintCommandHelp(it->second);
  return 0;
}

Registrar reg({"help", "help [COMMAND]", "Shows what the commands do, or what one command does.\n", RunHelp});

}  // namespace

void Register(const Command &cmd) { Commands()[cmd.name] = cmd; }

int Fail(const std::string &message)
{
  fprintf(stderr, "kvmlhost: %s\n", message.c_str());
  return 1;
}

int UsageError(const char *usage, const std::string &why)
{
  if (!why.empty()) fprintf(stderr, "kvmlhost: %s\n", why.c_str());
  fprintf(stderr, "usage: kvmlhost %s\n", usage);
  return 2;
}

bool ParseArgs(const Args &args, const std::vector<Option> &allowed, const char *usage, ParsedArgs &out)
{
  out = ParsedArgs();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (a == "--") {
      out.rest.insert(out.rest.end(), args.begin() + static_cast<long>(i) + 1, args.end());
      break;
    }
    if (a.size() < 2 || a[0] != '-') {
      out.rest.push_back(a);
      continue;
    }
    std::string name = a.substr(0, a.find('='));
    const Option *opt = nullptr;
    for (const auto &o : allowed)
      if (name == o.name) opt = &o;
    if (opt == nullptr) {
      UsageError(usage, "unknown option '" + name + "'");
      return false;
    }
    std::string value;
    if (a.size() > name.size()) {
      value = a.substr(name.size() + 1);
      if (!opt->takesValue) {
        UsageError(usage, "option " + name + " takes no value");
        return false;
      }
    } else if (opt->takesValue) {
      if (i + 1 >= args.size()) {
        UsageError(usage, "option " + name + " needs a value");
        return false;
      }
      value = args[++i];
    }
    out.options[name] = value;
    out.given.emplace_back(name, value);
  }
  return true;
}

std::string ErrorText(DWORD code)
{
  WCHAR text[512];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0, text, 512, NULL);
  std::string words = n > 0 ? Narrow(std::u16string(text, n)) : std::string();
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.')) words.pop_back();
  if (!words.empty() && words[0] >= 'A' && words[0] <= 'Z' && !(words.size() > 1 && words[1] >= 'A' && words[1] <= 'Z'))
    words[0] = static_cast<char>(words[0] - 'A' + 'a');
  auto it = ErrorNames().find(code);
  std::string tag = (it != ErrorNames().end() ? std::string(it->second) + ", " : std::string("unnamed ")) + "error " +
                    std::to_string(code);
  return words.empty() ? tag : words + " (" + tag + ")";
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

}  // namespace host

// Takes the global options out of the arguments (up to a "--"), wherever they stand, and
// runs the command.
namespace {

// Whether a command-line argument is well-formed UTF-8. Ill-formed text would decode to
// U+FFFD, and two different names could become one: such arguments are refused.
bool ValidUtf8(const std::string &s)
{
  return s.empty() ||
         MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), NULL, 0) > 0;
}

int Run(int argc, char **argv);

}  // namespace

// Every command runs inside one guard: an exception (a path the file system refuses, an
// allocation that fails) ends the command with a message and status 1, never an abort.
int main(int argc, char **argv)
{
  try {
    return Run(argc, argv);
  } catch (const std::exception &e) {
    return host::Fail(std::string("failed: ") + e.what());
  } catch (...) {
    return host::Fail("failed: unexpected error");
  }
}

namespace {

int Run(int argc, char **argv)
{
  using namespace host;
  PlatSetHostDrive(u'Z');
  Args args(argv + 1, argv + argc);
  for (size_t i = 0; i < args.size(); ++i)
    if (!ValidUtf8(args[i])) return UsageError(kMainUsage, "argument " + std::to_string(i + 1) + " is not valid UTF-8");
  Args rest;
  bool help = false, version = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (a == "--") {
      rest.insert(rest.end(), args.begin() + static_cast<long>(i), args.end());
      break;
    }
    if (a == "-h" || a == "--help") {
      help = true;
    } else if (a == "--version") {
      version = true;
    } else if (a == "--root" || a.rfind("--root=", 0) == 0) {
      std::string dir = a.size() > 6 ? a.substr(7) : (i + 1 < args.size() ? args[++i] : std::string());
      if (dir.empty()) return UsageError(kMainUsage, "option --root needs a folder");
      PlatSetMachineRoot(dir.c_str());
    } else {
      rest.push_back(a);
    }
  }
  if (version) return PrintVersion();
  if (!rest.empty() && rest[0] == "--") rest.erase(rest.begin());
  if (rest.empty()) {
    if (help) {
      PrintOverview(stdout);
      return 0;
    }
    PrintOverview(stderr);
    return 2;
  }
  auto it = Commands().find(rest[0]);
  if (it == Commands().end()) {
    fprintf(stderr, "kvmlhost: unknown command '%s'\n", rest[0].c_str());
    PrintOverview(stderr);
    return 2;
  }
  if (help) {
    PrintCommandHelp(it->second);
    return 0;
  }
  return it->second.run(Args(rest.begin() + 1, rest.end()));
}

}  // namespace
