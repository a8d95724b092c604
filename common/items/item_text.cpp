// Text items: fixed-width ANSI and UTF-16 fields of the work buffer, and the display text of
// an item's current value.
#include "items/item_store.h"
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

// Display text of the current value of the item with this key. Items without a description
// node get their number, except the stamp kind and stamp id, which have fixed labels.
void WINAPI ItemFormatValueText(DRIVER_CONTEXT *ctx, WORD key, WCHAR *buf, int cch)
{
  if (buf == NULL || cch <= 0) return;
  buf[0] = 0;
  OPTION_ITEM *item = NULL;
  LONG value = ItemGetValueByKey(ctx, key, &item);
  WORD id = item != NULL ? item->id : 0;
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
