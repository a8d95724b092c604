// Validation of option items: the check of a stored value against the item's description
// node, the repairs that follow a rejection, the per-item check/reset table for the items
// the description does not address, the validators of the public DEVMODE fields and small
// classifiers of paper codes and qualities.
//
// Values passed in are stored values (what ItemReadRaw answers), never value IDs: a check
// translates them itself, and a repair writes stored values or description defaults through
// the item's translation, so the two number spaces never mix.
#pragma once

#include "context.h"
struct DESC_ITEM_NODE;  // a node of the compiled description (blob/desc_blob.h)

// Answers of the node check (ItemValidateAgainstNode).
enum : int {
  KV_NODE_REJECTED = 0,
  KV_NODE_ACCEPTED = 1,
  KV_NODE_HIDDEN = 4,  // in the lists, but hidden by the rules
  KV_NODE_GREYED = 5,  // in the lists, but greyed by the rules
};

// Answers of ItemValidateOrReset and its twins besides 0 (rejected) and 1 (accepted or
// repaired).
enum : int {
  KV_CHECK_UNBOUND = 2,  // no option row, or the row has no symbol key
  KV_CHECK_NO_NODE = 3,  // the description has no node for it, or only a TypeUnknown one
};

// Modes of the check table.
enum : DWORD {
  KV_CHECK_MODE_RESET = 1,       // reset every item that has a handler (any mode but 2)
  KV_CHECK_MODE_KEEP_LEGAL = 2,  // keep legal values, reset illegal ones
};

// The context's merge flag that an applied settings-request block raises: a rejected scale
// is then clamped into its range rather than reset.
#define KV_MERGE_REQUEST_APPLIED 0x40000000u

// Item ID range of the check table.
#define KV_CHECK_FIRST_ITEM 35
#define KV_CHECK_LAST_ITEM 600
#define KV_CHECK_ROW_COUNT (KV_CHECK_LAST_ITEM - KV_CHECK_FIRST_ITEM + 1)

// A handler of the check table: called with the item ID, its current stored value, its
// option row, the row's parameter, the mode and the context. Answers 1 when it kept the
// value, 0 when it wrote a replacement or did nothing.
typedef int(WINAPI *ITEM_CHECK_HANDLER)(WORD itemId, DWORD value, OPTION_ITEM *row, DWORD param, DWORD mode,
                                        DRIVER_CONTEXT *ctx);

// One row of the check table: the item, its handler (NULL for none) and the parameter, the
// stored value the handler resets the item to.
typedef struct ITEM_CHECK_ROW {
  DWORD itemId;
  ITEM_CHECK_HANDLER handler;
  DWORD param;
} ITEM_CHECK_ROW;

KV_BEGIN_DECLS

// The check table: KV_CHECK_ROW_COUNT rows, row i for item KV_CHECK_FIRST_ITEM + i.
const ITEM_CHECK_ROW *WINAPI ItemGetCheckTable(void);
// The row of an item ID; NULL outside KV_CHECK_FIRST_ITEM..KV_CHECK_LAST_ITEM.
const ITEM_CHECK_ROW *WINAPI ItemFindCheckRow(WORD itemId);

// Runs the check over items 35 to 600 in order: each stored value is validated against the
// description (ItemValidateOrReset); an item the description does not check (answer 2 or
// 3) is handed to its row's handler, if any. Mode KV_CHECK_MODE_KEEP_LEGAL keeps legal values;
// any other mode resets every item that has a handler. Nothing without context or buffer.
void WINAPI ItemRunCheckTable(DRIVER_CONTEXT *ctx, DWORD mode);

// The fixed range of a row of the check table whose handler keeps the numbers of one range
// (the scales, the header and footer font size, the colour adjustments, the gammas, the
// separation-sheet cycle): 1 with *min, *max and the row's reset value; 0 for every other
// item.
int WINAPI ItemGetCheckRange(WORD itemId, LONG *min, LONG *max, LONG *replacement);

// Answers of ItemStoreFileNumber.
enum : int {
  KV_FILE_NUMBER_CORRECTED = 0,  // outside the item's range (or no number): corrected, or the item kept its value
  KV_FILE_NUMBER_TAKEN = 1,      // stored as the file gives it
};

