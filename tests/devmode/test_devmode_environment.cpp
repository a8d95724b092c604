// The identification block and the driver state block of a context's DEVMODE, pinned by
// golden images under chosen environments (operating system, administrator, code page).
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "context_fixture.h"
#include "devmode/devmode_environment.h"
#include "devmode/devmode_header.h"
#include "devmode_images.h"
#include "kvplat/control.h"
#include "kvplat/os_control.h"
#include "kvplat/spool_control.h"
#include "os/os.h"
#include "tables/item_ids.h"

namespace {

// UTF-8 (BMP only) to UTF-16.
std::u16string FromUtf8(const std::string &s)
{
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = (unsigned char)s[i];
    if (c < 0x80) {
      out += (char16_t)c;
      i += 1;
    } else if ((c & 0xE0) == 0xC0) {
      out += (char16_t)(((c & 0x1F) << 6) | (s[i + 1] & 0x3F));
      i += 2;
    } else {
      out += (char16_t)(((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F));
      i += 3;
    }
  }
  return out;
}

// A golden image: the environment it was taken in and the expected non-zero bytes of the
// header (220-367) and the state block (1219-1235); every other byte there is 0.
struct Golden {
  std::map<std::string, std::string> env;
  std::map<size_t, BYTE> bytes;
};

Golden LoadGolden(const std::string &name)
{
  Golden g;
  std::ifstream in(std::string(KV_DEVMODE_FIXTURES) + "/" + name);
  EXPECT_TRUE(in.good()) << name;
  std::string line;
  while (std::getline(in, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string first;
    if (!(words >> first)) continue;
    if (first == "env") {
      for (std::string kv; words >> kv;) g.env[kv.substr(0, kv.find('='))] = kv.substr(kv.find('=') + 1);
      continue;
    }
    EXPECT_EQ(first[0], '@') << line;
    size_t at = std::stoul(first.substr(1));
    for (std::string hex; words >> hex; ++at) g.bytes[at] = (BYTE)std::stoul(hex, nullptr, 16);
  }
  return g;
}

PLAT_OS_PROFILE Profile(const std::string &name) { return PlatOsProfileFromName(name.c_str()); }

class DevmodeEnvironmentTest : public ContextTest {
 protected:
  void SetUp() override
  {
    ContextTest::SetUp();
    model_ = *CtxGetTemplate()->model;
  }
  void TearDown() override
  {
    if (ctx_ != nullptr) {
      ctx_->model = savedModel_;
      CtxRelease(ctx_);
    }
    PlatSetAnsiCodePage(1252);
    PlatSetAdministrator(TRUE);
    OsVersionCacheResetForTest();
    ContextTest::TearDown();
  }
  // A context whose DEVMODE is zero but for its sizes and the stamped private header.
  BYTE *FreshDevmode()
  {
    ctx_ = Create();
    EXPECT_NE(ctx_, nullptr);
    if (ctx_ == nullptr) return nullptr;
    savedModel_ = ctx_->model;
    ctx_->model = &model_;
    BYTE *dm = CtxGetDevmode(ctx_);
    memset(dm, 0, KV_DM_TOTAL_SIZE);
    DmWriteLe16(dm + offsetof(DEVMODEW, dmSize), KV_DM_PUBLIC_SIZE);
    DmWriteLe16(dm + offsetof(DEVMODEW, dmDriverExtra), KV_DM_PRIVATE_SIZE);
    DmStampPrivateHeader(dm, ctx_);
    return dm;
  }

  DRIVER_CONTEXT *ctx_ = nullptr;
  MODEL_RECORD *savedModel_ = nullptr;
  MODEL_RECORD model_;
  std::u16string ini_;
};

class DevmodeGolden : public DevmodeEnvironmentTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(DevmodeGolden, IdentificationAndStateBlocks)
{
  Golden g = LoadGolden(GetParam());
  ASSERT_FALSE(g.bytes.empty());
  ASSERT_TRUE(PlatSetOsProfile(Profile(g.env["os"]))) << g.env["os"];
  OsVersionCacheResetForTest();
  PlatSetAdministrator(g.env["admin"] == "1");
  ASSERT_TRUE(PlatSetAnsiCodePage((UINT)std::stoul(g.env["codepage"])));
  if (g.env.count("ini")) {
    ini_ = FromUtf8(g.env["ini"]);
    model_.settingsIniName = ini_.c_str();
  }
  BYTE *dm = FreshDevmode();
  ASSERT_NE(dm, nullptr);
  ItemSetRaw(ctx_, ITEM_kdmUIModeChange, std::stol(g.env["uimode"]));
  ItemSetRaw(ctx_, ITEM_kdmLogCodeUse, std::stol(g.env["logcodeuse"]));
  DmWriteIdentBlock(ctx_);
  DmSetEnvironmentState(ctx_);
  auto check = [&](size_t from, size_t to) {
    for (size_t b = from; b < to; ++b) {
      BYTE want = g.bytes.count(b) ? g.bytes[b] : 0;
      EXPECT_EQ(dm[b], want) << GetParam() << ": byte " << b;
    }
  };
  check(220, 368);
  check(1219, 1236);
  for (auto &[at, v] : g.bytes)
    EXPECT_TRUE((at >= 220 && at < 368) || (at >= 1219 && at < 1236)) << "golden byte outside the blocks: " << at;
}

INSTANTIATE_TEST_SUITE_P(Images, DevmodeGolden,
                         ::testing::Values("env_admin_xp.golden", "env_user_w2k_932.golden", "env_admin_nt4.golden"));

TEST_F(DevmodeEnvironmentTest, ExchangeBlockOffLeavesMarkAndVersionZero)
{
  BYTE *dm = FreshDevmode();
  ASSERT_NE(dm, nullptr);
  memset(dm + 276, 0xEE, 349 - 276);  // mark, version, request and capability blocks
  DmWriteIdentFields(CtxGetPrivatePart(ctx_), &model_, FALSE);
  for (int b = 276; b <= 348; ++b) EXPECT_EQ(dm[b], 0) << b;
  DmWriteIdentFields(CtxGetPrivatePart(ctx_), &model_, TRUE);
  EXPECT_EQ(0, memcmp(dm + 276, "KCOMMON", 8));
  EXPECT_EQ(dm[284], 5);
  // Nothing is written for NULL arguments.
  DmWriteIdentFields(nullptr, &model_, TRUE);
  DmWriteIdentFields(CtxGetPrivatePart(ctx_), nullptr, TRUE);
}

TEST_F(DevmodeEnvironmentTest, IdentBlockNeedsAPublicPartCoveringTheHeader)
{
  BYTE *dm = FreshDevmode();
  ASSERT_NE(dm, nullptr);
  DmWriteLe16(dm + offsetof(DEVMODEW, dmSize), 0);
  DmWriteIdentBlock(ctx_);
  for (int b = 0; b < 68; ++b) EXPECT_EQ(dm[b], 0) << "public byte " << b;
  EXPECT_EQ(DmReadDriverExtra(dm), 1016);
  DmWriteLe16(dm + offsetof(DEVMODEW, dmSize), 221);  // no room for the private part
  DmWriteIdentBlock(ctx_);
  EXPECT_EQ(dm[221 + 8], 0);
  DmWriteIdentBlock(nullptr);
  DmSetEnvironmentState(nullptr);
}

TEST_F(DevmodeEnvironmentTest, StateFollowsThePrinterAndLeavesTheOthersAlone)
{
  PLAT_PRINTER_SETUP p = {};
  p.printerName = u"\\\\SERVER\\KV Remote";
  p.driverName = u"KV Test Driver";
  p.serverName = u"\\\\SERVER";
  p.attributes = PRINTER_ATTRIBUTE_ENABLE_BIDI;
  ASSERT_TRUE(PlatSpoolAddPrinter(&p));
  WCHAR name[] = u"\\\\SERVER\\KV Remote";
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
  ASSERT_TRUE(OpenPrinterW(name, &second_, &defaults));
  BYTE *dm = FreshDevmode();
  ASSERT_NE(dm, nullptr);
  memset(dm + 1219, 0xEE, 17);
  HANDLE own = ctx_->printer;
  ctx_->printer = second_;
  DmSetEnvironmentState(ctx_);
  ctx_->printer = own;
  EXPECT_EQ(dm[1226], 1) << "bidi enabled";
  EXPECT_EQ(dm[1227], 1) << "a connection";
  EXPECT_EQ(dm[1230], 0) << "no companion application";
  EXPECT_EQ(dm[1235], 0xEE) << "the printer's bidi functions are not touched";
  EXPECT_EQ(dm[1222], 0);
  EXPECT_EQ(dm[1229], 0);

  // The job-binding companion application counts its installations in the registry.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"Software\\TOLVE\\SuiteBraid\\TaskWeave", &key), ERROR_SUCCESS);
  DWORD count = 3;
  ASSERT_EQ(RegSetValueExW(key, u"INSTALL_COUNT", 0, REG_DWORD, (const BYTE *)&count, sizeof count), ERROR_SUCCESS);
  RegCloseKey(key);
  DmSetEnvironmentState(ctx_);
  EXPECT_EQ(dm[1230], 1) << "companion application installed";
}

}  // namespace
