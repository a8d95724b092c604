// The process cache of compiled descriptions and DescLoadCompiled, which obtains a
// context's description from the process cache, the cache file or the text, in that order.
//
// The settings mutex serializes loading across processes and threads, but contexts opened
// without it reach the list too, so the list itself is guarded by a lock of the process.
//
// A hit in the process cache needs neither the mutex nor the spooler: the description file
// of the printer handle last loaded is remembered with a printer change notification armed
// before it was read, and while that notification is quiet (no change of the printer, its
// driver or the spool, in any process) the remembered path is still the answer.
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

// The description file of the printer handle loaded last (guarded by g_cacheLock).
struct PathMemo {
  HANDLE printer = NULL;
  HANDLE change = NULL;
  WCHAR *path = NULL;
};
PathMemo g_pathMemo;

void CloseChange(HANDLE change)
{
  if (change != NULL) FindClosePrinterChangeNotification(change);
}

// Forgets the remembered path; the caller holds g_cacheLock and closes *change after.
void ForgetMemoLocked(HANDLE *change)
{
  *change = g_pathMemo.change;
  if (g_pathMemo.path != NULL) GlobalFree(g_pathMemo.path);
  g_pathMemo = PathMemo{};
}

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
  HANDLE change = NULL;
  std::lock_guard<std::mutex> guard(g_cacheLock);
  ForgetMemoLocked(&change);
  CloseChange(change);
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

// The cached blob of the printer handle's description when the remembered path is still
// its description file, else NULL.
static DESC_BLOB *QuickHit(HANDLE printer)
{
  std::lock_guard<std::mutex> guard(g_cacheLock);
  if (g_pathMemo.path == NULL || g_pathMemo.printer != printer || g_pathMemo.change == NULL) return NULL;
  if (WaitForSingleObject(g_pathMemo.change, 0) != WAIT_TIMEOUT) return NULL;
  DESC_CACHE_NODE *n = FindLocked(g_pathMemo.path);
  return n != NULL ? n->blob : NULL;
}

// A notification for the printer armed now: the remembered one re-armed when it belongs to
// this printer handle (taken out of the memo), else a new one. NULL when none can be had.
static HANDLE ArmChange(HANDLE printer)
{
  HANDLE change = NULL;
  {
    std::lock_guard<std::mutex> guard(g_cacheLock);
    if (g_pathMemo.printer == printer && g_pathMemo.change != NULL) {
      change = g_pathMemo.change;
      g_pathMemo.change = NULL;
    }
  }
  DWORD what = 0;
  if (change != NULL && FindNextPrinterChangeNotification(change, &what, NULL, NULL)) return change;
  CloseChange(change);
  change = FindFirstPrinterChangeNotification(printer, PRINTER_CHANGE_PRINTER | PRINTER_CHANGE_PRINTER_DRIVER, 0, NULL);
  return change != INVALID_HANDLE_VALUE ? change : NULL;
}

// Remembers path as the printer handle's description file, proved by change.
static void Remember(HANDLE printer, HANDLE change, const WCHAR *path)
{
  WCHAR *copy = NULL;
  if (change != NULL) {
    int len = PathLength(path);
    copy = (WCHAR *)GlobalAlloc(GPTR, ((SIZE_T)len + 1) * sizeof(WCHAR));
    if (copy != NULL) lstrcpynW(copy, path, len + 1);
  }
  HANDLE old = NULL;
  {
    std::lock_guard<std::mutex> guard(g_cacheLock);
    ForgetMemoLocked(&old);
    if (copy != NULL) {
      g_pathMemo.printer = printer;
      g_pathMemo.change = change;
      g_pathMemo.path = copy;
      change = NULL;
    }
  }
  CloseChange(old);
  CloseChange(change);
}

struct DESC_BLOB *WINAPI DescLoadCompiled(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return NULL;
  DESC_BLOB *blob = QuickHit(ctx->printer);
  if (blob != NULL) return blob;
  KV_LOCK_RESULT lock = OsSettingsMutexLock(ctx);
  // Armed before the path is read, so any change after the read signals it.
  HANDLE change = ArmChange(ctx->printer);
  WCHAR *path = PathGetDriverDataFile(ctx->printer);
  if (path != NULL) {
    blob = DescCacheFind(path);
    if (blob == NULL) {
      BOOL mayWrite = TRUE;
      blob = LoadCacheFile(ctx, path, &mayWrite);
      if (blob == NULL) blob = DescCompile(ctx, path, mayWrite);
      if (blob != NULL) blob = CacheLoaded(blob, path);
    }
    if (blob != NULL) {
      Remember(ctx->printer, change, path);
      change = NULL;
    }
    GlobalFree(path);
  }
  CloseChange(change);
  if (lock == KV_LOCK_HELD) OsSettingsMutexUnlock(ctx);
  return blob;
}
