// Stamps and custom paper sizes on the sample context: counts, moves on delete, the model
// INI's defaults, the slot records and the paper ids of the slots.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "files/ini.h"
#include "list_fixture.h"
#include "model/model.h"
#include "names/names_paths.h"

namespace {

class StampSizeTest : public ListTest {
 protected:
  int StampCount() { return ListGetStampCount(ctx_); }
  // Saves stamp index with its text.
  void SaveStamp(int index, const char *text)
  {
    SetText(ITEM_wdmWmChar, text);
    ASSERT_EQ(ListSaveStamp(ctx_, index), 1) << index;
  }
  std::string StampText(int index)
  {
    SetText(ITEM_wdmWmChar, "");
    ListLoadStamp(ctx_, index);
    return Text(ITEM_wdmWmChar);
  }
  std::u16string SizeSection(int slot)
  {
    WCHAR name[300];
    return ListFormatFreeSizeSection(name, slot, 0, ctx_);
  }
  // Writes a model INI for the context with the given text.
  void PutModelIni(const std::string &text) { Write(CtxGetModelIniPath(ctx_), text); }
  std::u16string StampSection(int index)
  {
    WCHAR name[300];
    return ListFormatStampSection(name, index, 0, ctx_);
  }
  // Writes the section of stamp index as an older driver left it: its text and a key the
  // present item set does not know.
  void PutOldStamp(int index, const char *text)
  {
    std::u16string section = StampSection(index);
    IniWriteString(section.c_str(), u"wdmWmChar", U16(text).c_str(), Ini().c_str());
    IniWriteString(section.c_str(), u"Stale", u"1", Ini().c_str());
  }
  void DropStampSection(int index) { IniWriteString(StampSection(index).c_str(), nullptr, nullptr, Ini().c_str()); }
  // "<none>" when the stamp's section is missing, else its text and "+stale" while the
  // section still has the old key.
  std::string StoredStamp(int index)
  {
    std::u16string section = StampSection(index);
    WCHAR probe[8];
    if (GetPrivateProfileSectionW(section.c_str(), probe, 8, Ini().c_str()) == 0) return "<none>";
    return IniValue(section.c_str(), u"wdmWmChar") + (IniValue(section.c_str(), u"Stale").empty() ? "" : "+stale");
  }
};

TEST_F(StampSizeTest, SavingAStampRaisesTheCountPastItsIndexExceptTheEditStamp)
{
  for (int i = 0; i < 3; ++i) SaveStamp(i, ("S" + std::to_string(i)).c_str());
  EXPECT_EQ(StampCount(), 3);
  SaveStamp(5, "S5");
  EXPECT_EQ(StampCount(), 6);
  SaveStamp(KV_STAMP_EDIT_INDEX, "edit");
  EXPECT_EQ(StampCount(), 6);
  SaveStamp(1, "S1b");
  EXPECT_EQ(StampCount(), 6);
  EXPECT_EQ(StampText(5), "S5");
  EXPECT_EQ(Raw(ITEM_kdmWmID), 5);
  EXPECT_EQ(StampText(1), "S1b");
  EXPECT_EQ(ListSaveStamp(ctx_, -1), 0);
  // A damaged count reads as 0.
  IniWriteString(Lang().c_str(), u"StampCount", u"-4", Ini().c_str());
  EXPECT_EQ(StampCount(), 0);
}

TEST_F(StampSizeTest, DeletingAStampMovesTheLaterOnesDownAndChecksItsIndex)
{
  for (int i = 0; i < 4; ++i) SaveStamp(i, ("S" + std::to_string(i)).c_str());
  SetRaw(ITEM_dmCopies, 9);
  SetText(ITEM_wdmWmChar, "mine");
  // Indexes outside the list change nothing.
  for (int bad : {-1, 4, 100}) {
    EXPECT_EQ(ListDeleteStamp(ctx_, bad), 0) << bad;
    EXPECT_EQ(StampCount(), 4);
  }
  EXPECT_EQ(ListDeleteStamp(ctx_, 1), 1);
  EXPECT_EQ(StampCount(), 3);
  EXPECT_EQ(Text(ITEM_wdmWmChar), "mine");  // the caller's settings are back
  EXPECT_EQ(Raw(ITEM_dmCopies), 9);
  EXPECT_EQ(StampText(0), "S0");
  EXPECT_EQ(StampText(1), "S2");
  EXPECT_EQ(StampText(2), "S3");
  WCHAR old[300];
  ListFormatStampSection(old, 3, 0, ctx_);
  EXPECT_NE(IniValue(old, u"wdmWmChar"), "");  // the old last section stays, uncounted
  // Down to none, and never below.
  for (int left = 3; left > 0; --left) EXPECT_EQ(ListDeleteStamp(ctx_, 0), 1);
  EXPECT_EQ(StampCount(), 0);
  EXPECT_EQ(ListDeleteStamp(ctx_, 0), 0);
  EXPECT_EQ(StampCount(), 0);
  // A barred user cannot delete: nothing moves and the count stays.
  SaveStamp(0, "A");
  SaveStamp(1, "B");
  SetBarred(true);
  EXPECT_EQ(ListDeleteStamp(ctx_, 0), 0);
  EXPECT_EQ(ListSaveStamp(ctx_, 2), 0);
  SetBarred(false);
  EXPECT_EQ(StampCount(), 2);
  EXPECT_EQ(StampText(0), "A");
}

// Rewriting every stamp brings each stored one to the present item set, leaves a gap of the
// list a gap, and never walks to the edit stamp or past it, whatever the count says.
TEST_F(StampSizeTest, ResavingEveryStampKeepsGapsAndStopsBeforeTheEditStamp)
{
  const int probes[] = {0, 1, 2, 3, 255, 256, 257, 299};
  struct Case {
    const char *count;
    std::vector<int> stored;
    std::vector<std::string> want;  // StoredStamp of each probe after the rewrite
  } cases[] = {
      {"3", {0, 1, 2}, {"S0", "S1", "S2", "<none>", "<none>", "<none>", "<none>", "<none>"}},
      {"4", {0, 1, 3}, {"S0", "S1", "<none>", "S3", "<none>", "<none>", "<none>", "<none>"}},
      {"300", {0, 256}, {"S0", "<none>", "<none>", "<none>", "<none>", "S256+stale", "<none>", "<none>"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.count);
    for (int i : probes) DropStampSection(i);
    for (int i : c.stored) PutOldStamp(i, ("S" + std::to_string(i)).c_str());
    IniWriteString(Lang().c_str(), u"StampCount", U16(c.count).c_str(), Ini().c_str());
    SetText(ITEM_wdmWmChar, "mine");
    SetRaw(ITEM_kdmWmID, 7);
    EXPECT_EQ(ListResaveAllStamps(ctx_), 1);
    EXPECT_EQ(Text(ITEM_wdmWmChar), "mine");
    EXPECT_EQ(Raw(ITEM_kdmWmID), 7);
    EXPECT_EQ(IniValue(Lang().c_str(), u"StampCount"), c.count);
    for (size_t p = 0; p < sizeof probes / sizeof probes[0]; ++p)
      EXPECT_EQ(StoredStamp(probes[p]), c.want[p]) << "stamp " << probes[p];
  }
}

// Deleting a stamp moves every later one down, a gap as a gap; a count past the edit stamp
// counts as the stamps before it, and the edit stamp stays where it is.
TEST_F(StampSizeTest, DeletingAStampMovesGapsDownAndLeavesTheEditStamp)
{
  const int probes[] = {0, 1, 2, 3, 4, 5, 255, 256};
  struct Case {
    const char *count;
    std::vector<int> stored;
    int index;
    int countAfter;
    std::vector<std::string> want;
  } cases[] = {
      // Moved stamps are saved again (without the old key); the old last one stays behind.
      {"6", {0, 1, 2, 5}, 1, 5, {"S0+stale", "S2", "<none>", "<none>", "S5", "S5+stale", "<none>", "<none>"}},
      {"300", {0, 1, 256}, 0, 255, {"S1", "<none>", "<none>", "<none>", "<none>", "<none>", "<none>", "S256+stale"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.count);
    for (int i : probes) DropStampSection(i);
    for (int i : c.stored) PutOldStamp(i, ("S" + std::to_string(i)).c_str());
    IniWriteString(Lang().c_str(), u"StampCount", U16(c.count).c_str(), Ini().c_str());
    EXPECT_EQ(ListDeleteStamp(ctx_, c.index), 1);
    EXPECT_EQ(StampCount(), c.countAfter);
    for (size_t p = 0; p < sizeof probes / sizeof probes[0]; ++p)
      EXPECT_EQ(StoredStamp(probes[p]), c.want[p]) << "stamp " << probes[p];
  }
  EXPECT_EQ(ListDeleteStamp(ctx_, 256), 0) << "the edit stamp is no stamp of the list";
}

// The selected stamp is reloaded only when a stamp is selected and its kind is one of the
// listed kinds.
TEST_F(StampSizeTest, TheSelectedStampIsReloadedOnlyForAListedKind)
{
  SaveStamp(0, "S0");
  SaveStamp(1, "S1");
  struct Case {
    LONG select, kind, id;
    int answer;
    const char *text;
  } cases[] = {
      {1, 1, 1, 1, "S1"},   {1, 3, 0, 1, "S0"},   {1, 128, 1, 1, "S1"},  // listed kinds
      {0, 1, 1, 0, "mine"},                                              // no stamp selected
      {1, 0, 1, 0, "mine"}, {1, 4, 1, 0, "mine"},                        // kinds not listed
      {1, 2, 7, 1, "mine"},                                              // no such stamp: nothing read
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.select << " " << c.kind << " " << c.id);
    SetText(ITEM_wdmWmChar, "mine");
    SetRaw(ITEM_kdmFuncSelectWaterMark, c.select);
    SetRaw(ITEM_kdmWmKind, c.kind);
    SetRaw(ITEM_kdmWmID, c.id);
    EXPECT_EQ(ListReloadSelectedStamp(ctx_), c.answer);
    EXPECT_EQ(Text(ITEM_wdmWmChar), c.text);
  }
}

// Rewriting every custom size loads and saves each of the ten sections on a snapshot: the
// sections come in the present item set, what they held stays, and the caller's settings
// come back.
TEST_F(StampSizeTest, ResavingEveryCustomSizeRewritesEachSection)
{
  std::u16string s0 = SizeSection(0), s1 = SizeSection(1);
  for (const auto &kv : std::vector<std::pair<const WCHAR *, const WCHAR *>>{{u"wdmFreeSizeName", u"Card"},
                                                                             {u"wdmFreeSizeWidth", u"1000"},
                                                                             {u"wdmFreeSizeLength", u"2000"},
                                                                             {u"wdmFreeSizeTray", u"2"},
                                                                             {u"Stale", u"1"}})
    IniWriteString(s0.c_str(), kv.first, kv.second, Ini().c_str());
  IniWriteString(s1.c_str(), u"wdmFreeSizeWidth", u"1500", Ini().c_str());
  IniWriteString(s1.c_str(), u"Stale", u"1", Ini().c_str());
  SetText(ITEM_wdmFreeSizeName, "mine");
  SetRaw(ITEM_wdmFreeSizeWidth, 77);
  SetRaw(ListGetFreeSizeItemTable()[0].width, 66);
  EXPECT_EQ(ListResaveAllFreeSizes(ctx_), 1);
  EXPECT_EQ(Text(ITEM_wdmFreeSizeName), "mine");
  EXPECT_EQ(Raw(ITEM_wdmFreeSizeWidth), 77);
  EXPECT_EQ(Raw(ListGetFreeSizeItemTable()[0].width), 66);
  struct Case {
    int slot;
    const char *name, *width, *length, *tray;
  } cases[] = {
      {0, "Card", "1000", "2000", "2"},
      {1, "", "1500", "0", "0"},  // what the section lacked reads as zero
      // A slot that was never saved gets a section holding what its load answers: the
      // package's default for the slot, A4 portrait (210 x 297 mm in 1200-dpi dots) on tray 4.
      {5, "", "9921", "14031", "4"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.slot);
    std::u16string section = SizeSection(c.slot);
    EXPECT_EQ(IniValue(section.c_str(), u"KstVersion"), "314");
    EXPECT_EQ(IniValue(section.c_str(), u"Stale"), "");
    EXPECT_EQ(IniValue(section.c_str(), u"wdmFreeSizeName"), c.name);
    EXPECT_EQ(IniValue(section.c_str(), u"wdmFreeSizeWidth"), c.width);
    EXPECT_EQ(IniValue(section.c_str(), u"wdmFreeSizeLength"), c.length);
    EXPECT_EQ(IniValue(section.c_str(), u"wdmFreeSizeTray"), c.tray);
  }
}

TEST_F(StampSizeTest, StampsOfTheModelIniAndOfAnyFile)
{
  std::string lang = Narrow(Lang().c_str());
  std::string stamp = "[" + lang + "]\r\nStampCount=2\r\n[Stamp1" + lang + "]\r\nwdmWmChar=DRAFT\r\n";
  PutModelIni(stamp);
  EXPECT_EQ(ListGetModelStampCount(ctx_), 2);
  SetText(ITEM_wdmWmChar, "");
  ListLoadModelStamp(ctx_, 1);
  EXPECT_EQ(Text(ITEM_wdmWmChar), "DRAFT");
  EXPECT_EQ(Raw(ITEM_kdmWmID), 1);
  Write(u"C:\\kst\\bundle.ini", stamp);
  EXPECT_EQ(ListGetStampCountOfFile(u"C:\\kst\\bundle.ini", ctx_), 2);
  SetText(ITEM_wdmWmChar, "");
  EXPECT_EQ(ListLoadStampOfFile(u"C:\\kst\\bundle.ini", 1, ctx_), 1);
  EXPECT_EQ(Text(ITEM_wdmWmChar), "DRAFT");
  EXPECT_EQ(ListGetStampCountOfFile(u"C:\\kst\\missing.ini", ctx_), 0);
}

TEST_F(StampSizeTest, APresetLoadReloadsItsStampOrClearsAStaleSelection)
{
  SaveStamp(0, "S0");
  SaveStamp(1, "S1");
  // Preset items select stamp 1; the stamp's own text comes from its section.
  PutPrinterValue("PresetList0", InListDir("p0.kst").c_str());
  PutPrinterValue("Count", "1");
  SetRaw(ITEM_kdmFuncSelectWaterMark, 1);
  SetRaw(ITEM_kdmWmID, 1);
  SetRaw(ITEM_kdmWmKind, 1);
  ASSERT_EQ(ListSavePreset(ctx_, 0), 1);
  SetText(ITEM_wdmWmChar, "");
  ListSelectPreset(ctx_, 0);
  EXPECT_EQ(Text(ITEM_wdmWmChar), "S1");
  EXPECT_EQ(Raw(ITEM_kdmWmID), 1);
  // With one stamp left, the selection of stamp 1 is stale: it is cleared.
  ListWriteStampCount(ctx_, 1);
  ListPresetCache(ctx_, nullptr, LIST_CACHE_FREE);
  ListSelectPreset(ctx_, 0);
  EXPECT_EQ(Raw(ITEM_kdmFuncSelectWaterMark), 0);
  EXPECT_EQ(Raw(ITEM_kdmWmID), 0);
}

TEST_F(StampSizeTest, TenUserSizesAreSavedListedLoadedAndDeleted)
{
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) {
    FREE_SIZE_SLOT &rec = ctx_->state->freeSizeSlots[slot];
    memset(&rec, 0, sizeof rec);
    snprintf(rec.userName, sizeof rec.userName, "Size %d", slot);
    rec.width = 5000 + slot;
    rec.length = 7000 + slot;
    rec.tray = (SHORT)(slot % 3);
    rec.orientation = (SHORT)(1 + slot % 2);
  }
  SetRaw(ITEM_dmCopies, 4);
  ASSERT_EQ(ListSaveAllFreeSizes(ctx_), 1);
  EXPECT_EQ(Raw(ITEM_dmCopies), 4);
  // Every slot has its section; a fresh load fills the records and the slot items.
  memset(ctx_->state->freeSizeSlots, 0, sizeof ctx_->state->freeSizeSlots);
  CtxClearUiFlags(ctx_, KV_UI_FLAG_FREE_SIZES_LOADED);
  ASSERT_EQ(ListLoadAllFreeSizes(ctx_), 1);
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) {
    SCOPED_TRACE(slot);
    const FREE_SIZE_SLOT &rec = ctx_->state->freeSizeSlots[slot];
    EXPECT_EQ(std::string(rec.userName), "Size " + std::to_string(slot));
    EXPECT_EQ(rec.width, 5000 + slot);
    EXPECT_EQ(rec.length, 7000 + slot);
    EXPECT_EQ(rec.tray, slot % 3);
    EXPECT_EQ(rec.orientation, 1 + slot % 2);
    const FREE_SIZE_ITEM_ROW &row = ListGetFreeSizeItemTable()[slot];
    EXPECT_EQ(Raw(row.width), 5000 + slot);
    EXPECT_EQ(Raw(row.orientation), 1 + slot % 2);
  }
  EXPECT_EQ(ListGetFreeSizeItemTable()[KV_FREE_SIZE_SLOTS].width, 0);
  // Once per context: a second call reads nothing.
  IniWriteString(SizeSection(0).c_str(), u"wdmFreeSizeWidth", u"6000", Ini().c_str());
  ASSERT_EQ(ListLoadAllFreeSizes(ctx_), 1);
  EXPECT_EQ(ctx_->state->freeSizeSlots[0].width, 5000);
  // One slot loaded on its own: the items follow the section.
  ASSERT_EQ(ListLoadFreeSize(ctx_, 0), 1);
  EXPECT_EQ(Raw(ITEM_wdmFreeSizeWidth), 6000);
  EXPECT_EQ(Raw(ListGetFreeSizeItemTable()[0].width), 6000);
  EXPECT_EQ(ListLoadFreeSize(ctx_, 10), 0);
  EXPECT_EQ(ListLoadFreeSize(ctx_, -1), 0);
  // Deleting a size: the slot's record is emptied and saved again.
  memset(&ctx_->state->freeSizeSlots[3], 0, sizeof(FREE_SIZE_SLOT));
  ASSERT_EQ(ListSaveAllFreeSizes(ctx_), 1);
  EXPECT_EQ(IniGetInt(SizeSection(3).c_str(), u"wdmFreeSizeWidth", 77, Ini().c_str()), 0u);
  // The write bar keeps the stored sizes.
  SetBarred(true);
  ctx_->state->freeSizeSlots[4].width = 1;
  EXPECT_EQ(ListSaveAllFreeSizes(ctx_), 0);
  EXPECT_EQ(IniGetInt(SizeSection(4).c_str(), u"wdmFreeSizeWidth", 0, Ini().c_str()), 5004u);
}

