// Stored presets and quality sets on the sample context: sixteen presets saved, listed and
// loaded back; the cache; files that cannot be taken; read-only and copied defaults; new
// user file names; the write bar; quality sets; and the deepest snapshot nesting.
#include <gtest/gtest.h>

#include <string.h>
#include <strings.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "files/ini.h"
#include "hooks/module_hooks.h"
#include "list_fixture.h"
#include "model/model.h"
#include "model/state_items.h"
#include "recording_hooks.h"
#include "store/preset_list.h"

namespace {

std::u16string Key(int n)
{
  WCHAR key[KV_PRESET_KEY_CHARS];
  return ListFormatPresetKey(key, n, LIST_KEY_PATH);
}

class PresetTest : public ListTest {
 protected:
  // Appends preset n with its own copies count, gives it a user file and saves it.
  void AddPreset(int n, LONG copies)
  {
    std::string name = "Preset " + std::to_string(n);
    SetText(ITEM_wdmPresetName, name.c_str());
    SetText(ITEM_wdmPresetComment, ("Comment " + std::to_string(n)).c_str());
    SetRaw(ITEM_dmCopies, copies);
    ASSERT_EQ(ListAppendPreset(ctx_, u"", U16(name.c_str()).c_str(), u""), 1) << n;
    ASSERT_EQ(ListEnsureUserPresetFile(ctx_, n), 1) << n;
    ASSERT_EQ(ListSavePreset(ctx_, n), 1) << n;
  }
  std::u16string PathOf(int n) const { return U16(PrinterValue(Narrow(Key(n).c_str()).c_str()).c_str()); }
  int Loads(const RecordingModules &rec) const
  {
    int n = 0;
    for (const HookCall &c : rec.calls)
      if (c.kind == 'n' && c.row == 0 && c.code == KV_EVT_SETTINGS_LOADED) ++n;
    return n;
  }
};

TEST_F(PresetTest, SixteenPresetsAreSavedListedAndLoadedBack)
{
  for (int n = 0; n < KV_PRESET_MAX; ++n) AddPreset(n, 10 + n);
  EXPECT_EQ(ListGetPresetCount(ctx_), 16);
  // Each preset has a file of its own.
  std::set<std::u16string> paths;
  for (int n = 0; n < KV_PRESET_MAX; ++n) {
    EXPECT_TRUE(Exists(PathOf(n).c_str())) << n;
    paths.insert(PathOf(n));
  }
  EXPECT_EQ(paths.size(), 16u);
  // A seventeenth is refused and the list stays as it was.
  EXPECT_EQ(ListAppendPreset(ctx_, u"", u"too many", u""), 0);
  EXPECT_EQ(ListGetPresetCount(ctx_), 16);
  EXPECT_EQ(PrinterValue("PresetList16"), "");
  for (int n = KV_PRESET_MAX - 1; n >= 0; --n) {
    SetRaw(ITEM_dmCopies, 1);
    ListSelectPreset(ctx_, n);
    EXPECT_EQ(Raw(ITEM_dmCopies), 10 + n) << n;
    EXPECT_EQ(Text(ITEM_wdmPresetName), "Preset " + std::to_string(n));
    EXPECT_EQ(Text(ITEM_wdmPresetComment), "Comment " + std::to_string(n));
  }
}

TEST_F(PresetTest, ASecondLoadComesFromTheCacheUntilASaveFreesIt)
{
  AddPreset(0, 4);
  RecordingModules rec;
  rec.Attach(ctx_);
  SetRaw(ITEM_dmCopies, 1);
  EXPECT_EQ(ListSelectPreset(ctx_, 0), 0);  // from the file
  EXPECT_EQ(Raw(ITEM_dmCopies), 4);
  EXPECT_EQ(Loads(rec), 1);
  // The file changes behind the context's back: the cache still answers.
  IniWriteString(Section().c_str(), u"dmCopies", u"9", PathOf(0).c_str());
  SetRaw(ITEM_dmCopies, 1);
  EXPECT_EQ(ListSelectPreset(ctx_, 0), 1);
  EXPECT_EQ(Raw(ITEM_dmCopies), 4);
  EXPECT_EQ(Loads(rec), 1);  // no event for a cached load
  // Saving any stamp frees the cache: the next load reads the file.
  ListSaveStamp(ctx_, 0);
  EXPECT_EQ(ListSelectPreset(ctx_, 0), 0);
  EXPECT_EQ(Raw(ITEM_dmCopies), 9);
  EXPECT_EQ(Loads(rec), 2);
}

TEST_F(PresetTest, ARefusedFileLosesItsKeyAnUnreadableOneKeepsIt)
{
  AddPreset(0, 5);
  AddPreset(1, 6);
  AddPreset(2, 7);
  // Preset 1 belongs to another machine; preset 2's file is away for the moment.
  IniWriteString(Section().c_str(), KST_KEY_MACHINE, u"1", PathOf(1).c_str());
  std::u16string away = PathOf(2);
  std::string bytes = Read(away.c_str());
  ASSERT_TRUE(DeleteFileW(away.c_str()));
  ListPresetCache(ctx_, nullptr, LIST_CACHE_FREE);

  SetRaw(ITEM_dmCopies, 1);
  ListSelectPreset(ctx_, 1);
  EXPECT_EQ(Raw(ITEM_dmCopies), 5);  // preset 0 instead
  EXPECT_EQ(PrinterValue("PresetList1"), "");

  SetRaw(ITEM_dmCopies, 1);
  ListSelectPreset(ctx_, 2);
  EXPECT_EQ(Raw(ITEM_dmCopies), 5);
  EXPECT_EQ(PathOf(2), away);  // the key is kept
  // Once the file is back, the preset loads: its slot was not filled with preset 0.
  Write(away.c_str(), bytes);
  SetRaw(ITEM_dmCopies, 1);
  EXPECT_EQ(ListSelectPreset(ctx_, 2), 0);
  EXPECT_EQ(Raw(ITEM_dmCopies), 7);
}

TEST_F(PresetTest, AnIndexOutsideTheListEmptiesNameAndCommentAndReadsNothing)
{
  for (int index : {16, -1, 1000}) {
    SetText(ITEM_wdmPresetName, "kept?");
    SetText(ITEM_wdmPresetComment, "kept?");
    SetRaw(ITEM_dmCopies, 3);
    EXPECT_EQ(ListSelectPreset(ctx_, index), 0);
    EXPECT_EQ(Text(ITEM_wdmPresetName), "");
    EXPECT_EQ(Text(ITEM_wdmPresetComment), "");
    EXPECT_EQ(Raw(ITEM_dmCopies), 3);
  }
}

TEST_F(PresetTest, ReadOnlyPresetsStayReadOnlyAndCopiedDefaultsAreNeverOverwritten)
{
  AddPreset(0, 2);
  AddPreset(1, 3);
  IniWriteString(Section().c_str(), u"Readonly", u"1", PathOf(1).c_str());
  PutPrinterValue("PresetList2", "");
  const struct {
    int index, writable;
  } writable[] = {
      {0, 1}, {1, 0}, {16, 0}, {-1, 0}, {2, 1}, {5, 1},  // entries without a file yet: they get one when written
  };
  for (const auto &w : writable) EXPECT_EQ(ListIsPresetWritable(ctx_, w.index), w.writable) << w.index;
  // Rewriting every preset keeps "Readonly" and the caller's settings.
  SetRaw(ITEM_dmCopies, 42);
  IniWriteString(Section().c_str(), u"Stale", u"1", PathOf(1).c_str());
  EXPECT_EQ(ListResaveAllPresets(ctx_), 1);
  EXPECT_EQ(Raw(ITEM_dmCopies), 42);
  EXPECT_EQ(ListIsPresetWritable(ctx_, 1), 0);
  EXPECT_EQ(IniGetInt(Section().c_str(), u"Stale", 0, PathOf(1).c_str()), 0u);  // the section was rewritten
  EXPECT_EQ(IniGetInt(Section().c_str(), u"dmCopies", 0, PathOf(1).c_str()), 3u);
  // A copied default (name ending in 'r') gets a user file before the first save.
  std::u16string copied = u"C:\\kst\\default01.ksr";
  Write(copied.c_str(), "[x]\r\n");
  PutPrinterValue("PresetList1", Narrow(copied.c_str()).c_str());
  ASSERT_EQ(ListEnsureUserPresetFile(ctx_, 1), 1);
  EXPECT_NE(PathOf(1), copied);
  EXPECT_NE(Narrow(PathOf(1).c_str()).find("user0002.kst"), std::string::npos);
  EXPECT_EQ(ListSavePreset(ctx_, 1), 1);
  EXPECT_EQ(Read(copied.c_str()), "[x]\r\n");
}

TEST_F(PresetTest, NewFileNamesSkipTakenOnesAndSavingFailsWhenAllAreTaken)
{
  WCHAR path[1025];
  ASSERT_EQ(ListMakeNewKstPath(ctx_, path), 1);
  std::u16string first = path;
  EXPECT_NE(Narrow(path).find("user0000.kst"), std::string::npos);
  std::string header = "[" + Narrow(Section().c_str()) + "]\r\nKstMachine=192\r\n";
  std::u16string dir = first.substr(0, first.rfind(u'\\') + 1);
  Write((dir + u"user0000.kst").c_str(), header);
  Write((dir + u"user0001.kst").c_str(), header);
  Write((dir + u"user0003.kst").c_str(), header);
  ASSERT_EQ(ListMakeNewKstPath(ctx_, path), 1);
  EXPECT_EQ(std::u16string(path), dir + u"user0002.kst");
  // Every name taken: no name, and a new preset cannot be saved over another's file.
  std::string hostDir = HostPath(dir.c_str());
  for (int a = 0; a <= 9999; ++a) {
    char name[32];
    snprintf(name, sizeof name, "user%04d.kst", a);
    WriteHostFile(hostDir + "/" + name, header);
  }
  EXPECT_EQ(ListMakeNewKstPath(ctx_, path), 0);
  EXPECT_EQ(path[0], 0);
  ASSERT_EQ(ListAppendPreset(ctx_, u"", u"new", u""), 1);
  EXPECT_EQ(ListEnsureUserPresetFile(ctx_, 0), 0);
  EXPECT_EQ(ListSavePreset(ctx_, 0), 0);
  EXPECT_EQ(Read((dir + u"user9999.kst").c_str()), header);
}

// Counts the times one file of a folder is written whole: a replacement through a temporary
// file and a rename (as the profile functions and the composed-section writer make them), or
// a write in place.
class FileWrites {
 public:
  explicit FileWrites(const std::string &hostPath)
      : name_(hostPath.substr(hostPath.rfind('/') + 1)), fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
  {
    std::string dir = hostPath.substr(0, hostPath.rfind('/'));
    watch_ = fd_ >= 0 ? inotify_add_watch(fd_, dir.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) : -1;
  }
  ~FileWrites()
  {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return watch_ >= 0; }
  // The writes since the last call.
  int Take()
  {
    int n = 0;
    alignas(struct inotify_event) char buf[8192];
    for (;;) {
      ssize_t got = read(fd_, buf, sizeof buf);
      if (got <= 0) return n;
      for (char *p = buf; p < buf + got;) {
        const struct inotify_event *e = reinterpret_cast<const struct inotify_event *>(p);
        if (e->len > 0 && strcasecmp(e->name, name_.c_str()) == 0) ++n;
        p += sizeof(struct inotify_event) + e->len;
      }
    }
  }

