// The description compile driver: parse the text, size and allocate the block, lay the
// parse state out in stored form, write the cache file when the versions agree, relocate.
#include "blob/desc_cache.h"
#include "blob/desc_store.h"
#include "model/model.h"

namespace {

void Report(const DESC_DIAG_SINK *sink, const char *message)
{
  if (sink != NULL && sink->report != NULL) sink->report(sink->user, 0, DESC_DIAG_ERROR, message);
}

// TRUE when the block's FileVersion equals the driver version of the context's model
// (without regard to case), or when there is no context to compare with.
bool VersionAllowsWrite(DRIVER_CONTEXT *ctx, const BYTE *block)
{
  if (ctx == NULL) return true;
  if (ctx->model == NULL || ctx->model->driverVersionText == NULL) return false;
  const WCHAR *fileVersion = reinterpret_cast<const DESC_HEADER *>(block)->fileVersion;
  return lstrcmpiW(fileVersion, ctx->model->driverVersionText) == 0;
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
  if (write && VersionAllowsWrite(ctx, block)) DescWriteCacheFile(path, block);
  return DescRelocate(block);
}

DESC_BLOB *WINAPI DescCompile(DRIVER_CONTEXT *ctx, LPCWSTR path, BOOL write)
{
  return DescCompileEx(ctx, path, write, NULL);
}
