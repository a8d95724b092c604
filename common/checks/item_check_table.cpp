// The item check table: one row per item 35-600, with a handler for the items that the
// printer description may leave unaddressed, and the driver that runs it.
#include "checks/item_check.h"
#include "items/item_store.h"
#include "model/model.h"
#include "names/resources.h"
#include "tables/item_ids.h"

// In mode KV_CHECK_MODE_KEEP_LEGAL a value that passes the test stays (answer 1); otherwise the
// replacement is written (answer 0).
static int KeepOrWrite(bool legal, DWORD mode, DRIVER_CONTEXT *ctx, OPTION_ITEM *row, LONG replacement)
{
  if (mode == KV_CHECK_MODE_KEEP_LEGAL && legal) return 1;
  ItemWriteRaw(ctx, row, replacement);
  return 0;
}

static const MODEL_RECORD *Model(DRIVER_CONTEXT *ctx) { return ctx != NULL ? ctx->model : NULL; }

static int WINAPI CheckAllowedList(WORD id, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  return KeepOrWrite(ItemIsListedValue(id, (LONG)value) != 0, mode, ctx, row, (LONG)param);
}

// The colour-matching mode keeps its listed modes and also the entries 200-215 that name
// stored colour-matching sets, which a description node accepts for it as they are.
static int WINAPI CheckColorMatchingMode(WORD id, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode,
                                         DRIVER_CONTEXT *ctx)
{
  bool legal = ItemIsListedValue(id, (LONG)value) != 0 || (value >= 200 && value <= 215);
  return KeepOrWrite(legal, mode, ctx, row, (LONG)param);
}

// The fixed ranges of the range kinds.
static const LONG kScaleRange[2] = {20, 400};
static const LONG kFontPointRange[2] = {6, 100};
static const LONG kAdjustRange[2] = {-50, 50};
static const LONG kGammaRange[2] = {1, 9};
static const LONG kCycleRange[2] = {1, 99};

static bool InRange(DWORD value, const LONG range[2]) { return (LONG)value >= range[0] && (LONG)value <= range[1]; }

static int WINAPI CheckScaleRange(WORD, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  return KeepOrWrite(InRange(value, kScaleRange), mode, ctx, row, (LONG)param);
}

static int WINAPI CheckFontPointRange(WORD, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  return KeepOrWrite(InRange(value, kFontPointRange), mode, ctx, row, (LONG)param);
}

static int WINAPI CheckAdjustRange(WORD, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  return KeepOrWrite(InRange(value, kAdjustRange), mode, ctx, row, (LONG)param);
}

static int WINAPI CheckGammaRange(WORD, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  return KeepOrWrite(InRange(value, kGammaRange), mode, ctx, row, (LONG)param);
}

static int WINAPI CheckCycleRange(WORD, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  return KeepOrWrite(InRange(value, kCycleRange), mode, ctx, row, (LONG)param);
}

// A binding margin of at most 50.0 mm at the device's x resolution (item 38).
static int WINAPI CheckMargin(WORD, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  DWORD dpi = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL);
  return KeepOrWrite(value <= DmUnitsToDots(1, 500, dpi), mode, ctx, row, (LONG)param);
}

// The preset number is a signed byte: presets 0-15 and -1 (255) for none. The low byte
// decides, since the field reads sign-extended.
static int WINAPI CheckPresetNo(WORD, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  DWORD low = value & 0xFFu;
  return KeepOrWrite(low < 128 || low == 0xFFu, mode, ctx, row, (LONG)param);
}

static int WINAPI CheckOutPaper(WORD, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  return KeepOrWrite(DmIsStandardPaperSize((LONG)value) || value == 1024, mode, ctx, row, (LONG)param);
}

static int WINAPI CheckInputTray(WORD, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  return KeepOrWrite(DmIsStandardDefaultSource((LONG)value) != 0, mode, ctx, row, (LONG)param);
}

