// The module table of a context: the deliverable's extension modules and their hooks, the
// numbered events they answer, the DEVMODE snapshot stack, saved option rows and the entry
// sizes of the font lists.
#pragma once

#include "context.h"

struct MODULE_HOOK_ROW;

typedef LONG(WINAPI *MODULE_ACTION_HOOK)(DRIVER_CONTEXT *ctx, WORD code, void *priv);
typedef LONG(WINAPI *MODULE_MESSAGE_HOOK)(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, CONTROL_RECORD *control,
                                          UINT message, WPARAM wParam, LPARAM lParam, void *priv);
typedef LONG(WINAPI *MODULE_NOTIFY_HOOK)(DRIVER_CONTEXT *ctx, WORD event, void *data, void *priv);

// One extension module: its private buffer and its three hooks (NULL = none).
typedef struct MODULE_HOOK_ROW {
  LONG privateSize;             // 0 = no private buffer
  void *privateBuffer;          // allocated per context
  MODULE_ACTION_HOOK action;    // non-zero answer = handled
  MODULE_MESSAGE_HOOK message;  // non-zero answer = consumed
  MODULE_NOTIFY_HOOK notify;    // non-zero answer = answered
} MODULE_HOOK_ROW;
static_assert(sizeof(MODULE_HOOK_ROW) == 20, "MODULE_HOOK_ROW");

// Row positions of the six modules.
enum : LONG {
  KV_MODULE_PRESETS = 0,
  KV_MODULE_WATERMARKS = 1,
  KV_MODULE_COLOR = 2,
  KV_MODULE_USER_PAPER = 3,
  KV_MODULE_FINISHING = 4,
  KV_MODULE_MODEL = 5,
  KV_MODULE_ROW_COUNT = 6,
};

// The context's copy of the deliverable's module table.
typedef struct MODULE_HOOKS {
  LONG count;
  MODULE_HOOK_ROW *rows;
} MODULE_HOOKS;

// Event numbers given to CtxNotifyModules; the data block of each is named beside it.
enum MODULE_EVENT : WORD {
  KV_EVT_CONTROL_DISABLED = 3,        // KV_EVT_CONTROL_STATE_DATA
  KV_EVT_SAVE_ITEM_BY_NAME = 4,       // KV_EVT_ITEM_BY_NAME_DATA
  KV_EVT_LOAD_ITEM_BY_NAME = 5,       // KV_EVT_ITEM_BY_NAME_DATA
  KV_EVT_SERIALIZE_ITEM = 6,          // KV_EVT_ITEM_ANSWER_DATA
  KV_EVT_DIALOG_LAYOUT = 7,           // a layout record of the dialog engine
  KV_EVT_TRAY_QUESTION = 8,           // KV_EVT_TRAY_QUESTION_DATA
  KV_EVT_TRAY_FUNC_BITS = 9,          // KV_EVT_TRAY_FUNC_BITS_DATA
  KV_EVT_TRAY_DETAILS_READ = 10,      // none
  KV_EVT_SETTINGS_LOADED = 11,        // none
  KV_EVT_USE_DEFAULT_FILES = 12,      // KV_EVT_ANSWER_DATA, answer 1 before the call
  KV_EVT_ITEMS_CHANGED = 13,          // none
  KV_EVT_PICTURE_CLICK = 14,          // KV_EVT_DIALOG_CONTROL_DATA
  KV_EVT_LIST_DEFAULTS_COPIED = 15,   // KV_EVT_LIST_DEFAULTS_DATA
  KV_EVT_BIDI_QUESTION = 17,          // KV_EVT_VALUE_ANSWER_DATA
  KV_EVT_ITEM_BLOCK_LOADED = 18,      // KV_EVT_ITEM_BLOCK_DATA
  KV_EVT_TRAY_DETAILS_WANTED = 21,    // KV_EVT_ANSWER_DATA
  KV_EVT_OPTIONS_READ = 22,           // none
  KV_EVT_ITEM_BLOCK_SAVED = 23,       // KV_EVT_ITEM_BLOCK_DATA
  KV_EVT_SETTINGS_FILE_DONE = 24,     // KV_EVT_SETTINGS_FILE_DATA
  KV_EVT_CONTROL_NOTIFY = 25,         // KV_EVT_CONTROL_NOTIFY_DATA
  KV_EVT_SNAPSHOT_PUSHED = 26,        // none
  KV_EVT_SNAPSHOT_ROLLED_BACK = 27,   // none
  KV_EVT_DIALOG_APPLIED = 28,         // none
  KV_EVT_OWNER_DRAW = 29,             // a paint record of the dialog engine
  KV_EVT_LIST_RESOLUTIONS = 30,       // KV_EVT_ANSWER_DATA
  KV_EVT_MERGE_PRINT_QUALITY = 32,    // KV_EVT_PRINT_QUALITY_DATA
  KV_EVT_BIN_MODEL_VALUE = 33,        // KV_EVT_ANSWER_DATA
  KV_EVT_DIALOG_CANCELLED = 34,       // KV_EVT_DIALOG_ID_DATA
  KV_EVT_DIALOG_ACCEPTED = 35,        // KV_EVT_DIALOG_ID_DATA
  KV_EVT_PUBLIC_FIELDS_APPLIED = 36,  // none
  KV_EVT_JOB_START = 37,              // none
  KV_EVT_NUMERIC_DISPLAY = 38,        // KV_EVT_CONTROL_ANSWER_DATA
  KV_EVT_NUMERIC_CHANGE = 39,         // KV_EVT_CONTROL_VALUE_DATA
  KV_EVT_SPIN_DISPLAY = 40,           // KV_EVT_CONTROL_ANSWER_DATA
  KV_EVT_SPIN_CHANGE = 41,            // KV_EVT_CONTROL_VALUE_DATA
  KV_EVT_LIST_CHANGE = 42,            // none
  KV_EVT_SCROLL_CHANGE = 43,          // KV_EVT_CONTROL_VALUE_DATA
  KV_EVT_CUSTOM_PAPER_TAKEN = 44,     // KV_EVT_DEVMODE_DATA
  KV_EVT_SOURCE_PAPER_ITEMS = 45,     // KV_EVT_DEVMODE_ANSWER_DATA
  KV_EVT_NUMERIC_RANGE = 46,          // KV_EVT_NUMERIC_RANGE_DATA
  KV_EVT_ITEM_CHANGE = 47,            // KV_EVT_ITEM_CHANGE_DATA
  KV_EVT_PRINTER_INITIALIZED = 48,    // none
  KV_EVT_PRINTER_INIT_MODE = 49,      // KV_EVT_INIT_MODE_DATA
  KV_EVT_VALUE_FLAG_QUESTION = 50,    // KV_EVT_VALUE_ANSWER_DATA (application interface only)
  KV_EVT_NUMERIC_DISPLAY_INCH = 51,   // KV_EVT_CONTROL_ANSWER_DATA
};

