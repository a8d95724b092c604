// The font substitution table of the printer configuration in printer data: loading it
// (building it from the description for a printer that has none stored), saving it and
// its default set, reading and deleting its entry pairs, and splitting entries into the
// two halves that are stored apart.
#include <string.h>

#include "blob/desc_geometry.h"
#include "items/item_store.h"
#include "model/font_list_table.h"
#include "store/font_lists.h"
#include "os/printer_data.h"
#include "store/store_font_internal.h"

namespace {

const FONT_LIST_DEF &SubstList() { return g_kvFontLists[KV_FONT_LIST_SUBST]; }

// Reads one 64-byte half; 0 or the read's error.
DWORD ReadHalf(HANDLE printer, LPCWSTR pattern, int index, BYTE *half)
{
  WCHAR name[64];
  wsprintfW(name, pattern, index);
  if (StoreGetPrinterData(printer, half, KV_FONT_SUBST_HALF_SIZE, name, NULL)) return ERROR_SUCCESS;
  DWORD error = GetLastError();
  return error != ERROR_SUCCESS ? error : ERROR_INVALID_DATA;
}

}  // namespace

int StoreSaveFontSubstTableError(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD flags, DWORD *error)
{
  *error = ERROR_SUCCESS;
  if (ctx == NULL || ctx->work == NULL) {
    *error = ERROR_INVALID_PARAMETER;
    return 0;
  }
  const FONT_LIST_DEF &def = SubstList();
  BYTE *owned = NULL;
  const BYTE *table;
  LONG count;
  if (flags & KV_FONTS_FROM_DESCRIPTION) {
    DWORD n = 0;
    owned = reinterpret_cast<BYTE *>(DescGetFontTable(ctx, &n));
    if (owned == NULL || n == 0) {
      MemFree(owned);
      return 1;  // the description has no table: nothing to store
    }
    table = owned;
    count = n > KV_FONT_LIST_MAX_ENTRIES ? -1 : static_cast<LONG>(n);
  } else {
    table = reinterpret_cast<const BYTE *>(static_cast<intptr_t>(ItemGetRaw(ctx, def.listId, NULL)));
    count = ItemGetRaw(ctx, def.countId, NULL);
  }
  int answer;
  if (count < 0 || count > KV_FONT_LIST_MAX_ENTRIES || (count > 0 && table == NULL)) {
    *error = ERROR_INVALID_DATA;
    answer = 0;
  } else if (!(flags & KV_FONTS_DEFAULT_SET) && (flags & KV_FONTS_IF_CHANGED) &&
             StoreFontListUnchanged(ctx, def, count, table)) {
    answer = 1;
  } else {
    FONT_SUBST_WRITE args = {printer, table, static_cast<WORD>(count), flags & KV_FONTS_DEFAULT_SET};
    answer = StoreWriteFontSubstEntries(&args);
    if (!answer) {
      *error = GetLastError();
      if (*error == ERROR_SUCCESS) *error = ERROR_WRITE_FAULT;
    }
  }
  MemFree(owned);
  SetLastError(*error);
  return answer;
}

int WINAPI StoreSaveFontSubstTable(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD flags)
{
  DWORD error;
  return StoreSaveFontSubstTableError(printer, ctx, flags, &error);
}

int WINAPI StoreLoadFontSubstTable(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  const FONT_LIST_DEF &def = SubstList();
  StoreDropFontList(ctx, def);
  WORD stored = 0;
  if (!StoreGetPrinterDataExact(printer, &stored, sizeof stored, KV_PD_FONT_TABLE_NUM)) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return 0;
    if (StoreSaveFontSubstTable(printer, ctx, KV_FONTS_FROM_DESCRIPTION) == 0) return 1;
    // A description without a table wrote nothing: there is nothing to load.
    if (!StoreGetPrinterDataExact(printer, &stored, sizeof stored, KV_PD_FONT_TABLE_NUM)) return 1;
  }
  LONG count = static_cast<SHORT>(stored);
  if (count < 0 || count > KV_FONT_LIST_MAX_ENTRIES) return 0;
  if (count == 0) return 1;
  BYTE *table = static_cast<BYTE *>(MemAllocZeroed(static_cast<DWORD>(count) * def.entrySize));
  if (table == NULL) return 0;
  if (StoreReadFontSubstEntries(printer, table, static_cast<WORD>(count), 0) != ERROR_SUCCESS) {
    MemFree(table);
    return 0;
  }
  ItemSetRaw(ctx, def.countId, count);
  ItemSetRaw(ctx, def.listId, static_cast<LONG>(reinterpret_cast<intptr_t>(table)));
  return 1;
}