 private:
  std::string name_;
  int fd_;
  int watch_ = -1;
};

// A save writes the preset's file, then every key it changes in the settings INI (path,
// name, comment, count) with one rewrite of the INI: a large INI is rewritten once a save,
// not once a key.
TEST_F(PresetTest, ASaveRewritesTheSettingsIniOnce)
{
  PutPrinterValue("Other", "1");  // the INI exists, so its folder can be watched
  FileWrites writes(HostPath(Ini().c_str()));
  ASSERT_TRUE(writes.ok());
  writes.Take();
  struct Step {
    const char *what;
    int index;
    const char *name, *comment;
    int count;  // "Count" after the save
  } steps[] = {
      {"a new preset", 0, "First", "one", 1},
      {"a second one", 1, "Second", "", 2},
      {"the first replaced", 0, "First again", "changed", 2},
  };
  for (const Step &s : steps) {
    SCOPED_TRACE(s.what);
    SetText(ITEM_wdmPresetName, s.name);
    SetText(ITEM_wdmPresetComment, s.comment);
    SetRaw(ITEM_dmCopies, 20 + s.index);
    ASSERT_EQ(ListSavePresetEntry(ctx_, s.index), 1);
    EXPECT_EQ(writes.Take(), 1);
    EXPECT_EQ(ListGetPresetCount(ctx_), s.count);
    std::string key = Narrow(Key(s.index).c_str());
    EXPECT_EQ(PrinterValue((key + "Name").c_str()), s.name);
    EXPECT_EQ(PrinterValue((key + "Comment").c_str()), s.comment);
    EXPECT_TRUE(Exists(PathOf(s.index).c_str()));
  }
  EXPECT_EQ(PrinterValue("Other"), "1");
  EXPECT_NE(PathOf(0), PathOf(1));
  // Each preset loads back from its own file.
  for (int n = 1; n >= 0; --n) {
    SetRaw(ITEM_dmCopies, 1);
    ListSelectPreset(ctx_, n);
    EXPECT_EQ(Raw(ITEM_dmCopies), 20 + n);
  }
  // A save past the end of the list, or barred, writes nothing.
  EXPECT_EQ(ListSavePresetEntry(ctx_, 3), 0);
  SetBarred(true);
  EXPECT_EQ(ListSavePresetEntry(ctx_, 2), 0);
  SetBarred(false);
  EXPECT_EQ(writes.Take(), 0);
  EXPECT_EQ(ListGetPresetCount(ctx_), 2);
  // Appending an entry writes its three keys and the count at once as well.
  ASSERT_EQ(ListAppendPreset(ctx_, u"C:\\kst\\third.kst", u"Third", u"3"), 1);
  EXPECT_EQ(writes.Take(), 1);
  EXPECT_EQ(ListGetPresetCount(ctx_), 3);
  EXPECT_EQ(PrinterValue("PresetList2Name"), "Third");
  EXPECT_EQ(PrinterValue("PresetList2"), "C:\\kst\\third.kst");
}

TEST_F(PresetTest, TheWriteBarStopsEverySave)
{
  AddPreset(0, 2);
  std::string before = Read(PathOf(0).c_str());
  SetBarred(true);
  SetRaw(ITEM_dmCopies, 8);
  EXPECT_EQ(ListSavePreset(ctx_, 0), 0);
  EXPECT_EQ(ListEnsureUserPresetFile(ctx_, 1), 0);
  EXPECT_EQ(ListAppendPreset(ctx_, u"", u"x", u""), 0);
  EXPECT_EQ(ListSaveQuality(ctx_, 0), 0);
  EXPECT_EQ(Read(PathOf(0).c_str()), before);
  EXPECT_EQ(ListGetPresetCount(ctx_), 1);
  SetBarred(false);
  EXPECT_EQ(ListSavePreset(ctx_, 0), 1);
}

TEST_F(PresetTest, TheCacheRestoresValuesAndOnlyTheirOwnBits)
{
  SetRaw(ITEM_dmCopies, 6);
  SetRaw(ITEM_kdmFuncSelectNup, 1);
  SetRaw(ITEM_kdmFuncSelectPoster, 0);
  std::u16string key = Key(3);
  EXPECT_EQ(ListPresetCache(ctx_, key.c_str(), LIST_CACHE_SAVE), 0);
  SetRaw(ITEM_dmCopies, 1);
  SetRaw(ITEM_kdmFuncSelectNup, 0);
  SetRaw(ITEM_kdmFuncSelectPoster, 1);  // not a preset item: its bit stays
  EXPECT_EQ(ListPresetCache(ctx_, key.c_str(), LIST_CACHE_RESTORE), 1);
  EXPECT_EQ(Raw(ITEM_dmCopies), 6);
  EXPECT_EQ(Raw(ITEM_kdmFuncSelectNup), 1);
  EXPECT_EQ(Raw(ITEM_kdmFuncSelectPoster), 1);
  // Keys that name no slot, and slots never saved, restore nothing.
  EXPECT_EQ(ListPresetCache(ctx_, u"PresetList16", LIST_CACHE_RESTORE), 0);
  EXPECT_EQ(ListPresetCache(ctx_, u"presetlist3", LIST_CACHE_RESTORE), 0);
  EXPECT_EQ(ListPresetCache(ctx_, Key(4).c_str(), LIST_CACHE_RESTORE), 0);
  EXPECT_EQ(ListPresetCache(ctx_, nullptr, LIST_CACHE_RESTORE), 0);
  // Forgetting drops the slots without freeing them (their owner frees them).
  void *slot = ctx_->state->presetSnapshots[3];
  ASSERT_NE(slot, nullptr);
  ListPresetCache(ctx_, nullptr, LIST_CACHE_FORGET);
  EXPECT_EQ(ListPresetCache(ctx_, key.c_str(), LIST_CACHE_RESTORE), 0);
  MemFree(slot);
}

TEST_F(PresetTest, QualitySetsAreSavedAndLoadedWithTheirNames)
{
  PutPrinterValue("QualityCount", "1");
  PutPrinterValue("QualityList0", InListDir("quality0.ksq").c_str());
  SetRaw(ITEM_kdmBrightness, 7);
  SetText(ITEM_wdmUserSetName, "Bright");
  EXPECT_EQ(ListGetQualityCount(ctx_), 1);
  ASSERT_EQ(ListSaveQuality(ctx_, 0), 1);
  EXPECT_EQ(PrinterValue("QualityList0Name"), "Bright");
  SetRaw(ITEM_kdmBrightness, 0);
  SetRaw(ITEM_dmCopies, 3);
  SetText(ITEM_wdmUserSetName, "");
  ASSERT_EQ(ListLoadQuality(ctx_, 0), 1);
  EXPECT_EQ(Raw(ITEM_kdmBrightness), 7);
  EXPECT_EQ(Raw(ITEM_dmCopies), 3);  // not a quality item
  EXPECT_EQ(Text(ITEM_wdmUserSetName), "Bright");
  // Rewriting every set keeps the caller's settings.
  SetRaw(ITEM_kdmBrightness, 2);
  EXPECT_EQ(ListResaveAllQualities(ctx_), 1);
  EXPECT_EQ(Raw(ITEM_kdmBrightness), 2);
  // A set without file loads nothing.
  EXPECT_EQ(ListLoadQuality(ctx_, 5), 0);
}

// Rewriting every quality set walks the list up to its first entry without a file, so that
// a damaged count neither keeps it going nor rewrites sets past a gap.
TEST_F(PresetTest, RewritingQualitySetsStopsAtTheFirstEntryWithoutAFile)
{
  const std::string header =
      "KstVersion=314\r\nKstMachine=192\r\nKstLanguage=" + std::to_string(Raw(ITEM_kdmLanguageID)) + "\r\n";
  const std::string printer = Narrow(CtxGetPrinterName(ctx_));
  const std::string section = "[" + printer + "]\r\n";
  struct Case {
    const char *count;
    std::vector<int> listed, rewritten;
  } cases[] = {
      {"2", {0, 1}, {0, 1}},
      {"3", {0, 2}, {0}},              // the walk ends at the gap
      {"2147483647", {0, 1}, {0, 1}},  // a damaged count
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.count);
    for (int n = 0; n < 3; ++n) {
      std::string key = "QualityList" + std::to_string(n);
      PutPrinterValue(key.c_str(), "");
    }
    PutPrinterValue("QualityCount", c.count);
    for (int n : c.listed) {
      std::string key = "QualityList" + std::to_string(n);
      std::string path = InListDir(("q" + std::to_string(n) + ".ksq").c_str());
      PutPrinterValue(key.c_str(), path.c_str());
      Write(U16(path.c_str()).c_str(), section + header + "kdmBrightness=" + std::to_string(n + 1) + "\r\nStale=1\r\n");
    }
    SetRaw(ITEM_kdmBrightness, 9);
    EXPECT_EQ(ListResaveAllQualities(ctx_), 1);
    EXPECT_EQ(Raw(ITEM_kdmBrightness), 9);
    for (int n : c.listed) {
      SCOPED_TRACE(n);
      std::string path = InListDir(("q" + std::to_string(n) + ".ksq").c_str());
      std::vector<std::string> keys = Keys(Read(U16(path.c_str()).c_str()), printer);
      bool rewritten = std::find(c.rewritten.begin(), c.rewritten.end(), n) != c.rewritten.end();
      EXPECT_EQ(!rewritten, std::find(keys.begin(), keys.end(), "Stale=1") != keys.end());
      EXPECT_TRUE(std::find(keys.begin(), keys.end(), "kdmBrightness=" + std::to_string(n + 1)) != keys.end());
    }
  }
}

