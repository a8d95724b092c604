// The option item store: lookups, typed access, translation, text and state words.
#include <cstring>
#include <string>
#include <vector>

#include "context_fixture.h"
#include "devmode/devmode_header.h"
#include "tables/template_tables.h"

namespace {

class ItemStore : public OpenContextTest {
 protected:
  // The first option row of a value type.
  OPTION_ITEM *FirstOfType(DWORD vt, DWORD block = 0)
  {
    OPTION_ITEM *rows = (OPTION_ITEM *)ctx_->items->rows;
    for (SHORT i = 0; i < ctx_->items->count; ++i) {
      if (KvItemValueType(&rows[i]) == vt && (block == 0 || KvItemBlock(&rows[i]) == block)) return &rows[i];
    }
    return nullptr;
  }
};

TEST_F(ItemStore, FindByIdAnswersOnlyExistingIds)
{
  OPTION_ITEM *rows = (OPTION_ITEM *)ctx_->items->rows;
  struct Case {
    WORD id;
    int row;
  } cases[] = {{1, 0},     {1275, 1274}, {10001, 1275}, {10385, 1659}, {0, -1},    {1276, -1},
               {5000, -1}, {10000, -1},  {10386, -1},   {20000, -1},   {65535, -1}};
  for (const Case &c : cases) {
    OPTION_ITEM *item = ItemFindById(ctx_, c.id);
    if (c.row < 0) {
      EXPECT_EQ(item, nullptr) << c.id;
    } else {
      EXPECT_EQ(item, &rows[c.row]) << c.id;
      EXPECT_EQ(item->id, c.id);
    }
  }
  EXPECT_EQ(ItemFindById(nullptr, 1), nullptr);
  EXPECT_EQ(NarrowW(ItemGetName(ctx_, 7)), "dmOrientation");
  EXPECT_EQ(ItemGetName(ctx_, 5000), nullptr);
}

TEST_F(ItemStore, SymbolValueMessageAndListLookups)
{
  const SYMBOL_ENTRY *sym = ItemFindSymbolByName("KPD_kdmWmKind");
  ASSERT_NE(sym, nullptr);
  EXPECT_EQ(sym->itemId, 117);
  EXPECT_EQ(ItemFindSymbolByKey(sym->key), sym);
  EXPECT_EQ(ItemFindByKey(ctx_, sym->key), ItemFindById(ctx_, 117));
  EXPECT_EQ(ItemFindSymbolByName("kpd_kdmwmkind"), nullptr);  // names are case-sensitive

  // A key that no row carries reaches its item through the names table.
  OPTION_ITEM *rows = (OPTION_ITEM *)ctx_->items->rows;
  const SYMBOL_ENTRY *viaNames = nullptr;
  for (SHORT i = 0; i < g_kvSymbolCount && viaNames == nullptr; ++i) {
    const SYMBOL_ENTRY *e = &g_kvSymbols[i];
    bool onRow = false;
    for (SHORT r = 0; r < ctx_->items->count && !onRow; ++r) onRow = rows[r].symbolKey == e->key;
    if (e->itemId != 0 && !onRow && ItemFindById(ctx_, e->itemId) != nullptr) viaNames = e;
  }
  if (viaNames != nullptr) {
    EXPECT_EQ(ItemFindByKey(ctx_, viaNames->key), ItemFindById(ctx_, viaNames->itemId));
  }
  WORD unused = 0xFFFE;
  EXPECT_EQ(ItemFindByKey(ctx_, unused), nullptr);
  ItemSetRaw(ctx_, 7, 2);
  EXPECT_EQ(ItemGetValueByKey(ctx_, ItemFindById(ctx_, 7)->symbolKey, nullptr), 2043);

  const VALUE_SYMBOL *v = ItemFindValueSymbol(8, 112);
  ASSERT_NE(v, nullptr);
  EXPECT_STREQ(v->name, "IDS_FREESIZE4");
  EXPECT_EQ(v->storedValue, 387);
  EXPECT_EQ(ItemFindValueSymbolByName("IDS_FREESIZE4"), v);
  EXPECT_EQ(ItemFindValueSymbol(8, 60000), nullptr);

  EXPECT_EQ(CtxGetMessageCount(ctx_), 23);
  const MESSAGE_ENTRY *m = CtxFindMessageByKey(nullptr, 166);
  ASSERT_NE(m, nullptr);
  EXPECT_STREQ(m->name, "KPD_ScaleIllegalMessage");
  EXPECT_EQ(m->textId, 10001);
  EXPECT_EQ(CtxFindMessageByName(ctx_, "KPD_DuplexDryTimeIllegalMessage"), CtxGetMessage(ctx_, 22));
  EXPECT_EQ(CtxFindMessageByKey(ctx_, 200), nullptr);
  // An index outside the table answers no row instead of reading past it.
  EXPECT_EQ(CtxGetMessage(ctx_, 23), nullptr);
  EXPECT_EQ(CtxGetMessage(ctx_, -1), nullptr);
  EXPECT_EQ(CtxGetMessage(ctx_, 0x7FFFFFFF), nullptr);

  EXPECT_EQ(ItemIsListedValue(14, 600), 1);
  EXPECT_EQ(ItemIsListedValue(14, 601), 0);
  EXPECT_EQ(ItemIsListedValue(5000, 1), 0);
  EXPECT_EQ(ItemFindValueList(0), nullptr);
  WORD count = 0;
  EXPECT_NE(ItemGetGroupTable(&count), nullptr);
  EXPECT_EQ(count, 14);
  EXPECT_EQ(ItemIsInGroup(3, 5), 1);
  EXPECT_EQ(ItemIsInGroup(3, 6), 0);
  EXPECT_EQ(ItemIsInGroup(2, 10009), 1);
  EXPECT_EQ(ItemGetGroup(13), nullptr);
  EXPECT_EQ(ItemListContains(nullptr, 1), 0);
}

TEST_F(ItemStore, DialogAndControlLookups)
{
  DIALOG_RECORD *dlg = DlgFindById(ctx_, 1005);
  ASSERT_NE(dlg, nullptr);
  EXPECT_STREQ(dlg->name, "KPD_IDD_OPTION");
  EXPECT_EQ(DlgFindByName(nullptr, "KPD_IDD_OPTION")->templateId, 1005);
  EXPECT_EQ(DlgFindById(ctx_, 1), nullptr);
  EXPECT_EQ(DlgGetControl(dlg, -1), nullptr);
  EXPECT_EQ(DlgGetControl(dlg, dlg->controlCount), nullptr);
  EXPECT_EQ(DlgGetControl(nullptr, 0), nullptr);

  CONTROL_RECORD *ctl = CtlFindById(ctx_, nullptr, 2407);
  ASSERT_NE(ctl, nullptr);
  ASSERT_NE(ctl->item, nullptr);
  EXPECT_EQ(ctl->item->id, 834);
  EXPECT_EQ(CtlFindByName(ctx_, nullptr, "KPD_IDC_STAMP_CHAR_EDIT_NAME"), ctl);
  EXPECT_EQ(CtlFindByKey(ctx_, nullptr, (WORD)ctl->symbolKey), ctl);
  EXPECT_EQ(CtlFindById(ctx_, dlg, 2407), nullptr);  // not a control of that dialog
  EXPECT_EQ(CtlFindByHwnd(ctx_, nullptr, nullptr), nullptr);
}

TEST_F(ItemStore, EveryValueTypeReadsAndWritesItsField)
{
  struct Case {
    DWORD vt;
    LONG written;
    LONG read;
  } cases[] = {
      {KV_VT_S8, 0x1FF, -1}, {KV_VT_S16, 0x18000, -32768}, {KV_VT_S32, -5, -5},
      {KV_VT_U8, -1, 255},   {KV_VT_U16, -1, 65535},       {KV_VT_U32, 0x7FFFFFFF, 0x7FFFFFFF},
  };
  for (const Case &c : cases) {
    OPTION_ITEM *item = FirstOfType(c.vt);
    if (item == nullptr && c.vt == KV_VT_S32) {
      // No row of the tables is signed 32-bit: retype the context's own copy of one.
      item = FirstOfType(KV_VT_U32, KV_BLOCK_WORK);
      ASSERT_NE(item, nullptr);
      item->typeWord = KV_TYPEWORD(KvItemBlock(item), KV_VT_S32, 4);
    }
    ASSERT_NE(item, nullptr) << c.vt;
    SCOPED_TRACE(item->id);
    LONG loaded = ItemReadRaw(ctx_, item);
    ItemWriteRaw(ctx_, item, c.written);
    EXPECT_EQ(ItemReadRaw(ctx_, item), c.read);
    EXPECT_EQ(item->state & KV_STATE_CHANGED_MASK, 1);
    EXPECT_EQ(ItemReadBaselineRaw(ctx_, item), loaded);  // the baseline keeps the loaded value
    ItemWriteBaselineRaw(ctx_, item, c.written);
    EXPECT_EQ(ItemReadBaselineRaw(ctx_, item), c.read);
  }
  EXPECT_EQ(ctx_->state->settingsChanged, 1u);
  // Text and block types answer their field's address.
  OPTION_ITEM *block = FirstOfType(KV_VT_BLOCK);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ((BYTE *)(intptr_t)ItemReadRaw(ctx_, block), ItemGetAddress(ctx_, block));
  BYTE bytes[64];
  for (int i = 0; i < 64; ++i) bytes[i] = (BYTE)(i + 1);
  ASSERT_LE(KvItemSize(block), 64u);
  ItemWriteRaw(ctx_, block, (LONG)(intptr_t)bytes);
  EXPECT_EQ(0, memcmp(ItemGetAddress(ctx_, block), bytes, KvItemSize(block)));
  ItemWriteRaw(ctx_, block, 0);
  EXPECT_EQ(ItemGetAddress(ctx_, block)[0], 0);
}

TEST_F(ItemStore, BitItemsShareTheirFieldWithoutDisturbingEachOther)
{
  // The defaults set other bits of these fields: clear them so the bytes show only ours.
  memset(ItemGetAddress(ctx_, ItemFindById(ctx_, 55)), 0, 4);
  memset(ItemGetAddress(ctx_, ItemFindById(ctx_, 79)), 0, 4);
  ItemSetRaw(ctx_, 55, 1);
  ItemSetRaw(ctx_, 56, 1);
  ItemSetRaw(ctx_, 56, 0);
  EXPECT_EQ(ItemGetRaw(ctx_, 55, nullptr), 1);
  EXPECT_EQ(ItemGetRaw(ctx_, 56, nullptr), 0);
  ItemSetRaw(ctx_, 79, 7);  // bit 24: the fourth byte
  EXPECT_EQ(ItemGetRaw(ctx_, 79, nullptr), 1);
  EXPECT_EQ(ItemGetAddress(ctx_, ItemFindById(ctx_, 79))[3], 0x01);
  EXPECT_EQ(ItemGetAddress(ctx_, ItemFindById(ctx_, 55))[0], 0x01);
  ItemSetRaw(ctx_, 1239, 1);
  EXPECT_EQ(ItemGetCustomFuncFlag(ctx_, 1239), 1);
  EXPECT_EQ(ItemGetCustomFuncFlag(ctx_, 55), 0);
}

TEST_F(ItemStore, HorizontalScaleDrivesVerticalOnlyForScaleTypeOne)
{
  ItemSetRaw(ctx_, 87, 1);
  ItemSetRaw(ctx_, 89, 150);
  EXPECT_EQ(ItemGetRaw(ctx_, 90, nullptr), 150);
  ItemSetRaw(ctx_, 87, 2);
  ItemSetRaw(ctx_, 89, 80);
  EXPECT_EQ(ItemGetRaw(ctx_, 90, nullptr), 150);
}

TEST_F(ItemStore, TranslationBetweenStoredValuesAndValueIds)
{
  OPTION_ITEM *orient = ItemFindById(ctx_, 7);
  ItemWriteRaw(ctx_, orient, 2);
  EXPECT_EQ(ItemReadValue(ctx_, orient), 2043);
  ItemSetValue(ctx_, 7, 2042);
  EXPECT_EQ(ItemGetRaw(ctx_, 7, nullptr), 1);
  ItemSetRaw(ctx_, 7, 3);
  EXPECT_EQ(ItemGetValue(ctx_, 7, nullptr), 3);

  OPTION_ITEM *method = ItemFindById(ctx_, 209);
  EXPECT_EQ(ItemStoredToValueId(ctx_, method, 1), 1);
  EXPECT_EQ(ItemIsStoredValueMapped(ctx_, method, 1), 0);
  EXPECT_EQ(ItemIsStoredValueMapped(ctx_, method, 7), 1);
  EXPECT_EQ(ItemStoredToValueId(ctx_, method, 7), 432);
  EXPECT_EQ(ItemValueIdToStored(ctx_, method, 54), 5);

  // The N-up layouts use the second part of their table while the orientation is landscape.
  OPTION_ITEM *nup = ItemFindById(ctx_, 92);
  ItemSetRaw(ctx_, 7, 1);
  EXPECT_EQ(ItemStoredToValueId(ctx_, nup, 2), 6202);
  EXPECT_EQ(ItemValueIdToStored(ctx_, nup, 6222), 6222);
  ItemSetRaw(ctx_, 7, 2);
  EXPECT_EQ(ItemStoredToValueId(ctx_, nup, 2), 6222);
  EXPECT_EQ(ItemValueIdToStored(ctx_, nup, 6222), 2);
  EXPECT_EQ(ItemValueIdToStored(ctx_, nullptr, 9), 9);
}

TEST_F(ItemStore, AnsiTextFillingItsFieldKeepsNoTerminatorAndReadsBounded)
{
  OPTION_ITEM *code = ItemFindById(ctx_, 10273);  // 9 bytes
  ASSERT_NE(code, nullptr);
  BYTE *field = ItemWriteText(ctx_, code, u"ABCDEFGHIJKL");
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(0, memcmp(field, "ABCDEFGHI", 9));
  field[9] = 'Z';  // the byte behind the field must not be read
  WCHAR out[10 + 6];
  for (WCHAR &c : out) c = u'#';
  EXPECT_EQ(ItemReadText(ctx_, code, out), field);
  EXPECT_EQ(NarrowW(out), "ABCDEFGHI");
  ItemWriteText(ctx_, code, u"xy");
  EXPECT_EQ(0, memcmp(field, "xy\0\0\0\0\0\0\0", 9));
  ItemReadText(ctx_, code, out);
  EXPECT_EQ(NarrowW(out), "xy");

  WCHAR wrong[16];
  EXPECT_NE(ItemReadText(ctx_, ItemFindById(ctx_, 7), wrong), nullptr);
  EXPECT_EQ(NarrowW(wrong), "wrong");
  EXPECT_EQ(ItemReadText(ctx_, nullptr, wrong), nullptr);
  EXPECT_EQ(ItemWriteText(ctx_, code, nullptr), nullptr);
}

// Every text item read into a buffer of exactly the characters the contract asks for: a text
// that fills the field comes back whole, and nothing is written past the buffer.
TEST_F(ItemStore, TextReadsFitTheBufferTheContractAsksFor)
{
  OPTION_ITEM *rows = (OPTION_ITEM *)ctx_->items->rows;
  int checked = 0;
  for (SHORT r = 0; r < ctx_->items->count; ++r) {
    OPTION_ITEM *item = &rows[r];
    DWORD vt = KvItemValueType(item);
    bool ansi = vt == KV_VT_ANSI || vt == KV_VT_ANSI2;
    bool wide = vt == KV_VT_WTEXT || vt == KV_VT_WTEXT2;
    if ((!ansi && !wide) || ItemGetAddress(ctx_, item) == nullptr) continue;
    DWORD chars = ansi ? KvItemSize(item) : KvItemSize(item) / 2;
    std::u16string longText(chars + 3, u'T');
    ASSERT_NE(ItemWriteText(ctx_, item, longText.c_str()), nullptr) << item->id;
    std::vector<WCHAR> out(chars + 1 + 8, u'#');
    ItemReadText(ctx_, item, out.data());
    EXPECT_EQ(std::u16string(out.data()), std::u16string(chars, u'T')) << item->id;
    for (size_t i = chars + 1; i < out.size(); ++i) EXPECT_EQ(out[i], u'#') << item->id << " character " << i;
    ++checked;
  }
  EXPECT_GT(checked, 0);
}

// An ANSI field shorter than "wrong" is read within its own size + 1 characters too.
TEST_F(ItemStore, ShortAnsiFieldIsReadWithinSizePlusOne)
{
  OPTION_ITEM shortRow = *ItemFindById(ctx_, 10273);
  shortRow.typeWord = (shortRow.typeWord & ~0xFFFFu) | 2u;
  ItemWriteText(ctx_, &shortRow, u"ab");
  WCHAR out[8];
  for (WCHAR &c : out) c = u'#';
  EXPECT_NE(ItemReadText(ctx_, &shortRow, out), nullptr);
  EXPECT_EQ(NarrowW(out), "ab");
  for (int i = 3; i < 8; ++i) EXPECT_EQ(out[i], u'#') << "character " << i;
}

TEST_F(ItemStore, WideTextIsCopiedWithinItsField)
{
  OPTION_ITEM *item = FirstOfType(KV_VT_WTEXT);
  ASSERT_NE(item, nullptr);
  DWORD chars = KvItemSize(item) / 2;
  std::u16string longText(chars + 5, u'w');
  BYTE *field = ItemWriteText(ctx_, item, longText.c_str());
  ASSERT_NE(field, nullptr);
  std::u16string out(chars + 1, u'#');
  ItemReadText(ctx_, item, out.data());
  EXPECT_EQ(out.substr(0, chars), std::u16string(chars, u'w'));
  EXPECT_EQ(out[chars], 0);
}

TEST_F(ItemStore, ControlTextAndValue)
{
  EXPECT_NE(ItemSetControlText(ctx_, 2407, u"Stamp"), nullptr);
  WCHAR out[80];
  EXPECT_NE(ItemGetControlText(ctx_, 2407, out), nullptr);
  EXPECT_EQ(NarrowW(out), "Stamp");
  EXPECT_EQ(ItemGetControlText(ctx_, 1, out), nullptr);
  EXPECT_EQ(ItemGetControlValue(ctx_, nullptr), 0);
}

// Without the property sheets the dialog table is the template's, shared by all contexts:
// a write through one of its controls changes the context's own row, never the template's.
TEST_F(ItemStore, ControlWritesMarkTheContextsRowOnly)
{
  CONTROL_RECORD *ctl = CtlFindById(ctx_, NULL, 2407);
  ASSERT_NE(ctl, nullptr);
  ASSERT_NE(ctl->item, nullptr);
  OPTION_ITEM *own = ItemOfControl(ctx_, ctl);
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own, ItemFindById(ctx_, ctl->item->id));
  OPTION_ITEM *tpl = ItemFindById(CtxGetTemplate(), ctl->item->id);
  ASSERT_NE(tpl, nullptr);
  WORD before = tpl->state & (WORD)~1u;
  tpl->state = before;
  own->state = 0;
  ASSERT_NE(ItemSetControlText(ctx_, 2407, u"Mine"), nullptr);
  EXPECT_EQ(tpl->state, before) << "the template's row is shared by every context";
  EXPECT_EQ(own->state & 1, 1);
  ItemSetControlValue(ctx_, ctl, 0);
  EXPECT_EQ(tpl->state, before);
  EXPECT_EQ(ItemOfControl(ctx_, nullptr), nullptr);
  CONTROL_RECORD bare = {};
  EXPECT_EQ(ItemOfControl(ctx_, &bare), nullptr);
}