int WINAPI StoreInitDefaultFontSubstTable(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  WORD stored = 0;
  if (StoreGetPrinterDataExact(printer, &stored, sizeof stored, KV_PD_DEF_FONT_TABLE_NUM)) return 1;
  return StoreSaveFontSubstTable(printer, ctx, KV_FONTS_FROM_DESCRIPTION | KV_FONTS_DEFAULT_SET);
}

DWORD WINAPI StoreReadFontSubstEntries(HANDLE printer, BYTE *dest, WORD count, DWORD flags)
{
  if (count == 0) return ERROR_SUCCESS;
  if (dest == NULL) return ERROR_NOT_ENOUGH_MEMORY;
  bool defaults = (flags & KV_FONTS_DEFAULT_SET) != 0;
  LPCWSTR firstName = defaults ? KV_PD_TT_FONT_DEF_TABLE : KV_PD_TT_FONT_TABLE;
  LPCWSTR secondName = defaults ? KV_PD_DEV_FONT_DEF_TABLE : KV_PD_DEV_FONT_TABLE;
  DWORD bytes = static_cast<DWORD>(count) * KV_FONT_SUBST_HALF_SIZE;
  BYTE *first = static_cast<BYTE *>(MemAllocZeroed(bytes));
  BYTE *second = static_cast<BYTE *>(MemAllocZeroed(bytes));
  DWORD answer = ERROR_SUCCESS;
  if (first == NULL || second == NULL) {
    answer = ERROR_NOT_ENOUGH_MEMORY;
  } else {
    for (int i = 0; i < count; ++i) {
      BYTE *a = first + i * KV_FONT_SUBST_HALF_SIZE;
      BYTE *b = second + i * KV_FONT_SUBST_HALF_SIZE;
      DWORD ea = ReadHalf(printer, firstName, i + 1, a);
      DWORD eb = ReadHalf(printer, secondName, i + 1, b);
      if (ea == ERROR_SUCCESS && eb == ERROR_SUCCESS) continue;
      memset(a, 0, KV_FONT_SUBST_HALF_SIZE);
      memset(b, 0, KV_FONT_SUBST_HALF_SIZE);
      answer = eb != ERROR_SUCCESS ? eb : ea;
    }
    StoreJoinFontSubstTable(dest, first, second, count);
  }
  MemFree(first);
  MemFree(second);
  return answer;
}

int WINAPI StoreDeleteFontSubstEntries(HANDLE printer)
{
  WORD last = 0;
  if (!StoreGetPrinterDataExact(printer, &last, sizeof last, KV_PD_LAST_FONT_TABLE_NUM)) return 1;
  StoreDeleteFontSubstPairs(printer, 1, last, 0);
  return 1;
}

void StoreDeleteFontSubstPairs(HANDLE printer, int from, int to, DWORD flags)
{
  bool defaults = (flags & KV_FONTS_DEFAULT_SET) != 0;
  WCHAR name[64];
  for (int i = from; i <= to; ++i) {
    wsprintfW(name, defaults ? KV_PD_TT_FONT_DEF_TABLE : KV_PD_TT_FONT_TABLE, i);
    DeletePrinterDataW(printer, name);
    wsprintfW(name, defaults ? KV_PD_DEV_FONT_DEF_TABLE : KV_PD_DEV_FONT_TABLE, i);
    DeletePrinterDataW(printer, name);
  }
}

void WINAPI StoreSplitFontSubstTable(const BYTE *table, BYTE *first, BYTE *second, WORD count)
{
  if (table == NULL || first == NULL || second == NULL) return;
  for (WORD i = 0; i < count; ++i) {
    memcpy(first + i * KV_FONT_SUBST_HALF_SIZE, table + i * KV_FONT_SUBST_ENTRY_SIZE, KV_FONT_SUBST_HALF_SIZE);
    memcpy(second + i * KV_FONT_SUBST_HALF_SIZE, table + i * KV_FONT_SUBST_ENTRY_SIZE + KV_FONT_SUBST_HALF_SIZE,
           KV_FONT_SUBST_HALF_SIZE);
  }
}

void WINAPI StoreJoinFontSubstTable(BYTE *dest, const BYTE *first, const BYTE *second, WORD count)
{
  if (dest == NULL || first == NULL || second == NULL) return;
  for (WORD i = 0; i < count; ++i) {
    memcpy(dest + i * KV_FONT_SUBST_ENTRY_SIZE, first + i * KV_FONT_SUBST_HALF_SIZE, KV_FONT_SUBST_HALF_SIZE);
    memcpy(dest + i * KV_FONT_SUBST_ENTRY_SIZE + KV_FONT_SUBST_HALF_SIZE, second + i * KV_FONT_SUBST_HALF_SIZE,
           KV_FONT_SUBST_HALF_SIZE);
  }
}
