// Taking over a stored DEVMODE of an older driver on a context of the sample description:
// each version step runs the description's conversion transactions, with no runner of a
// test put in their place.
#include <vector>

#include "devmode/dm_version.h"
#include "model/model.h"
#include "sample_context.h"

namespace {

class SampleConvertTest : public SampleContextTest {
 protected:
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
