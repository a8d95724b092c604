// Lookups of the option item store: option rows by id and key, names, value names, dialogs,
// controls, messages, listed values and item groups.
#include "items/item_store.h"
#include "model/model.h"
#include "tables/template_tables.h"

// Row of the first id above 10000; found once per process from the dense table.
static SHORT s_gapRow = -1;

static OPTION_ITEM *Rows(DRIVER_CONTEXT *ctx, SHORT *count)
{
  if (ctx == NULL || ctx->items == NULL || ctx->items->rows == NULL) {
    *count = 0;
    return NULL;
  }
  *count = ctx->items->count;
  return (OPTION_ITEM *)ctx->items->rows;
}

static SHORT FindGapRow(const OPTION_ITEM *rows, SHORT count)
{
  for (SHORT i = 1; i < count; ++i) {
    if (rows[i].id != rows[i - 1].id + 1) return i;
  }
  return count;
}

// Direct index into the dense table. An index that lands on a row of another id (ids
// between the two ranges, or beyond the last one) answers NULL.
OPTION_ITEM *WINAPI ItemFindById(DRIVER_CONTEXT *ctx, WORD id)
{
  SHORT count;
  OPTION_ITEM *rows = Rows(ctx, &count);
  if (rows == NULL || id == 0) return NULL;
  DWORD index;
  if (id > 10000) {
    if (s_gapRow < 0) s_gapRow = FindGapRow(rows, count);
    index = (DWORD)id - 10000u + (DWORD)s_gapRow - 1u;
  } else {
    index = (DWORD)id - 1u;
  }
  if (index >= (DWORD)count || rows[index].id != id) return NULL;
  return &rows[index];
}

const SYMBOL_ENTRY *WINAPI ItemFindSymbolByKey(WORD key)
{
  for (SHORT i = 0; i < g_kvSymbolCount; ++i) {
    if (g_kvSymbols[i].key == key) return &g_kvSymbols[i];
  }
  return NULL;
}

// Hash indexes over the names of g_kvSymbols and g_kvValueSymbols, generated with the tables
// by gentables.py (emit_name_index): open addressing with linear probing, at most half full,
// each distinct name indexed at its first row. They answer exactly what a search from the top
// of the table answers, without walking the table.
extern const SHORT g_kvSymbolNameRows[];
extern const DWORD g_kvSymbolNameHashes[];
extern const DWORD g_kvSymbolNameMask;
extern const SHORT g_kvValueSymbolNameRows[];
extern const DWORD g_kvValueSymbolNameHashes[];
extern const DWORD g_kvValueSymbolNameMask;

// 32-bit FNV-1a over the bytes of the name (gentables.py's name_hash).
static DWORD NameHash(const char *name)
{
  DWORD h = 0x811C9DC5u;
  for (const unsigned char *p = (const unsigned char *)name; *p != 0; ++p) {
    h = (h ^ *p) * 0x01000193u;
  }
  return h;
}

// Row of name in the table the index covers, or -1. nameOf gives the name of a row.
template <typename NameOf>
static SHORT FindIndexed(const char *name, const SHORT *rows, const DWORD *hashes, DWORD mask, NameOf nameOf)
{
  if (name == NULL) return -1;
  DWORD h = NameHash(name);
  for (DWORD slot = h & mask;; slot = (slot + 1) & mask) {
    SHORT row = rows[slot];
    if (row < 0) return -1;
    if (hashes[slot] == h && StrSameA(nameOf(row), name)) return row;
  }
}

const SYMBOL_ENTRY *WINAPI ItemFindSymbolByName(const char *name)
{
  SHORT row = FindIndexed(name, g_kvSymbolNameRows, g_kvSymbolNameHashes, g_kvSymbolNameMask,
                          [](SHORT r) { return g_kvSymbols[r].name; });
  return row >= 0 ? &g_kvSymbols[row] : NULL;
}

