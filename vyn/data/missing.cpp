#include "vyn/data/missing.h"

#include <array>

#include "host/vynconn.h"

namespace vyn::data {

static_assert(kClassBlank == vynconn::kClassBlank, "bit 8 marks a blank for the module");
static_assert(missingLetter(missingValue('.')) == '.');
static_assert(missingLetter(missingValue('I')) == 'I');
static_assert(missingLetter(1.5) == '\0');

namespace {

constexpr std::array<double, 256> makeMissingTable() {
  std::array<double, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = missingValue(static_cast<char>(c));
  return t;
}

constexpr std::array<uint16_t, 256> makeClassTable() {
  std::array<uint16_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    uint16_t bits = 0;
    if (c >= '0' && c <= '9') bits |= kClassDigit | kClassNameChar;
    if (c >= 'A' && c <= 'Z') bits |= kClassUpper | kClassNameChar;
    if (c >= 'a' && c <= 'z') bits |= kClassLower | kClassNameChar;
    if (c == '_') bits |= kClassNameChar;
    if (c == ' ' || (c >= '\t' && c <= '\r')) bits |= kClassBlank;
    t[c] = bits;
  }
  return t;
}

constexpr std::array<double, 256> kMissingTable = makeMissingTable();
constexpr std::array<uint16_t, 256> kClassTable = makeClassTable();

}  // namespace

const double *missingValueTable() {
  return kMissingTable.data();
}
const uint16_t *characterClassTable() {
  return kClassTable.data();
}

}  // namespace vyn::data
