// Code pages: MultiByteToWideChar / WideCharToMultiByte in 1252, 932, 437 and UTF-8,
// the active ANSI code page, DBCS lead bytes and CharNextA / CharPrevA.
//
// Choices where Windows leaves room, pinned here:
// - A result longer than the output buffer writes the whole characters that fit (never
//   half of a double-byte character), then answers 0 with ERROR_INSUFFICIENT_BUFFER.
// - 932: a lead byte and the byte after it are one character. A pair with no mapping
//   (undefined code or a byte that cannot be a trail byte) decodes to U+30FB, 932's
//   default Unicode character, as one character. A lead byte at the end of the input, or
//   followed by a NUL, decodes to U+30FB too, and the NUL is kept. MB_ERR_INVALID_CHARS
//   turns each of these into a failure with ERROR_NO_UNICODE_TRANSLATION.
// - UTF-8: each maximal ill-formed subsequence decodes to one U+FFFD (the Unicode
//   practice that current Windows follows).
// - A surrogate pair converted to 1252 or 932 is one character: one default character.
#include <string.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "machine_fixture.h"

namespace {

class CodePageTest : public MachineTest {
 protected:
  // Converts with an explicit length after a size query; fails the test on error.
  std::u16string ToWide(UINT cp, const std::string &bytes, DWORD flags = 0)
  {
    int n = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    EXPECT_GT(n, 0) << "size query, error " << GetLastError();
    if (n <= 0) return u"<error>";
    std::u16string out(static_cast<size_t>(n), u'\0');
    int m = MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    EXPECT_EQ(m, n);
    return out;
  }
  std::string ToAnsi(UINT cp, const std::u16string &s, DWORD flags = 0, const char *def = nullptr, BOOL *used = nullptr)
  {
    int n = WideCharToMultiByte(cp, flags, s.data(), static_cast<int>(s.size()), nullptr, 0, def, used);
    EXPECT_GT(n, 0) << "size query, error " << GetLastError();
    if (n <= 0) return "<error>";
    std::string out(static_cast<size_t>(n), '\0');
    int m = WideCharToMultiByte(cp, flags, s.data(), static_cast<int>(s.size()), out.data(), n, def, used);
    EXPECT_EQ(m, n);
    return out;
  }
  // Answers the error of a conversion that must fail.
  DWORD DecodeError(UINT cp, const std::string &bytes, DWORD flags)
  {
    WCHAR buf[16];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(cp, flags, bytes.data(), static_cast<int>(bytes.size()), buf, 16), 0);
    return GetLastError();
  }
};

std::string Hex(const std::string &s)
{
  std::string out;
  char b[4];
  for (unsigned char c : s) {
    snprintf(b, sizeof b, "%02X", c);
    out += b;
  }
  return out;
}

TEST_F(CodePageTest, AnsiCodePageIs1252UntilSelectedAndResetPutsItBack)
{
  EXPECT_EQ(GetACP(), 1252u);
  EXPECT_EQ(GetOEMCP(), 437u);
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  EXPECT_EQ(GetACP(), 932u);
  EXPECT_EQ(GetOEMCP(), 932u);
  SetLastError(0);
  EXPECT_FALSE(PlatSetAnsiCodePage(850));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(PlatSetAnsiCodePage(CP_UTF8));
  EXPECT_EQ(GetACP(), 932u) << "a refused code page leaves the active one";
  // CP_ACP follows the selection.
  EXPECT_EQ(ToWide(CP_ACP, "\x82\xA0"), u"\u3042");
  PlatResetForTest();
  EXPECT_EQ(GetACP(), 1252u);
  EXPECT_EQ(ToWide(CP_ACP, "\x82\xA0"), u"\u201A\u00A0");
}

