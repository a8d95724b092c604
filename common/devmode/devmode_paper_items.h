// Items derived from the DEVMODE's paper, resolution and finishing fields.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Recomputes the items derived from the DEVMODE: the state items of the UI mode, bidi and
// connection, and the sheet's start flag. (The paper and resolution items are not derived
// yet: their geometry is read from the description by functions still to come.)
void WINAPI DmRefreshDerivedItems(BYTE *devmode, DRIVER_CONTEXT *ctx, DWORD type);

KV_END_DECLS
