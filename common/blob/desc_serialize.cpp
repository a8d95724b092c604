// Serializer of the compiled description: computes the block size of a parse state and lays
// the state out into the block in stored form (links as offsets from the start of the
// block, links into the rule data tagged as offset * 16 + 1).
//
// Layout, after the 6708-byte header:
//   rule data   judge codes, the entries of the Item, Action, Transact, AlertAction and
//               Alert sections, then the contiguous rule blocks (all 4-byte multiples);
//   items       the item list stored from its last node to its first, each node preceded
//               by its value data and its OptionCommand pair;
//   tail        CommandString texts, the two DLL names, the five command groups and the
//               two font lists.
#include <stdint.h>
#include <string.h>

#include <map>
#include <vector>

#include "blob/desc_store.h"
#include "os/mem_copy.h"
#include "os/number_index.h"

namespace {

const DWORD kItemSize = sizeof(DESC_ITEM_NODE);
const DWORD kEntrySize[DESC_SECTION_KINDS] = {sizeof(DESC_VALUE_RULE), sizeof(DESC_ACTION), sizeof(DESC_TRANSACTION),
                                              sizeof(DESC_ALERT_ACTION), sizeof(DESC_ALERT)};

uint64_t TextSize(const char *text) { return text != NULL ? strlen(text) + 1 : 0; }

uint64_t WideTextSize(const WCHAR *text)
{
  if (text == NULL) return 0;
  uint64_t n = 0;
  while (text[n] != 0) ++n;
  return 2 * n + 2;
}

// Judge code bytes, kept a multiple of the 4-byte unit so the rule data stays aligned.
// A judge without code (or shorter than its END unit) is not stored.
uint64_t CodeSize(const DESC_JUDGE *judge)
{
  return judge->code != NULL && judge->length >= sizeof(RULE_CODE_UNIT) ? (judge->length + 3ull) & ~3ull : 0;
}

// Parse-time successor of a section entry of any kind.
const void *EntryNext(const void *entry)
{
  DESC_RULE_LINK next;
  memcpy(&next, entry, sizeof next);  // every entry kind begins with its next link
  return reinterpret_cast<const void *>(next);
}

uint64_t ValueDataSize(WORD type, const void *values)
{
  uint64_t size = 0;
  switch (type & ~DESC_TYPE_FLAGS) {
    case DESC_TYPE_NUMERIC: return sizeof(DESC_NUMERIC_VALUE);
    case DESC_TYPE_STRING: return sizeof(DESC_STRING_VALUE);
    case DESC_TYPE_BOOLEAN: {
      const DESC_BOOLEAN_VALUE *b = static_cast<const DESC_BOOLEAN_VALUE *>(values);
      return sizeof *b + TextSize(b->trueText) + TextSize(b->falseText);
    }
    case DESC_TYPE_PICK_PAGE:
      for (const DESC_PAGE_VALUE_NODE *v = static_cast<const DESC_PAGE_VALUE_NODE *>(values); v != NULL;
           v = reinterpret_cast<const DESC_PAGE_VALUE_NODE *>(v->base.next)) {
        size += sizeof *v + TextSize(v->base.command);
        for (const DESC_PAPER_GEOMETRY *g = v->geometry; g != NULL; g = g->next) size += sizeof *g;
      }
      return size;
    case DESC_TYPE_PICK_SLOT:
      for (const DESC_SLOT_VALUE_NODE *v = static_cast<const DESC_SLOT_VALUE_NODE *>(values); v != NULL;
           v = reinterpret_cast<const DESC_SLOT_VALUE_NODE *>(v->base.next)) {
        size += sizeof *v + TextSize(v->base.command);
        if (v->papers != NULL) size += 2ull * v->count;
      }
      return size;
    case DESC_TYPE_FONT_TABLE:
      for (const DESC_FONT_VALUE_NODE *v = static_cast<const DESC_FONT_VALUE_NODE *>(values); v != NULL;
           v = reinterpret_cast<const DESC_FONT_VALUE_NODE *>(v->base.next)) {
        size += sizeof *v + TextSize(v->base.command);
        if (v->count == 0) continue;
        size += 8ull * v->count;
        for (DWORD i = 0; i < v->count; ++i) {
          if (v->names != NULL) size += TextSize(v->names[i]);
          if (v->substitutes != NULL) size += TextSize(v->substitutes[i]);
        }
      }
      return size;
    default:
      // PickOne and PickMany store their value nodes. Other words of a list type (such as
      // "PickOne | PickMany") have no store step: their nodes are counted but not stored,
      // which leaves unreferenced zero bytes at the end of the block. Any other data of a
      // type without a store step is not a value list and is neither counted nor stored.
      if ((type & 3) == 0) return 0;
      for (const DESC_VALUE_NODE *v = static_cast<const DESC_VALUE_NODE *>(values); v != NULL; v = v->next)
        size += sizeof *v + TextSize(v->command);
      return size;
  }
}

uint64_t StatementsSize(const DESC_STATEMENT *first, DWORD depth, bool *tooDeep);

// Statements the serializer stores (other kinds, and a conditional statement without its
// block, are left out).
bool IsStoredStatement(const DESC_STATEMENT *s)
{
  return s->kind == DESC_STMT_GROUP || s->kind == DESC_STMT_STRING || s->kind == DESC_STMT_FONT ||
         (s->kind == DESC_STMT_COMMAND && reinterpret_cast<const DESC_STATEMENT_COMMAND *>(s)->block != NULL);
}

// The block an ElseIf chain goes on with: when the stored else part of a block is one
// conditional statement, that statement's block, which counts at the depth of the block it
// continues (a chain is not nesting; it is laid out link by link, not by recursion). NULL
// for any other else part.
const DESC_COMMAND_BLOCK *ChainNext(const DESC_STATEMENT *elsePart)
{
  const DESC_STATEMENT *only = NULL;
  for (const DESC_STATEMENT *s = elsePart; s != NULL; s = s->next) {
    if (!IsStoredStatement(s)) continue;
    if (only != NULL) return NULL;
    only = s;
  }
  if (only == NULL || only->kind != DESC_STMT_COMMAND) return NULL;
  return reinterpret_cast<const DESC_STATEMENT_COMMAND *>(only)->block;
}

uint64_t CommandBlockSize(const DESC_COMMAND_BLOCK *block, DWORD depth, bool *tooDeep)
{
  if (depth > DESC_MAX_COMMAND_DEPTH) {
    *tooDeep = true;
    return 0;
  }
  uint64_t size = 0;
  while (block != NULL && !*tooDeep && size < DESC_MAX_BLOCK_SIZE) {  // a chain longer than any block ends
    size += sizeof *block + StatementsSize(block->thenList, depth, tooDeep);
    const DESC_COMMAND_BLOCK *next = ChainNext(block->elsePart);
    if (next == NULL) {
      size += StatementsSize(block->elsePart, depth, tooDeep);
      break;
    }
    size += sizeof(DESC_STATEMENT_COMMAND);
    block = next;
  }
  return size;
}

uint64_t StatementsSize(const DESC_STATEMENT *first, DWORD depth, bool *tooDeep)
{
  uint64_t size = 0;
  for (const DESC_STATEMENT *s = first; s != NULL && !*tooDeep; s = s->next) {
    switch (s->kind) {
      case DESC_STMT_GROUP: size += sizeof(DESC_STATEMENT_GROUP); break;
      case DESC_STMT_STRING: size += sizeof(DESC_STATEMENT_STRING); break;
      case DESC_STMT_FONT: size += sizeof(DESC_STATEMENT); break;
      case DESC_STMT_COMMAND: {
        const DESC_COMMAND_BLOCK *nested = reinterpret_cast<const DESC_STATEMENT_COMMAND *>(s)->block;
        if (nested != NULL) size += sizeof(DESC_STATEMENT_COMMAND) + CommandBlockSize(nested, depth + 1, tooDeep);
        break;
      }
      default: break;  // not a statement kind: not stored
    }
  }
  return size;
}

uint64_t FontListSize(DWORD count, DESC_FONT_ID *const *list)
{
  uint64_t size = 0;
  if (list == NULL) return 0;
  for (DWORD i = 0; i < count; ++i) {
    if (list[i] != NULL) size += 4 + sizeof(DESC_FONT_ID) + TextSize(list[i]->name);
  }
  return size;
}

uint64_t SizeItems(const DESC_PARSE_STATE *state)
{
  uint64_t size = 0;
  for (const DESC_ITEM_NODE *n = state->header->items; n != NULL; n = n->next) {
    size += kItemSize;
    if (n->command != NULL)
      size += sizeof(DESC_OPTION_COMMAND) + TextSize(n->command->first) + TextSize(n->command->second);
    if (n->variant == 0 && n->values != NULL) size += ValueDataSize(n->type, n->values);
  }
  return size;
}

uint64_t SizeRules(const DESC_PARSE_STATE *state)
{
  uint64_t size = 0;
  for (const DESC_RULE_BLOCK *b = state->exclusive; b != NULL; b = b->next) size += sizeof *b;
  for (const DESC_JUDGE *j = state->judges; j != NULL; j = j->next) size += CodeSize(j);
  for (DWORD kind = 0; kind < DESC_SECTION_KINDS; ++kind) {
    for (const DESC_SECTION *s = state->sections[kind]; s != NULL; s = s->next) {
      for (const void *e = s->first; e != NULL; e = EntryNext(e)) size += kEntrySize[kind];
    }
  }
  return size;
}

// Whether a CommandString is stored: it has a text, and no earlier one has its number
// (the first definition of a number counts; a later one is dropped).
bool StoredString(const DESC_PARSE_STATE *state, const DESC_COMMAND_STRING *c)
{
  if (c->text == NULL || c->length == 0) return false;
  for (const DESC_COMMAND_STRING *e = state->strings; e != c; e = e->next) {
    if (e->number == c->number && e->text != NULL && e->length != 0) return false;
  }
  return true;
}

uint64_t SizeTail(const DESC_PARSE_STATE *state, bool *tooDeep)
{
  const DESC_HEADER *h = state->header;
  uint64_t size = 0;
  for (const DESC_COMMAND_STRING *c = state->strings; c != NULL; c = c->next) {
    if (StoredString(state, c)) size += c->length;
  }
  size += WideTextSize(h->uiResDllName) + WideTextSize(h->excDepDllName);
  for (DWORD g = 0; g < DESC_GROUP_COUNT; ++g) {
    if (h->groups[g] != NULL) size += CommandBlockSize(h->groups[g], 1, tooDeep);
  }
  size += FontListSize(h->deviceFontCount, h->deviceFonts);
  size += FontListSize(h->cartridgeFontCount, h->cartridgeFonts);
  return size;
}

DWORD Clamp(uint64_t size) { return size >= DESC_MAX_BLOCK_SIZE ? DESC_MAX_BLOCK_SIZE : (DWORD)size; }

// ---------------------------------------------------------------------------------------
// Writer

struct Writer {
  BYTE *block;
  DWORD size;
  DWORD pos;
  bool overflow;
  bool tooDeep;

