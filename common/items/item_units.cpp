// Unit conversions: lengths are held in 1200-dpi dots and shown in 0.1 mm or 0.01 inch.
// Products are formed in 64 bits and results saturate at the 32-bit range, so no input can
// overflow, divide by zero or make a rounding loop run long.
#include "items/item_store.h"
#include "blob/desc_blob.h"
#include "blob/desc_runtime.h"
#include "hooks/build_hooks.h"
#include "model/model.h"
#include "tables/item_ids.h"

static DWORD Saturate(unsigned long long v) { return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : (DWORD)v; }

DWORD WINAPI DmDotsToTenthMm(DWORD dots, DWORD dpi)
{
  if (dpi == 0) return 0;
  return Saturate((unsigned long long)dots * 254u / dpi);
}

DWORD WINAPI DmDotsToHundredthInch(DWORD dots, DWORD dpi)
{
  DWORD perHundredth = dpi / 100;
  return perHundredth == 0 ? 0 : dots / perHundredth;
}

DWORD WINAPI DmTenthMmToDots(DWORD tenths, DWORD dpi) { return Saturate((unsigned long long)dpi * tenths / 254u); }

DWORD WINAPI DmHundredthInchToDots(DWORD hundredths, DWORD dpi)
{
  return Saturate((unsigned long long)hundredths * (dpi / 100));
}

DWORD WINAPI DmRescale(DWORD value, DWORD fromDpi, DWORD toDpi)
{
  if (fromDpi == 0 || toDpi == 0) return 0;
  return Saturate((unsigned long long)toDpi * value / fromDpi);
}

// Display units of kind 1 (0.1 mm) or 2 (0.01 inch) from 1200-dpi dots, rounded down.
static DWORD DotsToUnitsDown(int kind, DWORD dots)
{
  return kind == 1 ? DmDotsToTenthMm(dots, 1200) : DmDotsToHundredthInch(dots, 1200);
}

static DWORD UnitsToDotsDown(int kind, DWORD units)
{
  return kind == 1 ? DmTenthMmToDots(units, 1200) : DmHundredthInchToDots(units, 1200);
}

// The largest even number of 1200-dpi dots that converts back to no more than units,
// rescaled to dpi. The back conversion grows with the dots, so a bisection finds it.
DWORD WINAPI DmUnitsToDots(int kind, DWORD units, DWORD dpi)
{
  if (kind != 1 && kind != 2) return 0;
  DWORD n = UnitsToDotsDown(kind, units);
  if (n > 0 && DotsToUnitsDown(kind, n) > units) {
    DWORD lo = 0, hi = n;  // DotsToUnitsDown(lo) <= units < DotsToUnitsDown(hi)
    while (hi - lo > 1) {
      DWORD mid = lo + (hi - lo) / 2;
      if (DotsToUnitsDown(kind, mid) > units)
        hi = mid;
      else
        lo = mid;
    }
    n = lo;
  }
  if (n & 1) --n;
  return DmRescale(n, 1200, dpi);
}

// Display units from dots at dpi, rounded up: the smallest number of units whose dots reach
// the length.
DWORD WINAPI DmDotsToUnits(int kind, DWORD dots, DWORD dpi)
{
  if (kind != 1 && kind != 2) return 0;
  DWORD c = DmRescale(dots, dpi, 1200);
  DWORD i = DotsToUnitsDown(kind, c);
  while (i < 0xFFFFFFFFu && UnitsToDotsDown(kind, i) < c) ++i;
  return i;
}

int WINAPI ItemIsMetricUnit(DRIVER_CONTEXT *ctx) { return ItemGetRaw(ctx, ITEM_kdmDspUnit, NULL) == 0; }

LONG WINAPI ItemDotsToDisplayUnits(DRIVER_CONTEXT *ctx, WORD id, LONG dots)
{
  if (dots < 0) return 0;
  if (id != 0) dots = ItemGetValue(ctx, id, NULL);
  if (dots < 0) return 0;
  return (LONG)DmDotsToUnits(ItemIsMetricUnit(ctx) ? 1 : 2, (DWORD)dots, 1200);
}

LONG WINAPI ItemDisplayUnitsToDots(DRIVER_CONTEXT *ctx, WORD id, LONG units)
{
  if (units < 0) return 0;
  LONG n = (LONG)DmUnitsToDots(ItemIsMetricUnit(ctx) ? 1 : 2, (DWORD)units, 1200);
  if (n < 0) n = 0x7FFFFFFE;
  if (id != 0) ItemSetValue(ctx, id, n);
  return n;
}

