#include "vyn/data/missing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "host/vynconn.h"

namespace vyn::data {
namespace {

TEST(Missing, EveryLetterRoundTrips) {
  for (char c : std::string("._ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
    double v = missingValue(c);
    EXPECT_TRUE(std::isnan(v)) << c;
    EXPECT_TRUE(isMissing(v)) << c;
    EXPECT_EQ(missingLetter(v), c);
  }
}

TEST(Missing, LettersAreDistinct) {
  uint64_t a, b;
  double va = missingValue('A'), vb = missingValue('B');
  std::memcpy(&a, &va, 8);
  std::memcpy(&b, &vb, 8);
  EXPECT_NE(a, b);
}

TEST(Missing, LowerCaseGivesUpperCase) {
  EXPECT_EQ(missingLetter(missingValue('a')), 'A');
  EXPECT_EQ(missingLetter(missingValue('z')), 'Z');
}

TEST(Missing, NumbersAreNotMissing) {
  EXPECT_EQ(missingLetter(0.0), '\0');
  EXPECT_EQ(missingLetter(-1.5), '\0');
  EXPECT_EQ(missingLetter(std::numeric_limits<double>::infinity()), '\0');
  EXPECT_FALSE(isMissing(1e300));
}

TEST(Missing, OtherNaNsAreTheStandardMissingValue) {
  volatile double zero = 0.0;
  EXPECT_EQ(missingLetter(zero / zero), '.');
  EXPECT_EQ(missingLetter(std::numeric_limits<double>::quiet_NaN()), '.');
  EXPECT_EQ(missingLetter(-std::numeric_limits<double>::quiet_NaN()), '.');
  EXPECT_EQ(missingLetter(missingValue('?')), '.');  // not a missing letter
}

TEST(Missing, ArithmeticKeepsItMissing) {
  double v = missingValue('A') + 1.0;
  EXPECT_TRUE(isMissing(v));
}

TEST(Missing, TableEntriesTheModuleUses) {
  const double *t = missingValueTable();
  EXPECT_EQ(missingLetter(t[46]), '.');
  EXPECT_EQ(missingLetter(t[73]), 'I');
  EXPECT_EQ(missingLetter(t[77]), 'M');
  EXPECT_EQ(missingLetter(t[95]), '_');
  for (char c = 'A'; c <= 'Z'; ++c) EXPECT_EQ(missingLetter(t[static_cast<unsigned char>(c)]), c);
  for (char c = 'a'; c <= 'z'; ++c)
    EXPECT_EQ(missingLetter(t[static_cast<unsigned char>(c)]), c - 'a' + 'A');
  for (int c = 0; c < 256; ++c) EXPECT_TRUE(std::isnan(t[c])) << c;
  EXPECT_EQ(missingLetter(t[0]), '.');
  EXPECT_EQ(missingLetter(t[static_cast<unsigned char>('0')]), '.');
}

TEST(Missing, SortOrder) {
  // ._ < . < .A < ... < .Z < every number
  EXPECT_LT(compareNumbers(missingValue('_'), missingValue('.')), 0);
  EXPECT_LT(compareNumbers(missingValue('.'), missingValue('A')), 0);
  EXPECT_LT(compareNumbers(missingValue('A'), missingValue('Z')), 0);
  EXPECT_LT(compareNumbers(missingValue('Z'), -1e300), 0);
  EXPECT_LT(compareNumbers(-1.0, 2.0), 0);
  EXPECT_GT(compareNumbers(2.0, -1.0), 0);
  EXPECT_EQ(compareNumbers(0.0, -0.0), 0);
  EXPECT_EQ(compareNumbers(missingValue('B'), missingValue('B')), 0);
  EXPECT_GT(compareNumbers(1.0, missingValue('.')), 0);
}

TEST(CharacterClasses, BlankBit) {
  const uint16_t *cls = characterClassTable();
  EXPECT_EQ(kClassBlank, vynconn::kClassBlank);
  EXPECT_EQ(kClassBlank, 1u << 8);
  for (char c : std::string(" \t\n\v\f\r"))
    EXPECT_TRUE(cls[static_cast<unsigned char>(c)] & kClassBlank);
  for (char c : std::string("a0_.,\""))
    EXPECT_FALSE(cls[static_cast<unsigned char>(c)] & kClassBlank);
  EXPECT_FALSE(cls[0] & kClassBlank);
  EXPECT_FALSE(cls[0xA0] & kClassBlank);
}

TEST(CharacterClasses, OtherBits) {
  const uint16_t *cls = characterClassTable();
  EXPECT_TRUE(cls[static_cast<unsigned char>('7')] & kClassDigit);
  EXPECT_TRUE(cls[static_cast<unsigned char>('Q')] & kClassUpper);
  EXPECT_TRUE(cls[static_cast<unsigned char>('q')] & kClassLower);
  EXPECT_TRUE(cls[static_cast<unsigned char>('_')] & kClassNameChar);
  EXPECT_FALSE(cls[static_cast<unsigned char>('-')] & kClassNameChar);
}

}  // namespace
}  // namespace vyn::data
