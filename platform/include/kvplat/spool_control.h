// Controls of the registry and the spooler that stand outside Win32: installing,
// renaming and removing printers and drivers, and the switches that make the current
// user a non-administrator. Tests and the host program use them; driver code never does.
#pragma once
#include "win32/types.h"

KV_BEGIN_DECLS

// A printer driver to install. The file members are file names inside the driver
// directory (C:\WINDOWS\system32\spool\drivers\w32x86\3) or full Windows paths; they are
// recorded as given under the HKLM key
//   SYSTEM\CurrentControlSet\Control\Print\Environments\Windows NT x86\Drivers\Version-3\<name>
// as "Driver", "Data File", "Configuration File", "Help File", "Dependent Files",
// "Monitor", "Datatype" and "Version" (3). The files themselves are the caller's to copy.
typedef struct PLAT_DRIVER_SETUP {
  const WCHAR *name;             // required
  const WCHAR *driverFile;       // required: the rendering DLL
  const WCHAR *dataFile;         // required: the printer description file
  const WCHAR *configFile;       // required: the printer interface DLL
  const WCHAR *helpFile;         // optional (NULL = none)
  const WCHAR *dependentFiles;   // optional: names separated by NULs, ending with two NULs
  const WCHAR *monitorName;      // optional
  const WCHAR *defaultDataType;  // optional
} PLAT_DRIVER_SETUP;

// Installs or replaces a driver (creates the driver directory when missing). FALSE with
// ERROR_INVALID_PARAMETER for a missing member, ERROR_CANTWRITE when it cannot be stored.
KVAPI BOOL PlatSpoolAddDriver(const PLAT_DRIVER_SETUP *driver);
// Removes a driver; ERROR_UNKNOWN_PRINTER_DRIVER when absent, ERROR_PRINTER_DRIVER_IN_USE
// while a printer uses it.
KVAPI BOOL PlatSpoolDeleteDriver(const WCHAR *name);

// A printer to install. NULL strings stay NULL in PRINTER_INFO_2W, except the port
// ("LPT1:"), the print processor ("WinPrint") and the data type ("RAW").
typedef struct PLAT_PRINTER_SETUP {
  const WCHAR *printerName;  // required: no ',' and no '\' unless serverName is set
  const WCHAR *driverName;   // required: an installed driver (PlatSpoolAddDriver)
  const WCHAR *portName;     // optional
  const WCHAR *serverName;   // optional: "\\\\SERVER" makes the printer a connection
  const WCHAR *shareName;    // optional
  const WCHAR *comment;      // optional
  const WCHAR *location;     // optional
  DWORD attributes;          // PRINTER_ATTRIBUTE_* (LOCAL or NETWORK is added)
  const void *devMode;       // optional default DEVMODE: dmSize + dmDriverExtra bytes
} PLAT_PRINTER_SETUP;

// Installs a printer. FALSE with ERROR_INVALID_PRINTER_NAME, ERROR_PRINTER_ALREADY_EXISTS,
// ERROR_UNKNOWN_PRINTER_DRIVER, ERROR_INVALID_PARAMETER (a bad DEVMODE) or ERROR_CANTWRITE.
KVAPI BOOL PlatSpoolAddPrinter(const PLAT_PRINTER_SETUP *printer);
// Renames a printer; its data, settings and open handles follow it.
KVAPI BOOL PlatSpoolRenamePrinter(const WCHAR *oldName, const WCHAR *newName);
// Removes a printer with its data and stored default DEVMODEs (the users' own too); handles
// still open on it fail with ERROR_INVALID_HANDLE.
KVAPI BOOL PlatSpoolDeletePrinter(const WCHAR *name);

// Access of the current user to the spooler (both FALSE after PlatResetForTest):
// denyOpen: every OpenPrinterW fails with ERROR_ACCESS_DENIED;
// nonAdministrator: opening with administrative rights (PRINTER_ACCESS_ADMINISTER,
// PRINTER_ALL_ACCESS, SERVER_ALL_ACCESS) fails with ERROR_ACCESS_DENIED, and
// SetPrinterW, SetPrinterData(Ex)W and DeletePrinterData(Ex)W fail with it on any handle.
KVAPI void PlatSpoolSetAccess(BOOL denyOpen, BOOL nonAdministrator);

// Registry rights of the current user (TRUE after PlatResetForTest). A non-administrator
// reads HKEY_LOCAL_MACHINE but every write there (create, set, delete, or opening for
// write access) answers ERROR_ACCESS_DENIED; HKEY_CURRENT_USER stays writable.
KVAPI void PlatRegSetAdministrator(BOOL isAdministrator);

KV_END_DECLS
