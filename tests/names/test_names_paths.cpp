// Names, language codes and package paths of a context; composed paths in the Windows
// and system directories.
#include "kvplat/spool_control.h"
#include "model/model.h"
#include "names_fixture.h"
#include "files/paths.h"
#include "files/settings_dirs.h"

TEST_F(NamesTest, PrinterAndDriverNamesAreCachedFromThePrinter)
{
  const WCHAR *name = CtxGetPrinterName(ctx_);
  EXPECT_EQ(S(name), u"KV Test");
  EXPECT_EQ(CtxGetPrinterSection(ctx_), name);
  EXPECT_EQ(CtxGetPrinterSectionOf(nullptr, ctx_), name);
  EXPECT_EQ(S(CtxGetDriverName(ctx_)), u"KV Test Driver");
  EXPECT_EQ(CtxGetPrinterName(nullptr), nullptr);

  // A name is copied only whole: one character short leaves the buffer as it was.
  WCHAR buf[8] = u"keep";
  EXPECT_EQ(OsGetPrinterName(printer_, buf, 7), nullptr);
  EXPECT_EQ(S(buf), u"keep");
  EXPECT_EQ(OsGetPrinterName(printer_, buf, 8), buf);
  EXPECT_EQ(S(buf), u"KV Test");
  EXPECT_EQ(OsGetPrinterName(printer_, nullptr, 8), nullptr);
  EXPECT_EQ(OsGetPrinterName(nullptr, buf, 8), nullptr);

  WCHAR driver[MAX_PATH];
  EXPECT_EQ(OsGetDriverName(printer_, driver, 0), driver);
  EXPECT_EQ(S(driver), u"KV Test Driver");
  // Without a printer the template's fallback driver name is used.
  EXPECT_EQ(OsGetDriverName(nullptr, driver, 0), driver);
  EXPECT_EQ(S(driver), S(CtxGetTemplate()->model->fallbackDriverName));
}

TEST_F(NamesTest, LongAndJapanesePrinterNames)
{
  struct Case {
    const char *what;
    std::u16string name;
  } cases[] = {
      {"japanese", u"\u65E5\u672C\u8A9E\u30D7\u30EA\u30F3\u30BF\u30FC"},
      {"long", std::u16string(63, u'L')},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    HANDLE h = InstallPrinter(c.name.c_str());
    ASSERT_NE(h, nullptr);
    DRIVER_CONTEXT *ctx = CtxCreate(h, h, nullptr, CTX_CREATE_SHEETS);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(S(CtxGetPrinterName(ctx)), c.name);
    std::u16string buf(c.name.size() + 1, u'?');
    EXPECT_EQ(OsGetPrinterName(h, buf.data(), (DWORD)c.name.size()), nullptr);
    EXPECT_EQ(buf, std::u16string(c.name.size() + 1, u'?'));
    CtxDestroy(ctx, 0);
    ClosePrinter(h);
  }
}

