// The default-preset import and re-validation on the sample printer's bundle: install and
// registration, the condition and disable sections, files that are missing or unreadable,
// the 16-preset bound, the names a preset gets, the old-list match and the write bar.
#include <gtest/gtest.h>

#include "files/ini.h"
#include "items/item_store.h"
#include "hooks/module_hooks.h"
#include "kvplat/control.h"
#include "model/font_list_table.h"
#include "names/names_paths.h"
#include "preset_defaults_fixture.h"
#include "store/preset_list.h"
#include "store/settings_setup.h"
#include "store/setup_presets.h"
#include "store/setup_services.h"

namespace {

using Strings = std::vector<std::string>;

const char *const kFiles[] = {"KVDEF01", "KVDEF02", "KVDEF03", "KVDEF04"};

std::string Ksr(const char *stem) { return std::string(stem) + ".ksr"; }

TEST_F(DefaultPresetTest, InstallThenRegisterTheSampleBundle)
{
  ASSERT_EQ(Import(KV_IMPORT_INSTALL), 1);
  for (const char *stem : kFiles) {
    SCOPED_TRACE(stem);
    EXPECT_TRUE(Exists(InSettingsDir((std::string(stem) + ".KSD").c_str()).c_str()));
    EXPECT_EQ(StoreHasKstVersion(InSettingsDir(Ksr(stem).c_str()).c_str(), ctx_), 1);
  }
  EXPECT_TRUE(Names().empty());  // installing registers nothing
  // The copy is the printer's own file: the default's settings in the printer section, its
  // conditions beside them.
  std::string copy = Read(InSettingsDir("KVDEF02.ksr").c_str());
  std::vector<std::string> printer = Keys(copy, Narrow(Section().c_str()));
  EXPECT_NE(std::find(printer.begin(), printer.end(), "dmCopies=2"), printer.end());
  EXPECT_EQ(Keys(copy, "condition"), Strings{"ConditionOption0_0=KPD_COND_FINISHER"});

  ASSERT_EQ(Import(KV_IMPORT_REGISTER), 1);
  std::vector<Preset> list = Presets();
  ASSERT_EQ(list.size(), 3u);  // the file that is off for this driver is left out
  EXPECT_EQ(list[0].name, "Everyday");
  EXPECT_EQ(list[0].comment, "Two-sided, colour");
  EXPECT_EQ(list[0].path, Narrow(InSettingsDir("KVDEF01.ksr").c_str()));
  EXPECT_EQ(list[1].name, "Stapled sets");
  EXPECT_EQ(list[2].name, "Without finisher");  // registration alone does not test conditions
  EXPECT_EQ(list[2].path, Narrow(InSettingsDir("KVDEF04.ksr").c_str()));
  // A second registration replaces the list rather than adding to it.
  ASSERT_EQ(Import(KV_IMPORT_REGISTER), 1);
  EXPECT_EQ(Presets().size(), 3u);

  // An install that keeps copies leaves a changed copy alone; a plain one converts it again.
  std::u16string copy1 = InSettingsDir("KVDEF01.ksr");
  IniWriteString(Section().c_str(), u"dmCopies", u"9", copy1.c_str());
  ASSERT_EQ(Import(KV_IMPORT_INSTALL | KV_IMPORT_KEEP_COPIES), 1);
  EXPECT_EQ(IniGetInt(Section().c_str(), u"dmCopies", 0, copy1.c_str()), 9u);
  ASSERT_EQ(Import(KV_IMPORT_INSTALL), 1);
  EXPECT_EQ(IniGetInt(Section().c_str(), u"dmCopies", 0, copy1.c_str()), 1u);
  // Only a first install marks the bundle.
  EXPECT_EQ(IniGetInt(Lang().c_str(), u"DrvInstPresetDone", 7, Bundle().c_str()), 7u);
  ASSERT_EQ(Import(KV_IMPORT_INSTALL | KV_IMPORT_FIRST_INSTALL), 1);
  EXPECT_EQ(IniGetInt(Lang().c_str(), u"DrvInstPresetDone", 7, Bundle().c_str()), 1u);
  // Copies deleted afterwards: the preset files stay, the copies go.
  ASSERT_EQ(Import(KV_IMPORT_INSTALL | KV_IMPORT_DELETE_COPY), 1);
  EXPECT_FALSE(Exists(copy1.c_str()));
  EXPECT_TRUE(Exists(InSettingsDir("KVDEF01.KSD").c_str()));
}

TEST_F(DefaultPresetTest, OneImportInstallsAndNamesEveryUsableEntry)
{
  // Nothing is installed yet: the names come from the files the same import installs.
  ASSERT_EQ(Import(KV_IMPORT_REGISTER | KV_IMPORT_INSTALL), 1);
  EXPECT_EQ(Names(), (Strings{"Everyday", "Stapled sets", "Without finisher"}));
  for (const char *stem : kFiles) EXPECT_TRUE(Exists(InSettingsDir(Ksr(stem).c_str()).c_str())) << stem;
}

TEST_F(DefaultPresetTest, ConditionsDecideWhatAFirstInstallRegisters)
{
  struct Case {
    bool finisher;
    Strings names;
  } cases[] = {
      {true, {"Everyday", "Stapled sets"}},
      {false, {"Everyday", "Without finisher"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.finisher);
    Finisher(c.finisher);
    ListClearPresets(ctx_);  // a first install with conditions appends to the list
    ASSERT_EQ(Import(KV_IMPORT_REGISTER | KV_IMPORT_INSTALL | KV_IMPORT_CONDITIONS | KV_IMPORT_FIRST_INSTALL), 1);
    EXPECT_EQ(Names(), c.names);
  }
  // A first install makes each missing copy a printer file of its own.
  for (const char *stem : kFiles) {
    std::u16string copy = InSettingsDir(Ksr(stem).c_str());
    EXPECT_EQ(StoreHasKstVersion(copy.c_str(), ctx_), 1) << stem;
    EXPECT_NE(IniGetInt(Section().c_str(), u"dmCopies", 0, copy.c_str()), 0u) << stem;
  }
}

TEST_F(DefaultPresetTest, RevalidationFollowsTheConditionsAndKeepsUserPresets)
{
  ASSERT_EQ(Import(KV_IMPORT_INSTALL), 1);
  ASSERT_EQ(Import(KV_IMPORT_REGISTER), 1);
  RecordDefaultKst();
  // A user's own preset between the defaults.
  const WCHAR *mine = u"C:\\kst\\user0001.kst";
  ASSERT_EQ(StoreWriteSettingsFile(ctx_->printer, mine, 0, ctx_), 1);
  ASSERT_EQ(ListAppendPreset(ctx_, mine, u"Mine", u"my own"), 1);

  struct Step {
    bool finisher;
    Strings names;
  } steps[] = {
      // The copy whose condition fails goes; nothing to add while the finisher is in.
      {true, {"Everyday", "Stapled sets", "Mine"}},
      // Without the finisher the stapled sets go and the missing default comes back.
      {false, {"Everyday", "Mine", "Without finisher"}},
      {true, {"Everyday", "Mine", "Stapled sets"}},
      {true, {"Everyday", "Mine", "Stapled sets"}},
  };
  for (const Step &s : steps) {
    SCOPED_TRACE(s.finisher);
    Finisher(s.finisher);
    ASSERT_EQ(SetupRevalidatePresets(ctx_, 0), 1);
    EXPECT_EQ(Names(), s.names);
    // The checks read files into the context, but its settings stay as they were.
    EXPECT_EQ(ItemGetValue(ctx_, ITEM_kdmOutputOptionTypeFin2000, nullptr), s.finisher ? 1 : 0);
  }
  std::vector<Preset> list = Presets();
  EXPECT_EQ(list[1].path, "C:\\kst\\user0001.kst");
  EXPECT_EQ(list[1].comment, "my own");
  EXPECT_EQ(list[2].path, Narrow(InSettingsDir("KVDEF02.ksr").c_str()));

  // The first listed default is not added again once it left the list.
  ListClearPresets(ctx_);
  ListAppendPreset(ctx_, mine, u"Mine", u"my own");
  ASSERT_EQ(SetupRevalidatePresets(ctx_, 0), 1);
  EXPECT_EQ(Names(), (Strings{"Mine", "Stapled sets"}));
}

TEST_F(DefaultPresetTest, RevalidationWithoutAUsableBundleChangesNothing)
{
  ASSERT_EQ(Import(KV_IMPORT_INSTALL), 1);
  ASSERT_EQ(Import(KV_IMPORT_REGISTER), 1);
  Finisher(false);  // the stapled sets would go
  const Strings before = {"Everyday", "Stapled sets", "Without finisher"};
  std::string lang = Narrow(Lang().c_str());
  struct Case {
    const char *what;
    std::string bundle;  // "" = no "DefaultKst"
  } cases[] = {
      {"no bundle recorded", ""},
      {"no section of the language", "[xx]\r\nNumDeficonfiles=1\r\nDeficonfiles1=%sysdir%\\KVDEF01.KSD\r\n"},
      {"an entry that leaves its folder",
       "[" + lang +
           "]\r\nNumDeficonfiles=2\r\nDeficonfiles1=%sysdir%\\KVDEF01.KSD\r\nDeficonfiles2=%sysdir%\\..\\x.ksd\r\n"},
      {"a missing entry", "[" + lang + "]\r\nNumDeficonfiles=2\r\nDeficonfiles1=%sysdir%\\KVDEF01.KSD\r\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    if (c.bundle.empty()) {
      IniWriteString(Section().c_str(), u"DefaultKst", nullptr, Ini().c_str());
    } else {
      Write(u"C:\\kst\\other.ksb", c.bundle);
      IniWriteString(Section().c_str(), u"DefaultKst", u"C:\\kst\\other.ksb", Ini().c_str());
    }
    EXPECT_EQ(SetupRevalidatePresets(ctx_, 0), 0);
    EXPECT_EQ(Names(), before);
  }
}

TEST_F(DefaultPresetTest, MissingOrUnreadableFilesFailButTheRestIsImported)
{
  // The driver package lacks one default file.
  ASSERT_TRUE(DeleteFileW(InDriverDir("KVDEF02.KSD").c_str()));
  EXPECT_EQ(Import(KV_IMPORT_INSTALL | KV_IMPORT_FIRST_INSTALL), 0);
  for (const char *stem : {"KVDEF01", "KVDEF03", "KVDEF04"})
    EXPECT_TRUE(Exists(InSettingsDir(Ksr(stem).c_str()).c_str())) << stem;
  EXPECT_FALSE(Exists(InSettingsDir("KVDEF02.ksr").c_str()));
  EXPECT_EQ(IniGetInt(Lang().c_str(), u"DrvInstPresetDone", 7, Bundle().c_str()), 7u);  // not marked
  EXPECT_EQ(Import(KV_IMPORT_REGISTER), 0);
  EXPECT_EQ(Names(), (Strings{"Everyday", "Without finisher"}));
  // A converted copy is never made from a file that is not there.
  EXPECT_EQ(Import(KV_IMPORT_REGISTER | KV_IMPORT_CONVERT), 0);
  EXPECT_FALSE(Exists(InSettingsDir("KVDEF02.ksr").c_str()));

  // A folder where the file should be: it cannot be installed or read.
  Write(InDriverDir("KVDEF02.KSD").c_str(), "[" + Narrow(Lang().c_str()) + "]\r\nsetname=Back\r\n");
  ASSERT_TRUE(CreateDirectoryW(InSettingsDir("KVDEF02.KSD").c_str(), nullptr));
  EXPECT_EQ(Import(KV_IMPORT_REGISTER | KV_IMPORT_INSTALL), 0);
  EXPECT_EQ(Names(), (Strings{"Everyday", "Without finisher"}));
  ASSERT_TRUE(RemoveDirectoryW(InSettingsDir("KVDEF02.KSD").c_str()));
  EXPECT_EQ(Import(KV_IMPORT_REGISTER | KV_IMPORT_INSTALL), 1);
  EXPECT_EQ(Names(), (Strings{"Everyday", "Back", "Without finisher"}));
}

// A bundle entry that is no default preset file of the driver (a text file, a binary, an
// INI file without the language section or without any of its keys) is neither registered
// nor converted: the import counts it as failed and imports the rest.
TEST_F(DefaultPresetTest, EntriesThatAreNoPresetFilesFailAndAreCounted)
{
  std::string lang = Narrow(Lang().c_str());
  struct Case {
    const char *what;
    std::string bytes;
    bool preset;
  } cases[] = {
      {"text file", "Dear printer,\r\nplease print this.\r\n", false},
      {"binary", std::string("regf\0\0\x01\x02\xff\xfe\0\0hbin", 16), false},
      {"empty", "", false},
      {"another language", "[xx]\r\nsetname=Foreign\r\ndmCopies=2\r\n", false},
      {"unknown keys", "[" + lang + "]\r\nColour=blue\r\nsize=9\r\n", false},
      {"empty values", "[" + lang + "]\r\nsetname=\r\ndmCopies=\r\n", false},
      {"an item", "[" + lang + "]\r\nColour=blue\r\ndmCopies=4\r\n", true},
      {"a name", "[" + lang + "]\r\nsetname=Named\r\n", true},
  };
  std::u16string entry = u"C:\\kst\\entry.ksd";
  Write(u"C:\\kst\\mixed.ksb",
        "[" + lang + "]\r\nNumDeficonfiles=2\r\nDeficonfiles1=KVDEF01.KSD\r\nDeficonfiles2=C:\\kst\\entry.ksd\r\n");
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Write(entry.c_str(), c.bytes);
    DeleteFileW(InSettingsDir("entry.ksr").c_str());
    EXPECT_EQ(SetupIsDefaultPresetFile(entry.c_str(), Lang().c_str(), ctx_), c.preset ? 1 : 0);
    for (DWORD flags : {KV_IMPORT_INSTALL | KV_IMPORT_REGISTER, (DWORD)KV_IMPORT_REGISTER}) {
      SETUP_IMPORT_COUNTS counts = {9, 9};
      EXPECT_EQ(
          SetupImportDefaultPresetsCounted(u"C:\\kst\\mixed.ksb", Lang().c_str(), flags, ctx_, 0, nullptr, &counts),
          c.preset ? 1 : 0);
      EXPECT_EQ(counts.entries, 2u);
      EXPECT_EQ(counts.failed, c.preset ? 0u : 1u);
      std::vector<std::string> names = Names();
      ASSERT_EQ(names.size(), c.preset ? 2u : 1u);
      EXPECT_EQ(names[0], "Everyday");
      EXPECT_EQ(Exists(InSettingsDir("entry.ksr").c_str()), c.preset);
    }
  }
  // A folder is no preset file either.
  ASSERT_TRUE(DeleteFileW(entry.c_str()));
  ASSERT_TRUE(CreateDirectoryW(entry.c_str(), nullptr));
  EXPECT_EQ(SetupIsDefaultPresetFile(entry.c_str(), Lang().c_str(), ctx_), 0);
  // Counts of a walk that did not start are zero.
  SETUP_IMPORT_COUNTS counts = {9, 9};
  EXPECT_EQ(SetupImportDefaultPresetsCounted(u"C:\\kst\\none.ksb", Lang().c_str(), KV_IMPORT_REGISTER, ctx_, 0, nullptr,
                                             &counts),
            1);
  EXPECT_EQ(counts.entries, 0u);
  EXPECT_EQ(counts.failed, 0u);
}

TEST_F(DefaultPresetTest, EntriesThatCannotBeExpandedAreSkipped)
{
  std::string lang = Narrow(Lang().c_str());
  Write(u"C:\\kst\\odd.ksb", "[" + lang +
                                 "]\r\nNumDeficonfiles=6\r\nDeficonfiles1=%sysdir%\\..\\..\\KVDEF01.KSD\r\n"
                                 "Deficonfiles2=\r\nDeficonfiles3=KVDEF01.KSDX\r\nDeficonfiles4=KVDEF04.KSD\r\n"
                                 "Deficonfiles5=C:\\\r\nDeficonfiles6=KVDEF01.KSD\r\n");
  EXPECT_EQ(SetupImportDefaultPresets(u"C:\\kst\\odd.ksb", Lang().c_str(), KV_IMPORT_REGISTER, ctx_, 0, nullptr), 1);
  EXPECT_EQ(Names(), (Strings{"Without finisher", "Everyday"}));
  // Relative entries are files of the driver folder; their copies are the printer's.
  EXPECT_EQ(Presets()[0].path, Narrow(InSettingsDir("KVDEF04.ksr").c_str()));
}

TEST_F(DefaultPresetTest, BundlesWithNothingToImport)
{
  ASSERT_EQ(ListAppendPreset(ctx_, u"C:\\kst\\user0001.kst", u"Mine", u""), 1);
  // A missing bundle: nothing to do, and the user's list stays.
  EXPECT_EQ(SetupImportDefaultPresets(u"C:\\kst\\none.ksb", Lang().c_str(), KV_IMPORT_REGISTER, ctx_, 0, nullptr), 1);
  EXPECT_EQ(Names(), Strings{"Mine"});
  EXPECT_EQ(SetupImportDefaultPresets(nullptr, Lang().c_str(), KV_IMPORT_REGISTER, ctx_, 0, nullptr), 1);
  EXPECT_EQ(SetupImportDefaultPresets(Bundle().c_str(), Lang().c_str(), KV_IMPORT_REGISTER, nullptr, 0, nullptr), 0);
  // A bundle that lists no files for the language: nothing registered.
  for (const char *text : {"[xx]\r\nNumDeficonfiles=1\r\n", "[us]\r\nNumDeficonfiles=0\r\n"}) {
    Write(u"C:\\kst\\empty.ksb", text);
    EXPECT_EQ(SetupImportDefaultPresets(u"C:\\kst\\empty.ksb", u"us", KV_IMPORT_INSTALL, ctx_, 0, nullptr), 1);
    EXPECT_FALSE(Exists(InSettingsDir("KVDEF01.ksr").c_str()));
  }
}

TEST_F(DefaultPresetTest, TheListNeverGrowsPastSixteen)
{
  ASSERT_EQ(Import(KV_IMPORT_INSTALL), 1);
  std::u16string copy1 = InSettingsDir("KVDEF01.ksr");
  struct Case {
    int before;
    size_t after;
    const char *last;
  } cases[] = {
      {0, 3, "Without finisher"}, {13, 16, "Without finisher"}, {14, 16, "Stapled sets"},
      {15, 16, "Everyday"},       {16, 16, "user 15"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.before);
    ListClearPresets(ctx_);
    for (int i = 0; i < c.before; ++i)
      ASSERT_EQ(ListAppendPreset(ctx_, u"", U16(("user " + std::to_string(i)).c_str()).c_str(), u""), 1);
    // The entry that fills the list is still converted; the walk then ends.
    DeleteFileW(copy1.c_str());
    EXPECT_EQ(Import(KV_IMPORT_REGISTER | KV_IMPORT_REVALIDATE | KV_IMPORT_CONVERT), 1);
    ASSERT_EQ(Presets().size(), c.after);
    EXPECT_EQ(Presets().back().name, c.last);
    EXPECT_EQ(Exists(copy1.c_str()), c.before < 16);
  }
  // A damaged count stands for an empty list.
  PutPrinterValue("Count", "-3");
  EXPECT_EQ(Import(KV_IMPORT_REGISTER | KV_IMPORT_REVALIDATE), 1);
  EXPECT_EQ(Names(), (Strings{"Everyday", "Stapled sets", "Without finisher"}));
}

TEST_F(DefaultPresetTest, APresetTakesItsNameAndCommentOrTheCurrentOnes)
{
  const std::u16string ini = Ini();
  struct Case {
    const char *name, *comment, *itemName, *itemComment;
    const char *wantName, *wantComment;
  } cases[] = {
      {"N", "C", "cur", "cur comment", "N", "C"},
      {"N", "", "cur", "cur comment", "N", "cur comment"},
      {"N", "", "cur", "", "N", ""},
      {"", "C", "cur", "cur comment", "cur", "C"},
      {"", "C", "", "cur comment", "NoName", "C"},
      {"", "", "cur", "cur comment", "NoName", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.name) + "/" + c.comment + "/" + c.itemName + "/" + c.itemComment);
    ListClearPresets(ctx_);
    SetText(ITEM_wdmPresetName, c.itemName);
    SetText(ITEM_wdmPresetComment, c.itemComment);
    ASSERT_EQ(
        SetupAddDefaultPreset(ini.c_str(), u"C:\\kst\\a.ksr", U16(c.name).c_str(), U16(c.comment).c_str(), 0, ctx_), 1);
    ASSERT_EQ(Presets().size(), 1u);
    EXPECT_EQ(Presets()[0].name, c.wantName);
    EXPECT_EQ(Presets()[0].comment, c.wantComment);
    EXPECT_EQ(Presets()[0].path, "C:\\kst\\a.ksr");
  }
  // With the conditions flag a copy that is off or whose conditions fail is left out (and
  // that is no failure); a copy that does not exist yet is added.
  std::string driver = Narrow(CtxGetDriverName(ctx_));
  Write(u"C:\\kst\\off.ksr", "[disable]\r\n" + driver + "=1\r\n");
  Write(u"C:\\kst\\fails.ksr", "[condition]\r\nConditionOption0_0=!KPD_COND_FINISHER\r\n");
  ListClearPresets(ctx_);
  for (const WCHAR *copy : {u"C:\\kst\\off.ksr", u"C:\\kst\\fails.ksr", u"C:\\kst\\new.ksr"})
    EXPECT_EQ(SetupAddDefaultPreset(ini.c_str(), copy, u"x", u"", KV_IMPORT_CONDITIONS, ctx_), 1);
  ASSERT_EQ(Presets().size(), 1u);
  EXPECT_EQ(Presets()[0].path, "C:\\kst\\new.ksr");
  EXPECT_EQ(SetupAddDefaultPreset(nullptr, u"C:\\kst\\a.ksr", u"x", u"", 0, ctx_), 0);
  EXPECT_EQ(SetupAddDefaultPreset(ini.c_str(), nullptr, u"x", u"", 0, ctx_), 0);
}

