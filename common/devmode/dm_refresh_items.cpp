// The items derived from a DEVMODE recomputed after it changed, and the public fields that
// follow the items.
#include "devmode/dm_paper_items.h"

#include "items/item_store.h"
#include "model/model.h"
#include "os/os.h"
#include "tables/item_ids.h"

void WINAPI DmRefreshDerivedItems(DEVMODEW *devmode, DRIVER_CONTEXT *ctx, LONG type)
{
  if (devmode == NULL || ctx == NULL) return;
  DmSyncResolutionFromDevice(devmode, ctx);
  DmSetSourcePaperItems(devmode->dmPaperSize, ITEM_dmPaperSize, ctx, devmode);
  DmSetOutputPaperItems((SHORT)ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL), ITEM_kdmOutPaperSize, ctx, devmode);
  ItemSetRaw(ctx, ITEM_KPD_kdmPresentUIMode, ItemGetRaw(ctx, ITEM_kdmUIModeChange, NULL) != 0 ? 1 : 0);
  ItemSetRaw(ctx, ITEM_KPD_kdmBidiSupport, OsPrinterBidiEnabled(ctx) ? 1 : 0);
  ItemSetRaw(ctx, ITEM_KPD_kdmServerClientMode, OsPrinterIsConnection(ctx) ? 1 : 0);
  if (type == 1 || type == 3 || type == 4) DmSetDeviceInfoString(ctx);
  ItemSetRaw(ctx, ITEM_wdmUIStart, 0);
}

void WINAPI DmSyncPublicFieldsFromItems(DEVMODEW *devmode, DRIVER_CONTEXT *ctx, LONG type)
{
  if (devmode == NULL || ctx == NULL) return;
  DmRefreshDerivedItems(devmode, ctx, type);
  DmSyncDuplexFromItems(devmode, ctx);
  DmSyncMediaTypeFromItem(devmode, ctx);
}
