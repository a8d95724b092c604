// Locales: default languages, GetLocaleInfoW/A with their size protocol, and the
// computer and user names.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <thread>

#include "kvplat/os_control.h"
#include "machine_fixture.h"

using LocaleTest = MachineTest;

namespace {

std::string InfoW(LCID lcid, LCTYPE type)
{
  WCHAR buf[128];
  int n = GetLocaleInfoW(lcid, type, buf, 128);
  if (n <= 0) return "<fail " + std::to_string(GetLastError()) + ">";
  EXPECT_EQ(static_cast<size_t>(n), std::char_traits<char16_t>::length(buf) + 1);
  std::string out;
  for (const WCHAR *p = buf; *p; ++p) out += *p < 0x80 ? static_cast<char>(*p) : '?';
  return out;
}

DWORD InfoNumber(LCID lcid, LCTYPE type)
{
  DWORD v = 0xDEADBEEF;
  EXPECT_EQ(GetLocaleInfoW(lcid, type | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&v), 2), 2);
  return v;
}

struct LocaleCase {
  LCID lcid;
  const char *country;  // LOCALE_ICOUNTRY
  const char *measure;  // LOCALE_IMEASURE
  const char *engLang;
  const char *abbrev;
  DWORD ansiCp;
  const char *iso639;
  const char *iso3166;
  const char *decimal;
};

const LocaleCase kLocales[] = {
    {0x0409, "1", "1", "English", "ENU", 1252, "en", "US", "."},
    {0x0809, "44", "0", "English", "ENG", 1252, "en", "GB", "."},
    {0x1009, "2", "0", "English", "ENC", 1252, "en", "CA", "."},
    {0x0411, "81", "0", "Japanese", "JPN", 932, "ja", "JP", "."},
    {0x0407, "49", "0", "German", "DEU", 1252, "de", "DE", ","},
    {0x040C, "33", "0", "French", "FRA", 1252, "fr", "FR", ","},
    {0x0804, "86", "0", "Chinese", "CHS", 936, "zh", "CN", "."},
    {0x0404, "886", "0", "Chinese", "CHT", 950, "zh", "TW", "."},
    {0x0412, "82", "0", "Korean", "KOR", 949, "ko", "KR", "."},
    {0x0410, "39", "0", "Italian", "ITA", 1252, "it", "IT", ","},
    {0x0C0A, "34", "0", "Spanish", "ESN", 1252, "es", "ES", ","},
    {0x080A, "52", "0", "Spanish", "ESM", 1252, "es", "MX", "."},
    {0x0413, "31", "0", "Dutch", "NLD", 1252, "nl", "NL", ","},
    {0x0416, "55", "0", "Portuguese", "PTB", 1252, "pt", "BR", ","},
    {0x0419, "7", "0", "Russian", "RUS", 1251, "ru", "RU", ","},
    {0x0415, "48", "0", "Polish", "PLK", 1250, "pl", "PL", ","},
};

}  // namespace

TEST_F(LocaleTest, DefaultIsEnglishUnitedStates)
{
  EXPECT_EQ(GetUserDefaultLCID(), 0x0409u);
  EXPECT_EQ(GetSystemDefaultLCID(), 0x0409u);
  EXPECT_EQ(GetUserDefaultLangID(), 0x0409);
  EXPECT_EQ(GetSystemDefaultLangID(), 0x0409);
  EXPECT_EQ(GetUserDefaultUILanguage(), 0x0409);
  EXPECT_EQ(GetSystemDefaultUILanguage(), 0x0409);
  EXPECT_EQ(GetThreadLocale(), 0x0409u);
}

