// The duplex scale-area table, its INI overrides and the duplex scale fit.
#include <gtest/gtest.h>

#include "context_fixture.h"
#include "files/ini.h"
#include "model/model.h"
#include "model/scale_area.h"
#include "files/paths.h"
#include "files/settings_dirs.h"

namespace {

TEST(ScaleArea, TableAndKeyNames)
{
  DUPLEX_SCALE_ROW *t = DmGetDuplexScaleTable();
  int n = 0;
  while (t[n].paper != 0) {
    EXPECT_NE(IniGetScaleAreaKeyName(t[n].paper), nullptr) << t[n].paper;  // every row has a key
    ++n;
  }
  EXPECT_EQ(n, 29);
  EXPECT_EQ(t[29].width, 0u);
  struct Case {
    SHORT paper;
    DWORD width;
    const char *key;
  } cases[] = {{9, 1932, "ScaleArea_A4"},    {8, 2732, "ScaleArea_A3"},     {1, 1987, "ScaleArea_LT"},
               {514, 1869, "ScaleArea_FGL"}, {513, 1928, "ScaleArea_FOOL"}, {27, 1012, "ScaleArea_ENVDL"},
               {517, 2456, "ScaleArea_8K"}};
  for (const Case &c : cases) {
    EXPECT_EQ(DmGetDuplexScaleArea(c.paper), c.width) << c.paper;
    EXPECT_EQ(NarrowW(IniGetScaleAreaKeyName(c.paper)), c.key);
  }
  EXPECT_EQ(DmGetDuplexScaleArea(2), 0u);
  EXPECT_EQ(DmGetDuplexScaleArea(0), 0u);
  EXPECT_EQ(IniGetScaleAreaKeyName(2), nullptr);
  EXPECT_EQ(IniGetScaleAreaKeyName(0), nullptr);
  DmSetDuplexScaleArea(2, 100);  // no row: ignored
  EXPECT_EQ(DmGetDuplexScaleArea(2), 0u);
  DmSetDuplexScaleArea(13, 1500);
  EXPECT_EQ(DmGetDuplexScaleArea(13), 1500u);
  DmSetDuplexScaleArea(13, 1638);
}

class ScaleFitTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    ctx_ = Create();
    ASSERT_NE(ctx_, nullptr);
    // A4 output on A4 paper at 600 dpi, printable 4800 x 6800 dots at offsets 100, 200.
    ItemSetRaw(ctx_, 8, 9);
    ItemSetRaw(ctx_, 46, 9);
    ItemSetRaw(ctx_, 38, 600);
    ItemSetRaw(ctx_, 49, 6800);
    ItemSetRaw(ctx_, 50, 4800);
    ItemSetRaw(ctx_, 51, 100);
    ItemSetRaw(ctx_, 52, 200);
    ItemSetRaw(ctx_, 55, 0);
    ItemSetRaw(ctx_, 87, 0);
  }
  void TearDown() override
  {
    DmSetDuplexScaleArea(9, 1932);
    CtxRelease(ctx_);
    ContextTest::TearDown();
  }
  std::u16string IniPath()
  {
    WCHAR buf[260] = {};
    PathInSharedSettingsDir(buf, 260, u"KVMLAREA.ini", ctx_);
    return buf;
  }
  DRIVER_CONTEXT *ctx_ = nullptr;
};

TEST_F(ScaleFitTest, A4At600DpiShrinksToTheScaleWidth)
{
  DmFitDuplexScaleArea(ctx_);
  // w = 1932 x 600 / 254 = 4563; r = 4563000 / 4800 = 950; long side 6800 x 950 / 1000 = 6460.
  EXPECT_EQ(ItemGetRaw(ctx_, 50, nullptr), 4563);
  EXPECT_EQ(ItemGetRaw(ctx_, 49, nullptr), 6460);
  EXPECT_EQ(ItemGetRaw(ctx_, 51, nullptr), 100 + (4800 - 4563) / 2);
  EXPECT_EQ(ItemGetRaw(ctx_, 52, nullptr), 200 + (6800 - 6460) / 2);
  EXPECT_EQ(ItemGetRaw(ctx_, 55, nullptr), 1);
  EXPECT_EQ(ItemGetRaw(ctx_, 87, nullptr), 2);
}

