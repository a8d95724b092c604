// Controls of the GDI objects that stand outside Win32: the count of live objects (tests
// look for leaks with it) and the colour of a brush. PlatResetForTest deletes every object.
#pragma once
#include "win32/types.h"

KV_BEGIN_DECLS

// GDI objects created and not yet deleted.
KVAPI DWORD PlatGdiObjectCount(void);
// The colour of a live solid brush into *color; FALSE for any other handle.
KVAPI BOOL PlatGdiBrushColor(HBRUSH brush, COLORREF *color);

KV_END_DECLS
