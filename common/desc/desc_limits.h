// What the description compiler writes into a compiled block, as rules that the grammar
// applies while it reads a description and that the stored-block validator checks again
// on a block read from outside the process: the item type words an OpenUI line can give,
// the numbers a paper and its printable areas may have, the words of the String and Alert
// records, and the names-table entries (symbol keys, value IDs, dialogs, controls,
// messages) that every key and ID of a block comes from.
#pragma once

#include "desc/desc_parse.h"

KV_BEGIN_DECLS

// Largest paper width or length in 0.1 mm a PageMMValue line may give (3.2 m); a number
// outside 0 to this drops the line.
#define DESC_PAPER_MM_MAX 32767

// 1 when an OpenUI line can give the type word: one type name or two joined by '|' (an
// unknown name counts as PickOne), or "Identity" alone or over the type of the item it
// names; 0 for any other word (0 itself, bits no type name has, three names at once).
BOOL WINAPI DescIsItemTypeWord(WORD type);

// The frame of a printable-area entry's orientation value: DMORIENT_PORTRAIT or
// DMORIENT_LANDSCAPE for a value of the orientation item, 0 for any other value ID.
DWORD WINAPI DescOrientationOf(WORD valueId);

// TRUE when a printable-area entry lies on its paper of width x length (0.1 mm, each 0 to
// DESC_PAPER_MM_MAX): its resolution is not 0, its orientation is a value of the
// orientation item, its six numbers are 0 or more, and the area of width w and length h at
// (x, y) and at the offsets (a, b) ends inside the paper, both measured in dots at the
// entry's resolution (the value ID is the dots per inch) in the entry's orientation (a
// landscape entry sees the paper's length as its width). FALSE otherwise; g may not be NULL.
BOOL WINAPI DescGeometryFitsPaper(LONG width, LONG length, const DESC_PAPER_GEOMETRY *g);

// 1 when a String record's character set is one a StringValue line can give (0 when the
// line gives none), 0 otherwise.
BOOL WINAPI DescIsCharSetWord(WORD charSet);
// The same for the String record's display flags.
BOOL WINAPI DescIsDisplayWord(WORD display);

// Fields of an Alert entry that take a word of a fixed list.
#define DESC_ALERT_ICON 0
#define DESC_ALERT_BUTTONS 1
#define DESC_ALERT_TIMING 2
// 1 when an Alert entry's field can hold the value: a word of its list, 0xFFFF for an
// unlisted word, or 0 for a field the entry does not give.
BOOL WINAPI DescIsAlertWord(DWORD field, WORD value);

// The names table as sets, for checks of many keys and IDs at once: one bit per 16-bit
// number, and the item ID of each symbol key. Built once per process; never NULL.
typedef struct DESC_NAME_SETS {
  DWORD valueIds[2048];
  DWORD itemIds[2048];
  DWORD dialogs[2048];
  DWORD controls[2048];
  DWORD messages[2048];
  const LONG *keyItem;  // item ID of each key below keyCount, -1 for a key without a name
  DWORD keyCount;
} DESC_NAME_SETS;
const DESC_NAME_SETS *WINAPI DescNameSets(void);
// 1 when the number is in a set of DESC_NAME_SETS, else 0.
static inline BOOL DescInSet(const DWORD *set, WORD number) { return (set[number >> 5] >> (number & 31)) & 1u; }
// DescKeyItemId on the sets.
static inline LONG DescSetsKeyItemId(const DESC_NAME_SETS *sets, WORD key)
{
  return key < sets->keyCount ? sets->keyItem[key] : -1;
}

// The names table as the compiler reads it (the template context's tables), one question
// at a time.
// The item ID the names table gives a symbol key, -1 for a key it does not have.
LONG WINAPI DescKeyItemId(WORD key);
// 1 when some symbol of the names table names that item ID (0 included for symbols that
// name no item), else 0.
BOOL WINAPI DescIsNamedItemId(WORD itemId);
// 1 when a value name of the tables has that value ID, else 0.
BOOL WINAPI DescIsValueId(WORD valueId);
// 1 when a dialog of the template context has that template ID, else 0.
BOOL WINAPI DescIsDialogId(WORD templateId);
// 1 when a control of the template context has that control ID, else 0.
BOOL WINAPI DescIsControlId(WORD controlId);
// 1 when an alert message of the template context has that key, else 0.
BOOL WINAPI DescIsMessageKey(WORD key);

KV_END_DECLS
