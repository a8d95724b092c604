// Last error, memory, clock and fault injection of the platform layer.
#include <string.h>

#include <thread>

#include "machine_fixture.h"

using BaseTest = MachineTest;

TEST_F(BaseTest, LastErrorIsPerThread)
{
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD other = 0;
  std::thread t([&] {
    SetLastError(ERROR_FILE_NOT_FOUND);
    other = GetLastError();
  });
  t.join();
  EXPECT_EQ(other, (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
}

TEST_F(BaseTest, GlobalAllocZeroFillsAndKnowsItsSize)
{
  for (SIZE_T size : {SIZE_T(0), SIZE_T(1), SIZE_T(13016), SIZE_T(1 << 20)}) {
    auto *p = static_cast<BYTE *>(GlobalAlloc(GMEM_ZEROINIT, size));
    ASSERT_NE(p, nullptr) << size;
    EXPECT_EQ(GlobalSize(p), size);
    for (SIZE_T i = 0; i < size; ++i) ASSERT_EQ(p[i], 0) << "byte " << i << " of " << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 8, 0u);
    EXPECT_EQ(GlobalFree(p), nullptr);
  }
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST_F(BaseTest, GlobalFreeRefusesForeignPointer)
{
  alignas(8) static char notOurs[64] = {};
  SetLastError(0);
  EXPECT_EQ(GlobalFree(notOurs + 8), notOurs + 8);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_EQ(GlobalSize(notOurs + 8), 0u);
}

TEST_F(BaseTest, ReAllocKeepsContentAndZeroFillsGrowth)
{
  auto *p = static_cast<BYTE *>(GlobalAlloc(GPTR, 4));
  memcpy(p, "abcd", 4);
  auto *q = static_cast<BYTE *>(GlobalReAlloc(p, 8, GMEM_ZEROINIT));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(memcmp(q, "abcd\0\0\0\0", 8), 0);
  EXPECT_EQ(GlobalSize(q), 8u);
  LocalFree(q);
}

TEST_F(BaseTest, AllocationFaultHitsTheNthCallOnly)
{
  PlatFaultArm(PLAT_FAULT_ALLOC, 2);
  void *a = GlobalAlloc(GPTR, 16);
  SetLastError(0);
  void *b = LocalAlloc(LPTR, 16);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_ENOUGH_MEMORY);
  void *c = GlobalAlloc(GPTR, 16);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  EXPECT_NE(c, nullptr);
  GlobalFree(a);
  GlobalFree(c);
}

TEST_F(BaseTest, InjectedTicksAdvanceAndWrap)
{
  PlatClockSetTicks(0xFFFFFF00u);
  EXPECT_EQ(GetTickCount(), 0xFFFFFF00u);
  PlatClockAdvance(0x200);
  EXPECT_EQ(GetTickCount(), 0x100u);  // the 32-bit counter wraps after 49.7 days
  Sleep(20000);                       // with an injected clock, Sleep only moves it
  EXPECT_EQ(GetTickCount(), 0x100u + 20000u);
}

TEST_F(BaseTest, InjectedLocalTimeAndConversions)
{
  SYSTEMTIME in = {2024, 2, 0, 29, 23, 59, 59, 500};
  PlatClockSetLocalTime(&in);
  PlatClockSetTicks(1000);
  SYSTEMTIME now;
  GetLocalTime(&now);
  EXPECT_EQ(now.wYear, 2024);
  EXPECT_EQ(now.wMonth, 2);
  EXPECT_EQ(now.wDay, 29);
  EXPECT_EQ(now.wDayOfWeek, 4);  // 29 February 2024 was a Thursday
  PlatClockAdvance(500);         // crosses midnight into March
  GetLocalTime(&now);
  EXPECT_EQ(now.wMonth, 3);
  EXPECT_EQ(now.wDay, 1);
  EXPECT_EQ(now.wHour, 0);
  EXPECT_EQ(now.wMilliseconds, 0);

  FILETIME ft;
  SYSTEMTIME epoch = {1601, 1, 0, 1, 0, 0, 0, 0};
  ASSERT_TRUE(SystemTimeToFileTime(&epoch, &ft));
  EXPECT_EQ(ft.dwLowDateTime, 0u);
  EXPECT_EQ(ft.dwHighDateTime, 0u);
  SYSTEMTIME unix0 = {1970, 1, 0, 1, 0, 0, 0, 0};
  ASSERT_TRUE(SystemTimeToFileTime(&unix0, &ft));
  EXPECT_EQ((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime, 116444736000000000ULL);
  SYSTEMTIME back;
  ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
  EXPECT_EQ(back.wYear, 1970);
  EXPECT_EQ(back.wDayOfWeek, 4);

  SYSTEMTIME bad[] = {{2023, 2, 0, 29, 0, 0, 0, 0},
                      {1600, 1, 0, 1, 0, 0, 0, 0},
                      {2024, 13, 0, 1, 0, 0, 0, 0},
                      {2024, 1, 0, 1, 24, 0, 0, 0},
                      {2024, 1, 0, 0, 0, 0, 0, 0}};
  for (auto &b : bad) {
    SetLastError(0);
    EXPECT_FALSE(SystemTimeToFileTime(&b, &ft)) << b.wYear << "-" << b.wMonth << "-" << b.wDay;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  }
}
