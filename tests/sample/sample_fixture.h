// Fixture of the sample description tests: a machine root with the sample printer's
// description in the spooler's driver folder, a diagnostics sink that collects every
// message, and lookups into a parse state by the names the file uses.
#pragma once

#include <string>
#include <vector>

#include "desc/desc_parse.h"
#include "items/item_store.h"
#include "machine_fixture.h"

struct Diagnostic {
  DWORD line;
  DWORD severity;
  std::string message;
};

// Collects the messages of one parse or compile.
class DiagnosticLog {
 public:
  DiagnosticLog();
  const DESC_DIAG_SINK *Sink() const { return &sink_; }
  const std::vector<Diagnostic> &All() const { return entries_; }
  size_t Count(DWORD severity) const;
  // One "line: message" row per diagnostic, for failure output.
  std::string Text() const;

 private:
  static void Report(void *user, DWORD line, DWORD severity, const char *message);
  DESC_DIAG_SINK sink_;
  std::vector<Diagnostic> entries_;
};

class SampleDescTest : public MachineTest {
 protected:
  // Where the printer's data file lives on the machine.
  static constexpr const WCHAR *kPath = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\KVSAMPLE.KVD";

  void SetUp() override;
  void TearDown() override;

  // The sample's bytes as checked in.
  static std::string SampleText();
  // Parses the installed sample once per test; the state lives until TearDown.
  DESC_PARSE_STATE *Parse();

  DiagnosticLog log_;
  DESC_PARSE_STATE *state_ = nullptr;
};

// Names-table lookups (the test fails when a name is missing).
WORD Key(const char *symbol);
WORD ItemIdOf(const char *symbol);
WORD ValueId(const char *value);

// Lookups in a parse state.
const DESC_ITEM_NODE *FindItem(const DESC_PARSE_STATE *s, const char *symbol, WORD variant = 0);
size_t CountItems(const DESC_PARSE_STATE *s);
// The value nodes of an item, in list order (any list type).
std::vector<const DESC_VALUE_NODE *> Values(const DESC_ITEM_NODE *item);
const DESC_VALUE_NODE *FindValue(const DESC_ITEM_NODE *item, const char *value);
const DESC_COMMAND_STRING *FindString(const DESC_PARSE_STATE *s, DWORD number);
const DESC_JUDGE *FindJudge(const DESC_PARSE_STATE *s, DWORD number);
// Section kinds as in DESC_SECTION_*.
const DESC_SECTION *FindSection(const DESC_PARSE_STATE *s, DWORD kind, DWORD number);
size_t CountSections(const DESC_PARSE_STATE *s, DWORD kind);
// Entries of a section, in order; each entry starts with its next link.
std::vector<const void *> Entries(const DESC_SECTION *section);
std::vector<const DESC_STATEMENT *> Statements(const DESC_STATEMENT *list);
