// State bytes of the driver state block and the packed DEVMODE fields, checked against
// their DEVMODE bytes and against the option rows that describe the same bytes.
#include <gtest/gtest.h>

#include <string.h>

#include "context_fixture.h"
#include "model/state_items.h"

namespace {

struct StateCase {
  const char *name;
  WORD id;
  DWORD byte;
  void(WINAPI *ctxSet)(DRIVER_CONTEXT *, BYTE);
  BYTE(WINAPI *ctxGet)(DRIVER_CONTEXT *);
  void(WINAPI *dmSet)(BYTE *, BYTE);
  BYTE(WINAPI *dmGet)(const BYTE *);
};

const StateCase kStates[] = {
    {"CallSrc", 609, 1219, CtxSetCallSrc, CtxGetCallSrc, DmSetCallSrc, DmGetCallSrc},
    {"OSKind", 610, 1220, CtxSetOSKind, CtxGetOSKind, DmSetOSKind, DmGetOSKind},
    {"BatchInst", 611, 1221, CtxSetBatchInst, nullptr, DmSetBatchInst, DmGetBatchInst},
    {"PrintLog", 612, 1222, CtxSetPrintLog, CtxGetPrintLog, DmSetPrintLog, DmGetPrintLog},
    {"BiDirect", 613, 1223, CtxSetBiDirect, CtxGetBiDirect, DmSetBiDirect, DmGetBiDirect},
    {"NoPermission", 614, 1224, CtxSetNoPermission, CtxGetNoPermission, DmSetNoPermission, DmGetNoPermission},
    {"PresentUIMode", 615, 1225, CtxSetPresentUIMode, CtxGetPresentUIMode, nullptr, nullptr},
    {"BidiSupport", 616, 1226, CtxSetBidiSupport, nullptr, nullptr, nullptr},
    {"ServerClientMode", 617, 1227, CtxSetServerClientMode, CtxGetServerClientMode, DmSetServerClientMode,
     DmGetServerClientMode},
    {"UserCodeFIX", 618, 1228, CtxSetUserCodeFIX, nullptr, nullptr, nullptr},
    {"UserCodeGet", 619, 1229, CtxSetUserCodeGet, CtxGetUserCodeGet, nullptr, nullptr},
    {"TWInstalled", 620, 1230, CtxSetTWInstalled, nullptr, nullptr, nullptr},
    {"PropertyType", 621, 1231, CtxSetPropertyType, nullptr, DmSetPropertyType, DmGetPropertyType},
    {"UserCodeDLL", 622, 1232, CtxSetUserCodeDLL, nullptr, nullptr, nullptr},
    {"TSE", 623, 1233, CtxSetTSE, CtxGetTSE, DmSetTSE, DmGetTSE},
    {"Admin", 624, 1234, CtxSetAdmin, CtxGetAdmin, DmSetAdmin, DmGetAdmin},
    {"BidiFunc", 625, 1235, CtxSetBidiFunc, CtxGetBidiFunc, DmSetBidiFunc, DmGetBidiFunc},
};

class StateItemsTest : public ContextTest {};

TEST_F(StateItemsTest, EachStateByteMatchesItsItemAndTouchesNoOther)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  for (const StateCase &c : kStates) {
    SCOPED_TRACE(c.name);
    BYTE before[KV_WORK_BUFFER_SIZE];
    memcpy(before, ctx->work, sizeof before);
    OPTION_ITEM *row = ItemFindById(ctx, c.id);
    ASSERT_NE(row, nullptr);
    WORD state = row->state;
    c.ctxSet(ctx, 0xA5);
    EXPECT_EQ(ctx->work[c.byte], 0xA5);
    EXPECT_EQ(ItemReadRaw(ctx, row), 0xA5);  // the option row describes the same byte
    EXPECT_EQ(row->state, state);            // no change mark
    before[c.byte] = 0xA5;
    EXPECT_EQ(0, memcmp(before, ctx->work, sizeof before));
    if (c.ctxGet != nullptr) {
      EXPECT_EQ(c.ctxGet(ctx), 0xA5);
    }
    if (c.dmSet != nullptr) {
      BYTE dm[KV_DEVMODE_SIZE] = {};
      c.dmSet(dm, 7);
      EXPECT_EQ(dm[c.byte], 7);
      EXPECT_EQ(c.dmGet(dm), 7);
      int others = 0;
      for (BYTE b : dm) others += b != 0;
      EXPECT_EQ(others, 1);
    }
  }
  CtxRelease(ctx);
}

