// The property-sheet library's reaction to rule actions that reach the user interface: the
// built-in function item and the focus of an alert's answer.
#include "hooks/build_hooks.h"
#include "rules/rule_eval.h"

// An action on the built-in function item runs the function named by its low 16 bits
// (paper change, user size load, UI flag, or a module's action).
void WINAPI RuleRunBuiltInAction(DRIVER_CONTEXT *ctx, DWORD value) { UiRunBuiltInFunc(ctx, (WORD)(value & 0xFFFFu)); }

// The window layer has no keyboard focus yet: the control's window is looked up, and the
// focus change itself waits for the window layer's SetFocus.
void WINAPI RuleFocusDialogControl(HWND dialog, WORD controlId)
{
  if (dialog == NULL) return;
  (void)GetDlgItem(dialog, controlId);
}
