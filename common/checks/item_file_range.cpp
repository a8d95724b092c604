// Numbers read from settings files are held to their item's range before they are stored:
// the field's own width, the description node's limits, the model's limits and the fixed
// ranges of the check table. A number outside is corrected, never stored cut to the field.
#include "blob/desc_runtime.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "model/model.h"
#include "tables/item_ids.h"

namespace {

// The last preset number: presets 0-15 are stored.
constexpr LONG kLastPresetNo = 15;

// How a number outside the item's range is corrected.
enum Repair {
  REPAIR_FIELD_CLAMP,   // the nearer end of what the field holds
  REPAIR_CLAMP,         // the nearer end of the item's range
  REPAIR_REPLACEMENT,   // a fixed value (the model's default, the check table's reset value)
  REPAIR_DESC_DEFAULT,  // the description's default of the item
};

struct FileRange {
  LONGLONG min;
  LONGLONG max;
  Repair repair;
  LONG replacement;
};

// The numbers the item's field holds, by value type; a one-bit item holds 0 or 1.
bool FieldRange(const OPTION_ITEM *row, LONGLONG *min, LONGLONG *max)
{
  switch (KvItemValueType(row)) {
    case KV_VT_S8: *min = -128, *max = 127; return true;
    case KV_VT_S16: *min = -32768, *max = 32767; return true;
    case KV_VT_S32: *min = -2147483647LL - 1, *max = 2147483647LL; return true;
    case KV_VT_U8: *min = 0, *max = 255; return true;
    case KV_VT_U16: *min = 0, *max = 65535; return true;
    case KV_VT_U32: *min = 0, *max = 4294967295LL; return true;
    default: break;
  }
  if (KvItemIsBit(row)) {
    *min = 0, *max = 1;
    return true;
  }
  return false;
}

// The number as the item's field reads it back: an unsigned 32-bit item also takes the
// negative numbers its reader has always taken ("-1" for 4294967295).
LONGLONG AsFieldNumber(const OPTION_ITEM *row, LONGLONG number)
{
  if (KvItemValueType(row) == KV_VT_U32 && number < 0 && number >= -2147483647LL - 1) return number + 4294967296LL;
  return number;
}

// The width (false: length) item of a custom size, in 1200-dpi dots: the DEVMODE's and the
// printed size's, the current and the source size's, and those of the ten stored slots.
bool IsCustomSizeDimension(WORD id, bool *width)
{
  if (id == ITEM_kdmPaperFreeSizeWidth || id == ITEM_kdmPrintFreeSizeWidth || id == ITEM_wdmFreeSizeWidth ||
      id == ITEM_wdmSrcFreeSizeWidth) {
    *width = true;
    return true;
  }
  if (id == ITEM_kdmPaperFreeSizeLength || id == ITEM_kdmPrintFreeSizeLength || id == ITEM_wdmFreeSizeLength ||
      id == ITEM_wdmSrcFreeSizeLength) {
    *width = false;
    return true;
  }
  if (id >= ITEM_wdmFreeSize1Width && id <= ITEM_wdmFreeSize10Orient) {
    int field = (id - ITEM_wdmFreeSize1Width) % 4;  // width, length, tray, orientation
    *width = field == 0;
    return field <= 1;
  }
  return false;
}

// The [min, max] of the Numeric node bound to the item of an option row (the rows of the
// public scale and copies), as a merged DEVMODE takes them; false without such a node.
bool PublicNumericRange(DRIVER_CONTEXT *ctx, DWORD optionRow, LONGLONG *min, LONGLONG *max)
{
  const DESC_ITEM_NODE *node = DescGetItemNodeByIndex(ctx, optionRow);
  if (node == NULL || (DESC_FIELD16(node, DESC_ITEM_NODE, type) & ~DESC_TYPE_FLAGS) != DESC_TYPE_NUMERIC) return false;
  const void *numeric = DescGetItemValues(DESC_FIELD16(node, DESC_ITEM_NODE, itemId), ctx, NULL);
  if (numeric == NULL) return false;
  *min = (LONG)DESC_FIELD32(numeric, DESC_NUMERIC_VALUE, minimum);
  *max = (LONG)DESC_FIELD32(numeric, DESC_NUMERIC_VALUE, maximum);
  return true;
}

// The range of a Numeric or Boolean node that the description binds to the item; false for
// an item it does not check, and for list and text nodes (their values are checked against
// the rules when the settings are merged or checked, not one by one while a file is read).
bool NodeRange(DRIVER_CONTEXT *ctx, const OPTION_ITEM *row, LONGLONG *min, LONGLONG *max)
{
  if (row->symbolKey == 0) return false;
  const DESC_ITEM_NODE *node = DescFindItemNode(row->id, ctx);
  if (node == NULL) return false;
  WORD type = (WORD)(DESC_FIELD16(node, DESC_ITEM_NODE, type) & ~DESC_TYPE_FLAGS);
  if (type == DESC_TYPE_BOOLEAN) {
    *min = 0, *max = 1;
    return true;
  }
  if (type != DESC_TYPE_NUMERIC) return false;
  const void *numeric = DESC_FIELDPTR(node, DESC_ITEM_NODE, values);
  if (numeric == NULL) return false;
  *min = (LONG)DESC_FIELD32(numeric, DESC_NUMERIC_VALUE, minimum);
  *max = (LONG)DESC_FIELD32(numeric, DESC_NUMERIC_VALUE, maximum);
  return true;
}

// The item's own range and its repair; false when only the field's width bounds it.
bool ItemRange(DRIVER_CONTEXT *ctx, const OPTION_ITEM *row, FileRange *r)
{
  const MODEL_RECORD *m = ctx->model;
  bool width = false;
  if (m != NULL && IsCustomSizeDimension(row->id, &width)) {
    // 0 is a slot without a size, and a size below the model's minimum is raised to it
    // where the size is used (the paper fit); past the maximum no paper path takes it.
    r->min = 0;
    r->max = width ? m->customWidthMax : m->customLengthMax;
    r->repair = REPAIR_CLAMP;
    return r->max > 0;
  }
  if (m != NULL && row->id == ITEM_dmScale) {
    r->min = 1, r->max = 1000;
    PublicNumericRange(ctx, ITEM_dmScale - 1, &r->min, &r->max);
    r->repair = REPAIR_REPLACEMENT;
    r->replacement = m->scale;
    return true;
  }
  if (m != NULL && row->id == ITEM_dmCopies) {
    r->min = m->minCopies, r->max = m->maxCopies;
    PublicNumericRange(ctx, ITEM_dmCopies - 1, &r->min, &r->max);
    r->repair = REPAIR_REPLACEMENT;
    r->replacement = m->copies;
    return true;
  }
  if (row->id == ITEM_kdmPresetNo) {
    // Presets 0-15, and -1 (255 in the signed byte) for none.
    r->min = -1, r->max = kLastPresetNo;
    r->repair = REPAIR_REPLACEMENT;
    r->replacement = -1;
    return true;
  }
  if (NodeRange(ctx, row, &r->min, &r->max)) {
    r->repair = REPAIR_DESC_DEFAULT;
    return true;
  }
  LONG min = 0, max = 0, reset = 0;
  if (ItemGetCheckRange(row->id, &min, &max, &reset)) {
    r->min = min, r->max = max;
    r->repair = REPAIR_REPLACEMENT;
    r->replacement = reset;
    return true;
  }
  return false;
}

}  // namespace

