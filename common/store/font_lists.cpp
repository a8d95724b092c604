// Font lists of the printer configuration, held as arrays that items of the work buffer
// point at (g_kvFontLists): loading them from printer data (building them from the
// description for a printer that has none stored), saving the device and option fonts, and
// freeing them.
#include <string.h>

#include "blob/desc_geometry.h"
#include "items/item_store.h"
#include "model/font_list_table.h"
#include "store/font_lists.h"
#include "os/printer_data.h"
#include "store/settings_store.h"
#include "store/store_font_internal.h"
#include "store/store_internal.h"

namespace {

// The two lists of DEVICE_FONT_ENTRY records and where they are stored.
struct FontArrayList {
  int row;  // of g_kvFontLists
  LPCWSTR countName;
  LPCWSTR arrayName;
  DESC_FONT_ENTRY *(WINAPI *fromDescription)(DRIVER_CONTEXT *ctx, DWORD *count);
};
const FontArrayList kDeviceFonts = {KV_FONT_LIST_DEVICE, KV_PD_DEVICE_FONT_NUM, KV_PD_DEVICE_FONT, DescGetDeviceFonts};
const FontArrayList kOptionFonts = {KV_FONT_LIST_OPTION, KV_PD_OPTION_FONT_NUM, KV_PD_OPTION_FONT,
                                    DescGetFontCartridges};

int LoadFontArray(HANDLE printer, DRIVER_CONTEXT *ctx, const FontArrayList &list)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  const FONT_LIST_DEF &def = g_kvFontLists[list.row];
  StoreDropFontList(ctx, def);
  WORD stored = 0;
  if (!StoreGetPrinterDataExact(printer, &stored, sizeof stored, list.countName)) {
    // Only a printer without a stored list gets the description's; a stored one that
    // cannot be read is never overwritten here.
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return 0;
    DWORD error = ERROR_SUCCESS;
    if (StoreSaveFontArray(printer, ctx, list.row, KV_FONTS_FROM_DESCRIPTION, &error) == 0) return 1;
    if (!StoreGetPrinterDataExact(printer, &stored, sizeof stored, list.countName)) return 0;
  }
  LONG count = static_cast<SHORT>(stored);
  if (count <= 0 || count > KV_FONT_LIST_MAX_ENTRIES) return 0;
  DWORD bytes = static_cast<DWORD>(count) * def.entrySize;
  BYTE *array = static_cast<BYTE *>(MemAllocZeroed(bytes));
  if (array == NULL) return 0;
  if (!StoreGetPrinterDataExact(printer, array, bytes, list.arrayName)) {
    MemFree(array);
    return 0;
  }
  ItemSetRaw(ctx, def.countId, count);
  ItemSetRaw(ctx, def.listId, static_cast<LONG>(reinterpret_cast<intptr_t>(array)));
  return 1;
}

const FontArrayList &ListOfRow(int row) { return row == KV_FONT_LIST_DEVICE ? kDeviceFonts : kOptionFonts; }

}  // namespace

void StoreDropFontList(DRIVER_CONTEXT *ctx, const FONT_LIST_DEF &def)
{
  // Items already 0 are not written, so a printer without lists leaves them unmarked.
  void *array = reinterpret_cast<void *>(static_cast<intptr_t>(ItemGetRaw(ctx, def.listId, NULL)));
  if (array != NULL) {
    MemFree(array);
    ItemSetRaw(ctx, def.listId, 0);
  }
  if (ItemGetRaw(ctx, def.countId, NULL) != 0) ItemSetRaw(ctx, def.countId, 0);
}

bool StoreFontListUnchanged(DRIVER_CONTEXT *ctx, const FONT_LIST_DEF &def, LONG count, const BYTE *array)
{
  if (ctx->state == NULL || ctx->state->openKind != CTX_OPEN_FULL || ctx->state->baseline == NULL) return false;
  if (ItemGetBaselineRaw(ctx, def.countId, NULL) != count) return false;
  const BYTE *then = reinterpret_cast<const BYTE *>(static_cast<intptr_t>(ItemGetBaselineRaw(ctx, def.listId, NULL)));
  return then != NULL && array != NULL && memcmp(then, array, static_cast<DWORD>(count) * def.entrySize) == 0;
}

