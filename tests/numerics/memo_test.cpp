// The remembered quantiles give, first time and every time after, the bits and the result
// of a fresh call, for each (df, p) of a grid asked in turn with other levels in between.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "numerics/zdist.h"

namespace {

std::uint64_t bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

TEST(Memo, SameBitsAsFreshCalls) {
  const double dfs[] = {0.5, 1, 2, 3, 4.25, 9, 29, 97, 98, 1e4};
  const double ps[] = {0.005, 0.025, 0.05, 0.5, 0.95, 0.975, 0.995, 1.0, -0.1};
  for (int pass = 0; pass < 2; ++pass) {
    for (double df : dfs) {
      for (double p : ps) {
        SCOPED_TRACE(testing::Message() << "pass " << pass << " df " << df << " p " << p);
        ztreq t{};
        t.mode = ZMODE_QUANTILE, t.df = df, t.p = p;
        zcreq c{};
        c.mode = ZMODE_QUANTILE, c.df = df, c.p = p;
        const int trc = zlogtnc(&t), crc = zlogcnc(&c);
        double tx = 0, cx = 0;
        EXPECT_EQ(zmemotq(p, df, &tx), trc);
        EXPECT_EQ(zmemocq(p, df, &cx), crc);
        EXPECT_EQ(bits(tx), bits(t.x));
        EXPECT_EQ(bits(cx), bits(c.x));
        double a1 = -1, a2 = -1, m1 = -1, m2 = -1;
        const int urc = zcnf1c(p, df, &a1, &a2);
        EXPECT_EQ(zmemocnf1c(p, df, &m1, &m2), urc);
        EXPECT_EQ(bits(m1), bits(a1));  // untouched on failure, as fresh
        EXPECT_EQ(bits(m2), bits(a2));
      }
    }
  }
}

}  // namespace
