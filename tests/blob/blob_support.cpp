#include "blob_support.h"

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <sstream>

StateBuilder::StateBuilder() : state_{}
{
  header_ = New<DESC_HEADER>();
  state_.header = header_;
}

void *StateBuilder::Raw(size_t bytes)
{
  chunks_.emplace_back(new BYTE[bytes ? bytes : 1]());
  return chunks_.back().get();
}

char *StateBuilder::Text(const char *text)
{
  if (text == NULL) return NULL;
  char *copy = static_cast<char *>(Raw(strlen(text) + 1));
  memcpy(copy, text, strlen(text) + 1);
  return copy;
}

WCHAR *StateBuilder::Wide(const char *text)
{
  size_t n = strlen(text);
  WCHAR *copy = static_cast<WCHAR *>(Raw(2 * (n + 1)));
  for (size_t i = 0; i < n; ++i) copy[i] = (WCHAR)(BYTE)text[i];
  return copy;
}

void StateBuilder::SetVersion(const char *version)
{
  for (size_t i = 0; version[i] != 0 && i < 14; ++i) header_->fileVersion[i] = (WCHAR)version[i];
}

DESC_ITEM_NODE *StateBuilder::Item(WORD key, WORD itemId, WORD type, WORD variant)
{
  DESC_ITEM_NODE *n = New<DESC_ITEM_NODE>();
  n->key = key;
  n->itemId = itemId;
  n->type = type;
  n->variant = variant;
  DESC_ITEM_NODE **tail = &header_->items;
  while (*tail != NULL) tail = &(*tail)->next;
  *tail = n;
  return n;
}

DESC_VALUE_NODE *StateBuilder::Value(DESC_ITEM_NODE *item, WORD valueId, const char *command)
{
  WORD type = item->type & ~DESC_TYPE_FLAGS;
  size_t size = type == DESC_TYPE_PICK_PAGE || type == DESC_TYPE_FONT_TABLE ? 24
                : type == DESC_TYPE_PICK_SLOT                               ? 20
                                                                            : 12;
  DESC_VALUE_NODE *v = static_cast<DESC_VALUE_NODE *>(Raw(size));
  v->valueId = valueId;
  v->command = Text(command);
  DESC_VALUE_NODE **tail = reinterpret_cast<DESC_VALUE_NODE **>(&item->values);
  while (*tail != NULL) tail = &(*tail)->next;
  *tail = v;
  return v;
}

DESC_JUDGE *StateBuilder::Judge(DWORD number, std::vector<RULE_CODE_UNIT> code)
{
  DESC_JUDGE *j = New<DESC_JUDGE>();
  j->number = number;
  j->length = (DWORD)(4 * code.size());
  j->code = static_cast<RULE_CODE_UNIT *>(Raw(4 * code.size()));
  memcpy(j->code, code.data(), 4 * code.size());
  DESC_JUDGE **tail = &state_.judges;
  while (*tail != NULL) tail = &(*tail)->next;
  *tail = j;
  return j;
}

DESC_SECTION *StateBuilder::Section(DWORD kind, DWORD number, std::vector<void *> entries)
{
  DESC_SECTION *s = New<DESC_SECTION>();
  s->number = number;
  for (size_t i = 0; i + 1 < entries.size(); ++i) {
    DESC_RULE_LINK next = reinterpret_cast<DESC_RULE_LINK>(entries[i + 1]);
    memcpy(entries[i], &next, sizeof next);
  }
  s->first = entries.empty() ? NULL : entries[0];
  DESC_SECTION **tail = &state_.sections[kind];
  while (*tail != NULL) tail = &(*tail)->next;
  *tail = s;
  return s;
}

DESC_RULE_BLOCK *StateBuilder::Exclusive(WORD key)
{
  DESC_RULE_BLOCK *b = New<DESC_RULE_BLOCK>();
  b->key = key;
  DESC_RULE_BLOCK **tail = &state_.exclusive;
  while (*tail != NULL) tail = &(*tail)->next;
  *tail = b;
  return b;
}

DESC_COMMAND_STRING *StateBuilder::CommandString(DWORD number, const char *text)
{
  DESC_COMMAND_STRING *c = New<DESC_COMMAND_STRING>();
  c->number = number;
  c->text = Text(text);
  c->length = (DWORD)strlen(text) + 1;
  DESC_COMMAND_STRING **tail = &state_.strings;
  while (*tail != NULL) tail = &(*tail)->next;
  *tail = c;
  return c;
}

DESC_STATEMENT *StateBuilder::Statement(WORD kind)
{
  DESC_STATEMENT *s = static_cast<DESC_STATEMENT *>(Raw(16));
  s->kind = kind;
  return s;
}

std::vector<BYTE> StoreState(DESC_PARSE_STATE *state)
{
  DWORD size = DescComputeSize(state);
  if (size == 0) return {};
  std::vector<BYTE> block(size);
  state->header->totalSize = size;
  if (!DescStoreParseState(state, block.data(), size)) return {};
  return block;
}

