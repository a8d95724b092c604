// The rules of the cache file: when a .BCS may be read or written, and the reason in words
// when it may not.
#include <string.h>

#include <string>
#include <vector>

#include "blob/desc_cache.h"
#include "blob_support.h"

namespace {

// A stored block of size bytes whose header carries version.
std::vector<BYTE> Block(const char16_t *version, DWORD size)
{
  std::vector<BYTE> b(size, 0);
  for (DWORD i = 0; version[i] != 0 && i < 15; ++i) DescSt16(b.data(), 2u * i, version[i]);
  DescSt32(b.data(), offsetof(DESC_HEADER, totalSize), size);
  return b;
}

const WCHAR *W(const char16_t *s) { return reinterpret_cast<const WCHAR *>(s); }

TEST(BlobCacheRules, DecidesReadsAndWrites)
{
  const DWORD big = DESC_HEADER_SIZE + 16;
  FILETIME t1 = {100, 1}, t2 = {200, 1};
  struct Case {
    const char *what;
    DWORD use;
    BOOL checkDriver;
    const char16_t *driver;  // nullptr: none
    const char16_t *text;    // nullptr: not known
    const char16_t *block;   // nullptr: no block
    DWORD size;
    const FILETIME *textTime, *cacheTime;
    DESC_CACHE_REASON expected;
  } cases[] = {
      {"write, same version", DESC_CACHE_WRITE, TRUE, u"1.41", nullptr, u"1.41", big, nullptr, nullptr,
       DESC_CACHE_ALLOWED},
      {"write, case differs", DESC_CACHE_WRITE, TRUE, u"V1.41A", nullptr, u"v1.41a", big, nullptr, nullptr,
       DESC_CACHE_ALLOWED},
      {"write, other version", DESC_CACHE_WRITE, TRUE, u"1.41", nullptr, u"1.40", big, nullptr, nullptr,
       DESC_CACHE_NOT_DRIVER_VERSION},
      {"write, no FileVersion", DESC_CACHE_WRITE, TRUE, u"1.41", nullptr, u"", big, nullptr, nullptr,
       DESC_CACHE_NO_FILE_VERSION},
      {"write, driver without version", DESC_CACHE_WRITE, TRUE, nullptr, nullptr, u"1.41", big, nullptr, nullptr,
       DESC_CACHE_NO_DRIVER_VERSION},
      {"write without context, any version", DESC_CACHE_WRITE, FALSE, nullptr, nullptr, u"0.1", big, nullptr, nullptr,
       DESC_CACHE_ALLOWED},
      {"write, header only", DESC_CACHE_WRITE, TRUE, u"1.41", nullptr, u"1.41", DESC_HEADER_SIZE, nullptr, nullptr,
       DESC_CACHE_HEADER_ONLY},
      {"read, all agree", DESC_CACHE_READ, TRUE, u"1.41", u"1.41", u"1.41", big, &t1, &t1, DESC_CACHE_ALLOWED},
      {"read, times differ", DESC_CACHE_READ, FALSE, nullptr, nullptr, nullptr, 0, &t1, &t2, DESC_CACHE_TIME_DIFFERS},
      {"read, times alone agree", DESC_CACHE_READ, FALSE, nullptr, nullptr, nullptr, 0, &t2, &t2, DESC_CACHE_ALLOWED},
      {"read, text is another driver's", DESC_CACHE_READ, TRUE, u"1.41", u"1.40", u"1.40", big, nullptr, nullptr,
       DESC_CACHE_NOT_DRIVER_VERSION},
      {"read, text without FileVersion", DESC_CACHE_READ, TRUE, u"1.41", u"", u"", big, nullptr, nullptr,
       DESC_CACHE_NO_FILE_VERSION},
      {"read, file of an older text", DESC_CACHE_READ, TRUE, u"1.41", u"1.41", u"1.40", big, nullptr, nullptr,
       DESC_CACHE_STALE_FILE},
      {"read, file without FileVersion", DESC_CACHE_READ, TRUE, u"1.41", u"1.41", u"", big, nullptr, nullptr,
       DESC_CACHE_STALE_FILE},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<BYTE> block;
    if (c.block != nullptr) block = Block(c.block, c.size);
    DESC_CACHE_FACTS facts = {};
    facts.checkDriver = c.checkDriver;
    facts.driverVersion = c.driver != nullptr ? W(c.driver) : nullptr;
    facts.textVersion = c.text != nullptr ? W(c.text) : nullptr;
    facts.block = c.block != nullptr ? block.data() : nullptr;
    facts.textTime = c.textTime;
    facts.cacheTime = c.cacheTime;
    EXPECT_EQ(DescCacheDecide(c.use, &facts), c.expected);
  }
}

// Every reason has its own words, and the host's report depends on two of them.
TEST(BlobCacheRules, ReasonsHaveDistinctWords)
{
  std::vector<std::string> seen;
  for (int r = DESC_CACHE_ALLOWED; r <= DESC_CACHE_HEADER_ONLY; ++r) {
    std::string text = DescCacheReasonText(static_cast<DESC_CACHE_REASON>(r));
    EXPECT_FALSE(text.empty()) << r;
    for (const std::string &other : seen) EXPECT_NE(text, other) << r;
    seen.push_back(text);
  }
  EXPECT_STREQ(DescCacheReasonText(DESC_CACHE_NOT_DRIVER_VERSION), "FileVersion is not the driver's");
  EXPECT_STREQ(DescCacheReasonText(DESC_CACHE_NO_FILE_VERSION), "the description has no FileVersion");
}

}  // namespace
