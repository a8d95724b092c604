// Font lists in printer data on whole contexts of the test printer: built from the sample
// description at the first open, read back at the next, written only when changed; the
// substitution table replaced safely; stored counts checked; reloads free the old arrays.
#include <string.h>

#include <vector>

#include "blob/desc_geometry.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"
#include "model/font_list_table.h"
#include "store_items_fixture.h"

namespace {

std::string ListBytes(DRIVER_CONTEXT *ctx, int row)
{
  const FONT_LIST_DEF &def = g_kvFontLists[row];
  LONG count = ItemGetRaw(ctx, def.countId, nullptr);
  const BYTE *array = reinterpret_cast<const BYTE *>(static_cast<intptr_t>(ItemGetRaw(ctx, def.listId, nullptr)));
  if (array == nullptr || count <= 0) return std::string();
  return std::string(reinterpret_cast<const char *>(array), static_cast<size_t>(count) * def.entrySize);
}

// Replaces the context's substitution table with n entries "<tag>TT<i>" -> "<tag>Dev<i>".
void SetSubstTable(DRIVER_CONTEXT *ctx, int n, const char *tag)
{
  const FONT_LIST_DEF &def = g_kvFontLists[KV_FONT_LIST_SUBST];
  MemFree(reinterpret_cast<void *>(static_cast<intptr_t>(ItemGetRaw(ctx, def.listId, nullptr))));
  auto *table = static_cast<DESC_FONT_SUBST *>(MemAllocZeroed(static_cast<DWORD>(n) * sizeof(DESC_FONT_SUBST)));
  for (int i = 0; i < n; ++i) {
    wsprintfW(table[i].name, u"%hsTT%d", tag, i + 1);
    wsprintfW(table[i].substitute, u"%hsDev%d", tag, i + 1);
  }
  ItemSetRaw(ctx, def.countId, n);
  ItemSetRaw(ctx, def.listId, static_cast<LONG>(reinterpret_cast<intptr_t>(table)));
}

std::string Half(const char *text)
{
  std::string out(64, '\0');
  for (size_t i = 0; text[i] != 0; ++i) out[2 * i] = text[i];
  return out;
}

}  // namespace

class FontListsTest : public SettingsStoreTest {
 protected:
  // The stored substitution table as "TT|Dev" names per pair 1..n, "<missing>" for a half.
  std::vector<std::string> StoredPairs(int n)
  {
    std::vector<std::string> out;
    WCHAR name[64];
    for (int i = 1; i <= n; ++i) {
      wsprintfW(name, KV_PD_TT_FONT_TABLE, i);
      std::string a = GetData(name);
      wsprintfW(name, KV_PD_DEV_FONT_TABLE, i);
      std::string b = GetData(name);
      out.push_back(NarrowW(reinterpret_cast<const WCHAR *>((a + std::string(2, '\0')).c_str())) + "|" +
                    NarrowW(reinterpret_cast<const WCHAR *>((b + std::string(2, '\0')).c_str())));
    }
    return out;
  }
  std::vector<std::string> Expected(int n, const char *tag)
  {
    std::vector<std::string> out;
    for (int i = 1; i <= n; ++i)
      out.push_back(std::string(tag) + "TT" + std::to_string(i) + "|" + tag + "Dev" + std::to_string(i));
    return out;
  }
};

