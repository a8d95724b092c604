// Printer data of the driver: one value read or written through the spooler, the
// fixed-name values built on that, and the test whether printer data may be changed.
#include "os/printer_data.h"

#include <string.h>

#include "files/ini.h"
#include "names/names_paths.h"

namespace {

BOOL Refuse(DWORD error)
{
  SetLastError(error);
  return FALSE;
}

bool HasText(LPCWSTR s) { return s != nullptr && s[0] != 0; }

// Reads a value into buf when it fits (never cut). text: only REG_SZ and REG_EXPAND_SZ are
// read, which is learnt before any byte of buf is written. *type and *size (either may be
// NULL) receive the value's type and length.
BOOL ReadValue(HANDLE printer, void *buf, DWORD bytes, LPCWSTR valueName, bool text, DWORD *type, DWORD *size)
{
  if (!buf || bytes == 0 || !HasText(valueName)) return Refuse(ERROR_INVALID_PARAMETER);
  LPWSTR name = const_cast<LPWSTR>(valueName);
  DWORD valueType = REG_NONE;
  DWORD needed = 0;
  DWORD rc = ERROR_SUCCESS;
  if (text) {
    rc = GetPrinterDataW(printer, name, &valueType, nullptr, 0, &needed);
    if (rc == ERROR_MORE_DATA || (rc == ERROR_SUCCESS && needed == 0))
      rc = (valueType == REG_SZ || valueType == REG_EXPAND_SZ) ? ERROR_SUCCESS : ERROR_INVALID_DATATYPE;
  }
  if (rc == ERROR_SUCCESS) rc = GetPrinterDataW(printer, name, &valueType, static_cast<LPBYTE>(buf), bytes, &needed);
  if (rc == ERROR_SUCCESS && text && valueType != REG_SZ && valueType != REG_EXPAND_SZ) rc = ERROR_INVALID_DATATYPE;
  if (rc != ERROR_SUCCESS) return Refuse(rc);
  if (needed < bytes) memset(static_cast<BYTE *>(buf) + needed, 0, bytes - needed);
  if (type) *type = valueType;
  if (size) *size = needed;
  return TRUE;
}

// "HelpFileName" into buf, terminated. A value that fills the buffer must end with its
// terminator; one that does not is refused and leaves buf "".
BOOL ReadHelpFileName(HANDLE printer, WCHAR *buf, DWORD bytes)
{
  if (!buf || bytes < 2 * sizeof(WCHAR)) return Refuse(ERROR_INVALID_PARAMETER);
  DWORD chars = bytes / sizeof(WCHAR);
  if (!ReadValue(printer, buf, chars * sizeof(WCHAR), KV_PD_HELP_FILE_NAME, true, nullptr, nullptr)) return FALSE;
  if (buf[chars - 1] != 0) {
    buf[0] = 0;
    return Refuse(ERROR_MORE_DATA);
  }
  return buf[0] != 0 ? TRUE : Refuse(ERROR_FILE_NOT_FOUND);  // an empty name names no file
}

}  // namespace

BOOL WINAPI StoreGetPrinterData(HANDLE printer, void *buf, DWORD bytes, LPCWSTR valueName, DRIVER_CONTEXT *)
{
  return ReadValue(printer, buf, bytes, valueName, false, nullptr, nullptr);
}

BOOL WINAPI StoreSetPrinterData(HANDLE printer, const void *data, DWORD bytes, DWORD type, LPCWSTR valueName,
                                DRIVER_CONTEXT *)
{
  if (!data || bytes == 0 || !HasText(valueName)) return Refuse(ERROR_INVALID_PARAMETER);
  DWORD rc = SetPrinterDataW(printer, const_cast<LPWSTR>(valueName), type,
                             static_cast<LPBYTE>(const_cast<void *>(data)), bytes);
  return rc == ERROR_SUCCESS ? TRUE : Refuse(rc);
}

BOOL WINAPI StoreSetPrinterDataBinary(HANDLE printer, const void *data, DWORD bytes, LPCWSTR valueName,
                                      DRIVER_CONTEXT *ctx)
{
  return StoreSetPrinterData(printer, data, bytes, REG_BINARY, valueName, ctx);
}

BOOL WINAPI StoreSetPrinterDataString(HANDLE printer, const WCHAR *data, DWORD bytes, LPCWSTR valueName,
                                      DRIVER_CONTEXT *ctx)
{
  return StoreSetPrinterData(printer, data, bytes, REG_SZ, valueName, ctx);
}

BOOL WINAPI StoreProbePermission(HANDLE printer, const DWORD *data, DWORD bytes)
{
  return StoreSetPrinterData(printer, data, bytes, REG_DWORD, KV_PD_PERMISSION, nullptr);
}

