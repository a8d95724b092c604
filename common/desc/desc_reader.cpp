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

// DescReadByte for the reader's own loops (same line counting, inlined).
inline bool NextByte(DESC_READER *r, BYTE *out)
{
  if (r->remaining == 0) return false;
  --r->remaining;
  BYTE c = *r->cursor++;
  // The line number counts line ends; LF right after CR belongs to the same one.
  if (c == '\r' || (c == '\n' && r->prevByte != '\r')) ++r->lineNumber;
  r->prevByte = c;
  *out = c;
  return true;
}

// Delivers the next n bytes at the cursor at once. None of them may be a line end.
inline void Advance(DESC_READER *r, DWORD n)
{
  if (n == 0) return;
  r->cursor += n;
  r->remaining -= n;
  r->prevByte = r->cursor[-1];
}

BOOL BufferInit(DESC_TEXT_BUFFER *b)
{
  b->text = static_cast<char *>(MemAllocZeroed(DESC_TEXT_GROW + 1));
  if (!b->text) return FALSE;
  b->capacity = DESC_TEXT_GROW;
  b->length = 0;
  return TRUE;
}

void BufferFree(DESC_TEXT_BUFFER *b)
{
  if (b->text) MemFree(b->text);
  b->text = nullptr;
  b->capacity = 0;
  b->length = 0;
}

void BufferClear(DESC_TEXT_BUFFER *b)
{
  b->length = 0;
  b->text[0] = 0;
}

// Grows a full block by DESC_TEXT_GROW bytes.
BOOL BufferGrow(DESC_TEXT_BUFFER *b)
{
  if (b->capacity > 0xFFFFFFFFu - DESC_TEXT_GROW - 1) return FALSE;
  DWORD grown = b->capacity + DESC_TEXT_GROW;
  char *text = static_cast<char *>(MemAllocZeroed(grown + 1));
  if (!text) return FALSE;
  memcpy(text, b->text, b->length);
  MemFree(b->text);
  b->text = text;
  b->capacity = grown;
  return TRUE;
}

// Appends one byte, growing the block by DESC_TEXT_GROW bytes when it is full.
inline BOOL BufferAppend(DESC_TEXT_BUFFER *b, BYTE c)
{
  if (b->length >= b->capacity && !BufferGrow(b)) return FALSE;
  b->text[b->length++] = static_cast<char>(c);
  return TRUE;
}

// Copies the bytes of a run in whole words, the last word overlapping the one before
// it: the i686 build would otherwise copy them with a string instruction that costs more
// than a short run. Nothing outside the n bytes is read or written.
inline void CopyRun(char *dst, const BYTE *src, DWORD n)
{
  auto copy8 = [&](DWORD at) {
    unsigned long long word;
    memcpy(&word, src + at, 8);
    memcpy(dst + at, &word, 8);
  };
  auto copy4 = [&](DWORD at) {
    DWORD word;
    memcpy(&word, src + at, 4);
    memcpy(dst + at, &word, 4);
  };
  if (n >= 8) {
    for (DWORD at = 0; at + 8 < n; at += 8) copy8(at);
    copy8(n - 8);
  } else if (n >= 4) {
    copy4(0);
    copy4(n - 4);
  } else {
    for (DWORD at = 0; at < n; ++at) dst[at] = static_cast<char>(src[at]);
  }
}

// BufferAppendBytes when the run does not fit: grows the block step by step as
// BufferAppend does. Returns how many bytes were appended.
__attribute__((noinline)) DWORD BufferAppendGrowing(DESC_TEXT_BUFFER *b, const BYTE *src, DWORD n)
{
  DWORD done = 0;
  while (done < n) {
    if (b->length >= b->capacity && !BufferGrow(b)) break;
    DWORD room = b->capacity - b->length;
    DWORD take = n - done < room ? n - done : room;
    memcpy(b->text + b->length, src + done, take);
    b->length += take;
    done += take;
  }
  return done;
}

// Appends n bytes. Returns how many bytes were appended: fewer than n when the block could
// not grow.
inline DWORD BufferAppendBytes(DESC_TEXT_BUFFER *b, const BYTE *src, DWORD n)
{
  if (n > b->capacity - b->length) return BufferAppendGrowing(b, src, n);
  // The usual case: the run fits the block as it is.
  CopyRun(b->text + b->length, src, n);
  b->length += n;
  return n;
}

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

