// Items derived from the DEVMODE's paper, resolution and finishing fields.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Recomputes the items derived from the DEVMODE: the state items of the UI mode, bidi and
// connection, and the sheet's start flag. (The paper and resolution items are not derived
// yet: their geometry is read from the description by functions still to come.)
void WINAPI DmRefreshDerivedItems(BYTE *devmode, DRIVER_CONTEXT *ctx, DWORD type);
// 1 when the sort type (item 119) offers a value other than 0 that the rules neither hide nor
// grey; 0 without such a value or without description node.
int WINAPI DmCanCollate(DRIVER_CONTEXT *ctx);

KV_END_DECLS
