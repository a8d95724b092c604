// Replacing the stored font substitution table: the new pairs go first, then the counts,
// and only then are the pairs of a longer earlier table deleted. A write that fails midway
// puts back every pair it had replaced, so readers keep finding the old table whole.
#include "model/font_list_table.h"
#include "store/font_lists.h"
#include "os/printer_data.h"
#include "store/store_font_internal.h"

namespace {

// The value names of one set (the table or its default set).
struct SubstNames {
  LPCWSTR first;
  LPCWSTR second;
  LPCWSTR count;      // what readers take as the number of pairs
  LPCWSTR lastCount;  // the pairs the next write must clear; NULL for the default set
};
const SubstNames kTable = {KV_PD_TT_FONT_TABLE, KV_PD_DEV_FONT_TABLE, KV_PD_FONT_TABLE_NUM, KV_PD_LAST_FONT_TABLE_NUM};
const SubstNames kDefaults = {KV_PD_TT_FONT_DEF_TABLE, KV_PD_DEV_FONT_DEF_TABLE, KV_PD_DEF_FONT_TABLE_NUM, NULL};

WORD ReadCount(HANDLE printer, LPCWSTR name)
{
  WORD n = 0;
  if (name == NULL || !StoreGetPrinterDataExact(printer, &n, sizeof n, name)) return 0;
  return n;
}

// The pairs written so far with what they replaced, to be put back on a failure.
class PairUndo {
 public:
  explicit PairUndo(WORD count) : count_(count)
  {
    saved_ =
        static_cast<STORE_SAVED_VALUE *>(MemAllocZeroed(static_cast<DWORD>(count) * 2 * sizeof(STORE_SAVED_VALUE)));
  }
  ~PairUndo()
  {
    if (saved_ == NULL) return;
    for (DWORD i = 0; i < static_cast<DWORD>(count_) * 2; ++i) StoreForgetValue(&saved_[i]);
    MemFree(saved_);
  }
  PairUndo(const PairUndo &) = delete;
  PairUndo &operator=(const PairUndo &) = delete;
  bool ok() const { return saved_ != NULL || count_ == 0; }
  STORE_SAVED_VALUE *slot(int pair, int half) { return &saved_[pair * 2 + half]; }
  // Puts back every value recorded, newest first.
  void Rollback(HANDLE printer, const SubstNames &names, int recorded)
  {
    WCHAR name[64];
    for (int i = recorded - 1; i >= 0; --i) {
      int pair = i / 2;
      wsprintfW(name, (i % 2) == 0 ? names.first : names.second, pair + 1);
      StoreUndoValue(printer, name, &saved_[i]);
    }
  }

 private:
  WORD count_;
  STORE_SAVED_VALUE *saved_ = NULL;
};

// Writes one half, first recording what it replaces. false on a failure.
bool WriteHalf(HANDLE printer, LPCWSTR pattern, int pair, const BYTE *bytes, STORE_SAVED_VALUE *undo)
{
  WCHAR name[64];
  wsprintfW(name, pattern, pair + 1);
  if (!StoreSaveValueForUndo(printer, name, undo)) return false;
  return StoreSetPrinterDataBinary(printer, bytes, KV_FONT_SUBST_HALF_SIZE, name, NULL) != FALSE;
}

}  // namespace

int WINAPI StoreWriteFontSubstEntries(const FONT_SUBST_WRITE *args)
{
  if (args == NULL || args->table == NULL || args->count > KV_FONT_LIST_MAX_ENTRIES) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  HANDLE printer = args->printer;
  WORD count = args->count;
  const SubstNames &names = (args->flags & KV_FONTS_DEFAULT_SET) ? kDefaults : kTable;
  // Pairs the set may hold now: the last write's count, or what readers were told.
  WORD oldPairs = ReadCount(printer, names.count);
  WORD last = ReadCount(printer, names.lastCount);
  if (last > oldPairs) oldPairs = last;

  DWORD halfBytes = static_cast<DWORD>(count) * KV_FONT_SUBST_HALF_SIZE;
  BYTE *first = count != 0 ? static_cast<BYTE *>(MemAllocZeroed(halfBytes)) : NULL;
  BYTE *second = count != 0 ? static_cast<BYTE *>(MemAllocZeroed(halfBytes)) : NULL;
  PairUndo undo(count);
  if (count != 0 && (first == NULL || second == NULL || !undo.ok())) {
    MemFree(first);
    MemFree(second);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  StoreSplitFontSubstTable(args->table, first, second, count);

  int recorded = 0;
  bool ok = true;
  for (int i = 0; i < count && ok; ++i) {
    const BYTE *halves[2] = {first + i * KV_FONT_SUBST_HALF_SIZE, second + i * KV_FONT_SUBST_HALF_SIZE};
    for (int h = 0; h < 2 && ok; ++h) {
      ok = WriteHalf(printer, h == 0 ? names.first : names.second, i, halves[h], undo.slot(i, h));
      ++recorded;
    }
  }
  WORD stored = count;
  if (ok) ok = StoreSetPrinterDataBinary(printer, &stored, sizeof stored, names.count, NULL) != FALSE;
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  if (!ok) undo.Rollback(printer, names, recorded);
  MemFree(first);
  MemFree(second);
  if (!ok) {
    SetLastError(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
    return 0;
  }

  // The new table stands; a count of pairs to clear that cannot be written only leaves the
  // older, larger one, which still covers every stored pair.
  if (names.lastCount != NULL && !StoreSetPrinterDataBinary(printer, &stored, sizeof stored, names.lastCount, NULL)) {
    error = GetLastError();
    StoreDeleteFontSubstPairs(printer, count + 1, oldPairs, args->flags);
    SetLastError(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
    return 0;
  }
  StoreDeleteFontSubstPairs(printer, count + 1, oldPairs, args->flags);
  SetLastError(ERROR_SUCCESS);
  return 1;
}
