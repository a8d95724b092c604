// Paper items: the source and output paper's size and printable area in dots at the device
// resolution, for standard papers of a description built by hand and for custom sizes.
#include <string.h>

#include <string>
#include <vector>

#include "blob/desc_geometry.h"
#include "caps_fixture.h"
#include "devmode/dm_paper_items.h"
#include "files/ini.h"
#include "files/settings_dirs.h"
#include "items/item_store.h"
#include "model/model.h"
#include "names/names_paths.h"
#include "os/os.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"
#include "win32/devmode.h"

namespace {

LONG g_handled = 0;
LONG WINAPI AnswerPaperItems(DRIVER_CONTEXT *ctx, WORD event, void *data, void *priv)
{
  (void)ctx, (void)priv;
  if (event != KV_EVT_SOURCE_PAPER_ITEMS) return 0;
  static_cast<KV_EVT_DEVMODE_ANSWER_DATA *>(data)->answer = g_handled;
  return 1;
}

class PaperItemsTest : public CapsTest {
 protected:
  void SetUp() override
  {
    CapsTest::SetUp();
    static const MODULE_HOOK_ROW row = {0, nullptr, nullptr, nullptr, AnswerPaperItems};
    CtxAttachModuleTable(ctx_, &row, 1);
    g_handled = 0;
    BYTE *paper = b_.AddItem(ITEM_dmPaperSize, KeyOf(ITEM_dmPaperSize), DESC_TYPE_PICK_PAGE);
    BYTE *a4 = b_.AddPageValue(paper, Val("IDS_PAPERSIZE_A4"), 2100, 2970);
    b_.AddGeometry(a4, Val("KDMRESOLUTION_600"), Val("IDS_ORIENTATION_PORTRAIT"), 0, 0, {94, 99, 4773, 6818, 94, 99});
    b_.AddGeometry(a4, Val("KDMRESOLUTION_300"), Val("IDS_ORIENTATION_PORTRAIT"), 0, 0, {47, 50, 2386, 3409, 47, 50});
    // A3: listed with an area at 300 dpi, hidden by a rule while the copies (item 12) are 7.
    BYTE *a3 = b_.AddPageValue(paper, Val("IDS_PAPERSIZE_A3"), 2970, 4200);
    b_.AddGeometry(a3, Val("KDMRESOLUTION_300"), Val("IDS_ORIENTATION_PORTRAIT"), 0, 0, {47, 50, 3413, 4861, 47, 50});
    DESC_RULE_BLOCK *block = b_.AddRuleBlock(KeyOf(ITEM_dmPaperSize), paper);
    b_.AddValueRule(block, Val("IDS_PAPERSIZE_A3"), b_.AddCode(Code{I(ITEM_dmCopies), L(7), O(RULE_OP_EQ), E()}),
                    nullptr);
    BYTE *letter = b_.AddPageValue(paper, Val("IDS_PAPERSIZE_LETTER"), 2159, 2794);
    b_.AddGeometry(letter, Val("KDMRESOLUTION_600"), Val("IDS_ORIENTATION_PORTRAIT"), 0, 0,
                   {100, 100, 4900, 6400, 100, 100});
    BYTE *custom = b_.AddPageValue(paper, Val("IDS_PAPERSIZE_USER"), 0, 0);
    b_.AddGeometry(custom, Val("KDMRESOLUTION_300"), Val("IDS_ORIENTATION_PORTRAIT"), 0, 0, {50, 60, 0, 0, 50, 60});
    BYTE *user1 = b_.AddPageValue(paper, Val("IDS_FREESIZE1"), 0, 0);
    b_.AddGeometry(user1, Val("KDMRESOLUTION_300"), Val("IDS_ORIENTATION_PORTRAIT"), 0, 0, {40, 45, 0, 0, 40, 45});
    BYTE *output = b_.AddPageValue(paper, Val("IDS_PRINTSIZE_FREE"), 0, 0);  // the custom output size
    b_.AddGeometry(output, Val("KDMRESOLUTION_300"), Val("IDS_ORIENTATION_PORTRAIT"), 0, 0, {30, 50, 0, 0, 30, 50});
    CtxRaiseUiFlags(ctx_, KV_UI_FLAG_FREE_SIZES_LOADED);
    FREE_SIZE_SLOT &slot = ctx_->state->freeSizeSlots[0];  // user size 1: 210 x 297 mm
    slot.width = 9920;
    slot.length = 14030;
    ItemSetRaw(ctx_, ITEM_dmOrientation, 1);
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 300);
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionH, 300);
    dm_.dmOrientation = DMORIENT_PORTRAIT;
  }
  std::vector<LONG> Items(WORD first)
  {
    std::vector<LONG> v;
    for (WORD i = 0; i < 6; ++i) v.push_back(ItemGetRaw(ctx_, (WORD)(first + i), nullptr));
    return v;
  }
  DEVMODEW dm_ = {};
};

