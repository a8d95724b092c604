// Capability enumerations: papers, trays, resolutions, custom-size extents, duplex and
// colour, answered from the printer description, its rules and the model record.
//
// Item and value nodes may start at any byte of the compiled block: they are read field by
// field. Every filler counts all the entries it finds but writes only as many as the
// caller's capacity holds.
#include "rules/rule_caps.h"

#include "blob/desc_runtime.h"
#include "hooks/module_hooks.h"
#include "items/item_store.h"
#include "model/model.h"
#include "names/resources.h"
#include "rules/rule_eval.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

// ---------------------------------------------------------------- resolution table

static const RESOLUTION_ROW s_resolutions[KV_RESOLUTION_ROWS + 1] = {
    {6, 200, 200},   {1, 300, 300},  {2, 400, 400},  {3, 600, 600},    {4, 1200, 1200},
    {5, 2400, 2400}, {17, 600, 600}, {18, 600, 600}, {19, 600, 600},   {33, 150, 150},
    {34, 300, 300},  {35, 300, 300}, {36, 600, 600}, {37, 1200, 1200}, {0, 0, 0}};

const RESOLUTION_ROW *WINAPI CapGetResolutionTable(void) { return s_resolutions; }

const RESOLUTION_ROW *WINAPI CapFindResolutionRow(WORD code)
{
  if (code == 0) return NULL;
  for (const RESOLUTION_ROW *row = s_resolutions; row->code != 0; ++row)
    if (row->code == code) return row;
  return NULL;
}

WORD WINAPI CapResolutionCodeFromDpi(LONG xDpi, LONG yDpi)
{
  if (xDpi == 0 || yDpi == 0) return 0;
  for (const RESOLUTION_ROW *row = s_resolutions; row->code != 0; ++row)
    if (row->xDpi == xDpi && row->yDpi == yDpi) return row->code;
  return 0;
}

WORD WINAPI CapResolutionCodeFromXDpi(LONG dpi)
{
  if (dpi == 0) return 0;
  for (const RESOLUTION_ROW *row = s_resolutions; row->code != 0; ++row)
    if (row->xDpi == dpi) return row->code;
  return 0;
}

WORD WINAPI CapNextResolutionCodeWithDpi(LONG dpi, WORD code)
{
  const RESOLUTION_ROW *from = CapFindResolutionRow(code);
  if (dpi == 0 || from == NULL) return 0;
  for (const RESOLUTION_ROW *row = from + 1; row->code != 0; ++row)
    if (row->xDpi == dpi) return row->code;
  return 0;
}

// ---------------------------------------------------------------- shared walk

// The masked type of a node (without the Identity and TypeUnknown flags).
static WORD NodeType(const DESC_ITEM_NODE *node)
{
  return (WORD)(DESC_FIELD16(node, DESC_ITEM_NODE, type) & ~DESC_TYPE_FLAGS);
}

static const BYTE *FirstValue(const DESC_ITEM_NODE *node) { return DESC_FIELDPTR(node, DESC_ITEM_NODE, values); }
static const BYTE *NextValue(const BYTE *value) { return DESC_FIELDPTR(value, DESC_VALUE_NODE, next); }
static WORD ValueIdOf(const BYTE *value) { return DESC_FIELD16(value, DESC_VALUE_NODE, valueId); }

// The module's answer to a show-all question (events 30 and 33); 0 when none answers.
static LONG AskShowAll(DRIVER_CONTEXT *ctx, WORD event)
{
  KV_EVT_ANSWER_DATA data = {0};
  CtxNotifyModules(ctx, event, &data);
  return data.answer;
}

// The stored value of an item's value when its value symbol exists and stands for a stored
// value; FALSE otherwise.
static bool StoredValueOf(WORD itemId, WORD valueId, LONG *stored)
{
  const VALUE_SYMBOL *sym = ItemFindValueSymbol(itemId, valueId);
  if (sym == NULL || !sym->isStored) return false;
  *stored = sym->storedValue;
  return true;
}

static LONG Capacity(const void *buffer, LONG capacity) { return buffer == NULL || capacity < 0 ? 0 : capacity; }

// A names slot of cchName characters, zero-filled, filled with text (cut and terminated).
static void PutName(WCHAR *slot, LONG cchName, const WCHAR *text)
{
  for (LONG i = 0; i < cchName; ++i) slot[i] = 0;
  if (text != NULL) lstrcpynW(slot, text, (int)cchName);
}

// ---------------------------------------------------------------- trays

// What a tray walk writes: DMBIN numbers (names NULL) or display names.
typedef struct BIN_OUTPUT {
  WORD *bins;
  WCHAR *names;
  LONG cchName;
  LONG capacity;
  bool wantNames;
} BIN_OUTPUT;

