// The DEVMODE snapshot stack and the saved copies of the option rows. Each snapshot level
// is a whole work buffer; the font lists that the work buffer points at are copied with it,
// so that every level owns its own lists and a rollback never brings back a list that the
// work buffer has freed in the meantime.
#include <string.h>

#include "items/item_store.h"
#include "model/font_list_table.h"
#include "model/model.h"
#include "hooks/module_hooks.h"

namespace {

// The font-list fields of one buffer laid out like the work buffer. The rows come from the
// template, whose layout every context shares, so this also works while a context is torn
// down.
struct BufferView {
  DRIVER_CONTEXT view;
  explicit BufferView(BYTE *buffer)
  {
    view = *CtxGetTemplate();
    view.work = buffer;
  }
  OPTION_ITEM *Row(WORD id) { return buffer() != NULL ? ItemFindById(&view, id) : NULL; }
  BYTE *buffer() { return view.work; }
  BYTE *List(const FONT_LIST_DEF &def)
  {
    BYTE *p = ItemGetAddress(&view, Row(def.listId));
    if (p == NULL) return NULL;
    DWORD v = 0;
    memcpy(&v, p, sizeof v);
    return (BYTE *)(intptr_t)v;
  }
  void SetList(const FONT_LIST_DEF &def, BYTE *list)
  {
    BYTE *p = ItemGetAddress(&view, Row(def.listId));
    if (p == NULL) return;
    DWORD v = (DWORD)(intptr_t)list;
    memcpy(p, &v, sizeof v);
  }
  LONG Count(const FONT_LIST_DEF &def) { return ItemReadRaw(&view, Row(def.countId)); }
};

// Frees the lists a buffer owns and clears its pointers.
void FreeLists(BYTE *buffer)
{
  if (buffer == NULL) return;
  BufferView b(buffer);
  for (const FONT_LIST_DEF &def : g_kvFontLists) {
    MemFree(b.List(def));
    b.SetList(def, NULL);
  }
}

// Replaces the list pointers of a buffer (which still point at another buffer's lists) by
// copies of those lists; a list that cannot be copied becomes NULL.
void CopyListsInPlace(BYTE *buffer)
{
  if (buffer == NULL) return;
  BufferView b(buffer);
  for (const FONT_LIST_DEF &def : g_kvFontLists) {
    const BYTE *src = b.List(def);
    LONG count = b.Count(def);
    BYTE *copy = NULL;
    if (src != NULL && count > 0 && count <= 0xFFFF) {
      copy = (BYTE *)MemAllocZeroed((DWORD)count * def.entrySize);
      if (copy != NULL) memcpy(copy, src, (size_t)count * def.entrySize);
    }
    b.SetList(def, copy);
  }
}

// Replaces the list pointers of a buffer by copies as CopyListsInPlace does, but all or
// nothing: when one list cannot be copied, the copies made are freed, the buffer's pointers
// are cleared and the answer is false.
bool CopyListsWhole(BYTE *buffer)
{
  BufferView b(buffer);
  BYTE *copies[KV_FONT_LIST_COUNT] = {};
  int n = 0;
  for (const FONT_LIST_DEF &def : g_kvFontLists) {
    const BYTE *src = b.List(def);
    LONG count = b.Count(def);
    if (src != NULL && count > 0 && count <= 0xFFFF) {
      copies[n] = (BYTE *)MemAllocZeroed((DWORD)count * def.entrySize);
      if (copies[n] == NULL) {
        for (BYTE *made : copies) MemFree(made);
        for (const FONT_LIST_DEF &d : g_kvFontLists) b.SetList(d, NULL);
        return false;
      }
      memcpy(copies[n], src, (size_t)count * def.entrySize);
    }
    ++n;
  }
  n = 0;
  for (const FONT_LIST_DEF &def : g_kvFontLists) b.SetList(def, copies[n++]);
  return true;
}

bool HasLevels(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL || ctx->work == NULL) return false;
  for (BYTE *level : ctx->state->snapshots)
    if (level == NULL) return false;
  return true;
}

}  // namespace

