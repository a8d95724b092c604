// PJL command groups, command strings and font lists.
#include "grammar_support.h"

namespace {

class GroupsFixture : public ::testing::Test {
 protected:
  void SetUp() override { ParseText(p, FixtureText("groups.kvd")); }
  Parsed p;
};

// Statement list as text: S<n> StringType, G<key>:<variant> GroupType, F FontType,
// C[judge](then)(else) Command.
std::string ListText(const DESC_STATEMENT *st);

std::string BlockText(const DESC_COMMAND_BLOCK *b)
{
  return "C" + std::to_string(b->judge) + "(" + ListText(b->thenList) + ")(" + ListText(b->elsePart) + ")";
}

std::string ListText(const DESC_STATEMENT *st)
{
  std::string s;
  for (; st; st = st->next) {
    if (!s.empty()) s += ' ';
    switch (st->kind) {
      case DESC_STMT_STRING:
        s += "S" + std::to_string(reinterpret_cast<const DESC_STATEMENT_STRING *>(st)->length);
        break;
      case DESC_STMT_GROUP: {
        auto *g = reinterpret_cast<const DESC_STATEMENT_GROUP *>(st);
        s += "G" + std::to_string(g->head.key) + ":" + std::to_string(g->variant);
        break;
      }
      case DESC_STMT_FONT: s += "F"; break;
      case DESC_STMT_COMMAND: s += BlockText(reinterpret_cast<const DESC_STATEMENT_COMMAND *>(st)->block); break;
      default: s += "?";
    }
  }
  return s;
}

TEST_F(GroupsFixture, JobStartStatementsWithNestedCommandBlocks)
{
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  const DESC_COMMAND_BLOCK *job = p.header()->groups[DESC_GROUP_JOB_START];
  ASSERT_NE(nullptr, job);
  EXPECT_EQ(0u, job->judge);
  EXPECT_EQ(nullptr, job->elsePart);
  std::string g6 = "G" + std::to_string(Key("KPD_RADIOLIST_6")) + ":0";
  std::string g1 = "G" + std::to_string(Key("KPD_RADIOLIST_1")) + ":2";
  // Command IsColor (judge 1 by name) { F } ElseIf Judge2 { S2 } Else { S1 };
  // Command NULL { F } is unconditional; Command Judge1 { } adds nothing.
  std::string elseIf = "C" + std::to_string(DESC_REF_JUDGE | 2u) + "(S2)(S1)";
  EXPECT_EQ("S1 " + g6 + " " + g1 + " C1(F)(" + elseIf + ") C0(F)()", ListText(job->thenList));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "CommandGroup: unknown group 'Unknown'"));
}

TEST_F(GroupsFixture, LaterGroupReplacesEarlierAndUnknownGroupChangesNothing)
{
  ASSERT_NE(nullptr, p.header()->groups[DESC_GROUP_JOB_END]);
  EXPECT_EQ("S1", ListText(p.header()->groups[DESC_GROUP_JOB_END]->thenList));
  ASSERT_NE(nullptr, p.header()->groups[DESC_GROUP_PAGE_START]);
  EXPECT_EQ("F", ListText(p.header()->groups[DESC_GROUP_PAGE_START]->thenList));
  EXPECT_EQ(nullptr, p.header()->groups[DESC_GROUP_DOC_RESET]);
  EXPECT_EQ(nullptr, p.header()->groups[DESC_GROUP_PAGE_END]);
}

