// Conditions, numbered rule sections, Exclusive blocks and references.
#include <atomic>
#include <cstring>
#include <thread>

#include "grammar_support.h"
#include "model/model.h"
#include "tables/template_tables.h"

namespace {

// A parse remembers the names table's answer for every name it looks up: many distinct
// names (its table of answers grows several times on the way), names too long to be kept
// in their answer's entry, and names asked again after the table grew all get the names
// table's answer, and every unknown name is reported as itself.
TEST(NameAnswers, ManyAndLongNamesGetTheNamesTablesAnswers)
{
  const SYMBOL_ENTRY *longItem = nullptr;
  for (SHORT i = 0; i < g_kvSymbolCount && !longItem; ++i) {
    const SYMBOL_ENTRY *e = &g_kvSymbols[i];
    if (e->itemId != 0 && strlen(e->name) >= 40 && ItemFindSymbolByName(e->name) == e) longItem = e;
  }
  ASSERT_NE(nullptr, longItem);
  const SYMBOL_ENTRY *item = ItemFindSymbolByName("KPD_RADIOLIST_6");
  const VALUE_SYMBOL *value = ItemFindValueSymbolByName("IDS_COLOR_MONOCHROME");
  ASSERT_TRUE(item && value);
  const std::string longName = longItem->name;
  const std::string known = "KPD_RADIOLIST_6 == IDS_COLOR_MONOCHROME\n";
  std::string text = "*Judge 1: " + known + "*Judge 2: " + longName + " == 7\n";
  const DWORD kUnknown = 3000;
  auto unknownName = [](DWORD n) { return "NoSuchName" + std::to_string(n) + (n % 2 ? std::string(40, 'x') : ""); };
  for (DWORD n = 0; n < kUnknown; ++n) text += "*Judge " + std::to_string(10 + n) + ": " + unknownName(n) + " == 1\n";
  text += "*Judge 5000: " + known + "*Judge 5001: " + longName + " == 7\n";

  Parsed p;
  ParseText(p, text);
  EXPECT_EQ(kUnknown, p.state->rejectedLines);
  const std::string want = "I" + std::to_string(item->itemId) + " L" + std::to_string(value->valueId) + " == END";
  const std::string wantLong = "I" + std::to_string(longItem->itemId) + " L7 == END";
  for (DWORD number : {1u, 5000u}) {
    ASSERT_NE(nullptr, JudgeOf(p.state, number)) << number;
    EXPECT_EQ(want, CodeText(JudgeOf(p.state, number)->code)) << number;
  }
  for (DWORD number : {2u, 5001u}) {
    ASSERT_NE(nullptr, JudgeOf(p.state, number)) << number;
    EXPECT_EQ(wantLong, CodeText(JudgeOf(p.state, number)->code)) << number;
  }
  for (DWORD n : {0u, 1u, 1500u, 2998u, 2999u})
    EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "Judge " + std::to_string(10 + n) +
                                           ": condition does not compile: unknown name '" + unknownName(n) + "'"))
        << n;
}

class RulesFixture : public ::testing::Test {
 protected:
  void SetUp() override { ParseText(p, FixtureText("rules.kvd")); }
  Parsed p;
};

TEST_F(RulesFixture, JudgesCompileLeftToRightAndSpliceEarlierJudges)
{
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  const DESC_JUDGE *j1 = JudgeOf(p.state, 1), *j2 = JudgeOf(p.state, 2), *j3 = JudgeOf(p.state, 3);
  ASSERT_TRUE(j1 && j2 && j3);
  EXPECT_EQ("I15 L2019 == END", CodeText(j1->code));
  EXPECT_EQ(16u, j1->length);
  EXPECT_EQ("I8 L3008 == I15 L2019 == && END", CodeText(j2->code));
  EXPECT_EQ(32u, j2->length);
  EXPECT_EQ("I12 L1 > I15 L2019 == || END", CodeText(j3->code));
  EXPECT_NE(j1->code, j2->code);  // a copy, not a share
}

