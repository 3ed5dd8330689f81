// Missing values: NaNs that carry their letter, their order, the table the
// module reads them from, and the character classes handed to the module.
#include "vyn/data/missing.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <set>

#include "host/vynconn.h"

namespace vyn::data {
namespace {

TEST(Missing, LettersRoundTripAndOtherValuesDoNot) {
  std::set<uint64_t> bits;
  for (char c : std::string("._ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
    const double v = missingValue(c);
    EXPECT_TRUE(std::isnan(v) && isMissing(v)) << c;
    EXPECT_EQ(missingLetter(v), c);
    EXPECT_TRUE(isMissing(v + 1.0)) << c;
    bits.insert(std::bit_cast<uint64_t>(v));
  }
  EXPECT_EQ(bits.size(), 28u);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  volatile double zero = 0.0;
  const std::pair<double, char> others[] = {{missingValue('a'), 'A'},
                                            {missingValue('z'), 'Z'},
                                            {missingValue('?'), '.'},
                                            {zero / zero, '.'},
                                            {nan, '.'},
                                            {-nan, '.'},
                                            {0.0, '\0'},
                                            {-1.5, '\0'},
                                            {std::numeric_limits<double>::infinity(), '\0'}};
  for (const auto &[v, letter] : others) EXPECT_EQ(missingLetter(v), letter) << letter;
}

TEST(Missing, SortBeforeNumbersUnderscoreFirst) {
  // ._ < . < .A < ... < .Z < every number
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

TEST(Missing, TableByCharacterCode) {
  const double *t = missingValueTable();
  for (int c = 0; c < 256; ++c) {
    const char expected = c == '_'          ? '_'
                          : std::isupper(c) ? char(c)
                          : std::islower(c) ? char(std::toupper(c))
                                            : '.';
    EXPECT_TRUE(std::isnan(t[c])) << c;
    EXPECT_EQ(missingLetter(t[c]), expected) << c;
  }
}

TEST(CharacterClasses, BitsOfEachClass) {
  const uint16_t *cls = characterClassTable();
  EXPECT_EQ(kClassBlank, vynconn::kClassBlank);
  EXPECT_EQ(kClassBlank, 1u << 8);
  const std::pair<uint16_t, const char *> members[] = {{kClassBlank, " \t\n\v\f\r"},
                                                       {kClassDigit, "0123456789"},
                                                       {kClassUpper, "AQZ"},
                                                       {kClassLower, "aqz"},
                                                       {kClassNameChar, "_aZ09"}};
  const std::pair<uint16_t, const char *> strangers[] = {
      {kClassBlank, "a0_.,\"\x01\xA0"}, {kClassNameChar, "-. $"}, {kClassDigit, "a/:"}};
  for (const auto &[bit, chars] : members)
    for (const char *c = chars; *c; ++c)
      EXPECT_TRUE(cls[static_cast<unsigned char>(*c)] & bit) << *c;
  for (const auto &[bit, chars] : strangers)
    for (const char *c = chars; *c; ++c)
      EXPECT_FALSE(cls[static_cast<unsigned char>(*c)] & bit) << *c;
  EXPECT_FALSE(cls[0] & kClassBlank);
}

}  // namespace
}  // namespace vyn::data
