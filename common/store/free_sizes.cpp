// Stored custom paper sizes: ten user sizes in sections "FreeSize%d%s" of the settings INI,
// their default sizes in the model INI, the twelve slot records of a context and the
// per-slot items the records are mirrored into.
#include <string.h>

#include "files/ini.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "names/resources.h"
#include "store/list_internal.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace {

constexpr int kPathChars = 260;
// Resource strings of the slot names: 109 + slot for the user sizes, then the two papers.
constexpr UINT kFirstSlotString = 109;
constexpr UINT kUserPaperString = 752;
constexpr UINT kPrintPaperString = 753;
// Paper ids of the twelve slots.
const WORD kSlotPapers[KV_PAPER_SLOTS] = {384, 385, 386, 387, 388, 389, 390, 391, 392, 393, 256, 448};
// The items of each user slot: width, length, tray, orientation; a zero row ends it.
const FREE_SIZE_ITEM_ROW kSlotItems[KV_FREE_SIZE_SLOTS + 1] = {
    {1020, 1021, 1022, 1023},
    {1024, 1025, 1026, 1027},
    {1028, 1029, 1030, 1031},
    {1032, 1033, 1034, 1035},
    {1036, 1037, 1038, 1039},
    {1040, 1041, 1042, 1043},
    {1044, 1045, 1046, 1047},
    {1048, 1049, 1050, 1051},
    {1052, 1053, 1054, 1055},
    {1056, 1057, 1058, 1059},
    {0, 0, 0, 0},
};
// Sizes of a slot whose model INI section has none: A4 portrait in 1200-dpi dots, tray 4.
constexpr INT kDefaultWidth = 9921;
constexpr INT kDefaultLength = 14031;
constexpr INT kDefaultTray = 4;
constexpr INT kDefaultOrientation = 1;

bool UserSlot(int slot) { return slot >= 0 && slot < KV_FREE_SIZE_SLOTS; }

FREE_SIZE_SLOT *Record(DRIVER_CONTEXT *ctx, int slot)
{
  if (ctx == NULL || ctx->state == NULL || slot < 0 || slot >= KV_PAPER_SLOTS) return NULL;
  return &ctx->state->freeSizeSlots[slot];
}

// A copy of a file path the context caches, which later calls may rebuild.
void CopyPath(WCHAR *dst, const WCHAR *path)
{
  dst[0] = 0;
  if (path != NULL && lstrlenW(path) < kPathChars) lstrcpynW(dst, path, kPathChars);
}

int ReadSection(DRIVER_CONTEXT *ctx, const WCHAR *file, const WCHAR *section, DWORD flags)
{
  WCHAR path[kPathChars];
  CopyPath(path, file);
  if (path[0] == 0) return 0;
  return kvlist::SerializeSection(ctx, path, section, flags, false);
}

void Zero(DRIVER_CONTEXT *ctx, WORD first, WORD last)
{
  for (WORD id = first; id <= last; ++id) ItemSetRaw(ctx, id, 0);
}

// A record into the five custom-size items from first on (name, width, length, tray,
// orientation).
void WriteRecordItems(DRIVER_CONTEXT *ctx, const FREE_SIZE_SLOT *rec, WORD first)
{
  char name[sizeof rec->userName + 1];
  memcpy(name, rec->userName, sizeof rec->userName);
  name[sizeof rec->userName] = 0;
  WCHAR wide[sizeof rec->userName + 1];
  StrAnsiToWide(wide, name, (int)(sizeof wide / sizeof wide[0]));
  ItemWriteText(ctx, ItemFindById(ctx, first), wide);
  ItemSetValue(ctx, (WORD)(first + 1), rec->width);
  ItemSetValue(ctx, (WORD)(first + 2), rec->length);
  ItemSetRaw(ctx, (WORD)(first + 3), rec->tray);
  ItemSetRaw(ctx, (WORD)(first + 4), rec->orientation);
}

void RecordToItems(DRIVER_CONTEXT *ctx, int slot, WORD first)
{
  FREE_SIZE_SLOT *rec = Record(ctx, slot);
  if (rec != NULL) WriteRecordItems(ctx, rec, first);
}

// The INI key of an item: its field name, else the given one.
const WCHAR *KeyOf(DRIVER_CONTEXT *ctx, WORD id, const WCHAR *fallback)
{
  const WCHAR *name = ItemGetName(ctx, id);
  return name != NULL && name[0] != 0 ? name : fallback;
}

// The user slot whose section is the given one, or -1.
int SlotOfSection(DRIVER_CONTEXT *ctx, const WCHAR *section)
{
  if (section == NULL) return -1;
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) {
    WCHAR name[kPathChars];
    if (lstrcmpW(ListFormatFreeSizeSection(name, slot, 0, ctx), section) == 0) return slot;
  }
  return -1;
}

