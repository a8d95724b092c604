// Fuzz target: raw bytes merged as an incoming DEVMODE into a context of the sample printer.
//
// The input is the DEVMODE image. Its last byte also picks the merge flags from those the
// callers pass (low three bits) and, with bit 3, marks the image's settings request valid so
// that the request codes are reached. As the spooler hands a DEVMODE over, the image is
// passed only when it holds the bytes its own dmSize + dmDriverExtra claim, in an
// exact-size heap copy so a read past that extent is caught. After each merge: the merge
// succeeded, the context's DEVMODE keeps its own sizes, its per-call state is the one it had
// (an image never supplies it), and its print quality is a resolution in dots per inch.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "blob/desc_cache.h"
#include "context.h"
#include "context/context_create.h"
#include "devmode/devmode_layout.h"
#include "devmode/dm_merge.h"
#include "files/paths.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"
#include "model/model.h"
#include "model/state_items.h"
#include "test_printer.h"

namespace {

std::string g_root;
HANDLE g_printer = nullptr;
DRIVER_CONTEXT *g_ctx = nullptr;
struct DESC_BLOB *g_sample = nullptr;
struct DESC_BLOB *g_own = nullptr;
std::vector<BYTE> g_fresh;
long g_merged = 0;  // images that reached the merge

const DWORD kFlags[] = {
    KV_MERGE_FLAGS_CONVERT,
    KV_MERGE_FLAGS_DEVICE_SHEET,
    KV_MERGE_FLAGS_DOCPROPS(KV_MERGE_IN_BUFFER | KV_MERGE_IN_PROMPT),
    KV_MERGE_FLAGS_DOCPROPS_NO_SHEET(KV_MERGE_IN_BUFFER),
    KV_MERGE_FLAGS_QUERY_PRINT,
    KV_MERGE_FLAGS_DEVCAPS,
    KV_MERGE_FLAGS_SETTINGS_FILE,
    KV_MERGE_FLAGS_API,
};

void Fail(const char *what, long a)
{
  fprintf(stderr, "fuzz_merge: %s (%ld)\n", what, a);
  abort();
}

void ReleaseContext()
{
  fprintf(stderr, "fuzz_merge: %ld images merged\n", g_merged);
  if (g_ctx != nullptr) {
    g_ctx->desc = g_own;
    CtxRelease(g_ctx);
  }
  if (g_sample != nullptr) GlobalFree(g_sample);
}

void Setup()
{
  g_printer = FuzzInstallTestPrinter("fuzz_merge", {"sample"}, &g_root);
  atexit(ReleaseContext);
  // The context opens on the smallest description, then works on the sample's.
  g_sample = FuzzCompileSample(g_root, KV_SAMPLE_DIR "/KVSAMPLE.KVD");
  if (g_sample == nullptr) Fail("the sample description does not compile", 0);
  g_ctx = CtxCreate(g_printer, g_printer, nullptr, CTX_CREATE_SHEETS);
  if (g_ctx == nullptr || g_ctx->work == nullptr) Fail("no context", 0);
  g_own = g_ctx->desc;
  g_ctx->desc = g_sample;
  // Settle the context on the sample and keep that state; give it per-call state to keep.
  DmMergeIncoming(g_ctx, nullptr, KV_MERGE_FLAGS_CONVERT);
  CtxSetAdmin(g_ctx, 0);
  CtxSetNoPermission(g_ctx, 1);
  CtxSetTSE(g_ctx, 0);
  CtxSetCallSrc(g_ctx, 0);
  g_fresh.assign(g_ctx->work, g_ctx->work + DmGetWorkBufferSize());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (g_ctx == nullptr) Setup();
  if (size < 72) return 0;
  BYTE selector = data[size - 1];
  DWORD flags = kFlags[selector & 7];
  std::vector<BYTE> copy(data, data + size);
  if ((selector & 8) && size > KV_DM_REQUEST_BLOCK + 1) copy[KV_DM_REQUEST_BLOCK + 1] = 1;
  if (DmClaimedExtent(copy.data()) > size) return 0;
  BYTE *image = static_cast<BYTE *>(malloc(size));
  memcpy(image, copy.data(), size);
  memcpy(g_ctx->work, g_fresh.data(), g_fresh.size());
  g_ctx->state->mergeFlags = 0;

  int merged = DmMergeIncoming(g_ctx, image, flags);
  ++g_merged;
  free(image);
  const BYTE *dm = g_ctx->work;
  if (merged != 1) Fail("the merge failed", merged);
  if (DmReadSize(dm) != KV_DM_PUBLIC_SIZE || DmReadDriverExtra(dm) != KV_DM_PRIVATE_SIZE)
    Fail("the context's DEVMODE changed its sizes", DmReadSize(dm));
  if (CtxGetAdmin(g_ctx) != 0 || CtxGetNoPermission(g_ctx) != 1 || CtxGetTSE(g_ctx) != 0 || CtxGetCallSrc(g_ctx) != 0)
    Fail("the per-call state came from the image", CtxGetAdmin(g_ctx));
  SHORT quality = reinterpret_cast<const DEVMODEW *>(dm)->dmPrintQuality;
  if (quality < 72) Fail("the print quality is no resolution", quality);
  return 0;
}