TEST_F(RulesFixture, ItemSectionsResolveJudgesByPrefixAndName)
{
  const DESC_SECTION *s1 = SectionOf(p.state, DESC_SECTION_ITEM, 1);
  ASSERT_NE(nullptr, s1);
  auto e = EntriesOf<DESC_VALUE_RULE>(s1->first);
  ASSERT_EQ(2u, e.size());
  EXPECT_EQ(2019, e[0]->valueId);
  EXPECT_EQ(DESC_REF_JUDGE | 1u, e[0]->hideJudge);
  EXPECT_EQ(0u, e[0]->disableJudge);
  EXPECT_EQ(2018, e[1]->valueId);
  EXPECT_EQ(0u, e[1]->hideJudge);
  EXPECT_EQ(2u, e[1]->disableJudge);  // by name: the number alone

  // A comma is a token of its own and shifts the fields.
  auto e2 = EntriesOf<DESC_VALUE_RULE>(SectionOf(p.state, DESC_SECTION_ITEM, 2)->first);
  ASSERT_EQ(2u, e2.size());
  EXPECT_EQ(2019, e2[0]->valueId);
  EXPECT_EQ(0u, e2[0]->hideJudge);
  EXPECT_EQ(DESC_REF_JUDGE | 1u, e2[0]->disableJudge);
  EXPECT_EQ(0, e2[1]->valueId);
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "unknown Judge name ','"));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "Item section: the last entry has 1 of its 3 fields"));
}

TEST_F(RulesFixture, ActionsTransactionsAlertsAndAnswers)
{
  auto a1 = EntriesOf<DESC_ACTION>(SectionOf(p.state, DESC_SECTION_ACTION, 1)->first);
  ASSERT_EQ(2u, a1.size());
  EXPECT_EQ(15, a1[0]->target);
  EXPECT_EQ(0, a1[0]->kind);
  EXPECT_EQ(2018u, a1[0]->value);
  EXPECT_EQ(1031, a1[1]->target);
  EXPECT_EQ(1, a1[1]->kind);
  EXPECT_EQ(7u, a1[1]->value);
  auto a2 = EntriesOf<DESC_ACTION>(SectionOf(p.state, DESC_SECTION_ACTION, 2)->first);
  ASSERT_EQ(1u, a2.size());
  EXPECT_EQ(12, a2[0]->target);
  EXPECT_EQ(7u, a2[0]->value);  // "Default": the copies item's description default so far

  auto t = EntriesOf<DESC_TRANSACTION>(SectionOf(p.state, DESC_SECTION_TRANSACT, 1)->first);
  ASSERT_EQ(2u, t.size());
  EXPECT_EQ(1u, t[0]->judge);
  EXPECT_EQ(1u, t[0]->actions);
  EXPECT_EQ(0u, t[1]->judge);
  EXPECT_EQ(DESC_REF_ACTION | 2u, t[1]->actions);

  auto aa = EntriesOf<DESC_ALERT_ACTION>(SectionOf(p.state, DESC_SECTION_ALERT_ACTION, 1)->first);
  ASSERT_EQ(2u, aa.size());
  EXPECT_EQ(6, aa[0]->button);
  EXPECT_EQ(1u, aa[0]->transactions);
  EXPECT_EQ(1001, aa[0]->dialog);
  EXPECT_EQ(2024, aa[0]->control);
  EXPECT_EQ(7, aa[1]->button);
  EXPECT_EQ(0u, aa[1]->transactions);
  EXPECT_EQ(0, aa[1]->dialog);
  EXPECT_EQ(0, aa[1]->control);

  auto al = EntriesOf<DESC_ALERT>(SectionOf(p.state, DESC_SECTION_ALERT, 1)->first);
  ASSERT_EQ(2u, al.size());
  EXPECT_EQ(2u, al[0]->judge);
  EXPECT_EQ(171, al[0]->message);
  EXPECT_EQ(0x10, al[0]->icon);
  EXPECT_EQ(0, al[0]->buttons);
  EXPECT_EQ(0, al[0]->timing);
  EXPECT_EQ(1u, al[0]->answers);
  EXPECT_EQ(DESC_REF_JUDGE | 3u, al[1]->judge);
  EXPECT_EQ(180, al[1]->message);
  EXPECT_EQ(0xFFFF, al[1]->icon);
  EXPECT_EQ(4, al[1]->buttons);
  EXPECT_EQ(3, al[1]->timing);
  EXPECT_EQ(0u, al[1]->answers);
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "unknown icon 'Foo'"));
}

