// Fixture of the settings-store tests on whole driver contexts: the test printer with the
// bundled sample description compiled into the process cache, so that every context built
// for it loads (and at its first open, writes) what the store keeps; readers and writers of
// its printer data and of its settings INI.
#pragma once

#include <string>

#include "context_fixture.h"
#include "store/font_lists.h"
#include "store/settings_store.h"
#include "tables/item_ids.h"

class SettingsStoreTest : public ContextTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A full context (open mode 0) of the test printer; released with Close.
  DRIVER_CONTEXT *Open(DWORD createFlags = CTX_CREATE_SHEETS, WORD openMode = CTX_OPEN_FULL);
  void Close(DRIVER_CONTEXT *ctx);

  // Printer data of the test printer, around the code under test.
  void PutData(const WCHAR *name, const std::string &bytes, DWORD type = REG_BINARY);
  std::string GetData(const WCHAR *name);  // "<missing>" when absent
  void DeleteData(const WCHAR *name);
  // The settings INI of the test printer: one key of the printer's section, the whole text.
  std::string IniKey(DRIVER_CONTEXT *ctx, const WCHAR *key);
  std::u16string IniPath(DRIVER_CONTEXT *ctx);

  // Removes pairs 1-32 of the stored substitution table.
  void StoreDeleteFontSubstEntriesForTest();

  static LONG Raw(DRIVER_CONTEXT *ctx, WORD id) { return ItemGetRaw(ctx, id, nullptr); }
  static std::string Text(DRIVER_CONTEXT *ctx, WORD id);
  static std::string Bytes(const void *p, size_t n) { return std::string(static_cast<const char *>(p), n); }
};

// Little-endian bytes of a number of n bytes.
std::string Le(DWORD v, int n);
