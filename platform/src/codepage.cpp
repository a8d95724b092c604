// Code pages: MultiByteToWideChar / WideCharToMultiByte for 1252, 437, 932 and UTF-8,
// the active ANSI code page, DBCS lead bytes and CharNextA / CharPrevA.
//
// The byte -> UTF-16 tables are generated (codepage_tables.cpp); the UTF-16 -> 932 table
// is built from them once, on first use, with the choice Windows makes among duplicate
// codes: a JIS X 0208 code first, then NEC row 13 (lead 0x87), then the IBM extension
// (0xFA-0xFC), and the NEC-selected IBM extension (0xED-0xEE) last.
#include <string.h>

#include <atomic>

#include "codepage_tables.h"
#include "internal.h"
#include "win32/codepage.h"

namespace {

using namespace plat::cp;

constexpr WCHAR kCp932UnicodeDefault = 0x30FB;  // KATAKANA MIDDLE DOT: 932's "undecodable" character
constexpr WCHAR kUtf8Replacement = 0xFFFD;
constexpr int kAnsiDefault = '?';  // the default character of 1252, 437 and 932

std::atomic<UINT> g_acp{1252};

void ResetAcp() { g_acp.store(1252); }

struct ResetRegistrar {
  ResetRegistrar() { plat::RegisterReset(ResetAcp); }
} g_registrar;

// Resolves CP_ACP / CP_OEMCP / CP_THREAD_ACP; answers 0 for a code page the layer lacks.
UINT Resolve(UINT cp)
{
  switch (cp) {
    case CP_ACP:
    case CP_THREAD_ACP: return g_acp.load(std::memory_order_relaxed);
    case CP_OEMCP: return g_acp.load(std::memory_order_relaxed) == 932 ? 932 : 437;
    case 437:
    case 932:
    case 1252:
    case CP_UTF8: return cp;
    default: return 0;
  }
}

inline bool IsLead932(BYTE b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

inline int LeadRow932(BYTE b) { return b <= 0x9F ? b - 0x81 : b - 0xE0 + 31; }

// Decodes a 932 double-byte code; 0 when undefined.
inline WCHAR Decode932Pair(BYTE lead, BYTE trail)
{
  if (trail < 0x40 || trail > 0xFC) return 0;
  return kCp932Dbcs[LeadRow932(lead)][trail - 0x40];
}

// ------------------------------------------------------------ UTF-16 -> 932 table

struct Cp932Encoder {
  uint16_t map[65536];  // 0: no mapping (U+0000 itself is handled by the caller)
  Cp932Encoder()
  {
    memset(map, 0, sizeof(map));
    for (int b = 1; b < 0x80; ++b) map[b] = static_cast<uint16_t>(b);
    for (int b = 0x80; b < 0x100; ++b)
      if (kCp932High[b - 0x80]) map[kCp932High[b - 0x80]] = static_cast<uint16_t>(b);
    // Rank 0: JIS X 0208 rows and the user-defined area; 1: NEC row 13; 2: IBM
    // extension; 3: NEC-selected IBM extension. The first code of the best rank wins.
    for (int rank = 0; rank < 4; ++rank) {
      for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLead932(static_cast<BYTE>(lead)) || LeadRank(lead) != rank) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
          WCHAR wc = Decode932Pair(static_cast<BYTE>(lead), static_cast<BYTE>(trail));
          if (wc && !map[wc]) map[wc] = static_cast<uint16_t>((lead << 8) | trail);
        }
      }
    }
    for (size_t i = 0; i < kCp932BestFitCount; ++i)
      if (!map[kCp932BestFit[i].wc]) map[kCp932BestFit[i].wc] = kCp932BestFit[i].mb;
  }
  static int LeadRank(int lead)
  {
    if (lead == 0x87) return 1;
    if (lead >= 0xFA) return 2;
    if (lead == 0xED || lead == 0xEE) return 3;
    return 0;
  }
};

