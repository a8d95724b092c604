// Dialog table of a context in the user-interface configuration: a deep copy of the
// template's dialogs and their controls. Each copied control is bound to the context's own
// option row, so that the property sheet never changes the template's rows.
#include "context/context_dialogs.h"
#include "model/model.h"

static OPTION_ITEM *OwnRow(DRIVER_CONTEXT *ctx, OPTION_ITEM *templateRow)
{
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  OPTION_ITEM *first = (OPTION_ITEM *)tpl->items->rows;
  if (templateRow < first || templateRow >= first + tpl->items->count) return templateRow;
  return (OPTION_ITEM *)ctx->items->rows + (templateRow - first);
}

int WINAPI CtxCopyDialogs(DRIVER_CONTEXT *ctx)
{
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  TABLE_REF *ref = (TABLE_REF *)MemAllocZeroed(sizeof(TABLE_REF));
  if (ref == NULL) return 0;
  *ref = *tpl->dialogs;
  DIALOG_RECORD *rows = (DIALOG_RECORD *)MemAllocZeroed((DWORD)ref->count * sizeof(DIALOG_RECORD));
  if (rows == NULL && ref->count > 0) {
    MemFree(ref);
    return 0;
  }
  const DIALOG_RECORD *src = (const DIALOG_RECORD *)tpl->dialogs->rows;
  for (SHORT i = 0; i < ref->count; ++i) {
    rows[i] = src[i];
    rows[i].controls = NULL;
  }
  ref->rows = rows;
  ctx->dialogs = ref;  // from here on the table is the context's own, even half copied
  for (SHORT i = 0; i < ref->count; ++i) {
    SHORT n = src[i].controlCount;
    if (n <= 0 || src[i].controls == NULL) continue;
    CONTROL_RECORD *ctls = (CONTROL_RECORD *)MemAllocZeroed((DWORD)n * sizeof(CONTROL_RECORD));
    if (ctls == NULL) return 0;
    for (SHORT c = 0; c < n; ++c) {
      ctls[c] = src[i].controls[c];
      ctls[c].item = OwnRow(ctx, ctls[c].item);
    }
    rows[i].controls = ctls;
  }
  return 1;
}

void WINAPI CtxFreeDialogs(DRIVER_CONTEXT *ctx)
{
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  if (ctx->dialogs == NULL || ctx->dialogs == tpl->dialogs) return;
  DIALOG_RECORD *rows = (DIALOG_RECORD *)ctx->dialogs->rows;
  if (rows != NULL && rows != tpl->dialogs->rows) {
    for (SHORT i = 0; i < ctx->dialogs->count; ++i) MemFree(rows[i].controls);
    MemFree(rows);
  }
  MemFree(ctx->dialogs);
  ctx->dialogs = NULL;
}
