// The import of a bundle's default presets: each listed default file is installed, turned
// into the printer's converted copy and appended to the preset list, as the flags say.
#include <string.h>

#include "files/file_helpers.h"
#include "files/ini.h"
#include "files/paths.h"
#include "hooks/module_hooks.h"
#include "names/names_paths.h"
#include "store/ini_image.h"
#include "store/preset_list.h"
#include "store/settings_files.h"
#include "store/settings_setup.h"
#include "store/setup_presets.h"
#include "store/setup_services.h"
#include "store/stored_lists.h"

namespace {

constexpr int kPathChars = 260;
constexpr UINT kNoList = 0xFFFF;
constexpr UINT kMaxEntries = 0xFFFE;
constexpr int kMatchChars = 8;

bool Has(DWORD flags, DWORD bit) { return (flags & bit) != 0; }

// The preset count the list holds now, bounded as the list itself bounds it: a damaged
// negative count stands for an empty list.
int CurrentCount(const WCHAR *ini, DRIVER_CONTEXT *ctx)
{
  int n = (int)IniGetInt(CtxGetPrinterSection(ctx), u"Count", 0, ini);
  return n < 0 ? 0 : n;
}

// Converts the default file into its copy and tells whether the copy now has a header.
bool ConvertCopy(const WCHAR *copy, const WCHAR *file, DRIVER_CONTEXT *ctx)
{
  StoreCopySettingsFile(copy, file, KST_PRESET_ITEMS, ctx);
  return StoreHasKstVersion(copy, ctx) != 0;
}

// Refreshes the default file from the driver folder (once more on a first install when the
// copy fails). The file is usable when it is readable afterwards, refreshed or not.
bool InstallDefaultFile(const WCHAR *file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  const WCHAR *name = PathFindFileName(file);
  BOOL copied = FileInstallFromDriverDirTo(file, name, KV_COPY_IF_CHANGED, ctx);
  if (!copied && Has(flags, KV_IMPORT_FIRST_INSTALL)) FileInstallFromDriverDirTo(file, name, KV_COPY_IF_CHANGED, ctx);
  return FileExists(file) != FALSE;
}

// Brings the converted copy up to date after the install: an existing copy is converted
// again (unless kept), a missing one is taken from the driver folder on a first install or
// converted from the default file. true when the copy is usable afterwards.
bool InstallCopy(const WCHAR *copy, const WCHAR *file, DWORD flags, DRIVER_CONTEXT *ctx)
{
  if (FileExists(copy)) {
    if (Has(flags, KV_IMPORT_KEEP_COPIES)) return true;
    return ConvertCopy(copy, file, ctx);
  }
  if (Has(flags, KV_IMPORT_FIRST_INSTALL))
    FileInstallFromDriverDirTo(copy, PathFindFileName(file), KV_COPY_IF_MISSING, ctx);
  if (StoreHasKstVersion(copy, ctx)) return true;
  return ConvertCopy(copy, file, ctx);
}

// What the registration of one entry did.
enum class Added { kNo, kYes, kRefused };

Added AddIf(bool wanted, const WCHAR *ini, const WCHAR *copy, const WCHAR *name, const WCHAR *comment, DWORD flags,
            DRIVER_CONTEXT *ctx)
{
  if (!wanted) return Added::kNo;
  int before = CurrentCount(ini, ctx);
  if (!SetupAddDefaultPreset(ini, copy, name, comment, flags, ctx)) return Added::kRefused;
  return CurrentCount(ini, ctx) > before ? Added::kYes : Added::kNo;
}

// Registers one default file (flag KV_IMPORT_REGISTER). true unless the list refused it or
// a conversion failed.
bool RegisterEntry(const WCHAR *ini, const WCHAR *section, const WCHAR *file, const WCHAR *copy, UINT j, DWORD flags,
                   DRIVER_CONTEXT *ctx, int oldCount, const SETUP_OLD_PRESET *oldList)
{
  WCHAR name[kPathChars] = {0}, comment[kPathChars] = {0};
  SetupReadPresetNameComment(file, section, name, comment);
  bool enabled = SetupFileNotDisabled(file, ctx) != 0;
  bool ok = true;
  Added added = Added::kNo;
  if (!Has(flags, KV_IMPORT_CONDITIONS)) {
    added = AddIf(enabled, ini, copy, name, comment, flags, ctx);
  } else if (enabled && SetupFileConditionsHold(file, ctx)) {
    if (Has(flags, KV_IMPORT_FIRST_INSTALL)) {
      added = AddIf(true, ini, copy, name, comment, flags, ctx);
    } else {
      // The re-validation adds a default only when no stored preset has its copy's name; it
      // never adds the first listed default again.
      int index = 0;
      bool listed = SetupFindPresetInList(copy, oldCount, oldList, &index) != 0;
      added = AddIf(!listed && j != 1 && Has(flags, KV_IMPORT_REVALIDATE), ini, copy, name, comment, flags, ctx);
      if (added == Added::kYes &&
          !StoreCheckKstHeader(copy, CtxGetPrinterName(ctx), KST_READ, 0, ctx, NULL, NULL, NULL, 0))
        ok = ConvertCopy(copy, file, ctx);
    }
  }
  if (added == Added::kRefused) ok = false;
  if (Has(flags, KV_IMPORT_CONVERT) && !ConvertCopy(copy, file, ctx)) ok = false;
  return ok;
}

// Imports one expanded entry as the flags say; copy receives its converted copy's path.
// false when the entry was not imported whole: no copy path, a file that is missing,
// unreadable or no default preset file of the driver (nothing is done with it then), or a
// failed registration, install or conversion.
bool ImportEntry(const WCHAR *ini, const WCHAR *section, const WCHAR *file, WCHAR *copy, UINT j, DWORD flags,
                 DRIVER_CONTEXT *ctx, int oldCount, const SETUP_OLD_PRESET *oldList)
{
  if (!PathSettingsKsrFile(copy, file, kPathChars, ctx) || copy[0] == 0) return false;
  // The default file is put in place first, so that its name and comment are read from
  // the file that is installed.
  bool usable = Has(flags, KV_IMPORT_INSTALL) ? InstallDefaultFile(file, flags, ctx) : FileExists(file) != FALSE;
  // A text file, a binary or another driver's file named by the bundle becomes no preset
  // and no converted copy.
  if (!usable || !SetupIsDefaultPresetFile(file, section, ctx)) return false;
  bool ok = true;
  if (Has(flags, KV_IMPORT_REGISTER) && !RegisterEntry(ini, section, file, copy, j, flags, ctx, oldCount, oldList))
    ok = false;
  if (Has(flags, KV_IMPORT_INSTALL) && !InstallCopy(copy, file, flags, ctx)) ok = false;
  if (Has(flags, KV_IMPORT_DELETE_COPY)) FileDeleteForced(copy);
  return ok;
}

}  // namespace

