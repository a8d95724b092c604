// Items in INI keys: the text encoding of each value type, read from a file or a section
// image and written to a file or a composed section.
#include "files/ini.h"
#include "hooks/build_hooks.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "tables/item_ids.h"
#include "names/names_paths.h"
#include "store/ini_image.h"
#include "store/settings_files.h"

namespace {

// Characters of the buffer a number is read into.
constexpr WORD kNumberChars = 16;

bool IsAbsolute(LPCWSTR path) { return path != NULL && path[0] != 0 && path[1] == u':'; }

bool IsTextType(DWORD vt) { return vt >= KV_VT_ANSI && vt <= KV_VT_BLOCK2; }

bool IsBitType(DWORD vt) { return vt >= KV_VT_BIT0 && vt <= KV_VT_BIT31; }

// The item's key read from the image (when given) or from the file's section.
WORD ReadKey(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LPCWSTR path, const char *image, LONG *cursor,
             LPCWSTR defaultValue, LPWSTR out, WORD capacity)
{
  if (image != NULL) return IniImageGetString(item->key, defaultValue, out, capacity, image, cursor);
  const WCHAR *section = item->section != NULL ? item->section : CtxGetPrinterName(ctx);
  return static_cast<WORD>(IniGetString(section, item->key, defaultValue, out, capacity, path));
}

// The number a key's text stands for: blanks, an optional sign, decimal digits and
// blanks again. Larger numbers saturate far beyond every field, so they stay out of range;
// false for text that is no such number ("", "abc", "12abc", "0x10").
bool ParseFileNumber(const WCHAR *text, LONGLONG *number)
{
  const LONGLONG kSaturated = 1LL << 40;
  while (*text == u' ' || *text == u'\t') ++text;
  bool negative = *text == u'-';
  if (*text == u'-' || *text == u'+') ++text;
  if (*text < u'0' || *text > u'9') return false;
  LONGLONG v = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text) {
    v = v * 10 + (*text - u'0');
    if (v > kSaturated) v = kSaturated;
  }
  while (*text == u' ' || *text == u'\t') ++text;
  if (*text != 0) return false;
  *number = negative ? -v : v;
  return true;
}

// Notes in the context's read report, if a caller asked for one, that the item's value
// was corrected.
void NoteCorrection(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, const WCHAR *text)
{
  KST_READ_REPORT *report = ctx->state != NULL ? ctx->state->readReport : NULL;
  if (report == NULL) return;
  if (report->rows != NULL && report->corrected < report->capacity) {
    KST_CORRECTION *row = &report->rows[report->corrected];
    row->itemId = item->id;
    lstrcpynW(row->text, text, sizeof(row->text) / sizeof(row->text[0]));
  }
  ++report->corrected;
}

// Reads a text item; a build may let some items keep an empty value, which is told from
// a missing key by a default no stored value can equal.
int ReadText(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR path, const char *image, LONG *cursor)
{
  DWORD size = KvItemSize(item);
  bool emptyAllowed = StoreIsEmptyValueItem(item->id) != 0;
  DWORD capacity = emptyAllowed ? size + 10 : size;
  if (capacity == 0 || capacity > 0xFFFF) return 0;
  WCHAR *value = static_cast<WCHAR *>(MemAllocZeroed(capacity * sizeof(WCHAR)));
  WCHAR *marker = emptyAllowed ? static_cast<WCHAR *>(MemAllocZeroed((size + 10) * sizeof(WCHAR))) : NULL;
  int found = 0;
  if (value != NULL && (!emptyAllowed || marker != NULL)) {
    if (marker != NULL) {
      for (DWORD i = 0; i < size + 9; ++i) marker[i] = u'*';
    }
    WORD n = ReadKey(ctx, item, path, image, cursor, marker != NULL ? marker : u"", value, static_cast<WORD>(capacity));
    found = marker != NULL ? lstrcmpW(value, marker) != 0 : n != 0;
    if (found && ItemWriteText(ctx, item, value) == NULL) found = 0;
  }
  MemFree(value);
  MemFree(marker);
  return found;
}

