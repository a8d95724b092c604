// Shared helpers of the engine tests: a fresh machine per test with a check that every
// engine object a test made was freed, and small builders of surfaces and rectangles.
#pragma once
#include <vector>

#include "kvplat/eng_control.h"
#include "machine_fixture.h"
#include "win32/winddi.h"

class EngTest : public MachineTest {
 protected:
  void TearDown() override
  {
    for (SURFOBJ *so : surfaces_) EXPECT_TRUE(PlatEngDeleteSurfaceObj(so));
    surfaces_.clear();
    EXPECT_EQ(PlatEngObjectCount(), 0u) << "an engine object was left behind";
    MachineTest::TearDown();
  }
  // A bitmap surface the fixture deletes at the end of the test.
  SURFOBJ *Bitmap(LONG cx, LONG cy, ULONG format, FLONG fl = BMF_TOPDOWN)
  {
    SURFOBJ *so = PlatEngCreateSurfaceObj(cx, cy, format, fl, 0, NULL);
    EXPECT_NE(so, nullptr);
    if (so) surfaces_.push_back(so);
    return so;
  }
  static ULONG Pixel(SURFOBJ *so, LONG x, LONG y)
  {
    ULONG v = 0xDEADBEEF;
    EXPECT_TRUE(PlatEngGetPixel(so, x, y, &v)) << x << "," << y;
    return v;
  }
  static void Fill(SURFOBJ *so, ULONG (*f)(LONG x, LONG y))
  {
    for (LONG y = 0; y < so->sizlBitmap.cy; ++y)
      for (LONG x = 0; x < so->sizlBitmap.cx; ++x) ASSERT_TRUE(PlatEngSetPixel(so, x, y, f(x, y)));
  }
  // Every pixel of a surface, row by row from the top.
  static std::vector<ULONG> Pixels(SURFOBJ *so)
  {
    std::vector<ULONG> out;
    for (LONG y = 0; y < so->sizlBitmap.cy; ++y)
      for (LONG x = 0; x < so->sizlBitmap.cx; ++x) out.push_back(Pixel(so, x, y));
    return out;
  }
  std::vector<SURFOBJ *> surfaces_;
};

inline RECTL Rect(LONG l, LONG t, LONG r, LONG b) { return RECTL{l, t, r, b}; }
