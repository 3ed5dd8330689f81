#include "vyn/core/pools.h"

#include <gtest/gtest.h>

namespace {

using vyn::CountingPool;

void *take(CountingPool &pool, size_t n) {
  return pool.record()->allocate(pool.record(), n, vynconn::kAllocZeroFill);
}
void give(CountingPool &pool, void *block) {
  pool.record()->release(pool.record(), block, 0, 4);
}

TEST(CountingPool, CountsZeroFilledBlocksAndIgnoresForeignAndDoubleFrees) {
  CountingPool pool("test");
  auto *a = static_cast<unsigned char *>(take(pool, 100));
  void *b = take(pool, 7);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(a[i], 0);
  EXPECT_EQ(pool.liveBlocks(), 2u);
  EXPECT_EQ(pool.liveBytes(), 107u);
  int local = 0;
  give(pool, &local);
  give(pool, a);
  give(pool, a);
  EXPECT_EQ(pool.liveBlocks(), 1u);
  EXPECT_EQ(pool.liveBytes(), 7u);
  give(pool, b);
  EXPECT_EQ(pool.liveBytes(), 0u);
}

TEST(CountingPool, FailsTheRequestedOrAnOversizedAllocationAndRemembersIt) {
  CountingPool pool("test");
  pool.failAllocation(2);
  EXPECT_NE(take(pool, 8), nullptr);
  EXPECT_FALSE(pool.failedSinceReset());
  EXPECT_EQ(take(pool, 8), nullptr);
  EXPECT_TRUE(pool.failedSinceReset());
  EXPECT_NE(take(pool, 8), nullptr);
  pool.releaseAll();
  EXPECT_FALSE(pool.failedSinceReset());
  EXPECT_EQ(pool.liveBlocks(), 0u);
  pool.setLimit(1000);
  EXPECT_NE(take(pool, 1000), nullptr);
  EXPECT_EQ(take(pool, 1001), nullptr);
  EXPECT_TRUE(pool.failedSinceReset());
}

}  // namespace
