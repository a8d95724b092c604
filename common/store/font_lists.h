// The three font lists of the printer configuration in printer data: the printer's device
// fonts, the fonts of installed font options, and the table that substitutes device fonts
// for TrueType faces. Each list is a count item and a list-pointer item of the printer
// configuration block; the array belongs to the context (GlobalAlloc). In printer data the
// font lists are REG_BINARY values: a 2-byte count and the array, and for the substitution
// table one value per half entry.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Printer-data value names.
#define KV_PD_DEVICE_FONT_NUM u"DeviceFontNum"
#define KV_PD_DEVICE_FONT u"DeviceFont"
#define KV_PD_OPTION_FONT_NUM u"OptionFontNum"
#define KV_PD_OPTION_FONT u"OptionFont"
#define KV_PD_FONT_TABLE_NUM u"FontTableNum"
#define KV_PD_LAST_FONT_TABLE_NUM u"LastFontTableNum"
#define KV_PD_DEF_FONT_TABLE_NUM u"DefFontTableNum"
#define KV_PD_TT_FONT_TABLE u"TTFontTable%d"
#define KV_PD_DEV_FONT_TABLE u"DevFontTable%d"
#define KV_PD_TT_FONT_DEF_TABLE u"TTFontDefTable%d"
#define KV_PD_DEV_FONT_DEF_TABLE u"DevFontDefTable%d"

// The most entries a stored font list may have; a stored or given count outside 0 to this
// is refused.
#define KV_FONT_LIST_MAX_ENTRIES 2048
// Bytes of one half of a substitution entry (a TrueType face or a device font name).
#define KV_FONT_SUBST_HALF_SIZE 64

// StoreSaveDeviceFonts / StoreSaveOptionFonts / StoreSaveFontSubstTable flags.
enum : DWORD {
  KV_FONTS_FROM_DESCRIPTION = 0x1,  // rebuild the list from the printer description, always write
  KV_FONTS_IF_CHANGED = 0x2,        // write only when it differs from the baseline
  KV_FONTS_DEFAULT_SET = 0x100,     // the substitution table's default set
};

// Arguments of StoreWriteFontSubstEntries.
typedef struct FONT_SUBST_WRITE {
  HANDLE printer;
  const BYTE *table;  // count entries of KV_FONT_SUBST_ENTRY_SIZE bytes
  WORD count;
  DWORD flags;  // KV_FONTS_DEFAULT_SET or 0
} FONT_SUBST_WRITE;

// Loads the three lists (all three always run), freeing the arrays the context held. 1 when
// all three answer 1.
int WINAPI StoreLoadFontLists(HANDLE printer, DRIVER_CONTEXT *ctx);
// Loads one list; a printer without a stored count first gets the description's list
// written. 1 when the list was loaded, or when there is nothing to load because the
// description has none or it could not be stored; 0 when a stored list cannot be read (a
// count of 0, outside 0 to KV_FONT_LIST_MAX_ENTRIES, an array value missing or not exactly
// count entries long, a failed allocation): the list is then empty.
int WINAPI StoreLoadDeviceFonts(HANDLE printer, DRIVER_CONTEXT *ctx);
int WINAPI StoreLoadOptionFonts(HANDLE printer, DRIVER_CONTEXT *ctx);
// The same for the substitution table; a missing or unreadable pair leaves the whole
// table unloaded. A stored count of 0 loads an empty table and answers 1.
int WINAPI StoreLoadFontSubstTable(HANDLE printer, DRIVER_CONTEXT *ctx);

// The three savers with KV_FONTS_IF_CHANGED. 1; *status (optional) := ERROR_SUCCESS or the
// error of the first list that could not be written, which also becomes the last error.
int WINAPI StoreSaveFontListsStatus(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD *status);
int WINAPI StoreSaveFontLists(HANDLE printer, DRIVER_CONTEXT *ctx);
// The three savers with KV_FONTS_FROM_DESCRIPTION. 1; *status as above.
int WINAPI StoreSaveModelFontListsStatus(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD *status);
int WINAPI StoreSaveModelFontLists(HANDLE printer, DRIVER_CONTEXT *ctx);
// Writes the count, then the array, of the description's list (KV_FONTS_FROM_DESCRIPTION)
// or the context's; with KV_FONTS_IF_CHANGED nothing when an open context's baseline holds
// the same list. 1 when written or unchanged; 0 for an empty list, a count outside 1 to
// KV_FONT_LIST_MAX_ENTRIES or a NULL array, or a failed write.
int WINAPI StoreSaveDeviceFonts(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD flags);
int WINAPI StoreSaveOptionFonts(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD flags);
// Writes the substitution table (the description's with KV_FONTS_FROM_DESCRIPTION, which
// answers 1 without writing when the description has none; the default set with
// KV_FONTS_DEFAULT_SET) through StoreWriteFontSubstEntries. 1 when written or unchanged;
// 0 for a bad count or a failed write, the stored table then being the old one.
int WINAPI StoreSaveFontSubstTable(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD flags);
// When "DefFontTableNum" cannot be read: the description's table as the default set, and
// that save's answer; else 1.
int WINAPI StoreInitDefaultFontSubstTable(HANDLE printer, DRIVER_CONTEXT *ctx);

// Replaces the stored substitution table (or the default set) with count entries: the new
// pairs first, then the count value(s), then the pairs of a longer earlier table are
// deleted. A write that fails midway puts back the pairs it had replaced, so the stored
// table stays the old one. 1 when written; 0 for a NULL argument or table, a failed
// allocation or write.
int WINAPI StoreWriteFontSubstEntries(const FONT_SUBST_WRITE *args);
// Reads count pairs (names by flags, as above) into dest (count entries). 0 when all were
// read; else the error code of the last pair that failed, that pair's halves emptied; 8
// (ERROR_NOT_ENOUGH_MEMORY) for a NULL destination or a failed allocation.
DWORD WINAPI StoreReadFontSubstEntries(HANDLE printer, BYTE *dest, WORD count, DWORD flags);
// Deletes the pairs 1 to "LastFontTableNum" of the substitution table. 1.
int WINAPI StoreDeleteFontSubstEntries(HANDLE printer);
// Copies the two 64-byte halves of count 128-byte entries into two arrays, and back.
void WINAPI StoreSplitFontSubstTable(const BYTE *table, BYTE *first, BYTE *second, WORD count);
void WINAPI StoreJoinFontSubstTable(BYTE *dest, const BYTE *first, const BYTE *second, WORD count);

// Frees the arrays of the three lists and sets their pointer items to 0; the count items
// keep their values (no pointer is left to a freed array). 1; 0 without a work buffer.
int WINAPI StoreFreeFontLists(DRIVER_CONTEXT *ctx);

KV_END_DECLS
