// The per-process cache of compiled printer descriptions. Only the lookup exists so far:
// reading the cache file and compiling the description text come with the description
// compiler, so a description that is not in the process cache cannot be obtained yet.
#include "desc_cache.h"
#include "os.h"

DESC_CACHE_ENTRY *g_descProcessCache = NULL;

BOOL WINAPI DescCacheKey(const WCHAR *path, WCHAR key[8])
{
  if (path == NULL) return FALSE;
  int len = lstrlenW(path);
  if (len < 12) return FALSE;
  for (int i = 0; i < 8; ++i) key[i] = path[len - 12 + i];
  return TRUE;
}

static DESC_CACHE_ENTRY *FindEntry(const WCHAR key[8])
{
  for (DESC_CACHE_ENTRY *e = g_descProcessCache; e != NULL; e = e->next) {
    bool same = true;
    for (int i = 0; i < 8 && same; ++i) same = e->key[i] == key[i];
    if (same) return e;
  }
  return NULL;
}

struct DESC_BLOB *WINAPI DescLoadCompiled(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return NULL;
  WCHAR *path = PathGetDriverDataFile(ctx->printer);
  if (path == NULL) return NULL;
  WCHAR key[8];
  DESC_CACHE_ENTRY *entry = DescCacheKey(path, key) ? FindEntry(key) : NULL;
  GlobalFree(path);
  return entry != NULL ? entry->blob : NULL;
}

// Frees the cache entries; the blobs belong to whoever put them in.
void WINAPI DescFreeCache(void)
{
  while (g_descProcessCache != NULL) {
    DESC_CACHE_ENTRY *next = g_descProcessCache->next;
    GlobalFree(g_descProcessCache);
    g_descProcessCache = next;
  }
}
