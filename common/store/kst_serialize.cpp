// The settings-file serializer: one walk over the option table that reads a kst section
// from the loaded file image or composes it for one rewrite, and the key-by-key range of
// the printer-configuration items.
#include <string.h>

#include "files/ini.h"
#include "files/paths.h"
#include "hooks/module_hooks.h"
#include "items/item_store.h"
#include "tables/item_ids.h"
#include "names/names_paths.h"
#include "store/settings_files.h"

namespace {

// Rows of the option table a settings file covers unless it holds the printer
// configuration (which walks all rows), and the rows it never covers (the state and work
// items 601 to 817).
constexpr int kLastSettingsRow = 1058;
constexpr int kFirstSkippedRow = 600;
constexpr int kLastSkippedRow = 816;
// Rows 0 to 4 stand for the five custom paper size items when the flags ask for them.
constexpr int kFreeSizeRows = 5;

bool IsAbsolute(LPCWSTR path) { return path != NULL && path[0] != 0 && path[1] == u':'; }

bool Has(DWORD flags, DWORD bits) { return (flags & bits) != 0; }

// The section the flags choose, copied into name (KV_INI_SECTION_MAX + 1 characters) and
// sanitized; "" when the name is missing or too long.
void ChooseSection(DRIVER_CONTEXT *ctx, DWORD flags, WCHAR *name)
{
  const WCHAR *chosen;
  bool read = Has(flags, KST_READ);
  if (Has(flags, KST_SECTION_BY_DIRECTION))
    chosen = read ? CtxGetLangSection(ctx) : CtxGetPrinterName(ctx);
  else if (Has(flags, KST_BUNDLE) && read)
    chosen = CtxGetLangSection(ctx);
  else if (Has(flags, KST_KSD_SECTION))
    chosen = KST_SECTION_KSD;
  else
    chosen = CtxGetPrinterName(ctx);
  name[0] = 0;
  if (chosen == NULL || lstrlenW(chosen) > static_cast<int>(KV_INI_SECTION_MAX)) return;
  lstrcpynW(name, chosen, KV_INI_SECTION_MAX + 1);
  IniSanitizeSectionName(name);
}

bool InItemRange(WORD id, WORD first, WORD last) { return id >= first && id <= last; }

// The membership filters of step one: preset, quality and stamp items, the watermark tile
// and pattern items of stamps, and the header items of bundles.
bool PassesMembership(const OPTION_ITEM *item, DWORD flags)
{
  bool write = Has(flags, KST_WRITE);
  bool presetFilter = !write || Has(flags, KST_SECTION_BY_DIRECTION | KST_DRIVER_SECTION);
  if (Has(flags, KST_PRESET_ITEMS) && presetFilter && !(item->state & KV_STATE_PRESET_MASK)) return false;
  if (Has(flags, KST_QUALITY_ITEMS) && !(item->state & KV_STATE_QUALITY_MASK)) return false;
  if (Has(flags, KST_STAMP_ITEMS) && !(item->state & KV_STATE_STAMP_MASK)) return false;
  if (!Has(flags, KST_STAMP_ITEMS) && write && InItemRange(item->id, ITEM_wdmWmLinePitch, ITEM_wdmWmSecretPattern))
    return false;
  if (Has(flags, KST_BUNDLE) && !StoreFilterNoHeader(item)) return false;
  return true;
}

// The kind filters of step four.
bool PassesKind(const OPTION_ITEM *item, DWORD flags)
{
  if (Has(flags, KST_WORK_ITEMS) && KvItemBlock(item) != 3) return false;
  if (Has(flags, KST_PRINTER_CONFIG) && !StoreFilterPrinterConfig(item)) return false;
  if (flags == KST_READ && !(StoreFilterUserSetting(item) && StoreFilterNoNotifyCaps(item))) return false;
  if (Has(flags, KST_KSD_SECTION) && !(item->state & KV_STATE_PRESET_MASK)) return false;
  if (!StoreFilterNoSecret(item)) return false;
  if (Has(flags, KST_BUNDLE) && !StoreFilterNoNotify(item)) return false;
  return true;
}

bool ModuleVetoes(DRIVER_CONTEXT *ctx, OPTION_ITEM *item)
{
  KV_EVT_ITEM_ANSWER_DATA data = {item, 0};
  CtxNotifyModules(ctx, KV_EVT_SERIALIZE_ITEM, &data);
  return data.answer == 1;
}

// One serializer run's buffers: the loaded file and the composed section.
struct SerializeRun {
  INI_IMAGE in = {NULL, NULL, 0};
  INI_SECTION_BUFFER out = {NULL, 0};
  DWORD length = 0;
  ~SerializeRun()
  {
    IniFreeImage(in.text);
    IniSectionBufferFree(&out);
  }
};

// A file whose last line has no line end was cut short: the writer ends every line. That
// line is left out of the image (its key or value may be cut), and its 1-based number is
// answered; 0 for a file that ends with a line end (or is empty).
DWORD DropCutLine(char *text)
{
  size_t length = strlen(text);
  if (length == 0 || text[length - 1] == '\n') return 0;
  DWORD line = 1;
  char *lineStart = text;
  for (char *p = text; *p != 0; ++p) {
    if (*p != '\n') continue;
    ++line;
    lineStart = p + 1;
  }
  *lineStart = 0;
  return line;
}

// True when the section whose body starts at body runs to the end of the text, where a
// cut line was dropped: the read of that section stopped at the cut.
bool SectionRunsToEnd(const char *body)
{
  for (const char *line = body; *line != 0; line = IniNextLine(line)) {
    if (*line == '[') return false;
  }
  return true;
}

// Reads or writes one item under the section and its own name as key. false when a write
// failed; *found tells whether a read found its key.
bool SerializeOne(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR file, DWORD flags,
                  const WCHAR *section, SerializeRun *run, bool *found)
{
  const WCHAR *savedSection = item->section;
  const WCHAR *savedKey = item->key;
  item->section = section;
  item->key = item->name;
  bool ok = true;
  *found = false;
  if (Has(flags, KST_WRITE)) {
    ok = StoreWriteItemToIni(printer, ctx, item, file, &run->out, &run->length) != 0;
  } else if (StoreReadItemFromIni(ctx, item, file, run->in.sectionBody, &run->in.cursor)) {
    *found = true;
    item->state = static_cast<WORD>((item->state & ~KV_STATE_CHANGED_MASK) | 1);
    if (ctx->state != NULL) ctx->state->settingsChanged = 1;
  }
  item->section = savedSection;
  item->key = savedKey;
  return ok;
}

// A font-list field of the work buffer, kept around the printer-configuration range.
struct KeptField {
  OPTION_ITEM *item;
  BYTE bytes[4];
};

}  // namespace

