// Reading and writing settings files: the section a file is read from or written to, the
// settings mutex around the serializer, the writes that terminal services bar, what follows
// a preset read and what a preset write loads first, and the rebuild of a rejected quality
// file.
#include <string.h>

#include "blob/desc_runtime.h"
#include "hooks/dm_events.h"
#include "devmode/dm_merge.h"
#include "devmode/dm_paper_items.h"
#include "files/ini.h"
#include "files/paths.h"
#include "hooks/module_hooks.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "tables/item_ids.h"
#include "model/model.h"
#include "model/state_items.h"
#include "names/names_paths.h"
#include "os/os.h"
#include "store/jobctl.h"
#include "store/settings_files.h"
#include "store/settings_setup.h"
#include "store/stored_lists.h"

namespace {

// Characters of the printer-name cache of a context.
constexpr int kNameChars = 260;
// Flags of a plain preset read and of a plain preset write, besides which the entry
// points pass a call straight to the locked one.
constexpr DWORD kPlainReadBits = KST_NO_MESSAGE | KST_READ;
constexpr DWORD kPlainWriteBits = KST_NO_MESSAGE | KST_WRITE;
constexpr DWORD kPresetWriteBits = KST_NO_MESSAGE | KST_PRESET_ITEMS | KST_WRITE;
// Writes that stay allowed to a user whom terminal services bar from the shared settings:
// copies of a bundle's files into the user's own (the section by direction, as a bundle
// conversion or the rebuild of a rejected quality file writes them), the printer
// configuration and bundles. The preset section of the printer-configuration text file is
// shared and stays barred.
constexpr DWORD kUnbarredWriteBits = KST_SECTION_BY_DIRECTION | KST_PRINTER_CONFIG | KST_BUNDLE;
// The selected preset after a preset was read: none of the stored ones.
constexpr LONG kNoPreset = 255;
// Job fields after a preset read: the user code is fetched from the job-control DLL, the
// other exchanged fields are sent to it.
constexpr DWORD kFetchedJobFields = 0x1;
constexpr DWORD kSentJobFields = 0x389E;
// Merge flags of the settings a file brought: no incoming DEVMODE, the context's own.
constexpr DWORD kFileMergeFlags = 0x10000008;
// Characters of a path in the driver folder.
constexpr DWORD kPathChars = 1025;

// Operating-system kinds of state item kdmOSKind.
enum : BYTE { kOsKind95 = 0, kOsKindNT40 = 1, kOsKind2000 = 2, kOsKind98 = 3 };

// Holds another name in the context's printer-name cache for one call and puts the
// printer's name back afterwards. A name that does not fit leaves the cache as it was.
class PrinterNameSwap {
 public:
  PrinterNameSwap(DRIVER_CONTEXT *ctx, const WCHAR *name) : ctx_(ctx)
  {
    if (ctx == NULL || ctx->state == NULL || name == NULL || lstrlenW(name) >= kNameChars) return;
    memcpy(saved_, ctx->state->printerName, sizeof(saved_));
    lstrcpynW(ctx->state->printerName, name, kNameChars);
    swapped_ = true;
  }
  ~PrinterNameSwap()
  {
    if (swapped_) memcpy(ctx_->state->printerName, saved_, sizeof(saved_));
  }
  PrinterNameSwap(const PrinterNameSwap &) = delete;
  PrinterNameSwap &operator=(const PrinterNameSwap &) = delete;
  bool ok() const { return swapped_; }
  // The name the cache held before the swap.
  const WCHAR *saved() const { return swapped_ ? saved_ : NULL; }

 private:
  DRIVER_CONTEXT *ctx_;
  WCHAR saved_[kNameChars];
  bool swapped_ = false;
};

// The settings mutex for one scope.
class SettingsLock {
 public:
  explicit SettingsLock(DRIVER_CONTEXT *ctx) : ctx_(ctx) { held_ = OsSettingsMutexLock(ctx) == KV_LOCK_HELD; }
  ~SettingsLock()
  {
    if (held_) OsSettingsMutexUnlock(ctx_);
  }
  SettingsLock(const SettingsLock &) = delete;
  SettingsLock &operator=(const SettingsLock &) = delete;

