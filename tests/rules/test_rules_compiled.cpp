// The rules of a compiled description (tests/fixtures/rules/rules_small.kvd): hidden and
// greyed values per setting, alerts with their buttons and answers, transactions that set
// items or open a dialog, the named model function, the run over every item.
#include "compiled_fixture.h"
#include "items/item_store.h"

namespace {

class SmallRulesTest : public CompiledRulesTest {
 protected:
  void SetUp() override
  {
    CompiledRulesTest::SetUp();
    ASSERT_NE(CompileFile(KV_RULES_FIXTURES, "rules_small.kvd"), nullptr);
    for (const std::string &d : diagnostics_) ADD_FAILURE() << d;
  }
  static constexpr WORD kColor = 15, kPaper = 8, kCopies = 12, kMedia = 54;
  const WORD mono = Value("IDS_COLOR_MONOCHROME"), color = Value("IDS_COLOR_COLOR");
  const WORD normal = Value("IDS_MEDIATYPE_NORMAL"), ohp = Value("IDS_MEDIATYPE_TRANSPARENCY");
  const WORD glossy = Value("IDS_MEDIATYPE_GLOSSY"), envelope = Value("IDS_MEDIATYPE_ENVELOPE");
  const WORD a3 = Value("IDS_PAPERSIZE_A3"), a4 = Value("IDS_PAPERSIZE_A4");
};

TEST_F(SmallRulesTest, LookupsOfTheCompiledItems)
{
  EXPECT_EQ(DescGetItemType(kMedia, ctx_), DESC_TYPE_PICK_ONE);
  EXPECT_EQ(DescCountItemValues(kMedia, ctx_), 4);
  EXPECT_EQ(DescGetItemDefault(kMedia, ctx_), normal);
  EXPECT_EQ(DescGetItemDefault(kColor, ctx_), color);
  EXPECT_EQ(DescGetItemDefault(kCopies, ctx_), 1u);  // "3 1 1 999 ...": number 1, default, ...
  EXPECT_EQ(DescCountItemValues(kCopies, ctx_), 0);
  EXPECT_EQ(NarrowW(DescGetUiResDllName(ctx_)), "kvmlr_us.dll");
  EXPECT_EQ((const void *)DescFindItemNodeByKey(Key("KPD_IDC_SETUP_CHOICE_MEDIATYPE"), ctx_), Node(kMedia));
  const DESC_RULE_BLOCK *block = DescFindRuleBlock(Key("KPD_IDC_SETUP_CHOICE_MEDIATYPE"), ctx_);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(DESC_FIELDPTR(Node(kMedia), DESC_ITEM_NODE, rules), (const BYTE *)block);
  EXPECT_EQ(DescCountList((const void *)block->valueRules), 3u);
  EXPECT_NE(DescFindRuleBlock(Key("KPD_ConvertDevmode"), ctx_), nullptr);
  EXPECT_EQ(DescFindRuleBlock(Key("KPD_RADIOLIST_6"), ctx_), nullptr);
}

TEST_F(SmallRulesTest, HiddenAndGreyedValuesFollowTheSettings)
{
  const DESC_ITEM_NODE *media = Node(kMedia);
  const DESC_ITEM_NODE *paper = Node(kPaper);
  struct Case {
    WORD color, paper, media, orientation;
    LONG glossyHidden, glossyGrey, envelopeGrey, paperHidden, a3Hidden, a3Grey;
  } cases[] = {
      {color, a4, normal, 1, 0, 0, 0, 0, 0, 0},
      {mono, a4, normal, 1, 1, 0, 0, 0, 0, 0},  // only the first entry of a value counts
      {color, a3, normal, 1, 0, 0, 1, 0, 0, 0},
      {color, a4, ohp, 1, 0, 0, 0, 1, 1, 0},     // item-level and value judge of the paper
      {color, a4, normal, 2, 0, 0, 0, 0, 0, 1},  // a computed item: the sheet lies landscape
  };
  ItemSetRaw(ctx_, 56, 0);
  for (const Case &c : cases) {
    Set(kColor, c.color);
    Set(kPaper, c.paper);
    Set(kMedia, c.media);
    ItemSetRaw(ctx_, 7, c.orientation);
    SCOPED_TRACE(testing::Message() << c.color << " " << c.paper << " " << c.media << " " << c.orientation);
    EXPECT_EQ(RuleIsValueHidden(media, glossy, ctx_), c.glossyHidden);
    EXPECT_EQ(RuleIsValueDisabled(media, glossy, ctx_), c.glossyGrey);
    EXPECT_EQ(RuleIsValueDisabled(media, envelope, ctx_), c.envelopeGrey);
    EXPECT_EQ(RuleIsValueHidden(media, envelope, ctx_), 0);
    EXPECT_EQ(RuleIsValueHidden(media, normal, ctx_), 0);
    EXPECT_EQ(RuleIsValueHidden(paper, 0, ctx_), c.paperHidden);
    EXPECT_EQ(RuleIsValueHidden(paper, a3, ctx_), c.a3Hidden);
    EXPECT_EQ(RuleIsValueDisabled(paper, a3, ctx_), c.a3Grey);
    EXPECT_EQ(RuleIsValueDisabled(paper, 0, ctx_), 0);
  }
}

TEST_F(SmallRulesTest, AlertsWithTheirButtons)
{
  const DESC_ITEM_NODE *media = Node(kMedia);
  const DESC_RULE_BLOCK *block = DescFindRuleBlock(Key("KPD_IDC_SETUP_CHOICE_MEDIATYPE"), ctx_);
  const WORD duplexMsg = Key("KPD_DuplexOnMessage"), nupMsg = Key("KPD_NupOnMessage");
  Set(kMedia, normal);
  EXPECT_EQ(RuleFindAlert(media, ctx_), 0);
  Set(kMedia, ohp);
  Set(kColor, color);
  EXPECT_EQ(RuleFindAlert(media, ctx_), duplexMsg);  // both fire: the first is answered
  Set(kColor, mono);
  EXPECT_EQ(RuleFindAlert(media, ctx_), nupMsg);

  const DESC_ALERT *ask = RuleFindAlertByMessage(block, duplexMsg);
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(ask->icon, 0x20);  // MB_ICONQUESTION
  EXPECT_EQ(ask->buttons, 1);  // MB_OKCANCEL
  EXPECT_EQ(ask->timing, 1);   // AlertProperty
  EXPECT_EQ(DescCountList((const void *)ask->answers), 2u);
  const DESC_ALERT *info = RuleFindAlertByMessage(block, nupMsg);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->icon, 0x40);
  EXPECT_EQ(info->buttons, 0);
  EXPECT_EQ(info->timing, 0);
  EXPECT_EQ(info->answers, 0u);
}

