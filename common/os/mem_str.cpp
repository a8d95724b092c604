// Memory, clock, printer-name and code-page helpers shared by the whole library.
#include "os/mem_str.h"

// Zero-filled memory from GlobalAlloc; cleared once more so a recycled block never leaks
// stale bytes into a context.
void *WINAPI MemAllocZeroed(DWORD bytes)
{
  // GMEM_ZEROINIT hands the block back already zeroed.
  return GlobalAlloc(GMEM_ZEROINIT, bytes);
}

void WINAPI MemFree(void *p)
{
  if (p != NULL) GlobalFree((HGLOBAL)p);
}

DWORD WINAPI OsGetTickCount(void) { return GetTickCount(); }

// A new copy of the printer's name (PRINTER_INFO_2 pPrinterName), or NULL. The size query
// must fail with ERROR_INSUFFICIENT_BUFFER and name a size before the real read.
WCHAR *WINAPI OsDupPrinterName(HANDLE printer)
{
  DWORD needed = 0;
  if (GetPrinterW(printer, 2, NULL, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0)
    return NULL;
  BYTE *info = (BYTE *)MemAllocZeroed(needed);
  if (info == NULL) return NULL;
  WCHAR *copy = NULL;
  DWORD got = 0;
  if (GetPrinterW(printer, 2, info, needed, &got)) {
    const WCHAR *name = ((PRINTER_INFO_2W *)info)->pPrinterName;
    if (name != NULL) {
      int len = lstrlenW(name);
      copy = (WCHAR *)MemAllocZeroed((DWORD)(len + 1) * sizeof(WCHAR));
      if (copy != NULL) {
        for (int i = 0; i < len; ++i) copy[i] = name[i];
      }
    }
  }
  MemFree(info);
  return copy;
}

// ANSI (active code page) to UTF-16, at most cchDst characters, always terminated.
WCHAR *WINAPI StrAnsiToWide(WCHAR *dst, const char *src, int cchDst)
{
  if (dst == NULL || src == NULL) return dst;
  int srcLen = lstrlenA(src) + 1;
  if (cchDst <= 0) cchDst = srcLen;
  MultiByteToWideChar(CP_ACP, 0, src, srcLen, dst, cchDst);
  dst[cchDst - 1] = 0;
  return dst;
}

// UTF-16 to ANSI into a cleared field of cbDst bytes. A text that fills the field keeps no
// terminator: the fixed-width text fields of the DEVMODE are written this way.
char *WINAPI StrWideToAnsi(char *dst, const WCHAR *src, int cbDst)
{
  if (dst == NULL || src == NULL) return dst;
  int srcLen = lstrlenW(src) + 1;
  if (cbDst <= 0) cbDst = srcLen;
  for (int i = 0; i < cbDst; ++i) dst[i] = 0;
  int n = WideCharToMultiByte(CP_ACP, 0, src, srcLen, dst, cbDst, NULL, NULL);
  (void)n;
  return dst;
}

BOOL WINAPI StrSameW(const WCHAR *a, const WCHAR *b)
{
  if (a == NULL || b == NULL) return FALSE;
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

BOOL WINAPI StrSameA(const char *a, const char *b)
{
  if (a == NULL || b == NULL) return FALSE;
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

BOOL WINAPI StrCopyWholeW(WCHAR *dst, int cch, const WCHAR *src)
{
  if (dst == NULL || src == NULL || cch <= 0) return FALSE;
  int n = lstrlenW(src);
  if (n >= cch) return FALSE;
  for (int i = 0; i <= n; ++i) dst[i] = src[i];
  return TRUE;
}
