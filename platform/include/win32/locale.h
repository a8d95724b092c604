// Locales and language identifiers, locale information, and the computer and user names.
// The user, system and user-interface languages come from kvplat/os_control.h
// (PlatSetLocale); the default is English (United States) for all three.
#pragma once
#include "win32/types.h"

#ifndef ERROR_BUFFER_OVERFLOW
#define ERROR_BUFFER_OVERFLOW 111L
#endif
#ifndef ERROR_NONE_MAPPED
#define ERROR_NONE_MAPPED 1332L
#endif

typedef DWORD LCTYPE;

// Primary languages.
#ifndef LANG_NEUTRAL
#define LANG_NEUTRAL 0x00
#endif
#ifndef LANG_CHINESE
#define LANG_CHINESE 0x04
#endif
#ifndef LANG_CZECH
#define LANG_CZECH 0x05
#endif
#ifndef LANG_DANISH
#define LANG_DANISH 0x06
#endif
#ifndef LANG_GERMAN
#define LANG_GERMAN 0x07
#endif
#ifndef LANG_GREEK
#define LANG_GREEK 0x08
#endif
#ifndef LANG_ENGLISH
#define LANG_ENGLISH 0x09
#endif
#ifndef LANG_SPANISH
#define LANG_SPANISH 0x0a
#endif
#ifndef LANG_FINNISH
#define LANG_FINNISH 0x0b
#endif
#ifndef LANG_FRENCH
#define LANG_FRENCH 0x0c
#endif
#ifndef LANG_HUNGARIAN
#define LANG_HUNGARIAN 0x0e
#endif
#ifndef LANG_ITALIAN
#define LANG_ITALIAN 0x10
#endif
#ifndef LANG_JAPANESE
#define LANG_JAPANESE 0x11
#endif
#ifndef LANG_KOREAN
#define LANG_KOREAN 0x12
#endif
#ifndef LANG_DUTCH
#define LANG_DUTCH 0x13
#endif
#ifndef LANG_NORWEGIAN
#define LANG_NORWEGIAN 0x14
#endif
#ifndef LANG_POLISH
#define LANG_POLISH 0x15
#endif
#ifndef LANG_PORTUGUESE
#define LANG_PORTUGUESE 0x16
#endif
#ifndef LANG_RUSSIAN
#define LANG_RUSSIAN 0x19
#endif
#ifndef LANG_SWEDISH
#define LANG_SWEDISH 0x1d
#endif
#ifndef LANG_TURKISH
#define LANG_TURKISH 0x1f
#endif

// Sublanguages.
#ifndef SUBLANG_NEUTRAL
#define SUBLANG_NEUTRAL 0x00
#endif
#ifndef SUBLANG_DEFAULT
#define SUBLANG_DEFAULT 0x01
#endif
#ifndef SUBLANG_SYS_DEFAULT
#define SUBLANG_SYS_DEFAULT 0x02
#endif
#ifndef SUBLANG_CHINESE_TRADITIONAL
#define SUBLANG_CHINESE_TRADITIONAL 0x01
#endif
#ifndef SUBLANG_CHINESE_SIMPLIFIED
#define SUBLANG_CHINESE_SIMPLIFIED 0x02
#endif
#ifndef SUBLANG_ENGLISH_US
#define SUBLANG_ENGLISH_US 0x01
#endif
#ifndef SUBLANG_ENGLISH_UK
#define SUBLANG_ENGLISH_UK 0x02
#endif
#ifndef SUBLANG_PORTUGUESE_BRAZILIAN
#define SUBLANG_PORTUGUESE_BRAZILIAN 0x01
#endif

#ifndef SORT_DEFAULT
#define SORT_DEFAULT 0x0
#endif
#ifndef LANG_SYSTEM_DEFAULT
#define LANG_SYSTEM_DEFAULT MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT)
#endif
#ifndef LANG_USER_DEFAULT
#define LANG_USER_DEFAULT MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)
#endif
#ifndef LOCALE_SYSTEM_DEFAULT
#define LOCALE_SYSTEM_DEFAULT MAKELCID(LANG_SYSTEM_DEFAULT, SORT_DEFAULT)
#endif
#ifndef LOCALE_USER_DEFAULT
#define LOCALE_USER_DEFAULT MAKELCID(LANG_USER_DEFAULT, SORT_DEFAULT)
#endif
#ifndef LOCALE_NEUTRAL
#define LOCALE_NEUTRAL MAKELCID(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), SORT_DEFAULT)
#endif

