// Saving option items where their storage fields say: one item to printer data (by its key
// or its own name) or to an INI key, and the stored items of a block, only the changed ones
// of an open context.
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

// Index of the item group of the font-list items, which the font-list savers write.
constexpr WORD kFontListGroup = 2;

bool InRange(WORD id, WORD first, WORD last) { return id >= first && id <= last; }

// Writes the item's value under valueName (see StoreWriteItemToPrinterData).
int WriteValue(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR valueName)
{
  BYTE *field = ItemGetAddress(ctx, item);
  if (field == NULL) return 1;  // no field in this context: nothing to write
  DWORD vt = KvItemValueType(item);
  DWORD type = item->id == ITEM_kdmLogging ? REG_DWORD : REG_BINARY;
  BYTE bytes[4];
  DWORD count = 0;
  LONG raw = ItemReadRaw(ctx, item);
  switch (vt) {
    case KV_VT_S8:
    case KV_VT_U8: count = 1; break;
    case KV_VT_S16:
    case KV_VT_U16: count = 2; break;
    case KV_VT_S32:
    case KV_VT_U32: count = 4; break;
    default: break;
  }
  if (KvItemIsBit(item)) {
    raw = raw != 0 ? 1 : 0;
    count = 4;
  }
  if (count != 0) {
    DWORD value = static_cast<DWORD>(raw);
    for (DWORD i = 0; i < count; ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
    return StoreSetPrinterData(printer, bytes, count, type, valueName, ctx) ? 1 : 0;
  }
  if (vt >= KV_VT_ANSI && vt <= 15) {
    DWORD size = KvItemSize(item);
    if (size == 0) return 1;
    return StoreSetPrinterData(printer, field, size, type, valueName, ctx) ? 1 : 0;
  }
  return 1;  // a value type that is never stored
}

// Whether the row stays out of a block save by the flags, the block or the printer.
bool SkipRow(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, int block, DWORD flags)
{
  if (item->id == 0) return true;
  if ((flags & KV_SAVE_PRINTER_CONFIG_ONLY) && !StoreFilterPrinterConfig(item)) return true;
  if ((flags & KV_SAVE_AUTH_RANGE_ONLY) && !InRange(item->id, ITEM_wdmCustomFunc0, ITEM_wdmCustomFunc31)) return true;
  if ((flags & 0xFF) == KV_SAVE_MODULE_PASS) {
    KV_EVT_ITEM_BY_NAME_DATA ask = {2, item, 0};
    CtxNotifyModules(ctx, KV_EVT_SAVE_ITEM_BY_NAME, &ask);
    if (ask.answer == 1) return true;
  }
  if (block != KV_STORE_ALL_BLOCKS && KvItemBlock(item) != static_cast<DWORD>(block)) return true;
  if (ItemIsInGroup(kFontListGroup, item->id)) return true;
  if ((item->id == ITEM_kdmLogCodeUse || item->id == ITEM_kdmLogCode) && OsPrinterIsConnection(ctx) &&
      ItemGetRaw(ctx, ITEM_kdmServerLogCode, NULL) == 0)
    return true;
  return StoreIsActionItem(item->id);
}

// Whether an open context still holds the value it was opened with.
bool Unchanged(DRIVER_CONTEXT *ctx, OPTION_ITEM *item)
{
  if (KvItemIsBit(item)) return ItemReadBaselineRaw(ctx, item) == ItemReadRaw(ctx, item);
  BYTE *now = ItemGetAddress(ctx, item);
  BYTE *then = ItemGetBaselineAddress(ctx, item);
  return now != NULL && then != NULL && memcmp(now, then, KvItemSize(item)) == 0;
}

int SaveBlock(HANDLE printer, DRIVER_CONTEXT *ctx, int block, DWORD flags, StoreSaveStatus *status)
{
  StoreMutexScope lock(ctx);
  bool onlyChanged = !(flags & KV_SAVE_UNCHANGED_TOO) && block == KV_BLOCK_CONFIG && ctx->state != NULL &&
                     ctx->state->openKind == CTX_OPEN_FULL && ctx->state->baseline != NULL;
  LPCWSTR iniPath = CtxGetSettingsIniPath(ctx);
  OPTION_ITEM *rows = static_cast<OPTION_ITEM *>(ctx->items->rows);
  for (int r = 0; r < ctx->items->count; ++r) {
    OPTION_ITEM *item = &rows[r];
    if (SkipRow(ctx, item, block, flags)) continue;
    if (onlyChanged && Unchanged(ctx, item)) continue;
    status->Note(StoreSaveItem(printer, ctx, item, iniPath));
  }
  KV_EVT_ITEM_BLOCK_DATA data = {reinterpret_cast<void *>(static_cast<intptr_t>(block)),
                                 static_cast<LONG>(flags & ~KV_SAVE_UNCHANGED_TOO)};
  CtxNotifyModules(ctx, KV_EVT_ITEM_BLOCK_SAVED, &data);
  return 1;
}

}  // namespace

