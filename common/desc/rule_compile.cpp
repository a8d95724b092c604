// Condition compiler (see rule_compile.h).
#include "desc/rule_compile.h"

#include <string.h>

#include "desc/rule_token.h"

#include "context.h"
#include "items/item_store.h"
#include "os/mem_str.h"

namespace {

struct OperatorName {
  const char *text;
  WORD code;
};
const OperatorName kOperators[] = {{"==", RULE_OP_EQ}, {"!=", RULE_OP_NE}, {"&&", RULE_OP_AND},
                                   {"||", RULE_OP_OR}, {"!", RULE_OP_NOT}, {">", RULE_OP_GT},
                                   {"<", RULE_OP_LT},  {">=", RULE_OP_GE}, {"<=", RULE_OP_LE}};

bool SameText(const char *a, const char *b) { return StrSameA(a, b) != FALSE; }

// Growable output of one compile; groups write into the same array. pendingOperands
// follows the evaluator's stack through the emitted units, so a condition that would hold
// more operands at once than the evaluator allows fails where it passes the bound. The
// units start in a buffer on the stack, which holds any ordinary condition, and move to
// the heap only when a long one outgrows it; the answer is one block of the exact size.
constexpr DWORD kInlineUnits = 128;
struct Output {
  RULE_CODE_UNIT *units;
  DWORD count;
  DWORD capacity;
  int pendingOperands;
  RULE_CODE_UNIT inlineUnits[kInlineUnits];
};

// Makes room for extra more units, doubling the capacity as often as that takes.
__attribute__((noinline)) bool RuleGrowCapacitySlow(Output *out, DWORD extra)
{
  unsigned long long needed = static_cast<unsigned long long>(out->count) + extra;
  unsigned long long grown = out->capacity;
  while (grown < needed) grown *= 2;
  if (grown > 0x3FFFFFFFull) return false;
  auto *units =
      static_cast<RULE_CODE_UNIT *>(GlobalAlloc(GMEM_FIXED, static_cast<DWORD>(grown) * sizeof(RULE_CODE_UNIT)));
  if (!units) return false;
  for (DWORD i = 0; i < out->count; ++i) units[i] = out->units[i];
  if (out->units != out->inlineUnits) GlobalFree(out->units);
  out->units = units;
  out->capacity = static_cast<DWORD>(grown);
  return true;
}

inline bool RuleGrowCapacity(Output *out, DWORD extra)
{
  return extra <= out->capacity - out->count || RuleGrowCapacitySlow(out, extra);
}

void FreeOutput(Output *out)
{
  if (out->units != out->inlineUnits) GlobalFree(out->units);
  out->units = out->inlineUnits;
}

// Appends one unit to room already made.
inline DWORD Put(Output *out, WORD kind, WORD operand)
{
  if (kind == RULE_UNIT_ITEM || kind == RULE_UNIT_LITERAL) {
    if (++out->pendingOperands > RULE_MAX_OPERANDS) return RULE_ERR_OPERANDS;
  } else if (kind == RULE_UNIT_OPERATOR && operand != RULE_OP_NOT && operand != RULE_OP_END) {
    --out->pendingOperands;
  }
  out->units[out->count].kind = kind;
  out->units[out->count].operand = operand;
  ++out->count;
  return RULE_ERR_NONE;
}

inline __attribute__((always_inline)) DWORD Emit(Output *out, WORD kind, WORD operand)
{
  if (!RuleGrowCapacity(out, 1)) return RULE_ERR_NO_MEMORY;
  return Put(out, kind, operand);
}

DWORD EmitPending(Output *out, WORD *pending)
{
  if (*pending == 0) return RULE_ERR_NONE;
  WORD code = *pending;
  *pending = 0;
  return Emit(out, RULE_UNIT_OPERATOR, code);
}

bool ParseLiteral(const char *digits, WORD *value)
{
  DWORD v = 0;
  for (; *digits; ++digits) {
    v = v * 10 + static_cast<DWORD>(*digits - '0');
    if (v > 0xFFFF) return false;
  }
  *value = static_cast<WORD>(v);
  return true;
}

// Resolves a word into units: an item, a value, or the copied code of an earlier Judge.
DWORD EmitWord(const RULE_NAME_RESOLVER *names, const char *word, Output *out)
{
  bool namedNonOperand = false;
  WORD id = 0;
  if (names->item && names->item(names->context, word, &id)) {
    if (id != 0) return Emit(out, RULE_UNIT_ITEM, id);
    namedNonOperand = true;
  }
  if (names->value && names->value(names->context, word, &id)) return Emit(out, RULE_UNIT_LITERAL, id);
  if (names->rejected && names->rejected(names->context, word)) return RULE_ERR_REJECTED_JUDGE;
  const RULE_CODE_UNIT *judge = names->judge ? names->judge(names->context, word) : nullptr;
  if (judge) {
    DWORD n = RuleCodeLength(judge) / sizeof(RULE_CODE_UNIT) - 1;
    if (!RuleGrowCapacity(out, n)) return RULE_ERR_NO_MEMORY;
    for (DWORD i = 0; i < n; ++i) {
      DWORD err = Put(out, judge[i].kind, judge[i].operand);
      if (err != RULE_ERR_NONE) return err;
    }
    return RULE_ERR_NONE;
  }
  return namedNonOperand ? RULE_ERR_NO_OPERAND : RULE_ERR_UNKNOWN_NAME;
}

// The operators left pending by the groups that are open: a "(" keeps the pending
// operator of its surroundings here until its ")". The stack starts on the machine stack
// and grows on the heap, so nesting is bounded by the text and by memory, not by the
// machine stack.
constexpr DWORD kInlineGroups = 32;
struct GroupStack {
  WORD *pending;
  DWORD count;
  DWORD capacity;
  WORD inlinePending[kInlineGroups];
};

bool PushGroup(GroupStack *groups, WORD pending)
{
  if (groups->count == groups->capacity) {
    DWORD grown = groups->capacity * 2;
    if (grown < groups->capacity || grown > 0x3FFFFFFFu) return false;
    WORD *list = static_cast<WORD *>(GlobalAlloc(GMEM_FIXED, grown * sizeof(WORD)));
    if (!list) return false;
    for (DWORD i = 0; i < groups->count; ++i) list[i] = groups->pending[i];
    if (groups->pending != groups->inlinePending) GlobalFree(groups->pending);
    groups->pending = list;
    groups->capacity = grown;
  }
  groups->pending[groups->count++] = pending;
  return true;
}

// Compiles the whole condition, strictly left to right with one pending operator per
// open group and no precedence; the output ends in END.
DWORD Compile(const RULE_NAME_RESOLVER *names, DESC_TEXT_BUFFER *src, Output *out, GroupStack *groups)
{
  char token[256];
  WORD pending = 0;
  for (;;) {
    DWORD kind = RuleScanTokenInline(src, token, sizeof(token));
    DWORD err = RULE_ERR_NONE;
    switch (kind) {
      case RULE_TOKEN_WORD:
        err = EmitWord(names, token, out);
        if (err == RULE_ERR_NONE) err = EmitPending(out, &pending);
        break;
      case RULE_TOKEN_NUMBER: {
        WORD value = 0;
        if (!ParseLiteral(token, &value)) return RULE_ERR_NUMBER_RANGE;
        err = Emit(out, RULE_UNIT_LITERAL, value);
        if (err == RULE_ERR_NONE) err = EmitPending(out, &pending);
        break;
      }
      case RULE_TOKEN_OPERATOR: {
        err = EmitPending(out, &pending);
        if (err != RULE_ERR_NONE) return err;
        for (const OperatorName &op : kOperators)
          if (op.text[0] == token[0] && SameText(op.text, token)) {
            pending = op.code;
            break;
          }
        if (pending == 0) return RULE_ERR_OPERATOR;
        break;
      }
      case RULE_TOKEN_TOO_LONG: return RULE_ERR_TOKEN;
      case RULE_TOKEN_BRACKET:
        if (token[0] == '(') {
          // The surroundings' pending operator waits for the group's value.
          if (!PushGroup(groups, pending)) return RULE_ERR_NO_MEMORY;
          pending = 0;
          break;
        }
        if (token[0] == ')') {
          if (groups->count == 0) return RULE_ERR_UNBALANCED;
          err = EmitPending(out, &pending);
          pending = groups->pending[--groups->count];
          break;
        }
        [[fallthrough]];  // a brace ends the condition
      default:
        // Any other character would end the condition silently and drop the rest of it.
        if (kind == RULE_TOKEN_OTHER && token[0] == '-') return RULE_ERR_NEGATIVE;
        if (kind == RULE_TOKEN_OTHER && token[0] != 0) return RULE_ERR_CHARACTER;
        if (groups->count != 0) return RULE_ERR_UNBALANCED;
        err = EmitPending(out, &pending);
        if (err == RULE_ERR_NONE) err = Emit(out, RULE_UNIT_OPERATOR, RULE_OP_END);
        return err;
    }
    if (err != RULE_ERR_NONE) return err;
  }
}

BOOL TableItem(void *, const char *name, WORD *itemId)
{
  const SYMBOL_ENTRY *sym = ItemFindSymbolByName(name);
  if (!sym) return FALSE;
  *itemId = sym->itemId;
  return TRUE;
}

BOOL TableValue(void *, const char *name, WORD *valueId)
{
  const VALUE_SYMBOL *sym = ItemFindValueSymbolByName(name);
  if (!sym) return FALSE;
  *valueId = sym->valueId;
  return TRUE;
}

const RULE_NAME_RESOLVER kTableResolver = {nullptr, TableItem, TableValue, nullptr, nullptr};

}  // namespace

