// Lookups over the template tables for the table tests (plain scans; the product lookups
// live with the option item store).
#pragma once
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "machine_fixture.h"
#include "tables/template_tables.h"

inline const OPTION_ITEM *RowOf(int id)
{
  for (int i = 0; i < g_kvOptionItemCount; ++i)
    if (g_kvOptionItems[i].id == id) return &g_kvOptionItems[i];
  return nullptr;
}

inline const OPTION_ITEM *RowNamed(const char *name)
{
  const std::u16string want = U16(name);
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const WCHAR *n = g_kvOptionItems[i].name;
    if (n && want == n) return &g_kvOptionItems[i];
  }
  return nullptr;
}

inline std::string Ascii(const WCHAR *s)
{
  std::string out;
  if (!s) return "(null)";
  for (; *s; ++s) out += (*s < 0x80) ? (char)*s : '?';
  return out;
}

inline const SYMBOL_ENTRY *SymbolNamed(const char *name)
{
  for (int i = 0; i < g_kvSymbolCount; ++i)
    if (strcmp(g_kvSymbols[i].name, name) == 0) return &g_kvSymbols[i];
  return nullptr;
}

inline const SYMBOL_ENTRY *SymbolKeyed(int key)
{
  for (int i = 0; i < g_kvSymbolCount; ++i)
    if (g_kvSymbols[i].key == key) return &g_kvSymbols[i];
  return nullptr;
}

inline const VALUE_LIST_ROW *ListOf(int item)
{
  for (const VALUE_LIST_ROW *r = g_kvItemValueLists; r->key; ++r)
    if (r->key == item) return r;
  return nullptr;
}

inline bool Listed(int item, LONG v)
{
  const VALUE_LIST_ROW *r = ListOf(item);
  if (!r) return false;
  for (DWORD i = 0; i < r->count; ++i)
    if (r->values[i] == v) return true;
  return false;
}

// Value id of a stored value through a table's first part (the stored value when unmapped).
inline LONG FirstPartValueId(const VALUE_XLAT_ROW *t, LONG stored)
{
  for (; t->valueId != 0; ++t)
    if (t->stored == stored) return t->valueId == KV_VALUE_ID_NONE ? stored : t->valueId;
  return stored;
}
