// When a compiled description's cache file may be read or written: the one place that
// weighs the driver's version, the description's FileVersion, the cache file's own
// FileVersion and the last-write times that tie the file to its text.
#include "blob/desc_blob.h"
#include "blob/desc_cache.h"

namespace {

bool Empty(const WCHAR *s) { return s == NULL || s[0] == 0; }

// The FileVersion of a block as a terminated text (at most 15 characters).
void BlockVersion(const BYTE *block, WCHAR out[16])
{
  for (DWORD i = 0; i < 16; ++i) out[i] = (WCHAR)DescLd16(block, 2u * i);
  out[15] = 0;
}

}  // namespace

DESC_CACHE_REASON WINAPI DescCacheDecide(DWORD use, const DESC_CACHE_FACTS *facts)
{
  if (facts == NULL) return DESC_CACHE_ALLOWED;
  if (use == DESC_CACHE_READ && facts->textTime != NULL && facts->cacheTime != NULL &&
      CompareFileTime(facts->textTime, facts->cacheTime) != 0)
    return DESC_CACHE_TIME_DIFFERS;
  WCHAR blockVersion[16] = {0};
  if (facts->block != NULL) BlockVersion(facts->block, blockVersion);
  // The description's FileVersion: the text's when known, else (a write) the block's.
  const WCHAR *version = facts->textVersion;
  if (version == NULL && use == DESC_CACHE_WRITE && facts->block != NULL) version = blockVersion;
  if (facts->checkDriver) {
    if (Empty(facts->driverVersion)) return DESC_CACHE_NO_DRIVER_VERSION;
    if (version != NULL && Empty(version)) return DESC_CACHE_NO_FILE_VERSION;
    if (version != NULL && lstrcmpiW(version, facts->driverVersion) != 0) return DESC_CACHE_NOT_DRIVER_VERSION;
  }
  if (use == DESC_CACHE_READ && facts->block != NULL && facts->textVersion != NULL &&
      (Empty(blockVersion) || Empty(facts->textVersion) || lstrcmpiW(blockVersion, facts->textVersion) != 0))
    return DESC_CACHE_STALE_FILE;
  if (use == DESC_CACHE_WRITE && facts->block != NULL &&
      DescLd32(facts->block, offsetof(DESC_HEADER, totalSize)) <= DESC_HEADER_SIZE)
    return DESC_CACHE_HEADER_ONLY;
  return DESC_CACHE_ALLOWED;
}

const char *WINAPI DescCacheReasonText(DESC_CACHE_REASON reason)
{
  switch (reason) {
    case DESC_CACHE_ALLOWED: return "allowed";
    case DESC_CACHE_NO_DRIVER_VERSION: return "the driver has no version to compare with";
    case DESC_CACHE_NO_FILE_VERSION: return "the description has no FileVersion";
    case DESC_CACHE_NOT_DRIVER_VERSION: return "FileVersion is not the driver's";
    case DESC_CACHE_TIME_DIFFERS: return "the cache file's time is not the description's";
    case DESC_CACHE_STALE_FILE: return "the cache file's FileVersion is not the description's";
    case DESC_CACHE_HEADER_ONLY: return "nothing beyond the header";
  }
  return "unknown reason";
}
