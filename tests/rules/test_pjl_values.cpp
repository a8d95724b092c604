// Value availability: condition chains of the PJL variable table (settings and feature
// codes), the lookup of an item's variable, the lists of available values with their
// buffer answers, the sort choice behind collation, and the trial of values that must
// survive the re-derivation of dependent settings without leaving traces.
#include <cstring>
#include <vector>

#include "devmode/devmode_paper.h"
#include "hooks/module_hooks.h"
#include "kvplat/control.h"
#include "pjl_table_swap.h"
#include "rules/pjl_values.h"
#include "rules_fixture.h"
#include "tables/item_ids.h"

namespace {

using PjlValuesTest = RulesTest;

// Items whose fields hold any small number as written (no translation table): the chain
// tests call them P, Q and R.
const WORD kP = ITEM_kdmSortType;       // u8
const WORD kQ = ITEM_kdmMarkPaperType;  // u8
const WORD kR = ITEM_kdmCoverType;      // u8

// A chain of up to four entries built in place; next pointers link them in order.
struct Chain {
  RULE_CONDITION e[4] = {};
  Chain(std::initializer_list<RULE_CONDITION> entries)
  {
    size_t n = 0;
    for (const RULE_CONDITION &c : entries) e[n++] = c;
    for (size_t i = 0; i + 1 < n; ++i) e[i].next = &e[i + 1];
  }
  const RULE_CONDITION *head() const { return &e[0]; }
};
RULE_CONDITION Entry(DWORD item, DWORD value, DWORD connector) { return {nullptr, item, value, connector}; }

// P, Q, R hold when their item has the value 1 (a case's bits: 1 P, 2 Q, 4 R).
void SetPQR(DRIVER_CONTEXT *ctx, int bits)
{
  ItemSetRaw(ctx, kP, (bits & 1) ? 1 : 5);
  ItemSetRaw(ctx, kQ, (bits & 2) ? 1 : 5);
  ItemSetRaw(ctx, kR, (bits & 4) ? 1 : 5);
}

TEST_F(PjlValuesTest, ConditionChainsJoinTermsAndClauses)
{
  // (P AND Q) OR R, as one clause, the last entry ending it.
  Chain andOr({Entry(kP, 1, KV_COND_AND), Entry(kQ, 1, KV_COND_OR), Entry(kR, 1, KV_COND_END_CLAUSE)});
  // The same with the chain simply ending after R (connector 0).
  Chain andOrOpen({Entry(kP, 1, KV_COND_AND), Entry(kQ, 1, KV_COND_OR), Entry(kR, 1, KV_COND_OR)});
  // (P OR Q) AND (R): two clauses.
  Chain twoClauses({Entry(kP, 1, KV_COND_OR), Entry(kQ, 1, KV_COND_END_CLAUSE), Entry(kR, 1, KV_COND_END_CLAUSE)});
  // Any connector with bit value 2 joins the term (3, 6); any other non-zero one ends the
  // clause (5): P AND Q, then (R).
  Chain oddConnectors({Entry(kP, 1, 3), Entry(kQ, 1, 5), Entry(kR, 1, 6)});
  // A term whose last entry still asks to join a next one: the chain ends inside it.
  Chain dangling({Entry(kP, 1, KV_COND_AND)});
  struct Case {
    const char *name;
    const Chain *chain;
    int bits;
    int holds;
  } cases[] = {
      {"(P&Q)|R, R only", &andOr, 4, 1},
      {"(P&Q)|R, P and Q", &andOr, 3, 1},
      {"(P&Q)|R, none", &andOr, 0, 0},
      {"(P&Q)|R, P only", &andOr, 1, 0},
      {"(P&Q)|R, Q and R", &andOr, 6, 1},
      {"open (P&Q)|R, R only", &andOrOpen, 4, 1},
      {"open (P&Q)|R, none", &andOrOpen, 0, 0},
      {"open (P&Q)|R, P and Q", &andOrOpen, 3, 1},
      {"(P|Q)&R, P not R", &twoClauses, 1, 0},
      {"(P|Q)&R, Q and R", &twoClauses, 6, 1},
      {"(P|Q)&R, P and R", &twoClauses, 5, 1},
      {"(P|Q)&R, R only", &twoClauses, 4, 0},
      {"(P|Q)&R, all", &twoClauses, 7, 1},
      {"P&Q then R, all", &oddConnectors, 7, 1},
      {"P&Q then R, P and Q", &oddConnectors, 3, 0},
      {"P&Q then R, Q and R", &oddConnectors, 6, 0},
      {"dangling P, P", &dangling, 1, 1},
      {"dangling P, none", &dangling, 0, 0},
  };
  for (const Case &c : cases) {
    SetPQR(ctx_, c.bits);
    EXPECT_EQ(RuleEvalSettingCondition(ctx_, c.chain->head()), c.holds) << c.name;
  }
  EXPECT_EQ(RuleEvalSettingCondition(ctx_, nullptr), 1) << "an empty chain holds";
}

TEST_F(PjlValuesTest, ConditionEntriesCompareStoredValues)
{
  ItemSetRaw(ctx_, ITEM_dmCopies, -2);  // s16: reads back as 0xFFFFFFFE
  RULE_CONDITION negative = {nullptr, ITEM_dmCopies, 0xFFFFFFFEu, 1};
  EXPECT_EQ(RuleEvalSettingCondition(ctx_, &negative), 1);
  // Item IDs that name no option row read as 0; one above 16 bits is not cut to another item.
  ItemSetRaw(ctx_, kP, 7);
  RULE_CONDITION wide = {nullptr, 0x10000u + kP, 7, 1};
  EXPECT_EQ(RuleEvalSettingCondition(ctx_, &wide), 0);
  wide.value = 0;
  EXPECT_EQ(RuleEvalSettingCondition(ctx_, &wide), 1);
  // A chain that loops back on itself ends in a failure instead of running forever.
  RULE_CONDITION loop[2] = {{&loop[1], kP, 7, KV_COND_AND}, {&loop[0], kP, 7, KV_COND_AND}};
  EXPECT_EQ(RuleEvalSettingCondition(ctx_, loop), 0);
  loop[1].connector = KV_COND_OR;
  loop[1].value = 9;  // fails, then starts the next term at the loop's head again
  EXPECT_EQ(RuleEvalSettingCondition(ctx_, loop), 0);
}

// Chains up to KV_RULE_CHAIN_MAX entries are walked to their end; one entry more fails,
// whatever the entries say. Every entry holds (P is 1), joined into one term (AND) or into
// one clause of single-entry terms (OR, passed over once the first term holds).
TEST_F(PjlValuesTest, ChainsUpToTheLimitAreWalkedWhole)
{
  struct Case {
    DWORD length;
    DWORD connector;
    bool feature;
    int holds;
  } cases[] = {
      {KV_RULE_CHAIN_MAX - 1, KV_COND_AND, false, 1}, {KV_RULE_CHAIN_MAX, KV_COND_AND, false, 1},
      {KV_RULE_CHAIN_MAX + 1, KV_COND_AND, false, 0}, {KV_RULE_CHAIN_MAX, KV_COND_OR, false, 1},
      {KV_RULE_CHAIN_MAX + 1, KV_COND_OR, false, 0},  {KV_RULE_CHAIN_MAX, KV_COND_AND, true, 1},
      {KV_RULE_CHAIN_MAX + 1, KV_COND_AND, true, 0},
  };
  ItemSetRaw(ctx_, kP, 1);
  ItemSetRaw(ctx_, 250, 1);  // what feature code 10020 stands for
  for (const Case &c : cases) {
    std::vector<RULE_CONDITION> chain(c.length);
    for (DWORD i = 0; i < c.length; ++i)
      chain[i] = {i + 1 < c.length ? &chain[i + 1] : nullptr, c.feature ? 10020u : kP, 1, c.connector};
    int answer =
        c.feature ? RuleEvalFeatureCondition(ctx_, chain.data()) : RuleEvalSettingCondition(ctx_, chain.data());
    EXPECT_EQ(answer, c.holds) << c.length << " entries, connector " << c.connector << (c.feature ? ", feature" : "");
  }
}

TEST_F(PjlValuesTest, FeatureCodesMapThroughTheFiveRanges)
{
  struct Case {
    DWORD code;
    DWORD item;
  } cases[] = {{10013, 0},   {10014, 244}, {10020, 250}, {10045, 275}, {10046, 276},    {10070, 300}, {10077, 307},
               {10078, 308}, {10109, 339}, {10110, 0},   {10200, 0},   {10289, 0},      {10290, 412}, {10321, 443},
               {10322, 479}, {10353, 510}, {10354, 0},   {0, 0},       {0xFFFFFFFFu, 0}};
  for (const Case &c : cases) EXPECT_EQ(RuleMapFeatureCode(c.code), c.item) << c.code;
  EXPECT_EQ(g_kvRuleCodeRanges[5].firstCode, 0u) << "a zero row ends the table";
}

TEST_F(PjlValuesTest, FeatureConditionsTestTheMirroringItemAndSkipUnknownCodes)
{
  RULE_CONDITION bank = {nullptr, 10020, 1, 1};
  ItemSetRaw(ctx_, 250, 1);
  ItemSetRaw(ctx_, 10020, 0);  // the configuration item itself is not what is tested
  EXPECT_EQ(RuleEvalFeatureCondition(ctx_, &bank), 1);
  ItemSetRaw(ctx_, 250, 0);
  ItemSetRaw(ctx_, 10020, 1);
  EXPECT_EQ(RuleEvalFeatureCondition(ctx_, &bank), 0);
  // Code 10200 is in no range: the entry is left out with its connector, so "10200 ends the
  // clause" does not cut the chain, and a chain of only unknown codes holds.
  RULE_CONDITION unknown[2] = {{&unknown[1], 10200, 1, KV_COND_END_CLAUSE}, {nullptr, 10020, 1, 1}};
  ItemSetRaw(ctx_, 250, 1);
  EXPECT_EQ(RuleEvalFeatureCondition(ctx_, unknown), 1);
  ItemSetRaw(ctx_, 250, 0);
  EXPECT_EQ(RuleEvalFeatureCondition(ctx_, unknown), 0);
  EXPECT_EQ(RuleEvalFeatureCondition(ctx_, &unknown[0]), 0);
  RULE_CONDITION onlyUnknown = {nullptr, 10200, 1, 1};
  EXPECT_EQ(RuleEvalFeatureCondition(ctx_, &onlyUnknown), 1);
  // The same entry read as a setting condition tests item 10200 (no option row: 0).
  EXPECT_EQ(RuleEvalSettingCondition(ctx_, &onlyUnknown), 0);
}

// A hand-built table: values of item P with conditions on Q, a flagged catch-all, and the
// variable's own usage and feature condition.
class PjlTableTest : public PjlValuesTest {
 protected:
  void SetUp() override
  {
    PjlValuesTest::SetUp();
    values_[0] = {KV_PJL_VALUE_NO_ITEM_VALUE, 0, "OFF", nullptr, nullptr, nullptr, nullptr};
    values_[1] = {0, 4, "A", nullptr, nullptr, &qIs1_, nullptr};
    values_[2] = {0, 6, "B", nullptr, nullptr, nullptr, nullptr};
    values_[3] = {0, 9, "C", nullptr, nullptr, &qIs2_, nullptr};
    rows_[0] = {
        0,       0,      KV_PJL_CONV_VALUE_TABLE, KV_PJL_USE_BASE, KV_PJL_TYPE_PICKONE, "NOITEM", nullptr, 4, values_,
        nullptr, nullptr};
    rows_[1] = {
        kP,      0,      KV_PJL_CONV_VALUE_TABLE, KV_PJL_USE_BASE, KV_PJL_TYPE_PICKONE, "VAR", nullptr, 4, values_,
        nullptr, nullptr};
    rows_[2] = {
        kP,      0,      KV_PJL_CONV_VALUE_TABLE, KV_PJL_USE_BASE, KV_PJL_TYPE_PICKONE, "LATER", nullptr, 1, values_,
        nullptr, nullptr};
    swap_.reset(new PjlTableSwap(rows_, 3));
  }
  void TearDown() override
  {
    swap_.reset();
    PjlValuesTest::TearDown();
  }
  std::vector<DWORD> List(WORD item, int *answer)
  {
    DWORD buf[8] = {};
    DWORD count = 99;
    *answer = PjlListAllowedValues(ctx_, item, 8, buf, &count);
    return std::vector<DWORD>(buf, buf + (count <= 8 ? count : 0));
  }

