#include "compiled_fixture.h"

#include <fstream>
#include <sstream>

#include "items/item_store.h"

namespace {
void Collect(void *user, DWORD line, DWORD severity, const char *message)
{
  auto *out = static_cast<std::vector<std::string> *>(user);
  out->push_back(std::to_string(line) + (severity == DESC_DIAG_ERROR ? ": error: " : ": ") + message);
}
}  // namespace

void CompiledRulesTest::TearDown()
{
  RulesTest::TearDown();  // gives the context its own description back first
  for (DESC_BLOB *blob : compiled_) GlobalFree(blob);
  compiled_.clear();
}

DESC_BLOB *CompiledRulesTest::CompileFile(const std::string &dir, const std::string &name)
{
  std::ifstream in(dir + "/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in || text.str().empty()) {
    ADD_FAILURE() << "cannot read " << dir << "/" << name;
    return nullptr;
  }
  WriteHostFile(HostPath(u"C:\\kvrules\\desc.kvd"), text.str());
  diagnostics_.clear();
  DESC_DIAG_SINK sink = {&diagnostics_, Collect};
  DESC_BLOB *blob = DescCompileEx(nullptr, u"C:\\kvrules\\desc.kvd", FALSE, &sink);
  if (blob == nullptr) {
    ADD_FAILURE() << name << " does not compile";
    return nullptr;
  }
  compiled_.push_back(blob);
  ctx_->desc = blob;
  return blob;
}

WORD CompiledRulesTest::Key(const char *name)
{
  const SYMBOL_ENTRY *sym = ItemFindSymbolByName(name);
  return sym != nullptr ? sym->key : 0;
}

WORD CompiledRulesTest::Value(const char *name)
{
  const VALUE_SYMBOL *sym = ItemFindValueSymbolByName(name);
  return sym != nullptr ? sym->valueId : 0;
}
