// Resource DLLs of a context, resource strings completed with the values they describe,
// and fixed-point text.
#include "names/resources.h"

#include "files/paths.h"
#include "hooks/build_hooks.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "tables/item_ids.h"

static HMODULE LoadByPath(const WCHAR *path)
{
  if (path == NULL || path[0] == 0) return NULL;
  return LoadLibraryW(path);
}

HMODULE WINAPI ResGetLanguageDll(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return NULL;
  if (ctx->languageDll == NULL) {
    // The path is built in a buffer of its own: callers load strings into the context's
    // text buffer, and a DLL that is missing must not leave its path there.
    WCHAR path[MAX_PATH];
    ctx->languageDll = LoadByPath(CtxCopyLangResDllPath(ctx, path, MAX_PATH));
  }
  return ctx->languageDll;
}

HMODULE WINAPI ResGetPictureDll(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return NULL;
  if (ctx->commonDll == NULL) {
    WCHAR path[MAX_PATH];
    ctx->commonDll = LoadByPath(CtxCopyCommonResDllPath(ctx, path, MAX_PATH));
  }
  return ctx->commonDll;
}

void WINAPI OsFreeLibrary(HMODULE module)
{
  if (module != NULL) FreeLibrary(module);
}

void WINAPI ResFreeDlls(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return;
  OsFreeLibrary(ctx->languageDll);
  OsFreeLibrary(ctx->commonDll);
  ctx->languageDll = NULL;
  ctx->commonDll = NULL;
}

LONG WINAPI ResLoadString(DRIVER_CONTEXT *ctx, UINT id, WCHAR *dst, int cch, BOOL withValue)
{
  if (dst == NULL || cch <= 0) return 0;
  dst[0] = 0;
  HMODULE dll = ResGetLanguageDll(ctx);
  dst[0] = 0;  // a failed lookup leaves an empty text, whatever the lookup used
  if (dll == NULL) return 0;
  int n = LoadStringW(dll, id, dst, cch);
  if (!withValue) return n;
  ResAppendValueText(ctx, id, dst, cch);
  return lstrlenW(dst);
}

// ---------------------------------------------------------------- value texts

static const RES_VALUE_TEXT_ROW kValueTexts[] = {
    {109, 1, 2}, {110, 2, 2},  {111, 3, 2},  {112, 4, 2},  {113, 5, 2}, {114, 6, 2}, {115, 7, 2}, {116, 8, 2},
    {117, 9, 2}, {118, 10, 2}, {752, 11, 2}, {753, 12, 2}, {153, 0, 3}, {154, 0, 3}, {0, 0, 0},
};

const RES_VALUE_TEXT_ROW *WINAPI ResGetValueTextTable(void) { return kValueTexts; }

static const RES_VALUE_TEXT_ROW *FindValueText(UINT id)
{
  for (const RES_VALUE_TEXT_ROW *row = kValueTexts; row->id != 0; ++row)
    if (row->id == id) return row;
  return NULL;
}

// The current unit name (string 153 or 154) in at most 16 characters.
static void LoadUnitName(DRIVER_CONTEXT *ctx, WCHAR unit[16])
{
  ResLoadString(ctx, ItemIsMetricUnit(ctx) ? KV_RES_UNIT_METRIC : KV_RES_UNIT_INCH, unit, 16, FALSE);
}

// "(w x l" in display units, the unit name and ")" appended to str when all of it fits.
static void AppendDimensions(DRIVER_CONTEXT *ctx, WCHAR *str, int cch, LONG w, LONG l)
{
  WCHAR text[96];
  if (ItemIsMetricUnit(ctx))
    wsprintfW(text, u"(%ld.%01d x %ld.%01d", w / 10, (int)(w % 10), l / 10, (int)(l % 10));
  else
    wsprintfW(text, u"(%ld.%02d x %ld.%02d", w / 100, (int)(w % 100), l / 100, (int)(l % 100));
  WCHAR unit[16];
  LoadUnitName(ctx, unit);
  if (!PathAppendName(text, 96, unit) || !PathAppendName(text, 96, u")")) return;
  PathAppendName(str, (DWORD)cch, text);
}

