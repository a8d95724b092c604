// The kst serializer on the sample settings: golden files of each kind of settings file
// and their round trip, the header rule over the flag matrix, which items each kind
// carries, the section a file is read from and written to, and the failures.
#include <gtest/gtest.h>

#include <algorithm>

#include "kst_fixture.h"
#include "model/model.h"
#include "model/state_items.h"
#include "kvplat/os_control.h"
#include "os/os.h"
#include "hooks/module_hooks.h"

namespace {

int g_steps = 0;
void WINAPI CountStep(DRIVER_CONTEXT *, WORD) { ++g_steps; }

bool HasKey(const std::vector<std::string> &keys, const std::string &name)
{
  return std::any_of(keys.begin(), keys.end(), [&](const std::string &k) { return k.rfind(name + "=", 0) == 0; });
}

// Golden files: each kind of settings file written from the sample settings gives the
// checked-in bytes, and reading those bytes into the fresh context and writing them
// again gives the same bytes.
TEST_F(KstTest, GoldenFilesAreWrittenAndReadBackByteForByte)
{
  // A plain read ends with the first-run locale defaults, which set kdmLocaleID from the
  // user's country code: the sample's 0 is what a country outside 1, 2 and 5 gives.
  ASSERT_TRUE(PlatSetLocale(0x0407, 0x0409, 0x0409));
  struct Case {
    const char *golden;
    DWORD writeFlags;
    DWORD readFlags;
  } cases[] = {
      {"preset.kst", 0, 0},            // plain preset: driver-name section, full header
      {"quality.ksq", 0x10, 0x10},     // quality-set items
      {"stamp.kst", 0x20, 0x20},       // stamp items, version key only
      {"freesize.kst", 0x80, 0x80},    // custom paper: five items
      {"language.ksb", 0x10000, 0x8},  // language section; a bundle read takes it
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.golden);
    ResetWork();
    ApplySampleSettings();
    DeleteFileW(kFile);
    ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, c.writeFlags, ctx_));
    std::string written = Read(kFile);
    EXPECT_EQ(Golden(c.golden, written), written);

    ResetWork();
    Write(kFile, Golden(c.golden, written));
    ASSERT_EQ(1, StoreReadSettingsFile(printer_, kFile, c.readFlags, ctx_));
    EXPECT_EQ(0u, CtxGetSettingsFileStatus(ctx_));
    DeleteFileW(kFile);
    ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, c.writeFlags, ctx_));
    EXPECT_EQ(Golden(c.golden, written), Read(kFile));
  }
}

TEST_F(KstTest, PlainWriteRefreshesThePrinterConfigurationFile)
{
  ApplySampleSettings();
  SetRaw(ITEM_kdmFontTableNum, 3);
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  std::u16string config = PrinterConfigFile();
  std::string text = Read(config.c_str());
  EXPECT_EQ(Golden("TVPKPRNT.txt", text), text);
  std::vector<std::string> keys = Keys(text, "KVMLPrnSection");
  ASSERT_FALSE(keys.empty());
  // The log-code items are left out; the font lists are written as 0 and kept.
  EXPECT_FALSE(HasKey(keys, "kdmServerLogCode"));
  EXPECT_FALSE(HasKey(keys, "kdmLogCode"));
  EXPECT_TRUE(std::find(keys.begin(), keys.end(), "kdmFontTableNum=0") != keys.end());
  EXPECT_EQ(3, Raw(ITEM_kdmFontTableNum));
  EXPECT_TRUE(HasKey(keys, "wdmCustomFunc31"));

  // Read back through the printer-configuration reader.
  LONG before = Raw(ITEM_kdmSourceOptionTypeDuplex);
  SetRaw(ITEM_kdmSourceOptionTypeDuplex, !before);
  EXPECT_EQ(1, StoreReadPrinterConfig(config.c_str(), 0, ctx_));
  EXPECT_EQ(before, Raw(ITEM_kdmSourceOptionTypeDuplex));
  EXPECT_EQ(3, Raw(ITEM_kdmFontTableNum));
}