TEST_F(CodePageTest, Cp1252DecodesTheWindowsTable)
{
  struct Case {
    BYTE b;
    WCHAR wc;
  } cases[] = {
      {0x00, 0x0000}, {0x41, 0x0041}, {0x5C, 0x005C}, {0x7F, 0x007F}, {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A},
      {0x83, 0x0192}, {0x8A, 0x0160}, {0x8D, 0x008D}, {0x8E, 0x017D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x91, 0x2018},
      {0x99, 0x2122}, {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xA4, 0x00A4}, {0xE9, 0x00E9}, {0xFF, 0x00FF},
  };
  for (const Case &c : cases) {
    std::string in(1, static_cast<char>(c.b));
    EXPECT_EQ(ToWide(1252, in), std::u16string(1, c.wc)) << "byte " << Hex(in);
    EXPECT_EQ(ToWide(1252, in, MB_ERR_INVALID_CHARS), std::u16string(1, c.wc)) << "every byte is defined";
  }
}

TEST_F(CodePageTest, Cp1252EveryByteRoundTrips)
{
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::u16string wide = ToWide(1252, all);
  ASSERT_EQ(wide.size(), all.size());
  BOOL used = TRUE;
  EXPECT_EQ(ToAnsi(1252, wide, WC_NO_BEST_FIT_CHARS, nullptr, &used), all);
  EXPECT_FALSE(used);
  used = TRUE;
  EXPECT_EQ(ToAnsi(1252, wide, 0, nullptr, &used), all);
  EXPECT_FALSE(used);
}

TEST_F(CodePageTest, UnmappableCharactersBecomeTheDefaultCharacter)
{
  struct Case {
    UINT cp;
    std::u16string in;
    DWORD flags;
    const char *def;
    std::string out;
    BOOL used;
  } cases[] = {
      {1252, u"a\u4E9Cb", 0, nullptr, "a?b", TRUE},
      {1252, u"a\u4E9Cb", 0, "*", "a*b", TRUE},
      {1252, u"\u0E01\u0E02", WC_NO_BEST_FIT_CHARS, "#", "##", TRUE},
      {1252, u"plain", 0, "*", "plain", FALSE},
      {1252, u"\u20AC\u0081", WC_NO_BEST_FIT_CHARS, nullptr, "\x80\x81", FALSE},
      {932, u"\u0E01", 0, nullptr, "?", TRUE},
      // A double-byte default character is written whole.
      {932, u"x\u0E01", 0, "\x81\x45", "x\x81\x45", TRUE},
      // The yen sign and overline have no code of their own in 932; the overline has
      // no best fit either.
      {932, u"\u00A5\u203E", WC_NO_BEST_FIT_CHARS, nullptr, "??", TRUE},
      {932, u"\u203E", 0, nullptr, "?", TRUE},
      {932, u"a\u203E", 0, "\x81\x45", "a\x81\x45", TRUE},
      // Half-width katakana and the backslash are single bytes.
      {932, u"\uFF71\\", 0, nullptr, "\xB1\\", FALSE},
      // A surrogate pair is one character, a lone surrogate another.
      {1252, u"a\U0001F600b", 0, nullptr, "a?b", TRUE},
      {932, u"\xD800z", 0, nullptr, "?z", TRUE},
  };
  for (const Case &c : cases) {
    BOOL used = -1;
    EXPECT_EQ(Hex(ToAnsi(c.cp, c.in, c.flags, c.def, &used)), Hex(c.out)) << "cp " << c.cp << " " << Hex(c.out);
    EXPECT_EQ(used, c.used) << "cp " << c.cp << " " << Hex(c.out);
  }
}

TEST_F(CodePageTest, BestFitReplacementsUnlessRefused)
{
  struct Case {
    UINT cp;
    std::u16string in;
    std::string bestFit;
  } cases[] = {
      {1252, u"\u0100\u0107\u0141", "AcL"},    // accented letters lose the accent
      {1252, u"\u221E", "8"},                  // infinity
      {1252, u"\uFF02\uFF3C\uFF41", "\"\\a"},  // full-width ASCII
      {1252, u"\u2212\u2010\u3000", "-- "},
      {1252, u"\u0191", "\x83"},                                 // F with hook -> the byte of f with hook
      {1252, u"\u2554", "+"},                                    // box drawing
      {932, u"\u00A5", "\\"},                                    // yen sign
      {932, u"\u00E9\u00C0\u00DF\u00A9\u00AE", "eAscR"},         // Latin-1 letters and signs
      {932, u"\u00A2\u00A3\u00AC", "\x81\x91\x81\x92\x81\xCA"},  // to their full-width codes
      {932, u"\u00B5\u00B7\u00AB\u00BB", "\x83\xCA\x81\x45\x81\xE1\x81\xE2"},
      {932, u"\u3094", "\x83\x94"},  // hiragana vu -> katakana vu
  };
  for (const Case &c : cases) {
    BOOL used = TRUE;
    EXPECT_EQ(Hex(ToAnsi(c.cp, c.in, 0, nullptr, &used)), Hex(c.bestFit)) << c.cp << " " << c.bestFit;
    EXPECT_FALSE(used) << "a best fit is not the default character";
    std::string refused(c.in.size(), '?');
    EXPECT_EQ(ToAnsi(c.cp, c.in, WC_NO_BEST_FIT_CHARS, nullptr, &used), refused) << c.cp << " " << c.bestFit;
    EXPECT_TRUE(used);
  }
}

