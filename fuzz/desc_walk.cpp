#include "desc_walk.h"

#include <stdio.h>

#include <set>

namespace {

class Walker {
 public:
  Walker(const BYTE *block, size_t size, DescWalkStats *stats) : b_(block), size_(size), st_(stats) {}

  bool Run();
  std::string why;

 private:
  const BYTE *b_;
  size_t size_;
  DescWalkStats *st_;
  std::set<const BYTE *> itemNodes_;
  std::set<const BYTE *> ruleBlocks_;
  std::set<const BYTE *> walkedData_;
  std::set<const BYTE *> walkedLists_;
  std::set<const BYTE *> walkedCode_;
  size_t budget_ = 0;  // nodes visited; a block of n bytes holds fewer than n nodes

  bool Fail(const char *what, const BYTE *at)
  {
    if (why.empty()) {
      char buf[160];
      snprintf(buf, sizeof buf, "%s (at offset %ld)", what, at != nullptr ? (long)(at - b_) : -1L);
      why = buf;
    }
    return false;
  }
  bool Tick(const BYTE *at)
  {
    if (++budget_ > size_) return Fail("more nodes than bytes: a list does not end", at);
    return true;
  }
  // A node of n bytes wholly inside the block, behind the header.
  bool Node(const BYTE *p, size_t n, const char *what)
  {
    uintptr_t lo = (uintptr_t)b_ + DESC_HEADER_SIZE, hi = (uintptr_t)b_ + size_;
    uintptr_t v = (uintptr_t)p;
    if (v < lo || v > hi || n > hi - v) {
      char buf[120];
      snprintf(buf, sizeof buf, "%s link %#lx outside the block", what, (unsigned long)(v - (uintptr_t)b_));
      return Fail(buf, nullptr);
    }
    return true;
  }
  bool Aligned(const BYTE *p, const char *what)
  {
    if (((uintptr_t)(p - b_) & 3u) != 0) {
      char buf[120];
      snprintf(buf, sizeof buf, "%s not on a 4-byte boundary", what);
      return Fail(buf, p);
    }
    return true;
  }
  bool Text(const BYTE *p, const char *what)
  {
    if (p == nullptr) return true;
    if (!Node(p, 1, what)) return false;
    if (st_) ++st_->texts;
    for (const BYTE *q = p; q < b_ + size_; ++q)
      if (*q == 0) return true;
    return Fail("text not terminated inside the block", p);
  }
  bool WideText(const BYTE *p, const char *what)
  {
    if (p == nullptr) return true;
    if (!Node(p, 2, what)) return false;
    for (const BYTE *q = p; q + 1 < b_ + size_; q += 2)
      if (q[0] == 0 && q[1] == 0) return true;
    return Fail("UTF-16 text not terminated inside the block", p);
  }
  bool Code(const BYTE *p, const char *what);
  bool Item(const BYTE *node);
  bool ValueData(const BYTE *node, WORD type, const BYTE *data);
  bool ValueList(const BYTE *first, WORD masked);
  bool RuleBlock(const BYTE *rb);
  bool ValueRules(const BYTE *first);
  bool Alerts(const BYTE *first);
  bool AlertActions(const BYTE *first);
  bool Transactions(const BYTE *first);
  bool Actions(const BYTE *first);
  bool CommandBlock(const BYTE *cb, int depth);
  bool Statements(const BYTE *first, int depth);
  bool Fonts(DWORD count, const BYTE *array, const char *what);
};

bool Walker::Code(const BYTE *p, const char *what)
{
  if (p == nullptr) return true;
  if (!Node(p, 4, what) || !Aligned(p, what)) return false;
  if (!walkedCode_.insert(p).second) return true;
  if (st_) ++st_->judges;
  const BYTE *q = p;
  for (; q + 4 <= b_ + size_; q += 4)
    if (DescLd16(q, 0) == RULE_UNIT_OPERATOR && DescLd16(q, 2) == RULE_OP_END) break;
  if (q + 4 > b_ + size_) return Fail("condition code without END inside the block", p);
  if (RuleCheckCode((const RULE_CODE_UNIT *)p) != 1) return Fail("condition code that fails the code check", p);
  if (RuleCodeLength((const RULE_CODE_UNIT *)p) != (DWORD)(q + 4 - p))
    return Fail("code length disagrees with its END", p);
  return true;
}

bool Walker::ValueList(const BYTE *first, WORD masked)
{
  size_t nodeSize = 12;
  if (masked == DESC_TYPE_PICK_PAGE || masked == DESC_TYPE_FONT_TABLE)
    nodeSize = 24;
  else if (masked == DESC_TYPE_PICK_SLOT)
    nodeSize = 20;
  for (const BYTE *v = first; v != nullptr; v = DESC_FIELDPTR(v, DESC_VALUE_NODE, next)) {
    if (!Tick(v) || !Node(v, nodeSize, "value node")) return false;
    if (st_) ++st_->values;
    if (!Text(DESC_FIELDPTR(v, DESC_VALUE_NODE, command), "value command")) return false;
    if (masked == DESC_TYPE_PICK_PAGE) {
      for (const BYTE *g = DESC_FIELDPTR(v, DESC_PAGE_VALUE_NODE, geometry); g != nullptr;
           g = DESC_FIELDPTR(g, DESC_PAPER_GEOMETRY, next))
        if (!Tick(g) || !Node(g, sizeof(DESC_PAPER_GEOMETRY), "paper geometry")) return false;
    } else if (masked == DESC_TYPE_PICK_SLOT) {
      DWORD count = DESC_FIELD32(v, DESC_SLOT_VALUE_NODE, count);
      const BYTE *papers = DESC_FIELDPTR(v, DESC_SLOT_VALUE_NODE, papers);
      if (count > size_) return Fail("paper count larger than the block", v);
      if (count > 0 && !Node(papers, (size_t)count * 2, "paper array")) return false;
    } else if (masked == DESC_TYPE_FONT_TABLE) {
      DWORD count = DESC_FIELD32(v, DESC_FONT_VALUE_NODE, count);
      if (count > size_) return Fail("font pair count larger than the block", v);
      if (count == 0) continue;
      const BYTE *names = DESC_FIELDPTR(v, DESC_FONT_VALUE_NODE, names);
      const BYTE *subs = DESC_FIELDPTR(v, DESC_FONT_VALUE_NODE, substitutes);
      if (!Node(names, (size_t)count * 4, "font name array") || !Node(subs, (size_t)count * 4, "substitute array"))
        return false;
      for (DWORD i = 0; i < count; ++i)
        if (!Text(DescLdPtr(names, 4 * i), "font name") || !Text(DescLdPtr(subs, 4 * i), "substitute name"))
          return false;
    }
  }
  return true;
}

bool Walker::ValueData(const BYTE *node, WORD type, const BYTE *data)
{
  if (data == nullptr) return true;
  if (!walkedData_.insert(data).second) return true;  // shared by a variant or an Identity item
  WORD masked = (WORD)(type & ~DESC_TYPE_FLAGS);
  switch (type & 0xFF) {
    case DESC_TYPE_PICK_ONE:
    case DESC_TYPE_PICK_MANY:
    case DESC_TYPE_PICK_ONE | DESC_TYPE_PICK_MANY: return ValueList(data, masked);
    case DESC_TYPE_BOOLEAN:
      if (!Node(data, sizeof(DESC_BOOLEAN_VALUE), "Boolean record")) return false;
      return Text(DESC_FIELDPTR(data, DESC_BOOLEAN_VALUE, trueText), "True text") &&
             Text(DESC_FIELDPTR(data, DESC_BOOLEAN_VALUE, falseText), "False text");
    case DESC_TYPE_NUMERIC: return Node(data, sizeof(DESC_NUMERIC_VALUE), "Numeric record");
    case DESC_TYPE_STRING: return Node(data, sizeof(DESC_STRING_VALUE), "String record");
    default: (void)node; return true;  // a type without value data of its own: the runtime reads none
  }
}

bool Walker::Item(const BYTE *node)
{
  if (st_) ++st_->items;
  const BYTE *cmd = DESC_FIELDPTR(node, DESC_ITEM_NODE, command);
  if (cmd != nullptr) {
    if (!Node(cmd, sizeof(DESC_OPTION_COMMAND), "option command pair")) return false;
    if (!Text(DESC_FIELDPTR(cmd, DESC_OPTION_COMMAND, first), "option command") ||
        !Text(DESC_FIELDPTR(cmd, DESC_OPTION_COMMAND, second), "option command"))
      return false;
  }
  const BYTE *rules = DESC_FIELDPTR(node, DESC_ITEM_NODE, rules);
  if (rules != nullptr && ruleBlocks_.count(rules) == 0) return Fail("item's rule block is not in the rule list", node);
  return ValueData(node, DESC_FIELD16(node, DESC_ITEM_NODE, type), DESC_FIELDPTR(node, DESC_ITEM_NODE, values));
}

bool Walker::Actions(const BYTE *first)
{
  if (first == nullptr || !walkedLists_.insert(first).second) return true;
  for (const BYTE *a = first; a != nullptr; a = DescLdPtr(a, offsetof(DESC_ACTION, next))) {
    if (!Tick(a) || !Node(a, sizeof(DESC_ACTION), "action") || !Aligned(a, "action")) return false;
    if (st_) ++st_->ruleEntries;
  }
  return true;
}

bool Walker::Transactions(const BYTE *first)
{
  if (first == nullptr || !walkedLists_.insert(first).second) return true;
  for (const BYTE *t = first; t != nullptr; t = DescLdPtr(t, offsetof(DESC_TRANSACTION, next))) {
    if (!Tick(t) || !Node(t, sizeof(DESC_TRANSACTION), "transaction") || !Aligned(t, "transaction")) return false;
    if (st_) ++st_->ruleEntries;
    if (!Code(DescLdPtr(t, offsetof(DESC_TRANSACTION, judge)), "transaction judge")) return false;
    if (!Actions(DescLdPtr(t, offsetof(DESC_TRANSACTION, actions)))) return false;
  }
  return true;
}

bool Walker::AlertActions(const BYTE *first)
{
  if (first == nullptr || !walkedLists_.insert(first).second) return true;
  for (const BYTE *a = first; a != nullptr; a = DescLdPtr(a, offsetof(DESC_ALERT_ACTION, next))) {
    if (!Tick(a) || !Node(a, sizeof(DESC_ALERT_ACTION), "alert action") || !Aligned(a, "alert action")) return false;
    if (st_) ++st_->ruleEntries;
    if (!Transactions(DescLdPtr(a, offsetof(DESC_ALERT_ACTION, transactions)))) return false;
  }
  return true;
}

bool Walker::Alerts(const BYTE *first)
{
  if (first == nullptr || !walkedLists_.insert(first).second) return true;
  for (const BYTE *a = first; a != nullptr; a = DescLdPtr(a, offsetof(DESC_ALERT, next))) {
    if (!Tick(a) || !Node(a, sizeof(DESC_ALERT), "alert") || !Aligned(a, "alert")) return false;
    if (st_) ++st_->ruleEntries;
    if (!Code(DescLdPtr(a, offsetof(DESC_ALERT, judge)), "alert judge")) return false;
    if (!AlertActions(DescLdPtr(a, offsetof(DESC_ALERT, answers)))) return false;
  }
  return true;
}

bool Walker::ValueRules(const BYTE *first)
{
  if (first == nullptr || !walkedLists_.insert(first).second) return true;
  for (const BYTE *r = first; r != nullptr; r = DescLdPtr(r, offsetof(DESC_VALUE_RULE, next))) {
    if (!Tick(r) || !Node(r, sizeof(DESC_VALUE_RULE), "value rule") || !Aligned(r, "value rule")) return false;
    if (st_) ++st_->ruleEntries;
    if (!Code(DescLdPtr(r, offsetof(DESC_VALUE_RULE, hideJudge)), "hide judge") ||
        !Code(DescLdPtr(r, offsetof(DESC_VALUE_RULE, disableJudge)), "disable judge"))
      return false;
  }
  return true;
}

bool Walker::RuleBlock(const BYTE *rb)
{
  if (st_) ++st_->ruleBlocks;
  return Code(DescLdPtr(rb, offsetof(DESC_RULE_BLOCK, hideJudge)), "block hide judge") &&
         Code(DescLdPtr(rb, offsetof(DESC_RULE_BLOCK, disableJudge)), "block disable judge") &&
         ValueRules(DescLdPtr(rb, offsetof(DESC_RULE_BLOCK, valueRules))) &&
         Alerts(DescLdPtr(rb, offsetof(DESC_RULE_BLOCK, alerts))) &&
         Transactions(DescLdPtr(rb, offsetof(DESC_RULE_BLOCK, transactions1))) &&
         Transactions(DescLdPtr(rb, offsetof(DESC_RULE_BLOCK, transactions2)));
}

bool Walker::Statements(const BYTE *first, int depth)
{
  for (const BYTE *s = first; s != nullptr; s = DESC_FIELDPTR(s, DESC_STATEMENT, next)) {
    if (!Tick(s) || !Node(s, sizeof(DESC_STATEMENT), "statement")) return false;
    if (st_) ++st_->statements;
    switch (DESC_FIELD16(s, DESC_STATEMENT, kind)) {
      case DESC_STMT_GROUP:
        if (!Node(s, sizeof(DESC_STATEMENT_GROUP), "GroupType statement")) return false;
        break;
      case DESC_STMT_STRING: {
        if (!Node(s, sizeof(DESC_STATEMENT_STRING), "StringType statement")) return false;
        const BYTE *text = DESC_FIELDPTR(s, DESC_STATEMENT_STRING, text);
        if (text != nullptr) {
          DWORD length = DESC_FIELD32(s, DESC_STATEMENT_STRING, length);
          if (!Node(text, length, "command string") || !Text(text, "command string")) return false;
          if (length == 0 || text[length - 1] != 0) return Fail("command string length disagrees with its text", s);
        }
        break;
      }
      case DESC_STMT_COMMAND:
        if (!Node(s, sizeof(DESC_STATEMENT_COMMAND), "Command statement")) return false;
        if (!CommandBlock(DESC_FIELDPTR(s, DESC_STATEMENT_COMMAND, block), depth + 1)) return false;
        break;
      case DESC_STMT_FONT: break;
      default: return Fail("statement of an unknown kind", s);
    }
  }
  return true;
}

bool Walker::CommandBlock(const BYTE *cb, int depth)
{
  if (cb == nullptr) return true;
  if (depth > 4096) return Fail("command blocks nested beyond any text's depth", cb);
  if (!Tick(cb) || !Node(cb, sizeof(DESC_COMMAND_BLOCK), "command block")) return false;
  return Code(DESC_FIELDPTR(cb, DESC_COMMAND_BLOCK, judge), "command judge") &&
         Statements(DESC_FIELDPTR(cb, DESC_COMMAND_BLOCK, thenList), depth) &&
         Statements(DESC_FIELDPTR(cb, DESC_COMMAND_BLOCK, elsePart), depth);
}

bool Walker::Fonts(DWORD count, const BYTE *array, const char *what)
{
  if (count == 0) return true;
  if (count > size_) return Fail("font count larger than the block", nullptr);
  if (!Node(array, (size_t)count * 4, what)) return false;
  for (DWORD i = 0; i < count; ++i) {
    const BYTE *entry = DescLdPtr(array, 4 * i);
    if (entry == nullptr) break;  // the list ends at its first empty entry
    if (!Node(entry, sizeof(DESC_FONT_ID), "font entry") ||
        !Text(DESC_FIELDPTR(entry, DESC_FONT_ID, name), "font name"))
      return false;
  }
  return true;
}

bool Walker::Run()
{
  if (size_ < DESC_HEADER_SIZE) return Fail("block smaller than its header", nullptr);
  const BYTE *h = b_;
  if (DescLd32(h, offsetof(DESC_HEADER, totalSize)) != size_) return Fail("total size differs from the block", h);
  bool versionEnds = false;
  for (int i = 0; i < 16; ++i) versionEnds |= DescLd16(h, 2 * i) == 0;
  if (!versionEnds) return Fail("FileVersion without its terminator", h);

  // Rule blocks first: item nodes refer to them.
  for (const BYTE *rb = DescLdPtr(h, offsetof(DESC_HEADER, rules)); rb != nullptr;
       rb = DescLdPtr(rb, offsetof(DESC_RULE_BLOCK, next))) {
    if (!Tick(rb) || !Node(rb, sizeof(DESC_RULE_BLOCK), "rule block") || !Aligned(rb, "rule block")) return false;
    if (!ruleBlocks_.insert(rb).second) return Fail("rule block list runs in a circle", rb);
    if (!RuleBlock(rb)) return false;
  }
  for (const BYTE *n = DescLdPtr(h, offsetof(DESC_HEADER, items)); n != nullptr;
       n = DESC_FIELDPTR(n, DESC_ITEM_NODE, next)) {
    if (!Tick(n) || !Node(n, sizeof(DESC_ITEM_NODE), "item node")) return false;
    if (!itemNodes_.insert(n).second) return Fail("item list runs in a circle", n);
    if (!Item(n)) return false;
  }
  for (DWORD slot = offsetof(DESC_HEADER, slotsLow); slot < offsetof(DESC_HEADER, uiResDllName); slot += 4) {
    const BYTE *n = DescLdPtr(h, slot);
    if (n != nullptr && itemNodes_.count(n) == 0)
      return Fail("direct slot names a node outside the item list", h + slot);
  }
  if (!WideText(DescLdPtr(h, offsetof(DESC_HEADER, uiResDllName)), "UIResDLLName") ||
      !WideText(DescLdPtr(h, offsetof(DESC_HEADER, excDepDllName)), "ExcDepDLLName"))
    return false;
  for (int g = 0; g < DESC_GROUP_COUNT; ++g)
    if (!CommandBlock(DescLdPtr(h, offsetof(DESC_HEADER, groups) + 4 * g), 0)) return false;
  return Fonts(DescLd32(h, offsetof(DESC_HEADER, deviceFontCount)), DescLdPtr(h, offsetof(DESC_HEADER, deviceFonts)),
               "device font array") &&
         Fonts(DescLd32(h, offsetof(DESC_HEADER, cartridgeFontCount)),
               DescLdPtr(h, offsetof(DESC_HEADER, cartridgeFonts)), "cartridge font array");
}

}  // namespace