  // Appends len bytes (from src, or zeros) and answers their offset.
  DWORD Put(const void *src, DWORD len)
  {
    DWORD at = pos;
    if (overflow || len > size - pos) {
      overflow = true;
      return 0;
    }
    if (src != NULL && len != 0) MemCopyWords(block + pos, static_cast<const BYTE *>(src), len);
    pos += len;
    return at;
  }
  DWORD PutText(const char *text) { return text != NULL ? Put(text, (DWORD)strlen(text) + 1) : 0; }
  DWORD PutWideText(const WCHAR *text) { return text != NULL ? Put(text, (DWORD)WideTextSize(text)) : 0; }
  BYTE *At(DWORD offset) { return block + offset; }
};

DWORD Tag(DWORD offset) { return offset != 0 ? DESC_TAG(offset) : 0; }

// Number -> location, the first entry of a number winning, so that every lookup costs the
// same however many judges and sections the description has.
class FirstByNumber {
 public:
  void Add(DWORD number, DWORD location)
  {
    index_.Reserve();
    bool added;
    index_.Enter(number, location, &added);  // a later entry of the number is never found
  }
  DWORD Find(DWORD number) const
  {
    const DWORD *location = index_.Find(number);
    return location != nullptr ? *location : 0;
  }

 private:
  NumberIndex<DWORD, DWORD> index_;
};

// Rule data bookkeeping: where each judge and section went.
struct RuleMap {
  FirstByNumber judges;                        // number -> tagged offset
  FirstByNumber sections[DESC_SECTION_KINDS];  // number -> tagged location
  FirstByNumber blocks;                        // key -> plain offset

