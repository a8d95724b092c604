// The rules of the sample printer's description (samples/KVSAMPLE.KVD): hidden and greyed
// values per installed option and setting, the conflicts it reports, each alert with its
// buttons and answers, the transactions that follow a change or open a dialog, the
// Exclusive blocks and the DEVMODE conversion function.
#include "compiled_fixture.h"
#include "items/item_store.h"

namespace {

class SampleRulesTest : public CompiledRulesTest {
 protected:
  void SetUp() override
  {
    CompiledRulesTest::SetUp();
    ASSERT_NE(CompileFile(KV_SAMPLE_DIR, "KVSAMPLE.KVD"), nullptr);
    for (const std::string &d : diagnostics_) ADD_FAILURE() << d;
    // A portrait sheet: the staple and punch items read their portrait value IDs (on a
    // landscape sheet they read the "_LAND" IDs, which the sample's judges do not name).
    ItemSetRaw(ctx_, 7, 1);
    ItemSetRaw(ctx_, 56, 0);
  }
  // Item ID of a description name.
  static WORD Id(const char *name)
  {
    const SYMBOL_ENTRY *sym = ItemFindSymbolByName(name);
    EXPECT_TRUE(sym != nullptr && sym->itemId != 0) << name;
    return sym != nullptr ? sym->itemId : 0;
  }
  const DESC_ITEM_NODE *NodeOf(const char *name)
  {
    const DESC_ITEM_NODE *node = Node(Id(name));
    EXPECT_NE(node, nullptr) << name;
    return node;
  }
  void SetNum(const char *item, LONG value) { Set(Id(item), value); }
  void SetName(const char *item, const char *value) { Set(Id(item), Value(value)); }
  LONG GetName(const char *item) { return Get(Id(item)); }
  // Installed options: paper unit, large-capacity tray, manual feed, duplex unit, finisher.
  void Install(int paperUnit, int lct, int manual, int duplex, int finisher)
  {
    SetNum("KPD_kdmSourceOptionType1Step", paperUnit);
    SetNum("KPD_kdmSourceOptionTypeLCT1", lct);
    SetNum("KPD_kdmSourceOptionTypeManual", manual);
    SetNum("KPD_kdmSourceOptionTypeDuplex", duplex);
    SetNum("KPD_kdmOutputOptionTypeFin2000", finisher);
  }
  static WORD Dialog(DRIVER_CONTEXT *ctx, const char *name)
  {
    DIALOG_RECORD *d = DlgFindByName(ctx, name);
    EXPECT_NE(d, nullptr) << name;
    return d != nullptr ? d->templateId : 0;
  }
};

TEST_F(SampleRulesTest, SourceTraysHiddenAndGreyedByInstalledOptions)
{
  const DESC_ITEM_NODE *source = NodeOf("KPD_IDC_SETUP_CHOICE_SOURCETRAY");
  const WORD tray3 = Value("IDS_PAPERSOURCE_TRAY3"), lct = Value("IDS_PAPERSOURCE_LCT");
  const WORD manual = Value("IDS_PAPERSOURCE_MANUAL"), tray1 = Value("IDS_PAPERSOURCE_TRAY1");
  struct Case {
    int paperUnit, lctUnit, manualFeed;
    const char *paper;
    LONG tray3Hidden, lctHidden, lctGrey, manualHidden;
  } cases[] = {
      {0, 0, 0, "IDS_PAPERSIZE_A4", 1, 1, 0, 1},
      {1, 1, 1, "IDS_PAPERSIZE_A4", 0, 0, 0, 0},
      {1, 1, 1, "IDS_PAPERSIZE_LETTER", 0, 0, 0, 0},
      {1, 1, 1, "IDS_PAPERSIZE_A3", 0, 0, 1, 0},  // the large-capacity tray holds A4/Letter only
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.paperUnit << c.lctUnit << c.manualFeed << " " << c.paper);
    Install(c.paperUnit, c.lctUnit, c.manualFeed, 0, 0);
    SetName("KPD_IDC_PAPER_CHOICE_PAPERSIZE", c.paper);
    EXPECT_EQ(RuleIsValueHidden(source, tray3, ctx_) != 0, c.tray3Hidden != 0);
    EXPECT_EQ(RuleIsValueHidden(source, lct, ctx_) != 0, c.lctHidden != 0);
    EXPECT_EQ(RuleIsValueDisabled(source, lct, ctx_) != 0, c.lctGrey != 0);
    EXPECT_EQ(RuleIsValueHidden(source, manual, ctx_) != 0, c.manualHidden != 0);
    EXPECT_EQ(RuleIsValueHidden(source, tray1, ctx_), 0);  // no entry
    EXPECT_EQ(RuleIsValueHidden(source, 0, ctx_), 0);      // no item-level judge
  }
}

