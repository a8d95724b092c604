// The .BCS cache file beside a description text: its path, reading a usable one, writing
// one atomically, deleting one.
//
// A cache file holds the compiled block in stored form, byte for byte, and a trailer with
// the file format's version and a CRC-32 of the block (desc_cache.h). It is tied to the
// text it was compiled from by its last-write time, which the writer sets to the text's:
// a cache file is used only when its time equals the text's, so a text edited after the
// compile, a cache file copied in from another description and a text put back with an
// older date all lead to a fresh compile. The checksum is verified before anything in the
// block is read, so a file damaged on disk is never used even where the damage would leave
// a block the validator accepts (a flipped bit in a default or a command text); whatever
// passes it is still handed to the block validator before anyone relocates it.
#include <string.h>

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

#include "blob/desc_blob.h"
#include "blob/desc_cache.h"
#include "blob/desc_store.h"
#include "files/file_replace.h"

namespace {

std::atomic<DWORD> g_writes{0};

// The CRC-32 tables of the reflected IEEE polynomial, built at compile time: entry[0] is the
// classic byte table, entry[k] advances a byte's contribution by k more zero bytes, so that
// eight bytes are folded per step (slicing by 8).
struct CrcTable {
  DWORD entry[8][256];
  constexpr CrcTable() : entry()
  {
    for (DWORD i = 0; i < 256; ++i) {
      DWORD c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entry[0][i] = c;
    }
    for (DWORD i = 0; i < 256; ++i)
      for (int t = 1; t < 8; ++t) entry[t][i] = entry[0][entry[t - 1][i] & 0xFFu] ^ (entry[t - 1][i] >> 8);
  }
};
constexpr CrcTable kCrc;

BOOL Refuse(DESC_VALIDATE_RESULT *why, DWORD offset, const char *reason)
{
  if (why != NULL) {
    why->offset = offset;
    lstrcpynA(why->reason, reason, sizeof why->reason);
  }
  return FALSE;
}

// Last-write time of a file opened for reading with read sharing; FALSE when the file
// cannot be opened or its time read.
BOOL ReadWriteTime(const WCHAR *path, DWORD share, FILETIME *out)
{
  HANDLE h = CreateFileW(path, GENERIC_READ, share, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return FALSE;
  BOOL ok = GetFileTime(h, NULL, NULL, out);
  CloseHandle(h);
  return ok;
}

// Reads exactly size bytes from h into buf.
BOOL ReadAll(HANDLE h, BYTE *buf, DWORD size)
{
  DWORD done = 0;
  while (done < size) {
    DWORD got = 0;
    if (!ReadFile(h, buf + done, size - done, &got, NULL) || got == 0) return FALSE;
    done += got;
  }
  return TRUE;
}

}  // namespace

BOOL WINAPI DescMakeCachePath(WCHAR *out, const WCHAR *descPath)
{
  if (out == NULL) return FALSE;
  out[0] = 0;
  if (descPath == NULL || descPath[0] == 0) return FALSE;
  // Only a dot of the file name itself starts the extension; a dot in a folder name would
  // put the cache file beside that folder, shared by every description in it.
  int len = 0, cut = -1;
  for (; descPath[len] != 0; ++len) {
    if (len >= DESC_CACHE_PATH_CHARS) return FALSE;
    WCHAR c = descPath[len];
    if (c == u'.')
      cut = len + 1;
    else if (c == u'\\' || c == u'/')
      cut = -1;
  }
  WCHAR last = descPath[len - 1];
  if (last == u'\\' || last == u'/') return FALSE;  // a folder, not a file
  int at = cut >= 0 ? cut : len + 1;
  if (at + 3 + 1 > DESC_CACHE_PATH_CHARS) return FALSE;
  for (int i = 0; i < (cut >= 0 ? cut : len); ++i) out[i] = descPath[i];
  if (cut < 0) out[len] = u'.';
  out[at] = u'B';
  out[at + 1] = u'C';
  out[at + 2] = u'S';
  out[at + 3] = 0;
  return TRUE;
}

namespace {

// Folds 8 bytes per step through the eight tables; crc is the running (inverted) state.
DWORD CrcSliced(const BYTE *data, DWORD size, DWORD crc)
{
  DWORD i = 0;
  for (; i + 8 <= size; i += 8) {
    const BYTE *p = data + i;
    DWORD lo = crc ^ ((DWORD)p[0] | (DWORD)p[1] << 8 | (DWORD)p[2] << 16 | (DWORD)p[3] << 24);
    DWORD hi = (DWORD)p[4] | (DWORD)p[5] << 8 | (DWORD)p[6] << 16 | (DWORD)p[7] << 24;
    crc = kCrc.entry[7][lo & 0xFFu] ^ kCrc.entry[6][(lo >> 8) & 0xFFu] ^ kCrc.entry[5][(lo >> 16) & 0xFFu] ^
          kCrc.entry[4][lo >> 24] ^ kCrc.entry[3][hi & 0xFFu] ^ kCrc.entry[2][(hi >> 8) & 0xFFu] ^
          kCrc.entry[1][(hi >> 16) & 0xFFu] ^ kCrc.entry[0][hi >> 24];
  }
  for (; i < size; ++i) crc = kCrc.entry[0][(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
  return crc;
}

#if defined(__i386__) || defined(__x86_64__)
// Carry-less multiplication folding of the reflected polynomial: four 128-bit lanes are
// folded 64 bytes at a time (x^(512+-64) mod P), then into one lane (x^(128+-64) mod P),
// then to 64 and 32 bits and reduced with Barrett's method. size is a multiple of 16, at
// least 64; crc is the running (inverted) state.
__attribute__((target("pclmul,sse2"))) DWORD CrcFolded(const BYTE *p, DWORD size, DWORD crc)
{
  const __m128i fold4 = _mm_set_epi64x(0x1C6E41596LL, 0x154442BD4LL);
  const __m128i fold1 = _mm_set_epi64x(0x0CCAA009ELL, 0x1751997D0LL);
  const __m128i to32 = _mm_set_epi64x(0, 0x163CD6124LL);
  const __m128i barrett = _mm_set_epi64x(0x1F7011641LL, 0x1DB710641LL);
  const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
  const __m128i *v = reinterpret_cast<const __m128i *>(p);
  __m128i a = _mm_xor_si128(_mm_loadu_si128(v), _mm_cvtsi32_si128((int)crc));
  __m128i b = _mm_loadu_si128(v + 1), c = _mm_loadu_si128(v + 2), d = _mm_loadu_si128(v + 3);
  v += 4;
  for (size -= 64; size >= 64; size -= 64, v += 4) {
    a = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(a, fold4, 0x00), _mm_clmulepi64_si128(a, fold4, 0x11)),
                      _mm_loadu_si128(v));
    b = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(b, fold4, 0x00), _mm_clmulepi64_si128(b, fold4, 0x11)),
                      _mm_loadu_si128(v + 1));
    c = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(c, fold4, 0x00), _mm_clmulepi64_si128(c, fold4, 0x11)),
                      _mm_loadu_si128(v + 2));
    d = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(d, fold4, 0x00), _mm_clmulepi64_si128(d, fold4, 0x11)),
                      _mm_loadu_si128(v + 3));
  }
  const __m128i rest[3] = {b, c, d};
  for (const __m128i &next : rest)
    a = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(a, fold1, 0x00), _mm_clmulepi64_si128(a, fold1, 0x11)), next);
  for (; size >= 16; size -= 16, ++v)
    a = _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(a, fold1, 0x00), _mm_clmulepi64_si128(a, fold1, 0x11)),
                      _mm_loadu_si128(v));
  // 128 -> 64 bits, then 64 -> 32 bits.
  a = _mm_xor_si128(_mm_srli_si128(a, 8), _mm_clmulepi64_si128(a, fold1, 0x10));
  a = _mm_xor_si128(_mm_srli_si128(a, 4), _mm_clmulepi64_si128(_mm_and_si128(a, low32), to32, 0x00));
  // Barrett reduction.
  __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(a, low32), barrett, 0x10), low32);
  a = _mm_xor_si128(a, _mm_clmulepi64_si128(t, barrett, 0x00));
  return (DWORD)_mm_cvtsi128_si32(_mm_srli_si128(a, 4));
}

