// Settings files in the kst format: 8-bit INI text whose sections hold a version header
// ("KstVersion", "KstMachine", "KstLanguage", "KstOSKind") and one line of item name, '='
// and value per option item. One serializer reads and writes every kind of settings file
// (presets, quality sets, stamps, custom paper sizes, the printer-configuration text file,
// deployment bundles); the flags word says which section, header and items it handles.
#pragma once

#include "context.h"
#include "store/ini_image.h"

// The serializer's flags word.
enum KST_SERIALIZE_FLAGS : DWORD {
  KST_READ = 0x1,
  KST_WRITE = 0x2,
  KST_PRESET_ITEMS = 0x4,  // items with a preset membership; on writes only with 0x2000 or 0x20000
  KST_BUNDLE = 0x8,        // deployment bundle: language section, no header, no header items
  KST_QUALITY_ITEMS = 0x10,
  KST_STAMP_ITEMS = 0x20,  // without it a write leaves out the watermark tile and pattern items
  KST_FREE_SIZE = 0x80,    // rows 0 to 4 stand for the custom paper size items
  KST_PRINTER_CONFIG = 0x100,
  KST_SRC_FREE_SIZE = 0x200,  // rows 0 to 4 stand for the source custom paper size items
  KST_KSD_SECTION = 0x800,
  KST_WORK_ITEMS = 0x1000,
  KST_SECTION_BY_DIRECTION = 0x2000,  // read: language section, no header check; write: printer name
  KST_NO_MESSAGE = 0x8000,
  KST_LANGUAGE_SECTION = 0x10000,  // write entry point: the language-code section
  KST_DRIVER_SECTION = 0x20000,    // read entry point: the driver-name section when it has a header
};

// Header keys, the fixed sections and the printer-configuration text file.
#define KST_KEY_VERSION u"KstVersion"
#define KST_KEY_MACHINE u"KstMachine"
#define KST_KEY_LANGUAGE u"KstLanguage"
#define KST_KEY_OS_KIND u"KstOSKind"
#define KST_SECTION_PRINTER u"KVMLPrnSection"
#define KST_SECTION_KSD u"KVMLKsdSection"
#define KST_PRINTER_CONFIG_FILE u"TVPKPRNT.txt"

// Settings-file status words of the context (CtxGetSettingsFileStatus); otherwise the
// system error code of a file that could not be created.
#define KST_STATUS_OK 0
#define KST_STATUS_REJECTED 1
#define KST_STATUS_UNREADABLE 2

// Message shown when a settings file's header is rejected; its argument is the file name.
#define KST_MSG_REJECTED 10023

// One value that a settings-file read did not take as the file gives it: the item and the
// file's text of the value (cut to 15 characters).
typedef struct KST_CORRECTION {
  WORD itemId;
  WCHAR text[16];
} KST_CORRECTION;

// What a settings-file read notes besides the values it takes (StoreReadSettingsFileReport):
// the numbers it corrected into their items' ranges, and where a file that ends inside a
// line stopped. rows (capacity entries, or NULL to count only) receives the first
// corrections in the order read.
typedef struct KST_READ_REPORT {
  KST_CORRECTION *rows;
  DWORD capacity;
  DWORD corrected;  // corrections made; more than capacity when rows could not hold them all
  DWORD cutLine;    // 1-based line at which the read stopped in a file cut short; 0 for a whole file
} KST_READ_REPORT;

KV_BEGIN_DECLS

// ---------------------------------------------------------------- items in INI keys

// Reads the item's key (item->key) from the section image with its cursor, or, without an
// image, from the file's section (item->section, or the printer name for an item without
// one). Text goes into the field; a number is held to the item's range (ItemStoreFileNumber):
// one outside it, or text that is no number, is corrected and noted in the context's read
// report, if any. 1 when a non-empty value was found and set (or corrected); 1 with nothing
// done for a path that is not absolute ("X:...") or an item without key; else 0 (the item
// keeps its value).
int WINAPI StoreReadItemFromIni(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR path, const char *image, LONG *cursor);
// Writes the item's value as its key's text into the composed section at *offset, or,
// without one, into the file's section. A text value is written without its CR and LF
// characters, which would break the file's lines. 1 when written (or nothing to do, as
// above); 0 when the value cannot be formatted or the write fails.
int WINAPI StoreWriteItemToIni(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item, LPCWSTR path,
                               INI_SECTION_BUFFER *image, DWORD *offset);
