// Loading the stored settings of a printer when a context opens, and moving the answers of
// the printer that were parked in the bidi state INI (by a user who could not write printer
// data) into printer data.
#include "items/item_store.h"
#include "model/state_items.h"
#include "os/printer_data.h"
#include "store/settings_files.h"
#include "store/settings_store.h"

int WINAPI StoreLoadAtOpen(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  StoreLoadItems(ctx->printer, KV_STORE_ALL_BLOCKS, ctx);
  if (CtxGetServerClientMode(ctx) == 1) return 1;  // a connection keeps the server's settings
  if (!BidiIniFlagOn(ctx)) return 1;
  int parkedRead = BidiLoadIniState(ctx) == 1 && CtxGetSettingsFileStatus(ctx) == KST_STATUS_OK;
  if (!BidiCanWritePrinterData(ctx)) return 1;
  DWORD status = ERROR_SUCCESS;
  StoreSaveItemBlockStatus(ctx->printer, ctx, KV_BLOCK_CONFIG, KV_SAVE_UNCHANGED_TOO | KV_SAVE_PRINTER_CONFIG_ONLY,
                           &status);
  // The parked answers go only once they are safely in printer data; otherwise the next
  // context opened by a user who may write tries again.
  if (parkedRead && status == ERROR_SUCCESS) BidiDeleteIniSection(ctx);
  return 1;
}
