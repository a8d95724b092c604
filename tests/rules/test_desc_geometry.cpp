// Paper geometry and font lists on descriptions built by hand: printable areas per
// resolution, orientation and condition, paper sizes of the current, named and output
// paper, custom sizes, and the device font, cartridge and substitution lists.
#include <string>

#include "caps_fixture.h"
#include "blob/desc_geometry.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"
#include "win32/devmode.h"

namespace {

class GeometryTest : public CapsTest {
 protected:
  void SetUp() override
  {
    CapsTest::SetUp();
    const SYMBOL_ENTRY *area = ItemFindSymbolByName("KPD_IDC_INIT_CHOICE_PRINTAREA");
    ASSERT_NE(area, nullptr);
    areaItem_ = area->itemId;
    areaKey_ = area->key;
    extended_ = Val("KDMEXTPRINTAREA_1");
    standard_ = Val("KDMEXTPRINTAREA_0");
    r600_ = Val("KDMRESOLUTION_600");
    r1200_ = Val("KDMRESOLUTION_1200");
    portrait_ = Val("IDS_ORIENTATION_PORTRAIT");
    landscape_ = Val("IDS_ORIENTATION_LANDSCAPE");

    paper_ = b_.AddItem(ITEM_dmPaperSize, KeyOf(ITEM_dmPaperSize), DESC_TYPE_PICK_PAGE);
    a4_ = b_.AddPageValue(paper_, Val("IDS_PAPERSIZE_A4"), 2100, 2970);
    // The extended area first, under its condition; then the standard areas.
    b_.AddGeometry(a4_, r600_, portrait_, areaKey_, extended_, {47, 47, 4867, 6922, 47, 47});
    b_.AddGeometry(a4_, r600_, portrait_, 0, 0, {94, 99, 4773, 6818, 94, 99});
    b_.AddGeometry(a4_, r600_, landscape_, 0, 0, {99, 94, 6818, 4773, 99, 94});
    a6_ = b_.AddPageValue(paper_, Val("IDS_PAPERSIZE_A6"), 1050, 1480);
    b_.AddGeometry(a6_, r600_, portrait_, 0, 0, {142, 140, 2196, 3212, 142, 140});  // portrait only
    b_.AddPageValue(paper_, Val("IDS_PAPERSIZE_A3"), 2970, 4200);
    Set(ITEM_kdmDstResolutionW, r600_);
    Set(ITEM_dmOrientation, portrait_);
    Set(areaItem_, standard_);
  }
  // DescGetPrintableArea as {left, top, right, bottom, a, b}; empty when it answers 0 (and
  // then the outputs must be untouched).
  std::vector<LONG> AreaOf(WORD paperValueId)
  {
    RECT r = {-1, -1, -1, -1};
    POINT o = {-1, -1};
    if (!DescGetPrintableArea(ctx_, &r, &o, paperValueId)) {
      EXPECT_TRUE(r.left == -1 && r.bottom == -1 && o.x == -1 && o.y == -1);
      return {};
    }
    return {r.left, r.top, r.right, r.bottom, o.x, o.y};
  }
  std::vector<LONG> Size(int(WINAPI *fn)(DRIVER_CONTEXT *, SIZE *))
  {
    SIZE s = {-1, -1};
    if (!fn(ctx_, &s)) return {};
    return {s.cx, s.cy};
  }
  DEVMODEW *Devmode() { return reinterpret_cast<DEVMODEW *>(ctx_->work); }

