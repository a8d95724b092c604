// The stored lists of the settings core: presets and quality sets (settings files listed in
// the printer's section of the settings INI), stamps and the ten custom paper sizes
// (sections of the settings INI, one set per display language), with the model INI's
// defaults and the in-memory preset cache of a context.
//
// Writes are barred for a user whom terminal services keep out of the shared settings
// (StoreSharedWritesBarred); the operations that walk every entry work on a DEVMODE snapshot
// and roll it back, so the caller's settings are as before. Such a walk does nothing when no
// snapshot level is free.
#pragma once

#include "context.h"

// Answers of the preset and quality-set saves: not written; written into the file the
// entry names; written into a fresh user file that the entry names from now on, because the
// stored one was not the printer's to write (see ListClassifyKstFile).
enum : int { LIST_SAVE_FAILED = 0, LIST_SAVE_DONE = 1, LIST_SAVE_NEW_FILE = 2 };
// What the file of a preset or quality-set entry is to the saves (ListClassifyKstFile).
enum : int { LIST_FILE_NEW = 0, LIST_FILE_OWN = 1, LIST_FILE_FOREIGN = 2, LIST_FILE_OUTSIDE = 3 };
// Preset list limits and key kinds.
#define KV_PRESET_MAX 16
#define KV_PRESET_KEY_CHARS 32
enum : int { LIST_KEY_PATH = 0, LIST_KEY_NAME = 1, LIST_KEY_COMMENT = 2 };
// Operations of ListPresetCache.
enum : int { LIST_CACHE_FORGET = 0, LIST_CACHE_RESTORE = 1, LIST_CACHE_SAVE = 2, LIST_CACHE_FREE = 3 };
// Custom paper sizes: ten user slots, then the two fixed free-size papers.
#define KV_FREE_SIZE_SLOTS 10
#define KV_PAPER_SLOTS 12
#define KV_FREE_SIZE_PAPER_FIRST 384
#define KV_FREE_SIZE_PAPER_LAST 393
// The pending-UI-work bit that marks the custom sizes as loaded for the context.
#define KV_UI_FLAG_FREE_SIZES_LOADED 0x4000000u
// The stamp index that stands for the stamp being edited; saving it leaves the count alone.
#define KV_STAMP_EDIT_INDEX 256

// One row of the per-slot item table: the items of a user size slot.
typedef struct FREE_SIZE_ITEM_ROW {
  WORD width;
  WORD length;
  WORD tray;
  WORD orientation;
} FREE_SIZE_ITEM_ROW;

KV_BEGIN_DECLS

// ---------------------------------------------------------------- presets

