// The public fields of an incoming DEVMODE merged into the context's one, field by field as
// the incoming dmFields selects them: each value is checked, and a value that fails takes the
// description's default of its item, else the model record's.
#include <string.h>

#include "blob/desc_blob.h"
#include "blob/desc_geometry.h"
#include "blob/desc_runtime.h"
#include "devmode/devmode_paper.h"
#include "devmode/dm_merge.h"
#include "hooks/module_hooks.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "model/model.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace {

constexpr DWORD kDimensionBits = DM_PAPERLENGTH | DM_PAPERWIDTH;
constexpr DWORD kCustomResolution = 1200;  // custom sizes are held in 1200-dpi dots

// The description default of a public field's item when the description defines it (written
// through the item, then read back), else the model's default.
LONG DescOrModelDefault(DRIVER_CONTEXT *ctx, WORD id, LONG modelDefault)
{
  OPTION_ITEM *row = ItemFindById(ctx, id);
  if (row == NULL || DescFindItemNode(id, ctx) == NULL) return modelDefault;
  ItemResetToDescDefault(ctx, row);
  return ItemReadRaw(ctx, row);
}

// The [min, max] of the Numeric node bound to the item in that option row, else the given
// range.
void NumericRange(DRIVER_CONTEXT *ctx, DWORD optionRow, LONG *min, LONG *max)
{
  const DESC_ITEM_NODE *node = DescGetItemNodeByIndex(ctx, optionRow);
  if (node == NULL || (DescLd16(node, offsetof(DESC_ITEM_NODE, type)) & ~DESC_TYPE_FLAGS) != DESC_TYPE_NUMERIC) return;
  const void *numeric = DescGetItemValues(DescLd16(node, offsetof(DESC_ITEM_NODE, itemId)), ctx, NULL);
  if (numeric == NULL) return;
  *min = (LONG)DescLd32(numeric, offsetof(DESC_NUMERIC_VALUE, minimum));
  *max = (LONG)DescLd32(numeric, offsetof(DESC_NUMERIC_VALUE, maximum));
}

// The paper's dimensions from the description (item 8's paper, exchanged for landscape).
void DescPaperDimensions(DRIVER_CONTEXT *ctx, DEVMODEW *target)
{
  SIZE size;
  if (!DescGetPaperSizeByItem(ctx, &size, ITEM_dmPaperSize)) return;
  target->dmPaperLength = (SHORT)size.cy;
  target->dmPaperWidth = (SHORT)size.cx;
}

void MergeCustomSize(DEVMODEW *target, const DEVMODEW *source, DRIVER_CONTEXT *ctx)
{
  target->dmPaperSize = source->dmPaperSize;
  target->dmPaperLength = source->dmPaperLength;
  target->dmPaperWidth = source->dmPaperWidth;
  target->dmFields = (target->dmFields | kDimensionBits) & ~(DWORD)DM_PAPERSIZE;
  KV_EVT_DEVMODE_DATA data = {target};
  CtxNotifyModules(ctx, KV_EVT_CUSTOM_PAPER_TAKEN, &data);
  ItemSetRaw(ctx, ITEM_kdmPaperFreeSizeLength, (LONG)DmUnitsToDots(1, (DWORD)source->dmPaperLength, kCustomResolution));
  ItemSetRaw(ctx, ITEM_kdmPaperFreeSizeWidth, (LONG)DmUnitsToDots(1, (DWORD)source->dmPaperWidth, kCustomResolution));
}

void MergePaperSize(DEVMODEW *target, SHORT paper, DRIVER_CONTEXT *ctx)
{
  bool shortOver = ItemGetRaw(ctx, ITEM_kdmFuncSelectFreeShortOver, NULL) != 0;
  if (DmIsSlotPaper(paper)) {
    if (shortOver) {
      target->dmPaperSize = paper;
      target->dmFields &= ~kDimensionBits;
    } else {
      ListLoadAllFreeSizes(ctx);
      int slot = ListPaperIdToSlot((WORD)paper, ctx);
      if (slot >= 0 && slot < 12) {
        ListFillFixedSizeSlot(ctx, (WORD)paper, slot);
        const FREE_SIZE_SLOT *s = &ctx->state->freeSizeSlots[slot];
        target->dmPaperLength = (SHORT)DmDotsToUnits(1, s->length > 0 ? (DWORD)s->length : 0, kCustomResolution);
        target->dmPaperWidth = (SHORT)DmDotsToUnits(1, s->width > 0 ? (DWORD)s->width : 0, kCustomResolution);
      }
      target->dmPaperSize = paper;
      target->dmFields |= kDimensionBits;
    }
  } else if (DmValidatePaperSize(paper, ctx)) {
    target->dmPaperSize = paper;
    target->dmFields &= ~kDimensionBits;
    if (!shortOver) DescPaperDimensions(ctx, target);
  } else {
    target->dmPaperSize = (SHORT)DescOrModelDefault(ctx, ITEM_dmPaperSize, ctx->model->paperSize);
    target->dmFields &= ~kDimensionBits;
  }
  target->dmFields |= DM_PAPERSIZE;
}

void MergeFormName(DEVMODEW *target, const DEVMODEW *source)
{
  if (source->dmFormName[0] == 0 || target->dmFormName[0] == 0) {
    memset(target->dmFormName, 0, sizeof target->dmFormName);
    target->dmFields &= ~(DWORD)DM_FORMNAME;
    return;
  }
  memcpy(target->dmFormName, source->dmFormName, sizeof target->dmFormName);
  target->dmFormName[CCHFORMNAME - 1] = 0;
  target->dmFields |= DM_FORMNAME;
}

