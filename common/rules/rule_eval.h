// The rule engine of the printer description: the condition evaluator with its per-context
// stack, and the rules built on it (hidden and greyed values, alerts, transactions).
#pragma once

#include "context.h"
#include "blob/desc_blob.h"

#define KV_EVAL_STACK_ENTRIES 256

// Item 920: actions on it run a built-in function instead of storing a value.
#define KV_BUILTIN_FUNC_ITEM 920

KV_BEGIN_DECLS

// The evaluator stack of a context: depth 0 and 256 zero-filled entries. Returns 0 when the
// stack was allocated, -1 when memory is short; a context without a stack evaluates every
// condition to 0.
int WINAPI RuleAllocEvalStack(DRIVER_CONTEXT *ctx);
// Frees the context's evaluator stack and sets its depth to 0; nothing without state.
void WINAPI RuleFreeEvalStack(DRIVER_CONTEXT *ctx);

// Stores a value at the current depth and increments the depth. A full stack (or a context
// without one) keeps its depth and drops the value.
void WINAPI RulePush(DRIVER_CONTEXT *ctx, LONG value);
// Decrements the depth and answers the entry there; an empty stack answers 0 and stays
// empty.
DWORD WINAPI RulePop(DRIVER_CONTEXT *ctx);

// Runs condition code (units ending in END) on the context's current settings and answers
// the value END pops: 0 for no code, for an item reference without option row, for a
// context without a stack, and for code that would overflow the stack or pop a value it
// did not push. The stack's depth is the same after the call as before it.
LONG WINAPI RuleEvaluate(const RULE_CODE_UNIT *code, DRIVER_CONTEXT *ctx);

// The value a condition reads for an option item (computed items 626-817, judge-hook
// items 1070-1229, the length of a text item, else the current value ID).
LONG WINAPI RuleGetConditionValue(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item);

// Hide and disable judges: value 0 asks the item-level judge, any other value the judge of
// its first per-value entry; a missing block, entry or judge answers 0 (shown, enabled).
LONG WINAPI RuleIsValueHidden(const DESC_ITEM_NODE *node, WORD valueId, DRIVER_CONTEXT *ctx);
// The disable judge of the node's rule block for that value.
LONG WINAPI RuleIsValueDisabled(const DESC_ITEM_NODE *node, WORD valueId, DRIVER_CONTEXT *ctx);
// The hide judge of a rule block for that value (RuleIsValueHidden without the node).
LONG WINAPI RuleEvalHideJudge(const DESC_RULE_BLOCK *block, WORD valueId, DRIVER_CONTEXT *ctx);
// The disable judge of a rule block for that value.
LONG WINAPI RuleEvalDisableJudge(const DESC_RULE_BLOCK *block, WORD valueId, DRIVER_CONTEXT *ctx);

// Alerts: the message key of the first alert (of the node's block, or of a list) whose judge
// is true; 0 when none fires. An alert without judge never fires.
WORD WINAPI RuleFindAlert(const DESC_ITEM_NODE *node, DRIVER_CONTEXT *ctx);
// The message key of the first alert of a list whose judge is true; 0 when none.
WORD WINAPI RuleFirstTrueAlert(const DESC_ALERT *alerts, DRIVER_CONTEXT *ctx);
// The block's first alert with that message key, or NULL.
const DESC_ALERT *WINAPI RuleFindAlertByMessage(const DESC_RULE_BLOCK *block, WORD message);
// Runs the reaction to a message-box answer of the node's alert with that message key.
void WINAPI RuleApplyAlertAnswer(const DESC_ITEM_NODE *node, WORD message, WORD answer, DRIVER_CONTEXT *ctx);
// Runs the first alert-action entry for that answer: its transactions, then the keyboard
// focus to the named control of the named dialog when the dialog is open.
void WINAPI RuleRunAlertAction(const DESC_ALERT *alert, WORD answer, DRIVER_CONTEXT *ctx);

// Transactions: the actions of every entry whose judge holds run in list order; the first
// open-dialog action ends the run and its dialog ID is answered, else 0.
WORD WINAPI RuleRunTransactions(const DESC_TRANSACTION *list, DRIVER_CONTEXT *ctx);
// Transaction list 1 of the node's rule block; 0 without block.
WORD WINAPI RuleRunItemTransactions(const DESC_ITEM_NODE *node, DRIVER_CONTEXT *ctx);
// Transaction list 1 of the Exclusive entry with that key (a named model function such as
// "KPD_ConvertDevmode"); unused is not read. 0 when there is no such entry.
WORD WINAPI RuleRunKeyedTransactions(WORD key, LONG unused, DRIVER_CONTEXT *ctx);
// Transaction list 1 of the node of every option row, in row order; dialog IDs are ignored.
void WINAPI RuleRunAllItemTransactions(DRIVER_CONTEXT *ctx);

// Per configuration: an action on the built-in function item. The property-sheet library
// runs the built-in function with the value's low 16 bits; the others store the value like
// any other action.
void WINAPI RuleRunBuiltInAction(DRIVER_CONTEXT *ctx, DWORD value);
// Per configuration: gives the keyboard focus to a control of an open dialog window.
void WINAPI RuleFocusDialogControl(HWND dialog, WORD controlId);

KV_END_DECLS
