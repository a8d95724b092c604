// Accessors of the state bytes of the driver state block and of the other packed fields of
// the private DEVMODE. They write the bytes directly: no change marks, no module events.
#pragma once

#include "context.h"

#define KV_STATE_ON(x) x
#define KV_STATE_OFF(x)

KV_BEGIN_DECLS

#define KV_STATE_ITEM(name, id, byte, ctxGet, dm)                                                                \
  void WINAPI CtxSet##name(DRIVER_CONTEXT *ctx, BYTE value);                                                     \
  ctxGet(BYTE WINAPI CtxGet##name(DRIVER_CONTEXT *ctx);) dm(void WINAPI DmSet##name(BYTE *devmode, BYTE value);) \
      dm(BYTE WINAPI DmGet##name(const BYTE *devmode);)
#define KV_STATE_NAMED(name, suffix, value) void WINAPI CtxSet##name##suffix(DRIVER_CONTEXT *ctx);
#include "model/state_items.def"
#undef KV_STATE_ITEM
#undef KV_STATE_NAMED

// Private header words and packed flag fields of a bare DEVMODE.
DWORD WINAPI DmGetPrivSignature(const BYTE *devmode);
DWORD WINAPI DmGetPrivSize(const BYTE *devmode);
DWORD WINAPI DmGetPrivVersion(const BYTE *devmode);
void WINAPI DmSetFrontFunc(BYTE *devmode, DWORD value);
DWORD WINAPI DmGetFrontFunc(const BYTE *devmode);
void WINAPI DmSetQualityFuncFlags(BYTE *devmode, WORD value);
WORD WINAPI DmGetQualityFuncFlags(const BYTE *devmode);
void WINAPI DmSetHidden2FuncFlags(BYTE *devmode, DWORD value);
DWORD WINAPI DmGetHidden2FuncFlags(const BYTE *devmode);
void WINAPI DmSetSupportJobComplete(BYTE *devmode, DWORD value);
void WINAPI DmSetSupportJobErr(BYTE *devmode, DWORD value);
DWORD WINAPI DmGetSupportFunc2Flags(const BYTE *devmode);
BYTE WINAPI DmGetMachineID(const BYTE *devmode);
BYTE WINAPI DmGetDriverType(const BYTE *devmode);
BYTE WINAPI DmGetMachineType(const BYTE *devmode);
BYTE *WINAPI DmGetPrivatePartFixed(BYTE *devmode);

// Resolution items of a context.
LONG WINAPI DmGetPrintQuality(DRIVER_CONTEXT *ctx);
void WINAPI DmSetPrintQuality(LONG value, DRIVER_CONTEXT *ctx);
void WINAPI DmSetYResolution(LONG value, DRIVER_CONTEXT *ctx);
LONG WINAPI DmGetDeviceResolutionX(DRIVER_CONTEXT *ctx);
void WINAPI DmSetDeviceResolutionX(LONG value, DRIVER_CONTEXT *ctx);
LONG WINAPI DmGetDeviceResolutionY(DRIVER_CONTEXT *ctx);
void WINAPI DmSetDeviceResolutionY(LONG value, DRIVER_CONTEXT *ctx);

KV_END_DECLS

// DEVMODE bytes of the packed fields.
enum : DWORD {
  KV_DM_QUALITY_FUNC = 576,
  KV_DM_MACHINE_TYPE = 810,
  KV_DM_DRIVER_TYPE = 811,
  KV_DM_FRONT_FUNC = 852,
  KV_DM_HIDDEN2_FUNC = 896,
  KV_DM_SUPPORT_FUNC2 = 1020,
  KV_DM_MACHINE_ID = 368,
  KV_DM_STATE_FIRST = 1219,
};
