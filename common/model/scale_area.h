// The duplex scale-area table: per paper, the printable width that duplex scaling fits the
// page into, with overrides read from KVMLAREA.ini in the shared settings directory.
#pragma once

#include "context.h"

// One paper's printable width for duplex scaling, in 0.1 mm.
typedef struct DUPLEX_SCALE_ROW {
  SHORT paper;
  DWORD width;
} DUPLEX_SCALE_ROW;

KV_BEGIN_DECLS

// The process-wide table, ended by a row with paper 0; never NULL, not to be freed.
DUPLEX_SCALE_ROW *WINAPI DmGetDuplexScaleTable(void);
// The width of the paper's row, 0 when the table has no row for it (or paper is 0).
DWORD WINAPI DmGetDuplexScaleArea(SHORT paper);
// Sets the width of the paper's row for the whole process; ignored without a row.
void WINAPI DmSetDuplexScaleArea(SHORT paper, DWORD width);
// The INI key of the paper ("ScaleArea_A4"), NULL when the paper has none; static text.
const WCHAR *WINAPI IniGetScaleAreaKeyName(SHORT paper);
// Takes the paper's width from KVMLAREA.ini when its UseScaleArea is 1 and the width is
// 1-20000; otherwise (no key, no INI path, no override) the table stays as it was.
void WINAPI IniLoadDuplexScaleArea(DRIVER_CONTEXT *ctx, SHORT paper);
// Shrinks and centres the output paper's printable area (items 49-52) to its scale-area
// width for duplex printing, scaled by the resolution of item 38; does nothing for a NULL ctx, a paper without width or
// a width that needs no scaling.
void WINAPI DmFitDuplexScaleArea(DRIVER_CONTEXT *ctx);

KV_END_DECLS
