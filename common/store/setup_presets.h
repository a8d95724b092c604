// The printer's default presets: a bundle (an INI file with one section per language code)
// lists default preset files ("ksd"); the import installs them, converts each into a copy
// of the printer ("ksr" in the settings folder) and appends the copies to the preset list.
// The re-validation tests the stored list again after the device options changed, and the
// once-per-printer refresh runs it from the property sheets.
//
// The import and the re-validation change the preset list, so they exist in kvmlface and
// kvmlrule; the refresh, which shows messages and a dialog, only in kvmlface.
#pragma once

#include "context.h"

// Flags of SetupImportDefaultPresets.
enum : DWORD {
  KV_IMPORT_REGISTER = 0x1,         // append the defaults to the preset list
  KV_IMPORT_INSTALL = 0x2,          // install the default files and their converted copies
  KV_IMPORT_CONVERT = 0x10,         // always convert the default into its copy
  KV_IMPORT_DELETE_COPY = 0x20,     // delete the converted copy afterwards
  KV_IMPORT_CONDITIONS = 0x40,      // only files that are not disabled and whose conditions hold
  KV_IMPORT_REVALIDATE = 0x80,      // add only defaults missing from the old list
  KV_IMPORT_FIRST_INSTALL = 0x100,  // mark "DrvInstPresetDone", retry a failed copy once
  KV_IMPORT_KEEP_COPIES = 0x1000,   // with KV_IMPORT_INSTALL: leave an existing copy as it is
};

// Message asking whether presets may be dropped, the refresh's notice, the device dialog.
#define KV_MSG_DROP_PRESETS 10017
#define KV_MSG_PRESET_REFRESH 7004
#define KV_DLG_DEVICE_SETTINGS 1005

// Modes of SetupRefreshPresetsOnce.
enum : int { KV_REFRESH_DOCUMENT_SHEET = 0, KV_REFRESH_AFTER_COMMIT = 1, KV_REFRESH_DEVICE_SHEET = 2 };

// One entry of the preset list as the re-validation read it (1547 UTF-16 characters).
typedef struct SETUP_OLD_PRESET {
  WCHAR ksdPath[260];  // the preset's file path with the extension "ksd"
  WCHAR path[260];     // the preset's file path
  WCHAR name[513];
  WCHAR comment[513];
  WORD drop;  // non-zero: the preset is dropped from the list
} SETUP_OLD_PRESET;
static_assert(sizeof(SETUP_OLD_PRESET) == 1547 * 2, "SETUP_OLD_PRESET");

// What an import did with the entries of a bundle.
typedef struct SETUP_IMPORT_COUNTS {
  UINT entries;  // entries that name a file (after expansion) and were walked
  UINT failed;   // of them, the ones that were not imported (each makes the answer 0)
} SETUP_IMPORT_COUNTS;

KV_BEGIN_DECLS

#if defined(KV_CONFIG_UI) || defined(KV_CONFIG_RULE)
// Imports the default presets that section (a language code) of the bundle lists, as the
// flags say. Entries whose path cannot be expanded are skipped. A listed file that is missing
// or unreadable (also after the install), or that is no default preset file of the driver
// (SetupIsDefaultPresetFile), is skipped too (neither registered nor converted) and makes
// the answer 0; so does a failed install or conversion, and a registration refused by the
// list (full, or writes barred). The list never grows beyond 16 presets. 1 when every usable entry was imported, or
// when there is nothing to do (no or an empty list, already 16 presets); 0 for a settings INI
// that is not drive-absolute or for a failed entry. With KV_IMPORT_FIRST_INSTALL and answer 1
// the bundle's section gets "DrvInstPresetDone" = 1.
int WINAPI SetupImportDefaultPresets(const WCHAR *bundle, const WCHAR *section, DWORD flags, DRIVER_CONTEXT *ctx,
                                     int oldCount, const SETUP_OLD_PRESET *oldList);
