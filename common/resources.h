// Resource DLLs of a context (language strings and pictures) and resource strings.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Loads string id into dst (cch characters, always terminated); "" and 0 without the
// language DLL. withValue completes the string with its value text.
LONG WINAPI ResLoadString(DRIVER_CONTEXT *ctx, UINT id, WCHAR *dst, int cch, BOOL withValue);
// Frees the language and picture DLLs of a context.
void WINAPI ResFreeDlls(DRIVER_CONTEXT *ctx);

KV_END_DECLS
