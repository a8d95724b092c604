// The version of a stored DEVMODE against this driver's, and its stepwise upgrade through
// the conversion transactions of the printer description.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// The stored DEVMODE's private version against the driver's, as DmCompareVersions answers
// (1 older and convertible); 2 when the DEVMODE's own sizes hold no private version, -1 for
// a NULL devmode.
int WINAPI DmCheckVersion(const BYTE *devmode);
// Two versions (major * 100 + minor): 1 when stored is older than driver within the same
// major version; 0 when it is the same or newer (a newer major version included); 2 when
// its major version is older or both major versions are below 3. Never fails.
int WINAPI DmCompareVersions(DWORD stored, DWORD driver);
// Upgrades the context's DEVMODE when DmCheckVersion(devmode) says 1: runs the conversion
// steps and writes the driver's version into the context's private part. 0 when nothing
// was converted, otherwise the answer of DmRunConvertSteps.
int WINAPI DmUpgradeIfOlder(const BYTE *devmode, DRIVER_CONTEXT *ctx);
// One step per version from + 1 .. to: sets item 922 to the step and runs the step runner,
// stopping early when item 922 reaches to. 0 when the tables have no KPD_ConvertDevmode
// symbol, 1 otherwise.
int WINAPI DmRunConvertSteps(DWORD from, DWORD to, DRIVER_CONTEXT *ctx);
// Runs the conversion transactions keyed by the given symbol for one step. Until the rule
// engine provides them, a runner can be installed here (NULL = steps only set item 922).
typedef void(WINAPI *DM_CONVERT_STEP_RUNNER)(DRIVER_CONTEXT *ctx, WORD symbolKey);
// Installs the runner used by every later step (process-wide); NULL removes it.
void WINAPI DmSetConvertStepRunner(DM_CONVERT_STEP_RUNNER runner);

KV_END_DECLS
