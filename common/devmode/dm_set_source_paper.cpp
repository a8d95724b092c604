// Source paper items without the landscape exchange of custom sizes.
#include "devmode/dm_paper_items.h"

void WINAPI DmSetSourcePaperItems(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, DEVMODEW *devmode)
{
  DmComputeSourcePaperItems(ctx, paper, itemId, devmode, 0);
}