// Device resolutions: a listed value stays; the replacement is the DEVMODE's print quality
// when it is valid, else the model's default x (item 38) or y (item 39) resolution. A print
// quality may be valid without being a device resolution (150 dpi, say), and a model
// default may be one the item does not list: a replacement is always one of the item's
// listed values, the row's parameter when neither is.
static int WINAPI CheckResolution(WORD id, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  LONG replacement = (LONG)param;
  LONG quality = ItemGetRaw(ctx, ITEM_dmPrintQuality, NULL);
  LONG modelDefault = 0;
  if (Model(ctx) != NULL)
    modelDefault = id == ITEM_kdmDstResolutionW ? Model(ctx)->defaultResX : Model(ctx)->defaultResY;
  if (DmValidatePrintQuality((SHORT)quality, ctx) && ItemIsListedValue(id, quality))
    replacement = quality;
  else if (Model(ctx) != NULL && ItemIsListedValue(id, modelDefault))
    replacement = modelDefault;
  return KeepOrWrite(ItemIsListedValue(id, (LONG)value) != 0, mode, ctx, row, replacement);
}

// The machine the settings were made for is the build's: the template's model decides.
static int WINAPI CheckMachine(WORD, DWORD value, OPTION_ITEM *row, DWORD, DWORD mode, DRIVER_CONTEXT *ctx)
{
  DRIVER_CONTEXT *tmpl = CtxGetTemplate();
  bool legal = tmpl != NULL && tmpl->model != NULL && value == tmpl->model->machineId;
  return KeepOrWrite(legal, mode, ctx, row, Model(ctx) != NULL ? Model(ctx)->machineId : 0);
}

// The driver type byte belongs to the private header: only the build's type passes its test.
static int WINAPI CheckDriverType(WORD, DWORD value, OPTION_ITEM *row, DWORD, DWORD mode, DRIVER_CONTEXT *ctx)
{
  DRIVER_CONTEXT *tmpl = CtxGetTemplate();
  bool legal = tmpl != NULL && tmpl->model != NULL && value == tmpl->model->driverType;
  return KeepOrWrite(legal, mode, ctx, row, Model(ctx) != NULL ? Model(ctx)->driverType : 0);
}

// The model record's item defaults: language (byte 0), display language (1), display unit
// (2) and extended print area (4).
static LONG ModelItemDefault(DRIVER_CONTEXT *ctx, int index)
{
  return Model(ctx) != NULL ? Model(ctx)->itemDefaults[index] : 0;
}

static int WINAPI CheckLanguage(WORD id, DWORD value, OPTION_ITEM *row, DWORD, DWORD mode, DRIVER_CONTEXT *ctx)
{
  bool legal = value <= 0xFFFF && ResIsLanguageIndex((WORD)value) != 0;
  return KeepOrWrite(legal, mode, ctx, row, ModelItemDefault(ctx, id == ITEM_kdmLanguageID ? 0 : 1));
}

static int WINAPI CheckModelDefault(WORD id, DWORD value, OPTION_ITEM *row, DWORD, DWORD mode, DRIVER_CONTEXT *ctx)
{
  return KeepOrWrite(ItemIsListedValue(id, (LONG)value) != 0, mode, ctx, row,
                     ModelItemDefault(ctx, id == ITEM_kdmDspUnit ? 2 : 4));
}

static int WINAPI CheckAlwaysDefault(WORD, DWORD, OPTION_ITEM *row, DWORD param, DWORD, DRIVER_CONTEXT *ctx)
{
  ItemWriteRaw(ctx, row, (LONG)param);
  return 0;
}

// Function switches and bit items: any non-zero parameter sets the bit. The description
// format version (item 233) takes the model's language-version value.
static int WINAPI CheckAlwaysSwitch(WORD id, DWORD, OPTION_ITEM *row, DWORD param, DWORD, DRIVER_CONTEXT *ctx)
{
  LONG value = (LONG)param;
  if (id == ITEM_kdmKVMLVer && Model(ctx) != NULL) value = (LONG)Model(ctx)->constants5[0];
  ItemWriteRaw(ctx, row, value);
  return 0;
}

