// Golden layouts of the stored block: parse states built by hand and description text
// compiled through the grammar must give exactly the bytes of the fixtures in
// tests/fixtures/blob (each golden file carries its derivation).
#include <string.h>

#include "blob_support.h"

namespace {

RULE_CODE_UNIT U(WORD kind, WORD operand) { return RULE_CODE_UNIT{kind, operand}; }

void BuildPickOne3(StateBuilder &b)
{
  b.SetVersion("1.41");
  DESC_ITEM_NODE *item = b.Item(71, 8, DESC_TYPE_PICK_ONE);
  b.Value(item, 3001, "c1");
  b.Value(item, 3003, "c2");
  b.Value(item, 3004, "c3");
}

void BuildSharedTransact(StateBuilder &b)
{
  b.SetVersion("1.41");
  b.Judge(1, {U(1, 15), U(2, 2019), U(3, RULE_OP_EQ), U(3, RULE_OP_END)});
  DESC_ACTION *action = b.New<DESC_ACTION>();
  action->target = 12;
  action->value = 2;
  b.Section(DESC_SECTION_ACTION, 1, {action});
  DESC_TRANSACTION *t = b.New<DESC_TRANSACTION>();
  t->judge = DESC_REF_JUDGE | 1;
  t->actions = DESC_REF_ACTION | 1;
  b.Section(DESC_SECTION_TRANSACT, 1, {t});
  b.Exclusive(238)->transactions1 = DESC_REF_TRANSACT | 1;
  b.Exclusive(256)->transactions1 = 1;  // a section name resolves to the number alone
}

void BuildJudgesCommandGroup(StateBuilder &b)
{
  b.SetVersion("1.41");
  b.Judge(1, {U(1, 15), U(2, 2019), U(3, RULE_OP_EQ), U(3, RULE_OP_END)});
  b.Judge(2, {U(1, 7), U(2, 2043), U(3, RULE_OP_EQ), U(3, RULE_OP_END)});
  b.CommandString(5, "@PJL SET A");
  DESC_STATEMENT_STRING *s5 = reinterpret_cast<DESC_STATEMENT_STRING *>(b.Statement(DESC_STMT_STRING));
  s5->length = 5;
  DESC_STATEMENT_STRING *s9 = reinterpret_cast<DESC_STATEMENT_STRING *>(b.Statement(DESC_STMT_STRING));
  s9->length = 9;
  DESC_COMMAND_BLOCK *nested = b.New<DESC_COMMAND_BLOCK>();
  nested->judge = DESC_REF_JUDGE | 2;
  nested->thenList = &s5->head;
  nested->elsePart = &s9->head;
  DESC_STATEMENT_COMMAND *command = reinterpret_cast<DESC_STATEMENT_COMMAND *>(b.Statement(DESC_STMT_COMMAND));
  command->block = nested;
  command->head.next = b.Statement(DESC_STMT_FONT);
  DESC_COMMAND_BLOCK *jobStart = b.New<DESC_COMMAND_BLOCK>();
  jobStart->thenList = &command->head;
  b.header()->groups[DESC_GROUP_JOB_START] = jobStart;
}

// Keys, item IDs and the value ID are the names table's (136 names item 10175, 88 item 12,
// 256 item 7), as in a compiled description.
void BuildVariants(StateBuilder &b)
{
  DESC_ITEM_NODE *a = b.Item(136, 10175, DESC_TYPE_PICK_ONE);
  b.Value(a, 2018, "x");
  DESC_ITEM_NODE *variant = b.Item(136, 10175, DESC_TYPE_PICK_ONE, 2);
  variant->values = a->values;
  DESC_ITEM_NODE *c = b.Item(88, 12, DESC_TYPE_NUMERIC);
  DESC_NUMERIC_VALUE *n = b.New<DESC_NUMERIC_VALUE>();
  *n = DESC_NUMERIC_VALUE{1, 2, 3, 4, 5, 6, 7, 0, 9};
  c->values = n;
  DESC_ITEM_NODE *identity = b.Item(256, 7, DESC_TYPE_IDENTITY | DESC_TYPE_NUMERIC, 88);
  identity->values = n;
}

struct HandCase {
  const char *golden;
  void (*build)(StateBuilder &);
};

const HandCase kHandCases[] = {
    {"pickone3.golden", BuildPickOne3},
    {"shared_transact.golden", BuildSharedTransact},
    {"judges_cmdgroup.golden", BuildJudgesCommandGroup},
    {"variants_hand.golden", BuildVariants},
};

TEST(BlobGolden, HandBuiltStatesGiveTheGoldenBytes)
{
  for (const HandCase &c : kHandCases) {
    SCOPED_TRACE(c.golden);
    StateBuilder b;
    c.build(b);
    std::vector<BYTE> stored = StoreState(b.state());
    ASSERT_FALSE(stored.empty());
    EXPECT_TRUE(SameBytes(LoadGolden(c.golden), stored));
    DESC_VALIDATE_RESULT why;
    EXPECT_TRUE(DescValidateStored(stored.data(), (DWORD)stored.size(), &why)) << why.offset << ": " << why.reason;
  }
}

TEST(BlobGolden, SizeIsTheSumOfTheThreeRegions)
{
  for (const HandCase &c : kHandCases) {
    SCOPED_TRACE(c.golden);
    StateBuilder b;
    c.build(b);
    EXPECT_EQ(DescComputeSize(b.state()),
              DESC_HEADER_SIZE + DescSizeItems(b.state()) + DescSizeRules(b.state()) + DescSizeTail(b.state()));
  }
}

const char *const kTextCases[] = {"pickone3", "shared_transact", "judges_cmdgroup", "slots_bool_numeric", "no_items"};

TEST(BlobGolden, CompiledTextGivesTheGoldenBytes)
{
  for (const char *name : kTextCases) {
    SCOPED_TRACE(name);
    DESC_PARSE_STATE *state = ParseText(ReadFixture(std::string(name) + ".kvd"));
    ASSERT_NE(state, nullptr);
    std::vector<BYTE> stored = StoreState(state);
    DescParseStateFree(state);
    ASSERT_FALSE(stored.empty());
    EXPECT_TRUE(SameBytes(LoadGolden(std::string(name) + ".golden"), stored));
  }
}

// Header fields that the layouts above leave at zero.
TEST(BlobGolden, EmptyRegionsLeaveTheirHeaderLinksZero)
{
  StateBuilder b;
  BuildSharedTransact(b);
  std::vector<BYTE> stored = StoreState(b.state());
  ASSERT_FALSE(stored.empty());
  EXPECT_EQ(DescLd32(stored.data(), offsetof(DESC_HEADER, items)), 0u);
  for (DWORD slot = offsetof(DESC_HEADER, slotsLow); slot < DESC_HEADER_SIZE; slot += 4) {
    if (slot == offsetof(DESC_HEADER, rules)) continue;
    EXPECT_EQ(DescLd32(stored.data(), slot), 0u) << slot;
  }
}

// A section reference whose number has no section, a judge number without a judge, and a
// rule block key that no item has resolve to 0.
TEST(BlobGolden, MissingReferencesResolveToZero)
{
  StateBuilder b;
  BuildSharedTransact(b);
  DESC_RULE_BLOCK *block = b.Exclusive(300);
  block->hideJudge = DESC_REF_JUDGE | 7;
  block->valueRules = DESC_REF_ITEM | 4;
  block->alerts = DESC_REF_ALERT | 1;
  block->transactions2 = DESC_REF_TRANSACT | 0x10001;  // only the lower 16 bits count: 1
  std::vector<BYTE> stored = StoreState(b.state());
  ASSERT_FALSE(stored.empty());
  const BYTE *third = stored.data() + 6812;  // after the two blocks of the shared layout
  EXPECT_EQ(DescLd16(third, offsetof(DESC_RULE_BLOCK, key)), 300);
  EXPECT_EQ(DescLd32(third, offsetof(DESC_RULE_BLOCK, hideJudge)), 0u);
  EXPECT_EQ(DescLd32(third, offsetof(DESC_RULE_BLOCK, valueRules)), 0u);
  EXPECT_EQ(DescLd32(third, offsetof(DESC_RULE_BLOCK, alerts)), 0u);
  EXPECT_EQ(DescLd32(third, offsetof(DESC_RULE_BLOCK, transactions2)), DESC_TAG(6736));
  EXPECT_EQ(DescLd32(stored.data() + 6780, offsetof(DESC_RULE_BLOCK, next)), 6812u);
  EXPECT_EQ(DescLd32(third, offsetof(DESC_RULE_BLOCK, next)), 0u);
}

}  // namespace

