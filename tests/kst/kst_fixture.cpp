#include "kst_fixture.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "blob/desc_runtime.h"
#include "files/paths.h"
#include "model/model.h"

void KstTest::SetUp()
{
  SampleContextTest::SetUp();
  CreateDirectoryW(u"C:\\kst", nullptr);
  fresh_.assign(ctx_->work, ctx_->work + DmGetWorkBufferSize());
  ASSERT_TRUE(CreateDirectoryW(PrinterConfigFile().substr(0, PrinterConfigFile().rfind(u'\\')).c_str(), nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);
}

void KstTest::TearDown()
{
  DmSetConvertStepRunner(nullptr);
  SampleContextTest::TearDown();
}

void KstTest::ApplySampleSettings()
{
  OPTION_ITEM *rows = static_cast<OPTION_ITEM *>(ctx_->items->rows);
  for (int r = 0; r < ctx_->items->count; ++r) {
    OPTION_ITEM *item = &rows[r];
    if (DescGetItemType(item->id, ctx_) == 0 || KvValueTypeIsText(KvItemValueType(item))) continue;
    ItemWriteValue(ctx_, item, (LONG)DescGetItemDefault(item->id, ctx_));
  }
  SetRaw(ITEM_kdmPresetNo, 255);  // as every read leaves it
  SetText(ITEM_wdmPresetName, "Golden preset");
  SetText(ITEM_wdmPresetComment, "Sample settings, A4 = x");
  SetText(ITEM_wdmFreeSizeName, "Card 10x15");
  SetRaw(ITEM_wdmFreeSizeName + 1, 1200);
  SetRaw(ITEM_wdmFreeSizeName + 2, 1800);
  SetText(ITEM_wdmWmChar, "CONFIDENTIAL");
  SetRaw(ITEM_wdmWmLinePitch, 7);
  SetText(ITEM_wdmAuthenticationPassword, "hunter2");
  SetText(ITEM_wdmAuthenticationPassword + 1, "netkey");
}

void KstTest::ResetWork() { memcpy(ctx_->work, fresh_.data(), fresh_.size()); }

std::string KstTest::Read(const WCHAR *path) const
{
  return Exists(path) ? ReadHostFile(HostPath(path)) : std::string("<missing>");
}

void KstTest::Write(const WCHAR *path, const std::string &bytes) const { WriteHostFile(HostPath(path), bytes); }

std::u16string KstTest::PrinterConfigFile() const
{
  WCHAR buf[MAX_PATH] = {};
  PathInSharedSettingsDir(buf, MAX_PATH, KST_PRINTER_CONFIG_FILE, ctx_);
  return buf;
}

std::vector<std::string> KstTest::Keys(const std::string &text, const std::string &section)
{
  std::vector<std::string> out;
  std::istringstream in(text);
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      inside = line == "[" + section + "]";
      continue;
    }
    if (inside && !line.empty()) out.push_back(line);
  }
  return out;
}

std::string KstTest::Golden(const char *name, const std::string &bytes) const
{
  std::string path = std::string(KV_KST_FIXTURES) + "/" + name;
  const char *update = getenv("KV_KST_UPDATE_GOLDEN");
  if (update != nullptr && update[0] == '1') {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string KstTest::Text(WORD id)
{
  WCHAR buf[600] = {};
  ItemReadText(ctx_, ItemFindById(ctx_, id), buf);
  return Narrow(buf);
}

void KstTest::SetText(WORD id, const char *text)
{
  std::u16string t = U16(text);
  ASSERT_NE(nullptr, ItemWriteText(ctx_, ItemFindById(ctx_, id), t.c_str())) << id;
}
