// Font lists of the printer description: the resident device fonts, the font cartridge
// fonts and the TrueType substitution table, copied into arrays the caller owns.
//
// Font entries, their pointer arrays and FontTbl values may start at any byte of the
// compiled block: they are read field by field.
#include "blob/desc_geometry.h"

#include "blob/desc_blob.h"

#define NAME_CHARS 32  // characters of a name field, terminator included

// The i-th pointer of an array of pointers in the block.
static const BYTE *PointerAt(const BYTE *array, DWORD i) { return DescLdPtr(array, (size_t)i * sizeof(void *)); }

// A name of the block's ANSI text, cut to NAME_CHARS - 1 characters; "" for no text.
static void PutFontName(WCHAR *dst, const BYTE *text)
{
  dst[0] = 0;
  if (text != NULL) StrAnsiToWide(dst, (const char *)text, NAME_CHARS);
  dst[NAME_CHARS - 1] = 0;
}

// The entries of a header font list {count; array of DESC_FONT_ID pointers}.
static DESC_FONT_ENTRY *CopyFontList(DWORD listCount, const BYTE *list, DWORD *count)
{
  if (count != NULL) *count = 0;
  if (listCount == 0 || list == NULL || listCount > 0xFFFFFFFFu / sizeof(DESC_FONT_ENTRY)) return NULL;
  DESC_FONT_ENTRY *entries = (DESC_FONT_ENTRY *)MemAllocZeroed(listCount * (DWORD)sizeof(DESC_FONT_ENTRY));
  if (entries == NULL) return NULL;
  for (DWORD i = 0; i < listCount; ++i) {
    const BYTE *font = PointerAt(list, i);
    if (font == NULL) continue;
    entries[i].fontId = DESC_FIELD32(font, DESC_FONT_ID, fontId);
    PutFontName(entries[i].name, DESC_FIELDPTR(font, DESC_FONT_ID, name));
  }
  if (count != NULL) *count = listCount;
  return entries;
}

DESC_FONT_ENTRY *WINAPI DescGetDeviceFonts(DRIVER_CONTEXT *ctx, DWORD *count)
{
  if (ctx == NULL || ctx->desc == NULL) {
    if (count != NULL) *count = 0;
    return NULL;
  }
  const DESC_HEADER *h = &ctx->desc->header;
  return CopyFontList(h->deviceFontCount, (const BYTE *)h->deviceFonts, count);
}

DESC_FONT_ENTRY *WINAPI DescGetFontCartridges(DRIVER_CONTEXT *ctx, DWORD *count)
{
  if (ctx == NULL || ctx->desc == NULL) {
    if (count != NULL) *count = 0;
    return NULL;
  }
  const DESC_HEADER *h = &ctx->desc->header;
  return CopyFontList(h->cartridgeFontCount, (const BYTE *)h->cartridgeFonts, count);
}

// The first value with pairs of the first item whose type word is exactly FontTbl; NULL
// when that item has none or there is no such item.
static const BYTE *FirstFontPairs(const DESC_BLOB *desc)
{
  const BYTE *node = (const BYTE *)desc->header.items;
  while (node != NULL && DESC_FIELD16(node, DESC_ITEM_NODE, type) != DESC_TYPE_FONT_TABLE)
    node = DESC_FIELDPTR(node, DESC_ITEM_NODE, next);
  if (node == NULL) return NULL;
  for (const BYTE *v = DESC_FIELDPTR(node, DESC_ITEM_NODE, values); v != NULL;
       v = DESC_FIELDPTR(v, DESC_VALUE_NODE, next))
    if (DESC_FIELD32(v, DESC_FONT_VALUE_NODE, count) != 0) return v;
  return NULL;
}

DESC_FONT_SUBST *WINAPI DescGetFontTable(DRIVER_CONTEXT *ctx, DWORD *count)
{
  if (ctx == NULL || ctx->desc == NULL) return NULL;
  const BYTE *value = FirstFontPairs(ctx->desc);
  if (value == NULL) return NULL;
  DWORD pairs = DESC_FIELD32(value, DESC_FONT_VALUE_NODE, count);
  const BYTE *names = DESC_FIELDPTR(value, DESC_FONT_VALUE_NODE, names);
  const BYTE *substitutes = DESC_FIELDPTR(value, DESC_FONT_VALUE_NODE, substitutes);
  DESC_FONT_SUBST *table = NULL;
  if (pairs <= 0xFFFFFFFFu / sizeof(DESC_FONT_SUBST))
    table = (DESC_FONT_SUBST *)MemAllocZeroed(pairs * (DWORD)sizeof(DESC_FONT_SUBST));
  if (table == NULL) {
    if (count != NULL) *count = 0;
    return NULL;
  }
  for (DWORD i = 0; i < pairs; ++i) {
    PutFontName(table[i].name, names != NULL ? PointerAt(names, i) : NULL);
    PutFontName(table[i].substitute, substitutes != NULL ? PointerAt(substitutes, i) : NULL);
  }
  if (count != NULL) *count = pairs;
  return table;
}