static LONG EnumBins(DRIVER_CONTEXT *ctx, const BIN_OUTPUT *out)
{
  if (ctx == NULL) return -1;
  LONG showAll = AskShowAll(ctx, KV_EVT_BIN_MODEL_VALUE);
  const DESC_ITEM_NODE *node = DescFindItemNode(ITEM_dmDefaultSource, ctx);
  if (node == NULL || DESC_FIELD16(node, DESC_ITEM_NODE, itemId) == 0 || NodeType(node) != DESC_TYPE_PICK_SLOT)
    return -1;
  LONG limit = DescCountItemValues(ITEM_dmDefaultSource, ctx);
  const BYTE *value = FirstValue(node);
  if (value == NULL || limit <= 0) return -1;
  LONG found = 0;
  for (LONG i = 0; value != NULL && i < limit; ++i, value = NextValue(value)) {
    WORD valueId = ValueIdOf(value);
    if (!showAll && RuleIsValueHidden(node, valueId, ctx) != 0) continue;
    if (!out->wantNames) {
      LONG stored = 0;
      if (!StoredValueOf(ITEM_dmDefaultSource, valueId, &stored)) return -1;
      if (found < out->capacity) out->bins[found] = (WORD)stored;
    } else if (found < out->capacity) {
      WCHAR *slot = out->names + (size_t)found * (size_t)out->cchName;
      PutName(slot, out->cchName, NULL);
      ResLoadString(ctx, valueId, slot, (int)out->cchName, TRUE);
    }
    ++found;
  }
  return found > 0 ? found : -1;
}

LONG WINAPI CapEnumBins(DRIVER_CONTEXT *ctx, WORD *bins, LONG capacity)
{
  BIN_OUTPUT out = {bins, NULL, 0, Capacity(bins, capacity), false};
  return EnumBins(ctx, &out);
}

LONG WINAPI CapEnumBinNames(DRIVER_CONTEXT *ctx, WCHAR *names, LONG cchName, LONG capacity)
{
  if (cchName < 1) return -1;
  BIN_OUTPUT out = {NULL, names, cchName, Capacity(names, capacity), true};
  return EnumBins(ctx, &out);
}

// ---------------------------------------------------------------- papers

// What a paper walk writes: DMPAPER codes, display names or sizes.
typedef enum PAPER_WHAT { PAPER_CODES, PAPER_NAMES, PAPER_SIZES } PAPER_WHAT;
typedef struct PAPER_OUTPUT {
  PAPER_WHAT what;
  WORD *codes;
  WCHAR *names;
  LONG cchName;
  POINT *sizes;
  LONG capacity;
} PAPER_OUTPUT;

// The item node of a paper enumeration: the paper item's slot, which must be PickPage, or
// another item's node, which must be PickOne; with values either way. NULL otherwise.
static const DESC_ITEM_NODE *PaperNode(DRIVER_CONTEXT *ctx, WORD itemId)
{
  const DESC_ITEM_NODE *node = NULL;
  if (itemId == ITEM_dmPaperSize) {
    node = DescFindItemNode(ITEM_dmPaperSize, ctx);
    if (node == NULL || NodeType(node) != DESC_TYPE_PICK_PAGE) return NULL;
  } else {
    node = DescGetItemNode(itemId, ctx);
    if (node == NULL || NodeType(node) != DESC_TYPE_PICK_ONE) return NULL;
  }
  return FirstValue(node) != NULL ? node : NULL;
}

// The paper value of the paper item with that value ID; NULL when none.
static const BYTE *FindPageValue(DRIVER_CONTEXT *ctx, WORD valueId)
{
  const DESC_ITEM_NODE *paper = DescFindItemNode(ITEM_dmPaperSize, ctx);
  if (paper == NULL || NodeType(paper) != DESC_TYPE_PICK_PAGE) return NULL;
  LONG limit = DescCountItemValues(ITEM_dmPaperSize, ctx);
  const BYTE *value = FirstValue(paper);
  for (LONG i = 0; value != NULL && i < limit; ++i, value = NextValue(value))
    if (ValueIdOf(value) == valueId) return value;
  return NULL;
}

// The stored user-size slot (0-9) of a paper code 384-393, else -1.
static LONG UserSizeSlot(DRIVER_CONTEXT *ctx, LONG code)
{
  if (code < 384 || code > 393) return -1;
  return ListPaperIdToSlot((WORD)code, ctx);
}

