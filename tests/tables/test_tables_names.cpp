// The names table, value symbols, alert messages, translation tables, listed values and groups.
#include <map>
#include <set>
#include <vector>

#include "tables_util.h"

namespace {

// All parts of a table, without their end rows.
std::vector<std::vector<VALUE_XLAT_ROW>> Parts(const KV_XLAT_TABLE_REF &t)
{
  std::vector<std::vector<VALUE_XLAT_ROW>> parts(1);
  for (int i = 0; i < t.rowCount; ++i) {
    if (t.rows[i].valueId == 0) {
      if (i + 1 < t.rowCount) parts.emplace_back();
      continue;
    }
    parts.back().push_back(t.rows[i]);
  }
  return parts;
}

const KV_XLAT_TABLE_REF *TableOf(const OPTION_ITEM *it)
{
  for (int i = 0; i < g_kvXlatTableCount; ++i)
    if (g_kvXlatTables[i].rows == it->xlat) return &g_kvXlatTables[i];
  return nullptr;
}

}  // namespace

TEST(Names, KeysAndNamesAreUniqueAndNameExistingItems)
{
  ASSERT_EQ(g_kvSymbolCount, 785);
  std::set<int> keys;
  std::set<std::string> names;
  for (int i = 0; i < g_kvSymbolCount; ++i) {
    const SYMBOL_ENTRY &s = g_kvSymbols[i];
    EXPECT_NE(s.key, 0) << s.name;
    EXPECT_TRUE(keys.insert(s.key).second) << "key " << s.key << " used twice";
    EXPECT_TRUE(names.insert(s.name).second) << s.name;
    if (s.itemId) {
      EXPECT_NE(RowOf(s.itemId), nullptr) << s.name << " names item " << s.itemId;
    }
  }
}

TEST(Names, FixedKeysAndItemBindings)
{
  const char *buttons[] = {"IDOKBUTTON",     "IDCANCELBUTTON", "IDABORTBUTTON", "IDRETRYBUTTON",
                           "IDIGNOREBUTTON", "IDYESBUTTON",    "IDNOBUTTON"};
  for (int k = 0; k < 7; ++k) {
    const SYMBOL_ENTRY *s = SymbolNamed(buttons[k]);
    ASSERT_NE(s, nullptr) << buttons[k];
    EXPECT_EQ(s->key, k + 1) << "a button's key is the message-box result";
  }
  ASSERT_NE(SymbolNamed("IDHELPBUTTON"), nullptr);
  struct C {
    const char *name;
    int key;
    int item;
  };
  for (C c : {C{"KPD_RADIOLIST_5", 234, 178}, C{"KPD_RADIOLIST_6", 238, 15}, C{"KPD_RADIOLIST_1", 256, 7}}) {
    const SYMBOL_ENTRY *s = SymbolNamed(c.name);
    ASSERT_NE(s, nullptr) << c.name;
    EXPECT_EQ(s->key, c.key) << c.name;
    EXPECT_EQ(s->itemId, c.item) << c.name;
  }
  struct I {
    const char *name;
    int item;
  };
  for (I c : {I{"KPD_kdmTaskWeave", 608},
              I{"KPD_kdmCallSrc", 609},
              I{"KPD_kdmOSKind", 610},
              I{"KPD_kdmTSE", 623},
              I{"KPD_kdmAdmin", 624},
              I{"KPD_kdmBidiFunc", 625},
              I{"KPD_PrintPaperOrient", 722},
              I{"KPD_SameSizeAuto", 723},
              I{"KPD_SameSizeManual", 729},
              I{"KPD_ForceFeedLand", 731},
              I{"KPD_ResolutionOverCheck", 738},
              I{"KPD_A4FitCondition", 751},
              I{"KPD_SameMediaTray2", 753},
              I{"KPD_IDC_INIT_CHOICE_PRINTAREA", 173},
              I{"KPD_IDC_SETUP_CHOICE_PRESETNAME2", 37},
              I{"KPD_IDD_DIALOG_INIT", 0},
              I{"KPD_ConvertDevmode", 0},
              I{"KPD_ConditionOption", 0},
              I{"KPD_wdmBuiltInFunc", 920},
              I{"KPD_wdmConvertVersion", 922},
              I{"KPD_kdmSourceOptionTypeDuplex", 10014}}) {
    const SYMBOL_ENTRY *s = SymbolNamed(c.name);
    ASSERT_NE(s, nullptr) << c.name;
    EXPECT_EQ(s->itemId, c.item) << c.name;
  }
}

