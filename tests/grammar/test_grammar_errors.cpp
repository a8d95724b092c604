// Rejected lines and their messages, conditions as Judge lines, direct dispatch of lines
// the reader would never deliver, and parsing from a file.
#include <deque>

#include "grammar_support.h"
#include "kvplat/control.h"
#include "machine_fixture.h"

namespace {

struct BadLine {
  const char *text;     // the whole description
  const char *message;  // part of the error reported
  DWORD line;           // physical line of the error
};

TEST(RejectedLines, EachReportsWhyOnItsLine)
{
  const BadLine cases[] = {
      {"*Foo: x\n", "unknown keyword 'Foo'", 1},
      {"*OpenUI *KPD_RADIOLIST_1: PickOne\n*OpenUI *KPD_RADIOLIST_6: PickOne\n",
       "OpenUI while item 'KPD_RADIOLIST_1' is open", 2},
      {"*OpenUI KPD_RADIOLIST_1: PickOne\n", "OpenUI needs the item as '*name'", 1},
      {"*OpenUI *Bar: PickOne\n", "OpenUI: unknown item 'Bar'", 1},
      {"*Judge 0: KPD_RADIOLIST_6\n", "Judge needs a number from 1 to 65535, not '0'", 1},
      {"*Judge x: KPD_RADIOLIST_6\n", "Judge needs a number from 1 to 65535, not 'x'", 1},
      {"*Judge 70000: KPD_RADIOLIST_6\n", "Judge number '70000' is out of range", 1},
      {"*Judge -3: KPD_RADIOLIST_6\n", "Judge number '-3' is out of range", 1},
      {"*Judge 99999999999: KPD_RADIOLIST_6\n", "Judge number '99999999999' is out of range", 1},
      {"\n\n*Judge 5: KPD_RADIOLIST_6 == Bar\n", "Judge 5: condition does not compile: unknown name 'Bar'", 3},
      {"*Judge 5: KPD_RADIOLIST_6 ==\n", "Judge 5: condition does not compile: operators and operands do not balance",
       1},
      {"*Judge 5: KPD_RADIOLIST_6 == -1\n", "Judge 5: condition does not compile: a negative number", 1},
      {"*Judge 5: KPD_RADIOLIST_6 == 65536\n", "Judge 5: condition does not compile: a number above 65535", 1},
      {"*Judge 5: KPD_IDC_SETUP_BUTTON_MAINTENANCE == 1\n",
       "Judge 5: condition does not compile: a name with no value to compare (a dialog, control or function) "
       "'KPD_IDC_SETUP_BUTTON_MAINTENANCE'",
       1},
      {"*Judge 5: KPD_RADIOLIST_6 =< 1\n", "Judge 5: condition does not compile: an unknown operator", 1},
      {"*Item 1: IDS_COLOR_COLOR NULL NULL\n", "Item section: the value must begin with '{'", 1},
      {"*Item 1:\n", "Item section: the value has no '{'", 1},
      {"*Alert 2=A: IDS_COLOR_COLOR\n", "Alert section: the value must begin with '{'", 1},
      {"*Transact 1: { Judge70000 NULL }\n", "reference 'Judge70000' is out of range (1-65535)", 1},
      {"*Exclusive: { KPD_RADIOLIST_6 Judge99999999999 NULL NULL NULL NULL NULL }\n",
       "reference 'Judge99999999999' is out of range", 1},
      {"*Action 1: { KPD_RADIOLIST_6 99999999999 }\n", "Action section: value '99999999999' is too large", 1},
      {"*Item 65536: { IDS_COLOR_COLOR NULL NULL }\n", "Item number '65536' is out of range", 1},
      {"*CommandString 2: \"\"\n", "CommandString 2 has no text", 1},
      {"*OpenUI \n", "malformed line", 1},
      {"*FileVersion: 1\n*CommandString 1: \"x)\"\n", "stops at an unexpected character", 2},
      // A line the end of the file leaves open says so.
      {"*FileVersion: 1\n\n*CommandString 1: \"abc\n", "'CommandString' is lost: the file ends inside a quote", 3},
      {"*CommandString 1: \"a%", "the file ends inside a quote", 1},
      {"*Judge 1: (KPD_RADIOLIST_6 == 1\n", "'Judge' is lost: the file ends inside a parenthesis", 1},
      {"*CommandGroup: JobStart {\n Type: FontType\n", "'CommandGroup' is lost: the file ends inside a brace", 1},
      {"*CommandGroup: JobStart { Command: Judge1 { Type: FontType }\n", "the file ends inside a brace", 1},
      {"*OpenUI *KPD_RADIOLIST_1: PickOne\n*CloseUI\n*OpenUI *KPD_RADIOLIST_1 0: PickOne\n", "variant 0", 3},
  };
  for (const BadLine &c : cases) {
    Parsed p;
    ParseText(p, c.text);
    EXPECT_EQ(1u, p.state->rejectedLines) << c.text << p.All();
    bool found = false;
    for (const Diagnostic &d : p.diags) {
      if (d.severity != DESC_DIAG_ERROR) continue;
      EXPECT_EQ(c.line, d.line) << c.text << d.message;
      if (d.message.find(c.message) != std::string::npos) found = true;
    }
    EXPECT_TRUE(found) << c.text << "\nwanted: " << c.message << "\ngot:\n" << p.All();
  }
}

// Conditions are read strictly left to right: no operator binds tighter than another.
TEST(JudgeConditions, LeftToRightWithoutPrecedence)
{
  struct Case {
    const char *condition;
    const char *code;
  } cases[] = {
      {"KPD_RADIOLIST_6 == IDS_COLOR_COLOR", "I15 L2019 == END"},
      {"KPD_RADIOLIST_6 || KPD_RADIOLIST_1 == 2042", "I15 I7 || L2042 == END"},
      {"KPD_RADIOLIST_1 == 2042 || KPD_RADIOLIST_6", "I7 L2042 == I15 || END"},
      {"KPD_RADIOLIST_6 || (KPD_RADIOLIST_1 == 2042)", "I15 I7 L2042 == || END"},
      {"KPD_IDC_PAPER_EDIT_COPIES > 1 && KPD_IDC_PAPER_EDIT_COPIES <= 9", "I12 L1 > I12 && L9 <= END"},
      {"! KPD_RADIOLIST_6", "I15 ! END"},
      {"(KPD_RADIOLIST_6 != 2018)", "I15 L2018 != END"},
      {"KPD_RADIOLIST_6 == 2019 { ignored }", "I15 L2019 == END"},
  };
  for (const Case &c : cases) {
    Parsed p;
    ParseText(p, std::string("*Judge 1: ") + c.condition + "\n");
    EXPECT_EQ(0u, p.state->rejectedLines) << c.condition << "\n" << p.All();
    const DESC_JUDGE *j = JudgeOf(p.state, 1);
    ASSERT_NE(nullptr, j) << c.condition;
    EXPECT_EQ(c.code, CodeText(j->code)) << c.condition;
    EXPECT_EQ(RuleCodeLength(j->code), j->length);
  }
}

TEST(JudgeConditions, JudgeNamesAndNumbersResolveToEarlierJudgesOnly)
{
  Parsed p;
  ParseText(p,
            "*Judge 2: Judge1\n"  // not yet defined: no such name
            "*Judge 1=Mono: KPD_RADIOLIST_6 == IDS_COLOR_MONOCHROME\n"
            "*Judge 3: Judge1 && Mono\n"
            "*Judge 4: ! Judge3\n");
  EXPECT_EQ(1u, p.state->rejectedLines) << p.All();
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "Judge 2: condition does not compile: unknown name 'Judge1'"));
  EXPECT_EQ("I15 L2018 == I15 L2018 == && END", CodeText(JudgeOf(p.state, 3)->code));
  EXPECT_EQ("I15 L2018 == I15 L2018 == && ! END", CodeText(JudgeOf(p.state, 4)->code));
}