// One row of a best-fit data file: a character and the code written for it.
struct BestFitRow {
  WCHAR wc;
  unsigned code;
};

// Reads platform/tables/bestfitCP.txt ("FIRST[-LAST] CODE[+]" a line, '#' comments),
// the data the converter's tables are generated from.
std::vector<BestFitRow> ReadBestFitData(UINT cp)
{
  std::vector<BestFitRow> rows;
  std::ifstream in(std::string(KV_CODEPAGE_DATA_DIR) + "/bestfit" + std::to_string(cp) + ".txt");
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream fields(line);
    std::string range, code;
    if (!(fields >> range >> code)) continue;
    size_t dash = range.find('-');
    unsigned first = std::stoul(range.substr(0, dash), nullptr, 16);
    unsigned last = dash == std::string::npos ? first : std::stoul(range.substr(dash + 1), nullptr, 16);
    bool step = code.back() == '+';
    unsigned base = std::stoul(step ? code.substr(0, code.size() - 1) : code, nullptr, 16);
    for (unsigned u = first; u <= last; ++u) rows.push_back({static_cast<WCHAR>(u), step ? base + (u - first) : base});
  }
  return rows;
}

// Every character the best-fit data lists converts to its code unless best fit is
// refused; a best fit that lands on '?' (the default character of both code pages) is
// reported as the default character, since a caller cannot tell the two apart.
TEST_F(CodePageTest, EveryBestFitOfTheDataIsApplied)
{
  struct Expect {
    UINT cp;
    size_t rows;
  } pages[] = {{1252, 0}, {932, 84}};
  for (const Expect &p : pages) {
    std::vector<BestFitRow> rows = ReadBestFitData(p.cp);
    ASSERT_FALSE(rows.empty()) << "no data for " << p.cp;
    if (p.rows) {
      EXPECT_EQ(rows.size(), p.rows) << "rows of the " << p.cp << " data";
    }
    for (const BestFitRow &r : rows) {
      std::u16string in(1, static_cast<char16_t>(r.wc));
      std::string want = r.code > 0xFF ? std::string{static_cast<char>(r.code >> 8), static_cast<char>(r.code)}
                                       : std::string(1, static_cast<char>(r.code));
      BOOL used = -1;
      EXPECT_EQ(Hex(ToAnsi(p.cp, in, 0, nullptr, &used)), Hex(want))
          << p.cp << " U+" << std::hex << static_cast<unsigned>(r.wc);
      EXPECT_EQ(used, r.code == '?' ? TRUE : FALSE) << p.cp << " U+" << std::hex << static_cast<unsigned>(r.wc);
      used = -1;
      EXPECT_EQ(ToAnsi(p.cp, in, WC_NO_BEST_FIT_CHARS, nullptr, &used), "?")
          << p.cp << " U+" << std::hex << static_cast<unsigned>(r.wc);
      EXPECT_EQ(used, TRUE) << p.cp << " U+" << std::hex << static_cast<unsigned>(r.wc);
    }
  }
}