TEST_F(RulesFixture, ExclusiveBlocksAreAppendedInOrder)
{
  std::vector<const DESC_RULE_BLOCK *> blocks;
  for (const DESC_RULE_BLOCK *b = p.state->exclusive; b; b = b->next) blocks.push_back(b);
  ASSERT_EQ(2u, blocks.size());
  EXPECT_EQ(Key("KPD_RADIOLIST_6"), blocks[0]->key);
  EXPECT_EQ(0u, blocks[0]->hideJudge);
  EXPECT_EQ(DESC_REF_JUDGE | 3u, blocks[0]->disableJudge);
  EXPECT_EQ(1u, blocks[0]->valueRules);
  EXPECT_EQ(1u, blocks[0]->alerts);
  EXPECT_EQ(1u, blocks[0]->transactions1);
  EXPECT_EQ(0u, blocks[0]->transactions2);
  EXPECT_EQ(Key("KPD_IDC_PAPER_EDIT_COPIES"), blocks[1]->key);
  EXPECT_EQ(1u, blocks[1]->hideJudge);
  EXPECT_EQ(DESC_REF_ITEM | 2u, blocks[1]->valueRules);
  EXPECT_EQ(DESC_REF_TRANSACT | 1u, blocks[1]->transactions1);
  EXPECT_EQ(DESC_REF_TRANSACT | 1u, blocks[1]->transactions2);
}

// A Judge whose condition does not compile still stands for its number, as a judge that
// never holds, so rules that use it never fire; each use by number is reported. A
// condition that names it is rejected in turn, and so stands for "never holds" itself.
TEST(RejectedJudges, StandInNeverHoldsAndEveryUseIsReported)
{
  Parsed p;
  ParseText(p,
            "*Judge 5=Bad: Nope == 1\n"
            "*Transact 1: { Bad NULL }\n"
            "*Transact 2: { Judge5 NULL }\n"
            "*Judge 6: Bad || KPD_RADIOLIST_6 == IDS_COLOR_COLOR\n"
            "*Judge 7: KPD_RADIOLIST_6 ==\n"
            "*Transact 3: { Judge9 NULL }\n"
            "*Exclusive: { KPD_RADIOLIST_6 Judge7 NULL NULL NULL NULL NULL }\n"
            "*CommandGroup: JobStart { Command: Bad { Type: FontType } }\n"
            "*Judge 8: KPD_RADIOLIST_6 == 1 && (Judge6)\n");
  EXPECT_EQ(4u, p.state->rejectedLines) << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "Judge 5: condition does not compile: unknown name 'Nope'"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "Judge 6: condition does not compile: it names the rejected Judge 'Bad'"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "Judge 7: condition does not compile: operators and operands do not balance"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "Judge 8: condition does not compile: it names the rejected Judge 'Judge6'"));
  const DESC_JUDGE *j5 = JudgeOf(p.state, 5);
  ASSERT_NE(nullptr, j5);
  EXPECT_EQ("L0 END", CodeText(j5->code));
  EXPECT_EQ(8u, j5->length);
  EXPECT_EQ(1u, RuleCheckCode(j5->code));
  // Not "Bad || a == b" compiled with Bad as 0, which would hold whenever a == b does.
  for (DWORD n : {6u, 7u, 8u}) {
    ASSERT_NE(nullptr, JudgeOf(p.state, n)) << n;
    EXPECT_EQ("L0 END", CodeText(JudgeOf(p.state, n)->code)) << n;
  }
  EXPECT_EQ(nullptr, JudgeOf(p.state, 9));

  EXPECT_EQ(5u, EntriesOf<DESC_TRANSACTION>(SectionOf(p.state, DESC_SECTION_TRANSACT, 1)->first)[0]->judge);
  EXPECT_EQ(DESC_REF_JUDGE | 5u,
            EntriesOf<DESC_TRANSACTION>(SectionOf(p.state, DESC_SECTION_TRANSACT, 2)->first)[0]->judge);
  EXPECT_EQ(DESC_REF_JUDGE | 9u,
            EntriesOf<DESC_TRANSACTION>(SectionOf(p.state, DESC_SECTION_TRANSACT, 3)->first)[0]->judge);
  size_t uses = 0;
  for (const Diagnostic &d : p.diags)
    if (d.severity == DESC_DIAG_WARNING &&
        (d.message.find("Judge 5") != std::string::npos || d.message.find("Judge 7") != std::string::npos) &&
        d.message.find("rejected") != std::string::npos)
      ++uses;
  EXPECT_EQ(4u, uses) << p.All();                     // Transact 1, Transact 2, Exclusive, Command
  EXPECT_FALSE(p.Has(DESC_DIAG_WARNING, "Judge 9"));  // never written: no judge, no warning
}

