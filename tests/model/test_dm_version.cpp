// Version comparison of stored DEVMODEs and their stepwise upgrade.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "context_fixture.h"
#include "devmode/dm_version.h"
#include "model/model.h"

namespace {

TEST(DmVersion, CompareVersions)
{
  struct Case {
    DWORD stored, driver;
    int expected;
  } cases[] = {{314, 314, 0}, {310, 314, 1}, {320, 314, 0}, {214, 314, 2},        {414, 314, 0},
               {200, 250, 2}, {300, 301, 1}, {0, 314, 2},   {0xFFFFFFFFu, 314, 0}};
  for (const Case &c : cases)
    EXPECT_EQ(DmCompareVersions(c.stored, c.driver), c.expected) << c.stored << " vs " << c.driver;
}

// A DEVMODE image: public part of publicSize bytes, private part of extra bytes with the
// version at private + 137.
std::vector<BYTE> Image(WORD publicSize, WORD extra, DWORD version)
{
  std::vector<BYTE> dm(publicSize + extra, 0);
  memcpy(dm.data() + 68, &publicSize, 2);
  memcpy(dm.data() + 70, &extra, 2);
  if (extra >= 141) memcpy(dm.data() + publicSize + 137, &version, 4);
  return dm;
}

TEST(DmVersion, CheckVersionOfImages)
{
  EXPECT_EQ(DmCheckVersion(nullptr), -1);
  struct Case {
    WORD pub, extra;
    DWORD version;
    int expected;
  } cases[] = {{220, 1016, 314, 0},
               {220, 1016, 311, 1},
               {148, 1024, 300, 1},
               {220, 1016, 250, 2},
               {220, 1016, 330, 0},
               {156, 900, 400, 0},
               // Too short a private part holds no version: refused, nothing read past the image.
               {220, 140, 314, 2},
               {220, 0, 314, 2},
               {40, 1016, 314, 2}};
  for (const Case &c : cases) {
    std::vector<BYTE> dm = Image(c.pub, c.extra, c.version);
    EXPECT_EQ(DmCheckVersion(dm.data()), c.expected) << c.pub << "/" << c.extra << " v" << c.version;
  }
}

std::vector<LONG> g_steps;
DWORD g_jumpTo = 0;
WORD g_key = 0;
void WINAPI RecordStep(DRIVER_CONTEXT *ctx, WORD key)
{
  g_key = key;
  g_steps.push_back(ItemGetRaw(ctx, 922, nullptr));
  if (g_jumpTo != 0) ItemSetRaw(ctx, 922, (LONG)g_jumpTo);
}

class DmUpgradeTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    g_steps.clear();
    g_jumpTo = 0;
    DmSetConvertStepRunner(RecordStep);
  }
  void TearDown() override
  {
    DmSetConvertStepRunner(nullptr);
    ContextTest::TearDown();
  }
};

TEST_F(DmUpgradeTest, UpgradeRunsOneStepPerVersionAndStamps)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  std::vector<BYTE> old = Image(220, 1016, 311);
  BYTE *priv = CtxGetPrivatePart(ctx);
  DWORD zero = 0;
  memcpy(priv + 137, &zero, 4);
  EXPECT_EQ(DmUpgradeIfOlder(old.data(), ctx), 1);
  EXPECT_EQ(g_steps, (std::vector<LONG>{312, 313, 314}));
  EXPECT_EQ(g_key, ItemFindSymbolByName("KPD_ConvertDevmode")->key);
  DWORD stamped;
  memcpy(&stamped, priv + 137, 4);
  EXPECT_EQ(stamped, 314u);
  CtxRelease(ctx);
}

TEST_F(DmUpgradeTest, TransactionThatMovesTheVersionOnEndsTheSteps)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  g_jumpTo = 314;
  EXPECT_EQ(DmRunConvertSteps(311, 314, ctx), 1);
  EXPECT_EQ(g_steps, (std::vector<LONG>{312}));
  CtxRelease(ctx);
}

TEST_F(DmUpgradeTest, CurrentNewerOrForeignVersionsAreNotUpgraded)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  for (DWORD v : {314u, 320u, 214u}) {
    std::vector<BYTE> dm = Image(220, 1016, v);
    EXPECT_EQ(DmUpgradeIfOlder(dm.data(), ctx), 0) << v;
  }
  std::vector<BYTE> shortDm = Image(220, 16, 311);
  EXPECT_EQ(DmUpgradeIfOlder(shortDm.data(), ctx), 0);
  EXPECT_EQ(DmUpgradeIfOlder(nullptr, ctx), 0);
  EXPECT_TRUE(g_steps.empty());
  CtxRelease(ctx);
}

}  // namespace