TEST_F(CodePageTest, BestFitOntoTheDefaultCharacterCountsAsTheDefault)
{
  struct Case {
    UINT cp;
    std::u16string in;
    const char *def;
    std::string out;
    BOOL used;
  } cases[] = {
      {1252, u"\uFF1F", nullptr, "?", TRUE},         // full-width question mark
      {1252, u"a\uFF1Fb", "*", "a*b", TRUE},         // the caller's default stands in for it
      {1252, u"?\uFF01", nullptr, "?!", FALSE},      // '?' itself and another best fit
      {932, u"\u00BF", nullptr, "?", TRUE},          // inverted question mark
      {932, u"\uFF1F", nullptr, "\x81\x48", FALSE},  // 932 has a code of its own for it
  };
  for (const Case &c : cases) {
    BOOL used = -1;
    EXPECT_EQ(Hex(ToAnsi(c.cp, c.in, 0, c.def, &used)), Hex(c.out)) << c.cp << " " << Hex(c.out);
    EXPECT_EQ(used, c.used) << c.cp << " " << Hex(c.out);
  }
}

TEST_F(CodePageTest, Cp932DecodesSingleAndDoubleBytesAsWindows)
{
  struct Case {
    const char *bytes;
    std::u16string wide;
  } cases[] = {
      {"\x5C", u"\\"},      // backslash, not a yen sign
      {"\x7E", u"~"},       // tilde, not an overline
      {"\xA1", u"\uFF61"},  // half-width katakana run starts
      {"\xB1", u"\uFF71"},
      {"\xDF", u"\uFF9F"},  // ... and ends
      {"\x80", u"\u0080"},  // the lone single bytes outside JIS
      {"\xA0", u"\uF8F0"},
      {"\xFD", u"\uF8F1"},
      {"\xFF", u"\uF8F3"},
      {"\x81\x40", u"\u3000"},  // ideographic space
      {"\x81\x5F", u"\uFF3C"},  // full-width backslash
      {"\x81\x60", u"\uFF5E"},  // Windows' wave dash is the full-width tilde
      {"\x81\x61", u"\u2225"},
      {"\x81\x7C", u"\uFF0D"},
      {"\x81\x91", u"\uFFE0"},
      {"\x81\xCA", u"\uFFE2"},
      {"\x82\xA0", u"\u3042"},
      {"\x87\x54", u"\u2160"},  // NEC row 13
      {"\x87\x8A", u"\u3231"},
      {"\x88\x9F", u"\u4E9C"},  // first kanji of level 1
      {"\x93\xFA\x96\x7B\x8C\xEA", u"\u65E5\u672C\u8A9E"},
      {"\xED\x40", u"\u7E8A"},  // NEC-selected IBM extension
      {"\xEE\xEF", u"\u2170"},
      {"\xFA\x40", u"\u2170"},  // IBM extension
      {"\xFA\x5C", u"\u7E8A"},
      {"\xFC\x4B", u"\u9ED1"},  // last IBM kanji
      {"\xF0\x40", u"\uE000"},  // user-defined area
      {"\xF0\x7E\xF0\x80", u"\uE03E\uE03F"},
      {"\xF9\xFC", u"\uE757"},
      {"a\x82\xA0z", u"a\u3042z"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ToWide(932, c.bytes), c.wide) << Hex(c.bytes);
    EXPECT_EQ(ToWide(932, c.bytes, MB_ERR_INVALID_CHARS | MB_PRECOMPOSED), c.wide) << Hex(c.bytes);
  }
}

TEST_F(CodePageTest, Cp932InvalidSequences)
{
  struct Case {
    std::string bytes;
    std::u16string wide;
  } cases[] = {
      {std::string("\x85\x40", 2), u"\u30FB"},  // lead byte of an empty row
      {std::string("\x81\xAD", 2), u"\u30FB"},  // hole in a defined row
      {std::string("\x81\x20", 2), u"\u30FB"},  // not a trail byte: still one character
      {std::string("\x81\x7F", 2), u"\u30FB"},
      {std::string("\xEB\x40x", 3), u"\u30FBx"},
      {std::string("a\x81", 2), u"a\u30FB"},                           // lead byte at the end
      {std::string("a\x81\0b", 4), std::u16string(u"a\u30FB\0b", 4)},  // the NUL is kept
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ToWide(932, c.bytes), c.wide) << Hex(c.bytes);
    EXPECT_EQ(DecodeError(932, c.bytes, MB_ERR_INVALID_CHARS), (DWORD)ERROR_NO_UNICODE_TRANSLATION) << Hex(c.bytes);
  }
  // -1 counts the terminator after a dangling lead byte.
  WCHAR buf[8];
  EXPECT_EQ(MultiByteToWideChar(932, 0, "a\x81", -1, buf, 8), 3);
  EXPECT_EQ(std::u16string(buf, 3), std::u16string(u"a\u30FB\0", 3));
}

