// The settings store: settings kept in printer data and INI files, and the font lists.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Loads the printer's stored settings (printer data, settings INI) into a context being
// opened; answers whether anything was loaded. Provisional until the settings store is
// built: loads nothing and answers 0.
int WINAPI StoreLoadAtOpen(DRIVER_CONTEXT *ctx);
// Loads one option item's stored value by its name; answers whether it was loaded.
// Provisional until the settings store is built: loads nothing and answers 0.
int WINAPI StoreLoadItemByName(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item);
// Frees the font-list arrays of the work buffer (items 10007, 10009, 10005) and sets them to 0.
int WINAPI StoreFreeFontLists(DRIVER_CONTEXT *ctx);

// TRUE when the printer's "AdminChange" printer data is set (non-zero); *value receives it.
// FALSE, *value untouched, when value is NULL or the value cannot be read.
BOOL WINAPI StoreGetAdminChange(HANDLE hPrinter, DWORD *value);

KV_END_DECLS
