// Compiled descriptions for the rules tests: a description text is copied into the test
// machine, compiled with DescCompileEx and lent to the fixture's context.
#pragma once

#include <string>
#include <vector>

#include "blob/desc_compile.h"
#include "rules_fixture.h"

class CompiledRulesTest : public RulesTest {
 protected:
  void TearDown() override;
  // Compiles a file of the given directory; NULL (and a test failure) when it does not
  // compile. The context uses the result until the next call or the end of the test.
  DESC_BLOB *CompileFile(const std::string &dir, const std::string &name);
  // Symbol key of a name of the names table (0 when unlisted).
  static WORD Key(const char *name);
  // Value ID of a value name (0 when unlisted).
  static WORD Value(const char *name);
  const DESC_ITEM_NODE *Node(WORD itemId) { return DescFindItemNode(itemId, ctx_); }
  LONG Get(WORD itemId) { return ItemGetValue(ctx_, itemId, nullptr); }
  void Set(WORD itemId, LONG valueId) { ItemSetValue(ctx_, itemId, valueId); }

  std::vector<DESC_BLOB *> compiled_;
  std::vector<std::string> diagnostics_;
};