const Cp932Encoder &Encoder932()
{
  static const Cp932Encoder *enc = new Cp932Encoder();  // built once, never freed
  return *enc;
}

// ------------------------------------------------------------ single-byte encoders

const uint16_t *HighTable(UINT cp) { return cp == 437 ? kCp437High : kCp1252High; }

// Round-trip encoding of a single-byte code page; -1 when the code page lacks wc.
int EncodeSingleExact(UINT cp, WCHAR wc)
{
  if (wc < 0x80) return wc;
  const uint16_t *high = HighTable(cp);
  if (cp == 1252 && wc >= 0xA0 && wc <= 0xFF) return wc;
  for (int i = 0; i < 128; ++i)
    if (high[i] == wc) return 0x80 + i;
  return -1;
}

int FindBestFit(const BestFit *table, size_t n, WCHAR wc)
{
  size_t lo = 0, hi = n;
  while (lo < hi) {
    size_t mid = (lo + hi) / 2;
    if (table[mid].wc == wc) return table[mid].mb;
    if (table[mid].wc < wc)
      lo = mid + 1;
    else
      hi = mid;
  }
  return -1;
}

// ------------------------------------------------------------ output sinks

// Collects output units, counting past the end of the buffer to size a query.
template <class T>
struct Sink {
  T *buf;
  int cap;  // 0: size query
  int n = 0;
  bool overflow = false;
  // Appends a whole character of k units, or nothing when it does not fit.
  void Put(const T *units, int k)
  {
    if (cap == 0) {
      if (n > 0x7FFFFFFF - k) overflow = true;  // a size that an int cannot answer
      if (!overflow) n += k;
      return;
    }
    if (overflow || n + k > cap) {
      overflow = true;
      return;
    }
    for (int i = 0; i < k; ++i) buf[n + i] = units[i];
    n += k;
  }
  void Put1(T u) { Put(&u, 1); }
};

// Answers the final count, or 0 with the last error when the buffer was short or a
// count overflowed.
template <class T>
int Finish(Sink<T> &s)
{
  if (s.overflow) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  return s.n;
}

// ------------------------------------------------------------ decoding

// Decodes UTF-8, replacing each maximal ill-formed subsequence with U+FFFD. Answers
// false on the first ill-formed sequence when strict.
bool DecodeUtf8(const BYTE *s, int len, bool strict, Sink<WCHAR> &out)
{
  int i = 0;
  while (i < len) {
    BYTE b = s[i];
    if (b < 0x80) {
      out.Put1(b);
      ++i;
      continue;
    }
    int need;
    uint32_t c;
    BYTE lo = 0x80, hi = 0xBF;  // allowed range of the first continuation byte
    if (b >= 0xC2 && b <= 0xDF) {
      need = 1;
      c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      need = 2;
      c = b & 0x0F;
      if (b == 0xE0) lo = 0xA0;  // no overlong forms
      if (b == 0xED) hi = 0x9F;  // no encoded surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      need = 3;
      c = b & 0x07;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      if (strict) return false;
      out.Put1(kUtf8Replacement);
      ++i;
      continue;
    }
    int k = 1;
    bool ok = true;
    for (; k <= need; ++k) {
      if (i + k >= len) {
        ok = false;
        break;
      }
      BYTE t = s[i + k];
      BYTE tlo = k == 1 ? lo : 0x80, thi = k == 1 ? hi : 0xBF;
      if (t < tlo || t > thi) {
        ok = false;
        break;
      }
      c = (c << 6) | (t & 0x3F);
    }
    if (!ok) {
      if (strict) return false;
      out.Put1(kUtf8Replacement);  // the lead and the valid continuations so far
      i += k;
      continue;
    }
    i += need + 1;
    if (c >= 0x10000) {
      c -= 0x10000;
      WCHAR pair[2] = {static_cast<WCHAR>(0xD800 + (c >> 10)), static_cast<WCHAR>(0xDC00 + (c & 0x3FF))};
      out.Put(pair, 2);
    } else {
      out.Put1(static_cast<WCHAR>(c));
    }
  }
  return true;
}