// Stores a number that a settings file gives for an item, held to the item's range. The
// number must fit the item's field (signed or unsigned by value type, 0 or 1 for a one-bit
// item; an unsigned 32-bit item also takes "-1" and the other negative numbers its reader
// has always taken as their 32-bit pattern) and lie in the item's own range:
//  - custom-size widths and lengths (1200-dpi dots) from 0 (no size) to the model's
//    custom-size maximum, else clamped to the nearer end (a size below the model's minimum
//    is raised to it where it is used, by the paper fit);
//  - the scale and the copies within the range of their Numeric description node, else the
//    model's range, else the model's default (as a merged DEVMODE takes them);
//  - the preset number 0-15 or -1 (none), else none;
//  - an item with a Numeric or Boolean description node within the node's range, else its
//    description default;
//  - an item with a fixed range in the check table (ItemGetCheckRange) within it, else the
//    row's reset value;
//  - any other item: only the field's width; outside it the nearer end of the field.
// number is the file's number (saturated to 64 bits); isNumber FALSE for text that is no
// number, which is out of every range (an item that would be clamped keeps its value).
// Answers KV_FILE_NUMBER_TAKEN or KV_FILE_NUMBER_CORRECTED (also, changing nothing,
// without context, row or field).
int WINAPI ItemStoreFileNumber(DRIVER_CONTEXT *ctx, OPTION_ITEM *row, LONGLONG number, BOOL isNumber);

// Validates a stored value against the item's description node and repairs a rejected or
// hidden one (the preset number by its own rule; items 89 and 90 clamped to the node's
// range while the context merges an applied settings request; every other item reset to
// its description default). Answers 1 (accepted or repaired), 2 or 3.
int WINAPI ItemValidateOrReset(WORD itemId, DWORD value, DRIVER_CONTEXT *ctx);
// Like ItemValidateOrReset with the side-effect-free node check and without the clamp; a
// rejected value of a list item with a translation table is not repaired: the answer is
// then whether the stored value has a value ID (1) or not (0). Answers 1, 0, 2 or 3.
int WINAPI ItemValidateMappedOrReset(WORD itemId, DWORD value, DRIVER_CONTEXT *ctx);
// The node check without side effects: 1 accepted, 0 rejected, 2 or 3.
int WINAPI ItemCheckValueByNode(WORD itemId, DWORD value, DRIVER_CONTEXT *ctx);
// The repair used while the context merges an applied settings request: items 89 and 90
// with a Numeric node and record are clamped into its range; any other item, or a value
// inside the range, is reset to its description default.
void WINAPI ItemClampScaleOrReset(DRIVER_CONTEXT *ctx, OPTION_ITEM *row, WORD itemId, LONG value);
// The node check: 0 rejected, 1 accepted, 4 hidden, 5 greyed. For item 92 it may move the
// N-up kind (item 91) and the N-up type to the kind's first layout and then answers 1.
int WINAPI ItemValidateAgainstNode(OPTION_ITEM *row, WORD itemId, DWORD value, DRIVER_CONTEXT *ctx,
                                   const struct DESC_ITEM_NODE *node);
// The side-effect-free node check: 1 when the node accepts the value and the rules do not
// hide it (greyed is accepted), else 0 (also without node, or Numeric without record).
int WINAPI ItemCheckNodeValue(OPTION_ITEM *row, WORD itemId, DWORD value, DRIVER_CONTEXT *ctx);
// The value ID a list check uses for a stored value: translated through the row's table
// when it has one. 0 when the table gives the value no ID (the stored value is then not a
// value of the item) or the ID cannot be a 16-bit description value ID; else 1.
int WINAPI ItemStoredToListValueId(DRIVER_CONTEXT *ctx, const OPTION_ITEM *row, DWORD value, LONG *valueId);
// 1 when an entry of a description value list has that value ID, else 0 (also for NULL).
int WINAPI ItemValueInList(const void *list, SHORT valueId);
// 1 for 0 and 1, else 0.
int WINAPI ItemIsBoolValue(DWORD value);
// 1 when the Numeric record's minimum <= value <= maximum (signed), else 0 (also for NULL).
int WINAPI ItemIsInRange(const void *numeric, LONG value);
// The N-up kind of an N-up type code: 1 for codes 1-3, 2 for 33, 34, 37, 38, 3 for 65, 66,
// 69, 70, 4 for 97, 98, 101, 102, 9 for 0x8001-0x8003, else 0. *layout (optional) := 2 for
// code 3, else 1.
int WINAPI ItemGetNupKind(DWORD nupType, DWORD *layout);
// The item takes its description default: a value ID written through the item's
// translation, the resource string of that ID for a text item. Nothing for a NULL row.
void WINAPI ItemResetToDescDefault(DRIVER_CONTEXT *ctx, OPTION_ITEM *row);

