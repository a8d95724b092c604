// The kst header of a settings-file section, its version rule, and the item filters that
// decide which items a kind of settings file carries.
#include "devmode/dm_version.h"
#include "files/ini.h"
#include "items/item_store.h"
#include "tables/item_ids.h"
#include "model/model.h"
#include "model/state_items.h"
#include "os/os.h"
#include "store/settings_files.h"

namespace {

// Value of a header key that is missing.
constexpr INT kMissing = 0xFFFF;
// Item groups of the compiled-in tables: the DEVMODE header items, the items no user
// setting carries, and the log-code items of the printer configuration.
constexpr WORD kGroupHeaderItems = 3;
constexpr WORD kGroupNotUserSetting = 4;
constexpr WORD kGroupLogCodes = 5;

bool InRange(WORD id, WORD first, WORD last) { return id >= first && id <= last; }

INT ReadHeaderInt(LPCWSTR file, LPCWSTR section, LPCWSTR key, const char *image, LONG *cursor)
{
  if (image != NULL) return IniImageGetInt(key, kMissing, image, cursor);
  return static_cast<INT>(IniGetInt(section, key, kMissing, file));
}

int PutHeaderKey(LPCWSTR file, INI_SECTION_BUFFER *output, LPCWSTR section, DWORD *offset, LPCWSTR key, LONG value)
{
  WCHAR text[16];
  wsprintfW(text, u"%ld", static_cast<long>(value));
  if (output != NULL) return IniImagePutString(offset, key, text, output);
  return IniWriteString(section, key, text, file) ? 1 : 0;
}

// After an accepted read: a file of an older version of the same major version is
// brought up to the driver's version by the description's conversion steps.
void UpgradeFromVersion(DRIVER_CONTEXT *ctx, INT version)
{
  DWORD driver = ctx->model != NULL ? ctx->model->privVersion : 0;
  if (version >= 300 && driver >= 300 && DmCompareVersions(static_cast<DWORD>(version), driver) == 1) {
    DmRunConvertSteps(static_cast<DWORD>(version), driver, ctx);
  }
}

// The rule of the header check: every key present, the context's machine and language,
// and the driver's version (its major version with majorOnly).
bool HeaderAccepted(DRIVER_CONTEXT *ctx, INT version, INT machine, INT language, bool majorOnly)
{
  if (version == kMissing || machine == kMissing || language == kMissing) return false;
  if (machine != static_cast<INT>(ctx->model->machineId)) return false;
  if (language != ItemGetRaw(ctx, ITEM_kdmLanguageID, NULL)) return false;
  DWORD driver = ctx->model->settingsFileVersion;
  return majorOnly ? StoreSameKstMajor(static_cast<DWORD>(version), driver) != 0
                   : static_cast<DWORD>(version) == driver;
}

}  // namespace

// ---------------------------------------------------------------- filters

int WINAPI StoreFilterNoHeader(const OPTION_ITEM *item)
{
  if (item == NULL || item->id == 0) return 0;
  return !ItemIsInGroup(kGroupHeaderItems, item->id);
}

int WINAPI StoreFilterUserSetting(const OPTION_ITEM *item)
{
  if (item == NULL || item->id == 0) return 0;
  WORD id = item->id;
  if (ItemIsInGroup(kGroupNotUserSetting, id)) return 0;
  if (InRange(id, ITEM_kdmIniFileName, ITEM_work_20_bit31)) return 0;  // state and work items
  if (InRange(id, ITEM_wdmFreeSize10Orient + 1, ITEM_wdmCustomFunc31)) return 0;
  return !InRange(id, ITEM_kdmServerLogCode, ITEM_kdmPrnFunc31);
}

int WINAPI StoreFilterPrinterConfig(const OPTION_ITEM *item)
{
  if (item == NULL || item->id == 0) return 0;
  return InRange(item->id, ITEM_kdmServerLogCode, ITEM_kdmPrnFunc31) && !ItemIsInGroup(kGroupLogCodes, item->id);
}

int WINAPI StoreFilterNoSecret(const OPTION_ITEM *item)
{
  if (item == NULL || item->id == 0) return 0;
  return !InRange(item->id, ITEM_wdmAuthenticationPassword, ITEM_wdmChkAuthenticationNetworkKey);
}

int WINAPI StoreFilterNoNotifyCaps(const OPTION_ITEM *item)
{
  if (item == NULL || item->id == 0) return 0;
  return item->id != ITEM_kdmSupportFunc2SelectJobComplete && item->id != ITEM_kdmSupportFunc2SelectJobErr;
}

