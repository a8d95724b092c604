// Brush realization: BRUSHOBJ_pvGetRbrush asks the DrvRealizeBrush of the driver
// registered for the brush's target device, once per brush, with the hatch or pattern
// and its translation; BRUSHOBJ_pvAllocRbrush and the failures around them.
#include <string.h>

#include "eng_fixture.h"

namespace {

// What the test driver's DrvRealizeBrush saw and does.
struct RealizeLog {
  int calls = 0;
  SURFOBJ *target = nullptr;
  ULONG iHatch = 0;
  ULONG patternFormat = 0;
  SIZEL patternSize = {};
  std::vector<ULONG> patternPixels;
  std::vector<ULONG> xlate;  // entries 0.. of the translation given
  BOOL answer = TRUE;
  ULONG allocBytes = 16;
} g_log;

BOOL APIENTRY TestRealizeBrush(BRUSHOBJ *pbo, SURFOBJ *psoTarget, SURFOBJ *psoPattern, SURFOBJ *psoMask, XLATEOBJ *pxlo,
                               ULONG iHatch)
{
  ++g_log.calls;
  g_log.target = psoTarget;
  g_log.iHatch = iHatch;
  g_log.patternFormat = psoPattern ? psoPattern->iBitmapFormat : 0;
  g_log.patternSize = psoPattern ? psoPattern->sizlBitmap : SIZEL{};
  g_log.patternPixels.clear();
  for (LONG y = 0; psoPattern && y < psoPattern->sizlBitmap.cy; ++y)
    for (LONG x = 0; x < psoPattern->sizlBitmap.cx; ++x) {
      ULONG v = 0;
      PlatEngGetPixel(psoPattern, x, y, &v);
      g_log.patternPixels.push_back(v);
    }
  g_log.xlate.clear();
  for (ULONG i = 0; pxlo && i < 4; ++i) g_log.xlate.push_back(XLATEOBJ_iXlate(pxlo, i));
  BYTE *r = static_cast<BYTE *>(BRUSHOBJ_pvAllocRbrush(pbo, g_log.allocBytes));
  if (!r) return FALSE;
  memset(r, 0x5A, g_log.allocBytes);
  return g_log.answer;
}

class BrushTest : public EngTest {
 protected:
  void SetUp() override
  {
    EngTest::SetUp();
    g_log = RealizeLog();
    hooks_[0] = {INDEX_DrvRealizeBrush, reinterpret_cast<PFN>(TestRealizeBrush)};
    DRVENABLEDATA ded = {DDI_DRIVER_VERSION_NT5, 1, hooks_};
    hdev_ = PlatEngRegisterDriver(&ded);
    ASSERT_NE(hdev_, nullptr);
    target_ = Bitmap(16, 16, BMF_24BPP);
    ASSERT_TRUE(EngAssociateSurface(target_->hsurf, hdev_, HOOK_BITBLT));
  }
  void TearDown() override
  {
    EXPECT_TRUE(PlatEngUnregisterDevice(hdev_));
    EngTest::TearDown();
  }
  DRVFN hooks_[1];
  HDEV hdev_ = nullptr;
  SURFOBJ *target_ = nullptr;
};

TEST_F(BrushTest, HatchBrushIsRealizedOnceWithItsPatternAndColours)
{
  BRUSHOBJ *pbo = PlatEngCreateHatchBrush(HS_CROSS, 0x0000FF, 0xFFFFFF, BR_HOST_ICM, target_);
  ASSERT_NE(pbo, nullptr);
  EXPECT_EQ(pbo->flColorType, static_cast<FLONG>(BR_HOST_ICM));
  PVOID r = BRUSHOBJ_pvGetRbrush(pbo);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(static_cast<BYTE *>(r)[15], 0x5A);
  EXPECT_EQ(pbo->pvRbrush, r);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(pbo), r);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(pbo), r);
  EXPECT_EQ(g_log.calls, 1);
  EXPECT_EQ(PlatEngBrushRealizeCount(pbo), 1u);
  EXPECT_EQ(g_log.target, target_);
  EXPECT_EQ(g_log.iHatch, static_cast<ULONG>(HS_CROSS));
  EXPECT_EQ(g_log.patternFormat, static_cast<ULONG>(BMF_1BPP));
  EXPECT_EQ(g_log.patternSize.cx, 8);
  EXPECT_EQ(g_log.patternSize.cy, 8);
  for (LONG y = 0; y < 8; ++y)
    for (LONG x = 0; x < 8; ++x)
      EXPECT_EQ(g_log.patternPixels[static_cast<size_t>(y * 8 + x)], ULONG(x == 4 || y == 4)) << x << "," << y;
  // Index 0 is the background, 1 the hatch colour.
  EXPECT_EQ(g_log.xlate, (std::vector<ULONG>{0xFFFFFF, 0x0000FF, 0, 0}));

  // Another brush is realized by its own call.
  BRUSHOBJ *other = PlatEngCreateHatchBrush(HS_HORIZONTAL, 1, 2, 0, target_);
  ASSERT_NE(BRUSHOBJ_pvGetRbrush(other), nullptr);
  EXPECT_EQ(g_log.calls, 2);
  EXPECT_EQ(g_log.patternPixels[4 * 8], 1u);
  EXPECT_EQ(g_log.patternPixels[3 * 8 + 4], 0u);
  EXPECT_TRUE(PlatEngDeleteBrush(pbo));
  EXPECT_TRUE(PlatEngDeleteBrush(other));
}