TEST_F(KstTest, WrittenFilesLeaveOutSecretsAndStampPatterns)
{
  ApplySampleSettings();
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  std::string preset = Read(kFile);
  std::vector<std::string> keys = Keys(preset, Narrow(CtxGetDriverName(ctx_)));
  ASSERT_GT(keys.size(), 100u);
  // The header comes first and in order.
  EXPECT_EQ("KstVersion=314", keys[0]);
  EXPECT_EQ("KstMachine=192", keys[1]);
  EXPECT_EQ(0u, keys[2].rfind("KstLanguage=", 0));
  EXPECT_EQ(0u, keys[3].rfind("KstOSKind=", 0));
  for (const char *secret : {"wdmAuthenticationPassword", "wdmAuthenticationNetworkKey", "wdmChkAuthenticationPassword",
                             "wdmChkAuthenticationNetworkKey"}) {
    EXPECT_FALSE(HasKey(keys, secret)) << secret;
  }
  EXPECT_EQ(std::string::npos, preset.find("hunter2"));
  EXPECT_FALSE(HasKey(keys, "wdmWmLinePitch"));
  EXPECT_FALSE(HasKey(keys, "kdmOSKind"));  // state items are never carried
  EXPECT_TRUE(HasKey(keys, "wdmWmChar"));
  EXPECT_TRUE(HasKey(keys, "wdmPresetName"));

  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0x20, ctx_));
  std::vector<std::string> stamp = Keys(Read(kFile), Narrow(CtxGetPrinterName(ctx_)));
  // A stamp section carries the stamp items only (the tile and pattern items have no stamp
  // membership in the compiled-in table, so no file carries them).
  EXPECT_TRUE(std::find(stamp.begin(), stamp.end(), "wdmWmChar=CONFIDENTIAL") != stamp.end());
  EXPECT_TRUE(HasKey(stamp, "kdmWmKind"));
  EXPECT_FALSE(HasKey(stamp, "kdmBrightness"));
  EXPECT_FALSE(HasKey(stamp, "wdmWmLinePitch"));
  EXPECT_EQ("KstVersion=314", stamp[0]);
  EXPECT_FALSE(HasKey(stamp, "KstMachine"));
  EXPECT_FALSE(HasKey(stamp, "wdmAuthenticationPassword"));
}

TEST_F(KstTest, ItemFilters)
{
  using Filter = int(WINAPI *)(const OPTION_ITEM *);
  struct Case {
    const char *name;
    Filter filter;
    std::vector<WORD> kept, dropped;
  } cases[] = {
      {"no header", StoreFilterNoHeader, {6, 7, 10385}, {1, 5}},
      {"user setting", StoreFilterUserSetting, {6, 600, 818, 1059}, {1, 5, 601, 625, 817, 1060, 1270, 10001, 10385}},
      {"printer config", StoreFilterPrinterConfig, {10012, 10385}, {10001, 10011, 1230, 7}},
      {"no secret", StoreFilterNoSecret, {1014, 1019, 7}, {1015, 1016, 1017, 1018}},
      {"no notify caps", StoreFilterNoNotifyCaps, {530, 531, 7}, {562, 563}},
      {"no notify", StoreFilterNoNotify, {529, 564}, {530, 531, 562, 563}},
  };
  for (const Case &c : cases) {
    for (WORD id : c.kept) EXPECT_EQ(1, c.filter(ItemFindById(ctx_, id))) << c.name << " " << id;
    for (WORD id : c.dropped) EXPECT_EQ(0, c.filter(ItemFindById(ctx_, id))) << c.name << " " << id;
    EXPECT_EQ(0, c.filter(nullptr)) << c.name;
    OPTION_ITEM zero{};
    EXPECT_EQ(0, c.filter(&zero)) << c.name;
  }
  EXPECT_EQ(1, StoreSameKstMajor(312, 314));
  EXPECT_EQ(1, StoreSameKstMajor(0x10000 + 399, 314));  // 16-bit values
  EXPECT_EQ(0, StoreSameKstMajor(214, 314));
}