bool DescWalkRelocated(const BYTE *block, size_t size, std::string *why, DescWalkStats *stats)
{
  Walker w(block, size, stats);
  bool ok = w.Run();
  if (!ok && why != nullptr) *why = w.why;
  return ok;
}

#include <stdlib.h>

#include "blob/desc_runtime.h"
#include "names/names_paths.h"
#include "rules/rule_eval.h"

namespace {

[[noreturn]] void RuntimeFail(const char *target, const char *what, long a)
{
  fprintf(stderr, "%s: %s (%ld)\n", target, what, a);
  abort();
}

void ExerciseItem(DRIVER_CONTEXT *ctx, WORD id, const char *target)
{
  const DESC_ITEM_NODE *node = DescFindItemNode(id, ctx);
  if (DescGetItemNode(id, ctx) != node) RuntimeFail(target, "the two node lookups disagree", id);
  WORD type = DescGetItemTypeRaw(id, ctx);
  if (node == nullptr) {
    if (type != 0 || DescGetItemType(id, ctx) != 0 || DescGetItemDefault(id, ctx) != 0 ||
        DescCountItemValues(id, ctx) != -1)
      RuntimeFail(target, "answers for an item without node", id);
    return;
  }
  if (DESC_FIELD16(node, DESC_ITEM_NODE, itemId) != id && DescSlotOffset(id) == 0)
    RuntimeFail(target, "list lookup answered a node of another ID", id);
  if (DescGetItemType(id, ctx) != (WORD)(type & ~DESC_TYPE_FLAGS)) RuntimeFail(target, "masked type", id);
  (void)DescGetItemDefault(id, ctx);
  WORD index = 0xBEEF;
  const void *values = DescGetItemValues(id, ctx, &index);
  LONG count = DescCountItemValues(id, ctx);
  if (count < 0) RuntimeFail(target, "negative value count for an item with node", count);
  WORD key = DESC_FIELD16(node, DESC_ITEM_NODE, key);
  const DESC_ITEM_NODE *byKey = DescFindItemNodeByKey(key, ctx);
  if (byKey == nullptr || DESC_FIELD16(byKey, DESC_ITEM_NODE, key) != key) RuntimeFail(target, "lookup by key", key);
  (void)DescGetItemNodeByKey(key, ctx);
  const DESC_RULE_BLOCK *block = DescFindRuleBlock(key, ctx);
  (void)RuleIsValueHidden(node, 0, ctx);
  (void)RuleIsValueDisabled(node, 0, ctx);
  (void)RuleFindAlert(node, ctx);
  // Every value of a list type, by walking the list the lookups answered.
  if ((type & 0x3) != 0 && values != nullptr && count > 0) {
    const BYTE *v = (const BYTE *)values;
    for (LONG i = 0; i < count && v != nullptr; ++i, v = DESC_FIELDPTR(v, DESC_VALUE_NODE, next)) {
      WORD valueId = DESC_FIELD16(v, DESC_VALUE_NODE, valueId);
      if (block != nullptr) (void)DescFindValueRule(block, valueId);
      (void)RuleIsValueHidden(node, valueId, ctx);
      (void)RuleIsValueDisabled(node, valueId, ctx);
    }
  }
}

}  // namespace

