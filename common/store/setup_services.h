// Services of the printer setup that the settings core reads: the deployment INI and the
// printer's default settings bundle.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

int WINAPI IniIsKeySet(const WCHAR *file, const WCHAR *section, const WCHAR *key);
const WCHAR *WINAPI SetupGetDeployIniName(void);
int WINAPI SetupGetDefaultKst(WCHAR *outPath, DRIVER_CONTEXT *ctx);

// The deployment INI in the system directory, and its "DrvInstSet" key.
const WCHAR *WINAPI SetupGetDeployIniPath(DRIVER_CONTEXT *ctx);
int WINAPI SetupIsInstSet(const WCHAR *deployIni, const WCHAR *section);
int WINAPI SetupWriteInstSet(const WCHAR *deployIni, const WCHAR *section, int value);

KV_END_DECLS
