// The files the preset and quality-set lists name, as outside input: a save writes only a
// new file or a settings file of the printer inside the settings folder, and moves any
// other entry to a fresh user file; fresh names skip every name a file holds or an entry
// names; a load says why a preset's own file was not taken.
#include <gtest/gtest.h>

#include <set>

#include "files/ini.h"
#include "files/settings_dirs.h"
#include "list_fixture.h"
#include "store/preset_list.h"

namespace {

std::u16string PresetKey(int n)
{
  WCHAR key[KV_PRESET_KEY_CHARS];
  return ListFormatPresetKey(key, n, LIST_KEY_PATH);
}

class ListFileTest : public ListTest {
 protected:
  void SetUp() override
  {
    ListTest::SetUp();
    WCHAR dir[MAX_PATH] = {};
    ASSERT_NE(PathGetListSettingsDir(dir, MAX_PATH, ctx_), 0u);
    dir_ = dir;
    ASSERT_TRUE(CreateDirectoryW(u"C:\\elsewhere", nullptr));
  }

  std::u16string InDir(const char *name) const { return dir_ + u"\\" + U16(name); }
  std::u16string PathOf(int n) const { return U16(PrinterValue(Narrow(PresetKey(n).c_str()).c_str()).c_str()); }
  // Appends preset n with its own copies count, gives it a user file and saves it.
  void AddPreset(int n, LONG copies)
  {
    SetRaw(ITEM_dmCopies, copies);
    ASSERT_EQ(ListAppendPreset(ctx_, u"", U16(("P" + std::to_string(n)).c_str()).c_str(), u""), 1) << n;
    ASSERT_EQ(ListEnsureUserPresetFile(ctx_, n), 1) << n;
    ASSERT_EQ(ListSavePreset(ctx_, n), LIST_SAVE_DONE) << n;
  }
  // A settings file of another machine: the printer's section with a foreign header.
  std::string OtherMachineFile() const
  {
    return "[" + Narrow(Section().c_str()) + "]\r\nKstVersion=" + std::to_string(ctx_->model->settingsFileVersion) +
           "\r\nKstMachine=1\r\nKstLanguage=" + std::to_string(ItemGetRaw(ctx_, ITEM_kdmLanguageID, nullptr)) +
           "\r\ndmCopies=2\r\n";
  }