TEST_F(LocaleTest, LocaleTableValues)
{
  for (const LocaleCase &c : kLocales) {
    SCOPED_TRACE(testing::Message() << std::hex << c.lcid);
    EXPECT_EQ(InfoW(c.lcid, LOCALE_ICOUNTRY), c.country);
    EXPECT_EQ(InfoW(c.lcid, LOCALE_IMEASURE), c.measure);
    EXPECT_EQ(InfoW(c.lcid, LOCALE_SENGLANGUAGE), c.engLang);
    EXPECT_EQ(InfoW(c.lcid, LOCALE_SABBREVLANGNAME), c.abbrev);
    EXPECT_EQ(InfoW(c.lcid, LOCALE_IDEFAULTANSICODEPAGE), std::to_string(c.ansiCp));
    EXPECT_EQ(InfoNumber(c.lcid, LOCALE_IDEFAULTANSICODEPAGE), c.ansiCp);
    EXPECT_EQ(InfoW(c.lcid, LOCALE_SISO639LANGNAME), c.iso639);
    EXPECT_EQ(InfoW(c.lcid, LOCALE_SISO3166CTRYNAME), c.iso3166);
    EXPECT_EQ(InfoW(c.lcid, LOCALE_SDECIMAL), c.decimal);
    EXPECT_EQ(InfoNumber(c.lcid, LOCALE_ICOUNTRY), static_cast<DWORD>(atoi(c.country)));
    EXPECT_EQ(InfoNumber(c.lcid, LOCALE_ILANGUAGE), c.lcid);
    EXPECT_TRUE(IsValidLocale(c.lcid, LCID_SUPPORTED));
  }
}

TEST_F(LocaleTest, MoreValuesOfOneLocale)
{
  EXPECT_EQ(InfoW(0x0407, LOCALE_ILANGUAGE), "0407");
  EXPECT_EQ(InfoW(0x0407, LOCALE_SENGCOUNTRY), "Germany");
  EXPECT_EQ(InfoW(0x0407, LOCALE_SABBREVCTRYNAME), "DEU");
  EXPECT_EQ(InfoW(0x0407, LOCALE_SNATIVELANGNAME), "Deutsch");
  EXPECT_EQ(InfoW(0x0407, LOCALE_STHOUSAND), ".");
  EXPECT_EQ(InfoW(0x0407, LOCALE_SLIST), ";");
  EXPECT_EQ(InfoW(0x0407, LOCALE_IDEFAULTCODEPAGE), "850");
  EXPECT_EQ(InfoW(0x0407, LOCALE_SNAME), "de-DE");
  EXPECT_EQ(InfoW(0x0409, LOCALE_SLANGUAGE), "English (United States)");
  EXPECT_EQ(InfoW(0x0409, LOCALE_IPAPERSIZE), "1");
  EXPECT_EQ(InfoW(0x0809, LOCALE_IPAPERSIZE), "9");
  WCHAR buf[16];
  ASSERT_EQ(GetLocaleInfoW(0x0411, LOCALE_SNATIVELANGNAME, buf, 16), 4);
  EXPECT_EQ(std::u16string(buf), u"\u65E5\u672C\u8A9E");
}

TEST_F(LocaleTest, DefaultAndNeutralLocaleNames)
{
  ASSERT_TRUE(PlatSetLocale(0x0411, 0x0407, 0x0411));
  EXPECT_EQ(InfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE), "Japanese");
  EXPECT_EQ(InfoW(LOCALE_NEUTRAL, LOCALE_SENGLANGUAGE), "Japanese");
  EXPECT_EQ(InfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE), "German");
  // A primary language alone means its default locale.
  EXPECT_EQ(InfoW(MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL), LOCALE_SISO3166CTRYNAME), "US");
  EXPECT_EQ(InfoW(MAKELANGID(LANG_CHINESE, SUBLANG_NEUTRAL), LOCALE_SISO3166CTRYNAME), "CN");
}

