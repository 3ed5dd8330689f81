#include "vyn/data/dataset.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

#include "tests/data/test_util.h"
#include "vyn/data/cursor.h"
#include "vyn/data/error.h"
#include "vyn/data/missing.h"

namespace vyn::data {
namespace {

using testing::TempDir;

std::unique_ptr<DataSet> text(std::string csv) {
  return DataSet::fromText("t.csv", std::move(csv));
}

// Runs f, which must throw DataError; returns it.
template <typename F>
DataError errorOf(F f) {
  try {
    f();
  } catch (const DataError &e) {
    return e;
  }
  ADD_FAILURE() << "no DataError";
  return DataError(0, {}, "");
}

DataError textError(std::string csv) {
  return errorOf([&] { text(std::move(csv)); });
}

// All rows of all columns: numbers formatted with %g, texts as they are.
std::vector<std::vector<std::string>> rows(const DataSet &ds) {
  std::vector<int> all;
  for (int i = 0; i < ds.variableCount(); ++i) all.push_back(i);
  Cursor c(ds, all);
  std::vector<std::vector<std::string>> out;
  while (c.next()) {
    std::vector<std::string> row;
    for (int i = 0; i < ds.variableCount(); ++i) {
      if (ds.variable(i).numeric) {
        double v = c.number(i);
        char letter = missingLetter(v);
        row.push_back(letter ? std::string(".") + (letter == '.' ? "" : std::string(1, letter))
                             : std::to_string(v));
      } else {
        row.push_back(std::string(c.text(i)));
      }
    }
    out.push_back(row);
  }
  return out;
}

// ---------------------------------------------------------------- CSV shapes

TEST(Csv, HeaderAndNumbers) {
  auto ds = text("a,b\n1,2\n3.5,-4e2\n");
  ASSERT_EQ(ds->variableCount(), 2);
  EXPECT_EQ(ds->variable(0).name, "a");
  EXPECT_TRUE(ds->variable(0).numeric);
  EXPECT_EQ(ds->variable(0).length, 8);
  EXPECT_EQ(ds->variable(0).format, kBest12);
  EXPECT_EQ(ds->variable(0).formattedWidth(), 12);
  EXPECT_EQ(ds->observations(), 2);
  auto r = rows(*ds);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[1][0], std::to_string(3.5));
  EXPECT_EQ(r[1][1], std::to_string(-400.0));
}

TEST(Csv, QuotedFieldsWithCommasQuotesAndNewlines) {
  auto ds = text("id,note\n1,\"a, b\"\n2,\"say \"\"hi\"\"\"\n3,\"two\nlines\"\n4,plain\n");
  EXPECT_FALSE(ds->variable(1).numeric);
  EXPECT_EQ(ds->variable(1).length, 9);  // two\nlines
  EXPECT_EQ(ds->observations(), 4);
  auto r = rows(*ds);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0][1], "a, b");
  EXPECT_EQ(r[1][1], "say \"hi\"");
  EXPECT_EQ(r[2][1], "two\nlines");
  EXPECT_EQ(r[3][1], "plain");
}

TEST(Csv, LineNumbersCountNewlinesInsideQuotes) {
  auto ds = text("id,note\n1,\"x\ny\nz\"\n2,w\n");
  Cursor c(*ds, std::vector<int>{0, 1});
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.line(), 2);
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.line(), 5);
}

TEST(Csv, CrlfAndBom) {
  auto ds = text("\xEF\xBB\xBFx,name\r\n1,ab\r\n2,\"c\r\nd\"\r\n");
  EXPECT_EQ(ds->variable(0).name, "x");
  EXPECT_TRUE(ds->variable(0).numeric);
  EXPECT_FALSE(ds->variable(1).numeric);
  auto r = rows(*ds);
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0][1], "ab");
  EXPECT_EQ(r[1][1], "c\r\nd");  // a line end inside quotes is kept
  EXPECT_EQ(ds->variable(1).length, 4);
}

TEST(Csv, LastRowWithoutLineEnd) {
  auto ds = text("a,b\n1,2\n3,4");
  EXPECT_EQ(ds->observations(), 2);
  EXPECT_EQ(rows(*ds)[1][1], std::to_string(4.0));
}

TEST(Csv, LastRowEndingInSeparator) {
  auto ds = text("a,b\n1,");
  EXPECT_EQ(ds->observations(), 1);
  EXPECT_EQ(rows(*ds)[0][1], ".");
}

