// The resolution, duplex and media fields of the DEVMODE kept in step with their items, and
// the tray of a custom paper.
#include <gtest/gtest.h>

#include "context_fixture.h"
#include "devmode/dm_paper_items.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"
#include "win32/devmode.h"

namespace {

class PaperItemsTest : public OpenContextTest {
 protected:
  LONG Raw(WORD id) { return ItemGetRaw(ctx_, id, nullptr); }
  DEVMODEW *Dm() { return reinterpret_cast<DEVMODEW *>(ctx_->work); }
};

TEST_F(PaperItemsTest, ResolutionFollowsThePrintQualityInDotsPerInchOnly)
{
  struct Case {
    LONG quality;
    LONG device;  // items 38, 39 and 17 afterwards
    LONG code;    // item 152 afterwards
  } cases[] = {
      {1200, 1200, 37},
      {300, 300, 35},
      {150, 150, 33},
      // Print-quality codes are no resolutions: the device resolution stays 600.
      {DMRES_HIGH, 600, 36},
      {DMRES_DRAFT, 600, 36},
      {0, 600, 36},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.quality);
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 600);
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionH, 600);
    ItemSetRaw(ctx_, ITEM_dmYResolution, 600);
    ItemSetRaw(ctx_, ITEM_kdmDstResolutionBoth, 36);
    ItemSetRaw(ctx_, ITEM_dmPrintQuality, c.quality);
    DmSyncResolutionFromPrintQuality(Dm(), ctx_);
    EXPECT_EQ(Raw(ITEM_kdmDstResolutionW), c.device);
    EXPECT_EQ(Raw(ITEM_kdmDstResolutionH), c.device);
    EXPECT_EQ(Raw(ITEM_dmYResolution), c.device);
    EXPECT_EQ(Raw(ITEM_kdmDstResolutionBoth), c.code);
    EXPECT_EQ(Raw(ITEM_dmPrintQuality), c.quality);  // never rewritten here
  }
}

TEST_F(PaperItemsTest, PendingPassModeAppliesEvenForAPrintQualityCode)
{
  ItemSetRaw(ctx_, ITEM_kdmPassMode, 9);
  ctx_->state->pendingPassMode = 3;
  ItemSetRaw(ctx_, ITEM_dmPrintQuality, DMRES_MEDIUM);
  DmSyncResolutionFromPrintQuality(Dm(), ctx_);
  EXPECT_EQ(Raw(ITEM_kdmPassMode), 2);
  EXPECT_EQ(ctx_->state->pendingPassMode, 0);
}

TEST_F(PaperItemsTest, DeviceResolutionGivesThePublicFields)
{
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 1200);
  DmSyncResolutionFromDevice(Dm(), ctx_);
  EXPECT_EQ(Raw(ITEM_kdmDstResolutionH), 1200);
  EXPECT_EQ(Raw(ITEM_dmPrintQuality), 1200);
  EXPECT_EQ(Raw(ITEM_dmYResolution), 1200);
  EXPECT_EQ(Dm()->dmPrintQuality, 1200);
  // An unset device resolution writes no zero into dmPrintQuality.
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 0);
  DmSyncResolutionFromDevice(Dm(), ctx_);
  EXPECT_EQ(Raw(ITEM_dmPrintQuality), 1200);
}

TEST_F(PaperItemsTest, DuplexFromTheSwitchAndBindingType)
{
  struct Case {
    LONG on, type;
    SHORT orientation, before;
    LONG customFunc0;
    SHORT after;
  } cases[] = {
      {0, 3, DMORIENT_PORTRAIT, DMDUP_VERTICAL, 0, DMDUP_SIMPLEX},
      {1, 0, DMORIENT_PORTRAIT, DMDUP_VERTICAL, 0, DMDUP_SIMPLEX},
      {1, 1, DMORIENT_PORTRAIT, DMDUP_SIMPLEX, 0, DMDUP_HORIZONTAL},
      {1, 17, DMORIENT_PORTRAIT, DMDUP_SIMPLEX, 0, DMDUP_HORIZONTAL},
      {1, 20, DMORIENT_LANDSCAPE, DMDUP_SIMPLEX, 0, DMDUP_VERTICAL},
      {1, 3, DMORIENT_PORTRAIT, DMDUP_SIMPLEX, 0, DMDUP_VERTICAL},
      {1, 22, DMORIENT_LANDSCAPE, DMDUP_SIMPLEX, 0, DMDUP_HORIZONTAL},
      // The custom function keeps a dmDuplex that is not duplex; a duplex one is recomputed.
      {1, 3, DMORIENT_PORTRAIT, DMDUP_SIMPLEX, 1, DMDUP_SIMPLEX},
      {1, 3, DMORIENT_PORTRAIT, DMDUP_HORIZONTAL, 1, DMDUP_VERTICAL},
      {0, 3, DMORIENT_PORTRAIT, DMDUP_HORIZONTAL, 1, DMDUP_SIMPLEX},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.on << " " << c.type << " " << c.orientation << " " << c.customFunc0);
    ItemSetRaw(ctx_, ITEM_kdmFuncSelectDuplex, c.on);
    ItemSetRaw(ctx_, ITEM_kdmDuplexType, c.type);
    ItemSetRaw(ctx_, ITEM_wdmCustomFunc0, c.customFunc0);
    DEVMODEW dm = {};
    dm.dmOrientation = c.orientation;
    dm.dmDuplex = c.before;
    DmSyncDuplexFromItems(&dm, ctx_);
    EXPECT_EQ(dm.dmDuplex, c.after);
  }
  DmSyncDuplexFromItems(nullptr, ctx_);  // nothing to write: no crash
}

TEST_F(PaperItemsTest, MediaTypeFromItsItem)
{
  for (LONG media : {1, 257, 386}) {
    ItemSetRaw(ctx_, ITEM_kdmMediaType, media);
    DEVMODEW dm = {};
    DmSyncMediaTypeFromItem(&dm, ctx_);
    EXPECT_EQ(dm.dmMediaType, static_cast<DWORD>(media));
  }
  DmSyncMediaTypeFromItem(nullptr, ctx_);
}

TEST_F(PaperItemsTest, TrayOfACustomPaper)
{
  CtxRaiseUiFlags(ctx_, KV_UI_FLAG_FREE_SIZES_LOADED);  // the stored sizes count as loaded
  ctx_->state->freeSizeSlots[2].tray = 3;               // user size 3 (paper 386) feeds from tray 2
  ItemSetRaw(ctx_, ITEM_kdmPaperFreeSizeTray, 4);       // the DEVMODE's custom size: manual feed
  ItemSetRaw(ctx_, ITEM_dmDefaultSource, 7);
  EXPECT_EQ(ListGetFreeSizeTray(ctx_, 386, 0), 3);
  EXPECT_EQ(ListGetFreeSizeTray(ctx_, 256, 0), 4);
  EXPECT_EQ(Raw(ITEM_dmDefaultSource), 7);  // asking changes nothing
  EXPECT_EQ(ListGetFreeSizeTray(ctx_, 256, 1), 1);
  EXPECT_EQ(Raw(ITEM_dmDefaultSource), 4);
  // A standard paper has no slot; a slot without a tray is never made the source.
  EXPECT_EQ(ListGetFreeSizeTray(ctx_, 9, 1), 0);
  EXPECT_EQ(ListGetFreeSizeTray(ctx_, 384, 1), 0);
  EXPECT_EQ(Raw(ITEM_dmDefaultSource), 4);
  EXPECT_EQ(ListGetFreeSizeTray(nullptr, 256, 1), 0);
}

}  // namespace
