// One walk over the node graph of a compiled description block: every node and every link
// field, in stored form (links are offsets, rule-data links tagged) or relocated form
// (links are pointers). The walk itself never decides what a link leads to: it hands each
// link field to the caller's follow function, which answers the node to enter (the
// relocator converts the field there, a checker bounds-checks it, a reader just loads it),
// and it hands each node it enters to the caller's visit function. A new node kind or link
// is added here once and every user of the walk sees it.
#pragma once

#include "blob/desc_blob.h"

KV_BEGIN_DECLS

typedef enum DESC_NODE_KIND {
  DESC_NODE_HEADER = 0,
  DESC_NODE_ITEM,
  DESC_NODE_OPTION_COMMAND,
  DESC_NODE_VALUE,           // value node of a list type; its size follows the item type
  DESC_NODE_PAPER_GEOMETRY,  // geometry entry of a PickPage value
  DESC_NODE_PAPER_ARRAY,     // WORD paper value IDs of a PickSlot value
  DESC_NODE_TEXT_ARRAY,      // text links: font names or substitutes of a FontTbl value
  DESC_NODE_BOOLEAN,         // value records
  DESC_NODE_NUMERIC,
  DESC_NODE_STRING,
  DESC_NODE_OPAQUE,  // value data of a type that stores none: nothing in it is read
  DESC_NODE_RULE_BLOCK,
  DESC_NODE_VALUE_RULE,
  DESC_NODE_ALERT,
  DESC_NODE_ALERT_ACTION,
  DESC_NODE_TRANSACTION,
  DESC_NODE_ACTION,
  DESC_NODE_CODE,  // condition code, ended by its END unit
  DESC_NODE_COMMAND_BLOCK,
  DESC_NODE_STATEMENT,   // any statement kind; the kind is in DESC_WALK_NODE.sub
  DESC_NODE_FONT_ARRAY,  // DESC_FONT_ID links of a header font list
  DESC_NODE_FONT_ID,
  DESC_NODE_TEXT,       // ANSI text, NUL-terminated
  DESC_NODE_WIDE_TEXT,  // UTF-16 text, NUL-terminated
  DESC_NODE_KIND_COUNT
} DESC_NODE_KIND;

// The link is stored as a tagged offset into the rule data (DESC_TAG).
#define DESC_LINK_TAGGED 0x1u
// The node it leads to is also reached through another link that the walk enters: a
// direct slot and an item's rule link (whatever follow answers, the walk enters those
// nodes only from their lists), and the value data of variant and Identity nodes (the walk
// enters it again only when follow answers it).
#define DESC_LINK_SHARED 0x2u
// An array with a non-zero count: an empty link is a fault.
#define DESC_LINK_REQUIRED 0x4u
// A text whose byte count, its NUL included, is given in count.
#define DESC_LINK_COUNTED 0x8u

typedef struct DESC_LINK {
  BYTE *from;  // node holding the link field
  DESC_NODE_KIND fromKind;
  DWORD field;          // offset of the link field in from
  DESC_NODE_KIND kind;  // kind of node it leads to
  DWORD flags;          // DESC_LINK_*
  DWORD unit;           // bytes of one element of the target (a node's size for a node)
  DWORD count;          // elements the walk reads there: 1 for a node, an array's count;
                        // 0 for texts and code (ended by their terminator); a counted
                        // text's length
  DWORD depth;          // nesting of command blocks at the target (0 for a group's block);
                        // the blocks of an ElseIf chain (an else part that is one
                        // conditional statement) are at the depth of the block they continue
} DESC_LINK;

typedef struct DESC_WALK_NODE {
  BYTE *at;
  DESC_NODE_KIND kind;
  DWORD size;  // bytes the walk reads in it (0 for texts and code)
  WORD sub;    // items and value data: the item type; statements: the statement kind
  WORD pad;
  DWORD depth;  // nesting of command blocks
} DESC_WALK_NODE;

typedef struct DESC_WALK_VISITOR {
  void *user;
  // Resolves one link field: *target receives the node to enter, NULL to enter nothing
  // (no link, a node entered already, a shared node). FALSE stops the whole walk.
  BOOL (*follow)(void *user, const DESC_LINK *link, BYTE **target);
  // A node the walk entered, before any of its fields beyond what follow was shown is
  // read. FALSE stops the whole walk. May be NULL.
  BOOL (*visit)(void *user, const DESC_WALK_NODE *node);
} DESC_WALK_VISITOR;

// Walks the block from its header: rule blocks (with their sections, in list order), the
// item list (option commands, value data), the direct slots, the DLL names, the command
// groups with their nested blocks, and the two font lists. Every link field the walk meets
// goes through follow, and every node it enters through visit; the walk reads a node's
// fields only after follow answered it and visit accepted it. FALSE when a callback
// stopped the walk; TRUE after a whole walk.
BOOL WINAPI DescWalkGraph(BYTE *block, const DESC_WALK_VISITOR *visitor);

KV_END_DECLS
