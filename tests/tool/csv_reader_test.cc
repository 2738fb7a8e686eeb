// Reading CSV records: quoting, line ends, and the faults that must stop an
// import rather than shift its columns.
#include "csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace vexa::tool {
namespace {

using Records = std::vector<std::vector<std::string>>;

class CsvReaderTest : public ::testing::Test {
 protected:
  // All records of `bytes`; fails the test on a read error.
  Records ReadAll(const std::string& bytes, char delimiter = ',') {
    CsvReader csv;
    EXPECT_TRUE(csv.Open(dir_.Write("in.csv", bytes), delimiter));
    Records out;
    std::vector<std::string> fields;
    CsvReader::Result r;
    while ((r = csv.Next(&fields)) == CsvReader::Result::kRecord) {
      out.push_back(fields);
    }
    EXPECT_EQ(r, CsvReader::Result::kEnd) << csv.Error();
    return out;
  }

  // The error text of the first failing record, or "" when none fails.
  std::string FirstError(const std::string& bytes) {
    CsvReader csv;
    EXPECT_TRUE(csv.Open(dir_.Write("bad.csv", bytes)));
    std::vector<std::string> fields;
    CsvReader::Result r;
    while ((r = csv.Next(&fields)) == CsvReader::Result::kRecord) {
    }
    return r == CsvReader::Result::kError ? csv.Error() : "";
  }

  testing::TempDir dir_;
};

TEST_F(CsvReaderTest, QuotingEmptyFieldsLineEndsAndByteOrderMark) {
  const std::pair<std::string, Records> cases[] = {
      {"a,b,c\n\"x, y\",\"say \"\"hi\"\"\",\"two\nlines\"\n",
       {{"a", "b", "c"}, {"x, y", "say \"hi\"", "two\nlines"}}},
      {",\"\",\n", {{"", "", ""}}},
      {"a,b\r\n1,2\r\n", {{"a", "b"}, {"1", "2"}}},
      {"a,b\r1,2", {{"a", "b"}, {"1", "2"}}},
      {"a\n1", {{"a"}, {"1"}}},
      {"", {}},
      {"\"a\r\nb\"\r\nc\r\n", {{"a\r\nb"}, {"c"}}},  // CRLF inside quotes is data
      {"\xEF\xBB\xBFid,name\n", {{"id", "name"}}},
      {"5\" screen,x\n", {{"5\" screen", "x"}}},  // a quote inside a field
  };
  for (const auto& [bytes, records] : cases) {
    EXPECT_EQ(ReadAll(bytes), records) << bytes;
  }
}

// Blank lines are no records (a quoted empty field is one), and their
// lines still count; other delimiters split the same way.
TEST_F(CsvReaderTest, BlankLinesAndDelimiters) {
  EXPECT_EQ(ReadAll("a\n\n1\r\n\r\n\n2\n\n"), (Records{{"a"}, {"1"}, {"2"}}));
  EXPECT_EQ(ReadAll("\"\"\n\n"), (Records{{""}}));
  EXPECT_EQ(ReadAll("a\tb,c\n\"x\ty\"\t2\n", '\t'), (Records{{"a", "b,c"}, {"x\ty", "2"}}));
  EXPECT_EQ(ReadAll("a;b\n1;\"2;3\"\n", ';'), (Records{{"a", "b"}, {"1", "2;3"}}));
  CsvReader csv;
  ASSERT_TRUE(csv.Open(dir_.Write("b.csv", "h\n\n\nx\n")));
  std::vector<std::string> fields;
  csv.Next(&fields);
  csv.Next(&fields);
  EXPECT_EQ(csv.RecordLine(), 4);
}

TEST_F(CsvReaderTest, RecordLineCountsBreaksInsideQuotes) {
  CsvReader csv;
  ASSERT_TRUE(csv.Open(dir_.Write("l.csv", "h\n\"a\nb\nc\"\nnext\n")));
  std::vector<std::string> fields;
  csv.Next(&fields);
  csv.Next(&fields);
  EXPECT_EQ(csv.RecordLine(), 2);
  ASSERT_EQ(csv.Next(&fields), CsvReader::Result::kRecord);
  EXPECT_EQ(fields[0], "next");
  EXPECT_EQ(csv.RecordLine(), 5);
}

TEST_F(CsvReaderTest, RecordsLongerThanTheBufferStayWhole) {
  std::string big(200000, 'x');
  Records r = ReadAll("\"" + big + "\"," + big + "\n");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0][0], big);
  EXPECT_EQ(r[0][1], big);
}

// An unterminated quote (with its line) and text after a closing quote are
// errors; a missing file does not open.
TEST_F(CsvReaderTest, FaultsAreErrors) {
  EXPECT_NE(FirstError("a,b\n1,\"open\n2,3\n").find("line 2"), std::string::npos);
  EXPECT_NE(FirstError("\"a\"b,c\n"), "");
  EXPECT_FALSE(CsvReader().Open(dir_.File("absent.csv")));
}

}  // namespace
}  // namespace vexa::tool
