// The version of a stored DEVMODE against this driver's and its stepwise upgrade through
// the conversion transactions of the printer description.
#include <string.h>

#include "devmode/dm_version.h"
#include "items/item_store.h"
#include "model/model.h"
#include "rules/rule_eval.h"
#include "tables/item_ids.h"

static DM_CONVERT_STEP_RUNNER s_stepRunner = NULL;

void WINAPI DmSetConvertStepRunner(DM_CONVERT_STEP_RUNNER runner) { s_stepRunner = runner; }

int WINAPI DmCompareVersions(DWORD stored, DWORD driver)
{
  DWORD sMajor = stored / 100, sMinor = stored % 100;
  DWORD dMajor = driver / 100, dMinor = driver % 100;
  if (sMajor < 3 && dMajor < 3) return 2;
  if (sMajor == dMajor) return sMinor < dMinor ? 1 : 0;
  return sMajor > dMajor ? 0 : 2;
}

// The private version word of a DEVMODE, read only when the DEVMODE's own sizes say its
// private part reaches that far. 0 with *ok = false otherwise.
static DWORD StoredVersion(const BYTE *devmode, bool *ok)
{
  WORD size, extra;
  memcpy(&size, devmode + offsetof(DEVMODEW, dmSize), sizeof size);
  memcpy(&extra, devmode + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
  *ok = size >= offsetof(DEVMODEW, dmFields) && (DWORD)extra >= KV_DM_VERSION_IN_PRIVATE + sizeof(DWORD);
  if (!*ok) return 0;
  DWORD v;
  memcpy(&v, devmode + size + KV_DM_VERSION_IN_PRIVATE, sizeof v);
  return v;
}

// The private-part DEVMODE version this driver writes (not the description's FileVersion).
static DWORD DriverPrivDevmodeVersion(void) { return CtxGetTemplate()->model->privVersion; }

int WINAPI DmCheckVersion(const BYTE *devmode)
{
  if (devmode == NULL) return -1;
  bool ok;
  DWORD stored = StoredVersion(devmode, &ok);
  if (!ok) return 2;  // no private version to compare: not convertible
  return DmCompareVersions(stored, DriverPrivDevmodeVersion());
}

int WINAPI DmRunConvertSteps(DWORD from, DWORD to, DRIVER_CONTEXT *ctx)
{
  const SYMBOL_ENTRY *sym = ItemFindSymbolByName("KPD_ConvertDevmode");
  if (sym == NULL || sym->key == 0) return 0;
  for (DWORD v = from + 1; v <= to; ++v) {
    ItemSetRaw(ctx, ITEM_wdmConvertVersion, (LONG)v);
    // Each step runs the description's transactions of the conversion key; a test may put
    // its own runner in their place.
    if (s_stepRunner != NULL)
      s_stepRunner(ctx, sym->key);
    else
      RuleRunKeyedTransactions(sym->key, 0, ctx);
    if ((DWORD)ItemGetRaw(ctx, ITEM_wdmConvertVersion, NULL) >= to) break;
  }
  return 1;
}

int WINAPI DmUpgradeIfOlder(const BYTE *devmode, DRIVER_CONTEXT *ctx)
{
  if (DmCheckVersion(devmode) != 1) return 0;
  bool ok;
  DWORD stored = StoredVersion(devmode, &ok);
  DWORD driver = DriverPrivDevmodeVersion();
  int result = DmRunConvertSteps(stored, driver, ctx);
  BYTE *priv = CtxGetPrivatePart(ctx);
  if (priv != NULL) memcpy(priv + KV_DM_VERSION_IN_PRIVATE, &driver, sizeof driver);
  return result;
}
