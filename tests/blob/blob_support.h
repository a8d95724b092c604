// Helpers of the compiled-block tests: hand-built parse states, stored blocks from parse
// states or description text, golden byte files, and a walker that compares a relocated
// block with the parse state it came from.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "blob/desc_store.h"

// A parse state whose nodes belong to the test (not to the grammar's bookkeeping).
class StateBuilder {
 public:
  StateBuilder();
  DESC_PARSE_STATE *state() { return &state_; }
  DESC_HEADER *header() { return header_; }

  template <class T>
  T *New()
  {
    chunks_.emplace_back(new BYTE[sizeof(T)]());
    return reinterpret_cast<T *>(chunks_.back().get());
  }
  void *Raw(size_t bytes);
  char *Text(const char *text);
  WCHAR *Wide(const char *text);

  void SetVersion(const char *version);
  DESC_ITEM_NODE *Item(WORD key, WORD itemId, WORD type, WORD variant = 0);
  // A value node appended to the item's list (size by the item's type).
  DESC_VALUE_NODE *Value(DESC_ITEM_NODE *item, WORD valueId, const char *command);
  DESC_JUDGE *Judge(DWORD number, std::vector<RULE_CODE_UNIT> code);
  // A section with entries of type T appended in order; entries are filled by the caller.
  DESC_SECTION *Section(DWORD kind, DWORD number, std::vector<void *> entries);
  DESC_RULE_BLOCK *Exclusive(WORD key);
  DESC_COMMAND_STRING *CommandString(DWORD number, const char *text);
  DESC_STATEMENT *Statement(WORD kind);

 private:
  std::vector<std::unique_ptr<BYTE[]>> chunks_;
  DESC_HEADER *header_;
  DESC_PARSE_STATE state_;
};

// Stored form of a parse state (the state stays alive; its item list gets reordered).
std::vector<BYTE> StoreState(DESC_PARSE_STATE *state);

// A parse state of description text through the grammar; NULL when it fails.
DESC_PARSE_STATE *ParseText(const std::string &text);
std::string ReadFixture(const std::string &name);

// Golden block file: lines of "size N", "@offset" (moves the cursor) and tokens written at
// the cursor: hex bytes "0a", "w16:N", "w32:N", "t:N" (tagged offset N), "u16:TEXT" (UTF-16
// without terminator), "a:TEXT" (bytes without terminator). Unwritten bytes are 0.
std::vector<BYTE> LoadGolden(const std::string &name);
// Compares two blocks and reports the first difference.
::testing::AssertionResult SameBytes(const std::vector<BYTE> &expected, const std::vector<BYTE> &actual);

// Walks the relocated block and the parse state together; failures are reported through
// gtest. The state must have been laid out by DescStoreParseState (its list reordered).
void ExpectMatchesState(const DESC_BLOB *blob, DESC_PARSE_STATE *state);

// A parse state that uses every node kind of the block: all value types, a variant and an
// Identity node sharing data, OptionCommand pairs, every rule section kind with lists
// shared between rule blocks, command groups with nested and ElseIf blocks, a missing
// CommandString, DLL names and a font list. Its keys, item IDs, value IDs, dialogs,
// controls and messages are the names table's, and its printable areas lie on their
// paper, as a compiled description has them (the validator holds a block to that).
void BuildRichState(StateBuilder &b);