bool HasCarrylessMultiply()
{
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return has;
}
#endif

}  // namespace

DWORD WINAPI DescCacheChecksum(const BYTE *data, DWORD size, DWORD crc)
{
  crc = ~crc;
#if defined(__i386__) || defined(__x86_64__)
  if (size >= 64 && HasCarrylessMultiply()) {
    DWORD bulk = size & ~15u;
    crc = CrcFolded(data, bulk, crc);
    data += bulk;
    size -= bulk;
  }
#endif
  return ~CrcSliced(data, size, crc);
}

void WINAPI DescMakeCacheTrailer(const BYTE *block, BYTE *trailer)
{
  DWORD size = DescLd32(block, offsetof(DESC_HEADER, totalSize));
  DescSt32(trailer, 0, DESC_CACHE_MAGIC);
  DescSt32(trailer, 4, DESC_CACHE_FORMAT);
  DescSt32(trailer, 8, size);
  DescSt32(trailer, 12, DescCacheChecksum(trailer, 12, DescCacheChecksum(block, size, 0)));
}

BOOL WINAPI DescCheckCacheImage(const BYTE *image, DWORD size, DWORD *blockSize, DESC_VALIDATE_RESULT *why)
{
  if (blockSize != NULL) *blockSize = 0;
  if (why != NULL) memset(why, 0, sizeof *why);
  if (size <= DESC_HEADER_SIZE + DESC_CACHE_TRAILER_SIZE)
    return Refuse(why, 0, "file too short for a block and its trailer");
  if (image == NULL) return Refuse(why, 0, "no file");
  DWORD bytes = size - DESC_CACHE_TRAILER_SIZE;
  const BYTE *trailer = image + bytes;
  // A bare block (the earlier format) ends in its own bytes, never in the magic; a trailer
  // of another version or a size that disagrees is refused before the checksum is computed.
  if (DescLd32(trailer, 0) != DESC_CACHE_MAGIC) return Refuse(why, bytes, "no cache file trailer (an older format)");
  if (DescLd32(trailer, 4) != DESC_CACHE_FORMAT) return Refuse(why, bytes + 4, "cache file of another format version");
  if (DescLd32(trailer, 8) != bytes || DescLd32(image, offsetof(DESC_HEADER, totalSize)) != bytes)
    return Refuse(why, bytes + 8, "block size differs from the file's length");
  if (DescCacheChecksum(trailer, 12, DescCacheChecksum(image, bytes, 0)) != DescLd32(trailer, 12))
    return Refuse(why, bytes + 12, "checksum does not match (the file is damaged)");
  // The FileVersion is compared as a text: it must end inside its field.
  BOOL terminated = FALSE;
  for (DWORD i = 0; i < 16 && !terminated; ++i) terminated = DescLd16(image, 2u * i) == 0;
  if (!terminated) return Refuse(why, 0, "FileVersion not terminated");
  if (!DescValidateStored(image, bytes, why)) return FALSE;
  if (blockSize != NULL) *blockSize = bytes;
  return TRUE;
}

