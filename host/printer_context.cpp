// The printer and driver context that the commands reading or writing a printer's settings
// open, and their release.
#include "context/context_create.h"
#include "host.h"

namespace host {

namespace {

int OpenWithMode(const std::string &printerName, WORD openMode, DWORD createFlags, HANDLE *printer,
                 DRIVER_CONTEXT **ctx, bool administer)
{
  *printer = NULL;
  *ctx = nullptr;
  std::u16string name = Widen(printerName);
  PRINTER_DEFAULTSW full = {NULL, NULL, PRINTER_ALL_ACCESS};
  PRINTER_DEFAULTSW use = {NULL, NULL, PRINTER_ACCESS_USE};
  // A user without administrative rights still opens the printer to use it; a save of
  // printer data then fails with the spooler's answer.
  if (!(administer && OpenPrinterW(name.data(), printer, &full)) && !OpenPrinterW(name.data(), printer, &use)) {
    *printer = NULL;
    return Fail("cannot open printer \"" + printerName + "\": " + ErrorText(GetLastError()));
  }
  *ctx = CtxConstruct(*printer, *printer, NULL, openMode, createFlags);
  if (*ctx == nullptr || (*ctx)->work == nullptr) {
    DWORD err = GetLastError();
    if (*ctx != nullptr) CtxRelease(*ctx);
    *ctx = nullptr;
    ClosePrinter(*printer);
    *printer = NULL;
    return Fail("cannot open a driver context for printer \"" + printerName +
                "\" (its description could not be loaded): " + ErrorText(err));
  }
  return 0;
}

}  // namespace

int OpenPrinterContext(const std::string &printerName, DWORD createFlags, HANDLE *printer, DRIVER_CONTEXT **ctx,
                       bool administer)
{
  return OpenWithMode(printerName, CTX_OPEN_FULL, createFlags, printer, ctx, administer);
}

int OpenPrinterContextOfKind(const std::string &printerName, WORD kind, DWORD createFlags, HANDLE *printer,
                             DRIVER_CONTEXT **ctx)
{
  return OpenWithMode(printerName, kind, createFlags, printer, ctx, false);
}

void ClosePrinterContext(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  if (ctx != nullptr) {
    CtxRelease(ctx);
    // The host is one short process per command: nothing is kept cached after it.
    CtxExpireCache(1);
  }
  if (printer != NULL) ClosePrinter(printer);
}

}  // namespace host