// Block offsets travel inside the DEVMODE: offsets that would put a field outside the work
// buffer give the field no address, so nothing is read or written there.
TEST_F(ItemStore, BadBlockOffsetsNeverLeaveTheWorkBuffer)
{
  OPTION_ITEM *cfg = ItemFindById(ctx_, 10275);
  OPTION_ITEM *work = ItemFindById(ctx_, 856);
  ASSERT_NE(ItemGetAddress(ctx_, cfg), nullptr);
  ctx_->work[363] = 0xFF;
  ctx_->work[364] = 0xFF;
  ctx_->work[365] = 0x00;
  ctx_->work[366] = 0x14;  // 5120: the 521-byte text would end beyond 5484
  EXPECT_EQ(ItemGetAddress(ctx_, cfg), nullptr);
  EXPECT_EQ(ItemGetAddress(ctx_, work), nullptr);
  ItemWriteRaw(ctx_, cfg, 5);
  EXPECT_EQ(ItemReadRaw(ctx_, cfg), 0);
  WCHAR out[600];
  EXPECT_EQ(ItemWriteText(ctx_, work, u"path"), nullptr);
  EXPECT_EQ(ItemReadText(ctx_, work, out), nullptr);
  DmStampBlockOffsets(ctx_->work);
  EXPECT_NE(ItemGetAddress(ctx_, cfg), nullptr);
}

