// Set-up and release of a context's modules. The module table itself comes with the build
// hooks of the deliverables; until then a context has no module table (NULL).
#include "module_hooks.h"

int WINAPI CtxInitModules(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return 0;
  CONTEXT_STATE *st = ctx->state;
  st->uiChapter = NULL;
  st->uiChapterWord = 0;
  for (void *&slot : st->presetSnapshots) slot = NULL;
  st->moduleHooks = NULL;
  return 1;
}

void WINAPI CtxFreeModules(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return;
  CONTEXT_STATE *st = ctx->state;
  MemFree(st->uiChapter);
  st->uiChapter = NULL;
  for (void *&slot : st->presetSnapshots) {
    MemFree(slot);
    slot = NULL;
  }
}