// The item's value as its key's text: a number by its value type, or the field's text.
// buffer holds cch characters; false when the field cannot be read.
bool FormatValue(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, WCHAR *buffer, int cch)
{
  DWORD vt = KvItemValueType(item);
  if (IsTextType(vt)) return ItemReadText(ctx, item, buffer) != NULL;
  if (ItemGetAddress(ctx, item) == NULL || cch < kNumberChars) return false;
  LONG raw = ItemReadRaw(ctx, item);
  switch (vt) {
    case KV_VT_S8:
    case KV_VT_S16: wsprintfW(buffer, u"%d", static_cast<int>(raw)); return true;
    case KV_VT_S32: wsprintfW(buffer, u"%ld", static_cast<long>(raw)); return true;
    case KV_VT_U8:
    case KV_VT_U16: wsprintfW(buffer, u"%u", static_cast<unsigned>(raw)); return true;
    case KV_VT_U32: wsprintfW(buffer, u"%lu", static_cast<unsigned long>(static_cast<DWORD>(raw))); return true;
    default: break;
  }
  if (IsBitType(vt)) {
    wsprintfW(buffer, u"%d", raw != 0 ? 1 : 0);
    return true;
  }
  return false;
}

// Removes CR and LF from a text value: a settings file holds one key a line, and a line
// break inside a value would end it early and make its rest a line of its own (another
// key's value on the next read).
void StripLineBreaks(WCHAR *text)
{
  WCHAR *out = text;
  for (const WCHAR *p = text; *p != 0; ++p)
    if (*p != u'\r' && *p != u'\n') *out++ = *p;
  *out = 0;
}

}  // namespace

int WINAPI StoreReadItemFromIni(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR path, const char *image, LONG *cursor)
{
  if (!IsAbsolute(path) || item == NULL || item->key == NULL) return 1;
  if (ctx == NULL || ItemGetAddress(ctx, item) == NULL) return 0;
  LONG scratch = 0;
  if (cursor == NULL) cursor = &scratch;
  DWORD vt = KvItemValueType(item);
  if (IsTextType(vt)) return ReadText(ctx, item, path, image, cursor);
  if (vt < KV_VT_S8 || (vt > KV_VT_U32 && !IsBitType(vt))) return 0;
  WCHAR text[kNumberChars];
  if (ReadKey(ctx, item, path, image, cursor, u"", text, kNumberChars) == 0) return 0;
  LONGLONG number = 0;
  BOOL isNumber = ParseFileNumber(text, &number) ? TRUE : FALSE;
  if (ItemStoreFileNumber(ctx, item, number, isNumber) != KV_FILE_NUMBER_TAKEN) NoteCorrection(ctx, item, text);
  return 1;
}

int WINAPI StoreWriteItemToIni(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR path,
                               INI_SECTION_BUFFER *image, DWORD *offset)
{
  (void)printer;
  if (!IsAbsolute(path) || item == NULL || item->key == NULL) return 1;
  if (ctx == NULL) return 0;
  DWORD vt = KvItemValueType(item);
  int cch = IsTextType(vt) ? static_cast<int>(KvItemSize(item)) + 1 : kNumberChars;
  if (cch < 6) cch = 6;
  WCHAR *value = static_cast<WCHAR *>(MemAllocZeroed(static_cast<DWORD>(cch) * sizeof(WCHAR)));
  int written = 0;
  if (value != NULL && FormatValue(ctx, item, value, cch)) {
    if (IsTextType(vt)) StripLineBreaks(value);
    if (image != NULL) {
      written = IniImagePutString(offset, item->key, value, image);
    } else {
      const WCHAR *section = item->section != NULL ? item->section : CtxGetPrinterName(ctx);
      written = IniWriteString(section, item->key, value, path) ? 1 : 0;
    }
  }
  MemFree(value);
  return written;
}
