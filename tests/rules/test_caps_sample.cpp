// Capabilities, paper geometry and font lists of the sample printer (samples/KVSAMPLE.KVD),
// checked against the numbers its description gives, with the application interface's own
// module answers (a tray shows while the paper feed unit is installed, every resolution).
#include <vector>

#include "caps_fixture.h"
#include "blob/desc_geometry.h"
#include "hooks/build_hooks.h"
#include "rules/rule_caps.h"
#include "tables/item_ids.h"

namespace {

class SampleCapsTest : public CapsTest {
 protected:
  void SetUp() override
  {
    CapsTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_NE(CompileFile(KV_SAMPLE_DIR, "KVSAMPLE.KVD"), nullptr);
    for (const std::string &d : diagnostics_) ADD_FAILURE() << d;
    LONG count = 0;
    MODULE_HOOK_ROW *rows = CtxGetModuleHooks(&count);
    CtxAttachModuleTable(ctx_, rows, count);  // the deliverable's modules again
    ItemSetRaw(ctx_, ITEM_dmOrientation, 1);
  }
  void Install(int paperUnit, int lct, int manual)
  {
    ItemSetRaw(ctx_, ITEM_kdmSourceOptionType1Step, paperUnit);
    ItemSetRaw(ctx_, ITEM_kdmSourceOptionTypeLCT1, lct);
    ItemSetRaw(ctx_, ITEM_kdmSourceOptionTypeManual, manual);
  }
  std::vector<WORD> Bins()
  {
    WORD bins[16] = {};
    LONG n = CapEnumBins(ctx_, bins, 16);
    return n < 0 ? std::vector<WORD>() : std::vector<WORD>(bins, bins + n);
  }
};

TEST_F(SampleCapsTest, TraysFollowTheInstalledOptions)
{
  // Automatic selection, trays 1 to 4, the large-capacity tray and the manual feed.
  struct Case {
    int paperUnit, lct, manual;
    std::vector<WORD> bins;
  } cases[] = {
      {0, 0, 0, {7, 1, 3}},
      {0, 1, 1, {7, 1, 3, 11, 4}},
      // With the paper feed unit the modules ask for every tray.
      {1, 0, 0, {7, 1, 3, 2, 256, 11, 4}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.paperUnit << c.lct << c.manual);
    Install(c.paperUnit, c.lct, c.manual);
    EXPECT_EQ(Bins(), c.bins);
    WCHAR names[24 * 16];
    ASSERT_EQ(CapEnumBinNames(ctx_, names, 24, 16), static_cast<LONG>(c.bins.size()));
    EXPECT_EQ(W(&names[0]), u"Automatic selection");
    EXPECT_EQ(W(&names[24]), u"Tray 1");
  }
}

TEST_F(SampleCapsTest, PapersAndTheirSizesAsTheDescriptionGivesThem)
{
  Install(0, 0, 1);
  struct Paper {
    WORD code;
    LONG width, length;
    const char16_t *name;
  } papers[] = {
      {9, 2100, 2970, u"A4"},
      {8, 2970, 4200, u"A3"},
      {11, 1480, 2100, u"A5"},
      {70, 1050, 1480, u"A6"},
      {12, 2570, 3640, u"B4"},
      {13, 1820, 2570, u"B5"},
      {1, 2159, 2794, u"Letter"},
      {5, 2159, 3556, u"Legal"},
      {4, 2794, 4318, u"Ledger"},
      {7, 1842, 2667, u"Executive"},
      {6, 1397, 2159, u"Statement"},
      {14, 2159, 3302, u"Folio"},
      {43, 1000, 1480, u"Postcard"},
      {20, 1048, 2413, u"Envelope #10"},
      {27, 1100, 2200, u"Envelope DL"},
      {28, 1620, 2290, u"Envelope C5"},
      {37, 984, 1905, u"Envelope Monarch"},
      {256, 0, 0, u"Custom paper size"},
  };
  const LONG n = static_cast<LONG>(sizeof papers / sizeof papers[0]);
  WORD codes[32] = {};
  ASSERT_EQ(CapEnumPapers(ctx_, codes, 32, ITEM_dmPaperSize), n);
  POINT sizes[32] = {};
  ASSERT_EQ(CapEnumPaperSizes(ctx_, sizes, 32, ITEM_dmPaperSize), n);
  std::vector<WCHAR> names(64 * 32);
  ASSERT_EQ(CapEnumPaperNames(ctx_, names.data(), 64, 32, ITEM_dmPaperSize), n);
  for (LONG i = 0; i < n; ++i) {
    SCOPED_TRACE(papers[i].code);
    EXPECT_EQ(codes[i], papers[i].code);
    EXPECT_EQ(sizes[i].x, papers[i].width);
    EXPECT_EQ(sizes[i].y, papers[i].length);
    EXPECT_EQ(W(&names[static_cast<size_t>(i) * 64]).substr(0, std::u16string(papers[i].name).size()), papers[i].name);
  }
  // Without the manual feed the custom size is hidden.
  Install(0, 0, 0);
  EXPECT_EQ(CapEnumPapers(ctx_, nullptr, 0, ITEM_dmPaperSize), n - 1);
  // The output size item lists every value, "same as the paper" and the fit sizes first.
  EXPECT_EQ(CapEnumPapers(ctx_, codes, 32, ITEM_kdmOutPaperSize), 11);
  EXPECT_EQ(std::vector<WORD>(codes, codes + 4), (std::vector<WORD>{1024, 1025, 1026, 8}));
}

TEST_F(SampleCapsTest, ResolutionsExtentsAndSwitches)
{
  LONG pairs[8] = {};
  ASSERT_EQ(CapEnumResolutions(ctx_, pairs, 4), 2);
  EXPECT_EQ(std::vector<LONG>(pairs, pairs + 4), (std::vector<LONG>{600, 600, 1200, 1200}));
  LONG codes[4] = {};
  ASSERT_EQ(CapListResolutions(ctx_, codes, 4, 1), 2);
  EXPECT_EQ(codes[0], 3);
  EXPECT_EQ(codes[1], 4);
  EXPECT_EQ(CapGetMinExtent(ctx_, nullptr, 4), 900u | (1480u << 16));
  EXPECT_EQ(CapGetOrientationDegrees(ctx_), 90u);
}

TEST_F(SampleCapsTest, PrintableAreasPerPaperResolutionAndOrientation)
{
  const WORD area = ItemFindSymbolByName("KPD_IDC_INIT_CHOICE_PRINTAREA")->itemId;
  struct Case {
    const char *paper, *resolution, *orientation, *printArea;
    std::vector<LONG> expected;  // left, top, right, bottom, a, b
  } cases[] = {
      {"IDS_PAPERSIZE_A4",
       "KDMRESOLUTION_600",
       "IDS_ORIENTATION_PORTRAIT",
       "KDMEXTPRINTAREA_0",
       {94, 99, 94 + 4773, 99 + 6818, 94, 99}},
      {"IDS_PAPERSIZE_A4",
       "KDMRESOLUTION_600",
       "IDS_ORIENTATION_PORTRAIT",
       "KDMEXTPRINTAREA_1",
       {47, 47, 47 + 4867, 47 + 6922, 47, 47}},
      {"IDS_PAPERSIZE_A4",
       "KDMRESOLUTION_1200",
       "IDS_ORIENTATION_LANDSCAPE",
       "KDMEXTPRINTAREA_0",
       {198, 189, 198 + 13635, 189 + 9543, 198, 189}},
      {"IDS_PAPERSIZE_LETTER",
       "KDMRESOLUTION_1200",
       "IDS_ORIENTATION_PORTRAIT",
       "KDMEXTPRINTAREA_1",
       {94, 94, 94 + 10012, 94 + 13012, 94, 94}},
      // Portrait-only papers turned for landscape.
      {"IDS_PAPERSIZE_A6",
       "KDMRESOLUTION_600",
       "IDS_ORIENTATION_LANDSCAPE",
       "KDMEXTPRINTAREA_0",
       {142, 142, 142 + 3212, 142 + 2196, 142, 142}},
      {"IDS_PAPERSIZE_ENV10",
       "KDMRESOLUTION_1200",
       "IDS_ORIENTATION_LANDSCAPE",
       "KDMEXTPRINTAREA_0",
       {283, 283, 283 + 10834, 283 + 4385, 283, 283}},
      {"IDS_PAPERSIZE_USER", "KDMRESOLUTION_600", "IDS_ORIENTATION_PORTRAIT", "KDMEXTPRINTAREA_0", {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.paper << " " << c.resolution << " " << c.orientation << " " << c.printArea);
    Set(ITEM_kdmDstResolutionW, Value(c.resolution));
    Set(ITEM_dmOrientation, Value(c.orientation));
    Set(area, Value(c.printArea));
    RECT r = {};
    POINT o = {};
    if (c.expected.empty()) {
      EXPECT_EQ(DescGetPrintableArea(ctx_, &r, &o, Value(c.paper)), 0);
      continue;
    }
    ASSERT_EQ(DescGetPrintableArea(ctx_, &r, &o, Value(c.paper)), 1);
    EXPECT_EQ((std::vector<LONG>{r.left, r.top, r.right, r.bottom, o.x, o.y}), c.expected);
  }
}

TEST_F(SampleCapsTest, FontLists)
{
  DWORD count = 0;
  DESC_FONT_ENTRY *fonts = DescGetDeviceFonts(ctx_, &count);
  ASSERT_NE(fonts, nullptr);
  ASSERT_EQ(count, 8u);
  EXPECT_EQ(W(fonts[0].name), u"Courier");
  EXPECT_EQ(fonts[7].fontId, 8u);
  EXPECT_EQ(W(fonts[7].name), u"KV Dingbats");
  MemFree(fonts);
  DESC_FONT_ENTRY *cartridges = DescGetFontCartridges(ctx_, &count);
  ASSERT_NE(cartridges, nullptr);
  ASSERT_EQ(count, 4u);
  EXPECT_EQ(cartridges[3].fontId, 104u);
  EXPECT_EQ(W(cartridges[3].name), u"KV OCR-B");
  MemFree(cartridges);
  DESC_FONT_SUBST *subst = DescGetFontTable(ctx_, &count);
  ASSERT_NE(subst, nullptr);
  ASSERT_EQ(count, 6u);
  EXPECT_EQ(W(subst[2].name), u"Times New Roman");
  EXPECT_EQ(W(subst[2].substitute), u"KV Serif");
  MemFree(subst);
}

}  // namespace
