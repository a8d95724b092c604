// Graphics engine: the services around drawing that a driver calls (its resources,
// the code pages, ANSI text from UTF-16, the local time).
#include "eng_internal.h"

PVOID APIENTRY EngFindResource(HANDLE h, int iName, int iType, PULONG pulSize)
{
  if (pulSize) *pulSize = 0;
  if (!pulSize || iName <= 0 || iName > 0xFFFF || iType <= 0 || iType > 0xFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  HMODULE module = static_cast<HMODULE>(h);
  HRSRC r = FindResourceW(module, MAKEINTRESOURCEW(iName), MAKEINTRESOURCEW(iType));
  HGLOBAL g = r ? LoadResource(module, r) : NULL;
  PVOID data = g ? LockResource(g) : NULL;
  if (!data) return NULL;
  *pulSize = SizeofResource(module, r);
  return data;
}

VOID APIENTRY EngGetCurrentCodePage(PUSHORT OemCodePage, PUSHORT AnsiCodePage)
{
  if (OemCodePage) *OemCodePage = static_cast<USHORT>(GetOEMCP());
  if (AnsiCodePage) *AnsiCodePage = static_cast<USHORT>(GetACP());
}

// Converts character by character so that a double-byte character that does not fit
// is left out whole; no terminator is added.
VOID APIENTRY EngUnicodeToMultiByteN(LPSTR MultiByteString, ULONG MaxBytesInMultiByteString,
                                     PULONG BytesInMultiByteString, PWSTR UnicodeString, ULONG BytesInUnicodeString)
{
  ULONG written = 0;
  ULONG units = UnicodeString ? BytesInUnicodeString / sizeof(WCHAR) : 0;
  for (ULONG i = 0; MultiByteString && i < units;) {
    int n = 1;
    WCHAR c = UnicodeString[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && UnicodeString[i + 1] >= 0xDC00 && UnicodeString[i + 1] <= 0xDFFF)
      n = 2;
    char bytes[8];
    int len = WideCharToMultiByte(CP_ACP, 0, UnicodeString + i, n, bytes, sizeof bytes, NULL, NULL);
    if (len <= 0 || static_cast<ULONG>(len) > MaxBytesInMultiByteString - written) break;
    for (int k = 0; k < len; ++k) MultiByteString[written++] = bytes[k];
    i += static_cast<ULONG>(n);
  }
  if (BytesInMultiByteString) *BytesInMultiByteString = written;
}

VOID APIENTRY EngQueryLocalTime(PENG_TIME_FIELDS ptf)
{
  if (!ptf) return;
  SYSTEMTIME st;
  GetLocalTime(&st);
  ptf->usYear = st.wYear;
  ptf->usMonth = st.wMonth;
  ptf->usDay = st.wDay;
  ptf->usHour = st.wHour;
  ptf->usMinute = st.wMinute;
  ptf->usSecond = st.wSecond;
  ptf->usMilliseconds = st.wMilliseconds;
  ptf->usWeekday = st.wDayOfWeek;
}
