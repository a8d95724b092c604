// Condition compiler: tokens, postfix code, the stack check, name resolution and the
// rejected conditions (unknown names, non-operands, overflowing literals, stray characters,
// rejected Judges, too many pending operands).
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "context.h"
#include "items/item_store.h"
#include "tables/template_tables.h"
#include "machine_fixture.h"
#include "desc/rule_compile.h"

namespace {

struct Names {
  std::map<std::string, WORD> items{{"Duplex", 5}, {"Staple", 6}, {"Copies", 7}, {"DlgMain", 0}};
  std::map<std::string, WORD> values{{"On", 1}, {"Off", 2}, {"Long", 3}};
  std::map<std::string, std::vector<RULE_CODE_UNIT>> judges;
  std::map<std::string, bool> rejected;  // Judge names whose condition was rejected
};

BOOL FindItem(void *ctx, const char *name, WORD *id)
{
  auto &m = static_cast<Names *>(ctx)->items;
  auto it = m.find(name);
  if (it == m.end()) return FALSE;
  *id = it->second;
  return TRUE;
}
BOOL FindValue(void *ctx, const char *name, WORD *id)
{
  auto &m = static_cast<Names *>(ctx)->values;
  auto it = m.find(name);
  if (it == m.end()) return FALSE;
  *id = it->second;
  return TRUE;
}
const RULE_CODE_UNIT *FindJudge(void *ctx, const char *name)
{
  auto &m = static_cast<Names *>(ctx)->judges;
  auto it = m.find(name);
  return it == m.end() ? nullptr : it->second.data();
}

BOOL IsRejected(void *ctx, const char *name) { return static_cast<Names *>(ctx)->rejected.count(name) ? TRUE : FALSE; }

// Units written as text: I5 item, L3 literal, O1 operator; "E" is END.
std::string Render(const RULE_CODE_UNIT *code)
{
  std::string s;
  for (;; ++code) {
    if (!s.empty()) s += ' ';
    if (code->kind == RULE_UNIT_OPERATOR && code->operand == RULE_OP_END) return s + "E";
    s += code->kind == RULE_UNIT_ITEM       ? "I"
         : code->kind == RULE_UNIT_LITERAL  ? "L"
         : code->kind == RULE_UNIT_OPERATOR ? "O"
                                            : "?";
    s += std::to_string(code->operand);
  }
}

// A name the scanner reads as one word that does not start with a digit.
bool IsWord(const char *name)
{
  if (!name || !*name || (*name >= '0' && *name <= '9')) return false;
  for (; *name; ++name)
    if (!(DESC_CHAR_CLASS[static_cast<BYTE>(*name)] & DESC_CC_KEYWORD)) return false;
  return true;
}

class RuleCompileTest : public MachineTest {
 protected:
  Names names_;
  RULE_NAME_RESOLVER resolver_{&names_, FindItem, FindValue, FindJudge, IsRejected};

  // Compiles text held in a line-style buffer of the given capacity.
  RULE_CODE_UNIT *Compile(const std::string &text, DWORD *error, DWORD capacity = 1024)
  {
    text_.assign(text.begin(), text.end());
    text_.resize(std::max<size_t>(capacity, text.size()) + 1, 0);
    DESC_TEXT_BUFFER src{capacity, static_cast<DWORD>(text.size()), text_.data()};
    return RuleCompileExpression(&resolver_, &src, error);
  }