TEST_F(CodePageTest, Cp932EncodesDuplicatesWithTheWindowsChoice)
{
  struct Case {
    WCHAR wc;
    const char *bytes;
  } cases[] = {
      {0x2252, "\x81\xE0"},                                              // JIS X 0208 before NEC row 13
      {0x2261, "\x81\xDF"}, {0x2235, "\x81\xE6"},                        // JIS before NEC row 13 and IBM
      {0xFFE2, "\x81\xCA"},                                              // JIS before IBM and NEC-selected
      {0x2160, "\x87\x54"},                                              // NEC row 13 before IBM
      {0x2116, "\x87\x82"}, {0x3231, "\x87\x8A"}, {0x2170, "\xFA\x40"},  // IBM before NEC-selected
      {0x7E8A, "\xFA\x5C"}, {0xFFE4, "\xFA\x55"}, {0xFF07, "\xFA\x56"}, {0xE000, "\xF0\x40"},  // user-defined area
      {0xE757, "\xF9\xFC"}, {0xF8F0, "\xA0"},     {0x0080, "\x80"},     {0xFF61, "\xA1"},     {0x3042, "\x82\xA0"},
  };
  for (const Case &c : cases) {
    BOOL used = TRUE;
    std::u16string in(1, c.wc);
    EXPECT_EQ(Hex(ToAnsi(932, in, WC_NO_BEST_FIT_CHARS, nullptr, &used)), Hex(c.bytes)) << std::hex << int(c.wc);
    EXPECT_FALSE(used);
    EXPECT_EQ(Hex(ToAnsi(932, in)), Hex(c.bytes)) << std::hex << int(c.wc);
  }
}

TEST_F(CodePageTest, Cp932EveryDefinedCodeRoundTripsToItsCharacter)
{
  int defined = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsDBCSLeadByteEx(932, static_cast<BYTE>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      WCHAR wc = 0;
      if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, in, 2, &wc, 1) != 1) continue;
      ++defined;
      char out[2] = {};
      BOOL used = FALSE;
      ASSERT_EQ(WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wc, 1, out, 2, nullptr, &used), 2)
          << std::hex << lead << " " << trail;
      ASSERT_FALSE(used);
      WCHAR back = 0;
      ASSERT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, out, 2, &back, 1), 1);
      ASSERT_EQ(back, wc) << std::hex << lead << " " << trail;
    }
  }
  // JIS X 0208 (6879), NEC row 13 (83), NEC-selected IBM (374), IBM (388), user area (1880).
  EXPECT_EQ(defined, 6879 + 83 + 374 + 388 + 1880);
}

TEST_F(CodePageTest, Utf8Decoding)
{
  struct Case {
    std::string bytes;
    std::u16string wide;
    bool valid;
  } cases[] = {
      {"abc", u"abc", true},
      {"\xC3\xA9", u"\u00E9", true},
      {"\xE2\x82\xAC", u"\u20AC", true},
      {"\xEF\xBF\xBF", u"\uFFFF", true},
      {"\xF0\x9F\x98\x80", u"\U0001F600", true},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", true},
      {"\x80", u"\uFFFD", false},
      {"a\xC3", u"a\uFFFD", false},                              // truncated at the end
      {"\xE2\x82z", u"\uFFFDz", false},                          // one U+FFFD for the valid prefix
      {"\xC0\xAF", u"\uFFFD\uFFFD", false},                      // overlong
      {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD", false},            // overlong
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", false},            // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", false},  // above U+10FFFF
      {"\xFF", u"\uFFFD", false},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(ToWide(CP_UTF8, c.bytes), c.wide) << Hex(c.bytes);
    if (c.valid) {
      EXPECT_EQ(ToWide(CP_UTF8, c.bytes, MB_ERR_INVALID_CHARS), c.wide) << Hex(c.bytes);
    } else {
      EXPECT_EQ(DecodeError(CP_UTF8, c.bytes, MB_ERR_INVALID_CHARS), (DWORD)ERROR_NO_UNICODE_TRANSLATION)
          << Hex(c.bytes);
    }
  }
}