const DWORD kAllPaperFields = DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH;

TEST_F(PaperItemsTest, StoredCustomSizeAtThreeHundredDpi)
{
  DmSetSourcePaperItems(384, ITEM_dmPaperSize, ctx_, &dm_);
  // 14030 and 9920 dots at 1200 dpi are 3507 and 2480 at 300; offsets 40 and 45.
  EXPECT_EQ(Items(ITEM_kdmSrcPaperLengthDot), (std::vector<LONG>{3507, 2480, 3507 - 90, 2480 - 80, 40, 45}));
  EXPECT_EQ(dm_.dmPaperLength, 2970);
  EXPECT_EQ(dm_.dmPaperWidth, 2100);
  EXPECT_EQ(dm_.dmFields & kAllPaperFields, kAllPaperFields);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmFuncSelectFreeShortOver, nullptr), 0);

  // Landscape: only the swapped variant exchanges the custom size.
  dm_.dmOrientation = DMORIENT_LANDSCAPE;
  DmSetSourcePaperItems(384, ITEM_dmPaperSize, ctx_, &dm_);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, nullptr), 3507);
  DmSetSourcePaperItemsSwapped(384, ITEM_dmPaperSize, ctx_, &dm_);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, nullptr), 2480);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperWidthDot, nullptr), 3507);
  EXPECT_EQ(dm_.dmPaperLength, 2100);
}

TEST_F(PaperItemsTest, ModuleThatTakesEvent45KeepsThePaperFields)
{
  g_handled = 1;
  dm_.dmPaperLength = 1111;
  dm_.dmPaperWidth = 2222;
  DmSetSourcePaperItems(384, ITEM_dmPaperSize, ctx_, &dm_);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, nullptr), 3507);
  EXPECT_EQ(dm_.dmPaperLength, 1111);
  EXPECT_EQ(dm_.dmPaperWidth, 2222);
}

TEST_F(PaperItemsTest, CustomSizesStayInsideTheModelLimitsAndOffsetsNeverUnderflow)
{
  FREE_SIZE_SLOT &slot = ctx_->state->freeSizeSlots[0];
  slot.width = 100;     // below the narrowest custom width, 4250 dots
  slot.length = 90000;  // beyond the longest, 61200
  DmSetSourcePaperItems(384, ITEM_dmPaperSize, ctx_, &dm_);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperWidthDot, nullptr), 4250 / 4);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, nullptr), 61200 / 4);
  // Output slots are not limited; a length shorter than twice its offset gives 0.
  ItemSetRaw(ctx_, ITEM_kdmPrintFreeSizeWidth, 40);
  ItemSetRaw(ctx_, ITEM_kdmPrintFreeSizeLength, 80);
  DmSetOutputPaperItems(448, ITEM_kdmOutPaperSize, ctx_, &dm_);
  std::vector<LONG> out = Items(ITEM_kdmDstPaperLengthDot);
  EXPECT_EQ(out[0], 20);
  EXPECT_EQ(out[1], 10);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(out[4], 30);
  EXPECT_EQ(out[5], 50);
}

