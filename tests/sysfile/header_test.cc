#include <gtest/gtest.h>

#include <string>

#include "dict/dictionary.h"
#include "support/memory_stream.h"
#include "support/open_bytes.h"
#include "support/sysfile_builder.h"
#include "sysfile/file_kind.h"
#include "sysfile/header_reader.h"

namespace vexa {
namespace {

using testing::HeaderFields;
using testing::MemoryStream;
using testing::SysFileBuilder;

struct ReadResult {
  FileHeader header;
  Dictionary dictionary;
};

ReadResult ReadHeaderOf(const std::string& bytes) {
  MemoryStream stream(bytes);
  stream.Seek(4, 0);
  ReadResult r;
  ReadHeader(stream, r.header, r.dictionary);
  return r;
}

class HeaderByteOrderTest : public ::testing::TestWithParam<bool> {};

TEST_P(HeaderByteOrderTest, EveryNumberIsReadInTheFilesOrder) {
  bool big = GetParam();
  std::string bytes =
      SysFileBuilder(big)
          .Header({.product = "@(#) product text   ", .nominal_case_size = 7,
                   .compression = 1, .weight_index = 3, .case_count = 123456,
                   .bias = 100.5, .label = "A file label   "})
          .Bytes();
  ReadResult r = ReadHeaderOf(bytes);
  EXPECT_EQ(r.header.byte_swapped, big);
  EXPECT_EQ(r.header.layout_code, 2);
  EXPECT_EQ(r.header.nominal_case_size, 7);
  EXPECT_EQ(r.header.compression, 1);
  EXPECT_EQ(r.header.weight_index, 3);
  EXPECT_EQ(r.header.case_count, 123456);
  EXPECT_EQ(r.header.bias, 100.5);
  EXPECT_EQ(r.header.product, "@(#) product text");
  EXPECT_EQ(r.dictionary.IdString(), "A file label");
  EXPECT_DOUBLE_EQ(r.dictionary.TimeStamp(), 12219774310.0);
}

INSTANTIATE_TEST_SUITE_P(BothOrders, HeaderByteOrderTest,
                         ::testing::Values(false, true));

TEST(HeaderTest, TheLayoutCodeDecidesTheByteOrder) {
  struct Case {
    int32_t layout;
    bool swapped;
  };
  for (Case c : {Case{1, false}, Case{3, false}, Case{255, false},
                 Case{0, true}, Case{256, true}, Case{-1, true}}) {
    ReadResult r = ReadHeaderOf(
        SysFileBuilder().Header({.layout_code = c.layout}).Bytes());
    EXPECT_EQ(r.header.byte_swapped, c.swapped) << c.layout;
  }
}

TEST(HeaderTest, BlankLabelMissingCountAndInvalidDate) {
  ReadResult r = ReadHeaderOf(SysFileBuilder().Header({.date = "00 Jan 70"}).Bytes());
  EXPECT_TRUE(r.dictionary.HasIdString());
  EXPECT_EQ(r.dictionary.IdString(), "");
  EXPECT_EQ(r.header.case_count, -1);
  EXPECT_EQ(r.dictionary.TimeStamp(), 0.0);
}

TEST(HeaderTest, AShortHeaderIsTruncated) {
  std::string bytes = SysFileBuilder().Header().Bytes();
  bytes.resize(175);
  EXPECT_EQ(testing::OpenError(bytes), kErrTruncated);
}

struct DateCase {
  const char* date;
  const char* time;
  double expected;
};

class CreationTimeTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(CreationTimeTest, Parses) {
  const DateCase& c = GetParam();
  EXPECT_DOUBLE_EQ(ParseCreationTime(c.date, c.time), c.expected)
      << c.date << " " << c.time;
}

constexpr double kDay = 86400.0;
// 1 January 1970 is day 141428 after 14 October 1582.
INSTANTIATE_TEST_SUITE_P(
    Cases, CreationTimeTest,
    ::testing::Values(
        DateCase{"05 Jan 70", "13:45:10", 141432 * kDay + 49510},
        DateCase{"05 JAN 70", "13:45:10", 141432 * kDay + 49510},
        DateCase{"01 Jan 70", "00:00:00", 141428 * kDay},
        DateCase{"31 Dec 99", "23:59:59", (141428 + 10957) * kDay - 1},
        DateCase{"05 JAN 69", "00:00:00", (141428 + 36160 + 4) * kDay},
        DateCase{"01 Jan 00", "00:00:00", (141428 + 10957) * kDay},
        DateCase{"31 Feb 01", "00:00:00", (141428 + 11323 + 31 + 30) * kDay},
        DateCase{"05 Foo 70", "13:45:10", 0.0},
        DateCase{"00 Jan 70", "13:45:10", 0.0},
        DateCase{"32 Jan 70", "13:45:10", 0.0},
        DateCase{"05 Jan 70", "24:00:00", 0.0},
        DateCase{"05 Jan 70", "12:60:00", 0.0},
        DateCase{"05 Jan 70", "12:00:60", 0.0},
        DateCase{"         ", "        ", 0.0}));

struct KindCase {
  std::string bytes;
  int kind;        // -1: an error is expected
  long error;
  int64_t position;
};

class FileKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(FileKindTest, DetectsOrFails) {
  const KindCase& c = GetParam();
  MemoryStream stream(c.bytes);
  if (c.kind >= 0) {
    EXPECT_EQ(static_cast<int>(DetectFileKind(stream)), c.kind);
    EXPECT_EQ(stream.Tell(), c.position);
    EXPECT_EQ(static_cast<int>(DetectFileKind(c.bytes.data(), c.bytes.size())),
              c.kind);
    return;
  }
  try {
    DetectFileKind(stream);
    FAIL() << "no error";
  } catch (const SystemFileException& e) {
    EXPECT_EQ(e.number(), c.error);
  }
  EXPECT_EQ(DetectFileKind(c.bytes.data(), c.bytes.size()),
            static_cast<FileKind>(kUnknownKind));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileKindTest,
    ::testing::Values(
        KindCase{"$FL2 and more", 0, 0, 4},
        KindCase{"$FL3 and more", 1, 0, 4},
        KindCase{"\x01\x02\x03\x04xxxxENCRYPTEDSAV rest", 2, 0, 20},
        KindCase{"$FL", -1, kErrTruncated, 0},
        KindCase{"$FL4xx", -1, kErrTruncated, 0},
        KindCase{"$FL4xxxxENCRYPTED", -1, kErrTruncated, 0},
        KindCase{"$fl2xxxxENCRYPTEDSAW", -1, kErrBadStructure, 0}));

}  // namespace
}  // namespace vexa
