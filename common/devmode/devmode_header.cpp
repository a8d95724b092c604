// The private header of the driver's DEVMODE: model tag, signature, size, version and the
// offsets of the work buffer's blocks. Fields are unaligned and written byte by byte.
#include "devmode/devmode_header.h"
#include "model/model.h"

static void PutLe16(BYTE *p, WORD v)
{
  p[0] = (BYTE)v;
  p[1] = (BYTE)(v >> 8);
}

static void PutLe32(BYTE *p, DWORD v)
{
  for (int i = 0; i < 4; ++i) p[i] = (BYTE)(v >> (8 * i));
}

// Block offsets: the DEVMODE at 0, the configuration block behind the DEVMODE, the work
// block behind the configuration block.
void WINAPI DmStampBlockOffsets(BYTE *devmode)
{
  if (devmode == NULL) return;
  PutLe16(devmode + KV_DM_BLOCK1_OFFSET, (WORD)DmGetBlockOffset(1));
  PutLe16(devmode + KV_DM_CONFIG_OFFSET, (WORD)DmGetBlockOffset(2));
  PutLe16(devmode + KV_DM_WORK_OFFSET, (WORD)DmGetBlockOffset(3));
}

// Writes the header of a DEVMODE reset to its defaults from the context's model record.
void WINAPI DmStampPrivateHeader(BYTE *devmode, DRIVER_CONTEXT *ctx)
{
  if (devmode == NULL || ctx == NULL || ctx->model == NULL) return;
  const BYTE tag[4] = {'T', 'V', '0', '0'};
  for (int i = 0; i < 4; ++i) devmode[KV_DM_MODEL_TAG + i] = tag[i];
  PutLe32(devmode + KV_DM_TASK_WEAVE, 0);
  PutLe32(devmode + KV_DM_PRIV_SIGNATURE, ctx->model->privSignature);
  PutLe32(devmode + KV_DM_PRIV_SIZE, DmGetPrivateSize());
  PutLe32(devmode + KV_DM_PRIV_VERSION, ctx->model->privVersion);
  DmStampBlockOffsets(devmode);
}
