// The driver's printer data: reading and writing one value of a printer through the
// spooler, the values with fixed names that several folders read (the help file name, the
// model's extra data file name, the permission probe) and whether the caller may change
// printer data at all.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Value names of printer data kept by these functions.
#define KV_PD_HELP_FILE_NAME u"HelpFileName"
#define KV_PD_ED_FILE_NAME u"DriverEDFileName"
#define KV_PD_PERMISSION u"Permission"
#define KV_PD_BIDI_FLAG u"BidiFlag"

// Where the model INI names the extra data file, and how many characters it may have.
#define KV_ED_FILE_SECTION u"DriversFileName"
#define KV_ED_FILE_KEY u"DriverEDFileName"
#define KV_ED_FILE_CCH 26

// Reads printer data `valueName` of the printer into buf (bytes bytes), whatever its type.
// TRUE when read; a value shorter than the buffer leaves the rest of it zeroed, so no byte
// of an earlier, longer content remains. FALSE, buf untouched, for a NULL buffer, zero
// bytes, a NULL or empty value name, a missing value, or a value larger than the buffer
// (never cut); the last error is then the spooler's answer. The context is not used.
BOOL WINAPI StoreGetPrinterData(HANDLE printer, void *buf, DWORD bytes, LPCWSTR valueName, DRIVER_CONTEXT *ctx);

// StoreGetPrinterData that also refuses (ERROR_INVALID_DATA) a value shorter than bytes:
// TRUE only when the value is exactly bytes long.
BOOL WINAPI StoreGetPrinterDataExact(HANDLE printer, void *buf, DWORD bytes, LPCWSTR valueName);

// A printer-data value as it stood before a write, to put it back when a later write of the
// same change fails. present is FALSE for a value that did not exist.
typedef struct STORE_SAVED_VALUE {
  BOOL present;
  DWORD type;
  DWORD size;
  BYTE *bytes;  // MemAllocZeroed; NULL when size is 0
} STORE_SAVED_VALUE;
// Records the value (or its absence). FALSE when it exists but cannot be read or memory
// runs out; *saved is then empty.
BOOL WINAPI StoreSaveValueForUndo(HANDLE printer, LPCWSTR valueName, STORE_SAVED_VALUE *saved);
// Writes the recorded value back, or deletes the value when it did not exist; frees the
// record. TRUE when the value stands as recorded.
BOOL WINAPI StoreUndoValue(HANDLE printer, LPCWSTR valueName, STORE_SAVED_VALUE *saved);
// Frees a record without writing.
void WINAPI StoreForgetValue(STORE_SAVED_VALUE *saved);

// Writes `bytes` bytes of data as printer data `valueName` with registry type `type`.
// TRUE when SetPrinterDataW succeeded. FALSE for NULL data, zero bytes, a NULL or empty
// value name, and whenever the spooler refuses the write (a user without rights to the
// printer, a failed write); the last error is then the spooler's answer.
BOOL WINAPI StoreSetPrinterData(HANDLE printer, const void *data, DWORD bytes, DWORD type, LPCWSTR valueName,
                                DRIVER_CONTEXT *ctx);
// StoreSetPrinterData with REG_BINARY.
BOOL WINAPI StoreSetPrinterDataBinary(HANDLE printer, const void *data, DWORD bytes, LPCWSTR valueName,
                                      DRIVER_CONTEXT *ctx);
// StoreSetPrinterData with REG_SZ; bytes counts the terminator the caller wants stored.
BOOL WINAPI StoreSetPrinterDataString(HANDLE printer, const WCHAR *data, DWORD bytes, LPCWSTR valueName,
                                      DRIVER_CONTEXT *ctx);

// Writes *data (bytes bytes, normally the DWORD 1) as printer data "Permission" with
// REG_DWORD, only to learn whether the caller may change the printer's data: TRUE when
// the write succeeded; FALSE as for StoreSetPrinterData.
BOOL WINAPI StoreProbePermission(HANDLE printer, const DWORD *data, DWORD bytes);

// The printer's help file name (printer data "HelpFileName", a file name) into buf
// (bytes bytes), terminated. FALSE, buf untouched, for a NULL buffer or context, fewer
// than two characters of room, a missing value, a value that is not text or one larger
// than the buffer; FALSE with buf "" for an empty value and for one that fills the buffer
// without a terminator.
BOOL WINAPI StoreGetHelpFileName(WCHAR *buf, DWORD bytes, DRIVER_CONTEXT *ctx);
// The same for a printer handle.
BOOL WINAPI StoreGetHelpFileNameOfPrinter(WCHAR *buf, DWORD bytes, HANDLE printer);

// Reads "DriverEDFileName" of section "DriversFileName" of the model INI (at most
// KV_ED_FILE_CCH - 1 characters, empty when missing) into the context's text buffer and
// stores it as printer data "DriverEDFileName" (REG_SZ with its terminator). TRUE when
// written; FALSE for a context without state, a model INI path or a printer, or a refused
// write.
BOOL WINAPI StoreSaveEdFileName(DRIVER_CONTEXT *ctx);

// TRUE when the caller may change the printer's data: printer data "BidiFlag" (at most 4
// bytes) could be read and was written back unchanged (its bytes and type). FALSE when
// the value is missing or longer, or the write is refused.
BOOL WINAPI BidiCanWritePrinterData(DRIVER_CONTEXT *ctx);

KV_END_DECLS
