// The settings request of the exchange area: an application asks for common finishing
// settings by simple codes, or for the defaults or a fresh query of the printer. The request
// is applied to the merge's working copy; the context reaches it through the rest of the
// merge. Codes outside the tables write -1 (all ones in the item's width), which the merge's
// item check then replaces by a legal value.
#include <string.h>

#include "blob/desc_runtime.h"
#include "devmode/devmode_defaults.h"
#include "devmode/devmode_layout.h"
#include "devmode/dm_merge.h"
#include "devmode/dm_paper_items.h"
#include "devmode/dm_request.h"
#include "items/item_store.h"
#include "model/model.h"
#include "rules/rule_eval.h"
#include "store/bidi_query.h"
#include "store/settings_store.h"
#include "tables/item_ids.h"

namespace {

// The items a request may change; each one's position is its bit in the changed-item mask.
const WORD kRequestItems[] = {
    ITEM_KPD_kdmTaskWeave,   ITEM_kdmDstResolutionW,   ITEM_kdmOutPaperSize,     ITEM_kdmOutputTrayID,
    ITEM_kdmFuncSelectScale, ITEM_kdmFuncSelectNup,    ITEM_kdmFuncSelectDuplex, ITEM_kdmFuncSelectSort,
    ITEM_kdmFuncSelectPunch, ITEM_kdmFuncSelectStaple, ITEM_kdmScaleType,        ITEM_kdmScaleH,
    ITEM_kdmNUPPOSTKind,     ITEM_kdmNUPType,          ITEM_kdmDuplexType,       ITEM_kdmSortType,
    ITEM_kdmPunchType,       ITEM_kdmStapleType,       ITEM_kdmExtPrintArea,
};
constexpr int kRequestItemCount = sizeof kRequestItems / sizeof kRequestItems[0];

constexpr LONG kInvalid = -1;

// A switch item and its type item: code 1 switches off, codes 2 to 1 + count pick a type
// from the list, higher codes ask for an invalid type.
DWORD SwitchAndType(DRIVER_CONTEXT *ctx, BYTE code, WORD switchItem, WORD typeItem, const LONG *types, int count)
{
  if (code == 0) return 0;
  if (code == 1) return DmRequestSetItem(ctx, switchItem, 0);
  DWORD mask = DmRequestSetItem(ctx, switchItem, 1);
  return mask | DmRequestSetItem(ctx, typeItem, code - 2 < count ? types[code - 2] : kInvalid);
}

DWORD Duplex(DRIVER_CONTEXT *ctx, BYTE code)
{
  static const LONG types[] = {1, 2, 3};
  return SwitchAndType(ctx, code, ITEM_kdmFuncSelectDuplex, ITEM_kdmDuplexType, types, 3);
}

DWORD Sort(DRIVER_CONTEXT *ctx, BYTE code)
{
  static const LONG types[] = {1, 4, 6};  // driver sort, shift, rotation
  return SwitchAndType(ctx, code, ITEM_kdmFuncSelectSort, ITEM_kdmSortType, types, 3);
}

DWORD Punch(DRIVER_CONTEXT *ctx, BYTE code)
{
  static const LONG types[] = {1, 2, 3};
  return SwitchAndType(ctx, code, ITEM_kdmFuncSelectPunch, ITEM_kdmPunchType, types, 3);
}

DWORD Staple(DRIVER_CONTEXT *ctx, BYTE code)
{
  // Codes 2 to 12.
  static const LONG types[] = {0x22, 0x21, 0x32, 0x31, 0x32, 0x31, 0x41, 0x43, 0x42, 0x32, 0x31};
  return SwitchAndType(ctx, code, ITEM_kdmFuncSelectStaple, ITEM_kdmStapleType, types, 11);
}

DWORD OutputTray(DRIVER_CONTEXT *ctx, BYTE code)
{
  static const LONG first[] = {0, 2, 13, 4};  // system default, standard, upper bin, outside
  LONG tray;
  if (code == 0) return 0;
  if (code <= 4)
    tray = first[code - 1];
  else if (code <= 13)
    tray = code + 10;  // mail bins 1 to 9
  else if (code == 14 || code == 15) {
    const FINISHER_TRAY_ROW *f = DmGetInstalledFinisher(ctx);
    WORD t = code == 14 ? f->firstTray : f->secondTray;
    tray = t == 0xFFFF ? kInvalid : t;
  } else if (code == 16)
    tray = 14;
  else if (code == 17)
    tray = 1;
  else
    tray = kInvalid;
  return DmRequestSetItem(ctx, ITEM_kdmOutputTrayID, tray);
}

DWORD Resolution(DRIVER_CONTEXT *ctx, BYTE code)
{
  static const LONG dpi[] = {400, 600, 1200};
  if (code == 0) return 0;
  return DmRequestSetItem(ctx, ITEM_kdmDstResolutionW, code <= 3 ? dpi[code - 1] : kInvalid);
}

DWORD PrintArea(DRIVER_CONTEXT *ctx, BYTE code)
{
  if (code == 0) return 0;
  return DmRequestSetItem(ctx, ITEM_kdmExtPrintArea, code <= 2 ? code - 1 : kInvalid);
}

DWORD Zoom(DRIVER_CONTEXT *ctx, WORD zoom)
{
  static const LONG fixed[] = {67, 70, 75, 80, 88, 100, 115};  // codes 0x4001 to 0x4007
  if (zoom == 0) return 0;
  DWORD mask = DmRequestSetItem(ctx, ITEM_kdmFuncSelectScale, 1);
  mask |= DmRequestSetItem(ctx, ITEM_kdmScaleType, 1);
  LONG percent = zoom >= 0x4001 && zoom <= 0x4007 ? fixed[zoom - 0x4001] : zoom;
  return mask | DmRequestSetItem(ctx, ITEM_kdmScaleH, percent);
}

DWORD Nup(DRIVER_CONTEXT *ctx, BYTE code)
{
  static const LONG fourUp[] = {33, 34, 37, 38};  // codes 4 to 7
  if (code == 0) return 0;
  if (code == 1) return DmRequestSetItem(ctx, ITEM_kdmFuncSelectNup, 0);
  LONG kind, type;
  if (code == 2) {
    kind = 1;
    type = ItemGetRaw(ctx, ITEM_dmOrientation, NULL) == 1 ? 1 : 3;
  } else if (code == 3) {
    kind = 1;
    type = 2;
  } else if (code <= 7) {
    kind = 2;
    type = fourUp[code - 4];
  } else
    kind = type = kInvalid;
  DWORD mask = DmRequestSetItem(ctx, ITEM_kdmFuncSelectNup, 1);
  mask |= DmRequestSetItem(ctx, ITEM_kdmNUPPOSTKind, kind);
  return mask | DmRequestSetItem(ctx, ITEM_kdmNUPType, type);
}

DWORD OutputPaper(DRIVER_CONTEXT *ctx, BYTE code)
{
  static const LONG papers[] = {8, 9, 11, 70, 12, 13, 88, 1, 5, 43, 6, 3, 267, 268, 66};  // codes 1 to 15
  if (code == 0) return 0;
  LONG paper = code <= 15 ? papers[code - 1] : code == 18 ? 269 : kInvalid;
  return DmRequestSetItem(ctx, ITEM_kdmOutPaperSize, paper);
}

// The fields of a request applied to the context's DEVMODE; answers the changed-item mask.
DWORD ApplyFields(DRIVER_CONTEXT *ctx, const DM_REQUEST_BLOCK *r)
{
  ItemSetRaw(ctx, ITEM_KPD_kdmTaskWeave, 0);
  DWORD mask = Duplex(ctx, r->duplex);
  mask |= Sort(ctx, r->sort);
  mask |= Punch(ctx, r->punch);
  mask |= Staple(ctx, r->staple);
  mask |= OutputTray(ctx, r->outputTray);
  mask |= Resolution(ctx, r->resolution);
  mask |= PrintArea(ctx, r->printArea);
  mask |= Zoom(ctx, DmReadLe16(r->zoom));
  mask |= Nup(ctx, r->nup);
  mask |= OutputPaper(ctx, r->outputPaper);
  ItemSetRaw(ctx, ITEM_dmCollate, ItemGetRaw(ctx, ITEM_kdmFuncSelectSort, NULL) != 0 ? 1 : 0);
  return mask;
}

}  // namespace

