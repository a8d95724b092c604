// Construction and destruction of driver contexts. A context is a copy of the template with
// its own option rows, dialog table (user-interface configuration), model record, state
// block and work buffers; the symbol tables and the compiled description are shared.
#include <string.h>

#include "context.h"
#include "context/context_dialogs.h"
#include "context/context_internal.h"
#include "blob/desc_cache.h"
#include "devmode/devmode_defaults.h"
#include "items/item_store.h"
#include "store/jobctl.h"
#include "model/font_list_table.h"
#include "model/model.h"
#include "hooks/module_hooks.h"
#include "names/names_paths.h"
#include "names/resources.h"
#include "rules/rule_eval.h"
#include "store/setup_services.h"
#include "store/settings_store.h"
#include "tables/item_ids.h"

int CtxSetupActive = 0;

static int CopyItems(DRIVER_CONTEXT *ctx)
{
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  TABLE_REF *ref = (TABLE_REF *)MemAllocZeroed(sizeof(TABLE_REF));
  if (ref == NULL) return 0;
  DWORD bytes = (DWORD)tpl->items->count * sizeof(OPTION_ITEM);
  OPTION_ITEM *rows = (OPTION_ITEM *)MemAllocZeroed(bytes);
  if (rows == NULL) {
    MemFree(ref);
    return 0;
  }
  memcpy(rows, tpl->items->rows, bytes);
  ref->count = tpl->items->count;
  ref->rows = rows;
  ctx->items = ref;
  return 1;
}

static int CopyModel(DRIVER_CONTEXT *ctx)
{
  MODEL_RECORD *model = (MODEL_RECORD *)MemAllocZeroed(sizeof(MODEL_RECORD));
  if (model == NULL) return 0;
  *model = *CtxGetTemplate()->model;
  ctx->model = model;
  return 1;
}

// The state block: a copy of the template's, with the per-context parts set afresh.
static int BuildState(DRIVER_CONTEXT *ctx, WORD openMode, DWORD createFlags)
{
  CONTEXT_STATE *st = (CONTEXT_STATE *)MemAllocZeroed(sizeof(CONTEXT_STATE));
  if (st == NULL) return 0;
  memcpy(st, CtxGetTemplate()->state, sizeof(CONTEXT_STATE));
  ctx->state = st;
  st->jobctl = JOBCTL_BINDING{};
  for (BYTE *&level : st->snapshots) {
    level = (BYTE *)MemAllocZeroed(DmGetWorkBufferSize());
    if (level == NULL) return 0;
  }
  for (BYTE &b : st->uiDrawing) b = 0;
  st->brushes[0] = NULL;
  st->brushes[1] = NULL;
  st->useSettingsMutex = (openMode & CTX_OPEN_NO_MUTEX) ? 0 : 1;
  st->checkAdmin = (openMode & CTX_OPEN_AS_ADMIN) ? 0 : 1;
  st->openKind = (WORD)(openMode & CTX_OPEN_KIND_MASK);
  st->createFlags = createFlags;
  return 1;
}

// Sends the deployed job-control fields and user code once while the deployment INI still
// marks them as pending for this printer, then clears the mark.
static void RefreshDeployedUserCode(DRIVER_CONTEXT *ctx)
{
  const WCHAR *ini = SetupGetDeployIniPath(ctx);
  const WCHAR *section = CtxGetPrinterSection(ctx);
  if (ini == NULL || ini[0] == 0 || section == NULL || !SetupIsInstSet(ini, section)) return;
  JobCtlLoadFieldsFromPrinterData(ctx, 0x389E);
  BOOL sent = JobCtlSendOnce(ctx, 0x389E) != 0;
  if (StoreLoadItemByName(ctx->printer, ctx, ItemFindById(ctx, ITEM_kdmUserCode)))
    sent = sent && JobCtlSendOnce(ctx, 1) != 0;
  // The mark stays until the user code has really gone out, so a send that did not happen
  // (no job-control DLL, a failed exchange) is tried again at the next open.
  if (sent) SetupWriteInstSet(ini, section, 0);
}

// Steps that need the description: kinds 0-3 only.
static int LoadSettings(DRIVER_CONTEXT *ctx, WORD openMode)
{
  WORD kind = (WORD)(openMode & CTX_OPEN_KIND_MASK);
  ctx->desc = DescLoadCompiled(ctx);
  if (ctx->desc == NULL) return 0;
  // A context whose evaluator stack could not be allocated still opens: its conditions
  // then all evaluate to 0, so no rule hides, greys or alerts.
  RuleAllocEvalStack(ctx);
  BYTE *work = DmBuildDefault(ctx, kind);
  if (work == NULL) return 0;
  ctx->work = work;
  if (kind == CTX_OPEN_FULL || (openMode & CTX_OPEN_LOAD_STORED)) StoreLoadAtOpen(ctx);
  if (kind == CTX_OPEN_FULL) RefreshDeployedUserCode(ctx);
  CtxTakeBaseline(ctx);
  return 1;
}

static int Build(DRIVER_CONTEXT *ctx, WORD openMode, DWORD createFlags)
{
  WORD kind = (WORD)(openMode & CTX_OPEN_KIND_MASK);
  if (!CopyItems(ctx) || !CtxCopyDialogs(ctx) || !CopyModel(ctx) || !BuildState(ctx, openMode, createFlags)) return 0;
  if (kind == CTX_OPEN_FULL || kind == CTX_OPEN_INIT || kind == CTX_OPEN_RESET) CtxGetDriverName(ctx);
  CtxGetUiLanguageCode(ctx);
  for (void *&p : ctx->state->uiWork) p = NULL;
  ctx->state->baseline = (BYTE *)MemAllocZeroed(DmGetWorkBufferSize());
  if (ctx->state->baseline == NULL || !CtxInitModules(ctx)) return 0;
  if (kind > CTX_OPEN_RESET) {
    // A light context has neither a work buffer nor a description.
    ctx->work = NULL;
    ctx->desc = NULL;
    return 1;
  }
  return LoadSettings(ctx, openMode);
}

