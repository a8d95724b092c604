// The limits of what the description compiler writes: the paper rules and an index of the
// names table by key and ID (desc_limits.h). The type, String and Alert words are answered
// beside the word tables of their keyword handlers (desc_items.cpp, desc_sections.cpp).
#include "desc/desc_limits.h"

#include <vector>

#include "tables/item_ids.h"
#include "tables/template_tables.h"

namespace {

// One bit per 16-bit number.
class WordSet {
 public:
  void Add(WORD w) { bits_[w >> 5] |= 1u << (w & 31); }
  bool Has(WORD w) const { return (bits_[w >> 5] >> (w & 31)) & 1u; }

 private:
  DWORD bits_[65536 / 32] = {};
};

// The names table by key and ID, built once per process from the template context's
// tables (the compiler resolves every name through the same tables).
struct NamesIndex {
  std::vector<LONG> keyItem;  // symbol key -> item ID, -1 for none
  WordSet itemIds, valueIds, dialogs, controls, messages;
  WORD portrait = 0, landscape = 0;

  NamesIndex()
  {
    WORD top = 0;
    for (SHORT i = 0; i < g_kvSymbolCount; ++i) top = g_kvSymbols[i].key > top ? g_kvSymbols[i].key : top;
    keyItem.assign((size_t)top + 1, -1);
    // The first entry of a key answers for it, as the names table's own lookup does.
    for (SHORT i = 0; i < g_kvSymbolCount; ++i) {
      if (keyItem[g_kvSymbols[i].key] < 0) keyItem[g_kvSymbols[i].key] = g_kvSymbols[i].itemId;
      itemIds.Add(g_kvSymbols[i].itemId);
    }
    for (SHORT i = 0; i < g_kvValueSymbolCount; ++i) {
      const VALUE_SYMBOL &v = g_kvValueSymbols[i];
      valueIds.Add(v.valueId);
      if (v.itemId == ITEM_dmOrientation && v.storedValue == DMORIENT_PORTRAIT && portrait == 0) portrait = v.valueId;
      if (v.itemId == ITEM_dmOrientation && v.storedValue == DMORIENT_LANDSCAPE && landscape == 0)
        landscape = v.valueId;
    }
    for (SHORT i = 0; i < g_kvDialogCount; ++i) dialogs.Add(g_kvDialogs[i].templateId);
    for (SHORT i = 0; i < g_kvControlCount; ++i) controls.Add(g_kvControls[i].controlId);
    for (SHORT i = 0; i < g_kvMessageCount; ++i) messages.Add((WORD)g_kvMessages[i].key);
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

LONG WINAPI DescKeyItemId(WORD key)
{
  const NamesIndex &n = Names();
  return key < n.keyItem.size() ? n.keyItem[key] : -1;
}

BOOL WINAPI DescIsNamedItemId(WORD itemId) { return Names().itemIds.Has(itemId); }
BOOL WINAPI DescIsValueId(WORD valueId) { return Names().valueIds.Has(valueId); }
BOOL WINAPI DescIsDialogId(WORD templateId) { return Names().dialogs.Has(templateId); }
BOOL WINAPI DescIsControlId(WORD controlId) { return Names().controls.Has(controlId); }
BOOL WINAPI DescIsMessageKey(WORD key) { return Names().messages.Has(key); }