TEST(RejectedJudges, FirstJudgeOfANumberCounts)
{
  Parsed p;
  ParseText(p,
            "*Judge 4: KPD_RADIOLIST_6 == IDS_COLOR_COLOR\n"
            "*Judge 4: Nope\n"
            "*Judge 4: KPD_RADIOLIST_6 != IDS_COLOR_COLOR\n");
  EXPECT_EQ(1u, p.state->rejectedLines) << p.All();
  EXPECT_EQ("I15 L2019 == END", CodeText(JudgeOf(p.state, 4)->code));
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "Judge 4 is defined again"));
  EXPECT_FALSE(p.Has(DESC_DIAG_WARNING, "was rejected"));
}

// A later Judge line of a rejected number that compiles defines the number: the stand-in
// gives way to it, for the references by number written before it and after it, and for
// the conditions after it that name it. Only one judge of the number remains.
TEST(RejectedJudges, LaterValidLineDefinesARejectedNumber)
{
  Parsed p;
  ParseText(p,
            "*Judge 5=Late: Nope == 1\n"
            "*Transact 1: { Late NULL }\n"
            "*Judge 5: KPD_RADIOLIST_6 == IDS_COLOR_COLOR\n"
            "*Judge 6: Late && KPD_RADIOLIST_1 == 1\n"
            "*Judge 5: KPD_RADIOLIST_6 != IDS_COLOR_COLOR\n");
  EXPECT_EQ(1u, p.state->rejectedLines) << p.All();
  size_t fives = 0;
  for (const DESC_JUDGE *j = p.state->judges; j; j = j->next) fives += j->number == 5;
  EXPECT_EQ(1u, fives);
  ASSERT_NE(nullptr, JudgeOf(p.state, 5));
  EXPECT_EQ("I15 L2019 == END", CodeText(JudgeOf(p.state, 5)->code));
  EXPECT_EQ(16u, JudgeOf(p.state, 5)->length);
  ASSERT_NE(nullptr, JudgeOf(p.state, 6));
  EXPECT_EQ("I15 L2019 == I7 && L1 == END", CodeText(JudgeOf(p.state, 6)->code));
  EXPECT_EQ(5u, EntriesOf<DESC_TRANSACTION>(SectionOf(p.state, DESC_SECTION_TRANSACT, 1)->first)[0]->judge);
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "Judge 5 is defined again; the first definition counts")) << p.All();
}