TEST_F(ItemStore, SetDefaultNeverTakesANumberForAnAddress)
{
  ItemSetDefault(ctx_, 7, 2043);  // through the translation table
  EXPECT_EQ(ItemGetRaw(ctx_, 7, nullptr), 2);
  OPTION_ITEM *block = FirstOfType(KV_VT_BLOCK);
  BYTE *field = ItemGetAddress(ctx_, block);
  field[0] = 0x5A;
  ItemSetDefault(ctx_, block->id, 0x1234);  // not an address: left as it is
  EXPECT_EQ(field[0], 0x5A);
  ItemSetDefault(ctx_, block->id, 0);
  EXPECT_EQ(field[0], 0);
  // A text default is a resource string; without the language DLL it is empty.
  ItemWriteText(ctx_, ItemFindById(ctx_, 10273), u"old");
  ItemSetDefault(ctx_, 10273, 5000);
  EXPECT_EQ(ItemGetAddress(ctx_, ItemFindById(ctx_, 10273))[0], 0);
  ItemSetDefault(ctx_, 5000, 1);  // no such item: nothing happens
}

TEST_F(ItemStore, PendingUiWorkWord)
{
  CtxRaiseUiFlags(ctx_, 0x00010000 | 0x1234);
  EXPECT_EQ(CtxGetUiFlags(ctx_), 0x00011234u);
  CtxRaiseUiFlags(ctx_, 0x00020000 | 0x0042);
  EXPECT_EQ(CtxGetUiFlags(ctx_), 0x00030042u);
  CtxRaiseUiFlags(ctx_, 0x10000000);
  EXPECT_EQ(CtxGetUiFlags(ctx_), 0x10030042u);
  ctx_->state->savedUiFlags[1] = 0x10000001;
  CtxClearUiFlags(ctx_, 0x00010000);
  EXPECT_EQ(CtxGetUiFlags(ctx_), 0x10020042u);
  EXPECT_EQ(ctx_->state->savedUiFlags[1], 0x10000001u);
  CtxClearUiFlags(ctx_, 0x10000000);
  EXPECT_EQ(ctx_->state->savedUiFlags[1], 0x00000001u);
  CtxRaiseUiFlags(ctx_, 0);
  EXPECT_EQ(CtxGetUiFlags(ctx_), 0u);
  // A write of an item with refresh flags raises them.
  OPTION_ITEM *paper = ItemFindById(ctx_, 8);
  paper->flags = 0x00030000;
  ItemWriteRaw(ctx_, paper, 9);
  EXPECT_EQ(CtxGetUiFlags(ctx_), 0x00030000u);
  EXPECT_EQ(CtxGetTemplate()->items->rows != ctx_->items->rows, true);
  EXPECT_EQ(((OPTION_ITEM *)CtxGetTemplate()->items->rows)[7].flags, 0u);
  CtxSetSettingsFileStatus(ctx_, 2);
  EXPECT_EQ(CtxGetSettingsFileStatus(ctx_), 2u);
}

