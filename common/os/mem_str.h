// Memory, clock, printer-name and code-page helpers shared by the whole library.
#pragma once
#include "win32.h"

KV_BEGIN_DECLS

// A zero-filled block of bytes from GlobalAlloc, or NULL when memory runs out; the caller
// frees it with MemFree.
void *WINAPI MemAllocZeroed(DWORD bytes);
// Frees a block of MemAllocZeroed or any GlobalAlloc block; NULL is ignored.
void WINAPI MemFree(void *p);
// A new copy of the printer's name (PRINTER_INFO_2 pPrinterName), or NULL when the printer
// cannot be read, has no name or memory runs out; the caller frees it with MemFree.
WCHAR *WINAPI OsDupPrinterName(HANDLE printer);
// Milliseconds since the system started (GetTickCount); never fails.
DWORD WINAPI OsGetTickCount(void);
// dst := src converted from the active code page, at most cchDst characters (cchDst <= 0:
// as many as src has) and always terminated; answers dst, untouched when dst or src is NULL.
WCHAR *WINAPI StrAnsiToWide(WCHAR *dst, const char *src, int cchDst);
// dst := src converted to the active code page in a cleared field of cbDst bytes (cbDst <= 0:
// one byte per character of src and its terminator): the characters that fit whole, without
// the terminator, so that a text that fills the field keeps none. A successful conversion
// leaves the last error alone. Answers dst, untouched when dst or src is NULL.
char *WINAPI StrWideToAnsi(char *dst, const WCHAR *src, int cbDst);
// TRUE when a and b hold the same characters (exact and case-sensitive, unlike lstrcmp);
// FALSE when either is NULL.
BOOL WINAPI StrSameW(const WCHAR *a, const WCHAR *b);
BOOL WINAPI StrSameA(const char *a, const char *b);
// dst := src, terminator included, when it fits cch characters whole; otherwise FALSE and
// dst unchanged (also for a NULL argument or cch <= 0).
BOOL WINAPI StrCopyWholeW(WCHAR *dst, int cch, const WCHAR *src);

KV_END_DECLS
