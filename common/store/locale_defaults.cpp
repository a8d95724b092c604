// First-run defaults from the user's locale and the driver's model key of the model INI.
#include "files/ini.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "store/settings_setup.h"
#include "tables/item_ids.h"

namespace {

// Paper codes and display units of the first-run defaults.
constexpr WORD kPaperLetter = 1;
constexpr WORD kPaperA4 = 9;
constexpr WORD kUnitInch = 1;
constexpr WORD kUnitMillimetre = 0;
constexpr DWORD kModelKeyChars = 33;

}  // namespace

int WINAPI OsGetUserCountryPrefix(void)
{
  WCHAR country[14] = {0};
  if (GetLocaleInfoW(GetUserDefaultLCID(), LOCALE_ICOUNTRY, country, 14) == 0) return 0;
  WCHAR first = country[0];
  return first == u'1' || first == u'2' || first == u'5' ? first - u'0' : 0;
}

int WINAPI SetupLocaleDefaults(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return 0;
  int prefix = OsGetUserCountryPrefix();
  FIRST_RUN_DEFAULTS &first = ctx->state->firstRun;
  first.countryPrefix = (WORD)prefix;
  first.unit = prefix != 0 ? kUnitInch : kUnitMillimetre;
  first.paper = prefix != 0 ? kPaperLetter : kPaperA4;
  if (ctx->work == NULL || ItemGetAddress(ctx, ItemFindById(ctx, ITEM_kdmLocaleID)) == NULL) return 0;
  ItemSetRaw(ctx, ITEM_kdmLocaleID, prefix);
  return 1;
}

const WCHAR *WINAPI SetupGetModelKey(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  WCHAR *key = ctx->state->modelKey;
  key[0] = 0;
  const WCHAR *driver = CtxGetDriverName(ctx);
  const WCHAR *model = CtxGetModelIniPath(ctx);
  if (driver == NULL || model == NULL || model[0] == 0) return NULL;
  IniGetString(u"Models", driver, u"", key, kModelKeyChars, model);
  return key[0] != 0 ? key : NULL;
}
