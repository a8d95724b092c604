// Module events that say the context's settings were taken over from elsewhere.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Raises module event 11 (settings loaded) with no data: a stored preset or a settings file
// was read into the context.
void WINAPI CtxRaiseSettingsLoadedEvent(DRIVER_CONTEXT *ctx);
// Raises module event 13 (items changed) with no data: the merge derived items from a
// DEVMODE's public fields.
void WINAPI CtxRaiseItemsChangedEvent(DRIVER_CONTEXT *ctx);

KV_END_DECLS