TEST_F(StampSizeTest, ModelDefaultsFillEverySlotAndMissingSectionsGiveA4)
{
  std::string lang = Narrow(Lang().c_str());
  PutModelIni("[" + lang + "]\r\nFreeSizeCount=10\r\n[FreeSize1" + lang +
              "]\r\nwdmFreeSizeWidth=4300\r\nwdmFreeSizeLength=7000\r\nwdmFreeSizeTray=2\r\nwdmFreeSizeOrient=2\r\n");
  EXPECT_EQ(ListGetModelFreeSizeCount(ctx_), 10);
  ListLoadFreeSizeDefaults(ctx_);
  const FREE_SIZE_SLOT *slots = ctx_->state->freeSizeSlots;
  EXPECT_EQ(slots[0].width, 9921);
  EXPECT_EQ(slots[0].length, 14031);
  EXPECT_EQ(slots[0].tray, 4);
  EXPECT_EQ(slots[0].orientation, 1);
  EXPECT_EQ(slots[1].width, 4300);
  EXPECT_EQ(slots[1].length, 7000);
  EXPECT_EQ(slots[1].tray, 2);
  EXPECT_EQ(slots[1].orientation, 2);
  // Any count but exactly ten means no defaults.
  PutModelIni("[" + lang + "]\r\nFreeSizeCount=9\r\n");
  EXPECT_EQ(ListGetModelFreeSizeCount(ctx_), 0);
}

