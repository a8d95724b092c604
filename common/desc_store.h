// The compiled description block's builder: size computation and layout of a parse state
// into the stored form, plus the limits that the builder and the block validator share.
#pragma once

#include "desc_parse.h"

// Largest block the compiler builds and the validator accepts. Tagged links address at
// most 2^28 bytes; a description is a few hundred kilobytes at most.
#define DESC_MAX_BLOCK_SIZE 0x4000000u
// Deepest nesting of command blocks (a Command or ElseIf statement opens one level).
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

KV_END_DECLS
