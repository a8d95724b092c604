// The option table: row counts, density and the gap row, field layout in the three blocks,
// the DEVMODE offsets, the keyed rows, output codes, storage classes and membership bits.
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "tables_util.h"

namespace {

DWORD BlockSize(DWORD block)
{
  switch (block) {
    case KV_BLOCK_DEVMODE: return KV_DEVMODE_SIZE;
    case KV_BLOCK_CONFIG: return KV_CONFIG_BLOCK_SIZE;
    case KV_BLOCK_WORK: return KV_WORK_BLOCK_SIZE;
  }
  return 0;
}

DWORD Align(const OPTION_ITEM *it)
{
  switch (KvItemValueType(it)) {
    case KV_VT_S16:
    case KV_VT_U16: return 2;
    case KV_VT_S32:
    case KV_VT_U32: return 4;
    case KV_VT_WTEXT:
    case KV_VT_WTEXT2: return 2;
    default: break;
  }
  return KvItemIsBit(it) ? KvItemSize(it) : 1;
}

}  // namespace

TEST(OptionTable, DenseIdsWithOneGapRow)
{
  ASSERT_EQ(g_kvOptionItemCount, 1660);
  for (int row = 0; row < 1275; ++row) ASSERT_EQ(g_kvOptionItems[row].id, row + 1) << "row " << row;
  for (int row = 1275; row < 1660; ++row) ASSERT_EQ(g_kvOptionItems[row].id, 10001 + (row - 1275)) << "row " << row;
  // The gap row is the first row whose id is not its predecessor's plus one.
  int gap = -1;
  for (int row = 1; row < g_kvOptionItemCount && gap < 0; ++row)
    if (g_kvOptionItems[row].id != g_kvOptionItems[row - 1].id + 1) gap = row;
  EXPECT_EQ(gap, 1275);
  // An id above 10000 lies in row (id - 10000 + gap - 1).
  for (int id : {10001, 10175, 10385}) EXPECT_EQ(g_kvOptionItems[id - 10000 + gap - 1].id, id);
}

TEST(OptionTable, BlocksAndNameFamilies)
{
  std::map<DWORD, int> perBlock;
  int dm = 0, kdm = 0, wdm = 0, unnamed = 0;
  std::set<std::string> names;
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM *it = &g_kvOptionItems[i];
    perBlock[KvItemBlock(it)]++;
    if (!it->name) {
      unnamed++;
      continue;
    }
    std::string n = Ascii(it->name);
    EXPECT_TRUE(names.insert(n).second) << "field name used twice: " << n;
    if (n.rfind("kdm", 0) == 0)
      kdm++;
    else if (n.rfind("wdm", 0) == 0)
      wdm++;
    else if (n.rfind("dm", 0) == 0)
      dm++;
    else {
      ADD_FAILURE() << "name outside the three families: " << n;
    }
  }
  EXPECT_EQ(perBlock[KV_BLOCK_NONE], 0);
  EXPECT_EQ(perBlock[KV_BLOCK_DEVMODE], 625);
  EXPECT_EQ(perBlock[KV_BLOCK_CONFIG], 426);
  EXPECT_EQ(perBlock[KV_BLOCK_WORK], 609);
  EXPECT_EQ(dm, 34);
  EXPECT_EQ(kdm, 958);
  EXPECT_EQ(wdm, 453);
  EXPECT_EQ(unnamed, 215);
  // The families follow the id ranges.
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM *it = &g_kvOptionItems[i];
    DWORD b = KvItemBlock(it);
    if (it->id <= 625) {
      EXPECT_EQ(b, KV_BLOCK_DEVMODE) << it->id;
    } else if (it->id >= 1230 && it->id <= 1270) {
      EXPECT_EQ(b, KV_BLOCK_CONFIG) << it->id;
    } else if (it->id <= 1275) {
      EXPECT_EQ(b, KV_BLOCK_WORK) << it->id;
    } else {
      EXPECT_EQ(b, KV_BLOCK_CONFIG) << it->id;
    }
    bool noName = (it->id >= 608 && it->id <= 817) || (it->id >= 1271 && it->id <= 1275);
    EXPECT_EQ(it->name == nullptr, noName) << it->id;
  }
}