TEST_F(PaperItemsTest, StandardPaperFromTheDescription)
{
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 600);
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionH, 600);
  dm_.dmFields = DM_PAPERLENGTH | DM_PAPERWIDTH;
  DmSetSourcePaperItems(9, ITEM_dmPaperSize, ctx_, &dm_);
  // 297 x 210 mm at 600 dpi: 7015 x 4960 dots; the printable area as the description gives it.
  EXPECT_EQ(Items(ITEM_kdmSrcPaperLengthDot), (std::vector<LONG>{7015, 4960, 6818, 4773, 94, 99}));
  EXPECT_EQ(dm_.dmPaperLength, 2970);
  EXPECT_EQ(dm_.dmFields & kAllPaperFields, (DWORD)DM_PAPERSIZE);
  // A paper without an area at the resolution changes nothing.
  std::vector<LONG> before = Items(ITEM_kdmSrcPaperLengthDot);
  DmSetSourcePaperItems(8, ITEM_dmPaperSize, ctx_, &dm_);
  EXPECT_EQ(Items(ITEM_kdmSrcPaperLengthDot), before);

  // Output: A4 by item 46's own value, at the same resolution.
  DmSetOutputPaperItems(9, ITEM_kdmOutPaperSize, ctx_, &dm_);
  EXPECT_EQ(Items(ITEM_kdmDstPaperLengthDot), (std::vector<LONG>{7015, 4960, 6818, 4773, 94, 99}));
}

TEST_F(PaperItemsTest, OutputOfTheDocumentsCustomPaperCopiesTheSourceItems)
{
  DmSetSourcePaperItems(384, ITEM_dmPaperSize, ctx_, &dm_);
  ItemSetRaw(ctx_, ITEM_dmPaperSize, 384);
  DmSetOutputPaperItems(1024, ITEM_kdmOutPaperSize, ctx_, &dm_);
  EXPECT_EQ(Items(ITEM_kdmDstPaperLengthDot), Items(ITEM_kdmSrcPaperLengthDot));
}

TEST_F(PaperItemsTest, CustomSizeOfTheDevmodeAtThePrintQuality)
{
  dm_.dmPaperLength = 2970;
  dm_.dmPaperWidth = 2100;
  ItemSetRaw(ctx_, ITEM_dmPrintQuality, 300);
  DmSetCustomPaperItems(&dm_, ctx_);
  EXPECT_EQ(Items(ITEM_kdmSrcPaperLengthDot), (std::vector<LONG>{3507, 2480, 3507 - 120, 2480 - 100, 50, 60}));
  // A print-quality code is no resolution: the device resolution (600) serves.
  ItemSetRaw(ctx_, ITEM_dmPrintQuality, DMRES_HIGH);
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 600);
  DmSetCustomPaperItems(&dm_, ctx_);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, nullptr), 7015);
}

TEST_F(PaperItemsTest, PublicFieldsAndDerivedItemsFollowTheDevmode)
{
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 600);
  ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, 9);
  ItemSetRaw(ctx_, ITEM_kdmUIModeChange, 2);
  ItemSetRaw(ctx_, ITEM_wdmUIStart, 1);
  ItemSetRaw(ctx_, ITEM_kdmFuncSelectDuplex, 1);
  ItemSetRaw(ctx_, ITEM_kdmDuplexType, 3);
  ItemSetRaw(ctx_, ITEM_kdmMediaType, 257);
  dm_.dmPaperSize = 9;
  DmSyncPublicFieldsFromItems(&dm_, ctx_, 2);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstResolutionH, nullptr), 600);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_dmPrintQuality, nullptr), 600);
  EXPECT_EQ(Items(ITEM_kdmSrcPaperLengthDot), (std::vector<LONG>{7015, 4960, 6818, 4773, 94, 99}));
  EXPECT_EQ(Items(ITEM_kdmDstPaperLengthDot), (std::vector<LONG>{7015, 4960, 6818, 4773, 94, 99}));
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstPaperLengthMM, nullptr), 2970);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_KPD_kdmPresentUIMode, nullptr), 1);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_KPD_kdmBidiSupport, nullptr), OsPrinterBidiEnabled(ctx_) ? 1 : 0);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_wdmUIStart, nullptr), 0);
  EXPECT_EQ(dm_.dmDuplex, DMDUP_VERTICAL);
  EXPECT_EQ(dm_.dmMediaType, 257u);
  EXPECT_EQ(dm_.dmPaperLength, 2970);
}

