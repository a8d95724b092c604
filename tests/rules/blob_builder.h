// Builds compiled descriptions in their relocated form by hand: a zero-filled block with the
// header at its start, item and value nodes at odd offsets (as texts leave them in a
// compiled block, so every unaligned read is exercised), rule data on 4-byte boundaries,
// all linked by pointers.
#pragma once

#include <initializer_list>
#include <memory>
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