TEST(OptionTable, EveryFieldInsideItsBlockAndAligned)
{
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM *it = &g_kvOptionItems[i];
    DWORD size = KvItemSize(it), vt = KvItemValueType(it);
    ASSERT_GT(size, 0u) << it->id;
    EXPECT_LE(it->offset + size, BlockSize(KvItemBlock(it))) << "item " << it->id;
    EXPECT_EQ(it->offset % Align(it), 0u) << "item " << it->id << " at " << it->offset;
    if (KvItemIsBit(it)) {
      EXPECT_TRUE(size == 1 || size == 2 || size == 4) << it->id;
      EXPECT_LT(vt - KV_VT_BIT0, size * 8) << "bit outside its field, item " << it->id;
    } else {
      EXPECT_TRUE(vt >= KV_VT_S8 && vt <= KV_VT_BLOCK2) << "item " << it->id << " type " << vt;
      DWORD want = vt == KV_VT_S8 || vt == KV_VT_U8     ? 1
                   : vt == KV_VT_S16 || vt == KV_VT_U16 ? 2
                   : vt == KV_VT_S32 || vt == KV_VT_U32 ? 4
                                                        : size;
      EXPECT_EQ(size, want) << "numeric width of item " << it->id;
    }
  }
}

TEST(OptionTable, NoTwoFieldsOverlapExceptBitsOfOneField)
{
  for (DWORD block : {KV_BLOCK_DEVMODE, KV_BLOCK_CONFIG, KV_BLOCK_WORK}) {
    std::vector<int> owner(BlockSize(block), 0);  // item id owning a byte (bit fields: -offset-1)
    std::map<int, DWORD> bitFieldSize;            // offset -> size of a bit field
    std::set<std::pair<int, int>> bitsTaken;
    for (int i = 0; i < g_kvOptionItemCount; ++i) {
      const OPTION_ITEM *it = &g_kvOptionItems[i];
      if (KvItemBlock(it) != block) continue;
      DWORD size = KvItemSize(it);
      if (KvItemIsBit(it)) {
        auto [pos, fresh] = bitFieldSize.emplace(it->offset, size);
        EXPECT_EQ(pos->second, size) << "bit items of one field disagree on its width, item " << it->id;
        EXPECT_TRUE(bitsTaken.insert({it->offset, (int)(KvItemValueType(it) - KV_VT_BIT0)}).second)
            << "two items on one bit, item " << it->id;
        if (!fresh) continue;
        for (DWORD b = 0; b < size; ++b) {
          int &o = owner[it->offset + b];
          EXPECT_EQ(o, 0) << "bit field of item " << it->id << " overlaps item " << o;
          o = -(int)it->offset - 1;
        }
      } else {
        for (DWORD b = 0; b < size; ++b) {
          int &o = owner[it->offset + b];
          EXPECT_EQ(o, 0) << "block " << block << " byte " << it->offset + b << ": item " << it->id << " overlaps "
                          << o;
          o = it->id;
        }
      }
    }
  }
}

TEST(OptionTable, ComputedConditionBitsFillTheFirst24BytesOfTheWorkBlock)
{
  for (int id = 626; id <= 817; ++id) {
    const OPTION_ITEM *it = RowOf(id);
    ASSERT_NE(it, nullptr);
    int k = id - 626;
    EXPECT_EQ(KvItemBlock(it), KV_BLOCK_WORK);
    EXPECT_EQ(it->offset, (k / 32) * 4) << id;
    EXPECT_EQ(KvItemSize(it), 4u);
    EXPECT_EQ(KvItemValueType(it), (DWORD)(KV_VT_BIT0 + k % 32)) << id;
  }
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM *it = &g_kvOptionItems[i];
    if (KvItemBlock(it) == KV_BLOCK_WORK && (it->id < 626 || it->id > 817)) {
      EXPECT_GE(it->offset, 24) << "item " << it->id << " inside the condition bits";
    }
  }
}

// DEVMODE rows at their fixed offsets.
struct DmCase {
  int id;
  const char *name;  // nullptr: the row has no field name
  int offset;
  int size;
  DWORD vt;
};

class DevmodeLayout : public ::testing::TestWithParam<DmCase> {};