int StoreSaveFontArray(HANDLE printer, DRIVER_CONTEXT *ctx, int row, DWORD flags, DWORD *error)
{
  *error = ERROR_SUCCESS;
  if (ctx == NULL || ctx->work == NULL) return 0;
  const FontArrayList &list = ListOfRow(row);
  const FONT_LIST_DEF &def = g_kvFontLists[row];
  BYTE *owned = NULL;
  const BYTE *array;
  LONG count;
  if (flags & KV_FONTS_FROM_DESCRIPTION) {
    DWORD n = 0;
    owned = reinterpret_cast<BYTE *>(list.fromDescription(ctx, &n));
    array = owned;
    count = n > KV_FONT_LIST_MAX_ENTRIES ? -1 : static_cast<LONG>(n);
  } else {
    array = reinterpret_cast<const BYTE *>(static_cast<intptr_t>(ItemGetRaw(ctx, def.listId, NULL)));
    count = ItemGetRaw(ctx, def.countId, NULL);
  }
  int answer = 0;
  if (array == NULL || count <= 0 || count > KV_FONT_LIST_MAX_ENTRIES) {
    answer = 0;  // nothing that may be stored
  } else if ((flags & KV_FONTS_IF_CHANGED) && StoreFontListUnchanged(ctx, def, count, array)) {
    answer = 1;
  } else {
    // The count goes first, then the array; when the array cannot be written the old
    // count is put back, so the stored pair never disagrees.
    STORE_SAVED_VALUE oldCount;
    WORD stored = static_cast<WORD>(count);
    if (!StoreSaveValueForUndo(printer, list.countName, &oldCount)) {
      *error = GetLastError();
    } else if (!StoreSetPrinterDataBinary(printer, &stored, sizeof stored, list.countName, ctx)) {
      *error = GetLastError();
      StoreForgetValue(&oldCount);
    } else if (!StoreSetPrinterDataBinary(printer, array, static_cast<DWORD>(count) * def.entrySize, list.arrayName,
                                          ctx)) {
      *error = GetLastError();
      StoreUndoValue(printer, list.countName, &oldCount);
    } else {
      StoreForgetValue(&oldCount);
      answer = 1;
    }
    if (answer == 0 && *error == ERROR_SUCCESS) *error = ERROR_WRITE_FAULT;
  }
  MemFree(owned);
  SetLastError(*error);
  return answer;
}

int WINAPI StoreLoadDeviceFonts(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  return LoadFontArray(printer, ctx, kDeviceFonts);
}

int WINAPI StoreLoadOptionFonts(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  return LoadFontArray(printer, ctx, kOptionFonts);
}

int WINAPI StoreLoadFontLists(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  int device = StoreLoadDeviceFonts(printer, ctx);
  int option = StoreLoadOptionFonts(printer, ctx);
  int subst = StoreLoadFontSubstTable(printer, ctx);
  return device == 1 && option == 1 && subst == 1 ? 1 : 0;
}

int WINAPI StoreSaveDeviceFonts(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD flags)
{
  DWORD error;
  return StoreSaveFontArray(printer, ctx, KV_FONT_LIST_DEVICE, flags, &error);
}

int WINAPI StoreSaveOptionFonts(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD flags)
{
  DWORD error;
  return StoreSaveFontArray(printer, ctx, KV_FONT_LIST_OPTION, flags, &error);
}

// The three savers with the flags; the answer stays 1, failures go to *status.
static int SaveAll(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD flags, DWORD *status)
{
  StoreSaveStatus outcome;
  DWORD error = ERROR_SUCCESS;
  StoreSaveFontArray(printer, ctx, KV_FONT_LIST_DEVICE, flags, &error);
  outcome.Merge(error);
  StoreSaveFontArray(printer, ctx, KV_FONT_LIST_OPTION, flags, &error);
  outcome.Merge(error);
  StoreSaveFontSubstTableError(printer, ctx, flags, &error);
  outcome.Merge(error);
  outcome.Publish(status);
  return 1;
}

int WINAPI StoreSaveFontListsStatus(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD *status)
{
  return SaveAll(printer, ctx, KV_FONTS_IF_CHANGED, status);
}

int WINAPI StoreSaveFontLists(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  return StoreSaveFontListsStatus(printer, ctx, NULL);
}

int WINAPI StoreSaveModelFontListsStatus(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD *status)
{
  return SaveAll(printer, ctx, KV_FONTS_FROM_DESCRIPTION, status);
}

int WINAPI StoreSaveModelFontLists(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  return StoreSaveModelFontListsStatus(printer, ctx, NULL);
}

int WINAPI StoreFreeFontLists(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  for (const FONT_LIST_DEF &list : g_kvFontLists) {
    void *array = (void *)(intptr_t)ItemGetRaw(ctx, list.listId, NULL);
    MemFree(array);
    ItemSetRaw(ctx, list.listId, 0);
  }
  return 1;
}
