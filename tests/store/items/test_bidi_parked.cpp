// Answers of the printer parked in the bidi state INI: read into the context when it opens,
// moved into printer data when the user may write it, and the parked section deleted only
// after they were saved without a failure.
#include "kvplat/control.h"
#include "model/state_items.h"
#include "names/names_paths.h"
#include "store/settings_files.h"
#include "store_items_fixture.h"

class BidiParkedTest : public SettingsStoreTest {
 protected:
  // Parks Tray1Paper 14, HDD on and BidiFunc 3 for the printer, as a bidi query by a user
  // without rights leaves them, and gives printer data a "BidiFlag" unless told not to.
  void Park(bool printerDataFlag = true)
  {
    DRIVER_CONTEXT *ctx = Open();
    ASSERT_NE(nullptr, ctx);
    ASSERT_NE(14, Raw(ctx, ITEM_kdmTray1Paper));  // the answer parked differs from the default
    ItemSetRaw(ctx, ITEM_kdmTray1Paper, 14);
    ItemSetRaw(ctx, ITEM_kdmOutputOptionTypeHDD, 1);
    WCHAR path[MAX_PATH];
    ASSERT_NE(0, BidiGetIniPath(path, ctx)[0]);
    bidiIni_ = path;
    section_ = CtxGetPrinterName(ctx);
    ASSERT_EQ(1, StoreWriteSettingsFile(printer_, path, KST_PRINTER_CONFIG, ctx));
    ASSERT_TRUE(WritePrivateProfileStringW(section_.c_str(), KV_BIDI_INI_FLAG, u"1", path));
    ASSERT_TRUE(WritePrivateProfileStringW(section_.c_str(), KV_BIDI_INI_FUNC, u"3", path));
    Close(ctx);  // nothing of it reached printer data
    ASSERT_EQ("<missing>", GetData(u"Tray1Paper"));
    if (printerDataFlag) PutData(u"BidiFlag", Le(1, 4));
  }
  std::string Parked(const WCHAR *key)
  {
    WCHAR buf[64];
    GetPrivateProfileStringW(section_.c_str(), key, u"<missing>", buf, 64, bidiIni_.c_str());
    return NarrowW(buf);
  }
  std::u16string bidiIni_, section_;
};

TEST_F(BidiParkedTest, ParkedAnswersMoveIntoPrinterDataAndTheSectionGoes)
{
  Park();
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  EXPECT_EQ(14, Raw(ctx, ITEM_kdmTray1Paper));
  EXPECT_EQ(1, Raw(ctx, ITEM_kdmOutputOptionTypeHDD));
  EXPECT_EQ(3, CtxGetBidiFunc(ctx));
  EXPECT_EQ(Le(14, 2), GetData(u"Tray1Paper"));
  EXPECT_EQ(Le(1, 4), GetData(u"HDD"));
  EXPECT_NE("<missing>", GetData(u"Tray2Paper")) << "every printer-configuration item with a key, changed or not";
  EXPECT_EQ("<missing>", Parked(KV_BIDI_INI_FLAG));
  EXPECT_EQ(0, BidiIniFlagOn(ctx));
  Close(ctx);
}

TEST_F(BidiParkedTest, WithoutRightsTheAnswersStayParked)
{
  Park(false);  // "BidiFlag" cannot be read back: the caller may not write printer data
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  EXPECT_EQ(14, Raw(ctx, ITEM_kdmTray1Paper)) << "the context still sees the printer's answers";
  EXPECT_EQ("<missing>", GetData(u"Tray1Paper"));
  EXPECT_EQ("1", Parked(KV_BIDI_INI_FLAG));
  Close(ctx);
}

TEST_F(BidiParkedTest, AFailedSaveKeepsTheSectionForTheNextOpen)
{
  Park();
  PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 3);  // one of the item writes (the first rewrites "BidiFlag")
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  PlatFaultDisarmAll();
  EXPECT_EQ(14, Raw(ctx, ITEM_kdmTray1Paper));
  EXPECT_EQ("1", Parked(KV_BIDI_INI_FLAG)) << "not deleted after a failed save";
  Close(ctx);
  DRIVER_CONTEXT *again = Open();
  ASSERT_NE(nullptr, again);
  EXPECT_EQ(Le(14, 2), GetData(u"Tray1Paper"));
  EXPECT_EQ(Le(1, 4), GetData(u"HDD"));
  EXPECT_EQ("<missing>", Parked(KV_BIDI_INI_FLAG));
  Close(again);
}

TEST_F(BidiParkedTest, NoFlagOrAForeignHeaderMovesNothing)
{
  Park();
  ASSERT_TRUE(WritePrivateProfileStringW(section_.c_str(), KV_BIDI_INI_FLAG, u"0", bidiIni_.c_str()));
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  EXPECT_NE(14, Raw(ctx, ITEM_kdmTray1Paper)) << "the parked answer is not taken";
  EXPECT_EQ("<missing>", GetData(u"Tray1Paper"));
  Close(ctx);

  // A section whose header belongs to another machine is not read, and stays.
  ASSERT_TRUE(WritePrivateProfileStringW(section_.c_str(), KV_BIDI_INI_FLAG, u"1", bidiIni_.c_str()));
  ASSERT_TRUE(WritePrivateProfileStringW(section_.c_str(), KST_KEY_MACHINE, u"77", bidiIni_.c_str()));
  ctx = Open();
  ASSERT_NE(nullptr, ctx);
  EXPECT_NE(14, Raw(ctx, ITEM_kdmTray1Paper)) << "the parked answer is not taken";
  EXPECT_EQ("1", Parked(KV_BIDI_INI_FLAG));
  EXPECT_EQ(1, BidiDeleteIniSection(ctx));
  EXPECT_EQ("<missing>", Parked(KV_BIDI_INI_FLAG));
  Close(ctx);
}

// A connection to a print server keeps the server's settings: loading at open stops after
// the stored items, so answers parked for the printer are neither read nor moved; a local
// printer takes and moves them.
TEST_F(BidiParkedTest, AConnectionLeavesTheParkedAnswersAlone)
{
  struct Case {
    const char *what;
    BYTE serverClientMode;
    bool moved;
  } cases[] = {
      {"a local printer", 0, true},
      {"a connection", 1, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    DeleteData(u"Tray1Paper");
    DRIVER_CONTEXT *ctx = Open();  // before anything is parked
    ASSERT_NE(nullptr, ctx);
    Park();
    CtxSetServerClientMode(ctx, c.serverClientMode);
    ItemSetRaw(ctx, ITEM_kdmTray1Paper, 2);
    ItemSetRaw(ctx, ITEM_kdmTray2Paper, 3);
    PutData(u"Tray2Paper", Le(8, 2));
    EXPECT_EQ(1, StoreLoadAtOpen(ctx));
    EXPECT_EQ(8, Raw(ctx, ITEM_kdmTray2Paper)) << "the stored items are loaded either way";
    EXPECT_EQ(c.moved ? 14 : 2, Raw(ctx, ITEM_kdmTray1Paper));
    EXPECT_EQ(c.moved ? Le(14, 2) : "<missing>", GetData(u"Tray1Paper"));
    EXPECT_EQ(c.moved ? "<missing>" : "1", Parked(KV_BIDI_INI_FLAG));
    Close(ctx);
  }
}
