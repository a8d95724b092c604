// Transforms: XFORMOBJ_iGetXform's complexity and matrix, XFORMOBJ_bApplyXform in
// every mode for identity, offset, scale, rotation and mirror, its failures, and the
// transform of a font object.
#include "eng_fixture.h"

namespace {

class XformTest : public EngTest {};

TEST_F(XformTest, ApplyXformInBothModesForEachKindOfTransform)
{
  struct Case {
    const char *what;
    XFORML m;
    ULONG complexity;
    POINTL in;
    POINTL ltol;   // rounded to the nearest pixel
    POINTL ltofx;  // 28.4 fixed point
  } cases[] = {
      {"identity", {1, 0, 0, 1, 0, 0}, GX_IDENTITY, {3, -7}, {3, -7}, {48, -112}},
      {"offset", {1, 0, 0, 1, 10, -5}, GX_OFFSET, {3, -7}, {13, -12}, {208, -192}},
      {"scale", {2.5f, 0, 0, 0.5f, 0, 0}, GX_SCALE, {3, -7}, {8, -4}, {120, -56}},
      {"rotation by 90 degrees", {0, 1, -1, 0, 0, 0}, GX_GENERAL, {3, -7}, {7, 3}, {112, 48}},
      {"rotation by 30 degrees",
       {0.8660254f, 0.5f, -0.5f, 0.8660254f, 0, 0},
       GX_GENERAL,
       {100, 0},
       {87, 50},
       {1386, 800}},
      {"mirror", {-1, 0, 0, 1, 0, 0}, GX_SCALE, {3, -7}, {-3, -7}, {-48, -112}},
      {"mirror and offset", {1, 0, 0, -1, 0, 100}, GX_SCALE, {3, -7}, {3, 107}, {48, 1712}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    XFORMOBJ *pxo = PlatEngCreateXform(&c.m);
    ASSERT_NE(pxo, nullptr);
    XFORML got = {};
    EXPECT_EQ(XFORMOBJ_iGetXform(pxo, &got), c.complexity);
    EXPECT_EQ(got.eM11, c.m.eM11);
    EXPECT_EQ(got.eM21, c.m.eM21);
    EXPECT_EQ(got.eDy, c.m.eDy);
    EXPECT_EQ(XFORMOBJ_iGetXform(pxo, NULL), c.complexity);

    POINTL pts[2] = {c.in, {0, 0}};
    POINTL out[2];
    ASSERT_TRUE(XFORMOBJ_bApplyXform(pxo, XF_LTOL, 2, pts, out));
    EXPECT_EQ(out[0].x, c.ltol.x);
    EXPECT_EQ(out[0].y, c.ltol.y);
    EXPECT_EQ(out[1].x, static_cast<LONG>(c.m.eDx));
    POINTFIX fx[2];
    ASSERT_TRUE(XFORMOBJ_bApplyXform(pxo, XF_LTOFX, 2, pts, fx));
    EXPECT_EQ(fx[0].x, c.ltofx.x);
    EXPECT_EQ(fx[0].y, c.ltofx.y);
    // The inverse modes bring the points back (within rounding for the 30-degree one).
    POINTL back[1];
    ASSERT_TRUE(XFORMOBJ_bApplyXform(pxo, XF_INV_FXTOL, 1, fx, back));
    EXPECT_NEAR(back[0].x, c.in.x, 1);
    EXPECT_NEAR(back[0].y, c.in.y, 1);
    // The same array may be input and output.
    ASSERT_TRUE(XFORMOBJ_bApplyXform(pxo, XF_LTOL, 1, pts, pts));
    EXPECT_EQ(pts[0].x, c.ltol.x);
    EXPECT_TRUE(PlatEngDeleteXform(pxo));
  }
}

TEST_F(XformTest, InverseAndFailures)
{
  XFORML scale = {4, 0, 0, 2, 8, 0};
  XFORMOBJ *pxo = PlatEngCreateXform(&scale);
  POINTL p = {16, 10}, out;
  ASSERT_TRUE(XFORMOBJ_bApplyXform(pxo, XF_INV_LTOL, 1, &p, &out));
  EXPECT_EQ(out.x, 2);
  EXPECT_EQ(out.y, 5);
  EXPECT_FALSE(XFORMOBJ_bApplyXform(pxo, XF_LTOL, 1, NULL, &out));
  EXPECT_FALSE(XFORMOBJ_bApplyXform(pxo, XF_LTOL, 1, &p, NULL));
  EXPECT_FALSE(XFORMOBJ_bApplyXform(pxo, 4, 1, &p, &out));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(PlatEngDeleteXform(pxo));

  XFORML huge = {1e10f, 0, 0, 1, 0, 0};
  XFORMOBJ *big = PlatEngCreateXform(&huge);
  EXPECT_FALSE(XFORMOBJ_bApplyXform(big, XF_LTOL, 1, &p, &out));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ARITHMETIC_OVERFLOW));
  XFORML flat = {1, 2, 2, 4, 0, 0};  // no inverse
  XFORMOBJ *singular = PlatEngCreateXform(&flat);
  EXPECT_FALSE(XFORMOBJ_bApplyXform(singular, XF_INV_LTOL, 1, &p, &out));
  EXPECT_TRUE(XFORMOBJ_bApplyXform(singular, XF_LTOL, 1, &p, &out));
  EXPECT_TRUE(PlatEngDeleteXform(big));
  EXPECT_TRUE(PlatEngDeleteXform(singular));

  XFORMOBJ stranger = {0};
  EXPECT_EQ(XFORMOBJ_iGetXform(&stranger, NULL), DDI_ERROR);
  EXPECT_EQ(XFORMOBJ_iGetXform(NULL, NULL), DDI_ERROR);
  EXPECT_FALSE(XFORMOBJ_bApplyXform(pxo, XF_LTOL, 1, &p, &out)) << "deleted";
}

TEST_F(XformTest, FontObjectCarriesItsTransform)
{
  FONTOBJ init = {};
  init.iUniq = 77;
  init.flFontType = FO_TYPE_DEVICE;
  XFORML m = {0.5f, 0, 0, 0.5f, 0, 0};
  FONTOBJ *pfo = PlatEngCreateFontObj(&init, &m);
  ASSERT_NE(pfo, nullptr);
  EXPECT_EQ(pfo->iUniq, 77u);
  XFORMOBJ *pxo = FONTOBJ_pxoGetXform(pfo);
  ASSERT_NE(pxo, nullptr);
  EXPECT_EQ(FONTOBJ_pxoGetXform(pfo), pxo);
  XFORML got;
  EXPECT_EQ(XFORMOBJ_iGetXform(pxo, &got), static_cast<ULONG>(GX_SCALE));
  EXPECT_EQ(got.eM11, 0.5f);
  EXPECT_FALSE(PlatEngDeleteXform(pxo)) << "the font owns its transform";
  EXPECT_TRUE(PlatEngDeleteFontObj(pfo));
  EXPECT_EQ(XFORMOBJ_iGetXform(pxo, &got), DDI_ERROR);
  FONTOBJ stranger = {};
  EXPECT_EQ(FONTOBJ_pxoGetXform(&stranger), nullptr);
}

}  // namespace
