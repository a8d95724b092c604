// String functions: lstr*, wsprintf, _wtoi / _wtol, case conversion and IsCharAlphaW.
// None of them allocates: they run in the hot paths of the INI code.
#include <limits.h>
#include <string.h>

#include "codepage_tables.h"
#include "internal.h"
#include "strings_tables.h"
#include "win32/strings.h"

namespace {

using plat::str::CasePair;

// ------------------------------------------------------------ character tables

WCHAR MapCase(const CasePair *table, size_t n, WCHAR c)
{
  size_t lo = 0, hi = n;
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (table[mid].from == c) return table[mid].to;
    if (table[mid].from < c)
      lo = mid + 1;
    else
      hi = mid;
  }
  return c;
}

WCHAR ToUpperW(WCHAR c)
{
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 32) : c;
  return MapCase(plat::str::kUpperPairs, plat::str::kUpperPairsCount, c);
}

WCHAR ToLowerW(WCHAR c)
{
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 32) : c;
  return MapCase(plat::str::kLowerPairs, plat::str::kLowerPairsCount, c);
}

bool IsAlpha(WCHAR c)
{
  if (c < 0x80) return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
  const plat::str::CaseRange *r = plat::str::kAlphaRanges;
  size_t lo = 0, hi = plat::str::kAlphaRangesCount;
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (c < r[mid].first)
      hi = mid;
    else if (c > r[mid].last)
      lo = mid + 1;
    else
      return true;
  }
  return false;
}

inline bool IsSingleCharForm(const void *p) { return (reinterpret_cast<uintptr_t>(p) >> 16) == 0; }

// Converts ANSI text in place one character at a time; a character whose converted form
// has no encoding of the same length in the code page is left as it is.
void CaseAnsi(char *s, size_t n, bool upper)
{
  size_t i = 0;
  while (i < n && s[i]) {
    BYTE b = static_cast<BYTE>(s[i]);
    if (b < 0x80) {
      if (upper && b >= 'a' && b <= 'z') s[i] = static_cast<char>(b - 32);
      if (!upper && b >= 'A' && b <= 'Z') s[i] = static_cast<char>(b + 32);
      ++i;
      continue;
    }
    int len;
    WCHAR wc = plat::AnsiDecodeChar(s + i, &len);
    WCHAR mapped = upper ? ToUpperW(wc) : ToLowerW(wc);
    if (mapped != wc) {
      char enc[2];
      if (plat::AnsiEncodeChar(mapped, enc, true) == len) memcpy(s + i, enc, static_cast<size_t>(len));
    }
    i += static_cast<size_t>(len);
  }
}

// ------------------------------------------------------------ comparisons

inline int Sign(int d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

int CompareW(const WCHAR *a, const WCHAR *b, bool fold)
{
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  for (;; ++a, ++b) {
    WCHAR x = *a, y = *b;
    if (fold && x != y) {
      x = plat::FoldUpper(x);
      y = plat::FoldUpper(y);
    }
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}

// ANSI strings compare by the UTF-16 characters they stand for in the active code page,
// so that lstrcmpA agrees with lstrcmpW on the converted strings.
int CompareA(const char *a, const char *b, bool fold)
{
  if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
  for (;;) {
    BYTE ba = static_cast<BYTE>(*a), bb = static_cast<BYTE>(*b);
    WCHAR x, y;
    int la = 1, lb = 1;
    if (ba < 0x80 && bb < 0x80) {
      x = ba;
      y = bb;
    } else {
      x = ba ? plat::AnsiDecodeChar(a, &la) : 0;
      y = bb ? plat::AnsiDecodeChar(b, &lb) : 0;
    }
    if (fold && x != y) {
      x = plat::FoldUpper(x);
      y = plat::FoldUpper(y);
    }
    if (x != y) return Sign(static_cast<int>(x) - static_cast<int>(y));
    if (!x) return 0;
    a += la;
    b += lb;
  }
}

// ------------------------------------------------------------ wsprintf

constexpr int kSprintfMax = 1024;  // characters written at most, the terminator not counted

// Bounded output: stops for good at the first character that does not fit.
template <class T>
struct Out {
  T *buf;
  int n = 0;
  bool full = false;
  void Put(T c)
  {
    if (full || n >= kSprintfMax) {
      full = true;
      return;
    }
    buf[n++] = c;
  }
  void Put2(T a, T b)
  {  // a double-byte character, never split
    if (full || n + 2 > kSprintfMax) {
      full = true;
      return;
    }
    buf[n++] = a;
    buf[n++] = b;
  }
  void Fill(T c, int count)
  {
    for (int i = 0; i < count && !full; ++i) Put(c);
  }
};

struct Spec {
  bool left = false, alt = false, zero = false;
  int width = 0;
  int prec = -1;
  char size = 0;  // 'h', 'l' or 0
};

// Number of source characters of a string argument that the precision lets through, and
// the output units they make.
template <class Src>
int SourceLength(const Src *s, int prec)
{
  int n = 0;
  while (s[n] && (prec < 0 || n < prec)) ++n;
  return n;
}

// Writes a narrow string into wide output (decoding each character in the ANSI code page).
void EmitString(Out<WCHAR> &out, const char *s, int n)
{
  for (int i = 0; i < n;) {
    int len;
    WCHAR wc = plat::AnsiDecodeChar(s + i, &len);
    if (i + len > n) len = n - i;
    out.Put(wc);
    i += len;
  }
}
int OutputLength(Out<WCHAR> *, const char *s, int n)
{
  int units = 0;
  for (int i = 0; i < n; ++units) {
    int len;
    plat::AnsiDecodeChar(s + i, &len);
    i += len;
  }
  return units;
}

// Writes a wide string into narrow output (encoding each character, '?' when unmappable).
void EmitString(Out<char> &out, const WCHAR *s, int n)
{
  for (int i = 0; i < n; ++i) {
    char enc[2];
    int k;
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      ++i;  // a surrogate pair is one unmappable character
      enc[0] = '?';
      k = 1;
    } else {
      k = plat::AnsiEncodeChar(s[i], enc, false);
    }
    if (k == 2)
      out.Put2(enc[0], enc[1]);
    else
      out.Put(enc[0]);
  }
}
int OutputLength(Out<char> *, const WCHAR *s, int n)
{
  int bytes = 0;
  for (int i = 0; i < n; ++i) {
    char enc[2];
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      ++i;
      ++bytes;
    } else {
      bytes += plat::AnsiEncodeChar(s[i], enc, false);
    }
  }
  return bytes;
}

