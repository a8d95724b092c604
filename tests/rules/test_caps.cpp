// Capability enumerations on descriptions built by hand: the resolution table, trays, papers,
// resolutions, extents and switches, with every output cut at each capacity from 0 up.
#include <algorithm>
#include <vector>

#include "caps_fixture.h"
#include "rules/rule_caps.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace {

// ---------------------------------------------------------------- resolution table

TEST(ResolutionTable, RowsEndWithAZeroRow)
{
  const RESOLUTION_ROW *t = CapGetResolutionTable();
  const RESOLUTION_ROW expected[] = {{6, 200, 200},   {1, 300, 300},  {2, 400, 400},  {3, 600, 600},   {4, 1200, 1200},
                                     {5, 2400, 2400}, {17, 600, 600}, {18, 600, 600}, {19, 600, 600},  {33, 150, 150},
                                     {34, 300, 300},  {35, 300, 300}, {36, 600, 600}, {37, 1200, 1200}};
  for (int i = 0; i < KV_RESOLUTION_ROWS; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t[i].code, expected[i].code);
    EXPECT_EQ(t[i].xDpi, expected[i].xDpi);
    EXPECT_EQ(t[i].yDpi, expected[i].yDpi);
  }
  EXPECT_EQ(t[KV_RESOLUTION_ROWS].code, 0);
  EXPECT_EQ(t[KV_RESOLUTION_ROWS].xDpi, 0);
}

TEST(ResolutionTable, Lookups)
{
  EXPECT_EQ(CapFindResolutionRow(0), nullptr);
  EXPECT_EQ(CapFindResolutionRow(7), nullptr);
  ASSERT_NE(CapFindResolutionRow(36), nullptr);
  EXPECT_EQ(CapFindResolutionRow(36)->xDpi, 600);

  struct Case {
    LONG x, y;
    WORD code;
  } fromDpi[] = {{600, 600, 3}, {300, 300, 1}, {150, 150, 33}, {2400, 2400, 5},
                 {600, 300, 0}, {600, 0, 0},   {0, 600, 0},    {500, 500, 0}};
  for (const Case &c : fromDpi) EXPECT_EQ(CapResolutionCodeFromDpi(c.x, c.y), c.code) << c.x << "x" << c.y;

  EXPECT_EQ(CapResolutionCodeFromXDpi(300), 1);  // the first row with 300 dpi, not 34
  EXPECT_EQ(CapResolutionCodeFromXDpi(1200), 4);
  EXPECT_EQ(CapResolutionCodeFromXDpi(0), 0);
  EXPECT_EQ(CapResolutionCodeFromXDpi(999), 0);

  struct Next {
    LONG dpi;
    WORD code, next;
  } next[] = {{600, 3, 17}, {600, 17, 18}, {600, 19, 36}, {600, 36, 0}, {300, 35, 0},
              {300, 1, 34}, {1200, 4, 37}, {600, 7, 0},   {0, 3, 0},    {600, 0, 0}};
  for (const Next &c : next)
    EXPECT_EQ(CapNextResolutionCodeWithDpi(c.dpi, c.code), c.next) << c.dpi << " after " << c.code;
}

// ---------------------------------------------------------------- trays

class BinCapsTest : public CapsTest {
 protected:
  void SetUp() override
  {
    CapsTest::SetUp();
    trays_ = b_.AddItem(ITEM_dmDefaultSource, KeyOf(ITEM_dmDefaultSource), DESC_TYPE_PICK_SLOT);
    for (const char *name :
         {"IDS_PAPERSOURCE_TRAY1", "IDS_PAPERSOURCE_TRAY2", "IDS_PAPERSOURCE_LCT", "IDS_PAPERSOURCE_MANUAL"})
      b_.AppendValue(trays_, Val(name), sizeof(DESC_SLOT_VALUE_NODE));
    // The large-capacity tray is hidden by its rule.
    DESC_RULE_BLOCK *block = b_.AddRuleBlock(KeyOf(ITEM_dmDefaultSource), trays_);
    b_.AddValueRule(block, Val("IDS_PAPERSOURCE_LCT"), Always(1), nullptr);
  }
  std::vector<WCHAR> Names(LONG cch, LONG capacity, LONG *count)
  {
    std::vector<WCHAR> names(static_cast<size_t>(cch * (capacity + 1)), u'#');
    *count = CapEnumBinNames(ctx_, names.data(), cch, capacity);
    return names;
  }
  BYTE *trays_ = nullptr;
};

