#include "vyn/core/catalog.h"

#include <gtest/gtest.h>

#include <iterator>

#include "host/vynsvc.h"

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

// A place is % and one digit 1-9; any other % stays as written.
TEST(Catalog, InsertPlacesAmongOtherPercentSigns) {
  const std::pair<const char *, const char *> cases[] = {
      {"%1 and %2%", "x and y%"}, {"%%1%0%", "%x%0%"}, {"100% %3.", "100% ."}, {"%", "%"}};
  for (const auto &[text, expected] : cases)
    EXPECT_EQ(vyn::fillCatalogInserts(text, {"x", "y"}), expected) << text;
}

// Numbers in their shortest exact form, fixed where it is no longer than
// scientific; texts of a given length, up to their NUL, or none.
TEST(Catalog, InsertsOfAServiceCall) {
  const double numbers[] = {-0.0, 5, -42, 9999, 10000, 1e6, 2.5, 1e-7};
  xins inserts[std::size(numbers) + 3];
  for (size_t i = 0; i < std::size(numbers); ++i) inserts[i] = {1, 0, nullptr, numbers[i]};
  inserts[std::size(numbers)] = {0, 2, "abc", 0};
  inserts[std::size(numbers) + 1] = {0, -1, "xyz", 0};
  inserts[std::size(numbers) + 2] = {0, 0, nullptr, 0};
  const std::vector<std::string> expected = {"-0",  "5",     "-42", "9999", "10000", "1e+06",
                                             "2.5", "1e-07", "ab",  "xyz",  ""};
  std::vector<std::string> texts = {"a longer text than any insert", "x"};
  vyn::catalogInsertsInto(texts, static_cast<int32_t>(std::size(inserts)), inserts);
  EXPECT_EQ(texts, expected);
  EXPECT_EQ(vyn::catalogInserts(static_cast<int32_t>(std::size(inserts)), inserts), expected);
}

}  // namespace