// Whether the settings INI holds the section with at least one key.
bool SectionStored(DRIVER_CONTEXT *ctx, const WCHAR *section)
{
  WCHAR ini[kPathChars];
  CopyPath(ini, CtxGetSettingsIniPath(ctx));
  if (ini[0] == 0) return false;
  WCHAR keys[4];
  return IniGetString(section, NULL, u"", keys, 4, ini) != 0;
}

// A user slot's default name (its resource name without the size text) into the display
// and user names of a record.
void DefaultNames(DRIVER_CONTEXT *ctx, int slot, FREE_SIZE_SLOT *rec)
{
  kvlist::StringToAnsiField(ctx, kFirstSlotString + (UINT)slot, FALSE, rec->displayName);
  memcpy(rec->userName, rec->displayName, sizeof rec->userName);
}

// A user slot's default size, tray and orientation from its section of the model INI, read
// under the items' names: A4 portrait on tray 4 for what the section does not give.
void DefaultSize(DRIVER_CONTEXT *ctx, int slot, FREE_SIZE_SLOT *rec)
{
  WCHAR model[kPathChars];
  CopyPath(model, CtxGetModelIniPath(ctx));
  WCHAR section[kPathChars];
  ListFormatFreeSizeSection(section, slot, 0, ctx);
  rec->width = (LONG)IniGetInt(section, KeyOf(ctx, ITEM_wdmFreeSizeWidth, u"wdmFreeSizeWidth"), kDefaultWidth, model);
  rec->length =
      (LONG)IniGetInt(section, KeyOf(ctx, ITEM_wdmFreeSizeLength, u"wdmFreeSizeLength"), kDefaultLength, model);
  rec->tray = (SHORT)IniGetInt(section, KeyOf(ctx, ITEM_wdmFreeSizeTray, u"wdmFreeSizeTray"), kDefaultTray, model);
  rec->orientation =
      (SHORT)IniGetInt(section, KeyOf(ctx, ITEM_wdmFreeSizeOrient, u"wdmFreeSizeOrient"), kDefaultOrientation, model);
}

// A size section the settings INI does not hold (a printer whose sizes were never saved)
// gives the slot's defaults of the driver package instead of a size of 0 x 0: the five
// items from first on take them as a record would.
void DefaultsWhenNotStored(DRIVER_CONTEXT *ctx, const WCHAR *section, WORD first)
{
  int slot = SlotOfSection(ctx, section);
  if (slot < 0 || SectionStored(ctx, section)) return;
  FREE_SIZE_SLOT rec;
  memset(&rec, 0, sizeof rec);
  DefaultNames(ctx, slot, &rec);
  DefaultSize(ctx, slot, &rec);
  WriteRecordItems(ctx, &rec, first);
}

}  // namespace

int WINAPI ListFreeSizeSlotCount(DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  return KV_FREE_SIZE_SLOTS;
}

int WINAPI ListGetFreeSizeSlotCount(DRIVER_CONTEXT *ctx) { return ListFreeSizeSlotCount(ctx); }

int WINAPI ListGetPaperSlotCount(DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  return KV_PAPER_SLOTS;
}

WCHAR *WINAPI ListFormatFreeSizeSection(WCHAR *buffer, int slot, int unused, DRIVER_CONTEXT *ctx)
{
  (void)unused;
  if (buffer == NULL) return NULL;
  const WCHAR *lang = CtxGetLanguageCode(ctx);
  wsprintfW(buffer, u"FreeSize%d%s", slot, lang != NULL ? lang : u"");
  return buffer;
}

const FREE_SIZE_ITEM_ROW *WINAPI ListGetFreeSizeItemTable(void) { return kSlotItems; }

int WINAPI ListLoadFreeSizeSection(DRIVER_CONTEXT *ctx, const WCHAR *section)
{
  if (ctx == NULL) return 0;
  Zero(ctx, ITEM_wdmFreeSizeName, ITEM_wdmFreeSizeOrient);
  int read = ReadSection(ctx, CtxGetSettingsIniPath(ctx), section, KST_FREE_SIZE);
  DefaultsWhenNotStored(ctx, section, ITEM_wdmFreeSizeName);
  ListCopyFreeSizeToSlotItems(ctx, section);
  return read;
}

int WINAPI ListLoadSrcFreeSizeSection(DRIVER_CONTEXT *ctx, const WCHAR *section)
{
  if (ctx == NULL) return 0;
  Zero(ctx, ITEM_wdmSrcFreeSizeName, ITEM_wdmSrcFreeSizeOrient);
  int read = ReadSection(ctx, CtxGetSettingsIniPath(ctx), section, KST_SRC_FREE_SIZE);
  DefaultsWhenNotStored(ctx, section, ITEM_wdmSrcFreeSizeName);
  return read;
}

