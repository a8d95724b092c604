// Helpers shared by the font-list files of the settings store.
#pragma once

#include "context.h"
#include "model/font_list_table.h"

// Frees the list's array and sets its pointer and count items to 0.
void StoreDropFontList(DRIVER_CONTEXT *ctx, const FONT_LIST_DEF &def);
// Whether an open context's baseline holds the same count and entries.
bool StoreFontListUnchanged(DRIVER_CONTEXT *ctx, const FONT_LIST_DEF &def, LONG count, const BYTE *array);
// The device or option font saver (row of g_kvFontLists); *error := ERROR_SUCCESS, or the
// error of a write that failed.
int StoreSaveFontArray(HANDLE printer, DRIVER_CONTEXT *ctx, int row, DWORD flags, DWORD *error);
// StoreSaveFontSubstTable with the error of a write that failed in *error.
int StoreSaveFontSubstTableError(HANDLE printer, DRIVER_CONTEXT *ctx, DWORD flags, DWORD *error);
// Deletes the substitution pairs from to to (the default set's with KV_FONTS_DEFAULT_SET).
void StoreDeleteFontSubstPairs(HANDLE printer, int from, int to, DWORD flags);
