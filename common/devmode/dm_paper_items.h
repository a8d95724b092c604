// The public DEVMODE fields for resolution, duplex and media kept in step with the private
// items that hold the same choices in the device's form, and the tray of a custom paper.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Items 17 (dmYResolution), 38 and 39 (the device resolution) := item 14 (dmPrintQuality)
// when it is a resolution in dots per inch (above 0); a print-quality code (0 or a negative
// DMRES_ value) is not a resolution and leaves them as they are. Then the pending pass mode
// and the resolution code of item 152 follow (DmSetResolutionCode). devmode is not read.
void WINAPI DmSyncResolutionFromPrintQuality(DEVMODEW *devmode, DRIVER_CONTEXT *ctx);
// Items 39, 14 and 17 := item 38 when the device resolution is set (above 0); nothing
// otherwise. devmode is not read.
void WINAPI DmSyncResolutionFromDevice(DEVMODEW *devmode, DRIVER_CONTEXT *ctx);
// devmode's dmDuplex from the duplex switch (item 58) and binding type (item 94): simplex
// when off or without type; the top-binding group turns on the short edge in portrait and
// the long edge in landscape, any other type the reverse. With the custom function of item
// 1239 set, a dmDuplex that is not already duplex is kept. Nothing for a NULL argument.
void WINAPI DmSyncDuplexFromItems(DEVMODEW *devmode, DRIVER_CONTEXT *ctx);
// devmode's dmMediaType := item 54 (kdmMediaType). Nothing for a NULL argument.
void WINAPI DmSyncMediaTypeFromItem(DEVMODEW *devmode, DRIVER_CONTEXT *ctx);

// The tray of a custom paper (384-393, 256, 448), from its slot: apply 0 answers the slot's
// tray; apply 1 makes it the paper source (item 13) and answers 1. 0 for any other paper, and
// for a slot without a tray (0), which is never made the source.
LONG WINAPI ListGetFreeSizeTray(DRIVER_CONTEXT *ctx, SHORT paper, BYTE apply);

KV_END_DECLS