// Cases print as "item N" in test names and failure messages.
void PrintTo(const DmCase &c, std::ostream *os) { *os << "item " << c.id; }
std::string DmCaseName(const ::testing::TestParamInfo<DmCase> &info) { return "item" + std::to_string(info.param.id); }

TEST_P(DevmodeLayout, RowAtItsOffset)
{
  const DmCase &c = GetParam();
  const OPTION_ITEM *it = RowOf(c.id);
  ASSERT_NE(it, nullptr);
  EXPECT_EQ(KvItemBlock(it), KV_BLOCK_DEVMODE);
  EXPECT_EQ(it->offset, c.offset);
  EXPECT_EQ(KvItemSize(it), (DWORD)c.size);
  EXPECT_EQ(KvItemValueType(it), c.vt);
  if (c.name) {
    EXPECT_EQ(Ascii(it->name), c.name);
  } else {
    EXPECT_EQ(it->name, nullptr);
  }
}

constexpr DWORD B(int n) { return KV_VT_BIT0 + n; }

INSTANTIATE_TEST_SUITE_P(
    Fields, DevmodeLayout,
    ::testing::Values(
        DmCase{1, "dmDeviceName", 0, 64, KV_VT_WTEXT}, DmCase{2, "dmSpecVersion", 64, 2, KV_VT_U16},
        DmCase{6, "dmFields", 72, 4, KV_VT_U32}, DmCase{7, "dmOrientation", 76, 2, KV_VT_S16},
        DmCase{8, "dmPaperSize", 78, 2, KV_VT_S16}, DmCase{13, "dmDefaultSource", 88, 2, KV_VT_S16},
        DmCase{19, "dmCollate", 100, 2, KV_VT_S16}, DmCase{20, "dmFormName", 102, 64, KV_VT_WTEXT},
        DmCase{21, "dmLogPixels", 166, 2, KV_VT_U16}, DmCase{29, "dmMediaType", 196, 4, KV_VT_U32},
        DmCase{34, "dmPanningHeight", 216, 4, KV_VT_U32}, DmCase{608, nullptr, 224, 4, KV_VT_U32},
        DmCase{601, "kdmIniFileName", 228, 16, KV_VT_ANSI}, DmCase{602, "kdmiCDCVerStr", 244, 16, KV_VT_ANSI},
        DmCase{603, "kdmiKPJLVerStr", 260, 16, KV_VT_ANSI}, DmCase{604, "kdmKcomMark", 276, 8, KV_VT_ANSI},
        DmCase{605, "kdmKcomVersion", 284, 1, KV_VT_U8}, DmCase{606, "kdmKcomMember", 285, 32, KV_VT_BLOCK},
        DmCase{607, "kdmKcomCaps", 317, 32, KV_VT_BLOCK}, DmCase{35, "kdmMachineID", 368, 1, KV_VT_U8},
        DmCase{37, "kdmPresetNo", 370, 1, KV_VT_S8}, DmCase{38, "kdmDstResolutionW", 372, 2, KV_VT_S16},
        DmCase{40, "kdmSrcPaperLengthDot", 376, 4, KV_VT_U32}, DmCase{46, "kdmOutPaperSize", 400, 2, KV_VT_S16},
        DmCase{53, "kdmOutputTrayID", 428, 2, KV_VT_U16}, DmCase{54, "kdmMediaType", 432, 4, KV_VT_U32},
        DmCase{55, "kdmFuncSelectScale", 436, 4, B(0)}, DmCase{56, "kdmFuncSelectNup", 436, 4, B(1)},
        DmCase{86, "kdmFuncSelectReserve1", 436, 4, B(31)}, DmCase{87, "kdmScaleType", 440, 1, KV_VT_U8},
        DmCase{88, "kdmScaleCentering", 441, 1, B(0)}, DmCase{92, "kdmNUPType", 448, 2, KV_VT_U16},
        DmCase{94, "kdmDuplexType", 451, 1, KV_VT_U8}, DmCase{96, "kdmShiftMarginX", 454, 2, KV_VT_S16},
        DmCase{107, "kdmHFFuncSelect7", 462, 1, B(7)}, DmCase{114, "kdmHFString", 469, 33, KV_VT_ANSI},
        DmCase{115, "kdmHFFontName", 502, 32, KV_VT_ANSI}, DmCase{121, "kdmStapleType", 542, 2, KV_VT_U16},
        DmCase{138, "kdmBrightness", 568, 1, KV_VT_S8}, DmCase{168, "kdmQualityFuncReducedToneLevel", 576, 2, B(15)},
        DmCase{198, "kdmExtOutputFaceDown", 592, 2, B(15)}, DmCase{202, "kdmUserID", 597, 9, KV_VT_ANSI},
        DmCase{205, "kdmMergeFileName", 632, 65, KV_VT_ANSI}, DmCase{209, "kdmPrnMethod", 732, 1, KV_VT_U8},
        DmCase{217, "kdmActionOverlay", 734, 2, B(6)}, DmCase{231, "kdmTelNo", 742, 65, KV_VT_ANSI},
        DmCase{242, "kdmDriverType", 811, 1, KV_VT_U8}, DmCase{243, "kdmAPIUseFlag", 812, 1, KV_VT_U8},
        DmCase{244, "kdmInOptionSupportDuplex", 816, 4, B(0)}, DmCase{339, "kdmOutOption2SupportLCOT", 824, 4, B(31)},
        DmCase{348, "kdmFrontFunc", 852, 4, KV_VT_U32}, DmCase{365, "kdmHiddenFunc16", 856, 4, B(16)},
        DmCase{383, "kdmExtOutput2A4Fit", 860, 2, B(2)}, DmCase{411, "kdmSeparationSheetCycle", 884, 2, KV_VT_S16},
        DmCase{446, "kdmPrintSpeed", 894, 1, KV_VT_U8}, DmCase{524, "kdmCopyProtectChar", 910, 65, KV_VT_ANSI},
        DmCase{525, "kdmCopyProtectFontName", 975, 32, KV_VT_ANSI},
        DmCase{527, "kdmCopyProtectFontPoint", 1008, 2, KV_VT_U16},
        DmCase{562, "kdmSupportFunc2SelectJobComplete", 1020, 4, B(0)},
        DmCase{594, "kdmPaperINCHLength", 1024, 4, KV_VT_U32}, DmCase{598, "kdmTrackID", 1040, 21, KV_VT_ANSI},
        DmCase{599, "kdmDuplexDryTimer", 1062, 2, KV_VT_U16}, DmCase{600, "kdmDitherEDType", 1064, 1, KV_VT_U8},
        DmCase{609, nullptr, 1219, 1, KV_VT_U8}, DmCase{615, nullptr, 1225, 1, KV_VT_U8},
        DmCase{624, nullptr, 1234, 1, KV_VT_U8}, DmCase{625, nullptr, 1235, 1, KV_VT_U8}),
    DmCaseName);

