// The driver context: the per-use object through which every piece of work reaches a printer.
// A context is cloned from the deliverable's template context, filled by a fixed construction
// sequence, used by one caller and released into a two-slot per-process cache.
#pragma once

#include "win32.h"
#include "tables/template_types.h"
#include "win32/devmode.h"
#include "os/mem_str.h"  // memory and code-page helpers every folder uses

struct DESC_BLOB;     // a compiled printer description (description engine)
struct MODEL_RECORD;  // compiled-in constants of the driver build (model.h)
struct MODULE_HOOKS;  // the context's copy of the module table (module hooks)

// Sizes of the work buffer and its blocks.
enum : DWORD {
  KV_WORK_BUFFER_SIZE = KV_DEVMODE_SIZE + KV_CONFIG_BLOCK_SIZE + KV_WORK_BLOCK_SIZE,  // 5484
};

// The working settings of a context: the DEVMODE, the printer configuration block and the
// work block. Items find their block through the offsets stamped into the DEVMODE.
typedef struct WORK_BUFFER {
  BYTE devmode[KV_DEVMODE_SIZE];
  BYTE config[KV_CONFIG_BLOCK_SIZE];
  BYTE work[KV_WORK_BLOCK_SIZE];
} WORK_BUFFER;
static_assert(sizeof(WORK_BUFFER) == 5484, "WORK_BUFFER");

// Create flags: the caller's path; part of the cache key.
enum : DWORD {
  CTX_CREATE_SHEETS = 0x80000000u,       // property sheets, printer events, setup, ...
  CTX_CREATE_DRAW_STORED = 0x20000000u,  // how kvmldraw's 0x00010000 is stored
  CTX_CREATE_DOCPROPS = 0x02000000u,     // document properties without a dialog
  CTX_CREATE_DEVCAPS = 0x01000000u,      // DrvDeviceCapabilities
  CTX_CREATE_API_ENABLE = 0x00200000u,   // KVMLDrvEnable
  CTX_CREATE_API_EXC = 0x00100000u,      // the exclusion API
  CTX_CREATE_SHARED_DIR = 0x00040000u,   // settings live in the shared settings directory
  CTX_CREATE_JOB_STARTED = 0x00020000u,  // written at job start; never requested again
  CTX_CREATE_DRAW = 0x00010000u,         // DrvEnablePDEV
};

// Open mode of CtxCreateWithMode: the open kind in the low byte, switches above it.
enum : WORD {
  CTX_OPEN_FULL = 0,  // description, DEVMODE, stored settings, baseline
  CTX_OPEN_INIT = 1,  // printer initialization
  CTX_OPEN_NO_DRIVER_NAME = 2,
  CTX_OPEN_RESET = 3,  // defaults, then the printer's stored DEVMODE
  CTX_OPEN_LIGHT = 4,  // 4-255: no description, no work buffer
  CTX_OPEN_KIND_MASK = 0x00FF,
  CTX_OPEN_NO_MUTEX = 0x0100,
  CTX_OPEN_AS_ADMIN = 0x0200,
  CTX_OPEN_LOAD_STORED = 0x0400,
};

// Pending-UI-work bits that a write of an item can raise (the item's flags).
#define KV_ITEM_FLAG_UI_REFRESH 0x011F0000u
#define KV_ITEM_FLAG_DISPLAY_LENGTH 0x80000000u

// One custom paper slot (ten user sizes, the DEVMODE's custom size and the output size).
typedef struct FREE_SIZE_SLOT {
  char displayName[64];
  char nameWithSize[64];
  char userName[64];
  LONG width;
  LONG length;
  SHORT tray;
  SHORT orientation;
} FREE_SIZE_SLOT;
static_assert(sizeof(FREE_SIZE_SLOT) == 204, "FREE_SIZE_SLOT");

// Binding of the user-code provider DLL.
typedef struct USERCODE_PROVIDER {
  HMODULE module;
  FARPROC open;
  FARPROC close;
  FARPROC get;
  HANDLE data;
  char savedCode[32];
  char receivedCode[32];
} USERCODE_PROVIDER;

// Binding of the outside job-control DLL.
typedef struct JOBCTL_BINDING {
  HMODULE module;
  DWORD session;
  FARPROC getInterface;
  FARPROC disposeInterface;
  void *iface;
  WORD version;
  WORD reserved;
} JOBCTL_BINDING;

