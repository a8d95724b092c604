// kvmlhost commit PRINTER [--printer] [--update] [--mode N] [--set ITEM=VALUE] [--out FILE]: what happens
// when a property sheet's settings are accepted. The document commit delivers the driver's
// DEVMODE to the caller (as an application's DocumentProperties call with DM_COPY and
// DM_UPDATE, or DM_UPDATE alone) and saves the document's stored items; the printer commit
// saves the printer's configuration. The command shows the DEVMODE the caller received and
// every stored value (printer data or settings INI) that the commit changed. --out keeps the
// delivered DEVMODE in a file, as an application keeps it (merge reads it back).
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "devmode/devmode_layout.h"
#include "devmode/dm_deliver.h"
#include "files/ini.h"
#include "host.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "store/settings_store.h"
#include "tables/item_ids.h"

namespace host {
namespace {

const char kUsage[] = "commit PRINTER [--printer] [--update] [--mode N] [--set ITEM=VALUE] [--out FILE]";

// Where the store keeps an item, and how its stored value reads now ("(none)" when absent).
struct StoredValue {
  std::string where;
  std::string value;
};

std::string HexBytes(const std::vector<BYTE> &bytes)
{
  std::string out;
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    snprintf(buf, sizeof(buf), i ? " %02X" : "%02X", bytes[i]);
    out += buf;
  }
  return out;
}

std::string PrinterDataValue(HANDLE printer, const WCHAR *name)
{
  DWORD type = 0, needed = 0;
  BYTE probe[1];
  DWORD rc = GetPrinterDataW(printer, const_cast<LPWSTR>(name), &type, probe, 0, &needed);
  if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return "(none)";
  std::vector<BYTE> bytes(needed);
  if (needed > 0 &&
      GetPrinterDataW(printer, const_cast<LPWSTR>(name), &type, bytes.data(), needed, &needed) != ERROR_SUCCESS)
    return "(none)";
  bytes.resize(needed);
  return HexBytes(bytes);
}

std::string IniValue(const WCHAR *section, const WCHAR *key, const WCHAR *ini)
{
  std::vector<WCHAR> buf(1100, 0);
  IniGetString(section, key, u"\x01", buf.data(), (DWORD)buf.size(), ini);
  if (buf[0] == 1 && buf[1] == 0) return "(none)";
  return "\"" + Narrow(buf.data()) + "\"";
}

// Every value the settings store keeps for the printer, by item ID.
std::map<WORD, StoredValue> Snapshot(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  std::map<WORD, StoredValue> out;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  OPTION_ITEM *rows = static_cast<OPTION_ITEM *>(ctx->items->rows);
  for (int r = 0; r < ctx->items->count; ++r) {
    const OPTION_ITEM *item = &rows[r];
    if (item->key == nullptr || (item->id >= ITEM_kdmActionSecurity && item->id <= ITEM_kdmAction15)) continue;
    DWORD block = KvItemBlock(item);
    if (item->storageClass == 1 && (block == KV_BLOCK_CONFIG || block == KV_BLOCK_NONE)) {
      out[item->id] = {"printer data \"" + Narrow(item->key) + "\"", PrinterDataValue(printer, item->key)};
    } else if (item->storageClass == 2 && ini != nullptr) {
      const WCHAR *section = item->section != nullptr ? item->section : CtxGetPrinterName(ctx);
      if (section == nullptr) continue;
      out[item->id] = {"settings INI [" + Narrow(section) + "] " + Narrow(item->key),
                       IniValue(section, item->key, ini)};
    }
  }
  return out;
}

// ITEM=VALUE into the context: text for a text item, else a number or a value name.
int ApplySet(DRIVER_CONTEXT *ctx, const std::string &arg)
{
  size_t eq = arg.find('=');
  if (eq == std::string::npos || eq == 0) return UsageError(kUsage, "--set takes ITEM=VALUE");
  std::string why;
  OPTION_ITEM *item = FindItem(ctx, arg.substr(0, eq), why);
  if (item == nullptr) return Fail(why);
  std::string value = arg.substr(eq + 1);
  std::string name = Narrow(item->name ? item->name : u"-");
  if (KvValueTypeIsText(KvItemValueType(item))) {
    std::u16string text = Widen(value);
    if (ItemWriteText(ctx, item, text.c_str()) == nullptr) return Fail("cannot set " + name + ": it has no field");
    return 0;
  }
  if (!WriteItemNumber(ctx, item, value, why)) return Fail("cannot set " + name + ": " + why);
  return 0;
}

void PrintDelivered(const BYTE *dm)
{
  DWORD fields = DmReadLe32(dm + offsetof(DEVMODEW, dmFields));
  printf("delivered  DEVMODE of %u bytes (dmSize %u, dmDriverExtra %u)\n", (unsigned)DmClaimedExtent(dm),
         (unsigned)DmReadSize(dm), (unsigned)DmReadDriverExtra(dm));
  printf("dmFields   0x%08X\n", (unsigned)fields);
  printf("collate    %s, dmCollate %d\n", (fields & DM_COLLATE) ? "DM_COLLATE set" : "DM_COLLATE clear",
         (int)(SHORT)DmReadLe16(dm + offsetof(DEVMODEW, dmCollate)));
  printf("paper      dmPaperSize %d, dmOrientation %d, dmCopies %d\n",
         (int)(SHORT)DmReadLe16(dm + offsetof(DEVMODEW, dmPaperSize)),
         (int)(SHORT)DmReadLe16(dm + offsetof(DEVMODEW, dmOrientation)),
         (int)(SHORT)DmReadLe16(dm + offsetof(DEVMODEW, dmCopies)));
}

int Commit(HANDLE printer, DRIVER_CONTEXT *ctx, const ParsedArgs &parsed, const std::string &printerName)
{
  bool printerSettings = parsed.Has("--printer");
  LONG mode = 3;
  if (parsed.Has("--mode")) {
    const std::string &text = parsed.options.at("--mode");
    char *end = nullptr;
    long v = strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || v < 0 || v > 4) return UsageError(kUsage, "--mode takes a number from 0 to 4");
    mode = v;
  }
  if (parsed.Has("--set"))
    if (int rc = ApplySet(ctx, parsed.options.at("--set"))) return rc;
  // The settings folder is made when a printer is set up; make it as that setup would.
  if (const WCHAR *ini = CtxGetSettingsIniPath(ctx)) {
    std::u16string folder(ini);
    size_t slash = folder.rfind(u'\\');
    if (slash != std::u16string::npos && slash >= 3) CreateDirectoryW(folder.substr(0, slash).c_str(), nullptr);
  }

