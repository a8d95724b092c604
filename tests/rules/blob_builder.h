// Builds compiled descriptions in their relocated form by hand: a zero-filled block with the
// header at its start, item and value nodes at odd offsets (as texts leave them in a
// compiled block, so every unaligned read is exercised), rule data on 4-byte boundaries,
// all linked by pointers.
#pragma once

#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "blob/desc_blob.h"

// Condition code written as units: Code{I(14), L(600), O(RULE_OP_EQ), E()}.
using Code = std::vector<RULE_CODE_UNIT>;
inline RULE_CODE_UNIT I(WORD item) { return {RULE_UNIT_ITEM, item}; }
inline RULE_CODE_UNIT L(WORD value) { return {RULE_UNIT_LITERAL, value}; }
inline RULE_CODE_UNIT O(WORD op) { return {RULE_UNIT_OPERATOR, op}; }
inline RULE_CODE_UNIT E() { return {RULE_UNIT_OPERATOR, RULE_OP_END}; }

class BlobBuilder {
 public:
  explicit BlobBuilder(size_t capacity = 1u << 16);

  DESC_BLOB *blob() { return reinterpret_cast<DESC_BLOB *>(base_); }

  // An item node appended to the item list; its direct slot is filled when it is empty.
  BYTE *AddItem(WORD itemId, WORD key, WORD type, WORD defaultIndex = 0);
  // A value list (12-byte nodes) as the item's value data; answers its head.
  BYTE *AddValues(BYTE *item, std::initializer_list<WORD> valueIds);
  BYTE *SetBoolean(BYTE *item, DWORD defaultValue);
  BYTE *SetNumeric(BYTE *item, DWORD defaultValue, DWORD minimum, DWORD maximum);
  BYTE *SetString(BYTE *item, WORD defaultValue);
  void SetUiResDllName(const WCHAR *name);
  // A value node of nodeSize bytes appended to the item's value list (PickPage 24, PickSlot
  // 20, FontTbl 24 bytes); its other fields are zero.
  BYTE *AppendValue(BYTE *item, WORD valueId, size_t nodeSize);
  // A PickPage value with its size in 0.1 mm.
  BYTE *AddPageValue(BYTE *item, WORD valueId, LONG width, LONG length);
  // A geometry entry appended to a PickPage value: resolution and orientation value IDs,
  // the condition (key 0 = none) and the numbers x, y, w, h, a, b.
  void AddGeometry(BYTE *page, WORD resolution, WORD orientation, WORD condKey, WORD condValue,
                   std::initializer_list<LONG> numbers);
  // An ANSI text in the block (at an odd address).
  char *AddText(const char *text);
  // A FontTbl value with its pairs {name, substitute}.
  BYTE *AddFontPairs(BYTE *item, WORD valueId, std::initializer_list<std::pair<const char *, const char *>> pairs);
  // The header's device font list (cartridge false) or cartridge list: {id, name}.
  void SetFontList(bool cartridge, std::initializer_list<std::pair<DWORD, const char *>> fonts);

  // Rule data.
  const RULE_CODE_UNIT *AddCode(const Code &code);
  DESC_RULE_BLOCK *AddRuleBlock(WORD key, BYTE *item = nullptr);  // appended to the Exclusive list
  DESC_VALUE_RULE *AddValueRule(DESC_RULE_BLOCK *block, WORD valueId, const RULE_CODE_UNIT *hide,
                                const RULE_CODE_UNIT *disable);
  DESC_ALERT *AddAlert(DESC_RULE_BLOCK *block, const RULE_CODE_UNIT *judge, WORD message, WORD icon = 0x30,
                       WORD buttons = 1, WORD timing = 0);
  // An entry of a transaction list; *head is the list (a block's or an answer's list field).
  DESC_TRANSACTION *AddTransaction(DESC_RULE_LINK *head, const RULE_CODE_UNIT *judge);
  DESC_ACTION *AddAction(DESC_TRANSACTION *transaction, WORD target, WORD kind, DWORD value);
  DESC_ALERT_ACTION *AddAlertAction(DESC_ALERT *alert, WORD button, WORD dialog = 0, WORD control = 0);

  size_t used() const { return used_; }

 private:
  BYTE *Alloc(size_t bytes, bool odd);
  template <typename T>
  T *AllocRule()
  {
    return reinterpret_cast<T *>(Alloc(sizeof(T), false));
  }
  static void Append(DESC_RULE_LINK *head, void *entry);

  std::unique_ptr<DWORD[]> storage_;
  BYTE *base_;
  size_t capacity_;
  size_t used_;
};
