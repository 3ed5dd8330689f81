// The exponent taken from a double and moved within it, at the edges of the
// normal range where the bit path must hand over to the library's rounding.
// Every expected value is worked out by hand from the binary form.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <utility>

#include "stat/src/krvwide.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

bool sameBits(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

TEST(WideExponents, MovingAnExponentRoundsOnlyOutsideTheNormalRange) {
  struct Case {
    double x;
    int32_t n;
    double want;
  };
  const Case cases[] = {
      {-0.75, 3, -6.0},
      {1.5, -1022, 0x1.8p-1022},                // the last normal exponent
      {1.5, -1023, 0x0.Cp-1022},                // subnormal, exact
      {0x1.0000000000001p0, -1075, 0x1p-1074},  // just above half the least subnormal
      {0x1p-1074, 1074, 1.0},                   // from a subnormal
      {0x1.fffffffffffffp0, 1023, 0x1.fffffffffffffp1023},
      {1.0, 1024, kInf},
      {1.5, 1024, kInf},  // on the bits, an exponent of all ones with a fraction: a NaN
      {-1.0, 1024, -kInf},
      {1.0, std::numeric_limits<int32_t>::max(), kInf},
      {1.0, std::numeric_limits<int32_t>::min(), 0.0},
      {-0.0, 7, -0.0},
  };
  for (const Case &c : cases) {
    EXPECT_TRUE(sameBits(krvldexp(c.x, c.n), c.want)) << c.x << " * 2^" << c.n;
  }
}

TEST(WideExponents, TakingAnExponentLeavesAFractionInHalfToOne) {
  struct Case {
    double x;
    double fraction;
    int32_t e;
  };
  const Case cases[] = {
      {6.0, 0.75, 3},
      {-0x1p-1022, -0.5, -1021},
      {0x1p-1074, 0.5, -1073},  // subnormal
      {0x1.fffffffffffffp1023, 0x1.fffffffffffffp-1, 1024},
      {0.0, 0.0, 0},
  };
  for (const Case &c : cases) {
    int32_t e = 99;
    EXPECT_TRUE(sameBits(krvfrexp(c.x, &e), c.fraction)) << c.x;
    EXPECT_EQ(e, c.e) << c.x;
  }
}

TEST(WideExponents, PlainValuesArePositiveWithinTwoToThe300EitherWay) {
  const std::pair<double, bool> cases[] = {
      {1.0, true},
      {0x1p-300, true},
      {0x1.fffffffffffffp300, true},
      {0x1.fffffffffffffp-301, false},
      {0x1p301, false},
      {-1.0, false},
      {0.0, false},
      {-0.0, false},
      {0x1p-1074, false},
      {kInf, false},
      {std::numeric_limits<double>::quiet_NaN(), false},
  };
  for (const auto &[x, plain] : cases) EXPECT_EQ(krvwide_plain(x), plain) << x;
}

}  // namespace