TEST_F(CodePageTest, Utf8Encoding)
{
  EXPECT_EQ(ToAnsi(CP_UTF8, u"a\u00E9\u20AC\U0001F600"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(ToAnsi(CP_UTF8, u"\xD800x"), "\xEF\xBF\xBDx");
  EXPECT_EQ(ToAnsi(CP_UTF8, u"x\xDC00"), "x\xEF\xBF\xBD");
  char buf[16];
  const WCHAR lone[] = {u'a', 0xDC00, 0};
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, buf, 16, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
  // UTF-8 has no default character: asking for one is an error.
  BOOL used;
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, buf, 16, nullptr, &used), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, buf, 16, "?", nullptr), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(CodePageTest, OemCodePageFollowsTheAnsiCodePage)
{
  EXPECT_EQ(ToWide(CP_OEMCP, "\x82\xB3\xDB"), u"\u00E9\u2502\u2588");
  EXPECT_EQ(ToAnsi(CP_OEMCP, u"\u00E9\u2502"), "\x82\xB3");
  EXPECT_EQ(ToWide(437, "\x82"), u"\u00E9");
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  EXPECT_EQ(ToWide(CP_OEMCP, "\x82\xA0"), u"\u3042");
}

TEST_F(CodePageTest, MinusOneLengthsCountTheTerminatorAndExplicitLengthsDoNot)
{
  struct Case {
    UINT cp;
    const char *bytes;
    const WCHAR *wide;
    int wideUnits;  // with the terminator
    int byteCount;  // with the terminator
  } cases[] = {
      {1252, "", u"", 1, 1},
      {1252, "abc", u"abc", 4, 4},
      {1252, "\x80\xE9", u"\u20AC\u00E9", 3, 3},
      {932, "a\x82\xA0\xB1", u"a\u3042\uFF71", 4, 5},
      {CP_UTF8, "\xE2\x82\xAC", u"\u20AC", 2, 4},
      {CP_UTF8, "\xF0\x9F\x98\x80", u"\U0001F600", 3, 5},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Hex(c.bytes));
    EXPECT_EQ(MultiByteToWideChar(c.cp, 0, c.bytes, -1, nullptr, 0), c.wideUnits);
    if (c.byteCount > 1) {
      EXPECT_EQ(MultiByteToWideChar(c.cp, 0, c.bytes, c.byteCount - 1, nullptr, 0), c.wideUnits - 1);
    }
    EXPECT_EQ(WideCharToMultiByte(c.cp, 0, c.wide, -1, nullptr, 0, nullptr, nullptr), c.byteCount);
    WCHAR w[8];
    ASSERT_EQ(MultiByteToWideChar(c.cp, 0, c.bytes, -1, w, 8), c.wideUnits);
    EXPECT_EQ(std::u16string(w), std::u16string(c.wide));
    char b[8];
    ASSERT_EQ(WideCharToMultiByte(c.cp, 0, c.wide, -1, b, 8, nullptr, nullptr), c.byteCount);
    EXPECT_STREQ(b, c.bytes);
    // An explicit length converts no terminator.
    if (c.wideUnits == 1) continue;  // a length of 0 is refused
    memset(b, 'Z', sizeof b);
    int n = WideCharToMultiByte(c.cp, 0, c.wide, c.wideUnits - 1, b, 8, nullptr, nullptr);
    EXPECT_EQ(n, c.byteCount - 1);
    EXPECT_EQ(b[n], 'Z');
  }
}

