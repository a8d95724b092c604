// Item keywords of the printer description: OpenUI / CloseUI, option and Default lines,
// the Numeric and String records, paper geometry, slot papers, font substitutions and
// option command texts.
#include <vector>

#include "desc/desc_grammar_internal.h"
#include "desc/desc_limits.h"

namespace descgrammar {
namespace {

struct Word {
  const char *text;
  WORD value;
};

const Word kItemTypes[] = {{"PickOne", 1},       {"PickMany", 2},        {"Boolean", 4},      {"Numeric", 8},
                           {"String", 0x10},     {"PickPage", 0x101},    {"PickSlot", 0x201}, {"FontTbl", 0x401},
                           {"Identity", 0x1000}, {"TypeUnknown", 0x2000}};
const Word kCharSets[] = {{"MultiByte", 1}, {"ASCII", 2}, {"Numeric", 4}, {"Capital", 8}, {"Small", 0x10}};
const Word kDisplayFlags[] = {{"Password", 0x100}, {"ShowCapital", 0x200}, {"ShowSmall", 0x400}};

template <size_t N>
WORD Lookup(const Word (&table)[N], const char *word, WORD unlisted)
{
  for (const Word &w : table)
    if (Same(w.text, word)) return w.value;
  return unlisted;
}

const char *TypeName(WORD type)
{
  WORD t = type & ~DESC_TYPE_FLAGS;
  for (const Word &w : kItemTypes)
    if (w.value == t) return w.text;
  return "a mixed type";
}

// Name of the open item for messages.
const char *OpenName(DESC_PARSE_STATE *s) { return s->openName ? s->openName : "?"; }

// The base item (first node with the open key), NULL when no item is open.
DESC_ITEM_NODE *OpenBase(DESC_PARSE_STATE *s) { return s->openName ? FindNode(s, s->openKey) : nullptr; }

void EnterSlot(DESC_HEADER *h, DESC_ITEM_NODE *node)
{
  WORD id = node->itemId;
  if (id >= 1 && id <= 600)
    h->slotsLow[id - 1] = node;
  else if (id >= 10001 && id <= 10385)
    h->slotsExtended[id - 10001] = node;
  else if (id >= 601 && id <= 1270)
    h->slotsHigh[id - 601] = node;
}

// Strict signed decimal of a whole word.
bool WholeInt(const char *word, LONG *value)
{
  const char *p = word;
  if (*p == '-') ++p;
  if (!*p || !StrIsAllDigits(p)) return false;
  return DescParseNumberChecked(word, value) != FALSE;
}

bool IsListShape(Shape shape) { return shape >= kShapeList && shape <= kShapeFontList; }

inline Shape RecordShape(DESC_PARSE_STATE *s, const void *values)
{
  Shape *known = Books(s)->records.Find(reinterpret_cast<ULONG_PTR>(values));
  return known ? *known : static_cast<Shape>(0);
}

// Appends a value node to the base item's list unless the list holds that value already.
// command is in the parse's memory. FALSE when memory was short (nothing reported).
bool AddValueNode(DESC_PARSE_STATE *s, DESC_ITEM_NODE *base, WORD valueId, char *command, const char *name)
{
  Shape shape = ListShapeFor(base->type);
  if (base->values && RecordShape(s, base->values) != shape) {
    Warn(s, "value '%s' ignored: item '%s' shares value data of another shape", name, OpenName(s));
    return true;
  }
  DESC_VALUE_NODE *last = nullptr;
  for (auto *v = static_cast<DESC_VALUE_NODE *>(base->values); v; v = v->next) {
    if (v->valueId == valueId) {
      Warn(s, "value '%s' of item '%s' is listed again; the first definition stays", name, OpenName(s));
      return true;
    }
    last = v;
  }
  auto *node = static_cast<DESC_VALUE_NODE *>(Alloc(s, DescValueNodeSize(base->type)));
  if (!node) return false;
  node->valueId = valueId;
  node->command = command;
  if (last) {
    last->next = node;
    return true;
  }
  try {
    Books(s)->records.Reserve();
  } catch (...) {
    return false;
  }
  bool added;
  Books(s)->records.Enter(reinterpret_cast<ULONG_PTR>(node), shape, &added);
  base->values = node;
  return true;
}

// The value node named by option 2 of a paper or font keyword, in the base item's list
// of the given type. Reports why when there is none.
// The open base item for a keyword that only fits items of one type; NULL with a warning
// when no item is open, NULL with *reject set and the line reported when the type differs.
DESC_ITEM_NODE *TypedBase(DESC_PARSE_STATE *s, const char *keyword, WORD type, BOOL *reject)
{
  *reject = FALSE;
  DESC_ITEM_NODE *base = OpenBase(s);
  if (!base) {
    Warn(s, "%s outside an OpenUI/CloseUI pair ignored", keyword);
    return nullptr;
  }
  if ((base->type & ~DESC_TYPE_FLAGS) != type) {
    *reject = Reject(s, "%s needs a %s item; item '%s' is %s", keyword, TypeName(type), OpenName(s),
                     TypeName(base->type)) == FALSE;
    return nullptr;
  }
  return base;
}

DESC_VALUE_NODE *NamedValueNode(DESC_PARSE_STATE *s, DESC_LINE *line, WORD type, BOOL *reject)
{
  const char *keyword = line->keyword.text;
  DESC_ITEM_NODE *base = TypedBase(s, keyword, type, reject);
  if (!base) return nullptr;
  if (!line->option2.text[0] || !line->value.text[0]) {
    Warn(s, "%s needs a value name and a value; line ignored", keyword);
    return nullptr;
  }
  const VALUE_SYMBOL *vs = FindValue(s, line->option2.text);
  if (!vs) {
    Warn(s, "%s: unknown value '%s'", keyword, line->option2.text);
    return nullptr;
  }
  if (RecordShape(s, base->values) != ListShapeFor(type)) {
    Warn(s, "%s: item '%s' has no value '%s'", keyword, OpenName(s), line->option2.text);
    return nullptr;
  }
  for (auto *v = static_cast<DESC_VALUE_NODE *>(base->values); v; v = v->next)
    if (v->valueId == vs->valueId) return v;
  Warn(s, "%s: item '%s' has no value '%s'", keyword, OpenName(s), line->option2.text);
  return nullptr;
}

// Reads up to count signed decimals separated by blanks, stopping at the closing quote
// or the end. A field that is not a number, or a number that does not fit in 32 bits,
// rejects the line (FALSE, after reporting); with dropped given it is reported and dropped
// alone instead: it reads as 0, dropped[i] is set, and reading goes on after it.
BOOL ReadQuotedNumbers(DESC_PARSE_STATE *s, DESC_TEXT_BUFFER *b, LONG *out, DWORD count, DWORD *read,
                       const char *keyword, bool *dropped = nullptr)
{
  *read = 0;
  while (*read < count) {
    SkipSpace(b);
    char c = Peek(b);
    if (c == '"' || c == 0) break;
    LONG v;
    bool overflow;
    if (!DescValueNextInt(b, &v, &overflow)) {
      if (!dropped) {
        if (overflow) return Reject(s, "%s: number too large", keyword);
        return Reject(s, "%s: '%c' where a number was expected", keyword, c);
      }
      char token[33];
      DWORD n = 0;
      for (char t; (t = Peek(b)) != 0 && t != '"' && !IsSpace(t); ++b->length)
        if (n + 1 < sizeof token) token[n++] = t;
      token[n] = 0;
      Drop(s, "%s: number %lu '%s' is %s; that field is dropped", keyword, static_cast<unsigned long>(*read + 1), token,
           overflow ? "too large" : "not a number");
      dropped[*read] = true;
      out[(*read)++] = 0;
      continue;
    }
    out[(*read)++] = v;
    if (Peek(b) == '"') break;
  }
  return TRUE;
}

// Skips the rest of a word that is not what the field wanted: up to a blank, a line end, a
// quote, a '|' or the end.
void SkipToken(DESC_TEXT_BUFFER *b)
{
  for (char c; (c = Peek(b)) != 0 && c != '"' && c != '|' && !IsSpace(c);) ++b->length;
}

bool InShort(LONG v) { return v >= -32768 && v <= 32767; }

}  // namespace

}  // namespace descgrammar

