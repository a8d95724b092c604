// Graphics engine: surfaces (bitmaps and device surfaces), palettes and the devices
// that drivers are registered for.
#include <stdlib.h>
#include <string.h>

#include <unordered_map>

#include "eng_internal.h"

namespace plat {
namespace eng {
namespace {

// The engine gives no bitmap more bits than this (the target's user address space
// could not hold more).
constexpr uint64_t kMaxBitmapBytes = 0x7FFFFFFFULL;
constexpr ULONG kMaxPaletteColors = 0x10000;

struct Palette {
  ULONG mode = 0;
  std::vector<ULONG> colors;
  FLONG masks[3] = {0, 0, 0};
};

uintptr_t g_nextHandle = 0x00E00000;
ULONG g_nextUniq = 0;

template <class T>
using Table = std::unordered_map<uintptr_t, std::unique_ptr<T>>;

Table<Surface> &Surfaces()
{
  static auto *t = new Table<Surface>();
  return *t;
}
std::unordered_map<const SURFOBJ *, Surface *> &SurfaceObjs()
{
  static auto *t = new std::unordered_map<const SURFOBJ *, Surface *>();
  return *t;
}
Table<Palette> &Palettes()
{
  static auto *t = new Table<Palette>();
  return *t;
}
Table<Device> &Devices()
{
  static auto *t = new Table<Device>();
  return *t;
}

uintptr_t Key(const void *h) { return reinterpret_cast<uintptr_t>(h); }

void FreeSurface(std::unique_ptr<Surface> &s)
{
  SurfaceObjs().erase(&s->so);
  free(s->owned);
  s.reset();
}

HSURF AddSurface(std::unique_ptr<Surface> s)
{
  uintptr_t h = NewHandle();
  s->so.hsurf = reinterpret_cast<HSURF>(h);
  s->so.iUniq = ++g_nextUniq;
  SurfaceObjs()[&s->so] = s.get();
  Surfaces()[h] = std::move(s);
  return reinterpret_cast<HSURF>(h);
}

bool ValidSize(SIZEL sizl) { return sizl.cx > 0 && sizl.cy > 0; }

void ResetSurfaces()
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  for (auto &[h, s] : Surfaces()) free(s->owned);
  Surfaces().clear();
  SurfaceObjs().clear();
  Palettes().clear();
  Devices().clear();
}

struct ResetRegistrar {
  ResetRegistrar() { RegisterReset(ResetSurfaces); }
} g_registrar;

}  // namespace

std::recursive_mutex &Lock()
{
  static auto *lock = new std::recursive_mutex();
  return *lock;
}

uintptr_t NewHandle()
{
  g_nextHandle += 4;
  if (g_nextHandle >= 0x7FFFFFF0u) g_nextHandle = 0x00E00004;
  return g_nextHandle;
}

size_t SurfaceObjectCount() { return Surfaces().size() + Palettes().size() + Devices().size(); }

ULONG FormatBits(ULONG iFormat)
{
  switch (iFormat) {
    case BMF_1BPP: return 1;
    case BMF_4BPP: return 4;
    case BMF_8BPP: return 8;
    case BMF_16BPP: return 16;
    case BMF_24BPP: return 24;
    case BMF_32BPP: return 32;
    default: return 0;
  }
}

uint64_t FormatStride(ULONG iFormat, uint64_t cx) { return (cx * FormatBits(iFormat) + 31) / 32 * 4; }

Surface *SurfaceFromHandle(HSURF h)
{
  auto it = Surfaces().find(Key(h));
  if (it == Surfaces().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

Surface *SurfaceFromObj(const SURFOBJ *pso)
{
  auto it = pso ? SurfaceObjs().find(pso) : SurfaceObjs().end();
  if (it == SurfaceObjs().end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return it->second;
}

Surface *BitmapFromObj(const SURFOBJ *pso)
{
  Surface *s = SurfaceFromObj(pso);
  if (s && !s->low) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return s;
}

Device *DeviceFromHandle(HDEV h)
{
  auto it = Devices().find(Key(h));
  if (it == Devices().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

}  // namespace eng
}  // namespace plat

using namespace plat::eng;

// ---------------------------------------------------------------- surfaces

HBITMAP APIENTRY EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (!ValidSize(sizl) || !FormatBits(iFormat) || (pvBits && lWidth <= 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  uint64_t minStride = (static_cast<uint64_t>(sizl.cx) * FormatBits(iFormat) + 7) / 8;
  uint64_t stride = pvBits ? static_cast<uint64_t>(lWidth) : FormatStride(iFormat, static_cast<uint64_t>(sizl.cx));
  if (stride < minStride) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  uint64_t bytes = stride * static_cast<uint64_t>(sizl.cy);
  if (PlatFaultHit(PLAT_FAULT_ENG_BITMAP) || bytes > kMaxBitmapBytes || stride > 0x7FFFFFFFULL) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  auto s = std::make_unique<Surface>();
  if (pvBits) {
    s->low = static_cast<BYTE *>(pvBits);
  } else {
    s->owned = static_cast<BYTE *>((fl & BMF_NOZEROINIT) ? malloc(bytes) : calloc(1, bytes));
    if (!s->owned) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return NULL;
    }
    s->low = s->owned;
  }
  s->bytes = bytes;
  SURFOBJ &so = s->so;
  so.sizlBitmap = sizl;
  so.cjBits = static_cast<ULONG>(bytes);
  so.pvBits = s->low;
  so.iBitmapFormat = iFormat;
  so.iType = STYPE_BITMAP;
  so.fjBitmap = static_cast<USHORT>(fl & (BMF_TOPDOWN | BMF_NOZEROINIT | BMF_DONTCACHE | BMF_USERMEM));
  if (fl & BMF_TOPDOWN) {
    so.pvScan0 = s->low;
    so.lDelta = static_cast<LONG>(stride);
  } else {
    so.pvScan0 = s->low + stride * static_cast<uint64_t>(sizl.cy - 1);
    so.lDelta = -static_cast<LONG>(stride);
  }
  return reinterpret_cast<HBITMAP>(AddSurface(std::move(s)));
}

HSURF APIENTRY EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (!ValidSize(sizl) || !FormatBits(iFormatCompat)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  if (PlatFaultHit(PLAT_FAULT_ENG_DEVICE_SURFACE)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  auto s = std::make_unique<Surface>();
  s->so.dhsurf = dhsurf;
  s->so.sizlBitmap = sizl;
  s->so.iBitmapFormat = iFormatCompat;
  s->so.iType = STYPE_DEVICE;
  return AddSurface(std::move(s));
}

BOOL APIENTRY EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *s = SurfaceFromHandle(hsurf);
  Device *d = s ? DeviceFromHandle(hdev) : nullptr;
  if (!d) return FALSE;
  if (flHooks & ~HOOK_FLAGS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  s->so.hdev = hdev;
  s->so.dhpdev = d->dhpdev;
  s->hooks = flHooks;
  return TRUE;
}

BOOL APIENTRY EngMarkBandingSurface(HSURF hsurf)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *s = SurfaceFromHandle(hsurf);
  if (!s) return FALSE;
  s->banding = true;
  return TRUE;
}

SURFOBJ *APIENTRY EngLockSurface(HSURF hsurf)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *s = SurfaceFromHandle(hsurf);
  if (!s) return NULL;
  ++s->locks;
  return &s->so;
}

VOID APIENTRY EngUnlockSurface(SURFOBJ *pso)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *s = SurfaceFromObj(pso);
  if (s && s->locks) --s->locks;
}

BOOL APIENTRY EngDeleteSurface(HSURF hsurf)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  auto it = Surfaces().find(Key(hsurf));
  if (it == Surfaces().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  FreeSurface(it->second);
  Surfaces().erase(it);
  return TRUE;
}

// ---------------------------------------------------------------- palettes

HPALETTE APIENTRY EngCreatePalette(ULONG iMode, ULONG cColors, ULONG *pulColors, FLONG flRed, FLONG flGreen,
                                   FLONG flBlue)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  auto p = std::make_unique<Palette>();
  p->mode = iMode;
  switch (iMode) {
    case PAL_INDEXED:
      if (!cColors || cColors > kMaxPaletteColors || !pulColors) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
      }
      break;
    case PAL_BITFIELDS:
      if (!flRed || !flGreen || !flBlue) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
      }
      p->masks[0] = flRed;
      p->masks[1] = flGreen;
      p->masks[2] = flBlue;
      break;
    case PAL_RGB:
    case PAL_BGR:
    case PAL_CMYK: break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return NULL;
  }
  if (PlatFaultHit(PLAT_FAULT_ENG_PALETTE)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  if (iMode == PAL_INDEXED) p->colors.assign(pulColors, pulColors + cColors);
  uintptr_t h = NewHandle();
  Palettes()[h] = std::move(p);
  return reinterpret_cast<HPALETTE>(h);
}