// The header rule and section choice over the flag matrix. Each case writes a file whose
// section and header are given, reads it with the flags, and checks the answer, the
// status and whether the item in the file was taken.
TEST_F(KstTest, HeaderRuleOverTheFlagMatrix)
{
  struct Case {
    const char *name;
    const char *section;  // "P" printer name, "D" driver name, "L" language code
    const char *header;   // header lines, "\r\n" separated
    DWORD flags;
    int answer;
    DWORD status;
    bool taken;
    int steps;  // conversion steps run
  } cases[] = {
      {"current version", "P", "KstVersion=314\r\nKstMachine=192\r\nKstLanguage=%L", 0x4, 1, 0, true, 0},
      {"older minor version upgrades", "P", "KstVersion=312\r\nKstMachine=192\r\nKstLanguage=%L", 0x4, 1, 0, true, 2},
      {"older major version", "P", "KstVersion=214\r\nKstMachine=192\r\nKstLanguage=%L", 0x4, 1, 1, false, 0},
      {"newer minor version", "P", "KstVersion=399\r\nKstMachine=192\r\nKstLanguage=%L", 0x4, 1, 0, true, 0},
      {"foreign machine", "P", "KstVersion=314\r\nKstMachine=193\r\nKstLanguage=%L", 0x4, 1, 1, false, 0},
      {"foreign language", "P", "KstVersion=314\r\nKstMachine=192\r\nKstLanguage=%X", 0x4, 1, 1, false, 0},
      {"missing machine", "P", "KstVersion=314\r\nKstLanguage=%L", 0x4, 1, 1, false, 0},
      {"no header", "P", "", 0x8004, 1, 1, false, 0},
      {"quality file rejected", "P", "KstVersion=214\r\nKstMachine=192\r\nKstLanguage=%L", 0x10, 1, 1, false, 0},
      {"by direction: no check", "L", "", 0x2004, 1, 0, true, 0},
      {"stamp without version", "P", "", 0x20, 1, 0, true, 0},
      {"stamp of a foreign machine", "P", "KstVersion=312\r\nKstMachine=1", 0x20, 1, 0, true, 2},
      {"custom paper without version", "P", "", 0x80, 1, 0, true, 0},
      {"bundle: language section", "L", "", 0x8, 1, 0, true, 0},
      {"bundle ignores printer section", "P", "", 0x8, 1, 0, false, 0},
      {"driver section with header", "D", "KstVersion=314\r\nKstMachine=192\r\nKstLanguage=%L", 0x20004, 1, 0, true, 0},
  };
  DmSetConvertStepRunner(CountStep);
  LONG language = Raw(ITEM_kdmLanguageID);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ResetWork();
    std::string section = c.section[0] == 'P'   ? Narrow(CtxGetPrinterName(ctx_))
                          : c.section[0] == 'D' ? Narrow(CtxGetDriverName(ctx_))
                                                : Narrow(CtxGetLangSection(ctx_));
    std::string header = c.header;
    size_t at;
    while ((at = header.find("%L")) != std::string::npos) header.replace(at, 2, std::to_string(language));
    while ((at = header.find("%X")) != std::string::npos) header.replace(at, 2, std::to_string(language + 1));
    // A preset, quality, stamp and custom-paper item each, so every filter finds one.
    Write(kFile, "[Other]\r\nkdmWmKind=9\r\n[" + section + "]\r\n" + header + (header.empty() ? "" : "\r\n") +
                     "kdmBrightness=17\r\nkdmWmKind=2\r\nwdmFreeSizeWidth=2400\r\nwdmFreeSizeName=Own\r\n");
    g_steps = 0;
    EXPECT_EQ(c.answer, StoreReadSettingsFile(printer_, kFile, c.flags, ctx_));
    EXPECT_EQ(c.status, CtxGetSettingsFileStatus(ctx_));
    LONG taken = (c.flags & 0x80)   ? Raw(ITEM_wdmFreeSizeName + 1)
                 : (c.flags & 0x20) ? Raw(ITEM_kdmWmKind)
                                    : Raw(ITEM_kdmBrightness);
    LONG expected = (c.flags & 0x80) ? 2400 : (c.flags & 0x20) ? 2 : 17;
    EXPECT_EQ(c.taken, taken == expected) << taken;
    if (!c.taken) {
      EXPECT_EQ(0, memcmp(fresh_.data(), ctx_->work, fresh_.size())) << "no item may change";
    }
    EXPECT_EQ(c.steps, g_steps);
  }
}

