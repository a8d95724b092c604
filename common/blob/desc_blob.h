// The compiled printer description: one block holding a fixed 6708-byte header followed
// by every node, text, condition code and list of the description.
//
// The same node layouts serve three forms:
//  - parse time: nodes are separate heap allocations linked by pointers (rule references
//    hold 32-bit reference codes "prefix << 16 | number");
//  - stored form (in the block after serialization and in the .BCS file): every link is
//    a 32-bit offset from the start of the block, 0 = none; links into the shared rule
//    data are tagged (offset * 16 + 1, always odd);
//  - relocated form: every link is a pointer.
// The build is 32-bit, so a pointer fills a 32-bit link field exactly.
//
// Inside the block, texts are stored unpadded in front of the nodes that use them, so
// item, value, geometry, option-command, statement and font nodes may start at any byte:
// read them through DescLd16 / DescLd32 / DescLdPtr with offsetof() of the structures
// below, never by dereferencing a structure pointer. The header (offset 0) and the rule
// data (4-byte units from offset 6708) are aligned.
#pragma once

#include <stddef.h>
#include <string.h>

#include "desc/rule_compile.h"

KV_BEGIN_DECLS

struct DESC_RULE_BLOCK;
struct DESC_STATEMENT;

// Rule link: a reference code at parse time, a tagged offset when stored, a pointer after
// relocation.
typedef ULONG_PTR DESC_RULE_LINK;

typedef struct DESC_OPTION_COMMAND {
  char *first;
  char *second;
} DESC_OPTION_COMMAND;

typedef struct DESC_ITEM_NODE {
  struct DESC_ITEM_NODE *next;
  WORD key;      // symbol key
  WORD variant;  // 0 base; variant number; Identity: key of the shared item
  WORD itemId;
  WORD type;          // DESC_TYPE_* with flags
  WORD defaultValue;  // PickOne class: position in the value list
  WORD pad;
  DESC_OPTION_COMMAND *command;
  struct DESC_RULE_BLOCK *rules;  // rule block of the item's key
  void *values;                   // value data, by type
} DESC_ITEM_NODE;

typedef struct DESC_PAPER_GEOMETRY {
  struct DESC_PAPER_GEOMETRY *next;
  WORD resolution;
  WORD orientation;
  WORD condKey;  // symbol key of the condition item, 0 = none
  WORD condValue;
  LONG x, y, w, h, a, b;
} DESC_PAPER_GEOMETRY;

// Value node of PickOne, PickMany and the other list types.
typedef struct DESC_VALUE_NODE {
  struct DESC_VALUE_NODE *next;
  WORD valueId;
  WORD pad;
  char *command;
} DESC_VALUE_NODE;

typedef struct DESC_PAGE_VALUE_NODE {  // PickPage
  DESC_VALUE_NODE base;
  LONG width;
  LONG length;
  DESC_PAPER_GEOMETRY *geometry;
} DESC_PAGE_VALUE_NODE;

typedef struct DESC_SLOT_VALUE_NODE {  // PickSlot
  DESC_VALUE_NODE base;
  DWORD count;
  WORD *papers;  // count paper value IDs
} DESC_SLOT_VALUE_NODE;

typedef struct DESC_FONT_VALUE_NODE {  // FontTbl
  DESC_VALUE_NODE base;
  DWORD count;
  char **names;        // count font names
  char **substitutes;  // count substitute names
} DESC_FONT_VALUE_NODE;

typedef struct DESC_BOOLEAN_VALUE {
  DWORD defaultValue;  // 1 True, 0 False
  char *trueText;
  char *falseText;
} DESC_BOOLEAN_VALUE;

typedef struct DESC_NUMERIC_VALUE {
  SHORT lead;
  SHORT number1;
  WORD divisor;  // display divisor (number 5)
  SHORT number6;
  SHORT number7;
  SHORT number8;
  DWORD defaultValue;
  DWORD minimum;
  DWORD maximum;
} DESC_NUMERIC_VALUE;

typedef struct DESC_STRING_VALUE {
  WORD defaultValue;  // value ID
  WORD maxLength;
  WORD charSet;  // DESC_CHARSET_*
  WORD display;  // DESC_DISPLAY_*
} DESC_STRING_VALUE;

// Rule data. Every DESC_RULE_LINK below is tagged when stored.
typedef struct DESC_VALUE_RULE {  // entry of an Item section
  DESC_RULE_LINK next;
  WORD valueId;
  WORD pad;
  DESC_RULE_LINK hideJudge;
  DESC_RULE_LINK disableJudge;
} DESC_VALUE_RULE;

typedef struct DESC_ACTION {  // entry of an Action section
  DESC_RULE_LINK next;
  WORD target;  // item ID (kind 0) or dialog template ID (kind 1)
  WORD kind;
  DWORD value;
} DESC_ACTION;

