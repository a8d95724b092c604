// Bringing a DEVMODE from outside (an application, the spooler, a settings file) into a
// context's settings: the incoming private part is accepted, upgraded or discarded, the
// public fields are merged one by one with a check and a fallback each, and the private
// items are derived from them.
#pragma once

#include "context.h"
#include "win32/devmode.h"

// The flag word of a merge (stored in CONTEXT_STATE.mergeFlags for the rest of the call).
// The low byte carries the caller's DM_* mode bits.
enum DM_MERGE_FLAGS : DWORD {
  KV_MERGE_OUT_BUFFER = 0x2u,            // the caller wants the result back
  KV_MERGE_IN_PROMPT = 0x4u,             // a property sheet will be shown
  KV_MERGE_IN_BUFFER = 0x8u,             // an incoming DEVMODE is given
  KV_MERGE_NOPERMISSION = 0x20u,         // passed through from the application's mode
  KV_MERGE_USER_DEFAULT = 0x40u,         // passed through from the application's mode
  KV_MERGE_DRAW_PDEV = 0x10000u,         // the rendering DLL's PDEV
  KV_MERGE_DRAW_DOC_START = 0x20000u,    // the rendering DLL's document start
  KV_MERGE_API = 0x200000u,              // the application API
  KV_MERGE_DEVCAPS = 0x1000000u,         // DrvDeviceCapabilities
  KV_MERGE_DOCPROPS = 0x2000000u,        // document properties, with or without a sheet
  KV_MERGE_DEVICE = 0x4000000u,          // device property sheet and DrvConvertDevMode
  KV_MERGE_QUERY_PRINT = 0x8000000u,     // DevQueryPrintEx
  KV_MERGE_SETTINGS_FILE = 0x10000000u,  // reading a settings file
  KV_MERGE_DOCPROPS_NO_SHEET = 0x20000000u,
  KV_MERGE_REQUEST_CHANGED = 0x40000000u,  // an applied request block changed items
};

// The flags of each caller.
#define KV_MERGE_FLAGS_DEVICE_SHEET (KV_MERGE_DEVICE | KV_MERGE_IN_BUFFER | KV_MERGE_OUT_BUFFER)
#define KV_MERGE_FLAGS_CONVERT (KV_MERGE_DEVICE | KV_MERGE_IN_BUFFER)
#define KV_MERGE_FLAGS_DOCPROPS(modeBits) (KV_MERGE_DOCPROPS | ((modeBits)&0xFFu))
#define KV_MERGE_FLAGS_DOCPROPS_NO_SHEET(modeBits) (KV_MERGE_DOCPROPS | KV_MERGE_DOCPROPS_NO_SHEET | ((modeBits)&0xFFu))
#define KV_MERGE_FLAGS_QUERY_PRINT (KV_MERGE_QUERY_PRINT | KV_MERGE_IN_BUFFER)
#define KV_MERGE_FLAGS_DEVCAPS (KV_MERGE_DEVCAPS | KV_MERGE_IN_BUFFER)
#define KV_MERGE_FLAGS_SETTINGS_FILE (KV_MERGE_SETTINGS_FILE | KV_MERGE_IN_BUFFER)
#define KV_MERGE_FLAGS_API (KV_MERGE_API | KV_MERGE_IN_BUFFER | KV_MERGE_OUT_BUFFER)
#define KV_MERGE_FLAGS_DRAW_PDEV (KV_MERGE_DRAW_PDEV | KV_MERGE_IN_BUFFER)
#define KV_MERGE_FLAGS_DRAW_DOC_START (KV_MERGE_DRAW_DOC_START | KV_MERGE_IN_BUFFER)

// The state of the context that a merge never takes from outside: the per-call state items,
// the low byte of the front-function word and the two job-notification bits of the second
// support-function word.
typedef struct DM_KEPT_STATE {
  BYTE callSrc, osKind, batchInst, printLog, biDirect, noPermission;
  BYTE serverClientMode, propertyType, tse, admin, bidiFunc;
  BYTE frontFunc;      // low 8 bits of item 348
  DWORD supportFunc2;  // bits 0 and 1 of the word at 1020
} DM_KEPT_STATE;

KV_BEGIN_DECLS

// Merges incoming (NULL: the context's own DEVMODE stands for it) into the context under
// the merge flags; answers 1, or 0 when the working copy cannot be allocated (the stored
// flags and item 912 are then set, nothing else has changed). Without KV_MERGE_IN_BUFFER
// or KV_MERGE_DOCPROPS it answers 1 at once. An incoming DEVMODE is read only as far as
// its own dmSize + dmDriverExtra claim, and never beyond 220 + 1016 bytes.
int WINAPI DmMergeIncoming(DRIVER_CONTEXT *ctx, const BYTE *incoming, DWORD flags);

// Saves the kept state of a DEVMODE / writes it back into one. Nothing for NULL.
void WINAPI DmSaveKeptState(const BYTE *devmode, DM_KEPT_STATE *kept);
void WINAPI DmRestoreKeptState(BYTE *devmode, const DM_KEPT_STATE *kept);

// Merges the public fields that the source's dmFields selects into the target (the
// context's DEVMODE), each checked and replaced by the description's or the model's
// default when the check fails. Nothing when either is NULL.
void WINAPI DmMergePublicFields(DEVMODEW *target, const DEVMODEW *source, DRIVER_CONTEXT *ctx);

// The print-quality part of the public merge: the target's dmPrintQuality becomes a
// resolution in dots per inch (never a resolution code), and it gains DM_PRINTQUALITY.
void WINAPI DmMergePrintQuality(DEVMODEW *target, const DEVMODEW *source, DRIVER_CONTEXT *ctx);

// Derives the private items from the public fields present in both DEVMODEs (duplex,
// media, paper, resolution), reloads the stamp and the user macro's quality set, raises
// the item events and keeps legal values. Nothing when either is NULL.
void WINAPI DmApplyPublicFieldsToItems(DEVMODEW *target, const DEVMODEW *source, DRIVER_CONTEXT *ctx);

// The duplex type for a binding edge (top: 1, side: 0) when duplex is already on: a type of
// the edge's group stays (top 1, 17, 20; side 2, 3, 18, 19, 21, 22), a type of the other group
// turns to its counterpart (18, 19 -> 17; 21, 22 -> 20; 17 -> 19; 20 -> 22), anything else to
// the plain type of the edge (1 or 3).
LONG WINAPI DmDuplexTypeForBinding(int top, LONG type);

// Reads the quality set chosen by the user print macro (items 176 and 179) from the file
// the settings INI names under "QualityList%d"; the file must lie in the settings INI's own
// folder. 1 when a file was read, else 0.
int WINAPI ListLoadUserMacroQuality(DRIVER_CONTEXT *ctx);

// The quality set number of the user print macro: item 179 - 32 (0 to 7, or 128) when user
// macros are on (item 176 is 1) and item 179 is 32 to 39 or 160; else -1.
int WINAPI DmUserMacroQualityIndex(DRIVER_CONTEXT *ctx);

// path (capacity characters) := the file named under "QualityList<index>" in the printer's
// section of the settings INI, when it is a bare file name or a path into the settings INI's
// own folder; the answer is then 1. 0 (path "") when the key is missing, the file lies
// elsewhere or the path does not fit.
int WINAPI DmGetQualityListPath(DRIVER_CONTEXT *ctx, int index, WCHAR *path, DWORD capacity);

KV_END_DECLS
