// Parse-time model of a printer description: what the keyword handlers build line by line
// and the serializer lays out into the compiled block.
#pragma once

#include "blob/desc_blob.h"
#include "desc/desc_arena.h"

KV_BEGIN_DECLS

// Diagnostics of a compile: every rejected line and every questionable reference.
#define DESC_DIAG_WARNING 1
#define DESC_DIAG_ERROR 2
typedef struct DESC_DIAG_SINK {
  void *user;
  // line: physical line (1-based) of the logical line, 0 for the file as a whole.
  void (*report)(void *user, DWORD line, DWORD severity, const char *message);
} DESC_DIAG_SINK;

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

// A name given to a numbered section ("*Judge 5=Name"): maps the name to its number.
typedef struct DESC_SECTION_NAME {
  struct DESC_SECTION_NAME *next;
  char *name;
  DWORD number;
} DESC_SECTION_NAME;

// Section-name kinds: 0 Judge, 1 Item, 2 Action, 3 Transact, 4 AlertAction, 5 Alert.
#define DESC_SECTION_NAME_KINDS 6

typedef struct DESC_PARSE_STATE {
  DESC_HEADER *header;  // zero-filled header under construction; links are pointers
  char *openName;       // open item's symbol name, NULL when no item is open
  WORD openKey;
  WORD openVariant;
  DWORD lastRow;  // keyword-table row + 1 that matched last, 0 = none
  DESC_COMMAND_STRING *strings;
  DESC_JUDGE *judges;
  DESC_SECTION *sections[DESC_SECTION_KINDS];
  DESC_RULE_BLOCK *exclusive;  // Exclusive entries, linked through next
  // Names of numbered sections, one list per kind. They belong to this parse alone (lists
  // shared by the process would be emptied and freed by two parses at once), and live
  // from DescInitSectionNames to DescFreeSectionNames (DescParseStateFree frees any left).
  DESC_SECTION_NAME *sectionNames[DESC_SECTION_NAME_KINDS];
  // Compile-time context (not part of the format).
  struct DRIVER_CONTEXT *names;  // template context for dialog, control and message names
  const DESC_DIAG_SINK *sink;    // may be NULL
  DWORD line;                    // physical line of the logical line being dispatched
  const char *fileName;          // for messages; may be NULL
  DWORD rejectedLines;
  void *internal;  // handler bookkeeping (list tails, rejected judges)
} DESC_PARSE_STATE;

// A new empty parse state with a zero-filled header under construction (free with
// DescParseStateFree); NULL when memory runs out.
DESC_PARSE_STATE *WINAPI DescParseStateCreate(void);
// Frees everything the state holds. Every node, text, list and code block of a parse
// lives in the state's own memory (an arena) and goes back with it at once, so each is
// freed exactly once whatever the item list looks like: variants and Identity items point
// at their base's value data and command pair, and the serializer may reorder the list.
void WINAPI DescParseStateFree(DESC_PARSE_STATE *state);
// Size of the blocks the state takes its memory in from now on; DESC_ARENA_ONE_EACH gives
// each node and text a block of its own, so that a failed allocation can be made to hit
// any one of them (fault-injection tests). NULL is ignored.
void WINAPI DescParseStateSetBlockSize(DESC_PARSE_STATE *state, DWORD blockBytes);
// Parses a description file; NULL when it cannot be read or memory ran out.
DESC_PARSE_STATE *WINAPI DescParseFile(LPCWSTR path);
// DescParseFile reporting each rejected line to sink (may be NULL).
DESC_PARSE_STATE *WINAPI DescParseFileEx(LPCWSTR path, const DESC_DIAG_SINK *sink);
// 0 accepted, 3 rejected.
DWORD WINAPI DescDispatchLine(DESC_PARSE_STATE *state, DESC_LINE *line);

// The section-name lists of one parse (one per kind 0-5, the numbers that named sections
// stand for). Empties the lists without freeing them.
void WINAPI DescInitSectionNames(DESC_PARSE_STATE *state);
// Frees every name of the lists; they are empty afterwards.
void WINAPI DescFreeSectionNames(DESC_PARSE_STATE *state);
// Appends a copy of name with its number to the list of kind; FALSE for a kind above 5, a
// NULL name or when memory runs out.
BOOL WINAPI DescAddSectionName(DESC_PARSE_STATE *state, DWORD kind, const char *name, DWORD number);
// The number of the first entry of that name (case-sensitive) in the list of kind; 0 when
// none, for a kind above 5 or a NULL name.
DWORD WINAPI DescFindSectionNumber(const DESC_PARSE_STATE *state, DWORD kind, const char *name);

// DescParseFileEx over text already in memory (size bytes; need not be NUL-terminated).
DESC_PARSE_STATE *WINAPI DescParseTextEx(const char *text, DWORD size, const DESC_DIAG_SINK *sink);

// Decimal value of every digit of a word (other characters skipped, a '-' anywhere makes it
// negative, NUL, a blank or '=' ends it): "Judge12" gives 12. 0 when it does not fit.
LONG WINAPI DescParseNumber(const char *word);
// DescParseNumber that tells an overflow (FALSE) from a value.
BOOL WINAPI DescParseNumberChecked(const char *word, LONG *value);
// Reference code of a rule token: DESC_REF_* prefix | low 16 bits of the number, 0 for a
// word beginning "NULL", DESC_REF_NAME for any other word (a section name).
DWORD WINAPI DescParseReference(const char *word);
// Parse-time size of one value node of an item type (24 PickPage and FontTbl, 20 PickSlot,
// 12 otherwise).
DWORD WINAPI DescValueNodeSize(WORD type);
// Type word of an OpenUI value ("PickMany | Foo" gives 3); *identityName receives the
// symbol name after "Identity *" (empty otherwise), identityName holds 64 characters.
WORD WINAPI DescParseItemType(const char *value, char *identityName);

// 1 when every character of text is a decimal digit (also for ""), else 0.
DWORD WINAPI StrIsAllDigits(const char *text);
// 1 when every character of text is an ASCII letter or digit (also for ""), else 0.
DWORD WINAPI StrIsAlnum(const char *text);

KV_END_DECLS
