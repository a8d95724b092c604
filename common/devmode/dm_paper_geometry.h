// Shared steps of the paper-item computations (internal to the DEVMODE folder).
#pragma once

#include "context.h"

// The printable area of a paper value at the current resolution and orientation; left and
// top are 0 when the description has none. Answers whether it has one.
bool DmPaperArea(DRIVER_CONTEXT *ctx, LONG valueId, RECT *area);
// length - 2 * offset, 0 when the offset would take it below zero.
DWORD DmLessTwice(DWORD length, LONG offset);
// Writes the six paper items starting at first (length, width, printable length and
// width, left, top).
void DmWritePaperItems(DRIVER_CONTEXT *ctx, WORD first, DWORD length, DWORD width, DWORD prnLength, DWORD prnWidth,
                       LONG left, LONG top);
// A slot's width and length in 1200-dpi dots (negative lengths read as 0); FALSE for a
// slot outside the context's records.
bool DmSlotSize(DRIVER_CONTEXT *ctx, LONG slot, DWORD *width, DWORD *length);
