// The rejected-header message of a settings file, shown by the property sheets' process.
#include "names/ui_messages.h"
#include "store/settings_files.h"

void WINAPI StoreWarnRejectedKst(DRIVER_CONTEXT *ctx, LPCWSTR file)
{
  UiWarnBoxWithText(ctx, NULL, KST_MSG_REJECTED, file);
}
