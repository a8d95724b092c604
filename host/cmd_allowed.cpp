// kvmlhost allowed PRINTER [VARIABLE]: opens a driver context for the printer, as the driver
// does for a document-properties call, and prints for each PJL variable of the driver's
// table (or only the one named) the values available under the printer's current settings:
//   NAME <tab> item ID FIELD <tab> allowed TEXT=VALUE... <tab> refused TEXT=VALUE...
// ("-" for an empty list). A variable that the lookup does not offer (its usage or printer
// condition) reads "not offered"; one without a value table reads "no value table".
#include <stdio.h>

#include <string>

#include "context.h"
#include "context/context_create.h"
#include "host.h"
#include "items/item_store.h"
#include "rules/pjl_values.h"

namespace host {
namespace {

const char kUsage[] = "allowed PRINTER [VARIABLE]";

std::string Join(const std::string &list) { return list.empty() ? std::string("-") : list; }

std::string ValueLabel(const PJL_VALUE_ROW &value)
{
  std::string text = value.valueText != nullptr ? value.valueText : "(no text)";
  return text + "=" + std::to_string(value.itemValue);
}

// The line of one variable.
void PrintVariable(DRIVER_CONTEXT *ctx, const PJL_VARIABLE_ROW *row)
{
  std::string field = "-";
  if (row->itemId != 0 && row->itemId <= 0xFFFF) {
    const WCHAR *name = ItemGetName(ctx, static_cast<WORD>(row->itemId));
    if (name != nullptr) field = Narrow(std::u16string(name));
  }
  printf("%s\titem %u %s\t", row->name, static_cast<unsigned>(row->itemId), field.c_str());
  if (row->itemId == 0 || row->itemId > 0xFFFF ||
      PjlFindVariable(ctx, static_cast<WORD>(row->itemId), KV_PJL_USE_BASE) != row) {
    printf("not offered\n");
    return;
  }
  if (row->values == nullptr || row->valueCount == 0) {
    printf("no value table\n");
    return;
  }
  std::string allowed, refused;
  for (DWORD i = 0; i < row->valueCount; ++i) {
    std::string &list = PjlIsValueAllowed(ctx, row, &row->values[i]) ? allowed : refused;
    if (!list.empty()) list += " ";
    list += ValueLabel(row->values[i]);
  }
  printf("allowed %s\trefused %s\n", Join(allowed).c_str(), Join(refused).c_str());
}

int RunAllowed(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {}, kUsage, parsed)) return 2;
  const Args &args = parsed.rest;
  if (args.empty() || args.size() > 2)
    return UsageError(kUsage, args.empty() ? "name a printer" : "too many arguments");
  if (int rc = RequireMachineRoot()) return rc;
  const PJL_VARIABLE_TABLE *table = PjlGetVariableTable();
  std::string names;
  const PJL_VARIABLE_ROW *only = nullptr;
  for (DWORD i = 0; table != nullptr && i < table->count; ++i) {
    const PJL_VARIABLE_ROW &row = table->rows[i];
    if (row.name == nullptr) continue;
    names += (names.empty() ? "" : ", ") + std::string(row.name);
    if (args.size() == 2 && only == nullptr && args[1] == row.name) only = &row;
  }
  if (args.size() == 2 && only == nullptr)
    return Fail("no PJL variable \"" + args[1] + "\" (names are case-sensitive; the table has: " + Join(names) + ")");
  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  if (int rc = OpenPrinterContext(args[0], CTX_CREATE_DOCPROPS, &printer, &ctx)) return rc;
  for (DWORD i = 0; i < table->count; ++i) {
    const PJL_VARIABLE_ROW *row = &table->rows[i];
    if (row->name != nullptr && (only == nullptr || row == only)) PrintVariable(ctx, row);
  }
  ClosePrinterContext(printer, ctx);
  return 0;
}

Registrar reg({"allowed", kUsage,
               "Opens a driver context for the printer, as a document-properties call does, and prints\n"
               "for each PJL variable of the driver (or the one named, case-sensitive) the values\n"
               "available under the printer's current settings and installed options, and those\n"
               "refused: NAME, item, \"allowed TEXT=VALUE...\", \"refused TEXT=VALUE...\". A variable\n"
               "whose printer condition does not hold reads \"not offered\". Exit status 1 for an\n"
               "unknown variable.\n",
               RunAllowed});

}  // namespace
}  // namespace host