BYTE *WINAPI DescReadCacheFile(const WCHAR *descPath, DWORD *size)
{
  if (size != NULL) *size = 0;
  WCHAR cachePath[DESC_CACHE_PATH_CHARS];
  if (!DescMakeCachePath(cachePath, descPath)) return NULL;

  FILETIME textTime, cacheTime;
  if (!ReadWriteTime(descPath, FILE_SHARE_READ, &textTime)) return NULL;
  // Delete sharing lets a writer of another thread replace the file while it is read
  // here; this handle keeps reading the file it opened.
  HANDLE h = CreateFileW(cachePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return NULL;
  BYTE *block = NULL;
  LARGE_INTEGER fileSize;
  DWORD bytes = 0;
  DESC_CACHE_FACTS facts = {};
  facts.textTime = &textTime;
  facts.cacheTime = &cacheTime;
  if (GetFileTime(h, NULL, NULL, &cacheTime) && DescCacheDecide(DESC_CACHE_READ, &facts) == DESC_CACHE_ALLOWED &&
      GetFileSizeEx(h, &fileSize) && fileSize.QuadPart > DESC_HEADER_SIZE + DESC_CACHE_TRAILER_SIZE &&
      fileSize.QuadPart <= (LONGLONG)DESC_CACHE_FILE_MAX) {
    bytes = (DWORD)fileSize.QuadPart;
    block = (BYTE *)GlobalAlloc(GPTR, bytes);
    if (block != NULL && !ReadAll(h, block, bytes)) {
      GlobalFree(block);
      block = NULL;
    }
  }
  CloseHandle(h);
  if (block == NULL) return NULL;

  // The trailer and its checksum first, then the block's own checks. The block keeps the
  // trailer's bytes behind it; nothing reads them again.
  DWORD blockSize = 0;
  DESC_VALIDATE_RESULT why;
  if (!DescCheckCacheImage(block, bytes, &blockSize, &why)) {
    GlobalFree(block);
    return NULL;
  }
  if (size != NULL) *size = blockSize;
  return block;
}

BOOL WINAPI DescReadTextWriteTime(const WCHAR *descPath, FILETIME *time)
{
  if (descPath == NULL || time == NULL) return FALSE;
  return ReadWriteTime(descPath, FILE_SHARE_READ | FILE_SHARE_WRITE, time);
}

BOOL WINAPI DescWriteCacheFile(const WCHAR *descPath, const BYTE *stored)
{
  FILETIME textTime;
  if (stored == NULL || !DescReadTextWriteTime(descPath, &textTime)) return FALSE;
  return DescWriteCacheFileStamped(descPath, stored, &textTime);
}

BOOL WINAPI DescWriteCacheFileStamped(const WCHAR *descPath, const BYTE *stored, const FILETIME *textTime)
{
  if (stored == NULL || textTime == NULL) return FALSE;
  DWORD bytes = DescLd32(stored, offsetof(DESC_HEADER, totalSize));
  // A block of the header alone would never be read back.
  if (bytes <= DESC_HEADER_SIZE || bytes > DESC_CACHE_FILE_MAX) return FALSE;
  WCHAR cachePath[DESC_CACHE_PATH_CHARS];
  if (!DescMakeCachePath(cachePath, descPath)) return FALSE;

  BYTE trailer[DESC_CACHE_TRAILER_SIZE];
  DescMakeCacheTrailer(stored, trailer);
  const FILE_PIECE pieces[] = {{stored, bytes}, {trailer, DESC_CACHE_TRAILER_SIZE}};
  if (!FileReplaceWhole(cachePath, pieces, 2, textTime)) return FALSE;
  ++g_writes;
  return TRUE;
}

void WINAPI DescDeleteCacheFile(const WCHAR *descPath)
{
  WCHAR cachePath[DESC_CACHE_PATH_CHARS];
  if (DescMakeCachePath(cachePath, descPath)) DeleteFileW(cachePath);
}

DWORD WINAPI DescCacheFileWriteCount(void) { return g_writes.load(); }