  // A reference counts by its lower 16 bits; the first entry with the number wins.
  static DWORD Find(const FirstByNumber &index, DESC_RULE_LINK ref)
  {
    DWORD number = (DWORD)ref & 0xFFFFu;
    return number != 0 ? index.Find(number) : 0;
  }
  DWORD Judge(DESC_RULE_LINK ref) const { return Find(judges, ref); }
  DWORD Section(DWORD kind, DESC_RULE_LINK ref) const { return Find(sections[kind], ref); }
  DWORD Block(WORD key) const { return blocks.Find(key); }
};

// Writes one section entry in stored form at offset at.
void StoreEntry(Writer *w, const RuleMap &map, DWORD kind, const void *entry, DWORD at, DWORD next)
{
  BYTE *out = w->At(at);
  DescSt32(out, 0, Tag(next));
  switch (kind) {
    case DESC_SECTION_ITEM: {
      const DESC_VALUE_RULE *e = static_cast<const DESC_VALUE_RULE *>(entry);
      DescSt16(out, offsetof(DESC_VALUE_RULE, valueId), e->valueId);
      DescSt32(out, offsetof(DESC_VALUE_RULE, hideJudge), map.Judge(e->hideJudge));
      DescSt32(out, offsetof(DESC_VALUE_RULE, disableJudge), map.Judge(e->disableJudge));
      break;
    }
    case DESC_SECTION_ACTION: {
      const DESC_ACTION *e = static_cast<const DESC_ACTION *>(entry);
      DescSt16(out, offsetof(DESC_ACTION, target), e->target);
      DescSt16(out, offsetof(DESC_ACTION, kind), e->kind);
      DescSt32(out, offsetof(DESC_ACTION, value), e->value);
      break;
    }
    case DESC_SECTION_TRANSACT: {
      const DESC_TRANSACTION *e = static_cast<const DESC_TRANSACTION *>(entry);
      DescSt32(out, offsetof(DESC_TRANSACTION, judge), map.Judge(e->judge));
      DescSt32(out, offsetof(DESC_TRANSACTION, actions), map.Section(DESC_SECTION_ACTION, e->actions));
      break;
    }
    case DESC_SECTION_ALERT_ACTION: {
      const DESC_ALERT_ACTION *e = static_cast<const DESC_ALERT_ACTION *>(entry);
      DescSt16(out, offsetof(DESC_ALERT_ACTION, button), e->button);
      DescSt32(out, offsetof(DESC_ALERT_ACTION, transactions), map.Section(DESC_SECTION_TRANSACT, e->transactions));
      DescSt16(out, offsetof(DESC_ALERT_ACTION, dialog), e->dialog);
      DescSt16(out, offsetof(DESC_ALERT_ACTION, control), e->control);
      break;
    }
    default: {
      const DESC_ALERT *e = static_cast<const DESC_ALERT *>(entry);
      DescSt32(out, offsetof(DESC_ALERT, judge), map.Judge(e->judge));
      DescSt16(out, offsetof(DESC_ALERT, message), e->message);
      DescSt16(out, offsetof(DESC_ALERT, icon), e->icon);
      DescSt16(out, offsetof(DESC_ALERT, buttons), e->buttons);
      DescSt16(out, offsetof(DESC_ALERT, timing), e->timing);
      DescSt32(out, offsetof(DESC_ALERT, answers), map.Section(DESC_SECTION_ALERT_ACTION, e->answers));
      break;
    }
  }
}

// Rule data: judge codes, section entries kind by kind, then the rule blocks.
DWORD DescStoreRules(Writer *w, const DESC_PARSE_STATE *state, RuleMap *map)
{
  for (const DESC_JUDGE *j = state->judges; j != NULL; j = j->next) {
    if (CodeSize(j) == 0) continue;
    DWORD at = w->Put(NULL, (DWORD)CodeSize(j));
    if (!w->overflow) MemCopyWords(w->At(at), reinterpret_cast<const BYTE *>(j->code), j->length);
    map->judges.Add(j->number, Tag(at));
  }
  for (DWORD kind = 0; kind < DESC_SECTION_KINDS; ++kind) {
    for (const DESC_SECTION *s = state->sections[kind]; s != NULL; s = s->next) {
      DWORD first = 0;
      for (const void *e = s->first; e != NULL; e = EntryNext(e)) {
        DWORD at = w->Put(NULL, kEntrySize[kind]);
        if (w->overflow) return 0;
        if (first == 0) first = at;
        DWORD next = EntryNext(e) != NULL ? at + kEntrySize[kind] : 0;
        StoreEntry(w, *map, kind, e, at, next);
      }
      map->sections[kind].Add(s->number, Tag(first));
    }
  }
  DWORD firstBlock = 0;
  for (const DESC_RULE_BLOCK *b = state->exclusive; b != NULL; b = b->next) {
    DWORD at = w->Put(NULL, sizeof *b);
    if (w->overflow) return 0;
    if (firstBlock == 0) firstBlock = at;
    BYTE *out = w->At(at);
    DescSt32(out, offsetof(DESC_RULE_BLOCK, next), b->next != NULL ? at + (DWORD)sizeof *b : 0);
    DescSt16(out, offsetof(DESC_RULE_BLOCK, key), b->key);
    DescSt32(out, offsetof(DESC_RULE_BLOCK, hideJudge), map->Judge(b->hideJudge));
    DescSt32(out, offsetof(DESC_RULE_BLOCK, disableJudge), map->Judge(b->disableJudge));
    DescSt32(out, offsetof(DESC_RULE_BLOCK, valueRules), map->Section(DESC_SECTION_ITEM, b->valueRules));
    DescSt32(out, offsetof(DESC_RULE_BLOCK, alerts), map->Section(DESC_SECTION_ALERT, b->alerts));
    DescSt32(out, offsetof(DESC_RULE_BLOCK, transactions1), map->Section(DESC_SECTION_TRANSACT, b->transactions1));
    DescSt32(out, offsetof(DESC_RULE_BLOCK, transactions2), map->Section(DESC_SECTION_TRANSACT, b->transactions2));
    map->blocks.Add(b->key, at);
  }
  return firstBlock;
}

// ---------------------------------------------------------------------------------------
// Items

// Moves every variant or Identity node that follows a base node to the front of the list
// (the latest moved first); variant nodes that already lead the list keep their place.
void DescReorderVariants(DESC_HEADER *header)
{
  DESC_ITEM_NODE *moved = NULL;  // pushed at the front, so the latest comes first
  DESC_ITEM_NODE *leadHead = NULL, **leadTail = &leadHead;
  DESC_ITEM_NODE *baseHead = NULL, **baseTail = &baseHead;
  bool seenBase = false;
  for (DESC_ITEM_NODE *n = header->items, *next; n != NULL; n = next) {
    next = n->next;
    n->next = NULL;
    if (n->variant == 0) {
      seenBase = true;
      *baseTail = n;
      baseTail = &n->next;
    } else if (!seenBase) {
      *leadTail = n;
      leadTail = &n->next;
    } else {
      n->next = moved;
      moved = n;
    }
  }
  *leadTail = baseHead;
  if (moved == NULL) {
    header->items = leadHead;
    return;
  }
  DESC_ITEM_NODE *last = moved;
  while (last->next != NULL) last = last->next;
  last->next = leadHead;
  header->items = moved;
}

// The nodes of a linked list from its last to its first, as the block stores lists: the
// first kInline of them in a buffer on the stack, so that a list of the usual length costs
// no allocation, the rest of a longer one on the heap.
template <typename Node>
class ReversedList {
 public:
  template <typename NextOf>
  ReversedList(const Node *first, NextOf next)
  {
    for (const Node *n = first; n != NULL; n = next(n)) {
      if (count_ < kInline)
        inline_[count_] = n;
      else
        more_.push_back(n);
      ++count_;
    }
  }
  size_t size() const { return count_; }
  // Node i counted from the last one.
  const Node *operator[](size_t i) const
  {
    size_t at = count_ - 1 - i;
    return at < kInline ? inline_[at] : more_[at - kInline];
  }

