// kvmlhost caps PRINTER [WHAT]: opens a driver context for the printer, as a device
// capabilities call does, and prints what the printer offers, as a person reads it: its
// papers with their sizes and printable areas per resolution and orientation, its trays,
// resolutions, custom-size extents, duplex unit, colour and fonts. WHAT picks one part.
#include <stdio.h>

#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "blob/desc_geometry.h"
#include "host.h"
#include "items/item_store.h"
#include "rules/rule_caps.h"
#include "tables/item_ids.h"

namespace host {
namespace {

const char kUsage[] = "caps PRINTER [papers|bins|resolutions|extents|duplex|color|fonts]";
const char *const kParts[] = {"papers", "bins", "resolutions", "extents", "duplex", "color", "fonts"};

std::string Text(const WCHAR *s) { return Narrow(std::u16string(s)); }

// A display name, or, when the language resources give none, the value's symbol name in
// parentheses.
std::string NameOr(DRIVER_CONTEXT *ctx, const WCHAR *name, WORD itemId, LONG stored)
{
  if (name[0] != 0) return Text(name);
  const OPTION_ITEM *item = ItemFindById(ctx, itemId);
  LONG valueId = item != nullptr ? ItemStoredToValueId(ctx, item, stored) : 0;
  const VALUE_SYMBOL *sym = valueId > 0 && valueId <= 0xFFFF ? ItemFindValueSymbol(itemId, (WORD)valueId) : nullptr;
  return sym != nullptr && sym->name != nullptr ? std::string("(") + sym->name + ")" : std::string("(no name)");
}

// The dpi pairs the printer offers.
std::vector<LONG> Resolutions(DRIVER_CONTEXT *ctx)
{
  LONG n = CapEnumResolutions(ctx, nullptr, 0);
  std::vector<LONG> pairs(static_cast<size_t>(n) * 2);
  n = CapEnumResolutions(ctx, pairs.data(), n);
  pairs.resize(static_cast<size_t>(n) * 2);
  return pairs;
}

// "94,99 - 4867,6917 (offsets 94,99)" for a paper at the current resolution and
// orientation, or "none".
std::string PrintableArea(DRIVER_CONTEXT *ctx, WORD paperValueId)
{
  RECT r = {};
  POINT o = {};
  if (!DescGetPrintableArea(ctx, &r, &o, paperValueId)) return "none";
  char text[128];
  snprintf(text, sizeof text, "%ld,%ld - %ld,%ld (offsets %ld,%ld)", static_cast<long>(r.left),
           static_cast<long>(r.top), static_cast<long>(r.right), static_cast<long>(r.bottom), static_cast<long>(o.x),
           static_cast<long>(o.y));
  return text;
}

int ShowPapers(DRIVER_CONTEXT *ctx)
{
  LONG n = CapEnumPapers(ctx, nullptr, 0, ITEM_dmPaperSize);
  if (n < 0) return Fail("the description offers no papers (its paper item is missing or not a PickPage item)");
  std::vector<WORD> codes(static_cast<size_t>(n));
  std::vector<POINT> sizes(static_cast<size_t>(n));
  std::vector<WCHAR> names(static_cast<size_t>(n) * 64);
  if (CapEnumPapers(ctx, codes.data(), n, ITEM_dmPaperSize) != n ||
      CapEnumPaperSizes(ctx, sizes.data(), n, ITEM_dmPaperSize) != n ||
      CapEnumPaperNames(ctx, names.data(), 64, n, ITEM_dmPaperSize) != n)
    return Fail("the paper list changed while it was read");
  std::vector<LONG> dpi = Resolutions(ctx);
  const OPTION_ITEM *paperItem = ItemFindById(ctx, ITEM_dmPaperSize);
  // The areas are shown for every resolution and both orientations; the settings the
  // context had are put back afterwards (nothing is saved either way).
  LONG savedDpi = ItemGetRaw(ctx, ITEM_kdmDstResolutionW, nullptr);
  LONG savedOrientation = ItemGetRaw(ctx, ITEM_dmOrientation, nullptr);
  printf("papers (%ld): code, name, width x length in 0.1 mm; printable area in dots per resolution\n",
         static_cast<long>(n));
  for (LONG i = 0; i < n; ++i) {
    printf("  %-5u %-32s %5ld x %ld\n", static_cast<unsigned>(codes[i]),
           NameOr(ctx, &names[i * 64], ITEM_dmPaperSize, codes[i]).c_str(), static_cast<long>(sizes[i].x),
           static_cast<long>(sizes[i].y));
    WORD valueId = static_cast<WORD>(ItemStoredToValueId(ctx, paperItem, codes[i]));
    for (size_t r = 0; r < dpi.size(); r += 2) {
      ItemSetRaw(ctx, ITEM_kdmDstResolutionW, dpi[r]);
      for (LONG orientation : {1, 2}) {
        ItemSetRaw(ctx, ITEM_dmOrientation, orientation);
        printf("        %4ld dpi %-9s %s\n", static_cast<long>(dpi[r]), orientation == 1 ? "portrait" : "landscape",
               PrintableArea(ctx, valueId).c_str());
      }
    }
  }
  ItemSetRaw(ctx, ITEM_kdmDstResolutionW, savedDpi);
  ItemSetRaw(ctx, ITEM_dmOrientation, savedOrientation);
  return 0;
}

int ShowBins(DRIVER_CONTEXT *ctx)
{
  LONG n = CapEnumBins(ctx, nullptr, 0);
  if (n < 0) return Fail("the description offers no paper sources (its tray item is missing or not a PickSlot item)");
  std::vector<WORD> bins(static_cast<size_t>(n));
  std::vector<WCHAR> names(static_cast<size_t>(n) * 24);
  if (CapEnumBins(ctx, bins.data(), n) != n || CapEnumBinNames(ctx, names.data(), 24, n) != n)
    return Fail("the tray list changed while it was read");
  printf("bins (%ld): source number, name\n", static_cast<long>(n));
  for (LONG i = 0; i < n; ++i)
    printf("  %-5u %s\n", static_cast<unsigned>(bins[i]),
           NameOr(ctx, &names[i * 24], ITEM_dmDefaultSource, bins[i]).c_str());
  return 0;
}

int ShowResolutions(DRIVER_CONTEXT *ctx)
{
  std::vector<LONG> dpi = Resolutions(ctx);
  LONG n = CapListResolutions(ctx, nullptr, 0, 1);
  std::vector<LONG> codes(static_cast<size_t>(n));
  CapListResolutions(ctx, codes.data(), n, 1);
  printf("resolutions:");
  for (size_t i = 0; i < dpi.size(); i += 2)
    printf("%s %ld x %ld", i == 0 ? "" : ",", static_cast<long>(dpi[i]), static_cast<long>(dpi[i + 1]));
  printf(" dpi (resolution codes");
  for (LONG code : codes) printf(" %ld", static_cast<long>(code));
  printf(")\n");
  return 0;
}

int ShowExtents(DRIVER_CONTEXT *ctx)
{
  POINTS lo = {}, hi = {};
  CapGetMinExtent(ctx, &lo, 4);
  CapGetMaxExtent(ctx, &hi, 5);
  printf("custom size: %d x %d to %d x %d (0.1 mm, width x length)\n", lo.x, lo.y, hi.x, hi.y);
  printf("landscape: turned %lu degrees\n", static_cast<unsigned long>(CapGetOrientationDegrees(ctx)));
  return 0;
}

int ShowDuplex(DRIVER_CONTEXT *ctx)
{
  printf("duplex unit: %s\n", CapHasDuplexUnit(ctx) ? "installed" : "not installed");
  return 0;
}

int ShowColor(DRIVER_CONTEXT *ctx)
{
  printf("colour device: %s\n", CapIsColorDevice(reinterpret_cast<const DEVMODEW *>(ctx->work)) ? "yes" : "no");
  return 0;
}

void ShowFontList(const char *what, DESC_FONT_ENTRY *fonts, DWORD count)
{
  printf("%s (%lu):", what, static_cast<unsigned long>(fonts != nullptr ? count : 0));
  for (DWORD i = 0; fonts != nullptr && i < count; ++i)
    printf("%s %lu %s", i == 0 ? "" : ",", static_cast<unsigned long>(fonts[i].fontId), Text(fonts[i].name).c_str());
  printf("\n");
  MemFree(fonts);
}

int ShowFonts(DRIVER_CONTEXT *ctx)
{
  DWORD count = 0;
  DESC_FONT_ENTRY *fonts = DescGetDeviceFonts(ctx, &count);
  ShowFontList("device fonts", fonts, count);
  fonts = DescGetFontCartridges(ctx, &count);
  ShowFontList("font cartridge", fonts, count);
  count = 0;
  DESC_FONT_SUBST *table = DescGetFontTable(ctx, &count);
  printf("TrueType substitutions (%lu):", static_cast<unsigned long>(table != nullptr ? count : 0));
  for (DWORD i = 0; table != nullptr && i < count; ++i)
    printf("%s %s -> %s", i == 0 ? "" : ",", Text(table[i].name).c_str(), Text(table[i].substitute).c_str());
  printf("\n");
  MemFree(table);
  return 0;
}

int RunCaps(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {}, kUsage, parsed)) return 2;
  const Args &args = parsed.rest;
  if (args.empty() || args.size() > 2)
    return UsageError(kUsage, args.empty() ? "name a printer" : "too many arguments");
  std::string what = args.size() == 2 ? args[1] : std::string();
  if (!what.empty()) {
    bool known = false;
    for (const char *part : kParts) known = known || what == part;
    if (!known) return UsageError(kUsage, "unknown part '" + what + "'");
  }
  if (int rc = RequireMachineRoot()) return rc;
  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  if (int rc = OpenPrinterContext(args[0], CTX_CREATE_DEVCAPS, &printer, &ctx)) return rc;
  int (*const shows[])(DRIVER_CONTEXT *) = {ShowPapers, ShowBins,  ShowResolutions, ShowExtents,
                                            ShowDuplex, ShowColor, ShowFonts};
  int rc = 0;
  for (size_t i = 0; i < sizeof shows / sizeof shows[0]; ++i)
    if (what.empty() || what == kParts[i]) rc = shows[i](ctx) != 0 ? 1 : rc;
  ClosePrinterContext(printer, ctx);
  return rc;
}

Registrar reg({"caps", kUsage,
               "Opens a driver context for the printer, as a device-capabilities call does, and prints\n"
               "what it offers: papers (code, name, size in 0.1 mm, and the printable area in dots at\n"
               "each resolution in portrait and landscape), paper sources (bins), resolutions, the\n"
               "custom-size extents and landscape rotation, the duplex unit, colour, and the\n"
               "description's device fonts, font cartridge and TrueType substitutions. WHAT shows one\n"
               "part. Exit status 1 when the description lacks the papers or sources asked for.\n",
               RunCaps});

}  // namespace
}  // namespace host