// TRUE when INI writes of the shared settings are barred: the build shares settings, the
// context runs under terminal services and its user is no administrator.
BOOL WINAPI StoreSharedWritesBarred(DRIVER_CONTEXT *ctx);

// ---------------------------------------------------------------- item filters
// Each answers 1 when the item is kept, 0 for a NULL item or item id 0.

int WINAPI StoreFilterNoHeader(const OPTION_ITEM *item);
int WINAPI StoreFilterUserSetting(const OPTION_ITEM *item);
int WINAPI StoreFilterPrinterConfig(const OPTION_ITEM *item);
int WINAPI StoreFilterNoSecret(const OPTION_ITEM *item);
int WINAPI StoreFilterNoNotifyCaps(const OPTION_ITEM *item);
int WINAPI StoreFilterNoNotify(const OPTION_ITEM *item);

// ---------------------------------------------------------------- header

// 1 when the 16-bit versions have the same major version (value / 100).
int WINAPI StoreSameKstMajor(DWORD a, DWORD b);
// Writes "KstVersion" (and, unless versionOnly, "KstMachine", "KstLanguage", "KstOSKind")
// into the composed section at *offset, or without one into the file's section. 1 when
// every key was written.
int WINAPI StoreWriteKstHeader(LPCWSTR file, INI_SECTION_BUFFER *output, DRIVER_CONTEXT *ctx, LPCWSTR section,
                               DWORD *offset, int versionOnly);
// Checks (read) or writes (write) the section's header as the flags say. position is the
// read cursor in the section image, or the write offset in the output. A settings file is
// rejected when a header key is missing, the machine or language differ from the context,
// or the version fails (same major version with majorOnly, else equal). On a rejection the
// message KST_MSG_REJECTED is shown with the file name unless showMessage is 0 or the flags
// have KST_QUALITY_ITEMS. An accepted older version of the same major version runs the
// conversion steps up to the driver's version. 1 accept, 0 reject.
int WINAPI StoreCheckKstHeader(LPCWSTR file, LPCWSTR section, DWORD flags, int showMessage, DRIVER_CONTEXT *ctx,
                               const char *image, INI_SECTION_BUFFER *output, LONG *position, int majorOnly);
// 1 when the file is a settings file of the context's printer: its section holds a header
// that a read accepts (every key, the context's machine and language, the driver's major
// version). Nothing is converted and no message is shown. 0 for a missing file, a folder,
// or a file without such a header (empty, damaged, another printer's, no settings file).
int WINAPI StoreIsKstOfPrinter(LPCWSTR file, LPCWSTR section, DRIVER_CONTEXT *ctx);
// Shows the rejected-header message (UI configuration); the other configurations show none.
void WINAPI StoreWarnRejectedKst(DRIVER_CONTEXT *ctx, LPCWSTR file);

// ---------------------------------------------------------------- serializer

// Reads or writes the items the flags select in the section they choose. Sets the status to
// KST_STATUS_OK first; 0 for a path that is not absolute, an unreadable file (status
// KST_STATUS_UNREADABLE), a failed allocation or a failed write; 1 with status
// KST_STATUS_REJECTED, no item touched, for a rejected header; 1 otherwise. Keys missing
// from a good file leave their items as they were and do not fail the read. A read of a
// file whose last line has no line end (cut short) leaves that line out and, when the line
// ends the section read, notes its number in the context's read report.
int WINAPI StoreSerializeItems(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx);
// The loaded file and the composed section of one serializer run.
typedef struct KST_SECTION_IO {
  INI_IMAGE in;
  INI_SECTION_BUFFER out;
  DWORD length;
} KST_SECTION_IO;
// Reads or writes (KST_WRITE) items first..last by name: from the section image and into
// the composed section of io, or, without io, one key at a time in the file's section.
// The font-list items are written as 0 and keep their values. 1 unless a write failed.
int WINAPI StoreSerializeItemRange(LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx, LPCWSTR section, KST_SECTION_IO *io,
                                   WORD first, WORD last);
