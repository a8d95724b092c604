// kvmlhost bundle import|revalidate PRINTER [FILE]: a printer's default presets from a
// bundle, installed and registered as the printer setup does it, and tested again against
// the printer's current options. machine init runs the same import for the sample printer.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "files/ini.h"
#include "files/paths.h"
#include "files/settings_dirs.h"
#include "host.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "store/settings_files.h"
#include "store/setup_presets.h"
#include "store/setup_services.h"
#include "store/stored_lists.h"

namespace host {
namespace {

const char kUsage[] = "bundle import|revalidate PRINTER [FILE] [--set ITEM=VALUE]";

std::string PrinterKey(DRIVER_CONTEXT *ctx, const std::u16string &key)
{
  WCHAR buf[1100] = {};
  IniGetString(CtxGetPrinterSection(ctx), key.c_str(), u"", buf, 1100, CtxGetSettingsIniPath(ctx));
  return Narrow(std::u16string(buf));
}

struct Entry {
  std::string name, path;
};

std::vector<Entry> PresetList(DRIVER_CONTEXT *ctx)
{
  std::vector<Entry> list;
  int count = ListGetPresetCount(ctx);
  for (int n = 0; n < count && n < KV_PRESET_MAX; ++n) {
    WCHAR key[KV_PRESET_KEY_CHARS];
    list.push_back({PrinterKey(ctx, ListFormatPresetKey(key, n, LIST_KEY_NAME)),
                    PrinterKey(ctx, ListFormatPresetKey(key, n, LIST_KEY_PATH))});
  }
  return list;
}

bool Contains(const std::vector<Entry> &list, const Entry &e)
{
  for (const Entry &x : list)
    if (x.name == e.name && x.path == e.path) return true;
  return false;
}

// The bundle the model INI names for the printer's language, in the driver folder when it
// has no drive; "" when it names none.
std::u16string ModelBundle(DRIVER_CONTEXT *ctx)
{
  WCHAR value[MAX_PATH] = {};
  IniGetString(CtxGetLangSection(ctx), u"DefaultKst", u"", value, MAX_PATH, CtxGetModelIniPath(ctx));
  if (value[0] == 0) return std::u16string();
  if (value[1] == u':') return value;
  return std::u16string(CtxGetDriverDir(ctx)) + value;
}

// Installs the bundle's default files and registers them as the printer's presets, then
// records the bundle as the printer's ("DefaultKst") and the install as done. 1 when every
// file was imported. counts: the entries of the bundle and how many of them failed. The
// two passes refuse the same entries (a file that is missing, unreadable or no default
// preset file of the driver fails both), so the larger count of either is the one told.
int ImportBundle(DRIVER_CONTEXT *ctx, const std::u16string &bundle, SETUP_IMPORT_COUNTS &counts)
{
  FileCreateSettingsDirOf(ctx);
  const WCHAR *lang = CtxGetLangSection(ctx);
  SETUP_IMPORT_COUNTS install = {0, 0}, reg = {0, 0};
  int installed = SetupImportDefaultPresetsCounted(bundle.c_str(), lang, KV_IMPORT_INSTALL, ctx, 0, NULL, &install);
  int registered = SetupImportDefaultPresetsCounted(bundle.c_str(), lang, KV_IMPORT_REGISTER, ctx, 0, NULL, &reg);
  counts.entries = install.entries > reg.entries ? install.entries : reg.entries;
  counts.failed = install.failed > reg.failed ? install.failed : reg.failed;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  IniWriteString(CtxGetPrinterSection(ctx), u"DefaultKst", bundle.c_str(), ini);
  IniWriteString(CtxGetPrinterSection(ctx), u"PackInstallDone", u"1", ini);
  return installed && registered;
}

// "N of M default preset files": how many entries of the bundle failed.
std::string FailedText(const SETUP_IMPORT_COUNTS &counts)
{
  return std::to_string(counts.failed) + " of " + std::to_string(counts.entries) + " default preset files";
}

int RunImport(const std::string &printer, const Args &rest)
{
  PrinterSession s(printer, CTX_CREATE_SHEETS);
  if (s.rc() != 0) return s.rc();
  std::u16string bundle;
  if (!rest.empty()) {
    std::string err;
    if (!FileArgument(rest[0], bundle, err)) return Fail(rest[0] + ": " + err);
  } else {
    bundle = ModelBundle(s.ctx());
    if (bundle.empty()) return Fail("the model INI names no default bundle for printer \"" + printer + "\"");
  }
  if (GetFileAttributesW(bundle.c_str()) == INVALID_FILE_ATTRIBUTES)
    return Fail(ShowPath(bundle) + ": the bundle cannot be read");
  SETUP_IMPORT_COUNTS counts = {0, 0};
  int ok = ImportBundle(s.ctx(), bundle, counts);
  std::vector<Entry> list = PresetList(s.ctx());
  printf("imported %s: %zu stored presets\n", ShowPath(bundle).c_str(), list.size());
  for (size_t n = 0; n < list.size(); ++n) printf("%zu\t%s\t%s\n", n, list[n].name.c_str(), list[n].path.c_str());
  if (!ok)
    return Fail(FailedText(counts) + " of " + ShowPath(bundle) +
                " could not be imported (missing, unreadable, not a default preset file of this driver, or not "
                "installed)");
  return 0;
}

// ITEM=VALUE: the item (ID or name) takes the value in the context, as when the device
// options were changed on the property sheet before the presets are tested.
int SetItem(DRIVER_CONTEXT *ctx, const std::string &assignment)
{
  size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == assignment.size())
    return UsageError(kUsage, "--set takes ITEM=VALUE");
  std::string why;
  OPTION_ITEM *item = FindItem(ctx, assignment.substr(0, eq), why);
  if (item == nullptr) return Fail(why);
  char *end = nullptr;
  std::string text = assignment.substr(eq + 1);
  long value = strtol(text.c_str(), &end, 0);
  if (end == nullptr || *end != 0) return UsageError(kUsage, "--set takes a number: " + text);
  ItemSetValue(ctx, item->id, value);
  if (ItemGetValue(ctx, item->id, nullptr) != value) return Fail("the value " + text + " cannot be set");
  return 0;
}

int RunRevalidate(const std::string &printer, const ParsedArgs &parsed)
{
  PrinterSession s(printer, CTX_CREATE_SHEETS);
  if (s.rc() != 0) return s.rc();
  if (parsed.Has("--set"))
    if (int rc = SetItem(s.ctx(), parsed.options.at("--set"))) return rc;
  std::vector<Entry> before = PresetList(s.ctx());
  int ok = SetupRevalidatePresets(s.ctx(), 0);
  std::vector<Entry> after = PresetList(s.ctx());
  for (const Entry &e : before)
    printf("%s\t%s\t%s\n", Contains(after, e) ? "kept" : "dropped", e.name.c_str(), e.path.c_str());
  for (const Entry &e : after)
    if (!Contains(before, e)) printf("added\t%s\t%s\n", e.name.c_str(), e.path.c_str());
  if (!ok) {
    std::string bundle = PrinterKey(s.ctx(), u"DefaultKst");
    if (bundle.empty()) return Fail("printer \"" + printer + "\" has no default bundle (bundle import records one)");
    return Fail("the presets could not be re-validated against " + bundle);
  }
  printf("%zu stored presets\n", after.size());
  return 0;
}

int RunBundle(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--set", true}}, kUsage, parsed)) return 2;
  const Args &args = parsed.rest;
  if (args.empty()) return UsageError(kUsage, "name an action: import or revalidate");
  const std::string &action = args[0];
  if (action == "import" && (args.size() == 2 || args.size() == 3))
    return RunImport(args[1], Args(args.begin() + 2, args.end()));
  if (action == "revalidate" && args.size() == 2) return RunRevalidate(args[1], parsed);
  if (action != "import" && action != "revalidate") return UsageError(kUsage, "unknown action " + action);
  return UsageError(kUsage);
}

Registrar reg({"bundle", kUsage,
               "import: installs the default preset files that a bundle lists for the printer's\n"
               "language into the shared settings folder, converts each into the printer's copy\n"
               "(\".ksr\") and makes the copies the printer's preset list (a file that is off for the\n"
               "driver is left out), as the printer setup does. FILE is the bundle; without it, the\n"
               "bundle the model INI names (\"DefaultKst\"). The bundle becomes the printer's default\n"
               "bundle. A listed file that is missing, unreadable or no default preset file of this\n"
               "driver (a text file, say) is skipped; the others are imported, and the command\n"
               "then says how many failed and exits 1.\n"
               "revalidate: tests the stored presets again against the printer's default bundle and\n"
               "its current options: copies of defaults whose conditions no longer hold are dropped,\n"
               "missing defaults whose conditions hold are added (all but the first listed), the\n"
               "user's own presets are kept. Prints each preset as kept, dropped or added. --set\n"
               "ITEM=VALUE first gives an item (an ID or a name) that value, as a change of the\n"
               "device options on the property sheet does.\n",
               RunBundle});

}  // namespace

int ImportModelDefaultBundle(const std::string &printer, std::string &message)
{
  PrinterSession s(printer, CTX_CREATE_SHEETS);
  if (s.rc() != 0) {
    message = "no driver context for printer \"" + printer + "\"";
    return 0;
  }
  std::u16string bundle = ModelBundle(s.ctx());
  if (bundle.empty()) {
    message = "the model INI names no default bundle";
    return 1;
  }
  SETUP_IMPORT_COUNTS counts = {0, 0};
  int ok = ImportBundle(s.ctx(), bundle, counts);
  message = "imported " + std::to_string(ListGetPresetCount(s.ctx())) + " default presets from " +
            Narrow(PathFindFileName(bundle.c_str()));
  if (!ok) message += " (" + FailedText(counts) + " could not be imported)";
  return ok;
}

}  // namespace host
