// String functions: lstr*, wsprintf, _wtoi / _wtol, case conversion and IsCharAlphaW.
//
// Choices pinned here where this layer differs from, or narrows, Windows:
// - lstrcmp* compare UTF-16 code units (ANSI text by the characters it stands for in the
//   active code page), the i forms after upper-case folding; Windows sorts
//   linguistically. Equality is the same; the order of punctuation against letters is not.
// - lstrcpyn with a negative length writes nothing and answers NULL (Windows takes it as
//   unlimited and may overrun the buffer).
// - _wtoi / _wtol read ASCII digits only and clamp out-of-range values to LONG_MAX /
//   LONG_MIN (the C runtime's _wtoi does the same since int and long are both 32-bit).
#include <limits.h>
#include <string.h>

#include <string>

#include "machine_fixture.h"

namespace {

using StringsTest = MachineTest;

// Formats into a 1025-unit buffer (plus a guard) and checks the answer is the length.
template <class... Args>
std::u16string W(const WCHAR *fmt, Args... args)
{
  WCHAR buf[1026];
  buf[1025] = 0x7777;
  int n = wsprintfW(buf, fmt, args...);
  EXPECT_EQ(n, static_cast<int>(std::char_traits<char16_t>::length(buf))) << "answer is the length written";
  EXPECT_EQ(buf[1025], 0x7777);
  return std::u16string(buf, static_cast<size_t>(n));
}
template <class... Args>
std::string A(const char *fmt, Args... args)
{
  char buf[1026];
  buf[1025] = 0x77;
  int n = wsprintfA(buf, fmt, args...);
  EXPECT_EQ(buf[1025], 0x77);
  return std::string(buf, static_cast<size_t>(n));
}

int VW(WCHAR *buf, const WCHAR *fmt, ...)
{
  va_list ap;
  va_start(ap, fmt);
  int n = wvsprintfW(buf, fmt, ap);
  va_end(ap);
  return n;
}

TEST_F(StringsTest, LengthCopyAndConcatenate)
{
  EXPECT_EQ(lstrlenW(nullptr), 0);
  EXPECT_EQ(lstrlenW(u""), 0);
  EXPECT_EQ(lstrlenW(u"abc\u3042"), 4);
  EXPECT_EQ(lstrlenA(nullptr), 0);
  EXPECT_EQ(lstrlenA("a\x82\xA0"), 3) << "bytes, not characters";

  WCHAR w[16];
  EXPECT_EQ(lstrcpyW(w, u"abc"), w);
  EXPECT_EQ(std::u16string(w), u"abc");
  EXPECT_EQ(lstrcatW(w, u"de"), w);
  EXPECT_EQ(std::u16string(w), u"abcde");
  EXPECT_EQ(lstrcatW(w, u""), w);
  EXPECT_EQ(std::u16string(w), u"abcde");
  EXPECT_EQ(lstrcpyW(nullptr, u"x"), nullptr);
  EXPECT_EQ(lstrcpyW(w, nullptr), nullptr);
  EXPECT_EQ(lstrcatW(w, nullptr), nullptr);
  EXPECT_EQ(std::u16string(w), u"abcde") << "a failed call leaves the buffer";

  char a[16];
  EXPECT_EQ(lstrcpyA(a, "abc"), a);
  EXPECT_EQ(lstrcatA(a, "de"), a);
  EXPECT_STREQ(a, "abcde");
  EXPECT_EQ(lstrcpyA(a, nullptr), nullptr);
  EXPECT_EQ(lstrcatA(nullptr, "x"), nullptr);
}

TEST_F(StringsTest, CopyWithLimitCopiesAtMostNMinusOneAndTerminates)
{
  struct Case {
    int n;
    const char *expect;  // nullptr: the buffer is left untouched
  } cases[] = {
      {10, "hello"}, {6, "hello"}, {5, "hell"}, {2, "h"}, {1, ""}, {0, nullptr},
  };
  for (const Case &c : cases) {
    WCHAR w[12];
    char a[12];
    for (int i = 0; i < 12; ++i) {
      w[i] = u'#';
      a[i] = '#';
    }
    EXPECT_EQ(lstrcpynW(w, u"hello", c.n), w) << c.n;
    EXPECT_EQ(lstrcpynA(a, "hello", c.n), a) << c.n;
    std::string expectA = c.expect ? c.expect : "";
    if (c.expect) {
      EXPECT_EQ(std::u16string(w), U16(c.expect)) << c.n;
      EXPECT_STREQ(a, c.expect) << c.n;
    }
    // Nothing is written past the limit (or at all with a limit of 0).
    size_t written = c.expect ? expectA.size() + 1 : 0;
    for (size_t i = written; i < 12; ++i) {
      EXPECT_EQ(w[i], u'#') << c.n << " at " << i;
      EXPECT_EQ(a[i], '#') << c.n << " at " << i;
    }
  }
  WCHAR w[4] = {u'#', u'#', u'#', u'#'};
  SetLastError(0);
  EXPECT_EQ(lstrcpynW(w, u"abc", -1), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_EQ(w[0], u'#');
  EXPECT_EQ(lstrcpynW(nullptr, u"abc", 4), nullptr);
  EXPECT_EQ(lstrcpynW(w, nullptr, 4), nullptr);
  char a[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(lstrcpynA(a, "abc", -5), nullptr);
  EXPECT_EQ(a[0], '#');
}

TEST_F(StringsTest, CopyWithLimitIsAByteCopyInAnsi)
{
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  char a[8];
  // As in Windows, a limit inside a double-byte character cuts it.
  EXPECT_EQ(lstrcpynA(a, "\x82\xA0\x82\xA2", 2), a);
  EXPECT_STREQ(a, "\x82");
  EXPECT_EQ(lstrcpynA(a, "\x82\xA0\x82\xA2", 3), a);
  EXPECT_STREQ(a, "\x82\xA0");
}

TEST_F(StringsTest, ComparisonsOrdinalAndCaseFolded)
{
  struct Case {
    const WCHAR *a;
    const WCHAR *b;
    int cmp;
    int cmpi;
  } cases[] = {
      {u"abc", u"abc", 0, 0},
      {u"abc", u"abd", -1, -1},
      {u"abd", u"abc", 1, 1},
      {u"ab", u"abc", -1, -1},
      {u"abc", u"ab", 1, 1},
      {u"", u"a", -1, -1},
      {u"", u"", 0, 0},
      {u"ABC", u"abc", -1, 0},
      {u"a", u"B", 1, -1},  // ordinal: 'a' > 'B'; folded: 'A' < 'B'
      {u"Section", u"SECTION", 1, 0},
      {u"\u00C9t\u00E9", u"\u00E9T\u00C9", -1, 0},            // Latin-1 letters
      {u"\u0178", u"\u00FF", 1, 0},                           // Y diaeresis pairs outside Latin-1
      {u"\u0414\u041E\u041C", u"\u0434\u043E\u043C", -1, 0},  // Cyrillic
      {u"\uFF21\uFF22", u"\uFF41\uFF42", -1, 0},              // full-width Latin
      {u"stra\u00DFe", u"STRASSE", 1, 1},                     // sharp s has no single upper case
      {nullptr, u"", -1, -1},
      {u"", nullptr, 1, 1},
      {nullptr, nullptr, 0, 0},
  };
  for (const Case &c : cases) {
    std::string label = Narrow(c.a) + " / " + Narrow(c.b);
    EXPECT_EQ(lstrcmpW(c.a, c.b), c.cmp) << label;
    EXPECT_EQ(lstrcmpiW(c.a, c.b), c.cmpi) << label;
  }
}

TEST_F(StringsTest, AnsiComparisonsFollowTheCodePage)
{
  struct Case {
    const char *a;
    const char *b;
    int cmp;
    int cmpi;
  } cases[] = {
      {"abc", "ABC", 1, 0},    {"key", "KEY2", 1, -1}, {"\xC9", "\xE9", -1, 0},  // É / é
      {"\x8A", "\x9A", -1, 0},                                                   // Š / š live in 0x80-0x9F
      {"\x9F", "\xFF", 1, 0},                                                    // Ÿ (U+0178) / ÿ (U+00FF)
      {"\x80", "\xFF", 1, 1},  // by character: € (U+20AC) sorts after ÿ, though 0x80 < 0xFF
      {nullptr, "a", -1, -1},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(lstrcmpA(c.a, c.b), c.cmp) << (c.a ? c.a : "NULL") << " / " << c.b;
    EXPECT_EQ(lstrcmpiA(c.a, c.b), c.cmpi) << (c.a ? c.a : "NULL") << " / " << c.b;
  }
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  // Full-width a and A are one double-byte character each: equal when folded.
  EXPECT_EQ(lstrcmpiA("\x82\x81", "\x82\x60"), 0);
  EXPECT_EQ(lstrcmpA("\x82\x81", "\x82\x60"), 1);
  // The trail byte 0x61 of U+2225 is not the letter 'a'.
  EXPECT_NE(lstrcmpiA("\x81\x61", "\x81\x41"), 0);
}

TEST_F(StringsTest, WsprintfWNumbers)
{
  EXPECT_EQ(W(u"%d", 42), u"42");
  EXPECT_EQ(W(u"%d", -42), u"-42");
  EXPECT_EQ(W(u"%i", INT_MIN), u"-2147483648");
  EXPECT_EQ(W(u"%d", 0), u"0");
  EXPECT_EQ(W(u"%u", -1), u"4294967295");
  EXPECT_EQ(W(u"%x", 255), u"ff");
  EXPECT_EQ(W(u"%X", 0xBEEF), u"BEEF");
  EXPECT_EQ(W(u"%#x", 255), u"0xff");
  EXPECT_EQ(W(u"%#X", 255), u"0XFF");
  EXPECT_EQ(W(u"%#06x", 255), u"0x00ff");
  EXPECT_EQ(W(u"%5d|", 42), u"   42|");
  EXPECT_EQ(W(u"%-5d|", 42), u"42   |");
  EXPECT_EQ(W(u"%05d", 42), u"00042");
  EXPECT_EQ(W(u"%05d", -42), u"-0042");
  EXPECT_EQ(W(u"%-05d|", 42), u"42   |") << "'-' wins over '0'";
  EXPECT_EQ(W(u"%.3d", 7), u"007");
  EXPECT_EQ(W(u"%6.3d|", -7), u"  -007|");
  EXPECT_EQ(W(u"%08X", 0xBEEFu), u"0000BEEF");
  EXPECT_EQ(W(u"%ld %lu %lx %lX", 123456789L, 4000000000UL, 0xABCDEFUL, 0xABCDEFUL),
            u"123456789 4000000000 abcdef ABCDEF");
  EXPECT_EQ(W(u"%li", -5L), u"-5");
  EXPECT_EQ(W(u"%hd", 70000), u"4464") << "h takes the low 16 bits";
  EXPECT_EQ(W(u"%hu", 65537), u"1");
  EXPECT_EQ(W(u"%p", reinterpret_cast<void *>(0x1234)), u"00001234");
  EXPECT_EQ(W(u"%d%%", 50), u"50%");
}

TEST_F(StringsTest, WsprintfWStringsAndCharacters)
{
  EXPECT_EQ(W(u"[%s]", u"wide"), u"[wide]");
  EXPECT_EQ(W(u"[%ls]", u"wide"), u"[wide]");
  EXPECT_EQ(W(u"[%hs]", "narrow"), u"[narrow]");
  EXPECT_EQ(W(u"[%S]", "narrow"), u"[narrow]");
  EXPECT_EQ(W(u"[%6s]", u"ab"), u"[    ab]");
  EXPECT_EQ(W(u"[%-6s]", u"ab"), u"[ab    ]");
  EXPECT_EQ(W(u"[%.2s]", u"abcdef"), u"[ab]");
  EXPECT_EQ(W(u"[%5.2hs]", "abcdef"), u"[   ab]");
  EXPECT_EQ(W(u"[%s]", static_cast<const WCHAR *>(nullptr)), u"[(null)]");
  EXPECT_EQ(W(u"[%hs]", static_cast<const char *>(nullptr)), u"[(null)]");
  EXPECT_EQ(W(u"%c%lc%hc%C", u'W', u'\u00E9', 'n', 'N'), u"W\u00E9nN");
  EXPECT_EQ(W(u"[%3c]", u'x'), u"[  x]");
  EXPECT_EQ(W(u"%y%"), u"y") << "unknown conversions print their character; a lone % at the end nothing";
  EXPECT_EQ(W(u"%s=%d", u"Copies", 3), u"Copies=3");
  // Narrow arguments are decoded in the active code page.
  EXPECT_EQ(W(u"%hs", "\xE9\x80"), u"\u00E9\u20AC");
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  EXPECT_EQ(W(u"%hs|%.1hs", "\x82\xA0z", "\x82\xA0z"), u"\u3042z|\u3042") << "precision never splits a pair";
}

TEST_F(StringsTest, WsprintfANarrowAndWideArguments)
{
  EXPECT_EQ(A("%s-%d", "abc", 7), "abc-7");
  EXPECT_EQ(A("%hs", "abc"), "abc");
  EXPECT_EQ(A("%ls|%S", u"\u00E9\u20AC", u"x"), "\xE9\x80|x");
  EXPECT_EQ(A("%ls", u"\u4E9C\U0001F600"), "??") << "unmappable characters become '?'";
  EXPECT_EQ(A("%c%C%lc%hc", 'a', u'\u00E9', u'\u00E9', 'b'),
            "a\xE9\xE9"
            "b");
  EXPECT_EQ(A("%#X %-3u|", 0xABu, 5u), "0XAB 5  |");
  EXPECT_EQ(A("%s", static_cast<const char *>(nullptr)), "(null)");
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  EXPECT_EQ(A("%ls", u"\u4E9C\uFF71"), "\x88\x9F\xB1");
}

TEST_F(StringsTest, WsprintfWritesAtMost1024Characters)
{
  std::u16string longW(2000, u'a');
  WCHAR w[1100];
  for (auto &c : w) c = u'#';
  EXPECT_EQ(wsprintfW(w, u"%s", longW.c_str()), 1024);
  EXPECT_EQ(w[1023], u'a');
  EXPECT_EQ(w[1024], 0) << "1024 characters, then the terminator";
  EXPECT_EQ(w[1025], u'#');
  // Literal text counts the same way, and so does the wv form.
  std::u16string fmt(1500, u'b');
  for (auto &c : w) c = u'#';
  EXPECT_EQ(VW(w, fmt.c_str()), 1024);
  EXPECT_EQ(w[1024], 0);
  EXPECT_EQ(w[1025], u'#');
  // Exactly 1024 fits whole.
  EXPECT_EQ(wsprintfW(w, u"%s", longW.substr(0, 1024).c_str()), 1024);

  std::string longA(3000, 'z');
  char a[1100];
  memset(a, '#', sizeof a);
  EXPECT_EQ(wsprintfA(a, "%s%d", longA.c_str(), 5), 1024);
  EXPECT_EQ(a[1023], 'z');
  EXPECT_EQ(a[1024], 0);
  EXPECT_EQ(a[1025], '#');
  // A double-byte character that does not fit whole is left out.
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  std::string almost(1023, 'y');
  memset(a, '#', sizeof a);
  EXPECT_EQ(wsprintfA(a, "%s%ls", almost.c_str(), u"\u3042"), 1023);
  EXPECT_EQ(a[1023], 0);
}

TEST_F(StringsTest, WsprintfRefusesNullBuffers)
{
  SetLastError(0);
  EXPECT_EQ(wsprintfW(nullptr, u"%d", 1), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  WCHAR w[4] = {u'#'};
  EXPECT_EQ(wsprintfW(w, nullptr), 0);
  EXPECT_EQ(w[0], 0);
  char a[4] = {'#'};
  EXPECT_EQ(wsprintfA(a, nullptr), 0);
  EXPECT_EQ(a[0], 0);
}

TEST_F(StringsTest, DecimalParsing)
{
  struct Case {
    const WCHAR *s;
    long v;
  } cases[] = {
      {u"123", 123},
      {u"  -45x", -45},
      {u"+7", 7},
      {u"\t\r\n\v\f 12", 12},
      {u"007", 7},
      {u"abc", 0},
      {u"", 0},
      {u"-", 0},
      {u"- 5", 0},
      {u"0x1A", 0},
      {u"1 2", 1},
      {u"2147483647", LONG_MAX},
      {u"2147483648", LONG_MAX},
      {u"-2147483648", LONG_MIN},
      {u"-2147483649", LONG_MIN},
      {u"99999999999999999999", LONG_MAX},
      {u"-99999999999999999999", LONG_MIN},
      {u"00000000000000000000042", 42},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(_wtol(c.s), c.v) << Narrow(c.s);
    EXPECT_EQ(_wtoi(c.s), static_cast<int>(c.v)) << Narrow(c.s);
  }
  EXPECT_EQ(_wtoi(nullptr), 0);
  EXPECT_EQ(_wtol(nullptr), 0);
}

TEST_F(StringsTest, CaseConversionOfWideStringsAndCharacters)
{
  WCHAR s[] = u"abc\u00FF\u00E9\u00DF\u0131\u03C2\u0434z1_";
  EXPECT_EQ(CharUpperW(s), s);
  EXPECT_EQ(std::u16string(s), u"ABC\u0178\u00C9\u00DF\u0131\u03A3\u0414Z1_")
      << "sharp s and dotless i keep their case";
  EXPECT_EQ(CharLowerW(s), s);
  EXPECT_EQ(std::u16string(s), u"abc\u00FF\u00E9\u00DF\u0131\u03C3\u0434z1_");
  WCHAR k[] = u"\u212A\u0130";  // Kelvin sign and dotted I do not become ASCII
  CharLowerW(k);
  EXPECT_EQ(std::u16string(k), u"\u212A\u0130");

  // Single-character form: the character travels in the low word of the pointer.
  EXPECT_EQ(CharUpperW(MAKEINTRESOURCEW(u'q')), MAKEINTRESOURCEW(u'Q'));
  EXPECT_EQ(CharLowerW(MAKEINTRESOURCEW(0x00C9)), MAKEINTRESOURCEW(0x00E9));
  EXPECT_EQ(CharUpperW(MAKEINTRESOURCEW(u'1')), MAKEINTRESOURCEW(u'1'));
  EXPECT_EQ(CharUpperW(nullptr), nullptr);

  // The buffer forms convert exactly n characters, NULs included.
  WCHAR b[] = {u'a', 0, u'b', u'c'};
  EXPECT_EQ(CharUpperBuffW(b, 3), 3u);
  EXPECT_EQ(std::u16string(b, 4), std::u16string(u"A\0Bc", 4));
  EXPECT_EQ(CharLowerBuffW(b, 4), 4u);
  EXPECT_EQ(std::u16string(b, 4), std::u16string(u"a\0bc", 4));
  EXPECT_EQ(CharUpperBuffW(nullptr, 3), 0u);
}

TEST_F(StringsTest, CaseConversionOfAnsiText)
{
  char s[] = "abc\xE9\xFF\x9A\xB5\xDF";
  EXPECT_EQ(CharUpperA(s), s);
  // é->É, ÿ->Ÿ (0x9F), š->Š (0x8A); µ and ß have no upper case in 1252.
  EXPECT_STREQ(s, "ABC\xC9\x9F\x8A\xB5\xDF");
  EXPECT_EQ(CharLowerA(s), s);
  EXPECT_STREQ(s, "abc\xE9\xFF\x9A\xB5\xDF");
  EXPECT_EQ(CharUpperA(reinterpret_cast<LPSTR>(static_cast<uintptr_t>('x'))),
            reinterpret_cast<LPSTR>(static_cast<uintptr_t>('X')));
  EXPECT_EQ(CharUpperA(reinterpret_cast<LPSTR>(static_cast<uintptr_t>(0xE9))),
            reinterpret_cast<LPSTR>(static_cast<uintptr_t>(0xC9)));
  char trail[] = "\x81\x61";
  CharUpperA(trail);
  EXPECT_STREQ(trail, "\x81\x41") << "in 1252 both bytes are characters";

  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  char j[] = "a\x81\x61\x82\x81\xB1z";  // a, U+2225, full-width a, katakana, z
  CharUpperA(j);
  EXPECT_STREQ(j, "A\x81\x61\x82\x60\xB1Z") << "trail bytes are not letters; full-width a becomes full-width A";
  CharLowerA(j);
  EXPECT_STREQ(j, "a\x81\x61\x82\x81\xB1z");
}

TEST_F(StringsTest, LettersByUnicodeCategory)
{
  struct Case {
    WCHAR c;
    BOOL alpha;
  } cases[] = {
      {u'a', TRUE},    {u'Z', TRUE},    {u'0', FALSE},   {u'_', FALSE},   {u' ', FALSE},
      {0x00E9, TRUE},  {0x00D7, FALSE}, {0x00F7, FALSE}, {0x03A9, TRUE},  {0x0436, TRUE},
      {0x3042, TRUE},  {0x30AB, TRUE},  {0x4E9C, TRUE},  {0xFF21, TRUE},  {0xFF71, TRUE},
      {0x3000, FALSE}, {0x0660, FALSE}, {0x2030, FALSE}, {0xE000, FALSE}, {0, FALSE},
  };
  for (const Case &c : cases) EXPECT_EQ(IsCharAlphaW(c.c), c.alpha) << std::hex << int(c.c);
}

}  // namespace
