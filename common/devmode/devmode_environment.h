// The parts of the context's DEVMODE that describe this build and this machine rather than
// the user's settings: the identification block and the driver state block.
#pragma once

#include "context.h"
#include "model/model.h"

KV_BEGIN_DECLS

// Writes the identification block into a private part: the model's settings INI name, CDC
// and PJL version strings, each converted to the active code page into a cleared 16-byte
// field (a name of 16 bytes keeps no terminator); "KCOMMON" and version 5 when the exchange
// block is on, else an empty mark and 0; then clears the request and capability blocks.
// Does nothing when priv or model is NULL.
void WINAPI DmWriteIdentFields(BYTE *priv, const MODEL_RECORD *model, BOOL exchangeBlock);
// DmWriteIdentFields on the context's private part with the model of the context and the
// build's job-control switch. Does nothing for a context without a DEVMODE, or one whose
// public size does not cover the header words (72 bytes) or leaves no room for the private
// part.
void WINAPI DmWriteIdentBlock(DRIVER_CONTEXT *ctx);
// Fills the driver state block of the context's DEVMODE from the environment: call source,
// operating system, terminal services, administrator, the printer's bidi and connection
// state and the job-binding companion application; the other state bytes get their
// starting values. The bidi function byte is left
// alone. Does nothing for NULL or a context without a DEVMODE.
void WINAPI DmSetEnvironmentState(DRIVER_CONTEXT *ctx);

KV_END_DECLS
