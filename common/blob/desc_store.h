// The stored form of the compiled description block: its builder (size computation and
// layout of a parse state), its validator and its relocator, plus the limits that the
// builder and the validator share.
#pragma once

#include "desc/desc_parse.h"

// Largest block the compiler builds and the validator accepts. Tagged links address at
// most 2^28 bytes; a description is a few hundred kilobytes at most.
#define DESC_MAX_BLOCK_SIZE 0x4000000u
// Deepest nesting of command blocks: a conditional statement in a "then" list (or among
// other statements of an else part) opens one level; the blocks of an ElseIf chain (an
// else part that is one conditional statement) stay at the level of the block they continue.
#define DESC_MAX_COMMAND_DEPTH 1000u

KV_BEGIN_DECLS

// Block size the parse state serializes into; 0 when it cannot be laid out (the block
// would reach DESC_MAX_BLOCK_SIZE, or command blocks nest deeper than
// DESC_MAX_COMMAND_DEPTH) or for a NULL state.
DWORD WINAPI DescComputeSize(const DESC_PARSE_STATE *state);
// Lays the parse state out into block (zero-filled, DescComputeSize bytes, its size already
// in the state's header) in stored form and frees the parse state. A NULL block lays
// nothing out but still frees the state; NULL state does nothing.
void WINAPI DescSerialize(DESC_PARSE_STATE *state, BYTE *block);
// The three region sizes of a parse state (DescComputeSize = 6708 + all three).
DWORD WINAPI DescSizeItems(const DESC_PARSE_STATE *state);
// Bytes of the rule data (judges, section entries, rule blocks), at most
// DESC_MAX_BLOCK_SIZE.
DWORD WINAPI DescSizeRules(const DESC_PARSE_STATE *state);
// Bytes of the tail (command strings, DLL names, command groups, font lists);
// DESC_MAX_BLOCK_SIZE when command blocks nest too deeply.
DWORD WINAPI DescSizeTail(const DESC_PARSE_STATE *state);

// DescSerialize without freeing the parse state: lays the state out into block (zero-filled,
// size bytes, size = DescComputeSize) in stored form. The item list of the state is
// reordered (variants first) but still holds every node. FALSE when the state does not fit
// the size or nests command blocks deeper than DESC_MAX_COMMAND_DEPTH (nothing sensible
// was stored then).
BOOL WINAPI DescStoreParseState(DESC_PARSE_STATE *state, BYTE *block, DWORD size);

// The class of value data an item type stores: the type without its flag bits for the
// eight types that have a store step, else 0 (no value data is stored).
static inline DWORD DescStoredDataClass(WORD type)
{
  switch (type & ~DESC_TYPE_FLAGS) {
    case DESC_TYPE_PICK_ONE:
    case DESC_TYPE_PICK_MANY:
    case DESC_TYPE_BOOLEAN:
    case DESC_TYPE_NUMERIC:
    case DESC_TYPE_STRING:
    case DESC_TYPE_PICK_PAGE:
    case DESC_TYPE_PICK_SLOT:
    case DESC_TYPE_FONT_TABLE: return (DWORD)(type & ~DESC_TYPE_FLAGS);
    default: return 0;
  }
}

// Why a stored block was refused.
typedef struct DESC_VALIDATE_RESULT {
  DWORD offset;  // where the fault was found (offset in the block)
  char reason[96];
} DESC_VALIDATE_RESULT;

// TRUE when a stored block of size bytes is safe to relocate and read: every offset in the
// block and pointing at a node of the right kind, counts and lengths consistent, texts
// terminated, no cycles, condition code that passes RuleCheckCode. why may be NULL.
BOOL WINAPI DescValidateStored(const BYTE *block, DWORD size, DESC_VALIDATE_RESULT *why);
// Turns every offset of a stored block into a pointer; call once per block.
DESC_BLOB *WINAPI DescRelocate(BYTE *block);

// The key of the base item whose value data a variant or Identity node shares: an Identity
// node (type bit 0x1000) holds the other item's key in its variant field, a variant shares
// the data of its own key's base node.
static inline WORD DescShareKey(WORD key, WORD variant, WORD type)
{
  return (type & DESC_TYPE_IDENTITY) != 0 ? variant : key;
}

KV_END_DECLS