using namespace descgrammar;

WORD WINAPI DescParseItemType(const char *value, char *identityName)
{
  if (identityName) identityName[0] = 0;
  if (!value) return 1;
  char word[16];
  DWORD pos = 0, n = 0;
  bool tooLong = false;
  while (value[pos] && value[pos] != '|' && !IsSpace(value[pos])) {
    if (n < 15)
      word[n++] = value[pos];
    else
      tooLong = true;
    ++pos;
  }
  word[n] = 0;
  WORD type = tooLong ? 1 : Lookup(kItemTypes, word, 1);
  if (!tooLong && Same(word, "Identity")) {
    while (IsSpace(value[pos])) ++pos;
    if (value[pos] == '*' && identityName) {
      ++pos;
      DWORD k = 0;
      while (value[pos] && !IsSpace(value[pos]) && k < 63) identityName[k++] = value[pos++];
      identityName[k] = 0;
    }
    return type;
  }
  while (value[pos] && value[pos] != '|') ++pos;
  if (value[pos] == '|') {
    ++pos;
    while (IsSpace(value[pos])) ++pos;
    n = 0;
    tooLong = false;
    while (value[pos] && value[pos] != '|' && !IsSpace(value[pos])) {
      if (n < 15)
        word[n++] = value[pos];
      else
        tooLong = true;
      ++pos;
    }
    word[n] = 0;
    type = static_cast<WORD>(type | (tooLong ? 1 : Lookup(kItemTypes, word, 1)));
  }
  return type;
}