  std::map<WORD, StoredValue> before = Snapshot(printer, ctx);
  std::vector<BYTE> input(KV_DM_TOTAL_SIZE, 0), output(KV_DM_TOTAL_SIZE, 0);
  if (printerSettings) {
    if (StoreCommitPrinterSettingsMode(ctx, mode) != 1) return Fail("the printer settings could not be committed");
    printf("committed the printer settings of \"%s\" (mode %ld)\n", printerName.c_str(), (long)mode);
  } else {
    // The caller passes the printer's current DEVMODE in and an output buffer of its size.
    memcpy(input.data(), CtxGetDevmode(ctx), KV_DM_TOTAL_SIZE);
    DWORD sheetMode = parsed.Has("--update") ? DM_UPDATE : DM_COPY | DM_UPDATE;
    ctx->state->sheetMode = sheetMode;
    ctx->state->sheetDevmodeIn = reinterpret_cast<DEVMODEW *>(input.data());
    ctx->state->sheetDevmodeOut = reinterpret_cast<DEVMODEW *>(output.data());
    int rc = StoreCommitDocumentSettingsMode(ctx, mode);
    ctx->state->sheetDevmodeIn = nullptr;
    ctx->state->sheetDevmodeOut = nullptr;
    if (rc != 1) return Fail("the document settings could not be committed");
    printf("committed the document settings of \"%s\" (mode %ld, %s)\n", printerName.c_str(), (long)mode,
           sheetMode == DM_UPDATE ? "DM_UPDATE" : "DM_COPY|DM_UPDATE");
    PrintDelivered(output.data());
    if (parsed.Has("--out")) {
      // The caller keeps what the driver delivered: the bytes its header claims.
      DWORD size = DmClaimedExtent(output.data());
      if (size > KV_DM_TOTAL_SIZE) size = KV_DM_TOTAL_SIZE;
      std::string err;
      if (!WriteWholeFile(parsed.options.at("--out"), output.data(), size, err)) return Fail(err);
      printf("written    %u bytes to %s\n", (unsigned)size, parsed.options.at("--out").c_str());
    }
  }
  std::map<WORD, StoredValue> after = Snapshot(printer, ctx);
  int changed = 0;
  for (const auto &[id, now] : after) {
    auto was = before.find(id);
    if (was != before.end() && was->second.value == now.value) continue;
    const OPTION_ITEM *item = ItemFindById(ctx, id);
    std::string name = item != nullptr && item->name != nullptr ? Narrow(item->name) : std::to_string(id);
    printf("saved      %s (%s): %s -> %s\n", name.c_str(), now.where.c_str(),
           was != before.end() ? was->second.value.c_str() : "(none)", now.value.c_str());
    ++changed;
  }
  if (changed == 0) printf("saved      no stored value changed\n");
  return 0;
}

