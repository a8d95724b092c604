// Lookups in a context's compiled description. The node index comes with the description
// runtime; until then no key has a node.
#include "item_store.h"

const DESC_ITEM_NODE *WINAPI ItemGetDescNode(DRIVER_CONTEXT *ctx, WORD key)
{
  (void)ctx;
  (void)key;
  return NULL;
}
