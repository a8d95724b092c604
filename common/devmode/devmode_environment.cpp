// The identification block and the driver state block of the context's DEVMODE. They are
// filled from the build and the machine, which the non-UI configuration sees differently,
// so they live apart from the header and the format checks.
#include "devmode/devmode_environment.h"

#include <string.h>

#include "devmode/devmode_layout.h"
#include "hooks/build_hooks.h"
#include "items/item_store.h"
#include "model/state_items.h"
#include "os/os.h"
#include "os/os_registry.h"
#include "tables/item_ids.h"

namespace {

const char kExchangeMark[] = "KCOMMON";
static_assert(sizeof(kExchangeMark) == KV_DM_KCOM_MARK_SIZE, "the mark fills its field");

void WriteAnsiField(BYTE *field, const WCHAR *text)
{
  memset(field, 0, KV_DM_IDENT_FIELD_SIZE);
  if (text != NULL) StrWideToAnsi((char *)field, text, KV_DM_IDENT_FIELD_SIZE);
}

BYTE Flag(BOOL on) { return on ? 1 : 0; }

}  // namespace

void WINAPI DmWriteIdentFields(BYTE *priv, const MODEL_RECORD *model, BOOL exchangeBlock)
{
  if (priv == NULL || model == NULL) return;
  WriteAnsiField(priv + KV_DM_PRIV_IDENT_INI, model->settingsIniName);
  WriteAnsiField(priv + KV_DM_PRIV_IDENT_CDC, model->cdcVersion);
  WriteAnsiField(priv + KV_DM_PRIV_IDENT_PJL, model->pjlVersion);
  memset(priv + KV_DM_PRIV_KCOM_MARK, 0, KV_DM_KCOM_MARK_SIZE);
  if (exchangeBlock) memcpy(priv + KV_DM_PRIV_KCOM_MARK, kExchangeMark, sizeof kExchangeMark);
  priv[KV_DM_PRIV_KCOM_VERSION] = exchangeBlock ? KV_DM_KCOM_VERSION_ON : 0;
  memset(priv + KV_DM_PRIV_REQUEST_BLOCK, 0, KV_DM_EXCHANGE_BLOCK_SIZE);
  memset(priv + KV_DM_PRIV_CAPS_BLOCK, 0, KV_DM_EXCHANGE_BLOCK_SIZE);
}

void WINAPI DmWriteIdentBlock(DRIVER_CONTEXT *ctx)
{
  BYTE *dm = CtxGetDevmode(ctx);
  // The private part starts behind the public part; a public size that does not cover the
  // header words would put the block over them.
  if (dm == NULL || DmReadSize(dm) < offsetof(DEVMODEW, dmFields)) return;
  DmWriteIdentFields(CtxGetPrivatePart(ctx), ctx->model, JobCtlIsEnabled() ? TRUE : FALSE);
}

// The state items in the order they are written; item 625 (the printer's bidi functions)
// belongs to the bidirectional query and is not touched.
void WINAPI DmSetEnvironmentState(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || CtxGetDevmode(ctx) == NULL) return;
  CtxSetCallSrcProperty(ctx);
  if (OsIsNT5OrLater())
    CtxSetOSKind2000(ctx);
  else
    CtxSetOSKindNT40(ctx);
  CtxSetTSE(ctx, Flag(OsProbeTerminalServer(OsCtxPrinter(ctx))));
  CtxSetAdmin(ctx, Flag(OsIsAdministrator(ctx)));
  CtxSetBatchInstOn(ctx);
  CtxSetPrintLogOff(ctx);
  CtxSetBiDirectOff(ctx);
  CtxSetNoPermissionOff(ctx);
  CtxSetPresentUIMode(ctx, Flag(ItemGetRaw(ctx, ITEM_kdmUIModeChange, NULL) != 0));
  CtxSetBidiSupport(ctx, Flag(OsPrinterBidiEnabled(ctx)));
  CtxSetServerClientMode(ctx, Flag(OsPrinterIsConnection(ctx)));
  CtxSetUserCodeFIX(ctx, Flag(ItemGetRaw(ctx, ITEM_kdmLogCodeUse, NULL) != 0));
  CtxSetUserCodeGetOff(ctx);
  CtxSetTWInstalled(ctx, Flag(OsIsCompanionAppInstalled(KV_COMPANION_JOB_BINDING, ctx)));
  CtxSetPropertyTypeDocument(ctx);
  CtxSetUserCodeDLLOff(ctx);
}