 private:
  DRIVER_CONTEXT *ctx_;
  bool held_;
};

// The custom paper sizes the read settings select are kept in their slots: the output
// size (item 46) as it came, and a document paper of a user slot from the source size
// items, which also become the output size items.
void KeepSelectedPaperSlots(DRIVER_CONTEXT *ctx)
{
  LONG out = ListFreeSizeSlotOfOutPaper(ctx);
  if (out >= 0) {
    ListSaveFreeSize(ctx, (int)out);
    ListFreeSizeItemsToCache(ctx, (int)out);
  }
  LONG paper = ListFreeSizeSlotOfPaper(ctx);
  if (paper >= 0) {
    ListFreeSizeSrcItemsToCache(ctx, (int)paper);
    ListFreeSizeCacheToItems(ctx, (int)paper);
    ListSaveFreeSize(ctx, (int)paper);
  }
}

// A selected stamp is kept in the stamp list: one past the stored stamps at most, where it
// is appended.
void KeepSelectedStamp(DRIVER_CONTEXT *ctx)
{
  LONG id = ItemGetWatermarkId(ctx);
  if (id < 0) return;
  LONG count = ListGetStampCount(ctx);
  if (id >= count) {
    id = count;
    ItemSetValue(ctx, ITEM_kdmWmID, id);
  }
  ListSaveStamp(ctx, (int)id);
}

// Colour matching and the media type as the system the settings are used on knows them:
// the 95 and NT 4 kinds have no colour matching by the system, and only the 95 and 98
// kinds carry the media type in dmFields.
void FitToOsKind(DRIVER_CONTEXT *ctx, BYTE osKind)
{
  if (osKind == kOsKind95 || osKind == kOsKindNT40) {
    ItemSetRaw(ctx, ITEM_dmICMMethod, DMICMMETHOD_NONE);
    ItemSetRaw(ctx, ITEM_dmICMIntent, DMICM_SATURATE);
    DWORD fields = (DWORD)ItemGetRaw(ctx, ITEM_dmFields, NULL);
    ItemSetRaw(ctx, ITEM_dmFields, (LONG)(fields & ~(DWORD)(DM_ICMMETHOD | DM_ICMINTENT)));
    ItemSetRaw(ctx, ITEM_kdmColorMatching, 0);
    ItemSetValue(ctx, ITEM_kdmICMType, (LONG)DescGetItemDefault(ITEM_kdmICMType, ctx));
    ItemSetValue(ctx, ITEM_kdmICMIntent, (LONG)DescGetItemDefault(ITEM_kdmICMIntent, ctx));
  }
  DWORD fields = (DWORD)ItemGetRaw(ctx, ITEM_dmFields, NULL);
  if (osKind == kOsKind95 || osKind == kOsKind98)
    fields |= DM_MEDIATYPE;
  else
    fields &= ~(DWORD)DM_MEDIATYPE;
  ItemSetRaw(ctx, ITEM_dmFields, (LONG)fields);
  CtxSetOSKind(ctx, osKind);
}

// What follows the read of a preset: the custom sizes, stamp and user quality it selects
// are kept in their lists, the DEVMODE fits the system, no stored preset is selected, the
// first-run locale defaults apply, the job fields are exchanged with the job-control DLL,
// the settings are merged as the context's own DEVMODE and the modules hear that settings
// were loaded. The interface-mode switch is off during these steps and back on after.
void AfterPresetRead(DRIVER_CONTEXT *ctx, BYTE osKind)
{
  KeepSelectedPaperSlots(ctx);
  KeepSelectedStamp(ctx);
  FitToOsKind(ctx, osKind);
  LONG macro = ItemGetUserMacroIndex(ctx);
  if (macro >= 0) ListSaveQuality(ctx, (int)macro);
  ItemSetRaw(ctx, ITEM_kdmPresetNo, kNoPreset);
  bool modeChange = ItemGetRaw(ctx, ITEM_kdmUIModeChange, NULL) == 1;
  if (modeChange) ItemSetRaw(ctx, ITEM_kdmUIModeChange, 0);
  SetupLocaleDefaults(ctx);
  JobCtlOpen(ctx);
  JobCtlFetch(ctx, kFetchedJobFields);
  JobCtlSend(ctx, kSentJobFields);
  JobCtlClose(ctx);
  DmMergeIncoming(ctx, NULL, kFileMergeFlags);
  CtxRaiseSettingsLoadedEvent(ctx);
  if (modeChange) ItemSetRaw(ctx, ITEM_kdmUIModeChange, 1);
}

// A quality file whose header was rejected is rebuilt from the copy of the same name that
// the driver folder holds. Without such a copy the file stays as it is: rebuilding it from
// nothing would only replace it with the context's present settings.
void RebuildQualityFile(DRIVER_CONTEXT *ctx, LPCWSTR file)
{
  WCHAR *source = static_cast<WCHAR *>(MemAllocZeroed(kPathChars * sizeof(WCHAR)));
  if (source == NULL) return;
  if (PathDriverKsqFile(source, file, kPathChars, ctx) && lstrcmpiW(source, file) != 0 &&
      GetFileAttributesW(source) != INVALID_FILE_ATTRIBUTES)
    StoreCopySettingsFile(file, source, KST_QUALITY_ITEMS, ctx);
  MemFree(source);
}

// The settings the preset's DEVMODE selects are loaded into their items before the preset
// is written: the source and output custom sizes, the stamp and the user quality.
void LoadSelectedLists(DRIVER_CONTEXT *ctx)
{
  LONG paper = ListFreeSizeSlotOfPaper(ctx);
  if (paper >= 0) ListLoadSrcFreeSize(ctx, (int)paper);
  LONG out = ListFreeSizeSlotOfOutPaper(ctx);
  if (out >= 0) ListLoadFreeSize(ctx, (int)out);
  LONG stamp = ItemGetWatermarkId(ctx);
  if (stamp >= 0) ListLoadStamp(ctx, (int)stamp);
  LONG macro = ItemGetUserMacroIndex(ctx);
  if (macro >= 0) ListLoadQuality(ctx, (int)macro);
  CtxNotifyModulesEvent12(ctx);
  DmSyncPublicFieldsFromItems(reinterpret_cast<DEVMODEW *>(CtxGetDevmode(ctx)), ctx, 0);
}

bool WriteBarred(DRIVER_CONTEXT *ctx, DWORD flags)
{
  if (flags == 0) return (BUILD_OPTIONS & KV_BUILD_OPTION_SHARED_SETTINGS) && CtxGetTSE(ctx) == 1;
  return !(flags & kUnbarredWriteBits) && StoreSharedWritesBarred(ctx);
}

// The read under the settings mutex. ownName (NULL: the cache holds it already) is the
// printer's name while the cache holds the file's section name: the lists that follow a
// preset read are kept under the printer's own sections.
int ReadLocked(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx, const WCHAR *ownName)
{
  if (ctx == NULL) return 0;
  SettingsLock lock(ctx);
  bool presetRead = (flags & ~kPlainReadBits) == 0;
  BYTE osKind = CtxGetOSKind(ctx);
  int result = StoreSerializeItems(printer, file, flags | KST_READ, ctx);
  DWORD status = CtxGetSettingsFileStatus(ctx);
  // A rejected file gives nothing, the authentication modes included.
  if (result == 1 && status == KST_STATUS_OK)
    result = StoreSerializeAuthModes(file, flags | KST_READ, ctx, ITEM_kdmServerLogCode, ITEM_kdmPrnFunc31);
  if (result == 1 && status == KST_STATUS_REJECTED && (flags & KST_QUALITY_ITEMS)) {
    RebuildQualityFile(ctx, file);
    result = 1;
  }
  // Only a preset that was taken is followed up: a file that could not be read or was
  // rejected leaves the context as it was.
  if (presetRead && status == KST_STATUS_OK && PathIsDriveAbsolute(file)) {
    // The read report covers this file; the stored lists read now are files of their own.
    KST_READ_REPORT *report = ctx->state != NULL ? ctx->state->readReport : NULL;
    if (report != NULL) ctx->state->readReport = NULL;
    PrinterNameSwap own(ctx, ownName);
    AfterPresetRead(ctx, osKind);
    if (report != NULL) ctx->state->readReport = report;
  }
  CtxSetSettingsFileStatus(ctx, status);
  return result;
}

// The write under the settings mutex; ownName as for ReadLocked.
int WriteLocked(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx, const WCHAR *ownName)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  if (WriteBarred(ctx, flags)) return 0;
  SettingsLock lock(ctx);
  // A preset write may change items while it composes the file; the caller's settings
  // are put back afterwards. The kept copy owns its font lists: loading the lists may roll
  // a snapshot back (a rejected quality file is rebuilt), which frees the lists the work
  // buffer pointed at when the copy was taken.
  BYTE *kept = NULL;
  bool presetWrite = (flags & ~kPresetWriteBits) == 0;
  if (presetWrite) {
    kept = CtxCopyWorkBuffer(ctx);
    if (kept == NULL) return 0;
    PrinterNameSwap own(ctx, ownName);
    LoadSelectedLists(ctx);
  }
  int written = StoreSerializeItems(printer, file, flags | KST_WRITE, ctx);
  int modes = StoreSerializeAuthModes(file, flags | KST_WRITE, ctx, ITEM_kdmServerLogCode, ITEM_kdmPrnFunc31);
  CtxRestoreWorkBuffer(ctx, kept);
  return written && modes;
}

}  // namespace

