// Locales: the user, system and user-interface languages, GetLocaleInfo from a
// compiled-in table of locales, and the computer and user names.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <string>

#include "internal.h"
#include "kvplat/os_control.h"

namespace {

// One locale. Texts are UTF-8; numbers are given as they are reported.
struct LocaleRow {
  LCID lcid;
  const char *name;      // LOCALE_SNAME
  const char *iso639;    // LOCALE_SISO639LANGNAME
  const char *iso3166;   // LOCALE_SISO3166CTRYNAME
  const char *engLang;   // LOCALE_SENGLANGUAGE
  const char *engCtry;   // LOCALE_SENGCOUNTRY
  const char *abbrLang;  // LOCALE_SABBREVLANGNAME
  const char *abbrCtry;  // LOCALE_SABBREVCTRYNAME
  const char *natLang;   // LOCALE_SNATIVELANGNAME
  const char *natCtry;   // LOCALE_SNATIVECTRYNAME
  DWORD country;         // LOCALE_ICOUNTRY (telephone country code)
  DWORD measure;         // LOCALE_IMEASURE: 0 metric, 1 U.S.
  DWORD paper;           // LOCALE_IPAPERSIZE: 1 Letter, 9 A4
  DWORD ansiCp, oemCp, macCp;
  const char *decimal;   // LOCALE_SDECIMAL
  const char *thousand;  // LOCALE_STHOUSAND
  const char *list;      // LOCALE_SLIST
};

#define NBSP "\xC2\xA0"

// The first row of each primary language is its default sub-language.
const LocaleRow kLocales[] = {
    {0x0409, "en-US", "en", "US", "English", "United States", "ENU", "USA", "English", "United States", 1, 1, 1, 1252,
     437, 10000, ".", ",", ","},
    {0x0809, "en-GB", "en", "GB", "English", "United Kingdom", "ENG", "GBR", "English", "United Kingdom", 44, 0, 9,
     1252, 850, 10000, ".", ",", ","},
    {0x1009, "en-CA", "en", "CA", "English", "Canada", "ENC", "CAN", "English", "Canada", 2, 0, 1, 1252, 850, 10000,
     ".", ",", ","},
    {0x0C09, "en-AU", "en", "AU", "English", "Australia", "ENA", "AUS", "English", "Australia", 61, 0, 9, 1252, 850,
     10000, ".", ",", ","},
    {0x0411, "ja-JP", "ja", "JP", "Japanese", "Japan", "JPN", "JPN", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
     "\xE6\x97\xA5\xE6\x9C\xAC", 81, 0, 9, 932, 932, 10001, ".", ",", ","},
    {0x0407, "de-DE", "de", "DE", "German", "Germany", "DEU", "DEU", "Deutsch", "Deutschland", 49, 0, 9, 1252, 850,
     10000, ",", ".", ";"},
    {0x0807, "de-CH", "de", "CH", "German", "Switzerland", "DES", "CHE", "Deutsch", "Schweiz", 41, 0, 9, 1252, 850,
     10000, ".", "'", ";"},
    {0x0C07, "de-AT", "de", "AT", "German", "Austria", "DEA", "AUT", "Deutsch", "\xC3\x96sterreich", 43, 0, 9, 1252,
     850, 10000, ",", ".", ";"},
    {0x040C, "fr-FR", "fr", "FR", "French", "France", "FRA", "FRA",
     "fran\xC3\xA7"
     "ais",
     "France", 33, 0, 9, 1252, 850, 10000, ",", NBSP, ";"},
    {0x0C0C, "fr-CA", "fr", "CA", "French", "Canada", "FRC", "CAN",
     "fran\xC3\xA7"
     "ais",
     "Canada", 2, 0, 1, 1252, 850, 10000, ",", NBSP, ";"},
    {0x080C, "fr-BE", "fr", "BE", "French", "Belgium", "FRB", "BEL",
     "fran\xC3\xA7"
     "ais",
     "Belgique", 32, 0, 9, 1252, 850, 10000, ",", ".", ";"},
    {0x0804, "zh-CN", "zh", "CN", "Chinese", "People's Republic of China", "CHS", "CHN",
     "\xE4\xB8\xAD\xE6\x96\x87(\xE4\xB8\xAD\xE5\x9B\xBD)",
     "\xE4\xB8\xAD\xE5\x8D\x8E\xE4\xBA\xBA\xE6\xB0\x91\xE5\x85\xB1\xE5\x92\x8C\xE5\x9B\xBD", 86, 0, 9, 936, 936, 10008,
     ".", ",", ","},
    {0x0404, "zh-TW", "zh", "TW", "Chinese", "Taiwan", "CHT", "TWN",
     "\xE4\xB8\xAD\xE6\x96\x87(\xE5\x8F\xB0\xE7\x81\xA3)", "\xE5\x8F\xB0\xE7\x81\xA3", 886, 0, 9, 950, 950, 10002, ".",
     ",", ","},
    {0x0C04, "zh-HK", "zh", "HK", "Chinese", "Hong Kong S.A.R.", "ZHH", "HKG",
     "\xE4\xB8\xAD\xE6\x96\x87(\xE9\xA6\x99\xE6\xB8\xAF)", "\xE9\xA6\x99\xE6\xB8\xAF", 852, 0, 9, 950, 950, 10002, ".",
     ",", ","},
    {0x0412, "ko-KR", "ko", "KR", "Korean", "Korea", "KOR", "KOR", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4",
     "\xEB\x8C\x80\xED\x95\x9C\xEB\xAF\xBC\xEA\xB5\xAD", 82, 0, 9, 949, 949, 10003, ".", ",", ","},
    {0x0410, "it-IT", "it", "IT", "Italian", "Italy", "ITA", "ITA", "italiano", "Italia", 39, 0, 9, 1252, 850, 10000,
     ",", ".", ";"},
    {0x0C0A, "es-ES", "es", "ES", "Spanish", "Spain", "ESN", "ESP", "espa\xC3\xB1ol",
     "Espa\xC3\xB1"
     "a",
     34, 0, 9, 1252, 850, 10000, ",", ".", ";"},
    {0x040A, "es-ES_tradnl", "es", "ES", "Spanish", "Spain", "ESP", "ESP", "espa\xC3\xB1ol",
     "Espa\xC3\xB1"
     "a",
     34, 0, 9, 1252, 850, 10000, ",", ".", ";"},
    {0x080A, "es-MX", "es", "MX", "Spanish", "Mexico", "ESM", "MEX", "espa\xC3\xB1ol", "M\xC3\xA9xico", 52, 0, 1, 1252,
     850, 10000, ".", ",", ","},
    {0x0413, "nl-NL", "nl", "NL", "Dutch", "Netherlands", "NLD", "NLD", "Nederlands", "Nederland", 31, 0, 9, 1252, 850,
     10000, ",", ".", ";"},
    {0x0813, "nl-BE", "nl", "BE", "Dutch", "Belgium", "NLB", "BEL", "Nederlands", "Belgi\xC3\xAB", 32, 0, 9, 1252, 850,
     10000, ",", ".", ";"},
    {0x0416, "pt-BR", "pt", "BR", "Portuguese", "Brazil", "PTB", "BRA", "Portugu\xC3\xAAs", "Brasil", 55, 0, 9, 1252,
     850, 10000, ",", ".", ";"},
    {0x0816, "pt-PT", "pt", "PT", "Portuguese", "Portugal", "PTG", "PRT", "portugu\xC3\xAAs", "Portugal", 351, 0, 9,
     1252, 850, 10000, ",", ".", ";"},
    {0x0419, "ru-RU", "ru", "RU", "Russian", "Russia", "RUS", "RUS",
     "\xD1\x80\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9", "\xD0\xA0\xD0\xBE\xD1\x81\xD1\x81\xD0\xB8\xD1\x8F", 7,
     0, 9, 1251, 866, 10007, ",", NBSP, ";"},
    {0x0415, "pl-PL", "pl", "PL", "Polish", "Poland", "PLK", "POL", "polski", "Polska", 48, 0, 9, 1250, 852, 10029, ",",
     NBSP, ";"},
    {0x0405, "cs-CZ", "cs", "CZ", "Czech", "Czech Republic", "CSY", "CZE",
     "\xC4\x8D"
     "e\xC5\xA1tina",
     "\xC4\x8C"
     "esk\xC3\xA1 republika",
     420, 0, 9, 1250, 852, 10029, ",", NBSP, ";"},
    {0x040E, "hu-HU", "hu", "HU", "Hungarian", "Hungary", "HUN", "HUN", "magyar", "Magyarorsz\xC3\xA1g", 36, 0, 9, 1250,
     852, 10029, ",", NBSP, ";"},
    {0x041D, "sv-SE", "sv", "SE", "Swedish", "Sweden", "SVE", "SWE", "svenska", "Sverige", 46, 0, 9, 1252, 850, 10000,
     ",", NBSP, ";"},
    {0x0406, "da-DK", "da", "DK", "Danish", "Denmark", "DAN", "DNK", "dansk", "Danmark", 45, 0, 9, 1252, 850, 10000,
     ",", ".", ";"},
    {0x040B, "fi-FI", "fi", "FI", "Finnish", "Finland", "FIN", "FIN", "suomi", "Suomi", 358, 0, 9, 1252, 850, 10000,
     ",", NBSP, ";"},
    {0x0414, "nb-NO", "nb", "NO", "Norwegian", "Norway", "NOR", "NOR", "norsk (bokm\xC3\xA5l)", "Norge", 47, 0, 9, 1252,
     850, 10000, ",", NBSP, ";"},
    {0x0408, "el-GR", "el", "GR", "Greek", "Greece", "ELL", "GRC",
     "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC",
     "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1", 30, 0, 9, 1253, 737, 10006, ",", ".", ";"},
    {0x041F, "tr-TR", "tr", "TR", "Turkish", "Turkey", "TRK", "TUR",
     "T\xC3\xBCrk\xC3\xA7"
     "e",
     "T\xC3\xBCrkiye", 90, 0, 9, 1254, 857, 10081, ",", ".", ";"},
};

#undef NBSP

const LocaleRow *FindExact(LANGID lang)
{
  for (const LocaleRow &r : kLocales)
    if (LANGIDFROMLCID(r.lcid) == lang) return &r;
  return nullptr;
}

std::mutex g_lock;
bool g_init = false;
LCID g_user = 0x0409, g_system = 0x0409;
LANGID g_ui = 0x0409;
thread_local LCID t_threadLocale = 0;  // 0: follows the user default

// KVML_LOCALE: hexadecimal "user[,system[,ui]]"; what is left out follows the user locale.
void LoadDefault()
{
  g_user = g_system = 0x0409;
  g_ui = 0x0409;
  g_init = true;
  const char *env = getenv("KVML_LOCALE");
  if (!env || !*env) return;
  unsigned long v[3];
  int n = 0;
  const char *p = env;
  while (n < 3) {
    char *end;
    v[n] = strtoul(p, &end, 16);
    if (end == p) return;
    ++n;
    if (*end != ',') break;
    p = end + 1;
  }
  if (n == 0) return;
  LCID user = v[0], system = n > 1 ? v[1] : v[0];
  LANGID ui = static_cast<LANGID>(n > 2 ? v[2] : v[0]);
  if (FindExact(LANGIDFROMLCID(user)) && FindExact(LANGIDFROMLCID(system)) && FindExact(ui)) {
    g_user = user;
    g_system = system;
    g_ui = ui;
  }
}

void EnsureInit()
{
  if (!g_init) LoadDefault();
}

void ResetLocale()
{
  std::lock_guard<std::mutex> g(g_lock);
  LoadDefault();
  t_threadLocale = 0;
}

struct ResetRegistrar {
  ResetRegistrar() { plat::RegisterReset(ResetLocale); }
} g_registrar;

LCID UserLcid()
{
  std::lock_guard<std::mutex> g(g_lock);
  EnsureInit();
  return g_user;
}
LCID SystemLcid()
{
  std::lock_guard<std::mutex> g(g_lock);
  EnsureInit();
  return g_system;
}

// Resolves the default and neutral locale names the way Windows does, then finds the
// row: LOCALE_NEUTRAL and LOCALE_USER_DEFAULT mean the user locale, LOCALE_SYSTEM_DEFAULT
// the system locale, a primary language without sub-language its default locale.
const LocaleRow *Resolve(LCID lcid)
{
  LANGID lang = LANGIDFROMLCID(lcid);
  if (lcid == LOCALE_NEUTRAL || lcid == LOCALE_USER_DEFAULT)
    lang = LANGIDFROMLCID(UserLcid());
  else if (lcid == LOCALE_SYSTEM_DEFAULT)
    lang = LANGIDFROMLCID(SystemLcid());
  if ((lcid >> 16) != 0) return nullptr;  // no alternate sort orders here
  if (SUBLANGID(lang) == SUBLANG_NEUTRAL) {
    for (const LocaleRow &r : kLocales)
      if (PRIMARYLANGID(r.lcid) == PRIMARYLANGID(lang)) return &r;
    return nullptr;
  }
  return FindExact(lang);
}

enum class Kind { kText, kNumber, kHex };

// The value of one LCTYPE for a row; false for an unknown type.
bool Value(const LocaleRow &r, LCTYPE type, Kind &kind, std::u16string &text, DWORD &number)
{
  const char *s = nullptr;
  kind = Kind::kNumber;
  switch (type) {
    case LOCALE_ILANGUAGE:
      kind = Kind::kHex;
      number = LANGIDFROMLCID(r.lcid);
      break;
    case LOCALE_IDEFAULTLANGUAGE:
      kind = Kind::kHex;
      number = LANGIDFROMLCID(r.lcid);
      break;
    case LOCALE_SLANGUAGE: {
      // The display name, in English here: "English (United States)".
      kind = Kind::kText;
      text = plat::Utf8ToUtf16(std::string(r.engLang) + " (" + r.engCtry + ")");
      return true;
    }
    case LOCALE_SENGLANGUAGE: s = r.engLang; break;
    case LOCALE_SABBREVLANGNAME: s = r.abbrLang; break;
    case LOCALE_SNATIVELANGNAME: s = r.natLang; break;
    case LOCALE_ICOUNTRY:
    case LOCALE_IDEFAULTCOUNTRY: number = r.country; break;
    case LOCALE_SCOUNTRY:
    case LOCALE_SENGCOUNTRY: s = r.engCtry; break;
    case LOCALE_SABBREVCTRYNAME: s = r.abbrCtry; break;
    case LOCALE_SNATIVECTRYNAME: s = r.natCtry; break;
    case LOCALE_IDEFAULTCODEPAGE: number = r.oemCp; break;
    case LOCALE_IDEFAULTANSICODEPAGE: number = r.ansiCp; break;
    case LOCALE_IDEFAULTMACCODEPAGE: number = r.macCp; break;
    case LOCALE_SLIST: s = r.list; break;
    case LOCALE_IMEASURE: number = r.measure; break;
    case LOCALE_SDECIMAL: s = r.decimal; break;
    case LOCALE_STHOUSAND: s = r.thousand; break;
    case LOCALE_IPAPERSIZE: number = r.paper; break;
    case LOCALE_SISO639LANGNAME: s = r.iso639; break;
    case LOCALE_SISO3166CTRYNAME: s = r.iso3166; break;
    case LOCALE_SNAME: s = r.name; break;
    default: return false;
  }
  if (s) {
    kind = Kind::kText;
    text = plat::Utf8ToUtf16(s);
  } else {
    char buf[16];
    snprintf(buf, sizeof buf, kind == Kind::kHex ? "%04lX" : "%lu", static_cast<unsigned long>(number));
    text = plat::Utf8ToUtf16(buf);
  }
  return true;
}

// Looks the value up for both forms. Answers false with the last error set.
bool Lookup(LCID lcid, LCTYPE lctype, bool &asNumber, std::u16string &text, DWORD &number, const LocaleRow *&row)
{
  row = Resolve(lcid);
  if (!row) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  asNumber = (lctype & LOCALE_RETURN_NUMBER) != 0;
  LCTYPE type = lctype & ~(LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP | LOCALE_RETURN_NUMBER);
  Kind kind;
  if (!Value(*row, type, kind, text, number) || (asNumber && kind == Kind::kText)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return false;
  }
  return true;
}

// The size protocol of GetLocaleInfo: count 0 asks for the size; too small fails.
int CopyOut(const void *data, int units, void *out, int cch, size_t unitSize)
{
  if (cch < 0 || (cch > 0 && !out)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (cch == 0) return units;
  if (cch < units) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(out, data, static_cast<size_t>(units) * unitSize);
  return units;
}

const LocaleRow *ValidLocale(LCID lcid) { return (lcid >> 16) == 0 ? FindExact(LANGIDFROMLCID(lcid)) : nullptr; }

}  // namespace

// ---------------------------------------------------------------- controls

BOOL PlatSetLocale(LCID user, LCID system, LANGID ui)
{
  if (!ValidLocale(user) || !ValidLocale(system) || !FindExact(ui)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> g(g_lock);
  g_init = true;
  g_user = user;
  g_system = system;
  g_ui = ui;
  return TRUE;
}

// ---------------------------------------------------------------- Win32

LCID WINAPI GetUserDefaultLCID(void) { return UserLcid(); }
LCID WINAPI GetSystemDefaultLCID(void) { return SystemLcid(); }
LANGID WINAPI GetUserDefaultLangID(void) { return LANGIDFROMLCID(UserLcid()); }
LANGID WINAPI GetSystemDefaultLangID(void) { return LANGIDFROMLCID(SystemLcid()); }

LANGID WINAPI GetUserDefaultUILanguage(void)
{
  std::lock_guard<std::mutex> g(g_lock);
  EnsureInit();
  return g_ui;
}

// One user-interface language is installed, so the system's is the user's.
LANGID WINAPI GetSystemDefaultUILanguage(void) { return GetUserDefaultUILanguage(); }

LCID WINAPI GetThreadLocale(void) { return t_threadLocale ? t_threadLocale : UserLcid(); }

BOOL WINAPI SetThreadLocale(LCID Locale)
{
  if (!ValidLocale(Locale)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  t_threadLocale = Locale;
  return TRUE;
}

BOOL WINAPI IsValidLocale(LCID Locale, DWORD dwFlags)
{
  if (dwFlags != LCID_INSTALLED && dwFlags != LCID_SUPPORTED) return FALSE;
  return ValidLocale(Locale) ? TRUE : FALSE;
}

int WINAPI GetLocaleInfoW(LCID Locale, LCTYPE LCType, LPWSTR lpLCData, int cchData)
{
  bool asNumber;
  std::u16string text;
  DWORD number = 0;
  const LocaleRow *row;
  if (!Lookup(Locale, LCType, asNumber, text, number, row)) return 0;
  if (asNumber) return CopyOut(&number, sizeof(DWORD) / sizeof(WCHAR), lpLCData, cchData, sizeof(WCHAR));
  return CopyOut(text.c_str(), static_cast<int>(text.size() + 1), lpLCData, cchData, sizeof(WCHAR));
}

int WINAPI GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData)
{
  bool asNumber;
  std::u16string text;
  DWORD number = 0;
  const LocaleRow *row;
  if (!Lookup(Locale, LCType, asNumber, text, number, row)) return 0;
  if (asNumber) return CopyOut(&number, sizeof(DWORD), lpLCData, cchData, 1);
  // Text goes out in the locale's ANSI code page, or the active one when asked for
  // or when the layer lacks the locale's; unmappable characters become '?'.
  UINT cp = (LCType & LOCALE_USE_CP_ACP) || !IsValidCodePage(row->ansiCp) ? CP_ACP : row->ansiCp;
  int n = WideCharToMultiByte(cp, 0, text.c_str(), -1, NULL, 0, NULL, NULL);
  if (n <= 0) return 0;
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, text.c_str(), -1, bytes.data(), n, NULL, NULL);
  return CopyOut(bytes.data(), n, lpLCData, cchData, 1);
}

BOOL WINAPI GetComputerNameW(LPWSTR lpBuffer, LPDWORD lpnSize)
{
  if (!lpnSize) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WCHAR name[MAX_COMPUTERNAME_LENGTH + 2];
  DWORD len = GetEnvironmentVariableW(u"COMPUTERNAME", name, MAX_COMPUTERNAME_LENGTH + 1);
  if (len == 0 || len > MAX_COMPUTERNAME_LENGTH) {
    // No name, or one longer than a NetBIOS name: the machine has no valid computer name.
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  if (!lpBuffer || *lpnSize < len + 1) {
    *lpnSize = len + 1;
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  memcpy(lpBuffer, name, (len + 1) * sizeof(WCHAR));
  *lpnSize = len;
  return TRUE;
}

BOOL WINAPI GetUserNameW(LPWSTR lpBuffer, LPDWORD pcbBuffer)
{
  if (!pcbBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WCHAR name[UNLEN + 2];
  DWORD len = GetEnvironmentVariableW(u"USERNAME", name, UNLEN + 1);
  if (len == 0 || len > UNLEN) {
    SetLastError(ERROR_NONE_MAPPED);
    return FALSE;
  }
  if (!lpBuffer || *pcbBuffer < len + 1) {
    *pcbBuffer = len + 1;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(lpBuffer, name, (len + 1) * sizeof(WCHAR));
  *pcbBuffer = len + 1;
  return TRUE;
}
