// The process cache of compiled descriptions and DescLoadCompiled, which obtains a
// context's description from the process cache, the cache file or the text, in that order.
//
// The settings mutex serializes loading across processes and threads, but contexts opened
// without it reach the list too, so the list itself is guarded by a lock of the process.
#include <mutex>

#include "blob/desc_blob.h"
#include "blob/desc_cache.h"
#include "blob/desc_compile.h"
#include "blob/desc_store.h"
#include "desc/desc_reader.h"
#include "files/paths.h"
#include "model/model.h"
#include "os/os.h"

DESC_CACHE_NODE *g_descProcessCache = NULL;

namespace {

std::mutex g_cacheLock;

#define DESC_KEY_TAIL 12  // the key begins this many characters before the end of the path

int PathLength(const WCHAR *path) { return path != NULL ? lstrlenW(path) : 0; }

BOOL KeyEquals(const WCHAR *a, const WCHAR *b)
{
  for (int i = 0; i < DESC_CACHE_KEY_CHARS; ++i)
    if (a[i] != b[i]) return FALSE;
  return TRUE;
}

// Looks the path up; the caller holds g_cacheLock. A path too short for a key is found
// by its whole path, so loading it again reuses its node instead of adding one.
DESC_CACHE_NODE *FindLocked(const WCHAR *path)
{
  WCHAR key[DESC_CACHE_KEY_CHARS];
  if (!DescCacheKey(path, key)) {
    if (path == NULL) return NULL;
    for (DESC_CACHE_NODE *n = g_descProcessCache; n != NULL; n = n->next) {
      if ((n->flags & DESC_CACHE_UNKEYED) && n->path != NULL && lstrcmpiW(n->path, path) == 0) return n;
    }
    return NULL;
  }
  for (DESC_CACHE_NODE *n = g_descProcessCache; n != NULL; n = n->next) {
    if ((n->flags & DESC_CACHE_UNKEYED) || !KeyEquals(n->key, key)) continue;
    // The key alone would let two folders' descriptions of the same name share a blob.
    if (n->path == NULL || lstrcmpiW(n->path, path) == 0) return n;
  }
  return NULL;
}

void AppendLocked(DESC_CACHE_NODE *node)
{
  DESC_CACHE_NODE **at = &g_descProcessCache;
  while (*at != NULL) at = &(*at)->next;
  *at = node;
}

// The usable cache file as a relocated blob, or NULL. A cache file that may not be read is
// deleted; *mayWrite says whether the compile that follows may write a new one (not when
// the text's version is what forbade the old one).
DESC_BLOB *LoadCacheFile(DRIVER_CONTEXT *ctx, const WCHAR *path, BOOL *mayWrite)
{
  *mayWrite = TRUE;
  DWORD size = 0;
  BYTE *block = DescReadCacheFile(path, &size);
  if (block == NULL) return NULL;
  WCHAR textVersion[16] = {0};
  DescReadTextFileVersion(path, textVersion);
  DESC_CACHE_FACTS facts = {};
  facts.checkDriver = TRUE;
  facts.driverVersion = ctx->model != NULL ? ctx->model->driverVersionText : NULL;
  facts.textVersion = textVersion;
  facts.block = block;
  DESC_CACHE_REASON reason = DescCacheDecide(DESC_CACHE_READ, &facts);
  if (reason == DESC_CACHE_ALLOWED) return DescRelocate(block);
  if (reason == DESC_CACHE_NO_DRIVER_VERSION || reason == DESC_CACHE_NO_FILE_VERSION ||
      reason == DESC_CACHE_NOT_DRIVER_VERSION)
    *mayWrite = FALSE;
  GlobalFree(block);
  DescDeleteCacheFile(path);
  return NULL;
}

}  // namespace