// The two authentication-mode items (when they fall in first..last) by name in the
// serializer's section: a plain read (flags 1) reads, a plain write (flags 2) writes, and
// only when printer data can be written. 0 for a path that is not absolute or a failed
// write; 1 otherwise.
int WINAPI StoreSerializeAuthModes(LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx, WORD first, WORD last);
// The printer-configuration items in KST_SECTION_PRINTER (a bundle read: the language
// section). Read or write as the flags say; a write composes the section and rewrites the
// file once, putting the section first. 0 for a path that is not absolute, an unreadable
// file or a failed write.
int WINAPI StoreSerializePrinterConfig(LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx);
int WINAPI StoreReadPrinterConfig(LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx);
// With KST_BUNDLE the file is the printer-configuration text file of the shared settings
// folder and the log-code items are left out.
int WINAPI StoreWritePrinterConfig(LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx);
// Writes the preset items with the full header into KST_SECTION_KSD of the shared
// folder's printer-configuration text file (file is not read; the section goes first and
// the file's other sections stay). A plain write (flags without bits beyond
// KST_NO_MESSAGE | KST_WRITE) holds the driver's name in the printer-name cache during the
// call. 0 at once, writing nothing, when shared writes are barred; else the serializer's
// answer, under the settings mutex.
int WINAPI StoreWriteKsdSection(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx);
// The serializer on the printer-configuration text file with flags + KST_KSD_SECTION +
// KST_WRITE; 0 when the shared folder's path cannot be made or the write fails.
int WINAPI StoreSerializeKsdSection(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx);

// ---------------------------------------------------------------- entry points

// Reads a settings file into the context; a plain preset read takes the driver-name section
// when it has a header, else the printer-name section.
int WINAPI StoreReadSettingsFile(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx);
// StoreReadSettingsFile that also fills *report (cleared first) with what the read of this
// file noted: the numbers corrected into their items' ranges and, for a file whose last line
// has no line end (a file cut short: the writer ends every line), the number of that line,
// which is not taken. The stored lists that a preset read goes on to load are not part of
// the report. The answer is StoreReadSettingsFile's; report may be NULL.
int WINAPI StoreReadSettingsFileReport(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx,
                                       KST_READ_REPORT *report);
// The read under the settings mutex. The settings-file status after it is the one the
// serializer left; the answer is the serializer's (then the authentication modes'). A
// quality file (KST_QUALITY_ITEMS) whose header was rejected is rebuilt from the driver
// folder's file of the same name with extension "ksq" when there is one (the answer is
// then 1 and the status still says rejected; the context is not changed). A plain preset
// read that took the file is followed up: the custom sizes, stamp (its id at most the
// stamp count) and user quality it selects are saved in their lists; for the 95 and NT 4
// OS kinds the system's colour matching is switched off, and only the 95 and 98 kinds keep
// DM_MEDIATYPE; no stored preset is selected; the locale defaults apply; the job fields are
// exchanged; the settings are merged as the context's own DEVMODE and the settings-loaded
// event is raised, with the interface-mode switch off until the end.
int WINAPI StoreReadSettingsFileLocked(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx);
// Writes the context into a settings file: a plain preset write uses the driver-name
// section, KST_LANGUAGE_SECTION the language code.
int WINAPI StoreWriteSettingsFile(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx);
// The write under the settings mutex. 0 at once, without the mutex, for a barred write; 0
// when the serializer or the authentication modes fail. A preset write first loads the
// stored custom sizes, stamp and user quality the settings select, raises module event 12
// and brings the public DEVMODE fields in step with the items; the work buffer is put back
// as it was afterwards.
int WINAPI StoreWriteSettingsFileLocked(HANDLE printer, LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx);

KV_END_DECLS