namespace {

// Stored item order: variants that lead the list keep their place, variants after a base
// move to the front (latest first), bases keep their order.
TEST(BlobGolden, VariantReorderKeepsLeadingVariants)
{
  StateBuilder b;
  b.Item(1, 0, DESC_TYPE_PICK_ONE, 5);  // leading variant
  b.Item(2, 0, DESC_TYPE_PICK_ONE);     // base
  b.Item(3, 0, DESC_TYPE_PICK_ONE, 6);  // moved
  b.Item(4, 0, DESC_TYPE_PICK_ONE);     // base
  b.Item(5, 0, DESC_TYPE_PICK_ONE, 7);  // moved, ends up first
  std::vector<BYTE> stored = StoreState(b.state());
  ASSERT_FALSE(stored.empty());
  std::vector<WORD> keys;
  for (DWORD n = DescLd32(stored.data(), offsetof(DESC_HEADER, items)); n != 0; n = DescLd32(stored.data(), n))
    keys.push_back(DescLd16(stored.data(), n + offsetof(DESC_ITEM_NODE, key)));
  EXPECT_EQ(keys, (std::vector<WORD>{5, 3, 1, 2, 4}));
  // The first node of the list is stored last, right before the end of the block.
  EXPECT_EQ(DescLd32(stored.data(), offsetof(DESC_HEADER, items)), stored.size() - sizeof(DESC_ITEM_NODE));
}

// A StringType statement takes the text of its CommandString number; when two
// CommandStrings share a number, the first one counts (as the grammar's warning says) and
// the later text is not stored.
TEST(BlobGolden, StringTypeUsesTheFirstCommandStringOfItsNumber)
{
  StateBuilder b;
  b.CommandString(4, "first");
  b.CommandString(4, "second!");
  b.CommandString(5, "five");
  DESC_STATEMENT_STRING *s = reinterpret_cast<DESC_STATEMENT_STRING *>(b.Statement(DESC_STMT_STRING));
  s->length = 4;
  DESC_STATEMENT_STRING *s5 = reinterpret_cast<DESC_STATEMENT_STRING *>(b.Statement(DESC_STMT_STRING));
  s5->length = 5;
  s->head.next = &s5->head;
  DESC_COMMAND_BLOCK *block = b.New<DESC_COMMAND_BLOCK>();
  block->thenList = &s->head;
  b.header()->groups[DESC_GROUP_DOC_RESET] = block;
  std::vector<BYTE> stored = StoreState(b.state());
  ASSERT_EQ(stored.size(), DESC_HEADER_SIZE + 6u + 5u + 16u + 16u + 12u);
  // texts at 6708 ("first") and 6714 ("five"), the statements at 6719 (for 5) and 6735
  // (for 4, the first of the list), the block at 6751
  EXPECT_EQ(DescLd32(stored.data(), offsetof(DESC_HEADER, groups) + 4 * DESC_GROUP_DOC_RESET), 6751u);
  EXPECT_EQ(DescLd32(stored.data(), 6751 + offsetof(DESC_COMMAND_BLOCK, thenList)), 6735u);
  EXPECT_EQ(DescLd32(stored.data(), 6735 + offsetof(DESC_STATEMENT_STRING, length)), 6u);
  EXPECT_EQ(DescLd32(stored.data(), 6735 + offsetof(DESC_STATEMENT_STRING, text)), 6708u);
  EXPECT_EQ(DescLd32(stored.data(), 6735 + offsetof(DESC_STATEMENT, next)), 6719u);
  EXPECT_EQ(DescLd32(stored.data(), 6719 + offsetof(DESC_STATEMENT_STRING, length)), 5u);
  EXPECT_EQ(DescLd32(stored.data(), 6719 + offsetof(DESC_STATEMENT_STRING, text)), 6714u);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(stored.data()) + 6708), "first");
}

// The public entry point lays out the same bytes and frees the grammar's parse state.
TEST(BlobGolden, SerializeLaysOutAndFreesTheParseState)
{
  DESC_PARSE_STATE *state = ParseText(ReadFixture("judges_cmdgroup.kvd"));
  ASSERT_NE(state, nullptr);
  DWORD size = DescComputeSize(state);
  ASSERT_EQ(size, 6827u);
  std::vector<BYTE> block(size);
  state->header->totalSize = size;
  DescSerialize(state, block.data());
  EXPECT_TRUE(SameBytes(LoadGolden("judges_cmdgroup.golden"), block));
}

}  // namespace
