// Resource DLLs of a context, resource strings in both languages, value texts and
// fixed-point text.
#include <string.h>

#include "kvplat/module_control.h"
#include "names_fixture.h"

TEST_F(NamesTest, LanguageDllIsLoadedOnceAndFreed)
{
  HMODULE dll = ResGetLanguageDll(ctx_);
  ASSERT_NE(dll, nullptr);
  EXPECT_EQ(ResGetLanguageDll(ctx_), dll);
  EXPECT_EQ(PlatModuleRefCount(dll), 1u);
  HMODULE pictures = ResGetPictureDll(ctx_);
  ASSERT_NE(pictures, nullptr);
  EXPECT_NE(pictures, dll);
  EXPECT_NE(FindResourceW(pictures, MAKEINTRESOURCEW(100), RT_BITMAP), nullptr);
  DWORD loaded = PlatModuleLoadedCount();
  ResFreeDlls(ctx_);
  EXPECT_EQ(ctx_->languageDll, nullptr);
  EXPECT_EQ(ctx_->commonDll, nullptr);
  EXPECT_EQ(PlatModuleLoadedCount(), loaded - 2);
  ResFreeDlls(ctx_);  // nothing left to free
  OsFreeLibrary(nullptr);

  // A DLL that is missing is asked again at the next call.
  SetUiResDllName(u"kvmissus.dll");
  EXPECT_EQ(ResGetLanguageDll(ctx_), nullptr);
  SetUiResDllName(u"kvmlr_us.dll");
  EXPECT_NE(ResGetLanguageDll(ctx_), nullptr);
}

TEST_F(NamesTest, StringsComeFromTheLanguageOfTheLanguageItem)
{
  WCHAR buf[128];
  SetLanguage(1);
  LONG n = ResLoadString(ctx_, 2000, buf, 128, FALSE);
  EXPECT_EQ(S(buf), u"Please wait while the printer settings are saved...");
  EXPECT_EQ(n, lstrlenW(buf));
  SetLanguage(0);
  ResFreeDlls(ctx_);
  n = ResLoadString(ctx_, 2000, buf, 128, TRUE);
  EXPECT_EQ(S(buf),
            u"\u8A2D\u5B9A\u3092\u4FDD\u5B58\u3057\u3066\u3044\u307E\u3059\u3002"
            u"\u304A\u5F85\u3061\u304F\u3060\u3055\u3044\u3002");
  EXPECT_EQ(n, lstrlenW(buf));
  // Cut to the buffer and terminated.
  SetLanguage(1);
  ResFreeDlls(ctx_);
  EXPECT_EQ(ResLoadString(ctx_, 2001, buf, 8, FALSE), 7);
  EXPECT_EQ(S(buf), u"Printer");
  // Missing string, missing DLL, no buffer.
  EXPECT_EQ(ResLoadString(ctx_, 3999, buf, 128, TRUE), 0);
  EXPECT_EQ(S(buf), u"");
  SetUiResDllName(nullptr);
  buf[0] = u'x';
  EXPECT_EQ(ResLoadString(ctx_, 2000, buf, 128, FALSE), 0);
  EXPECT_EQ(S(buf), u"");
  EXPECT_EQ(ResLoadString(ctx_, 2000, nullptr, 128, FALSE), 0);
  EXPECT_EQ(ResLoadString(nullptr, 2000, buf, 128, FALSE), 0);
}

// The caller's buffer may be the context's own text buffer: a language DLL that is missing
// must leave an empty text there, not the path it was looked for under (which an item's
// default would then store as its text).
TEST_F(NamesTest, MissingLanguageDllLeavesNoPathInTheTextBuffer)
{
  SetUiResDllName(u"kvmissus.dll");
  ResFreeDlls(ctx_);
  WCHAR *text = ctx_->state->textBuffer;
  lstrcpyW(text, u"before");
  EXPECT_EQ(ResLoadString(ctx_, 2000, text, 1025, FALSE), 0);
  EXPECT_EQ(S(text), u"");
  EXPECT_EQ(ResLoadString(ctx_, 2000, text, 1025, TRUE), 0);
  EXPECT_EQ(S(text), u"");
  // The path itself is still there for those who ask for it.
  WCHAR path[MAX_PATH];
  ASSERT_NE(CtxCopyLangResDllPath(ctx_, path, MAX_PATH), nullptr);
  EXPECT_NE(S(path).find(u"kvmiss"), std::u16string::npos);
  EXPECT_EQ(CtxCopyLangResDllPath(ctx_, nullptr, MAX_PATH), nullptr);
  SetUiResDllName(u"kvmlr_us.dll");
  EXPECT_GT(ResLoadString(ctx_, 2000, text, 1025, FALSE), 0);
}

namespace {
void SetSlot(DRIVER_CONTEXT *ctx, int index, const char *name, LONG width, LONG length)
{
  FREE_SIZE_SLOT *slot = &ctx->state->freeSizeSlots[index];
  memset(slot->displayName, 0, sizeof slot->displayName);
  memcpy(slot->displayName, name, strnlen(name, sizeof slot->displayName));
  slot->width = width;
  slot->length = length;
}
}  // namespace