 private:
  static const size_t kInline = 64;
  const Node *inline_[kInline];
  size_t count_ = 0;
  std::vector<const Node *> more_;
};

template <typename Node>
const Node *NextValue(const Node *v)
{
  return reinterpret_cast<const Node *>(v->base.next);
}

DWORD StoreValueList12(Writer *w, const DESC_VALUE_NODE *first)
{
  ReversedList<DESC_VALUE_NODE> nodes(first, [](const DESC_VALUE_NODE *v) { return v->next; });
  DWORD following = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    DWORD text = w->PutText(nodes[i]->command);
    DWORD at = w->Put(NULL, sizeof(DESC_VALUE_NODE));
    if (w->overflow) return 0;
    DescSt32(w->At(at), offsetof(DESC_VALUE_NODE, next), following);
    DescSt16(w->At(at), offsetof(DESC_VALUE_NODE, valueId), nodes[i]->valueId);
    DescSt32(w->At(at), offsetof(DESC_VALUE_NODE, command), text);
    following = at;
  }
  return following;
}

DWORD StoreGeometry(Writer *w, const DESC_PAPER_GEOMETRY *first)
{
  ReversedList<DESC_PAPER_GEOMETRY> entries(first, [](const DESC_PAPER_GEOMETRY *g) { return g->next; });
  DWORD following = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    DWORD at = w->Put(entries[i], sizeof(DESC_PAPER_GEOMETRY));
    if (w->overflow) return 0;
    DescSt32(w->At(at), offsetof(DESC_PAPER_GEOMETRY, next), following);
    following = at;
  }
  return following;
}

