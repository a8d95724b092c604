// Lookups in a context's compiled description: item nodes by item ID, symbol key and option
// row; their types, values and defaults; rule blocks by key; the resource DLL name.
#include "blob/desc_runtime.h"

// Finds the node of an item ID in a block: the direct slot for the three slot ranges,
// else the first node of the item list with that ID.
static const BYTE *BlobFindItemNode(WORD itemId, const DESC_BLOB *blob)
{
  DWORD slot = DescSlotOffset(itemId);
  if (slot != 0) return DescLdPtr(blob, slot);
  for (const BYTE *node = DescLdPtr(blob, offsetof(DESC_HEADER, items)); node != NULL;
       node = DESC_FIELDPTR(node, DESC_ITEM_NODE, next)) {
    if (DESC_FIELD16(node, DESC_ITEM_NODE, itemId) == itemId) return node;
  }
  return NULL;
}

static const BYTE *CtxFindItemNode(WORD itemId, const DRIVER_CONTEXT *ctx)
{
  if (itemId == 0 || ctx == NULL || ctx->desc == NULL) return NULL;
  return BlobFindItemNode(itemId, ctx->desc);
}

static WORD NodeType(const BYTE *node) { return DESC_FIELD16(node, DESC_ITEM_NODE, type); }
static WORD MaskedType(const BYTE *node) { return (WORD)(NodeType(node) & ~DESC_TYPE_FLAGS); }

static DWORD NodeDefault(const BYTE *node)
{
  if (node == NULL) return 0;
  const BYTE *data = DESC_FIELDPTR(node, DESC_ITEM_NODE, values);
  if (data == NULL) return 0;
  switch (NodeType(node) & 0xFF) {
    case DESC_TYPE_PICK_ONE: {
      WORD steps = DESC_FIELD16(node, DESC_ITEM_NODE, defaultValue);
      const BYTE *value = data;
      for (WORD i = 0; i < steps && value != NULL; ++i) value = DESC_FIELDPTR(value, DESC_VALUE_NODE, next);
      return value != NULL ? DESC_FIELD16(value, DESC_VALUE_NODE, valueId) : 0;
    }
    case DESC_TYPE_BOOLEAN: return DESC_FIELD32(data, DESC_BOOLEAN_VALUE, defaultValue);
    case DESC_TYPE_NUMERIC: return DESC_FIELD32(data, DESC_NUMERIC_VALUE, defaultValue);
    case DESC_TYPE_STRING: return DESC_FIELD16(data, DESC_STRING_VALUE, defaultValue);
    default: return 0;
  }
}

DWORD WINAPI DescGetBlobItemDefault(WORD itemId, const DESC_BLOB *blob)
{
  if (blob == NULL) return 0;
  return NodeDefault(BlobFindItemNode(itemId, blob));
}

const DESC_ITEM_NODE *WINAPI DescFindItemNode(WORD itemId, DRIVER_CONTEXT *ctx)
{
  return (const DESC_ITEM_NODE *)CtxFindItemNode(itemId, ctx);
}

const DESC_ITEM_NODE *WINAPI DescGetItemNode(WORD itemId, DRIVER_CONTEXT *ctx) { return DescFindItemNode(itemId, ctx); }

WORD WINAPI DescGetItemType(WORD itemId, DRIVER_CONTEXT *ctx)
{
  const BYTE *node = CtxFindItemNode(itemId, ctx);
  return node != NULL ? MaskedType(node) : 0;
}

WORD WINAPI DescGetItemTypeRaw(WORD itemId, DRIVER_CONTEXT *ctx)
{
  const BYTE *node = CtxFindItemNode(itemId, ctx);
  return node != NULL ? NodeType(node) : 0;
}

DWORD WINAPI DescGetItemDefault(WORD itemId, DRIVER_CONTEXT *ctx) { return NodeDefault(CtxFindItemNode(itemId, ctx)); }

const void *WINAPI DescGetItemValues(WORD itemId, DRIVER_CONTEXT *ctx, WORD *defaultIndex)
{
  const BYTE *node = CtxFindItemNode(itemId, ctx);
  if (node == NULL) return NULL;
  if (defaultIndex != NULL && (MaskedType(node) & DESC_TYPE_PICK_ONE) != 0)
    *defaultIndex = DESC_FIELD16(node, DESC_ITEM_NODE, defaultValue);
  return DESC_FIELDPTR(node, DESC_ITEM_NODE, values);
}

LONG WINAPI DescCountItemValues(WORD itemId, DRIVER_CONTEXT *ctx)
{
  const BYTE *node = CtxFindItemNode(itemId, ctx);
  if (node == NULL) return -1;
  WORD type = MaskedType(node);
  if (type == DESC_TYPE_BOOLEAN || type == DESC_TYPE_NUMERIC || type == DESC_TYPE_STRING) return 0;
  return (LONG)DescCountList(DESC_FIELDPTR(node, DESC_ITEM_NODE, values));
}

// Every list of the block links its entries through a pointer at the entry's start.
DWORD WINAPI DescCountList(const void *first)
{
  DWORD count = 0;
  for (const BYTE *entry = (const BYTE *)first; entry != NULL; entry = DescLdPtr(entry, 0)) ++count;
  return count;
}

const DESC_ITEM_NODE *WINAPI DescFindItemNodeByKey(WORD key, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->desc == NULL) return NULL;
  for (const BYTE *node = DescLdPtr(ctx->desc, offsetof(DESC_HEADER, items)); node != NULL;
       node = DESC_FIELDPTR(node, DESC_ITEM_NODE, next)) {
    if (DESC_FIELD16(node, DESC_ITEM_NODE, key) == key) return (const DESC_ITEM_NODE *)node;
  }
  return NULL;
}

const DESC_ITEM_NODE *WINAPI DescGetItemNodeByKey(WORD key, DRIVER_CONTEXT *ctx)
{
  return DescFindItemNodeByKey(key, ctx);
}

const DESC_ITEM_NODE *WINAPI DescGetItemNodeByIndex(DRIVER_CONTEXT *ctx, DWORD row)
{
  if (ctx == NULL || ctx->items == NULL || ctx->items->rows == NULL) return NULL;
  if (ctx->items->count <= 0 || row >= (DWORD)ctx->items->count) return NULL;
  const OPTION_ITEM *rows = (const OPTION_ITEM *)ctx->items->rows;
  return DescFindItemNode(rows[row].id, ctx);
}

const DESC_RULE_BLOCK *WINAPI DescFindRuleBlock(WORD key, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->desc == NULL) return NULL;
  for (const DESC_RULE_BLOCK *block = ctx->desc->header.rules; block != NULL; block = block->next) {
    if (block->key == key) return block;
  }
  return NULL;
}

const DESC_VALUE_RULE *WINAPI DescFindValueRule(const DESC_RULE_BLOCK *block, WORD valueId)
{
  if (block == NULL) return NULL;
  for (const DESC_VALUE_RULE *rule = (const DESC_VALUE_RULE *)block->valueRules; rule != NULL;
       rule = (const DESC_VALUE_RULE *)rule->next) {
    if (rule->valueId == valueId) return rule;
  }
  return NULL;
}

const WCHAR *WINAPI DescGetUiResDllName(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->desc == NULL) return NULL;
  return ctx->desc->header.uiResDllName;
}

// The settings core binds controls and rows to nodes by symbol key.
const DESC_ITEM_NODE *WINAPI ItemGetDescNode(DRIVER_CONTEXT *ctx, WORD key) { return DescFindItemNodeByKey(key, ctx); }