int WINAPI StoreSerializeItems(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->items == NULL || ctx->work == NULL) return 0;
  CtxSetSettingsFileStatus(ctx, KST_STATUS_OK);
  if (!IsAbsolute(file)) return 0;
  WCHAR section[KV_INI_SECTION_MAX + 1];
  ChooseSection(ctx, flags, section);
  bool write = Has(flags, KST_WRITE);

  SerializeRun run;
  if (write) {
    if (!IniSectionBufferInit(&run.out) || !IniImagePutSection(&run.length, section, &run.out)) return 0;
  } else {
    run.in.text = IniLoadImage(file);
    if (run.in.text == NULL) {
      CtxSetSettingsFileStatus(ctx, KST_STATUS_UNREADABLE);
      return 0;
    }
    DWORD cutLine = DropCutLine(run.in.text);
    // A file without the section reads as an empty one: every key is missing.
    run.in.sectionBody = IniImageFindSection(section, run.in.text);
    if (run.in.sectionBody == NULL) {
      run.in.sectionBody = run.in.text + strlen(run.in.text);
    } else if (cutLine != 0 && SectionRunsToEnd(run.in.sectionBody) && ctx->state != NULL &&
               ctx->state->readReport != NULL) {
      ctx->state->readReport->cutLine = cutLine;
    }
  }

  LONG *position = write ? reinterpret_cast<LONG *>(&run.length) : &run.in.cursor;
  if (!StoreCheckKstHeader(file, section, flags, !Has(flags, KST_NO_MESSAGE), ctx, run.in.sectionBody,
                           write ? &run.out : NULL, position, 1)) {
    CtxSetSettingsFileStatus(ctx, KST_STATUS_REJECTED);
    return 1;
  }

  int answer = 1;
  OPTION_ITEM *rows = static_cast<OPTION_ITEM *>(ctx->items->rows);
  int rowCount = ctx->items->count;
  int lastRow = Has(flags, KST_PRINTER_CONFIG) ? rowCount - 1 : kLastSettingsRow;
  if (lastRow >= rowCount) lastRow = rowCount - 1;
  for (int row = 0; row <= lastRow; ++row) {
    if (row >= kFirstSkippedRow && row <= kLastSkippedRow) continue;
    OPTION_ITEM *item = &rows[row];
    if (!PassesMembership(item, flags)) continue;
    if (Has(flags, KST_SRC_FREE_SIZE | KST_FREE_SIZE)) {
      if (row >= kFreeSizeRows) break;
      WORD first = Has(flags, KST_SRC_FREE_SIZE) ? ITEM_wdmSrcFreeSizeName : ITEM_wdmFreeSizeName;
      item = ItemFindById(ctx, static_cast<WORD>(first + row));
      if (item == NULL) continue;
    }
    if (ModuleVetoes(ctx, item)) continue;
    if (!PassesKind(item, flags)) continue;
    if (item->name == NULL) continue;
    bool found = false;
    if (!SerializeOne(printer, ctx, item, file, flags, section, &run, &found)) answer = 0;
    if (flags == KST_READ && item->id == ITEM_kdmPresetNo) ItemWriteRaw(ctx, item, 255);
  }

  if (flags == KST_WRITE) StoreWritePrinterConfig(file, KST_BUNDLE, ctx);
  if (write) {
    WritePrivateProfileStringW(NULL, NULL, NULL, file);
    if (!IniImageWriteSection(ctx, file, section, run.out.text, run.length)) answer = 0;
  }
  KV_EVT_SETTINGS_FILE_DATA done = {flags, file};
  CtxNotifyModules(ctx, KV_EVT_SETTINGS_FILE_DONE, &done);
  return answer;
}

