// Computed condition items: answers derived from several settings at once.
#include "rule_cond.h"
#include "item_store.h"

// The sheet is landscape when the orientation is not portrait, except that the N-up layouts
// 1-18 and, with a duplex unit installed and duplex on, the duplex layouts above 16 turn
// the sheet: then a portrait orientation gives a landscape sheet.
int WINAPI RuleCondPrintPaperOrient(DRIVER_CONTEXT *ctx)
{
  LONG orientation = ItemGetRaw(ctx, 7, NULL);
  LONG nupType = ItemGetRaw(ctx, 92, NULL);
  if (ItemGetRaw(ctx, 56, NULL) == 1 && nupType >= 1 && nupType <= 18) return orientation == 1;
  if (ItemGetRaw(ctx, 10014, NULL) == 1 && ItemGetRaw(ctx, 58, NULL) == 1 && ItemGetRaw(ctx, 94, NULL) > 16)
    return orientation == 1;
  return orientation != 1;
}