int WINAPI ListSaveFreeSizeSection(DRIVER_CONTEXT *ctx, const WCHAR *section)
{
  if (ctx == NULL) return 0;
  WCHAR ini[kPathChars];
  CopyPath(ini, CtxGetSettingsIniPath(ctx));
  int written = ini[0] != 0 ? kvlist::SerializeSection(ctx, ini, section, KST_FREE_SIZE, true) : 0;
  ListCopyFreeSizeToSlotItems(ctx, section);
  return written;
}

int WINAPI ListLoadFreeSize(DRIVER_CONTEXT *ctx, int slot)
{
  if (!UserSlot(slot)) return 0;
  WCHAR section[kPathChars];
  return ListLoadFreeSizeSection(ctx, ListFormatFreeSizeSection(section, slot, 0, ctx));
}

int WINAPI ListLoadSrcFreeSize(DRIVER_CONTEXT *ctx, int slot)
{
  if (!UserSlot(slot)) return 0;
  WCHAR section[kPathChars];
  return ListLoadSrcFreeSizeSection(ctx, ListFormatFreeSizeSection(section, slot, 0, ctx));
}

int WINAPI ListSaveFreeSize(DRIVER_CONTEXT *ctx, int slot)
{
  if (!UserSlot(slot) || kvlist::WritesBarred(ctx)) return 0;
  WCHAR section[kPathChars];
  return ListSaveFreeSizeSection(ctx, ListFormatFreeSizeSection(section, slot, 0, ctx));
}

void WINAPI ListCopyFreeSizeToSlotItems(DRIVER_CONTEXT *ctx, const WCHAR *section)
{
  if (ctx == NULL || section == NULL) return;
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) {
    WCHAR name[kPathChars];
    if (lstrcmpW(ListFormatFreeSizeSection(name, slot, 0, ctx), section) != 0) continue;
    const FREE_SIZE_ITEM_ROW &row = kSlotItems[slot];
    ItemSetRaw(ctx, row.width, ItemGetRaw(ctx, ITEM_wdmFreeSizeWidth, NULL));
    ItemSetRaw(ctx, row.length, ItemGetRaw(ctx, ITEM_wdmFreeSizeLength, NULL));
    ItemSetRaw(ctx, row.tray, ItemGetRaw(ctx, ITEM_wdmFreeSizeTray, NULL));
    ItemSetRaw(ctx, row.orientation, ItemGetRaw(ctx, ITEM_wdmFreeSizeOrient, NULL));
    return;
  }
}

void WINAPI ListFreeSizeCacheToSlotItems(DRIVER_CONTEXT *ctx, int slot)
{
  FREE_SIZE_SLOT *rec = Record(ctx, slot);
  if (rec == NULL || !UserSlot(slot)) return;
  const FREE_SIZE_ITEM_ROW &row = kSlotItems[slot];
  ItemSetRaw(ctx, row.width, rec->width);
  ItemSetRaw(ctx, row.length, rec->length);
  ItemSetRaw(ctx, row.tray, rec->tray);
  ItemSetRaw(ctx, row.orientation, rec->orientation);
}

void WINAPI ListFreeSizeCacheToItems(DRIVER_CONTEXT *ctx, int slot) { RecordToItems(ctx, slot, ITEM_wdmFreeSizeName); }

void WINAPI ListFreeSizeCacheToSrcItems(DRIVER_CONTEXT *ctx, int slot)
{
  RecordToItems(ctx, slot, ITEM_wdmSrcFreeSizeName);
}

int WINAPI ListLoadAllFreeSizes(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return 0;
  if (CtxGetUiFlags(ctx) & KV_UI_FLAG_FREE_SIZES_LOADED) return 1;
  {
    kvlist::SnapshotScope snapshot(ctx);
    if (!snapshot.ok()) return 0;
    for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) {
      ListLoadFreeSize(ctx, slot);
      ListFreeSizeItemsToCache(ctx, slot);
    }
  }
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) ListFreeSizeCacheToSlotItems(ctx, slot);
  CtxRaiseUiFlags(ctx, KV_UI_FLAG_FREE_SIZES_LOADED);
  return 1;
}

int WINAPI ListSaveAllFreeSizes(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || kvlist::WritesBarred(ctx)) return 0;
  kvlist::SnapshotScope snapshot(ctx);
  if (!snapshot.ok()) return 0;
  int ok = 1;
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) {
    ListFreeSizeCacheToItems(ctx, slot);
    if (ListSaveFreeSize(ctx, slot) != 1) ok = 0;
  }
  return ok;
}