TEST_F(DefaultPresetTest, FindingAPresetByTheFirstEightCharactersOfItsFile)
{
  SETUP_OLD_PRESET list[3] = {};
  lstrcpynW(list[0].path, u"C:\\_kvml\\user0001.kst", 260);
  lstrcpynW(list[1].path, u"C:\\_kvml\\KVDEF02.ksr", 260);
  lstrcpynW(list[2].path, u"C:\\_kvml\\LONGNAME_A.ksr", 260);
  struct Case {
    const WCHAR *copy;
    int found, index;
  } cases[] = {
      {u"C:\\x\\kvdef02.ksr", 1, 1},     // case-insensitive, the folder does not count
      {u"C:\\x\\KVDEF02.KSD", 1, 1},     // "KVDEF02." on both sides
      {u"C:\\x\\KVDEF03.ksr", 0, -1},    //
      {u"C:\\x\\LONGNAME_B.ksr", 1, 2},  // only 8 characters are compared
      {u"C:\\x\\USER0001.KSR", 1, 0},    //
      {u"KVDEF0", 0, -1},                // a shorter name must match whole
  };
  for (const Case &c : cases) {
    int index = -1;
    EXPECT_EQ(SetupFindPresetInList(c.copy, 3, list, &index), c.found) << Narrow(c.copy);
    EXPECT_EQ(index, c.index) << Narrow(c.copy);
  }
  int index = -1;
  EXPECT_EQ(SetupFindPresetInList(u"C:\\x\\KVDEF02.ksr", 1, list, &index), 0);  // only count entries
  EXPECT_EQ(SetupFindPresetInList(nullptr, 3, list, &index), 0);
  EXPECT_EQ(SetupFindPresetInList(u"C:\\x\\KVDEF02.ksr", 3, nullptr, &index), 0);
  EXPECT_EQ(SetupFindPresetInList(u"C:\\x\\KVDEF02.ksr", 3, list, nullptr), 0);
}