BOOL APIENTRY EngDeletePalette(HPALETTE hpal)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (!Palettes().erase(Key(hpal))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

// ---------------------------------------------------------------- controls

HDEV PlatEngRegisterDriver(const DRVENABLEDATA *ded)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (!ded || ded->c > INDEX_LAST || (ded->c && !ded->pdrvfn)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  auto d = std::make_unique<Device>();
  for (ULONG i = 0; i < ded->c; ++i) {
    if (ded->pdrvfn[i].iFunc >= static_cast<ULONG>(INDEX_LAST)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return NULL;
    }
    d->hooks.push_back(ded->pdrvfn[i]);
  }
  uintptr_t h = NewHandle();
  Devices()[h] = std::move(d);
  return reinterpret_cast<HDEV>(h);
}

BOOL PlatEngSetDevicePdev(HDEV hdev, DHPDEV dhpdev)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Device *d = DeviceFromHandle(hdev);
  if (!d) return FALSE;
  d->dhpdev = dhpdev;
  return TRUE;
}

PFN PlatEngDriverHook(HDEV hdev, ULONG iFunc)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Device *d = DeviceFromHandle(hdev);
  if (!d) return NULL;
  for (const DRVFN &f : d->hooks)
    if (f.iFunc == iFunc) return f.pfn;
  SetLastError(ERROR_PROC_NOT_FOUND);
  return NULL;
}