TEST(Csv, BlankLinesAreSkipped) {
  auto ds = text("\n\na,b\n\n1,2\r\n\r\n3,4\n\n");
  EXPECT_EQ(ds->observations(), 2);
  Cursor c(*ds, std::vector<int>{0});
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.line(), 5);
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.line(), 7);
  EXPECT_FALSE(c.next());
}

TEST(Csv, HeaderOnly) {
  auto ds = text("a,b\n");
  EXPECT_EQ(ds->observations(), 0);
  EXPECT_TRUE(ds->variable(0).numeric);
  EXPECT_TRUE(rows(*ds).empty());
}

TEST(Csv, QuotedHeaderNamesAndBlanksAroundNames) {
  auto ds = text("\"a\", b ,c\n1,2,3\n");
  EXPECT_EQ(ds->variable(0).name, "a");
  EXPECT_EQ(ds->variable(1).name, "b");
  EXPECT_EQ(ds->findVariable("B"), 1);
  EXPECT_EQ(ds->findVariable("zz"), -1);
}

TEST(Csv, QuoteInsideUnquotedFieldIsText) {
  auto ds = text("a,b\n1,ab\"c\n");
  EXPECT_EQ(rows(*ds)[0][1], "ab\"c");
}

TEST(Csv, TextAfterClosingQuoteIsKept) {
  auto ds = text("a,b\n1,\"ab\"cd\n");
  EXPECT_EQ(rows(*ds)[0][1], "abcd");
}

TEST(Csv, LoneCarriageReturnIsText) {
  auto ds = text("a,b\n1,x\ry\n");
  EXPECT_EQ(rows(*ds)[0][1], "x\ry");
}

TEST(Csv, LongRowsCrossBlocks) {
  // fields longer than a 64-byte block, numbers split across blocks
  std::string csv = "a,b,c\n";
  for (int i = 0; i < 50; ++i)
    csv += std::string(70 + i, 'x') + "," + std::to_string(i * 1.25) + ",-" + std::to_string(i) +
           ".5\n";
  auto ds = text(csv);
  EXPECT_FALSE(ds->variable(0).numeric);
  EXPECT_EQ(ds->variable(0).length, 119);
  EXPECT_TRUE(ds->variable(1).numeric);
  EXPECT_TRUE(ds->variable(2).numeric);
  auto r = rows(*ds);
  EXPECT_EQ(r[49][2], std::to_string(-49.5));
}

// ---------------------------------------------------------------- inference

TEST(Inference, MissingValuesKeepAColumnNumeric) {
  auto ds = text("a,b\n1,.\n,.A\n.z,._\n . ,2\n");
  EXPECT_TRUE(ds->variable(0).numeric);
  EXPECT_TRUE(ds->variable(1).numeric);
  auto r = rows(*ds);
  EXPECT_EQ(r[0][1], ".");
  EXPECT_EQ(r[1][0], ".");
  EXPECT_EQ(r[1][1], ".A");
  EXPECT_EQ(r[2][0], ".Z");
  EXPECT_EQ(r[2][1], "._");
  EXPECT_EQ(r[3][0], ".");
}

TEST(Inference, NumberForms) {
  auto ds = text("a\n+5\n5.\n-.5\n1e3\n 7 \n\"8\"\n0012\n");
  EXPECT_TRUE(ds->variable(0).numeric);
  auto r = rows(*ds);
  std::vector<double> want = {5, 5, -0.5, 1000, 7, 8, 12};
  ASSERT_EQ(r.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(r[i][0], std::to_string(want[i])) << i;
}

TEST(Inference, OneTextCellMakesACharacterColumn) {
  for (const char *cell : {"abc", "inf", "nan", "1.2.3", "--1", "-", "+", "1e", "0x10", "1e999",
                           ".AB", "-.", "1-2", "5,", "1 2", "\"1\"\"\""}) {
    std::string csv = std::string("a,b\n1,1\n22,2\n") + cell + ",3\n4444,4\n";
    if (std::string(cell) == "5,") csv = "a,b\n1,1\n\"5,\",3\n";
    auto ds = text(csv);
    EXPECT_FALSE(ds->variable(0).numeric) << cell;
    EXPECT_TRUE(ds->variable(1).numeric) << cell;
  }
}

TEST(Inference, CharacterLengthIsTheLongestValue) {
  auto ds = text("a\nx\n12345\nxyz\n");
  EXPECT_FALSE(ds->variable(0).numeric);
  EXPECT_EQ(ds->variable(0).length, 5);  // numbers before the text count too
  EXPECT_EQ(ds->variable(0).format, (Format{Format::Kind::kChar, 5, 0}));
  EXPECT_EQ(ds->variable(0).formattedWidth(), 5);
}

TEST(Inference, CharacterLengthAtLeastOneAtMost32767) {
  auto ds = text("a,b\nx,\n");
  EXPECT_EQ(ds->variable(1).length, 8);  // all missing: numeric
  ds = text("a,b\n\"\",x\n");
  EXPECT_TRUE(ds->variable(0).numeric);
  std::string big(40000, 'q');
  ds = text("a\n" + big + "\n");
  EXPECT_EQ(ds->variable(0).length, 32767);
  Cursor c(*ds, std::vector<int>{0});
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.text(0).size(), 32767u);
}

