#include "vyn/data/cursor.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/data/alloc_counter.h"
#include "tests/data/reference_csv.h"
#include "vyn/data/block_scan.h"
#include "vyn/data/error.h"
#include "vyn/data/missing.h"

namespace vyn::data {
namespace {

std::unique_ptr<DataSet> text(std::string csv) {
  return DataSet::fromText("t.csv", std::move(csv));
}

struct Group {
  std::string title;
  std::vector<int64_t> lines;
};

// Reads every group; the rows of a group are recorded by line number.
std::vector<Group> groups(ByGroups &by) {
  std::vector<Group> out;
  while (by.nextGroup()) {
    Group g{by.byTitle(), {}};
    while (by.nextRow()) g.lines.push_back(by.line());
    out.push_back(g);
  }
  return out;
}

std::vector<Group> groupsOf(const DataSet &ds, std::vector<ByVariable> vars, bool notsorted) {
  ByGroups by(ds, std::move(vars), notsorted, std::vector<int>{});
  return groups(by);
}

// ---------------------------------------------------------------- Cursor

TEST(Cursor, OnlySelectedColumnsAreRead) {
  auto ds = text("a,b,c\n1,x,3\n4,y,6\n");
  Cursor c(*ds, std::vector<int>{2});
  EXPECT_TRUE(c.selected(2));
  EXPECT_FALSE(c.selected(0));
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.number(2), 3);
  EXPECT_TRUE(isMissing(c.number(0)));
  EXPECT_EQ(c.text(1), "");
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.number(2), 6);
  EXPECT_FALSE(c.next());
  EXPECT_FALSE(c.next());
}

TEST(Cursor, PositionsAndSeek) {
  auto ds = text("a\n1\n2\n3\n");
  Cursor c(*ds, std::vector<int>{0});
  ASSERT_TRUE(c.next());
  ASSERT_TRUE(c.next());
  RowPosition second = c.position();
  EXPECT_EQ(second.row, 2);
  EXPECT_EQ(second.line, 3);
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.number(0), 3);
  c.seek(second);
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.number(0), 2);
  EXPECT_EQ(c.rowNumber(), 2);
  EXPECT_EQ(c.line(), 3);
  c.rewind();
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.number(0), 1);
}

TEST(Cursor, EscapedValuesUseTheCursorBuffer) {
  auto ds = text("s\n\"a\"\"b\"\nplain\n");
  Cursor c(*ds, std::vector<int>{0});
  ASSERT_TRUE(c.next());
  std::string_view v = c.text(0);
  EXPECT_EQ(v, "a\"b");
  EXPECT_FALSE(v.data() >= ds->bytes().data() &&
               v.data() < ds->bytes().data() + ds->bytes().size());
  ASSERT_TRUE(c.next());
  v = c.text(0);
  EXPECT_EQ(v, "plain");
  EXPECT_TRUE(v.data() >= ds->bytes().data() && v.data() < ds->bytes().data() + ds->bytes().size());
}

TEST(Cursor, FormattedValues) {
  auto ds = text("x,s\n3.14159,ab\n.,cd\n");
  Cursor c(*ds, std::vector<int>{0, 1});
  char buf[16];
  ASSERT_TRUE(c.next());
  c.formatted(0, buf);
  EXPECT_EQ(std::string(buf, 12), "     3.14159");
  c.formatted(1, buf);
  EXPECT_EQ(std::string(buf, 2), "ab");
  ASSERT_TRUE(c.next());
  c.formatted(0, buf);
  EXPECT_EQ(std::string(buf, 12), "           .");
}

TEST(Cursor, ReadingAllocatesNothing) {
  std::string csv = "a,b,s,q\n";
  for (int i = 0; i < 20000; ++i)
    csv += std::to_string(i) + "," + std::to_string(i * 0.5) + ",name" + std::to_string(i % 7) +
           ",\"q\"\"" + std::to_string(i % 3) + "\"\n";
  auto ds = text(csv);
  ASSERT_FALSE(ds->variable(3).numeric);
  ByGroups by(*ds, {}, false, std::vector<int>{0, 1, 2, 3});
  long before = testing::allocationCount();
  double sum = 0;
  size_t chars = 0;
  int64_t rows = 0;
  while (by.nextGroup()) {
    while (by.nextRow()) {
      sum += by.row().number(1);
      chars += by.row().text(2).size() + by.row().text(3).size();
      ++rows;
    }
    by.rewindGroup();
    while (by.nextRow()) ++rows;
  }
  EXPECT_EQ(testing::allocationCount() - before, 0);
  EXPECT_EQ(rows, 40000);
  EXPECT_GT(sum, 0);
  EXPECT_GT(chars, 0u);
}

// ---------------------------------------------------------------- BY groups

TEST(ByGroups, NoByVariablesIsOneGroup) {
  auto ds = text("a\n1\n2\n");
  auto g = groupsOf(*ds, {}, false);
  ASSERT_EQ(g.size(), 1u);
  EXPECT_EQ(g[0].title, "");
  EXPECT_EQ(g[0].lines, (std::vector<int64_t>{2, 3}));
}