namespace {

// The type words an OpenUI line can give, one bit each.
struct TypeWords {
  DWORD bits[65536 / 32] = {};
  TypeWords()
  {
    // One name, or two joined by '|' (an unknown name reads as PickOne)...
    for (const Word &a : kItemTypes)
      for (const Word &b : kItemTypes) Add((WORD)(a.value | b.value));
    // ...and an Identity item takes the type of the item it names, which may be anything
    // above (or nothing, when that item is unknown or has no node yet).
    for (DWORD t = 0; t < 65536; ++t)
      if (Has((WORD)t)) Add((WORD)(t | DESC_TYPE_IDENTITY));
  }
  void Add(WORD w) { bits[w >> 5] |= 1u << (w & 31); }
  bool Has(WORD w) const { return (bits[w >> 5] >> (w & 31)) & 1u; }
};

}  // namespace

BOOL WINAPI DescIsItemTypeWord(WORD type)
{
  static const TypeWords words;
  return words.Has(type) ? TRUE : FALSE;
}

BOOL WINAPI DescIsCharSetWord(WORD charSet)
{
  if (charSet == 0) return TRUE;
  for (const Word &w : kCharSets)
    if (w.value == charSet) return TRUE;
  return FALSE;
}

BOOL WINAPI DescIsDisplayWord(WORD display)
{
  if (display == 0) return TRUE;
  for (const Word &w : kDisplayFlags)
    if (w.value == display) return TRUE;
  return FALSE;
}

