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

// BESTw. shows up to 15 significant digits, in E notation only when that shows
// more; w.d rounds half away from zero, never shows "-0.00", and falls back to
// BESTw. and then to asterisks; a missing value shows its letter ("._" blank),
// infinities show as I and M.
TEST(FormatNumber, ValuesInTheirFormats) {
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<const char *, std::vector<std::pair<double, const char *>>> cases[] = {
      {"BEST12.",
       {{0, "           0"},
        {-0.0, "           0"},
        {100, "         100"},
        {-10000, "      -10000"},
        {3.14159, "     3.14159"},
        {-2.5, "        -2.5"},
        {1.0 / 3.0, "0.3333333333"},
        {-1.0 / 3.0, "-0.333333333"},
        {0.1 + 0.2, "         0.3"},
        {12345678.9, "  12345678.9"},
        {1e11, "100000000000"},
        {-0.000001234, "-0.000001234"},
        {1e12, "       1E+12"},
        {1.23e15, "    1.23E+15"},
        {123456789012345.0, "1.234568E+14"},
        {1.23e-10, "    1.23E-10"},
        {-1.5e300, "   -1.5E+300"},
        {missingValue('.'), "           ."},
        {missingValue('A'), "           A"},
        {missingValue('_'), "            "}}},
      {"BEST10.", {{123456789012.0, "1.2346E+11"}}},
      {"BEST16.", {{1e15, "1000000000000000"}, {-999999999999999.0, "-999999999999999"}}},
      {"BEST15.", {{-999999999999999.0, "         -1E+15"}}},
      {"BEST20.", {{1234567890123456.0, "    1234567890123460"}}},
      {"BEST6.", {{9999999, " 1E+07"}, {1234.5678, "1234.6"}}},
      {"BEST5.", {{0.5, "  0.5"}}},
      {"BEST2.", {{0.5, ".5"}, {0.25, ".3"}}},
      {"BEST3.", {{0.25, "0.3"}, {1000, "***"}}},
      {"BEST1.", {{5, "5"}, {-5, "*"}}},
      {"BEST4.", {{99.96, " 100"}, {1e-10, "   0"}}},
      {"8.2",
       {{3.14159, "    3.14"},
        {-1234.567, "-1234.57"},
        {0, "    0.00"},
        {-0.001, "    0.00"},
        {123456.789, "123456.8"},
        {-42, "  -42.00"},
        {1e20, "   1E+20"},
        {missingValue('Z'), "       Z"}}},
      {"4.2", {{0.125, "0.13"}}},
      {"5.", {{2.5, "    3"}, {-2.5, "   -3"}, {missingValue('I'), "    I"}}},
      {"3.1", {{7, "7.0"}}},
      {"5.3", {{12, "   12"}}},
      {"6.3", {{1e-20, " 0.000"}}},
      {"3.2", {{0.123, ".12"}, {-0.5, "-.5"}}},
      {"4.1", {{1e20, "****"}}},
      {"3.", {{std::nan(""), "  ."}, {inf, "  I"}, {-inf, "  M"}}},
  };
  for (const auto &[format, shown] : cases)
    for (const auto &[value, expected] : shown)
      EXPECT_EQ(formatNumber(value, *parseFormat(format)), expected) << value << " " << format;
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
