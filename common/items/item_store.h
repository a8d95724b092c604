// The option item store: lookups of option rows, names, messages, dialogs and controls;
// typed access to an item's field in the work buffer and its baseline; translation between
// stored values and value ids; text items; unit conversions; the context's state words.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Lookups.
// The context's option row of an item ID, by direct index into the dense table (IDs above
// 10000 behind the gap row); NULL for ID 0, an ID without row, or a context without rows.
OPTION_ITEM *WINAPI ItemFindById(DRIVER_CONTEXT *ctx, WORD id);
// The first option row whose symbol key matches, else the row of the item the symbol
// table gives that key; NULL when neither exists.
OPTION_ITEM *WINAPI ItemFindByKey(DRIVER_CONTEXT *ctx, WORD key);
// The symbol table's first entry with that key; NULL when none.
const SYMBOL_ENTRY *WINAPI ItemFindSymbolByKey(WORD key);
// The symbol table's first entry of that name (case-sensitive), through the generated
// name index; NULL for NULL or an unknown name.
const SYMBOL_ENTRY *WINAPI ItemFindSymbolByName(const char *name);
// The value-symbol entry of an item's value ID; NULL when none.
const VALUE_SYMBOL *WINAPI ItemFindValueSymbol(WORD itemId, WORD valueId);
// The first value-symbol entry of that name, through the generated name index; NULL for
// NULL or an unknown name.
const VALUE_SYMBOL *WINAPI ItemFindValueSymbolByName(const char *name);
// The option row's name of an item ID (owned by the table); NULL without row.
const WCHAR *WINAPI ItemGetName(DRIVER_CONTEXT *ctx, WORD id);

// Dialogs of the context's table (the template's for a NULL context), found by template
// ID, by window or by name; NULL when none matches (a NULL window or name never matches).
DIALOG_RECORD *WINAPI DlgFindById(DRIVER_CONTEXT *ctx, WORD dialogId);
// The dialog record whose window is that window; NULL when none or window is NULL.
DIALOG_RECORD *WINAPI DlgFindByHwnd(DRIVER_CONTEXT *ctx, HWND window);
// The dialog record of that (ANSI) name; NULL when none or name is NULL.
DIALOG_RECORD *WINAPI DlgFindByName(DRIVER_CONTEXT *ctx, const char *name);
// The control record at index of a dialog; NULL for a NULL dialog or an index outside it.
CONTROL_RECORD *WINAPI DlgGetControl(DIALOG_RECORD *dialog, int index);
// Controls of one dialog, or of every dialog of the context's table in order when dialog
// is NULL, found by control ID, by window, by symbol key or by the symbol name of the
// key; NULL when none matches.
CONTROL_RECORD *WINAPI CtlFindById(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, WORD controlId);
// The control whose window is that window; NULL when none or window is NULL.
CONTROL_RECORD *WINAPI CtlFindByHwnd(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, HWND window);
// The first control bound to that symbol key; NULL when none.
CONTROL_RECORD *WINAPI CtlFindByKey(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, WORD key);
// CtlFindByKey with the key of a symbol name; NULL for an unknown name or key 0.
CONTROL_RECORD *WINAPI CtlFindByName(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, const char *name);

// Message table of the context (the template's for a NULL context): its row count, 0
// without table.
int WINAPI CtxGetMessageCount(DRIVER_CONTEXT *ctx);
// The message row at index; NULL without table or for an index outside 0 to
// CtxGetMessageCount - 1.
const MESSAGE_ENTRY *WINAPI CtxGetMessage(DRIVER_CONTEXT *ctx, int index);
// The first message row with that key; NULL when none.
const MESSAGE_ENTRY *WINAPI CtxFindMessageByKey(DRIVER_CONTEXT *ctx, SHORT key);
// The first message row of that (ANSI) name; NULL when none or name is NULL.
const MESSAGE_ENTRY *WINAPI CtxFindMessageByName(DRIVER_CONTEXT *ctx, const char *name);

// The table of listed values per item ID, ended by a row with key 0.
const VALUE_LIST_ROW *WINAPI ItemGetValueListTable(void);
// The listed values of an item ID; NULL for ID 0 or an item without list.
const VALUE_LIST_ROW *WINAPI ItemFindValueList(WORD itemId);
// 1 when value is one of the item's listed values, else 0 (also without list).
int WINAPI ItemIsListedValue(WORD itemId, LONG value);
// The table of item groups; *count (optional) receives its rows, end row included.
const VALUE_LIST_ROW *WINAPI ItemGetGroupTable(WORD *count);
// The item group at index; NULL past the last group.
const VALUE_LIST_ROW *WINAPI ItemGetGroup(WORD index);
// 1 when value is a member of the group at index, else 0 (also for an unknown group).
int WINAPI ItemIsInGroup(WORD index, LONG value);
// 1 when value is in the row's values, else 0 (also for a NULL row or a row without values).
int WINAPI ItemListContains(const VALUE_LIST_ROW *row, LONG value);

