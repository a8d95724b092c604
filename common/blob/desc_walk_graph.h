// The walk over a compiled description block's node graph (desc_walk.h), as a template on
// its visitor so that a user on a hot path (the relocator) has its link and node handling
// inlined into the walk, while DescWalkGraph serves every other user through the
// callbacks of DESC_WALK_VISITOR. Include it only where the walk is instantiated.
//
// A Visitor provides
//   bool Follow(const DESC_LINK &link, BYTE **target);  // as DESC_WALK_VISITOR.follow
//   bool Visit(const DESC_WALK_NODE &node);              // as DESC_WALK_VISITOR.visit
#pragma once

#include <initializer_list>

#include "blob/desc_store.h"
#include "blob/desc_walk.h"

namespace descwalk {

template <class Visitor>
class GraphWalk {
 public:
  GraphWalk(BYTE *block, Visitor *visitor) : base_(block), v_(visitor) {}

  bool Run();

 private:
  BYTE *base_;
  Visitor *v_;
  bool stopped_ = false;

  // Hands one link field to the caller; answers the node to enter, NULL for none.
  BYTE *Follow(BYTE *from, DESC_NODE_KIND fromKind, size_t field, DESC_NODE_KIND kind, DWORD flags, DWORD unit,
               DWORD count, DWORD depth = 0)
  {
    if (stopped_) return nullptr;
    DESC_LINK link = {from, fromKind, (DWORD)field, kind, flags, unit, count, depth};
    BYTE *target = nullptr;
    if (!v_->Follow(link, &target)) {
      stopped_ = true;
      return nullptr;
    }
    return target;
  }
  BYTE *FollowNode(BYTE *from, DESC_NODE_KIND fromKind, size_t field, DESC_NODE_KIND kind, DWORD size, DWORD flags = 0)
  {
    return Follow(from, fromKind, field, kind, flags, size, 1);
  }
  void FollowText(BYTE *from, DESC_NODE_KIND fromKind, size_t field)
  {
    BYTE *text = Follow(from, fromKind, field, DESC_NODE_TEXT, 0, 1, 0);
    if (text != nullptr) Visit(text, DESC_NODE_TEXT, 0);
  }
  void FollowCode(BYTE *from, DESC_NODE_KIND fromKind, size_t field)
  {
    BYTE *code = Follow(from, fromKind, field, DESC_NODE_CODE, DESC_LINK_TAGGED, sizeof(RULE_CODE_UNIT), 0);
    if (code != nullptr) Visit(code, DESC_NODE_CODE, 0);
  }
  // Answers whether the walk goes on into the node.
  bool Visit(BYTE *at, DESC_NODE_KIND kind, DWORD size, WORD sub = 0, DWORD depth = 0)
  {
    if (stopped_) return false;
    DESC_WALK_NODE node = {at, kind, size, sub, 0, depth};
    if (!v_->Visit(node)) stopped_ = true;
    return !stopped_;
  }