// Takes the run of bytes of its kind at the cursor into b. Returns FALSE when the block
// could not grow; the reader then stands after the byte that did not fit, as it would after
// reading that byte on its own, and *last holds it.
template <RunKind kind>
bool TakeRun(DESC_READER *r, DESC_TEXT_BUFFER *b, BYTE *last)
{
  const BYTE *p = r->cursor;
  DWORD n = RunLength<kind>(p, r->remaining);
  DWORD done = BufferAppendBytes(b, p, n);
  if (done < n) {
    Advance(r, done + 1);
    *last = p[done];
    return false;
  }
  Advance(r, n);
  if (n) *last = p[n - 1];
  return true;
}

void Terminate(DESC_LINE *line)
{
  line->keyword.text[line->keyword.length] = 0;
  line->option1.text[line->option1.length] = 0;
  line->option2.text[line->option2.length] = 0;
  line->value.text[line->value.length] = 0;
}

// Skips the rest of a physical line, up to and including its line end.
// Returns FALSE at the end of the file.
bool SkipPhysicalLine(DESC_READER *r)
{
  const BYTE *p = r->cursor;
  DWORD n = 0;
  while (n < r->remaining && p[n] != '\r' && p[n] != '\n') ++n;
  Advance(r, n);  // no line end among them
  BYTE c;
  return NextByte(r, &c);
}

// Collects a run of keyword or option bytes starting with *cur; *cur receives the first
// byte after the run. Returns 0 (run ended on a byte), 1 (end of file), 4 (no memory).
// Keyword and option bytes are never line ends, so the run after *cur is taken in bulk.
template <RunKind kind>
DWORD CollectRun(DESC_READER *r, DESC_TEXT_BUFFER *b, BYTE *cur)
{
  if (!InRun<kind>(*cur)) return DESC_READ_LINE;
  if (!BufferAppend(b, *cur)) return DESC_READ_NO_MEMORY;
  if (!TakeRun<kind>(r, b, cur)) return DESC_READ_NO_MEMORY;
  if (!NextByte(r, cur)) return DESC_READ_EOF;
  return DESC_READ_LINE;  // *cur is outside the class
}

// Skips blanks starting at *cur. FALSE at the end of the file.
bool SkipBlanks(DESC_READER *r, BYTE *cur)
{
  while (Is(*cur, DESC_CC_BLANK))
    if (!NextByte(r, cur)) return false;
  return true;
}

DWORD ReadValue(DESC_LINE *line, DESC_READER *r, BYTE c)
{
  DESC_TEXT_BUFFER *v = &line->value;
  UINT acp = 0;
  bool haveAcp = false;
  bool quoted = false;
  DWORD parens = 0, braces = 0;
  for (;;) {
    if (kPlain.plain[c]) {
      // A plain byte and the plain bytes after it go into the value as they are.
      if (!BufferAppend(v, c)) return DESC_READ_NO_MEMORY;
      if (!TakeRun<kRunPlain>(r, v, &c)) return DESC_READ_NO_MEMORY;
      if (!NextByte(r, &c)) break;
      continue;
    }
    if (!quoted && parens == 0 && braces == 0 && Is(c, DESC_CC_LINE_END)) return DESC_READ_LINE;
    if (!BufferAppend(v, c)) return DESC_READ_NO_MEMORY;
    if (c >= 0x80 && !haveAcp) {
      acp = GetACP();
      haveAcp = true;
    }
    if (c >= 0x80 && IsDBCSLeadByteEx(acp, c)) {
      BYTE trail;
      if (!NextByte(r, &trail)) break;
      if (!BufferAppend(v, trail)) return DESC_READ_NO_MEMORY;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == '(') {
      if (quoted) return DESC_READ_MALFORMED;
      ++parens;
    } else if (c == ')') {
      if (quoted || parens == 0) return DESC_READ_MALFORMED;
      --parens;
    } else if (c == '{') {
      if (quoted || parens != 0) return DESC_READ_MALFORMED;
      ++braces;
    } else if (c == '}') {
      if (quoted || parens != 0 || braces == 0) return DESC_READ_MALFORMED;
      --braces;
    } else if (c == '%' && quoted) {
      BYTE next;
      if (!NextByte(r, &next)) {
        r->endedInside = DESC_OPEN_QUOTE;
        return DESC_READ_MALFORMED;
      }
      if (Is(next, DESC_CC_LINE_END)) return DESC_READ_MALFORMED;
      if (!BufferAppend(v, next)) return DESC_READ_NO_MEMORY;
    }
    if (!NextByte(r, &c)) break;
  }
  // The file ended inside the value: a complete value is a line like any other, a value
  // left inside a quote, parenthesis or brace is a rejected line. Nothing opens inside a
  // quote, and no brace inside a parenthesis, so the innermost open one is named.
  r->endedInside = quoted        ? DESC_OPEN_QUOTE
                   : parens != 0 ? DESC_OPEN_PARENTHESIS
                   : braces != 0 ? DESC_OPEN_BRACE
                                 : DESC_OPEN_NONE;
  return r->endedInside != DESC_OPEN_NONE ? DESC_READ_MALFORMED : DESC_READ_LINE;
}

