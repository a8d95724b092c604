// Opening a dialog of the dialog table from the settings core. Provisional until the
// property sheets are built: no dialog is shown, so none is accepted.
#include "store/setup_presets.h"

int WINAPI DlgOpen(DRIVER_CONTEXT *ctx, int mode, WORD dialogId, HWND parent)
{
  (void)mode;
  (void)dialogId;
  (void)parent;
  if (ctx != NULL && ctx->state != NULL) ctx->state->dialogResult = 0;
  return 0;
}
