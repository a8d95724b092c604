// Value availability: the variable of an item, whether one of its values is available now
// (by its condition, or by trying it), and the lists of available values that collation,
// the DEVMODE's capability block and the capability queries ask for.
#include <string.h>

#include "items/item_store.h"
#include "model/model.h"
#include "os/mem_str.h"
#include "rules/pjl_values.h"
#include "tables/item_ids.h"

namespace {

// Items from here on are pseudo-items of the PJL-text engine, which a value never writes.
const DWORD kFirstPseudoItem = 626;

// One setting made by a trial: the item and the stored value it must still hold.
struct TrialPair {
  WORD item;
  DWORD value;
};

// Entries of a settings list, or -1 when it is longer than any list the table can hold
// (a loop among its entries included).
LONG CountEntries(const RULE_CONDITION *list)
{
  LONG n = 0;
  for (const RULE_CONDITION *e = list; e != NULL; e = e->next)
    if (++n > (LONG)KV_RULE_CHAIN_MAX) return -1;
  return n;
}

// What a trial puts back afterwards: the DEVMODE (the first DmGetTotalSize bytes of the
// work buffer) and the state that the re-derivation's built-in functions and item writes
// change beside it. A private copy: the snapshot stack's levels belong to the callers
// that pushed them. The DEVMODE holds no font-list pointers (they are items of the
// printer-configuration block), so a byte copy of it owns nothing.
class TrialCopy {
 public:
  // Takes the copy; FALSE when memory runs out (nothing is changed then).
  bool Take(DRIVER_CONTEXT *ctx, DWORD pairCapacity)
  {
    ctx_ = ctx;
    size_ = DmGetTotalSize();
    rowCount_ = ctx->items != NULL && ctx->items->rows != NULL && ctx->items->count > 0 ? ctx->items->count : 0;
    DWORD bytes = size_ + (DWORD)rowCount_ * sizeof(WORD) + pairCapacity * sizeof(TrialPair);
    block_ = (BYTE *)MemAllocZeroed(bytes);
    if (block_ == NULL) return false;
    pairs_ = (TrialPair *)block_;
    states_ = (WORD *)(block_ + pairCapacity * sizeof(TrialPair));
    devmode_ = (BYTE *)(states_ + rowCount_);
    pairCapacity_ = pairCapacity;
    memcpy(devmode_, ctx->work, size_);
    for (SHORT i = 0; i < rowCount_; ++i) states_[i] = Rows()[i].state;
    CONTEXT_STATE *st = ctx->state;
    if (st != NULL) {
      uiFlags_ = st->uiFlags;
      settingsChanged_ = st->settingsChanged;
      pendingPassMode_ = st->pendingPassMode;
      memcpy(slots_, st->freeSizeSlots, sizeof slots_);
    }
    return true;
  }

  // Sets an item and remembers the value it must keep.
  void Set(DWORD item, DWORD value)
  {
    if (item == 0 || item > 0xFFFFu || pairCount_ >= pairCapacity_) return;
    ItemSetRaw(ctx_, (WORD)item, (LONG)value);
    pairs_[pairCount_++] = {(WORD)item, value};
  }
  void SetList(const RULE_CONDITION *list)
  {
    for (const RULE_CONDITION *e = list; e != NULL; e = e->next) Set(e->item, e->value);
  }

  // 1 when every remembered setting still holds, checked from the last to the first.
  int AllHold() const
  {
    for (DWORD i = pairCount_; i-- > 0;)
      if ((DWORD)ItemGetRaw(ctx_, pairs_[i].item, NULL) != pairs_[i].value) return 0;
    return 1;
  }

  // Puts the DEVMODE and the state back and frees the copy. The change marks of items
  // outside the DEVMODE, and what those items now hold, stay.
  void Restore()
  {
    if (block_ == NULL) return;
    memcpy(ctx_->work, devmode_, size_);
    bool otherChanged = false;
    OPTION_ITEM *rows = Rows();
    for (SHORT i = 0; i < rowCount_; ++i) {
      if (InDevmode(&rows[i])) {
        rows[i].state = (WORD)((rows[i].state & ~KV_STATE_CHANGED_MASK) | (states_[i] & KV_STATE_CHANGED_MASK));
      } else if ((rows[i].state & KV_STATE_CHANGED_MASK) != (states_[i] & KV_STATE_CHANGED_MASK)) {
        otherChanged = true;
      }
    }
    CONTEXT_STATE *st = ctx_->state;
    if (st != NULL) {
      st->uiFlags = uiFlags_;
      st->settingsChanged = settingsChanged_ != 0 || otherChanged ? 1 : 0;
      st->pendingPassMode = pendingPassMode_;
      memcpy(st->freeSizeSlots, slots_, sizeof slots_);
    }
    MemFree(block_);
    block_ = NULL;
  }

  ~TrialCopy() { Restore(); }

 private:
  OPTION_ITEM *Rows() const { return rowCount_ > 0 ? (OPTION_ITEM *)ctx_->items->rows : NULL; }
  bool InDevmode(const OPTION_ITEM *row) const
  {
    const BYTE *p = ItemGetAddress(ctx_, row);
    return p != NULL && p >= ctx_->work && p < ctx_->work + size_;
  }

