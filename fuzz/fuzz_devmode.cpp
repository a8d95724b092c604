// Fuzz target: a DEVMODE's bytes through the checks that read its header (the stored
// version against the driver's, the three format checks, the location of the private part
// in a context's work buffer) and through the copies and conversions that take it in.
//
// The checks and copies trust a DEVMODE's own dmSize + dmDriverExtra as the extent of the
// image, as the spooler hands it over; the input is passed only when it is that large,
// in an exact-size heap copy so a read past the extent is caught. Targets are exact-size
// heap buffers of the size their headers give, so a write past them is caught too.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "context.h"
#include "devmode/devmode_convert.h"
#include "devmode/devmode_header.h"
#include "devmode/devmode_layout.h"
#include "devmode/dm_version.h"
#include "model/model.h"

namespace {

void Fail(const char *what, long a)
{
  fprintf(stderr, "fuzz_devmode: %s (%ld)\n", what, a);
  abort();
}

// A target DEVMODE of the driver's sizes with a good header.
BYTE *NewTarget(WORD pub, WORD extra)
{
  BYTE *t = (BYTE *)calloc(1, (size_t)pub + extra < 72 ? 72 : (size_t)pub + extra);
  DmWriteLe16(t + offsetof(DEVMODEW, dmSpecVersion), 0x401);
  DmWriteLe16(t + offsetof(DEVMODEW, dmDriverVersion), CtxGetTemplate()->model->driverVersion);
  DmWriteLe16(t + offsetof(DEVMODEW, dmSize), pub);
  DmWriteLe16(t + offsetof(DEVMODEW, dmDriverExtra), extra);
  return t;
}

// The target keeps the sizes it was given.
void CheckSizesKept(const BYTE *t, WORD pub, WORD extra, const char *what)
{
  if (DmReadSize(t) != pub || DmReadDriverExtra(t) != extra) Fail(what, DmReadSize(t));
}

// The copies and conversions with the image as their source (and as the reference of the
// output copy).
void RunCopies(const BYTE *image)
{
  LONG n = DmCopyDevmodeSameSize(image, NULL);
  if (n != -1) Fail("copy into NULL", n);

  BYTE *t = NewTarget(220, 1016);
  n = DmCopyDevmodeSameSize(image, t);
  if (n < -1 || n > 1236) Fail("DmCopyDevmodeSameSize count", n);
  CheckSizesKept(t, 220, 1016, "DmCopyDevmodeSameSize changed the target's sizes");
  n = DmCopyDevmode(image, t);
  if (n < -1 || n > 1236) Fail("DmCopyDevmode count", n);
  CheckSizesKept(t, 220, 1016, "DmCopyDevmode changed the target's sizes");
  if (n == 1236 && DmReadLe16(t + KV_DM_CONFIG_OFFSET) != DmGetBlockOffset(2)) Fail("block offsets not stamped", n);

  // The output copy: the context's DEVMODE into a buffer sized after the image.
  BYTE *ctxDm = NewTarget(220, 1016);
  WORD outPub = DmReadSize(image) < 220 ? DmReadSize(image) : 220;
  WORD outExtra = DmReadDriverExtra(image) < 1016 ? DmReadDriverExtra(image) : 1016;
  BYTE *out = NewTarget(outPub, outExtra);
  n = DmCopyToOutput(ctxDm, image, out);
  if (n < 0 || n > 1) Fail("DmCopyToOutput answer", n);
  CheckSizesKept(out, outPub, outExtra, "DmCopyToOutput sized the output wrongly");
  free(out);
  free(ctxDm);

  // The conversion modes with the target's own size as its buffer size.
  const DWORD modes[] = {KV_CDM_CONVERT, KV_CDM_CONVERT351, KV_CDM_DRIVER_DEFAULT, 3};
  for (DWORD mode : modes) {
    LONG size = 1236;
    SetLastError(0);
    int r = DmConvertDevMode(NULL, image, t, &size, mode);
    DWORD err = GetLastError();
    if (r < 0 || r > 2) Fail("DmConvertDevMode answer", r);
    if (r == 0 && err != ERROR_INVALID_PARAMETER && err != ERROR_INSUFFICIENT_BUFFER) Fail("no error set", (long)err);
    if (size > 1236 || size < 0) Fail("DmConvertDevMode size", size);
    DmWriteLe16(t + offsetof(DEVMODEW, dmSize), 220);  // the 3.51 mode rewrote the header
    DmWriteLe16(t + offsetof(DEVMODEW, dmDriverExtra), 1016);
  }
  free(t);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < offsetof(DEVMODEW, dmFields)) return 0;
  WORD dmSize, dmExtra;
  memcpy(&dmSize, data + offsetof(DEVMODEW, dmSize), sizeof dmSize);
  memcpy(&dmExtra, data + offsetof(DEVMODEW, dmDriverExtra), sizeof dmExtra);
  size_t extent = (size_t)dmSize + dmExtra;
  if (extent >= offsetof(DEVMODEW, dmFields) && extent <= size) {
    BYTE *image = (BYTE *)malloc(extent);
    memcpy(image, data, extent);
    int v = DmCheckVersion(image);
    if (v < 0 || v > 2) Fail("DmCheckVersion answer out of range", v);
    int full = DmCheckPrivateHeader(image), model = DmCheckModel(image), sized = DmCheckModelAndSize(image);
    if (full && !sized) Fail("current format without the model and size", 0);
    if (sized && !model) Fail("model and size without the model", 0);
    RunCopies(image);
    free(image);
  }

  // The private part of a work buffer holding the bytes: inside the DEVMODE area, with
  // room for the whole private part, or refused.
  BYTE *work = (BYTE *)calloc(1, KV_WORK_BUFFER_SIZE);
  const size_t workSize = KV_WORK_BUFFER_SIZE;
  memcpy(work, data, size < workSize ? size : workSize);
  DRIVER_CONTEXT ctx;
  memset(&ctx, 0, sizeof ctx);
  ctx.work = work;
  BYTE *priv = CtxGetPrivatePart(&ctx);
  if (priv != NULL) {
    size_t at = (size_t)(priv - work);
    if (at + DmGetPrivateSize() > KV_DEVMODE_SIZE) Fail("private part beyond the DEVMODE", (long)at);
    volatile BYTE sink = priv[DmGetPrivateSize() - 1];  // the last byte is readable
    (void)sink;
  }
  if (CtxLocatePrivatePart(&ctx) != priv) Fail("the two private-part getters disagree", 0);
  free(work);
  return 0;
}
