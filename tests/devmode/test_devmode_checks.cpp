// The DEVMODE structures and the three format tests of a DEVMODE from outside.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "devmode/devmode_header.h"
#include "devmode_images.h"

namespace {

TEST(DevmodeStructs, PrivateFieldsAtTheirOffsets)
{
  EXPECT_EQ(sizeof(DRIVER_DEVMODE), 1236u);
  EXPECT_EQ(sizeof(PRIVATE_DEVMODE), 1016u);
  EXPECT_EQ(sizeof(DRIVER_STATE_BLOCK), 17u);
  EXPECT_EQ(alignof(PRIVATE_DEVMODE), 1u) << "packed fields need no alignment";
  EXPECT_EQ(KV_DM_FIELD(items) + sizeof(((PRIVATE_DEVMODE *)0)->items), 1065u) << "item area ends at 1064";
  EXPECT_EQ(KV_DM_FIELD(state.callSrc), 1219u);
  EXPECT_EQ(KV_DM_FIELD(state.admin), 1234u);
  EXPECT_EQ(KV_DM_FIELD(state.bidiFunc), 1235u);
}

TEST(DevmodeStructs, LittleEndianAccessorsAtOddAddresses)
{
  BYTE bytes[8] = {0};
  DmWriteLe32(bytes + 1, 0x76697270u);  // "priv"
  EXPECT_EQ(0, memcmp(bytes + 1, "priv", 4));
  EXPECT_EQ(DmReadLe32(bytes + 1), 0x76697270u);
  DmWriteLe16(bytes + 5, 0x04D4);
  EXPECT_EQ(bytes[5], 0xD4);
  EXPECT_EQ(bytes[6], 0x04);
  EXPECT_EQ(DmReadLe16(bytes + 5), 1236);
}

TEST(DevmodeHeader, StampWritesTagZeroTaskWeaveAndOffsets)
{
  std::vector<BYTE> dm(KV_DM_TOTAL_SIZE, 0xAA);
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  DmStampPrivateHeader(dm.data(), tpl);
  EXPECT_EQ(0, memcmp(dm.data() + 220, "TV00", 4));
  EXPECT_EQ(GetDword(dm, 224), 0u);
  EXPECT_EQ(0, memcmp(dm.data() + 349, "priv", 4));
  EXPECT_EQ(GetDword(dm, 353), 1016u);
  EXPECT_EQ(GetDword(dm, 357), 314u);
  EXPECT_EQ(GetWord(dm, 361), 0);
  EXPECT_EQ(GetWord(dm, 363), 1236);
  EXPECT_EQ(GetWord(dm, 365), 2256);
  EXPECT_EQ(dm[228], 0xAA) << "the stamp leaves the identification block alone";
}

// One case of the format tests: a change to a good DEVMODE image and the three answers.
struct CheckCase {
  const char *what;
  std::function<void(std::vector<BYTE> &)> change;
  int privateHeader, model, modelAndSize;
};

TEST(DevmodeChecks, TableOfGoodAndBadDevmodes)
{
  const MODEL_RECORD *model = CtxGetTemplate()->model;
  ASSERT_EQ(model->driverType, 1) << "the cases below assume the shipped driver type";
  const CheckCase cases[] = {
      {"good", [](std::vector<BYTE> &) {}, 1, 1, 1},
      {"signature not priv", [](std::vector<BYTE> &d) { memcpy(d.data() + 349, "PRIV", 4); }, 0, 0, 0},
      {"older private version", [](std::vector<BYTE> &d) { SetDword(d, 357, 313); }, 0, 1, 1},
      {"newer private version", [](std::vector<BYTE> &d) { SetDword(d, 357, 401); }, 0, 1, 1},
      {"other private size", [](std::vector<BYTE> &d) { SetDword(d, 353, 1020); }, 0, 1, 0},
      {"foreign machine id", [](std::vector<BYTE> &d) { d[368] = 0xC1; }, 0, 0, 0},
      {"driver type 0 against model 1", [](std::vector<BYTE> &d) { d[811] = 0; }, 0, 0, 0},
      {"driver type 2 against model 1", [](std::vector<BYTE> &d) { d[811] = 2; }, 0, 0, 0},
      {"public part not looked at", [](std::vector<BYTE> &d) { SetWord(d, 64, 0x320), SetWord(d, 66, 0x1234); }, 1, 1,
       1},
      // Claimed sizes that do not cover the bytes read: refused before any read.
      {"short private part", [](std::vector<BYTE> &d) { SetWord(d, 70, 591); }, 0, 0, 0},
      {"private part reaching byte 811", [](std::vector<BYTE> &d) { SetWord(d, 70, 592); }, 0, 1, 0},
      {"small public part", [](std::vector<BYTE> &d) { SetWord(d, 68, 188); }, 0, 1, 0},
      {"no sizes at all", [](std::vector<BYTE> &d) { SetWord(d, 68, 0), SetWord(d, 70, 0); }, 0, 0, 0},
      // Sizes claiming more than the fixed layout: the tests read the same fixed bytes.
      {"huge sizes", [](std::vector<BYTE> &d) { SetWord(d, 68, 0xFFFF), SetWord(d, 70, 0xFFFF); }, 1, 1, 1},
  };
  for (const CheckCase &c : cases) {
    std::vector<BYTE> dm = GoodDevmode();
    c.change(dm);
    EXPECT_EQ(DmCheckPrivateHeader(dm.data()), c.privateHeader) << c.what;
    EXPECT_EQ(DmCheckModel(dm.data()), c.model) << c.what;
    EXPECT_EQ(DmCheckModelAndSize(dm.data()), c.modelAndSize) << c.what;
  }
  EXPECT_EQ(DmCheckPrivateHeader(nullptr), 0);
  EXPECT_EQ(DmCheckModel(nullptr), 0);
  EXPECT_EQ(DmCheckModelAndSize(nullptr), 0);
}

// A DEVMODE whose buffer ends where its sizes say: the tests read nothing past the end
// (the sanitizers catch a read beyond these exact-size buffers).
TEST(DevmodeChecks, ReadNothingPastTheClaimedExtent)
{
  std::vector<BYTE> good = GoodDevmode();
  for (WORD extra : {0, 100, 591, 592, 1015}) {
    std::vector<BYTE> dm(good.begin(), good.begin() + 220 + extra);
    SetWord(dm, 70, extra);
    EXPECT_EQ(DmCheckModel(dm.data()), extra >= 592 ? 1 : 0) << extra;
    EXPECT_EQ(DmCheckModelAndSize(dm.data()), 0) << extra;
    EXPECT_EQ(DmCheckPrivateHeader(dm.data()), 0) << extra;
  }
}

}  // namespace
