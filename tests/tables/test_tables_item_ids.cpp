// The named item ids of tables/item_ids.h: each constant names the row it stands for, by the
// row's field name, else its description name, else its block, offset and bit.
#include <string>

#include "tables/item_ids.h"
#include "tables_util.h"

namespace {

struct NamedId {
  WORD id;
  const char *constant;
};
#define KV_NAMED(c) \
  {                 \
    c, #c           \
  }

const char *BlockName(const OPTION_ITEM *it)
{
  switch (KvItemBlock(it)) {
    case 1: return "dm";
    case 2: return "cfg";
    case 3: return "work";
    default: return "?";
  }
}

// The name the constant of a row must carry, after "ITEM_".
std::string ExpectedName(const OPTION_ITEM *it)
{
  if (it->name != nullptr) return Ascii(it->name);
  for (int i = 0; i < g_kvSymbolCount; ++i)
    if (it->symbolKey != 0 && g_kvSymbols[i].key == it->symbolKey) return g_kvSymbols[i].name;
  std::string s = std::string(BlockName(it)) + "_" + std::to_string(it->offset);
  if (KvItemIsBit(it)) s += "_bit" + std::to_string(KvItemValueType(it) - 16);
  return s;
}

}  // namespace

TEST(ItemIds, EachConstantNamesItsRow)
{
  const NamedId cases[] = {// by field name: DEVMODE, configuration block past the gap row, work block
                           KV_NAMED(ITEM_dmDeviceName), KV_NAMED(ITEM_dmOrientation), KV_NAMED(ITEM_kdmTray1Paper),
                           KV_NAMED(ITEM_kdmServerLogCode), KV_NAMED(ITEM_kdmPrnFunc31), KV_NAMED(ITEM_wdmJudgeHook159),
                           KV_NAMED(ITEM_wdmCustomFunc0),
                           // no field name: by description name
                           KV_NAMED(ITEM_KPD_kdmTaskWeave), KV_NAMED(ITEM_KPD_kdmBidiFunc),
                           KV_NAMED(ITEM_KPD_SameSizeTray1),
                           // neither: by block, offset and bit
                           KV_NAMED(ITEM_work_0_bit0), KV_NAMED(ITEM_work_12_bit4), KV_NAMED(ITEM_work_20_bit31)};
  for (const NamedId &c : cases) {
    const OPTION_ITEM *row = RowOf(c.id);
    ASSERT_NE(row, nullptr) << c.constant;
    EXPECT_EQ(std::string("ITEM_") + ExpectedName(row), c.constant) << "item " << c.id;
  }
}
