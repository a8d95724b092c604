// The printer's default DEVMODE from the spooler into a context.
#include <gtest/gtest.h>

#include <functional>

#include "context_fixture.h"
#include "devmode/devmode_defaults.h"
#include "devmode/devmode_printer_default.h"
#include "devmode_images.h"
#include "kvplat/spool_control.h"

namespace {

class PrinterDefaultTest : public ContextTest {
 protected:
  void TearDown() override
  {
    if (ctx_ != nullptr) CtxRelease(ctx_);
    ContextTest::TearDown();
  }
  // Printer "KV Stored" with the given default DEVMODE (none for an empty image), and a
  // context of the fixture's printer pointed at it.
  void UsePrinterWith(const std::vector<BYTE> &image)
  {
    PLAT_PRINTER_SETUP p = {};
    p.printerName = u"KV Stored";
    p.driverName = u"KV Test Driver";
    p.devMode = image.empty() ? nullptr : image.data();
    ASSERT_TRUE(PlatSpoolAddPrinter(&p));
    WCHAR name[] = u"KV Stored";
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
    ASSERT_TRUE(OpenPrinterW(name, &second_, &defaults));
    ctx_ = Create();
    ASSERT_NE(ctx_, nullptr);
    ctxPrinter_ = ctx_->printer;
  }
  DRIVER_CONTEXT *ctx_ = nullptr;
  HANDLE ctxPrinter_ = nullptr;
};

struct StoredCase {
  const char *what;
  std::function<void(std::vector<BYTE> &)> change;  // nullptr: the printer has no DEVMODE
  int has, copy, load;
};

TEST_F(PrinterDefaultTest, TableOfStoredDevmodes)
{
  const StoredCase cases[] = {
      {"none", nullptr, 0, 0, 0},
      {"driver's own", [](std::vector<BYTE> &) {}, 1, 1, 1},
      {"older private version", [](std::vector<BYTE> &d) { SetDword(d, 357, 313); }, 1, 1, 1},
      {"foreign signature", [](std::vector<BYTE> &d) { memcpy(d.data() + 349, "xxxx", 4); }, 1, 1, 0},
      {"other private size in the header", [](std::vector<BYTE> &d) { SetDword(d, 353, 1000); }, 1, 1, 0},
      {"public size 212", [](std::vector<BYTE> &d) { SetWord(d, 68, 212), d.resize(212 + 1016); }, 1, 0, 0},
      {"private size 1020", [](std::vector<BYTE> &d) { SetWord(d, 70, 1020), d.resize(220 + 1020); }, 1, 0, 0},
  };
  for (const StoredCase &c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<BYTE> image;
    if (c.change) {
      image = GoodDevmode();
      SetWord(image, 363, 0);  // offsets that no build stamps: a copy re-stamps them
      memset(image.data() + 1100, 0x5A, 10);
      c.change(image);
    }
    UsePrinterWith(image);
    if (HasFatalFailure()) return;
    EXPECT_EQ(OsPrinterHasDefaultDevmode(second_), c.has);
    BYTE *dm = CtxGetDevmode(ctx_);
    std::vector<BYTE> before(dm, dm + 1236);
    ctx_->printer = second_;
    EXPECT_EQ(DmLoadPrinterDefault(ctx_), c.load);
    if (c.load) {
      EXPECT_EQ(0, memcmp(dm + 1100, image.data() + 1100, 10)) << "the reserved area travels";
      EXPECT_EQ(DmReadLe16(dm + 363), 1236) << "offsets re-stamped";
    } else {
      EXPECT_EQ(0, memcmp(dm, before.data(), 1236)) << "a refused DEVMODE leaves the context as it was";
    }
    EXPECT_EQ(DmCopyPrinterDefault(ctx_), c.copy);
    if (c.copy) {
      EXPECT_EQ(0, memcmp(dm, image.data(), 363));
      EXPECT_EQ(DmReadLe16(dm + 363), 1236);
      EXPECT_EQ(0, memcmp(dm + 365, image.data() + 365, 1236 - 365));
    }
    ctx_->printer = ctxPrinter_;
    CtxRelease(ctx_);
    ctx_ = nullptr;
    ClosePrinter(second_);
    second_ = nullptr;
    ASSERT_TRUE(PlatSpoolDeletePrinter(u"KV Stored"));
  }
  EXPECT_EQ(OsPrinterHasDefaultDevmode(nullptr), 0);
  EXPECT_EQ(DmCopyPrinterDefault(nullptr), 0);
  EXPECT_EQ(DmLoadPrinterDefault(nullptr), 0);
}

// The user's own stored default (PRINTER_INFO_9) stands before the one for all users
// (PRINTER_INFO_2/8); a user's own that the test refuses gives way to the one for all users.
TEST_F(PrinterDefaultTest, UsersOwnDefaultComesFirst)
{
  // A stored image: the driver's own with a mark, changed as the case says.
  enum Kind { kNone, kGood, kForeign, kOtherSize };
  auto image = [](Kind kind, BYTE mark) {
    std::vector<BYTE> d;
    if (kind == kNone) return d;
    d = GoodDevmode();
    memset(d.data() + 1100, mark, 10);
    if (kind == kForeign) memcpy(d.data() + 349, "xxxx", 4);
    if (kind == kOtherSize) SetWord(d, 70, 1020), d.resize(220 + 1020);
    return d;
  };
  const BYTE kGlobalMark = 0x5A, kUserMark = 0xA5;
  const struct {
    const char *what;
    Kind global, own;
    int has;
    BYTE load, copy, adopt;  // the mark each one takes; 0: refused
  } cases[] = {
      {"neither", kNone, kNone, 0, 0, 0, 0},
      {"all users' only", kGood, kNone, 1, kGlobalMark, kGlobalMark, kGlobalMark},
      {"own only", kNone, kGood, 1, kUserMark, kUserMark, kUserMark},
      {"both", kGood, kGood, 1, kUserMark, kUserMark, kUserMark},
      {"own of another model", kGood, kForeign, 1, kGlobalMark, kUserMark, kGlobalMark},
      {"own of another size", kGood, kOtherSize, 1, kGlobalMark, kGlobalMark, kGlobalMark},
      {"own refused, none for all users", kNone, kOtherSize, 1, 0, 0, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    UsePrinterWith(image(c.global, kGlobalMark));
    if (HasFatalFailure()) return;
    std::vector<BYTE> own = image(c.own, kUserMark);
    if (!own.empty()) {
      PRINTER_INFO_9W in = {reinterpret_cast<LPDEVMODEW>(own.data())};
      ASSERT_TRUE(SetPrinterW(second_, 9, reinterpret_cast<BYTE *>(&in), 0));
    }
    EXPECT_EQ(OsPrinterHasDefaultDevmode(second_), c.has);
    BYTE *dm = CtxGetDevmode(ctx_);
    std::vector<BYTE> fresh(dm, dm + 1236);
    ctx_->printer = second_;
    const struct {
      const char *step;
      int(WINAPI *run)(DRIVER_CONTEXT *);
      BYTE mark;
    } steps[] = {
        {"load", DmLoadPrinterDefault, c.load},
        {"copy", DmCopyPrinterDefault, c.copy},
        {"adopt", DmAdoptStoredDevmode, c.adopt},
    };
    for (const auto &step : steps) {
      memcpy(dm, fresh.data(), 1236);
      EXPECT_EQ(step.run(ctx_), step.mark != 0 ? 1 : 0) << step.step;
      BYTE expect[10];
      memset(expect, step.mark, 10);
      if (step.mark != 0)
        EXPECT_EQ(0, memcmp(dm + 1100, expect, 10)) << step.step;
      else
        EXPECT_EQ(0, memcmp(dm, fresh.data(), 1236)) << step.step << ": nothing taken";
    }
    ctx_->printer = ctxPrinter_;
    CtxRelease(ctx_);
    ctx_ = nullptr;
    ClosePrinter(second_);
    second_ = nullptr;
    ASSERT_TRUE(PlatSpoolDeletePrinter(u"KV Stored"));
  }
}

}  // namespace
