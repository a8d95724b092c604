// Items derived from the DEVMODE. The paper and resolution items are left for the paper
// geometry; what is derived here needs only the settings and the platform.
#include "devmode/devmode_paper_items.h"
#include "items/item_store.h"
#include "os/os.h"
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
