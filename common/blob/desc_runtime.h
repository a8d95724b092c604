// Run-time lookups in a context's compiled printer description: the item node of an option
// item, its type, values and default, the rule block of a symbol key. They read the
// relocated block the context borrows and never change it; a missing description, node,
// slot or key answers "none" (NULL, 0, or -1 where noted).
//
// Item and value nodes may start at any byte of the block: callers read them with
// DESC_FIELD16 / DESC_FIELD32 / DESC_FIELDPTR, never through the structure pointer. Rule
// blocks and the rule data they link are aligned and may be read directly.
#pragma once

#include "context.h"
#include "blob/desc_blob.h"

KV_BEGIN_DECLS

// The item node of an item ID: the header's direct slot for IDs 1-600, 10001-10385 and
// 601-1270, the first node of the item list with that ID for any other ID; NULL for ID 0.
const DESC_ITEM_NODE *WINAPI DescFindItemNode(WORD itemId, DRIVER_CONTEXT *ctx);
// DescFindItemNode under its second name.
const DESC_ITEM_NODE *WINAPI DescGetItemNode(WORD itemId, DRIVER_CONTEXT *ctx);

// The node's type word without the Identity and TypeUnknown flags (0x3000); 0 without node.
WORD WINAPI DescGetItemType(WORD itemId, DRIVER_CONTEXT *ctx);
// The node's type word with its flags; 0 without node.
WORD WINAPI DescGetItemTypeRaw(WORD itemId, DRIVER_CONTEXT *ctx);

// The description default: PickOne class the value ID at the node's default position of the
// value list (0 past its end), Boolean and Numeric the record's default, String the record's
// first 16-bit field, any other type 0; 0 without node or value data.
DWORD WINAPI DescGetItemDefault(WORD itemId, DRIVER_CONTEXT *ctx);

// The description default of an item of a block no context holds yet (also the header
// under construction while parsing): PickOne class the value ID at the node's default
// position, Boolean and Numeric the record's default, String the record's first field,
// anything else 0.
DWORD WINAPI DescGetBlobItemDefault(WORD itemId, const DESC_BLOB *blob);

// The node's value data: the head of the value list of list types (DESC_VALUE_NODE and its
// larger forms), the record of Boolean, Numeric and String items; NULL without node. When
// defaultIndex is given and the item is of the PickOne class, the node's default position
// is written to it; nothing is written otherwise.
const void *WINAPI DescGetItemValues(WORD itemId, DRIVER_CONTEXT *ctx, WORD *defaultIndex);

// -1 without node; 0 for Boolean, Numeric and String items; else the number of entries of
// the value list.
LONG WINAPI DescCountItemValues(WORD itemId, DRIVER_CONTEXT *ctx);

// Number of entries of a singly linked description list (next link first); 0 for NULL.
DWORD WINAPI DescCountList(const void *first);

// The first node of the item list whose symbol key matches; NULL when none.
const DESC_ITEM_NODE *WINAPI DescFindItemNodeByKey(WORD key, DRIVER_CONTEXT *ctx);
// DescFindItemNodeByKey under its second name.
const DESC_ITEM_NODE *WINAPI DescGetItemNodeByKey(WORD key, DRIVER_CONTEXT *ctx);

// DescFindItemNodeByKey with the context first: the settings core binds option rows and
// controls to description nodes by symbol key. NULL when none.
const DESC_ITEM_NODE *WINAPI ItemGetDescNode(DRIVER_CONTEXT *ctx, WORD key);

// The node of the item whose ID stands in that row of the context's option item table;
// NULL for a row outside the table.
const DESC_ITEM_NODE *WINAPI DescGetItemNodeByIndex(DRIVER_CONTEXT *ctx, DWORD row);

// The rule block of the Exclusive list with that symbol key; NULL when none.
const DESC_RULE_BLOCK *WINAPI DescFindRuleBlock(WORD key, DRIVER_CONTEXT *ctx);

// The block's first per-value rule entry for a value ID; NULL when none.
const DESC_VALUE_RULE *WINAPI DescFindValueRule(const DESC_RULE_BLOCK *block, WORD valueId);

// The description's "UIResDLLName" text (UTF-16), NULL when it names none. The text lies
// unpadded in the block and may start at an odd address: copy it byte-wise before reading.
const WCHAR *WINAPI DescGetUiResDllName(DRIVER_CONTEXT *ctx);

KV_END_DECLS