  std::u16string dir_;
};

// Every kind of file an entry can name, saved as preset 0: the printer's own files and new
// names inside the settings folder are written; everything else is left byte for byte and
// the preset moves to a fresh user file, which then loads back.
TEST_F(ListFileTest, ASaveWritesOnlyThePrintersOwnFilesInTheSettingsFolder)
{
  AddPreset(0, 3);
  const std::string own = Read(PathOf(0).c_str());
  ASSERT_NE(own.find("KstMachine="), std::string::npos);
  const std::string longName = "C:\\kst\\" + std::string(300, 'n') + ".kst";
  struct Case {
    const char *what;
    std::string path;   // the entry's value ("<dir>" stands for the settings folder)
    const char *bytes;  // the file put there first; nullptr: none, "<own>": a preset file, "<dir>": a folder
    int kind, answer;
  } cases[] = {
      {"own file", "<dir>\\mine.kst", "<own>", LIST_FILE_OWN, LIST_SAVE_DONE},
      {"new name", "<dir>\\fresh.kst", nullptr, LIST_FILE_NEW, LIST_SAVE_DONE},
      {"new name through ..", "<dir>\\sub\\..\\other.kst", nullptr, LIST_FILE_NEW, LIST_SAVE_DONE},
      {"emptied", "<dir>\\empty.kst", "", LIST_FILE_FOREIGN, LIST_SAVE_NEW_FILE},
      {"garbled", "<dir>\\garbled.kst", "\x01\x02garbage\r\n[x\r\n", LIST_FILE_FOREIGN, LIST_SAVE_NEW_FILE},
      {"text file", "<dir>\\notes.txt", "shopping list\r\n", LIST_FILE_FOREIGN, LIST_SAVE_NEW_FILE},
      {"other machine", "<dir>\\other.kst", "<other>", LIST_FILE_FOREIGN, LIST_SAVE_NEW_FILE},
      {"folder", "<dir>\\folder.kst", "<dir>", LIST_FILE_FOREIGN, LIST_SAVE_NEW_FILE},
      {"settings INI", Narrow(Ini().c_str()), "<keep>", LIST_FILE_FOREIGN, LIST_SAVE_NEW_FILE},
      {"own file outside", "C:\\elsewhere\\mine.kst", "<own>", LIST_FILE_OUTSIDE, LIST_SAVE_NEW_FILE},
      {"new name outside", "C:\\elsewhere\\new.kst", nullptr, LIST_FILE_OUTSIDE, LIST_SAVE_NEW_FILE},
      {"out through ..", "<dir>\\..\\elsewhere\\up.kst", "<own>", LIST_FILE_OUTSIDE, LIST_SAVE_NEW_FILE},
      {"below the folder", "<dir>\\sub\\deep.kst", nullptr, LIST_FILE_OUTSIDE, LIST_SAVE_NEW_FILE},
      {"relative", "user0000.kst", nullptr, LIST_FILE_OUTSIDE, LIST_SAVE_NEW_FILE},
      {"too long", longName, nullptr, LIST_FILE_OUTSIDE, LIST_SAVE_NEW_FILE},
  };
  ASSERT_TRUE(CreateDirectoryW(InDir("sub").c_str(), nullptr));
  LONG copies = 10;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::string value = c.path;
    if (value.compare(0, 5, "<dir>") == 0) value = Narrow(dir_.c_str()) + value.substr(5);
    std::u16string path = U16(value.c_str());
    std::string bytes = c.bytes == nullptr ? "" : c.bytes;
    if (bytes == "<own>") bytes = own;
    if (bytes == "<other>") bytes = OtherMachineFile();
    if (c.bytes != nullptr && bytes == "<dir>")
      ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    else if (c.bytes != nullptr && bytes != "<keep>")
      Write(path.c_str(), bytes);
    PutPrinterValue("PresetList0", value.c_str());
    EXPECT_EQ(ListClassifyKstFile(ctx_, path.c_str()), c.kind);
    std::string before = Read(path.c_str());
    SetRaw(ITEM_dmCopies, ++copies);
    ASSERT_EQ(ListSavePreset(ctx_, 0), c.answer);
    std::u16string written = PathOf(0);
    if (c.answer == LIST_SAVE_DONE) {
      EXPECT_EQ(written, path);
    } else {
      // The file is left as it was, and the preset has a user file of its own.
      if (c.bytes != nullptr && bytes != "<dir>" && bytes != "<keep>") {
        EXPECT_EQ(Read(path.c_str()), before);
      }
      if (c.bytes == nullptr && path[1] == u':') {
        EXPECT_FALSE(Exists(path.c_str()));
      }
      EXPECT_NE(written, path);
      EXPECT_EQ(written.compare(0, dir_.size() + 5, dir_ + u"\\user"), 0) << Narrow(written.c_str());
      EXPECT_EQ(ListClassifyKstFile(ctx_, written.c_str()), LIST_FILE_OWN);
    }
    // The settings INI never gets preset items.
    EXPECT_EQ(IniGetInt(Section().c_str(), u"dmCopies", 0, Ini().c_str()), 0u);
    SetRaw(ITEM_dmCopies, 1);
    ListSelectPreset(ctx_, 0);
    EXPECT_EQ(CtxGetSettingsFileStatus(ctx_), (DWORD)KST_STATUS_OK);
    EXPECT_EQ(Raw(ITEM_dmCopies), copies);
  }
}