// Data blocks of the events: records of 32-bit fields built by the raiser. "answer" is the
// field a hook sets; it is 0 before the call unless the event says otherwise.
typedef struct KV_EVT_ANSWER_DATA {
  LONG answer;
} KV_EVT_ANSWER_DATA;
typedef struct KV_EVT_CONTROL_STATE_DATA {
  CONTROL_RECORD *control;
  LONG value;
  LONG answer;
} KV_EVT_CONTROL_STATE_DATA;
typedef struct KV_EVT_ITEM_BY_NAME_DATA {
  LONG mode;
  OPTION_ITEM *item;
  LONG answer;
} KV_EVT_ITEM_BY_NAME_DATA;
typedef struct KV_EVT_ITEM_ANSWER_DATA {
  OPTION_ITEM *item;
  LONG answer;
} KV_EVT_ITEM_ANSWER_DATA;
typedef struct KV_EVT_TRAY_QUESTION_DATA {
  DWORD trayFlags;
  LONG question;
  WORD answer;
  WORD pad;
} KV_EVT_TRAY_QUESTION_DATA;
typedef struct KV_EVT_TRAY_FUNC_BITS_DATA {
  DWORD trayFlags;
  LONG paperSource;
  BYTE *funcBits;
} KV_EVT_TRAY_FUNC_BITS_DATA;
typedef struct KV_EVT_DIALOG_CONTROL_DATA {
  DIALOG_RECORD *dialog;
  CONTROL_RECORD *control;
} KV_EVT_DIALOG_CONTROL_DATA;
typedef struct KV_EVT_LIST_DEFAULTS_DATA {
  const WCHAR *text;
  void *record;
  LONG flag;
} KV_EVT_LIST_DEFAULTS_DATA;
typedef struct KV_EVT_VALUE_ANSWER_DATA {
  LONG value;
  LONG answer;
} KV_EVT_VALUE_ANSWER_DATA;
typedef struct KV_EVT_ITEM_BLOCK_DATA {
  void *block;
  LONG mode;
} KV_EVT_ITEM_BLOCK_DATA;
typedef struct KV_EVT_SETTINGS_FILE_DATA {
  DWORD flags;
  const WCHAR *fileName;
} KV_EVT_SETTINGS_FILE_DATA;
typedef struct KV_EVT_CONTROL_NOTIFY_DATA {
  DIALOG_RECORD *dialog;
  CONTROL_RECORD *control;
  LONG code;
} KV_EVT_CONTROL_NOTIFY_DATA;
typedef struct KV_EVT_PRINT_QUALITY_DATA {
  DEVMODEW *target;
  OPTION_ITEM *resolutionItem;
  LONG value;
} KV_EVT_PRINT_QUALITY_DATA;
typedef struct KV_EVT_DIALOG_ID_DATA {
  LONG dialogId;
} KV_EVT_DIALOG_ID_DATA;
typedef struct KV_EVT_CONTROL_ANSWER_DATA {
  CONTROL_RECORD *control;
  LONG answer;
} KV_EVT_CONTROL_ANSWER_DATA;
typedef struct KV_EVT_CONTROL_VALUE_DATA {
  CONTROL_RECORD *control;
  LONG value;
} KV_EVT_CONTROL_VALUE_DATA;
typedef struct KV_EVT_DEVMODE_DATA {
  DEVMODEW *target;
} KV_EVT_DEVMODE_DATA;
typedef struct KV_EVT_DEVMODE_ANSWER_DATA {
  DEVMODEW *devmode;
  LONG answer;
} KV_EVT_DEVMODE_ANSWER_DATA;
typedef struct KV_EVT_NUMERIC_RANGE_DATA {
  CONTROL_RECORD *control;
  LONG minimum;
  LONG maximum;
  LONG answered;
} KV_EVT_NUMERIC_RANGE_DATA;
typedef struct KV_EVT_ITEM_CHANGE_DATA {
  DIALOG_RECORD *dialog;
  const void *node;
} KV_EVT_ITEM_CHANGE_DATA;
typedef struct KV_EVT_INIT_MODE_DATA {
  LONG mode;
  LONG answer;
} KV_EVT_INIT_MODE_DATA;

