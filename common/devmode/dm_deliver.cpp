// The DEVMODE delivered to the caller of a property sheet, and the commits of the
// document's and the printer's settings.
#include "devmode/dm_deliver.h"

#include <stddef.h>

#include "devmode/devmode_convert.h"
#include "devmode/devmode_layout.h"
#include "devmode/devmode_paper.h"
#include "devmode/dm_paper_items.h"
#include "devmode/dm_request.h"
#include "hooks/build_hooks.h"
#include "items/item_store.h"
#include "model/model.h"
#include "model/state_items.h"
#include "os/os.h"
#include "store/jobctl.h"
#include "store/settings_store.h"
#include "store/user_code.h"
#include "tables/item_ids.h"

namespace {

// The job fields emptied before a DEVMODE leaves the driver: every exchanged field.
constexpr DWORD kDeliveredJobFields = 0x389F;
// The mode of the commits that take no mode.
constexpr LONG kCommitMode = 3;

bool Usable(DRIVER_CONTEXT *ctx) { return ctx != NULL && ctx->state != NULL && ctx->work != NULL; }

// A caller's DEVMODE whose public part reaches past dmCollate.
bool ReachesCollate(const BYTE *devmode)
{
  return devmode != NULL && DmReadSize(devmode) >= offsetof(DEVMODEW, dmCollate) + sizeof(SHORT);
}

// The collation of a caller's DEVMODE: set from the sort item when the job can be collated,
// else off.
void SetOutputCollate(DRIVER_CONTEXT *ctx, BYTE *devmode, bool canCollate)
{
  BYTE *fields = devmode + offsetof(DEVMODEW, dmFields);
  BYTE *collate = devmode + offsetof(DEVMODEW, dmCollate);
  DWORD bits = DmReadLe32(fields);
  if (canCollate) {
    DmWriteLe32(fields, bits | DM_COLLATE);
    DmWriteLe16(collate, ItemGetRaw(ctx, ITEM_kdmFuncSelectSort, NULL) != 0 ? 1 : 0);
  } else {
    DmWriteLe32(fields, bits & ~(DWORD)DM_COLLATE);
    DmWriteLe16(collate, 0);
  }
}

// The collation of the output DEVMODE after a copy: an input DEVMODE that asks for
// collation itself keeps the copied value, except for a printer-defaults call on a system
// that is not Windows 2000 before Service Pack 4.
void FixOutputCollate(DRIVER_CONTEXT *ctx, BYTE *output, const BYTE *input)
{
  if (!ReachesCollate(output)) return;
  bool canCollate = DmCanCollate(ctx) != 0;
  if (canCollate && input != NULL && DmReadSize(input) >= offsetof(DEVMODEW, dmFields) + sizeof(DWORD) &&
      (DmReadLe32(input + offsetof(DEVMODEW, dmFields)) & DM_COLLATE) != 0 &&
      (OsIsWin2000BeforeSP4() || CtxGetCallSrc(ctx) != 1))
    return;
  SetOutputCollate(ctx, output, canCollate);
}

// The collation of the working DEVMODE, through its items.
void FixWorkingCollate(DRIVER_CONTEXT *ctx)
{
  DWORD bits = (DWORD)ItemGetRaw(ctx, ITEM_dmFields, NULL);
  if (DmCanCollate(ctx)) {
    ItemSetRaw(ctx, ITEM_dmFields, (LONG)(bits | DM_COLLATE));
    ItemSetRaw(ctx, ITEM_dmCollate, ItemGetRaw(ctx, ITEM_kdmFuncSelectSort, NULL) != 0 ? 1 : 0);
  } else {
    ItemSetRaw(ctx, ITEM_dmFields, (LONG)(bits & ~(DWORD)DM_COLLATE));
    ItemSetRaw(ctx, ITEM_dmCollate, 0);
  }
}

}  // namespace

int WINAPI DmDeliverToCaller(DRIVER_CONTEXT *ctx)
{
  if (!Usable(ctx)) return 0;
  DWORD mode = ctx->state->sheetMode;
  if ((mode & (DM_UPDATE | DM_COPY)) == 0) return 1;
  // A copied DEVMODE carries an empty request block and the capabilities the rules allow now.
  if ((mode & DM_COPY) && JobCtlIsEnabled()) DmPublishCapsBlock(ctx);
  JobCtlClearItems(ctx, kDeliveredJobFields);
  BYTE *working = CtxGetDevmode(ctx);
  BYTE *input = reinterpret_cast<BYTE *>(ctx->state->sheetDevmodeIn);
  BYTE *output = reinterpret_cast<BYTE *>(ctx->state->sheetDevmodeOut);
  if ((mode & DM_COPY) || (ctx->state->createFlags & CTX_CREATE_DOCPROPS)) {
    if (output == NULL) return 1;
    DmCopyToOutput(working, input, output);
    FixOutputCollate(ctx, output, input);
    return 1;
  }
  if (output != NULL) DmCopyToOutput(working, input, output);
  FixWorkingCollate(ctx);
  return 1;
}

int WINAPI StoreDeliverAndSaveDocument(DRIVER_CONTEXT *ctx)
{
  if (!Usable(ctx)) return 0;
  DmDeliverToCaller(ctx);
  StoreSaveDocumentItems(ctx->printer, ctx);
  return 1;
}

int WINAPI StoreCommitDocumentSettingsMode(DRIVER_CONTEXT *ctx, LONG mode)
{
  if (!Usable(ctx)) return 0;
  DmSyncPublicFieldsFromItems(reinterpret_cast<DEVMODEW *>(CtxGetDevmode(ctx)), ctx, mode);
  return StoreDeliverAndSaveDocument(ctx);
}

int WINAPI StoreCommitDocumentSettings(DRIVER_CONTEXT *ctx)
{
  return StoreCommitDocumentSettingsMode(ctx, kCommitMode);
}

int WINAPI StoreCommitPrinterSettingsMode(DRIVER_CONTEXT *ctx, LONG mode)
{
  if (!Usable(ctx)) return 0;
  UserCodeSaveIni(ctx);
  DmSyncPublicFieldsFromItems(reinterpret_cast<DEVMODEW *>(CtxGetDevmode(ctx)), ctx, mode);
  StoreSavePrinterItems(ctx->printer, ctx);
  return 1;
}

int WINAPI StoreCommitPrinterSettings(DRIVER_CONTEXT *ctx) { return StoreCommitPrinterSettingsMode(ctx, kCommitMode); }
