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

// The number of leading UTF-16 units of src (of len units) whose conversion fits in cb bytes.
// The converted size grows with the units taken, so the largest count is found by halving;
// a double-byte character that would not fit is left out whole, and so is a surrogate pair.
static int UnitsThatFit(const WCHAR *src, int len, int cb)
{
  if (len <= 0) return 0;
  if (WideCharToMultiByte(CP_ACP, 0, src, len, NULL, 0, NULL, NULL) <= cb) return len;  // the usual case
  int fits = 0, over = len;  // fits: known to fit; over: known not to
  while (over - fits > 1) {
    int mid = fits + (over - fits) / 2;
    if (WideCharToMultiByte(CP_ACP, 0, src, mid, NULL, 0, NULL, NULL) <= cb)
      fits = mid;
    else
      over = mid;
  }
  if (fits > 0 && fits < len && src[fits - 1] >= 0xD800 && src[fits - 1] <= 0xDBFF) --fits;
  return fits;
}

// UTF-16 to ANSI into a cleared field of cbDst bytes. The text's characters are converted
// without its terminator, as many as fit whole; the cleared field terminates a shorter text,
// and a text that fills the field keeps no terminator: the fixed-width text fields of the
// DEVMODE are written this way.
char *WINAPI StrWideToAnsi(char *dst, const WCHAR *src, int cbDst)
{
  if (dst == NULL || src == NULL) return dst;
  int len = lstrlenW(src);
  if (cbDst <= 0) cbDst = len + 1;
  for (int i = 0; i < cbDst; ++i) dst[i] = 0;
  int count = UnitsThatFit(src, len, cbDst);
  if (count > 0) WideCharToMultiByte(CP_ACP, 0, src, count, dst, cbDst, NULL, NULL);
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
