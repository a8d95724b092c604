// Code pages: conversion between UTF-16 and the ANSI/OEM code pages, DBCS lead bytes
// and character stepping in multibyte text.
//
// Code pages known to the layer: 1252 (Western, the default ANSI code page), 932
// (Japanese Shift-JIS with the NEC and IBM extensions), 437 (the OEM code page that goes
// with 1252) and 65001 (UTF-8). CP_ACP and CP_THREAD_ACP name the active ANSI code page
// (PlatSetAnsiCodePage selects 1252 or 932); CP_OEMCP names 437 with 1252 and 932 with 932.
#pragma once
#include "win32/types.h"
#include "win32/errors.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_SYMBOL 42
#define CP_UTF7 65000
#define CP_UTF8 65001

// MultiByteToWideChar flags. MB_PRECOMPOSED is the default form and changes nothing for
// the supported code pages; MB_COMPOSITE and MB_USEGLYPHCHARS are not supported and are
// refused with ERROR_INVALID_FLAGS.
#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008

// WideCharToMultiByte flags. WC_NO_BEST_FIT_CHARS is supported for the ANSI/OEM code
// pages and WC_ERR_INVALID_CHARS for UTF-8; the composite flags (WC_COMPOSITECHECK,
// WC_DISCARDNS, WC_SEPCHARS, WC_DEFAULTCHAR) are refused with ERROR_INVALID_FLAGS.
#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_COMPOSITECHECK 0x00000200
#define WC_NO_BEST_FIT_CHARS 0x00000400

#define MAX_LEADBYTES 12
#define MAX_DEFAULTCHAR 2

typedef struct _cpinfo {
  UINT MaxCharSize;
  BYTE DefaultChar[MAX_DEFAULTCHAR];
  BYTE LeadByte[MAX_LEADBYTES];
} CPINFO, *LPCPINFO;

KV_BEGIN_DECLS

// Converts cbMultiByte bytes (-1: up to and including the NUL) of lpMultiByteStr to
// UTF-16. With cchWideChar 0 answers the number of UTF-16 units needed. A result longer
// than cchWideChar writes the characters that fit and answers 0 with
// ERROR_INSUFFICIENT_BUFFER. Bad arguments answer 0 with ERROR_INVALID_PARAMETER, an
// unsupported flag with ERROR_INVALID_FLAGS, and an undecodable byte sequence under
// MB_ERR_INVALID_CHARS with ERROR_NO_UNICODE_TRANSLATION.
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);

// Converts cchWideChar UTF-16 units (-1: up to and including the NUL) to the code page.
// Characters without a mapping become lpDefaultChar (NULL: '?') and set
// *lpUsedDefaultChar; best-fit replacements are made unless WC_NO_BEST_FIT_CHARS is
// given. Sizes and errors as MultiByteToWideChar; for UTF-8 lpDefaultChar and
// lpUsedDefaultChar must be NULL.
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);

UINT WINAPI GetACP(void);
UINT WINAPI GetOEMCP(void);
BOOL WINAPI IsValidCodePage(UINT CodePage);
BOOL WINAPI GetCPInfo(UINT CodePage, LPCPINFO lpCPInfo);

// Lead bytes of double-byte characters: 0x81-0x9F and 0xE0-0xFC in 932, none elsewhere.
BOOL WINAPI IsDBCSLeadByte(BYTE TestChar);
BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar);

// Steps over one character of ANSI text (a lead byte and its trail byte count as one).
// CharNextA stops at the terminating NUL; CharPrevA never goes before lpszStart.
LPSTR WINAPI CharNextA(LPCSTR lpsz);
LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent);

KV_END_DECLS