DWORD WINAPI DmRequestSetItem(DRIVER_CONTEXT *ctx, WORD itemId, LONG value)
{
  for (int bit = 0; bit < kRequestItemCount; ++bit) {
    if (kRequestItems[bit] != itemId) continue;
    ItemSetRaw(ctx, itemId, value);
    return 1u << bit;
  }
  return 0;
}

void WINAPI DmRequestRunRules(DRIVER_CONTEXT *ctx, DWORD mask)
{
  for (int bit = 0; bit < kRequestItemCount; ++bit) {
    if (!(mask & (1u << bit))) continue;
    const DESC_ITEM_NODE *node = DescFindItemNode(kRequestItems[bit], ctx);
    if (node != NULL) RuleRunItemTransactions(node, ctx);
  }
}

int WINAPI DmApplyRequestBlock(DRIVER_CONTEXT *ctx, BYTE *devmode)
{
  if (ctx == NULL || ctx->work == NULL || ctx->state == NULL || devmode == NULL) return 1;
  DM_REQUEST_BLOCK r;
  memcpy(&r, devmode + KV_DM_REQUEST_BLOCK, sizeof r);
  if (r.valid != 1) return 1;
  ctx->state->mergeFlags |= KV_MERGE_REQUEST_CHANGED;

  const DWORD total = DmGetTotalSize();
  switch (r.command) {
    case KV_REQUEST_DEFAULTS:
      DmResetToDefaults(ctx);
      memcpy(devmode, ctx->work, total);
      return 1;
    case KV_REQUEST_QUERY:
      if (!BidiQueryV1(ctx)) return 0;
      memcpy(devmode, ctx->work, total);
      return 1;
    case KV_REQUEST_DEFAULTS_CONFIG_QUERY:
      DmResetToDefaults(ctx);
      StoreLoadItems(ctx->printer, 2, ctx);
      memcpy(devmode, ctx->work, total);
      if (!BidiQueryV1(ctx)) return 0;
      memcpy(devmode, ctx->work, total);
      return 1;
    default: break;
  }

  BYTE *saved = (BYTE *)GlobalAlloc(GPTR, total);
  if (saved == NULL) return 0;
  memcpy(saved, ctx->work, total);
  memcpy(ctx->work, devmode, total);
  // The rules that the request runs see the context's own per-call state, not the incoming.
  DM_KEPT_STATE kept;
  DmSaveKeptState(saved, &kept);
  DmRestoreKeptState(ctx->work, &kept);

  DWORD mask = ApplyFields(ctx, &r);
  DEVMODEW *dm = (DEVMODEW *)ctx->work;
  DmRequestRunRules(ctx, mask);
  DmSyncResolutionFromDevice(dm, ctx);
  DmSyncDuplexFromItems(dm, ctx);

  memcpy(devmode, ctx->work, total);
  memcpy(ctx->work, saved, total);
  GlobalFree(saved);
  return 1;
}
