// Conversions between 1200-dpi dots and the display units.
#include "context_fixture.h"

namespace {

TEST(ItemUnits, ConversionsOfKnownLengths)
{
  EXPECT_EQ(DmUnitsToDots(1, 2100, 1200), 9920u);  // 210.0 mm
  EXPECT_EQ(DmDotsToUnits(1, 9920, 1200), 2100u);
  EXPECT_EQ(DmUnitsToDots(2, 827, 1200), 9924u);  // 8.27 inch
  EXPECT_EQ(DmDotsToUnits(2, 9924, 1200), 827u);
  EXPECT_EQ(DmUnitsToDots(1, 2100, 600), 4960u);
  EXPECT_EQ(DmUnitsToDots(3, 100, 1200), 0u);
  EXPECT_EQ(DmDotsToUnits(0, 100, 1200), 0u);
  EXPECT_EQ(DmDotsToTenthMm(1200, 1200), 254u);
  EXPECT_EQ(DmDotsToTenthMm(1200, 0), 0u);
  EXPECT_EQ(DmDotsToHundredthInch(1200, 1200), 100u);
  EXPECT_EQ(DmTenthMmToDots(254, 1200), 1200u);
  EXPECT_EQ(DmHundredthInchToDots(100, 1200), 1200u);
  EXPECT_EQ(DmRescale(600, 600, 1200), 1200u);
  EXPECT_EQ(DmRescale(600, 0, 1200), 0u);
  EXPECT_EQ(DmRescale(600, 600, 0), 0u);
  EXPECT_EQ(DmRatio(10, 3, 4), 7);
  EXPECT_EQ(DmRatio(-10, 3, 4), -7);
  EXPECT_EQ(DmRatio(10, 3, 0), -1);
}

// Each result of DmUnitsToDots is even and converts back to no more than the units, and is
// the largest such number; DmDotsToUnits rounds up.
TEST(ItemUnits, RoundTripProperties)
{
  for (int kind = 1; kind <= 2; ++kind) {
    for (DWORD u = 0; u < 3000; u += 7) {
      DWORD n = DmUnitsToDots(kind, u, 1200);
      EXPECT_EQ(n % 2, 0u);
      DWORD back = kind == 1 ? DmDotsToTenthMm(n, 1200) : DmDotsToHundredthInch(n, 1200);
      EXPECT_LE(back, u);
      // The largest such number not above the plain conversion of the units.
      DWORD plain = kind == 1 ? DmTenthMmToDots(u, 1200) : DmHundredthInchToDots(u, 1200);
      EXPECT_LE(n, plain);
      DWORD next = n + 2;
      DWORD backNext = kind == 1 ? DmDotsToTenthMm(next, 1200) : DmDotsToHundredthInch(next, 1200);
      EXPECT_TRUE(next > plain || backNext > u) << kind << " " << u;
      DWORD units = DmDotsToUnits(kind, n, 1200);
      DWORD dots = kind == 1 ? DmTenthMmToDots(units, 1200) : DmHundredthInchToDots(units, 1200);
      EXPECT_GE(dots, n);
    }
  }
}

// Inputs at the ends of the range neither overflow, divide by zero nor loop for long.
TEST(ItemUnits, ExtremeInputsStayInRange)
{
  EXPECT_EQ(DmDotsToHundredthInch(5000, 50), 0u);
  EXPECT_EQ(DmHundredthInchToDots(0xFFFFFFFFu, 1200), 0xFFFFFFFFu);
  EXPECT_EQ(DmTenthMmToDots(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(DmRescale(0xFFFFFFFFu, 1, 0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(DmDotsToTenthMm(0xFFFFFFFFu, 1), 0xFFFFFFFFu);
  DWORD big = DmUnitsToDots(1, 0xFFFFFFFFu, 1200);
  EXPECT_EQ(big % 2, 0u);
  EXPECT_LE(DmDotsToTenthMm(big, 1200), 0xFFFFFFFFu);
  EXPECT_GT(DmDotsToUnits(1, 0xFFFFFFFFu, 1200), 0u);
  EXPECT_GT(DmDotsToUnits(2, 0xFFFFFFFFu, 1), 0u);
  EXPECT_EQ(DmUnitsToDots(2, 0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(DmRatio(0x7FFFFFFF, 0x7FFFFFFF, 1), 0x7FFFFFFF);
  EXPECT_EQ(DmRatio(-0x7FFFFFFF - 1, -1, 1), 0x7FFFFFFF);
}

class ItemDisplayUnits : public OpenContextTest {};

TEST_F(ItemDisplayUnits, FreeSizeLimitsAreRoundedInward)
{
  struct Case {
    LONG unit;  // item 171: 0 metric, 1 inch
    WORD id;
    LONG min;
    LONG max;
  } cases[] = {{0, 819, 900, 2160}, {1, 819, 355, 850}, {0, 820, 1480, 12954}, {1, 820, 583, 5100}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.id);
    ItemSetRaw(ctx_, 171, c.unit);
    EXPECT_EQ(ItemIsMetricUnit(ctx_), c.unit == 0);
    LONG min = -1, max = -1;
    ASSERT_EQ(ItemGetFreeSizeLimits(ctx_, c.id, &min, &max), 1);
    EXPECT_EQ(min, c.min);
    EXPECT_EQ(max, c.max);
    int kind = c.unit == 0 ? 1 : 2;
    LONG lo = c.id == 819 ? 4250 : 6992, hi = c.id == 819 ? 10204 : 61200;
    EXPECT_GE((LONG)DmUnitsToDots(kind, (DWORD)min, 1200), lo);
    EXPECT_LE((LONG)DmUnitsToDots(kind, (DWORD)max, 1200), hi);
  }
  LONG min = 0, max = 0;
  EXPECT_EQ(ItemGetFreeSizeLimits(ctx_, 821, &min, &max), 0);
}

TEST_F(ItemDisplayUnits, ItemConversions)
{
  ItemSetRaw(ctx_, 171, 0);
  EXPECT_EQ(ItemDotsToDisplayUnits(ctx_, 0, 9920), 2100);
  EXPECT_EQ(ItemDotsToDisplayUnits(ctx_, 0, -5), 0);
  ItemSetRaw(ctx_, 819, 9920);
  EXPECT_EQ(ItemDotsToDisplayUnits(ctx_, 819, 1), 2100);  // the item's value counts
  EXPECT_EQ(ItemDisplayUnitsToDots(ctx_, 820, 2970), 14030);
  EXPECT_EQ(ItemGetRaw(ctx_, 820, nullptr), 14030);
  EXPECT_EQ(ItemDisplayUnitsToDots(ctx_, 0, -1), 0);
  ItemSetRaw(ctx_, 171, 1);
  EXPECT_EQ(ItemDisplayUnitsToDots(ctx_, 0, 827), 9924);
  EXPECT_EQ(ItemRangeToDisplayUnits(ctx_, nullptr, nullptr, nullptr), 0);
}

}  // namespace
