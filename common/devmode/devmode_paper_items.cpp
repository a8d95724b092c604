// Items derived from the DEVMODE. The paper and resolution items are left for the paper
// geometry; what is derived here needs only the settings and the platform.
#include "devmode/devmode_paper_items.h"
#include "items/item_store.h"
#include "os/os.h"
#include "blob/desc_runtime.h"
#include "rules/rule_eval.h"
#include "tables/item_ids.h"

void WINAPI DmRefreshDerivedItems(BYTE *devmode, DRIVER_CONTEXT *ctx, DWORD type)
{
  (void)devmode;
  (void)type;
  if (ctx == NULL || ctx->work == NULL) return;
  ItemSetRaw(ctx, ITEM_KPD_kdmPresentUIMode, ItemGetRaw(ctx, ITEM_kdmUIModeChange, NULL) != 0 ? 1 : 0);
  ItemSetRaw(ctx, ITEM_KPD_kdmBidiSupport, OsPrinterBidiEnabled(ctx) ? 1 : 0);
  ItemSetRaw(ctx, ITEM_KPD_kdmServerClientMode, OsPrinterIsConnection(ctx) ? 1 : 0);
  ItemSetRaw(ctx, ITEM_wdmUIStart, 0);
}

int WINAPI DmCanCollate(DRIVER_CONTEXT *ctx)
{
  const DESC_ITEM_NODE *node = DescFindItemNode(ITEM_kdmSortType, ctx);
  if (node == NULL) return 0;
  WORD type = (WORD)(DESC_FIELD16(node, DESC_ITEM_NODE, type) & ~DESC_TYPE_FLAGS);
  if ((type & 0xFF) != DESC_TYPE_PICK_ONE) return 0;
  OPTION_ITEM *row = ItemFindById(ctx, ITEM_kdmSortType);
  for (const BYTE *v = (const BYTE *)DESC_FIELDPTR(node, DESC_ITEM_NODE, values); v != NULL;
       v = DESC_FIELDPTR(v, DESC_VALUE_NODE, next)) {
    WORD valueId = DESC_FIELD16(v, DESC_VALUE_NODE, valueId);
    if (ItemValueIdToStored(ctx, row, valueId) == 0) continue;
    if (RuleIsValueHidden(node, valueId, ctx) == 0 && RuleIsValueDisabled(node, valueId, ctx) == 0) return 1;
  }
  return 0;
}
