// The per-process cache of compiled printer descriptions, keyed by the 8 characters that
// begin 12 characters before the end of the description file's path.
#pragma once

#include "context.h"

typedef struct DESC_CACHE_ENTRY {
  struct DESC_CACHE_ENTRY *next;
  WCHAR key[8];
  struct DESC_BLOB *blob;
} DESC_CACHE_ENTRY;

KV_BEGIN_DECLS

// Head of the process cache list.
extern DESC_CACHE_ENTRY *g_descProcessCache;

// The cache key of a description path; FALSE for a path shorter than 12 characters.
BOOL WINAPI DescCacheKey(const WCHAR *path, WCHAR key[8]);
// The compiled description for the context's printer, or NULL.
struct DESC_BLOB *WINAPI DescLoadCompiled(DRIVER_CONTEXT *ctx);
// Empties the process cache (process detach).
void WINAPI DescFreeCache(void);
// The .BCS cache file's path for a description path (out holds 260 characters).
BOOL WINAPI DescMakeCachePath(WCHAR *out, const WCHAR *descPath);
// A new GlobalAlloc block holding a copy of a valid cache file (stored form, not yet
// relocated), or NULL; *size (optional) receives the block's size.
BYTE *WINAPI DescReadCacheFile(const WCHAR *descPath, DWORD *size);
// Writes a block in stored form to the cache file; failures are ignored.
void WINAPI DescWriteCacheFile(const WCHAR *descPath, const BYTE *stored);
void WINAPI DescDeleteCacheFile(const WCHAR *descPath);

KV_END_DECLS
