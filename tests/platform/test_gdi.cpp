// GDI objects: solid brushes keep their colour until deleted, a handle is deleted once,
// and GDI handles never pass for kernel handles.
#include "kvplat/gdi_control.h"
#include "machine_fixture.h"

namespace {

using GdiTest = MachineTest;

TEST_F(GdiTest, SolidBrushesLiveUntilDeleted)
{
  DWORD before = PlatGdiObjectCount();
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  HBRUSH navy = CreateSolidBrush(RGB(0, 0, 128));
  ASSERT_NE(white, nullptr);
  ASSERT_NE(navy, nullptr);
  EXPECT_NE(white, navy);
  EXPECT_EQ(PlatGdiObjectCount(), before + 2);
  COLORREF color = 0;
  ASSERT_TRUE(PlatGdiBrushColor(navy, &color));
  EXPECT_EQ(color, 0x00800000u);
  ASSERT_TRUE(PlatGdiBrushColor(white, &color));
  EXPECT_EQ(color, 0x00FFFFFFu);

  EXPECT_TRUE(DeleteObject(white));
  EXPECT_EQ(PlatGdiObjectCount(), before + 1);
  EXPECT_FALSE(PlatGdiBrushColor(white, &color));
  SetLastError(0);
  EXPECT_FALSE(DeleteObject(white)) << "a deleted object is gone";
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_EQ(PlatGdiObjectCount(), before + 1);
  EXPECT_TRUE(DeleteObject(navy));
  EXPECT_EQ(PlatGdiObjectCount(), before);
}

TEST_F(GdiTest, ForeignHandlesAreRefused)
{
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
  ASSERT_NE(mutex, nullptr);
  EXPECT_FALSE(DeleteObject((HGDIOBJ)mutex)) << "a kernel handle is no GDI object";
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_NE(brush, nullptr);
  EXPECT_FALSE(CloseHandle((HANDLE)brush)) << "a brush is no kernel object";
  EXPECT_TRUE(CloseHandle(mutex));
  EXPECT_TRUE(DeleteObject(brush));
}

TEST_F(GdiTest, ResetDeletesEveryObject)
{
  ASSERT_NE(CreateSolidBrush(RGB(9, 9, 9)), nullptr);
  EXPECT_GT(PlatGdiObjectCount(), 0u);
  PlatResetForTest();
  EXPECT_EQ(PlatGdiObjectCount(), 0u);
}

}  // namespace