  RULE_CONDITION qIs1_ = {nullptr, kQ, 1, 1};
  RULE_CONDITION qIs2_ = {nullptr, kQ, 2, 1};
  PJL_VALUE_ROW values_[4] = {};
  PJL_VARIABLE_ROW rows_[3] = {};
  std::unique_ptr<PjlTableSwap> swap_;
};

TEST_F(PjlTableTest, TheFirstRowOfAnItemIsTheOnlyOneTried)
{
  EXPECT_EQ(PjlFindVariable(ctx_, kP, KV_PJL_USE_BASE), &rows_[1]);
  EXPECT_EQ(PjlFindVariable(ctx_, 0, KV_PJL_USE_BASE), nullptr) << "a row without item is never found";
  EXPECT_EQ(PjlFindVariable(ctx_, kQ, KV_PJL_USE_BASE), nullptr);
  // The first row of the item lacks the usage: the later row of the same item is not tried.
  rows_[2].usageMask = KV_PJL_USE_OPTION;
  EXPECT_EQ(PjlFindVariable(ctx_, kP, KV_PJL_USE_OPTION), nullptr);
  // The condition applies only with usage bit 2, as a feature condition.
  RULE_CONDITION bank = {nullptr, 10020, 1, 1};
  rows_[1].condition = &bank;
  ItemSetRaw(ctx_, 250, 0);
  EXPECT_EQ(PjlFindVariable(ctx_, kP, KV_PJL_USE_BASE), &rows_[1]) << "usage 1 only: the condition is not read";
  rows_[1].usageMask = KV_PJL_USE_BASE | KV_PJL_USE_OPTION;
  EXPECT_EQ(PjlFindVariable(ctx_, kP, KV_PJL_USE_BASE), nullptr);
  ItemSetRaw(ctx_, 250, 1);
  EXPECT_EQ(PjlFindVariable(ctx_, kP, KV_PJL_USE_BASE), &rows_[1]);
}

TEST_F(PjlTableTest, AllowedValuesFollowTheValueConditions)
{
  struct Case {
    LONG q;
    std::vector<DWORD> allowed;
  } cases[] = {{0, {0, 6}}, {1, {0, 4, 6}}, {2, {0, 6, 9}}};
  for (const Case &c : cases) {
    ItemSetRaw(ctx_, kQ, c.q);
    int answer = -2;
    EXPECT_EQ(List(kP, &answer), c.allowed) << "Q=" << c.q;
    EXPECT_EQ(answer, 0);
  }
  // A row without the trial flag is decided by the condition alone: its item is untouched.
  ItemSetRaw(ctx_, kP, 77);
  ItemSetRaw(ctx_, kQ, 0);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &rows_[1], &values_[3]), 0);
  ItemSetRaw(ctx_, kQ, 2);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &rows_[1], &values_[3]), 1);
  EXPECT_EQ(ItemGetRaw(ctx_, kP, nullptr), 77);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, nullptr, &values_[3]), 0);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &rows_[1], nullptr), 0);
  EXPECT_EQ(PjlIsValueAllowed(nullptr, &rows_[1], &values_[3]), 0);
}