// Rewriting every preset writes no file outside the settings folder and puts "Readonly"
// back only into the file it came from.
TEST_F(ListFileTest, RewritingEveryPresetLeavesFilesOutsideTheFolderAlone)
{
  AddPreset(0, 3);
  AddPreset(1, 4);
  std::u16string outside = u"C:\\elsewhere\\p1.kst";
  Write(outside.c_str(), Read(PathOf(1).c_str()) + "Readonly=1\r\n");
  IniWriteString(Section().c_str(), u"Readonly", u"1", outside.c_str());
  std::string before = Read(outside.c_str());
  PutPrinterValue("PresetList1", "C:\\elsewhere\\p1.kst");
  ASSERT_EQ(ListResaveAllPresets(ctx_), 1);
  EXPECT_EQ(Read(outside.c_str()), before);
  EXPECT_NE(PathOf(1), outside);
  EXPECT_EQ(IniGetInt(Section().c_str(), u"dmCopies", 0, PathOf(1).c_str()), 4u);
}

// A preset file that is emptied, garbled or replaced keeps its name as long as the list
// names it: a new preset, and the damaged one saved again, each get a file of their own, and
// a name whose file is missing is not given out either.
TEST_F(ListFileTest, TwoPresetsNeverShareAFileAfterADamagedOne)
{
  struct Case {
    const char *what, *bytes;
  } cases[] = {{"emptied", ""}, {"garbled", "\x7f\x7f\r\n"}, {"replaced", "<other>"}, {"removed", nullptr}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ListClearPresets(ctx_);
    AddPreset(0, 5);
    std::u16string damaged = PathOf(0);
    if (c.bytes == nullptr)
      ASSERT_TRUE(DeleteFileW(damaged.c_str()));
    else
      Write(damaged.c_str(), std::string(c.bytes) == "<other>" ? OtherMachineFile() : c.bytes);
    EXPECT_EQ(ListNamesFile(ctx_, damaged.c_str()), 1);
    WCHAR fresh[1025];
    ASSERT_EQ(ListMakeNewKstPath(ctx_, fresh), 1);
    EXPECT_NE(std::u16string(fresh), damaged);
    AddPreset(1, 6);
    EXPECT_NE(PathOf(1), damaged);
    // Saving the damaged preset again: a file it may write (the one removed, now a new
    // name) is written; a damaged one is left, and the preset moves to a third file.
    SetRaw(ITEM_dmCopies, 7);
    int answer = ListSavePreset(ctx_, 0);
    EXPECT_EQ(answer, c.bytes == nullptr ? LIST_SAVE_DONE : LIST_SAVE_NEW_FILE);
    std::set<std::u16string> files = {PathOf(0), PathOf(1)};
    EXPECT_EQ(files.size(), 2u);
    for (int n : {0, 1}) {
      SetRaw(ITEM_dmCopies, 1);
      ListSelectPreset(ctx_, n);
      EXPECT_EQ(CtxGetSettingsFileStatus(ctx_), (DWORD)KST_STATUS_OK) << n;
      EXPECT_EQ(Raw(ITEM_dmCopies), n == 0 ? 7 : 6) << n;
    }
    for (const std::u16string &f : {PathOf(0), PathOf(1), damaged}) DeleteFileW(f.c_str());
  }
}

