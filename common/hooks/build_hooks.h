// Functions that each deliverable links with its own body: its module table, feature
// switches and model-specific limits and lookups. The library calls them by name.
#pragma once

#include "hooks/module_hooks.h"

KV_BEGIN_DECLS

// The deliverable's module table; *count := its row count.
MODULE_HOOK_ROW *WINAPI CtxGetModuleHooks(LONG *count);
// Feature 0: authentication items and their deployment keys; feature 1: the print
// notification probe. 0 = off.
LONG WINAPI CtxIsFeatureEnabled(DRIVER_CONTEXT *ctx, WORD feature, void *reserved);
// The job-control exchange and the common exchange block of the private DEVMODE.
int WINAPI JobCtlIsEnabled(void);
// The user-code provider paths.
int WINAPI UserCodeIsEnabled(void);
// Does nothing: the body of the empty model hooks.
void WINAPI CtxNoOp(LONG value, DRIVER_CONTEXT *ctx);
// Model limits of the custom paper size of a tray; 0 = none (the description's apply).
int WINAPI DmGetCustomSizeLimits(DRIVER_CONTEXT *ctx, WORD tray, WORD orientation, LONG *max, LONG *min, LONG axis);
// 1 when the text item may be stored with an empty INI value.
int WINAPI StoreIsEmptyValueItem(WORD id);
// The model row's notification handler of a deliverable without property sheets; the
// shared non-UI hooks put it in the last row of the module table.
LONG WINAPI KvDeliverableModelNotify(DRIVER_CONTEXT *ctx, WORD event, void *data, void *priv);
// Value of a judge-hook item (1070-1229) for the rule evaluator.
LONG WINAPI RuleGetJudgeHookValue(LONG a, LONG b);

// Called by CtxModulesMessage before the module message hooks; a non-zero answer ends the
// dispatch.
LONG WINAPI UiStartDocHook(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, CONTROL_RECORD *control, UINT code,
                           WPARAM wParam, LPARAM lParam);

#if defined(KV_CONFIG_UI)
// A control's range in 1200-dpi dots; 0 = none (the description node's range applies).
LONG WINAPI CtlGetRangeOverride(DRIVER_CONTEXT *ctx, CONTROL_RECORD *control, LONG *max, LONG *min);
// Marks the option rows of a context as the property sheets need them: refresh requests for
// the paper, tray and option items, display-unit lengths, and the two page-refresh items.
void WINAPI UiSetSheetItemFlags(DRIVER_CONTEXT *ctx);
// The built-in function pseudo-item of the rule transactions.
void WINAPI UiRunBuiltInFunc(DRIVER_CONTEXT *ctx, WORD code);
#endif

#if defined(KV_CONFIG_RULE)
// Colour-matching profiles that users registered: operation 0 count, 1 check.
LONG WINAPI ApiQueryUserColorProfiles(DRIVER_CONTEXT *ctx, LONG operation, LONG *value);
#endif

KV_END_DECLS