TEST_F(PjlTableTest, BufferAnswersCountAndCopyOnlyWhatFits)
{
  ItemSetRaw(ctx_, kQ, 1);  // three allowed: 0, 4, 6
  DWORD buf[4] = {0xAA, 0xAA, 0xAA, 0xAA};
  DWORD count = 0;
  EXPECT_EQ(PjlListAllowedValues(ctx_, kP, 2, buf, &count), 1);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(buf[0], 0xAAu) << "nothing is copied into a buffer that is too small";
  EXPECT_EQ(buf[1], 0xAAu);
  count = 0;
  EXPECT_EQ(PjlListAllowedValues(ctx_, kP, 0, nullptr, &count), 1) << "no buffer: the count only";
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(PjlListAllowedValues(ctx_, kP, 3, buf, nullptr), 0) << "the count is optional";
  EXPECT_EQ(buf[0], 0u);
  EXPECT_EQ(buf[1], 4u);
  EXPECT_EQ(buf[2], 6u);
  EXPECT_EQ(buf[3], 0xAAu) << "only the count is written";
  // Skipping the flagged catch-all.
  count = 0;
  EXPECT_EQ(PjlCollectAllowedValues(ctx_, kP, 4, buf, &count, 1), 0);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(buf[0], 4u);
  EXPECT_EQ(buf[1], 6u);
}

