// What the operating-system layer reads from a driver context.
#include "context.h"
#include "os/os.h"

BOOL WINAPI OsCtxUsesSettingsMutex(DRIVER_CONTEXT *ctx)
{
  return !ctx || !ctx->state || ctx->state->useSettingsMutex != 0;
}

BOOL WINAPI OsCtxChecksAdmin(DRIVER_CONTEXT *ctx) { return !ctx || !ctx->state || ctx->state->checkAdmin != 0; }

HANDLE WINAPI OsCtxPrinter(DRIVER_CONTEXT *ctx) { return ctx ? ctx->printer : nullptr; }