const RULE_NAME_RESOLVER *WINAPI RuleNamesTableResolver(void) { return &kTableResolver; }

DWORD WINAPI RuleScanToken(DESC_TEXT_BUFFER *source, char *token, DWORD tokenSize)
{
  return RuleScanTokenInline(source, token, tokenSize);
}

namespace {

void *WINAPI AllocZeroed(void *, DWORD bytes) { return MemAllocZeroed(bytes); }

}  // namespace

RULE_CODE_UNIT *WINAPI RuleCompileExpression(const RULE_NAME_RESOLVER *names, DESC_TEXT_BUFFER *source, DWORD *error)
{
  return RuleCompileExpressionInto(names, source, error, AllocZeroed, nullptr);
}

RULE_CODE_UNIT *WINAPI RuleCompileExpressionInto(const RULE_NAME_RESOLVER *names, DESC_TEXT_BUFFER *source,
                                                 DWORD *error, RULE_CODE_ALLOCATOR allocate, void *context)
{
  DWORD dummy;
  if (!error) error = &dummy;
  *error = RULE_ERR_NONE;
  if (!names || !source || !source->text || !allocate) {
    *error = RULE_ERR_UNKNOWN_NAME;
    return nullptr;
  }
  source->length = 0;
  Output out;
  out.units = out.inlineUnits;
  out.capacity = kInlineUnits;
  out.count = 0;
  out.pendingOperands = 0;
  GroupStack groups;
  groups.pending = groups.inlinePending;
  groups.count = 0;
  groups.capacity = kInlineGroups;
  DWORD err = Compile(names, source, &out, &groups);
  if (groups.pending != groups.inlinePending) GlobalFree(groups.pending);
  RULE_CODE_UNIT *code = nullptr;
  if (err == RULE_ERR_NONE) {
    code = static_cast<RULE_CODE_UNIT *>(allocate(context, out.count * sizeof(RULE_CODE_UNIT)));
    if (code)
      for (DWORD i = 0; i < out.count; ++i) code[i] = out.units[i];
    else
      err = RULE_ERR_NO_MEMORY;
  }
  FreeOutput(&out);
  *error = err;
  return code;
}

DWORD WINAPI RuleCheckCode(const RULE_CODE_UNIT *code)
{
  if (!code) return 0;
  DWORD n = 0;
  for (;; ++code) {
    switch (code->kind) {
      case RULE_UNIT_ITEM:
      case RULE_UNIT_LITERAL:
        if (++n >= RULE_MAX_OPERANDS + 1) return 0;
        break;
      case RULE_UNIT_OPERATOR:
        if (code->operand == RULE_OP_END) return n == 1 ? 1 : 0;
        // The evaluator knows no other operator: code holding one is not this compiler's.
        if (code->operand < RULE_OP_EQ || code->operand > RULE_OP_LE) return 0;
        if (code->operand == RULE_OP_NOT) {
          if (n < 1) return 0;
        } else {
          if (n < 2) return 0;
          --n;
        }
        break;
      default: return 0;
    }
  }
}

DWORD WINAPI RuleCodeLength(const RULE_CODE_UNIT *code)
{
  DWORD n = 1;
  while (!(code->kind == RULE_UNIT_OPERATOR && code->operand == RULE_OP_END)) ++code, ++n;
  return n * sizeof(RULE_CODE_UNIT);
}
