// Controls of the platform layer that stand outside Win32: the machine root, the
// injectable clock, the active code page and fault injection. Tests and the host
// program use them; driver code never does.
#pragma once
#include "win32/types.h"

KV_BEGIN_DECLS

// The machine root: the POSIX folder that stands for the Windows machine. Taken from
// the environment variable KVML_ROOT on first use unless set here. Setting a new root
// drops every cached view of the old one (open handles stay valid).
KVAPI BOOL PlatSetMachineRoot(const char *posixDir);
KVAPI const char *PlatGetMachineRoot(void);

// Maps a Windows path ("C:\\WINDOWS\\x.ini", "x.ini" relative to the current folder)
// to its POSIX path under the machine root, matching each existing component
// case-insensitively. Writes a NUL-terminated UTF-8 path into out; FALSE with the last
// error set (ERROR_BAD_NETPATH for UNC paths, ERROR_INVALID_NAME, ERROR_INVALID_DRIVE,
// ERROR_FILENAME_EXCED_RANGE) when the path cannot be mapped.
KVAPI BOOL PlatMapPath(const WCHAR *winPath, char *out, UINT outSize);

// Clock: when set, GetTickCount and the local/system time come from the injected
// values instead of the host clock. Advance moves both forward (a jump or a wrap).
KVAPI void PlatClockSetTicks(DWORD ticks);
KVAPI void PlatClockAdvance(DWORD milliseconds);
KVAPI void PlatClockSetLocalTime(const SYSTEMTIME *localTime);  // NULL returns to the host clock
KVAPI void PlatClockReset(void);

// Active ANSI code page (CP_ACP): 1252 by default, 932 selectable.
KVAPI BOOL PlatSetAnsiCodePage(UINT codePage);

// Fault injection: the nth call (1 = the next one) of the kind fails; 0 disarms.
typedef enum PLAT_FAULT_KIND {
  PLAT_FAULT_ALLOC = 0,               // GlobalAlloc / LocalAlloc / GlobalReAlloc
  PLAT_FAULT_FILE_WRITE = 1,          // WriteFile, _lwrite, profile writes
  PLAT_FAULT_PRINTER_DATA = 2,        // SetPrinterDataW and SetPrinterW
  PLAT_FAULT_REG_WRITE = 3,           // RegSetValueExW
  PLAT_FAULT_ENG_BITMAP = 4,          // EngCreateBitmap
  PLAT_FAULT_ENG_DEVICE_SURFACE = 5,  // EngCreateDeviceSurface
  PLAT_FAULT_ENG_BITBLT = 6,          // EngBitBlt
  PLAT_FAULT_ENG_COPYBITS = 7,        // EngCopyBits
  PLAT_FAULT_ENG_STRETCHBLT = 8,      // EngStretchBlt
  PLAT_FAULT_ENG_ERASE = 9,           // EngEraseSurface
  PLAT_FAULT_ENG_PALETTE = 10,        // EngCreatePalette
  PLAT_FAULT_ENG_BRUSH = 11,          // BRUSHOBJ_pvAllocRbrush
  PLAT_FAULT_OS_VERSION = 12,         // GetVersionExW
  PLAT_FAULT_KIND_COUNT = 13
} PLAT_FAULT_KIND;
KVAPI void PlatFaultArm(PLAT_FAULT_KIND kind, DWORD nthCall);
KVAPI void PlatFaultDisarmAll(void);
// Returns TRUE when the current call of this kind must fail (used inside the layer).
KVAPI BOOL PlatFaultHit(PLAT_FAULT_KIND kind);

// The number of GlobalAlloc/LocalAlloc blocks of the process not yet freed: a test compares
// it before and after the calls it checks for leaks.
KVAPI DWORD PlatMemLiveBlocks(void);

// Puts the whole layer back to its initial state for a new test (clock, code page,
// faults, caches); the caller then sets a fresh machine root.
KVAPI void PlatResetForTest(void);

KV_END_DECLS
