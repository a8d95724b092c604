// Copies between DEVMODEs of different sizes and versions, and the body of the driver's
// DEVMODE conversion entry point.
#include "devmode/devmode_convert.h"

#include <string.h>

#include "devmode/devmode_header.h"
#include "devmode/devmode_layout.h"

namespace {

enum : WORD {
  kSpec351 = 0x320,
  kSpec400 = 0x400,
  kSpec401 = 0x401,
  kSize351 = 188,
  kSize400 = 212,
  kDriverVersion351 = 0x350,
};

DWORD Min(DWORD a, DWORD b) { return a < b ? a : b; }

// A target whose public size does not even cover the header words would get its private
// part written over them: such a target is refused.
bool TargetHoldsItsHeader(const BYTE *target) { return DmReadSize(target) >= offsetof(DEVMODEW, dmFields); }

// The target's own header: what the copies keep of it.
struct TargetHeader {
  WORD spec, driverVersion, size, extra;
};

TargetHeader NoteHeader(const BYTE *target)
{
  return {DmGetSpecVersion(target), DmReadDriverVersion(target), DmReadSize(target), DmReadDriverExtra(target)};
}

void WriteHeader(BYTE *target, const TargetHeader &h)
{
  DmWriteLe16(target + offsetof(DEVMODEW, dmSpecVersion), h.spec);
  DmWriteLe16(target + offsetof(DEVMODEW, dmDriverVersion), h.driverVersion);
  DmWriteLe16(target + offsetof(DEVMODEW, dmSize), h.size);
  DmWriteLe16(target + offsetof(DEVMODEW, dmDriverExtra), h.extra);
}

// The public part, up to the smaller public size and never beyond the driver's 220 bytes;
// the target keeps its header. Answers the bytes copied.
DWORD CopyPublic(const BYTE *source, BYTE *target, const TargetHeader &keep)
{
  DWORD n = Min(Min(DmReadSize(source), keep.size), KV_DM_PUBLIC_SIZE);
  memmove(target, source, n);
  WriteHeader(target, keep);
  return n;
}

// The private part, up to the smaller private size and never beyond 1016 bytes, from behind
// the source's public part to behind the target's. A whole private part gets the build's
// block offsets, wherever the target's private part starts. Answers the bytes copied.
DWORD CopyPrivate(const BYTE *source, BYTE *target, const TargetHeader &keep)
{
  DWORD n = Min(Min(DmReadDriverExtra(source), keep.extra), KV_DM_PRIVATE_SIZE);
  memmove(target + keep.size, source + DmReadSize(source), n);
  if (n == DmGetPrivateSize()) DmStampPrivateBlockOffsets(target + keep.size);
  return n;
}

}  // namespace

WORD WINAPI DmGetSpecVersion(const BYTE *devmode)
{
  if (devmode == NULL) return 0;
  switch (DmReadSize(devmode)) {
    case kSize351: return kSpec351;
    case kSize400: return kSpec400;
    case KV_DM_PUBLIC_SIZE: return kSpec401;
    default: return DmReadSpecVersionField(devmode);
  }
}

LONG WINAPI DmCopyDevmodeSameSize(const BYTE *source, BYTE *target)
{
  if (source == NULL || target == NULL) return -1;
  if (DmGetSpecVersion(source) == 0 || DmGetSpecVersion(target) == 0) return -1;
  if (DmReadSize(source) != DmGetPublicSize() || !TargetHoldsItsHeader(target)) return -1;
  TargetHeader keep = NoteHeader(target);
  DWORD pub = CopyPublic(source, target, keep);
  DWORD priv = CopyPrivate(source, target, keep);
  return (LONG)(pub + priv);
}

LONG WINAPI DmCopyDevmode(const BYTE *source, BYTE *target)
{
  if (source == NULL || target == NULL) return -1;
  // A 3.51 DEVMODE is taken only with the driver's public size, which it never has.
  if (DmGetSpecVersion(source) == kSpec351) return DmCopyDevmodeSameSize(source, target);
  if (!TargetHoldsItsHeader(target)) return -1;
  TargetHeader keep = NoteHeader(target);
  DWORD pub = CopyPublic(source, target, keep);
  // A private part of another size or driver version is never taken.
  if (DmReadDriverExtra(source) != DmGetPrivateSize() || DmReadDriverVersion(source) != keep.driverVersion) return -1;
  DWORD priv = CopyPrivate(source, target, keep);
  return (LONG)(pub + priv);
}

LONG WINAPI DmCopyToOutput(const BYTE *source, const BYTE *reference, BYTE *target)
{
  if (target == NULL) return -1;
  if (source == NULL) return 0;
  if (reference == NULL) {
    // The whole DEVMODE as it stands, at most the driver's 1236 bytes.
    DWORD n = Min(DmClaimedExtent(source), KV_DM_TOTAL_SIZE);
    memmove(target, source, n);
    if (DmReadSize(source) == DmGetPublicSize() && DmReadDriverExtra(source) == DmGetPrivateSize() &&
        n == KV_DM_TOTAL_SIZE)
      DmStampBlockOffsets(target);
    return 1;
  }
  // The output is as large as the smaller of the reference and the source, part by part.
  bool refPublic = DmReadSize(reference) < DmReadSize(source);
  bool refPrivate = DmReadDriverExtra(reference) < DmReadDriverExtra(source);
  const BYTE *pub = refPublic ? reference : source;
  const BYTE *priv = refPrivate ? reference : source;
  TargetHeader h = {DmReadSpecVersionField(pub), DmReadDriverVersion(priv), DmReadSize(pub), DmReadDriverExtra(priv)};
  WriteHeader(target, h);
  return DmCopyDevmodeSameSize(source, target) > 0 ? 1 : 0;
}

int WINAPI DmConvertDevMode(const WCHAR *printerName, const BYTE *source, BYTE *target, LONG *targetSize, DWORD mode)
{
  (void)printerName;
  if (targetSize == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  switch (mode) {
    case KV_CDM_CONVERT:
      // The target's own header says how large it is; a buffer too short to hold that
      // header is refused before it is read.
      if (target != NULL && *targetSize >= (LONG)offsetof(DEVMODEW, dmFields) &&
          *targetSize >= (LONG)DmClaimedExtent(target) && DmCopyDevmodeSameSize(source, target) > 0) {
        *targetSize = (LONG)DmClaimedExtent(target);
        return 1;
      }
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    case KV_CDM_CONVERT351: {
      LONG needed = (LONG)(DmGetPrivateSize() + kSize351);
      if (*targetSize < needed || target == NULL) {
        *targetSize = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
      }
      WriteHeader(target, {kSpec351, kDriverVersion351, kSize351, (WORD)DmGetPrivateSize()});
      if (DmCopyDevmodeSameSize(source, target) > 0) {
        *targetSize = needed;
        return 1;
      }
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    case KV_CDM_DRIVER_DEFAULT: {
      LONG needed = (LONG)(DmGetPrivateSize() + DmGetPublicSize());
      if (*targetSize < needed || target == NULL) {
        *targetSize = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
      }
      *targetSize = needed;
      return 2;
    }
    default: return 2;
  }
}
