// Initialization files: the private-profile functions (GetPrivateProfileString and
// family) and the win.ini profile functions, with the Win32 answers callers rely on.
//
// Behaviour in brief (the tests pin each point):
// - A file name without a folder is looked up in the Windows folder; NULL names win.ini.
// - Files are text in the active ANSI code page, or UTF-16LE when they start with the
//   FF FE byte-order mark (then written back as UTF-16LE). CRLF and LF-only lines are read;
//   new lines are written with CRLF; lines a write does not touch keep their bytes.
// - Section and key names match case-insensitively; blanks around the names passed in
//   are ignored. Lines starting with ';' are comments. Lines before the first section and
//   lines without '=' are not keys.
// - Values lose blanks around them and one pair of matching enclosing quotes.
// - Truncation: a value answers nSize - 1, a list (sections, keys, section lines)
//   nSize - 2 with two terminating NULs; GetLastError is ERROR_MORE_DATA.
// - Writes rewrite the whole file atomically (temporary file, then rename); a failure
//   leaves the old file as it was.
#pragma once
#include "win32/types.h"

KV_BEGIN_DECLS

DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault, LPWSTR lpReturnedString,
                                      DWORD nSize, LPCWSTR lpFileName);
UINT WINAPI GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName);
DWORD WINAPI GetPrivateProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName);
DWORD WINAPI GetPrivateProfileSectionNamesW(LPWSTR lpszReturnBuffer, DWORD nSize, LPCWSTR lpFileName);
BOOL WINAPI WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString, LPCWSTR lpFileName);
BOOL WINAPI WritePrivateProfileSectionW(LPCWSTR lpAppName, LPCWSTR lpString, LPCWSTR lpFileName);

// ANSI forms: names and text in the active code page; sizes and answers in bytes.
DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                      DWORD nSize, LPCSTR lpFileName);
UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName);
DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName);
DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName);
BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName);
BOOL WINAPI WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName);

// win.ini in the Windows folder.
DWORD WINAPI GetProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault, LPWSTR lpReturnedString,
                               DWORD nSize);
UINT WINAPI GetProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault);
DWORD WINAPI GetProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString, DWORD nSize);
BOOL WINAPI WriteProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString);
BOOL WINAPI WriteProfileSectionW(LPCWSTR lpAppName, LPCWSTR lpString);

KV_END_DECLS
