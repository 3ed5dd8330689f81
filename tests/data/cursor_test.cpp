#include "vyn/data/cursor.h"

#include <gtest/gtest.h>

#include <bit>
#include <cctype>
#include <charconv>
#include <cstring>
#include <random>
#include <sstream>

#include "tests/data/alloc_counter.h"
#include "tests/data/reference_csv.h"
#include "tests/data/test_util.h"
#include "vyn/data/block_scan.h"
#include "vyn/data/error.h"
#include "vyn/data/missing.h"

namespace vyn::data {
namespace {

std::unique_ptr<DataSet> text(std::string csv) {
  return DataSet::fromText("t.csv", std::move(csv));
}

TEST(Cursor, ReadsOnlySelectedColumnsAndSeeksBack) {
  auto ds = text("a,b,c\n1,x,3\n4,y,6\n7,z,9\n");
  Cursor c(*ds, std::vector<int>{2, 5, -1});  // columns out of range are ignored
  EXPECT_TRUE(c.selected(2));
  EXPECT_FALSE(c.selected(0));
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.number(2), 3);
  EXPECT_TRUE(isMissing(c.number(0)));
  EXPECT_EQ(c.text(1), "");
  ASSERT_TRUE(c.next());
  const RowPosition second = c.position();
  EXPECT_EQ(second.row, 2);
  EXPECT_EQ(second.line, 3);
  ASSERT_TRUE(c.next());
  EXPECT_FALSE(c.next());
  EXPECT_FALSE(c.next());
  c.seek(second);
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.number(2), 6);
  EXPECT_EQ(c.rowNumber(), 2);
  EXPECT_EQ(c.line(), 3);
  c.rewind();
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.number(2), 3);
}

TEST(Cursor, EscapedValuesUseTheCursorBufferAndPlainOnesTheFile) {
  auto ds = text("s\n\"a\"\"b\"\nplain\n");
  Cursor c(*ds, std::vector<int>{0});
  auto inFile = [&](std::string_view v) {
    return v.data() >= ds->bytes().data() && v.data() < ds->bytes().data() + ds->bytes().size();
  };
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.text(0), "a\"b");
  EXPECT_FALSE(inFile(c.text(0)));
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.text(0), "plain");
  EXPECT_TRUE(inFile(c.text(0)));
}

TEST(Cursor, FormattedValuesFillTheFormatWidth) {
  testing::TempDir dir;
  dir.write("s.schema.json", R"js({"fields": [{"name": "h", "format": "8.2"},
                                             {"name": "s", "format": "$6."}]})js");
  auto ds = DataSet::open(dir.write("s.csv", "x,h,s,t\n3.14159,170.25,ab,cd\n.,.,.,.\n"));
  Cursor c(*ds, std::vector<int>{0, 1, 2, 3});
  const char *const expected[2][4] = {{"     3.14159", "  170.25", "ab    ", "cd"},
                                      {"           .", "       .", "      ", "  "}};
  for (const auto &row : expected) {
    ASSERT_TRUE(c.next());
    for (int v = 0; v < 4; ++v) {
      char buf[16];
      c.formatted(v, buf);
      EXPECT_EQ(std::string(buf, std::strlen(row[v])), row[v]) << v;
    }
  }
}

// A short row (with every column declared, no typing pass refuses it) lacks
// its last fields: they are missing, not those of the row before.
TEST(Cursor, ShortRowLeavesItsLastFieldsMissing) {
  testing::TempDir dir;
  dir.write("s.schema.json", R"js({"fields": [{"name": "a", "type": "number"},
      {"name": "s", "type": "string", "length": 2}, {"name": "b", "type": "number"}]})js");
  auto ds = DataSet::open(dir.write("s.csv", "a,s,b\n1,xy,2\n3\n"));
  Cursor c(*ds, std::vector<int>{0, 1, 2});
  ASSERT_TRUE(c.advance() && c.advance() && c.fault() != nullptr);
  EXPECT_EQ(c.fault()->number, kMsgRaggedRow);
  EXPECT_EQ(c.number(0), 3);
  EXPECT_EQ(c.text(1), "");
  EXPECT_TRUE(isMissing(c.number(2)));
}