TEST(Names, OptionRowKeysPointAtTheirItemsNames)
{
  int keyed = 0;
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM &it = g_kvOptionItems[i];
    if (!it.symbolKey) continue;
    keyed++;
    const SYMBOL_ENTRY *s = SymbolKeyed(it.symbolKey);
    ASSERT_NE(s, nullptr) << "item " << it.id;
    EXPECT_EQ(s->itemId, it.id) << "item " << it.id << " carries the key of " << s->name;
  }
  EXPECT_GT(keyed, 300);
  // Every names-table entry that names an item is reachable from that item's row or is a
  // second name of an item that already has one.
  for (int i = 0; i < g_kvSymbolCount; ++i) {
    const SYMBOL_ENTRY &s = g_kvSymbols[i];
    if (s.itemId) {
      EXPECT_NE(RowOf(s.itemId)->symbolKey, 0) << s.name;
    }
  }
  // A control-bound item carries the key of the first control bound to it.
  EXPECT_EQ(RowOf(37)->symbolKey, SymbolNamed("KPD_IDC_SETUP_CHOICE_PRESETNAME")->key);
  EXPECT_EQ(RowOf(7)->symbolKey, 256);
  EXPECT_EQ(RowOf(609)->symbolKey, SymbolNamed("KPD_kdmCallSrc")->key);
}

TEST(ValueSymbols, RowsReferToExistingItemsOwnersAndTranslations)
{
  ASSERT_EQ(g_kvValueSymbolCount, 1473);
  std::map<std::string, int> idOfName;
  std::set<std::pair<int, int>> pairs;
  for (int i = 0; i < g_kvValueSymbolCount; ++i) {
    const VALUE_SYMBOL &v = g_kvValueSymbols[i];
    auto [pos, fresh] = idOfName.emplace(v.name, v.valueId);
    EXPECT_EQ(pos->second, v.valueId) << v.name << " stands for two value ids";
    EXPECT_TRUE(pairs.insert({v.itemId, v.valueId}).second) << v.name << " repeats item/value";
    EXPECT_NE(v.valueId, 0xFFFF) << v.name;
    if (v.ownerKey) {
      EXPECT_NE(SymbolKeyed(v.ownerKey), nullptr) << v.name;
    }
    if (v.itemId == 0) {
      EXPECT_EQ(v.isStored, 0u) << v.name;
      continue;
    }
    EXPECT_EQ(v.isStored, 1u) << v.name;
    const OPTION_ITEM *it = RowOf(v.itemId);
    ASSERT_NE(it, nullptr) << v.name;
    EXPECT_EQ(v.ownerKey, it->symbolKey) << v.name;
    // The stored value is the one the item's table gives the value id (the id itself without one).
    if (!it->xlat) {
      EXPECT_EQ(v.storedValue, (LONG)v.valueId) << v.name;
    } else {
      bool found = false;
      for (const auto &part : Parts(*TableOf(it)))
        for (const VALUE_XLAT_ROW &r : part)
          if (r.valueId == v.valueId) found = found || r.stored == v.storedValue;
      EXPECT_TRUE(found) << v.name << " of item " << v.itemId;
    }
  }
}

TEST(ValueSymbols, NamedValuesOfTheStateItemsAndExamples)
{
  struct C {
    const char *name;
    int item;
    int value;
    LONG stored;
  };
  const C cases[] = {
      {"KDMTASKWEAVE_OFF", 608, 0, 0},
      {"KDMTASKWEAVE_SAPASS", 608, 5, 5},
      {"KDMCALLSRC_PROPERTY", 609, 1, 1},
      {"KDMOSKIND_98", 610, 3, 3},
      {"KDMPRESENTUIMODE_PRESET", 615, 1, 1},
      {"KDMSERVERCLIENT_CLIENT", 617, 1, 1},
      {"KDMADMIN_ON", 624, 1, 1},
      {"KDMDRIVERTYPE_EXP", 242, 1, 1},
      {"KDMSORT_SHIFT", 119, 4, 4},
      {"KDMDEFOUT_MAILBIN9", 53, 23, 23},
      {"IDS_FREESIZE4", 8, 112, 387},
      {"IDS_PRINTSIZE_SAME", 46, 52, 1024},
      {"IDS_PAPERSIZE_A4FIT", 46, 39, 1025},
      {"IDS_PAPERSIZE_LTFIT", 46, 38, 1026},
      {"IDS_PRINTTYPE_OVERLAY", 209, 432, 7},
      {"IDS_ORIENTATION_LANDSCAPE", 7, 2043, 2},
  };
  for (const C &c : cases) {
    const VALUE_SYMBOL *found = nullptr;
    for (int i = 0; i < g_kvValueSymbolCount && !found; ++i)
      if (g_kvValueSymbols[i].itemId == c.item && strcmp(g_kvValueSymbols[i].name, c.name) == 0)
        found = &g_kvValueSymbols[i];
    ASSERT_NE(found, nullptr) << c.name;
    EXPECT_EQ(found->valueId, c.value) << c.name;
    EXPECT_EQ(found->storedValue, c.stored) << c.name;
  }
}