int WINAPI StoreFilterNoNotify(const OPTION_ITEM *item)
{
  if (!StoreFilterNoNotifyCaps(item)) return 0;
  return item->id != ITEM_kdmFunc2SelectJobComplete && item->id != ITEM_kdmFunc2SelectJobErr;
}

BOOL WINAPI StoreSharedWritesBarred(DRIVER_CONTEXT *ctx)
{
  return (BUILD_OPTIONS & KV_BUILD_OPTION_SHARED_SETTINGS) && CtxGetTSE(ctx) == 1 && CtxGetAdmin(ctx) == 0;
}

// ---------------------------------------------------------------- header

int WINAPI StoreSameKstMajor(DWORD a, DWORD b) { return (a & 0xFFFF) / 100 == (b & 0xFFFF) / 100; }

int WINAPI StoreWriteKstHeader(LPCWSTR file, INI_SECTION_BUFFER *output, DRIVER_CONTEXT *ctx, LPCWSTR section,
                               DWORD *offset, int versionOnly)
{
  if (ctx == NULL || ctx->model == NULL) return 0;
  int ok = PutHeaderKey(file, output, section, offset, KST_KEY_VERSION, ctx->model->settingsFileVersion);
  if (versionOnly) return ok;
  ok &= PutHeaderKey(file, output, section, offset, KST_KEY_MACHINE, ctx->model->machineId);
  ok &= PutHeaderKey(file, output, section, offset, KST_KEY_LANGUAGE, ItemGetRaw(ctx, ITEM_kdmLanguageID, NULL));
  ok &= PutHeaderKey(file, output, section, offset, KST_KEY_OS_KIND, CtxGetOSKind(ctx));
  return ok;
}

int WINAPI StoreCheckKstHeader(LPCWSTR file, LPCWSTR section, DWORD flags, int showMessage, DRIVER_CONTEXT *ctx,
                               const char *image, INI_SECTION_BUFFER *output, LONG *position, int majorOnly)
{
  if (ctx == NULL || ctx->model == NULL) return 0;
  bool write = (flags & KST_WRITE) != 0;
  bool byDirection = (flags & KST_SECTION_BY_DIRECTION) != 0;
  DWORD *offset = reinterpret_cast<DWORD *>(position);
  LONG scratch = 0;
  LONG *cursor = position != NULL ? position : &scratch;

  if (flags & (KST_STAMP_ITEMS | KST_FREE_SIZE)) {
    if (write) return StoreWriteKstHeader(file, output, ctx, section, offset, 1);
    if (byDirection) return 1;
    INT version = ReadHeaderInt(file, section, KST_KEY_VERSION, image, cursor);
    if (version != kMissing) UpgradeFromVersion(ctx, version);
    return 1;
  }
  if (flags & (KST_SRC_FREE_SIZE | KST_BUNDLE)) return 1;

  if (write) return StoreWriteKstHeader(file, output, ctx, section, offset, 0);
  if (byDirection) return 1;
  INT version = ReadHeaderInt(file, section, KST_KEY_VERSION, image, cursor);
  INT machine = ReadHeaderInt(file, section, KST_KEY_MACHINE, image, cursor);
  INT language = ReadHeaderInt(file, section, KST_KEY_LANGUAGE, image, cursor);
  if (!HeaderAccepted(ctx, version, machine, language, majorOnly != 0)) {
    if (showMessage && !(flags & KST_QUALITY_ITEMS)) StoreWarnRejectedKst(ctx, file);
    return 0;
  }
  UpgradeFromVersion(ctx, version);
  return 1;
}

int WINAPI StoreIsKstOfPrinter(LPCWSTR file, LPCWSTR section, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->model == NULL || file == NULL || section == NULL) return 0;
  // A folder is no settings file, whatever a profile read of it answers.
  DWORD attributes = GetFileAttributesW(file);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  INT version = static_cast<INT>(IniGetInt(section, KST_KEY_VERSION, kMissing, file));
  INT machine = static_cast<INT>(IniGetInt(section, KST_KEY_MACHINE, kMissing, file));
  INT language = static_cast<INT>(IniGetInt(section, KST_KEY_LANGUAGE, kMissing, file));
  return HeaderAccepted(ctx, version, machine, language, true) ? 1 : 0;
}
