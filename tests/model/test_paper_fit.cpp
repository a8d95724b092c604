// Output paper, regional paper fit, scale items, authentication fields, resolution code and
// the device-information string.
#include <gtest/gtest.h>

#include <string.h>

#include "context_fixture.h"
#include "model/model.h"

namespace {

class PaperFitTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    ctx_ = Create();
    ASSERT_NE(ctx_, nullptr);
    // Regional default A4; fitting allowed; Letter paper with output 1024.
    ItemSetRaw(ctx_, 242, 0);
    ItemSetRaw(ctx_, 172, 0);
    ItemSetRaw(ctx_, 365, 0);
    ItemSetRaw(ctx_, 348, 0x08);
    ItemSetRaw(ctx_, 383, 1);
    ItemSetRaw(ctx_, 46, 1024);
    ItemSetRaw(ctx_, 209, 1);
    ItemSetRaw(ctx_, 55, 0);
    ItemSetRaw(ctx_, 87, 0);
    ItemSetRaw(ctx_, 8, 1);
  }
  void TearDown() override
  {
    CtxRelease(ctx_);
    ContextTest::TearDown();
  }
  DRIVER_CONTEXT *ctx_ = nullptr;
};

TEST_F(PaperFitTest, RegionalDefaultPaper)
{
  struct Case {
    LONG type, locale, hidden;
    int letter;
  } cases[] = {{0, 0, 0, 0}, {1, 1, 0, 1}, {1, 0, 0, 0}, {0, 1, 0, 0}, {1, 1, 1, 0}, {0, 0, 1, 1}};
  for (const Case &c : cases) {
    ItemSetRaw(ctx_, 242, c.type);
    ItemSetRaw(ctx_, 172, c.locale);
    ItemSetRaw(ctx_, 365, c.hidden);
    EXPECT_EQ(ItemDefaultPaperIsLetter(ctx_), c.letter) << c.type << c.locale << c.hidden;
  }
}

TEST_F(PaperFitTest, FitNeedsEveryCondition)
{
  EXPECT_EQ(ItemNeedsRegionalPaperFit(ctx_), 1);
  EXPECT_EQ(ItemGetOutputPaperSize(ctx_), 9);  // Letter fitted to the regional A4
  struct Change {
    WORD id;
    LONG value;
  } breakers[] = {{348, 0x07}, {383, 0}, {46, 9}, {209, 5}, {209, 7}, {8, 9}, {8, 11}};
  for (const Change &b : breakers) {
    LONG old = ItemGetRaw(ctx_, b.id, nullptr);
    ItemSetRaw(ctx_, b.id, b.value);
    EXPECT_EQ(ItemNeedsRegionalPaperFit(ctx_), 0) << "item " << b.id << " = " << b.value;
    ItemSetRaw(ctx_, b.id, old);
  }
  ItemSetRaw(ctx_, 55, 1);
  ItemSetRaw(ctx_, 87, 1);
  EXPECT_EQ(ItemNeedsRegionalPaperFit(ctx_), 0);  // scaling on, not fit-to-paper
  ItemSetRaw(ctx_, 87, 2);
  EXPECT_EQ(ItemNeedsRegionalPaperFit(ctx_), 1);
}

TEST_F(PaperFitTest, OutputPaperSize)
{
  ItemSetRaw(ctx_, 383, 0);  // no fit: 1024 follows the paper
  EXPECT_EQ(ItemGetOutputPaperSize(ctx_), 1);
  for (LONG paper : {1L, 8L, 11L}) {
    ItemSetRaw(ctx_, 8, paper);
    ItemSetRaw(ctx_, 46, 1025);
    EXPECT_EQ(ItemGetOutputPaperSize(ctx_), 9);
    ItemSetRaw(ctx_, 46, 1026);
    EXPECT_EQ(ItemGetOutputPaperSize(ctx_), 9);
  }
  ItemSetRaw(ctx_, 365, 1);  // regional Letter
  EXPECT_EQ(ItemGetOutputPaperSize(ctx_), 1);
  ItemSetRaw(ctx_, 46, 13);
  EXPECT_EQ(ItemGetOutputPaperSize(ctx_), 13);
}