DESC_PARSE_STATE *ParseText(const std::string &text) { return DescParseTextEx(text.data(), (DWORD)text.size(), NULL); }

std::string ReadFixture(const std::string &name)
{
  std::ifstream in(std::string(KV_BLOB_FIXTURES) + "/" + name, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

std::vector<BYTE> LoadGolden(const std::string &name)
{
  std::istringstream in(ReadFixture(name));
  std::vector<BYTE> block;
  size_t at = 0;
  auto put = [&](DWORD v, int bytes) {
    if (at + bytes > block.size()) {
      ADD_FAILURE() << name << ": write past the golden size at " << at;
      return;
    }
    for (int i = 0; i < bytes; ++i) block[at++] = (BYTE)(v >> (8 * i));
  };
  std::string line;
  while (std::getline(in, line)) {
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    std::istringstream words(line);
    std::string w;
    while (words >> w) {
      if (w == "size") {
        size_t n = 0;
        words >> n;
        block.assign(n, 0);
      } else if (w[0] == '@') {
        at = strtoul(w.c_str() + 1, NULL, 10);
      } else if (w.rfind("w16:", 0) == 0) {
        put((DWORD)strtol(w.c_str() + 4, NULL, 0), 2);
      } else if (w.rfind("w32:", 0) == 0) {
        put((DWORD)strtoll(w.c_str() + 4, NULL, 0), 4);
      } else if (w.rfind("t:", 0) == 0) {
        put(DESC_TAG(strtoul(w.c_str() + 2, NULL, 10)), 4);
      } else if (w.rfind("a:", 0) == 0) {
        for (char c : w.substr(2)) put((BYTE)c, 1);
      } else if (w.rfind("u16:", 0) == 0) {
        for (char c : w.substr(4)) put((BYTE)c, 2);
      } else {
        put((DWORD)strtoul(w.c_str(), NULL, 16), 1);
      }
    }
  }
  if (block.empty()) ADD_FAILURE() << name << ": no golden block";
  return block;
}

::testing::AssertionResult SameBytes(const std::vector<BYTE> &expected, const std::vector<BYTE> &actual)
{
  if (expected.size() != actual.size())
    return ::testing::AssertionFailure() << "size " << actual.size() << ", expected " << expected.size();
  for (size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] != actual[i]) {
      char buf[160];
      snprintf(buf, sizeof buf, "first difference at offset %zu: 0x%02x, expected 0x%02x", i, actual[i], expected[i]);
      std::string context = " (actual bytes from the 4-byte unit:";
      for (size_t k = i & ~(size_t)3; k < i + 8 && k < actual.size(); ++k) {
        char b[8];
        snprintf(b, sizeof b, " %02x", actual[k]);
        context += b;
      }
      return ::testing::AssertionFailure() << buf << context << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------
// Relocated block against parse state

namespace {

const BYTE *P(const void *node, size_t field) { return DescLdPtr(node, field); }
WORD W16(const void *node, size_t field) { return DescLd16(node, field); }
DWORD W32(const void *node, size_t field) { return DescLd32(node, field); }

std::string TextAt(const BYTE *p)
{
  return p != NULL ? std::string(reinterpret_cast<const char *>(p)) : std::string("<none>");
}
std::string TextOf(const char *p) { return p != NULL ? std::string(p) : std::string("<none>"); }

struct Walker {
  DESC_PARSE_STATE *state;
  const BYTE *base;
  DWORD size;

  bool InBlock(const BYTE *p) const { return p >= base && p < base + size; }

  const DESC_JUDGE *FindJudge(DESC_RULE_LINK ref) const
  {
    DWORD n = (DWORD)ref & 0xFFFF;
    if (n == 0) return NULL;
    for (const DESC_JUDGE *j = state->judges; j != NULL; j = j->next)
      if (j->number == n) return j;
    return NULL;
  }
  const void *FindSection(DWORD kind, DESC_RULE_LINK ref) const
  {
    DWORD n = (DWORD)ref & 0xFFFF;
    if (n == 0) return NULL;
    for (const DESC_SECTION *s = state->sections[kind]; s != NULL; s = s->next)
      if (s->number == n) return s->first;
    return NULL;
  }

  void Judge(const BYTE *stored, DESC_RULE_LINK ref, const char *what)
  {
    const DESC_JUDGE *j = FindJudge(ref);
    if (j == NULL) {
      EXPECT_EQ(stored, nullptr) << what;
      return;
    }
    ASSERT_NE(stored, nullptr) << what;
    ASSERT_TRUE(InBlock(stored)) << what;
    EXPECT_EQ(0, memcmp(stored, j->code, j->length)) << what << ": judge " << j->number << " code";
  }

  static const void *Next(const void *entry)
  {
    DESC_RULE_LINK next;
    memcpy(&next, entry, sizeof next);
    return reinterpret_cast<const void *>(next);
  }

  void Actions(const BYTE *stored, const void *entry)
  {
    for (; entry != NULL; entry = Next(entry), stored = P(stored, 0)) {
      ASSERT_NE(stored, nullptr);
      const DESC_ACTION *a = static_cast<const DESC_ACTION *>(entry);
      EXPECT_EQ(W16(stored, offsetof(DESC_ACTION, target)), a->target);
      EXPECT_EQ(W16(stored, offsetof(DESC_ACTION, kind)), a->kind);
      EXPECT_EQ(W32(stored, offsetof(DESC_ACTION, value)), a->value);
    }
    EXPECT_EQ(stored, nullptr) << "action list longer than its section";
  }

  void Transactions(const BYTE *stored, const void *entry)
  {
    for (; entry != NULL; entry = Next(entry), stored = P(stored, 0)) {
      ASSERT_NE(stored, nullptr);
      const DESC_TRANSACTION *t = static_cast<const DESC_TRANSACTION *>(entry);
      Judge(P(stored, offsetof(DESC_TRANSACTION, judge)), t->judge, "transaction judge");
      Actions(P(stored, offsetof(DESC_TRANSACTION, actions)), FindSection(DESC_SECTION_ACTION, t->actions));
    }
    EXPECT_EQ(stored, nullptr) << "transaction list longer than its section";
  }

  void Alerts(const BYTE *stored, const void *entry)
  {
    for (; entry != NULL; entry = Next(entry), stored = P(stored, 0)) {
      ASSERT_NE(stored, nullptr);
      const DESC_ALERT *a = static_cast<const DESC_ALERT *>(entry);
      Judge(P(stored, offsetof(DESC_ALERT, judge)), a->judge, "alert judge");
      EXPECT_EQ(W16(stored, offsetof(DESC_ALERT, message)), a->message);
      EXPECT_EQ(W16(stored, offsetof(DESC_ALERT, icon)), a->icon);
      EXPECT_EQ(W16(stored, offsetof(DESC_ALERT, buttons)), a->buttons);
      EXPECT_EQ(W16(stored, offsetof(DESC_ALERT, timing)), a->timing);
      const BYTE *answer = P(stored, offsetof(DESC_ALERT, answers));
      for (const void *e = FindSection(DESC_SECTION_ALERT_ACTION, a->answers); e != NULL;
           e = Next(e), answer = P(answer, 0)) {
        ASSERT_NE(answer, nullptr);
        const DESC_ALERT_ACTION *aa = static_cast<const DESC_ALERT_ACTION *>(e);
        EXPECT_EQ(W16(answer, offsetof(DESC_ALERT_ACTION, button)), aa->button);
        EXPECT_EQ(W16(answer, offsetof(DESC_ALERT_ACTION, dialog)), aa->dialog);
        EXPECT_EQ(W16(answer, offsetof(DESC_ALERT_ACTION, control)), aa->control);
        Transactions(P(answer, offsetof(DESC_ALERT_ACTION, transactions)),
                     FindSection(DESC_SECTION_TRANSACT, aa->transactions));
      }
      EXPECT_EQ(answer, nullptr);
    }
    EXPECT_EQ(stored, nullptr) << "alert list longer than its section";
  }

  void Rules()
  {
    const BYTE *block = P(base, offsetof(DESC_HEADER, rules));
    for (const DESC_RULE_BLOCK *b = state->exclusive; b != NULL; b = b->next) {
      ASSERT_NE(block, nullptr) << "fewer rule blocks than Exclusive entries";
      EXPECT_EQ(W16(block, offsetof(DESC_RULE_BLOCK, key)), b->key);
      Judge(P(block, offsetof(DESC_RULE_BLOCK, hideJudge)), b->hideJudge, "hide judge");
      Judge(P(block, offsetof(DESC_RULE_BLOCK, disableJudge)), b->disableJudge, "disable judge");
      const BYTE *rule = P(block, offsetof(DESC_RULE_BLOCK, valueRules));
      for (const void *e = FindSection(DESC_SECTION_ITEM, b->valueRules); e != NULL; e = Next(e), rule = P(rule, 0)) {
        ASSERT_NE(rule, nullptr);
        const DESC_VALUE_RULE *r = static_cast<const DESC_VALUE_RULE *>(e);
        EXPECT_EQ(W16(rule, offsetof(DESC_VALUE_RULE, valueId)), r->valueId);
        Judge(P(rule, offsetof(DESC_VALUE_RULE, hideJudge)), r->hideJudge, "value hide judge");
        Judge(P(rule, offsetof(DESC_VALUE_RULE, disableJudge)), r->disableJudge, "value disable judge");
      }
      EXPECT_EQ(rule, nullptr);
      Alerts(P(block, offsetof(DESC_RULE_BLOCK, alerts)), FindSection(DESC_SECTION_ALERT, b->alerts));
      Transactions(P(block, offsetof(DESC_RULE_BLOCK, transactions1)),
                   FindSection(DESC_SECTION_TRANSACT, b->transactions1));
      Transactions(P(block, offsetof(DESC_RULE_BLOCK, transactions2)),
                   FindSection(DESC_SECTION_TRANSACT, b->transactions2));
      const BYTE *next = P(block, offsetof(DESC_RULE_BLOCK, next));
      if (b->next != NULL) {
        EXPECT_EQ(next, block + sizeof(DESC_RULE_BLOCK));
      }
      block = next;
    }
    EXPECT_EQ(block, nullptr) << "more rule blocks than Exclusive entries";
  }

  const BYTE *FirstBlockOfKey(WORD key) const
  {
    for (const BYTE *b = P(base, offsetof(DESC_HEADER, rules)); b != NULL; b = P(b, 0))
      if (W16(b, offsetof(DESC_RULE_BLOCK, key)) == key) return b;
    return NULL;
  }

  void ValueData(const BYTE *stored, const DESC_ITEM_NODE *n)
  {
    WORD type = n->type & ~DESC_TYPE_FLAGS;
    switch (type) {
      case DESC_TYPE_BOOLEAN: {
        const DESC_BOOLEAN_VALUE *b = static_cast<const DESC_BOOLEAN_VALUE *>(n->values);
        EXPECT_EQ(W32(stored, 0), b->defaultValue);
        EXPECT_EQ(TextAt(P(stored, 4)), TextOf(b->trueText));
        EXPECT_EQ(TextAt(P(stored, 8)), TextOf(b->falseText));
        return;
      }
      case DESC_TYPE_NUMERIC: EXPECT_EQ(0, memcmp(stored, n->values, sizeof(DESC_NUMERIC_VALUE))); return;
      case DESC_TYPE_STRING: EXPECT_EQ(0, memcmp(stored, n->values, sizeof(DESC_STRING_VALUE))); return;
      case DESC_TYPE_PICK_ONE:
      case DESC_TYPE_PICK_MANY:
      case DESC_TYPE_PICK_PAGE:
      case DESC_TYPE_PICK_SLOT:
      case DESC_TYPE_FONT_TABLE: break;
      default: EXPECT_EQ(stored, nullptr) << "data stored for a type without a store step"; return;
    }
    const BYTE *v = stored;
    for (const DESC_VALUE_NODE *pv = static_cast<const DESC_VALUE_NODE *>(n->values); pv != NULL;
         pv = pv->next, v = P(v, 0)) {
      ASSERT_NE(v, nullptr);
      EXPECT_EQ(W16(v, offsetof(DESC_VALUE_NODE, valueId)), pv->valueId);
      EXPECT_EQ(TextAt(P(v, offsetof(DESC_VALUE_NODE, command))), TextOf(pv->command));
      if (type == DESC_TYPE_PICK_PAGE) {
        const DESC_PAGE_VALUE_NODE *pp = reinterpret_cast<const DESC_PAGE_VALUE_NODE *>(pv);
        EXPECT_EQ((LONG)W32(v, offsetof(DESC_PAGE_VALUE_NODE, width)), pp->width);
        EXPECT_EQ((LONG)W32(v, offsetof(DESC_PAGE_VALUE_NODE, length)), pp->length);
        const BYTE *g = P(v, offsetof(DESC_PAGE_VALUE_NODE, geometry));
        for (const DESC_PAPER_GEOMETRY *pg = pp->geometry; pg != NULL; pg = pg->next, g = P(g, 0)) {
          ASSERT_NE(g, nullptr);
          EXPECT_EQ(0, memcmp(g + 4, reinterpret_cast<const BYTE *>(pg) + 4, sizeof *pg - 4));
        }
        EXPECT_EQ(g, nullptr);
      } else if (type == DESC_TYPE_PICK_SLOT) {
        const DESC_SLOT_VALUE_NODE *ps = reinterpret_cast<const DESC_SLOT_VALUE_NODE *>(pv);
        DWORD count = ps->papers != NULL ? ps->count : 0;
        EXPECT_EQ(W32(v, offsetof(DESC_SLOT_VALUE_NODE, count)), count);
        if (count != 0) {
          EXPECT_EQ(0, memcmp(P(v, offsetof(DESC_SLOT_VALUE_NODE, papers)), ps->papers, 2 * count));
        }
      } else if (type == DESC_TYPE_FONT_TABLE) {
        const DESC_FONT_VALUE_NODE *pf = reinterpret_cast<const DESC_FONT_VALUE_NODE *>(pv);
        ASSERT_EQ(W32(v, offsetof(DESC_FONT_VALUE_NODE, count)), pf->count);
        for (DWORD i = 0; i < pf->count; ++i) {
          EXPECT_EQ(TextAt(P(P(v, offsetof(DESC_FONT_VALUE_NODE, names)), 4 * i)), TextOf(pf->names[i]));
          EXPECT_EQ(TextAt(P(P(v, offsetof(DESC_FONT_VALUE_NODE, substitutes)), 4 * i)), TextOf(pf->substitutes[i]));
        }
      }
    }
    EXPECT_EQ(v, nullptr) << "value list longer than the parsed one";
  }

  void Items()
  {
    const BYTE *node = P(base, offsetof(DESC_HEADER, items));
    std::vector<std::pair<const BYTE *, const DESC_ITEM_NODE *>> pairs;
    for (const DESC_ITEM_NODE *n = state->header->items; n != NULL; n = n->next, node = P(node, 0)) {
      ASSERT_NE(node, nullptr) << "item list shorter than the parsed one";
      ASSERT_TRUE(InBlock(node));
      pairs.emplace_back(node, n);
      EXPECT_EQ(W16(node, offsetof(DESC_ITEM_NODE, key)), n->key);
      EXPECT_EQ(W16(node, offsetof(DESC_ITEM_NODE, variant)), n->variant);
      EXPECT_EQ(W16(node, offsetof(DESC_ITEM_NODE, itemId)), n->itemId);
      EXPECT_EQ(W16(node, offsetof(DESC_ITEM_NODE, type)), n->type);
      EXPECT_EQ(W16(node, offsetof(DESC_ITEM_NODE, defaultValue)), n->defaultValue);
      const BYTE *command = P(node, offsetof(DESC_ITEM_NODE, command));
      if (n->command == NULL) {
        EXPECT_EQ(command, nullptr);
      } else {
        ASSERT_NE(command, nullptr);
        EXPECT_EQ(TextAt(P(command, 0)), TextOf(n->command->first));
        EXPECT_EQ(TextAt(P(command, 4)), TextOf(n->command->second));
      }
      EXPECT_EQ(P(node, offsetof(DESC_ITEM_NODE, rules)), FirstBlockOfKey(n->key));
    }
    EXPECT_EQ(node, nullptr) << "item list longer than the parsed one";
    for (const auto &[stored, n] : pairs) {
      const BYTE *data = P(stored, offsetof(DESC_ITEM_NODE, values));
      if (n->variant == 0) {
        if (n->values != NULL)
          ValueData(data, n);
        else
          EXPECT_EQ(data, nullptr);
      } else if (data != NULL) {
        // Shared data: the data of the first base node in list order of the share key.
        WORD key = (n->type & DESC_TYPE_IDENTITY) ? n->variant : n->key;
        const BYTE *owner = NULL;
        for (const auto &[s2, n2] : pairs) {
          if (n2->variant == 0 && n2->key == key && P(s2, offsetof(DESC_ITEM_NODE, values)) != NULL) {
            owner = P(s2, offsetof(DESC_ITEM_NODE, values));
            break;
          }
        }
        EXPECT_EQ(data, owner) << "variant of key " << n->key;
      }
    }
    for (DWORD slot = offsetof(DESC_HEADER, slotsLow); slot < offsetof(DESC_HEADER, uiResDllName); slot += 4) {
      const BYTE *target = P(base, slot);
      if (target != NULL) {
        EXPECT_EQ(DescSlotOffset(W16(target, offsetof(DESC_ITEM_NODE, itemId))), slot);
      }
    }
  }

  std::pair<const char *, DWORD> FindString(DWORD number) const
  {
    std::pair<const char *, DWORD> found(NULL, 0);
    for (const DESC_COMMAND_STRING *c = state->strings; c != NULL; c = c->next)
      if (c->number == number && c->text != NULL && c->length != 0) found = {c->text, c->length};
    return found;
  }

  void Statements(const BYTE *stored, const DESC_STATEMENT *s)
  {
    for (; s != NULL; s = s->next) {
      if (s->kind < DESC_STMT_GROUP || s->kind > DESC_STMT_FONT) continue;
      if (s->kind == DESC_STMT_COMMAND && reinterpret_cast<const DESC_STATEMENT_COMMAND *>(s)->block == NULL) continue;
      ASSERT_NE(stored, nullptr) << "statement list shorter than the parsed one";
      EXPECT_EQ(W16(stored, offsetof(DESC_STATEMENT, kind)), s->kind);
      if (s->kind == DESC_STMT_GROUP) {
        EXPECT_EQ(W16(stored, offsetof(DESC_STATEMENT, key)), s->key);
        EXPECT_EQ((SHORT)W16(stored, offsetof(DESC_STATEMENT_GROUP, variant)),
                  reinterpret_cast<const DESC_STATEMENT_GROUP *>(s)->variant);
      } else if (s->kind == DESC_STMT_STRING) {
        DWORD number = reinterpret_cast<const DESC_STATEMENT_STRING *>(s)->length;
        auto [text, length] = FindString(number);
        if (text == NULL) {
          EXPECT_EQ(W32(stored, offsetof(DESC_STATEMENT_STRING, length)), number);
          EXPECT_EQ(P(stored, offsetof(DESC_STATEMENT_STRING, text)), nullptr);
        } else {
          EXPECT_EQ(W32(stored, offsetof(DESC_STATEMENT_STRING, length)), length);
          EXPECT_EQ(TextAt(P(stored, offsetof(DESC_STATEMENT_STRING, text))), std::string(text));
        }
      } else if (s->kind == DESC_STMT_COMMAND) {
        Block(P(stored, offsetof(DESC_STATEMENT_COMMAND, block)),
              reinterpret_cast<const DESC_STATEMENT_COMMAND *>(s)->block);
      }
      stored = P(stored, 0);
    }
    EXPECT_EQ(stored, nullptr) << "statement list longer than the parsed one";
  }

  // A block and the ElseIf chain it begins (an else part that is one conditional
  // statement), link by link.
  void Block(const BYTE *stored, const DESC_COMMAND_BLOCK *b)
  {
    for (;;) {
      if (b == NULL) {
        EXPECT_EQ(stored, nullptr);
        return;
      }
      ASSERT_NE(stored, nullptr);
      Judge(P(stored, offsetof(DESC_COMMAND_BLOCK, judge)), b->judge, "command block judge");
      Statements(P(stored, offsetof(DESC_COMMAND_BLOCK, thenList)), b->thenList);
      const DESC_STATEMENT *e = b->elsePart;
      const BYTE *storedElse = P(stored, offsetof(DESC_COMMAND_BLOCK, elsePart));
      if (e == NULL || e->next != NULL || e->kind != DESC_STMT_COMMAND ||
          reinterpret_cast<const DESC_STATEMENT_COMMAND *>(e)->block == NULL)
        return Statements(storedElse, e);
      ASSERT_NE(storedElse, nullptr);
      EXPECT_EQ(W16(storedElse, offsetof(DESC_STATEMENT, kind)), DESC_STMT_COMMAND);
      EXPECT_EQ(P(storedElse, 0), nullptr);
      stored = P(storedElse, offsetof(DESC_STATEMENT_COMMAND, block));
      b = reinterpret_cast<const DESC_STATEMENT_COMMAND *>(e)->block;
    }
  }

  void Fonts(DWORD count, DESC_FONT_ID *const *list, size_t countField, size_t listField)
  {
    std::vector<const DESC_FONT_ID *> entries;
    for (DWORD i = 0; list != NULL && i < count; ++i)
      if (list[i] != NULL) entries.push_back(list[i]);
    ASSERT_EQ(W32(base, countField), entries.size());
    const BYTE *array = P(base, listField);
    for (size_t i = 0; i < entries.size(); ++i) {
      const BYTE *e = P(array, 4 * i);
      EXPECT_EQ(W32(e, 0), entries[i]->fontId);
      EXPECT_EQ(TextAt(P(e, 4)), TextOf(entries[i]->name));
    }
  }

  static std::u16string Wide(const BYTE *p)
  {
    std::u16string s;
    if (p == NULL) return u"<none>";
    for (size_t i = 0;; i += 2) {
      char16_t c;
      memcpy(&c, p + i, 2);
      if (c == 0) break;
      s += c;
    }
    return s;
  }

  void Tail()
  {
    const DESC_HEADER *h = state->header;
    EXPECT_TRUE(Wide(P(base, offsetof(DESC_HEADER, uiResDllName))) ==
                (h->uiResDllName ? std::u16string(h->uiResDllName) : std::u16string(u"<none>")));
    EXPECT_TRUE(Wide(P(base, offsetof(DESC_HEADER, excDepDllName))) ==
                (h->excDepDllName ? std::u16string(h->excDepDllName) : std::u16string(u"<none>")));
    for (DWORD g = 0; g < DESC_GROUP_COUNT; ++g) Block(P(base, offsetof(DESC_HEADER, groups) + 4 * g), h->groups[g]);
    Fonts(h->deviceFontCount, h->deviceFonts, offsetof(DESC_HEADER, deviceFontCount),
          offsetof(DESC_HEADER, deviceFonts));
    Fonts(h->cartridgeFontCount, h->cartridgeFonts, offsetof(DESC_HEADER, cartridgeFontCount),
          offsetof(DESC_HEADER, cartridgeFonts));
  }
};

}  // namespace

void ExpectMatchesState(const DESC_BLOB *blob, DESC_PARSE_STATE *state)
{
  const BYTE *base = reinterpret_cast<const BYTE *>(blob);
  Walker w{state, base, W32(base, offsetof(DESC_HEADER, totalSize))};
  EXPECT_EQ(0, memcmp(base, state->header->fileVersion, sizeof state->header->fileVersion));
  w.Rules();
  w.Items();
  w.Tail();
}

// ---------------------------------------------------------------------------------------

namespace {

RULE_CODE_UNIT Unit(WORD kind, WORD operand) { return RULE_CODE_UNIT{kind, operand}; }

template <class T>
T *Entry(StateBuilder &b)
{
  return b.New<T>();
}

DESC_STATEMENT *StringStatement(StateBuilder &b, DWORD number)
{
  DESC_STATEMENT_STRING *s = reinterpret_cast<DESC_STATEMENT_STRING *>(b.Statement(DESC_STMT_STRING));
  s->length = number;
  return &s->head;
}

DESC_STATEMENT *CommandStatement(StateBuilder &b, DESC_RULE_LINK judge, DESC_STATEMENT *thenList,
                                 DESC_STATEMENT *elsePart)
{
  DESC_COMMAND_BLOCK *block = b.New<DESC_COMMAND_BLOCK>();
  block->judge = judge;
  block->thenList = thenList;
  block->elsePart = elsePart;
  DESC_STATEMENT_COMMAND *s = reinterpret_cast<DESC_STATEMENT_COMMAND *>(b.Statement(DESC_STMT_COMMAND));
  s->block = block;
  return &s->head;
}

DESC_STATEMENT *Chain(std::vector<DESC_STATEMENT *> list)
{
  for (size_t i = 0; i + 1 < list.size(); ++i) list[i]->next = list[i + 1];
  return list.empty() ? NULL : list[0];
}

}  // namespace

void BuildRichState(StateBuilder &b)
{
  b.SetVersion("1.41");
  b.Judge(1, {Unit(1, 15), Unit(2, 2019), Unit(3, RULE_OP_EQ), Unit(3, RULE_OP_END)});
  b.Judge(2, {Unit(1, 7), Unit(2, 2043), Unit(3, RULE_OP_EQ), Unit(3, RULE_OP_END)});
  b.Judge(3, {Unit(1, 7), Unit(3, RULE_OP_NOT), Unit(3, RULE_OP_END)});

  DESC_VALUE_RULE *r1 = Entry<DESC_VALUE_RULE>(b), *r2 = Entry<DESC_VALUE_RULE>(b);
  r1->valueId = 2018;
  r1->hideJudge = DESC_REF_JUDGE | 1;
  r2->valueId = 2019;
  r2->disableJudge = DESC_REF_JUDGE | 2;
  b.Section(DESC_SECTION_ITEM, 1, {r1, r2});
  DESC_ACTION *a1 = Entry<DESC_ACTION>(b), *a2 = Entry<DESC_ACTION>(b);
  a1->target = 12;
  a1->value = 2;
  a2->target = 1002;
  a2->kind = 1;
  b.Section(DESC_SECTION_ACTION, 1, {a1, a2});
  DESC_TRANSACTION *t1 = Entry<DESC_TRANSACTION>(b), *t2 = Entry<DESC_TRANSACTION>(b);
  t1->judge = DESC_REF_JUDGE | 1;
  t1->actions = DESC_REF_ACTION | 1;
  t2->actions = DESC_REF_ACTION | 1;
  b.Section(DESC_SECTION_TRANSACT, 1, {t1, t2});
  DESC_TRANSACTION *t3 = Entry<DESC_TRANSACTION>(b);
  t3->judge = DESC_REF_JUDGE | 3;
  b.Section(DESC_SECTION_TRANSACT, 2, {t3});
  DESC_ALERT_ACTION *aa = Entry<DESC_ALERT_ACTION>(b);
  aa->button = 1;
  aa->transactions = DESC_REF_TRANSACT | 2;
  aa->dialog = 1001;
  aa->control = 2018;
  b.Section(DESC_SECTION_ALERT_ACTION, 1, {aa});
  DESC_ALERT *alert = Entry<DESC_ALERT>(b);
  alert->judge = DESC_REF_JUDGE | 2;
  alert->message = 166;
  alert->icon = 0x30;
  alert->buttons = 1;
  alert->answers = DESC_REF_ALERT_ACTION | 1;
  b.Section(DESC_SECTION_ALERT, 1, {alert});
  DESC_RULE_BLOCK *x1 = b.Exclusive(238);
  x1->hideJudge = DESC_REF_JUDGE | 1;
  x1->disableJudge = DESC_REF_JUDGE | 2;
  x1->valueRules = DESC_REF_ITEM | 1;
  x1->alerts = DESC_REF_ALERT | 1;
  x1->transactions1 = DESC_REF_TRANSACT | 1;
  x1->transactions2 = DESC_REF_TRANSACT | 2;
  b.Exclusive(256)->transactions1 = DESC_REF_TRANSACT | 1;
  b.Exclusive(71)->transactions2 = DESC_REF_TRANSACT | 2;

  DESC_ITEM_NODE *color = b.Item(238, 15, DESC_TYPE_PICK_ONE);
  b.Value(color, 2018, "mono");
  b.Value(color, 2019, "color");
  color->defaultValue = 1;
  color->command = b.New<DESC_OPTION_COMMAND>();
  color->command->first = b.Text("@PJL A");
  color->command->second = b.Text("@PJL B");
  DESC_ITEM_NODE *colorVariant = b.Item(238, 15, DESC_TYPE_PICK_ONE, 3);
  colorVariant->values = color->values;
  colorVariant->command = color->command;  // a variant copies its base's pair

  DESC_ITEM_NODE *paper = b.Item(71, 8, DESC_TYPE_PICK_PAGE);
  DESC_PAGE_VALUE_NODE *letter = reinterpret_cast<DESC_PAGE_VALUE_NODE *>(b.Value(paper, 3001, "letter"));
  letter->width = 2159;
  letter->length = 2794;
  DESC_PAPER_GEOMETRY *g1 = b.New<DESC_PAPER_GEOMETRY>(), *g2 = b.New<DESC_PAPER_GEOMETRY>();
  *g1 = DESC_PAPER_GEOMETRY{NULL, 600, 2042, 0, 0, 1, 2, 3, 4, 5, 6};
  *g2 = DESC_PAPER_GEOMETRY{NULL, 1200, 2043, 238, 2019, 7, 8, 9, 10, 11, 12};
  g1->next = g2;
  letter->geometry = g1;
  b.Value(paper, 3003, NULL);

  DESC_ITEM_NODE *tray = b.Item(52, 13, DESC_TYPE_PICK_SLOT);
  DESC_SLOT_VALUE_NODE *t = reinterpret_cast<DESC_SLOT_VALUE_NODE *>(b.Value(tray, 4001, "t1"));
  t->count = 2;
  t->papers = static_cast<WORD *>(b.Raw(4));
  t->papers[0] = 3001;
  t->papers[1] = 3003;
  b.Value(tray, 4002, NULL);

  DESC_ITEM_NODE *copies = b.Item(88, 12, DESC_TYPE_NUMERIC);
  DESC_NUMERIC_VALUE *numeric = b.New<DESC_NUMERIC_VALUE>();
  *numeric = DESC_NUMERIC_VALUE{0, 1, 1, 0, 0, 0, 1, 1, 999};
  copies->values = numeric;

  DESC_ITEM_NODE *func = b.Item(753, 1270, DESC_TYPE_BOOLEAN);
  DESC_BOOLEAN_VALUE *boolean = b.New<DESC_BOOLEAN_VALUE>();
  boolean->defaultValue = 1;
  boolean->trueText = b.Text("on");
  func->values = boolean;

  DESC_ITEM_NODE *text = b.Item(136, 10175, DESC_TYPE_STRING);
  DESC_STRING_VALUE *string = b.New<DESC_STRING_VALUE>();
  *string = DESC_STRING_VALUE{3001, 32, 2, 0x100};
  text->values = string;

  DESC_ITEM_NODE *fonts = b.Item(652, 180, DESC_TYPE_FONT_TABLE);
  DESC_FONT_VALUE_NODE *f = reinterpret_cast<DESC_FONT_VALUE_NODE *>(b.Value(fonts, 2018, "f"));
  f->count = 2;
  f->names = static_cast<char **>(b.Raw(8));
  f->substitutes = static_cast<char **>(b.Raw(8));
  f->names[0] = b.Text("Arial");
  f->names[1] = b.Text("Times");
  f->substitutes[0] = b.Text("Helv");
  f->substitutes[1] = b.Text("Roman");

  DESC_ITEM_NODE *identity = b.Item(70, 0, DESC_TYPE_IDENTITY | DESC_TYPE_PICK_ONE, 238);
  identity->values = color->values;
  DESC_ITEM_NODE *both = b.Item(50, 54, DESC_TYPE_PICK_ONE | DESC_TYPE_PICK_MANY);
  b.Value(both, 2018, "unstored");

  b.CommandString(1, "@PJL ONE");
  b.CommandString(2, "@PJL TWO");
  b.header()->uiResDllName = b.Wide("kvres.dll");
  b.header()->excDepDllName = b.Wide("kvdep.dll");
  DESC_STATEMENT_GROUP *group = reinterpret_cast<DESC_STATEMENT_GROUP *>(b.Statement(DESC_STMT_GROUP));
  group->head.key = 238;
  group->variant = -1;
  DESC_STATEMENT *elseIf = CommandStatement(b, DESC_REF_JUDGE | 2, b.Statement(DESC_STMT_FONT), NULL);
  DESC_STATEMENT *command = CommandStatement(b, DESC_REF_JUDGE | 1, StringStatement(b, 2), elseIf);
  DESC_COMMAND_BLOCK *jobStart = b.New<DESC_COMMAND_BLOCK>();
  jobStart->thenList = Chain({&group->head, StringStatement(b, 1), command});
  b.header()->groups[DESC_GROUP_JOB_START] = jobStart;
  DESC_COMMAND_BLOCK *pageEnd = b.New<DESC_COMMAND_BLOCK>();
  pageEnd->thenList = StringStatement(b, 3);
  b.header()->groups[DESC_GROUP_PAGE_END] = pageEnd;

  DESC_FONT_ID **list = static_cast<DESC_FONT_ID **>(b.Raw(8));
  list[0] = b.New<DESC_FONT_ID>();
  list[0]->fontId = 1;
  list[0]->name = b.Text("Courier");
  list[1] = b.New<DESC_FONT_ID>();
  list[1]->fontId = 2;
  list[1]->name = b.Text("Letter Gothic");
  b.header()->deviceFontCount = 2;
  b.header()->deviceFonts = list;
}