  WORD areaItem_ = 0, areaKey_ = 0, extended_ = 0, standard_ = 0;
  WORD r600_ = 0, r1200_ = 0, portrait_ = 0, landscape_ = 0;
  BYTE *paper_ = nullptr, *a4_ = nullptr, *a6_ = nullptr;
};

using Nums = std::vector<LONG>;

TEST_F(GeometryTest, PrintableAreaByResolutionOrientationAndCondition)
{
  const WORD a4 = Val("IDS_PAPERSIZE_A4"), a6 = Val("IDS_PAPERSIZE_A6"), a3 = Val("IDS_PAPERSIZE_A3");
  struct Case {
    WORD resolution, orientation, area, paper;
    Nums expected;
  } cases[] = {
      {r600_, portrait_, standard_, a4, {94, 99, 94 + 4773, 99 + 6818, 94, 99}},
      {r600_, landscape_, standard_, a4, {99, 94, 99 + 6818, 94 + 4773, 99, 94}},
      // The extended entry comes first but holds only while its condition does.
      {r600_, portrait_, extended_, a4, {47, 47, 47 + 4867, 47 + 6922, 47, 47}},
      {r600_, landscape_, extended_, a4, {99, 94, 99 + 6818, 94 + 4773, 99, 94}},
      // A portrait-only paper in landscape: the portrait area turned, offsets exchanged.
      {r600_, landscape_, standard_, a6, {140, 142, 140 + 3212, 142 + 2196, 140, 142}},
      {r600_, portrait_, standard_, a6, {142, 140, 142 + 2196, 140 + 3212, 142, 140}},
      {r1200_, portrait_, standard_, a4, {}},   // no entry at that resolution
      {r600_, portrait_, standard_, a3, {}},    // no entry at all
      {r600_, portrait_, standard_, 9999, {}},  // no such paper
      {r600_, portrait_, standard_, 0, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.resolution << " " << c.orientation << " " << c.area << " " << c.paper);
    Set(ITEM_kdmDstResolutionW, c.resolution);
    Set(ITEM_dmOrientation, c.orientation);
    Set(areaItem_, c.area);
    EXPECT_EQ(AreaOf(c.paper), c.expected);
  }
  Set(ITEM_kdmDstResolutionW, r1200_);
  EXPECT_EQ(DescGetPrintableArea(ctx_, nullptr, nullptr, a4), 0);
  Set(ITEM_kdmDstResolutionW, r600_);
  EXPECT_EQ(DescGetPrintableArea(ctx_, nullptr, nullptr, a4), 1);  // outputs are optional
}

TEST_F(GeometryTest, PrintableAreaNeedsAPickPagePaperItem)
{
  const WORD a4 = Val("IDS_PAPERSIZE_A4");
  // Numbers at the ends of the range do not overflow the rectangle.
  b_.AddGeometry(a6_, r1200_, portrait_, 0, 0, {0x7FFFFFF0, -5, 100, -0x7FFFFFFF, 1, 2});
  Set(ITEM_kdmDstResolutionW, r1200_);
  EXPECT_EQ(AreaOf(Val("IDS_PAPERSIZE_A6")), (Nums{0x7FFFFFF0, -5, 0x7FFFFFFF, (LONG)(-0x7FFFFFFFll - 1), 1, 2}));
  Set(ITEM_kdmDstResolutionW, r600_);
  DescSt16(paper_, offsetof(DESC_ITEM_NODE, type), DESC_TYPE_PICK_ONE);  // values without sizes
  EXPECT_EQ(AreaOf(a4), Nums{});
  SIZE s = {-1, -1};
  EXPECT_EQ(DescGetPaperSizeByItem(ctx_, &s, 0), 0);
  EXPECT_EQ(s.cx, -1);
  ctx_->desc = nullptr;
  EXPECT_EQ(AreaOf(a4), Nums{});
  EXPECT_EQ(DescGetPaperSize(ctx_, &s), 0);
}

TEST_F(GeometryTest, PaperSizesOfTheCurrentNamedAndOutputPaper)
{
  ItemSetRaw(ctx_, ITEM_dmPaperSize, 9);
  EXPECT_EQ(Size(DescGetPaperSize), (Nums{2100, 2970}));
  SIZE s = {};
  ASSERT_EQ(DescGetPaperSizeByItem(ctx_, &s, 0), 1);
  EXPECT_EQ(s.cx, 2100);
  Set(ITEM_dmOrientation, landscape_);
  EXPECT_EQ(Size(DescGetPaperSize), (Nums{2970, 2100}));  // landscape: length, width
  Set(ITEM_dmOrientation, portrait_);

  // Item 46 names a paper by its own value: the paper item's value of that ID.
  ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, 8);
  ASSERT_EQ(DescGetPaperSizeByItem(ctx_, &s, ITEM_kdmOutPaperSize), 1);
  EXPECT_EQ(s.cy, 4200);

