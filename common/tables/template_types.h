// Row types of the template context's compiled-in tables: option items, value translation,
// the names table, value symbols, alert messages, listed values and item groups, and the
// dialog and control records of the property sheets. The layouts are those of the 32-bit
// driver (pointers are 4 bytes); the static_asserts below pin them.
#pragma once

#include "win32.h"

struct DESC_ITEM_NODE;  // a node of the compiled printer description (description engine)

// Blocks of the WORK_BUFFER that an option item's field lies in (type word bits 30-31).
enum : DWORD {
  KV_BLOCK_NONE = 0,
  KV_BLOCK_DEVMODE = 1,
  KV_BLOCK_CONFIG = 2,
  KV_BLOCK_WORK = 3,
};

// Block sizes in bytes: the DEVMODE, the printer configuration block and the work block.
enum : DWORD {
  KV_DEVMODE_SIZE = 1236,
  KV_CONFIG_BLOCK_SIZE = 1020,
  KV_WORK_BLOCK_SIZE = 3228,
};

// Value types of an option item (type word bits 24-29).
enum : DWORD {
  KV_VT_S8 = 1,
  KV_VT_S16 = 2,
  KV_VT_S32 = 3,
  KV_VT_U8 = 4,
  KV_VT_U16 = 5,
  KV_VT_U32 = 6,    // also a pointer to an allocated list
  KV_VT_ANSI = 7,   // ANSI text of (size) bytes
  KV_VT_WTEXT = 8,  // UTF-16 text of (size) bytes
  KV_VT_BLOCK = 9,  // block of (size) bytes
  KV_VT_ANSI2 = 10,
  KV_VT_WTEXT2 = 11,
  KV_VT_BLOCK2 = 12,
  KV_VT_BIT0 = 16,  // 16 + n: bit n of a field of 1, 2 or 4 bytes, counted from the first byte
  KV_VT_BIT31 = 47,
};

// Type word: block in bits 30-31, value type in bits 24-29, field size in bits 0-15.
#define KV_TYPEWORD(block, vtype, size) \
  ((DWORD)(((DWORD)(block) << 30) | ((DWORD)(vtype) << 24) | ((DWORD)(size)&0xFFFFu)))

// Membership fields of an option item's state word.
enum : WORD {
  KV_STATE_CHANGED_MASK = 0x0003,
  KV_STATE_PRESET_MASK = 0x000C,
  KV_STATE_QUALITY_MASK = 0x0030,
  KV_STATE_STAMP_MASK = 0x00C0,
};

// Value id that accepts a stored value without giving it a value id.
#define KV_VALUE_ID_NONE ((WORD)0xFFFF)

// One row of a value translation table. A table has one or two parts, each ended by a row
// whose value id is 0.
typedef struct VALUE_XLAT_ROW {
  LONG stored;
  WORD valueId;
  WORD reserved;
} VALUE_XLAT_ROW;

// One option item: a field of the DEVMODE, the printer configuration block or the work block.
typedef struct OPTION_ITEM {
  WORD id;
  WORD symbolKey;              // key of its names-table entry and description node; 0 = none
  DWORD typeWord;              // KV_TYPEWORD(block, value type, size)
  WORD offset;                 // from the start of its block
  SHORT storageClass;          // 0 not stored, 1 printer data (configuration block), 2 INI key
  const WCHAR *section;        // INI section or printer-data group; NULL = the printer's own
  const WCHAR *key;            // INI key or printer-data value name; NULL = none
  const VALUE_XLAT_ROW *xlat;  // NULL = stored value and value id are equal
  WORD outputCode;             // special conversion when written into a PJL template
  WORD state;                  // change, preset, quality-set and stamp fields
  DWORD flags;                 // 0 in the template; set per context by the UI set-up
  const WCHAR *name;           // field name and settings-file key; NULL = no name
} OPTION_ITEM;

// One entry of the names table (the description's vocabulary).
typedef struct SYMBOL_ENTRY {
  WORD itemId;  // 0 when the name does not name a stored item
  WORD key;
  const char *name;
} SYMBOL_ENTRY;

// A symbolic value name.
typedef struct VALUE_SYMBOL {
  WORD itemId;    // 0 for a free constant
  WORD ownerKey;  // symbol key of the owning item or group
  WORD valueId;
  WORD reserved;
  DWORD isStored;  // 1 for a value of a stored item, 0 for a free constant
  const char *name;
  LONG storedValue;
} VALUE_SYMBOL;

// An alert message that the rules name by key.
typedef struct MESSAGE_ENTRY {
  SHORT key;
  WORD textId;
  WORD captionId;  // 0 = the printer name
  WORD reserved;
  const char *name;
  DWORD reserved2;
} MESSAGE_ENTRY;