// Every public item is the DEVMODEW field of its name, at the field's offset and width.
TEST(DevmodeLayoutAll, PublicItemsAreTheDevmodeFields)
{
#define KV_PUB(id, field, vt)                                                           \
  {                                                                                     \
    id, #field, (int)offsetof(DEVMODEW, field), (int)sizeof(((DEVMODEW *)0)->field), vt \
  }
  const DmCase cases[] = {
      KV_PUB(1, dmDeviceName, KV_VT_WTEXT),   KV_PUB(2, dmSpecVersion, KV_VT_U16),
      KV_PUB(3, dmDriverVersion, KV_VT_U16),  KV_PUB(4, dmSize, KV_VT_U16),
      KV_PUB(5, dmDriverExtra, KV_VT_U16),    KV_PUB(6, dmFields, KV_VT_U32),
      KV_PUB(7, dmOrientation, KV_VT_S16),    KV_PUB(8, dmPaperSize, KV_VT_S16),
      KV_PUB(9, dmPaperLength, KV_VT_S16),    KV_PUB(10, dmPaperWidth, KV_VT_S16),
      KV_PUB(11, dmScale, KV_VT_S16),         KV_PUB(12, dmCopies, KV_VT_S16),
      KV_PUB(13, dmDefaultSource, KV_VT_S16), KV_PUB(14, dmPrintQuality, KV_VT_S16),
      KV_PUB(15, dmColor, KV_VT_S16),         KV_PUB(16, dmDuplex, KV_VT_S16),
      KV_PUB(17, dmYResolution, KV_VT_S16),   KV_PUB(18, dmTTOption, KV_VT_S16),
      KV_PUB(19, dmCollate, KV_VT_S16),       KV_PUB(20, dmFormName, KV_VT_WTEXT),
      KV_PUB(21, dmLogPixels, KV_VT_U16),     KV_PUB(22, dmBitsPerPel, KV_VT_U32),
      KV_PUB(23, dmPelsWidth, KV_VT_U32),     KV_PUB(24, dmPelsHeight, KV_VT_U32),
      KV_PUB(25, dmDisplayFlags, KV_VT_U32),  KV_PUB(26, dmDisplayFrequency, KV_VT_U32),
      KV_PUB(27, dmICMMethod, KV_VT_U32),     KV_PUB(28, dmICMIntent, KV_VT_U32),
      KV_PUB(29, dmMediaType, KV_VT_U32),     KV_PUB(30, dmDitherType, KV_VT_U32),
      KV_PUB(31, dmReserved1, KV_VT_U32),     KV_PUB(32, dmReserved2, KV_VT_U32),
      KV_PUB(33, dmPanningWidth, KV_VT_U32),  KV_PUB(34, dmPanningHeight, KV_VT_U32),
  };
#undef KV_PUB
  for (const DmCase &c : cases) {
    const OPTION_ITEM *it = RowOf(c.id);
    ASSERT_NE(it, nullptr) << c.id;
    EXPECT_EQ(KvItemBlock(it), KV_BLOCK_DEVMODE) << c.name;
    EXPECT_EQ((int)it->offset, c.offset) << c.name;
    EXPECT_EQ((int)KvItemSize(it), c.size) << c.name;
    EXPECT_EQ(KvItemValueType(it), c.vt) << c.name;
    EXPECT_EQ(Ascii(it->name), c.name);
  }
}

