// The model record (compiled-in constants of the driver build), the template context that
// every driver context is cloned from, and the sizes of the DEVMODE and the work buffer.
#pragma once

#include "context.h"

typedef struct MODEL_RECORD {
  WORD specVersion;               // default dmSpecVersion
  WORD driverVersion;             // default dmDriverVersion
  const WCHAR *settingsIniName;   // "kvmlsets.ini"
  const WCHAR *companionDllName;  // "kvmlcm23.dll"
  DWORD fields;                   // default dmFields
  SHORT maxCopies;
  SHORT minCopies;
  DWORD constant1;          // 4
  DWORD landscapeRotation;  // 90
  DWORD defaultResolution;  // 600
  DWORD constant2;          // 0
  SHORT orientation;
  SHORT paperSize;
  SHORT paperLength;
  SHORT paperWidth;
  SHORT scale;
  SHORT copies;
  SHORT defaultSource;
  SHORT printQuality;
  SHORT color;
  SHORT duplex;
  SHORT yResolution;
  SHORT ttOption;
  SHORT collate;
  const WCHAR *formName;  // "A4"
  DWORD icmMethod;
  DWORD icmIntent;
  DWORD mediaType;
  DWORD ditherType;
  DWORD constants3[4];  // 1, 1000, 1, 999
  DWORD privSignature;  // the bytes "priv"
  DWORD constant4;      // 0
  DWORD privVersion;    // 314
  BYTE machineId;       // 0xC0
  BYTE driverType;      // 1
  WORD defaultResX;
  WORD defaultResY;
  BYTE itemDefaults[6];
  DWORD constants5[2];              // 16, 32
  const WCHAR *cdcVersion;          // "01.00"
  const WCHAR *pjlVersion;          // "01.00"
  const WCHAR *fallbackDriverName;  // "US"
  const WCHAR *emptyString1;
  const WCHAR *modelIniName;  // "kvmlmodl.ini"
  const WCHAR *sysDirDll;     // "tvpkcomn.dll"
  const WCHAR *apiDllName;    // "kvmlrule.DLL"
  const void *nullPointer;
  const WCHAR *modelDataDll;  // "tvigdata.dll"
  const WCHAR *emptyString2;
  const WCHAR *driverVersionText;  // "1.41"
  DWORD settingsFileVersion;       // 314
  LONG customWidthMin;             // 1200-dpi dots
  LONG customWidthMax;
  LONG customLengthMin;
  LONG customLengthMax;
  const WCHAR *installerIniName;  // "TVINSTIG.INI"
} MODEL_RECORD;
static_assert(sizeof(MODEL_RECORD) == 200, "MODEL_RECORD");

// A file of the driver package by its number.
typedef struct SIBLING_FILE_ROW {
  WORD number;
  const WCHAR *name;
} SIBLING_FILE_ROW;

// A finisher of the printer configuration and the output trays it brings (values of item
// 53); 0xFFFF = none. The end row has the finisher item 0xFFFF.
typedef struct FINISHER_TRAY_ROW {
  WORD finisherItem;
  WORD secondTray;
  WORD firstTray;
} FINISHER_TRAY_ROW;

KV_BEGIN_DECLS

// The deliverable's template context: static tables, a zero-filled static work buffer and
// a zero-filled static state block.
DRIVER_CONTEXT *WINAPI CtxGetTemplate(void);

// Sizes of the DEVMODE, its private part, the configuration block and the work buffer.
// 220, the bytes of the public DEVMODE.
DWORD WINAPI DmGetPublicSize(void);
// 1016, the bytes of the private part behind the 220-byte public DEVMODE.
DWORD WINAPI DmGetPrivateSize(void);
// KV_DEVMODE_SIZE, the whole DEVMODE.
DWORD WINAPI DmGetTotalSize(void);
// KV_CONFIG_BLOCK_SIZE, the printer configuration block.
DWORD WINAPI DmGetConfigBlockSize(void);
// KV_WORK_BUFFER_SIZE, the whole WORK_BUFFER (DEVMODE, configuration and work blocks).
DWORD WINAPI DmGetWorkBufferSize(void);
// The offset the build stamps for block 1 (DEVMODE), 2 (configuration) or 3 (work): 0, 1236
// and 2256; 0xFFFFFFFF for any other block number.
DWORD WINAPI DmGetBlockOffset(DWORD block);

// Context getters of the work buffer and its blocks.
// The context's work buffer, which begins with its DEVMODE; NULL without context or buffer.
BYTE *WINAPI CtxGetDevmode(DRIVER_CONTEXT *ctx);
// The private part of the context's DEVMODE, behind the public size its dmSize gives; NULL
// without work buffer or when that size leaves no room for the private part.
BYTE *WINAPI CtxGetPrivatePart(DRIVER_CONTEXT *ctx);
// CtxGetPrivatePart under its second name.
BYTE *WINAPI CtxLocatePrivatePart(DRIVER_CONTEXT *ctx);
// The configuration block of the context's work buffer; NULL without buffer or when the
// DEVMODE's stamped offset is not the build's.
BYTE *WINAPI CtxGetConfigBlock(DRIVER_CONTEXT *ctx);

