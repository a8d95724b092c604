// Reading and writing settings files: the section a file is read from or written to, the
// settings mutex around the serializer, and the writes that terminal services bar.
#include <string.h>

#include "files/ini.h"
#include "items/item_store.h"
#include "tables/item_ids.h"
#include "model/model.h"
#include "model/state_items.h"
#include "names/names_paths.h"
#include "os/os.h"
#include "store/settings_files.h"

namespace {

// Characters of the printer-name cache of a context.
constexpr int kNameChars = 260;
// Flags of a plain preset read and of a plain preset write, besides which the entry
// points pass a call straight to the locked one.
constexpr DWORD kPlainReadBits = KST_NO_MESSAGE | KST_READ;
constexpr DWORD kPlainWriteBits = KST_NO_MESSAGE | KST_WRITE;
constexpr DWORD kPresetWriteBits = KST_NO_MESSAGE | KST_PRESET_ITEMS | KST_WRITE;
// Writes that stay allowed to a user whom terminal services bar from the shared settings.
constexpr DWORD kUnbarredWriteBits = KST_PRINTER_CONFIG | KST_KSD_SECTION | KST_BUNDLE;

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

bool WriteBarred(DRIVER_CONTEXT *ctx, DWORD flags)
{
  if (flags == 0) return (BUILD_OPTIONS & KV_BUILD_OPTION_SHARED_SETTINGS) && CtxGetTSE(ctx) == 1;
  return !(flags & kUnbarredWriteBits) && StoreSharedWritesBarred(ctx);
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
    if (swap.ok()) return StoreReadSettingsFileLocked(printer, file, flags, ctx);
  }
  return StoreReadSettingsFileLocked(printer, file, flags, ctx);
}

int WINAPI StoreReadSettingsFileLocked(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  SettingsLock lock(ctx);
  int result = StoreSerializeItems(printer, file, flags | KST_READ, ctx);
  DWORD status = CtxGetSettingsFileStatus(ctx);
  // A rejected file gives nothing, the authentication modes included.
  if (result == 1 && status == KST_STATUS_OK)
    result = StoreSerializeAuthModes(file, flags | KST_READ, ctx, ITEM_kdmServerLogCode, ITEM_kdmPrnFunc31);
  // Provisional until the stored lists exist: a quality file whose header was rejected is
  // not yet rebuilt from the driver folder's copy, and a plain read does not yet run its
  // post-processing (custom paper and stamp slots, colour matching and media type by OS
  // kind, locale defaults, job control, the incoming-settings merge, event 11). The answer
  // and status are those the finished read gives: 1 and KST_STATUS_REJECTED for a rejected
  // header.
  CtxSetSettingsFileStatus(ctx, status);
  return result;
}

int WINAPI StoreWriteSettingsFile(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  if (flags & KST_LANGUAGE_SECTION) {
    PrinterNameSwap swap(ctx, CtxGetLangSection(ctx));
    if (!swap.ok()) return 0;
    return StoreWriteSettingsFileLocked(printer, file, flags & ~KST_LANGUAGE_SECTION, ctx);
  }
  if ((flags & ~kPlainWriteBits) != 0) return StoreWriteSettingsFileLocked(printer, file, flags, ctx);
  PrinterNameSwap swap(ctx, CtxGetDriverName(ctx));
  if (!swap.ok()) return 0;
  return StoreWriteSettingsFileLocked(printer, file, flags, ctx);
}

int WINAPI StoreWriteSettingsFileLocked(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  if (WriteBarred(ctx, flags)) return 0;
  SettingsLock lock(ctx);
  // A preset write may change items while it composes the file; the caller's settings
  // are put back afterwards.
  BYTE *kept = NULL;
  bool presetWrite = (flags & ~kPresetWriteBits) == 0;
  if (presetWrite) {
    kept = static_cast<BYTE *>(MemAllocZeroed(DmGetWorkBufferSize()));
    if (kept == NULL) return 0;
    memcpy(kept, ctx->work, DmGetWorkBufferSize());
    // Provisional until the stored lists exist: the selected custom papers, stamp and
    // quality set are not yet loaded into their items, event 12 is not raised and the
    // public DEVMODE fields are not synchronised before the write.
  }
  int written = StoreSerializeItems(printer, file, flags | KST_WRITE, ctx);
  int modes = StoreSerializeAuthModes(file, flags | KST_WRITE, ctx, ITEM_kdmServerLogCode, ITEM_kdmPrnFunc31);
  if (kept != NULL) {
    memcpy(ctx->work, kept, DmGetWorkBufferSize());
    MemFree(kept);
  }
  return written && modes;
}
