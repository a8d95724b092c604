// The printer's default DEVMODE: whether the spooler holds one, and taking it into a
// context's DEVMODE.
#include "devmode/devmode_printer_default.h"

#include <string.h>

#include "devmode/devmode_convert.h"
#include "devmode/devmode_header.h"
#include "devmode/devmode_layout.h"
#include "os/os.h"

namespace {

// Copies the printer's default DEVMODE into the context when it has the driver's sizes and,
// with checkModel, passes DmCheckModelAndSize. The test is made on the spooler's copy before
// anything is written, so a refused DEVMODE leaves the context's settings as they were.
int TakePrinterDefault(DRIVER_CONTEXT *ctx, bool checkModel)
{
  BYTE *dm = CtxGetDevmode(ctx);
  if (dm == NULL) return 0;
  PRINTER_INFO_2W *info = (PRINTER_INFO_2W *)OsGetPrinterInfo(OsCtxPrinter(ctx), 2);
  if (info == NULL) return 0;
  const BYTE *stored = (const BYTE *)info->pDevMode;
  // The spooler hands over dmSize + dmDriverExtra bytes: with the driver's two sizes that
  // is the whole 1236-byte DEVMODE, and nothing past it is read.
  bool ok = stored != NULL && DmGetSpecVersion(stored) != 0 && DmReadSize(stored) == DmGetPublicSize() &&
            DmReadDriverExtra(stored) == DmGetPrivateSize() && (!checkModel || DmCheckModelAndSize(stored));
  if (ok) {
    memcpy(dm, stored, DmGetTotalSize());
    DmStampBlockOffsets(dm);
  }
  GlobalFree(info);
  return ok ? 1 : 0;
}

}  // namespace

int WINAPI DmCopyPrinterDefault(DRIVER_CONTEXT *ctx) { return TakePrinterDefault(ctx, false); }

int WINAPI DmLoadPrinterDefault(DRIVER_CONTEXT *ctx) { return TakePrinterDefault(ctx, true); }

int WINAPI OsPrinterHasDefaultDevmode(HANDLE printer)
{
  PRINTER_INFO_2W *info = (PRINTER_INFO_2W *)OsGetPrinterInfo(printer, 2);
  if (info == NULL) return 0;
  int has = info->pDevMode != NULL ? 1 : 0;
  GlobalFree(info);
  return has;
}
