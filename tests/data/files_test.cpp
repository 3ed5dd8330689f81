// Files that are not what they seem or change while they are read: special
// files named as inputs, a data file cut short, grown or removed under its
// map, and schema sidecars built to exhaust the reader.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "vyn/data/cursor.h"
#include "vyn/data/dataset.h"
#include "vyn/data/error.h"

namespace vyn::data {
namespace {

class Folder {
 public:
  Folder() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vyn-files-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
  }
  ~Folder() { std::filesystem::remove_all(path_); }
  std::string file(const std::string &name) const { return path_ + "/" + name; }
  std::string write(const std::string &name, const std::string &text) const {
    std::ofstream(file(name), std::ios::binary) << text;
    return file(name);
  }

 private:
  std::string path_;
};

// The number of the DataError that `f` throws, with its text; 0 when none.
int errorNumber(const std::function<void()> &f, std::string *text = nullptr) {
  try {
    f();
  } catch (const DataError &e) {
    if (text != nullptr) *text = e.what();
    return e.number();
  }
  return 0;
}

// A CSV of many rows, so the map spans many pages.
std::string manyRows(int rows) {
  std::string csv = "id,value,name\n";
  for (int i = 1; i <= rows; ++i) {
    csv += std::to_string(i) + "," + std::to_string(i * 0.5) + ",name" + std::to_string(i) + "\n";
  }
  return csv;
}

// Each change is made after ten rows were read; reading on must end in
// message 221 naming what changed, never in a crash or in rows of zeros.
TEST(ChangedFile, ReadingOnReportsTheChange) {
  struct Case {
    const char *name;
    void (*change)(const std::string &path);
    const char *reason;
  };
  const Case cases[] = {
      {"cut short", [](const std::string &p) { ASSERT_EQ(::truncate(p.c_str(), 100), 0); },
       "cut short"},
      {"emptied", [](const std::string &p) { ASSERT_EQ(::truncate(p.c_str(), 0), 0); },
       "cut short"},
      {"cut in its last page",
       [](const std::string &p) {
         ASSERT_EQ(::truncate(p.c_str(), std::filesystem::file_size(p) - 4), 0);
       },
       "size went from"},
      {"grown", [](const std::string &p) { std::ofstream(p, std::ios::app) << "9,9,x\n"; },
       "size went from"},
      {"removed", [](const std::string &p) { ASSERT_EQ(::unlink(p.c_str()), 0); }, "removed"},
  };
  // Row by row, and in pieces: a piece parsed before the change keeps its
  // numbers, while its texts are read from the map as it is now.
  for (const bool rowByRow : {true, false})
    for (const Case &c : cases) {
      SCOPED_TRACE(std::string(c.name) + (rowByRow ? ", row by row" : ", in pieces"));
      Folder dir;
      const std::string path = dir.write("big.csv", manyRows(200000));
      auto ds = DataSet::open(path);
      const int columns[] = {0, 1, 2};
      Cursor cursor(*ds, columns, {1, rowByRow ? SIZE_MAX : 0, nullptr});
      for (int i = 0; i < 10; ++i) ASSERT_TRUE(cursor.next());
      c.change(path);
      int64_t rows = 10;
      std::string text;
      const int number = errorNumber(
          [&] {
            while (cursor.next()) {
              ++rows;
              ASSERT_EQ(cursor.number(0), static_cast<double>(rows)) << "a row read from zeros";
              if (rowByRow) {
                ASSERT_EQ(cursor.text(2), "name" + std::to_string(rows)) << "a row of zeros";
              }
            }
          },
          &text);
      EXPECT_EQ(number, kMsgFileChanged);
      EXPECT_NE(text.find(c.reason), std::string::npos) << text;
      EXPECT_NE(text.find("big.csv"), std::string::npos) << text;
    }
}

// Inputs that are not regular files are refused at once: opening a FIFO
// must not wait for a writer.
TEST(SpecialFiles, AreRefusedWithoutBlocking) {
  struct Case {
    const char *name;
    const char *special;  // which file of the data set is special
    int kind;             // S_IFIFO or S_IFDIR
    int number;
  };
  const Case cases[] = {
      {"data FIFO", "d.csv", S_IFIFO, kMsgUnreadable},
      {"schema FIFO", "d.schema.json", S_IFIFO, kMsgSchemaUnreadable},
      {"schema folder", "d.schema.json", S_IFDIR, kMsgSchemaUnreadable},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Folder dir;
    const std::string special = dir.file(c.special);
    ASSERT_EQ(c.kind == S_IFIFO ? ::mkfifo(special.c_str(), 0600) : ::mkdir(special.c_str(), 0700),
              0);
    if (std::string(c.special) != "d.csv") dir.write("d.csv", "a\n1\n");
    std::string text;
    EXPECT_EQ(errorNumber([&] { DataSet::open(dir.file("d.csv")); }, &text), c.number);
    EXPECT_NE(text.find(c.kind == S_IFIFO ? "not a regular file" : "folder"), std::string::npos)
        << text;
  }
}

// A bad value is quoted as a short flat excerpt, whatever its size; nesting
// is bounded before anything walks the parsed value.
TEST(SchemaValues, AreQuotedShortAndNestingIsBounded) {
  const std::string deep = std::string(100000, '[') + "1" + std::string(100000, ']');
  const std::string longText(100000, 'x');
  struct Case {
    const char *name;
    std::string field;  // the field's JSON after "name"
    int number;
    const char *excerpt;
  };
  const Case cases[] = {
      {"deep length", ",\"length\":" + deep, kMsgSchemaDeep, "32 levels"},
      {"deep title", ",\"title\":{\"a\":" + deep + "}", kMsgSchemaDeep, "32 levels"},
      {"list length", ",\"length\":[[[1]]]", kMsgSchemaLength, "a list [...]"},
      {"object length", ",\"length\":{\"n\":5}", kMsgSchemaLength, "an object {...}"},
      {"long type", ",\"type\":\"" + longText + "\"", kMsgSchemaType, "\"xxxx"},
      {"long format", ",\"format\":\"" + longText + "\"", kMsgSchemaFormat, "xxx..."},
      {"huge number", ",\"length\":1" + std::string(100000, '0'), kMsgSchemaUnreadable, "overflow"},
      {"bad token", ",\"length\":" + longText, kMsgSchemaJson, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Folder dir;
    dir.write("d.csv", "a\nx\n");
    dir.write("d.schema.json", "{\"fields\":[{\"name\":\"a\"" + c.field + "}]}");
    std::string text;
    EXPECT_EQ(errorNumber([&] { DataSet::open(dir.file("d.csv")); }, &text), c.number);
    EXPECT_NE(text.find(c.excerpt), std::string::npos) << text.substr(0, 300);
    EXPECT_LT(text.size(), 400u);
  }
  Folder dir;  // nesting that a schema really uses is read
  dir.write("d.csv", "a\nx\n");
  dir.write("d.schema.json",
            "{\"fields\":[{\"name\":\"a\",\"constraints\":{\"maxLength\":3},\"x\":[[[[1]]]]}]}");
  EXPECT_EQ(DataSet::open(dir.file("d.csv"))->variable(0).length, 3);
}

}  // namespace
}  // namespace vyn::data
