// Typed access to an item's field in the work buffer and its baseline, translation between
// stored values and value ids, defaults, and the context's state words.
#include "items/item_store.h"
#include "tables/template_tables.h"
#include "model/model.h"
#include "names/resources.h"
#include "rules/rule_cond.h"
#include "tables/item_ids.h"

static WORD GetLe16(const BYTE *p) { return (WORD)(p[0] | (p[1] << 8)); }

// Bytes of the field that an access touches: the field size, and for a bit item at least the
// byte that holds its bit.
static DWORD FieldExtent(const OPTION_ITEM *item)
{
  DWORD size = KvItemSize(item);
  if (KvItemIsBit(item)) {
    DWORD byte = (KvItemValueType(item) - KV_VT_BIT0) / 8 + 1;
    if (byte > size) size = byte;
  }
  return size;
}

// Address of an item's field inside a WORK_BUFFER. The block offsets come from the buffer's
// own DEVMODE; a field that would reach outside the buffer has no address.
static BYTE *FieldIn(BYTE *buffer, const OPTION_ITEM *item)
{
  if (buffer == NULL || item == NULL) return NULL;
  DWORD block = KvItemBlock(item);
  if (block == KV_BLOCK_NONE) return NULL;
  static const DWORD offsetAt[4] = {0, KV_DM_BLOCK1_OFFSET, KV_DM_CONFIG_OFFSET, KV_DM_WORK_OFFSET};
  // The stored offset must be the one the build stamps: a DEVMODE from outside must not
  // move a block onto other fields (a list item's pointer read from dmFields, say).
  DWORD stored = (DWORD)GetLe16(buffer + offsetAt[block]);
  if (stored != DmGetBlockOffset(block)) return NULL;
  DWORD start = stored + item->offset;
  if (start + FieldExtent(item) > DmGetWorkBufferSize()) return NULL;
  return buffer + start;
}

BYTE *WINAPI ItemGetAddress(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  return ctx != NULL ? FieldIn(ctx->work, item) : NULL;
}

BYTE *WINAPI ItemGetBaselineAddress(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  return FieldIn(ctx->state->baseline, item);
}

static LONG ReadField(const BYTE *p, const OPTION_ITEM *item)
{
  if (p == NULL) return 0;
  DWORD vt = KvItemValueType(item);
  switch (vt) {
    case KV_VT_S8: return (LONG)(signed char)p[0];
    case KV_VT_S16: return (LONG)(SHORT)GetLe16(p);
    case KV_VT_U8: return (LONG)p[0];
    case KV_VT_U16: return (LONG)GetLe16(p);
    case KV_VT_S32:
    case KV_VT_U32: return (LONG)((DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24));
    default: break;
  }
  if (vt >= KV_VT_BIT0 && vt <= KV_VT_BIT31) {
    DWORD bit = vt - KV_VT_BIT0;
    return (p[bit / 8] >> (bit % 8)) & 1;
  }
  if (vt >= KV_VT_ANSI && vt <= 15) return (LONG)(intptr_t)p;
  return 0;
}

// Typed write of value into a field; text and block types copy (size) bytes from the
// address in value, or clear the field for a NULL address.
static void WriteField(BYTE *p, const OPTION_ITEM *item, LONG value)
{
  DWORD vt = KvItemValueType(item);
  DWORD v = (DWORD)value;
  switch (vt) {
    case KV_VT_S8:
    case KV_VT_U8: p[0] = (BYTE)v; return;
    case KV_VT_S16:
    case KV_VT_U16:
      p[0] = (BYTE)v;
      p[1] = (BYTE)(v >> 8);
      return;
    case KV_VT_S32:
    case KV_VT_U32:
      for (int i = 0; i < 4; ++i) p[i] = (BYTE)(v >> (8 * i));
      return;
    default: break;
  }
  if (vt >= KV_VT_BIT0 && vt <= KV_VT_BIT31) {
    DWORD bit = vt - KV_VT_BIT0;
    if (value != 0)
      p[bit / 8] |= (BYTE)(1u << (bit % 8));
    else
      p[bit / 8] &= (BYTE) ~(1u << (bit % 8));
    return;
  }
  if (vt >= KV_VT_ANSI && vt <= 15) {
    const BYTE *src = (const BYTE *)(intptr_t)value;
    DWORD size = KvItemSize(item);
    for (DWORD i = 0; i < size; ++i) p[i] = src != NULL ? src[i] : 0;
  }
}

LONG WINAPI ItemReadRaw(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  return ReadField(ItemGetAddress(ctx, item), item);
}

LONG WINAPI ItemReadBaselineRaw(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  return ReadField(ItemGetBaselineAddress(ctx, item), item);
}