// Constant tables of the driver package and the model.
// The package's sibling files by number, ended by number 0.
const SIBLING_FILE_ROW *WINAPI FileGetSiblingTable(void);
// The file name of a sibling-file number (owned by the table); NULL for 0 or an unknown one.
const WCHAR *WINAPI FileGetSiblingName(WORD number);
// The papers the regional fit maps to A4 or Letter, ended by 0.
const DWORD *WINAPI DmGetFitToA4PaperList(void);
// 1 when paper is on that list, else 0 (also for 0).
int WINAPI DmIsFitToA4Paper(DWORD paper);
// The row of the first finisher whose item is set in the context; the end row (finisher
// item 0xFFFF) when none is installed. Never NULL.
const FINISHER_TRAY_ROW *WINAPI DmGetInstalledFinisher(DRIVER_CONTEXT *ctx);
// 1 when tray is a finisher's first tray (which == ' ') or second tray (any other which),
// else 0; 0xFFFF is no tray.
int WINAPI DmIsFinisherTray(WORD tray, BYTE which);
// The base device-information string of a driver type (0 or any other); static, never NULL.
const WCHAR *WINAPI DmGetDeviceInfoBase(BYTE driverType);

// Paper of the output, regional paper fit and paper-dependent items.
// 1 when the regional default paper is Letter (a regional driver type with a locale, unless
// a hidden function inverts it), else 0 (A4).
int WINAPI ItemDefaultPaperIsLetter(DRIVER_CONTEXT *ctx);
// 1 when the output paper (1024-1026) is fitted to the regional paper: the front function
// and the A4-fit option allow it, the print method and scale do not forbid it, and the
// paper is on the fit list and not already the regional paper; else 0.
int WINAPI ItemNeedsRegionalPaperFit(DRIVER_CONTEXT *ctx);
// The paper the job is printed on: the document's paper for output 1024 without fit, the
// regional paper (Letter 1 or A4 9) for output 1024-1026 otherwise, else the output paper.
LONG WINAPI ItemGetOutputPaperSize(DRIVER_CONTEXT *ctx);
// After a paper change. What 1: sets both scale items to the smaller ratio of destination to
// source dimensions where the output or scale type asks, or to 100 for a plain output;
// leaves them when a source dimension is 0. What 3 (dmPaperSize) and 4 (the output paper):
// a custom size 384-393 loads its stored slot (ListLoadFreeSize). Other values do nothing.
void WINAPI ItemApplyPaperChange(DRIVER_CONTEXT *ctx, SHORT what);
// Which of the authentication texts asked by mask are set while authentication is on: bit
// 0 user name, bit 1 password, bit 2 network key (secure mode only); 0 while it is off.
DWORD WINAPI ItemGetAuthFieldsSet(DRIVER_CONTEXT *ctx, DWORD mask);
// Applies a pending pass mode (from the resolution choice) to the pass-mode and resolution
// items, then sets the destination resolution code for 150, 300, 600 or 1200 dpi; any other
// dpi leaves the code. Nothing without context.
void WINAPI DmSetResolutionCode(DWORD dpi, DRIVER_CONTEXT *ctx);
// Writes the device-information item: the base string of the driver type with the memory
// size (32 or 64) patched in. Nothing when the item has no field or memory runs out.
void WINAPI DmSetDeviceInfoString(DRIVER_CONTEXT *ctx);

// Text helpers.
// The start of the line after text's first line, *length (optional) the first line's
// characters with its line feed; on a last line without one the terminating NUL is
// counted and the answer points just past it, so callers stop there. NULL and *length 0
// for NULL.
const char *WINAPI StrNextLine(const char *text, int *length);
// strncpy; answers dst, which is left alone when dst or src is NULL.
char *WINAPI StrCopyN(char *dst, const char *src, size_t n);

KV_END_DECLS

// Byte offsets of the private header fields in the DEVMODE.
enum : DWORD {
  KV_DM_MODEL_TAG = 220,
  KV_DM_TASK_WEAVE = 224,
  KV_DM_PRIV_SIGNATURE = 349,
  KV_DM_PRIV_SIZE = 353,
  KV_DM_PRIV_VERSION = 357,
  KV_DM_BLOCK1_OFFSET = 361,
  KV_DM_CONFIG_OFFSET = 363,
  KV_DM_WORK_OFFSET = 365,
  KV_DM_VERSION_IN_PRIVATE = 137,  // private version, from the start of the private part
};
