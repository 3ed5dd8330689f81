// The texts in vyn/catalog/data.msg and the built-in texts of error.cpp
// must say the same.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "vyn/data/error.h"

namespace vyn::data {
namespace {

TEST(DataCatalog, FileAndBuiltInTextsAgree) {
  std::ifstream in(VYN_SOURCE_DIR "/vyn/catalog/data.msg");
  ASSERT_TRUE(in) << "cannot read data.msg";
  std::string line;
  std::set<int> numbers;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int group = 0, number = 0;
    std::string level;
    fields >> group >> number >> level;
    std::string text;
    std::getline(fields >> std::ws, text);
    EXPECT_EQ(group, 210) << line;
    EXPECT_GE(number, 200) << line;
    EXPECT_LE(number, 239) << line;
    EXPECT_TRUE(level == "E" || level == "W" || level == "N") << line;
    EXPECT_TRUE(numbers.insert(number).second) << "twice: " << number;
    const char *builtIn = dataMessageText(number);
    ASSERT_NE(builtIn, nullptr) << number;
    EXPECT_EQ(text, builtIn) << number;
  }
  for (int n = 200; n <= 239; ++n)
    if (dataMessageText(n) != nullptr) {
      EXPECT_TRUE(numbers.count(n)) << n << " not in data.msg";
    }
}

TEST(DataCatalog, Inserts) {
  EXPECT_EQ(fillInserts("a %1 b %2 %3", {"x", "y"}), "a x b y ");
  EXPECT_EQ(quoteInsert("abc"), "'abc'");
  EXPECT_EQ(quoteInsert(std::string(50, 'x')), "'" + std::string(40, 'x') + "...'");
  EXPECT_EQ(quoteInsert("a\nb"), "'a b'");
}

}  // namespace
}  // namespace vyn::data