// Quality sets share the user file names: a preset never takes a name a quality set holds,
// and a quality set whose file is not the printer's moves to a fresh one.
TEST_F(ListFileTest, QualitySetsShareTheNamesAndTheRule)
{
  std::u16string quality = InDir("user0000.kst");
  PutPrinterValue("QualityCount", "2");
  PutPrinterValue("QualityList0", Narrow(quality.c_str()).c_str());  // its file is not written yet
  EXPECT_EQ(ListNamesFile(ctx_, quality.c_str()), 1);
  // The same file under another spelling is the same file.
  EXPECT_EQ(ListNamesFile(ctx_, (dir_ + u"\\.\\USER0000.KST").c_str()), 1);
  EXPECT_EQ(ListNamesFile(ctx_, InDir("user0001.kst").c_str()), 0);
  AddPreset(0, 2);
  EXPECT_EQ(PathOf(0), InDir("user0001.kst"));
  ASSERT_EQ(ListSaveQuality(ctx_, 0), LIST_SAVE_DONE);
  EXPECT_EQ(ListClassifyKstFile(ctx_, quality.c_str()), LIST_FILE_OWN);

  // A text file, and another printer's quality file outside the folder.
  for (const char *value : {"<dir>\\notes.txt", "C:\\elsewhere\\q.kst"}) {
    SCOPED_TRACE(value);
    std::string v = value;
    if (v.compare(0, 5, "<dir>") == 0) v = Narrow(dir_.c_str()) + v.substr(5);
    std::u16string path = U16(v.c_str());
    Write(path.c_str(), "[" + Narrow(Section().c_str()) + "]\r\nkdmBrightness=3\r\n");
    std::string before = Read(path.c_str());
    PutPrinterValue("QualityList1", v.c_str());
    SetRaw(ITEM_kdmBrightness, 4);
    ASSERT_EQ(ListSaveQuality(ctx_, 1), LIST_SAVE_NEW_FILE);
    EXPECT_EQ(Read(path.c_str()), before);
    std::u16string moved = U16(PrinterValue("QualityList1").c_str());
    EXPECT_NE(moved, path);
    EXPECT_NE(moved, quality);
    EXPECT_NE(moved, PathOf(0));
    SetRaw(ITEM_kdmBrightness, 0);
    EXPECT_EQ(ListLoadQuality(ctx_, 1), 1);
    EXPECT_EQ(Raw(ITEM_kdmBrightness), 4);
  }
  // An empty entry names no file: nothing is written.
  PutPrinterValue("QualityList1", "");
  EXPECT_EQ(ListSaveQuality(ctx_, 1), LIST_SAVE_FAILED);
  EXPECT_EQ(PrinterValue("QualityList1"), "");
}

// After a load the context's status says why the preset's own file was not taken, although
// preset 0's settings were read in its place.
TEST_F(ListFileTest, ALoadTellsWhyAPresetsFileWasNotTaken)
{
  AddPreset(0, 2);
  AddPreset(1, 3);
  std::string own = Read(PathOf(1).c_str());
  struct Case {
    const char *what, *bytes;
    DWORD status;
  } cases[] = {
      {"own", "<own>", KST_STATUS_OK},
      {"missing", nullptr, KST_STATUS_UNREADABLE},
      {"emptied", "", KST_STATUS_REJECTED},
      {"garbled", "\x01\x02\r\n", KST_STATUS_REJECTED},
      {"replaced", "<other>", KST_STATUS_REJECTED},
  };
  std::u16string file = InDir("p1.kst");
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    PutPrinterValue("PresetList1", Narrow(file.c_str()).c_str());
    DeleteFileW(file.c_str());
    if (c.bytes != nullptr) {
      std::string bytes = c.bytes;
      Write(file.c_str(), bytes == "<own>" ? own : bytes == "<other>" ? OtherMachineFile() : bytes);
    }
    ListPresetCache(ctx_, nullptr, LIST_CACHE_FREE);
    SetRaw(ITEM_dmCopies, 1);
    EXPECT_EQ(ListSelectPreset(ctx_, 1), 0);
    EXPECT_EQ(CtxGetSettingsFileStatus(ctx_), c.status);
    EXPECT_EQ(Raw(ITEM_dmCopies), c.status == KST_STATUS_OK ? 3 : 2);  // else preset 0's
    // A load from the cache took the file earlier.
    if (c.status == KST_STATUS_OK) {
      CtxSetSettingsFileStatus(ctx_, KST_STATUS_REJECTED);
      EXPECT_EQ(ListSelectPreset(ctx_, 1), 1);
      EXPECT_EQ(CtxGetSettingsFileStatus(ctx_), (DWORD)KST_STATUS_OK);
    }
  }
}

}  // namespace
