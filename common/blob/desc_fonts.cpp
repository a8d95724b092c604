// Font lists of the compiled description: the header's two font-id lists and the pairs of
// the first font table item, converted to UTF-16 entries of fixed size.
#include "blob/desc_blob.h"
#include "blob/desc_fonts.h"

namespace {

constexpr int kNameChars = 32;

// The name (ANSI text of the block) as UTF-16 into a field of kNameChars characters.
void ConvertName(WCHAR *field, const BYTE *ansi)
{
  for (int i = 0; i < kNameChars; ++i) field[i] = 0;
  if (ansi == nullptr) return;
  // Converted whole first, then cut: a conversion into the short field itself would fail
  // for a long name instead of cutting it.
  const char *text = reinterpret_cast<const char *>(ansi);
  int chars = lstrlenA(text) + 1;
  auto *whole = static_cast<WCHAR *>(MemAllocZeroed(static_cast<DWORD>(chars) * sizeof(WCHAR)));
  if (whole == nullptr) return;
  StrAnsiToWide(whole, text, chars);
  lstrcpynW(field, whole, kNameChars);
  MemFree(whole);
}

DESC_FONT_ENTRY *FontIdList(DRIVER_CONTEXT *ctx, size_t countField, size_t listField, DWORD *count)
{
  if (count != nullptr) *count = 0;
  if (ctx == nullptr || ctx->desc == nullptr) return nullptr;
  const BYTE *header = reinterpret_cast<const BYTE *>(ctx->desc);
  DWORD n = DescLd32(header, countField);
  const BYTE *list = DescLdPtr(header, listField);
  if (n == 0 || list == nullptr) return nullptr;
  auto *out = static_cast<DESC_FONT_ENTRY *>(MemAllocZeroed(n * sizeof(DESC_FONT_ENTRY)));
  if (out == nullptr) return nullptr;
  for (DWORD i = 0; i < n; ++i) {
    const BYTE *entry = DescLdPtr(list, i * sizeof(DESC_FONT_ID *));
    if (entry == nullptr) continue;
    out[i].fontId = DESC_FIELD32(entry, DESC_FONT_ID, fontId);
    ConvertName(out[i].name, DESC_FIELDPTR(entry, DESC_FONT_ID, name));
  }
  if (count != nullptr) *count = n;
  return out;
}

}  // namespace

DESC_FONT_ENTRY *WINAPI DescGetDeviceFonts(DRIVER_CONTEXT *ctx, DWORD *count)
{
  return FontIdList(ctx, offsetof(DESC_HEADER, deviceFontCount), offsetof(DESC_HEADER, deviceFonts), count);
}

DESC_FONT_ENTRY *WINAPI DescGetFontCartridges(DRIVER_CONTEXT *ctx, DWORD *count)
{
  return FontIdList(ctx, offsetof(DESC_HEADER, cartridgeFontCount), offsetof(DESC_HEADER, cartridgeFonts), count);
}

DESC_FONT_SUBST *WINAPI DescGetFontTable(DRIVER_CONTEXT *ctx, DWORD *count)
{
  if (ctx == nullptr || ctx->desc == nullptr) return nullptr;
  const BYTE *node = DescLdPtr(ctx->desc, offsetof(DESC_HEADER, items));
  while (node != nullptr && DESC_FIELD16(node, DESC_ITEM_NODE, type) != DESC_TYPE_FONT_TABLE)
    node = DESC_FIELDPTR(node, DESC_ITEM_NODE, next);
  if (node == nullptr) return nullptr;
  const BYTE *value = DESC_FIELDPTR(node, DESC_ITEM_NODE, values);
  while (value != nullptr && DESC_FIELD32(value, DESC_FONT_VALUE_NODE, count) == 0)
    value = DESC_FIELDPTR(value, DESC_VALUE_NODE, next);
  if (value == nullptr) return nullptr;
  DWORD n = DESC_FIELD32(value, DESC_FONT_VALUE_NODE, count);
  const BYTE *names = DESC_FIELDPTR(value, DESC_FONT_VALUE_NODE, names);
  const BYTE *substitutes = DESC_FIELDPTR(value, DESC_FONT_VALUE_NODE, substitutes);
  auto *out = static_cast<DESC_FONT_SUBST *>(MemAllocZeroed(n * sizeof(DESC_FONT_SUBST)));
  if (out == nullptr) return nullptr;
  for (DWORD i = 0; i < n; ++i) {
    ConvertName(out[i].fontName, names != nullptr ? DescLdPtr(names, i * sizeof(char *)) : nullptr);
    ConvertName(out[i].substituteName, substitutes != nullptr ? DescLdPtr(substitutes, i * sizeof(char *)) : nullptr);
  }
  if (count != nullptr) *count = n;
  return out;
}
