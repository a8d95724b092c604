// Resource DLLs of a context (language strings and pictures), resource strings completed
// with the values they describe, fixed-point text, and the driver's language table.
#pragma once

#include "context.h"

// One language of the driver: its id (the value of kdmLanguageID), the Windows primary
// and sub-language (0 = any) and its two-letter code. The table ends with id 0xFFFF.
typedef struct LANGUAGE_ROW {
  WORD id;
  WORD primary;
  WORD sub;
  const WCHAR *code;
} LANGUAGE_ROW;

// Strings completed with a value text: the slot of a custom paper (kind 2) or the unit
// name (kind 3). The table ends with id 0.
typedef struct RES_VALUE_TEXT_ROW {
  DWORD id;
  DWORD slot;
  DWORD kind;
} RES_VALUE_TEXT_ROW;

#define KV_LANGUAGE_DEFAULT_ID 1
#define KV_LANGUAGE_NONE 0xFFFF
#define KV_ITEM_LANGUAGE_ID 169
#define KV_RES_UNIT_METRIC 153
#define KV_RES_UNIT_INCH 154

KV_BEGIN_DECLS

// The language and the language-neutral (picture) DLLs of a context, loaded on first use
// and kept; NULL when they cannot be loaded (tried again at the next call).
HMODULE WINAPI ResGetLanguageDll(DRIVER_CONTEXT *ctx);
// The language-neutral DLL (CtxCopyCommonResDllPath), loaded on first use; NULL as above.
HMODULE WINAPI ResGetPictureDll(DRIVER_CONTEXT *ctx);
// Frees both DLLs of a context.
void WINAPI ResFreeDlls(DRIVER_CONTEXT *ctx);
// FreeLibrary; NULL is ignored.
void WINAPI OsFreeLibrary(HMODULE module);

// Loads string id into dst (cch characters, always terminated); "" and 0 without the
// language DLL. Without withValue answers the characters loaded; with it completes the
// string with its value text (ResAppendValueText, the text must fit cch) and answers the
// length of the result.
LONG WINAPI ResLoadString(DRIVER_CONTEXT *ctx, UINT id, WCHAR *dst, int cch, BOOL withValue);
// Completes string id in str (a buffer of cch characters) with its value text: a name or
// unit that replaces the string is cut to cch - 1 characters, an appended dimension text
// that would not fit is left out whole. Nothing is written at or past str[cch].
void WINAPI ResAppendValueText(DRIVER_CONTEXT *ctx, UINT id, WCHAR *str, int cch);
// dst := value / divisor as a decimal with as many places as the divisor has zeros
// (1 to 4), else the whole value; dst holds at least 16 characters.
void WINAPI StrFormatFixedPoint(WCHAR *dst, LONG divisor, LONG value);

// The language table and the mappings between ids, codes and Windows languages.
// The driver's language table, ended by id 0xFFFF.
const LANGUAGE_ROW *WINAPI ResGetLanguageTable(void);
// The table of strings completed with a value text, ended by id 0.
const RES_VALUE_TEXT_ROW *WINAPI ResGetValueTextTable(void);
// Language codes (static, never NULL) and ids answer the default, "us" and id 1, for a
// language that is not in the table, unless noted. The code of a language id.
const WCHAR *WINAPI ResIndexToLanguageCode(WORD id);
// The code of the context's kdmLanguageID item.
const WCHAR *WINAPI ResGetItemLanguageCode(DRIVER_CONTEXT *ctx);
// The id of a two-letter code (any case; a longer text matches nothing).
WORD WINAPI ResCodeToLanguageIndex(const WCHAR *code);
// The table's own spelling of a two-letter code.
const WCHAR *WINAPI ResFindLanguageCode(const WCHAR *code);
// The id of the code in the two characters before the last '.' of a help file's name.
WORD WINAPI ResHelpFileToLanguageIndex(const WCHAR *path);
// The code in the two characters before the last '.' of a help file's name.
const WCHAR *WINAPI ResHelpFileToLanguageCode(const WCHAR *path);
// The id of the driver's registered help file (read into the state's text buffer).
WORD WINAPI ResGetDriverLanguageIndex(DRIVER_CONTEXT *ctx);
// The code of the driver's registered help file.
const WCHAR *WINAPI ResGetDriverLanguageCode(DRIVER_CONTEXT *ctx);
// The id of the printer's "HelpFileName" (read into the state's text buffer).
WORD WINAPI ResGetPrinterLanguageIndex(DRIVER_CONTEXT *ctx);
// The code of the context printer's "HelpFileName".
const WCHAR *WINAPI ResGetPrinterLanguageCodeOfCtx(DRIVER_CONTEXT *ctx);
// The code of a printer's "HelpFileName".
const WCHAR *WINAPI ResGetPrinterLanguageCode(HANDLE printer);
// ResLcidToLanguageIndex of the user's default locale.
WORD WINAPI ResGetUserLanguageIndex(void);
// ResFindLanguageIndex of a locale's primary and sub-language.
WORD WINAPI ResLcidToLanguageIndex(LCID lcid);
// The id of the first row with that primary language whose sub-language is 0 or sub;
// KV_LANGUAGE_NONE when none.
WORD WINAPI ResFindLanguageIndex(WORD primary, WORD sub);
// The Windows primary language of a language id, *sub (optional) its sub-language (0 for
// any); 0 and *sub 0 for an unknown id.
BYTE WINAPI ResIndexToLangId(BYTE id, WORD *sub);
// Whether id is in the language table.
int WINAPI ResIsLanguageIndex(WORD id);

KV_END_DECLS