KV_BEGIN_DECLS

// Clears the UI chapter buffer and the preset snapshots and copies the deliverable's module
// table (CtxGetModuleHooks) into the context. Always 1: a context whose table cannot be
// allocated simply has no modules.
int WINAPI CtxInitModules(DRIVER_CONTEXT *ctx);
// Gives the context its own copy of the given rows (replacing any it had), each row with its
// private buffer. Without rows, with count <= 0 or without memory the context has no modules.
void WINAPI CtxAttachModuleTable(DRIVER_CONTEXT *ctx, const MODULE_HOOK_ROW *rows, LONG count);
// Frees the UI chapter buffer, the preset snapshots and the module table.
void WINAPI CtxFreeModules(DRIVER_CONTEXT *ctx);
// Action hooks in row order until one answers non-zero.
void WINAPI CtxModulesAction(DRIVER_CONTEXT *ctx, WORD code);
// UiStartDocHook first, then the message hooks in row order; the first non-zero answer.
LONG WINAPI CtxModulesMessage(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, CONTROL_RECORD *control, UINT message,
                              WPARAM wParam, LPARAM lParam);
// Notify hooks in row order until one answers non-zero; answers travel in data.
void WINAPI CtxNotifyModules(DRIVER_CONTEXT *ctx, WORD event, void *data);

// The DEVMODE snapshot stack (three levels of the work buffer, level 0 the newest).
// Pushes the work buffer (with its own copies of the font lists and the UI flags) onto the
// stack and notifies the modules. Every push is matched by one pop. TRUE when pushed; FALSE
// (nothing changed) without a work buffer or all three levels (ERROR_INVALID_PARAMETER),
// and when three levels are already in use (ERROR_STACK_OVERFLOW): a push never drops an
// older level that a caller still means to roll back to.
BOOL WINAPI CtxPushDevmodeSnapshot(DRIVER_CONTEXT *ctx);
// Pops the newest level; with rollback it first becomes the work buffer again (UI flags
// restored, change marks cleared, modules notified). TRUE when popped; FALSE (nothing
// changed) when no level is in use or the context has no levels.
BOOL WINAPI CtxPopDevmodeSnapshot(DRIVER_CONTEXT *ctx, int rollback);
// The number of snapshot levels in use (0-3); 0 without state.
int WINAPI CtxGetSnapshotDepth(DRIVER_CONTEXT *ctx);
// Frees the font lists that the snapshot levels own (at destruction).
void WINAPI CtxFreeSnapshotFonts(DRIVER_CONTEXT *ctx);

// A private copy of the work buffer for a caller that changes the settings for a while
// and puts them back: the copy owns copies of the font lists the work buffer points at, so
// that whatever frees or replaces the work buffer's lists in the meantime (a snapshot
// rollback, a reload of the printer's fonts) never leaves the copy pointing at a freed
// list. NULL (nothing kept) without a work buffer or when memory runs out.
BYTE *WINAPI CtxCopyWorkBuffer(DRIVER_CONTEXT *ctx);
// Puts a copy made by CtxCopyWorkBuffer back into the work buffer and frees the copy: the
// font lists the work buffer holds now are freed and the copy's lists become the work
// buffer's. Nothing for a NULL copy; a NULL context only frees the copy.
void WINAPI CtxRestoreWorkBuffer(DRIVER_CONTEXT *ctx, BYTE *copy);

// Saved copies of the context's option rows.
// A new copy of the context's option rows (MemAllocZeroed; rows NULL when they could not
// be copied); hand it to ItemRestoreTableState, which frees it. NULL without rows table or
// memory.
TABLE_REF *WINAPI ItemSaveTableState(DRIVER_CONTEXT *ctx);
// Copies the saved rows back (as many as both tables hold) and frees the copy; NULL is
// ignored.
void WINAPI ItemRestoreTableState(DRIVER_CONTEXT *ctx, TABLE_REF *saved);

KV_END_DECLS