  DRIVER_CONTEXT *ctx_ = NULL;
  BYTE *block_ = NULL;
  BYTE *devmode_ = NULL;
  DWORD size_ = 0;
  WORD *states_ = NULL;
  SHORT rowCount_ = 0;
  TrialPair *pairs_ = NULL;
  DWORD pairCapacity_ = 0;
  DWORD pairCount_ = 0;
  DWORD uiFlags_ = 0;
  DWORD settingsChanged_ = 0;
  WORD pendingPassMode_ = 0;
  FREE_SIZE_SLOT slots_[12] = {};
};

// The trial of one value: every pair it sets is verified (there is no fixed limit on
// their number).
int TryValue(DRIVER_CONTEXT *ctx, const PJL_VARIABLE_ROW *row, const PJL_VALUE_ROW *value)
{
  if (ctx->work == NULL) return 0;
  LONG rowSettings = CountEntries(row->settings);
  LONG valueSettings = CountEntries(value->settings);
  if (rowSettings < 0 || valueSettings < 0) return 0;
  bool setsItem =
      (value->flags & KV_PJL_VALUE_NO_ITEM_VALUE) == 0 && row->itemId != 0 && row->itemId < kFirstPseudoItem;
  TrialCopy copy;
  if (!copy.Take(ctx, (DWORD)(rowSettings + valueSettings) + (setsItem ? 1u : 0u))) return 0;
  if (setsItem) copy.Set(row->itemId, value->itemValue);
  copy.SetList(row->settings);
  copy.SetList(value->settings);
  RuleRefreshDerivedSettings(ctx);
  int held = copy.AllHold();
  copy.Restore();
  return held;
}

}  // namespace

const PJL_VARIABLE_ROW *WINAPI PjlFindVariable(DRIVER_CONTEXT *ctx, WORD itemId, DWORD usage)
{
  const PJL_VARIABLE_TABLE *table = PjlGetVariableTable();
  if (itemId == 0 || table == NULL || table->rows == NULL) return NULL;
  for (DWORD i = 0; i < table->count; ++i) {
    const PJL_VARIABLE_ROW *row = &table->rows[i];
    if (row->itemId != itemId) continue;
    if ((row->usageMask & usage) == 0) return NULL;
    if ((row->usageMask & KV_PJL_USE_OPTION) != 0 && row->condition != NULL &&
        RuleEvalFeatureCondition(ctx, row->condition) == 0)
      return NULL;
    return row;
  }
  return NULL;
}

int WINAPI PjlIsValueAllowed(DRIVER_CONTEXT *ctx, const PJL_VARIABLE_ROW *row, const PJL_VALUE_ROW *value)
{
  if (ctx == NULL || row == NULL || value == NULL) return 0;
  if ((row->convertFlags & KV_PJL_CONV_TRIAL) != 0) return TryValue(ctx, row, value);
  return RuleEvalSettingCondition(ctx, value->condition);
}

int WINAPI PjlCollectAllowedValues(DRIVER_CONTEXT *ctx, WORD itemId, DWORD capacity, DWORD *values, DWORD *count,
                                   int skipFlagged)
{
  if (count != NULL) *count = 0;
  const PJL_VARIABLE_ROW *row = PjlFindVariable(ctx, itemId, KV_PJL_USE_BASE);
  if (row == NULL || row->values == NULL || row->valueCount == 0) return 0;
  if (row->valueCount > 0xFFFFu) return -1;  // no table is that long; its work array would not fit
  DWORD *found = (DWORD *)MemAllocZeroed(row->valueCount * sizeof(DWORD));
  if (found == NULL) return -1;
  DWORD n = 0;
  for (DWORD i = 0; i < row->valueCount; ++i) {
    const PJL_VALUE_ROW *value = &row->values[i];
    if (skipFlagged && (value->flags & KV_PJL_VALUE_NO_ITEM_VALUE) != 0) continue;
    if (PjlIsValueAllowed(ctx, row, value)) found[n++] = value->itemValue;
  }
  int answer = 0;
  if (n > 0) {
    if (count != NULL) *count = n;
    if (values != NULL && capacity >= n) {
      memcpy(values, found, n * sizeof(DWORD));
    } else {
      answer = 1;
    }
  }
  MemFree(found);
  return answer;
}

int WINAPI PjlListAllowedValues(DRIVER_CONTEXT *ctx, WORD itemId, DWORD capacity, DWORD *values, DWORD *count)
{
  return PjlCollectAllowedValues(ctx, itemId, capacity, values, count, 0);
}

int WINAPI PjlHasAllowedValue(DRIVER_CONTEXT *ctx, WORD itemId)
{
  DWORD count = 0;
  return PjlCollectAllowedValues(ctx, itemId, 0, NULL, &count, 1) == 1 && count > 0 ? 1 : 0;
}

int WINAPI PjlIsSortSelectable(DRIVER_CONTEXT *ctx)
{
  DWORD count = 0;
  if (PjlListAllowedValues(ctx, ITEM_kdmSortType, 0, NULL, &count) != 1 || count == 0) return 0;
  DWORD *values = (DWORD *)MemAllocZeroed(count * sizeof(DWORD));
  if (values == NULL) return 0;
  DWORD listed = 0;
  int selectable = 0;
  // The second listing can differ from the first only if the settings changed between the
  // two; a count that no longer fits is no answer.
  if (PjlListAllowedValues(ctx, ITEM_kdmSortType, count, values, &listed) == 0 && listed > 0)
    selectable = listed > 1 || values[0] != 0 ? 1 : 0;
  MemFree(values);
  return selectable;
}
