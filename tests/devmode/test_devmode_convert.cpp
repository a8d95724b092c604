// Copies between DEVMODEs of different sizes and the conversion entry point's body.
#include <gtest/gtest.h>

#include "devmode/devmode_convert.h"
#include "devmode/devmode_header.h"
#include "devmode_images.h"

namespace {

// A DEVMODE image of the given public and private sizes whose bytes after the header are a
// pattern that tells source bytes from target bytes, with block offsets that no build
// stamps (so a copy that re-stamps them shows it).
std::vector<BYTE> Patterned(WORD pub, WORD extra, BYTE seed, WORD driverVersion = 0)
{
  std::vector<BYTE> dm((size_t)pub + extra);
  for (size_t i = 0; i < dm.size(); ++i) dm[i] = (BYTE)(seed + i * 7);
  if (driverVersion == 0) driverVersion = CtxGetTemplate()->model->driverVersion;
  SetPublicHeader(dm, 0x401, driverVersion, pub, extra);
  if (extra >= 147) {
    SetWord(dm, pub + 141, 0x1111);
    SetWord(dm, pub + 143, 0);
    SetWord(dm, pub + 145, 0x7777);
  }
  return dm;
}

// The private part of dm (behind its public part) with the build's block offsets.
std::vector<BYTE> StampedPrivate(const std::vector<BYTE> &dm)
{
  WORD pub = GetWord(dm, 68);
  std::vector<BYTE> priv(dm.begin() + pub, dm.end());
  DmStampPrivateBlockOffsets(priv.data());
  return priv;
}

bool Same(const std::vector<BYTE> &a, size_t aAt, const std::vector<BYTE> &b, size_t bAt, size_t n)
{
  return aAt + n <= a.size() && bAt + n <= b.size() && memcmp(a.data() + aAt, b.data() + bAt, n) == 0;
}

TEST(DevmodeConvert, SpecVersionBySize)
{
  struct {
    WORD size, stored, expected;
  } cases[] = {{188, 0x401, 0x320}, {212, 0x401, 0x400}, {220, 0, 0x401},
               {156, 0x300, 0x300}, {156, 0, 0},         {0, 0x410, 0x410}};
  for (auto &c : cases) {
    std::vector<BYTE> dm(72, 0);
    SetWord(dm, 64, c.stored);
    SetWord(dm, 68, c.size);
    EXPECT_EQ(DmGetSpecVersion(dm.data()), c.expected) << c.size << "/" << c.stored;
  }
  EXPECT_EQ(DmGetSpecVersion(nullptr), 0);
}

TEST(DevmodeConvert, SameSizeKeepsTheTargetHeaderAndStampsAWholePrivatePart)
{
  std::vector<BYTE> src = Patterned(220, 1016, 1);
  std::vector<BYTE> dst = Patterned(220, 1016, 100, 0x0123);
  SetWord(dst, 64, 0x0300);  // a stale version: the target gets the one of its size
  ASSERT_EQ(DmCopyDevmodeSameSize(src.data(), dst.data()), 1236);
  EXPECT_EQ(GetWord(dst, 64), 0x401);
  EXPECT_EQ(GetWord(dst, 66), 0x0123) << "the target keeps its driver version";
  EXPECT_EQ(GetWord(dst, 68), 220);
  EXPECT_EQ(GetWord(dst, 70), 1016);
  EXPECT_TRUE(Same(dst, 0, src, 0, 64));
  EXPECT_TRUE(Same(dst, 72, src, 72, 148));
  EXPECT_TRUE(Same(dst, 220, StampedPrivate(src), 0, 1016));
  EXPECT_EQ(GetWord(dst, 361), 0);
  EXPECT_EQ(GetWord(dst, 363), 1236);
  EXPECT_EQ(GetWord(dst, 365), 2256);
}

TEST(DevmodeConvert, SameSizeCopiesTheSmallerPartsAndRefusesOtherSources)
{
  // A smaller private part in the target: only that much is copied, and the offsets are
  // not stamped (the part is not whole).
  std::vector<BYTE> src = Patterned(220, 1016, 1);
  std::vector<BYTE> dst = Patterned(220, 500, 100);
  ASSERT_EQ(DmCopyDevmodeSameSize(src.data(), dst.data()), 720);
  EXPECT_TRUE(Same(dst, 220, src, 220, 500));
  EXPECT_EQ(GetWord(dst, 70), 500);
  // A larger private part in the source than the driver's: at most 1016 bytes are taken.
  std::vector<BYTE> big = Patterned(220, 2000, 1);
  std::vector<BYTE> roomy = Patterned(220, 2000, 100);
  ASSERT_EQ(DmCopyDevmodeSameSize(big.data(), roomy.data()), 1236);
  EXPECT_TRUE(Same(roomy, 1236, Patterned(220, 2000, 100), 1236, 2220 - 1236)) << "bytes past 1016 untouched";

  std::vector<BYTE> good = Patterned(220, 1016, 1);
  struct {
    const char *what;
    std::vector<BYTE> source;
  } refused[] = {{"public size 212", Patterned(212, 1016, 1)},
                 {"3.51 source", Patterned(188, 1016, 1)},
                 {"version 0", [] {
                    std::vector<BYTE> d = Patterned(100, 1016, 1);
                    SetWord(d, 64, 0);
                    return d;
                  }()}};
  for (auto &c : refused) {
    std::vector<BYTE> target = Patterned(220, 1016, 100);
    const std::vector<BYTE> before = target;
    EXPECT_EQ(DmCopyDevmodeSameSize(c.source.data(), target.data()), -1) << c.what;
    EXPECT_EQ(target, before) << c.what;
  }
  std::vector<BYTE> zeroTarget = Patterned(100, 1016, 100);
  SetWord(zeroTarget, 64, 0);
  EXPECT_EQ(DmCopyDevmodeSameSize(good.data(), zeroTarget.data()), -1) << "target of version 0";
  // A target whose public size does not cover its header words would have its private part
  // written over them.
  std::vector<BYTE> tiny = Patterned(0, 1016, 100);
  SetWord(tiny, 64, 0x401);
  const std::vector<BYTE> tinyBefore = tiny;
  EXPECT_EQ(DmCopyDevmodeSameSize(good.data(), tiny.data()), -1);
  EXPECT_EQ(DmCopyDevmode(good.data(), tiny.data()), -1);
  EXPECT_EQ(tiny, tinyBefore);
  EXPECT_EQ(DmCopyDevmodeSameSize(nullptr, zeroTarget.data()), -1);
  EXPECT_EQ(DmCopyDevmodeSameSize(good.data(), nullptr), -1);
}

TEST(DevmodeConvert, CopyDevmodeTakesATrustedPrivatePartOnly)
{
  const WORD dv = CtxGetTemplate()->model->driverVersion;
  struct Case {
    const char *what;
    WORD pub, extra, driverVersion;
    LONG expected;
    bool publicCopied;
  } cases[] = {
      {"driver's own size", 220, 1016, dv, 1236, true},  {"public size 212", 212, 1016, dv, 1228, true},
      {"public size 300", 300, 1016, dv, 1236, true},    {"small public part", 100, 1016, dv, 1116, true},
      {"private part of 1024", 220, 1024, dv, -1, true}, {"private part of 1000", 220, 1000, dv, -1, true},
      {"huge private part", 220, 0xFFFF, dv, -1, true},  {"other driver version", 220, 1016, (WORD)(dv + 1), -1, true},
      {"3.51 DEVMODE", 188, 1016, dv, -1, false},
  };
  for (const Case &c : cases) {
    // Exact-size images: nothing past the source's own sizes is readable.
    std::vector<BYTE> src = Patterned(c.pub, c.extra, 1, c.driverVersion);
    std::vector<BYTE> dst = Patterned(220, 1016, 100);
    const std::vector<BYTE> before = dst;
    EXPECT_EQ(DmCopyDevmode(src.data(), dst.data()), c.expected) << c.what;
    EXPECT_EQ(GetWord(dst, 68), 220) << c.what;
    EXPECT_EQ(GetWord(dst, 70), 1016) << c.what;
    EXPECT_EQ(GetWord(dst, 66), dv) << c.what;
    size_t pub = c.pub < 220 ? c.pub : 220;
    if (c.publicCopied) {
      EXPECT_TRUE(Same(dst, 72, src, 72, pub - 72)) << c.what;
      EXPECT_TRUE(Same(dst, pub, before, pub, 220 - pub)) << c.what << ": the rest of the public part stays";
    } else {
      EXPECT_EQ(dst, before) << c.what;
    }
    if (c.expected > 0) {
      EXPECT_TRUE(Same(dst, 220, StampedPrivate(src), 0, 1016)) << c.what;
    } else {
      EXPECT_TRUE(Same(dst, 220, before, 220, 1016)) << c.what << ": the target keeps its private part";
    }
  }
  std::vector<BYTE> any = Patterned(220, 1016, 1);
  EXPECT_EQ(DmCopyDevmode(nullptr, any.data()), -1);
  EXPECT_EQ(DmCopyDevmode(any.data(), nullptr), -1);
}

TEST(DevmodeConvert, CopyToOutputSizedAfterTheReference)
{
  std::vector<BYTE> ctxDm = Patterned(220, 1016, 1);
  // No reference: the whole DEVMODE, with the build's offsets.
  std::vector<BYTE> out(1236, 0);
  EXPECT_EQ(DmCopyToOutput(ctxDm.data(), nullptr, out.data()), 1);
  EXPECT_TRUE(Same(out, 0, ctxDm, 0, 220));
  EXPECT_TRUE(Same(out, 220, StampedPrivate(ctxDm), 0, 1016));

  // A reference of 212 public bytes: a 212-byte public part of version 0x400, then the
  // private part at 212.
  std::vector<BYTE> ref212 = Patterned(212, 1016, 50);
  std::vector<BYTE> out212(1228, 0xEE);
  EXPECT_EQ(DmCopyToOutput(ctxDm.data(), ref212.data(), out212.data()), 1);
  EXPECT_EQ(GetWord(out212, 64), 0x400);
  EXPECT_EQ(GetWord(out212, 68), 212);
  EXPECT_EQ(GetWord(out212, 70), 1016);
  EXPECT_TRUE(Same(out212, 72, ctxDm, 72, 140));
  EXPECT_TRUE(Same(out212, 212, StampedPrivate(ctxDm), 0, 1016));

  // A reference without a private part: the public part only.
  std::vector<BYTE> refPublic = Patterned(220, 0, 50, 0x0999);
  std::vector<BYTE> outPublic(220, 0xEE);
  EXPECT_EQ(DmCopyToOutput(ctxDm.data(), refPublic.data(), outPublic.data()), 1);
  EXPECT_EQ(GetWord(outPublic, 70), 0);
  EXPECT_EQ(GetWord(outPublic, 66), 0x0999) << "driver version of the smaller private part";
  // A larger reference does not make the output larger than the source.
  std::vector<BYTE> refBig = Patterned(300, 2000, 50);
  std::vector<BYTE> outBig(1236, 0xEE);
  EXPECT_EQ(DmCopyToOutput(ctxDm.data(), refBig.data(), outBig.data()), 1);
  EXPECT_EQ(GetWord(outBig, 68), 220);
  EXPECT_EQ(GetWord(outBig, 70), 1016);

  EXPECT_EQ(DmCopyToOutput(ctxDm.data(), nullptr, nullptr), -1);
  EXPECT_EQ(DmCopyToOutput(nullptr, nullptr, out.data()), 0);
}

TEST(DevmodeConvert, ConvertModesAndSizes)
{
  std::vector<BYTE> src = Patterned(220, 1016, 1);
  struct Case {
    const char *what;
    DWORD mode;
    LONG size;  // *P on entry
    bool target;
    int answer;
    LONG sizeAfter;
    DWORD error;        // 0: left as it was
    size_t buffer = 0;  // bytes of the target buffer when it is shorter than a DEVMODE
  } cases[] = {
      {"convert", 1, 1236, true, 1, 1236, 0},
      {"convert, buffer larger", 1, 5000, true, 1, 1236, 0},
      {"convert, buffer too small", 1, 1235, true, 0, 1235, ERROR_INVALID_PARAMETER},
      {"convert, no target", 1, 1236, false, 0, 1236, ERROR_INVALID_PARAMETER},
      {"convert, negative size", 1, -1, true, 0, -1, ERROR_INVALID_PARAMETER},
      // A buffer that cannot hold the header words is refused before its header is read.
      {"convert, buffer shorter than the header", 1, 71, true, 0, 71, ERROR_INVALID_PARAMETER, 71},
      {"convert, 40-byte buffer", 1, 40, true, 0, 40, ERROR_INVALID_PARAMETER, 40},
      {"3.51", 2, 1204, true, 1, 1204, 0},
      {"3.51, buffer too small", 2, 1203, true, 0, 1204, ERROR_INSUFFICIENT_BUFFER},
      {"3.51, no target", 2, 1236, false, 0, 1204, ERROR_INSUFFICIENT_BUFFER},
      {"driver default", 4, 1236, true, 2, 1236, 0},
      {"driver default, buffer too small", 4, 1235, true, 0, 1236, ERROR_INSUFFICIENT_BUFFER},
      {"driver default, no target", 4, 5000, false, 0, 1236, ERROR_INSUFFICIENT_BUFFER},
      {"other mode", 3, 1236, true, 2, 1236, 0},
  };
  for (const Case &c : cases) {
    std::vector<BYTE> dst = Patterned(220, 1016, 100);
    if (c.buffer != 0) dst = std::vector<BYTE>(dst.begin(), dst.begin() + (long)c.buffer);  // a block of that size
    std::vector<BYTE> before = dst;
    LONG size = c.size;
    SetLastError(0xDEAD);
    EXPECT_EQ(DmConvertDevMode(u"KV Test", src.data(), c.target ? dst.data() : nullptr, &size, c.mode), c.answer)
        << c.what;
    EXPECT_EQ(size, c.sizeAfter) << c.what;
    EXPECT_EQ(GetLastError(), c.error ? c.error : 0xDEADu) << c.what;
    if (c.answer == 0) {
      EXPECT_EQ(before, dst) << c.what;  // a refused target is not written
    }
  }
  SetLastError(0);
  EXPECT_EQ(DmConvertDevMode(nullptr, src.data(), src.data(), nullptr, 1), 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  // A source that is not of the driver's public size is not converted.
  std::vector<BYTE> small = Patterned(212, 1016, 1);
  std::vector<BYTE> dst = Patterned(220, 1016, 100);
  LONG size = 1236;
  EXPECT_EQ(DmConvertDevMode(nullptr, small.data(), dst.data(), &size, 1), 0);
}

TEST(DevmodeConvert, To351FormatIsPublicUpToDisplayFrequencyThenThePrivatePart)
{
  std::vector<BYTE> src = Patterned(220, 1016, 1);
  std::vector<BYTE> out(1204, 0xEE);  // exactly the 3.51 size: nothing is written past it
  LONG size = 1204;
  ASSERT_EQ(DmConvertDevMode(nullptr, src.data(), out.data(), &size, 2), 1);
  EXPECT_EQ(GetWord(out, 64), 0x320);
  EXPECT_EQ(GetWord(out, 66), 0x350);
  EXPECT_EQ(GetWord(out, 68), 188);
  EXPECT_EQ(GetWord(out, 70), 1016);
  EXPECT_TRUE(Same(out, 72, src, 72, 188 - 72)) << "public fields through dmDisplayFrequency";
  EXPECT_TRUE(Same(out, 188, StampedPrivate(src), 0, 1016));
  // The block offsets sit in the private part's own header, not at the fixed offsets of a
  // 220-byte DEVMODE (which lie inside its item fields here).
  EXPECT_EQ(GetWord(out, 188 + 143), 1236);
  EXPECT_TRUE(Same(out, 361, src, 361 + 32, 6));
}

}  // namespace