TEST_F(KstTest, PlainReadTakesTheDriverSectionElseThePrinterSection)
{
  ApplySampleSettings();
  SetRaw(ITEM_kdmBrightness, 5);
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  std::string driverFile = Read(kFile);
  EXPECT_EQ(0u, driverFile.find("[" + Narrow(CtxGetDriverName(ctx_)) + "]\r\n"));
  EXPECT_EQ(Narrow(CtxGetPrinterName(ctx_)), "KV Test");  // the name cache is restored

  ResetWork();
  EXPECT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0, ctx_));
  EXPECT_EQ(5, Raw(ITEM_kdmBrightness));
  EXPECT_EQ("Golden preset", Text(ITEM_wdmPresetName));
  EXPECT_EQ(255, Raw(ITEM_kdmPresetNo) & 0xFF);
  EXPECT_EQ(1u, ctx_->state->settingsChanged);

  // An older file names its section after the printer.
  std::string older = driverFile;
  older.replace(1, Narrow(CtxGetDriverName(ctx_)).size(), "KV Test");
  Write(kFile, older);
  ResetWork();
  EXPECT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0, ctx_));
  EXPECT_EQ(5, Raw(ITEM_kdmBrightness));
  EXPECT_EQ(Narrow(CtxGetPrinterName(ctx_)), "KV Test");
}

TEST_F(KstTest, WritingMovesTheSectionToTheFrontAndKeepsTheOthers)
{
  std::string driver = Narrow(CtxGetDriverName(ctx_));
  Write(kFile, "[condition]\r\nConditionOption01_02=1\r\n[" + driver + "]\r\nKstVersion=1\r\n[us]\r\nReadonly=1\r\n");
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  std::string text = Read(kFile);
  EXPECT_EQ(0u, text.find("[" + driver + "]\r\nKstVersion=314\r\n"));
  EXPECT_NE(std::string::npos, text.find("[condition]\r\nConditionOption01_02=1\r\n[us]\r\nReadonly=1\r\n"));
  EXPECT_EQ(std::string::npos, text.find("KstVersion=1\r\n"));
  // The profile functions see the rewritten section at once.
  WCHAR out[16];
  GetPrivateProfileStringW(U16(driver.c_str()).c_str(), u"KstVersion", u"", out, 16, kFile);
  EXPECT_EQ("314", Narrow(out));
}

TEST_F(KstTest, MissingKeysLeaveItemsAndDoNotFailTheRead)
{
  LONG language = Raw(ITEM_kdmLanguageID);
  SetRaw(ITEM_kdmContrast, 4);
  Write(kFile, "[KV Test]\r\nKstVersion=314\r\nKstMachine=192\r\nKstLanguage=" + std::to_string(language) +
                   "\r\nkdmBrightness=9\r\nkdmContrast=\r\n");
  EXPECT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0x4, ctx_));
  EXPECT_EQ(0u, CtxGetSettingsFileStatus(ctx_));
  EXPECT_EQ(9, Raw(ITEM_kdmBrightness));
  EXPECT_EQ(4, Raw(ITEM_kdmContrast));  // an empty value counts as missing
}

