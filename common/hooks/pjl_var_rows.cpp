// The compiled-in PJL variable rows, one definition for every deliverable. Row 0 is the
// sort variable COLLATE, the row the settings core asks about (collation, the capability
// block of the DEVMODE, the collate capability). The other rows are the remaining "@PJL
// SET" variables of the application interface, which fills them; until then they are rows
// without item, which no lookup by item finds.
#include "hooks/pjl_vars.h"
#include "tables/item_ids.h"

namespace {

// COLLATE sets the sort type (item 119). "OFF" is the catch-all that switches sorting off
// (item 61 := 0) and names every sort type that no other value names; its stored value 0
// (KDMSORT_OFF) is what the item holds then. "SORT" is driver sorting (KDMSORT_DRV) with
// sorting on, offered while the printer has its hard disk installed.
const RULE_CONDITION kSortOff = {NULL, ITEM_kdmFuncSelectSort, 0, 0};
const RULE_CONDITION kSortOn = {NULL, ITEM_kdmFuncSelectSort, 1, 0};
const RULE_CONDITION kHddInstalled = {NULL, ITEM_kdmOutputOptionTypeHDD, 1, KV_COND_END_CLAUSE};

const PJL_VALUE_ROW kCollateValues[] = {
    {KV_PJL_VALUE_NO_ITEM_VALUE, 0, "OFF", NULL, &kSortOff, NULL, NULL},
    {0, 1, "SORT", NULL, &kSortOn, &kHddInstalled, NULL},
};

}  // namespace

PJL_VARIABLE_ROW g_kvPjlVariableRows[KV_PJL_VARIABLE_ROWS] = {
    {ITEM_kdmSortType, 0, KV_PJL_CONV_VALUE_TABLE, KV_PJL_USE_BASE | KV_PJL_USE_OPTION, KV_PJL_TYPE_PICKONE, "COLLATE",
     NULL, sizeof kCollateValues / sizeof kCollateValues[0], kCollateValues, NULL, NULL},
};

// The one table of every deliverable: the compiled-in rows.
static PJL_VARIABLE_TABLE s_pjlTable = {KV_PJL_VARIABLE_ROWS, g_kvPjlVariableRows};

PJL_VARIABLE_TABLE *WINAPI PjlGetVariableTable(void) { return &s_pjlTable; }
