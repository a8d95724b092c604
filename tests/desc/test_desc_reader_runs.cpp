// Description text reader over long runs: keywords, options, values and skipped lines far
// longer than 1 KB, runs that reach the end of the file, line counting across CR, LF and
// CR LF after such runs, long runs read without memory and within their parts' capacity, and
// the bytes that end a run of plain value bytes (escapes, double-byte lead bytes, line ends
// as trail bytes).
#include <string>
#include <vector>

#include "context.h"
#include "desc/desc_reader.h"
#include "machine_fixture.h"

namespace {

struct Line {
  DWORD status;
  std::string keyword, option1, option2, value;
  DWORD startLine, lineNumber;
};

class DescReaderRunsTest : public MachineTest {
 protected:
  const WCHAR *path_ = u"C:\\runs.desc";

  std::vector<Line> ReadAll(const std::string &bytes, DWORD *lastLine = nullptr)
  {
    WriteHostFile(HostPath(path_), bytes);
    std::vector<Line> out;
    DESC_READER *r = DescReaderOpen(path_);
    EXPECT_NE(nullptr, r);
    if (!r) return out;
    DESC_LINE *line = DescLineCreate();
    EXPECT_NE(nullptr, line);
    for (int guard = 0; line && guard < 100; ++guard) {
      DWORD st = DescReadLine(line, r);
      if (st == DESC_READ_EOF) break;
      out.push_back({st, line->keyword.text, line->option1.text, line->option2.text, line->value.text, r->lineStart,
                     r->lineNumber});
      if (st == DESC_READ_NO_MEMORY) break;
    }
    if (lastLine) *lastLine = r->lineNumber;
    DescLineFree(line);
    DescReaderClose(r);
    return out;
  }
};

TEST_F(DescReaderRunsTest, LongRunsKeepTheirBytesAndTheLineNumbers)
{
  const std::string comment(3000, 'c'), junk(2100, 'j'), key(2000, 'K'), opt1(1500, 'o'), opt2(1100, 'p'),
      plain(2500, 'v');
  std::string text = "*% " + comment + "\r\n" +                        // line 1, CR LF
                     junk + "\r" +                                     // line 2, CR alone
                     "*Key" + key + " Opt" + opt1 + "\t Two" + opt2 +  // line 3
                     ":  " + plain + "(\r\n" +                         // value runs on ...
                     "in)\n" +                                         // ... to line 4
                     "\n" +                                            // line 5, empty
                     "*Last: " + plain;                                // line 6, no line end
  DWORD lastLine = 0;
  auto lines = ReadAll(text, &lastLine);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(0u, lines[0].status);
  EXPECT_EQ("Key" + key, lines[0].keyword);
  EXPECT_EQ("Opt" + opt1, lines[0].option1);
  EXPECT_EQ("Two" + opt2, lines[0].option2);
  EXPECT_EQ(plain + "(\r\nin)", lines[0].value);
  EXPECT_EQ(3u, lines[0].startLine);
  EXPECT_EQ(5u, lines[0].lineNumber);  // the LF that ends the value has been read
  EXPECT_EQ(0u, lines[1].status);
  EXPECT_EQ("Last", lines[1].keyword);
  EXPECT_EQ(plain, lines[1].value);
  EXPECT_EQ(6u, lines[1].startLine);
  EXPECT_EQ(6u, lastLine);
}

TEST_F(DescReaderRunsTest, RunsThatReachTheEndOfTheFile)
{
  struct Case {
    std::string text;
    DWORD status;
    std::string keyword, option1, value;
  } cases[] = {
      {"*" + std::string(3000, 'K'), DESC_READ_LINE, std::string(3000, 'K'), "", ""},
      {"*Key " + std::string(2000, 'o'), DESC_READ_MALFORMED, "Key", std::string(2000, 'o'), ""},
      {"*Key: " + std::string(2048, 'v'), DESC_READ_LINE, "Key", "", std::string(2048, 'v')},
      {"*Key: \"" + std::string(1500, 'v'), DESC_READ_MALFORMED, "Key", "", "\"" + std::string(1500, 'v')},
      {"*% " + std::string(4000, 'c'), DESC_READ_EOF, "", "", ""},
      {std::string(4000, 'j'), DESC_READ_EOF, "", "", ""},
  };
  for (const Case &c : cases) {
    auto lines = ReadAll(c.text);
    if (c.status == DESC_READ_EOF) {
      EXPECT_TRUE(lines.empty()) << c.text.substr(0, 8);
      continue;
    }
    ASSERT_EQ(1u, lines.size()) << c.text.substr(0, 8);
    EXPECT_EQ(c.status, lines[0].status) << c.text.substr(0, 8);
    EXPECT_EQ(c.keyword, lines[0].keyword) << c.text.substr(0, 8);
    EXPECT_EQ(c.option1, lines[0].option1) << c.text.substr(0, 8);
    EXPECT_EQ(c.value, lines[0].value) << c.text.substr(0, 8);
  }
}

// A run far longer than a step of the old growable buffers is read whole with no memory
// taken, and its part can be read up to its capacity, where the reader's text ends.
TEST_F(DescReaderRunsTest, LongRunsTakeNoMemoryAndStayWithinTheirCapacity)
{
  struct Case {
    std::string text;
    DESC_TEXT_BUFFER DESC_LINE::*part;
    std::string want;
  } cases[] = {
      {"*" + std::string(2500, 'K') + ": x\n", &DESC_LINE::keyword, std::string(2500, 'K')},
      {"*Key " + std::string(2500, 'o') + ": x\n", &DESC_LINE::option1, std::string(2500, 'o')},
      {"*Key: " + std::string(2500, 'v') + "\n", &DESC_LINE::value, std::string(2500, 'v')},
      {"*Key: " + std::string(2500, 'v'), &DESC_LINE::value, std::string(2500, 'v')},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text.substr(0, 8));
    WriteHostFile(HostPath(path_), c.text);
    DESC_READER *r = DescReaderOpen(path_);
    ASSERT_NE(nullptr, r);
    DESC_LINE *line = DescLineCreate();
    ASSERT_NE(nullptr, line);
    PlatFaultArm(PLAT_FAULT_ALLOC, 1);
    EXPECT_EQ(static_cast<DWORD>(DESC_READ_LINE), DescReadLine(line, r));
    PlatFaultDisarmAll();
    const DESC_TEXT_BUFFER &b = line->*c.part;
    EXPECT_EQ(c.want, b.text);
    EXPECT_EQ(2500u, b.length);
    ASSERT_GE(b.capacity, b.length);
    // The last byte within the capacity is the NUL after the reader's text.
    EXPECT_EQ(c.text.size(), static_cast<size_t>(b.text - reinterpret_cast<const char *>(r->base)) + b.capacity);
    EXPECT_EQ(0, b.text[b.capacity]);
    DescLineFree(line);
    DescReaderClose(r);
  }
}

