// The host program's command table and shared helpers.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "win32.h"

struct DRIVER_CONTEXT;
struct OPTION_ITEM;

namespace host {

using Args = std::vector<std::string>;

// A command: name, one-line usage, what it does (shown by "kvmlhost help NAME") and the
// function that runs it. The function gets the arguments after the command name, with
// the global options (--root, --help, --version) taken out; it answers the exit code.
struct Command {
  const char *name;
  const char *usage;
  const char *help;
  int (*run)(const Args &args);
};

// Each command file registers its commands with a static Registrar.
void Register(const Command &cmd);
struct Registrar {
  explicit Registrar(const Command &cmd) { Register(cmd); }
};

// Prints "kvmlhost: message" to standard error and answers the exit code 1.
int Fail(const std::string &message);
// Prints "kvmlhost: why" (when why is not empty) and the command's usage line to standard
// error and answers the exit code 2.
int UsageError(const char *usage, const std::string &why = std::string());

// The arguments of a command: its options and the rest in order. An option is "--name",
// "--name VALUE" or "--name=VALUE" for a name the command lists; "--" ends the options.
struct Option {
  const char *name;  // with its dashes: "--printer"
  bool takesValue;
};
struct ParsedArgs {
  std::map<std::string, std::string> options;              // name -> value ("" for a flag); the last one given
  std::vector<std::pair<std::string, std::string>> given;  // every option in command-line order
  Args rest;
  bool Has(const char *name) const { return options.count(name) != 0; }
  // Every value given for a repeatable option, in order.
  std::vector<std::string> All(const char *name) const
  {
    std::vector<std::string> out;
    for (const auto &[n, v] : given)
      if (n == name) out.push_back(v);
    return out;
  }
};
// FALSE, after a usage error on standard error, for an option the command does not list
// or one that lacks its value.
bool ParseArgs(const Args &args, const std::vector<Option> &allowed, const char *usage, ParsedArgs &out);

// Words for a Win32 error code: "the system cannot find the file specified
// (ERROR_FILE_NOT_FOUND, error 2)".
std::string ErrorText(DWORD code);
// The table of error names by code (error_names.cpp).
const std::map<DWORD, const char *> &ErrorNames();

std::u16string Widen(const std::string &utf8);
std::string Narrow(const std::u16string &s);

// The option item an argument names: its ID, its field name ("dmOrientation", any case) or
// its description name ("KPD_RADIOLIST_1"). NULL, with the reason in why, when none is found.
OPTION_ITEM *FindItem(DRIVER_CONTEXT *ctx, const std::string &arg, std::string &why);
// The name an item row goes by: its field name, else the description name of its item, else
// "(unnamed)".
std::string ItemDisplayName(const OPTION_ITEM *item);

// Opens the printer (with administrative access when administer is set and the user has it,
// else to use it) and a driver context on it with the given create flags. 0 with both open
// (the caller closes them with ClosePrinterContext); else the exit code 1 after saying why,
// with nothing left open.
int OpenPrinterContext(const std::string &printerName, DWORD createFlags, HANDLE *printer, DRIVER_CONTEXT **ctx,
                       bool administer = false);
// OpenPrinterContext for a context opened with that load kind (0-3, the open mode's low
// byte): the printer is opened to use it.
int OpenPrinterContextOfKind(const std::string &printerName, WORD kind, DWORD createFlags, HANDLE *printer,
                             DRIVER_CONTEXT **ctx);
// Releases a context that OpenPrinterContext opened, empties the context cache and closes
// the printer; either may be NULL.
void ClosePrinterContext(HANDLE printer, DRIVER_CONTEXT *ctx);

// A settings file read into a context: the read's answer, the values it corrected into
// their items' ranges (item ID -> the file's text) and, for a file cut short, the line at
// which the read stopped (0 for a whole file).
struct SettingsRead {
  int answer = 0;
  std::map<WORD, std::string> corrections;
  DWORD cutLine = 0;
};
// Reads FILE into the context (StoreReadSettingsFileReport with flags). A file that was
// taken although cut short gets a warning on stderr naming shown and the line where the
// read stopped.
SettingsRead ReadSettingsFile(HANDLE printer, DRIVER_CONTEXT *ctx, const std::u16string &file, DWORD flags,
                              const std::string &shown);
// One line per corrected value: ID, name, the file's text and the value the item holds now.
void PrintCorrections(DRIVER_CONTEXT *ctx, const SettingsRead &read);

// A printer and its driver context opened for one command (OpenPrinterContext, which says
// why when it fails: rc() is then its exit code and ctx() NULL) and closed with the scope.
class PrinterSession {
 public:
  PrinterSession(const std::string &printerName, DWORD createFlags)
      : rc_(OpenPrinterContext(printerName, createFlags, &printer_, &ctx_))
  {
  }
  ~PrinterSession() { ClosePrinterContext(printer_, ctx_); }
  PrinterSession(const PrinterSession &) = delete;
  PrinterSession &operator=(const PrinterSession &) = delete;
  int rc() const { return rc_; }
  DRIVER_CONTEXT *ctx() const { return ctx_; }

 private:
  HANDLE printer_ = NULL;
  DRIVER_CONTEXT *ctx_ = nullptr;
  int rc_;
};

// Imports the default presets of the bundle the model INI names for the printer, as the
// printer setup does (cmd_bundle.cpp); message says what was imported. 1 when every file
// was imported or no bundle is named; 0 otherwise.
int ImportModelDefaultBundle(const std::string &printer, std::string &message);
// "settings get|set PRINTER ITEM [VALUE]" (args starting with get or set); usage for errors.
int RunSettingsItem(const Args &args, const char *usage);
// The text of an option item's value in a DEVMODE image, read at the item's offset and
// width: a number, 0 or 1 for a bit, quoted text, or hexadecimal bytes (cmd_devmode.cpp).
std::string DevmodeItemValue(const BYTE *dm, const OPTION_ITEM *item);
// Writes bytes to a file (a command argument, FileArgument), replacing it; FALSE with the
// reason in err.
bool WriteWholeFile(const std::string &arg, const BYTE *bytes, DWORD size, std::string &err);

// Writes the value text stands for into a non-text item: a number in the range of the
// item's value type, or one of its value names (written as that value). FALSE, with the
// reason in why and the item untouched, when the text is neither.
bool WriteItemNumber(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, const std::string &text, std::string &why);

// ---------------------------------------------------------------- machine root and paths

// 0 when a machine root is chosen (--root DIR or KVML_ROOT) and is a folder; else the
// exit code 1 after saying why.
int RequireMachineRoot();
// A machine root for commands that need none of the machine's state: the chosen one, or a
// private temporary root made now and removed when the program exits. FALSE with the
// reason in err, or with err empty when the reason is already on standard error.
bool UseMachineRootOrPrivate(std::string &err);

// The Windows path a command argument names. A Windows path ("C:\...", "\...") stays as
// written, on the machine root; anything else is a host path, relative to the current
// folder, named through the host drive. FALSE with the reason in err (a host name that a
// Windows path cannot hold, a path too long).
bool FileArgument(const std::string &arg, std::u16string &winPath, std::string &err);
// How to show a Windows path to the user: a path on the host drive as the host path
// (relative to the current folder when it lies under it), any other as written.
std::string ShowPath(const std::u16string &winPath);

}  // namespace host