// Raw access by row and by id.
// Address of the row's field in the context's work buffer, the block found through the
// offset the buffer's DEVMODE stamps; NULL without buffer or row, for an item without
// block, when the stamped offset is not the build's, or when the field would reach past
// the buffer.
BYTE *WINAPI ItemGetAddress(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);
// The same in the context's baseline copy; NULL without state or baseline.
BYTE *WINAPI ItemGetBaselineAddress(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);
// The field's stored value by its value type (sign-extended, a bit as 0 or 1, the field's
// address for text and block types); 0 when the field has no address.
LONG WINAPI ItemReadRaw(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);
// ItemReadRaw on the baseline.
LONG WINAPI ItemReadBaselineRaw(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);
// Stores value in the field by its value type (text and block types copy the field's size
// from the address in value, or clear it for 0), marks the row and the context changed,
// keeps the vertical scale equal to the horizontal one where the scale type asks, and
// raises the row's UI refresh flags. Nothing happens when the field has no address.
void WINAPI ItemWriteRaw(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LONG value);
// Stores value in the baseline field, without marks or side effects.
void WINAPI ItemWriteBaselineRaw(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LONG value);
// ItemReadRaw of an item ID; *out (optional) receives its row or NULL.
LONG WINAPI ItemGetRaw(DRIVER_CONTEXT *ctx, WORD id, OPTION_ITEM **out);
// ItemWriteRaw of an item ID; nothing without row.
void WINAPI ItemSetRaw(DRIVER_CONTEXT *ctx, WORD id, LONG value);
// ItemReadBaselineRaw of an item ID; *out (optional) receives its row or NULL.
LONG WINAPI ItemGetBaselineRaw(DRIVER_CONTEXT *ctx, WORD id, OPTION_ITEM **out);
// ItemWriteBaselineRaw of an item ID.
void WINAPI ItemSetBaselineRaw(DRIVER_CONTEXT *ctx, WORD id, LONG value);

// Value ids.
// The value ID of a stored value through the active part of the row's translation table
// (the second part for the layout items while the sheet is landscape); the stored value
// itself when the table has no row for it or the row maps to no ID.
LONG WINAPI ItemStoredToValueId(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG stored);
// 1 when the active translation has a row that maps the stored value to an ID, else 0.
int WINAPI ItemIsStoredValueMapped(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG stored);
// The stored value of a value ID through the active translation; the ID itself when the
// table has no row for it.
LONG WINAPI ItemValueIdToStored(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG valueId);
// The field's value as a value ID (ItemReadRaw, then ItemStoredToValueId).
LONG WINAPI ItemReadValue(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);
// Writes a value ID through the translation (ItemValueIdToStored, then ItemWriteRaw);
// nothing for a NULL row.
void WINAPI ItemWriteValue(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LONG valueId);
// ItemReadValue of an item ID; *out (optional) receives its row or NULL.
LONG WINAPI ItemGetValue(DRIVER_CONTEXT *ctx, WORD id, OPTION_ITEM **out);
// ItemWriteValue of an item ID.
void WINAPI ItemSetValue(DRIVER_CONTEXT *ctx, WORD id, LONG valueId);
// ItemReadValue of the row ItemFindByKey finds; *out (optional) receives it or NULL.
LONG WINAPI ItemGetValueByKey(DRIVER_CONTEXT *ctx, WORD key, OPTION_ITEM **out);
// The context's own option row of a control: a control record of a shared dialog table
// points at the template's row, which every context shares and no write may touch. NULL
// for a NULL control, a control without item, or an item the context does not have.
OPTION_ITEM *WINAPI ItemOfControl(DRIVER_CONTEXT *ctx, const CONTROL_RECORD *control);
// The value ID of the context's own row of the control; 0 for a NULL control.
LONG WINAPI ItemGetControlValue(DRIVER_CONTEXT *ctx, const CONTROL_RECORD *control);
// Writes a value ID to the context's own row of the control; nothing for a NULL control.
void WINAPI ItemSetControlValue(DRIVER_CONTEXT *ctx, CONTROL_RECORD *control, LONG valueId);
// Sets an item to a default the printer description names: a value ID through the
// translation, the resource string of that ID for a text item, and for a block item only
// 0 (clears it). Nothing without row.
void WINAPI ItemSetDefault(DRIVER_CONTEXT *ctx, WORD id, LONG value);

// Text items. dst must hold (field size + 1) characters for ANSI fields, whose text may fill
// the field without a terminator, (size / 2 + 1) for UTF-16 fields, and 6 ("wrong") for
// items of other types; nothing is written past that.
// Reads the row's text field into dst, bounded as above ("wrong" for a field that is not
// text); answers the field, NULL without context, row or field address.
BYTE *WINAPI ItemReadText(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, WCHAR *dst);
// Clears the field (marking it changed), then stores src in its format: converted to ANSI
// or copied as UTF-16; a text that fills the field keeps no terminator, a longer one is
// cut. Answers the field; NULL without context, row, text or field address.
BYTE *WINAPI ItemWriteText(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, const WCHAR *src);
// ItemReadText of the context's own row of the control with that ID (any dialog); NULL
// without control or field.
BYTE *WINAPI ItemGetControlText(DRIVER_CONTEXT *ctx, WORD controlId, WCHAR *dst);
// ItemWriteText of the context's own row of the control with that ID (any dialog); NULL
// without control or field.
BYTE *WINAPI ItemSetControlText(DRIVER_CONTEXT *ctx, WORD controlId, const WCHAR *src);
// buf (cch characters, always terminated) := display text of the current value of the item
// with that key: its number, or the fixed labels of the stamp kind and stamp id. Nothing
// for a NULL buf or cch <= 0.
void WINAPI ItemFormatValueText(DRIVER_CONTEXT *ctx, WORD key, WCHAR *buf, int cch);

