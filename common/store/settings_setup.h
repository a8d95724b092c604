// Settings files that come with a deployment bundle or the driver package: the conditions
// and driver switches a file carries, the expansion of the paths a bundle names, the paths
// of converted copies, the copy of a settings file through a context, and the first-run
// defaults taken from the user's locale and the model INI.
#pragma once

#include "context.h"

// Modes of PathExpandWinSysDir: 1 expands a bundle path (driver and shared settings folders
// from Windows 2000 on); any other mode the system and Windows folders.
#define KV_EXPAND_BUNDLE 1
// Flags of PathDriverSettingsFile: the extension of the copy.
#define KV_DRIVER_FILE_KSD 0x4
#define KV_DRIVER_FILE_KSQ 0x10

KV_BEGIN_DECLS

// 1 when the file's section "condition" holds for the context's settings: each group
// "ConditionOption<g>_<a>" (g, a '0'-'9') holds when one of its lines does, and every group
// must hold. 1 for a file without conditions, a description without the condition item, or
// when memory runs out.
int WINAPI SetupFileConditionsHold(const WCHAR *path, DRIVER_CONTEXT *ctx);
// Takes one token of a condition line: blanks, an optional '!', a name (up to 259 bytes, the
// rest of a longer name is skipped), blanks, an optional join ('&' sets *andJoin 1, '|' 0).
// Answers the characters consumed; 0 and an empty name at the end of the line or for a NULL
// argument.
int WINAPI SetupParseConditionToken(const char *text, char *name, int *negated, int *andJoin);
// 1 unless the file's section "disable" holds a non-zero number under the driver's name.
int WINAPI SetupFileNotDisabled(const WCHAR *path, DRIVER_CONTEXT *ctx);
// 1 when the file's printer section holds "KstVersion".
int WINAPI StoreHasKstVersion(const WCHAR *path, DRIVER_CONTEXT *ctx);
// Converts the settings file source into destination through the context: the condition
// and disable sections are copied, the source's language section is read and written as
// the destination's printer section, with its "Readonly". The context's settings are as
// before. Nothing happens when memory runs out or no snapshot level is free.
void WINAPI StoreCopySettingsFile(const WCHAR *destination, const WCHAR *source, DWORD flags, DRIVER_CONTEXT *ctx);
// Expands a path in place (capacity characters): a drive-absolute path stays; "%windir%",
// "%sysdir%", ".\" and a plain relative path are put inside the folder they name, "..\"
// climbs from the system folder. 1 when the path is absolute afterwards. A path after a
// prefix that is itself absolute or leaves the folder through ".." is refused (0, the path
// untouched), as is one that does not fit or whose folder cannot be found.
int WINAPI PathExpandWinSysDir(WCHAR *path, DWORD capacity, int mode, DRIVER_CONTEXT *ctx);
// PathExpandWinSysDir in bundle mode, then 1 only for a file name with a stem and an
// extension of 1 to 3 characters.
int WINAPI SetupExpandBundlePath(WCHAR *path, DWORD capacity, DRIVER_CONTEXT *ctx);
// destination := settings folder + "\" + the source's file name with extension "ksr".
BOOL WINAPI PathSettingsKsrFile(WCHAR *destination, const WCHAR *source, DWORD capacity, DRIVER_CONTEXT *ctx);
// destination := driver folder + the source's file name, its extension replaced by "ksd"
// (flag KV_DRIVER_FILE_KSD) or "ksq" (KV_DRIVER_FILE_KSQ). 0 (destination "") for a NULL
// argument, an unknown driver folder or a result that does not fit; else 1.
int WINAPI PathDriverSettingsFile(WCHAR *destination, const WCHAR *source, DWORD capacity, DWORD flags,
                                  DRIVER_CONTEXT *ctx);
int WINAPI PathDriverKsqFile(WCHAR *destination, const WCHAR *source, DWORD capacity, DRIVER_CONTEXT *ctx);
// destination := source with the extension "ksd".
BOOL WINAPI PathWithKsdExt(WCHAR *destination, const WCHAR *source, DWORD capacity);
// The first digit of the user locale's country code when it is 1, 2 or 5; else 0.
int WINAPI OsGetUserCountryPrefix(void);
// First-run values of the context from the user's locale: prefix 1, 2 or 5 gives inch and
// Letter, any other millimetre and A4; item kdmLocaleID := the prefix. 1 when the item was
// set.
int WINAPI SetupLocaleDefaults(DRIVER_CONTEXT *ctx);
// The driver's model key: "Models", key = driver name, of the model INI (32 characters),
// kept in the context; NULL when empty.
const WCHAR *WINAPI SetupGetModelKey(DRIVER_CONTEXT *ctx);

KV_END_DECLS
