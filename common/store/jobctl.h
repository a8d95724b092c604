// The job-control exchange with the outside job-control DLL.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

int WINAPI JobCtlLoadFieldsFromPrinterData(DRIVER_CONTEXT *ctx, DWORD mask);
int WINAPI JobCtlSendOnce(DRIVER_CONTEXT *ctx, DWORD mask);

KV_END_DECLS
