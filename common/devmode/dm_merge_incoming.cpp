// The merge of an incoming DEVMODE into a context: a working copy of the context's DEVMODE
// takes the incoming one over it, its private part is accepted (this driver's format),
// upgraded (an older minor version of this model) or replaced by the context's own (another
// model or an older major version); then the public fields are merged and the private items
// are derived from them.
//
// The per-call state of the context (caller, rights, environment) never comes from outside:
// it is saved from the context's DEVMODE before anything overwrites it and written back in
// every class, also before an upgraded private part runs its conversion steps.
#include <string.h>

#include "devmode/devmode_convert.h"
#include "devmode/devmode_header.h"
#include "devmode/devmode_layout.h"
#include "devmode/dm_merge.h"
#include "devmode/dm_paper_items.h"
#include "devmode/dm_request.h"
#include "devmode/dm_version.h"
#include "hooks/build_hooks.h"
#include "items/item_store.h"
#include "model/model.h"
#include "model/state_items.h"
#include "os/os_registry.h"
#include "rules/rule_eval.h"
#include "store/jobctl.h"
#include "store/settings_store.h"
#include "store/stored_lists.h"
#include "store/user_code.h"
#include "tables/item_ids.h"
#include "blob/desc_runtime.h"

namespace {

// What becomes of the incoming private part.
enum MergeClass { kAccept = 0, kUpgrade = 1, kDiscard = 2 };

// The job-control values fetched once when a sheet is about to be shown.
constexpr DWORD kJobCtlFetchMask = 0x389F;
// Callers whose printer-data DEVMODE items are reloaded after the public merge.
constexpr DWORD kReloadStoredItemsCallers = 0xC220004;
// Callers after whose merge every item's rule transactions run.
constexpr DWORD kRunRulesCallers = 0x1D220004;

MergeClass ClassifyWorkingCopy(const BYTE *work)
{
  if (DmCheckPrivateHeader(work)) return kAccept;
  if (!DmCheckModel(work)) return kDiscard;
  switch (DmCheckVersion(work)) {
    case 0: return kAccept;
    case 1: return kUpgrade;
    default: return kDiscard;
  }
}

// The description default of an item, 0 when the description lacks it.
bool DescDefaultSet(DRIVER_CONTEXT *ctx, WORD id) { return DescGetItemDefault(id, ctx) != 0; }

// The derived paper items when the public fields were not rebuilt from the items.
void RefreshPaperItems(DRIVER_CONTEXT *ctx, DEVMODEW *dm)
{
  LONG paper = ItemGetRaw(ctx, ITEM_dmPaperSize, NULL);
  if (DmIsSlotPaper(paper)) {
    ListLoadAllFreeSizes(ctx);
    int slot = ListPaperIdToSlot((WORD)paper, ctx);
    if (slot >= 0 && slot < 12) {
      ListFillFixedSizeSlot(ctx, (WORD)paper, slot);
      ListFreeSizeCacheToSrcItems(ctx, slot);
    }
  }
  DmSetOutputPaperItems((SHORT)ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL), ITEM_kdmOutPaperSize, ctx, dm);
}

}  // namespace

int WINAPI DmMergeIncoming(DRIVER_CONTEXT *ctx, const BYTE *incoming, DWORD flags)
{
  if ((flags & (KV_MERGE_IN_BUFFER | KV_MERGE_DOCPROPS)) == 0) return 1;
  if (ctx == NULL || ctx->work == NULL || ctx->state == NULL) return 0;
  ctx->state->mergeFlags = flags;
  ItemSetRaw(ctx, ITEM_wdmCtrlWorkPrompt, (flags & KV_MERGE_IN_PROMPT) ? 1 : 0);

  const DWORD total = DmGetTotalSize();
  const DWORD pub = DmGetPublicSize();
  const DWORD priv = DmGetPrivateSize();
  BYTE *work = (BYTE *)GlobalAlloc(GPTR, total);
  if (work == NULL) return 0;
  BYTE *dm = ctx->work;
  memcpy(work, dm, total);

  DM_KEPT_STATE kept;
  DmSaveKeptState(dm, &kept);

  if (incoming != NULL) {
    // A refused copy leaves the working copy as the context's own DEVMODE.
    DmCopyDevmode(incoming, work);
    switch (ClassifyWorkingCopy(work)) {
      case kAccept: break;
      case kUpgrade:
        memcpy(dm, work, total);
        DmRestoreKeptState(dm, &kept);
        DmUpgradeIfOlder(dm, ctx);
        memcpy(work, dm, total);
        break;
      case kDiscard: memcpy(work + pub, dm + pub, priv); break;
    }
  }

  if (JobCtlIsEnabled()) {
    DmApplyRequestBlock(ctx, work);
    if (ctx->state->mergeFlags & KV_MERGE_REQUEST_CHANGED) flags |= KV_MERGE_REQUEST_CHANGED;
    // A request is consumed by the merge it arrives in: the context does not keep it, so a
    // later merge of the context's own DEVMODE does not apply it again.
    memset(work + KV_DM_REQUEST_BLOCK, 0, KV_DM_EXCHANGE_BLOCK_SIZE);
  }

  memcpy(dm + pub, work + pub, priv);
  DmRestoreKeptState(dm, &kept);

  ItemSetRaw(ctx, ITEM_kdmQualityFuncTextBitmapSupport,
             DescDefaultSet(ctx, ITEM_kdmQualityFuncTextBitmapSupport) ? 1 : 0);
  // The custom function sets bit 7 of the second hidden-function word; the write keeps only
  // its low 16 bits.
  if (DescDefaultSet(ctx, ITEM_wdmCustomFunc1)) DmSetHidden2FuncFlags(dm, DmGetHidden2FuncFlags(dm) | 0x80u);

  DEVMODEW *target = (DEVMODEW *)dm;
  const DEVMODEW *source = (const DEVMODEW *)work;
  DmMergePublicFields(target, source, ctx);

  CtxSetTWInstalled(ctx, OsIsCompanionAppInstalled(KV_COMPANION_JOB_BINDING, ctx) ? 1 : 0);
  UserCodeRefreshProviderFlags(ctx);
  if (flags & KV_MERGE_IN_PROMPT) JobCtlFetchOnce(ctx, kJobCtlFetchMask);
  if (!(flags & KV_MERGE_SETTINGS_FILE) && (flags & kReloadStoredItemsCallers))
    StoreLoadItemBlock(ctx->printer, ctx, 1, 0);
  UserCodeLoadForDevmode(ctx);
  DmApplyPublicFieldsToItems(target, source, ctx);
  ItemSetRaw(ctx, ITEM_wdmUIStart, 0);
  if (flags & kRunRulesCallers) RuleRunAllItemTransactions(ctx);

  if ((ctx->state->mergeFlags & KV_MERGE_REQUEST_CHANGED) || (flags & KV_MERGE_IN_PROMPT))
    DmSyncPublicFieldsFromItems(target, ctx, 2);
  else
    RefreshPaperItems(ctx, target);

  GlobalFree(work);
  return 1;
}
