// The limits of what the description compiler writes: the paper rules and an index of the
// names table by key and ID (desc_limits.h). The type, String and Alert words are answered
// beside the word tables of their keyword handlers (desc_items.cpp, desc_sections.cpp).
#include "desc/desc_limits.h"

#include <vector>

#include "tables/item_ids.h"
#include "tables/template_tables.h"

namespace {

void Add(DWORD *set, WORD number) { set[number >> 5] |= 1u << (number & 31); }

// The names table by key and ID, built once per process from the template context's
// tables (the compiler resolves every name through the same tables).
struct NamesIndex {
  DESC_NAME_SETS sets = {};
  std::vector<LONG> keyItem;  // symbol key -> item ID, -1 for none
  WORD portrait = 0, landscape = 0;

  NamesIndex()
  {
    WORD top = 0;
    for (SHORT i = 0; i < g_kvSymbolCount; ++i) top = g_kvSymbols[i].key > top ? g_kvSymbols[i].key : top;
    keyItem.assign((size_t)top + 1, -1);
    // The first entry of a key answers for it, as the names table's own lookup does.
    for (SHORT i = 0; i < g_kvSymbolCount; ++i) {
      if (keyItem[g_kvSymbols[i].key] < 0) keyItem[g_kvSymbols[i].key] = g_kvSymbols[i].itemId;
      Add(sets.itemIds, g_kvSymbols[i].itemId);
    }
    sets.keyItem = keyItem.data();
    sets.keyCount = (DWORD)keyItem.size();
    for (SHORT i = 0; i < g_kvValueSymbolCount; ++i) {
      const VALUE_SYMBOL &v = g_kvValueSymbols[i];
      Add(sets.valueIds, v.valueId);
      if (v.itemId == ITEM_dmOrientation && v.storedValue == DMORIENT_PORTRAIT && portrait == 0) portrait = v.valueId;
      if (v.itemId == ITEM_dmOrientation && v.storedValue == DMORIENT_LANDSCAPE && landscape == 0)
        landscape = v.valueId;
    }
    for (SHORT i = 0; i < g_kvDialogCount; ++i) Add(sets.dialogs, g_kvDialogs[i].templateId);
    for (SHORT i = 0; i < g_kvControlCount; ++i) Add(sets.controls, g_kvControls[i].controlId);
    for (SHORT i = 0; i < g_kvMessageCount; ++i) Add(sets.messages, (WORD)g_kvMessages[i].key);
  }
};

const NamesIndex &Names()
{
  static const NamesIndex index;
  return index;
}

// Dots of a paper extent at a resolution, rounded up: a printable area may reach the last
// dot the paper touches.
long long Dots(LONG tenthsOfMm, WORD dpi) { return ((long long)tenthsOfMm * dpi + 253) / 254; }

}  // namespace

DWORD WINAPI DescOrientationOf(WORD valueId)
{
  const NamesIndex &n = Names();
  if (valueId != 0 && valueId == n.portrait) return DMORIENT_PORTRAIT;
  if (valueId != 0 && valueId == n.landscape) return DMORIENT_LANDSCAPE;
  return 0;
}

BOOL WINAPI DescGeometryFitsPaper(LONG width, LONG length, const DESC_PAPER_GEOMETRY *g)
{
  if (width < 0 || width > DESC_PAPER_MM_MAX || length < 0 || length > DESC_PAPER_MM_MAX) return FALSE;
  if (g->resolution == 0) return FALSE;
  DWORD frame = DescOrientationOf(g->orientation);
  if (frame == 0) return FALSE;
  if (g->x < 0 || g->y < 0 || g->w < 0 || g->h < 0 || g->a < 0 || g->b < 0) return FALSE;
  LONG across = frame == DMORIENT_LANDSCAPE ? length : width;
  LONG down = frame == DMORIENT_LANDSCAPE ? width : length;
  long long maxX = Dots(across, g->resolution), maxY = Dots(down, g->resolution);
  long long w = g->w, h = g->h;
  return g->x + w <= maxX && g->a + w <= maxX && g->y + h <= maxY && g->b + h <= maxY;
}

const DESC_NAME_SETS *WINAPI DescNameSets(void) { return &Names().sets; }

LONG WINAPI DescKeyItemId(WORD key) { return DescSetsKeyItemId(&Names().sets, key); }
BOOL WINAPI DescIsNamedItemId(WORD itemId) { return DescInSet(Names().sets.itemIds, itemId); }
BOOL WINAPI DescIsValueId(WORD valueId) { return DescInSet(Names().sets.valueIds, valueId); }
BOOL WINAPI DescIsDialogId(WORD templateId) { return DescInSet(Names().sets.dialogs, templateId); }
BOOL WINAPI DescIsControlId(WORD controlId) { return DescInSet(Names().sets.controls, controlId); }
BOOL WINAPI DescIsMessageKey(WORD key) { return DescInSet(Names().sets.messages, key); }
