// The printer's default DEVMODE as the spooler keeps it (PRINTER_INFO_2 pDevMode).
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Copies the printer's default DEVMODE whole (1236 bytes) into the context's DEVMODE and
// stamps the build's block offsets: 1 when the printer has one with a dmSpecVersion, public
// size 220 and private size 1016; else 0 with the context's DEVMODE untouched.
int WINAPI DmCopyPrinterDefault(DRIVER_CONTEXT *ctx);
// DmCopyPrinterDefault for a default DEVMODE of this printer model and private size
// (DmCheckModelAndSize): 1 when it was copied; 0, with the context's DEVMODE untouched,
// when the printer has none, its sizes differ or it is of another model or private size.
int WINAPI DmLoadPrinterDefault(DRIVER_CONTEXT *ctx);
// 1 when the spooler holds a default DEVMODE for the printer, else 0 (also when the printer
// cannot be read).
int WINAPI OsPrinterHasDefaultDevmode(HANDLE printer);

KV_END_DECLS
