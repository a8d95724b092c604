// Copies between DEVMODEs of different sizes and versions, and the body of the driver's
// DEVMODE conversion entry point.
//
// Trust rule for DEVMODEs from outside: a copy never reads more than 220 public and 1016
// private bytes of its source, nor more than the source's own dmSize and dmDriverExtra
// claim; it writes a target only within the target's own header sizes, which the callers
// bound by the buffer size they were given or by the context's 1236-byte DEVMODE.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// The dmSpecVersion that a DEVMODE's public size stands for: 0x320 for 188 bytes (the
// Windows NT 3.51 DEVMODE), 0x400 for 212, 0x401 for 220, else the stored dmSpecVersion;
// 0 for NULL.
WORD WINAPI DmGetSpecVersion(const BYTE *devmode);
// Copies a DEVMODE of the driver's public size (220) into target: the smaller public part,
// keeping the target's own header sizes and driver version and giving it the version of
// its size, then the smaller private part (at most 1016 bytes); a whole private part gets
// the build's block offsets stamped. Answers the bytes copied, or -1 when either is NULL,
// either version is 0, the source's public size is not 220 or the target's public size does
// not cover its own header words (72 bytes).
LONG WINAPI DmCopyDevmodeSameSize(const BYTE *source, BYTE *target);
// Brings a DEVMODE of any size into target: a 3.51 source goes through
// DmCopyDevmodeSameSize; otherwise the public part is copied as there, and the private part
// only when the source's dmDriverExtra is 1016 and its dmDriverVersion is the target's.
// Answers the bytes copied, or -1 (the public part may be copied already then; a target
// shorter than its header words is refused untouched).
LONG WINAPI DmCopyDevmode(const BYTE *source, BYTE *target);
// Hands the context's DEVMODE (source) to a caller's output DEVMODE (target) sized after the
// reference (the caller's input DEVMODE) or, with no reference, the source itself: 1 when
// copied, 0 when not, -1 for a NULL target.
LONG WINAPI DmCopyToOutput(const BYTE *source, const BYTE *reference, BYTE *target);
// Modes of DmConvertDevMode.
enum {
  KV_CDM_CONVERT = 1,
  KV_CDM_CONVERT351 = 2,
  KV_CDM_DRIVER_DEFAULT = 4,
};
// The body of the conversion entry point. *targetSize holds the target buffer's size in bytes
// and receives the size written or needed. Answers 1 converted; 2 when the caller goes on
// (the driver's default DEVMODE is to be written, or a mode handled elsewhere); 0 failed
// with ERROR_INSUFFICIENT_BUFFER (and the size needed) or ERROR_INVALID_PARAMETER set. In
// the plain conversion the target's header is read only when *targetSize covers it (72
// bytes); a shorter buffer fails with ERROR_INVALID_PARAMETER.
int WINAPI DmConvertDevMode(const WCHAR *printerName, const BYTE *source, BYTE *target, LONG *targetSize, DWORD mode);

KV_END_DECLS
