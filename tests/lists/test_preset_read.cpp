// What a preset read does after the serializer took the file: the custom sizes, stamp and
// user quality the preset selects are kept in their lists, the DEVMODE fits the system of
// the context, the preset number and the interface-mode switch; what a rejected quality
// file and a rejected preset do; and what a preset write loads before it writes and puts
// back afterwards.
#include <gtest/gtest.h>

#include <string>

#include <algorithm>

#include "files/ini.h"
#include "checks/item_check.h"
#include "os/os.h"
#include "hooks/module_hooks.h"
#include "list_fixture.h"
#include "model/state_items.h"
#include "recording_hooks.h"
#include "blob/desc_runtime.h"
#include "kvplat/control.h"
#include "model/font_list_table.h"

namespace {

class PresetReadTest : public ListTest {
 protected:
  // A preset file in the driver-name section with a current header and the given lines.
  void WritePreset(const std::string &lines)
  {
    Write(kFile, "[" + Narrow(CtxGetDriverName(ctx_)) + "]\r\nKstVersion=314\r\nKstMachine=192\r\nKstLanguage=" +
                     std::to_string(Raw(ITEM_kdmLanguageID)) + "\r\n" + lines);
  }
  std::u16string SizeSection(int slot)
  {
    WCHAR buf[64];
    return ListFormatFreeSizeSection(buf, slot, 0, ctx_);
  }
  std::u16string StampSection(int index)
  {
    WCHAR buf[64];
    return ListFormatStampSection(buf, index, 0, ctx_);
  }
  int Events(const RecordingModules &rec, WORD code) const
  {
    int n = 0;
    for (const HookCall &c : rec.calls)
      if (c.kind == 'n' && c.row == 0 && c.code == code) ++n;
    return n;
  }
};

// The output size of a user slot is kept as it came; a document paper of a user slot is
// kept from the source size items, which also become the output size items.
TEST_F(PresetReadTest, SelectedCustomSizesAreKeptInTheirSlots)
{
  WritePreset(
      "dmPaperSize=388\r\nkdmOutPaperSize=386\r\n"
      "wdmFreeSizeName=Out\r\nwdmFreeSizeWidth=1500\r\nwdmFreeSizeLength=2500\r\n"
      "wdmSrcFreeSizeName=Src\r\nwdmSrcFreeSizeWidth=1111\r\nwdmSrcFreeSizeLength=2222\r\n");
  ASSERT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0, ctx_));
  ASSERT_EQ(0u, CtxGetSettingsFileStatus(ctx_));
  // Output slot 2: the output size as read, in the INI and in the slot record.
  EXPECT_EQ("1500", IniValue(SizeSection(2).c_str(), u"wdmFreeSizeWidth"));
  EXPECT_EQ("2500", IniValue(SizeSection(2).c_str(), u"wdmFreeSizeLength"));
  EXPECT_EQ(1500, ctx_->state->freeSizeSlots[2].width);
  // Document slot 4: the source size, which the output size items now hold too.
  EXPECT_EQ("1111", IniValue(SizeSection(4).c_str(), u"wdmFreeSizeWidth"));
  EXPECT_EQ("2222", IniValue(SizeSection(4).c_str(), u"wdmFreeSizeLength"));
  EXPECT_EQ(1111, ctx_->state->freeSizeSlots[4].width);
  EXPECT_EQ(1111, Raw(ITEM_wdmFreeSizeWidth));
  EXPECT_EQ(2222, Raw(ITEM_wdmFreeSizeLength));
  // Other slots are not written.
  EXPECT_EQ("", IniValue(SizeSection(3).c_str(), u"wdmFreeSizeWidth"));
}

