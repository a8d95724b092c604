// The sample printer's description compiled into its block: no diagnostics, the stored
// form passes the block validator, the relocated block answers what the file says, and a
// compile for this driver writes the cache file because the versions agree.
#include <string>

#include "blob/desc_compile.h"
#include "blob/desc_runtime.h"
#include "blob/desc_cache.h"
#include "blob/desc_store.h"
#include "model/model.h"
#include "sample_fixture.h"

namespace {

// A UTF-16 text of the block; texts are stored unpadded, so read them unit by unit.
std::u16string BlockText(const void *text)
{
  std::u16string out;
  for (size_t i = 0; text && DescLd16(text, 2 * i) != 0; ++i) out += static_cast<char16_t>(DescLd16(text, 2 * i));
  return out;
}

TEST_F(SampleDescTest, CompilesWithoutDiagnostics)
{
  DESC_BLOB *blob = DescCompileEx(nullptr, kPath, FALSE, log_.Sink());
  ASSERT_NE(nullptr, blob) << log_.Text();
  EXPECT_TRUE(log_.All().empty()) << log_.Text();

  const DESC_HEADER *h = &blob->header;
  EXPECT_EQ(u"1.41", BlockText(h->fileVersion));
  EXPECT_EQ(u"kvmlr_us.dll", BlockText(h->uiResDllName));
  EXPECT_EQ(u"kvmlrule.dll", BlockText(h->excDepDllName));
  EXPECT_EQ(8u, h->deviceFontCount);
  EXPECT_EQ(4u, h->cartridgeFontCount);
  for (const DESC_COMMAND_BLOCK *g : h->groups) EXPECT_NE(nullptr, g);

  const BYTE *paper = DescLdPtr(blob, DescSlotOffset(8));
  ASSERT_NE(nullptr, paper);
  EXPECT_EQ(DESC_TYPE_PICK_PAGE, DESC_FIELD16(paper, DESC_ITEM_NODE, type));
  const struct {
    WORD item;
    DWORD value;
  } kDefaults[] = {{8, 3009}, {13, 4007}, {38, 600}, {39, 600}, {12, 1}, {61, 1}, {1273, 118}, {10012, 160}};
  for (const auto &d : kDefaults) EXPECT_EQ(d.value, DescGetBlobItemDefault(d.item, blob)) << "item " << d.item;

  size_t items = 0, blocks = 0;
  for (const BYTE *n = DescLdPtr(blob, offsetof(DESC_HEADER, items)); n; n = DESC_FIELDPTR(n, DESC_ITEM_NODE, next))
    ++items;
  for (const DESC_RULE_BLOCK *b = h->rules; b; b = b->next) ++blocks;
  EXPECT_EQ(58u, items);
  EXPECT_EQ(18u, blocks);
  GlobalFree(blob);
}

TEST_F(SampleDescTest, StoredFormPassesTheValidator)
{
  DESC_PARSE_STATE *s = DescParseFileEx(kPath, log_.Sink());
  ASSERT_NE(nullptr, s) << log_.Text();
  DWORD size = DescComputeSize(s);
  ASSERT_GT(size, static_cast<DWORD>(DESC_HEADER_SIZE));
  BYTE *block = static_cast<BYTE *>(GlobalAlloc(GPTR, size));
  ASSERT_NE(nullptr, block);
  s->header->totalSize = size;
  EXPECT_TRUE(DescStoreParseState(s, block, size));
  DescParseStateFree(s);
  DESC_VALIDATE_RESULT why = {};
  EXPECT_TRUE(DescValidateStored(block, size, &why)) << "at " << why.offset << ": " << why.reason;
  GlobalFree(block);
}

// The FileVersion equals the driver version, so a compile for this driver keeps the cache.
TEST_F(SampleDescTest, CompileForThisDriverWritesTheCacheFile)
{
  DESC_BLOB *blob = DescCompileEx(CtxGetTemplate(), kPath, TRUE, log_.Sink());
  ASSERT_NE(nullptr, blob) << log_.Text();
  GlobalFree(blob);
  WCHAR cache[DESC_CACHE_PATH_CHARS] = {};
  ASSERT_TRUE(DescMakeCachePath(cache, kPath));
  EXPECT_EQ("KVSAMPLE.BCS", Narrow(cache).substr(Narrow(cache).rfind('\\') + 1));
  EXPECT_TRUE(HostExists(HostPath(cache)));
  DWORD size = 0;
  BYTE *stored = DescReadCacheFile(kPath, &size);
  ASSERT_NE(nullptr, stored);
  EXPECT_GT(size, static_cast<DWORD>(DESC_HEADER_SIZE));
  GlobalFree(stored);
}

}  // namespace
