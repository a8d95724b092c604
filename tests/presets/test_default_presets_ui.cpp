// kvmlface's side of the default presets: the question before the re-validation drops
// presets, and the once-per-printer refresh with its notice and the device dialog.
#include <gtest/gtest.h>

#include "files/ini.h"
#include "kvplat/window_control.h"
#include "model/state_items.h"
#include "preset_defaults_fixture.h"
#include "store/preset_list.h"
#include "store/setup_presets.h"

namespace {

using Strings = std::vector<std::string>;

class DefaultPresetUiTest : public DefaultPresetTest {
 protected:
  void SetUp() override
  {
    DefaultPresetTest::SetUp();
    ASSERT_EQ(Import(KV_IMPORT_INSTALL), 1);
    RecordDefaultKst();
    Reset();
  }
  // The list as registered (the finisher is in, so "Without finisher" is to go), no
  // refresh yet, no boxes shown.
  void Reset()
  {
    ASSERT_EQ(Import(KV_IMPORT_REGISTER), 1);
    ASSERT_EQ(Names(), kRegistered);
    PutPrinterValue("PresetRefresh", "0");
    PutPrinterValue("PackInstallDone", "0");
    CtxSetBiDirect(ctx_, 0);
    PlatMessageBoxClearRecord();
    PlatMessageBoxClearScript();
  }
  std::vector<UINT> Boxes()
  {
    std::vector<UINT> types;
    for (DWORD i = 0; i < PlatMessageBoxCount(); ++i) {
      PLAT_MSGBOX_RECORD r = {};
      EXPECT_TRUE(PlatMessageBoxGet(i, &r));
      types.push_back(r.type);
    }
    return types;
  }
  const Strings kRegistered = {"Everyday", "Stapled sets", "Without finisher"};
  const Strings kRevalidated = {"Everyday", "Stapled sets"};
};

constexpr UINT kAsk = MB_OKCANCEL | MB_ICONEXCLAMATION;
constexpr UINT kNotice = MB_OK | MB_ICONINFORMATION;

TEST_F(DefaultPresetUiTest, TheUserConfirmsDropsFirst)
{
  PlatMessageBoxScript(IDCANCEL);
  EXPECT_EQ(SetupRevalidatePresets(ctx_, 1), 0);
  EXPECT_EQ(Names(), kRegistered);  // Cancel changes nothing
  EXPECT_EQ(Boxes(), std::vector<UINT>{kAsk});

  PlatMessageBoxClearRecord();
  PlatMessageBoxScript(IDOK);
  EXPECT_EQ(SetupRevalidatePresets(ctx_, 1), 1);
  EXPECT_EQ(Names(), kRevalidated);
  EXPECT_EQ(Boxes(), std::vector<UINT>{kAsk});

  // Nothing to drop, or the ask byte clear: no question.
  PlatMessageBoxClearRecord();
  EXPECT_EQ(SetupRevalidatePresets(ctx_, 1), 1);
  Reset();
  EXPECT_EQ(SetupRevalidatePresets(ctx_, 0x100), 1);
  EXPECT_EQ(Names(), kRevalidated);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(DefaultPresetUiTest, TheRefreshRunsOncePerPrinter)
{
  EXPECT_EQ(SetupRefreshPresetsOnce(ctx_, KV_REFRESH_AFTER_COMMIT), 1);
  EXPECT_EQ(Names(), kRevalidated);
  EXPECT_EQ(PrinterValue("PresetRefresh"), "1");
  // Once marked, a condition change brings no second refresh in any mode.
  Finisher(false);
  for (int mode : {KV_REFRESH_AFTER_COMMIT, KV_REFRESH_DOCUMENT_SHEET}) {
    EXPECT_EQ(SetupRefreshPresetsOnce(ctx_, mode), 1);
    EXPECT_EQ(Names(), kRevalidated);
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(DefaultPresetUiTest, RefreshModes)
{
  struct Case {
    const char *what;
    int mode;
    const char *packInstallDone;
    BYTE biDirect;
    std::vector<UINT> boxes;
    bool refreshed;
  } cases[] = {
      {"device sheet", KV_REFRESH_DEVICE_SHEET, "0", 0, {kNotice}, false},
      {"device sheet after the bundle install", KV_REFRESH_DEVICE_SHEET, "1", 0, {}, false},
      {"device sheet, low byte of the mark", KV_REFRESH_DEVICE_SHEET, "257", 0, {}, false},
      // The device dialog is not accepted: no refresh and no mark.
      {"document sheet", KV_REFRESH_DOCUMENT_SHEET, "0", 0, {kNotice}, false},
      {"document sheet after the bundle install", KV_REFRESH_DOCUMENT_SHEET, "1", 0, {}, true},
      {"document sheet, printer answers queries", KV_REFRESH_DOCUMENT_SHEET, "0", 1, {}, true},
      {"after a commit", KV_REFRESH_AFTER_COMMIT, "0", 0, {}, true},
      {"unknown mode", 7, "0", 0, {}, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    PutPrinterValue("PackInstallDone", c.packInstallDone);
    CtxSetBiDirect(ctx_, c.biDirect);
    EXPECT_EQ(SetupRefreshPresetsOnce(ctx_, c.mode), 1);
    EXPECT_EQ(Boxes(), c.boxes);
    EXPECT_EQ(Names(), c.refreshed ? kRevalidated : kRegistered);
    EXPECT_EQ(PrinterValue("PresetRefresh"), c.refreshed ? "1" : "0");
  }
  // A user barred from the shared settings gets no refresh and no mark.
  Reset();
  SetBarred(true);
  EXPECT_EQ(SetupRefreshPresetsOnce(ctx_, KV_REFRESH_AFTER_COMMIT), 0);
  SetBarred(false);
  EXPECT_EQ(Names(), kRegistered);
  EXPECT_EQ(PrinterValue("PresetRefresh"), "0");
  EXPECT_EQ(SetupRefreshPresetsOnce(nullptr, KV_REFRESH_AFTER_COMMIT), 0);
}

}  // namespace