TEST_F(SmallRulesTest, AnswersToAnAlert)
{
  const DESC_ITEM_NODE *media = Node(kMedia);
  const WORD msg = Key("KPD_DuplexOnMessage");
  Set(kMedia, ohp);
  Set(kColor, color);
  Set(kPaper, a3);
  ItemSetValue(ctx_, KV_BUILTIN_FUNC_ITEM, 0);

  RuleApplyAlertAnswer(media, msg, 7 /* IDNO: no entry */, ctx_);
  RuleApplyAlertAnswer(media, Key("KPD_CopiesIllegalMessage"), 1, ctx_);  // not this item's alert
  EXPECT_EQ(Get(kColor), color);
  EXPECT_EQ(Get(kMedia), ohp);

  // OK: the colour follows; the second entry re-evaluates its (now false) judge, so the paper
  // stays; the unconditional entry runs the built-in function item (stored here).
  RuleApplyAlertAnswer(media, msg, 1, ctx_);
  EXPECT_EQ(Get(kColor), mono);
  EXPECT_EQ(Get(kPaper), a3);
  EXPECT_EQ(Get(KV_BUILTIN_FUNC_ITEM), 1);

  // Cancel: the medium goes back to its description default.
  RuleApplyAlertAnswer(media, msg, 2, ctx_);
  EXPECT_EQ(Get(kMedia), normal);
  EXPECT_EQ(RuleFindAlert(media, ctx_), 0);
}

TEST_F(SmallRulesTest, TransactionsSetItemsOrOpenADialog)
{
  const DESC_ITEM_NODE *copies = Node(kCopies);
  Set(kPaper, a3);
  Set(kCopies, 150);
  EXPECT_EQ(RuleRunItemTransactions(copies, ctx_), DlgFindByName(ctx_, "KPD_IDD_SETUP")->templateId);
  EXPECT_EQ(Get(kCopies), 150);  // the action after the open-dialog action does not run
  EXPECT_EQ(Get(kPaper), a3);    // nor does the next entry
  EXPECT_EQ(RuleIsValueDisabled(copies, 0, ctx_), 1);

  Set(kCopies, 0);
  EXPECT_EQ(RuleRunItemTransactions(copies, ctx_), 0);  // list 2 (CopiesFix) is not list 1
  EXPECT_EQ(Get(kCopies), 0);
  EXPECT_EQ(RuleFindAlert(copies, ctx_), Key("KPD_CopiesIllegalMessage"));
  RuleApplyAlertAnswer(copies, Key("KPD_CopiesIllegalMessage"), 1, ctx_);
  EXPECT_EQ(Get(kCopies), 1);  // "Default": the description default
  EXPECT_EQ(RuleFindAlert(copies, ctx_), 0);
}

TEST_F(SmallRulesTest, TheNamedModelFunction)
{
  const WORD key = Key("KPD_ConvertDevmode");
  ASSERT_NE(key, 0);
  Set(kCopies, 2);
  ItemSetRaw(ctx_, 922, 1);
  EXPECT_EQ(RuleRunKeyedTransactions(key, 0, ctx_), 0);
  EXPECT_EQ(Get(kCopies), 2);
  ItemSetRaw(ctx_, 922, 2);
  EXPECT_EQ(RuleRunKeyedTransactions(key, 0, ctx_), 0);
  EXPECT_EQ(Get(kCopies), 7);
  EXPECT_EQ(ItemGetRaw(ctx_, 922, nullptr), 3);
}

TEST_F(SmallRulesTest, EveryItemsTransactions)
{
  Set(kMedia, ohp);
  Set(kColor, color);
  Set(kPaper, a3);
  Set(kCopies, 150);  // opens a dialog: ignored here
  ItemSetValue(ctx_, KV_BUILTIN_FUNC_ITEM, 0);
  RuleRunAllItemTransactions(ctx_);
  EXPECT_EQ(Get(kColor), mono);
  EXPECT_EQ(Get(kPaper), a3);
  EXPECT_EQ(Get(kCopies), 150);
  EXPECT_EQ(Get(KV_BUILTIN_FUNC_ITEM), 1);
}

}  // namespace