namespace descgrammar {

BOOL OnOpenUI(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  if (s->openName) return Reject(s, "OpenUI while item '%s' is open", s->openName);
  const char *option = line->option1.text;
  if (option[0] != '*') return Reject(s, "OpenUI needs the item as '*name', not '%.64s'", option);
  const SYMBOL_ENTRY *sym = FindSymbol(s, option + 1);
  if (!sym) return Reject(s, "OpenUI: unknown item '%.64s'", option + 1);
  DESC_ITEM_NODE *base = FindNode(s, sym->key);
  DESC_ITEM_NODE node = {};
  bool variant = false;
  if (line->option2.text[0] && base) {
    // An Identity node's variant field holds the key of the item it shares in the block,
    // so a copy of it has no field left for a variant number: its number would be read
    // as another item's key.
    if (base->type & DESC_TYPE_IDENTITY)
      return Reject(s, "OpenUI: item '%s' is an Identity item and takes no variant lines ('%.32s')", sym->name,
                    line->option2.text);
    LONG v;
    if (!WholeInt(line->option2.text, &v) || !InShort(v))
      return Reject(s, "OpenUI: variant '%.32s' of item '%s' is not a number from -32768 to 32767", line->option2.text,
                    sym->name);
    if (v == 0)
      return Reject(s, "OpenUI: variant 0 of item '%s' (variants are numbered, 0 is the base item)", sym->name);
    if (FindNode(s, sym->key, static_cast<WORD>(v)))
      Warn(s, "variant %ld of item '%s' is defined again; later lines act on the first", static_cast<long>(v),
           sym->name);
    node = *base;
    node.next = nullptr;
    node.variant = static_cast<WORD>(v);
    variant = true;
  } else {
    node.key = sym->key;
    node.itemId = sym->itemId;
    char other[64];
    node.type = DescParseItemType(line->value.text, other);
    if (node.type == DESC_TYPE_IDENTITY) {
      const SYMBOL_ENTRY *shared = other[0] ? FindSymbol(s, other) : nullptr;
      if (!shared) {
        Warn(s, "Identity item '%s' names no known item '%s'", sym->name, other);
      } else {
        node.variant = shared->key;
        if (DESC_ITEM_NODE *o = FindNode(s, shared->key)) {
          node.type = static_cast<WORD>(node.type | o->type);
          node.defaultValue = o->defaultValue;
          node.values = o->values;
        }
      }
    }
  }
  char *name = DupText(s, sym->name);
  auto *made = static_cast<DESC_ITEM_NODE *>(Alloc(s, sizeof(DESC_ITEM_NODE)));
  if (!name || !made) return Reject(s, "out of memory");
  *made = node;
  if (!IndexNode(s, made)) return Reject(s, "out of memory");
  if (!variant) EnterSlot(s->header, made);
  Bookkeeping *books = Books(s);
  if (books->itemTail)
    books->itemTail->next = made;
  else
    s->header->items = made;
  books->itemTail = made;
  s->openName = name;
  s->openKey = made->key;
  s->openVariant = made->variant;
  return TRUE;
}

BOOL OnCloseUI(DESC_PARSE_STATE *s, DESC_LINE *)
{
  if (s->openName) {
    DESC_ITEM_NODE *node = FindNode(s, s->openKey, s->openVariant);
    DESC_ITEM_NODE *base = FindNode(s, s->openKey);
    if (node && (node->type & 1)) {
      WORD position = 0, count = 0;
      bool found = false;
      if (base && IsListShape(RecordShape(s, base->values))) {
        for (auto *v = static_cast<DESC_VALUE_NODE *>(base->values); v; v = v->next, ++count)
          if (!found && v->valueId == node->defaultValue) position = count, found = true;
      }
      if (!found) position = (node->variant != 0 && node->defaultValue < count) ? node->defaultValue : 0;
      node->defaultValue = position;
    }
  }
  s->openName = nullptr;
  s->openKey = 0;
  s->openVariant = 0;
  s->lastRow = 0;
  return TRUE;
}

BOOL OnOptionLine(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  DESC_ITEM_NODE *base = OpenBase(s);
  if (!base) return TRUE;
  const char *option = line->option1.text;
  DESC_TEXT_BUFFER *b = &line->value;
  b->length = 0;
  WORD type = base->type;
  if (option[0]) {
    if (type & 3) {
      const VALUE_SYMBOL *vs = FindValue(s, option);
      if (!vs) {
        Warn(s, "item '%s': unknown value '%.64s' ignored", OpenName(s), option);
        return TRUE;
      }
      bool noMemory = false;
      char *command = b->text[0] ? DescValueTakeText(s, b, nullptr, &noMemory) : nullptr;
      if (noMemory || !AddValueNode(s, base, vs->valueId, command, option))
        return Reject(s, "out of memory taking value '%.64s' of item '%s'", option, OpenName(s));
      return TRUE;
    }
    if (type & (DESC_TYPE_NUMERIC | DESC_TYPE_STRING)) {
      Warn(s, "option line '%.64s' ignored: item '%s' is %s and takes no value commands", option, OpenName(s),
           TypeName(type));
      return TRUE;
    }
    auto *record = static_cast<DESC_BOOLEAN_VALUE *>(EnsureRecord(s, base, kShapeBoolean));
    if (!record) {
      Warn(s, "option line '%.64s' ignored: item '%s' has value data of another shape", option, OpenName(s));
      return TRUE;
    }
    if (b->text[0]) {
      bool noMemory;
      char *text = DescValueTakeText(s, b, nullptr, &noMemory);
      if (noMemory) return Reject(s, "out of memory taking the %s text of item '%s'", option, OpenName(s));
      char **slot = Same(option, "True") ? &record->trueText : &record->falseText;
      *slot = text;
    }
    return TRUE;
  }
  // *item: IDList { value {value "command"} ... }
  if (!(type & 3)) {
    Warn(s, "IDList ignored: item '%s' is %s and has no value list", OpenName(s), TypeName(type));
    return TRUE;
  }
  char word[kWordSize];
  if (!DescValueNextWord(b, word) || !Same(word, "IDList")) {
    Warn(s, "item '%s': value list must begin 'IDList {'", OpenName(s));
    return TRUE;
  }
  SkipSpace(b);
  if (Peek(b) != '{') {
    Warn(s, "item '%s': value list must begin 'IDList {'", OpenName(s));
    return TRUE;
  }
  ++b->length;
  for (;;) {
    SkipSpace(b);
    char c = Peek(b);
    if (c == '}') break;
    if (c == 0) {
      Warn(s, "item '%s': value list has no closing '}'", OpenName(s));
      break;
    }
    bool braced = c == '{';
    if (braced) ++b->length;
    DescValueNextWord(b, word);
    const VALUE_SYMBOL *vs = FindValue(s, word);
    if (!vs) {
      Warn(s, "item '%s': unknown value '%.64s' ends the value list", OpenName(s), word);
      break;
    }
    char *command = nullptr;
    if (braced) {
      SkipSpace(b);
      bool noMemory = false;
      if (Peek(b) == '"') command = DescValueTakeText(s, b, nullptr, &noMemory);
      if (noMemory) {
        Drop(s, "item '%s': out of memory taking the text of '%.64s'; the value list ends there", OpenName(s), word);
        break;
      }
      SkipSpace(b);
      if (Peek(b) != '}') {
        Warn(s, "item '%s': entry '%.64s' is not closed by '}'; the value list ends there", OpenName(s), word);
        break;
      }
      ++b->length;
    }
    if (!AddValueNode(s, base, vs->valueId, command, word)) {
      Drop(s, "item '%s': out of memory adding '%.64s'; the value list ends there", OpenName(s), word);
      break;
    }
  }
  return TRUE;
}

BOOL OnDefaultLine(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  DESC_ITEM_NODE *node = FindNode(s, s->openKey, s->openVariant);
  if (!node) return TRUE;
  char word[kWordSize];
  DWORD n = 0;
  for (const char *p = line->value.text; *p && !IsSpace(*p) && n + 1 < kWordSize;) word[n++] = *p++;
  word[n] = 0;
  if (node->type & 1) {
    const VALUE_SYMBOL *vs = FindValue(s, word);
    if (vs)
      node->defaultValue = vs->valueId;
    else
      Warn(s, "Default of item '%s': unknown value '%.64s'", OpenName(s), word);
  } else if (node->type & DESC_TYPE_BOOLEAN) {
    auto *record = static_cast<DESC_BOOLEAN_VALUE *>(EnsureRecord(s, node, kShapeBoolean));
    if (record)
      record->defaultValue = Same(word, "True") ? 1 : 0;
    else
      Warn(s, "Default of item '%s' ignored: its value data has another shape", OpenName(s));
  } else if (node->type & DESC_TYPE_STRING) {
    const VALUE_SYMBOL *vs = FindValue(s, word);
    auto *record = vs ? static_cast<DESC_STRING_VALUE *>(EnsureRecord(s, node, kShapeString)) : nullptr;
    if (record)
      record->defaultValue = vs->valueId;
    else
      Warn(s, "Default of item '%s' ignored: %s", OpenName(s),
           vs ? "its value data has another shape" : "unknown value");
  } else {
    Warn(s, "Default ignored: item '%s' is %s and takes no Default line", OpenName(s), TypeName(node->type));
  }
  return TRUE;
}

// A bad field of a NumericValue or StringValue line costs only itself: it is
// reported and left as the line would leave a field it does not reach,
// and the record keeps every other field, its default included.
BOOL OnNumericValue(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  BOOL reject;
  DESC_ITEM_NODE *base = TypedBase(s, "NumericValue", DESC_TYPE_NUMERIC, &reject);
  if (!base) return !reject;
  DESC_TEXT_BUFFER *b = &line->value;
  if (!b->text[0]) {
    Warn(s, "NumericValue without a value ignored");
    return TRUE;
  }
  DESC_NUMERIC_VALUE record = {};
  SkipSpace(b);
  if (Peek(b) != '"') {
    LONG lead;
    bool overflow;
    DWORD at = b->length;
    if (DescValueNextInt(b, &lead, &overflow) && InShort(lead)) {
      record.lead = static_cast<SHORT>(lead);
    } else {
      b->length = at;
      SkipToken(b);
      Drop(s, "NumericValue: the number before the quote must be from -32768 to 32767; it is dropped");
    }
  }
  if (DescValueSkipPast(b, '"')) {
    LONG n[8] = {};
    bool dropped[8] = {};
    DWORD read;
    ReadQuotedNumbers(s, b, n, 8, &read, "NumericValue", dropped);
    static const char *const kNames[8] = {
        "number 1", "the default", "the minimum", "the maximum", "the display divisor",
        "number 6", "number 7",    "number 8"};
    for (DWORD i : {0u, 4u, 5u, 6u, 7u}) {
      bool fits = i == 4 ? (n[i] >= 0 && n[i] <= 65535) : InShort(n[i]);
      if (fits) continue;
      Drop(s, "NumericValue: %s (%ld) must be from %s; it is dropped", kNames[i], static_cast<long>(n[i]),
           i == 4 ? "0 to 65535" : "-32768 to 32767");
      n[i] = 0;
    }
    record.number1 = static_cast<SHORT>(n[0]);
    record.defaultValue = static_cast<DWORD>(n[1]);
    record.minimum = static_cast<DWORD>(n[2]);
    record.maximum = static_cast<DWORD>(n[3]);
    record.divisor = static_cast<WORD>(n[4]);
    record.number6 = static_cast<SHORT>(n[5]);
    record.number7 = static_cast<SHORT>(n[6]);
    record.number8 = static_cast<SHORT>(n[7]);
    // The default must lie in the range it is offered in (unless the range is inverted, when
    // nothing can); one outside it is brought to the nearer bound, so a compiled block's
    // default is always one of the item's values.
    LONG lo = n[2], hi = n[3];
    if (lo <= hi && (n[1] < lo || n[1] > hi)) {
      LONG bound = n[1] < lo ? lo : hi;
      Drop(s, "NumericValue: the default (%ld) is outside the range %ld to %ld; it becomes %ld",
           static_cast<long>(n[1]), static_cast<long>(lo), static_cast<long>(hi), static_cast<long>(bound));
      record.defaultValue = static_cast<DWORD>(bound);
    }
  }
  auto *target = static_cast<DESC_NUMERIC_VALUE *>(EnsureRecord(s, base, kShapeNumeric));
  if (!target) return Reject(s, "NumericValue: item '%s' has value data of another shape", OpenName(s));
  *target = record;
  return TRUE;
}

BOOL OnStringValue(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  BOOL reject;
  DESC_ITEM_NODE *base = TypedBase(s, "StringValue", DESC_TYPE_STRING, &reject);
  if (!base) return !reject;
  DESC_TEXT_BUFFER *b = &line->value;
  if (!b->text[0]) {
    Warn(s, "StringValue without a value ignored");
    return TRUE;
  }
  LONG length = 0;
  bool overflow;
  DWORD at = b->length;
  bool haveLength = DescValueNextInt(b, &length, &overflow) && length >= 0 && length <= 65535;
  if (!haveLength) {
    // A number out of range is passed over; a word that is no number at all is left for
    // the character set it probably is.
    b->length = at;
    SkipSpace(b);
    if (Peek(b) == '-' || Is(Peek(b), DESC_CC_DIGIT)) SkipToken(b);
    Drop(s, "StringValue: the maximum length must be a number from 0 to 65535; it is dropped");
  }
  WORD charSet = 0, display = 0;
  bool haveSet = false, haveDisplay = false;
  char word[kWordSize];
  if (Peek(b) && DescValueNextWord(b, word)) {
    charSet = Lookup(kCharSets, word, 1);
    haveSet = true;
    SkipSpace(b);
    if (Peek(b) == '|') {
      ++b->length;
      DescValueNextWord(b, word);
      display = Lookup(kDisplayFlags, word, 0);
      haveDisplay = true;
    }
  }
  auto *record = static_cast<DESC_STRING_VALUE *>(EnsureRecord(s, base, kShapeString));
  if (!record) return Reject(s, "StringValue: item '%s' has value data of another shape", OpenName(s));
  if (haveLength) record->maxLength = static_cast<WORD>(length);
  if (haveSet) record->charSet = charSet;
  if (haveDisplay) record->display = display;
  return TRUE;
}

BOOL OnPageValue(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  BOOL reject;
  auto *page = reinterpret_cast<DESC_PAGE_VALUE_NODE *>(NamedValueNode(s, line, DESC_TYPE_PICK_PAGE, &reject));
  if (!page) return !reject;
  DESC_TEXT_BUFFER *b = &line->value;
  DESC_PAPER_GEOMETRY g = {};
  char word[kWordSize];
  DescValueNextWord(b, word);
  if (const VALUE_SYMBOL *vs = FindValue(s, word)) {
    g.resolution = vs->valueId;
  } else {
    LONG v;
    if (word[0] && StrIsAllDigits(word) && DescParseNumberChecked(word, &v) && v <= 65535)
      g.resolution = static_cast<WORD>(v);
  }
  if (g.resolution == 0) {
    Warn(s, "PageValue: resolution '%.64s' is neither a value nor a number from 1 to 65535; entry dropped", word);
    return TRUE;
  }
  DescValueNextWord(b, word);
  const VALUE_SYMBOL *orientation = FindValue(s, word);
  if (!orientation) {
    Warn(s, "PageValue: unknown orientation '%.64s'; entry dropped", word);
    return TRUE;
  }
  if (DescOrientationOf(orientation->valueId) == 0) {
    Warn(s, "PageValue: '%.64s' is not an orientation (portrait or landscape); entry dropped", word);
    return TRUE;
  }
  g.orientation = orientation->valueId;
  SkipSpace(b);
  if (Peek(b) != '"') {
    DescValueNextWord(b, word);
    const SYMBOL_ENTRY *item = FindSymbol(s, word);
    if (!item) {
      Warn(s, "PageValue: unknown condition item '%.64s'; entry dropped", word);
      return TRUE;
    }
    g.condKey = item->key;
    DescValueNextWord(b, word);
    const VALUE_SYMBOL *vs = FindValue(s, word);
    g.condValue = vs ? vs->valueId : (Same(word, "True") ? 1 : 0);
  }
  if (DescValueSkipPast(b, '"')) {
    LONG n[6] = {};
    DWORD read;
    if (!ReadQuotedNumbers(s, b, n, 6, &read, "PageValue")) return FALSE;
    // A printable area lies on its paper: no number is negative, and once the paper's
    // size is known the area ends inside it (a size given later is checked when the file
    // ends).
    for (DWORD i = 0; i < read; ++i) {
      if (n[i] >= 0) continue;
      Drop(s, "PageValue: number %lu (%ld) is negative; entry dropped", static_cast<unsigned long>(i + 1),
           static_cast<long>(n[i]));
      return TRUE;
    }
    g.x = n[0], g.y = n[1], g.w = n[2], g.h = n[3], g.a = n[4], g.b = n[5];
  }
  if (page->width != 0 && page->length != 0 && !DescGeometryFitsPaper(page->width, page->length, &g)) {
    Drop(s, "PageValue: the printable area at %u dpi ends outside the paper (%ld x %ld tenths of a mm); entry dropped",
         g.resolution, static_cast<long>(page->width), static_cast<long>(page->length));
    return TRUE;
  }
  auto *made = static_cast<DESC_PAPER_GEOMETRY *>(Alloc(s, sizeof g));
  if (!made) return Reject(s, "out of memory");
  *made = g;
  DESC_PAPER_GEOMETRY **tail = &page->geometry;
  while (*tail) tail = &(*tail)->next;
  *tail = made;
  return TRUE;
}

BOOL OnPageMMValue(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  BOOL reject;
  auto *page = reinterpret_cast<DESC_PAGE_VALUE_NODE *>(NamedValueNode(s, line, DESC_TYPE_PICK_PAGE, &reject));
  if (!page) return !reject;
  DESC_TEXT_BUFFER *b = &line->value;
  if (!DescValueSkipPast(b, '"')) {
    Warn(s, "PageMMValue without a quoted size ignored");
    return TRUE;
  }
  LONG n[2] = {};
  DWORD read;
  if (!ReadQuotedNumbers(s, b, n, 2, &read, "PageMMValue")) return FALSE;
  for (DWORD i = 0; i < read; ++i) {
    if (n[i] >= 0 && n[i] <= DESC_PAPER_MM_MAX) continue;
    Drop(s, "PageMMValue: the %s (%ld) is outside 0 to %d tenths of a mm; the size is dropped",
         i == 0 ? "width" : "length", static_cast<long>(n[i]), DESC_PAPER_MM_MAX);
    return TRUE;
  }
  if (read >= 1) page->width = n[0];
  if (read >= 2) page->length = n[1];
  return TRUE;
}

BOOL OnSlotPaper(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  BOOL reject;
  auto *slot = reinterpret_cast<DESC_SLOT_VALUE_NODE *>(NamedValueNode(s, line, DESC_TYPE_PICK_SLOT, &reject));
  if (!slot) return !reject;
  DESC_TEXT_BUFFER *b = &line->value;
  if (!DescValueSkipPast(b, '{')) {
    Warn(s, "SlotPaper needs '{ values }'; line ignored");
    return TRUE;
  }
  std::vector<WORD> papers;
  char word[kWordSize];
  for (;;) {
    SkipSpace(b);
    char c = Peek(b);
    if (c == '}') break;
    if (c == 0) return Reject(s, "SlotPaper: the list has no closing '}'");
    DescValueNextWord(b, word);
    if (!word[0]) return Reject(s, "SlotPaper: unexpected '%c' in the list", Peek(b));
    const VALUE_SYMBOL *vs = FindValue(s, word);
    if (!vs) {
      Warn(s, "SlotPaper: unknown value '%.64s'; the slot's papers are not set", word);
      return TRUE;
    }
    try {
      papers.push_back(vs->valueId);
    } catch (...) {
      return Reject(s, "out of memory");
    }
  }
  if (papers.empty()) return TRUE;
  auto *array = static_cast<WORD *>(Alloc(s, static_cast<DWORD>(papers.size() * sizeof(WORD))));
  if (!array) return Reject(s, "out of memory");
  for (size_t i = 0; i < papers.size(); ++i) array[i] = papers[i];
  slot->papers = array;
  slot->count = static_cast<DWORD>(papers.size());
  return TRUE;
}

BOOL OnTTFS(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  BOOL reject;
  auto *font = reinterpret_cast<DESC_FONT_VALUE_NODE *>(NamedValueNode(s, line, DESC_TYPE_FONT_TABLE, &reject));
  if (!font) return !reject;
  DESC_TEXT_BUFFER *b = &line->value;
  char word[kWordSize];
  DescValueNextWord(b, word);
  SkipSpace(b);
  if (!Same(word, "IDList") || Peek(b) != '{') {
    Warn(s, "TTFS needs 'IDList {'; line ignored");
    return TRUE;
  }
  ++b->length;
  std::vector<char *> names, subs;
  for (;;) {
    SkipSpace(b);
    if (Peek(b) != '{') break;
    ++b->length;
    SkipSpace(b);
    bool noName = false, noSub = false;
    char *name = Peek(b) == '"' ? DescValueTakeText(s, b, nullptr, &noName) : nullptr;
    SkipSpace(b);
    char *sub = (name && Peek(b) == '"') ? DescValueTakeText(s, b, nullptr, &noSub) : nullptr;
    SkipSpace(b);
    if (noName || noSub) return Reject(s, "out of memory");
    if (!name || !sub || Peek(b) != '}') break;
    ++b->length;
    try {
      names.push_back(name);
      subs.push_back(sub);
    } catch (...) {
      return Reject(s, "out of memory");
    }
  }
  DWORD count = static_cast<DWORD>(names.size());
  char **nameArray = count ? static_cast<char **>(Alloc(s, count * sizeof(char *))) : nullptr;
  char **subArray = count ? static_cast<char **>(Alloc(s, count * sizeof(char *))) : nullptr;
  if (count && (!nameArray || !subArray)) return Reject(s, "out of memory");
  for (DWORD i = 0; i < count; ++i) nameArray[i] = names[i], subArray[i] = subs[i];
  font->names = nameArray;
  font->substitutes = subArray;
  font->count = count;
  return TRUE;
}

BOOL OnOptionCommand(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  DESC_ITEM_NODE *node = s->openName ? FindNode(s, s->openKey, s->openVariant) : nullptr;
  if (!node) {
    Warn(s, "OptionCommand outside an OpenUI/CloseUI pair ignored");
    return TRUE;
  }
  DESC_TEXT_BUFFER *b = &line->value;
  if (!DescValueSkipPast(b, '{')) {
    Warn(s, "OptionCommand needs '{ \"text\" [\"text\"] }'; line ignored");
    return TRUE;
  }
  auto *pair = static_cast<DESC_OPTION_COMMAND *>(Alloc(s, sizeof(DESC_OPTION_COMMAND)));
  if (!pair) return Reject(s, "out of memory");
  char after = 0;
  bool noMemory = false;
  pair->first = DescValueTakeText(s, b, &after, &noMemory);
  if (!noMemory && after) pair->second = DescValueTakeText(s, b, nullptr, &noMemory);
  if (noMemory) return Reject(s, "out of memory");  // the pair stays in the registry, unused
  // The pair this node had stays in the parse's memory: a variant may still share it.
  node->command = pair;
  return TRUE;
}

void DropOffPaperAreas(DESC_PARSE_STATE *s)
{
  for (DESC_ITEM_NODE *n = s->header->items; n; n = n->next) {
    if (n->variant != 0 || (n->type & ~DESC_TYPE_FLAGS) != DESC_TYPE_PICK_PAGE) continue;
    if (!n->values || RecordShape(s, n->values) != kShapePageList) continue;
    for (auto *v = static_cast<DESC_PAGE_VALUE_NODE *>(n->values); v;
         v = reinterpret_cast<DESC_PAGE_VALUE_NODE *>(v->base.next)) {
      for (DESC_PAPER_GEOMETRY **at = &v->geometry; *at;) {
        DESC_PAPER_GEOMETRY *g = *at;
        if (DescGeometryFitsPaper(v->width, v->length, g)) {
          at = &g->next;
          continue;
        }
        *at = g->next;  // the entry stays in the parse's memory, unlinked
        if (v->width == 0 || v->length == 0)
          Drop(s,
               "PageValue: paper value %u has no size (no PageMMValue line); its printable area at %u dpi is dropped",
               v->base.valueId, g->resolution);
        else
          Drop(s,
               "PageValue: the printable area at %u dpi of paper value %u ends outside the paper (%ld x %ld tenths "
               "of a mm); entry dropped",
               g->resolution, v->base.valueId, static_cast<long>(v->width), static_cast<long>(v->length));
      }
    }
  }
}

}  // namespace descgrammar
