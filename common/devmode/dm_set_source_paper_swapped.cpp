// Source paper items with the landscape exchange of custom sizes (after a paper change).
#include "devmode/dm_paper_items.h"

void WINAPI DmSetSourcePaperItemsSwapped(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, DEVMODEW *devmode)
{
  DmComputeSourcePaperItems(ctx, paper, itemId, devmode, 1);
}
