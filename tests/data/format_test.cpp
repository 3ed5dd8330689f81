#include "vyn/data/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "vyn/data/missing.h"

namespace vyn::data {
namespace {

Format fmt(const char *name) {
  std::optional<Format> f = parseFormat(name);
  EXPECT_TRUE(f.has_value()) << name;
  return f.value_or(kBest12);
}

std::string show(double v, const char *name) {
  return formatNumber(v, fmt(name));
}

TEST(ParseFormat, Names) {
  EXPECT_EQ(fmt("8.2"), (Format{Format::Kind::kFixed, 8, 2}));
  EXPECT_EQ(fmt("5."), (Format{Format::Kind::kFixed, 5, 0}));
  EXPECT_EQ(fmt("F6.1"), (Format{Format::Kind::kFixed, 6, 1}));
  EXPECT_EQ(fmt("BEST12."), kBest12);
  EXPECT_EQ(fmt("best8."), (Format{Format::Kind::kBest, 8, 0}));
  EXPECT_EQ(fmt("BEST."), kBest12);
  EXPECT_EQ(fmt("$10."), (Format{Format::Kind::kChar, 10, 0}));
  EXPECT_EQ(fmt("$."), (Format{Format::Kind::kChar, 0, 0}));
  EXPECT_EQ(fmt("$32767."), (Format{Format::Kind::kChar, 32767, 0}));
}

TEST(ParseFormat, Rejects) {
  for (const char *bad : {"", "8", "8.2.", "BEST12", "BEST0.", "BEST33.", "0.", "33.", "4.4.",
                          "4.5", "$0.", "$32768.", "$1x.", "abc.", "8..", ".2", "$ 5.", "-3."})
    EXPECT_FALSE(parseFormat(bad).has_value()) << bad;
}

TEST(ParseFormat, NamesRoundTrip) {
  for (const char *name : {"8.2", "5.", "BEST12.", "BEST5.", "$10.", "$."})
    EXPECT_EQ(formatName(fmt(name)), name);
}

TEST(FormatBest, PlainNumbers) {
  EXPECT_EQ(show(0, "BEST12."), "           0");
  EXPECT_EQ(show(-0.0, "BEST12."), "           0");
  EXPECT_EQ(show(100, "BEST12."), "         100");
  EXPECT_EQ(show(3.14159, "BEST12."), "     3.14159");
  EXPECT_EQ(show(-2.5, "BEST12."), "        -2.5");
  EXPECT_EQ(show(1.0 / 3.0, "BEST12."), "0.3333333333");
  EXPECT_EQ(show(-1.0 / 3.0, "BEST12."), "-0.333333333");
  EXPECT_EQ(show(0.1 + 0.2, "BEST12."), "         0.3");  // 15 significant digits
  EXPECT_EQ(show(12345678.9, "BEST12."), "  12345678.9");
  EXPECT_EQ(show(1e11, "BEST12."), "100000000000");
  EXPECT_EQ(show(-0.000001234, "BEST12."), "-0.000001234");
}

TEST(FormatBest, ENotationWhenItShowsMore) {
  EXPECT_EQ(show(1e12, "BEST12."), "       1E+12");
  EXPECT_EQ(show(1.23e15, "BEST12."), "    1.23E+15");
  EXPECT_EQ(show(123456789012345.0, "BEST12."), "1.234568E+14");
  EXPECT_EQ(show(1.23e-10, "BEST12."), "    1.23E-10");
  EXPECT_EQ(show(-1.5e300, "BEST12."), "   -1.5E+300");
  EXPECT_EQ(show(123456789012.0, "BEST10."), "1.2346E+11");
  EXPECT_EQ(show(9999999, "BEST6."), " 1E+07");
}

TEST(FormatBest, NarrowWidths) {
  EXPECT_EQ(show(1234.5678, "BEST6."), "1234.6");
  EXPECT_EQ(show(0.5, "BEST5."), "  0.5");
  EXPECT_EQ(show(0.5, "BEST2."), ".5");
  EXPECT_EQ(show(0.25, "BEST3."), "0.3");
  EXPECT_EQ(show(0.25, "BEST2."), ".3");
  EXPECT_EQ(show(5, "BEST1."), "5");
  EXPECT_EQ(show(-5, "BEST1."), "*");
  EXPECT_EQ(show(1000, "BEST3."), "***");
  EXPECT_EQ(show(99.96, "BEST4."), " 100");
  EXPECT_EQ(show(1e-10, "BEST4."), "   0");
}

TEST(FormatBest, EveryWidthIsExact) {
  const double values[] = {0,       1,         -1,      0.5,     123.456, -98765.4321,   1e-300,
                           1.7e308, -2.2e-308, 6.02e23, 42.0001, 1e15,    0.999999999999};
  for (double v : values)
    for (int w = 1; w <= 32; ++w) {
      std::string s = formatNumber(v, Format{Format::Kind::kBest, w, 0});
      EXPECT_EQ(s.size(), static_cast<size_t>(w)) << v << " " << w;
      if (s.find('*') == std::string::npos && s.find('E') == std::string::npos && w >= 17 &&
          v != 0) {
        EXPECT_NEAR(std::stod(s), v, std::fabs(v) * 1e-14) << s;
      }
    }
}

TEST(FormatBest, WideWidthsRoundTripFifteenDigits) {
  for (double v : {123.456, -98765.4321, 6.02e23, 1.7e308, 2.5e-300}) {
    std::string s = formatNumber(v, Format{Format::Kind::kBest, 32, 0});
    EXPECT_NEAR(std::stod(s), v, std::fabs(v) * 1e-14) << s;
  }
}

TEST(FormatFixed, Decimals) {
  EXPECT_EQ(show(3.14159, "8.2"), "    3.14");
  EXPECT_EQ(show(-1234.567, "8.2"), "-1234.57");
  EXPECT_EQ(show(0, "8.2"), "    0.00");
  EXPECT_EQ(show(-0.001, "8.2"), "    0.00");  // no "-0.00"
  EXPECT_EQ(show(0.125, "4.2"), "0.13");       // half away from zero
  EXPECT_EQ(show(2.5, "5."), "    3");
  EXPECT_EQ(show(-2.5, "5."), "   -3");
  EXPECT_EQ(show(7, "3.1"), "7.0");
  EXPECT_EQ(show(1e-20, "6.3"), " 0.000");
}

TEST(FormatFixed, DropsTheLeadingZeroBeforeFallingBack) {
  EXPECT_EQ(show(0.123, "3.2"), ".12");
  EXPECT_EQ(show(-0.5, "3.2"), "-.5");  // through BEST3.
}

TEST(FormatFixed, FallsBackToBestThenAsterisks) {
  EXPECT_EQ(show(123456.789, "8.2"), "123456.8");
  EXPECT_EQ(show(1e20, "8.2"), "   1E+20");
  EXPECT_EQ(show(1e20, "4.1"), "****");
}

TEST(FormatNumber, MissingValues) {
  EXPECT_EQ(formatNumber(missingValue('.'), kBest12), "           .");
  EXPECT_EQ(formatNumber(missingValue('A'), kBest12), "           A");
  EXPECT_EQ(formatNumber(missingValue('Z'), fmt("8.2")), "       Z");
  EXPECT_EQ(formatNumber(missingValue('_'), kBest12), "            ");
  EXPECT_EQ(formatNumber(missingValue('I'), fmt("5.")), "    I");
  EXPECT_EQ(formatNumber(std::numeric_limits<double>::quiet_NaN(), fmt("3.")), "  .");
  EXPECT_EQ(formatNumber(std::numeric_limits<double>::infinity(), fmt("3.")), "  I");
  EXPECT_EQ(formatNumber(-std::numeric_limits<double>::infinity(), fmt("3.")), "  M");
}

TEST(FormatChars, PadAndCut) {
  EXPECT_EQ(formatChars("abc", 5), "abc  ");
  EXPECT_EQ(formatChars("abcdef", 4), "abcd");
  EXPECT_EQ(formatChars("", 2), "  ");
  // "é" is two bytes: a cut never splits it
  EXPECT_EQ(formatChars("a\xC3\xA9z", 2), "a ");
  EXPECT_EQ(formatChars("a\xC3\xA9z", 3), "a\xC3\xA9");
}

TEST(TrimBlanks, Both) {
  EXPECT_EQ(trimBlanks("  a b \t"), "a b");
  EXPECT_EQ(trimBlanks("   "), "");
}

}  // namespace
}  // namespace vyn::data
