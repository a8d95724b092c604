// Services of the printer setup that the settings core reads: the deployment INI and the
// printer's default settings bundle.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// 1 when the key of the INI file's section holds a number other than 0, else 0 (also for
// a missing key or a NULL section).
int WINAPI IniIsKeySet(const WCHAR *file, const WCHAR *section, const WCHAR *key);
// out (260 characters) := the key's value; 1 when every argument is given and the value is
// not empty, else 0.
int WINAPI IniReadPathKey(const WCHAR *file, const WCHAR *section, const WCHAR *key, WCHAR *out);
// The key := value as decimal text; 1 when written, else 0.
int WINAPI IniWriteInt(const WCHAR *file, const WCHAR *section, int value, const WCHAR *key);
// The deployment INI's file name, "KVML.ini".
const WCHAR *WINAPI SetupGetDeployIniName(void);
// outPath (260 characters) := the printer's default settings bundle, the "DefaultKst" key
// of its section of the settings INI; 1 when found, 0 (outPath untouched) when the
// settings INI path is not drive-absolute or the key is empty.
int WINAPI SetupGetDefaultKst(WCHAR *outPath, DRIVER_CONTEXT *ctx);

// The deployment INI in the system directory, and its "DrvInstSet" key.
const WCHAR *WINAPI SetupGetDeployIniPath(DRIVER_CONTEXT *ctx);
// 1 while the section's "DrvInstSet" key of the deployment INI holds a number other than 0.
int WINAPI SetupIsInstSet(const WCHAR *deployIni, const WCHAR *section);
// Writes value to the section's "DrvInstSet" key; 1 when written, else 0.
int WINAPI SetupWriteInstSet(const WCHAR *deployIni, const WCHAR *section, int value);

KV_END_DECLS