void PutValueHead(Writer *w, DWORD at, const DESC_VALUE_NODE *v, DWORD next, DWORD text)
{
  DescSt32(w->At(at), offsetof(DESC_VALUE_NODE, next), next);
  DescSt16(w->At(at), offsetof(DESC_VALUE_NODE, valueId), v->valueId);
  DescSt32(w->At(at), offsetof(DESC_VALUE_NODE, command), text);
}

DWORD StorePageValues(Writer *w, const DESC_PAGE_VALUE_NODE *first)
{
  ReversedList<DESC_PAGE_VALUE_NODE> nodes(first, NextValue<DESC_PAGE_VALUE_NODE>);
  DWORD following = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const DESC_PAGE_VALUE_NODE *v = nodes[i];
    DWORD geometry = StoreGeometry(w, v->geometry);
    DWORD text = w->PutText(v->base.command);
    DWORD at = w->Put(NULL, sizeof *v);
    if (w->overflow) return 0;
    PutValueHead(w, at, &v->base, following, text);
    DescSt32(w->At(at), offsetof(DESC_PAGE_VALUE_NODE, width), (DWORD)v->width);
    DescSt32(w->At(at), offsetof(DESC_PAGE_VALUE_NODE, length), (DWORD)v->length);
    DescSt32(w->At(at), offsetof(DESC_PAGE_VALUE_NODE, geometry), geometry);
    following = at;
  }
  return following;
}

DWORD StoreSlotValues(Writer *w, const DESC_SLOT_VALUE_NODE *first)
{
  ReversedList<DESC_SLOT_VALUE_NODE> nodes(first, NextValue<DESC_SLOT_VALUE_NODE>);
  DWORD following = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const DESC_SLOT_VALUE_NODE *v = nodes[i];
    DWORD count = v->papers != NULL ? v->count : 0;
    DWORD papers = count != 0 ? w->Put(v->papers, 2 * count) : 0;
    DWORD text = w->PutText(v->base.command);
    DWORD at = w->Put(NULL, sizeof *v);
    if (w->overflow) return 0;
    PutValueHead(w, at, &v->base, following, text);
    DescSt32(w->At(at), offsetof(DESC_SLOT_VALUE_NODE, count), count);
    DescSt32(w->At(at), offsetof(DESC_SLOT_VALUE_NODE, papers), papers);
    following = at;
  }
  return following;
}

DWORD StoreFontValues(Writer *w, const DESC_FONT_VALUE_NODE *first)
{
  ReversedList<DESC_FONT_VALUE_NODE> nodes(first, NextValue<DESC_FONT_VALUE_NODE>);
  DWORD following = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const DESC_FONT_VALUE_NODE *v = nodes[i];
    DWORD count = v->count;
    std::vector<DWORD> names(count), subs(count);
    for (DWORD k = 0; k < count; ++k) {
      names[k] = w->PutText(v->names != NULL ? v->names[k] : NULL);
      subs[k] = w->PutText(v->substitutes != NULL ? v->substitutes[k] : NULL);
    }
    DWORD nameArray = count != 0 ? w->Put(NULL, 4 * count) : 0;
    for (DWORD k = 0; k < count && !w->overflow; ++k) DescSt32(w->At(nameArray), 4 * k, names[k]);
    DWORD subArray = count != 0 ? w->Put(NULL, 4 * count) : 0;
    for (DWORD k = 0; k < count && !w->overflow; ++k) DescSt32(w->At(subArray), 4 * k, subs[k]);
    DWORD text = w->PutText(v->base.command);
    DWORD at = w->Put(NULL, sizeof *v);
    if (w->overflow) return 0;
    PutValueHead(w, at, &v->base, following, text);
    DescSt32(w->At(at), offsetof(DESC_FONT_VALUE_NODE, count), count);
    DescSt32(w->At(at), offsetof(DESC_FONT_VALUE_NODE, names), nameArray);
    DescSt32(w->At(at), offsetof(DESC_FONT_VALUE_NODE, substitutes), subArray);
    following = at;
  }
  return following;
}

