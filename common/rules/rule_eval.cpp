// The condition evaluator: runs the postfix code of a description rule against the current
// settings of one context, on the context's evaluator stack.
#include "hooks/build_hooks.h"
#include "items/item_store.h"
#include "rules/rule_cond.h"
#include "rules/rule_eval.h"
#include "tables/item_ids.h"

// Length in UTF-16 characters of a text item. The buffer holds what the text reader may
// write (at least twice the field's size in bytes) and lives only for this call.
static LONG TextLength(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  DWORD chars = KvItemSize(item) + 1;
  if (chars < 6) chars = 6;
  WCHAR *buf = (WCHAR *)GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, chars * sizeof(WCHAR));
  if (buf == NULL) return 0;
  ItemReadText(ctx, item, buf);
  LONG len = 0;
  while ((DWORD)len < chars && buf[len] != 0) ++len;
  GlobalFree(buf);
  return len;
}

LONG WINAPI RuleGetConditionValue(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  if (item == NULL) return 0;
  WORD id = item->id;
  if (id >= KV_COMPUTED_COND_FIRST && id <= KV_COMPUTED_COND_LAST) return RuleGetComputedCondition(ctx, id);
  if (id >= ITEM_wdmJudgeHook0 && id <= ITEM_wdmJudgeHook159) return RuleGetJudgeHookValue(id, 0);
  // A text item's condition value is the length of its text.
  if (KvValueTypeIsText(KvItemValueType(item))) return TextLength(ctx, item);
  return ItemReadValue(ctx, item);
}

// Operands an operator takes from the stack; 0 for codes that are skipped.
static int OperandCount(WORD op)
{
  if (op >= RULE_OP_EQ && op <= RULE_OP_LE) return op == RULE_OP_NOT ? 1 : 2;
  return op == RULE_OP_END ? 1 : 0;
}

static DWORD Apply(WORD op, DWORD left, DWORD right)
{
  switch (op) {
    case RULE_OP_EQ: return left == right;
    case RULE_OP_NE: return left != right;
    case RULE_OP_AND: return left != 0 && right != 0;
    case RULE_OP_OR: return left != 0 || right != 0;
    case RULE_OP_NOT: return right == 0;
    case RULE_OP_GT: return left > right;
    case RULE_OP_LT: return left < right;
    case RULE_OP_GE: return left >= right;
    case RULE_OP_LE: return left <= right;
    default: return 0;
  }
}

// The evaluation works on the entries above the depth it found: code that would pop one of
// them, or push past the last entry, is refused with 0. Whatever ends the run, the depth
// is put back, so a context evaluates any number of conditions on its one stack.
LONG WINAPI RuleEvaluate(const RULE_CODE_UNIT *code, DRIVER_CONTEXT *ctx)
{
  if (code == NULL || ctx == NULL || ctx->state == NULL || ctx->state->eval.entries == NULL) return 0;
  CONTEXT_STATE *st = ctx->state;
  if (st->eval.depth < 0 || st->eval.depth > KV_EVAL_STACK_ENTRIES) st->eval.depth = 0;
  const int base = st->eval.depth;
  LONG *stack = st->eval.entries;
  int depth = base;
  bool cached = false;
  WORD cachedId = 0;
  LONG cachedValue = 0;
  LONG result = 0;
  for (const RULE_CODE_UNIT *unit = code;; ++unit) {
    WORD operand = unit->operand;
    if (unit->kind == RULE_UNIT_ITEM || unit->kind == RULE_UNIT_LITERAL) {
      LONG value = operand;
      if (unit->kind == RULE_UNIT_ITEM) {
        if (!cached || operand != cachedId) {
          const OPTION_ITEM *item = ItemFindById(ctx, operand);
          if (item == NULL) break;
          st->eval.depth = (SHORT)depth;  // a nested evaluation starts above our entries
          cachedValue = RuleGetConditionValue(ctx, item);
          st->eval.depth = (SHORT)base;
          cachedId = operand;
          cached = true;
        }
        value = cachedValue;
      }
      if (depth >= KV_EVAL_STACK_ENTRIES) break;
      stack[depth++] = value;
    } else if (unit->kind == RULE_UNIT_OPERATOR) {
      int need = OperandCount(operand);
      if (need == 0) continue;
      if (depth - base < need) break;
      DWORD right = (DWORD)stack[--depth];
      if (operand == RULE_OP_END) {
        result = (LONG)right;
        break;
      }
      DWORD left = need == 2 ? (DWORD)stack[--depth] : 0;
      stack[depth++] = (LONG)Apply(operand, left, right);
    }
  }
  st->eval.depth = (SHORT)base;
  return result;
}
