// kvmlrule and kvmldraw show no message for a preset file that could not be taken.
#include "store/stored_lists.h"

void WINAPI ListWarnPresetNotTaken(DRIVER_CONTEXT *ctx, const WCHAR *path)
{
  (void)ctx;
  (void)path;
}
