// Paper items: the source and output paper's size and printable area in dots at the device
// resolution, for standard papers of a description built by hand and for custom sizes.
#include <vector>

#include "caps_fixture.h"
#include "devmode/dm_paper_items.h"
#include "model/model.h"
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

}  // namespace