TEST_F(BinCapsTest, HiddenTrayLeftOutUnlessTheModulesShowAll)
{
  WORD bins[8] = {};
  ASSERT_EQ(CapEnumBins(ctx_, bins, 8), 3);
  EXPECT_EQ(std::vector<WORD>(bins, bins + 3), (std::vector<WORD>{1, 3, 4}));
  LONG count = 0;
  std::vector<WCHAR> names = Names(24, 8, &count);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(W(&names[0]), u"Tray 1");
  EXPECT_EQ(W(&names[24]), u"Tray 2");
  EXPECT_EQ(W(&names[48]), u"Manual feed");

  ShowAll(1, 0);
  ASSERT_EQ(CapEnumBins(ctx_, bins, 8), 4);
  EXPECT_EQ(std::vector<WORD>(bins, bins + 4), (std::vector<WORD>{1, 3, 11, 4}));
  names = Names(24, 8, &count);
  ASSERT_EQ(count, 4);  // DC_BINS and DC_BINNAMES agree
  EXPECT_EQ(W(&names[48]), u"Large capacity tray");
}

TEST_F(BinCapsTest, EveryCapacityCutsTheTraysAndCountsThemAll)
{
  ShowAll(1, 0);
  EXPECT_EQ(CapEnumBins(ctx_, nullptr, 0), 4);
  EXPECT_EQ(CapEnumBins(ctx_, nullptr, 100), 4);  // no buffer: only the count
  LONG nullCount = CapEnumBinNames(ctx_, nullptr, 24, 100);
  EXPECT_EQ(nullCount, 4);
  for (LONG cap = 0; cap <= 5; ++cap) {
    SCOPED_TRACE(cap);
    std::vector<WORD> bins(8, 0xBEEF);
    EXPECT_EQ(CapEnumBins(ctx_, bins.data(), cap), 4);
    LONG written = std::min<LONG>(cap, 4);
    for (LONG i = written; i < 8; ++i) EXPECT_EQ(bins[i], 0xBEEF) << i;
    if (written > 0) {
      EXPECT_EQ(bins[0], 1);
    }

    LONG count = 0;
    std::vector<WCHAR> names = Names(24, cap, &count);
    EXPECT_EQ(count, 4);
    for (size_t i = static_cast<size_t>(written) * 24; i < names.size(); ++i) ASSERT_EQ(names[i], u'#') << i;
    for (LONG n = 0; n < written; ++n) EXPECT_EQ(names[static_cast<size_t>(n) * 24 + 23], 0);  // zero-filled
  }
  // A slot narrower than the name keeps its start and its terminator.
  LONG count = 0;
  std::vector<WCHAR> narrow = Names(4, 1, &count);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(W(narrow.data()), u"Tra");
  EXPECT_EQ(narrow[4], u'#');
}

TEST_F(BinCapsTest, Failures)
{
  WORD bins[8] = {};
  WCHAR names[24 * 8];
  EXPECT_EQ(CapEnumBinNames(ctx_, names, 0, 8), -1);  // no room for a name
  EXPECT_EQ(CapEnumBins(nullptr, bins, 8), -1);

  // A value without its value symbol: the numbers fail, the names do not need it.
  b_.AppendValue(trays_, 9999, sizeof(DESC_SLOT_VALUE_NODE));
  EXPECT_EQ(CapEnumBins(ctx_, bins, 8), -1);
  EXPECT_EQ(bins[0], 1);  // what was written before the failure stays
  EXPECT_EQ(CapEnumBinNames(ctx_, names, 24, 8), 4);
}

