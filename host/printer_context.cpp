// The printer and driver context that the commands reading a printer's settings open.
#include "context/context_create.h"
#include "host.h"

namespace host {

int OpenPrinterContext(const std::string &printerName, DWORD createFlags, HANDLE *printer, DRIVER_CONTEXT **ctx)
{
  *printer = NULL;
  *ctx = nullptr;
  std::u16string name = Widen(printerName);
  PRINTER_DEFAULTSW defaults = {NULL, NULL, PRINTER_ACCESS_USE};
  if (!OpenPrinterW(name.data(), printer, &defaults))
    return Fail("cannot open printer \"" + printerName + "\": " + ErrorText(GetLastError()));
  *ctx = CtxCreate(*printer, *printer, NULL, createFlags);
  if (*ctx == nullptr) {
    DWORD err = GetLastError();
    ClosePrinter(*printer);
    *printer = NULL;
    return Fail("cannot open a driver context for printer \"" + printerName +
                "\" (its description could not be loaded): " + ErrorText(err));
  }
  return 0;
}

}  // namespace host
