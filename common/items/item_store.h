// The option item store: lookups of option rows, names, messages, dialogs and controls;
// typed access to an item's field in the work buffer and its baseline; translation between
// stored values and value ids; text items; unit conversions; the context's state words.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Lookups.
OPTION_ITEM *WINAPI ItemFindById(DRIVER_CONTEXT *ctx, WORD id);
OPTION_ITEM *WINAPI ItemFindByKey(DRIVER_CONTEXT *ctx, WORD key);
const SYMBOL_ENTRY *WINAPI ItemFindSymbolByKey(WORD key);
const SYMBOL_ENTRY *WINAPI ItemFindSymbolByName(const char *name);
const VALUE_SYMBOL *WINAPI ItemFindValueSymbol(WORD itemId, WORD valueId);
const VALUE_SYMBOL *WINAPI ItemFindValueSymbolByName(const char *name);
const WCHAR *WINAPI ItemGetName(DRIVER_CONTEXT *ctx, WORD id);

DIALOG_RECORD *WINAPI DlgFindById(DRIVER_CONTEXT *ctx, WORD dialogId);
DIALOG_RECORD *WINAPI DlgFindByHwnd(DRIVER_CONTEXT *ctx, HWND window);
DIALOG_RECORD *WINAPI DlgFindByName(DRIVER_CONTEXT *ctx, const char *name);
CONTROL_RECORD *WINAPI DlgGetControl(DIALOG_RECORD *dialog, int index);
CONTROL_RECORD *WINAPI CtlFindById(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, WORD controlId);
CONTROL_RECORD *WINAPI CtlFindByHwnd(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, HWND window);
CONTROL_RECORD *WINAPI CtlFindByKey(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, WORD key);
CONTROL_RECORD *WINAPI CtlFindByName(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, const char *name);

int WINAPI CtxGetMessageCount(DRIVER_CONTEXT *ctx);
const MESSAGE_ENTRY *WINAPI CtxGetMessage(DRIVER_CONTEXT *ctx, int index);
const MESSAGE_ENTRY *WINAPI CtxFindMessageByKey(DRIVER_CONTEXT *ctx, SHORT key);
const MESSAGE_ENTRY *WINAPI CtxFindMessageByName(DRIVER_CONTEXT *ctx, const char *name);

const VALUE_LIST_ROW *WINAPI ItemGetValueListTable(void);
const VALUE_LIST_ROW *WINAPI ItemFindValueList(WORD itemId);
int WINAPI ItemIsListedValue(WORD itemId, LONG value);
const VALUE_LIST_ROW *WINAPI ItemGetGroupTable(WORD *count);
const VALUE_LIST_ROW *WINAPI ItemGetGroup(WORD index);
int WINAPI ItemIsInGroup(WORD index, LONG value);
int WINAPI ItemListContains(const VALUE_LIST_ROW *row, LONG value);

// Raw access by row and by id.
BYTE *WINAPI ItemGetAddress(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);
BYTE *WINAPI ItemGetBaselineAddress(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);
LONG WINAPI ItemReadRaw(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);
LONG WINAPI ItemReadBaselineRaw(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);
void WINAPI ItemWriteRaw(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LONG value);
void WINAPI ItemWriteBaselineRaw(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LONG value);
LONG WINAPI ItemGetRaw(DRIVER_CONTEXT *ctx, WORD id, OPTION_ITEM **out);
void WINAPI ItemSetRaw(DRIVER_CONTEXT *ctx, WORD id, LONG value);
LONG WINAPI ItemGetBaselineRaw(DRIVER_CONTEXT *ctx, WORD id, OPTION_ITEM **out);
void WINAPI ItemSetBaselineRaw(DRIVER_CONTEXT *ctx, WORD id, LONG value);

