// Controls of the graphics engine stand-in that stand outside the DDI: what GDI itself
// does around a driver (registering its hook table for a device, making the brush,
// translation, transform and font objects it hands to the hooks) and reading pixels
// back. Tests and the host program use them; driver code never does. PlatResetForTest
// frees every engine object.
#pragma once
#include "win32/winddi.h"

KV_BEGIN_DECLS

// ---------------------------------------------------------------- devices

// Registers a driver's enable data (from its DrvEnableDriver) as a new device; the hook
// table is copied. NULL with ERROR_INVALID_PARAMETER for a NULL table, a count above
// INDEX_LAST or an index at or above INDEX_LAST.
KVAPI HDEV PlatEngRegisterDriver(const DRVENABLEDATA *ded);
// The driver's PDEV (from its DrvEnablePDEV); EngAssociateSurface hands it to surfaces.
KVAPI BOOL PlatEngSetDevicePdev(HDEV hdev, DHPDEV dhpdev);
// The hook of the device's driver for a DDI index; NULL when it has none.
KVAPI PFN PlatEngDriverHook(HDEV hdev, ULONG iFunc);
KVAPI BOOL PlatEngUnregisterDevice(HDEV hdev);

// ---------------------------------------------------------------- surfaces

// A bitmap surface over a caller's buffer (or engine bits when bits is NULL; then
// stride is ignored), already locked: EngCreateBitmap and EngLockSurface in one.
KVAPI SURFOBJ *PlatEngCreateSurfaceObj(LONG cx, LONG cy, ULONG iFormat, FLONG fl, LONG stride, PVOID bits);
// Unlocks and deletes a surface made by PlatEngCreateSurfaceObj.
KVAPI BOOL PlatEngDeleteSurfaceObj(SURFOBJ *pso);
// Reads and writes one pixel value of a bitmap surface (x, y from the top left).
// FALSE with ERROR_INVALID_PARAMETER outside the surface or for an unknown SURFOBJ.
KVAPI BOOL PlatEngGetPixel(SURFOBJ *pso, LONG x, LONG y, ULONG *value);
KVAPI BOOL PlatEngSetPixel(SURFOBJ *pso, LONG x, LONG y, ULONG value);
// Whether a surface was marked by EngMarkBandingSurface, and the hooks it was
// associated with (FALSE for an unknown handle).
KVAPI BOOL PlatEngSurfaceInfo(HSURF hsurf, BOOL *banding, FLONG *hooks);

// The mode and colours of a palette: answers the number of colours (0 for PAL_BGR and
// the other direct modes) and copies at most cMax of them; 0xFFFFFFFF for an unknown one.
KVAPI ULONG PlatEngPaletteInfo(HPALETTE hpal, ULONG *iMode, ULONG cMax, ULONG *colors);

// ---------------------------------------------------------------- objects for hooks

// A translation object with a copy of the table (flXlate as given; XO_TABLE without
// entries behaves as trivial).
KVAPI XLATEOBJ *PlatEngCreateXlate(FLONG flXlate, ULONG cEntries, const ULONG *table);
KVAPI BOOL PlatEngDeleteXlate(XLATEOBJ *pxlo);

// Brushes whose realization is asked from the driver of target's device (target may be
// NULL: the brush is then never realized by a driver). Solid: iSolidColor is the device
// colour. Hatch: iHatch below HS_DDI_MAX, drawn as its 8 x 8 pattern with fore on the
// lines and back between them; the driver gets a top-down BMF_1BPP 8 x 8 pattern (a
// set bit is a line), a translation {back, fore} and iHatch. Pattern: the engine keeps
// its own copy of pattern and of the translation (NULL: trivial); the driver gets that
// copy, the translation and iHatch HS_DDI_MAX. flColorType is the BRUSHOBJ's.
KVAPI BRUSHOBJ *PlatEngCreateSolidBrush(ULONG iSolidColor, FLONG flColorType, SURFOBJ *target);
KVAPI BRUSHOBJ *PlatEngCreateHatchBrush(ULONG iHatch, ULONG fore, ULONG back, FLONG flColorType, SURFOBJ *target);
KVAPI BRUSHOBJ *PlatEngCreatePatternBrush(SURFOBJ *pattern, XLATEOBJ *pxlo, FLONG flColorType, SURFOBJ *target);
// Frees the brush and its realization.
KVAPI BOOL PlatEngDeleteBrush(BRUSHOBJ *pbo);
// How many times the brush's driver was asked to realize it.
KVAPI ULONG PlatEngBrushRealizeCount(BRUSHOBJ *pbo);

// A transform object for the given matrix.
KVAPI XFORMOBJ *PlatEngCreateXform(const XFORML *xform);
KVAPI BOOL PlatEngDeleteXform(XFORMOBJ *pxo);

// A font object with the given public fields (init may be NULL) whose notional-to-device
// transform (FONTOBJ_pxoGetXform) is xform.
KVAPI FONTOBJ *PlatEngCreateFontObj(const FONTOBJ *init, const XFORML *xform);
KVAPI BOOL PlatEngDeleteFontObj(FONTOBJ *pfo);

// Live engine objects of every kind, and open colour profiles and transforms (tests
// look for leaks with them).
KVAPI ULONG PlatEngObjectCount(void);
KVAPI ULONG PlatColorHandleCount(void);

KV_END_DECLS