TEST_F(CodePageTest, ShortBuffersWriteWholeCharactersAndFail)
{
  // Wide output: 2 of 4 units fit.
  WCHAR w[4] = {u'#', u'#', u'#', u'#'};
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", -1, w, 2), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(w[0], u'a');
  EXPECT_EQ(w[1], u'b');
  EXPECT_EQ(w[2], u'#');
  // A surrogate pair is not split.
  WCHAR p[2] = {u'#', u'#'};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, p, 1), 0);
  EXPECT_EQ(p[0], u'#');
  // Multibyte output: the double-byte character does not fit in the last byte.
  char b[4] = {'#', '#', '#', '#'};
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(932, 0, u"a\u3042", -1, b, 2, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(b[0], 'a');
  EXPECT_EQ(b[1], '#');
  // The terminator itself must fit.
  char c[3] = {'#', '#', '#'};
  EXPECT_EQ(WideCharToMultiByte(1252, 0, u"abc", -1, c, 3, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(std::string(c, 3), "abc");
  // An exact fit succeeds.
  char d[4];
  EXPECT_EQ(WideCharToMultiByte(1252, 0, u"abc", -1, d, 4, nullptr, nullptr), 4);
}

TEST_F(CodePageTest, BadArgumentsAndFlagsAreRefused)
{
  WCHAR w[8];
  char b[8] = "abc";
  struct MbCase {
    UINT cp;
    DWORD flags;
    const char *src;
    int cb;
    WCHAR *dst;
    int cch;
    DWORD error;
  } mb[] = {
      {1252, 0, nullptr, 3, w, 8, ERROR_INVALID_PARAMETER},
      {1252, 0, "abc", 0, w, 8, ERROR_INVALID_PARAMETER},
      {1252, 0, "abc", -2, w, 8, ERROR_INVALID_PARAMETER},
      {1252, 0, "abc", 3, w, -1, ERROR_INVALID_PARAMETER},
      {1252, 0, "abc", 3, nullptr, 8, ERROR_INVALID_PARAMETER},
      {1252, 0, b, 3, reinterpret_cast<WCHAR *>(b), 4, ERROR_INVALID_PARAMETER},  // same buffer
      {850, 0, "abc", 3, w, 8, ERROR_INVALID_PARAMETER},
      {CP_MACCP, 0, "abc", 3, w, 8, ERROR_INVALID_PARAMETER},
      {1252, MB_COMPOSITE, "abc", 3, w, 8, ERROR_INVALID_FLAGS},
      {1252, MB_USEGLYPHCHARS, "abc", 3, w, 8, ERROR_INVALID_FLAGS},
      {1252, 0x100, "abc", 3, w, 8, ERROR_INVALID_FLAGS},
      {CP_UTF8, MB_PRECOMPOSED, "abc", 3, w, 8, ERROR_INVALID_FLAGS},
  };
  for (const MbCase &c : mb) {
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(c.cp, c.flags, c.src, c.cb, c.dst, c.cch), 0) << c.cp << " " << c.cb;
    EXPECT_EQ(GetLastError(), c.error) << c.cp << " " << c.flags << " " << c.cb;
  }
  struct WcCase {
    UINT cp;
    DWORD flags;
    const WCHAR *src;
    int cch;
    char *dst;
    int cb;
    DWORD error;
  } wc[] = {
      {1252, 0, nullptr, 3, b, 8, ERROR_INVALID_PARAMETER},
      {1252, 0, u"abc", 0, b, 8, ERROR_INVALID_PARAMETER},
      {1252, 0, u"abc", -5, b, 8, ERROR_INVALID_PARAMETER},
      {1252, 0, u"abc", 3, b, -1, ERROR_INVALID_PARAMETER},
      {1252, 0, u"abc", 3, nullptr, 8, ERROR_INVALID_PARAMETER},
      {850, 0, u"abc", 3, b, 8, ERROR_INVALID_PARAMETER},
      {1252, WC_COMPOSITECHECK, u"abc", 3, b, 8, ERROR_INVALID_FLAGS},
      {1252, WC_ERR_INVALID_CHARS, u"abc", 3, b, 8, ERROR_INVALID_FLAGS},
      {932, 0x8000, u"abc", 3, b, 8, ERROR_INVALID_FLAGS},
      {CP_UTF8, WC_NO_BEST_FIT_CHARS, u"abc", 3, b, 8, ERROR_INVALID_FLAGS},
  };
  for (const WcCase &c : wc) {
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(c.cp, c.flags, c.src, c.cch, c.dst, c.cb, nullptr, nullptr), 0) << c.cp;
    EXPECT_EQ(GetLastError(), c.error) << c.cp << " " << c.flags << " " << c.cch;
  }
}

