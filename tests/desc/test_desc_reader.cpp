// Description text reader: byte access, logical lines, rejected lines, long lines read
// without memory, the FileVersion probe and the character classes.
#include <string>
#include <vector>

#include "context.h"
#include "desc/desc_reader.h"
#include "machine_fixture.h"

namespace {

struct Line {
  DWORD status;
  std::string keyword, option1, option2, value;
  DWORD startLine;
};

class DescReaderTest : public MachineTest {
 protected:
  const WCHAR *path_ = u"C:\\printer.desc";

  void Write(const std::string &bytes) { WriteHostFile(HostPath(path_), bytes); }

  // Reads every line of the file until the end (or out of memory).
  std::vector<Line> ReadAll(const std::string &bytes)
  {
    Write(bytes);
    std::vector<Line> out;
    DESC_READER *r = DescReaderOpen(path_);
    EXPECT_NE(nullptr, r);
    if (!r) return out;
    DESC_LINE *line = DescLineCreate();
    EXPECT_NE(nullptr, line);
    for (int guard = 0; line && guard < 1000; ++guard) {
      DWORD st = DescReadLine(line, r);
      if (st == DESC_READ_EOF) break;
      out.push_back({st, line->keyword.text, line->option1.text, line->option2.text, line->value.text, r->lineStart});
      if (st == DESC_READ_NO_MEMORY) break;
    }
    DescLineFree(line);
    DescReaderClose(r);
    return out;
  }
};

TEST_F(DescReaderTest, ReadsBytesThenReportsTheEnd)
{
  Write("ab");
  DESC_READER *r = DescReaderOpen(path_);
  ASSERT_NE(nullptr, r);
  BYTE c = 0;
  EXPECT_EQ(0u, DescReadByte(r, &c));
  EXPECT_EQ('a', c);
  EXPECT_EQ(0u, DescReadByte(r, &c));
  EXPECT_EQ('b', c);
  EXPECT_EQ(1u, DescReadByte(r, &c));
  EXPECT_EQ(1u, DescReadByte(r, &c));
  DescReaderClose(r);
}

TEST_F(DescReaderTest, MissingOrEmptyFileGivesNoReader)
{
  EXPECT_EQ(nullptr, DescReaderOpen(u"C:\\absent.desc"));
  Write("");
  EXPECT_EQ(nullptr, DescReaderOpen(path_));
}

TEST_F(DescReaderTest, SplitsKeywordOptionsAndValue)
{
  auto lines = ReadAll(
      "*% a comment line\r\n"
      "\r\n"
      " *Indented: skipped\n"
      "junk line\n"
      "*OpenUI *Duplex: PickOne\r\n"
      "*Default Key Opt:   value with trailing blanks  \r"
      "*Alone\n"
      "*Empty:\n");
  ASSERT_EQ(4u, lines.size());
  EXPECT_EQ(0u, lines[0].status);
  EXPECT_EQ("OpenUI", lines[0].keyword);
  EXPECT_EQ("*Duplex", lines[0].option1);
  EXPECT_EQ("", lines[0].option2);
  EXPECT_EQ("PickOne", lines[0].value);
  EXPECT_EQ(5u, lines[0].startLine);
  EXPECT_EQ("Default", lines[1].keyword);
  EXPECT_EQ("Key", lines[1].option1);
  EXPECT_EQ("Opt", lines[1].option2);
  EXPECT_EQ("value with trailing blanks  ", lines[1].value);
  EXPECT_EQ(6u, lines[1].startLine);
  EXPECT_EQ("Alone", lines[2].keyword);
  EXPECT_EQ("", lines[2].value);
  EXPECT_EQ(7u, lines[2].startLine);
  EXPECT_EQ("Empty", lines[3].keyword);
  EXPECT_EQ("", lines[3].value);
}

TEST_F(DescReaderTest, RejectsMalformedLinesAndReadsOn)
{
  struct Case {
    const char *text;
    const char *why;
  };
  const Case cases[] = {
      {"*Alone \n", "keyword followed by a blank and the line end"},
      {"*Key A B C: v\n", "three options"},
      {"*Key A B\n", "options without a colon"},
      {"*Key: \"a(b\"\n", "parenthesis inside quotes"},
      {"*Key: a)b\n", "closing parenthesis without an open one"},
      {"*Key: a}b\n", "closing brace without an open one"},
      {"*Key: (a{b})\n", "brace inside parentheses"},
      {"*Key: \"a%\nb\"\n", "escape before a line end"},
      {"* Key: v\n", "no keyword after the star"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.why);
    auto lines = ReadAll(std::string("*First: 1\n") + c.text + "*Next: 2\n");
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ("First", lines[0].keyword);
    EXPECT_EQ(3u, lines[1].status);
    EXPECT_EQ(2u, lines[1].startLine);
    EXPECT_EQ(0u, lines.back().status);
    EXPECT_EQ("Next", lines.back().keyword);
    EXPECT_EQ("2", lines.back().value);
  }
}

TEST_F(DescReaderTest, ValuesRunAcrossLinesInsideQuotesParenthesesAndBraces)
{
  auto lines = ReadAll(
      "*Block: {\r\n  *Inner: x\r\n}\r\n"
      "*Quoted: \"two\nlines\"\n"
      "*Paren: (a\n b)\n"
      "*Escaped: \"50%(x%{\"\n"
      "*After: z\n");
  ASSERT_EQ(5u, lines.size());
  for (const Line &l : lines) EXPECT_EQ(0u, l.status) << l.keyword;
  EXPECT_EQ("{\r\n  *Inner: x\r\n}", lines[0].value);
  EXPECT_EQ("\"two\nlines\"", lines[1].value);
  EXPECT_EQ(4u, lines[1].startLine);
  EXPECT_EQ("(a\n b)", lines[2].value);
  EXPECT_EQ("\"50%(x%{\"", lines[3].value);
  EXPECT_EQ("After", lines[4].keyword);
  EXPECT_EQ(9u, lines[4].startLine);
}

TEST_F(DescReaderTest, LastLineWithoutLineEndIsRead)
{
  auto lines = ReadAll("*One: 1\n*Two: last");
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(0u, lines[1].status);
  EXPECT_EQ("Two", lines[1].keyword);
  EXPECT_EQ("last", lines[1].value);

  lines = ReadAll("*One: 1\n*Alone");
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(0u, lines[1].status);
  EXPECT_EQ("Alone", lines[1].keyword);
}

TEST_F(DescReaderTest, UnclosedValueAtTheEndIsARejectedLineWithItsNumber)
{
  const struct {
    const char *tail;
    BYTE open;  // what the reader says the file ended inside
  } tails[] = {
      {"*Open: {\n a\n", DESC_OPEN_BRACE},    {"*Open: \"never closed\n", DESC_OPEN_QUOTE},
      {"*Open: (a\n", DESC_OPEN_PARENTHESIS}, {"*Open: \"a%", DESC_OPEN_QUOTE},
      {"*Open: { (a \"b", DESC_OPEN_QUOTE},   {"*Open: { (a ", DESC_OPEN_PARENTHESIS},
      {"*Open: { {} ", DESC_OPEN_BRACE},
  };
  for (const auto &t : tails) {
    SCOPED_TRACE(t.tail);
    auto lines = ReadAll(std::string("*One: 1\n\n") + t.tail);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(0u, lines[0].status);
    EXPECT_EQ(3u, lines[1].status);
    EXPECT_EQ("Open", lines[1].keyword);
    EXPECT_EQ(3u, lines[1].startLine);
    // The reader tells why the line was lost; a later line starts clean.
    Write(std::string(t.tail));
    DESC_READER *r = DescReaderOpen(path_);
    ASSERT_NE(nullptr, r);
    DESC_LINE *line = DescLineCreate();
    ASSERT_NE(nullptr, line);
    EXPECT_EQ(3u, DescReadLine(line, r));
    EXPECT_EQ(t.open, r->endedInside);
    EXPECT_EQ(1u, DescReadLine(line, r));
    EXPECT_EQ(DESC_OPEN_NONE, r->endedInside);
    DescLineFree(line);
    DescReaderClose(r);
  }
  // A line rejected for a character in the middle of the file ended inside nothing.
  Write("*Bad: )\n");
  DESC_READER *r = DescReaderOpen(path_);
  ASSERT_NE(nullptr, r);
  DESC_LINE *line = DescLineCreate();
  ASSERT_NE(nullptr, line);
  EXPECT_EQ(3u, DescReadLine(line, r));
  EXPECT_EQ(DESC_OPEN_NONE, r->endedInside);
  DescLineFree(line);
  DescReaderClose(r);
}

TEST_F(DescReaderTest, LongValueGrowsTheBuffer)
{
  std::string longValue;
  for (int i = 0; i < 3000; ++i) longValue += static_cast<char>('a' + i % 26);
  auto lines = ReadAll("*Long: " + longValue + "\n*Short: s\n");
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(longValue, lines[0].value);
  EXPECT_EQ("s", lines[1].value);
}

// The parts of a line point into the reader's text: reading a line, however long, takes no
// memory, so a failing allocation does not stop it.
TEST_F(DescReaderTest, ReadingALongLineTakesNoMemory)
{
  const std::string longValue(3000, 'x');
  Write("*Long: " + longValue + "\n*Next: n\n");
  DESC_READER *r = DescReaderOpen(path_);
  ASSERT_NE(nullptr, r);
  DESC_LINE *line = DescLineCreate();
  ASSERT_NE(nullptr, line);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(0u, DescReadLine(line, r));
  EXPECT_EQ(longValue, line->value.text);
  EXPECT_EQ(3000u, line->value.length);
  EXPECT_EQ(0u, DescReadLine(line, r));
  EXPECT_STREQ("Next", line->keyword.text);
  PlatFaultDisarmAll();
  DescLineFree(line);
  DescReaderClose(r);
}

TEST_F(DescReaderTest, LineCreationFailureLeavesNothing)
{
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(nullptr, DescLineCreate());
  PlatFaultDisarmAll();
  // A new line's parts are empty texts until a line is read into it.
  DESC_LINE *line = DescLineCreate();
  ASSERT_NE(nullptr, line);
  for (const DESC_TEXT_BUFFER *b : {&line->keyword, &line->option1, &line->option2, &line->value}) {
    ASSERT_NE(nullptr, b->text);
    EXPECT_EQ(0, b->text[0]);
    EXPECT_EQ(0u, b->length);
    EXPECT_EQ(0u, b->capacity);
  }
  DescLineFree(line);
}

TEST_F(DescReaderTest, DbcsTrailBytesAreNotInterpreted)
{
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  // 0x81 is a lead byte; the trail bytes equal '"' and '}' must not change the state.
  auto lines = ReadAll("*Name: \"\x81\"x\"\n*Brace: {\x81}}\n");
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(0u, lines[0].status);
  EXPECT_EQ("\"\x81\"x\"", lines[0].value);
  EXPECT_EQ(0u, lines[1].status);
  EXPECT_EQ("{\x81}}", lines[1].value);
}

TEST_F(DescReaderTest, FileVersionProbe)
{
  WCHAR out[16];
  for (WCHAR &w : out) w = u'#';
  Write("*Bad) line\n*fileversion: no\n*FileVersion: 1.23.456789012345678\n*FileVersion: 2\n");
  EXPECT_EQ(1u, DescReadTextFileVersion(path_, out));
  EXPECT_EQ(U16("1.23.456789012"), std::u16string(out));

  for (WCHAR &w : out) w = u'#';
  Write("*Other: x\n");
  EXPECT_EQ(1u, DescReadTextFileVersion(path_, out));
  EXPECT_EQ(u'#', out[0]);
  EXPECT_EQ(1u, DescReadTextFileVersion(u"C:\\absent.desc", out));
  EXPECT_EQ(u'#', out[0]);
}

TEST_F(DescReaderTest, CharacterClassesAndHexDigits)
{
  for (unsigned char c : std::string("\"#$%&'()*,./:;<=>?{|} \t\r\n"))
    EXPECT_TRUE(DESC_CHAR_CLASS[c] & DESC_CC_DELIMITER) << c;
  for (unsigned char c : std::string("!+-@[]_~")) EXPECT_FALSE(DESC_CHAR_CLASS[c] & DESC_CC_DELIMITER) << c;
  EXPECT_TRUE(DESC_CHAR_CLASS['/'] & DESC_CC_KEYWORD);
  EXPECT_TRUE(DESC_CHAR_CLASS['`'] & DESC_CC_KEYWORD);
  EXPECT_FALSE(DESC_CHAR_CLASS['{'] & DESC_CC_KEYWORD);
  EXPECT_TRUE(DESC_CHAR_CLASS['*'] & DESC_CC_OPTION);
  EXPECT_FALSE(DESC_CHAR_CLASS['/'] & DESC_CC_OPTION);
  EXPECT_FALSE(DESC_CHAR_CLASS[':'] & DESC_CC_OPTION);
  EXPECT_EQ(0, DESC_CHAR_CLASS[0]);
  EXPECT_EQ(0, DESC_CHAR_CLASS[0x80]);
  EXPECT_EQ(0, DESC_CHAR_CLASS[0x0B]);
  EXPECT_EQ(DESC_CC_DIGIT | DESC_CC_KEYWORD | DESC_CC_OPTION, DESC_CHAR_CLASS['7']);
  EXPECT_EQ(DESC_CC_HEX_LETTER | DESC_CC_KEYWORD | DESC_CC_OPTION, DESC_CHAR_CLASS['f']);
  EXPECT_EQ(0, DescHexDigitValue('0'));
  EXPECT_EQ(9, DescHexDigitValue('9'));
  EXPECT_EQ(10, DescHexDigitValue('a'));
  EXPECT_EQ(15, DescHexDigitValue('F'));
}

}  // namespace
