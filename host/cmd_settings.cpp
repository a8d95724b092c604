// kvmlhost settings export|import PRINTER FILE: the printer's document settings as a kst
// settings file (a preset file: the driver-name section, the version header and one line
// per option item). Export writes the settings of a fresh driver context of the printer;
// import reads a file into such a context and reports how it went, and with --to OUT writes
// the imported settings out again. get and set (cmd_settings_item.cpp) read and save one item.
#include <stdio.h>

#include <string>

#include "context.h"
#include "context/context_create.h"
#include "host.h"
#include "items/item_store.h"
#include "store/settings_files.h"

namespace host {
namespace {

const char kUsage[] = "settings export|import PRINTER FILE [--to OUT] | settings get|set PRINTER ITEM [VALUE]";

// Why a settings-file call failed, from the status the serializer left.
std::string Reason(DRIVER_CONTEXT *ctx, bool reading)
{
  DWORD status = CtxGetSettingsFileStatus(ctx);
  if (status == KST_STATUS_REJECTED)
    return "its header does not match this printer (another machine, language or major version)";
  if (status == KST_STATUS_UNREADABLE) return "the file cannot be read";
  if (status != KST_STATUS_OK) return ErrorText(status);
  return reading ? "the file cannot be read" : "the file cannot be written";
}

int Export(HANDLE printer, DRIVER_CONTEXT *ctx, const std::string &arg, const std::u16string &file)
{
  if (StoreWriteSettingsFile(printer, file.c_str(), 0, ctx) != 1)
    return Fail("cannot export the settings to " + arg + ": " + Reason(ctx, false));
  printf("exported the settings to %s\n", ShowPath(file).c_str());
  return 0;
}

int Import(HANDLE printer, DRIVER_CONTEXT *ctx, const std::string &arg, const std::u16string &file)
{
  ctx->state->settingsChanged = 0;
  SettingsRead read = ReadSettingsFile(printer, ctx, file, 0, arg);
  if (read.answer != 1 || CtxGetSettingsFileStatus(ctx) != KST_STATUS_OK)
    return Fail("cannot import the settings of " + arg + ": " + Reason(ctx, true));
  int taken = 0;
  for (int r = 0; r < ctx->items->count; ++r) {
    const OPTION_ITEM *item = &static_cast<OPTION_ITEM *>(ctx->items->rows)[r];
    if ((item->state & KV_STATE_CHANGED_MASK) != 0) ++taken;
  }
  printf("imported %d settings from %s\n", taken, ShowPath(file).c_str());
  PrintCorrections(ctx, read);
  return 0;
}

int RunSettings(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--to", true}}, kUsage, parsed)) return 2;
  const Args &args = parsed.rest;
  if (!args.empty() && (args[0] == "get" || args[0] == "set")) {
    if (parsed.Has("--to")) return UsageError(kUsage, "--to goes with import");
    return RunSettingsItem(args, kUsage);
  }
  if (args.size() != 3) return UsageError(kUsage, "name export or import, a printer and a file");
  bool exporting = args[0] == "export";
  if (!exporting && args[0] != "import") return UsageError(kUsage, "unknown action '" + args[0] + "'");
  if (exporting && parsed.Has("--to")) return UsageError(kUsage, "--to goes with import");
  if (int rc = RequireMachineRoot()) return rc;
  std::u16string file, out;
  std::string err;
  if (!FileArgument(args[2], file, err)) return Fail(args[2] + ": " + err);
  if (parsed.Has("--to") && !FileArgument(parsed.options["--to"], out, err))
    return Fail(parsed.options["--to"] + ": " + err);

  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  if (int rc = OpenPrinterContext(args[1], CTX_CREATE_DOCPROPS, &printer, &ctx)) return rc;
  int rc = exporting ? Export(printer, ctx, args[2], file) : Import(printer, ctx, args[2], file);
  if (rc == 0 && !out.empty()) rc = Export(printer, ctx, parsed.options["--to"], out);
  ClosePrinterContext(printer, ctx);
  return rc;
}

Registrar reg({"settings", kUsage,
               "export: writes the document settings of a fresh driver context of the printer into\n"
               "FILE as a settings file (the section named after the driver, the version header,\n"
               "then one NAME=VALUE line per option item); other sections of FILE are kept.\n"
               "import: reads FILE into a driver context of the printer, checking its header\n"
               "against the printer, and says how many settings it took; a number outside its\n"
               "item's range is corrected (clamped or reset) and listed as \"corrected ID NAME\".\n"
               "A file cut short (its last line without line end) is taken up to the line before,\n"
               "with a warning naming that line. --to OUT writes the imported settings out again.\n"
               "Exit status 1, naming the file and the reason, when the file cannot be read or\n"
               "written or its header belongs to another printer.\n"
               "get: opens a driver context of the printer, which loads what the settings store\n"
               "keeps, and prints ID, field name, value and where the item is kept (printer data\n"
               "\"KEY\" or the settings INI's file, [section] and key).\n"
               "set: writes VALUE (a number in the item's range, one of its value names, or text\n"
               "for a text item) into such a context and saves the item there, so every later\n"
               "context of the printer reads it. ITEM is an ID, a field name (kdmTray1Paper), a\n"
               "description name or the stored key (Duplex). Exit status 1 for an item the store\n"
               "does not keep, a value out of range, or a save the spooler or the file refuses.\n",
               RunSettings});

}  // namespace
}  // namespace host
