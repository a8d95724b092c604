// Engine services around drawing: EngFindResource on a module with resources, a DLL's
// DllEntryPoint, EngQueryLocalTime under an injected clock, code pages and
// EngUnicodeToMultiByteN in 1252 and 932, MulDiv, and the colour-management handles.
#include <string.h>

#include <string>

#include "eng_fixture.h"
#include "kvplat/module_control.h"

namespace {

class ServicesTest : public EngTest {
 protected:
  static std::string Events()
  {
    WCHAR buf[64];
    DWORD n = GetEnvironmentVariableW(u"ENGPROBE_EVENTS", buf, 64);
    return n > 0 && n < 64 ? Narrow(buf) : std::string();
  }
};

TEST_F(ServicesTest, DllEntryPointRunsAtAttachAndDetach)
{
  ASSERT_TRUE(PlatModuleRegister(u"kvengprobe.dll", KV_ENGPROBE_SO));
  HMODULE h = LoadLibraryW(u"kvengprobe.dll");
  ASSERT_NE(h, nullptr) << PlatModuleLastLoadError();
  EXPECT_EQ(Events(), "A");
  auto self = reinterpret_cast<HMODULE(WINAPI *)(void)>(GetProcAddress(h, "EngProbeSelf"));
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(self(), h);
  HMODULE again = LoadLibraryW(u"kvengprobe.dll");
  EXPECT_EQ(again, h);
  EXPECT_TRUE(FreeLibrary(again));
  EXPECT_EQ(Events(), "A") << "only the first load attaches";
  EXPECT_TRUE(FreeLibrary(h));
  EXPECT_EQ(Events(), "AD");
}

TEST_F(ServicesTest, FindResourceAnswersTheDataAndItsSize)
{
  ASSERT_TRUE(PlatModuleRegister(u"kvengprobe.dll", KV_ENGPROBE_SO));
  HMODULE h = LoadLibraryW(u"kvengprobe.dll");
  ASSERT_NE(h, nullptr);
  struct Case {
    int name;
    int type;
    std::string bytes;  // "" = not found
  } cases[] = {
      {1, 258, std::string("\x01\x02\x03\x04\x05", 5)},
      {2, 258, "second"},
      {7, 260, "\xaa\xbb"},
      {3, 258, ""},
      {1, 260, ""},
  };
  for (const Case &c : cases) {
    ULONG size = 1234;
    PVOID p = EngFindResource(h, c.name, c.type, &size);
    if (c.bytes.empty()) {
      EXPECT_EQ(p, nullptr) << c.name << "/" << c.type;
      EXPECT_EQ(size, 0u);
    } else {
      ASSERT_NE(p, nullptr) << c.name << "/" << c.type;
      EXPECT_EQ(std::string(static_cast<const char *>(p), size), c.bytes);
    }
  }
  ULONG size = 5;
  EXPECT_EQ(EngFindResource(h, 1, 258, NULL), nullptr);
  EXPECT_EQ(EngFindResource(h, 0, 258, &size), nullptr);
  EXPECT_EQ(EngFindResource(h, 1, 0x10000, &size), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(size, 0u);
  EXPECT_TRUE(FreeLibrary(h));
}

TEST_F(ServicesTest, QueryLocalTimeFollowsTheInjectedClock)
{
  SYSTEMTIME st = {2024, 2, 0, 29, 13, 45, 30, 250};
  PlatClockSetLocalTime(&st);
  ENG_TIME_FIELDS t;
  memset(&t, 0xCC, sizeof t);
  EngQueryLocalTime(&t);
  EXPECT_EQ(t.usYear, 2024);
  EXPECT_EQ(t.usMonth, 2);
  EXPECT_EQ(t.usDay, 29);
  EXPECT_EQ(t.usHour, 13);
  EXPECT_EQ(t.usMinute, 45);
  EXPECT_EQ(t.usSecond, 30);
  EXPECT_EQ(t.usMilliseconds, 250);
  EXPECT_EQ(t.usWeekday, 4) << "a Thursday";
  PlatClockAdvance(11 * 3600 * 1000 + 15 * 60 * 1000);  // past midnight into March
  EngQueryLocalTime(&t);
  EXPECT_EQ(t.usMonth, 3);
  EXPECT_EQ(t.usDay, 1);
  EXPECT_EQ(t.usHour, 1);
  EXPECT_EQ(t.usWeekday, 5);
  EngQueryLocalTime(NULL);  // ignored
}

TEST_F(ServicesTest, CurrentCodePagesFollowThePlatform)
{
  USHORT oem = 0, ansi = 0;
  EngGetCurrentCodePage(&oem, &ansi);
  EXPECT_EQ(ansi, 1252);
  EXPECT_EQ(oem, GetOEMCP());
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  EngGetCurrentCodePage(NULL, &ansi);
  EXPECT_EQ(ansi, 932);
}

TEST_F(ServicesTest, UnicodeToMultiByteNConvertsWholeCharacters)
{
  struct Case {
    UINT codePage;
    std::u16string text;
    ULONG maxBytes;
    std::string want;
  } cases[] = {
      {1252, u"Caf\u00e9", 16, "Caf\xe9"},
      {1252, u"Caf\u00e9", 2, "Ca"},
      {1252, u"a\u0e01b", 16, "a?b"},  // no mapping
      {932, u"A\u65e5\u672c", 16, "A\x93\xfa\x96\x7b"},
      {932, u"A\u65e5\u672c", 4, "A\x93\xfa"},  // a lead byte is never left alone
      {932, u"A\u65e5\u672c", 2, "A"},
      {932, u"\uff71x", 16, "\xb1x"},  // half-width katakana: one byte
      {932, u"a\u0e01", 16, "a?"},
      {932, u"abc", 0, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.codePage << " " << c.want);
    ASSERT_TRUE(PlatSetAnsiCodePage(c.codePage));
    char out[17];
    memset(out, '#', sizeof out);
    ULONG n = 999;
    std::u16string text = c.text;
    EngUnicodeToMultiByteN(out, c.maxBytes, &n, text.data(), static_cast<ULONG>(text.size() * sizeof(WCHAR)));
    EXPECT_EQ(std::string(out, n), c.want);
    EXPECT_EQ(out[n], '#') << "nothing written past the converted bytes";
  }
  // An odd byte count converts only whole UTF-16 units; no output buffer converts nothing.
  char out[8];
  ULONG n = 0;
  WCHAR ab[] = u"ab";
  EngUnicodeToMultiByteN(out, 8, &n, ab, 3);
  EXPECT_EQ(n, 1u);
  EngUnicodeToMultiByteN(NULL, 8, &n, ab, 4);
  EXPECT_EQ(n, 0u);
}

TEST_F(ServicesTest, MulDivRoundsAndReportsOverflow)
{
  const int kMin = -2147483647 - 1;
  struct Case {
    int a, b, c, want;
  } cases[] = {
      {10, 3, 4, 8},          {-10, 3, 4, -8},      {10, -3, 4, -8},
      {-10, -3, -4, -8},      {5, 1, 2, 3},         {4, 1, 3, 1},
      {5, 1, 3, 2},           {300, 600, 72, 2500}, {0x7FFFFFFF, 2, 2, 0x7FFFFFFF},
      {0x7FFFFFFF, 2, 1, -1}, {kMin, 1, 1, kMin},   {kMin, -1, 1, -1},
      {1, 1, 0, -1},          {0, 5, 0, -1},
  };
  for (const Case &c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST_F(ServicesTest, ColorProfilesAndTransformsAreHandles)
{
  BYTE data[128] = {};
  PROFILE mem = {PROFILE_MEMBUFFER, data, sizeof data};
  HPROFILE hp = OpenColorProfileW(&mem, PROFILE_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(hp, nullptr);
  LOGCOLORSPACEW lcs = {};
  lcs.lcsSignature = LCS_SIGNATURE;
  lcs.lcsSize = sizeof lcs;
  HTRANSFORM ht = CreateColorTransformW(&lcs, hp, NULL, BEST_MODE);
  ASSERT_NE(ht, nullptr);
  EXPECT_EQ(PlatColorHandleCount(), 2u);
  EXPECT_FALSE(CloseColorProfile(ht)) << "a transform is not a profile";
  EXPECT_FALSE(DeleteColorTransform(hp));
  EXPECT_TRUE(DeleteColorTransform(ht));
  EXPECT_TRUE(CloseColorProfile(hp));
  EXPECT_FALSE(CloseColorProfile(hp));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  // Profiles from files must exist.
  WriteHostFile(HostPath(u"C:\\WINDOWS\\Temp\\a.icm"), "profile");
  WCHAR present[] = u"C:\\WINDOWS\\Temp\\a.icm";
  WCHAR missing[] = u"C:\\WINDOWS\\Temp\\b.icm";
  PROFILE file = {PROFILE_FILENAME, present, sizeof present};
  HPROFILE hf = OpenColorProfileW(&file, PROFILE_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(hf, nullptr);
  EXPECT_TRUE(CloseColorProfile(hf));
  file.pProfileData = missing;
  EXPECT_EQ(OpenColorProfileW(&file, PROFILE_READ, FILE_SHARE_READ, OPEN_EXISTING), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  PROFILE empty = {PROFILE_MEMBUFFER, data, 0};
  EXPECT_EQ(OpenColorProfileW(&empty, PROFILE_READ, 0, OPEN_EXISTING), nullptr);
  EXPECT_EQ(OpenColorProfileW(&mem, 7, 0, OPEN_EXISTING), nullptr);
  EXPECT_EQ(OpenColorProfileW(NULL, PROFILE_READ, 0, OPEN_EXISTING), nullptr);
  EXPECT_EQ(CreateColorTransformW(&lcs, reinterpret_cast<HPROFILE>(0x40), NULL, BEST_MODE), nullptr);
  lcs.lcsSignature = 0;
  hp = OpenColorProfileW(&mem, PROFILE_READ, 0, OPEN_EXISTING);
  EXPECT_EQ(CreateColorTransformW(&lcs, hp, NULL, BEST_MODE), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(CloseColorProfile(hp));
  EXPECT_EQ(PlatColorHandleCount(), 0u);
}

}  // namespace
