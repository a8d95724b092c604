// Dialog and control records of the template: table order, control counts, bindings and the
// per-control columns.
#include <map>
#include <set>

#include "tables_util.h"

namespace {

const DIALOG_RECORD *Dialog(int id)
{
  for (int i = 0; i < g_kvDialogCount; ++i)
    if (g_kvDialogs[i].templateId == id) return &g_kvDialogs[i];
  return nullptr;
}

const CONTROL_RECORD *Control(int dialog, int id)
{
  const DIALOG_RECORD *d = Dialog(dialog);
  if (!d) return nullptr;
  for (int i = 0; i < d->controlCount; ++i)
    if (d->controls[i].controlId == id) return &d->controls[i];
  return nullptr;
}

}  // namespace

TEST(Dialogs, TableOrderKindsHelpAndControlCounts)
{
  struct C {
    int id;
    const char *name;
    int kind;
    int help;
    int n;
  };
  const C want[] = {
      {1001, "KPD_IDD_SETUP", 0x1, 20001, 29},
      {1002, "KPD_IDD_PAPER", 0x1, 21501, 39},
      {1003, "KPD_IDD_EDIT", 0x1, 22001, 29},
      {1004, "KPD_IDD_UTILITY", 0x1, 23001, 9},
      {1005, "KPD_IDD_OPTION", 0x2, 24001, 16},
      {1011, "KPD_IDD_DIALOG_INIT", 0x4, 20701, 33},
      {1012, "KPD_IDD_MAINTENANCE", 0x4, 20201, 14},
      {1021, "KPD_IDD_DIALOG_ROTATION", 0x4, 20801, 8},
      {1022, "KPD_IDD_DIALOG_UNIT", 0x4, 20901, 6},
      {1023, "KPD_IDD_DIALOG_FREESIZE", 0x4, 21001, 32},
      {1024, "KPD_IDD_DIALOG_FREESIZE_INPUT", 0x4, 21701, 29},
      {1031, "KPD_IDD_DIALOG_SCALE", 0x4, 21601, 13},
      {1014, "KPD_IDD_DIALOG_USER_PQC", 0x20, 20401, 36},
      {1015, "KPD_IDD_DIALOG_USER_BALANCE", 0x20, 20501, 20},
      {1016, "KPD_IDD_DIALOG_USER_OTHERS", 0x20, 20601, 8},
      {1032, "KPD_IDD_DIALOG_STAMP_CHAR", 0x4, 22401, 31},
      {1033, "KPD_IDD_DIALOG_STAMP_IMAGE", 0x4, 22501, 18},
      {1034, "KPD_IDD_DIALOG_OVERLAY", 0x4, 22701, 12},
      {1035, "KPD_IDD_DIALOG_MARGIN", 0x4, 22601, 49},
      {1036, "KPD_IDD_DIALOG_INPUT_HFSTRING", 0x4, 0, 5},
      {1025, "KPD_IDD_DIALOG_TIMER", 0x4, 21101, 17},
      {1026, "KPD_IDD_DIALOG_GAMMA", 0x4, 21201, 20},
      {1013, "KPD_IDD_DIALOG_SAVE_PRESET", 0x4, 20101, 6},
      {1040, "KPD_IDD_DIALOG_VERSION", 0x4, 0, 15},
      {2000, "KPD_IDD_DIALOG_HIDDEN_FUNC", 0x4, 0, 3},
      {4000, "KPD_IDD_DLG_STATUS", 0x4, 0, 1},
      {4001, "KPD_FILEOPEN", 0x100, 0, 12},
      {4002, "KPD_KSTOPENSAVE", 0x200, 0, 15},
      {4003, "KPD_FILEREFER", 0x400, 0, 12},
      {4004, "KPD_KPOSAVE", 0x800, 0, 13},
      {4005, "KPD_KPOREFER", 0x1000, 0, 12},
      {4006, "KPD_FILESAVE", 0x2000, 0, 12},
  };
  ASSERT_EQ(g_kvDialogCount, 32);
  ASSERT_EQ(g_kvControlCount, 574);
  const CONTROL_RECORD *next = g_kvControls;
  for (int i = 0; i < 32; ++i) {
    const DIALOG_RECORD &d = g_kvDialogs[i];
    EXPECT_EQ(d.templateId, want[i].id);
    EXPECT_STREQ(d.name, want[i].name);
    EXPECT_EQ(d.kind, want[i].kind) << d.name;
    EXPECT_EQ(d.helpContext, want[i].help) << d.name;
    EXPECT_EQ(d.controlCount, want[i].n) << d.name;
    EXPECT_EQ(d.controls, next) << "controls of " << d.name << " do not follow the previous dialog's";
    EXPECT_EQ(d.window, nullptr);
    const SYMBOL_ENTRY *s = SymbolNamed(d.name);
    ASSERT_NE(s, nullptr) << d.name;
    EXPECT_EQ(d.symbolKey, s->key) << d.name;
    next += d.controlCount;
  }
  EXPECT_EQ(next, g_kvControls + 574);
}

