// The rules of the printer description at run time: hidden and greyed values, alerts and
// their answers, transactions run after a change or by a named model function.
//
// Rule blocks and the rule data they link (judges, per-value entries, alerts, transactions,
// actions) are aligned in the block and read directly; item nodes are read field by field.
#include "blob/desc_runtime.h"
#include "items/item_store.h"
#include "rules/rule_eval.h"

static const DESC_RULE_BLOCK *NodeRuleBlock(const DESC_ITEM_NODE *node)
{
  if (node == NULL) return NULL;
  return (const DESC_RULE_BLOCK *)DESC_FIELDPTR(node, DESC_ITEM_NODE, rules);
}

static const RULE_CODE_UNIT *Judge(DESC_RULE_LINK link) { return (const RULE_CODE_UNIT *)link; }

// ---- Hide and disable judges ----

// The judge that answers for a value: the item-level one for value 0, else the one of the
// value's first per-value entry.
static DESC_RULE_LINK ValueJudge(const DESC_RULE_BLOCK *block, WORD valueId, bool hide)
{
  if (block == NULL) return 0;
  if (valueId == 0) return hide ? block->hideJudge : block->disableJudge;
  const DESC_VALUE_RULE *rule = DescFindValueRule(block, valueId);
  if (rule == NULL) return 0;
  return hide ? rule->hideJudge : rule->disableJudge;
}

LONG WINAPI RuleEvalHideJudge(const DESC_RULE_BLOCK *block, WORD valueId, DRIVER_CONTEXT *ctx)
{
  return RuleEvaluate(Judge(ValueJudge(block, valueId, true)), ctx);
}

LONG WINAPI RuleEvalDisableJudge(const DESC_RULE_BLOCK *block, WORD valueId, DRIVER_CONTEXT *ctx)
{
  return RuleEvaluate(Judge(ValueJudge(block, valueId, false)), ctx);
}

LONG WINAPI RuleIsValueHidden(const DESC_ITEM_NODE *node, WORD valueId, DRIVER_CONTEXT *ctx)
{
  return RuleEvalHideJudge(NodeRuleBlock(node), valueId, ctx);
}

LONG WINAPI RuleIsValueDisabled(const DESC_ITEM_NODE *node, WORD valueId, DRIVER_CONTEXT *ctx)
{
  return RuleEvalDisableJudge(NodeRuleBlock(node), valueId, ctx);
}

// ---- Transactions ----

// Runs the actions of one true entry; answers the dialog ID of an open-dialog action, which
// ends the run, else 0.
static WORD RunActions(const DESC_ACTION *action, DRIVER_CONTEXT *ctx)
{
  for (; action != NULL; action = (const DESC_ACTION *)action->next) {
    if (action->kind == 1) return action->target;
    if (action->target == KV_BUILTIN_FUNC_ITEM)
      RuleRunBuiltInAction(ctx, action->value);
    else
      ItemSetDefault(ctx, action->target, (LONG)action->value);
  }
  return 0;
}

// Entries that share a judge share its answer while it is false: a run of entries under
// one false judge is skipped without evaluating it again. A true judge is evaluated again,
// because the actions of the entries before may have changed what it reads.
WORD WINAPI RuleRunTransactions(const DESC_TRANSACTION *list, DRIVER_CONTEXT *ctx)
{
  const RULE_CODE_UNIT *lastJudge = NULL;
  LONG lastResult = 1;
  for (const DESC_TRANSACTION *entry = list; entry != NULL; entry = (const DESC_TRANSACTION *)entry->next) {
    const RULE_CODE_UNIT *judge = Judge(entry->judge);
    if (judge != NULL && judge == lastJudge && lastResult == 0) continue;
    LONG result = judge != NULL ? RuleEvaluate(judge, ctx) : 1;
    lastJudge = judge;
    lastResult = result;
    if (result == 0) continue;
    WORD dialog = RunActions((const DESC_ACTION *)entry->actions, ctx);
    if (dialog != 0) return dialog;
  }
  return 0;
}

WORD WINAPI RuleRunItemTransactions(const DESC_ITEM_NODE *node, DRIVER_CONTEXT *ctx)
{
  const DESC_RULE_BLOCK *block = NodeRuleBlock(node);
  if (block == NULL) return 0;
  return RuleRunTransactions((const DESC_TRANSACTION *)block->transactions1, ctx);
}

WORD WINAPI RuleRunKeyedTransactions(WORD key, LONG unused, DRIVER_CONTEXT *ctx)
{
  (void)unused;
  const DESC_RULE_BLOCK *block = DescFindRuleBlock(key, ctx);
  if (block == NULL) return 0;
  return RuleRunTransactions((const DESC_TRANSACTION *)block->transactions1, ctx);
}

void WINAPI RuleRunAllItemTransactions(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->items == NULL || ctx->items->rows == NULL || ctx->desc == NULL) return;
  const OPTION_ITEM *rows = (const OPTION_ITEM *)ctx->items->rows;
  for (SHORT i = 0; i < ctx->items->count; ++i) {
    if (rows[i].id == 0) continue;
    const DESC_ITEM_NODE *node = DescFindItemNode(rows[i].id, ctx);
    if (node != NULL) RuleRunItemTransactions(node, ctx);
  }
}

// ---- Alerts ----

WORD WINAPI RuleFirstTrueAlert(const DESC_ALERT *alerts, DRIVER_CONTEXT *ctx)
{
  for (const DESC_ALERT *alert = alerts; alert != NULL; alert = (const DESC_ALERT *)alert->next) {
    const RULE_CODE_UNIT *judge = Judge(alert->judge);
    if (judge != NULL && RuleEvaluate(judge, ctx) != 0) return alert->message;
  }
  return 0;
}

WORD WINAPI RuleFindAlert(const DESC_ITEM_NODE *node, DRIVER_CONTEXT *ctx)
{
  const DESC_RULE_BLOCK *block = NodeRuleBlock(node);
  if (block == NULL) return 0;
  return RuleFirstTrueAlert((const DESC_ALERT *)block->alerts, ctx);
}

const DESC_ALERT *WINAPI RuleFindAlertByMessage(const DESC_RULE_BLOCK *block, WORD message)
{
  if (block == NULL) return NULL;
  for (const DESC_ALERT *alert = (const DESC_ALERT *)block->alerts; alert != NULL;
       alert = (const DESC_ALERT *)alert->next) {
    if (alert->message == message) return alert;
  }
  return NULL;
}

void WINAPI RuleRunAlertAction(const DESC_ALERT *alert, WORD answer, DRIVER_CONTEXT *ctx)
{
  if (alert == NULL) return;
  const DESC_ALERT_ACTION *entry = (const DESC_ALERT_ACTION *)alert->answers;
  while (entry != NULL && entry->button != answer) entry = (const DESC_ALERT_ACTION *)entry->next;
  if (entry == NULL) return;
  RuleRunTransactions((const DESC_TRANSACTION *)entry->transactions, ctx);
  DIALOG_RECORD *dialog = DlgFindById(ctx, entry->dialog);
  if (dialog != NULL && dialog->window != NULL) RuleFocusDialogControl(dialog->window, entry->control);
}

void WINAPI RuleApplyAlertAnswer(const DESC_ITEM_NODE *node, WORD message, WORD answer, DRIVER_CONTEXT *ctx)
{
  RuleRunAlertAction(RuleFindAlertByMessage(NodeRuleBlock(node), message), answer, ctx);
}
