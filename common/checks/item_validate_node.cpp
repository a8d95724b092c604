// The node check of an item's stored value and the repair of a value it rejects. The
// configurations without property sheets build their own versions of these two functions.
#include "checks/item_check.h"
#include "items/item_store.h"
#include "blob/desc_runtime.h"
#include "rules/rule_eval.h"
#include "tables/item_ids.h"

// Items whose values the rules only hide while their function switch is on, and the switch.
static const struct {
  WORD item;
  WORD switchItem;
} kSwitchedItems[] = {
    {ITEM_kdmDuplexType, ITEM_kdmFuncSelectDuplex},
    {ITEM_kdmPunchType, ITEM_kdmFuncSelectPunch},
    {ITEM_kdmStapleType, ITEM_kdmFuncSelectStaple},
    {ITEM_kdmFoldType, ITEM_kdmFuncSelectFold},
    {ITEM_kdmCopyProtectTileMask, ITEM_kdmCopyProtectFuncSelectMaskPattern},
};

// Whether a function switch is in force: the description has its node, the rules neither
// hide nor disable the whole option, and the switch is on.
static bool SwitchInForce(DRIVER_CONTEXT *ctx, WORD switchItem)
{
  const DESC_ITEM_NODE *node = DescFindItemNode(switchItem, ctx);
  if (node == NULL) return false;
  if (RuleIsValueHidden(node, 0, ctx) != 0 || RuleIsValueDisabled(node, 0, ctx) != 0) return false;
  return ItemGetRaw(ctx, switchItem, NULL) != 0;
}

// The first layout of an N-up kind of one page per sheet for the sheet's orientation.
static LONG SinglePageLayout(DRIVER_CONTEXT *ctx) { return ItemGetRaw(ctx, ITEM_dmOrientation, NULL) == 1 ? 1 : 3; }

// Item 92: the N-up type decides the N-up kind (item 91). A type of another kind moves the
// kind to it; a kind of one page per sheet keeps the first layout of the orientation when
// the type's own layout is hidden. Nothing changes while N-up is off or ruled out.
static void AdjustNupKind(DRIVER_CONTEXT *ctx, const DESC_ITEM_NODE *node, DWORD value, LONG valueId)
{
  if (!SwitchInForce(ctx, ITEM_kdmFuncSelectNup)) return;
  LONG kind = ItemGetRaw(ctx, ITEM_kdmNUPPOSTKind, NULL);
  LONG n = ItemGetNupKind(value, NULL);
  if (n == 0) return;  // not an N-up type: no kind to move to
  if (kind == 1) {
    if (n == 1) {
      if (RuleIsValueHidden(node, (WORD)valueId, ctx) != 0) ItemSetRaw(ctx, ITEM_kdmNUPType, SinglePageLayout(ctx));
    } else {
      ItemSetRaw(ctx, ITEM_kdmNUPPOSTKind, n);
    }
  } else if (kind == 2 || kind == 3 || kind == 4 || kind == 9) {
    if (n != kind) {
      ItemSetRaw(ctx, ITEM_kdmNUPPOSTKind, n);
      if (n == 1) ItemSetRaw(ctx, ITEM_kdmNUPType, SinglePageLayout(ctx));
    }
  }
}

// Rules of a listed value by item: the answer 1, 4 or 5.
static int RuleAnswer(OPTION_ITEM *row, WORD itemId, DWORD value, LONG valueId, DRIVER_CONTEXT *ctx,
                      const DESC_ITEM_NODE *node)
{
  (void)row;
  if (itemId == ITEM_kdmNUPType) {
    AdjustNupKind(ctx, node, value, valueId);
    return KV_NODE_ACCEPTED;
  }
  for (const auto &s : kSwitchedItems) {
    if (s.item != itemId) continue;
    if (SwitchInForce(ctx, s.switchItem) && RuleIsValueHidden(node, (WORD)valueId, ctx) != 0) return KV_NODE_HIDDEN;
    return KV_NODE_ACCEPTED;
  }
  if ((itemId == ITEM_kdmColorMatchingMode ||
       (itemId >= ITEM_wdmColorMatchingText && itemId <= ITEM_wdmColorMatchingImage)) &&
      value >= 200 && value <= 215)
    return KV_NODE_ACCEPTED;  // the colour-matching entries of the user's own list
  if (RuleIsValueHidden(node, (WORD)valueId, ctx) != 0) return KV_NODE_HIDDEN;
  if (RuleIsValueDisabled(node, (WORD)valueId, ctx) != 0) return KV_NODE_GREYED;
  return KV_NODE_ACCEPTED;
}