// A selected stamp is saved in the stamp list; an id past the stored stamps becomes the
// next free one. A stamp that is not selected is not saved.
TEST_F(PresetReadTest, SelectedStampIsSavedAndItsIdClampedToTheList)
{
  struct Case {
    const char *name;
    int stored;    // stamps in the list before
    int selected;  // kdmFuncSelectWaterMark
    int id;        // kdmWmID in the file
    int wantId;
    int wantCount;
    int savedAt;  // -1: no stamp section written
  } cases[] = {
      {"id inside the list", 3, 1, 1, 1, 3, 1},    {"id past the list", 2, 1, 5, 2, 3, 2},
      {"id just past the list", 2, 1, 2, 2, 3, 2}, {"empty list", 0, 1, 7, 0, 1, 0},
      {"stamp not selected", 2, 0, 5, 5, 2, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ResetWork();
    for (int i = 0; i < 8; ++i) IniWriteString(StampSection(i).c_str(), NULL, NULL, Ini().c_str());
    IniWriteString(Lang().c_str(), u"StampCount", U16(std::to_string(c.stored).c_str()).c_str(), Ini().c_str());
    WritePreset("kdmFuncSelectWaterMark=" + std::to_string(c.selected) + "\r\nkdmWmID=" + std::to_string(c.id) +
                "\r\nwdmWmChar=FROM FILE\r\n");
    ASSERT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0, ctx_));
    EXPECT_EQ(c.wantId, Raw(ITEM_kdmWmID));
    EXPECT_EQ(c.wantCount, ListGetStampCount(ctx_));
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(i == c.savedAt ? "FROM FILE" : "", IniValue(StampSection(i).c_str(), u"wdmWmChar")) << i;
  }
}

// The 95 and NT 4 kinds lose the system's colour matching; only the 95 and 98 kinds keep
// the media type in dmFields. The context's OS kind is the one it had before the read.
TEST_F(PresetReadTest, ColourMatchingAndMediaTypeFollowTheOsKind)
{
  const DWORD icmBits = DM_ICMMETHOD | DM_ICMINTENT;
  const DWORD fileFields = (DWORD)Raw(ITEM_dmFields) | icmBits | DM_MEDIATYPE;
  struct Case {
    BYTE osKind;
    bool icmReset;
    bool mediaType;
  } cases[] = {{0, true, true}, {1, true, false}, {2, false, false}, {3, false, true}};
  // The read resets the two items to their description defaults; the merge that ends the
  // read then checks every item, which repairs a default the item's values do not allow.
  ResetWork();
  ItemSetValue(ctx_, ITEM_kdmICMType, (LONG)DescGetItemDefault(ITEM_kdmICMType, ctx_));
  ItemSetValue(ctx_, ITEM_kdmICMIntent, (LONG)DescGetItemDefault(ITEM_kdmICMIntent, ctx_));
  ItemRunCheckTable(ctx_, KV_CHECK_MODE_KEEP_LEGAL);
  LONG typeDefault = ItemGetValue(ctx_, ITEM_kdmICMType, nullptr);
  LONG intentDefault = ItemGetValue(ctx_, ITEM_kdmICMIntent, nullptr);
  for (const Case &c : cases) {
    SCOPED_TRACE(int(c.osKind));
    ResetWork();
    CtxSetOSKind(ctx_, c.osKind);
    WritePreset("dmFields=" + std::to_string(fileFields) +
                "\r\ndmICMMethod=2\r\ndmICMIntent=3\r\nkdmColorMatching=1\r\nkdmICMType=2\r\nkdmICMIntent=3\r\n");
    ASSERT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0, ctx_));
    DWORD fields = (DWORD)Raw(ITEM_dmFields);
    if (c.icmReset) {
      EXPECT_EQ(DMICMMETHOD_NONE, Raw(ITEM_dmICMMethod));
      EXPECT_EQ(DMICM_SATURATE, Raw(ITEM_dmICMIntent));
      EXPECT_EQ(0u, fields & icmBits);
      EXPECT_EQ(0, Raw(ITEM_kdmColorMatching));
      EXPECT_EQ(typeDefault, ItemGetValue(ctx_, ITEM_kdmICMType, nullptr));
      EXPECT_EQ(intentDefault, ItemGetValue(ctx_, ITEM_kdmICMIntent, nullptr));
    } else {
      EXPECT_EQ(2, Raw(ITEM_dmICMMethod));
      EXPECT_EQ(3, Raw(ITEM_dmICMIntent));
      EXPECT_EQ(icmBits, fields & icmBits);
      EXPECT_EQ(1, Raw(ITEM_kdmColorMatching));
      EXPECT_EQ(2, Raw(ITEM_kdmICMType));
      EXPECT_EQ(3, Raw(ITEM_kdmICMIntent));
      // The file's values differ from the defaults the reset would give.
      EXPECT_FALSE(ItemGetValue(ctx_, ITEM_kdmICMType, nullptr) == typeDefault &&
                   ItemGetValue(ctx_, ITEM_kdmICMIntent, nullptr) == intentDefault);
    }
    EXPECT_EQ(c.mediaType, (fields & DM_MEDIATYPE) != 0);
    EXPECT_EQ(c.osKind, CtxGetOSKind(ctx_));
  }
}