void DescExerciseRuntime(struct DESC_BLOB *blob, const char *target)
{
  DRIVER_CONTEXT ctx;
  memset(&ctx, 0, sizeof ctx);
  CONTEXT_STATE *state = (CONTEXT_STATE *)calloc(1, sizeof(CONTEXT_STATE));
  ctx.state = state;
  ctx.desc = blob;
  if (RuleAllocEvalStack(&ctx) != 0) RuntimeFail(target, "no evaluator stack", 0);
  for (DWORD id = 1; id <= 1270; ++id) ExerciseItem(&ctx, (WORD)id, target);
  for (DWORD id = 10001; id <= 10385; ++id) ExerciseItem(&ctx, (WORD)id, target);
  const BYTE *h = (const BYTE *)blob;
  for (const BYTE *n = DescLdPtr(h, offsetof(DESC_HEADER, items)); n != nullptr;
       n = DESC_FIELDPTR(n, DESC_ITEM_NODE, next)) {
    WORD id = DESC_FIELD16(n, DESC_ITEM_NODE, itemId);
    if (DescSlotOffset(id) == 0) ExerciseItem(&ctx, id, target);
    if (DescGetBlobItemDefault(id, blob) != DescGetItemDefault(id, &ctx) && id != 0)
      RuntimeFail(target, "block default differs from the context's", id);
  }
  if (DescCountList(DescLdPtr(h, offsetof(DESC_HEADER, items))) == 0 && DescLdPtr(h, offsetof(DESC_HEADER, items)))
    RuntimeFail(target, "a non-empty item list counts 0", 0);
  // The UI resource DLL name is read as UTF-16 text by the resource DLL paths, as every
  // context of the printer does.
  (void)CtxGetCommonResDllPath(&ctx);
  if (state->eval.depth != 0) RuntimeFail(target, "evaluations left the stack deeper", state->eval.depth);
  RuleFreeEvalStack(&ctx);
  free(state);
}