TEST(Inference, DotIsTheBlankInACharacterColumn) {
  auto ds = text("a\nx\n.\n\".\"\n");
  auto r = rows(*ds);
  EXPECT_EQ(r[1][0], "");
  EXPECT_EQ(r[2][0], ".");
}

TEST(Inference, LongNumbersAreCheckedInFull) {
  std::string digits(60, '1');
  auto ds = text("a\n" + digits + "\n");
  EXPECT_TRUE(ds->variable(0).numeric);
  ds = text("a\n1" + std::string(400, '0') + "\n");  // 1e400 does not fit a double
  EXPECT_FALSE(ds->variable(0).numeric);
}

// ---------------------------------------------------------------- errors

TEST(Errors, RaggedRowTooFew) {
  DataError e = textError("a,b,c\n1,2,3\n4,5\n");
  EXPECT_EQ(e.number(), kMsgRaggedRow);
  EXPECT_EQ(e.group(), 210);
  EXPECT_EQ(e.file(), "t.csv");
  EXPECT_EQ(e.line(), 3);
  EXPECT_EQ(e.column(), 3);
  EXPECT_STREQ(e.what(),
               "File t.csv, line 3, column 3: the row has 2 fields, but the header has 3. Give "
               "every row one field per header name, and quote fields that contain commas.");
}

TEST(Errors, RaggedRowTooMany) {
  DataError e = textError("a,b\n1,2\n\n4,5,6\n");
  EXPECT_EQ(e.number(), kMsgRaggedRow);
  EXPECT_EQ(e.line(), 4);
  EXPECT_EQ(e.column(), 3);
  EXPECT_EQ(e.inserts()[3], "3");
  EXPECT_EQ(e.inserts()[4], "2");
}

TEST(Errors, RaggedRowAfterQuotedRow) {
  DataError e = textError("a,b\n\"x\ny\",2\n4\n");
  EXPECT_EQ(e.number(), kMsgRaggedRow);
  EXPECT_EQ(e.line(), 4);
}

TEST(Errors, RaggedLastRowWithoutLineEnd) {
  DataError e = textError("a,b\n1,2\n3");
  EXPECT_EQ(e.number(), kMsgRaggedRow);
  EXPECT_EQ(e.line(), 3);
}

TEST(Errors, UnterminatedQuote) {
  DataError e = textError("a,b\n1,2\n3,\"abc\n4,5\n");
  EXPECT_EQ(e.number(), kMsgOpenQuote);
  EXPECT_EQ(e.line(), 3);
  EXPECT_EQ(e.column(), 2);
  EXPECT_NE(std::string(e.what()).find("quoted field is not closed"), std::string::npos);
}

TEST(Errors, UnterminatedQuoteInHeader) {
  DataError e = textError("a,\"b\n1,2\n");
  EXPECT_EQ(e.number(), kMsgOpenQuote);
  EXPECT_EQ(e.line(), 1);
  EXPECT_EQ(e.column(), 2);
}

TEST(Errors, EmptyFile) {
  EXPECT_EQ(textError("").number(), kMsgEmptyFile);
  EXPECT_EQ(textError("\xEF\xBB\xBF").number(), kMsgEmptyFile);
  EXPECT_EQ(textError("\n\r\n\n").number(), kMsgEmptyFile);
  EXPECT_EQ(
      textError("").what(),
      std::string("File t.csv is empty. A data set needs a header row with the variable names."));
}