  // The output paper A4 on an A3 document: A4's size, and the paper item untouched.
  ItemSetRaw(ctx_, ITEM_dmPaperSize, 8);
  ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, 9);
  OPTION_ITEM *paperRow = ItemFindById(ctx_, ITEM_dmPaperSize);
  paperRow->state = 0;
  ctx_->state->settingsChanged = 0;
  EXPECT_EQ(Size(DescGetOutputPaperSize), (Nums{2100, 2970}));
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_dmPaperSize, nullptr), 8);
  EXPECT_EQ(paperRow->state, 0);
  EXPECT_EQ(ctx_->state->settingsChanged, 0u);

  ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, 1024);  // the document's own paper
  EXPECT_EQ(Size(DescGetOutputPaperSize), (Nums{2970, 4200}));
  // The regional default paper: A4 here (no Letter in this description).
  for (LONG code : {1025, 1026}) {
    ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, code);
    EXPECT_EQ(Size(DescGetOutputPaperSize), ItemDefaultPaperIsLetter(ctx_) ? Nums{} : (Nums{2100, 2970})) << code;
  }
  ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, 5);  // a paper the description lacks
  EXPECT_EQ(Size(DescGetOutputPaperSize), Nums{});
}

TEST_F(GeometryTest, CustomSizesOfTheDevmodeAndTheOutputSlot)
{
  // Paper 256: the DEVMODE's own width and length, exchanged in landscape.
  ItemSetRaw(ctx_, ITEM_dmPaperSize, 256);
  Devmode()->dmFields |= DM_PAPERSIZE;
  Devmode()->dmPaperWidth = 1234;
  Devmode()->dmPaperLength = 2345;
  EXPECT_EQ(Size(DescGetPaperSize), (Nums{1234, 2345}));
  Set(ITEM_dmOrientation, landscape_);
  EXPECT_EQ(Size(DescGetPaperSize), (Nums{2345, 1234}));
  SIZE s = {};
  EXPECT_EQ(DescGetCustomPaperSize(ctx_, nullptr, 256, 1), 1);  // the size is optional
  // Without DM_PAPERSIZE the DEVMODE's dimensions answer for any code.
  Devmode()->dmFields &= ~DM_PAPERSIZE;
  ASSERT_EQ(DescGetCustomPaperSize(ctx_, &s, 385, 1), 1);
  EXPECT_EQ(s.cx, 2345);

  // Output paper 448: its slot, filled from the custom output items, in 0.1 mm rounded up,
  // never exchanged.
  ItemSetRaw(ctx_, ITEM_kdmPrintFreeSizeWidth, 4961);
  ItemSetRaw(ctx_, ITEM_kdmPrintFreeSizeLength, 7016);
  ItemSetRaw(ctx_, ITEM_kdmPrintFreeSizeTray, 4);
  ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, 448);
  EXPECT_EQ(Size(DescGetOutputPaperSize), (Nums{1051, 1486}));
  const FREE_SIZE_SLOT &slot = ctx_->state->freeSizeSlots[11];
  EXPECT_EQ(slot.width, 4961);
  EXPECT_EQ(slot.tray, 4);
  std::u16string name(reinterpret_cast<const char16_t *>(slot.displayName), 32);
  EXPECT_EQ(name.substr(0, 18), u"Custom output size");
  EXPECT_EQ(DescGetCustomPaperSize(nullptr, &s, 448, 0), 0);
}

TEST(FreeSizeSlots, PaperIdsToSlots)
{
  struct Case {
    WORD paper;
    LONG slot;
  } cases[] = {{384, 0}, {388, 4}, {393, 9}, {256, 10}, {448, 11}, {999, 0}, {383, 0}, {0, 0}};
  for (const Case &c : cases) EXPECT_EQ(ListPaperIdToSlot(c.paper, nullptr), c.slot) << c.paper;
}

// ---------------------------------------------------------------- font lists

class FontListTest : public CapsTest {};