// Decodes 932. A lead byte and the byte after it form one character; an undefined pair
// gives U+30FB (932's default Unicode character). A lead byte at the end of the input
// or before a NUL also gives U+30FB, and the NUL stays a character of its own.
bool Decode932(const BYTE *s, int len, bool strict, Sink<WCHAR> &out)
{
  int i = 0;
  while (i < len) {
    BYTE b = s[i];
    if (b < 0x80) {
      out.Put1(b);
      ++i;
    } else if (!IsLead932(b)) {
      out.Put1(kCp932High[b - 0x80]);
      ++i;
    } else if (i + 1 < len && s[i + 1] != 0) {
      WCHAR wc = Decode932Pair(b, s[i + 1]);
      if (!wc) {
        if (strict) return false;
        wc = kCp932UnicodeDefault;
      }
      out.Put1(wc);
      i += 2;
    } else {
      if (strict) return false;
      out.Put1(kCp932UnicodeDefault);
      ++i;
    }
  }
  return true;
}

void DecodeSingle(UINT cp, const BYTE *s, int len, Sink<WCHAR> &out)
{
  const uint16_t *high = HighTable(cp);
  for (int i = 0; i < len; ++i) out.Put1(s[i] < 0x80 ? s[i] : high[s[i] - 0x80]);
}

// ------------------------------------------------------------ encoding