int WINAPI ItemValidateAgainstNode(OPTION_ITEM *row, WORD itemId, DWORD value, DRIVER_CONTEXT *ctx,
                                   const DESC_ITEM_NODE *node)
{
  if (node == NULL) return KV_NODE_REJECTED;
  WORD type = (WORD)(DESC_FIELD16(node, DESC_ITEM_NODE, type) & ~DESC_TYPE_FLAGS);
  const void *values = DESC_FIELDPTR(node, DESC_ITEM_NODE, values);
  switch (type) {
    case DESC_TYPE_PICK_ONE:
    case DESC_TYPE_PICK_MANY:
    case DESC_TYPE_PICK_PAGE:
    case DESC_TYPE_PICK_SLOT: {
      LONG valueId = 0;
      if (!ItemStoredToListValueId(ctx, row, value, &valueId)) return KV_NODE_REJECTED;
      if (values == NULL) return row != NULL && row->xlat != NULL && valueId != 0 ? KV_NODE_ACCEPTED : KV_NODE_REJECTED;
      if (!ItemValueInList(values, (SHORT)valueId)) return KV_NODE_REJECTED;
      return RuleAnswer(row, itemId, value, valueId, ctx, node);
    }
    case DESC_TYPE_BOOLEAN: return ItemIsBoolValue(value) ? KV_NODE_ACCEPTED : KV_NODE_REJECTED;
    case DESC_TYPE_NUMERIC: return ItemIsInRange(values, (LONG)value) ? KV_NODE_ACCEPTED : KV_NODE_REJECTED;
    default: return KV_NODE_ACCEPTED;
  }
}

// The repair of a rejected preset number. The field is a signed byte that holds a preset
// 0-15 or -1 (255) for none; a value that is neither is set to preset 0, the table's
// replacement. Values 16-127 cannot be told from a preset a later driver may add and stay.
static void RepairPresetNo(DRIVER_CONTEXT *ctx, OPTION_ITEM *row, DWORD value)
{
  DWORD low = value & 0xFFu;
  if (low < 128 || low == 0xFFu) return;
  ItemWriteRaw(ctx, row, 0);
}

int WINAPI ItemValidateOrReset(WORD itemId, DWORD value, DRIVER_CONTEXT *ctx)
{
  OPTION_ITEM *row = ItemFindById(ctx, itemId);
  if (row == NULL || row->symbolKey == 0) return KV_CHECK_UNBOUND;
  const DESC_ITEM_NODE *node = DescFindItemNode(itemId, ctx);
  if (node == NULL || DescGetItemTypeRaw(itemId, ctx) == DESC_TYPE_UNKNOWN) return KV_CHECK_NO_NODE;
  int answer = ItemValidateAgainstNode(row, itemId, value, ctx, node);
  if (answer == KV_NODE_ACCEPTED || answer == KV_NODE_GREYED) return 1;
  if (itemId == ITEM_kdmPresetNo)
    RepairPresetNo(ctx, row, value);
  else if (ctx->state != NULL && (ctx->state->mergeFlags & KV_MERGE_REQUEST_APPLIED) != 0)
    ItemClampScaleOrReset(ctx, row, itemId, (LONG)value);
  else
    ItemResetToDescDefault(ctx, row);
  return 1;
}
