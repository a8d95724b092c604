// Fuzz target: the bytes of a .BCS cache file through the cache file's check (trailer,
// checksum, then the stored-block validator), and every block accepted through relocation,
// a full read (desc_walk.h) and the runtime lookups and rule judges.
//
// An input is first tried as a whole cache file. Mutations almost never keep the checksum
// right, so the block inside it (the input without its trailer, or the whole input when it
// has none) is then tried three times at the validator itself: as it is; with the total
// size at offset 32 set to the block's length, so that mutations get past the size check
// to the links behind it; and with a few link fields swapped for other links of the block
// (SwapLinks). Each of these is also sealed with a fresh trailer and checked as a cache
// file, which must agree with the validator, and with one bit of it flipped, which the
// checksum must refuse.
// Whatever is accepted must be safe: a block accepted that the reader finds a fault in,
// or that crashes relocation or a lookup, is a finding.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "blob/desc_cache.h"
#include "blob/desc_store.h"
#include "desc_walk.h"

namespace {

// How many tries the validator accepted, printed when the program ends.
size_t g_tries = 0, g_accepted = 0, g_files = 0;
void PrintCounts()
{
  printf("fuzz_bcs: the validator accepted %zu of %zu blocks; %zu inputs were accepted as whole cache files\n",
         g_accepted, g_tries, g_files);
}

[[noreturn]] void Fail(const char *what, const std::string &detail)
{
  fprintf(stderr, "fuzz_bcs: %s: %s\n", what, detail.c_str());
  abort();
}

// A link-swap variant: links of a stored block are offsets behind the header, plain or
// tagged (offset * 16 + 1). Byte mutations rarely keep a block valid; swapping the values
// of a few link-looking fields for other links of the same block makes links that land on
// real nodes of the wrong kind or at the wrong place, which the validator must tell apart.
std::vector<uint8_t> SwapLinks(const uint8_t *data, size_t size)
{
  std::vector<uint8_t> out(data, data + size);
  if (size <= DESC_HEADER_SIZE) return out;
  std::vector<size_t> at;
  std::vector<DWORD> values;
  for (size_t p = 36; p + 4 <= size; ++p) {
    DWORD v = DescLd32(data, p);
    bool plain = v >= DESC_HEADER_SIZE && v < size;
    bool tagged = (v & 1u) && (v >> 4) >= DESC_HEADER_SIZE && (v >> 4) < size;
    if (plain || tagged) {
      at.push_back(p);
      values.push_back(v);
    }
  }
  if (at.size() < 2) return out;
  uint64_t h = 1469598103934665603ull;  // FNV-1a of the input picks the swaps
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  int swaps = 1 + (int)(h % 3);
  for (int i = 0; i < swaps; ++i) {
    h = h * 6364136223846793005ull + 1442695040888963407ull;
    size_t where = at[(h >> 33) % at.size()];
    h = h * 6364136223846793005ull + 1442695040888963407ull;
    DescSt32(out.data(), where, values[(h >> 33) % values.size()]);
  }
  return out;
}

// Relocates and reads an accepted block (a copy of exactly size bytes on the heap: a read
// past the end is caught by AddressSanitizer).
void UseAccepted(const uint8_t *data, size_t size)
{
  BYTE *block = (BYTE *)malloc(size);
  memcpy(block, data, size);
  DESC_BLOB *blob = DescRelocate(block);
  if ((BYTE *)blob != block) Fail("relocation answered another block", "");
  std::string reason;
  if (!DescWalkRelocated(block, size, &reason)) Fail("accepted block unsafe to read after relocation", reason);
  DescExerciseRuntime(blob, "fuzz_bcs");
  free(block);
}

void CheckRefusal(const DESC_VALIDATE_RESULT &why)
{
  if (memchr(why.reason, 0, sizeof why.reason) == nullptr) Fail("refusal reason not terminated", "");
  if (why.reason[0] == 0) Fail("refusal without a reason", std::to_string(why.offset));
}

// The input as a whole cache file.
void TryFile(const uint8_t *data, size_t size)
{
  DESC_VALIDATE_RESULT why;
  memset(&why, 0x5A, sizeof why);
  DWORD blockSize = 0;
  BYTE *copy = (BYTE *)malloc(size == 0 ? 1 : size);
  if (size > 0) memcpy(copy, data, size);
  BOOL ok = DescCheckCacheImage(copy, (DWORD)size, &blockSize, &why);
  if (!ok) {
    CheckRefusal(why);
  } else {
    if (blockSize + DESC_CACHE_TRAILER_SIZE != size) Fail("accepted file of another length", std::to_string(size));
    ++g_files;
    UseAccepted(copy, blockSize);
  }
  free(copy);
}

// A block sealed as a cache file must get the validator's verdict (blockOk); with one bit
// flipped anywhere (picked by h), it must be refused.
void TrySealed(const BYTE *block, size_t size, BOOL blockOk, uint64_t h)
{
  if (size <= DESC_HEADER_SIZE || DescLd32(block, offsetof(DESC_HEADER, totalSize)) != size) return;
  std::vector<uint8_t> image(block, block + size);
  image.resize(size + DESC_CACHE_TRAILER_SIZE);
  DescMakeCacheTrailer(block, image.data() + size);
  DESC_VALIDATE_RESULT why;
  DWORD blockSize = 0;
  BOOL ok = DescCheckCacheImage(image.data(), (DWORD)image.size(), &blockSize, &why);
  if (ok != blockOk) Fail("sealed cache file and validator disagree", why.reason);
  size_t bit = (size_t)(h % (image.size() * 8));
  image[bit / 8] ^= (uint8_t)(1u << (bit % 8));
  if (DescCheckCacheImage(image.data(), (DWORD)image.size(), &blockSize, &why))
    Fail("cache file with a flipped bit accepted", std::to_string(bit));
}

void TryBlock(const uint8_t *data, size_t size, bool patchSize)
{
  // An exact-size copy on the heap: a read past the end is caught by AddressSanitizer.
  BYTE *block = (BYTE *)calloc(size == 0 ? 1 : size, 1);
  if (size > 0) memcpy(block, data, size);
  if (patchSize && size >= offsetof(DESC_HEADER, totalSize) + 4)
    DescSt32(block, offsetof(DESC_HEADER, totalSize), (DWORD)size);
  DESC_VALIDATE_RESULT why;
  memset(&why, 0x5A, sizeof why);
  BOOL ok = DescValidateStored(block, (DWORD)size, &why);
  if (g_tries++ == 0) atexit(PrintCounts);
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < size; i += 97) h = (h ^ block[i]) * 1099511628211ull;
  TrySealed(block, size, ok, h);
  if (!ok) {
    CheckRefusal(why);
    free(block);
    return;
  }
  if (DescValidateStored(block, (DWORD)size, nullptr) != ok) Fail("the verdict depends on the reason buffer", "");
  ++g_accepted;
  UseAccepted(block, size);
  free(block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  TryFile(data, size);
  // The block: the input without its trailer when it ends in one.
  if (size > DESC_CACHE_TRAILER_SIZE && DescLd32(data, size - DESC_CACHE_TRAILER_SIZE) == DESC_CACHE_MAGIC)
    size -= DESC_CACHE_TRAILER_SIZE;
  TryBlock(data, size, false);
  TryBlock(data, size, true);
  std::vector<uint8_t> swapped = SwapLinks(data, size);
  TryBlock(swapped.data(), swapped.size(), true);
  return 0;
}
