// GDI objects: the logical brushes the driver's dialogs paint with. An object is a handle
// and its description; nothing is drawn. kvplat/gdi_control.h counts the live objects.
#pragma once
#include "win32/types.h"

#ifndef RGB
#define RGB(r, g, b) ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#endif

KV_BEGIN_DECLS

// A new solid brush of colour crColor; NULL when no object can be made. The caller
// deletes it with DeleteObject.
HBRUSH WINAPI CreateSolidBrush(COLORREF crColor);
// Deletes a GDI object and frees its handle: nonzero on success, zero (last error
// ERROR_INVALID_HANDLE) for NULL or a handle that names no live object, one already
// deleted included.
BOOL WINAPI DeleteObject(HGDIOBJ ho);

KV_END_DECLS