 private:
  std::vector<char> text_;
};

TEST_F(RuleCompileTest, ScansTokens)
{
  std::vector<char> text;
  const char *s = "  Duplex==On\r\n&& ! 12 12ab (x) {} -7 @";
  text.assign(s, s + strlen(s) + 1);
  DESC_TEXT_BUFFER src{static_cast<DWORD>(text.size()), 0, text.data()};
  char tok[16];
  struct Want {
    DWORD kind;
    const char *text;
  };
  const Want wants[] = {{1, "Duplex"}, {3, "=="}, {1, "On"}, {3, "&&"}, {3, "!"}, {2, "12"},
                        {1, "12ab"},   {4, "("},  {1, "x"},  {4, ")"},  {4, "{"}, {4, "}"},
                        {0, "-"},      {2, "7"},  {1, "@"},  {0, ""},   {0, ""}};
  for (const Want &w : wants) {
    EXPECT_EQ(w.kind, RuleScanToken(&src, tok, sizeof(tok))) << w.text;
    EXPECT_STREQ(w.text, tok);
  }
  std::string longWord(40, 'w');
  text.assign(longWord.begin(), longWord.end());
  text.push_back(0);
  src = {static_cast<DWORD>(text.size()), 0, text.data()};
  EXPECT_EQ(RULE_TOKEN_TOO_LONG, RuleScanToken(&src, tok, sizeof(tok)));
}

TEST_F(RuleCompileTest, CompilesToPostfix)
{
  struct Case {
    const char *text;
    const char *code;
    DWORD valid;
  };
  const Case cases[] = {
      {"Duplex == On && Staple", "I5 L1 O1 I6 O3 E", 1},
      {"(Duplex == On) && (Staple || Copies)", "I5 L1 O1 I6 I7 O4 O3 E", 1},
      {"! Duplex", "I5 O5 E", 1},
      {"Duplex && (! Staple)", "I5 I6 O5 O3 E", 1},
      {"Duplex && ! Staple", "I5 O3 I6 O5 E", 0},
      {"(Duplex == Long)", "I5 L3 O1 E", 1},
      {"Copies >= 3 { ignored", "I7 L3 O8 E", 1},
      {"Copies <= 65535", "I7 L65535 O9 E", 1},
      {"Copies == 1 } ignored, too", "I7 L1 O1 E", 1},
      {"((((Duplex))))", "I5 E", 1},
      {"", "E", 0},
      {"Duplex ==", "I5 O1 E", 0},
      {"Duplex On", "I5 L1 E", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    DWORD err = 99;
    RULE_CODE_UNIT *code = Compile(c.text, &err);
    ASSERT_NE(nullptr, code);
    EXPECT_EQ(RULE_ERR_NONE, err);
    EXPECT_EQ(c.code, Render(code));
    EXPECT_EQ(c.valid, RuleCheckCode(code));
    MemFree(code);
  }
}

TEST_F(RuleCompileTest, RejectsBadConditionsWithAReason)
{
  struct Case {
    const char *text;
    DWORD error;
  };
  const Case cases[] = {
      {"Duplex == Nothing", RULE_ERR_UNKNOWN_NAME},
      {"DlgMain == On", RULE_ERR_NO_OPERAND},
      {"Copies == 70000", RULE_ERR_NUMBER_RANGE},
      {"Copies == 99999999999999999999", RULE_ERR_NUMBER_RANGE},
      {"(Duplex == On", RULE_ERR_UNBALANCED},
      {"Duplex == On)", RULE_ERR_UNBALANCED},
      {"(Duplex { On)", RULE_ERR_UNBALANCED},
      {"Duplex =! On", RULE_ERR_OPERATOR},
      // A character that is no token of a condition would end it early and silently.
      {"Duplex == -1", RULE_ERR_NEGATIVE},
      {"Duplex == On, Staple", RULE_ERR_CHARACTER},
      {"Duplex == On; Staple", RULE_ERR_CHARACTER},
      {"Duplex == On. Staple", RULE_ERR_CHARACTER},
      {"Duplex == On \"Staple\"", RULE_ERR_CHARACTER},
      {"(Duplex == On, Staple)", RULE_ERR_CHARACTER},
      {"Duplex == On\x1a", RULE_ERR_CHARACTER},
      // A rejected Judge's name fails the condition instead of reading as "never holds".
      {"Bad || Staple", RULE_ERR_REJECTED_JUDGE},
      {"Staple && (Duplex || Bad)", RULE_ERR_REJECTED_JUDGE},
      {"Duplex == "
       "wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww"
       "wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww"
       "ww"
       "wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww",
       RULE_ERR_TOKEN},
  };
  names_.rejected["Bad"] = true;
  names_.judges["Bad"] = {{RULE_UNIT_LITERAL, 0}, {RULE_UNIT_OPERATOR, RULE_OP_END}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    DWORD err = 0;
    EXPECT_EQ(nullptr, Compile(c.text, &err));
    EXPECT_EQ(c.error, err);
  }
}

// Groups nest as deep as the text goes; the bound is the evaluator's: 127 operands
// pending at once. Each "(1 && " leaves one operand pending.
TEST_F(RuleCompileTest, GroupsNestUpToTheOperandBound)
{
  auto nested = [](int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "(1 && ";
    s += "1";
    for (int i = 0; i < depth; ++i) s += ")";
    return s;
  };
  DWORD err = 0;
  RULE_CODE_UNIT *code = Compile(nested(RULE_MAX_OPERANDS - 1), &err);
  ASSERT_NE(nullptr, code) << err;
  EXPECT_EQ(1u, RuleCheckCode(code));
  EXPECT_EQ((2u * RULE_MAX_OPERANDS) * sizeof(RULE_CODE_UNIT), RuleCodeLength(code));
  MemFree(code);
  EXPECT_EQ(nullptr, Compile(nested(RULE_MAX_OPERANDS), &err));
  EXPECT_EQ(RULE_ERR_OPERANDS, err);

  // Deep groups around one operand hold one operand.
  std::string deep = std::string(5000, '(') + "Duplex == On" + std::string(5000, ')');
  code = Compile(deep, &err, 16);
  ASSERT_NE(nullptr, code) << err;
  EXPECT_EQ("I5 L1 O1 E", Render(code));
  EXPECT_EQ(1u, RuleCheckCode(code));
  MemFree(code);
  EXPECT_EQ(nullptr, Compile(std::string(100000, '('), &err));
  EXPECT_EQ(RULE_ERR_UNBALANCED, err);

  // An earlier Judge's copied code counts too.
  names_.judges["Deep"] = {};
  for (int i = 0; i < RULE_MAX_OPERANDS; ++i) names_.judges["Deep"].push_back({RULE_UNIT_LITERAL, 1});
  for (int i = 1; i < RULE_MAX_OPERANDS; ++i) names_.judges["Deep"].push_back({RULE_UNIT_OPERATOR, RULE_OP_AND});
  names_.judges["Deep"].push_back({RULE_UNIT_OPERATOR, RULE_OP_END});
  code = Compile("Deep", &err);
  ASSERT_NE(nullptr, code) << err;
  EXPECT_EQ(1u, RuleCheckCode(code));
  MemFree(code);
  EXPECT_EQ(nullptr, Compile("1 && (Deep)", &err));
  EXPECT_EQ(RULE_ERR_OPERANDS, err);
}

TEST_F(RuleCompileTest, CheckLimitsPendingOperands)
{
  auto build = [](int operands) {
    std::vector<RULE_CODE_UNIT> v;
    for (int i = 0; i < operands; ++i) v.push_back({RULE_UNIT_LITERAL, 1});
    for (int i = 1; i < operands; ++i) v.push_back({RULE_UNIT_OPERATOR, RULE_OP_AND});
    v.push_back({RULE_UNIT_OPERATOR, RULE_OP_END});
    return v;
  };
  EXPECT_EQ(1u, RuleCheckCode(build(127).data()));
  EXPECT_EQ(0u, RuleCheckCode(build(128).data()));
  // Many operands joined one after another never stack up.
  std::string chain = "1";
  for (int i = 0; i < 200; ++i) chain += " && 1";
  DWORD err = 0;
  RULE_CODE_UNIT *code = Compile(chain, &err, 8);  // small capacity: the array grows
  ASSERT_NE(nullptr, code);
  EXPECT_EQ(1u, RuleCheckCode(code));
  EXPECT_EQ(402u * sizeof(RULE_CODE_UNIT), RuleCodeLength(code));
  MemFree(code);

  EXPECT_EQ(0u, RuleCheckCode(nullptr));
  RULE_CODE_UNIT noEnd[] = {{RULE_UNIT_LITERAL, 1}, {0, 0}};
  EXPECT_EQ(0u, RuleCheckCode(noEnd));
  RULE_CODE_UNIT groupEnd[] = {{RULE_UNIT_LITERAL, 1}, {RULE_UNIT_GROUP_END, 0}};
  EXPECT_EQ(0u, RuleCheckCode(groupEnd));
}

// The evaluator knows the operators 1-9 and END (10) only; code with any other operator
// code is not valid code, whatever the stack would hold.
TEST_F(RuleCompileTest, CheckRefusesUnknownOperatorCodes)
{
  for (WORD op : {WORD{0}, WORD{11}, WORD{12}, WORD{0x7FFF}, WORD{0xFFFF}}) {
    SCOPED_TRACE(op);
    RULE_CODE_UNIT asBinary[] = {
        {RULE_UNIT_LITERAL, 1}, {RULE_UNIT_LITERAL, 1}, {RULE_UNIT_OPERATOR, op}, {RULE_UNIT_OPERATOR, RULE_OP_END}};
    EXPECT_EQ(0u, RuleCheckCode(asBinary));
    RULE_CODE_UNIT skipped[] = {{RULE_UNIT_LITERAL, 1}, {RULE_UNIT_OPERATOR, op}, {RULE_UNIT_OPERATOR, RULE_OP_END}};
    EXPECT_EQ(0u, RuleCheckCode(skipped));
  }
  for (WORD op = RULE_OP_EQ; op <= RULE_OP_LE; ++op) {
    RULE_CODE_UNIT known[] = {
        {RULE_UNIT_LITERAL, 1}, {RULE_UNIT_LITERAL, 1}, {RULE_UNIT_OPERATOR, op}, {RULE_UNIT_OPERATOR, RULE_OP_END}};
    EXPECT_EQ(op == RULE_OP_NOT ? 0u : 1u, RuleCheckCode(known)) << op;
  }
}

TEST_F(RuleCompileTest, EarlierJudgeCodeIsCopied)
{
  names_.judges["BothOn"] = {
      {RULE_UNIT_ITEM, 5}, {RULE_UNIT_LITERAL, 1}, {RULE_UNIT_OPERATOR, RULE_OP_EQ}, {RULE_UNIT_OPERATOR, RULE_OP_END}};
  DWORD err = 0;
  RULE_CODE_UNIT *code = Compile("BothOn || Staple", &err);
  ASSERT_NE(nullptr, code);
  names_.judges["BothOn"][0].operand = 9;  // a later change does not reach the copy
  EXPECT_EQ("I5 L1 O1 I6 O4 E", Render(code));
  EXPECT_EQ(1u, RuleCheckCode(code));
  MemFree(code);
}

TEST_F(RuleCompileTest, OutOfMemoryFailsTheCompile)
{
  DWORD err = 0;
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);  // the block of the answer
  EXPECT_EQ(nullptr, Compile("Duplex == On", &err));
  EXPECT_EQ(RULE_ERR_NO_MEMORY, err);
  // A long condition outgrows the room a compile starts with (the first allocation is
  // the growth, the second the answer), and deep groups outgrow theirs.
  std::string longer = "Duplex == On";
  for (int i = 0; i < 60; ++i) longer += " && Duplex == On";
  std::string deep = std::string(200, '(') + "Duplex == On" + std::string(200, ')');
  for (const std::string *text : {&longer, &deep}) {
    for (DWORD nth : {1u, 2u}) {
      SCOPED_TRACE(nth);
      PlatFaultArm(PLAT_FAULT_ALLOC, nth);
      EXPECT_EQ(nullptr, Compile(*text, &err, 2));
      EXPECT_EQ(RULE_ERR_NO_MEMORY, err);
      PlatFaultDisarmAll();
    }
    RULE_CODE_UNIT *code = Compile(*text, &err, 2);
    ASSERT_NE(nullptr, code) << err;
    EXPECT_EQ(1u, RuleCheckCode(code));
    MemFree(code);
  }
  PlatFaultDisarmAll();
}

TEST_F(RuleCompileTest, NamesTableResolverRejectsUnknownNames)
{
  std::vector<char> text{'N', 'o', 'S', 'u', 'c', 'h', '_', 'N', 'a', 'm', 'e', '9', '9', 0};
  DESC_TEXT_BUFFER src{static_cast<DWORD>(text.size()), 0, text.data()};
  DWORD err = 0;
  EXPECT_EQ(nullptr, RuleCompileExpression(RuleNamesTableResolver(), &src, &err));
  EXPECT_EQ(RULE_ERR_UNKNOWN_NAME, err);
}

TEST_F(RuleCompileTest, NamesTableResolverUsesTheCompiledInNames)
{
  const RULE_NAME_RESOLVER *table = RuleNamesTableResolver();
  auto compile = [&](const std::string &text, DWORD *err) {
    std::vector<char> buf(text.begin(), text.end());
    buf.resize(text.size() + 64, 0);
    DESC_TEXT_BUFFER src{static_cast<DWORD>(buf.size() - 1), 0, buf.data()};
    return RuleCompileExpression(table, &src, err);
  };
  const SYMBOL_ENTRY *item = nullptr;
  const SYMBOL_ENTRY *nonOperand = nullptr;
  for (SHORT i = 0; i < g_kvSymbolCount; ++i) {
    const SYMBOL_ENTRY *found = ItemFindSymbolByName(g_kvSymbols[i].name);
    if (found != &g_kvSymbols[i]) continue;  // a later duplicate name is never found
    if (!IsWord(found->name)) continue;
    if (found->itemId != 0 && !item) item = found;
    if (found->itemId == 0 && !nonOperand && !ItemFindValueSymbolByName(found->name)) nonOperand = found;
  }
  const VALUE_SYMBOL *value = nullptr;
  for (SHORT i = 0; i < g_kvValueSymbolCount && !value; ++i) {
    const VALUE_SYMBOL *v = &g_kvValueSymbols[i];
    if (IsWord(v->name) && ItemFindValueSymbolByName(v->name) == v && !ItemFindSymbolByName(v->name)) value = v;
  }
  ASSERT_NE(nullptr, item);
  ASSERT_NE(nullptr, nonOperand);
  ASSERT_NE(nullptr, value);

  DWORD err = 99;
  RULE_CODE_UNIT *code = compile(std::string(item->name) + " == " + value->name, &err);
  ASSERT_NE(nullptr, code) << err;
  EXPECT_EQ("I" + std::to_string(item->itemId) + " L" + std::to_string(value->valueId) + " O1 E", Render(code));
  MemFree(code);

  EXPECT_EQ(nullptr, compile(std::string(nonOperand->name) + " == 1", &err));
  EXPECT_EQ(RULE_ERR_NO_OPERAND, err);
}

}  // namespace