TEST_F(CodePageTest, LeadBytesAndValidCodePages)
{
  struct Case {
    BYTE b;
    BOOL lead932;
  } cases[] = {{0x00, FALSE}, {0x40, FALSE}, {0x80, FALSE}, {0x81, TRUE}, {0x9F, TRUE},  {0xA0, FALSE}, {0xA1, FALSE},
               {0xDF, FALSE}, {0xE0, TRUE},  {0xEF, TRUE},  {0xFC, TRUE}, {0xFD, FALSE}, {0xFF, FALSE}};
  for (const Case &c : cases) {
    EXPECT_EQ(IsDBCSLeadByteEx(932, c.b), c.lead932) << std::hex << int(c.b);
    EXPECT_FALSE(IsDBCSLeadByteEx(1252, c.b));
    EXPECT_FALSE(IsDBCSLeadByteEx(CP_UTF8, c.b));
    EXPECT_FALSE(IsDBCSLeadByte(c.b)) << "1252 is active";
  }
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  for (const Case &c : cases) EXPECT_EQ(IsDBCSLeadByte(c.b), c.lead932) << std::hex << int(c.b);
  SetLastError(0);
  EXPECT_FALSE(IsDBCSLeadByteEx(850, 0x81));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);

  for (UINT cp : {437u, 932u, 1252u, 65001u}) EXPECT_TRUE(IsValidCodePage(cp)) << cp;
  for (UINT cp : {0u, 1u, 2u, 3u, 850u, 936u, 65000u}) EXPECT_FALSE(IsValidCodePage(cp)) << cp;

  CPINFO info;
  ASSERT_TRUE(GetCPInfo(932, &info));
  EXPECT_EQ(info.MaxCharSize, 2u);
  EXPECT_EQ(info.DefaultChar[0], '?');
  const BYTE ranges[] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
  EXPECT_EQ(memcmp(info.LeadByte, ranges, sizeof ranges), 0);
  ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
  EXPECT_EQ(info.MaxCharSize, 2u) << "CP_ACP is 932 now";
  ASSERT_TRUE(GetCPInfo(1252, &info));
  EXPECT_EQ(info.MaxCharSize, 1u);
  EXPECT_EQ(info.LeadByte[0], 0);
  EXPECT_FALSE(GetCPInfo(850, &info));
}

TEST_F(CodePageTest, CharNextAndCharPrevStepOverDoubleByteCharacters)
{
  const char text[] = "a\x82\xA0\x5C\xB1z";  // a, hiragana a, backslash, katakana a, z
  // In 1252 every byte is a character.
  EXPECT_EQ(CharNextA(text + 1), text + 2);
  EXPECT_EQ(CharPrevA(text, text + 3), text + 2);

  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  std::vector<int> steps;
  for (const char *p = text; *p; p = CharNextA(p)) steps.push_back(static_cast<int>(p - text));
  EXPECT_EQ(steps, (std::vector<int>{0, 1, 3, 4, 5}));
  const char *end = text + strlen(text);
  EXPECT_EQ(CharNextA(end), end) << "stays on the terminator";
  // Going back from the backslash lands on the lead byte, not on the trail byte.
  EXPECT_EQ(CharPrevA(text, text + 3), text + 1);
  EXPECT_EQ(CharPrevA(text, text + 1), text);
  EXPECT_EQ(CharPrevA(text, text), text);
  // A trail byte equal to a lead byte value: 0x95 0x5C is one character, then 0x5C.
  const char sjis[] = "\x95\x5C\x5C";
  EXPECT_EQ(CharNextA(sjis), sjis + 2);
  EXPECT_EQ(CharPrevA(sjis, sjis + 2), sjis);
  // A lead byte before the terminator steps one byte.
  const char dangling[] = "\x82";
  EXPECT_EQ(CharNextA(dangling), dangling + 1);
  EXPECT_EQ(CharNextA(nullptr), nullptr);
}

}  // namespace