// Characters that have no place in a condition reject the Judge line with the character
// and its column, instead of ending the condition early.
TEST(RejectedJudges, StrayCharactersAreNamed)
{
  Parsed p;
  ParseText(p,
            "*Judge 1: KPD_RADIOLIST_6 == IDS_COLOR_COLOR, KPD_RADIOLIST_1 == 1\n"
            "*Judge 2: KPD_RADIOLIST_6 == -1\n"
            "*Judge 3: KPD_RADIOLIST_6 == 1;\n");
  EXPECT_EQ(3u, p.state->rejectedLines) << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR,
                    "Judge 1: condition does not compile: a character that has no place in a condition (',' at "
                    "column 35)"))
      << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "Judge 2: condition does not compile: a negative number ('-' at column 20)"));
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "Judge 3: condition does not compile: a character that has no place"));
  for (DWORD n : {1u, 2u, 3u}) EXPECT_EQ("L0 END", CodeText(JudgeOf(p.state, n)->code)) << n;
}

TEST(ReaderErrors, UnclosedValueIsReportedWithTheLineItBeganOn)
{
  Parsed p;
  ParseText(p,
            "*Judge 5=Fin: Nope\n"
            "*Action 3=Later: { KPD_RADIOLIST_6 IDS_COLOR_COLOR\n"  // the brace never closes
            "*Transact 1: { Fin Later }\n");
  EXPECT_EQ(2u, p.state->rejectedLines) << p.All();
  bool found = false;
  for (const Diagnostic &d : p.diags)
    if (d.severity == DESC_DIAG_ERROR && d.message.find("malformed line") != std::string::npos) {
      EXPECT_EQ(2u, d.line);
      found = true;
    }
  EXPECT_TRUE(found) << p.All();
  EXPECT_EQ(nullptr, p.state->sections[DESC_SECTION_ACTION]);
}

TEST(SectionNames, NameStillMeansItsNumberAfterARejectedLine)
{
  Parsed p;
  ParseText(p,
            "*Judge 5=Fin: Nope\n"
            "*Action 3=Later: KPD_RADIOLIST_6 IDS_COLOR_COLOR\n"
            "*Transact 1: { Fin Later }\n");
  EXPECT_EQ(2u, p.state->rejectedLines) << p.All();
  auto t = EntriesOf<DESC_TRANSACTION>(SectionOf(p.state, DESC_SECTION_TRANSACT, 1)->first);
  ASSERT_EQ(1u, t.size());
  EXPECT_EQ(5u, t[0]->judge);
  EXPECT_EQ(3u, t[0]->actions);
  EXPECT_EQ(nullptr, SectionOf(p.state, DESC_SECTION_ACTION, 3));
}

TEST(SectionNames, ListsMapNamesToTheFirstNumber)
{
  DESC_PARSE_STATE *s = DescParseStateCreate();
  ASSERT_NE(nullptr, s);
  DescInitSectionNames(s);
  EXPECT_TRUE(DescAddSectionName(s, 2, "Go", 4));
  EXPECT_TRUE(DescAddSectionName(s, 2, "Go", 9));
  EXPECT_TRUE(DescAddSectionName(s, 0, "Go", 7));
  EXPECT_EQ(4u, DescFindSectionNumber(s, 2, "Go"));
  EXPECT_EQ(7u, DescFindSectionNumber(s, 0, "Go"));
  EXPECT_EQ(0u, DescFindSectionNumber(s, 1, "Go"));
  EXPECT_EQ(0u, DescFindSectionNumber(s, 2, "go"));
  EXPECT_FALSE(DescAddSectionName(s, 6, "Go", 1));
  EXPECT_FALSE(DescAddSectionName(nullptr, 2, "Go", 1));
  EXPECT_EQ(0u, DescFindSectionNumber(nullptr, 2, "Go"));
  // The lists belong to one parse state: another state sees none of them.
  DESC_PARSE_STATE *other = DescParseStateCreate();
  ASSERT_NE(nullptr, other);
  EXPECT_EQ(0u, DescFindSectionNumber(other, 2, "Go"));
  DescParseStateFree(other);
  DescFreeSectionNames(s);
  EXPECT_EQ(0u, DescFindSectionNumber(s, 2, "Go"));
  EXPECT_TRUE(DescAddSectionName(s, 3, "Left", 1));  // freed with the state
  DescParseStateFree(s);
}

