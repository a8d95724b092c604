// String functions: the lstr* family, wsprintf, _wtoi / _wtol, and character case and
// class functions, in their UTF-16 (W) and ANSI (A) forms.
//
// ANSI text is in the active ANSI code page (see win32/codepage.h); a double-byte
// character of 932 counts as one character where Windows counts characters.
#pragma once
#include "win32/types.h"
#include "win32/errors.h"

KV_BEGIN_DECLS

// Length in characters (bytes for the A form); 0 for NULL.
int WINAPI lstrlenW(LPCWSTR lpString);
int WINAPI lstrlenA(LPCSTR lpString);

// Copies with the terminator; NULL when either pointer is NULL.
LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2);
LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2);

// Copies at most iMaxLength - 1 characters and always terminates (iMaxLength >= 1).
// iMaxLength 0 writes nothing; a negative length writes nothing and answers NULL with
// ERROR_INVALID_PARAMETER (Windows would take it as unlimited). The A form counts bytes,
// as in Windows: a limit inside a double-byte character cuts it.
LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength);
LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength);

LPWSTR WINAPI lstrcatW(LPWSTR lpString1, LPCWSTR lpString2);
LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2);

// Comparisons answer <0, 0 or >0 (-1, 0, 1); NULL sorts before every string, two NULLs
// are equal. Windows compares linguistically (word sort); this layer compares UTF-16
// code units, and the i forms compare after case folding (upper case), which gives the
// same equality as Windows for the names the driver compares.
int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2);
int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);
int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2);
int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2);

// Formatted output into a buffer of at least 1025 characters: at most 1024 characters
// are written, then the terminator; answers the number written without the terminator.
// Conversions: %d %i %u %x %X %c %C %s %S %p %% with the h and l size prefixes (hs/hc
// the ANSI form, ls/lc the UTF-16 form, S/C the other form than the function's), the
// flags '-', '0', '#' (0x / 0X before hexadecimal), a width and a precision (characters
// of a string, minimum digits of a number). A NULL string prints "(null)". An unknown
// conversion character is written as it is. No floating point, no '*'.
int WINAPIV wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...);
int WINAPI wvsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, va_list arglist);
int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...);
int WINAPI wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist);

// Decimal conversion as the C runtime's: leading blanks (space, tab, CR, LF, VT, FF)
// skipped, an optional sign, digits up to the first non-digit. A value out of range
// answers LONG_MAX or LONG_MIN (_wtoi too: int and long are the same size). NULL
// answers 0.
int _wtoi(const WCHAR *str);
long _wtol(const WCHAR *str);

// Case conversion in place. When the high word of the pointer is zero, its low word is a
// single character and the converted character is answered in the same form.
LPWSTR WINAPI CharUpperW(LPWSTR lpsz);
LPWSTR WINAPI CharLowerW(LPWSTR lpsz);
LPSTR WINAPI CharUpperA(LPSTR lpsz);
LPSTR WINAPI CharLowerA(LPSTR lpsz);
// Converts exactly cchLength characters (NULs included); answers the count processed.
DWORD WINAPI CharUpperBuffW(LPWSTR lpsz, DWORD cchLength);
DWORD WINAPI CharLowerBuffW(LPWSTR lpsz, DWORD cchLength);

// TRUE for letters (Unicode letter categories).
BOOL WINAPI IsCharAlphaW(WCHAR ch);

KV_END_DECLS
