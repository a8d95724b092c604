// The starting settings of a context: the printer's stored default DEVMODE when it is this
// driver's, else the defaults. The configurations without property sheets build their own
// version of this function.
#include "devmode/devmode_defaults.h"

#include "devmode/devmode_header.h"
#include "devmode/dm_paper_items.h"
#include "devmode/devmode_printer_default.h"
#include "items/item_check.h"
#include "items/item_store.h"
#include "model/model.h"

// The defaults are the context's starting state, not changes: the change marks they leave on
// the option rows and the settings-changed word are cleared.
static void ClearChangeMarks(DRIVER_CONTEXT *ctx)
{
  if (ctx->items != NULL && ctx->items->rows != NULL) {
    OPTION_ITEM *rows = (OPTION_ITEM *)ctx->items->rows;
    for (int i = 0; i < ctx->items->count; ++i) rows[i].state &= (WORD)~KV_STATE_CHANGED_MASK;
  }
  ctx->state->settingsChanged = 0;
}

BYTE *WINAPI DmBuildDefault(DRIVER_CONTEXT *ctx, WORD kind)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  BYTE *work = (BYTE *)MemAllocZeroed(DmGetWorkBufferSize());
  if (work == NULL) return NULL;
  BYTE *previous = ctx->work;
  ctx->work = work;
  // The stored default is taken as it is only when it passes the private header test as
  // well; its values are then checked, so a damaged item cannot outlive the load.
  bool stored = DmLoadPrinterDefault(ctx) != 0;
  if (stored && kind != CTX_OPEN_RESET && DmCheckPrivateHeader(work)) {
    DmStampBlockOffsets(work);
    DmResetWorkBlockDefaults(ctx);
    if (kind == CTX_OPEN_INIT) DmRefreshDerivedItems((DEVMODEW *)work, ctx, 1);
    ItemRunCheckTable(ctx, KV_CHECK_MODE_KEEP_LEGAL);
  } else {
    DmResetToDefaults(ctx);
    DmAdoptStoredDevmode(ctx);
  }
  ClearChangeMarks(ctx);
  ctx->work = previous;
  return work;
}