TEST_F(FontListsTest, FirstOpenStoresTheDescriptionsListsAndTheNextReadsThem)
{
  DRIVER_CONTEXT *a = Open();
  ASSERT_NE(nullptr, a);
  DWORD devices = 0, options = 0, pairs = 0;
  DESC_FONT_ENTRY *d = DescGetDeviceFonts(a, &devices);
  DESC_FONT_ENTRY *o = DescGetFontCartridges(a, &options);
  DESC_FONT_SUBST *t = DescGetFontTable(a, &pairs);
  ASSERT_TRUE(d && o && t);
  ASSERT_GT(devices, 1u);
  ASSERT_GT(pairs, 1u);
  std::string wantDevices = Bytes(d, devices * sizeof *d), wantOptions = Bytes(o, options * sizeof *o);
  std::string wantTable = Bytes(t, pairs * sizeof *t);
  EXPECT_EQ(Le(devices, 2), GetData(KV_PD_DEVICE_FONT_NUM));
  EXPECT_EQ(wantDevices, GetData(KV_PD_DEVICE_FONT));
  EXPECT_EQ(Le(options, 2), GetData(KV_PD_OPTION_FONT_NUM));
  EXPECT_EQ(wantOptions, GetData(KV_PD_OPTION_FONT));
  EXPECT_EQ(Le(pairs, 2), GetData(KV_PD_FONT_TABLE_NUM));
  EXPECT_EQ(Le(pairs, 2), GetData(KV_PD_LAST_FONT_TABLE_NUM));
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(t[0].name), 64), GetData(u"TTFontTable1"));
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(t[0].substitute), 64), GetData(u"DevFontTable1"));
  EXPECT_EQ(wantDevices, ListBytes(a, KV_FONT_LIST_DEVICE));
  MemFree(d);
  MemFree(o);
  MemFree(t);
  Close(a);

  DRIVER_CONTEXT *b = Open();
  ASSERT_NE(nullptr, b);
  EXPECT_EQ(wantDevices, ListBytes(b, KV_FONT_LIST_DEVICE));
  EXPECT_EQ(wantOptions, ListBytes(b, KV_FONT_LIST_OPTION));
  EXPECT_EQ(wantTable, ListBytes(b, KV_FONT_LIST_SUBST));
  // Right after loading nothing differs from the baseline: no value is written (a write
  // would meet the refused one and be reported).
  PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 1);
  DWORD status = 1;
  EXPECT_EQ(1, StoreSaveFontListsStatus(printer_, b, &status));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), status);
  PlatFaultDisarmAll();
  Close(b);
}

TEST_F(FontListsTest, ShorterSubstitutionTableDeletesTheSurplusPairs)
{
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  SetSubstTable(ctx, 5, "a");
  EXPECT_EQ(1, StoreSaveFontSubstTable(printer_, ctx, 0));
  EXPECT_EQ(Expected(5, "a"), StoredPairs(5));
  SetSubstTable(ctx, 3, "b");
  EXPECT_EQ(1, StoreSaveFontSubstTable(printer_, ctx, 0));
  EXPECT_EQ(Expected(3, "b"), StoredPairs(3));
  EXPECT_EQ("<missing>", GetData(u"TTFontTable4"));
  EXPECT_EQ("<missing>", GetData(u"DevFontTable5"));
  EXPECT_EQ(Le(3, 2), GetData(KV_PD_LAST_FONT_TABLE_NUM));
  EXPECT_EQ(Le(3, 2), GetData(KV_PD_FONT_TABLE_NUM));
  // An empty table: the counts become 0 and every pair goes.
  SetSubstTable(ctx, 0, "c");
  FONT_SUBST_WRITE empty = {printer_, reinterpret_cast<const BYTE *>(""), 0, 0};
  EXPECT_EQ(1, StoreWriteFontSubstEntries(&empty));
  EXPECT_EQ(Le(0, 2), GetData(KV_PD_FONT_TABLE_NUM));
  EXPECT_EQ("<missing>", GetData(u"TTFontTable1"));
  FONT_SUBST_WRITE none = {printer_, nullptr, 2, 0};
  EXPECT_EQ(0, StoreWriteFontSubstEntries(&none));
  EXPECT_EQ(0, StoreWriteFontSubstEntries(nullptr));
  Close(ctx);
}

TEST_F(FontListsTest, SubstitutionWriteFailingAnywhereKeepsATableWhole)
{
  // Writes of a 3-entry table over a 5-entry one: six halves, the count, the last count.
  for (DWORD failing = 1; failing <= 8; ++failing) {
    SCOPED_TRACE("failing write " + std::to_string(failing));
    DRIVER_CONTEXT *ctx = Open();
    ASSERT_NE(nullptr, ctx);
    SetSubstTable(ctx, 5, "old");
    ASSERT_EQ(1, StoreSaveFontSubstTable(printer_, ctx, 0));
    SetSubstTable(ctx, 3, "new");
    PlatFaultArm(PLAT_FAULT_PRINTER_DATA, failing);
    EXPECT_EQ(0, StoreSaveFontSubstTable(printer_, ctx, 0));
    PlatFaultDisarmAll();
    if (failing <= 7) {
      EXPECT_EQ(Expected(5, "old"), StoredPairs(5)) << "the old table stands whole";
      EXPECT_EQ(Le(5, 2), GetData(KV_PD_FONT_TABLE_NUM));
    } else {
      EXPECT_EQ(Expected(3, "new"), StoredPairs(3)) << "the new table stands; its surplus went";
      EXPECT_EQ(Le(3, 2), GetData(KV_PD_FONT_TABLE_NUM));
      EXPECT_EQ("<missing>", GetData(u"TTFontTable4"));
    }
    // Whatever stands loads whole, and the next write clears every pair it left.
    EXPECT_EQ(1, StoreLoadFontSubstTable(printer_, ctx));
    EXPECT_EQ(failing <= 7 ? 5 : 3, Raw(ctx, ITEM_kdmFontTableNum));
    SetSubstTable(ctx, 1, "z");
    ASSERT_EQ(1, StoreSaveFontSubstTable(printer_, ctx, 0));
    EXPECT_EQ("<missing>", GetData(u"TTFontTable2"));
    Close(ctx);
  }
}

