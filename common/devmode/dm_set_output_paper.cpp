// Output paper items without the landscape exchange of custom sizes.
#include "devmode/dm_paper_items.h"

void WINAPI DmSetOutputPaperItems(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, DEVMODEW *devmode)
{
  DmComputeOutputPaperItems(ctx, paper, itemId, devmode, 0);
}