TEST_F(LocaleTest, SizeProtocol)
{
  // Count 0 asks for the size, terminator included; the buffer is not touched.
  WCHAR buf[8];
  buf[0] = u'#';
  EXPECT_EQ(GetLocaleInfoW(0x0409, LOCALE_SENGLANGUAGE, buf, 0), 8);
  EXPECT_EQ(buf[0], u'#');
  EXPECT_EQ(GetLocaleInfoW(0x0409, LOCALE_SENGLANGUAGE, nullptr, 0), 8);
  // One short fails.
  SetLastError(0);
  WCHAR small[7];
  EXPECT_EQ(GetLocaleInfoW(0x0409, LOCALE_SENGLANGUAGE, small, 7), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  // Exactly enough fits.
  EXPECT_EQ(GetLocaleInfoW(0x0409, LOCALE_SENGLANGUAGE, buf, 8), 8);
  EXPECT_EQ(std::u16string(buf), u"English");
  // A number is a DWORD: two WCHARs, or four bytes in the A form.
  EXPECT_EQ(GetLocaleInfoW(0x0409, LOCALE_ICOUNTRY | LOCALE_RETURN_NUMBER, nullptr, 0), 2);
  EXPECT_EQ(GetLocaleInfoW(0x0409, LOCALE_ICOUNTRY | LOCALE_RETURN_NUMBER, buf, 1), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  DWORD number = 0;
  EXPECT_EQ(GetLocaleInfoA(0x0809, LOCALE_ICOUNTRY | LOCALE_RETURN_NUMBER, reinterpret_cast<LPSTR>(&number), 4), 4);
  EXPECT_EQ(number, 44u);
  // A buffer that is missing although a size is given.
  EXPECT_EQ(GetLocaleInfoW(0x0409, LOCALE_SENGLANGUAGE, nullptr, 8), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(LocaleTest, BadLocalesAndTypes)
{
  struct {
    LCID lcid;
    LCTYPE type;
    DWORD error;
  } cases[] = {
      {0x0401, LOCALE_SENGLANGUAGE, ERROR_INVALID_PARAMETER},                     // not in the table
      {0x7777, LOCALE_SENGLANGUAGE, ERROR_INVALID_PARAMETER},                     // no such language
      {0x00010409, LOCALE_SENGLANGUAGE, ERROR_INVALID_PARAMETER},                 // alternate sort order
      {0x0409, 0x7FFF, ERROR_INVALID_FLAGS},                                      // unknown LCTYPE
      {0x0409, LOCALE_SENGLANGUAGE | LOCALE_RETURN_NUMBER, ERROR_INVALID_FLAGS},  // text as a number
  };
  for (auto &c : cases) {
    WCHAR buf[32];
    SetLastError(0);
    EXPECT_EQ(GetLocaleInfoW(c.lcid, c.type, buf, 32), 0) << std::hex << c.lcid << " " << c.type;
    EXPECT_EQ(GetLastError(), c.error) << std::hex << c.lcid << " " << c.type;
  }
  EXPECT_FALSE(IsValidLocale(0x0401, LCID_SUPPORTED));
}

TEST_F(LocaleTest, AnsiFormUsesTheLocaleCodePage)
{
  char buf[32];
  ASSERT_EQ(GetLocaleInfoA(0x0409, LOCALE_SENGLANGUAGE, buf, 32), 8);
  EXPECT_STREQ(buf, "English");
  EXPECT_EQ(GetLocaleInfoA(0x0409, LOCALE_SENGLANGUAGE, buf, 0), 8);
  // "日本語" in Shift-JIS, the code page of ja-JP, whatever the active code page is.
  ASSERT_EQ(GetLocaleInfoA(0x0411, LOCALE_SNATIVELANGNAME, buf, 32), 7);
  EXPECT_STREQ(buf, "\x93\xFA\x96\x7B\x8C\xEA");
  // "français" in 1252.
  ASSERT_EQ(GetLocaleInfoA(0x040C, LOCALE_SNATIVELANGNAME, buf, 32), 9);
  EXPECT_STREQ(buf,
               "fran\xE7"
               "ais");
  // In the active code page on request: Japanese has no 1252 form.
  ASSERT_EQ(GetLocaleInfoA(0x0411, LOCALE_SNATIVELANGNAME | LOCALE_USE_CP_ACP, buf, 32), 4);
  EXPECT_STREQ(buf, "???");
  SetLastError(0);
  EXPECT_EQ(GetLocaleInfoA(0x0411, LOCALE_SNATIVELANGNAME, buf, 6), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(LocaleTest, SetLocaleChangesEveryDefault)
{
  ASSERT_TRUE(PlatSetLocale(0x0407, 0x0411, 0x040C));
  EXPECT_EQ(GetUserDefaultLCID(), 0x0407u);
  EXPECT_EQ(GetUserDefaultLangID(), 0x0407);
  EXPECT_EQ(GetSystemDefaultLCID(), 0x0411u);
  EXPECT_EQ(GetSystemDefaultLangID(), 0x0411);
  EXPECT_EQ(GetUserDefaultUILanguage(), 0x040C);
  EXPECT_EQ(GetSystemDefaultUILanguage(), 0x040C);
  EXPECT_EQ(GetThreadLocale(), 0x0407u);
  EXPECT_EQ(InfoW(GetUserDefaultLCID(), LOCALE_ICOUNTRY), "49");

  // Unknown values change nothing.
  SetLastError(0);
  EXPECT_FALSE(PlatSetLocale(0x0409, 0x0401, 0x0409));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(PlatSetLocale(0x0409, 0x0409, 0x7777));
  EXPECT_EQ(GetUserDefaultLCID(), 0x0407u);

  PlatResetForTest();
  EXPECT_EQ(GetUserDefaultLCID(), 0x0409u);
  EXPECT_EQ(GetUserDefaultUILanguage(), 0x0409);
}

TEST_F(LocaleTest, ThreadLocaleIsPerThread)
{
  ASSERT_TRUE(SetThreadLocale(0x0411));
  EXPECT_EQ(GetThreadLocale(), 0x0411u);
  EXPECT_FALSE(SetThreadLocale(0x0401));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetThreadLocale(), 0x0411u);
  LCID other = 0;
  std::thread t([&] { other = GetThreadLocale(); });
  t.join();
  EXPECT_EQ(other, 0x0409u);
  PlatResetForTest();
  EXPECT_EQ(GetThreadLocale(), 0x0409u);
}

TEST_F(LocaleTest, ComputerNameSizeProtocol)
{
  WCHAR buf[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameW(buf, &size));
  EXPECT_EQ(Narrow(buf), "KVHOST");
  EXPECT_EQ(size, 6u);  // without the terminator

  ASSERT_TRUE(SetEnvironmentVariableW(u"COMPUTERNAME", u"PRINTSRV01"));
  size = 10;  // one short
  SetLastError(0);
  EXPECT_FALSE(GetComputerNameW(buf, &size));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BUFFER_OVERFLOW);
  EXPECT_EQ(size, 11u);  // with the terminator
  size = 11;
  ASSERT_TRUE(GetComputerNameW(buf, &size));
  EXPECT_EQ(Narrow(buf), "PRINTSRV01");
  EXPECT_EQ(size, 10u);
  EXPECT_FALSE(GetComputerNameW(buf, nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(LocaleTest, UserNameSizeProtocol)
{
  WCHAR buf[UNLEN + 1];
  DWORD size = UNLEN + 1;
  ASSERT_TRUE(GetUserNameW(buf, &size));
  EXPECT_EQ(Narrow(buf), "kvuser");
  EXPECT_EQ(size, 7u);  // with the terminator

  size = 6;
  SetLastError(0);
  EXPECT_FALSE(GetUserNameW(buf, &size));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(size, 7u);
  size = 0;
  EXPECT_FALSE(GetUserNameW(nullptr, &size));
  EXPECT_EQ(size, 7u);

  ASSERT_TRUE(SetEnvironmentVariableW(u"USERNAME", u"Anna"));
  size = 5;
  ASSERT_TRUE(GetUserNameW(buf, &size));
  EXPECT_EQ(Narrow(buf), "Anna");
  EXPECT_EQ(size, 5u);
}