// Two parses at once each keep their own section names: the names of one never resolve a
// reference of the other, and nothing is freed twice (the sanitizer build would stop).
TEST(SectionNames, TwoParsesAtOnceKeepTheirOwnNames)
{
  // Each thread names the same sections with numbers of its own; a reference by name
  // must come out with the thread's own number on every parse.
  auto text = [](int t) {
    std::string n = std::to_string(t + 1);
    std::string s;
    for (int i = 0; i < 20; ++i)
      s += "*Judge " + std::to_string(t * 100 + i + 1) + "=J" + std::to_string(i) + ": KPD_RADIOLIST_6 == " + n + "\n";
    s += "*Action " + n + "=Go: { KPD_RADIOLIST_6 " + n + " }\n";
    s += "*Transact 1=T: { J7 Go }\n";
    s += "*Exclusive: { KPD_RADIOLIST_6 J3 NULL NULL NULL T NULL }\n";
    return s;
  };
  constexpr int kThreads = 3;
  constexpr int kRounds = 40;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  (void)CtxGetTemplate();  // the names table's template context, before the threads
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &text, &wrong] {
      const std::string desc = text(t);
      for (int round = 0; round < kRounds; ++round) {
        DESC_PARSE_STATE *s = DescParseTextEx(desc.data(), static_cast<DWORD>(desc.size()), nullptr);
        if (!s || s->rejectedLines != 0 || !s->exclusive || !s->sections[DESC_SECTION_TRANSACT]) {
          ++wrong;
        } else {
          auto *tr = static_cast<const DESC_TRANSACTION *>(s->sections[DESC_SECTION_TRANSACT]->first);
          if ((tr->judge & 0xFFFFu) != static_cast<DWORD>(t * 100 + 8) || (tr->actions & 0xFFFFu) != DWORD(t + 1) ||
              (s->exclusive->hideJudge & 0xFFFFu) != static_cast<DWORD>(t * 100 + 4) ||
              (s->exclusive->transactions1 & 0xFFFFu) != 1u)
            ++wrong;
        }
        DescParseStateFree(s);
      }
    });
  }
  for (std::thread &th : threads) th.join();
  EXPECT_EQ(0, wrong.load());
}

TEST(SectionEmpty, BracesWithoutEntriesMakeNoSection)
{
  Parsed p;
  ParseText(p, "*Item 1: { }\n*Exclusive: {}\n");
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  EXPECT_EQ(nullptr, p.state->sections[DESC_SECTION_ITEM]);
  EXPECT_EQ(nullptr, p.state->exclusive);
  EXPECT_TRUE(p.Has(DESC_DIAG_WARNING, "Item 1 has no entries"));
}

TEST(NumbersAndReferences, ParseNumberAndReferenceCodes)
{
  struct Case {
    const char *word;
    LONG number;
    DWORD reference;
  } cases[] = {
      {"Judge12", 12, DESC_REF_JUDGE | 12},
      {"Item7", 7, DESC_REF_ITEM | 7},
      {"Action3", 3, DESC_REF_ACTION | 3},
      {"Transact2", 2, DESC_REF_TRANSACT | 2},
      {"AlertAction4", 4, DESC_REF_ALERT_ACTION | 4},
      {"Alert5", 5, DESC_REF_ALERT | 5},
      {"NULL", 0, 0},
      {"NULLify9", 9, 0},
      {"Fin", 0, DESC_REF_NAME},
      {"12=Name3", 12, DESC_REF_NAME},
      {"1-2", -12, DESC_REF_NAME},
      {"4 5", 4, DESC_REF_NAME},
      {"Judge70001", 70001, DESC_REF_JUDGE | (70001 & 0xFFFF)},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(c.number, DescParseNumber(c.word)) << c.word;
    EXPECT_EQ(c.reference, DescParseReference(c.word)) << c.word;
  }
  LONG v = 1;
  EXPECT_FALSE(DescParseNumberChecked("99999999999", &v));
  EXPECT_FALSE(DescParseNumberChecked("2147483648", &v));
  EXPECT_TRUE(DescParseNumberChecked("-2147483647", &v));
  EXPECT_EQ(-2147483647, v);
  EXPECT_EQ(0, DescParseNumber("99999999999"));
  EXPECT_EQ(1u, StrIsAllDigits("0123"));
  EXPECT_EQ(1u, StrIsAllDigits(""));
  EXPECT_EQ(0u, StrIsAllDigits("12a"));
  EXPECT_EQ(0u, StrIsAllDigits("-1"));
  EXPECT_EQ(1u, StrIsAlnum("Ab9"));
  EXPECT_EQ(1u, StrIsAlnum(""));
  EXPECT_EQ(0u, StrIsAlnum("A_b"));
  EXPECT_EQ(0u, StrIsAlnum("\xE9"));
}

}  // namespace

