#include "blob_builder.h"

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

BlobBuilder::BlobBuilder(size_t capacity)
    : storage_(new DWORD[capacity / 4 + 1]()),
      base_(reinterpret_cast<BYTE *>(storage_.get())),
      capacity_(capacity),
      used_(DESC_HEADER_SIZE)
{
  blob()->header.totalSize = (DWORD)capacity;
}

BYTE *BlobBuilder::Alloc(size_t bytes, bool odd)
{
  used_ = (used_ + 3) & ~size_t(3);
  if (odd) used_ += 1;  // one byte of "text" in front of the node
  if (used_ + bytes > capacity_) {
    ADD_FAILURE() << "test blob too small";
    std::abort();
  }
  BYTE *p = base_ + used_;
  used_ += bytes;
  return p;
}

void BlobBuilder::Append(DESC_RULE_LINK *head, void *entry)
{
  // Every rule list links its entries through the link at the entry's start.
  DESC_RULE_LINK *link = head;
  while (*link != 0) link = reinterpret_cast<DESC_RULE_LINK *>(*link);
  *link = reinterpret_cast<DESC_RULE_LINK>(entry);
}

BYTE *BlobBuilder::AddItem(WORD itemId, WORD key, WORD type, WORD defaultIndex)
{
  BYTE *node = Alloc(sizeof(DESC_ITEM_NODE), true);
  DescSt16(node, offsetof(DESC_ITEM_NODE, key), key);
  DescSt16(node, offsetof(DESC_ITEM_NODE, itemId), itemId);
  DescSt16(node, offsetof(DESC_ITEM_NODE, type), type);
  DescSt16(node, offsetof(DESC_ITEM_NODE, defaultValue), defaultIndex);
  // Append to the item list.
  BYTE *link = base_ + offsetof(DESC_HEADER, items);
  size_t at = 0;
  while (DescLdPtr(link, at) != nullptr) {
    link = const_cast<BYTE *>(DescLdPtr(link, at));
    at = offsetof(DESC_ITEM_NODE, next);
  }
  DescStPtr(link, at, node);
  DWORD slot = DescSlotOffset(itemId);
  if (slot != 0 && DescLdPtr(base_, slot) == nullptr) DescStPtr(base_, slot, node);
  return node;
}

BYTE *BlobBuilder::AddValues(BYTE *item, std::initializer_list<WORD> valueIds)
{
  BYTE *head = nullptr;
  BYTE *last = nullptr;
  for (WORD id : valueIds) {
    BYTE *value = Alloc(sizeof(DESC_VALUE_NODE), true);
    DescSt16(value, offsetof(DESC_VALUE_NODE, valueId), id);
    if (last != nullptr)
      DescStPtr(last, offsetof(DESC_VALUE_NODE, next), value);
    else
      head = value;
    last = value;
  }
  DescStPtr(item, offsetof(DESC_ITEM_NODE, values), head);
  return head;
}

BYTE *BlobBuilder::SetBoolean(BYTE *item, DWORD defaultValue)
{
  BYTE *data = Alloc(sizeof(DESC_BOOLEAN_VALUE), true);
  DescSt32(data, offsetof(DESC_BOOLEAN_VALUE, defaultValue), defaultValue);
  DescStPtr(item, offsetof(DESC_ITEM_NODE, values), data);
  return data;
}

BYTE *BlobBuilder::SetNumeric(BYTE *item, DWORD defaultValue, DWORD minimum, DWORD maximum)
{
  BYTE *data = Alloc(sizeof(DESC_NUMERIC_VALUE), true);
  DescSt32(data, offsetof(DESC_NUMERIC_VALUE, defaultValue), defaultValue);
  DescSt32(data, offsetof(DESC_NUMERIC_VALUE, minimum), minimum);
  DescSt32(data, offsetof(DESC_NUMERIC_VALUE, maximum), maximum);
  DescStPtr(item, offsetof(DESC_ITEM_NODE, values), data);
  return data;
}

BYTE *BlobBuilder::SetString(BYTE *item, WORD defaultValue)
{
  BYTE *data = Alloc(sizeof(DESC_STRING_VALUE), true);
  DescSt16(data, offsetof(DESC_STRING_VALUE, defaultValue), defaultValue);
  DescStPtr(item, offsetof(DESC_ITEM_NODE, values), data);
  return data;
}

void BlobBuilder::SetUiResDllName(const WCHAR *name)
{
  size_t n = 0;
  while (name[n] != 0) ++n;
  BYTE *text = Alloc((n + 1) * sizeof(WCHAR), false);
  memcpy(text, name, (n + 1) * sizeof(WCHAR));
  blob()->header.uiResDllName = reinterpret_cast<WCHAR *>(text);
}

const RULE_CODE_UNIT *BlobBuilder::AddCode(const Code &code)
{
  BYTE *p = Alloc(code.size() * sizeof(RULE_CODE_UNIT), false);
  memcpy(p, code.data(), code.size() * sizeof(RULE_CODE_UNIT));
  return reinterpret_cast<const RULE_CODE_UNIT *>(p);
}

DESC_RULE_BLOCK *BlobBuilder::AddRuleBlock(WORD key, BYTE *item)
{
  auto *block = AllocRule<DESC_RULE_BLOCK>();
  block->key = key;
  DESC_RULE_BLOCK **link = &blob()->header.rules;
  while (*link != nullptr) link = &(*link)->next;
  *link = block;
  if (item != nullptr) DescStPtr(item, offsetof(DESC_ITEM_NODE, rules), block);
  return block;
}

DESC_VALUE_RULE *BlobBuilder::AddValueRule(DESC_RULE_BLOCK *block, WORD valueId, const RULE_CODE_UNIT *hide,
                                           const RULE_CODE_UNIT *disable)
{
  auto *rule = AllocRule<DESC_VALUE_RULE>();
  rule->valueId = valueId;
  rule->hideJudge = reinterpret_cast<DESC_RULE_LINK>(hide);
  rule->disableJudge = reinterpret_cast<DESC_RULE_LINK>(disable);
  Append(&block->valueRules, rule);
  return rule;
}

DESC_ALERT *BlobBuilder::AddAlert(DESC_RULE_BLOCK *block, const RULE_CODE_UNIT *judge, WORD message, WORD icon,
                                  WORD buttons, WORD timing)
{
  auto *alert = AllocRule<DESC_ALERT>();
  alert->judge = reinterpret_cast<DESC_RULE_LINK>(judge);
  alert->message = message;
  alert->icon = icon;
  alert->buttons = buttons;
  alert->timing = timing;
  Append(&block->alerts, alert);
  return alert;
}

DESC_TRANSACTION *BlobBuilder::AddTransaction(DESC_RULE_LINK *head, const RULE_CODE_UNIT *judge)
{
  auto *t = AllocRule<DESC_TRANSACTION>();
  t->judge = reinterpret_cast<DESC_RULE_LINK>(judge);
  Append(head, t);
  return t;
}

DESC_ACTION *BlobBuilder::AddAction(DESC_TRANSACTION *transaction, WORD target, WORD kind, DWORD value)
{
  auto *a = AllocRule<DESC_ACTION>();
  a->target = target;
  a->kind = kind;
  a->value = value;
  Append(&transaction->actions, a);
  return a;
}

DESC_ALERT_ACTION *BlobBuilder::AddAlertAction(DESC_ALERT *alert, WORD button, WORD dialog, WORD control)
{
  auto *a = AllocRule<DESC_ALERT_ACTION>();
  a->button = button;
  a->dialog = dialog;
  a->control = control;
  Append(&alert->answers, a);
  return a;
}
