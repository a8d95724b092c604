// The table of the printer configuration's font lists.
#include "model/font_list_table.h"
#include "tables/item_ids.h"

const FONT_LIST_DEF g_kvFontLists[KV_FONT_LIST_COUNT] = {
    {ITEM_kdmDeviceFontNum, ITEM_kdmDeviceFont, KV_DEVICE_FONT_ENTRY_SIZE},
    {ITEM_kdmOptionFontNum, ITEM_kdmOptionFont, KV_DEVICE_FONT_ENTRY_SIZE},
    {ITEM_kdmFontTableNum, ITEM_kdmFontTable, KV_FONT_SUBST_ENTRY_SIZE},
};

static_assert(KV_DEVICE_FONT_ENTRY_SIZE == 68, "DEVICE_FONT_ENTRY is 68 bytes");
static_assert(KV_FONT_SUBST_ENTRY_SIZE == 128, "FONT_SUBST_ENTRY is 128 bytes");
