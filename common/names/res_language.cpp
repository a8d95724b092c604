// The driver's languages: the table of language ids, Windows languages and two-letter
// codes, and the mappings between them, from item values, help file names and locales.
#include "items/item_store.h"
#include "os/os.h"
#include "names/resources.h"

static const LANGUAGE_ROW kLanguages[] = {
    {0, 0x11, 0, u"jp"},  {1, 0x09, 0, u"us"},  {2, 0x05, 0, u"cz"},  {3, 0x06, 0, u"dn"},  {4, 0x07, 0, u"gm"},
    {5, 0x0A, 0, u"sp"},  {6, 0x0C, 0, u"fr"},  {7, 0x10, 0, u"it"},  {8, 0x0E, 0, u"hn"},  {9, 0x13, 0, u"dt"},
    {10, 0x14, 0, u"nw"}, {11, 0x15, 0, u"pl"}, {12, 0x16, 0, u"pr"}, {13, 0x0B, 0, u"fn"}, {14, 0x1D, 0, u"sw"},
    {16, 0x04, 2, u"cs"}, {17, 0x04, 1, u"ct"}, {18, 0x12, 0, u"kr"}, {15, 0x19, 0, u"ru"}, {0xFFFF, 0xFFFF, 0, NULL},
};

static const WCHAR kDefaultCode[] = u"us";

const LANGUAGE_ROW *WINAPI ResGetLanguageTable(void) { return kLanguages; }

static const LANGUAGE_ROW *RowById(WORD id)
{
  for (const LANGUAGE_ROW *row = kLanguages; row->code != NULL; ++row)
    if (row->id == id) return row;
  return NULL;
}

static WCHAR Upper(WCHAR c) { return c >= u'a' && c <= u'z' ? (WCHAR)(c - 32) : c; }

static const LANGUAGE_ROW *RowByCode(const WCHAR *code)
{
  if (code == NULL) return NULL;
  for (const LANGUAGE_ROW *row = kLanguages; row->code != NULL; ++row) {
    if (Upper(code[0]) == Upper(row->code[0]) && code[0] != 0 && Upper(code[1]) == Upper(row->code[1]) &&
        code[1] != 0 && code[2] == 0)
      return row;
  }
  return NULL;
}

const WCHAR *WINAPI ResIndexToLanguageCode(WORD id)
{
  const LANGUAGE_ROW *row = RowById(id);
  return row != NULL ? row->code : kDefaultCode;
}

const WCHAR *WINAPI ResGetItemLanguageCode(DRIVER_CONTEXT *ctx)
{
  return ResIndexToLanguageCode((WORD)ItemGetRaw(ctx, KV_ITEM_LANGUAGE_ID, NULL));
}

WORD WINAPI ResCodeToLanguageIndex(const WCHAR *code)
{
  const LANGUAGE_ROW *row = RowByCode(code);
  return row != NULL ? row->id : KV_LANGUAGE_DEFAULT_ID;
}

const WCHAR *WINAPI ResFindLanguageCode(const WCHAR *code)
{
  const LANGUAGE_ROW *row = RowByCode(code);
  return row != NULL ? row->code : kDefaultCode;
}

// The two characters just before the last '.' of the file-name part, as a terminated
// code; FALSE when the name has no such two characters.
static BOOL HelpFileCode(const WCHAR *path, WCHAR code[3])
{
  if (path == NULL) return FALSE;
  const WCHAR *name = path;
  for (const WCHAR *p = path; *p != 0; ++p)
    if (*p == u'\\' || *p == u'/' || *p == u':') name = p + 1;
  const WCHAR *dot = NULL;
  for (const WCHAR *p = name; *p != 0; ++p)
    if (*p == u'.') dot = p;
  if (dot == NULL || dot - name < 2) return FALSE;
  code[0] = dot[-2];
  code[1] = dot[-1];
  code[2] = 0;
  return TRUE;
}

WORD WINAPI ResHelpFileToLanguageIndex(const WCHAR *path)
{
  WCHAR code[3];
  return HelpFileCode(path, code) ? ResCodeToLanguageIndex(code) : KV_LANGUAGE_DEFAULT_ID;
}

const WCHAR *WINAPI ResHelpFileToLanguageCode(const WCHAR *path)
{
  WCHAR code[3];
  return HelpFileCode(path, code) ? ResFindLanguageCode(code) : kDefaultCode;
}

