// The three-level DEVMODE snapshot stack, its font lists, and saved option rows.
#include <gtest/gtest.h>

#include <string.h>

#include "context_fixture.h"
#include "hooks/module_hooks.h"
#include "model/font_list_table.h"
#include "store/font_names.h"
#include "recording_hooks.h"

namespace {

class SnapshotTest : public OpenContextTest {
 protected:
  void TearDown() override
  {
    if (ctx_ != nullptr) CtxFreeSnapshotFonts(ctx_);
    OpenContextTest::TearDown();
  }
  // Marks the work buffer with a state number: item 89 (the horizontal scale) and the
  // pending-UI-work word.
  void Mark(LONG n)
  {
    ItemSetRaw(ctx_, 87, 0);
    ItemSetRaw(ctx_, 89, n);
    ctx_->state->uiFlags = (DWORD)n;
  }
  LONG State() { return ItemGetRaw(ctx_, 89, nullptr); }
};

TEST_F(SnapshotTest, RollbacksWalkBackThroughThreeLevels)
{
  Mark(1);
  CtxPushDevmodeSnapshot(ctx_);  // level 0 = 1
  Mark(2);
  CtxPushDevmodeSnapshot(ctx_);  // levels 2, 1
  Mark(3);
  CtxPushDevmodeSnapshot(ctx_);  // levels 3, 2, 1
  Mark(4);
  CtxPopDevmodeSnapshot(ctx_, 1);
  EXPECT_EQ(State(), 3);
  EXPECT_EQ(ctx_->state->uiFlags, 3u);
  CtxPopDevmodeSnapshot(ctx_, 1);
  EXPECT_EQ(State(), 2);
  EXPECT_EQ(ctx_->state->uiFlags, 2u);
  CtxPopDevmodeSnapshot(ctx_, 1);
  EXPECT_EQ(State(), 1);
  // Every push has been popped: a further rollback is refused and changes nothing.
  Mark(7);
  EXPECT_FALSE(CtxPopDevmodeSnapshot(ctx_, 1));
  EXPECT_EQ(State(), 7);
}

TEST_F(SnapshotTest, AFourthPushIsRefusedAndKeepsTheOldestLevel)
{
  RecordingModules rec;
  rec.Attach(ctx_);
  for (LONG n = 1; n <= 3; ++n) {
    Mark(n);
    ASSERT_TRUE(CtxPushDevmodeSnapshot(ctx_));
    EXPECT_EQ(CtxGetSnapshotDepth(ctx_), n);
  }
  Mark(4);
  rec.calls.clear();
  SetLastError(0);
  EXPECT_FALSE(CtxPushDevmodeSnapshot(ctx_));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_STACK_OVERFLOW);
  EXPECT_TRUE(rec.calls.empty());  // a refused push raises nothing
  EXPECT_EQ(CtxGetSnapshotDepth(ctx_), 3);
  EXPECT_EQ(State(), 4);
  // The three levels are intact: the outermost rollback still reaches the first state.
  EXPECT_TRUE(CtxPopDevmodeSnapshot(ctx_, 1));
  EXPECT_EQ(State(), 3);
  EXPECT_TRUE(CtxPopDevmodeSnapshot(ctx_, 1));
  EXPECT_EQ(State(), 2);
  EXPECT_TRUE(CtxPopDevmodeSnapshot(ctx_, 1));
  EXPECT_EQ(State(), 1);
  EXPECT_EQ(CtxGetSnapshotDepth(ctx_), 0);
  // With a level free again, a push works.
  EXPECT_TRUE(CtxPushDevmodeSnapshot(ctx_));
}

TEST_F(SnapshotTest, RollbackClearsChangeMarksAndRaisesItsEvent)
{
  RecordingModules rec;
  rec.Attach(ctx_);
  Mark(1);
  CtxPushDevmodeSnapshot(ctx_);
  ASSERT_EQ(rec.calls.size(), 6u);
  EXPECT_EQ(rec.calls[0].code, KV_EVT_SNAPSHOT_PUSHED);
  rec.calls.clear();
  Mark(5);
  OPTION_ITEM *row = ItemFindById(ctx_, 89);
  EXPECT_NE(row->state & KV_STATE_CHANGED_MASK, 0);
  EXPECT_EQ(ctx_->state->settingsChanged, 1u);
  CtxPopDevmodeSnapshot(ctx_, 1);
  EXPECT_EQ(row->state & KV_STATE_CHANGED_MASK, 0);
  EXPECT_EQ(ctx_->state->settingsChanged, 0u);
  ASSERT_EQ(rec.calls.size(), 6u);
  EXPECT_EQ(rec.calls[0].code, KV_EVT_SNAPSHOT_ROLLED_BACK);
}

TEST_F(SnapshotTest, CommitKeepsTheWorkBufferAndDropsLevelZero)
{
  RecordingModules rec;
  rec.Attach(ctx_);
  Mark(1);
  CtxPushDevmodeSnapshot(ctx_);
  Mark(2);
  CtxPushDevmodeSnapshot(ctx_);
  Mark(3);
  rec.calls.clear();
  CtxPopDevmodeSnapshot(ctx_, 0);
  EXPECT_EQ(State(), 3);
  EXPECT_EQ(ctx_->state->uiFlags, 3u);
  EXPECT_TRUE(rec.calls.empty());  // a commit raises nothing
  CtxPopDevmodeSnapshot(ctx_, 1);
  EXPECT_EQ(State(), 1);  // level 0 was dropped: the rollback goes to the older state
}

