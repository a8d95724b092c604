// Computed condition items: trays holding the job's paper and media, the printed sheet's
// orientation, the feed direction a finisher demands and the finisher predicates, read by
// conditions through the evaluator.
#include <algorithm>
#include <functional>
#include <vector>

#include "items/item_store.h"
#include "store/stored_lists.h"
#include "rules/rule_cond.h"
#include "rules_fixture.h"
#include "tables/item_ids.h"

namespace {

class RuleCondTest : public RulesTest {
 protected:
  void SetUp() override
  {
    RulesTest::SetUp();
    // No finisher, no optional trays, nothing locked; A4 (9) as the output paper.
    for (WORD id : {10049, 10050, 10058, 10059, 10060, 10061, 10074, 10075, 10076, 10077, 10078, 10079, 10080, 10081,
                    10014, 10018, 10021, 10022, 10239, 10240, 10241, 10242, 10264, 10267, 56,    58,    62,    63})
      Raw(id, 0);
    Raw(7, 1);
    Raw(46, 9);
    Tray(10175, 10143, 9, 0);  // tray 1: A4, orientation bit 0
    Tray(10176, 10144, 9, 1);  // tray 2: A4, orientation bit 1
    Tray(10177, 10145, 8, 0);  // tray 3: A3
    Tray(10178, 10146, 0, 0);  // tray 4: empty
    Tray(10200, 10168, 9, 1);  // large-capacity tray
    Tray(10202, 10170, 5, 0);  // manual feed: Legal
    Tray(10203, 10171, 9, 0);  // multi-purpose tray
    Raw(13, 1);
  }
  void Raw(WORD id, LONG value) { ItemSetRaw(ctx_, id, value); }
  void Tray(WORD paper, WORD orient, LONG code, LONG bit)
  {
    Raw(paper, code);
    Raw(orient, bit);
  }
  // The value a condition reads for an item.
  LONG Cond(WORD item)
  {
    Code code = {I(item), E()};
    return RuleEvaluate(code.data(), ctx_);
  }
};

TEST_F(RuleCondTest, TraysHoldingTheOutputPaper)
{
  struct Case {
    WORD item;
    LONG expected;
  } cases[] = {{724, 1}, {725, 1}, {726, 0}, {727, 0}, {728, 1}, {729, 0}, {723, 1}};
  for (const Case &c : cases) EXPECT_EQ(Cond(c.item), c.expected) << c.item;
  Raw(10022, 1);  // without manual feed, the multi-purpose tray answers for code 4
  EXPECT_EQ(Cond(729), 1);
  Raw(10021, 1);  // a manual feed is installed: it answers for code 4, holding Legal
  EXPECT_EQ(Cond(729), 0);
  Raw(46, 5);
  EXPECT_EQ(Cond(729), 1);
  EXPECT_EQ(Cond(724), 0);
}

TEST_F(RuleCondTest, AutomaticSelectionAsksOnlyUnlockedTrays)
{
  Raw(10239, 1);            // tray 1 locked
  Raw(10240, 1);            // tray 2 locked
  EXPECT_EQ(Cond(723), 0);  // the multi-purpose tray is not installed, the LCT not either
  Raw(10022, 1);
  EXPECT_EQ(Cond(723), 1);
  Raw(10267, 1);  // multi-purpose tray locked
  EXPECT_EQ(Cond(723), 0);
  Raw(10018, 1);  // large-capacity tray installed and unlocked
  EXPECT_EQ(Cond(723), 1);
  EXPECT_EQ(RuleTrayHoldsPaper(ctx_, 7, 9), 1);
  EXPECT_EQ(RuleTrayHoldsPaperOriented(ctx_, 7, 9, 0), 0);  // only the LCT, with bit 1
  EXPECT_EQ(RuleTrayHoldsPaperOriented(ctx_, 7, 9, 1), 1);
  EXPECT_EQ(RuleTrayHoldsPaper(ctx_, 5, 9), 0);  // a code without tray
}

TEST_F(RuleCondTest, FeedOrientationsOfTheSelectedSource)
{
  struct Case {
    LONG source;
    int bits;
  } cases[] = {{1, 1}, {3, 2}, {2, 0}, {7, 3}, {11, 2}, {4, 0}, {99, 0}};
  for (const Case &c : cases) {
    Raw(13, c.source);
    EXPECT_EQ(RuleGetFeedOrientations(ctx_, 9), c.bits) << c.source;
  }
}

TEST_F(RuleCondTest, SecondTraysHoldingTheSelectedSourcesPaper)
{
  Raw(125, 3);  // cover tray: tray 2, A4 with bit 1; the selected tray 1 has bit 0
  EXPECT_EQ(Cond(739), 0);
  Raw(10144, 0);
  EXPECT_EQ(Cond(739), 1);
  Raw(13, 7);  // automatic selection counts as tray 1
  EXPECT_EQ(Cond(739), 1);
  Raw(125, 7);  // a cover tray on automatic selection
  EXPECT_EQ(Cond(739), 0);
  Raw(123, 4);  // mark tray: code 4 without manual feed or multi-purpose tray
  EXPECT_EQ(Cond(740), 0);
  Raw(10022, 1);  // now the multi-purpose tray: A4 with bit 0
  EXPECT_EQ(Cond(740), 1);
  Raw(127, 2);  // back cover from tray 3 (A3)
  EXPECT_EQ(Cond(741), 0);
  Raw(906, 1);
  EXPECT_EQ(Cond(742), 1);
}

TEST_F(RuleCondTest, TraysHoldingTheMedia)
{
  Raw(54, 1);
  Raw(10207, 1);
  Raw(10208, 2);
  EXPECT_EQ(Cond(752), 1);
  EXPECT_EQ(Cond(753), 0);
  EXPECT_EQ(RuleTrayHoldsMedia(ctx_, 7, 2), 1);
  Raw(10240, 1);
  EXPECT_EQ(RuleTrayHoldsMedia(ctx_, 7, 2), 0);
  EXPECT_EQ(RuleTrayHoldsMedia(ctx_, 2, 1), 0);
}

TEST_F(RuleCondTest, FeedDirectionOfAFinisher)
{
  EXPECT_EQ(RuleGetFeedDirection(ctx_), 0);  // no finisher
  Raw(10058, 1);
  Raw(62, 1);
  Raw(120, 17);
  Raw(63, 1);
  Raw(121, 34);
  Raw(7, 2);  // landscape sheet: punch type 17 demands landscape feed, stapling not asked
  EXPECT_EQ(RuleGetFeedDirection(ctx_), 2);
  EXPECT_EQ(Cond(731), 1);
  EXPECT_EQ(Cond(730), 0);
  Raw(7, 1);
  EXPECT_EQ(RuleGetFeedDirection(ctx_), 1);
  EXPECT_EQ(Cond(730), 1);
  Raw(62, 0);  // punching off: the staple type decides
  EXPECT_EQ(RuleGetFeedDirection(ctx_), 2);
  Raw(121, 49);
  EXPECT_EQ(RuleGetFeedDirection(ctx_), 3);
  Raw(63, 0);
  EXPECT_EQ(RuleGetFeedDirection(ctx_), 3);
  Raw(46, 70);  // a paper outside the extended list
  EXPECT_EQ(RuleGetFeedDirection(ctx_), 0);
}

TEST_F(RuleCondTest, PaperListsAndFinisherPredicates)
{
  struct Case {
    LONG paper;
    bool family2000;
    LONG in628, in631, in632;
  } cases[] = {
      {9, false, 1, 1, 0},                        // A4: list A, in list N
      {11, false, 0, 1, 0},                       // Ledger: only the extended list
      {6, false, 0, 0, 0},                        // Statement: extended only with a "2000" finisher
      {6, true, 0, 1, 0},   {8, false, 1, 1, 1},  // A3: list A, not in list N
  };
  for (const Case &c : cases) {
    Raw(46, c.paper);
    Raw(10058, c.family2000 ? 1 : 0);
    EXPECT_EQ(Cond(628), c.in628) << c.paper;
    EXPECT_EQ(Cond(631), c.in631) << c.paper;
    EXPECT_EQ(Cond(632), c.in632) << c.paper;
  }
  Raw(46, 9);
  Raw(10058, 0);
  EXPECT_EQ(Cond(626), 0);  // no finisher
  Raw(10058, 1);
  EXPECT_EQ(Cond(626), 1);  // tray 1 holds A4 with bit 0
  EXPECT_EQ(Cond(627), 0);
  Raw(13, 3);
  EXPECT_EQ(Cond(627), 1);  // tray 2: bit 1, and A4 is not in the large list
  Raw(13, 1);
  Raw(120, 1);  // punch type 1 on a portrait sheet fed with bit 0
  EXPECT_EQ(Cond(629), 1);
  Raw(10077, 1);  // a finisher without punch
  EXPECT_EQ(Cond(629), 0);
  Raw(10077, 0);
  Raw(120, 49);  // not a type of this finisher
  EXPECT_EQ(Cond(629), 0);
}

TEST_F(RuleCondTest, BFiveCountsOnlyTraysWithOrientationBitOne)
{
  Raw(10060, 1);  // group 14
  Raw(121, 49);
  Raw(7, 2);  // landscape sheet: type 49 wants ok(not S, S)
  Raw(46, 13);
  Raw(10175, 13);
  EXPECT_EQ(Cond(645), 0);  // tray 1 holds B5 with bit 0 only
  Raw(10143, 1);
  EXPECT_EQ(Cond(645), 1);
  Raw(46, 9);  // A4 with bit 0 counts
  Raw(10175, 9);
  Raw(10143, 0);
  Raw(7, 1);
  EXPECT_EQ(Cond(645), 1);
}

// The finisher groups by their presence bits: the "2000" family of group A, 1000, BF, 14, 15.
enum Finisher : WORD {
  kNone = 0,
  kGroupA = 10058,
  kGroup1000 = 10049,
  kGroupBF = 10059,
  kGroup14 = 10060,
  kGroup15 = 10061
};

// One question to the finisher predicates: the installed finisher (or two, for precedence),
// the output paper, the feed orientations F of the selected source (bit 0: a tray holds the
// paper with orientation bit 0, bit 1: with bit 1), the sheet orientation S and stapling.
struct FinisherCase {
  WORD item;  // the computed item asked
  WORD group, group2;
  LONG paper;
  int feed;
  bool landscape;  // S (the DEVMODE's orientation, with neither N-up nor duplex turning it)
  LONG staple;
  LONG expected;
};

class FinisherCondTest : public RuleCondTest {
 protected:
  // Automatic selection over tray 1 (orientation bit 0) and tray 2 (bit 1), the others empty:
  // the feed orientations are exactly the trays that hold the paper.
  void Apply(WORD group, WORD group2, LONG paper, int feed, bool landscape, LONG stapleOn, LONG staple)
  {
    for (WORD id : {10049, 10050, 10058, 10059, 10060, 10061, 10074, 10075, 10076, 10077, 10078, 10079, 10080, 10081})
      Raw(id, 0);
    if (group != kNone) Raw(group, 1);
    if (group2 != kNone) Raw(group2, 1);
    Raw(46, paper);
    Raw(13, 7);
    Tray(10175, 10143, (feed & 1) ? paper : 0, 0);
    Tray(10176, 10144, (feed & 2) ? paper : 0, 1);
    Tray(10177, 10145, 0, 0);
    Tray(10178, 10146, 0, 0);
    Raw(7, landscape ? 2 : 1);
    Raw(63, stapleOn);
    Raw(121, staple);
  }
};

TEST_F(FinisherCondTest, StapleAndFeedPredicatesOfEachGroup)
{
  const bool S = true, P = false;  // sheet landscape / portrait
  const FinisherCase cases[] = {
      // 630: group A, list A, F not 0; by staple type ok(S, not S), always, or ok(not S, S).
      {630, kGroupA, kNone, 9, 1, P, 1, 0},
      {630, kGroupA, kNone, 9, 1, S, 1, 1},
      {630, kGroupA, kNone, 9, 2, P, 67, 1},
      {630, kGroupA, kNone, 9, 1, P, 17, 1},
      {630, kGroupA, kNone, 9, 1, S, 65, 0},
      {630, kGroupA, kNone, 9, 2, S, 33, 1},
      {630, kGroupA, kNone, 9, 1, S, 49, 1},
      {630, 10050, kNone, 9, 2, P, 50, 1},  // the "3000" family
      {630, kGroupA, kNone, 9, 0, P, 49, 0},
      {630, kGroupA, kNone, 11, 1, P, 49, 0},  // Ledger: extended list only
      {630, kGroupA, kNone, 9, 1, P, 99, 0},
      {630, kNone, kNone, 9, 1, P, 49, 0},
      // 642: group 14, not Executive, B5 or 93, list 14, held with bit 0.
      {642, kGroup14, kNone, 9, 1, P, 0, 1},
      {642, kGroup14, kNone, 1, 3, P, 0, 1},
      {642, kGroup14, kNone, 9, 2, P, 0, 0},
      {642, kGroup14, kNone, 7, 1, P, 0, 0},
      {642, kGroup14, kNone, 13, 1, P, 0, 0},
      {642, kGroup14, kNone, 93, 1, P, 0, 0},
      {642, kGroup14, kNone, 514, 1, P, 0, 0},
      {642, kNone, kNone, 9, 1, P, 0, 0},
      // 643: group 14, list 14, not the large list, held with bit 1.
      {643, kGroup14, kNone, 9, 2, P, 0, 1},
      {643, kGroup14, kNone, 7, 2, P, 0, 1},
      {643, kGroup14, kNone, 9, 1, P, 0, 0},
      {643, kGroup14, kNone, 8, 2, P, 0, 0},
      {643, kGroup15, kNone, 9, 2, P, 0, 0},
      // 644: list 14, finisher or not.
      {644, kNone, kNone, 9, 0, P, 0, 1},
      {644, kGroup14, kNone, 517, 0, P, 0, 1},
      {644, kGroup14, kNone, 514, 1, P, 0, 0},
      {644, kGroup14, kNone, 6, 1, P, 0, 0},
      // 658-660: group 1000 and list 1000 (list A, not its extension).
      {658, kGroup1000, kNone, 9, 1, P, 0, 1},
      {658, kGroup1000, kNone, 9, 2, P, 0, 0},
      {658, kGroup1000, kNone, 11, 1, P, 0, 0},
      {658, kNone, kNone, 9, 1, P, 0, 0},
      {659, kGroup1000, kNone, 9, 2, P, 0, 1},
      {659, kGroup1000, kNone, 1, 2, P, 0, 1},
      {659, kGroup1000, kNone, 8, 2, P, 0, 0},
      {659, kGroup1000, kNone, 9, 1, P, 0, 0},
      {660, kNone, kNone, 93, 0, P, 0, 1},
      {660, kGroup1000, kNone, 11, 1, P, 0, 0},
      {660, kGroup1000, kNone, 6, 1, P, 0, 0},
      // 661: staple 33 with ok(not S, S), staple 34 with ok(S, not S).
      {661, kGroup1000, kNone, 9, 1, P, 33, 1},
      {661, kGroup1000, kNone, 9, 1, S, 33, 0},
      {661, kGroup1000, kNone, 9, 2, S, 33, 1},
      {661, kGroup1000, kNone, 9, 1, S, 34, 1},
      {661, kGroup1000, kNone, 9, 1, P, 34, 0},
      {661, kGroup1000, kNone, 9, 1, P, 49, 0},
      {661, kGroup1000, kNone, 9, 0, P, 33, 0},
      {661, kGroupA, kNone, 9, 1, P, 33, 0},
      // 674-677: group 15 and list 15.
      {674, kGroup15, kNone, 9, 1, P, 0, 1},
      {674, kGroup15, kNone, 514, 1, P, 0, 1},
      {674, kGroup15, kNone, 6, 1, P, 0, 0},
      {674, kGroup15, kNone, 9, 2, P, 0, 0},
      {674, kGroup14, kNone, 9, 1, P, 0, 0},
      {675, kGroup15, kNone, 9, 2, P, 0, 1},
      {675, kGroup15, kNone, 93, 2, P, 0, 1},
      {675, kGroup15, kNone, 514, 2, P, 0, 0},
      {675, kGroup15, kNone, 9, 1, P, 0, 0},
      {676, kNone, kNone, 514, 0, P, 0, 1},
      {676, kGroup15, kNone, 11, 1, P, 0, 0},
      {677, kGroup15, kNone, 9, 1, S, 50, 1},
      {677, kGroup15, kNone, 9, 2, P, 49, 1},
      {677, kGroup15, kNone, 9, 0, P, 50, 0},
      {677, kGroup15, kNone, 9, 1, P, 65, 1},
      {677, kGroup15, kNone, 9, 1, S, 65, 0},
      {677, kGroup15, kNone, 9, 1, S, 66, 1},
      {677, kGroup15, kNone, 9, 1, P, 67, 0},
      {677, kGroup15, kNone, 9, 2, P, 67, 1},
      {677, kGroup15, kNone, 9, 1, P, 33, 0},
      {677, kGroup15, kNone, 11, 1, P, 49, 0},
      // 690-694: group BF, by paper and orientation bit.
      {690, kGroupBF, kNone, 8, 1, P, 0, 1},
      {690, kGroupBF, kNone, 5, 1, P, 0, 0},
      {690, kGroupBF, kNone, 9, 1, P, 0, 0},
      {690, kGroupBF, kNone, 8, 2, P, 0, 0},
      {690, kNone, kNone, 8, 1, P, 0, 0},
      {691, kGroupBF, kNone, 9, 2, P, 0, 1},
      {691, kGroupBF, kNone, 13, 2, P, 0, 1},
      {691, kGroupBF, kNone, 9, 1, P, 0, 0},
      {691, kGroupBF, kNone, 8, 2, P, 0, 0},
      {692, kGroupBF, kNone, 5, 1, P, 0, 1},
      {692, kGroupBF, kNone, 9, 2, P, 0, 0},
      {692, kGroupBF, kNone, 13, 1, P, 0, 0},
      {693, kGroupBF, kNone, 9, 1, P, 0, 1},
      {693, kGroupBF, kNone, 8, 1, P, 0, 1},
      {693, kGroupBF, kNone, 5, 1, P, 0, 0},
      {693, kGroupBF, kNone, 1, 1, P, 0, 0},
      {694, kNone, kNone, 8, 0, P, 0, 1},
      {694, kGroupBF, kNone, 13, 2, P, 0, 1},
      {694, kGroupBF, kNone, 13, 1, P, 0, 0},
      {694, kGroupBF, kNone, 93, 3, P, 0, 0},
      {694, kGroupBF, kNone, 6, 3, P, 0, 0},
      // 695: group BF, by staple type over items 690-693 and S.
      {695, kGroupBF, kNone, 9, 2, P, 49, 1},   // 691
      {695, kGroupBF, kNone, 9, 1, P, 50, 1},   // 692
      {695, kGroupBF, kNone, 13, 1, P, 49, 0},  // none of 690-692
      {695, kGroupBF, kNone, 8, 1, P, 65, 1},   // 690 and not S
      {695, kGroupBF, kNone, 8, 1, S, 65, 0},
      {695, kGroupBF, kNone, 9, 2, S, 65, 1},  // 691 and S
      {695, kGroupBF, kNone, 9, 2, P, 65, 0},
      {695, kGroupBF, kNone, 8, 1, S, 66, 1},  // 690 and S
      {695, kGroupBF, kNone, 8, 1, P, 66, 0},
      {695, kGroupBF, kNone, 9, 2, P, 67, 1},  // 691 and not S
      {695, kGroupBF, kNone, 9, 1, P, 68, 1},  // 693
      {695, kGroupBF, kNone, 1, 1, P, 68, 0},
      {695, kGroupBF, kNone, 8, 1, P, 33, 0},
      {695, kNone, kNone, 9, 1, P, 49, 0},
  };
  for (const FinisherCase &c : cases) {
    Apply(c.group, c.group2, c.paper, c.feed, c.landscape, 1, c.staple);
    EXPECT_EQ(Cond(c.item), c.expected) << "item " << c.item << " finisher " << c.group << " paper " << c.paper << " F "
                                        << c.feed << " S " << c.landscape << " staple " << c.staple;
  }
}

// Item 643 leaves Executive out on machine 131 only.
TEST_F(FinisherCondTest, ExecutiveOnMachine131)
{
  MODEL_RECORD *model = ctx_->model;
  ASSERT_NE(model, nullptr);
  MODEL_RECORD other = *model;
  ctx_->model = &other;
  Apply(kGroup14, kNone, 7, 2, false, 1, 0);
  other.machineId = 131;
  EXPECT_EQ(Cond(643), 0);
  Raw(46, 9);
  Raw(10176, 9);
  EXPECT_EQ(Cond(643), 1);
  other.machineId = 130;
  Apply(kGroup14, kNone, 7, 2, false, 1, 0);
  EXPECT_EQ(Cond(643), 1);
  ctx_->model = model;
}

// The feed direction of groups 1000, BF, 14 and 15 (group A has its own test above), and the
// order in which installed finishers are asked: A, 1000, BF, 14, 15. Items 730 and 731 read
// the portrait (1) and landscape (2) answers.
TEST_F(FinisherCondTest, FeedDirectionOfEachGroup)
{
  struct Case {
    WORD group, group2;
    LONG paper;
    LONG stapleOn, staple;
    bool landscape;
    int expected;
  } cases[] = {
      {kGroup1000, kNone, 9, 0, 33, false, 3},
      {kGroup1000, kNone, 11, 0, 0, false, 0},  // not in list 1000
      {kGroup1000, kNone, 9, 1, 33, false, 1},
      {kGroup1000, kNone, 9, 1, 33, true, 2},
      {kGroup1000, kNone, 9, 1, 34, false, 2},
      {kGroup1000, kNone, 9, 1, 34, true, 1},
      {kGroup1000, kNone, 9, 1, 49, false, 0},
      {kGroupBF, kNone, 9, 0, 0, false, 3},
      {kGroupBF, kNone, 13, 0, 0, false, 0},  // not in list BF
      {kGroupBF, kNone, 9, 1, 33, false, 3},
      {kGroupBF, kNone, 9, 1, 34, true, 3},
      {kGroupBF, kNone, 9, 1, 49, false, 3},
      {kGroupBF, kNone, 9, 1, 50, true, 3},
      {kGroupBF, kNone, 9, 1, 65, false, 1},
      {kGroupBF, kNone, 9, 1, 65, true, 2},
      {kGroupBF, kNone, 9, 1, 66, false, 2},
      {kGroupBF, kNone, 9, 1, 67, true, 1},
      {kGroupBF, kNone, 9, 1, 68, false, 1},
      {kGroupBF, kNone, 9, 1, 68, true, 1},
      {kGroupBF, kNone, 9, 1, 99, false, 0},
      {kGroup14, kNone, 9, 0, 0, false, 3},
      {kGroup14, kNone, 514, 0, 0, false, 0},  // not in list 14
      {kGroup14, kNone, 9, 1, 49, false, 1},
      {kGroup14, kNone, 9, 1, 49, true, 2},
      {kGroup14, kNone, 9, 1, 50, false, 2},
      {kGroup14, kNone, 9, 1, 50, true, 1},
      {kGroup14, kNone, 9, 1, 65, false, 0},
      {kGroup15, kNone, 9, 0, 0, false, 3},
      {kGroup15, kNone, 11, 0, 0, false, 0},  // not in list 15
      {kGroup15, kNone, 9, 1, 49, false, 3},
      {kGroup15, kNone, 9, 1, 50, true, 3},
      {kGroup15, kNone, 9, 1, 65, false, 1},
      {kGroup15, kNone, 9, 1, 65, true, 2},
      {kGroup15, kNone, 9, 1, 66, false, 2},
      {kGroup15, kNone, 9, 1, 67, true, 1},
      {kGroup15, kNone, 9, 1, 33, false, 0},
      // Two finishers: the earlier group decides.
      {kGroupA, kGroup1000, 11, 0, 0, false, 3},   // Ledger is in A's extended list
      {kGroup1000, kGroupBF, 9, 1, 65, false, 0},  // 1000 knows no type 65
      {kGroupBF, kGroup14, 9, 1, 49, true, 3},     // BF: type 49 is either way
      {kGroup14, kGroup15, 9, 1, 65, false, 0},    // 14 knows no type 65
      {kNone, kNone, 9, 0, 0, false, 0},
  };
  for (const Case &c : cases) {
    Apply(c.group, c.group2, c.paper, 1, c.landscape, c.stapleOn, c.staple);
    SCOPED_TRACE(testing::Message() << "finisher " << c.group << "+" << c.group2 << " paper " << c.paper << " staple "
                                    << c.stapleOn << "/" << c.staple << " S " << c.landscape);
    EXPECT_EQ(RuleGetFeedDirection(ctx_), c.expected);
    EXPECT_EQ(Cond(730), c.expected == 1 ? 1 : 0);
    EXPECT_EQ(Cond(731), c.expected == 2 ? 1 : 0);
  }
}

// The paper and orientation bit of a source code's own tray; automatic selection and codes
// without a tray answer 0 and write nothing.
TEST_F(RuleCondTest, TrayPaperOfASourceCode)
{
  struct Case {
    LONG code;
    LONG manual, multi;  // items 10021 and 10022
    int found;
    LONG paper;
    int bit;
  } cases[] = {
      {1, 0, 0, 1, 9, 0},   {3, 0, 0, 1, 9, 1},  {2, 0, 0, 1, 8, 0},
      {256, 0, 0, 1, 0, 0}, {11, 0, 0, 1, 9, 1}, {4, 1, 1, 1, 5, 0},  // the manual feed first
      {4, 0, 1, 1, 9, 0},   {4, 0, 0, 0, 0, 0},  {7, 0, 0, 0, 0, 0},
      {5, 0, 0, 0, 0, 0},   {-1, 0, 0, 0, 0, 0}, {0, 1, 1, 0, 0, 0},
  };
  Raw(10170, 0);
  Raw(10171, 0);
  for (const Case &c : cases) {
    Raw(10021, c.manual);
    Raw(10022, c.multi);
    LONG paper = -7;
    int bit = -7;
    EXPECT_EQ(RuleGetTrayPaper(ctx_, c.code, &paper, &bit), c.found) << c.code;
    EXPECT_EQ(paper, c.found ? c.paper : -7) << c.code;
    EXPECT_EQ(bit, c.found ? c.bit : -7) << c.code;
  }
  EXPECT_EQ(RuleGetTrayPaper(ctx_, 1, nullptr, nullptr), 1);
  EXPECT_EQ(RuleGetTrayPaper(nullptr, 1, nullptr, nullptr), 0);
}

// Item 738: the page fits the resolution (1) or is too large for anything but 600 dpi (0).
// The pages are custom sizes: the document's (paper 256) and the output's (paper 448).
TEST_F(RuleCondTest, ResolutionCheckOfThePageSize)
{
  struct Case {
    LONG dpi, outWidth, outLength;  // output size in 1200-dpi dots
    LONG scaleOn, scaleType, scale, nup, nupKind, nupType;
    LONG check, cap;
  } cases[] = {
      {1200, 30708, 14030, 0, 0, 100, 0, 0, 0, 1, 0},
      {1200, 30709, 14030, 0, 0, 100, 0, 0, 0, 0, 600},
      {1200, 14030, 30709, 0, 0, 100, 0, 0, 0, 0, 600},
      {600, 40000, 40000, 0, 0, 100, 0, 0, 0, 1, 0},     // 600 dpi is never capped
      {1200, 10000, 14030, 1, 1, 400, 0, 0, 0, 0, 600},  // 9920 x 4 on the document's width
      {1200, 10000, 14030, 1, 2, 400, 0, 0, 0, 1, 0},    // scale type 2 leaves the document
      {1200, 10000, 14030, 1, 3, 100, 0, 0, 0, 1, 0},
      {1200, 10000, 14030, 1, 3, 300, 0, 0, 0, 0, 600},       // vertical 300 % of 14030
      {1200, 10000, 14030, 0, 0, 100, 1, 9, 0x8001, 1, 0},    // a poster doubles the width 9920
      {1200, 10000, 14030, 0, 0, 100, 1, 9, 0x8003, 0, 600},  // three times: 42090 long
      {1200, 10000, 14030, 0, 0, 100, 1, 8, 0x8003, 1, 0},    // not a poster kind
  };
  CtxRaiseUiFlags(ctx_, KV_UI_FLAG_FREE_SIZES_LOADED);
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.dpi << " " << c.outWidth << "x" << c.outLength << " scale " << c.scaleOn << "/"
                                    << c.scaleType << "/" << c.scale << " nup " << c.nup << "/" << c.nupType);
    Raw(38, c.dpi);
    Raw(8, 256);  // the document: 210 x 297 mm
    Raw(340, 9920);
    Raw(341, 14030);
    Raw(46, 448);
    Raw(344, c.outWidth);
    Raw(345, c.outLength);
    Raw(55, c.scaleOn);
    Raw(87, c.scaleType);
    Raw(89, c.scale);
    Raw(90, c.scale);
    Raw(56, c.nup);
    Raw(91, c.nupKind);
    Raw(92, c.nupType);
    EXPECT_EQ(Cond(738), c.check);
    EXPECT_EQ(RuleGetResolutionCap(ctx_, 1), c.cap);
  }
  // Mode 0 follows the print quality, and a print-quality code is no resolution.
  Raw(38, 600);
  Raw(344, 30709);
  Raw(55, 0);
  Raw(56, 0);
  Raw(14, 1200);
  EXPECT_EQ(RuleGetResolutionCap(ctx_, 0), 600);
  Raw(14, -4);
  EXPECT_EQ(RuleGetResolutionCap(ctx_, 0), 0);  // at 600 dpi the output is 15354 dots wide
  EXPECT_EQ(RuleGetResolutionCap(nullptr, 0), 0);
}

