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

BYTE *BlobBuilder::AppendValue(BYTE *item, WORD valueId, size_t nodeSize)
{
  BYTE *value = Alloc(nodeSize, true);
  DescSt16(value, offsetof(DESC_VALUE_NODE, valueId), valueId);
  BYTE *link = item;
  size_t at = offsetof(DESC_ITEM_NODE, values);
  while (DescLdPtr(link, at) != nullptr) {
    link = const_cast<BYTE *>(DescLdPtr(link, at));
    at = offsetof(DESC_VALUE_NODE, next);
  }
  DescStPtr(link, at, value);
  return value;
}

BYTE *BlobBuilder::AddPageValue(BYTE *item, WORD valueId, LONG width, LONG length)
{
  BYTE *value = AppendValue(item, valueId, sizeof(DESC_PAGE_VALUE_NODE));
  DescSt32(value, offsetof(DESC_PAGE_VALUE_NODE, width), (DWORD)width);
  DescSt32(value, offsetof(DESC_PAGE_VALUE_NODE, length), (DWORD)length);
  return value;
}

void BlobBuilder::AddGeometry(BYTE *page, WORD resolution, WORD orientation, WORD condKey, WORD condValue,
                              std::initializer_list<LONG> numbers)
{
  BYTE *entry = Alloc(sizeof(DESC_PAPER_GEOMETRY), true);
  DescSt16(entry, offsetof(DESC_PAPER_GEOMETRY, resolution), resolution);
  DescSt16(entry, offsetof(DESC_PAPER_GEOMETRY, orientation), orientation);
  DescSt16(entry, offsetof(DESC_PAPER_GEOMETRY, condKey), condKey);
  DescSt16(entry, offsetof(DESC_PAPER_GEOMETRY, condValue), condValue);
  size_t at = offsetof(DESC_PAPER_GEOMETRY, x);
  for (LONG n : numbers) {
    DescSt32(entry, at, (DWORD)n);
    at += 4;
  }
  BYTE *link = page;
  at = offsetof(DESC_PAGE_VALUE_NODE, geometry);
  while (DescLdPtr(link, at) != nullptr) {
    link = const_cast<BYTE *>(DescLdPtr(link, at));
    at = offsetof(DESC_PAPER_GEOMETRY, next);
  }
  DescStPtr(link, at, entry);
}

char *BlobBuilder::AddText(const char *text)
{
  size_t n = strlen(text) + 1;
  char *p = reinterpret_cast<char *>(Alloc(n, true));
  memcpy(p, text, n);
  return p;
}

BYTE *BlobBuilder::AddFontPairs(BYTE *item, WORD valueId,
                                std::initializer_list<std::pair<const char *, const char *>> pairs)
{
  std::vector<char *> names, substitutes;
  for (const auto &pair : pairs) {
    names.push_back(AddText(pair.first));
    substitutes.push_back(AddText(pair.second));
  }
  BYTE *value = AppendValue(item, valueId, sizeof(DESC_FONT_VALUE_NODE));
  DescSt32(value, offsetof(DESC_FONT_VALUE_NODE, count), (DWORD)pairs.size());
  if (pairs.size() == 0) return value;
  BYTE *nameArray = Alloc(names.size() * sizeof(char *), true);
  BYTE *substituteArray = Alloc(names.size() * sizeof(char *), true);
  for (size_t i = 0; i < names.size(); ++i) {
    DescStPtr(nameArray, i * sizeof(char *), names[i]);
    DescStPtr(substituteArray, i * sizeof(char *), substitutes[i]);
  }
  DescStPtr(value, offsetof(DESC_FONT_VALUE_NODE, names), nameArray);
  DescStPtr(value, offsetof(DESC_FONT_VALUE_NODE, substitutes), substituteArray);
  return value;
}

void BlobBuilder::SetFontList(bool cartridge, std::initializer_list<std::pair<DWORD, const char *>> fonts)
{
  std::vector<BYTE *> entries;
  for (const auto &font : fonts) {
    char *name = AddText(font.second);
    BYTE *entry = Alloc(sizeof(DESC_FONT_ID), true);
    DescSt32(entry, offsetof(DESC_FONT_ID, fontId), font.first);
    DescStPtr(entry, offsetof(DESC_FONT_ID, name), name);
    entries.push_back(entry);
  }
  BYTE *array = Alloc(entries.size() * sizeof(void *), true);
  for (size_t i = 0; i < entries.size(); ++i) DescStPtr(array, i * sizeof(void *), entries[i]);
  DESC_HEADER *h = &blob()->header;
  if (cartridge) {
    h->cartridgeFontCount = (DWORD)entries.size();
    h->cartridgeFonts = reinterpret_cast<DESC_FONT_ID **>(array);
  } else {
    h->deviceFontCount = (DWORD)entries.size();
    h->deviceFonts = reinterpret_cast<DESC_FONT_ID **>(array);
  }
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