TEST_F(ScaleFitTest, LandscapeShortSideAndScaledItems)
{
  ItemSetRaw(ctx_, 49, 4800);  // the length is now the short side
  ItemSetRaw(ctx_, 50, 6800);
  ItemSetRaw(ctx_, 55, 1);
  ItemSetRaw(ctx_, 87, 3);
  ItemSetRaw(ctx_, 89, 80);
  ItemSetRaw(ctx_, 90, 60);
  DmFitDuplexScaleArea(ctx_);
  EXPECT_EQ(ItemGetRaw(ctx_, 49, nullptr), 4563);
  EXPECT_EQ(ItemGetRaw(ctx_, 50, nullptr), 6460);
  EXPECT_EQ(ItemGetRaw(ctx_, 52, nullptr), 200 + (4800 - 4563) / 2);
  EXPECT_EQ(ItemGetRaw(ctx_, 51, nullptr), 100 + (6800 - 6460) / 2);
  EXPECT_EQ(ItemGetRaw(ctx_, 89, nullptr), 80 * 950 / 1000);
  EXPECT_EQ(ItemGetRaw(ctx_, 90, nullptr), 60 * 950 / 1000);
  EXPECT_EQ(ItemGetRaw(ctx_, 87, nullptr), 3);
}

TEST_F(ScaleFitTest, SmallRatiosAndWideEnoughAreasChangeNothing)
{
  for (LONG shortSide : {9126L, 4563L, 4000L}) {  // ratio 500; w equal; w above the side
    ItemSetRaw(ctx_, 50, shortSide);
    ItemSetRaw(ctx_, 49, 20000);
    DmFitDuplexScaleArea(ctx_);
    EXPECT_EQ(ItemGetRaw(ctx_, 50, nullptr), shortSide);
    EXPECT_EQ(ItemGetRaw(ctx_, 49, nullptr), 20000);
    EXPECT_EQ(ItemGetRaw(ctx_, 55, nullptr), 0);
  }
  ItemSetRaw(ctx_, 46, 2);  // a paper without scale area
  ItemSetRaw(ctx_, 50, 4800);
  DmFitDuplexScaleArea(ctx_);
  EXPECT_EQ(ItemGetRaw(ctx_, 50, nullptr), 4800);
}

TEST_F(ScaleFitTest, OutputFollowingThePaperGetsThePaper)
{
  ItemSetRaw(ctx_, 46, 1024);
  DmFitDuplexScaleArea(ctx_);
  EXPECT_EQ(ItemGetRaw(ctx_, 50, nullptr), 4563);
  EXPECT_EQ(ItemGetRaw(ctx_, 46, nullptr), 9);
}

TEST_F(ScaleFitTest, IniWidthsApplyOnlyWhenEnabledAndSane)
{
  ASSERT_TRUE(FileCreateSettingsDirOf(ctx_));
  std::u16string ini = IniPath();
  ASSERT_FALSE(ini.empty());
  IniWriteString(u"DuplexScaleArea", u"ScaleArea_A4", u"1800", ini.c_str());
  IniLoadDuplexScaleArea(ctx_, 9);
  EXPECT_EQ(DmGetDuplexScaleArea(9), 1932u);  // "UseScaleArea" is not 1
  IniWriteString(u"DuplexScaleArea", u"UseScaleArea", u"1", ini.c_str());
  IniLoadDuplexScaleArea(ctx_, 9);
  EXPECT_EQ(DmGetDuplexScaleArea(9), 1800u);
  for (const char16_t *bad : {u"0", u"-5", u"99999999999", u"4294967295", u"abc"}) {
    IniWriteString(u"DuplexScaleArea", u"ScaleArea_A4", bad, ini.c_str());
    IniLoadDuplexScaleArea(ctx_, 9);
    EXPECT_EQ(DmGetDuplexScaleArea(9), 1800u) << NarrowW(bad);
  }
  // The fit reads the file first: 1500 tenths at 600 dpi are 3543 dots, ratio 738.
  IniWriteString(u"DuplexScaleArea", u"ScaleArea_A4", u"1500", ini.c_str());
  DmFitDuplexScaleArea(ctx_);
  EXPECT_EQ(ItemGetRaw(ctx_, 50, nullptr), 3543);
  EXPECT_EQ(ItemGetRaw(ctx_, 49, nullptr), 6800 * 738 / 1000);
}

}  // namespace
