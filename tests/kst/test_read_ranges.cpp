// Numbers read from settings files are held to their items' ranges: a table of stored texts
// outside them (each corrected and counted by the read report) and inside them (taken as
// they are); and files cut short, which are taken up to the line before the cut, with that
// line reported.
#include <gtest/gtest.h>

#include "kst_fixture.h"
#include "model/model.h"

namespace {

class ReadRangeTest : public KstTest {
 protected:
  void SetUp() override
  {
    KstTest::SetUp();
    ApplySampleSettings();
    ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
    written_ = Read(kFile);
  }
  // The written preset file with the key's line holding text instead.
  std::string With(const std::string &key, const std::string &text) const
  {
    std::string out = written_;
    size_t at = out.find("\n" + key + "=");
    EXPECT_NE(std::string::npos, at) << key;
    if (at == std::string::npos) return out;
    size_t end = out.find("\r\n", at + 1);
    out.replace(at + 1, end - at - 1, key + "=" + text);
    return out;
  }
  // Reads the file into the fresh settings as flags say, with a report.
  int ReadReported(DWORD flags, KST_READ_REPORT *report)
  {
    ResetWork();
    rows_.assign(8, KST_CORRECTION{});
    *report = {rows_.data(), static_cast<DWORD>(rows_.size()), 99, 99};
    return StoreReadSettingsFileReport(printer_, kFile, flags, ctx_, report);
  }
  std::string written_;
  std::vector<KST_CORRECTION> rows_;
};

TEST_F(ReadRangeTest, NumbersOutsideTheirItemsRangeAreCorrectedAndCounted)
{
  const MODEL_RECORD *m = ctx_->model;
  struct Case {
    WORD id;
    const char *text;  // the stored text
    LONG after;        // the item after a plain read (an import)
    bool corrected;    // counted by the read report
  } cases[] = {
      // The scale and the copies: the model's range (or the node's), else the model's default.
      {ITEM_dmScale, "65535", 100, true},  // past the signed word it would have been cut into (-1)
      {ITEM_dmScale, "0", 100, true},
      {ITEM_dmScale, "-7", 100, true},
      {ITEM_dmScale, "250", 250, false},
      {ITEM_dmCopies, "5000", 1, true},
      {ITEM_dmCopies, "12abc", 1, true},  // no number
      {ITEM_dmCopies, "", 1, false},      // empty: a missing key, the item keeps its value
      {ITEM_dmCopies, " 7 ", 7, false},
      // The preset number: 0-15 or none; a read always ends on none.
      {ITEM_kdmPresetNo, "65535", -1, true},
      {ITEM_kdmPresetNo, "300", -1, true},
      {ITEM_kdmPresetNo, "3", -1, false},
      // Custom sizes in 1200-dpi dots: 0 to the model's maximum, else clamped.
      {ITEM_wdmFreeSize1Width, "4294967295", m->customWidthMax, true},
      {ITEM_wdmFreeSize1Width, "-1", 0, true},
      {ITEM_wdmFreeSize3Length, "99999999999999", m->customLengthMax, true},
      {ITEM_wdmFreeSizeWidth, "10205", m->customWidthMax, true},
      {ITEM_wdmFreeSize1Width, "5000", 5000, false},
      {ITEM_wdmFreeSize1Width, "0", 0, false},
      // A Numeric description node: its range, else the description's default.
      {ITEM_kdmScaleH, "999", 100, true},
      {ITEM_kdmScaleH, "150", 150, false},
      // No description node, a fixed range in the check table: its reset value.
      {ITEM_kdmSeparationSheetCycle, "150", 1, true},
      {ITEM_kdmSeparationSheetCycle, "99", 99, false},
      // Only the field bounds the number: the nearer end of the field.
      {ITEM_wdmFreeSize2Tray, "70000", 65535, true},
      {ITEM_wdmFreeSize2Tray, "abc", 0, true},  // no number: the item keeps its value
  };
  for (const Case &c : cases) {
    OPTION_ITEM *item = ItemFindById(ctx_, c.id);
    ASSERT_NE(nullptr, item);
    std::string key = Narrow(item->name);
    SCOPED_TRACE(key + "=" + c.text);
    Write(kFile, With(key, c.text));
    KST_READ_REPORT report;
    ASSERT_EQ(1, ReadReported(0, &report));
    ASSERT_EQ(0u, CtxGetSettingsFileStatus(ctx_));
    EXPECT_EQ(c.after, Raw(c.id));
    EXPECT_EQ(c.corrected ? 1u : 0u, report.corrected);
    EXPECT_EQ(0u, report.cutLine);
    if (c.corrected && report.corrected == 1) {
      EXPECT_EQ(c.id, rows_[0].itemId);
      EXPECT_EQ(std::string(c.text), Narrow(rows_[0].text));
    }
  }
}

// The same values read without the follow-up of a preset read (as the item check of a file
// reads them) are corrected alike: the correction is the read's, not the merge's.
TEST_F(ReadRangeTest, TheReadItselfCorrectsWithoutTheMerge)
{
  Write(kFile, With("dmScale", "65535"));
  KST_READ_REPORT report;
  ASSERT_EQ(1, ReadReported(KST_DRIVER_SECTION, &report));
  EXPECT_EQ(100, Raw(ITEM_dmScale));
  Write(kFile, With("kdmPresetNo", "65535"));
  ASSERT_EQ(1, ReadReported(KST_DRIVER_SECTION, &report));
  EXPECT_EQ(-1, Raw(ITEM_kdmPresetNo));
  EXPECT_EQ(1u, report.corrected);
  // Without a report the read corrects all the same.
  ResetWork();
  ASSERT_EQ(1, StoreReadSettingsFile(printer_, kFile, KST_DRIVER_SECTION, ctx_));
  EXPECT_EQ(-1, Raw(ITEM_kdmPresetNo));
  EXPECT_EQ(nullptr, ctx_->state->readReport);
}

// A file whose last line has no line end was cut short: the lines before the cut are taken,
// the cut line is not (its value may be cut too), and the report names it.
TEST_F(ReadRangeTest, AFileCutShortIsTakenUpToTheCutLine)
{
  SetRaw(ITEM_dmScale, 87);
  SetRaw(ITEM_dmCopies, 123);
  SetRaw(ITEM_kdmBrightness, 7);
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  std::string whole = Read(kFile);
  size_t copies = whole.find("\ndmCopies=123\r\n");
  ASSERT_NE(std::string::npos, copies);
  DWORD copiesLine = 2;
  for (size_t i = 0; i < copies; ++i) copiesLine += whole[i] == '\n';
  struct Case {
    const char *name;
    std::string text;
    DWORD cutLine;
    LONG copies, brightness;
  } cases[] = {
      {"cut inside the value", whole.substr(0, copies + 12), copiesLine, 1, 0},  // "dmCopies=12"
      {"cut inside the key", whole.substr(0, copies + 4), copiesLine, 1, 0},
      {"cut between CR and LF", whole.substr(0, copies + 14), copiesLine, 1, 0},
      {"cut at a line end", whole.substr(0, copies + 15), 0, 123, 0},
      {"whole", whole, 0, 123, 7},
      {"cut in a later section", whole + "[Other]\r\nkey=va", 0, 123, 7},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Write(kFile, c.text);
    SetRaw(ITEM_dmScale, 100);
    KST_READ_REPORT report;
    ASSERT_EQ(1, ReadReported(KST_DRIVER_SECTION, &report));
    EXPECT_EQ(0u, CtxGetSettingsFileStatus(ctx_));
    EXPECT_EQ(c.cutLine, report.cutLine);
    EXPECT_EQ(87, Raw(ITEM_dmScale)) << "the lines before the cut are taken";
    EXPECT_EQ(c.copies, Raw(ITEM_dmCopies));
    EXPECT_EQ(c.brightness, Raw(ITEM_kdmBrightness));
  }
}

}  // namespace