// Row by row nothing is allocated; in pieces (here about 130) the arrays of
// the one piece kept are sized a few times, not once a piece or a row.
TEST(Cursor, ReadingAndRewindingAllocateNothing) {
  std::string csv = "a,b,s,q\n";
  for (int i = 0; i < 20000; ++i)
    csv += std::to_string(i) + "," + std::to_string(i * 0.5) + ",name" + std::to_string(i % 7) +
           ",\"q\"\"" + std::to_string(i % 3) + "\"\n";
  auto ds = text(csv);
  for (const size_t piece : {SIZE_MAX, size_t{4096}}) {
    ByGroups by(*ds, {}, false, std::vector<int>{0, 1, 2, 3}, {1, piece, nullptr});
    const long before = testing::allocationCount();
    double sum = 0;
    size_t chars = 0;
    int64_t rows = 0;
    ASSERT_TRUE(by.nextGroup());
    for (int pass = 0; pass < 2; ++pass, by.rewindGroup())
      for (; by.nextRow(); ++rows) {
        sum += by.row().number(1);
        chars += by.row().text(2).size() + by.row().text(3).size();
      }
    EXPECT_LE(testing::allocationCount() - before, piece == SIZE_MAX ? 0 : 40);
    EXPECT_EQ(rows, 40000);
    EXPECT_EQ(sum, 2 * 0.5 * 19999 * 20000 / 2);
    EXPECT_EQ(chars, 2u * 20000 * (5 + 3));
    EXPECT_FALSE(by.nextGroup());
  }
}

// Every group as "title:line,line,..." joined by '/', and an error as
// "E<number> <line> <inserts>". `by` lists the BY variables by number, "d"
// after a descending one, then "notsorted"; "skip" leaves the rows unread, so
// the next group is found by skipping them.
std::string groups(const std::string &csv, const std::string &by, const ReadOptions &options) {
  std::vector<ByVariable> vars;
  std::istringstream words(by);
  for (std::string w; words >> w;)
    if (std::isdigit(w[0])) vars.push_back({std::stoi(w), w.back() == 'd'});
  auto ds = text(csv);
  ByGroups groups(*ds, vars, by.find("notsorted") != std::string::npos, std::vector<int>{},
                  options);
  const bool skip = by.find("skip") != std::string::npos;
  std::string out;
  try {
    while (groups.nextGroup()) {
      out += (out.empty() ? "" : "/") + groups.byTitle() + ":";
      for (int n = 0; !skip && groups.nextRow(); ++n)
        out += (n ? "," : "") + std::to_string(groups.line());
    }
  } catch (const DataError &e) {
    out += "/E" + std::to_string(e.number()) + " " + std::to_string(e.line());
    for (const std::string &insert : e.inserts()) out += " " + insert;
  }
  return out;
}

