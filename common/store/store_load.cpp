// Loading stored option items into a context: the items of one block from printer data and
// the settings INI, one item's printer-data value (by its key or its own name), and the
// "AdminChange" value.
#include <string.h>

#include "hooks/module_hooks.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "os/os.h"
#include "os/printer_data.h"
#include "store/settings_files.h"
#include "store/settings_store.h"
#include "store/store_internal.h"
#include "tables/item_ids.h"

namespace {

// The create flags of contexts that never read the settings INI: document properties
// without a dialog, device capabilities, and the rendering DLL as requested (the stored
// form of that flag is another bit, which the test does not cover).
constexpr DWORD kNoIniCreateFlags = CTX_CREATE_DOCPROPS | CTX_CREATE_DEVCAPS | CTX_CREATE_DRAW;

// Whether the context reads items of the settings INI.
bool ReadsIni(DRIVER_CONTEXT *ctx)
{
  return ctx->state != NULL && ctx->state->openKind != CTX_OPEN_INIT &&
         (ctx->state->createFlags & kNoIniCreateFlags) == 0;
}

// Loads one row of the block walk.
void LoadRow(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR iniPath, bool readsIni)
{
  DWORD block = KvItemBlock(item);
  if (block == KV_BLOCK_DEVMODE || block == KV_BLOCK_WORK) {
    if (item->storageClass != 2 || !readsIni || StoreIsActionItem(item->id)) return;
    StoreReadItemFromIni(ctx, item, iniPath, NULL, NULL);
    return;
  }
  if (item->storageClass == 1) {
    StoreLoadItemFromPrinterData(printer, ctx, item);
  } else if (item->storageClass == 2 && readsIni) {
    StoreReadItemFromIni(ctx, item, iniPath, NULL, NULL);
  }
}

// Reads `valueName` into the item's field (see StoreLoadItemFromPrinterData).
int LoadValue(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR valueName)
{
  BYTE *field = ItemGetAddress(ctx, item);
  DWORD size = KvItemSize(item);
  if (field == NULL || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (KvItemIsBit(item)) {
    DWORD bits = 0;
    if (!StoreGetPrinterData(printer, &bits, sizeof bits, valueName, ctx)) return 0;
    ItemWriteRaw(ctx, item, bits != 0 ? 1 : 0);
    return 1;
  }
  BYTE *scratch = ctx->state != NULL ? ctx->state->printerDataScratch : NULL;
  BYTE *buffer = size <= sizeof(ctx->state->printerDataScratch) ? scratch : NULL;
  BYTE *allocated = NULL;
  if (buffer == NULL) {
    allocated = static_cast<BYTE *>(MemAllocZeroed(size));
    if (allocated == NULL) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    buffer = allocated;
  }
  // A shorter value leaves the rest of the buffer zeroed, so the field keeps no byte of
  // what it held before.
  int loaded = StoreGetPrinterData(printer, buffer, size, valueName, ctx) ? 1 : 0;
  if (loaded) memcpy(field, buffer, size);
  MemFree(allocated);
  return loaded;
}

}  // namespace

int WINAPI StoreLoadItems(HANDLE printer, int scope, DRIVER_CONTEXT *ctx)
{
  switch (scope) {
    case KV_STORE_ALL_BLOCKS:
      StoreLoadItemBlock(printer, ctx, KV_STORE_ALL_BLOCKS, 0);
      StoreLoadFontLists(printer, ctx);
      break;
    case 1:
      StoreLoadItemBlock(printer, ctx, KV_BLOCK_WORK, 0);
      StoreLoadItemBlock(printer, ctx, KV_BLOCK_DEVMODE, 0);
      break;
    case 2:
      StoreLoadItemBlock(printer, ctx, KV_BLOCK_CONFIG, 0);
      StoreLoadFontLists(printer, ctx);
      break;
    default: break;
  }
  return 1;
}

int WINAPI StoreLoadItemBlock(HANDLE printer, DRIVER_CONTEXT *ctx, int block, int mode)
{
  if (ctx == NULL || ctx->items == NULL || ctx->work == NULL) return 0;
  StoreMutexScope lock(ctx);
  bool readsIni = ReadsIni(ctx);
  LPCWSTR iniPath = CtxGetSettingsIniPath(ctx);
  OPTION_ITEM *rows = static_cast<OPTION_ITEM *>(ctx->items->rows);
  for (int r = 0; r < ctx->items->count; ++r) {
    OPTION_ITEM *item = &rows[r];
    if (item->id < ITEM_FIRST_STORED || StoreIsStateItem(item->id)) continue;
    if (block != KV_STORE_ALL_BLOCKS && KvItemBlock(item) != static_cast<DWORD>(block)) continue;
    LoadRow(printer, ctx, item, iniPath, readsIni);
  }
  KV_EVT_ITEM_BLOCK_DATA data = {reinterpret_cast<void *>(static_cast<intptr_t>(block)), mode};
  CtxNotifyModules(ctx, KV_EVT_ITEM_BLOCK_LOADED, &data);
  return 1;
}

int WINAPI StoreLoadItemFromPrinterData(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item)
{
  if (item != NULL && item->key == NULL) return 1;
  if (ctx == NULL || item == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return LoadValue(printer, ctx, item, item->key);
}

int WINAPI StoreLoadItemByName(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item)
{
  if (ctx == NULL || item == NULL || item->name == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return LoadValue(printer, ctx, item, item->name);
}

BOOL WINAPI StoreGetAdminChange(HANDLE hPrinter, DWORD *value)
{
  if (!value) return FALSE;
  DWORD type = 0, needed = 0;
  DWORD read = 0;
  if (GetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"AdminChange"), &type, reinterpret_cast<LPBYTE>(&read),
                      sizeof(read), &needed) != ERROR_SUCCESS) {
    return FALSE;
  }
  *value = read;
  return read != 0;
}
