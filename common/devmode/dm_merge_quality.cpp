// The print-quality part of the public merge. The DEVMODE's dmPrintQuality holds a resolution
// in dots per inch; the resolution item checked against the description may hold a
// resolution code instead (item 152), so every value crosses between the two only through
// the resolution table, never by taking a code as dots per inch or the reverse. The quality
// the merge leaves is always one the resolution item offers, so that the item check that
// ends the merge keeps the device resolution and everything computed from it.
#include "blob/desc_blob.h"
#include "blob/desc_runtime.h"
#include "devmode/dm_merge.h"
#include "hooks/module_hooks.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "model/model.h"
#include "rules/rule_caps.h"
#include "rules/rule_cond.h"
#include "store/settings_files.h"
#include "tables/item_ids.h"

namespace {

// Asks the module hooks for a resolution (event 32) with the requested resolution in dots per
// inch, and answers it in dots per inch: an answer for a code item (or a row with translated
// values, whose hooks answer codes) is converted through the resolution table. 0 when there
// is no usable answer.
LONG AskResolution(DRIVER_CONTEXT *ctx, DEVMODEW *target, OPTION_ITEM *row, LONG requestedDpi)
{
  KV_EVT_PRINT_QUALITY_DATA data = {target, row, requestedDpi};
  CtxNotifyModules(ctx, KV_EVT_MERGE_PRINT_QUALITY, &data);
  if (row != NULL && (row->id == ITEM_kdmDstResolutionBoth || row->xlat != NULL)) {
    const RESOLUTION_ROW *res = data.value > 0 && data.value <= 0xFFFF ? CapFindResolutionRow((WORD)data.value) : NULL;
    return res != NULL ? (LONG)res->xDpi : 0;
  }
  return data.value > 0 ? data.value : 0;
}

LONG ModelQuality(DRIVER_CONTEXT *ctx) { return ctx->model != NULL ? ctx->model->printQuality : 600; }

// The description default of item 14 when the description defines it, else the model's.
LONG DefaultQuality(DRIVER_CONTEXT *ctx)
{
  OPTION_ITEM *row = ItemFindById(ctx, ITEM_dmPrintQuality);
  if (row != NULL && DescFindItemNode(ITEM_dmPrintQuality, ctx) != NULL) {
    LONG v = ItemValueIdToStored(ctx, row, (LONG)DescGetItemDefault(ITEM_dmPrintQuality, ctx));
    if (v > 0) return v;
  }
  return ModelQuality(ctx);
}

// The resolution code of item 152 that stands for dpi: the current code when the user macro
// is on and its row has that x resolution, else the first code with that x resolution that
// the item's node accepts. 0 when none does.
WORD CodeForQuality(DRIVER_CONTEXT *ctx, OPTION_ITEM *row, LONG dpi)
{
  if (ItemGetRaw(ctx, ITEM_kdmUseUserMacro, NULL) == 1) {
    LONG current = ItemReadRaw(ctx, row);
    const RESOLUTION_ROW *res = current > 0 && current <= 0xFFFF ? CapFindResolutionRow((WORD)current) : NULL;
    if (res != NULL && res->xDpi == dpi) return (WORD)current;
  }
  for (WORD code = CapResolutionCodeFromXDpi(dpi); code != 0; code = CapNextResolutionCodeWithDpi(dpi, code))
    if (ItemCheckNodeValue(row, ITEM_kdmDstResolutionBoth, code, ctx)) return code;
  return 0;
}

// The item that must offer the print quality: item 152, by resolution code, when item 38's
// node is Numeric; else item 38 itself, by dots per inch. No row when the table lacks it.
struct ResolutionItem {
  OPTION_ITEM *row;
  bool codes;
};

ResolutionItem ResolutionItemToCheck(DRIVER_CONTEXT *ctx)
{
  const DESC_ITEM_NODE *node38 = DescFindItemNode(ITEM_kdmDstResolutionW, ctx);
  bool codes =
      node38 != NULL && (DescLd16(node38, offsetof(DESC_ITEM_NODE, type)) & ~DESC_TYPE_FLAGS) == DESC_TYPE_NUMERIC;
  return {ItemFindById(ctx, codes ? ITEM_kdmDstResolutionBoth : ITEM_kdmDstResolutionW), codes};
}

// 1 when the resolution item's node accepts dpi (through a code of that x resolution for
// item 152), else 0.
bool NodeAccepts(DRIVER_CONTEXT *ctx, const ResolutionItem &item, LONG dpi)
{
  if (item.row == NULL || dpi <= 0) return false;
  return item.codes ? CodeForQuality(ctx, item.row, dpi) != 0
                    : ItemCheckNodeValue(item.row, item.row->id, (DWORD)dpi, ctx) != 0;
}

// The resolution item's description default in dots per inch (item 152's code through the
// resolution table); the print quality's default when the item has none.
LONG ResolutionItemDefault(DRIVER_CONTEXT *ctx, const ResolutionItem &item)
{
  if (item.row != NULL && DescFindItemNode(item.row->id, ctx) != NULL) {
    LONG v = ItemValueIdToStored(ctx, item.row, (LONG)DescGetItemDefault(item.row->id, ctx));
    if (item.codes) {
      const RESOLUTION_ROW *res = v > 0 && v <= 0xFFFF ? CapFindResolutionRow((WORD)v) : NULL;
      v = res != NULL ? (LONG)res->xDpi : 0;
    }
    if (v > 0) return v;
  }
  return DefaultQuality(ctx);
}

// dpi when the printer offers it, else the resolution item's default: the item check would
// put the resolution item back to its default otherwise, and the print quality, the
// resolution code and the paper items computed at dpi would no longer agree with it. An item
// without description node offers every resolution.
LONG OfferedOrDefault(DRIVER_CONTEXT *ctx, const ResolutionItem &item, LONG dpi)
{
  if (item.row == NULL || DescFindItemNode(item.row->id, ctx) == NULL) return dpi > 0 ? dpi : ModelQuality(ctx);
  return NodeAccepts(ctx, item, dpi) ? dpi : ResolutionItemDefault(ctx, item);
}

// The module hook's resolution, taken only when the printer offers it; a refused answer
// takes the pass mode the hook chose with it along.
LONG TakeHookAnswer(DRIVER_CONTEXT *ctx, const ResolutionItem &item, LONG dpi)
{
  LONG taken = OfferedOrDefault(ctx, item, dpi);
  if (taken != dpi) ctx->state->pendingPassMode = 0;
  return taken;
}

// The user print macro's quality set, read on a snapshot that is rolled back: its resolution
// item, or 0 when the set cannot be read.
LONG MacroQuality(DRIVER_CONTEXT *ctx)
{
  int index = DmUserMacroQualityIndex(ctx);
  if (index < 0) return 0;
  WCHAR path[MAX_PATH];
  if (!DmGetQualityListPath(ctx, index, path, MAX_PATH)) return 0;
  if (!CtxPushDevmodeSnapshot(ctx)) return 0;
  LONG dpi = 0;
  if (StoreReadSettingsFile(ctx->printer, path, KST_QUALITY_ITEMS, ctx) == 1)
    dpi = ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL);
  CtxPopDevmodeSnapshot(ctx, 1);
  return dpi;
}

}  // namespace

