// The state a merge keeps from the context's own DEVMODE whatever comes in: the per-call
// state items that the entry point and the bridges set (privilege, environment, caller),
// the low byte of the front-function word and the two job-notification bits.
#include "devmode/devmode_layout.h"
#include "devmode/dm_merge.h"

void WINAPI DmSaveKeptState(const BYTE *devmode, DM_KEPT_STATE *kept)
{
  if (devmode == NULL || kept == NULL) return;
  kept->callSrc = DmGetCallSrc(devmode);
  kept->osKind = DmGetOSKind(devmode);
  kept->batchInst = DmGetBatchInst(devmode);
  kept->printLog = DmGetPrintLog(devmode);
  kept->biDirect = DmGetBiDirect(devmode);
  kept->noPermission = DmGetNoPermission(devmode);
  kept->serverClientMode = DmGetServerClientMode(devmode);
  kept->propertyType = DmGetPropertyType(devmode);
  kept->tse = DmGetTSE(devmode);
  kept->admin = DmGetAdmin(devmode);
  kept->bidiFunc = DmGetBidiFunc(devmode);
  kept->frontFunc = (BYTE)DmGetFrontFunc(devmode);
  kept->supportFunc2 = DmGetSupportFunc2Flags(devmode) & 3u;
}

void WINAPI DmRestoreKeptState(BYTE *devmode, const DM_KEPT_STATE *kept)
{
  if (devmode == NULL || kept == NULL) return;
  DmSetCallSrc(devmode, kept->callSrc);
  DmSetOSKind(devmode, kept->osKind);
  DmSetBatchInst(devmode, kept->batchInst);
  DmSetPrintLog(devmode, kept->printLog);
  DmSetBiDirect(devmode, kept->biDirect);
  DmSetNoPermission(devmode, kept->noPermission);
  DmSetServerClientMode(devmode, kept->serverClientMode);
  DmSetPropertyType(devmode, kept->propertyType);
  DmSetTSE(devmode, kept->tse);
  DmSetAdmin(devmode, kept->admin);
  DmSetBidiFunc(devmode, kept->bidiFunc);
  // Bits 8 to 31 of the front-function word are not kept: they become 0.
  DmSetFrontFunc(devmode, kept->frontFunc);
  DmSetSupportJobComplete(devmode, kept->supportFunc2);
  DmSetSupportJobErr(devmode, kept->supportFunc2);
}