TEST(Controls, KeysBindingsAndRunTimeFieldsOfTheTemplate)
{
  std::map<int, int> itemOfKey;
  for (int i = 0; i < g_kvControlCount; ++i) {
    const CONTROL_RECORD &c = g_kvControls[i];
    const SYMBOL_ENTRY *s = SymbolKeyed(c.symbolKey);
    ASSERT_NE(s, nullptr) << "control " << c.controlId;
    std::string name = s->name;
    EXPECT_TRUE(name.rfind("KPD_IDC_", 0) == 0 || name.rfind("KPD_RADIOLIST_", 0) == 0 ||
                name.rfind("KPD_IDD_", 0) == 0 || name.rfind("KPD_ITEM_", 0) == 0 || name.rfind("KPD_", 0) == 0)
        << name;
    // The bound row is the one the control's names-table entry names.
    if (c.item) {
      EXPECT_EQ(c.item->id, s->itemId) << name;
      EXPECT_GE(c.item, g_kvOptionItems);
      EXPECT_LT(c.item, g_kvOptionItems + g_kvOptionItemCount);
    } else {
      EXPECT_EQ(s->itemId, 0) << name;
    }
    auto [pos, fresh] = itemOfKey.emplace(c.symbolKey, c.item ? c.item->id : 0);
    EXPECT_EQ(pos->second, c.item ? c.item->id : 0) << "controls sharing " << name << " bind different items";
    EXPECT_EQ(c.alternateId, 0);
    EXPECT_EQ(c.node, nullptr);
    EXPECT_EQ(c.previousProc, nullptr);
    EXPECT_EQ(c.state, 0);
    EXPECT_EQ(c.window, nullptr);
    EXPECT_EQ(c.flags & ~KV_CTL_FLAG_LENGTH, 0u) << "only the length flag is compiled in";
  }
}

TEST(Controls, RowsAsListed)
{
  struct C {
    int dlg, id;
    const char *name;
    int type, item, help;
  };
  const C cases[] = {
      {1001, 2030, "KPD_IDC_SETUP_STATIC_FRAME", 2, 0, 0},
      {1001, 2023, "KPD_IDC_SETUP_CHOICE_PRESETNAME", 48, 37, 10001},
      {1001, 2012, "KPD_RADIOLIST_5", 41, 178, 10008},
      {1001, 2006, "KPD_IDC_SETUP_CHOICE_PRINTTYPE", 48, 209, 10012},
      {1001, 2008, "KPD_IDC_SETUP_BUTTON_DEFAULT", 21, 0, 104},
      {1002, 2023, "KPD_IDC_SETUP_CHOICE_PRESETNAME2", 48, 37, 11501},
      {1002, 2042, "KPD_RADIOLIST_1", 41, 7, 11506},
      {1003, 2084, "KPD_IDC_EDIT_CHOICE_NUP_TYPE", 47, 92, 12009},
      {1003, 2093, "KPD_IDC_EDIT_STATIC_NUP", 1, 857, 0},
      {1005, 2130, "KPD_IDC_OPTION_CHOICE_PAPERSIZE_TRAY1", 48, 10175, 14002},
      {1005, 1, "KPD_IDD_OPTION_OK", 21, 0, 0},
      {1011, 2123, "KPD_IDC_OPTION_CHOICE_OPTION2", 47, 1272, 10714},
      {1012, 2171, "KPD_IDC_MAINTENANCE_ICONLIST", 50, 1271, 10203},
      {1023, 2315, "KPD_IDC_FREESIZE_EDIT_NAME", 61, 818, 11002},
      {1014, 2203, "KPD_IDC_USER_QUALITY_CHOICE_MODE", 48, 1274, 10401},
      {1014, 25111, "KPD_IDC_USER_QUALITY_CHOICE_DITHER_ED_TYPE", 48, 0, 0},
      {1013, 2193, "KPD_IDC_SAVE_PRESET_EDIT_PRESETNAME", 61, 1273, 10101},
      {1040, 2616, "KPD_IDC_VERSION_EDIT_TOTAL_COUNTER", 63, 10289, 0},
      {2000, 3000, "KPD_IDC_HIDDEN_FUNC", 49, 1275, 0},
      {4000, 5005, "KPD_IDC_STATUS_MESSAGE", 1, 0, 0},
      {4002, 5002, "KPD_IDC_BUTTON_READ", 21, 0, 0},
      {4006, 1037, "KPD_ITEM_1037", 21, 0, 0},
  };
  for (const C &c : cases) {
    const CONTROL_RECORD *r = Control(c.dlg, c.id);
    ASSERT_NE(r, nullptr) << c.dlg << "/" << c.id;
    EXPECT_STREQ(SymbolKeyed(r->symbolKey)->name, c.name) << c.dlg << "/" << c.id;
    EXPECT_EQ(r->type, c.type) << c.name;
    EXPECT_EQ(r->item ? r->item->id : 0, c.item) << c.name;
    EXPECT_EQ(r->helpId, c.help) << c.name;
  }
  // Controls of one radio group share a key and so an item.
  for (int id : {2012, 2014, 2031, 2013, 2015}) EXPECT_EQ(Control(1001, id)->symbolKey, 234) << id;
}