// The selected stamp (item 118) when stamps are on (item 60), else -1.
LONG WINAPI ItemGetWatermarkId(DRIVER_CONTEXT *ctx);
// The index 0-15 of the selected user quality (item 179's value ID minus 135) when user
// qualities are on (item 176 is 1); -1 when they are off or the stored value is not one of
// the sixteen.
LONG WINAPI ItemGetUserMacroIndex(DRIVER_CONTEXT *ctx);
// The user-size slot 0-9 of the paper of item 8 (the document) / item 46 (the output) when
// it is a user-size paper code 384-393, else -1.
LONG WINAPI ListFreeSizeSlotOfPaper(DRIVER_CONTEXT *ctx);
LONG WINAPI ListFreeSizeSlotOfOutPaper(DRIVER_CONTEXT *ctx);

// Validators of the public DEVMODE fields: 1 legal, 0 illegal. Each asks the item's
// description node first; an item the description does not check falls back to the
// standard check named.
int WINAPI DmValidateDefaultSource(SHORT value, DRIVER_CONTEXT *ctx);  // DmIsStandardDefaultSource
// Asks ItemValidateMappedOrReset, which may reset item 7; else 1 or 2.
int WINAPI DmValidateOrientation(SHORT value, DRIVER_CONTEXT *ctx);
int WINAPI DmValidatePaperSize(SHORT value, DRIVER_CONTEXT *ctx);     // only a node acceptance counts
int WINAPI DmValidatePrintQuality(SHORT value, DRIVER_CONTEXT *ctx);  // DmIsListedPrintQuality
int WINAPI DmValidateDuplex(SHORT value, DRIVER_CONTEXT *ctx);        // DmIsStandardDuplex
int WINAPI DmValidateColor(SHORT value, DRIVER_CONTEXT *ctx);         // DmIsStandardColor
int WINAPI DmValidateTTOption(SHORT value, DRIVER_CONTEXT *ctx);      // DmIsStandardTTOption
int WINAPI DmValidateICMMethod(DWORD value, DRIVER_CONTEXT *ctx);     // DmIsStandardICMMethod
int WINAPI DmValidateICMIntent(DWORD value, DRIVER_CONTEXT *ctx);     // DmIsStandardICMIntent
int WINAPI DmValidateMediaType(DWORD value, DRIVER_CONTEXT *ctx);     // DmIsStandardMediaType
int WINAPI DmValidateDitherType(DWORD value, DRIVER_CONTEXT *ctx);    // DmIsStandardDitherType
// Every form name is accepted unless the description's node of item 20 rejects it.
int WINAPI DmValidateFormName(const WCHAR *formName, DRIVER_CONTEXT *ctx);

// Standard value sets of the public fields.
int WINAPI DmIsStandardDefaultSource(LONG value);  // 1..15 or listed for item 13
int WINAPI DmIsListedPrintQuality(LONG value);     // listed for item 14
int WINAPI DmIsStandardDuplex(LONG value);         // 1..3
int WINAPI DmIsStandardColor(LONG value);          // 1 or 2
int WINAPI DmIsStandardTTOption(LONG value);       // 1..4
int WINAPI DmIsStandardICMMethod(LONG value);      // 1..4 or listed for item 27
int WINAPI DmIsStandardICMIntent(LONG value);      // 1, 2 or listed for item 28
int WINAPI DmIsStandardMediaType(LONG value);      // 1..3 or listed for item 29
int WINAPI DmIsStandardDitherType(LONG value);     // 1..4, 10 or listed for item 30

// Paper classifiers.
int WINAPI DmIsStandardPaperSize(LONG value);     // 1..118 or listed for item 8
int WINAPI DmIsOutputSameAsOriginal(LONG value);  // exactly 1024
int WINAPI DmIsUserSizePaper(LONG value);         // 384..393, 448 or 256
int WINAPI DmIsSlotPaper(LONG value);             // the paper of one of the 12 custom-size slots
int WINAPI DmIsSymbolicQuality(LONG value);       // -4..-1

KV_END_DECLS