TEST_F(RuleCondTest, ResolutionCheckLeavesTheSettingsAsTheyWere)
{
  CtxRaiseUiFlags(ctx_, KV_UI_FLAG_FREE_SIZES_LOADED);
  Raw(38, 1200);
  Raw(14, 300);
  Raw(8, 256);
  Raw(340, 9920);
  Raw(341, 14030);
  Raw(46, 448);
  Raw(344, 30709);
  Raw(345, 14030);
  ctx_->state->pendingPassMode = 2;
  std::vector<BYTE> before(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE);
  std::vector<BYTE> slots((BYTE *)ctx_->state->freeSizeSlots, (BYTE *)(ctx_->state->freeSizeSlots + 12));
  OPTION_ITEM *row = ItemFindById(ctx_, 40);
  row->state = 0;
  ctx_->state->settingsChanged = 0;
  DWORD flags = CtxGetUiFlags(ctx_);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(Cond(738), 0);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), ctx_->work)) << "work buffer changed";
    EXPECT_TRUE(std::equal(slots.begin(), slots.end(), (BYTE *)ctx_->state->freeSizeSlots)) << "slots changed";
    EXPECT_EQ(row->state, 0);
    EXPECT_EQ(ctx_->state->settingsChanged, 0u);
    EXPECT_EQ(CtxGetUiFlags(ctx_), flags);
    EXPECT_EQ(ctx_->state->pendingPassMode, 2);
  }
}

