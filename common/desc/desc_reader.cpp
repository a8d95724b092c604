// Printer description text reader (see desc_reader.h).
#include "desc/desc_reader.h"

#include "context.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr BYTE ClassOf(unsigned c)
{
  BYTE bits = 0;
  const char *delimiters = "\"#$%&'()*,./:;<=>?{|}";
  if (c == '\t' || c == '\n' || c == '\r' || c == ' ') bits |= DESC_CC_DELIMITER;
  for (const char *d = delimiters; *d; ++d)
    if (static_cast<unsigned char>(*d) == c) bits |= DESC_CC_DELIMITER;
  if (c == '/' || (c >= '0' && c <= '9') || (c >= 0x40 && c <= 0x7A)) bits |= DESC_CC_KEYWORD;
  if (c >= '!' && c <= '~' && c != '/' && c != ':') bits |= DESC_CC_OPTION;
  if (c == '\t' || c == ' ') bits |= DESC_CC_BLANK;
  if (c == '\n' || c == '\r') bits |= DESC_CC_LINE_END;
  if ((c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')) bits |= DESC_CC_HEX_LETTER;
  if (c >= '0' && c <= '9') bits |= DESC_CC_DIGIT;
  return bits;
}

struct ClassTable {
  BYTE bits[256];
  constexpr ClassTable() : bits()
  {
    for (unsigned c = 0; c < 256; ++c) bits[c] = ClassOf(c);
  }
};
constexpr ClassTable kClasses;

inline bool Is(BYTE c, BYTE cls) { return (DESC_CHAR_CLASS[c] & cls) != 0; }

// Bytes a value can take in bulk: everything but the line ends, the bytes that open or close a
// quote, parenthesis or brace, the escape '%' and the bytes of 0x80 and above (which may lead a
// double-byte character). Below 0x80 every ANSI code page is ASCII, so no such byte leads one.
struct PlainTable {
  bool plain[256];
  constexpr PlainTable() : plain()
  {
    for (unsigned c = 0; c < 0x80; ++c)
      plain[c] = c != '\r' && c != '\n' && c != '"' && c != '(' && c != ')' && c != '{' && c != '}' && c != '%';
  }
};
constexpr PlainTable kPlain;

// The reader's position while DescReadLine scans a line (or DescReadByte takes a byte): in
// locals, stored back into the reader once the line is read.
struct Scan {
  BYTE *p;    // next byte to deliver
  BYTE *end;  // the NUL after the text
  DWORD lineNumber;
  BYTE prev;  // last delivered byte

  explicit Scan(const DESC_READER *r)
      : p(r->cursor), end(r->cursor + r->remaining), lineNumber(r->lineNumber), prev(r->prevByte)
  {
  }
  void StoreInto(DESC_READER *r) const
  {
    r->cursor = p;
    r->remaining = static_cast<DWORD>(end - p);
    r->lineNumber = lineNumber;
    r->prevByte = prev;
  }
  bool Next(BYTE *out)
  {
    if (p == end) return false;
    BYTE c = *p++;
    // The line number counts line ends; LF right after CR belongs to the same one.
    if (c == '\r' || (c == '\n' && prev != '\r')) ++lineNumber;
    prev = c;
    *out = c;
    return true;
  }
  // Delivers the bytes up to q at once. None of them may be a line end.
  void SkipTo(BYTE *q)
  {
    if (q == p) return;
    p = q;
    prev = q[-1];
  }
};

// The runs the reader takes in bulk: plain value bytes (kPlain), keyword bytes and option
// bytes (DESC_CC_KEYWORD, DESC_CC_OPTION). Each answers how many of the bytes at p (at
// most size) belong to the run, 16 at a time with SSE2 and one at a time after that; both
// ways answer what the byte tables answer.
enum RunKind { kRunPlain, kRunKeyword, kRunOption };

#if defined(__SSE2__)
// Bit i set when byte i of v is outside the run.
template <RunKind kind>
inline unsigned OutsideMask(__m128i v)
{
  auto eq = [v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
  // Bytes of 0x80 and above are negative as signed bytes, so they fall outside every range.
  auto within = [v](char lo, char hi) {
    return _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8(static_cast<char>(lo - 1))),
                         _mm_cmplt_epi8(v, _mm_set1_epi8(static_cast<char>(hi + 1))));
  };
  if (kind == kRunPlain) {
    __m128i stop = _mm_or_si128(_mm_or_si128(_mm_or_si128(eq('\r'), eq('\n')), _mm_or_si128(eq('"'), eq('%'))),
                                _mm_or_si128(_mm_or_si128(eq('('), eq(')')), _mm_or_si128(eq('{'), eq('}'))));
    return static_cast<unsigned>(_mm_movemask_epi8(stop) | _mm_movemask_epi8(v));
  }
  __m128i inside;
  if (kind == kRunKeyword)
    inside = _mm_or_si128(_mm_or_si128(eq('/'), within('0', '9')), within(0x40, 0x7A));
  else
    inside = _mm_andnot_si128(_mm_or_si128(eq('/'), eq(':')), within('!', '~'));
  return ~static_cast<unsigned>(_mm_movemask_epi8(inside)) & 0xFFFFu;
}
#endif

template <RunKind kind>
inline bool InRun(BYTE c)
{
  if (kind == kRunPlain) return kPlain.plain[c];
  return Is(c, kind == kRunKeyword ? DESC_CC_KEYWORD : DESC_CC_OPTION);
}

template <RunKind kind>
inline DWORD RunLength(const BYTE *p, DWORD size)
{
  DWORD n = 0;
#if defined(__SSE2__)
  for (; size - n >= 16; n += 16) {
    unsigned outside = OutsideMask<kind>(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + n)));
    if (outside) return n + static_cast<DWORD>(__builtin_ctz(outside));
  }
