// Remembered quantiles: the bits and result of a fresh call, first time and after, for a
// grid of (df, p) asked in turn, other levels of the same df in between.
#include <gtest/gtest.h>

#include <bit>

#include "numerics/zdist.h"

TEST(Memo, SameBitsAsFreshCalls) {
  using B = std::uint64_t;
  for (int pass = 0; pass < 2; ++pass) {
    for (double df : {0.5, 1.0, 3.0, 4.25, 9.0, 97.0, 98.0, 1e4}) {
      for (double p : {0.005, 0.025, 0.05, 0.5, 0.975, 1.0, -0.1}) {
        ztreq t{};
        zcreq c{};
        t.mode = c.mode = ZMODE_QUANTILE, t.df = c.df = df, t.p = c.p = p;
        double tx = 0, cx = 0, a1 = -1, a2 = -1, m1 = -1, m2 = -1;
        EXPECT_EQ(zmemotq(p, df, &tx), zlogtnc(&t)) << df << " " << p;
        EXPECT_EQ(zmemocq(p, df, &cx), zlogcnc(&c)) << df << " " << p;
        EXPECT_EQ(zmemocnf1c(p, df, &m1, &m2), zcnf1c(p, df, &a1, &a2)) << df << " " << p;
        EXPECT_EQ(std::bit_cast<B>(tx), std::bit_cast<B>(t.x)) << df << " " << p;
        EXPECT_EQ(std::bit_cast<B>(cx), std::bit_cast<B>(c.x)) << df << " " << p;
        EXPECT_TRUE(std::bit_cast<B>(m1) == std::bit_cast<B>(a1) && m2 == a2) << df << " " << p;
      }
    }
  }
}
