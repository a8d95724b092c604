// Paper geometry and font lists of a context's printer description: paper sizes and
// printable areas per resolution and orientation, custom paper sizes, the resident device
// fonts, the font cartridges and the TrueType substitution table.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// A device font or cartridge font: its ID and its name, cut to 31 characters.
typedef struct DESC_FONT_ENTRY {
  DWORD fontId;
  WCHAR name[32];
} DESC_FONT_ENTRY;

// A substitution: a TrueType font name and the device font that replaces it.
typedef struct DESC_FONT_SUBST {
  WCHAR name[32];
  WCHAR substitute[32];
} DESC_FONT_SUBST;

// The printable area of the paper value with that ID (of the paper item) at the current
// resolution (item 38) and orientation (item 7): the first geometry entry of both whose
// condition holds, else the first entry of the resolution alone, turned (x and y, width
// and height, and the offsets exchanged). *area := {x, y, x + w, y + h} in dots, *offsets
// := {a, b}; each may be NULL. 1 when found; 0 (nothing written) without description,
// paper item, paper value or matching entry.
int WINAPI DescGetPrintableArea(DRIVER_CONTEXT *ctx, RECT *area, POINT *offsets, WORD paperValueId);

// Paper sizes in 0.1 mm (cx width, cy length). 1 when answered, 0 (nothing written)
// otherwise.
// The size of the paper item's value that the current value of item itemId names (0: the
// paper item itself), exchanged while the orientation (item 7) is landscape.
int WINAPI DescGetPaperSizeByItem(DRIVER_CONTEXT *ctx, SIZE *size, WORD itemId);
// The size of the paper item's value with that value ID, exchanged in landscape.
int WINAPI DescGetPaperSizeOfValue(DRIVER_CONTEXT *ctx, SIZE *size, LONG valueId);
// The size of the current paper: a user size (codes 384-393, 256, 448) by
// DescGetCustomPaperSize in its DEVMODE form, any other by DescGetPaperSizeByItem.
int WINAPI DescGetPaperSize(DRIVER_CONTEXT *ctx, SIZE *size);
// The size of the output paper (item 46): the document's paper for 1024, the regional
// default paper (Letter or A4) for 1025 and 1026, a user size by DescGetCustomPaperSize in
// its slot form, any other code as the paper item would have it. The paper item is left as
// it was.
int WINAPI DescGetOutputPaperSize(DRIVER_CONTEXT *ctx, SIZE *size);
// The size of a custom paper in 0.1 mm (1200-dpi dots rounded up). DEVMODE form
// (fromDevmode non-zero): a stored user size from the custom-size items after its slot is
// loaded, when the DEVMODE names a paper other than 256; otherwise the DEVMODE's own
// dmPaperWidth and dmPaperLength; exchanged in landscape. Slot form: paper 448 from its
// slot, any other from its loaded slot's custom-size items, never exchanged. size may be
// NULL; answers 1 (0 only without context or work buffer).
int WINAPI DescGetCustomPaperSize(DRIVER_CONTEXT *ctx, SIZE *size, WORD paperCode, int fromDevmode);

// Font lists, allocated with MemAllocZeroed; the caller frees them with MemFree. *count
// (optional) receives the number of entries.
// The description's resident device fonts; NULL and count 0 when it lists none or memory
// runs out.
DESC_FONT_ENTRY *WINAPI DescGetDeviceFonts(DRIVER_CONTEXT *ctx, DWORD *count);
// The description's font cartridge fonts; NULL and count 0 when it lists none or memory
// runs out.
DESC_FONT_ENTRY *WINAPI DescGetFontCartridges(DRIVER_CONTEXT *ctx, DWORD *count);
// The substitution pairs of the first value with pairs of the first FontTbl item; NULL
// (count not written) when the first FontTbl item has none or there is no FontTbl item,
// NULL and count 0 when memory runs out.
DESC_FONT_SUBST *WINAPI DescGetFontTable(DRIVER_CONTEXT *ctx, DWORD *count);

KV_END_DECLS

#ifdef __cplusplus
static_assert(sizeof(DESC_FONT_ENTRY) == 68 && sizeof(DESC_FONT_SUBST) == 128, "font list entries");
#endif
