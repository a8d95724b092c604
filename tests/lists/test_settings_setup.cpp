// Settings files that come with bundles: condition and disable sections on a table of
// cases, condition tokens, bundle path expansion (and its refusals), the converted copies'
// paths, the copy of a settings file through a context, locale defaults and the model key.
#include <gtest/gtest.h>

#include <map>

#include "files/ini.h"
#include "files/settings_dirs.h"
#include "hooks/module_hooks.h"
#include "kvplat/os_control.h"
#include "list_fixture.h"
#include "names/names_paths.h"
#include "os/os.h"
#include "store/settings_setup.h"

namespace {

class SetupFileTest : public ListTest {
 protected:
  static constexpr const WCHAR *kCond = u"C:\\kst\\cond.kst";
  // The condition value that holds while the finisher is installed.
  void Finisher(bool installed) { ItemSetValue(ctx_, ITEM_kdmOutputOptionTypeFin2000, installed ? 1 : 0); }
  // Writes a file whose condition section has the given "g_a" lines.
  void PutConditions(const std::map<std::string, std::string> &lines)
  {
    std::string text = "[condition]\r\n";
    for (const auto &[ga, line] : lines) text += "ConditionOption" + ga + "=" + line + "\r\n";
    Write(kCond, text);
  }
};

TEST_F(SetupFileTest, ConditionSectionsOnATableOfCases)
{
  const std::string X = "KPD_COND_FINISHER", U = "KPD_COND_UNKNOWN";
  // The case table relies on X following the finisher.
  Finisher(true);
  PutConditions({{"0_0", X}});
  ASSERT_EQ(SetupFileConditionsHold(kCond, ctx_), 1);
  Finisher(false);
  ASSERT_EQ(SetupFileConditionsHold(kCond, ctx_), 0);

  struct Case {
    const char *what;
    std::map<std::string, std::string> lines;
    int withFinisher, without;
  } cases[] = {
      {"no section", {}, 1, 1},
      {"one name", {{"0_0", X}}, 1, 0},
      {"negated", {{"0_0", "!" + X}}, 0, 1},
      {"unknown, even negated", {{"0_0", "!" + U}}, 0, 0},
      {"unknown or X, and X", {{"0_0", U + " | " + X}, {"1_0", X}}, 1, 0},
      {"second line of a group", {{"0_0", U}, {"0_1", X}}, 1, 0},
      {"false before & ends the line", {{"0_0", U + " & " + X + " | " + X}}, 0, 0},
      {"true short-cuts |", {{"0_0", X + " | " + U}}, 1, 0},
      {"no precedence", {{"0_0", "!" + X + " | " + X + " & " + U}}, 0, 0},
      {"tabs and blanks", {{"0_0", "\t " + X + "\t|\t" + U + " "}}, 1, 0},
      {"group 3 after empty groups 1 and 2", {{"0_0", X}, {"3_0", U}}, 0, 0},
      {"group 9", {{"9_0", "!" + X}}, 0, 1},
      {"a missing line 0 ends its group", {{"0_1", U}}, 1, 1},
      {"'!' then a blank ends the line", {{"0_0", "! " + U}}, 1, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    PutConditions(c.lines);
    Finisher(true);
    EXPECT_EQ(SetupFileConditionsHold(kCond, ctx_), c.withFinisher);
    Finisher(false);
    EXPECT_EQ(SetupFileConditionsHold(kCond, ctx_), c.without);
  }
  // Without the condition item in the description every file's conditions hold.
  PutConditions({{"0_0", U}});
  DESC_BLOB *desc = ctx_->desc;
  ctx_->desc = nullptr;
  EXPECT_EQ(SetupFileConditionsHold(kCond, ctx_), 1);
  ctx_->desc = desc;
  EXPECT_EQ(SetupFileConditionsHold(kCond, ctx_), 0);
  EXPECT_EQ(SetupFileConditionsHold(u"C:\\kst\\none.kst", ctx_), 1);
}

TEST_F(SetupFileTest, ConditionTokens)
{
  struct {
    const char *text;
    int used;
    const char *name;
    int negated, andJoin;
  } cases[] = {
      {"A", 1, "A", 0, 0},   {"  !Abc  & rest", 9, "Abc", 1, 1},
      {"A|B", 2, "A", 0, 0}, {"\tA\t&", 4, "A", 0, 1},
      {"", 0, "", 0, 0},     {"   ", 0, "", 0, 0},
      {"! A", 2, "", 1, 0},  {"&", 1, "", 0, 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    char name[260] = "junk";
    int negated = 7, andJoin = 7;
    EXPECT_EQ(SetupParseConditionToken(c.text, name, &negated, &andJoin), c.used);
    EXPECT_STREQ(name, c.name);
    EXPECT_EQ(negated, c.negated);
    EXPECT_EQ(andJoin, c.andJoin);
  }
  char name[260] = "junk";
  int negated = 0, andJoin = 0;
  EXPECT_EQ(SetupParseConditionToken(nullptr, name, &negated, &andJoin), 0);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(SetupParseConditionToken("A", nullptr, &negated, &andJoin), 0);
  // A name longer than the line buffer is cut, never overrun.
  std::string longName(600, 'N');
  EXPECT_EQ(SetupParseConditionToken(longName.c_str(), name, &negated, &andJoin), 600);
  EXPECT_EQ(strlen(name), 259u);
}

TEST_F(SetupFileTest, DisableSectionsAndVersions)
{
  std::string driver = Narrow(CtxGetDriverName(ctx_));
  Write(kCond, "[disable]\r\n" + driver + "=1\r\nOther Driver=0\r\n");
  EXPECT_EQ(SetupFileNotDisabled(kCond, ctx_), 0);
  Write(kCond, "[disable]\r\nOther Driver=1\r\n");
  EXPECT_EQ(SetupFileNotDisabled(kCond, ctx_), 1);
  Write(kCond, "[disable]\r\n" + driver + "=0\r\n");
  EXPECT_EQ(SetupFileNotDisabled(kCond, ctx_), 1);
  EXPECT_EQ(StoreHasKstVersion(kCond, ctx_), 0);
  Write(kCond, "[" + Narrow(Section().c_str()) + "]\r\nKstVersion=314\r\n");
  EXPECT_EQ(StoreHasKstVersion(kCond, ctx_), 1);
}

TEST_F(SetupFileTest, BundlePathsExpandInsideTheirFolderOnly)
{
  WCHAR sys[MAX_PATH], win[MAX_PATH], shared[MAX_PATH];
  GetSystemDirectoryW(sys, MAX_PATH);
  GetWindowsDirectoryW(win, MAX_PATH);
  PathGetSharedSettingsDir(shared, MAX_PATH, ctx_);
  std::string driverDir = Narrow(CtxGetDriverDir(ctx_));
  std::string sysDir = Narrow(sys), winDir = Narrow(win), sharedDir = Narrow(shared);
  std::string parent = sysDir.substr(0, sysDir.rfind('\\'));
  struct Case {
    PLAT_OS_PROFILE os;
    int mode;
    const char *in;
    std::string out;  // "" = refused
  } cases[] = {
      {PLAT_OS_WIN7_SP1, 1, "C:\\abs\\a.kst", "C:\\abs\\a.kst"},
      {PLAT_OS_WIN7_SP1, 1, "%sysdir%\\a.kst", sharedDir + "\\a.kst"},
      {PLAT_OS_WIN7_SP1, 1, "%SysDir%a.kst", sharedDir + "\\a.kst"},
      {PLAT_OS_WIN7_SP1, 1, "%windir%\\sub\\a.kst", driverDir + "sub\\a.kst"},
      {PLAT_OS_WIN7_SP1, 1, ".\\a.kst", driverDir + "a.kst"},
      {PLAT_OS_WIN7_SP1, 1, "a.kst", driverDir + "a.kst"},
      {PLAT_OS_WIN7_SP1, 0, "%sysdir%\\a.kst", sysDir + "\\a.kst"},
      {PLAT_OS_WIN7_SP1, 0, "%windir%\\a.kst", winDir + "\\a.kst"},
      {PLAT_OS_WIN7_SP1, 0, ".\\a.kst", sysDir + "\\a.kst"},
      {PLAT_OS_WIN7_SP1, 1, "..\\a.kst", parent + "\\a.kst"},
      {PLAT_OS_NT4_SP6, 1, "%sysdir%\\a.kst", sysDir + "\\a.kst"},
      {PLAT_OS_NT4_SP6, 1, ".\\a.kst", sysDir + "\\a.kst"},
      // Refused: absolute rests and ".." that leaves the folder.
      {PLAT_OS_WIN7_SP1, 1, "%windir%\\..\\..\\a.kst", ""},
      {PLAT_OS_WIN7_SP1, 1, "%sysdir%C:\\a.kst", ""},
      {PLAT_OS_WIN7_SP1, 1, "%sysdir%\\\\server\\share\\a.kst", ""},
      {PLAT_OS_WIN7_SP1, 0, "%windir%\\system32\\..\\..\\a.kst", ""},
      {PLAT_OS_WIN7_SP1, 1, ".\\..\\a.kst", ""},
      {PLAT_OS_WIN7_SP1, 1, "sub\\..\\..\\a.kst", ""},
      {PLAT_OS_WIN7_SP1, 1, "sub/../../a.kst", ""},
      {PLAT_OS_WIN7_SP1, 1, "\\root.kst", ""},
      {PLAT_OS_WIN7_SP1, 1, "..\\sub\\..\\..\\a.kst", ""},
      {PLAT_OS_WIN7_SP1, 1, "%windir%", ""},
      {PLAT_OS_WIN7_SP1, 1, "", ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.in);
    ASSERT_TRUE(PlatSetOsProfile(c.os));
    OsVersionCacheResetForTest();
    WCHAR path[MAX_PATH];
    std::u16string in = U16(c.in);
    lstrcpynW(path, in.c_str(), MAX_PATH);
    int ok = PathExpandWinSysDir(path, MAX_PATH, c.mode, ctx_);
    EXPECT_EQ(ok, c.out.empty() ? 0 : 1);
    EXPECT_EQ(Narrow(path), c.out.empty() ? std::string(c.in) : c.out);  // a refusal leaves the path
  }
  PlatSetOsProfile(PLAT_OS_WIN7_SP1);
  OsVersionCacheResetForTest();
  // Too long for its buffer, or too long a prefixed path: refused.
  WCHAR small[12] = u"%sysdir%\\a";
  EXPECT_EQ(PathExpandWinSysDir(small, 8, 1, ctx_), 0);
  EXPECT_EQ(Narrow(small), "%sysdir%\\a");
  std::u16string longPath = u"%sysdir%\\" + std::u16string(260, u'a');
  std::vector<WCHAR> buf(longPath.begin(), longPath.end());
  buf.resize(1024, 0);
  EXPECT_EQ(PathExpandWinSysDir(buf.data(), 1024, 1, ctx_), 0);
  // Bundle file names need a stem and a 1-3 character extension.
  for (auto [name, ok] : std::initializer_list<std::pair<const char *, int>>{
           {"a.kst", 1}, {"a.k", 1}, {"a.kstx", 0}, {"a", 0}, {".kst", 0}}) {
    WCHAR path[MAX_PATH];
    lstrcpynW(path, U16(name).c_str(), MAX_PATH);
    EXPECT_EQ(SetupExpandBundlePath(path, MAX_PATH, ctx_), ok) << name;
  }
}

TEST_F(SetupFileTest, PathsOfConvertedCopies)
{
  std::string driverDir = Narrow(CtxGetDriverDir(ctx_));
  WCHAR out[MAX_PATH];
  EXPECT_EQ(PathDriverSettingsFile(out, u"C:\\b\\set01.kst", MAX_PATH, KV_DRIVER_FILE_KSD, ctx_), 1);
  EXPECT_EQ(Narrow(out), driverDir + "set01.ksd");
  EXPECT_EQ(PathDriverKsqFile(out, u"C:\\b\\set01.kst", MAX_PATH, ctx_), 1);
  EXPECT_EQ(Narrow(out), driverDir + "set01.ksq");
  EXPECT_EQ(PathDriverSettingsFile(out, u"set01.kst", MAX_PATH, 0, ctx_), 1);
  EXPECT_EQ(Narrow(out), driverDir + "set01.kst");
  EXPECT_EQ(PathDriverSettingsFile(out, nullptr, MAX_PATH, 0, ctx_), 0);
  // A copy's path that does not fit is no path, never a cut one.
  WCHAR small[8];
  EXPECT_EQ(PathDriverSettingsFile(small, u"C:\\b\\set01.kst", 8, KV_DRIVER_FILE_KSD, ctx_), 0);
  EXPECT_EQ(small[0], 0);
  EXPECT_TRUE(PathWithKsdExt(out, u"C:\\b\\set01.kst", MAX_PATH));
  EXPECT_EQ(Narrow(out), "C:\\b\\set01.ksd");
  ASSERT_TRUE(PathSettingsKsrFile(out, u"C:\\b\\set01.kst", MAX_PATH, ctx_));
  EXPECT_NE(Narrow(out).find("\\set01.ksr"), std::string::npos);
}

TEST_F(SetupFileTest, CopyingABundleFileMakesAPrinterFileAndKeepsTheSettings)
{
  std::string lang = Narrow(Lang().c_str());
  Write(u"C:\\kst\\bundle.ksb", "[condition]\r\nConditionOption0_0=KPD_COND_FINISHER\r\n[disable]\r\nX=1\r\n[" + lang +
                                    "]\r\ndmCopies=7\r\nReadonly=1\r\n");
  Write(u"C:\\kst\\copy.kst", "[condition]\r\nConditionOption5_0=stale\r\n");
  SetRaw(ITEM_dmCopies, 2);
  StoreCopySettingsFile(u"C:\\kst\\copy.kst", u"C:\\kst\\bundle.ksb", KST_PRESET_ITEMS, ctx_);
  EXPECT_EQ(Raw(ITEM_dmCopies), 2);
  EXPECT_EQ(CtxGetSnapshotDepth(ctx_), 0);
  std::string copy = Read(u"C:\\kst\\copy.kst");
  EXPECT_EQ(Keys(copy, "condition"), std::vector<std::string>{"ConditionOption0_0=KPD_COND_FINISHER"});
  EXPECT_EQ(Keys(copy, "disable"), std::vector<std::string>{"X=1"});
  std::vector<std::string> printer = Keys(copy, Narrow(Section().c_str()));
  EXPECT_NE(std::find(printer.begin(), printer.end(), "dmCopies=7"), printer.end());
  EXPECT_NE(std::find(printer.begin(), printer.end(), "Readonly=1"), printer.end());
  EXPECT_EQ(StoreHasKstVersion(u"C:\\kst\\copy.kst", ctx_), 1);
  // No level free: nothing happens at all.
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(CtxPushDevmodeSnapshot(ctx_));
  Write(u"C:\\kst\\copy2.kst", "");
  StoreCopySettingsFile(u"C:\\kst\\copy2.kst", u"C:\\kst\\bundle.ksb", KST_PRESET_ITEMS, ctx_);
  EXPECT_EQ(Read(u"C:\\kst\\copy2.kst"), "");
  for (int i = 0; i < 3; ++i) CtxPopDevmodeSnapshot(ctx_, 1);
}

TEST_F(SetupFileTest, LocaleDefaultsForSeveralCountries)
{
  struct {
    LCID lcid;
    int prefix;
    WORD unit, paper;
  } cases[] = {
      {0x0409, 1, 1, 1},  // United States, 1
      {0x0809, 0, 0, 9},  // United Kingdom, 44
      {0x0416, 5, 1, 1},  // Brazil, 55
      {0x0411, 0, 0, 9},  // Japan, 81
      {0x0407, 0, 0, 9},  // Germany, 49
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.lcid);
    ASSERT_TRUE(PlatSetLocale(c.lcid, 0x0409, 0x0409));
    EXPECT_EQ(OsGetUserCountryPrefix(), c.prefix);
    EXPECT_EQ(SetupLocaleDefaults(ctx_), 1);
    EXPECT_EQ(ctx_->state->firstRun.countryPrefix, c.prefix);
    EXPECT_EQ(ctx_->state->firstRun.unit, c.unit);
    EXPECT_EQ(ctx_->state->firstRun.paper, c.paper);
    EXPECT_EQ(Raw(ITEM_kdmLocaleID), c.prefix);
  }
  PlatSetLocale(0x0409, 0x0409, 0x0409);
}

TEST_F(SetupFileTest, TheModelKeyComesFromTheModelIni)
{
  std::string driver = Narrow(CtxGetDriverName(ctx_));
  Write(CtxGetModelIniPath(ctx_), "[Models]\r\nOther=ZZ\r\n");
  EXPECT_EQ(SetupGetModelKey(ctx_), nullptr);
  Write(CtxGetModelIniPath(ctx_), "[Models]\r\n" + driver + "=" + std::string(40, 'K') + "\r\n");
  const WCHAR *key = SetupGetModelKey(ctx_);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(Narrow(key), std::string(32, 'K'));  // 32 characters and the terminator
}

}  // namespace
