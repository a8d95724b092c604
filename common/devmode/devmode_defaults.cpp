// The starting settings of a context. So far only the private header and the block offsets
// are written; the public fields, the item defaults and the printer's stored DEVMODE are
// filled in by the DEVMODE defaults when they exist.
#include "devmode/devmode_defaults.h"
#include "devmode/devmode_header.h"
#include "model/model.h"

BYTE *WINAPI DmBuildDefault(DRIVER_CONTEXT *ctx, WORD kind)
{
  (void)kind;
  BYTE *work = (BYTE *)MemAllocZeroed(DmGetWorkBufferSize());
  if (work == NULL) return NULL;
  DmStampPrivateHeader(work, ctx);
  return work;
}
