// The whole-row reading of the row parser against its field-by-field reading:
// where the whole-row reading takes a row, both give the same slots, bit for
// bit, and the same next row; where it leaves one, parse gives exactly what
// the field-by-field reading gives (its faults included).
#include "vyn/data/row_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/data/test_util.h"
#include "vyn/data/block_scan.h"
#include "vyn/data/missing.h"

namespace vyn::data {
namespace {

// c: 3 bytes of text, n: number, i: integer, x: a number not read, t: 5 bytes of text.
constexpr const char *kSchema = R"js({"fields": [
    {"name": "c", "type": "string", "length": 3}, {"name": "n", "type": "number"},
    {"name": "i", "type": "integer"}, {"name": "x", "type": "number"},
    {"name": "t", "type": "string", "length": 5}]})js";
constexpr size_t kColumns = 5;
const std::vector<int> kRead = {0, 1, 2, 4};

struct Store final : TextStore {
  std::string rooms[kColumns];
  char *room(size_t slot, size_t size) override {
    rooms[slot].assign(size, '\0');
    return rooms[slot].data();
  }
};

// The slots and the outcome of one reading of a row.
struct Reading {
  double numbers[kColumns];
  std::string_view texts[kColumns];
  Store store;
  const char *next = nullptr;
  int64_t newlines = -1;
  RowFault fault{-1};

  // Slots that parse must write hold stale values; the spare slot its missing value.
  explicit Reading(const RowParser &parser) {
    for (size_t s = 0; s < parser.slots(); ++s) {
      const bool spare = s + 1 == parser.slots();
      numbers[s] = spare || !parser.numeric(s) ? missingValue('.') : 12345.5;
      texts[s] = spare || parser.numeric(s) ? std::string_view() : "stale";
    }
  }
};

void expectSame(const Reading &a, const Reading &b, const RowParser &parser, const char *row) {
  const std::string shown(row, std::min<size_t>(std::strcspn(row, "\n") + 1, 80));
  EXPECT_EQ(a.next, b.next) << shown;
  EXPECT_EQ(a.newlines, b.newlines) << shown;
  EXPECT_EQ(a.fault.number, b.fault.number) << shown;
  EXPECT_EQ(a.fault.lineOffset, b.fault.lineOffset) << shown;
  EXPECT_EQ(a.fault.column, b.fault.column) << shown;
  EXPECT_EQ(a.fault.fields, b.fault.fields) << shown;
  EXPECT_EQ(a.fault.cell, b.fault.cell) << shown;
  for (size_t s = 0; s < parser.slots(); ++s) {
    EXPECT_EQ(std::bit_cast<uint64_t>(a.numbers[s]), std::bit_cast<uint64_t>(b.numbers[s]))
        << shown << " slot " << s;
    EXPECT_EQ(a.texts[s], b.texts[s]) << shown << " slot " << s;
  }
}

// Reads every row of the file both ways; returns the rows the whole-row reading took.
size_t compareReadings(const std::string &csv, char delimiter) {
  testing::TempDir dir;
  dir.write("s.schema.json", kSchema);
  auto ds = DataSet::open(dir.write("s.csv", csv), delimiter);
  RowParser parser(*ds, kRead);
  const char *p = ds->bytes().data() + csv.find('\n') + 1;
  const char *const end = ds->bytes().data() + ds->bytes().size();
  size_t taken = 0;
  for (int64_t lines = 0; (p = RowParser::skipBlankLines(p, end, lines)) < end;) {
    Reading byFields(parser), whole(parser), any(parser);
    byFields.next = parser.parseFieldByField(p, end, byFields.numbers, byFields.texts,
                                             byFields.store, byFields.newlines, byFields.fault);
    any.next = parser.parse(p, end, any.numbers, any.texts, any.store, any.newlines, any.fault);
    expectSame(any, byFields, parser, p);
    whole.next = parser.parseWholeRow(p, end, whole.numbers, whole.texts);
    if (whole.next != nullptr) {
      whole.newlines = 0;
      whole.fault = RowFault{};
      expectSame(whole, byFields, parser, p);
      ++taken;
    }
    p = byFields.next;
  }
  return taken;
}

// The bytes of a row (its line end included) are padded to `size` in the last text.
std::string rowOfSize(size_t size, const std::string &start) {
  return start + std::string(size - start.size() - 1, 'z') + "\n";
}

class WholeRows : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { scan::useWidestScan(GetParam()); }
  void TearDown() override { scan::useWidestScan(true); }
};

TEST_P(WholeRows, TakesPlainRowsAndLeavesTheOthers) {
  const std::string header = "c,n,i,x,t\n";
  struct Case {
    std::string rows;
    size_t taken;
  } const cases[] = {
      {"b,7.899,0,10.034,x\nb,-0,12,,\n", 2},
      {"abc,.5,-3,1e5,\xC3\xA9\xC3\xA9\xC3\xA9\r\n.,5.,,inf,.\n", 2},
      {"b,9007199254740992,1.0,+1,t\nb,.0000000000000000001,0,,t\n", 2},
      {"b,9007199254740993,0,,t\nb,1e3,0,,t\nb,-,0,,t\nb,-.,0,,t\nb,+5,0,,t\nb, 5,0,,t\n", 0},
      {"b,1.2.3,0,,t\nb,1,2.5,,t\nb,1,.,,t\nb,1,0,,t,u\nb,1,0,\nb,\"1\",0,,t\nb,1,0,,t\rt\n", 0},
      {rowOfSize(31, "b,1,2,3,") + rowOfSize(32, "b,1,2,3,") + rowOfSize(33, "b,1,2,3,") +
           rowOfSize(63, "b,1,2,3,") + rowOfSize(64, "b,1,2,3,") + rowOfSize(65, "b,1,2,3,"),
       5},
      {"b,1,2,3,last", 1},    // at the end of the text, without a line end
      {"b,1,2,3,last\r", 0},  // a lone CR is text
  };
  for (const Case &c : cases) EXPECT_EQ(compareReadings(header + c.rows, ','), c.taken) << c.rows;
}

