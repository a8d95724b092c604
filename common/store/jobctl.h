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
// Opens a job-control session for the context's printer (kept open across fetches and
// sends); answers the status, 0 when it is open. Provisional until the job-control bridge
// is bound: opens nothing and answers 0.
int WINAPI JobCtlOpen(DRIVER_CONTEXT *ctx);
// Fetches the fields of mask from the open session into their items; 0. Provisional until
// the job-control bridge is bound: fetches nothing.
int WINAPI JobCtlFetch(DRIVER_CONTEXT *ctx, DWORD mask);
// Sends the current values of the fields of mask on the open session; answers the status.
// Provisional until the job-control bridge is bound: sends nothing and answers 0.
int WINAPI JobCtlSend(DRIVER_CONTEXT *ctx, DWORD mask);
// Closes the session JobCtlOpen opened; 0. Provisional until the job-control bridge is
// bound: closes nothing.
int WINAPI JobCtlClose(DRIVER_CONTEXT *ctx);
// Empties the job fields of mask in the context, without asking the job-control DLL: the
// text fields (user code, owner, job password, user id, document name, telephone number,
// stored password) become empty and the telephone line 0; the three authentication
// fields only when the authentication feature is on. Nothing when the job-control switch
// is off. Answers 0.
int WINAPI JobCtlClearItems(DRIVER_CONTEXT *ctx, DWORD mask);

KV_END_DECLS