int WINAPI StoreSerializeItemRange(LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx, LPCWSTR section, KST_SECTION_IO *io,
                                   WORD first, WORD last)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  bool write = Has(flags, KST_WRITE);
  KeptField kept[ITEM_kdmOptionFont - ITEM_kdmFontTableNum + 1];
  for (WORD i = 0; i < sizeof(kept) / sizeof(kept[0]); ++i) {
    kept[i].item = ItemFindById(ctx, static_cast<WORD>(ITEM_kdmFontTableNum + i));
    BYTE *field = kept[i].item != NULL ? ItemGetAddress(ctx, kept[i].item) : NULL;
    DWORD size = kept[i].item != NULL ? KvItemSize(kept[i].item) : 0;
    if (field == NULL || size > sizeof(kept[i].bytes)) {
      kept[i].item = NULL;
      continue;
    }
    memcpy(kept[i].bytes, field, size);
    if (write) memset(field, 0, size);
  }

  int answer = 1;
  bool barred = write && StoreSharedWritesBarred(ctx);
  for (DWORD id = first; id <= last; ++id) {
    if (Has(flags, KST_BUNDLE) && InItemRange(static_cast<WORD>(id), ITEM_kdmServerLogCode, ITEM_kdmLogCode)) continue;
    OPTION_ITEM *item = ItemFindById(ctx, static_cast<WORD>(id));
    if (item == NULL || item->name == NULL) continue;
    const WCHAR *savedSection = item->section;
    const WCHAR *savedKey = item->key;
    item->section = section;
    item->key = item->name;
    if (!write) {
      StoreReadItemFromIni(ctx, item, file, io != NULL ? io->in.sectionBody : NULL, io != NULL ? &io->in.cursor : NULL);
    } else if (!barred && !StoreWriteItemToIni(NULL, ctx, item, file, io != NULL ? &io->out : NULL,
                                               io != NULL ? &io->length : NULL)) {
      answer = 0;
    }
    item->section = savedSection;
    item->key = savedKey;
  }

  for (const KeptField &k : kept) {
    if (k.item != NULL) memcpy(ItemGetAddress(ctx, k.item), k.bytes, KvItemSize(k.item));
  }
  return answer;
}