typedef struct DESC_TRANSACTION {  // entry of a Transact section
  DESC_RULE_LINK next;
  DESC_RULE_LINK judge;    // 0 = always
  DESC_RULE_LINK actions;  // first entry of an Action section
} DESC_TRANSACTION;

typedef struct DESC_ALERT_ACTION {  // entry of an AlertAction section
  DESC_RULE_LINK next;
  WORD button;  // message-box result
  WORD pad;
  DESC_RULE_LINK transactions;
  WORD dialog;   // dialog template ID
  WORD control;  // control ID
} DESC_ALERT_ACTION;

typedef struct DESC_ALERT {  // entry of an Alert section
  DESC_RULE_LINK next;
  DESC_RULE_LINK judge;
  WORD message;            // message symbol key
  WORD icon;               // MB_ICON* value, 0xFFFF unlisted
  WORD buttons;            // MB_* value, 0xFFFF unlisted
  WORD timing;             // 0-3, 0xFFFF unlisted
  DESC_RULE_LINK answers;  // first entry of an AlertAction section
} DESC_ALERT;

typedef struct DESC_RULE_BLOCK {  // Exclusive entry
  struct DESC_RULE_BLOCK *next;   // plain link; stored blocks are contiguous
  WORD key;
  WORD pad;
  DESC_RULE_LINK hideJudge;
  DESC_RULE_LINK disableJudge;
  DESC_RULE_LINK valueRules;     // first entry of an Item section
  DESC_RULE_LINK alerts;         // first entry of an Alert section
  DESC_RULE_LINK transactions1;  // first entry of a Transact section
  DESC_RULE_LINK transactions2;
} DESC_RULE_BLOCK;

// Command groups.
typedef struct DESC_COMMAND_BLOCK {
  DESC_RULE_LINK judge;  // 0 = unconditional
  struct DESC_STATEMENT *thenList;
  struct DESC_STATEMENT *elsePart;  // Else list, or the one conditional statement of ElseIf
} DESC_COMMAND_BLOCK;

#define DESC_STMT_GROUP 1
#define DESC_STMT_STRING 2
#define DESC_STMT_COMMAND 3
#define DESC_STMT_FONT 4

typedef struct DESC_STATEMENT {  // common head; FontType statements are just this
  struct DESC_STATEMENT *next;
  WORD kind;
  WORD key;  // GroupType: item symbol key; other kinds: pad
} DESC_STATEMENT;

typedef struct DESC_STATEMENT_GROUP {
  DESC_STATEMENT head;
  SHORT variant;
  WORD pad;
} DESC_STATEMENT_GROUP;

typedef struct DESC_STATEMENT_STRING {
  DESC_STATEMENT head;
  DWORD length;  // text bytes with the NUL; the CommandString number while unresolved
  char *text;
} DESC_STATEMENT_STRING;

typedef struct DESC_STATEMENT_COMMAND {
  DESC_STATEMENT head;
  DESC_COMMAND_BLOCK *block;
} DESC_STATEMENT_COMMAND;

typedef struct DESC_FONT_ID {
  DWORD fontId;
  char *name;
} DESC_FONT_ID;

#define DESC_GROUP_JOB_START 0
#define DESC_GROUP_JOB_END 1
#define DESC_GROUP_DOC_RESET 2
#define DESC_GROUP_PAGE_START 3
#define DESC_GROUP_PAGE_END 4
#define DESC_GROUP_COUNT 5

#define DESC_SLOTS_LOW 600       // item IDs 1-600
#define DESC_SLOTS_EXTENDED 385  // item IDs 10001-10385
#define DESC_SLOTS_HIGH 670      // item IDs 601-1270

typedef struct DESC_HEADER {
  WCHAR fileVersion[16];
  DWORD totalSize;
  DESC_ITEM_NODE *items;
  DESC_ITEM_NODE *slotsLow[DESC_SLOTS_LOW];
  DESC_ITEM_NODE *slotsExtended[DESC_SLOTS_EXTENDED];
  DESC_ITEM_NODE *slotsHigh[DESC_SLOTS_HIGH];
  WCHAR *uiResDllName;
  WCHAR *excDepDllName;
  DESC_COMMAND_BLOCK *groups[DESC_GROUP_COUNT];  // JobStart, JobEnd, DocReset, PageStart, PageEnd
  DWORD deviceFontCount;
  DESC_FONT_ID **deviceFonts;
  DWORD cartridgeFontCount;
  DESC_FONT_ID **cartridgeFonts;
  DESC_RULE_BLOCK *rules;  // first Exclusive entry
} DESC_HEADER;

// The compiled description. The header is at offset 0; the rest of the block follows it.
typedef struct DESC_BLOB {
  DESC_HEADER header;
} DESC_BLOB;

