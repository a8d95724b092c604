// The three font lists of the printer configuration block: arrays outside the work buffer
// that a count item and a list-pointer item of the buffer describe, and the layouts of
// their entries. Every code that copies, frees or reads the lists walks this one table.
#pragma once

#include "context.h"

// Entry layouts. DEVICE_FONT_ENTRY: a 32-bit font id, then the UTF-16 name. FONT_SUBST_ENTRY:
// the UTF-16 TrueType face name, then the UTF-16 device font name. Names are fields of
// KV_FONT_NAME_CHARS characters, terminated unless they fill the field.
enum : DWORD {
  KV_FONT_NAME_CHARS = 32,
  KV_DEVICE_FONT_NAME_OFFSET = 4,
  KV_DEVICE_FONT_ENTRY_SIZE = KV_DEVICE_FONT_NAME_OFFSET + KV_FONT_NAME_CHARS * sizeof(WCHAR),
  KV_FONT_SUBST_DEVICE_OFFSET = KV_FONT_NAME_CHARS * sizeof(WCHAR),
  KV_FONT_SUBST_ENTRY_SIZE = KV_FONT_SUBST_DEVICE_OFFSET + KV_FONT_NAME_CHARS * sizeof(WCHAR),
};

// One list: the item that holds its entry count, the item that holds its address, and the
// size of one entry in bytes.
typedef struct FONT_LIST_DEF {
  WORD countId;
  WORD listId;
  DWORD entrySize;
} FONT_LIST_DEF;

// Rows of g_kvFontLists.
enum { KV_FONT_LIST_DEVICE = 0, KV_FONT_LIST_OPTION = 1, KV_FONT_LIST_SUBST = 2, KV_FONT_LIST_COUNT = 3 };

KV_BEGIN_DECLS

// Device fonts, option fonts, then the substitution table.
extern const FONT_LIST_DEF g_kvFontLists[KV_FONT_LIST_COUNT];

KV_END_DECLS
