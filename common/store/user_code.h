// The user-code entry points that the settings store, the DEVMODE merge and the printer
// setup call. The INI synchronisation and the outside provider DLL sit behind the
// user-code switch (UserCodeIsEnabled), which every deliverable of this system builds
// off: with the switch off these are the whole behaviour.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Printer setup: 1 with the switch off (nothing to synchronise).
int WINAPI UserCodeSyncIni(DRIVER_CONTEXT *ctx);
// The DEVMODE merge: 1 with the switch off (no code is loaded from the user-code INI).
int WINAPI UserCodeLoadForDevmode(DRIVER_CONTEXT *ctx);
// The printer-interface entry points and the merge: does nothing with the switch off
// (the provider flags 619 and 622 keep their values).
void WINAPI UserCodeRefreshProviderFlags(DRIVER_CONTEXT *ctx);
// The printer-settings commit: does nothing with the switch off (no INI is written).
void WINAPI UserCodeSaveIni(DRIVER_CONTEXT *ctx);

KV_END_DECLS
