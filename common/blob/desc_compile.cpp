// The description compile driver: parse the text, size and allocate the block, lay the
// parse state out in stored form, write the cache file when the versions agree, relocate.
#include "blob/desc_cache.h"
#include "blob/desc_compile.h"
#include "blob/desc_store.h"
#include "model/model.h"

namespace {

void Report(const DESC_DIAG_SINK *sink, const char *message)
{
  if (sink != NULL && sink->report != NULL) sink->report(sink->user, 0, DESC_DIAG_ERROR, message);
}

// Whether the compiled block may be written to the cache file: with a context, only when
// its FileVersion is the driver version of the context's model.
DESC_CACHE_REASON WriteReason(DRIVER_CONTEXT *ctx, const BYTE *block)
{
  DESC_CACHE_FACTS facts = {};
  facts.checkDriver = ctx != NULL;
  facts.driverVersion = ctx != NULL && ctx->model != NULL ? ctx->model->driverVersionText : NULL;
  facts.block = block;
  return DescCacheDecide(DESC_CACHE_WRITE, &facts);
}

}  // namespace

void WINAPI DescSerialize(DESC_PARSE_STATE *state, BYTE *block)
{
  if (state == NULL) return;
  if (block != NULL && state->header != NULL) DescStoreParseState(state, block, state->header->totalSize);
  DescParseStateFree(state);
}

DESC_BLOB *WINAPI DescCompileEx(DRIVER_CONTEXT *ctx, LPCWSTR path, BOOL write, const DESC_DIAG_SINK *sink)
{
  // The cache file is tied to the text as it was when it was read: a text edited while
  // it compiles then differs in time from the cache file, which is not used.
  FILETIME textTime = {};
  if (write && !DescReadTextWriteTime(path, &textTime)) write = FALSE;
  DESC_PARSE_STATE *state = DescParseFileEx(path, sink);
  if (state == NULL) return NULL;
  DWORD size = DescComputeSize(state);
  if (size == 0) {
    Report(sink, "the description is too large or nests command blocks too deeply");
    DescParseStateFree(state);
    return NULL;
  }
  BYTE *block = static_cast<BYTE *>(GlobalAlloc(GPTR, size));
  if (block == NULL) {
    DescParseStateFree(state);
    return NULL;
  }
  state->header->totalSize = size;
  BOOL stored = DescStoreParseState(state, block, size);
  DescParseStateFree(state);
  if (!stored) {
    Report(sink, "the description could not be laid out into its compiled block");
    GlobalFree(block);
    return NULL;
  }
  if (write && WriteReason(ctx, block) == DESC_CACHE_ALLOWED) DescWriteCacheFileStamped(path, block, &textTime);
  return DescRelocate(block);
}

DESC_BLOB *WINAPI DescCompile(DRIVER_CONTEXT *ctx, LPCWSTR path, BOOL write)
{
  return DescCompileEx(ctx, path, write, NULL);
}