TEST_F(PjlTableTest, NothingToListAnswersZeroWithCountZero)
{
  DWORD count = 99;
  EXPECT_EQ(PjlListAllowedValues(ctx_, kQ, 0, nullptr, &count), 0) << "no variable";
  EXPECT_EQ(count, 0u);
  rows_[1].valueCount = 0;
  count = 99;
  EXPECT_EQ(PjlListAllowedValues(ctx_, kP, 0, nullptr, &count), 0) << "no values";
  EXPECT_EQ(count, 0u);
  rows_[1].valueCount = 4;
  rows_[1].values = nullptr;
  count = 99;
  EXPECT_EQ(PjlListAllowedValues(ctx_, kP, 0, nullptr, &count), 0) << "no value table";
  EXPECT_EQ(count, 0u);
  rows_[1].values = values_;
  // Every value refused by its condition.
  RULE_CONDITION never = {nullptr, kQ, 200, 1};
  for (PJL_VALUE_ROW &v : values_) v.condition = &never;
  count = 99;
  EXPECT_EQ(PjlListAllowedValues(ctx_, kP, 0, nullptr, &count), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(PjlHasAllowedValue(ctx_, kP), 0);
  EXPECT_EQ(PjlIsSortSelectable(ctx_), 0);
}

TEST_F(PjlTableTest, OutOfMemoryAnswersMinusOneWithCountZero)
{
  DWORD count = 99;
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(PjlListAllowedValues(ctx_, kP, 0, nullptr, &count), -1);
  PlatFaultDisarmAll();
  EXPECT_EQ(count, 0u);
  // The sort choice: the first listing works, the array for the second cannot be had.
  ItemSetRaw(ctx_, kQ, 1);
  PlatFaultArm(PLAT_FAULT_ALLOC, 2);
  EXPECT_EQ(PjlIsSortSelectable(ctx_), 0);
  PlatFaultDisarmAll();
  EXPECT_EQ(PjlIsSortSelectable(ctx_), 1);
}

TEST_F(PjlTableTest, ARealChoiceIsOneWithoutFlagBitZero)
{
  ItemSetRaw(ctx_, kQ, 0);  // 0 (flagged) and 6
  EXPECT_EQ(PjlHasAllowedValue(ctx_, kP), 1);
  values_[2].flags = KV_PJL_VALUE_NO_ITEM_VALUE;  // now only flagged values are allowed
  EXPECT_EQ(PjlHasAllowedValue(ctx_, kP), 0);
  DWORD count = 0;
  EXPECT_EQ(PjlListAllowedValues(ctx_, kP, 0, nullptr, &count), 1) << "listed all the same";
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(PjlHasAllowedValue(ctx_, kQ), 0) << "an item without variable";
}

// The sort choice reads the variable of item 119 (which kP is).
TEST_F(PjlTableTest, TheSortTypeOffersAChoiceUnlessOnlyZeroIsAllowed)
{
  ASSERT_EQ(kP, ITEM_kdmSortType);
  struct Case {
    DWORD catchAllValue;
    LONG q;
    int bFlags;
    int selectable;
  } cases[] = {
      {0, 0, 0, 1},      // 0 and 6
      {0, 0, 0x100, 1},  // flags other than bit 0 do not matter here
      {6, 5, 0, 1},      // only non-zero values
  };
  for (const Case &c : cases) {
    values_[0].itemValue = c.catchAllValue;
    values_[2].flags = (DWORD)c.bFlags;
    ItemSetRaw(ctx_, kQ, c.q);
    EXPECT_EQ(PjlIsSortSelectable(ctx_), c.selectable) << c.catchAllValue << "/" << c.q;
    EXPECT_EQ(DmCanCollate(ctx_), c.selectable);
  }
  // Only the value 0 allowed: no choice.
  RULE_CONDITION never = {nullptr, kQ, 200, 1};
  values_[0].itemValue = 0;
  values_[2].condition = &never;
  ItemSetRaw(ctx_, kQ, 0);
  EXPECT_EQ(PjlIsSortSelectable(ctx_), 0);
  EXPECT_EQ(DmCanCollate(ctx_), 0);
  // A single non-zero value is a choice.
  values_[0].condition = &never;
  values_[2].condition = nullptr;
  EXPECT_EQ(PjlIsSortSelectable(ctx_), 1);
  EXPECT_EQ(DmCanCollate(nullptr), 0);
}

// ---- Trials ----

// A variable of item P checked by trial: each value sets P and the companion settings; the
// description's transactions may set them back.
class PjlTrialTest : public PjlValuesTest {
 protected:
  void SetUp() override
  {
    PjlValuesTest::SetUp();
    // Value "X" (P := 4) brings Q := 7; value "Y" (P := 6) brings Q := 8 and the
    // configuration item Tray1Paper := 9; "FREE" sets no item value of its own; the row
    // itself always brings R := 3.
    settingsX_ = {nullptr, kQ, 7, 0};
    settingsY_[0] = {&settingsY_[1], kQ, 8, 0};
    settingsY_[1] = {nullptr, ITEM_kdmTray1Paper, 9, 0};
    rowSettings_ = {nullptr, kR, 3, 0};
    values_[0] = {0, 4, "X", nullptr, &settingsX_, nullptr, nullptr};
    values_[1] = {0, 6, "Y", nullptr, settingsY_, nullptr, nullptr};
    values_[2] = {KV_PJL_VALUE_NO_ITEM_VALUE, 0, "FREE", nullptr, nullptr, nullptr, nullptr};
    row_ = {kP,
            0,
            KV_PJL_CONV_VALUE_TABLE | KV_PJL_CONV_TRIAL,
            KV_PJL_USE_BASE,
            KV_PJL_TYPE_PICKONE,
            "TRY",
            &rowSettings_,
            3,
            values_,
            nullptr,
            nullptr};
    swap_.reset(new PjlTableSwap(&row_, 1));
    // The description: when P is 4, Q goes back to 0 (a transaction of Q's node).
    BYTE *q = b_.AddItem(kQ, 1, DESC_TYPE_PICK_ONE);
    DESC_TRANSACTION *t =
        b_.AddTransaction(&b_.AddRuleBlock(1, q)->transactions1, b_.AddCode({I(kP), L(4), O(RULE_OP_EQ), E()}));
    b_.AddAction(t, kQ, 0, 0);
    ItemSetRaw(ctx_, kP, 1);
    ItemSetRaw(ctx_, kQ, 2);
    ItemSetRaw(ctx_, kR, 1);
  }
  void TearDown() override
  {
    swap_.reset();
    PjlValuesTest::TearDown();
  }

  RULE_CONDITION settingsX_ = {}, settingsY_[2] = {}, rowSettings_ = {};
  PJL_VALUE_ROW values_[3] = {};
  PJL_VARIABLE_ROW row_ = {};
  std::unique_ptr<PjlTableSwap> swap_;
};

TEST_F(PjlTrialTest, AValueWhoseCompanionATransactionSetsBackIsNotAvailable)
{
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[0]), 0) << "Q := 7 is undone by the rule";
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[1]), 1);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[2]), 1);
  DWORD buf[4] = {};
  DWORD count = 0;
  EXPECT_EQ(PjlListAllowedValues(ctx_, kP, 4, buf, &count), 0);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(buf[0], 6u);
  EXPECT_EQ(buf[1], 0u);
  // The row's own companion is verified too: a rule that moves R refuses every value.
  BYTE *r = b_.AddItem(kR, 2, DESC_TYPE_PICK_ONE);
  b_.AddAction(b_.AddTransaction(&b_.AddRuleBlock(2, r)->transactions1, nullptr), kR, 0, 5);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[1]), 0);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[2]), 0);
}