// Rows of random fields (numbers of every shape, texts cut inside a UTF-8
// sequence, quotes, line ends, too few or too many fields), of every length
// around the 64-byte block, the last one up to the end of the text.
TEST_P(WholeRows, RandomRowsReadAsFieldByField) {
  static const char *const kNumbers[] = {"",
                                         ".",
                                         "-",
                                         "-.",
                                         "+5",
                                         "1e3",
                                         "2E-2",
                                         "inf",
                                         "NA",
                                         " 5",
                                         "5 ",
                                         "1.2.3",
                                         "--1",
                                         "-0",
                                         "5.",
                                         ".5",
                                         "-.5",
                                         "00012",
                                         "x",
                                         "9007199254740992",
                                         "9007199254740993",
                                         "12345678",
                                         "-9007199254740992",
                                         "123456789",
                                         "1234567890123456789",
                                         "12345678901234567890",
                                         "1.23456789",
                                         "\"3\"",
                                         "\"a,b\"",
                                         "\"1\n2\""};
  static const char *const kTexts[] = {
      "",      ".",         "ab",         "abc",
      "abcd",  "a\xC3\xA9", "ab\xC3\xA9", "\xE2\x82\xAC\xE2\x82\xAC",
      "\"q\"", "\"a\nb\"",  "x\ry"};
  std::mt19937 rng(2024);
  auto number = [&] {
    if (rng() % 3 != 0) return std::string(kNumbers[rng() % std::size(kNumbers)]);
    std::string digits = std::to_string(rng()) + std::to_string(rng()) + std::to_string(rng());
    digits = digits.substr(0, 1 + rng() % 20);
    if (rng() % 4 != 0) digits.insert(rng() % (digits.size() + 1), ".");
    return (rng() % 2 != 0 ? "-" : "") + digits;
  };
  size_t taken = 0;
  for (int file = 0; file < 400; ++file) {
    const char delimiter = file % 4 == 3 ? ';' : ',';
    std::string csv = std::string("c,n,i,x,t\n");
    std::replace(csv.begin(), csv.end(), ',', delimiter);
    for (int r = 0; r < 12; ++r) {
      const size_t fields = rng() % 8 != 0 ? kColumns : rng() % 7;
      for (size_t f = 0; f < fields; ++f) {
        if (f > 0) csv += delimiter;
        if (f == 0 || f == 4) {
          csv += rng() % 2 != 0 ? kTexts[rng() % std::size(kTexts)]
                                : std::string(rng() % 48, 'a' + static_cast<char>(f));
        } else {
          csv += f == 2 && rng() % 2 != 0 ? std::to_string(static_cast<int>(rng() % 2001) - 1000)
                                          : number();
        }
      }
      csv += r == 11 && rng() % 2 != 0 ? "" : rng() % 5 == 0 ? "\r\n" : "\n";
    }
    taken += compareReadings(csv, delimiter);
    if (::testing::Test::HasFailure()) return;
  }
  EXPECT_GT(taken, 400u);  // the whole-row reading took its share
}

// Numbers of 0, 1, 7, 8, 9, 19 and 20 digits side by side, a point at each
// place of each, a sign or none: every row is read as field by field.
TEST_P(WholeRows, DigitCountsAndPointPlacesReadAsFieldByField) {
  const std::string digits = "98765432109876543210";
  std::string csv = "c,n,i,x,t\n";
  for (size_t n : {0, 1, 7, 8, 9, 19, 20}) {
    for (size_t point = 0; point <= n + 1; ++point) {
      std::string number = digits.substr(0, n);
      if (point <= n) number.insert(point, ".");
      const std::string sign = point % 2 != 0 ? "-" : "";
      csv += "b," + sign + number + "," + digits.substr(0, n) + "," + number + ",t\n";
    }
  }
  EXPECT_GT(compareReadings(csv, ','), 30u);  // those of at most 9 digits
}

INSTANTIATE_TEST_SUITE_P(BlockScans, WholeRows, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) {
                           return std::string(info.param ? "Widest" : "Baseline");
                         });

// Values worked out by hand: 2^53, a negative zero, a short fraction.
TEST(WholeRow, ReadsPlainDecimals) {
  testing::TempDir dir;
  dir.write("s.schema.json", kSchema);
  const std::string csv = "c,n,i,x,t\n.,9007199254740992,-0,,t\nab,-.5,7,,t\n";
  auto ds = DataSet::open(dir.write("s.csv", csv));
  RowParser parser(*ds, kRead);
  Reading r(parser);
  const char *p = ds->bytes().data() + csv.find('\n') + 1;
  const char *const end = ds->bytes().data() + ds->bytes().size();
  p = parser.parseWholeRow(p, end, r.numbers, r.texts);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(r.numbers[1], 9007199254740992.0);
  EXPECT_TRUE(std::signbit(r.numbers[2]) && r.numbers[2] == 0);
  EXPECT_EQ(r.texts[0], "");
  ASSERT_NE(parser.parseWholeRow(p, end, r.numbers, r.texts), nullptr);
  EXPECT_EQ(r.numbers[1], -0.5);
  EXPECT_EQ(r.numbers[2], 7);
  EXPECT_EQ(r.texts[0], "ab");
}

}  // namespace
}  // namespace vyn::data