TEST(Controls, TipsInfoLinksActionsFlagsAndExtraKinds)
{
  EXPECT_EQ(Control(1001, 2024)->tipId, 2501);
  EXPECT_EQ(Control(1002, 2024)->tipId, 2501);
  EXPECT_EQ(Control(1011, 2147)->tipId, 2507);
  EXPECT_EQ(Control(1001, 2001)->infoId, 2002);
  EXPECT_EQ(Control(1003, 25508)->infoId, 27044);
  EXPECT_EQ(Control(1001, 2021)->link, 234);
  EXPECT_EQ(Control(1001, 2020)->link, 238);
  EXPECT_EQ(Control(1002, 2052)->link, 256);
  EXPECT_EQ(Control(1002, 2047)->link, 2067);
  EXPECT_EQ(Control(1026, 2554)->link, 2553);
  EXPECT_EQ(Control(1001, 2017)->actionCode, 100);
  EXPECT_EQ(Control(1004, 2110)->actionCode, 250);
  EXPECT_EQ(Control(1023, 2328)->actionCode, 205);
  EXPECT_EQ(Control(1026, 2557)->actionCode, 900);
  EXPECT_EQ(Control(1011, 1)->actionCode, 1);
  EXPECT_EQ(Control(1001, 2030)->actionCode, 0);
  int withLength = 0;
  for (int i = 0; i < g_kvControlCount; ++i) withLength += (g_kvControls[i].flags & KV_CTL_FLAG_LENGTH) != 0;
  EXPECT_EQ(withLength, 32);
  EXPECT_NE(Control(1023, 2304)->flags & KV_CTL_FLAG_LENGTH, 0u);
  EXPECT_EQ(Control(1023, 2315)->flags, 0u);
  // Extra data kinds are recorded per control; the hidden-function list carries its item ids.
  auto kind = [](const CONTROL_RECORD *c) { return g_kvControlExtraKinds[c - g_kvControls]; };
  EXPECT_EQ(kind(Control(1001, 2026)), 8);
  EXPECT_EQ(kind(Control(1015, 2241)), 1);
  EXPECT_EQ(kind(Control(1026, 2556)), 5);
  EXPECT_EQ(kind(Control(1001, 2030)), 0);
  const CONTROL_RECORD *hidden = Control(2000, 3000);
  ASSERT_NE(hidden->extra, nullptr);
  const WORD *ids = static_cast<const WORD *>(hidden->extra);
  for (int k = 0; k < 32; ++k) EXPECT_EQ(ids[k], 349 + k);
  for (int k = 0; k < 32; ++k) EXPECT_EQ(ids[32 + k], 447 + k);
  EXPECT_EQ(ids[64], 0);
  for (int k = 0; k < 64; ++k) EXPECT_NE(RowOf(ids[k]), nullptr);
}
