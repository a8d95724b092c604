// Memory of one description parse (see desc_arena.h).
#include "desc/desc_arena.h"

namespace {

// Every block starts with the link to the block taken before it, padded to the alignment
// of what follows.
constexpr DWORD kAlign = 8;
constexpr DWORD kLinkBytes = 8;

DWORD Rounded(DWORD bytes) { return (bytes + kAlign - 1) & ~(kAlign - 1); }

// A new zero-filled block with room for bytes after its link, entered at the front of the
// list. Blocks are cleared whole when taken, so the requests they serve need no clearing.
BYTE *TakeBlock(DESC_ARENA *arena, DWORD bytes)
{
  if (bytes > 0x7FFF0000u - kLinkBytes) return nullptr;
  auto *block = static_cast<BYTE *>(GlobalAlloc(GPTR, kLinkBytes + bytes));
  if (!block) return nullptr;
  *reinterpret_cast<void **>(block) = arena->blocks;
  arena->blocks = block;
  return block + kLinkBytes;
}

}  // namespace

void *WINAPI DescArenaAlloc(DESC_ARENA *arena, DWORD bytes)
{
  if (!arena) return nullptr;
  DWORD size = bytes ? Rounded(bytes) : kAlign;
  if (size < bytes) return nullptr;  // wrapped
  if (size <= arena->left) {
    BYTE *p = arena->next;
    arena->next += size;
    arena->left -= size;
    return p;
  }
  DWORD blockBytes = arena->blockBytes ? arena->blockBytes : DESC_ARENA_BLOCK;
  if (blockBytes == DESC_ARENA_ONE_EACH || size > blockBytes / 4) return TakeBlock(arena, size);
  BYTE *room = TakeBlock(arena, blockBytes);
  if (!room) return nullptr;
  arena->next = room + size;
  arena->left = blockBytes - size;
  return room;
}

void WINAPI DescArenaFree(DESC_ARENA *arena)
{
  if (!arena) return;
  void *block = arena->blocks;
  while (block) {
    void *older = *static_cast<void **>(block);
    GlobalFree(block);
    block = older;
  }
  arena->blocks = nullptr;
  arena->next = nullptr;
  arena->left = 0;
}
