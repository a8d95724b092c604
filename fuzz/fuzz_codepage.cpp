// Fuzz target: ANSI and UTF-16 text through the code-page converters and the character
// stepping functions.
//
// Input: byte 0 picks the code page (1252, 932, 437, UTF-8, CP_ACP under 1252 or 932),
// byte 1 the flags, byte 2 the output buffer size; the rest is the text, read both as
// bytes and as UTF-16LE units. Every answer is checked against the buffer it was given:
// never more than the buffer holds, nothing written past it, and the size query agrees
// with the conversion into a buffer large enough.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "kvplat/control.h"
#include "win32.h"

namespace {

void Fail(const char *what, long a, long b)
{
  fprintf(stderr, "fuzz_codepage: %s (%ld, %ld)\n", what, a, b);
  abort();
}

const UINT kPages[8] = {1252, 932, 437, CP_UTF8, CP_ACP, CP_OEMCP, CP_THREAD_ACP, 1252};
const DWORD kMbFlags[4] = {0, MB_PRECOMPOSED, MB_ERR_INVALID_CHARS, MB_PRECOMPOSED | MB_ERR_INVALID_CHARS};
const DWORD kWcFlags[4] = {0, WC_NO_BEST_FIT_CHARS, WC_ERR_INVALID_CHARS, WC_NO_BEST_FIT_CHARS | WC_ERR_INVALID_CHARS};

void MultiToWide(UINT cp, DWORD flags, const char *text, int len, int outSize)
{
  int need = MultiByteToWideChar(cp, flags, text, len, nullptr, 0);
  if (need < 0) Fail("negative size query", need, 0);
  if (outSize == 0) return;  // the query above was the call
  // Exactly outSize units on the heap.
  WCHAR *out = outSize > 0 ? (WCHAR *)malloc(sizeof(WCHAR) * (size_t)outSize) : nullptr;
  int got = MultiByteToWideChar(cp, flags, text, len, out, outSize);
  if (got < 0 || got > outSize) Fail("MultiByteToWideChar count beyond the buffer", got, outSize);
  if (outSize > 0 && got == 0 && need > 0 && need <= outSize)
    Fail("conversion failed where the size query succeeded", need, outSize);
  if (got > 0 && got != need) Fail("conversion count differs from the size query", got, need);
  free(out);
  if (need > 0) {
    std::vector<WCHAR> full((size_t)need);
    int again = MultiByteToWideChar(cp, flags, text, len, full.data(), need);
    if (again != need) Fail("conversion into the queried size failed", again, need);
  }
}

void WideToMulti(UINT cp, DWORD flags, const WCHAR *text, int len, int outSize, bool withDefault)
{
  bool utf8 = cp == CP_UTF8;
  BOOL usedDefault = FALSE;
  const char *dflt = withDefault && !utf8 ? "#" : nullptr;
  LPBOOL used = withDefault && !utf8 ? &usedDefault : nullptr;
  int need = WideCharToMultiByte(cp, flags, text, len, nullptr, 0, dflt, used);
  if (need < 0) Fail("negative size query", need, 0);
  if (outSize == 0) return;  // the query above was the call
  char *out = outSize > 0 ? (char *)malloc((size_t)outSize) : nullptr;
  int got = WideCharToMultiByte(cp, flags, text, len, out, outSize, dflt, used);
  if (got < 0 || got > outSize) Fail("WideCharToMultiByte count beyond the buffer", got, outSize);
  if (got > 0 && got != need) Fail("conversion count differs from the size query", got, need);
  free(out);
}

// Steps forward to the NUL and back to the start: every step moves, stays inside the
// text, and at most one step per byte is taken.
void Stepping(const char *text, size_t len)
{
  const char *end = text + len;  // text[len] is the NUL
  const char *p = text;
  size_t steps = 0;
  while (*p != 0) {
    const char *next = CharNextA(p);
    if (next <= p || next > end) Fail("CharNextA left the text", (long)(next - text), (long)len);
    p = next;
    if (++steps > len) Fail("CharNextA took more steps than bytes", (long)steps, (long)len);
  }
  if (CharNextA(p) != p) Fail("CharNextA moved past the NUL", (long)(p - text), (long)len);
  steps = 0;
  while (p > text) {
    const char *prev = CharPrevA(text, p);
    if (prev >= p || prev < text) Fail("CharPrevA left the text", (long)(prev - text), (long)len);
    p = prev;
    if (++steps > len) Fail("CharPrevA took more steps than bytes", (long)steps, (long)len);
  }
  if (CharPrevA(text, text) != text) Fail("CharPrevA went before the start", 0, (long)len);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 3) return 0;
  const UINT cp = kPages[data[0] & 7];
  PlatSetAnsiCodePage((data[0] & 8) ? 932 : 1252);
  const DWORD mbFlags = kMbFlags[data[1] & 3];
  const DWORD wcFlags = kWcFlags[(data[1] >> 2) & 3];
  const bool withDefault = (data[1] & 0x10) != 0;
  const int outSize = data[2] < 0xF0 ? data[2] : 4096;
  const uint8_t *body = data + 3;
  const size_t n = size - 3;

  // As bytes: the exact length, and a NUL-terminated copy with -1.
  std::vector<char> bytes(body, body + n);
  bytes.push_back(0);
  MultiToWide(cp, mbFlags, bytes.data(), (int)n, outSize);
  MultiToWide(cp, mbFlags, bytes.data(), -1, outSize);

  // As UTF-16LE units, lone surrogates included.
  std::vector<WCHAR> units(n / 2 + 1);
  for (size_t i = 0; i + 1 < n; i += 2) units[i / 2] = (WCHAR)(body[i] | (body[i + 1] << 8));
  units[n / 2] = 0;
  WideToMulti(cp, wcFlags, units.data(), (int)(n / 2), outSize, withDefault);
  WideToMulti(cp, wcFlags, units.data(), -1, outSize, withDefault);

  // Character stepping in the active code page over the text up to its first NUL.
  Stepping(bytes.data(), strlen(bytes.data()));
  return 0;
}