TEST_F(PjlTrialTest, TheTrialValueItselfMustSurvive)
{
  // A rule that turns P := 6 into P := 1: value Y does not take.
  BYTE *p = b_.AddItem(kP, 3, DESC_TYPE_PICK_ONE);
  b_.AddAction(b_.AddTransaction(&b_.AddRuleBlock(3, p)->transactions1, b_.AddCode({I(kP), L(6), O(RULE_OP_EQ), E()})),
               kP, 0, 1);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[1]), 0);
  // FREE sets no item value, so the same rule cannot refuse it.
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[2]), 1);
  // Nor is P set when the variable's item is a pseudo-item of the PJL-text engine.
  row_.itemId = 626;
  ItemSetRaw(ctx_, kP, 6);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[1]), 1) << "only the companions are tried";
}

// The trial's effect byte for byte: the DEVMODE and the context state as they were, the
// printer-configuration block with the companion's change, the snapshot stack untouched.
TEST_F(PjlTrialTest, ATrialLeavesTheDevmodeAndStateAsItFoundThem)
{
  const DWORD dmSize = DmGetTotalSize();
  ctx_->state->pendingPassMode = 4;
  ctx_->state->uiFlags = 0x00000123u;
  ctx_->state->settingsChanged = 0;
  ItemSetRaw(ctx_, ITEM_dmPrintQuality, 1200);
  ItemSetRaw(ctx_, ITEM_dmFields, 0);
  // Writing Q raises UI work (as the property sheets mark their items).
  ItemFindById(ctx_, kQ)->flags |= 0x00010000u;
  CtxPushDevmodeSnapshot(ctx_);
  ctx_->state->uiFlags = 0x00000123u;
  ctx_->state->settingsChanged = 0;
  OPTION_ITEM *rows = (OPTION_ITEM *)ctx_->items->rows;
  for (SHORT i = 0; i < ctx_->items->count; ++i) rows[i].state &= (WORD)~KV_STATE_CHANGED_MASK;
  std::vector<BYTE> work(ctx_->work, ctx_->work + DmGetWorkBufferSize());
  std::vector<BYTE> level0(ctx_->state->snapshots[0], ctx_->state->snapshots[0] + DmGetWorkBufferSize());
  BYTE *levels[3] = {ctx_->state->snapshots[0], ctx_->state->snapshots[1], ctx_->state->snapshots[2]};
  std::vector<BYTE> state((BYTE *)ctx_->state, (BYTE *)ctx_->state + sizeof(CONTEXT_STATE));
  std::vector<WORD> marks;
  for (SHORT i = 0; i < ctx_->items->count; ++i) marks.push_back(rows[i].state);

  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[1]), 1);

  EXPECT_EQ(0, memcmp(work.data(), ctx_->work, dmSize)) << "the DEVMODE is as it was";
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmTray1Paper, nullptr), 9) << "a configuration companion stays";
  const size_t tray = (size_t)(ItemGetAddress(ctx_, ItemFindById(ctx_, ITEM_kdmTray1Paper)) - ctx_->work);
  ASSERT_GE(tray, (size_t)dmSize);
  work[tray] = 9;  // u16, little-endian
  work[tray + 1] = 0;
  EXPECT_EQ(0, memcmp(work.data(), ctx_->work, work.size())) << "nothing else changed";
  EXPECT_EQ(ctx_->state->uiFlags, 0x00000123u);
  EXPECT_EQ(ctx_->state->pendingPassMode, 4) << "the re-derivation's pass-mode use is undone";
  EXPECT_EQ(ctx_->state->settingsChanged, 1u) << "the configuration block did change";
  ctx_->state->settingsChanged = 0;
  EXPECT_EQ(0, memcmp(state.data(), ctx_->state, state.size())) << "the rest of the state block is untouched";
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ctx_->state->snapshots[i], levels[i]);
  EXPECT_EQ(0, memcmp(level0.data(), ctx_->state->snapshots[0], level0.size())) << "the caller's level is kept";
  for (SHORT i = 0; i < ctx_->items->count; ++i) {
    if (rows[i].id == ITEM_kdmTray1Paper) {
      EXPECT_NE(rows[i].state & KV_STATE_CHANGED_MASK, 0) << "its change mark stays";
    } else {
      EXPECT_EQ(rows[i].state, marks[(size_t)i]) << "item " << rows[i].id;
    }
  }
  CtxPopDevmodeSnapshot(ctx_, 0);
}

