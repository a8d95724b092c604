// The cache file's CRC-32: the standard check value, agreement with a bit-at-a-time
// computation at every length and alignment around the eight-byte table steps and the
// 16- and 64-byte folding steps (used where the processor multiplies without carries),
// and chaining.
#include <gtest/gtest.h>

#include <vector>

#include "blob/desc_cache.h"

namespace {

DWORD BitwiseCrc(const BYTE *data, size_t size, DWORD crc)
{
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc & 1u) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

TEST(CacheChecksum, StandardCheckValue)
{
  const BYTE text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(0xCBF43926u, DescCacheChecksum(text, sizeof text, 0));
  EXPECT_EQ(0u, DescCacheChecksum(text, 0, 0));
}

TEST(CacheChecksum, MatchesBitwiseAtEveryLengthAndAlignment)
{
  std::vector<BYTE> bytes(700);
  DWORD seed = 12345;
  for (BYTE &b : bytes) {
    seed = seed * 1103515245u + 12345u;
    b = (BYTE)(seed >> 16);
  }
  for (size_t offset = 0; offset < 16; ++offset)
    for (size_t len = 0; offset + len <= bytes.size(); ++len)
      ASSERT_EQ(BitwiseCrc(&bytes[offset], len, 0), DescCacheChecksum(&bytes[offset], (DWORD)len, 0))
          << "offset " << offset << " length " << len;
}

TEST(CacheChecksum, ChainsLikeOneRun)
{
  std::vector<BYTE> bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = (BYTE)(i * 7 + 3);
  DWORD whole = DescCacheChecksum(bytes.data(), (DWORD)bytes.size(), 0);
  for (size_t cut : {size_t(0), size_t(1), size_t(7), size_t(8), size_t(13), size_t(999), size_t(1000)})
    EXPECT_EQ(whole, DescCacheChecksum(&bytes[cut], (DWORD)(bytes.size() - cut),
                                       DescCacheChecksum(bytes.data(), (DWORD)cut, 0)))
        << "cut at " << cut;
}

}  // namespace
