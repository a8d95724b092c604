// Construction and destruction of driver contexts.
#include <cstring>
#include <vector>

#include "context_fixture.h"
#include "devmode/devmode_header.h"
#include "files/ini.h"
#include "model/model.h"
#include "store/settings_store.h"
#include "kvplat/control.h"
#include "kvplat/gdi_control.h"
#include "store/jobctl.h"
#include "store/setup_services.h"
#include "tables/item_ids.h"
#include "tables/template_tables.h"

namespace {

WORD Le16(const BYTE *p) { return (WORD)(p[0] | (p[1] << 8)); }
DWORD Le32(const BYTE *p) { return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24); }

using ContextBuild = ContextTest;

TEST_F(ContextBuild, ColdFullContextHasOwnCopiesAndStampedDevmode)
{
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ctx->printer, printer_);
  EXPECT_EQ(ctx->printer2, printer_);
  ASSERT_NE(ctx->items, tpl->items);
  EXPECT_EQ(ctx->items->count, 1660);
  EXPECT_NE(ctx->items->rows, tpl->items->rows);
  // The rows are the template's, except the change mark of the print-box mode, which the
  // model sets from the settings INI when the stored items have been loaded.
  std::vector<OPTION_ITEM> rows((OPTION_ITEM *)ctx->items->rows, (OPTION_ITEM *)ctx->items->rows + 1660);
  OPTION_ITEM *printBox = ItemFindById(tpl, ITEM_wdmHiddenModePrintBox);
  ASSERT_NE(nullptr, printBox);
  rows[printBox - (OPTION_ITEM *)tpl->items->rows].state = printBox->state;
  EXPECT_EQ(0, memcmp(rows.data(), tpl->items->rows, 1660 * sizeof(OPTION_ITEM)));
  EXPECT_EQ(ctx->symbols, tpl->symbols);
  EXPECT_EQ(ctx->valueSymbols, tpl->valueSymbols);
  EXPECT_EQ(ctx->messages, tpl->messages);
  EXPECT_EQ(ctx->symbols->count, 785);
  EXPECT_EQ(ctx->valueSymbols->count, 1473);
  EXPECT_EQ(ctx->messages->count, 23);
  ASSERT_NE(ctx->model, tpl->model);
  EXPECT_EQ(0, memcmp(ctx->model, tpl->model, sizeof(MODEL_RECORD)));
  EXPECT_EQ(ctx->desc, blob_);
  ASSERT_NE(ctx->work, nullptr);
  EXPECT_NE(ctx->work, tpl->work);
  EXPECT_EQ(0, memcmp(ctx->work + 220, "TV00", 4));
  EXPECT_EQ(Le32(ctx->work + 349), 0x76697270u);  // "priv"
  EXPECT_EQ(Le32(ctx->work + 353), 1016u);
  EXPECT_EQ(Le32(ctx->work + 357), 314u);
  EXPECT_EQ(Le16(ctx->work + 361), 0);
  EXPECT_EQ(Le16(ctx->work + 363), 1236);
  EXPECT_EQ(Le16(ctx->work + 365), 2256);

  CONTEXT_STATE *st = ctx->state;
  ASSERT_NE(st, tpl->state);
  EXPECT_EQ(st->openKind, 0);
  EXPECT_EQ(st->useSettingsMutex, 1u);
  EXPECT_EQ(st->checkAdmin, 1u);
  EXPECT_EQ(st->createFlags, CTX_CREATE_SHEETS);
  for (BYTE *level : st->snapshots) EXPECT_NE(level, nullptr);
  ASSERT_NE(st->baseline, nullptr);
  EXPECT_EQ(0, memcmp(st->baseline, ctx->work, 220 + 1016));
  EXPECT_NE(st->eval.entries, nullptr);
  EXPECT_EQ(NarrowW(st->driverName), "KV Test Driver");
  EXPECT_EQ(NarrowW(st->languageCode), "us");
  EXPECT_EQ(NarrowW(st->printerName), "KV Test");
  CtxRelease(ctx);
}

