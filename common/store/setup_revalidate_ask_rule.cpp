// kvmlrule has nobody to ask: the re-validation drops what it must.
#include "store/setup_presets.h"

int WINAPI SetupConfirmPresetDrops(DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  return 1;
}
