// Value availability: which values of a job setting the printer accepts in the current
// state, answered from the PJL variable table (hooks/pjl_vars.h). A value is available
// when its condition on the current settings holds or, for a variable marked for trial,
// when setting it with its companion settings survives the re-derivation of the dependent
// settings. Also the condition chains of the table and the re-derivation itself.
#pragma once

#include "context.h"
#include "hooks/pjl_vars.h"

// A feature condition's codes: each row maps 32 consecutive printer-configuration codes
// (installed-option bits) to the DEVMODE items that mirror them.
typedef struct RULE_CODE_RANGE {
  DWORD firstCode;
  DWORD firstItem;
} RULE_CODE_RANGE;

#define KV_RULE_CODE_RANGE_SPAN 32u
// Longest condition chain or settings list walked; a longer (or circular) one fails.
#define KV_RULE_CHAIN_MAX 256u

KV_BEGIN_DECLS

// The five code ranges, ended by a zero row.
extern const RULE_CODE_RANGE g_kvRuleCodeRanges[6];

// The item a feature-condition code stands for: first item + code - first code of its
// range; 0 for a code in no range.
DWORD WINAPI RuleMapFeatureCode(DWORD code);

// 1 when the chain holds on the items' stored values (ItemGetRaw), else 0. An empty chain
// holds; a chain longer than KV_RULE_CHAIN_MAX entries fails.
int WINAPI RuleEvalSettingCondition(DRIVER_CONTEXT *ctx, const RULE_CONDITION *chain);
// The same walk on a chain whose item fields are printer-configuration codes: each code is
// first mapped through the code ranges, and an entry whose code is in no range is left out
// as if absent (a chain left empty holds).
int WINAPI RuleEvalFeatureCondition(DRIVER_CONTEXT *ctx, const RULE_CONDITION *chain);

// Re-derives the settings that follow others: the resolution cap, DM_PRINTQUALITY in
// dmFields, the resolution and paper items, then every item's transactions. Answers 0.
LONG WINAPI RuleRefreshDerivedSettings(DRIVER_CONTEXT *ctx);

// The first row of the table whose item ID (non-zero) is the one asked for, answered only
// when its usage mask shares a bit with usage and, for a row with usage bit 2 and a
// condition, that condition holds as a feature condition; else NULL. Later rows of the
// same item are not tried.
const PJL_VARIABLE_ROW *WINAPI PjlFindVariable(DRIVER_CONTEXT *ctx, WORD itemId, DWORD usage);

// 1 when the value of the row is available now, else 0 (and 0 for a missing row or
// value). A row with KV_PJL_CONV_TRIAL tries the value: it sets the value (unless its flag
// bit 0 is set, and only for items below 626) and the companion settings of the row and
// of the value, re-derives the dependent settings and answers 1 when every setting made
// still holds. The DEVMODE, and the state that the re-derivation touches besides it (the
// pending-UI-work word, the custom-size slots, the pending pass mode, the change marks of
// the DEVMODE's items), are put back as they were; changes to the printer-configuration
// and work blocks stay. A trial whose copy cannot be allocated answers 0 and changes
// nothing. Any other row: the value's condition chain decides (empty holds).
int WINAPI PjlIsValueAllowed(DRIVER_CONTEXT *ctx, const PJL_VARIABLE_ROW *row, const PJL_VALUE_ROW *value);

// The item values of the available values of the item's variable (usage bit 1), in table
// order; with skipFlagged the values with flag bit 0 are left out. *count (optional) gets
// their number. Answers 0 when they were copied into values (capacity entries) or there is
// nothing to list (count 0); 1 when values is NULL or too small (nothing copied, the count
// still set); -1 when memory runs out (count 0).
int WINAPI PjlCollectAllowedValues(DRIVER_CONTEXT *ctx, WORD itemId, DWORD capacity, DWORD *values, DWORD *count,
                                   int skipFlagged);
// PjlCollectAllowedValues without skipping.
int WINAPI PjlListAllowedValues(DRIVER_CONTEXT *ctx, WORD itemId, DWORD capacity, DWORD *values, DWORD *count);
// 1 when the item's variable has an available value that is a real choice (flag bit 0
// clear), else 0.
int WINAPI PjlHasAllowedValue(DRIVER_CONTEXT *ctx, WORD itemId);
// 1 when the sort type (item 119) offers a choice: more than one available value, or one
// that is not 0. 0 otherwise, and when memory runs out.
int WINAPI PjlIsSortSelectable(DRIVER_CONTEXT *ctx);

KV_END_DECLS