TEST_F(PaperItemsTest, PaperChangeRecomputesTheItemsWithTheSheetTurned)
{
  ItemSetRaw(ctx_, ITEM_dmPaperSize, 384);
  ItemSetRaw(ctx_, ITEM_dmOrientation, 2);  // the work DEVMODE lies landscape
  ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, 1024);
  ItemSetRaw(ctx_, ITEM_kdmFuncSelectScale, 0);
  ItemApplyPaperChange(ctx_, 1);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, nullptr), 2480);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperWidthDot, nullptr), 3507);
  EXPECT_EQ(Items(ITEM_kdmDstPaperLengthDot), Items(ITEM_kdmSrcPaperLengthDot));
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmScaleH, nullptr), 100);
}

TEST_F(PaperItemsTest, SlotPaperAtEachResolution)
{
  struct Case {
    LONG dpi, length, width;
  } cases[] = {{300, 3507, 2480}, {600, 7015, 4960}, {1200, 14030, 9920}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.dpi);
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, c.dpi);
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionH, c.dpi);
    DmSetSourcePaperItems(384, ITEM_dmPaperSize, ctx_, &dm_);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, nullptr), c.length);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperWidthDot, nullptr), c.width);
    EXPECT_EQ(dm_.dmPaperLength, 2970);  // the DEVMODE keeps 0.1 mm whatever the resolution
    DmSetOutputPaperItems(384, ITEM_kdmOutPaperSize, ctx_, &dm_);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstPaperLengthDot, nullptr), c.length);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstPaperWidthDot, nullptr), c.width);
  }
}

TEST_F(PaperItemsTest, RegionalFitPrintsOnTheRegionalPaper)
{
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 600);
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionH, 600);
  ItemSetRaw(ctx_, ITEM_dmPaperSize, 9);
  ASSERT_EQ(ItemDefaultPaperIsLetter(ctx_), 0);  // the test printer's region uses A4
  for (LONG code : {1025, 1026}) {
    SCOPED_TRACE(code);
    for (WORD id = ITEM_kdmDstPaperLengthDot; id <= ITEM_kdmDstYOffset; ++id) ItemSetRaw(ctx_, id, 0);
    ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, code);
    ItemApplyPaperChange(ctx_, 1);
    EXPECT_EQ(Items(ITEM_kdmDstPaperLengthDot), (std::vector<LONG>{7015, 4960, 6818, 4773, 94, 99}));
  }
}

// The worked figures of a stored custom size of 210 x 297 mm (slot 9920 x 14030 dots at
// 1200 dpi) at each device resolution, upright and turned: only the swapped variants turn
// the size with a landscape sheet, and the DEVMODE's paper fields follow the turned size.
TEST_F(PaperItemsTest, SlotPaperTurnedWithTheSheet)
{
  struct Case {
    LONG dpi;
    short orientation;
    bool swapped;
    LONG length, width, left, top;  // items 40, 41, 44, 45 (and 47, 48, 51, 52)
    short dmLength, dmWidth;
  } cases[] = {
      {300, DMORIENT_PORTRAIT, true, 3507, 2480, 40, 45, 2970, 2100},
      {300, DMORIENT_LANDSCAPE, false, 3507, 2480, 40, 45, 2970, 2100},
      {300, DMORIENT_LANDSCAPE, true, 2480, 3507, 40, 45, 2100, 2970},
      {600, DMORIENT_LANDSCAPE, true, 4960, 7015, 0, 0, 2100, 2970},  // no area at 600 dpi: no offsets
      {1200, DMORIENT_LANDSCAPE, true, 9920, 14030, 0, 0, 2100, 2970},
      {1200, DMORIENT_PORTRAIT, true, 14030, 9920, 0, 0, 2970, 2100},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.dpi << " dpi, orientation " << c.orientation
                                    << (c.swapped ? ", swapped" : ""));
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, c.dpi);
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionH, c.dpi);
    dm_.dmOrientation = c.orientation;
    (c.swapped ? DmSetSourcePaperItemsSwapped : DmSetSourcePaperItems)(384, ITEM_dmPaperSize, ctx_, &dm_);
    (c.swapped ? DmSetOutputPaperItemsSwapped : DmSetOutputPaperItems)(384, ITEM_kdmOutPaperSize, ctx_, &dm_);
    std::vector<LONG> expected = {c.length, c.width, c.length - 2 * c.top, c.width - 2 * c.left, c.left, c.top};
    EXPECT_EQ(Items(ITEM_kdmSrcPaperLengthDot), expected);
    EXPECT_EQ(Items(ITEM_kdmDstPaperLengthDot), expected);
    EXPECT_EQ(dm_.dmPaperLength, c.dmLength);
    EXPECT_EQ(dm_.dmPaperWidth, c.dmWidth);
    EXPECT_EQ(dm_.dmFields & kAllPaperFields, kAllPaperFields);
  }
}