// The private items against the field table of the private part kept in
// tests/fixtures/devmode/layout.txt: every row there is an option row with that offset,
// width, type and name, and every private DEVMODE row of the option table is listed there.
TEST(DevmodeLayoutAll, PrivateItemsMatchTheFieldTable)
{
  std::ifstream in(KV_DEVMODE_LAYOUT_FILE);
  ASSERT_TRUE(in.good()) << KV_DEVMODE_LAYOUT_FILE;
  const std::map<std::string, DWORD> types = {{"u8", KV_VT_U8},     {"s8", KV_VT_S8},      {"u16", KV_VT_U16},
                                              {"s16", KV_VT_S16},   {"u32", KV_VT_U32},    {"s32", KV_VT_S32},
                                              {"ansi", KV_VT_ANSI}, {"block", KV_VT_BLOCK}};
  std::set<int> listed;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream row(line);
    int id = 0, offset = 0, size = 0;
    std::string type, name;
    ASSERT_TRUE(static_cast<bool>(row >> id >> offset >> size >> type >> name)) << line;
    EXPECT_TRUE(listed.insert(id).second) << "item listed twice: " << id;
    DWORD vt = 0;
    if (type.rfind("bit", 0) == 0) {
      vt = KV_VT_BIT0 + std::stoi(type.substr(3));
    } else {
      ASSERT_EQ(types.count(type), 1u) << line;
      vt = types.at(type);
    }
    const OPTION_ITEM *it = RowOf(id);
    ASSERT_NE(it, nullptr) << id;
    EXPECT_EQ(KvItemBlock(it), KV_BLOCK_DEVMODE) << id;
    EXPECT_EQ((int)it->offset, offset) << "item " << id;
    EXPECT_EQ((int)KvItemSize(it), size) << "item " << id;
    EXPECT_EQ(KvItemValueType(it), vt) << "item " << id;
    EXPECT_EQ(Ascii(it->name), name == "-" ? std::string("(null)") : name) << "item " << id;
  }
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM *it = &g_kvOptionItems[i];
    if (KvItemBlock(it) == KV_BLOCK_DEVMODE && it->id > 34) {
      EXPECT_EQ(listed.count(it->id), 1u) << it->id;
    }
  }
  EXPECT_EQ(listed.size(), 591u) << "items 35-625";
}