inline bool IsHighSurrogate(WCHAR c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool IsLowSurrogate(WCHAR c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool EncodeUtf8(const WCHAR *s, int len, bool strict, Sink<char> &out)
{
  for (int i = 0; i < len; ++i) {
    uint32_t c = s[i];
    if (IsHighSurrogate(s[i]) && i + 1 < len && IsLowSurrogate(s[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (strict) return false;
      c = kUtf8Replacement;
    }
    char u[4];
    int k;
    if (c < 0x80) {
      u[0] = static_cast<char>(c);
      k = 1;
    } else if (c < 0x800) {
      u[0] = static_cast<char>(0xC0 | (c >> 6));
      u[1] = static_cast<char>(0x80 | (c & 0x3F));
      k = 2;
    } else if (c < 0x10000) {
      u[0] = static_cast<char>(0xE0 | (c >> 12));
      u[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      u[2] = static_cast<char>(0x80 | (c & 0x3F));
      k = 3;
    } else {
      u[0] = static_cast<char>(0xF0 | (c >> 18));
      u[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      u[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      u[3] = static_cast<char>(0x80 | (c & 0x3F));
      k = 4;
    }
    out.Put(u, k);
  }
  return true;
}

// Encodes one UTF-16 unit in an ANSI/OEM code page: answers the code (one byte, or a
// 932 double-byte code above 0xFF) or -1 when the character has no mapping allowed by
// the flags.
int EncodeUnit(UINT cp, WCHAR wc, bool bestFit)
{
  if (cp == 932) {
    if (wc == 0) return 0;
    uint16_t mb = Encoder932().map[wc];
    if (!mb) return -1;
    if (!bestFit) {
      // Only codes that decode back to the same character.
      WCHAR back = mb < 0x100 ? (mb < 0x80 ? mb : kCp932High[mb - 0x80])
                              : Decode932Pair(static_cast<BYTE>(mb >> 8), static_cast<BYTE>(mb));
      if (back != wc) return -1;
    }
    return mb;
  }
  int b = EncodeSingleExact(cp, wc);
  if (b >= 0 || !bestFit || cp != 1252) return b;
  return FindBestFit(kCp1252BestFit, kCp1252BestFitCount, wc);
}

void EncodeAnsi(UINT cp, const WCHAR *s, int len, bool bestFit, const char *def, int defLen, BOOL *usedDefault,
                Sink<char> &out)
{
  for (int i = 0; i < len; ++i) {
    WCHAR wc = s[i];
    int mb = EncodeUnit(cp, wc, bestFit);
    // A best fit that lands on the default character is indistinguishable from it, and
    // is reported (and replaced by the caller's default character) as one.
    if (mb == kAnsiDefault && wc != kAnsiDefault) mb = -1;
    if (mb < 0) {
      // A surrogate pair is one character: one default character stands for it.
      if (IsHighSurrogate(wc) && i + 1 < len && IsLowSurrogate(s[i + 1])) ++i;
      if (usedDefault) *usedDefault = TRUE;
      out.Put(def, defLen);
    } else if (mb > 0xFF) {
      char pair[2] = {static_cast<char>(mb >> 8), static_cast<char>(mb & 0xFF)};
      out.Put(pair, 2);
    } else {
      out.Put1(static_cast<char>(mb));
    }
  }
}

bool ArgsBad(const void *src, int srcLen, const void *dst, int dstLen)
{
  return !src || srcLen == 0 || srcLen < -1 || dstLen < 0 || (dstLen > 0 && !dst) || (dst && src == dst);
}

}  // namespace

// ------------------------------------------------------------ helpers of the layer

WCHAR plat::AnsiDecodeChar(const char *p, int *len)
{
  BYTE b = static_cast<BYTE>(p[0]);
  *len = 1;
  if (b < 0x80) return b;
  if (g_acp.load(std::memory_order_relaxed) != 932) return kCp1252High[b - 0x80];
  if (!IsLead932(b)) return kCp932High[b - 0x80];
  if (!p[1]) return kCp932UnicodeDefault;
  *len = 2;
  WCHAR wc = Decode932Pair(b, static_cast<BYTE>(p[1]));
  return wc ? wc : kCp932UnicodeDefault;
}

int plat::AnsiEncodeChar(WCHAR wc, char out[2], bool exact)
{
  int mb = EncodeUnit(g_acp.load(std::memory_order_relaxed), wc, !exact);
  if (mb < 0) {
    if (exact) return 0;
    mb = '?';
  }
  if (mb > 0xFF) {
    out[0] = static_cast<char>(mb >> 8);
    out[1] = static_cast<char>(mb & 0xFF);
    return 2;
  }
  out[0] = static_cast<char>(mb);
  return 1;
}

// ------------------------------------------------------------ Win32 entry points

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar)
{
  if (ArgsBad(lpMultiByteStr, cbMultiByte, lpWideCharStr, cchWideChar)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  UINT cp = Resolve(CodePage);
  if (!cp) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DWORD allowed = cp == CP_UTF8 ? MB_ERR_INVALID_CHARS : (MB_PRECOMPOSED | MB_ERR_INVALID_CHARS);
  if (dwFlags & ~allowed) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const BYTE *src = reinterpret_cast<const BYTE *>(lpMultiByteStr);
  int len = cbMultiByte;
  if (len == -1) len = static_cast<int>(strlen(lpMultiByteStr)) + 1;
  bool strict = (dwFlags & MB_ERR_INVALID_CHARS) != 0;
  Sink<WCHAR> out{lpWideCharStr, cchWideChar};
  bool ok = true;
  if (cp == CP_UTF8)
    ok = DecodeUtf8(src, len, strict, out);
  else if (cp == 932)
    ok = Decode932(src, len, strict, out);
  else
    DecodeSingle(cp, src, len, out);
  if (!ok) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return Finish(out);
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar)
{
  if (ArgsBad(lpWideCharStr, cchWideChar, lpMultiByteStr, cbMultiByte)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  UINT cp = Resolve(CodePage);
  if (!cp) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (cp == CP_UTF8) {
    if (dwFlags & ~static_cast<DWORD>(WC_ERR_INVALID_CHARS)) {
      SetLastError(ERROR_INVALID_FLAGS);
      return 0;
    }
    if (lpDefaultChar || lpUsedDefaultChar) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  } else if (dwFlags & ~static_cast<DWORD>(WC_NO_BEST_FIT_CHARS)) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  int len = cchWideChar;
  if (len == -1) len = static_cast<int>(plat::WLen(lpWideCharStr)) + 1;
  Sink<char> out{lpMultiByteStr, cbMultiByte};
  if (cp == CP_UTF8) {
    if (!EncodeUtf8(lpWideCharStr, len, (dwFlags & WC_ERR_INVALID_CHARS) != 0, out)) {
      SetLastError(ERROR_NO_UNICODE_TRANSLATION);
      return 0;
    }
    return Finish(out);
  }
  // The default character: one byte, or a lead byte and its trail byte in 932.
  char def[2] = {'?', 0};
  int defLen = 1;
  if (lpDefaultChar) {
    def[0] = lpDefaultChar[0];
    if (cp == 932 && IsLead932(static_cast<BYTE>(def[0])) && lpDefaultChar[1]) {
      def[1] = lpDefaultChar[1];
      defLen = 2;
    }
  }
  if (lpUsedDefaultChar) *lpUsedDefaultChar = FALSE;
  EncodeAnsi(cp, lpWideCharStr, len, (dwFlags & WC_NO_BEST_FIT_CHARS) == 0, def, defLen, lpUsedDefaultChar, out);
  return Finish(out);
}

UINT WINAPI GetACP(void) { return g_acp.load(std::memory_order_relaxed); }

UINT WINAPI GetOEMCP(void) { return Resolve(CP_OEMCP); }

// Only real code page numbers are valid; CP_ACP and the other aliases are not.
BOOL WINAPI IsValidCodePage(UINT CodePage) { return CodePage > CP_THREAD_ACP && Resolve(CodePage) != 0 ? TRUE : FALSE; }

BOOL WINAPI GetCPInfo(UINT CodePage, LPCPINFO lpCPInfo)
{
  UINT cp = Resolve(CodePage);
  if (!cp || !lpCPInfo) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  memset(lpCPInfo, 0, sizeof(*lpCPInfo));
  lpCPInfo->DefaultChar[0] = '?';
  if (cp == CP_UTF8) {
    lpCPInfo->MaxCharSize = 4;
  } else if (cp == 932) {
    lpCPInfo->MaxCharSize = 2;
    lpCPInfo->LeadByte[0] = 0x81;
    lpCPInfo->LeadByte[1] = 0x9F;
    lpCPInfo->LeadByte[2] = 0xE0;
    lpCPInfo->LeadByte[3] = 0xFC;
  } else {
    lpCPInfo->MaxCharSize = 1;
  }
  return TRUE;
}

BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar)
{
  UINT cp = Resolve(CodePage);
  if (!cp) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return cp == 932 && IsLead932(TestChar) ? TRUE : FALSE;
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) { return IsDBCSLeadByteEx(CP_ACP, TestChar); }

LPSTR WINAPI CharNextA(LPCSTR lpsz)
{
  if (!lpsz) return nullptr;
  if (!*lpsz) return const_cast<LPSTR>(lpsz);
  if (IsDBCSLeadByte(static_cast<BYTE>(*lpsz)) && lpsz[1]) return const_cast<LPSTR>(lpsz + 2);
  return const_cast<LPSTR>(lpsz + 1);
}

LPSTR WINAPI CharPrevA(LPCSTR lpszStart, LPCSTR lpszCurrent)
{
  if (!lpszStart || !lpszCurrent) return const_cast<LPSTR>(lpszCurrent);
  if (lpszCurrent <= lpszStart) return const_cast<LPSTR>(lpszStart);
  // Lead bytes can only be told from trail bytes by walking from the start.
  LPCSTR p = lpszStart;
  for (;;) {
    LPCSTR next = CharNextA(p);
    if (next >= lpszCurrent || next == p) break;
    p = next;
  }
  return const_cast<LPSTR>(p);
}

BOOL PlatSetAnsiCodePage(UINT codePage)
{
  if (codePage != 1252 && codePage != 932) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  g_acp.store(codePage);
  return TRUE;
}