TEST(ByGroups, GroupsInDataOrder) {
  const std::string cases[][3] = {
      {"a\n1\n2\n", "", ":2,3"},
      {"a,b\n", "", ":"},
      {"a,b\n", "0", ""},
      {"site,y\nA,1\nA,2\nB,3\nC,4\nC,5\n", "0", "site=A:2,3/site=B:4/site=C:5,6"},
      {"site,year,y\nA,2002,1\nA,2001,2\nB,2003,3\nB,2003,4\nB,1999,5\n", "0 1d",
       "site=A year=2002:2/site=A year=2001:3/site=B year=2003:4,5/site=B year=1999:6"},
      {"s\nz\nm\nm\na\n", "0d", "s=z:2/s=m:3,4/s=a:5"},
      // ._ sorts first and shows blank; "." and "" are one value; blank lines are skipped
      {"g\n._\n.\n\"\"\n\n.A\n.Z\n-5\n0\n2.5\n", "0",
       "g=:2/g=.:3,4/g=A:6/g=Z:7/g=-5:8/g=0:9/g=2.5:10"},
      {"s,y\n\"ab \",1\nab,2\n\"ab  \",3\n", "0", "s=ab:2,3,4"},
      {"s\nB\na\n", "0", "s=B:2/s=a:3"},  // bytes: 'B' < 'a'
      {"x,y\n1.5,1\n2,2\n", "0", "x=1.5:2/x=2:3"},
      {"site,y\nB,1\nB,2\nA,3\nB,4\n", "0 notsorted", "site=B:2,3/site=A:4/site=B:5"},
      {"site,year\nA,2001\nB,2001\nA,2002\n", "0 1",
       "site=A year=2001:2/site=B year=2001:3/E216 4 t.csv 4 site year site=A year=2002 "
       "site=B year=2001"},
      {"site,year\nA,1\nA,2\n", "0 1d",
       "site=A year=1:2/E216 3 t.csv 3 site DESCENDING year site=A year=2 site=A year=1"},
      {"g\n2\n2\n1\n", "0 skip", "g=2:/E216 4 t.csv 4 g g=1 g=2"},
      {"x,y\n0,1\n-0,2\n0,3\n1,4\n", "0", "x=0:2,3,4/x=1:5"},
      {"a,b\n1,1\n1,2\n1,2\n2,2\n", "0 1", "a=1 b=1:2/a=1 b=2:3,4/a=2 b=2:5"},
  };
  // row by row, and in pieces of a few rows (parsed by the reader itself or by workers) whose
  // marks of where the BY values change the groups follow
  const ReadOptions readings[] = {{}, {1, 1}, {1, 7}, {2, 1}, {2, 7}, {3, 20}};
  for (const auto &[csv, by, expected] : cases)
    for (const ReadOptions &options : readings)
      EXPECT_EQ(groups(csv, by, options), expected) << csv << " threads " << options.threads;
  EXPECT_THROW(ByGroups(*text("y\n1\n"), {{1, false}}, false, std::vector<int>{}),
               std::invalid_argument);
}

TEST(ByGroups, ByValuesOutliveTheRowThatEndsTheGroup) {
  auto ds = text("s,x,y\n\"a\"\"1\",1.5,1\n\"a\"\"1\",1.5,2\n\"b\"\"2\",2,3\n");
  ByGroups by(*ds, {{0, false}, {1, false}}, false, std::vector<int>{2});
  ASSERT_TRUE(by.nextGroup());
  while (by.nextRow()) {
  }
  EXPECT_EQ(by.byText(0), "a\"1");  // the cursor already holds b"2
  EXPECT_EQ(by.byNumber(1), 1.5);
  EXPECT_EQ(by.byFormatted(1), "1.5");
  EXPECT_EQ(by.group(), 1);
  ASSERT_TRUE(by.nextGroup());
  EXPECT_EQ(by.byText(0), "b\"2");
  EXPECT_EQ(by.byFormatted(1), "2");
  EXPECT_EQ(by.group(), 2);
}

TEST(ByGroups, RewindGroupRereadsOnlyItsGroup) {
  auto ds = text("g,y\n1,10\n1,11\n2,20\n2,21\n2,22\n3,30\n");
  ByGroups by(*ds, {{0, false}}, false, std::vector<int>{1});
  auto rest = [&] {
    std::vector<double> out;
    while (by.nextRow()) out.push_back(by.row().number(1));
    return out;
  };
  ASSERT_TRUE(by.nextGroup());
  ASSERT_TRUE(by.nextGroup());
  EXPECT_EQ(rest(), (std::vector<double>{20, 21, 22}));
  by.rewindGroup();
  EXPECT_EQ(rest(), (std::vector<double>{20, 21, 22}));
  by.rewindGroup();  // in the middle of the group
  ASSERT_TRUE(by.nextRow());
  by.rewindGroup();
  ASSERT_TRUE(by.nextRow());
  EXPECT_EQ(by.line(), 4);
  ASSERT_TRUE(by.nextGroup());
  EXPECT_EQ(by.byNumber(0), 3);
  EXPECT_EQ(rest(), (std::vector<double>{30}));
  by.rewindGroup();
  EXPECT_EQ(rest(), (std::vector<double>{30}));
  EXPECT_FALSE(by.nextGroup());
  EXPECT_FALSE(by.nextGroup());
}