TEST_F(BinCapsTest, TrayItemMustBeAPickSlotWithShownValues)
{
  WORD bins[8];
  DescSt16(trays_, offsetof(DESC_ITEM_NODE, type), DESC_TYPE_PICK_ONE);
  EXPECT_EQ(CapEnumBins(ctx_, bins, 8), -1);
  DescSt16(trays_, offsetof(DESC_ITEM_NODE, type), DESC_TYPE_PICK_SLOT | DESC_TYPE_UNKNOWN);  // flags are masked
  EXPECT_EQ(CapEnumBins(ctx_, bins, 8), 3);
  DESC_RULE_BLOCK *block =
      reinterpret_cast<DESC_RULE_BLOCK *>(const_cast<BYTE *>(DescLdPtr(trays_, offsetof(DESC_ITEM_NODE, rules))));
  for (const char *name : {"IDS_PAPERSOURCE_TRAY1", "IDS_PAPERSOURCE_TRAY2", "IDS_PAPERSOURCE_MANUAL"})
    b_.AddValueRule(block, Val(name), Always(1), nullptr);
  EXPECT_EQ(CapEnumBins(ctx_, bins, 8), -1);  // every tray hidden
  DescStPtr(trays_, offsetof(DESC_ITEM_NODE, values), nullptr);
  ShowAll(1, 0);
  EXPECT_EQ(CapEnumBins(ctx_, bins, 8), -1);  // no values
}

// ---------------------------------------------------------------- papers

class PaperCapsTest : public CapsTest {
 protected:
  void SetUp() override
  {
    CapsTest::SetUp();
    paper_ = b_.AddItem(ITEM_dmPaperSize, KeyOf(ITEM_dmPaperSize), DESC_TYPE_PICK_PAGE);
    b_.AddPageValue(paper_, Val("IDS_PAPERSIZE_A4"), 2100, 2970);
    b_.AddPageValue(paper_, Val("IDS_PAPERSIZE_A3"), 2970, 4200);
    b_.AddPageValue(paper_, Val("IDS_PAPERSIZE_LETTER"), 2159, 2794);
    b_.AddPageValue(paper_, Val("IDS_FREESIZE2"), 0, 0);  // user size 2: code 385, slot 1
    DESC_RULE_BLOCK *block = b_.AddRuleBlock(KeyOf(ITEM_dmPaperSize), paper_);
    b_.AddValueRule(block, Val("IDS_PAPERSIZE_A3"), Always(1), nullptr);
    // The stored user sizes count as loaded; slot 1 holds one.
    FREE_SIZE_SLOT &slot = ctx_->state->freeSizeSlots[1];
    memcpy(slot.displayName, "My card", 8);
    slot.width = 4961;   // 1050.08 tenths of a millimetre: 1051 rounded up
    slot.length = 7016;  // 1485.05: 1486
    CtxRaiseUiFlags(ctx_, KV_UI_FLAG_FREE_SIZES_LOADED);
  }
  BYTE *paper_ = nullptr;
};

TEST_F(PaperCapsTest, CodesNamesAndSizesOfTheShownPapers)
{
  WORD codes[8] = {};
  ASSERT_EQ(CapEnumPapers(ctx_, codes, 8, ITEM_dmPaperSize), 3);
  EXPECT_EQ(std::vector<WORD>(codes, codes + 3), (std::vector<WORD>{9, 1, 385}));  // A3 hidden
  ShowAll(1, 1);  // no show-all question for papers: A3 stays hidden
  EXPECT_EQ(CapEnumPapers(ctx_, nullptr, 0, ITEM_dmPaperSize), 3);

  WCHAR names[64 * 4];
  ASSERT_EQ(CapEnumPaperNames(ctx_, names, 64, 4, ITEM_dmPaperSize), 3);
  EXPECT_EQ(W(&names[0]), u"A4");
  EXPECT_EQ(W(&names[64]), u"Letter");
  EXPECT_EQ(W(&names[128]), u"My card");

  POINT sizes[4] = {};
  ASSERT_EQ(CapEnumPaperSizes(ctx_, sizes, 4, ITEM_dmPaperSize), 3);
  EXPECT_EQ(sizes[0].x, 2100);
  EXPECT_EQ(sizes[0].y, 2970);
  EXPECT_EQ(sizes[1].x, 2159);
  EXPECT_EQ(sizes[1].y, 2794);
  EXPECT_EQ(sizes[2].x, 1051);
  EXPECT_EQ(sizes[2].y, 1486);
}