TEST_F(PjlTrialTest, ATrialWithoutMemoryAnswersNoAndChangesNothing)
{
  std::vector<BYTE> work(ctx_->work, ctx_->work + DmGetWorkBufferSize());
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[1]), 0);
  PlatFaultDisarmAll();
  EXPECT_EQ(0, memcmp(work.data(), ctx_->work, work.size()));
}

TEST_F(PjlTrialTest, EverySettingOfALongTrialIsVerified)
{
  // 30 companions: 29 times R := 3, then Q := 8 as the thirtieth. A rule sets Q back, and
  // the trial sees it although more than twenty settings come before.
  std::vector<RULE_CONDITION> many(30);
  for (size_t i = 0; i < many.size(); ++i)
    many[i] = {i + 1 < many.size() ? &many[i + 1] : nullptr, i + 1 < many.size() ? kR : kQ,
               i + 1 < many.size() ? 3u : 8u, 0};
  values_[1].settings = many.data();
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[1]), 1);
  BYTE *r = b_.AddItem(kR, 2, DESC_TYPE_PICK_ONE);
  b_.AddAction(b_.AddTransaction(&b_.AddRuleBlock(2, r)->transactions1, b_.AddCode({I(kQ), L(8), O(RULE_OP_EQ), E()})),
               kQ, 0, 5);
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[1]), 0);
  // A settings list that loops is not tried.
  many[29].next = &many[0];
  EXPECT_EQ(PjlIsValueAllowed(ctx_, &row_, &values_[1]), 0);
}

