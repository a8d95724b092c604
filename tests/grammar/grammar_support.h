// Helpers of the grammar tests: parse text or a fixture and collect the diagnostics.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "desc/desc_parse.h"
#include "items/item_store.h"

struct Diagnostic {
  DWORD line;
  DWORD severity;
  std::string message;
};

class Parsed {
 public:
  Parsed() = default;
  Parsed(const Parsed &) = delete;
  Parsed &operator=(const Parsed &) = delete;
  ~Parsed() { DescParseStateFree(state); }

  DESC_PARSE_STATE *state = nullptr;
  std::vector<Diagnostic> diags;
  DESC_DIAG_SINK sink{this, &Parsed::Collect};

  DESC_HEADER *header() const { return state->header; }
  size_t Count(DWORD severity) const
  {
    size_t n = 0;
    for (const Diagnostic &d : diags) n += d.severity == severity;
    return n;
  }
  // TRUE when some diagnostic of the severity contains text.
  bool Has(DWORD severity, const std::string &text) const
  {
    for (const Diagnostic &d : diags)
      if (d.severity == severity && d.message.find(text) != std::string::npos) return true;
    return false;
  }
  std::string All() const
  {
    std::string s;
    for (const Diagnostic &d : diags)
      s += std::to_string(d.line) + (d.severity == DESC_DIAG_ERROR ? ": error: " : ": warning: ") + d.message + "\n";
    return s;
  }

 private:
  static void Collect(void *user, DWORD line, DWORD severity, const char *message)
  {
    static_cast<Parsed *>(user)->diags.push_back({line, severity, message});
  }
};

inline void ParseText(Parsed &p, const std::string &text)
{
  p.state = DescParseTextEx(text.data(), static_cast<DWORD>(text.size()), &p.sink);
  ASSERT_NE(nullptr, p.state) << p.All();
}

inline std::string FixtureText(const char *name)
{
  std::ifstream in(std::string(KV_DESC_FIXTURES) + "/" + name, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline WORD Key(const char *name)
{
  const SYMBOL_ENTRY *sym = ItemFindSymbolByName(name);
  EXPECT_NE(nullptr, sym) << name;
  return sym ? sym->key : 0;
}

inline std::vector<const DESC_ITEM_NODE *> NodesOf(const DESC_PARSE_STATE *s, const char *name)
{
  std::vector<const DESC_ITEM_NODE *> nodes;
  WORD key = Key(name);
  for (const DESC_ITEM_NODE *n = s->header->items; n; n = n->next)
    if (n->key == key) nodes.push_back(n);
  return nodes;
}

// Value IDs and command texts of a value list.
inline std::vector<std::pair<WORD, std::string>> ValuesOf(const DESC_ITEM_NODE *node)
{
  std::vector<std::pair<WORD, std::string>> out;
  for (auto *v = static_cast<const DESC_VALUE_NODE *>(node->values); v; v = v->next)
    out.push_back({v->valueId, v->command ? v->command : "<none>"});
  return out;
}

inline const DESC_VALUE_NODE *ValueNode(const DESC_ITEM_NODE *node, WORD valueId)
{
  for (auto *v = static_cast<const DESC_VALUE_NODE *>(node->values); v; v = v->next)
    if (v->valueId == valueId) return v;
  return nullptr;
}

// Condition code as text: "I15 L2019 ==" style, END written as "END".
inline std::string CodeText(const RULE_CODE_UNIT *code)
{
  static const char *const ops[] = {"?", "==", "!=", "&&", "||", "!", ">", "<", ">=", "<=", "END"};
  std::string s;
  for (;; ++code) {
    if (!s.empty()) s += ' ';
    if (code->kind == RULE_UNIT_ITEM) {
      s += "I" + std::to_string(code->operand);
    } else if (code->kind == RULE_UNIT_LITERAL) {
      s += "L" + std::to_string(code->operand);
    } else if (code->kind == RULE_UNIT_OPERATOR && code->operand <= RULE_OP_END) {
      s += ops[code->operand];
      if (code->operand == RULE_OP_END) return s;
    } else {
      return s + "<bad unit>";
    }
  }
}

inline const DESC_JUDGE *JudgeOf(const DESC_PARSE_STATE *s, DWORD number)
{
  for (const DESC_JUDGE *j = s->judges; j; j = j->next)
    if (j->number == number) return j;
  return nullptr;
}

inline const DESC_SECTION *SectionOf(const DESC_PARSE_STATE *s, DWORD kind, DWORD number)
{
  for (const DESC_SECTION *sec = s->sections[kind]; sec; sec = sec->next)
    if (sec->number == number) return sec;
  return nullptr;
}

// Entries of a section as a vector of typed pointers.
template <typename T>
std::vector<const T *> EntriesOf(const void *first)
{
  std::vector<const T *> out;
  for (auto *e = static_cast<const T *>(first); e; e = reinterpret_cast<const T *>(*reinterpret_cast<void *const *>(e)))
    out.push_back(e);
  return out;
}
