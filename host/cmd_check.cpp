// kvmlhost check PRINTER [--from FILE] [--reset]: runs the item check table on the
// printer's current settings (a fresh driver context, with FILE's settings read into it
// first when given) and lists every item the check changed:
//   ID <tab> NAME <tab> OLD -> NEW
// followed by a count. The check keeps legal values and repairs illegal ones; --reset runs
// it in its reset mode, which also resets every item of the table that has a handler.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "host.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "store/settings_files.h"
#include "tables/template_tables.h"

namespace host {
namespace {

const char kUsage[] = "check PRINTER [--from FILE] [--reset]";

bool IsTextOrBlock(const OPTION_ITEM *item)
{
  DWORD vt = KvItemValueType(item);
  return vt == KV_VT_ANSI || vt == KV_VT_ANSI2 || vt == KV_VT_WTEXT || vt == KV_VT_WTEXT2 || vt == KV_VT_BLOCK ||
         vt == KV_VT_BLOCK2 || (vt >= 13 && vt <= 15);
}

// "R" of a stored value, with " (value V NAME)" when it has a value ID of another number
// or a value name.
std::string Shown(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG raw)
{
  std::string out = std::to_string(raw);
  LONG valueId = ItemStoredToValueId(ctx, item, raw);
  const VALUE_SYMBOL *sym =
      valueId > 0 && valueId <= 0xFFFF ? ItemFindValueSymbol(item->id, static_cast<WORD>(valueId)) : nullptr;
  if (valueId != raw || sym != nullptr) {
    out += " (value " + std::to_string(valueId);
    if (sym != nullptr && sym->name != nullptr) out += std::string(" ") + sym->name;
    out += ")";
  }
  return out;
}

struct Before {
  OPTION_ITEM *item;
  LONG raw;
  std::vector<BYTE> bytes;  // text and block items: the field's bytes
};

int RunCheck(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--from", true}, {"--reset", false}}, kUsage, parsed)) return 2;
  const Args &args = parsed.rest;
  if (args.size() != 1) return UsageError(kUsage, args.empty() ? "name a printer" : "name one printer");
  if (int rc = RequireMachineRoot()) return rc;
  std::u16string from;
  std::string err;
  if (parsed.Has("--from") && !FileArgument(parsed.options["--from"], from, err))
    return Fail(parsed.options["--from"] + ": " + err);

  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  if (int rc = OpenPrinterContext(args[0], CTX_CREATE_DOCPROPS, &printer, &ctx)) return rc;
  int rc = 0;
  // The file's values are read as they stand: a plain settings read would end in the merge,
  // whose item check repairs them before this command could show what the check changes.
  // The numbers the read itself corrected into their items' ranges count as changed.
  SettingsRead read;
  if (!from.empty()) read = ReadSettingsFile(printer, ctx, from, KST_DRIVER_SECTION, parsed.options["--from"]);
  if (!from.empty() && (read.answer != 1 || CtxGetSettingsFileStatus(ctx) != KST_STATUS_OK)) {
    DWORD status = CtxGetSettingsFileStatus(ctx);
    std::string why = status == KST_STATUS_REJECTED ? "its header does not match this printer"
                      : status == KST_STATUS_UNREADABLE || status == KST_STATUS_OK ? "the file cannot be read"
                                                                                   : ErrorText(status);
    rc = Fail("cannot read the settings of " + parsed.options["--from"] + ": " + why);
  }
  if (rc == 0) {
    std::vector<Before> before;
    OPTION_ITEM *rows = static_cast<OPTION_ITEM *>(ctx->items->rows);
    for (int r = 0; r < ctx->items->count; ++r) {
      OPTION_ITEM *item = &rows[r];
      BYTE *field = ItemGetAddress(ctx, item);
      if (field == nullptr) continue;
      Before b{item, 0, {}};
      if (IsTextOrBlock(item))
        b.bytes.assign(field, field + KvItemSize(item));
      else
        b.raw = ItemReadRaw(ctx, item);
      before.push_back(std::move(b));
    }
    ItemRunCheckTable(ctx, parsed.Has("--reset") ? KV_CHECK_MODE_RESET : KV_CHECK_MODE_KEEP_LEGAL);
    int changed = 0;
    for (const Before &b : before) {
      const BYTE *field = ItemGetAddress(ctx, b.item);
      std::string line;
      auto corrected = read.corrections.find(b.item->id);
      if (corrected != read.corrections.end()) {
        line = corrected->second + " -> " + Shown(ctx, b.item, ItemReadRaw(ctx, b.item));
      } else if (!b.bytes.empty()) {
        if (memcmp(field, b.bytes.data(), b.bytes.size()) == 0) continue;
        line = "text or block changed";
      } else {
        LONG now = ItemReadRaw(ctx, b.item);
        if (now == b.raw) continue;
        line = Shown(ctx, b.item, b.raw) + " -> " + Shown(ctx, b.item, now);
      }
      printf("%u\t%s\t%s\n", static_cast<unsigned>(b.item->id), ItemDisplayName(b.item).c_str(), line.c_str());
      ++changed;
    }
    printf("%d item%s changed\n", changed, changed == 1 ? "" : "s");
  }
  ClosePrinterContext(printer, ctx);
  return rc;
}

Registrar reg({"check", kUsage,
               "Runs the item check on the printer's current settings, those of a fresh driver context\n"
               "(with --from FILE, a settings file read into it first, whose numbers outside their\n"
               "items' ranges the read corrects and lists as changed; a file cut short is taken up\n"
               "to the line before the cut, with a warning): every item the description\n"
               "addresses is checked against it, the others by the driver's own per-item rules. Prints\n"
               "one line per item the check changed, ID, name and old -> new stored value (with its\n"
               "value ID and name where it has one), then the number of items changed. --reset runs\n"
               "the reset mode, in which every item with a per-item rule takes its reset value.\n"
               "Exit status 1 when FILE cannot be read or belongs to another printer.\n",
               RunCheck});

}  // namespace
}  // namespace host
