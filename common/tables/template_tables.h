// The compiled-in tables of the template context. They are generated at build time from the
// readable sources in common/tables/*.txt by common/tables/gentables.py; docs/names.md lists
// the names they define.
#pragma once

#include "tables/template_types.h"

// Option items: ids 1-1275 in rows 0-1274, then ids 10001-10385 from the gap row 1275 on.
extern OPTION_ITEM g_kvOptionItems[];
extern const SHORT g_kvOptionItemCount;

// Names table (item, dialog, control, message and special names).
extern const SYMBOL_ENTRY g_kvSymbols[];
extern const SHORT g_kvSymbolCount;

// Symbolic value names.
extern const VALUE_SYMBOL g_kvValueSymbols[];
extern const SHORT g_kvValueSymbolCount;

// Alert messages.
extern const MESSAGE_ENTRY g_kvMessages[];
extern const SHORT g_kvMessageCount;

// Listed values per item id, ended by a row with key 0 (not counted).
extern const VALUE_LIST_ROW g_kvItemValueLists[];
extern const SHORT g_kvItemValueListCount;

// Item groups (key 0xFFFF), addressed by index, ended by a row with key 0 (not counted).
extern const VALUE_LIST_ROW g_kvItemGroups[];
extern const SHORT g_kvItemGroupCount;

// Dialog records in table order; their control records lie in g_kvControls in the same order.
extern DIALOG_RECORD g_kvDialogs[];
extern const SHORT g_kvDialogCount;
extern CONTROL_RECORD g_kvControls[];
extern const SHORT g_kvControlCount;

// Kind of the type-specific record each control needs (parallel to g_kvControls; 0 = none).
// The records themselves belong to the control types that read them; until those exist the
// template's extra pointer is NULL for these controls.
extern const WORD g_kvControlExtraKinds[];

// Value translation tables by name, for lookups by the tests and tools.
typedef struct KV_XLAT_TABLE_REF {
  const char *name;
  const VALUE_XLAT_ROW *rows;
  SHORT rowCount;  // rows including the end rows of its parts
} KV_XLAT_TABLE_REF;
extern const KV_XLAT_TABLE_REF g_kvXlatTables[];
extern const SHORT g_kvXlatTableCount;