TEST(Errors, DuplicateNames) {
  DataError e = textError("Site,x,SITE\n1,2,3\n");
  EXPECT_EQ(e.number(), kMsgDuplicateName);
  EXPECT_EQ(e.line(), 1);
  EXPECT_EQ(e.column(), 3);
  EXPECT_STREQ(e.what(),
               "File t.csv, line 1, column 3: the name SITE is already used by column 1 (Site). "
               "Give every column a different name (upper and lower case count as the same).");
}

TEST(Errors, InvalidNames) {
  for (const char *header : {"a,1b", "a,", "a,b c", "a,b-c", "a,\"\"",
                             "a,abcdefghijklmnopqrstuvwxyz0123456", "a,caf\xC3\xA9"}) {
    DataError e = textError(std::string(header) + "\n");
    EXPECT_EQ(e.number(), kMsgInvalidName) << header;
    EXPECT_EQ(e.column(), 2) << header;
  }
  DataError e = textError("ok,2x\n");
  EXPECT_STREQ(e.what(),
               "File t.csv, line 1, column 2: '2x' is not a valid variable name. Use 1 to 32 "
               "letters, digits or underscores, starting with a letter or an underscore.");
  EXPECT_NO_THROW(text("_x,a123456789012345678901234567890\n"));
}

class FileErrors : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST_F(FileErrors, MissingFile) {
  std::string p = dir.file("nope.csv");
  DataError e = errorOf([&] { DataSet::open(p); });
  EXPECT_EQ(e.number(), kMsgFileNotFound);
  EXPECT_EQ(e.file(), p);
  EXPECT_EQ(
      e.what(),
      "File " + p + " does not exist. Check the data set name and the data folder (--data-dir).");
}

TEST_F(FileErrors, Folder) {
  std::filesystem::create_directory(dir.file("sub.csv"));
  DataError e = errorOf([&] { DataSet::open(dir.file("sub.csv")); });
  EXPECT_EQ(e.number(), kMsgUnreadable);
  EXPECT_NE(std::string(e.what()).find("it is a folder"), std::string::npos);
}

TEST_F(FileErrors, Unreadable) {
  std::string p = dir.write("secret.csv", "a\n1\n");
  ::chmod(p.c_str(), 0);
  if (::access(p.c_str(), R_OK) == 0) GTEST_SKIP() << "running as root: every file is readable";
  DataError e = errorOf([&] { DataSet::open(p); });
  EXPECT_EQ(e.number(), kMsgUnreadable);
}

TEST_F(FileErrors, NotARegularFile) {
  std::string p = dir.file("fifo.csv");
  ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0);
  DataError e = errorOf([&] { DataSet::open(p); });
  EXPECT_EQ(e.number(), kMsgUnreadable);
}

TEST_F(FileErrors, EmptyFile) {
  std::string p = dir.write("empty.csv", "");
  EXPECT_EQ(errorOf([&] { DataSet::open(p); }).number(), kMsgEmptyFile);
}

TEST_F(FileErrors, MappedFileReadsLikeText) {
  std::string p = dir.write("d.csv", "a,b\n1,\"x,y\"\n2,z\n");
  auto ds = DataSet::open(p);
  EXPECT_EQ(ds->path(), p);
  EXPECT_EQ(ds->observations(), 2);
  EXPECT_EQ(rows(*ds)[0][1], "x,y");
}

// ---------------------------------------------------------------- schema

class Schema : public ::testing::Test {
 protected:
  TempDir dir;
  std::unique_ptr<DataSet> open(const std::string &csv, const std::string &schema) {
    std::string p = dir.write("s.csv", csv);
    dir.write("s.schema.json", schema);
    return DataSet::open(p);
  }
  DataError error(const std::string &csv, const std::string &schema) {
    return errorOf([&] { open(csv, schema); });
  }
};

