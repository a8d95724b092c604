// The reset of a context's settings to their defaults: the description's item defaults, the
// work block, the driver version item, the finishing steps, and the adoption of the
// printer's stored DEVMODE.
#include <string.h>

#include "devmode/devmode_defaults.h"
#include "devmode/devmode_environment.h"
#include "devmode/devmode_header.h"
#include "devmode/devmode_layout.h"
#include "devmode/devmode_printer_default.h"
#include "devmode/dm_paper_items.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "model/model.h"
#include "names/names_paths.h"
#include "names/resources.h"
#include "os/os.h"
#include "blob/desc_runtime.h"
#include "tables/item_ids.h"

// The font-list items of the printer configuration (item group 2) keep their lists.
static bool IsFontListItem(WORD id) { return id >= ITEM_kdmFontTableNum && id <= ITEM_kdmOptionFont; }

// The preset number's default is a value ID of its table (118 none, 119-134 presets 0-15);
// a default that is none of them selects preset 0, as the check table's reset does.
static void ResetPresetNo(DRIVER_CONTEXT *ctx, OPTION_ITEM *row)
{
  LONG stored = ItemValueIdToStored(ctx, row, (LONG)DescGetItemDefault(row->id, ctx));
  ItemWriteRaw(ctx, row, ItemIsStoredValueMapped(ctx, row, stored) ? stored : 0);
}

// "Arial", or the Japanese resource DLL's default face.
static const WCHAR *DefaultFontName(DRIVER_CONTEXT *ctx)
{
  return CtxIsJapaneseResDll(ctx) ? u"ＭＳ Ｐゴシック" : u"Arial";
}

void WINAPI DmResetItemsToDescDefaults(DRIVER_CONTEXT *ctx)
{
  BYTE *dm = CtxGetDevmode(ctx);
  if (dm == NULL || ctx->items == NULL || ctx->items->rows == NULL) return;
  DmStampPrivateHeader(dm, ctx);
  // The languages follow the installed driver. They are set first and kept through the
  // walk, so that the resource strings of text defaults come from the driver's language.
  WORD language = ResGetDriverLanguageIndex(ctx);
  ItemSetRaw(ctx, ITEM_kdmLanguageID, language);
  ItemSetRaw(ctx, ITEM_kdmDspLanguageID, language);
  OPTION_ITEM *rows = (OPTION_ITEM *)ctx->items->rows;
  for (int i = 0; i < ctx->items->count; ++i) {
    OPTION_ITEM *row = &rows[i];
    if (row->id == ITEM_kdmPresetNo)
      ResetPresetNo(ctx, row);
    else if (!IsFontListItem(row->id) && row->id != ITEM_kdmLanguageID && row->id != ITEM_kdmDspLanguageID)
      ItemSetDefault(ctx, row->id, (LONG)DescGetItemDefault(row->id, ctx));
  }
  ItemWriteText(ctx, ItemFindById(ctx, ITEM_kdmHFFontName), DefaultFontName(ctx));
  ItemWriteText(ctx, ItemFindById(ctx, ITEM_kdmCopyProtectFontName), DefaultFontName(ctx));
}

void WINAPI DmSetDriverVersionItem(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->model == NULL || ctx->model->driverVersionText == NULL) return;
  ItemWriteText(ctx, ItemFindById(ctx, ITEM_wdmDriverVersion), ctx->model->driverVersionText);
}

// Rows from 625 on are the work block's, and the configuration block's items 1230-1270
// among them, which the block test leaves out.
void WINAPI DmResetWorkBlockDefaults(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->items == NULL || ctx->items->rows == NULL) return;
  OPTION_ITEM *rows = (OPTION_ITEM *)ctx->items->rows;
  for (int i = 625; i < ctx->items->count; ++i) {
    if (KvItemBlock(&rows[i]) == 3) ItemSetDefault(ctx, rows[i].id, (LONG)DescGetItemDefault(rows[i].id, ctx));
  }
  DmSetDriverVersionItem(ctx);
}