// The value data of a base node by its type; 0 for a type without a store step.
DWORD StoreValueData(Writer *w, WORD type, const void *values)
{
  switch (type & ~DESC_TYPE_FLAGS) {
    case DESC_TYPE_PICK_ONE:
    case DESC_TYPE_PICK_MANY: return StoreValueList12(w, static_cast<const DESC_VALUE_NODE *>(values));
    case DESC_TYPE_BOOLEAN: {
      const DESC_BOOLEAN_VALUE *b = static_cast<const DESC_BOOLEAN_VALUE *>(values);
      DWORD t = w->PutText(b->trueText);
      DWORD f = w->PutText(b->falseText);
      DWORD at = w->Put(NULL, sizeof *b);
      if (w->overflow) return 0;
      DescSt32(w->At(at), offsetof(DESC_BOOLEAN_VALUE, defaultValue), b->defaultValue);
      DescSt32(w->At(at), offsetof(DESC_BOOLEAN_VALUE, trueText), t);
      DescSt32(w->At(at), offsetof(DESC_BOOLEAN_VALUE, falseText), f);
      return at;
    }
    case DESC_TYPE_NUMERIC: return w->Put(values, sizeof(DESC_NUMERIC_VALUE));
    case DESC_TYPE_STRING: return w->Put(values, sizeof(DESC_STRING_VALUE));
    case DESC_TYPE_PICK_PAGE: return StorePageValues(w, static_cast<const DESC_PAGE_VALUE_NODE *>(values));
    case DESC_TYPE_PICK_SLOT: return StoreSlotValues(w, static_cast<const DESC_SLOT_VALUE_NODE *>(values));
    case DESC_TYPE_FONT_TABLE: return StoreFontValues(w, static_cast<const DESC_FONT_VALUE_NODE *>(values));
    default: return 0;
  }
}

// Shared value data: the key whose base data a variant or Identity node uses.
WORD ShareKey(const DESC_ITEM_NODE *n) { return DescShareKey(n->key, n->variant, n->type); }

struct Recorded {
  DWORD offset;
  DWORD dataClass;
};

DWORD DescStoreItems(Writer *w, DESC_HEADER *header, BYTE *out, const RuleMap &map)
{
  DescReorderVariants(header);
  std::vector<DESC_ITEM_NODE *> nodes;
  for (DESC_ITEM_NODE *n = header->items; n != NULL; n = n->next) nodes.push_back(n);
  std::map<WORD, Recorded> recorded;  // base value data by key
  DWORD following = 0;
  for (size_t i = nodes.size(); i-- > 0;) {
    const DESC_ITEM_NODE *n = nodes[i];
    DWORD values = 0;
    if (n->values != NULL) {
      if (n->variant == 0) {
        values = StoreValueData(w, n->type, n->values);
        if (values != 0) recorded[n->key] = Recorded{values, DescStoredDataClass(n->type)};
      } else {
        // A variant shares the stored data of its base only when that data has the shape
        // its own type word promises; anything else would be read as the wrong record.
        auto it = recorded.find(ShareKey(n));
        if (it != recorded.end() && it->second.dataClass == DescStoredDataClass(n->type)) values = it->second.offset;
      }
    }
    DWORD command = 0;
    if (n->command != NULL) {
      DWORD first = w->PutText(n->command->first);
      DWORD second = w->PutText(n->command->second);
      command = w->Put(NULL, sizeof(DESC_OPTION_COMMAND));
      if (w->overflow) return 0;
      DescSt32(w->At(command), offsetof(DESC_OPTION_COMMAND, first), first);
      DescSt32(w->At(command), offsetof(DESC_OPTION_COMMAND, second), second);
    }
    DWORD at = w->Put(NULL, kItemSize);
    if (w->overflow) return 0;
    BYTE *node = w->At(at);
    DescSt32(node, offsetof(DESC_ITEM_NODE, next), following);
    DescSt16(node, offsetof(DESC_ITEM_NODE, key), n->key);
    DescSt16(node, offsetof(DESC_ITEM_NODE, variant), n->variant);
    DescSt16(node, offsetof(DESC_ITEM_NODE, itemId), n->itemId);
    DescSt16(node, offsetof(DESC_ITEM_NODE, type), n->type);
    DescSt16(node, offsetof(DESC_ITEM_NODE, defaultValue), n->defaultValue);
    DescSt32(node, offsetof(DESC_ITEM_NODE, command), command);
    DescSt32(node, offsetof(DESC_ITEM_NODE, rules), map.Block(n->key));
    DescSt32(node, offsetof(DESC_ITEM_NODE, values), values);
    DWORD slot = DescSlotOffset(n->itemId);
    if (slot != 0 && (n->variant == 0 || DescLd32(out, slot) == 0)) DescSt32(out, slot, at);
    following = at;
  }
  return following;
}

