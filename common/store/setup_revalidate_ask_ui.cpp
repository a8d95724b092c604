// kvmlface asks before the re-validation drops presets.
#include "names/ui_messages.h"
#include "store/setup_presets.h"

int WINAPI SetupConfirmPresetDrops(DRIVER_CONTEXT *ctx)
{
  return UiWarnOkCancel(ctx, NULL, KV_MSG_DROP_PRESETS) == IDOK ? 1 : 0;
}
