#include "vyn/core/catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "host/vynsvc.h"
#include "vyn/core/log.h"

namespace {

TEST(Catalog, TextsInsertsAndLevels) {
  const struct {
    int number;
    std::vector<std::string> inserts;
    const char *expected;
  } cases[] = {
      {402, {"height", "Height in cm"}, "Variable: height (Height in cm)"},
      {402, {"y"}, "Variable: y ()"},  // a missing insert leaves nothing behind
      {11, {}, "The KRAVO Procedure"},
  };
  for (const auto &c : cases) EXPECT_EQ(vyn::catalogMessage(181, c.number, c.inserts), c.expected);
  EXPECT_EQ(vyn::catalogLevel(181, 47), vyn::LogLevel::kError);
  EXPECT_EQ(vyn::catalogLevel(181, 30), vyn::LogLevel::kWarning);
  EXPECT_EQ(vyn::catalogLevel(181, 57), vyn::LogLevel::kNote);
  // an unknown message names itself and keeps its inserts
  EXPECT_EQ(vyn::catalogText(181, 9999), nullptr);
  const std::string text = vyn::catalogMessage(181, 9999, {"x"});
  for (const char *part : {"9999", "181", "[x]"}) EXPECT_NE(text.find(part), std::string::npos);
}

// A message is found by its group and number: the first and last of a group, one in each
// group; none in a gap between numbers, beyond the last, below 0, or in a group not there.
// Its entry is the same, also when asked for again after others.
TEST(Catalog, MessagesFoundByGroupAndNumber) {
  const struct {
    int group, number;
    const char *starts;  // nullptr: no message
  } cases[] = {
      {181, 1, "No input data set"},
      {181, 906, "Observations left out"},
      {129, 54, "The host could not"},
      {210, 100, "The procedure called"},
      {210, 1104, "Graphs were"},
      {181, 2, nullptr},
      {181, 0, nullptr},
      {181, 100000, nullptr},
      {181, -1, nullptr},
      {182, 1, nullptr},
      {-181, 1, nullptr},
  };
  for (int round = 0; round < 2; ++round) {
    for (const auto &c : cases) {
      const vyn::CatalogEntry *entry = vyn::catalogEntry(c.group, c.number);
      const char *text = vyn::catalogText(c.group, c.number);
      EXPECT_EQ(entry == nullptr ? nullptr : entry->text.c_str(), text)
          << c.group << " " << c.number;
    }
  }
  for (const auto &c : cases) {
    const char *text = vyn::catalogText(c.group, c.number);
    if (c.starts == nullptr) {
      EXPECT_EQ(text, nullptr) << c.group << " " << c.number;
    } else {
      ASSERT_NE(text, nullptr) << c.group << " " << c.number;
      EXPECT_EQ(std::strncmp(text, c.starts, std::strlen(c.starts)), 0) << text;
    }
  }
}

// A place is % and one digit 1-9; any other % stays as written, %B too
// (only a logged message names its BY group).
TEST(Catalog, InsertPlacesAmongOtherPercentSigns) {
  const std::pair<const char *, const char *> cases[] = {{"%1 and %2%", "x and y%"},
                                                         {"%%1%0%", "%x%0%"},
                                                         {"100% %3.", "100% ."},
                                                         {"%", "%"},
                                                         {"%B%1%B", "%Bx%B"}};
  for (const auto &[text, expected] : cases)
    EXPECT_EQ(vyn::fillCatalogInserts(text, {"x", "y"}), expected) << text;
}

// A log entry is its text with the inserts of the call and the BY group at
// each %B, appended after what the buffer holds; the places are found as
// when the text is filled without a BY group.
TEST(Catalog, EntryFilledFromItsPieces) {
  const xins inserts[2] = {{0, 3, "yyy-long", 0}, {1, 0, nullptr, 98}};
  const std::pair<const char *, const char *> cases[] = {
      {"The analysis of %1%B used %2.", "NOTE: The analysis of yyy by=7 used 98."},
      {"%%B%1B%B", "NOTE: % by=7yyyB by=7"},
      {"100% %3%0%", "NOTE: 100% %0%"},
      {"%B", "NOTE:  by=7"},
      {"%", "NOTE: %"},
      {"", "NOTE: "}};
  for (const auto &[text, expected] : cases) {
    const vyn::CatalogEntry entry = vyn::catalogEntryOf(vyn::LogLevel::kNote, text);
    std::string out = "NOTE: ";
    vyn::appendCatalogEntry(out, entry, 2, inserts, " by=7");
    EXPECT_EQ(out, expected) << text;
    EXPECT_EQ(entry.namesByGroup, std::strstr(text, "%B") != nullptr) << text;
  }
  // longer than the room gathered at once, or many short pieces that fill
  // it: the pieces stay in order
  const std::string name(600, 'n');
  const xins longInserts[2] = {{0, -1, name.c_str(), 0}, {1, 0, nullptr, 7}};
  const std::string a(500, 'a'), b(20, 'b');
  std::string long_out = "x";
  vyn::appendCatalogEntry(long_out,
                          vyn::catalogEntryOf(vyn::LogLevel::kNote, "%2" + a + "%1%2" + b), 2,
                          longInserts, "");
  EXPECT_EQ(long_out, "x7" + a + name + "7" + b);
  std::string many, manyExpected;
  for (int k = 0; k < 60; ++k) {
    many += "%2 and %1, ";
    manyExpected += "98 and yyy, ";
  }
  std::string many_out;
  vyn::appendCatalogEntry(many_out, vyn::catalogEntryOf(vyn::LogLevel::kNote, many), 2, inserts,
                          "");
  EXPECT_EQ(many_out, manyExpected);
  // runs of exactly one copy's width and one byte more before a place
  const std::string x32(32, 'x'), y33(33, 'y');
  std::string edge_out;
  vyn::appendCatalogEntry(edge_out,
                          vyn::catalogEntryOf(vyn::LogLevel::kNote, x32 + "%1" + y33 + "%B"), 2,
                          inserts, " by=7");
  EXPECT_EQ(edge_out, x32 + "yyy" + y33 + " by=7");
  const vyn::CatalogEntry *used = vyn::catalogEntry(181, 902);
  ASSERT_NE(used, nullptr);
  std::string out;
  vyn::appendCatalogEntry(out, *used, 1, inserts, "");  // %2 and %3 not given
  EXPECT_EQ(out, "The analysis of yyy used  of the  observations read.");
  EXPECT_EQ(vyn::catalogEntry(181, 9999), nullptr);
}

// A text written in a room of its own: whole when the room has 64 bytes
// more than its length, nullptr when it has less than the length, and never
// a byte at or past the room's end.
TEST(Catalog, EntryWrittenInARoom) {
  const std::string name(40, 'n');
  const xins inserts[2] = {{0, 40, name.c_str(), 0}, {1, 0, nullptr, 12345}};
  const vyn::CatalogEntry entry = vyn::catalogEntryOf(vyn::LogLevel::kNote, "%1 used %2%B.");
  const std::string expected = name + " used 12345 by=7.";
  enum Fits { kNo, kYes, kEither };
  const std::pair<size_t, Fits> cases[] = {
      {expected.size() + 64, kYes}, {300, kYes}, {expected.size() + 10, kEither},
      {expected.size() - 1, kNo},   {20, kNo},   {0, kNo}};
  for (const auto &[room, fits] : cases) {
    std::string buffer(400, '#');
    char *const end =
        vyn::writeCatalogEntry(buffer.data(), buffer.data() + room, entry, 2, inserts, " by=7");
    if (fits != kEither) {
      EXPECT_EQ(end != nullptr, fits == kYes) << room;
    }
    if (end != nullptr) {
      EXPECT_EQ(std::string(buffer.data(), end), expected) << room;
    }
    EXPECT_EQ(buffer.find_first_not_of('#', room), std::string::npos) << room;
  }
}

// Whole numbers below 10^15 in full digits whatever zeros they end in (a count
// of a million is "1000000"), others in their shortest exact form; texts of a
// given length, up to their NUL, or none.
TEST(Catalog, InsertsOfAServiceCall) {
  const double numbers[] = {
      -0.0,  0,     5,   -42,    10,   99,     100,    -999, 1000, 9999,
      -9999, 10000, 1e5, 100001, -1e6, 120000, -12340, 1e6,  1e15, 999999999999999,
      2.5,   1e-7};
  xins inserts[std::size(numbers) + 3];
  for (size_t i = 0; i < std::size(numbers); ++i) inserts[i] = {1, 0, nullptr, numbers[i]};
  inserts[std::size(numbers)] = {0, 2, "abc", 0};
  inserts[std::size(numbers) + 1] = {0, -1, "xyz", 0};
  inserts[std::size(numbers) + 2] = {0, 0, nullptr, 0};
  const std::vector<std::string> expected = {
      "-0",     "0",      "5",       "-42",    "10",
      "99",     "100",    "-999",    "1000",   "9999",
      "-9999",  "10000",  "100000",  "100001", "-1000000",
      "120000", "-12340", "1000000", "1e+15",  "999999999999999",
      "2.5",    "1e-07",  "ab",      "xyz",    ""};
  EXPECT_EQ(vyn::catalogInserts(static_cast<int32_t>(std::size(inserts)), inserts), expected);
  // a raw value in its shortest exact form: fixed unless scientific is shorter
  const std::pair<double, std::string_view> shortest[] = {
      {99999, "99999"}, {1e5, "1e+05"},  {100001, "100001"}, {120000, "120000"},
      {-1e6, "-1e+06"}, {1e15, "1e+15"}, {-0.0, "-0"},       {2.5, "2.5"}};
  for (const auto &[value, text] : shortest) {
    char buf[32];
    EXPECT_EQ(vyn::shortestNumberText(value, buf), text) << value;
  }
}

}  // namespace

