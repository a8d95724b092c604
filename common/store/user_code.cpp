// The user-code switch is off in every deliverable of this system, so each entry point
// answers what the switched-off path answers. The switched-on paths (the user-code INI
// and the provider DLL) belong to the job-control bridge and are not linked here: a
// build that turns the switch on gets the switched-off answers until they are.
#include "store/user_code.h"

#include "hooks/build_hooks.h"

int WINAPI UserCodeSyncIni(DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  return 1;
}

int WINAPI UserCodeLoadForDevmode(DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  return 1;
}

void WINAPI UserCodeRefreshProviderFlags(DRIVER_CONTEXT *ctx) { (void)ctx; }

void WINAPI UserCodeSaveIni(DRIVER_CONTEXT *ctx) { (void)ctx; }
