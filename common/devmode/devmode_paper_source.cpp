// Source paper items from the DEVMODE's paper code.
#include "devmode/devmode_paper.h"

// Provisional: the printable-area lookup that these items need is not there yet, so the
// items keep what they hold.
void WINAPI DmSetSourcePaperItems(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, BYTE *devmode)
{
  (void)paper, (void)itemId, (void)ctx, (void)devmode;
}
