// Printer description text reader (see desc_reader.h).
#include "desc_reader.h"

#include "context.h"
#include "os.h"

namespace {

constexpr BYTE ClassOf(unsigned c) {
  BYTE bits = 0;
  const char* delimiters = "\"#$%&'()*,./:;<=>?{|}";
  if (c == '\t' || c == '\n' || c == '\r' || c == ' ') bits |= DESC_CC_DELIMITER;
  for (const char* d = delimiters; *d; ++d)
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
  constexpr ClassTable() : bits() {
    for (unsigned c = 0; c < 256; ++c) bits[c] = ClassOf(c);
  }
};
constexpr ClassTable kClasses;

inline bool Is(BYTE c, BYTE cls) { return (DESC_CHAR_CLASS[c] & cls) != 0; }

BOOL BufferInit(DESC_TEXT_BUFFER* b) {
  b->text = static_cast<char*>(MemAllocZeroed(DESC_TEXT_GROW + 1));
  if (!b->text) return FALSE;
  b->capacity = DESC_TEXT_GROW;
  b->length = 0;
  return TRUE;
}

void BufferFree(DESC_TEXT_BUFFER* b) {
  if (b->text) MemFree(b->text);
  b->text = nullptr;
  b->capacity = 0;
  b->length = 0;
}

void BufferClear(DESC_TEXT_BUFFER* b) {
  b->length = 0;
  b->text[0] = 0;
}

// Appends one byte, growing the block by DESC_TEXT_GROW bytes when it is full.
BOOL BufferAppend(DESC_TEXT_BUFFER* b, BYTE c) {
  if (b->length >= b->capacity) {
    if (b->capacity > 0xFFFFFFFFu - DESC_TEXT_GROW - 1) return FALSE;
    DWORD grown = b->capacity + DESC_TEXT_GROW;
    char* text = static_cast<char*>(MemAllocZeroed(grown + 1));
    if (!text) return FALSE;
    for (DWORD i = 0; i < b->length; ++i) text[i] = b->text[i];
    MemFree(b->text);
    b->text = text;
    b->capacity = grown;
  }
  b->text[b->length++] = static_cast<char>(c);
  return TRUE;
}

void Terminate(DESC_LINE* line) {
  line->keyword.text[line->keyword.length] = 0;
  line->option1.text[line->option1.length] = 0;
  line->option2.text[line->option2.length] = 0;
  line->value.text[line->value.length] = 0;
}

// Skips the rest of a physical line, up to and including its line end.
// Returns FALSE at the end of the file.
bool SkipPhysicalLine(DESC_READER* r) {
  BYTE c;
  for (;;) {
    if (DescReadByte(r, &c) != 0) return false;
    if (Is(c, DESC_CC_LINE_END)) return true;
  }
}

// Collects a run of bytes of class cls starting with *cur; *cur receives the first byte
// after the run. Returns 0 (run ended on a byte), 1 (end of file), 4 (no memory).
DWORD CollectRun(DESC_READER* r, DESC_TEXT_BUFFER* b, BYTE cls, BYTE* cur) {
  while (Is(*cur, cls)) {
    if (!BufferAppend(b, *cur)) return DESC_READ_NO_MEMORY;
    if (DescReadByte(r, cur) != 0) return DESC_READ_EOF;
  }
  return DESC_READ_LINE;
}

// Skips blanks starting at *cur. FALSE at the end of the file.
bool SkipBlanks(DESC_READER* r, BYTE* cur) {
  while (Is(*cur, DESC_CC_BLANK))
    if (DescReadByte(r, cur) != 0) return false;
  return true;
}

DWORD ReadValue(DESC_LINE* line, DESC_READER* r, BYTE c) {
  DESC_TEXT_BUFFER* v = &line->value;
  UINT acp = GetACP();
  bool quoted = false;
  DWORD parens = 0, braces = 0;
  for (;;) {
    if (!quoted && parens == 0 && braces == 0 && Is(c, DESC_CC_LINE_END)) return DESC_READ_LINE;
    if (!BufferAppend(v, c)) return DESC_READ_NO_MEMORY;
    if (IsDBCSLeadByteEx(acp, c)) {
      BYTE trail;
      if (DescReadByte(r, &trail) != 0) break;
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
      if (DescReadByte(r, &next) != 0) return DESC_READ_MALFORMED;
      if (Is(next, DESC_CC_LINE_END)) return DESC_READ_MALFORMED;
      if (!BufferAppend(v, next)) return DESC_READ_NO_MEMORY;
    }
    if (DescReadByte(r, &c) != 0) break;
  }
  // The file ended inside the value: a complete value is a line like any other, a value
  // left inside a quote, parenthesis or brace is a rejected line.
  return (quoted || parens != 0 || braces != 0) ? DESC_READ_MALFORMED : DESC_READ_LINE;
}

DWORD ReadLineBody(DESC_LINE* line, DESC_READER* r) {
  BYTE c;
  // Find the star that starts a keyword.
  for (;;) {
    if (DescReadByte(r, &c) != 0) return DESC_READ_EOF;
    if (Is(c, DESC_CC_LINE_END)) continue;
    if (c == '*') {
      DWORD startLine = r->lineNumber;
      if (DescReadByte(r, &c) != 0) return DESC_READ_EOF;
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
  DWORD st = CollectRun(r, &line->keyword, DESC_CC_KEYWORD, &c);
  if (st == DESC_READ_EOF) return DESC_READ_LINE;  // a keyword alone on the last line
  if (st != DESC_READ_LINE) return st;
  if (Is(c, DESC_CC_LINE_END)) return DESC_READ_LINE;
  // Up to two options, then the colon.
  DESC_TEXT_BUFFER* options[2] = {&line->option1, &line->option2};
  for (int i = 0;; ++i) {
    if (!SkipBlanks(r, &c)) return DESC_READ_MALFORMED;
    if (c == ':') break;
    if (i == 2 || !Is(c, DESC_CC_OPTION)) return DESC_READ_MALFORMED;
    st = CollectRun(r, options[i], DESC_CC_OPTION, &c);
    if (st == DESC_READ_EOF) return DESC_READ_MALFORMED;
    if (st != DESC_READ_LINE) return st;
  }
  // Value.
  for (;;) {
    if (DescReadByte(r, &c) != 0) return DESC_READ_LINE;  // empty value on the last line
    if (!Is(c, DESC_CC_BLANK)) break;
  }
  return ReadValue(line, r, c);
}

}  // namespace

extern "C" const BYTE DESC_CHAR_CLASS[256] = {
#define KV_ROW(n) kClasses.bits[n], kClasses.bits[n + 1], kClasses.bits[n + 2], kClasses.bits[n + 3], \
    kClasses.bits[n + 4], kClasses.bits[n + 5], kClasses.bits[n + 6], kClasses.bits[n + 7]
#define KV_ROW64(n) KV_ROW(n), KV_ROW(n + 8), KV_ROW(n + 16), KV_ROW(n + 24), KV_ROW(n + 32), \
    KV_ROW(n + 40), KV_ROW(n + 48), KV_ROW(n + 56)
    KV_ROW64(0), KV_ROW64(64), KV_ROW64(128), KV_ROW64(192)
#undef KV_ROW64
#undef KV_ROW
};

DESC_READER* WINAPI DescReaderOpen(LPCWSTR path) {
  const BYTE* base = nullptr;
  const BYTE* cursor = nullptr;
  DWORD size = 0;
  if (!FileMapReadOnly(path, &base, &cursor, &size)) return nullptr;
  DESC_READER* r = static_cast<DESC_READER*>(MemAllocZeroed(sizeof(DESC_READER)));
  if (!r) {
    UnmapViewOfFile(base);
    return nullptr;
  }
  r->base = base;
  r->cursor = cursor;
  r->remaining = size;
  r->lineNumber = 1;
  r->lineStart = 1;
  return r;
}

void WINAPI DescReaderClose(DESC_READER* reader) {
  if (!reader) return;
  if (reader->base) UnmapViewOfFile(reader->base);
  MemFree(reader);
}

DWORD WINAPI DescReadByte(DESC_READER* reader, BYTE* out) {
  if (reader->remaining == 0) return 1;
  --reader->remaining;
  BYTE c = *reader->cursor++;
  // The line number counts line ends; LF right after CR belongs to the same one.
  if (c == '\r' || (c == '\n' && reader->prevByte != '\r')) ++reader->lineNumber;
  reader->prevByte = c;
  *out = c;
  return 0;
}

DESC_LINE* WINAPI DescLineCreate(void) {
  DESC_LINE* line = static_cast<DESC_LINE*>(MemAllocZeroed(sizeof(DESC_LINE)));
  if (!line) return nullptr;
  if (!BufferInit(&line->keyword) || !BufferInit(&line->option1) || !BufferInit(&line->option2) ||
      !BufferInit(&line->value)) {
    DescLineFree(line);
    return nullptr;
  }
  return line;
}

void WINAPI DescLineFree(DESC_LINE* line) {
  if (!line) return;
  BufferFree(&line->keyword);
  BufferFree(&line->option1);
  BufferFree(&line->option2);
  BufferFree(&line->value);
  MemFree(line);
}

DWORD WINAPI DescReadLine(DESC_LINE* line, DESC_READER* reader) {
  BufferClear(&line->keyword);
  BufferClear(&line->option1);
  BufferClear(&line->option2);
  BufferClear(&line->value);
  DWORD st = ReadLineBody(line, reader);
  Terminate(line);
  return st;
}

DWORD WINAPI DescReadTextFileVersion(LPCWSTR path, WCHAR* out) {
  DESC_LINE* line = DescLineCreate();
  if (!line) return 1;
  DESC_READER* reader = DescReaderOpen(path);
  if (reader) {
    for (;;) {
      DWORD st = DescReadLine(line, reader);
      if (st == DESC_READ_EOF || st == DESC_READ_NO_MEMORY) break;
      if (st != DESC_READ_LINE) continue;
      const char* k = line->keyword.text;
      const char* want = "FileVersion";
      while (*k && *k == *want) ++k, ++want;
      if (*k || *want) continue;
      int len = static_cast<int>(line->value.length);
      WCHAR* wide = static_cast<WCHAR*>(MemAllocZeroed(static_cast<DWORD>(len + 1) * sizeof(WCHAR)));
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

int WINAPI DescHexDigitValue(BYTE c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 87;
  return c - 55;
}
