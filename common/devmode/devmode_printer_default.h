// The printer's default DEVMODE as the spooler keeps it: the user's own (PRINTER_INFO_9)
// and the one for all users (PRINTER_INFO_2 pDevMode, also PRINTER_INFO_8).
#pragma once

#include "context.h"

// The stored defaults in the order the driver tries them: the user's own, then the one for
// all users (KV_STORED_DEVMODE_* of os/os.h).
extern const int kDmStoredDefaultOrder[2];

KV_BEGIN_DECLS

// Copies the printer's default DEVMODE whole (1236 bytes) into the context's DEVMODE and
// stamps the build's block offsets: 1 when the printer has one with a dmSpecVersion, public
// size 220 and private size 1016 (the user's own when it is such, else the one for all
// users); else 0 with the context's DEVMODE untouched.
int WINAPI DmCopyPrinterDefault(DRIVER_CONTEXT *ctx);
// DmCopyPrinterDefault from one stored default only (scope: KV_STORED_DEVMODE_USER or
// KV_STORED_DEVMODE_GLOBAL): 1 when that one was copied, else 0 with the DEVMODE untouched.
int WINAPI DmCopyPrinterDefaultOf(DRIVER_CONTEXT *ctx, int scope);
// DmCopyPrinterDefault for a default DEVMODE of this printer model and private size
// (DmCheckModelAndSize): 1 when it was copied; 0, with the context's DEVMODE untouched,
// when the printer has none, its sizes differ or it is of another model or private size.
int WINAPI DmLoadPrinterDefault(DRIVER_CONTEXT *ctx);
// 1 when the spooler holds a default DEVMODE for the printer, the user's own or the one for
// all users, else 0 (also when the printer cannot be read).
int WINAPI OsPrinterHasDefaultDevmode(HANDLE printer);

KV_END_DECLS
