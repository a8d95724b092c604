// The two authentication-mode items of the printer configuration in a settings file: kept
// by name in the serializer's section, and only by a caller who may change printer data.
#include "items/item_store.h"
#include "tables/item_ids.h"
#include "names/names_paths.h"
#include "os/printer_data.h"
#include "store/settings_files.h"

namespace {

bool IsAbsolute(LPCWSTR path) { return path != NULL && path[0] != 0 && path[1] == u':'; }

}  // namespace

int WINAPI StoreSerializeAuthModes(LPCWSTR file, DWORD flags, DRIVER_CONTEXT *ctx, WORD first, WORD last)
{
  if (!IsAbsolute(file)) return 0;
  if (ctx == NULL || (flags != KST_READ && flags != KST_WRITE)) return 1;
  if (!BidiCanWritePrinterData(ctx)) return 1;
  // The serializer's section for a plain read or write: the printer-name cache.
  const WCHAR *section = CtxGetPrinterName(ctx);
  int answer = 1;
  static const WORD kModes[] = {ITEM_kdmPrnFuncAuthenticationMode, ITEM_kdmPrnFuncAuthenticationSecureMode};
  for (WORD id : kModes) {
    if (id < first || id > last) continue;
    OPTION_ITEM *item = ItemFindById(ctx, id);
    if (item == NULL || item->name == NULL) continue;
    const WCHAR *savedSection = item->section;
    const WCHAR *savedKey = item->key;
    item->section = section;
    item->key = item->name;
    // A key missing from an older file leaves the item as it was.
    if (flags == KST_WRITE && !StoreWriteItemToIni(ctx->printer, ctx, item, file, NULL, NULL)) answer = 0;
    if (flags == KST_READ) StoreReadItemFromIni(ctx, item, file, NULL, NULL);
    item->section = savedSection;
    item->key = savedKey;
  }
  return answer;
}
