// Rule actions in the libraries without a user interface: the built-in function item is an
// ordinary item there, and no dialog window can take the focus.
#include "items/item_store.h"
#include "rules/rule_eval.h"

void WINAPI RuleRunBuiltInAction(DRIVER_CONTEXT *ctx, DWORD value)
{
  ItemSetDefault(ctx, KV_BUILTIN_FUNC_ITEM, (LONG)value);
}

void WINAPI RuleFocusDialogControl(HWND dialog, WORD controlId)
{
  (void)dialog;
  (void)controlId;
}
