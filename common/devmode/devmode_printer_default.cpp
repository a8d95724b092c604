// The printer's default DEVMODE: whether the spooler holds one, and taking it into a
// context's DEVMODE. The spooler keeps two: the user's own (the user's printing
// preferences) and the one for all users (the printer's defaults). The user's own stands
// first, as it does for the user on Windows; one that is not of this driver's sizes or
// model gives way to the one for all users.
#include "devmode/devmode_printer_default.h"

#include <string.h>

#include "devmode/devmode_convert.h"
#include "devmode/devmode_header.h"
#include "devmode/devmode_layout.h"
#include "os/os.h"

namespace {

// Copies the printer's stored default of that scope into the context when it has the
// driver's sizes and, with checkModel, passes DmCheckModelAndSize. The test is made on the
// spooler's copy before anything is written, so a refused DEVMODE leaves the context's
// settings as they were.
int TakePrinterDefault(DRIVER_CONTEXT *ctx, int scope, bool checkModel)
{
  BYTE *dm = CtxGetDevmode(ctx);
  if (dm == NULL) return 0;
  const BYTE *stored = NULL;
  void *info = OsGetStoredDevmode(OsCtxPrinter(ctx), scope, &stored);
  if (info == NULL) return 0;
  // The spooler hands over dmSize + dmDriverExtra bytes: with the driver's two sizes that
  // is the whole 1236-byte DEVMODE, and nothing past it is read.
  bool ok = DmGetSpecVersion(stored) != 0 && DmReadSize(stored) == DmGetPublicSize() &&
            DmReadDriverExtra(stored) == DmGetPrivateSize() && (!checkModel || DmCheckModelAndSize(stored));
  if (ok) {
    memcpy(dm, stored, DmGetTotalSize());
    DmStampBlockOffsets(dm);
  }
  GlobalFree(info);
  return ok ? 1 : 0;
}

int TakeFirstPrinterDefault(DRIVER_CONTEXT *ctx, bool checkModel)
{
  for (int scope : kDmStoredDefaultOrder)
    if (TakePrinterDefault(ctx, scope, checkModel)) return 1;
  return 0;
}

}  // namespace

const int kDmStoredDefaultOrder[2] = {KV_STORED_DEVMODE_USER, KV_STORED_DEVMODE_GLOBAL};

int WINAPI DmCopyPrinterDefault(DRIVER_CONTEXT *ctx) { return TakeFirstPrinterDefault(ctx, false); }

int WINAPI DmCopyPrinterDefaultOf(DRIVER_CONTEXT *ctx, int scope) { return TakePrinterDefault(ctx, scope, false); }

int WINAPI DmLoadPrinterDefault(DRIVER_CONTEXT *ctx) { return TakeFirstPrinterDefault(ctx, true); }

int WINAPI OsPrinterHasDefaultDevmode(HANDLE printer)
{
  for (int scope : kDmStoredDefaultOrder) {
    const BYTE *stored = NULL;
    void *info = OsGetStoredDevmode(printer, scope, &stored);
    if (info == NULL) continue;
    GlobalFree(info);
    return 1;
  }
  return 0;
}
