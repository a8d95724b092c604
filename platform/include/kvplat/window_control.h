// Controls of the headless windowing layer that stand outside Win32: application
// windows for a test to own dialogs, the active window, scripted message-box answers and
// the record of every message box shown. Tests and the host program use them; driver
// code never does. PlatResetForTest destroys every window and clears the script and
// the record.
#pragma once
#include "win32/types.h"

KV_BEGIN_DECLS

// Creates a top-level window of class "KvAppWindow" with that text (an application's
// main window). It is not made active.
KVAPI HWND PlatWindowCreateTop(LPCWSTR text);
// Makes a window the active one (NULL: none). FALSE for a window that does not exist.
KVAPI BOOL PlatWindowSetActive(HWND hWnd);
// Live windows, children included (tests look for leaks with it).
KVAPI DWORD PlatWindowCount(void);
// The class name of a window ("#32770" for dialogs; a predefined control class such as
// "Static" for the ordinal classes of templates); NULL for a window that does not exist.
// The string stays valid while the window lives.
KVAPI LPCWSTR PlatWindowClass(HWND hWnd);

// Queues the answer of the next message box; answers are used in the order queued.
KVAPI void PlatMessageBoxScript(int answer);
// Forgets the answers not yet used.
KVAPI void PlatMessageBoxClearScript(void);

// One message box shown. Strings are NULL when the caller passed NULL; they stay valid
// until the record is cleared.
typedef struct PLAT_MSGBOX_RECORD {
  HWND owner;
  LPCWSTR text;
  LPCWSTR caption;
  UINT type;
  int answer;
} PLAT_MSGBOX_RECORD;

KVAPI DWORD PlatMessageBoxCount(void);
// Copies record index (0 = the first box) into out; FALSE when there is none.
KVAPI BOOL PlatMessageBoxGet(DWORD index, PLAT_MSGBOX_RECORD *out);
KVAPI void PlatMessageBoxClearRecord(void);

KV_END_DECLS
