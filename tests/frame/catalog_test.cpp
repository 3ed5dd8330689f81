#include "vyn/core/catalog.h"

#include <gtest/gtest.h>

namespace {

TEST(Catalog, FillsInsertsInOrder) {
  EXPECT_EQ(vyn::catalogMessage(181, 402, {"height", "Height in cm"}),
            "Variable: height (Height in cm)");
  EXPECT_EQ(vyn::catalogMessage(181, 11), "The KRAVO Procedure");
}

TEST(Catalog, LevelsComeFromTheCatalogue) {
  EXPECT_EQ(vyn::catalogLevel(181, 47), vyn::LogLevel::kError);
  EXPECT_EQ(vyn::catalogLevel(181, 30), vyn::LogLevel::kWarning);
  EXPECT_EQ(vyn::catalogLevel(181, 57), vyn::LogLevel::kNote);
}

TEST(Catalog, UnknownMessageNamesItselfAndKeepsInserts) {
  EXPECT_EQ(vyn::catalogText(181, 9999), nullptr);
  const std::string text = vyn::catalogMessage(181, 9999, {"x"});
  EXPECT_NE(text.find("9999"), std::string::npos);
  EXPECT_NE(text.find("181"), std::string::npos);
  EXPECT_NE(text.find("[x]"), std::string::npos);
}

TEST(Catalog, MissingInsertsLeaveNothingBehind) {
  EXPECT_EQ(vyn::catalogMessage(181, 402, {"y"}), "Variable: y ()");
}

}  // namespace
