// The two caches of compiled printer descriptions:
//  - the process cache: a list of nodes, one per description file a context of this
//    process loaded, keyed by the 8 characters that begin 12 characters before the end of
//    the description file's path (the 8-character name of "NAME.EXT"); a hit also needs
//    the whole path to match, so two directories holding descriptions of the same name do
//    not share one entry; a path under 12 characters has no key and is found by its
//    whole path alone;
//  - the cache file (.BCS) beside the description text: the compiled block in stored
//    form, byte for byte, followed by a 16-byte trailer that holds the file format's
//    version and a CRC-32 of the block, shared by every process of the machine. It is
//    tied to its text by carrying the text's last-write time; a cache file with any other
//    time, a length other than its recorded total plus the trailer, a trailer of another
//    format or a checksum that does not match, or a block the validator refuses is not
//    used (the text is compiled again and the file rewritten).
#pragma once

#include "context.h"

#define DESC_CACHE_KEY_CHARS 8
// Characters of a cache file's path, terminator included.
#define DESC_CACHE_PATH_CHARS 260
// Largest cache file that is read (a compiled description is far smaller).
#define DESC_CACHE_FILE_MAX (64u * 1024u * 1024u)

// The trailer after the block in a cache file (little-endian):
//   +0  "KVBC"
//   +4  32-bit format version (DESC_CACHE_FORMAT)
//   +8  32-bit block size (the block's total size, so the file is size + 16 bytes)
//   +12 CRC-32 (IEEE, as zlib computes it) of the block followed by trailer bytes 0-11
// A file of an earlier format (the bare block, no trailer) has a length equal to its
// recorded total, so it is never taken for one of this format: it is compiled again.
// A new format must take a new version number.
#define DESC_CACHE_TRAILER_SIZE 16u
#define DESC_CACHE_MAGIC 0x4342564Bu  // "KVBC" read as a little-endian DWORD
#define DESC_CACHE_FORMAT 1u

// Node flags.
#define DESC_CACHE_OWNS_BLOB 0x1u  // DescFreeCache frees the blob
#define DESC_CACHE_UNKEYED 0x2u    // path too short for a key: found by its whole path

typedef struct DESC_CACHE_NODE {
  struct DESC_CACHE_NODE *next;
  WCHAR key[DESC_CACHE_KEY_CHARS];
  struct DESC_BLOB *blob;
  WCHAR *path;  // the description file's whole path (GlobalAlloc); NULL: match by key alone
  DWORD flags;
} DESC_CACHE_NODE;
// Older name of the node, kept for code that builds nodes by hand (zero-filled nodes
// borrow their blob and match by key alone).
typedef DESC_CACHE_NODE DESC_CACHE_ENTRY;

KV_BEGIN_DECLS

// Head of the process cache list. Read and change it only through the functions below,
// which take the process's cache lock.
extern DESC_CACHE_NODE *g_descProcessCache;

// The cache key of a description path; FALSE for a path shorter than 12 characters.
BOOL WINAPI DescCacheKey(const WCHAR *path, WCHAR key[DESC_CACHE_KEY_CHARS]);

// The compiled description for the context's printer: from the process cache, else from
// a usable cache file, else compiled from the text (writing the cache file when the
// versions allow). NULL when the printer has no description or it cannot be compiled.
struct DESC_BLOB *WINAPI DescLoadCompiled(DRIVER_CONTEXT *ctx);

// The cached blob of a description path, or NULL.
struct DESC_BLOB *WINAPI DescCacheFind(const WCHAR *path);
// Appends a node that owns blob; FALSE (nothing added, blob untouched) for a missing blob
// or path or when memory is short. A path under 12 characters gets a node without a key,
// found again only by the same whole path.
BOOL WINAPI DescCacheAdd(struct DESC_BLOB *blob, const WCHAR *path);
// A new node owning blob, keyed and carrying a copy of path; NULL when memory is short.
DESC_CACHE_NODE *WINAPI DescMakeCacheNode(struct DESC_BLOB *blob, const WCHAR *path);
// Frees every node and every blob the cache owns; the cache is empty afterwards.
void WINAPI DescFreeCache(void);

