// The private header of the driver's DEVMODE: model tag, signature, size, version and the
// offsets of the work buffer's blocks.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Writes the private header of a DEVMODE reset to its defaults: the model tag, a zero task
// weave, the model's signature and private version, the private size and the block offsets.
// Does nothing when devmode, ctx or its model is NULL.
void WINAPI DmStampPrivateHeader(BYTE *devmode, DRIVER_CONTEXT *ctx);
// Writes the offsets of the work buffer's blocks (DEVMODE at 0, configuration block behind
// the DEVMODE, work block behind it); does nothing for a NULL devmode.
void WINAPI DmStampBlockOffsets(BYTE *devmode);

KV_END_DECLS