int WINAPI StoreReadSettingsFile(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  if ((flags & ~kPlainReadBits) != 0 && !(flags & KST_DRIVER_SECTION))
    return StoreReadSettingsFileLocked(printer, file, flags, ctx);
  // A plain preset read: newer files carry the driver's name as section, older ones the
  // printer's; the driver-name section counts when it has a version key.
  const WCHAR *driver = CtxGetDriverName(ctx);
  WCHAR version[kNameChars + 1];
  IniGetString(driver, KST_KEY_VERSION, u"*", version, kNameChars + 1, file);
  if (driver != NULL && lstrcmpW(version, u"*") != 0) {
    PrinterNameSwap swap(ctx, driver);
    if (swap.ok()) return ReadLocked(printer, file, flags, ctx, swap.saved());
  }
  return StoreReadSettingsFileLocked(printer, file, flags, ctx);
}

int WINAPI StoreReadSettingsFileReport(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx,
                                       KST_READ_REPORT *report)
{
  if (report != NULL) {
    report->corrected = 0;
    report->cutLine = 0;
  }
  if (ctx == NULL || ctx->state == NULL || report == NULL) return StoreReadSettingsFile(printer, file, flags, ctx);
  KST_READ_REPORT *outer = ctx->state->readReport;
  ctx->state->readReport = report;
  int answer = StoreReadSettingsFile(printer, file, flags, ctx);
  ctx->state->readReport = outer;
  return answer;
}