TEST_F(ContextBuild, OpenKindsAndSwitches)
{
  struct Case {
    WORD mode;
    bool hasWork;
    bool hasDriverName;
    DWORD mutex;
    DWORD admin;
  } cases[] = {
      // Kind 2 does not ask for the driver's name itself, but its defaults read the installed
      // driver's language, which names the driver.
      {0x0000, true, true, 1, 1},   {0x0001, true, true, 1, 1},   {0x0002, true, true, 1, 1},
      {0x0003, true, true, 1, 1},   {0x0005, false, false, 1, 1}, {0x0300, true, true, 0, 0},
      {0x0103, true, true, 0, 1},   {0x0201, true, true, 1, 0},   {0x0701, true, true, 0, 0},
      {0x00FF, false, false, 1, 1},
  };
  DRIVER_CONTEXT *tpl = CtxGetTemplate();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.mode);
    DRIVER_CONTEXT *ctx = CtxCreateWithMode(printer_, printer_, nullptr, c.mode, CTX_CREATE_SHEETS);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(ctx->state->openKind, c.mode & 0xFF);
    EXPECT_EQ(ctx->work != nullptr, c.hasWork);
    EXPECT_EQ(ctx->desc != nullptr, c.hasWork);
    EXPECT_NE(ctx->work, tpl->work);
    EXPECT_EQ(ctx->state->driverName[0] != 0, c.hasDriverName);
    EXPECT_EQ(ctx->state->useSettingsMutex, c.mutex);
    EXPECT_EQ(ctx->state->checkAdmin, c.admin);
    EXPECT_EQ(NarrowW(ctx->state->languageCode), "us");
    CtxRelease(ctx);
    CtxExpireCache(1);
  }
  // The template's static buffers are untouched and still zero.
  for (DWORD i = 0; i < KV_WORK_BUFFER_SIZE; ++i) ASSERT_EQ(tpl->work[i], 0) << i;
}

TEST_F(ContextBuild, LightContextServesNamesWithoutWorkBuffer)
{
  DRIVER_CONTEXT *ctx = CtxCreateWithMode(printer_, printer_, nullptr, 5, CTX_CREATE_SHEETS);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ctx->work, nullptr);
  EXPECT_EQ(ctx->desc, nullptr);
  EXPECT_EQ(ctx->printer, printer_);
  EXPECT_EQ(ItemGetRaw(ctx, 7, nullptr), 0);
  ItemSetRaw(ctx, 7, 2);  // no work buffer: nothing written, nothing touched
  EXPECT_EQ(ItemGetRaw(ctx, 7, nullptr), 0);
  CtxRelease(ctx);
  CtxExpireCache(1);
}

TEST_F(ContextBuild, CreateFlagRewrites)
{
  struct Case {
    DWORD given;
    int setup;
    DWORD stored;
  } cases[] = {
      {0x00010000, 0, 0x20000000}, {0x00050000, 0, 0x00050000}, {0x80000000, 1, 0x80040000},
      {0x00010000, 1, 0x00050000}, {0x01000000, 0, 0x01000000},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.given);
    CtxSetupActive = c.setup;
    DRIVER_CONTEXT *ctx = Create(c.given);
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(ctx->state->createFlags, c.stored);
    CtxRelease(ctx);
    CtxExpireCache(1);
  }
}

TEST_F(ContextBuild, MissingDescriptionFailsAndIsNeverParked)
{
  DescTestRemoveAll();
  for (WORD kind = 0; kind <= 3; ++kind) {
    EXPECT_EQ(CtxCreateWithMode(printer_, printer_, nullptr, kind, CTX_CREATE_SHEETS), nullptr);
    EXPECT_EQ(CtxPeekCacheSlot(0), nullptr);
    EXPECT_EQ(CtxPeekCacheSlot(1), nullptr);
  }
  // A light context needs no description.
  DRIVER_CONTEXT *ctx = CtxCreateWithMode(printer_, printer_, nullptr, 4, CTX_CREATE_SHEETS);
  EXPECT_NE(ctx, nullptr);
  CtxRelease(ctx);
}

// Every allocation of the construction fails in turn: the answer is NULL or a whole context,
// the cache stays empty on failure, and the template is never freed (ASan would report it).
TEST_F(ContextBuild, EachAllocationFailureIsHandled)
{
  int failures = 0;
  for (DWORD n = 1; n < 200; ++n) {
    for (WORD mode : {(WORD)0, (WORD)5}) {
      PlatFaultArm(PLAT_FAULT_ALLOC, n);
      DRIVER_CONTEXT *ctx = CtxCreateWithMode(printer_, printer_, nullptr, mode, CTX_CREATE_SHEETS);
      PlatFaultDisarmAll();
      if (ctx == nullptr) {
        ++failures;
        EXPECT_EQ(CtxPeekCacheSlot(0), nullptr) << n;
        EXPECT_EQ(CtxPeekCacheSlot(1), nullptr) << n;
      } else {
        EXPECT_NE(ctx->state, nullptr);
        CtxRelease(ctx);
        CtxExpireCache(1);
      }
    }
  }
  EXPECT_GT(failures, 10);
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(ctx->items->count, 1660);
  CtxRelease(ctx);
}

