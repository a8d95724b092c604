// Taking over a stored DEVMODE of an older driver on a context of the sample description:
// each version step runs the description's conversion transactions, with no runner of a
// test put in their place.
#include <fstream>
#include <sstream>
#include <vector>

#include "context_fixture.h"
#include "blob/desc_blob.h"
#include "model/model.h"

namespace {

class SampleConvertTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    std::ifstream in(KV_SAMPLE_DIR "/KVSAMPLE.KVD", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_FALSE(text.str().empty());
    WriteHostFile(HostPath(u"C:\\sample\\KVSAMPLE.KVD"), text.str());
    blob_ = DescCompileEx(nullptr, u"C:\\sample\\KVSAMPLE.KVD", FALSE, nullptr);
    ASSERT_NE(nullptr, blob_);
    ctx_ = Create();
    ASSERT_NE(nullptr, ctx_);
    own_ = ctx_->desc;
    ctx_->desc = blob_;  // lent for the test
  }
  void TearDown() override
  {
    if (ctx_) {
      ctx_->desc = own_;
      CtxRelease(ctx_);
    }
    GlobalFree(blob_);
    ContextTest::TearDown();
  }
  // A stored DEVMODE image with the given private version.
  static std::vector<BYTE> Stored(DWORD version)
  {
    std::vector<BYTE> dm(220 + 1016, 0);
    WORD size = 220, extra = 1016;
    memcpy(dm.data() + offsetof(DEVMODEW, dmSize), &size, 2);
    memcpy(dm.data() + offsetof(DEVMODEW, dmDriverExtra), &extra, 2);
    memcpy(dm.data() + 220 + KV_DM_VERSION_IN_PRIVATE, &version, 4);
    return dm;
  }

  DRIVER_CONTEXT *ctx_ = nullptr;
  DESC_BLOB *own_ = nullptr;
  DESC_BLOB *blob_ = nullptr;
};

// The sample's step to 314 puts toner save (item 200) back to its default; earlier steps
// leave it alone.
TEST_F(SampleConvertTest, UpgradeRunsTheConversionTransactions)
{
  DmSetConvertStepRunner(nullptr);
  LONG def = ItemGetRaw(ctx_, 200, nullptr);
  ItemSetRaw(ctx_, 200, def == 0 ? 1 : 0);
  EXPECT_EQ(DmRunConvertSteps(311, 313, ctx_), 1);
  EXPECT_NE(ItemGetRaw(ctx_, 200, nullptr), def) << "no step to 314 yet";
  std::vector<BYTE> old = Stored(313);
  ASSERT_EQ(DmCheckVersion(old.data()), 1);
  EXPECT_EQ(DmUpgradeIfOlder(old.data(), ctx_), 1);
  EXPECT_EQ(ItemGetRaw(ctx_, 922, nullptr), 314);
  EXPECT_EQ(ItemGetRaw(ctx_, 200, nullptr), def);
}

}  // namespace