// ---------------------------------------------------------------------------------------
// Tail

struct StringMap {
  std::vector<const DESC_COMMAND_STRING *> strings;
  std::vector<DWORD> offsets;
  // The text of a CommandString number (only the first of a number is stored).
  bool Find(DWORD number, DWORD *offset, DWORD *length) const
  {
    for (size_t i = 0; i < strings.size(); ++i) {
      if (strings[i]->number == number) {
        *offset = offsets[i];
        *length = strings[i]->length;
        return true;
      }
    }
    return false;
  }
};

DWORD DescStoreCommandBlock(Writer *w, const DESC_COMMAND_BLOCK *block, const RuleMap &map, const StringMap &strings,
                            DWORD depth);

DWORD StoreStatements(Writer *w, const DESC_STATEMENT *first, const RuleMap &map, const StringMap &strings, DWORD depth)
{
  std::vector<const DESC_STATEMENT *> list;
  for (const DESC_STATEMENT *s = first; s != NULL; s = s->next) {
    if (IsStoredStatement(s)) list.push_back(s);
  }
  DWORD following = 0;
  for (size_t i = list.size(); i-- > 0 && !w->overflow && !w->tooDeep;) {
    const DESC_STATEMENT *s = list[i];
    DWORD at = 0;
    switch (s->kind) {
      case DESC_STMT_GROUP: {
        const DESC_STATEMENT_GROUP *g = reinterpret_cast<const DESC_STATEMENT_GROUP *>(s);
        at = w->Put(NULL, sizeof *g);
        if (w->overflow) return 0;
        DescSt16(w->At(at), offsetof(DESC_STATEMENT, key), s->key);
        DescSt16(w->At(at), offsetof(DESC_STATEMENT_GROUP, variant), (WORD)g->variant);
        break;
      }
      case DESC_STMT_STRING: {
        const DESC_STATEMENT_STRING *str = reinterpret_cast<const DESC_STATEMENT_STRING *>(s);
        at = w->Put(NULL, sizeof *str);
        if (w->overflow) return 0;
        DWORD text = 0, length = str->length;  // the CommandString number until resolved
        strings.Find(str->length, &text, &length);
        DescSt32(w->At(at), offsetof(DESC_STATEMENT_STRING, length), length);
        DescSt32(w->At(at), offsetof(DESC_STATEMENT_STRING, text), text);
        break;
      }
      case DESC_STMT_COMMAND: {
        DWORD nested = DescStoreCommandBlock(w, reinterpret_cast<const DESC_STATEMENT_COMMAND *>(s)->block, map,
                                             strings, depth + 1);
        at = w->Put(NULL, sizeof(DESC_STATEMENT_COMMAND));
        if (w->overflow) return 0;
        DescSt32(w->At(at), offsetof(DESC_STATEMENT_COMMAND, block), nested);
        break;
      }
      default:
        at = w->Put(NULL, sizeof(DESC_STATEMENT));
        if (w->overflow) return 0;
        break;
    }
    DescSt32(w->At(at), offsetof(DESC_STATEMENT, next), following);
    DescSt16(w->At(at), offsetof(DESC_STATEMENT, kind), s->kind);
    following = at;
  }
  return following;
}

// A block and the ElseIf chain it begins, laid out as the recursion over its else parts
// would lay it out: every link's "then" statements in chain order, the last link's else
// statements, then from the last link back each block followed by the conditional
// statement that holds it in the else part of the link before.
DWORD DescStoreCommandBlock(Writer *w, const DESC_COMMAND_BLOCK *block, const RuleMap &map, const StringMap &strings,
                            DWORD depth)
{
  if (depth > DESC_MAX_COMMAND_DEPTH) {
    w->tooDeep = true;
    return 0;
  }
  std::vector<const DESC_COMMAND_BLOCK *> chain;
  std::vector<DWORD> thenLists;
  for (const DESC_COMMAND_BLOCK *b = block; b != NULL; b = ChainNext(b->elsePart)) {
    // Every link takes a block and a statement: a chain longer than the block cannot fit.
    if ((chain.size() + 1) * (sizeof(DESC_COMMAND_BLOCK) + sizeof(DESC_STATEMENT_COMMAND)) > w->size) {
      w->overflow = true;
      return 0;
    }
    chain.push_back(b);
    thenLists.push_back(StoreStatements(w, b->thenList, map, strings, depth));
    if (w->overflow || w->tooDeep) return 0;
  }
  DWORD following = StoreStatements(w, chain.back()->elsePart, map, strings, depth);
  for (size_t i = chain.size(); i-- > 0;) {
    DWORD at = w->Put(NULL, sizeof(DESC_COMMAND_BLOCK));
    if (w->overflow || w->tooDeep) return 0;
    DescSt32(w->At(at), offsetof(DESC_COMMAND_BLOCK, judge), map.Judge(chain[i]->judge));
    DescSt32(w->At(at), offsetof(DESC_COMMAND_BLOCK, thenList), thenLists[i]);
    DescSt32(w->At(at), offsetof(DESC_COMMAND_BLOCK, elsePart), following);
    if (i == 0) return at;
    DWORD statement = w->Put(NULL, sizeof(DESC_STATEMENT_COMMAND));
    if (w->overflow) return 0;
    DescSt32(w->At(statement), offsetof(DESC_STATEMENT, next), 0);
    DescSt16(w->At(statement), offsetof(DESC_STATEMENT, kind), DESC_STMT_COMMAND);
    DescSt32(w->At(statement), offsetof(DESC_STATEMENT_COMMAND, block), at);
    following = statement;
  }
  return 0;
}