// The answer of item 738 is kept per context for custom pages: every change of what it is
// computed from, a setting or a stored custom size, gives the new answer, and each answer
// is the one the cap computed afresh gives.
TEST_F(RuleCondTest, ResolutionCheckFollowsEveryChangeOfItsInputs)
{
  CtxRaiseUiFlags(ctx_, KV_UI_FLAG_FREE_SIZES_LOADED);
  Raw(38, 1200);
  Raw(8, 256);
  Raw(340, 9920);
  Raw(341, 14030);
  Raw(46, 448);
  Raw(344, 14030);
  Raw(345, 19840);
  FREE_SIZE_SLOT *slots = ctx_->state->freeSizeSlots;
  slots[0].width = 9920;
  slots[0].length = 14030;
  struct Step {
    const char *change;
    std::function<void()> apply;
    LONG check;
  } steps[] = {
      {"start", [] {}, 1},
      {"output width 30709", [&] { Raw(344, 30709); }, 0},
      {"output width 30708", [&] { Raw(344, 30708); }, 1},
      {"scale 400 %", [&] { Raw(55, 1), Raw(87, 1), Raw(89, 400); }, 0},
      {"scale off", [&] { Raw(55, 0); }, 1},
      {"600 dpi", [&] { Raw(38, 600); }, 1},
      {"1200 dpi", [&] { Raw(38, 1200); }, 1},
      {"document is user size 1 printed as itself", [&] { Raw(8, 384), Raw(46, 1024); }, 1},
      {"user size 1 grows in its slot only", [&] { slots[0].length = 40000; }, 0},
      {"user size 1 shrinks back", [&] { slots[0].length = 14030; }, 1},
      {"the custom sizes are to be read again", [&] { ctx_->state->uiFlags &= ~KV_UI_FLAG_FREE_SIZES_LOADED; }, 1},
  };
  for (const Step &step : steps) {
    SCOPED_TRACE(step.change);
    step.apply();
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Cond(738), step.check);
    EXPECT_EQ(RuleGetResolutionCap(ctx_, 1) == 0, step.check == 1);
  }
}