TEST_F(PaperCapsTest, EveryCapacityCutsThePapers)
{
  for (LONG cap = 0; cap <= 4; ++cap) {
    SCOPED_TRACE(cap);
    LONG written = std::min<LONG>(cap, 3);
    std::vector<WORD> codes(6, 0xBEEF);
    EXPECT_EQ(CapEnumPapers(ctx_, codes.data(), cap, ITEM_dmPaperSize), 3);
    for (LONG i = written; i < 6; ++i) EXPECT_EQ(codes[i], 0xBEEF);

    std::vector<WCHAR> names(64 * 6, u'#');
    EXPECT_EQ(CapEnumPaperNames(ctx_, names.data(), 64, cap, ITEM_dmPaperSize), 3);
    for (size_t i = static_cast<size_t>(written) * 64; i < names.size(); ++i) ASSERT_EQ(names[i], u'#') << i;

    std::vector<POINT> sizes(6, POINT{-7, -7});
    EXPECT_EQ(CapEnumPaperSizes(ctx_, sizes.data(), cap, ITEM_dmPaperSize), 3);
    for (LONG i = written; i < 6; ++i) EXPECT_EQ(sizes[i].x, -7);
  }
  EXPECT_EQ(CapEnumPaperNames(ctx_, nullptr, 64, 9, ITEM_dmPaperSize), 3);
  EXPECT_EQ(CapEnumPaperSizes(ctx_, nullptr, 9, ITEM_dmPaperSize), 3);
  POINT one[1];
  EXPECT_EQ(CapEnumPaperSizes(ctx_, one, -5, ITEM_dmPaperSize), 3);  // a negative capacity writes nothing
}

TEST_F(PaperCapsTest, PaperItemMustBePickPage)
{
  WORD codes[8];
  DescSt16(paper_, offsetof(DESC_ITEM_NODE, type), DESC_TYPE_PICK_ONE);
  EXPECT_EQ(CapEnumPapers(ctx_, codes, 8, ITEM_dmPaperSize), -1);
  EXPECT_EQ(CapEnumPaperSizes(ctx_, nullptr, 0, ITEM_dmPaperSize), -1);
  WCHAR names[64];
  EXPECT_EQ(CapEnumPaperNames(ctx_, names, 0, 1, ITEM_dmPaperSize), -1);  // no room for a name
}

TEST_F(PaperCapsTest, ValueWithoutSymbolFailsTheCodesOnly)
{
  b_.AddPageValue(paper_, 2999, 1000, 2000);  // no value symbol of item 8
  WORD codes[8] = {};
  EXPECT_EQ(CapEnumPapers(ctx_, codes, 8, ITEM_dmPaperSize), -1);
  EXPECT_EQ(codes[2], 385);  // the entries before the failure stay
  POINT sizes[8] = {};
  ASSERT_EQ(CapEnumPaperSizes(ctx_, sizes, 8, ITEM_dmPaperSize), 4);
  EXPECT_EQ(sizes[3].x, 1000);
  EXPECT_EQ(sizes[3].y, 2000);
}

