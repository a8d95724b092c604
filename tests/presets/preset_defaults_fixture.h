// Fixture of the default-preset tests: the stored-list fixture's context of the test printer,
// with the sample printer's default-preset bundle installed in the driver folder, and
// readers of the preset list it leaves.
#pragma once

#include <string>
#include <vector>

#include "list_fixture.h"
#include "store/setup_presets.h"

class DefaultPresetTest : public ListTest {
 protected:
  void SetUp() override;

  struct Preset {
    std::string path, name, comment;
  };
  // The stored preset list, in order.
  std::vector<Preset> Presets() const;
  std::vector<std::string> Names() const;
  // The sample bundle in the driver folder, and a default file's path there.
  std::u16string Bundle() const { return bundle_; }
  std::u16string InDriverDir(const char *name) const;
  // The shared settings folder + "\" + name: where the bundle installs its files and the
  // copies are made.
  std::u16string InSettingsDir(const char *name) const;
  // Whether the finisher is installed (the sample condition KPD_COND_FINISHER).
  void Finisher(bool installed);
  // Imports the sample bundle's language section with those flags.
  int Import(DWORD flags, int oldCount = 0, const SETUP_OLD_PRESET *old = nullptr);
  // The printer's default bundle ("DefaultKst"), as the setup records it.
  void RecordDefaultKst();

 private:
  std::u16string bundle_;
};
