// Resource DLLs of a context. Loading the language DLL and its strings comes with the
// resource-string support; until then a context has no language DLL and every string
// reads as empty.
#include "resources.h"

LONG WINAPI ResLoadString(DRIVER_CONTEXT *ctx, UINT id, WCHAR *dst, int cch, BOOL withValue)
{
  (void)id;
  (void)withValue;
  if (dst != NULL && cch > 0) dst[0] = 0;
  if (ctx == NULL || ctx->languageDll == NULL) return 0;
  return 0;  // no loader for the language DLL's strings yet: nothing loaded
}

void WINAPI ResFreeDlls(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return;
  if (ctx->languageDll != NULL) FreeLibrary(ctx->languageDll);
  if (ctx->commonDll != NULL) FreeLibrary(ctx->commonDll);
  ctx->languageDll = NULL;
  ctx->commonDll = NULL;
}