// Stores one font list; answers the array's offset (0 for an empty list) and its count.
DWORD DescStoreFontList(Writer *w, DWORD count, DESC_FONT_ID *const *list, DWORD *stored)
{
  std::vector<DWORD> entries;
  for (DWORD i = 0; list != NULL && i < count; ++i) {
    if (list[i] == NULL) continue;
    DWORD name = w->PutText(list[i]->name);
    DWORD at = w->Put(NULL, sizeof(DESC_FONT_ID));
    if (w->overflow) return 0;
    DescSt32(w->At(at), offsetof(DESC_FONT_ID, fontId), list[i]->fontId);
    DescSt32(w->At(at), offsetof(DESC_FONT_ID, name), name);
    entries.push_back(at);
  }
  *stored = (DWORD)entries.size();
  if (entries.empty()) return 0;
  DWORD array = w->Put(NULL, 4 * (DWORD)entries.size());
  for (size_t i = 0; i < entries.size() && !w->overflow; ++i) DescSt32(w->At(array), 4 * i, entries[i]);
  return array;
}

void DescStoreTail(Writer *w, const DESC_PARSE_STATE *state, BYTE *out, const RuleMap &map)
{
  const DESC_HEADER *h = state->header;
  StringMap strings;
  for (const DESC_COMMAND_STRING *c = state->strings; c != NULL; c = c->next) {
    if (!StoredString(state, c)) continue;
    strings.strings.push_back(c);
    strings.offsets.push_back(w->Put(c->text, c->length));
  }
  DescSt32(out, offsetof(DESC_HEADER, uiResDllName), w->PutWideText(h->uiResDllName));
  DescSt32(out, offsetof(DESC_HEADER, excDepDllName), w->PutWideText(h->excDepDllName));
  for (DWORD g = 0; g < DESC_GROUP_COUNT; ++g) {
    DWORD at = h->groups[g] != NULL ? DescStoreCommandBlock(w, h->groups[g], map, strings, 1) : 0;
    DescSt32(out, offsetof(DESC_HEADER, groups) + 4 * g, at);
  }
  DWORD count = 0;
  DWORD array = DescStoreFontList(w, h->deviceFontCount, h->deviceFonts, &count);
  DescSt32(out, offsetof(DESC_HEADER, deviceFontCount), count);
  DescSt32(out, offsetof(DESC_HEADER, deviceFonts), array);
  array = DescStoreFontList(w, h->cartridgeFontCount, h->cartridgeFonts, &count);
  DescSt32(out, offsetof(DESC_HEADER, cartridgeFontCount), count);
  DescSt32(out, offsetof(DESC_HEADER, cartridgeFonts), array);
}

}  // namespace

DWORD WINAPI DescSizeItems(const DESC_PARSE_STATE *state) { return Clamp(SizeItems(state)); }
DWORD WINAPI DescSizeRules(const DESC_PARSE_STATE *state) { return Clamp(SizeRules(state)); }
DWORD WINAPI DescSizeTail(const DESC_PARSE_STATE *state)
{
  bool tooDeep = false;
  uint64_t size = SizeTail(state, &tooDeep);
  return tooDeep ? DESC_MAX_BLOCK_SIZE : Clamp(size);
}

// 0 when the description cannot be laid out (too large, or command blocks nested deeper
// than DESC_MAX_COMMAND_DEPTH).
DWORD WINAPI DescComputeSize(const DESC_PARSE_STATE *state)
{
  if (state == NULL || state->header == NULL) return 0;
  bool tooDeep = false;
  uint64_t size = DESC_HEADER_SIZE + SizeItems(state) + SizeRules(state) + SizeTail(state, &tooDeep);
  if (tooDeep || size >= DESC_MAX_BLOCK_SIZE) return 0;
  return (DWORD)size;
}

BOOL WINAPI DescStoreParseState(DESC_PARSE_STATE *state, BYTE *block, DWORD size)
{
  if (state == NULL || state->header == NULL || block == NULL || size < DESC_HEADER_SIZE) return FALSE;
  Writer w = {block, size, DESC_HEADER_SIZE, false, false};
  memset(block, 0, DESC_HEADER_SIZE);
  RuleMap map;
  DWORD rules = DescStoreRules(&w, state, &map);
  DWORD items = DescStoreItems(&w, state->header, block, map);
  DescStoreTail(&w, state, block, map);
  if (w.overflow || w.tooDeep) return FALSE;
  memcpy(block, state->header->fileVersion, sizeof state->header->fileVersion);
  DescSt16(block, sizeof state->header->fileVersion - 2, 0);  // the version always ends in its field
  DescSt32(block, offsetof(DESC_HEADER, totalSize), size);
  DescSt32(block, offsetof(DESC_HEADER, items), items);
  DescSt32(block, offsetof(DESC_HEADER, rules), rules);
  return TRUE;
}