// The scale and N-up switches: the driver scales and lays out pages itself, so these are
// its own functions, which requests and the public fields turn on together with their type
// and percentage items; a description that leaves them out does not take them away. The
// switch stays in mode 2 (a one-bit item holds nothing else) and takes the parameter in the
// other modes.
static int WINAPI CheckOwnSwitch(WORD, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode, DRIVER_CONTEXT *ctx)
{
  return KeepOrWrite(value <= 1, mode, ctx, row, (LONG)param);
}

static int WINAPI CheckKeepAll(WORD, DWORD, OPTION_ITEM *, DWORD, DWORD, DRIVER_CONTEXT *) { return 1; }

static int WINAPI CheckNone(WORD, DWORD, OPTION_ITEM *, DWORD, DWORD, DRIVER_CONTEXT *) { return 0; }

// The table, assembled at compile time from the handler rows: every other row keeps its
// item and has no handler.
namespace {
struct CheckTable {
  ITEM_CHECK_ROW rows[KV_CHECK_ROW_COUNT];
};

constexpr CheckTable BuildCheckTable()
{
  CheckTable t{};
  for (int i = 0; i < KV_CHECK_ROW_COUNT; ++i) t.rows[i] = {(DWORD)(KV_CHECK_FIRST_ITEM + i), nullptr, 0};
#define KV_CHECK(item, kind, param) t.rows[(item)-KV_CHECK_FIRST_ITEM] = {(item), Check##kind, (param)};
#include "checks/item_check_rows.def"
#undef KV_CHECK
  return t;
}

constexpr CheckTable kCheckTable = BuildCheckTable();
}  // namespace

const ITEM_CHECK_ROW *WINAPI ItemGetCheckTable(void) { return kCheckTable.rows; }

const ITEM_CHECK_ROW *WINAPI ItemFindCheckRow(WORD itemId)
{
  if (itemId < KV_CHECK_FIRST_ITEM || itemId > KV_CHECK_LAST_ITEM) return NULL;
  return &kCheckTable.rows[itemId - KV_CHECK_FIRST_ITEM];
}

// Items the description checks are validated against their nodes. An item it does not
// check goes to its handler: one without option row or key (answer 2), and also one whose
// key the description lacks or leaves untyped (answer 3), so that a description without
// the node cannot leave a stored value unchecked.
void WINAPI ItemRunCheckTable(DRIVER_CONTEXT *ctx, DWORD mode)
{
  if (ctx == NULL || ctx->work == NULL) return;
  for (const ITEM_CHECK_ROW &r : kCheckTable.rows) {
    WORD id = (WORD)r.itemId;
    OPTION_ITEM *row = NULL;
    DWORD value = (DWORD)ItemGetRaw(ctx, id, &row);
    int answer = ItemValidateOrReset(id, value, ctx);
    if ((answer == KV_CHECK_UNBOUND || answer == KV_CHECK_NO_NODE) && r.handler != NULL && row != NULL)
      r.handler(id, value, row, r.param, mode, ctx);
  }
}

int WINAPI ItemGetCheckRange(WORD itemId, LONG *min, LONG *max, LONG *replacement)
{
  static const struct {
    ITEM_CHECK_HANDLER handler;
    const LONG *range;
  } kinds[] = {{CheckScaleRange, kScaleRange},
               {CheckFontPointRange, kFontPointRange},
               {CheckAdjustRange, kAdjustRange},
               {CheckGammaRange, kGammaRange},
               {CheckCycleRange, kCycleRange}};
  const ITEM_CHECK_ROW *row = ItemFindCheckRow(itemId);
  if (row == NULL || row->handler == NULL || min == NULL || max == NULL || replacement == NULL) return 0;
  for (const auto &k : kinds) {
    if (row->handler != k.handler) continue;
    *min = k.range[0];
    *max = k.range[1];
    *replacement = (LONG)row->param;
    return 1;
  }
  return 0;
}