TEST(Messages, AllRowsAsGiven)
{
  ASSERT_EQ(g_kvMessageCount, 23);
  const int text[] = {10001, 10002, 10008, 10011, 10009, 10019, 10021, 10016, 10029, 10030, 10031, 10022,
                      10003, 10044, 10055, 10061, 10062, 10058, 10059, 10035, 10063, 10064, 27353};
  const char *names[] = {"KPD_ScaleIllegalMessage",     "KPD_CopiesIllegalMessage",       "KPD_DeviceNotExistMessage",
                         "KPD_StoredIllegalMessage",    "KPD_MargeIllegalMessage",        "KPD_DuplexOnMessage",
                         "KPD_MarginIllegalMessage",    "KPD_MainteDelMessage",           "KPD_StampDelMessage",
                         "KPD_StampBuffNullMessage",    "KPD_PresetSaveMessage",          "KPD_FreeSizeIllegalMessage",
                         "KPD_PrintSizeIllegalMessage", "KPD_ResolutionSizeOverMessage",  "KPD_NupOnMessage",
                         "KPD_OverlayBuffNullMessage",  "KPD_OverlaySaveBuffNullMessage", "KPD_OverlayStampMessage",
                         "KPD_OverlayIllegalMessage",   "KPD_FaceDownOnMessage",          "KPD_DryTimeIllegalMessage",
                         "KPD_SourceManualMessage",     "KPD_DuplexDryTimeIllegalMessage"};
  for (int k = 0; k < 23; ++k) {
    const MESSAGE_ENTRY &m = g_kvMessages[k];
    EXPECT_EQ(m.key, 166 + k);
    EXPECT_EQ(m.textId, text[k]);
    EXPECT_STREQ(m.name, names[k]);
    // The alert names are names-table entries with the same key.
    const SYMBOL_ENTRY *s = SymbolNamed(names[k]);
    ASSERT_NE(s, nullptr) << names[k];
    EXPECT_EQ(s->key, m.key);
  }
}

TEST(Translation, TablesEndProperlyAndBelongToTheirItems)
{
  int rowsWithTable = 0;
  std::set<const VALUE_XLAT_ROW *> used;
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM &it = g_kvOptionItems[i];
    if (!it.xlat) continue;
    rowsWithTable++;
    EXPECT_TRUE(used.insert(it.xlat).second) << "item " << it.id << " shares a table";
    const KV_XLAT_TABLE_REF *t = TableOf(&it);
    ASSERT_NE(t, nullptr) << it.id;
    EXPECT_EQ(Ascii(it.name), t->name) << "a table is named after its item";
    ASSERT_GT(t->rowCount, 1);
    EXPECT_EQ(t->rows[t->rowCount - 1].valueId, 0) << t->name << " lacks its end row";
    EXPECT_EQ(t->rows[0].valueId == 0, false) << t->name << " starts with an end row";
    auto parts = Parts(*t);
    EXPECT_LE(parts.size(), 2u) << t->name;
    for (const auto &part : parts) EXPECT_FALSE(part.empty()) << t->name;
    for (int r = 0; r < t->rowCount; ++r) EXPECT_EQ(t->rows[r].reserved, 0);
    // The items that switch to a second part carry one; the others have a single part.
    bool twoParts = it.id == 92 || it.id == 94 || it.id == 120 || it.id == 121 || (it.id >= 857 && it.id <= 860);
    EXPECT_EQ(parts.size(), twoParts ? 2u : 1u) << t->name;
  }
  EXPECT_EQ(rowsWithTable, 45);
  EXPECT_EQ(g_kvXlatTableCount, 45);
  for (const char *name :
       {"dmOrientation", "dmPaperSize", "dmDefaultSource", "dmColor", "kdmPresetNo", "kdmOutPaperSize", "kdmMediaType",
        "kdmNUPType", "kdmDuplexType", "kdmPrnMethod", "kdmTray1Paper", "kdmTray2Paper", "kdmTray1Media",
        "wdmFreeSizeTray", "wdmFreeSizeOrient", "wdmNUPType", "wdmDuplexType"}) {
    const OPTION_ITEM *it = RowNamed(name);
    ASSERT_NE(it, nullptr) << name;
    EXPECT_NE(it->xlat, nullptr) << name;
  }
}

