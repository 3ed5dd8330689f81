#include "vyn/core/catalog.h"

#include <gtest/gtest.h>

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

}  // namespace