// The re-derivation: DM_PRINTQUALITY joins dmFields, the resolution items follow a
// dmPrintQuality in dots per inch (a resolution code changes nothing), and every item's
// transactions run.
TEST_F(PjlValuesTest, TheReDerivationSyncsResolutionAndRunsTransactions)
{
  BYTE *q = b_.AddItem(kQ, 1, DESC_TYPE_PICK_ONE);
  b_.AddAction(b_.AddTransaction(&b_.AddRuleBlock(1, q)->transactions1, nullptr), kQ, 0, 42);
  ItemSetRaw(ctx_, ITEM_dmFields, DM_ORIENTATION);
  ItemSetRaw(ctx_, ITEM_dmPrintQuality, 600);
  ItemSetRaw(ctx_, ITEM_dmYResolution, 1);
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 1);
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionH, 1);
  EXPECT_EQ(RuleRefreshDerivedSettings(ctx_), 0);
  EXPECT_EQ((DWORD)ItemGetRaw(ctx_, ITEM_dmFields, nullptr), (DWORD)(DM_ORIENTATION | DM_PRINTQUALITY));
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_dmYResolution, nullptr), 600);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstResolutionW, nullptr), 600);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstResolutionH, nullptr), 600);
  EXPECT_EQ(ItemGetRaw(ctx_, kQ, nullptr), 42);
  ItemSetRaw(ctx_, ITEM_dmPrintQuality, -4);  // DMRES_HIGH: a code, not dots per inch
  RuleRefreshDerivedSettings(ctx_);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_kdmDstResolutionW, nullptr), 600);
  EXPECT_EQ(ItemGetRaw(ctx_, ITEM_dmYResolution, nullptr), 600);
  EXPECT_EQ(RuleRefreshDerivedSettings(nullptr), 0);
}

}  // namespace
