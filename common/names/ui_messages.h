// The messages the library shows itself: the modeless status window, message boxes
// built from resource strings, and the system's text of an error code (kvmlface only).
#pragma once

#include "context.h"

#define KV_STATUS_DIALOG_ID 4000
#define KV_STATUS_TEXT_ID 5005

// Argument kinds of a message box request.
enum : WORD {
  MSGBOX_ARGS_NONE = 0,
  MSGBOX_ARGS_STRING = 1,   // one UTF-16 string
  MSGBOX_ARGS_NUMBERS = 2,  // 1 to 8 WORD numbers, in array order
};
#define MSGBOX_MAX_NUMBERS 8

// A message box: texts by resource string id (caption 0 = the printer name), optional
// prefix and suffix texts, and the arguments of a text id that is a format.
typedef struct MSGBOX_REQUEST {
  WORD textId;
  WORD captionId;
  WORD iconStyle;
  WORD buttonStyle;
  const WCHAR *prefix;
  WORD argKind;
  WORD argCount;
  const void *args;
  const WCHAR *suffix;
} MSGBOX_REQUEST;

KV_BEGIN_DECLS

// Opens the status dialog of the language DLL, titled with the printer's name and showing
// string stringId; the caller closes it with UiCloseStatusWindow. NULL without context
// state, language DLL or window.
HWND WINAPI UiShowStatusWindow(DRIVER_CONTEXT *ctx, void *reserved, WORD stringId);
// Destroys a status window.
void WINAPI UiCloseStatusWindow(void *reserved, HWND window);
// The MessageBoxW answer, or 0 without showing anything for an inconsistent request
// (NULL, arguments without a kind, a kind without arguments, a string kind without a
// string, a number list of 0 or more than 8 numbers, an unknown kind) or when memory
// runs out.
int WINAPI UiMessageBox(DRIVER_CONTEXT *ctx, const MSGBOX_REQUEST *req, HWND owner);
// A warning box (exclamation icon) of string textId with those buttons, owned by the active
// window when owner is NULL; answers as UiMessageBox.
int WINAPI UiWarnBox(DRIVER_CONTEXT *ctx, HWND owner, WORD textId, WORD buttons);
// UiWarnBox with OK and Cancel.
int WINAPI UiWarnOkCancel(DRIVER_CONTEXT *ctx, HWND owner, WORD textId);
// A warning box of string textId completed with text; answers as UiMessageBox.
int WINAPI UiWarnBoxWithText(DRIVER_CONTEXT *ctx, HWND owner, WORD textId, const WCHAR *text);
// A box of string textId with that icon and those buttons; answers as UiMessageBox.
int WINAPI UiMessageBoxStyled(DRIVER_CONTEXT *ctx, HWND owner, WORD textId, WORD icon, WORD buttons);
// Shows the system's text for an error code; nothing when the system has none. 1.
int WINAPI UiSystemErrorBox(DRIVER_CONTEXT *ctx, DWORD error, HWND owner);

KV_END_DECLS
