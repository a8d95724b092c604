// The condition evaluator: operators and operand order, unsigned comparisons, the values
// items give (value IDs, text lengths, computed and judge-hook items), unresolved items,
// and the stack: bounded, its depth restored after every evaluation however it ends.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "items/item_store.h"
#include "desc/rule_compile.h"
#include "rules/rule_cond.h"
#include "rules_fixture.h"

namespace {

using RuleEvalTest = RulesTest;

// Names of the conditions below: "iN" is item N; numbers are literals. The compiler reads
// strictly from left to right, so comparisons joined by && or || stand in parentheses.
BOOL ItemByNumber(void *, const char *name, WORD *itemId)
{
  if (name[0] != 'i' || name[1] < '0' || name[1] > '9') return FALSE;
  *itemId = (WORD)std::atoi(name + 1);
  return TRUE;
}

std::vector<RULE_CODE_UNIT> Compile(const std::string &text)
{
  static const RULE_NAME_RESOLVER names = {nullptr, ItemByNumber, nullptr, nullptr, nullptr};
  std::vector<char> buf(text.begin(), text.end());
  buf.resize(text.size() + 64, 0);
  DESC_TEXT_BUFFER src{(DWORD)buf.size() - 1, 0, buf.data()};
  DWORD err = 0;
  RULE_CODE_UNIT *code = RuleCompileExpression(&names, &src, &err);
  std::vector<RULE_CODE_UNIT> out;
  if (code == nullptr) {
    ADD_FAILURE() << "does not compile: " << text << " (" << err << ")";
    return out;
  }
  out.assign(code, code + RuleCodeLength(code) / sizeof(RULE_CODE_UNIT));
  MemFree(code);
  return out;
}

void SetWideText(DRIVER_CONTEXT *ctx, WORD id, const WCHAR *text) { ItemWriteText(ctx, ItemFindById(ctx, id), text); }

// Conditions on item 14 = 600, item 9 = -1 (stored), item 12 = 3, item 20 = "abc" (UTF-16),
// item 1 empty (UTF-16), item 202 = 9 characters filling its ANSI field; item 1500 has no row.
TEST_F(RuleEvalTest, ConditionTable)
{
  ItemSetValue(ctx_, 14, 600);
  ItemSetRaw(ctx_, 9, -1);
  ItemSetValue(ctx_, 12, 3);
  SetWideText(ctx_, 20, u"abc");
  SetWideText(ctx_, 1, u"");
  SetWideText(ctx_, 202, u"ABCDEFGHI");
  struct Case {
    const char *text;
    LONG expected;
  } cases[] = {
      {"i14 == 600", 1},
      {"i14 == 601", 0},
      {"i14 != 601", 1},
      {"3 > 5", 0},
      {"5 > 3", 1},  // the first pushed value is the left operand
      {"3 < 5", 1},
      {"5 >= 5", 1},
      {"4 >= 5", 0},
      {"5 <= 5", 1},
      {"6 <= 5", 0},
      {"! 0", 1},
      {"! 7", 0},
      {"i9 > 65535", 1},  // -1 compares as 0xFFFFFFFF
      {"i9 < 1", 0},
      {"i9 >= 65535", 1},
      {"i9 != 65535", 1},  // all 32 bits compared
      {"(i12 == 3) && (i14 == 600)", 1},
      {"(i12 == 3) && (i14 == 601)", 0},
      {"(i12 == 4) || (i14 == 600)", 1},
      {"(i12 == 4) || (i14 == 601)", 0},
      {"((i14 == 1) || (i14 == 2)) || (i14 == 600)", 1},  // one item read three times
      {"i20 == 3", 1},
      {"i1 == 0", 1},
      {"i202 == 9", 1},
      {"i1500 == 0", 0},
      {"(i14 == 600) || (i1500 == 0)", 0},  // an unresolved item ends the whole condition
      {"(i1500 == 0) || (i14 == 600)", 0},
      {"i12 == 3 && i14 == 600", 0},  // ((i12 == 3) && i14) == 600
      {"i14", 600},
      {"65535", 65535},
  };
  for (const Case &c : cases) {
    std::vector<RULE_CODE_UNIT> code = Compile(c.text);
    EXPECT_EQ(RuleEvaluate(code.data(), ctx_), c.expected) << c.text;
    EXPECT_EQ(ctx_->state->eval.depth, 0) << c.text;
  }
}

TEST_F(RuleEvalTest, UnitsOfOtherKindsAndUnknownOperatorsAreSkipped)
{
  Code code = {L(4), {7, 99}, {0, 0}, O(0), O(11), O(0xFFFF), L(4), O(RULE_OP_EQ), E()};
  EXPECT_EQ(RuleEvaluate(code.data(), ctx_), 1);
  EXPECT_EQ(RuleEvaluate(nullptr, ctx_), 0);
  Code itemZero = {I(0), L(0), O(RULE_OP_EQ), E()};  // item 0 has no row
  EXPECT_EQ(RuleEvaluate(itemZero.data(), ctx_), 0);
  Code one = {L(1), E()};
  EXPECT_EQ(RuleEvaluate(one.data(), nullptr), 0);
}

TEST_F(RuleEvalTest, ComputedAndJudgeHookItemsDoNotReadTheirStoredBits)
{
  ItemSetRaw(ctx_, 633, 1);   // inside the computed range, computes nothing
  ItemSetRaw(ctx_, 1100, 1);  // judge hook: 0 in every library
  Code c633 = {I(633), E()};
  Code c1100 = {I(1100), E()};
  EXPECT_EQ(ItemGetRaw(ctx_, 633, nullptr), 1);
  EXPECT_EQ(RuleEvaluate(c633.data(), ctx_), 0);
  EXPECT_EQ(RuleEvaluate(c1100.data(), ctx_), 0);

  // Item 722: the printed sheet lies landscape.
  Code c722 = {I(722), E()};
  ItemSetRaw(ctx_, 56, 0);
  ItemSetRaw(ctx_, 7, 2);
  EXPECT_EQ(RuleEvaluate(c722.data(), ctx_), 1);
  ItemSetRaw(ctx_, 56, 1);  // N-up type 5 turns the sheet
  ItemSetRaw(ctx_, 92, 5);
  EXPECT_EQ(RuleEvaluate(c722.data(), ctx_), 0);
  ItemSetRaw(ctx_, 7, 1);
  EXPECT_EQ(RuleEvaluate(c722.data(), ctx_), 1);
  EXPECT_EQ(RuleGetComputedCondition(ctx_, 722), 1);
  EXPECT_EQ(RuleGetComputedCondition(ctx_, 626), 0);
}

TEST_F(RuleEvalTest, ATextItemWhoseBufferCannotBeAllocatedHasLengthZero)
{
  SetWideText(ctx_, 20, u"abc");
  Code code = {I(20), E()};
  EXPECT_EQ(RuleEvaluate(code.data(), ctx_), 3);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(RuleEvaluate(code.data(), ctx_), 0);
  EXPECT_EQ(RuleEvaluate(code.data(), ctx_), 3);
}

// However an evaluation ends, the depth it found is the depth it leaves, and the entries
// below it are not touched.
TEST_F(RuleEvalTest, TheDepthIsRestoredAfterEveryEnding)
{
  Code overflow;
  for (int i = 0; i < 300; ++i) overflow.push_back(L(1));
  overflow.push_back(E());
  Code exactlyFull;
  for (int i = 0; i < KV_EVAL_STACK_ENTRIES - 2; ++i) exactlyFull.push_back(L(2));
  exactlyFull.push_back(E());
  struct Case {
    const char *what;
    Code code;
    LONG expected;
  } cases[] = {
      {"runs to END", {L(2), L(2), O(RULE_OP_EQ), E()}, 1},
      {"leaves values behind", {L(1), L(2), E()}, 2},
      {"unresolved item", {L(1), L(2), I(1500), O(RULE_OP_EQ), E()}, 0},
      {"pops what it did not push", {O(RULE_OP_EQ), E()}, 0},
      {"! on an empty stack", {O(RULE_OP_NOT), E()}, 0},
      {"END on an empty stack", {E()}, 0},
      {"overflows the stack", overflow, 0},
      {"fills the stack to its last entry", exactlyFull, 2},
  };
  RulePush(ctx_, 0x1111);
  RulePush(ctx_, 0x2222);  // an outer evaluation's entries
  for (const Case &c : cases) {
    EXPECT_EQ(RuleEvaluate(c.code.data(), ctx_), c.expected) << c.what;
    EXPECT_EQ(ctx_->state->eval.depth, 2) << c.what;
    EXPECT_EQ(ctx_->state->eval.entries[0], 0x1111) << c.what;
    EXPECT_EQ(ctx_->state->eval.entries[1], 0x2222) << c.what;
  }
  EXPECT_EQ(RulePop(ctx_), 0x2222u);
  EXPECT_EQ(RulePop(ctx_), 0x1111u);
  EXPECT_EQ(ctx_->state->eval.depth, 0);
}

TEST_F(RuleEvalTest, PushAndPopStayInsideTheStack)
{
  for (int i = 0; i < KV_EVAL_STACK_ENTRIES + 5; ++i) RulePush(ctx_, i);
  EXPECT_EQ(ctx_->state->eval.depth, KV_EVAL_STACK_ENTRIES);
  EXPECT_EQ(RulePop(ctx_), (DWORD)(KV_EVAL_STACK_ENTRIES - 1));
  for (int i = 0; i < KV_EVAL_STACK_ENTRIES + 5; ++i) RulePop(ctx_);
  EXPECT_EQ(ctx_->state->eval.depth, 0);
  EXPECT_EQ(RulePop(ctx_), 0u);
  EXPECT_EQ(ctx_->state->eval.depth, 0);
  // A depth that is out of range is not followed.
  ctx_->state->eval.depth = -3;
  RulePush(ctx_, 5);
  EXPECT_EQ(RulePop(ctx_), 0u);
  Code code = {L(9), E()};
  EXPECT_EQ(RuleEvaluate(code.data(), ctx_), 9);
  EXPECT_EQ(ctx_->state->eval.depth, 0);
}

// A context whose stack could not be allocated evaluates every condition to 0.
TEST_F(RuleEvalTest, WithoutStackEveryConditionIsZero)
{
  RuleFreeEvalStack(ctx_);
  Code one = {L(1), E()};
  EXPECT_EQ(RuleEvaluate(one.data(), ctx_), 0);
  RulePush(ctx_, 4);
  EXPECT_EQ(RulePop(ctx_), 0u);
  EXPECT_EQ(ctx_->state->eval.depth, 0);
}

// One context evaluates a million conditions on its one stack without growing it.
TEST_F(RuleEvalTest, AMillionEvaluationsOnOneContext)
{
  ItemSetValue(ctx_, 14, 600);
  ItemSetValue(ctx_, 12, 2);
  std::vector<RULE_CODE_UNIT> hit = Compile("(i14 == 300) || ((i14 == 600) && (i12 < 3))");
  std::vector<RULE_CODE_UNIT> miss = Compile("(i14 == 300) || (! (i12 < 3))");
  std::vector<RULE_CODE_UNIT> broken = {L(1), L(2), L(3), I(1500), E()};
  LONG sum = 0;
  for (int i = 0; i < 1000000; ++i) {
    const std::vector<RULE_CODE_UNIT> &code = (i % 3 == 0) ? hit : (i % 3 == 1) ? miss : broken;
    sum += RuleEvaluate(code.data(), ctx_);
    if (ctx_->state->eval.depth != 0) FAIL() << "depth " << ctx_->state->eval.depth << " after " << i;
  }
  EXPECT_EQ(sum, 333334);
}

}  // namespace