// The row whose symbol key matches, else the row of the item the names table gives the key.
OPTION_ITEM *WINAPI ItemFindByKey(DRIVER_CONTEXT *ctx, WORD key)
{
  SHORT count;
  OPTION_ITEM *rows = Rows(ctx, &count);
  if (rows == NULL) return NULL;
  for (SHORT i = 0; i < count; ++i) {
    if (rows[i].symbolKey == key) return &rows[i];
  }
  const SYMBOL_ENTRY *sym = ItemFindSymbolByKey(key);
  return sym != NULL ? ItemFindById(ctx, sym->itemId) : NULL;
}

const VALUE_SYMBOL *WINAPI ItemFindValueSymbol(WORD itemId, WORD valueId)
{
  for (SHORT i = 0; i < g_kvValueSymbolCount; ++i) {
    if (g_kvValueSymbols[i].itemId == itemId && g_kvValueSymbols[i].valueId == valueId) return &g_kvValueSymbols[i];
  }
  return NULL;
}

const VALUE_SYMBOL *WINAPI ItemFindValueSymbolByName(const char *name)
{
  SHORT row = FindIndexed(name, g_kvValueSymbolNameRows, g_kvValueSymbolNameHashes, g_kvValueSymbolNameMask,
                          [](SHORT r) { return g_kvValueSymbols[r].name; });
  return row >= 0 ? &g_kvValueSymbols[row] : NULL;
}

const WCHAR *WINAPI ItemGetName(DRIVER_CONTEXT *ctx, WORD id)
{
  OPTION_ITEM *item = ItemFindById(ctx, id);
  return item != NULL ? item->name : NULL;
}

// Dialogs and controls.

static DIALOG_RECORD *Dialogs(DRIVER_CONTEXT *ctx, SHORT *count)
{
  if (ctx == NULL) ctx = CtxGetTemplate();
  if (ctx->dialogs == NULL || ctx->dialogs->rows == NULL) {
    *count = 0;
    return NULL;
  }
  *count = ctx->dialogs->count;
  return (DIALOG_RECORD *)ctx->dialogs->rows;
}

DIALOG_RECORD *WINAPI DlgFindById(DRIVER_CONTEXT *ctx, WORD dialogId)
{
  SHORT count;
  DIALOG_RECORD *dlg = Dialogs(ctx, &count);
  for (SHORT i = 0; i < count; ++i) {
    if (dlg[i].templateId == dialogId) return &dlg[i];
  }
  return NULL;
}

DIALOG_RECORD *WINAPI DlgFindByHwnd(DRIVER_CONTEXT *ctx, HWND window)
{
  SHORT count;
  DIALOG_RECORD *dlg = Dialogs(ctx, &count);
  for (SHORT i = 0; window != NULL && i < count; ++i) {
    if (dlg[i].window == window) return &dlg[i];
  }
  return NULL;
}

DIALOG_RECORD *WINAPI DlgFindByName(DRIVER_CONTEXT *ctx, const char *name)
{
  SHORT count;
  DIALOG_RECORD *dlg = Dialogs(ctx, &count);
  for (SHORT i = 0; i < count; ++i) {
    if (StrSameA(dlg[i].name, name)) return &dlg[i];
  }
  return NULL;
}

CONTROL_RECORD *WINAPI DlgGetControl(DIALOG_RECORD *dialog, int index)
{
  if (dialog == NULL || dialog->controls == NULL || index < 0 || index >= dialog->controlCount) return NULL;
  return &dialog->controls[index];
}

// Visits the controls of one dialog, or of every dialog in table order when dialog is NULL.
template <typename Match>
static CONTROL_RECORD *FindControl(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, Match match)
{
  SHORT count = 1;
  DIALOG_RECORD *dlg = dialog;
  if (dlg == NULL) dlg = Dialogs(ctx, &count);
  for (SHORT d = 0; dlg != NULL && d < count; ++d) {
    for (int c = 0; c < dlg[d].controlCount; ++c) {
      CONTROL_RECORD *ctl = DlgGetControl(&dlg[d], c);
      if (ctl != NULL && match(ctl)) return ctl;
    }
  }
  return NULL;
}

