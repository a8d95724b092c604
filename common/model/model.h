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
DWORD WINAPI DmGetPublicSize(void);
DWORD WINAPI DmGetPrivateSize(void);
DWORD WINAPI DmGetTotalSize(void);
DWORD WINAPI DmGetConfigBlockSize(void);
DWORD WINAPI DmGetWorkBufferSize(void);
// The offset the build stamps for block 1 (DEVMODE), 2 (configuration) or 3 (work): 0, 1236
// and 2256; 0xFFFFFFFF for any other block number.
DWORD WINAPI DmGetBlockOffset(DWORD block);

// Context getters of the work buffer and its blocks.
BYTE *WINAPI CtxGetDevmode(DRIVER_CONTEXT *ctx);
BYTE *WINAPI CtxGetPrivatePart(DRIVER_CONTEXT *ctx);
BYTE *WINAPI CtxLocatePrivatePart(DRIVER_CONTEXT *ctx);
BYTE *WINAPI CtxGetConfigBlock(DRIVER_CONTEXT *ctx);

// Constant tables of the driver package and the model.
const SIBLING_FILE_ROW *WINAPI FileGetSiblingTable(void);
const WCHAR *WINAPI FileGetSiblingName(WORD number);
const DWORD *WINAPI DmGetFitToA4PaperList(void);
int WINAPI DmIsFitToA4Paper(DWORD paper);
const FINISHER_TRAY_ROW *WINAPI DmGetInstalledFinisher(DRIVER_CONTEXT *ctx);
int WINAPI DmIsFinisherTray(WORD tray, BYTE which);
const WCHAR *WINAPI DmGetDeviceInfoBase(BYTE driverType);

// Paper of the output, regional paper fit and paper-dependent items.
int WINAPI ItemDefaultPaperIsLetter(DRIVER_CONTEXT *ctx);
int WINAPI ItemNeedsRegionalPaperFit(DRIVER_CONTEXT *ctx);
LONG WINAPI ItemGetOutputPaperSize(DRIVER_CONTEXT *ctx);
void WINAPI ItemApplyPaperChange(DRIVER_CONTEXT *ctx, SHORT what);
DWORD WINAPI ItemGetAuthFieldsSet(DRIVER_CONTEXT *ctx, DWORD mask);
void WINAPI DmSetResolutionCode(DWORD dpi, DRIVER_CONTEXT *ctx);
void WINAPI DmSetDeviceInfoString(DRIVER_CONTEXT *ctx);

// Text helpers.
const char *WINAPI StrNextLine(const char *text, int *length);
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