  void Items();
  void ValueData(BYTE *item, WORD type, bool shared);
  void ValueList(BYTE *first, DWORD dataClass);
  void RuleBlocks();
  void ValueRules(BYTE *from, DESC_NODE_KIND fromKind, size_t field);
  void Alerts(BYTE *from, size_t field);
  void AlertActions(BYTE *from, size_t field);
  void Transactions(BYTE *from, DESC_NODE_KIND fromKind, size_t field);
  void Actions(BYTE *from, size_t field);
  void CommandBlock(BYTE *block, DWORD depth);
  void Statements(BYTE *from, DESC_NODE_KIND fromKind, size_t field, DWORD depth, BYTE **chain = nullptr);
  void FontList(size_t countField, size_t listField);
};

inline DWORD ValueNodeSize(DWORD dataClass)
{
  switch (dataClass) {
    case DESC_TYPE_PICK_PAGE: return sizeof(DESC_PAGE_VALUE_NODE);
    case DESC_TYPE_PICK_SLOT: return sizeof(DESC_SLOT_VALUE_NODE);
    case DESC_TYPE_FONT_TABLE: return sizeof(DESC_FONT_VALUE_NODE);
    default: return sizeof(DESC_VALUE_NODE);
  }
}

template <class Visitor>
void GraphWalk<Visitor>::ValueList(BYTE *first, DWORD dataClass)
{
  const DWORD size = ValueNodeSize(dataClass);
  for (BYTE *v = first; v != nullptr && Visit(v, DESC_NODE_VALUE, size, (WORD)dataClass);) {
    FollowText(v, DESC_NODE_VALUE, offsetof(DESC_VALUE_NODE, command));
    if (dataClass == DESC_TYPE_PICK_PAGE) {
      BYTE *g = FollowNode(v, DESC_NODE_VALUE, offsetof(DESC_PAGE_VALUE_NODE, geometry), DESC_NODE_PAPER_GEOMETRY,
                           sizeof(DESC_PAPER_GEOMETRY));
      while (g != nullptr && Visit(g, DESC_NODE_PAPER_GEOMETRY, sizeof(DESC_PAPER_GEOMETRY)))
        g = FollowNode(g, DESC_NODE_PAPER_GEOMETRY, offsetof(DESC_PAPER_GEOMETRY, next), DESC_NODE_PAPER_GEOMETRY,
                       sizeof(DESC_PAPER_GEOMETRY));
    } else if (dataClass == DESC_TYPE_PICK_SLOT) {
      DWORD count = DESC_FIELD32(v, DESC_SLOT_VALUE_NODE, count);
      BYTE *papers = Follow(v, DESC_NODE_VALUE, offsetof(DESC_SLOT_VALUE_NODE, papers), DESC_NODE_PAPER_ARRAY,
                            count != 0 ? DESC_LINK_REQUIRED : 0, sizeof(WORD), count);
      if (papers != nullptr) Visit(papers, DESC_NODE_PAPER_ARRAY, count * (DWORD)sizeof(WORD));
    } else if (dataClass == DESC_TYPE_FONT_TABLE) {
      DWORD count = DESC_FIELD32(v, DESC_FONT_VALUE_NODE, count);
      for (size_t field : {offsetof(DESC_FONT_VALUE_NODE, names), offsetof(DESC_FONT_VALUE_NODE, substitutes)}) {
        BYTE *array = Follow(v, DESC_NODE_VALUE, field, DESC_NODE_TEXT_ARRAY, count != 0 ? DESC_LINK_REQUIRED : 0,
                             sizeof(char *), count);
        if (array == nullptr || !Visit(array, DESC_NODE_TEXT_ARRAY, count * (DWORD)sizeof(char *))) continue;
        for (DWORD i = 0; i < count && !stopped_; ++i) FollowText(array, DESC_NODE_TEXT_ARRAY, sizeof(char *) * i);
      }
    }
    v = FollowNode(v, DESC_NODE_VALUE, offsetof(DESC_VALUE_NODE, next), DESC_NODE_VALUE, size);
  }
}

// The value data of an item: a value list, a record, or nothing the walk reads.
template <class Visitor>
void GraphWalk<Visitor>::ValueData(BYTE *item, WORD type, bool shared)
{
  DWORD dataClass = DescStoredDataClass(type);
  DESC_NODE_KIND kind = DESC_NODE_VALUE;
  DWORD size = ValueNodeSize(dataClass);
  switch (dataClass) {
    case 0: kind = DESC_NODE_OPAQUE, size = 0; break;
    case DESC_TYPE_BOOLEAN: kind = DESC_NODE_BOOLEAN, size = sizeof(DESC_BOOLEAN_VALUE); break;
    case DESC_TYPE_NUMERIC: kind = DESC_NODE_NUMERIC, size = sizeof(DESC_NUMERIC_VALUE); break;
    case DESC_TYPE_STRING: kind = DESC_NODE_STRING, size = sizeof(DESC_STRING_VALUE); break;
    default: break;
  }
  BYTE *data = Follow(item, DESC_NODE_ITEM, offsetof(DESC_ITEM_NODE, values), kind, shared ? DESC_LINK_SHARED : 0, size,
                      size != 0 ? 1 : 0);
  if (data == nullptr) return;
  if (kind == DESC_NODE_VALUE) return ValueList(data, dataClass);
  if (!Visit(data, kind, size, type)) return;
  if (kind == DESC_NODE_BOOLEAN) {
    FollowText(data, kind, offsetof(DESC_BOOLEAN_VALUE, trueText));
    FollowText(data, kind, offsetof(DESC_BOOLEAN_VALUE, falseText));
  }
}

// The item list; variant and Identity nodes share the value data of a base node.
template <class Visitor>
void GraphWalk<Visitor>::Items()
{
  BYTE *node =
      FollowNode(base_, DESC_NODE_HEADER, offsetof(DESC_HEADER, items), DESC_NODE_ITEM, sizeof(DESC_ITEM_NODE));
  while (node != nullptr) {
    WORD type = DESC_FIELD16(node, DESC_ITEM_NODE, type);
    if (!Visit(node, DESC_NODE_ITEM, sizeof(DESC_ITEM_NODE), type)) return;
    BYTE *command = FollowNode(node, DESC_NODE_ITEM, offsetof(DESC_ITEM_NODE, command), DESC_NODE_OPTION_COMMAND,
                               sizeof(DESC_OPTION_COMMAND));
    if (command != nullptr && Visit(command, DESC_NODE_OPTION_COMMAND, sizeof(DESC_OPTION_COMMAND))) {
      FollowText(command, DESC_NODE_OPTION_COMMAND, offsetof(DESC_OPTION_COMMAND, first));
      FollowText(command, DESC_NODE_OPTION_COMMAND, offsetof(DESC_OPTION_COMMAND, second));
    }
    // The rule block is entered from the rule list; whatever follow answers here is not.
    FollowNode(node, DESC_NODE_ITEM, offsetof(DESC_ITEM_NODE, rules), DESC_NODE_RULE_BLOCK, sizeof(DESC_RULE_BLOCK),
               DESC_LINK_SHARED);
    ValueData(node, type, DESC_FIELD16(node, DESC_ITEM_NODE, variant) != 0);
    node = FollowNode(node, DESC_NODE_ITEM, offsetof(DESC_ITEM_NODE, next), DESC_NODE_ITEM, sizeof(DESC_ITEM_NODE));
  }
}

template <class Visitor>
void GraphWalk<Visitor>::Actions(BYTE *from, size_t field)
{
  BYTE *a = Follow(from, DESC_NODE_TRANSACTION, field, DESC_NODE_ACTION, DESC_LINK_TAGGED, sizeof(DESC_ACTION), 1);
  while (a != nullptr && Visit(a, DESC_NODE_ACTION, sizeof(DESC_ACTION)))
    a = Follow(a, DESC_NODE_ACTION, offsetof(DESC_ACTION, next), DESC_NODE_ACTION, DESC_LINK_TAGGED,
               sizeof(DESC_ACTION), 1);
}

template <class Visitor>
void GraphWalk<Visitor>::Transactions(BYTE *from, DESC_NODE_KIND fromKind, size_t field)
{
  BYTE *t = Follow(from, fromKind, field, DESC_NODE_TRANSACTION, DESC_LINK_TAGGED, sizeof(DESC_TRANSACTION), 1);
  while (t != nullptr && Visit(t, DESC_NODE_TRANSACTION, sizeof(DESC_TRANSACTION))) {
    FollowCode(t, DESC_NODE_TRANSACTION, offsetof(DESC_TRANSACTION, judge));
    Actions(t, offsetof(DESC_TRANSACTION, actions));
    t = Follow(t, DESC_NODE_TRANSACTION, offsetof(DESC_TRANSACTION, next), DESC_NODE_TRANSACTION, DESC_LINK_TAGGED,
               sizeof(DESC_TRANSACTION), 1);
  }
}

template <class Visitor>
void GraphWalk<Visitor>::AlertActions(BYTE *from, size_t field)
{
  BYTE *a =
      Follow(from, DESC_NODE_ALERT, field, DESC_NODE_ALERT_ACTION, DESC_LINK_TAGGED, sizeof(DESC_ALERT_ACTION), 1);
  while (a != nullptr && Visit(a, DESC_NODE_ALERT_ACTION, sizeof(DESC_ALERT_ACTION))) {
    Transactions(a, DESC_NODE_ALERT_ACTION, offsetof(DESC_ALERT_ACTION, transactions));
    a = Follow(a, DESC_NODE_ALERT_ACTION, offsetof(DESC_ALERT_ACTION, next), DESC_NODE_ALERT_ACTION, DESC_LINK_TAGGED,
               sizeof(DESC_ALERT_ACTION), 1);
  }
}

template <class Visitor>
void GraphWalk<Visitor>::Alerts(BYTE *from, size_t field)
{
  BYTE *a = Follow(from, DESC_NODE_RULE_BLOCK, field, DESC_NODE_ALERT, DESC_LINK_TAGGED, sizeof(DESC_ALERT), 1);
  while (a != nullptr && Visit(a, DESC_NODE_ALERT, sizeof(DESC_ALERT))) {
    FollowCode(a, DESC_NODE_ALERT, offsetof(DESC_ALERT, judge));
    AlertActions(a, offsetof(DESC_ALERT, answers));
    a = Follow(a, DESC_NODE_ALERT, offsetof(DESC_ALERT, next), DESC_NODE_ALERT, DESC_LINK_TAGGED, sizeof(DESC_ALERT),
               1);
  }
}

template <class Visitor>
void GraphWalk<Visitor>::ValueRules(BYTE *from, DESC_NODE_KIND fromKind, size_t field)
{
  BYTE *r = Follow(from, fromKind, field, DESC_NODE_VALUE_RULE, DESC_LINK_TAGGED, sizeof(DESC_VALUE_RULE), 1);
  while (r != nullptr && Visit(r, DESC_NODE_VALUE_RULE, sizeof(DESC_VALUE_RULE))) {
    FollowCode(r, DESC_NODE_VALUE_RULE, offsetof(DESC_VALUE_RULE, hideJudge));
    FollowCode(r, DESC_NODE_VALUE_RULE, offsetof(DESC_VALUE_RULE, disableJudge));
    r = Follow(r, DESC_NODE_VALUE_RULE, offsetof(DESC_VALUE_RULE, next), DESC_NODE_VALUE_RULE, DESC_LINK_TAGGED,
               sizeof(DESC_VALUE_RULE), 1);
  }
}

template <class Visitor>
void GraphWalk<Visitor>::RuleBlocks()
{
  BYTE *rb =
      FollowNode(base_, DESC_NODE_HEADER, offsetof(DESC_HEADER, rules), DESC_NODE_RULE_BLOCK, sizeof(DESC_RULE_BLOCK));
  while (rb != nullptr && Visit(rb, DESC_NODE_RULE_BLOCK, sizeof(DESC_RULE_BLOCK))) {
    FollowCode(rb, DESC_NODE_RULE_BLOCK, offsetof(DESC_RULE_BLOCK, hideJudge));
    FollowCode(rb, DESC_NODE_RULE_BLOCK, offsetof(DESC_RULE_BLOCK, disableJudge));
    ValueRules(rb, DESC_NODE_RULE_BLOCK, offsetof(DESC_RULE_BLOCK, valueRules));
    Alerts(rb, offsetof(DESC_RULE_BLOCK, alerts));
    Transactions(rb, DESC_NODE_RULE_BLOCK, offsetof(DESC_RULE_BLOCK, transactions1));
    Transactions(rb, DESC_NODE_RULE_BLOCK, offsetof(DESC_RULE_BLOCK, transactions2));
    rb = FollowNode(rb, DESC_NODE_RULE_BLOCK, offsetof(DESC_RULE_BLOCK, next), DESC_NODE_RULE_BLOCK,
                    sizeof(DESC_RULE_BLOCK));
  }
}

inline DWORD StatementSize(WORD kind)
{
  switch (kind) {
    case DESC_STMT_GROUP: return sizeof(DESC_STATEMENT_GROUP);
    case DESC_STMT_STRING: return sizeof(DESC_STATEMENT_STRING);
    case DESC_STMT_COMMAND: return sizeof(DESC_STATEMENT_COMMAND);
    default: return sizeof(DESC_STATEMENT);
  }
}

// A statement list. With chain given, a list of one conditional statement is not entered
// beyond its links: *chain receives its block (the caller goes on with it at the same depth)
// after the statement's next link has been handed over.
template <class Visitor>
void GraphWalk<Visitor>::Statements(BYTE *from, DESC_NODE_KIND fromKind, size_t field, DWORD depth, BYTE **chain)
{
  BYTE *s = Follow(from, fromKind, field, DESC_NODE_STATEMENT, 0, sizeof(DESC_STATEMENT), 1, depth);
  for (bool first = true; s != nullptr; first = false) {
    WORD kind = DESC_FIELD16(s, DESC_STATEMENT, kind);  // inside the head follow was shown
    if (!Visit(s, DESC_NODE_STATEMENT, StatementSize(kind), kind, depth)) return;
    if (kind == DESC_STMT_STRING) {
      DWORD length = DESC_FIELD32(s, DESC_STATEMENT_STRING, length);
      BYTE *text = Follow(s, DESC_NODE_STATEMENT, offsetof(DESC_STATEMENT_STRING, text), DESC_NODE_TEXT,
                          DESC_LINK_COUNTED, 1, length, depth);
      if (text != nullptr) Visit(text, DESC_NODE_TEXT, length, 0, depth);
    } else if (kind == DESC_STMT_COMMAND) {
      // The one conditional statement of an else part continues an ElseIf chain: its block
      // is at the depth of the block before it.
      bool link = chain != nullptr && first && DESC_FIELDPTR(s, DESC_STATEMENT, next) == nullptr;
      DWORD inner = link ? depth : depth + 1;
      BYTE *block = Follow(s, DESC_NODE_STATEMENT, offsetof(DESC_STATEMENT_COMMAND, block), DESC_NODE_COMMAND_BLOCK, 0,
                           sizeof(DESC_COMMAND_BLOCK), 1, inner);
      if (link) {
        Follow(s, DESC_NODE_STATEMENT, offsetof(DESC_STATEMENT, next), DESC_NODE_STATEMENT, 0, sizeof(DESC_STATEMENT),
               1, depth);
        *chain = block;
        return;
      }
      if (block != nullptr) CommandBlock(block, inner);
    }
    s = Follow(s, DESC_NODE_STATEMENT, offsetof(DESC_STATEMENT, next), DESC_NODE_STATEMENT, 0, sizeof(DESC_STATEMENT),
               1, depth);
  }
}

// A block and the ElseIf chain it begins, link by link.
template <class Visitor>
void GraphWalk<Visitor>::CommandBlock(BYTE *block, DWORD depth)
{
  while (block != nullptr) {
    if (!Visit(block, DESC_NODE_COMMAND_BLOCK, sizeof(DESC_COMMAND_BLOCK), 0, depth)) return;
    FollowCode(block, DESC_NODE_COMMAND_BLOCK, offsetof(DESC_COMMAND_BLOCK, judge));
    Statements(block, DESC_NODE_COMMAND_BLOCK, offsetof(DESC_COMMAND_BLOCK, thenList), depth);
    BYTE *next = nullptr;
    Statements(block, DESC_NODE_COMMAND_BLOCK, offsetof(DESC_COMMAND_BLOCK, elsePart), depth, &next);
    if (stopped_) return;
    block = next;
  }
}

// A header font list: count links, ending early at the first empty one. An empty list's
// link is not read.
template <class Visitor>
void GraphWalk<Visitor>::FontList(size_t countField, size_t listField)
{
  DWORD count = DescLd32(base_, countField);
  if (count == 0) return;
  BYTE *array = Follow(base_, DESC_NODE_HEADER, listField, DESC_NODE_FONT_ARRAY, DESC_LINK_REQUIRED,
                       sizeof(DESC_FONT_ID *), count);
  if (array == nullptr || !Visit(array, DESC_NODE_FONT_ARRAY, count * (DWORD)sizeof(DESC_FONT_ID *))) return;
  for (DWORD i = 0; i < count; ++i) {
    BYTE *entry =
        FollowNode(array, DESC_NODE_FONT_ARRAY, sizeof(DESC_FONT_ID *) * i, DESC_NODE_FONT_ID, sizeof(DESC_FONT_ID));
    if (entry == nullptr || !Visit(entry, DESC_NODE_FONT_ID, sizeof(DESC_FONT_ID))) break;
    FollowText(entry, DESC_NODE_FONT_ID, offsetof(DESC_FONT_ID, name));
  }
}

template <class Visitor>
bool GraphWalk<Visitor>::Run()
{
  if (!Visit(base_, DESC_NODE_HEADER, DESC_HEADER_SIZE)) return false;
  // Rule blocks first: item nodes link to them.
  RuleBlocks();
  Items();
  for (DWORD slot = offsetof(DESC_HEADER, slotsLow); slot < offsetof(DESC_HEADER, uiResDllName) && !stopped_;
       slot += sizeof(DESC_ITEM_NODE *))
    FollowNode(base_, DESC_NODE_HEADER, slot, DESC_NODE_ITEM, sizeof(DESC_ITEM_NODE), DESC_LINK_SHARED);  // not entered
  for (size_t field : {offsetof(DESC_HEADER, uiResDllName), offsetof(DESC_HEADER, excDepDllName)}) {
    BYTE *name = Follow(base_, DESC_NODE_HEADER, field, DESC_NODE_WIDE_TEXT, 0, sizeof(WCHAR), 0);
    if (name != nullptr) Visit(name, DESC_NODE_WIDE_TEXT, 0);
  }
  for (DWORD g = 0; g < DESC_GROUP_COUNT; ++g) {
    BYTE *block = FollowNode(base_, DESC_NODE_HEADER, offsetof(DESC_HEADER, groups) + sizeof(void *) * g,
                             DESC_NODE_COMMAND_BLOCK, sizeof(DESC_COMMAND_BLOCK));
    if (block != nullptr) CommandBlock(block, 0);
  }
  FontList(offsetof(DESC_HEADER, deviceFontCount), offsetof(DESC_HEADER, deviceFonts));
  FontList(offsetof(DESC_HEADER, cartridgeFontCount), offsetof(DESC_HEADER, cartridgeFonts));
  return !stopped_;
}

}  // namespace descwalk