// The cache file's path of a description path into out (DESC_CACHE_PATH_CHARS): the
// extension of the file name replaced by "BCS", or ".BCS" appended to a file name without
// one. FALSE (out empty) when the result does not fit.
BOOL WINAPI DescMakeCachePath(WCHAR *out, const WCHAR *descPath);
// A new GlobalAlloc block holding a copy of a usable cache file (stored form, not yet
// relocated), or NULL; *size (optional) receives the block's size.
BYTE *WINAPI DescReadCacheFile(const WCHAR *descPath, DWORD *size);
// Writes a block in stored form to the cache file whole (FileReplaceWhole): into a
// temporary file beside it, which then replaces the cache file in one rename, so no reader
// meets half a file and a link in the cache file's place is replaced, not written through. TRUE when
// the cache file was replaced; callers may ignore failures. The cache file is stamped
// with the text's last-write time as it is now; a compile stamps the time it read before
// parsing instead (DescWriteCacheFileStamped).
BOOL WINAPI DescWriteCacheFile(const WCHAR *descPath, const BYTE *stored);
// DescWriteCacheFile stamping the cache file with textTime: the text's last-write time read
// before the text was parsed, so a text edited during the compile leaves a cache file whose
// time is not the text's, and the next load compiles the text again.
BOOL WINAPI DescWriteCacheFileStamped(const WCHAR *descPath, const BYTE *stored, const FILETIME *textTime);
// The last-write time of a description text; FALSE when the text cannot be opened or its
// time read.
BOOL WINAPI DescReadTextWriteTime(const WCHAR *descPath, FILETIME *time);
// CRC-32 (IEEE polynomial, reflected, as zlib's crc32) of size bytes continuing crc (0 to
// start): DescCacheChecksum(b, n, DescCacheChecksum(a, m, 0)) is the CRC of a then b.
DWORD WINAPI DescCacheChecksum(const BYTE *data, DWORD size, DWORD crc);
// Fills the DESC_CACHE_TRAILER_SIZE-byte trailer of a block in stored form (its total size
// read from the header).
void WINAPI DescMakeCacheTrailer(const BYTE *block, BYTE *trailer);
// Checks a cache file's bytes: the trailer (format, block size, checksum) first, then the
// FileVersion's terminator and the block validator. TRUE when the block (the first
// *blockSize bytes of image) may be relocated and used; otherwise why (optional) names the
// first fault (its offset is in the file). blockSize may be NULL.
BOOL WINAPI DescCheckCacheImage(const BYTE *image, DWORD size, DWORD *blockSize, struct DESC_VALIDATE_RESULT *why);
// Deletes the cache file; failures are ignored.
void WINAPI DescDeleteCacheFile(const WCHAR *descPath);
// Number of cache files this process has written (for the host's report and tests).
DWORD WINAPI DescCacheFileWriteCount(void);

// Whether a cache file may be read or written, and why not. Every rule of the cache's
// versions and times is decided by DescCacheDecide alone.
typedef enum DESC_CACHE_REASON {
  DESC_CACHE_ALLOWED = 0,
  DESC_CACHE_NO_DRIVER_VERSION,   // the driver has no version to compare with
  DESC_CACHE_NO_FILE_VERSION,     // the description has no FileVersion
  DESC_CACHE_NOT_DRIVER_VERSION,  // the description's FileVersion is not the driver's
  DESC_CACHE_TIME_DIFFERS,        // read: the cache file's time is not the text's
  DESC_CACHE_STALE_FILE,          // read: the cache file's FileVersion is not the text's
  DESC_CACHE_HEADER_ONLY,         // write: the block holds nothing beyond its header
} DESC_CACHE_REASON;

#define DESC_CACHE_READ 1u
#define DESC_CACHE_WRITE 2u

// What is known when the question is asked; a rule whose facts are missing (NULL) is not
// applied, so a caller can ask early with what it has and again later with more.
typedef struct DESC_CACHE_FACTS {
  BOOL checkDriver;            // compare with the driver's version (FALSE: a compile
                               // without a context, which writes whatever it compiled)
  const WCHAR *driverVersion;  // the model's driver version; NULL or empty: none
  const WCHAR *textVersion;    // the description text's FileVersion (reads); NULL: unknown
  const BYTE *block;           // stored block: read from the cache file, or to be written
  const FILETIME *textTime;    // last-write times of the text and of the cache file
  const FILETIME *cacheTime;
} DESC_CACHE_FACTS;

// DESC_CACHE_ALLOWED when a cache file may be used (use DESC_CACHE_READ) or written
// (DESC_CACHE_WRITE) on these facts, else the first rule that forbids it. Versions are
// compared without regard to case; a write's FileVersion is the block's.
DESC_CACHE_REASON WINAPI DescCacheDecide(DWORD use, const DESC_CACHE_FACTS *facts);
// The reason in words, for messages ("FileVersion is not the driver's"); never NULL.
const char *WINAPI DescCacheReasonText(DESC_CACHE_REASON reason);

KV_END_DECLS