int WINAPI ItemStoreFileNumber(DRIVER_CONTEXT *ctx, OPTION_ITEM *row, LONGLONG number, BOOL isNumber)
{
  if (ctx == NULL || row == NULL || ItemGetAddress(ctx, row) == NULL) return KV_FILE_NUMBER_CORRECTED;
  LONGLONG fieldMin = 0, fieldMax = 0;
  if (!FieldRange(row, &fieldMin, &fieldMax)) return KV_FILE_NUMBER_CORRECTED;
  FileRange range = {fieldMin, fieldMax, REPAIR_FIELD_CLAMP, 0};
  if (ItemRange(ctx, row, &range)) {
    // The item's range never reaches past what its field holds.
    if (range.min < fieldMin) range.min = fieldMin;
    if (range.max > fieldMax) range.max = fieldMax;
  }
  // A clamped size takes the file's number as written: "-1" is below the range, not the
  // largest unsigned number.
  LONGLONG value = range.repair == REPAIR_CLAMP ? number : AsFieldNumber(row, number);
  bool inField = isNumber && value >= fieldMin && value <= fieldMax;
  if (inField && value >= range.min && value <= range.max) {
    ItemWriteRaw(ctx, row, (LONG)value);
    return KV_FILE_NUMBER_TAKEN;
  }
  switch (range.repair) {
    case REPAIR_FIELD_CLAMP:
    case REPAIR_CLAMP:
      // Text that is no number has no nearer end: the item keeps its value.
      if (isNumber) ItemWriteRaw(ctx, row, (LONG)(value < range.min ? range.min : range.max));
      break;
    case REPAIR_REPLACEMENT: ItemWriteRaw(ctx, row, range.replacement); break;
    case REPAIR_DESC_DEFAULT: ItemResetToDescDefault(ctx, row); break;
  }
  return KV_FILE_NUMBER_CORRECTED;
}
