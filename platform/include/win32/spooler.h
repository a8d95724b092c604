// The print spooler (winspool): printers, their default DEVMODE and printer data,
// printer drivers and forms. The spooler's state lives under the machine root, so every
// process that uses the same root sees the same printers.
#pragma once
#include "win32/devmode.h"
#include "win32/types.h"

// Printer access rights (PRINTER_DEFAULTSW.DesiredAccess).
#define SERVER_ACCESS_ADMINISTER 0x00000001UL
#define SERVER_ACCESS_ENUMERATE 0x00000002UL
#define PRINTER_ACCESS_ADMINISTER 0x00000004UL
#define PRINTER_ACCESS_USE 0x00000008UL
#define PRINTER_ACCESS_MANAGE_LIMITED 0x00000040UL
#define PRINTER_ALL_ACCESS 0x000F000CUL
#define PRINTER_READ 0x00020008UL
#define PRINTER_WRITE 0x00020008UL
#define PRINTER_EXECUTE 0x00020008UL
#define SERVER_ALL_ACCESS 0x000F0003UL
#define SERVER_READ 0x00020002UL
#define SERVER_WRITE 0x00020003UL
#define SERVER_EXECUTE 0x00020002UL

// Printer attributes.
#define PRINTER_ATTRIBUTE_QUEUED 0x00000001UL
#define PRINTER_ATTRIBUTE_DIRECT 0x00000002UL
#define PRINTER_ATTRIBUTE_DEFAULT 0x00000004UL
#define PRINTER_ATTRIBUTE_SHARED 0x00000008UL
#define PRINTER_ATTRIBUTE_NETWORK 0x00000010UL
#define PRINTER_ATTRIBUTE_HIDDEN 0x00000020UL
#define PRINTER_ATTRIBUTE_LOCAL 0x00000040UL
#define PRINTER_ATTRIBUTE_ENABLE_DEVQ 0x00000080UL
#define PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS 0x00000100UL
#define PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST 0x00000200UL
#define PRINTER_ATTRIBUTE_WORK_OFFLINE 0x00000400UL
#define PRINTER_ATTRIBUTE_ENABLE_BIDI 0x00000800UL
#define PRINTER_ATTRIBUTE_RAW_ONLY 0x00001000UL
#define PRINTER_ATTRIBUTE_PUBLISHED 0x00002000UL

// Printer status bits (PRINTER_INFO_2W.Status).
#define PRINTER_STATUS_PAUSED 0x00000001UL
#define PRINTER_STATUS_ERROR 0x00000002UL
#define PRINTER_STATUS_PENDING_DELETION 0x00000004UL

// Commands of SetPrinterW.
#define PRINTER_CONTROL_PAUSE 1
#define PRINTER_CONTROL_RESUME 2
#define PRINTER_CONTROL_PURGE 3
#define PRINTER_CONTROL_SET_STATUS 4

// Directory-service actions (PRINTER_INFO_7W.dwAction).
#define DSPRINT_PUBLISH 0x00000001UL
#define DSPRINT_UPDATE 0x00000002UL
#define DSPRINT_UNPUBLISH 0x00000004UL
#define DSPRINT_REPUBLISH 0x00000008UL
#define DSPRINT_PENDING 0x80000000UL

// EnumPrintersW flags.
#define PRINTER_ENUM_DEFAULT 0x00000001UL
#define PRINTER_ENUM_LOCAL 0x00000002UL
#define PRINTER_ENUM_CONNECTIONS 0x00000004UL
#define PRINTER_ENUM_FAVORITE 0x00000004UL
#define PRINTER_ENUM_NAME 0x00000008UL
#define PRINTER_ENUM_REMOTE 0x00000010UL
#define PRINTER_ENUM_SHARED 0x00000020UL
#define PRINTER_ENUM_NETWORK 0x00000040UL
#define PRINTER_ENUM_EXPAND 0x00004000UL
#define PRINTER_ENUM_CONTAINER 0x00008000UL
#define PRINTER_ENUM_ICON8 0x00800000UL

// Form flags.
#define FORM_USER 0x00000000UL
#define FORM_BUILTIN 0x00000001UL
#define FORM_PRINTER 0x00000002UL

#ifndef ERROR_UNKNOWN_PORT
#define ERROR_UNKNOWN_PORT 1796L
#endif
#ifndef ERROR_INVALID_PRIORITY
#define ERROR_INVALID_PRIORITY 1800L
#endif
#ifndef ERROR_INVALID_ENVIRONMENT
#define ERROR_INVALID_ENVIRONMENT 1805L
#endif
#ifndef ERROR_INVALID_USER_BUFFER
#define ERROR_INVALID_USER_BUFFER 1784L
#endif
#ifndef ERROR_PRINTER_DRIVER_IN_USE
#define ERROR_PRINTER_DRIVER_IN_USE 3001L
#endif