DWORD ReadLineBody(DESC_LINE *line, DESC_READER *r)
{
  BYTE c;
  // Find the star that starts a keyword.
  for (;;) {
    if (!NextByte(r, &c)) return DESC_READ_EOF;
    if (Is(c, DESC_CC_LINE_END)) continue;
    if (c == '*') {
      DWORD startLine = r->lineNumber;
      if (!NextByte(r, &c)) return DESC_READ_EOF;
      if (c == '%') {
        if (!SkipPhysicalLine(r)) return DESC_READ_EOF;
        continue;
      }
      r->lineStart = startLine;
      break;
    }
    if (!SkipPhysicalLine(r)) return DESC_READ_EOF;
  }
  // Keyword.
  if (!Is(c, DESC_CC_KEYWORD)) return DESC_READ_MALFORMED;
  DWORD st = CollectRun<kRunKeyword>(r, &line->keyword, &c);
  if (st == DESC_READ_EOF) return DESC_READ_LINE;  // a keyword alone on the last line
  if (st != DESC_READ_LINE) return st;
  if (Is(c, DESC_CC_LINE_END)) return DESC_READ_LINE;
  // Up to two options, then the colon.
  DESC_TEXT_BUFFER *options[2] = {&line->option1, &line->option2};
  for (int i = 0;; ++i) {
    if (!SkipBlanks(r, &c)) return DESC_READ_MALFORMED;
    if (c == ':') break;
    if (i == 2 || !Is(c, DESC_CC_OPTION)) return DESC_READ_MALFORMED;
    st = CollectRun<kRunOption>(r, options[i], &c);
    if (st == DESC_READ_EOF) return DESC_READ_MALFORMED;
    if (st != DESC_READ_LINE) return st;
  }
  // Value.
  for (;;) {
    if (!NextByte(r, &c)) return DESC_READ_LINE;  // empty value on the last line
    if (!Is(c, DESC_CC_BLANK)) break;
  }
  return ReadValue(line, r, c);
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
// over). One read costs less than a mapping and its unmapping, which the emulated 32-bit
// build pays dearly for. NULL when the file is missing, unreadable or empty, or memory
// runs out.
BYTE *ReadWholeFile(LPCWSTR path, DWORD *size)
{
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  DWORD bytes = GetFileSize(file, nullptr);
  BYTE *text = nullptr;
  if (bytes != INVALID_FILE_SIZE && bytes != 0) text = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, bytes));
  DWORD got = 0;
  if (text && (!ReadFile(file, text, bytes, &got, nullptr) || got != bytes)) {
    GlobalFree(text);
    text = nullptr;
  }
  CloseHandle(file);
  *size = bytes;
  return text;
}

}  // namespace

DESC_READER *WINAPI DescReaderOpen(LPCWSTR path)
{
  DWORD size = 0;
  BYTE *text = path ? ReadWholeFile(path, &size) : nullptr;
  if (!text) return nullptr;
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

void WINAPI DescReaderClose(DESC_READER *reader)
{
  if (!reader) return;
  if (reader->base) GlobalFree(const_cast<BYTE *>(reader->base));
  MemFree(reader);
}

DWORD WINAPI DescReadByte(DESC_READER *reader, BYTE *out) { return NextByte(reader, out) ? 0 : 1; }

DESC_LINE *WINAPI DescLineCreate(void)
{
  DESC_LINE *line = static_cast<DESC_LINE *>(MemAllocZeroed(sizeof(DESC_LINE)));
  if (!line) return nullptr;
  if (!BufferInit(&line->keyword) || !BufferInit(&line->option1) || !BufferInit(&line->option2) ||
      !BufferInit(&line->value)) {
    DescLineFree(line);
    return nullptr;
  }
  return line;
}

void WINAPI DescLineFree(DESC_LINE *line)
{
  if (!line) return;
  BufferFree(&line->keyword);
  BufferFree(&line->option1);
  BufferFree(&line->option2);
  BufferFree(&line->value);
  MemFree(line);
}

DWORD WINAPI DescReadLine(DESC_LINE *line, DESC_READER *reader)
{
  BufferClear(&line->keyword);
  BufferClear(&line->option1);
  BufferClear(&line->option2);
  BufferClear(&line->value);
  reader->endedInside = DESC_OPEN_NONE;
  DWORD st = ReadLineBody(line, reader);
  Terminate(line);
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