#endif
  while (n < size && InRun<kind>(p[n])) ++n;
  return n;
}

// Delivers the run of bytes of its kind at the cursor (none of them is a line end).
template <RunKind kind>
inline void SkipRun(Scan *s)
{
  s->SkipTo(s->p + RunLength<kind>(s->p, static_cast<DWORD>(s->end - s->p)));
}

// Where one part of a line lies in the reader's text: its first byte and the byte its
// terminator goes to, which the reader has read past (or the NUL after the text).
struct Span {
  BYTE *start;
  BYTE *end;
};

// The parts of one line as DescReadLine finds them; an absent part has no start.
struct Spans {
  Span keyword, options[2], value;
};

// Skips the rest of a physical line, up to and including its line end.
// Returns FALSE at the end of the file.
bool SkipPhysicalLine(Scan *s)
{
  BYTE *q = s->p;
  while (q != s->end && *q != '\r' && *q != '\n') ++q;
  s->SkipTo(q);  // no line end among them
  BYTE c;
  return s->Next(&c);
}

// Skips blanks starting at *cur. FALSE at the end of the file.
inline bool SkipBlanks(Scan *s, BYTE *cur)
{
  while (Is(*cur, DESC_CC_BLANK))
    if (!s->Next(cur)) return false;
  return true;
}