TEST(Translation, GivenTablesExactly)
{
  const VALUE_XLAT_ROW orientation[] = {{1, 2042, 0}, {2, 2043, 0}, {0, 0, 0}};
  const VALUE_XLAT_ROW method[] = {{0, 53, 0}, {1, 0xFFFF, 0}, {2, 0xFFFF, 0}, {3, 0xFFFF, 0}, {4, 0xFFFF, 0},
                                   {5, 54, 0}, {6, 0xFFFF, 0}, {7, 432, 0},    {0, 0, 0}};
  auto same = [](const OPTION_ITEM *it, const VALUE_XLAT_ROW *want, int n) {
    const KV_XLAT_TABLE_REF *t = TableOf(it);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->rowCount, n);
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(t->rows[i].stored, want[i].stored) << i;
      EXPECT_EQ(t->rows[i].valueId, want[i].valueId) << i;
    }
  };
  same(RowOf(7), orientation, 3);
  same(RowOf(209), method, 9);
  // Stored 2 reads 2043; a stored 3 passes unchanged; a 0xFFFF row passes its stored value.
  EXPECT_EQ(FirstPartValueId(RowOf(7)->xlat, 2), 2043);
  EXPECT_EQ(FirstPartValueId(RowOf(7)->xlat, 3), 3);
  EXPECT_EQ(FirstPartValueId(RowOf(209)->xlat, 1), 1);
  // The other fixed translations: presets, custom sizes and the regional output sizes.
  EXPECT_EQ(FirstPartValueId(RowOf(37)->xlat, -1), 118);
  EXPECT_EQ(FirstPartValueId(RowOf(37)->xlat, 15), 134);
  EXPECT_EQ(FirstPartValueId(RowOf(8)->xlat, 387), 112);
  EXPECT_EQ(FirstPartValueId(RowOf(46)->xlat, 1024), 52);
  EXPECT_EQ(FirstPartValueId(RowOf(46)->xlat, 1025), 39);
  EXPECT_EQ(FirstPartValueId(RowOf(46)->xlat, 1026), 38);
  EXPECT_EQ(FirstPartValueId(RowOf(15)->xlat, 1), 2018);
  EXPECT_EQ(FirstPartValueId(RowOf(15)->xlat, 2), 2019);
}

TEST(Translation, RadioButtonsStandForValuesOfTheirItems)
{
  // A radio button's control id is the value id it stands for, so its item translates to it.
  for (int d = 0; d < g_kvDialogCount; ++d) {
    const DIALOG_RECORD &dlg = g_kvDialogs[d];
    for (int c = 0; c < dlg.controlCount; ++c) {
      const CONTROL_RECORD &ctl = dlg.controls[c];
      if (ctl.type != 41) continue;
      ASSERT_NE(ctl.item, nullptr) << ctl.controlId;
      ASSERT_NE(ctl.item->xlat, nullptr) << "radio item " << ctl.item->id;
      bool found = false;
      for (const VALUE_XLAT_ROW *r = ctl.item->xlat; r->valueId; ++r) found = found || r->valueId == ctl.controlId;
      EXPECT_TRUE(found) << "control " << ctl.controlId << " is no value of item " << ctl.item->id;
    }
  }
}

TEST(ValueLists, CountsEndRowAndExistingItems)
{
  ASSERT_EQ(g_kvItemValueListCount, 218);
  EXPECT_EQ(g_kvItemValueLists[218].key, 0);
  EXPECT_EQ(g_kvItemValueLists[218].values, nullptr);
  std::set<int> keys;
  for (int i = 0; i < 218; ++i) {
    const VALUE_LIST_ROW &r = g_kvItemValueLists[i];
    EXPECT_NE(RowOf(r.key), nullptr) << "list of missing item " << r.key;
    EXPECT_TRUE(keys.insert(r.key).second) << r.key;
    EXPECT_GT(r.count, 0u) << r.key;
    EXPECT_NE(r.values, nullptr);
  }
  const std::vector<LONG> res = {150, 200, 300, 400, 600, 1200, 2400};
  for (int item : {14, 17}) {
    const VALUE_LIST_ROW *r = ListOf(item);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::vector<LONG>(r->values, r->values + r->count), res) << item;
  }
  ASSERT_NE(ListOf(36), nullptr);
  EXPECT_EQ(std::vector<LONG>(ListOf(36)->values, ListOf(36)->values + ListOf(36)->count), (std::vector<LONG>{0, 1}));
  EXPECT_EQ(ListOf(8)->count, 34u);
  for (LONG p : {1, 9, 14, 513, 514, 517}) EXPECT_TRUE(Listed(8, p)) << p;
  for (int id = 10175; id <= 10238; ++id) EXPECT_NE(ListOf(id), nullptr) << id;
}

