// The re-derivation of the settings that follow others, after settings were set without
// their own consequences (a value tried for availability, a whole PJL text applied).
#include "devmode/devmode_paper.h"
#include "items/item_store.h"
#include "model/state_items.h"
#include "rules/pjl_values.h"
#include "rules/rule_cond.h"
#include "rules/rule_eval.h"
#include "tables/item_ids.h"

LONG WINAPI RuleRefreshDerivedSettings(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  // A page too large for another resolution is printed at 600 dpi.
  if (RuleGetResolutionCap(ctx, 0) == 600) DmSetPrintQuality(600, ctx);
  ItemSetRaw(ctx, ITEM_dmFields, (LONG)((DWORD)ItemGetRaw(ctx, ITEM_dmFields, NULL) | (DWORD)DM_PRINTQUALITY));
  DEVMODEW *devmode = (DEVMODEW *)ctx->work;
  DmSyncResolutionFromPrintQuality(devmode, ctx);
  DmSetSourcePaperItems((SHORT)ItemGetRaw(ctx, ITEM_dmPaperSize, NULL), ITEM_dmPaperSize, ctx, devmode);
  DmSetOutputPaperItems((SHORT)ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL), ITEM_kdmOutPaperSize, ctx, devmode);
  RuleRunAllItemTransactions(ctx);
  return 0;
}
