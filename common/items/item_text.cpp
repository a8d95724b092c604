// Text items: fixed-width ANSI and UTF-16 fields of the work buffer, and the display text of
// an item's current value.
#include "items/item_store.h"
#include "blob/desc_runtime.h"
#include "names/resources.h"
#include "tables/item_ids.h"

static bool IsAnsiText(DWORD vt) { return vt == KV_VT_ANSI || vt == KV_VT_ANSI2; }
static bool IsWideText(DWORD vt) { return vt == KV_VT_WTEXT || vt == KV_VT_WTEXT2; }

static void CopyWide(WCHAR *dst, const WCHAR *src, int cch)
{
  if (dst == NULL || cch <= 0) return;
  int i = 0;
  for (; src != NULL && src[i] != 0 && i < cch - 1; ++i) dst[i] = src[i];
  dst[i] = 0;
}

// Reads a text field into dst (cchDst characters, always terminated). A field filled to its
// last byte has no terminator, so the read never runs past the field's size.
static BYTE *ReadTextBounded(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, WCHAR *dst, int cchDst)
{
  if (ctx == NULL || item == NULL || dst == NULL || cchDst <= 0) return NULL;
  BYTE *field = ItemGetAddress(ctx, item);
  if (field == NULL) return NULL;
  DWORD vt = KvItemValueType(item);
  DWORD size = KvItemSize(item);
  if (IsAnsiText(vt)) {
    int len = 0;
    while ((DWORD)len < size && field[len] != 0) ++len;
    for (int i = 0; i < cchDst; ++i) dst[i] = 0;
    // A result longer than dst keeps the characters that fit; dst stays terminated.
    if (len > 0) MultiByteToWideChar(CP_ACP, 0, (const char *)field, len, dst, cchDst - 1);
    dst[cchDst - 1] = 0;
  } else if (IsWideText(vt)) {
    int i = 0;
    for (; (DWORD)(i + 1) * 2 <= size && i < cchDst - 1; ++i) {
      WCHAR c = (WCHAR)(field[2 * i] | (field[2 * i + 1] << 8));
      if (c == 0) break;
      dst[i] = c;
    }
    dst[i] = 0;
  } else {
    CopyWide(dst, u"wrong", cchDst);
  }
  return field;
}

// The characters ItemReadText may write for an item: an ANSI field of size bytes can fill
// every byte without a terminator and gives at most size characters, a UTF-16 field at most
// size / 2, each plus the terminator; any other type gets "wrong" and its terminator.
static int ReadTextChars(const OPTION_ITEM *item)
{
  DWORD vt = KvItemValueType(item);
  DWORD size = KvItemSize(item);
  if (IsAnsiText(vt)) return (int)size + 1;
  if (IsWideText(vt)) return (int)(size / 2) + 1;
  return 6;
}

BYTE *WINAPI ItemReadText(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, WCHAR *dst)
{
  if (item == NULL) return NULL;
  return ReadTextBounded(ctx, item, dst, ReadTextChars(item));
}

// Clears the field (which marks it changed), then stores the text in the field's format:
// converted to ANSI, or copied as UTF-16; a text that fills the field keeps no terminator.
BYTE *WINAPI ItemWriteText(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, const WCHAR *src)
{
  if (ctx == NULL || item == NULL || src == NULL) return NULL;
  BYTE *field = ItemGetAddress(ctx, item);
  if (field == NULL) return NULL;
  ItemWriteRaw(ctx, item, 0);
  DWORD vt = KvItemValueType(item);
  DWORD size = KvItemSize(item);
  if (IsAnsiText(vt)) {
    StrWideToAnsi((char *)field, src, (int)size);
  } else if (IsWideText(vt)) {
    for (DWORD i = 0; (i + 1) * 2 <= size && src[i] != 0; ++i) {
      field[2 * i] = (BYTE)src[i];
      field[2 * i + 1] = (BYTE)(src[i] >> 8);
    }
  }
  return field;
}

BYTE *WINAPI ItemGetControlText(DRIVER_CONTEXT *ctx, WORD controlId, WCHAR *dst)
{
  CONTROL_RECORD *ctl = CtlFindById(ctx, NULL, controlId);
  return ctl != NULL ? ItemReadText(ctx, ItemOfControl(ctx, ctl), dst) : NULL;
}

BYTE *WINAPI ItemSetControlText(DRIVER_CONTEXT *ctx, WORD controlId, const WCHAR *src)
{
  CONTROL_RECORD *ctl = CtlFindById(ctx, NULL, controlId);
  return ctl != NULL ? ItemWriteText(ctx, ItemOfControl(ctx, ctl), src) : NULL;
}

static void FormatNumber(WCHAR *buf, int cch, LONG value)
{
  WCHAR tmp[32];
  wsprintfW(tmp, u"%d", (int)value);
  CopyWide(buf, tmp, cch);
}

// Appends src to buf (cch characters, always terminated), as far as it fits.
static void AppendWide(WCHAR *buf, int cch, const WCHAR *src)
{
  int len = 0;
  while (len < cch - 1 && buf[len] != 0) ++len;
  CopyWide(buf + len, src, cch - len);
}

