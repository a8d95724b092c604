// Build hooks of kvmldraw: its model row and its model-specific answers; the stub
// modules and feature switches it shares with the other non-UI deliverable are in
// common/build_hooks_nonui.cpp.
#include "hooks/build_hooks.h"

#include "hooks/model_notify.h"

// The model row of the renderer.
LONG WINAPI KvDeliverableModelNotify(DRIVER_CONTEXT *ctx, WORD event, void *data, void *priv)
{
  (void)priv;
  if (event == KV_EVT_OPTIONS_READ) return 0;  // the renderer reads no installed options
  return KvModelNotifyCommon(ctx, event, data);
}