TEST_F(SampleRulesTest, PapersAndMediaGreyedBySettings)
{
  const DESC_ITEM_NODE *paper = NodeOf("KPD_IDC_PAPER_CHOICE_PAPERSIZE");
  const DESC_ITEM_NODE *media = NodeOf("KPD_IDC_SETUP_CHOICE_MEDIATYPE");
  Install(1, 1, 1, 1, 1);
  SetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY", "IDS_PAPERSOURCE_TRAY2");
  EXPECT_EQ(RuleIsValueDisabled(paper, Value("IDS_PAPERSIZE_A3"), ctx_), 0);
  EXPECT_NE(RuleIsValueDisabled(paper, Value("IDS_PAPERSIZE_ENV10"), ctx_), 0);  // not the manual feed
  SetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY", "IDS_PAPERSOURCE_TRAY1");
  EXPECT_NE(RuleIsValueDisabled(paper, Value("IDS_PAPERSIZE_A3"), ctx_), 0);
  SetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY", "IDS_PAPERSOURCE_MANUAL");
  EXPECT_EQ(RuleIsValueDisabled(paper, Value("IDS_PAPERSIZE_ENV10"), ctx_), 0);

  SetNum("KPD_IDC_EDIT_CHOICE_DUPLEX", 0);
  EXPECT_EQ(RuleIsValueDisabled(media, Value("IDS_MEDIATYPE_TRANSPARENCY"), ctx_), 0);
  SetNum("KPD_IDC_EDIT_CHOICE_DUPLEX", 1);
  EXPECT_NE(RuleIsValueDisabled(media, Value("IDS_MEDIATYPE_TRANSPARENCY"), ctx_), 0);
  EXPECT_EQ(RuleIsValueDisabled(media, Value("IDS_MEDIATYPE_NORMAL"), ctx_), 0);
}

TEST_F(SampleRulesTest, DuplexAndFinisherItemJudges)
{
  const DESC_ITEM_NODE *duplex = NodeOf("KPD_IDC_EDIT_CHOICE_DUPLEX");
  const DESC_ITEM_NODE *staple = NodeOf("KPD_kdmStapleType");
  Install(1, 1, 1, 0, 0);
  SetName("KPD_IDC_PAPER_CHOICE_PAPERSIZE", "IDS_PAPERSIZE_A4");
  SetName("KPD_IDC_SETUP_CHOICE_MEDIATYPE", "IDS_MEDIATYPE_NORMAL");
  EXPECT_NE(RuleIsValueHidden(duplex, 0, ctx_), 0);
  EXPECT_NE(RuleIsValueHidden(staple, 0, ctx_), 0);
  Install(1, 1, 1, 1, 1);
  EXPECT_EQ(RuleIsValueHidden(duplex, 0, ctx_), 0);
  EXPECT_EQ(RuleIsValueDisabled(duplex, 0, ctx_), 0);
  EXPECT_EQ(RuleIsValueHidden(staple, 0, ctx_), 0);
  EXPECT_EQ(RuleIsValueDisabled(staple, 0, ctx_), 0);
  SetName("KPD_IDC_SETUP_CHOICE_MEDIATYPE", "IDS_MEDIATYPE_ENVELOPE");
  EXPECT_NE(RuleIsValueDisabled(duplex, 0, ctx_), 0);  // heavy media block duplex
  SetName("KPD_IDC_SETUP_CHOICE_MEDIATYPE", "IDS_MEDIATYPE_NORMAL");
  SetName("KPD_IDC_PAPER_CHOICE_PAPERSIZE", "IDS_PAPERSIZE_POSTCARD");
  EXPECT_NE(RuleIsValueDisabled(duplex, 0, ctx_), 0);  // and small papers
  EXPECT_NE(RuleIsValueDisabled(staple, 0, ctx_), 0);
}

