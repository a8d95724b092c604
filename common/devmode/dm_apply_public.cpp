// The private items derived from the public fields of a merged DEVMODE: duplex binding,
// media, the user macro's quality set, resolution, paper and output paper, the environment
// state items; then every item is checked and an illegal value repaired.
#include "devmode/devmode_defaults.h"
#include "hooks/dm_events.h"
#include "devmode/dm_merge.h"
#include "devmode/dm_paper_items.h"
#include "hooks/module_hooks.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "model/model.h"
#include "model/state_items.h"
#include "os/os.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace {

constexpr WORD kTopBindingGroup = 0;   // duplex types 1, 17, 20
constexpr WORD kSideBindingGroup = 1;  // duplex types 2, 3, 18, 19, 21, 22
constexpr WORD kPublicFieldsAction = 124;

}  // namespace

LONG WINAPI DmDuplexTypeForBinding(int top, LONG type)
{
  if (top) {
    if (ItemIsInGroup(kTopBindingGroup, type)) return type;
    if (type == 18 || type == 19) return 17;
    if (type == 21 || type == 22) return 20;
    return 1;
  }
  if (ItemIsInGroup(kSideBindingGroup, type)) return type;
  if (type == 17) return 19;
  if (type == 20) return 22;
  return 3;
}

namespace {

void ApplyDuplex(const DEVMODEW *target, DRIVER_CONTEXT *ctx)
{
  SHORT d = target->dmDuplex;
  if (d != DMDUP_VERTICAL && d != DMDUP_HORIZONTAL) {
    if (ItemGetCustomFuncFlag(ctx, ITEM_wdmCustomFunc0) == 0) ItemSetRaw(ctx, ITEM_kdmFuncSelectDuplex, 0);
    return;
  }
  bool landscape = target->dmOrientation == DMORIENT_LANDSCAPE;
  bool top = (d == DMDUP_VERTICAL) == landscape;
  if (ItemGetRaw(ctx, ITEM_kdmFuncSelectDuplex, NULL) == 0) {
    ItemSetRaw(ctx, ITEM_kdmFuncSelectDuplex, 1);
    ItemSetRaw(ctx, ITEM_kdmDuplexType, top ? 1 : 3);
  } else
    ItemSetRaw(ctx, ITEM_kdmDuplexType, DmDuplexTypeForBinding(top, ItemGetRaw(ctx, ITEM_kdmDuplexType, NULL)));
}

bool DescribesCustomSize(DWORD fields, const DEVMODEW *dm)
{
  return (fields & (DM_PAPERLENGTH | DM_PAPERWIDTH)) == (DM_PAPERLENGTH | DM_PAPERWIDTH) && !(fields & DM_PAPERSIZE) &&
         dm->dmPaperLength > 0 && dm->dmPaperWidth > 0;
}

void ApplyPaper(DEVMODEW *target, DWORD both, DRIVER_CONTEXT *ctx)
{
  if (DescribesCustomSize(both, target))
    DmSetCustomPaperItems(target, ctx);
  else if (both & DM_PAPERSIZE)
    DmSetSourcePaperItems(target->dmPaperSize, ITEM_dmPaperSize, ctx, target);
  else if (both & DM_ORIENTATION) {
    if (DescribesCustomSize(target->dmFields, target))
      DmSetCustomPaperItems(target, ctx);
    else if (target->dmFields & DM_PAPERSIZE)
      DmSetSourcePaperItems(target->dmPaperSize, ITEM_dmPaperSize, ctx, target);
  }
  DmSetOutputPaperItems((SHORT)ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL), ITEM_kdmOutPaperSize, ctx, target);
}

// Whether a text item's field holds the empty text.
bool TextIsEmpty(DRIVER_CONTEXT *ctx, WORD id)
{
  const OPTION_ITEM *row = ItemFindById(ctx, id);
  const BYTE *p = row != NULL ? ItemGetAddress(ctx, row) : NULL;
  if (p == NULL) return false;
  DWORD type = (row->typeWord >> 24) & 0x3Fu;
  bool wide = type == KV_VT_WTEXT || type == KV_VT_WTEXT2;
  return p[0] == 0 && (!wide || p[1] == 0);
}

}  // namespace

void WINAPI DmApplyPublicFieldsToItems(DEVMODEW *target, const DEVMODEW *source, DRIVER_CONTEXT *ctx)
{
  if (target == NULL || source == NULL || ctx == NULL || ctx->state == NULL) return;
  DWORD both = target->dmFields & source->dmFields;
  if (both & DM_DUPLEX) ApplyDuplex(target, ctx);
  if (both & DM_MEDIATYPE) ItemSetRaw(ctx, ITEM_kdmMediaType, (LONG)target->dmMediaType);
  ListReloadSelectedStamp(ctx);
  ListLoadUserMacroQuality(ctx);

  CtxNotifyModules(ctx, KV_EVT_PUBLIC_FIELDS_APPLIED, NULL);
  CtxRaiseItemsChangedEvent(ctx);
  CtxModulesAction(ctx, kPublicFieldsAction);

  if (!(ctx->state->mergeFlags & KV_MERGE_SETTINGS_FILE)) DmSyncResolutionFromPrintQuality(target, ctx);
  ApplyPaper(target, both, ctx);

  CtxSetPresentUIMode(ctx, ItemGetRaw(ctx, ITEM_kdmUIModeChange, NULL) != 0 ? 1 : 0);
  CtxSetBidiSupport(ctx, OsPrinterBidiEnabled(ctx) ? 1 : 0);
  CtxSetServerClientMode(ctx, OsPrinterIsConnection(ctx) ? 1 : 0);
  if (TextIsEmpty(ctx, ITEM_kdmOther)) DmSetDeviceInfoString(ctx);
  ItemSetRaw(ctx, ITEM_wdmUIStart, 0);
  ItemCheckAllByTable((BYTE *)target, ctx, KV_CHECK_MODE_KEEP_LEGAL);
}