TEST_F(ItemStore, BuildSwitches)
{
  for (SHORT n = -1; n <= 10; ++n) EXPECT_EQ(CtxIsBuildSwitchOn(n), n == 1 ? 1 : 0) << n;
}

TEST_F(ItemStore, FormatValueText)
{
  WCHAR buf[64];
  const SYMBOL_ENTRY *kind = ItemFindSymbolByName("KPD_kdmWmKind");
  ASSERT_NE(kind, nullptr);
  ItemSetRaw(ctx_, 117, 3);
  ItemFormatValueText(ctx_, kind->key, buf, 64);
  EXPECT_EQ(std::u16string(buf), u"合成");
  ItemSetRaw(ctx_, 117, 9);
  ItemFormatValueText(ctx_, kind->key, buf, 64);
  EXPECT_EQ(buf[0], 0);  // resource string 96, empty without the language DLL
  // The stamp id shows the stamp's name for a text stamp.
  ItemSetRaw(ctx_, 117, 1);
  ItemSetControlText(ctx_, 2407, u"Confidential");
  ItemFormatValueText(ctx_, ItemFindById(ctx_, 118)->symbolKey, buf, 64);
  EXPECT_EQ(NarrowW(buf), "Confidential");
  ItemFormatValueText(ctx_, ItemFindById(ctx_, 118)->symbolKey, buf, 5);
  EXPECT_EQ(NarrowW(buf), "Conf");
  // Any other item: its number, cut to the buffer.
  ItemSetRaw(ctx_, 89, 12345);
  ItemFormatValueText(ctx_, ItemFindById(ctx_, 89)->symbolKey, buf, 64);
  EXPECT_EQ(NarrowW(buf), "12345");
  ItemFormatValueText(ctx_, ItemFindById(ctx_, 89)->symbolKey, buf, 3);
  EXPECT_EQ(NarrowW(buf), "12");
}