// The sample package's model INI carries default stamps and custom sizes per language.
TEST_F(StampSizeTest, TheSampleModelIniCarriesDefaultStampsAndSizes)
{
  std::ifstream in(KV_SAMPLE_DIR "/kvmlmodl.ini", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  ASSERT_FALSE(text.str().empty());
  PutModelIni(text.str());
  EXPECT_EQ(ListGetModelStampCount(ctx_), 2);
  SetText(ITEM_wdmWmChar, "");
  ListLoadModelStamp(ctx_, 0);
  EXPECT_EQ(Text(ITEM_wdmWmChar), "CONFIDENTIAL");
  EXPECT_EQ(ListGetModelFreeSizeCount(ctx_), 10);
  ListLoadFreeSizeDefaults(ctx_);
  EXPECT_EQ(ctx_->state->freeSizeSlots[0].width, 4724);
  EXPECT_EQ(ctx_->state->freeSizeSlots[0].length, 6992);
  EXPECT_EQ(ctx_->state->freeSizeSlots[5].width, 9921);
  SetText(ITEM_wdmFreeSizeName, "");
  ListLoadModelFreeSize(ctx_, 1);
  EXPECT_EQ(Text(ITEM_wdmFreeSizeName), "Index card 5x8");
  EXPECT_EQ(Raw(ITEM_wdmFreeSizeWidth), 6000);
}

// A slot whose section the settings INI does not hold loads its default of the driver
// package, into the custom-size items, the source custom-size items, the slot items and
// the records; a slot that was saved loads what was saved.
TEST_F(StampSizeTest, SizesNeverSavedLoadTheModelDefaults)
{
  std::ifstream in(KV_SAMPLE_DIR "/kvmlmodl.ini", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  ASSERT_FALSE(text.str().empty());
  PutModelIni(text.str());
  IniWriteString(SizeSection(3).c_str(), u"wdmFreeSizeWidth", u"7000", Ini().c_str());
  IniWriteString(SizeSection(3).c_str(), u"wdmFreeSizeLength", u"8000", Ini().c_str());
  struct Case {
    int slot;
    LONG width, length, tray, orientation;
  } cases[] = {
      {0, 4724, 6992, 4, 1},   // the sample package's postcard
      {2, 9921, 42520, 4, 1},  // its banner
      {5, 9921, 14031, 4, 1},  // no section in the model INI either: A4 portrait, tray 4
      {3, 7000, 8000, 0, 0},   // saved without tray and orientation
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.slot);
    SetRaw(ITEM_wdmFreeSizeWidth, 1);
    ListLoadFreeSize(ctx_, c.slot);
    EXPECT_EQ(Raw(ITEM_wdmFreeSizeWidth), c.width);
    EXPECT_EQ(Raw(ITEM_wdmFreeSizeLength), c.length);
    EXPECT_EQ(Raw(ITEM_wdmFreeSizeTray), c.tray);
    EXPECT_EQ(Raw(ITEM_wdmFreeSizeOrient), c.orientation);
    const FREE_SIZE_ITEM_ROW &row = ListGetFreeSizeItemTable()[c.slot];
    EXPECT_EQ(Raw(row.width), c.width);
    EXPECT_EQ(Raw(row.length), c.length);
    if (c.slot == 3) continue;  // the source items of a saved size are read under their own keys
    ListLoadSrcFreeSize(ctx_, c.slot);
    EXPECT_EQ(Raw(ITEM_wdmSrcFreeSizeWidth), c.width);
    EXPECT_EQ(Raw(ITEM_wdmSrcFreeSizeLength), c.length);
    EXPECT_EQ(Raw(ITEM_wdmSrcFreeSizeTray), c.tray);
  }
  memset(ctx_->state->freeSizeSlots, 0, sizeof ctx_->state->freeSizeSlots);
  CtxClearUiFlags(ctx_, KV_UI_FLAG_FREE_SIZES_LOADED);
  ASSERT_EQ(ListLoadAllFreeSizes(ctx_), 1);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.slot);
    const FREE_SIZE_SLOT &rec = ctx_->state->freeSizeSlots[c.slot];
    EXPECT_EQ(rec.width, c.width);
    EXPECT_EQ(rec.length, c.length);
    EXPECT_EQ(rec.tray, c.tray);
    EXPECT_EQ(rec.orientation, c.orientation);
  }
  // Loading them wrote nothing into the settings INI.
  EXPECT_EQ(IniValue(SizeSection(0).c_str(), u"wdmFreeSizeWidth"), "");
}

