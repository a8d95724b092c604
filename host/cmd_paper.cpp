// kvmlhost paper PRINTER [--paper CODE] [--output CODE] [--dpi N] [--landscape]: opens a
// driver context for the printer, applies the given document paper, output paper, device
// resolution and orientation to its settings, recomputes the items derived from them as the
// driver does after a merge, and prints the page geometry the device is driven with:
//   resolution <tab> X x Y dpi
//   document <tab> CODE NAME <tab> length L x width W dots <tab> printable PL x PW at LEFT,TOP
//   output <tab> the same for the output paper (code as item 46 holds it)
//   devmode <tab> dmPaperSize, dmPaperLength x dmPaperWidth (0.1 mm) and the paper fields set
//   large size <tab> yes when the custom size is too large for the DEVMODE's paper fields
//   resolution check <tab> fits, or too large above 600 dpi
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "context.h"
#include "context/context_create.h"
#include "devmode/dm_paper_items.h"
#include "host.h"
#include "items/item_store.h"
#include "rules/rule_cond.h"
#include "tables/item_ids.h"

namespace host {
namespace {

const char kUsage[] = "paper PRINTER [--paper CODE] [--output CODE] [--dpi N] [--landscape]";

// A decimal number in [lo, hi].
bool ParseNumber(const std::string &text, long lo, long hi, long &out)
{
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  out = strtol(text.c_str(), nullptr, 10);
  return out >= lo && out <= hi;
}

// "CODE NAME" of a paper code of the item, the name as the option tables give it.
std::string PaperName(DRIVER_CONTEXT *ctx, WORD itemId, LONG code)
{
  std::string text = std::to_string(code);
  const OPTION_ITEM *row = ItemFindById(ctx, itemId);
  LONG valueId = row != nullptr ? ItemStoredToValueId(ctx, row, code) : 0;
  const VALUE_SYMBOL *sym = valueId > 0 && valueId <= 0xFFFF ? ItemFindValueSymbol(itemId, (WORD)valueId) : nullptr;
  if (sym != nullptr && sym->name != nullptr) text += std::string(" ") + sym->name;
  return text;
}

void PrintPaper(DRIVER_CONTEXT *ctx, const char *label, WORD itemId, WORD first)
{
  LONG v[6];
  for (WORD i = 0; i < 6; ++i) v[i] = ItemGetRaw(ctx, (WORD)(first + i), nullptr);
  printf("%s\t%s\tlength %ld x width %ld dots\tprintable %ld x %ld at %ld,%ld\n", label,
         PaperName(ctx, itemId, ItemGetRaw(ctx, itemId, nullptr)).c_str(), (long)v[0], (long)v[1], (long)v[2],
         (long)v[3], (long)v[4], (long)v[5]);
}

int RunPaper(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--paper", true}, {"--output", true}, {"--dpi", true}, {"--landscape", false}}, kUsage, parsed))
    return 2;
  if (parsed.rest.size() != 1) return UsageError(kUsage, parsed.rest.empty() ? "name a printer" : "too many arguments");
  long paper = 0, output = 0, dpi = 0;
  if (parsed.Has("--paper") && !ParseNumber(parsed.options["--paper"], 1, 32767, paper))
    return UsageError(kUsage, "--paper takes a paper code 1-32767");
  if (parsed.Has("--output") && !ParseNumber(parsed.options["--output"], 1, 32767, output))
    return UsageError(kUsage, "--output takes a paper code 1-32767");
  if (parsed.Has("--dpi") && !ParseNumber(parsed.options["--dpi"], 1, 9600, dpi))
    return UsageError(kUsage, "--dpi takes a resolution 1-9600");
  if (int rc = RequireMachineRoot()) return rc;
  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  if (int rc = OpenPrinterContext(parsed.rest[0], CTX_CREATE_DOCPROPS, &printer, &ctx)) return rc;

  DEVMODEW *dm = (DEVMODEW *)ctx->work;
  if (paper != 0) ItemSetRaw(ctx, ITEM_dmPaperSize, paper);
  if (output != 0) ItemSetRaw(ctx, ITEM_kdmOutPaperSize, output);
  if (dpi != 0) ItemSetRaw(ctx, ITEM_kdmDstResolutionW, dpi);
  if (parsed.Has("--landscape")) ItemSetRaw(ctx, ITEM_dmOrientation, DMORIENT_LANDSCAPE);
  DmRefreshDerivedItems(dm, ctx, 2);

  printf("resolution\t%ld x %ld dpi\n", (long)ItemGetRaw(ctx, ITEM_kdmDstResolutionW, nullptr),
         (long)ItemGetRaw(ctx, ITEM_kdmDstResolutionH, nullptr));
  PrintPaper(ctx, "document", ITEM_dmPaperSize, ITEM_kdmSrcPaperLengthDot);
  PrintPaper(ctx, "output", ITEM_kdmOutPaperSize, ITEM_kdmDstPaperLengthDot);
  std::string fields;
  if (dm->dmFields & DM_PAPERSIZE) fields += " DM_PAPERSIZE";
  if (dm->dmFields & DM_PAPERLENGTH) fields += " DM_PAPERLENGTH";
  if (dm->dmFields & DM_PAPERWIDTH) fields += " DM_PAPERWIDTH";
  printf("devmode\tdmPaperSize %d\t%d x %d (0.1 mm)\tfields%s\n", dm->dmPaperSize, dm->dmPaperLength, dm->dmPaperWidth,
         fields.empty() ? " none" : fields.c_str());
  printf("large size\t%s\n", ItemGetRaw(ctx, ITEM_kdmFuncSelectFreeShortOver, nullptr) != 0 ? "yes" : "no");
  LONG fits = RuleGetComputedCondition(ctx, ITEM_KPD_ResolutionOverCheck);
  printf("resolution check\t%s\n", fits ? "fits" : "too large above 600 dpi");

  ClosePrinterContext(printer, ctx);
  return 0;
}

Registrar reg({"paper", kUsage,
               "Opens a driver context for the printer, sets the document paper (--paper, a dmPaperSize\n"
               "code), the output paper (--output, a code of the output size: 1024 the document's own,\n"
               "1025/1026 fit to A4/Letter, 384-393 the stored custom sizes, 448 the custom output\n"
               "size), the device resolution (--dpi) and landscape (--landscape) when given, recomputes\n"
               "the paper items as the driver does after a merge and prints the sizes and printable\n"
               "areas in dots, the DEVMODE's paper fields, whether a custom size is too large for them\n"
               "and whether the page fits the resolution. Exit status 2 for a bad option value.\n",
               RunPaper});

}  // namespace
}  // namespace host