void WINAPI DmResetConfigBlockDefaults(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->items == NULL || ctx->items->rows == NULL) return;
  OPTION_ITEM *rows = (OPTION_ITEM *)ctx->items->rows;
  for (int i = 0; i < ctx->items->count; ++i) {
    if (KvItemBlock(&rows[i]) == KV_BLOCK_CONFIG && !IsFontListItem(rows[i].id))
      ItemSetDefault(ctx, rows[i].id, (LONG)DescGetItemDefault(rows[i].id, ctx));
  }
  DmSetDeviceInfoString(ctx);
}

void WINAPI ItemCheckAllByTable(BYTE *devmode, DRIVER_CONTEXT *ctx, DWORD mode)
{
  (void)devmode;
  ItemRunCheckTable(ctx, mode);
}

// The derived items include the resolution code (item 152): the refresh derives the print
// quality from the device resolution, which leaves the code alone, so the defaults would
// otherwise hand out a code that stands for no resolution and that the first merge of the
// same DEVMODE rewrites. A pass mode still pending from a merge belongs to no default.
void WINAPI DmFinishDefaults(BYTE *devmode, DRIVER_CONTEXT *ctx)
{
  ItemCheckAllByTable(devmode, ctx, KV_CHECK_MODE_RESET);
  DmRefreshDerivedItems((DEVMODEW *)devmode, ctx, 1);
  if (ctx != NULL && ctx->state != NULL) {
    ctx->state->pendingPassMode = 0;
    LONG dpi = ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL);
    DmSetResolutionCode(dpi > 0 ? (DWORD)dpi : 0, ctx);
  }
  DmWriteIdentBlock(ctx);
}

void WINAPI DmResetToDefaults(DRIVER_CONTEXT *ctx)
{
  BYTE *dm = CtxGetDevmode(ctx);
  if (dm == NULL) return;
  DmResetItemsToDescDefaults(ctx);
  DmSetDriverVersionItem(ctx);
  DmFillPublicDefaults(dm, 1, ctx);
  DmFinishDefaults(dm, ctx);
  DmSetEnvironmentState(ctx);
  WORD language = ResGetPrinterLanguageIndex(ctx);
  ItemSetRaw(ctx, ITEM_kdmLanguageID, language);
  ItemSetRaw(ctx, ITEM_kdmDspLanguageID, language);
}

// Takes the stored DEVMODE of that scope when it passes the full test; 1 when taken.
static int AdoptStoredDevmodeOf(DRIVER_CONTEXT *ctx, BYTE *dm, int scope)
{
  const BYTE *stored = NULL;
  void *info = OsGetStoredDevmode(OsCtxPrinter(ctx), scope, &stored);
  if (info == NULL) return 0;
  // Equal sizes to the context's mean the spooler's copy holds the whole DEVMODE, so the
  // header test and the copy read nothing past it.
  bool ok = DmReadSize(stored) != 0 && DmReadDriverExtra(stored) != 0 && DmReadDriverVersion(stored) != 0 &&
            DmReadSize(stored) == DmReadSize(dm) && DmReadDriverExtra(stored) == DmReadDriverExtra(dm) &&
            DmReadDriverVersion(stored) == DmReadDriverVersion(dm) && DmClaimedExtent(stored) == DmGetTotalSize() &&
            DmCheckPrivateHeader(stored);
  // The stored DEVMODE is taken whole, public fields included; only its illegal private
  // values are repaired. Its state block describes the call and machine it was saved on,
  // so this call's environment is written over it.
  if (ok) {
    memcpy(dm, stored, DmGetTotalSize());
    DmStampBlockOffsets(dm);
    ItemRunCheckTable(ctx, KV_CHECK_MODE_KEEP_LEGAL);
    DmSetEnvironmentState(ctx);
  }
  GlobalFree(info);
  return ok ? 1 : 0;
}

// The user's own stored default first, then the one for all users (DmLoadPrinterDefault's
// order).
int WINAPI DmAdoptStoredDevmode(DRIVER_CONTEXT *ctx)
{
  BYTE *dm = CtxGetDevmode(ctx);
  if (dm == NULL) return 0;
  for (int scope : kDmStoredDefaultOrder)
    if (AdoptStoredDevmodeOf(ctx, dm, scope)) return 1;
  return 0;
}
