// The condition scanner as an inline function, for the loops that take a condition or a
// rule section token by token (the condition compiler, the rule sections of the grammar);
// RuleScanToken (rule_compile.h) is the same scanner as a call.
#pragma once

#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "desc/rule_compile.h"

namespace ruletoken {

inline bool Is(char c, BYTE cls) { return (DESC_CHAR_CLASS[static_cast<BYTE>(c)] & cls) != 0; }

inline bool IsOperatorChar(char c) { return c == '=' || c == '!' || c == '&' || c == '|' || c == '>' || c == '<'; }

// Position of the first byte at or after pos that is not a keyword byte. The text can be
// read up to its capacity, so while 16 bytes from pos stay within capacity they are taken
// at once with SSE2 (the same byte class: '/', the digits and 0x40-0x7A); the rest one at
// a time.
inline DWORD KeywordRunEnd(const char *text, DWORD pos, DWORD capacity)
{
#if defined(__SSE2__)
  while (pos <= capacity && capacity - pos >= 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + pos));
    auto within = [v](char lo, char hi) {
      return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(lo - 1))),
                           _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(hi + 1))));
    };
    // Bytes of 0x80 and above are negative as signed bytes and fall outside both ranges.
    __m128i inside =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('/')), within('0', '9')), within(0x40, 0x7A));
    unsigned outside = ~static_cast<unsigned>(_mm_movemask_epi8(inside)) & 0xFFFFu;
    if (outside) return pos + static_cast<DWORD>(__builtin_ctz(outside));
    pos += 16;
  }
#else
  (void)capacity;
#endif
  while (Is(text[pos], DESC_CC_KEYWORD)) ++pos;
  return pos;
}

// Copies len bytes (len >= 4) in whole steps, the last step overlapping the one before it:
// the i686 build would otherwise copy a byte per step or call a string instruction that
// costs more than the few steps of a token. Nothing outside the len bytes is touched.
inline void CopyToken(char *to, const char *from, DWORD len)
{
#if defined(__SSE2__)
  if (len >= 16) {
    for (DWORD i = 0; i + 16 < len; i += 16)
      _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i),
                       _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to + len - 16),
                     _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + len - 16)));
    return;
  }
#endif
  for (DWORD i = 0; i + 4 < len; i += 4) {
    DWORD word;
    memcpy(&word, from + i, 4);
    memcpy(to + i, &word, 4);
  }
  DWORD word;
  memcpy(&word, from + len - 4, 4);
  memcpy(to + len - 4, &word, 4);
}

}  // namespace ruletoken

// RuleScanToken, inline (always: a call costs more than a short token's scan).
inline __attribute__((always_inline)) DWORD RuleScanTokenInline(DESC_TEXT_BUFFER *source, char *token, DWORD tokenSize)
{
  using ruletoken::Is;
  const char *text = source->text;
  DWORD pos = source->length;
  while (Is(text[pos], DESC_CC_BLANK | DESC_CC_LINE_END)) ++pos;
  DWORD start = pos;
  DWORD kind;
  char c = text[pos];
  if (Is(c, DESC_CC_DIGIT)) {
    while (Is(text[pos], DESC_CC_DIGIT)) ++pos;
    if (Is(text[pos], DESC_CC_KEYWORD)) {
      pos = ruletoken::KeywordRunEnd(text, pos, source->capacity);
      kind = RULE_TOKEN_WORD;
    } else {
      kind = RULE_TOKEN_NUMBER;
    }
  } else if (Is(c, DESC_CC_KEYWORD)) {
    pos = ruletoken::KeywordRunEnd(text, pos + 1, source->capacity);
    kind = RULE_TOKEN_WORD;
  } else if (c == '(' || c == ')' || c == '{' || c == '}') {
    ++pos;
    kind = RULE_TOKEN_BRACKET;
  } else if (ruletoken::IsOperatorChar(c)) {
    while (ruletoken::IsOperatorChar(text[pos])) ++pos;
    kind = RULE_TOKEN_OPERATOR;
  } else {
    if (c != 0) ++pos;  // the end of the text stays where it is
    kind = RULE_TOKEN_OTHER;
  }
  source->length = pos;
  DWORD len = (pos == start) ? 1 : pos - start;  // the end of the text gives its NUL
  if (len + 1 > tokenSize) {
    if (tokenSize) token[0] = 0;
    return RULE_TOKEN_TOO_LONG;
  }
  const char *from = text + start;
  if (len >= 4)
    ruletoken::CopyToken(token, from, len);
  else
    for (DWORD i = 0; i < len; ++i) token[i] = from[i];
  token[len] = 0;
  return kind;
}