int WINAPI StoreSerializePrinterConfig(LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || !IsAbsolute(file)) return 0;
  bool write = Has(flags, KST_WRITE);
  if (write && StoreSharedWritesBarred(ctx)) return 1;  // a barred user changes nothing shared
  WCHAR section[KV_INI_SECTION_MAX + 1];
  const WCHAR *chosen = KST_SECTION_PRINTER;
  if (!write && Has(flags, KST_BUNDLE)) chosen = CtxGetLangSection(ctx);
  if (chosen == NULL || lstrlenW(chosen) > static_cast<int>(KV_INI_SECTION_MAX)) return 0;
  lstrcpynW(section, chosen, KV_INI_SECTION_MAX + 1);
  IniSanitizeSectionName(section);

  SerializeRun run;
  KST_SECTION_IO io = {{NULL, NULL, 0}, {NULL, 0}, 0};
  if (write) {
    if (!IniSectionBufferInit(&io.out) || !IniImagePutSection(&io.length, section, &io.out)) {
      IniSectionBufferFree(&io.out);
      return 0;
    }
  } else {
    io.in.text = IniLoadImage(file);
    if (io.in.text == NULL) return 0;
    io.in.sectionBody = IniImageFindSection(section, io.in.text);
    if (io.in.sectionBody == NULL) io.in.sectionBody = io.in.text + strlen(io.in.text);
  }
  run.in = io.in;
  int answer = StoreSerializeItemRange(file, flags, ctx, section, &io, ITEM_kdmServerLogCode, ITEM_kdmPrnFunc31);
  answer &= StoreSerializeItemRange(file, flags, ctx, section, &io, ITEM_wdmReserved1230, ITEM_wdmCustomFunc31);
  if (write) {
    WritePrivateProfileStringW(NULL, NULL, NULL, file);
    if (!IniImageWriteSection(ctx, file, section, io.out.text, io.length)) answer = 0;
  }
  run.out = io.out;  // both are freed with the run
  return answer;
}

int WINAPI StoreReadPrinterConfig(LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  return StoreSerializePrinterConfig(file, flags | KST_READ, ctx);
}

int WINAPI StoreWritePrinterConfig(LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  WCHAR shared[MAX_PATH];
  if (Has(flags, KST_BUNDLE)) {
    shared[0] = 0;
    PathInSharedSettingsDir(shared, MAX_PATH, KST_PRINTER_CONFIG_FILE, ctx);
    if (shared[0] == 0) return 0;
    file = shared;
  }
  return StoreSerializePrinterConfig(file, flags | KST_WRITE, ctx);
}

int WINAPI StoreSerializeKsdSection(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  (void)file;
  WCHAR shared[MAX_PATH];
  shared[0] = 0;
  PathInSharedSettingsDir(shared, MAX_PATH, KST_PRINTER_CONFIG_FILE, ctx);
  if (shared[0] == 0) return 0;
  return StoreSerializeItems(printer, shared, flags | KST_KSD_SECTION | KST_WRITE, ctx);
}
