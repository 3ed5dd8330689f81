// Reading in pieces, parsed by workers or by the reader itself, against
// reading row by row: the same rows, lines, values (bit for bit) and order,
// also when pieces are cut inside quoted fields and BY groups are read twice;
// the typing pass with workers finds what it finds on one thread.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "vyn/data/cursor.h"
#include "vyn/data/progress.h"

namespace vyn::data {
namespace {

const struct {
  const char *eol;
  bool bom;
  char delimiter;
} kFiles[] = {{"\n", false, ','},
              {"\r\n", true, ','},
              {"\n", true, ','},
              {"\n", false, ';'},
              {"\r\n", false, '\t'}};

// id,note,x,g: notes quoted with the delimiter, line ends and "" or plain;
// x a number, a missing value or a quoted number; blank lines here and there;
// rows `given` in place of those generated; ',' stands for the delimiter.
std::string generated(unsigned seed, const char *eol, bool bom, char d,
                      const std::map<int, std::string> &given = {}) {
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
    std::string row =
        std::to_string(i) + d + notes[rng() % 7] + d + xs[rng() % 7] + d + std::to_string(i / 37);
    if (given.contains(i)) row = given.at(i);
    std::replace(row.begin(), row.end(), ',', d);
    csv += row + eol;
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

TEST(ReadingInPieces, GivesTheRowsOfTheRowByRowReading) {
  for (const auto &f : kFiles) {
    const std::string csv = generated(7, f.eol, f.bom, f.delimiter);
    auto ds = DataSet::fromText("p.csv", csv, f.delimiter);
    const std::string expected = readAll(*ds, {});
    ASSERT_NE(expected.find("two\nlines"), std::string::npos);
    for (const size_t chunk : {1, 5, 17, 64, 300, 5000}) {
      for (const int threads : {1, 2, 3}) {
        SCOPED_TRACE(std::to_string(chunk) + " bytes, " + std::to_string(threads) + " threads");
        EXPECT_EQ(readAll(*ds, {threads, chunk, nullptr}), expected);
      }
    }
  }
}

// A progress line that nobody sees, for the one-thread typing pass in pieces.
ReadProgress *progress(int threads) {
  static const int devNull = ::open("/dev/null", O_WRONLY);
  static ReadProgress unseen("p.csv", 1, devNull, {}, {});
  return threads == 1 ? &unseen : nullptr;
}

// The typing pass's findings: rows, the first text that is not UTF-8, and
// per variable its type, length, first text and line; or the data error.
std::string typing(const std::string &csv, char d, const TypingOptions &options) {
  try {
    const auto ds = DataSet::fromText("p.csv", csv, d, options);
    std::string out = std::to_string(ds->observations()) + " bad " +
                      std::to_string(ds->badText().line) + ":" +
                      std::to_string(ds->badText().column);
    for (const Variable &v : ds->variables())
      out += " " + v.name + (v.numeric ? "" : "$" + std::to_string(v.length)) + "@" +
             std::to_string(v.firstTextLine) + "'" + v.firstText + "'";
    return out;
  } catch (const DataError &e) {
    return "E" + std::to_string(e.number()) + " " + e.what();
  }
}

TEST(ParallelTyping, FindsWhatOneThreadFinds) {
  const struct {
    std::map<int, std::string> rows;
    const char *mark;  // in what one thread finds
  } variants[] = {
      {{{150, "150,plain,NA,4"}, {151, "151,plain,NULL,4"}, {390, "390,plain,N/A,10"}}, "x@0"},
      {{{380, "380,plain,late,10"}, {385, "385,x,1,g10"}, {395, "395,plain,later,10"}}, "'late'"},
      {{{200, "200,caf\xE9,1,5"}, {250, "2\xC3,plain,1,6"}, {300, "300,\xFF,1,8"}}, ":2 "},
      {{{120, "120,plain,1"}, {330, "330,plain,1,8,9"}, {399, "399,\"open,1,10"}}, "E201"},
      {{{399, "399,\"open,1,10"}}, "E202"},
  };
  for (const auto &v : variants) {
    for (const auto &f : kFiles) {
      const std::string csv = generated(7, f.eol, f.bom, f.delimiter, v.rows);
      const std::string expected = typing(csv, f.delimiter, {});
      ASSERT_NE(expected.find(v.mark), std::string::npos) << expected;
      for (const size_t piece : {1, 5, 17, 64, 300, 5000})
        for (const int threads : {1, 2, 3})
          EXPECT_EQ(typing(csv, f.delimiter, {threads, piece, progress(threads)}), expected)
              << piece << threads;
    }
  }
}

// The progress of a typing pass in pieces on one thread, every piece shown:
// rows and share of the file grow to all of it, and the line is cleared.
TEST(ParallelTyping, ShowsItsProgress) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string csv = generated(7, "\n", false, ',');
  {
    ReadProgress shown("p.csv", csv.size(), fds[1], {}, {});
    DataSet::fromText("p.csv", csv, ',', {1, 500, &shown});
  }
  ::close(fds[1]);
  std::string out(1 << 16, '\0');
  out.resize(static_cast<size_t>(std::max<ssize_t>(::read(fds[0], out.data(), out.size()), 0)));
  ::close(fds[0]);
  std::vector<std::pair<int, int>> lines;  // rows and percentage of each line
  for (size_t at = 0; (at = out.find("\r\033[Kp.csv: ", at)) != std::string::npos; ++at) {
    int rows = 0, share = 0;
    if (std::sscanf(out.c_str() + at + 11, "%d rows, %d%%, ", &rows, &share) == 2)
      lines.emplace_back(rows, share);
  }
  ASSERT_GT(lines.size(), 2u) << out;
  EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end())) << out;
  EXPECT_EQ(lines.back(), std::make_pair(400, 100)) << out;
  EXPECT_TRUE(out.ends_with(" MB/s\r\033[K")) << out;
}

}  // namespace
}  // namespace vyn::data