TEST_F(BrushTest, PatternBrushHandsTheDriverItsCopyAndTranslation)
{
  SURFOBJ *pat = Bitmap(2, 3, BMF_8BPP, 0);
  Fill(pat, [](LONG x, LONG y) { return ULONG(x + 2 * y); });
  ULONG table[3] = {0xA, 0xB, 0xC};
  XLATEOBJ *x = PlatEngCreateXlate(XO_TABLE, 3, table);
  BRUSHOBJ *pbo = PlatEngCreatePatternBrush(pat, x, 0, target_);
  ASSERT_NE(pbo, nullptr);
  EXPECT_TRUE(PlatEngDeleteXlate(x));
  ASSERT_NE(BRUSHOBJ_pvGetRbrush(pbo), nullptr);
  EXPECT_EQ(g_log.iHatch, static_cast<ULONG>(HS_DDI_MAX));
  EXPECT_EQ(g_log.patternFormat, static_cast<ULONG>(BMF_8BPP));
  EXPECT_EQ(g_log.patternPixels, (std::vector<ULONG>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(g_log.xlate, (std::vector<ULONG>{0xA, 0xB, 0xC, 0}));
  EXPECT_TRUE(PlatEngDeleteBrush(pbo));
}

TEST_F(BrushTest, FailedRealizationsAnswerNullAndAreTriedAgain)
{
  BRUSHOBJ *pbo = PlatEngCreateHatchBrush(HS_VERTICAL, 1, 0, 0, target_);
  g_log.answer = FALSE;
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(pbo), nullptr);
  EXPECT_EQ(pbo->pvRbrush, nullptr);
  g_log.answer = TRUE;
  PlatFaultArm(PLAT_FAULT_ENG_BRUSH, 1);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(pbo), nullptr) << "the allocation failed";
  EXPECT_NE(BRUSHOBJ_pvGetRbrush(pbo), nullptr);
  EXPECT_EQ(g_log.calls, 3);

  // Brushes a driver cannot realize.
  BRUSHOBJ *solid = PlatEngCreateSolidBrush(0x123456, 0, target_);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(solid), nullptr);
  EXPECT_EQ(BRUSHOBJ_ulGetBrushColor(solid), 0x123456u);
  BRUSHOBJ *loose = PlatEngCreateHatchBrush(HS_VERTICAL, 1, 0, 0, NULL);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(loose), nullptr);
  EXPECT_EQ(g_log.calls, 3);
  BRUSHOBJ stranger = {0xFFFFFFFF, NULL, 0};
  SetLastError(0);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(&stranger), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(BRUSHOBJ_pvAllocRbrush(&stranger, 8), nullptr);
  EXPECT_EQ(BRUSHOBJ_pvAllocRbrush(pbo, 0), nullptr);
  EXPECT_EQ(BRUSHOBJ_pvAllocRbrush(pbo, 0x7FFFFFFF), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(PlatEngCreateHatchBrush(HS_DDI_MAX, 0, 0, 0, target_), nullptr);
  EXPECT_EQ(PlatEngCreateSolidBrush(0xFFFFFFFF, 0, target_), nullptr);
  for (BRUSHOBJ *b : {pbo, solid, loose}) EXPECT_TRUE(PlatEngDeleteBrush(b));
  EXPECT_FALSE(PlatEngDeleteBrush(pbo));
}

TEST_F(BrushTest, DriverWithoutTheHookRealizesNothing)
{
  DRVENABLEDATA none = {DDI_DRIVER_VERSION_NT5, 0, NULL};
  HDEV bare = PlatEngRegisterDriver(&none);
  SURFOBJ *other = Bitmap(4, 4, BMF_24BPP);
  ASSERT_TRUE(EngAssociateSurface(other->hsurf, bare, 0));
  BRUSHOBJ *pbo = PlatEngCreateHatchBrush(HS_CROSS, 1, 0, 0, other);
  SetLastError(0);
  EXPECT_EQ(BRUSHOBJ_pvGetRbrush(pbo), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(g_log.calls, 0);
  EXPECT_EQ(PlatEngDriverHook(hdev_, INDEX_DrvRealizeBrush), reinterpret_cast<PFN>(TestRealizeBrush));
  EXPECT_EQ(PlatEngDriverHook(bare, INDEX_DrvRealizeBrush), nullptr);
  EXPECT_TRUE(PlatEngDeleteBrush(pbo));
  EXPECT_TRUE(PlatEngUnregisterDevice(bare));
  // Tables the engine refuses.
  DRVFN badIndex = {INDEX_LAST, NULL};
  DRVENABLEDATA bad[] = {{0, 1, NULL}, {0, INDEX_LAST + 1, &badIndex}, {0, 1, &badIndex}};
  for (const DRVENABLEDATA &d : bad) EXPECT_EQ(PlatEngRegisterDriver(&d), nullptr);
  EXPECT_EQ(PlatEngRegisterDriver(NULL), nullptr);
}

}  // namespace