// Same width: copied as is.
template <class T>
void EmitString(Out<T> &out, const T *s, int n)
{
  for (int i = 0; i < n; ++i) out.Put(s[i]);
}
template <class T>
int OutputLength(Out<T> *, const T *s, int n)
{
  return n;
}

template <class T, class Src>
void FormatString(Out<T> &out, const Spec &sp, const Src *s)
{
  static const Src kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
  if (!s) s = kNull;
  int n = SourceLength(s, sp.prec);
  int len = OutputLength(static_cast<Out<T> *>(nullptr), s, n);
  int pad = sp.width > len ? sp.width - len : 0;
  if (!sp.left) out.Fill(sp.zero ? T('0') : T(' '), pad);
  EmitString(out, s, n);
  if (sp.left) out.Fill(T(' '), pad);
}

template <class T>
void FormatNumber(Out<T> &out, const Spec &sp, uint32_t magnitude, bool negative, int base, bool upper)
{
  char digits[16];
  int nd = 0;
  const char *set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  while (magnitude) {
    digits[nd++] = set[magnitude % static_cast<uint32_t>(base)];
    magnitude /= static_cast<uint32_t>(base);
  }
  int prec = sp.prec < 0 ? 1 : (sp.prec > kSprintfMax ? kSprintfMax : sp.prec);
  int zeros = prec > nd ? prec - nd : 0;
  char prefix[2];
  int np = 0;
  if (negative) prefix[np++] = '-';
  if (sp.alt && base == 16) {
    prefix[np++] = '0';
    prefix[np++] = upper ? 'X' : 'x';
  }
  int len = np + zeros + nd;
  int pad = sp.width > len ? sp.width - len : 0;
  bool zeroPad = sp.zero && !sp.left && sp.prec < 0;
  if (!sp.left && !zeroPad) out.Fill(T(' '), pad);
  for (int i = 0; i < np; ++i) out.Put(T(prefix[i]));
  if (zeroPad) out.Fill(T('0'), pad);
  out.Fill(T('0'), zeros);
  while (nd) out.Put(T(digits[--nd]));
  if (sp.left) out.Fill(T(' '), pad);
}

// True when the conversion takes the other string width than T: for wsprintfW %S, %hs
// and %hc/%C are narrow; for wsprintfA %S, %ls and %lc/%C are wide.
template <class T>
bool OtherWidth(char type, char size)
{
  bool upperType = type == 'S' || type == 'C';
  if (sizeof(T) == 2) return size == 'h' || (upperType && size != 'l');
  return size == 'l' || (upperType && size != 'h');
}