int WINAPI StoreReadSettingsFileLocked(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  return ReadLocked(printer, file, flags, ctx, NULL);
}

int WINAPI StoreWriteSettingsFile(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  if (flags & KST_LANGUAGE_SECTION) {
    PrinterNameSwap swap(ctx, CtxGetLangSection(ctx));
    if (!swap.ok()) return 0;
    return WriteLocked(printer, file, flags & ~KST_LANGUAGE_SECTION, ctx, swap.saved());
  }
  if ((flags & ~kPlainWriteBits) != 0) return StoreWriteSettingsFileLocked(printer, file, flags, ctx);
  PrinterNameSwap swap(ctx, CtxGetDriverName(ctx));
  if (!swap.ok()) return 0;
  return WriteLocked(printer, file, flags, ctx, swap.saved());
}

int WINAPI StoreWriteSettingsFileLocked(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  return WriteLocked(printer, file, flags, ctx, NULL);
}

int WINAPI StoreWriteKsdSection(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  // The text file is shared: a user barred from the shared settings changes nothing in it,
  // and the write runs under the settings mutex as every other write of the file does.
  if (WriteBarred(ctx, flags | KST_KSD_SECTION | KST_WRITE)) return 0;
  SettingsLock lock(ctx);
  if ((flags & ~kPlainWriteBits) != 0) return StoreSerializeKsdSection(printer, file, flags, ctx);
  PrinterNameSwap swap(ctx, CtxGetDriverName(ctx));
  if (!swap.ok()) return 0;
  return StoreSerializeKsdSection(printer, file, flags, ctx);
}