TEST_F(NamesTest, ValueTextsCompleteSlotNamesAndUnits)
{
  // 1200 dots are one inch: 25.4 mm exactly.
  SetSlot(ctx_, 0, "Wide label", 2400, 13200);
  SetSlot(ctx_, 9, "Last", 1200, 1200);
  WCHAR buf[128];
  SetMetric(true);
  LONG n = ResLoadString(ctx_, 109, buf, 128, TRUE);
  EXPECT_EQ(n, lstrlenW(buf));
  EXPECT_EQ(S(buf), u"Wide label(50.8 x 279.4mm)");
  ResLoadString(ctx_, 118, buf, 128, TRUE);
  EXPECT_EQ(S(buf), u"Last(25.4 x 25.4mm)");
  SetMetric(false);
  ResLoadString(ctx_, 109, buf, 128, TRUE);
  EXPECT_EQ(S(buf), u"Wide label(2.00 x 11.00inch)");
  // Without the value text the string is the resource's own.
  ResLoadString(ctx_, 109, buf, 128, FALSE);
  EXPECT_EQ(S(buf), u"User size 1");

  // The unit strings answer the current unit, whichever is asked.
  ResLoadString(ctx_, 153, buf, 128, TRUE);
  EXPECT_EQ(S(buf), u"inch");
  SetMetric(true);
  ResLoadString(ctx_, 154, buf, 128, TRUE);
  EXPECT_EQ(S(buf), u"mm");

  // The free sizes of the DEVMODE and of the output.
  ItemSetRaw(ctx_, 340, 2400);
  ItemSetRaw(ctx_, 341, 3600);
  ItemSetRaw(ctx_, 344, 1200);
  ItemSetRaw(ctx_, 345, 6000);
  ResLoadString(ctx_, 752, buf, 128, TRUE);
  EXPECT_EQ(S(buf), u"Custom paper size (50.8 x 76.2mm)");
  ResLoadString(ctx_, 753, buf, 128, TRUE);
  EXPECT_EQ(S(buf), u"Custom output size (25.4 x 127.0mm)");

  // Japanese units.
  SetLanguage(0);
  ResFreeDlls(ctx_);
  SetMetric(false);
  ResLoadString(ctx_, 752, buf, 128, TRUE);
  EXPECT_EQ(S(buf), u"\u4EFB\u610F\u7528\u7D19\u30B5\u30A4\u30BA(2.00 x 3.00\u30A4\u30F3\u30C1)");
}

TEST_F(NamesTest, ValueTextsNeverOverrunTheBuffer)
{
  // A name that fills its 64-byte field has no terminator of its own.
  std::string full(64, 'N');
  SetSlot(ctx_, 1, full.c_str(), 2400, 2400);
  SetMetric(true);
  WCHAR buf[128];
  ResLoadString(ctx_, 110, buf, 128, TRUE);
  EXPECT_EQ(S(buf), std::u16string(64, u'N') + u"(50.8 x 50.8mm)");
  // A dimension text that does not fit is left out whole; the name is cut to the buffer.
  WCHAR small[70];
  EXPECT_EQ(ResLoadString(ctx_, 110, small, 70, TRUE), 64);
  EXPECT_EQ(S(small), std::u16string(64, u'N'));
  WCHAR tiny[8];
  EXPECT_EQ(ResLoadString(ctx_, 110, tiny, 8, TRUE), 7);
  EXPECT_EQ(S(tiny), u"NNNNNNN");
}

// The value text is bounded by the capacity it is given: a dimension text that just fits
// is added, one character less leaves it out, and nothing is written past the capacity.
TEST_F(NamesTest, ValueTextStaysInsideTheCapacityItIsGiven)
{
  SetSlot(ctx_, 2, "Slot", 2400, 2400);
  SetMetric(true);
  const std::u16string whole = u"Slot(50.8 x 50.8mm)";
  const int fits = (int)whole.size() + 1;
  struct Case {
    UINT id;
    int cch;
    std::u16string text;
  } cases[] = {
      {111, 128, whole}, {111, fits, whole}, {111, fits - 1, u"Slot"}, {111, 3, u"Sl"}, {153, 128, u"mm"},
      {153, 2, u"m"},    {154, 1, u""},
  };
  for (const Case &c : cases) {
    WCHAR buf[160];
    for (WCHAR &ch : buf) ch = u'#';
    buf[0] = 0;
    ResAppendValueText(ctx_, c.id, buf, c.cch);
    EXPECT_EQ(S(buf), c.text) << c.id << " in " << c.cch;
    for (int i = c.cch; i < 160; ++i) {
      if (buf[i] != u'#') {
        ADD_FAILURE() << c.id << " in " << c.cch << " wrote character " << i;
        break;
      }
    }
  }
}

TEST(FixedPoint, FormatsByTheDivisorsPowerOfTen)
{
  struct Case {
    LONG divisor, value;
    const WCHAR *expect;
  } cases[] = {
      {10000, 123456, u"12.3456"}, {1000, 1500, u"1.500"}, {100, 2970, u"29.70"}, {10, 7, u"0.7"},
      {100, -5, u"-0.05"},         {10, -15, u"-1.5"},     {100, -250, u"-2.50"}, {1, 42, u"42"},
      {100000, 7, u"7"},           {0, -3, u"-3"},         {-100, 5, u"5"},       {15, 31, u"3.1"},
  };
  for (const Case &c : cases) {
    WCHAR buf[32];
    StrFormatFixedPoint(buf, c.divisor, c.value);
    EXPECT_EQ(S(buf), S(c.expect)) << c.divisor << " " << c.value;
  }
}
