// Memory of one description parse: every node, text and list the keyword handlers build
// comes from the parse's arena and goes back with it in one step, so a compile pays no
// allocation and no free for each token, node or text.
#pragma once
#include "win32.h"

KV_BEGIN_DECLS

// Blocks of memory handed out front to back; a request larger than a quarter of a block
// gets a block of its own. Zero-filled like the state's blocks: an arena that starts
// empty ({0}) is ready, with blockBytes 0 standing for DESC_ARENA_BLOCK.
typedef struct DESC_ARENA {
  void *blocks;      // the blocks taken so far, newest first (each starts with its link)
  BYTE *next;        // free room in the newest block
  DWORD left;        // bytes of free room at next
  DWORD blockBytes;  // size of the blocks; DESC_ARENA_ONE_EACH: one block per request
} DESC_ARENA;

#define DESC_ARENA_BLOCK 16384u
// blockBytes that gives every request a block of its own from GlobalAlloc, so that a
// failed allocation can be made to hit any one object of a parse (fault-injection tests).
#define DESC_ARENA_ONE_EACH 0xFFFFFFFFu

// bytes of zero-filled memory, aligned for any field, that live until DescArenaFree; NULL
// when memory runs out (the arena stays usable).
void *WINAPI DescArenaAlloc(DESC_ARENA *arena, DWORD bytes);
// Gives back every block of the arena; it is empty and usable afterwards. NULL is ignored.
void WINAPI DescArenaFree(DESC_ARENA *arena);

KV_END_DECLS