TEST_F(GroupsFixture, CommandStringsAndFontLists)
{
  const DESC_COMMAND_STRING *c = p.state->strings;
  ASSERT_NE(nullptr, c);
  EXPECT_EQ(1u, c->number);
  EXPECT_STREQ("@PJL JOB\r\n", c->text);
  EXPECT_EQ(11u, c->length);
  ASSERT_NE(nullptr, c->next);
  EXPECT_EQ(2u, c->next->number);
  EXPECT_STREQ("@PJL EOJ\r\n", c->next->text);
  EXPECT_EQ(nullptr, c->next->next);

  ASSERT_EQ(2u, p.header()->deviceFontCount);
  EXPECT_EQ(1u, p.header()->deviceFonts[0]->fontId);
  EXPECT_STREQ("Courier", p.header()->deviceFonts[0]->name);
  EXPECT_EQ(2u, p.header()->deviceFonts[1]->fontId);
  EXPECT_STREQ("Letter Gothic", p.header()->deviceFonts[1]->name);
  // An entry without a name ends the list.
  ASSERT_EQ(1u, p.header()->cartridgeFontCount);
  EXPECT_STREQ("Cart A", p.header()->cartridgeFonts[0]->name);
  EXPECT_EQ(10u, p.header()->cartridgeFonts[0]->fontId);
}

TEST(CommandGroups, FontListReplacedAndEmptiedByAMalformedLine)
{
  Parsed p;
  ParseText(p,
            "*DeviceFonts: IDList { {\"A\" 1} }\n"
            "*DeviceFonts: IDList { {\"B\" 2} {\"C\" 3} }\n"
            "*FontCartridge: IDList { {\"D\" 4} }\n"
            "*FontCartridge: { {\"E\" 5} }\n");
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  ASSERT_EQ(2u, p.header()->deviceFontCount);
  EXPECT_STREQ("B", p.header()->deviceFonts[0]->name);
  EXPECT_EQ(0u, p.header()->cartridgeFontCount);
  EXPECT_EQ(nullptr, p.header()->cartridgeFonts);
}

TEST(CommandGroups, StatementEdgeCases)
{
  Parsed p;
  ParseText(p,
            "*CommandGroup: DocReset {\n"
            "  Type: StringType 0\n"
            "  Type: GroupType NoSuchItem 3 Type: FontType\n"
            "  Type: GroupType *KPD_RADIOLIST_6 -4\n"
            "  Type: Strange\n"
            "  Command: NULL { Type: FontType } Else { Type: StringType 9 }\n"
            "}\n"
            "*CommandGroup: PageEnd { Command: Judge3 Type: FontType }\n"
            "*CommandGroup: JobEnd { }\n");
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  // Else after an unconditional Command is no statement: it ends the block.
  std::string g = "G" + std::to_string(Key("KPD_RADIOLIST_6")) + ":-4";
  EXPECT_EQ(g + " C0(F)()", ListText(p.header()->groups[DESC_GROUP_DOC_RESET]->thenList));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "unknown item 'NoSuchItem' in GroupType"));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "unknown statement type 'Strange'"));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "'Else' is not a statement"));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "Command 'Judge3' is not followed by '{'"));
  EXPECT_EQ("F", ListText(p.header()->groups[DESC_GROUP_PAGE_END]->thenList));
  EXPECT_EQ(nullptr, p.header()->groups[DESC_GROUP_JOB_END]);
}

std::string Nested(int depth)
{
  std::string s = "*CommandGroup: JobStart {";
  for (int i = 0; i < depth; ++i) s += " Command: Judge1 {";
  s += " Type: FontType";
  for (int i = 0; i < depth; ++i) s += " }";
  return s + " }\n";
}

