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
  std::stringstream in;
  in << std::ifstream(VYN_SOURCE_DIR "/vyn/catalog/data.msg").rdbuf()
     << std::ifstream(VYN_SOURCE_DIR "/vyn/catalog/ecosystem.msg").rdbuf()
     << std::ifstream(VYN_SOURCE_DIR "/vyn/catalog/sqlite.msg").rdbuf();
  std::set<int> numbers;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    int group = 0, number = 0;
    std::string level, text;
    std::getline(fields >> group >> number >> level >> std::ws, text);
    EXPECT_TRUE(group == 210 && number >= 200 && number <= 369 &&
                (level == "E" || level == "W" || level == "N"))
        << line;
    EXPECT_TRUE(numbers.insert(number).second) << "twice: " << number;
    const char *builtIn = dataMessageText(number);  // the data layer's own messages
    EXPECT_STREQ(builtIn ? builtIn : text.c_str(), text.c_str()) << number;
  }
  for (int n = 200; n <= 369; ++n)
    EXPECT_TRUE(dataMessageText(n) == nullptr || numbers.count(n) == 1) << n;
}

TEST(DataCatalog, Inserts) {
  EXPECT_EQ(fillInserts("a %1 b %2 %3", {"x", "y"}), "a x b y ");
  EXPECT_EQ(quoteInsert("abc"), "'abc'");
  EXPECT_EQ(quoteInsert(std::string(50, 'x')), "'" + std::string(40, 'x') + "...'");
  EXPECT_EQ(quoteInsert("a\nb"), "'a b'");
}

}  // namespace
}  // namespace vyn::data
