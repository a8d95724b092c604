// Name lookups of the names table and the value-names table: the indexed lookups must answer
// exactly what a walk from the top of the table answers, for every name the tables hold
// (including value names that several rows share, where the first row wins), for names they
// do not hold (prefixes, extensions, other case, empty, NULL) and for names that reach the
// lookup through a buffer of its own rather than the table's own string.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "items/item_store.h"
#include "tables/template_tables.h"

namespace {

bool Same(const char *a, const char *b)
{
  while (*a != 0 && *a == *b) ++a, ++b;
  return *a == *b;
}

const SYMBOL_ENTRY *LinearSymbol(const char *name)
{
  for (SHORT i = 0; i < g_kvSymbolCount; ++i)
    if (name != nullptr && Same(g_kvSymbols[i].name, name)) return &g_kvSymbols[i];
  return nullptr;
}

const VALUE_SYMBOL *LinearValue(const char *name)
{
  for (SHORT i = 0; i < g_kvValueSymbolCount; ++i)
    if (name != nullptr && Same(g_kvValueSymbols[i].name, name)) return &g_kvValueSymbols[i];
  return nullptr;
}

// Names that are near misses of a table name: a prefix, an extension, a changed last byte and a
// case change, each checked against the walk (a near miss may itself be a name of a table).
std::vector<std::string> NearMisses(const std::string &name)
{
  std::vector<std::string> out;
  out.push_back(name.substr(0, name.size() - 1));
  out.push_back(name.substr(0, name.size() / 2));
  out.push_back(name + "X");
  out.push_back(name + "_");
  std::string changed = name;
  changed.back() = static_cast<char>(changed.back() ^ 1);
  out.push_back(changed);
  std::string upper = name, lower = name;
  for (char &c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  for (char &c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  out.push_back(upper);
  out.push_back(lower);
  return out;
}

TEST(NameIndex, EverySymbolNameFindsItsRow)
{
  ASSERT_GT(g_kvSymbolCount, 0);
  for (SHORT i = 0; i < g_kvSymbolCount; ++i) {
    std::string copy = g_kvSymbols[i].name;  // not the table's own pointer
    const SYMBOL_ENTRY *found = ItemFindSymbolByName(copy.c_str());
    ASSERT_EQ(found, LinearSymbol(copy.c_str())) << copy;
    ASSERT_NE(found, nullptr) << copy;
    EXPECT_STREQ(found->name, copy.c_str());
  }
}

TEST(NameIndex, EveryValueNameFindsItsFirstRow)
{
  ASSERT_GT(g_kvValueSymbolCount, 0);
  int shared = 0;
  std::set<std::string> seen;
  for (SHORT i = 0; i < g_kvValueSymbolCount; ++i) {
    std::string copy = g_kvValueSymbols[i].name;
    if (!seen.insert(copy).second) ++shared;
    const VALUE_SYMBOL *found = ItemFindValueSymbolByName(copy.c_str());
    const VALUE_SYMBOL *walk = LinearValue(copy.c_str());
    ASSERT_EQ(found, walk) << copy;
    ASSERT_NE(found, nullptr) << copy;
    EXPECT_LE(found, &g_kvValueSymbols[i]) << copy;  // never a later row than this one
  }
  // The tables do hold value names on several rows, so the first-row rule is exercised.
  EXPECT_GT(shared, 0);
}

TEST(NameIndex, NearMissesAnswerLikeTheWalk)
{
  for (SHORT i = 0; i < g_kvSymbolCount; ++i) {
    for (const std::string &miss : NearMisses(g_kvSymbols[i].name)) {
      ASSERT_EQ(ItemFindSymbolByName(miss.c_str()), LinearSymbol(miss.c_str())) << miss;
      ASSERT_EQ(ItemFindValueSymbolByName(miss.c_str()), LinearValue(miss.c_str())) << miss;
    }
  }
  for (SHORT i = 0; i < g_kvValueSymbolCount; ++i) {
    for (const std::string &miss : NearMisses(g_kvValueSymbols[i].name)) {
      ASSERT_EQ(ItemFindSymbolByName(miss.c_str()), LinearSymbol(miss.c_str())) << miss;
      ASSERT_EQ(ItemFindValueSymbolByName(miss.c_str()), LinearValue(miss.c_str())) << miss;
    }
  }
}

TEST(NameIndex, UnknownEmptyAndNullNamesFindNothing)
{
  const char *unknown[] = {"",           " ",        "KPD_",           "KPD_NoSuchName", "IDOKBUTTON ", " IDOKBUTTON",
                           "idokbutton", "\x80\xFF", "KPD_IDD_SETUP\n"};
  for (const char *name : unknown) {
    EXPECT_EQ(ItemFindSymbolByName(name), LinearSymbol(name)) << name;
    EXPECT_EQ(ItemFindValueSymbolByName(name), LinearValue(name)) << name;
  }
  EXPECT_EQ(ItemFindSymbolByName(""), nullptr);
  EXPECT_EQ(ItemFindValueSymbolByName(""), nullptr);
  EXPECT_EQ(ItemFindSymbolByName(nullptr), nullptr);
  EXPECT_EQ(ItemFindValueSymbolByName(nullptr), nullptr);
  // A known name still answers after the misses (the lookups keep no state).
  EXPECT_EQ(ItemFindSymbolByName("IDOKBUTTON"), LinearSymbol("IDOKBUTTON"));
  EXPECT_NE(ItemFindSymbolByName("IDOKBUTTON"), nullptr);
}

}  // namespace
