// Allocating wrappers around GetPrinterW and GetPrinterDriverW, and the predicates
// built on them.
#include "os/os.h"

namespace {

// The two-call protocol: a size query that must fail with ERROR_INSUFFICIENT_BUFFER,
// then the call into a zeroed buffer of that size. checkSize: a size of 0 fails.
template <typename Query>
void *QueryAllocated(Query query, bool checkSize)
{
  DWORD needed = 0;
  if (query(nullptr, 0, &needed)) return nullptr;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return nullptr;
  if (checkSize && needed == 0) return nullptr;
  BYTE *buffer = static_cast<BYTE *>(GlobalAlloc(GPTR, needed));
  if (!buffer) return nullptr;
  if (!query(buffer, needed, &needed)) {
    GlobalFree(buffer);
    return nullptr;
  }
  return buffer;
}

}  // namespace

void *WINAPI OsGetPrinterInfo(HANDLE hPrinter, DWORD level)
{
  return QueryAllocated(
      [&](BYTE *buf, DWORD size, DWORD *needed) { return GetPrinterW(hPrinter, level, buf, size, needed); }, true);
}

void *WINAPI OsGetStoredDevmode(HANDLE hPrinter, int scope, const BYTE **devmode)
{
  if (devmode == nullptr) return nullptr;
  *devmode = nullptr;
  if (scope != KV_STORED_DEVMODE_USER && scope != KV_STORED_DEVMODE_GLOBAL) return nullptr;
  void *info = OsGetPrinterInfo(hPrinter, static_cast<DWORD>(scope));
  if (info == nullptr) return nullptr;
  const BYTE *dm = scope == KV_STORED_DEVMODE_USER
                       ? reinterpret_cast<const BYTE *>(static_cast<PRINTER_INFO_9W *>(info)->pDevMode)
                       : reinterpret_cast<const BYTE *>(static_cast<PRINTER_INFO_2W *>(info)->pDevMode);
  if (dm == nullptr) {
    GlobalFree(info);
    return nullptr;
  }
  *devmode = dm;
  return info;
}

void *WINAPI OsGetPrinterDriverInfoSized(HANDLE hPrinter, DWORD level, BOOL zeroSizeFails)
{
  return QueryAllocated([&](BYTE *buf, DWORD size,
                            DWORD *needed) { return GetPrinterDriverW(hPrinter, nullptr, level, buf, size, needed); },
                        zeroSizeFails != FALSE);
}

void *WINAPI OsGetPrinterDriverInfo(HANDLE hPrinter, DWORD level)
{
  return OsGetPrinterDriverInfoSized(hPrinter, level, TRUE);
}

BOOL WINAPI OsPrinterHandleHasAttribute(DWORD mask, HANDLE hPrinter)
{
  PRINTER_INFO_2W *info = static_cast<PRINTER_INFO_2W *>(OsGetPrinterInfo(hPrinter, 2));
  if (!info) return FALSE;
  BOOL has = (info->Attributes & mask) ? TRUE : FALSE;
  GlobalFree(info);
  return has;
}

BOOL WINAPI OsPrinterHasAttribute(DWORD mask, DRIVER_CONTEXT *ctx)
{
  return ctx ? OsPrinterHandleHasAttribute(mask, OsCtxPrinter(ctx)) : FALSE;
}

BOOL WINAPI OsPrinterBidiEnabled(DRIVER_CONTEXT *ctx)
{
  return OsPrinterHasAttribute(PRINTER_ATTRIBUTE_ENABLE_BIDI, ctx);
}

BOOL WINAPI OsPrinterHandleIsConnection(HANDLE hPrinter)
{
  PRINTER_INFO_2W *info = static_cast<PRINTER_INFO_2W *>(OsGetPrinterInfo(hPrinter, 2));
  if (!info) return FALSE;
  BOOL connection = info->pServerName ? TRUE : FALSE;
  GlobalFree(info);
  return connection;
}

BOOL WINAPI OsPrinterIsConnection(DRIVER_CONTEXT *ctx)
{
  return ctx ? OsPrinterHandleIsConnection(OsCtxPrinter(ctx)) : FALSE;
}
