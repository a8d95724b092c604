// Checks of stored values against description nodes without side effects, the repairs
// shared by the validators, and the small predicates they are built of.
#include "checks/item_check.h"
#include "items/item_store.h"
#include "blob/desc_runtime.h"
#include "rules/rule_eval.h"
#include "tables/item_ids.h"

static bool IsListType(WORD type)
{
  return type == DESC_TYPE_PICK_ONE || type == DESC_TYPE_PICK_MANY || type == DESC_TYPE_PICK_PAGE ||
         type == DESC_TYPE_PICK_SLOT;
}

static WORD MaskedNodeType(const DESC_ITEM_NODE *node)
{
  return (WORD)(DESC_FIELD16(node, DESC_ITEM_NODE, type) & ~DESC_TYPE_FLAGS);
}

int WINAPI ItemStoredToListValueId(DRIVER_CONTEXT *ctx, const OPTION_ITEM *row, DWORD value, LONG *valueId)
{
  LONG id = (LONG)value;
  if (row != NULL && row->xlat != NULL) {
    id = ItemStoredToValueId(ctx, row, (LONG)value);
    if (id == (LONG)value && !ItemIsStoredValueMapped(ctx, row, (LONG)value)) return 0;
  }
  // Description value IDs are 16-bit; a wider number must not match an ID by its low bits.
  if (id < -32768 || id > 0xFFFF) return 0;
  if (valueId != NULL) *valueId = id;
  return 1;
}

int WINAPI ItemValueInList(const void *list, SHORT valueId)
{
  for (const BYTE *v = (const BYTE *)list; v != NULL; v = DESC_FIELDPTR(v, DESC_VALUE_NODE, next)) {
    if ((SHORT)DESC_FIELD16(v, DESC_VALUE_NODE, valueId) == valueId) return 1;
  }
  return 0;
}

int WINAPI ItemIsBoolValue(DWORD value) { return value == 0 || value == 1; }

int WINAPI ItemIsInRange(const void *numeric, LONG value)
{
  if (numeric == NULL) return 0;
  LONG lo = (LONG)DESC_FIELD32(numeric, DESC_NUMERIC_VALUE, minimum);
  LONG hi = (LONG)DESC_FIELD32(numeric, DESC_NUMERIC_VALUE, maximum);
  return lo <= value && value <= hi;
}

int WINAPI ItemGetNupKind(DWORD nupType, DWORD *layout)
{
  if (layout != NULL) *layout = nupType == 3 ? 2 : 1;
  switch (nupType) {
    case 1:
    case 2:
    case 3: return 1;
    case 33:
    case 34:
    case 37:
    case 38: return 2;
    case 65:
    case 66:
    case 69:
    case 70: return 3;
    case 97:
    case 98:
    case 101:
    case 102: return 4;
    case 0x8001:
    case 0x8002:
    case 0x8003: return 9;
    default: return 0;
  }
}

int WINAPI ItemCheckNodeValue(OPTION_ITEM *row, WORD itemId, DWORD value, DRIVER_CONTEXT *ctx)
{
  const DESC_ITEM_NODE *node = DescFindItemNode(itemId, ctx);
  if (node == NULL) return 0;
  WORD type = MaskedNodeType(node);
  const void *values = DESC_FIELDPTR(node, DESC_ITEM_NODE, values);
  if (IsListType(type)) {
    LONG valueId = 0;
    if (!ItemStoredToListValueId(ctx, row, value, &valueId)) return 0;
    if (values == NULL) return row != NULL && row->xlat != NULL && valueId != 0;
    if (!ItemValueInList(values, (SHORT)valueId)) return 0;
    return RuleIsValueHidden(node, (WORD)valueId, ctx) == 0;
  }
  if (type == DESC_TYPE_BOOLEAN) return ItemIsBoolValue(value);
  if (type == DESC_TYPE_NUMERIC) return ItemIsInRange(values, (LONG)value);
  return 1;
}

// The option row of an item the description checks, or the answer 2 or 3 when it does not.
static int BoundRow(WORD itemId, DRIVER_CONTEXT *ctx, OPTION_ITEM **row)
{
  *row = ItemFindById(ctx, itemId);
  if (*row == NULL || (*row)->symbolKey == 0) return KV_CHECK_UNBOUND;
  if (DescFindItemNode(itemId, ctx) == NULL || DescGetItemTypeRaw(itemId, ctx) == DESC_TYPE_UNKNOWN)
    return KV_CHECK_NO_NODE;
  return 1;
}

int WINAPI ItemCheckValueByNode(WORD itemId, DWORD value, DRIVER_CONTEXT *ctx)
{
  OPTION_ITEM *row = NULL;
  int bound = BoundRow(itemId, ctx, &row);
  if (bound != 1) return bound;
  return ItemCheckNodeValue(row, itemId, value, ctx);
}

int WINAPI ItemValidateMappedOrReset(WORD itemId, DWORD value, DRIVER_CONTEXT *ctx)
{
  OPTION_ITEM *row = NULL;
  int bound = BoundRow(itemId, ctx, &row);
  if (bound != 1) return bound;
  if (ItemCheckNodeValue(row, itemId, value, ctx)) return 1;
  if (IsListType(DescGetItemType(itemId, ctx)) && row->xlat != NULL)
    return ItemIsStoredValueMapped(ctx, row, (LONG)value);
  if (itemId == ITEM_kdmPresetNo) {
    DWORD low = value & 0xFFu;  // a preset 0-15 or none (-1) stays; see ItemValidateOrReset
    if (low >= 128 && low != 0xFFu) ItemWriteRaw(ctx, row, 0);
  } else {
    ItemResetToDescDefault(ctx, row);
  }
  return 1;
}

void WINAPI ItemClampScaleOrReset(DRIVER_CONTEXT *ctx, OPTION_ITEM *row, WORD itemId, LONG value)
{
  if (itemId == ITEM_kdmScaleH || itemId == ITEM_kdmScaleV) {
    const DESC_ITEM_NODE *node = DescFindItemNode(itemId, ctx);
    const void *record = node != NULL ? DESC_FIELDPTR(node, DESC_ITEM_NODE, values) : NULL;
    if (record != NULL && MaskedNodeType(node) == DESC_TYPE_NUMERIC) {
      LONG lo = (LONG)DESC_FIELD32(record, DESC_NUMERIC_VALUE, minimum);
      LONG hi = (LONG)DESC_FIELD32(record, DESC_NUMERIC_VALUE, maximum);
      if (value < lo) {
        ItemWriteRaw(ctx, row, lo);
        return;
      }
      if (value > hi) {
        ItemWriteRaw(ctx, row, hi);
        return;
      }
    }
  }
  ItemResetToDescDefault(ctx, row);
}

// ItemSetDefault writes number and bit items through the translation and loads the
// resource string of a text item's default, so a value ID is never taken for a text's
// address.
void WINAPI ItemResetToDescDefault(DRIVER_CONTEXT *ctx, OPTION_ITEM *row)
{
  if (row == NULL) return;
  ItemSetDefault(ctx, row->id, (LONG)DescGetItemDefault(row->id, ctx));
}