namespace {

size_t CountOf(const Parsed &p, DWORD severity, const std::string &text)
{
  size_t n = 0;
  for (const Diagnostic &d : p.diags) n += d.severity == severity && d.message == text;
  return n;
}

}  // namespace

// A number defined again warns once for every earlier definition, whatever lies between
// them; the lists keep every definition in the order of the text (the first one counts),
// and a name given to two numbers stands for the first.
TEST(RepeatedDefinitions, WarnOncePerEarlierDefinitionAndKeepTheOrder)
{
  std::string text;
  for (int round = 0; round < 3; ++round) {
    for (int n = 1; n <= 40; ++n) {
      std::string num = std::to_string(n);
      if (round == 0 || n == 7) {
        text += "*Item " + num + ": { IDS_COLOR_COLOR NULL NULL }\n";
        text += "*CommandString " + num + ": \"s" + num + "-" + std::to_string(round) + "\"\n";
      }
      if (round == 0) text += "*Judge " + num + "=J" + num + ": KPD_RADIOLIST_6 == IDS_COLOR_COLOR\n";
    }
  }
  text += "*Judge 41=J3: KPD_RADIOLIST_6 != IDS_COLOR_COLOR\n";
  text += "*Transact 1: { J3 NULL }\n";
  text += "*Exclusive: { KPD_RADIOLIST_6 J1 NULL NULL NULL NULL NULL }\n";
  text += "*Exclusive: { KPD_RADIOLIST_1 J2 NULL NULL NULL NULL NULL KPD_RADIOLIST_6 J4 NULL NULL NULL NULL NULL }\n";
  text += "*Exclusive: { KPD_RADIOLIST_6 J5 NULL NULL NULL NULL NULL }\n";
  Parsed p;
  ParseText(p, text);
  EXPECT_EQ(0u, p.state->rejectedLines) << p.All();
  EXPECT_EQ(3u, CountOf(p, DESC_DIAG_WARNING, "Item 7 is defined again; the first definition counts")) << p.All();
  EXPECT_EQ(3u, CountOf(p, DESC_DIAG_WARNING, "CommandString 7 is defined again; the first definition counts"));
  EXPECT_EQ(6u, p.Count(DESC_DIAG_WARNING)) << p.All();
  // Every definition is listed, in the order of the text.
  std::vector<DWORD> items, strings, judges;
  for (const DESC_SECTION *s = p.state->sections[DESC_SECTION_ITEM]; s; s = s->next) items.push_back(s->number);
  for (const DESC_COMMAND_STRING *c = p.state->strings; c; c = c->next) strings.push_back(c->number);
  for (const DESC_JUDGE *j = p.state->judges; j; j = j->next) judges.push_back(j->number);
  std::vector<DWORD> expected;
  for (DWORD n = 1; n <= 40; ++n) expected.push_back(n);
  expected.push_back(7);
  expected.push_back(7);
  EXPECT_EQ(expected, items);
  EXPECT_EQ(expected, strings);
  ASSERT_EQ(41u, judges.size());
  for (DWORD i = 0; i < 41; ++i) EXPECT_EQ(i + 1, judges[i]);
  const DESC_COMMAND_STRING *first7 = p.state->strings;
  while (first7 && first7->number != 7) first7 = first7->next;
  ASSERT_NE(nullptr, first7);
  EXPECT_STREQ("s7-0", first7->text);
  // The name J3 stands for Judge 3, not for the later Judge 41 that names itself J3 too.
  EXPECT_EQ(3u, EntriesOf<DESC_TRANSACTION>(SectionOf(p.state, DESC_SECTION_TRANSACT, 1)->first)[0]->judge & 0xFFFFu);
  // The Exclusive blocks of three lines follow each other in one list.
  std::vector<DESC_RULE_LINK> hides;
  for (const DESC_RULE_BLOCK *b = p.state->exclusive; b; b = b->next) hides.push_back(b->hideJudge & 0xFFFFu);
  EXPECT_EQ((std::vector<DESC_RULE_LINK>{1, 2, 4, 5}), hides);
}