TEST_F(PaperCapsTest, AnotherItemListsEveryValueOfItsPickOne)
{
  BYTE *output = b_.AddItem(ITEM_kdmOutPaperSize, KeyOf(ITEM_kdmOutPaperSize), DESC_TYPE_PICK_ONE);
  b_.AddValues(output, {Val("IDS_PRINTSIZE_SAME"), Val("IDS_PAPERSIZE_A3"), Val("IDS_PRINTSIZE_FREE")});
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(KeyOf(ITEM_kdmOutPaperSize), output);
  b_.AddValueRule(block, Val("IDS_PAPERSIZE_A3"), Always(1), nullptr);  // hidden, still listed
  WORD codes[4] = {};
  ASSERT_EQ(CapEnumPapers(ctx_, codes, 4, ITEM_kdmOutPaperSize), 3);
  EXPECT_EQ(codes[0], 1024);
  EXPECT_EQ(codes[1], 8);
  EXPECT_EQ(codes[2], 448);
  // Sizes of such values: those of the paper item's value with the same ID, else none.
  POINT sizes[4] = {};
  ASSERT_EQ(CapEnumPaperSizes(ctx_, sizes, 4, ITEM_kdmOutPaperSize), 3);
  EXPECT_EQ(sizes[0].x, 0);
  EXPECT_EQ(sizes[1].x, 2970);
  EXPECT_EQ(sizes[1].y, 4200);
  EXPECT_EQ(sizes[2].y, 0);
  // A PickPage item other than the paper item does not qualify.
  EXPECT_EQ(CapEnumPapers(ctx_, codes, 4, ITEM_dmDefaultSource), -1);
}

// ---------------------------------------------------------------- resolutions

class ResolutionCapsTest : public CapsTest {
 protected:
  // Runs both modes at a capacity of 8 and answers {count, entries} of each.
  std::vector<LONG> Pairs(LONG *count)
  {
    std::vector<LONG> out(16, -1);
    *count = CapEnumResolutions(ctx_, out.data(), 8);
    out.resize(static_cast<size_t>(std::max<LONG>(0, std::min<LONG>(*count, 8)) * 2));
    return out;
  }
  std::vector<LONG> Codes(LONG *count)
  {
    std::vector<LONG> out(8, -1);
    *count = CapListResolutions(ctx_, out.data(), 8, 1);
    out.resize(static_cast<size_t>(std::max<LONG>(0, std::min<LONG>(*count, 8))));
    return out;
  }
  // Item 38 as a Numeric item with that device resolution, item 152 with those codes.
  void NumericWithCodes(std::initializer_list<WORD> codes)
  {
    BYTE *w = b_.AddItem(ITEM_kdmDstResolutionW, KeyOf(ITEM_kdmDstResolutionW), DESC_TYPE_NUMERIC);
    b_.SetNumeric(w, 600, 150, 2400);
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 600);
    both_ = b_.AddItem(ITEM_kdmDstResolutionBoth, KeyOf(ITEM_kdmDstResolutionBoth), DESC_TYPE_PICK_ONE);
    b_.AddValues(both_, codes);
  }
  BYTE *both_ = nullptr;
};

TEST_F(ResolutionCapsTest, PickOneGivesTheDpiOfEachShownValue)
{
  BYTE *w = b_.AddItem(ITEM_kdmDstResolutionW, KeyOf(ITEM_kdmDstResolutionW), DESC_TYPE_PICK_ONE);
  b_.AddValues(w, {Val("KDMRESOLUTION_300"), Val("KDMRESOLUTION_600"), Val("KDMRESOLUTION_1200")});
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(KeyOf(ITEM_kdmDstResolutionW), w);
  b_.AddValueRule(block, Val("KDMRESOLUTION_1200"), Always(1), nullptr);
  LONG n = 0;
  EXPECT_EQ(Pairs(&n), (std::vector<LONG>{300, 300, 600, 600}));
  EXPECT_EQ(Codes(&n), (std::vector<LONG>{1, 3}));
  ShowAll(0, 1);
  EXPECT_EQ(Pairs(&n), (std::vector<LONG>{300, 300, 600, 600, 1200, 1200}));
  EXPECT_EQ(Codes(&n), (std::vector<LONG>{1, 3, 4}));
}