// A standard paper counts only while the description offers it: listed, and not hidden by
// its rules. A hidden paper leaves the items and the DEVMODE as they were.
TEST_F(PaperItemsTest, StandardPaperOnlyWhileTheDescriptionOffersIt)
{
  std::vector<LONG> a3 = {4960, 3507, 4861, 3413, 47, 50};  // 420 x 297 mm at 300 dpi
  struct Case {
    LONG copies;
    bool offered;
  } cases[] = {{1, true}, {7, false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.copies);
    for (WORD id = ITEM_kdmSrcPaperLengthDot; id <= ITEM_kdmSrcYOffset; ++id) ItemSetRaw(ctx_, id, 1);
    ItemSetRaw(ctx_, ITEM_dmCopies, c.copies);
    dm_.dmPaperLength = 1234;
    dm_.dmFields = DM_PAPERLENGTH | DM_PAPERWIDTH;
    DmSetSourcePaperItems(DMPAPER_A3, ITEM_dmPaperSize, ctx_, &dm_);
    EXPECT_EQ(Items(ITEM_kdmSrcPaperLengthDot), c.offered ? a3 : std::vector<LONG>(6, 1));
    EXPECT_EQ(dm_.dmPaperLength, c.offered ? 4200 : 1234);
    EXPECT_EQ(dm_.dmFields & kAllPaperFields,
              c.offered ? (DWORD)DM_PAPERSIZE : (DWORD)(DM_PAPERLENGTH | DM_PAPERWIDTH));
  }
  // A code the description does not list at all, and one outside every table.
  for (SHORT paper : {(SHORT)DMPAPER_LEGAL, (SHORT)-5}) {
    DmSetSourcePaperItems(paper, ITEM_dmPaperSize, ctx_, &dm_);
    EXPECT_EQ(dm_.dmPaperLength, 1234) << paper;
  }
}

// The slot of a custom paper is copied into the custom-size items the dialogs show: the
// document's into 823-827, the output's into 818-822.
TEST_F(PaperItemsTest, SlotCopiedIntoTheCustomSizeItems)
{
  FREE_SIZE_SLOT &second = ctx_->state->freeSizeSlots[1];  // user size 2: 100 x 148 mm
  second.width = 4724;
  second.length = 6992;
  second.tray = 4;
  second.orientation = 2;
  ctx_->state->freeSizeSlots[0].tray = 1;
  LONG outputWidth = ItemGetValue(ctx_, ITEM_wdmFreeSizeWidth, nullptr);
  DmSetSourcePaperItems(384, ITEM_dmPaperSize, ctx_, &dm_);
  EXPECT_EQ(ItemGetValue(ctx_, ITEM_wdmSrcFreeSizeWidth, nullptr), 9920);
  EXPECT_EQ(ItemGetValue(ctx_, ITEM_wdmSrcFreeSizeLength, nullptr), 14030);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_wdmSrcFreeSizeTray, nullptr), 1);
  EXPECT_EQ(ItemGetValue(ctx_, ITEM_wdmFreeSizeWidth, nullptr), outputWidth);  // the output's stay
  DmSetOutputPaperItems(385, ITEM_kdmOutPaperSize, ctx_, &dm_);
  EXPECT_EQ(ItemGetValue(ctx_, ITEM_wdmFreeSizeWidth, nullptr), 4724);
  EXPECT_EQ(ItemGetValue(ctx_, ITEM_wdmFreeSizeLength, nullptr), 6992);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_wdmFreeSizeTray, nullptr), 4);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_wdmFreeSizeOrient, nullptr), 2);
  EXPECT_EQ(ItemGetValue(ctx_, ITEM_wdmSrcFreeSizeWidth, nullptr), 9920);
  // The custom output size of the DEVMODE (448) has its slot filled from items 344-347.
  ItemSetRaw(ctx_, ITEM_kdmPrintFreeSizeWidth, 5000);
  ItemSetRaw(ctx_, ITEM_kdmPrintFreeSizeLength, 8000);
  ItemSetRaw(ctx_, ITEM_kdmPrintFreeSizeTray, 3);
  DmSetOutputPaperItems(448, ITEM_kdmOutPaperSize, ctx_, &dm_);
  EXPECT_EQ(ItemGetValue(ctx_, ITEM_wdmFreeSizeWidth, nullptr), 5000);
  EXPECT_EQ(ItemGetValue(ctx_, ITEM_wdmFreeSizeLength, nullptr), 8000);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_wdmFreeSizeTray, nullptr), 3);
}

