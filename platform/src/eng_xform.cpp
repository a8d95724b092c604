// Graphics engine: transform objects (XFORMOBJ) and the font objects that carry one.
// Arithmetic is IEEE single precision, as the engine's FLOATL is for user-mode drivers.
#include <math.h>

#include <unordered_map>

#include "eng_internal.h"

namespace plat {
namespace eng {
namespace {

struct XformRecord {
  XFORMOBJ xo{};
  XFORML m{};
};

struct FontRecord {
  FONTOBJ fo{};
  XformRecord xform;
};

std::unordered_map<const XFORMOBJ *, XformRecord *> &Xforms()
{
  static auto *t = new std::unordered_map<const XFORMOBJ *, XformRecord *>();
  return *t;
}
std::unordered_map<const XFORMOBJ *, std::unique_ptr<XformRecord>> &OwnXforms()
{
  static auto *t = new std::unordered_map<const XFORMOBJ *, std::unique_ptr<XformRecord>>();
  return *t;
}
std::unordered_map<const FONTOBJ *, std::unique_ptr<FontRecord>> &Fonts()
{
  static auto *t = new std::unordered_map<const FONTOBJ *, std::unique_ptr<FontRecord>>();
  return *t;
}

const XformRecord *XformOf(const XFORMOBJ *pxo)
{
  auto it = pxo ? Xforms().find(pxo) : Xforms().end();
  return it == Xforms().end() ? nullptr : it->second;
}

ULONG Complexity(const XFORML &m)
{
  bool diagonal = m.eM12 == 0.0f && m.eM21 == 0.0f;
  bool unit = diagonal && m.eM11 == 1.0f && m.eM22 == 1.0f;
  if (unit) return m.eDx == 0.0f && m.eDy == 0.0f ? GX_IDENTITY : GX_OFFSET;
  return diagonal ? GX_SCALE : GX_GENERAL;
}

// Rounds to the nearest integer (halves away from zero); false when it does not fit.
bool ToLong(float v, LONG &out)
{
  if (!(v > -2147483648.0f && v < 2147483648.0f)) return false;
  out = static_cast<LONG>(lroundf(v));
  return true;
}

// The inverse matrix; false when it is singular.
bool Invert(const XFORML &m, XFORML &inv)
{
  float det = m.eM11 * m.eM22 - m.eM12 * m.eM21;
  if (det == 0.0f || !isfinite(det)) return false;
  inv.eM11 = m.eM22 / det;
  inv.eM12 = -m.eM12 / det;
  inv.eM21 = -m.eM21 / det;
  inv.eM22 = m.eM11 / det;
  inv.eDx = -(m.eDx * inv.eM11 + m.eDy * inv.eM21);
  inv.eDy = -(m.eDx * inv.eM12 + m.eDy * inv.eM22);
  return true;
}

void ResetXforms()
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Xforms().clear();
  OwnXforms().clear();
  Fonts().clear();
}

struct ResetRegistrar {
  ResetRegistrar() { RegisterReset(ResetXforms); }
} g_registrar;

}  // namespace

size_t XformObjectCount() { return OwnXforms().size() + Fonts().size(); }

}  // namespace eng
}  // namespace plat

using namespace plat::eng;

ULONG APIENTRY XFORMOBJ_iGetXform(XFORMOBJ *pxo, XFORML *pxform)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  const XformRecord *x = XformOf(pxo);
  if (!x) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return DDI_ERROR;
  }
  if (pxform) *pxform = x->m;
  return Complexity(x->m);
}

BOOL APIENTRY XFORMOBJ_bApplyXform(XFORMOBJ *pxo, ULONG iMode, ULONG cPoints, PVOID pvIn, PVOID pvOut)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  const XformRecord *x = XformOf(pxo);
  if (!x || !pvIn || !pvOut || iMode > XF_INV_FXTOL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  XFORML m = x->m;
  if ((iMode == XF_INV_LTOL || iMode == XF_INV_FXTOL) && !Invert(x->m, m)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Input and output are POINTL or POINTFIX arrays of the same 8-byte pitch; they may
  // be the same array, so each point is read before it is written.
  const float inScale = iMode == XF_INV_FXTOL ? 1.0f / 16.0f : 1.0f;
  const float outScale = iMode == XF_LTOFX ? 16.0f : 1.0f;
  const LONG *in = static_cast<const LONG *>(pvIn);
  LONG *out = static_cast<LONG *>(pvOut);
  for (ULONG i = 0; i < cPoints; ++i) {
    float px = static_cast<float>(in[2 * i]) * inScale;
    float py = static_cast<float>(in[2 * i + 1]) * inScale;
    float ox = (m.eM11 * px + m.eM21 * py + m.eDx) * outScale;
    float oy = (m.eM12 * px + m.eM22 * py + m.eDy) * outScale;
    LONG lx, ly;
    if (!ToLong(ox, lx) || !ToLong(oy, ly)) {
      SetLastError(ERROR_ARITHMETIC_OVERFLOW);
      return FALSE;
    }
    out[2 * i] = lx;
    out[2 * i + 1] = ly;
  }
  return TRUE;
}

XFORMOBJ *APIENTRY FONTOBJ_pxoGetXform(FONTOBJ *pfo)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  auto it = pfo ? Fonts().find(pfo) : Fonts().end();
  if (it == Fonts().end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  return &it->second->xform.xo;
}

XFORMOBJ *PlatEngCreateXform(const XFORML *xform)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (!xform) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  auto rec = std::make_unique<XformRecord>();
  rec->m = *xform;
  XFORMOBJ *pxo = &rec->xo;
  Xforms()[pxo] = rec.get();
  OwnXforms()[pxo] = std::move(rec);
  return pxo;
}

BOOL PlatEngDeleteXform(XFORMOBJ *pxo)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (!pxo || !OwnXforms().erase(pxo)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Xforms().erase(pxo);
  return TRUE;
}

FONTOBJ *PlatEngCreateFontObj(const FONTOBJ *init, const XFORML *xform)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  if (!xform) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  auto rec = std::make_unique<FontRecord>();
  if (init) rec->fo = *init;
  rec->xform.m = *xform;
  FONTOBJ *pfo = &rec->fo;
  Xforms()[&rec->xform.xo] = &rec->xform;
  Fonts()[pfo] = std::move(rec);
  return pfo;
}

BOOL PlatEngDeleteFontObj(FONTOBJ *pfo)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  auto it = pfo ? Fonts().find(pfo) : Fonts().end();
  if (it == Fonts().end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Xforms().erase(&it->second->xform.xo);
  Fonts().erase(it);
  return TRUE;
}