TEST_F(ResolutionCapsTest, CodesOfItem152DropConsecutiveEqualPairs)
{
  // 17 and 36 are both 600 x 600 and follow each other: one pair, two codes.
  NumericWithCodes({33, 17, 36, 35, 37});
  LONG n = 0;
  EXPECT_EQ(Pairs(&n), (std::vector<LONG>{150, 150, 600, 600, 300, 300, 1200, 1200}));
  EXPECT_EQ(n, 4);
  EXPECT_EQ(Codes(&n), (std::vector<LONG>{33, 17, 36, 35, 37}));
  EXPECT_EQ(CapListResolutions(ctx_, nullptr, 0, 0), 4);
  EXPECT_EQ(CapListResolutions(ctx_, nullptr, 0, 1), 5);
}

TEST_F(ResolutionCapsTest, HiddenCodeIsSkippedButStillBreaksNothing)
{
  NumericWithCodes({17, 34, 36});
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(KeyOf(ITEM_kdmDstResolutionBoth), both_);
  b_.AddValueRule(block, 34, Always(1), nullptr);
  LONG n = 0;
  // With 34 hidden, 17 and 36 meet as neighbours: one pair.
  EXPECT_EQ(Pairs(&n), (std::vector<LONG>{600, 600}));
  EXPECT_EQ(Codes(&n), (std::vector<LONG>{17, 36}));
}

TEST_F(ResolutionCapsTest, EveryFailureGivesTheDefaultResolutionOnce)
{
  LONG n = 0;
  // No resolution item in the description.
  EXPECT_EQ(Pairs(&n), (std::vector<LONG>{600, 600}));
  EXPECT_EQ(n, 1);
  EXPECT_EQ(Codes(&n), (std::vector<LONG>{3}));
  EXPECT_EQ(n, 1);
  // A code without its value symbol (item 152 has none for 3), after good ones.
  NumericWithCodes({33, 37, 3});
  EXPECT_EQ(Pairs(&n), (std::vector<LONG>{600, 600}));
  EXPECT_EQ(Codes(&n), (std::vector<LONG>{3}));
  // Capacity 0 and 1: the fallback is counted and written only where it fits.
  LONG one[2] = {-1, -1};
  EXPECT_EQ(CapListResolutions(ctx_, one, 0, 0), 1);
  EXPECT_EQ(one[0], -1);
  EXPECT_EQ(CapListResolutions(ctx_, one, 1, 1), 1);
  EXPECT_EQ(one[0], 3);
  EXPECT_EQ(one[1], -1);  // a code buffer never receives a pair
}

TEST_F(ResolutionCapsTest, NumericItemsGiveTheDeviceResolution)
{
  BYTE *w = b_.AddItem(ITEM_kdmDstResolutionW, KeyOf(ITEM_kdmDstResolutionW), DESC_TYPE_NUMERIC);
  b_.SetNumeric(w, 600, 150, 2400);
  BYTE *both = b_.AddItem(ITEM_kdmDstResolutionBoth, KeyOf(ITEM_kdmDstResolutionBoth), DESC_TYPE_NUMERIC);
  b_.SetNumeric(both, 1, 1, 40);
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 1200);
  LONG n = 0;
  EXPECT_EQ(Pairs(&n), (std::vector<LONG>{1200, 1200}));
  EXPECT_EQ(Codes(&n), (std::vector<LONG>{4}));
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 0);  // a Numeric item without a device resolution
  EXPECT_EQ(Pairs(&n), (std::vector<LONG>{600, 600}));
}

