// The compiled description block's builder: size computation and layout of a parse state
// into the stored form, plus the limits that the builder and the block validator share.
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

// The three region sizes of a parse state (DescComputeSize = 6708 + all three).
DWORD WINAPI DescSizeItems(const DESC_PARSE_STATE *state);
DWORD WINAPI DescSizeRules(const DESC_PARSE_STATE *state);
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

// The key of the base item whose value data a variant or Identity node shares: an Identity
// node (type bit 0x1000) holds the other item's key in its variant field, a variant shares
// the data of its own key's base node.
static inline WORD DescShareKey(WORD key, WORD variant, WORD type)
{
  return (type & DESC_TYPE_IDENTITY) != 0 ? variant : key;
}

KV_END_DECLS
