// Names from the font lists of the printer configuration: device fonts, option fonts and
// the TrueType substitution table.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// The name of entry index across the device fonts, then the option fonts; "" (static, never
// NULL) for a NULL ctx, a negative index or one past both lists. The text lives in the list.
const WCHAR *WINAPI ItemGetFontListName(DRIVER_CONTEXT *ctx, LONG index);
// The device font that substitutes the TrueType face name, or the first device font name
// when the table has none for it (or name is NULL); never NULL, not to be freed.
const WCHAR *WINAPI ItemFindFontSubstitute(DRIVER_CONTEXT *ctx, const WCHAR *name);
// The default font face name of the language resources into buf (cch characters, always
// terminated; a longer name is cut to cch - 1). A NULL buf or cch <= 0 is ignored.
void WINAPI ResGetDefaultFontName(DRIVER_CONTEXT *ctx, WCHAR *buf, int cch);

KV_END_DECLS
