// Graphics engine: bit-block transfers (EngBitBlt with every ROP4, EngCopyBits,
// EngStretchBlt) and EngEraseSurface on bitmap surfaces of every format.
#include <algorithm>
#include <vector>

#include "eng_internal.h"

namespace plat {
namespace eng {
namespace {

constexpr ULONG kNoColor = 0xFFFFFFFFUL;

LONG Mod(LONG a, LONG m)
{
  LONG r = a % m;
  return r < 0 ? r + m : r;
}

bool UsesSource(BYTE rop) { return (((rop >> 2) ^ rop) & 0x33) != 0; }
bool UsesPattern(BYTE rop) { return (((rop >> 4) ^ rop) & 0x0F) != 0; }

RECTL Ordered(const RECTL &r)
{
  return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right), std::max(r.top, r.bottom)};
}

void Intersect(RECTL &r, const RECTL &with)
{
  r.left = std::max(r.left, with.left);
  r.top = std::max(r.top, with.top);
  r.right = std::min(r.right, with.right);
  r.bottom = std::min(r.bottom, with.bottom);
}

// Coordinates of the engine's 28-bit space (keeps scaling products inside 64 bits).
bool InRange(const RECTL &r)
{
  auto ok = [](LONG v) { return v >= -(1L << 27) && v <= (1L << 27); };
  return ok(r.left) && ok(r.top) && ok(r.right) && ok(r.bottom);
}

bool Empty(const RECTL &r) { return r.left >= r.right || r.top >= r.bottom; }

// Clips a well-ordered target rectangle to the surface and to the clip object's bounds
// (DC_RECT, and DC_COMPLEX by its bounds). FALSE with ERROR_INVALID_PARAMETER for an
// unknown complexity.
bool ClipTarget(RECTL &r, const SURFOBJ &dst, const CLIPOBJ *pco)
{
  Intersect(r, RECTL{0, 0, dst.sizlBitmap.cx, dst.sizlBitmap.cy});
  if (pco && pco->iDComplexity != DC_TRIVIAL) {
    if (pco->iDComplexity != DC_RECT && pco->iDComplexity != DC_COMPLEX) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    Intersect(r, Ordered(pco->rclBounds));
  }
  return true;
}

// Shrinks r so that the rectangle of the same size at the point (moved along with r's
// corner) lies inside a surface of the given size. origin is the point that matches
// (origLeft, origTop) of the target.
void ClipToSource(RECTL &r, LONG origLeft, LONG origTop, POINTL at, SIZEL size)
{
  int64_t sx = static_cast<int64_t>(at.x) + (r.left - origLeft);
  int64_t sy = static_cast<int64_t>(at.y) + (r.top - origTop);
  if (sx < 0) r.left = static_cast<LONG>(r.left - sx), sx = 0;
  if (sy < 0) r.top = static_cast<LONG>(r.top - sy), sy = 0;
  int64_t w = static_cast<int64_t>(r.right) - r.left, h = static_cast<int64_t>(r.bottom) - r.top;
  if (sx + w > size.cx) r.right = static_cast<LONG>(r.left + std::max<int64_t>(0, size.cx - sx));
  if (sy + h > size.cy) r.bottom = static_cast<LONG>(r.top + std::max<int64_t>(0, size.cy - sy));
}

// The pattern of a blit: a solid colour, an 8 x 8 hatch or a tiled bitmap, each
// already in the destination's pixel values.
struct Pattern {
  enum Kind { None, Solid, Hatch, Bitmap } kind = None;
  ULONG color = 0;
  const BYTE *hatch = nullptr;
  ULONG fore = 0, back = 0;
  const SURFOBJ *bits = nullptr;
  Xlate xl;
  POINTL org = {0, 0};