// The display units of a length bound in 1200-dpi dots, rounded inward: a lower bound up
// (it converts back to at least the bound), an upper bound down (to at most the bound). A
// negative bound is the mirror of the positive one, with the rounding turned round.
static LONG BoundToUnits(int kind, LONG dots, bool lower)
{
  if (dots < 0) {
    DWORD magnitude = dots == (LONG)0x80000000 ? 0x80000000u : (DWORD)-dots;
    return -BoundToUnits(kind, (LONG)(magnitude > 0x7FFFFFFFu ? 0x7FFFFFFFu : magnitude), !lower);
  }
  DWORD u = DmDotsToUnits(kind, (DWORD)dots, 1200);
  if (lower) {
    if ((LONG)DmUnitsToDots(kind, u, 1200) < dots) ++u;
  } else if (u > 0 && (LONG)DmUnitsToDots(kind, u, 1200) > dots) {
    --u;
  }
  return u > 0x7FFFFFFFu ? 0x7FFFFFFF : (LONG)u;
}

// Display-unit limits of a length, rounded inward so both convert back inside the limits.
static void LimitsToUnits(int kind, LONG minDots, LONG maxDots, LONG *min, LONG *max)
{
  if (min != NULL) *min = BoundToUnits(kind, minDots, true);
  if (max != NULL) *max = BoundToUnits(kind, maxDots, false);
}

int WINAPI ItemGetFreeSizeLimits(DRIVER_CONTEXT *ctx, WORD id, LONG *min, LONG *max)
{
  if (ctx == NULL || ctx->model == NULL) return 0;
  int kind = ItemIsMetricUnit(ctx) ? 1 : 2;
  if (id == ITEM_wdmFreeSizeWidth)
    LimitsToUnits(kind, ctx->model->customWidthMin, ctx->model->customWidthMax, min, max);
  else if (id == ITEM_wdmFreeSizeLength)
    LimitsToUnits(kind, ctx->model->customLengthMin, ctx->model->customLengthMax, min, max);
  else
    return 0;
  return 1;
}

// The range of a numeric control in display units, rounded inward. The model hook may give
// the range in 1200-dpi dots; otherwise it is the minimum and maximum of the Numeric
// description node bound to the control. 0 (nothing written) without either.
int WINAPI ItemRangeToDisplayUnits(DRIVER_CONTEXT *ctx, const CONTROL_RECORD *control, LONG *min, LONG *max)
{
  if (ctx == NULL || control == NULL) return 0;
  LONG loDots = 0, hiDots = 0;
#if defined(KV_CONFIG_UI)
  bool overridden = CtlGetRangeOverride(ctx, (CONTROL_RECORD *)control, &hiDots, &loDots) != 0;
#else
  bool overridden = false;  // only the property sheets' model hook has an override
#endif
  if (!overridden) {
    // The node the sheet bound to the control, else the node of the control's symbol key,
    // else that of its item. It lies in the compiled block at any alignment: its fields
    // are read bytewise.
    const BYTE *node = (const BYTE *)control->node;
    if (node == NULL && control->symbolKey != 0) node = (const BYTE *)ItemGetDescNode(ctx, (WORD)control->symbolKey);
    if (node == NULL) {
      const OPTION_ITEM *item = ItemOfControl(ctx, control);
      if (item != NULL) node = (const BYTE *)DescFindItemNode(item->id, ctx);
    }
    if (node == NULL) return 0;
    if ((DescLd16(node, offsetof(DESC_ITEM_NODE, type)) & ~DESC_TYPE_FLAGS) != DESC_TYPE_NUMERIC) return 0;
    const BYTE *record = DescLdPtr(node, offsetof(DESC_ITEM_NODE, values));
    if (record == NULL) return 0;
    loDots = (LONG)DescLd32(record, offsetof(DESC_NUMERIC_VALUE, minimum));
    hiDots = (LONG)DescLd32(record, offsetof(DESC_NUMERIC_VALUE, maximum));
  }
  LimitsToUnits(ItemIsMetricUnit(ctx) ? 1 : 2, loDots, hiDots, min, max);
  return 1;
}

LONG WINAPI DmRatio(LONG num, LONG mul, LONG den)
{
  if (den == 0) return -1;
  long long r = (long long)num * mul / den;
  if (r > 0x7FFFFFFFll) return 0x7FFFFFFF;
  if (r < -0x7FFFFFFFll - 1) return (LONG)(-0x7FFFFFFFll - 1);
  return (LONG)r;
}