CONTROL_RECORD *WINAPI CtlFindById(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, WORD controlId)
{
  return FindControl(ctx, dialog, [&](CONTROL_RECORD *c) { return c->controlId == controlId; });
}

CONTROL_RECORD *WINAPI CtlFindByHwnd(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, HWND window)
{
  if (window == NULL) return NULL;
  return FindControl(ctx, dialog, [&](CONTROL_RECORD *c) { return c->window == window; });
}

CONTROL_RECORD *WINAPI CtlFindByKey(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, WORD key)
{
  return FindControl(ctx, dialog, [&](CONTROL_RECORD *c) { return (WORD)c->symbolKey == key; });
}

CONTROL_RECORD *WINAPI CtlFindByName(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, const char *name)
{
  const SYMBOL_ENTRY *sym = ItemFindSymbolByName(name);
  if (sym == NULL || sym->key == 0) return NULL;
  return CtlFindByKey(ctx, dialog, sym->key);
}

// Messages.

static const MESSAGE_ENTRY *Messages(DRIVER_CONTEXT *ctx, SHORT *count)
{
  if (ctx == NULL) ctx = CtxGetTemplate();
  if (ctx->messages == NULL || ctx->messages->rows == NULL) {
    *count = 0;
    return NULL;
  }
  *count = ctx->messages->count;
  return (const MESSAGE_ENTRY *)ctx->messages->rows;
}

int WINAPI CtxGetMessageCount(DRIVER_CONTEXT *ctx)
{
  SHORT count;
  Messages(ctx, &count);
  return count;
}

const MESSAGE_ENTRY *WINAPI CtxGetMessage(DRIVER_CONTEXT *ctx, int index)
{
  SHORT count;
  const MESSAGE_ENTRY *msg = Messages(ctx, &count);
  if (msg == NULL || index < 0 || index >= count) return NULL;
  return &msg[index];
}

const MESSAGE_ENTRY *WINAPI CtxFindMessageByKey(DRIVER_CONTEXT *ctx, SHORT key)
{
  SHORT count;
  const MESSAGE_ENTRY *msg = Messages(ctx, &count);
  for (SHORT i = 0; i < count; ++i) {
    if (msg[i].key == key) return &msg[i];
  }
  return NULL;
}

const MESSAGE_ENTRY *WINAPI CtxFindMessageByName(DRIVER_CONTEXT *ctx, const char *name)
{
  SHORT count;
  const MESSAGE_ENTRY *msg = Messages(ctx, &count);
  for (SHORT i = 0; i < count; ++i) {
    if (StrSameA(msg[i].name, name)) return &msg[i];
  }
  return NULL;
}

// Listed values and item groups.

const VALUE_LIST_ROW *WINAPI ItemGetValueListTable(void) { return g_kvItemValueLists; }

const VALUE_LIST_ROW *WINAPI ItemFindValueList(WORD itemId)
{
  if (itemId == 0) return NULL;
  for (const VALUE_LIST_ROW *row = g_kvItemValueLists; row->key != 0; ++row) {
    if (row->key == itemId) return row;
  }
  return NULL;
}

int WINAPI ItemListContains(const VALUE_LIST_ROW *row, LONG value)
{
  if (row == NULL || row->values == NULL) return 0;
  for (DWORD i = 0; i < row->count; ++i) {
    if (row->values[i] == value) return 1;
  }
  return 0;
}

int WINAPI ItemIsListedValue(WORD itemId, LONG value) { return ItemListContains(ItemFindValueList(itemId), value); }

const VALUE_LIST_ROW *WINAPI ItemGetGroupTable(WORD *count)
{
  if (count != NULL) *count = (WORD)(g_kvItemGroupCount + 1);
  return g_kvItemGroups;
}

const VALUE_LIST_ROW *WINAPI ItemGetGroup(WORD index)
{
  return index < (WORD)g_kvItemGroupCount ? &g_kvItemGroups[index] : NULL;
}

int WINAPI ItemIsInGroup(WORD index, LONG value) { return ItemListContains(ItemGetGroup(index), value); }
