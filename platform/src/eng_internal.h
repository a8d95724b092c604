// Internal services of the graphics engine stand-in shared by its files: the engine
// lock, the records behind surfaces, palettes, devices and the objects handed to
// drivers, and pixel access.
#pragma once
#include <memory>
#include <mutex>
#include <vector>

#include "internal.h"
#include "kvplat/eng_control.h"
#include "win32/winddi.h"

namespace plat {
namespace eng {

// The engine lock. Recursive: a driver hook called by the engine (DrvRealizeBrush) may
// call engine services again.
std::recursive_mutex &Lock();

// A surface: a bitmap (bits owned by the engine or given by the caller) or a device
// surface (no bits). The SURFOBJ handed out is the record's own.
struct Surface {
  SURFOBJ so{};
  BYTE *owned = nullptr;  // bits allocated by the engine (freed with the surface)
  BYTE *low = nullptr;    // lowest address of the bits
  uint64_t bytes = 0;     // size of the bits from low
  ULONG locks = 0;
  bool banding = false;
  FLONG hooks = 0;
};

// Bits per pixel of a bitmap format; 0 for formats the engine cannot draw.
ULONG FormatBits(ULONG iFormat);
// The engine's stride (rows of whole DWORDs) of a row of cx pixels, in 64 bits.
uint64_t FormatStride(ULONG iFormat, uint64_t cx);

// Live objects of each file, summed by PlatEngObjectCount.
size_t SurfaceObjectCount();
size_t BrushObjectCount();
size_t XformObjectCount();

// Handle of a new engine object (never NULL; surfaces, palettes, devices and colour
// handles share one counter, so a handle of one kind never names another).
uintptr_t NewHandle();

// The surface behind a handle or a SURFOBJ handed out by the engine; NULL with
// ERROR_INVALID_HANDLE (handle) or ERROR_INVALID_PARAMETER (pointer) otherwise. Call
// with the engine lock held.
Surface *SurfaceFromHandle(HSURF h);
Surface *SurfaceFromObj(const SURFOBJ *pso);
// As SurfaceFromObj, and the surface must have bits (ERROR_INVALID_PARAMETER).
Surface *BitmapFromObj(const SURFOBJ *pso);

// Pixel access on a bitmap surface; coordinates must lie inside it.
ULONG GetPixel(const SURFOBJ &so, LONG x, LONG y);
void PutPixel(const SURFOBJ &so, LONG x, LONG y, ULONG v);
// The mask of a pixel value of the format (0x1, 0xF, 0xFF, 0xFFFF, 0xFFFFFF, all bits).
ULONG PixelMask(ULONG iFormat);

// Converts a source pixel value to the destination's format through a translation
// object: a table (XO_TABLE with entries; entries past the table read as 0) gives the
// destination value; otherwise direct colours are converted between 5-5-5, 24- and
// 32-bit forms and indexes pass unchanged; the result is masked to the destination.
struct Xlate {
  const ULONG *table = nullptr;
  ULONG entries = 0;
  bool useTable = false;
  ULONG srcFormat = 0;
  ULONG dstFormat = 0;
  ULONG Apply(ULONG v) const;
};
Xlate MakeXlate(const XLATEOBJ *pxlo, ULONG srcFormat, ULONG dstFormat);

// Bitwise evaluation of a ROP3 on pattern, source and destination values.
inline ULONG Rop3(BYTE rop, ULONG p, ULONG s, ULONG d)
{
  ULONG r = 0;
  for (int i = 0; i < 8; ++i)
    if (rop & (1u << i)) r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  return r;
}

// A brush the engine made (PlatEngCreate*Brush): solid, hatched or a pattern. The
// pattern is the brush's own copy; the translation maps pattern pixels (or, for a
// hatch, 0 background and 1 foreground) to device colours.
struct Brush {
  BRUSHOBJ bo{};
  ULONG hatch = 0xFFFFFFFFUL;  // HS_* or none
  ULONG fore = 0, back = 0;    // hatch colours
  HSURF pattern = nullptr;     // pattern brushes: the engine's copy
  std::vector<ULONG> table;    // pattern translation (may be empty)
  FLONG xlateFlags = XO_TRIVIAL;
  HDEV target = nullptr;        // device whose driver realizes the brush
  void *realization = nullptr;  // BRUSHOBJ_pvAllocRbrush block
  bool realized = false;
  bool realizing = false;
};
// The brush record of a BRUSHOBJ the engine made; NULL otherwise (no error set).
Brush *BrushFromObj(const BRUSHOBJ *pbo);
// The 8 x 8 hatch rows of a style (bit 7 leftmost, a set bit is the line).
const BYTE *HatchRows(ULONG iHatch);

// A device registered by PlatEngRegisterDriver.
struct Device {
  std::vector<DRVFN> hooks;
  DHPDEV dhpdev = nullptr;
};
// NULL with ERROR_INVALID_HANDLE for an unknown device. Engine lock held.
Device *DeviceFromHandle(HDEV h);

}  // namespace eng
}  // namespace plat
