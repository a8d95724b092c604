// Lookups in a context's compiled description. The node index comes with the description
// runtime; until then no key has a node.
#include <string.h>

#include "desc_blob.h"
#include "item_store.h"
#include "resources.h"

const DESC_ITEM_NODE *WINAPI ItemGetDescNode(DRIVER_CONTEXT *ctx, WORD key)
{
  (void)ctx;
  (void)key;
  return NULL;
}

// The "UIResDLLName" text of the context's compiled description: the header field at
// 6660 holds a pointer to the UTF-16 text once the blob is relocated, 0 for none. Until
// the description runtime lands, only blobs put into the process cache carry it.
#define KV_DESC_HEADER_UI_RES_DLL_NAME 6660

const WCHAR *WINAPI DescGetUiResDllName(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->desc == NULL) return NULL;
  const WCHAR *name = NULL;
  memcpy(&name, (const BYTE *)ctx->desc + KV_DESC_HEADER_UI_RES_DLL_NAME, sizeof name);
  return name;
}

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

static DWORD NodeDefault(const BYTE *node)
{
  if (node == NULL) return 0;
  const BYTE *data = DESC_FIELDPTR(node, DESC_ITEM_NODE, values);
  if (data == NULL) return 0;
  switch (DESC_FIELD16(node, DESC_ITEM_NODE, type) & 0xFF) {
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
