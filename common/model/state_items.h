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
// The private header's signature word; 0 for a NULL DEVMODE.
DWORD WINAPI DmGetPrivSignature(const BYTE *devmode);
// The private header's size word; 0 for a NULL DEVMODE.
DWORD WINAPI DmGetPrivSize(const BYTE *devmode);
// The private header's version word; 0 for a NULL DEVMODE.
DWORD WINAPI DmGetPrivVersion(const BYTE *devmode);
// Packed fields of a bare DEVMODE (KV_DM_* bytes below). Setters ignore a NULL DEVMODE,
// getters answer 0 for one. The front-function word, keeping the low 8 bits of value.
void WINAPI DmSetFrontFunc(BYTE *devmode, DWORD value);
// The front-function word.
DWORD WINAPI DmGetFrontFunc(const BYTE *devmode);
// The 16-bit quality-function flags.
void WINAPI DmSetQualityFuncFlags(BYTE *devmode, WORD value);
// The 16-bit quality-function flags.
WORD WINAPI DmGetQualityFuncFlags(const BYTE *devmode);
// The second hidden-function word, keeping the low 16 bits of value.
void WINAPI DmSetHidden2FuncFlags(BYTE *devmode, DWORD value);
// The second hidden-function word.
DWORD WINAPI DmGetHidden2FuncFlags(const BYTE *devmode);
// Bit 0 of the second support-function word := bit 0 of value.
void WINAPI DmSetSupportJobComplete(BYTE *devmode, DWORD value);
// Bit 1 of the second support-function word := bit 1 of value.
void WINAPI DmSetSupportJobErr(BYTE *devmode, DWORD value);
// The second support-function word.
DWORD WINAPI DmGetSupportFunc2Flags(const BYTE *devmode);
// The machine-ID byte.
BYTE WINAPI DmGetMachineID(const BYTE *devmode);
// The driver-type byte.
BYTE WINAPI DmGetDriverType(const BYTE *devmode);
// The machine-type byte.
BYTE WINAPI DmGetMachineType(const BYTE *devmode);
// The private part at its fixed place (byte 220), whatever dmSize says; NULL for NULL.
BYTE *WINAPI DmGetPrivatePartFixed(BYTE *devmode);

// Resolution items of a context.
// dmPrintQuality raw; 0 when the item has no field.
LONG WINAPI DmGetPrintQuality(DRIVER_CONTEXT *ctx);
// Writes dmPrintQuality raw.
void WINAPI DmSetPrintQuality(LONG value, DRIVER_CONTEXT *ctx);
// Writes dmYResolution raw.
void WINAPI DmSetYResolution(LONG value, DRIVER_CONTEXT *ctx);
// The destination resolution items (width and height) read and written raw.
LONG WINAPI DmGetDeviceResolutionX(DRIVER_CONTEXT *ctx);
// Writes the destination resolution width.
void WINAPI DmSetDeviceResolutionX(LONG value, DRIVER_CONTEXT *ctx);
// The destination resolution height.
LONG WINAPI DmGetDeviceResolutionY(DRIVER_CONTEXT *ctx);
// Writes the destination resolution height.
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