TEST(ValueLists, AllowedListHandlersFindTheirResetValueListed)
{
  // Items whose check keeps a listed value and otherwise writes a fixed replacement: the
  // replacement must itself be listed.
  const std::pair<int, LONG> rows[] = {
      {36, 1},  {53, 0},  {54, 1},    {87, 2},  {88, 0},    {91, 1},  {92, 1},  {93, 1},   {94, 3},   {95, 1},
      {108, 2}, {109, 4}, {110, 6},   {111, 0}, {112, 5},   {113, 0}, {117, 1}, {119, 2},  {120, 0},  {121, 0},
      {122, 0}, {124, 0}, {126, 0},   {128, 0}, {129, 0},   {130, 0}, {131, 0}, {132, 1},  {133, 1},  {134, 0},
      {135, 0}, {136, 0}, {137, 257}, {174, 0}, {175, 0},   {176, 0}, {177, 0}, {178, 18}, {179, 32}, {180, 1},
      {181, 0}, {182, 1}, {199, 0},   {200, 0}, {201, 255}, {209, 0}, {227, 0}, {228, 0},  {229, 0},  {232, 1},
      {242, 0}, {243, 0}, {398, 0},   {404, 1}, {405, 1},   {406, 1}, {407, 1}};
  for (auto [item, reset] : rows) EXPECT_TRUE(Listed(item, reset)) << "item " << item << " value " << reset;
  for (int item : {38, 39, 171, 173}) EXPECT_NE(ListOf(item), nullptr) << item;
}

TEST(ValueLists, ListedValuesOfTranslatedItemsAreMapped)
{
  for (const VALUE_LIST_ROW *r = g_kvItemValueLists; r->key; ++r) {
    const OPTION_ITEM *it = RowOf(r->key);
    if (!it->xlat) continue;
    for (DWORD i = 0; i < r->count; ++i) {
      bool mapped = false;
      for (const VALUE_XLAT_ROW *x = it->xlat; x->valueId; ++x) mapped = mapped || x->stored == r->values[i];
      EXPECT_TRUE(mapped) << "item " << it->id << " value " << r->values[i];
    }
  }
}

TEST(Groups, ThirteenGroupsAsGiven)
{
  ASSERT_EQ(g_kvItemGroupCount, 13);
  EXPECT_EQ(g_kvItemGroups[13].key, 0);
  auto range = [](LONG a, LONG b) {
    std::vector<LONG> v;
    for (LONG i = a; i <= b; ++i) v.push_back(i);
    return v;
  };
  std::vector<LONG> g7 = range(10046, 10109);
  for (LONG i : range(10290, 10353)) g7.push_back(i);
  const std::vector<std::vector<LONG>> want = {{1, 17, 20},
                                               {2, 3, 18, 19, 21, 22},
                                               range(10004, 10009),
                                               range(1, 5),
                                               range(1, 5),
                                               range(10001, 10011),
                                               range(10014, 10045),
                                               g7,
                                               range(10111, 10174),
                                               {18, 19},
                                               {21, 22},
                                               {17},
                                               {20}};
  for (int g = 0; g < 13; ++g) {
    const VALUE_LIST_ROW &r = g_kvItemGroups[g];
    EXPECT_EQ(r.key, 0xFFFF);
    EXPECT_EQ(std::vector<LONG>(r.values, r.values + r.count), want[g]) << "group " << g;
  }
  for (int g = 2; g <= 8; ++g)
    for (DWORD i = 0; i < g_kvItemGroups[g].count; ++i)
      EXPECT_NE(RowOf(g_kvItemGroups[g].values[i]), nullptr) << "group " << g;
  // The duplex-type groups hold values the duplex type lists.
  for (int g : {0, 1, 9, 10, 11, 12})
    for (DWORD i = 0; i < g_kvItemGroups[g].count; ++i) EXPECT_TRUE(Listed(94, g_kvItemGroups[g].values[i]));
}
