// Fixture of the settings-file tests: a context of the test printer on the bundled sample
// description, filled with the sample settings (the description's defaults and a few texts),
// the settings folder of the files, and readers of what was written.
#pragma once

#include <string>
#include <vector>

#include "sample_context.h"
#include "store/settings_files.h"
#include "tables/item_ids.h"
#include "devmode/dm_version.h"
#include "names/names_paths.h"

class KstTest : public SampleContextTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Every item with a description node := the description's default; the texts, the
  // secret items and the watermark pattern items get the values KstTest::kTexts names.
  void ApplySampleSettings();
  // The work buffer as it was right after SetUp (the context's own fresh settings).
  void ResetWork();

  std::string Read(const WCHAR *path) const;
  void Write(const WCHAR *path, const std::string &bytes) const;
  bool Exists(const WCHAR *path) const { return HostExists(HostPath(path)); }
  // The shared settings folder's printer-configuration text file.
  std::u16string PrinterConfigFile() const;
  // Key lines "key=value" of one section of a settings text, in order.
  static std::vector<std::string> Keys(const std::string &text, const std::string &section);

  // The golden fixture, or "" when missing; KV_KST_UPDATE_GOLDEN=1 rewrites it from bytes.
  std::string Golden(const char *name, const std::string &bytes) const;

  LONG Raw(WORD id) { return ItemGetRaw(ctx_, id, nullptr); }
  void SetRaw(WORD id, LONG v) { ItemSetRaw(ctx_, id, v); }
  std::string Text(WORD id);
  void SetText(WORD id, const char *text);

  static constexpr const WCHAR *kFile = u"C:\\kst\\user0001.kst";
  std::vector<BYTE> fresh_;
};