class DeployRefresh : public ContextTest {
 protected:
  std::u16string IniPath()
  {
    WCHAR dir[260];
    GetSystemDirectoryW(dir, 260);
    return std::u16string(dir) + u"\\KVML.ini";
  }
  UINT InstSet() { return IniGetInt(u"KV Test", u"DrvInstSet", 77, IniPath().c_str()); }
};

// The pending mark is cleared only once the user code has gone out; with no job-control
// exchange to send it through, every full open leaves it for the next one.
TEST_F(DeployRefresh, FullOpenKeepsPendingMarkUntilTheCodeIsSent)
{
  ASSERT_TRUE(IniWriteString(u"KV Test", u"DrvInstSet", u"1", IniPath().c_str()));
  DRIVER_CONTEXT *ctx = CtxCreateWithMode(printer_, printer_, nullptr, 1, CTX_CREATE_SHEETS);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(InstSet(), 1u);
  CtxRelease(ctx);
  ctx = Create();
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(JobCtlSendOnce(ctx, 1), 0) << "nothing can be sent";
  EXPECT_EQ(InstSet(), 1u) << "the deployed user code is still to be sent";
  CtxRelease(ctx);
}

TEST_F(DeployRefresh, WriteInstSetReportsAFailedWrite)
{
  EXPECT_EQ(1, SetupWriteInstSet(IniPath().c_str(), u"KV Test", 1));
  EXPECT_EQ(InstSet(), 1u);
  PlatFaultArm(PLAT_FAULT_FILE_WRITE, 1);
  EXPECT_EQ(0, SetupWriteInstSet(IniPath().c_str(), u"KV Test", 0));
  PlatFaultDisarmAll();
  EXPECT_EQ(InstSet(), 1u);
}

TEST_F(DeployRefresh, NoMarkWritesNothing)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(InstSet(), 77u);
  CtxRelease(ctx);
  ASSERT_TRUE(IniWriteString(u"KV Test", u"DrvInstSet", u"0", IniPath().c_str()));
  CtxExpireCache(1);
  ctx = Create();
  EXPECT_EQ(InstSet(), 0u);
  CtxRelease(ctx);
}

TEST_F(ContextBuild, BaselineCopiesFontListsAndFreesThem)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  BYTE *fonts = (BYTE *)MemAllocZeroed(2 * 68);
  ASSERT_NE(fonts, nullptr);
  fonts[0] = 'A';
  fonts[68] = 'B';
  ItemSetRaw(ctx, 10006, 2);
  ItemSetRaw(ctx, 10007, (LONG)(intptr_t)fonts);
  ItemSetRaw(ctx, 10008, 3);  // a count without a list gives an empty copy
  ASSERT_EQ(CtxTakeBaseline(ctx), 1);
  BYTE *copy = (BYTE *)(intptr_t)ItemGetBaselineRaw(ctx, 10007, nullptr);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, fonts);
  EXPECT_EQ(copy[0], 'A');
  EXPECT_EQ(copy[68], 'B');
  EXPECT_EQ(ItemGetBaselineRaw(ctx, 10006, nullptr), 2);
  EXPECT_EQ(ItemGetBaselineRaw(ctx, 10008, nullptr), 0);
  EXPECT_EQ(ItemGetBaselineRaw(ctx, 10009, nullptr), 0);
  EXPECT_EQ(CtxFreeBaselineFonts(ctx), 1);
  EXPECT_EQ(ItemGetBaselineRaw(ctx, 10007, nullptr), 0);
  CtxRelease(ctx);
  CtxExpireCache(1);  // frees the work buffer's list too
}

TEST_F(ContextBuild, SecondBaselineFreesTheFirstCopies)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  BYTE *fonts = (BYTE *)MemAllocZeroed(2 * 68);
  ASSERT_NE(fonts, nullptr);
  ItemSetRaw(ctx, 10006, 2);
  ItemSetRaw(ctx, 10007, (LONG)(intptr_t)fonts);
  ASSERT_EQ(CtxTakeBaseline(ctx), 1);
  DWORD live = PlatMemLiveBlocks();
  ASSERT_EQ(CtxTakeBaseline(ctx), 1);
  EXPECT_EQ(live, PlatMemLiveBlocks()) << "the first baseline's copy is freed by the second take";
  BYTE *copy = (BYTE *)(intptr_t)ItemGetBaselineRaw(ctx, 10007, nullptr);
  EXPECT_NE(copy, nullptr);
  EXPECT_NE(copy, fonts);
  CtxRelease(ctx);
  CtxExpireCache(1);
}