TEST_F(StampSizeTest, SlotsAndPaperIds)
{
  struct {
    int slot, count;
    WORD paper;
  } toPaper[] = {{0, 10, 384}, {9, 10, 393}, {10, 12, 256}, {11, 12, 448}, {11, 10, 0},
                 {10, 10, 0},  {13, 12, 0},  {-1, 12, 0},   {12, 12, 0}};
  for (const auto &c : toPaper)
    EXPECT_EQ(ListSlotToPaperId(c.slot, c.count, ctx_), c.paper) << c.slot << "/" << c.count;
  struct {
    WORD paper;
    int slot;
  } toSlot[] = {{384, 0}, {393, 9}, {256, 10}, {448, 11}, {999, 0}, {1, 0}};
  for (const auto &c : toSlot) EXPECT_EQ(ListPaperIdToSlot(c.paper, ctx_), c.slot) << c.paper;
  EXPECT_EQ(ListIsFreeSizePaper(384), 1);
  EXPECT_EQ(ListIsFreeSizePaper(0x10000 | 393), 1);
  EXPECT_EQ(ListIsFreeSizePaper(394), 0);
  EXPECT_EQ(ListIsFreeSizePaper(256), 0);
  EXPECT_EQ(ListGetFreeSizeSlotCount(ctx_), 10);
  EXPECT_EQ(ListGetPaperSlotCount(ctx_), 12);
  // The two fixed papers take their sizes from their DEVMODE items.
  SetRaw(ITEM_kdmPaperFreeSizeWidth, 6000);
  SetRaw(ITEM_kdmPaperFreeSizeLength, 8000);
  SetRaw(ITEM_kdmPaperFreeSizeTray, 3);
  ListFillFixedSizeSlot(ctx_, 256, 10);
  EXPECT_EQ(ctx_->state->freeSizeSlots[10].width, ItemGetValue(ctx_, ITEM_kdmPaperFreeSizeWidth, nullptr));
  EXPECT_EQ(ctx_->state->freeSizeSlots[10].tray, 3);
  ListFillFixedSizeSlot(ctx_, 256, 12);  // no such slot: nothing, no overrun
  ListFillFixedSizeSlot(ctx_, 9, 11);    // not a free-size paper: nothing
  EXPECT_EQ(ctx_->state->freeSizeSlots[11].width, 0);
}

