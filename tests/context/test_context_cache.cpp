// The two-slot cache of released contexts.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "context_fixture.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"

namespace {

using ContextCache = ContextTest;

TEST_F(ContextCache, ReleaseAndRequestWithinWindowReusesContextWithItsSettings)
{
  PlatClockSetTicks(10000);
  DRIVER_CONTEXT *first = Create();
  ASSERT_NE(first, nullptr);
  ItemSetRaw(first, 7, 2);
  CtxRelease(first);
  EXPECT_EQ(CtxPeekCacheSlot(0), first);
  PlatClockAdvance(100);
  DRIVER_CONTEXT *second = Create();
  EXPECT_EQ(second, first);
  EXPECT_EQ(ItemGetRaw(second, 7, nullptr), 2);
  EXPECT_EQ(CtxPeekCacheSlot(0), nullptr);
  CtxRelease(second);
}

TEST_F(ContextCache, WindowIsFiveHundredMillisecondsAndSurvivesTheWrap)
{
  struct Case {
    DWORD parkAt;
    DWORD wait;
    bool reused;
  } cases[] = {
      {10000, 500, true},       {10000, 501, false},       {10000, 600, false},
      {0xFFFFFF00u, 300, true}, {0xFFFFFFF0u, 600, false}, {0xFFFFFE0Cu, 500, true},
      {0xFFFFFFFFu, 1, true},   {0xFFFFFF00u, 16, true},   {0xFFFFFDFFu, 502, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.parkAt << "+" << c.wait);
    PlatClockSetTicks(c.parkAt);
    DRIVER_CONTEXT *first = Create();
    ASSERT_NE(first, nullptr);
    CtxRelease(first);
    PlatClockAdvance(c.wait);
    DRIVER_CONTEXT *second = Create();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second == first, c.reused);
    CtxRelease(second);
    CtxExpireCache(1);
  }
}

TEST_F(ContextCache, EachKeyPartMustMatch)
{
  second_ = InstallPrinter(u"KV Other");
  ASSERT_NE(second_, nullptr);
  ASSERT_NE(DescTestInstallCompiled(second_), nullptr);
  PlatClockSetTicks(5000);
  struct Case {
    const char *what;
    bool otherPrinter;
    WORD mode;
    DWORD flags;
  } cases[] = {
      {"other printer", true, 0, CTX_CREATE_SHEETS},
      {"open mode 0x300", false, 0x300, CTX_CREATE_SHEETS},
      {"open mode 0x100", false, 0x100, CTX_CREATE_SHEETS},
      {"other flags", false, 0, CTX_CREATE_DEVCAPS},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    DRIVER_CONTEXT *first = Create();
    ASSERT_NE(first, nullptr);
    CtxRelease(first);
    HANDLE h = c.otherPrinter ? second_ : printer_;
    DRIVER_CONTEXT *second = CtxCreateWithMode(h, h, nullptr, c.mode, c.flags);
    ASSERT_NE(second, nullptr);
    // The parked context is still parked, so the new one was built, not handed out. (Its
    // address says nothing: a freed context's memory may come back for the new one.)
    EXPECT_EQ(CtxPeekCacheSlot(0), first);
    CtxRelease(second);
    CtxExpireCache(1);
  }
}

TEST_F(ContextCache, RenamedPrinterIsNotReused)
{
  PlatClockSetTicks(5000);  // nothing expires while the test runs
  DRIVER_CONTEXT *first = Create();
  ASSERT_NE(first, nullptr);
  CtxRelease(first);
  ASSERT_TRUE(PlatSpoolRenamePrinter(u"KV Test", u"KV Renamed"));
  DRIVER_CONTEXT *second = Create();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(CtxPeekCacheSlot(0), first) << "the parked context was not handed out";
  CtxRelease(second);
}

// A context built without the settings mutex or as administrator is never handed to an
// ordinary request, even for the same printer, flags and name.
TEST_F(ContextCache, SpecialOpenModeContextNeverServesOrdinaryRequest)
{
  for (WORD mode : {(WORD)0x100, (WORD)0x200, (WORD)0x300, (WORD)0x401}) {
    SCOPED_TRACE(mode);
    DRIVER_CONTEXT *special = CtxCreateWithMode(printer_, printer_, nullptr, mode, CTX_CREATE_SHEETS);
    ASSERT_NE(special, nullptr);
    CtxRelease(special);
    EXPECT_EQ(CtxPeekCacheSlot(0), special);
    DRIVER_CONTEXT *ordinary = Create();
    ASSERT_NE(ordinary, nullptr);
    EXPECT_NE(ordinary, special);
    EXPECT_EQ(ordinary->state->useSettingsMutex, 1u);
    EXPECT_EQ(ordinary->state->checkAdmin, 1u);
    CtxRelease(ordinary);
    CtxExpireCache(1);
  }
}