int WINAPI StoreSaveItemBlockStatus(HANDLE printer, DRIVER_CONTEXT *ctx, int block, DWORD flags, DWORD *status)
{
  StoreSaveStatus outcome;
  if (ctx == NULL || ctx->items == NULL || ctx->work == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    outcome.Note(0);
    outcome.Publish(status);
    return 0;
  }
  int answer = SaveBlock(printer, ctx, block, flags, &outcome);
  if (block == KV_BLOCK_WORK && flags == 0) answer &= SaveBlock(printer, ctx, block, KV_SAVE_MODULE_PASS, &outcome);
  outcome.Publish(status);
  return answer;
}

int WINAPI StoreSaveItemBlock(HANDLE printer, DRIVER_CONTEXT *ctx, int block, DWORD flags)
{
  return StoreSaveItemBlockStatus(printer, ctx, block, flags, NULL);
}

int WINAPI StoreSaveDocumentItems(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  StoreSaveStatus outcome;
  DWORD one = ERROR_SUCCESS;
  StoreSaveItemBlockStatus(printer, ctx, KV_BLOCK_WORK, 0, &one);
  outcome.Merge(one);
  StoreSaveItemBlockStatus(printer, ctx, KV_BLOCK_DEVMODE, 0, &one);
  outcome.Merge(one);
  outcome.Publish(NULL);
  return 1;
}

namespace {

// The printer-configuration block, then the font lists through the given saver; the first
// failure of either goes to status and the last error.
int SaveConfigAndFonts(HANDLE printer, DRIVER_CONTEXT *ctx, int(WINAPI *saveFonts)(HANDLE, DRIVER_CONTEXT *, DWORD *),
                       DWORD *status)
{
  StoreSaveStatus outcome;
  DWORD one = ERROR_SUCCESS;
  int items = StoreSaveItemBlockStatus(printer, ctx, KV_BLOCK_CONFIG, 0, &one);
  outcome.Merge(one);
  int fonts = saveFonts(printer, ctx, &one);
  outcome.Merge(one);
  outcome.Publish(status);
  return items == 1 && fonts == 1 ? 1 : 0;
}

}  // namespace

int WINAPI StoreSavePrinterItemsStatus(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD *status)
{
  return SaveConfigAndFonts(printer, ctx, StoreSaveFontListsStatus, status);
}

int WINAPI StoreSavePrinterItems(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  return StoreSavePrinterItemsStatus(printer, ctx, NULL);
}

int WINAPI StoreSavePrinterItemsFromModel(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  return SaveConfigAndFonts(printer, ctx, StoreSaveModelFontListsStatus, NULL);
}

int WINAPI StoreSaveItem(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR iniPath)
{
  if (ctx == NULL || item == NULL) return 1;
  DWORD block = KvItemBlock(item);
  if (item->storageClass == 1 && (block == KV_BLOCK_CONFIG || block == KV_BLOCK_NONE))
    return StoreWriteItemToPrinterData(printer, ctx, item);
  if (item->storageClass == 2) {
    if (StoreSharedWritesBarred(ctx)) return 1;
    return StoreWriteItemToIni(printer, ctx, item, iniPath != NULL ? iniPath : CtxGetSettingsIniPath(ctx), NULL, NULL);
  }
  return 1;
}

int WINAPI StoreWriteItemToPrinterData(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item)
{
  if (item != NULL && item->key == NULL) return 1;
  if (ctx == NULL || item == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return WriteValue(printer, ctx, item, item->key);
}

int WINAPI StoreSaveItemByName(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item)
{
  if (ctx == NULL || item == NULL || item->name == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return WriteValue(printer, ctx, item, item->name);
}