// Decimals read bit for bit as std::from_chars reads them: edges of the short
// path and random decimals of 1 to 20 digits with the point anywhere.
TEST(Cursor, DecimalsReadAsFromChars) {
  std::string csv =
      "x\n9007199254740992\n9007199254740993\n-0\n-0.000\n5.\n.5\n-.5\n0.1\n"
      "12345678901234567890\n9999999999999999999\n1.5e3\n";
  std::mt19937 rng(7);
  for (int i = 0; i < 20000; ++i) {
    std::string digits = (std::to_string(rng()) + std::to_string(rng())).substr(0, 1 + rng() % 20);
    digits.insert(rng() % (digits.size() + 1), rng() % 4 != 0 ? "." : "");
    csv += (rng() % 2 != 0 ? "-" : "") + digits + "\n";
  }
  auto ds = text(csv);
  Cursor cur(*ds, std::vector<int>{0});
  for (size_t at = 2, end = csv.find('\n', at); cur.next();
       at = end + 1, end = csv.find('\n', at)) {
    double want = 0;
    std::from_chars(csv.data() + at, csv.data() + end, want);
    EXPECT_EQ(std::bit_cast<uint64_t>(cur.number(0)), std::bit_cast<uint64_t>(want))
        << csv.substr(at, end - at);
  }
}

// ---------------------------------------------------------------- against the reference

// Random CSV text from a small alphabet that exercises the block scan:
// digits, points, signs, exponents, quotes, separators, line ends.
std::string randomCsv(std::mt19937 &rng, int columns) {
  static const char kLongDigits[] = "123456789012345678901234567890123456789012345678";
  static const char *const kPieces[] = {
      "0",  "1",         "7",   "42",   "3.5", "-2",   "+4",           ".",        ".5",
      "5.", "-.5",       "1e3", "2E-2", "-",   "+",    "..",           "1.2.3",    "x",
      "ab", " ",         ".A",  "._",   "\"",  "\"\"", "\"q,r\"",      "\"a\nb\"", "\r\n",
      ",",  "\n",        "\r",  "--1",  "1-",  "e",    "\xEF\xBB\xBF", "-0",       "00",
      "9.", kLongDigits, "inf", "-Inf", "NA"};
  std::string header;
  for (int c = 0; c < columns; ++c) header += (c ? ",v" : "v") + std::to_string(c);
  std::string s = header + "\n";
  std::uniform_int_distribution<int> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> rows(0, 40);
  std::bernoulli_distribution clean(0.8);
  int nrows = rows(rng);
  for (int r = 0; r < nrows; ++r) {
    for (int c = 0; c < columns; ++c) {
      if (c) s += ',';
      if (clean(rng)) {
        s += std::to_string(static_cast<int>(rng() % 2000) - 1000) + "." +
             std::to_string(rng() % 100);
      } else {
        int n = 1 + static_cast<int>(rng() % 3);
        for (int k = 0; k < n; ++k) s += kPieces[piece(rng)];
      }
    }
    s += (rng() % 4 == 0) ? "\r\n" : "\n";
  }
  return s;
}

void compareWithReference(const std::string &csv) {
  std::string why = reference::check(csv);
  ASSERT_EQ(why, "") << csv;
}

// Both block scans (the widest the processor has, and the baseline one).
class Reference : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { scan::useWidestScan(GetParam()); }
  void TearDown() override { scan::useWidestScan(true); }
};

TEST_P(Reference, RandomFilesReadTheSameAsTheFieldScanner) {
  std::mt19937 rng(12345);
  for (int i = 0; i < 3000; ++i) {
    std::string csv = randomCsv(rng, 1 + i % 5);
    compareWithReference(csv);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

TEST_P(Reference, EveryBlockBoundary) {
  // the same rows shifted through every offset of a 64-byte block
  for (int shift = 0; shift < 130; ++shift) {
    std::string pad(static_cast<size_t>(shift), 'p');
    for (const char *cell :
         {"-5", "-.5", "1.5", "1.2.3", "-", "..", "12345", "+.", "5\r", "\"5\"", "a longer text"}) {
      compareWithReference("a,b\n" + pad + ",1\nq," + cell + "\nr,2\n");
      compareWithReference("a,b\n" + pad + ",1\nq," + cell);
      compareWithReference("a,b\r\n" + pad + ",1\r\nq," + cell + "\r\nr,2\r\n");
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BlockScans, Reference, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool> &info) {
                           return std::string(info.param ? "Widest" : "Baseline");
                         });

}  // namespace
}  // namespace vyn::data
