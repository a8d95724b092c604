#include "sample_fixture.h"

#include <fstream>
#include <sstream>

DiagnosticLog::DiagnosticLog()
{
  sink_.user = this;
  sink_.report = &DiagnosticLog::Report;
}

void DiagnosticLog::Report(void *user, DWORD line, DWORD severity, const char *message)
{
  static_cast<DiagnosticLog *>(user)->entries_.push_back({line, severity, message ? message : ""});
}

size_t DiagnosticLog::Count(DWORD severity) const
{
  size_t n = 0;
  for (const Diagnostic &d : entries_) n += d.severity == severity;
  return n;
}

std::string DiagnosticLog::Text() const
{
  std::string out;
  for (const Diagnostic &d : entries_) {
    out += "KVSAMPLE.KVD:" + std::to_string(d.line) + ": " + (d.severity == DESC_DIAG_ERROR ? "error: " : "warning: ") +
           d.message + "\n";
  }
  return out;
}

std::string SampleDescTest::SampleText()
{
  std::ifstream f(KV_SAMPLE_DIR "/KVSAMPLE.KVD", std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void SampleDescTest::SetUp()
{
  MachineTest::SetUp();
  std::string text = SampleText();
  ASSERT_FALSE(text.empty()) << "cannot read " KV_SAMPLE_DIR "/KVSAMPLE.KVD";
  WriteHostFile(HostPath(kPath), text);
}

void SampleDescTest::TearDown()
{
  DescParseStateFree(state_);
  state_ = nullptr;
  MachineTest::TearDown();
}

DESC_PARSE_STATE *SampleDescTest::Parse()
{
  if (!state_) state_ = DescParseFileEx(kPath, log_.Sink());
  return state_;
}

WORD Key(const char *symbol)
{
  const SYMBOL_ENTRY *e = ItemFindSymbolByName(symbol);
  EXPECT_NE(nullptr, e) << symbol;
  return e ? e->key : 0;
}

WORD ItemIdOf(const char *symbol)
{
  const SYMBOL_ENTRY *e = ItemFindSymbolByName(symbol);
  EXPECT_NE(nullptr, e) << symbol;
  return e ? e->itemId : 0;
}

WORD ValueId(const char *value)
{
  const VALUE_SYMBOL *v = ItemFindValueSymbolByName(value);
  EXPECT_NE(nullptr, v) << value;
  return v ? v->valueId : 0;
}

const DESC_ITEM_NODE *FindItem(const DESC_PARSE_STATE *s, const char *symbol, WORD variant)
{
  WORD key = Key(symbol);
  for (const DESC_ITEM_NODE *n = s->header->items; n; n = n->next)
    if (n->key == key && n->variant == variant) return n;
  return nullptr;
}

size_t CountItems(const DESC_PARSE_STATE *s)
{
  size_t n = 0;
  for (const DESC_ITEM_NODE *i = s->header->items; i; i = i->next) ++n;
  return n;
}

std::vector<const DESC_VALUE_NODE *> Values(const DESC_ITEM_NODE *item)
{
  std::vector<const DESC_VALUE_NODE *> out;
  if (!item || (item->type & 0x3) == 0) return out;
  for (auto *v = static_cast<const DESC_VALUE_NODE *>(item->values); v; v = v->next) out.push_back(v);
  return out;
}

const DESC_VALUE_NODE *FindValue(const DESC_ITEM_NODE *item, const char *value)
{
  WORD id = ValueId(value);
  for (const DESC_VALUE_NODE *v : Values(item))
    if (v->valueId == id) return v;
  return nullptr;
}

const DESC_COMMAND_STRING *FindString(const DESC_PARSE_STATE *s, DWORD number)
{
  for (const DESC_COMMAND_STRING *c = s->strings; c; c = c->next)
    if (c->number == number) return c;
  return nullptr;
}

const DESC_JUDGE *FindJudge(const DESC_PARSE_STATE *s, DWORD number)
{
  for (const DESC_JUDGE *j = s->judges; j; j = j->next)
    if (j->number == number) return j;
  return nullptr;
}

const DESC_SECTION *FindSection(const DESC_PARSE_STATE *s, DWORD kind, DWORD number)
{
  for (const DESC_SECTION *sec = s->sections[kind]; sec; sec = sec->next)
    if (sec->number == number) return sec;
  return nullptr;
}

size_t CountSections(const DESC_PARSE_STATE *s, DWORD kind)
{
  size_t n = 0;
  for (const DESC_SECTION *sec = s->sections[kind]; sec; sec = sec->next) ++n;
  return n;
}

std::vector<const void *> Entries(const DESC_SECTION *section)
{
  std::vector<const void *> out;
  for (const void *e = section ? section->first : nullptr; e; e = *static_cast<void *const *>(e)) out.push_back(e);
  return out;
}

std::vector<const DESC_STATEMENT *> Statements(const DESC_STATEMENT *list)
{
  std::vector<const DESC_STATEMENT *> out;
  for (; list; list = list->next) out.push_back(list);
  return out;
}
