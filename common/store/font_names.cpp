// Names from the font lists of the printer configuration: device fonts, option fonts and
// the TrueType substitution table.
#include <string.h>

#include "items/item_store.h"
#include "hooks/module_hooks.h"
#include "model/font_list_table.h"
#include "store/font_names.h"
#include "names/names_paths.h"

namespace {
const WCHAR kEmpty[1] = {0};

bool SameName(const WCHAR *a, const WCHAR *b)
{
  for (DWORD i = 0; i < KV_FONT_NAME_CHARS; ++i) {
    if (a[i] != b[i]) return false;
    if (a[i] == 0) return true;
  }
  return b[KV_FONT_NAME_CHARS] == 0;
}
}  // namespace

const WCHAR *WINAPI ItemGetFontListName(DRIVER_CONTEXT *ctx, LONG index)
{
  if (ctx == NULL || index < 0) return kEmpty;
  static const int kNamed[2] = {KV_FONT_LIST_DEVICE, KV_FONT_LIST_OPTION};
  for (int which : kNamed) {
    const FONT_LIST_DEF &def = g_kvFontLists[which];
    LONG count = ItemGetRaw(ctx, def.countId, NULL);
    const BYTE *list = (const BYTE *)(intptr_t)ItemGetRaw(ctx, def.listId, NULL);
    if (count < 0 || list == NULL) count = 0;
    if (index < count) return (const WCHAR *)(list + (DWORD)index * def.entrySize + KV_DEVICE_FONT_NAME_OFFSET);
    index -= count;
  }
  return kEmpty;
}

const WCHAR *WINAPI ItemFindFontSubstitute(DRIVER_CONTEXT *ctx, const WCHAR *name)
{
  const FONT_LIST_DEF &def = g_kvFontLists[KV_FONT_LIST_SUBST];
  LONG count = ItemGetRaw(ctx, def.countId, NULL);
  const BYTE *list = (const BYTE *)(intptr_t)ItemGetRaw(ctx, def.listId, NULL);
  if (name != NULL && list != NULL) {
    for (LONG i = 0; i < count; ++i) {
      const BYTE *entry = list + (DWORD)i * def.entrySize;
      if (SameName((const WCHAR *)entry, name)) return (const WCHAR *)(entry + KV_FONT_SUBST_DEVICE_OFFSET);
    }
  }
  return ItemGetFontListName(ctx, 0);
}

void WINAPI ResGetDefaultFontName(DRIVER_CONTEXT *ctx, WCHAR *buf, int cch)
{
  if (buf == NULL || cch <= 0) return;
  // "ＭＳ Ｐゴシック" for the Japanese resources, "Arial" otherwise.
  static const WCHAR kJapanese[] = {0xFF2D, 0xFF33, 0x0020, 0xFF30, 0x30B4, 0x30B7, 0x30C3, 0x30AF, 0};
  static const WCHAR kWestern[] = u"Arial";
  const WCHAR *src = ctx != NULL && CtxIsJapaneseResDll(ctx) ? kJapanese : kWestern;
  lstrcpynW(buf, src, cch);
}
