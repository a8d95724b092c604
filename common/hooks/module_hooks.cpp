// Set-up, release and dispatch of a context's modules: the context holds its own copy of
// the deliverable's module table, each row with its private buffer.
#include "hooks/module_hooks.h"

#include "hooks/build_hooks.h"
#include "store/stored_lists.h"

int WINAPI CtxInitModules(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return 0;
  CONTEXT_STATE *st = ctx->state;
  st->uiChapter = NULL;
  st->uiChapterWord = 0;
  ListPresetCache(ctx, NULL, LIST_CACHE_FORGET);
  st->moduleHooks = NULL;
  LONG count = 0;
  MODULE_HOOK_ROW *rows = CtxGetModuleHooks(&count);
  CtxAttachModuleTable(ctx, rows, count);
  // A build that has modules but could not copy their table for this context must not run
  // on without them: the caller fails the construction.
  if (rows != NULL && count > 0 && st->moduleHooks == NULL) return 0;
  return 1;
}

static void FreeTable(MODULE_HOOKS *hooks)
{
  if (hooks == NULL) return;
  if (hooks->rows != NULL) {
    for (LONG i = 0; i < hooks->count; ++i) MemFree(hooks->rows[i].privateBuffer);
    MemFree(hooks->rows);
  }
  MemFree(hooks);
}

void WINAPI CtxAttachModuleTable(DRIVER_CONTEXT *ctx, const MODULE_HOOK_ROW *rows, LONG count)
{
  if (ctx == NULL || ctx->state == NULL) return;
  FreeTable(ctx->state->moduleHooks);
  ctx->state->moduleHooks = NULL;
  if (rows == NULL || count <= 0 || count > 0xFFFF) return;
  MODULE_HOOKS *hooks = (MODULE_HOOKS *)MemAllocZeroed(sizeof(MODULE_HOOKS));
  if (hooks == NULL) return;
  hooks->rows = (MODULE_HOOK_ROW *)MemAllocZeroed((DWORD)count * sizeof(MODULE_HOOK_ROW));
  if (hooks->rows == NULL) {
    MemFree(hooks);
    return;
  }
  hooks->count = count;
  for (LONG i = 0; i < count; ++i) {
    hooks->rows[i] = rows[i];
    hooks->rows[i].privateBuffer = NULL;
    if (rows[i].privateSize > 0) {
      hooks->rows[i].privateBuffer = MemAllocZeroed((DWORD)rows[i].privateSize);
      if (hooks->rows[i].privateBuffer == NULL) {
        FreeTable(hooks);
        return;
      }
    }
  }
  ctx->state->moduleHooks = hooks;
}

void WINAPI CtxFreeModules(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return;
  CONTEXT_STATE *st = ctx->state;
  MemFree(st->uiChapter);
  st->uiChapter = NULL;
  ListPresetCache(ctx, NULL, LIST_CACHE_FREE);
  FreeTable(st->moduleHooks);
  st->moduleHooks = NULL;
}

static MODULE_HOOKS *HooksOf(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  MODULE_HOOKS *hooks = ctx->state->moduleHooks;
  return hooks != NULL && hooks->rows != NULL && hooks->count > 0 ? hooks : NULL;
}

void WINAPI CtxModulesAction(DRIVER_CONTEXT *ctx, WORD code)
{
  MODULE_HOOKS *hooks = HooksOf(ctx);
  if (hooks == NULL) return;
  for (LONG i = 0; i < hooks->count; ++i) {
    MODULE_HOOK_ROW &row = hooks->rows[i];
    if (row.action != NULL && row.action(ctx, code, row.privateBuffer) != 0) return;
  }
}

LONG WINAPI CtxModulesMessage(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, CONTROL_RECORD *control, UINT message,
                              WPARAM wParam, LPARAM lParam)
{
  LONG answer = UiStartDocHook(ctx, dialog, control, message, wParam, lParam);
  MODULE_HOOKS *hooks = HooksOf(ctx);
  if (answer != 0 || hooks == NULL) return answer;
  for (LONG i = 0; i < hooks->count; ++i) {
    MODULE_HOOK_ROW &row = hooks->rows[i];
    if (row.message == NULL) continue;
    answer = row.message(ctx, dialog, control, message, wParam, lParam, row.privateBuffer);
    if (answer != 0) return answer;
  }
  return 0;
}

void WINAPI CtxNotifyModules(DRIVER_CONTEXT *ctx, WORD event, void *data)
{
  MODULE_HOOKS *hooks = HooksOf(ctx);
  if (hooks == NULL) return;
  for (LONG i = 0; i < hooks->count; ++i) {
    MODULE_HOOK_ROW &row = hooks->rows[i];
    if (row.notify != NULL && row.notify(ctx, event, data, row.privateBuffer) != 0) return;
  }
}