template <class T>
int Format(T *buf, const T *fmt, va_list ap)
{
  Out<T> out{buf};
  const T *f = fmt;
  while (*f && !out.full) {
    if (*f != T('%')) {
      out.Put(*f++);
      continue;
    }
    ++f;
    Spec sp;
    for (;; ++f) {
      if (*f == T('-'))
        sp.left = true;
      else if (*f == T('#'))
        sp.alt = true;
      else if (*f == T('0'))
        sp.zero = true;
      else
        break;
    }
    for (; *f >= T('0') && *f <= T('9'); ++f)
      if (sp.width <= kSprintfMax) sp.width = sp.width * 10 + (*f - T('0'));
    if (*f == T('.')) {
      ++f;
      sp.prec = 0;
      for (; *f >= T('0') && *f <= T('9'); ++f)
        if (sp.prec <= kSprintfMax) sp.prec = sp.prec * 10 + (*f - T('0'));
    }
    if (*f == T('h') || *f == T('l')) sp.size = static_cast<char>(*f++);
    if (!*f) break;
    T type = *f++;
    switch (type) {
      case T('d'):
      case T('i'): {
        int32_t v = va_arg(ap, int32_t);
        if (sp.size == 'h') v = static_cast<int16_t>(v);
        uint32_t mag = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
        FormatNumber(out, sp, mag, v < 0, 10, false);
        break;
      }
      case T('u'):
      case T('x'):
      case T('X'): {
        uint32_t v = va_arg(ap, uint32_t);
        if (sp.size == 'h') v = static_cast<uint16_t>(v);
        FormatNumber(out, sp, v, false, type == T('u') ? 10 : 16, type == T('X'));
        break;
      }
      case T('p'): {
        Spec ps = sp;
        if (ps.prec < 0) ps.prec = 8;
        FormatNumber(out, ps, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(va_arg(ap, void *))), false, 16, true);
        break;
      }
      case T('c'):
      case T('C'): {
        int v = va_arg(ap, int);
        bool other = OtherWidth<T>(static_cast<char>(type), sp.size);
        bool narrowSource = (sizeof(T) == 1) != other;
        if (narrowSource) {
          const char narrow[2] = {static_cast<char>(v), 0};
          if (!narrow[0])
            out.Put(0);  // a NUL character is written as such
          else
            FormatString(out, sp, narrow);
        } else {
          const WCHAR wide[2] = {static_cast<WCHAR>(v), 0};
          if (!wide[0])
            out.Put(0);
          else
            FormatString(out, sp, wide);
        }
        break;
      }
      case T('s'):
      case T('S'): {
        if (OtherWidth<T>(static_cast<char>(type), sp.size)) {
          if constexpr (sizeof(T) == 2)
            FormatString(out, sp, va_arg(ap, const char *));
          else
            FormatString(out, sp, va_arg(ap, const WCHAR *));
        } else {
          FormatString(out, sp, va_arg(ap, const T *));
        }
        break;
      }
      default: out.Put(type); break;  // "%%" and unknown conversions
    }
  }
  buf[out.n] = 0;
  return out.n;
}

// ------------------------------------------------------------ numbers

long ParseLong(const WCHAR *s)
{
  if (!s) return 0;
  while (*s == u' ' || (*s >= 0x09 && *s <= 0x0D)) ++s;
  bool negative = false;
  if (*s == u'-' || *s == u'+') negative = *s++ == u'-';
  const uint32_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
  uint32_t v = 0;
  bool overflow = false;
  for (; *s >= u'0' && *s <= u'9'; ++s) {
    uint32_t d = static_cast<uint32_t>(*s - u'0');
    if (overflow || v > (limit - d) / 10) {
      overflow = true;
      continue;
    }
    v = v * 10 + d;
  }
  if (overflow) return negative ? LONG_MIN : LONG_MAX;
  if (negative) return v == 0x80000000u ? LONG_MIN : -static_cast<long>(v);
  return static_cast<long>(v);
}

}  // namespace

// ------------------------------------------------------------ lstr*

int WINAPI lstrlenW(LPCWSTR lpString) { return static_cast<int>(plat::WLen(lpString)); }

int WINAPI lstrlenA(LPCSTR lpString) { return lpString ? static_cast<int>(strlen(lpString)) : 0; }

LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2)
{
  if (!lpString1 || !lpString2) return nullptr;
  WCHAR *d = lpString1;
  while ((*d++ = *lpString2++) != 0) {}
  return lpString1;
}

LPSTR WINAPI lstrcpyA(LPSTR lpString1, LPCSTR lpString2)
{
  if (!lpString1 || !lpString2) return nullptr;
  return strcpy(lpString1, lpString2);
}

LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength)
{
  if (!lpString1 || !lpString2 || iMaxLength < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (iMaxLength == 0) return lpString1;
  int i = 0;
  for (; i < iMaxLength - 1 && lpString2[i]; ++i) lpString1[i] = lpString2[i];
  lpString1[i] = 0;
  return lpString1;
}

// A byte copy, as Windows: a limit that falls inside a double-byte character cuts it.
LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength)
{
  if (!lpString1 || !lpString2 || iMaxLength < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (iMaxLength == 0) return lpString1;
  int i = 0;
  for (; i < iMaxLength - 1 && lpString2[i]; ++i) lpString1[i] = lpString2[i];
  lpString1[i] = 0;
  return lpString1;
}

LPWSTR WINAPI lstrcatW(LPWSTR lpString1, LPCWSTR lpString2)
{
  if (!lpString1 || !lpString2) return nullptr;
  lstrcpyW(lpString1 + plat::WLen(lpString1), lpString2);
  return lpString1;
}

LPSTR WINAPI lstrcatA(LPSTR lpString1, LPCSTR lpString2)
{
  if (!lpString1 || !lpString2) return nullptr;
  return strcat(lpString1, lpString2);
}

int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2) { return CompareW(lpString1, lpString2, false); }

int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2) { return CompareW(lpString1, lpString2, true); }

int WINAPI lstrcmpA(LPCSTR lpString1, LPCSTR lpString2) { return CompareA(lpString1, lpString2, false); }

int WINAPI lstrcmpiA(LPCSTR lpString1, LPCSTR lpString2) { return CompareA(lpString1, lpString2, true); }

// ------------------------------------------------------------ wsprintf

int WINAPI wvsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, va_list arglist)
{
  if (!lpOut) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!lpFmt) {
    lpOut[0] = 0;
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Format<WCHAR>(lpOut, lpFmt, arglist);
}

int WINAPIV wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...)
{
  va_list ap;
  va_start(ap, lpFmt);
  int n = wvsprintfW(lpOut, lpFmt, ap);
  va_end(ap);
  return n;
}

int WINAPI wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist)
{
  if (!lpOut) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!lpFmt) {
    lpOut[0] = 0;
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Format<char>(lpOut, lpFmt, arglist);
}

int WINAPIV wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...)
{
  va_list ap;
  va_start(ap, lpFmt);
  int n = wvsprintfA(lpOut, lpFmt, ap);
  va_end(ap);
  return n;
}

// ------------------------------------------------------------ numbers

long _wtol(const WCHAR *str) { return ParseLong(str); }

int _wtoi(const WCHAR *str) { return static_cast<int>(ParseLong(str)); }

// ------------------------------------------------------------ case and class

LPWSTR WINAPI CharUpperW(LPWSTR lpsz)
{
  if (IsSingleCharForm(lpsz))
    return reinterpret_cast<LPWSTR>(
        static_cast<uintptr_t>(ToUpperW(static_cast<WCHAR>(reinterpret_cast<uintptr_t>(lpsz)))));
  for (WCHAR *p = lpsz; *p; ++p) *p = ToUpperW(*p);
  return lpsz;
}

LPWSTR WINAPI CharLowerW(LPWSTR lpsz)
{
  if (IsSingleCharForm(lpsz))
    return reinterpret_cast<LPWSTR>(
        static_cast<uintptr_t>(ToLowerW(static_cast<WCHAR>(reinterpret_cast<uintptr_t>(lpsz)))));
  for (WCHAR *p = lpsz; *p; ++p) *p = ToLowerW(*p);
  return lpsz;
}

DWORD WINAPI CharUpperBuffW(LPWSTR lpsz, DWORD cchLength)
{
  if (!lpsz) return 0;
  for (DWORD i = 0; i < cchLength; ++i) lpsz[i] = ToUpperW(lpsz[i]);
  return cchLength;
}

DWORD WINAPI CharLowerBuffW(LPWSTR lpsz, DWORD cchLength)
{
  if (!lpsz) return 0;
  for (DWORD i = 0; i < cchLength; ++i) lpsz[i] = ToLowerW(lpsz[i]);
  return cchLength;
}

// The single-character form takes the low byte as a character of the code page.
static LPSTR CaseA(LPSTR lpsz, bool upper)
{
  if (IsSingleCharForm(lpsz)) {
    char c[2] = {static_cast<char>(reinterpret_cast<uintptr_t>(lpsz) & 0xFF), 0};
    if (!IsDBCSLeadByte(static_cast<BYTE>(c[0]))) CaseAnsi(c, 1, upper);
    return reinterpret_cast<LPSTR>(static_cast<uintptr_t>(static_cast<BYTE>(c[0])));
  }
  CaseAnsi(lpsz, strlen(lpsz), upper);
  return lpsz;
}

LPSTR WINAPI CharUpperA(LPSTR lpsz) { return CaseA(lpsz, true); }

LPSTR WINAPI CharLowerA(LPSTR lpsz) { return CaseA(lpsz, false); }

BOOL WINAPI IsCharAlphaW(WCHAR ch) { return IsAlpha(ch) ? TRUE : FALSE; }
