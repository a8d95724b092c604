// Resources of modules: typed, named data blocks and string tables, looked up the way
// Win32 does (type, name, language). A module's resources come from the table its
// stand-in library exports (see kvplat/module_control.h).
#pragma once
#include "win32/types.h"

// Predefined resource types.
#ifndef RT_CURSOR
#define RT_CURSOR MAKEINTRESOURCEW(1)
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_ICON MAKEINTRESOURCEW(3)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_FONTDIR MAKEINTRESOURCEW(7)
#define RT_FONT MAKEINTRESOURCEW(8)
#define RT_ACCELERATOR MAKEINTRESOURCEW(9)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_MESSAGETABLE MAKEINTRESOURCEW(11)
#define RT_GROUP_CURSOR MAKEINTRESOURCEW(12)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)
#define RT_VERSION MAKEINTRESOURCEW(16)
#endif

#ifndef LANG_NEUTRAL
#define LANG_NEUTRAL 0x00
#endif
#ifndef LANG_ENGLISH
#define LANG_ENGLISH 0x09
#endif
#ifndef SUBLANG_NEUTRAL
#define SUBLANG_NEUTRAL 0x00
#endif
#ifndef SUBLANG_DEFAULT
#define SUBLANG_DEFAULT 0x01
#endif
#ifndef SUBLANG_SYS_DEFAULT
#define SUBLANG_SYS_DEFAULT 0x02
#endif
#ifndef SUBLANG_ENGLISH_US
#define SUBLANG_ENGLISH_US 0x01
#endif

#ifndef ERROR_RESOURCE_ENUM_USER_STOP
#define ERROR_RESOURCE_ENUM_USER_STOP 15106L
#endif

KV_BEGIN_DECLS

typedef BOOL(CALLBACK *ENUMRESNAMEPROCW)(HMODULE hModule, LPCWSTR lpType, LPWSTR lpName, LONG_PTR lParam);

// Finds a resource (NULL hModule = the main program). Types and names are numbers
// (MAKEINTRESOURCEW), "#123" strings, or names compared case-insensitively.
// FindResourceW prefers the neutral language, then US English, then any.
// Errors: ERROR_RESOURCE_DATA_NOT_FOUND (no resources), ERROR_RESOURCE_TYPE_NOT_FOUND,
// ERROR_RESOURCE_NAME_NOT_FOUND, ERROR_RESOURCE_LANG_NOT_FOUND.
HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
// The given language, then its neutral sub-language, then the neutral language;
// language 0 behaves as FindResourceW.
HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage);
// The data of a found resource; it stays valid while the module is loaded.
HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
LPVOID WINAPI LockResource(HGLOBAL hResData);
DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);
// Resources need no freeing: always FALSE, as on Win32.
BOOL WINAPI FreeResource(HGLOBAL hResData);
// Calls lpEnumFunc for each name of a type (once per name, named ones first);
// FALSE with ERROR_RESOURCE_ENUM_USER_STOP when the callback stops early.
BOOL WINAPI EnumResourceNamesW(HMODULE hModule, LPCWSTR lpType, ENUMRESNAMEPROCW lpEnumFunc, LONG_PTR lParam);

// String tables: string uID lies in RT_STRING block (uID >> 4) + 1. Copies at most
// cchBufferMax - 1 characters and a terminator and answers the characters copied; 0
// when the string is missing or empty. With cchBufferMax 0, lpBuffer receives a
// read-only pointer to the string inside the module (not terminated) and the answer
// is its length.
int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);
// The same string in the active ANSI code page, cut on a character boundary to at
// most cchBufferMax - 1 bytes; answers the bytes copied.
int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);

KV_END_DECLS