// "Count" of the printer's section of the settings INI (0 when missing).
int WINAPI ListGetPresetCount(DRIVER_CONTEXT *ctx);
// buffer (KV_PRESET_KEY_CHARS characters) := "PresetList%d" with index, followed by "Name"
// (kind 1) or "Comment" (kind 2); answers buffer, NULL for a NULL buffer.
WCHAR *WINAPI ListFormatPresetKey(WCHAR *buffer, int index, int kind);
// Address of the ANSI text field of the preset name (828) / comment (829); NULL without it.
char *WINAPI ListPresetNameField(DRIVER_CONTEXT *ctx);
char *WINAPI ListPresetCommentField(DRIVER_CONTEXT *ctx);
// Index outside 0-15: empties the name and comment items, reads nothing, answers 0. Else
// ListLoadPresetByKey of that index's key.
int WINAPI ListSelectPreset(DRIVER_CONTEXT *ctx, int index);
// Loads the preset stored under the key into the context: from the cache when it holds the
// key (answer 1, no file read, no event), else from its file (answer 0). A file that cannot
// be taken (header rejected) empties the key and preset 0 is read instead; a file that
// cannot be read just now leaves the key as it is. Name and comment items follow the keys;
// the selected stamp is reloaded; module event 11 is raised. Afterwards the context's
// settings-file status says whether the preset's own file was taken: KST_STATUS_OK (also
// for a load from the cache), else that file's status (KST_STATUS_REJECTED: no settings
// file of the printer; KST_STATUS_UNREADABLE: missing or unreadable) whatever preset 0's
// read left.
int WINAPI ListLoadPresetByKey(DRIVER_CONTEXT *ctx, const WCHAR *key);
// Shows the message that a preset file could not be taken (kvmlface); nothing elsewhere.
void WINAPI ListWarnPresetNotTaken(DRIVER_CONTEXT *ctx, const WCHAR *path);
// Loads the companion defaults file ("ksd" in the shared settings directory) of preset
// index when it exists; 1 when read, else 0.
int WINAPI ListLoadPresetKsd(DRIVER_CONTEXT *ctx, int index);
// 0 when writes are barred or the index is outside 0-15; else ListSavePresetByKey.
int WINAPI ListSavePreset(DRIVER_CONTEXT *ctx, int index);
// Writes the preset items into the file under the key and the name and comment keys; then
// frees the preset cache. A stored file that a save may not write (ListClassifyKstFile:
// another file, or a path outside the settings directory) is left as it is: the preset goes
// into a fresh user file (ListMakeNewKstPath) whose path then replaces the key's value.
// The keys are written in one rewrite of the settings INI.
// LIST_SAVE_DONE or LIST_SAVE_NEW_FILE when the file and keys were written; LIST_SAVE_FAILED
// for an empty key value (nothing is written), when no fresh name is left or a write failed.
int WINAPI ListSavePresetByKey(DRIVER_CONTEXT *ctx, const WCHAR *key);
// 0 for an index outside 0-15; else ListIsKstWritable of its file (1 for an entry that has
// no file yet).
int WINAPI ListIsPresetWritable(DRIVER_CONTEXT *ctx, int index);
// 1 unless the file's printer section has "Readonly" = 1 (1 for a NULL or empty name).
int WINAPI ListIsKstWritable(DRIVER_CONTEXT *ctx, const WCHAR *file);
// Gives preset index a user file of its own before it is written: a new name when its path
// is empty or names a copied default (last character 'R' or 'r'). 1 when the preset has a
// path; 0 when writes are barred or no free name is left. A stored file that is not the
// printer's to write is replaced by the save itself (ListSavePresetByKey).
int WINAPI ListEnsureUserPresetFile(DRIVER_CONTEXT *ctx, int index);
// Saves the context's settings as preset index, with its name and comment from items 828
// and 829: index below "Count" replaces that preset (in its own file, or in a new user file
// when it has none, names a copied default, or names a file the save may not write:
// ListClassifyKstFile); index equal to "Count" appends a preset with
// a new user file. The preset file is written first; then the preset's keys (its path when
// new, name, comment, and "Count" for an appended one) go into the settings INI in one
// rewrite. All of it runs under the settings mutex. Frees the preset cache. LIST_SAVE_DONE
// when the file and the keys were written, LIST_SAVE_NEW_FILE when so but the entry's
// stored file was left as it is for a new one; LIST_SAVE_FAILED (0) when writes are barred, index is outside 0-15 or past
// "Count", no free file name is left, or a write failed (the list is then as it was).
int WINAPI ListSavePresetEntry(DRIVER_CONTEXT *ctx, int index);
// buffer (1025 characters) := the first settings directory path "userNNNN.kst" that no file
// or folder holds and no entry of the preset or quality-set list names (ListNamesFile), so
// that no file is ever shared by two entries or written over. 1 when found; 0 (buffer "")
// when all 10000 names are taken or the directory is unknown.
int WINAPI ListMakeNewKstPath(DRIVER_CONTEXT *ctx, WCHAR *buffer);
// What the file of a preset or quality-set entry is to the saves: LIST_FILE_OUTSIDE for a
// path that is not an entry directly inside the settings directory
// (PathIsInListSettingsDir; this includes an empty path); inside it, LIST_FILE_NEW when no
// such file exists, LIST_FILE_OWN for a settings file of the printer (StoreIsKstOfPrinter
// of the printer's section), else LIST_FILE_FOREIGN (empty, damaged, another printer's, a
// folder, any other file). A save writes only LIST_FILE_NEW and LIST_FILE_OWN files: the
// settings INI names the files, and any program may write the INI.
int WINAPI ListClassifyKstFile(DRIVER_CONTEXT *ctx, const WCHAR *file);
// 1 when an entry of the preset list ("PresetList0" to "PresetList15") or of the quality-set
// list (below "QualityCount", at most the first 1024) names the file: the same full path,
// case ignored. 0 otherwise and for a NULL or empty file.
int WINAPI ListNamesFile(DRIVER_CONTEXT *ctx, const WCHAR *file);
// Rewrites every stored preset (from its companion defaults when it has one), keeping
// "Readonly"; the context's settings are as before. 1 done, 0 no snapshot level was free.
int WINAPI ListResaveAllPresets(DRIVER_CONTEXT *ctx);
// The preset cache (16 slots of raw preset-item values): LIST_CACHE_FORGET drops the slots
// without freeing; LIST_CACHE_FREE frees them; LIST_CACHE_SAVE copies the items into the
// key's slot; LIST_CACHE_RESTORE copies them back. 1 only for a successful restore.
int WINAPI ListPresetCache(DRIVER_CONTEXT *ctx, const WCHAR *key, int operation);