void WINAPI ItemWriteRaw(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LONG value)
{
  BYTE *p = ItemGetAddress(ctx, item);
  if (p == NULL) return;
  WriteField(p, item, value);
  item->state = (WORD)((item->state & ~KV_STATE_CHANGED_MASK) | 1);
  if (ctx->state != NULL) ctx->state->settingsChanged = 1;
  // The vertical scale follows the horizontal one while both are kept equal.
  if (item->id == ITEM_kdmScaleH && ItemGetRaw(ctx, ITEM_kdmScaleType, NULL) == 1)
    ItemSetRaw(ctx, ITEM_kdmScaleV, value);
  if (item->flags & KV_ITEM_FLAG_UI_REFRESH) CtxRaiseUiFlags(ctx, item->flags & KV_ITEM_FLAG_UI_REFRESH);
}

void WINAPI ItemWriteBaselineRaw(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LONG value)
{
  BYTE *p = ItemGetBaselineAddress(ctx, item);
  if (p != NULL) WriteField(p, item, value);
}

LONG WINAPI ItemGetRaw(DRIVER_CONTEXT *ctx, WORD id, OPTION_ITEM **out)
{
  OPTION_ITEM *item = ItemFindById(ctx, id);
  if (out != NULL) *out = item;
  return ItemReadRaw(ctx, item);
}

void WINAPI ItemSetRaw(DRIVER_CONTEXT *ctx, WORD id, LONG value) { ItemWriteRaw(ctx, ItemFindById(ctx, id), value); }

LONG WINAPI ItemGetBaselineRaw(DRIVER_CONTEXT *ctx, WORD id, OPTION_ITEM **out)
{
  OPTION_ITEM *item = ItemFindById(ctx, id);
  if (out != NULL) *out = item;
  return ItemReadBaselineRaw(ctx, item);
}

void WINAPI ItemSetBaselineRaw(DRIVER_CONTEXT *ctx, WORD id, LONG value)
{
  ItemWriteBaselineRaw(ctx, ItemFindById(ctx, id), value);
}

// Value ids.

// The active part of an item's translation table: the second part for the layout items
// whose values depend on the sheet's orientation.
static const VALUE_XLAT_ROW *ActivePart(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  if (item == NULL || item->xlat == NULL) return NULL;
  bool second = false;
  if (item->id == ITEM_kdmNUPType || item->id == ITEM_kdmDuplexType)
    second = ItemGetRaw(ctx, ITEM_dmOrientation, NULL) == 2;
  else if (item->id == ITEM_kdmPunchType || item->id == ITEM_kdmStapleType)
    second = RuleCondPrintPaperOrient(ctx) == 1;
  const VALUE_XLAT_ROW *row = item->xlat;
  if (second) {
    // The second part starts behind the first part's end row, if the table has one: a
    // table of one part ends there, and its item then translates nothing.
    const KV_XLAT_TABLE_REF *table = NULL;
    for (SHORT t = 0; t < g_kvXlatTableCount && table == NULL; ++t) {
      if (g_kvXlatTables[t].rows == item->xlat) table = &g_kvXlatTables[t];
    }
    if (table == NULL) return NULL;
    SHORT at = 0;
    while (at < table->rowCount && row[at].valueId != 0) ++at;
    if (at + 1 >= table->rowCount) return NULL;
    row += at + 1;
  }
  return row;
}

static const VALUE_XLAT_ROW *RowOfStored(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG stored)
{
  for (const VALUE_XLAT_ROW *row = ActivePart(ctx, item); row != NULL && row->valueId != 0; ++row) {
    if (row->stored == stored) return row;
  }
  return NULL;
}

LONG WINAPI ItemStoredToValueId(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG stored)
{
  const VALUE_XLAT_ROW *row = RowOfStored(ctx, item, stored);
  if (row == NULL || row->valueId == KV_VALUE_ID_NONE) return stored;
  return row->valueId;
}

int WINAPI ItemIsStoredValueMapped(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG stored)
{
  const VALUE_XLAT_ROW *row = RowOfStored(ctx, item, stored);
  return row != NULL && row->valueId != KV_VALUE_ID_NONE;
}

LONG WINAPI ItemValueIdToStored(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG valueId)
{
  for (const VALUE_XLAT_ROW *row = ActivePart(ctx, item); row != NULL && row->valueId != 0; ++row) {
    if ((SHORT)row->valueId == (SHORT)valueId) return row->stored;
  }
  return valueId;
}

LONG WINAPI ItemReadValue(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  return ItemStoredToValueId(ctx, item, ItemReadRaw(ctx, item));
}

void WINAPI ItemWriteValue(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LONG valueId)
{
  if (item == NULL) return;
  ItemWriteRaw(ctx, item, ItemValueIdToStored(ctx, item, valueId));
}