TEST(CommandGroups, NestingIsBoundedAndOnlyTheCommandPastTheBoundIsDropped)
{
  Parsed ok;
  ParseText(ok, Nested(64));
  EXPECT_EQ(0u, ok.state->rejectedLines) << ok.All();
  EXPECT_EQ(0u, ok.Count(DESC_DIAG_ERROR)) << ok.All();
  const DESC_COMMAND_BLOCK *b = ok.header()->groups[DESC_GROUP_JOB_START];
  int depth = 0;
  for (const DESC_STATEMENT *st = b->thenList; st && st->kind == DESC_STMT_COMMAND; ++depth)
    st = reinterpret_cast<const DESC_STATEMENT_COMMAND *>(st)->block->thenList;
  EXPECT_EQ(64, depth);

  // One level more: the innermost Command (with its ElseIf and Else parts) goes, with a
  // message; the statements beside it and every level above it stay.
  std::string deep = "*CommandGroup: JobStart {";
  for (int i = 0; i < 64; ++i) deep += " Command: Judge1 {";
  deep +=
      " Type: StringType 1 Command: Judge2 { Type: FontType Command: Judge3 { Type: FontType } }"
      " ElseIf: Judge4 { Type: FontType } Else { Type: FontType } Type: StringType 2";
  for (int i = 0; i < 64; ++i) deep += " }";
  deep += " Type: StringType 3 }\n";
  Parsed p;
  ParseText(p, deep);
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "Command blocks nested deeper than 64; that Command is dropped")) << p.All();
  EXPECT_EQ(1u, p.Count(DESC_DIAG_ERROR)) << p.All();
  b = p.header()->groups[DESC_GROUP_JOB_START];
  ASSERT_NE(nullptr, b);
  const DESC_STATEMENT *list = b->thenList;
  ASSERT_NE(nullptr, list);
  EXPECT_EQ("S3", ListText(list->next));
  for (depth = 0; list && list->kind == DESC_STMT_COMMAND; ++depth)
    list = reinterpret_cast<const DESC_STATEMENT_COMMAND *>(list)->block->thenList;
  EXPECT_EQ(64, depth);
  EXPECT_EQ("S1 S2", ListText(list));

  // Many lines of deep nesting: each loses only what passes the bound.
  Parsed many;
  ParseText(many, "*CommandGroup: JobStart { Type: FontType }\n" + Nested(65) + Nested(5000));
  EXPECT_EQ(0u, many.state->rejectedLines) << many.All();
  EXPECT_EQ(2u, many.Count(DESC_DIAG_ERROR)) << many.All();
}

// An ElseIf chain is not nesting: a chain of any length is read link by link, stored,
// validated and walked without a bound on its length.
TEST(CommandGroups, ElseIfChainsHaveNoLengthBound)
{
  std::string chain = "*CommandGroup: JobEnd { Command: Judge1 { Type: StringType 1 }";
  for (int i = 2; i <= 3000; ++i)
    chain += "\n ElseIf: Judge" + std::to_string(i) + " { Type: StringType " + std::to_string(i) + " }";
  chain += " Else { Type: FontType } Type: StringType 9 }\n";
  Parsed p;
  ParseText(p, chain);
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  const DESC_COMMAND_BLOCK *b = p.header()->groups[DESC_GROUP_JOB_END];
  ASSERT_NE(nullptr, b);
  ASSERT_NE(nullptr, b->thenList);
  EXPECT_EQ("S9", ListText(b->thenList->next));
  // Follow the chain through the else parts: each holds the one statement of the next link.
  const DESC_STATEMENT *st = b->thenList;
  int links = 0;
  const DESC_COMMAND_BLOCK *last = nullptr;
  while (st && st->kind == DESC_STMT_COMMAND) {
    last = reinterpret_cast<const DESC_STATEMENT_COMMAND *>(st)->block;
    ++links;
    EXPECT_EQ(DESC_REF_JUDGE | static_cast<DWORD>(links), last->judge);
    EXPECT_EQ("S" + std::to_string(links), ListText(last->thenList));
    st = last->elsePart;
    if (st && st->kind == DESC_STMT_COMMAND) {
      EXPECT_EQ(nullptr, st->next);
    }
  }
  EXPECT_EQ(3000, links);
  ASSERT_NE(nullptr, last);
  EXPECT_EQ("F", ListText(last->elsePart));
}