BOOL WINAPI StoreGetHelpFileName(WCHAR *buf, DWORD bytes, DRIVER_CONTEXT *ctx)
{
  if (!ctx) return Refuse(ERROR_INVALID_PARAMETER);
  return ReadHelpFileName(ctx->printer, buf, bytes);
}

BOOL WINAPI StoreGetHelpFileNameOfPrinter(WCHAR *buf, DWORD bytes, HANDLE printer)
{
  return ReadHelpFileName(printer, buf, bytes);
}

BOOL WINAPI StoreSaveEdFileName(DRIVER_CONTEXT *ctx)
{
  if (!ctx || !ctx->state) return Refuse(ERROR_INVALID_PARAMETER);
  const WCHAR *ini = CtxGetModelIniPath(ctx);
  if (!ini) return Refuse(ERROR_INVALID_PARAMETER);
  WCHAR *name = ctx->state->textBuffer;
  name[0] = 0;
  IniGetString(KV_ED_FILE_SECTION, KV_ED_FILE_KEY, u"", name, KV_ED_FILE_CCH, ini);
  DWORD bytes = static_cast<DWORD>(lstrlenW(name)) * sizeof(WCHAR) + sizeof(WCHAR);
  return StoreSetPrinterDataString(ctx->printer, name, bytes, KV_PD_ED_FILE_NAME, ctx);
}

BOOL WINAPI BidiCanWritePrinterData(DRIVER_CONTEXT *ctx)
{
  if (!ctx) return Refuse(ERROR_INVALID_PARAMETER);
  DWORD flag = 0;
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (!ReadValue(ctx->printer, &flag, sizeof flag, KV_PD_BIDI_FLAG, false, &type, &size)) return FALSE;
  if (size == 0) return Refuse(ERROR_INVALID_DATA);  // nothing to write back unchanged
  return StoreSetPrinterData(ctx->printer, &flag, size, type, KV_PD_BIDI_FLAG, ctx);
}

BOOL WINAPI StoreGetPrinterDataExact(HANDLE printer, void *buf, DWORD bytes, LPCWSTR valueName)
{
  DWORD size = 0;
  if (!ReadValue(printer, buf, bytes, valueName, false, nullptr, &size)) return FALSE;
  return size == bytes ? TRUE : Refuse(ERROR_INVALID_DATA);
}

BOOL WINAPI StoreSaveValueForUndo(HANDLE printer, LPCWSTR valueName, STORE_SAVED_VALUE *saved)
{
  if (!saved) return Refuse(ERROR_INVALID_PARAMETER);
  *saved = STORE_SAVED_VALUE{};
  if (!HasText(valueName)) return Refuse(ERROR_INVALID_PARAMETER);
  LPWSTR name = const_cast<LPWSTR>(valueName);
  DWORD type = REG_NONE;
  DWORD needed = 0;
  DWORD rc = GetPrinterDataW(printer, name, &type, nullptr, 0, &needed);
  if (rc == ERROR_FILE_NOT_FOUND) return TRUE;  // absent: undoing deletes it
  if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return Refuse(rc);
  saved->present = TRUE;
  saved->type = type;
  if (needed == 0) return TRUE;
  saved->bytes = static_cast<BYTE *>(MemAllocZeroed(needed));
  if (!saved->bytes) {
    *saved = STORE_SAVED_VALUE{};
    return Refuse(ERROR_NOT_ENOUGH_MEMORY);
  }
  rc = GetPrinterDataW(printer, name, &type, saved->bytes, needed, &needed);
  if (rc != ERROR_SUCCESS) {
    StoreForgetValue(saved);
    return Refuse(rc);
  }
  saved->size = needed;
  return TRUE;
}

BOOL WINAPI StoreUndoValue(HANDLE printer, LPCWSTR valueName, STORE_SAVED_VALUE *saved)
{
  if (!saved || !HasText(valueName)) return Refuse(ERROR_INVALID_PARAMETER);
  LPWSTR name = const_cast<LPWSTR>(valueName);
  DWORD rc;
  if (!saved->present) {
    rc = DeletePrinterDataW(printer, name);
    if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
  } else {
    BYTE empty = 0;
    rc = SetPrinterDataW(printer, name, saved->type, saved->bytes ? saved->bytes : &empty, saved->size);
  }
  StoreForgetValue(saved);
  return rc == ERROR_SUCCESS ? TRUE : Refuse(rc);
}

void WINAPI StoreForgetValue(STORE_SAVED_VALUE *saved)
{
  if (!saved) return;
  MemFree(saved->bytes);
  *saved = STORE_SAVED_VALUE{};
}