// SetupImportDefaultPresets, also counting into *counts (when not NULL) the entries walked
// and the ones that failed; both 0 when the walk did not start.
int WINAPI SetupImportDefaultPresetsCounted(const WCHAR *bundle, const WCHAR *section, DWORD flags, DRIVER_CONTEXT *ctx,
                                            int oldCount, const SETUP_OLD_PRESET *oldList, SETUP_IMPORT_COUNTS *counts);
// 1 when the file is a default preset file of the driver: a file (no folder) whose bundle
// language section (section) holds "setname", "setcomment" or a preset item by the name the
// bundle read takes, with a value. 0 for a missing or unreadable file, a file without that
// section, and a text, binary or other file that holds none of those keys there.
int WINAPI SetupIsDefaultPresetFile(const WCHAR *file, const WCHAR *section, DRIVER_CONTEXT *ctx);
// Appends the converted copy as a preset named by name and comment; an empty name takes the
// context's preset name item (else "NoName"), an empty comment (when a name is given) the
// preset comment item. With KV_IMPORT_CONDITIONS a copy that is disabled or whose conditions
// fail is not added (a copy that does not exist passes). 1 when added or deliberately left
// out; 0 when the list refused the append (full, writes barred) or for a NULL argument.
int WINAPI SetupAddDefaultPreset(const WCHAR *settingsIni, const WCHAR *copy, const WCHAR *name, const WCHAR *comment,
                                 DWORD flags, DRIVER_CONTEXT *ctx);
// 1 and *index when the first 8 characters of the copy's file name equal (case-insensitive)
// those of an entry's preset file name; 0 for a NULL argument or no match.
int WINAPI SetupFindPresetInList(const WCHAR *copy, int count, const SETUP_OLD_PRESET *list, int *index);
// Reads "setname" and "setcomment" of the section of the default file into name and comment
// (260 characters each; left as they are when the keys are missing).
int WINAPI SetupReadPresetNameComment(const WCHAR *file, const WCHAR *section, WCHAR *name, WCHAR *comment);
// Re-tests the stored presets against the printer's bundle ("DefaultKst") and the current
// settings: converted copies of defaults whose conditions no longer hold are dropped, the
// list is rewritten with the kept ones and the missing defaults (but the first listed) are
// added. With ask (low byte) the user confirms the drops first (kvmlface; kvmlrule never
// asks); a refusal changes nothing. 0 without a bundle, for a bundle entry that cannot be
// expanded, when writes are barred, memory runs out or the user refused; else the import's
// answer.
int WINAPI SetupRevalidatePresets(DRIVER_CONTEXT *ctx, int ask);
// Asks whether presets may be dropped: kvmlface shows message KV_MSG_DROP_PRESETS with OK
// and Cancel (1 for OK); kvmlrule asks nobody and answers 1.
int WINAPI SetupConfirmPresetDrops(DRIVER_CONTEXT *ctx);
// Reads the preset file into the context (preset items, no message) and puts the work
// buffer back as it was. 1; 0 when the copy of the work buffer cannot be made.
int WINAPI SetupPresetFileFits(const WCHAR *path, DRIVER_CONTEXT *ctx);
#endif

#if defined(KV_CONFIG_UI)
// The once-per-printer preset refresh of the property sheets. Mode 0 (document sheet)
// shows message KV_MSG_PRESET_REFRESH and opens the device dialog, and refreshes only when
// it was accepted (then the printer configuration is saved first); mode 1 refreshes at once;
// mode 2 only shows the message. Mode 0 runs as mode 1 when the printer answers queries or
// the bundle was installed ("PackInstallDone"), mode 2 does nothing then. A refresh marks
// "PresetRefresh" = 1, after which every call answers 1 at once. 1 at once when the build
// has no refresh; 0 when shared writes are barred (nothing done); else 1.
int WINAPI SetupRefreshPresetsOnce(DRIVER_CONTEXT *ctx, int mode);
// Opens dialog id of the dialog table (mode 4, modal) and answers its result; the context's
// dialogResult is 1 when the user accepted it. Provisional until the property sheets exist:
// opens nothing, answers 0 and leaves dialogResult 0.
int WINAPI DlgOpen(DRIVER_CONTEXT *ctx, int mode, WORD dialogId, HWND parent);
#endif

KV_END_DECLS
