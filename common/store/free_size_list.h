// The custom paper slots of a context: the ten stored user sizes (paper ids 384-393) and the
// two free-size papers of the DEVMODE (256 and 448), cached as FREE_SIZE_SLOT records.
#pragma once

#include "context.h"

#define KV_FREE_SIZE_SLOTS 12
#define KV_FREE_SIZE_LOADED 0x4000000u  // pending-UI-work flag: the stored sizes are cached

KV_BEGIN_DECLS

// The slot (0-11) of a paper id: 384-393 the user slots 0-9, 256 slot 10, 448 slot 11;
// 0 when the id has no slot (the same as slot 0).
LONG WINAPI ListPaperIdToSlot(WORD paperId, DRIVER_CONTEXT *ctx);

// Fills the slot record of a free-size paper from the DEVMODE's items: paper 256 from its
// custom paper items (340-343), paper 448 from its custom output items (344-347), with the
// resource name and its value text (UTF-16, 32 characters) as display name. Nothing for
// any other paper, a slot outside 0-11 or a context without state.
void WINAPI ListFillFixedSizeSlot(DRIVER_CONTEXT *ctx, WORD paperId, LONG slot);

// Reads the stored section of a user slot into the custom-size items 818-822.
// Provisional until the stored lists are built: reads nothing and leaves the items as
// they are.
void WINAPI ListLoadFreeSize(DRIVER_CONTEXT *ctx, LONG slot);

// Caches the ten stored user sizes in the slot records, once per context (the flag
// KV_FREE_SIZE_LOADED marks them cached). Provisional until the stored lists are built:
// reads nothing, leaves the records as they are and does not raise the flag.
void WINAPI ListLoadAllFreeSizes(DRIVER_CONTEXT *ctx);

KV_END_DECLS
