// Shared helpers of the description grammar's keyword handlers (desc_grammar.cpp,
// desc_items.cpp, desc_sections.cpp, desc_groups.cpp). Not part of the engine's interface.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "context.h"
#include "desc/desc_arena.h"
#include "desc/desc_parse.h"
#include "items/item_store.h"
#include "model/model.h"
#include "os/number_index.h"

namespace descgrammar {

// Shapes of the value data an item node can point at. Every record is registered with its
// shape, however many nodes (base, variants, Identity items) point at it.
enum Shape {
  kShapeList = 1,      // DESC_VALUE_NODE list
  kShapePageList = 2,  // DESC_PAGE_VALUE_NODE list
  kShapeSlotList = 3,  // DESC_SLOT_VALUE_NODE list
  kShapeFontList = 4,  // DESC_FONT_VALUE_NODE list
  kShapeBoolean = 5,
  kShapeNumeric = 6,
  kShapeString = 7,
};

// Nested Command blocks (a Command inside a block; an ElseIf chain is not nesting). Nesting
// is read by recursion, here and in the serializer, validator and walk of the block.
constexpr DWORD kMaxBlockDepth = 64;
constexpr DWORD kWordSize = 256;  // longest word a handler reads

// Where a list of the parse state ends: the last node appended through it, so the next
// append costs one step whatever the length of the list (nodes are never taken out of
// these lists while the parse runs). An empty list starts at its head.
template <typename Node>
Node **TailOf(Node **head, Node *last)
{
  Node **tail = last ? &last->next : head;
  while (*tail) tail = &(*tail)->next;
  return tail;
}

// Answers of the names-table lookups of one parse, by name: open addressing over a table of
// one-byte tags (0 for a free entry, else the top bits of the name's hash) beside a table of
// answers, each the size of a cache line, that holds the name's hash and length, the
// answers, and the name itself when it is short. Probing reads the small tags; a name found
// costs one line of the answers. A longer name lives in blocks of the C++ heap (not the
// parse's arena, so that remembering a name never counts as an allocation of the parse).
constexpr DWORD kShortName = 40;  // names shorter than this are kept in their answer
struct alignas(64) NameAnswer {
  DWORD hash;
  DWORD length;          // of the name
  const char *longName;  // the name when it has kShortName bytes or more
  const SYMBOL_ENTRY *symbol;
  const VALUE_SYMBOL *value;
  bool haveSymbol;             // symbol holds the names table's answer
  bool haveValue;              // value holds the names table's answer
  char shortName[kShortName];  // the name, terminated, when it is shorter than kShortName
  const char *Name() const { return length < kShortName ? shortName : longName; }
};

struct Bookkeeping {
  // Every node, text, list and code block of the parse; freed as one with the state.
  DESC_ARENA arena = {};
  DESC_ITEM_NODE *itemTail = nullptr;
  // Indexes of the lists, so that finding an entry by its number, key or name costs the
  // same however many entries came before (a compile stays linear in the size of the text).
  NumberIndex<DWORD, DESC_ITEM_NODE *> baseByKey;         // first node of each key
  NumberIndex<DWORD, DESC_ITEM_NODE *> nodeByKeyVariant;  // first node of key << 16 | variant
  NumberIndex<DWORD, DESC_JUDGE *> judgeByNumber;
  DESC_JUDGE *judgeTail = nullptr;
  NumberIndex<DWORD, DWORD> sectionDefinitions[DESC_SECTION_KINDS];  // number -> lines so far
  DESC_SECTION *sectionTail[DESC_SECTION_KINDS] = {};
  DESC_RULE_BLOCK *exclusiveTail = nullptr;
  NumberIndex<DWORD, DWORD> stringDefinitions;  // CommandString number -> lines so far
  DESC_COMMAND_STRING *stringTail = nullptr;
  // Name (the text of the list entry) -> the number of its first entry.
  std::unordered_map<std::string_view, DWORD> sectionNumberByName[DESC_SECTION_NAME_KINDS];
  DESC_SECTION_NAME *sectionNameTail[DESC_SECTION_NAME_KINDS] = {};
  std::unique_ptr<BYTE[]> nameTags;     // nameCapacity tags
  std::unique_ptr<NameAnswer[]> names;  // nameCapacity answers, each read only when its tag is set
  size_t nameCapacity = 0;              // a power of two, or 0
  size_t nameCount = 0;                 // entries in use
  DWORD nameTableGrowths = 0;           // how often the table was made anew (its entries move then)
  // The name FindSymbol was asked last (the caller's pointer) and the place of its answer in
  // the table as it was then: a condition asks for a word as an item and then, in the same
  // buffer, as a value.
  const char *symbolAskedName = nullptr;
  size_t symbolAskedAnswer = 0;
  DWORD symbolAskedGrowths = 0;
  std::vector<std::unique_ptr<char[]>> nameBlocks;  // the names' bytes
  char *nameNext = nullptr;                         // free room in the last block
  size_t nameRoom = 0;                              // bytes of it
  NumberIndex<ULONG_PTR, Shape> records;            // value data (its address) -> shape
  std::set<DWORD> rejectedJudges;                   // numbers whose condition did not compile
  bool reported = false;                            // a message was sent for this line
  const char *openNameMeasured = nullptr;           // the open item's name whose length is known
  DWORD openNameLength = 0;                         // its length
  char lastName[kWordSize] = {};                    // last word a condition could not take as an item or value
};

inline Bookkeeping *Books(DESC_PARSE_STATE *s) { return static_cast<Bookkeeping *>(s->internal); }
// bytes of zero-filled memory of the parse (freed with the state, never alone); NULL when
// memory runs out. A request that fits the arena's current block is served here, as
// DescArenaAlloc serves it (sizes rounded up to 8 bytes, 0 taken as 8); any other goes to
// DescArenaAlloc.
inline void *Alloc(DESC_PARSE_STATE *s, DWORD bytes)
{
  DESC_ARENA *arena = &Books(s)->arena;
  DWORD size = bytes ? (bytes + 7u) & ~7u : 8u;
  if (size >= bytes && size <= arena->left) {
    BYTE *p = arena->next;
    arena->next += size;
    arena->left -= size;
    return p;
  }
  return DescArenaAlloc(arena, bytes);
}

// Diagnostics, printf-style, for the line being dispatched. Reject reports an error and
// answers FALSE (the handler's "rejected"); Warn reports a questionable but accepted part.
BOOL Reject(DESC_PARSE_STATE *s, const char *format, ...) __attribute__((format(printf, 2, 3)));
void Warn(DESC_PARSE_STATE *s, const char *format, ...) __attribute__((format(printf, 2, 3)));
// A bad statement, entry or field that is dropped alone (a bad entry costs only itself):
// reported as an error on the line, while the line and the rest of it are kept.
void Drop(DESC_PARSE_STATE *s, const char *format, ...) __attribute__((format(printf, 2, 3)));

inline bool Is(char c, BYTE cls) { return (DESC_CHAR_CLASS[static_cast<BYTE>(c)] & cls) != 0; }
inline bool IsSpace(char c) { return Is(c, DESC_CC_BLANK | DESC_CC_LINE_END); }
// Whether two texts are equal (case-sensitive). StrSameA's loop, kept inline: the keyword and
// word lookups run it for every line of a description, and the call to StrSameA makes the
// compile measurably slower (bench_desc's BM_DescCompile).
inline bool Same(const char *a, const char *b)
{
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}
// Whether text begins with prefix (case-sensitive).
inline bool StartsWith(const char *text, const char *prefix)
{
  while (*prefix)
    if (*text++ != *prefix++) return false;
  return true;
}
// A copy of text in the parse's memory; NULL when memory runs out.
char *DupText(DESC_PARSE_STATE *s, const char *text);

// Value scanners over a text buffer whose length field is the cursor.
inline char Peek(DESC_TEXT_BUFFER *b) { return b->text[b->length]; }
// Moves the cursor past blanks and line ends.
inline void SkipSpace(DESC_TEXT_BUFFER *b)
{
  while (IsSpace(b->text[b->length])) ++b->length;
}
// Moves the cursor past blanks (not line ends).
inline void SkipBlanks(DESC_TEXT_BUFFER *b)
{
  while (Is(b->text[b->length], DESC_CC_BLANK)) ++b->length;
}
// Skips blanks and line ends, drops one leading '*', and copies the word up to the next
// blank, line end, delimiter or the end into word. Blanks and line ends after it are left;
// the terminating character is returned and consumed only when it is a blank or line end.
// Returns FALSE when the text has ended (no word). A word longer than the buffer is
// replaced by a text no table holds (\x01).
BOOL DescValueNextWord(DESC_TEXT_BUFFER *b, char *word);
// Signed decimal after blanks and line ends; FALSE (cursor unchanged) when no digit
// stands there or the number does not fit in 32 bits (*overflow set).
BOOL DescValueNextInt(DESC_TEXT_BUFFER *b, LONG *value, bool *overflow);
// Optional '-' and decimal digits at text[*pos], *pos moved past them; FALSE (*pos
// unchanged) when no digit stands there, *overflow set when the number needs more than
// 32 bits.
BOOL DescScanSignedInt(const char *text, DWORD *pos, LONG *value, bool *overflow);
// Decoded quoted text from the cursor (DescDecodeQuoted rules); NULL when no quote or
// empty, or when memory was short: then *noMemory is set (a failed allocation is not an
// empty text). *after receives the character after the closing quote.
// The text is in the parse's memory, as are the answers of the three functions below.
char *DescValueTakeText(DESC_PARSE_STATE *s, DESC_TEXT_BUFFER *b, char *after, bool *noMemory);
// DescValueTakeText converted to UTF-16 with the ANSI code page; NULL when empty, with
// *noMemory set when memory was short.
WCHAR *DescValueTakeWideText(DESC_PARSE_STATE *s, DESC_TEXT_BUFFER *b, bool *noMemory);
// Decodes quoted text from text[*pos], just after its opening quote, moving *pos past the
// closing quote (to the end when there is none); a new copy, NULL when empty or when
// memory was short (then *noMemory is set). text can be read up to text[readable], which
// lies at or after its terminator.
char *DescDecodeQuoted(DESC_PARSE_STATE *s, const char *text, DWORD readable, DWORD *pos, bool *noMemory);
// Moves the cursor just past the next c; FALSE (cursor at the end) when there is none.
BOOL DescValueSkipPast(DESC_TEXT_BUFFER *b, char c);

// Names table lookups. The answers of a parse are remembered by name, so a name the
// description repeats costs one cheap lookup after its first.
const SYMBOL_ENTRY *FindSymbol(DESC_PARSE_STATE *s, const char *name);
// The names-table entry of a symbol or value name; NULL for "" or an unknown name.
const VALUE_SYMBOL *FindValue(DESC_PARSE_STATE *s, const char *name);
// DescParseReference, and for a prefix with a number, what DescParseNumberChecked makes of
// the word (*numberOk its answer, *number the value when it holds; FALSE and 0 otherwise).
DWORD ParseReference(const char *word, bool *numberOk, LONG *number);
// FindValue for the name whose FindSymbol answer was asked right before, at the same
// address, with nothing in between that could have changed the text there (the condition
// compiler asks for each word as an item first); any other name is looked up as FindValue
// does.
const VALUE_SYMBOL *FindValueAfterSymbol(DESC_PARSE_STATE *s, const char *name);
// The context whose tables name dialogs, controls and messages: the state's, else the
// template.
DRIVER_CONTEXT *Names(DESC_PARSE_STATE *s);

// Items.
// The first node of that key (the base item); NULL when none.
inline DESC_ITEM_NODE *FindNode(DESC_PARSE_STATE *s, WORD key)
{
  DESC_ITEM_NODE **node = Books(s)->baseByKey.Find(key);
  return node ? *node : nullptr;
}
// The parse state's node of that key and variant; NULL when none.
inline DESC_ITEM_NODE *FindNode(DESC_PARSE_STATE *s, WORD key, WORD variant)
{
  DESC_ITEM_NODE **node = Books(s)->nodeByKeyVariant.Find(static_cast<DWORD>(key) << 16 | variant);
  return node ? *node : nullptr;
}
// Enters a node just added to the item list into the indexes FindNode reads (the first
// node of a key, and of a key and variant, answers); FALSE (indexes unchanged) when
// memory is short.
bool IndexNode(DESC_PARSE_STATE *s, DESC_ITEM_NODE *node);
// The node's Boolean, Numeric or String record of that shape, made and registered on first
// use; NULL when the node already has value data of another shape, for a list shape (lists
// are made by their first value node), or when memory runs out.
void *EnsureRecord(DESC_PARSE_STATE *s, DESC_ITEM_NODE *node, Shape shape);
// The shape of the value list an item type keeps.
inline Shape ListShapeFor(WORD type)
{
  switch (type & ~DESC_TYPE_FLAGS) {
    case DESC_TYPE_PICK_PAGE: return kShapePageList;
    case DESC_TYPE_PICK_SLOT: return kShapeSlotList;
    case DESC_TYPE_FONT_TABLE: return kShapeFontList;
    default: return kShapeList;
  }
}

// Rule references: resolves a token into a link for a field of section kind (0 Judge,
// 1 Item, 2 Action, 3 Transact, 4 AlertAction, 5 Alert). FALSE rejects the line.
BOOL ResolveReference(DESC_PARSE_STATE *s, DWORD kind, const char *token, DESC_RULE_LINK *link);
// Section-name kinds.
constexpr DWORD kNamesJudge = 0;

// Keyword handlers: TRUE accepted, FALSE rejected.
typedef BOOL (*Handler)(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnFileVersion(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnOpenUI(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnCloseUI(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnNumericValue(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnStringValue(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnPageValue(DESC_PARSE_STATE *s, DESC_LINE *line);
// Unlinks, with a message each, the printable-area entries of every paper value of the
// PickPage items that do not lie on their paper as the description ends (a PageValue line
// may come before the PageMMValue line that sizes its paper, or a later one may change it).
void DropOffPaperAreas(DESC_PARSE_STATE *s);
BOOL OnPageMMValue(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnSlotPaper(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnOptionCommand(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnCommandGroup(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnDeviceFonts(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnFontCartridge(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnTTFS(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnCommandString(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnJudge(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnItem(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnAction(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnTransact(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnAlertAction(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnAlert(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnExclusive(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnUIResDLLName(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnExcDepDLLName(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnOptionLine(DESC_PARSE_STATE *s, DESC_LINE *line);
BOOL OnDefaultLine(DESC_PARSE_STATE *s, DESC_LINE *line);

}  // namespace descgrammar