void MergePaper(DEVMODEW *target, const DEVMODEW *source, DWORD f, DRIVER_CONTEXT *ctx)
{
  if ((f & kDimensionBits) == kDimensionBits && !(f & DM_PAPERSIZE) && source->dmPaperLength > 0 &&
      source->dmPaperWidth > 0)
    MergeCustomSize(target, source, ctx);
  else if (f & DM_PAPERSIZE)
    MergePaperSize(target, source->dmPaperSize, ctx);
  else if (f & DM_ORIENTATION) {
    if ((target->dmFields & DM_PAPERSIZE) && !DmIsSlotPaper(target->dmPaperSize)) DescPaperDimensions(ctx, target);
  } else if (f & DM_FORMNAME)
    MergeFormName(target, source);
}

}  // namespace

void WINAPI DmMergePublicFields(DEVMODEW *target, const DEVMODEW *source, DRIVER_CONTEXT *ctx)
{
  if (target == NULL || source == NULL || ctx == NULL || ctx->model == NULL || ctx->state == NULL) return;
  const MODEL_RECORD *m = ctx->model;
  DWORD f = source->dmFields;
  if (source->dmPaperSize == DMPAPER_USER) f = (f & ~(DWORD)DM_PAPERSIZE) | kDimensionBits;

  if (f & DM_DEFAULTSOURCE) {
    target->dmDefaultSource = DmValidateDefaultSource(source->dmDefaultSource, ctx)
                                  ? source->dmDefaultSource
                                  : (SHORT)DescOrModelDefault(ctx, ITEM_dmDefaultSource, m->defaultSource);
    target->dmFields |= DM_DEFAULTSOURCE;
  }
  if (f & DM_ORIENTATION) {
    target->dmOrientation = DmValidateOrientation(source->dmOrientation, ctx)
                                ? source->dmOrientation
                                : (SHORT)DescOrModelDefault(ctx, ITEM_dmOrientation, m->orientation);
    target->dmFields |= DM_ORIENTATION;
  }
  MergePaper(target, source, f, ctx);

  if (f & DM_SCALE) {
    LONG min = 1, max = 1000;
    NumericRange(ctx, ITEM_dmScale - 1, &min, &max);
    target->dmScale = source->dmScale >= min && source->dmScale <= max ? source->dmScale : m->scale;
  }
  target->dmFields &= ~(DWORD)DM_SCALE;
  if (f & DM_COPIES) {
    LONG min = m->minCopies, max = m->maxCopies;
    NumericRange(ctx, ITEM_dmCopies - 1, &min, &max);
    target->dmCopies = source->dmCopies >= min && source->dmCopies <= max ? source->dmCopies : m->copies;
    target->dmFields |= DM_COPIES;
  }
  if (f & DM_MEDIATYPE)
    target->dmMediaType = DmValidateMediaType(source->dmMediaType, ctx) ? source->dmMediaType : m->mediaType;
  if (f & DM_PRINTQUALITY) DmMergePrintQuality(target, source, ctx);
  target->dmYResolution = target->dmPrintQuality;
  target->dmFields |= DM_YRESOLUTION;
  if (f & DM_DUPLEX) {
    target->dmDuplex = DmValidateDuplex(source->dmDuplex, ctx) ? source->dmDuplex : m->duplex;
    target->dmFields |= DM_DUPLEX;
  }
  if (f & DM_COLOR) {
    target->dmColor = DmValidateColor(source->dmColor, ctx) ? source->dmColor : m->color;
    target->dmFields |= DM_COLOR;
  }
  if (f & DM_TTOPTION) {
    if (DmValidateTTOption(source->dmTTOption, ctx)) {
      target->dmTTOption = source->dmTTOption;
      target->dmFields |= DM_TTOPTION;
    } else
      target->dmTTOption = m->ttOption;
  }
  if (DmCanCollate(ctx)) {
    bool collate =
        (f & DM_COLLATE) ? source->dmCollate == DMCOLLATE_TRUE : ItemGetRaw(ctx, ITEM_kdmFuncSelectSort, NULL) != 0;
    target->dmCollate = collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;
    target->dmFields |= DM_COLLATE;
  } else {
    target->dmCollate = DMCOLLATE_FALSE;
    target->dmFields &= ~(DWORD)DM_COLLATE;
  }
  if (f & DM_ICMMETHOD) {
    bool ok = DmValidateICMMethod(source->dmICMMethod, ctx) != 0;
    target->dmICMMethod = ok ? source->dmICMMethod : m->icmMethod;
    if (ok) target->dmFields |= DM_ICMMETHOD;
  }
  if (f & DM_ICMINTENT) {
    bool ok = DmValidateICMIntent(source->dmICMIntent, ctx) != 0;
    target->dmICMIntent = ok ? source->dmICMIntent : m->icmIntent;
    if (ok) target->dmFields |= DM_ICMINTENT;
  }
  if (f & DM_DITHERTYPE) {
    bool ok = DmValidateDitherType(source->dmDitherType, ctx) != 0;
    target->dmDitherType = ok ? source->dmDitherType : m->ditherType;
    if (ok) target->dmFields |= DM_DITHERTYPE;
  }
}