TEST_F(DescReaderRunsTest, BytesThatEndAPlainRunKeepTheirMeaning)
{
  // '%' inside a quote takes the next byte as it is, even a quote.
  auto escaped = ReadAll("*Q: \"a%\"b\" c\n");
  ASSERT_EQ(1u, escaped.size());
  EXPECT_EQ(0u, escaped[0].status);
  EXPECT_EQ("\"a%\"b\" c", escaped[0].value);

  // Outside a double-byte code page a byte of 0x80 and above is a character of its own, so the
  // quote after it closes the value's quote.
  ASSERT_TRUE(PlatSetAnsiCodePage(1252));
  auto single = ReadAll("*N: \"x\x81\" y\n*M: z\n");
  ASSERT_EQ(2u, single.size());
  EXPECT_EQ("\"x\x81\" y", single[0].value);
  EXPECT_EQ("z", single[1].value);

  // In a double-byte code page the byte after a lead byte belongs to it, even a line end,
  // which still counts as a line.
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  DWORD lastLine = 0;
  auto dbcs = ReadAll("*N: ab\x81\nX: y\n*M: z\n", &lastLine);
  ASSERT_EQ(2u, dbcs.size());
  EXPECT_EQ(0u, dbcs[0].status);
  EXPECT_EQ("ab\x81\nX: y", dbcs[0].value);
  EXPECT_EQ(1u, dbcs[0].startLine);
  EXPECT_EQ("z", dbcs[1].value);
  EXPECT_EQ(3u, dbcs[1].startLine);
  EXPECT_EQ(4u, lastLine);
}

}  // namespace

namespace {

// The first logical line of text, read from memory.
Line ReadFirst(const std::string &text)
{
  DESC_READER *r = DescReaderOpenText(text.data(), static_cast<DWORD>(text.size()));
  EXPECT_NE(nullptr, r);
  DESC_LINE *line = DescLineCreate();
  EXPECT_NE(nullptr, line);
  if (!r || !line) {
    DescReaderClose(r);
    DescLineFree(line);
    return {};
  }
  DWORD st = DescReadLine(line, r);
  Line out{st,           line->keyword.text, line->option1.text, line->option2.text, line->value.text,
           r->lineStart, r->lineNumber};
  DescLineFree(line);
  DescReaderClose(r);
  return out;
}

}  // namespace

// Keyword, option and plain value runs end exactly where the character classes say, for
// every byte value at every place in the run: the reader takes runs many bytes at a time,
// and a run must neither stop early nor take a byte it should leave.
TEST_F(DescReaderRunsTest, RunsEndAtTheFirstByteOutsideTheirClass)
{
  for (unsigned c = 0; c < 256; ++c) {
    if (c == '\r' || c == '\n') continue;  // a line end ends the line itself
    const std::string b(1, static_cast<char>(c));
    const bool keywordByte = (DESC_CHAR_CLASS[c] & DESC_CC_KEYWORD) != 0;
    const bool optionByte = (DESC_CHAR_CLASS[c] & DESC_CC_OPTION) != 0;
    // Bytes a value takes as they are outside quotes and brackets (with code page 1252,
    // which has no lead bytes, every byte from 0x80 up is one).
    const bool valueByte = std::string("\"(){}").find(static_cast<char>(c)) == std::string::npos && c != 0;
    for (size_t len : {0, 1, 7, 14, 15, 16, 17, 30, 31, 32, 33, 47, 48, 70}) {
      SCOPED_TRACE("byte " + std::to_string(c) + " after " + std::to_string(len));
      const std::string k = "K" + std::string(len, 'a');
      Line kw = ReadFirst("*" + k + b + " : v\n");
      EXPECT_EQ(keywordByte ? k + b : k, kw.keyword);
      const std::string o(len + 1, 'o');
      Line op = ReadFirst("*K " + o + b + " : v\n");
      EXPECT_EQ("K", op.keyword);
      EXPECT_EQ(optionByte ? o + b : o, op.option1);
      if (valueByte) {
        const std::string v = "v" + std::string(len, 'x') + b + std::string(len, 'y');
        Line val = ReadFirst("*K: " + v + "\n*N: z\n");
        EXPECT_EQ(DESC_READ_LINE, val.status);
        EXPECT_EQ(v, val.value);
      }
    }
  }
}