// Every name of the names tables, and a near miss of each (one letter more), resolves in
// a condition as the names table answers it, the first time and every time after (a parse
// remembers the answers by name): an item operand, a value literal, or an unknown name.
TEST(ConditionNames, EveryTableNameResolvesAsTheTableAnswersEachTime)
{
  std::vector<std::string> names;
  auto isWord = [](const char *name) {
    if (!name || !*name || (*name >= '0' && *name <= '9')) return false;
    for (const char *c = name; *c; ++c)
      if (!(DESC_CHAR_CLASS[static_cast<BYTE>(*c)] & DESC_CC_KEYWORD)) return false;
    return true;
  };
  for (SHORT i = 0; i < g_kvSymbolCount; ++i)
    if (isWord(g_kvSymbols[i].name)) names.push_back(g_kvSymbols[i].name);
  for (SHORT i = 0; i < g_kvValueSymbolCount; ++i)
    if (isWord(g_kvValueSymbols[i].name)) names.push_back(g_kvValueSymbols[i].name);
  ASSERT_GT(names.size(), 1000u);
  size_t tableNames = names.size();
  for (size_t i = 0; i < tableNames; ++i) names.push_back(names[i] + "Z");
  // What the condition "name == 1" compiles to, from the names table itself.
  auto expected = [](const std::string &name) -> std::string {
    const SYMBOL_ENTRY *sym = ItemFindSymbolByName(name.c_str());
    if (sym && sym->itemId) return "I" + std::to_string(sym->itemId) + " L1 == END";
    const VALUE_SYMBOL *vs = ItemFindValueSymbolByName(name.c_str());
    if (vs) return "L" + std::to_string(vs->valueId) + " L1 == END";
    return "";  // rejected
  };
  std::string text;
  for (int round = 0; round < 2; ++round)
    for (size_t i = 0; i < names.size(); ++i)
      text += "*Judge " + std::to_string(round * names.size() + i + 1) + ": " + names[i] + " == 1\n";
  ASSERT_LT(2 * names.size(), 65536u);
  Parsed p;
  ParseText(p, text);
  size_t rejected = 0;
  for (int round = 0; round < 2; ++round) {
    for (size_t i = 0; i < names.size(); ++i) {
      SCOPED_TRACE(names[i]);
      DWORD number = static_cast<DWORD>(round * names.size() + i + 1);
      std::string want = expected(names[i]);
      const DESC_JUDGE *j = JudgeOf(p.state, number);
      ASSERT_NE(nullptr, j);
      if (want.empty()) {
        ++rejected;
        EXPECT_EQ("L0 END", CodeText(j->code));  // the stand-in of a rejected condition
      } else {
        EXPECT_EQ(want, CodeText(j->code));
      }
    }
  }
  EXPECT_EQ(rejected, p.state->rejectedLines);
}
