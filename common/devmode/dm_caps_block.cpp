// The capability block of the exchange area: which request codes the printer offers as the
// rules stand when the settings are handed back to a caller, and the count of selectable
// output trays it is built from.
#include <string.h>

#include "blob/desc_blob.h"
#include "blob/desc_runtime.h"
#include "devmode/dm_request.h"
#include "items/item_store.h"
#include "model/model.h"
#include "rules/pjl_values.h"
#include "rules/rule_caps.h"
#include "rules/rule_eval.h"
#include "tables/item_ids.h"

namespace {

// One capability bit: the value that sets it, its byte and its bit.
struct CapsBit {
  LONG value;
  BYTE byte;
  BYTE bit;
};

const CapsBit kSortBits[] = {{1, 2, 0}, {4, 2, 1}, {6, 2, 2}};
const CapsBit kPunchBits[] = {{1, 4, 0}, {2, 4, 1}, {3, 4, 2}};
const CapsBit kStapleBits[] = {{0x22, 5, 0}, {0x21, 5, 1}, {0x12, 5, 2}, {0x11, 5, 3}, {2, 5, 4},   {1, 5, 5},
                               {0x41, 5, 6}, {0x43, 5, 7}, {0x42, 6, 0}, {0x32, 6, 1}, {0x31, 6, 2}};
const CapsBit kTrayBits[] = {{0, 7, 0},  {2, 7, 1},  {13, 7, 2}, {4, 7, 3},  {15, 7, 4}, {16, 7, 5}, {17, 7, 6},
                             {18, 7, 7}, {19, 8, 0}, {20, 8, 1}, {21, 8, 2}, {22, 8, 3}, {23, 8, 4}, {14, 8, 7}};
const CapsBit kPaperBits[] = {{8, 13, 0},   {9, 13, 1},   {11, 13, 2}, {70, 13, 3}, {12, 13, 4}, {13, 13, 5},
                              {88, 13, 6},  {1, 13, 7},   {5, 14, 0},  {43, 14, 1}, {6, 14, 2},  {3, 14, 3},
                              {267, 14, 4}, {268, 14, 5}, {66, 14, 6}, {269, 15, 1}};

constexpr int kMaxTrays = 64;
constexpr int kMaxResolutions = 32;

// Sets the bit of value when the table has it; answers whether it had.
template <size_t N>
bool SetBit(BYTE *caps, const CapsBit (&table)[N], LONG value)
{
  for (const CapsBit &b : table)
    if (b.value == value) {
      caps[b.byte] |= (BYTE)(1u << b.bit);
      return true;
    }
  return false;
}

// The bits of the values the rules currently allow for the item; false when memory runs out.
template <size_t N>
bool AllowedBits(DRIVER_CONTEXT *ctx, WORD itemId, BYTE *caps, const CapsBit (&table)[N])
{
  DWORD count = 0;
  int answer = PjlListAllowedValues(ctx, itemId, 0, NULL, &count);
  if (answer == -1) return false;
  if (answer != 1 || count == 0) return true;
  DWORD *values = (DWORD *)GlobalAlloc(GPTR, count * sizeof(DWORD));
  if (values == NULL) return false;
  DWORD got = count;
  answer = PjlListAllowedValues(ctx, itemId, count, values, &got);
  if (answer == 0)
    for (DWORD i = 0; i < got && i < count; ++i) SetBit(caps, table, (LONG)values[i]);
  GlobalFree(values);
  return answer != -1;
}

void TrayBits(DRIVER_CONTEXT *ctx, BYTE *caps)
{
  caps[7] |= 0x02;
  WORD trays[kMaxTrays];
  LONG n = DmCountOutputTrays(ctx, trays, kMaxTrays);
  for (LONG i = 0; i < n && i < kMaxTrays; ++i) {
    if (SetBit(caps, kTrayBits, trays[i])) continue;
    if (DmIsFinisherTray(trays[i], ' '))
      caps[8] |= 0x20;
    else if (DmIsFinisherTray(trays[i], 0))
      caps[8] |= 0x40;
  }
}

void ResolutionBits(DRIVER_CONTEXT *ctx, BYTE *caps)
{
  LONG pairs[2 * kMaxResolutions];
  LONG n = CapEnumResolutions(ctx, pairs, kMaxResolutions);
  for (LONG i = 0; i < n && i < kMaxResolutions; ++i) {
    LONG x = pairs[2 * i], y = pairs[2 * i + 1];
    if (x != y) continue;
    if (x == 400) caps[10] |= 0x01;
    if (x == 600) caps[10] |= 0x02;
    if (x == 1200) caps[10] |= 0x04;
  }
}

}  // namespace

LONG WINAPI DmCountOutputTrays(DRIVER_CONTEXT *ctx, WORD *trays, DWORD capacity)
{
  const DESC_ITEM_NODE *node = DescFindItemNode(ITEM_kdmOutputTrayID, ctx);
  if (node == NULL || (DescLd16(node, offsetof(DESC_ITEM_NODE, type)) & ~DESC_TYPE_FLAGS) != DESC_TYPE_PICK_ONE)
    return -1;
  const BYTE *first = DescLdPtr(node, offsetof(DESC_ITEM_NODE, values));
  if (first == NULL) return -1;
  LONG count = 0;
  for (const BYTE *v = first; v != NULL; v = DescLdPtr(v, offsetof(DESC_VALUE_NODE, next))) {
    WORD valueId = DescLd16(v, offsetof(DESC_VALUE_NODE, valueId));
    const VALUE_SYMBOL *sym = ItemFindValueSymbol(ITEM_kdmOutputTrayID, valueId);
    if (sym == NULL) return -1;
    if (RuleIsValueHidden(node, valueId, ctx) != 0) continue;
    if (trays != NULL && (DWORD)count < capacity) trays[count] = (WORD)sym->storedValue;
    ++count;
  }
  return count > 0 ? count : -1;
}

int WINAPI DmPublishCapsBlock(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->work == NULL) return 0;
  DM_CAPS_BLOCK caps;
  BYTE *b = caps.bytes;
  memset(&caps, 0, sizeof caps);
  b[1] = CapHasDuplexUnit(ctx) ? 7 : 0;
  b[3] = 3;
  if (!AllowedBits(ctx, ITEM_kdmSortType, b, kSortBits) || !AllowedBits(ctx, ITEM_kdmPunchType, b, kPunchBits) ||
      !AllowedBits(ctx, ITEM_kdmStapleType, b, kStapleBits) || !AllowedBits(ctx, ITEM_kdmOutPaperSize, b, kPaperBits))
    return 0;
  TrayBits(ctx, b);
  ResolutionBits(ctx, b);
  b[11] = 1;
  b[12] = 63;
  b[17] = 1;

  BYTE empty[sizeof(DM_REQUEST_BLOCK)];
  memset(empty, 0, sizeof empty);
  ItemSetRaw(ctx, ITEM_kdmKcomCaps, (LONG)(uintptr_t)b);
  ItemSetRaw(ctx, ITEM_kdmKcomMember, (LONG)(uintptr_t)empty);
  return 1;
}
