// Names from the font lists of the printer configuration: device fonts, option fonts and
// the TrueType substitution table.
#include <string.h>

#include "items/item_store.h"
#include "hooks/module_hooks.h"
#include "store/font_names.h"
#include "names/names_paths.h"
#include "tables/item_ids.h"

namespace {
const WCHAR kEmpty[1] = {0};

// Name field of a DEVICE_FONT_ENTRY (after the 32-bit font id), 32 characters.
const DWORD kDeviceNameOffset = 4;
// FONT_SUBST_ENTRY: TrueType face name at 0, device font name at 64, 32 characters each.
const DWORD kSubstDeviceOffset = 64;
const int kNameChars = 32;

bool SameName(const WCHAR *a, const WCHAR *b)
{
  for (int i = 0; i < kNameChars; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return b[kNameChars] == 0;
}
}  // namespace

const WCHAR *WINAPI ItemGetFontListName(DRIVER_CONTEXT *ctx, LONG index)
{
  if (ctx == NULL || index < 0) return kEmpty;
  static const WORD lists[2][2] = {{ITEM_kdmDeviceFontNum, ITEM_kdmDeviceFont},
                                   {ITEM_kdmOptionFontNum, ITEM_kdmOptionFont}};
  for (const auto &l : lists) {
    LONG count = ItemGetRaw(ctx, l[0], NULL);
    const BYTE *list = (const BYTE *)(intptr_t)ItemGetRaw(ctx, l[1], NULL);
    if (count < 0 || list == NULL) count = 0;
    if (index < count) return (const WCHAR *)(list + (DWORD)index * KV_DEVICE_FONT_ENTRY_SIZE + kDeviceNameOffset);
    index -= count;
  }
  return kEmpty;
}

const WCHAR *WINAPI ItemFindFontSubstitute(DRIVER_CONTEXT *ctx, const WCHAR *name)
{
  LONG count = ItemGetRaw(ctx, ITEM_kdmFontTableNum, NULL);
  const BYTE *list = (const BYTE *)(intptr_t)ItemGetRaw(ctx, ITEM_kdmFontTable, NULL);
  if (name != NULL && list != NULL) {
    for (LONG i = 0; i < count; ++i) {
      const BYTE *entry = list + (DWORD)i * KV_FONT_SUBST_ENTRY_SIZE;
      if (SameName((const WCHAR *)entry, name)) return (const WCHAR *)(entry + kSubstDeviceOffset);
    }
  }
  return ItemGetFontListName(ctx, 0);
}

void WINAPI ResGetDefaultFontName(DRIVER_CONTEXT *ctx, WCHAR *buf)
{
  if (buf == NULL) return;
  // "ＭＳ Ｐゴシック" for the Japanese resources, "Arial" otherwise.
  static const WCHAR kJapanese[] = {0xFF2D, 0xFF33, 0x0020, 0xFF30, 0x30B4, 0x30B7, 0x30C3, 0x30AF, 0};
  static const WCHAR kWestern[] = u"Arial";
  const WCHAR *src = ctx != NULL && CtxIsJapaneseResDll(ctx) ? kJapanese : kWestern;
  int i = 0;
  for (; src[i] != 0; ++i) buf[i] = src[i];
  buf[i] = 0;
}