typedef struct _PRINTER_DEFAULTSW {
  LPWSTR pDatatype;
  LPDEVMODEW pDevMode;
  ACCESS_MASK DesiredAccess;
} PRINTER_DEFAULTSW, *PPRINTER_DEFAULTSW, *LPPRINTER_DEFAULTSW;

typedef struct _PRINTER_INFO_1W {
  DWORD Flags;
  LPWSTR pDescription;
  LPWSTR pName;
  LPWSTR pComment;
} PRINTER_INFO_1W, *PPRINTER_INFO_1W, *LPPRINTER_INFO_1W;

typedef struct _PRINTER_INFO_2W {
  LPWSTR pServerName;
  LPWSTR pPrinterName;
  LPWSTR pShareName;
  LPWSTR pPortName;
  LPWSTR pDriverName;
  LPWSTR pComment;
  LPWSTR pLocation;
  LPDEVMODEW pDevMode;
  LPWSTR pSepFile;
  LPWSTR pPrintProcessor;
  LPWSTR pDatatype;
  LPWSTR pParameters;
  PSECURITY_DESCRIPTOR pSecurityDescriptor;
  DWORD Attributes;
  DWORD Priority;
  DWORD DefaultPriority;
  DWORD StartTime;
  DWORD UntilTime;
  DWORD Status;
  DWORD cJobs;
  DWORD AveragePPM;
} PRINTER_INFO_2W, *PPRINTER_INFO_2W, *LPPRINTER_INFO_2W;

typedef struct _PRINTER_INFO_4W {
  LPWSTR pPrinterName;
  LPWSTR pServerName;
  DWORD Attributes;
} PRINTER_INFO_4W, *PPRINTER_INFO_4W, *LPPRINTER_INFO_4W;

typedef struct _PRINTER_INFO_7W {
  LPWSTR pszObjectGUID;
  DWORD dwAction;
} PRINTER_INFO_7W, *PPRINTER_INFO_7W, *LPPRINTER_INFO_7W;

// The printer's default DEVMODE for all users (level 8, the one PRINTER_INFO_2W.pDevMode
// shows) and the calling user's own (level 9). GetPrinterW answers a NULL pDevMode when no
// such default is stored. SetPrinterW stores a copy of the DEVMODE's dmSize + dmDriverExtra
// bytes, or removes the stored default when pDevMode is NULL; level 8 needs a handle with
// administrative rights, level 9 any handle on the printer.
typedef struct _PRINTER_INFO_8W {
  LPDEVMODEW pDevMode;
} PRINTER_INFO_8W, *PPRINTER_INFO_8W, *LPPRINTER_INFO_8W;

typedef struct _PRINTER_INFO_9W {
  LPDEVMODEW pDevMode;
} PRINTER_INFO_9W, *PPRINTER_INFO_9W, *LPPRINTER_INFO_9W;

typedef struct _DRIVER_INFO_1W {
  LPWSTR pName;
} DRIVER_INFO_1W, *PDRIVER_INFO_1W, *LPDRIVER_INFO_1W;

typedef struct _DRIVER_INFO_2W {
  DWORD cVersion;
  LPWSTR pName;
  LPWSTR pEnvironment;
  LPWSTR pDriverPath;
  LPWSTR pDataFile;
  LPWSTR pConfigFile;
} DRIVER_INFO_2W, *PDRIVER_INFO_2W, *LPDRIVER_INFO_2W;

typedef struct _DRIVER_INFO_3W {
  DWORD cVersion;
  LPWSTR pName;
  LPWSTR pEnvironment;
  LPWSTR pDriverPath;
  LPWSTR pDataFile;
  LPWSTR pConfigFile;
  LPWSTR pHelpFile;
  LPWSTR pDependentFiles;
  LPWSTR pMonitorName;
  LPWSTR pDefaultDataType;
} DRIVER_INFO_3W, *PDRIVER_INFO_3W, *LPDRIVER_INFO_3W;

typedef struct _FORM_INFO_1W {
  DWORD Flags;
  LPWSTR pName;
  SIZEL Size;
  RECTL ImageableArea;
} FORM_INFO_1W, *PFORM_INFO_1W, *LPFORM_INFO_1W;