// Item 36 seen by the settings-loaded event.
LONG g_modeAtEvent = -1;
LONG WINAPI NoteMode(DRIVER_CONTEXT *ctx, WORD event, void *, void *)
{
  if (event == KV_EVT_SETTINGS_LOADED) g_modeAtEvent = ItemGetRaw(ctx, ITEM_kdmUIModeChange, NULL);
  return 0;
}

// Every preset read selects no stored preset (also one without the message flag, which the
// serializer itself leaves alone); the interface-mode switch is off while the read is
// followed up and on again at the end; the user quality the preset selects is saved.
TEST_F(PresetReadTest, PresetNumberModeSwitchAndUserQuality)
{
  MODULE_HOOK_ROW row = {0, nullptr, nullptr, nullptr, NoteMode};
  CtxAttachModuleTable(ctx_, &row, 1);
  std::u16string quality = U16(InListDir("q3.ksq").c_str());
  PutPrinterValue("QualityList3", InListDir("q3.ksq").c_str());
  for (DWORD flags : {0u, 0x8000u}) {
    SCOPED_TRACE(flags);
    ResetWork();
    DeleteFileW(quality.c_str());
    g_modeAtEvent = -1;
    WritePreset("kdmPresetNo=3\r\nkdmUIModeChange=1\r\nkdmUseUserMacro=1\r\nkdmUserPrintMacro=" +
                std::to_string(ItemValueIdToStored(ctx_, ItemFindById(ctx_, ITEM_kdmUserPrintMacro), 138)) +
                "\r\nkdmBrightness=6\r\n");
    ASSERT_EQ(1, StoreReadSettingsFile(printer_, kFile, flags, ctx_));
    EXPECT_EQ(255, Raw(ITEM_kdmPresetNo) & 0xFF);
    EXPECT_EQ(0, g_modeAtEvent);
    EXPECT_EQ(1, Raw(ITEM_kdmUIModeChange));
    ASSERT_EQ(3, ItemGetUserMacroIndex(ctx_));
    std::vector<std::string> keys = Keys(Read(quality.c_str()), Narrow(CtxGetPrinterName(ctx_)));
    EXPECT_TRUE(std::find(keys.begin(), keys.end(), "kdmBrightness=6") != keys.end());
  }
  // Other reads are not followed up.
  ResetWork();
  g_modeAtEvent = -1;
  WritePreset("kdmPresetNo=3\r\nkdmUIModeChange=1\r\n");
  ASSERT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0x20004, ctx_));
  EXPECT_EQ(-1, g_modeAtEvent);
  CtxAttachModuleTable(ctx_, nullptr, 0);
}

// A preset that is refused or cannot be read leaves the context and the lists as they
// were: nothing is followed up.
TEST_F(PresetReadTest, RefusedOrUnreadablePresetChangesNothing)
{
  IniWriteString(Lang().c_str(), u"StampCount", u"1", Ini().c_str());
  SetRaw(ITEM_kdmFuncSelectWaterMark, 1);
  SetRaw(ITEM_kdmWmID, 4);
  SetRaw(ITEM_kdmPresetNo, 2);
  std::vector<BYTE> before(ctx_->work, ctx_->work + fresh_.size());
  Write(kFile, "[" + Narrow(CtxGetDriverName(ctx_)) +
                   "]\r\nKstVersion=214\r\nKstMachine=192\r\nKstLanguage=1\r\nkdmBrightness=9\r\n");
  EXPECT_EQ(1, StoreReadSettingsFile(printer_, kFile, 0x8000, ctx_));
  EXPECT_EQ(1u, CtxGetSettingsFileStatus(ctx_));
  EXPECT_EQ(0, memcmp(before.data(), ctx_->work, before.size()));
  DeleteFileW(kFile);
  EXPECT_EQ(0, StoreReadSettingsFile(printer_, kFile, 0, ctx_));
  EXPECT_EQ(2u, CtxGetSettingsFileStatus(ctx_));
  EXPECT_EQ(0, memcmp(before.data(), ctx_->work, before.size()));
  EXPECT_EQ(1, ListGetStampCount(ctx_));
  EXPECT_EQ("", IniValue(StampSection(1).c_str(), u"wdmWmChar"));
  EXPECT_EQ(0u, OsSettingsMutexHeldCount());
}

