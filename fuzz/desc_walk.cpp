#include "desc_walk.h"

#include <stdio.h>

#include <set>

#include "blob/desc_walk.h"

namespace {

// The checks of the walk: every link the graph walk meets is checked before the walk
// enters it, every node before the walk reads it.
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

  static const char *Name(DESC_NODE_KIND kind);
  static BOOL FollowThunk(void *user, const DESC_LINK *link, BYTE **target)
  {
    return static_cast<Walker *>(user)->Follow(*link, target) ? TRUE : FALSE;
  }
  static BOOL VisitThunk(void *user, const DESC_WALK_NODE *node)
  {
    return static_cast<Walker *>(user)->Visit(*node) ? TRUE : FALSE;
  }
  bool Follow(const DESC_LINK &link, BYTE **target);
  bool Visit(const DESC_WALK_NODE &node);

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
    if (!Node(p, 1, what)) return false;
    if (st_) ++st_->texts;
    for (const BYTE *q = p; q < b_ + size_; ++q)
      if (*q == 0) return true;
    return Fail("text not terminated inside the block", p);
  }
  bool WideText(const BYTE *p, const char *what)
  {
    if (!Node(p, 2, what)) return false;
    for (const BYTE *q = p; q + 1 < b_ + size_; q += 2)
      if (q[0] == 0 && q[1] == 0) return true;
    return Fail("UTF-16 text not terminated inside the block", p);
  }
  bool Code(const BYTE *p, const char *what);
};

const char *Walker::Name(DESC_NODE_KIND kind)
{
  switch (kind) {
    case DESC_NODE_ITEM: return "item node";
    case DESC_NODE_OPTION_COMMAND: return "option command pair";
    case DESC_NODE_VALUE: return "value node";
    case DESC_NODE_PAPER_GEOMETRY: return "paper geometry";
    case DESC_NODE_PAPER_ARRAY: return "paper array";
    case DESC_NODE_TEXT_ARRAY: return "font name array";
    case DESC_NODE_BOOLEAN: return "Boolean record";
    case DESC_NODE_NUMERIC: return "Numeric record";
    case DESC_NODE_STRING: return "String record";
    case DESC_NODE_RULE_BLOCK: return "rule block";
    case DESC_NODE_VALUE_RULE: return "value rule";
    case DESC_NODE_ALERT: return "alert";
    case DESC_NODE_ALERT_ACTION: return "alert action";
    case DESC_NODE_TRANSACTION: return "transaction";
    case DESC_NODE_ACTION: return "action";
    case DESC_NODE_CODE: return "condition code";
    case DESC_NODE_COMMAND_BLOCK: return "command block";
    case DESC_NODE_STATEMENT: return "statement";
    case DESC_NODE_FONT_ARRAY: return "font array";
    case DESC_NODE_FONT_ID: return "font entry";
    case DESC_NODE_TEXT: return "text";
    case DESC_NODE_WIDE_TEXT: return "UTF-16 text";
    default: return "node";
  }
}

bool Walker::Code(const BYTE *p, const char *what)
{
  if (!Node(p, 4, what) || !Aligned(p, what)) return false;
  const BYTE *q = p;
  for (; q + 4 <= b_ + size_; q += 4)
    if (DescLd16(q, 0) == RULE_UNIT_OPERATOR && DescLd16(q, 2) == RULE_OP_END) break;
  if (q + 4 > b_ + size_) return Fail("condition code without END inside the block", p);
  if (RuleCheckCode((const RULE_CODE_UNIT *)p) != 1) return Fail("condition code that fails the code check", p);
  if (RuleCodeLength((const RULE_CODE_UNIT *)p) != (DWORD)(q + 4 - p))
    return Fail("code length disagrees with its END", p);
  return true;
}

