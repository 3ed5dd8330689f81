// Missing values: NaNs that carry their letter, their order, the table the
// module reads them from, and the character classes handed to the module.
#include "vyn/data/missing.h"

#include <gtest/gtest.h>

#include <bit>
#include <cctype>
#include <cmath>
#include <limits>
#include <set>

#include "host/vynconn.h"

namespace vyn::data {
namespace {

TEST(Missing, LettersRoundTripAndOtherNaNsAreTheStandardOne) {
  std::set<uint64_t> bits;
  for (char c : std::string("._ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
    EXPECT_EQ(missingLetter(missingValue(c)), c);
    EXPECT_TRUE(isMissing(missingValue(c) + 1.0)) << c;
    bits.insert(std::bit_cast<uint64_t>(missingValue(c)));
  }
  EXPECT_EQ(bits.size(), 28u);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<double, char> others[] = {{missingValue('a'), 'A'},
                                            {missingValue('z'), 'Z'},
                                            {missingValue('?'), '.'},
                                            {nan, '.'},
                                            {-nan, '.'},
                                            {0.0, '\0'},
                                            {-1.5, '\0'},
                                            {HUGE_VAL, '\0'}};
  for (const auto &[v, letter] : others) EXPECT_EQ(missingLetter(v), letter) << letter;
}

TEST(Missing, SortBeforeNumbersUnderscoreFirst) {
  const double ascending[] = {missingValue('_'),
                              missingValue('.'),
                              missingValue('A'),
                              missingValue('Z'),
                              -1e300,
                              -1.0,
                              0.0,
                              2.0};
  for (size_t i = 0; i + 1 < std::size(ascending); ++i) {
    EXPECT_LT(compareNumbers(ascending[i], ascending[i + 1]), 0) << i;
    EXPECT_GT(compareNumbers(ascending[i + 1], ascending[i]), 0) << i;
    EXPECT_EQ(compareNumbers(ascending[i], ascending[i]), 0) << i;
  }
  EXPECT_EQ(compareNumbers(0.0, -0.0), 0);
}

TEST(Missing, TablesByCharacterCode) {
  const double *t = missingValueTable();
  const uint16_t *cls = characterClassTable();
  EXPECT_EQ(kClassBlank, vynconn::kClassBlank);
  for (int c = 0; c < 256; ++c) {
    const char letter = c == '_' ? '_' : std::isalpha(c) ? char(std::toupper(c)) : '.';
    EXPECT_EQ(missingLetter(t[c]), letter) << c;
    const uint16_t expected =
        (std::isdigit(c) ? kClassDigit : 0) | (std::isupper(c) ? kClassUpper : 0) |
        (std::islower(c) ? kClassLower : 0) | (std::isalnum(c) || c == '_' ? kClassNameChar : 0) |
        (std::isspace(c) ? kClassBlank : 0);
    EXPECT_EQ(cls[c] & (kClassDigit | kClassUpper | kClassLower | kClassNameChar | kClassBlank),
              expected)
        << c;
  }
}

}  // namespace
}  // namespace vyn::data