// ---------------------------------------------------------------- quality sets

int WINAPI ListGetQualityCount(DRIVER_CONTEXT *ctx);
// buffer := "QualityList%d" (+ "Name" for kind 1).
WCHAR *WINAPI ListFormatQualityKey(WCHAR *buffer, int index, int kind);
// Reads the quality set's file (quality items) and its name into item 830. 1 when read.
int WINAPI ListLoadQuality(DRIVER_CONTEXT *ctx, int index);
int WINAPI ListLoadQualityByKey(DRIVER_CONTEXT *ctx, const WCHAR *key);
// Writes the quality items into the file under the key and the name of the quality-name
// control into the name key. A stored file that a save may not write is left as it is, as
// for the presets (ListSavePresetByKey). LIST_SAVE_FAILED when barred, for an empty key
// value or a failed write; else LIST_SAVE_DONE or LIST_SAVE_NEW_FILE.
int WINAPI ListSaveQuality(DRIVER_CONTEXT *ctx, int index);
int WINAPI ListSaveQualityByKey(DRIVER_CONTEXT *ctx, const WCHAR *key);
// Reads the quality set's companion "ksq" file (language section) and its name. 1 when read.
int WINAPI ListLoadQualityKsq(DRIVER_CONTEXT *ctx, int index);
int WINAPI ListLoadQualityKsqByKey(DRIVER_CONTEXT *ctx, const WCHAR *key);
// Rewrites every quality set 0 .. "QualityCount" - 1 up to the first one without a file,
// on a snapshot that is rolled back; 1 done, 0 no snapshot level was free.
int WINAPI ListResaveAllQualities(DRIVER_CONTEXT *ctx);
// OsGetPrinterName under its second name.
WCHAR *WINAPI OsGetPrinterNameAlias(HANDLE printer, WCHAR *buf, DWORD capacity);
// Module event 12 (whether the default files are used); the answer, 1 when none answers.
LONG WINAPI CtxNotifyModulesEvent12(DRIVER_CONTEXT *ctx);

// ---------------------------------------------------------------- stamps

int WINAPI ListGetStampCount(DRIVER_CONTEXT *ctx);
int WINAPI ListWriteStampCount(DRIVER_CONTEXT *ctx, int count);
// buffer (KV_INI_SECTION_MAX + 1) := "Stamp%d%s" with the language code.
WCHAR *WINAPI ListFormatStampSection(WCHAR *buffer, int index, int unused, DRIVER_CONTEXT *ctx);
// Reads / writes the stamp items in that section of the settings INI; the save frees the
// preset cache. The serializer's answer.
int WINAPI ListLoadStampSection(DRIVER_CONTEXT *ctx, const WCHAR *section);
int WINAPI ListSaveStampSection(DRIVER_CONTEXT *ctx, const WCHAR *section);
// Loads stamp index, then item 118 := index.
int WINAPI ListLoadStamp(DRIVER_CONTEXT *ctx, int index);
// 0 when barred or the index is negative; raises "StampCount" past index (not for
// KV_STAMP_EDIT_INDEX), item 118 := index, writes the section.
int WINAPI ListSaveStamp(DRIVER_CONTEXT *ctx, int index);
// Removes stamp index (0 <= index < count) by moving every later one down, a gap of the
// list (a stamp whose section is not stored) as a gap; the count becomes count - 1. A count
// above KV_STAMP_EDIT_INDEX counts as KV_STAMP_EDIT_INDEX: the edit stamp is no stamp of the
// list. 0 for an index outside the list, when barred or when no snapshot level is free
// (nothing changed).
int WINAPI ListDeleteStamp(DRIVER_CONTEXT *ctx, int index);
// Loads and saves again every stored stamp below the count (at most KV_STAMP_EDIT_INDEX of
// them), skipping gaps, on a snapshot that is rolled back; 1 done, 0 no snapshot level was
// free.
int WINAPI ListResaveAllStamps(DRIVER_CONTEXT *ctx);
// Reloads the selected stamp when stamps are on and its kind is an allowed value.
int WINAPI ListReloadSelectedStamp(DRIVER_CONTEXT *ctx);
// The default stamps of the model INI.
int WINAPI ListGetModelStampCount(DRIVER_CONTEXT *ctx);
int WINAPI ListLoadModelStampSection(DRIVER_CONTEXT *ctx, const WCHAR *section);
int WINAPI ListLoadModelStamp(DRIVER_CONTEXT *ctx, int index);
// The same reads on any INI-format file (bundle import).
int WINAPI ListGetStampCountOfFile(const WCHAR *file, DRIVER_CONTEXT *ctx);
int WINAPI ListLoadStampSectionOfFile(const WCHAR *file, const WCHAR *section, DRIVER_CONTEXT *ctx);
int WINAPI ListLoadStampOfFile(const WCHAR *file, int index, DRIVER_CONTEXT *ctx);