// Lines built by hand reach handlers without the reader's guarantees.
class DirectDispatch : public ::testing::Test {
 protected:
  void SetUp() override
  {
    state_ = DescParseStateCreate();
    line_ = DescLineCreate();
    ASSERT_TRUE(state_ && line_);
    // Each node and text in a block of its own, so that a failed allocation can hit it.
    DescParseStateSetBlockSize(state_, DESC_ARENA_ONE_EACH);
    state_->sink = &p_.sink;
    DescInitSectionNames(state_);
  }
  void TearDown() override
  {
    DescFreeSectionNames(state_);
    DescLineFree(line_);
    DescParseStateFree(state_);
  }
  // Points a part of the line at a copy of text that lasts as long as the test, as the
  // reader points it into its text: readable up to its terminator.
  void Set(DESC_TEXT_BUFFER *b, const std::string &text)
  {
    texts_.push_back(text);
    b->text = texts_.back().data();
    b->length = static_cast<DWORD>(text.size());
    b->capacity = b->length;
  }
  DWORD Dispatch(const char *keyword, const char *option1, const char *value)
  {
    Set(&line_->keyword, keyword);
    Set(&line_->option1, option1);
    Set(&line_->option2, "");
    Set(&line_->value, value);
    return DescDispatchLine(state_, line_);
  }
  Parsed p_;  // collects the diagnostics; holds no state
  DESC_PARSE_STATE *state_ = nullptr;
  DESC_LINE *line_ = nullptr;
  std::deque<std::string> texts_;  // the parts' texts (a deque never moves its elements)
};