// Where the next byte at or after p that is not a plain value byte stands (end when there is
// none). With SSE2 the bytes are classified 16 at a time and the classes of the last block
// are kept in *base / *mask, so that the value's special bytes close together cost one
// classification of their block; the bytes after the last whole block one at a time.
inline BYTE *NextSpecial(BYTE *p, BYTE *end, BYTE **base, unsigned *mask)
{
#if defined(__SSE2__)
  if (*base && p < *base + 16) {
    unsigned shift = static_cast<unsigned>(p - *base);
    unsigned left = *mask >> shift << shift;
    if (left) return *base + __builtin_ctz(left);
    p = *base + 16;
  }
  while (end - p >= 16) {
    *base = p;
    *mask = OutsideMask<kRunPlain>(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
    if (*mask) return p + __builtin_ctz(*mask);
    p += 16;
  }
  *base = nullptr;
#else
  (void)base;
  (void)mask;
#endif
  while (p < end && kPlain.plain[*p]) ++p;
  return p;
}

// The value from its first byte c (just delivered) up to the line end outside quotes,
// parentheses and braces. The value stays in place: only where it ends is found.
DWORD ReadValue(DESC_READER *r, Scan *s, BYTE c, Span *value)
{
  value->start = s->p - 1;
  UINT acp = 0;
  bool haveAcp = false;
  bool quoted = false;
  DWORD parens = 0, braces = 0;
  BYTE *base = nullptr;
  unsigned mask = 0;
  for (;;) {
    if (kPlain.plain[c]) {
      // A plain byte and the plain bytes after it belong to the value as they are; the byte
      // after them is not plain.
      s->SkipTo(NextSpecial(s->p, s->end, &base, &mask));
      if (!s->Next(&c)) break;
    }
    if (!quoted && parens == 0 && braces == 0 && Is(c, DESC_CC_LINE_END)) {
      value->end = s->p - 1;
      return DESC_READ_LINE;
    }
    if (c >= 0x80 && !haveAcp) {
      acp = GetACP();
      haveAcp = true;
    }
    bool bad = false;
    if (c >= 0x80 && IsDBCSLeadByteEx(acp, c)) {
      BYTE trail;
      if (!s->Next(&trail)) break;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == '(') {
      bad = quoted;
      ++parens;
    } else if (c == ')') {
      bad = quoted || parens == 0;
      --parens;
    } else if (c == '{') {
      bad = quoted || parens != 0;
      ++braces;
    } else if (c == '}') {
      bad = quoted || parens != 0 || braces == 0;
      --braces;
    } else if (c == '%' && quoted) {
      BYTE escaped;
      if (!s->Next(&escaped)) {
        value->end = s->p;
        r->endedInside = DESC_OPEN_QUOTE;
        return DESC_READ_MALFORMED;
      }
      bad = Is(escaped, DESC_CC_LINE_END);
    }
    if (bad) {
      // A rejected line's value ends before the byte that rejected it.
      value->end = s->p - 1;
      return DESC_READ_MALFORMED;
    }
    if (!s->Next(&c)) break;
  }
  // The file ended inside the value: a complete value is a line like any other, a value
  // left inside a quote, parenthesis or brace is a rejected line. Nothing opens inside a
  // quote, and no brace inside a parenthesis, so the innermost open one is named.
  value->end = s->p;
  r->endedInside = quoted        ? DESC_OPEN_QUOTE
                   : parens != 0 ? DESC_OPEN_PARENTHESIS
                   : braces != 0 ? DESC_OPEN_BRACE
                                 : DESC_OPEN_NONE;
  return r->endedInside != DESC_OPEN_NONE ? DESC_READ_MALFORMED : DESC_READ_LINE;
}

DWORD ReadLineBody(DESC_READER *r, Scan *s, Spans *parts)
{
  BYTE c;
  // Find the star that starts a keyword.
  for (;;) {
    if (!s->Next(&c)) return DESC_READ_EOF;
    if (Is(c, DESC_CC_LINE_END)) continue;
    if (c == '*') {
      DWORD startLine = s->lineNumber;
      if (!s->Next(&c)) return DESC_READ_EOF;
      if (c == '%') {
        if (!SkipPhysicalLine(s)) return DESC_READ_EOF;
        continue;
      }
      r->lineStart = startLine;
      break;
    }
    if (!SkipPhysicalLine(s)) return DESC_READ_EOF;
  }
  // Keyword.
  if (!Is(c, DESC_CC_KEYWORD)) return DESC_READ_MALFORMED;
  parts->keyword.start = s->p - 1;
  SkipRun<kRunKeyword>(s);
  parts->keyword.end = s->p;
  if (!s->Next(&c)) return DESC_READ_LINE;  // a keyword alone on the last line
  if (Is(c, DESC_CC_LINE_END)) return DESC_READ_LINE;
  // Up to two options, then the colon.
  for (int i = 0;; ++i) {
    if (!SkipBlanks(s, &c)) return DESC_READ_MALFORMED;
    if (c == ':') break;
    if (i == 2 || !Is(c, DESC_CC_OPTION)) return DESC_READ_MALFORMED;
    Span *option = &parts->options[i];
    option->start = s->p - 1;
    SkipRun<kRunOption>(s);
    option->end = s->p;
    if (!s->Next(&c)) return DESC_READ_MALFORMED;
  }
  // Value.
  for (;;) {
    if (!s->Next(&c)) return DESC_READ_LINE;  // empty value on the last line
    if (!Is(c, DESC_CC_BLANK)) break;
  }
  return ReadValue(r, s, c, &parts->value);
}

// Points a part of the line at its span and terminates it there; absent, at line->none.
void SetPart(DESC_LINE *line, DESC_TEXT_BUFFER *b, const Span &span, const BYTE *textEnd)
{
  if (!span.start) {
    b->text = line->none;
    b->length = 0;
    b->capacity = 0;
    return;
  }
  *span.end = 0;
  b->text = reinterpret_cast<char *>(span.start);
  b->length = static_cast<DWORD>(span.end - span.start);
  b->capacity = static_cast<DWORD>(textEnd - span.start);
}

}  // namespace

