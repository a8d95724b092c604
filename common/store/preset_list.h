// The stored preset list in the printer's section of the settings INI ("Count" and the
// "PresetListN", "PresetListNName", "PresetListNComment" keys), in kvmlface and kvmlrule.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

#if defined(KV_CONFIG_UI) || defined(KV_CONFIG_RULE)
// Appends a preset (its file path, name and comment; NULL texts are stored empty) behind the
// last one and frees the context's preset cache so the next read sees the new list. 0 for a
// NULL context, a context without settings INI or printer section, a full list (16
// presets), or a shared settings folder on a terminal server that the user may not change;
// 0 also when the settings INI cannot be rewritten (the entry and the count are written
// together, in one rewrite); 1 otherwise.
int WINAPI ListAppendPreset(DRIVER_CONTEXT *ctx, const WCHAR *path, const WCHAR *name, const WCHAR *comment);
// Empties the list ("Count" = 0) and frees the preset cache; 0 for a NULL context.
int WINAPI ListClearPresets(DRIVER_CONTEXT *ctx);
#endif

KV_END_DECLS