// The help file that the printer's driver registered ("Help File"), into buf.
static BOOL ReadDriverHelpFile(HANDLE printer, WCHAR *buf, int cch)
{
  DRIVER_INFO_3W *info = (DRIVER_INFO_3W *)OsGetPrinterDriverInfo(printer, 3);
  if (info == NULL) return FALSE;
  BOOL ok = info->pHelpFile != NULL && info->pHelpFile[0] != 0 && lstrlenW(info->pHelpFile) < cch;
  if (ok) lstrcpynW(buf, info->pHelpFile, cch);
  GlobalFree(info);
  return ok;
}

// The printer-data value "HelpFileName" of a printer, into buf (cch characters).
static BOOL ReadPrinterHelpFile(HANDLE printer, WCHAR *buf, int cch)
{
  DWORD type = 0, needed = 0;
  DWORD bytes = (DWORD)(cch - 1) * sizeof(WCHAR);
  if (printer == NULL || GetPrinterDataW(printer, (LPWSTR)u"HelpFileName", &type, (LPBYTE)buf, bytes, &needed) != 0)
    return FALSE;
  if (needed > bytes) return FALSE;
  buf[needed / sizeof(WCHAR)] = 0;
  return buf[0] != 0;
}

BOOL WINAPI ResReadDriverHelpFile(DRIVER_CONTEXT *ctx, WCHAR *buf, int cch)
{
  return ctx != NULL && buf != NULL && cch > 1 && ReadDriverHelpFile(ctx->printer, buf, cch);
}

BOOL WINAPI ResReadPrinterHelpFile(HANDLE printer, WCHAR *buf, int cch)
{
  return buf != NULL && cch > 1 && ReadPrinterHelpFile(printer, buf, cch);
}

WORD WINAPI ResGetDriverLanguageIndex(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return KV_LANGUAGE_DEFAULT_ID;
  WCHAR *buf = ctx->state->textBuffer;
  if (!ResReadDriverHelpFile(ctx, buf, 1025)) return KV_LANGUAGE_DEFAULT_ID;
  return ResHelpFileToLanguageIndex(buf);
}

const WCHAR *WINAPI ResGetDriverLanguageCode(DRIVER_CONTEXT *ctx)
{
  return ResIndexToLanguageCode(ResGetDriverLanguageIndex(ctx));
}

WORD WINAPI ResGetPrinterLanguageIndex(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return KV_LANGUAGE_DEFAULT_ID;
  WCHAR *buf = ctx->state->textBuffer;
  if (!ResReadPrinterHelpFile(ctx->printer, buf, 1025)) return KV_LANGUAGE_DEFAULT_ID;
  return ResHelpFileToLanguageIndex(buf);
}

const WCHAR *WINAPI ResGetPrinterLanguageCodeOfCtx(DRIVER_CONTEXT *ctx)
{
  return ResIndexToLanguageCode(ResGetPrinterLanguageIndex(ctx));
}

const WCHAR *WINAPI ResGetPrinterLanguageCode(HANDLE printer)
{
  WCHAR buf[1025];
  if (!ResReadPrinterHelpFile(printer, buf, 1025)) return kDefaultCode;
  return ResHelpFileToLanguageCode(buf);
}

WORD WINAPI ResFindLanguageIndex(WORD primary, WORD sub)
{
  for (const LANGUAGE_ROW *row = kLanguages; row->code != NULL; ++row)
    if (row->primary == primary && (row->sub == 0 || row->sub == sub)) return row->id;
  return KV_LANGUAGE_NONE;
}

WORD WINAPI ResLcidToLanguageIndex(LCID lcid)
{
  return ResFindLanguageIndex((WORD)(lcid & 0x3FF), (WORD)((lcid & 0xFFFF) >> 10));
}

WORD WINAPI ResGetUserLanguageIndex(void) { return ResLcidToLanguageIndex(GetUserDefaultLCID()); }

BYTE WINAPI ResIndexToLangId(BYTE id, WORD *sub)
{
  if (sub != NULL) *sub = 0;
  const LANGUAGE_ROW *row = RowById(id);
  if (row == NULL) return 0;
  if (sub != NULL && row->sub != 0) *sub = row->sub;
  return (BYTE)(row->primary & 0xFF);
}

int WINAPI ResIsLanguageIndex(WORD id) { return RowById(id) != NULL; }