extern "C" const BYTE DESC_CHAR_CLASS[256] = {
#define KV_ROW(n)                                                                                           \
  kClasses.bits[n], kClasses.bits[n + 1], kClasses.bits[n + 2], kClasses.bits[n + 3], kClasses.bits[n + 4], \
      kClasses.bits[n + 5], kClasses.bits[n + 6], kClasses.bits[n + 7]
#define KV_ROW64(n)                                                                                         \
  KV_ROW(n), KV_ROW(n + 8), KV_ROW(n + 16), KV_ROW(n + 24), KV_ROW(n + 32), KV_ROW(n + 40), KV_ROW(n + 48), \
      KV_ROW(n + 56)
    KV_ROW64(0), KV_ROW64(64), KV_ROW64(128), KV_ROW64(192)
#undef KV_ROW64
#undef KV_ROW
};

namespace {

// The whole file in one block of its own (GlobalAlloc, not cleared: every byte is read
// over), with a NUL after its bytes. One read costs less than a mapping and its unmapping,
// which the emulated 32-bit build pays dearly for. NULL when the file is missing,
// unreadable or empty, or memory runs out.
BYTE *ReadWholeFile(LPCWSTR path, DWORD *size)
{
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  DWORD bytes = GetFileSize(file, nullptr);
  BYTE *text = nullptr;
  if (bytes != INVALID_FILE_SIZE && bytes != 0 && bytes != 0xFFFFFFFFu)
    text = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, bytes + 1));
  DWORD got = 0;
  if (text && (!ReadFile(file, text, bytes, &got, nullptr) || got != bytes)) {
    GlobalFree(text);
    text = nullptr;
  }
  if (text) text[bytes] = 0;
  CloseHandle(file);
  *size = bytes;
  return text;
}

// A reader over text (size bytes and a NUL after them, a GlobalAlloc block the reader
// takes over); NULL, with the block freed, when memory runs out.
DESC_READER *ReaderOver(BYTE *text, DWORD size)
{
  DESC_READER *r = static_cast<DESC_READER *>(MemAllocZeroed(sizeof(DESC_READER)));
  if (!r) {
    GlobalFree(text);
    return nullptr;
  }
  r->base = text;
  r->cursor = text;
  r->remaining = size;
  r->lineNumber = 1;
  r->lineStart = 1;
  return r;
}

}  // namespace