// Units: lengths are held in 1200-dpi dots and shown in 0.1 mm (kind 1) or 0.01 inch (kind 2).
// 1 when the context shows lengths in 0.1 mm (display-unit item 0), else 0.
int WINAPI ItemIsMetricUnit(DRIVER_CONTEXT *ctx);
// Length conversions at a resolution of dpi; products in 64 bits, results saturated at
// 0xFFFFFFFF. Dots to 0.1 mm, rounded down; 0 for dpi 0.
DWORD WINAPI DmDotsToTenthMm(DWORD dots, DWORD dpi);
// Dots to 0.01 inch, rounded down; 0 for dpi below 100.
DWORD WINAPI DmDotsToHundredthInch(DWORD dots, DWORD dpi);
// 0.1 mm to dots, rounded down.
DWORD WINAPI DmTenthMmToDots(DWORD tenths, DWORD dpi);
// 0.01 inch to dots (dpi taken in whole hundreds).
DWORD WINAPI DmHundredthInchToDots(DWORD hundredths, DWORD dpi);
// value at fromDpi rescaled to toDpi, rounded down; 0 when either resolution is 0.
DWORD WINAPI DmRescale(DWORD value, DWORD fromDpi, DWORD toDpi);
// Display units of kind 1 (0.1 mm) or 2 (0.01 inch) to dots at dpi: the largest even
// number of 1200-dpi dots that converts back to no more than units, rescaled; 0 for
// another kind.
DWORD WINAPI DmUnitsToDots(int kind, DWORD units, DWORD dpi);
// Dots at dpi to display units of kind 1 or 2, rounded up (the fewest units whose dots
// reach the length); 0 for another kind.
DWORD WINAPI DmDotsToUnits(int kind, DWORD dots, DWORD dpi);
// 1200-dpi dots (the value of item id when id is not 0) in the context's display unit,
// rounded up; 0 for a negative length.
LONG WINAPI ItemDotsToDisplayUnits(DRIVER_CONTEXT *ctx, WORD id, LONG dots);
// Display units to 1200-dpi dots by DmUnitsToDots, also written to item id when id is not
// 0; 0 for negative units.
LONG WINAPI ItemDisplayUnitsToDots(DRIVER_CONTEXT *ctx, WORD id, LONG units);
// The model's custom-size width or length limits in the context's display unit, rounded
// inward, into *min and *max (each optional); 0 (nothing written) for another item or
// without model.
int WINAPI ItemGetFreeSizeLimits(DRIVER_CONTEXT *ctx, WORD id, LONG *min, LONG *max);
// The range of a numeric control in display units, rounded inward, into *min and *max
// (each optional): the model hook's range when it gives one, else the minimum and maximum
// of the Numeric description node bound to the control. 0 (nothing written) without either.
int WINAPI ItemRangeToDisplayUnits(DRIVER_CONTEXT *ctx, const CONTROL_RECORD *control, LONG *min, LONG *max);
// num * mul / den in 64 bits, truncated and saturated at the 32-bit range; -1 for den 0.
LONG WINAPI DmRatio(LONG num, LONG mul, LONG den);

// Context state words.
// Sets the settings-file status word; nothing without context state.
void WINAPI CtxSetSettingsFileStatus(DRIVER_CONTEXT *ctx, DWORD status);
// The settings-file status word; 0 without context state.
DWORD WINAPI CtxGetSettingsFileStatus(DRIVER_CONTEXT *ctx);
// Raises requests in the pending-UI-work word; a request with an argument (low 16 bits)
// replaces the previous argument. Flags 0 clear the word.
void WINAPI CtxRaiseUiFlags(DRIVER_CONTEXT *ctx, DWORD flags);
// The pending-UI-work word; 0 without context state.
DWORD WINAPI CtxGetUiFlags(DRIVER_CONTEXT *ctx);
// Clears flags in the pending-UI-work word, and for flags above 0x0FFFFFFF in the three
// saved words too.
void WINAPI CtxClearUiFlags(DRIVER_CONTEXT *ctx, DWORD flags);
// The raw value of a custom-function item (wdmCustomFunc0-31); 0 for any other ID.
LONG WINAPI ItemGetCustomFuncFlag(DRIVER_CONTEXT *ctx, WORD id);
// Whether build switch n (1-8) of this driver is on: only switch 1, the preset refresh
// from the model defaults; 0 for any other n.
int WINAPI CtxIsBuildSwitchOn(SHORT n);

KV_END_DECLS