  ULONG At(LONG x, LONG y) const
  {
    switch (kind) {
      case Solid: return color;
      case Hatch: {
        BYTE row = hatch[Mod(y - org.y, 8)];
        return ((row >> (7 - Mod(x - org.x, 8))) & 1) ? fore : back;
      }
      case Bitmap:
        return xl.Apply(GetPixel(*bits, Mod(x - org.x, bits->sizlBitmap.cx), Mod(y - org.y, bits->sizlBitmap.cy)));
      default: return 0;
    }
  }
};

// Resolves the brush of a blit into a pattern in the destination's format.
bool MakePattern(const BRUSHOBJ *pbo, const POINTL *pptlBrush, ULONG dstFormat, Pattern &pat)
{
  if (!pbo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  ULONG mask = PixelMask(dstFormat);
  if (pptlBrush) pat.org = *pptlBrush;
  if (pbo->iSolidColor != kNoColor) {
    pat.kind = Pattern::Solid;
    pat.color = pbo->iSolidColor & mask;
    return true;
  }
  Brush *b = BrushFromObj(pbo);
  if (b && b->hatch < HS_DDI_MAX) {
    pat.kind = Pattern::Hatch;
    pat.hatch = HatchRows(b->hatch);
    pat.fore = b->fore & mask;
    pat.back = b->back & mask;
    return true;
  }
  Surface *s = b && b->pattern ? SurfaceFromHandle(b->pattern) : nullptr;
  if (!s) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  pat.kind = Pattern::Bitmap;
  pat.bits = &s->so;
  pat.xl.srcFormat = s->so.iBitmapFormat;
  pat.xl.dstFormat = dstFormat;
  if (!b->table.empty()) {
    pat.xl.useTable = true;
    pat.xl.table = b->table.data();
    pat.xl.entries = static_cast<ULONG>(b->table.size());
  }
  return true;
}

// Reads source pixels for a blit. When the source is the destination itself the
// rectangle is copied first (the blit may overlap itself); that copy is refused with
// ERROR_NOT_ENOUGH_MEMORY beyond 64 M pixels.
class SourceReader {
 public:
  bool Init(const SURFOBJ &so, bool copy, LONG x0, LONG y0, LONG w, LONG h)
  {
    so_ = &so;
    x0_ = x0;
    y0_ = y0;
    w_ = w;
    if (!copy) return true;
    uint64_t n = static_cast<uint64_t>(w) * static_cast<uint64_t>(h);
    if (n > kMaxCopyPixels) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    copy_.resize(static_cast<size_t>(n));
    for (LONG y = 0; y < h; ++y)
      for (LONG x = 0; x < w; ++x) copy_[static_cast<size_t>(y) * w + x] = GetPixel(so, x0 + x, y0 + y);
    copied_ = true;
    return true;
  }
  // The pixel at (x, y) of the rectangle.
  ULONG At(LONG x, LONG y) const
  {
    return copied_ ? copy_[static_cast<size_t>(y) * w_ + x] : GetPixel(*so_, x0_ + x, y0_ + y);
  }

 private:
  static constexpr uint64_t kMaxCopyPixels = 64ULL << 20;
  const SURFOBJ *so_ = nullptr;
  LONG x0_ = 0, y0_ = 0, w_ = 0;
  bool copied_ = false;
  std::vector<ULONG> copy_;
};

struct BitBltCall {
  SURFOBJ *psoTrg;
  SURFOBJ *psoSrc;
  SURFOBJ *psoMask;
  CLIPOBJ *pco;
  XLATEOBJ *pxlo;
  RECTL *prclTrg;
  POINTL *pptlSrc;
  POINTL *pptlMask;
  BRUSHOBJ *pbo;
  POINTL *pptlBrush;
  ROP4 rop4;
};

BOOL DoBitBlt(const BitBltCall &c, PLAT_FAULT_KIND fault)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *dst = BitmapFromObj(c.psoTrg);
  if (!dst) return FALSE;
  if (!c.prclTrg || c.rop4 > 0xFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const BYTE fg = static_cast<BYTE>(c.rop4 & 0xFF), bg = static_cast<BYTE>((c.rop4 >> 8) & 0xFF);
  const bool needMask = fg != bg;
  const bool needSrc = UsesSource(fg) || (needMask && UsesSource(bg));
  const bool needPat = UsesPattern(fg) || (needMask && UsesPattern(bg));
  Surface *src = nullptr;
  Surface *mask = nullptr;
  if (needSrc) {
    src = BitmapFromObj(c.psoSrc);
    if (!src) return FALSE;
    if (!c.pptlSrc) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  if (needMask) {
    mask = BitmapFromObj(c.psoMask);
    if (!mask) return FALSE;
    if (mask->so.iBitmapFormat != BMF_1BPP) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  const SURFOBJ &d = dst->so;
  Pattern pat;
  if (needPat && !MakePattern(c.pbo, c.pptlBrush, d.iBitmapFormat, pat)) return FALSE;
  if (PlatFaultHit(fault)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  const RECTL orig = Ordered(*c.prclTrg);
  RECTL r = orig;
  if (!ClipTarget(r, d, c.pco)) return FALSE;
  const POINTL maskAt = c.pptlMask ? *c.pptlMask : POINTL{0, 0};
  if (src) ClipToSource(r, orig.left, orig.top, *c.pptlSrc, src->so.sizlBitmap);
  if (mask) ClipToSource(r, orig.left, orig.top, maskAt, mask->so.sizlBitmap);
  if (Empty(r)) return TRUE;
  const LONG w = r.right - r.left, h = r.bottom - r.top;
  const LONG dx = r.left - orig.left, dy = r.top - orig.top;
  SourceReader reader;
  Xlate xl;
  if (src) {
    if (!reader.Init(src->so, src == dst, c.pptlSrc->x + dx, c.pptlSrc->y + dy, w, h)) return FALSE;
    xl = MakeXlate(c.pxlo, src->so.iBitmapFormat, d.iBitmapFormat);
  }
  const ULONG dmask = PixelMask(d.iBitmapFormat);
  for (LONG y = 0; y < h; ++y) {
    for (LONG x = 0; x < w; ++x) {
      BYTE rop = fg;
      if (mask && !GetPixel(mask->so, maskAt.x + dx + x, maskAt.y + dy + y)) rop = bg;
      const LONG tx = r.left + x, ty = r.top + y;
      ULONG s = src ? xl.Apply(reader.At(x, y)) : 0;
      ULONG p = needPat ? pat.At(tx, ty) : 0;
      ULONG v = (rop == 0xCC) ? s : Rop3(rop, p, s, GetPixel(d, tx, ty));
      PutPixel(d, tx, ty, v & dmask);
    }
  }
  return TRUE;
}

}  // namespace
}  // namespace eng
}  // namespace plat

using namespace plat::eng;

BOOL APIENTRY EngBitBlt(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                        RECTL *prclTrg, POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush, ROP4 rop4)
{
  BitBltCall c = {psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4};
  return DoBitBlt(c, PLAT_FAULT_ENG_BITBLT);
}

BOOL APIENTRY EngCopyBits(SURFOBJ *psoDest, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest,
                          POINTL *pptlSrc)
{
  BitBltCall c = {psoDest, psoSrc, nullptr, pco, pxlo, prclDest, pptlSrc, nullptr, nullptr, nullptr, 0xCCCC};
  return DoBitBlt(c, PLAT_FAULT_ENG_COPYBITS);
}

BOOL APIENTRY EngStretchBlt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                            COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest, RECTL *prclSrc, POINTL *pptlMask,
                            ULONG iMode)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *dst = BitmapFromObj(psoDest);
  Surface *src = dst ? BitmapFromObj(psoSrc) : nullptr;
  if (!src) return FALSE;
  if (!prclDest || !prclSrc || iMode < BLACKONWHITE || iMode > HALFTONE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (psoMask) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (PlatFaultHit(PLAT_FAULT_ENG_STRETCHBLT)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  const SURFOBJ &d = dst->so;
  const SURFOBJ &s = src->so;
  if (!InRange(*prclDest) || !InRange(*prclSrc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const RECTL dr = Ordered(*prclDest), sr = Ordered(*prclSrc);
  const bool flipX = (prclDest->right < prclDest->left) != (prclSrc->right < prclSrc->left);
  const bool flipY = (prclDest->bottom < prclDest->top) != (prclSrc->bottom < prclSrc->top);
  const int64_t dw = static_cast<int64_t>(dr.right) - dr.left, dh = static_cast<int64_t>(dr.bottom) - dr.top;
  const int64_t sw = static_cast<int64_t>(sr.right) - sr.left, sh = static_cast<int64_t>(sr.bottom) - sr.top;
  RECTL r = dr;
  if (!ClipTarget(r, d, pco)) return FALSE;
  if (Empty(r) || sw <= 0 || sh <= 0) return TRUE;
  // Source column and row of each destination pixel: the nearest to its centre.
  auto sample = [](int64_t i, int64_t srcLen, int64_t dstLen, LONG srcFirst, bool flip) {
    int64_t o = ((2 * i + 1) * srcLen) / (2 * dstLen);
    return static_cast<LONG>(srcFirst + (flip ? srcLen - 1 - o : o));
  };
  // The source pixels are taken first: the source may be the destination itself.
  const LONG w = r.right - r.left, h = r.bottom - r.top;
  if (static_cast<uint64_t>(w) * static_cast<uint64_t>(h) > (64ULL << 20)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  std::vector<ULONG> vals(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  std::vector<BYTE> inside(vals.size(), 0);
  std::vector<LONG> cols(static_cast<size_t>(w));
  for (LONG i = 0; i < w; ++i) cols[static_cast<size_t>(i)] = sample(r.left + i - dr.left, sw, dw, sr.left, flipX);
  for (LONG j = 0; j < h; ++j) {
    LONG sy = sample(r.top + j - dr.top, sh, dh, sr.top, flipY);
    if (sy < 0 || sy >= s.sizlBitmap.cy) continue;
    for (LONG i = 0; i < w; ++i) {
      LONG sx = cols[static_cast<size_t>(i)];
      if (sx < 0 || sx >= s.sizlBitmap.cx) continue;
      vals[static_cast<size_t>(j) * w + i] = GetPixel(s, sx, sy);
      inside[static_cast<size_t>(j) * w + i] = 1;
    }
  }
  // Pixels whose source lies outside the source bitmap are left as they are.
  Xlate xl = MakeXlate(pxlo, s.iBitmapFormat, d.iBitmapFormat);
  for (LONG j = 0; j < h; ++j)
    for (LONG i = 0; i < w; ++i) {
      size_t k = static_cast<size_t>(j) * w + i;
      if (inside[k]) PutPixel(d, r.left + i, r.top + j, xl.Apply(vals[k]));
    }
  return TRUE;
}

BOOL APIENTRY EngEraseSurface(SURFOBJ *pso, RECTL *prcl, ULONG iColor)
{
  std::lock_guard<std::recursive_mutex> g(Lock());
  Surface *s = BitmapFromObj(pso);
  if (!s) return FALSE;
  if (!prcl) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (PlatFaultHit(PLAT_FAULT_ENG_ERASE)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  RECTL r = Ordered(*prcl);
  Intersect(r, RECTL{0, 0, s->so.sizlBitmap.cx, s->so.sizlBitmap.cy});
  ULONG v = iColor & PixelMask(s->so.iBitmapFormat);
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x) PutPixel(s->so, x, y, v);
  return TRUE;
}