int WINAPI ListResaveAllFreeSizes(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  kvlist::SnapshotScope snapshot(ctx);
  if (!snapshot.ok()) return 0;
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) {
    ListLoadFreeSize(ctx, slot);
    ListSaveFreeSize(ctx, slot);
  }
  return 1;
}

void WINAPI ListLoadFreeSizeDefaults(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return;
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) {
    FREE_SIZE_SLOT *rec = Record(ctx, slot);
    DefaultNames(ctx, slot, rec);
    DefaultSize(ctx, slot, rec);
    // The size text follows the size just read.
    kvlist::StringToAnsiField(ctx, kFirstSlotString + (UINT)slot, TRUE, rec->nameWithSize);
  }
}

int WINAPI ListGetModelFreeSizeCount(DRIVER_CONTEXT *ctx)
{
  const WCHAR *lang = CtxGetLangSection(ctx);
  const WCHAR *model = CtxGetModelIniPath(ctx);
  if (lang == NULL || model == NULL || model[0] == 0) return 0;
  return IniGetInt(lang, u"FreeSizeCount", 0, model) == KV_FREE_SIZE_SLOTS ? KV_FREE_SIZE_SLOTS : 0;
}

int WINAPI ListWriteFreeSizeCount(DRIVER_CONTEXT *ctx, int count)
{
  const WCHAR *lang = CtxGetLangSection(ctx);
  if (lang == NULL || count < 0) return 0;
  WCHAR ini[kPathChars], text[16];
  CopyPath(ini, CtxGetSettingsIniPath(ctx));
  wsprintfW(text, u"%d", count);
  return ini[0] != 0 && IniWriteString(lang, u"FreeSizeCount", text, ini) ? 1 : 0;
}

int WINAPI ListLoadModelFreeSizeSection(DRIVER_CONTEXT *ctx, const WCHAR *section)
{
  if (ctx == NULL) return 0;
  Zero(ctx, ITEM_wdmFreeSizeName, ITEM_wdmFreeSizeLength);
  return ReadSection(ctx, CtxGetModelIniPath(ctx), section, KST_FREE_SIZE);
}

int WINAPI ListLoadModelFreeSize(DRIVER_CONTEXT *ctx, int slot)
{
  if (!UserSlot(slot)) return 0;
  WCHAR section[kPathChars];
  return ListLoadModelFreeSizeSection(ctx, ListFormatFreeSizeSection(section, slot, 0, ctx));
}

int WINAPI ListIsFreeSizePaper(LONG paper)
{
  WORD low = (WORD)(paper & 0xFFFF);
  return low >= KV_FREE_SIZE_PAPER_FIRST && low <= KV_FREE_SIZE_PAPER_LAST ? 1 : 0;
}

WORD WINAPI ListSlotToPaperId(int slot, int count, DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  if (slot < 0 || slot > count) return 0;
  if (count > KV_PAPER_SLOTS) count = KV_PAPER_SLOTS;
  return slot < count ? kSlotPapers[slot] : 0;
}

int WINAPI ListPaperIdToSlot(WORD paper, DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  for (int slot = 0; slot < KV_PAPER_SLOTS; ++slot)
    if (kSlotPapers[slot] == paper) return slot;
  return 0;
}

void WINAPI ListFillFixedSizeSlot(DRIVER_CONTEXT *ctx, WORD paper, int slot)
{
  FREE_SIZE_SLOT *rec = Record(ctx, slot);
  if (rec == NULL) return;
  UINT string;
  WORD width, length, tray, orientation;
  if (paper == 256) {
    string = kUserPaperString;
    width = ITEM_kdmPaperFreeSizeWidth, length = ITEM_kdmPaperFreeSizeLength;
    tray = ITEM_kdmPaperFreeSizeTray, orientation = ITEM_kdmPaperFreeSizeOrient;
  } else if (paper == 448) {
    string = kPrintPaperString;
    width = ITEM_kdmPrintFreeSizeWidth, length = ITEM_kdmPrintFreeSizeLength;
    tray = ITEM_kdmPrintFreeSizeTray, orientation = ITEM_kdmPrintFreeSizeOrient;
  } else {
    return;
  }
  // These two slots keep their display name as UTF-16 text of up to 31 characters.
  WCHAR text[256];
  ResLoadString(ctx, string, text, 256, TRUE);
  WCHAR name[32];
  lstrcpynW(name, text, 32);
  memset(rec->displayName, 0, sizeof rec->displayName);
  memcpy(rec->displayName, name, (size_t)(lstrlenW(name) + 1) * sizeof(WCHAR));
  rec->width = ItemGetValue(ctx, width, NULL);
  rec->length = ItemGetValue(ctx, length, NULL);
  rec->tray = (SHORT)ItemGetRaw(ctx, tray, NULL);
  rec->orientation = (SHORT)ItemGetRaw(ctx, orientation, NULL);
}
