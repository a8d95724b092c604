// Printer description grammar: the parse state, the whole-file parse, the keyword table
// and line dispatch, section names, numbers and references, and the value scanners the
// keyword handlers share.
#include <stdarg.h>
#include <stdio.h>

#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "desc/desc_grammar_internal.h"
#include "os/mem_copy.h"

namespace descgrammar {

namespace {

void Report(DESC_PARSE_STATE *s, DWORD severity, const char *format, va_list args)
    __attribute__((format(printf, 3, 0)));
void Report(DESC_PARSE_STATE *s, DWORD severity, const char *format, va_list args)
{
  if (!s->sink || !s->sink->report) return;
  char message[512];
  vsnprintf(message, sizeof message, format, args);
  s->sink->report(s->sink->user, s->line, severity, message);
}

}  // namespace

BOOL Reject(DESC_PARSE_STATE *s, const char *format, ...)
{
  Books(s)->reported = true;
  va_list args;
  va_start(args, format);
  Report(s, DESC_DIAG_ERROR, format, args);
  va_end(args);
  return FALSE;
}

void Drop(DESC_PARSE_STATE *s, const char *format, ...)
{
  va_list args;
  va_start(args, format);
  Report(s, DESC_DIAG_ERROR, format, args);
  va_end(args);
}

void Warn(DESC_PARSE_STATE *s, const char *format, ...)
{
  va_list args;
  va_start(args, format);
  Report(s, DESC_DIAG_WARNING, format, args);
  va_end(args);
}

char *DupText(DESC_PARSE_STATE *s, const char *text)
{
  DWORD n = 0;
  while (text[n]) ++n;
  char *copy = static_cast<char *>(Alloc(s, n + 1));
  if (!copy) return nullptr;
  for (DWORD i = 0; i < n; ++i) copy[i] = text[i];
  return copy;
}

BOOL DescValueNextWord(DESC_TEXT_BUFFER *b, char *word)
{
  SkipSpace(b);
  word[0] = 0;
  if (Peek(b) == 0) return FALSE;
  if (Peek(b) == '*') ++b->length;
  DWORD n = 0;
  bool tooLong = false;
  for (char c; (c = Peek(b)) != 0 && !Is(c, DESC_CC_DELIMITER); ++b->length) {
    if (n + 1 < kWordSize)
      word[n++] = c;
    else
      tooLong = true;
  }
  word[n] = 0;
  if (tooLong) {
    word[0] = '\x01';
    word[1] = 0;
  }
  if (IsSpace(Peek(b))) ++b->length;
  return TRUE;
}

// Optional '-' and decimal digits at text[*pos]; *pos moves past them. FALSE (*pos
// unchanged) when no digit stands there; *overflow when the number does not fit in 32 bits.
BOOL DescScanSignedInt(const char *text, DWORD *pos, LONG *value, bool *overflow)
{
  *overflow = false;
  DWORD at = *pos;
  bool negative = false;
  if (text[at] == '-') negative = true, ++at;
  if (!Is(text[at], DESC_CC_DIGIT)) return FALSE;
  long long v = 0;
  while (Is(text[at], DESC_CC_DIGIT)) {
    v = v * 10 + (text[at] - '0');
    if (v > 0x80000000ll) *overflow = true, v = 0x80000000ll;
    ++at;
  }
  if (negative) v = -v;
  if (v > 0x7FFFFFFFll || v < -0x80000000ll) *overflow = true;
  *value = static_cast<LONG>(v);
  *pos = at;
  return TRUE;
}

BOOL DescValueNextInt(DESC_TEXT_BUFFER *b, LONG *value, bool *overflow)
{
  DWORD start = b->length;
  SkipSpace(b);
  DWORD pos = b->length;
  LONG v = 0;
  if (!DescScanSignedInt(b->text, &pos, &v, overflow) || *overflow) {
    b->length = start;
    return FALSE;
  }
  *value = v;
  b->length = pos;
  return TRUE;
}

namespace {

// The bytes DescDecodeQuoted looks at one by one; the others it takes in runs. rawStop:
// where the first pass, which measures the raw text, must look (the end, the closing quote,
// an escape). decodePlain: the bytes outside <hex> that are copied as they are.
// hexValue: DescHexDigitValue of each byte.
struct QuotedTables {
  bool rawStop[256];
  bool decodePlain[256];
  BYTE hexValue[256];
  constexpr QuotedTables() : rawStop(), decodePlain(), hexValue()
  {
    for (unsigned c = 0; c < 256; ++c) {
      rawStop[c] = c == 0 || c == '"' || c == '%';
      decodePlain[c] = !rawStop[c] && c != '\r' && c != '\n' && c != '<';
      hexValue[c] = static_cast<BYTE>(c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 87 : c - 55);
    }
  }
};
constexpr QuotedTables kQuoted;

inline bool QuotedRawStop(char c) { return kQuoted.rawStop[static_cast<BYTE>(c)]; }
inline bool QuotedPlain(char c) { return kQuoted.decodePlain[static_cast<BYTE>(c)]; }

// Position of the first byte at or after i that is not plain (decodePlain) or, with raw
// set, that the first pass stops at (rawStop). text can be read up to text[readable]: while
// 16 bytes from i lie within that, they are looked at together with SSE2.
template <bool raw>
inline DWORD QuotedRunEnd(const char *text, DWORD i, DWORD readable)
{
#if defined(__SSE2__)
  while (i <= readable && readable - i >= 15) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
    auto eq = [v](char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
    __m128i stop = _mm_or_si128(_mm_or_si128(eq(0), eq('"')), eq('%'));
    if (!raw) stop = _mm_or_si128(stop, _mm_or_si128(_mm_or_si128(eq('\r'), eq('\n')), eq('<')));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
    if (mask) return i + static_cast<DWORD>(__builtin_ctz(mask));
    i += 16;
  }
#else
  (void)readable;
#endif
  if (raw)
    while (!QuotedRawStop(text[i])) ++i;
  else
    while (QuotedPlain(text[i])) ++i;
  return i;
}

}  // namespace

// Decodes quoted text from text[*pos] (just after the opening quote) up to the closing
// quote: CR and LF dropped, <hex pairs> as bytes, % taking the next character literally.
// *pos moves past the closing quote, or to the end of the text when there is none.
// Answers a new NUL-terminated copy in the parse's memory, NULL when the decoded text is
// empty or memory is short (*noMemory set).
char *DescDecodeQuoted(DESC_PARSE_STATE *s, const char *text, DWORD readable, DWORD *pos, bool *noMemory)
{
  DWORD at = *pos;
  // The decoded text is never longer than the raw text up to the closing quote.
  DWORD raw = 0;
  for (;;) {
    raw = QuotedRunEnd<true>(text, at + raw, readable) - at;
    if (text[at + raw] != '%') break;
    if (text[at + raw + 1]) ++raw;
    ++raw;
  }
  char *out = static_cast<char *>(Alloc(s, raw + 1));
  *noMemory = out == nullptr;
  DWORD n = 0;
  bool hex = false;
  for (;;) {
    char c = text[at];
    if (!hex && QuotedPlain(c)) {
      // A run of bytes that stand for themselves.
      DWORD end = QuotedRunEnd<false>(text, at + 1, readable);
      if (out) {
        DWORD take = end - at;
        if (take > raw - n) take = raw - n;
        memcpy(out + n, text + at, take);
        n += take;
      }
      at = end;
      continue;
    }
    if (c == 0) break;
    if (c == '"') {
      ++at;
      break;
    }
    if (c == '\r' || c == '\n') {
      ++at;
      continue;
    }
    if (hex) {
      if (c == '>') {
        hex = false;
        ++at;
        continue;
      }
      BYTE c1 = static_cast<BYTE>(c), c2 = static_cast<BYTE>(text[at + 1]);
      if (Is(c, DESC_CC_DIGIT | DESC_CC_HEX_LETTER) && Is(static_cast<char>(c2), DESC_CC_DIGIT | DESC_CC_HEX_LETTER)) {
        if (out && n < raw) out[n++] = static_cast<char>(kQuoted.hexValue[c1] * 16 + kQuoted.hexValue[c2]);
        at += 2;
      } else {
        ++at;  // not the start of a pair
      }
      continue;
    }
    if (c == '<') {
      hex = true;
      ++at;
      continue;
    }
    if (c == '%' && text[at + 1]) {
      ++at;
      c = text[at];
    }
    if (out && n < raw) out[n++] = c;
    ++at;
  }
  *pos = at;
  if (out && n == 0) out = nullptr;  // its few bytes go back with the parse
  return out;
}

char *DescValueTakeText(DESC_PARSE_STATE *s, DESC_TEXT_BUFFER *b, char *after, bool *noMemory)
{
  *noMemory = false;
  if (after) *after = 0;
  const char *text = b->text;
  DWORD pos = b->length;
  while (text[pos] && text[pos] != '"') ++pos;
  if (!text[pos]) {
    b->length = pos;
    return nullptr;
  }
  ++pos;
  char *out = DescDecodeQuoted(s, text, b->capacity, &pos, noMemory);
  b->length = pos;
  if (after) *after = text[pos];
  return out;
}

WCHAR *DescValueTakeWideText(DESC_PARSE_STATE *s, DESC_TEXT_BUFFER *b, bool *noMemory)
{
  char *text = DescValueTakeText(s, b, nullptr, noMemory);
  if (!text) return nullptr;
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  WCHAR *wide = n > 0 ? static_cast<WCHAR *>(Alloc(s, static_cast<DWORD>(n) * sizeof(WCHAR))) : nullptr;
  if (wide) MultiByteToWideChar(CP_ACP, 0, text, -1, wide, n);
  if (!wide) *noMemory = true;
  return wide;
}

BOOL DescValueSkipPast(DESC_TEXT_BUFFER *b, char c)
{
  while (b->text[b->length] && b->text[b->length] != c) ++b->length;
  if (!b->text[b->length]) return FALSE;
  ++b->length;
  return TRUE;
}

namespace {

inline DWORD Load32(const char *p)
{
  DWORD w;
  memcpy(&w, p, 4);
  return w;
}

// A hash of the name; *length receives its length. A name of four bytes or more is hashed
// by four words of it, at its start, a quarter and half way in and at its end, whatever its
// length: the names of a description that share a prefix and a length (item and value
// names) differ at one of those places, and names that do not only cost a comparison. The
// four words are multiplied each on its own, so that the hash is ready in a few steps after
// the words are read: the lookup that waits for it waits little.
DWORD NameAnswerHash(const char *name, DWORD *length)
{
  DWORD n = static_cast<DWORD>(strlen(name));
  *length = n;
  DWORD h;
  if (n >= 4) {
    h = (Load32(name) * 0x9E3779B1u) ^ (Load32(name + n / 4) * 0x85EBCA77u) ^ (Load32(name + n / 2 - 2) * 0xC2B2AE3Du) ^
        (Load32(name + n - 4) * 0x27D4EB2Fu) ^ n;
  } else {
    h = n;
    for (DWORD i = 0; i < n; ++i) h = (h << 8) | static_cast<BYTE>(name[i]);
    h *= 0x9E3779B1u;
  }
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  return h ^ (h >> 12);
}

// Whether the first n bytes of a and b are the same: 16 at a time with SSE2, else four at a
// time, the last step overlapping the one before it so that no byte past n is read.
inline __attribute__((always_inline)) bool SameBytes(const char *a, const char *b, DWORD n)
{
#if defined(__SSE2__)
  if (n >= 16) {
    for (DWORD i = 0;; i += 16) {
      if (i + 16 > n) i = n - 16;
      __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
      __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
      if (_mm_movemask_epi8(_mm_cmpeq_epi8(x, y)) != 0xFFFF) return false;
      if (i + 16 >= n) return true;
    }
  }
#endif
  if (n >= 4) {
    for (DWORD i = 0; i + 4 < n; i += 4)
      if (Load32(a + i) != Load32(b + i)) return false;
    return Load32(a + n - 4) == Load32(b + n - 4);
  }
  for (DWORD i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

// The tag of a name's entry: never 0, which marks a free entry.
inline BYTE NameTag(DWORD hash) { return static_cast<BYTE>(hash >> 24) | 0x80u; }

// Doubles the table of answers (or makes its first 1024 entries, room for the names of a
// description of the usual size), entering every answer anew. FALSE when memory is short.
bool GrowNameAnswers(Bookkeeping *books)
{
  size_t capacity = books->nameCapacity ? books->nameCapacity * 2 : 1024;
  std::unique_ptr<BYTE[]> tags(new (std::nothrow) BYTE[capacity]());
  std::unique_ptr<NameAnswer[]> answers(new (std::nothrow) NameAnswer[capacity]);
  if (!tags || !answers) return false;
  size_t mask = capacity - 1;
  for (size_t k = 0; k < books->nameCapacity; ++k) {
    if (!books->nameTags[k]) continue;
    const NameAnswer &a = books->names[k];
    size_t i = a.hash & mask;
    while (tags[i]) i = (i + 1) & mask;
    tags[i] = books->nameTags[k];
    answers[i] = a;
  }
  books->nameTags.swap(tags);
  books->names.swap(answers);
  books->nameCapacity = capacity;
  ++books->nameTableGrowths;
  return true;
}

// A copy of the name's n bytes and a terminator in the name blocks; throws std::bad_alloc.
const char *KeepName(Bookkeeping *books, const char *name, DWORD n)
{
  constexpr size_t kBlock = 4096;
  if (books->nameRoom < n + 1) {
    size_t size = n + 1 > kBlock ? n + 1 : kBlock;
    books->nameBlocks.reserve(books->nameBlocks.size() + 1);
    books->nameBlocks.emplace_back(new char[size]);
    books->nameNext = books->nameBlocks.back().get();
    books->nameRoom = size;
  }
  char *copy = books->nameNext;
  MemCopyWords(copy, name, n);
  copy[n] = 0;
  books->nameNext += n + 1;
  books->nameRoom -= n + 1;
  return copy;
}

// The remembered answers for name, entered empty on first sight; NULL when memory is
// short (the caller then asks the names table itself).
NameAnswer *AnswerFor(DESC_PARSE_STATE *s, const char *name)
{
  Bookkeeping *books = Books(s);
  DWORD length;
  DWORD hash = NameAnswerHash(name, &length);
  // The table holds at most half as many answers as entries.
  if ((books->nameCount + 1) * 2 > books->nameCapacity && !GrowNameAnswers(books)) return nullptr;
  size_t mask = books->nameCapacity - 1;
  BYTE *tags = books->nameTags.get();
  NameAnswer *table = books->names.get();
  BYTE tag = NameTag(hash);
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    if (tags[i] != tag) {
      if (tags[i]) continue;
      NameAnswer &a = table[i];
      if (length >= kShortName) {
        try {
          a.longName = KeepName(books, name, length);
        } catch (...) {
          return nullptr;
        }
      } else {
        memcpy(a.shortName, name, length);
        a.shortName[length] = 0;
      }
      a.hash = hash;
      a.length = length;
      a.symbol = nullptr;
      a.value = nullptr;
      a.haveSymbol = a.haveValue = false;
      tags[i] = tag;
      ++books->nameCount;
      return &a;
    }
    NameAnswer &a = table[i];
    if (a.hash == hash && a.length == length && SameBytes(a.Name(), name, length)) return &a;
  }
}

}  // namespace

const SYMBOL_ENTRY *FindSymbol(DESC_PARSE_STATE *s, const char *name)
{
  Bookkeeping *books = Books(s);
  books->symbolAskedName = nullptr;
  if (!name[0]) return nullptr;
  NameAnswer *a = AnswerFor(s, name);
  if (!a) return ItemFindSymbolByName(name);
  if (!a->haveSymbol) {
    a->symbol = ItemFindSymbolByName(name);
    a->haveSymbol = true;
  }
  books->symbolAskedName = name;
  books->symbolAskedAnswer = static_cast<size_t>(a - books->names.get());
  books->symbolAskedGrowths = books->nameTableGrowths;
  return a->symbol;
}

namespace {

const VALUE_SYMBOL *ValueOf(NameAnswer *a, const char *name)
{
  if (!a->haveValue) {
    a->value = ItemFindValueSymbolByName(name);
    a->haveValue = true;
  }
  return a->value;
}

}  // namespace

const VALUE_SYMBOL *FindValue(DESC_PARSE_STATE *s, const char *name)
{
  if (!name[0]) return nullptr;
  NameAnswer *a = AnswerFor(s, name);
  return a ? ValueOf(a, name) : ItemFindValueSymbolByName(name);
}

const VALUE_SYMBOL *FindValueAfterSymbol(DESC_PARSE_STATE *s, const char *name)
{
  Bookkeeping *books = Books(s);
  if (name != books->symbolAskedName || books->symbolAskedGrowths != books->nameTableGrowths ||
      books->symbolAskedAnswer >= books->nameCapacity)
    return FindValue(s, name);
  books->symbolAskedName = nullptr;
  return ValueOf(&books->names[books->symbolAskedAnswer], name);
}
DRIVER_CONTEXT *Names(DESC_PARSE_STATE *s) { return s->names ? s->names : CtxGetTemplate(); }

bool IndexNode(DESC_PARSE_STATE *s, DESC_ITEM_NODE *node)
{
  Bookkeeping *books = Books(s);
  DWORD both = static_cast<DWORD>(node->key) << 16 | node->variant;
  try {
    books->baseByKey.Reserve();
    books->nodeByKeyVariant.Reserve();
  } catch (...) {
    return false;
  }
  bool added;
  books->baseByKey.Enter(node->key, node, &added);
  books->nodeByKeyVariant.Enter(both, node, &added);
  return true;
}

void *EnsureRecord(DESC_PARSE_STATE *s, DESC_ITEM_NODE *node, Shape shape)
{
  Bookkeeping *books = Books(s);
  if (node->values) {
    Shape *known = books->records.Find(reinterpret_cast<ULONG_PTR>(node->values));
    return (known && *known == shape) ? node->values : nullptr;
  }
  DWORD size = 0;
  switch (shape) {
    case kShapeBoolean: size = sizeof(DESC_BOOLEAN_VALUE); break;
    case kShapeNumeric: size = sizeof(DESC_NUMERIC_VALUE); break;
    case kShapeString: size = sizeof(DESC_STRING_VALUE); break;
    default: return nullptr;  // lists are created by their first value node
  }
  void *record = Alloc(s, size);
  if (!record) return nullptr;
  try {
    books->records.Reserve();
  } catch (...) {
    return nullptr;
  }
  bool added;
  books->records.Enter(reinterpret_cast<ULONG_PTR>(record), shape, &added);
  node->values = record;
  return record;
}

}  // namespace descgrammar

using namespace descgrammar;

namespace {

struct KeywordRow {
  const char *name;
  Handler handler;
};

const KeywordRow kKeywords[] = {
    {"FileVersion", OnFileVersion},
    {"OpenUI", OnOpenUI},
    {"CloseUI", OnCloseUI},
    {"NumericValue", OnNumericValue},
    {"StringValue", OnStringValue},
    {"PageValue", OnPageValue},
    {"PageMMValue", OnPageMMValue},
    {"SlotPaper", OnSlotPaper},
    {"OptionCommand", OnOptionCommand},
    {"CommandGroup", OnCommandGroup},
    {"DeviceFonts", OnDeviceFonts},
    {"FontCartridge", OnFontCartridge},
    {"TTFS", OnTTFS},
    {"CommandString", OnCommandString},
    {"Judge", OnJudge},
    {"Item", OnItem},
    {"Action", OnAction},
    {"Transact", OnTransact},
    {"AlertAction", OnAlertAction},
    {"Alert", OnAlert},
    {"Exclusive", OnExclusive},
    {"UIResDLLName", OnUIResDLLName},
    {"ExcDepDLLName", OnExcDepDLLName},
};
constexpr DWORD kKeywordCount = sizeof(kKeywords) / sizeof(kKeywords[0]);

// Reads and dispatches every line of reader into state.
DWORD ParseLines(DESC_PARSE_STATE *state, DESC_LINE *line, DESC_READER *reader)
{
  DWORD status = DESC_READ_LINE;
  while (status == DESC_READ_LINE || status == DESC_READ_MALFORMED) {
    status = DescReadLine(line, reader);
    if (status == DESC_READ_LINE) {
      state->line = reader->lineStart;
      status = DescDispatchLine(state, line);
    } else if (status == DESC_READ_MALFORMED) {
      state->line = reader->lineStart;
      ++state->rejectedLines;
      Books(state)->reported = false;
      static const char *const kOpen[] = {"", "a quote", "a parenthesis", "a brace"};
      if (reader->endedInside != DESC_OPEN_NONE && reader->endedInside < 4)
        Reject(state, "malformed line: '%.40s' is lost: the file ends inside %s that the line opened",
               line->keyword.text, kOpen[reader->endedInside]);
      else
        Reject(state, "malformed line: '%.40s' stops at an unexpected character (quote, bracket or colon)",
               line->keyword.text);
    }
  }
  return status;
}

// Parses every line of reader, which it closes.
DESC_PARSE_STATE *ParseWith(DESC_READER *reader, const DESC_DIAG_SINK *sink)
{
  DESC_LINE *line = DescLineCreate();
  DESC_PARSE_STATE *state = line ? DescParseStateCreate() : nullptr;
  if (!line || !state || !reader) {
    if (line) DescLineFree(line);
    if (state) DescParseStateFree(state);
    DescReaderClose(reader);
    return nullptr;
  }
  state->sink = sink;
  DescInitSectionNames(state);
  DWORD status = ParseLines(state, line, reader);
  // An item still open at the end (its CloseUI line lost or malformed) is closed here, so
  // that its default becomes a position in its value list as at a CloseUI line; left as a
  // value ID it would point past the end of the list.
  if (status == DESC_READ_EOF && state->openName) {
    Warn(state, "item '%.64s' is not closed at the end of the file; closed there", state->openName);
    OnCloseUI(state, line);
  }
  if (status == DESC_READ_EOF) {
    state->line = 0;
    DropOffPaperAreas(state);
  }
  DescFreeSectionNames(state);
  DescReaderClose(reader);
  DescLineFree(line);
  if (status != DESC_READ_EOF) {
    if (sink && sink->report)
      sink->report(sink->user, 0, DESC_DIAG_ERROR, "out of memory while reading the description");
    DescParseStateFree(state);
    return nullptr;
  }
  state->line = 0;
  return state;
}

}  // namespace

DESC_PARSE_STATE *WINAPI DescParseStateCreate(void)
{
  auto *state = static_cast<DESC_PARSE_STATE *>(MemAllocZeroed(sizeof(DESC_PARSE_STATE)));
  if (!state) return nullptr;
  state->header = static_cast<DESC_HEADER *>(MemAllocZeroed(sizeof(DESC_HEADER)));
  state->internal = new (std::nothrow) Bookkeeping();
  if (!state->header || !state->internal) {
    MemFree(state->header);
    delete static_cast<Bookkeeping *>(state->internal);
    MemFree(state);
    return nullptr;
  }
  return state;
}

void WINAPI DescParseStateFree(DESC_PARSE_STATE *state)
{
  if (!state) return;
  // Every node, text and list of the parse is in its arena; the section-name lists are
  // emptied first so that no list of the state points into freed memory.
  DescFreeSectionNames(state);
  Bookkeeping *books = Books(state);
  if (books) DescArenaFree(&books->arena);
  MemFree(state->header);
  delete books;
  MemFree(state);
}

void WINAPI DescParseStateSetBlockSize(DESC_PARSE_STATE *state, DWORD blockBytes)
{
  if (state && state->internal) Books(state)->arena.blockBytes = blockBytes;
}

DESC_PARSE_STATE *WINAPI DescParseFile(LPCWSTR path) { return DescParseFileEx(path, nullptr); }

DESC_PARSE_STATE *WINAPI DescParseFileEx(LPCWSTR path, const DESC_DIAG_SINK *sink)
{
  DESC_READER *reader = path ? DescReaderOpen(path) : nullptr;
  if (!reader) {
    if (sink && sink->report) sink->report(sink->user, 0, DESC_DIAG_ERROR, "cannot open the description file");
    return nullptr;
  }
  return ParseWith(reader, sink);
}

DESC_PARSE_STATE *WINAPI DescParseTextEx(const char *text, DWORD size, const DESC_DIAG_SINK *sink)
{
  // The reader works on a copy of its own: it ends the parts of each line in place.
  return ParseWith(DescReaderOpenText(text, size), sink);
}

namespace {

// Whether the line's keyword is the open item's name, many bytes at a time: the keyword can
// be read up to its capacity, so its byte at the name's length can be read, and it ends
// there exactly when the keyword has the name's length (the name holds no NUL). The length
// of the name is measured once for each name opened.
bool SameAsOpenName(Bookkeeping *books, const DESC_LINE *line, const char *name)
{
  if (name != books->openNameMeasured) {
    books->openNameMeasured = name;
    books->openNameLength = static_cast<DWORD>(strlen(name));
  }
  DWORD n = books->openNameLength;
  if (n > line->keyword.capacity || line->keyword.text[n] != 0) return false;
  return SameBytes(line->keyword.text, name, n);
}

// The row of the keyword table that names keyword, kKeywordCount when none does. The first
// byte is compared before the whole name.
DWORD KeywordRow(const char *keyword)
{
  for (DWORD i = 0; i < kKeywordCount; ++i)
    if (kKeywords[i].name[0] == keyword[0] && Same(keyword, kKeywords[i].name)) return i;
  return kKeywordCount;
}

}  // namespace

DWORD WINAPI DescDispatchLine(DESC_PARSE_STATE *state, DESC_LINE *line)
{
  if (!state || !line) return DESC_READ_MALFORMED;
  Bookkeeping *books = Books(state);
  books->reported = false;
  const char *keyword = line->keyword.text;
  BOOL ok;
  if (state->openName && SameAsOpenName(books, line, state->openName)) {
    ok = OnOptionLine(state, line);
  } else if (state->openName && StartsWith(keyword, "Default") && Same(keyword + 7, state->openName)) {
    ok = OnDefaultLine(state, line);
  } else {
    DWORD row;
    if (state->lastRow && state->lastRow <= kKeywordCount && Same(keyword, kKeywords[state->lastRow - 1].name))
      row = state->lastRow - 1;
    else
      row = KeywordRow(keyword);
    if (row == kKeywordCount) {
      state->lastRow = 0;
      ++state->rejectedLines;
      Reject(state, "unknown keyword '%.64s'", keyword);
      return DESC_READ_MALFORMED;
    }
    state->lastRow = row + 1;
    line->keyword.length = 0;
    line->option1.length = 0;
    line->option2.length = 0;
    line->value.length = 0;
    ok = kKeywords[row].handler(state, line);
  }
  if (ok) return DESC_READ_LINE;
  ++state->rejectedLines;
  if (!books->reported) Reject(state, "'%.64s' line rejected", keyword);
  return DESC_READ_MALFORMED;
}

namespace {

// Empties the name indexes of a state (the lists themselves are the caller's).
void ForgetSectionNames(DESC_PARSE_STATE *state)
{
  Bookkeeping *books = Books(state);
  if (!books) return;
  for (auto &index : books->sectionNumberByName) index.clear();
  for (DESC_SECTION_NAME *&last : books->sectionNameTail) last = nullptr;
}

}  // namespace

void WINAPI DescInitSectionNames(DESC_PARSE_STATE *state)
{
  if (!state) return;
  for (DESC_SECTION_NAME *&head : state->sectionNames) head = nullptr;
  ForgetSectionNames(state);
}

void WINAPI DescFreeSectionNames(DESC_PARSE_STATE *state)
{
  if (!state) return;
  // The names are in the parse's memory, which goes back with the state.
  ForgetSectionNames(state);
  for (DESC_SECTION_NAME *&head : state->sectionNames) head = nullptr;
}

BOOL WINAPI DescAddSectionName(DESC_PARSE_STATE *state, DWORD kind, const char *name, DWORD number)
{
  if (!state || kind >= DESC_SECTION_NAME_KINDS || !name) return FALSE;
  auto *entry = static_cast<DESC_SECTION_NAME *>(Alloc(state, sizeof(DESC_SECTION_NAME)));
  char *copy = entry ? DupText(state, name) : nullptr;
  if (!copy) return FALSE;
  entry->name = copy;
  entry->number = number;
  // The first entry of a name answers for it; a later one is listed but not indexed.
  Bookkeeping *books = Books(state);
  try {
    books->sectionNumberByName[kind].emplace(std::string_view(copy), number);
  } catch (...) {
    return FALSE;
  }
  DESC_SECTION_NAME **tail = TailOf(&state->sectionNames[kind], books->sectionNameTail[kind]);
  *tail = entry;
  books->sectionNameTail[kind] = entry;
  return TRUE;
}

DWORD WINAPI DescFindSectionNumber(const DESC_PARSE_STATE *state, DWORD kind, const char *name)
{
  if (!state || kind >= DESC_SECTION_NAME_KINDS || !name) return 0;
  const auto *books = static_cast<const Bookkeeping *>(state->internal);
  const auto &index = books->sectionNumberByName[kind];
  if (index.empty()) return 0;
  auto it = index.find(std::string_view(name));
  return it != index.end() ? it->second : 0;
}

namespace {

// What each byte is to a number word: where it ends (NUL, blank, tab, '='), a minus, a
// digit, or another byte, which is passed over.
enum NumberByte : BYTE { kNumberEnd, kNumberOther, kNumberMinus, kNumberDigit };
struct NumberTable {
  BYTE kind[256];
  constexpr NumberTable() : kind()
  {
    for (unsigned c = 0; c < 256; ++c)
      kind[c] = c == 0 || c == ' ' || c == '\t' || c == '=' ? kNumberEnd
                : c == '-'                                  ? kNumberMinus
                : c >= '0' && c <= '9'                      ? kNumberDigit
                                                            : kNumberOther;
  }
};
constexpr NumberTable kNumberBytes;

}  // namespace

BOOL WINAPI DescParseNumberChecked(const char *word, LONG *value)
{
  // 32-bit arithmetic: a magnitude above 0x80000000 fails whatever follows it.
  DWORD v = 0;
  bool negative = false, overflow = false;
  for (const char *p = word;; ++p) {
    BYTE kind = kNumberBytes.kind[static_cast<BYTE>(*p)];
    if (kind == kNumberDigit) {
      DWORD digit = static_cast<DWORD>(*p - '0');
      if (v > 214748364u || (v == 214748364u && digit > 8))
        overflow = true;
      else if (!overflow)
        v = v * 10 + digit;
    } else if (kind == kNumberMinus) {
      negative = true;
    } else if (kind == kNumberEnd) {
      break;
    }
  }
  if (overflow || (!negative && v > 0x7FFFFFFFu)) return FALSE;
  *value = negative ? static_cast<LONG>(0u - v) : static_cast<LONG>(v);
  return TRUE;
}

LONG WINAPI DescParseNumber(const char *word)
{
  LONG v = 0;
  return word && DescParseNumberChecked(word, &v) ? v : 0;
}

namespace descgrammar {

DWORD ParseReference(const char *word, bool *numberOk, LONG *number)
{
  static const struct {
    const char *prefix;
    DWORD length;
    DWORD code;
  } kPrefixes[] = {{"Judge", 5, DESC_REF_JUDGE},
                   {"Item", 4, DESC_REF_ITEM},
                   {"Action", 6, DESC_REF_ACTION},
                   {"Transact", 8, DESC_REF_TRANSACT},
                   {"AlertAction", 11, DESC_REF_ALERT_ACTION},
                   {"Alert", 5, DESC_REF_ALERT},
                   {"NULL", 4, 0}};
  *numberOk = false;
  *number = 0;
  if (!word) return 0;
  // Every prefix begins with a capital A, I, J, N or T: any other word is a name. The
  // prefixes are tried in table order from the first that begins with the word's letter.
  size_t from;
  switch (word[0]) {
    case 'J': from = 0; break;
    case 'I': from = 1; break;
    case 'A': from = 2; break;
    case 'T': from = 3; break;
    case 'N': from = 6; break;
    default: return DESC_REF_NAME;
  }
  char first = word[0];
  for (size_t i = from; i < sizeof kPrefixes / sizeof kPrefixes[0]; ++i) {
    const auto &p = kPrefixes[i];
    if (p.prefix[0] == first && StartsWith(word, p.prefix)) {
      if (!p.code) return 0;
      // The prefix is letters, which DescParseNumberChecked passes over: the number is read
      // from the byte after it.
      LONG v = 0;
      *numberOk = DescParseNumberChecked(word + p.length, &v) != FALSE;
      if (*numberOk) *number = v;
      return p.code | (static_cast<DWORD>(*numberOk ? v : 0) & 0xFFFFu);
    }
  }
  return DESC_REF_NAME;
}

}  // namespace descgrammar

DWORD WINAPI DescParseReference(const char *word)
{
  bool numberOk;
  LONG number;
  return ParseReference(word, &numberOk, &number);
}

DWORD WINAPI DescValueNodeSize(WORD type)
{
  switch (ListShapeFor(type)) {
    case kShapePageList: return sizeof(DESC_PAGE_VALUE_NODE);
    case kShapeSlotList: return sizeof(DESC_SLOT_VALUE_NODE);
    case kShapeFontList: return sizeof(DESC_FONT_VALUE_NODE);
    default: return sizeof(DESC_VALUE_NODE);
  }
}

DWORD WINAPI StrIsAllDigits(const char *text)
{
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return 0;
  return 1;
}

DWORD WINAPI StrIsAlnum(const char *text)
{
  for (; *text; ++text) {
    char c = *text;
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return 0;
  }
  return 1;
}