LONG WINAPI ItemGetValue(DRIVER_CONTEXT *ctx, WORD id, OPTION_ITEM **out)
{
  OPTION_ITEM *item = ItemFindById(ctx, id);
  if (out != NULL) *out = item;
  return ItemReadValue(ctx, item);
}

void WINAPI ItemSetValue(DRIVER_CONTEXT *ctx, WORD id, LONG valueId)
{
  ItemWriteValue(ctx, ItemFindById(ctx, id), valueId);
}

LONG WINAPI ItemGetValueByKey(DRIVER_CONTEXT *ctx, WORD key, OPTION_ITEM **out)
{
  OPTION_ITEM *item = ItemFindByKey(ctx, key);
  if (out != NULL) *out = item;
  return ItemReadValue(ctx, item);
}

OPTION_ITEM *WINAPI ItemOfControl(DRIVER_CONTEXT *ctx, const CONTROL_RECORD *control)
{
  if (control == NULL || control->item == NULL) return NULL;
  return ItemFindById(ctx, control->item->id);
}

LONG WINAPI ItemGetControlValue(DRIVER_CONTEXT *ctx, const CONTROL_RECORD *control)
{
  return control != NULL ? ItemReadValue(ctx, ItemOfControl(ctx, control)) : 0;
}

void WINAPI ItemSetControlValue(DRIVER_CONTEXT *ctx, CONTROL_RECORD *control, LONG valueId)
{
  if (control != NULL) ItemWriteValue(ctx, ItemOfControl(ctx, control), valueId);
}

// Sets an item to a default that the printer description names. Numbers go through the
// item's translation; a text item takes the resource string of that id. A block item cannot
// take a number as its contents: a default of 0 clears it and any other default leaves it.
void WINAPI ItemSetDefault(DRIVER_CONTEXT *ctx, WORD id, LONG value)
{
  OPTION_ITEM *item = ItemFindById(ctx, id);
  if (item == NULL) return;
  DWORD vt = KvItemValueType(item);
  if (KvValueTypeIsText(vt)) {
    if (ctx->state == NULL) return;
    ResLoadString(ctx, (UINT)value, ctx->state->textBuffer, 1025, TRUE);
    ItemWriteText(ctx, item, ctx->state->textBuffer);
    return;
  }
  switch (vt) {
    case KV_VT_BLOCK:
    case KV_VT_BLOCK2:
      if (value == 0) ItemWriteRaw(ctx, item, 0);
      return;
    default: ItemWriteValue(ctx, item, value); return;
  }
}

// Context state words.

void WINAPI CtxSetSettingsFileStatus(DRIVER_CONTEXT *ctx, DWORD status)
{
  if (ctx != NULL && ctx->state != NULL) ctx->state->settingsFileStatus = status;
}

DWORD WINAPI CtxGetSettingsFileStatus(DRIVER_CONTEXT *ctx)
{
  return ctx != NULL && ctx->state != NULL ? ctx->state->settingsFileStatus : 0;
}

// Raises requests in the pending-UI-work word; a request with an argument (low 16 bits)
// replaces the previous argument. Flags 0 clear the word.
void WINAPI CtxRaiseUiFlags(DRIVER_CONTEXT *ctx, DWORD flags)
{
  if (ctx == NULL || ctx->state == NULL) return;
  if (flags == 0) {
    ctx->state->uiFlags = 0;
    return;
  }
  if (flags & 0xFFFFu) ctx->state->uiFlags &= ~0xFFFFu;
  ctx->state->uiFlags |= flags;
}

DWORD WINAPI CtxGetUiFlags(DRIVER_CONTEXT *ctx) { return ctx != NULL && ctx->state != NULL ? ctx->state->uiFlags : 0; }

void WINAPI CtxClearUiFlags(DRIVER_CONTEXT *ctx, DWORD flags)
{
  if (ctx == NULL || ctx->state == NULL) return;
  ctx->state->uiFlags &= ~flags;
  if (flags > 0x0FFFFFFFu) {
    for (int i = 0; i < 3; ++i) ctx->state->savedUiFlags[i] &= ~flags;
  }
}

LONG WINAPI ItemGetCustomFuncFlag(DRIVER_CONTEXT *ctx, WORD id)
{
  if (id < ITEM_wdmCustomFunc0 || id > ITEM_wdmCustomFunc31) return 0;
  return ItemGetRaw(ctx, id, NULL);
}

// Build switches of this driver: only switch 1 (preset refresh from the model defaults).
int WINAPI CtxIsBuildSwitchOn(SHORT n)
{
  static const BYTE switches[9] = {0, 1, 0, 0, 0, 0, 0, 0, 0};
  return n >= 1 && n <= 8 && switches[n] != 0;
}