TEST(ByGroups, EmptyDataSet) {
  auto ds = text("a,b\n");
  EXPECT_EQ(groupsOf(*ds, {}, false).size(), 1u);  // one empty group
  EXPECT_EQ(groupsOf(*ds, {{0, false}}, false).size(), 0u);
}

TEST(ByGroups, Ascending) {
  auto ds = text("site,y\nA,1\nA,2\nB,3\nC,4\nC,5\n");
  auto g = groupsOf(*ds, {{0, false}}, false);
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(g[0].title, "site=A");
  EXPECT_EQ(g[0].lines, (std::vector<int64_t>{2, 3}));
  EXPECT_EQ(g[1].title, "site=B");
  EXPECT_EQ(g[2].lines, (std::vector<int64_t>{5, 6}));
}

TEST(ByGroups, TwoVariablesWithDescending) {
  auto ds = text("site,year,y\nA,2002,1\nA,2001,2\nB,2003,3\nB,2003,4\nB,1999,5\n");
  auto g = groupsOf(*ds, {{0, false}, {1, true}}, false);
  ASSERT_EQ(g.size(), 4u);
  EXPECT_EQ(g[0].title, "site=A year=2002");
  EXPECT_EQ(g[1].title, "site=A year=2001");
  EXPECT_EQ(g[2].title, "site=B year=2003");
  EXPECT_EQ(g[2].lines.size(), 2u);
  EXPECT_EQ(g[3].title, "site=B year=1999");
}

TEST(ByGroups, DescendingCharacters) {
  auto ds = text("s\nz\nm\nm\na\n");
  EXPECT_EQ(groupsOf(*ds, {{0, true}}, false).size(), 3u);
}

TEST(ByGroups, NumbersWithMissingValuesFirst) {
  auto ds = text("g\n._\n.\n\"\"\n.A\n.Z\n-5\n0\n2.5\n");
  auto g = groupsOf(*ds, {{0, false}}, false);
  ASSERT_EQ(g.size(), 7u);
  EXPECT_EQ(g[0].title, "g=");  // ._ shows as blank
  EXPECT_EQ(g[1].title, "g=.");
  EXPECT_EQ(g[1].lines.size(), 2u);
  EXPECT_EQ(g[2].title, "g=A");
  EXPECT_EQ(g[6].title, "g=2.5");
}

TEST(ByGroups, TrailingBlanksDoNotCount) {
  auto ds = text("s,y\n\"ab \",1\nab,2\n\"ab  \",3\n");
  auto g = groupsOf(*ds, {{0, false}}, false);
  ASSERT_EQ(g.size(), 1u);
  EXPECT_EQ(g[0].lines.size(), 3u);
}

TEST(ByGroups, CharactersCompareByBytes) {
  auto ds = text("s\nB\na\n");  // 'B' (66) < 'a' (97)
  EXPECT_EQ(groupsOf(*ds, {{0, false}}, false).size(), 2u);
}

TEST(ByGroups, UnsortedIsAnError) {
  auto ds = text("site,year\nA,2001\nB,2001\nA,2002\n");
  ByGroups by(*ds, {{0, false}, {1, false}}, false, std::vector<int>{});
  ASSERT_TRUE(by.nextGroup());
  ASSERT_TRUE(by.nextRow());
  EXPECT_FALSE(by.nextRow());
  ASSERT_TRUE(by.nextGroup());
  EXPECT_EQ(by.byTitle(), "site=B year=2001");
  ASSERT_TRUE(by.nextRow());
  try {
    by.nextRow();
    FAIL() << "no error";
  } catch (const DataError &e) {
    EXPECT_EQ(e.number(), kMsgNotSorted);
    EXPECT_EQ(e.line(), 4);
    EXPECT_EQ(e.file(), "t.csv");
    EXPECT_STREQ(e.what(),
                 "File t.csv, line 4: the data set is not sorted by site year: site=A year=2002 "
                 "comes after site=B year=2001. Sort the file by these variables, or add "
                 "NOTSORTED to the BY statement.");
  }
}

TEST(ByGroups, UnsortedDescendingNamesDescending) {
  auto ds = text("site,year\nA,1\nA,2\n");
  try {
    groupsOf(*ds, {{0, false}, {1, true}}, false);
    FAIL() << "no error";
  } catch (const DataError &e) {
    EXPECT_EQ(e.line(), 3);
    EXPECT_NE(std::string(e.what()).find("not sorted by site DESCENDING year:"), std::string::npos);
  }
}

TEST(ByGroups, UnsortedFoundWhenSkippingAGroup) {
  auto ds = text("g\n2\n2\n1\n");
  ByGroups by(*ds, {{0, false}}, false, std::vector<int>{});
  ASSERT_TRUE(by.nextGroup());
  EXPECT_THROW(by.nextGroup(), DataError);
}

TEST(ByGroups, NotSorted) {
  auto ds = text("site,y\nB,1\nB,2\nA,3\nB,4\n");
  auto g = groupsOf(*ds, {{0, false}}, true);
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(g[0].title, "site=B");
  EXPECT_EQ(g[1].title, "site=A");
  EXPECT_EQ(g[2].title, "site=B");
  EXPECT_EQ(g[2].lines, (std::vector<int64_t>{5}));
}