// Values carried between the steps of the first-run defaults.
typedef struct FIRST_RUN_DEFAULTS {
  BYTE userCodeUse;
  BYTE userCodeFixed;
  WCHAR userCode[9];
  WORD language;
  WORD paper;
  WORD unit;
  WORD countryPrefix;
} FIRST_RUN_DEFAULTS;

// What the deployment INI applied to the printer.
typedef struct DEPLOY_STATE {
  DWORD printLogRequest;
  DWORD userCodeApplied;
  BYTE authFlags;
  BYTE reserved[3];
} DEPLOY_STATE;

// The condition evaluator's stack of a context: the depth (entries in use) and
// KV_EVAL_STACK_ENTRIES zero-filled entries (GlobalAlloc), NULL until allocated.
typedef struct RULE_EVAL_STACK {
  SHORT depth;
  WORD reserved;
  LONG *entries;
} RULE_EVAL_STACK;

// The state block of a context. The fields of the settings core come in this order; the
// reserved byte arrays hold the fields of the property sheets.
typedef struct CONTEXT_STATE {
  WCHAR settingsIniPath[260];
  BYTE *snapshots[3];  // three WORK_BUFFER copies
  RULE_EVAL_STACK eval;
  DWORD settingsChanged;
  WORD openKind;
  WCHAR languageCode[3];
  WCHAR driverName[260];
  WCHAR textBuffer[1025];
  WORD snapshotDepth;  // snapshot levels in use, 0-3
  WCHAR printerName[260];
  WCHAR printerNameSwap[260];  // second name buffer of the application API
  // Property-sheet call fields.
  DWORD sheetMode;  // DM_UPDATE / DM_COPY given by the caller
  DEVMODEW *sheetDevmodeIn;
  DEVMODEW *sheetDevmodeOut;
  DWORD dialogResult;   // 1 when the user accepted the last modal dialog
  BYTE uiDrawing[512];  // drawing fields of the property sheets
  FREE_SIZE_SLOT freeSizeSlots[12];
  DWORD savedUiFlags[3];  // pending-UI-work word per snapshot level
  DWORD uiFlags;          // pending-UI-work word
  DWORD settingsFileStatus;
  WCHAR modelIniPath[260];
  WCHAR driverDir[260];
  WCHAR deployIniPath[260];
  WCHAR installerIniPath[260];
  DWORD mergeFlags;
  BYTE conditionCache[1024];  // inputs and values of the computed condition items
  HBRUSH brushes[2];
  FIRST_RUN_DEFAULTS firstRun;
  void *presetSnapshots[16];
  USERCODE_PROVIDER userCode;
  DEPLOY_STATE deploy;
  BYTE *baseline;   // WORK_BUFFER as loaded
  BYTE *spareWork;  // WORK_BUFFER copy of the property sheets
  JOBCTL_BINDING jobctl;
  void *uiChapter;
  DWORD uiChapterWord;
  DWORD useSettingsMutex;
  DWORD checkAdmin;
  DWORD createFlags;
  struct MODULE_HOOKS *moduleHooks;
  BYTE printerDataScratch[1044];
  WORD pendingPassMode;
  WORD localeDefaultPaper;
  void *apiHandleState;  // owned by the application API
  WCHAR modelKey[34];
  void *uiWork[8];                     // work pointers of the property sheets
  struct KST_READ_REPORT *readReport;  // what a settings-file read notes for its caller, or NULL
  BYTE uiReserved[1340];               // further property-sheet fields
} CONTEXT_STATE;

// The per-use context of one printer.
typedef struct DRIVER_CONTEXT {
  HANDLE printer;
  HANDLE printer2;
  DIALOG_RECORD *currentDialog;
  TABLE_REF *items;         // OPTION_ITEM rows, the context's own copy
  TABLE_REF *dialogs;       // DIALOG_RECORD rows
  TABLE_REF *symbols;       // SYMBOL_ENTRY rows, shared
  TABLE_REF *valueSymbols;  // VALUE_SYMBOL rows, shared
  TABLE_REF *messages;      // MESSAGE_ENTRY rows, shared
  struct MODEL_RECORD *model;
  BYTE *work;              // WORK_BUFFER; NULL for light contexts
  struct DESC_BLOB *desc;  // borrowed from the process cache
  CONTEXT_STATE *state;
  HMODULE languageDll;
  HMODULE commonDll;
} DRIVER_CONTEXT;
static_assert(sizeof(DRIVER_CONTEXT) == 56, "DRIVER_CONTEXT");
static_assert(sizeof(CONTEXT_STATE) == 13016, "CONTEXT_STATE");
