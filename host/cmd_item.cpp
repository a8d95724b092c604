// kvmlhost item PRINTER ID...: opens a driver context for the printer, as the driver does
// for a document-properties call, and prints one line per option item:
//   ID <tab> NAME <tab> raw=R <tab> value=V[ VALUE_NAME] <tab> description default=D[ VALUE_NAME]
// (text items show text="..." and block items their size in place of raw and value; the
// last field reads "not in the description" for an item the description lacks). An ID
// that names no option item is reported on standard error and makes the exit code 1.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "context.h"
#include "blob/desc_runtime.h"
#include "host.h"
#include "items/item_store.h"

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

int RunItem(const Args &in)
{
  Args args = in;
  if (!UseMachineRoot(args)) return Fail("no machine root: set KVML_ROOT or pass --root DIR");
  if (args.size() < 2) return Usage("item PRINTER ID...");
  for (size_t i = 1; i < args.size(); ++i) {
    WORD id;
    if (!ParseId(args[i], id)) return Fail("not an item ID (1-65535): " + args[i]);
  }
  std::u16string name = Widen(args[0]);
  HANDLE printer = NULL;
  PRINTER_DEFAULTSW defaults = {NULL, NULL, PRINTER_ACCESS_USE};
  if (!OpenPrinterW(name.data(), &printer, &defaults))
    return Fail("cannot open printer \"" + args[0] + "\": " + ErrorText(GetLastError()));
  DRIVER_CONTEXT *ctx = CtxCreate(printer, printer, NULL, CTX_CREATE_DOCPROPS);
  if (ctx == nullptr) {
    DWORD err = GetLastError();
    ClosePrinter(printer);
    return Fail("cannot open a driver context for \"" + args[0] +
                "\" (its description could not be loaded?): " + ErrorText(err));
  }
  int rc = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    WORD id = 0;
    ParseId(args[i], id);
    OPTION_ITEM *item = ItemFindById(ctx, id);
    if (item == nullptr) {
      rc = Fail("no item " + args[i] + " (item IDs are 1-1270 and 10001-10385)");
      continue;
    }
    std::string current = CurrentValue(ctx, item);
    std::string desc = "not in the description";
    if (DescFindItemNode(id, ctx) != nullptr) {
      DWORD def = DescGetItemDefault(id, ctx);
      desc = "description default=" + std::to_string(def) + ValueName(id, static_cast<LONG>(def));
    }
    printf("%u\t%s\t%s\t%s\n", static_cast<unsigned>(id), S(item->name).c_str(), current.c_str(), desc.c_str());
  }
  CtxRelease(ctx);
  CtxExpireCache(1);
  ClosePrinter(printer);
  return rc;
}

Registrar reg({"item", "item PRINTER ID...", RunItem});

}  // namespace
}  // namespace host
