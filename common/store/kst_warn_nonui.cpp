// Without property sheets a rejected settings-file header shows no message: the caller
// learns of it from the settings-file status alone.
#include "store/settings_files.h"

void WINAPI StoreWarnRejectedKst(DRIVER_CONTEXT *ctx, LPCWSTR file)
{
  (void)ctx;
  (void)file;
}
