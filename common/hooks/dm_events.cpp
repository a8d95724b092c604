// Module events raised after the context's settings were taken over from elsewhere.
#include "hooks/dm_events.h"

#include "hooks/module_hooks.h"

void WINAPI CtxRaiseSettingsLoadedEvent(DRIVER_CONTEXT *ctx) { CtxNotifyModules(ctx, KV_EVT_SETTINGS_LOADED, NULL); }

void WINAPI CtxRaiseItemsChangedEvent(DRIVER_CONTEXT *ctx) { CtxNotifyModules(ctx, KV_EVT_ITEMS_CHANGED, NULL); }
