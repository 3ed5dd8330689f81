// Reading with workers against reading on one thread: the same rows, lines,
// values (bit for bit) and order, also when pieces are cut inside quoted
// fields and BY groups are read twice.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "vyn/data/cursor.h"

namespace vyn::data {
namespace {

// id,note,x,g: notes quoted with the delimiter, line ends and "" or plain;
// x a number, a missing value or a quoted number; blank lines here and there.
std::string generated(unsigned seed, const char *eol, bool bom, char d) {
  std::mt19937 rng(seed);
  const std::string delimited = std::string("\"a") + d + " b\"";
  const char *notes[] = {"plain",
                         delimited.c_str(),
                         "\"two\nlines\"",
                         "\"say \"\"hi\"\"\"",
                         "\"\"",
                         "\"x\r\ny, \"\"z\"\"\n\"",
                         "."};
  const char *xs[] = {"1.5", ".", "", ".A", "\"2.25\"", "-3e2", "7"};
  std::string csv = bom ? "\xEF\xBB\xBF" : "";
  csv += std::string("id") + d + "note" + d + "x" + d + "g" + eol;
  for (int i = 0; i < 400; ++i) {
    csv += std::to_string(i) + d + notes[rng() % 7] + d + xs[rng() % 7] + d +
           std::to_string(i / 37) + eol;
    if (rng() % 11 == 0) csv += eol;
  }
  return csv;
}

// Every row of the BY groups over g, each group read twice, as text.
std::string readAll(const DataSet &ds, const ReadOptions &options) {
  const std::vector<int> all{0, 1, 2, 3};
  ByGroups groups(ds, {{3, false}}, false, all, options);
  std::string out;
  while (groups.nextGroup()) {
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1) groups.rewindGroup();
      while (groups.nextRow()) {
        const Cursor &c = groups.row();
        uint64_t bits;
        const double x = c.number(2);
        std::memcpy(&bits, &x, sizeof bits);
        out += std::to_string(c.position().offset) + ":" + std::to_string(c.line()) + ":" +
               std::to_string(c.rowNumber()) + ":" + std::to_string(bits) + ":" +
               std::string(c.text(1)) + "|";
      }
    }
  }
  return out;
}

TEST(ParallelReading, GivesTheRowsOfTheOneThreadReading) {
  const struct {
    const char *eol;
    bool bom;
    char delimiter;
  } files[] = {{"\n", false, ','},
               {"\r\n", true, ','},
               {"\n", true, ','},
               {"\n", false, ';'},
               {"\r\n", false, '\t'}};
  for (const auto &f : files) {
    const std::string csv = generated(7, f.eol, f.bom, f.delimiter);
    auto ds = DataSet::fromText("p.csv", csv, f.delimiter);
    const std::string expected = readAll(*ds, {});
    ASSERT_NE(expected.find("two\nlines"), std::string::npos);
    for (const size_t chunk : {1, 5, 17, 64, 300, 5000}) {
      for (const int threads : {2, 3}) {
        SCOPED_TRACE(std::to_string(chunk) + " bytes, " + std::to_string(threads) + " threads");
        EXPECT_EQ(readAll(*ds, {threads, chunk, nullptr}), expected);
      }
    }
  }
}

}  // namespace
}  // namespace vyn::data