// A printer whose custom sizes were never saved: each user size is its slot's default of the
// driver package (the model INI's section, A4 portrait where the model INI has none) as
// document paper, as output paper and as a size in 0.1 mm; a size the settings INI holds
// is taken instead.
TEST_F(PaperItemsTest, UserSizesNeverSavedTakeTheModelDefaults)
{
  auto section = [&](int slot) {
    WCHAR name[300];
    return std::u16string(ListFormatFreeSizeSection(name, slot, 0, ctx_));
  };
  auto put = [&](const WCHAR *file, int slot, LONG width, LONG length) {
    WCHAR text[16];
    wsprintfW(text, u"%ld", width);
    ASSERT_TRUE(IniWriteString(section(slot).c_str(), u"wdmFreeSizeWidth", text, file));
    wsprintfW(text, u"%ld", length);
    ASSERT_TRUE(IniWriteString(section(slot).c_str(), u"wdmFreeSizeLength", text, file));
  };
  const WCHAR *model = CtxGetModelIniPath(ctx_);
  ASSERT_NE(model, nullptr);
  put(model, 0, 6000, 9600);
  put(model, 2, 4800, 7200);
  FileCreateSettingsDirOf(ctx_);
  put(CtxGetSettingsIniPath(ctx_), 2, 8000, 12000);  // user size 3 was saved
  struct Case {
    SHORT paper;
    LONG width, length;      // 1200-dpi dots
    LONG widthMm, lengthMm;  // 0.1 mm, rounded up
  } cases[] = {
      {384, 6000, 9600, 1270, 2032},
      {385, 9921, 14031, 2100, 2970},
      {386, 8000, 12000, 1694, 2540},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.paper);
    memset(ctx_->state->freeSizeSlots, 0, sizeof ctx_->state->freeSizeSlots);
    CtxClearUiFlags(ctx_, KV_UI_FLAG_FREE_SIZES_LOADED);
    SIZE size = {-1, -1};
    ASSERT_EQ(DescGetCustomPaperSize(ctx_, &size, static_cast<WORD>(c.paper), 0), 1);
    EXPECT_EQ(size.cx, c.widthMm);
    EXPECT_EQ(size.cy, c.lengthMm);
    // 300 dpi: a quarter of the 1200-dpi dots.
    DmSetSourcePaperItems(c.paper, ITEM_dmPaperSize, ctx_, &dm_);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, nullptr), c.length / 4);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperWidthDot, nullptr), c.width / 4);
    EXPECT_EQ(dm_.dmPaperWidth, c.widthMm);
    EXPECT_EQ(dm_.dmPaperLength, c.lengthMm);
    ItemSetRaw(ctx_, ITEM_kdmOutPaperSize, c.paper);
    DmSetOutputPaperItems(c.paper, ITEM_kdmOutPaperSize, ctx_, &dm_);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstPaperLengthDot, nullptr), c.length / 4);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstPaperWidthDot, nullptr), c.width / 4);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstPaperLengthMM, nullptr), c.lengthMm);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstPaperWidthMM, nullptr), c.widthMm);
  }
}

