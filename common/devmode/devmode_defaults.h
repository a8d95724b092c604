// The starting settings of a context's work buffer and the reset to the defaults: the
// description's item defaults, the model's public fields, the check table for the items the
// description does not address, and the printer's stored DEVMODE when it is fully valid.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// A new zero-filled WORK_BUFFER for the load kind (0-3) holding the starting settings: the
// printer's stored default DEVMODE when it is this driver's model and size and not of an
// older major version (kinds 0-2; an older minor version is upgraded; the printer
// configuration then starts at its description defaults), else the defaults,
// taken over by the stored DEVMODE only when it passes every test. A stored DEVMODE taken
// gets this call's environment state. The caller owns the buffer; the context's own buffer
// is the same after the call as before. NULL when memory runs out or the context has no
// state.
BYTE *WINAPI DmBuildDefault(DRIVER_CONTEXT *ctx, WORD kind);
// Rebuilds the context's DEVMODE from the defaults: item defaults, driver version, public
// fields, the check table in its reset mode, the identification block, the environment
// state and the printer's language. Nothing without work buffer.
void WINAPI DmResetToDefaults(DRIVER_CONTEXT *ctx);
// Stamps the private header and sets every option item (but the font lists) to its
// description default; the languages and the default font names follow the driver.
void WINAPI DmResetItemsToDescDefaults(DRIVER_CONTEXT *ctx);
// Sets the work-block items to their description defaults, then the driver version item.
void WINAPI DmResetWorkBlockDefaults(DRIVER_CONTEXT *ctx);
// Sets the printer configuration items (but the font lists) to their description defaults
// and builds the device-information text from them: the configuration a context starts
// with when it takes the printer's stored DEVMODE, which does not carry it. The items kept in
// printer data are read over it afterwards. Nothing without items.
void WINAPI DmResetConfigBlockDefaults(DRIVER_CONTEXT *ctx);
// Item 1060 := the model record's driver version text.
void WINAPI DmSetDriverVersionItem(DRIVER_CONTEXT *ctx);
// Fills the public fields of the context's DEVMODE (devmode is not read; the context's own
// is used): a field bound to the description keeps a plausible value, any other field takes
// the model default; the dmFields bits follow. type is 1 for the defaults.
void WINAPI DmFillPublicDefaults(BYTE *devmode, DWORD type, DRIVER_CONTEXT *ctx);
// The check table in its reset mode, the derived items with the resolution code of the
// device resolution, and the identification block.
void WINAPI DmFinishDefaults(BYTE *devmode, DRIVER_CONTEXT *ctx);
// Replaces the context's DEVMODE by the printer's stored DEVMODE (the user's own when it
// passes, else the one for all users) when it exists, has this DEVMODE's sizes and driver
// version and passes the private header test. It is taken whole,
// public fields included; it gets this build's block offsets, its private values are checked
// (illegal ones repaired) and its state block is written from this call's environment. 1
// when taken, 0 when the context's DEVMODE was left alone.
int WINAPI DmAdoptStoredDevmode(DRIVER_CONTEXT *ctx);
// Runs the item check table on the context in mode (devmode is not read).
void WINAPI ItemCheckAllByTable(BYTE *devmode, DRIVER_CONTEXT *ctx, DWORD mode);

KV_END_DECLS
