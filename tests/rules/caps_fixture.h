// Contexts for the capability and paper-geometry tests: a description built by hand (or the
// sample's), the English resource DLL of the sample printer, and a module table whose show-all
// answers (events 30 and 33) a test sets.
#pragma once

#include <string>

#include "compiled_fixture.h"
#include "hooks/module_hooks.h"

class CapsTest : public CompiledRulesTest {
 protected:
  void SetUp() override;
  // The answers of the modules to "show every tray" (event 33) and "show every resolution"
  // (event 30); 0 lets the rules hide values.
  void ShowAll(LONG bins, LONG resolutions);
  // Value ID and stored value of a value name of an item.
  static WORD Val(const char *name) { return Value(name); }
  // Symbol key of an item ID (its option row's).
  WORD KeyOf(WORD itemId);
  // A judge that is always true (1) or always false (0).
  const RULE_CODE_UNIT *Always(WORD value) { return b_.AddCode(Code{L(value), E()}); }

 public:
  static LONG binsAnswer_;
  static LONG resolutionsAnswer_;
};

std::u16string W(const WCHAR *s);