TEST_F(FontListsTest, DeviceFontWriteFailureKeepsTheStoredList)
{
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  std::string count = GetData(KV_PD_DEVICE_FONT_NUM), list = GetData(KV_PD_DEVICE_FONT);
  ASSERT_NE("<missing>", list);
  ItemSetRaw(ctx, ITEM_kdmDeviceFontNum, 2);  // a shorter list of the same entries
  for (DWORD failing = 1; failing <= 2; ++failing) {
    PlatFaultArm(PLAT_FAULT_PRINTER_DATA, failing);
    EXPECT_EQ(0, StoreSaveDeviceFonts(printer_, ctx, KV_FONTS_IF_CHANGED));
    PlatFaultDisarmAll();
    EXPECT_EQ(count, GetData(KV_PD_DEVICE_FONT_NUM));
    EXPECT_EQ(list, GetData(KV_PD_DEVICE_FONT));
  }
  DWORD status = ERROR_SUCCESS;
  PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 1);
  EXPECT_EQ(1, StoreSaveFontListsStatus(printer_, ctx, &status)) << "the answer stays 1";
  EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), status);
  EXPECT_EQ(status, GetLastError());
  PlatFaultDisarmAll();
  EXPECT_EQ(1, StoreSaveDeviceFonts(printer_, ctx, KV_FONTS_IF_CHANGED));
  EXPECT_EQ(Le(2, 2), GetData(KV_PD_DEVICE_FONT_NUM));
  EXPECT_EQ(list.substr(0, 2 * 68), GetData(KV_PD_DEVICE_FONT));
  Close(ctx);
}

TEST_F(FontListsTest, BadStoredCountsAndArraysAreRefused)
{
  const struct {
    const char *what;
    std::string count;
    int arrayEntries;  // entries of 68 bytes stored as "DeviceFont"
  } cases[] = {
      {"negative count", Le(0xFFFF, 2), 2},
      {"count above the limit", Le(KV_FONT_LIST_MAX_ENTRIES + 1, 2), 2},
      {"count 0", Le(0, 2), 2},
      {"array shorter than the count", Le(3, 2), 2},
      {"array longer than the count", Le(1, 2), 2},
      {"count of 4 bytes", Le(2, 4), 2},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    PutData(KV_PD_DEVICE_FONT_NUM, c.count);
    PutData(KV_PD_DEVICE_FONT, std::string(static_cast<size_t>(c.arrayEntries) * 68, 'f'));
    DRIVER_CONTEXT *ctx = Open();
    ASSERT_NE(nullptr, ctx);
    EXPECT_EQ(0, StoreLoadDeviceFonts(printer_, ctx));
    EXPECT_EQ(0, Raw(ctx, ITEM_kdmDeviceFontNum));
    EXPECT_EQ(0, Raw(ctx, ITEM_kdmDeviceFont));
    EXPECT_EQ(c.count, GetData(KV_PD_DEVICE_FONT_NUM)) << "a stored list is never overwritten by a load";
    Close(ctx);
  }
  PutData(KV_PD_FONT_TABLE_NUM, Le(0x8000, 2));
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  EXPECT_EQ(0, StoreLoadFontSubstTable(printer_, ctx));
  EXPECT_EQ(0, Raw(ctx, ITEM_kdmFontTableNum));
  // A missing pair leaves the whole table unloaded.
  SetSubstTable(ctx, 3, "p");
  ASSERT_EQ(1, StoreSaveFontSubstTable(printer_, ctx, 0));
  DeleteData(u"DevFontTable2");
  EXPECT_EQ(0, StoreLoadFontSubstTable(printer_, ctx));
  EXPECT_EQ(0, Raw(ctx, ITEM_kdmFontTable));
  BYTE dest[3 * 128];
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), StoreReadFontSubstEntries(printer_, dest, 3, 0));
  EXPECT_EQ(std::string(128, '\0'), Bytes(dest + 128, 128)) << "the failed pair is emptied";
  EXPECT_EQ(Half("pTT1"), Bytes(dest, 64));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), StoreReadFontSubstEntries(printer_, nullptr, 3, 0));
  // Counts the context holds that are outside the range are not saved.
  for (LONG bad : {-1L, static_cast<LONG>(KV_FONT_LIST_MAX_ENTRIES) + 1}) {
    ItemSetRaw(ctx, ITEM_kdmOptionFontNum, bad);
    EXPECT_EQ(0, StoreSaveOptionFonts(printer_, ctx, 0));
    ItemSetRaw(ctx, ITEM_kdmFontTableNum, bad);
    EXPECT_EQ(0, StoreSaveFontSubstTable(printer_, ctx, 0));
  }
  ItemSetRaw(ctx, ITEM_kdmOptionFontNum, 0);
  ItemSetRaw(ctx, ITEM_kdmFontTableNum, 0);
  Close(ctx);
}