TEST_F(ContextCache, ThirdReleaseReplacesSlotOne)
{
  DRIVER_CONTEXT *a = Create();
  DRIVER_CONTEXT *b = Create();
  DRIVER_CONTEXT *c = Create();
  ASSERT_TRUE(a && b && c);
  CtxRelease(a);
  CtxRelease(b);
  EXPECT_EQ(CtxPeekCacheSlot(0), a);
  EXPECT_EQ(CtxPeekCacheSlot(1), b);
  CtxRelease(c);  // b is destroyed
  EXPECT_EQ(CtxPeekCacheSlot(0), a);
  EXPECT_EQ(CtxPeekCacheSlot(1), c);
}

TEST_F(ContextCache, ExpireAllEmptiesBothSlots)
{
  DRIVER_CONTEXT *a = Create();
  DRIVER_CONTEXT *b = Create();
  CtxRelease(a);
  CtxRelease(b);
  ASSERT_NE(CtxPeekCacheSlot(1), nullptr);
  CtxExpireCache(1);
  EXPECT_EQ(CtxPeekCacheSlot(0), nullptr);
  EXPECT_EQ(CtxPeekCacheSlot(1), nullptr);
  CtxExpireCache(1);  // an empty cache stays empty
}

// Gives the context a device-font list owned by the test.
BYTE *GiveFonts(DRIVER_CONTEXT *ctx)
{
  BYTE *fonts = (BYTE *)MemAllocZeroed(68);
  fonts[0] = 'F';
  ItemSetRaw(ctx, 10006, 1);
  ItemSetRaw(ctx, 10007, (LONG)(intptr_t)fonts);
  return fonts;
}

TEST_F(ContextCache, KeepFontsWithEmptySlotsDestroysAtOnceAndKeepsLists)
{
  DRIVER_CONTEXT *ctx = Create();
  ASSERT_NE(ctx, nullptr);
  BYTE *fonts = GiveFonts(ctx);
  CtxReleaseKeepFonts(ctx, 1);
  EXPECT_EQ(CtxPeekCacheSlot(0), nullptr);
  EXPECT_EQ(CtxPeekCacheSlot(1), nullptr);
  EXPECT_EQ(fonts[0], 'F');  // still ours: ASan reports a use after free otherwise
  MemFree(fonts);
}

// The keep choice goes with the parked context: displacing or expiring it later honours the
// choice it was released with, not the one of whoever displaces it.
TEST_F(ContextCache, KeepChoiceTravelsWithParkedContext)
{
  DRIVER_CONTEXT *a = Create();
  DRIVER_CONTEXT *b = Create();
  DRIVER_CONTEXT *kept = Create();
  DRIVER_CONTEXT *d = Create();
  ASSERT_TRUE(a && b && kept && d);
  BYTE *fonts = GiveFonts(kept);
  CtxRelease(a);
  CtxRelease(b);
  CtxReleaseKeepFonts(kept, 1);  // displaces b into destruction, takes slot 1
  EXPECT_EQ(CtxPeekCacheSlot(1), kept);
  CtxRelease(d);  // displaces kept: its lists must survive
  EXPECT_EQ(CtxPeekCacheSlot(1), d);
  EXPECT_EQ(fonts[0], 'F');
  MemFree(fonts);

  // Expiry too: e (the context from slot 0, taken back) parks with keep 1 in slot 1.
  DRIVER_CONTEXT *e = Create();
  EXPECT_EQ(e, a);
  BYTE *fonts2 = GiveFonts(e);
  CtxReleaseKeepFonts(e, 1);
  EXPECT_EQ(CtxPeekCacheSlot(0), nullptr);
  EXPECT_EQ(CtxPeekCacheSlot(1), e);
  CtxExpireCache(1);
  EXPECT_EQ(fonts2[0], 'F');
  MemFree(fonts2);
}

TEST_F(ContextCache, TakeCachedNeedsPrinterName)
{
  DRIVER_CONTEXT *ctx = Create();
  CtxRelease(ctx);
  EXPECT_EQ(CtxTakeCached(nullptr, nullptr, nullptr, 0, CTX_CREATE_SHEETS), nullptr);
  EXPECT_EQ(CtxPeekCacheSlot(0), ctx);
}