// A quality file with a rejected header is rebuilt from the driver folder's file of the
// same name; the read still reports the rejection and leaves the context alone. Without a
// copy in the driver folder the file stays as it is.
TEST_F(PresetReadTest, RejectedQualityFileIsRebuiltFromTheDriverFolder)
{
  const WCHAR *file = u"C:\\kst\\quality1.ksq";
  const std::string printer = Narrow(CtxGetPrinterName(ctx_));
  const std::string rejected =
      "[" + printer + "]\r\nKstVersion=214\r\nKstMachine=192\r\nKstLanguage=1\r\nkdmBrightness=3\r\n";
  std::u16string copy = std::u16string(CtxGetDriverDir(ctx_)) + u"quality1.ksq";

  // No copy: untouched.
  Write(file, rejected);
  EXPECT_EQ(1, StoreReadSettingsFile(printer_, file, 0x10, ctx_));
  EXPECT_EQ(1u, CtxGetSettingsFileStatus(ctx_));
  EXPECT_EQ(rejected, Read(file));

  // With a copy: its language section becomes the file's printer section.
  Write(copy.c_str(), "[" + Narrow(CtxGetLangSection(ctx_)) + "]\r\nkdmBrightness=7\r\n");
  LONG brightness = Raw(ITEM_kdmBrightness);
  std::vector<BYTE> before(ctx_->work, ctx_->work + fresh_.size());
  EXPECT_EQ(1, StoreReadSettingsFile(printer_, file, 0x10, ctx_));
  EXPECT_EQ(1u, CtxGetSettingsFileStatus(ctx_));
  EXPECT_EQ(brightness, Raw(ITEM_kdmBrightness));
  EXPECT_EQ(0, memcmp(before.data(), ctx_->work, before.size()));
  std::vector<std::string> keys = Keys(Read(file), printer);
  ASSERT_FALSE(keys.empty());
  EXPECT_EQ("KstVersion=314", keys[0]);
  EXPECT_TRUE(std::find(keys.begin(), keys.end(), "kdmBrightness=7") != keys.end());
  // The rebuilt file is taken by the next read.
  EXPECT_EQ(1, StoreReadSettingsFile(printer_, file, 0x10, ctx_));
  EXPECT_EQ(0u, CtxGetSettingsFileStatus(ctx_));
  EXPECT_EQ(7, Raw(ITEM_kdmBrightness));
  EXPECT_EQ(0u, OsSettingsMutexHeldCount());
}

// Gives the context font lists of its own (2, 3 and 4 entries of patterned bytes), freeing
// any it had, and answers their bytes.
std::vector<std::string> GiveFontLists(DRIVER_CONTEXT *ctx)
{
  std::vector<std::string> bytes;
  LONG count = 2;
  for (const FONT_LIST_DEF &def : g_kvFontLists) {
    MemFree((void *)(intptr_t)ItemGetRaw(ctx, def.listId, nullptr));
    std::string b(count * def.entrySize, '\0');
    for (size_t i = 0; i < b.size(); ++i) b[i] = (char)(i * 7 + count);
    BYTE *list = (BYTE *)MemAllocZeroed((DWORD)b.size());
    memcpy(list, b.data(), b.size());
    ItemSetRaw(ctx, def.countId, count);
    ItemSetRaw(ctx, def.listId, (LONG)(intptr_t)list);
    bytes.push_back(b);
    ++count;
  }
  return bytes;
}

// The font lists of the work buffer are live blocks that hold the given bytes.
void ExpectFontLists(DRIVER_CONTEXT *ctx, const std::vector<std::string> &bytes)
{
  int n = 0;
  for (const FONT_LIST_DEF &def : g_kvFontLists) {
    SCOPED_TRACE(def.listId);
    const BYTE *list = (const BYTE *)(intptr_t)ItemGetRaw(ctx, def.listId, nullptr);
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(bytes[n].size(), GlobalSize((HGLOBAL)list)) << "a freed block answers 0";
    EXPECT_EQ(bytes[n], std::string((const char *)list, bytes[n].size()));
    ++n;
  }
}