// List values whose display text is a string of another ID than the value: the colour
// modes and the colour-balance presets.
static LONG ValueTextId(LONG valueId)
{
  static const LONG kMapped[7][2] = {{2018, 68}, {2019, 69}, {2012, 74}, {2014, 75},
                                     {2013, 76}, {2015, 77}, {2031, 78}};
  for (const auto &m : kMapped)
    if (m[0] == valueId) return m[1];
  return valueId;
}

// The resource string of a list value, with its value text; "N is not string-ID" when the
// language DLL has no text for it.
static void FormatListValue(DRIVER_CONTEXT *ctx, LONG valueId, WCHAR *buf, int cch)
{
  LONG id = ValueTextId(valueId);
  buf[0] = 0;
  if (id > 0 && id <= 0xFFFF) ResLoadString(ctx, (UINT)id, buf, cch, TRUE);
  if (buf[0] == 0) {
    WCHAR tmp[48];
    wsprintfW(tmp, u"%d is not string-ID", (int)id);
    CopyWide(buf, tmp, cch);
  }
}

// A number, or for a length item its display value with one (0.1 mm) or two (0.01 inch)
// decimals; then the node's unit string (its lead number) when it names one.
static void FormatNumericValue(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, const BYTE *node, LONG value, WCHAR *buf,
                               int cch)
{
  WCHAR tmp[48];
  if (item != NULL && (item->flags & KV_ITEM_FLAG_DISPLAY_LENGTH) != 0) {
    LONG units = ItemDotsToDisplayUnits(ctx, 0, value);
    if (ItemIsMetricUnit(ctx))
      wsprintfW(tmp, u"%ld.%01d", (long)(units / 10), (int)(units % 10));
    else
      wsprintfW(tmp, u"%ld.%02d", (long)(units / 100), (int)(units % 100));
  } else {
    wsprintfW(tmp, u"%d", (int)value);
  }
  CopyWide(buf, tmp, cch);
  const BYTE *record = DESC_FIELDPTR(node, DESC_ITEM_NODE, values);
  SHORT unit = record != NULL ? (SHORT)DESC_FIELD16(record, DESC_NUMERIC_VALUE, lead) : 0;
  if (unit > 0) {
    WCHAR unitText[64] = {0};
    ResLoadString(ctx, (UINT)unit, unitText, 64, FALSE);
    AppendWide(buf, cch, unitText);
  }
}

// Display text of an item without description node: its number, except the stamp kind and
// stamp id, which have fixed labels and the stamp's name.
static void FormatWithoutNode(DRIVER_CONTEXT *ctx, WORD id, LONG value, WCHAR *buf, int cch)
{
  if (id == ITEM_kdmWmKind && value >= 1 && value <= 3) {
    static const WCHAR *const labels[3] = {u"文字ｽﾀﾝﾌﾟ", u"ｲﾒｰｼﾞｽﾀﾝﾌﾟ", u"合成"};
    CopyWide(buf, labels[value - 1], cch);
  } else if (id == ITEM_kdmWmID && ItemGetRaw(ctx, ITEM_kdmWmKind, NULL) >= 1 &&
             ItemGetRaw(ctx, ITEM_kdmWmKind, NULL) <= 3) {
    static const WORD controls[3] = {2407, 2437, 2454};
    CONTROL_RECORD *ctl = CtlFindById(ctx, NULL, controls[ItemGetRaw(ctx, ITEM_kdmWmKind, NULL) - 1]);
    if (ctl == NULL || ReadTextBounded(ctx, ItemOfControl(ctx, ctl), buf, cch) == NULL) buf[0] = 0;
  } else if (id == ITEM_kdmWmKind || id == ITEM_kdmWmID) {
    ResLoadString(ctx, 96, buf, cch, TRUE);
  } else {
    FormatNumber(buf, cch, value);
  }
}

// Display text of the current value of the item with this key, by the type of its
// description node: a list value's string, the Boolean's "on" or "off" string, a number
// with its unit, a text; an item without node as FormatWithoutNode.
void WINAPI ItemFormatValueText(DRIVER_CONTEXT *ctx, WORD key, WCHAR *buf, int cch)
{
  if (buf == NULL || cch <= 0) return;
  buf[0] = 0;
  OPTION_ITEM *item = NULL;
  LONG value = ItemGetValueByKey(ctx, key, &item);
  WORD id = item != NULL ? item->id : 0;
  const BYTE *node = (const BYTE *)ItemGetDescNode(ctx, key);
  switch (node != NULL ? (DESC_FIELD16(node, DESC_ITEM_NODE, type) & 0xFF) : 0) {
    case DESC_TYPE_PICK_ONE:
    case DESC_TYPE_PICK_MANY: FormatListValue(ctx, value, buf, cch); break;
    case DESC_TYPE_BOOLEAN: ResLoadString(ctx, value != 0 ? 370 : 371, buf, cch, TRUE); break;
    case DESC_TYPE_NUMERIC: FormatNumericValue(ctx, item, node, value, buf, cch); break;
    case DESC_TYPE_STRING:
      if (item == NULL || ReadTextBounded(ctx, item, buf, cch) == NULL) buf[0] = 0;
      break;
    default: FormatWithoutNode(ctx, id, value, buf, cch); break;
  }
}
