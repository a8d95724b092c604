// Parse-time model of a printer description: what the keyword handlers build line by line
// and the serializer lays out into the compiled block.
#pragma once

#include "desc_blob.h"

KV_BEGIN_DECLS

typedef struct DESC_COMMAND_STRING {
  struct DESC_COMMAND_STRING *next;
  DWORD number;
  DWORD length;  // bytes of text including its NUL
  char *text;
} DESC_COMMAND_STRING;

typedef struct DESC_JUDGE {
  struct DESC_JUDGE *next;
  DWORD number;
  DWORD length;  // bytes of code including its END unit
  RULE_CODE_UNIT *code;
} DESC_JUDGE;

// A numbered Item, Action, Transact, AlertAction or Alert section.
typedef struct DESC_SECTION {
  struct DESC_SECTION *next;
  DWORD number;
  void *first;  // first entry (DESC_VALUE_RULE, DESC_ACTION, ...), linked through their next
} DESC_SECTION;

// Section kinds, in the order of the parse state's section lists.
#define DESC_SECTION_ITEM 0
#define DESC_SECTION_ACTION 1
#define DESC_SECTION_TRANSACT 2
#define DESC_SECTION_ALERT_ACTION 3
#define DESC_SECTION_ALERT 4
#define DESC_SECTION_KINDS 5

// Reference codes: section prefix in the upper 16 bits, number in the lower 16.
#define DESC_REF_JUDGE 0x10000u
#define DESC_REF_ITEM 0x20000u
#define DESC_REF_ACTION 0x30000u
#define DESC_REF_TRANSACT 0x40000u
#define DESC_REF_ALERT 0x50000u
#define DESC_REF_ALERT_ACTION 0x60000u
#define DESC_REF_NAME 0x70000u

typedef struct DESC_PARSE_STATE {
  DESC_HEADER *header;        // zero-filled header under construction; links are pointers
  char *openName;             // open item's symbol name, NULL when no item is open
  WORD openKey;
  WORD openVariant;
  DWORD lastRow;              // keyword-table row + 1 that matched last, 0 = none
  DESC_COMMAND_STRING *strings;
  DESC_JUDGE *judges;
  DESC_SECTION *sections[DESC_SECTION_KINDS];
  DESC_RULE_BLOCK *exclusive;  // Exclusive entries, linked through next
  // Compile-time context (not part of the format).
  struct DRIVER_CONTEXT *names;  // template context for dialog, control and message names
  const DESC_DIAG_SINK *sink;    // may be NULL
  DWORD line;                    // physical line of the logical line being dispatched
  const char *fileName;          // for messages; may be NULL
  DWORD rejectedLines;
  void *internal;                // handler bookkeeping (list tails, rejected judges)
} DESC_PARSE_STATE;

DESC_PARSE_STATE *WINAPI DescParseStateCreate(void);
void WINAPI DescParseStateFree(DESC_PARSE_STATE *state);
// Parses a description file; NULL when it cannot be read or memory ran out.
DESC_PARSE_STATE *WINAPI DescParseFile(LPCWSTR path);
// DescParseFile reporting each rejected line to sink (may be NULL).
DESC_PARSE_STATE *WINAPI DescParseFileEx(LPCWSTR path, const DESC_DIAG_SINK *sink);
// 0 accepted, 3 rejected.
DWORD WINAPI DescDispatchLine(DESC_PARSE_STATE *state, DESC_LINE *line);

void WINAPI DescInitSectionNames(void);
void WINAPI DescFreeSectionNames(void);
BOOL WINAPI DescAddSectionName(DWORD kind, const char *name, DWORD number);
DWORD WINAPI DescFindSectionNumber(DWORD kind, const char *name);

DWORD WINAPI StrIsAllDigits(const char *text);
DWORD WINAPI StrIsAlnum(const char *text);

KV_END_DECLS
