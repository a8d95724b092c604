// The settings request and the capability block of the exchange area, on the sample
// printer's context: the request codes and the items they set, the commands, a request
// carried by a merged DEVMODE, and the published capability block.
#include <gtest/gtest.h>
#include <string.h>

#include <utility>
#include <vector>

#include "devmode/devmode_layout.h"
#include "devmode/dm_merge.h"
#include "devmode/dm_request.h"
#include "devmode_images.h"
#include "items/item_store.h"
#include "kvplat/control.h"
#include "rules/rule_caps.h"
#include "sample_context.h"
#include "tables/item_ids.h"

namespace {

class RequestTest : public SampleContextTest {
 protected:
  void SetUp() override
  {
    SampleContextTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(1, DmMergeIncoming(ctx_, nullptr, KV_MERGE_FLAGS_CONVERT));
    ctx_->state->mergeFlags = 0;
  }
  std::vector<BYTE> Own() { return std::vector<BYTE>(ctx_->work, ctx_->work + KV_DM_TOTAL_SIZE); }
  // A working copy carrying a valid request built by fill.
  std::vector<BYTE> WithRequest(void (*fill)(DM_REQUEST_BLOCK *))
  {
    std::vector<BYTE> dm = Own();
    DM_REQUEST_BLOCK r;
    memset(&r, 0, sizeof r);
    r.valid = 1;
    fill(&r);
    memcpy(dm.data() + KV_DM_REQUEST_BLOCK, &r, sizeof r);
    return dm;
  }
  // An item's value in a DEVMODE other than the context's.
  LONG RawIn(const std::vector<BYTE> &dm, WORD id)
  {
    std::vector<BYTE> keep = Own();
    memcpy(ctx_->work, dm.data(), dm.size());
    LONG v = ItemGetRaw(ctx_, id, nullptr);
    memcpy(ctx_->work, keep.data(), keep.size());
    return v;
  }
};

TEST_F(RequestTest, OnlyTheRequestItemsAreWrittenAndEachAnswersItsBit)
{
  struct Case {
    WORD id;
    DWORD bit;
  } cases[] = {{ITEM_KPD_kdmTaskWeave, 1u << 0},
               {ITEM_kdmDstResolutionW, 1u << 1},
               {ITEM_kdmOutputTrayID, 1u << 3},
               {ITEM_kdmFuncSelectSort, 1u << 7},
               {ITEM_kdmScaleH, 1u << 11},
               {ITEM_kdmStapleType, 1u << 17},
               {ITEM_kdmExtPrintArea, 1u << 18},
               {ITEM_dmCopies, 0},
               {ITEM_KPD_kdmAdmin, 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.id);
    LONG before = ItemGetRaw(ctx_, c.id, nullptr);
    EXPECT_EQ(c.bit, DmRequestSetItem(ctx_, c.id, 1));
    EXPECT_EQ(c.bit != 0 ? 1 : before, ItemGetRaw(ctx_, c.id, nullptr));
  }
}

// One request field and the items it sets in the working copy.
struct FieldCase {
  const char *what;
  void (*fill)(DM_REQUEST_BLOCK *);
  std::vector<std::pair<WORD, LONG>> items;
};

TEST_F(RequestTest, FieldCodesSetTheirItemsInTheWorkingCopyOnly)
{
  const FieldCase cases[] = {
      {"zoom 0x4003",
       [](DM_REQUEST_BLOCK *r) { DmWriteLe16(r->zoom, 0x4003); },
       {{ITEM_kdmFuncSelectScale, 1}, {ITEM_kdmScaleType, 1}, {ITEM_kdmScaleH, 75}}},
      {"zoom 150", [](DM_REQUEST_BLOCK *r) { DmWriteLe16(r->zoom, 150); }, {{ITEM_kdmScaleH, 150}}},
      {"sort 3",
       [](DM_REQUEST_BLOCK *r) { r->sort = 3; },
       {{ITEM_kdmFuncSelectSort, 1}, {ITEM_kdmSortType, 4}, {ITEM_dmCollate, 1}}},
      {"sort 1", [](DM_REQUEST_BLOCK *r) { r->sort = 1; }, {{ITEM_kdmFuncSelectSort, 0}, {ITEM_dmCollate, 0}}},
      {"duplex 3",
       [](DM_REQUEST_BLOCK *r) { r->duplex = 3; },
       {{ITEM_kdmFuncSelectDuplex, 1}, {ITEM_kdmDuplexType, 2}}},
      {"staple 11",
       [](DM_REQUEST_BLOCK *r) { r->staple = 11; },
       {{ITEM_kdmFuncSelectStaple, 1}, {ITEM_kdmStapleType, 0x32}}},
      {"staple 200: invalid", [](DM_REQUEST_BLOCK *r) { r->staple = 200; }, {{ITEM_kdmStapleType, 0xFFFF}}},
      {"tray 9: mail bin 5", [](DM_REQUEST_BLOCK *r) { r->outputTray = 9; }, {{ITEM_kdmOutputTrayID, 19}}},
      {"tray 17", [](DM_REQUEST_BLOCK *r) { r->outputTray = 17; }, {{ITEM_kdmOutputTrayID, 1}}},
      {"print area 2", [](DM_REQUEST_BLOCK *r) { r->printArea = 2; }, {{ITEM_kdmExtPrintArea, 1}}},
      {"n-up 5",
       [](DM_REQUEST_BLOCK *r) { r->nup = 5; },
       {{ITEM_kdmFuncSelectNup, 1}, {ITEM_kdmNUPPOSTKind, 2}, {ITEM_kdmNUPType, 34}}},
      {"output paper 18", [](DM_REQUEST_BLOCK *r) { r->outputPaper = 18; }, {{ITEM_kdmOutPaperSize, 269}}},
      {"output paper 16: invalid", [](DM_REQUEST_BLOCK *r) { r->outputPaper = 16; }, {{ITEM_kdmOutPaperSize, -1}}},
  };
  for (const FieldCase &c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<BYTE> own = Own();
    std::vector<BYTE> work = WithRequest(c.fill);
    ctx_->state->mergeFlags = 0;
    ASSERT_EQ(1, DmApplyRequestBlock(ctx_, work.data()));
    EXPECT_EQ(KV_MERGE_REQUEST_CHANGED, ctx_->state->mergeFlags);
    for (const auto &item : c.items) EXPECT_EQ(item.second, RawIn(work, item.first)) << "item " << item.first;
    EXPECT_EQ(0, RawIn(work, ITEM_KPD_kdmTaskWeave));
    EXPECT_EQ(0, memcmp(own.data(), ctx_->work, own.size()));  // the context waits for the merge
  }
}

TEST_F(RequestTest, ZeroZoomLeavesTheScaleAndNupFollowsTheOrientation)
{
  ItemSetRaw(ctx_, ITEM_kdmScaleH, 90);
  std::vector<BYTE> work = WithRequest([](DM_REQUEST_BLOCK *r) { r->nup = 2; });
  reinterpret_cast<DEVMODEW *>(work.data())->dmOrientation = DMORIENT_LANDSCAPE;
  ASSERT_EQ(1, DmApplyRequestBlock(ctx_, work.data()));
  EXPECT_EQ(90, RawIn(work, ITEM_kdmScaleH));
  EXPECT_EQ(3, RawIn(work, ITEM_kdmNUPType));
}

TEST_F(RequestTest, InvalidBlocksAndCommands)
{
  // Not valid: ignored, without the flag.
  std::vector<BYTE> work = WithRequest([](DM_REQUEST_BLOCK *r) {
    r->valid = 2;
    r->sort = 3;
  });
  std::vector<BYTE> before = work;
  EXPECT_EQ(1, DmApplyRequestBlock(ctx_, work.data()));
  EXPECT_EQ(0u, ctx_->state->mergeFlags);
  EXPECT_EQ(before, work);

  // A printer query that fails answers 0, the flag set.
  work = WithRequest([](DM_REQUEST_BLOCK *r) { r->command = KV_REQUEST_QUERY; });
  EXPECT_EQ(0, DmApplyRequestBlock(ctx_, work.data()));
  EXPECT_EQ(KV_MERGE_REQUEST_CHANGED, ctx_->state->mergeFlags);

  // Defaults: the working copy becomes the context's defaults.
  ItemSetRaw(ctx_, ITEM_kdmScaleH, 90);
  work = WithRequest([](DM_REQUEST_BLOCK *r) { r->command = KV_REQUEST_DEFAULTS; });
  EXPECT_EQ(1, DmApplyRequestBlock(ctx_, work.data()));
  EXPECT_EQ(0, memcmp(work.data(), ctx_->work, KV_DM_TOTAL_SIZE));
  EXPECT_NE(90, RawIn(work, ITEM_kdmScaleH));

  // Defaults, configuration and a query that fails: 0, and the defaults stay in the context
  // and in the working copy.
  ItemSetRaw(ctx_, ITEM_kdmScaleH, 90);
  work = WithRequest([](DM_REQUEST_BLOCK *r) { r->command = KV_REQUEST_DEFAULTS_CONFIG_QUERY; });
  EXPECT_EQ(0, DmApplyRequestBlock(ctx_, work.data()));
  EXPECT_NE(90, ItemGetRaw(ctx_, ITEM_kdmScaleH, nullptr));
  EXPECT_EQ(0, memcmp(work.data(), ctx_->work, KV_DM_TOTAL_SIZE));
}

// The rule transactions of exactly the request items whose bits the mask holds. In the
// sample the staple type's transactions turn stapling on (item 63) and the punch type's turn
// punching on (item 62); the other request items have no transactions that fire here, or no
// description node, and the bits past the list name no item.
TEST_F(RequestTest, RulesRunForTheItemsOfTheMaskOnly)
{
  auto value = [](const char *name) {
    const VALUE_SYMBOL *sym = ItemFindValueSymbolByName(name);
    EXPECT_NE(nullptr, sym) << name;
    return sym != nullptr ? (LONG)sym->valueId : 0;
  };
  // A portrait sheet, on which the staple and punch items read their portrait values.
  ItemSetRaw(ctx_, ITEM_dmOrientation, DMORIENT_PORTRAIT);
  ItemSetRaw(ctx_, ITEM_kdmFuncSelectNup, 0);
  ItemSetValue(ctx_, ITEM_kdmStapleType, value("IDS_STAPLE_1"));
  ItemSetValue(ctx_, ITEM_kdmPunchType, value("IDS_PUNCH_1"));
  ItemSetRaw(ctx_, ITEM_kdmFuncSelectStaple, 0);
  ItemSetRaw(ctx_, ITEM_kdmFuncSelectPunch, 0);
  const DWORD staple = 1u << 17, punch = 1u << 16, all = (1u << 19) - 1;
  struct Case {
    const char *what;
    DWORD mask;
    LONG stapling, punching;
  } cases[] = {
      {"no item", 0, 0, 0},
      {"staple type", staple, 1, 0},
      {"punch type", punch, 0, 1},
      {"staple and punch types", staple | punch, 1, 1},
      {"every other request item", all & ~(staple | punch), 0, 0},
      {"every request item", all, 1, 1},
      {"bits past the list", ~all, 0, 0},
  };
  std::vector<BYTE> base(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    memcpy(ctx_->work, base.data(), base.size());
    DmRequestRunRules(ctx_, c.mask);
    EXPECT_EQ(c.stapling, ItemGetRaw(ctx_, ITEM_kdmFuncSelectStaple, nullptr));
    EXPECT_EQ(c.punching, ItemGetRaw(ctx_, ITEM_kdmFuncSelectPunch, nullptr));
    if (c.stapling == 0 && c.punching == 0) {
      EXPECT_EQ(0, memcmp(base.data(), ctx_->work, base.size()));
    }
  }
}

TEST_F(RequestTest, AMergedRequestReachesTheContext)
{
  ASSERT_EQ(0, ItemGetRaw(ctx_, ITEM_kdmOutputTrayID, nullptr));
  std::vector<BYTE> in = WithRequest([](DM_REQUEST_BLOCK *r) { r->outputTray = 2; });
  reinterpret_cast<DEVMODEW *>(in.data())->dmFields = 0;
  ASSERT_EQ(1, DmMergeIncoming(ctx_, in.data(), KV_MERGE_FLAGS_CONVERT));
  EXPECT_NE(0u, ctx_->state->mergeFlags & KV_MERGE_REQUEST_CHANGED);
  EXPECT_EQ(2, ItemGetRaw(ctx_, ITEM_kdmOutputTrayID, nullptr));  // the standard tray
  // The request is consumed: the context keeps none, and merging its own DEVMODE again
  // applies nothing.
  for (DWORD i = 0; i < KV_DM_EXCHANGE_BLOCK_SIZE; ++i) EXPECT_EQ(0, ctx_->work[KV_DM_REQUEST_BLOCK + i]) << i;
  ASSERT_EQ(1, DmMergeIncoming(ctx_, nullptr, KV_MERGE_FLAGS_CONVERT));
  EXPECT_EQ(0u, ctx_->state->mergeFlags & KV_MERGE_REQUEST_CHANGED);
  // A tray the description does not offer is repaired by the merge's item check.
  in = WithRequest([](DM_REQUEST_BLOCK *r) { r->outputTray = 12; });
  ASSERT_EQ(1, DmMergeIncoming(ctx_, in.data(), KV_MERGE_FLAGS_CONVERT));
  EXPECT_NE(22, ItemGetRaw(ctx_, ITEM_kdmOutputTrayID, nullptr));
}

// The sample describes neither the scale nor the N-up switch: a merged zoom or N-up request
// turns its function on together with its other items, and the merge's item check keeps
// the switch that goes with them. Asking for the function off turns it off.
TEST_F(RequestTest, MergedZoomAndNupRequestsKeepTheirSwitches)
{
  struct Case {
    const char *name;
    void (*fill)(DM_REQUEST_BLOCK *);
    std::vector<std::pair<WORD, LONG>> items;
  } cases[] = {
      {"zoom 150",
       [](DM_REQUEST_BLOCK *r) { DmWriteLe16(r->zoom, 150); },
       {{ITEM_kdmFuncSelectScale, 1}, {ITEM_kdmScaleType, 1}, {ITEM_kdmScaleH, 150}}},
      {"zoom 0x4001",
       [](DM_REQUEST_BLOCK *r) { DmWriteLe16(r->zoom, 0x4001); },
       {{ITEM_kdmFuncSelectScale, 1}, {ITEM_kdmScaleH, 67}}},
      {"2 up, right then down",
       [](DM_REQUEST_BLOCK *r) { r->nup = 4; },
       {{ITEM_kdmFuncSelectNup, 1}, {ITEM_kdmNUPPOSTKind, 2}, {ITEM_kdmNUPType, 33}}},
      {"N-up off", [](DM_REQUEST_BLOCK *r) { r->nup = 1; }, {{ITEM_kdmFuncSelectNup, 0}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<BYTE> in = WithRequest(c.fill);
    reinterpret_cast<DEVMODEW *>(in.data())->dmFields = 0;
    ASSERT_EQ(1, DmMergeIncoming(ctx_, in.data(), KV_MERGE_FLAGS_CONVERT));
    for (const auto &item : c.items) EXPECT_EQ(item.second, ItemGetRaw(ctx_, item.first, nullptr)) << item.first;
  }
}

TEST_F(RequestTest, PublishedBlockOffersWhatThePrinterCanDoAndClearsTheRequest)
{
  ItemSetRaw(ctx_, ITEM_kdmOutputOptionTypeFin2000, 1);
  memset(ctx_->work + KV_DM_REQUEST_BLOCK, 0x5A, KV_DM_EXCHANGE_BLOCK_SIZE);
  ASSERT_EQ(1, DmPublishCapsBlock(ctx_));
  const BYTE *dm = ctx_->work;
  for (DWORD i = 0; i < KV_DM_EXCHANGE_BLOCK_SIZE; ++i) EXPECT_EQ(0, dm[KV_DM_REQUEST_BLOCK + i]) << i;
  const BYTE *caps = dm + KV_DM_CAPS_BLOCK;
  EXPECT_EQ(3, dm[320]);
  EXPECT_EQ(63, dm[329]);
  EXPECT_EQ(1, caps[11]);
  EXPECT_EQ(1, caps[17]);
  EXPECT_EQ(CapHasDuplexUnit(ctx_) ? 7 : 0, caps[1]);
  EXPECT_NE(0, caps[7] & 0x02);
  // The sample offers 600 x 600 and 1200 x 1200.
  EXPECT_EQ(0x06, caps[10]);
  // Its trays: system default (byte 7 bit 0), standard (bit 1) and the finisher's two trays.
  EXPECT_EQ(0x03, caps[7] & 0x03);
  EXPECT_NE(0, caps[8] & 0x60);
}

// Memory running out at any allocation of the publication leaves both blocks as they were;
// a publication that runs through frees what it allocated.
TEST_F(RequestTest, PublishingIsAllOrNothingWhenMemoryRunsOut)
{
  memset(ctx_->work + KV_DM_REQUEST_BLOCK, 0x5A, 2 * KV_DM_EXCHANGE_BLOCK_SIZE);
  std::vector<BYTE> before = Own();
  int failures = 0;
  for (DWORD n = 1; n < 200; ++n) {
    PlatFaultArm(PLAT_FAULT_ALLOC, n);
    int published = DmPublishCapsBlock(ctx_);
    PlatFaultDisarmAll();
    if (published) break;
    ++failures;
    ASSERT_EQ(
        0, memcmp(before.data() + KV_DM_REQUEST_BLOCK, ctx_->work + KV_DM_REQUEST_BLOCK, 2 * KV_DM_EXCHANGE_BLOCK_SIZE))
        << "allocation " << n;
  }
  EXPECT_GT(failures, 0);
  EXPECT_EQ(0, ctx_->work[KV_DM_REQUEST_BLOCK]);
  DWORD live = PlatMemLiveBlocks();
  ASSERT_EQ(1, DmPublishCapsBlock(ctx_));
  EXPECT_EQ(live, PlatMemLiveBlocks());
}

TEST_F(RequestTest, ARequestWithoutMemoryChangesNothingButTheFlag)
{
  std::vector<BYTE> own = Own();
  std::vector<BYTE> work = WithRequest([](DM_REQUEST_BLOCK *r) { r->sort = 3; });
  std::vector<BYTE> before = work;
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(0, DmApplyRequestBlock(ctx_, work.data()));
  PlatFaultDisarmAll();
  EXPECT_EQ(before, work);
  EXPECT_EQ(0, memcmp(own.data(), ctx_->work, own.size()));
  DWORD live = PlatMemLiveBlocks();
  EXPECT_EQ(1, DmApplyRequestBlock(ctx_, work.data()));
  EXPECT_EQ(live, PlatMemLiveBlocks());
}

TEST_F(RequestTest, OutputTraysAreCountedWithinTheCallersCapacity)
{
  LONG all = DmCountOutputTrays(ctx_, nullptr, 0);
  ASSERT_GT(all, 1);
  std::vector<WORD> trays(all + 1, 0xBEEF);
  EXPECT_EQ(all, DmCountOutputTrays(ctx_, trays.data(), 1));
  EXPECT_NE(0xBEEF, trays[0]);
  EXPECT_EQ(0xBEEF, trays[1]);  // nothing past the capacity
  EXPECT_EQ(all, DmCountOutputTrays(ctx_, trays.data(), (DWORD)all));
  EXPECT_EQ(0xBEEF, trays[all]);
  EXPECT_EQ(0, trays[0]);  // the system default comes first
}

}  // namespace
