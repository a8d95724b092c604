// Paper geometry of the printer description: the size of a paper value and its printable
// area per resolution and orientation, for the current paper and the output paper.
//
// Paper values and geometry entries may start at any byte of the compiled block: they are
// read field by field.
#include "blob/desc_geometry.h"

#include "blob/desc_runtime.h"
#include "items/item_store.h"
#include "model/model.h"
#include "tables/item_ids.h"

// The paper item's node when it is a PickPage item (only those values carry sizes and
// geometry); NULL otherwise.
static const DESC_ITEM_NODE *PaperNode(DRIVER_CONTEXT *ctx)
{
  const DESC_ITEM_NODE *node = DescFindItemNode(ITEM_dmPaperSize, ctx);
  if (node == NULL) return NULL;
  WORD type = (WORD)(DESC_FIELD16(node, DESC_ITEM_NODE, type) & ~DESC_TYPE_FLAGS);
  return type == DESC_TYPE_PICK_PAGE ? node : NULL;
}

// The paper value with that value ID, walked no further than the value count; NULL when
// none or for value ID 0.
static const BYTE *FindPaperValue(DRIVER_CONTEXT *ctx, const DESC_ITEM_NODE *node, LONG valueId)
{
  if (node == NULL || valueId <= 0 || valueId > 0xFFFF) return NULL;
  LONG limit = DescCountItemValues(ITEM_dmPaperSize, ctx);
  const BYTE *value = DESC_FIELDPTR(node, DESC_ITEM_NODE, values);
  for (LONG i = 0; value != NULL && i < limit; ++i) {
    if (DESC_FIELD16(value, DESC_VALUE_NODE, valueId) == valueId) return value;
    value = DESC_FIELDPTR(value, DESC_VALUE_NODE, next);
  }
  return NULL;
}

// 1 when a geometry entry's condition holds: none, or the item of its symbol key has the
// condition's value ID now.
static bool ConditionHolds(DRIVER_CONTEXT *ctx, const BYTE *entry)
{
  WORD key = DESC_FIELD16(entry, DESC_PAPER_GEOMETRY, condKey);
  if (key == 0) return true;
  const OPTION_ITEM *row = ItemFindByKey(ctx, key);
  return row != NULL && ItemReadValue(ctx, row) == (LONG)DESC_FIELD16(entry, DESC_PAPER_GEOMETRY, condValue);
}

// a + b kept inside the 32-bit range.
static LONG AddSaturated(LONG a, LONG b)
{
  long long sum = (long long)a + b;
  if (sum > 0x7FFFFFFFll) return 0x7FFFFFFF;
  if (sum < -0x7FFFFFFFll - 1) return (LONG)(-0x7FFFFFFFll - 1);
  return (LONG)sum;
}

#define GEOMETRY_NUMBER(entry, field) ((LONG)DESC_FIELD32((entry), DESC_PAPER_GEOMETRY, field))

