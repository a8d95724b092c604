// State bytes of the driver state block, generated from state_items.def, and the other
// packed fields of the private DEVMODE.
#include "model/state_items.h"

#include <string.h>

#include "items/item_store.h"
#include "model/model.h"
#include "tables/item_ids.h"

static BYTE *StateByte(DRIVER_CONTEXT *ctx, DWORD byte)
{
  if (ctx == NULL || ctx->work == NULL) return NULL;
  return ctx->work + byte;
}

#define KV_STATE_ITEM(name, id, byte, ctxGet, dm)            \
  void WINAPI CtxSet##name(DRIVER_CONTEXT *ctx, BYTE value)  \
  {                                                          \
    BYTE *p = StateByte(ctx, byte);                          \
    if (p != NULL) *p = value;                               \
  }                                                          \
  ctxGet(BYTE WINAPI CtxGet##name(DRIVER_CONTEXT *ctx) {     \
    BYTE *p = StateByte(ctx, byte);                          \
    return p != NULL ? *p : 0;                               \
  }) dm(void WINAPI DmSet##name(BYTE *devmode, BYTE value) { \
    if (devmode != NULL) devmode[byte] = value;              \
  }) dm(BYTE WINAPI DmGet##name(const BYTE *devmode) { return devmode != NULL ? devmode[byte] : 0; })
#define KV_STATE_NAMED(name, suffix, value) \
  void WINAPI CtxSet##name##suffix(DRIVER_CONTEXT *ctx) { CtxSet##name(ctx, value); }
#include "model/state_items.def"
#undef KV_STATE_ITEM
#undef KV_STATE_NAMED

static DWORD ReadDword(const BYTE *devmode, DWORD byte)
{
  DWORD v = 0;
  if (devmode != NULL) memcpy(&v, devmode + byte, sizeof v);
  return v;
}

static void WriteDword(BYTE *devmode, DWORD byte, DWORD v)
{
  if (devmode != NULL) memcpy(devmode + byte, &v, sizeof v);
}

DWORD WINAPI DmGetPrivSignature(const BYTE *devmode) { return ReadDword(devmode, KV_DM_PRIV_SIGNATURE); }
DWORD WINAPI DmGetPrivSize(const BYTE *devmode) { return ReadDword(devmode, KV_DM_PRIV_SIZE); }
DWORD WINAPI DmGetPrivVersion(const BYTE *devmode) { return ReadDword(devmode, KV_DM_PRIV_VERSION); }

void WINAPI DmSetFrontFunc(BYTE *devmode, DWORD value) { WriteDword(devmode, KV_DM_FRONT_FUNC, value & 0xFFu); }
DWORD WINAPI DmGetFrontFunc(const BYTE *devmode) { return ReadDword(devmode, KV_DM_FRONT_FUNC); }

void WINAPI DmSetQualityFuncFlags(BYTE *devmode, WORD value)
{
  if (devmode != NULL) memcpy(devmode + KV_DM_QUALITY_FUNC, &value, sizeof value);
}

WORD WINAPI DmGetQualityFuncFlags(const BYTE *devmode)
{
  WORD v = 0;
  if (devmode != NULL) memcpy(&v, devmode + KV_DM_QUALITY_FUNC, sizeof v);
  return v;
}

void WINAPI DmSetHidden2FuncFlags(BYTE *devmode, DWORD value)
{
  WriteDword(devmode, KV_DM_HIDDEN2_FUNC, value & 0xFFFFu);
}
DWORD WINAPI DmGetHidden2FuncFlags(const BYTE *devmode) { return ReadDword(devmode, KV_DM_HIDDEN2_FUNC); }

void WINAPI DmSetSupportJobComplete(BYTE *devmode, DWORD value)
{
  if (devmode == NULL) return;
  DWORD v = ReadDword(devmode, KV_DM_SUPPORT_FUNC2);
  WriteDword(devmode, KV_DM_SUPPORT_FUNC2, (v & ~1u) | (value & 1u));
}

void WINAPI DmSetSupportJobErr(BYTE *devmode, DWORD value)
{
  if (devmode == NULL) return;
  DWORD v = ReadDword(devmode, KV_DM_SUPPORT_FUNC2);
  WriteDword(devmode, KV_DM_SUPPORT_FUNC2, (v & ~2u) | (value & 2u));
}

DWORD WINAPI DmGetSupportFunc2Flags(const BYTE *devmode) { return ReadDword(devmode, KV_DM_SUPPORT_FUNC2); }
BYTE WINAPI DmGetMachineID(const BYTE *devmode) { return devmode != NULL ? devmode[KV_DM_MACHINE_ID] : 0; }
BYTE WINAPI DmGetDriverType(const BYTE *devmode) { return devmode != NULL ? devmode[KV_DM_DRIVER_TYPE] : 0; }
BYTE WINAPI DmGetMachineType(const BYTE *devmode) { return devmode != NULL ? devmode[KV_DM_MACHINE_TYPE] : 0; }
BYTE *WINAPI DmGetPrivatePartFixed(BYTE *devmode) { return devmode != NULL ? devmode + 220 : NULL; }

LONG WINAPI DmGetPrintQuality(DRIVER_CONTEXT *ctx) { return ItemReadRaw(ctx, ItemFindById(ctx, ITEM_dmPrintQuality)); }
void WINAPI DmSetPrintQuality(LONG value, DRIVER_CONTEXT *ctx)
{
  ItemWriteRaw(ctx, ItemFindById(ctx, ITEM_dmPrintQuality), value);
}
void WINAPI DmSetYResolution(LONG value, DRIVER_CONTEXT *ctx)
{
  ItemWriteRaw(ctx, ItemFindById(ctx, ITEM_dmYResolution), value);
}
LONG WINAPI DmGetDeviceResolutionX(DRIVER_CONTEXT *ctx) { return ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL); }
void WINAPI DmSetDeviceResolutionX(LONG value, DRIVER_CONTEXT *ctx) { ItemSetRaw(ctx, ITEM_kdmDstResolutionW, value); }
LONG WINAPI DmGetDeviceResolutionY(DRIVER_CONTEXT *ctx) { return ItemGetRaw(ctx, ITEM_kdmDstResolutionH, NULL); }
void WINAPI DmSetDeviceResolutionY(LONG value, DRIVER_CONTEXT *ctx) { ItemSetRaw(ctx, ITEM_kdmDstResolutionH, value); }
