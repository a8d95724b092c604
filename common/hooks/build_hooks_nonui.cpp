// Build hooks shared by kvmlrule and kvmldraw, which have no property sheets: stub modules
// around the deliverable's own model row, the feature switches and the answers that only the
// user interface gives otherwise. Each deliverable's own file supplies its model row
// (KvDeliverableModelNotify) and whatever else is its own.
#include "hooks/build_hooks.h"

#include "items/item_store.h"
#include "hooks/model_notify.h"

static LONG WINAPI StubAction(DRIVER_CONTEXT *ctx, WORD code, void *priv)
{
  (void)ctx, (void)code, (void)priv;
  return 0;
}

static LONG WINAPI StubMessage(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, CONTROL_RECORD *control, UINT message,
                               WPARAM wParam, LPARAM lParam, void *priv)
{
  (void)ctx, (void)dialog, (void)control, (void)message, (void)wParam, (void)lParam, (void)priv;
  return 0;
}

static LONG WINAPI StubNotify(DRIVER_CONTEXT *ctx, WORD event, void *data, void *priv)
{
  (void)ctx, (void)event, (void)data, (void)priv;
  return 0;
}

static MODULE_HOOK_ROW s_modules[KV_MODULE_ROW_COUNT] = {
    {0, NULL, StubAction, StubMessage, StubNotify}, {0, NULL, StubAction, NULL, StubNotify},
    {0, NULL, StubAction, NULL, StubNotify},        {0, NULL, StubAction, NULL, StubNotify},
    {0, NULL, StubAction, NULL, StubNotify},        {0, NULL, StubAction, NULL, KvDeliverableModelNotify}};

MODULE_HOOK_ROW *WINAPI CtxGetModuleHooks(LONG *count)
{
  if (count != NULL) *count = KV_MODULE_ROW_COUNT;
  return s_modules;
}

LONG WINAPI CtxIsFeatureEnabled(DRIVER_CONTEXT *ctx, WORD feature, void *reserved)
{
  (void)ctx, (void)feature, (void)reserved;
  return 0;
}

int WINAPI JobCtlIsEnabled(void) { return 1; }
int WINAPI UserCodeIsEnabled(void) { return 0; }

void WINAPI CtxNoOp(LONG value, DRIVER_CONTEXT *ctx) { (void)value, (void)ctx; }

int WINAPI DmGetCustomSizeLimits(DRIVER_CONTEXT *ctx, WORD tray, WORD orientation, LONG *max, LONG *min, LONG axis)
{
  (void)ctx, (void)tray, (void)orientation, (void)max, (void)min, (void)axis;
  return 0;
}

int WINAPI StoreIsEmptyValueItem(WORD id)
{
  (void)id;
  return 0;
}

LONG WINAPI RuleGetJudgeHookValue(LONG a, LONG b)
{
  (void)a, (void)b;
  return 0;
}

// Without property sheets there is no document start to act on.
LONG WINAPI UiStartDocHook(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, CONTROL_RECORD *control, UINT code,
                           WPARAM wParam, LPARAM lParam)
{
  (void)ctx, (void)dialog, (void)control, (void)code, (void)wParam, (void)lParam;
  return 0;
}