// A device-font list of n entries whose names start with the letter c.
BYTE *MakeFonts(int n, char c)
{
  BYTE *list = (BYTE *)MemAllocZeroed((DWORD)n * KV_DEVICE_FONT_ENTRY_SIZE);
  for (int i = 0; i < n; ++i) {
    WCHAR *name = (WCHAR *)(list + i * KV_DEVICE_FONT_ENTRY_SIZE + 4);
    name[0] = (WCHAR)c;
    name[1] = (WCHAR)('0' + i);
  }
  return list;
}

TEST_F(SnapshotTest, RollbackRestoresACopyOfTheFontListNeverAFreedOne)
{
  ItemSetRaw(ctx_, 10006, 2);
  ItemSetRaw(ctx_, 10007, (LONG)(intptr_t)MakeFonts(2, 'A'));
  ItemSetRaw(ctx_, 10008, 0);
  ItemSetRaw(ctx_, 10009, 0);
  CtxPushDevmodeSnapshot(ctx_);
  // The printer's fonts are reread: the old list is freed and replaced.
  MemFree((void *)(intptr_t)ItemGetRaw(ctx_, 10007, nullptr));
  ItemSetRaw(ctx_, 10006, 3);
  ItemSetRaw(ctx_, 10007, (LONG)(intptr_t)MakeFonts(3, 'B'));
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 2)), "B2");
  CtxPopDevmodeSnapshot(ctx_, 1);
  EXPECT_EQ(ItemGetRaw(ctx_, 10006, nullptr), 2);
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 0)), "A0");  // a use-after-free would stop ASan here
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 1)), "A1");
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 2)), "");
}

TEST_F(SnapshotTest, EveryLevelOwnsItsListsThroughPushesRollbacksAndCommits)
{
  ItemSetRaw(ctx_, 10008, 0);
  ItemSetRaw(ctx_, 10009, 0);
  ItemSetRaw(ctx_, 10006, 1);
  ItemSetRaw(ctx_, 10007, (LONG)(intptr_t)MakeFonts(1, 'A'));
  // Five pushes, each followed by a new list: the first three fill the levels, the fourth
  // and fifth are refused and keep them, while the work buffer's list is still replaced.
  int pushed = 0;
  for (char c = 'B'; c <= 'F'; ++c) {
    if (CtxPushDevmodeSnapshot(ctx_)) ++pushed;
    MemFree((void *)(intptr_t)ItemGetRaw(ctx_, 10007, nullptr));
    ItemSetRaw(ctx_, 10007, (LONG)(intptr_t)MakeFonts(1, c));
  }
  EXPECT_EQ(pushed, 3);
  EXPECT_TRUE(CtxPopDevmodeSnapshot(ctx_, 0));  // commit: keeps F, drops the level holding C
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 0)), "F0");
  EXPECT_TRUE(CtxPopDevmodeSnapshot(ctx_, 1));
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 0)), "B0");
  EXPECT_TRUE(CtxPopDevmodeSnapshot(ctx_, 1));
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 0)), "A0");
  EXPECT_FALSE(CtxPopDevmodeSnapshot(ctx_, 1));  // nothing left to pop
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 0)), "A0");
  // Each level frees its own copies at teardown; a shared pointer would be freed twice.
}

TEST_F(SnapshotTest, SavedRowsComeBack)
{
  OPTION_ITEM *row = ItemFindById(ctx_, 89);
  row->flags = 0x1234;
  TABLE_REF *saved = ItemSaveTableState(ctx_);
  ASSERT_NE(saved, nullptr);
  ASSERT_NE(saved->rows, nullptr);
  EXPECT_EQ(saved->count, ctx_->items->count);
  EXPECT_NE(saved->rows, ctx_->items->rows);
  row->flags = 0;
  ItemRestoreTableState(ctx_, saved);
  EXPECT_EQ(row->flags, 0x1234u);
  ItemRestoreTableState(ctx_, nullptr);  // nothing

  PlatFaultArm(PLAT_FAULT_ALLOC, 2);  // the reference succeeds, its rows fail
  saved = ItemSaveTableState(ctx_);
  PlatFaultDisarmAll();
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->rows, nullptr);
  row->flags = 7;
  ItemRestoreTableState(ctx_, saved);  // no rows: nothing copied
  EXPECT_EQ(row->flags, 7u);
}

TEST_F(SnapshotTest, FontNamesAcrossBothListsAndSubstitutes)
{
  ItemSetRaw(ctx_, 10006, 2);
  ItemSetRaw(ctx_, 10007, (LONG)(intptr_t)MakeFonts(2, 'D'));
  ItemSetRaw(ctx_, 10008, 1);
  ItemSetRaw(ctx_, 10009, (LONG)(intptr_t)MakeFonts(1, 'O'));
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 1)), "D1");
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 2)), "O0");  // index = device count: first option font
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, 3)), "");
  EXPECT_EQ(NarrowW(ItemGetFontListName(ctx_, -1)), "");

  BYTE *subst = (BYTE *)MemAllocZeroed(2 * KV_FONT_SUBST_ENTRY_SIZE);
  const char *pairs[2][2] = {{"Arial", "Dev1"}, {"Times", "Dev2"}};
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < 2; ++k) {
      WCHAR *dst = (WCHAR *)(subst + i * KV_FONT_SUBST_ENTRY_SIZE + k * 64);
      for (int j = 0; pairs[i][k][j] != 0; ++j) dst[j] = (WCHAR)pairs[i][k][j];
    }
  ItemSetRaw(ctx_, 10004, 2);
  ItemSetRaw(ctx_, 10005, (LONG)(intptr_t)subst);
  EXPECT_EQ(NarrowW(ItemFindFontSubstitute(ctx_, u"Times")), "Dev2");
  EXPECT_EQ(NarrowW(ItemFindFontSubstitute(ctx_, u"Time")), "D0");  // exact names only
  EXPECT_EQ(NarrowW(ItemFindFontSubstitute(ctx_, u"Arial Black")), "D0");
}

}  // namespace