// Flags of an LCTYPE.
#define LOCALE_NOUSEROVERRIDE 0x80000000UL
#define LOCALE_USE_CP_ACP 0x40000000UL
#define LOCALE_RETURN_NUMBER 0x20000000UL

// Locale information (LCTYPE). Values starting with I are numbers, as text unless
// LOCALE_RETURN_NUMBER asks for a DWORD.
#define LOCALE_ILANGUAGE 0x00000001
#define LOCALE_SLANGUAGE 0x00000002
#define LOCALE_SABBREVLANGNAME 0x00000003
#define LOCALE_SNATIVELANGNAME 0x00000004
#define LOCALE_ICOUNTRY 0x00000005
#define LOCALE_SCOUNTRY 0x00000006
#define LOCALE_SABBREVCTRYNAME 0x00000007
#define LOCALE_SNATIVECTRYNAME 0x00000008
#define LOCALE_IDEFAULTLANGUAGE 0x00000009
#define LOCALE_IDEFAULTCOUNTRY 0x0000000A
#define LOCALE_IDEFAULTCODEPAGE 0x0000000B
#define LOCALE_SLIST 0x0000000C
#define LOCALE_IMEASURE 0x0000000D
#define LOCALE_SDECIMAL 0x0000000E
#define LOCALE_STHOUSAND 0x0000000F
#define LOCALE_SENGLANGUAGE 0x00001001
#define LOCALE_SENGCOUNTRY 0x00001002
#define LOCALE_IDEFAULTANSICODEPAGE 0x00001004
#define LOCALE_IPAPERSIZE 0x0000100A
#define LOCALE_IDEFAULTMACCODEPAGE 0x00001011
#define LOCALE_SISO639LANGNAME 0x00000059
#define LOCALE_SISO3166CTRYNAME 0x0000005A
#define LOCALE_SNAME 0x0000005C

#define MAX_COMPUTERNAME_LENGTH 15
#define UNLEN 256

KV_BEGIN_DECLS

LCID WINAPI GetUserDefaultLCID(void);
LCID WINAPI GetSystemDefaultLCID(void);
LANGID WINAPI GetUserDefaultLangID(void);
LANGID WINAPI GetSystemDefaultLangID(void);
LANGID WINAPI GetUserDefaultUILanguage(void);
LANGID WINAPI GetSystemDefaultUILanguage(void);
// The calling thread's locale: the user default until SetThreadLocale changes it.
LCID WINAPI GetThreadLocale(void);
BOOL WINAPI SetThreadLocale(LCID Locale);
// Whether the locale is one this system knows (LCID_INSTALLED / LCID_SUPPORTED).
#define LCID_INSTALLED 0x00000001
#define LCID_SUPPORTED 0x00000002
BOOL WINAPI IsValidLocale(LCID Locale, DWORD dwFlags);

// Copies the value with its terminator and answers the characters written (bytes for
// the A form), or with cchData 0 the size needed. Too small a buffer: 0 with
// ERROR_INSUFFICIENT_BUFFER. Unknown locale: ERROR_INVALID_PARAMETER; unknown LCTYPE,
// or LOCALE_RETURN_NUMBER on a text value: ERROR_INVALID_FLAGS. LOCALE_USER_DEFAULT,
// LOCALE_SYSTEM_DEFAULT, LOCALE_NEUTRAL and a bare primary language are accepted.
int WINAPI GetLocaleInfoW(LCID Locale, LCTYPE LCType, LPWSTR lpLCData, int cchData);
// The same in the locale's ANSI code page (the active one with LOCALE_USE_CP_ACP).
int WINAPI GetLocaleInfoA(LCID Locale, LCTYPE LCType, LPSTR lpLCData, int cchData);

// The NetBIOS computer name (from the COMPUTERNAME environment value). *lpnSize is the
// buffer size in characters; on success it becomes the length without the terminator,
// on ERROR_BUFFER_OVERFLOW the size needed with it.
BOOL WINAPI GetComputerNameW(LPWSTR lpBuffer, LPDWORD lpnSize);
// The logon name (from the USERNAME environment value). *pcbBuffer counts characters
// with the terminator, on success and on ERROR_INSUFFICIENT_BUFFER alike.
BOOL WINAPI GetUserNameW(LPWSTR lpBuffer, LPDWORD pcbBuffer);

KV_END_DECLS