TEST_F(DefaultPresetTest, IniHelpersOfTheSetup)
{
  const WCHAR *file = u"C:\\kst\\setup.ini";
  EXPECT_EQ(IniWriteInt(file, u"us", -12, u"Number"), 1);
  EXPECT_EQ(Read(file), "[us]\r\nNumber=-12\r\n");
  WCHAR out[260] = u"untouched";
  EXPECT_EQ(IniReadPathKey(file, u"us", u"Number", out), 1);
  EXPECT_EQ(Narrow(out), "-12");
  EXPECT_EQ(IniReadPathKey(file, u"us", u"Missing", out), 0);
  EXPECT_EQ(IniReadPathKey(nullptr, u"us", u"Number", out), 0);
  EXPECT_EQ(IniReadPathKey(file, u"us", u"Number", nullptr), 0);
  EXPECT_EQ(IniWriteInt(file, nullptr, 1, u"Number"), 0);
  // The name and comment of a default file, each read within 260 characters.
  Write(u"C:\\kst\\d.ksd", "[us]\r\nsetname=" + std::string(300, 'n') + "\r\n");
  WCHAR name[260] = {}, comment[260] = {};
  EXPECT_EQ(SetupReadPresetNameComment(u"C:\\kst\\d.ksd", u"us", name, comment), 1);
  EXPECT_EQ(Narrow(name), std::string(259, 'n'));
  EXPECT_EQ(Narrow(comment), "");
}

