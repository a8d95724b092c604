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

// Paper items: items 40-45 (source paper length, width, printable length and width, left
// and top offset, in dots at the device resolution) and 47-52 (the same for the output
// paper), from the description's paper sizes and printable areas or, for custom papers
// (384-393, 256, 448), from their slots in 1200-dpi dots. Lengths that an offset would take
// below zero are 0.
// Source paper items of paper code paper (a value of item itemId, normally 8): a custom
// paper from its slot, kept inside the model's custom-size limits, exchanged for a landscape
// devmode when swap is set; item 85 marks a size too large for the DEVMODE's paper fields;
// devmode's dmPaperLength and dmPaperWidth take the size unless a module answers event 45.
// The slot is also copied into the source custom-size items (823-827). A standard paper
// needs the description to offer it (DmValidatePaperSize: listed and not hidden) and its
// printable area at the current resolution and orientation; devmode's paper fields then
// take the description's size. Nothing otherwise.
void WINAPI DmComputeSourcePaperItems(DRIVER_CONTEXT *ctx, SHORT paper, WORD itemId, DEVMODEW *devmode, int swap);
// Output paper items of output code paper (a value of item itemId, normally 46): items 596
// and 597 := the output paper's size; 1024 stands for the document's paper (a custom
// document paper copies items 40-45); a custom paper from its slot without limits,
// exchanged for a landscape devmode when swap is set, the slot copied into the custom-size
// items (818-822); a standard paper from the description. 1025 and 1026 (fit to A4 or
// Letter) without a paper of their own in the description print on the region's default
// paper. Nothing for a standard paper without a printable area.
void WINAPI DmComputeOutputPaperItems(DRIVER_CONTEXT *ctx, SHORT paper, WORD itemId, DEVMODEW *devmode, int swap);
// The two source variants and the two output variants: without and with the landscape
// exchange of custom sizes.
void WINAPI DmSetSourcePaperItems(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, DEVMODEW *devmode);
void WINAPI DmSetSourcePaperItemsSwapped(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, DEVMODEW *devmode);
void WINAPI DmSetOutputPaperItems(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, DEVMODEW *devmode);
void WINAPI DmSetOutputPaperItemsSwapped(SHORT paper, WORD itemId, DRIVER_CONTEXT *ctx, DEVMODEW *devmode);
// Source paper items of the custom size in devmode's dmPaperLength and dmPaperWidth (0.1 mm),
// at the print quality (item 14) when it is a resolution, else at the device resolution
// (item 38); nothing when neither is.
void WINAPI DmSetCustomPaperItems(DEVMODEW *devmode, DRIVER_CONTEXT *ctx);

// Recomputes the items derived from devmode: the resolution items from the device
// resolution, the source paper items of its dmPaperSize, the output paper items of item 46,
// the state items of the interface mode, bidi and connection (615-617), for types 1, 3 and
// 4 the device-information text, and item 892 := 0. Nothing for a NULL argument.
void WINAPI DmRefreshDerivedItems(DEVMODEW *devmode, DRIVER_CONTEXT *ctx, LONG type);
// DmRefreshDerivedItems, then devmode's dmDuplex and dmMediaType from their items.
void WINAPI DmSyncPublicFieldsFromItems(DEVMODEW *devmode, DRIVER_CONTEXT *ctx, LONG type);

// 1 for the papers that have a custom-size slot: 384-393, 256 and 448.
int WINAPI DmIsSlotPaper(LONG paper);

// The tray of a custom paper (384-393, 256, 448), from its slot: apply 0 answers the slot's
// tray; apply 1 makes it the paper source (item 13) and answers 1. 0 for any other paper, and
// for a slot without a tray (0), which is never made the source.
LONG WINAPI ListGetFreeSizeTray(DRIVER_CONTEXT *ctx, SHORT paper, BYTE apply);

KV_END_DECLS