// A slot length in 1200-dpi dots as 0.1 mm, rounded up; a negative length counts as 0.
static LONG SlotTenths(LONG dots) { return dots <= 0 ? 0 : (LONG)DmDotsToUnits(1, (DWORD)dots, 1200); }

static void PutPaperName(DRIVER_CONTEXT *ctx, WCHAR *slot, LONG cchName, WORD valueId, LONG userSlot)
{
  PutName(slot, cchName, NULL);
  if (userSlot >= 0 && ctx->state != NULL) {
    // The slot's name is ANSI text that may fill its field without a terminator.
    const FREE_SIZE_SLOT *record = &ctx->state->freeSizeSlots[userSlot];
    char name[sizeof record->displayName + 1];
    memcpy(name, record->displayName, sizeof record->displayName);
    name[sizeof record->displayName] = 0;
    WCHAR wide[sizeof record->displayName + 1];
    StrAnsiToWide(wide, name, (int)(sizeof wide / sizeof wide[0]));
    PutName(slot, cchName, wide);
    return;
  }
  ResLoadString(ctx, valueId, slot, (int)cchName, FALSE);
}

static void PutPaperSize(DRIVER_CONTEXT *ctx, POINT *size, const BYTE *value, bool paperItem, LONG userSlot)
{
  size->x = size->y = 0;
  if (userSlot >= 0 && ctx->state != NULL) {
    size->x = SlotTenths(ctx->state->freeSizeSlots[userSlot].width);
    size->y = SlotTenths(ctx->state->freeSizeSlots[userSlot].length);
    return;
  }
  const BYTE *page = paperItem ? value : FindPageValue(ctx, ValueIdOf(value));
  if (page == NULL) return;
  size->x = (LONG)DESC_FIELD32(page, DESC_PAGE_VALUE_NODE, width);
  size->y = (LONG)DESC_FIELD32(page, DESC_PAGE_VALUE_NODE, length);
}

static LONG EnumPapers(DRIVER_CONTEXT *ctx, WORD itemId, const PAPER_OUTPUT *out)
{
  if (ctx == NULL) return -1;
  const DESC_ITEM_NODE *node = PaperNode(ctx, itemId);
  if (node == NULL) return -1;
  bool paperItem = itemId == ITEM_dmPaperSize;
  if (out->what != PAPER_CODES) ListLoadAllFreeSizes(ctx);
  LONG limit = DescCountItemValues(itemId, ctx);
  const BYTE *value = FirstValue(node);
  LONG found = 0;
  for (LONG i = 0; value != NULL && i < limit; ++i, value = NextValue(value)) {
    WORD valueId = ValueIdOf(value);
    if (paperItem && RuleIsValueHidden(node, valueId, ctx) != 0) continue;
    LONG stored = 0;
    bool hasStored = StoredValueOf(itemId, valueId, &stored);
    if (out->what == PAPER_CODES) {
      if (!hasStored) return -1;
      if (found < out->capacity) out->codes[found] = (WORD)stored;
    } else if (found < out->capacity) {
      LONG userSlot = hasStored ? UserSizeSlot(ctx, stored) : -1;
      if (userSlot >= 0) ListFillFixedSizeSlot(ctx, (WORD)stored, userSlot);
      if (out->what == PAPER_NAMES)
        PutPaperName(ctx, out->names + (size_t)found * (size_t)out->cchName, out->cchName, valueId, userSlot);
      else
        PutPaperSize(ctx, &out->sizes[found], value, paperItem, userSlot);
    }
    ++found;
  }
  return found > 0 ? found : -1;
}

LONG WINAPI CapEnumPapers(DRIVER_CONTEXT *ctx, WORD *papers, LONG capacity, WORD itemId)
{
  PAPER_OUTPUT out = {PAPER_CODES, papers, NULL, 0, NULL, Capacity(papers, capacity)};
  return EnumPapers(ctx, itemId, &out);
}

LONG WINAPI CapEnumPaperNames(DRIVER_CONTEXT *ctx, WCHAR *names, LONG cchName, LONG capacity, WORD itemId)
{
  if (cchName < 1) return -1;
  PAPER_OUTPUT out = {PAPER_NAMES, NULL, names, cchName, NULL, Capacity(names, capacity)};
  return EnumPapers(ctx, itemId, &out);
}

LONG WINAPI CapEnumPaperSizes(DRIVER_CONTEXT *ctx, POINT *sizes, LONG capacity, WORD itemId)
{
  PAPER_OUTPUT out = {PAPER_SIZES, NULL, NULL, 0, sizes, Capacity(sizes, capacity)};
  return EnumPapers(ctx, itemId, &out);
}

// ---------------------------------------------------------------- resolutions