// A slot's dimension (axis 0 width, 1 length, in 1200-dpi dots) inside the limits the
// deliverable's model answers for the slot's tray and orientation; as it is without them.
static LONG ClampToModelLimits(DRIVER_CONTEXT *ctx, const FREE_SIZE_SLOT *slot, LONG axis, LONG dots)
{
  LONG max = 0, min = 0;
  if (!DmGetCustomSizeLimits(ctx, (WORD)slot->tray, (WORD)slot->orientation, &max, &min, axis)) return dots;
  if (dots > max) dots = max;
  if (dots < min) dots = min;
  return dots;
}

void WINAPI ResAppendValueText(DRIVER_CONTEXT *ctx, UINT id, WCHAR *str, int cch)
{
  const RES_VALUE_TEXT_ROW *row = FindValueText(id);
  if (ctx == NULL || str == NULL || cch <= 0 || row == NULL) return;
  if (row->kind == 3) {
    WCHAR unit[16];
    LoadUnitName(ctx, unit);
    lstrcpynW(str, unit, cch);
    return;
  }
  LONG w, l;
  if (row->slot <= 10) {
    if (ctx->state == NULL) return;
    // A custom paper slot: its name (the ANSI field need not be terminated) and size.
    const FREE_SIZE_SLOT *slot = &ctx->state->freeSizeSlots[row->slot - 1];
    char name[sizeof slot->displayName + 1];
    for (size_t i = 0; i < sizeof slot->displayName; ++i) name[i] = slot->displayName[i];
    name[sizeof slot->displayName] = 0;
    WCHAR wide[sizeof slot->displayName + 1];
    StrAnsiToWide(wide, name, (int)(sizeof wide / sizeof wide[0]));
    lstrcpynW(str, wide, cch);
    w = ItemDotsToDisplayUnits(ctx, 0, ClampToModelLimits(ctx, slot, 0, slot->width));
    l = ItemDotsToDisplayUnits(ctx, 0, ClampToModelLimits(ctx, slot, 1, slot->length));
  } else if (row->slot == 11) {
    w = ItemDotsToDisplayUnits(ctx, ITEM_kdmPaperFreeSizeWidth, 0);
    l = ItemDotsToDisplayUnits(ctx, ITEM_kdmPaperFreeSizeLength, 0);
  } else {
    w = ItemDotsToDisplayUnits(ctx, ITEM_kdmPrintFreeSizeWidth, 0);
    l = ItemDotsToDisplayUnits(ctx, ITEM_kdmPrintFreeSizeLength, 0);
  }
  AppendDimensions(ctx, str, cch, w, l);
}

// ---------------------------------------------------------------- fixed point

void WINAPI StrFormatFixedPoint(WCHAR *dst, LONG divisor, LONG value)
{
  if (dst == NULL) return;
  int places = 0;
  for (LONG d = divisor; d > 1; d /= 10) ++places;
  if (places < 1 || places > 4) {
    wsprintfW(dst, u"%ld", value);
    return;
  }
  static const LONG kPowers[5] = {1, 10, 100, 1000, 10000};
  LONG whole = value / kPowers[places];
  LONG part = value % kPowers[places];
  // A value between -1 and 0 has a quotient of 0: the sign goes in front explicitly, and
  // the fraction is printed from its magnitude (-5 / 100 is "-0.05").
  const WCHAR *sign = value < 0 && whole == 0 ? u"-" : u"";
  if (part < 0) part = -part;
  static const WCHAR *const kFormats[5] = {u"", u"%s%ld.%01lu", u"%s%ld.%02lu", u"%s%ld.%03lu", u"%s%ld.%04lu"};
  wsprintfW(dst, kFormats[places], sign, whole, (unsigned long)part);
}
