// The paper, resolution and collation items that follow the DEVMODE's public fields: the
// source and output paper items in dots at the device resolution, the resolution items
// that follow dmPrintQuality, and whether the job can be collated.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Source paper items (40-45) for the paper code, whose value ID is looked up in the given
// item's translation table (8 = dmPaperSize), without the landscape swap of custom sizes.
// Provisional: changes nothing yet; the paper items keep their values.
void WINAPI DmSetSourcePaperItems(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, BYTE *devmode);
// Output paper items (47-52, 596, 597) for the output paper code of the given item (46),
// without the landscape swap. Provisional: changes nothing yet.
void WINAPI DmSetOutputPaperItems(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, BYTE *devmode);
// dmYResolution (17) and the device resolution items (38, 39) := dmPrintQuality (14), then
// the pending pass mode and the resolution code follow (DmSetResolutionCode). A
// dmPrintQuality that is a resolution code (0 or negative) is no dots-per-inch value:
// nothing changes then. The DEVMODE argument is the context's own, whose items are used.
void WINAPI DmSyncResolutionFromPrintQuality(BYTE *devmode, DRIVER_CONTEXT *ctx);

// 1 when the job can be collated: the sort type (item 119) offers a choice other than
// sorting off (PjlIsSortSelectable); else 0, and 0 without context.
int WINAPI DmCanCollate(DRIVER_CONTEXT *ctx);

KV_END_DECLS
