// The job-control exchange. The binding to the job-control DLL comes with the job-control
// bridge; until then no field is loaded and nothing is sent (both answer 0).
#include "store/jobctl.h"

int WINAPI JobCtlLoadFieldsFromPrinterData(DRIVER_CONTEXT *ctx, DWORD mask)
{
  (void)ctx;
  (void)mask;
  return 0;
}

int WINAPI JobCtlSendOnce(DRIVER_CONTEXT *ctx, DWORD mask)
{
  (void)ctx;
  (void)mask;
  return 0;
}

int WINAPI JobCtlFetchOnce(DRIVER_CONTEXT *ctx, DWORD mask)
{
  (void)ctx;
  (void)mask;
  return 0;
}