TEST_F(DirectDispatch, RuleSectionsNeverReadPastTheirValue)
{
  EXPECT_EQ(3u, Dispatch("Item", "1", "{ IDS_COLOR_COLOR Judge1"));
  EXPECT_TRUE(p_.Has(DESC_DIAG_ERROR, "Item section: the value ends before its closing '}'"));
  EXPECT_EQ(3u, Dispatch("Exclusive", "", "{ { KPD_RADIOLIST_6 }"));
  EXPECT_EQ(3u, Dispatch("Alert", "1", "( { Judge1 } )"));
  EXPECT_EQ(nullptr, state_->sections[DESC_SECTION_ITEM]);
  EXPECT_EQ(nullptr, state_->exclusive);
  EXPECT_EQ(0u, Dispatch("Item", "1", "{ IDS_COLOR_COLOR Judge1 NULL } { more"));
  ASSERT_NE(nullptr, state_->sections[DESC_SECTION_ITEM]);
  EXPECT_EQ(3u, state_->rejectedLines);
}

TEST_F(DirectDispatch, ConditionWithAnOpenGroupIsRejected)
{
  EXPECT_EQ(3u, Dispatch("Judge", "5", "(KPD_RADIOLIST_6 == 1"));
  EXPECT_TRUE(p_.Has(DESC_DIAG_ERROR, "Judge 5: condition does not compile: unbalanced parentheses"));
  EXPECT_EQ(3u, Dispatch("Judge", "6", "KPD_RADIOLIST_6 == 1)"));
  EXPECT_EQ("L0 END", CodeText(state_->judges->code));
}

