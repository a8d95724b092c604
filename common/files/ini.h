// Private-profile (INI) wrappers of the settings core. Section names pass through
// IniSanitizeSectionName first: '[' and ']' cannot appear in a section header, so each
// becomes ','. Names longer than KV_INI_SECTION_MAX characters are refused (the reads
// answer their default, the writes 0) instead of being cut.
#pragma once
#include "win32.h"

#define KV_INI_SECTION_MAX 260

KV_BEGIN_DECLS

// Replaces every '[' and ']' of name in place by ','; answers name (NULL for NULL).
LPWSTR WINAPI IniSanitizeSectionName(LPWSTR name);
// GetPrivateProfileIntW on the sanitized section; defaultValue for a refused section name.
UINT WINAPI IniGetInt(LPCWSTR section, LPCWSTR key, INT defaultValue, LPCWSTR file);
// GetPrivateProfileStringW on the sanitized section into out (capacity characters);
// answers the characters written. A refused section name gives defaultValue, cut to fit.
DWORD WINAPI IniGetString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR out, DWORD capacity, LPCWSTR file);
// Writes (NULL key deletes the section, NULL value the key), then flushes the profile
// cache of the file so other processes see the change at once.
BOOL WINAPI IniWriteString(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);
// IniWriteString keeping the file's last-write time (a missing file is created first).
BOOL WINAPI IniWriteKeepTime(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);

KV_END_DECLS