DRIVER_CONTEXT *WINAPI CtxConstruct(HANDLE printer, HANDLE printer2, void *reserved, WORD openMode, DWORD createFlags)
{
  if (CtxSetupActive == 1) createFlags |= CTX_CREATE_SHARED_DIR;
  if (createFlags == CTX_CREATE_DRAW) createFlags = CTX_CREATE_DRAW_STORED;
  DRIVER_CONTEXT *ctx = CtxTakeCached(printer, printer2, reserved, openMode, createFlags);
  if (ctx != NULL) return ctx;
  ctx = (DRIVER_CONTEXT *)MemAllocZeroed(sizeof(DRIVER_CONTEXT));
  if (ctx == NULL) return NULL;
  *ctx = *CtxGetTemplate();
  ctx->printer = printer;
  ctx->printer2 = printer2;
  if (!Build(ctx, openMode, createFlags)) {
    // A half-built context is freed at once; it never enters the cache.
    CtxFreeNow(ctx, 0);
    return NULL;
  }
  return ctx;
}

DRIVER_CONTEXT *WINAPI CtxCreate(HANDLE printer, HANDLE printer2, void *reserved, DWORD createFlags)
{
  return CtxConstruct(printer, printer2, reserved, 0, createFlags);
}

DRIVER_CONTEXT *WINAPI CtxCreateWithMode(HANDLE printer, HANDLE printer2, void *reserved, WORD openMode,
                                         DWORD createFlags)
{
  return CtxConstruct(printer, printer2, reserved, openMode, createFlags);
}

int WINAPI CtxTakeBaseline(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL || ctx->state->baseline == NULL || ctx->work == NULL) return 0;
  // The baseline owns its copies of the font lists: a second take frees those of the first
  // before the work buffer's bytes overwrite the pointers to them.
  CtxFreeBaselineFonts(ctx);
  memcpy(ctx->state->baseline, ctx->work, DmGetWorkBufferSize());
  for (const auto &list : g_kvFontLists) {
    DWORD count = (DWORD)ItemGetRaw(ctx, list.countId, NULL);
    const BYTE *src = (const BYTE *)(intptr_t)ItemGetRaw(ctx, list.listId, NULL);
    BYTE *copy = NULL;
    if (count != 0 && src != NULL && count <= 0xFFFFu) {
      copy = (BYTE *)MemAllocZeroed(count * list.entrySize);
      if (copy != NULL) memcpy(copy, src, count * list.entrySize);
    }
    ItemSetBaselineRaw(ctx, list.countId, copy != NULL ? (LONG)count : 0);
    ItemSetBaselineRaw(ctx, list.listId, (LONG)(intptr_t)copy);
  }
  return 1;
}

int WINAPI CtxFreeBaselineFonts(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL || ctx->state->baseline == NULL) return 0;
  for (const auto &list : g_kvFontLists) {
    MemFree((void *)(intptr_t)ItemGetBaselineRaw(ctx, list.listId, NULL));
    ItemSetBaselineRaw(ctx, list.listId, 0);
  }
  return 1;
}

void CtxFreeNow(DRIVER_CONTEXT *ctx, WORD keep)
{
  if (ctx == NULL) return;
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  bool ownsState = ctx->state != NULL && ctx->state != tpl->state;
  bool ownsWork = ctx->work != NULL && ctx->work != tpl->work;
  bool ownsItems = ctx->items != NULL && ctx->items != tpl->items;
  if (ownsState) {
    CtxFreeBaselineFonts(ctx);
    MemFree(ctx->state->baseline);
    ctx->state->baseline = NULL;
  }
  if (keep == 0 && ownsWork && ownsItems) StoreFreeFontLists(ctx);
  ResFreeDlls(ctx);
  if (ownsState) RuleFreeEvalStack(ctx);
  CtxFreeDialogs(ctx);
  if (ownsItems) {
    MemFree(ctx->items->rows);
    MemFree(ctx->items);
  }
  if (ctx->model != NULL && ctx->model != tpl->model) MemFree(ctx->model);
  if (ownsWork) MemFree(ctx->work);
  if (ownsState) {
    CtxFreeSnapshotFonts(ctx);  // snapshot levels own copies of the font lists
    for (BYTE *level : ctx->state->snapshots) MemFree(level);
    CtxFreeModules(ctx);
    // The UI's two brushes belong to the context that made them.
    for (HBRUSH &brush : ctx->state->brushes) {
      if (brush != NULL) DeleteObject(brush);
      brush = NULL;
    }
    MemFree(ctx->state);
  }
  MemFree(ctx);
}

void WINAPI CtxDestroy(DRIVER_CONTEXT *ctx, WORD keep)
{
  if (ctx == NULL) return;
  WORD victimKeep = keep;
  DRIVER_CONTEXT *victim = CtxParkInCacheEx(ctx, keep, &victimKeep);
  if (victim != NULL) CtxFreeNow(victim, victimKeep);
}

void WINAPI CtxRelease(DRIVER_CONTEXT *ctx) { CtxDestroy(ctx, 0); }

void WINAPI CtxReleaseKeepFonts(DRIVER_CONTEXT *ctx, WORD keep) { CtxDestroy(ctx, keep); }
