// kvmlhost item PRINTER ID|NAME...: opens a driver context for the printer, as the driver
// does for a document-properties call, and prints one line per option item:
//   ID <tab> NAME <tab> raw=R <tab> value=V[ VALUE_NAME] <tab> description default=D[ VALUE_NAME]
// (text items show text="..." and block items their size in place of raw and value; the
// last field reads "not in the description" for an item the description lacks). An item is
// named by its ID, its field name or its description name; one that names no option item
// is reported on standard error and makes the exit code 1.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "blob/desc_runtime.h"
#include "host.h"
#include "items/item_store.h"
#include "tables/template_tables.h"

namespace host {
namespace {

std::string S(const WCHAR *s) { return s ? Narrow(std::u16string(s)) : std::string("(none)"); }

// " NAME" of a value ID of the item, or nothing.
std::string ValueName(WORD itemId, LONG valueId)
{
  if (valueId <= 0 || valueId > 0xFFFF) return std::string();
  const VALUE_SYMBOL *sym = ItemFindValueSymbol(itemId, static_cast<WORD>(valueId));
  return sym && sym->name ? std::string(" ") + sym->name : std::string();
}

// "raw=R <tab> value=V[ NAME]" of a number or bit item; the text of a text item; the size of
// a block item.
std::string CurrentValue(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  DWORD vt = KvItemValueType(item);
  DWORD size = KvItemSize(item);
  if (vt == KV_VT_ANSI || vt == KV_VT_ANSI2 || vt == KV_VT_WTEXT || vt == KV_VT_WTEXT2) {
    std::vector<WCHAR> text(size + 8, 0);
    if (ItemReadText(ctx, item, text.data()) == nullptr) return "text=(none)\t-";
    return "text=\"" + Narrow(std::u16string(text.data())) + "\"\t-";
  }
  if (vt == KV_VT_BLOCK || vt == KV_VT_BLOCK2) return "block of " + std::to_string(size) + " bytes\t-";
  LONG raw = ItemReadRaw(ctx, item);
  LONG value = ItemReadValue(ctx, item);
  return "raw=" + std::to_string(raw) + "\tvalue=" + std::to_string(value) + ValueName(item->id, value);
}

// An item ID: decimal 1-65535.
bool ParseId(const std::string &text, WORD &id)
{
  if (text.empty() || text.size() > 5) return false;
  for (char ch : text)
    if (ch < '0' || ch > '9') return false;
  unsigned long v = strtoul(text.c_str(), nullptr, 10);
  if (v == 0 || v > 0xFFFF) return false;
  id = static_cast<WORD>(v);
  return true;
}

bool IsNumber(const std::string &text)
{
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

OPTION_ITEM *FindItem(DRIVER_CONTEXT *ctx, const std::string &arg, std::string &why)
{
  WORD id = 0;
  if (IsNumber(arg)) {
    OPTION_ITEM *item = ParseId(arg, id) ? ItemFindById(ctx, id) : nullptr;
    if (item == nullptr) why = "no item " + arg + " (item IDs are 1-1270 and 10001-10385)";
    return item;
  }
  if (const SYMBOL_ENTRY *sym = ItemFindSymbolByName(arg.c_str())) {
    OPTION_ITEM *item = sym->itemId != 0 ? ItemFindById(ctx, sym->itemId) : ItemFindByKey(ctx, sym->key);
    if (item == nullptr) why = "the description name " + arg + " names no option item";
    return item;
  }
  std::u16string wide = Widen(arg);
  for (DWORD n = 1; n <= 0xFFFF; ++n) {
    OPTION_ITEM *item = ItemFindById(ctx, static_cast<WORD>(n));
    if (item != nullptr && item->name != nullptr && lstrcmpiW(item->name, wide.c_str()) == 0) return item;
  }
  why = "not an item ID or name: " + arg +
        " (give an ID, a field name such as dmOrientation or a description name such as KPD_RADIOLIST_1)";
  return nullptr;
}

std::string ItemDisplayName(const OPTION_ITEM *item)
{
  if (item->name != nullptr) return Narrow(std::u16string(item->name));
  for (int k = 0; k < g_kvSymbolCount; ++k)
    if (g_kvSymbols[k].itemId == item->id && g_kvSymbols[k].name != nullptr) return g_kvSymbols[k].name;
  return "(unnamed)";
}

namespace {

const char kUsage[] = "item PRINTER ID|NAME...";

int RunItem(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {}, kUsage, parsed)) return 2;
  const Args &args = parsed.rest;
  if (args.size() < 2) return UsageError(kUsage, args.empty() ? "name a printer and an item" : "name an item");
  if (int rc = RequireMachineRoot()) return rc;
  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  if (int rc = OpenPrinterContext(args[0], CTX_CREATE_DOCPROPS, &printer, &ctx)) return rc;
  int rc = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    std::string why;
    OPTION_ITEM *item = FindItem(ctx, args[i], why);
    if (item == nullptr) {
      rc = Fail(why);
      continue;
    }
    WORD id = item->id;
    std::string current = CurrentValue(ctx, item);
    std::string desc = "not in the description";
    if (DescFindItemNode(id, ctx) != nullptr) {
      DWORD def = DescGetItemDefault(id, ctx);
      desc = "description default=" + std::to_string(def) + ValueName(id, static_cast<LONG>(def));
    }
    printf("%u\t%s\t%s\t%s\n", static_cast<unsigned>(id), S(item->name).c_str(), current.c_str(), desc.c_str());
  }
  ClosePrinterContext(printer, ctx);
  return rc;
}

Registrar reg({"item", kUsage,
               "Opens a driver context for the printer, as a document-properties call does, and prints\n"
               "one line per item: ID, field name, current raw value and value, and the description's\n"
               "default. An item is named by its ID (7), its field name (dmOrientation) or its\n"
               "description name (KPD_...). Exit status 1 when an item is unknown.\n",
               RunItem});

}  // namespace
}  // namespace host