TEST_F(StateItemsTest, NamedSettersWriteTheirValues)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  struct Case {
    void(WINAPI *set)(DRIVER_CONTEXT *);
    DWORD byte;
    BYTE value;
  } cases[] = {{CtxSetCallSrcProperty, 1219, 1},
               {CtxSetCallSrcAppl, 1219, 0},
               {CtxSetOSKind2000, 1220, 2},
               {CtxSetOSKindNT40, 1220, 1},
               {CtxSetBatchInstOn, 1221, 1},
               {CtxSetPrintLogOn, 1222, 1},
               {CtxSetBiDirectOn, 1223, 1},
               {CtxSetNoPermissionOn, 1224, 1},
               {CtxSetPresentUIModePreset, 1225, 1},
               {CtxSetPresentUIModeTab, 1225, 0},
               {CtxSetBidiSupportOn, 1226, 1},
               {CtxSetServerClientModeClient, 1227, 1},
               {CtxSetServerClientModeServer, 1227, 0},
               {CtxSetUserCodeFIXOn, 1228, 1},
               {CtxSetUserCodeGetOn, 1229, 1},
               {CtxSetTWInstalledOn, 1230, 1},
               {CtxSetPropertyTypePrinter, 1231, 1},
               {CtxSetPropertyTypeDocument, 1231, 0},
               {CtxSetUserCodeDLLOn, 1232, 1},
               {CtxSetUserCodeDLLOff, 1232, 0}};
  for (const auto &c : cases) {
    ctx->work[c.byte] = 0x5A;
    c.set(ctx);
    EXPECT_EQ(ctx->work[c.byte], c.value) << "byte " << c.byte;
  }
  // A light context has no work buffer: setters do nothing, getters answer 0.
  CtxSetTSE(nullptr, 1);
  EXPECT_EQ(CtxGetTSE(nullptr), 0);
  CtxRelease(ctx);
}

TEST(PackedFields, SettersKeepOnlyTheirBits)
{
  BYTE dm[KV_DEVMODE_SIZE] = {};
  DmSetFrontFunc(dm, 0x1234);
  EXPECT_EQ(DmGetFrontFunc(dm), 0x34u);
  DmSetHidden2FuncFlags(dm, 0x12345678);
  EXPECT_EQ(DmGetHidden2FuncFlags(dm), 0x5678u);
  DmSetQualityFuncFlags(dm, 0xBEEF);
  EXPECT_EQ(DmGetQualityFuncFlags(dm), 0xBEEF);
  EXPECT_EQ(dm[576], 0xEF);
  DWORD word = 0xF0F0F0F0u;
  memcpy(dm + 1020, &word, 4);
  DmSetSupportJobComplete(dm, 0xFFFFFFFFu);
  EXPECT_EQ(DmGetSupportFunc2Flags(dm), 0xF0F0F0F1u);
  DmSetSupportJobErr(dm, 2);
  EXPECT_EQ(DmGetSupportFunc2Flags(dm), 0xF0F0F0F3u);
  DmSetSupportJobComplete(dm, 2);  // bit 0 of the argument is clear
  EXPECT_EQ(DmGetSupportFunc2Flags(dm), 0xF0F0F0F2u);
  DmSetSupportJobErr(dm, 1);
  EXPECT_EQ(DmGetSupportFunc2Flags(dm), 0xF0F0F0F0u);
  dm[368] = 0xC0;
  dm[811] = 1;
  dm[810] = 3;
  EXPECT_EQ(DmGetMachineID(dm), 0xC0);
  EXPECT_EQ(DmGetDriverType(dm), 1);
  EXPECT_EQ(DmGetMachineType(dm), 3);
  EXPECT_EQ(DmGetPrivatePartFixed(dm), dm + 220);
}

TEST_F(StateItemsTest, PrivateHeaderAndResolutionItems)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(0, memcmp(ctx->work + KV_DM_PRIV_SIGNATURE, "priv", 4));
  EXPECT_EQ(DmGetPrivSignature(ctx->work), CtxGetTemplate()->model->privSignature);
  EXPECT_EQ(DmGetPrivVersion(ctx->work), 314u);
  DmSetPrintQuality(300, ctx);
  EXPECT_EQ(DmGetPrintQuality(ctx), 300);
  EXPECT_EQ(ItemGetRaw(ctx, 14, nullptr), 300);
  DmSetYResolution(1200, ctx);
  EXPECT_EQ(ItemGetRaw(ctx, 17, nullptr), 1200);
  DmSetDeviceResolutionX(1200, ctx);
  DmSetDeviceResolutionY(600, ctx);
  EXPECT_EQ(DmGetDeviceResolutionX(ctx), 1200);
  EXPECT_EQ(DmGetDeviceResolutionY(ctx), 600);
  EXPECT_EQ(ItemGetRaw(ctx, 38, nullptr), 1200);
  CtxRelease(ctx);
}

}  // namespace
