// The set of object addresses through growth and erasure: every address
// erased is gone and every other one is still found, however their probe
// runs overlap (addresses 16 bytes apart, as objects are).
#include "vyn/output/handles.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(HandleSet, FindsExactlyWhatIsLeftAfterErasures) {
  std::vector<char> arena(16 * 5000);
  vyn::output::HandleSet set;
  for (size_t i = 0; i < 5000; ++i) set.insert(&arena[16 * i]);
  std::mt19937 rng(7);
  std::vector<bool> kept(5000, true);
  for (int k = 0; k < 4000; ++k) {
    const size_t i = rng() % 5000;
    set.erase(&arena[16 * i]);
    kept[i] = false;
  }
  size_t left = 0;
  for (size_t i = 0; i < 5000; ++i) {
    ASSERT_EQ(set.contains(&arena[16 * i]), kept[i]) << i;
    left += kept[i];
  }
  EXPECT_EQ(set.size(), left);
  EXPECT_FALSE(set.contains(&arena[8]));
  EXPECT_FALSE(set.contains(nullptr));
}
