// The PJL variable table: the "@PJL SET" variables of the driver, each with the item it
// sets, its values with their conditions and companion settings. The value-availability
// queries of the rule engine read it, and so does the application interface's PJL-text
// engine. The rows are compiled in, the same for every printer and every deliverable, which
// reach them through PjlGetVariableTable.
#pragma once

#include "win32.h"

// One entry of a condition chain or of a settings list. The fields come in the order
// {next, item, value, connector}: a settings list (whose connector nobody reads) is
// written {next, item, value} and its connector stays 0.
//
// As a condition: an entry holds when the stored value of its item equals value. A
// connector with bit value 2 (normally 2) joins the next entry into the same term (AND);
// 0 starts another term of the same clause (OR); any other non-zero value ends the clause,
// and the clauses of a chain are joined by AND. The item field is an option item ID, or
// for a feature condition a printer-configuration code mapped through the code ranges of
// the rule engine (RuleEvalFeatureCondition).
typedef struct RULE_CONDITION {
  const struct RULE_CONDITION *next;
  DWORD item;
  DWORD value;
  DWORD connector;
} RULE_CONDITION;

#define KV_COND_AND 2u         // connector: the next entry joins this term
#define KV_COND_OR 0u          // connector: the next entry starts another term
#define KV_COND_END_CLAUSE 1u  // connector: this entry ends its clause

// A further line written after a value's own line by the PJL-text engine.
typedef struct PJL_EXTRA_LINE {
  const struct PJL_EXTRA_LINE *next;
  const char *value;
  const char *name;
} PJL_EXTRA_LINE;

// The value range of a Numeric variable; of the table's Numeric variables only the
// condition is read (the values themselves come from the item's description node).
typedef struct PJL_NUMBER_RANGE {
  DWORD maximum;
  DWORD minimum;
  DWORD reserved1;
  DWORD pjlUnit;
  DWORD storedUnit;
  DWORD reserved2;
  const RULE_CONDITION *condition;  // when the variable's values are available
  DWORD reserved3;
} PJL_NUMBER_RANGE;

// Flags of a value row. KV_PJL_VALUE_NO_ITEM_VALUE: the value has no item value of its own;
// it is not a real choice, is never set in a trial, and is the catch-all on output.
// KV_PJL_VALUE_ALIAS: a further stored value named by an earlier value's text.
#define KV_PJL_VALUE_NO_ITEM_VALUE 0x1u
#define KV_PJL_VALUE_ALIAS 0x10u
#define KV_PJL_VALUE_NEVER_OFFERED 0x100u

// A value of a variable.
typedef struct PJL_VALUE_ROW {
  DWORD flags;                      // KV_PJL_VALUE_*
  DWORD itemValue;                  // the stored value of the variable's item
  const char *valueText;            // the PJL value ("SORT"), ANSI
  const char *variableName;         // the name, for a variable without one of its own
  const RULE_CONDITION *settings;   // companion settings set together with this value
  const RULE_CONDITION *condition;  // plain item IDs; an empty chain holds
  const PJL_EXTRA_LINE *extraLines;
} PJL_VALUE_ROW;

// Conversion flags of a variable.
#define KV_PJL_CONV_VALUE_TABLE 0x1u  // the value comes from the value table
#define KV_PJL_CONV_NODE 0x2u         // the value comes from the item's description node
// Decide each value of the variable by trying it: set it with its companion settings,
// re-derive the dependent settings and keep the value only when every setting it made
// survived (PjlIsValueAllowed). No compiled-in row carries it; a row built with it gets
// the trial, every other row is decided by its values' conditions.
#define KV_PJL_CONV_TRIAL 0x8u
#define KV_PJL_CONV_ENGINE 0x10000u     // handled by the PJL-text engine itself
#define KV_PJL_CONV_FORCEFEED 0x10100u  // exactly: the feed-direction pseudo-variable
#define KV_PJL_CONV_BINDING 0x10800u    // both bits: the binding variable
#define KV_PJL_CONV_BOOKLET 0x11000u    // both bits: the booklet variable

// Usage bits of a variable.
#define KV_PJL_USE_BASE 0x1u     // a base variable; its values are listed
#define KV_PJL_USE_OPTION 0x2u   // a printer option; its condition, when present, must hold
#define KV_PJL_USE_PRINTER 0x4u  // printer information

// Value types of a variable.
#define KV_PJL_TYPE_PICKONE 0x1u
#define KV_PJL_TYPE_BOOLEAN 0x4u
#define KV_PJL_TYPE_NUMERIC 0x8u
#define KV_PJL_TYPE_STRING 0x10u

// One PJL variable.
typedef struct PJL_VARIABLE_ROW {
  DWORD itemId;                     // 0 = a row without item
  DWORD variant;                    // description node variant (0 in every row)
  DWORD convertFlags;               // KV_PJL_CONV_*
  DWORD usageMask;                  // KV_PJL_USE_*
  DWORD valueType;                  // KV_PJL_TYPE_*
  const char *name;                 // the PJL variable name, ANSI; NULL: the values name it
  const RULE_CONDITION *settings;   // companion settings set together with every value
  DWORD valueCount;                 // entries of values
  const PJL_VALUE_ROW *values;      // the value table; NULL for Numeric variables
  const PJL_NUMBER_RANGE *range;    // Numeric variables only, else NULL
  const RULE_CONDITION *condition;  // printer-configuration codes, for usage bit 2
} PJL_VARIABLE_ROW;

typedef struct PJL_VARIABLE_TABLE {
  DWORD count;
  PJL_VARIABLE_ROW *rows;
} PJL_VARIABLE_TABLE;

#define KV_PJL_VARIABLE_ROWS 33

KV_BEGIN_DECLS

// The compiled-in rows, shared by every deliverable's table (writable data, as the
// deliverables hold their tables).
extern PJL_VARIABLE_ROW g_kvPjlVariableRows[KV_PJL_VARIABLE_ROWS];

// The table of PJL variables, the same in every deliverable: its header names the
// compiled-in rows.
PJL_VARIABLE_TABLE *WINAPI PjlGetVariableTable(void);

KV_END_DECLS