TEST_F(NamesTest, PackagePathsLieInTheDriverDirectory)
{
  EXPECT_EQ(dir_.substr(0, 20), u"C:\\WINDOWS\\system32\\");
  EXPECT_EQ(dir_.back(), u'\\');
  EXPECT_EQ(S(CtxGetDriverDir(ctx_)), dir_);
  EXPECT_EQ(S(CtxGetModelIniPath(ctx_)), dir_ + u"kvmlmodl.ini");
  EXPECT_EQ(S(CtxGetInstallerIniPath(ctx_)), dir_ + S(ctx_->model->installerIniName));
  WCHAR buf[MAX_PATH];
  EXPECT_EQ(S(PathBuildModelIni(printer_, buf, 0)), dir_ + u"kvmlmodl.ini");

  // A printer whose driver cannot be read falls back to the spooler's driver folder.
  DRIVER_CONTEXT copy = *ctx_;
  copy.printer = nullptr;
  EXPECT_EQ(S(CtxGetDriverDir(&copy)), u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\2\\");
}

TEST_F(NamesTest, SettingsIniNamesWithADriveAreKept)
{
  MODEL_RECORD model = *ctx_->model;
  MODEL_RECORD *saved = ctx_->model;
  ctx_->model = &model;
  model.settingsIniName = u"D:\\conf\\kv.ini";
  EXPECT_EQ(S(CtxGetSettingsIniPath(ctx_)), u"D:\\conf\\kv.ini");
  model.modelIniName = u"E:\\m.ini";
  EXPECT_EQ(S(CtxGetModelIniPath(ctx_)), u"E:\\m.ini");
  // A name that makes the path too long gives "", not a cut path.
  std::u16string longName(300, u'n');
  model.settingsIniName = longName.c_str();
  EXPECT_EQ(S(CtxGetSettingsIniPath(ctx_)), u"");
  model.modelIniName = longName.c_str();
  EXPECT_EQ(S(CtxGetModelIniPath(ctx_)), u"");
  model.installerIniName = longName.c_str();
  EXPECT_EQ(S(CtxGetInstallerIniPath(ctx_)), u"");
  ctx_->model = saved;

  std::u16string shared = S(CtxGetSettingsIniPath(ctx_));
  EXPECT_EQ(shared.substr(shared.size() - 1 - lstrlenW(saved->settingsIniName)), u"\\" + S(saved->settingsIniName));
  WCHAR buf[MAX_PATH];
  EXPECT_TRUE(PathBuildSettingsIni(buf, 0, 0, ctx_));
  EXPECT_EQ(S(buf), shared);
  // The per-user directory, when the machine has one.
  WCHAR user[MAX_PATH];
  DWORD n = PathGetUserSettingsDirRaw(user, MAX_PATH, ctx_);
  EXPECT_EQ(PathBuildSettingsIni(buf, 0, 1, ctx_), n != 0);
  EXPECT_EQ(S(buf), n != 0 ? S(user) + u"\\" + S(saved->settingsIniName) : u"");
}

TEST_F(NamesTest, ResourceDllPathsFollowTheLanguageItem)
{
  SetLanguage(1);
  EXPECT_EQ(S(CtxGetLangResDllPath(ctx_)), dir_ + u"kvmlr_us.dll");
  EXPECT_FALSE(CtxIsJapaneseResDll(ctx_));
  EXPECT_EQ(S(CtxGetLanguageCode(ctx_)), u"us");
  SetLanguage(0);
  EXPECT_EQ(S(CtxGetLangResDllPath(ctx_)), dir_ + u"kvmlr_jp.dll");
  EXPECT_TRUE(CtxIsJapaneseResDll(ctx_));
  EXPECT_EQ(S(CtxGetLangSection(ctx_)), u"jp");
  EXPECT_EQ(S(CtxGetLangSectionAlias(ctx_)), u"jp");
  SetLanguage(4);
  EXPECT_EQ(S(CtxGetLangResDllPath(ctx_)), dir_ + u"kvmlr_gm.dll");
  SetLanguage(99);  // not listed: the default language
  EXPECT_EQ(S(CtxGetLangResDllPath(ctx_)), dir_ + u"kvmlr_us.dll");
  EXPECT_EQ(S(CtxGetCommonResDllPath(ctx_)), dir_ + u"kvmlC_XX.dll");

  // A Japanese name in upper case is recognized the same.
  SetUiResDllName(u"KVMLR_US.DLL");
  SetLanguage(0);
  EXPECT_EQ(S(CtxGetLangResDllPath(ctx_)), dir_ + u"KVMLR_jp.DLL");
  EXPECT_TRUE(CtxIsJapaneseResDll(ctx_));
}

TEST_F(NamesTest, ResourceDllNamesThatLeaveTheDriverDirectoryOrHaveNoRoomAreRefused)
{
  struct Case {
    const WCHAR *name;
    bool lang;    // the language DLL path is built
    bool common;  // the language-neutral one is built
  } cases[] = {
      {u"..\\kvmlr_us.dll", false, false},
      {u"C:\\other\\kvmlr_us.dll", false, false},
      {u"sub/kvmlr_us.dll", false, false},
      {u"\\\\server\\share\\kvmlr_us.dll", false, false},
      {u"kvmlrus", false, false},  // no dot
      {u"u.dll", false, false},    // no two characters before the dot
      {u"", false, false},
      {u"\u5370\u5237\u8A2D\u5B9A_us.dll", true, true},  // a Japanese name
      {u"ab_us.dll", true, true},                        // nine characters: the edit stays in the name
      {u"b_us.dll", true, true},                         // eight
      {u"_us.dll", true, false},                         // seven: too short to edit
      {u"kvmlr_us.dlls", true, false},                   // four-letter extension
      {nullptr, false, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << Narrow(c.name != nullptr ? c.name : u"<none>"));
    SetUiResDllName(c.name);
    std::u16string lang = S(CtxGetLangResDllPath(ctx_));
    EXPECT_EQ(c.lang ? lang.substr(0, dir_.size()) : lang, c.lang ? dir_ : u"");
    std::u16string common = S(CtxGetCommonResDllPath(ctx_));
    EXPECT_EQ(c.common ? common.substr(0, dir_.size()) : common, c.common ? dir_ : u"");
    if (!c.lang) {
      EXPECT_EQ(ResGetLanguageDll(ctx_), nullptr);
    }
  }
  SetUiResDllName(u"b_us.dll");
  EXPECT_EQ(S(CtxGetCommonResDllPath(ctx_)), dir_ + u"C_XX.dll");
  SetUiResDllName(u"\u5370\u5237\u8A2D\u5B9A_us.dll");
  SetLanguage(0);
  EXPECT_EQ(S(CtxGetLangResDllPath(ctx_)), dir_ + u"\u5370\u5237\u8A2D\u5B9A_jp.dll");
  EXPECT_EQ(S(CtxGetCommonResDllPath(ctx_)), dir_ + u"\u5370\u5237\u8A2DC_XX.dll");
}

TEST_F(NamesTest, HelpFilePathAndUiLanguage)
{
  // Without "HelpFileName" the help file is named after the language DLL.
  EXPECT_EQ(S(CtxGetHelpFilePath(ctx_)), dir_ + u"kvmlr_us.hlp");
  EXPECT_EQ(S(CtxGetUiLanguageCode(ctx_)), u"us");
  ASSERT_TRUE(SetPrinterHelpFile(u"KVHELPGM.HLP"));
  EXPECT_EQ(S(CtxGetHelpFilePath(ctx_)), dir_ + u"KVHELPGM.HLP");
  EXPECT_EQ(S(CtxGetUiLanguageCode(ctx_)), u"gm");
  ASSERT_TRUE(SetPrinterHelpFile(u"kvhelpjp.chm"));
  EXPECT_EQ(S(CtxGetUiLanguageCode(ctx_)), u"jp");
  EXPECT_EQ(S(ResGetPrinterLanguageCode(printer_)), u"jp");
  EXPECT_EQ(ResGetPrinterLanguageIndex(ctx_), 0);
  // Opened to initialize the printer, the driver's registered help file decides.
  WORD kind = ctx_->state->openKind;
  ctx_->state->openKind = CTX_OPEN_INIT;
  EXPECT_EQ(S(CtxGetUiLanguageCode(ctx_)), u"us");
  EXPECT_EQ(S(ResGetDriverLanguageCode(ctx_)), u"us");
  ctx_->state->openKind = kind;
  for (const WCHAR *unlisted : {u"kvhelpzz.hlp", u"x.hlp", u"nodot"}) {
    ASSERT_TRUE(SetPrinterHelpFile(unlisted));
    EXPECT_EQ(S(CtxGetUiLanguageCode(ctx_)), u"us") << Narrow(unlisted);
  }
  // A help file name that would leave the driver directory is not used.
  ASSERT_TRUE(SetPrinterHelpFile(u"..\\..\\evil.hlp"));
  EXPECT_EQ(S(CtxGetHelpFilePath(ctx_)), dir_ + u"kvmlr_us.hlp");
  EXPECT_EQ(S(StoreGetBatchInstallDoneKey()), u"BatchInstallDone");
}

TEST_F(NamesTest, ComposedPathsFitOrAreEmpty)
{
  WCHAR sys[MAX_PATH];
  GetSystemDirectoryW(sys, MAX_PATH);
  ASSERT_EQ(S(sys), u"C:\\WINDOWS\\system32");
  struct Case {
    const WCHAR *relative;
    DWORD capacity;
    const WCHAR *expect;
  } cases[] = {
      {u"..\\..\\tools\\x.exe", MAX_PATH, u"C:\\tools\\x.exe"},
      {u"..\\tools\\x.exe", MAX_PATH, u"C:\\WINDOWS\\tools\\x.exe"},
      {u"tools\\x.exe", MAX_PATH, u""},
      {u"..\\..\\..\\x.exe", MAX_PATH, u""},  // more levels than the directory has
      {u"..\\..\\tools\\x.exe", 14, u""},     // one short
      {u"..\\..\\tools\\x.exe", 15, u"C:\\tools\\x.exe"},
  };
  for (const Case &c : cases) {
    WCHAR buf[MAX_PATH] = u"stale";
    EXPECT_EQ(S(PathResolveUpFromSystemDir(buf, c.capacity, c.relative)), S(c.expect)) << Narrow(c.relative);
  }

  WCHAR buf[64];
  std::u16string win = u"C:\\WINDOWS\\kv.ini";
  EXPECT_EQ(S(PathInWindowsDir(buf, (DWORD)win.size() + 1, u"kv.ini")), win);
  EXPECT_EQ(S(PathInWindowsDir(buf, (DWORD)win.size(), u"kv.ini")), u"");
  std::u16string inSys = u"C:\\WINDOWS\\system32\\a.dll";
  EXPECT_EQ(S(PathInSystemDir(buf, (DWORD)inSys.size() + 1, u"a.dll")), inSys);
  EXPECT_EQ(S(PathInSystemDir(buf, (DWORD)inSys.size(), u"a.dll")), u"");
  buf[0] = u'k';
  EXPECT_EQ(PathInWindowsDir(buf, 0, u"x"), buf);
  EXPECT_EQ(buf[0], u'k');
  EXPECT_TRUE(OsGetSystemWindowsDir(buf, 64));
  EXPECT_EQ(S(buf), u"C:\\WINDOWS");
}

TEST(LanguageCodes, TableMappings)
{
  struct Find {
    WORD primary, sub, id;
  } finds[] = {{0x07, 1, 4}, {0x04, 1, 17}, {0x04, 2, 16}, {0x04, 3, 0xFFFF}, {0x2A, 1, 0xFFFF}, {0x11, 1, 0}};
  for (const Find &f : finds) EXPECT_EQ(ResFindLanguageIndex(f.primary, f.sub), f.id) << f.primary << "/" << f.sub;
  EXPECT_EQ(ResLcidToLanguageIndex(0x0407), 4);
  EXPECT_EQ(ResLcidToLanguageIndex(0x0804), 16);
  EXPECT_EQ(S(ResIndexToLanguageCode(15)), u"ru");
  EXPECT_EQ(S(ResIndexToLanguageCode(19)), u"us");
  EXPECT_EQ(ResCodeToLanguageIndex(u"GM"), 4);
  EXPECT_EQ(ResCodeToLanguageIndex(u"zz"), 1);
  EXPECT_EQ(ResCodeToLanguageIndex(nullptr), 1);
  EXPECT_EQ(ResCodeToLanguageIndex(u"g"), 1);
  EXPECT_EQ(S(ResFindLanguageCode(u"Kr")), u"kr");
  EXPECT_EQ(S(ResFindLanguageCode(nullptr)), u"us");
  EXPECT_EQ(S(ResHelpFileToLanguageCode(u"C:\\drv\\KVHELPgM.HLP")), u"gm");
  EXPECT_EQ(ResHelpFileToLanguageIndex(u"C:\\dir.jp\\help"), 1);  // the dot is not in the file name
  EXPECT_EQ(ResHelpFileToLanguageIndex(nullptr), 1);
  WORD sub = 99;
  EXPECT_EQ(ResIndexToLangId(17, &sub), 0x04);
  EXPECT_EQ(sub, 1);
  EXPECT_EQ(ResIndexToLangId(4, &sub), 0x07);
  EXPECT_EQ(sub, 0);
  EXPECT_EQ(ResIndexToLangId(40, &sub), 0);
  EXPECT_TRUE(ResIsLanguageIndex(18));
  EXPECT_FALSE(ResIsLanguageIndex(19));
  int rows = 0;
  for (const LANGUAGE_ROW *r = ResGetLanguageTable(); r->id != 0xFFFF; ++r) ++rows;
  EXPECT_EQ(rows, 19);
}