TEST_F(StampSizeTest, ChoosingACustomSizeAsPaperLoadsItsSlot)
{
  std::u16string section = SizeSection(2);
  IniWriteString(section.c_str(), u"wdmFreeSizeWidth", u"5555", Ini().c_str());
  IniWriteString(section.c_str(), u"wdmFreeSizeLength", u"6666", Ini().c_str());
  struct {
    SHORT what;
    WORD item;
    LONG paper;
    LONG width;
  } cases[] = {
      {3, ITEM_dmPaperSize, 386, 5555},   {4, ITEM_kdmOutPaperSize, 386, 5555}, {3, ITEM_dmPaperSize, 9, 0},
      {4, ITEM_kdmOutPaperSize, 1024, 0}, {2, ITEM_dmPaperSize, 386, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    SetRaw(ITEM_dmPaperSize, 9);
    SetRaw(ITEM_kdmOutPaperSize, 1024);
    SetRaw(ITEM_wdmFreeSizeWidth, 0);
    SetRaw(ListGetFreeSizeItemTable()[2].width, 0);
    SetRaw(c.item, c.paper);
    ItemApplyPaperChange(ctx_, c.what);
    EXPECT_EQ(Raw(ITEM_wdmFreeSizeWidth), c.width);
    EXPECT_EQ(Raw(ListGetFreeSizeItemTable()[2].width), c.width);
  }
}

}  // namespace