int WINAPI SetupImportDefaultPresets(const WCHAR *bundle, const WCHAR *section, DWORD flags, DRIVER_CONTEXT *ctx,
                                     int oldCount, const SETUP_OLD_PRESET *oldList)
{
  return SetupImportDefaultPresetsCounted(bundle, section, flags, ctx, oldCount, oldList, NULL);
}

int WINAPI SetupImportDefaultPresetsCounted(const WCHAR *bundle, const WCHAR *section, DWORD flags, DRIVER_CONTEXT *ctx,
                                            int oldCount, const SETUP_OLD_PRESET *oldList, SETUP_IMPORT_COUNTS *counts)
{
  SETUP_IMPORT_COUNTS scratch = {0, 0};
  if (counts == NULL) counts = &scratch;
  counts->entries = 0;
  counts->failed = 0;
  if (ctx == NULL) return 0;
  // A missing or unreadable bundle: nothing to do, and the stored list stays as it is.
  if (bundle == NULL || section == NULL || !FileExists(bundle)) return 1;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  bool registering = Has(flags, KV_IMPORT_REGISTER);
  // A user who may not change the shared list keeps it: emptying it would lose every preset
  // while no default could be appended again.
  if (registering && StoreSharedWritesBarred(ctx)) return 0;
  if (registering && !Has(flags, KV_IMPORT_REVALIDATE) &&
      !(Has(flags, KV_IMPORT_FIRST_INSTALL) && Has(flags, KV_IMPORT_CONDITIONS)))
    ListClearPresets(ctx);
  int n = ini != NULL ? CurrentCount(ini, ctx) : 0;
  if (n >= KV_PRESET_MAX) return 1;
  UINT m = IniGetInt(section, u"NumDeficonfiles", (INT)kNoList, bundle);
  if (m == kNoList || m == 0) return 1;
  if (ini == NULL || ini[0] == 0 || ini[1] != u':') return 0;
  if (m > kMaxEntries) m = kMaxEntries;

  int r = 1;
  for (UINT j = 1; j <= m; ++j) {
    WCHAR key[32], file[kPathChars] = {0}, copy[kPathChars] = {0};
    wsprintfW(key, u"Deficonfiles%u", j);
    IniGetString(section, key, u"", file, kPathChars, bundle);
    if (file[0] == 0 || !SetupExpandBundlePath(file, kPathChars, ctx)) continue;
    ++counts->entries;
    if (!ImportEntry(ini, section, file, copy, j, flags, ctx, oldCount, oldList)) {
      r = 0;
      ++counts->failed;
    }
    // The list is full: the entry that filled it is complete, the walk ends.
    if (registering && CurrentCount(ini, ctx) >= KV_PRESET_MAX) break;
  }
  if (Has(flags, KV_IMPORT_FIRST_INSTALL) && r == 1) IniWriteInt(bundle, section, 1, u"DrvInstPresetDone");
  return r;
}

