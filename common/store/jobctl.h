// The job-control exchange with the outside job-control DLL.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Loads the job-control fields of mask from the printer data into the context; answers
// whether anything was loaded. Provisional until the job-control bridge is bound: loads
// nothing and answers 0.
int WINAPI JobCtlLoadFieldsFromPrinterData(DRIVER_CONTEXT *ctx, DWORD mask);
// Sends the job-control fields of mask (and the user code) to the job-control DLL once;
// answers whether anything was sent. Provisional until the job-control bridge is bound:
// sends nothing and answers 0.
int WINAPI JobCtlSendOnce(DRIVER_CONTEXT *ctx, DWORD mask);
// Opens a job-control session, fetches the fields of mask into their items and closes it,
// in one call; answers whether anything was fetched. Provisional until the job-control
// bridge is bound: fetches nothing and answers 0.
int WINAPI JobCtlFetchOnce(DRIVER_CONTEXT *ctx, DWORD mask);

KV_END_DECLS
