// The compiled-in model record, the DEVMODE sizes and the constant tables.
#include <gtest/gtest.h>

#include <string.h>

#include "context_fixture.h"
#include "items/item_store.h"
#include "model/font_list_table.h"
#include "model/model.h"

namespace {

const MODEL_RECORD &Record() { return *CtxGetTemplate()->model; }

DWORD Dword(const BYTE *p)
{
  DWORD v;
  memcpy(&v, p, 4);
  return v;
}
WORD Word(const BYTE *p)
{
  WORD v;
  memcpy(&v, p, 2);
  return v;
}

TEST(ModelRecord, NumericFieldsAtTheirBytes)
{
  const BYTE *b = (const BYTE *)&Record();
  struct Case {
    DWORD offset;
    int width;
    DWORD value;
  } cases[] = {{0, 2, 0x0401}, {2, 2, 0x0400}, {12, 4, 0x7F03}, {16, 2, 999},   {18, 2, 1},     {20, 4, 4},
               {24, 4, 90},    {28, 4, 600},   {32, 4, 0},      {36, 2, 1},     {38, 2, 9},     {40, 2, 0},
               {42, 2, 0},     {44, 2, 100},   {46, 2, 1},      {48, 2, 7},     {50, 2, 600},   {52, 2, 2},
               {54, 2, 1},     {56, 2, 600},   {58, 2, 3},      {60, 2, 0},     {68, 4, 1},     {72, 4, 1},
               {76, 4, 1},     {80, 4, 1},     {84, 4, 1},      {88, 4, 1000},  {92, 4, 1},     {96, 4, 999},
               {104, 4, 0},    {108, 4, 314},  {114, 2, 600},   {116, 2, 600},  {124, 4, 16},   {128, 4, 32},
               {176, 4, 314},  {180, 4, 4250}, {184, 4, 10204}, {188, 4, 6992}, {192, 4, 61200}};
  for (const Case &c : cases) {
    DWORD got = c.width == 2 ? Word(b + c.offset) : Dword(b + c.offset);
    EXPECT_EQ(got, c.value) << "byte " << c.offset;
  }
  EXPECT_EQ(0, memcmp(b + 100, "priv", 4));
  EXPECT_EQ(b[112], 0xC0);
  EXPECT_EQ(b[113], 1);
  const BYTE defaults[6] = {1, 1, 1, 1, 0, 0};
  EXPECT_EQ(0, memcmp(b + 118, defaults, 6));
  EXPECT_EQ(Dword(b + 160), 0u);  // the NULL pointer field
}

TEST(ModelRecord, NamesAtTheirBytes)
{
  const BYTE *b = (const BYTE *)&Record();
  struct Case {
    DWORD offset;
    const char *text;
  } cases[] = {{4, "kvmlsets.ini"},
               {8, "kvmlcm23.dll"},
               {64, "A4"},
               {132, "01.00"},
               {136, "01.00"},
               {140, "US"},
               {144, ""},
               {148, "kvmlmodl.ini"},
               {152, "tvpkcomn.dll"},
               {156, "kvmlrule.DLL"},
               {164, "tvigdata.dll"},
               {168, ""},
               {172, "1.41"},
               {196, "TVINSTIG.INI"}};
  for (const Case &c : cases) {
    const WCHAR *p;
    memcpy(&p, b + c.offset, sizeof p);
    ASSERT_NE(p, nullptr) << "byte " << c.offset;
    EXPECT_EQ(NarrowW(p), c.text) << "byte " << c.offset;
  }
}

TEST(ModelRecord, DevmodeSizesOfThisPlatform)
{
  EXPECT_EQ(DmGetPublicSize(), 220u);
  EXPECT_EQ(DmGetPrivateSize(), 1016u);
  EXPECT_EQ(DmGetTotalSize(), 1236u);
  EXPECT_EQ(DmGetConfigBlockSize(), 1020u);
  EXPECT_EQ(DmGetWorkBufferSize(), 5484u);
}

TEST(ModelTables, SiblingFiles)
{
  const SIBLING_FILE_ROW *t = FileGetSiblingTable();
  int n = 0;
  while (t[n].number != 0) ++n;
  EXPECT_EQ(n, 12);
  EXPECT_EQ(t[12].name, nullptr);
  EXPECT_EQ(NarrowW(FileGetSiblingName(1)), "kvmltoo0.exe");
  EXPECT_EQ(NarrowW(FileGetSiblingName(3)), "kvmlcmZ0.dll");
  EXPECT_EQ(NarrowW(FileGetSiblingName(12)), "kvmlhelp.cnt");
  EXPECT_EQ(FileGetSiblingName(0), nullptr);
  EXPECT_EQ(FileGetSiblingName(13), nullptr);
}

TEST(ModelTables, FitListFinisherTraysAndDeviceInfo)
{
  for (DWORD p : {8u, 12u, 3u, 5u, 71u, 9u, 1u, 514u, 14u, 513u}) EXPECT_EQ(DmIsFitToA4Paper(p), 1) << p;
  for (DWORD p : {0u, 2u, 11u, 515u}) EXPECT_EQ(DmIsFitToA4Paper(p), 0) << p;
  const DWORD *list = DmGetFitToA4PaperList();
  EXPECT_EQ(list[10], 0u);
  // First-tray column (' ') and second-tray column (anything else).
  EXPECT_EQ(DmIsFinisherTray(5, ' '), 1);
  EXPECT_EQ(DmIsFinisherTray(36, ' '), 1);
  EXPECT_EQ(DmIsFinisherTray(31, ' '), 0);
  EXPECT_EQ(DmIsFinisherTray(31, 'x'), 1);
  EXPECT_EQ(DmIsFinisherTray(6, 0), 1);
  EXPECT_EQ(DmIsFinisherTray(5, 0), 0);
  EXPECT_EQ(DmIsFinisherTray(0xFFFF, 0), 0);  // "none" is no tray
  EXPECT_EQ(NarrowW(DmGetDeviceInfoBase(0)), "8303890207d014");
  EXPECT_EQ(NarrowW(DmGetDeviceInfoBase(1)), "8302890207d014");
  EXPECT_EQ(NarrowW(DmGetDeviceInfoBase(7)), "8302890207d014");
}

// Every font list is described by a 16-bit count item and a 32-bit address item of the
// configuration block, distinct across the lists; the entry sizes are those of the layouts.
TEST(ModelTables, FontListsNameCountAndAddressItems)
{
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  const DWORD sizes[KV_FONT_LIST_COUNT] = {68, 68, 128};
  for (int i = 0; i < KV_FONT_LIST_COUNT; ++i) {
    const FONT_LIST_DEF &def = g_kvFontLists[i];
    OPTION_ITEM *count = ItemFindById(tpl, def.countId);
    OPTION_ITEM *list = ItemFindById(tpl, def.listId);
    ASSERT_NE(count, nullptr) << i;
    ASSERT_NE(list, nullptr) << i;
    EXPECT_EQ(KvItemSize(count), 2u) << i;
    EXPECT_EQ(KvItemSize(list), 4u) << i;
    EXPECT_EQ(def.entrySize, sizes[i]) << i;
    for (int j = 0; j < i; ++j) {
      EXPECT_NE(def.listId, g_kvFontLists[j].listId);
      EXPECT_NE(def.countId, g_kvFontLists[j].countId);
    }
  }
}

TEST(ModelText, NextLineAndLength)
{
  int len = -1;
  const char *text = "ab\ncd";
  const char *next = StrNextLine(text, &len);
  EXPECT_EQ(next, text + 3);
  EXPECT_EQ(len, 3);
  next = StrNextLine(next, &len);
  EXPECT_EQ(next, text + 6);  // one past the NUL
  EXPECT_EQ(len, 3);
  const char *empty = "";
  EXPECT_EQ(StrNextLine(empty, nullptr), empty + 1);
  char buf[4] = {'x', 'x', 'x', 'x'};
  StrCopyN(buf, "ab", 4);
  EXPECT_EQ(0, memcmp(buf, "ab\0\0", 4));
}

class ModelContextTest : public ContextTest {};

TEST_F(ModelContextTest, BlockGettersAndInstalledFinisher)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  BYTE *dm = CtxGetDevmode(ctx);
  EXPECT_EQ(dm, ctx->work);
  WORD size = Word(dm + 68);
  EXPECT_EQ(CtxGetPrivatePart(ctx), dm + size);
  EXPECT_EQ(CtxLocatePrivatePart(ctx), dm + size);
  EXPECT_EQ(CtxGetConfigBlock(ctx), dm + Word(dm + KV_DM_CONFIG_OFFSET));
  EXPECT_EQ(CtxGetDevmode(nullptr), nullptr);

  for (WORD id : {10049, 10050, 10058, 10078}) ItemSetRaw(ctx, id, 0);
  EXPECT_EQ(DmGetInstalledFinisher(ctx)->finisherItem, 0xFFFF);
  ItemSetRaw(ctx, 10078, 1);
  ItemSetRaw(ctx, 10058, 1);
  const FINISHER_TRAY_ROW *row = DmGetInstalledFinisher(ctx);
  EXPECT_EQ(row->finisherItem, 10058);  // the first row in table order
  EXPECT_EQ(row->firstTray, 32);
  EXPECT_EQ(row->secondTray, 31);
  CtxRelease(ctx);
}

}  // namespace
