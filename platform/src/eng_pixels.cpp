// Graphics engine: pixel access in every bitmap format and colour translation between
// formats.
#include "eng_internal.h"

namespace plat {
namespace eng {
namespace {

BYTE *Row(const SURFOBJ &so, LONG y) { return static_cast<BYTE *>(so.pvScan0) + static_cast<ptrdiff_t>(y) * so.lDelta; }

bool Indexed(ULONG f) { return f == BMF_1BPP || f == BMF_4BPP || f == BMF_8BPP; }

// A direct colour as 0x00RRGGBB (5-5-5 values widened by replicating their top bits).
ULONG ToRgb(ULONG v, ULONG f)
{
  if (f != BMF_16BPP) return v & 0xFFFFFF;
  ULONG r = (v >> 10) & 0x1F, g = (v >> 5) & 0x1F, b = v & 0x1F;
  r = (r << 3) | (r >> 2);
  g = (g << 3) | (g >> 2);
  b = (b << 3) | (b >> 2);
  return (r << 16) | (g << 8) | b;
}

ULONG FromRgb(ULONG rgb, ULONG f)
{
  if (f != BMF_16BPP) return rgb & 0xFFFFFF;
  return (((rgb >> 19) & 0x1F) << 10) | (((rgb >> 11) & 0x1F) << 5) | ((rgb >> 3) & 0x1F);
}

}  // namespace

ULONG PixelMask(ULONG iFormat)
{
  switch (iFormat) {
    case BMF_1BPP: return 0x1;
    case BMF_4BPP: return 0xF;
    case BMF_8BPP: return 0xFF;
    case BMF_16BPP: return 0xFFFF;
    case BMF_24BPP: return 0xFFFFFF;
    default: return 0xFFFFFFFFUL;
  }
}

ULONG GetPixel(const SURFOBJ &so, LONG x, LONG y)
{
  const BYTE *r = Row(so, y);
  switch (so.iBitmapFormat) {
    case BMF_1BPP: return (r[x >> 3] >> (7 - (x & 7))) & 1;
    case BMF_4BPP: return (x & 1) ? (r[x >> 1] & 0xF) : (r[x >> 1] >> 4);
    case BMF_8BPP: return r[x];
    case BMF_16BPP: return static_cast<ULONG>(r[2 * x] | (r[2 * x + 1] << 8));
    case BMF_24BPP: {
      const BYTE *p = r + 3 * x;
      return static_cast<ULONG>(p[0] | (p[1] << 8) | (p[2] << 16));
    }
    default: {
      const BYTE *p = r + 4 * x;
      return static_cast<ULONG>(p[0]) | (static_cast<ULONG>(p[1]) << 8) | (static_cast<ULONG>(p[2]) << 16) |
             (static_cast<ULONG>(p[3]) << 24);
    }
  }
}

void PutPixel(const SURFOBJ &so, LONG x, LONG y, ULONG v)
{
  BYTE *r = Row(so, y);
  switch (so.iBitmapFormat) {
    case BMF_1BPP: {
      BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
      r[x >> 3] = static_cast<BYTE>((v & 1) ? (r[x >> 3] | bit) : (r[x >> 3] & ~bit));
      break;
    }
    case BMF_4BPP:
      r[x >> 1] =
          static_cast<BYTE>((x & 1) ? ((r[x >> 1] & 0xF0) | (v & 0xF)) : ((r[x >> 1] & 0x0F) | ((v & 0xF) << 4)));
      break;
    case BMF_8BPP: r[x] = static_cast<BYTE>(v); break;
    case BMF_16BPP:
      r[2 * x] = static_cast<BYTE>(v);
      r[2 * x + 1] = static_cast<BYTE>(v >> 8);
      break;
    case BMF_24BPP:
      r[3 * x] = static_cast<BYTE>(v);
      r[3 * x + 1] = static_cast<BYTE>(v >> 8);
      r[3 * x + 2] = static_cast<BYTE>(v >> 16);
      break;
    default:
      for (int i = 0; i < 4; ++i) r[4 * x + i] = static_cast<BYTE>(v >> (8 * i));
      break;
  }
}

ULONG Xlate::Apply(ULONG v) const
{
  ULONG out;
  if (useTable)
    out = v < entries ? table[v] : 0;
  else if (srcFormat == dstFormat || Indexed(srcFormat) || Indexed(dstFormat))
    out = v;
  else
    out = FromRgb(ToRgb(v, srcFormat), dstFormat);
  return out & PixelMask(dstFormat);
}

Xlate MakeXlate(const XLATEOBJ *pxlo, ULONG srcFormat, ULONG dstFormat)
{
  Xlate x;
  x.srcFormat = srcFormat;
  x.dstFormat = dstFormat;
  if (pxlo && (pxlo->flXlate & XO_TABLE) && !(pxlo->flXlate & XO_TRIVIAL) && pxlo->pulXlate && pxlo->cEntries) {
    x.useTable = true;
    x.table = pxlo->pulXlate;
    x.entries = pxlo->cEntries;
  }
  return x;
}

}  // namespace eng
}  // namespace plat

ULONG APIENTRY XLATEOBJ_iXlate(XLATEOBJ *pxlo, ULONG iColor)
{
  if (!pxlo || !(pxlo->flXlate & XO_TABLE) || (pxlo->flXlate & XO_TRIVIAL) || !pxlo->pulXlate || !pxlo->cEntries)
    return iColor;
  return iColor < pxlo->cEntries ? pxlo->pulXlate[iColor] : 0;
}