TEST_F(FontListsTest, ReloadingFreesTheArraysItReplaces)
{
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  ASSERT_EQ(1, StoreLoadFontLists(printer_, ctx));
  DWORD live = PlatMemLiveBlocks();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(1, StoreLoadFontLists(printer_, ctx));
  EXPECT_EQ(live, PlatMemLiveBlocks());
  // After freeing, no pointer is left to a freed array; the counts stay as they were.
  LONG devices = Raw(ctx, ITEM_kdmDeviceFontNum);
  EXPECT_EQ(1, StoreFreeFontLists(ctx));
  EXPECT_EQ(0, Raw(ctx, ITEM_kdmDeviceFont));
  EXPECT_EQ(devices, Raw(ctx, ITEM_kdmDeviceFontNum));
  Close(ctx);
}

TEST_F(FontListsTest, WithoutRightsOrTableNothingIsStored)
{
  // A user who may not write printer data opens a new printer: the lists stay empty.
  PlatSpoolSetAccess(FALSE, TRUE);
  DRIVER_CONTEXT *user = Open();
  ASSERT_NE(nullptr, user);
  EXPECT_EQ(0, Raw(user, ITEM_kdmDeviceFontNum));
  EXPECT_EQ("<missing>", GetData(KV_PD_DEVICE_FONT_NUM));
  EXPECT_EQ(1, StoreLoadFontLists(printer_, user));
  DWORD status = ERROR_SUCCESS;
  EXPECT_EQ(1, StoreSaveModelFontListsStatus(printer_, user, &status));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), status);
  Close(user);
  PlatSpoolSetAccess(FALSE, FALSE);

  // A description without a substitution table writes none, and every load tries again.
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  DeleteData(KV_PD_FONT_TABLE_NUM);
  DESC_BLOB *desc = ctx->desc;
  ctx->desc = nullptr;
  EXPECT_EQ(1, StoreLoadFontSubstTable(printer_, ctx));
  EXPECT_EQ("<missing>", GetData(KV_PD_FONT_TABLE_NUM));
  EXPECT_EQ(0, Raw(ctx, ITEM_kdmFontTableNum));
  ctx->desc = desc;
  EXPECT_EQ(1, StoreLoadFontSubstTable(printer_, ctx));
  EXPECT_NE("<missing>", GetData(KV_PD_FONT_TABLE_NUM));
  Close(ctx);
}

TEST_F(FontListsTest, DefaultSubstitutionSetIsWrittenOnce)
{
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  DWORD pairs = 0;
  DESC_FONT_SUBST *t = DescGetFontTable(ctx, &pairs);
  ASSERT_NE(nullptr, t);
  EXPECT_EQ(1, StoreInitDefaultFontSubstTable(printer_, ctx));
  EXPECT_EQ(Le(pairs, 2), GetData(KV_PD_DEF_FONT_TABLE_NUM));
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(t[pairs - 1].substitute), 64),
            GetData((u"DevFontDefTable" + std::u16string(1, static_cast<WCHAR>(u'0' + pairs))).c_str()));
  EXPECT_EQ(Le(pairs, 2), GetData(KV_PD_LAST_FONT_TABLE_NUM)) << "the table's own counts are not touched";
  PutData(u"TTFontDefTable1", "changed");
  EXPECT_EQ(1, StoreInitDefaultFontSubstTable(printer_, ctx));
  EXPECT_EQ("changed", GetData(u"TTFontDefTable1")) << "an existing default set stays";
  MemFree(t);
  Close(ctx);
}