// Lines written straight into a listener's batch: counted as entries are,
// handed on whole when the batch fills, nothing kept of a line that does
// not fit its room.
TEST(Log, LinesWrittenStraightAreCountedAndKeptWhole) {
  struct Lines : vyn::LineBatch, vyn::LogListener {
    std::string bytes;
    void put(std::string_view b) override { bytes += b; }
    void logged(const vyn::LogEntry &entry) override { add(entry.level, entry.text); }
    vyn::LineBatch *lineBatch() override { return this; }
  } lines;
  vyn::Log log;
  log.sendTo(&lines);
  std::string expected;
  const std::string text(400, 'x');
  for (int k = 0; k < 300; ++k) {  // about twice the batch
    const auto level = k % 3 == 0 ? vyn::LogLevel::kWarning : vyn::LogLevel::kNote;
    EXPECT_TRUE(log.writeLine(
        level, [&](char *at, char *) { return std::copy(text.begin(), text.end(), at); }));
    expected += (k % 3 == 0 ? "WARNING: " : "NOTE: ") + text + "\n";
  }
  EXPECT_FALSE(log.writeLine(vyn::LogLevel::kError, [](char *, char *) { return nullptr; }));
  log.add({vyn::LogLevel::kError, 0, 0, "as an entry"});
  lines.flush();
  EXPECT_TRUE(lines.bytes == expected + "ERROR: as an entry\n");
  EXPECT_EQ(log.tally().warnings, 100u);
  EXPECT_EQ(log.tally().errors, 1u);
}
