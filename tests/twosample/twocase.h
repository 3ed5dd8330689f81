// What the two-group tests share: a BY group of two CLASS levels, records
// made by hand, and the comparison of values and missing values.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <span>

#include "tests/stat/fakehost.h"
#include "xob/krvanal.h"
#include "xob/krvprocs.h"

#define EXPECT_REL(actual, expected, rel) EXPECT_NEAR(actual, expected, (rel)*std::fabs(expected))
#define EXPECT_MISSING(actual, letter) EXPECT_TRUE(isHostMissing(actual, letter)) << (actual)

// The rows of a BY group: `x` at CLASS value 1, `y` at CLASS value 2.
inline void twoLevels(FakeHost &host, std::span<const double> x, std::span<const double> y) {
  host.rows.clear();
  for (double v : x) host.rows.push_back({{v}, 1.0, 1.0, 1.0, "1"});
  for (double v : y) host.rows.push_back({{v}, 1.0, 1.0, 2.0, "2"});
}

// A finished group record of N values with this mean and variance.
inline krvstat groupRecord(double n, double mean, double variance) {
  krvstat r{};
  r.n = r.w = n;
  r.mean = mean;
  r.css = variance * (n - 1.0);
  return r;
}
