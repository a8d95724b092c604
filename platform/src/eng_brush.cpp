// Graphics engine: brush objects and their realization by the driver, and the
// translation objects the engine hands to drivers.
#include <stdlib.h>

#include <unordered_map>

#include "eng_internal.h"

namespace plat {
namespace eng {
namespace {

typedef BOOL(APIENTRY *RealizeBrushProc)(BRUSHOBJ *, SURFOBJ *, SURFOBJ *, SURFOBJ *, XLATEOBJ *, ULONG);

constexpr ULONG kMaxXlateEntries = 0x10000;
constexpr ULONG kMaxRealization = 64UL << 20;

// The 8 x 8 hatches, bit 7 the leftmost pixel, a set bit on the line.
const BYTE kHatches[HS_DDI_MAX][8] = {
    {0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00},  // HS_HORIZONTAL
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // HS_VERTICAL
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // HS_FDIAGONAL
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // HS_BDIAGONAL
    {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08},  // HS_CROSS
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // HS_DIAGCROSS
};

struct BrushRecord {
  Brush brush;
  HSURF targetSurface = nullptr;
  ULONG realizeCount = 0;
};

struct XlateRecord {
  XLATEOBJ xo{};
  std::vector<ULONG> table;
};

std::unordered_map<const BRUSHOBJ *, std::unique_ptr<BrushRecord>> &Brushes()
{
  static auto *t = new std::unordered_map<const BRUSHOBJ *, std::unique_ptr<BrushRecord>>();
  return *t;
}
std::unordered_map<const XLATEOBJ *, std::unique_ptr<XlateRecord>> &Xlates()
{
  static auto *t = new std::unordered_map<const XLATEOBJ *, std::unique_ptr<XlateRecord>>();
  return *t;
}

BrushRecord *RecordOf(const BRUSHOBJ *pbo)
{
  auto it = pbo ? Brushes().find(pbo) : Brushes().end();
  return it == Brushes().end() ? nullptr : it->second.get();
}

void DropRealization(Brush &b)
{
  free(b.realization);
  b.realization = nullptr;
  b.realized = false;
  b.bo.pvRbrush = nullptr;
}

// Registers a new brush record; target may be NULL (never realized by a driver).
BRUSHOBJ *AddBrush(std::unique_ptr<BrushRecord> rec, SURFOBJ *target)
{
  if (target) {
    Surface *t = SurfaceFromObj(target);
    if (!t) return NULL;
    rec->targetSurface = t->so.hsurf;
  }
  BRUSHOBJ *pbo = &rec->brush.bo;
  Brushes()[pbo] = std::move(rec);
  return pbo;
}

// A copy of a pattern bitmap in the same format and orientation.
HSURF CopyPattern(const SURFOBJ &src)
{
  HBITMAP h = EngCreateBitmap(src.sizlBitmap, 0, src.iBitmapFormat, src.fjBitmap & BMF_TOPDOWN, NULL);
  Surface *copy = h ? SurfaceFromHandle(reinterpret_cast<HSURF>(h)) : nullptr;
  if (!copy) return nullptr;
  for (LONG y = 0; y < src.sizlBitmap.cy; ++y)
    for (LONG x = 0; x < src.sizlBitmap.cx; ++x) PutPixel(copy->so, x, y, GetPixel(src, x, y));
  return copy->so.hsurf;
}

// Asks the driver of the brush's target device for a realization.
PVOID Realize(BrushRecord &rec)
{
  Brush &b = rec.brush;
  Surface *target = rec.targetSurface ? SurfaceFromHandle(rec.targetSurface) : nullptr;
  Device *dev = target ? DeviceFromHandle(target->so.hdev) : nullptr;
  if (!dev) return NULL;
  RealizeBrushProc realize = nullptr;
  for (const DRVFN &f : dev->hooks)
    if (f.iFunc == static_cast<ULONG>(INDEX_DrvRealizeBrush)) realize = reinterpret_cast<RealizeBrushProc>(f.pfn);
  if (!realize) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return NULL;
  }
  HSURF patternHandle = b.pattern;
  HSURF hatchSurface = nullptr;
  XLATEOBJ xo{};
  ULONG hatchColors[2] = {b.back, b.fore};
  ULONG iHatch = HS_DDI_MAX;
  if (b.hatch < HS_DDI_MAX) {
    SIZEL size = {8, 8};
    hatchSurface = reinterpret_cast<HSURF>(EngCreateBitmap(size, 4, BMF_1BPP, BMF_TOPDOWN, NULL));
    if (!hatchSurface) return NULL;
    Surface *hs = SurfaceFromHandle(hatchSurface);
    for (LONG y = 0; y < 8; ++y) static_cast<BYTE *>(hs->so.pvScan0)[y * hs->so.lDelta] = kHatches[b.hatch][y];
    patternHandle = hatchSurface;
    xo.flXlate = XO_TABLE;
    xo.cEntries = 2;
    xo.pulXlate = hatchColors;
    iHatch = b.hatch;
  } else if (!b.table.empty()) {
    xo.flXlate = b.xlateFlags | XO_TABLE;
    xo.cEntries = static_cast<ULONG>(b.table.size());
    xo.pulXlate = b.table.data();
  } else {
    xo.flXlate = b.xlateFlags | XO_TRIVIAL;
  }
  Surface *pattern = patternHandle ? SurfaceFromHandle(patternHandle) : nullptr;
  if (!pattern) return NULL;
  b.realizing = true;
  ++rec.realizeCount;
  BOOL ok = realize(&b.bo, &target->so, &pattern->so, NULL, &xo, iHatch);
  b.realizing = false;
  if (hatchSurface) EngDeleteSurface(hatchSurface);
  if (!ok || !b.realization) {
    DropRealization(b);
    return NULL;
  }
  b.realized = true;
  b.bo.pvRbrush = b.realization;
  return b.realization;
}

void ResetBrushes()
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  for (auto &[p, rec] : Brushes()) free(rec->brush.realization);
  Brushes().clear();
  Xlates().clear();
}

struct ResetRegistrar {
  ResetRegistrar() { RegisterReset(ResetBrushes); }
} g_registrar;

}  // namespace