// Appends one entry (a pair in mode 0, a code in mode 1) when the capacity holds it.
typedef struct RES_LIST {
  LONG *out;
  LONG capacity;
  int mode;
  LONG count;
} RES_LIST;

static void PutPair(RES_LIST *list, LONG x, LONG y)
{
  if (list->count < list->capacity) {
    list->out[2 * list->count] = x;
    list->out[2 * list->count + 1] = y;
  }
  ++list->count;
}

static void PutCode(RES_LIST *list, LONG code)
{
  if (list->count < list->capacity) list->out[list->count] = code;
  ++list->count;
}

// An item of the resolution list: a row with an ID and a node, PickOne with values, or
// Numeric while the device resolution is set. Its masked type, 0 when it does not qualify.
static WORD ResolutionItemType(DRIVER_CONTEXT *ctx, WORD itemId, LONG deviceDpi, const DESC_ITEM_NODE **node)
{
  const OPTION_ITEM *row = ItemFindById(ctx, itemId);
  *node = DescFindItemNode(itemId, ctx);
  if (row == NULL || row->id == 0 || *node == NULL) return 0;
  WORD type = NodeType(*node);
  if (type == DESC_TYPE_PICK_ONE && FirstValue(*node) != NULL) return type;
  if (type == DESC_TYPE_NUMERIC && deviceDpi != 0) return type;
  return 0;
}

// The dpi values of a PickOne resolution item; FALSE when a value lacks its stored symbol.
static bool ListDpiValues(DRIVER_CONTEXT *ctx, const DESC_ITEM_NODE *node, LONG showAll, RES_LIST *list)
{
  LONG limit = DescCountItemValues(ITEM_kdmDstResolutionW, ctx);
  const BYTE *value = FirstValue(node);
  for (LONG i = 0; value != NULL && i < limit; ++i, value = NextValue(value)) {
    WORD valueId = ValueIdOf(value);
    LONG dpi = 0;
    if (!StoredValueOf(ITEM_kdmDstResolutionW, valueId, &dpi)) return false;
    if (!showAll && RuleIsValueHidden(node, valueId, ctx) != 0) continue;
    if (list->mode == 0)
      PutPair(list, dpi, dpi);
    else
      PutCode(list, CapResolutionCodeFromDpi(dpi, dpi));
  }
  return true;
}

// The resolution codes of item 152; FALSE when a value lacks its symbol or its table row.
static bool ListCodeValues(DRIVER_CONTEXT *ctx, const DESC_ITEM_NODE *node, LONG showAll, RES_LIST *list)
{
  LONG limit = DescCountItemValues(ITEM_kdmDstResolutionBoth, ctx);
  const BYTE *value = FirstValue(node);
  LONG lastX = 0, lastY = 0;
  for (LONG i = 0; value != NULL && i < limit; ++i, value = NextValue(value)) {
    WORD valueId = ValueIdOf(value);
    LONG code = 0;
    if (!StoredValueOf(ITEM_kdmDstResolutionBoth, valueId, &code)) return false;
    const RESOLUTION_ROW *row = code > 0 && code <= 0xFFFF ? CapFindResolutionRow((WORD)code) : NULL;
    if (row == NULL) return false;
    if (!showAll && RuleIsValueHidden(node, valueId, ctx) != 0) continue;
    if (list->mode == 1) {
      PutCode(list, code);
    } else if (row->xDpi == row->yDpi && row->xDpi != lastX && row->yDpi != lastY) {
      PutPair(list, row->xDpi, row->yDpi);
      lastX = row->xDpi;
      lastY = row->yDpi;
    }
  }
  return true;
}

static bool CollectResolutions(DRIVER_CONTEXT *ctx, RES_LIST *list)
{
  if (ctx == NULL) return false;
  LONG showAll = AskShowAll(ctx, KV_EVT_LIST_RESOLUTIONS);
  LONG deviceDpi = ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL);
  const DESC_ITEM_NODE *node = NULL;
  WORD type = ResolutionItemType(ctx, ITEM_kdmDstResolutionW, deviceDpi, &node);
  if (type == DESC_TYPE_PICK_ONE) return ListDpiValues(ctx, node, showAll, list);
  if (type != DESC_TYPE_NUMERIC) return false;
  // A Numeric resolution item has no values: the codes of item 152 list the choices.
  type = ResolutionItemType(ctx, ITEM_kdmDstResolutionBoth, deviceDpi, &node);
  if (type == DESC_TYPE_PICK_ONE) return ListCodeValues(ctx, node, showAll, list);
  if (type != DESC_TYPE_NUMERIC) return false;
  if (list->mode == 0)
    PutPair(list, deviceDpi, deviceDpi);
  else
    PutCode(list, CapResolutionCodeFromDpi(deviceDpi, deviceDpi));
  return true;
}