DESC_READER *WINAPI DescReaderOpen(LPCWSTR path)
{
  DWORD size = 0;
  BYTE *text = path ? ReadWholeFile(path, &size) : nullptr;
  return text ? ReaderOver(text, size) : nullptr;
}

DESC_READER *WINAPI DescReaderOpenText(const char *text, DWORD size)
{
  if (!text) size = 0;
  if (size == 0xFFFFFFFFu) return nullptr;
  BYTE *copy = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, size + 1));
  if (!copy) return nullptr;
  if (size) memcpy(copy, text, size);
  copy[size] = 0;
  return ReaderOver(copy, size);
}

void WINAPI DescReaderClose(DESC_READER *reader)
{
  if (!reader) return;
  if (reader->base) GlobalFree(reader->base);
  MemFree(reader);
}

DWORD WINAPI DescReadByte(DESC_READER *reader, BYTE *out)
{
  Scan scan(reader);
  bool read = scan.Next(out);
  scan.StoreInto(reader);
  return read ? 0 : 1;
}

DESC_LINE *WINAPI DescLineCreate(void)
{
  DESC_LINE *line = static_cast<DESC_LINE *>(MemAllocZeroed(sizeof(DESC_LINE)));
  if (!line) return nullptr;
  line->keyword.text = line->option1.text = line->option2.text = line->value.text = line->none;
  return line;
}

void WINAPI DescLineFree(DESC_LINE *line)
{
  if (line) MemFree(line);
}

DWORD WINAPI DescReadLine(DESC_LINE *line, DESC_READER *reader)
{
  reader->endedInside = DESC_OPEN_NONE;
  Spans parts;
  parts.keyword.start = parts.options[0].start = parts.options[1].start = parts.value.start = nullptr;
  Scan scan(reader);
  DWORD st = ReadLineBody(reader, &scan, &parts);
  scan.StoreInto(reader);
  const BYTE *textEnd = scan.end;
  // A keyword can run straight into option 1 ("*Key*Opt"), with no byte between them for
  // its terminator: it moves one byte back, over the star that opened the line.
  if (parts.keyword.start && parts.keyword.end == parts.options[0].start) {
    BYTE *star = parts.keyword.start - 1;
    DWORD n = static_cast<DWORD>(parts.keyword.end - parts.keyword.start);
    memmove(star, parts.keyword.start, n);
    parts.keyword = {star, star + n};
  }
  SetPart(line, &line->keyword, parts.keyword, textEnd);
  SetPart(line, &line->option1, parts.options[0], textEnd);
  SetPart(line, &line->option2, parts.options[1], textEnd);
  SetPart(line, &line->value, parts.value, textEnd);
  return st;
}

DWORD WINAPI DescReadTextFileVersion(LPCWSTR path, WCHAR *out)
{
  DESC_LINE *line = DescLineCreate();
  if (!line) return 1;
  DESC_READER *reader = DescReaderOpen(path);
  if (reader) {
    for (;;) {
      DWORD st = DescReadLine(line, reader);
      if (st == DESC_READ_EOF || st == DESC_READ_NO_MEMORY) break;
      if (st != DESC_READ_LINE) continue;
      const char *k = line->keyword.text;
      const char *want = "FileVersion";
      while (*k && *k == *want) ++k, ++want;
      if (*k || *want) continue;
      int len = static_cast<int>(line->value.length);
      WCHAR *wide = static_cast<WCHAR *>(MemAllocZeroed(static_cast<DWORD>(len + 1) * sizeof(WCHAR)));
      if (wide) {
        int n = len ? MultiByteToWideChar(CP_ACP, 0, line->value.text, len, wide, len) : 0;
        if (n < 0) n = 0;
        if (n > 14) n = 14;
        for (int i = 0; i < n; ++i) out[i] = wide[i];
        out[n] = 0;
        MemFree(wide);
      }
      break;
    }
    DescReaderClose(reader);
  }
  DescLineFree(line);
  return 1;
}

int WINAPI DescHexDigitValue(BYTE c)
{
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 87;
  return c - 55;
}
