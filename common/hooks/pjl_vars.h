// The PJL variable table of a deliverable: the rows that the value-availability queries
// read. Each deliverable holds its own table in writable data.
#pragma once

#include "win32.h"

struct RULE_CONDITION;  // a condition chain of the rule engine

// A value of a row.
typedef struct PJL_VALUE_ROW {
  DWORD flags;                              // bit 0: not a real choice, never set in a trial
  DWORD itemValue;                          // the stored value of the row's item
  const struct RULE_CONDITION *companions;  // settings set together with this value
  const struct RULE_CONDITION *condition;   // evaluated for rows without the trial flag
} PJL_VALUE_ROW;

// One PJL variable.
typedef struct PJL_VARIABLE_ROW {
  DWORD itemId;        // 0 = a row without item
  DWORD convertFlags;  // bit value 8: check the values by trial setting
  DWORD usageMask;     // 1: value listing; 2: the row's condition applies
  const struct RULE_CONDITION *companions;
  DWORD valueCount;
  const PJL_VALUE_ROW *values;
  const struct RULE_CONDITION *condition;  // item fields are option codes
} PJL_VARIABLE_ROW;

typedef struct PJL_VARIABLE_TABLE {
  DWORD count;
  PJL_VARIABLE_ROW *rows;
} PJL_VARIABLE_TABLE;

#define KV_PJL_VARIABLE_ROWS 33

KV_BEGIN_DECLS

// The deliverable's own table.
PJL_VARIABLE_TABLE *WINAPI PjlGetVariableTable(void);

KV_END_DECLS
