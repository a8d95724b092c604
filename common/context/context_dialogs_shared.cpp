// Dialog table of a context in the configurations without user interface: the template's
// static table, never copied, changed or freed.
#include "context/context_dialogs.h"
#include "model/model.h"

int WINAPI CtxCopyDialogs(DRIVER_CONTEXT *ctx)
{
  ctx->dialogs = CtxGetTemplate()->dialogs;
  return 1;
}

void WINAPI CtxFreeDialogs(DRIVER_CONTEXT *ctx) { (void)ctx; }
