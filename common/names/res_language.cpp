// The driver's languages: the table of language ids, Windows languages and two-letter
// codes, and the mappings between them, from item values, help file names and locales.
#include "items/item_store.h"
#include "os/os.h"
#include "os/os_registry.h"
#include "names/names_paths.h"
#include "names/resources.h"
#include "os/printer_data.h"

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

WORD WINAPI ResGetDriverLanguageIndex(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return KV_LANGUAGE_DEFAULT_ID;
  WCHAR *buf = ctx->state->textBuffer;
  if (!OsGetDriverHelpFile(CtxGetDriverName(ctx), buf, sizeof ctx->state->textBuffer, ctx))
    return KV_LANGUAGE_DEFAULT_ID;
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
  if (!StoreGetHelpFileName(buf, sizeof ctx->state->textBuffer, ctx)) return KV_LANGUAGE_DEFAULT_ID;
  return ResHelpFileToLanguageIndex(buf);
}

const WCHAR *WINAPI ResGetPrinterLanguageCodeOfCtx(DRIVER_CONTEXT *ctx)
{
  return ResIndexToLanguageCode(ResGetPrinterLanguageIndex(ctx));
}

const WCHAR *WINAPI ResGetPrinterLanguageCode(HANDLE printer)
{
  WCHAR buf[1025];
  if (!StoreGetHelpFileNameOfPrinter(buf, sizeof buf, printer)) return kDefaultCode;
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