// A preset write whose user quality comes from a rejected quality file rebuilds that file
// on a snapshot, whose rollback frees the font lists the work buffer held; the caller's
// settings come back with live lists of their own, and nothing is left allocated.
TEST_F(PresetReadTest, PresetWriteThatRebuildsTheQualityFileKeepsLiveFontLists)
{
  const WCHAR *quality = u"C:\\kst\\quality2.ksq";
  PutPrinterValue("QualityList2", "C:\\kst\\quality2.ksq");
  const std::string printer = Narrow(CtxGetPrinterName(ctx_));
  Write(quality, "[" + printer + "]\r\nKstVersion=214\r\nKstMachine=192\r\nKstLanguage=1\r\nkdmBrightness=3\r\n");
  std::u16string copy = std::u16string(CtxGetDriverDir(ctx_)) + u"quality2.ksq";
  Write(copy.c_str(), "[" + Narrow(CtxGetLangSection(ctx_)) + "]\r\nkdmBrightness=7\r\n");
  SetRaw(ITEM_kdmUseUserMacro, 1);
  ItemSetValue(ctx_, ITEM_kdmUserPrintMacro, 137);
  ASSERT_EQ(2, ItemGetUserMacroIndex(ctx_));
  std::vector<std::string> lists = GiveFontLists(ctx_);

  DWORD live = PlatMemLiveBlocks();
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  std::vector<std::string> keys = Keys(Read(quality), printer);
  EXPECT_TRUE(std::find(keys.begin(), keys.end(), "kdmBrightness=7") != keys.end()) << "the file was rebuilt";
  ExpectFontLists(ctx_, lists);
  EXPECT_EQ(live, PlatMemLiveBlocks());
  EXPECT_EQ(0, CtxGetSnapshotDepth(ctx_));

  // The same when the copy of the settings cannot be made: nothing is written.
  DeleteFileW(kFile);
  for (int n = 1; n <= 4; ++n) {
    SCOPED_TRACE(n);
    PlatFaultArm(PLAT_FAULT_ALLOC, n);  // the buffer, then each list
    EXPECT_EQ(0, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
    PlatFaultDisarmAll();
    EXPECT_FALSE(Exists(kFile));
    ExpectFontLists(ctx_, lists);
    EXPECT_EQ(live, PlatMemLiveBlocks());
  }
}

// A preset write carries the stored stamp, custom size and user quality the settings select and the
// public fields in step with the items, raises event 12, and puts the caller's settings
// back afterwards.
TEST_F(PresetReadTest, PresetWriteLoadsTheSelectedListsAndRestoresTheCaller)
{
  SetRaw(ITEM_kdmFuncSelectWaterMark, 1);
  SetText(ITEM_wdmWmChar, "STORED");
  ASSERT_EQ(1, ListSaveStamp(ctx_, 0));
  SetText(ITEM_wdmWmChar, "EDITED");
  SetRaw(ITEM_kdmOutPaperSize, 385);
  SetRaw(ITEM_wdmFreeSizeWidth, 1500);
  ASSERT_EQ(1, ListSaveFreeSize(ctx_, 1));
  SetRaw(ITEM_wdmFreeSizeWidth, 999);
  PutPrinterValue("QualityList2", InListDir("q2.ksq").c_str());
  SetRaw(ITEM_kdmBrightness, 8);
  SetRaw(ITEM_kdmUseUserMacro, 1);
  ItemSetValue(ctx_, ITEM_kdmUserPrintMacro, 137);
  ASSERT_EQ(1, ListSaveQuality(ctx_, 2));
  SetRaw(ITEM_kdmBrightness, 1);
  ASSERT_EQ(0, Raw(ITEM_dmPaperLength));

  RecordingModules rec;
  rec.Attach(ctx_);
  std::vector<BYTE> before(ctx_->work, ctx_->work + fresh_.size());
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0, ctx_));
  EXPECT_EQ(0, memcmp(before.data(), ctx_->work, before.size()));
  EXPECT_EQ(1, Events(rec, KV_EVT_USE_DEFAULT_FILES));
  std::vector<std::string> keys = Keys(Read(kFile), Narrow(CtxGetDriverName(ctx_)));
  auto has = [&](const char *line) { return std::find(keys.begin(), keys.end(), line) != keys.end(); };
  EXPECT_TRUE(has("wdmWmChar=STORED"));
  EXPECT_TRUE(has("wdmFreeSizeWidth=1500"));
  EXPECT_TRUE(has("kdmBrightness=8"));
  EXPECT_TRUE(has("dmPaperLength=2970"));  // A4, from the paper items
  EXPECT_EQ(0u, OsSettingsMutexHeldCount());

  // Other writes neither load the lists nor raise the event.
  rec.calls.clear();
  ASSERT_EQ(1, StoreWriteSettingsFile(printer_, kFile, 0x20, ctx_));
  EXPECT_EQ(0, Events(rec, KV_EVT_USE_DEFAULT_FILES));
  keys = Keys(Read(kFile), Narrow(CtxGetPrinterName(ctx_)));
  EXPECT_TRUE(has("wdmWmChar=EDITED"));
}

}  // namespace