TEST_F(PaperFitTest, PaperChangeSetsScaleFromPrintableAreas)
{
  ItemSetRaw(ctx_, 46, 1025);
  ItemSetRaw(ctx_, 40, 1000);  // source length
  ItemSetRaw(ctx_, 41, 800);   // source width
  ItemSetRaw(ctx_, 47, 900);   // destination length: 90 %
  ItemSetRaw(ctx_, 48, 760);   // destination width: 95 %
  ItemApplyPaperChange(ctx_, 1);
  EXPECT_EQ(ItemGetValue(ctx_, 89, nullptr), 90);
  EXPECT_EQ(ItemGetValue(ctx_, 90, nullptr), 90);
  // A zero source dimension makes the ratio fail: the scale items keep their values.
  ItemSetRaw(ctx_, 41, 0);
  ItemApplyPaperChange(ctx_, 1);
  EXPECT_EQ(ItemGetValue(ctx_, 89, nullptr), 90);
  EXPECT_EQ(ItemGetValue(ctx_, 90, nullptr), 90);
  ItemSetRaw(ctx_, 46, 1024);
  ItemApplyPaperChange(ctx_, 1);
  EXPECT_EQ(ItemGetValue(ctx_, 89, nullptr), 100);
  ItemApplyPaperChange(nullptr, 1);
}

TEST_F(PaperFitTest, AuthenticationFieldsSet)
{
  ItemSetRaw(ctx_, 10354, 0);
  ItemWriteText(ctx_, ItemFindById(ctx_, 1014), u"user");
  EXPECT_EQ(ItemGetAuthFieldsSet(ctx_, 7), 0u);
  ItemSetRaw(ctx_, 10354, 1);
  EXPECT_EQ(ItemGetAuthFieldsSet(ctx_, 7), 1u);
  EXPECT_EQ(ItemGetAuthFieldsSet(ctx_, 6), 0u);
  ItemWriteText(ctx_, ItemFindById(ctx_, 1015), u"secret");
  ItemWriteText(ctx_, ItemFindById(ctx_, 1016), u"key");
  EXPECT_EQ(ItemGetAuthFieldsSet(ctx_, 7), 3u);  // the network key needs the secure mode
  ItemSetRaw(ctx_, 10355, 1);
  EXPECT_EQ(ItemGetAuthFieldsSet(ctx_, 7), 7u);
  EXPECT_EQ(ItemGetAuthFieldsSet(ctx_, 4), 4u);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(ItemGetAuthFieldsSet(ctx_, 1), 0u);  // no buffer counts as empty
  PlatFaultDisarmAll();
}

TEST_F(PaperFitTest, ResolutionCode)
{
  struct Case {
    DWORD dpi;
    LONG before, after;
  } cases[] = {{150, 36, 33}, {300, 36, 35},  {300, 34, 34}, {600, 35, 36},
               {600, 17, 17}, {1200, 17, 37}, {400, 35, 35}};
  for (const Case &c : cases) {
    ItemSetRaw(ctx_, 152, c.before);
    DmSetResolutionCode(c.dpi, ctx_);
    EXPECT_EQ(ItemGetRaw(ctx_, 152, nullptr), c.after) << c.dpi << " from " << c.before;
  }
  struct PassCase {
    WORD code;
    LONG media;
    LONG pass;
    LONG res;
  } passes[] = {{1, 3, 0, 36}, {1, 1, 0, 33}, {2, 3, 1, 33}, {3, 3, 2, 33},
                {4, 3, 3, 33}, {5, 3, 4, 17}, {5, 1, 4, 33}};
  for (const PassCase &p : passes) {
    ItemSetRaw(ctx_, 152, 33);
    ItemSetRaw(ctx_, 398, 9);
    ItemSetRaw(ctx_, 54, p.media);
    ctx_->state->pendingPassMode = p.code;
    DmSetResolutionCode(999, ctx_);  // a dpi that leaves item 152 alone
    EXPECT_EQ(ItemGetRaw(ctx_, 398, nullptr), p.pass) << p.code;
    EXPECT_EQ(ItemGetRaw(ctx_, 152, nullptr), p.res) << p.code;
    EXPECT_EQ(ctx_->state->pendingPassMode, 0);
  }
}

TEST_F(PaperFitTest, DeviceInfoStringByDriverTypeAndMemory)
{
  struct Case {
    LONG type, memory;
    const char *text;
  } cases[] = {{0, 64, "8303890107d00a"},
               {0, 32, "8303890007d005"},
               {0, 128, "8303890207d014"},
               {1, 64, "8302890107d00a"},
               {1, 16, "8302890207d014"}};
  for (const Case &c : cases) {
    ItemSetRaw(ctx_, 242, c.type);
    ItemSetRaw(ctx_, 10012, c.memory);
    DmSetDeviceInfoString(ctx_);
    WCHAR buf[40] = {};
    ItemReadText(ctx_, ItemFindById(ctx_, 10274), buf);
    EXPECT_EQ(NarrowW(buf), c.text) << c.type << "/" << c.memory;
  }
}

}  // namespace
