// The files of the preset and quality-set lists: which of them a save may write, which the
// lists still name, and the free user file names. The settings INI names these files, and
// any program may write that INI, so a stored path is outside input: a save writes only a
// new file or a settings file of the printer, directly inside the settings directory, and
// a new name is one that no file holds and no entry names.
#include <string>
#include <vector>

#include "files/ini.h"
#include "files/paths.h"
#include "files/settings_dirs.h"
#include "names/names_paths.h"
#include "store/list_internal.h"
#include "store/stored_lists.h"

namespace {

constexpr int kPathChars = 260;
constexpr int kTextChars = 1025;
// Quality-set entries looked at: far more than any list a user keeps, and a damaged
// "QualityCount" must not make a search endless.
constexpr int kQualityEntriesScanned = 1024;

// The path compared: the full path (no "." or ".."), or the text as it is when it is not
// drive-absolute or does not fit.
std::u16string Comparable(const WCHAR *path)
{
  WCHAR full[MAX_PATH];
  if (PathIsDriveAbsolute(path)) {
    DWORD n = GetFullPathNameW(path, MAX_PATH, full, NULL);
    if (n > 0 && n < MAX_PATH) return std::u16string(full);
  }
  return std::u16string(path);
}

// The files the entries of both lists name, read once for a search.
class ListedFiles {
 public:
  explicit ListedFiles(DRIVER_CONTEXT *ctx)
  {
    const WCHAR *section = CtxGetPrinterSection(ctx);
    const WCHAR *ini = CtxGetSettingsIniPath(ctx);
    if (section == NULL || ini == NULL) return;
    WCHAR key[KV_PRESET_KEY_CHARS];
    for (int n = 0; n < KV_PRESET_MAX; ++n) Add(section, ListFormatPresetKey(key, n, LIST_KEY_PATH), ini);
    int count = ListGetQualityCount(ctx);
    if (count > kQualityEntriesScanned) count = kQualityEntriesScanned;
    for (int n = 0; n < count; ++n) Add(section, ListFormatQualityKey(key, n, LIST_KEY_PATH), ini);
  }

  bool Holds(const WCHAR *file) const
  {
    std::u16string want = Comparable(file);
    for (const std::u16string &have : paths_)
      if (lstrcmpiW(have.c_str(), want.c_str()) == 0) return true;
    return false;
  }

 private:
  void Add(const WCHAR *section, const WCHAR *key, const WCHAR *ini)
  {
    WCHAR path[kTextChars];
    if (IniGetString(section, key, u"", path, kTextChars, ini) > 0) paths_.push_back(Comparable(path));
  }

  std::vector<std::u16string> paths_;
};

}  // namespace

int WINAPI ListClassifyKstFile(DRIVER_CONTEXT *ctx, const WCHAR *file)
{
  if (ctx == NULL || file == NULL || !PathIsInListSettingsDir(file, ctx)) return LIST_FILE_OUTSIDE;
  if (GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES) return LIST_FILE_NEW;
  return StoreIsKstOfPrinter(file, CtxGetPrinterSection(ctx), ctx) ? LIST_FILE_OWN : LIST_FILE_FOREIGN;
}

int WINAPI ListNamesFile(DRIVER_CONTEXT *ctx, const WCHAR *file)
{
  if (ctx == NULL || file == NULL || file[0] == 0) return 0;
  return ListedFiles(ctx).Holds(file) ? 1 : 0;
}

int WINAPI ListMakeNewKstPath(DRIVER_CONTEXT *ctx, WCHAR *buffer)
{
  if (buffer == NULL) return 0;
  buffer[0] = 0;
  if (ctx == NULL) return 0;
  WCHAR dir[kPathChars];
  if (PathGetListSettingsDir(dir, kPathChars, ctx) == 0) return 0;
  ListedFiles listed(ctx);
  for (int a = 0; a <= 9999; ++a) {
    WCHAR name[16];
    wsprintfW(name, u"user%04d.kst", a);
    if (!PathJoin(buffer, kTextChars, dir, u'\\', name)) break;
    // A name some file holds (a preset's, or one damaged or put there by anyone) is never
    // written over; one an entry names is never given to a second entry, even while its
    // file is missing.
    if (GetFileAttributesW(buffer) != INVALID_FILE_ATTRIBUTES || listed.Holds(buffer)) continue;
    return 1;
  }
  // Every name is taken: no name is answered rather than one that would overwrite a file.
  buffer[0] = 0;
  return 0;
}

namespace kvlist {

int ChooseSaveFile(DRIVER_CONTEXT *ctx, const WCHAR *key, WCHAR *file)
{
  file[0] = 0;
  IniGetString(CtxGetPrinterSection(ctx), key, u"", file, kTextChars, CtxGetSettingsIniPath(ctx));
  // An empty key names no file: nothing is written over another entry's file.
  if (file[0] == 0) return LIST_SAVE_FAILED;
  // A value too long for a path is no path of the lists.
  if (lstrlenW(file) < kPathChars) {
    int kind = ListClassifyKstFile(ctx, file);
    if (kind == LIST_FILE_NEW || kind == LIST_FILE_OWN) return LIST_SAVE_DONE;
  }
  if (!ListMakeNewKstPath(ctx, file) || lstrlenW(file) >= kPathChars) {
    file[0] = 0;
    return LIST_SAVE_FAILED;
  }
  return LIST_SAVE_NEW_FILE;
}

bool PutSaveFile(DRIVER_CONTEXT *ctx, const WCHAR *key, const WCHAR *file, int choice)
{
  if (choice != LIST_SAVE_NEW_FILE) return true;
  return IniWriteString(CtxGetPrinterSection(ctx), key, file, CtxGetSettingsIniPath(ctx)) != FALSE;
}

}  // namespace kvlist
