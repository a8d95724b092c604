// The parse arena: zero-filled, aligned memory handed out front to back, large requests in
// blocks of their own, a failed block leaving the arena usable, and everything given back
// at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "desc/desc_arena.h"
#include "kvplat/control.h"
#include "machine_fixture.h"

namespace {

class DescArenaTest : public MachineTest {
 protected:
  void TearDown() override
  {
    DescArenaFree(&arena_);
    PlatFaultDisarmAll();
    MachineTest::TearDown();
  }
  DESC_ARENA arena_ = {};
};

// Requests of every size from 0 up come back zero-filled, 8-aligned and apart from each
// other, however many blocks they need; what one holds survives the requests after it.
TEST_F(DescArenaTest, HandsOutZeroFilledAlignedDisjointMemory)
{
  struct Piece {
    BYTE *p;
    DWORD bytes;
  };
  std::vector<Piece> pieces;
  for (DWORD i = 0; i < 3000; ++i) {
    DWORD bytes = i % 61;
    if (i % 500 == 7) bytes = DESC_ARENA_BLOCK;  // a block of its own
    auto *p = static_cast<BYTE *>(DescArenaAlloc(&arena_, bytes));
    ASSERT_NE(nullptr, p) << i;
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p) % 8) << i;
    for (DWORD k = 0; k < bytes; ++k) ASSERT_EQ(0, p[k]) << i << " byte " << k;
    memset(p, static_cast<int>(i & 0xFF), bytes);
    pieces.push_back({p, bytes});
  }
  for (size_t i = 0; i < pieces.size(); ++i)
    for (DWORD k = 0; k < pieces[i].bytes; ++k) ASSERT_EQ(static_cast<BYTE>(i & 0xFF), pieces[i].p[k]) << i;
  DescArenaFree(&arena_);
  EXPECT_EQ(nullptr, arena_.blocks);
  EXPECT_EQ(0u, arena_.left);
  // Usable again after it is freed.
  auto *again = static_cast<BYTE *>(DescArenaAlloc(&arena_, 24));
  ASSERT_NE(nullptr, again);
  for (int k = 0; k < 24; ++k) EXPECT_EQ(0, again[k]);
}

// A block that cannot be had fails that request alone; the arena keeps what it gave and
// answers the next request.
TEST_F(DescArenaTest, AFailedBlockFailsOneRequest)
{
  auto *first = static_cast<BYTE *>(DescArenaAlloc(&arena_, 16));
  ASSERT_NE(nullptr, first);
  memset(first, 0x5A, 16);
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(nullptr, DescArenaAlloc(&arena_, DESC_ARENA_BLOCK));  // needs a block of its own
  PlatFaultDisarmAll();
  EXPECT_NE(nullptr, DescArenaAlloc(&arena_, DESC_ARENA_BLOCK));
  for (int k = 0; k < 16; ++k) EXPECT_EQ(0x5A, first[k]);
  EXPECT_EQ(nullptr, DescArenaAlloc(nullptr, 8));
  EXPECT_EQ(nullptr, DescArenaAlloc(&arena_, 0xFFFFFFF9u));  // rounding would wrap
  DescArenaFree(nullptr);
}

// One block for each request: the nth allocation of the platform is the nth request.
TEST_F(DescArenaTest, OneBlockEachMakesEveryRequestItsOwnAllocation)
{
  arena_.blockBytes = DESC_ARENA_ONE_EACH;
  ASSERT_NE(nullptr, DescArenaAlloc(&arena_, 4));
  PlatFaultArm(PLAT_FAULT_ALLOC, 2);
  EXPECT_NE(nullptr, DescArenaAlloc(&arena_, 4));
  EXPECT_EQ(nullptr, DescArenaAlloc(&arena_, 4));
  PlatFaultDisarmAll();
  EXPECT_NE(nullptr, DescArenaAlloc(&arena_, 4));
}

}  // namespace