int WINAPI SetupIsDefaultPresetFile(const WCHAR *file, const WCHAR *section, DRIVER_CONTEXT *ctx)
{
  if (file == NULL || section == NULL || ctx == NULL || ctx->items == NULL) return 0;
  DWORD attributes = GetFileAttributesW(file);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return 0;
  char *text = IniLoadImage(file);
  if (text == NULL) return 0;
  const char *body = IniImageFindSection(section, text);
  // The keys of a default preset file: its name and comment, read as the import reads
  // them, and preset items by the names the bundle read takes.
  WCHAR name[2], comment[2];
  bool found = body != NULL && (IniGetString(section, u"setname", u"", name, 2, file) > 0 ||
                                IniGetString(section, u"setcomment", u"", comment, 2, file) > 0);
  const OPTION_ITEM *rows = static_cast<const OPTION_ITEM *>(ctx->items->rows);
  for (int r = 0; body != NULL && !found && r < ctx->items->count; ++r) {
    if (!(rows[r].state & KV_STATE_PRESET_MASK) || rows[r].name == NULL) continue;
    WCHAR value[2];
    LONG cursor = 0;
    found = IniImageGetString(rows[r].name, NULL, value, 2, body, &cursor) > 0;
  }
  IniFreeImage(text);
  return found ? 1 : 0;
}

int WINAPI SetupAddDefaultPreset(const WCHAR *settingsIni, const WCHAR *copy, const WCHAR *name, const WCHAR *comment,
                                 DWORD flags, DRIVER_CONTEXT *ctx)
{
  if (settingsIni == NULL || copy == NULL || ctx == NULL) return 0;
  if (Has(flags, KV_IMPORT_CONDITIONS) && (!SetupFileNotDisabled(copy, ctx) || !SetupFileConditionsHold(copy, ctx)))
    return 1;
  bool hasName = name != NULL && name[0] != 0;
  bool hasComment = comment != NULL && comment[0] != 0;
  // The context's current preset name (37 bytes) and comment (513 bytes) as fallbacks.
  char field[514] = {0};
  WCHAR current[514] = {0};
  const WCHAR *useName = hasName ? name : u"NoName";
  const WCHAR *useComment = hasComment ? comment : u"";
  if (hasName && !hasComment) {
    const char *itemText = ListPresetCommentField(ctx);
    if (itemText != NULL) memcpy(field, itemText, 513);
    StrAnsiToWide(current, field, 514);
    useComment = current;
  } else if (!hasName && hasComment) {
    const char *itemText = ListPresetNameField(ctx);
    if (itemText != NULL) memcpy(field, itemText, 37);
    StrAnsiToWide(current, field, 514);
    if (current[0] != 0) useName = current;
  }
  return ListAppendPreset(ctx, copy, useName, useComment) ? 1 : 0;
}

int WINAPI SetupFindPresetInList(const WCHAR *copy, int count, const SETUP_OLD_PRESET *list, int *index)
{
  if (copy == NULL || list == NULL || index == NULL) return 0;
  WCHAR want[kMatchChars + 1] = {0};
  lstrcpynW(want, PathFindFileName(copy), kMatchChars + 1);
  for (int i = 0; i < count; ++i) {
    WCHAR have[kMatchChars + 1] = {0};
    lstrcpynW(have, PathFindFileName(list[i].path), kMatchChars + 1);
    if (lstrcmpiW(want, have) == 0) {
      *index = i;
      return 1;
    }
  }
  return 0;
}

int WINAPI SetupReadPresetNameComment(const WCHAR *file, const WCHAR *section, WCHAR *name, WCHAR *comment)
{
  int a = IniReadPathKey(file, section, u"setname", name);
  int b = IniReadPathKey(file, section, u"setcomment", comment);
  return a | b;
}

int WINAPI SetupPresetFileFits(const WCHAR *path, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL || ctx->state == NULL) return 0;
  // The kept settings own their font lists, which whatever runs during the read may free.
  BYTE *saved = CtxCopyWorkBuffer(ctx);
  if (saved == NULL) return 0;
  DWORD status = ctx->state->settingsFileStatus;
  StoreReadSettingsFile(ctx->printer, path, KST_NO_MESSAGE | KST_PRESET_ITEMS, ctx);
  CtxRestoreWorkBuffer(ctx, saved);
  ctx->state->settingsFileStatus = status;
  return 1;
}
