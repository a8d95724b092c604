// Fixture of the stored-list tests: the settings-file fixture's context of the test printer
// on the sample description, its settings INI and a few readers of what the lists wrote.
#pragma once

#include <string>

#include "kst_fixture.h"
#include "store/stored_lists.h"

class ListTest : public KstTest {
 protected:
  void SetUp() override;

  // The context's settings INI, printer section and language section.
  std::u16string Ini() const { return ini_; }
  std::u16string Section() const { return section_; }
  std::u16string Lang() const { return lang_; }
  // A value of the settings INI ("" when missing).
  std::string IniValue(const WCHAR *section, const WCHAR *key) const;
  std::string PrinterValue(const char *key) const;
  void PutPrinterValue(const char *key, const char *value) const;
  // A file directly in the settings folder of the lists (PathGetListSettingsDir), the only
  // place where a save writes the files the lists name.
  std::string InListDir(const char *name) const;
  // Writes the terminal-server and administrator state items (the write bar).
  void SetBarred(bool barred);

 private:
  std::u16string ini_, section_, lang_;
};