TEST_F(DirectDispatch, UnclosedQuotesAndBracesInValuesStopAtTheEnd)
{
  EXPECT_EQ(0u, Dispatch("CommandString", "1", "\"never closed"));
  EXPECT_STREQ("never closed", state_->strings->text);
  EXPECT_EQ(0u, Dispatch("CommandGroup", "", "JobStart { Command: Judge1 { Type: FontType"));
  ASSERT_NE(nullptr, state_->header->groups[DESC_GROUP_JOB_START]);
  EXPECT_EQ(0u, Dispatch("DeviceFonts", "", "IDList { {\"A\" 1"));
  EXPECT_EQ(0u, state_->header->deviceFontCount);
  EXPECT_EQ(0u, Dispatch("OpenUI", "*KPD_IDC_PAPER_CHOICE_PAPERSIZE", "PickPage"));
  EXPECT_EQ(0u, Dispatch("KPD_IDC_PAPER_CHOICE_PAPERSIZE", "", "IDList { IDS_PAPERSIZE_A4 {IDS_PAPERSIZE_A3 \"x"));
  Set(&line_->option2, "IDS_PAPERSIZE_A4");
  Set(&line_->keyword, "PageValue");
  Set(&line_->option1, "x");
  Set(&line_->value, "600 IDS_ORIENTATION_PORTRAIT \"1 2");
  EXPECT_EQ(0u, DescDispatchLine(state_, line_));
  Set(&line_->keyword, "SlotPaper");
  Set(&line_->value, "{ IDS_PAPERSIZE_A4");
  EXPECT_EQ(3u, DescDispatchLine(state_, line_));  // a PickPage item has no slot papers
  EXPECT_EQ(0u, Dispatch("CloseUI", "", ""));
  EXPECT_EQ(3u, DescDispatchLine(nullptr, line_));
  EXPECT_EQ(3u, DescDispatchLine(state_, nullptr));
}

TEST_F(DirectDispatch, LastMatchedRowIsKeptUntilCloseUiOrAnUnknownKeyword)
{
  EXPECT_EQ(0u, Dispatch("CommandString", "1", "\"a\""));
  DWORD row = state_->lastRow;
  EXPECT_NE(0u, row);
  EXPECT_EQ(0u, Dispatch("CommandString", "2", "\"b\""));
  EXPECT_EQ(row, state_->lastRow);
  EXPECT_EQ(3u, Dispatch("Nope", "", ""));
  EXPECT_EQ(0u, state_->lastRow);
  EXPECT_EQ(0u, Dispatch("FileVersion", "", "1"));
  EXPECT_NE(0u, state_->lastRow);
  EXPECT_EQ(0u, Dispatch("CloseUI", "", ""));
  EXPECT_EQ(0u, state_->lastRow);
}

// A text that cannot be taken for lack of memory is not an empty text: the line is
// rejected as out of memory, not as "has no text", and no value is kept without its text.
TEST_F(DirectDispatch, AFailedAllocationTakingATextIsOutOfMemory)
{
  struct Case {
    const char *keyword, *option1, *value;
    DWORD nth;  // the allocation that takes the text
    const char *message;
  } cases[] = {
      {"CommandString", "1", "\"@PJL ONE\"", 1, "out of memory taking the text of CommandString 1"},
      {"KPD_RADIOLIST_1", "IDS_ORIENTATION_PORTRAIT", "\"P\"", 1,
       "out of memory taking value 'IDS_ORIENTATION_PORTRAIT'"},
      {"KPD_kdmUIModeChange", "True", "\"T\"", 2, "out of memory taking the True text"},  // after the record
      {"OptionCommand", "", "{ \"A\" \"B\" }", 2, "out of memory"},                       // after the pair
      {"OptionCommand", "", "{ \"A\" \"B\" }", 3, "out of memory"},                       // the second text
      {"UIResDLLName", "", "\"kvres.dll\"", 1, "out of memory"},
      {"DeviceFonts", "", "IDList { {\"Courier\" 1} }", 1, "out of memory"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.keyword);
    p_.diags.clear();
    // The item the option lines act on, opened anew for each case.
    EXPECT_EQ(0u, Dispatch("CloseUI", "", ""));
    if (std::string(c.keyword) == "KPD_kdmUIModeChange" || std::string(c.keyword) == "OptionCommand") {
      EXPECT_EQ(0u, Dispatch("OpenUI", "*KPD_kdmUIModeChange", "Boolean"));
    } else {
      EXPECT_EQ(0u, Dispatch("OpenUI", "*KPD_RADIOLIST_1", "PickOne"));
    }
    DWORD before = state_->rejectedLines;
    PlatFaultArm(PLAT_FAULT_ALLOC, c.nth);
    EXPECT_EQ(3u, Dispatch(c.keyword, c.option1, c.value));
    PlatFaultDisarmAll();
    EXPECT_EQ(before + 1, state_->rejectedLines);
    EXPECT_TRUE(p_.Has(DESC_DIAG_ERROR, c.message)) << p_.All();
    EXPECT_FALSE(p_.Has(DESC_DIAG_ERROR, "has no text")) << p_.All();
  }
  EXPECT_EQ(nullptr, state_->strings);
  EXPECT_EQ(nullptr, state_->header->uiResDllName);
  EXPECT_EQ(0u, state_->header->deviceFontCount);
  for (const DESC_ITEM_NODE *n = state_->header->items; n; n = n->next) {
    if (n->type == DESC_TYPE_PICK_ONE) {
      EXPECT_EQ(nullptr, n->values);  // no value without its text
    }
    if (n->type == DESC_TYPE_BOOLEAN && n->values) {
      EXPECT_EQ(nullptr, static_cast<const DESC_BOOLEAN_VALUE *>(n->values)->trueText);
    }
    if (n->command) {
      EXPECT_EQ(nullptr, n->command->first);
    }
  }
}

