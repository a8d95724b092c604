// The status window, message boxes from resource strings and system error texts.
#include "names/ui_messages.h"

#include "names/names_paths.h"
#include "files/paths.h"
#include "names/resources.h"

HWND WINAPI UiShowStatusWindow(DRIVER_CONTEXT *ctx, void *reserved, WORD stringId)
{
  (void)reserved;
  if (ctx == NULL || ctx->state == NULL) return NULL;
  HMODULE dll = ResGetLanguageDll(ctx);
  if (dll == NULL) return NULL;
  HWND window = CreateDialogParamW(dll, MAKEINTRESOURCEW(KV_STATUS_DIALOG_ID), GetActiveWindow(), NULL, 0);
  if (window == NULL) return NULL;
  SetWindowTextW(window, CtxGetPrinterName(ctx));
  ResLoadString(ctx, stringId, ctx->state->textBuffer, 1025, TRUE);
  SetDlgItemTextW(window, KV_STATUS_TEXT_ID, ctx->state->textBuffer);
  return window;
}

void WINAPI UiCloseStatusWindow(void *reserved, HWND window)
{
  (void)reserved;
  DestroyWindow(window);
}

static BOOL RequestIsConsistent(const MSGBOX_REQUEST *req)
{
  if (req == NULL) return FALSE;
  switch (req->argKind) {
    case MSGBOX_ARGS_NONE: return req->args == NULL;
    case MSGBOX_ARGS_STRING: return req->args != NULL;
    case MSGBOX_ARGS_NUMBERS: return req->args != NULL && req->argCount >= 1 && req->argCount <= MSGBOX_MAX_NUMBERS;
    default: return FALSE;
  }
}

static const WCHAR kBreak2[] = u"\r\n\r\n";

int WINAPI UiMessageBox(DRIVER_CONTEXT *ctx, const MSGBOX_REQUEST *req, HWND owner)
{
  if (!RequestIsConsistent(req)) return 0;
  DWORD prefixLen = req->prefix != NULL ? (DWORD)lstrlenW(req->prefix) : 0;
  DWORD suffixLen = req->suffix != NULL ? (DWORD)lstrlenW(req->suffix) : 0;
  DWORD argBytes = 0;
  if (req->argKind == MSGBOX_ARGS_STRING) argBytes = ((DWORD)lstrlenW((const WCHAR *)req->args) + 1) * 2;
  if (req->argKind == MSGBOX_ARGS_NUMBERS) argBytes = (DWORD)req->argCount * 32;
  // Room for the text, the arguments, prefix and suffix, and the line breaks between them.
  DWORD bytes = 2048 + (prefixLen + 1) * 2 + argBytes + (suffixLen + 1) * 2 + 64;
  DWORD cch = bytes / 2;
  WCHAR *message = (WCHAR *)MemAllocZeroed(bytes);
  WCHAR *formatted = message != NULL ? (WCHAR *)MemAllocZeroed(bytes) : NULL;
  WCHAR *format = formatted != NULL ? (WCHAR *)MemAllocZeroed(bytes) : NULL;
  if (format == NULL) {
    MemFree(formatted);
    MemFree(message);
    return 0;
  }
  WCHAR caption[261];
  caption[0] = 0;
  if (req->captionId != 0)
    ResLoadString(ctx, req->captionId, caption, 261, TRUE);
  else if (const WCHAR *printer = CtxGetPrinterName(ctx))
    lstrcpynW(caption, printer, 261);

  ResLoadString(ctx, req->textId, format, 1024, TRUE);
  const WCHAR *text = format;
  if (req->argKind == MSGBOX_ARGS_STRING) {
    wsprintfW(formatted, format, (const WCHAR *)req->args);
    text = formatted;
  } else if (req->argKind == MSGBOX_ARGS_NUMBERS) {
    UINT n[MSGBOX_MAX_NUMBERS] = {0};
    const WORD *args = (const WORD *)req->args;
    for (WORD i = 0; i < req->argCount; ++i) n[i] = args[i];
    wsprintfW(formatted, format, n[0], n[1], n[2], n[3], n[4], n[5], n[6], n[7]);
    text = formatted;
  }
  if (req->prefix != NULL) {
    PathAppendName(message, cch, req->prefix);
    PathAppendName(message, cch, kBreak2);
  }
  PathAppendName(message, cch, text);
  if (req->suffix != NULL) {
    PathAppendName(message, cch, kBreak2);
    PathAppendName(message, cch, req->suffix);
    PathAppendName(message, cch, kBreak2);
  }
  int answer = MessageBoxW(owner, message, caption, (UINT)req->buttonStyle | req->iconStyle);
  MemFree(format);
  MemFree(formatted);
  MemFree(message);
  return answer;
}

int WINAPI UiMessageBoxStyled(DRIVER_CONTEXT *ctx, HWND owner, WORD textId, WORD icon, WORD buttons)
{
  MSGBOX_REQUEST req = {textId, 0, icon, buttons, NULL, MSGBOX_ARGS_NONE, 0, NULL, NULL};
  return UiMessageBox(ctx, &req, owner);
}

int WINAPI UiWarnBox(DRIVER_CONTEXT *ctx, HWND owner, WORD textId, WORD buttons)
{
  if (owner == NULL) owner = GetActiveWindow();
  return UiMessageBoxStyled(ctx, owner, textId, MB_ICONEXCLAMATION, buttons);
}

int WINAPI UiWarnOkCancel(DRIVER_CONTEXT *ctx, HWND owner, WORD textId)
{
  return UiWarnBox(ctx, owner, textId, MB_OKCANCEL);
}

int WINAPI UiWarnBoxWithText(DRIVER_CONTEXT *ctx, HWND owner, WORD textId, const WCHAR *text)
{
  MSGBOX_REQUEST req = {textId, 0, MB_ICONEXCLAMATION, MB_OK, NULL, MSGBOX_ARGS_STRING, 0, text, NULL};
  return UiMessageBox(ctx, &req, owner);
}

int WINAPI UiSystemErrorBox(DRIVER_CONTEXT *ctx, DWORD error, HWND owner)
{
  WCHAR *text = NULL;
  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
  if (FormatMessageW(flags, NULL, error, 0x0400, (LPWSTR)&text, 0, NULL) == 0 || text == NULL) return 1;
  MessageBoxW(owner, text, CtxGetPrinterName(ctx), MB_ICONEXCLAMATION);
  LocalFree(text);
  return 1;
}