TEST_F(DefaultPresetTest, ABarredUserKeepsTheList)
{
  ASSERT_EQ(Import(KV_IMPORT_INSTALL), 1);
  ASSERT_EQ(Import(KV_IMPORT_REGISTER), 1);
  RecordDefaultKst();
  Finisher(true);  // "Without finisher" would be dropped
  SetBarred(true);
  EXPECT_EQ(SetupRevalidatePresets(ctx_, 0), 0);
  EXPECT_EQ(Import(KV_IMPORT_REGISTER), 0);
  SetBarred(false);
  EXPECT_EQ(Names(), (Strings{"Everyday", "Stapled sets", "Without finisher"}));
}

TEST_F(DefaultPresetTest, TheFitTestPutsTheSettingsBack)
{
  const WCHAR *file = u"C:\\kst\\user0002.kst";
  SetRaw(ITEM_dmCopies, 5);
  ASSERT_EQ(StoreWriteSettingsFile(ctx_->printer, file, 0, ctx_), 1);
  SetRaw(ITEM_dmCopies, 2);
  std::vector<BYTE> before(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE);
  EXPECT_EQ(SetupPresetFileFits(file, ctx_), 1);
  EXPECT_EQ(std::vector<BYTE>(ctx_->work, ctx_->work + KV_WORK_BUFFER_SIZE), before);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(SetupPresetFileFits(file, ctx_), 0);
  PlatFaultDisarmAll();
  EXPECT_EQ(SetupPresetFileFits(file, nullptr), 0);
}

