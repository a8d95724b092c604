// The resolution items that follow dmPrintQuality.
#include "devmode/devmode_paper.h"
#include "model/model.h"
#include "model/state_items.h"

void WINAPI DmSyncResolutionFromPrintQuality(BYTE *devmode, DRIVER_CONTEXT *ctx)
{
  (void)devmode;
  if (ctx == NULL) return;
  LONG quality = DmGetPrintQuality(ctx);
  if (quality <= 0) return;  // DMRES_ codes are no resolution in dots per inch
  DmSetYResolution(quality, ctx);
  DmSetDeviceResolutionX(quality, ctx);
  DmSetDeviceResolutionY(quality, ctx);
  DmSetResolutionCode((DWORD)quality, ctx);
}
