// The preset cache of a context: one buffer per preset index with the raw values of every
// preset and stamp item, so that selecting a preset again needs no file read.
#include <string.h>

#include "items/item_store.h"
#include "store/stored_lists.h"

namespace {

// Items the cache keeps: those with a preset or a stamp membership.
bool Cached(const OPTION_ITEM *item) { return (item->state & (KV_STATE_PRESET_MASK | KV_STATE_STAMP_MASK)) != 0; }

// The slot index of a key ("PresetList%d" with 0-15, compared exactly); -1 when none.
int SlotOf(const WCHAR *key)
{
  if (key == NULL) return -1;
  WCHAR name[KV_PRESET_KEY_CHARS];
  for (int n = 0; n < KV_PRESET_MAX; ++n)
    if (lstrcmpW(ListFormatPresetKey(name, n, LIST_KEY_PATH), key) == 0) return n;
  return -1;
}

DWORD CacheSize(DRIVER_CONTEXT *ctx)
{
  DWORD total = 0;
  const OPTION_ITEM *rows = (const OPTION_ITEM *)ctx->items->rows;
  for (SHORT r = 0; r < ctx->items->count; ++r)
    if (Cached(&rows[r])) total += KvItemSize(&rows[r]);
  return total;
}

void Save(DRIVER_CONTEXT *ctx, BYTE *buffer)
{
  const OPTION_ITEM *rows = (const OPTION_ITEM *)ctx->items->rows;
  BYTE *p = buffer;
  for (SHORT r = 0; r < ctx->items->count; ++r) {
    const OPTION_ITEM *item = &rows[r];
    if (!Cached(item)) continue;
    DWORD size = KvItemSize(item);
    const BYTE *field = ItemGetAddress(ctx, item);
    if (field != NULL)
      memcpy(p, field, size);
    else
      memset(p, 0, size);
    p += size;
  }
}

void Restore(DRIVER_CONTEXT *ctx, const BYTE *buffer)
{
  const OPTION_ITEM *rows = (const OPTION_ITEM *)ctx->items->rows;
  const BYTE *p = buffer;
  for (SHORT r = 0; r < ctx->items->count; ++r) {
    const OPTION_ITEM *item = &rows[r];
    if (!Cached(item)) continue;
    DWORD size = KvItemSize(item);
    BYTE *field = ItemGetAddress(ctx, item);
    if (field != NULL) {
      if (KvItemIsBit(item)) {
        // A bit item shares its field with others: only its own bit comes back.
        DWORD bit = KvItemValueType(item) - KV_VT_BIT0;
        DWORD byte = bit / 8;
        BYTE mask = (BYTE)(1u << (bit % 8));
        if (byte < size) field[byte] = (BYTE)((field[byte] & ~mask) | (p[byte] & mask));
      } else {
        memcpy(field, p, size);
      }
    }
    p += size;
  }
}

}  // namespace

int WINAPI ListPresetCache(DRIVER_CONTEXT *ctx, const WCHAR *key, int operation)
{
  if (ctx == NULL || ctx->state == NULL) return 0;
  void **slots = ctx->state->presetSnapshots;
  switch (operation) {
    case LIST_CACHE_FORGET:
      for (int n = 0; n < KV_PRESET_MAX; ++n) slots[n] = NULL;
      return 0;
    case LIST_CACHE_FREE:
      for (int n = 0; n < KV_PRESET_MAX; ++n) {
        MemFree(slots[n]);
        slots[n] = NULL;
      }
      return 0;
    case LIST_CACHE_RESTORE:
    case LIST_CACHE_SAVE: break;
    default: return 0;
  }
  if (ctx->items == NULL || ctx->items->rows == NULL || ctx->work == NULL) return 0;
  int n = SlotOf(key);
  if (n < 0) return 0;
  if (operation == LIST_CACHE_RESTORE) {
    if (slots[n] == NULL) return 0;
    Restore(ctx, (const BYTE *)slots[n]);
    return 1;
  }
  if (slots[n] == NULL) {
    DWORD size = CacheSize(ctx);
    slots[n] = MemAllocZeroed(size > 0 ? size : 1);
    if (slots[n] == NULL) return 0;
  }
  Save(ctx, (BYTE *)slots[n]);
  return 0;
}