TEST_F(FontListTest, DeviceFontsAndCartridges)
{
  const char *longName = "A font name of forty characters, exactly";  // 40 characters
  ASSERT_EQ(strlen(longName), 40u);
  b_.SetFontList(false, {{1, "Courier"}, {2, longName}, {7, ""}});
  b_.SetFontList(true, {{101, "Barcode 39"}});
  DWORD count = 99;
  DESC_FONT_ENTRY *fonts = DescGetDeviceFonts(ctx_, &count);
  ASSERT_NE(fonts, nullptr);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(fonts[0].fontId, 1u);
  EXPECT_EQ(W(fonts[0].name), u"Courier");
  EXPECT_EQ(W(fonts[1].name), std::u16string(u"A font name of forty characters, exactly").substr(0, 31));
  EXPECT_EQ(fonts[1].name[31], 0);
  EXPECT_EQ(fonts[2].fontId, 7u);
  EXPECT_EQ(W(fonts[2].name), u"");
  MemFree(fonts);

  DESC_FONT_ENTRY *cartridges = DescGetFontCartridges(ctx_, &count);
  ASSERT_NE(cartridges, nullptr);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(cartridges[0].fontId, 101u);
  EXPECT_EQ(W(cartridges[0].name), u"Barcode 39");
  MemFree(cartridges);
  cartridges = DescGetFontCartridges(ctx_, nullptr);  // the count is optional
  EXPECT_NE(cartridges, nullptr);
  MemFree(cartridges);
}

TEST_F(FontListTest, NoListsAnswerNoneAndCountZero)
{
  DWORD count = 99;
  EXPECT_EQ(DescGetDeviceFonts(ctx_, &count), nullptr);
  EXPECT_EQ(count, 0u);
  count = 99;
  EXPECT_EQ(DescGetFontCartridges(ctx_, &count), nullptr);
  EXPECT_EQ(count, 0u);
  count = 99;
  EXPECT_EQ(DescGetFontTable(ctx_, &count), nullptr);
  EXPECT_EQ(count, 99u);  // no FontTbl item: the count is not written
  ctx_->desc = nullptr;
  EXPECT_EQ(DescGetDeviceFonts(ctx_, &count), nullptr);
  EXPECT_EQ(count, 0u);
}

TEST_F(FontListTest, SubstitutionsOfTheFirstValueWithPairs)
{
  // An item whose type word carries a flag is not the FontTbl item.
  BYTE *flagged = b_.AddItem(0, 0, DESC_TYPE_FONT_TABLE | DESC_TYPE_UNKNOWN);
  b_.AddFontPairs(flagged, 1, {{"Flagged", "No"}});
  BYTE *table = b_.AddItem(0, 0, DESC_TYPE_FONT_TABLE);
  b_.AddFontPairs(table, 1, {});
  b_.AddFontPairs(table, 2, {{"Arial", "KV Sans"}, {"Times New Roman, a long font name here", "KV Serif"}});
  b_.AddFontPairs(table, 3, {{"Later", "Ignored"}});
  DWORD count = 0;
  DESC_FONT_SUBST *subst = DescGetFontTable(ctx_, &count);
  ASSERT_NE(subst, nullptr);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(W(subst[0].name), u"Arial");
  EXPECT_EQ(W(subst[0].substitute), u"KV Sans");
  EXPECT_EQ(W(subst[1].name), u"Times New Roman, a long font na");  // 31 characters
  EXPECT_EQ(W(subst[1].substitute), u"KV Serif");
  MemFree(subst);
}

TEST_F(FontListTest, FirstFontTableWithoutPairsAnswersNone)
{
  BYTE *first = b_.AddItem(0, 0, DESC_TYPE_FONT_TABLE);
  b_.AddFontPairs(first, 1, {});
  BYTE *second = b_.AddItem(0, 0, DESC_TYPE_FONT_TABLE);
  b_.AddFontPairs(second, 1, {{"Arial", "KV Sans"}});
  DWORD count = 42;
  EXPECT_EQ(DescGetFontTable(ctx_, &count), nullptr);
  EXPECT_EQ(count, 42u);
}

}  // namespace