TEST(OptionTable, DevmodeLeavesHeaderWordsAndReservedAreaFree)
{
  // Bytes of the model tag, signature, sizes, version, block offsets and the reserved area
  // belong to no item.
  std::vector<bool> used(KV_DEVMODE_SIZE, false);
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM *it = &g_kvOptionItems[i];
    if (KvItemBlock(it) != KV_BLOCK_DEVMODE) continue;
    for (DWORD b = 0; b < KvItemSize(it); ++b) used[it->offset + b] = true;
  }
  for (int b = 220; b < 224; ++b) EXPECT_FALSE(used[b]) << b;
  for (int b = 349; b < 368; ++b) EXPECT_FALSE(used[b]) << b;
  for (int b = 1065; b < 1219; ++b) EXPECT_FALSE(used[b]) << b;
  for (int b = 0; b < 220; ++b) EXPECT_TRUE(used[b]) << "public byte " << b;
}

struct KeyedCase {
  int id;
  SHORT cls;
  const char *section;  // nullptr: the printer's own section
  const char *key;
  DWORD block, vt, size;
};

class KeyedRows : public ::testing::TestWithParam<KeyedCase> {};

void PrintTo(const KeyedCase &c, std::ostream *os) { *os << "item " << c.id; }
std::string KeyedCaseName(const ::testing::TestParamInfo<KeyedCase> &info)
{
  return "item" + std::to_string(info.param.id);
}

TEST_P(KeyedRows, StorageFields)
{
  const KeyedCase &c = GetParam();
  const OPTION_ITEM *it = RowOf(c.id);
  ASSERT_NE(it, nullptr);
  EXPECT_EQ(it->storageClass, c.cls);
  if (c.section) {
    EXPECT_EQ(Ascii(it->section), c.section);
  } else {
    EXPECT_EQ(it->section, nullptr);
  }
  EXPECT_EQ(Ascii(it->key), c.key);
  EXPECT_EQ(KvItemBlock(it), c.block);
  EXPECT_EQ(KvItemValueType(it), c.vt);
  if (c.size) {
    EXPECT_EQ(KvItemSize(it), c.size);
  }
}

INSTANTIATE_TEST_SUITE_P(All, KeyedRows,
                         ::testing::Values(KeyedCase{209, 2, nullptr, "PrnMethod", 1, KV_VT_U8, 1},
                                           KeyedCase{217, 2, nullptr, "ACT_FORMOVERLAY", 1, B(6), 0},
                                           KeyedCase{243, 2, nullptr, "APIUseFlag", 1, KV_VT_U8, 1},
                                           KeyedCase{348, 2, nullptr, "FrontFunc", 1, KV_VT_U32, 4},
                                           KeyedCase{856, 2, nullptr, "OverlayDataPath", 3, KV_VT_ANSI, 521},
                                           KeyedCase{10014, 1, "OPTION", "Duplex", 2, B(0), 0},
                                           KeyedCase{10021, 1, "OPTION", "ManualTray", 2, B(7), 0},
                                           KeyedCase{10023, 1, "OPTION", "1Step", 2, B(9), 0},
                                           KeyedCase{10070, 1, "OPTION", "HDD", 2, B(24), 0},
                                           KeyedCase{10110, 1, "OPTION", "1StepNum", 2, KV_VT_U32, 4},
                                           KeyedCase{10111, 1, "TRAYFIELD", "Tray1Field", 2, B(0), 0},
                                           KeyedCase{10112, 1, "TRAYFIELD", "Tray2Field", 2, B(1), 0},
                                           KeyedCase{10138, 1, "TRAYFIELD", "ManualField", 2, B(27), 0},
                                           KeyedCase{10175, 1, "PAPERSIZE", "Tray1Paper", 2, KV_VT_U16, 2},
                                           KeyedCase{10176, 1, "PAPERSIZE", "Tray2Paper", 2, KV_VT_U16, 2},
                                           KeyedCase{10207, 1, "MEDIATYPE", "Tray1Media", 2, KV_VT_U16, 2},
                                           KeyedCase{10273, 1, "PRINTLOG", "DllUserCode", 2, KV_VT_ANSI, 9},
                                           KeyedCase{10274, 1, "OTHER", "Other", 2, KV_VT_ANSI, 33},
                                           KeyedCase{10275, 1, "PRINTLOG", "Logging", 2, KV_VT_U32, 4},
                                           KeyedCase{10276, 1, "COVER_MARK", "CoverTray", 2, KV_VT_S16, 2},
                                           KeyedCase{10277, 1, "COVER_MARK", "MarkTray", 2, KV_VT_S16, 2}),
                         KeyedCaseName);