// A row of the listed-values table (keyed by item id) or of the item-group table (key 0xFFFF).
typedef struct VALUE_LIST_ROW {
  WORD key;
  DWORD count;
  const LONG *values;
} VALUE_LIST_ROW;

// A counted reference to the rows of one table.
typedef struct TABLE_REF {
  SHORT count;
  void *rows;
} TABLE_REF;

typedef struct CONTROL_RECORD CONTROL_RECORD;

// A page, sub-page, modal dialog or file dialog of the printer interface.
typedef struct DIALOG_RECORD {
  WORD templateId;
  WORD symbolKey;
  WORD kind;
  WORD reserved;
  const char *name;
  LONG helpContext;
  CONTROL_RECORD *controls;
  SHORT reserved2;
  SHORT controlCount;
  HWND window;
} DIALOG_RECORD;

// Dialog kind bits.
enum : WORD {
  KV_DLG_DOCUMENT_PAGE = 0x1,
  KV_DLG_DEVICE_PAGE = 0x2,
  KV_DLG_MODAL = 0x4,
  KV_DLG_APPLY_ONLY = 0x10,
  KV_DLG_TABBED_PAGE = 0x20,
  KV_DLG_FILE_OPEN_PRESET = 0x100,
  KV_DLG_FILE_PRESET = 0x200,
  KV_DLG_FILE_BITMAP = 0x400,
  KV_DLG_FILE_SAVE_OVERLAY = 0x800,
  KV_DLG_FILE_OVERLAY = 0x1000,
  KV_DLG_FILE_SAVE_PRESET = 0x2000,
};

// One control of a dialog.
struct CONTROL_RECORD {
  SHORT symbolKey;
  WORD controlId;
  SHORT type;
  SHORT alternateId;  // 0 in the template
  WORD helpId;
  WORD tipId;
  WORD infoId;
  SHORT link;  // another control's id, or a radio group's symbol key
  SHORT reserved;
  SHORT actionCode;
  const DESC_ITEM_NODE *node;  // NULL in the template
  OPTION_ITEM *item;           // bound option row; the template's rows in the template
  void *previousProc;
  void *extra;  // type-specific data; its first 16-bit field is its kind
  DWORD flags;
  WORD state;
  WORD reserved2;
  HWND window;
};

// Control flag of a length shown in the user's display unit.
#define KV_CTL_FLAG_LENGTH 0x80000000u

static_assert(sizeof(void *) == 4, "the tables are laid out for the 32-bit driver");
static_assert(sizeof(VALUE_XLAT_ROW) == 8, "VALUE_XLAT_ROW");
static_assert(sizeof(OPTION_ITEM) == 36, "OPTION_ITEM");
static_assert(sizeof(SYMBOL_ENTRY) == 8, "SYMBOL_ENTRY");
static_assert(sizeof(VALUE_SYMBOL) == 20, "VALUE_SYMBOL");
static_assert(sizeof(MESSAGE_ENTRY) == 16, "MESSAGE_ENTRY");
static_assert(sizeof(VALUE_LIST_ROW) == 12, "VALUE_LIST_ROW");
static_assert(sizeof(TABLE_REF) == 8, "TABLE_REF");
static_assert(sizeof(DIALOG_RECORD) == 28, "DIALOG_RECORD");
static_assert(sizeof(CONTROL_RECORD) == 48, "CONTROL_RECORD");

// Field accessors of an option row's type word.
inline DWORD KvItemBlock(const OPTION_ITEM *item) { return item->typeWord >> 30; }
inline DWORD KvItemValueType(const OPTION_ITEM *item) { return (item->typeWord >> 24) & 0x3Fu; }
inline DWORD KvItemSize(const OPTION_ITEM *item) { return item->typeWord & 0xFFFFu; }
// Value types whose field holds a text: 7 and 10 (ANSI), 8 and 11 (UTF-16), and 13-15,
// which the description format reserves for texts. The one definition every reader of
// value types uses (defaults, condition values).
inline bool KvValueTypeIsText(DWORD vt)
{
  return vt == KV_VT_ANSI || vt == KV_VT_WTEXT || vt == KV_VT_ANSI2 || vt == KV_VT_WTEXT2 || (vt >= 13 && vt <= 15);
}
// Whether the item is a bit item (value types KV_VT_BIT0-KV_VT_BIT31: one bit of its field).
inline bool KvItemIsBit(const OPTION_ITEM *item)
{
  DWORD vt = KvItemValueType(item);
  return vt >= KV_VT_BIT0 && vt <= KV_VT_BIT31;
}
