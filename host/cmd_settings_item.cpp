// kvmlhost settings get|set PRINTER ITEM [VALUE]: one option item of the printer as the
// settings store keeps it. get opens a driver context of the printer (which loads what is
// stored) and prints the item's value and where it is kept; set writes the value into such
// a context and saves the item where the store keeps it (printer data or the settings INI),
// so that the next context of the printer, in any process, reads it back.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "host.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "store/settings_files.h"
#include "store/settings_store.h"
#include "tables/item_ids.h"

namespace host {

namespace {

bool IsText(DWORD vt) { return vt == KV_VT_ANSI || vt == KV_VT_ANSI2 || vt == KV_VT_WTEXT || vt == KV_VT_WTEXT2; }

// Where the store keeps the item, in words; "" when it keeps it nowhere.
std::string Where(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  if (item->key == nullptr || (item->id >= ITEM_kdmActionSecurity && item->id <= ITEM_kdmAction15)) return "";
  DWORD block = KvItemBlock(item);
  if (item->storageClass == 1 && (block == KV_BLOCK_CONFIG || block == KV_BLOCK_NONE))
    return "printer data \"" + Narrow(item->key) + "\"";
  if (item->storageClass == 2) {
    const WCHAR *section = item->section != nullptr ? item->section : CtxGetPrinterName(ctx);
    return "settings INI " + ShowPath(CtxGetSettingsIniPath(ctx)) + " [" + Narrow(section ? section : u"") + "] " +
           Narrow(item->key);
  }
  return "";
}

std::string ValueText(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  DWORD vt = KvItemValueType(item);
  if (IsText(vt)) {
    std::vector<WCHAR> text(KvItemSize(item) + 8, 0);
    if (ItemReadText(ctx, item, text.data()) == nullptr) return "(no field)";
    return "\"" + Narrow(std::u16string(text.data())) + "\"";
  }
  LONG raw = ItemReadRaw(ctx, item);
  if (vt == KV_VT_U8 || vt == KV_VT_U16 || vt == KV_VT_U32) return std::to_string(static_cast<DWORD>(raw));
  return std::to_string(raw);
}

// The stored value VALUE stands for: a number in the type's range, or a value name of the
// item. false with the reason in why.
bool ParseValue(const OPTION_ITEM *item, const std::string &text, LONG &out, std::string &why)
{
  DWORD vt = KvItemValueType(item);
  long long lo = 0, hi = 0;
  switch (vt) {
    case KV_VT_S8: lo = -128, hi = 127; break;
    case KV_VT_U8: lo = 0, hi = 255; break;
    case KV_VT_S16: lo = -32768, hi = 32767; break;
    case KV_VT_U16: lo = 0, hi = 65535; break;
    case KV_VT_S32: lo = -2147483648LL, hi = 2147483647LL; break;
    case KV_VT_U32: lo = 0, hi = 4294967295LL; break;
    default:
      if (!KvItemIsBit(item)) {
        why = "items of this type cannot be set from text";
        return false;
      }
      lo = 0, hi = 1;
  }
  const VALUE_SYMBOL *sym = ItemFindValueSymbolByName(text.c_str());
  if (sym != nullptr && sym->itemId == item->id) {
    out = static_cast<LONG>(sym->valueId);
    return true;
  }
  char *end = nullptr;
  errno = 0;
  long long v = strtoll(text.c_str(), &end, 10);
  if (text.empty() || end == nullptr || *end != 0 || errno != 0 || v < lo || v > hi) {
    why = "\"" + text + "\" is not a value of this item (a number from " + std::to_string(lo) + " to " +
          std::to_string(hi) + ", or one of its value names)";
    return false;
  }
  out = static_cast<LONG>(static_cast<DWORD>(v));
  return true;
}

// The settings folder is made when a printer is set up; the host makes it as that setup
// would, so that a machine made by "machine init" can keep INI items.
void MakeIniFolder(const WCHAR *iniPath)
{
  if (iniPath == nullptr) return;
  std::u16string folder(iniPath);
  size_t slash = folder.rfind(u'\\');
  if (slash == std::u16string::npos || slash < 3) return;
  folder.resize(slash);
  CreateDirectoryW(folder.c_str(), nullptr);
}

int Get(DRIVER_CONTEXT *ctx, OPTION_ITEM *item)
{
  std::string where = Where(ctx, item);
  printf("%u\t%s\t%s\t%s\n", static_cast<unsigned>(item->id), Narrow(item->name ? item->name : u"-").c_str(),
         ValueText(ctx, item).c_str(), where.empty() ? "not kept by the settings store" : where.c_str());
  return 0;
}

// Why the store keeps an item nowhere, and where the user changes it instead.
std::string NotStoredReason(const OPTION_ITEM *item, const std::string &name, const std::string &printerName,
                            const std::string &value)
{
  if (KvItemBlock(item) == KV_BLOCK_DEVMODE)
    return name + " is not kept by the settings store: it travels in the DEVMODE. Make it the printer's default " +
           "with: kvmlhost defaults \"" + printerName + "\" --set " + name + "=" + value +
           " (add --user for your own default only)";
  return name + " is not kept by the settings store (it travels in settings files)";
}

int Set(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item, const std::string &value,
        const std::string &printerName)
{
  std::string where = Where(ctx, item);
  std::string name = ItemDisplayName(item);
  if (where.empty()) return Fail(NotStoredReason(item, name, printerName, value));
  if (item->storageClass == 2 && StoreSharedWritesBarred(ctx))
    return Fail("cannot save " + name + ": this user may not change the shared settings");
  if (IsText(KvItemValueType(item))) {
    std::u16string text = Widen(value);
    if (ItemWriteText(ctx, item, text.c_str()) == nullptr) return Fail("cannot set " + name + ": it has no field");
  } else {
    std::string why;
    if (!WriteItemNumber(ctx, item, value, why)) return Fail("cannot set " + name + ": " + why);
  }
  if (item->storageClass == 2) MakeIniFolder(CtxGetSettingsIniPath(ctx));
  SetLastError(ERROR_SUCCESS);
  if (!StoreSaveItem(printer, ctx, item, nullptr))
    return Fail("cannot save " + name + " to " + where + ": " + ErrorText(GetLastError()));
  printf("%s = %s, saved to %s\n", name.c_str(), ValueText(ctx, item).c_str(), where.c_str());
  return 0;
}

// The item an argument names, also by the key it is stored under ("Duplex").
OPTION_ITEM *FindStoredItem(DRIVER_CONTEXT *ctx, const std::string &arg, std::string &why)
{
  std::string first;
  if (OPTION_ITEM *item = FindItem(ctx, arg, first)) return item;
  std::u16string wide = Widen(arg);
  OPTION_ITEM *rows = static_cast<OPTION_ITEM *>(ctx->items->rows);
  for (int r = 0; r < ctx->items->count; ++r) {
    if (rows[r].key != nullptr && rows[r].storageClass != 0 && lstrcmpiW(rows[r].key, wide.c_str()) == 0)
      return &rows[r];
  }
  why = first + ", nor the key of a stored item";
  return nullptr;
}

}  // namespace

bool WriteItemNumber(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, const std::string &text, std::string &why)
{
  LONG raw = 0;
  if (!ParseValue(item, text, raw, why)) return false;
  const VALUE_SYMBOL *sym = ItemFindValueSymbolByName(text.c_str());
  if (sym != nullptr && sym->itemId == item->id)
    ItemWriteValue(ctx, item, raw);
  else
    ItemWriteRaw(ctx, item, raw);
  return true;
}

int RunSettingsItem(const Args &args, const char *usage)
{
  bool setting = args[0] == "set";
  if (args.size() != (setting ? 4u : 3u))
    return UsageError(usage, setting ? "set takes a printer, an item and a value" : "get takes a printer and an item");
  if (int rc = RequireMachineRoot()) return rc;
  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  // A user without administrative rights still opens the printer to use it; saving printer
  // data then fails with the spooler's answer.
  if (int rc = OpenPrinterContext(args[1], CTX_CREATE_SHEETS, &printer, &ctx, setting)) return rc;
  std::string why;
  OPTION_ITEM *item = FindStoredItem(ctx, args[2], why);
  int rc = item == nullptr ? Fail(why) : setting ? Set(printer, ctx, item, args[3], args[1]) : Get(ctx, item);
  ClosePrinterContext(printer, ctx);
  return rc;
}

}  // namespace host
