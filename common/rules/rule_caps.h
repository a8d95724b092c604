// Capability answers of a printer: its papers, trays, resolutions, custom-size extents,
// duplex unit and colour, as the printer description and its rules offer them. The
// capability entry points map their question codes to these operations and own the output
// buffers.
//
// Every enumeration takes the buffer's capacity in entries and never writes past it: it
// answers the number of entries it found, writes the first min(found, capacity) of them,
// and with a NULL buffer (or capacity 0) writes nothing and only counts. A caller whose
// answer exceeds its capacity got a cut list. Failure answers -1; entries written before
// the failure stay in the buffer.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// One row of the resolution table: a resolution code and its dots per inch.
typedef struct RESOLUTION_ROW {
  WORD code;
  WORD xDpi;
  WORD yDpi;
} RESOLUTION_ROW;

#define KV_RESOLUTION_ROWS 14  // rows of the table, not counting its zero end row

// The compiled-in table of KV_RESOLUTION_ROWS rows ended by a zero row.
const RESOLUTION_ROW *WINAPI CapGetResolutionTable(void);
// The row of a resolution code; NULL for code 0 or a code the table lacks.
const RESOLUTION_ROW *WINAPI CapFindResolutionRow(WORD code);
// The code of the first row with both resolutions; 0 when none matches or either is 0.
WORD WINAPI CapResolutionCodeFromDpi(LONG xDpi, LONG yDpi);
// The code of the first row whose x resolution equals dpi; 0 when none or dpi is 0.
WORD WINAPI CapResolutionCodeFromXDpi(LONG dpi);
// The code of the first row after the row of code whose x resolution equals dpi; 0 when
// none follows, when code is not in the table or when dpi is 0.
WORD WINAPI CapNextResolutionCodeWithDpi(LONG dpi, WORD code);

// Trays (the tray item's values that are shown: every value when the modules ask to show
// all, else those the rules do not hide). The tray item must be a PickSlot item with values.
// The DMBIN number of each tray (the stored value of its value symbol; a value without a
// stored value symbol fails the enumeration).
LONG WINAPI CapEnumBins(DRIVER_CONTEXT *ctx, WORD *bins, LONG capacity);
// The display name of each tray, with its value text, in a zero-filled slot of cchName
// characters (always terminated); capacity counts slots. cchName < 1 fails.
LONG WINAPI CapEnumBinNames(DRIVER_CONTEXT *ctx, WCHAR *names, LONG cchName, LONG capacity);

// Papers of an item: item 8 (the paper item, a PickPage item, values the rules do not
// hide) or any other item ID (a PickOne item, every value).
// The DMPAPER code of each paper (its value symbol's stored value; a missing or unstored
// symbol fails).
LONG WINAPI CapEnumPapers(DRIVER_CONTEXT *ctx, WORD *papers, LONG capacity, WORD itemId);
// The display name of each paper in a zero-filled slot of cchName characters (always
// terminated): a stored user size (codes 384-393) by its slot's name, any other by its
// resource string. cchName < 1 fails.
LONG WINAPI CapEnumPaperNames(DRIVER_CONTEXT *ctx, WCHAR *names, LONG cchName, LONG capacity, WORD itemId);
// The size of each paper in 0.1 mm (x width, y length): a stored user size from its slot
// (1200-dpi dots rounded up), a paper of the paper item from its description entry. A
// value of another item takes the size of the paper item's value with the same value ID,
// {0, 0} when the paper item has none.
LONG WINAPI CapEnumPaperSizes(DRIVER_CONTEXT *ctx, POINT *sizes, LONG capacity, WORD itemId);

// Resolutions. mode 0: dpi pairs, written as x, y into pairs[2 * i], pairs[2 * i + 1]
// (capacity counts pairs); mode 1: resolution codes, one LONG each. The resolution item
// (item 38) as a PickOne item gives each shown value's dpi; as a Numeric item the list
// comes from item 152's resolution codes (consecutive equal pairs are given once in mode
// 0, rows with unequal x and y only in mode 1), or, when item 152 is Numeric too, the
// device resolution. Never fails: a failure or an empty list gives the single entry of the
// model's default resolution (its pair in mode 0, its code in mode 1) and the count 1.
LONG WINAPI CapListResolutions(DRIVER_CONTEXT *ctx, LONG *out, LONG capacity, int mode);
// CapListResolutions in mode 0.
LONG WINAPI CapEnumResolutions(DRIVER_CONTEXT *ctx, LONG *pairs, LONG capacity);

// Custom-size extents in 0.1 mm, width in the low and length in the high 16 bits, also
// into *extent when given (x width, y length). capCode 4 asks for the minimum, any other
// for the maximum (both functions answer by the code). 0 without context or model.
DWORD WINAPI CapGetMinExtent(DRIVER_CONTEXT *ctx, POINTS *extent, LONG capCode);
DWORD WINAPI CapGetMaxExtent(DRIVER_CONTEXT *ctx, POINTS *extent, LONG capCode);
// The rotation of landscape in degrees (the model record's, 90); 0 without model.
DWORD WINAPI CapGetOrientationDegrees(DRIVER_CONTEXT *ctx);
// 1 when the duplex unit is installed (item 10014), else 0.
int WINAPI CapHasDuplexUnit(DRIVER_CONTEXT *ctx);
// 1 when the DEVMODE marks a colour device (bit 0 of the byte of item 234), else 0; also 0
// for NULL or a DEVMODE whose size and private part do not reach that byte.
int WINAPI CapIsColorDevice(const DEVMODEW *devmode);

KV_END_DECLS
