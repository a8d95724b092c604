// Blits: EngCopyBits and EngStretchBlt between every pair of formats in both
// orientations, with translation, clipping and mirroring; EngBitBlt's ROP4s with solid,
// hatch and pattern brushes and a mask; argument checks and injected faults.
#include <algorithm>
#include <functional>

#include "eng_fixture.h"

namespace {

const ULONG kFormats[] = {BMF_1BPP, BMF_4BPP, BMF_8BPP, BMF_16BPP, BMF_24BPP, BMF_32BPP};
// Colours every direct format holds exactly (5-5-5 included).
const ULONG kRgb[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0x848484};

bool Indexed(ULONG f) { return f <= BMF_8BPP; }
ULONG Levels(ULONG f) { return f == BMF_1BPP ? 2 : f == BMF_4BPP ? 16 : 256; }
ULONG Mask(ULONG f)
{
  switch (f) {
    case BMF_1BPP: return 1;
    case BMF_4BPP: return 0xF;
    case BMF_8BPP: return 0xFF;
    case BMF_16BPP: return 0xFFFF;
    case BMF_24BPP: return 0xFFFFFF;
    default: return 0xFFFFFFFF;
  }
}
// The pixel value of a colour in a direct format.
ULONG Raw(ULONG f, ULONG rgb)
{
  if (f != BMF_16BPP) return rgb;
  return ((rgb >> 19) & 0x1F) << 10 | ((rgb >> 11) & 0x1F) << 5 | ((rgb >> 3) & 0x1F);
}

// The source pixel value of pixel number n, and what the destination must hold for it:
// indexed sources go through the table made by TableFor; direct colours convert to the
// destination's form; direct sources into indexed destinations keep their low bits.
ULONG SourceValue(ULONG src, ULONG n) { return Indexed(src) ? n % Levels(src) : Raw(src, kRgb[n % 6]); }
ULONG TableEntry(ULONG dst, ULONG i) { return Indexed(dst) ? (i * 5 + 1) & Mask(dst) : Raw(dst, kRgb[i % 6]); }
ULONG Expected(ULONG src, ULONG dst, ULONG n)
{
  if (Indexed(src)) return TableEntry(dst, n % Levels(src));
  if (Indexed(dst)) return SourceValue(src, n) & Mask(dst);
  return Raw(dst, kRgb[n % 6]);
}

class BltTest : public EngTest {
 protected:
  // The translation an indexed source needs for dst (NULL for direct sources).
  XLATEOBJ *TableFor(ULONG src, ULONG dst)
  {
    if (!Indexed(src)) return NULL;
    std::vector<ULONG> t;
    for (ULONG i = 0; i < Levels(src); ++i) t.push_back(TableEntry(dst, i));
    XLATEOBJ *x = PlatEngCreateXlate(XO_TABLE, static_cast<ULONG>(t.size()), t.data());
    xlates_.push_back(x);
    return x;
  }
  void TearDown() override
  {
    for (XLATEOBJ *x : xlates_) EXPECT_TRUE(PlatEngDeleteXlate(x));
    EngTest::TearDown();
  }
  std::vector<XLATEOBJ *> xlates_;
};

// ---------------------------------------------------------------- EngCopyBits

TEST_F(BltTest, CopyBitsConvertsEveryFormatPairInBothOrientations)
{
  for (ULONG src : kFormats)
    for (ULONG dst : kFormats)
      for (FLONG srcFl : {FLONG(BMF_TOPDOWN), FLONG(0)})
        for (FLONG dstFl : {FLONG(BMF_TOPDOWN), FLONG(0)}) {
          SCOPED_TRACE(testing::Message() << "src " << src << "/" << srcFl << " dst " << dst << "/" << dstFl);
          SURFOBJ *s = Bitmap(4, 3, src, srcFl);
          SURFOBJ *d = Bitmap(6, 5, dst, dstFl);
          for (LONG y = 0; y < 3; ++y)
            for (LONG x = 0; x < 4; ++x) ASSERT_TRUE(PlatEngSetPixel(s, x, y, SourceValue(src, x + 4 * y)));
          RECTL all = Rect(0, 0, 6, 5);
          ASSERT_TRUE(EngEraseSurface(d, &all, 0xFFFFFFFF));
          RECTL r = Rect(1, 1, 5, 4);
          POINTL at = {0, 0};
          ASSERT_TRUE(EngCopyBits(d, s, NULL, TableFor(src, dst), &r, &at));
          for (LONG y = 0; y < 5; ++y)
            for (LONG x = 0; x < 6; ++x) {
              bool inside = x >= 1 && x < 5 && y >= 1 && y < 4;
              ULONG want = inside ? Expected(src, dst, (x - 1) + 4 * (y - 1)) : Mask(dst);
              ASSERT_EQ(Pixel(d, x, y), want) << x << "," << y;
            }
          ASSERT_TRUE(PlatEngDeleteSurfaceObj(s));
          ASSERT_TRUE(PlatEngDeleteSurfaceObj(d));
          surfaces_.resize(surfaces_.size() - 2);
        }
}

TEST_F(BltTest, CopyBitsClipsToSurfaceClipAndSource)
{
  struct Case {
    const char *what;
    RECTL dest;
    POINTL src;
    BYTE complexity;
    RECTL clip;
  } cases[] = {
      {"whole source", {1, 1, 5, 5}, {0, 0}, DC_TRIVIAL, {}},
      {"rectangle clip", {1, 1, 5, 5}, {0, 0}, DC_RECT, {2, 2, 4, 9}},
      {"complex clip by its bounds", {1, 1, 5, 5}, {0, 0}, DC_COMPLEX, {0, 3, 9, 4}},
      {"past the destination's edges", {4, 4, 10, 10}, {0, 0}, DC_TRIVIAL, {}},
      {"negative destination", {-2, -1, 2, 3}, {0, 0}, DC_TRIVIAL, {}},
      {"source point before the source", {0, 0, 3, 3}, {-1, -2}, DC_TRIVIAL, {}},
      {"source point near its end", {0, 0, 3, 3}, {3, 2}, DC_TRIVIAL, {}},
      {"inverted clip", {0, 0, 6, 6}, {0, 0}, DC_RECT, {3, 3, 1, 1}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    SURFOBJ *s = Bitmap(4, 4, BMF_8BPP, 0);
    SURFOBJ *d = Bitmap(6, 6, BMF_8BPP);
    Fill(s, [](LONG x, LONG y) { return ULONG(1 + x + 4 * y); });
    RECTL dest = c.dest;
    POINTL src = c.src;
    CLIPOBJ clip = {};
    clip.iDComplexity = c.complexity;
    clip.rclBounds = c.clip;
    ASSERT_TRUE(EngCopyBits(d, s, &clip, NULL, &dest, &src));
    for (LONG y = 0; y < 6; ++y)
      for (LONG x = 0; x < 6; ++x) {
        LONG sx = src.x + x - dest.left, sy = src.y + y - dest.top;
        bool in = x >= dest.left && x < dest.right && y >= dest.top && y < dest.bottom && sx >= 0 && sx < 4 &&
                  sy >= 0 && sy < 4;
        if (c.complexity != DC_TRIVIAL) {
          LONG l = std::min(c.clip.left, c.clip.right), r = std::max(c.clip.left, c.clip.right);
          LONG t = std::min(c.clip.top, c.clip.bottom), b = std::max(c.clip.top, c.clip.bottom);
          in = in && x >= l && x < r && y >= t && y < b;
        }
        ASSERT_EQ(Pixel(d, x, y), in ? ULONG(1 + sx + 4 * sy) : 0u) << x << "," << y;
      }
  }
  // A clip complexity the engine does not know is refused.
  CLIPOBJ bad = {};
  bad.iDComplexity = 7;
  RECTL r = Rect(0, 0, 1, 1);
  POINTL p = {0, 0};
  SURFOBJ *s = Bitmap(1, 1, BMF_8BPP);
  EXPECT_FALSE(EngCopyBits(s, s, &bad, NULL, &r, &p));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(BltTest, TranslationKindsAndShortTables)
{
  SURFOBJ *s = Bitmap(6, 1, BMF_8BPP);
  Fill(s, [](LONG x, LONG) { return ULONG(x); });
  ULONG table[3] = {0x10, 0x20, 0x30};
  struct Case {
    const char *what;
    FLONG flags;
    ULONG count;
    std::vector<ULONG> want;
  } cases[] = {
      {"table shorter than the source's values", XO_TABLE, 3, {0x10, 0x20, 0x30, 0, 0, 0}},
      {"host-matched table", XO_TABLE | XO_HOST_ICM, 3, {0x10, 0x20, 0x30, 0, 0, 0}},
      {"trivial", XO_TRIVIAL, 0, {0, 1, 2, 3, 4, 5}},
      {"table without entries", XO_TABLE, 0, {0, 1, 2, 3, 4, 5}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    XLATEOBJ *x = PlatEngCreateXlate(c.flags, c.count, table);
    ASSERT_NE(x, nullptr);
    SURFOBJ *d = Bitmap(6, 1, BMF_8BPP);
    RECTL r = Rect(0, 0, 6, 1);
    POINTL p = {0, 0};
    ASSERT_TRUE(EngCopyBits(d, s, NULL, x, &r, &p));
    EXPECT_EQ(Pixels(d), c.want);
    EXPECT_EQ(XLATEOBJ_iXlate(x, 1), c.want[1]);
    EXPECT_EQ(XLATEOBJ_iXlate(x, 5), c.want[5]);
    EXPECT_TRUE(PlatEngDeleteXlate(x));
  }
}

TEST_F(BltTest, CopyWithinOneSurfaceReadsTheSourceFirst)
{
  SURFOBJ *s = Bitmap(5, 1, BMF_8BPP);
  Fill(s, [](LONG x, LONG) { return ULONG(x + 1); });
  RECTL r = Rect(1, 0, 5, 1);
  POINTL p = {0, 0};
  ASSERT_TRUE(EngCopyBits(s, s, NULL, NULL, &r, &p));
  EXPECT_EQ(Pixels(s), (std::vector<ULONG>{1, 1, 2, 3, 4}));
}

// ---------------------------------------------------------------- EngBitBlt

ULONG DestAt(LONG x, LONG y) { return ULONG((x * 37 + y * 11) & 0xFF); }
ULONG SrcAt(LONG x, LONG y) { return ULONG((x * 53 + y * 7 + 5) & 0xFF); }
ULONG MaskAt(LONG x, LONG y) { return ULONG((x + 2 * y) % 3 == 0); }
// The rows of HS_CROSS: a vertical line at column 4 and a horizontal one at row 4.
bool CrossAt(LONG x, LONG y) { return x % 8 == 4 || y % 8 == 4; }

TEST_F(BltTest, BitBltEvaluatesRop4sWithBrushesAndMask)
{
  const ULONG kSolid = 0x3C, kFore = 0xF0, kBack = 0x0F;
  SURFOBJ *src = Bitmap(10, 10, BMF_8BPP, 0);
  SURFOBJ *mask = Bitmap(10, 10, BMF_1BPP);
  Fill(src, SrcAt);
  Fill(mask, MaskAt);
  BRUSHOBJ *solid = PlatEngCreateSolidBrush(kSolid, 0, NULL);
  BRUSHOBJ *hatch = PlatEngCreateHatchBrush(HS_CROSS, kFore, kBack, 0, NULL);
  ASSERT_TRUE(solid && hatch);
  enum Brush { NONE, SOLID, HATCH };
  struct Case {
    const char *what;
    ROP4 rop4;
    Brush brush;
    bool withMask;
    POINTL brushOrg;
    ULONG (*want)(LONG x, LONG y, ULONG d, ULONG s, ULONG p, ULONG m);
  } cases[] = {
      {"SRCCOPY", 0xCCCC, NONE, false, {0, 0}, [](LONG, LONG, ULONG, ULONG s, ULONG, ULONG) { return s; }},
      {"masked copy",
       0xAACC,
       NONE,
       true,
       {0, 0},
       [](LONG, LONG, ULONG d, ULONG s, ULONG, ULONG m) { return m ? s : d; }},
      {"BLACKNESS", 0x0000, NONE, false, {0, 0}, [](LONG, LONG, ULONG, ULONG, ULONG, ULONG) { return ULONG(0); }},
      {"WHITENESS", 0xFFFF, NONE, false, {0, 0}, [](LONG, LONG, ULONG, ULONG, ULONG, ULONG) { return ULONG(0xFF); }},
      {"PATCOPY solid", 0xF0F0, SOLID, false, {0, 0}, [](LONG, LONG, ULONG, ULONG, ULONG p, ULONG) { return p; }},
      {"PATCOPY hatch", 0xF0F0, HATCH, false, {0, 0}, [](LONG, LONG, ULONG, ULONG, ULONG p, ULONG) { return p; }},
      {"PATCOPY hatch moved origin",
       0xF0F0,
       HATCH,
       false,
       {3, 2},
       [](LONG, LONG, ULONG, ULONG, ULONG p, ULONG) { return p; }},
      {"SRCINVERT", 0x6666, NONE, false, {0, 0}, [](LONG, LONG, ULONG d, ULONG s, ULONG, ULONG) { return s ^ d; }},
      {"PATINVERT solid",
       0x5A5A,
       SOLID,
       false,
       {0, 0},
       [](LONG, LONG, ULONG d, ULONG, ULONG p, ULONG) { return p ^ d; }},
      {"MERGECOPY hatch",
       0xC0C0,
       HATCH,
       false,
       {0, 0},
       [](LONG, LONG, ULONG, ULONG s, ULONG p, ULONG) { return p & s; }},
      {"hatch where the mask is clear, source elsewhere",
       0xF0CC,
       HATCH,
       true,
       {0, 0},
       [](LONG, LONG, ULONG, ULONG s, ULONG p, ULONG m) { return m ? s : p; }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    SURFOBJ *d = Bitmap(10, 10, BMF_8BPP);
    Fill(d, DestAt);
    RECTL r = Rect(1, 2, 9, 10);
    POINTL srcAt = {1, 0}, maskAt = {0, 1};
    POINTL org = c.brushOrg;
    BRUSHOBJ *pbo = c.brush == SOLID ? solid : c.brush == HATCH ? hatch : NULL;
    ASSERT_TRUE(EngBitBlt(d, src, c.withMask ? mask : NULL, NULL, NULL, &r, &srcAt, &maskAt, pbo, &org, c.rop4));
    for (LONG y = 0; y < 10; ++y)
      for (LONG x = 0; x < 10; ++x) {
        ULONG want = DestAt(x, y);
        if (x >= 1 && x < 9 && y >= 2) {
          LONG dx = x - 1, dy = y - 2;
          ULONG p = c.brush == SOLID                                                ? kSolid
                    : CrossAt(((x - org.x) % 8 + 8) % 8, ((y - org.y) % 8 + 8) % 8) ? kFore
                                                                                    : kBack;
          want = c.want(x, y, DestAt(x, y), SrcAt(1 + dx, dy), p, MaskAt(dx, 1 + dy)) & 0xFF;
        }
        ASSERT_EQ(Pixel(d, x, y), want) << x << "," << y;
      }
  }
  EXPECT_TRUE(PlatEngDeleteBrush(solid));
  EXPECT_TRUE(PlatEngDeleteBrush(hatch));
}

TEST_F(BltTest, BitBltTilesAPatternBrushThroughItsTranslation)
{
  SURFOBJ *pat = Bitmap(3, 2, BMF_4BPP, 0);
  Fill(pat, [](LONG x, LONG y) { return ULONG(x + 3 * y); });
  ULONG table[6] = {0x000000, 0x111111, 0x222222, 0x333333, 0x444444, 0x555555};
  XLATEOBJ *x = PlatEngCreateXlate(XO_TABLE, 6, table);
  BRUSHOBJ *pbo = PlatEngCreatePatternBrush(pat, x, 0, NULL);
  ASSERT_NE(pbo, nullptr);
  EXPECT_EQ(pbo->iSolidColor, 0xFFFFFFFFu);
  // The brush keeps its own copies: changing or freeing the originals changes nothing.
  ASSERT_TRUE(PlatEngSetPixel(pat, 0, 0, 5));
  ASSERT_TRUE(PlatEngDeleteXlate(x));
  SURFOBJ *d = Bitmap(7, 5, BMF_24BPP, 0);
  RECTL r = Rect(0, 0, 7, 5);
  POINTL org = {1, 1};
  ASSERT_TRUE(EngBitBlt(d, NULL, NULL, NULL, NULL, &r, NULL, NULL, pbo, &org, 0xF0F0));
  for (LONG y = 0; y < 5; ++y)
    for (LONG xx = 0; xx < 7; ++xx) {
      LONG px = ((xx - 1) % 3 + 3) % 3, py = ((y - 1) % 2 + 2) % 2;
      ASSERT_EQ(Pixel(d, xx, y), table[px + 3 * py]) << xx << "," << y;
    }
  EXPECT_TRUE(PlatEngDeleteBrush(pbo));
}

TEST_F(BltTest, BitBltRefusesMissingOperands)
{
  SURFOBJ *d = Bitmap(4, 4, BMF_8BPP);
  SURFOBJ *s = Bitmap(4, 4, BMF_8BPP);
  SURFOBJ *wideMask = Bitmap(4, 4, BMF_8BPP);
  RECTL r = Rect(0, 0, 4, 4);
  POINTL p = {0, 0};
  BRUSHOBJ stranger = {0xFFFFFFFF, NULL, 0};  // a pattern brush the engine did not make
  struct Case {
    const char *what;
    SURFOBJ *dst;
    SURFOBJ *src;
    SURFOBJ *mask;
    RECTL *rect;
    POINTL *srcPt;
    BRUSHOBJ *brush;
    ROP4 rop4;
  } cases[] = {
      {"no target", NULL, s, NULL, &r, &p, NULL, 0xCCCC},
      {"no rectangle", d, s, NULL, NULL, &p, NULL, 0xCCCC},
      {"a 32-bit ROP code", d, s, NULL, &r, &p, NULL, 0xCC0020},
      {"source needed", d, NULL, NULL, &r, &p, NULL, 0xCCCC},
      {"source point needed", d, s, NULL, &r, NULL, NULL, 0x6666},
      {"mask needed", d, s, NULL, &r, &p, NULL, 0xAACC},
      {"mask not one bit", d, s, wideMask, &r, &p, NULL, 0xAACC},
      {"brush needed", d, NULL, NULL, &r, NULL, NULL, 0xF0F0},
      {"unknown pattern brush", d, NULL, NULL, &r, NULL, &stranger, 0xF0F0},
  };
  for (const Case &c : cases) {
    SetLastError(0);
    EXPECT_FALSE(EngBitBlt(c.dst, c.src, c.mask, NULL, NULL, c.rect, c.srcPt, NULL, c.brush, NULL, c.rop4)) << c.what;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << c.what;
  }
  // Operands a ROP does not use may be missing.
  EXPECT_TRUE(EngBitBlt(d, NULL, NULL, NULL, NULL, &r, NULL, NULL, NULL, NULL, 0x5555));
  EXPECT_EQ(Pixel(d, 3, 3), 0xFFu) << "DSTINVERT of 0";
}

TEST_F(BltTest, InjectedFaultsFailEachBlit)
{
  SURFOBJ *s = Bitmap(2, 2, BMF_8BPP);
  SURFOBJ *d = Bitmap(2, 2, BMF_8BPP);
  Fill(s, [](LONG, LONG) { return ULONG(9); });
  RECTL r = Rect(0, 0, 2, 2);
  POINTL p = {0, 0};
  struct Case {
    PLAT_FAULT_KIND kind;
    std::function<BOOL()> call;
  } cases[] = {
      {PLAT_FAULT_ENG_BITBLT, [&] { return EngBitBlt(d, s, NULL, NULL, NULL, &r, &p, NULL, NULL, NULL, 0xCCCC); }},
      {PLAT_FAULT_ENG_COPYBITS, [&] { return EngCopyBits(d, s, NULL, NULL, &r, &p); }},
      {PLAT_FAULT_ENG_STRETCHBLT,
       [&] { return EngStretchBlt(d, s, NULL, NULL, NULL, NULL, NULL, &r, &r, NULL, COLORONCOLOR); }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.kind);
    RECTL all = r;
    ASSERT_TRUE(EngEraseSurface(d, &all, 0));
    PlatFaultArm(c.kind, 1);
    SetLastError(0);
    EXPECT_FALSE(c.call());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(Pixel(d, 1, 1), 0u) << "nothing written";
    EXPECT_TRUE(c.call());
    EXPECT_EQ(Pixel(d, 1, 1), 9u);
  }
}

// ---------------------------------------------------------------- EngStretchBlt

TEST_F(BltTest, StretchBltScalesEveryFormatPairInBothOrientations)
{
  for (ULONG src : kFormats)
    for (ULONG dst : kFormats)
      for (FLONG fl : {FLONG(BMF_TOPDOWN), FLONG(0)}) {
        SCOPED_TRACE(testing::Message() << "src " << src << " dst " << dst << " flags " << fl);
        SURFOBJ *s = Bitmap(3, 2, src, fl);
        SURFOBJ *d = Bitmap(6, 4, dst, fl ^ BMF_TOPDOWN);
        for (LONG y = 0; y < 2; ++y)
          for (LONG x = 0; x < 3; ++x) ASSERT_TRUE(PlatEngSetPixel(s, x, y, SourceValue(src, x + 3 * y)));
        RECTL dr = Rect(0, 0, 6, 4), sr = Rect(0, 0, 3, 2);
        ASSERT_TRUE(EngStretchBlt(d, s, NULL, NULL, TableFor(src, dst), NULL, NULL, &dr, &sr, NULL, COLORONCOLOR));
        for (LONG y = 0; y < 4; ++y)
          for (LONG x = 0; x < 6; ++x)
            ASSERT_EQ(Pixel(d, x, y), Expected(src, dst, x / 2 + 3 * (y / 2))) << x << "," << y;
        ASSERT_TRUE(PlatEngDeleteSurfaceObj(s));
        ASSERT_TRUE(PlatEngDeleteSurfaceObj(d));
        surfaces_.resize(surfaces_.size() - 2);
      }
}

TEST_F(BltTest, StretchBltMirrorsSamplesNearestAndClips)
{
  struct Case {
    const char *what;
    RECTL dest;
    RECTL src;
    BYTE complexity;
    RECTL clip;
    std::vector<ULONG> want;  // 4 x 2 destination, 0 = untouched
  } cases[] = {
      {"same size", {0, 0, 4, 2}, {0, 0, 4, 2}, DC_TRIVIAL, {}, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"destination inverted: mirrored", {4, 0, 0, 2}, {0, 0, 4, 2}, DC_TRIVIAL, {}, {4, 3, 2, 1, 8, 7, 6, 5}},
      {"source inverted: mirrored", {0, 0, 4, 2}, {0, 2, 4, 0}, DC_TRIVIAL, {}, {5, 6, 7, 8, 1, 2, 3, 4}},
      {"both inverted: upright", {4, 2, 0, 0}, {4, 2, 0, 0}, DC_TRIVIAL, {}, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"shrunk: nearest centres", {0, 0, 2, 1}, {0, 0, 4, 2}, DC_TRIVIAL, {}, {6, 8, 0, 0, 0, 0, 0, 0}},
      {"clipped", {0, 0, 4, 2}, {0, 0, 4, 2}, DC_RECT, {1, 1, 3, 5}, {0, 0, 0, 0, 0, 6, 7, 0}},
      {"source partly outside", {0, 0, 4, 2}, {2, 0, 6, 2}, DC_TRIVIAL, {}, {3, 4, 0, 0, 7, 8, 0, 0}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    SURFOBJ *s = Bitmap(4, 2, BMF_8BPP, 0);
    Fill(s, [](LONG x, LONG y) { return ULONG(1 + x + 4 * y); });
    SURFOBJ *d = Bitmap(4, 2, BMF_8BPP);
    RECTL dr = c.dest, sr = c.src;
    CLIPOBJ clip = {};
    clip.iDComplexity = c.complexity;
    clip.rclBounds = c.clip;
    ASSERT_TRUE(EngStretchBlt(d, s, NULL, &clip, NULL, NULL, NULL, &dr, &sr, NULL, COLORONCOLOR));
    EXPECT_EQ(Pixels(d), c.want);
  }
  SURFOBJ *s = Bitmap(2, 2, BMF_8BPP);
  RECTL r = Rect(0, 0, 2, 2), huge = Rect(0, 0, 0x10000000, 2);
  EXPECT_FALSE(EngStretchBlt(s, s, s, NULL, NULL, NULL, NULL, &r, &r, NULL, COLORONCOLOR));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(EngStretchBlt(s, s, NULL, NULL, NULL, NULL, NULL, &r, &r, NULL, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(EngStretchBlt(s, s, NULL, NULL, NULL, NULL, NULL, &huge, &r, NULL, COLORONCOLOR));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