TEST_F(KstTest, BadPathsAndUnreadableFilesFail)
{
  EXPECT_EQ(0, StoreReadSettingsFile(printer_, u"kst\\relative.kst", 0x4, ctx_));
  EXPECT_EQ(0, StoreWriteSettingsFile(printer_, u"relative.kst", 0x4, ctx_));
  EXPECT_EQ(0, StoreReadSettingsFile(printer_, u"C:\\kst\\missing.kst", 0x4, ctx_));
  EXPECT_EQ(2u, CtxGetSettingsFileStatus(ctx_));
  EXPECT_EQ(0, memcmp(fresh_.data(), ctx_->work, fresh_.size()));
  EXPECT_EQ(0, StoreWriteSettingsFile(printer_, u"C:\\no\\such\\dir\\a.kst", 0x4, ctx_));
  EXPECT_EQ(0u, OsSettingsMutexHeldCount());
}

TEST_F(KstTest, FailedWriteKeepsTheOldFileWholeAndReportsIt)
{
  ApplySampleSettings();
  const std::string old = "[Other]\r\nk=v\r\n[KV Test Driver]\r\nKstVersion=314\r\n";
  for (DWORD nth : {1u, 2u}) {
    Write(kFile, old);
    PlatFaultArm(PLAT_FAULT_FILE_WRITE, nth);
    EXPECT_EQ(0, StoreWriteSettingsFile(printer_, kFile, 0x4, ctx_)) << nth;
    PlatFaultDisarmAll();
    EXPECT_EQ(old, Read(kFile));
    EXPECT_EQ(0u, OsSettingsMutexHeldCount());
  }
}

TEST_F(KstTest, PresetWriteKeepsTheCallersSettingsAndReleasesTheMutexOnFailure)
{
  ApplySampleSettings();
  std::vector<BYTE> before(ctx_->work, ctx_->work + fresh_.size());
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  EXPECT_EQ(0, memcmp(before.data(), ctx_->work, before.size()));
  EXPECT_EQ(0u, OsSettingsMutexHeldCount());
  // The copy of the work buffer cannot be made: nothing is written, the mutex is free.
  DeleteFileW(kFile);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(0, StoreWriteSettingsFileLocked(printer_, kFile, 0, ctx_));
  PlatFaultDisarmAll();
  EXPECT_EQ(0u, OsSettingsMutexHeldCount());
  EXPECT_FALSE(Exists(kFile));
}

TEST_F(KstTest, TerminalServicesBarWrites)
{
  struct Case {
    BYTE tse, admin;
    DWORD flags;
    int answer;
  } cases[] = {
      {1, 0, 0, 0},
      {1, 1, 0, 0},  // flags 0: any user of terminal services
      {1, 0, 0x20, 0},
      {1, 1, 0x20, 1},  // other flags: only a user without rights
      {1, 0, 0x100, 1},
      {0, 0, 0x20, 1},  // the printer configuration stays writable
      // Bundle conversions and quality-file rebuilds (the section by direction) and
      // bundles stay writable; the preset section of the shared text file does not.
      {1, 0, 0x2010, 1},
      {1, 0, 0x2000, 1},
      {1, 0, 0x8, 1},
      {1, 0, 0x800, 0},
      {1, 1, 0x800, 1},
  };
  for (const Case &c : cases) {
    CtxSetTSE(ctx_, c.tse);
    CtxSetAdmin(ctx_, c.admin);
    DeleteFileW(kFile);
    EXPECT_EQ(c.answer, StoreWriteSettingsFileLocked(printer_, kFile, c.flags, ctx_))
        << int(c.tse) << int(c.admin) << " " << c.flags;
    EXPECT_EQ(c.answer == 1, Exists(kFile));
  }
}

// The preset section of the shared printer-configuration text file: the preset items under
// the full header, first in the file with the other sections kept; a plain write holds the
// driver's name in the printer-name cache while it runs; a barred user writes nothing.
std::u16string g_seenName;
LONG WINAPI NoteNameAtWrite(DRIVER_CONTEXT *ctx, WORD event, void *, void *)
{
  if (event == KV_EVT_SETTINGS_FILE_DONE) g_seenName = CtxGetPrinterName(ctx);
  return 0;
}