void WINAPI DmMergePrintQuality(DEVMODEW *target, const DEVMODEW *source, DRIVER_CONTEXT *ctx)
{
  if (target == NULL || source == NULL || ctx == NULL || ctx->state == NULL) return;
  ctx->state->pendingPassMode = 0;

  // The new print quality.
  LONG q = source->dmPrintQuality;
  OPTION_ITEM *row38 = ItemFindById(ctx, ITEM_kdmDstResolutionW);
  ResolutionItem check = ResolutionItemToCheck(ctx);
  LONG quality;
  if (DmIsSymbolicQuality(q))
    quality = DefaultQuality(ctx);
  else if (DmValidatePrintQuality((SHORT)q, ctx))
    quality = q;
  else if (row38 != NULL)
    quality = TakeHookAnswer(ctx, check, AskResolution(ctx, target, row38, q));
  else
    quality = ModelQuality(ctx);
  target->dmPrintQuality = (SHORT)quality;

  // The resolution item must accept it.
  if (check.row != NULL) {
    LONG dpi = target->dmPrintQuality;
    if (!NodeAccepts(ctx, check, dpi)) {
      LONG answer = AskResolution(ctx, target, check.row, dpi);
      target->dmPrintQuality = (SHORT)TakeHookAnswer(ctx, check, answer > 0 ? answer : dpi);
    }
  }

  // The user print macro's quality set decides while a document sheet is shown.
  DWORD stored = ctx->state->mergeFlags;
  if ((stored & (KV_MERGE_DOCPROPS | KV_MERGE_IN_PROMPT)) == (KV_MERGE_DOCPROPS | KV_MERGE_IN_PROMPT)) {
    LONG remembered = target->dmPrintQuality;
    LONG macro = MacroQuality(ctx);
    if (macro > 0 && macro != remembered) target->dmPrintQuality = (SHORT)OfferedOrDefault(ctx, check, macro);
  }

  // A page too large for the resolution caps it.
  if (!(stored & KV_MERGE_SETTINGS_FILE)) {
    LONG cap = RuleGetResolutionCap(ctx, 0);
    if (cap != 0) target->dmPrintQuality = (SHORT)OfferedOrDefault(ctx, check, cap);
  }
  target->dmFields |= DM_PRINTQUALITY;
}