BOOL WINAPI CtxPushDevmodeSnapshot(DRIVER_CONTEXT *ctx)
{
  if (!HasLevels(ctx)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  CONTEXT_STATE *st = ctx->state;
  // A fourth push would push out the level an outer caller rolls back to.
  if (st->snapshotDepth >= 3) {
    SetLastError(ERROR_STACK_OVERFLOW);
    return FALSE;
  }
  DWORD size = DmGetWorkBufferSize();
  FreeLists(st->snapshots[2]);
  memcpy(st->snapshots[2], st->snapshots[1], size);
  st->savedUiFlags[2] = st->savedUiFlags[1];
  memcpy(st->snapshots[1], st->snapshots[0], size);
  st->savedUiFlags[1] = st->savedUiFlags[0];
  memcpy(st->snapshots[0], ctx->work, size);
  CopyListsInPlace(st->snapshots[0]);
  st->savedUiFlags[0] = st->uiFlags;
  ++st->snapshotDepth;
  CtxNotifyModules(ctx, KV_EVT_SNAPSHOT_PUSHED, NULL);
  return TRUE;
}

BOOL WINAPI CtxPopDevmodeSnapshot(DRIVER_CONTEXT *ctx, int rollback)
{
  if (!HasLevels(ctx) || ctx->state->snapshotDepth == 0) return FALSE;
  CONTEXT_STATE *st = ctx->state;
  DWORD size = DmGetWorkBufferSize();
  if (rollback) {
    FreeLists(ctx->work);
    memcpy(ctx->work, st->snapshots[0], size);
    CopyListsInPlace(ctx->work);
    st->uiFlags = st->savedUiFlags[0];
    st->settingsChanged = 0;
    if (ctx->items != NULL && ctx->items->rows != NULL) {
      OPTION_ITEM *rows = (OPTION_ITEM *)ctx->items->rows;
      for (SHORT i = 0; i < ctx->items->count; ++i) rows[i].state &= (WORD)~KV_STATE_CHANGED_MASK;
    }
    CtxNotifyModules(ctx, KV_EVT_SNAPSHOT_ROLLED_BACK, NULL);
  }
  // Level 2 keeps its content, so level 1 gets copies of its lists.
  FreeLists(st->snapshots[0]);
  memcpy(st->snapshots[0], st->snapshots[1], size);
  st->savedUiFlags[0] = st->savedUiFlags[1];
  memcpy(st->snapshots[1], st->snapshots[2], size);
  CopyListsInPlace(st->snapshots[1]);
  st->savedUiFlags[1] = st->savedUiFlags[2];
  --st->snapshotDepth;
  return TRUE;
}

int WINAPI CtxGetSnapshotDepth(DRIVER_CONTEXT *ctx)
{
  return ctx != NULL && ctx->state != NULL ? ctx->state->snapshotDepth : 0;
}

void WINAPI CtxFreeSnapshotFonts(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return;
  for (BYTE *level : ctx->state->snapshots) FreeLists(level);
}

BYTE *WINAPI CtxCopyWorkBuffer(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL) return NULL;
  DWORD size = DmGetWorkBufferSize();
  BYTE *copy = (BYTE *)MemAllocZeroed(size);
  if (copy == NULL) return NULL;
  memcpy(copy, ctx->work, size);
  if (!CopyListsWhole(copy)) {
    MemFree(copy);
    return NULL;
  }
  return copy;
}

void WINAPI CtxRestoreWorkBuffer(DRIVER_CONTEXT *ctx, BYTE *copy)
{
  if (copy == NULL) return;
  if (ctx == NULL || ctx->work == NULL) {
    FreeLists(copy);
  } else {
    FreeLists(ctx->work);
    memcpy(ctx->work, copy, DmGetWorkBufferSize());  // the copy's lists move over
  }
  MemFree(copy);
}

TABLE_REF *WINAPI ItemSaveTableState(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->items == NULL) return NULL;
  TABLE_REF *saved = (TABLE_REF *)MemAllocZeroed(sizeof(TABLE_REF));
  if (saved == NULL) return NULL;
  saved->count = ctx->items->count;
  if (ctx->items->rows != NULL && ctx->items->count > 0) {
    DWORD bytes = (DWORD)ctx->items->count * sizeof(OPTION_ITEM);
    saved->rows = MemAllocZeroed(bytes);
    if (saved->rows != NULL) memcpy(saved->rows, ctx->items->rows, bytes);
  }
  return saved;
}

void WINAPI ItemRestoreTableState(DRIVER_CONTEXT *ctx, TABLE_REF *saved)
{
  if (saved == NULL) return;
  if (ctx != NULL && ctx->items != NULL && ctx->items->rows != NULL && saved->rows != NULL) {
    SHORT n = ctx->items->count < saved->count ? ctx->items->count : saved->count;
    if (n > 0) memcpy(ctx->items->rows, saved->rows, (size_t)n * sizeof(OPTION_ITEM));
  }
  MemFree(saved->rows);
  MemFree(saved);
}
