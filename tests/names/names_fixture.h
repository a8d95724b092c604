// Fixture of the names tests: the context tests' printer and description, with the
// description naming the UI resource DLL and the sample printer's resource DLLs
// installed in the driver directory.
#pragma once

#include <string>

#include "context_fixture.h"
#include "names/names_paths.h"
#include "names/resources.h"

class NamesTest : public ContextTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Sets the description's UI resource DLL name (NULL for none); the context must forget
  // DLLs it loaded under the old name.
  void SetUiResDllName(const WCHAR *name);
  // The printer's driver directory, ending in '\'.
  std::u16string DriverDir() const { return dir_; }
  // Driver language (item kdmLanguageID): 1 English, 0 Japanese.
  void SetLanguage(LONG id) { ItemSetRaw(ctx_, KV_ITEM_LANGUAGE_ID, id); }
  void SetMetric(bool metric) { ItemSetRaw(ctx_, 171, metric ? 0 : 1); }
  BOOL SetPrinterHelpFile(const WCHAR *name);

  DRIVER_CONTEXT *ctx_ = nullptr;
  std::u16string dir_;
  std::u16string uiName_;
};

std::u16string S(const WCHAR *s);
