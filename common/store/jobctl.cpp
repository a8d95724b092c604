// The job-control exchange. The binding to the job-control DLL comes with the job-control
// bridge; until then no session is opened, no field is loaded, fetched or sent (each such
// call answers 0). Emptying the job fields is local and is done here.
#include "store/jobctl.h"

#include "hooks/build_hooks.h"
#include "items/item_store.h"
#include "tables/item_ids.h"

namespace {

// The job fields by mask bit: the ones exchanged with the job-control DLL. The bits of the
// fields that are only ever sent (0x100-0x400) have nothing to empty.
struct JobField {
  DWORD mask;
  WORD item;
};
constexpr JobField kJobFields[] = {
    {0x1, ITEM_kdmUserCode},
    {0x2, ITEM_kdmOwnerName},
    {0x4, ITEM_kdmJOBPassword},
    {0x8, ITEM_kdmUserID},
    {0x10, ITEM_kdmDocumentName},
    {0x20, ITEM_kdmTelNo},
    {0x40, ITEM_kdmTelLine},
    {0x80, ITEM_kdmStoredPassword},
    {0x800, ITEM_wdmAuthenticationUserName},
    {0x1000, ITEM_wdmAuthenticationPassword},
    {0x2000, ITEM_wdmAuthenticationNetworkKey},
};
// The authentication fields, exchanged only with the authentication feature on.
constexpr DWORD kAuthFieldBits = 0x3800;
// The authentication feature of CtxIsFeatureEnabled.
constexpr WORD kAuthFeature = 0;

}  // namespace

int WINAPI JobCtlLoadFieldsFromPrinterData(DRIVER_CONTEXT *ctx, DWORD mask)
{
  (void)ctx;
  (void)mask;
  return 0;
}

int WINAPI JobCtlSendOnce(DRIVER_CONTEXT *ctx, DWORD mask)
{
  (void)ctx;
  (void)mask;
  return 0;
}

int WINAPI JobCtlFetchOnce(DRIVER_CONTEXT *ctx, DWORD mask)
{
  (void)ctx;
  (void)mask;
  return 0;
}

int WINAPI JobCtlOpen(DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  return 0;
}

int WINAPI JobCtlFetch(DRIVER_CONTEXT *ctx, DWORD mask)
{
  (void)ctx;
  (void)mask;
  return 0;
}

int WINAPI JobCtlSend(DRIVER_CONTEXT *ctx, DWORD mask)
{
  (void)ctx;
  (void)mask;
  return 0;
}

int WINAPI JobCtlClose(DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  return 0;
}

int WINAPI JobCtlClearItems(DRIVER_CONTEXT *ctx, DWORD mask)
{
  if (ctx == NULL || ctx->work == NULL || !JobCtlIsEnabled()) return 0;
  if (CtxIsFeatureEnabled(ctx, kAuthFeature, NULL) == 0) mask &= ~kAuthFieldBits;
  for (const JobField &field : kJobFields) {
    if ((mask & field.mask) == 0) continue;
    OPTION_ITEM *item = ItemFindById(ctx, field.item);
    if (item == NULL) continue;
    if (field.item == ITEM_kdmTelLine)
      ItemWriteRaw(ctx, item, 0);
    else
      ItemWriteText(ctx, item, u"");
  }
  return 0;
}
