// Fuzz target: a DEVMODE's bytes through the checks that read its header: the stored
// version against the driver's and the location of the private part in a context's work
// buffer.
//
// DmCheckVersion trusts a DEVMODE's own dmSize + dmDriverExtra as the extent of the
// image, as the spooler hands it over; the input is passed only when it is that large,
// in an exact-size heap copy so a read past the extent is caught.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "context.h"
#include "devmode/dm_version.h"
#include "model/model.h"

namespace {

void Fail(const char *what, long a)
{
  fprintf(stderr, "fuzz_devmode: %s (%ld)\n", what, a);
  abort();
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
