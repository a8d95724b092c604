// Surfaces and palettes: EngCreateBitmap's layout in every format and orientation,
// caller bits, device surfaces, association with a registered device, locking,
// deletion, EngEraseSurface, palettes, and the injected faults of each.
#include <string.h>

#include "eng_fixture.h"

namespace {

class SurfaceTest : public EngTest {};

TEST_F(SurfaceTest, CreateBitmapLaysOutEachFormatInBothOrientations)
{
  struct Case {
    ULONG format;
    LONG cx;
    LONG stride;  // the engine's stride: whole DWORDs per row
  } cases[] = {
      {BMF_1BPP, 33, 8}, {BMF_4BPP, 9, 8}, {BMF_8BPP, 5, 8}, {BMF_16BPP, 3, 8}, {BMF_24BPP, 5, 16}, {BMF_32BPP, 3, 12},
  };
  for (const Case &c : cases) {
    for (FLONG fl : {FLONG(BMF_TOPDOWN), FLONG(0)}) {
      SCOPED_TRACE(testing::Message() << "format " << c.format << " flags " << fl);
      HBITMAP h = EngCreateBitmap(SIZEL{c.cx, 4}, 1, c.format, fl, NULL);
      ASSERT_NE(h, nullptr);
      SURFOBJ *so = EngLockSurface(reinterpret_cast<HSURF>(h));
      ASSERT_NE(so, nullptr);
      EXPECT_EQ(so->hsurf, reinterpret_cast<HSURF>(h));
      EXPECT_EQ(so->iType, STYPE_BITMAP);
      EXPECT_EQ(so->iBitmapFormat, c.format);
      EXPECT_EQ(so->cjBits, static_cast<ULONG>(c.stride * 4));
      BYTE *bits = static_cast<BYTE *>(so->pvBits);
      if (fl & BMF_TOPDOWN) {
        EXPECT_EQ(so->lDelta, c.stride);
        EXPECT_EQ(so->pvScan0, so->pvBits);
      } else {
        EXPECT_EQ(so->lDelta, -c.stride);
        EXPECT_EQ(so->pvScan0, bits + 3 * c.stride);
      }
      EXPECT_EQ(so->fjBitmap & BMF_TOPDOWN, fl & BMF_TOPDOWN);
      for (ULONG i = 0; i < so->cjBits; ++i) ASSERT_EQ(bits[i], 0) << "zero-filled";
      // The top row's first pixel is at pvScan0 whatever the orientation.
      ASSERT_TRUE(PlatEngSetPixel(so, 0, 0, 1));
      EXPECT_NE(static_cast<BYTE *>(so->pvScan0)[0], 0);
      EngUnlockSurface(so);
      EXPECT_TRUE(EngDeleteSurface(reinterpret_cast<HSURF>(h)));
    }
  }
}

TEST_F(SurfaceTest, CreateBitmapOverCallerBitsUsesTheirStride)
{
  std::vector<BYTE> buf(3 * 10, 0);
  SURFOBJ *so = PlatEngCreateSurfaceObj(3, 3, BMF_24BPP, 0, 10, buf.data());
  ASSERT_NE(so, nullptr);
  EXPECT_EQ(so->pvBits, buf.data());
  EXPECT_EQ(so->lDelta, -10);
  EXPECT_EQ(so->pvScan0, buf.data() + 20);
  EXPECT_EQ(so->cjBits, 30u);
  ASSERT_TRUE(PlatEngSetPixel(so, 2, 0, 0x112233));  // top row = last row in memory
  EXPECT_EQ(buf[20 + 6], 0x33);
  EXPECT_EQ(buf[20 + 8], 0x11);
  EXPECT_TRUE(PlatEngDeleteSurfaceObj(so));
  EXPECT_EQ(buf[20 + 6], 0x33) << "the caller's bits stay the caller's";
}

TEST_F(SurfaceTest, NoZeroInitFlagIsKeptAndBitsAreUsable)
{
  SURFOBJ *so = Bitmap(8, 2, BMF_8BPP, BMF_TOPDOWN | BMF_NOZEROINIT);
  ASSERT_NE(so, nullptr);
  EXPECT_TRUE(so->fjBitmap & BMF_NOZEROINIT);
  RECTL all = Rect(0, 0, 8, 2);
  ASSERT_TRUE(EngEraseSurface(so, &all, 7));
  EXPECT_EQ(Pixels(so), std::vector<ULONG>(16, 7));
}

TEST_F(SurfaceTest, CreateBitmapRefusesBadArguments)
{
  BYTE buf[64];
  struct Case {
    const char *what;
    SIZEL size;
    LONG width;
    ULONG format;
    PVOID bits;
    DWORD error;
  } cases[] = {
      {"zero width", {0, 4}, 4, BMF_8BPP, NULL, ERROR_INVALID_PARAMETER},
      {"negative height", {4, -1}, 4, BMF_8BPP, NULL, ERROR_INVALID_PARAMETER},
      {"RLE format", {4, 4}, 4, BMF_8RLE, NULL, ERROR_INVALID_PARAMETER},
      {"unknown format", {4, 4}, 4, 99, NULL, ERROR_INVALID_PARAMETER},
      {"given stride shorter than a row", {4, 4}, 11, BMF_24BPP, buf, ERROR_INVALID_PARAMETER},
      {"negative given stride", {4, 4}, -12, BMF_24BPP, buf, ERROR_INVALID_PARAMETER},
      // 0x7FFFFFFF x 0x7FFFFFFF pixels: the byte count only fits in 64 bits.
      {"too large", {0x7FFFFFFF, 0x7FFFFFFF}, 0, BMF_32BPP, NULL, ERROR_NOT_ENOUGH_MEMORY},
      {"rows of 4 GB", {0x7FFFFFFF, 1}, 0, BMF_32BPP, NULL, ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const Case &c : cases) {
    SetLastError(0);
    EXPECT_EQ(EngCreateBitmap(c.size, c.width, c.format, 0, c.bits), nullptr) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
}

TEST_F(SurfaceTest, DeviceSurfaceAssociatesWithARegisteredDevice)
{
  DRVENABLEDATA ded = {DDI_DRIVER_VERSION_NT5, 0, NULL};
  HDEV hdev = PlatEngRegisterDriver(&ded);
  ASSERT_NE(hdev, nullptr);
  ASSERT_TRUE(PlatEngSetDevicePdev(hdev, reinterpret_cast<DHPDEV>(0x1234)));
  HSURF hs = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(0x55), SIZEL{100, 50}, BMF_24BPP);
  ASSERT_NE(hs, nullptr);
  SURFOBJ *so = EngLockSurface(hs);
  ASSERT_NE(so, nullptr);
  EXPECT_EQ(so->iType, STYPE_DEVICE);
  EXPECT_EQ(so->pvBits, nullptr);
  EXPECT_EQ(so->dhsurf, reinterpret_cast<DHSURF>(0x55));

  EXPECT_TRUE(EngAssociateSurface(hs, hdev, 0x24EB));
  EXPECT_EQ(so->hdev, hdev);
  EXPECT_EQ(so->dhpdev, reinterpret_cast<DHPDEV>(0x1234));
  BOOL banding = TRUE;
  FLONG hooks = 0;
  ASSERT_TRUE(PlatEngSurfaceInfo(hs, &banding, &hooks));
  EXPECT_EQ(hooks, 0x24EBu);
  EXPECT_FALSE(banding);
  EXPECT_TRUE(EngMarkBandingSurface(hs));
  ASSERT_TRUE(PlatEngSurfaceInfo(hs, &banding, &hooks));
  EXPECT_TRUE(banding);

  SetLastError(0);
  EXPECT_FALSE(EngAssociateSurface(hs, reinterpret_cast<HDEV>(0x999), 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(EngAssociateSurface(hs, hdev, 0x80000000UL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // A device surface has no bits: the engine cannot draw on it.
  RECTL r = Rect(0, 0, 1, 1);
  EXPECT_FALSE(EngEraseSurface(so, &r, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  EngUnlockSurface(so);
  EXPECT_TRUE(EngDeleteSurface(hs));
  EXPECT_TRUE(PlatEngUnregisterDevice(hdev));
  EXPECT_EQ(EngCreateDeviceSurface(NULL, SIZEL{0, 5}, BMF_24BPP), nullptr);
}

TEST_F(SurfaceTest, DeletedSurfaceIsNoLongerAccepted)
{
  HBITMAP h = EngCreateBitmap(SIZEL{4, 4}, 0, BMF_8BPP, BMF_TOPDOWN, NULL);
  SURFOBJ *so = EngLockSurface(reinterpret_cast<HSURF>(h));
  ASSERT_NE(so, nullptr);
  ASSERT_TRUE(EngDeleteSurface(reinterpret_cast<HSURF>(h)));
  SetLastError(0);
  EXPECT_FALSE(EngDeleteSurface(reinterpret_cast<HSURF>(h)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(EngLockSurface(reinterpret_cast<HSURF>(h)), nullptr);
  RECTL r = Rect(0, 0, 4, 4);
  EXPECT_FALSE(EngEraseSurface(so, &r, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EngUnlockSurface(so);  // ignored, no crash
  // A SURFOBJ the engine did not make is refused too.
  SURFOBJ fake = {};
  EXPECT_FALSE(EngEraseSurface(&fake, &r, 1));
  EXPECT_FALSE(EngEraseSurface(NULL, &r, 1));
}

TEST_F(SurfaceTest, EraseSurfaceFillsTheRectangleClippedToTheSurface)
{
  struct Case {
    ULONG format;
    ULONG color;
    ULONG stored;  // the colour masked to the format
  } cases[] = {{BMF_1BPP, 3, 1},
               {BMF_4BPP, 0x1A, 0xA},
               {BMF_8BPP, 0x1FF, 0xFF},
               {BMF_16BPP, 0x17FFF, 0x7FFF},
               {BMF_24BPP, 0xFF123456, 0x123456},
               {BMF_32BPP, 0xFF123456, 0xFF123456}};
  for (const Case &c : cases) {
    for (FLONG fl : {FLONG(BMF_TOPDOWN), FLONG(0)}) {
      SCOPED_TRACE(testing::Message() << "format " << c.format << " flags " << fl);
      SURFOBJ *so = Bitmap(5, 4, c.format, fl);
      RECTL r = Rect(3, 2, 9, 9);  // reaches past the right and bottom edges
      ASSERT_TRUE(EngEraseSurface(so, &r, c.color));
      for (LONG y = 0; y < 4; ++y)
        for (LONG x = 0; x < 5; ++x) EXPECT_EQ(Pixel(so, x, y), (x >= 3 && y >= 2) ? c.stored : 0u) << x << "," << y;
    }
  }
  SURFOBJ *so = Bitmap(2, 2, BMF_8BPP);
  EXPECT_FALSE(EngEraseSurface(so, NULL, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(SurfaceTest, PalettesKeepTheirModeAndColours)
{
  ULONG bw[2] = {0x000000, 0xFFFFFF};
  HPALETTE indexed = EngCreatePalette(PAL_INDEXED, 2, bw, 0, 0, 0);
  ASSERT_NE(indexed, nullptr);
  ULONG mode = 0, colors[4] = {9, 9, 9, 9};
  EXPECT_EQ(PlatEngPaletteInfo(indexed, &mode, 4, colors), 2u);
  EXPECT_EQ(mode, PAL_INDEXED);
  EXPECT_EQ(colors[0], 0u);
  EXPECT_EQ(colors[1], 0xFFFFFFu);
  EXPECT_EQ(colors[2], 9u);
  HPALETTE bgr = EngCreatePalette(PAL_BGR, 0, NULL, 0, 0, 0);
  ASSERT_NE(bgr, nullptr);
  EXPECT_EQ(PlatEngPaletteInfo(bgr, &mode, 0, NULL), 0u);
  EXPECT_EQ(mode, PAL_BGR);
  HPALETTE fields = EngCreatePalette(PAL_BITFIELDS, 0, NULL, 0x7C00, 0x3E0, 0x1F);
  ASSERT_NE(fields, nullptr);
  EXPECT_EQ(PlatEngPaletteInfo(fields, &mode, 0, NULL), 0u);
  EXPECT_EQ(mode, PAL_BITFIELDS);

  struct Bad {
    ULONG mode;
    ULONG count;
    ULONG *colors;
  } bad[] = {{PAL_INDEXED, 0, bw},
             {PAL_INDEXED, 2, NULL},
             {PAL_INDEXED, 0x10001, bw},
             {PAL_BITFIELDS, 0, NULL},
             {0x40, 0, NULL}};
  for (const Bad &b : bad) {
    SetLastError(0);
    EXPECT_EQ(EngCreatePalette(b.mode, b.count, b.colors, 0, 0, 0), nullptr) << b.mode << " " << b.count;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_TRUE(EngDeletePalette(indexed));
  EXPECT_TRUE(EngDeletePalette(bgr));
  EXPECT_TRUE(EngDeletePalette(fields));
  EXPECT_FALSE(EngDeletePalette(bgr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(SurfaceTest, InjectedFaultsFailTheNthCreation)
{
  ULONG bw[2] = {0, 0xFFFFFF};
  struct Case {
    PLAT_FAULT_KIND kind;
    bool (*call)(void *keep);
  } cases[] = {
      {PLAT_FAULT_ENG_BITMAP,
       [](void *) {
         HBITMAP h = EngCreateBitmap(SIZEL{4, 4}, 0, BMF_8BPP, 0, NULL);
         return h && EngDeleteSurface(reinterpret_cast<HSURF>(h));
       }},
      {PLAT_FAULT_ENG_DEVICE_SURFACE,
       [](void *) {
         HSURF h = EngCreateDeviceSurface(NULL, SIZEL{4, 4}, BMF_24BPP);
         return h && EngDeleteSurface(h);
       }},
      {PLAT_FAULT_ENG_PALETTE,
       [](void *colors) {
         HPALETTE h = EngCreatePalette(PAL_INDEXED, 2, static_cast<ULONG *>(colors), 0, 0, 0);
         return h && EngDeletePalette(h);
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.kind);
    PlatFaultArm(c.kind, 2);
    EXPECT_TRUE(c.call(bw));
    SetLastError(0);
    EXPECT_FALSE(c.call(bw));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(c.call(bw));
  }
  SURFOBJ *so = Bitmap(2, 2, BMF_8BPP);
  RECTL r = Rect(0, 0, 2, 2);
  PlatFaultArm(PLAT_FAULT_ENG_ERASE, 1);
  EXPECT_FALSE(EngEraseSurface(so, &r, 5));
  EXPECT_EQ(Pixel(so, 0, 0), 0u) << "a failed erase writes nothing";
  EXPECT_TRUE(EngEraseSurface(so, &r, 5));
}

}  // namespace
