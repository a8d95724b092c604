// The description compile: parse a description file, lay it out into a new block in stored
// form, write the .BCS cache file when the versions allow, and relocate the block.
#pragma once

#include "context.h"
#include "blob/desc_blob.h"
#include "desc/desc_parse.h"

KV_BEGIN_DECLS

// Compiles the description text into a new relocated block (GlobalAlloc, zero-filled), or
// NULL. With write set, the stored form is written to the .BCS cache file when ctx is NULL
// or the description's FileVersion equals the driver version of the context's model.
DESC_BLOB *WINAPI DescCompile(DRIVER_CONTEXT *ctx, LPCWSTR path, BOOL write);
// DescCompile with diagnostics; sink may be NULL.
DESC_BLOB *WINAPI DescCompileEx(DRIVER_CONTEXT *ctx, LPCWSTR path, BOOL write, const DESC_DIAG_SINK *sink);

KV_END_DECLS