bool Walker::Follow(const DESC_LINK &link, BYTE **target)
{
  *target = nullptr;
  const char *what = Name(link.kind);
  // The link field itself: inside the part of its node that was checked on entry.
  BYTE *p = const_cast<BYTE *>(DescLdPtr(link.from, link.field));
  if (p == nullptr) {
    if ((link.flags & DESC_LINK_REQUIRED) != 0) return Node(p, 1, what);
    return true;
  }
  if ((link.flags & DESC_LINK_SHARED) != 0) {
    if (link.kind == DESC_NODE_ITEM) {
      if (itemNodes_.count(p) == 0)
        return Fail("direct slot names a node outside the item list", link.from + link.field);
      return true;
    }
    if (link.kind == DESC_NODE_RULE_BLOCK) {
      if (ruleBlocks_.count(p) == 0) return Fail("item's rule block is not in the rule list", link.from);
      return true;
    }
  }
  switch (link.kind) {
    case DESC_NODE_TEXT:
      if ((link.flags & DESC_LINK_COUNTED) != 0) {
        if (!Node(p, link.count, "command string") || !Text(p, "command string")) return false;
        if (link.count == 0 || p[link.count - 1] != 0)
          return Fail("command string length disagrees with its text", link.from);
      } else if (!Text(p, what)) {
        return false;
      }
      break;
    case DESC_NODE_WIDE_TEXT:
      if (!WideText(p, link.field == offsetof(DESC_HEADER, uiResDllName) ? "UIResDLLName" : "ExcDepDLLName"))
        return false;
      break;
    case DESC_NODE_CODE:
      if (!walkedCode_.insert(p).second) return true;  // checked already
      if (!Code(p, what)) return false;
      break;
    case DESC_NODE_OPAQUE: return true;  // a type without value data of its own: the runtime reads none
    case DESC_NODE_PAPER_ARRAY:
    case DESC_NODE_TEXT_ARRAY:
    case DESC_NODE_FONT_ARRAY:
      if (link.count == 0) return true;  // an empty array is never read
      if (link.count > size_) return Fail("array count larger than the block", link.from);
      if (!Node(p, (size_t)link.count * link.unit, what)) return false;
      break;
    default:
      if (!Node(p, (size_t)link.unit * link.count, what)) return false;
      break;
  }
  switch (link.kind) {
    case DESC_NODE_RULE_BLOCK:
      if (!Aligned(p, what)) return false;
      if (!ruleBlocks_.insert(p).second) return Fail("rule block list runs in a circle", p);
      break;
    case DESC_NODE_ITEM:
      if (!itemNodes_.insert(p).second) return Fail("item list runs in a circle", p);
      break;
    case DESC_NODE_VALUE_RULE:
    case DESC_NODE_ALERT:
    case DESC_NODE_ALERT_ACTION:
    case DESC_NODE_TRANSACTION:
    case DESC_NODE_ACTION:
      if (!Aligned(p, what)) return false;
      // A section list named from several places is walked once.
      if (link.field != 0 && !walkedLists_.insert(p).second) return true;
      break;
    case DESC_NODE_VALUE:
    case DESC_NODE_BOOLEAN:
    case DESC_NODE_NUMERIC:
    case DESC_NODE_STRING:
      // Value data shared by a variant or an Identity item is walked once.
      if (link.fromKind == DESC_NODE_ITEM && !walkedData_.insert(p).second) return true;
      break;
    case DESC_NODE_COMMAND_BLOCK:
      if (link.depth > 4096) return Fail("command blocks nested beyond any text's depth", p);
      break;
    default: break;
  }
  *target = p;
  return true;
}

bool Walker::Visit(const DESC_WALK_NODE &node)
{
  if (node.kind == DESC_NODE_HEADER) return true;
  if (node.kind != DESC_NODE_TEXT && node.kind != DESC_NODE_WIDE_TEXT && node.kind != DESC_NODE_CODE && !Tick(node.at))
    return false;
  switch (node.kind) {
    case DESC_NODE_STATEMENT:
      if (node.sub < DESC_STMT_GROUP || node.sub > DESC_STMT_FONT) return Fail("statement of an unknown kind", node.at);
      if (!Node(node.at, node.size, "statement")) return false;
      if (st_) ++st_->statements;
      break;
    case DESC_NODE_ITEM:
      if (st_) ++st_->items;
      break;
    case DESC_NODE_VALUE:
      if (st_) ++st_->values;
      break;
    case DESC_NODE_RULE_BLOCK:
      if (st_) ++st_->ruleBlocks;
      break;
    case DESC_NODE_VALUE_RULE:
    case DESC_NODE_ALERT:
    case DESC_NODE_ALERT_ACTION:
    case DESC_NODE_TRANSACTION:
    case DESC_NODE_ACTION:
      if (st_) ++st_->ruleEntries;
      break;
    case DESC_NODE_CODE:
      if (st_) ++st_->judges;
      break;
    default: break;
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
  DESC_WALK_VISITOR visitor = {this, FollowThunk, VisitThunk};
  if (!DescWalkGraph(const_cast<BYTE *>(b_), &visitor)) {
    if (why.empty()) Fail("the walk stopped", nullptr);
    return false;
  }
  return true;
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
