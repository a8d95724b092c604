// Build hooks of kvmlrule: its model row and its model-specific answers; the stub
// modules and feature switches it shares with the other non-UI deliverable are in
// common/build_hooks_nonui.cpp.
#include "hooks/build_hooks.h"

#include "items/item_store.h"
#include "hooks/model_notify.h"

// The model row of the application interface.
LONG WINAPI KvDeliverableModelNotify(DRIVER_CONTEXT *ctx, WORD event, void *data, void *priv)
{
  (void)priv;
  if (event == KV_EVT_PRINTER_INIT_MODE) {
    // Mode 2 registers the installed models as well.
    KV_EVT_INIT_MODE_DATA *d = (KV_EVT_INIT_MODE_DATA *)data;
    if (d != NULL && d->mode == 2) d->answer = 1;
    return d != NULL && d->mode == 2;
  }
  if (event == KV_EVT_VALUE_FLAG_QUESTION) {
    // A value carrying flag 0x10 is answered 1; others stay unanswered.
    KV_EVT_VALUE_ANSWER_DATA *d = (KV_EVT_VALUE_ANSWER_DATA *)data;
    if (d == NULL || (d->value & 0x10) == 0) return 0;
    d->answer = 1;
    return 1;
  }
  if (event == KV_EVT_MERGE_PRINT_QUALITY) return KvModelChooseResolution(ctx, (KV_EVT_PRINT_QUALITY_DATA *)data);
  return KvModelNotifyCommon(ctx, event, data);
}

// Colour-matching profiles registered by users: none are reported, and the caller's value
// says so (0) rather than keeping whatever it held.
LONG WINAPI ApiQueryUserColorProfiles(DRIVER_CONTEXT *ctx, LONG operation, LONG *value)
{
  (void)ctx, (void)operation;
  if (value != NULL) *value = 0;
  return 0;
}