// A bad entry costs only itself: a StringType or GroupType number out of range drops that
// statement, with a message, and the statements around it stay.
TEST(CommandGroups, BadStatementsAreDroppedAlone)
{
  Parsed p;
  ParseText(p,
            "*CommandGroup: JobStart { Type: StringType 1 Type: StringType 99999999999 Type: FontType\n"
            "  Type: GroupType KPD_RADIOLIST_6 40000 Type: StringType 2\n"
            "  Type: GroupType KPD_RADIOLIST_6 -99999999999 Type: StringType 3\n"
            "  Type: StringType -4 Type: StringType 5 }\n"
            "*CommandGroup: JobEnd { Command: Judge70000 { Type: FontType } ElseIf: Judge2 { Type: FontType }\n"
            "  Type: StringType 6 }\n");
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  EXPECT_EQ("S1 F S2 S3 S5", ListText(p.header()->groups[DESC_GROUP_JOB_START]->thenList));
  EXPECT_EQ("S6", ListText(p.header()->groups[DESC_GROUP_JOB_END]->thenList));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "StringType number '99999999999' is out of range; statement dropped"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "StringType number '-4' is out of range; statement dropped"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "variant of GroupType 'KPD_RADIOLIST_6' is out of range"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "judge reference 'Judge70000' is out of range (1-65535); the Command is dropped"));
  EXPECT_EQ(5u, p.Count(DESC_DIAG_ERROR)) << p.All();
  for (const Diagnostic &d : p.diags)
    if (d.severity == DESC_DIAG_ERROR) {
      EXPECT_NE(0u, d.line);
    }
}

TEST(CommandStrings, NumbersAndTexts)
{
  Parsed p;
  ParseText(p,
            "*CommandString 3: \"\"\n"
            "*CommandString -1: \"x\"\n"
            "*CommandString 99999999999: \"x\"\n"
            "*CommandString 4: \"<1B>E%<\"\n"
            "*CommandString 4: \"again\"\n");
  EXPECT_EQ(3u, p.state->rejectedLines) << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "CommandString 3 has no text"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "CommandString number '-1' is out of range"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "CommandString number '99999999999' is out of range"));
  ASSERT_NE(nullptr, p.state->strings);
  EXPECT_STREQ(
      "\x1B"
      "E<",
      p.state->strings->text);
  EXPECT_EQ(4u, p.state->strings->length);
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "CommandString 4 is defined again"));
}

// Quoted texts decode the same whether their bytes come one by one or in runs: line ends
// dropped, <hex> pairs as bytes (an odd digit or another byte in between is passed over),
// % taking the next byte as it is outside <hex> but not inside it.
TEST(CommandStrings, QuotedTextsDecodeEscapesAndHexPairs)
{
  const struct Case {
    std::string quoted;  // the value of a CommandString line
    std::string text;    // what it decodes to
  } cases[] = {
      {"\"plain text, 12 bytes\"", "plain text, 12 bytes"},
      {"\"two\r\nlines\nthree\"", "twolinesthree"},
      {"\"<1B>E<0d0A>\"",
       "\x1B"
       "E\r\n"},
      {"\"<1 B2>x\"", "\xB2x"},
      {"\"<414>z\"", "Az"},
      {"\"50%% %\"q%\"\"", "50% \"q\""},
      {"\"<41%\">\"", "A"},
      {"\"a%<b>c\"", "a<b>c"},
      {"\"<4g41>\"", "A"},
      {"\"" + std::string(40, 'r') + "<20>" + std::string(40, 's') + "\"",
       std::string(40, 'r') + " " + std::string(40, 's')},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.quoted);
    Parsed p;
    ParseText(p, "*CommandString 1: " + c.quoted + "\n");
    EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
    ASSERT_NE(nullptr, p.state->strings);
    EXPECT_EQ(c.text, p.state->strings->text);
    EXPECT_EQ(c.text.size() + 1, p.state->strings->length);
  }
}

TEST(HeaderLines, DllNamesReplaceAndEmptyClears)
{
  Parsed p;
  ParseText(p,
            "*UIResDLLName: \"A.DLL\"\n"
            "*UIResDLLName: \"B.DLL\"\n"
            "*ExcDepDLLName: \"C.DLL\"\n"
            "*ExcDepDLLName: \"\"\n"
            "*FileVersion: 1.0\n");
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  ASSERT_NE(nullptr, p.header()->uiResDllName);
  EXPECT_EQ(std::u16string(u"B.DLL"), std::u16string(p.header()->uiResDllName));
  EXPECT_EQ(nullptr, p.header()->excDepDllName);
  EXPECT_EQ(std::u16string(u"1.0"), std::u16string(p.header()->fileVersion));
}

}  // namespace
