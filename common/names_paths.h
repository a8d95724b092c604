// Names and paths cached in a context: printer name, driver name, language code and the
// per-printer settings INI.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

const WCHAR *WINAPI CtxGetPrinterName(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetPrinterSection(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetDriverName(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetUiLanguageCode(DRIVER_CONTEXT *ctx);
const WCHAR *WINAPI CtxGetSettingsIniPath(DRIVER_CONTEXT *ctx);

KV_END_DECLS