TEST_F(SampleRulesTest, DuplexConflictsAndTheirAnswers)
{
  const DESC_ITEM_NODE *duplex = NodeOf("KPD_IDC_EDIT_CHOICE_DUPLEX");
  const WORD conflict = Key("KPD_DuplexOnMessage"), manual = Key("KPD_SourceManualMessage");
  Install(1, 1, 1, 1, 1);
  SetName("KPD_IDC_PAPER_CHOICE_PAPERSIZE", "IDS_PAPERSIZE_A4");
  SetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY", "IDS_PAPERSOURCE_TRAY1");
  SetName("KPD_IDC_SETUP_CHOICE_MEDIATYPE", "IDS_MEDIATYPE_NORMAL");
  SetNum("KPD_IDC_EDIT_CHOICE_DUPLEX", 1);
  EXPECT_EQ(RuleFindAlert(duplex, ctx_), 0);
  SetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY", "IDS_PAPERSOURCE_MANUAL");
  EXPECT_EQ(RuleFindAlert(duplex, ctx_), manual);
  SetName("KPD_IDC_SETUP_CHOICE_MEDIATYPE", "IDS_MEDIATYPE_TRANSPARENCY");
  EXPECT_EQ(RuleFindAlert(duplex, ctx_), conflict);  // both hold: the first alert of the list

  // OK keeps duplex and takes the medium back to its default.
  RuleApplyAlertAnswer(duplex, conflict, 1, ctx_);
  EXPECT_EQ(GetName("KPD_IDC_SETUP_CHOICE_MEDIATYPE"), Value("IDS_MEDIATYPE_NORMAL"));
  EXPECT_EQ(GetName("KPD_IDC_EDIT_CHOICE_DUPLEX"), 1);
  EXPECT_EQ(RuleFindAlert(duplex, ctx_), manual);
  // No to the manual-feed question: the source goes back to automatic selection.
  RuleApplyAlertAnswer(duplex, manual, 7, ctx_);
  EXPECT_EQ(GetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY"), Value("IDS_PAPERSOURCE_AUTO"));
  EXPECT_EQ(RuleFindAlert(duplex, ctx_), 0);
  // Yes: duplex off. Cancel: nothing changes.
  SetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY", "IDS_PAPERSOURCE_MANUAL");
  RuleApplyAlertAnswer(duplex, manual, 2, ctx_);
  EXPECT_EQ(GetName("KPD_IDC_EDIT_CHOICE_DUPLEX"), 1);
  RuleApplyAlertAnswer(duplex, manual, 6, ctx_);
  EXPECT_EQ(GetName("KPD_IDC_EDIT_CHOICE_DUPLEX"), 0);
}

// Every alert of the sample with the icon, buttons and timing the file gives it, and the
// buttons its answers react to.
TEST_F(SampleRulesTest, EveryAlertWithItsButtons)
{
  struct Case {
    const char *item;
    const char *message;
    WORD icon, buttons, timing;
    std::vector<WORD> answers;
  } cases[] = {
      {"KPD_IDC_EDIT_CHOICE_DUPLEX", "KPD_DuplexOnMessage", 0x20, 1, 1, {1, 2}},
      {"KPD_IDC_EDIT_CHOICE_DUPLEX", "KPD_SourceManualMessage", 0x30, 3, 3, {6, 7, 2}},
      {"KPD_IDC_SETUP_CHOICE_SOURCETRAY", "KPD_SourceManualMessage", 0x30, 3, 3, {6, 7, 2}},
      {"KPD_kdmDstResolutionW", "KPD_ResolutionSizeOverMessage", 0x40, 0, 2, {1}},
      {"KPD_IDC_SETUP_CHOICE_PRINTTYPE", "KPD_StoredIllegalMessage", 0x10, 5, 2, {4, 2}},
      {"KPD_IDC_PAPER_EDIT_COPIES", "KPD_CopiesIllegalMessage", 0x10, 0, 0, {1}},
      {"KPD_IDC_PAPER_EDIT_SCALE", "KPD_ScaleIllegalMessage", 0x10, 0, 0, {1}},
      {"KPD_IDC_EDIT_CHOICE_STAMP", "KPD_OverlayStampMessage", 0x20, 4, 1, {6, 7}},
      {"KPD_IDC_PAPER_CHOICE_PAPERSIZE", "KPD_PrintSizeIllegalMessage", 0x30, 2, 3, {3, 4, 5}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.message);
    const DESC_RULE_BLOCK *block = DescFindRuleBlock(Key(c.item), ctx_);
    ASSERT_NE(block, nullptr);
    const DESC_ALERT *alert = RuleFindAlertByMessage(block, Key(c.message));
    ASSERT_NE(alert, nullptr);
    EXPECT_NE(alert->judge, 0u);
    EXPECT_EQ(alert->icon, c.icon);
    EXPECT_EQ(alert->buttons, c.buttons);
    EXPECT_EQ(alert->timing, c.timing);
    std::vector<WORD> answers;
    for (auto *a = (const DESC_ALERT_ACTION *)alert->answers; a != nullptr; a = (const DESC_ALERT_ACTION *)a->next)
      answers.push_back(a->button);
    EXPECT_EQ(answers, c.answers);
  }
}

TEST_F(SampleRulesTest, CopiesScaleAndResolutionAlerts)
{
  const DESC_ITEM_NODE *copies = NodeOf("KPD_IDC_PAPER_EDIT_COPIES");
  const WORD copiesMsg = Key("KPD_CopiesIllegalMessage");
  SetNum("KPD_IDC_PAPER_EDIT_COPIES", 1000);
  EXPECT_EQ(RuleFindAlert(copies, ctx_), copiesMsg);
  EXPECT_EQ(RuleRunItemTransactions(copies, ctx_), 0);  // CopiesFix sets the default
  EXPECT_EQ(GetName("KPD_IDC_PAPER_EDIT_COPIES"), (LONG)DescGetItemDefault(Id("KPD_IDC_PAPER_EDIT_COPIES"), ctx_));
  EXPECT_EQ(RuleFindAlert(copies, ctx_), 0);
  SetNum("KPD_IDC_PAPER_EDIT_COPIES", 0);
  RuleApplyAlertAnswer(copies, copiesMsg, 1, ctx_);
  EXPECT_EQ(RuleFindAlert(copies, ctx_), 0);

  const DESC_ITEM_NODE *scale = NodeOf("KPD_IDC_PAPER_EDIT_SCALE");
  SetNum("KPD_IDC_PAPER_EDIT_SCALE", 10);
  EXPECT_EQ(RuleFindAlert(scale, ctx_), Key("KPD_ScaleIllegalMessage"));
  RuleApplyAlertAnswer(scale, Key("KPD_ScaleIllegalMessage"), 1, ctx_);
  EXPECT_EQ(GetName("KPD_IDC_PAPER_EDIT_SCALE"), (LONG)DescGetItemDefault(Id("KPD_IDC_PAPER_EDIT_SCALE"), ctx_));
  EXPECT_EQ(RuleFindAlert(scale, ctx_), 0);
}

TEST_F(SampleRulesTest, StaplingFollowsTheStapleType)
{
  const DESC_ITEM_NODE *staple = NodeOf("KPD_kdmStapleType");
  Install(1, 1, 1, 1, 1);
  SetName("KPD_kdmStapleType", "IDS_STAPLE_1");
  SetNum("KPD_kdmFuncSelectStaple", 0);
  SetNum("KPD_IDC_PAPER_CHOICE_SORT", 0);
  EXPECT_EQ(RuleRunItemTransactions(staple, ctx_), 0);
  EXPECT_EQ(GetName("KPD_kdmFuncSelectStaple"), 1);
  EXPECT_EQ(GetName("KPD_IDC_PAPER_CHOICE_SORT"), 1);
  EXPECT_EQ(GetName("KPD_kdmOutputTrayID"), Value("KDMDEFOUT_TRAY32"));
  SetName("KPD_kdmStapleType", "IDS_STAPLE_OFF");
  EXPECT_EQ(RuleRunItemTransactions(staple, ctx_), 0);
  EXPECT_EQ(GetName("KPD_kdmFuncSelectStaple"), 0);
}

// An envelope feeds from the manual feed on envelope media; finishing on a small paper is
// switched off (list 1); list 2 of the block is not run after a change.
TEST_F(SampleRulesTest, PaperChangesFollowedByMediaSourceAndFinishing)
{
  const DESC_ITEM_NODE *paper = NodeOf("KPD_IDC_PAPER_CHOICE_PAPERSIZE");
  Install(1, 1, 1, 1, 1);
  SetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY", "IDS_PAPERSOURCE_TRAY1");
  SetName("KPD_IDC_SETUP_CHOICE_MEDIATYPE", "IDS_MEDIATYPE_NORMAL");
  SetName("KPD_kdmStapleType", "IDS_STAPLE_1");
  SetName("KPD_IDC_PAPER_CHOICE_PAPERSIZE", "IDS_PAPERSIZE_ENV10");
  EXPECT_EQ(RuleFindAlert(paper, ctx_), Key("KPD_PrintSizeIllegalMessage"));
  EXPECT_EQ(RuleRunItemTransactions(paper, ctx_), 0);
  EXPECT_EQ(GetName("KPD_IDC_SETUP_CHOICE_MEDIATYPE"), Value("IDS_MEDIATYPE_ENVELOPE"));
  EXPECT_EQ(GetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY"), Value("IDS_PAPERSOURCE_MANUAL"));
  EXPECT_EQ(GetName("KPD_kdmStapleType"), Value("IDS_STAPLE_OFF"));
  EXPECT_EQ(RuleFindAlert(paper, ctx_), 0);

  SetName("KPD_IDC_PAPER_CHOICE_PAPERSIZE", "IDS_PAPERSIZE_A4");
  SetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY", "IDS_PAPERSOURCE_TRAY1");
  EXPECT_EQ(RuleRunItemTransactions(paper, ctx_), 0);
  EXPECT_EQ(GetName("KPD_IDC_SETUP_CHOICE_SOURCETRAY"), Value("IDS_PAPERSOURCE_TRAY1"));
}

TEST_F(SampleRulesTest, AnswersThatOpenADialog)
{
  // Abort on the small-paper finishing alert switches finishing off; its transaction's
  // second entry opens the finishing dialog, which ends that run.
  const DESC_ITEM_NODE *paper = NodeOf("KPD_IDC_PAPER_CHOICE_PAPERSIZE");
  Install(1, 1, 1, 1, 1);
  SetName("KPD_IDC_PAPER_CHOICE_PAPERSIZE", "IDS_PAPERSIZE_POSTCARD");
  SetName("KPD_kdmPunchType", "IDS_PUNCH_1");
  SetNum("KPD_kdmFuncSelectPunch", 1);
  const WORD msg = Key("KPD_PrintSizeIllegalMessage");
  ASSERT_EQ(RuleFindAlert(paper, ctx_), msg);
  RuleApplyAlertAnswer(paper, msg, 5, ctx_);  // Ignore: nothing
  EXPECT_EQ(GetName("KPD_kdmPunchType"), Value("IDS_PUNCH_1"));
  RuleApplyAlertAnswer(paper, msg, 3, ctx_);  // Abort
  EXPECT_EQ(GetName("KPD_kdmPunchType"), Value("IDS_PUNCH_OFF"));
  EXPECT_EQ(GetName("KPD_kdmFuncSelectPunch"), 0);
  const DESC_RULE_BLOCK *block = DescFindRuleBlock(Key("KPD_IDC_PAPER_CHOICE_PAPERSIZE"), ctx_);
  const DESC_ALERT_ACTION *abort = (const DESC_ALERT_ACTION *)RuleFindAlertByMessage(block, msg)->answers;
  EXPECT_EQ(RuleRunTransactions((const DESC_TRANSACTION *)abort->transactions, ctx_), Dialog(ctx_, "KPD_IDD_EDIT"));

  // A text watermark opens the stamp text dialog.
  const DESC_ITEM_NODE *stamp = NodeOf("KPD_IDC_EDIT_CHOICE_STAMP");
  SetNum("KPD_IDC_EDIT_CHOICE_STAMP", 1);
  SetName("KPD_kdmWmKind", "KDMWMKIND_1");
  EXPECT_EQ(RuleRunItemTransactions(stamp, ctx_), Dialog(ctx_, "KPD_IDD_DIALOG_STAMP_CHAR"));
  SetName("KPD_kdmWmKind", "KDMWMKIND_2");
  EXPECT_EQ(RuleRunItemTransactions(stamp, ctx_), 0);
}

// Every rule block of the three Exclusive lines is reachable by its key, and every item of
// the description with a block points at the block of its key.
TEST_F(SampleRulesTest, ExclusiveBlocks)
{
  DWORD blocks = 0;
  for (const DESC_RULE_BLOCK *b = ctx_->desc->header.rules; b != nullptr; b = b->next) {
    ++blocks;
    EXPECT_EQ(DescFindRuleBlock(b->key, ctx_), b) << b->key;
    const DESC_ITEM_NODE *node = DescFindItemNodeByKey(b->key, ctx_);
    if (node != nullptr) {
      EXPECT_EQ(DESC_FIELDPTR(node, DESC_ITEM_NODE, rules), (const BYTE *)b) << b->key;
    }
  }
  EXPECT_EQ(blocks, 18u);
  EXPECT_EQ(DescFindItemNodeByKey(Key("KPD_ConvertDevmode"), ctx_), nullptr);  // a function, no item
  EXPECT_NE(DescFindRuleBlock(Key("KPD_ConvertDevmode"), ctx_), nullptr);
}

TEST_F(SampleRulesTest, TheDevmodeConversionFunction)
{
  const WORD key = Key("KPD_ConvertDevmode");
  const WORD toner = Id("KPD_kdmTonerSave"), area = Id("KPD_IDC_INIT_CHOICE_PRINTAREA");
  SetName("KPD_kdmTonerSave", "KDMTONERSAVE_1");
  SetName("KPD_IDC_INIT_CHOICE_PRINTAREA", "KDMEXTPRINTAREA_1");
  ItemSetRaw(ctx_, 922, 313);
  EXPECT_EQ(RuleRunKeyedTransactions(key, 0, ctx_), 0);
  EXPECT_EQ(Get(toner), Value("KDMTONERSAVE_1"));
  ItemSetRaw(ctx_, 922, 314);
  EXPECT_EQ(RuleRunKeyedTransactions(key, 0, ctx_), 0);
  EXPECT_EQ(Get(toner), (LONG)DescGetItemDefault(toner, ctx_));
  EXPECT_EQ(Get(area), (LONG)DescGetItemDefault(area, ctx_));
  EXPECT_EQ(Get(toner), Value("KDMTONERSAVE_0"));
}

TEST_F(SampleRulesTest, AllItemTransactionsSettleTheSettings)
{
  Install(1, 1, 1, 1, 1);
  SetName("KPD_kdmStapleType", "IDS_STAPLE_1");
  SetNum("KPD_kdmFuncSelectStaple", 0);
  SetNum("KPD_IDC_PAPER_EDIT_COPIES", 5000);
  RuleRunAllItemTransactions(ctx_);
  EXPECT_EQ(GetName("KPD_kdmFuncSelectStaple"), 1);
  EXPECT_EQ(GetName("KPD_IDC_PAPER_EDIT_COPIES"), (LONG)DescGetItemDefault(Id("KPD_IDC_PAPER_EDIT_COPIES"), ctx_));
}

}  // namespace
