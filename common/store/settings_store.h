// The settings store: the option items kept in printer data and in the settings INI, loaded
// when a context opens and saved when settings are accepted; the answers of the printer
// parked in the bidi state INI; and the three font lists of the printer configuration in
// printer data.
//
// Where an item lives follows its storage fields: storage class 1 of a printer-configuration
// (or block-less) item is a printer-data value named by its key; storage class 2 is a key of
// the settings INI (section: the item's, or the printer name); nothing else is stored here.
//
// Saves of a whole block keep their answer of 1 for their callers even when a single value
// could not be written; the failure is then reported through the status out-parameter of
// the ...Status variants and through the last error (ERROR_SUCCESS after a clean save).
#pragma once

#include "context.h"
#include "store/font_lists.h"

KV_BEGIN_DECLS

// Block argument of the block loads and saves that stands for every block.
#define KV_STORE_ALL_BLOCKS (-1)

// StoreSaveItemBlock flags.
enum : DWORD {
  KV_SAVE_PRINTER_CONFIG_ONLY = 0x00000001u,  // items 10012-10385 only
  KV_SAVE_MODULE_PASS = 0x00000002u,          // as the low byte: ask the modules item by item
  KV_SAVE_AUTH_RANGE_ONLY = 0x00000004u,      // items 1239-1270 only
  KV_SAVE_UNCHANGED_TOO = 0x80000000u,        // write values equal to the baseline as well
};

// Value names of the bidi state INI, a file of the shared settings directory.
#define KV_BIDI_STATE_INI u"tvpkins2.ini"
#define KV_BIDI_INI_FLAG u"BidiFlag"
#define KV_BIDI_INI_FUNC u"BidiFunc"

// ---------------------------------------------------------------- loading

// Loads everything stored for the context's printer: every stored item and the font lists;
// then, unless the printer is a connection to a print server, moves the answers of the
// printer parked in the bidi state INI into the context and, when printer data may be
// written, into printer data. The parked section is deleted only after they were read and
// saved without a failure. Always 1 (0 for a context without work buffer).
int WINAPI StoreLoadAtOpen(DRIVER_CONTEXT *ctx);
// scope -1: every block, then the font lists; 1: the work block, then the DEVMODE block;
// 2: the printer-configuration block, then the font lists; other scopes nothing. 1.
int WINAPI StoreLoadItems(HANDLE printer, int scope, DRIVER_CONTEXT *ctx);
// Under the settings mutex, loads the stored items of one block (1, 2, 3 or -1 for all):
// printer-data items of the printer configuration, and the settings-INI items unless the
// context opens for printer initialization or was created for document properties without
// a dialog, device capabilities or the rendering DLL. Items 211-226 and the state items
// 601-625 are never loaded. Raises the block-loaded event. 1 (0 without a context).
int WINAPI StoreLoadItemBlock(HANDLE printer, DRIVER_CONTEXT *ctx, int block, int mode);
// One item's printer-data value (value name: its key) into its field. A bit item reads 4
// bytes and sets the bit (marking it changed); any other item reads exactly its field size,
// a shorter value zero-filling the rest of the field, without marking it changed. 1 when
// loaded or when the item has no key; 0, the field untouched, for a NULL argument, a field
// of size 0 or without address, a missing value, one larger than the field, or a failed
// allocation.
int WINAPI StoreLoadItemFromPrinterData(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item);
// StoreLoadItemFromPrinterData with the item's own name as value name. 0 for NULL or an
// item without name.
int WINAPI StoreLoadItemByName(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item);

// ---------------------------------------------------------------- saving

// Under the settings mutex, saves the stored items of one block (1, 2, 3 or -1) with the
// KV_SAVE_* flags; an open context with a baseline writes only changed printer-configuration
// values unless KV_SAVE_UNCHANGED_TOO. The font-list items are left to the font-list savers
// and items 211-226 are never saved. A value that cannot be written is skipped and the rest
// are still tried. 1 (0 for a NULL context); *status (optional) := ERROR_SUCCESS, or the
// error of the first save that failed, which also becomes the last error.
int WINAPI StoreSaveItemBlockStatus(HANDLE printer, DRIVER_CONTEXT *ctx, int block, DWORD flags, DWORD *status);
// StoreSaveItemBlockStatus without the out-parameter (the last error tells).
int WINAPI StoreSaveItemBlock(HANDLE printer, DRIVER_CONTEXT *ctx, int block, DWORD flags);
// The work block, then the DEVMODE block's INI items. 1; the last error as above.
int WINAPI StoreSaveDocumentItems(HANDLE printer, DRIVER_CONTEXT *ctx);
// The printer-configuration block and the font lists (only what changed). 1 when both
// answer 1; *status (optional) as above, covering both.
int WINAPI StoreSavePrinterItemsStatus(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD *status);
int WINAPI StoreSavePrinterItems(HANDLE printer, DRIVER_CONTEXT *ctx);
// The printer-configuration block and the font lists rebuilt from the description.
int WINAPI StoreSavePrinterItemsFromModel(HANDLE printer, DRIVER_CONTEXT *ctx);
// One item where its storage fields say: printer data, or the INI at iniPath (NULL: the
// settings INI) unless shared writes are barred. 1 when saved or nothing is to be saved
// there; 0 when the write failed (the last error tells why).
int WINAPI StoreSaveItem(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR iniPath);
// One item's value as printer data named by its key: 1, 2 or 4 bytes by value type (a bit
// item as the 4-byte 0 or 1; item 10275 as REG_DWORD), the raw field for text and block
// types, nothing for a text field without address. 1 when written or nothing is to be
// written; 0 when the write failed.
int WINAPI StoreWriteItemToPrinterData(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item);
// StoreWriteItemToPrinterData under the item's own name. 0 for NULL or an item without name.
int WINAPI StoreSaveItemByName(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item);

// TRUE when the printer's "AdminChange" printer data is set (non-zero); *value receives it.
// FALSE, *value untouched, when value is NULL or the value cannot be read.
BOOL WINAPI StoreGetAdminChange(HANDLE hPrinter, DWORD *value);

// ---------------------------------------------------------------- bidi state INI

// buf (MAX_PATH characters) := path of the bidi state INI; "" when the shared settings
// directory cannot be found.
LPWSTR WINAPI BidiGetIniPath(LPWSTR buf, DRIVER_CONTEXT *ctx);
// 1 when "BidiFlag" of the printer's section of the bidi state INI is non-zero, else 0.
int WINAPI BidiIniFlagOn(DRIVER_CONTEXT *ctx);
// Reads the printer-configuration items of the printer's section of the bidi state INI into
// the context, then its "BidiFunc". The read's answer: 1 when read (see the settings-file
// status for a rejected header), 0 when the file cannot be read.
int WINAPI BidiLoadIniState(DRIVER_CONTEXT *ctx);
// State item kdmBidiFunc := "BidiFunc" of the printer's section of the bidi state INI
// (default 0). 1; 0 when the INI's path is unknown.
int WINAPI BidiLoadIniFunc(DRIVER_CONTEXT *ctx);
// Deletes the printer's section of the bidi state INI. 1 (also when there was none); 0
// when the INI's path is unknown or the write failed.
int WINAPI BidiDeleteIniSection(DRIVER_CONTEXT *ctx);

KV_END_DECLS