TEST_F(ResolutionCapsTest, EveryCapacityCutsThePairs)
{
  NumericWithCodes({33, 17, 35, 37});
  for (LONG cap = 0; cap <= 5; ++cap) {
    SCOPED_TRACE(cap);
    std::vector<LONG> out(12, -1);
    EXPECT_EQ(CapEnumResolutions(ctx_, out.data(), cap), 4);
    LONG written = std::min<LONG>(cap, 4);
    for (size_t i = static_cast<size_t>(written) * 2; i < out.size(); ++i) EXPECT_EQ(out[i], -1) << i;
    std::vector<LONG> codes(6, -1);
    EXPECT_EQ(CapListResolutions(ctx_, codes.data(), cap, 1), 4);
    for (size_t i = static_cast<size_t>(written); i < codes.size(); ++i) EXPECT_EQ(codes[i], -1) << i;
  }
}

// ---------------------------------------------------------------- extents and switches

TEST_F(CapsTest, ExtentsFromTheModelInsideTheCustomSizeRange)
{
  POINTS e = {};
  DWORD min = CapGetMinExtent(ctx_, &e, 4);
  EXPECT_EQ(e.x, 900);   // 4250 dots
  EXPECT_EQ(e.y, 1480);  // 6992 dots
  EXPECT_EQ(min, 900u | (1480u << 16));
  // 10204 and 61200 dots: 2160 and 12954 tenths rounded up, inside the custom-size range.
  DWORD max = CapGetMaxExtent(ctx_, &e, 5);
  EXPECT_EQ(e.x, 2160);
  EXPECT_EQ(e.y, 12954);
  EXPECT_EQ(max, 2160u | (12954u << 16));
  EXPECT_EQ(CapGetMaxExtent(ctx_, nullptr, 4), min);  // the code chooses, not the name
  EXPECT_EQ(CapGetMinExtent(ctx_, nullptr, 0), max);
  // While lengths are shown in inches the range is in 0.01 inch (850 x 5100 at most): it is
  // not applied to lengths in 0.1 mm.
  ItemSetRaw(ctx_, ITEM_kdmDspUnit, 1);
  LONG lo = 0, hi = 0;
  ASSERT_EQ(ItemGetFreeSizeLimits(ctx_, ITEM_wdmFreeSizeWidth, &lo, &hi), 1);
  EXPECT_EQ(hi, 850);
  EXPECT_EQ(CapGetMaxExtent(ctx_, nullptr, 5), 2160u | (12954u << 16));
  EXPECT_EQ(CapGetMinExtent(ctx_, nullptr, 4), min);
  EXPECT_EQ(CapGetMinExtent(nullptr, &e, 4), 0u);
}

TEST_F(CapsTest, OrientationDuplexAndColour)
{
  EXPECT_EQ(CapGetOrientationDegrees(ctx_), 90u);
  EXPECT_EQ(CapGetOrientationDegrees(nullptr), 0u);
  ItemSetRaw(ctx_, ITEM_kdmSourceOptionTypeDuplex, 0);
  EXPECT_EQ(CapHasDuplexUnit(ctx_), 0);
  ItemSetRaw(ctx_, ITEM_kdmSourceOptionTypeDuplex, 1);
  EXPECT_EQ(CapHasDuplexUnit(ctx_), 1);

  for (LONG colour : {1, 0}) {
    ItemSetRaw(ctx_, ITEM_kdmMachineTypeColor, colour);
    std::vector<BYTE> dm(ctx_->work, ctx_->work + KV_DEVMODE_SIZE);
    auto *devmode = reinterpret_cast<DEVMODEW *>(dm.data());
    devmode->dmSize = sizeof(DEVMODEW);
    devmode->dmDriverExtra = KV_DEVMODE_SIZE - sizeof(DEVMODEW);
    EXPECT_EQ(CapIsColorDevice(devmode), colour);
    // A DEVMODE whose private part ends before that byte is not read there.
    devmode->dmDriverExtra = 100;
    EXPECT_EQ(CapIsColorDevice(devmode), 0);
  }
  EXPECT_EQ(CapIsColorDevice(nullptr), 0);
}

}  // namespace
