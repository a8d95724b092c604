// Lookups in a context's compiled description. The node index comes with the description
// runtime; until then no key has a node.
#include <string.h>

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
