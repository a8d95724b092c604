// Build hooks of kvmlrule: its module table (stub modules and the model row), its feature
// switches and its model-specific answers.
#include "build_hooks.h"

#include "item_store.h"
#include "model_notify.h"
#include "pjl_vars.h"

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

// The model row of the application interface.
static LONG WINAPI ModelNotify(DRIVER_CONTEXT *ctx, WORD event, void *data, void *priv)
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

static MODULE_HOOK_ROW s_modules[KV_MODULE_ROW_COUNT] = {
    {0, NULL, StubAction, StubMessage, StubNotify}, {0, NULL, StubAction, NULL, StubNotify},
    {0, NULL, StubAction, NULL, StubNotify},        {0, NULL, StubAction, NULL, StubNotify},
    {0, NULL, StubAction, NULL, StubNotify},        {0, NULL, StubAction, NULL, ModelNotify}};

static PJL_VARIABLE_ROW s_pjlRows[KV_PJL_VARIABLE_ROWS];
static PJL_VARIABLE_TABLE s_pjlTable = {KV_PJL_VARIABLE_ROWS, s_pjlRows};

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

void WINAPI CtxNoOp(LONG value, DRIVER_CONTEXT *ctx)
{
  (void)value, (void)ctx;
}

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

PJL_VARIABLE_TABLE *WINAPI PjlGetVariableTable(void) { return &s_pjlTable; }

// Colour-matching profiles registered by users: none are reported.
LONG WINAPI ApiQueryUserColorProfiles(DRIVER_CONTEXT *ctx, LONG operation, LONG *value)
{
  (void)ctx, (void)operation, (void)value;
  return 0;
}