// Value ids.
LONG WINAPI ItemStoredToValueId(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG stored);
int WINAPI ItemIsStoredValueMapped(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG stored);
LONG WINAPI ItemValueIdToStored(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG valueId);
LONG WINAPI ItemReadValue(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);
void WINAPI ItemWriteValue(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LONG valueId);
LONG WINAPI ItemGetValue(DRIVER_CONTEXT *ctx, WORD id, OPTION_ITEM **out);
void WINAPI ItemSetValue(DRIVER_CONTEXT *ctx, WORD id, LONG valueId);
LONG WINAPI ItemGetValueByKey(DRIVER_CONTEXT *ctx, WORD key, OPTION_ITEM **out);
// The context's own option row of a control: a control record of a shared dialog table
// points at the template's row, which every context shares and no write may touch. NULL
// for a NULL control, a control without item, or an item the context does not have.
OPTION_ITEM *WINAPI ItemOfControl(DRIVER_CONTEXT *ctx, const CONTROL_RECORD *control);
LONG WINAPI ItemGetControlValue(DRIVER_CONTEXT *ctx, const CONTROL_RECORD *control);
void WINAPI ItemSetControlValue(DRIVER_CONTEXT *ctx, CONTROL_RECORD *control, LONG valueId);
void WINAPI ItemSetDefault(DRIVER_CONTEXT *ctx, WORD id, LONG value);

// Text items. dst must hold (field size) characters for ANSI fields and (size / 2 + 1) for
// UTF-16 fields; "wrong" needs 6.
BYTE *WINAPI ItemReadText(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, WCHAR *dst);
BYTE *WINAPI ItemWriteText(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, const WCHAR *src);
BYTE *WINAPI ItemGetControlText(DRIVER_CONTEXT *ctx, WORD controlId, WCHAR *dst);
BYTE *WINAPI ItemSetControlText(DRIVER_CONTEXT *ctx, WORD controlId, const WCHAR *src);
void WINAPI ItemFormatValueText(DRIVER_CONTEXT *ctx, WORD key, WCHAR *buf, int cch);

// Units: lengths are held in 1200-dpi dots and shown in 0.1 mm (kind 1) or 0.01 inch (kind 2).
int WINAPI ItemIsMetricUnit(DRIVER_CONTEXT *ctx);
DWORD WINAPI DmDotsToTenthMm(DWORD dots, DWORD dpi);
DWORD WINAPI DmDotsToHundredthInch(DWORD dots, DWORD dpi);
DWORD WINAPI DmTenthMmToDots(DWORD tenths, DWORD dpi);
DWORD WINAPI DmHundredthInchToDots(DWORD hundredths, DWORD dpi);
DWORD WINAPI DmRescale(DWORD value, DWORD fromDpi, DWORD toDpi);
DWORD WINAPI DmUnitsToDots(int kind, DWORD units, DWORD dpi);
DWORD WINAPI DmDotsToUnits(int kind, DWORD dots, DWORD dpi);
LONG WINAPI ItemDotsToDisplayUnits(DRIVER_CONTEXT *ctx, WORD id, LONG dots);
LONG WINAPI ItemDisplayUnitsToDots(DRIVER_CONTEXT *ctx, WORD id, LONG units);
int WINAPI ItemGetFreeSizeLimits(DRIVER_CONTEXT *ctx, WORD id, LONG *min, LONG *max);
int WINAPI ItemRangeToDisplayUnits(DRIVER_CONTEXT *ctx, const CONTROL_RECORD *control, LONG *min, LONG *max);
LONG WINAPI DmRatio(LONG num, LONG mul, LONG den);

// Context state words.
void WINAPI CtxSetSettingsFileStatus(DRIVER_CONTEXT *ctx, DWORD status);
DWORD WINAPI CtxGetSettingsFileStatus(DRIVER_CONTEXT *ctx);
void WINAPI CtxRaiseUiFlags(DRIVER_CONTEXT *ctx, DWORD flags);
DWORD WINAPI CtxGetUiFlags(DRIVER_CONTEXT *ctx);
void WINAPI CtxClearUiFlags(DRIVER_CONTEXT *ctx, DWORD flags);
LONG WINAPI ItemGetCustomFuncFlag(DRIVER_CONTEXT *ctx, WORD id);
int WINAPI CtxIsBuildSwitchOn(SHORT n);

KV_END_DECLS