int WINAPI DescGetPrintableArea(DRIVER_CONTEXT *ctx, RECT *area, POINT *offsets, WORD paperValueId)
{
  if (ctx == NULL || ctx->desc == NULL) return 0;
  const DESC_ITEM_NODE *node = PaperNode(ctx);
  if (node == NULL) return 0;
  LONG resolution = ItemGetValue(ctx, ITEM_kdmDstResolutionW, NULL);
  LONG orientation = ItemGetValue(ctx, ITEM_dmOrientation, NULL);
  const BYTE *value = FindPaperValue(ctx, node, paperValueId);
  if (value == NULL) return 0;
  const BYTE *first = DESC_FIELDPTR(value, DESC_PAGE_VALUE_NODE, geometry);
  // First pass: resolution and orientation; second pass: the resolution alone, turned.
  for (int pass = 0; pass < 2; ++pass) {
    for (const BYTE *e = first; e != NULL; e = DESC_FIELDPTR(e, DESC_PAPER_GEOMETRY, next)) {
      if ((LONG)DESC_FIELD16(e, DESC_PAPER_GEOMETRY, resolution) != resolution) continue;
      if (pass == 0 && (LONG)DESC_FIELD16(e, DESC_PAPER_GEOMETRY, orientation) != orientation) continue;
      if (!ConditionHolds(ctx, e)) continue;
      LONG x = GEOMETRY_NUMBER(e, x), y = GEOMETRY_NUMBER(e, y), w = GEOMETRY_NUMBER(e, w);
      LONG h = GEOMETRY_NUMBER(e, h), a = GEOMETRY_NUMBER(e, a), b = GEOMETRY_NUMBER(e, b);
      if (pass == 1) {
        LONG t = x;
        x = y, y = t;
        t = w, w = h, h = t;
        t = a, a = b, b = t;
      }
      if (area != NULL) {
        area->left = x;
        area->top = y;
        area->right = AddSaturated(x, w);
        area->bottom = AddSaturated(y, h);
      }
      if (offsets != NULL) {
        offsets->x = a;
        offsets->y = b;
      }
      return 1;
    }
  }
  return 0;
}

int WINAPI DescGetPaperSizeOfValue(DRIVER_CONTEXT *ctx, SIZE *size, LONG valueId)
{
  if (ctx == NULL || ctx->desc == NULL) return 0;
  const BYTE *value = FindPaperValue(ctx, PaperNode(ctx), valueId);
  if (value == NULL) return 0;
  LONG width = (LONG)DESC_FIELD32(value, DESC_PAGE_VALUE_NODE, width);
  LONG length = (LONG)DESC_FIELD32(value, DESC_PAGE_VALUE_NODE, length);
  bool landscape = ItemGetRaw(ctx, ITEM_dmOrientation, NULL) == 2;
  if (size != NULL) {
    size->cx = landscape ? length : width;
    size->cy = landscape ? width : length;
  }
  return 1;
}

int WINAPI DescGetPaperSizeByItem(DRIVER_CONTEXT *ctx, SIZE *size, WORD itemId)
{
  if (ctx == NULL || ctx->desc == NULL) return 0;
  return DescGetPaperSizeOfValue(ctx, size, ItemGetValue(ctx, itemId != 0 ? itemId : (WORD)ITEM_dmPaperSize, NULL));
}

// User sizes: the ten stored sizes and the two free-size papers.
static bool IsUserSizeCode(LONG code) { return (code >= 384 && code <= 393) || code == 256 || code == 448; }

int WINAPI DescGetPaperSize(DRIVER_CONTEXT *ctx, SIZE *size)
{
  if (ctx == NULL || ctx->desc == NULL) return 0;
  LONG code = ItemGetRaw(ctx, ITEM_dmPaperSize, NULL);
  if (IsUserSizeCode(code)) return DescGetCustomPaperSize(ctx, size, (WORD)code, 1);
  return DescGetPaperSizeByItem(ctx, size, 0);
}

int WINAPI DescGetOutputPaperSize(DRIVER_CONTEXT *ctx, SIZE *size)
{
  if (ctx == NULL || ctx->desc == NULL) return 0;
  LONG code = ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL);
  if (code == 1024) return DescGetPaperSize(ctx, size);
  if (IsUserSizeCode(code)) return DescGetCustomPaperSize(ctx, size, (WORD)code, 0);
  // Fit to the regional default paper: Letter or A4.
  if (code == 1025 || code == 1026) code = ItemDefaultPaperIsLetter(ctx) ? 1 : 9;
  // The size the paper item would have with that code, asked without setting it.
  const OPTION_ITEM *paper = ItemFindById(ctx, ITEM_dmPaperSize);
  if (paper == NULL) return 0;
  return DescGetPaperSizeOfValue(ctx, size, ItemStoredToValueId(ctx, paper, (LONG)(SHORT)code));
}