// A module that reloads the printer's device fonts whenever a settings file was read: the
// list the work buffer pointed at is freed and a new one takes its place.
LONG WINAPI ReloadFontsAfterRead(DRIVER_CONTEXT *ctx, WORD event, void *data, void *)
{
  const KV_EVT_SETTINGS_FILE_DATA *done = static_cast<const KV_EVT_SETTINGS_FILE_DATA *>(data);
  if (event != KV_EVT_SETTINGS_FILE_DONE || !(done->flags & KST_READ)) return 0;
  const FONT_LIST_DEF &def = g_kvFontLists[KV_FONT_LIST_DEVICE];
  MemFree((void *)(intptr_t)ItemGetRaw(ctx, def.listId, nullptr));
  BYTE *fresh = (BYTE *)MemAllocZeroed(def.entrySize);
  if (fresh != nullptr) fresh[0] = 0x5A;
  ItemSetRaw(ctx, def.countId, fresh != nullptr ? 1 : 0);
  ItemSetRaw(ctx, def.listId, (LONG)(intptr_t)fresh);
  return 0;
}

// The fit test puts back the settings it found, font lists included, also when the read
// replaced the lists; the lists it puts back are live and nothing stays allocated.
TEST_F(DefaultPresetTest, TheFitTestPutsBackLiveFontLists)
{
  const WCHAR *file = u"C:\\kst\\user0003.kst";
  ASSERT_EQ(StoreWriteSettingsFile(ctx_->printer, file, KST_PRESET_ITEMS, ctx_), 1);  // the printer's section
  const FONT_LIST_DEF &def = g_kvFontLists[KV_FONT_LIST_DEVICE];
  MemFree((void *)(intptr_t)ItemGetRaw(ctx_, def.listId, nullptr));
  std::string mine(2 * def.entrySize, '\x33');
  BYTE *list = (BYTE *)MemAllocZeroed((DWORD)mine.size());
  ASSERT_NE(list, nullptr);
  memcpy(list, mine.data(), mine.size());
  ItemSetRaw(ctx_, def.countId, 2);
  ItemSetRaw(ctx_, def.listId, (LONG)(intptr_t)list);
  MODULE_HOOK_ROW row = {0, nullptr, nullptr, nullptr, ReloadFontsAfterRead};
  CtxAttachModuleTable(ctx_, &row, 1);
  DWORD live = PlatMemLiveBlocks();
  EXPECT_EQ(SetupPresetFileFits(file, ctx_), 1);
  EXPECT_EQ(PlatMemLiveBlocks(), live);
  CtxAttachModuleTable(ctx_, nullptr, 0);
  EXPECT_EQ(CtxGetSettingsFileStatus(ctx_), 0u);
  EXPECT_EQ(ItemGetRaw(ctx_, def.countId, nullptr), 2);
  const BYTE *now = (const BYTE *)(intptr_t)ItemGetRaw(ctx_, def.listId, nullptr);
  ASSERT_NE(now, nullptr);
  ASSERT_EQ(GlobalSize((HGLOBAL)now), mine.size()) << "a freed block answers 0";
  EXPECT_EQ(std::string((const char *)now, mine.size()), mine);
}

}  // namespace
