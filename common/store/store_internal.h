// Helpers shared by the files of the settings store: the settings mutex for one scope, the
// item ranges the store never loads or saves, and the record of the first failed write.
#pragma once

#include "context.h"
#include "os/os.h"
#include "tables/item_ids.h"

// The first item of a block walk: items 1-34 are the public DEVMODE fields.
constexpr WORD ITEM_FIRST_STORED = ITEM_kdmMachineID;

// The sixteen one-bit action items of one word: they travel in the DEVMODE only.
inline bool StoreIsActionItem(WORD id) { return id >= ITEM_kdmActionSecurity && id <= ITEM_kdmAction15; }
// The state items of the driver state block.
inline bool StoreIsStateItem(WORD id) { return id >= ITEM_kdmIniFileName && id <= ITEM_KPD_kdmBidiFunc; }

// Holds the settings mutex (unless the context runs without it) for one scope.
class StoreMutexScope {
 public:
  explicit StoreMutexScope(DRIVER_CONTEXT *ctx) : ctx_(ctx) { held_ = OsSettingsMutexLock(ctx) == KV_LOCK_HELD; }
  ~StoreMutexScope()
  {
    if (held_) OsSettingsMutexUnlock(ctx_);
  }
  StoreMutexScope(const StoreMutexScope &) = delete;
  StoreMutexScope &operator=(const StoreMutexScope &) = delete;

 private:
  DRIVER_CONTEXT *ctx_;
  bool held_;
};

// The outcome of a run of saves: ERROR_SUCCESS, or the error of the first that failed.
struct StoreSaveStatus {
  DWORD first = ERROR_SUCCESS;
  // Records a save's answer; a failure without an error code counts as ERROR_WRITE_FAULT.
  void Note(int ok)
  {
    if (ok || first != ERROR_SUCCESS) return;
    DWORD error = GetLastError();
    first = error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
  }
  void Merge(DWORD other)
  {
    if (first == ERROR_SUCCESS) first = other;
  }
  // Hands the outcome to the caller: *out (when given) and the last error.
  void Publish(DWORD *out) const
  {
    if (out != NULL) *out = first;
    SetLastError(first);
  }
};