TEST_F(KstTest, KsdSectionHoldsThePresetItemsOfTheSharedTextFile)
{
  ApplySampleSettings();
  const std::u16string config = PrinterConfigFile();
  const std::u16string printer = CtxGetPrinterName(ctx_);
  const std::u16string driver = CtxGetDriverName(ctx_);
  MODULE_HOOK_ROW row = {0, nullptr, nullptr, nullptr, NoteNameAtWrite};
  CtxAttachModuleTable(ctx_, &row, 1);
  struct Case {
    DWORD flags;
    bool barred;
    int answer;
    const std::u16string *nameDuringWrite;  // nullptr: nothing written
  } cases[] = {
      {0, false, 1, &driver},       // a plain write: the driver's name
      {0x8000, false, 1, &driver},  // no message: still a plain write
      {0x4, false, 1, &printer},    // other bits: the printer's name stays
      {0, true, 0, nullptr},        // a barred user changes nothing shared
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.flags);
    SCOPED_TRACE(c.barred);
    CtxSetTSE(ctx_, c.barred ? 1 : 0);
    CtxSetAdmin(ctx_, c.barred ? 0 : 1);
    const std::string before =
        "[KVMLPrnSection]\r\nkdmTray1Paper=3\r\n[KVMLKsdSection]\r\nStale=1\r\n[Other]\r\nx=1\r\n";
    Write(config.c_str(), before);
    DeleteFileW(kFile);
    g_seenName.clear();
    EXPECT_EQ(c.answer, StoreWriteKsdSection(printer_, kFile, c.flags, ctx_));
    EXPECT_EQ(printer, std::u16string(CtxGetPrinterName(ctx_))) << "the printer's name is back";
    EXPECT_FALSE(Exists(kFile)) << "the file argument is not written";
    EXPECT_EQ(0u, OsSettingsMutexHeldCount());
    std::string text = Read(config.c_str());
    if (c.nameDuringWrite == nullptr) {
      EXPECT_EQ(before, text);
      continue;
    }
    EXPECT_EQ(*c.nameDuringWrite, g_seenName);
    EXPECT_EQ(0u, text.rfind("[KVMLKsdSection]\r\n", 0)) << "the written section goes first";
    EXPECT_EQ(std::vector<std::string>{"kdmTray1Paper=3"}, Keys(text, "KVMLPrnSection"));
    EXPECT_EQ(std::vector<std::string>{"x=1"}, Keys(text, "Other"));
    std::vector<std::string> keys = Keys(text, "KVMLKsdSection");
    ASSERT_GT(keys.size(), 4u);
    EXPECT_EQ("KstVersion=314", keys[0]);
    EXPECT_EQ("KstMachine=192", keys[1]);
    EXPECT_FALSE(HasKey(keys, "Stale"));
    EXPECT_TRUE(HasKey(keys, "dmCopies"));
    EXPECT_FALSE(HasKey(keys, "kdmTray1Paper"));
    EXPECT_FALSE(HasKey(keys, "wdmAuthenticationPassword"));
    // Every key after the header names a preset item.
    for (size_t k = 4; k < keys.size(); ++k) {
      std::string name = keys[k].substr(0, keys[k].find('='));
      OPTION_ITEM *item = nullptr;
      OPTION_ITEM *rows = static_cast<OPTION_ITEM *>(ctx_->items->rows);
      for (int r = 0; r < ctx_->items->count && item == nullptr; ++r)
        if (rows[r].name != nullptr && Narrow(rows[r].name) == name) item = &rows[r];
      ASSERT_NE(nullptr, item) << name;
      EXPECT_NE(0, item->state & KV_STATE_PRESET_MASK) << name;
    }
  }
  CtxAttachModuleTable(ctx_, nullptr, 0);
  EXPECT_EQ(0, StoreWriteKsdSection(printer_, kFile, 0, nullptr));
}