Brush *BrushFromObj(const BRUSHOBJ *pbo)
{
  BrushRecord *rec = RecordOf(pbo);
  return rec ? &rec->brush : nullptr;
}

const BYTE *HatchRows(ULONG iHatch) { return iHatch < HS_DDI_MAX ? kHatches[iHatch] : nullptr; }

size_t BrushObjectCount() { return Brushes().size() + Xlates().size(); }

}  // namespace eng
}  // namespace plat

using namespace plat::eng;

// ---------------------------------------------------------------- brush services

PVOID APIENTRY BRUSHOBJ_pvAllocRbrush(BRUSHOBJ *pbo, ULONG cj)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  BrushRecord *rec = RecordOf(pbo);
  if (!rec || !cj) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  if (PlatFaultHit(PLAT_FAULT_ENG_BRUSH) || cj > kMaxRealization) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  void *p = calloc(1, cj);
  if (!p) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  DropRealization(rec->brush);
  rec->brush.realization = p;
  return p;
}

PVOID APIENTRY BRUSHOBJ_pvGetRbrush(BRUSHOBJ *pbo)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  BrushRecord *rec = RecordOf(pbo);
  if (!rec) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  Brush &b = rec->brush;
  if (b.realized) return b.realization;
  // Solid brushes have no pattern to realize; a realization under way is not done yet.
  if (b.realizing || (b.hatch >= HS_DDI_MAX && !b.pattern)) return NULL;
  return Realize(*rec);
}

ULONG APIENTRY BRUSHOBJ_ulGetBrushColor(BRUSHOBJ *pbo) { return pbo ? pbo->iSolidColor : 0xFFFFFFFFUL; }

// ---------------------------------------------------------------- controls

BRUSHOBJ *PlatEngCreateSolidBrush(ULONG iSolidColor, FLONG flColorType, SURFOBJ *target)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (iSolidColor == 0xFFFFFFFFUL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  auto rec = std::make_unique<BrushRecord>();
  rec->brush.bo.iSolidColor = iSolidColor;
  rec->brush.bo.flColorType = flColorType;
  return AddBrush(std::move(rec), target);
}

BRUSHOBJ *PlatEngCreateHatchBrush(ULONG iHatch, ULONG fore, ULONG back, FLONG flColorType, SURFOBJ *target)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (iHatch >= HS_DDI_MAX) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  auto rec = std::make_unique<BrushRecord>();
  rec->brush.bo.iSolidColor = 0xFFFFFFFFUL;
  rec->brush.bo.flColorType = flColorType;
  rec->brush.hatch = iHatch;
  rec->brush.fore = fore;
  rec->brush.back = back;
  return AddBrush(std::move(rec), target);
}

BRUSHOBJ *PlatEngCreatePatternBrush(SURFOBJ *pattern, XLATEOBJ *pxlo, FLONG flColorType, SURFOBJ *target)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *src = BitmapFromObj(pattern);
  if (!src || (target && !SurfaceFromObj(target))) return NULL;
  if (pxlo && (pxlo->flXlate & XO_TABLE) &&
      (pxlo->cEntries > kMaxXlateEntries || (pxlo->cEntries && !pxlo->pulXlate))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  auto rec = std::make_unique<BrushRecord>();
  Brush &b = rec->brush;
  b.bo.iSolidColor = 0xFFFFFFFFUL;
  b.bo.flColorType = flColorType;
  if (pxlo) {
    b.xlateFlags = pxlo->flXlate & ~(XO_TABLE | XO_TRIVIAL);
    if ((pxlo->flXlate & XO_TABLE) && !(pxlo->flXlate & XO_TRIVIAL) && pxlo->cEntries)
      b.table.assign(pxlo->pulXlate, pxlo->pulXlate + pxlo->cEntries);
  }
  b.pattern = CopyPattern(src->so);
  if (!b.pattern) return NULL;
  HSURF copy = b.pattern;
  BRUSHOBJ *pbo = AddBrush(std::move(rec), target);
  if (!pbo) EngDeleteSurface(copy);
  return pbo;
}

BOOL PlatEngDeleteBrush(BRUSHOBJ *pbo)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  auto it = pbo ? Brushes().find(pbo) : Brushes().end();
  if (it == Brushes().end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Brush &b = it->second->brush;
  if (b.pattern) EngDeleteSurface(b.pattern);
  free(b.realization);
  Brushes().erase(it);
  return TRUE;
}

ULONG PlatEngBrushRealizeCount(BRUSHOBJ *pbo)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  BrushRecord *rec = RecordOf(pbo);
  return rec ? rec->realizeCount : 0;
}

XLATEOBJ *PlatEngCreateXlate(FLONG flXlate, ULONG cEntries, const ULONG *table)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (cEntries > kMaxXlateEntries || (cEntries && !table)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  auto rec = std::make_unique<XlateRecord>();
  rec->table.assign(table, table + cEntries);
  rec->xo.flXlate = flXlate;
  rec->xo.cEntries = cEntries;
  rec->xo.pulXlate = cEntries ? rec->table.data() : nullptr;
  XLATEOBJ *pxlo = &rec->xo;
  Xlates()[pxlo] = std::move(rec);
  return pxlo;
}

BOOL PlatEngDeleteXlate(XLATEOBJ *pxlo)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (!pxlo || !Xlates().erase(pxlo)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