// A rule that the check's own recomputation consults (whether the document's paper is
// hidden) may ask for item 738 again: the inner question answers 1 (no cap) instead of
// recursing, and the outer answer follows from it.
TEST_F(RuleCondTest, ResolutionCheckAskedFromItsOwnRecomputation)
{
  const OPTION_ITEM *row = ItemFindById(ctx_, ITEM_dmPaperSize);
  ASSERT_NE(row, nullptr);
  const WORD a4 = 3009, dpi1200 = 1200, portrait = 2042;
  BYTE *paper = b_.AddItem(ITEM_dmPaperSize, row->symbolKey, DESC_TYPE_PICK_PAGE);
  BYTE *page = b_.AddPageValue(paper, a4, 2100, 2970);
  b_.AddGeometry(page, dpi1200, portrait, 0, 0, {200, 200, 9520, 13630, 200, 200});
  // A4 is hidden while item 738 equals the number of copies.
  DESC_RULE_BLOCK *block = b_.AddRuleBlock(row->symbolKey, paper);
  b_.AddValueRule(block, a4, b_.AddCode(Code{I(738), I(12), O(RULE_OP_EQ), E()}), nullptr);
  Raw(38, 1200);
  Raw(8, 9);
  Raw(46, 9);
  // What the items hold before the recomputation: a page too large for 1200 dpi.
  for (WORD id : {40, 41, 47, 48}) Raw(id, 40000);
  struct Case {
    LONG copies, check;
  } cases[] = {
      {0, 1},  // the inner answer 1 does not hide A4: its 9921 x 14031 dots fit
      {1, 0},  // the inner answer 1 hides A4: the items keep the large page
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.copies);
    Raw(12, c.copies);
    std::vector<BYTE> before(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE);
    EXPECT_EQ(Cond(738), c.check);
    EXPECT_EQ(RuleGetResolutionCap(ctx_, 1), c.check ? 0 : 600);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), ctx_->work)) << "work buffer changed";
  }
}

TEST_F(RuleCondTest, ItemsOfTheRangeThatComputeNothing)
{
  for (WORD id : {633, 700, 737, 817}) {
    Raw(id, 1);
    EXPECT_EQ(Cond(id), 0) << id;
  }
  EXPECT_EQ(RuleGetComputedCondition(ctx_, 625), 0);
  EXPECT_EQ(RuleGetComputedCondition(nullptr, 722), 0);
}

}  // namespace