// ---------------------------------------------------------------- custom paper sizes

int WINAPI ListFreeSizeSlotCount(DRIVER_CONTEXT *ctx);
int WINAPI ListGetFreeSizeSlotCount(DRIVER_CONTEXT *ctx);
int WINAPI ListGetPaperSlotCount(DRIVER_CONTEXT *ctx);
// buffer := "FreeSize%d%s" with the language code.
WCHAR *WINAPI ListFormatFreeSizeSection(WCHAR *buffer, int slot, int unused, DRIVER_CONTEXT *ctx);
// The per-slot item table: ten rows and a zero row.
const FREE_SIZE_ITEM_ROW *WINAPI ListGetFreeSizeItemTable(void);
int WINAPI ListLoadFreeSizeSection(DRIVER_CONTEXT *ctx, const WCHAR *section);
int WINAPI ListLoadSrcFreeSizeSection(DRIVER_CONTEXT *ctx, const WCHAR *section);
int WINAPI ListSaveFreeSizeSection(DRIVER_CONTEXT *ctx, const WCHAR *section);
// The same by slot number (0-9; other slots: 0).
int WINAPI ListLoadFreeSize(DRIVER_CONTEXT *ctx, int slot);
int WINAPI ListLoadSrcFreeSize(DRIVER_CONTEXT *ctx, int slot);
int WINAPI ListSaveFreeSize(DRIVER_CONTEXT *ctx, int slot);
void WINAPI ListCopyFreeSizeToSlotItems(DRIVER_CONTEXT *ctx, const WCHAR *section);
void WINAPI ListFreeSizeCacheToSlotItems(DRIVER_CONTEXT *ctx, int slot);
void WINAPI ListFreeSizeCacheToItems(DRIVER_CONTEXT *ctx, int slot);
void WINAPI ListFreeSizeCacheToSrcItems(DRIVER_CONTEXT *ctx, int slot);
void WINAPI ListFreeSizeItemsToCache(DRIVER_CONTEXT *ctx, int slot);
void WINAPI ListFreeSizeSrcItemsToCache(DRIVER_CONTEXT *ctx, int slot);
// Reads the ten stored sizes into the slot records once per context. 1 when loaded now or
// earlier; 0 when no snapshot level was free (the records are not marked loaded).
int WINAPI ListLoadAllFreeSizes(DRIVER_CONTEXT *ctx);
// Writes the ten slot records into their sections; 0 when barred or no level was free.
int WINAPI ListSaveAllFreeSizes(DRIVER_CONTEXT *ctx);
int WINAPI ListResaveAllFreeSizes(DRIVER_CONTEXT *ctx);
// Fills the ten slot records from the model INI's defaults.
void WINAPI ListLoadFreeSizeDefaults(DRIVER_CONTEXT *ctx);
int WINAPI ListGetModelFreeSizeCount(DRIVER_CONTEXT *ctx);
int WINAPI ListWriteFreeSizeCount(DRIVER_CONTEXT *ctx, int count);
int WINAPI ListLoadModelFreeSizeSection(DRIVER_CONTEXT *ctx, const WCHAR *section);
int WINAPI ListLoadModelFreeSize(DRIVER_CONTEXT *ctx, int slot);
int WINAPI ListIsFreeSizePaper(LONG paper);
WORD WINAPI ListSlotToPaperId(int slot, int count, DRIVER_CONTEXT *ctx);
int WINAPI ListPaperIdToSlot(WORD paper, DRIVER_CONTEXT *ctx);
void WINAPI ListFillFixedSizeSlot(DRIVER_CONTEXT *ctx, WORD paper, int slot);

KV_END_DECLS
