// Helpers shared by the stored-list files of the store: the section swap through which the
// serializer reads or writes another section than the printer's, the write bar and the
// snapshot scope of the walks over every entry.
#pragma once

#include <string.h>

#include "context.h"
#include "hooks/module_hooks.h"
#include "store/settings_files.h"

namespace kvlist {

constexpr int kNameChars = 260;

// Holds another section name in the context's printer-name cache for one scope, so that
// the serializer reads or writes that section; puts the printer's name back afterwards. A
// name that does not fit leaves the cache as it was and ok() false.
class SectionSwap {
 public:
  SectionSwap(DRIVER_CONTEXT *ctx, const WCHAR *name) : ctx_(ctx)
  {
    if (ctx == NULL || ctx->state == NULL || name == NULL || name[0] == 0 || lstrlenW(name) >= kNameChars) return;
    memcpy(saved_, ctx->state->printerName, sizeof(saved_));
    lstrcpynW(ctx->state->printerName, name, kNameChars);
    swapped_ = true;
  }
  ~SectionSwap()
  {
    if (swapped_) memcpy(ctx_->state->printerName, saved_, sizeof(saved_));
  }
  SectionSwap(const SectionSwap &) = delete;
  SectionSwap &operator=(const SectionSwap &) = delete;
  bool ok() const { return swapped_; }

 private:
  DRIVER_CONTEXT *ctx_;
  WCHAR saved_[kNameChars];
  bool swapped_ = false;
};

// A DEVMODE snapshot for one walk, rolled back at the end. ok() is false when no level was
// free; the walk must then do nothing.
class SnapshotScope {
 public:
  explicit SnapshotScope(DRIVER_CONTEXT *ctx) : ctx_(ctx), pushed_(CtxPushDevmodeSnapshot(ctx) != FALSE) {}
  ~SnapshotScope()
  {
    if (pushed_) CtxPopDevmodeSnapshot(ctx_, 1);
  }
  SnapshotScope(const SnapshotScope &) = delete;
  SnapshotScope &operator=(const SnapshotScope &) = delete;
  bool ok() const { return pushed_; }

 private:
  DRIVER_CONTEXT *ctx_;
  bool pushed_;
};

// The write bar of the stored lists.
inline bool WritesBarred(DRIVER_CONTEXT *ctx) { return StoreSharedWritesBarred(ctx) != FALSE; }

// Runs the serializer on one section of a file: reads (write false) or writes the items the
// flags select. The serializer's answer; 0 when the section name cannot be held.
int SerializeSection(DRIVER_CONTEXT *ctx, const WCHAR *file, const WCHAR *section, DWORD flags, bool write);

}  // namespace kvlist

namespace kvlist {

// Steps shared by the preset loaders after the file was read: name and comment items from
// the key's texts (readTexts), the selected stamp, the cache save (cache).
void FinishPresetLoad(DRIVER_CONTEXT *ctx, const WCHAR *key, bool readTexts, bool cache);

}  // namespace kvlist

namespace kvlist {

// The file a save of the entry under key writes, into file (1025 characters): the stored
// path when a save may write it (LIST_SAVE_DONE), else a fresh user file name
// (LIST_SAVE_NEW_FILE) that PutSaveFile puts under the key once the file is written.
// LIST_SAVE_FAILED (file "") for an empty value or when no fresh name is left.
int ChooseSaveFile(DRIVER_CONTEXT *ctx, const WCHAR *key, WCHAR *file);
// After a LIST_SAVE_NEW_FILE choice was written: the key := file. true when nothing was to
// be done or the key was written.
bool PutSaveFile(DRIVER_CONTEXT *ctx, const WCHAR *key, const WCHAR *file, int choice);

}  // namespace kvlist

namespace kvlist {

// Item 830 := the text under the key followed by "Name".
void ReadQualityName(DRIVER_CONTEXT *ctx, const WCHAR *key);

}  // namespace kvlist

namespace kvlist {

// A resource string (with its value text when asked) into a 64-byte ANSI field of a slot
// record: 63 bytes at most and a terminator.
void StringToAnsiField(DRIVER_CONTEXT *ctx, UINT id, BOOL withValue, char *field);

}  // namespace kvlist
