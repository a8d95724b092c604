// The private header of the driver's DEVMODE: model tag, signature, size, version and the
// offsets of the work buffer's blocks. Fields are unaligned and written byte by byte.
#include "devmode/devmode_header.h"
#include "devmode/devmode_layout.h"
#include "model/model.h"

// Block offsets: the DEVMODE at 0, the configuration block behind the DEVMODE, the work
// block behind the configuration block.
void WINAPI DmStampBlockOffsets(BYTE *devmode)
{
  if (devmode == NULL) return;
  DmStampPrivateBlockOffsets(devmode + KV_DM_PUBLIC_SIZE);
}

void WINAPI DmStampPrivateBlockOffsets(BYTE *priv)
{
  if (priv == NULL) return;
  DmWriteLe16(priv + (KV_DM_BLOCK1_OFFSET - KV_DM_PUBLIC_SIZE), (WORD)DmGetBlockOffset(1));
  DmWriteLe16(priv + (KV_DM_CONFIG_OFFSET - KV_DM_PUBLIC_SIZE), (WORD)DmGetBlockOffset(2));
  DmWriteLe16(priv + (KV_DM_WORK_OFFSET - KV_DM_PUBLIC_SIZE), (WORD)DmGetBlockOffset(3));
}

// Writes the header of a DEVMODE reset to its defaults from the context's model record.
void WINAPI DmStampPrivateHeader(BYTE *devmode, DRIVER_CONTEXT *ctx)
{
  if (devmode == NULL || ctx == NULL || ctx->model == NULL) return;
  const BYTE tag[4] = {'T', 'V', '0', '0'};
  for (int i = 0; i < 4; ++i) devmode[KV_DM_MODEL_TAG + i] = tag[i];
  DmWriteLe32(devmode + KV_DM_TASK_WEAVE, 0);
  DmWriteLe32(devmode + KV_DM_PRIV_SIGNATURE, ctx->model->privSignature);
  DmWriteLe32(devmode + KV_DM_PRIV_SIZE, DmGetPrivateSize());
  DmWriteLe32(devmode + KV_DM_PRIV_VERSION, ctx->model->privVersion);
  DmStampBlockOffsets(devmode);
}