BOOL WINAPI DescCacheKey(const WCHAR *path, WCHAR key[DESC_CACHE_KEY_CHARS])
{
  int len = PathLength(path);
  if (len < DESC_KEY_TAIL) return FALSE;
  for (int i = 0; i < DESC_CACHE_KEY_CHARS; ++i) key[i] = path[len - DESC_KEY_TAIL + i];
  return TRUE;
}

DESC_CACHE_NODE *WINAPI DescMakeCacheNode(struct DESC_BLOB *blob, const WCHAR *path)
{
  if (blob == NULL || path == NULL) return NULL;
  DESC_CACHE_NODE *node = (DESC_CACHE_NODE *)GlobalAlloc(GPTR, sizeof(DESC_CACHE_NODE));
  if (node == NULL) return NULL;
  int len = PathLength(path);
  node->path = (WCHAR *)GlobalAlloc(GPTR, ((SIZE_T)len + 1) * sizeof(WCHAR));
  if (node->path == NULL) {
    GlobalFree(node);
    return NULL;
  }
  for (int i = 0; i < len; ++i) node->path[i] = path[i];
  node->blob = blob;
  node->flags = DESC_CACHE_OWNS_BLOB;
  if (!DescCacheKey(path, node->key)) node->flags |= DESC_CACHE_UNKEYED;
  return node;
}

struct DESC_BLOB *WINAPI DescCacheFind(const WCHAR *path)
{
  std::lock_guard<std::mutex> guard(g_cacheLock);
  DESC_CACHE_NODE *n = FindLocked(path);
  return n != NULL ? n->blob : NULL;
}

BOOL WINAPI DescCacheAdd(struct DESC_BLOB *blob, const WCHAR *path)
{
  DESC_CACHE_NODE *node = DescMakeCacheNode(blob, path);
  if (node == NULL) return FALSE;
  std::lock_guard<std::mutex> guard(g_cacheLock);
  AppendLocked(node);
  return TRUE;
}

void WINAPI DescFreeCache(void)
{
  std::lock_guard<std::mutex> guard(g_cacheLock);
  while (g_descProcessCache != NULL) {
    DESC_CACHE_NODE *n = g_descProcessCache;
    g_descProcessCache = n->next;
    if ((n->flags & DESC_CACHE_OWNS_BLOB) && n->blob != NULL) GlobalFree(n->blob);
    if (n->path != NULL) GlobalFree(n->path);
    GlobalFree(n);
  }
}

// Puts a freshly loaded blob into the cache and answers the blob to use: when another
// thread (of a context without the settings mutex) cached the same description meanwhile,
// that one, and the fresh one is freed. NULL (blob freed) when memory is short.
static DESC_BLOB *CacheLoaded(DESC_BLOB *blob, const WCHAR *path)
{
  DESC_CACHE_NODE *node = DescMakeCacheNode(blob, path);
  if (node == NULL) {
    GlobalFree(blob);
    return NULL;
  }
  std::lock_guard<std::mutex> guard(g_cacheLock);
  DESC_CACHE_NODE *other = FindLocked(path);
  if (other != NULL) {
    GlobalFree(node->path);
    GlobalFree(node);
    GlobalFree(blob);
    return other->blob;
  }
  AppendLocked(node);
  return blob;
}

struct DESC_BLOB *WINAPI DescLoadCompiled(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return NULL;
  KV_LOCK_RESULT lock = OsSettingsMutexLock(ctx);
  DESC_BLOB *blob = NULL;
  WCHAR *path = PathGetDriverDataFile(ctx->printer);
  if (path != NULL) {
    blob = DescCacheFind(path);
    if (blob == NULL) {
      BOOL mayWrite = TRUE;
      blob = LoadCacheFile(ctx, path, &mayWrite);
      if (blob == NULL) blob = DescCompile(ctx, path, mayWrite);
      if (blob != NULL) blob = CacheLoaded(blob, path);
    }
    GlobalFree(path);
  }
  if (lock == KV_LOCK_HELD) OsSettingsMutexUnlock(ctx);
  return blob;
}
