// Description text reader, parts in place: the parts of a line point into the reader's own
// copy of the text, and the NUL that ends each part is written over a byte the reader has
// read past. Parts that end right where another part or the next line begins, a keyword
// that runs straight into its option, rejected lines, and texts read from memory.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "context.h"
#include "desc/desc_reader.h"

namespace {

struct Line {
  DWORD status;
  std::string keyword, option1, option2, value;
  DWORD startLine;
  bool operator==(const Line &) const = default;
};

std::ostream &operator<<(std::ostream &os, const Line &l)
{
  return os << "{" << l.status << " '" << l.keyword << "' '" << l.option1 << "' '" << l.option2 << "' '" << l.value
            << "' line " << l.startLine << "}";
}

// Every line of text, read from memory, with what each part holds right after its read.
std::vector<Line> ReadAll(const std::string &text)
{
  std::vector<Line> out;
  DESC_READER *r = DescReaderOpenText(text.data(), static_cast<DWORD>(text.size()));
  DESC_LINE *line = DescLineCreate();
  EXPECT_NE(nullptr, r);
  EXPECT_NE(nullptr, line);
  for (int guard = 0; r && line && guard < 100; ++guard) {
    DWORD st = DescReadLine(line, r);
    if (st == DESC_READ_EOF) {
      // At the end every part is "".
      for (const DESC_TEXT_BUFFER *b : {&line->keyword, &line->option1, &line->option2, &line->value})
        EXPECT_EQ(0, b->text[0]);
      break;
    }
    for (const DESC_TEXT_BUFFER *b : {&line->keyword, &line->option1, &line->option2, &line->value}) {
      // Each part is as long as its length says and can be read up to its capacity.
      EXPECT_EQ(b->length, std::string(b->text).size());
      EXPECT_GE(b->capacity, b->length);
      EXPECT_EQ(0, b->text[b->capacity]);
    }
    out.push_back({st, line->keyword.text, line->option1.text, line->option2.text, line->value.text, r->lineStart});
  }
  DescLineFree(line);
  DescReaderClose(r);
  return out;
}

// Parts that end on the byte where the next part or line begins: the terminator of one
// part must never cut the next. Expected lines are what the text says, part by part.
TEST(DescReaderInPlace, TerminatorsNeverCutTheNextPartOrLine)
{
  const struct Case {
    const char *why;
    std::string text;
    std::vector<Line> lines;
  } cases[] = {
      {"keyword ends on the colon", "*A:B\n*C:D", {{0, "A", "", "", "B", 1}, {0, "C", "", "", "D", 2}}},
      {"options end on blank and colon",
       "*K O1 O2:V\r\n*L:W",
       {{0, "K", "O1", "O2", "V", 1}, {0, "L", "", "", "W", 2}}},
      {"keyword alone ends on CR of CR LF", "*A\r\n*B: b\r\n", {{0, "A", "", "", "", 1}, {0, "B", "", "", "b", 2}}},
      {"value ends on CR, LF starts nothing", "*A: a\r\n\n*B: b", {{0, "A", "", "", "a", 1}, {0, "B", "", "", "b", 3}}},
      {"value ends on LF right before a star",
       "*A: \"q\"\n*B: (x)\n*C: {y}",
       {{0, "A", "", "", "\"q\"", 1}, {0, "B", "", "", "(x)", 2}, {0, "C", "", "", "{y}", 3}}},
      {"empty value on a line end", "*A:\n*B:", {{0, "A", "", "", "", 1}, {0, "B", "", "", "", 2}}},
      {"keyword at the very end", "*A: 1\n*Z", {{0, "A", "", "", "1", 1}, {0, "Z", "", "", "", 2}}},
      {"comment and junk between lines",
       "*A: 1\n*% note\njunk\r*B: 2",
       {{0, "A", "", "", "1", 1}, {0, "B", "", "", "2", 4}}},
      // The keyword runs straight into option 1: no byte lies between them for its NUL.
      {"keyword straight into option",
       "*Key*Opt: v\n*Next: n",
       {{0, "Key", "*Opt", "", "v", 1}, {0, "Next", "", "", "n", 2}}},
      {"keyword straight into a quote option", "*K\"o\" p: v", {{0, "K", "\"o\"", "p", "v", 1}}},
      {"one-byte keyword straight into option",
       "*A-b:c\n*A(: d\n*B: e",
       {{0, "A", "-b", "", "c", 1}, {0, "A", "(", "", "d", 2}, {0, "B", "", "", "e", 3}}},
      {"keyword straight into option, then rejected",
       "*Key*Opt Two Three: v\n*N: n",
       {{3, "Key", "*Opt", "Two", "", 1}, {0, "N", "", "", "n", 2}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(c.lines, ReadAll(c.text));
  }
}

// A rejected line's parts hold what was read of them before the byte that rejected it,
// and the line after it reads as if the rejected one were not there.
TEST(DescReaderInPlace, RejectedLinesKeepWhatWasReadBeforeTheBadByte)
{
  const struct Case {
    const char *text;
    Line rejected;
  } cases[] = {
      {"*Key: ab)c\n", {3, "Key", "", "", "ab", 1}},        {"*Key: \"a(b\"\n", {3, "Key", "", "", "\"a", 1}},
      {"*Key: (a{b})\n", {3, "Key", "", "", "(a", 1}},      {"*Key: x}\n", {3, "Key", "", "", "x", 1}},
      {"*Key: \"a%\nb\"\n", {3, "Key", "", "", "\"a%", 1}}, {"*Key A B C: v\n", {3, "Key", "A", "B", "", 1}},
      {"*Key\x01: v\n", {3, "Key", "", "", "", 1}},         {"* Key: v\n", {3, "", "", "", "", 1}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    auto lines = ReadAll(std::string(c.text) + "*Next: 2\n");
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(c.rejected, lines[0]);
    Line next{0, "Next", "", "", "2", 2};
    if (std::string(c.text).find("%\n") != std::string::npos) next.startLine = 3;  // "b\"" is a line of its own
    EXPECT_EQ(next, lines[1]);
  }
  // The file ends inside the value: it runs to the end of the text.
  auto lines = ReadAll("*Open: {\"a%");
  ASSERT_EQ(1u, lines.size());
  EXPECT_EQ((Line{3, "Open", "", "", "{\"a%", 1}), lines[0]);
}

// A text read from memory is copied: the caller's bytes stay as they were, only size bytes
// are read (no terminator needed) and no text at all reads as empty.
TEST(DescReaderInPlace, TextFromMemoryIsReadFromACopy)
{
  const std::string text = "*A B: x\n*C: \"y\"\n*D: zzz";
  const std::string before = text;
  auto lines = ReadAll(text);
  EXPECT_EQ(before, text);
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("zzz", lines[2].value);

  // Only the first 21 bytes: the last line ends after the first byte of its value.
  DESC_READER *r = DescReaderOpenText(text.data(), 21);
  ASSERT_NE(nullptr, r);
  DESC_LINE *line = DescLineCreate();
  ASSERT_NE(nullptr, line);
  EXPECT_EQ(0u, DescReadLine(line, r));
  EXPECT_EQ(0u, DescReadLine(line, r));
  EXPECT_EQ(0u, DescReadLine(line, r));
  EXPECT_STREQ("D", line->keyword.text);
  EXPECT_STREQ("z", line->value.text);
  EXPECT_EQ(1u, DescReadLine(line, r));
  DescReaderClose(r);

  for (const char *empty : {static_cast<const char *>(nullptr), text.data()}) {
    r = DescReaderOpenText(empty, 0);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(1u, DescReadLine(line, r));
    DescReaderClose(r);
  }
  DescLineFree(line);
}

}  // namespace