// Several threads take, release and expire at once: a parked context goes to one taker only,
// and is never freed while another thread holds it (ASan reports a use after free or a
// double free otherwise).
TEST_F(ContextCache, ThreadsTakeAParkedContextOnlyOnce)
{
  PlatClockSetTicks(10000);
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    DRIVER_CONTEXT *ctx = Create();
    ASSERT_NE(ctx, nullptr);
    CtxRelease(ctx);
    ASSERT_EQ(CtxPeekCacheSlot(0), ctx);
    std::atomic<int> ready{0}, doubleHeld{0};
    std::atomic<bool> held{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        ++ready;
        while (ready.load() < 4) std::this_thread::yield();
        if (t == 3 && round % 2 == 1) {
          CtxExpireCache(1);
          return;
        }
        DRIVER_CONTEXT *got = CtxTakeCached(printer_, printer_, nullptr, 0, CTX_CREATE_SHEETS);
        if (got == nullptr) return;
        if (held.exchange(true)) ++doubleHeld;  // another thread holds the same context
        ItemSetRaw(got, 7, 1);                  // the taker owns it now
        held.store(false);
        CtxRelease(got);
      });
    }
    for (std::thread &th : threads) th.join();
    EXPECT_EQ(doubleHeld.load(), 0);
    CtxExpireCache(1);
    EXPECT_EQ(CtxPeekCacheSlot(0), nullptr);
    EXPECT_EQ(CtxPeekCacheSlot(1), nullptr);
  }
}

// A context handed out once keeps a printer change notification for its next parking, so a
// later request needs no spooler lookup while nothing changed. Any change of the spool, in
// this process or another, sends the next request back to the printer's name: a new name
// is not served, a change that kept the name is.
TEST_F(ContextCache, AServedContextIsCheckedAgainAfterAnyChange)
{
  auto setComment = [](const char16_t *printer) {
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(printer), &h, &defaults)) return false;
    DWORD needed = 0;
    GetPrinterW(h, 2, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    bool ok = GetPrinterW(h, 2, buf.data(), needed, &needed);
    PRINTER_INFO_2W in = *reinterpret_cast<PRINTER_INFO_2W *>(buf.data());
    in.pComment = const_cast<LPWSTR>(u"changed");
    ok = ok && SetPrinterW(h, 2, reinterpret_cast<BYTE *>(&in), 0);
    ClosePrinter(h);
    return ok;
  };
  struct Case {
    const char *what;
    std::function<bool()> change;
    bool served;
  } cases[] = {
      {"nothing changed", [] { return true; }, true},
      {"fields changed here, same name", [&] { return setComment(u"KV Test"); }, true},
      {"fields changed by another process", [&] { return InChildProcess([&] { return setComment(u"KV Test"); }); },
       true},
      {"renamed here", [] { return PlatSpoolRenamePrinter(u"KV Test", u"KV Renamed") != FALSE; }, false},
      {"renamed by another process",
       [&] { return InChildProcess([] { return PlatSpoolRenamePrinter(u"KV Test", u"KV Renamed") != FALSE; }); },
       false},
  };
  PlatClockSetTicks(5000);  // nothing expires while the test runs
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    DRIVER_CONTEXT *first = Create();
    ASSERT_NE(first, nullptr);
    CtxRelease(first);
    DRIVER_CONTEXT *again = Create();  // served, and now proved by a notification
    ASSERT_EQ(again, first);
    CtxRelease(again);
    ASSERT_EQ(CtxPeekCacheSlot(0), first);
    ASSERT_TRUE(c.change());
    DRIVER_CONTEXT *next = Create();
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next == first, c.served);
    if (c.served) {
      // The notification was armed again: a second request is served as well.
      CtxRelease(next);
      next = Create();
      EXPECT_EQ(next, first);
    }
    CtxRelease(next);
    CtxExpireCache(1);
    if (!c.served) {
      ASSERT_TRUE(PlatSpoolRenamePrinter(u"KV Renamed", u"KV Test"));
    }
  }
}

// The printer deleted while its context is parked with a notification: the context is not
// served (the handle no longer names a printer), and nothing is left behind.
TEST_F(ContextCache, APrinterDeletedWhileParkedIsNotServed)
{
  PlatClockSetTicks(5000);
  DRIVER_CONTEXT *first = Create();
  ASSERT_NE(first, nullptr);
  CtxRelease(first);
  ASSERT_EQ(Create(), first);
  CtxRelease(first);
  ASSERT_TRUE(PlatSpoolDeletePrinter(u"KV Test"));
  EXPECT_EQ(CtxTakeCached(printer_, printer_, nullptr, 0, CTX_CREATE_SHEETS), nullptr);
  EXPECT_EQ(CtxPeekCacheSlot(0), first) << "it stays parked until it expires";
  CtxExpireCache(1);
  EXPECT_EQ(CtxPeekCacheSlot(0), nullptr);
}

}  // namespace