#define DESC_HEADER_SIZE 6708
#define DESC_TAG(offset) ((DWORD)(offset)*16u + 1u)
#define DESC_IS_TAGGED(value) (((value)&1u) != 0)

// Item types (the type word; bits 0x3000 are flags).
#define DESC_TYPE_PICK_ONE 0x1
#define DESC_TYPE_PICK_MANY 0x2
#define DESC_TYPE_BOOLEAN 0x4
#define DESC_TYPE_NUMERIC 0x8
#define DESC_TYPE_STRING 0x10
#define DESC_TYPE_PICK_PAGE 0x101
#define DESC_TYPE_PICK_SLOT 0x201
#define DESC_TYPE_FONT_TABLE 0x401
#define DESC_TYPE_IDENTITY 0x1000
#define DESC_TYPE_UNKNOWN 0x2000
#define DESC_TYPE_FLAGS 0x3000

// Offset of the header's direct slot of an item ID, 0 when the ID has no slot.
static inline DWORD DescSlotOffset(WORD itemId)
{
  if (itemId >= 1 && itemId <= 600) return 36u + 4u * itemId;
  if (itemId >= 10001 && itemId <= 10385) return 4u * itemId - 37564u;
  if (itemId >= 601 && itemId <= 1270) return 1576u + 4u * itemId;
  return 0;
}

// Unaligned little-endian access to node fields (the build target is little-endian).
static inline WORD DescLd16(const void *node, size_t offset)
{
  WORD v;
  memcpy(&v, (const BYTE *)node + offset, sizeof v);
  return v;
}
static inline DWORD DescLd32(const void *node, size_t offset)
{
  DWORD v;
  memcpy(&v, (const BYTE *)node + offset, sizeof v);
  return v;
}
static inline const BYTE *DescLdPtr(const void *node, size_t offset)
{
  const BYTE *v;
  memcpy(&v, (const BYTE *)node + offset, sizeof v);
  return v;
}
static inline void DescSt16(void *node, size_t offset, WORD v) { memcpy((BYTE *)node + offset, &v, sizeof v); }
static inline void DescSt32(void *node, size_t offset, DWORD v) { memcpy((BYTE *)node + offset, &v, sizeof v); }
static inline void DescStPtr(void *node, size_t offset, const void *v) { memcpy((BYTE *)node + offset, &v, sizeof v); }

// Field readers: DESC_FIELD16(node, DESC_ITEM_NODE, itemId).
#define DESC_FIELD16(node, type, field) DescLd16((node), offsetof(type, field))
#define DESC_FIELD32(node, type, field) DescLd32((node), offsetof(type, field))
#define DESC_FIELDPTR(node, type, field) DescLdPtr((node), offsetof(type, field))

KV_END_DECLS

#ifdef __cplusplus
static_assert(sizeof(DESC_HEADER) == DESC_HEADER_SIZE, "header layout");
static_assert(sizeof(DESC_ITEM_NODE) == 28, "item node");
static_assert(sizeof(DESC_VALUE_NODE) == 12 && sizeof(DESC_PAGE_VALUE_NODE) == 24 &&
                  sizeof(DESC_SLOT_VALUE_NODE) == 20 && sizeof(DESC_FONT_VALUE_NODE) == 24,
              "value nodes");
static_assert(sizeof(DESC_PAPER_GEOMETRY) == 36 && sizeof(DESC_BOOLEAN_VALUE) == 12 &&
                  sizeof(DESC_NUMERIC_VALUE) == 24 && sizeof(DESC_STRING_VALUE) == 8,
              "value data");
static_assert(sizeof(DESC_VALUE_RULE) == 16 && sizeof(DESC_ACTION) == 12 && sizeof(DESC_TRANSACTION) == 12 &&
                  sizeof(DESC_ALERT_ACTION) == 16 && sizeof(DESC_ALERT) == 20 && sizeof(DESC_RULE_BLOCK) == 32,
              "rule data");
static_assert(sizeof(DESC_COMMAND_BLOCK) == 12 && sizeof(DESC_STATEMENT) == 8 && sizeof(DESC_STATEMENT_GROUP) == 12 &&
                  sizeof(DESC_STATEMENT_STRING) == 16 && sizeof(DESC_STATEMENT_COMMAND) == 12 &&
                  sizeof(DESC_FONT_ID) == 8,
              "command groups and fonts");
static_assert(offsetof(DESC_HEADER, slotsExtended) == 2440 && offsetof(DESC_HEADER, slotsHigh) == 3980 &&
                  offsetof(DESC_HEADER, uiResDllName) == 6660 && offsetof(DESC_HEADER, groups) == 6668 &&
                  offsetof(DESC_HEADER, deviceFontCount) == 6688 && offsetof(DESC_HEADER, rules) == 6704,
              "header offsets");
#endif