int RunCommit(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--printer", false}, {"--update", false}, {"--mode", true}, {"--set", true}, {"--out", true}},
                 kUsage, parsed))
    return 2;
  if (parsed.rest.size() != 1) return UsageError(kUsage, "name one printer");
  if (parsed.Has("--printer") && parsed.Has("--update")) return UsageError(kUsage, "--update goes with the document");
  if (parsed.Has("--printer") && parsed.Has("--out"))
    return UsageError(kUsage, "--out keeps a delivered DEVMODE: it goes with the document");
  if (int rc = RequireMachineRoot()) return rc;
  const std::string &printerName = parsed.rest[0];
  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  // A user who may not administer the printer still opens it to use it; its printer data
  // then stays as it was, which the list of saved values shows.
  if (int rc = OpenPrinterContext(printerName, CTX_CREATE_SHEETS, &printer, &ctx, true)) return rc;
  int rc = Commit(printer, ctx, parsed, printerName);
  ClosePrinterContext(printer, ctx);
  return rc;
}

Registrar reg({"commit", kUsage,
               "Accepts a property sheet's settings on a driver context of the printer, as the\n"
               "sheets do when the user presses OK, and shows the result.\n"
               "Without --printer: the document settings. The public DEVMODE fields follow the\n"
               "items, the DEVMODE is delivered to the caller's output buffer (DM_COPY and\n"
               "DM_UPDATE; --update: DM_UPDATE alone, which keeps the collation fix in the\n"
               "driver's own DEVMODE) with the job fields emptied and the collation following\n"
               "the sort setting, and the document's stored items are saved.\n"
               "--printer: the printer settings: the printer's configuration items and font\n"
               "lists are saved (only what differs from what the context opened with).\n"
               "--mode N (0-4, default 3) is how the DEVMODE fields are refreshed first (1, 3\n"
               "and 4 also rebuild the device-information text). --set ITEM=VALUE changes one\n"
               "item first (an ID, field name or description name; a number, value name or\n"
               "text). Prints the delivered DEVMODE's size, dmFields, collation and paper, then\n"
               "one line per stored value (printer data or settings INI) the commit changed.\n"
               "--out FILE writes the delivered DEVMODE (dmSize + dmDriverExtra bytes) to FILE, as\n"
               "an application keeps it; \"kvmlhost merge PRINTER FILE\" reads it back.\n",
               RunCommit});

}  // namespace
}  // namespace host