// An item that switches to the second part of its translation table, given a table of one
// part, translates nothing in that state instead of reading past the table's end.
TEST_F(ItemStore, SecondPartOfAOnePartTableTranslatesNothing)
{
  const KV_XLAT_TABLE_REF *onePart = nullptr;
  for (SHORT t = 0; t < g_kvXlatTableCount; ++t)
    if (std::strcmp(g_kvXlatTables[t].name, "dmOrientation") == 0) onePart = &g_kvXlatTables[t];
  ASSERT_NE(onePart, nullptr);
  OPTION_ITEM item = *ItemFindById(ctx_, 92);
  ASSERT_NE(item.xlat, nullptr);
  item.xlat = onePart->rows;
  ItemSetRaw(ctx_, 7, 1);
  EXPECT_EQ(ItemStoredToValueId(ctx_, &item, 2), 2043) << "first part";
  ItemSetRaw(ctx_, 7, 2);
  EXPECT_EQ(ItemStoredToValueId(ctx_, &item, 2), 2) << "no second part: the stored value stays";
  EXPECT_EQ(ItemValueIdToStored(ctx_, &item, 2043), 2043);
  EXPECT_FALSE(ItemIsStoredValueMapped(ctx_, &item, 1));
  // An item whose table is not one of the build's has no second part either.
  static const VALUE_XLAT_ROW foreign[] = {{1, 2042, 0}, {0, 0, 0}};
  item.xlat = foreign;
  EXPECT_EQ(ItemStoredToValueId(ctx_, &item, 1), 1);
}

// One classification of value types as texts, which defaults and condition values share.
TEST(ValueTypes, TextTypesAreOneSet)
{
  for (DWORD vt = 0; vt < 64; ++vt) {
    bool text = vt == 7 || vt == 8 || vt == 10 || vt == 11 || vt == 13 || vt == 14 || vt == 15;
    EXPECT_EQ(KvValueTypeIsText(vt), text) << vt;
  }
}

}  // namespace