TEST(OptionTable, OnlyTheKeyedRowsCarryKeysAndSections)
{
  int keyed = 0;
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM *it = &g_kvOptionItems[i];
    if (it->key)
      keyed++;
    else {
      EXPECT_EQ(it->section, nullptr) << it->id;
    }
  }
  EXPECT_EQ(keyed, 21);
}

TEST(OptionTable, StorageClassCounts)
{
  std::map<int, int> n;
  for (int i = 0; i < g_kvOptionItemCount; ++i) n[g_kvOptionItems[i].storageClass]++;
  EXPECT_EQ(n[1], 1612);
  EXPECT_EQ(n[0], 43);
  EXPECT_EQ(n[2], 5);
  for (const char *name : {"wdmFreeSizeName", "wdmPresetName", "wdmWmChar", "wdmWmImage", "wdmNUPType", "wdmDuplexType",
                           "wdmHiddenModePrintBox"}) {
    const OPTION_ITEM *it = RowNamed(name);
    ASSERT_NE(it, nullptr) << name;
    EXPECT_EQ(it->storageClass, 0) << name;
  }
}

TEST(OptionTable, OutputCodes)
{
  const std::map<int, int> want = {{1, 3},   {96, 9},  {97, 10},   {98, 2},  {99, 2},  {111, 13},
                                   {210, 1}, {601, 5}, {894, 101}, {895, 6}, {896, 7}, {1061, 12}};
  std::map<int, int> got;
  for (int i = 0; i < g_kvOptionItemCount; ++i)
    if (g_kvOptionItems[i].outputCode) got[g_kvOptionItems[i].id] = g_kvOptionItems[i].outputCode;
  EXPECT_EQ(got, want);
}

TEST(OptionTable, MembershipBits)
{
  std::map<int, int> n;
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM *it = &g_kvOptionItems[i];
    EXPECT_EQ(it->state & KV_STATE_CHANGED_MASK, 0) << it->id;
    EXPECT_EQ(it->flags, 0u) << it->id;
    if (it->state) n[it->state]++;
  }
  EXPECT_EQ(n.size(), 4u);
  EXPECT_EQ(n[0x04], 45);
  EXPECT_EQ(n[0x14], 30);
  EXPECT_EQ(n[0x40], 24);
  EXPECT_EQ(n[0x44], 1);
  EXPECT_EQ(RowOf(118)->state, 0x44);
  for (int id : {38, 39, 130, 137, 152, 179, 398}) EXPECT_EQ(RowOf(id)->state, 0x14) << id;
  for (int id : {117, 832, 848, 855}) EXPECT_EQ(RowOf(id)->state, 0x40) << id;
  EXPECT_EQ(RowOf(60)->state & KV_STATE_PRESET_MASK, 0x04);
}

