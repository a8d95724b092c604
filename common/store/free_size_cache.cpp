// Taking the custom-size items into a slot record of the context, with the slot's names.
#include <string.h>

#include "items/item_store.h"
#include "store/list_internal.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace {

// Resource string of user slot 0's name; slot n uses this + n.
constexpr UINT kFirstSlotString = 109;

// The ANSI text of a text item into a 64-byte record field (63 bytes and a terminator).
void ItemToAnsi(DRIVER_CONTEXT *ctx, WORD id, char *field)
{
  memset(field, 0, 64);
  OPTION_ITEM *item = ItemFindById(ctx, id);
  if (item == NULL) return;
  WCHAR *text = (WCHAR *)MemAllocZeroed((KvItemSize(item) + 6) * sizeof(WCHAR));
  if (text == NULL) return;
  ItemReadText(ctx, item, text);
  StrWideToAnsi(field, text, 63);
  field[63] = 0;
  MemFree(text);
}

void ItemsToRecord(DRIVER_CONTEXT *ctx, int slot, WORD first)
{
  if (ctx == NULL || ctx->state == NULL || slot < 0 || slot >= KV_FREE_SIZE_SLOTS) return;
  FREE_SIZE_SLOT *rec = &ctx->state->freeSizeSlots[slot];
  rec->width = ItemGetValue(ctx, (WORD)(first + 1), NULL);
  rec->length = ItemGetValue(ctx, (WORD)(first + 2), NULL);
  rec->tray = (SHORT)ItemGetRaw(ctx, (WORD)(first + 3), NULL);
  rec->orientation = (SHORT)ItemGetRaw(ctx, (WORD)(first + 4), NULL);
  ItemToAnsi(ctx, first, rec->userName);
  kvlist::StringToAnsiField(ctx, kFirstSlotString + (UINT)slot, FALSE, rec->displayName);
  kvlist::StringToAnsiField(ctx, kFirstSlotString + (UINT)slot, TRUE, rec->nameWithSize);
}

}  // namespace

void WINAPI ListFreeSizeItemsToCache(DRIVER_CONTEXT *ctx, int slot) { ItemsToRecord(ctx, slot, ITEM_wdmFreeSizeName); }

void WINAPI ListFreeSizeSrcItemsToCache(DRIVER_CONTEXT *ctx, int slot)
{
  ItemsToRecord(ctx, slot, ITEM_wdmSrcFreeSizeName);
}
