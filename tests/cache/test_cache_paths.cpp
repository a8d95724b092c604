// The cache file's path and the process cache's keys and list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "blob/desc_blob.h"
#include "blob/desc_cache.h"
#include "machine_fixture.h"

namespace {

struct PathCase {
  const char *name;
  std::u16string desc;
  std::u16string expected;  // empty: no path
};

std::u16string Repeat(char16_t c, size_t n) { return std::u16string(n, c); }

TEST(DescCachePath, Table)
{
  const std::vector<PathCase> cases = {
      {"extension replaced", u"C:\\d\\KVSAMPLE.KVD", u"C:\\d\\KVSAMPLE.BCS"},
      {"last dot of the name", u"C:\\d\\a.b.KVD", u"C:\\d\\a.b.BCS"},
      {"no dot appends", u"C:\\d\\KVSAMPLE", u"C:\\d\\KVSAMPLE.BCS"},
      {"dot only in a folder stays there", u"C:\\drv.d\\KVSAMPLE", u"C:\\drv.d\\KVSAMPLE.BCS"},
      {"forward slash separates too", u"C:/drv.d/KVSAMPLE", u"C:/drv.d/KVSAMPLE.BCS"},
      {"trailing dot", u"C:\\d\\name.", u"C:\\d\\name.BCS"},
      {"long extension", u"C:\\d\\name.description", u"C:\\d\\name.BCS"},
      {"bare name", u"x", u"x.BCS"},
      {"empty path", u"", u""},
      {"a folder", u"C:\\d\\", u""},
      // 259 characters with a three-letter extension: the result has the same length.
      {"longest with extension", u"C:\\" + Repeat(u'a', 252) + u".KVD", u"C:\\" + Repeat(u'a', 252) + u".BCS"},
      {"260 characters", u"C:\\" + Repeat(u'a', 253) + u".KVD", u""},
      // Without a dot four characters are added: 255 + 4 = 259 fits, 256 + 4 does not.
      {"longest without extension", u"C:\\" + Repeat(u'b', 252), u"C:\\" + Repeat(u'b', 252) + u".BCS"},
      {"too long without extension", u"C:\\" + Repeat(u'b', 253), u""},
      {"short extension grows past the end", u"C:\\" + Repeat(u'c', 254) + u".K", u""},
      {"far too long", u"C:\\" + Repeat(u'd', 5000) + u".KVD", u""},
  };
  for (const PathCase &c : cases) {
    SCOPED_TRACE(c.name);
    WCHAR out[DESC_CACHE_PATH_CHARS + 8];
    for (WCHAR &w : out) w = u'#';
    BOOL ok = DescMakeCachePath(out, c.desc.c_str());
    EXPECT_EQ(ok != FALSE, !c.expected.empty());
    EXPECT_EQ(std::u16string(out), c.expected);
    // Never a character written past the buffer's 260.
    for (int i = DESC_CACHE_PATH_CHARS; i < DESC_CACHE_PATH_CHARS + 8; ++i) EXPECT_EQ(out[i], u'#');
  }
  WCHAR out[DESC_CACHE_PATH_CHARS];
  EXPECT_FALSE(DescMakeCachePath(out, nullptr));
  EXPECT_FALSE(DescMakeCachePath(nullptr, u"C:\\d\\a.KVD"));
}

TEST(DescCacheKey, EightCharactersTwelveFromTheEnd)
{
  WCHAR key[DESC_CACHE_KEY_CHARS];
  ASSERT_TRUE(DescCacheKey(u"C:\\drivers\\KVSAMPLE.KVD", key));
  EXPECT_EQ(std::u16string(key, 8), u"KVSAMPLE");
  ASSERT_TRUE(DescCacheKey(u"KVSAMPLE.KVD", key));  // exactly 12
  EXPECT_EQ(std::u16string(key, 8), u"KVSAMPLE");
  EXPECT_FALSE(DescCacheKey(u"KVSAMPL.KVD", key));  // 11
  EXPECT_FALSE(DescCacheKey(nullptr, key));
}

// A GlobalAlloc block standing for a compiled description (header only).
DESC_BLOB *NewBlob(DWORD marker)
{
  BYTE *b = (BYTE *)GlobalAlloc(GPTR, DESC_HEADER_SIZE);
  DescSt32(b, offsetof(DESC_HEADER, totalSize), DESC_HEADER_SIZE);
  DescSt32(b, offsetof(DESC_HEADER, deviceFontCount), marker);
  return (DESC_BLOB *)b;
}

class ProcessCacheTest : public ::testing::Test {
 protected:
  void TearDown() override { DescFreeCache(); }
};

TEST_F(ProcessCacheTest, FindsByKeyAndWholePath)
{
  EXPECT_EQ(DescCacheFind(u"C:\\a\\KVSAMPLE.KVD"), nullptr) << "empty cache";
  DESC_BLOB *a = NewBlob(1), *b = NewBlob(2);
  ASSERT_TRUE(DescCacheAdd(a, u"C:\\a\\KVSAMPLE.KVD"));
  EXPECT_EQ(DescCacheFind(u"C:\\a\\KVSAMPLE.KVD"), a);
  EXPECT_EQ(DescCacheFind(u"c:\\A\\kvsample.kvd"), nullptr) << "the key compares exactly";
  EXPECT_EQ(DescCacheFind(u"c:\\A\\KVSAMPLE.KVD"), a) << "the folders compare without case";
  // Same last 12 characters, another folder: another description, not a hit.
  EXPECT_EQ(DescCacheFind(u"C:\\b\\KVSAMPLE.KVD"), nullptr);
  ASSERT_TRUE(DescCacheAdd(b, u"C:\\b\\KVSAMPLE.KVD"));
  EXPECT_EQ(DescCacheFind(u"C:\\b\\KVSAMPLE.KVD"), b);
  EXPECT_EQ(DescCacheFind(u"C:\\a\\KVSAMPLE.KVD"), a);
  EXPECT_EQ(DescCacheFind(nullptr), nullptr);
  EXPECT_EQ(DescCacheFind(u"SAMPLE.KVD"), nullptr);
}

TEST_F(ProcessCacheTest, ListAppendsAtTheTailAndFreeEmptiesIt)
{
  DESC_BLOB *blobs[3] = {NewBlob(1), NewBlob(2), NewBlob(3)};
  ASSERT_TRUE(DescCacheAdd(blobs[0], u"C:\\x\\KVFIRST1.KVD"));
  ASSERT_TRUE(DescCacheAdd(blobs[1], u"C:\\x\\KVSECND2.KVD"));
  ASSERT_TRUE(DescCacheAdd(blobs[2], u"C:\\x\\KVTHIRD3.KVD"));
  int i = 0;
  for (DESC_CACHE_NODE *n = g_descProcessCache; n != nullptr; n = n->next, ++i) {
    ASSERT_LT(i, 3);
    EXPECT_EQ(n->blob, blobs[i]);
    EXPECT_TRUE(n->flags & DESC_CACHE_OWNS_BLOB);
  }
  EXPECT_EQ(i, 3);
  DescFreeCache();  // frees the three blobs (a double free would stop the sanitizer run)
  EXPECT_EQ(g_descProcessCache, nullptr);
  EXPECT_EQ(DescCacheFind(u"C:\\x\\KVFIRST1.KVD"), nullptr);
  DescFreeCache();  // an empty cache is fine too
}

// A path too short for a key gets a node without one, found by its whole path only.
TEST_F(ProcessCacheTest, ShortPathIsFoundByItsWholePathAndOwned)
{
  DESC_BLOB *blob = NewBlob(7);
  ASSERT_TRUE(DescCacheAdd(blob, u"A.KVD"));
  EXPECT_EQ(DescCacheFind(u"A.KVD"), blob);
  EXPECT_EQ(DescCacheFind(u"a.kvd"), blob) << "paths compare without case";
  EXPECT_EQ(DescCacheFind(u"B.KVD"), nullptr);
  EXPECT_EQ(DescCacheFind(u"A.KV"), nullptr);
  ASSERT_NE(g_descProcessCache, nullptr);
  EXPECT_EQ(g_descProcessCache->blob, blob);
  EXPECT_TRUE(g_descProcessCache->flags & DESC_CACHE_UNKEYED);
  // Keyed lookups pass the short node by.
  EXPECT_EQ(DescCacheFind(u"C:\\x\\KVSAMPLE.KVD"), nullptr);
}

TEST_F(ProcessCacheTest, MissingBlobOrPathAddsNothing)
{
  DESC_BLOB *blob = NewBlob(1);
  EXPECT_FALSE(DescCacheAdd(nullptr, u"C:\\x\\KVSAMPLE.KVD"));
  EXPECT_FALSE(DescCacheAdd(blob, nullptr));
  EXPECT_EQ(g_descProcessCache, nullptr);
  GlobalFree(blob);
}

TEST_F(ProcessCacheTest, NodeCopiesThePath)
{
  std::u16string path = u"C:\\x\\KVSAMPLE.KVD";
  DESC_BLOB *blob = NewBlob(1);
  ASSERT_TRUE(DescCacheAdd(blob, path.c_str()));
  path[3] = u'y';  // the caller's buffer changes; the node keeps its own copy
  EXPECT_EQ(DescCacheFind(u"C:\\x\\KVSAMPLE.KVD"), blob);
  EXPECT_EQ(DescCacheFind(path.c_str()), nullptr);
}

}  // namespace
