#include "preset_defaults_fixture.h"

#include <fstream>
#include <sstream>

#include "files/ini.h"
#include "files/settings_dirs.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "store/setup_presets.h"

namespace {

std::string SampleFile(const char *name)
{
  std::ifstream in(std::string(KV_SAMPLE_DIR) + "/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

void DefaultPresetTest::SetUp()
{
  ListTest::SetUp();
  // The sample bundle and its default files as the driver package installs them. The file
  // that is off for the sample driver is turned off for the test printer's driver.
  for (const char *name : {"KVDEFLT.KSB", "KVDEF01.KSD", "KVDEF02.KSD", "KVDEF03.KSD", "KVDEF04.KSD"}) {
    std::string text = SampleFile(name);
    ASSERT_FALSE(text.empty()) << name;
    size_t at = text.find("KVML Sample Colour MFP=1");
    if (at != std::string::npos) text.replace(at, 22, Narrow(CtxGetDriverName(ctx_)));
    Write(InDriverDir(name).c_str(), text);
  }
  bundle_ = InDriverDir("KVDEFLT.KSB");
  ASSERT_TRUE(FileCreateSettingsDirOf(ctx_));
  Finisher(true);
}

std::u16string DefaultPresetTest::InDriverDir(const char *name) const
{
  return std::u16string(CtxGetDriverDir(ctx_)) + U16(name);
}

std::u16string DefaultPresetTest::InSettingsDir(const char *name) const
{
  WCHAR dir[MAX_PATH] = {};
  PathGetSharedSettingsDir(dir, MAX_PATH, ctx_);
  return std::u16string(dir) + u"\\" + U16(name);
}

void DefaultPresetTest::Finisher(bool installed)
{
  ItemSetValue(ctx_, ITEM_kdmOutputOptionTypeFin2000, installed ? 1 : 0);
}

int DefaultPresetTest::Import(DWORD flags, int oldCount, const SETUP_OLD_PRESET *old)
{
  return SetupImportDefaultPresets(bundle_.c_str(), Lang().c_str(), flags, ctx_, oldCount, old);
}

void DefaultPresetTest::RecordDefaultKst()
{
  IniWriteString(Section().c_str(), u"DefaultKst", bundle_.c_str(), Ini().c_str());
}

std::vector<DefaultPresetTest::Preset> DefaultPresetTest::Presets() const
{
  std::vector<Preset> out;
  int n = atoi(PrinterValue("Count").c_str());
  for (int i = 0; i < n; ++i) {
    std::string key = "PresetList" + std::to_string(i);
    out.push_back(
        {PrinterValue(key.c_str()), PrinterValue((key + "Name").c_str()), PrinterValue((key + "Comment").c_str())});
  }
  return out;
}

std::vector<std::string> DefaultPresetTest::Names() const
{
  std::vector<std::string> names;
  for (const Preset &p : Presets()) names.push_back(p.name);
  return names;
}