// In an IDList, a failed allocation ends the list with a message; the entries before it
// stay.
TEST_F(DirectDispatch, AFailedAllocationEndsAnIdListWithAMessage)
{
  EXPECT_EQ(0u, Dispatch("OpenUI", "*KPD_RADIOLIST_1", "PickOne"));
  // Allocations: node of the first entry, then the text of the second.
  PlatFaultArm(PLAT_FAULT_ALLOC, 2);
  EXPECT_EQ(0u, Dispatch("KPD_RADIOLIST_1", "",
                         "IDList { IDS_ORIENTATION_PORTRAIT {IDS_ORIENTATION_LANDSCAPE \"L\"} IDS_COLOR_COLOR }"));
  PlatFaultDisarmAll();
  EXPECT_TRUE(p_.Has(DESC_DIAG_ERROR, "out of memory taking the text of 'IDS_ORIENTATION_LANDSCAPE'")) << p_.All();
  const DESC_ITEM_NODE *n = state_->header->items;
  ASSERT_NE(nullptr, n);
  EXPECT_EQ(1u, ValuesOf(n).size());
}

class ParseFromFile : public MachineTest {};

TEST_F(ParseFromFile, ParsesAFileAndReportsAMissingOne)
{
  WriteHostFile(HostPath(u"C:\\desc\\groups.kvd"), FixtureText("groups.kvd"));
  DESC_PARSE_STATE *s = DescParseFile(u"C:\\desc\\groups.kvd");
  ASSERT_NE(nullptr, s);
  EXPECT_EQ(0u, s->rejectedLines);
  EXPECT_EQ(2u, s->header->deviceFontCount);
  DescParseStateFree(s);

  Parsed p;
  p.state = DescParseFileEx(u"C:\\desc\\absent.kvd", &p.sink);
  EXPECT_EQ(nullptr, p.state);
  EXPECT_TRUE(p.Has(DESC_DIAG_ERROR, "cannot open the description file"));
  EXPECT_EQ(nullptr, DescParseFile(nullptr));
}

TEST(ParseStateLifetime, EmptyStateAndNullFree)
{
  DESC_PARSE_STATE *s = DescParseStateCreate();
  ASSERT_NE(nullptr, s);
  EXPECT_NE(nullptr, s->header);
  EXPECT_EQ(nullptr, s->header->items);
  EXPECT_EQ(0u, s->lastRow);
  DescParseStateFree(s);
  DescParseStateFree(nullptr);
  Parsed p;
  p.state = DescParseTextEx("", 0, &p.sink);
  ASSERT_NE(nullptr, p.state);
  EXPECT_EQ(0u, p.state->rejectedLines);
}

}  // namespace