TEST(ByGroups, FormattedByValues) {
  auto ds = text("x,y\n1.5,1\n2,2\n");
  ByGroups by(*ds, {{0, false}}, false, std::vector<int>{1});
  ASSERT_TRUE(by.nextGroup());
  EXPECT_EQ(by.byNumber(0), 1.5);
  EXPECT_EQ(by.byFormatted(0), "1.5");
  EXPECT_EQ(by.group(), 1);
  ASSERT_TRUE(by.nextGroup());
  EXPECT_EQ(by.byFormatted(0), "2");
  EXPECT_EQ(by.group(), 2);
  ASSERT_TRUE(by.nextRow());
  EXPECT_EQ(by.row().number(1), 2);
}

TEST(ByGroups, CharacterByValueSurvivesTheNextRow) {
  auto ds = text("s,y\n\"a\"\"1\",1\n\"a\"\"1\",2\n\"b\"\"2\",3\n");
  ByGroups by(*ds, {{0, false}}, false, std::vector<int>{1});
  ASSERT_TRUE(by.nextGroup());
  EXPECT_EQ(by.byText(0), "a\"1");
  while (by.nextRow()) {
  }
  EXPECT_EQ(by.byText(0), "a\"1");  // the cursor already holds b"2
  ASSERT_TRUE(by.nextGroup());
  EXPECT_EQ(by.byText(0), "b\"2");
}

TEST(ByGroups, RewindGroup) {
  auto ds = text("g,y\n1,10\n1,11\n2,20\n2,21\n2,22\n3,30\n");
  ByGroups by(*ds, {{0, false}}, false, std::vector<int>{1});
  ASSERT_TRUE(by.nextGroup());
  ASSERT_TRUE(by.nextGroup());
  std::vector<double> first, second;
  while (by.nextRow()) first.push_back(by.row().number(1));
  by.rewindGroup();
  while (by.nextRow()) second.push_back(by.row().number(1));
  EXPECT_EQ(first, (std::vector<double>{20, 21, 22}));
  EXPECT_EQ(second, first);
  // a rewind in the middle of the group
  by.rewindGroup();
  ASSERT_TRUE(by.nextRow());
  by.rewindGroup();
  ASSERT_TRUE(by.nextRow());
  EXPECT_EQ(by.row().number(1), 20);
  EXPECT_EQ(by.line(), 4);
  ASSERT_TRUE(by.nextGroup());
  EXPECT_EQ(by.byNumber(0), 3);
  ASSERT_TRUE(by.nextRow());
  EXPECT_EQ(by.row().number(1), 30);
  EXPECT_FALSE(by.nextRow());
  by.rewindGroup();
  ASSERT_TRUE(by.nextRow());
  EXPECT_EQ(by.row().number(1), 30);
  EXPECT_FALSE(by.nextGroup());
  EXPECT_FALSE(by.nextGroup());
}

TEST(ByGroups, ByVariableOutOfRange) {
  auto ds = text("y\n1\n");
  EXPECT_THROW(ByGroups(*ds, {{1, false}}, false, std::vector<int>{}), std::invalid_argument);
  Cursor c(*ds, std::vector<int>{5, -1, 0});  // columns out of range are ignored
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.number(0), 1);
}

TEST(ByGroups, RewindWholeDataSet) {
  auto ds = text("y\n1\n2\n");
  ByGroups by(*ds, {}, false, std::vector<int>{0});
  ASSERT_TRUE(by.nextGroup());
  double sum = 0;
  while (by.nextRow()) sum += by.row().number(0);
  by.rewindGroup();
  while (by.nextRow()) sum += by.row().number(0);
  EXPECT_EQ(sum, 6);
}

// ---------------------------------------------------------------- against the reference

// Random CSV text from a small alphabet that exercises the block scan:
// digits, points, signs, exponents, quotes, separators, line ends.
std::string randomCsv(std::mt19937 &rng, int columns) {
  static const char *const kPieces[] = {"0",
                                        "1",
                                        "7",
                                        "42",
                                        "3.5",
                                        "-2",
                                        "+4",
                                        ".",
                                        ".5",
                                        "5.",
                                        "-.5",
                                        "1e3",
                                        "2E-2",
                                        "-",
                                        "+",
                                        "..",
                                        "1.2.3",
                                        "x",
                                        "ab",
                                        " ",
                                        ".A",
                                        "._",
                                        "\"",
                                        "\"\"",
                                        "\"q,r\"",
                                        "\"a\nb\"",
                                        "\r\n",
                                        ",",
                                        "\n",
                                        "\r",
                                        "--1",
                                        "1-",
                                        "e",
                                        "123456789012345678901234567890123456789012345678",
                                        "\xEF\xBB\xBF",
                                        "-0",
                                        "00",
                                        "9."};
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
         {"-5", "-.5", "1.5", "1.2.3", "-", "..", "12345", "+.", "5\r", "\"5\""}) {
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
