// Windows, dialogs and message boxes: a headless windowing layer. Windows exist as
// records (class, text, control id, owner, children) that the driver creates, names and
// destroys; nothing is drawn. Message boxes answer what a test scripted (see
// kvplat/window_control.h) and are recorded. Also FormatMessageW, which the driver uses
// to word the errors it shows.
#pragma once
#include "win32/types.h"

// Window messages the layer sends.
#ifndef WM_INITDIALOG
#define WM_INITDIALOG 0x0110
#endif

// Dialog template styles.
#ifndef DS_SETFONT
#define DS_SETFONT 0x40L
#endif
#ifndef WS_VISIBLE
#define WS_VISIBLE 0x10000000L
#endif
#ifndef WS_CHILD
#define WS_CHILD 0x40000000L
#endif

// MessageBoxW buttons, icons and default buttons.
#ifndef MB_OK
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONMASK 0x000000F0L
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONSTOP MB_ICONHAND
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_DEFMASK 0x00000F00L
#endif

// Dialog and message-box answers.
#ifndef IDOK
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#endif

// FormatMessageW flags.
#ifndef FORMAT_MESSAGE_ALLOCATE_BUFFER
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF
#endif

#ifndef ERROR_MR_MID_NOT_FOUND
#define ERROR_MR_MID_NOT_FOUND 317L
#endif
#ifndef ERROR_INVALID_WINDOW_HANDLE
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#endif
#ifndef ERROR_CONTROL_ID_NOT_FOUND
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#endif
#ifndef ERROR_RESOURCE_DATA_NOT_FOUND
#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#endif

KV_BEGIN_DECLS

typedef INT_PTR(CALLBACK *DLGPROC)(HWND, UINT, WPARAM, LPARAM);

// A modeless dialog from the RT_DIALOG template lpTemplateName of hInstance (the classic
// DLGTEMPLATE layout: header, optional font, then DWORD-aligned item templates). Each
// item becomes a child window with its control id, class and text. The procedure, when
// given, receives WM_INITDIALOG with dwInitParam. NULL with ERROR_RESOURCE_NAME_NOT_FOUND
// (no template), ERROR_INVALID_PARAMETER (a malformed template) or
// ERROR_INVALID_WINDOW_HANDLE (a parent that is no window).
HWND WINAPI CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam);
// Destroys a window with its children; an owned dialog does not outlive its owner's
// destruction either. FALSE with ERROR_INVALID_WINDOW_HANDLE for a window that is gone.
BOOL WINAPI DestroyWindow(HWND hWnd);
BOOL WINAPI IsWindow(HWND hWnd);
// The owner of a top-level window or the parent of a child; NULL for none.
HWND WINAPI GetParent(HWND hWnd);
// The active top-level window of this thread (set by tests through the control), or NULL.
HWND WINAPI GetActiveWindow(void);
// The child of a dialog with that control id; NULL with ERROR_CONTROL_ID_NOT_FOUND.
HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem);
int WINAPI GetDlgCtrlID(HWND hWnd);
BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString);
// Copies at most nMaxCount - 1 characters and a terminator; answers the characters copied.
int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount);
int WINAPI GetWindowTextLengthW(HWND hWnd);
BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString);
UINT WINAPI GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int nMaxCount);

// Shows a message box: records it and answers the next scripted answer, or the default
// button of uType (MB_DEFBUTTONn of the buttons of MB_TYPEMASK). 0 with
// ERROR_INVALID_WINDOW_HANDLE for an owner that is not a window.
int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);

// Words a message. Sources: FORMAT_MESSAGE_FROM_STRING (lpSource is the format) or
// FORMAT_MESSAGE_FROM_SYSTEM (the text of the error code dwMessageId; ERROR_MR_MID_NOT_FOUND
// when the layer has none). Inserts %1..%99, each a string unless "!fmt!" follows with a
// printf conversion of a number (d, i, u, x, X, c, s, with l or h); escapes %%, %n (line
// break), %r, %t, %0 (end without more), %. %! and "% ". FORMAT_MESSAGE_IGNORE_INSERTS
// copies the inserts as they stand. Arguments: a va_list*, or with
// FORMAT_MESSAGE_ARGUMENT_ARRAY an array of DWORD_PTR. FORMAT_MESSAGE_ALLOCATE_BUFFER puts
// a LocalAlloc'ed buffer into *(LPWSTR*)lpBuffer (at least nSize characters). Answers the
// characters written without the terminator; 0 on failure (ERROR_INSUFFICIENT_BUFFER when
// nSize is too small, ERROR_INVALID_PARAMETER for bad arguments).
DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPWSTR lpBuffer,
                            DWORD nSize, va_list *Arguments);

KV_END_DECLS