TEST_F(PresetTest, CompanionDefaultsRewriteTheirPresetsAndQualitySets)
{
  AddPreset(0, 2);
  AddPreset(1, 3);
  // Preset 1 has a companion in the shared settings folder, read from its language section.
  std::u16string file = PathOf(1);
  std::u16string companion = file.substr(0, file.rfind(u'.')) + u".ksd";
  // It carries the header of a settings file, as the setup writes it.
  std::string header = "KstVersion=" + std::to_string(ctx_->model->settingsFileVersion) +
                       "\r\nKstMachine=" + std::to_string(ctx_->model->machineId) +
                       "\r\nKstLanguage=" + std::to_string(Raw(ITEM_kdmLanguageID)) + "\r\n";
  Write(companion.c_str(), "[" + Narrow(Lang().c_str()) + "]\r\n" + header + "dmCopies=11\r\n");
  SetRaw(ITEM_dmCopies, 1);
  EXPECT_EQ(ListLoadPresetKsd(ctx_, 1), 1);
  EXPECT_EQ(Raw(ITEM_dmCopies), 11);
  EXPECT_EQ(ListLoadPresetKsd(ctx_, 0), 0);  // no companion
  EXPECT_EQ(ListLoadPresetKsd(ctx_, 16), 0);
  ListPresetCache(ctx_, nullptr, LIST_CACHE_FREE);
  SetRaw(ITEM_dmCopies, 40);
  ASSERT_EQ(ListResaveAllPresets(ctx_), 1);
  EXPECT_EQ(Raw(ITEM_dmCopies), 40);
  EXPECT_EQ(IniGetInt(Section().c_str(), u"dmCopies", 0, file.c_str()), 11u);
  EXPECT_EQ(IniGetInt(Section().c_str(), u"dmCopies", 0, PathOf(0).c_str()), 2u);
  // A quality set's companion "ksq" lies in the settings folder under the set's name.
  PutPrinterValue("QualityCount", "1");
  PutPrinterValue("QualityList0", "C:\\kst\\fine.ksq");
  PutPrinterValue("QualityList0Name", "Fine");
  std::u16string folder = file.substr(0, file.rfind(u'\\') + 1);
  Write((folder + u"fine.ksq").c_str(), "[" + Narrow(Lang().c_str()) + "]\r\nkdmBrightness=5\r\n");
  SetRaw(ITEM_kdmBrightness, 0);
  EXPECT_EQ(ListLoadQualityKsq(ctx_, 0), 1);
  EXPECT_EQ(Raw(ITEM_kdmBrightness), 5);
  EXPECT_EQ(Text(ITEM_wdmUserSetName), "Fine");
  EXPECT_EQ(ListLoadQualityKsq(ctx_, 3), 0);
}