// A bundle read (0x8) of the printer configuration takes the language section and leaves
// the log-code items alone; any other read takes "KVMLPrnSection" and reads them. The font
// lists keep their values either way.
TEST_F(KstTest, PrinterConfigurationReadOfABundle)
{
  const std::string lang = Narrow(CtxGetLangSection(ctx_));
  Write(kFile,
        "[KVMLPrnSection]\r\nkdmTray1Paper=9\r\nkdmLogCodeUse=1\r\nkdmLogCode=PRN\r\nkdmFontTableNum=5\r\n"
        "wdmCustomFunc31=0\r\n[" +
            lang +
            "]\r\nkdmTray1Paper=5\r\nkdmLogCodeUse=1\r\nkdmLogCode=LANG\r\nkdmFontTableNum=5\r\n"
            "wdmCustomFunc31=1\r\n");
  struct Case {
    DWORD flags;
    LONG tray, custom, logCodeUse;
    const char *logCode;
  } cases[] = {
      {KST_BUNDLE, 5, 1, 0, "mine"},
      {0, 9, 0, 1, "PRN"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.flags);
    ResetWork();
    SetRaw(ITEM_kdmLogCodeUse, 0);
    SetText(ITEM_kdmLogCode, "mine");
    SetRaw(ITEM_kdmFontTableNum, 2);
    SetRaw(ITEM_wdmCustomFunc31, 1 - c.custom);
    EXPECT_EQ(1, StoreReadPrinterConfig(kFile, c.flags, ctx_));
    EXPECT_EQ(c.tray, Raw(ITEM_kdmTray1Paper));
    EXPECT_EQ(c.custom, Raw(ITEM_wdmCustomFunc31));
    EXPECT_EQ(c.logCodeUse, Raw(ITEM_kdmLogCodeUse));
    EXPECT_EQ(c.logCode, Text(ITEM_kdmLogCode));
    EXPECT_EQ(2, Raw(ITEM_kdmFontTableNum));
  }
}

}  // namespace

namespace {

// The authentication modes go with a plain read or write, by name in its section, and only
// for a caller who may change printer data.
TEST_F(KstTest, AuthenticationModesNeedPrinterDataRights)
{
  std::string driver = Narrow(CtxGetDriverName(ctx_));
  SetRaw(ITEM_kdmPrnFuncAuthenticationMode, 1);  // a bit item
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  EXPECT_FALSE(HasKey(Keys(Read(kFile), driver), "kdmPrnFuncAuthenticationMode"));

  DWORD flag = 1;
  ASSERT_EQ((DWORD)ERROR_SUCCESS, SetPrinterDataW(printer_, const_cast<LPWSTR>(u"BidiFlag"), REG_BINARY,
                                                  reinterpret_cast<BYTE *>(&flag), sizeof(flag)));
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  std::vector<std::string> keys = Keys(Read(kFile), driver);
  EXPECT_TRUE(std::find(keys.begin(), keys.end(), "kdmPrnFuncAuthenticationMode=1") != keys.end());
  EXPECT_TRUE(HasKey(keys, "kdmPrnFuncAuthenticationSecureMode"));

  SetRaw(ITEM_kdmPrnFuncAuthenticationMode, 0);
  EXPECT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0, ctx_));
  EXPECT_EQ(1, Raw(ITEM_kdmPrnFuncAuthenticationMode));
  // Other flags neither read nor write them.
  SetRaw(ITEM_kdmPrnFuncAuthenticationMode, 0);
  EXPECT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0x20004, ctx_));
  EXPECT_EQ(0, Raw(ITEM_kdmPrnFuncAuthenticationMode));
  EXPECT_EQ(0, StoreSerializeAuthModes(u"relative.kst", 1, ctx_, 10001, 10385));
}

}  // namespace
