// The starting settings of a context: the printer's stored default DEVMODE when it is this
// driver's, else the defaults. The configurations without property sheets build their own
// version of this function.
#include "devmode/devmode_defaults.h"

#include "devmode/devmode_environment.h"
#include "devmode/devmode_header.h"
#include "devmode/devmode_printer_default.h"
#include "devmode/dm_paper_items.h"
#include "devmode/dm_version.h"
#include "checks/item_check.h"
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
  // A stored default of this model and size is taken as the merge takes a private part: as
  // it is in the driver's version or a newer one, upgraded by the description's conversion
  // steps from an older minor version, never from an older major version, whose layout is
  // not this one. Its values are then checked, so a damaged item cannot outlive the load,
  // and its state block, saved with another call, is written from this one's environment.
  bool stored = DmLoadPrinterDefault(ctx) != 0;
  int version = stored ? DmCheckVersion(work) : 2;
  if (stored && kind != CTX_OPEN_RESET && (version == 0 || version == 1)) {
    DmStampBlockOffsets(work);
    DmResetWorkBlockDefaults(ctx);
    // The stored DEVMODE ends where the printer configuration begins: without this, every
    // configuration item that printer data does not hold would start at 0 (no duplex unit,
    // no memory) rather than at its default, as it does when the defaults are built.
    DmResetConfigBlockDefaults(ctx);
    if (version == 1) DmUpgradeIfOlder(work, ctx);
    if (kind == CTX_OPEN_INIT) DmRefreshDerivedItems((DEVMODEW *)work, ctx, 1);
    ItemRunCheckTable(ctx, KV_CHECK_MODE_KEEP_LEGAL);
    DmSetEnvironmentState(ctx);
  } else {
    DmResetToDefaults(ctx);
    DmAdoptStoredDevmode(ctx);
  }
  ClearChangeMarks(ctx);
  ctx->work = previous;
  return work;
}
