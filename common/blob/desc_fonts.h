// The font lists of a compiled printer description: the printer's resident device fonts,
// its font cartridges and its table of TrueType-to-device font substitutions, as the new
// arrays the font-list store of the printer configuration writes into printer data.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// 68 bytes: the description's font id and its name as UTF-16, 32 characters, the last
// always the terminator (longer names are cut). The layout of a stored device font.
typedef struct DESC_FONT_ENTRY {
  DWORD fontId;
  WCHAR name[32];
} DESC_FONT_ENTRY;
// 128 bytes: a TrueType face name and the device font that stands for it, each 32 UTF-16
// characters with the terminator. The layout of a stored substitution entry.
typedef struct DESC_FONT_SUBST {
  WCHAR fontName[32];
  WCHAR substituteName[32];
} DESC_FONT_SUBST;

// A new array (MemAllocZeroed; the caller frees it with MemFree) of the description's
// device fonts, and their number in *count (optional); NULL with *count 0 when the
// context has no description, the description lists none or memory runs out.
DESC_FONT_ENTRY *WINAPI DescGetDeviceFonts(DRIVER_CONTEXT *ctx, DWORD *count);
// The same for the font cartridges.
DESC_FONT_ENTRY *WINAPI DescGetFontCartridges(DRIVER_CONTEXT *ctx, DWORD *count);
// A new array of the pairs of the first value with pairs of the description's first font
// table item, and their number in *count (optional). NULL, *count not written, when there
// is no font table item or its first such item has no value with pairs; NULL when memory
// runs out.
DESC_FONT_SUBST *WINAPI DescGetFontTable(DRIVER_CONTEXT *ctx, DWORD *count);

KV_END_DECLS

static_assert(sizeof(DESC_FONT_ENTRY) == 68 && sizeof(DESC_FONT_SUBST) == 128, "description font entries");
