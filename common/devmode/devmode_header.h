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
// The same offsets written into a private part wherever it starts (behind a public part of
// any size); does nothing for NULL.
void WINAPI DmStampPrivateBlockOffsets(BYTE *priv);

// The format tests of a DEVMODE from outside, against the model record of the template
// context. Trust rule: a DEVMODE is only read as far as its own dmSize + dmDriverExtra
// claim, so each test answers 0 when that extent does not cover the bytes it reads (812
// for DmCheckModel, the whole 1236-byte DEVMODE for the other two). The public part is
// otherwise not looked at; NULL answers 0.
// 1 when the DEVMODE is of this driver's current format: signature, private size, private
// version, machine id and driver type all match.
int WINAPI DmCheckPrivateHeader(const BYTE *devmode);
// 1 when the DEVMODE comes from the same printer model (signature, machine id and driver
// type), whatever its private size and version.
int WINAPI DmCheckModel(const BYTE *devmode);
// 1 when DmCheckModel passes and the private size is the driver's.
int WINAPI DmCheckModelAndSize(const BYTE *devmode);

KV_END_DECLS