TEST(OptionTable, NamedItemsHaveTheTypesTheirUseNeeds)
{
  struct C {
    const char *name;
    int id;
    DWORD block, vt, size;
  };
  const C cases[] = {
      {"wdmFreeSizeWidth", 819, 3, KV_VT_U32, 4},
      {"wdmFreeSizeLength", 820, 3, KV_VT_U32, 4},
      {"wdmPresetName", 828, 3, KV_VT_ANSI, 37},
      {"wdmPresetComment", 829, 3, KV_VT_ANSI, 513},
      {"wdmUserSetName", 830, 3, KV_VT_ANSI, 33},
      {"wdmWmFontName", 848, 3, KV_VT_WTEXT, 64},
      {"wdmWmImage", 833, 3, KV_VT_ANSI, 263},
      {"wdmConvertVersion", 922, 3, KV_VT_U32, 4},
      {"wdmAuthenticationUserName", 1014, 3, KV_VT_ANSI, 33},
      {"wdmAuthenticationPassword", 1015, 3, KV_VT_ANSI, 193},
      {"wdmAuthenticationNetworkKey", 1016, 3, KV_VT_ANSI, 33},
      {"wdmFreeSize1Width", 1020, 3, KV_VT_U32, 4},
      {"wdmFreeSize10Orient", 1059, 3, KV_VT_U16, 2},
      {"wdmDriverVersion", 1060, 3, KV_VT_WTEXT, 32},
      {"wdmCustomFunc0", 1239, 2, B(0), 4},
      {"wdmCustomFunc31", 1270, 2, B(31), 4},
      {"kdmServerLogCode", 10001, 2, KV_VT_U8, 1},
      {"kdmLogCodeUse", 10002, 2, KV_VT_U8, 1},
      {"kdmLogCode", 10003, 2, KV_VT_ANSI, 9},
      {"kdmFontTableNum", 10004, 2, KV_VT_S16, 2},
      {"kdmDeviceFont", 10007, 2, KV_VT_U32, 4},
      {"kdmPrinterMemory", 10012, 2, KV_VT_U32, 4},
      {"kdmSystemVersion", 10271, 2, KV_VT_ANSI, 16},
      {"kdmEmulationVersion", 10272, 2, KV_VT_ANSI, 16},
      {"kdmTotalCounter", 10289, 2, KV_VT_U32, 4},
      {"kdmTrayChapterSep1", 10285, 2, KV_VT_U32, 4},
      {"kdmReverseCoverDefTray", 10288, 2, KV_VT_S16, 2},
      {"kdmTrayLock0", 10239, 2, B(0), 4},
      {"kdmTrayOrient25", 10168, 2, B(25), 4},
      {"kdmOutputOptionTypeFin1000", 10049, 2, B(3), 4},
      {"kdmOutputOption2TypeFin3000NoPunch", 10081, 2, B(3), 4},
      {"kdmOutputOption3TypeFoldingUnit", 10290, 2, B(0), 4},
      {"kdmOutputOption4Type31", 10353, 2, B(31), 4},
      {"kdmPrnFuncAuthenticationMode", 10354, 2, B(0), 4},
      {"kdmPrnFuncAuthenticationSecureMode", 10355, 2, B(1), 4},
  };
  for (const C &c : cases) {
    const OPTION_ITEM *it = RowNamed(c.name);
    ASSERT_NE(it, nullptr) << c.name;
    EXPECT_EQ(it->id, c.id) << c.name;
    EXPECT_EQ(KvItemBlock(it), c.block) << c.name;
    EXPECT_EQ(KvItemValueType(it), c.vt) << c.name;
    EXPECT_EQ(KvItemSize(it), c.size) << c.name;
  }
  // Bits of one printer-configuration word share its field.
  EXPECT_EQ(RowOf(10014)->offset, RowOf(10045)->offset);
  EXPECT_EQ(RowOf(10111)->offset, RowOf(10142)->offset);
  EXPECT_NE(RowOf(10111)->offset, RowOf(10143)->offset);
  // Tray papers and media: 32 consecutive 16-bit items each.
  for (int id = 10175; id <= 10238; ++id) EXPECT_EQ(KvItemValueType(RowOf(id)), KV_VT_U16) << id;
}

TEST(TableTypes, SizesOfThe32BitLayouts)
{
  EXPECT_EQ(sizeof(OPTION_ITEM), 36u);
  EXPECT_EQ(sizeof(VALUE_XLAT_ROW), 8u);
  EXPECT_EQ(sizeof(SYMBOL_ENTRY), 8u);
  EXPECT_EQ(sizeof(VALUE_SYMBOL), 20u);
  EXPECT_EQ(sizeof(MESSAGE_ENTRY), 16u);
  EXPECT_EQ(sizeof(VALUE_LIST_ROW), 12u);
  EXPECT_EQ(sizeof(TABLE_REF), 8u);
  EXPECT_EQ(sizeof(DIALOG_RECORD), 28u);
  EXPECT_EQ(sizeof(CONTROL_RECORD), 48u);
  EXPECT_EQ(KV_TYPEWORD(3, 16 + 5, 4), 0xD5000004u);
}
