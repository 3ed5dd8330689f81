// Display formats: their names, and numbers, missing values and texts shown
// in them, each worked out by hand.
#include "vyn/data/format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "vyn/data/missing.h"

namespace vyn::data {
namespace {

TEST(ParseFormat, NamesAndWhatTheyMean) {
  using K = Format::Kind;
  const struct {
    const char *name;
    Format format;
    const char *canonical;
  } cases[] = {
      {"8.2", {K::kFixed, 8, 2}, "8.2"},
      {"5.", {K::kFixed, 5, 0}, "5."},
      {"F6.1", {K::kFixed, 6, 1}, "6.1"},
      {"BEST12.", kBest12, "BEST12."},
      {"best8.", {K::kBest, 8, 0}, "BEST8."},
      {"BEST.", kBest12, "BEST12."},
      {"$10.", {K::kChar, 10, 0}, "$10."},
      {"$.", {K::kChar, 0, 0}, "$."},
      {"$32767.", {K::kChar, 32767, 0}, "$32767."},
  };
  for (const auto &c : cases) {
    const std::optional<Format> f = parseFormat(c.name);
    ASSERT_TRUE(f.has_value()) << c.name;
    EXPECT_EQ(*f, c.format) << c.name;
    EXPECT_EQ(formatName(*f), c.canonical) << c.name;
  }
  for (const char *bad : {"", "8", "8.2.", "BEST12", "BEST0.", "BEST33.", "0.", "33.", "4.4.",
                          "4.5", "$0.", "$32768.", "$1x.", "abc.", "8..", ".2", "$ 5.", "-3."})
    EXPECT_FALSE(parseFormat(bad).has_value()) << bad;
}

TEST(FormatNumber, ValuesInTheirFormats) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    const char *format, *expected;
  } cases[] = {
      // BESTw.: up to 15 significant digits, E notation only when it shows more
      {0, "BEST12.", "           0"},
      {-0.0, "BEST12.", "           0"},
      {100, "BEST12.", "         100"},
      {3.14159, "BEST12.", "     3.14159"},
      {-2.5, "BEST12.", "        -2.5"},
      {1.0 / 3.0, "BEST12.", "0.3333333333"},
      {-1.0 / 3.0, "BEST12.", "-0.333333333"},
      {0.1 + 0.2, "BEST12.", "         0.3"},
      {12345678.9, "BEST12.", "  12345678.9"},
      {1e11, "BEST12.", "100000000000"},
      {-0.000001234, "BEST12.", "-0.000001234"},
      {1e12, "BEST12.", "       1E+12"},
      {1.23e15, "BEST12.", "    1.23E+15"},
      {123456789012345.0, "BEST12.", "1.234568E+14"},
      {1.23e-10, "BEST12.", "    1.23E-10"},
      {-1.5e300, "BEST12.", "   -1.5E+300"},
      {123456789012.0, "BEST10.", "1.2346E+11"},
      {9999999, "BEST6.", " 1E+07"},
      {1234.5678, "BEST6.", "1234.6"},
      {0.5, "BEST5.", "  0.5"},
      {0.5, "BEST2.", ".5"},
      {0.25, "BEST3.", "0.3"},
      {0.25, "BEST2.", ".3"},
      {5, "BEST1.", "5"},
      {-5, "BEST1.", "*"},
      {1000, "BEST3.", "***"},
      {99.96, "BEST4.", " 100"},
      {1e-10, "BEST4.", "   0"},
      // w.d: rounded half away from zero, no "-0.00", then BESTw., then asterisks
      {3.14159, "8.2", "    3.14"},
      {-1234.567, "8.2", "-1234.57"},
      {0, "8.2", "    0.00"},
      {-0.001, "8.2", "    0.00"},
      {0.125, "4.2", "0.13"},
      {2.5, "5.", "    3"},
      {-2.5, "5.", "   -3"},
      {7, "3.1", "7.0"},
      {1e-20, "6.3", " 0.000"},
      {0.123, "3.2", ".12"},
      {-0.5, "3.2", "-.5"},
      {123456.789, "8.2", "123456.8"},
      {1e20, "8.2", "   1E+20"},
      {1e20, "4.1", "****"},
      // missing values show their letter; "._" is blank; infinities are I and M
      {missingValue('.'), "BEST12.", "           ."},
      {missingValue('A'), "BEST12.", "           A"},
      {missingValue('Z'), "8.2", "       Z"},
      {missingValue('_'), "BEST12.", "            "},
      {missingValue('I'), "5.", "    I"},
      {std::nan(""), "3.", "  ."},
      {inf, "3.", "  I"},
      {-inf, "3.", "  M"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(formatNumber(c.value, *parseFormat(c.format)), c.expected)
        << c.value << " " << c.format;
}

TEST(FormatNumber, EveryWidthIsFilledAndWideOnesKeepFifteenDigits) {
  for (double v : {0.0, 1.0, -1.0, 0.5, 123.456, -98765.4321, 1e-300, 1.7e308, -2.2e-308, 6.02e23,
                   42.0001, 1e15, 0.999999999999, 2.5e-300})
    for (int w = 1; w <= 32; ++w) {
      const std::string s = formatNumber(v, Format{Format::Kind::kBest, w, 0});
      EXPECT_EQ(s.size(), static_cast<size_t>(w)) << v << " " << w;
      if (w >= 20 && s.find('*') == std::string::npos) {
        EXPECT_NEAR(std::strtod(s.c_str(), nullptr), v, std::fabs(v) * 1e-14) << s;
      }
    }
}

TEST(FormatChars, PadsCutsWithoutSplittingACharacterAndTrims) {
  const struct {
    const char *value;
    int width;
    const char *expected;
  } cases[] = {{"abc", 5, "abc  "},
               {"abcdef", 4, "abcd"},
               {"", 2, "  "},
               {"a\xC3\xA9z", 2, "a "},
               {"a\xC3\xA9z", 3, "a\xC3\xA9"}};
  for (const auto &c : cases) EXPECT_EQ(formatChars(c.value, c.width), c.expected) << c.value;
  EXPECT_EQ(trimBlanks("  a b \t"), "a b");
  EXPECT_EQ(trimBlanks("   "), "");
}

}  // namespace
}  // namespace vyn::data