#ifdef __cplusplus
static_assert(sizeof(PRINTER_DEFAULTSW) == 12, "PRINTER_DEFAULTSW is 12 bytes");
static_assert(sizeof(PRINTER_INFO_1W) == 16, "PRINTER_INFO_1W is 16 bytes");
static_assert(sizeof(PRINTER_INFO_2W) == 84, "PRINTER_INFO_2W is 84 bytes");
static_assert(sizeof(PRINTER_INFO_4W) == 12, "PRINTER_INFO_4W is 12 bytes");
static_assert(sizeof(PRINTER_INFO_7W) == 8, "PRINTER_INFO_7W is 8 bytes");
static_assert(sizeof(PRINTER_INFO_8W) == 4, "PRINTER_INFO_8W is 4 bytes");
static_assert(sizeof(PRINTER_INFO_9W) == 4, "PRINTER_INFO_9W is 4 bytes");
static_assert(sizeof(DRIVER_INFO_2W) == 24, "DRIVER_INFO_2W is 24 bytes");
static_assert(sizeof(DRIVER_INFO_3W) == 40, "DRIVER_INFO_3W is 40 bytes");
static_assert(sizeof(FORM_INFO_1W) == 32, "FORM_INFO_1W is 32 bytes");
#endif

KV_BEGIN_DECLS

// Printers. A NULL or empty name opens the local print server (forms only). GetPrinterW
// answers levels 1, 2, 4, 7, 8 and 9 with the size-query protocol (*pcbNeeded, then
// ERROR_INSUFFICIENT_BUFFER when cbBuf is short); SetPrinterW takes levels 2, 7, 8 and 9,
// or level 0 with a PRINTER_CONTROL_* command. A DEVMODE given to SetPrinterW must have a
// dmSize that covers its header fields up to dmFields (else ERROR_INVALID_PARAMETER).
BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault);
BOOL WINAPI ClosePrinter(HANDLE hPrinter);
BOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded);
BOOL WINAPI SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command);
BOOL WINAPI EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned);

// Change notifications of a printer. The notification object is signaled (a wait on it
// answers WAIT_OBJECT_0) once the printer, its driver or the spool changed after it was
// armed, by this process or another one, or once its printer handle was closed. It answers
// INVALID_HANDLE_VALUE with ERROR_INVALID_HANDLE for a bad printer handle and
// ERROR_INVALID_PARAMETER for an empty filter; notify options are not supported
// (ERROR_NOT_SUPPORTED). FindNextPrinterChangeNotification answers the filter's bits when
// something changed (0 otherwise) and arms the object again.
#define PRINTER_CHANGE_ADD_PRINTER 0x00000001
#define PRINTER_CHANGE_SET_PRINTER 0x00000002
#define PRINTER_CHANGE_DELETE_PRINTER 0x00000004
#define PRINTER_CHANGE_FAILED_CONNECTION_PRINTER 0x00000008
#define PRINTER_CHANGE_PRINTER 0x000000FF
#define PRINTER_CHANGE_ADD_PRINTER_DRIVER 0x10000000
#define PRINTER_CHANGE_SET_PRINTER_DRIVER 0x20000000
#define PRINTER_CHANGE_DELETE_PRINTER_DRIVER 0x40000000
#define PRINTER_CHANGE_PRINTER_DRIVER 0x70000000
#define PRINTER_CHANGE_ALL 0x7777FFFF
HANDLE WINAPI FindFirstPrinterChangeNotification(HANDLE hPrinter, DWORD fdwFilter, DWORD fdwOptions,
                                                 LPVOID pPrinterNotifyOptions);
BOOL WINAPI FindNextPrinterChangeNotification(HANDLE hChange, PDWORD pdwChange, LPVOID pvReserved,
                                              LPVOID *ppPrinterNotifyInfo);
BOOL WINAPI FindClosePrinterChangeNotification(HANDLE hChange);

// Drivers.
BOOL WINAPI GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                              LPDWORD pcbNeeded);
BOOL WINAPI GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverDirectory,
                                       DWORD cbBuf, LPDWORD pcbNeeded);

// Printer data (answers a Win32 error code).
DWORD WINAPI GetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                             LPDWORD pcbNeeded);
DWORD WINAPI SetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, DWORD Type, LPBYTE pData, DWORD cbData);
DWORD WINAPI DeletePrinterDataW(HANDLE hPrinter, LPWSTR pValueName);
DWORD WINAPI EnumPrinterDataW(HANDLE hPrinter, DWORD dwIndex, LPWSTR pValueName, DWORD cbValueName,
                              LPDWORD pcbValueName, LPDWORD pType, LPBYTE pData, DWORD cbData, LPDWORD pcbData);
DWORD WINAPI GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData,
                               DWORD nSize, LPDWORD pcbNeeded);
DWORD WINAPI SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, DWORD Type, LPBYTE pData,
                               DWORD cbData);
DWORD WINAPI DeletePrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName);

// Forms: the built-in forms of the machine (FORM_INFO_1W, sizes in thousandths of a millimetre).
BOOL WINAPI EnumFormsW(HANDLE hPrinter, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned);
BOOL WINAPI GetFormW(HANDLE hPrinter, LPWSTR pFormName, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded);

KV_END_DECLS
