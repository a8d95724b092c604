// Writing one stored quality set: its file's quality items and its name.
#include "files/ini.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "store/list_internal.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace {

// The control of the property sheet that holds the quality set's name.
constexpr WORD kQualityNameControl = 2281;

// The name to store: the text item bound to the quality-name control; item 830 when that
// control is bound to no text item (a non-text item would read as a placeholder).
void NameToStore(DRIVER_CONTEXT *ctx, WCHAR *name, DWORD chars)
{
  name[0] = 0;
  OPTION_ITEM *item = ItemOfControl(ctx, CtlFindById(ctx, NULL, kQualityNameControl));
  if (item == NULL || !KvValueTypeIsText(KvItemValueType(item))) item = ItemFindById(ctx, ITEM_wdmUserSetName);
  if (item == NULL || KvItemSize(item) + 6 > chars) return;
  ItemReadText(ctx, item, name);
}

}  // namespace

int WINAPI ListSaveQualityByKey(DRIVER_CONTEXT *ctx, const WCHAR *key)
{
  if (ctx == NULL || key == NULL || lstrlenW(key) >= KV_PRESET_KEY_CHARS) return LIST_SAVE_FAILED;
  WCHAR path[1025];
  int choice = kvlist::ChooseSaveFile(ctx, key, path);
  if (choice == LIST_SAVE_FAILED || StoreWriteSettingsFile(ctx->printer, path, KST_QUALITY_ITEMS, ctx) != 1 ||
      !kvlist::PutSaveFile(ctx, key, path, choice))
    return LIST_SAVE_FAILED;
  WCHAR full[KV_PRESET_KEY_CHARS + 8];
  wsprintfW(full, u"%sName", key);
  WCHAR name[600];
  NameToStore(ctx, name, 600);
  return IniWriteString(CtxGetPrinterSection(ctx), full, name, CtxGetSettingsIniPath(ctx)) ? choice : LIST_SAVE_FAILED;
}
