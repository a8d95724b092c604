// The message of a preset file that could not be taken, shown by kvmlface.
#include "names/ui_messages.h"
#include "store/settings_files.h"
#include "store/stored_lists.h"

void WINAPI ListWarnPresetNotTaken(DRIVER_CONTEXT *ctx, const WCHAR *path)
{
  UiWarnBoxWithText(ctx, GetActiveWindow(), KST_MSG_REJECTED, path);
}