// The deepest nesting of snapshots: a caller's own snapshot, the rewrite of every preset,
// and the custom sizes loaded while a preset load is announced. One more level is refused
// loudly: the walk that needed it does nothing, and every caller gets its settings back.
struct NestingProbe {
  static int loaded, refused, depth;
  static LONG WINAPI Notify(DRIVER_CONTEXT *ctx, WORD event, void *, void *)
  {
    if (event != KV_EVT_SETTINGS_LOADED) return 0;
    depth = CtxGetSnapshotDepth(ctx);
    CtxClearUiFlags(ctx, KV_UI_FLAG_FREE_SIZES_LOADED);
    if (ListLoadAllFreeSizes(ctx))
      ++loaded;
    else
      ++refused;
    return 0;
  }
};
int NestingProbe::loaded, NestingProbe::refused, NestingProbe::depth;

TEST_F(PresetTest, TheDeepestNestingFitsAndOneLevelMoreIsRefused)
{
  AddPreset(0, 2);
  MODULE_HOOK_ROW row = {0, nullptr, nullptr, nullptr, NestingProbe::Notify};
  CtxAttachModuleTable(ctx_, &row, 1);
  for (int outer : {1, 2}) {
    SCOPED_TRACE(outer);
    NestingProbe::loaded = NestingProbe::refused = 0;
    SetRaw(ITEM_dmCopies, 50);
    for (int i = 0; i < outer; ++i) ASSERT_TRUE(CtxPushDevmodeSnapshot(ctx_));
    SetRaw(ITEM_dmCopies, 51);
    ListPresetCache(ctx_, nullptr, LIST_CACHE_FREE);
    EXPECT_EQ(ListResaveAllPresets(ctx_), 1);
    EXPECT_EQ(NestingProbe::depth, outer + 1);
    if (outer == 1) {
      EXPECT_EQ(NestingProbe::loaded, 1);  // the third level
      EXPECT_EQ(NestingProbe::refused, 0);
    } else {
      EXPECT_EQ(NestingProbe::loaded, 0);  // it would have been the fourth
      EXPECT_EQ(NestingProbe::refused, 1);
    }
    EXPECT_EQ(Raw(ITEM_dmCopies), 51);
    EXPECT_EQ(CtxGetSnapshotDepth(ctx_), outer);
    for (int i = 0; i < outer; ++i) EXPECT_TRUE(CtxPopDevmodeSnapshot(ctx_, 1));
    EXPECT_EQ(Raw(ITEM_dmCopies), 50);
  }
  CtxAttachModuleTable(ctx_, nullptr, 0);
}

}  // namespace