BOOL PlatEngUnregisterDevice(HDEV hdev)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (!Devices().erase(Key(hdev))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

SURFOBJ *PlatEngCreateSurfaceObj(LONG cx, LONG cy, ULONG iFormat, FLONG fl, LONG stride, PVOID bits)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  SIZEL size = {cx, cy};
  HBITMAP h = EngCreateBitmap(size, stride, iFormat, fl, bits);
  return h ? EngLockSurface(reinterpret_cast<HSURF>(h)) : NULL;
}

BOOL PlatEngDeleteSurfaceObj(SURFOBJ *pso)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (!SurfaceFromObj(pso)) return FALSE;
  return EngDeleteSurface(pso->hsurf);
}

BOOL PlatEngGetPixel(SURFOBJ *pso, LONG x, LONG y, ULONG *value)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *s = BitmapFromObj(pso);
  if (!s || !value || x < 0 || y < 0 || x >= s->so.sizlBitmap.cx || y >= s->so.sizlBitmap.cy) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *value = GetPixel(s->so, x, y);
  return TRUE;
}

BOOL PlatEngSetPixel(SURFOBJ *pso, LONG x, LONG y, ULONG value)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *s = BitmapFromObj(pso);
  if (!s || x < 0 || y < 0 || x >= s->so.sizlBitmap.cx || y >= s->so.sizlBitmap.cy) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  PutPixel(s->so, x, y, value & PixelMask(s->so.iBitmapFormat));
  return TRUE;
}

BOOL PlatEngSurfaceInfo(HSURF hsurf, BOOL *banding, FLONG *hooks)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *s = SurfaceFromHandle(hsurf);
  if (!s) return FALSE;
  if (banding) *banding = s->banding;
  if (hooks) *hooks = s->hooks;
  return TRUE;
}

ULONG PlatEngPaletteInfo(HPALETTE hpal, ULONG *iMode, ULONG cMax, ULONG *colors)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  auto it = Palettes().find(Key(hpal));
  if (it == Palettes().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0xFFFFFFFFUL;
  }
  const Palette &p = *it->second;
  if (iMode) *iMode = p.mode;
  for (ULONG i = 0; colors && i < cMax && i < p.colors.size(); ++i) colors[i] = p.colors[i];
  return static_cast<ULONG>(p.colors.size());
}

ULONG PlatEngObjectCount(void)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  return static_cast<ULONG>(SurfaceObjectCount() + BrushObjectCount() + XformObjectCount());
}