// Output codes 1024-1026: the document's own paper, or a fit to A4 or Letter printed on the
// region's default paper (A4 for the test printer) when the description has no paper of
// its own for the fit.
TEST_F(PaperItemsTest, OutputCodesOfTheDocumentAndTheFits)
{
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 600);
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionH, 600);
  ASSERT_EQ(ItemDefaultPaperIsLetter(ctx_), 0);
  const std::vector<LONG> a4 = {7015, 4960, 6818, 4773, 94, 99};
  const std::vector<LONG> letter = {6600, 5100, 6400, 4900, 100, 100};
  struct Case {
    SHORT document, output;
    std::vector<LONG> expected;
  } cases[] = {
      {DMPAPER_A4, 1024, a4},     {DMPAPER_LETTER, 1024, letter},       {DMPAPER_LETTER, 1025, a4},
      {DMPAPER_LETTER, 1026, a4}, {DMPAPER_A4, DMPAPER_LETTER, letter},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.document << " on " << c.output);
    for (WORD id = ITEM_kdmDstPaperLengthDot; id <= ITEM_kdmDstYOffset; ++id) ItemSetRaw(ctx_, id, 1);
    ItemSetRaw(ctx_, ITEM_dmPaperSize, c.document);
    DmSetOutputPaperItems(c.output, ITEM_kdmOutPaperSize, ctx_, &dm_);
    EXPECT_EQ(Items(ITEM_kdmDstPaperLengthDot), c.expected);
  }
  // A region that uses Letter fits onto Letter.
  ItemSetRaw(ctx_, ITEM_kdmHiddenFunc16, 1);
  ASSERT_EQ(ItemDefaultPaperIsLetter(ctx_), 1);
  DmSetOutputPaperItems(1025, ITEM_kdmOutPaperSize, ctx_, &dm_);
  EXPECT_EQ(Items(ITEM_kdmDstPaperLengthDot), letter);
}

// Custom sizes at the model's limits (width 4250-10204, length 6992-61200 dots) and at the
// largest size the DEVMODE's 0.1 mm fields hold (154771 dots): beyond it item 85 marks the
// size and the DEVMODE names the paper only.
TEST_F(PaperItemsTest, CustomSizesAtTheirLimits)
{
  MODEL_RECORD unlimited = *ctx_->model;
  MODEL_RECORD *shipped = ctx_->model;
  struct Case {
    bool limited;
    LONG width, length;  // in the slot
    LONG itemWidth, itemLength, over;
    short dmWidth, dmLength;
  } cases[] = {
      {true, 4250, 6992, 4250 / 4, 6992 / 4, 0, 900, 1480},
      {true, 4249, 6991, 4250 / 4, 6992 / 4, 0, 900, 1480},
      {true, 10204, 61200, 10204 / 4, 61200 / 4, 0, 2160, 12954},
      {true, 10205, 61201, 10204 / 4, 61200 / 4, 0, 2160, 12954},
      {false, 10000, 154771, 2500, 38692, 0, 2117, 32760},
      {false, 154772, 10000, 38693, 2500, 1, 0, 0},
      {false, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF / 4, 0x7FFFFFFF / 4, 1, 0, 0},
  };
  unlimited.customWidthMax = unlimited.customLengthMax = 0;  // no upper limits
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.length << (c.limited ? "" : " unlimited"));
    ctx_->model = c.limited ? shipped : &unlimited;
    ctx_->state->freeSizeSlots[0].width = c.width;
    ctx_->state->freeSizeSlots[0].length = c.length;
    dm_.dmPaperLength = dm_.dmPaperWidth = 77;
    dm_.dmFields = 0;
    DmSetSourcePaperItems(384, ITEM_dmPaperSize, ctx_, &dm_);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperWidthDot, nullptr), c.itemWidth);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmSrcPaperLengthDot, nullptr), c.itemLength);
    EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmFuncSelectFreeShortOver, nullptr), c.over);
    EXPECT_EQ(dm_.dmPaperWidth, c.dmWidth);
    EXPECT_EQ(dm_.dmPaperLength, c.dmLength);
    EXPECT_EQ(dm_.dmFields & kAllPaperFields, c.over ? (DWORD)DM_PAPERSIZE : kAllPaperFields);
  }
  ctx_->model = shipped;
}

}  // namespace