TEST_F(Schema, TypesLabelsFormatsLengths) {
  auto ds = open("id,height,site,code\n1,170.25,north,7\n2,180,south,8\n",
                 R"js({"fields": [
                      {"name": "id", "type": "string", "length": 4},
                      {"name": "HEIGHT", "type": "number", "title": "Height (cm)", "format": "8.2"},
                      {"name": "site", "type": "string", "format": "$10."},
                      {"name": "code", "type": "integer"}]})js");
  EXPECT_EQ(ds->schemaPath(), dir.file("s.schema.json"));
  const Variable &id = ds->variable(0);
  EXPECT_FALSE(id.numeric);
  EXPECT_EQ(id.length, 4);
  EXPECT_EQ(id.format, (Format{Format::Kind::kChar, 4, 0}));
  const Variable &h = ds->variable(1);
  EXPECT_TRUE(h.numeric);
  EXPECT_EQ(h.label, "Height (cm)");
  EXPECT_EQ(h.format, (Format{Format::Kind::kFixed, 8, 2}));
  EXPECT_TRUE(h.formatGiven);
  EXPECT_EQ(h.formattedWidth(), 8);
  const Variable &site = ds->variable(2);
  EXPECT_EQ(site.length, 5);
  EXPECT_EQ(site.formattedWidth(), 10);
  EXPECT_TRUE(ds->variable(3).integer);
  Cursor c(*ds, std::vector<int>{0, 1, 2});
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.text(0), "1");
  char buf[16];
  c.formatted(1, buf);
  EXPECT_EQ(std::string(buf, 8), "  170.25");
  c.formatted(2, buf);
  EXPECT_EQ(std::string(buf, 10), "north     ");
}

TEST_F(Schema, LengthCutsLongerValues) {
  auto ds = open("s\nabcdef\n", R"js({"fields": [{"name": "s", "length": 3}]})js");
  EXPECT_FALSE(ds->variable(0).numeric);
  EXPECT_EQ(ds->variable(0).length, 3);
  Cursor c(*ds, std::vector<int>{0});
  ASSERT_TRUE(c.next());
  EXPECT_EQ(c.text(0), "abc");
}

TEST_F(Schema, ConstraintsMaxLength) {
  auto ds =
      open("s\nabcdef\n",
           R"js({"fields": [{"name": "s", "type": "string", "constraints": {"maxLength": 2}}]})js");
  EXPECT_EQ(ds->variable(0).length, 2);
}

TEST_F(Schema, StringColumnOfNumbers) {
  auto ds = open("zip\n01234\n", R"js({"fields": [{"name": "zip", "type": "string"}]})js");
  EXPECT_FALSE(ds->variable(0).numeric);
  EXPECT_EQ(rows(*ds)[0][0], "01234");
}

TEST_F(Schema, UnlistedColumnsAreInferred) {
  auto ds = open("a,b\n1,x\n", R"js({"fields": [{"name": "a", "title": "A"}]})js");
  EXPECT_TRUE(ds->variable(0).numeric);
  EXPECT_EQ(ds->variable(0).label, "A");
  EXPECT_FALSE(ds->variable(1).numeric);
}

TEST_F(Schema, TableSchemaFormatWordsAreIgnored) {
  auto ds =
      open("a,b\n1,x\n", R"js({"fields": [{"name": "a", "type": "number", "format": "default"},
                                               {"name": "b", "type": "string", "format": "email"}]})js");
  EXPECT_FALSE(ds->variable(0).formatGiven);
}

TEST_F(Schema, NonNumericCellInNumberColumn) {
  DataError e = error("a,b\n1,2\n3,x y\n", R"js({"fields": [{"name": "b", "type": "number"}]})js");
  EXPECT_EQ(e.number(), kMsgNotNumber);
  EXPECT_EQ(e.line(), 3);
  EXPECT_EQ(e.column(), 2);
  EXPECT_EQ(e.what(), "File " + dir.file("s.csv") +
                          ", line 3, column 2: 'x y' is not a number, but the schema declares b as "
                          "number. Correct the value, or declare the field as a string.");
}

TEST_F(Schema, NonNumericQuotedCellInNumberColumn) {
  DataError e =
      error("a,b\n1,2\n3,\"x\"\"\"\n", R"js({"fields": [{"name": "b", "type": "number"}]})js");
  EXPECT_EQ(e.number(), kMsgNotNumber);
  EXPECT_EQ(e.line(), 3);
}

TEST_F(Schema, NumberColumnAcceptsMissingValues) {
  auto ds = open("a\n.\n.B\n\n\"\"\n4\n", R"js({"fields": [{"name": "a", "type": "number"}]})js");
  EXPECT_EQ(ds->observations(), 4);
}

