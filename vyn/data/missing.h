// Missing values of the host: NaNs whose payload carries the letter.
//
// Encoding: a missing value is the quiet NaN 0x7FF8'4D56'0000'00LL, where LL
// is the character code of its letter: '.' the standard missing value, '_'
// and 'A'..'Z' the special ones. 'I' (infinite upper value) and 'M' (infinite
// lower value), which the procedure uses as results, are the special missing
// values .I and .M: one encoding serves both. The tag 0x4D56 ("MV") keeps our
// values apart from NaNs that arithmetic makes; any NaN without the tag (for
// example 0/0) counts as the standard missing value '.'.
#pragma once

#include <bit>
#include <cstdint>

namespace vyn::data {

inline constexpr uint64_t kMissingBits = 0x7FF84D5600000000ull;  // quiet NaN, tag "MV"
inline constexpr uint64_t kMissingMask = 0xFFFFFFFFFFFFFF00ull;

// True for the letters that name a missing value: '.', '_', 'A'..'Z'.
constexpr bool isMissingLetter(char c) {
  return c == '.' || c == '_' || (c >= 'A' && c <= 'Z');
}

// The missing value of a letter; lower-case letters give the upper-case
// value, and any other character gives the standard missing value '.'.
constexpr double missingValue(char letter) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
  if (!isMissingLetter(letter)) letter = '.';
  return std::bit_cast<double>(kMissingBits | static_cast<unsigned char>(letter));
}

// The letter of a missing value ('.', '_', 'A'..'Z'), '.' for any other NaN,
// and '\0' for a number that is not missing.
constexpr char missingLetter(double v) {
  if (v == v) return '\0';  // not a NaN
  uint64_t bits = std::bit_cast<uint64_t>(v);
  char c = static_cast<char>(bits & 0xFF);
  if ((bits & kMissingMask) == kMissingBits && isMissingLetter(c)) return c;
  return '.';
}

constexpr bool isMissing(double v) {
  return v != v;
}

// The sort order of missing values, all below every number:
// ._ < . < .A < .B < ... < .Z. Returns 0 for '_', 1 for '.', 2.. for letters.
constexpr int missingRank(char letter) {
  return letter == '_' ? 0 : letter == '.' ? 1 : 2 + (letter - 'A');
}

// Compares two numeric values in sort order (missing values first, in the
// order of missingRank): negative, zero or positive.
constexpr int compareNumbers(double a, double b) {
  bool ma = a != a, mb = b != b;
  if (ma || mb) {
    if (!mb) return -1;
    if (!ma) return 1;
    return missingRank(missingLetter(a)) - missingRank(missingLetter(b));
  }
  return a < b ? -1 : a > b ? 1 : 0;
}

// The missing-value table: 256 doubles indexed by the character code of a
// letter. Entries '.', '_', 'A'..'Z' (with 'I' = 73 and 'M' = 77) hold their
// missing values, 'a'..'z' those of the upper-case letters, every other entry
// the standard missing value. The table is static and lives for the program.
const double *missingValueTable();

// Bits of the character-class table.
inline constexpr uint16_t kClassDigit = 1u << 0;     // '0'..'9'
inline constexpr uint16_t kClassUpper = 1u << 1;     // 'A'..'Z'
inline constexpr uint16_t kClassLower = 1u << 2;     // 'a'..'z'
inline constexpr uint16_t kClassNameChar = 1u << 3;  // letter, digit or '_'
inline constexpr uint16_t kClassBlank = 1u << 8;     // ' ', '\t', '\n', '\v', '\f', '\r'

// The character-class table: 256 entries of the bits above, indexed by the
// character code. The connection only relies on bit 8 (blank).
const uint16_t *characterClassTable();

}  // namespace vyn::data