LONG WINAPI CapListResolutions(DRIVER_CONTEXT *ctx, LONG *out, LONG capacity, int mode)
{
  RES_LIST list = {out, Capacity(out, capacity), mode == 1 ? 1 : 0, 0};
  if (CollectResolutions(ctx, &list) && list.count > 0) return list.count;
  // The one fallback entry replaces whatever was written: the model's default resolution.
  LONG dpi = ctx != NULL && ctx->model != NULL && ctx->model->defaultResolution != 0
                 ? (LONG)ctx->model->defaultResolution
                 : 600;
  list.count = 0;
  if (list.mode == 0)
    PutPair(&list, dpi, dpi);
  else
    PutCode(&list, CapResolutionCodeFromDpi(dpi, dpi));
  return 1;
}

LONG WINAPI CapEnumResolutions(DRIVER_CONTEXT *ctx, LONG *pairs, LONG capacity)
{
  return CapListResolutions(ctx, pairs, capacity, 0);
}

// ---------------------------------------------------------------- extents and switches

// A length limit of the model in 1200-dpi dots as 0.1 mm, rounded up.
static LONG ModelTenths(LONG dots) { return dots <= 0 ? 0 : (LONG)DmDotsToUnits(1, (DWORD)dots, 1200); }

// Keeps a 0.1 mm length inside the custom-size range of the item. The range is asked in
// the display unit, so it applies only while that unit is 0.1 mm.
static LONG ClampToFreeSize(DRIVER_CONTEXT *ctx, WORD itemId, LONG tenths)
{
  LONG min = 0, max = 0;
  if (!ItemIsMetricUnit(ctx) || !ItemGetFreeSizeLimits(ctx, itemId, &min, &max)) return tenths;
  if (tenths < min) tenths = min;
  if (tenths > max) tenths = max;
  return tenths;
}

static DWORD GetExtent(DRIVER_CONTEXT *ctx, POINTS *extent, LONG capCode)
{
  if (ctx == NULL || ctx->model == NULL) return 0;
  const MODEL_RECORD *m = ctx->model;
  bool minimum = capCode == 4;
  LONG width = ModelTenths(minimum ? m->customWidthMin : m->customWidthMax);
  LONG length = ModelTenths(minimum ? m->customLengthMin : m->customLengthMax);
  width = ClampToFreeSize(ctx, ITEM_wdmFreeSizeWidth, width);
  length = ClampToFreeSize(ctx, ITEM_wdmFreeSizeLength, length);
  if (width > 0x7FFF) width = 0x7FFF;
  if (length > 0x7FFF) length = 0x7FFF;
  if (extent != NULL) {
    extent->x = (SHORT)width;
    extent->y = (SHORT)length;
  }
  return (DWORD)width | ((DWORD)length << 16);
}

DWORD WINAPI CapGetMinExtent(DRIVER_CONTEXT *ctx, POINTS *extent, LONG capCode)
{
  return GetExtent(ctx, extent, capCode);
}

DWORD WINAPI CapGetMaxExtent(DRIVER_CONTEXT *ctx, POINTS *extent, LONG capCode)
{
  return GetExtent(ctx, extent, capCode);
}

DWORD WINAPI CapGetOrientationDegrees(DRIVER_CONTEXT *ctx)
{
  return ctx != NULL && ctx->model != NULL ? ctx->model->landscapeRotation : 0;
}

int WINAPI CapHasDuplexUnit(DRIVER_CONTEXT *ctx)
{
  return ItemGetRaw(ctx, ITEM_kdmSourceOptionTypeDuplex, NULL) != 0 ? 1 : 0;
}

int WINAPI CapIsColorDevice(const DEVMODEW *devmode)
{
  DRIVER_CONTEXT *tmpl = CtxGetTemplate();
  const OPTION_ITEM *row = tmpl != NULL ? ItemFindById(tmpl, ITEM_kdmMachineTypeColor) : NULL;
  if (devmode == NULL || row == NULL || KvItemBlock(row) != 1) return 0;
  // The byte lies in the private part: the DEVMODE must reach it by its own sizes.
  DWORD bit = KvItemValueType(row) - KV_VT_BIT0;
  DWORD offset = DmGetBlockOffset(1) + row->offset + bit / 8;
  DWORD extent = (DWORD)devmode->dmSize + devmode->dmDriverExtra;
  if (devmode->dmSize < sizeof(DEVMODEW) || offset >= extent) return 0;
  return (((const BYTE *)devmode)[offset] >> (bit % 8)) & 1;
}