TEST_F(Schema, IntegerColumn) {
  DataError e = error("a\n1\n2.5\n", R"js({"fields": [{"name": "a", "type": "integer"}]})js");
  EXPECT_EQ(e.number(), kMsgNotInteger);
  EXPECT_EQ(e.line(), 3);
  e = error("a\n1\nx\n", R"js({"fields": [{"name": "a", "type": "integer"}]})js");
  EXPECT_EQ(e.number(), kMsgNotNumber);
  EXPECT_NE(std::string(e.what()).find("declares a as integer"), std::string::npos);
  EXPECT_NO_THROW(open("a\n1\n2.0\n.\n", R"js({"fields": [{"name": "a", "type": "integer"}]})js"));
}

TEST_F(Schema, BadJson) {
  DataError e = error("a\n1\n", "{\n  \"fields\": [\n    {\"name\": \"a\",}\n  ]\n}");
  EXPECT_EQ(e.number(), kMsgSchemaJson);
  EXPECT_EQ(e.file(), dir.file("s.schema.json"));
  EXPECT_EQ(e.line(), 3);
  EXPECT_GT(e.column(), 1);
  EXPECT_NE(std::string(e.what()).find("the JSON is not valid"), std::string::npos);
}

TEST_F(Schema, StructureErrors) {
  EXPECT_EQ(error("a\n1\n", "[]").number(), kMsgSchemaNoFields);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": {}})js").number(), kMsgSchemaNoFields);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"type": "number"}]})js").number(), kMsgSchemaNoName);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"name": "b"}]})js").number(), kMsgSchemaUnknown);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"name": "a"}, {"name": "A"}]})js").number(),
            kMsgSchemaDuplicate);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"name": "a", "type": "date"}]})js").number(),
            kMsgSchemaType);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"name": "a", "format": "8.2.1"}]})js").number(),
            kMsgSchemaFormat);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"name": "a", "type": "number", "format": "$5."}]})js")
                .number(),
            kMsgSchemaFormatKind);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"name": "a", "type": "string", "format": "5."}]})js")
                .number(),
            kMsgSchemaFormatKind);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"name": "a", "length": 0}]})js").number(),
            kMsgSchemaLength);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"name": "a", "length": 40000}]})js").number(),
            kMsgSchemaLength);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"name": "a", "length": "5"}]})js").number(),
            kMsgSchemaLength);
  EXPECT_EQ(error("a\n1\n", R"js({"fields": [{"name": "a", "title": 5}]})js").number(),
            kMsgSchemaValue);
  DataError e = error("a\n1\n", R"js({"fields": [{"name": "b"}]})js");
  EXPECT_EQ(e.what(), "Schema " + dir.file("s.schema.json") + ": field b is not a column of " +
                          dir.file("s.csv") +
                          ". Correct the name, or remove the field from the schema.");
}

TEST_F(Schema, Unreadable) {
  std::filesystem::create_directory(dir.file("s.schema.json"));
  std::string p = dir.write("s.csv", "a\n1\n");
  DataError e = errorOf([&] { DataSet::open(p); });
  EXPECT_EQ(e.number(), kMsgSchemaUnreadable);
}

// ---------------------------------------------------------------- paths

TEST(Paths, SchemaPath) {
  EXPECT_EQ(schemaPathFor("d/x.csv"), "d/x.schema.json");
  EXPECT_EQ(schemaPathFor("x.txt"), "x.schema.json");
  EXPECT_EQ(schemaPathFor("d.v/x"), "d.v/x.schema.json");
  EXPECT_EQ(schemaPathFor("d/.hidden"), "d/.hidden.schema.json");
}

TEST(Paths, Resolve) {
  TempDir dir;
  dir.write("class.csv", "a\n1\n");
  dir.write("lib/trial.csv", "a\n1\n");
  EXPECT_EQ(resolveDataSetPath(dir.path(), "class", false), dir.file("class.csv"));
  EXPECT_EQ(resolveDataSetPath(dir.path(), "CLASS", false), dir.file("class.csv"));
  EXPECT_EQ(resolveDataSetPath(dir.path(), "Lib.Trial", false), dir.file("lib/trial.csv"));
  EXPECT_EQ(resolveDataSetPath(dir.path(), "Other", false), dir.file("Other.csv"));
  EXPECT_EQ(resolveDataSetPath(dir.path(), "sub/x.csv", true), dir.file("sub/x.csv"));
  EXPECT_EQ(resolveDataSetPath(dir.path(), "/abs/x.csv", true), "/abs/x.csv");
  EXPECT_EQ(resolveDataSetPath("", "x", false), "x.csv");
  EXPECT_EQ(resolveDataSetPath("d/", "x", false), "d/x.csv");
}

}  // namespace
}  // namespace vyn::data
