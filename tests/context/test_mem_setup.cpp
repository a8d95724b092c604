// Memory, code-page and printer-name helpers, the DEVMODE header stamp and the services of
// the printer setup.
#include <cstring>
#include <string>

#include "context_fixture.h"
#include "devmode/devmode_header.h"
#include "files/ini.h"
#include "kvplat/control.h"
#include "store/setup_services.h"

namespace {

using MemStr = ContextTest;

TEST_F(MemStr, AllocZeroedAndFree)
{
  BYTE *p = (BYTE *)MemAllocZeroed(100);
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(p[i], 0);
  MemFree(p);
  MemFree(nullptr);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(MemAllocZeroed(10), nullptr);
}

TEST_F(MemStr, PrinterNameCopyAndClock)
{
  WCHAR *name = OsDupPrinterName(printer_);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(NarrowW(name), "KV Test");
  MemFree(name);
  EXPECT_EQ(OsDupPrinterName(nullptr), nullptr);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(OsDupPrinterName(printer_), nullptr);
  PlatClockSetTicks(1234);
  EXPECT_EQ(OsGetTickCount(), 1234u);
}

TEST_F(MemStr, AnsiWideConversionsInBothCodePages)
{
  WCHAR w[8];
  StrAnsiToWide(w, "abcdefghij", 8);
  EXPECT_EQ(NarrowW(w), "abcdefg");  // always terminated
  StrAnsiToWide(w, "ab", 0);
  EXPECT_EQ(NarrowW(w), "ab");
  char a[6];
  memset(a, 'x', sizeof a);
  StrWideToAnsi(a, u"abcdefgh", 5);
  EXPECT_EQ(0, memcmp(a, "abcde", 5));  // fills the field: no terminator
  EXPECT_EQ(a[5], 'x');
  StrWideToAnsi(a, u"ab", 5);
  EXPECT_EQ(0, memcmp(a, "ab\0\0\0", 5));
  StrWideToAnsi(a, u"\u00e9", 5);
  EXPECT_EQ((BYTE)a[0], 0xE9);

  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  StrAnsiToWide(w, "\x82\xa0", 8);  // HIRAGANA A
  EXPECT_EQ(w[0], 0x3042);
  EXPECT_EQ(w[1], 0);
  StrWideToAnsi(a, u"\u3042", 5);
  EXPECT_EQ((BYTE)a[0], 0x82);
  EXPECT_EQ((BYTE)a[1], 0xA0);
  EXPECT_EQ(a[2], 0);
}

// A fixed-width field takes the characters that fit whole, without terminator, through a
// conversion that succeeds: the caller's last error is left alone even when the text fills
// the field exactly, and a double-byte character or a surrogate pair is never split.
TEST_F(MemStr, WideToAnsiFillsAFieldWithWholeCharacters)
{
  struct Case {
    UINT codePage;
    const char16_t *src;
    int field;
    const char *bytes;  // the field afterwards, `field` bytes
  } cases[] = {
      {1252, u"kvmlsets-16chars", 16, "kvmlsets-16chars"},
      {1252, u"kvmlsets-17chars!", 16, "kvmlsets-17chars"},
      {1252, u"kvmlsets.ini", 16, "kvmlsets.ini\0\0\0\0"},
      {1252, u"", 4, "\0\0\0\0"},
      {1252, u"abcd\U0001F600", 4, "abcd"},
      {1252, u"ab\U0001F600", 4, "ab?\0"},
      {932, u"abcdefghijklmn\u3042", 16, "abcdefghijklmn\x82\xa0"},
      {932, u"abcdefghijklmno\u3042", 16, "abcdefghijklmno\0"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(NarrowW(reinterpret_cast<const WCHAR *>(c.src)));
    ASSERT_TRUE(PlatSetAnsiCodePage(c.codePage));
    char field[24];
    memset(field, 'x', sizeof field);
    SetLastError(ERROR_ALREADY_EXISTS);
    StrWideToAnsi(field, reinterpret_cast<const WCHAR *>(c.src), c.field);
    EXPECT_EQ((DWORD)ERROR_ALREADY_EXISTS, GetLastError());
    EXPECT_EQ(0, memcmp(field, c.bytes, (size_t)c.field));
    EXPECT_EQ('x', field[c.field]);  // nothing past the field
  }
}

// Exact comparison: case, length and NULL all count.
TEST_F(MemStr, SameTextIsExact)
{
  struct Case {
    const char *a;
    const char *b;
    bool same;
  } cases[] = {{"KV Test", "KV Test", true}, {"", "", true},           {"KV Test", "kv test", false},
               {"KV", "KV Test", false},     {"KV Test", "KV", false}, {nullptr, "x", false},
               {"x", nullptr, false},        {nullptr, nullptr, false}};
  for (const Case &c : cases) {
    EXPECT_EQ(StrSameA(c.a, c.b) != FALSE, c.same) << (c.a ? c.a : "(null)") << " / " << (c.b ? c.b : "(null)");
    std::u16string wa, wb;
    if (c.a) wa.assign(c.a, c.a + strlen(c.a));
    if (c.b) wb.assign(c.b, c.b + strlen(c.b));
    EXPECT_EQ(StrSameW(c.a ? wa.c_str() : nullptr, c.b ? wb.c_str() : nullptr) != FALSE, c.same)
        << (c.a ? c.a : "(null)") << " / " << (c.b ? c.b : "(null)");
  }
}

// A whole copy fits with its terminator or leaves the destination as it was.
TEST_F(MemStr, CopyWholeFitsOrLeavesTheBuffer)
{
  struct Case {
    int cch;
    bool copied;
  } cases[] = {{8, true}, {6, true}, {5, false}, {1, false}, {0, false}, {-1, false}};
  for (const Case &c : cases) {
    WCHAR buf[8] = {u'o', u'l', u'd', 0, u'#', u'#', u'#', u'#'};
    EXPECT_EQ(StrCopyWholeW(buf, c.cch, u"fives") != FALSE, c.copied) << c.cch;
    EXPECT_EQ(NarrowW(buf), c.copied ? "fives" : "old") << c.cch;
    EXPECT_EQ(buf[6], u'#') << c.cch;
  }
  WCHAR buf[4] = {u'k', 0};
  EXPECT_FALSE(StrCopyWholeW(buf, 4, nullptr));
  EXPECT_FALSE(StrCopyWholeW(nullptr, 4, u"x"));
  EXPECT_EQ(NarrowW(buf), "k");
}

TEST_F(MemStr, DevmodeHeaderStamp)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  BYTE dm[KV_DEVMODE_SIZE];
  memset(dm, 0xAA, sizeof dm);
  DmStampPrivateHeader(dm, ctx);
  EXPECT_EQ(0, memcmp(dm + 220, "TV00", 4));
  const BYTE expect[] = {0, 0, 0, 0, 'p', 'r', 'i', 'v', 0xF8, 3, 0, 0, 0x3A, 1, 0, 0, 0, 0, 0xD4, 4, 0xD0, 8};
  EXPECT_EQ(0, memcmp(dm + 224, expect, 4));
  EXPECT_EQ(0, memcmp(dm + 349, expect + 4, sizeof expect - 4));
  EXPECT_EQ(dm[228], 0xAA);  // the identification block is not the stamp's
  EXPECT_EQ(dm[367], 0xAA);
  DmStampPrivateHeader(nullptr, ctx);
  DmStampBlockOffsets(nullptr);
  EXPECT_EQ(DmGetWorkBufferSize(), 5484u);
  CtxRelease(ctx);
}

class SetupServices : public ContextTest {};

TEST_F(SetupServices, IniIsKeySetCases)
{
  const WCHAR *ini = u"C:\\WINDOWS\\test.ini";
  IniWriteString(u"P", u"One", u"1", ini);
  IniWriteString(u"P", u"Zero", u"0", ini);
  IniWriteString(u"P", u"Marker", u"32767", ini);
  IniWriteString(u"P", u"Neg", u"-3", ini);
  EXPECT_EQ(IniIsKeySet(ini, u"P", u"One"), 1);
  EXPECT_EQ(IniIsKeySet(ini, u"P", u"Zero"), 0);
  EXPECT_EQ(IniIsKeySet(ini, u"P", u"Marker"), 0);
  EXPECT_EQ(IniIsKeySet(ini, u"P", u"Neg"), 1);
  EXPECT_EQ(IniIsKeySet(ini, u"P", u"Missing"), 0);
  EXPECT_EQ(IniIsKeySet(ini, nullptr, u"One"), 0);
  EXPECT_EQ(NarrowW(SetupGetDeployIniName()), "KVML.ini");
}

TEST_F(SetupServices, DefaultBundleNeedsAbsoluteSettingsIni)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  WCHAR out[260] = {};
  // The settings INI lies in a settings directory: the path is absolute but names no key.
  EXPECT_EQ(SetupGetDefaultKst(out, ctx), 0);
  const WCHAR *ini = u"C:\\WINDOWS\\kvmlsets.ini";
  ctx->model->settingsIniName = ini;
  IniWriteString(u"KV Test", u"DefaultKst", u"C:\\bundles\\office.ksb", ini);
  EXPECT_EQ(SetupGetDefaultKst(out, ctx), 1);
  EXPECT_EQ(NarrowW(out), "C:\\bundles\\office.ksb");
  IniWriteString(u"KV Test", u"DefaultKst", u"", ini);
  out[0] = 0;
  EXPECT_EQ(SetupGetDefaultKst(out, ctx), 0);
  EXPECT_EQ(SetupGetDefaultKst(nullptr, ctx), 0);
  CtxRelease(ctx);
}

}  // namespace