// The UI's brushes live as long as their context: a parked context keeps them, and its
// destruction deletes whichever of the two are set.
TEST_F(ContextBuild, DestructionDeletesTheUiBrushes)
{
  DWORD before = PlatGdiObjectCount();
  DRIVER_CONTEXT *both = Create();
  ASSERT_NE(both, nullptr);
  EXPECT_EQ(both->state->brushes[0], nullptr);
  EXPECT_EQ(both->state->brushes[1], nullptr);
  both->state->brushes[0] = CreateSolidBrush(RGB(255, 255, 255));
  both->state->brushes[1] = CreateSolidBrush(RGB(0, 0, 128));
  ASSERT_NE(both->state->brushes[0], nullptr);
  ASSERT_NE(both->state->brushes[1], nullptr);
  HBRUSH second = both->state->brushes[1];
  EXPECT_EQ(PlatGdiObjectCount(), before + 2);
  CtxRelease(both);
  EXPECT_EQ(PlatGdiObjectCount(), before + 2) << "a parked context keeps its brushes";
  CtxExpireCache(1);
  EXPECT_EQ(PlatGdiObjectCount(), before);
  EXPECT_FALSE(DeleteObject(second)) << "already deleted";

  DRIVER_CONTEXT *one = Create();
  ASSERT_NE(one, nullptr);
  one->state->brushes[1] = CreateSolidBrush(RGB(1, 2, 3));
  CtxRelease(one);
  CtxExpireCache(1);
  EXPECT_EQ(PlatGdiObjectCount(), before);
}

// The block offsets in a work buffer are the build's constants; a buffer that carries others
// (a DEVMODE from outside) has its blocks refused, never moved onto other fields.
TEST_F(ContextBuild, ForeignBlockOffsetsAreRefused)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(CtxGetConfigBlock(ctx), ctx->work + 1236);
  struct Case {
    DWORD block, at;
    WORD foreign;
  } cases[] = {{1, 361, 4}, {2, 363, 0}, {2, 363, 1237}, {3, 365, 1236}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.at);
    const OPTION_ITEM *item = nullptr;
    for (SHORT i = 0; i < ctx->items->count && item == nullptr; ++i) {
      const OPTION_ITEM *row = &((const OPTION_ITEM *)ctx->items->rows)[i];
      if (KvItemBlock(row) == c.block) item = row;
    }
    ASSERT_NE(item, nullptr);
    EXPECT_NE(ItemGetAddress(ctx, item), nullptr);
    BYTE saved[2] = {ctx->work[c.at], ctx->work[c.at + 1]};
    memset(ctx->work + offsetof(DEVMODEW, dmFields), 0x41, 4);  // what a moved list item would free
    ctx->work[c.at] = (BYTE)c.foreign;
    ctx->work[c.at + 1] = (BYTE)(c.foreign >> 8);
    EXPECT_EQ(ItemGetAddress(ctx, item), nullptr);
    if (c.block == 2) {
      EXPECT_EQ(CtxGetConfigBlock(ctx), nullptr);
      EXPECT_EQ(ItemGetRaw(ctx, 10007, nullptr), 0);
      EXPECT_EQ(StoreFreeFontLists(ctx), 1) << "frees nothing the buffer pretends to own";
    }
    ctx->work[c.at] = saved[0];
    ctx->work[c.at + 1] = saved[1];
    EXPECT_NE(ItemGetAddress(ctx, item), nullptr);
  }
  ctx->work[365] = 0;
  ctx->work[366] = 0;
  DmStampBlockOffsets(ctx->work);
  EXPECT_EQ(DmGetBlockOffset(3), 2256u);
  EXPECT_EQ(ctx->work[365] | (ctx->work[366] << 8), 2256);
  CtxRelease(ctx);
  CtxExpireCache(1);
}

TEST_F(ContextBuild, BaselineNeedsBuffer)
{
  EXPECT_EQ(CtxTakeBaseline(nullptr), 0);
  DRIVER_CONTEXT *ctx = CtxCreateWithMode(printer_, printer_, nullptr, 4, CTX_CREATE_SHEETS);
  ASSERT_NE(ctx, nullptr);
  EXPECT_EQ(CtxTakeBaseline(ctx), 0);
  CtxRelease(ctx);
}

}  // namespace
